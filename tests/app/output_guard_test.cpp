// Outputs never go over the files a recovery reads, never wait on a pipe,
// replace only their own kind of file unasked, and never leave a
// half-written file where a whole one was.
#include "app/output_guard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "app/shell_harness.h"
#include "snapshot/snapshot_file.h"
#include "support/special_files.h"

namespace pagewright {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Files of the folder whose names start with a dot: the temporary files.
std::vector<std::string> HiddenFiles(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().front() == '.') out.push_back(e.path().filename().string());
  return out;
}

TEST(OutputGuard, EveryInputIsRefusedWhateverItsSpelling) {
  build::TempFile mdf(Bytes("database"), "Shop.mdf");
  build::TempFile backup(Bytes("backup"), "Old.mdf");
  const fs::path folder = mdf.folder();
  fs::create_hard_link(mdf.path(), folder / "linked.KVSNAPDB");
  fs::create_symlink(backup.path(), folder / "pointing.KVSNAPDB");
  fs::create_directory(folder / "sub");
  const std::vector<fs::path> inputs = {mdf.path(), backup.path()};
  for (const fs::path& out : {mdf.path(), folder / "." / "Shop.mdf", folder / "sub" / ".." / "Shop.mdf",
                              folder / "linked.KVSNAPDB", backup.path(), folder / "pointing.KVSNAPDB"}) {
    auto refusal = OutputRefusal(out, inputs);
    ASSERT_TRUE(refusal) << out;
    EXPECT_NE(refusal->find(out.string()), std::string::npos) << *refusal;
    EXPECT_NE(refusal->find("the same file as"), std::string::npos) << *refusal;
  }
  // The refusal names the input the output is.
  EXPECT_NE(OutputRefusal(folder / "linked.KVSNAPDB", inputs)->find(mdf.str()), std::string::npos);
  // A relative spelling, from the folder of the files.
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  EXPECT_TRUE(OutputRefusal("./Shop.mdf", inputs));
  EXPECT_TRUE(OutputRefusal("Shop.mdf", {"./Shop.mdf"}));
  fs::current_path(before);

  EXPECT_FALSE(OutputRefusal(folder / "new.KVSNAPDB", inputs)) << "a new file is no input";
  build::WriteFileBytes(folder / "copy.mdf", Bytes("database"));
  EXPECT_FALSE(OutputRefusal(folder / "copy.mdf", inputs)) << "equal bytes are another file";
}

TEST(OutputGuard, PipesDevicesAndFoldersAreNoOutput) {
  build::TempFile holder("unused");
  const fs::path pipe = holder.folder() / "out.KVSNAPDB";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  EXPECT_EQ(*OutputRefusal(pipe, {}), "Refusing to write " + pipe.string() + ": it is a named pipe, not a regular file.");
  EXPECT_NE(OutputRefusal("/dev/null", {})->find("a character device"), std::string::npos);
  EXPECT_NE(OutputRefusal(holder.folder(), {})->find("a directory"), std::string::npos);
}

TEST(OutputGuard, OnlyItsOwnKindIsReplacedUnlessForced) {
  build::TempFile other(Bytes("someone's notes"), "notes.KVSNAPDB");
  auto isNotes = [](const fs::path& p) { return build::ReadFileBytes(p) == Bytes("notes of ours"); };
  auto refusal = ReplaceRefusal(other.path(), isNotes, "notes file", false);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(*refusal, "Refusing to replace " + other.str() + ": it is not a notes file.");
  EXPECT_FALSE(ReplaceRefusal(other.path(), isNotes, "notes file", true));
  other.Write(Bytes("notes of ours"));
  EXPECT_FALSE(ReplaceRefusal(other.path(), isNotes, "notes file", false));
  EXPECT_FALSE(ReplaceRefusal(other.folder() / "fresh", isNotes, "notes file", false));
}

TEST(OutputGuard, CompleteWriteReplacesAtOnceAndKeepsThePermissions) {
  build::TempFile out(Bytes("old"), "out.KVSNAPDB");
  fs::permissions(out.path(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                  fs::perm_options::replace);
  fs::path seen;
  auto failure = WriteReplacing(out.path(), [&](const fs::path& temporary) {
    seen = temporary;
    EXPECT_TRUE(fs::equivalent(temporary.parent_path(), out.folder())) << "beside the output: one disk, one rename";
    EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("old")) << "the old file stays while the new one is written";
    build::WriteFileBytes(temporary, Bytes("new and longer"));
    return true;
  });
  EXPECT_FALSE(failure) << *failure;
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("new and longer"));
  EXPECT_EQ(seen.filename().string().rfind(".out.KVSNAPDB.pagewright-", 0), 0u) << seen;
  EXPECT_TRUE(HiddenFiles(out.folder()).empty());
  EXPECT_EQ(fs::status(out.path()).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(OutputGuard, FailedWriteLeavesTheEarlierFileWhole) {
  build::TempFile out(Bytes("the earlier snapshot"), "out.KVSNAPDB");
  auto failure = WriteReplacing(out.path(), [](const fs::path& temporary) {
    build::WriteFileBytes(temporary, Bytes("half"));
    return false;
  });
  ASSERT_TRUE(failure);
  EXPECT_EQ(*failure, "Cannot write " + out.str() + ": the data could not be written.");
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("the earlier snapshot"));
  EXPECT_TRUE(HiddenFiles(out.folder()).empty()) << "the temporary file is removed";
  // A folder that does not exist: nothing is made anywhere.
  EXPECT_TRUE(WriteReplacing(out.folder() / "none" / "x.KVSNAPDB", [](const fs::path&) { return true; }));
}

TEST(OutputGuard, SaveKilledMidWriteLeavesTheEarlierFileWhole) {
  build::TempFile out(Bytes("the earlier snapshot"), "out.KVSNAPDB");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WriteReplacing(out.path(), [](const fs::path& temporary) {
      std::ofstream half(temporary, std::ios::binary);
      half << "half of a new snapsh";
      half.flush();
      raise(SIGKILL);  // stopped in the middle, as a killed process is
      return true;
    });
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("the earlier snapshot"));
  auto hidden = HiddenFiles(out.folder());
  ASSERT_EQ(hidden.size(), 1u) << "only the hidden temporary file is left";
  EXPECT_EQ(hidden[0].rfind(".out.KVSNAPDB.pagewright-", 0), 0u);
}

TEST(OutputGuard, LinkAsOutputReplacesTheFileItNames) {
  build::TempFile target(Bytes("old"), "real.KVSNAPDB");
  fs::create_symlink(target.path(), target.folder() / "link.KVSNAPDB");
  EXPECT_FALSE(WriteReplacing(target.folder() / "link.KVSNAPDB", [](const fs::path& t) {
    build::WriteFileBytes(t, Bytes("new"));
    return true;
  }));
  EXPECT_TRUE(fs::is_symlink(target.folder() / "link.KVSNAPDB"));
  EXPECT_EQ(build::ReadFileBytes(target.path()), Bytes("new"));
}

// The main frame's Save Snapshot and Load Snapshot, as the window uses them.
class SaveSnapshotGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ShopDatabase().WriteTo(mdf.path());
    original = build::ReadFileBytes(mdf.path());
    shell.Scan(mdf.str());
    ASSERT_TRUE(shell.frame.lastScanCompleted());
  }
  build::TempFile mdf{"Shop.mdf"};
  std::vector<uint8_t> original;
  testing::ShellHarness shell;
};

TEST_F(SaveSnapshotGuard, NeverOverTheDatabaseFile) {
  fs::create_hard_link(mdf.path(), mdf.folder() / "Shop.KVSNAPDB");
  for (const fs::path& out : {mdf.path(), mdf.folder() / "." / "Shop.mdf", mdf.folder() / "Shop.KVSNAPDB"}) {
    shell.ui.failures.clear();
    EXPECT_FALSE(shell.frame.SaveSnapshot(out.string(), true)) << "not even when forced";
    ASSERT_EQ(shell.ui.failures.size(), 3u);
    EXPECT_EQ(shell.ui.failures[0], "Refusing to write " + out.string() + ": it is the same file as " + mdf.str() +
                                        ", which this recovery reads.");
    EXPECT_EQ(shell.ui.failures[1], snapshot_text::kCannotSave);
    EXPECT_EQ(shell.ui.messages.back().text, snapshot_text::kCannotSave);
    EXPECT_EQ(build::ReadFileBytes(mdf.path()), original);
  }
  EXPECT_EQ(shell.state.running, 0);
}

TEST_F(SaveSnapshotGuard, ReplacesASnapshotButNotAnotherFileUnlessForced) {
  build::TempFile out("Shop.KVSNAPDB");
  ASSERT_TRUE(shell.frame.SaveSnapshot(out.str()));
  EXPECT_TRUE(IsSnapshotFile(out.str()));
  EXPECT_TRUE(shell.frame.SaveSnapshot(out.str())) << "an earlier snapshot is replaced";
  EXPECT_TRUE(shell.ui.failures.empty());
  out.Write(Bytes("a report the user keeps here"));
  EXPECT_FALSE(shell.frame.SaveSnapshot(out.str()));
  EXPECT_EQ(shell.ui.failures.front(),
            "Refusing to replace " + out.str() + ": it is not a snapshot file.");
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("a report the user keeps here"));
  EXPECT_TRUE(shell.frame.SaveSnapshot(out.str(), true));
  EXPECT_TRUE(IsSnapshotFile(out.str()));
}

TEST_F(SaveSnapshotGuard, APipeIsRefusedAtOnceForSavingAndLoading) {
  build::TempFile holder("unused");
  const fs::path pipe = holder.folder() / "p.KVSNAPDB";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  bool saved = true, loaded = true;
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] { saved = shell.frame.SaveSnapshot(pipe.string(), true); }, pipe));
  EXPECT_FALSE(saved);
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] { loaded = shell.frame.LoadSnapshot(pipe.string()); }, pipe));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(shell.ui.failures.back(), "Cannot read " + pipe.string() + ": it is a named pipe, not a regular file.");
  EXPECT_EQ(shell.state.running, 0);
}

TEST(ShellFailures, ScanFailuresAreToldApartFromProgress) {
  build::TempFile junk(std::vector<uint8_t>(20000, 'x'), "junk.mdf");
  testing::ShellHarness shell;
  shell.Scan(junk.str());
  EXPECT_EQ(shell.ui.failures,
            (std::vector<std::string>{"Whether File is not valid mdf file or file is highly corrupted...........",
                                      "Scanning process aborted.", "Scanning process aborted."}));
  // The lines and boxes themselves are unchanged.
  EXPECT_EQ(shell.ui.InsertedLines().back(), "Scanning process aborted.");
  EXPECT_EQ(shell.ui.messages.back().text, "Scanning process aborted.");
}

TEST(ShellFailures, UnwritableLogIsSaidOnceAndTheScanGoesOn) {
  build::TempFile mdf("Shop.mdf");
  testing::ShopDatabase().WriteTo(mdf.path());
  testing::ShellHarness shell;
  RecoveryOptions o;
  o.mdfPath = o.backupMdfPath = mdf.str();
  o.logFolder = "/proc";  // a folder no file can be made in, even by root
  ASSERT_EQ(ApplyRecoveryOptions(shell.state, o), "");
  ASSERT_TRUE(shell.frame.Open());
  shell.Wait();
  EXPECT_TRUE(shell.frame.lastScanCompleted());
  ASSERT_EQ(shell.ui.failures.size(), 1u);
  EXPECT_EQ(shell.ui.failures[0].rfind("Cannot write the activity log /proc/KorvaneVellumdb_log_", 0), 0u)
      << shell.ui.failures[0];
  EXPECT_NE(shell.ui.failures[0].find("The recovery goes on without it."), std::string::npos);
  EXPECT_FALSE(shell.frame.activityLog().isOpen());
}

}  // namespace
}  // namespace pagewright
