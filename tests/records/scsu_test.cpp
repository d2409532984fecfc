#include "records/scsu.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstdint>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "pagestore/text_codec.h"

namespace pagewright {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Decode(const Bytes& bytes) { return DecodeScsu(bytes); }

std::string Utf8(std::initializer_list<uint32_t> codePoints) {
  std::string out;
  for (uint32_t cp : codePoints) AppendUtf8(out, cp);
  return out;
}

// UTF-16 to UTF-8 with lone surrogates as U+FFFD, the decoder's own rule.
std::string Utf16ToUtf8(const std::u16string& units) {
  Bytes le;
  for (char16_t u : units) {
    le.push_back(static_cast<uint8_t>(u & 0xFF));
    le.push_back(static_cast<uint8_t>(u >> 8));
  }
  return Utf16LeToUtf8(le);
}

bool IsWellFormedUtf8(const std::string& text) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t length = 0;
  u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
  return status == U_BUFFER_OVERFLOW_ERROR || status == U_STRING_NOT_TERMINATED_WARNING || U_SUCCESS(status);
}

// ICU's SCSU converter, used as an independent implementation. Callbacks
// stop on the first error so that "decoded without error" means exactly that.
class IcuScsu {
 public:
  IcuScsu() {
    UErrorCode status = U_ZERO_ERROR;
    converter_ = ucnv_open("SCSU", &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    ucnv_setToUCallBack(converter_, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFromUCallBack(converter_, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  }
  ~IcuScsu() { ucnv_close(converter_); }
  IcuScsu(const IcuScsu&) = delete;
  IcuScsu& operator=(const IcuScsu&) = delete;

  Bytes Encode(const std::u16string& text) {
    ucnv_reset(converter_);
    Bytes out(text.size() * 4 + 16);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(converter_, reinterpret_cast<char*>(out.data()), static_cast<int32_t>(out.size()),
                                reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()),
                                &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(n) : 0);
    return out;
  }

  std::optional<std::u16string> Decode(const Bytes& bytes) {
    ucnv_reset(converter_);
    std::u16string out(bytes.size() * 2 + 16, u'\0');
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(converter_, reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                              reinterpret_cast<const char*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                              &status);
    if (U_FAILURE(status)) return std::nullopt;
    out.resize(static_cast<size_t>(n));
    return out;
  }

 private:
  UConverter* converter_ = nullptr;
};

// The worked examples of the standard, byte for byte.
const Bytes kGermanScsu = {0xD6, 0x6C, 0x20, 0x66, 0x6C, 0x69, 0x65, 0xDF, 0x74};
const Bytes kRussianScsu = {0x12, 0x9C, 0xBE, 0xC1, 0xBA, 0xB2, 0xB0};
const Bytes kJapaneseScsu = {
    0x08, 0x00, 0x1B, 0x4C, 0xEA, 0x16, 0xCA, 0xD3, 0x94, 0x0F, 0x53, 0xEF, 0x61, 0x1B, 0xE5, 0x84, 0xC4, 0x0F,
    0x53, 0xEF, 0x61, 0x1B, 0xE5, 0x84, 0xC4, 0x16, 0xCA, 0xD3, 0x94, 0x08, 0x02, 0x0F, 0x53, 0x4A, 0x4E, 0x16,
    0x7D, 0x00, 0x30, 0x82, 0x52, 0x4D, 0x30, 0x6B, 0x6D, 0x41, 0x88, 0x4C, 0xE5, 0x97, 0x9F, 0x08, 0x0C, 0x16,
    0xCA, 0xD3, 0x94, 0x15, 0xAE, 0x0E, 0x6B, 0x4C, 0x08, 0x0D, 0x8C, 0xB4, 0xA3, 0x9F, 0xCA, 0x99, 0xCB, 0x8B,
    0xC2, 0x97, 0xCC, 0xAA, 0x84, 0x08, 0x02, 0x0E, 0x7C, 0x73, 0xE2, 0x16, 0xA3, 0xB7, 0xCB, 0x93, 0xD3, 0xB4,
    0xC5, 0xDC, 0x9F, 0x0E, 0x79, 0x3E, 0x06, 0xAE, 0xB1, 0x9D, 0x93, 0xD3, 0x08, 0x0C, 0xBE, 0xA3, 0x8F, 0x08,
    0x88, 0xBE, 0xA3, 0x8D, 0xD3, 0xA8, 0xA3, 0x97, 0xC5, 0x17, 0x89, 0x08, 0x0D, 0x15, 0xD2, 0x08, 0x01, 0x93,
    0xC8, 0xAA, 0x8F, 0x0E, 0x61, 0x1B, 0x99, 0xCB, 0x0E, 0x4E, 0xBA, 0x9F, 0xA1, 0xAE, 0x93, 0xA8, 0xA0, 0x08,
    0x02, 0x08, 0x0C, 0xE2, 0x16, 0xA3, 0xB7, 0xCB, 0x0F, 0x4F, 0xE1, 0x80, 0x05, 0xEC, 0x60, 0x8D, 0xEA, 0x06,
    0xD3, 0xE6, 0x0F, 0x8A, 0x00, 0x30, 0x44, 0x65, 0xB9, 0xE4, 0xFE, 0xE7, 0xC2, 0x06, 0xCB, 0x82};
const std::string kJapaneseText = Utf8({
    0x3000, 0x266A, 0x30EA, 0x30F3, 0x30B4, 0x53EF, 0x611B, 0x3044, 0x3084, 0x53EF, 0x611B, 0x3044, 0x3084,
    0x30EA, 0x30F3, 0x30B4, 0x3002, 0x534A, 0x4E16, 0x7D00, 0x3082, 0x524D, 0x306B, 0x6D41, 0x884C, 0x3057,
    0x305F, 0x300C, 0x30EA, 0x30F3, 0x30B4, 0x306E, 0x6B4C, 0x300D, 0x304C, 0x3074, 0x3063, 0x305F, 0x308A,
    0x3059, 0x308B, 0x304B, 0x3082, 0x3057, 0x308C, 0x306A, 0x3044, 0x3002, 0x7C73, 0x30A2, 0x30C3, 0x30D7,
    0x30EB, 0x30B3, 0x30F3, 0x30D4, 0x30E5, 0x30FC, 0x30BF, 0x793E, 0x306E, 0x30D1, 0x30BD, 0x30B3, 0x30F3,
    0x300C, 0x30DE, 0x30C3, 0x30AF, 0xFF08, 0x30DE, 0x30C3, 0x30AD, 0x30F3, 0x30C8, 0x30C3, 0x30B7, 0x30E5,
    0xFF09, 0x300D, 0x3092, 0x3001, 0x3053, 0x3088, 0x306A, 0x304F, 0x611B, 0x3059, 0x308B, 0x4EBA, 0x305F,
    0x3061, 0x306E, 0x3053, 0x3068, 0x3060, 0x3002, 0x300C, 0x30A2, 0x30C3, 0x30D7, 0x30EB, 0x4FE1, 0x8005,
    0x300D, 0x306A, 0x3093, 0x3066, 0x8A00, 0x3044, 0x65B9, 0x307E, 0x3067, 0x3042, 0x308B, 0x3002});
const Bytes kAllFeaturesScsu = {0x41, 0xDF, 0x12, 0x81, 0x03, 0x5F, 0x10, 0xDF, 0x1B, 0x03, 0xDF, 0x1C,
                                0x88, 0x80, 0x0B, 0xBF, 0xFF, 0xFF, 0x0D, 0x0A, 0x41, 0x10, 0xDF, 0x12,
                                0x81, 0x03, 0x5F, 0x10, 0xDF, 0x13, 0xDF, 0x14, 0x80, 0x15, 0xFF};
const std::string kAllFeaturesLine = Utf8({0x41, 0xDF, 0x401, 0x15F, 0xDF, 0x1DF, 0xF000, 0x10FFFF});
const std::string kAllFeaturesText = kAllFeaturesLine + "\r\n" + kAllFeaturesLine;

TEST(ScsuExamples, GermanIsLatin1AsIs) { EXPECT_EQ(Decode(kGermanScsu), "Öl fließt"); }

TEST(ScsuExamples, RussianSelectsTheCyrillicWindow) { EXPECT_EQ(Decode(kRussianScsu), "Москва"); }

TEST(ScsuExamples, JapaneseMixesWindowsQuotesAndUnicodeMode) {
  EXPECT_EQ(Decode(kJapaneseScsu), kJapaneseText);
}

TEST(ScsuExamples, AllFeaturesIncludingExtendedWindow) { EXPECT_EQ(Decode(kAllFeaturesScsu), kAllFeaturesText); }

TEST(ScsuExamples, IcuReadsTheExamplesTheSameWay) {
  IcuScsu icu;
  for (const auto& [bytes, text] : {std::pair{kGermanScsu, std::string("Öl fließt")}, {kRussianScsu, "Москва"},
                                    {kJapaneseScsu, kJapaneseText}, {kAllFeaturesScsu, kAllFeaturesText}}) {
    auto units = icu.Decode(bytes);
    ASSERT_TRUE(units);
    EXPECT_EQ(Utf16ToUtf8(*units), text);
  }
}

// ---- Every tag, built by hand --------------------------------------------

constexpr uint32_t kStatic[8] = {0x0000, 0x0080, 0x0100, 0x0300, 0x2000, 0x2080, 0x2100, 0x3000};
constexpr uint32_t kDynamic[8] = {0x0080, 0x00C0, 0x0400, 0x0600, 0x0900, 0x3040, 0x30A0, 0xFF00};

TEST(ScsuSingleByteMode, AsciiAndTheFourPassThroughControls) {
  EXPECT_EQ(Decode({0x00, 0x09, 0x0A, 0x0D, 0x20, 0x41, 0x7F}), std::string("\0\t\n\r A\x7F", 7));
}

TEST(ScsuSingleByteMode, HighBytesUseDynamicWindowZeroAtStart) {
  EXPECT_EQ(Decode({0x80, 0xFF}), Utf8({0x80, 0xFF}));
}

TEST(ScsuSingleByteMode, SqnBelow80QuotesFromStaticWindow) {
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(Decode({static_cast<uint8_t>(0x01 + n), 0x05}), Utf8({kStatic[n] + 0x05})) << "SQ" << int(n);
  }
  EXPECT_EQ(Decode({0x01, 0x0C, 0x01, 0x0F}), Utf8({0x0C, 0x0F}));  // controls that are tags
}

TEST(ScsuSingleByteMode, SqnFrom80QuotesFromDynamicWindowWithoutSelectingIt) {
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(Decode({static_cast<uint8_t>(0x01 + n), 0x85, 0x85}), Utf8({kDynamic[n] + 0x05, 0x85}))
        << "SQ" << int(n);
  }
}

TEST(ScsuSingleByteMode, ScnSelectsEachInitialDynamicWindow) {
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(Decode({static_cast<uint8_t>(0x10 + n), 0x80, 0xFF, 0x41}),
              Utf8({kDynamic[n], kDynamic[n] + 0x7F, 0x41}))
        << "SC" << int(n);
  }
}

TEST(ScsuSingleByteMode, SdnDefinesAndSelectsOnlyItsWindow) {
  for (uint8_t n = 0; n < 8; ++n) {
    uint8_t other = static_cast<uint8_t>((n + 1) % 8);
    EXPECT_EQ(Decode({static_cast<uint8_t>(0x18 + n), 0x05, 0x80, static_cast<uint8_t>(0x10 + other), 0x80}),
              Utf8({0x280, kDynamic[other]}))
        << "SD" << int(n);
  }
}

TEST(ScsuSingleByteMode, SdxDefinesExtendedWindows) {
  EXPECT_EQ(Decode({0x0B, 0x00, 0x00, 0x80}), Utf8({0x10000}));
  EXPECT_EQ(Decode({0x0B, 0x61, 0xEC, 0x80, 0x81}), Utf8({0x1F600, 0x1F601}));  // window 3
  // Highest offset, in window 7: 0x10000 + 0x1FFF * 0x80 = U+10FF80.
  EXPECT_EQ(Decode({0x0B, 0xFF, 0xFF, 0x80, 0xFF}), Utf8({0x10FF80, 0x10FFFF}));
  // A quote from an extended window that is not the active one.
  EXPECT_EQ(Decode({0x0B, 0x61, 0xEC, 0x10, 0x04, 0x81, 0x80}), Utf8({0x1F601, 0x80}));
}

TEST(ScsuSingleByteMode, SquQuotesOneCodeUnitAndStaysInSingleByteMode) {
  EXPECT_EQ(Decode({0x0E, 0x4E, 0x2D, 0x41, 0x0E, 0xE0, 0x00}), Utf8({0x4E2D, 0x41, 0xE000}));
  EXPECT_EQ(Decode({0x0E, 0xD8, 0x3D, 0x0E, 0xDE, 0x00}), Utf8({0x1F600}));
}

TEST(ScsuUnicodeMode, ScuSwitchesToBigEndianCodeUnits) {
  EXPECT_EQ(Decode({0x0F, 0x00, 0x41, 0x4E, 0x2D, 0xD8, 0x3D, 0xDE, 0x00}), Utf8({0x41, 0x4E2D, 0x1F600}));
}

TEST(ScsuUnicodeMode, UcnSelectsWindowAndReturnsToSingleByteMode) {
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(Decode({0x0F, static_cast<uint8_t>(0xE0 + n), 0x80, 0x41}), Utf8({kDynamic[n], 0x41}))
        << "UC" << int(n);
  }
}

TEST(ScsuUnicodeMode, UdnDefinesSelectsAndReturnsToSingleByteMode) {
  for (uint8_t n = 0; n < 8; ++n) {
    EXPECT_EQ(Decode({0x0F, static_cast<uint8_t>(0xE8 + n), 0xFB, 0xA1, static_cast<uint8_t>(0x10 + n), 0x80}),
              Utf8({0x391, 0x370}))
        << "UD" << int(n);
  }
}

TEST(ScsuUnicodeMode, UquQuotesCodeUnitsThatLookLikeTags) {
  EXPECT_EQ(Decode({0x0F, 0xF0, 0xE0, 0x00, 0xF0, 0xF2, 0xFF, 0x00, 0x41}), Utf8({0xE000, 0xF2FF, 0x41}));
  EXPECT_EQ(Decode({0x0F, 0xF3, 0x00, 0xFF, 0xFD}), Utf8({0xF300, 0xFFFD}));  // no quote needed above F2FF
}

TEST(ScsuUnicodeMode, UdxDefinesExtendedWindowAndReturnsToSingleByteMode) {
  EXPECT_EQ(Decode({0x0F, 0xF1, 0x61, 0xEC, 0x80, 0x41, 0x13, 0x80}), Utf8({0x1F600, 0x41, 0x1F600}));
}

TEST(ScsuWindowOffsets, TableRangesAndHalfBlockOffsets) {
  struct Case {
    uint8_t x;
    uint32_t offset;
  };
  for (Case c : {Case{0x01, 0x0080}, {0x08, 0x0400}, {0x67, 0x3380}, {0x68, 0xE000}, {0x7F, 0xEB80},
                 {0xA7, 0xFF80}, {0xF9, 0x00C0}, {0xFA, 0x0250}, {0xFB, 0x0370}, {0xFC, 0x0530},
                 {0xFD, 0x3040}, {0xFE, 0x30A0}, {0xFF, 0xFF60}}) {
    EXPECT_EQ(Decode({0x1F, c.x, 0x80, 0xFF}), Utf8({c.offset, c.offset + 0x7F})) << std::hex << int(c.x);
  }
}

// ---- Damaged input ---------------------------------------------------------

const std::string kFffd = Utf8({0xFFFD});

TEST(ScsuDamaged, ReservedTagsBecomeReplacementAndDecodingGoesOn) {
  EXPECT_EQ(Decode({0x41, 0x0C, 0x42}), "A" + kFffd + "B");
  EXPECT_EQ(Decode({0x0F, 0xF2, 0x00, 0x41}), kFffd + "A");
}

TEST(ScsuDamaged, ReservedOffsetMakesTheWindowUnknownUntilRedefined) {
  for (uint8_t x : {0x00, 0xA8, 0xC0, 0xF8}) {
    EXPECT_EQ(Decode({0x18, x, 0x80, 0x41, 0x11, 0x80, 0x01, 0x81, 0x18, 0xF9, 0x80}),
              kFffd + kFffd + "A" + Utf8({0xC0}) + kFffd + Utf8({0xC0}))
        << std::hex << int(x);
    EXPECT_EQ(Decode({0x0F, 0xE9, x, 0x80, 0x41}), kFffd + kFffd + "A") << std::hex << int(x);
    // The byte after the reserved one is text, not a second try at an offset.
    EXPECT_EQ(Decode({0x19, x, 0x75, 0x41}), kFffd + "uA") << std::hex << int(x);
  }
}

TEST(ScsuDamaged, ArgumentCutOffByTheEndIsOneReplacement) {
  for (const Bytes& cut : {Bytes{0x41, 0x01}, Bytes{0x41, 0x08}, Bytes{0x41, 0x0B}, Bytes{0x41, 0x0B, 0x01},
                           Bytes{0x41, 0x0E}, Bytes{0x41, 0x0E, 0x4E}, Bytes{0x41, 0x18}, Bytes{0x41, 0x0F, 0x4E},
                           Bytes{0x41, 0x0F, 0xE8}, Bytes{0x41, 0x0F, 0xF0}, Bytes{0x41, 0x0F, 0xF0, 0x00},
                           Bytes{0x41, 0x0F, 0xF1, 0x00}}) {
    EXPECT_EQ(Decode(cut), "A" + kFffd);
  }
}

TEST(ScsuDamaged, UnpairedSurrogatesBecomeReplacement) {
  EXPECT_EQ(Decode({0x0E, 0xD8, 0x00, 0x41}), kFffd + "A");
  EXPECT_EQ(Decode({0x0E, 0xDC, 0x00}), kFffd);
  EXPECT_EQ(Decode({0x0F, 0xD8, 0x00, 0xD8, 0x00, 0xDC, 0x00}), kFffd + Utf8({0x10000}));
  EXPECT_EQ(Decode({0x0F, 0xDC, 0x00, 0xD8, 0x00}), kFffd + kFffd);
  EXPECT_EQ(Decode({0x0E, 0xD8, 0x00, 0x0B, 0x00, 0x00, 0x80}), kFffd + Utf8({0x10000}));
}

TEST(ScsuDamaged, EveryPrefixOfAValidValueDecodesToAPrefixAndAtMostOneReplacement) {
  for (const Bytes& whole : {kJapaneseScsu, kAllFeaturesScsu}) {
    std::string full = Decode(whole);
    for (size_t n = 0; n <= whole.size(); ++n) {
      std::string part = Decode(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n)));
      bool exactPrefix = full.compare(0, part.size(), part) == 0;
      bool prefixThenFffd = part.size() >= 3 && part.ends_with(kFffd) &&
                            full.compare(0, part.size() - 3, part, 0, part.size() - 3) == 0;
      EXPECT_TRUE(exactPrefix || prefixThenFffd) << "prefix of " << n << " bytes";
    }
  }
}

TEST(ScsuDamaged, RandomBytesGiveWellFormedBoundedOutput) {
  std::mt19937 rng(20261209);
  for (int i = 0; i < 20000; ++i) {
    Bytes junk(rng() % 64);
    for (auto& b : junk) b = static_cast<uint8_t>(rng());
    std::string text = Decode(junk);
    ASSERT_LE(text.size(), junk.size() * kScsuMaxUtf8BytesPerInputByte);
    ASSERT_TRUE(IsWellFormedUtf8(text));
  }
}

// ---- Bounded output --------------------------------------------------------

// Every buffer size from 0 to past the full length: the bytes written are the
// longest whole-character prefix that fits, and nothing past `out` changes.
void ExpectBoundedDecodeNeverOverruns(const Bytes& value) {
  const std::string full = Decode(value);
  constexpr size_t kGuard = 16;
  for (size_t size = 0; size <= full.size() + 4; ++size) {
    std::vector<uint8_t> area(size + kGuard, 0xA5);
    size_t written = DecodeScsuInto(value, std::span<uint8_t>(area.data(), size));
    ASSERT_LE(written, size);
    for (size_t i = size; i < area.size(); ++i) ASSERT_EQ(area[i], 0xA5) << "overrun at size " << size;
    ASSERT_EQ(std::string(area.begin(), area.begin() + static_cast<ptrdiff_t>(written)), full.substr(0, written));
    bool atCharBoundary = written == full.size() || (static_cast<uint8_t>(full[written]) & 0xC0) != 0x80;
    ASSERT_TRUE(atCharBoundary) << "split sequence at size " << size;
    size_t nextEnd = written + 1;
    while (nextEnd < full.size() && (static_cast<uint8_t>(full[nextEnd]) & 0xC0) == 0x80) ++nextEnd;
    ASSERT_TRUE(written == full.size() || nextEnd > size) << "stopped early at size " << size;
  }
}

TEST(ScsuBounded, EveryBufferSizeForLongMixedValues) {
  ExpectBoundedDecodeNeverOverruns(kJapaneseScsu);
  ExpectBoundedDecodeNeverOverruns(kAllFeaturesScsu);
  Bytes damaged = kJapaneseScsu;
  damaged.insert(damaged.begin() + 40, {0x0C, 0x0E, 0xD8, 0x00, 0x1A, 0xB0, 0x90});
  damaged.push_back(0x0B);
  ExpectBoundedDecodeNeverOverruns(damaged);
}

// ---- Differential test against ICU -----------------------------------------

struct Range {
  uint32_t first, last;
};
// Scripts chosen to exercise every kind of window: static, initial dynamic,
// offset table, half blocks, quoting, Unicode mode and extended windows.
constexpr Range kRanges[] = {
    {0x20, 0x7E},       {0x00, 0x1F},       {0xA0, 0xFF},       {0x100, 0x24F},     {0x250, 0x2AF},
    {0x300, 0x36F},     {0x370, 0x3FF},     {0x400, 0x4FF},     {0x530, 0x58F},     {0x600, 0x6FF},
    {0x900, 0x97F},     {0x2000, 0x206F},   {0x20A0, 0x20CF},   {0x2100, 0x214F},   {0x3000, 0x303F},
    {0x3041, 0x309F},   {0x30A0, 0x30FF},   {0x4E00, 0x9FFF},   {0xAC00, 0xD7A3},   {0xE000, 0xF8FF},
    {0xFE70, 0xFEFF},   {0xFF00, 0xFFEF},   {0x10000, 0x1007F}, {0x10400, 0x1044F}, {0x1F300, 0x1FAFF},
    {0x20000, 0x2A6DF}, {0xF0000, 0xF00FF}, {0x10FF00, 0x10FFFD}};

std::u32string RandomText(std::mt19937& rng) {
  constexpr size_t kRangeCount = std::size(kRanges);
  size_t scripts = 1 + rng() % 4;
  Range chosen[4];
  for (size_t i = 0; i < scripts; ++i) chosen[i] = kRanges[rng() % kRangeCount];
  std::u32string text;
  size_t length = rng() % 80;
  while (text.size() < length) {
    const Range& r = chosen[rng() % scripts];
    size_t run = 1 + rng() % 12;  // runs make encoders keep or switch windows
    for (size_t i = 0; i < run; ++i) text.push_back(static_cast<char32_t>(r.first + rng() % (r.last - r.first + 1)));
  }
  return text;
}

std::u16string ToUtf16(const std::u32string& text) {
  std::u16string out;
  for (char32_t cp : text) {
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

constexpr int kGeneratedStrings = 30000;

TEST(ScsuDifferential, IcuEncodedStringsDecodeToTheOriginal) {
  IcuScsu icu;
  std::mt19937 rng(6);
  for (int i = 0; i < kGeneratedStrings; ++i) {
    std::u32string text = RandomText(rng);
    std::string expected;
    for (char32_t cp : text) AppendUtf8(expected, cp);
    Bytes encoded = icu.Encode(ToUtf16(text));
    ASSERT_EQ(Decode(encoded), expected) << "string " << i;
  }
  std::cout << "[ info ] " << kGeneratedStrings << " generated strings encoded by ICU and decoded\n";
}

// Streams built from tokens that are valid in the mode the generator believes
// it is in, with some raw bytes mixed in to push the decoder off course.
Bytes RandomStream(std::mt19937& rng) {
  Bytes out;
  bool unicodeMode = false;
  size_t tokens = rng() % 24;
  auto byte = [&] { return static_cast<uint8_t>(rng()); };
  for (size_t t = 0; t < tokens; ++t) {
    uint32_t pick = rng() % 16;
    if (pick == 0) {
      out.push_back(byte());
    } else if (!unicodeMode) {
      switch (pick) {
        case 1: out.insert(out.end(), {static_cast<uint8_t>(0x01 + rng() % 8), byte()}); break;
        case 2: out.push_back(static_cast<uint8_t>(0x10 + rng() % 8)); break;
        case 3: out.insert(out.end(), {static_cast<uint8_t>(0x18 + rng() % 8), byte()}); break;
        case 4: out.insert(out.end(), {0x0B, byte(), byte()}); break;
        case 5: out.insert(out.end(), {0x0E, byte(), byte()}); break;
        case 6: out.push_back(0x0F); unicodeMode = true; break;
        case 7: case 8: case 9: out.push_back(static_cast<uint8_t>(0x80 | byte())); break;
        default: out.push_back(static_cast<uint8_t>(0x20 + rng() % 0x60)); break;
      }
    } else {
      switch (pick) {
        case 1: out.push_back(static_cast<uint8_t>(0xE0 + rng() % 8)); unicodeMode = false; break;
        case 2: out.insert(out.end(), {static_cast<uint8_t>(0xE8 + rng() % 8), byte()}); unicodeMode = false; break;
        case 3: out.insert(out.end(), {0xF1, byte(), byte()}); unicodeMode = false; break;
        case 4: out.insert(out.end(), {0xF0, byte(), byte()}); break;
        case 5: out.insert(out.end(), {static_cast<uint8_t>(0xD8 + rng() % 8), byte()}); break;
        default: out.insert(out.end(), {static_cast<uint8_t>(rng() % 0xE0), byte()}); break;
      }
    }
  }
  return out;
}

// True when an SDn or UDn of `stream` carries a reserved offset byte. ICU
// raises no error there: it drops that byte and reads the next one as the
// offset. The standard gives such a stream no meaning and this decoder
// substitutes instead (pinned in ScsuDamaged), so the comparison leaves these
// streams out. Only the argument lengths of the tags matter here.
bool DefinesReservedWindowOffset(const Bytes& s) {
  auto reservedAt = [&](size_t i) { return i < s.size() && (s[i] == 0x00 || (s[i] >= 0xA8 && s[i] <= 0xF8)); };
  bool unicodeMode = false;
  for (size_t i = 0; i < s.size(); ++i) {
    uint8_t b = s[i];
    if (!unicodeMode) {
      if (b >= 0x18 && b <= 0x1F && reservedAt(i + 1)) return true;
      if ((b >= 0x01 && b <= 0x08) || (b >= 0x18 && b <= 0x1F)) i += 1;
      if (b == 0x0B || b == 0x0E) i += 2;
      if (b == 0x0F) unicodeMode = true;
    } else if (b >= 0xE8 && b <= 0xEF) {
      if (reservedAt(i + 1)) return true;
      i += 1;
      unicodeMode = false;
    } else if (b >= 0xE0 && b <= 0xE7) {
      unicodeMode = false;
    } else if (b == 0xF0 || b == 0xF1) {
      i += 2;
      unicodeMode = b == 0xF0;
    } else if (b != 0xF2) {
      i += 1;
    }
  }
  return false;
}

TEST(ScsuDifferential, StreamsIcuAcceptsDecodeToTheSameText) {
  IcuScsu icu;
  std::mt19937 rng(7);
  constexpr int kStreams = 60000;
  int accepted = 0;
  int reservedOffset = 0;
  for (int i = 0; i < kStreams; ++i) {
    Bytes stream;
    if (i % 2 == 0) {
      stream = RandomStream(rng);
    } else {
      stream.resize(rng() % 24);
      for (auto& b : stream) b = static_cast<uint8_t>(rng());
    }
    std::optional<std::u16string> units = icu.Decode(stream);
    if (!units) continue;
    if (DefinesReservedWindowOffset(stream)) {
      ++reservedOffset;
      continue;
    }
    ++accepted;
    std::string hex;
    for (uint8_t b : stream) hex += " " + std::to_string(b);
    ASSERT_EQ(Decode(stream), Utf16ToUtf8(*units)) << "stream " << i << ":" << hex;
  }
  EXPECT_GT(accepted, kStreams / 4);
  std::cout << "[ info ] " << kStreams << " random streams: " << accepted << " compared, " << reservedOffset
            << " left out for a reserved window offset, the rest rejected by ICU\n";
}

}  // namespace
}  // namespace pagewright
