#include "app/main_frame.h"

#include "app/loss_report.h"

#include <algorithm>
#include <filesystem>

#include "app/output_guard.h"
#include "pagestore/collation_table.h"
#include "pagestore/file_access.h"
#include "scripts/module_text.h"
#include "snapshot/snapshot_file.h"

namespace pagewright {

namespace {
std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}
}  // namespace

std::string ApplyRecoveryOptions(AppState& state, const RecoveryOptions& o) {
  if (Upper(o.mdfPath).find(".MDF") == std::string::npos || !IsFile(o.mdfPath))
    return "Please select valid SQL file path to continue the recovery process.";
  if (Upper(o.backupMdfPath).find(".MDF") == std::string::npos || !IsFile(o.backupMdfPath))
    return "Please select valid backup SQL file path to continue the recovery process.";
  state.backupMdfPath = o.backupMdfPath;
  std::error_code ec;
  if (o.logFolder.empty() || !std::filesystem::is_directory(o.logFolder, ec))
    return "Please select valid Log file path to continue the recovery process.";
  std::string folder = o.logFolder;
  if (folder.back() != '/' && folder.back() != '\\') folder.push_back('/');
  state.logFolder = folder;
  state.mdfPath = o.mdfPath;
  state.recoveryMode = o.advanced ? 2 : 1;
  state.legacyCatalogMode = o.sql2000;
  state.showDeleted = o.showDeleted;
  state.showAdvancedDeleted = o.showAdvancedDeleted;
  state.collationAutoDetect = o.collationAutoDetect;
  if (!o.collationAutoDetect) state.manualCollationKey = o.manualCollationKey;
  return {};
}

SnapshotHeader SnapshotHeaderOf(const AppState& state, const std::string& databasePath, bool advanced) {
  SnapshotHeader header;
  header.databasePath = databasePath;
  header.advanced = advanced;
  header.collationAutoDetect = state.collationAutoDetect;
  header.manualCollationKey = state.manualCollationKey;
  header.legacyCatalogMode = state.legacyCatalogMode;
  header.showDeleted = state.showDeleted;
  header.showAdvancedDeleted = state.showAdvancedDeleted;
  return header;
}

MainFrame::MainFrame(AppState& state, UiPort& ui, UiWaiter waiter)
    : state_(state), ui_(ui), waiter_(std::move(waiter)) {
  ui_.SetCaption(shell_text::kStartCaption);
  state_.logLineIndex = 0;
}

MainFrame::~MainFrame() {
  state_.stopRequested = true;
  JoinWorker();
  FreeDatabase();
}

// ---------------------------------------------------------------------------
// Workers

bool MainFrame::Busy() {
  if (state_.running.load() == 0) return false;
  ui_.ShowMessage(shell_text::kPleaseWait, MessageIcon::kInformation);
  return true;
}

void MainFrame::JoinWorker() {
  if (!worker_.joinable()) return;
  if (workerActive_.load() && waiter_) waiter_([this] { return !workerActive_.load(); });
  worker_.join();
}

void MainFrame::WaitForWorker() { JoinWorker(); }

void MainFrame::StartWorker(std::function<void()> body) {
  JoinWorker();  // a stopped worker may still be unwinding
  workerActive_ = true;
  worker_ = std::thread([this, body = std::move(body)] {
    body();
    workerActive_ = false;
  });
}

void MainFrame::EndWorker() {
  ui_.ShowProgress(false);
  state_.running = 0;
}

void MainFrame::Stop() {
  if (state_.running.load() == 0) return;
  if (!ui_.AskYesNo(shell_text::kStopQuestion, MessageIcon::kInformation)) return;
  state_.running = 0;
  state_.stopRequested = true;
}

bool MainFrame::RequestClose() {
  if (state_.running.load() != 0) {
    ui_.ShowMessage(shell_text::kCloseWhileRunning, MessageIcon::kInformation);
    return false;
  }
  if (!ui_.AskYesNo(shell_text::kCloseQuestion, MessageIcon::kQuestion)) return false;
  JoinWorker();
  FreeDatabase();
  std::error_code ec;
  if (!state_.logFilePath.empty() && std::filesystem::exists(state_.logFilePath, ec))
    ui_.ShowMessage("Log file path : " + state_.logFilePath, MessageIcon::kInformation);
  return true;
}

// ---------------------------------------------------------------------------
// Activity log and output pane

void MainFrame::LogLine(const std::string& text) {
  ui_.InsertPaneLine(state_.logLineIndex++, text);
  log_.Line(text);
  ReportLogError();
}

void MainFrame::SayLoss(const std::string& text) {
  losses_.push_back(text);
  LogLine(text);
}

void MainFrame::PaneLine(const std::string& text) { ui_.InsertPaneLine(state_.logLineIndex++, text); }

void MainFrame::FailureLine(const std::string& text) {
  ui_.InsertFailureLine(state_.logLineIndex++, text);
  log_.Line(text);
  ReportLogError();
}

void MainFrame::FailureMessage(const std::string& text, MessageIcon icon) { ui_.ShowFailure(text, icon); }

void MainFrame::ReportLogError() {
  if (logErrorReported_ || log_.error().empty()) return;
  logErrorReported_ = true;
  // A pane line only: the recovery goes on without its log, and a message
  // box would hold the worker until it is closed.
  ui_.InsertFailureLine(state_.logLineIndex++, log_.error() + " The recovery goes on without it.");
}

void MainFrame::OpenLog(const std::string& folder) {
  logErrorReported_ = false;
  log_.Open(folder, DatabaseFiles());
  ReportLogError();
}

std::vector<std::filesystem::path> MainFrame::DatabaseFiles() const {
  std::vector<std::filesystem::path> files;
  auto add = [&files](const std::filesystem::path& p) {
    if (!p.empty()) files.push_back(p);
  };
  add(mdfCopy_);
  add(state_.snapshotMode ? state_.snapshotSourcePath : backupCopy_);
  if (reader_) {
    add(reader_->oldPath);
    add(reader_->newPath);
    const std::filesystem::path damagedFolder = std::filesystem::path(mdfCopy_).parent_path();
    for (const auto& [id, row] : reader_->secondaryFileMap) {
      add(row.physicalName);
      add(damagedFolder / std::filesystem::path(row.physicalName).filename());
    }
  }
  return files;
}

void MainFrame::Notify(const Notification& n) {
  switch (n.id) {
    case NotificationId::kProgressRange: ui_.SetProgressRange(n.wParam, n.lParam); break;
    case NotificationId::kStatusText: ui_.SetRecordsText(n.text); break;
    case NotificationId::kOpenFailed:
      // The reader that failed is freed by the scan job once the open
      // sequence has returned.
      ui_.SetProgressPos(0);
      ui_.SetRecordsText("");
      FailureMessage(n.text, MessageIcon::kError);
      break;
    case NotificationId::kProgressPos: ui_.SetProgressPos(n.wParam); break;
    case NotificationId::kLogLine: LogLine(n.text); break;
    case NotificationId::kNodeSelected: SelectNode(n.lParam); break;
    case NotificationId::kPagePrevious: PagePrevious(); break;
    case NotificationId::kPageNext: PageNext(); break;
  }
}

// ---------------------------------------------------------------------------
// Open, snapshots and the scan job

void MainFrame::FreeDatabase() {
  catalog_.reset();
  reader_.reset();
}

void MainFrame::ResetPreviousScan() {
  scanModuleValues_.clear();
  moduleValues_.clear();
  moduleValuesLoaded_ = false;
  paging_.reset();
  FreeDatabase();
  ui_.ClearGrid();
  gridColumnCount_ = 0;
  ui_.SetRecordsText("");
  ui_.DeleteAllTreeItems();
  nodes_ = FixedNodes();
  displayedItem_ = kNoTreeItem;
}

void MainFrame::ConfirmOptions() {
  JoinWorker();
  mdfCopy_ = state_.mdfPath;
  backupCopy_ = state_.backupMdfPath;
}

bool MainFrame::Open() {
  if (Busy()) return false;
  JoinWorker();
  state_.running = 1;
  ConfirmOptions();
  ui_.DeleteAllTreeItems();
  ui_.SetRecordsText("");
  ui_.SetPageLabel("");
  ui_.DeleteAllGridRows();
  ui_.EnablePagingButtons(false, false);
  ui_.SetCaption(mdfCopy_);
  ui_.ShowProgress(true);
  OpenLog(state_.logFolder);
  state_.logFilePath = log_.path().string();
  LogLine(mdfCopy_ + " File is selected for recovery....");
  state_.snapshotMode = false;
  ResetPreviousScan();
  StartWorker([this] { ScanJob(); });
  return true;
}

bool MainFrame::LoadSnapshot(const std::string& snapshotPath, const std::string& logFolder) {
  if (Busy()) return false;
  // Opening a pipe or a device to read it would wait for a writer.
  PathKind kind = KindOfPath(snapshotPath);
  if (kind != PathKind::kRegular && kind != PathKind::kMissing) {
    FailureMessage("Cannot read " + snapshotPath + ": it is " + PathKindName(kind) + ", not a regular file.");
    return false;
  }
  JoinWorker();
  state_.running = 1;
  log_.Close();
  std::filesystem::path folder = logFolder.empty() ? ExecutableFolder() : std::filesystem::path(logFolder);
  state_.logFolder = folder.empty() ? std::string("./") : folder.string() + "/";
  OpenLog(state_.logFolder);
  state_.snapshotMode = true;
  if (auto header = ReadSnapshotHeader(snapshotPath)) {
    state_.snapshotPath = snapshotPath;
    state_.snapshotSourcePath = header->databasePath;
    state_.collationAutoDetect = header->collationAutoDetect;
    if (!header->collationAutoDetect) state_.manualCollationKey = header->manualCollationKey;
    state_.legacyCatalogMode = header->legacyCatalogMode;
    state_.showDeleted = header->showDeleted;
    state_.showAdvancedDeleted = header->showAdvancedDeleted;
  } else {
    state_.snapshotPath = snapshotPath;
  }
  StartWorker([this] { ScanJob(); });
  return true;
}

bool MainFrame::SaveSnapshot(const std::string& snapshotPath, bool force) {
  if (Busy()) return false;
  JoinWorker();
  state_.running = 1;
  PaneLine(snapshot_text::kSaving);
  std::optional<std::string> failure;
  if (reader_) {
    failure = OutputRefusal(snapshotPath, DatabaseFiles());
    if (!failure)
      failure = ReplaceRefusal(snapshotPath, [](const std::filesystem::path& p) { return IsSnapshotFile(p.string()); },
                               "snapshot file", force);
    if (!failure) {
      failure = WriteReplacing(snapshotPath, [this](const std::filesystem::path& temporary) {
        return WriteSnapshot(temporary.string(), SnapshotHeaderOf(state_, mdfCopy_, advancedMode_), *reader_);
      });
    }
  }
  const bool saved = reader_ && !failure;
  state_.running = 0;
  if (saved) {
    PaneLine(snapshot_text::kSaved + snapshotPath);
    ui_.ShowMessage(snapshot_text::kSaved + snapshotPath, MessageIcon::kInformation);
  } else {
    if (failure) ui_.InsertFailureLine(state_.logLineIndex++, *failure);
    ui_.InsertFailureLine(state_.logLineIndex++, snapshot_text::kCannotSave);
    FailureMessage(snapshot_text::kCannotSave);
  }
  return saved;
}

void MainFrame::ScanJob() {
  lastScanCompleted_ = false;
  state_.legacyCatalogMode = false;
  ResetPreviousScan();
  // A new scan reads the backup file until it completes, and finds its own
  // collation (an earlier scan's must not carry over to another database).
  state_.pageSource = 1;
  state_.collationFound = false;
  state_.collationName.clear();
  state_.collationKey = 0;
  state_.collationCodePage = 0;
  state_.versionText.clear();
  scanDamage_.Clear();
  tableDamage_.Clear();

  losses_.clear();
  const std::string oldPath = state_.snapshotMode ? state_.snapshotSourcePath : backupCopy_;
  if (oldPath.empty()) {
    FailureMessage(shell_text::kBrowseOld);
    EndWorker();
    return;
  }
  LogLine("Browse File Path:\t" + oldPath);
  if (state_.recoveryMode == 2) {
    LogLine("Advanced mode is selected for file recovery.");
    advancedMode_ = true;
  } else {
    LogLine("Standard mode is selected for file recovery.");
    advancedMode_ = false;
  }
  LogLine("Scanning of file starts...");
  if (mdfCopy_.empty()) {
    FailureMessage(shell_text::kBrowseNew);
    EndWorker();
    return;
  }
  auto aborted = [&] {
    FreeDatabase();
    ui_.DeleteAllTreeItems();
    EndWorker();
    FailureLine(shell_text::kAborted);
    FailureMessage(shell_text::kAborted);
  };
  const ReadContext scan = state_.MakeReadContext(&scanDamage_);
  DatabaseReader::SnapshotMapLoader fromSnapshot;
  if (state_.snapshotMode) {
    fromSnapshot = [snapshotPath = state_.snapshotPath, scan, this](DatabaseReader& r) {
      return ReadSnapshotMaps(snapshotPath, r, scan, &events_);
    };
  }
  reader_ = DatabaseReader::OpenDatabase(scan, oldPath, mdfCopy_, &events_, fromSnapshot);
  // A stop during the open sequence ends only that sequence.
  if (state_.StopRequested()) state_.stopRequested = false;
  if (!reader_->openSucceeded()) {
    aborted();
    return;
  }
  catalog_ = DatabaseCatalog::Build(*reader_, scan,
                                    CollationChoice{&state_.collations, state_.collationAutoDetect,
                                                    state_.manualCollationKey});
  if (!catalog_) {
    aborted();
    return;
  }
  state_.legacyCatalogMode = catalog_->legacyCatalog;
  if (catalog_->identity) state_.TakeBoot(*catalog_->identity);
  for (const std::string& loss : OpenLosses(*reader_, *catalog_)) SayLoss(loss);
  if (catalog_->objects.empty()) {
    FailureLine(shell_text::kNoObjects);
    ui_.DeleteAllTreeItems();
    EndWorker();
    return;
  }
  if (state_.versionText.empty()) {
    state_.versionText = std::string("Database version: ") + shell_text::kUnknownVersion;
    LogLine(state_.versionText);
  } else {
    LogLine("Database version: " + state_.versionText);
  }
  if (state_.collationName.empty()) state_.collationName = shell_text::kUnknownCollation;
  LogLine("Collation Type: " + state_.collationName);
  const std::string name = reader_->databaseName.empty() ? shell_text::kRepairDatabase : reader_->databaseName;
  CreateFixedNodes(name);
  if (!BuildTree()) {
    ui_.DeleteAllTreeItems();
    EndWorker();
    FailureLine(shell_text::kNoNamedObject);
    FailureMessage(shell_text::kNoNamedObject);
    return;
  }
  ui_.SortTreeChildren(nodes_.userTables);
  ui_.RedrawTree();
  RetrieveModuleValues(*reader_, state_.MakeReadContext(&scanDamage_), *catalog_, scanModuleValues_,
                       ModuleTableColumns(*catalog_), &events_);
  state_.pageSource = 2;
  ui_.RedrawTree();
  EndWorker();
  ui_.SetCaption(shell_text::kCompletedCaption);
  LogLine(DamageSummary(scanDamage_.Counts()));
  LogLine(shell_text::kCompletedLine);
  lastScanCompleted_ = true;
  ui_.ShowMessage(shell_text::kCompleted, MessageIcon::kInformation);
}

}  // namespace pagewright
