#include "catalog/database_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/object_details.h"
#include "catalog/object_labels.h"
#include "support/builder/catalog_builder.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using namespace build;

// Orders and Customers with keys, a view and a procedure.
CatalogBuilder Shop(bool legacy) {
  CatalogBuilder b(legacy);
  TableDef customers;
  customers.name = "Customers";
  customers.columns = {NcharColumn("CustomerID", 5, false), NvarcharColumn("CompanyName", 40, false),
                       NvarcharColumn("City", 15)};
  customers.primaryKey = {0};
  customers.clustered = true;
  customers.rows = {{UnicodeValue(u"ALFKI"), UnicodeValue(u"Alfreds"), UnicodeValue(u"Berlin")},
                    {UnicodeValue(u"ANATR"), UnicodeValue(u"Ana Trujillo"), Null()}};
  b.AddTable(customers);
  TableDef orders;
  orders.name = "Orders";
  ColumnSpec id = IntColumn("OrderID", false);
  id.identity = std::make_pair(1, 1);
  orders.columns = {id, NcharColumn("CustomerID", 5), DatetimeColumn("OrderDate"), MoneyColumn("Freight"),
                    BitColumn("Shipped")};
  orders.primaryKey = {0};
  orders.foreignKeys = {{"FK_Orders_Customers", {1}, "Customers", {0}}};
  for (int i = 0; i < 50; ++i) {
    orders.rows.push_back({IntValue(i + 1), UnicodeValue(u"ALFKI"), DatetimeValue(40000 + i, 0), MoneyValue(12345),
                           BitValue(i % 2 == 0)});
  }
  b.AddTable(orders);
  b.AddModule({"Order List", "dbo", "V ", u"create view [Order List] as select * from Orders"});
  b.AddModule({"GetOrders", "dbo", "P ", u"create procedure GetOrders as select * from Orders"});
  return b;
}

struct Opened {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
};

std::unique_ptr<Opened> Open(DatabaseBuilder db) {
  auto o = std::make_unique<Opened>();
  o->file = std::make_unique<TempFile>(db.Build());
  o->reader = OpenForTest(o->state, o->file->str(), o->file->str(), nullptr);
  o->catalog = BuildCatalog(o->state, *o->reader);
  return o;
}

const CatalogObject* Find(const DatabaseCatalog& c, const std::string& name) {
  for (const auto& o : c.objects)
    if (o.name == name) return &o;
  return nullptr;
}

std::vector<std::string> Listing(const std::vector<ColumnDescriptor>& d) {
  std::vector<std::string> out;
  for (const auto& c : d) out.push_back(ColumnListing(c));
  return out;
}

class BothLayouts : public ::testing::TestWithParam<bool> {};

TEST_P(BothLayouts, TablesColumnsKeysAndModules) {
  auto o = Open(Shop(GetParam()).Build());
  EXPECT_EQ(o->state.legacyCatalogMode, GetParam());
  EXPECT_EQ(o->reader->databaseName, "BuilderDb");
  auto& c = *o->catalog;
  ASSERT_NE(Find(c, "dbo.Orders"), nullptr);
  EXPECT_EQ(Find(c, "dbo.Orders")->typeCode, "U ");
  EXPECT_EQ(Find(c, "dbo.Order List")->typeCode, "V ");
  EXPECT_EQ(Find(c, "dbo.GetOrders")->typeCode, "P ");
  EXPECT_EQ(Find(c, "dbo.PK_Orders")->parentObjectId, Find(c, "dbo.Orders")->id);

  auto orders = SelectDetails(c, "dbo.Orders", "U ", {});
  EXPECT_EQ(Listing(orders),
            (std::vector<std::string>{
                "OrderID  int(4) NOT NULL identity(1,1)[Primary Key]",
                "CustomerID  nchar(10)  (foreign key) references dbo.Customers( CustomerID)", "OrderDate  datetime(8)",
                "Freight  money(8)", "Shipped  bit(1)"}));
  EXPECT_FALSE(Selected(c).tablePages.empty());
  ASSERT_EQ(Selected(c).tableConstraints.size(), 2u);
  EXPECT_TRUE(Selected(c).tableConstraints[0].isPrimaryKey);
  EXPECT_TRUE(Selected(c).tableConstraints[1].isForeignKey);
  ASSERT_EQ(Selected(c).primaryKeyColumns.size(), 1u);
  EXPECT_EQ(Selected(c).primaryKeyColumns[0].columnName, "OrderID");

  auto view = SelectDetails(c, "dbo.Order List", "P ", {});
  ASSERT_EQ(view.size(), 3u) << "the identity path";
  EXPECT_EQ(view[1].valueText, "V ");
  EXPECT_EQ(view[2].valueText, "dbo.Order List");
  EXPECT_EQ(view[0].valueText, std::to_string(Find(c, "dbo.Order List")->id));
}

TEST_P(BothLayouts, ColumnDescriptorsCarryThePhysicalLayout) {
  auto o = Open(Shop(GetParam()).Build());
  auto d = SelectDetails(*o->catalog, "dbo.Orders", "U ", {});
  ASSERT_EQ(d.size(), 5u);
  EXPECT_EQ(d[0].typeIndex, 9);
  EXPECT_EQ(d[1].typeIndex, 10);
  EXPECT_EQ(d[1].declaredLength, 10);
  EXPECT_EQ(d[4].typeIndex, 2);
  if (!GetParam()) {
    EXPECT_EQ(d[0].leafOffset, 4);
    EXPECT_EQ(d[1].leafOffset, 8);
    EXPECT_EQ(d[1].nullBit, 2);
    EXPECT_EQ(d[3].leafOffset, 26);
  } else {
    EXPECT_EQ(d[0].legacyOffsetInRow, 4);
    EXPECT_EQ(d[2].legacyOffsetInRow, 18);
  }
  for (const auto& cd : d) EXPECT_EQ(cd.hasLayout, 1);
  EXPECT_EQ(Selected(*o->catalog).firstStoredColumn, 0);
}

INSTANTIATE_TEST_SUITE_P(Catalog, BothLayouts, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Sql2000" : "Sql2005AndLater"; });

TEST(CatalogBuild, MissingSysschobjsSwitchesToTheLegacyTables) {
  auto b = Shop(false);
  b.Tweak([](uint32_t, std::vector<uint8_t>& page) {
    if (I32At(page, 24) == 34) std::fill(page.begin(), page.end(), 0);
  });
  auto o = Open(b.Build());
  EXPECT_TRUE(o->state.legacyCatalogMode);
  EXPECT_TRUE(o->catalog->objects.empty()) << "key 1 holds nothing in a modern file";
}

TEST(CatalogBuild, SchemasPrefixNamesAndSameNamesInTwoSchemasAreBothFound) {
  CatalogBuilder b;
  TableDef one;
  one.name = "Items";
  one.columns = {IntColumn("A")};
  b.AddTable(one);
  TableDef two = one;
  two.schema = "SalesLT";
  two.columns = {IntColumn("B"), IntColumn("C")};
  b.AddTable(two);
  auto o = Open(b.Build());
  EXPECT_EQ(SelectDetails(*o->catalog, "dbo.Items", "U ", {}).size(), 1u);
  EXPECT_EQ(SelectDetails(*o->catalog, "SalesLT.Items", "U ", {}).size(), 2u);
}

TEST(CatalogBuild, LookupDoesNotStopAtASameNamedObjectOfAnotherKind) {
  CatalogBuilder b;
  b.AddModule({"Things", "dbo", "V ", u"create view Things as select 1 as x"});
  TableDef t;
  t.name = "Things";
  t.columns = {IntColumn("X")};
  b.AddTable(t);
  auto o = Open(b.Build());
  EXPECT_EQ(SelectDetails(*o->catalog, "dbo.Things", "U ", {}).size(), 1u);
  auto view = SelectDetails(*o->catalog, "dbo.Things", "P ", {});
  ASSERT_EQ(view.size(), 3u);
  EXPECT_EQ(view[1].valueText, "V ");
}

TEST(CatalogBuild, ForeignKeyOfTwoColumnsGivesTwoPairs) {
  CatalogBuilder b;
  TableDef parent;
  parent.name = "P";
  parent.columns = {IntColumn("A", false), IntColumn("B", false)};
  parent.primaryKey = {0, 1};
  b.AddTable(parent);
  TableDef child;
  child.name = "C";
  child.columns = {IntColumn("X"), IntColumn("Y")};
  child.foreignKeys = {{"FK_C_P", {0, 1}, "P", {0, 1}}};
  b.AddTable(child);
  auto o = Open(b.Build());
  const auto& fks = o->catalog->foreignKeyColumns;
  ASSERT_EQ(fks.size(), 2u);
  EXPECT_EQ(fks[0].keyOrdinal, 1);
  EXPECT_EQ(fks[1].keyOrdinal, 2);
  EXPECT_EQ(fks[0].constraintName, "dbo.FK_C_P");
  EXPECT_EQ(fks[1].parentColumnName, "Y");
  EXPECT_EQ(fks[1].referencedColumnName, "B");
  EXPECT_EQ(o->catalog->childObjects.size(), 2u) << "PK_P and FK_C_P";
}

TEST(CatalogBuild, DatabaseWithoutReferencesListsChildrenButNoForeignKeys) {
  CatalogBuilder b;
  TableDef t;
  t.name = "T";
  t.columns = {IntColumn("A", false)};
  t.primaryKey = {0};
  b.AddTable(t);
  auto o = Open(b.Build());
  EXPECT_TRUE(o->catalog->foreignKeyColumns.empty());
  EXPECT_EQ(o->catalog->childObjects.size(), 1u);
}

TEST(CatalogBuild, DamagedSystemPagesStillListWhatIntactPagesHold) {
  CatalogBuilder b;
  for (int i = 0; i < 60; ++i) {
    TableDef t;
    t.name = "Table" + std::to_string(i);
    for (int k = 0; k < 12; ++k) t.columns.push_back(IntColumn("Column" + std::to_string(k)));
    b.AddTable(t);
  }
  int damaged = 0;
  b.Tweak([&](uint32_t, std::vector<uint8_t>& page) {
    if (I32At(page, 24) == 41 && damaged++ == 0) {
      for (size_t i = 200; i < 4000; ++i) page[i] = static_cast<uint8_t>(i * 7);
    }
  });
  auto o = Open(b.Build());
  EXPECT_EQ(o->catalog->objects.size(), 60u + 5u);
  size_t withColumns = 0;
  for (int i = 0; i < 60; ++i) {
    if (SelectDetails(*o->catalog, "dbo.Table" + std::to_string(i), "U ", {}).size() == 12) ++withColumns;
  }
  EXPECT_GT(withColumns, 30u) << "tables whose column rows lie on intact pages keep them";
  EXPECT_LT(withColumns, 60u) << "the damaged page did lose rows";
}

}  // namespace
}  // namespace pagewright
