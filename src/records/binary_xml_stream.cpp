#include "records/binary_xml_stream.h"

#include "pagestore/text_codec.h"

namespace pagewright::binxml {

namespace {

// A multi-byte integer of at most `maxBytes` bytes whose value may not pass
// `maxValue`. Seven bits a byte, least significant first.
std::optional<uint64_t> ReadMultiByte(ByteReader& reader, int maxBytes, uint64_t maxValue) {
  ByteReader probe = reader;
  uint64_t value = 0;
  for (int i = 0; i < maxBytes; ++i) {
    auto b = probe.Read<uint8_t>();
    if (!b) return std::nullopt;
    uint64_t group = *b & 0x7F;
    int shift = 7 * i;
    // The last groups may only hold the bits that still fit below 2^64;
    // anything above is a value out of range.
    if (shift >= 64 || (shift > 0 && (group >> (64 - shift)) != 0)) return std::nullopt;
    value |= group << shift;
    if ((*b & 0x80) == 0) {
      if (value > maxValue) return std::nullopt;
      reader = probe;
      return value;
    }
  }
  return std::nullopt;  // still a continuation bit after the last byte allowed
}

}  // namespace

std::optional<uint8_t> StreamReader::PeekByte() const {
  ByteReader probe = reader_;
  return probe.Read<uint8_t>();
}

std::optional<ByteSpan> StreamReader::ReadBytes(uint64_t length) {
  if (length > reader_.remaining()) return std::nullopt;
  return reader_.ReadBytes(static_cast<size_t>(length));
}

bool StreamReader::Skip(uint64_t length) {
  if (length > reader_.remaining()) return false;
  return reader_.Skip(static_cast<size_t>(length));
}

std::optional<uint32_t> StreamReader::ReadMb32() {
  auto v = ReadMultiByte(reader_, 5, 0x7FFFFFFFu);
  if (!v) return std::nullopt;
  return static_cast<uint32_t>(*v);
}

std::optional<uint64_t> StreamReader::ReadMb64() { return ReadMultiByte(reader_, 10, 0x7FFFFFFFFFFFFFFFull); }

std::optional<std::string> StreamReader::ReadUtf16(uint64_t codeUnits) {
  // Compare before doubling: a count near 2^63 must not wrap.
  if (codeUnits > reader_.remaining() / 2) return std::nullopt;
  auto bytes = reader_.ReadBytes(static_cast<size_t>(codeUnits * 2));
  if (!bytes) return std::nullopt;
  return Utf16LeToUtf8(*bytes);
}

std::optional<std::string> StreamReader::ReadText() {
  ByteReader saved = reader_;
  auto count = ReadMb32();
  if (!count) return std::nullopt;
  auto text = ReadUtf16(*count);
  if (!text) reader_ = saved;
  return text;
}

std::optional<std::string> StreamReader::ReadText64() {
  ByteReader saved = reader_;
  auto count = ReadMb64();
  if (!count) return std::nullopt;
  auto text = ReadUtf16(*count);
  if (!text) reader_ = saved;
  return text;
}

bool StreamReader::AtSignature() const {
  ByteReader probe = reader_;
  auto a = probe.Read<uint8_t>();
  auto b = probe.Read<uint8_t>();
  return a && b && *a == kSignature0 && *b == kSignature1;
}

bool StreamReader::ReadHeader() {
  ByteReader probe = reader_;
  auto s0 = probe.Read<uint8_t>();
  auto s1 = probe.Read<uint8_t>();
  auto version = probe.Read<uint8_t>();
  auto encoding = probe.Read<uint16_t>();
  if (!s0 || !s1 || !version || !encoding) return false;
  if (*s0 != kSignature0 || *s1 != kSignature1) return false;
  if (*version != kVersion1 && *version != kVersion2) return false;
  if (*encoding != kEncodingUtf16) return false;
  reader_ = probe;
  return true;
}

}  // namespace pagewright::binxml
