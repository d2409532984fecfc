#include "records/scsu.h"

#include <array>
#include <optional>
#include <utility>

#include "pagestore/text_codec.h"

namespace pagewright {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;
// Offset of a dynamic window defined with a reserved offset byte.
constexpr uint32_t kUnknownWindow = 0xFFFFFFFF;

constexpr std::array<uint32_t, 8> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300,
                                                    0x2000, 0x2080, 0x2100, 0x3000};
constexpr std::array<uint32_t, 8> kInitialDynamicWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                            0x0900, 0x3040, 0x30A0, 0xFF00};
constexpr std::array<uint32_t, 7> kHalfBlockOffsets = {0x00C0, 0x0250, 0x0370, 0x0530,
                                                       0x3040, 0x30A0, 0xFF60};

// Single-byte mode tags.
constexpr uint8_t kSQ0 = 0x01, kSQ7 = 0x08, kSDX = 0x0B, kSReserved = 0x0C, kSQU = 0x0E, kSCU = 0x0F;
constexpr uint8_t kSC0 = 0x10, kSC7 = 0x17, kSD0 = 0x18, kSD7 = 0x1F;
// Unicode mode tags.
constexpr uint8_t kUC0 = 0xE0, kUC7 = 0xE7, kUD0 = 0xE8, kUD7 = 0xEF;
constexpr uint8_t kUQU = 0xF0, kUDX = 0xF1, kUReserved = 0xF2;

uint32_t WindowOffset(uint8_t x) {
  if (x >= 0x01 && x <= 0x67) return x * 0x80u;
  if (x >= 0x68 && x <= 0xA7) return x * 0x80u + 0xAC00u;
  if (x >= 0xF9) return kHalfBlockOffsets[x - 0xF9];
  return kUnknownWindow;
}

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Decodes one SCSU stream into code points. Every call consumes at least one
// byte or reports the end, so a stream of n bytes yields at most n code points.
class ScsuReader {
 public:
  explicit ScsuReader(ByteSpan bytes) : reader_(bytes), dynamic_(kInitialDynamicWindows) {}

  // The next code point; surrogate pairs joined, lone surrogates U+FFFD.
  std::optional<uint32_t> Next() {
    std::optional<Item> item = held_ ? std::exchange(held_, std::nullopt) : NextItem();
    if (!item) return std::nullopt;
    if (!item->isCodeUnit) return item->value;
    if (IsHighSurrogate(item->value)) {
      std::optional<Item> next = NextItem();
      if (next && next->isCodeUnit && IsLowSurrogate(next->value)) {
        return 0x10000 + ((item->value - 0xD800) << 10) + (next->value - 0xDC00);
      }
      held_ = next;
      return kReplacement;
    }
    return IsLowSurrogate(item->value) ? kReplacement : item->value;
  }

 private:
  // A UTF-16 code unit (from SQU, UQU or Unicode mode), which may pair with
  // the next one, or a whole code point (from a window or a substitution).
  struct Item {
    uint32_t value;
    bool isCodeUnit;
  };
  static Item CodePoint(uint32_t cp) { return {cp, false}; }

  std::optional<Item> NextItem() {
    while (reader_.remaining() > 0) {
      uint8_t tag = *reader_.Read<uint8_t>();
      std::optional<Item> item = unicodeMode_ ? UnicodeModeByte(tag) : SingleByteModeByte(tag);
      if (item) return item;
    }
    return std::nullopt;
  }

  std::optional<Item> SingleByteModeByte(uint8_t b) {
    if (b >= 0x80) return CodePoint(FromDynamic(active_, b));
    if (b >= 0x20 || b == 0x00 || b == 0x09 || b == 0x0A || b == 0x0D) return CodePoint(b);
    if (b >= kSQ0 && b <= kSQ7) {
      auto arg = reader_.Read<uint8_t>();
      if (!arg) return Truncated();
      size_t n = b - kSQ0;
      return CodePoint(*arg < 0x80 ? kStaticWindows[n] + *arg : FromDynamic(n, *arg));
    }
    if (b >= kSC0 && b <= kSC7) {
      active_ = b - kSC0;
      return std::nullopt;
    }
    if (b >= kSD0 && b <= kSD7) {
      auto x = reader_.Read<uint8_t>();
      if (!x) return Truncated();
      active_ = b - kSD0;
      return DefineWindow(*x);
    }
    switch (b) {
      case kSDX:
        if (!DefineExtended()) return Truncated();
        return std::nullopt;
      case kSQU:
        return QuotedUnit();
      case kSCU:
        unicodeMode_ = true;
        return std::nullopt;
      case kSReserved:
      default:  // no other byte below 0x20 is left
        return CodePoint(kReplacement);
    }
  }

  std::optional<Item> UnicodeModeByte(uint8_t b) {
    if (b >= kUC0 && b <= kUC7) {
      active_ = b - kUC0;
      unicodeMode_ = false;
      return std::nullopt;
    }
    if (b >= kUD0 && b <= kUD7) {
      auto x = reader_.Read<uint8_t>();
      if (!x) return Truncated();
      active_ = b - kUD0;
      unicodeMode_ = false;
      return DefineWindow(*x);
    }
    switch (b) {
      case kUQU:
        return QuotedUnit();
      case kUDX:
        if (!DefineExtended()) return Truncated();
        unicodeMode_ = false;
        return std::nullopt;
      case kUReserved:
        return CodePoint(kReplacement);
      default: {
        auto low = reader_.Read<uint8_t>();
        if (!low) return Truncated();
        return Item{static_cast<uint32_t>(b) << 8 | *low, true};
      }
    }
  }

  // SDn / UDn: the active window moves to table entry x. A reserved x is
  // reported where it stands and leaves the window unknown.
  std::optional<Item> DefineWindow(uint8_t x) {
    dynamic_[active_] = WindowOffset(x);
    if (dynamic_[active_] == kUnknownWindow) return CodePoint(kReplacement);
    return std::nullopt;
  }

  uint32_t FromDynamic(size_t window, uint8_t b) const {
    uint32_t offset = dynamic_[window];
    return offset == kUnknownWindow ? kReplacement : offset + (b - 0x80u);
  }

  std::optional<Item> QuotedUnit() {
    auto unit = ReadBigEndianU16();
    if (!unit) return Truncated();
    return Item{*unit, true};
  }

  // SDX / UDX: window number in the top three bits, then a 13-bit index of
  // 128-character blocks above U+FFFF.
  bool DefineExtended() {
    auto value = ReadBigEndianU16();
    if (!value) return false;
    active_ = *value >> 13;
    dynamic_[active_] = 0x10000 + ((*value & 0x1FFFu) << 7);
    return true;
  }

  std::optional<uint32_t> ReadBigEndianU16() {
    if (reader_.remaining() < 2) return std::nullopt;
    uint32_t hi = *reader_.Read<uint8_t>();
    return hi << 8 | *reader_.Read<uint8_t>();
  }

  // A tag argument or code unit cut off by the end of the value: whatever
  // part of it is there becomes one U+FFFD.
  Item Truncated() {
    reader_.Skip(reader_.remaining());
    return CodePoint(kReplacement);
  }

  ByteReader reader_;
  std::array<uint32_t, 8> dynamic_;
  size_t active_ = 0;
  bool unicodeMode_ = false;
  std::optional<Item> held_;
};

}  // namespace

std::string DecodeScsu(ByteSpan bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  ScsuReader reader(bytes);
  while (auto cp = reader.Next()) AppendUtf8(out, *cp);
  return out;
}

size_t DecodeScsuInto(ByteSpan bytes, std::span<uint8_t> out) {
  size_t written = 0;
  ScsuReader reader(bytes);
  std::string sequence;
  while (auto cp = reader.Next()) {
    sequence.clear();
    AppendUtf8(sequence, *cp);
    if (sequence.size() > out.size() - written) break;
    for (char c : sequence) out[written++] = static_cast<uint8_t>(c);
  }
  return written;
}

}  // namespace pagewright
