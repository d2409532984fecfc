// The shell logic: the main frame's commands, the scan job, the object
// tree, the records panel and the activity log, independent of any toolkit.
//
// Commands run on the user-interface thread; each long operation runs on a
// worker thread, at most one at a time (`running` guards every start). Stop
// only asks the worker to stop; a new worker never starts, and the database
// is never freed, before the previous worker has ended.
#ifndef PAGEWRIGHT_APP_MAIN_FRAME_H_
#define PAGEWRIGHT_APP_MAIN_FRAME_H_

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/activity_log.h"
#include "app/ui_port.h"
#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "app/app_state.h"
#include "app/read_texts.h"
#include "export/export_run.h"
#include "state/damage.h"
#include "state/notifications.h"
#include "snapshot/snapshot_file.h"
#include "tabledata/record_paging.h"

namespace pagewright {

// Texts of the shell.
namespace shell_text {
constexpr const char* kPleaseWait = "Please wait for the running process.";
constexpr const char* kStopQuestion = "Are you sure to stop the running process?";
constexpr const char* kCloseWhileRunning = "Please stop the running process to close the application.";
constexpr const char* kCloseQuestion = "Do you want to close the application?";
constexpr const char* kBrowseOld = "Browse old MDF file to continue the saving process.";
constexpr const char* kBrowseNew = "Browse new MDF file to continue the saving process.";
constexpr const char* kAborted = "Scanning process aborted.";
constexpr const char* kNoObjects =
    "Either it is not valid mdf file or highly corrupted, select another file to recover.";
constexpr const char* kNoNamedObject =
    "Whether it is not valid mdf file or highly corrupted, select another file to recover.";
constexpr const char* kCompletedCaption = "Scanning completed for selected mdf file";
constexpr const char* kCompletedLine = "Scanning completed for selected mdf file.";
constexpr const char* kCompleted = "Scanning process completed.";
constexpr const char* kStartCaption = "Select MDF database file to continue the recovery process.";
constexpr const char* kCreatingTree = "Creating Tree.........";
constexpr const char* kTreeDone = "Process done.........";
constexpr const char* kUnknownVersion = "Unknown SQL Version";
constexpr const char* kUnknownCollation = "Unknown Collation";
constexpr const char* kRepairDatabase = "RepairDataBase";
}  // namespace shell_text

// What the recovery options dialog collects.
struct RecoveryOptions {
  std::string mdfPath;        // the damaged file
  std::string backupMdfPath;  // the backup file (scanned in full)
  std::string logFolder;
  bool advanced = false;
  bool sql2000 = false;
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
  bool collationAutoDetect = true;
  int64_t manualCollationKey = 0;
};

// The dialog's OK: checks the paths and folder and stores the choices in
// `state`. Returns the message that keeps the dialog open, or "" on success.
// The shell shows the dialog only after MainFrame::WaitForWorker(): a worker
// that was stopped may still read the options while it unwinds.
std::string ApplyRecoveryOptions(AppState& state, const RecoveryOptions& options);

// A grid cell's whole value, with the column it belongs to.
struct GridCell {
  std::string column;
  std::string typeText;  // "image", "nvarchar(max)"
  CellValue value;
};

// The snapshot header of a scan of `databasePath` with the state's options.
SnapshotHeader SnapshotHeaderOf(const AppState& state, const std::string& databasePath, bool advanced);

class MainFrame : public NotificationSink {
 public:
  // Waits on the user-interface thread until `done()` holds, keeping the
  // user interface answering the worker's calls meanwhile.
  using UiWaiter = std::function<void(const std::function<bool()>& done)>;

  MainFrame(AppState& state, UiPort& ui, UiWaiter waiter);
  ~MainFrame() override;

  // --- commands (user-interface thread) -----------------------------------
  // The Open command after the options dialog was confirmed: starts a scan.
  bool Open();
  // Takes the confirmed dialog's file paths as Open does (the new file a
  // snapshot load reads); waits for a stopped worker first.
  void ConfirmOptions();
  // Load snapshot: a scan whose old-file mapping comes from the snapshot.
  // Its activity log goes to the executable's folder unless `logFolder`
  // names another.
  bool LoadSnapshot(const std::string& snapshotPath, const std::string& logFolder = "");
  // Save snapshot: false when it could not be written (or nothing to save).
  // Never writes over a file of the open database, a pipe or a device; an
  // existing file that is not a snapshot is replaced only with `force`. The
  // file is written beside its place and renamed there when complete, so a
  // failed save leaves an earlier file whole.
  bool SaveSnapshot(const std::string& snapshotPath, bool force = false);
  void Stop();
  // Closing the main window: false when refused.
  bool RequestClose();
  // A click on a tree item's label; false when refused.
  bool SelectNode(TreeItem item);
  bool PageNext();
  bool PagePrevious();

  // The value of grid cell (`row`, `column`) of the grid page shown, read
  // again with its large values in full: what a placeholder stands for.
  // Runs on the user-interface thread; empty while a worker runs (the user
  // is told to wait) or when there is no such cell.
  std::optional<GridCell> ReadGridCell(int row, int column);
  // Export of the tables whose tree items are in `checked` (every user
  // table when none of them is a table) on a worker; false when refused.
  // One summary line per table goes to the log, the outcome to a message.
  bool Export(const ExportSettings& settings, const std::vector<TreeItem>& checked);
  // The outcome of the last export (see ExportResult::ExitCode), -1 before.
  int lastExportExitCode() const { return lastExportExitCode_; }

  // Waits until the current worker has ended.
  void WaitForWorker();
  bool WorkerRunning() const { return workerActive_.load(); }

  // --- notifications from the format layers (worker threads) -------------
  void Notify(const Notification& notification) override;

  // --- state for the shells and the tests ---------------------------------
  DatabaseReader* reader() const { return reader_.get(); }
  DatabaseCatalog* catalog() const { return catalog_.get(); }
  const std::vector<ModuleValue>& scanModuleValues() const { return scanModuleValues_; }
  const ActivityLog& activityLog() const { return log_; }
  // Every file the open database is read from: the damaged file, the backup
  // file and their secondary files (those the scan found, and the same names
  // beside the damaged file). No output may be written over one of them.
  std::vector<std::filesystem::path> DatabaseFiles() const;
  bool lastScanCompleted() const { return lastScanCompleted_; }
  // Losses said out loud since the last scan started (also logged).
  const std::vector<std::string>& losses() const { return losses_; }
  TreeItem rootItem() const { return nodes_.root; }
  TreeItem userTablesItem() const { return nodes_.userTables; }
  TreeItem systemTablesItem() const { return nodes_.systemTables; }
  const RecordPaging* paging() const { return paging_.get(); }
  // What the last scan had to drop, skip or cut, and what the table shown
  // last did (its counts also reach the scan's).
  const DamageCounters& scanDamage() const { return scanDamage_; }
  const DamageCounters& tableDamage() const { return tableDamage_; }
  // The working set of the table or object shown last.
  const ObjectDetails& selectedDetails() const { return selected_; }
  // The read context of the current options: the shells read tables with it.
  ReadContext MakeReadContext(DamageReporter* damage) const { return state_.MakeReadContext(damage); }

 private:
  struct FixedNodes {
    TreeItem root = kNoTreeItem, tables = kNoTreeItem, userTables = kNoTreeItem, systemTables = kNoTreeItem,
             programmability = kNoTreeItem, function = kNoTreeItem, storeProcedure = kNoTreeItem,
             views = kNoTreeItem, defaults = kNoTreeItem, triggers = kNoTreeItem;
  };

  bool Busy();
  void StartWorker(std::function<void()> body);
  void JoinWorker();
  void LogLine(const std::string& text);
  void PaneLine(const std::string& text);
  // A log line or a message box that tells of a failure.
  void FailureLine(const std::string& text);
  void FailureMessage(const std::string& text, MessageIcon icon = MessageIcon::kInformation);
  // Says once per log that the activity log could not be written.
  void ReportLogError();
  void OpenLog(const std::string& folder);
  void FreeDatabase();
  void ResetPreviousScan();
  void EndWorker();

  // Scan job (worker).
  void ScanJob();
  void CreateFixedNodes(const std::string& databaseName);
  bool BuildTree();

  // Node display (worker).
  void NodeDisplay(TreeItem item);
  // Loads the working set of the named object as the selected one.
  std::vector<ColumnDescriptor> SelectDetails(const std::string& name, const std::string& kind);
  bool ExpandTable(TreeItem item, const std::string& name, const std::string& kind);
  void ShowTable(const std::vector<ColumnDescriptor>& columns);
  void ShowModuleText(TreeItem item, const std::vector<ColumnDescriptor>& identity, bool constraintNode);
  void ShowKeyScript(TreeItem item, bool primaryKey);
  void ShowForeignKeyScript(TreeItem item);
  std::string ModuleText(const std::string& objectIdText);
  void CommonEnd(TreeItem item);

  // Grid pages (worker).
  void InsertRows(const std::vector<DecodedRow>& rows, bool logEachRow);
  void NextPageJob();
  void PreviousPageJob();
  void FinishPage();

  AppState& state_;
  UiPort& ui_;
  UiWaiter waiter_;
  ActivityLog log_;
  bool logErrorReported_ = false;

  std::thread worker_;
  std::atomic<bool> workerActive_{false};

  // Database slot.
  std::unique_ptr<DatabaseReader> reader_;
  std::unique_ptr<DatabaseCatalog> catalog_;
  NotificationEvents events_{this};
  DamageCounters scanDamage_;
  DamageCounters tableDamage_{&scanDamage_};
  ObjectDetails selected_;
  bool advancedMode_ = false;
  std::string mdfCopy_;
  std::string backupCopy_;
  std::vector<ModuleValue> scanModuleValues_;
  std::vector<ModuleValue> moduleValues_;
  bool moduleValuesLoaded_ = false;
  bool lastScanCompleted_ = false;
  std::vector<std::string> losses_;
  void SayLoss(const std::string& text);

  // Tree and records panel.
  FixedNodes nodes_;
  // Written by the scan job when it clears the tree, read by a click the
  // user-interface thread refuses while a worker runs.
  std::atomic<TreeItem> displayedItem_{kNoTreeItem};
  std::unique_ptr<RecordPaging> paging_;
  std::vector<ColumnDescriptor> shownColumns_;
  int gridRowCount_ = 0;
  // The record (within the grid page) each grid row shows: rows whose
  // every cell is empty are not kept in the grid.
  std::vector<int64_t> gridRecords_;
  std::atomic<int> lastExportExitCode_{-1};
  void ExportJob(ExportSettings settings, std::vector<std::string> names);
  int gridColumnCount_ = 0;
  int gridPageNumber_ = 0;
};

}  // namespace pagewright

#endif  // PAGEWRIGHT_APP_MAIN_FRAME_H_
