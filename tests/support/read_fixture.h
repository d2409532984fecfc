// What the tests need to open and read a database as the shell does: the
// options a test sets in an AppState, turned into read contexts, and the
// scan's results written back into that state the way the main frame does.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_READ_FIXTURE_H_
#define PAGEWRIGHT_TESTS_SUPPORT_READ_FIXTURE_H_

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "app/app_state.h"
#include "app/main_frame.h"
#include "app/read_texts.h"
#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "pagestore/boot_page.h"
#include "pagestore/database_reader.h"
#include "scripts/module_text.h"
#include "snapshot/snapshot_file.h"
#include "tabledata/record_paging.h"

namespace pagewright {

// The read context of the state's options, page source and collation.
inline ReadContext Ctx(const AppState& state, DamageReporter* damage = nullptr) {
  return state.MakeReadContext(damage);
}

// Runs the open sequence with the state's options; progress and failures
// reach `sink` as the shell's notifications. A stop requested during the
// sequence is cleared afterwards, as the scan job does.
inline std::unique_ptr<DatabaseReader> OpenForTest(AppState& state, const std::string& oldPath,
                                                   const std::string& newPath, NotificationSink* sink,
                                                   const DatabaseReader::SnapshotMapLoader& loader = {}) {
  // The reader keeps its event sink for the secondary-file scans: the
  // adapters live as long as the test process.
  static std::mutex mutex;
  static std::deque<NotificationEvents> adapters;
  NotificationEvents* events = nullptr;
  if (sink != nullptr) {
    std::lock_guard lock(mutex);
    events = &adapters.emplace_back(sink);
  }
  // The old file's maps come from a snapshot only in snapshot mode.
  auto reader = DatabaseReader::OpenDatabase(Ctx(state), oldPath, newPath, events,
                                             state.snapshotMode ? loader : DatabaseReader::SnapshotMapLoader());
  if (state.StopRequested()) state.stopRequested = false;
  return reader;
}

// The open sequence with an explicit read context.
inline std::unique_ptr<DatabaseReader> OpenForTest(const ReadContext& context, const std::string& oldPath,
                                                   const std::string& newPath, NotificationSink* sink) {
  AppState state;
  state.showDeleted = context.showDeleted;
  state.showAdvancedDeleted = context.showAdvancedDeleted;
  state.legacyCatalogMode = context.legacyCatalog;
  return OpenForTest(state, oldPath, newPath, sink);
}

// Writes what a catalog build found (boot page identity, catalog layout)
// into the state.
inline void TakeIdentity(AppState& state, const DatabaseCatalog& catalog) {
  state.legacyCatalogMode = catalog.legacyCatalog;
  if (catalog.identity) state.TakeBoot(*catalog.identity);
}

inline CollationChoice ChoiceOf(const AppState& state) {
  return CollationChoice{&state.collations, state.collationAutoDetect, state.manualCollationKey};
}

inline std::unique_ptr<DatabaseCatalog> BuildCatalog(AppState& state, DatabaseReader& reader,
                                                     DamageReporter* damage = nullptr) {
  auto catalog = DatabaseCatalog::Build(reader, Ctx(state, damage), ChoiceOf(state));
  TakeIdentity(state, *catalog);
  return catalog;
}

// Reads the boot page as the catalog build does and writes its identity
// into the state; false when there is none.
inline bool ReadBootPageInto(AppState& state, DatabaseReader& reader) {
  auto boot = ReadBootPage(reader, Ctx(state), ChoiceOf(state));
  reader.databaseName = boot ? boot->databaseName : std::string();
  if (!boot) return false;
  state.TakeBoot(*boot);
  return true;
}

// Decodes a boot page with the state's collation choice and writes what
// it found into the state, as a scan does.
inline BootIdentity DecodeBootInto(std::vector<uint8_t> bytes, AppState& state) {
  CBootPage page(std::move(bytes), ChoiceOf(state));
  state.TakeBoot(page.identity);
  return page.identity;
}

// A snapshot of the reader's maps with the state's options.
inline bool WriteSnapshotFor(const std::string& snapshotPath, const std::string& databasePath, bool advanced,
                             const DatabaseReader& reader, const AppState& state) {
  return WriteSnapshot(snapshotPath, SnapshotHeaderOf(state, databasePath, advanced), reader);
}

inline bool ReadSnapshotMapsFor(const std::string& snapshotPath, DatabaseReader& reader, NotificationSink* sink) {
  NotificationEvents events(sink);
  return ReadSnapshotMaps(snapshotPath, reader, ReadContext(), sink ? &events : nullptr);
}

inline void RetrieveModulesFor(DatabaseReader& reader, const AppState& state, const DatabaseCatalog& catalog,
                               std::vector<ModuleValue>& values, const std::vector<ColumnDescriptor>& columns,
                               NotificationSink* sink) {
  NotificationEvents events(sink);
  RetrieveModuleValues(reader, Ctx(state), catalog, values, columns, sink ? &events : nullptr);
}

// The working set a test selected last for a catalog, as the shell keeps
// the selected object's.
inline ObjectDetails& Selected(const DatabaseCatalog& catalog) {
  static std::map<const DatabaseCatalog*, ObjectDetails> selected;
  return selected[&catalog];
}

// Loads the named object's working set as the selected one and returns its
// descriptors.
inline std::vector<ColumnDescriptor> SelectDetails(const DatabaseCatalog& catalog, const std::string& name,
                                                   const std::string& typeCode,
                                                   const std::vector<ModuleValue>& moduleValues) {
  LoadedDetails loaded = LoadObjectDetails(catalog, name, typeCode, moduleValues);
  Selected(catalog) = std::move(loaded.details);
  return std::move(loaded.descriptors);
}

// Record paging over the table selected last, read with the state's
// options and page source.
inline RecordPaging PagingFor(const AppState& state, DatabaseReader& reader, const DatabaseCatalog& catalog,
                              DamageReporter* damage = nullptr) {
  ObjectDetails& selected = Selected(catalog);
  ReadContext read = Ctx(state, damage);
  read.objectId = selected.currentObject.id;
  return RecordPaging(reader, catalog, selected, read);
}

// The read context with large values shown as placeholders or not.
inline ReadContext RowsCtx(const AppState& state, bool placeholders = false) {
  ReadContext read = Ctx(state);
  read.placeholders = placeholders;
  return read;
}

}  // namespace pagewright

#endif  // PAGEWRIGHT_TESTS_SUPPORT_READ_FIXTURE_H_
