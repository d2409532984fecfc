// A small JSON reader for the corpus manifest (tests only).
#ifndef PAGEWRIGHT_TESTS_SUPPORT_JSON_H_
#define PAGEWRIGHT_TESTS_SUPPORT_JSON_H_

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pagewright::testing {

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  double number = 0;
  std::string string;
  std::vector<JsonValue> array;
  std::vector<std::pair<std::string, JsonValue>> object;  // in file order

  const JsonValue* Find(std::string_view key) const;
  const JsonValue& operator[](std::string_view key) const;  // null value when absent
  bool IsNull() const { return kind == Kind::kNull; }
  long long AsInt() const { return static_cast<long long>(number); }
};

// Parses `text`; throws std::runtime_error on malformed input.
JsonValue ParseJson(std::string_view text);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_JSON_H_
