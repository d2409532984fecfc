#include "pagestore/boot_page.h"

#include <gtest/gtest.h>

#include "pagestore/collation_table.h"
#include "pagestore/database_reader.h"
#include "support/builder/database_builder.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using build::BootInfo;
using build::BootPageBytes;

void AddCollations(AppState& s) {
  ParseCollationTable("SQL_Latin1_General_CP1_CI_AS\t872468488\t1252\nLatin1_General_CI_AS\t53256\t1252\n"
                      "Cyrillic_General_CI_AS\t53269\t1251\n",
                      s.collations);
}

TEST(VersionTable, KnownAndUnknownNumbers) {
  EXPECT_EQ(VersionText(661), " SQL Server 2008 R2");
  EXPECT_EQ(VersionText(660), " SQL Server 2008 R2");
  EXPECT_EQ(VersionText(539), " SQL Server 2000");
  EXPECT_EQ(VersionText(782), " SQL Server 2014");
  EXPECT_EQ(VersionText(612), " SQL Server 2005 SP2+ with VarDecimal enabled");
  EXPECT_EQ(VersionText(600), "Unknown SQL Version");
}

TEST(BootPageName, PaddingIsRemovedAndInnerSpacesKept) {
  AppState s;
  AddCollations(s);
  EXPECT_EQ(DecodeBootInto(BootPageBytes({u"Northwind"}), s).databaseName, "Northwind");
  EXPECT_EQ(DecodeBootInto(BootPageBytes({u"D:\\WEB PROJECTS 4.0\\CART.MDF"}), s).databaseName,
            "D:\\WEB PROJECTS 4.0\\CART.MDF");
  EXPECT_EQ(DecodeBootInto(BootPageBytes({u"name with trailing blank "}), s).databaseName, "name with trailing blank");
}

TEST(BootPageName, AllOf128UnitsAreRead) {
  std::u16string longName(128, u'N');
  longName[127] = u'Z';
  AppState s;
  AddCollations(s);
  std::string name = DecodeBootInto(BootPageBytes({longName}), s).databaseName;
  EXPECT_EQ(name.size(), 128u);
  EXPECT_EQ(name.back(), 'Z');
}

TEST(BootPageName, NonLatinCharactersSurvive) {
  AppState s;
  AddCollations(s);
  EXPECT_EQ(DecodeBootInto(BootPageBytes({u"Склад"}), s).databaseName, "Склад");
  EXPECT_EQ(DecodeBootInto(BootPageBytes({u"销售数据"}), s).databaseName, "销售数据");
}

TEST(BootPageName, StopsAtTheFirstZeroUnit) {
  auto bytes = BootPageBytes({u"abc"});
  bytes[kBootNameOffset + 2] = 0;
  bytes[kBootNameOffset + 3] = 0;
  AppState s;
  EXPECT_EQ(DecodeBootInto(bytes, s).databaseName, "a");
}

TEST(BootPageCollation, ThirtyTwoBitIdIsFoundFirst) {
  AppState s;
  AddCollations(s);
  auto page = DecodeBootInto(BootPageBytes({u"x", 655, 872468488}), s);
  EXPECT_TRUE(s.collationFound);
  EXPECT_EQ(s.collationKey, 872468488);
  EXPECT_EQ(s.collationName, "SQL_Latin1_General_CP1_CI_AS");
  EXPECT_EQ(s.collationCodePage, 1252);
  EXPECT_EQ(s.versionText, " SQL Server 2008");
}

TEST(BootPageCollation, LowSixteenBitsAreTriedWhenTheUpperHalfHoldsOtherData) {
  AppState s;
  AddCollations(s);
  auto page = DecodeBootInto(BootPageBytes({u"x", 655, static_cast<int32_t>(0x7F000000 | 53269)}), s);
  EXPECT_EQ(s.collationKey, 53269);
  EXPECT_EQ(s.collationName, "Cyrillic_General_CI_AS");
  EXPECT_EQ(s.collationCodePage, 1251);
}

TEST(BootPageCollation, UnknownIdLeavesTheStateAsItWas) {
  AppState s;
  AddCollations(s);
  s.collationName = "earlier";
  auto page = DecodeBootInto(BootPageBytes({u"x", 655, 12345}), s);
  EXPECT_FALSE(s.collationFound);
  EXPECT_EQ(s.collationName, "earlier");
}

TEST(BootPageCollation, ManualChoiceIsLookedUpInstead) {
  AppState s;
  AddCollations(s);
  s.collationAutoDetect = false;
  s.manualCollationKey = 53256;
  auto page = DecodeBootInto(BootPageBytes({u"x", 655, 872468488}), s);
  EXPECT_EQ(s.collationName, "Latin1_General_CI_AS");
  EXPECT_EQ(s.collationKey, 53256);
}

build::PageBuilder SystemPage(int32_t position, int32_t claims, int32_t objectId) {
  build::PageBuilder p(1, claims);
  p.ObjectId(objectId);
  (void)position;
  return p;
}

TEST(ReadBootPage, FindsPageNineAndSetsTheName) {
  build::DatabaseBuilder db(24);
  db.Boot({u"Shop"});
  db.SetPage(16, SystemPage(16, 16, 7));
  build::TempFile file(db.Build());
  AppState s;
  AddCollations(s);
  auto reader = OpenForTest(s, file.str(), file.str(), nullptr);
  ASSERT_TRUE(ReadBootPageInto(s, *reader));
  EXPECT_EQ(reader->databaseName, "Shop");
}

TEST(ReadBootPage, ShiftShownBySysallocunitsMovesTheBootPage) {
  build::DatabaseBuilder db(30);
  db.SetPage(8, BootPageBytes({u"Shifted"}));
  db.SetPage(20, SystemPage(20, 21, 7));  // position 20 claims page 21
  build::TempFile file(db.Build());
  AppState s;
  AddCollations(s);
  auto reader = OpenForTest(s, file.str(), file.str(), nullptr);
  ASSERT_TRUE(ReadBootPageInto(s, *reader));
  EXPECT_EQ(reader->databaseName, "Shifted");
}

TEST(ReadBootPage, FallsBackToSyscolparsAndRefusesPositionsOutsideTheFile) {
  build::DatabaseBuilder db(30);
  db.Boot({u"ok"});
  db.SetPage(20, SystemPage(20, 40, 41));  // shift 20: position -11
  build::TempFile file(db.Build());
  AppState s;
  auto reader = OpenForTest(s, file.str(), file.str(), nullptr);
  EXPECT_FALSE(ReadBootPageInto(s, *reader));
  EXPECT_TRUE(reader->databaseName.empty());
}

TEST(CollationTableFile, ParsesNameIdAndCodePage) {
  CollationTable t;
  ParseCollationTable("Custom\t100\t1252\r\nbad line\nonly\ttab\n\t200\t936\nCustom2\t100\t1250\n"
                      "Neg\t-5\t  1253xyz\nWord\tabc\tdef\n",
                      t);
  ASSERT_EQ(t.count(100), 1u);
  EXPECT_EQ(t.at(100).name, "Custom2") << "a later line replaces an earlier one";
  EXPECT_EQ(t.at(100).codePage, 1250);
  EXPECT_EQ(t.at(200).name, "") << "the name may be empty";
  EXPECT_EQ(t.at(-5).codePage, 1253);
  EXPECT_EQ(t.at(0).name, "Word") << "text that is not a number reads as 0";
  EXPECT_EQ(t.size(), 4u);
}

TEST(CollationTableFile, IdIsSignExtendedFromThirtyTwoBits) {
  CollationTable t;
  ParseCollationTable("Big\t4294967295\t1252\n", t);
  EXPECT_EQ(t.count(-1), 1u);
}

TEST(CollationTableFile, MissingFileLeavesTheTableEmpty) {
  AppState s;
  s.collations = LoadCollationTable("/nonexistent-folder");
  EXPECT_TRUE(s.collations.empty());
}

}  // namespace
}  // namespace pagewright
