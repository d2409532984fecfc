// Value formatting: stored column bytes to display text (UTF-8).
//
// A column's SQL Server type maps to a value-type index (0 to 34); the type
// layout tells the row decoder how many bytes a column occupies; the
// formatters turn the bytes into text. Character data in 8-bit code pages
// is converted with the code page of the column's collation.
#ifndef PAGEWRIGHT_RECORDS_VALUE_FORMAT_H_
#define PAGEWRIGHT_RECORDS_VALUE_FORMAT_H_

#include <cstdint>
#include <optional>
#include <string>

#include "pagestore/bytes.h"
#include "records/cell_value.h"
#include "records/column_descriptor.h"
#include "state/read_context.h"

namespace pagewright {

// Value-type indices.
enum TypeIndex : int32_t {
  kTypeBigint = 0,
  kTypeBinary = 1,
  kTypeBit = 2,
  kTypeChar = 3,  // also every system type id not listed
  kTypeDatetime = 4,
  kTypeDate = 5,
  kTypeTime = 6,
  kTypeDatetime2 = 7,
  kTypeDatetimeOffset = 8,
  kTypeInt = 9,
  kTypeNchar = 10,
  kTypeNvarchar = 11,
  kTypeUnused = 12,
  kTypeSmallint = 13,
  kTypeTinyint = 14,
  kTypeUniqueidentifier = 15,
  kTypeVarbinary = 16,
  kTypeVarchar = 17,
  kType232 = 18,
  kTypeNtext = 19,
  kTypeSqlVariant = 20,
  kTypeMoney = 21,
  kTypeFloat = 22,
  kTypeNumeric = 23,
  kTypeDecimal = 24,
  kTypeImage = 25,  // image by the catalog's override
  kTypeText = 26,
  kTypeSmalldatetime = 27,
  kTypeReal = 28,
  kTypeSmallmoney = 29,
  kTypeTimestamp = 30,
  kTypeHierarchyid = 31,
  kTypeGeometry = 32,
  kTypeClr = 33,
  kTypeXml = 34,
};

// The value-type index of a SQL Server system type id (without the
// catalog's overrides for image and CLR types).
int32_t TypeIndexOf(int systemTypeId);
// The same, none for an id no type has.
std::optional<int32_t> KnownTypeIndexOf(int systemTypeId);

// Packs consecutive bit columns into shared bytes: one per record, created
// with count 8 and both flags clear.
struct BitCursor {
  int32_t count = 8;  // next bit to read
  uint8_t current = 0;
  uint8_t newByte = 0;  // the current bit column started a byte
  uint8_t loaded = 0;
};

struct TypeLayout {
  BitCursor* bits = nullptr;
  int64_t available = 0;  // bytes the caller can supply
  uint8_t isVariable = 0;
  int16_t fixedSize = 0;  // bytes in the fixed part
  int32_t consumed = 0;   // bytes the value took; the declared length once set
  int16_t valueLength = 0;
  int32_t typeIndex = 0;
};

TypeLayout ComputeTypeLayout(const ColumnDescriptor& column, BitCursor& bits, int32_t typeIndex);

// The general decoder: the typed value of a column. `value` holds the
// bytes from the value's start on (at least value length bytes for a
// complete value); an empty span gives the type's empty value (an empty
// string or empty binary) or, for other types, a missing one.
CellValue DecodeValue(TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context);
// The same into `out`, whose earlier value it replaces (its text and bytes
// keep their room, see CellValue::Reset).
void DecodeValue(TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context,
                 CellValue& out);
// The sql_variant decoder: byte 0 of the value is its base type id.
CellValue DecodeVariant(int32_t valueLength, TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column,
                        const ReadContext& context);

// The general formatter: the display text of DecodeValue (an empty span
// gives an empty text).
std::string FormatValue(TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context);

// The sql_variant formatter: the display text of DecodeVariant.
std::string FormatVariant(int32_t valueLength, TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column,
                          const ReadContext& context);

// Helpers, one text each.
std::string FormatDecimal(ByteSpan value, int precision, int scale);
std::string FormatDateTime(ByteSpan value);
std::string FormatSmallDateTime(ByteSpan value);
std::string FormatDate(ByteSpan value);
std::string FormatTime(ByteSpan value, int scale);
std::string FormatDateTime2(ByteSpan value, int scale);
std::string FormatDateTimeOffset(ByteSpan value, int scale);
std::string FormatMoney(ByteSpan value);
std::string FormatSmallMoney(ByteSpan value);
std::string FormatGuid(ByteSpan value);
std::string FormatHex(ByteSpan value);  // upper-case digit pairs, no prefix
std::string FormatFloat(double value);
std::string FormatReal(float value);

// 8-bit text up to its first zero byte in a Windows code page.
std::string ConvertCodePageText(ByteSpan bytes, int32_t codePage);

// The code page of a character column: its collation's when the collation
// table knows it, otherwise the database collation's, otherwise the system
// code page.
int32_t CodePageOfCollation(int32_t collationId, const ReadContext& context);

// Bytes that are exactly half zero are taken as UTF-16 (for values whose
// type is not known); otherwise 8-bit text in the system code page.
std::string GuessedText(ByteSpan bytes);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_VALUE_FORMAT_H_
