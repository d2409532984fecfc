#include "harness/fuzz_invariants.h"

#include <cstdio>
#include <cstdlib>

namespace pagewright::fuzz {

bool IsWellFormedUtf8(std::string_view s) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      if (b0 == 0xE0) low = 0xA0;   // overlong
      if (b0 == 0xED) high = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      if (b0 == 0xF0) low = 0x90;   // overlong
      if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return false;
    }
    if (n - i < length) return false;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if (b1 < low || b1 > high) return false;
    for (size_t k = 2; k < length; ++k) {
      const auto b = static_cast<unsigned char>(s[i + k]);
      if (b < 0x80 || b > 0xBF) return false;
    }
    i += length;
  }
  return true;
}

void Violations::Add(const std::string& what) {
  if (list_.size() < 32) list_.push_back(what);
}

void Violations::CheckUtf8(std::string_view text, const std::string& what) {
  if (!IsWellFormedUtf8(text)) Add(what + ": text is not well-formed UTF-8");
}

void AbortOnViolations(const Violations& violations, const char* harness) {
  if (violations.empty()) return;
  for (const auto& v : violations.list()) std::fprintf(stderr, "%s: %s\n", harness, v.c_str());
  std::abort();
}

}  // namespace pagewright::fuzz
