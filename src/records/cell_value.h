// A decoded column value with its type kept: NULL, an integer, an exact
// decimal, a float, text (UTF-8), bytes, a date/time, a bit. The row
// decoder produces these; the grid's display text and every export writer
// are made from them, so that NULL stays apart from the string 'NULL' and
// bytes stay bytes.
#ifndef PAGEWRIGHT_RECORDS_CELL_VALUE_H_
#define PAGEWRIGHT_RECORDS_CELL_VALUE_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pagewright {

enum class CellKind : uint8_t {
  kNull,         // the record's null bitmap (or a record too short) says NULL
  kMissing,      // a value was expected but its bytes could not be read
  kInteger,      // integer (bigint down to tinyint)
  kDecimal,      // decimal, numeric, money, smallmoney: exact text
  kFloat,        // float, real (`single`)
  kText,         // character data, uniqueidentifier and xml as text
  kBytes,        // binary, varbinary, image, timestamp, CLR types
  kDateTime,     // date and time types: text in ISO order
  kBool,         // bit
  kPlaceholder,  // a large value the grid chose not to read
  kNotStored,    // a computed column: its definition text
};

struct CellValue {
  CellKind kind = CellKind::kNull;
  // Bytes and missing values: how many "0x" the display text starts with.
  uint8_t hexPrefixes = 0;
  bool single = false;  // a real (4-byte float)
  bool blank = false;   // an empty large value: shown as " "
  int64_t integer = 0;  // integer; bool as 0 or 1
  double real = 0;
  std::string text;  // text, decimal, date/time, placeholder, definition
  std::vector<uint8_t> bytes;

  static CellValue Null() { return {}; }
  static CellValue Missing() { return Of(CellKind::kMissing); }
  static CellValue Integer(int64_t v) {
    CellValue c = Of(CellKind::kInteger);
    c.integer = v;
    return c;
  }
  static CellValue Bool(bool v) {
    CellValue c = Of(CellKind::kBool);
    c.integer = v ? 1 : 0;
    return c;
  }
  static CellValue Float(double v, bool single) {
    CellValue c = Of(CellKind::kFloat);
    c.real = v;
    c.single = single;
    return c;
  }
  static CellValue Textual(CellKind kind, std::string text) {
    CellValue c = Of(kind);
    c.text = std::move(text);
    return c;
  }
  static CellValue Text(std::string text) { return Textual(CellKind::kText, std::move(text)); }
  // A decimal or date/time text; an empty text (damaged bytes) is missing.
  static CellValue Exact(CellKind kind, std::string text) {
    return text.empty() ? Missing() : Textual(kind, std::move(text));
  }
  static CellValue Bytes(std::vector<uint8_t> bytes, uint8_t hexPrefixes) {
    CellValue c = Of(CellKind::kBytes);
    c.bytes = std::move(bytes);
    c.hexPrefixes = hexPrefixes;
    return c;
  }

  // Makes the cell a value of `k` with no data yet, keeping the room its
  // text and bytes had: rows decoded page after page into the same cells
  // then allocate only for values longer than any before them.
  CellValue& Reset(CellKind k) {
    kind = k;
    hexPrefixes = 0;
    single = false;
    blank = false;
    integer = 0;
    real = 0;
    text.clear();
    bytes.clear();
    return *this;
  }

  bool IsNull() const { return kind == CellKind::kNull; }
  // Whether the value carries data an export writes (NULL and unreadable
  // values are written as NULL).
  bool HasValue() const { return kind != CellKind::kNull && kind != CellKind::kMissing; }

 private:
  static CellValue Of(CellKind kind) {
    CellValue c;
    c.kind = kind;
    return c;
  }
};

// The grid's text of a value: "NULL", the number, the text, the bytes as
// upper-case hex after their "0x" prefixes, "True"/"False".
std::string DisplayText(const CellValue& value);
// The same, taking the text of a value that shows as it is.
std::string DisplayText(CellValue&& value);
// Appends the grid's text of a value to `out`.
void AppendDisplayText(const CellValue& value, std::string& out);
// Whether the grid's text of a value is empty.
bool DisplaysEmpty(const CellValue& value);

}  // namespace pagewright

#endif  // PAGEWRIGHT_RECORDS_CELL_VALUE_H_
