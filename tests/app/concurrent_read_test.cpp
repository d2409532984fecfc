// Reads of real files with the read context: clean files count no damage,
// and two tables read at once on two threads give exactly the rows they
// give one after the other.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "support/builder/database_builder.h"
#include "support/corpus.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

namespace pagewright {
namespace {

struct Opened {
  AppState state;
  std::unique_ptr<DatabaseReader> reader;
  std::unique_ptr<DatabaseCatalog> catalog;
  DamageCounters scan;
};

std::unique_ptr<Opened> OpenScanned(const std::string& path) {
  auto o = std::make_unique<Opened>();
  o->state.collations = LoadCollationTable(testing::BinaryDir());
  o->reader = OpenForTest(o->state, path, path, nullptr);
  o->catalog = BuildCatalog(o->state, *o->reader, &o->scan);
  o->state.pageSource = 2;
  return o;
}

// Every row of a table, every grid page, read with its own working set and
// damage counters.
std::vector<DecodedRow> AllRows(const Opened& o, const std::string& table, DamageCounters& damage) {
  LoadedDetails loaded = LoadObjectDetails(*o.catalog, table, "U ", {});
  ReadContext read = o.state.MakeReadContext(&damage);
  read.objectId = loaded.details.currentObject.id;
  RecordPaging paging(*o.reader, *o.catalog, loaded.details, read);
  std::vector<DecodedRow> rows = paging.ShowTable(loaded.descriptors, false, {});
  while (paging.HasNext()) {
    auto next = paging.NextPage({});
    rows.insert(rows.end(), next.begin(), next.end());
  }
  return rows;
}

TEST(ReadContextCorpus, EveryCorpusFileScansAndReadsWithEveryCounterAtZero) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    auto o = OpenScanned(f.path.string());
    EXPECT_EQ(o->scan.Total(), 0u) << DamageSummary(o->scan.Counts());
    for (const auto& [table, expected] : f.tables) {
      DamageCounters damage;
      AllRows(*o, table, damage);
      EXPECT_EQ(damage.Total(), 0u) << table << ": " << DamageSummary(damage.Counts());
    }
  }
}

TEST(ReadContextCorpus, RowsLostToACutFileAreCountedAsUnreadablePages) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    if (f.file != "655_sampledbs_northwnd.mdf") continue;
    auto whole = OpenScanned(f.path.string());
    const std::vector<uint8_t> bytes = build::ReadFileBytes(f.path);
    const size_t pages = bytes.size() / kPageSize;
    size_t lostTables = 0;
    for (size_t tenth = 5; tenth <= 9; ++tenth) {
      SCOPED_TRACE("cut at " + std::to_string(tenth) + "/10");
      std::vector<uint8_t> cutBytes(bytes.begin(), bytes.begin() + static_cast<long>(pages * tenth / 10 * kPageSize));
      build::TempFile cut(cutBytes, "cut.mdf");
      auto o = OpenScanned(cut.str());
      for (const auto& [table, expected] : f.tables) {
        SCOPED_TRACE(table);
        DamageCounters before, after;
        const size_t rows = AllRows(*whole, table, before).size();
        const size_t left = AllRows(*o, table, after).size();
        if (left >= rows) continue;
        ++lostTables;
        EXPECT_GT(after.Count(DamageReason::kPageUnreadable), 0u) << "rows lost without a word";
        EXPECT_EQ(after.Total(), after.Count(DamageReason::kPageUnreadable)) << DamageSummary(after.Counts());
      }
    }
    EXPECT_GT(lostTables, 0u);
  }
}

TEST(ReadContextCorpus, TwoTablesReadAtOnceGiveTheRowsTheyGiveOneAfterTheOther) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    if (f.tables.size() < 2) continue;
    SCOPED_TRACE(f.file);
    auto o = OpenScanned(f.path.string());
    std::vector<std::string> names;
    for (const auto& [table, expected] : f.tables) names.push_back(table);
    const std::string a = names.front(), b = names.back();
    DamageCounters d1, d2, d3, d4;
    const auto aAlone = AllRows(*o, a, d1);
    const auto bAlone = AllRows(*o, b, d2);
    std::vector<DecodedRow> aTogether, bTogether;
    std::thread first([&] { aTogether = AllRows(*o, a, d3); });
    std::thread second([&] { bTogether = AllRows(*o, b, d4); });
    first.join();
    second.join();
    EXPECT_EQ(aTogether, aAlone) << a;
    EXPECT_EQ(bTogether, bAlone) << b;
  }
}

}  // namespace
}  // namespace pagewright
