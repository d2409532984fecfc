// Heap rows moved by SQL Server to another page: the forwarding stub left in
// the old slot and the forwarded record on the new page stand for one row,
// which must come back exactly once, in the classic and the compressed
// layout; a forwarded record whose stub is gone still comes back, once.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/builder/catalog_builder.h"
#include "support/builder/compression_builder.h"
#include "support/builder/record_builder.h"
#include "support/read_fixture.h"
#include "tabledata/page_rows.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

using namespace build;

std::vector<ColumnSpec> HeapColumns() { return {IntColumn("Id", false), VarcharColumn("Name", 100)}; }

std::vector<Value> Row(int id, const std::string& name) { return {IntValue(id), TextValue(name)}; }

// The record of a row in the layout under test; `back` makes it a forwarded
// record whose back pointer names that stub.
Bytes RecordOf(bool compressed, const std::vector<Value>& row, std::optional<RowLocator> back = std::nullopt) {
  if (!compressed) {
    Bytes r = EncodeRow(HeapColumns(), row);
    return back ? AsForwardedRecord(r, back->page, back->slot) : r;
  }
  std::vector<CompressedField> fields;
  for (size_t c = 0; c < row.size(); ++c) fields.push_back(CompressValue(HeapColumns()[c], row[c]));
  if (!back) return CompressedRecordOf(fields);
  fields.push_back(CompressedField::Of(BackPointer(back->page, back->slot), true));
  return CompressedRecordOf(fields, 1);
}

struct Heap {
  AppState state;
  std::unique_ptr<TempFile> file;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  std::vector<uint32_t> pages;

  // A heap of two data pages; `fill(first, second)` gives the records of
  // each page once their positions are known.
  using Fill = std::function<std::pair<std::vector<Bytes>, std::vector<Bytes>>(PageId, PageId)>;
  Heap(bool compressed, const Fill& fill) {
    CatalogBuilder b;
    TableDef t;
    t.name = "Moved";
    t.columns = HeapColumns();
    t.dataPages = [](const TableDef&, DatabaseBuilder&) { return std::vector<PageBuilder>(2, PageBuilder(1)); };
    b.AddTable(t);
    DatabaseBuilder db = b.Build();
    const BuiltTable& built = b.built().at("dbo.Moved");
    pages = built.dataPages;
    const PageId first{1, static_cast<int32_t>(pages[0])}, second{1, static_cast<int32_t>(pages[1])};
    auto [onFirst, onSecond] = fill(first, second);
    auto write = [&](PageId at, const std::vector<Bytes>& records, PageId previous, PageId next) {
      PageBuilder p = compressed ? CompressedDataPage({}, records) : PageBuilder(1);
      if (!compressed)
        for (const Bytes& r : records) p.AddRecord(r);
      p.ThisPage(at).ObjectId(built.pageKey).Previous(previous).Next(next);
      db.SetPage(static_cast<uint32_t>(at.page), p);
    };
    write(first, onFirst, PageId{0, 0}, second);
    write(second, onSecond, first, PageId{0, 0});
    file = std::make_unique<TempFile>(db.Build());
    reader = OpenForTest(state, file->str(), file->str(), nullptr);
    catalog = BuildCatalog(state, *reader);
  }

  std::vector<std::string> Ids() {
    std::vector<std::string> ids;
    for (const auto& row : RowsPageByPage(state, *reader, *catalog, "dbo.Moved")) ids.push_back(row.at(0) + ":" + row.at(1));
    return ids;
  }
};

class ForwardedRows : public ::testing::TestWithParam<bool> {};

TEST_P(ForwardedRows, RowBehindAStubComesBackOnceThroughTheStub) {
  Heap heap(GetParam(), [&](PageId first, PageId second) {
    std::vector<Bytes> a = {RecordOf(GetParam(), Row(1, "one")), ForwardingStub(second, 1),
                            RecordOf(GetParam(), Row(3, "three"))};
    std::vector<Bytes> b = {RecordOf(GetParam(), Row(4, "four")),
                            RecordOf(GetParam(), Row(2, "two, grown too long for its page"), RowLocator{first, 1})};
    return std::make_pair(a, b);
  });
  // The stub keeps the row in its place in the scan; the forwarded record's
  // own slot adds nothing.
  EXPECT_EQ(heap.Ids(), (std::vector<std::string>{"1:one", "2:two, grown too long for its page", "3:three", "4:four"}));
  EXPECT_EQ(Selected(*heap.catalog).tablePages.size(), 2u);
}

TEST_P(ForwardedRows, ForwardedRecordWhoseStubIsGoneComesBackOnce) {
  Heap heap(GetParam(), [&](PageId first, PageId second) {
    std::vector<Bytes> a = {RecordOf(GetParam(), Row(1, "one")), ForwardingStub(second, 1)};
    std::vector<Bytes> b = {
        RecordOf(GetParam(), Row(4, "four")),
        RecordOf(GetParam(), Row(2, "kept by its stub"), RowLocator{first, 1}),
        // back pointer to a slot the first page does not have
        RecordOf(GetParam(), Row(5, "no such slot"), RowLocator{first, 7}),
        // back pointer to a slot that holds an ordinary record now
        RecordOf(GetParam(), Row(6, "slot reused"), RowLocator{first, 0}),
        // back pointer to a page past the end of the file
        RecordOf(GetParam(), Row(7, "page unreadable"), RowLocator{PageId{1, 900000}, 0}),
        // back pointer to a stub that names another record
        RecordOf(GetParam(), Row(8, "stub names another"), RowLocator{first, 1})};
    return std::make_pair(a, b);
  });
  std::vector<std::string> ids = heap.Ids();
  EXPECT_EQ(ids, (std::vector<std::string>{"1:one", "2:kept by its stub", "4:four", "5:no such slot", "6:slot reused",
                                           "7:page unreadable", "8:stub names another"}));
}

TEST_P(ForwardedRows, GridPagingCountsEachRowOnce) {
  Heap heap(GetParam(), [&](PageId first, PageId second) {
    std::vector<Bytes> a, b;
    for (int i = 0; i < 30; ++i) {
      if (i % 3 == 1) {
        a.push_back(ForwardingStub(second, static_cast<int16_t>(b.size())));
        b.push_back(RecordOf(GetParam(), Row(i, "moved " + std::to_string(i)),
                             RowLocator{first, static_cast<int16_t>(a.size() - 1)}));
      } else {
        a.push_back(RecordOf(GetParam(), Row(i, "row " + std::to_string(i))));
      }
    }
    return std::make_pair(a, b);
  });
  auto columns = SelectDetails(*heap.catalog, "dbo.Moved", "U ", {});
  RecordPaging paging = PagingFor(heap.state, *heap.reader, *heap.catalog);
  std::vector<DecodedRow> rows = paging.ShowTable(columns, false, {});
  ASSERT_EQ(rows.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(rows[static_cast<size_t>(i)].at(0), std::to_string(i));
}

INSTANTIATE_TEST_SUITE_P(Layouts, ForwardedRows, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Compressed" : "Classic"; });

}  // namespace
}  // namespace pagewright
