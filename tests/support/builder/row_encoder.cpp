#include "support/builder/row_encoder.h"

#include <algorithm>
#include <cstring>

namespace pagewright::build {

std::string SqlTypeName(uint8_t t) {
  switch (t) {
    case kSqlImage: return "image";
    case kSqlText: return "text";
    case kSqlUniqueidentifier: return "uniqueidentifier";
    case kSqlDate: return "date";
    case kSqlTime: return "time";
    case kSqlDatetime2: return "datetime2";
    case kSqlDatetimeoffset: return "datetimeoffset";
    case kSqlTinyint: return "tinyint";
    case kSqlSmallint: return "smallint";
    case kSqlInt: return "int";
    case kSqlSmalldatetime: return "smalldatetime";
    case kSqlReal: return "real";
    case kSqlMoney: return "money";
    case kSqlDatetime: return "datetime";
    case kSqlFloat: return "float";
    case kSqlSqlVariant: return "sql_variant";
    case kSqlNtext: return "ntext";
    case kSqlBit: return "bit";
    case kSqlDecimal: return "decimal";
    case kSqlNumeric: return "numeric";
    case kSqlSmallmoney: return "smallmoney";
    case kSqlBigint: return "bigint";
    case kSqlVarbinary: return "varbinary";
    case kSqlVarchar: return "varchar";
    case kSqlBinary: return "binary";
    case kSqlChar: return "char";
    case kSqlTimestamp: return "timestamp";
    case kSqlNvarchar: return "nvarchar";
    case kSqlNchar: return "nchar";
    case kSqlXml: return "xml";
    default: return "type" + std::to_string(t);
  }
}

namespace {
ColumnSpec Spec(const std::string& name, uint8_t type, int16_t length, bool nullable, uint8_t precision = 0,
                uint8_t scale = 0) {
  ColumnSpec c;
  c.name = name;
  c.type = type;
  c.maxLength = length;
  c.nullable = nullable;
  c.precision = precision;
  c.scale = scale;
  return c;
}
}  // namespace

ColumnSpec TypedColumn(const std::string& n, uint8_t type, int16_t maxLength, bool nullable) {
  return Spec(n, type, maxLength, nullable);
}
ColumnSpec IntColumn(const std::string& n, bool nullable) { return Spec(n, kSqlInt, 4, nullable, 10); }
ColumnSpec BigintColumn(const std::string& n, bool nullable) { return Spec(n, kSqlBigint, 8, nullable, 19); }
ColumnSpec BitColumn(const std::string& n, bool nullable) { return Spec(n, kSqlBit, 1, nullable, 1); }
ColumnSpec VarcharColumn(const std::string& n, int16_t length, bool nullable) {
  return Spec(n, kSqlVarchar, length, nullable);
}
ColumnSpec NvarcharColumn(const std::string& n, int16_t characters, bool nullable) {
  return Spec(n, kSqlNvarchar, characters < 0 ? -1 : static_cast<int16_t>(2 * characters), nullable);
}
ColumnSpec NcharColumn(const std::string& n, int16_t characters, bool nullable) {
  return Spec(n, kSqlNchar, static_cast<int16_t>(2 * characters), nullable);
}
ColumnSpec CharColumn(const std::string& n, int16_t length, bool nullable) { return Spec(n, kSqlChar, length, nullable); }
ColumnSpec DecimalColumn(const std::string& n, uint8_t precision, uint8_t scale, bool nullable) {
  int16_t length = precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
  return Spec(n, kSqlDecimal, length, nullable, precision, scale);
}
ColumnSpec MoneyColumn(const std::string& n, bool nullable) { return Spec(n, kSqlMoney, 8, nullable, 19, 4); }
ColumnSpec DatetimeColumn(const std::string& n, bool nullable) { return Spec(n, kSqlDatetime, 8, nullable, 23, 3); }
ColumnSpec DateColumn(const std::string& n, bool nullable) { return Spec(n, kSqlDate, 3, nullable, 10); }
ColumnSpec FloatColumn(const std::string& n, bool nullable) { return Spec(n, kSqlFloat, 8, nullable, 53); }
ColumnSpec GuidColumn(const std::string& n, bool nullable) { return Spec(n, kSqlUniqueidentifier, 16, nullable); }
ColumnSpec VarbinaryColumn(const std::string& n, int16_t length, bool nullable) {
  return Spec(n, kSqlVarbinary, length, nullable);
}

bool IsVariableType(const ColumnSpec& c) {
  switch (c.type) {
    case kSqlVarchar:
    case kSqlNvarchar:
    case kSqlVarbinary:
    case kSqlText:
    case kSqlNtext:
    case kSqlImage:
    case kSqlSqlVariant:
    case kSqlXml: return true;
    default: return false;
  }
}

int FixedWidth(const ColumnSpec& c) {
  if (IsVariableType(c) || c.type == kSqlBit) return 0;
  return c.maxLength;
}

Value Null() { return Value{true, {}, false}; }
Value ComplexValue(const Bytes& pointer) { return Value{false, pointer, true}; }
Value IntValue(int32_t v) { return Value{false, LE(v), false}; }
Value BigintValue(int64_t v) { return Value{false, LE(v), false}; }
Value SmallintValue(int16_t v) { return Value{false, LE(v), false}; }
Value BitValue(bool v) { return Value{false, Bytes{static_cast<uint8_t>(v ? 1 : 0)}, false}; }
Value TextValue(const std::string& ascii) { return Value{false, Ascii(ascii), false}; }
Value UnicodeValue(const std::u16string& text) { return Value{false, Utf16(text), false}; }
Value DecimalValue(bool negative, uint64_t magnitude, uint8_t precision) {
  size_t size = precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
  Bytes b = {static_cast<uint8_t>(negative ? 0 : 1)};
  for (size_t i = 0; i < size; ++i) b.push_back(i < 8 ? static_cast<uint8_t>(magnitude >> (8 * i)) : 0);
  return Value{false, b, false};
}
Value MoneyValue(int64_t v) { return Value{false, LE(v), false}; }
Value DatetimeValue(int32_t days, int32_t ticks) { return Value{false, Concat({LE(ticks), LE(days)}), false}; }
Value DateValue(int32_t days) {
  Bytes b = {static_cast<uint8_t>(days), static_cast<uint8_t>(days >> 8), static_cast<uint8_t>(days >> 16)};
  return Value{false, b, false};
}
Value FloatValue(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return Value{false, LE(bits), false};
}
Value GuidValue(const Bytes& sixteen) { return Value{false, sixteen, false}; }
Value RawValue(const Bytes& bytes) { return Value{false, bytes, false}; }

std::vector<ColumnPlacement> PlaceColumns(const std::vector<ColumnSpec>& columns) {
  std::vector<ColumnPlacement> out(columns.size());
  int offset = 4;
  int bitsUsed = 8;
  int bitByte = 0;
  int variable = 0;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnSpec& c = columns[i];
    out[i].nullBit = static_cast<int32_t>(i) + 1;
    if (IsVariableType(c)) {
      out[i].leafOffset = static_cast<int16_t>(-1 - variable++);
    } else if (c.type == kSqlBit) {
      if (bitsUsed == 8) {
        bitByte = offset++;
        bitsUsed = 0;
      }
      out[i].leafOffset = static_cast<int16_t>(bitByte);
      out[i].bitPosition = static_cast<int16_t>(bitsUsed++);
    } else {
      out[i].leafOffset = static_cast<int16_t>(offset);
      offset += FixedWidth(c);
    }
  }
  return out;
}

int FixedPartEnd(const std::vector<ColumnSpec>& columns) {
  int end = 4;
  auto placement = PlaceColumns(columns);
  for (size_t i = 0; i < columns.size(); ++i) {
    if (IsVariableType(columns[i])) continue;
    int width = columns[i].type == kSqlBit ? 1 : FixedWidth(columns[i]);
    end = std::max(end, placement[i].leafOffset + width);
  }
  return end;
}

Bytes EncodeRow(const std::vector<ColumnSpec>& columns, const std::vector<Value>& values, int kind) {
  auto placement = PlaceColumns(columns);
  const int f = FixedPartEnd(columns);
  Bytes fixed(static_cast<size_t>(f - 4), 0);
  std::vector<const Value*> variable;
  for (size_t i = 0; i < columns.size(); ++i) {
    const Value& v = values.at(i);
    const ColumnSpec& c = columns[i];
    if (IsVariableType(c)) {
      variable.push_back(&v);
      continue;
    }
    if (v.isNull) continue;
    size_t at = static_cast<size_t>(placement[i].leafOffset - 4);
    if (c.type == kSqlBit) {
      if (!v.bytes.empty() && v.bytes[0]) fixed[at] |= static_cast<uint8_t>(1u << placement[i].bitPosition);
      continue;
    }
    for (size_t k = 0; k < static_cast<size_t>(FixedWidth(c)) && k < v.bytes.size(); ++k) fixed[at + k] = v.bytes[k];
  }
  // Trailing NULL variable columns are left out of the variable part.
  while (!variable.empty() && variable.back()->isNull) variable.pop_back();

  uint8_t status = static_cast<uint8_t>((kind & 7) << 1) | 0x10;
  if (!variable.empty()) status |= 0x20;
  Bytes r = {status, 0};
  Bytes fe = LE<int16_t>(static_cast<int16_t>(f));
  r.insert(r.end(), fe.begin(), fe.end());
  r.insert(r.end(), fixed.begin(), fixed.end());
  Bytes count = LE<int16_t>(static_cast<int16_t>(columns.size()));
  r.insert(r.end(), count.begin(), count.end());
  Bytes bitmap((columns.size() + 7) / 8, 0);
  for (size_t i = 0; i < columns.size(); ++i)
    if (values.at(i).isNull) bitmap[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  r.insert(r.end(), bitmap.begin(), bitmap.end());
  if (!variable.empty()) {
    Bytes vc = LE<int16_t>(static_cast<int16_t>(variable.size()));
    r.insert(r.end(), vc.begin(), vc.end());
    size_t end = r.size() + 2 * variable.size();
    for (const Value* v : variable) {
      end += v->isNull ? 0 : v->bytes.size();
      Bytes e = LE<uint16_t>(static_cast<uint16_t>(end | (v->complex ? 0x8000 : 0)));
      r.insert(r.end(), e.begin(), e.end());
    }
    for (const Value* v : variable)
      if (!v->isNull) r.insert(r.end(), v->bytes.begin(), v->bytes.end());
  }
  return r;
}

}  // namespace pagewright::build
