#include "records/binary_xml_values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

#include "pagestore/text_codec.h"

namespace pagewright::binxml {

namespace {

// Day numbers count from 0001-01-01 (day 0) in the proleptic Gregorian
// calendar; 9999-12-31 is the last day any SQL Server type can hold.
constexpr int64_t kDaysTo1900 = 693595;  // 1900-01-01, the SQL datetime epoch
constexpr int64_t kLastDay = 3652058;    // 9999-12-31
constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kTicksPerSecond = 10'000'000;  // 100 ns
constexpr int64_t kTicksPerDay = kSecondsPerDay * kTicksPerSecond;
constexpr uint32_t kSqlTicksPerDay = 300u * 86400u;  // SQL datetime: 1/300 s
constexpr int kMaxTimeScale = 7;
constexpr int kMaxZoneMinutes = 14 * 60;
constexpr int kMaxDecimalPrecision = 38;

struct CivilDate {
  int64_t year;
  int month;
  int day;
};

// Converts a day number (0 = 0001-01-01) to year, month and day. Counts in
// 400-year cycles of 146097 days that start on 1 March, so that the leap day
// is the last day of each cycle year.
CivilDate CivilFromDayNumber(int64_t dayNumber) {
  int64_t z = dayNumber + 306;  // 0000-03-01 lies 306 days before 0001-01-01
  int64_t cycle = z / 146097;
  int64_t dayOfCycle = z - cycle * 146097;
  int64_t yearOfCycle = (dayOfCycle - dayOfCycle / 1460 + dayOfCycle / 36524 - dayOfCycle / 146096) / 365;
  int64_t dayOfYear = dayOfCycle - (365 * yearOfCycle + yearOfCycle / 4 - yearOfCycle / 100);
  int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  int64_t year = yearOfCycle + cycle * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

void AppendPadded(std::string& out, uint64_t value, int width) {
  char buf[24];
  int n = std::snprintf(buf, sizeof(buf), "%0*llu", width, static_cast<unsigned long long>(value));
  out.append(buf, static_cast<size_t>(n));
}

bool AppendDate(std::string& out, int64_t dayNumber) {
  if (dayNumber < 0 || dayNumber > kLastDay) return false;
  CivilDate d = CivilFromDayNumber(dayNumber);
  AppendPadded(out, static_cast<uint64_t>(d.year), 4);
  out.push_back('-');
  AppendPadded(out, static_cast<uint64_t>(d.month), 2);
  out.push_back('-');
  AppendPadded(out, static_cast<uint64_t>(d.day), 2);
  return true;
}

// hh:mm:ss[.fraction]; `ticks` are 100 ns units since midnight. The fraction
// drops its trailing zeros (the canonical form).
bool AppendTimeOfDay(std::string& out, int64_t ticks) {
  if (ticks < 0 || ticks >= kTicksPerDay) return false;
  int64_t seconds = ticks / kTicksPerSecond;
  int64_t fraction = ticks % kTicksPerSecond;
  AppendPadded(out, static_cast<uint64_t>(seconds / 3600), 2);
  out.push_back(':');
  AppendPadded(out, static_cast<uint64_t>(seconds / 60 % 60), 2);
  out.push_back(':');
  AppendPadded(out, static_cast<uint64_t>(seconds % 60), 2);
  if (fraction != 0) {
    std::string digits;
    AppendPadded(digits, static_cast<uint64_t>(fraction), 7);
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    out.push_back('.');
    out += digits;
  }
  return true;
}

void AppendZone(std::string& out, int zoneMinutes) {
  if (zoneMinutes == 0) {
    out.push_back('Z');
    return;
  }
  out.push_back(zoneMinutes < 0 ? '-' : '+');
  int m = zoneMinutes < 0 ? -zoneMinutes : zoneMinutes;
  AppendPadded(out, static_cast<uint64_t>(m / 60), 2);
  out.push_back(':');
  AppendPadded(out, static_cast<uint64_t>(m % 60), 2);
}

enum class DatePart { kDate, kTime, kDateTime };

// Writes an instant given as 100 ns ticks since 0001-01-01 as a date, a time
// of day or both.
bool AppendInstant(std::string& out, int64_t ticks, DatePart part) {
  if (ticks < 0 || ticks / kTicksPerDay > kLastDay) return false;
  int64_t day = ticks / kTicksPerDay;
  int64_t timeOfDay = ticks % kTicksPerDay;
  if (part != DatePart::kTime && !AppendDate(out, day)) return false;
  if (part == DatePart::kDateTime) out.push_back('T');
  if (part != DatePart::kDate && !AppendTimeOfDay(out, timeOfDay)) return false;
  return true;
}

// Decimal digits of a non-negative integer held as little-endian 32-bit words
// (at most four: 128 bits, 39 digits). Divides the words by ten repeatedly.
std::string DigitsOfWords(std::array<uint32_t, 4> words, int count) {
  std::string reversed;
  bool nonzero = true;
  while (nonzero) {
    uint64_t remainder = 0;
    nonzero = false;
    for (int i = count - 1; i >= 0; --i) {
      uint64_t current = (remainder << 32) | words[static_cast<size_t>(i)];
      words[static_cast<size_t>(i)] = static_cast<uint32_t>(current / 10);
      remainder = current % 10;
      if (words[static_cast<size_t>(i)] != 0) nonzero = true;
    }
    reversed.push_back(static_cast<char>('0' + remainder));
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

// Canonical xs:decimal of (negative ? -1 : 1) * digits * 10^-scale: no
// leading zeros before the point but one, no trailing fraction zeros, no
// point without a fraction, no sign on zero.
void AppendScaled(std::string& out, bool negative, std::string digits, int scale) {
  if (static_cast<int>(digits.size()) <= scale) digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
  std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(scale));
  std::string fraction = digits.substr(digits.size() - static_cast<size_t>(scale));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  size_t firstNonZero = whole.find_first_not_of('0');
  whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
  if (negative && !(whole == "0" && fraction.empty())) out.push_back('-');
  out += whole;
  if (!fraction.empty()) {
    out.push_back('.');
    out += fraction;
  }
}

void AppendSigned(std::string& out, int64_t value) { out += std::to_string(value); }

void AppendMoney(std::string& out, int64_t tenThousandths) {
  bool negative = tenThousandths < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(tenThousandths) : static_cast<uint64_t>(tenThousandths);
  AppendScaled(out, negative, std::to_string(magnitude), 4);
}

template <typename F>
void AppendXsdFloatingPoint(std::string& out, F value) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-INF" : "INF";
    return;
  }
  if (value == 0) {
    out += std::signbit(value) ? "-0.0E0" : "0.0E0";
    return;
  }
  // Shortest digits that read back to the same value: "-1.25e-03".
  char buf[64];
  auto result = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::scientific);
  if (result.ec != std::errc()) {
    out += "NaN";  // cannot happen for a finite value and this buffer
    return;
  }
  std::string_view text(buf, static_cast<size_t>(result.ptr - buf));
  size_t e = text.find('e');
  std::string_view mantissa = text.substr(0, e);
  int exponent = 0;
  if (e != std::string_view::npos) {
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+') exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
  }
  out += mantissa;
  if (mantissa.find('.') == std::string_view::npos) out += ".0";
  out.push_back('E');
  out += std::to_string(exponent);
}

void AppendBase64(std::string& out, ByteSpan bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  size_t rest = bytes.size() - i;
  if (rest == 1) {
    uint32_t v = uint32_t{bytes[i]} << 16;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out += "==";
  } else if (rest == 2) {
    uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
}

void AppendHex(std::string& out, ByteSpan bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (uint8_t b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 15]);
  }
}

void AppendUuid(std::string& out, ByteSpan b) {
  // Data1, Data2 and Data3 are stored little-endian, the last 8 bytes in order.
  char buf[40];
  int n = std::snprintf(buf, sizeof(buf), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", U32At(b, 0),
                        unsigned{U16At(b, 4)}, unsigned{U16At(b, 6)}, unsigned{b[8]}, unsigned{b[9]},
                        unsigned{b[10]}, unsigned{b[11]}, unsigned{b[12]}, unsigned{b[13]}, unsigned{b[14]},
                        unsigned{b[15]});
  out.append(buf, static_cast<size_t>(n));
}

std::optional<ByteSpan> ReadLengthPrefixed(StreamReader& reader) {
  auto length = reader.ReadMb64();
  if (!length) return std::nullopt;
  return reader.ReadBytes(*length);
}

bool AppendDecimal(StreamReader& reader, std::string& out) {
  auto length = reader.ReadMb64();
  if (!length || (*length != 7 && *length != 11 && *length != 15 && *length != 19)) return false;
  auto bytes = reader.ReadBytes(*length);
  if (!bytes) return false;
  int precision = (*bytes)[0];
  int scale = (*bytes)[1];
  bool negative = (*bytes)[2] == 0;
  if (precision < 1 || precision > kMaxDecimalPrecision || scale > precision) return false;
  int wordCount = static_cast<int>((*length - 3) / 4);
  std::array<uint32_t, 4> words{};
  for (int i = 0; i < wordCount; ++i) words[static_cast<size_t>(i)] = U32At(*bytes, 3 + 4 * i);
  AppendScaled(out, negative, DigitsOfWords(words, wordCount), scale);
  return true;
}

bool AppendSqlDateTime(StreamReader& reader, std::string& out) {
  auto days = reader.Read<int32_t>();
  auto ticks = reader.Read<uint32_t>();
  if (!days || !ticks || *ticks >= kSqlTicksPerDay) return false;
  // 1/300 s to the nearest millisecond, as SQL Server shows it (.003, .007).
  int64_t milliseconds = (int64_t{*ticks} * 10 + 1) / 3;
  int64_t day = kDaysTo1900 + *days;
  if (day < 0 || day > kLastDay) return false;  // before multiplying: no overflow
  return AppendInstant(out, day * kTicksPerDay + milliseconds * 10'000, DatePart::kDateTime);
}

bool AppendSqlSmallDateTime(StreamReader& reader, std::string& out) {
  auto days = reader.Read<uint16_t>();
  auto minutes = reader.Read<uint16_t>();
  if (!days || !minutes || *minutes >= 24 * 60) return false;
  int64_t instant = (kDaysTo1900 + *days) * kTicksPerDay + int64_t{*minutes} * 60 * kTicksPerSecond;
  return AppendInstant(out, instant, DatePart::kDateTime);
}

std::optional<uint64_t> ReadUnsigned(StreamReader& reader, int byteCount) {
  auto bytes = reader.ReadBytes(static_cast<uint64_t>(byteCount));
  if (!bytes) return std::nullopt;
  uint64_t v = 0;
  for (int i = byteCount - 1; i >= 0; --i) v = (v << 8) | (*bytes)[static_cast<size_t>(i)];
  return v;
}

// The 2008 date/time forms: [scale time] date [zone].
bool AppendDateTime2008(uint8_t token, StreamReader& reader, std::string& out) {
  int64_t timeTicks = 0;
  if (token != kXsdDate2) {
    auto scale = reader.ReadByte();
    if (!scale || *scale > kMaxTimeScale) return false;
    int timeBytes = *scale <= 2 ? 3 : *scale <= 4 ? 4 : 5;
    auto units = ReadUnsigned(reader, timeBytes);
    if (!units) return false;
    int64_t unitTicks = 1;
    for (int i = *scale; i < kMaxTimeScale; ++i) unitTicks *= 10;
    // At most 2^40 units; the product stays far below 2^63.
    timeTicks = static_cast<int64_t>(*units) * unitTicks;
    if (timeTicks >= kTicksPerDay) return false;
  }
  auto days = ReadUnsigned(reader, 3);
  if (!days || static_cast<int64_t>(*days) > kLastDay) return false;
  int64_t instant = static_cast<int64_t>(*days) * kTicksPerDay + timeTicks;

  bool zoned = token == kXsdTimeOffset || token == kXsdDateTimeOffset || token == kXsdDateOffset;
  int zone = 0;
  if (zoned) {
    auto z = reader.Read<int16_t>();
    if (!z || *z < -kMaxZoneMinutes || *z > kMaxZoneMinutes) return false;
    zone = *z;
    instant += int64_t{zone} * 60 * kTicksPerSecond;  // stored UTC, shown local
  }
  DatePart part = (token == kXsdDate2 || token == kXsdDateOffset)   ? DatePart::kDate
                  : (token == kXsdTime2 || token == kXsdTimeOffset) ? DatePart::kTime
                                                                    : DatePart::kDateTime;
  if (!AppendInstant(out, instant, part)) return false;
  if (zoned) AppendZone(out, zone);
  return true;
}

bool AppendCodePageText(StreamReader& reader, std::string& out) {
  auto bytes = ReadLengthPrefixed(reader);
  if (!bytes || bytes->size() < 4) return false;
  auto codePage = static_cast<int32_t>(U32At(*bytes, 0));
  out += CodePageToUtf8(bytes->subspan(4), codePage);
  return true;
}

}  // namespace

bool IsTextValueToken(uint8_t token) {
  switch (token) {
    case kSqlChar:
    case kSqlNChar:
    case kSqlVarChar:
    case kSqlNVarChar:
    case kSqlText:
    case kSqlNText:
      return true;
    default:
      return false;
  }
}

bool IsAtomicValueToken(uint8_t token) {
  return (token >= kSqlSmallInt && token <= kSqlSmallMoney) || (token >= kSqlText && token <= kSqlNText) ||
         token == kSqlUdt || (token >= kXsdTimeOffset && token <= kXsdDate2) ||
         (token >= kXsdTime && token <= kXsdQName);
}

bool AppendAtomicValue(uint8_t token, StreamReader& reader, const QualifiedNameLookup& qualifiedName,
                       std::string& text) {
  switch (token) {
    case kSqlSmallInt: {
      auto v = reader.Read<int16_t>();
      if (!v) return false;
      AppendSigned(text, *v);
      return true;
    }
    case kSqlInt: {
      auto v = reader.Read<int32_t>();
      if (!v) return false;
      AppendSigned(text, *v);
      return true;
    }
    case kSqlBigInt: {
      auto v = reader.Read<int64_t>();
      if (!v) return false;
      AppendSigned(text, *v);
      return true;
    }
    case kXsdByte: {
      auto v = reader.Read<int8_t>();
      if (!v) return false;
      AppendSigned(text, *v);
      return true;
    }
    case kSqlTinyInt: {
      auto v = reader.Read<uint8_t>();
      if (!v) return false;
      text += std::to_string(*v);
      return true;
    }
    case kXsdUnsignedShort: {
      auto v = reader.Read<uint16_t>();
      if (!v) return false;
      text += std::to_string(*v);
      return true;
    }
    case kXsdUnsignedInt: {
      auto v = reader.Read<uint32_t>();
      if (!v) return false;
      text += std::to_string(*v);
      return true;
    }
    case kXsdUnsignedLong: {
      auto v = reader.Read<uint64_t>();
      if (!v) return false;
      text += std::to_string(*v);
      return true;
    }
    case kSqlReal: {
      auto bits = reader.Read<uint32_t>();
      if (!bits) return false;
      float f;
      static_assert(sizeof(f) == sizeof(*bits));
      std::memcpy(&f, &*bits, sizeof(f));
      AppendXsdFloatingPoint(text, f);
      return true;
    }
    case kSqlFloat: {
      auto bits = reader.Read<uint64_t>();
      if (!bits) return false;
      double d;
      static_assert(sizeof(d) == sizeof(*bits));
      std::memcpy(&d, &*bits, sizeof(d));
      AppendXsdFloatingPoint(text, d);
      return true;
    }
    case kSqlMoney: {
      auto v = reader.Read<int64_t>();
      if (!v) return false;
      AppendMoney(text, *v);
      return true;
    }
    case kSqlSmallMoney: {
      auto v = reader.Read<int32_t>();
      if (!v) return false;
      AppendMoney(text, *v);
      return true;
    }
    case kSqlBit: {
      auto v = reader.Read<uint8_t>();
      if (!v) return false;
      text += *v != 0 ? "1" : "0";
      return true;
    }
    case kXsdBoolean: {
      auto v = reader.Read<uint8_t>();
      if (!v) return false;
      text += *v != 0 ? "true" : "false";
      return true;
    }
    case kSqlUuid: {
      auto bytes = reader.ReadBytes(16);
      if (!bytes) return false;
      AppendUuid(text, *bytes);
      return true;
    }
    case kSqlDecimal:
    case kSqlNumeric:
    case kXsdDecimal:
      return AppendDecimal(reader, text);
    case kSqlBinary:
    case kSqlVarBinary:
    case kSqlImage:
    case kSqlUdt:
    case kXsdBase64: {
      auto bytes = ReadLengthPrefixed(reader);
      if (!bytes) return false;
      AppendBase64(text, *bytes);
      return true;
    }
    case kXsdBinHex: {
      auto bytes = ReadLengthPrefixed(reader);
      if (!bytes) return false;
      AppendHex(text, *bytes);
      return true;
    }
    case kSqlChar:
    case kSqlVarChar:
    case kSqlText:
      return AppendCodePageText(reader, text);
    case kSqlNChar:
    case kSqlNVarChar:
    case kSqlNText: {
      auto s = reader.ReadText64();
      if (!s) return false;
      text += *s;
      return true;
    }
    case kSqlDateTime:
      return AppendSqlDateTime(reader, text);
    case kSqlSmallDateTime:
      return AppendSqlSmallDateTime(reader, text);
    case kXsdTimeOffset:
    case kXsdDateTimeOffset:
    case kXsdDateOffset:
    case kXsdTime2:
    case kXsdDateTime2:
    case kXsdDate2:
      return AppendDateTime2008(token, reader, text);
    case kXsdTime:
    case kXsdDateTime:
    case kXsdDate: {
      auto ticks = reader.Read<int64_t>();
      if (!ticks) return false;
      DatePart part = token == kXsdDate ? DatePart::kDate : token == kXsdTime ? DatePart::kTime : DatePart::kDateTime;
      if (!AppendInstant(text, *ticks, part)) return false;
      AppendZone(text, 0);
      return true;
    }
    case kXsdQName: {
      auto index = reader.ReadMb32();
      if (!index) return false;
      auto name = qualifiedName(*index);
      if (!name) return false;
      text += *name;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace pagewright::binxml
