// The Open command and the scan job: log lines, captions, progress, message
// boxes, the failures the shell reports, and Stop.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/shell_harness.h"

namespace pagewright {
namespace {

using ::testing::ElementsAre;
using testing::ShellHarness;

class ScanJob : public ::testing::Test {
 protected:
  void Write(const build::DatabaseBuilder& db) { db.WriteTo(mdf.path()); }
  build::TempFile mdf{"Shop.mdf"};
  ShellHarness shell;
};

TEST_F(ScanJob, CompletedScanLogsEveryStepInOrder) {
  Write(testing::ShopDatabase());
  shell.Scan(mdf.str());
  const std::string path = mdf.str();
  EXPECT_THAT(shell.ui.InsertedLines(),
              ElementsAre(path + " File is selected for recovery....", "Browse File Path:\t" + path,
                          "Standard mode is selected for file recovery.", "Scanning of file starts...",
                          "Database version:  SQL Server 2008 R2", "Collation Type: SQL_Latin1_General_CP1_CI_AS",
                          "Creating Tree.........", "Process done.........",
                          "Retrieving Objects of Sysobjvalues System Tables...........",
                          "Retrieving  Objects of Sysobjvalues System Tables has been done...........",
                          "No damage found.", "Scanning completed for selected mdf file."));
  EXPECT_THAT(shell.ui.Of("ShowMessage"), ElementsAre("Scanning process completed. information"));
  EXPECT_THAT(shell.ui.Of("SetCaption"),
              ElementsAre("Select MDF database file to continue the recovery process.", path, "Creating Tree.........",
                          "Process done.........", "Scanning completed for selected mdf file"));
  EXPECT_THAT(shell.ui.Of("ShowProgress"), ElementsAre("shown", "hidden"));
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_EQ(shell.state.pageSource, 2);
  EXPECT_EQ(shell.ui.offThreadCalls, 0);
  EXPECT_TRUE(shell.frame.lastScanCompleted());
  EXPECT_EQ(shell.state.logFilePath, shell.frame.activityLog().path().string());
}

TEST_F(ScanJob, IdentityOfTheLastScanDoesNotCarryOver) {
  Write(testing::ShopDatabase());
  shell.Scan(mdf.str(), true);
  EXPECT_EQ(shell.ui.InsertedLines()[2], "Advanced mode is selected for file recovery.");
  // A file whose sysallocunits page claims a page number that puts the boot
  // page before the file: no boot page is read, so no name, version or
  // collation is known.
  build::CatalogBuilder other;
  other.AddTable({.name = "T", .columns = {build::IntColumn("A")}});
  other.Tweak([](uint32_t position, std::vector<uint8_t>& page) {
    if (page[1] == 1 && page[24] == 7 && page[25] == 0) page[32] = static_cast<uint8_t>(position + 100);
  });
  build::TempFile second(other.Build().Build(), "Other.mdf");
  const size_t from = shell.ui.calls.size();
  shell.Scan(second.str());
  auto lines = shell.LinesSince(from);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[4], "Database version: Unknown SQL Version");
  EXPECT_EQ(lines[5], "Collation Type: Unknown Collation");
  EXPECT_EQ(shell.state.versionText, "Database version: Unknown SQL Version");
  EXPECT_EQ(shell.state.collationName, "Unknown Collation");
  EXPECT_EQ(shell.ui.NodeOf(shell.ui.topLevel.at(0))->label, "RepairDataBase");
}

TEST_F(ScanJob, MissingFileShowsTheOpenErrorsThenAborts) {
  Write(testing::ShopDatabase());
  shell.Confirm(mdf.str());
  std::filesystem::remove(mdf.path());
  ASSERT_TRUE(shell.frame.Open());
  shell.Wait();
  EXPECT_THAT(shell.ui.Of("ShowMessage"),
              ElementsAre("File cannot be open........... error", "New MDF File cannot be open........... error",
                          "Scanning process aborted. information"));
  EXPECT_EQ(shell.ui.InsertedLines().back(), "Scanning process aborted.");
  EXPECT_TRUE(shell.ui.nodes.empty());
  EXPECT_EQ(shell.frame.reader(), nullptr);
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_FALSE(shell.ui.progressVisible);
  EXPECT_TRUE(std::filesystem::exists(shell.state.logFilePath));
}

TEST_F(ScanJob, FileWithoutSystemPagesIsNotADatabase) {
  for (auto bytes : {std::vector<uint8_t>(20000, 'x'), build::DatabaseBuilder(64).Boot({}).Build()}) {
    mdf.Write(bytes);
    const size_t from = shell.ui.calls.size();
    shell.Scan(mdf.str());
    EXPECT_THAT(shell.Since(from, "ShowMessage"),
                ElementsAre("Whether File is not valid mdf file or file is highly corrupted........... error",
                            "Scanning process aborted. information"));
    EXPECT_EQ(shell.LinesSince(from).back(), "Scanning process aborted.");
    EXPECT_TRUE(shell.ui.nodes.empty());
  }
}

TEST_F(ScanJob, CatalogWithoutObjectsOnlyLogsALine) {
  build::DatabaseBuilder db(32);
  db.Boot({});
  build::PageBuilder allocationUnits(1,
                                     16);  // a sysallocunits page with no rows
  allocationUnits.ObjectId(7);
  db.SetPage(16, allocationUnits);
  Write(db);
  shell.Scan(mdf.str());
  EXPECT_EQ(shell.ui.InsertedLines().back(),
            "Either it is not valid mdf file or highly corrupted, select another file to recover.");
  EXPECT_TRUE(shell.ui.Of("ShowMessage").empty());
  EXPECT_TRUE(shell.ui.nodes.empty());
  EXPECT_NE(shell.frame.catalog(), nullptr);  // reader and catalog stay
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_FALSE(shell.ui.progressVisible);
}

TEST_F(ScanJob, CommandsWhileAScanRunsAskToWait) {
  Write(testing::ShopDatabase());
  shell.Confirm(mdf.str());
  ASSERT_TRUE(shell.frame.Open());
  // The worker cannot end before the test thread pumps its calls.
  EXPECT_FALSE(shell.frame.Open());
  EXPECT_FALSE(shell.frame.SelectNode(1));
  EXPECT_FALSE(shell.frame.PageNext());
  EXPECT_FALSE(shell.frame.PagePrevious());
  EXPECT_FALSE(shell.frame.RequestClose());
  shell.Wait();
  auto messages = shell.ui.Of("ShowMessage");
  ASSERT_EQ(messages.size(), 6u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(messages[i], "Please wait for the running process. information");
  EXPECT_EQ(messages[4], "Please stop the running process to close the application. information");
  EXPECT_EQ(messages[5], "Scanning process completed. information");
}

// The scan job clears the remembered node while the user-interface thread
// may already answer a click (a data race before that node was atomic).
TEST_F(ScanJob, ClickRightAfterTheScanClearedTheTreeAsksToWait) {
  Write(testing::ShopDatabase());
  shell.Confirm(mdf.str());
  ASSERT_TRUE(shell.frame.Open());
  // Open clears the tree twice itself, the scan job once more.
  shell.port.PumpUntil([&] { return shell.ui.Of("DeleteAllTreeItems").size() == 3; });
  EXPECT_FALSE(shell.frame.SelectNode(1));
  EXPECT_EQ(shell.ui.Of("ShowMessage").back(), "Please wait for the running process. information");
  shell.Wait();
}

TEST_F(ScanJob, StopAnsweredNoChangesNothing) {
  Write(testing::ShopDatabase());
  shell.Confirm(mdf.str());
  ASSERT_TRUE(shell.frame.Open());
  shell.ui.answerYes = false;
  shell.frame.Stop();
  EXPECT_EQ(shell.state.running, 1);
  EXPECT_FALSE(shell.state.stopRequested);
  shell.Wait();
  EXPECT_TRUE(shell.frame.lastScanCompleted());
}

TEST_F(ScanJob, EmptyPathsAreRefused) {
  Write(testing::ShopDatabase());
  RecoveryOptions o{.mdfPath = "", .backupMdfPath = mdf.str(), .logFolder = shell.logs.folder().string()};
  EXPECT_EQ(ApplyRecoveryOptions(shell.state, o),
            "Please select valid SQL file path to continue the recovery process.");
  o = {.mdfPath = mdf.str(), .backupMdfPath = "", .logFolder = shell.logs.folder().string()};
  EXPECT_EQ(ApplyRecoveryOptions(shell.state, o),
            "Please select valid backup SQL file path to continue the recovery process.");
  // The scan job's own checks, for paths that reached it empty.
  shell.state.logFolder = shell.logs.folder().string() + "/";
  ASSERT_TRUE(shell.frame.Open());
  shell.Wait();
  EXPECT_THAT(shell.ui.Of("ShowMessage"),
              ElementsAre("Browse old MDF file to continue the saving process. information"));
  EXPECT_EQ(shell.ui.InsertedLines().back(), " File is selected for recovery....");
  shell.state.backupMdfPath = mdf.str();
  ASSERT_TRUE(shell.frame.Open());
  shell.Wait();
  EXPECT_EQ(shell.ui.Of("ShowMessage").back(), "Browse new MDF file to continue the saving process. information");
  EXPECT_EQ(shell.ui.InsertedLines().back(), "Scanning of file starts...");
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_TRUE(shell.ui.nodes.empty());
}

// Stop during the mapping scan of a file of 4096 pages.
class StopDuringMapping : public ScanJob {
 protected:
  void SetUp() override {
    build::CatalogBuilder b;
    b.AddTable({.name = "Items", .columns = {build::IntColumn("Id")}, .rows = {{build::IntValue(7)}}});
    build::DatabaseBuilder db = b.Build();
    db.EnsurePages(kPages);
    Write(db);
    shell.Confirm(mdf.str());
    // The worker may run only a few calls ahead of this thread, so that the
    // Stop below lands while the mapping is still going on.
    shell.port.LimitQueue(4);
    ASSERT_TRUE(shell.frame.Open());
    // Pump until the backup file's mapping is a quarter through, then press
    // Stop and answer Yes there and then. The worker cannot end before the
    // test thread pumps its calls again.
    shell.port.PumpUntil([&] {
      if (shell.ui.recordsText != "Mapping Database Objects..........." || shell.ui.progressPos < kPages / 4)
        return false;
      shell.frame.Stop();
      return true;
    });
    shell.port.LimitQueue(0);
    ASSERT_THAT(shell.ui.Of("AskYesNo"), ElementsAre("Are you sure to stop the running process? information"));
  }
  static constexpr uint32_t kPages = 4096;
};

TEST_F(StopDuringMapping, ClearsRunningAtOnceAndKeepsWhatWasMapped) {
  EXPECT_EQ(shell.state.running, 0);
  EXPECT_TRUE(shell.frame.WorkerRunning());
  shell.frame.WaitForWorker();
  ASSERT_NE(shell.frame.reader(), nullptr);
  const auto& counts = shell.frame.reader()->scanCounts;
  EXPECT_GT(counts.pagesRead, 0u);
  EXPECT_LT(counts.pagesRead, kPages);
  EXPECT_FALSE(shell.frame.reader()->objectPageMap.empty());
  EXPECT_NE(shell.ui.FindTreeItem("dbo.Items"), kNoTreeItem);
  EXPECT_FALSE(shell.state.stopRequested);
  EXPECT_EQ(shell.state.running, 0);
}

TEST_F(StopDuringMapping, OpenRightAfterStopWaitsForTheStoppedWorker) {
  const std::string selected = mdf.str() + " File is selected for recovery....";
  const long firstOpen = shell.ui.IndexOf("InsertPaneLine 0 " + selected);
  ASSERT_TRUE(shell.frame.Open());
  shell.Wait();
  const long firstEnd = shell.ui.IndexOf("ShowMessage Scanning process completed. information");
  ASSERT_GE(firstEnd, 0);
  long secondOpen = -1;
  for (size_t i = static_cast<size_t>(firstOpen) + 1; i < shell.ui.calls.size() && secondOpen < 0; ++i)
    if (shell.ui.calls[i].ends_with(selected)) secondOpen = static_cast<long>(i);
  EXPECT_GT(secondOpen, firstEnd);
  EXPECT_TRUE(shell.frame.lastScanCompleted());
  EXPECT_GE(shell.frame.reader()->scanCounts.pagesRead,
            kPages);  // the whole file this time
}

}  // namespace
}  // namespace pagewright
