// SQL Server 2000 indexes: sysindexes lists for every nonclustered index its
// declared keys followed by the row locator (the clustered keys, or the RID
// on a heap). Keys of primary key and unique constraints are the declared
// keys of the index the constraint names, and nothing else.
#include <gtest/gtest.h>

#include <map>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "support/builder/catalog_builder.h"
#include "support/corpus.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using namespace build;

struct Opened {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  explicit Opened(const std::string& path) {
    reader = OpenForTest(state, path, path, nullptr);
    catalog = BuildCatalog(state, *reader);
  }
  explicit Opened(DatabaseBuilder db) : file(std::make_unique<TempFile>(db.Build())) {
    reader = OpenForTest(state, file->str(), file->str(), nullptr);
    catalog = BuildCatalog(state, *reader);
  }
  std::vector<std::string> KeyMarked(const std::string& table) {
    std::vector<std::string> out;
    for (const auto& cd : SelectDetails(*catalog, table, "U ", {}))
      if (cd.primaryKeyColumn) out.push_back(cd.name);
    return out;
  }
};

// pubs' employee: a nonclustered primary key on emp_id, clustered by name.
TableDef Employee() {
  TableDef t;
  t.name = "employee";
  t.columns = {CharColumn("emp_id", 9, false), VarcharColumn("fname", 20, false), CharColumn("minit", 1),
               VarcharColumn("lname", 30, false)};
  t.primaryKey = {0};
  t.primaryKeyName = "PK_emp_id";
  t.clusteredIndex = {3, 1, 2};
  t.clusteredIndexName = "employee_ind";
  t.rows = {{TextValue("PMA42628M"), TextValue("Paolo"), TextValue("M"), TextValue("Accorti")}};
  return t;
}

TEST(LegacyIndexKeys, NonclusteredPrimaryKeyOnAClusteredTableMarksOnlyItsColumn) {
  CatalogBuilder b(true);
  b.AddTable(Employee());
  Opened o(b.Build());
  ASSERT_TRUE(o.state.legacyCatalogMode);
  EXPECT_EQ(o.KeyMarked("dbo.employee"), std::vector<std::string>{"emp_id"});
  EXPECT_EQ(KeyColumnsOfConstraint(*o.catalog, Selected(*o.catalog), b.ObjectIdOf("employee"), "PK_emp_id"),
            std::vector<std::string>{"emp_id"});
}

TEST(LegacyIndexKeys, NonclusteredPrimaryKeyOnAHeapLeavesTheRowLocatorOut) {
  CatalogBuilder b(true);
  TableDef t = Employee();
  t.clusteredIndex.clear();
  t.primaryKey = {0, 3};
  b.AddTable(t);
  Opened o(b.Build());
  EXPECT_EQ(o.KeyMarked("dbo.employee"), (std::vector<std::string>{"emp_id", "lname"}));
  EXPECT_EQ(KeyColumnsOfConstraint(*o.catalog, Selected(*o.catalog), b.ObjectIdOf("employee"), "PK_emp_id"),
            (std::vector<std::string>{"emp_id", "lname"}));
}

// Northwind 2000 holds nonclustered indexes on clustered tables (with the
// clustered keys appended, even one already declared) and nonclustered
// primary keys on heaps (with the RID appended).
TEST(LegacyIndexKeys, NorthwindIndexesGiveTheirDeclaredKeys) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const testing::CorpusFile* northwind = nullptr;
  for (const auto& f : testing::CorpusFiles())
    if (f.version == 539) northwind = &f;
  ASSERT_NE(northwind, nullptr);
  Opened o(northwind->path.string());
  ASSERT_TRUE(o.state.legacyCatalogMode);
  auto idOf = [&](const std::string& name) {
    for (const auto& obj : o.catalog->objects)
      if (obj.name == name) return obj.id;
    return -1;
  };
  std::map<std::string, std::vector<int16_t>> declared;
  for (const auto& x : o.catalog->legacyIndexKeys) {
    if (x.objectId == idOf("dbo.Order Details") || x.objectId == idOf("dbo.Employees") ||
        x.objectId == idOf("dbo.Region"))
      declared[x.name] = DeclaredLegacyKeyColumns(*o.catalog, x);
  }
  EXPECT_EQ(declared["PK_Order_Details"], (std::vector<int16_t>{1, 2}));
  EXPECT_EQ(declared["OrderID"], (std::vector<int16_t>{1}));
  EXPECT_EQ(declared["ProductID"], (std::vector<int16_t>{2}));
  EXPECT_EQ(declared["LastName"], (std::vector<int16_t>{2}));
  EXPECT_EQ(declared["PostalCode"], (std::vector<int16_t>{11}));
  EXPECT_EQ(declared["PK_Region"], (std::vector<int16_t>{1}));
  EXPECT_EQ(o.KeyMarked("dbo.Employees"), std::vector<std::string>{"EmployeeID"});
  EXPECT_EQ(o.KeyMarked("dbo.Order Details"), (std::vector<std::string>{"OrderID", "ProductID"}));
  EXPECT_EQ(KeyColumnsOfConstraint(*o.catalog, Selected(*o.catalog), idOf("dbo.Region"), "PK_Region"),
            std::vector<std::string>{"RegionID"});
}

}  // namespace
}  // namespace pagewright
