// Every table of every real file: the row count its manifest records, and
// with "Show deleted records" its deleted rows on top.
#include <gtest/gtest.h>

#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "support/corpus.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

struct TableRows {
  int64_t count = 0;
  std::vector<DecodedRow> firstPage;
};

TableRows CountRows(const AppState& state, DatabaseReader& reader, DatabaseCatalog& catalog, const std::string& table) {
  TableRows out;
  auto columns = SelectDetails(catalog, table, "U ", {});
  RecordPaging paging = PagingFor(state, reader, catalog);
  auto rows = paging.ShowTable(columns, false, {});
  out.firstPage = rows;
  out.count = static_cast<int64_t>(rows.size());
  while (paging.HasNext()) {
    auto next = paging.NextPage({});
    if (next.empty()) break;
    out.count += static_cast<int64_t>(next.size());
  }
  return out;
}

TEST(CorpusRows, EveryTableHoldsTheRowsItsManifestCounts) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    for (bool showDeleted : {false, true}) {
      AppState state;
      state.collations = LoadCollationTable(testing::BinaryDir());
      state.showDeleted = showDeleted;
      auto reader = OpenForTest(state, f.path.string(), f.path.string(), nullptr);
      ASSERT_TRUE(reader->openSucceeded());
      auto catalog = BuildCatalog(state, *reader);
      state.pageSource = 2;
      const auto& ambiguous = f.raw["rowsAmbiguous"];
      for (const auto& [table, expected] : f.tables) {
        int64_t ghosts = showDeleted ? f.raw["ghostRowsByTable"][table].AsInt() : 0;
        TableRows rows = CountRows(state, *reader, *catalog, table);
        if (ambiguous.Find(table) != nullptr) continue;
        EXPECT_EQ(rows.count, expected + ghosts) << table << (showDeleted ? " with deleted rows" : "");
      }
    }
  }
}

}  // namespace
}  // namespace pagewright
