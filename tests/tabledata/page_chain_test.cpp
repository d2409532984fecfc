// The page lists of a table: the IAM chain and the chain of data pages,
// with loops, unreadable pages, a heap whose IAM page is lost, and a table
// stored in several partitions.
#include <gtest/gtest.h>

#include "catalog/object_details.h"
#include "support/builder/catalog_builder.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

using namespace build;

constexpr uint32_t kFilePages = 400;

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
  return o;
}

// A file with a catalog, grown to kFilePages pages.
DatabaseBuilder BaseFile() {
  CatalogBuilder b;
  DatabaseBuilder db = b.Build();
  db.EnsurePages(kFilePages);
  return db;
}

std::vector<uint8_t> WithNext(std::vector<uint8_t> page, PageId next) {
  StoreLittleEndian<int32_t>(page.data() + 16, next.page);
  StoreLittleEndian<int16_t>(page.data() + 20, next.fileId);
  return page;
}

std::vector<PageId> Ids(std::initializer_list<int32_t> pages) {
  std::vector<PageId> out;
  for (int32_t p : pages) out.push_back(PageId{1, p});
  return out;
}
std::vector<PageId> Span(int32_t first, int32_t last) {
  std::vector<PageId> out;
  for (int32_t p = first; p <= last; ++p) out.push_back(PageId{1, p});
  return out;
}
std::vector<PageId> Join(std::vector<PageId> a, const std::vector<PageId>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Two IAM pages: A (single pages 50 and 51, extent 40-47) and B (single
// page 70, extent 56-63).
std::vector<uint8_t> IamA(PageId next) { return WithNext(IamPageBytes(300, 77, {50, 51, 40, 41, 42, 43, 44, 45, 46, 47}), next); }
std::vector<uint8_t> IamB(PageId next) { return WithNext(IamPageBytes(301, 77, {70, 56, 57, 58, 59, 60, 61, 62, 63}), next); }
const std::vector<PageId> kPagesOfA = Join(Ids({50, 51}), Span(40, 47));
const std::vector<PageId> kPagesOfB = Join(Ids({70}), Span(56, 63));

TEST(IamChain, FollowsNextReferencesSinglePagesBeforeExtents) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(300, IamA(PageId{1, 301}));
  db.SetPage(301, IamB(PageId{0, 0}));
  auto o = Open(std::move(db));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, {}, false), Join(kPagesOfA, kPagesOfB));
}

TEST(IamChain, LoopsEndAtTheFirstPageSeenAgain) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(300, IamA(PageId{1, 301}));
  db.SetPage(301, IamB(PageId{1, 300}));
  db.SetPage(302, IamB(PageId{1, 302}));
  auto o = Open(std::move(db));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, {}, false), Join(kPagesOfA, kPagesOfB));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 302}, {}, false), kPagesOfB);
}

TEST(IamChain, UnreadableIamPageEndsTheList) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(300, IamA(PageId{1, 90000}));
  auto o = Open(std::move(db));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, {}, false), kPagesOfA);
  EXPECT_TRUE(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 90000}, {}, false).empty());
}

TEST(IamChain, SinglePagesBeyondTheFileOrOfFileZeroAreDropped) {
  DatabaseBuilder db = BaseFile();
  // Single pages 50, one past the file's end, 60 and 61; the header record
  // is the page's first record (offset 96, fixed data from 100), slot k at
  // 42 + 6k holds the page number and then the file id.
  auto iam = IamPageBytes(300, 77, {50, kFilePages + 5, 60, 61});
  StoreLittleEndian<uint16_t>(iam.data() + 100 + 42 + 6 * 3 + 4, 0);  // slot 3 (61): file id 0
  db.SetPage(300, iam);
  auto o = Open(std::move(db));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, {}, false), Ids({50, 60}));
}

TEST(IamChain, SqlServer2000ListIsWalkedInListOrder) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(300, IamA(PageId{1, 301}));  // next references are not followed
  db.SetPage(301, IamB(PageId{1, 300}));
  auto o = Open(std::move(db));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, Ids({301, 300}), true), Join(kPagesOfB, kPagesOfA));
  EXPECT_EQ(IamChainPages(*o->reader, Ctx(o->state), PageId{1, 300}, Ids({301}), true), kPagesOfB);
}

std::vector<uint8_t> DataPage(int32_t position, PageId next) {
  PageBuilder p(1, position);
  p.ObjectId(1077).Next(next);
  return p.Bytes();
}

TEST(DataChain, FollowsNextReferencesAndEndsOnLoops) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(200, DataPage(200, PageId{1, 201}));
  db.SetPage(201, DataPage(201, PageId{1, 202}));
  db.SetPage(202, DataPage(202, PageId{1, 200}));  // back to the start
  db.SetPage(210, DataPage(210, PageId{1, 210}));  // names itself
  auto o = Open(std::move(db));
  EXPECT_EQ(DataChainPages(*o->reader, Ctx(o->state), PageId{1, 200}), Ids({200, 201, 202}));
  EXPECT_EQ(DataChainPages(*o->reader, Ctx(o->state), PageId{1, 210}), Ids({210}));
}

TEST(DataChain, UnreadablePageEndsTheWalk) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(200, DataPage(200, PageId{1, 201}));
  db.SetPage(201, DataPage(201, PageId{1, 90000}));
  auto o = Open(std::move(db));
  // The reference to the unreadable page is listed (its rows come out
  // empty), nothing after it.
  EXPECT_EQ(DataChainPages(*o->reader, Ctx(o->state), PageId{1, 200}), Ids({200, 201, 90000}));
  EXPECT_TRUE(DataChainPages(*o->reader, Ctx(o->state), PageId{0, 0}).empty());
}

TEST(RecordPagingSources, HeapWhoseIamPageIsLostIsReadThroughItsDataChain) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Heap";
  t.columns = {IntColumn("N", false), VarcharColumn("Pad", 200)};
  for (int i = 0; i < 300; ++i) t.rows.push_back({IntValue(i), TextValue(std::string(150, 'p'))});
  b.AddTable(t);
  DatabaseBuilder built = b.Build();
  const BuiltTable& table = b.built().at("dbo.Heap");
  ASSERT_GT(table.dataPages.size(), 4u);

  auto rowsWith = [&](bool loseIam) {
    DatabaseBuilder db = built;
    if (loseIam) db.SetPage(table.iamPage, std::vector<uint8_t>(kPageSize, 0));
    auto o = Open(std::move(db));
    o->catalog = BuildCatalog(o->state, *o->reader);
    o->state.pageSource = 2;
    auto columns = SelectDetails(*o->catalog, "dbo.Heap", "U ", {});
    RecordPaging paging = PagingFor(o->state, *o->reader, *o->catalog);
    auto rows = paging.ShowTable(columns, false, {});
    return std::make_pair(rows.size(), paging.source());
  };
  EXPECT_EQ(rowsWith(false), std::make_pair(size_t{300}, PageListSource::kIamChain));
  EXPECT_EQ(rowsWith(true), std::make_pair(size_t{300}, PageListSource::kDataChain));
}

// A table in three partitions, each a rowset with its own allocation unit,
// IAM page and data pages: every partition's rows come back, in partition
// order, also when the first partition is empty (a partitioned table's
// first partition often is). Parameter: clustered index or heap.
class PartitionedTable : public ::testing::TestWithParam<bool> {};

TEST_P(PartitionedTable, RowsOfEveryPartitionComeBackInPartitionOrder) {
  for (int firstRows : {50, 0}) {
    SCOPED_TRACE(firstRows);
    CatalogBuilder b;
    int next = 0;
    auto partition = [&](const std::string& name, const std::string& of, int rows) {
      TableDef t;
      t.name = name;
      t.partitionOf = of;
      t.clustered = GetParam();
      t.columns = {IntColumn("N", false), VarcharColumn("Pad", 200)};
      if (of.empty()) t.primaryKey = {0};
      for (int i = 0; i < rows; ++i) t.rows.push_back({IntValue(next++), TextValue(std::string(150, 'p'))});
      b.AddTable(t);
    };
    partition("Sales", "", firstRows);
    partition("Sales_2", "Sales", 300);  // several data pages
    partition("Sales_3", "Sales", 40);
    auto o = Open(b.Build());
    o->catalog = BuildCatalog(o->state, *o->reader);
    o->state.pageSource = 2;
    auto columns = SelectDetails(*o->catalog, "dbo.Sales", "U ", {});
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(Selected(*o->catalog).partitionAllocUnits.size(), 3u);
    RecordPaging paging = PagingFor(o->state, *o->reader, *o->catalog);
    auto rows = paging.ShowTable(columns, false, {});
    ASSERT_EQ(rows.size(), static_cast<size_t>(next));
    for (int i = 0; i < next; ++i) EXPECT_EQ(rows[static_cast<size_t>(i)][0], std::to_string(i)) << i;
    // Advanced mode lists the same rows from the pages mapped to the table.
    EXPECT_EQ(paging.ShowTable(columns, true, {}).size(), static_cast<size_t>(next));
  }
}

TEST_P(PartitionedTable, ASecondRowsetOfTheSamePartitionIsNotReadAsAnother) {
  // A rebuilt table leaves its old rowset behind until ghost cleanup; read
  // with deleted rows shown, its catalog row looks like a partition of the
  // same number. The last rowset of a partition number stands.
  CatalogBuilder b;
  auto rowset = [&](const std::string& name, const std::string& of, int first, int rows) {
    TableDef t;
    t.name = name;
    t.partitionOf = of;
    t.partitionNumber = 1;
    t.clustered = GetParam();
    t.columns = {IntColumn("N", false)};
    for (int i = 0; i < rows; ++i) t.rows.push_back({IntValue(first + i)});
    b.AddTable(t);
  };
  rowset("Rebuilt", "", 1000, 7);  // the old rowset
  rowset("Rebuilt_new", "Rebuilt", 0, 3);
  auto o = Open(b.Build());
  o->catalog = BuildCatalog(o->state, *o->reader);
  o->state.pageSource = 2;
  auto columns = SelectDetails(*o->catalog, "dbo.Rebuilt", "U ", {});
  EXPECT_TRUE(Selected(*o->catalog).partitionAllocUnits.empty());
  RecordPaging paging = PagingFor(o->state, *o->reader, *o->catalog);
  auto rows = paging.ShowTable(columns, false, {});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], "0");
}

INSTANTIATE_TEST_SUITE_P(Storage, PartitionedTable, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Clustered" : "Heap"; });

}  // namespace
}  // namespace pagewright

namespace pagewright {
namespace {

// Only `reason` was counted, and at least once.
void ExpectOnly(const DamageCounters& d, DamageReason reason) {
  const DamageCounts counts = d.Counts();
  for (size_t r = 0; r < kDamageReasonCount; ++r) {
    if (r == static_cast<size_t>(reason)) {
      EXPECT_GT(counts[r], 0u) << DamageReasonText(reason);
    } else {
      EXPECT_EQ(counts[r], 0u) << DamageReasonText(static_cast<DamageReason>(r));
    }
  }
}

TEST(DamageReports, ChainLoopsAndUnreadableIamPagesEachMoveTheirOwnCounter) {
  DatabaseBuilder db = BaseFile();
  db.SetPage(200, DataPage(200, PageId{1, 201}));
  db.SetPage(201, DataPage(201, PageId{1, 200}));  // back to the start
  db.SetPage(210, DataPage(210, PageId{1, 0}));
  auto o = Open(std::move(db));
  DamageCounters loop;
  DataChainPages(*o->reader, Ctx(o->state, &loop), PageId{1, 200});
  ExpectOnly(loop, DamageReason::kChainLoop);
  DamageCounters clean;
  DataChainPages(*o->reader, Ctx(o->state, &clean), PageId{1, 210});
  EXPECT_EQ(clean.Total(), 0u) << "a chain that ends is no damage";
  DamageCounters lost;
  IamChainPages(*o->reader, Ctx(o->state, &lost), PageId{1, 90000}, {}, false);
  ExpectOnly(lost, DamageReason::kPageUnreadable);
}


// The positional decoder of SQL Server 2000 tables keeps no row whose first
// column reads empty: the row is counted as dropped, and nothing else is.
TEST(DamageReports, ARowThePositionalDecoderDropsIsCounted) {
  CatalogBuilder b(true);
  TableDef t;
  t.name = "Codes";
  t.columns = {VarcharColumn("Code", 10, false), IntColumn("Id", false)};
  t.rows = {{TextValue(""), IntValue(1)}, {TextValue("B"), IntValue(2)}};
  b.AddTable(t);
  TempFile file(b.Build().Build());
  AppState state;
  auto reader = OpenForTest(state, file.str(), file.str(), nullptr);
  auto catalog = BuildCatalog(state, *reader);
  state.pageSource = 2;
  const std::vector<ColumnDescriptor> columns = SelectDetails(*catalog, "dbo.Codes", "U ", {});
  DamageCounters damage;
  RecordPaging paging = PagingFor(state, *reader, *catalog, &damage);
  const std::vector<DecodedRow> rows = paging.ShowTable(columns, false, {});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (DecodedRow{"B", "2"}));
  ExpectOnly(damage, DamageReason::kRowDropped);
  EXPECT_EQ(damage.Count(DamageReason::kRowDropped), 1u);
}

}  // namespace
}  // namespace pagewright
