// Process-wide application state shared by the shell and the file-format layers.
//
// One AppState lives for the whole run. The shell writes the options before a
// scan; workers and format layers read them. Only `running` and
// `stopRequested` cross threads while a worker runs (the Stop command writes
// them), so those two are atomic; everything else is written by one thread at
// a time because at most one worker runs.
#ifndef PAGEWRIGHT_STATE_APP_STATE_H_
#define PAGEWRIGHT_STATE_APP_STATE_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

namespace pagewright {

struct RowDecodeContext;  // defined by the record layer

// One row of the collation table: collation name and its Windows code page.
struct CollationEntry {
  std::string name;
  int32_t codePage = 0;
};

using CollationTable = std::map<int64_t, CollationEntry>;

struct AppState {
  std::atomic<int32_t> running{0};
  std::atomic<bool> stopRequested{false};
  int32_t logLineIndex = 0;

  // Options of the recovery dialog (or of the headless shell's flags).
  bool legacyCatalogMode = false;  // catalog read from SQL Server 2000 tables
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
  int32_t recoveryMode = 0;  // 1 standard, 2 advanced, 0 before any Open
  std::string mdfPath;        // new (damaged) file
  std::string backupMdfPath;  // old (backup) file
  std::string logFilePath;
  std::string logFolder;

  // Identity read from the boot page.
  std::string versionText;
  CollationTable collations;
  std::string collationName;
  bool collationFound = false;
  int64_t collationKey = 0;
  int32_t collationCodePage = 0;
  bool collationAutoDetect = true;
  int64_t manualCollationKey = 0;

  // Snapshots.
  bool snapshotMode = false;
  std::string snapshotPath;
  std::string snapshotSourcePath;

  // 1: file id 1 means the old file; any other value the new file.
  int32_t pageSource = 1;
  // Set while the first grid page after a tree click loads: large values
  // then show placeholders instead of being read.
  bool placeholderMode = false;
  // Columns of the table whose pages are being decoded, or null.
  const RowDecodeContext* currentDecodeContext = nullptr;

  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_STATE_APP_STATE_H_
