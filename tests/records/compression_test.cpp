// Page compression: the compression information record, and compressed
// records rebuilt into the fixed data the row decoder reads (integers,
// anchor prefixes, dictionary symbols, SCSU text, padding, bounds).
#include "records/compression.h"

#include <gtest/gtest.h>

#include "records/record_enumeration.h"
#include "records/scsu.h"
#include "records/value_format.h"
#include "support/builder/compression_builder.h"

namespace pagewright {
namespace {

using namespace build;

ColumnDescriptor Column(const std::string& typeText, int32_t typeIndex) {
  static int32_t next = 0;
  ColumnDescriptor c = DescribeColumn("c" + std::to_string(++next), typeText, typeIndex);
  return c;
}

// The columns of the table being decoded, published as the current decode
// context, and pages built with them.
class Decoding {
 public:
  explicit Decoding(std::vector<ColumnDescriptor> columns) {
    for (size_t i = 0; i < columns.size(); ++i) columns[i].physicalColumnId = static_cast<int32_t>(i) + 1;
    context_.columns = std::move(columns);
    state.columns = &context_;
  }
  Decoding(const Decoding&) = delete;
  Decoding& operator=(const Decoding&) = delete;

  std::unique_ptr<CDataPage> Page(const PageBuilder& b) const {
    auto page = std::make_unique<CDataPage>(b.Bytes(), nullptr);
    BuildPrimaryRecordPage(*page, state);
    return page;
  }
  std::unique_ptr<CDataPage> Page(const CompressionInfoRecord& info, const std::vector<Bytes>& records,
                                  const std::function<void(PageBuilder&)>& tweak = {}) const {
    PageBuilder b = CompressedDataPage(info, records);
    if (tweak) tweak(b);
    return Page(b);
  }

  ReadContext state;

 private:
  RowDecodeContext context_;
};

// Where column `i` of a rebuilt record lies in its fixed data.
ByteSpan ColumnBytes(const CPrimaryRecord& r, size_t i) {
  const CompressedColumnEntry& e = r.columnEntries.at(i);
  if (e.offset < 0) return {};
  return SubSpan(r.FixedData(), e.offset, e.length);
}

std::string Text(ByteSpan bytes) { return std::string(bytes.begin(), bytes.end()); }
size_t CommonLength(const Bytes& a, const Bytes& b) {
  size_t k = 0;
  while (k < a.size() && k < b.size() && a[k] == b[k]) ++k;
  return k;
}
Bytes Of(ByteSpan bytes) { return Bytes(bytes.begin(), bytes.end()); }

const CPrimaryRecord& Record(const CDataPage& page, size_t i) {
  const CPrimaryRecord* r = RecordAt(page, i);
  EXPECT_NE(r, nullptr);
  return *r;
}

// --- Compressed integers -----------------------------------------------------

TEST(CompressedInteger, BigEndianFewestBytesSignBitFlipped) {
  EXPECT_EQ(CompressedInteger(5), (Bytes{0x85}));
  EXPECT_EQ(CompressedInteger(256), (Bytes{0x81, 0x00}));
  EXPECT_EQ(CompressedInteger(-1), (Bytes{0x7F}));
  EXPECT_EQ(CompressedInteger(-128), (Bytes{0x00}));
  EXPECT_EQ(CompressedInteger(128), (Bytes{0x80, 0x80}));
  EXPECT_EQ(CompressedInteger(0), Bytes{}) << "0 is the empty value";
}

TEST(CompressedInteger, EveryWidthDecodesBackWithItsSign) {
  const int64_t values[] = {1,     -1,     127,        128,        -128,       -129,       255,     256,
                            32767, -32768, 8388607,    -8388608,   INT32_MAX,  INT32_MIN,  INT64_MAX, INT64_MIN,
                            -2,    1000,   1234567890, -987654321, 1LL << 40, -(1LL << 47)};
  for (int64_t v : values) {
    Bytes stored = CompressedInteger(v);
    uint8_t out[8];
    DecodeCompressedInteger(stored, out, 8);
    EXPECT_EQ(I64At(ByteSpan(out, 8), 0), v) << v << " stored in " << stored.size() << " bytes";
  }
}

// --- Reconstruction without page compression ---------------------------------

TEST(CompressedRebuild, IntegersAreWidenedToTheirColumnWidth) {
  Decoding d({Column("int(4)", kTypeInt), Column("int(4)", kTypeInt), Column("smallint(2)", kTypeSmallint),
              Column("bigint(8)", kTypeBigint)});
  auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordBuilder()
                                             .Short({0x85})
                                             .Short({0x81, 0x00})
                                             .Short({0x7F})
                                             .Short({0x7F, 0x7F})
                                             .Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Of(ColumnBytes(r, 0)), (Bytes{0x05, 0, 0, 0}));
  EXPECT_EQ(Of(ColumnBytes(r, 1)), (Bytes{0x00, 0x01, 0, 0})) << "256";
  EXPECT_EQ(Of(ColumnBytes(r, 2)), (Bytes{0xFF, 0xFF})) << "-1 stays negative";
  EXPECT_EQ(I64At(ColumnBytes(r, 3), 0), -129);
  EXPECT_EQ(r.fixedLength, 4 + 4 + 2 + 8);
}

TEST(CompressedRebuild, NullAndEmptyWithoutAnchorTakeNoRoom) {
  Decoding d({Column("int(4)", kTypeInt), Column("int(4)", kTypeInt), Column("int(4)", kTypeInt)});
  auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordBuilder().Null().Empty().Short({0x85}).Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  ASSERT_EQ(r.columnEntries.size(), 3u);
  EXPECT_TRUE(r.columnEntries[0].isNull);
  EXPECT_EQ(r.columnEntries[0].offset, -1);
  EXPECT_FALSE(r.columnEntries[1].isNull) << "empty is a value (0), not NULL";
  EXPECT_EQ(r.columnEntries[1].offset, -1);
  EXPECT_EQ(r.columnEntries[2].offset, 0) << "the third column starts the fixed data";
  EXPECT_EQ(r.fixedLength, 4);
}

TEST(CompressedRebuild, BitOneIsCodeElevenAndTakesOneByte) {
  Decoding d({Column("bit(1)", kTypeBit), Column("bit(1)", kTypeBit), Column("int(4)", kTypeInt)});
  auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordBuilder().Code(kCodeBitOne).Empty().Short({0x82}).Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Of(ColumnBytes(r, 0)), (Bytes{1}));
  EXPECT_EQ(r.columnEntries[1].offset, -1);
  EXPECT_EQ(Of(ColumnBytes(r, 2)), (Bytes{2, 0, 0, 0}));
}

TEST(CompressedRebuild, CharAndBinaryGetTheirPaddingBackVariableValuesKeepTheirLength) {
  Decoding d({Column("char(6)", kTypeChar), Column("binary(4)", kTypeBinary), Column("varbinary(20)", kTypeVarbinary),
              Column("varchar(30)", kTypeVarchar), Column("nchar(8)", kTypeNchar)});
  auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordBuilder()
                                             .Short(Ascii("ab"))
                                             .Short({0xDE, 0xAD})
                                             .Short({0xBE, 0xEF})
                                             .Short(Ascii("xyz"))
                                             .Short(Utf16(u"q"))
                                             .Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Text(ColumnBytes(r, 0)), "ab    ") << "char: trailing spaces were dropped";
  EXPECT_EQ(Of(ColumnBytes(r, 1)), (Bytes{0xDE, 0xAD, 0, 0})) << "binary: trailing zeros were dropped";
  EXPECT_EQ(Of(ColumnBytes(r, 2)), (Bytes{0xBE, 0xEF})) << "no zeros the value never had";
  EXPECT_EQ(Text(ColumnBytes(r, 3)), "xyz");
  EXPECT_EQ(Of(ColumnBytes(r, 4)), Utf16(u"q   "));
}

TEST(CompressedRebuild, ScsuUnicodeValuesDecodeWhole) {
  const std::u16string texts[] = {
      u"Съешь же ещё этих мягких французских булок",     // one dynamic window
      u"日本語のテキストは ひらがな と カタカナ と 漢字です",  // windows and Unicode mode
      u"数据库 recovery tool 恢复工具!",                 // Unicode mode and back
      u"Да",                                              // a short value
  };
  const ColumnSpec nvarchar = NvarcharColumn("n", 200);
  std::vector<CompressedField> fields;
  std::vector<ColumnDescriptor> columns;
  for (const auto& text : texts) {
    fields.push_back(CompressValue(nvarchar, UnicodeValue(text)));
    ASSERT_EQ(fields.back().bytes.size() % 2, 1u) << "stored as SCSU";
    ASSERT_LT(fields.back().bytes.size(), Utf16(text).size());
    columns.push_back(Column("nvarchar(400)", kTypeNvarchar));
  }
  ASSERT_LE(fields.back().bytes.size(), 8u) << "a short value";

  Decoding d(columns);
  auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordOf(fields)});
  const CPrimaryRecord& r = Record(*page, 0);
  ASSERT_EQ(r.values.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Of(r.Bytes(r.values[i])), Utf16(texts[i])) << i;
  EXPECT_EQ(Of(ColumnBytes(r, 3)), Utf16(texts[3]));
}

TEST(CompressedRebuild, ThirtyOneColumnsSkipTheClusterByte) {
  for (int columns : {30, 31, 62}) {
    SCOPED_TRACE(columns);
    std::vector<ColumnDescriptor> descriptors;
    std::vector<CompressedField> fields;
    for (int i = 0; i < columns - 1; ++i) {
      descriptors.push_back(Column("int(4)", kTypeInt));
      fields.push_back(i % 3 == 0 ? CompressedField{} : CompressedField::Of(CompressedInteger(i)));
    }
    descriptors.push_back(Column("varchar(40)", kTypeVarchar));
    fields.push_back(CompressedField::Of(Ascii("the last column's long value")));
    Decoding d(descriptors);
    auto page = d.Page(CompressionInfoRecord{}, {CompressedRecordOf(fields)});
    const CPrimaryRecord& r = Record(*page, 0);
    for (int i = 1; i < columns - 1; ++i) {
      if (i % 3 == 0) continue;
      EXPECT_EQ(I32At(ColumnBytes(r, static_cast<size_t>(i)), 0), i);
    }
    ASSERT_EQ(r.values.size(), 1u);
    EXPECT_EQ(Text(r.Bytes(r.values[0])), "the last column's long value");
  }
}

TEST(CompressedRebuild, ValuesAddingUpPastFourKilobytesStayInTheirBuffer) {
  std::vector<ColumnDescriptor> descriptors;
  CompressedRecordBuilder record;
  for (int i = 0; i < 6; ++i) {
    descriptors.push_back(Column("char(1000)", kTypeChar));
    record.Short(Ascii("col" + std::to_string(i)));
  }
  descriptors.push_back(Column("int(4)", kTypeInt));
  record.Short({0x85});
  Decoding d(descriptors);
  auto page = d.Page(CompressionInfoRecord{}, {record.Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(r.fixedLength, 6004);
  EXPECT_EQ(Text(ColumnBytes(r, 5).first(4)), "col5");
  EXPECT_EQ(r.columnEntries[6].offset, 6000);
  EXPECT_EQ(I32At(ColumnBytes(r, 6), 0), 5);
}

TEST(CompressedRebuild, ARecordGrowingPastItsBoundStopsThere) {
  // 200 columns of char(8000): 1.6 MB laid out, past the rebuild's bound.
  std::vector<ColumnDescriptor> descriptors;
  CompressedRecordBuilder record;
  for (int i = 0; i < 200; ++i) {
    descriptors.push_back(Column("char(8000)", kTypeChar));
    record.Short(Ascii("v"));
  }
  Decoding d(descriptors);
  auto page = d.Page(CompressionInfoRecord{}, {record.Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(r.columnCount, 200);
  EXPECT_LE(static_cast<int64_t>(r.FixedData().size()), kMaxRebuiltFixedData);
  EXPECT_EQ(r.columnEntries.at(kMaxRebuiltFixedData / 8000 - 1).offset, (kMaxRebuiltFixedData / 8000 - 1) * 8000);
  EXPECT_LT(r.columnEntries.size(), 200u) << "the columns past the bound are left out";
}

TEST(CompressedRebuild, WithoutDecodeContextTheRecordKeepsNoFixedData) {
  ReadContext state;  // no table selected
  PageBuilder b = CompressedDataPage(CompressionInfoRecord{}, {CompressedRecordBuilder().Short({0x85}).Build()});
  CDataPage page(b.Bytes(), nullptr);
  BuildPrimaryRecordPage(page, state);
  const CPrimaryRecord& r = Record(page, 0);
  EXPECT_EQ(r.fixedLength, 0);
  EXPECT_TRUE(r.columnEntries.empty());
}

// --- Compression information ------------------------------------------------

CompressionInfoRecord AnchorAndDictionary() {
  CompressionInfoRecord info;
  info.anchor = {Ascii("ABCDEF"), std::nullopt, Ascii("Hello")};
  // Entries are stored values: those of anchored columns begin with their
  // prefix length (0 and 2 here).
  info.dictionary = {Bytes{0x85}, Concat({Bytes{0x00}, Ascii("a repeated value of many bytes")}), Bytes{0x02, 0x7A}};
  return info;
}

std::vector<ColumnDescriptor> CharIntVarchar() {
  return {Column("char(10)", kTypeChar), Column("int(4)", kTypeInt), Column("varchar(50)", kTypeVarchar)};
}

TEST(CompressionInformation, AnchorValuesAndDictionaryEntries) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {});
  const CompressionInfoRecord& built = AnchorAndDictionary();
  ASSERT_EQ(page->compression.anchorValues.size(), 3u);
  EXPECT_EQ(page->compression.anchorValues[0].bytes, Ascii("ABCDEF"));
  EXPECT_EQ(page->compression.anchorValues[1].length, -2) << "NULL";
  EXPECT_EQ(page->compression.anchorValues[2].bytes, Ascii("Hello"));
  ASSERT_EQ(page->compression.dictionary.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(page->compression.dictionary[i].bytes, built.dictionary[i]);
}

TEST(CompressionInformation, AnchorWithoutDictionaryStartsAt101) {
  Decoding d(CharIntVarchar());
  CompressionInfoRecord info;
  info.anchor = {Ascii("XYZ"), CompressedInteger(1000), std::nullopt};
  auto page = d.Page(info, {CompressedRecordBuilder().Short({0x02, 0x41}).Short({0x02}).Null().Build()});
  EXPECT_TRUE(page->compression.dictionary.empty());
  ASSERT_EQ(page->compression.anchorValues.size(), 3u);
  EXPECT_EQ(page->compression.anchorValues[1].bytes, CompressedInteger(1000));
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Text(ColumnBytes(r, 0)), "XYA       ");
  EXPECT_EQ(I32At(ColumnBytes(r, 1), 0), 1000) << "the whole anchor value: prefix 2 of 2 bytes";
}

TEST(CompressionInformation, AnchorLengthZeroMeansNoAnchorAndNoDictionary) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {CompressedRecordBuilder().Symbol(0).Symbol(0).Empty().Build()},
                     [](PageBuilder& b) { b.PutLE<uint16_t>(101, 0); });
  EXPECT_FALSE(page->compression.anchorRecord);
  EXPECT_TRUE(page->compression.anchorValues.empty());
  EXPECT_TRUE(page->compression.dictionary.empty());
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(r.columnEntries[0].offset, -1) << "a symbol without a dictionary writes nothing";
  EXPECT_EQ(r.fixedLength, 0);
}

TEST(CompressionInformation, DictionaryOffsetNotBelowTheAnchorLengthIsNotRead) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {}, [](PageBuilder& b) {
    uint16_t a = U16At(b.Bytes(), 101);
    b.PutLE<uint16_t>(99, a);
  });
  EXPECT_TRUE(page->compression.dictionary.empty());
  EXPECT_EQ(page->compression.anchorValues.size(), 3u) << "the anchor record is still read";
}

TEST(CompressionInformation, DictionaryEndOffsetPast4096EndsTheList) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {}, [](PageBuilder& b) {
    const auto bytes = b.Bytes();
    const int start = 96 + U16At(bytes, 99);
    b.PutLE<uint16_t>(start + 2 + 2 * 1, 4097);  // the second entry's end
  });
  ASSERT_EQ(page->compression.dictionary.size(), 1u) << "the entry before it is kept";
  EXPECT_EQ(page->compression.dictionary[0].bytes, (Bytes{0x85}));
}

TEST(CompressionInformation, UnreadableEntryKeepsItsIndex) {
  Decoding d({Column("varchar(50)", kTypeVarchar)});
  CompressionInfoRecord info;
  info.dictionary = {Ascii("first"), Bytes{}, Ascii("third")};  // the second has no bytes
  auto page = d.Page(info, {CompressedRecordBuilder().Symbol(2).Build()});
  ASSERT_EQ(page->compression.dictionary.size(), 3u);
  EXPECT_EQ(Text(ColumnBytes(Record(*page, 0), 0)), "third");
}

TEST(CompressionInformation, DictionaryWithoutAnchorRecordStillServesItsSymbols) {
  Decoding d({Column("int(4)", kTypeInt), Column("varchar(50)", kTypeVarchar)});
  CompressionInfoRecord info;
  info.dictionary = {CompressedInteger(-7), Ascii("shared")};
  auto page = d.Page(info, {CompressedRecordBuilder().Symbol(0).Symbol(1).Build()});
  EXPECT_FALSE(page->compression.anchorRecord);
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(I32At(ColumnBytes(r, 0), 0), -7);
  EXPECT_EQ(Text(ColumnBytes(r, 1)), "shared");
}

TEST(CompressionInformation, PageWithoutTheCompressedTypeFlagHasNone) {
  Decoding d(CharIntVarchar());
  PageBuilder b = CompressedDataPage(AnchorAndDictionary(), {});
  b.TypeFlags(0);
  auto page = d.Page(b);
  EXPECT_TRUE(page->compression.anchorValues.empty());
  EXPECT_TRUE(page->compression.dictionary.empty());
}

// --- Anchor prefixes and symbols --------------------------------------------

TEST(PagePrefixes, CharPrefixFromAnchorAndTheNextColumnTenBytesOn) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(),
                     {CompressedRecordBuilder().Short({0x03, 0x78, 0x79}).Short({0x85}).Null().Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Text(ColumnBytes(r, 0)), "ABCxy     ");
  EXPECT_EQ(r.columnEntries[1].offset, 10);
  EXPECT_EQ(I32At(ColumnBytes(r, 1), 0), 5) << "int without anchor: 0x85";
}

TEST(PagePrefixes, LongValueExpandsWithTheAnchorPrefix) {
  Decoding d(CharIntVarchar());
  auto page =
      d.Page(AnchorAndDictionary(), {CompressedRecordBuilder().Null().Null().Long({0x04, 0x70, 0x21}).Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  ASSERT_EQ(r.values.size(), 1u);
  EXPECT_EQ(Text(r.Bytes(r.values[0])), "Hellp!");
  EXPECT_EQ(r.values[0].range.length, 6);
}

TEST(PagePrefixes, LongValueFillingItsWholeColumnIsExpanded) {
  Decoding d({Column("char(12)", kTypeChar), Column("nvarchar(10)", kTypeNvarchar)});
  CompressionInfoRecord info;
  info.anchor = {Ascii("ABCDEFGHIJKL"), Utf16(u"abcde")};
  // 5 bytes of the anchor and 7 of its own: exactly the 12 the column holds.
  const Bytes chars = Concat({Bytes{0x05}, Ascii("vwxyz12")});
  // 4 bytes of the anchor (ab) and 6 of its own (xyz): the 10 of nvarchar(5).
  const Bytes wide = Concat({Bytes{0x04}, Utf16(u"xyz")});
  auto page = d.Page(info, {CompressedRecordBuilder().Long(chars).Long(wide).Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Text(r.Bytes(r.values.at(0))), "ABCDEvwxyz12");
  EXPECT_EQ(Of(r.Bytes(r.values.at(1))), Utf16(u"abxyz"));
}

TEST(PagePrefixes, NumericPrefixJoinsTheAnchorBytes) {
  Decoding d({Column("int(4)", kTypeInt), Column("bigint(8)", kTypeBigint)});
  CompressionInfoRecord info;
  info.anchor = {CompressedInteger(0x123456), CompressedInteger(-5000000000)};
  const Bytes a = CompressedInteger(0x1234AA);  // shares two bytes with the anchor
  const Bytes b = CompressedInteger(-5000000001);
  ASSERT_EQ(CommonLength(a, *info.anchor[0]), 2u);
  auto page = d.Page(info, {CompressedRecordOf({WithAnchorPrefix(CompressedField::Of(a), *info.anchor[0]),
                                                WithAnchorPrefix(CompressedField::Of(b), *info.anchor[1])}),
                            CompressedRecordBuilder().Short({0x00}).Empty().Build()});
  EXPECT_EQ(I32At(ColumnBytes(Record(*page, 0), 0), 0), 0x1234AA);
  EXPECT_EQ(I64At(ColumnBytes(Record(*page, 0), 1), 0), -5000000001);
  EXPECT_EQ(I32At(ColumnBytes(Record(*page, 1), 0), 0), 0) << "prefix 0 and nothing after: the empty value";
  EXPECT_EQ(I64At(ColumnBytes(Record(*page, 1), 1), 0), -5000000000) << "code 1 with an anchor: the anchor value";
}

TEST(PageSymbols, ShortAndLongEntriesBothResolve) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {CompressedRecordBuilder().Symbol(2).Symbol(0).Symbol(1).Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(Text(ColumnBytes(r, 0)), "ABz       ") << "the entry carries its own prefix byte";
  EXPECT_EQ(I32At(ColumnBytes(r, 1), 0), 5);
  EXPECT_EQ(Text(ColumnBytes(r, 2)), "a repeated value of many bytes") << "an entry longer than seven bytes";
}

TEST(PageSymbols, MissingEntryWritesNothing) {
  Decoding d(CharIntVarchar());
  auto page = d.Page(AnchorAndDictionary(), {CompressedRecordBuilder().Symbol(9).Short({0x85}).Null().Build()});
  const CPrimaryRecord& r = Record(*page, 0);
  EXPECT_EQ(r.columnEntries[0].offset, -1);
  EXPECT_EQ(r.columnEntries[1].offset, 0);
}

}  // namespace
}  // namespace pagewright
