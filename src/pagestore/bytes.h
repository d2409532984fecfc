// Bounds-checked little-endian access to bytes read from a database file.
//
// Every layer reads on-disk integers through these functions; none shifts
// bytes by hand. A read that would pass the end of the span yields nothing
// (std::nullopt) or the given fallback, never bytes outside the span.
#ifndef PAGEWRIGHT_PAGESTORE_BYTES_H_
#define PAGEWRIGHT_PAGESTORE_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>

namespace pagewright {

using ByteSpan = std::span<const uint8_t>;

// True when [offset, offset + length) lies inside a span of `size` bytes.
constexpr bool InBounds(size_t size, int64_t offset, int64_t length) {
  return offset >= 0 && length >= 0 && static_cast<uint64_t>(offset) <= size &&
         static_cast<uint64_t>(length) <= size - static_cast<uint64_t>(offset);
}

template <typename T>
std::optional<T> ReadLittleEndian(ByteSpan bytes, int64_t offset) {
  static_assert(std::is_integral_v<T>);
  if (!InBounds(bytes.size(), offset, sizeof(T))) return std::nullopt;
  std::make_unsigned_t<T> value = 0;
  for (size_t i = 0; i < sizeof(T); ++i) {
    value |= static_cast<std::make_unsigned_t<T>>(bytes[static_cast<size_t>(offset) + i]) << (8 * i);
  }
  return static_cast<T>(value);
}

// Value at `offset`, or `fallback` when the span is too short.
inline uint8_t U8At(ByteSpan b, int64_t off, uint8_t fallback = 0) {
  return ReadLittleEndian<uint8_t>(b, off).value_or(fallback);
}
inline uint16_t U16At(ByteSpan b, int64_t off, uint16_t fallback = 0) {
  return ReadLittleEndian<uint16_t>(b, off).value_or(fallback);
}
inline int16_t I16At(ByteSpan b, int64_t off, int16_t fallback = 0) {
  return ReadLittleEndian<int16_t>(b, off).value_or(fallback);
}
inline uint32_t U32At(ByteSpan b, int64_t off, uint32_t fallback = 0) {
  return ReadLittleEndian<uint32_t>(b, off).value_or(fallback);
}
inline int32_t I32At(ByteSpan b, int64_t off, int32_t fallback = 0) {
  return ReadLittleEndian<int32_t>(b, off).value_or(fallback);
}
inline uint64_t U64At(ByteSpan b, int64_t off, uint64_t fallback = 0) {
  return ReadLittleEndian<uint64_t>(b, off).value_or(fallback);
}
inline int64_t I64At(ByteSpan b, int64_t off, int64_t fallback = 0) {
  return ReadLittleEndian<int64_t>(b, off).value_or(fallback);
}

// `length` bytes at `offset`, or an empty span when they do not all lie
// inside `bytes`.
inline ByteSpan SubSpan(ByteSpan bytes, int64_t offset, int64_t length) {
  if (!InBounds(bytes.size(), offset, length)) return {};
  return bytes.subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
}

// Sequential reader over a span. A failed read returns false (or nullopt)
// and moves nothing.
class ByteReader {
 public:
  explicit ByteReader(ByteSpan bytes, size_t position = 0)
      : bytes_(bytes), position_(position <= bytes.size() ? position : bytes.size()) {}

  size_t position() const { return position_; }
  size_t remaining() const { return bytes_.size() - position_; }

  template <typename T>
  std::optional<T> Read() {
    auto v = ReadLittleEndian<T>(bytes_, static_cast<int64_t>(position_));
    if (v) position_ += sizeof(T);
    return v;
  }
  template <typename T>
  bool Read(T& out) {
    auto v = Read<T>();
    if (!v) return false;
    out = *v;
    return true;
  }
  std::optional<ByteSpan> ReadBytes(size_t length) {
    if (length > remaining()) return std::nullopt;
    ByteSpan s = bytes_.subspan(position_, length);
    position_ += length;
    return s;
  }
  bool Skip(size_t length) {
    if (length > remaining()) return false;
    position_ += length;
    return true;
  }

 private:
  ByteSpan bytes_;
  size_t position_;
};

// Writers used by the snapshot file and by the test builders.
template <typename T>
void StoreLittleEndian(uint8_t* out, T value) {
  auto v = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_PAGESTORE_BYTES_H_
