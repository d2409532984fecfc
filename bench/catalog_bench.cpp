// The catalog build and the per-table detail preparation for a large
// generated catalog.
//
//   bench_catalog [TABLES] [COLUMNS] [FOLDER]
//
// Writes (once; kept in FOLDER, default the system temporary folder) a
// database of TABLES tables (default 5000) of COLUMNS columns each (default
// 20; mixed types, every other table with a primary key, every tenth with a
// foreign key to the table before it), by a child process. Then three runs:
// open the file (mapping scan, not counted), DatabaseCatalog::Build, and
// LoadObjectDetails for every user table in catalog order, as the object
// tree build does. Prints the time of each step and their total.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_util.h"
#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "support/builder/catalog_builder.h"
#include "support/read_fixture.h"

using namespace pagewright;
using namespace pagewright::build;
using namespace pagewright::bench;

namespace {

ColumnSpec ColumnOf(int k) {
  const std::string name = "Column" + std::to_string(k);
  switch (k % 10) {
    case 0: return IntColumn(name, false);
    case 1: return VarcharColumn(name, 50);
    case 2: return NvarcharColumn(name, 100);
    case 3: return DatetimeColumn(name);
    case 4: return DecimalColumn(name, 18, 4);
    case 5: return BitColumn(name);
    case 6: return BigintColumn(name);
    case 7: return MoneyColumn(name);
    case 8: return CharColumn(name, 10);
    default: return GuidColumn(name);
  }
}

void WriteDatabase(const std::filesystem::path& path, int tables, int columns) {
  CatalogBuilder b;
  for (int i = 0; i < tables; ++i) {
    TableDef t;
    t.name = "Table" + std::to_string(i);
    for (int k = 0; k < columns; ++k) t.columns.push_back(ColumnOf(k));
    if (i % 2 == 0) t.primaryKey = {0};
    if (i % 10 == 2) t.foreignKeys.push_back({"FK_Table" + std::to_string(i), {0}, "Table" + std::to_string(i - 2), {0}});
    b.AddTable(std::move(t));
  }
  b.Build().WriteTo(path);
}

bool EnsureDatabase(const std::filesystem::path& path, int tables, int columns) {
  return EnsureFileWritten(path, [&](const std::string& part) { WriteDatabase(part, tables, columns); });
}

}  // namespace

int main(int argc, char** argv) {
  const int tables = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int columns = argc > 2 ? std::atoi(argv[2]) : 20;
  const std::filesystem::path folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path();
  const std::filesystem::path exeFolder = std::filesystem::absolute(argv[0]).parent_path();
  const auto path = folder / ("pagewright_bench_catalog_" + std::to_string(tables) + "x" + std::to_string(columns) + ".mdf");
  if (!EnsureDatabase(path, tables, columns)) return 1;

  std::vector<double> builds, details, totals;
  for (int run = 1; run <= 3; ++run) {
    AppState state;
    state.collations = LoadCollationTable(exeFolder);
    auto t0 = Clock::now();
    auto reader = OpenForTest(state, path.string(), path.string(), nullptr);
    const double open = SecondsSince(t0);
    if (!reader->openSucceeded()) {
      std::fprintf(stderr, "cannot open %s\n", path.string().c_str());
      return 1;
    }
    auto t1 = Clock::now();
    auto catalog = BuildCatalog(state, *reader);
    const double build = SecondsSince(t1);
    auto t2 = Clock::now();
    int prepared = 0;
    size_t described = 0;
    const std::vector<CatalogObject> objects = catalog->objects;  // the tree build works on a copy
    for (const CatalogObject& o : objects) {
      if (o.typeCode != "U ") continue;
      described += SelectDetails(*catalog, o.name, o.typeCode, {}).size();
      ++prepared;
    }
    const double detail = SecondsSince(t2);
    if (prepared != tables || described != static_cast<size_t>(tables) * static_cast<size_t>(columns))
      std::printf("  expected %d tables of %d columns\n", tables, columns);
    builds.push_back(build);
    details.push_back(detail);
    totals.push_back(build + detail);
    std::printf("run %d: open (mapping scan) %.3f s | catalog build %.3f s (%zu objects, %zu column rows) | details "
                "of %d tables %.3f s (%zu descriptors) | build + details %.3f s\n",
                run, open, build, catalog->objects.size(), catalog->columns.size(), prepared, detail, described,
                build + detail);
  }
  Summary b = Durations(builds), d = Durations(details), t = Durations(totals);
  std::printf("catalog build: best %.3f s, median %.3f s | details: best %.3f s, median %.3f s | total: best %.3f s, "
              "median %.3f s\n",
              b.best, b.median, d.best, d.median, t.best, t.median);
  return 0;
}
