#include "records/value_format.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "pagestore/text_codec.h"
#include "records/binary_xml.h"

namespace pagewright {

std::optional<int32_t> KnownTypeIndexOf(int systemTypeId) {
  switch (systemTypeId) {
    case 127: return kTypeBigint;
    case 173: return kTypeBinary;
    case 104: return kTypeBit;
    case 175: return kTypeChar;
    case 61: return kTypeDatetime;
    case 40: return kTypeDate;
    case 41: return kTypeTime;
    case 42: return kTypeDatetime2;
    case 43: return kTypeDatetimeOffset;
    case 56: return kTypeInt;
    case 239: return kTypeNchar;
    case 231: return kTypeNvarchar;
    case 52: return kTypeSmallint;
    case 48: return kTypeTinyint;
    case 36: return kTypeUniqueidentifier;
    case 165: return kTypeVarbinary;
    case 167: return kTypeVarchar;
    case 232: return kType232;
    case 99: return kTypeNtext;
    case 98: return kTypeSqlVariant;
    case 60: return kTypeMoney;
    case 62: return kTypeFloat;
    case 108: return kTypeNumeric;
    case 106: return kTypeDecimal;
    case 34: return kTypeText;  // image: the catalog overrides it
    case 35: return kTypeText;
    case 58: return kTypeSmalldatetime;
    case 59: return kTypeReal;
    case 122: return kTypeSmallmoney;
    case 189: return kTypeTimestamp;
    case 240: return kTypeClr;
    case 241: return kTypeXml;
    default: return std::nullopt;
  }
}

int32_t TypeIndexOf(int systemTypeId) { return KnownTypeIndexOf(systemTypeId).value_or(kTypeChar); }

int32_t DeclaredLengthOf(const std::string& typeText) {
  size_t open = typeText.find('(');
  size_t close = typeText.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return 0;
  int32_t value = 0;
  const char* first = typeText.data() + open + 1;
  std::from_chars(first, typeText.data() + close, value);
  return value;
}

std::vector<size_t> StoredColumnOrder(const std::vector<ColumnDescriptor>& columns) {
  std::vector<size_t> order;
  order.reserve(columns.size());
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].physicalColumnId != kNotStoredColumn) order.push_back(i);
  // Ties keep their column order (a stable sort that needs no buffer).
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return columns[a].physicalColumnId != columns[b].physicalColumnId
               ? columns[a].physicalColumnId < columns[b].physicalColumnId
               : a < b;
  });
  return order;
}

bool IsVariableTypeIndex(int32_t t) {
  return t == kTypeNvarchar || (t >= kTypeUniqueidentifier && t <= kTypeSqlVariant) || t == kTypeImage ||
         t == kTypeText || t == kTypeClr || t == kTypeXml;
}

bool HasDeclaredLength(int32_t t) {
  switch (t) {
    case kTypeBinary:
    case kTypeChar:
    case kTypeNchar:
    case kTypeNvarchar:
    case kType232:
    case kTypeNumeric:
    case kTypeDecimal:
    case kTypeText:
    case kTypeClr:
    case kTypeXml: return true;
    default: return false;
  }
}

ColumnDescriptor DescribeColumn(const std::string& name, const std::string& typeText, int32_t typeIndex) {
  ColumnDescriptor c;
  c.name = name;
  c.typeText = typeText;
  c.declaredLength = HasDeclaredLength(typeIndex) ? DeclaredLengthOf(typeText) : 0;
  c.variable = IsVariableTypeIndex(typeIndex) ? 1 : 0;
  c.typeIndex = typeIndex == kType232 ? kTypeNvarchar : typeIndex;
  return c;
}

TypeLayout ComputeTypeLayout(const ColumnDescriptor& column, BitCursor& bits, int32_t typeIndex) {
  TypeLayout t;
  t.bits = &bits;
  t.typeIndex = typeIndex;
  const auto length = static_cast<int16_t>(column.declaredLength);
  auto set = [&](uint8_t isVariable, int16_t fixedSize, int16_t valueLength) {
    t.isVariable = isVariable;
    t.fixedSize = fixedSize;
    t.valueLength = valueLength;
  };
  switch (typeIndex) {
    case kTypeBinary:
    case kTypeChar:
    case kTypeDecimal: set(0, length, length); break;
    case kTypeBit:
      if (bits.count == 8) {
        bits.newByte = 1;
        set(0, 1, 1);
      } else {
        bits.newByte = 0;
        set(0, 0, 1);
      }
      break;
    case kTypeDate: set(0, 3, 3); break;
    case kTypeTime: set(0, 5, 5); break;
    case kTypeDatetimeOffset: set(0, 10, 10); break;
    case kTypeInt: set(0, 4, 4); break;
    case kTypeNchar:
    case kTypeNvarchar:
    case kTypeNtext:
    case kTypeText:
    case kTypeHierarchyid:
    case kTypeClr:
    case kTypeSqlVariant:
    case kTypeGeometry: set(column.variable, length, length); break;
    case kTypeSmallint: set(0, 2, 2); break;
    case kTypeTinyint: set(0, 1, 1); break;
    case kTypeUniqueidentifier: set(0, 16, 16); break;
    case kTypeVarbinary: set(1, 0, length); break;
    case kTypeVarchar: set(column.variable, 0, length); break;
    case kTypeMoney:
    case kTypeTimestamp: set(0, 8, 8); break;
    case kTypeNumeric: set(0, 19, 19); break;
    case kTypeImage:
    case kTypeXml: set(1, 0, length); break;
    case kTypeSmalldatetime:
    case kTypeReal:
    case kTypeSmallmoney: set(0, 4, 4); break;
    case kTypeBigint:
    case kTypeDatetime:
    case kTypeDatetime2:
    case kTypeFloat: set(0, 8, 8); break;
    default: set(0, 0, 0); break;
  }
  return t;
}

std::string FormatHex(ByteSpan v) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(v.size() * 2 + 2);  // room for the "0x" the row decoder puts in front
  out.resize(v.size() * 2, '0');
  for (size_t i = 0; i < v.size(); ++i) {
    out[2 * i] = kDigits[v[i] >> 4];
    out[2 * i + 1] = kDigits[v[i] & 15];
  }
  return out;
}

std::string FormatGuid(ByteSpan v) {
  if (v.size() < 16) return {};
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", v[3], v[2],
                v[1], v[0], v[5], v[4], v[7], v[6], v[8], v[9], v[10], v[11], v[12], v[13], v[14], v[15]);
  return buf;
}

namespace {

// Decimal text of an integer of up to four 32-bit words (little-endian).
std::string DecimalDigits(uint32_t words[4]) {
  std::string digits;
  uint32_t w[4] = {words[0], words[1], words[2], words[3]};
  for (;;) {
    bool zero = w[0] == 0 && w[1] == 0 && w[2] == 0 && w[3] == 0;
    if (zero) break;
    uint64_t rem = 0;
    for (int i = 3; i >= 0; --i) {
      uint64_t cur = (rem << 32) | w[i];
      w[i] = static_cast<uint32_t>(cur / 10);
      rem = cur % 10;
    }
    digits.push_back(static_cast<char>('0' + rem));
  }
  if (digits.empty()) digits = "0";
  std::reverse(digits.begin(), digits.end());
  return digits;
}

// Four decimals after the point with the sign in front (money values are
// stored as integers of 1/10000).
std::string FourDecimals(int64_t value) {
  bool negative = value < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  char buf[40];
  char* at = buf;
  if (negative) *at++ = '-';
  at = std::to_chars(at, buf + sizeof buf, magnitude / 10000).ptr;
  const auto fraction = static_cast<unsigned>(magnitude % 10000);
  *at++ = '.';
  *at++ = static_cast<char>('0' + fraction / 1000);
  *at++ = static_cast<char>('0' + fraction / 100 % 10);
  *at++ = static_cast<char>('0' + fraction / 10 % 10);
  *at++ = static_cast<char>('0' + fraction % 10);
  return std::string(buf, at);
}

}  // namespace

std::string FormatDecimal(ByteSpan v, int precision, int scale) {
  if (v.empty()) return {};
  bool negative = v[0] == 0;
  size_t size = precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
  uint32_t words[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < size && 1 + i < v.size(); ++i) words[i / 4] |= uint32_t{v[1 + i]} << (8 * (i % 4));
  std::string digits = DecimalDigits(words);
  int s = scale;
  std::string text;
  if (s > 0 && static_cast<int>(digits.size()) <= s) {
    text = "0." + std::string(static_cast<size_t>(s) - digits.size(), '0') + digits;
  } else if (s > 0) {
    text = digits.substr(0, digits.size() - static_cast<size_t>(s)) + "." + digits.substr(digits.size() - static_cast<size_t>(s));
  } else {
    text = digits;
  }
  // A magnitude with more digits than the precision allows comes from damaged
  // bytes: digits are cut from the end, scale first, until it fits.
  int count = static_cast<int>(digits.size());
  while (count > precision) {
    if (s <= 0) return {};
    text.pop_back();
    --s;
    --count;
  }
  if (!text.empty() && text.back() == '.') text.pop_back();
  return negative ? "-" + text : text;
}

std::string FormatMoney(ByteSpan v) { return FourDecimals(I64At(v, 0)); }
std::string FormatSmallMoney(ByteSpan v) { return FourDecimals(I32At(v, 0)); }

std::string FormatFloat(double value) {
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

std::string FormatReal(float value) {
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

std::string ConvertCodePageText(ByteSpan bytes, int32_t codePage) { return CodePageToUtf8(bytes, codePage); }

int32_t CodePageOfCollation(int32_t collationId, const ReadContext& context) {
  const DatabaseCollation& database = context.collation;
  if (collationId != 0 && collationId != -1) {
    if (database.found && collationId == database.key) return database.codePage;
    if (context.collations != nullptr) {
      auto it = context.collations->find(collationId);
      if (it != context.collations->end() && it->second.codePage > 0) return it->second.codePage;
    }
  }
  if (database.found && database.codePage > 0) return database.codePage;
  return kSystemAnsiCodePage;
}

std::string GuessedText(ByteSpan bytes) {
  size_t zeros = static_cast<size_t>(std::count(bytes.begin(), bytes.end(), uint8_t{0}));
  if (!bytes.empty() && zeros == bytes.size() / 2) return Utf16LeToUtf8UntilNul(bytes);
  return CodePageToUtf8(bytes, kSystemAnsiCodePage);
}

namespace {

// The setters below fill a cell in place (see CellValue::Reset).
void SetBytes(CellValue& out, ByteSpan v, uint8_t hexPrefixes) {
  out.Reset(CellKind::kBytes);
  out.bytes.assign(v.begin(), v.end());
  out.hexPrefixes = hexPrefixes;
}
void Hex0x(CellValue& out, ByteSpan v) { SetBytes(out, v, 1); }
void SetInteger(CellValue& out, long long v) { out.Reset(CellKind::kInteger).integer = v; }
std::string& SetText(CellValue& out) { return out.Reset(CellKind::kText).text; }
void SetText(CellValue& out, const std::string& text) { SetText(out) = text; }
// A decimal or date/time text; an empty text (damaged bytes) is missing.
void SetExact(CellValue& out, CellKind kind, const std::string& text) {
  out.Reset(text.empty() ? CellKind::kMissing : kind);
  out.text = text;
}
void Decimal(CellValue& out, const std::string& text) { SetExact(out, CellKind::kDecimal, text); }
// A date out of the types' range shows as " ": no value an export can write.
void Temporal(CellValue& out, const std::string& text) {
  if (text == " ") {
    out.Reset(CellKind::kMissing).blank = true;
    return;
  }
  SetExact(out, CellKind::kDateTime, text);
}
void SetFloat(CellValue& out, double v, bool single) {
  out.Reset(CellKind::kFloat);
  out.real = v;
  out.single = single;
}

CellValue Hex0x(ByteSpan v) { return CellValue::Bytes(std::vector<uint8_t>(v.begin(), v.end()), 1); }
CellValue Integer(long long v) { return CellValue::Integer(v); }
CellValue Text(std::string text) { return CellValue::Text(std::move(text)); }
CellValue Decimal(std::string text) { return CellValue::Exact(CellKind::kDecimal, std::move(text)); }
CellValue Temporal(std::string text) {
  CellValue out;
  Temporal(out, text);
  return out;
}

// The value of a column whose stored value has no bytes: an empty string or
// empty binary where the type allows one, otherwise unreadable.
void EmptyValueOf(int32_t typeIndex, CellValue& out) {
  switch (typeIndex) {
    case kTypeChar:
    case kTypeVarchar:
    case kTypeText:
    case kTypeNchar:
    case kTypeNvarchar:
    case kTypeNtext:
    case kTypeXml: out.Reset(CellKind::kText); return;
    case kTypeBinary:
    case kTypeVarbinary:
    case kTypeImage:
    case kTypeGeometry:
    case kTypeHierarchyid: out.Reset(CellKind::kBytes); return;
    default: out.Reset(CellKind::kMissing); return;
  }
}

void AppendHexDigits(const std::vector<uint8_t>& bytes, std::string& out) {
  static const char kDigits[] = "0123456789ABCDEF";
  const size_t at = out.size();
  out.resize(at + 2 * bytes.size());
  char* p = out.data() + at;
  for (uint8_t b : bytes) {
    *p++ = kDigits[b >> 4];
    *p++ = kDigits[b & 15];
  }
}

}  // namespace

void AppendDisplayText(const CellValue& v, std::string& out) {
  if (v.blank) {
    out.push_back(' ');
    return;
  }
  switch (v.kind) {
    case CellKind::kNull: out += "NULL"; return;
    case CellKind::kMissing:
      for (int i = 0; i < v.hexPrefixes; ++i) out += "0x";
      return;
    case CellKind::kInteger: {
      char buf[24];
      auto r = std::to_chars(buf, buf + sizeof buf, v.integer);
      out.append(buf, r.ptr);
      return;
    }
    case CellKind::kFloat: {
      char buf[64];
      auto r = v.single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(v.real))
                        : std::to_chars(buf, buf + sizeof buf, v.real);
      out.append(buf, r.ptr);
      return;
    }
    case CellKind::kBool: out += v.integer ? "True" : "False"; return;
    case CellKind::kBytes:
      out.reserve(out.size() + 2u * v.hexPrefixes + 2 * v.bytes.size());
      for (int i = 0; i < v.hexPrefixes; ++i) out += "0x";
      AppendHexDigits(v.bytes, out);
      return;
    default: out += v.text; return;
  }
}

bool DisplaysEmpty(const CellValue& v) {
  if (v.blank) return false;
  switch (v.kind) {
    case CellKind::kNull:
    case CellKind::kInteger:
    case CellKind::kFloat:
    case CellKind::kBool: return false;
    case CellKind::kMissing: return v.hexPrefixes == 0;
    case CellKind::kBytes: return v.hexPrefixes == 0 && v.bytes.empty();
    default: return v.text.empty();
  }
}

std::string DisplayText(const CellValue& v) {
  std::string out;
  AppendDisplayText(v, out);
  return out;
}

std::string DisplayText(CellValue&& v) {
  // Text, decimals, dates and placeholders show as they are: the text moves.
  if (!v.blank && v.kind != CellKind::kNull && v.kind != CellKind::kMissing && v.kind != CellKind::kInteger &&
      v.kind != CellKind::kFloat && v.kind != CellKind::kBool && v.kind != CellKind::kBytes)
    return std::move(v.text);
  return DisplayText(static_cast<const CellValue&>(v));
}

CellValue DecodeValue(TypeLayout& t, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context) {
  CellValue out;
  DecodeValue(t, value, column, context, out);
  return out;
}

void DecodeValue(TypeLayout& t, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context,
                 CellValue& out) {
  if (value.empty()) return EmptyValueOf(t.typeIndex, out);
  // A sql_variant value carries its own type: decode it as such.
  if (t.typeIndex == kTypeSqlVariant) {
    out = DecodeVariant(t.valueLength, t, value, column, context);
    return;
  }
  if (t.isVariable) t.available = t.valueLength;
  if (t.consumed == 0) t.consumed = DeclaredLengthOf(column.typeText);
  int64_t n = t.valueLength;
  const int64_t available = std::min<int64_t>(t.available, static_cast<int64_t>(value.size()));
  const int64_t c = t.consumed;
  // The value's first n bytes; when fewer are there, a zero-filled copy
  // (on the stack for the common short values), so short bytes read as
  // zeros. This runs for every value decoded.
  const int64_t copied = std::max<int64_t>(0, std::min(n, available));
  const size_t length = static_cast<size_t>(std::max<int64_t>(n, 0));
  uint8_t small[64];
  std::vector<uint8_t> large;
  ByteSpan b;
  if (copied == n) {
    b = value.first(length);
  } else {
    const size_t size = length + 2;
    uint8_t* buffer = small;
    if (size > sizeof small) {
      large.resize(size);
      buffer = large.data();
    }
    if (copied > 0) std::memcpy(buffer, value.data(), static_cast<size_t>(copied));
    std::memset(buffer + copied, 0, size - static_cast<size_t>(copied));
    b = ByteSpan(buffer, length);
  }
  const bool needsN = n >= 1 && available >= n;
  const bool needsC = n >= 1 && available >= c && c >= 1;
  auto first = [&](int64_t k) { return b.first(static_cast<size_t>(std::min<int64_t>(k, n))); };
  out.Reset(CellKind::kMissing);
  switch (t.typeIndex) {
    case kTypeBigint:
      if (needsN) SetInteger(out, I64At(b, 0));
      break;
    case kTypeBinary:
      if (needsN) Hex0x(out, b);
      break;
    case kTypeBit: {
      if (n != 1) break;
      BitCursor& bits = *t.bits;
      if (bits.count == 8) bits.loaded = 0;
      if (!bits.loaded) {
        bits.current = b[0];
        bits.count = 0;
        bits.loaded = 1;
        bits.newByte = 1;
        t.fixedSize = 1;
        t.valueLength = 1;
        t.consumed = 1;
      } else {
        t.fixedSize = 0;
        t.valueLength = 1;
        bits.newByte = 0;
        t.consumed = 0;
      }
      out.Reset(CellKind::kBool).integer = ((bits.current >> bits.count) & 1) != 0 ? 1 : 0;
      ++bits.count;
      break;
    }
    case kTypeChar:
      if (needsN) CodePageToUtf8(b, CodePageOfCollation(column.collationId, context), SetText(out));
      break;
    case kTypeVarchar:
    case kTypeText:
      if (n >= 1) {
        CodePageToUtf8(b, CodePageOfCollation(column.collationId, context), SetText(out));
      } else {
        SetText(out);
      }
      break;
    case kTypeDatetime:
      if (n >= 1 && available > 7) Temporal(out, FormatDateTime(b.first(std::min<size_t>(8, b.size()))));
      break;
    case kTypeDate:
      if (n >= 1 && available > 2) Temporal(out, FormatDate(first(3)));
      break;
    case kTypeTime:
      if (needsC) Temporal(out, FormatTime(first(c), column.scale));
      break;
    case kTypeDatetime2:
      if (needsC) Temporal(out, FormatDateTime2(first(c), column.scale));
      break;
    case kTypeDatetimeOffset:
      if (needsC) Temporal(out, FormatDateTimeOffset(first(c), column.scale));
      break;
    case kTypeInt:
      if (needsN) SetInteger(out, I32At(b, 0));
      break;
    case kTypeNchar:
      if (needsN) Utf16LeToUtf8UntilNul(b, SetText(out));
      break;
    case kTypeNvarchar:
    case kTypeNtext:
      if (n >= 1) {
        Utf16LeToUtf8UntilNul(b, SetText(out));
      } else {
        SetText(out);
      }
      break;
    case kTypeSmallint:
      if (needsN) SetInteger(out, I16At(b, 0));
      break;
    case kTypeTinyint:
      if (needsN) SetInteger(out, b[0]);
      break;
    case kTypeUniqueidentifier:
      if (needsN) SetText(out, FormatGuid(b));
      break;
    case kTypeVarbinary: SetBytes(out, n >= 1 ? b : ByteSpan(), 0); break;
    case kTypeMoney:
      if (needsC) Decimal(out, FormatMoney(first(c)));
      break;
    case kTypeFloat:
      if (needsN) {
        double d;
        uint64_t bitsValue = U64At(b, 0);
        std::memcpy(&d, &bitsValue, sizeof d);
        SetFloat(out, d, false);
      }
      break;
    case kTypeNumeric:
    case kTypeDecimal:
      if (needsC) Decimal(out, FormatDecimal(first(c), column.precision, column.scale));
      break;
    case kTypeSmalldatetime:
      if (n >= 1 && available > 3) Temporal(out, FormatSmallDateTime(first(4)));
      break;
    case kTypeReal:
      if (needsN) {
        float f;
        uint32_t bitsValue = U32At(b, 0);
        std::memcpy(&f, &bitsValue, sizeof f);
        SetFloat(out, f, true);
      }
      break;
    case kTypeSmallmoney:
      if (needsC) Decimal(out, FormatSmallMoney(first(c)));
      break;
    case kTypeTimestamp:
    case kTypeClr:
      if (needsN) Hex0x(out, b);
      break;
    case kTypeHierarchyid:
      if (n >= 1) {
        Hex0x(out, b);
      } else {
        SetBytes(out, ByteSpan(), 0);
      }
      break;
    case kTypeGeometry: SetBytes(out, n >= 1 ? b : ByteSpan(), 0); break;
    case kTypeXml:
      if (n >= 1) {
        // An empty conversion (bytes that are not binary XML) shows as " ".
        SetText(out) = ConvertBinaryXml(b);
        if (out.text.empty()) out.blank = true;
      } else {
        SetText(out);
      }
      break;
    default: break;
  }
  switch (t.typeIndex) {
    case kTypeDatetime:
    case kTypeDate:
    case kTypeTime:
    case kTypeDatetime2:
    case kTypeDatetimeOffset:
    case kTypeMoney:
    case kTypeNumeric:
    case kTypeDecimal:
    case kTypeSmalldatetime:
    case kTypeSmallmoney: t.valueLength = static_cast<int16_t>(t.consumed); break;
    default: break;
  }
}

std::string FormatValue(TypeLayout& t, ByteSpan value, const ColumnDescriptor& column, const ReadContext& context) {
  return DisplayText(DecodeValue(t, value, column, context));
}

CellValue DecodeVariant(int32_t n, TypeLayout& /*layout*/, ByteSpan v, const ColumnDescriptor& /*column*/,
                        const ReadContext& context) {
  if (v.empty() || n < 1) return CellValue::Missing();
  v = v.first(std::min<size_t>(v.size(), static_cast<size_t>(n)));
  n = static_cast<int32_t>(v.size());
  auto from = [&](size_t k) { return k <= v.size() ? v.subspan(k) : ByteSpan(); };
  // Byte 0 is the system type id of the value held, byte 1 its version.
  const std::optional<int32_t> type = KnownTypeIndexOf(v[0]);
  if (!type) return CellValue::Missing();
  switch (*type) {
    case kTypeUniqueidentifier:
      if (n == 18) return Text(FormatGuid(v.subspan(2)));
      break;
    case kTypeDate:
      if (n == 5) return Temporal(FormatDate(v.subspan(2, 3)));
      break;
    case kTypeTime:
      if (n >= 3) return Temporal(FormatTime(from(3), v[2]));
      break;
    case kTypeDatetime2:
      if (n >= 3) return Temporal(FormatDateTime2(from(3), v[2]));
      break;
    case kTypeDatetimeOffset:
      if (n >= 3) return Temporal(FormatDateTimeOffset(from(3), v[2]));
      break;
    case kTypeTinyint:
      if (n == 3) return Integer(v[2]);
      break;
    case kTypeSmallint:
      if (n == 4) return Integer(I16At(v, 2));
      break;
    case kTypeInt:
      if (n == 6) return Integer(I32At(v, 2));
      break;
    case kTypeSmalldatetime:
      if (n == 6) return Temporal(FormatSmallDateTime(v.subspan(2, 4)));
      break;
    case kTypeReal:
      if (n == 6) {
        float f;
        uint32_t bits = U32At(v, 2);
        std::memcpy(&f, &bits, sizeof f);
        return CellValue::Float(f, true);
      }
      break;
    case kTypeMoney:
      if (n == 10) return Decimal(FormatMoney(v.subspan(2, 8)));
      break;
    case kTypeDatetime:
      if (n == 10) return Temporal(FormatDateTime(v.subspan(2, 8)));
      break;
    case kTypeFloat:
      if (n == 10) {
        double d;
        uint64_t bits = U64At(v, 2);
        std::memcpy(&d, &bits, sizeof d);
        return CellValue::Float(d, false);
      }
      break;
    case kTypeBit:
      if (n == 3) return CellValue::Bool(v[2] != 0);
      break;
    case kTypeDecimal:
    case kTypeNumeric:
      if (n >= 5) return Decimal(FormatDecimal(from(4), v[2], v[3]));
      break;
    case kTypeSmallmoney:
      if (n == 6) return Decimal(FormatSmallMoney(v.subspan(2, 4)));
      break;
    case kTypeBigint:
      if (n == 10) return Integer(I64At(v, 2));
      break;
    // Binary values carry a 2-byte maximum length after the type and
    // version bytes; character values also their 4-byte collation id.
    case kTypeVarbinary:
    case kTypeBinary:
      if (n >= 4) return Hex0x(from(4));
      break;
    case kTypeVarchar:
    case kTypeChar:
      if (n >= 8) return Text(ConvertCodePageText(from(8), CodePageOfCollation(I32At(v, 4), context)));
      break;
    case kTypeNvarchar:
    case kTypeNchar:
      if (n >= 8) return Text(Utf16LeToUtf8UntilNul(from(8)));
      break;
    case kTypeClr:
      if (n >= 2) return Hex0x(from(2));
      break;
    default: break;
  }
  return CellValue::Missing();
}

std::string FormatVariant(int32_t valueLength, TypeLayout& layout, ByteSpan value, const ColumnDescriptor& column,
                          const ReadContext& context) {
  return DisplayText(DecodeVariant(valueLength, layout, value, column, context));
}

}  // namespace pagewright
