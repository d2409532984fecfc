// Process-wide application state of the shell.
//
// One AppState lives for the whole run. The shell writes the options before a
// scan and builds from them the read context every format-layer call takes;
// the format layers never see this state. Only `running` and
// `stopRequested` cross threads while a worker runs (the Stop command writes
// them), so those two are atomic; everything else is written by one thread at
// a time because at most one worker runs.
#ifndef PAGEWRIGHT_APP_APP_STATE_H_
#define PAGEWRIGHT_APP_APP_STATE_H_

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include "pagestore/boot_page.h"
#include "state/collation.h"
#include "state/read_context.h"

namespace pagewright {

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

  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }

  // Takes what a boot page said: the version text, and the collation when
  // the collation table knows it (an unknown one leaves the state as it was).
  void TakeBoot(const BootIdentity& id) {
    versionText = id.versionText;
    if (!id.collation.found) return;
    collationFound = true;
    collationKey = id.collation.key;
    collationCodePage = id.collation.codePage;
    collationName = id.collationName;
  }

  // The read context of the options and identity held now: deleted-record
  // options, catalog layout, page source, code pages and the stop flag.
  ReadContext MakeReadContext(DamageReporter* damage = nullptr) const {
    ReadContext c;
    c.showDeleted = showDeleted;
    c.showAdvancedDeleted = showAdvancedDeleted;
    c.legacyCatalog = legacyCatalogMode;
    c.source = pageSource == 1 ? PageSource::kOldFile : PageSource::kNewFile;
    c.collations = &collations;
    c.collation = DatabaseCollation{collationFound, collationKey, collationCodePage};
    c.stop = &stopRequested;
    c.damage = damage;
    return c;
  }
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_APP_STATE_H_
