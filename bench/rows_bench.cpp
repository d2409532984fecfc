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
#include "support/builder/catalog_builder.h"
#include "support/builder/compression_builder.h"
#include "support/builder/lob_builder.h"
#include "support/read_fixture.h"
#include "tabledata/record_paging.h"

using namespace pagewright;
using namespace pagewright::build;
using namespace pagewright::bench;

namespace {

constexpr int kRecordAreaEnd = 8096;
constexpr int kLobValues = 64;

std::vector<ColumnSpec> Columns() {
  ColumnSpec quantity = IntColumn("Quantity");
  quantity.type = kSqlSmallint;
  quantity.maxLength = 2;
  ColumnSpec body;
  body.name = "Body";
  body.type = kSqlText;
  body.maxLength = 16;
  return {IntColumn("Id", false),   MoneyColumn("Amount"),      quantity,
          DateColumn("Day"),        BitColumn("Active"),        CharColumn("Code", 8),
          VarcharColumn("Name", 50), NvarcharColumn("Note", 40), VarbinaryColumn("Extra", -1),
          body};
}

struct RowSource {
  int64_t lobEvery = 10;
  std::vector<Bytes> pointers;  // text pointers to the values on text pages

  std::vector<Value> Row(int64_t i) const {
    char code[16];
    std::snprintf(code, sizeof code, "C%07lld", static_cast<long long>(i % 10000000));
    Bytes extra(20);
    for (size_t k = 0; k < extra.size(); ++k) extra[k] = static_cast<uint8_t>(i + static_cast<int64_t>(k) * 3);
    const bool lob = lobEvery > 0 && i % lobEvery == 0;
    return {IntValue(static_cast<int32_t>(i)),
            MoneyValue((i % 100000) * 125 - 3000000),
            i % 7 == 0 ? Null() : SmallintValue(static_cast<int16_t>(i % 500)),
            DateValue(730000 + static_cast<int32_t>(i % 3650)),
            BitValue(i % 3 == 0),
            TextValue(code),
            TextValue("Customer " + std::to_string(i % 50000)),
            i % 5 == 0 ? Null() : UnicodeValue(u"Заказ номер " + std::u16string(1, u'0' + static_cast<char16_t>(i % 10))),
            i % 4 == 0 ? Null() : RawValue(extra),
            lob ? ComplexValue(pointers[static_cast<size_t>(i / lobEvery) % pointers.size()]) : Null()};
  }
};

// The text values the Body pointers name, written as text pages at the end
// of the file as it stands.
std::vector<Bytes> WriteLobValues(DatabaseBuilder& db) {
  LobStore lob(db.pageCount());
  std::vector<Bytes> pointers;
  for (int k = 0; k < kLobValues; ++k) {
    std::string text;
    while (text.size() < 200 + static_cast<size_t>(k) * 50) text += "Body text " + std::to_string(k) + " of a row. ";
    pointers.push_back(lob.TextPointerTo(Ascii(text)));
  }
  lob.WriteInto(db);
  return pointers;
}

std::vector<PageBuilder> ClassicPages(const TableDef& t, const RowSource& source, int64_t rows) {
  std::vector<PageBuilder> pages;
  pages.emplace_back(1, 0);
  for (int64_t i = 0; i < rows; ++i) {
    Bytes r = EncodeRow(t.columns, source.Row(i));
    const PageBuilder& last = pages.back();
    if (last.freeOffset() + static_cast<int>(r.size()) + 2 * (last.slotCount() + 1) > kRecordAreaEnd)
      pages.emplace_back(1, 0);
    pages.back().AddRecord(r);
  }
  return pages;
}

std::vector<PageBuilder> PageCompressedPages(const TableDef& t, const RowSource& source, int64_t rows) {
  CompressedPagePacker packer(t.columns, Compression::kPage);
  for (int64_t i = 0; i < rows; ++i) packer.Add(source.Row(i));
  return packer.Finish();
}

void WriteDatabase(const std::filesystem::path& path, bool compressed, int64_t rows, int64_t lobEvery) {
  CatalogBuilder b;
  TableDef t;
  t.name = "Rows";
  t.columns = Columns();
  t.dataPages = [&](const TableDef& table, DatabaseBuilder& db) {
    RowSource source;
    source.lobEvery = lobEvery;
    source.pointers = WriteLobValues(db);
    return compressed ? PageCompressedPages(table, source, rows) : ClassicPages(table, source, rows);
  };
  b.AddTable(t);
  b.Build().WriteTo(path);
}

// Writes the file in a child process, so that the builder's memory is not
// this process's.
bool EnsureDatabase(const std::filesystem::path& path, bool compressed, int64_t rows, int64_t lobEvery) {
  return EnsureFileWritten(path, [&](const std::string& part) { WriteDatabase(part, compressed, rows, lobEvery); });
}

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
