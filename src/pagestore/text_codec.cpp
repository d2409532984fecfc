#include "pagestore/text_codec.h"

#include <unicode/ucnv.h>

#include <cstring>
#include <map>
#include <memory>

namespace pagewright {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU converters are not thread-safe; each thread keeps its own, opened on
// first use. A null entry remembers a code page ICU does not know.
UConverter* ConverterFor(int32_t codePage) {
  thread_local std::map<int32_t, ConverterPtr> converters;
  auto it = converters.find(codePage);
  if (it != converters.end()) return it->second.get();
  std::string name = "windows-" + std::to_string(codePage);
  UErrorCode status = U_ZERO_ERROR;
  UConverter* c = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status)) {
    if (c) ucnv_close(c);
    c = nullptr;
  }
  converters.emplace(codePage, ConverterPtr(c));
  return c;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsCodePageSupported(int32_t codePage) { return codePage > 0 && ConverterFor(codePage) != nullptr; }

namespace {

// Bytes up to the first NUL when they are all ASCII (their own UTF-8):
// checked eight bytes at a time; `n` gets their count either way.
bool AsciiUntilNul(ByteSpan bytes, size_t& n) {
  const uint8_t* data = bytes.data();
  n = bytes.size();
  if (const void* nul = n == 0 ? nullptr : std::memchr(data, 0, n)) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
  size_t checked = 0;
  for (; checked + 8 <= n; checked += 8) {
    uint64_t word;
    std::memcpy(&word, data + checked, 8);
    if ((word & 0x8080808080808080ull) != 0) return false;
  }
  for (; checked < n; ++checked)
    if (data[checked] >= 0x80) return false;
  return true;
}

}  // namespace

void CodePageToUtf8(ByteSpan bytes, int32_t codePage, std::string& out) {
  size_t n = 0;
  if (AsciiUntilNul(bytes, n)) {
    out.assign(reinterpret_cast<const char*>(bytes.data()), n);  // keeps the room `out` had
    return;
  }
  out = CodePageToUtf8(bytes, codePage);
}

std::string CodePageToUtf8(ByteSpan bytes, int32_t codePage) {
  // The text ends at the first NUL byte. Most text is ASCII, which is its
  // own UTF-8: checked eight bytes at a time.
  const uint8_t* data = bytes.data();
  size_t n = bytes.size();
  if (const void* nul = n == 0 ? nullptr : std::memchr(data, 0, n)) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
  bool ascii = true;
  size_t checked = 0;
  for (; ascii && checked + 8 <= n; checked += 8) {
    uint64_t word;
    std::memcpy(&word, data + checked, 8);
    ascii = (word & 0x8080808080808080ull) == 0;
  }
  for (; ascii && checked < n; ++checked) ascii = data[checked] < 0x80;
  if (ascii) return std::string(reinterpret_cast<const char*>(data), n);
  UConverter* c = codePage > 0 ? ConverterFor(codePage) : nullptr;
  if (c == nullptr) c = ConverterFor(kSystemAnsiCodePage);
  std::string out;
  if (c == nullptr) {  // no ICU data at all: keep Latin-1 meaning
    for (size_t i = 0; i < n; ++i) AppendUtf8(out, bytes[i]);
    return out;
  }
  ucnv_reset(c);
  std::u16string units(n * 2 + 2, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t len = ucnv_toUChars(c, reinterpret_cast<UChar*>(units.data()), static_cast<int32_t>(units.size()),
                              reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(n), &status);
  if (U_FAILURE(status)) {
    for (size_t i = 0; i < n; ++i) AppendUtf8(out, bytes[i] < 0x80 ? bytes[i] : 0xFFFD);
    return out;
  }
  units.resize(static_cast<size_t>(len));
  return Utf16LeToUtf8(ByteSpan(reinterpret_cast<const uint8_t*>(units.data()), units.size() * 2));
}

namespace {

// Writes one code point as UTF-8 at `p` (room for 4 bytes); returns the end.
char* PutUtf8(char* p, uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    *p++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *p++ = static_cast<char>(0xC0 | (cp >> 6));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *p++ = static_cast<char>(0xE0 | (cp >> 12));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *p++ = static_cast<char>(0xF0 | (cp >> 18));
    *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *p++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return p;
}

void DecodeUtf16(ByteSpan bytes, bool stopAtNul, std::string& out) {
  const size_t units = bytes.size() / 2;
  // A UTF-16 code unit never takes more than three UTF-8 bytes (a pair of
  // two units takes four).
  out.resize(units * 3);
  char* p = out.data();
  ForEachUtf16CodePoint(bytes, [&](uint32_t cp) {
    if (cp < 0x80) {
      if (cp == 0 && stopAtNul) return false;
      *p++ = static_cast<char>(cp);
      return true;
    }
    p = PutUtf8(p, cp);  // lone surrogates become U+FFFD
    return true;
  });
  out.resize(static_cast<size_t>(p - out.data()));
}

}  // namespace

std::string Utf16LeToUtf8(ByteSpan bytes) {
  std::string out;
  DecodeUtf16(bytes, false, out);
  return out;
}
std::string Utf16LeToUtf8UntilNul(ByteSpan bytes) {
  std::string out;
  DecodeUtf16(bytes, true, out);
  return out;
}
void Utf16LeToUtf8UntilNul(ByteSpan bytes, std::string& out) { DecodeUtf16(bytes, true, out); }

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto b = static_cast<uint8_t>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
    }
    if (len > 1) {
      bool ok = i + len <= s.size();
      uint32_t v = b & (0x7F >> len);
      for (size_t k = 1; ok && k < len; ++k) {
        auto c = static_cast<uint8_t>(s[i + k]);
        if ((c & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (c & 0x3F);
      }
      if (ok) {
        cp = v;
      } else {
        len = 1;
      }
    }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp));
    }
    i += len;
  }
  return out;
}

void AppendJsonString(std::string_view text, std::string& out) {
  out.push_back('"');
  AppendJsonEscaped(text, out);
  out.push_back('"');
}

void AppendJsonEscaped(std::string_view text, std::string& out) {
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          static const char kDigits[] = "0123456789abcdef";
          out += "\\u00";
          out.push_back(kDigits[c >> 4]);
          out.push_back(kDigits[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
}

}  // namespace pagewright
