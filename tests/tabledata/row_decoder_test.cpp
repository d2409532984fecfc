#include "tabledata/row_decoder.h"

#include <gtest/gtest.h>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "support/builder/catalog_builder.h"
#include "support/read_fixture.h"
#include "tabledata/page_rows.h"

namespace pagewright {
namespace {

using namespace build;

struct Scanned {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;

  // Every row of a table, decoded page by page as the table view does.
  std::vector<DecodedRow> Rows(const std::string& table) { return RowsPageByPage(state, *reader, *catalog, table); }
};

std::unique_ptr<Scanned> Scan(CatalogBuilder& b, bool showDeleted = false) {
  auto s = std::make_unique<Scanned>();
  s->state.showDeleted = showDeleted;
  s->file = std::make_unique<TempFile>(b.Build().Build());
  s->reader = OpenForTest(s->state, s->file->str(), s->file->str(), nullptr);
  s->catalog = BuildCatalog(s->state, *s->reader);
  return s;
}

TableDef Mixed() {
  TableDef t;
  t.name = "Mixed";
  ColumnSpec id = IntColumn("Id", false);
  id.identity = std::make_pair(1, 1);
  t.columns = {id,
               VarcharColumn("Name", 30),
               BitColumn("Active"),
               DecimalColumn("Price", 9, 2),
               BitColumn("Deleted"),
               NvarcharColumn("Note", 50),
               DatetimeColumn("Created"),
               VarbinaryColumn("Blob", 20),
               MoneyColumn("Fee")};
  t.rows = {
      {IntValue(1), TextValue("first"), BitValue(true), DecimalValue(false, 1999, 9), BitValue(false),
       UnicodeValue(u"Привет"), DatetimeValue(0, 300), RawValue({0xDE, 0xAD}), MoneyValue(50000)},
      {IntValue(2), Null(), BitValue(false), DecimalValue(true, 5, 9), BitValue(true), Null(), Null(), Null(),
       Null()},
      {IntValue(3), TextValue(""), Null(), Null(), BitValue(true), UnicodeValue(u""), DatetimeValue(1, 0),
       RawValue({}), MoneyValue(-5)},
  };
  return t;
}

class RowDecoderLayouts : public ::testing::TestWithParam<bool> {};

TEST_P(RowDecoderLayouts, EveryColumnOfEveryRow) {
  CatalogBuilder b(GetParam());
  b.AddTable(Mixed());
  auto s = Scan(b);
  auto rows = s->Rows("dbo.Mixed");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (DecodedRow{"1", "first", "True", "19.99", "False", "Привет", "1900-01-01 00:00:01.000", "0xDEAD",
                                 "5.0000"}));
  EXPECT_EQ(rows[1], (DecodedRow{"2", "NULL", "False", "-0.05", "True", "NULL", "NULL", "NULL", "NULL"}));
  // Empty strings are not NULL: the positional decoder of SQL Server 2000
  // catalogs cannot tell them apart (an empty nullable value shows NULL).
  if (!GetParam()) {
    EXPECT_EQ(rows[2], (DecodedRow{"3", "", "NULL", "NULL", "True", "", "1900-01-02 00:00:00.000", "0x", "-0.0005"}));
  } else {
    EXPECT_EQ(rows[2][0], "3");
    EXPECT_EQ(rows[2][4], "True");
    EXPECT_EQ(rows[2][6], "1900-01-02 00:00:00.000");
    EXPECT_EQ(rows[2][8], "-0.0005");
  }
}

INSTANTIATE_TEST_SUITE_P(Decoder, RowDecoderLayouts, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Sql2000" : "Sql2005AndLater"; });

TEST(RowDecoder, GhostRowsComeBackOnlyWithShowDeleted) {
  CatalogBuilder b;
  TableDef t;
  t.name = "T";
  t.columns = {IntColumn("A", false), VarcharColumn("B", 10)};
  t.rows = {{IntValue(1), TextValue("live")}};
  t.ghostRows = {{IntValue(2), TextValue("gone")}};
  b.AddTable(t);
  EXPECT_EQ(Scan(b)->Rows("dbo.T").size(), 1u);
  auto rows = Scan(b, true)->Rows("dbo.T");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], (DecodedRow{"2", "gone"}));
}

TEST(RowDecoder, ManyRowsOverManyPagesAndExtents) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Big";
  t.columns = {IntColumn("N", false), NvarcharColumn("Text", 100)};
  for (int i = 0; i < 3000; ++i) t.rows.push_back({IntValue(i), UnicodeValue(u"row value number " + std::u16string(i % 7, u'x'))});
  b.AddTable(t);
  auto s = Scan(b);
  auto rows = s->Rows("dbo.Big");
  ASSERT_EQ(rows.size(), 3000u);
  for (int i = 0; i < 3000; i += 499) EXPECT_EQ(rows[static_cast<size_t>(i)][0], std::to_string(i));
  EXPECT_GT(Selected(*s->catalog).tablePages.size(), 16u);
}

}  // namespace
}  // namespace pagewright
