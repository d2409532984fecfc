#include "scripts/module_text.h"

#include <gtest/gtest.h>

#include "pagestore/text_codec.h"
#include "records/value_format.h"
#include "support/builder/catalog_builder.h"
#include "support/recording_sink.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using namespace build;

struct Scanned {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  testing::RecordingSink sink;
  std::vector<ModuleValue> values;
};

std::unique_ptr<Scanned> ScanModules(CatalogBuilder& b) {
  auto s = std::make_unique<Scanned>();
  s->file = std::make_unique<TempFile>(b.Build().Build());
  s->reader = OpenForTest(s->state, s->file->str(), s->file->str(), nullptr);
  s->catalog = BuildCatalog(s->state, *s->reader);
  RetrieveModulesFor(*s->reader, s->state, *s->catalog, s->values, ModuleTableColumns(*s->catalog), &s->sink);
  return s;
}

std::u16string LongDefinition() {
  std::u16string text = u"CREATE PROCEDURE dbo.Report AS\r\n";
  for (int i = 0; i < 300; ++i) text += u"SELECT " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u" -- строка 行\r\n";
  return text;
}

class ModuleTextLayouts : public ::testing::TestWithParam<bool> {};

TEST_P(ModuleTextLayouts, PiecesAreJoinedInOrderWithNothingLostOrRepeated) {
  CatalogBuilder b(GetParam());
  ModuleDef proc{"Report", "dbo", "P ", LongDefinition()};
  proc.pieceLength = 1000;  // several rows per object
  b.AddModule(proc);
  b.AddModule({"Ελληνικά", "dbo", "V ", u"CREATE VIEW Ελληνικά AS SELECT N'Ωμέγα' AS Λέξη"});
  auto s = ScanModules(b);
  EXPECT_EQ(s->sink.Texts(NotificationId::kLogLine),
            (std::vector<std::string>{module_text::kRetrieving, module_text::kRetrieved}));
  const std::string id = std::to_string(b.ObjectIdOf("Report"));
  size_t pieces = 0;
  for (const auto& v : s->values) pieces += v.objectId == id;
  EXPECT_GE(pieces, 5u);
  std::u16string expected = LongDefinition();
  EXPECT_EQ(ModuleTextFor(id, s->values), std::string(Utf16LeToUtf8(Utf16(expected))));
  EXPECT_EQ(ModuleTextFor(std::to_string(b.ObjectIdOf("Ελληνικά")), s->values),
            "CREATE VIEW Ελληνικά AS SELECT N'Ωμέγα' AS Λέξη");
  EXPECT_EQ(ModuleTextFor("123", s->values), "") << "an object with no rows shows nothing";
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleTextLayouts, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Sql2000" : "Sql2005AndLater"; });

ModuleValue Piece(const std::string& id, const std::string& hexValue, int32_t valueClass = 1) {
  return ModuleValue{id, "0", hexValue, valueClass};
}

TEST(ModuleTextJoin, EightBitPiecesEqualToTheWholeTextSoFarAreSkipped) {
  // Definitions are UTF-16; a piece of odd length can only be 8-bit text.
  // The second "ABC" equals the text gathered so far and is left out; a
  // repeated later piece is kept, since the text gathered is longer.
  std::vector<ModuleValue> first = {Piece("7", "0x414243"), Piece("7", "0x414243")};
  EXPECT_EQ(ModuleTextFor("7", first), "ABC");
  std::vector<ModuleValue> later = {Piece("7", "0x414243"), Piece("7", "0x444546"), Piece("7", "0x444546")};
  EXPECT_EQ(ModuleTextFor("7", later), "ABCDEFDEF");
}

TEST(ModuleTextJoin, TextFlagsTellEightBitPiecesFromUtf16Ones) {
  // Bit 1 of syscomments' status (sysobjvalues' value) marks 8-bit text, in
  // the database's code page; pieces without it are UTF-16.
  ModuleValue narrow = Piece("7", "0x637265617465E9");  // "createé" in 1252
  narrow.textFlags = 2;
  ModuleValue wide = Piece("7", "0x20003F04");  // " п"
  wide.textFlags = 0;
  EXPECT_EQ(ModuleTextFor("7", {narrow, wide}), "createé п");
  ModuleValue cyrillic = Piece("8", "0xEFF0E8E2E5F2");
  cyrillic.textFlags = 2;
  EXPECT_EQ(ModuleTextFor("8", {cyrillic}, 1251), "привет");
}

TEST(ModuleTextJoin, OtherValueClassesAreNotPartOfTheDefinition) {
  std::vector<ModuleValue> values = {Piece("7", "0x410042004300"), Piece("7", "0x5800590020005A00", 60)};
  EXPECT_EQ(ModuleTextFor("7", values), "ABC");
}

TEST(KeyScripts, ValidTransactSqlWithBracketedIdentifiers) {
  EXPECT_EQ(PrimaryKeyScript("dbo.Order Details", {"OrderID", "ProductID"}),
            "ALTER TABLE [dbo].[Order Details] ADD PRIMARY KEY ( [OrderID] , [ProductID] )");
  EXPECT_EQ(UniqueScript("dbo.T", "UQ_T", {"A", "B]C"}),
            "ALTER TABLE [dbo].[T] WITH NOCHECK ADD CONSTRAINT [UQ_T] UNIQUE NONCLUSTERED \r\n(\r\n[A] ASC,\r\n"
            "[B]]C] ASC\r\n)");
  EXPECT_EQ(CheckScript("dbo.T", "CK_T", "([A]>(0))"),
            "ALTER TABLE [dbo].[T] WITH NOCHECK ADD CONSTRAINT [CK_T] CHECK ([A]>(0))");
  EXPECT_EQ(DefaultScript("dbo.T", "DF_T_A", "((0))", "A"), "ALTER TABLE [dbo].[T] ADD CONSTRAINT [DF_T_A] DEFAULT ((0)) FOR [A]");
}

}  // namespace
}  // namespace pagewright
