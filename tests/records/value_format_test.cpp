#include "records/value_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "pagestore/collation_table.h"
#include "pagestore/text_codec.h"
#include "support/builder/record_builder.h"

namespace pagewright {
namespace {

using build::Bytes;
using build::LE;

ColumnDescriptor Column(int32_t typeIndex, const std::string& typeText, uint8_t precision = 0, uint8_t scale = 0) {
  ColumnDescriptor c;
  c.typeIndex = typeIndex;
  c.typeText = typeText;
  c.declaredLength = DeclaredLengthOf(typeText);
  c.precision = precision;
  c.scale = scale;
  c.variable = (typeIndex == kTypeVarchar || typeIndex == kTypeNvarchar || typeIndex == kTypeVarbinary) ? 1 : 0;
  return c;
}

// Formats `bytes` as a value of the column, the way the row decoder does
// for a fixed column (available = the bytes given).
std::string Format(const ColumnDescriptor& c, const Bytes& bytes, const ReadContext& state = ReadContext()) {
  BitCursor bits;
  TypeLayout t = ComputeTypeLayout(c, bits, c.typeIndex);
  t.available = static_cast<int64_t>(bytes.size());
  if (t.isVariable) t.valueLength = static_cast<int16_t>(bytes.size());
  return FormatValue(t, bytes, c, state);
}

Bytes DateTime(int32_t days, int32_t ticks) { return build::Concat({LE<int32_t>(ticks), LE<int32_t>(days)}); }

TEST(TypeIndex, SystemTypeIds) {
  EXPECT_EQ(TypeIndexOf(56), kTypeInt);
  EXPECT_EQ(TypeIndexOf(231), kTypeNvarchar);
  EXPECT_EQ(TypeIndexOf(34), kTypeText) << "image maps like text until the catalog overrides it";
  EXPECT_EQ(TypeIndexOf(241), kTypeXml);
  EXPECT_EQ(TypeIndexOf(240), kTypeClr);
  EXPECT_EQ(TypeIndexOf(200), kTypeChar) << "unknown ids map to char";
  EXPECT_EQ(DeclaredLengthOf("varbinary(-1)"), -1);
  EXPECT_EQ(DeclaredLengthOf("int(4)"), 4);
  EXPECT_EQ(DeclaredLengthOf("int"), 0);
}

TEST(Integers, EveryWidth) {
  EXPECT_EQ(Format(Column(kTypeInt, "int(4)"), LE<int32_t>(-123456)), "-123456");
  EXPECT_EQ(Format(Column(kTypeBigint, "bigint(8)"), LE<int64_t>(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(Format(Column(kTypeSmallint, "smallint(2)"), LE<int16_t>(-2)), "-2");
  EXPECT_EQ(Format(Column(kTypeTinyint, "tinyint(1)"), Bytes{250}), "250");
  EXPECT_EQ(Format(Column(kTypeInt, "int(4)"), Bytes{1, 2}), "") << "too few bytes";
}

TEST(Bits, EightColumnsShareAByteAndTheNinthStartsAnother) {
  ColumnDescriptor c = Column(kTypeBit, "bit(1)");
  BitCursor bits;
  Bytes first = {0b10100101}, second = {0b00000001};
  std::string texts;
  std::vector<int> fixedSizes;
  for (int i = 0; i < 9; ++i) {
    TypeLayout t = ComputeTypeLayout(c, bits, kTypeBit);
    fixedSizes.push_back(t.fixedSize);
    t.available = 1;
    const Bytes& byte = i < 8 ? first : second;
    texts += FormatValue(t, byte, c, ReadContext()) + (i < 8 ? "," : "");
  }
  EXPECT_EQ(texts, "True,False,True,False,False,True,False,True,True");
  EXPECT_EQ(fixedSizes, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(DateTimes, DatetimeShowsMillisecondsAsSqlServerRoundsThem) {
  ColumnDescriptor c = Column(kTypeDatetime, "datetime(8)");
  EXPECT_EQ(Format(c, DateTime(0, 0)), "1900-01-01 00:00:00.000");
  EXPECT_EQ(Format(c, DateTime(0, 25919999)), "1900-01-01 23:59:59.997");
  EXPECT_EQ(Format(c, DateTime(0, 1)), "1900-01-01 00:00:00.003");
  EXPECT_EQ(Format(c, DateTime(0, 2)), "1900-01-01 00:00:00.007");
  EXPECT_EQ(Format(c, DateTime(-53690, 0)), "1753-01-01 00:00:00.000");
  EXPECT_EQ(Format(c, DateTime(45000, 300 * 86400 + 5)), "2023-03-17") << "a time past the day shows the date";
  EXPECT_EQ(Format(c, DateTime(3000000, 0)), " ") << "year past 9999";
}

TEST(DateTimes, SmallDatetimeDateAndTime) {
  EXPECT_EQ(Format(Column(kTypeSmalldatetime, "smalldatetime(4)"), build::Concat({LE<uint16_t>(61), LE<uint16_t>(1)})),
            "1900-01-02 01:01:00");
  EXPECT_EQ(Format(Column(kTypeDate, "date(3)"), Bytes{0, 0, 0}), "0001-01-01");
  EXPECT_EQ(Format(Column(kTypeDate, "date(3)"), Bytes{0x5B, 0x95, 0x0A}), "1900-01-01");
}

Bytes TimeUnits(uint64_t units, int bytes) {
  Bytes out(static_cast<size_t>(bytes));
  for (int i = 0; i < bytes; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(units >> (8 * i));
  return out;
}

TEST(DateTimes, TimeFractionsArePaddedToTheScale) {
  uint64_t t = (13 * 3600 + 45 * 60 + 10) * 10000000ull;
  EXPECT_EQ(Format(Column(kTypeTime, "time(5)", 16, 7), TimeUnits(t + 1234567, 5)), "13:45:10.1234567");
  EXPECT_EQ(Format(Column(kTypeTime, "time(5)", 16, 7), TimeUnits(t + 1234, 5)), "13:45:10.0001234");
  EXPECT_EQ(Format(Column(kTypeTime, "time(3)", 8, 0), TimeUnits(3661, 3)), "01:01:01");
  EXPECT_EQ(Format(Column(kTypeTime, "time(5)", 16, 7), TimeUnits(86400ull * 10000000, 5)), " ");
}

TEST(DateTimes, Datetime2SplitsTimeAndDateByLength) {
  Bytes v = build::Concat({TimeUnits(36000 * 100 + 5, 4), Bytes{0x5B, 0x95, 0x0A}});  // scale 2? 4 bytes = scale 3-4
  EXPECT_EQ(Format(Column(kTypeDatetime2, "datetime2(7)", 23, 3), v), "1900-01-01 01:00:00.005");
}

TEST(DateTimes, DatetimeoffsetShowsLocalTimeAndOffset) {
  // 2026-12-08 18:05:09.1234567 UTC, offset -300 minutes.
  uint64_t units = (18 * 3600 + 5 * 60 + 9) * 10000000ull + 1234567;
  int64_t days = 739957;  // 2026-12-08 counted from 0001-01-01
  Bytes v = build::Concat({TimeUnits(units, 5), TimeUnits(static_cast<uint64_t>(days), 3), LE<int16_t>(-300)});
  EXPECT_EQ(Format(Column(kTypeDatetimeOffset, "datetimeoffset(10)", 34, 7), v), "2026-12-08 13:05:09.1234567 -05:00");
  // Carried back over midnight.
  Bytes early = build::Concat({TimeUnits(3600 * 10000000ull, 5), TimeUnits(static_cast<uint64_t>(days), 3), LE<int16_t>(-120)});
  EXPECT_EQ(Format(Column(kTypeDatetimeOffset, "datetimeoffset(10)", 34, 7), early), "2026-12-07 23:00:00.0000000 -02:00");
  Bytes east = build::Concat({TimeUnits(23 * 3600 * 10000000ull, 5), TimeUnits(static_cast<uint64_t>(days), 3), LE<int16_t>(330)});
  EXPECT_EQ(Format(Column(kTypeDatetimeOffset, "datetimeoffset(10)", 34, 7), east), "2026-12-09 04:30:00.0000000 +05:30");
}

Bytes DecimalBytes(bool negative, uint64_t magnitude, int bytes) {
  Bytes v = {static_cast<uint8_t>(negative ? 0 : 1)};
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(i < 8 ? magnitude >> (8 * i) : 0));
  return v;
}

TEST(Decimals, PrecisionAndScale) {
  ColumnDescriptor c = Column(kTypeDecimal, "decimal(5)", 5, 2);
  EXPECT_EQ(Format(c, DecimalBytes(false, 12345, 4)), "123.45");
  EXPECT_EQ(Format(c, DecimalBytes(false, 45, 4)), "0.45");
  EXPECT_EQ(Format(c, DecimalBytes(true, 12345, 4)), "-123.45");
  EXPECT_EQ(Format(c, DecimalBytes(false, 0, 4)), "0.00");
  EXPECT_EQ(FormatDecimal(DecimalBytes(false, 5, 4), 9, 3), "0.005");
  EXPECT_EQ(FormatDecimal(DecimalBytes(false, 7, 4), 9, 0), "7");
  // A 38-digit value needs all 16 magnitude bytes.
  Bytes big = {1, 0xff, 0xff, 0xff, 0xff, 0x3f, 0x22, 0x8a, 0x09, 0x7a, 0xc4, 0x86, 0x5a, 0xa8, 0x4c, 0x3b, 0x4b};
  EXPECT_EQ(FormatDecimal(big, 38, 0), std::string(38, '9')) << "10^38 - 1 needs all 16 magnitude bytes";
  EXPECT_EQ(FormatDecimal(big, 38, 2), std::string(36, '9') + ".99");
  EXPECT_EQ(FormatDecimal(DecimalBytes(false, 1234567, 4), 5, 2), "12345") << "digits beyond the precision are cut";
}

TEST(Money, FourDecimalsWithTheSignInFront) {
  ColumnDescriptor money = Column(kTypeMoney, "money(8)");
  EXPECT_EQ(Format(money, LE<int64_t>(5)), "0.0005");
  EXPECT_EQ(Format(money, LE<int64_t>(-5)), "-0.0005");
  EXPECT_EQ(Format(money, LE<int64_t>(-5000)), "-0.5000");
  EXPECT_EQ(Format(money, LE<int64_t>(12345678)), "1234.5678");
  EXPECT_EQ(Format(money, LE<int64_t>(0)), "0.0000");
  EXPECT_EQ(Format(money, LE<int64_t>(INT64_MIN)), "-922337203685477.5808");
  ColumnDescriptor small = Column(kTypeSmallmoney, "smallmoney(4)");
  EXPECT_EQ(Format(small, LE<int32_t>(-2147483647 - 1)), "-214748.3648");
  EXPECT_EQ(Format(small, LE<int32_t>(123)), "0.0123");
}

Bytes DoubleBytes(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  return LE<uint64_t>(bits);
}
Bytes FloatBytes(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return LE<uint32_t>(bits);
}

TEST(FloatingPoint, ShortestTextThatReadsBack) {
  ColumnDescriptor f = Column(kTypeFloat, "float(8)");
  EXPECT_EQ(Format(f, DoubleBytes(1.5)), "1.5");
  EXPECT_EQ(Format(f, DoubleBytes(0)), "0");
  EXPECT_EQ(Format(f, DoubleBytes(-123.456789012345)), "-123.456789012345");
  EXPECT_EQ(std::stod(Format(f, DoubleBytes(0.1 + 0.2))), 0.1 + 0.2);
  ColumnDescriptor r = Column(kTypeReal, "real(4)");
  EXPECT_EQ(Format(r, FloatBytes(0.00001f)), "1e-05");
  EXPECT_EQ(Format(r, FloatBytes(1.5f)), "1.5");
  EXPECT_EQ(Format(r, FloatBytes(-3.25f)), "-3.25");
  EXPECT_EQ(std::stof(Format(r, FloatBytes(0.1f))), 0.1f);
}

TEST(Text, UnicodeTypesAreDecodedAsUtf16InFull) {
  ColumnDescriptor nt = Column(kTypeNtext, "ntext(16)");
  nt.variable = 1;
  EXPECT_EQ(Format(nt, Bytes{0x41, 0, 0x42, 0}), "AB");
  EXPECT_EQ(Format(nt, build::Utf16(u"Ωμέγα")), "Ωμέγα");
  EXPECT_EQ(Format(Column(kTypeNvarchar, "nvarchar(100)"), build::Utf16(u"Привет, 世界")), "Привет, 世界");
  EXPECT_EQ(Format(Column(kTypeNchar, "nchar(8)"), build::Utf16(u"ab  ")), "ab  ");
}

TEST(Text, CharacterColumnsUseTheirCollationsCodePage) {
  ReadContext state;
  CollationTable table;
  ParseCollationTable("Cyrillic_General_CI_AS\t53269\t1251\nChinese_PRC_CI_AS\t53284\t936\n", table);
  state.collations = &table;
  ColumnDescriptor c = Column(kTypeVarchar, "varchar(20)");
  c.collationId = 53269;
  EXPECT_EQ(Format(c, Bytes{0xCF, 0xF0, 0xE8}, state), "При");
  c.collationId = 53284;
  EXPECT_EQ(Format(c, Bytes{0xD6, 0xD0, 0xCE, 0xC4}, state), "中文");
  c.collationId = 999999;  // not in the table, no database collation: system code page
  EXPECT_EQ(Format(c, Bytes{0xE9}, state), "é");
  state.collation = {true, 53269, 1251};  // the database's collation stands in
  EXPECT_EQ(Format(c, Bytes{0xE9}, state), "й");
}

TEST(Binary, HexWithAndWithoutPrefix) {
  EXPECT_EQ(Format(Column(kTypeBinary, "binary(3)"), Bytes{0x01, 0xAB, 0x00}), "0x01AB00");
  EXPECT_EQ(Format(Column(kTypeVarbinary, "varbinary(10)"), Bytes{0xDE, 0xAD}), "DEAD") << "the decoder adds 0x";
  EXPECT_EQ(Format(Column(kTypeTimestamp, "timestamp(8)"), Bytes(8, 0x0F)), "0x0F0F0F0F0F0F0F0F");
}

TEST(Guids, UsualUpperCaseForm) {
  Bytes b;
  for (int i = 0; i < 16; ++i) b.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ(Format(Column(kTypeUniqueidentifier, "uniqueidentifier(16)"), b), "03020100-0504-0706-0809-0A0B0C0D0E0F");
}

Bytes Variant(uint8_t type, const Bytes& rest) { return build::Concat({Bytes{type, 1}, rest}); }

std::string FormatVariantBytes(const Bytes& v, const ReadContext& state = ReadContext()) {
  ColumnDescriptor c = Column(kTypeSqlVariant, "sql_variant(8016)");
  BitCursor bits;
  TypeLayout t = ComputeTypeLayout(c, bits, kTypeSqlVariant);
  return FormatVariant(static_cast<int32_t>(v.size()), t, v, c, state);
}

TEST(SqlVariant, ValuesCarryTheirOwnType) {
  EXPECT_EQ(FormatVariantBytes(Variant(56, LE<int32_t>(-7))), "-7");
  EXPECT_EQ(FormatVariantBytes(Variant(127, LE<int64_t>(1) )), "1");
  EXPECT_EQ(FormatVariantBytes(Variant(104, {1})), "True");
  EXPECT_EQ(FormatVariantBytes(Variant(60, LE<int64_t>(12345678))), "1234.5678");
  EXPECT_EQ(FormatVariantBytes(Variant(61, DateTime(0, 0))), "1900-01-01 00:00:00.000");
  EXPECT_EQ(FormatVariantBytes(Variant(106, build::Concat({Bytes{5, 2}, DecimalBytes(false, 12345, 4)}))), "123.45");
  // nvarchar: max length, collation, then UTF-16 text.
  EXPECT_EQ(FormatVariantBytes(Variant(231, build::Concat({LE<uint16_t>(520), LE<int32_t>(872468488),
                                                            build::Utf16(u"Описание")}))),
            "Описание");
  ReadContext state;
  CollationTable table;
  ParseCollationTable("Greek_CI_AS\t53255\t1253\n", table);
  state.collations = &table;
  EXPECT_EQ(FormatVariantBytes(Variant(167, build::Concat({LE<uint16_t>(10), LE<int32_t>(53255), Bytes{0xE1, 0xE2}})),
                               state),
            "αβ");
  EXPECT_EQ(FormatVariantBytes(Variant(165, build::Concat({LE<uint16_t>(4), Bytes{0x00, 0xFF}}))), "0x00FF");
  EXPECT_EQ(FormatVariantBytes(Variant(56, LE<int16_t>(1))), "") << "wrong length";
  EXPECT_EQ(FormatVariantBytes(Variant(200, {1, 2, 3})), "") << "unknown base type";
  // The general formatter hands sql_variant values to the variant formatter.
  ColumnDescriptor c = Column(kTypeSqlVariant, "sql_variant(8016)");
  c.variable = 1;
  EXPECT_EQ(Format(c, Variant(56, LE<int32_t>(42))), "42");
}

TEST(Layouts, FixedSizesByType) {
  BitCursor bits;
  EXPECT_EQ(ComputeTypeLayout(Column(kTypeInt, "int(4)"), bits, kTypeInt).fixedSize, 4);
  EXPECT_EQ(ComputeTypeLayout(Column(kTypeChar, "char(10)"), bits, kTypeChar).fixedSize, 10);
  EXPECT_EQ(ComputeTypeLayout(Column(kTypeNumeric, "numeric(9)"), bits, kTypeNumeric).fixedSize, 19);
  TypeLayout v = ComputeTypeLayout(Column(kTypeVarbinary, "varbinary(-1)"), bits, kTypeVarbinary);
  EXPECT_EQ(v.isVariable, 1);
  EXPECT_EQ(v.valueLength, -1);
}

bool ValidUtf8(const std::string& s) {
  return Utf8ToUtf16(s).find(u'\xFFFD') == std::u16string::npos || s.find("\xEF\xBF\xBD") != std::string::npos;
}

TEST(Formatters, ShortAndHostileInputGivesValidTextWithinBounds) {
  ReadContext state;
  Bytes junk(40, 0xFF);
  for (int32_t type = 0; type <= 34; ++type) {
    for (size_t len = 0; len <= junk.size(); ++len) {
      Bytes part(junk.begin(), junk.begin() + static_cast<long>(len));
      ColumnDescriptor c = Column(type, "x(8)", 38, 7);
      BitCursor bits;
      TypeLayout t = ComputeTypeLayout(c, bits, type);
      t.available = static_cast<int64_t>(len);
      std::string text = FormatValue(t, part, c, state);
      std::string variant = FormatVariant(static_cast<int32_t>(len), t, part, c, state);
      EXPECT_TRUE(ValidUtf8(text)) << "type " << type << " length " << len;
      EXPECT_TRUE(ValidUtf8(variant)) << "type " << type << " length " << len;
      if (len == 0) {
        EXPECT_EQ(text, "");
      }
    }
  }
}

}  // namespace
}  // namespace pagewright
