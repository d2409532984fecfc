// libFuzzer target: any byte string is an SCSU value. The decoder must not
// read or write out of bounds, its output stays within the stated bound, and
// the bounded variant writes a prefix of the full decoding that fits.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "records/scsu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pagewright::ByteSpan bytes(data, size);
  std::string full = pagewright::DecodeScsu(bytes);
  if (full.size() > size * pagewright::kScsuMaxUtf8BytesPerInputByte) __builtin_trap();

  // A small area, its size taken from the input so that every cut is tried.
  uint8_t area[32];
  size_t capacity = size == 0 ? 0 : data[0] % (sizeof(area) + 1);
  size_t written = pagewright::DecodeScsuInto(bytes, std::span<uint8_t>(area, capacity));
  if (written > capacity || written > full.size()) __builtin_trap();
  if (std::memcmp(area, full.data(), written) != 0) __builtin_trap();
  return 0;
}
