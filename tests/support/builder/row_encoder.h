// Encodes table rows as classic data records, the way SQL Server lays them
// out: fixed-length columns in column order (consecutive bit columns share a
// byte), the null bitmap of all columns, then the variable-length columns.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_BUILDER_ROW_ENCODER_H_
#define PAGEWRIGHT_TESTS_SUPPORT_BUILDER_ROW_ENCODER_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/builder/record_builder.h"

namespace pagewright::build {

// SQL Server system type ids.
enum SqlType : uint8_t {
  kSqlImage = 34,
  kSqlText = 35,
  kSqlUniqueidentifier = 36,
  kSqlDate = 40,
  kSqlTime = 41,
  kSqlDatetime2 = 42,
  kSqlDatetimeoffset = 43,
  kSqlTinyint = 48,
  kSqlSmallint = 52,
  kSqlInt = 56,
  kSqlSmalldatetime = 58,
  kSqlReal = 59,
  kSqlMoney = 60,
  kSqlDatetime = 61,
  kSqlFloat = 62,
  kSqlSqlVariant = 98,
  kSqlNtext = 99,
  kSqlBit = 104,
  kSqlDecimal = 106,
  kSqlNumeric = 108,
  kSqlSmallmoney = 122,
  kSqlBigint = 127,
  kSqlVarbinary = 165,
  kSqlVarchar = 167,
  kSqlBinary = 173,
  kSqlChar = 175,
  kSqlTimestamp = 189,
  kSqlNvarchar = 231,
  kSqlNchar = 239,
  kSqlXml = 241,
};

// The name sysscalartypes gives each system type.
std::string SqlTypeName(uint8_t systemType);

struct ColumnSpec {
  std::string name;
  uint8_t type = kSqlInt;
  int16_t maxLength = 4;  // bytes; -1 for the max types
  uint8_t precision = 0;
  uint8_t scale = 0;
  bool nullable = true;
  std::optional<std::pair<int64_t, int64_t>> identity;  // seed, increment
  int32_t collationId = 872468488;                      // SQL_Latin1_General_CP1_CI_AS
  bool sparse = false;
};

// A column of any type by its type byte and stored maximum length (-1 for
// the max types).
ColumnSpec TypedColumn(const std::string& name, uint8_t type, int16_t maxLength, bool nullable = true);
// Convenience constructors for the common types.
ColumnSpec IntColumn(const std::string& name, bool nullable = true);
ColumnSpec BigintColumn(const std::string& name, bool nullable = true);
ColumnSpec BitColumn(const std::string& name, bool nullable = true);
ColumnSpec VarcharColumn(const std::string& name, int16_t length, bool nullable = true);
ColumnSpec NvarcharColumn(const std::string& name, int16_t characters, bool nullable = true);
ColumnSpec NcharColumn(const std::string& name, int16_t characters, bool nullable = true);
ColumnSpec CharColumn(const std::string& name, int16_t length, bool nullable = true);
ColumnSpec DecimalColumn(const std::string& name, uint8_t precision, uint8_t scale, bool nullable = true);
ColumnSpec MoneyColumn(const std::string& name, bool nullable = true);
ColumnSpec DatetimeColumn(const std::string& name, bool nullable = true);
ColumnSpec DateColumn(const std::string& name, bool nullable = true);
ColumnSpec FloatColumn(const std::string& name, bool nullable = true);
ColumnSpec GuidColumn(const std::string& name, bool nullable = true);
ColumnSpec VarbinaryColumn(const std::string& name, int16_t length, bool nullable = true);

bool IsVariableType(const ColumnSpec& column);
// Bytes a fixed column takes in the fixed part (0 for bit columns, which
// share bytes, and for variable columns).
int FixedWidth(const ColumnSpec& column);

// A value: NULL, or the stored bytes of the column (use the encoders
// below); a complex value (text pointer, large-value root) sets bit 15 of
// its end offset.
struct Value {
  bool isNull = false;
  Bytes bytes;
  bool complex = false;
};
Value Null();
Value ComplexValue(const Bytes& pointer);
Value IntValue(int32_t v);
Value BigintValue(int64_t v);
Value SmallintValue(int16_t v);
Value BitValue(bool v);
Value TextValue(const std::string& ascii);      // char/varchar bytes as given
Value UnicodeValue(const std::u16string& text);  // nchar/nvarchar
Value DecimalValue(bool negative, uint64_t magnitude, uint8_t precision);
Value MoneyValue(int64_t tenThousandths);
Value DatetimeValue(int32_t daysSince1900, int32_t ticks);
Value DateValue(int32_t daysSince0001);
Value FloatValue(double v);
Value GuidValue(const Bytes& sixteen);
Value RawValue(const Bytes& bytes);

// Where each column lies in the encoded record: leaf offset (fixed: byte
// offset from the record start; variable: -1 for the first, -2 ...) and
// 1-based null bit.
struct ColumnPlacement {
  int16_t leafOffset = 0;
  int32_t nullBit = 0;
  int16_t bitPosition = 0;  // bit columns: the bit within their byte
};
std::vector<ColumnPlacement> PlaceColumns(const std::vector<ColumnSpec>& columns);

// The classic record of one row (kind 0, or 6 for a ghost).
Bytes EncodeRow(const std::vector<ColumnSpec>& columns, const std::vector<Value>& values, int kind = 0);

// The fixed part length (F) of rows of these columns, status bytes included.
int FixedPartEnd(const std::vector<ColumnSpec>& columns);

}  // namespace pagewright::build

#endif  // PAGEWRIGHT_TESTS_SUPPORT_BUILDER_ROW_ENCODER_H_
