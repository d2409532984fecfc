#include "pagestore/text_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace pagewright {
namespace {

std::string Cp(std::vector<uint8_t> bytes, int32_t cp) { return CodePageToUtf8(bytes, cp); }

TEST(CodePages, WesternAndCentralEuropean) {
  EXPECT_EQ(Cp({'c', 'a', 'f', 0xE9}, 1252), "café");
  EXPECT_EQ(Cp({0x80}, 1252), "€");
  EXPECT_EQ(Cp({0x8A}, 1250), "Š");
  EXPECT_EQ(Cp({0xC4, 0xE0}, 1251), "Да");
  EXPECT_EQ(Cp({0xE1}, 1253), "α");
}

TEST(CodePages, DoubleByteCodePages) {
  EXPECT_EQ(Cp({0x82, 0xA0}, 932), "あ");
  EXPECT_EQ(Cp({0xD6, 0xD0, 0xCE, 0xC4}, 936), "中文");
  EXPECT_EQ(Cp({0xC7, 0xD1}, 949), "한");
  EXPECT_EQ(Cp({0xA4, 0xA4}, 950), "中");
}

TEST(CodePages, StopsAtTheFirstZeroByte) { EXPECT_EQ(Cp({'a', 'b', 0, 'c'}, 1252), "ab"); }

TEST(CodePages, UnknownCodePageConvertsAsTheSystemCodePage) {
  EXPECT_FALSE(IsCodePageSupported(77777));
  EXPECT_EQ(Cp({0xE9}, 77777), "é");
  EXPECT_EQ(Cp({0xE9}, 0), "é");
}

TEST(Utf16, PairsAreJoinedAndLoneSurrogatesReplaced) {
  std::vector<uint8_t> emoji = {0x3D, 0xD8, 0x00, 0xDE};  // U+1F600
  EXPECT_EQ(Utf16LeToUtf8(emoji), "\xF0\x9F\x98\x80");
  std::vector<uint8_t> lone = {0x3D, 0xD8, 0x41, 0x00};
  EXPECT_EQ(Utf16LeToUtf8(lone), "\xEF\xBF\xBD" "A");
  std::vector<uint8_t> odd = {0x41, 0x00, 0x42};
  EXPECT_EQ(Utf16LeToUtf8(odd), "A");
  std::vector<uint8_t> nul = {0x41, 0x00, 0x00, 0x00, 0x42, 0x00};
  EXPECT_EQ(Utf16LeToUtf8UntilNul(nul), "A");
  EXPECT_EQ(Utf16LeToUtf8(nul), std::string("A\0B", 3));
}

TEST(Utf16, RoundTripThroughUtf8) {
  std::string text = "Ωmega 中文 \xF0\x9F\x98\x80 end";
  std::u16string units = Utf8ToUtf16(text);
  std::vector<uint8_t> bytes;
  for (char16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u & 0xFF));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  EXPECT_EQ(Utf16LeToUtf8(bytes), text);
  EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\xFFFD");
}

}  // namespace
}  // namespace pagewright
