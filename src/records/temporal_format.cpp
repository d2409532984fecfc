// Date and time values.
//
//   datetime        i32 ticks of 1/300 s since midnight, then i32 days
//                   since 1900-01-01
//   smalldatetime   u16 minutes since midnight, then u16 days since
//                   1900-01-01
//   date            3 bytes: days since 0001-01-01
//   time(s)         3 to 5 bytes: units of 10^-s seconds since midnight
//   datetime2(s)    time (3, 4 or 5 bytes) followed by the date (3 bytes)
//   datetimeoffset  time, date (both UTC), then i16 offset in minutes
//
// Dates are in the proleptic Gregorian calendar. A value whose year falls
// outside 0..9999 or whose time of day is out of range shows as " ".
#include <cstdio>

#include "records/value_format.h"

namespace pagewright {

namespace {

constexpr int64_t kDaysFrom0001To1900 = 693595;  // 0001-01-01 .. 1900-01-01
const char* const kOutOfRange = " ";

struct CivilDate {
  int64_t year;
  unsigned month;
  unsigned day;
};

// Day number counted from 0001-01-01 to a calendar date.
CivilDate DateFromDayNumber(int64_t dayNumber) {
  // Shift to days since 0000-03-01, where a 400-year era of 146097 days
  // begins and leap days fall at the end of each year.
  int64_t z = dayNumber + 306;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  auto d = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  auto m = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {y + (m <= 2), m, d};
}

// Appends `value` as exactly `width` decimal digits (zero-padded; values
// have been range-checked by the callers).
void AppendDigits(std::string& out, int64_t value, int width) {
  char digits[20];
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  out.append(digits, static_cast<size_t>(width));
}

bool DateText(int64_t dayNumber, std::string& out) {
  CivilDate c = DateFromDayNumber(dayNumber);
  if (c.year < 0 || c.year > 9999) return false;
  AppendDigits(out, c.year, 4);
  out.push_back('-');
  AppendDigits(out, c.month, 2);
  out.push_back('-');
  AppendDigits(out, c.day, 2);
  return true;
}

bool TimeText(int64_t seconds, std::string& out) {
  if (seconds < 0 || seconds >= 86400) return false;
  AppendDigits(out, seconds / 3600, 2);
  out.push_back(':');
  AppendDigits(out, seconds / 60 % 60, 2);
  out.push_back(':');
  AppendDigits(out, seconds % 60, 2);
  return true;
}

uint64_t UnsignedLE(ByteSpan v, size_t from, size_t count) {
  uint64_t x = 0;
  for (size_t i = 0; i < count && from + i < v.size(); ++i) x |= uint64_t{v[from + i]} << (8 * i);
  return x;
}

int64_t PowerOfTen(int scale) {
  int64_t p = 1;
  for (int i = 0; i < scale; ++i) p *= 10;
  return p;
}

int ClampScale(int scale) { return scale < 0 ? 0 : (scale > 7 ? 7 : scale); }

// The fraction of a second, zero-padded to the scale's digits.
void AppendFraction(int64_t fraction, int scale, std::string& out) {
  if (scale == 0) return;
  out.push_back('.');
  AppendDigits(out, fraction, scale);
}

// Time bytes of a datetime2/datetimeoffset by their total length: 6, 7, 8
// (plus 2 for the offset) split as 3, 4, 5 bytes of time.
size_t TimeBytes(size_t total) { return total >= 6 && total <= 8 ? total - 3 : 0; }

// date+time value in units of 10^-scale seconds from 0001-01-01.
std::string DateAndTime(int64_t days, int64_t units, int scale) {
  int64_t perSecond = PowerOfTen(scale);
  std::string out;
  if (!DateText(days, out)) return kOutOfRange;
  out += ' ';
  if (!TimeText(units / perSecond, out)) return kOutOfRange;
  AppendFraction(units % perSecond, scale, out);
  return out;
}

}  // namespace

std::string FormatDateTime(ByteSpan v) {
  int64_t ticks = I32At(v, 0);
  int64_t days = I32At(v, 4);
  std::string out;
  if (!DateText(kDaysFrom0001To1900 + days, out)) return kOutOfRange;
  if (ticks / 300 >= 86400) return out;  // time past the day: the date alone
  out += ' ';
  if (!TimeText(ticks < 0 ? -1 : ticks / 300, out)) return kOutOfRange;
  // 1/300 s ticks show as milliseconds rounded the way SQL Server shows them
  // (.000, .003, .007, ...).
  out.push_back('.');
  AppendDigits(out, (ticks % 300 * 1000 + 150) / 300, 3);
  return out;
}

std::string FormatSmallDateTime(ByteSpan v) {
  int64_t minutes = U16At(v, 0);
  int64_t days = U16At(v, 2);
  std::string out;
  if (!DateText(kDaysFrom0001To1900 + days, out)) return kOutOfRange;
  out += ' ';
  if (!TimeText(minutes * 60, out)) return kOutOfRange;
  return out;
}

std::string FormatDate(ByteSpan v) {
  // The commonest date type: its ten characters are put in place at once.
  const CivilDate c = DateFromDayNumber(static_cast<int64_t>(UnsignedLE(v, 0, 3)));
  if (c.year < 0 || c.year > 9999) return kOutOfRange;
  char text[10];
  auto put = [&](size_t at, int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
      text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, c.year, 4);
  text[4] = '-';
  put(5, c.month, 2);
  text[7] = '-';
  put(8, c.day, 2);
  return std::string(text, sizeof text);
}

std::string FormatTime(ByteSpan v, int scale) {
  scale = ClampScale(scale);
  auto units = static_cast<int64_t>(UnsignedLE(v, 0, std::min<size_t>(v.size(), 5)));
  int64_t perSecond = PowerOfTen(scale);
  std::string out;
  if (!TimeText(units / perSecond, out)) return kOutOfRange;
  AppendFraction(units % perSecond, scale, out);
  return out;
}

std::string FormatDateTime2(ByteSpan v, int scale) {
  scale = ClampScale(scale);
  size_t timeBytes = TimeBytes(v.size());
  int64_t units = timeBytes ? static_cast<int64_t>(UnsignedLE(v, 0, timeBytes)) : 0;
  int64_t days = timeBytes ? static_cast<int64_t>(UnsignedLE(v, timeBytes, 3)) : 0;
  return DateAndTime(days, units, scale);
}

std::string FormatDateTimeOffset(ByteSpan v, int scale) {
  scale = ClampScale(scale);
  size_t timeBytes = v.size() >= 8 && v.size() <= 10 ? v.size() - 5 : 0;
  if (timeBytes == 0) return kOutOfRange;
  auto units = static_cast<int64_t>(UnsignedLE(v, 0, timeBytes));
  auto days = static_cast<int64_t>(UnsignedLE(v, timeBytes, 3));
  int64_t offset = I16At(v, timeBytes + 3);
  // Stored as UTC: the local time is UTC plus the offset, carried into the day.
  int64_t unitsPerDay = 86400 * PowerOfTen(scale);
  if (units < 0 || units >= unitsPerDay) return kOutOfRange;
  units += offset * 60 * PowerOfTen(scale);
  while (units < 0) {
    units += unitsPerDay;
    --days;
  }
  while (units >= unitsPerDay) {
    units -= unitsPerDay;
    ++days;
  }
  std::string out = DateAndTime(days, units, scale);
  if (out == kOutOfRange) return out;
  int64_t magnitude = offset < 0 ? -offset : offset;
  char buf[16];
  std::snprintf(buf, sizeof buf, " %c%02d:%02d", offset < 0 ? '-' : '+', static_cast<int>(magnitude / 60),
                static_cast<int>(magnitude % 60));
  return out + buf;
}

}  // namespace pagewright
