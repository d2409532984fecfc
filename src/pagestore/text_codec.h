// Text conversion: database bytes to the UTF-8 text used inside the system.
//
// 8-bit character data is stored in the Windows code page of its collation
// (1252, 1250, 932, 936, ...); ICU converts it. UTF-16LE data (nchar,
// nvarchar, ntext, names in system tables) is decoded here, surrogate pairs
// joined and unpaired surrogates replaced by U+FFFD.
#ifndef PAGEWRIGHT_PAGESTORE_TEXT_CODEC_H_
#define PAGEWRIGHT_PAGESTORE_TEXT_CODEC_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "pagestore/bytes.h"

namespace pagewright {

// The code page used where Windows would use the system ANSI code page.
constexpr int32_t kSystemAnsiCodePage = 1252;

// True when `codePage` names a Windows code page this build can convert.
bool IsCodePageSupported(int32_t codePage);

// 8-bit text up to its first zero byte (or the end), converted from the
// Windows code page; an unsupported code page converts as the system ANSI
// code page.
std::string CodePageToUtf8(ByteSpan bytes, int32_t codePage);
// The same into `out` (its earlier text replaced, its room reused).
void CodePageToUtf8(ByteSpan bytes, int32_t codePage, std::string& out);

// Walks UTF-16LE code units as code points: `visit(codePoint)` gets each
// one, a surrogate pair joined, a lone surrogate as the unit itself (the
// caller decides what it stands for); a visit that returns false ends the
// walk. A trailing odd byte is ignored.
template <typename Visit>
inline void ForEachUtf16CodePoint(ByteSpan bytes, Visit visit) {
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t i) { return static_cast<uint32_t>(bytes[2 * i]) | (static_cast<uint32_t>(bytes[2 * i + 1]) << 8); };
  for (size_t i = 0; i < units; ++i) {
    uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const uint32_t v = unit(i + 1);
      if (v >= 0xDC00 && v <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
        ++i;
      }
    }
    if (!visit(u)) return;
  }
}

// UTF-16LE code units to UTF-8. A trailing odd byte is ignored.
std::string Utf16LeToUtf8(ByteSpan bytes);
// The same, stopping before the first zero code unit.
std::string Utf16LeToUtf8UntilNul(ByteSpan bytes);
// The same into `out` (its earlier text replaced, its room reused).
void Utf16LeToUtf8UntilNul(ByteSpan bytes, std::string& out);

// UTF-8 to UTF-16 code units (invalid sequences become U+FFFD).
std::u16string Utf8ToUtf16(std::string_view text);

// Appends UTF-8 text as a JSON string literal: quotes, backslashes and
// control characters escaped, everything else as it is.
void AppendJsonString(std::string_view text, std::string& out);
// The same without the quotes.
void AppendJsonEscaped(std::string_view text, std::string& out);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_TEXT_CODEC_H_
