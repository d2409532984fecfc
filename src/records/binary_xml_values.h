// Atomic values of SQL Server's binary XML: text and typed values, each a
// token byte followed by its bytes (little-endian), written out as text.
//
//   token  name                  bytes after the token      text written
//   01     SQL-SMALLINT          int16                      -12
//   02     SQL-INT               int32
//   03     SQL-REAL              IEEE single                canonical xs:float
//   04     SQL-FLOAT             IEEE double                canonical xs:double
//   05     SQL-MONEY             int64, ten-thousandths     canonical xs:decimal
//   06     SQL-BIT               byte                       1 / 0 (as SQL Server
//                                                           writes bit values)
//   07     SQL-TINYINT           uint8
//   08     SQL-BIGINT            int64
//   09     SQL-UUID              16 bytes, first three      8-4-4-4-12 upper-case
//                                groups little-endian       hex, as SQL Server
//   0A     SQL-DECIMAL           decimal (below)            canonical xs:decimal
//   0B     SQL-NUMERIC           decimal
//   0C     SQL-BINARY            mb64 n, n bytes            base64
//   0D     SQL-CHAR              mb64 n, n bytes: uint32    the text, converted
//                                code page, then the text   from the code page
//   0E     SQL-NCHAR             mb64 n, n UTF-16 units     the text
//   0F     SQL-VARBINARY         as SQL-BINARY
//   10     SQL-VARCHAR           as SQL-CHAR
//   11     SQL-NVARCHAR          as SQL-NCHAR (untyped XML keeps all its text
//                                in this token)
//   12     SQL-DATETIME          int32 days since 1900-01-01, uint32 ticks of
//                                1/300 s since midnight     xs:dateTime, no zone
//   13     SQL-SMALLDATETIME     uint16 days since 1900-01-01, uint16 minutes
//   14     SQL-SMALLMONEY        int32, ten-thousandths
//   16     SQL-TEXT              as SQL-CHAR
//   17     SQL-IMAGE             as SQL-BINARY
//   18     SQL-NTEXT             as SQL-NCHAR
//   1B     SQL-UDT               as SQL-BINARY
//   7A     XSD-TIMEOFFSET        scale, time, date, zone    xs:time with zone
//   7B     XSD-DATETIMEOFFSET    scale, time, date, zone    xs:dateTime with zone
//   7C     XSD-DATEOFFSET        scale, time, date, zone    xs:date with zone
//   7D     XSD-TIME2             scale, time, date          xs:time
//   7E     XSD-DATETIME2         scale, time, date          xs:dateTime
//   7F     XSD-DATE2             date                       xs:date
//   81     XSD-TIME              int64 ticks (100 ns) since 0001-01-01 UTC;
//                                the time of day            xs:time, "Z"
//   82     XSD-DATETIME          the same                   xs:dateTime, "Z"
//   83     XSD-DATE              the same, the day          xs:date, "Z"
//   84     XSD-BINHEX            mb64 n, n bytes            upper-case hex
//   85     XSD-BASE64            mb64 n, n bytes            base64
//   86     XSD-BOOLEAN           byte                       true / false
//   87     XSD-DECIMAL           decimal                    canonical xs:decimal
//   88     XSD-BYTE              int8
//   89     XSD-UNSIGNEDSHORT     uint16
//   8A     XSD-UNSIGNEDINT       uint32
//   8B     XSD-UNSIGNEDLONG      uint64
//   8C     XSD-QNAME             mb32 qualified name        prefix:local
//
// decimal: mb64 length L (7, 11, 15 or 19), precision (1..38), scale
//   (0..precision), sign (0 negative, otherwise positive), then L - 3 bytes:
//   the magnitude times 10^scale as an unsigned little-endian integer of 4, 8,
//   12 or 16 bytes.
// The tokens 7A..7F (version 2 streams, SQL Server 2008's date, time,
// datetime2 and datetimeoffset) use the on-disk forms of those types:
//   scale  byte 0..7: digits of the fraction of a second
//   time   unsigned, 3 bytes for scale 0..2, 4 for 3..4, 5 for 5..7: units of
//          10^-scale s since midnight
//   date   unsigned 3 bytes: days since 0001-01-01
//   zone   int16: minutes east of UTC (-840..840); with a zone, time and date
//          are UTC and the text shows the local time and the zone
//
// Canonical forms: xs:decimal without trailing fraction zeros and without the
// point when the fraction is empty ("87", "-0.5"); xs:double and xs:float as
// the shortest mantissa that reads back to the same value with one digit
// before the point ("1.0E2", "1.25E-3", "INF", "NaN"); dates and times with
// four-digit years, the fraction of a second without trailing zeros, and
// "Z" for a zero zone.
// Any length, scale or field outside the ranges above makes the value (and so
// the document) malformed.
#ifndef PAGEWRIGHT_RECORDS_BINARY_XML_VALUES_H_
#define PAGEWRIGHT_RECORDS_BINARY_XML_VALUES_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "records/binary_xml_stream.h"

namespace pagewright::binxml {

enum ValueToken : uint8_t {
  kSqlSmallInt = 0x01,
  kSqlInt = 0x02,
  kSqlReal = 0x03,
  kSqlFloat = 0x04,
  kSqlMoney = 0x05,
  kSqlBit = 0x06,
  kSqlTinyInt = 0x07,
  kSqlBigInt = 0x08,
  kSqlUuid = 0x09,
  kSqlDecimal = 0x0A,
  kSqlNumeric = 0x0B,
  kSqlBinary = 0x0C,
  kSqlChar = 0x0D,
  kSqlNChar = 0x0E,
  kSqlVarBinary = 0x0F,
  kSqlVarChar = 0x10,
  kSqlNVarChar = 0x11,
  kSqlDateTime = 0x12,
  kSqlSmallDateTime = 0x13,
  kSqlSmallMoney = 0x14,
  kSqlText = 0x16,
  kSqlImage = 0x17,
  kSqlNText = 0x18,
  kSqlUdt = 0x1B,
  kXsdTimeOffset = 0x7A,
  kXsdDateTimeOffset = 0x7B,
  kXsdDateOffset = 0x7C,
  kXsdTime2 = 0x7D,
  kXsdDateTime2 = 0x7E,
  kXsdDate2 = 0x7F,
  kXsdTime = 0x81,
  kXsdDateTime = 0x82,
  kXsdDate = 0x83,
  kXsdBinHex = 0x84,
  kXsdBase64 = 0x85,
  kXsdBoolean = 0x86,
  kXsdDecimal = 0x87,
  kXsdByte = 0x88,
  kXsdUnsignedShort = 0x89,
  kXsdUnsignedInt = 0x8A,
  kXsdUnsignedLong = 0x8B,
  kXsdQName = 0x8C,
};

// True when `token` starts an atomic value.
bool IsAtomicValueToken(uint8_t token);

// True for the values that are text (the character string tokens): adjacent
// ones join without a separator. Other atomic values are items of a typed
// list and are separated by one space.
bool IsTextValueToken(uint8_t token);

// The display form ("prefix:local" or "local") of qualified name `index`, or
// nothing when it is not defined.
using QualifiedNameLookup = std::function<std::optional<std::string>(uint32_t index)>;

// Reads the bytes of the atomic value introduced by `token` (already read) and
// appends its text, unescaped, to `text`. False when the bytes are cut off or
// malformed; `text` may then hold part of the value.
bool AppendAtomicValue(uint8_t token, StreamReader& reader, const QualifiedNameLookup& qualifiedName,
                       std::string& text);

}  // namespace pagewright::binxml

#endif  // PAGEWRIGHT_RECORDS_BINARY_XML_VALUES_H_
