// Rows decoded per second through record paging, and the memory it takes.
//
//   bench_rows [ROWS] [FOLDER] [LOB_EVERY] [classic|page|both]
//
// Writes (once; kept in FOLDER, default the system temporary folder) two
// database files of one heap table of ROWS rows (default 1,000,000): one of
// classic records, one of page-compressed records (anchor prefixes and
// dictionaries where they pay). The files are written by a child process so
// that the builder's memory never counts in this process. The columns:
//   Id int NOT NULL, Amount money, Quantity smallint NULL, Day date,
//   Active bit, Code char(8), Name varchar(50), Note nvarchar(40) NULL
//   (Cyrillic), Extra varbinary(max) NULL (in-row values of 20 bytes),
//   Body text NULL: every LOB_EVERY-th row (default 10) holds a text pointer
//   to one of 64 values of 200 to 3350 bytes on text pages, the others NULL.
// Then three runs per file: open it, build the catalog, prepare the table,
// and page through it as the grid does: ShowTable (first grid page, large
// values as placeholders), then NextPage until the end (large values read
// in full from their text pages). Each run prints rows/s, grid pages, and
// the peak resident memory (VmHWM) before and after the paging, with the
// peak reset to the current size right before ShowTable.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_util.h"
#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "bench_table.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

using namespace pagewright;
using namespace pagewright::build;
using namespace pagewright::bench;

namespace {

struct RunResult {
  double rowsPerSecond = 0;
  int64_t rows = 0;
  int gridPages = 0;
  int64_t peakBeforeKiB = 0, peakAfterKiB = 0;
  size_t dataPages = 0;
  bool peakReset = false;
};

RunResult PageThrough(const std::filesystem::path& path, const std::filesystem::path& exeFolder) {
  RunResult r;
  AppState state;
  state.collations = LoadCollationTable(exeFolder);
  auto reader = OpenForTest(state, path.string(), path.string(), nullptr);
  if (!reader->openSucceeded()) {
    std::fprintf(stderr, "cannot open %s\n", path.string().c_str());
    std::exit(1);
  }
  auto catalog = BuildCatalog(state, *reader);
  auto columns = SelectDetails(*catalog, "dbo.Rows", "U ", {});
  state.pageSource = 2;  // as after a completed scan
  RecordPaging paging = PagingFor(state, *reader, *catalog);
  r.peakReset = ResetPeakResident();
  r.peakBeforeKiB = StatusKiB("VmHWM");
  auto t0 = Clock::now();
  auto rows = paging.ShowTable(columns, false, {});
  r.rows = static_cast<int64_t>(rows.size());
  r.gridPages = 1;
  while (paging.HasNext()) {
    rows = paging.NextPage({});
    if (rows.empty()) break;
    r.rows += static_cast<int64_t>(rows.size());
    ++r.gridPages;
  }
  const double seconds = SecondsSince(t0);
  r.peakAfterKiB = StatusKiB("VmHWM");
  r.rowsPerSecond = static_cast<double>(r.rows) / seconds;
  r.dataPages = paging.pageList().size();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
  const int64_t lobEvery = argc > 3 ? std::atoll(argv[3]) : 10;
  const std::string which = argc > 4 ? argv[4] : "both";
  const std::filesystem::path exeFolder = std::filesystem::absolute(argv[0]).parent_path();
  struct Kind {
    const char* name;
    bool compressed;
  };
  const Kind kinds[] = {{"classic", false}, {"page-compressed", true}};
  for (const Kind& k : kinds) {
    if (which != "both" && which != (k.compressed ? "page" : "classic")) continue;
    auto path = folder / ("pagewright_bench_rows_" + std::string(k.compressed ? "page" : "classic") + "_" +
                          std::to_string(rows) + "_lob" + std::to_string(lobEvery) + ".mdf");
    if (!EnsureDatabase(path, k.compressed, rows, lobEvery)) return 1;
    std::vector<double> rates;
    for (int run = 1; run <= 3; ++run) {
      RunResult r = PageThrough(path, exeFolder);
      rates.push_back(r.rowsPerSecond);
      std::printf("%-15s run %d: %lld rows in %d grid pages from %zu data pages: %.0f rows/s | VmHWM before %lld KiB, "
                  "after %lld KiB (+%lld KiB)%s\n",
                  k.name, run, static_cast<long long>(r.rows), r.gridPages, r.dataPages, r.rowsPerSecond,
                  static_cast<long long>(r.peakBeforeKiB), static_cast<long long>(r.peakAfterKiB),
                  static_cast<long long>(r.peakAfterKiB - r.peakBeforeKiB),
                  r.peakReset ? "" : " (peak not reset: figures are the process's peak)");
      if (r.rows != rows) std::printf("  expected %lld rows\n", static_cast<long long>(rows));
    }
    Summary s = Rates(rates);
    std::printf("%-15s best %.0f rows/s, median %.0f rows/s\n", k.name, s.best, s.median);
  }
  return 0;
}
