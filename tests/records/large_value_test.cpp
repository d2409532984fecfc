// Large values read through their pointers from text/image pages of a
// built file: structure types, text conversion, trees of many pages, and
// damaged links.
#include "records/large_value.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "support/builder/catalog_builder.h"
#include "support/builder/lob_builder.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using namespace build;

constexpr LargeValueFlags kText{};
constexpr LargeValueFlags kBinary{false, true, false, 0};
constexpr LargeValueFlags kUnicode{false, false, true, 0};

// A database file with a catalog and the text pages of `lob`.
struct LobFile {
  ReadContext state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;

  explicit LobFile(const LobStore& lob, const std::function<void(DatabaseBuilder&)>& damage = {}) {
    CatalogBuilder catalog;
    DatabaseBuilder db = catalog.Build();
    lob.WriteInto(db);
    if (damage) damage(db);
    file = std::make_unique<TempFile>(db.Build());
    reader = OpenForTest(state, file->str(), file->str(), nullptr);
  }
  std::string Text(const Bytes& pointer, const LargeValueFlags& flags = kText) {
    return ReadTextPointerValue(pointer, *reader, ReadContext(), flags);
  }
  std::string InRow(const Bytes& root, const LargeValueFlags& flags = kText) {
    return ReadInRowRootValue(root, *reader, ReadContext(), flags);
  }
};

Bytes Filled(size_t n, uint8_t c) { return Bytes(n, c); }

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

// The location the next Place will use when it opens a new page.
LobLocation NextPageSlot(const LobStore& lob, int16_t slot = 0) {
  return LobLocation{PageId{1, static_cast<int32_t>(lob.firstPosition() + lob.pageCount())}, slot};
}

TEST(LargeValueSmallRoot, Utf16BytesReadAsTextOrAsNtextGiveTheSameCharacters) {
  LobStore lob;
  Bytes pointer = TextPointer(lob.Place(SmallRootStructure({0x41, 0x00, 0x42, 0x00, 0x43, 0x00})));
  LobFile f(lob);
  EXPECT_EQ(f.Text(pointer, kUnicode), "ABC");
  // Read as 8-bit text the zero high bytes must not cut the value after
  // its first character.
  EXPECT_EQ(f.Text(pointer, kText), "ABC");
  // Shown as binary: the bytes as hex, without the "0x" the row decoder adds.
  EXPECT_EQ(f.Text(pointer, kBinary), "410042004300");
}

TEST(LargeValueSmallRoot, EightBitTextUsesTheColumnsCodePage) {
  const Bytes cp1251 = {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};  // "Привет" in Windows-1251
  LobStore lob;
  Bytes pointer = lob.TextPointerTo(cp1251);
  LobFile f(lob);
  EXPECT_EQ(f.Text(pointer, LargeValueFlags{false, false, false, 1251}), "Привет");
  EXPECT_EQ(f.Text(pointer, kText), "Ïðèâåò");  // the system code page, 1252
}

TEST(LargeValueTextPointer, EmptyValueIsASpaceAndUnreadableValueIsEmpty) {
  LobStore lob;
  LobLocation empty = lob.Place(SmallRootStructure({}));
  LobLocation unknownType = lob.Place(RawStructure(7, Filled(20, 'x')));
  LobFile f(lob);
  EXPECT_EQ(f.Text(TextPointer(empty)), " ");
  EXPECT_EQ(f.Text(TextPointer(unknownType)), " ");
  EXPECT_EQ(f.Text(TextPointer(LobLocation{empty.page, 9})), "");        // no such slot
  EXPECT_EQ(f.Text(TextPointer(LobLocation{PageId{1, 900000}, 0})), "");  // beyond the file
  EXPECT_FALSE(ReadTextPointerBytes(TextPointer(LobLocation{empty.page, 9}), *f.reader, ReadContext()).has_value());
}

// A structure's payload may be shorter than its 10-byte header: a last
// data fragment of a few bytes, or the small root of a value of up to three
// bytes. Those bytes are the value's.
TEST(LargeValueDataFragment, PayloadBelowTenBytesIsPartOfTheValue) {
  LobStore lob;
  LobLocation nine = lob.Place(DataFragmentStructure(Filled(9, 'n')));
  LobLocation ten = lob.Place(DataFragmentStructure(Filled(10, 't')));
  LobFile f(lob);
  EXPECT_EQ(f.Text(TextPointer(nine)), "nnnnnnnnn");
  EXPECT_EQ(f.Text(TextPointer(ten)), "tttttttttt");
  LobStore lob2;
  LobLocation a = lob2.Place(DataFragmentStructure(Filled(9, 'n')));
  LobLocation b = lob2.Place(DataFragmentStructure(Filled(12, 'b')));
  Bytes root = TextPointer(lob2.Place(LargeRootStructure({{a, 9}, {b, 21}})));
  LobFile f2(lob2);
  EXPECT_EQ(f2.Text(root), std::string(9, 'n') + std::string(12, 'b'));
}

TEST(LargeValueDataFragment, EveryLengthAroundTheFragmentSizeComesBackWhole) {
  LobStore lob;
  std::vector<std::pair<Bytes, Bytes>> values;  // pointer, value
  for (size_t base : {size_t{0}, kLobFragmentBytes, 2 * kLobFragmentBytes})
    for (size_t extra = 1; extra <= 12; ++extra) {
      const Bytes value = RandomBytes(base + extra, static_cast<uint32_t>(base + extra));
      values.emplace_back(lob.TextPointerTo(value), value);
    }
  LobFile f(lob);
  for (const auto& [pointer, value] : values) {
    const auto bytes = ReadTextPointerBytes(pointer, *f.reader, ReadContext());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(*bytes == value) << value.size() << " bytes came back as " << bytes->size();
  }
}

TEST(LargeValueLargeRoot, FragmentsOf8000And100BytesGive8100Characters) {
  LobStore lob;
  LobLocation a = lob.Place(DataFragmentStructure(Filled(8000, 'a')));
  LobLocation b = lob.Place(DataFragmentStructure(Filled(100, 'b')));
  Bytes pointer = TextPointer(lob.Place(LargeRootStructure({{a, 8000}, {b, 8100}})));
  LobFile f(lob);
  EXPECT_EQ(f.Text(pointer), std::string(8000, 'a') + std::string(100, 'b'));
}

TEST(LargeValueLargeRoot, OlderRootTypesFourAndSixReadAsLargeRoots) {
  LobStore lob;
  LobLocation a = lob.Place(DataFragmentStructure(Filled(300, 'a')));
  LobLocation b = lob.Place(DataFragmentStructure(Filled(30, 'b')));
  Bytes four = TextPointer(lob.Place(LargeRootStructure({{a, 300}, {b, 330}}, 4)));
  Bytes six = TextPointer(lob.Place(LargeRootStructure({{b, 30}, {a, 330}}, 6)));
  LobFile f(lob);
  EXPECT_EQ(f.Text(four), std::string(300, 'a') + std::string(30, 'b'));
  EXPECT_EQ(f.Text(six), std::string(30, 'b') + std::string(300, 'a'));
}

TEST(LargeValueTree, ValuesOfSeveralMegabytesComeOutWhole) {
  const Bytes image = RandomBytes(5u << 20, 7);  // 656 fragments: internal nodes under the root
  const Bytes document = RandomBytes(3u << 20, 8);
  LobStore lob;
  Bytes pointer = lob.TextPointerTo(image);
  Bytes root = lob.InRowRootTo(document);
  LobFile f(lob);
  auto bytes = ReadTextPointerBytes(pointer, *f.reader, ReadContext());
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->size(), image.size());
  EXPECT_TRUE(*bytes == image);
  const std::vector<uint8_t> inRow = ReadInRowRootBytes(root, *f.reader, ReadContext());
  EXPECT_EQ(inRow.size(), document.size());
  EXPECT_TRUE(inRow == document);
  EXPECT_GT(root[1], 0) << "the in-row root should name internal nodes";
  EXPECT_EQ(f.Text(pointer, kBinary).size(), 2 * image.size());
}

TEST(LargeValueUnicode, CharactersSplitAcrossFragmentsStayWhole) {
  std::u16string text;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    text += u"Жёлтый 黄色 😀🎉 ok ";
    expected += "Жёлтый 黄色 😀🎉 ok ";
  }
  // Odd fragment sizes cut code units and surrogate pairs in two (a
  // fragment shorter than 10 bytes counts as no structure at all).
  for (size_t fragment : {11u, 13u, 501u}) {
    SCOPED_TRACE(fragment);
    LobStore lob;
    Bytes pointer = lob.TextPointerTo(Utf16(text), fragment);
    Bytes root = lob.InRowRootTo(Utf16(text), fragment);
    LobFile f(lob);
    EXPECT_EQ(f.Text(pointer, kUnicode), expected);
    EXPECT_EQ(f.InRow(root, kUnicode), expected);
  }
}

TEST(LargeValueLinks, LoopsAndSelfReferencesEnd) {
  LobStore lob;
  LobLocation a = lob.Place(DataFragmentStructure(Filled(20, 'a')));
  LobLocation b = lob.Place(DataFragmentStructure(Filled(20, 'b')));
  // An internal node that names itself.
  LobLocation self = NextPageSlot(lob);
  lob.NewPage();
  lob.Place(InternalNodeStructure({{a, 20}, {self, 40}, {b, 60}}));
  // Two internal nodes that name each other.
  LobLocation x = NextPageSlot(lob, 0), y = NextPageSlot(lob, 1);
  lob.NewPage();
  lob.Place(InternalNodeStructure({{a, 20}, {y, 40}}));
  lob.Place(InternalNodeStructure({{x, 20}, {b, 40}}));
  // A large root that names itself.
  LobLocation root = NextPageSlot(lob);
  lob.NewPage();
  lob.Place(LargeRootStructure({{a, 20}, {root, 40}, {b, 60}}));
  LobFile f(lob);
  const std::string ab = std::string(20, 'a') + std::string(20, 'b');
  EXPECT_EQ(f.Text(TextPointer(self)), ab);
  EXPECT_EQ(f.Text(TextPointer(x)), ab);
  EXPECT_EQ(f.Text(TextPointer(root)), ab);
  EXPECT_EQ(f.InRow(InRowRoot({{x, 40}, {x, 40}, {self, 60}})), ab);
}

TEST(LargeValueLinks, UnreadablePartsAreLeftOut) {
  LobStore lob;
  LobLocation a = lob.Place(DataFragmentStructure(Filled(50, 'a')));
  LobLocation c = lob.Place(DataFragmentStructure(Filled(50, 'c')));
  // A page inside the file that is no text page (zeroed below).
  LobLocation zeroed = NextPageSlot(lob);
  lob.NewPage();
  lob.Place(DataFragmentStructure(Filled(50, 'z')));
  std::vector<LobLink> links = {{a, 50},
                                {LobLocation{PageId{1, 900000}, 0}, 100},  // beyond the file
                                {zeroed, 150},
                                {LobLocation{a.page, 40}, 200},  // no such slot
                                {c, 250}};
  lob.NewPage();
  Bytes pointer = TextPointer(lob.Place(LargeRootStructure(links)));
  LobFile f(lob, [&](DatabaseBuilder& db) {
    db.SetPage(static_cast<uint32_t>(zeroed.page.page), std::vector<uint8_t>(kPageSize, 0));
  });
  const std::string ac = std::string(50, 'a') + std::string(50, 'c');
  EXPECT_EQ(f.Text(pointer), ac);
  // In-row root links: sizes of 0 or less are skipped.
  EXPECT_EQ(f.InRow(InRowRoot({{a, 50}, {zeroed, 100}, {c, 0}, {c, 150}})), ac);
}

TEST(LargeValueInRowRoot, LinkFileIdAbove1000ReadsTheFirstFile) {
  LobStore lob;
  LobLocation a = lob.Place(DataFragmentStructure(Filled(30, 'q')));
  LobFile f(lob);
  LobLocation damaged{PageId{1234, a.page.page}, a.slot};
  EXPECT_EQ(f.InRow(InRowRoot({{damaged, 30}})), std::string(30, 'q'));
  EXPECT_EQ(f.InRow(RowOverflowPointer({damaged, 30})), std::string(30, 'q'));
}

TEST(LargeValueVariant, BaseTypeDecidesTheText) {
  auto variant = [](uint8_t base, const Bytes& data) { return Concat({Bytes{base}, Bytes(7, 0), data}); };
  const LargeValueFlags flags{true, false, false, 0};
  EXPECT_EQ(LargeValueText(variant(167, Ascii("plain")), flags), "plain");
  EXPECT_EQ(LargeValueText(variant(165, {0x01, 0xAB}), flags), "01AB");
  EXPECT_EQ(LargeValueText(variant(231, Utf16(u"ẞig")), flags), "ẞig");
  EXPECT_EQ(LargeValueText(Bytes{167, 0, 0}, flags), "");  // shorter than its header
}

TEST(LargeValueShiftedPages, TextPageFoundOnlyWhereItCarriesItsNumber) {
  // Page p of the value lies one position further on (a file shifted by a
  // page); position p holds page p - 1.
  LobStore shifted;
  Bytes pointer = shifted.TextPointerTo(Filled(200, 's'));  // root and its fragment
  const uint32_t p = shifted.firstPosition();
  LobFile f(shifted, [&](DatabaseBuilder& db) {
    const uint32_t last = p + shifted.pageCount() - 1;
    db.EnsurePages(last + 2);
    for (uint32_t q = last + 1; q > p; --q) db.SetPage(q, db.PageBytes(q - 1));
    db.SetPage(p, PageBuilder(3, static_cast<int32_t>(p - 1)));
  });
  EXPECT_EQ(f.Text(pointer), std::string(200, 's'));

  // A page whose own number is damaged is read where it is when the
  // position the shift names does not carry the number asked for.
  LobStore damaged;
  Bytes direct = damaged.TextPointerTo(Filled(200, 'd'));
  LobFile g(damaged, [&](DatabaseBuilder& db) {
    db.EnsurePages(damaged.firstPosition() + damaged.pageCount() + 8);  // the shifted position holds another page
    for (uint32_t q = damaged.firstPosition(); q < damaged.firstPosition() + damaged.pageCount(); ++q) {
      auto& bytes = db.PageBytes(q);
      bytes[32] = static_cast<uint8_t>(bytes[32] - 3);  // header page number off by three
    }
  });
  EXPECT_EQ(g.Text(direct), std::string(200, 'd'));
}

}  // namespace
}  // namespace pagewright

namespace pagewright {
namespace {

TEST(LargeValueDamage, AMissingFragmentIsReportedAsSkippedAndNothingElse) {
  LobStore lob;
  LobLocation empty = lob.Place(SmallRootStructure({}));
  LobFile f(lob);
  DamageCounters damage;
  ReadContext read;
  read.damage = &damage;
  EXPECT_FALSE(ReadTextPointerBytes(TextPointer(LobLocation{empty.page, 9}), *f.reader, read).has_value());
  EXPECT_EQ(damage.Count(DamageReason::kLargeValueSkipped), 1u);
  EXPECT_EQ(damage.Total(), 1u);
  DamageCounters clean;
  read.damage = &clean;
  EXPECT_TRUE(ReadTextPointerBytes(TextPointer(empty), *f.reader, read).has_value());
  EXPECT_EQ(clean.Total(), 0u);
}

// A value past the size limit is kept up to the limit and reported once, as
// cut and nothing else.
TEST(LargeValueDamage, AValuePastTheLimitIsCutAndReportedAsCut) {
  LobStore lob;
  const Bytes value(kMaxLargeValueBytes + 5000, 0x5A);
  const Bytes pointer = lob.TextPointerTo(value);
  LobFile f(lob);
  DamageCounters damage;
  ReadContext read;
  read.damage = &damage;
  std::optional<std::vector<uint8_t>> bytes = ReadTextPointerBytes(pointer, *f.reader, read);
  ASSERT_TRUE(bytes.has_value());
  EXPECT_EQ(bytes->size(), kMaxLargeValueBytes);
  EXPECT_EQ(damage.Count(DamageReason::kValueCut), 1u);
  EXPECT_EQ(damage.Total(), 1u);
}

}  // namespace
}  // namespace pagewright
