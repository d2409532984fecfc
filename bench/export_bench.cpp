// Rows exported per second, end to end (decode, format, write), and the
// peak memory it takes.
//
//   bench_export [ROWS] [FOLDER] [LOB_EVERY] [csv|jsonl|sqlite|all] [classic|page|both] [THREADS]
//   bench_export large [MIB] [COUNT] [FOLDER]
//
// Uses the bench table of bench_rows (written once into FOLDER, default the
// system temporary folder): 1,000,000 rows by default, a text pointer in
// every 10th. Each run opens the file, builds the catalog and exports the
// table into a fresh output in FOLDER; it prints rows/s and the peak
// resident memory (VmHWM) during the export, reset right before it.
//
// `large` writes a table of COUNT rows (4) whose image value is MIB MiB
// (24) each, and prints the peak memory of each format's export against
// the largest value.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_table.h"
#include "export/export_run.h"
#include "pagestore/collation_table.h"

using namespace pagewright;
using namespace pagewright::bench;

namespace {

struct RunResult {
  double rowsPerSecond = 0;
  int64_t rows = 0;
  int64_t peakKiB = 0, startKiB = 0;
  bool peakReset = false;
};

RunResult ExportOnce(const std::filesystem::path& mdf, const std::filesystem::path& exeFolder, ExportFormat format,
                     const std::filesystem::path& output, unsigned threads, const char* tableName = "dbo.Rows") {
  RunResult r;
  std::error_code ec;
  std::filesystem::remove_all(output, ec);
  OpenedDatabase db =
      OpenForExport(ReadContext(), LoadCollationTable(exeFolder), true, 0, mdf.string(), mdf.string(), nullptr);
  if (!db.reader || !db.catalog) {
    std::fprintf(stderr, "cannot open %s\n", mdf.string().c_str());
    std::exit(1);
  }
  const TableEntry* table = FindTable(db.tables, tableName);
  if (table == nullptr) std::exit(1);
  ExportSettings settings;
  settings.format = format;
  settings.output = output.string();
  settings.threads = threads;
  r.peakReset = ResetPeakResident();
  r.startKiB = StatusKiB("VmHWM");
  auto t0 = Clock::now();
  ExportResult result = RunExport(db, {table}, settings, {}, {});
  const double seconds = SecondsSince(t0);
  r.peakKiB = StatusKiB("VmHWM");
  if (!result.finished || result.tables.empty() || result.tables[0].failed) {
    std::fprintf(stderr, "export failed: %s %s\n", result.error.c_str(),
                 result.tables.empty() ? "" : result.tables[0].error.c_str());
    std::exit(1);
  }
  r.rows = result.tables[0].rows;
  r.rowsPerSecond = static_cast<double>(r.rows) / seconds;
  std::filesystem::remove_all(output, ec);
  return r;
}

// A table of `count` rows, each an image value of `mib` MiB behind a text
// pointer (every value its own bytes).
void WriteLargeValues(const std::filesystem::path& path, int64_t mib, int64_t count) {
  CatalogBuilder b;
  LobStore lob;
  TableDef t;
  t.name = "Large";
  t.columns = {IntColumn("Id", false), TypedColumn("Picture", kSqlImage, 16)};
  for (int64_t i = 0; i < count; ++i) {
    Bytes value(static_cast<size_t>(mib) << 20);
    for (size_t k = 0; k < value.size(); ++k) value[k] = static_cast<uint8_t>((k * 31 + static_cast<size_t>(i)) >> 3);
    t.rows.push_back({IntValue(static_cast<int32_t>(i)), ComplexValue(lob.TextPointerTo(value))});
  }
  b.AddTable(t);
  DatabaseBuilder db = b.Build();
  lob.WriteInto(db);
  WriteFileBytes(path, db.Build());
}

int LargeValues(int argc, char** argv) {
  const int64_t mib = argc > 2 ? std::atoll(argv[2]) : 24;
  const int64_t count = argc > 3 ? std::atoll(argv[3]) : 4;
  const std::filesystem::path folder = argc > 4 ? argv[4] : std::filesystem::temp_directory_path();
  const std::filesystem::path exeFolder = std::filesystem::absolute(argv[0]).parent_path();
  const auto path = folder / ("pagewright_bench_large_" + std::to_string(mib) + "x" + std::to_string(count) + ".mdf");
  if (!std::filesystem::exists(path)) WriteLargeValues(path, mib, count);
  const struct {
    const char* name;
    ExportFormat format;
    const char* output;
  } formats[] = {{"csv", ExportFormat::kCsv, "pagewright_bench_large_csv"},
                 {"jsonl", ExportFormat::kJsonl, "pagewright_bench_large_jsonl"},
                 {"sqlite", ExportFormat::kSqlite, "pagewright_bench_large.sqlite"}};
  for (const auto& f : formats) {
    RunResult r = ExportOnce(path, exeFolder, f.format, folder / f.output, 0, "dbo.Large");
    std::printf("%-6s %lld rows of %lld MiB: VmHWM %lld KiB (%lld KiB at the start): %.2f x the largest value%s\n",
                f.name, static_cast<long long>(r.rows), static_cast<long long>(mib),
                static_cast<long long>(r.peakKiB), static_cast<long long>(r.startKiB),
                static_cast<double>(r.peakKiB) / static_cast<double>(mib << 10), r.peakReset ? "" : " (peak not reset)");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "large") return LargeValues(argc, argv);
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
  const int64_t lobEvery = argc > 3 ? std::atoll(argv[3]) : 10;
  const std::string formats = argc > 4 ? argv[4] : "all";
  const std::string which = argc > 5 ? argv[5] : "both";
  const unsigned threads = argc > 6 ? static_cast<unsigned>(std::atoi(argv[6])) : 0;
  const std::filesystem::path exeFolder = std::filesystem::absolute(argv[0]).parent_path();
  struct Format {
    const char* name;
    ExportFormat format;
    const char* output;
  };
  const Format all[] = {{"csv", ExportFormat::kCsv, "pagewright_bench_export_csv"},
                        {"jsonl", ExportFormat::kJsonl, "pagewright_bench_export_jsonl"},
                        {"sqlite", ExportFormat::kSqlite, "pagewright_bench_export.sqlite"}};
  for (bool compressed : {false, true}) {
    if (which != "both" && which != (compressed ? "page" : "classic")) continue;
    const auto path = BenchTablePath(folder, compressed, rows, lobEvery);
    if (!EnsureDatabase(path, compressed, rows, lobEvery)) return 1;
    for (const Format& f : all) {
      if (formats != "all" && formats != f.name) continue;
      std::vector<double> rates;
      for (int run = 1; run <= 3; ++run) {
        RunResult r = ExportOnce(path, exeFolder, f.format, folder / f.output, threads);
        rates.push_back(r.rowsPerSecond);
        std::printf("%-15s %-6s run %d: %lld rows: %.0f rows/s | VmHWM %lld KiB (%lld KiB at the start)%s\n",
                    compressed ? "page-compressed" : "classic", f.name, run, static_cast<long long>(r.rows),
                    r.rowsPerSecond, static_cast<long long>(r.peakKiB), static_cast<long long>(r.startKiB),
                    r.peakReset ? "" : " (peak not reset)");
        if (r.rows != rows) std::printf("  expected %lld rows\n", static_cast<long long>(rows));
      }
      Summary s = Rates(rates);
      std::printf("%-15s %-6s best %.0f rows/s, median %.0f rows/s\n", compressed ? "page-compressed" : "classic",
                  f.name, s.best, s.median);
    }
  }
  return 0;
}
