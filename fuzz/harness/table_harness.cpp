#include "harness/table_harness.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "harness/fuzz_databases.h"
#include "pagestore/bytes.h"
#include "pagestore/collation_table.h"
#include "scripts/module_text.h"
#include "snapshot/snapshot_file.h"
#include "tabledata/record_paging.h"
#include "support/read_fixture.h"

namespace pagewright::fuzz {

namespace {

namespace fs = std::filesystem;

// A folder of this process for the damaged file and the snapshot, in memory
// (/dev/shm) where there is one; removed at exit. Nothing else lies in it,
// so the search for secondary files finds none.
const fs::path& WorkFolder() {
  // Never destroyed: the exit handler is registered while the path is being
  // made, so the path's destructor would run before the handler.
  static const fs::path* folder = [] {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                       : fs::temp_directory_path();
    auto* f = new fs::path(base / ("pagewright-fuzz-" + std::to_string(getpid())));
    fs::create_directories(*f);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(WorkFolder(), ignored);
    });
    return f;
  }();
  return *folder;
}

void WriteFile(const fs::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

const CollationTable& Collations() {
  static const CollationTable table = [] {
    AppState s;
    s.collations = LoadCollationTable(ExecutableFolder());
    return s.collations;
  }();
  return table;
}

struct Options {
  bool legacyBase = false;
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
  bool advanced = false;
  bool sql2000 = false;
};

Options ReadOptions(uint8_t b) {
  return Options{(b & 0x01) != 0, (b & 0x02) != 0, (b & 0x04) != 0, (b & 0x08) != 0, (b & 0x10) != 0};
}

void Prepare(AppState& state, const Options& o) {
  state.collations = Collations();
  state.showDeleted = o.showDeleted;
  state.showAdvancedDeleted = o.showAdvancedDeleted;
  state.recoveryMode = o.advanced ? 2 : 1;
  state.legacyCatalogMode = o.sql2000;
  state.pageSource = 1;
}

void CheckRows(const std::vector<DecodedRow>& rows, size_t columns, const std::string& table, Violations& v) {
  if (rows.size() > static_cast<size_t>(kGridPageRecords))
    v.Add(table + ": a grid page holds " + std::to_string(rows.size()) + " rows");
  for (const DecodedRow& row : rows) {
    if (row.size() != columns) {
      v.Add(table + ": a row has " + std::to_string(row.size()) + " values for " + std::to_string(columns) +
            " columns");
      return;
    }
    for (const std::string& cell : row) {
      if (!IsWellFormedUtf8(cell)) {
        v.Add(table + ": a value is not well-formed UTF-8");
        return;
      }
    }
  }
}

// Every grid page of one table, then one page back; then its first pages
// decoded without placeholders, so that large values are read.
size_t WalkTable(AppState& state, DatabaseReader& reader, DatabaseCatalog& catalog,
                 const std::vector<ColumnDescriptor>& columns, bool advanced, const std::string& table, TableWalk& walk,
                 Violations& v) {
  RecordPaging paging = PagingFor(state, reader, catalog);
  std::vector<DecodedRow> rows = paging.ShowTable(columns, advanced, {});
  CheckRows(rows, columns.size(), table, v);
  size_t total = rows.size();
  // A page holds fewer than 8192 records, so the grid pages of a page list
  // are bounded; paging that goes past the bound does not end.
  const size_t bound = paging.pageList().size() * kPageSize / static_cast<size_t>(kGridPageRecords) + 2;
  size_t gridPages = 1;
  while (paging.HasNext()) {
    if (gridPages > bound) {
      v.Add(table + ": paging goes on past " + std::to_string(bound) + " grid pages");
      break;
    }
    rows = paging.NextPage({});
    CheckRows(rows, columns.size(), table, v);
    total += rows.size();
    ++gridPages;
  }
  if (paging.HasPrevious()) CheckRows(paging.PreviousPage({}), columns.size(), table, v);
  if (!IsWellFormedUtf8(paging.PageLabel())) v.Add(table + ": page label is not well-formed UTF-8");

  RowDecodeContext context{columns};
  const DecodeMode mode{!state.legacyCatalogMode && !Selected(catalog).tableRowsetColumns.empty(), false};
  const auto& pages = paging.pageList();
  for (size_t i = 0; i < pages.size() && i < 2; ++i) {
    auto pageRows = ReadPageRows(reader, RowsCtx(state), pages[i], context, mode);
    CheckRows(pageRows, columns.size(), table, v);
    if (i == 0) walk.firstPageValues[table] = std::move(pageRows);
  }
  return total;
}

// What the shell does after a scan and on tree clicks.
void Walk(AppState& state, DatabaseReader& reader, const Options& options, TableWalk& walk, Violations& v) {
  std::unique_ptr<DatabaseCatalog> catalog = BuildCatalog(state, reader);
  if (!catalog) return;
  walk.objects = catalog->objects.size();
  std::vector<ModuleValue> values;
  RetrieveModulesFor(reader, state, *catalog, values, ModuleTableColumns(*catalog), nullptr);
  walk.moduleValues = values.size();
  state.pageSource = 2;

  const std::vector<CatalogObject> objects = catalog->objects;
  size_t tables = 0;
  for (size_t i = 0; i < objects.size() && i < kMaxObjectsWalked; ++i) {
    const CatalogObject& o = objects[i];
    if (!IsWellFormedUtf8(o.name)) v.Add("an object name is not well-formed UTF-8");
    if (o.name.empty()) continue;
    std::vector<ColumnDescriptor> columns = SelectDetails(*catalog, o.name, o.typeCode, values);
    for (const auto& c : columns) {
      if (!IsWellFormedUtf8(c.name) || !IsWellFormedUtf8(c.typeText) || !IsWellFormedUtf8(c.valueText))
        v.Add(o.name + ": a column description is not well-formed UTF-8");
    }
    const bool isTable =
        Selected(*catalog).currentObject.id != -1 && PathOfTypeCode(Selected(*catalog).currentObject.typeCode) == DetailsPath::kTable;
    if (isTable) {
      if (!columns.empty() && tables++ < kMaxTablesWalked)
        walk.rows[o.name] += WalkTable(state, reader, *catalog, columns, options.advanced, o.name, walk, v);
      continue;
    }
    const std::string text = ModuleTextFor(std::to_string(o.id), values);
    if (!IsWellFormedUtf8(text)) v.Add(o.name + ": module text is not well-formed UTF-8");
    if (!text.empty()) walk.moduleTexts[o.name] = text;
    if (o.typeCode == "PK" || o.typeCode == "UQ") {
      std::vector<std::string> keyColumns = KeyColumnsOfConstraint(*catalog, Selected(*catalog), o.parentObjectId, o.bareName);
      const std::string script =
          o.typeCode == "PK" ? PrimaryKeyScript(o.name, keyColumns) : UniqueScript(o.name, o.bareName, keyColumns);
      if (!IsWellFormedUtf8(script)) v.Add(o.name + ": key script is not well-formed UTF-8");
    }
  }
}

}  // namespace

std::vector<uint8_t> DamagedDatabase(std::span<const uint8_t> input, size_t* consumed) {
  const Options options = ReadOptions(U8At(input, 0));
  const FuzzDatabase& base = options.legacyBase ? LegacyFuzzDatabase() : ModernFuzzDatabase();
  std::vector<uint8_t> file = base.bytes;
  const size_t n = base.pages.size();
  size_t shift = 0;
  auto pageAt = [&](uint8_t choice) { return shift + static_cast<size_t>(base.pages[choice % n]) * kPageSize; };
  const int operations = U8At(input, 1) & 0x0F;
  size_t at = 2;
  for (int k = 0; k < operations && at < input.size(); ++k) {
    const uint8_t op = input[at++];
    if (op < 0xF0) {
      const size_t offset = U16At(input, static_cast<int64_t>(at)) % kPageSize;
      size_t length = U8At(input, static_cast<int64_t>(at) + 2);
      at += 3;
      length = std::min(length, input.size() - std::min(at, input.size()));
      const size_t to = pageAt(op) + offset;
      for (size_t i = 0; i < length && to + i < file.size(); ++i) file[to + i] = input[at + i];
      at += length;
    } else if (op == 0xF0) {
      const size_t size = size_t{U16At(input, static_cast<int64_t>(at))} * 64;
      at += 2;
      if (size < file.size()) file.resize(size);
    } else if (op == 0xF1) {
      const size_t k2 = U16At(input, static_cast<int64_t>(at)) % kPageSize;
      at += 2;
      file.insert(file.begin(), k2, 0);
      shift += k2;
    } else if (op == 0xF2) {
      const size_t from = pageAt(U8At(input, static_cast<int64_t>(at)));
      const size_t to = pageAt(U8At(input, static_cast<int64_t>(at) + 1));
      at += 2;
      if (from + kPageSize <= file.size() && to + kPageSize <= file.size())
        std::copy_n(file.begin() + static_cast<long>(from), kPageSize, file.begin() + static_cast<long>(to));
    } else {
      const size_t to = pageAt(U8At(input, static_cast<int64_t>(at)));
      at += 1;
      if (to + kPageSize <= file.size()) std::fill_n(file.begin() + static_cast<long>(to), kPageSize, 0);
    }
  }
  if (consumed) *consumed = std::min(at, input.size());
  return file;
}

TableHarnessReport RunTableHarness(std::span<const uint8_t> input) {
  TableHarnessReport report;
  const Options options = ReadOptions(U8At(input, 0));
  size_t consumed = 0;
  const std::vector<uint8_t> file = DamagedDatabase(input, &consumed);
  const std::string mdf = (WorkFolder() / "damaged.mdf").string();
  WriteFile(mdf, file);

  {
    AppState state;
    Prepare(state, options);
    auto reader = OpenForTest(state, mdf, mdf, nullptr);
    report.damaged.opened = reader->openSucceeded();
    if (report.damaged.opened) Walk(state, *reader, options, report.damaged, report.violations);
  }

  const std::span<const uint8_t> snapshot = input.subspan(consumed);
  if (!snapshot.empty()) {
    report.snapshotGiven = true;
    const std::string path = (WorkFolder() / "damaged.KVSNAPDB").string();
    WriteFile(path, snapshot);
    if (auto header = ReadSnapshotHeader(path); header && !IsWellFormedUtf8(header->databasePath))
      report.violations.Add("snapshot database path is not well-formed UTF-8");
    AppState state;
    Prepare(state, options);
    state.snapshotMode = true;
    state.snapshotPath = path;
    state.snapshotSourcePath = mdf;
    auto reader = OpenForTest(
        state, mdf, mdf, nullptr, [&path](DatabaseReader& r) { return ReadSnapshotMapsFor(path, r, nullptr); });
    report.snapshot.opened = reader->openSucceeded();
    if (report.snapshot.opened) Walk(state, *reader, options, report.snapshot, report.violations);
  }
  return report;
}

}  // namespace pagewright::fuzz
