// The headless shell never writes over the files it recovers from, never
// waits on a pipe given as an input, and keeps failures off standard output.
#include <gtest/gtest.h>

#include <chrono>

#include "support/builder/database_builder.h"
#include "support/builder/example_database.h"
#include "support/builder/page_builder.h"
#include "support/cli_runner.h"
#include "support/special_files.h"

namespace pagewright {
namespace {

namespace fs = std::filesystem;
using testing::CommandRun;
using testing::RunPagewright;
using testing::ShellQuote;

// A run killed by its time limit exits with 137 and fails the checks that
// follow, instead of hanging the suite.
constexpr int kTimeLimit = 60;

CommandRun Shell(const std::string& args, const std::string& workingDir = "") {
  build::TempFile logs("unused");
  return RunPagewright(args + " --log-dir " + ShellQuote(logs.folder().string()),
                       workingDir.empty() ? logs.folder().string() : workingDir, kTimeLimit);
}

class ShellOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    build::ExampleDatabase().WriteTo(db_.path());
    original_ = build::ReadFileBytes(db_.path());
  }
  std::string Db() const { return ShellQuote(db_.str()); }
  fs::path Folder() const { return db_.folder(); }
  // Saving over `target` is refused: exit 1, the reason names the target,
  // and the database file keeps every byte.
  void ExpectRefused(const std::string& args, const std::string& target, const std::string& workingDir = "") {
    SCOPED_TRACE(args);
    CommandRun run = Shell(args, workingDir);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("Refusing to write " + target + ": it is the same file as"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Refusing"), std::string::npos) << "failures stay off standard output";
    EXPECT_EQ(build::ReadFileBytes(db_.path()), original_);
  }
  build::TempFile db_{"Example.mdf"};
  std::vector<uint8_t> original_;
};

TEST_F(ShellOutputs, SnapshotIsNeverSavedOverTheDatabase) {
  ExpectRefused("snapshot save " + Db() + " " + Db(), db_.str());
  ExpectRefused("snapshot save Example.mdf ./Example.mdf", "./Example.mdf", Folder().string());
  fs::create_hard_link(db_.path(), Folder() / "linked.KVSNAPDB");
  ExpectRefused("snapshot save " + Db() + " " + ShellQuote((Folder() / "linked.KVSNAPDB").string()),
                (Folder() / "linked.KVSNAPDB").string());
  fs::create_symlink(db_.path(), Folder() / "pointing.KVSNAPDB");
  ExpectRefused("snapshot save " + Db() + " " + ShellQuote((Folder() / "pointing.KVSNAPDB").string()) + " --force",
                (Folder() / "pointing.KVSNAPDB").string());
}

TEST_F(ShellOutputs, SnapshotIsNeverSavedOverTheBackupOrASecondaryFile) {
  build::TempFile backup("Backup.mdf");
  build::ExampleDatabase().WriteTo(backup.path());
  const auto backupBytes = build::ReadFileBytes(backup.path());
  ExpectRefused("snapshot save " + Db() + " --backup " + ShellQuote(backup.str()) + " " + ShellQuote(backup.str()),
                backup.str());
  EXPECT_EQ(build::ReadFileBytes(backup.path()), backupBytes);

  // A secondary file the scan finds beside the database: its data page
  // names file id 4.
  build::DatabaseBuilder second(20);
  second.SetPage(16, build::PageBuilder(1, 16, 4).ObjectId(700));
  const fs::path ndf = Folder() / "Example_2.ndf";
  build::WriteFileBytes(ndf, second.Build());
  const auto ndfBytes = build::ReadFileBytes(ndf);
  ExpectRefused("snapshot save " + Db() + " " + ShellQuote(ndf.string()) + " --force", ndf.string());
  EXPECT_EQ(build::ReadFileBytes(ndf), ndfBytes);
}

TEST_F(ShellOutputs, OnlyASnapshotIsReplacedUnlessForced) {
  build::TempFile out("out.KVSNAPDB");
  const std::string save = "snapshot save " + Db() + " " + ShellQuote(out.str());
  ASSERT_EQ(Shell(save).exitCode, 0);
  const auto first = build::ReadFileBytes(out.path());
  CommandRun again = Shell(save);
  EXPECT_EQ(again.exitCode, 0) << "an earlier snapshot is replaced: " << again.err;
  EXPECT_EQ(build::ReadFileBytes(out.path()), first);

  const std::vector<uint8_t> notes = {'m', 'y', ' ', 'n', 'o', 't', 'e', 's'};
  out.Write(notes);
  CommandRun refused = Shell(save);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Refusing to replace " + out.str() + ": it is not a snapshot file. Use --force"),
            std::string::npos)
      << refused.err;
  EXPECT_EQ(refused.out.find("Scanning of file starts"), std::string::npos) << "refused before the scan";
  EXPECT_EQ(build::ReadFileBytes(out.path()), notes);
  CommandRun forced = Shell(save + " --force");
  EXPECT_EQ(forced.exitCode, 0) << forced.err;
  EXPECT_EQ(build::ReadFileBytes(out.path()), first);
  for (const auto& e : fs::directory_iterator(out.folder()))
    EXPECT_NE(e.path().filename().string().front(), '.') << "no temporary file is left: " << e.path();
}

TEST_F(ShellOutputs, PipesAsInputsAreRefusedAtOnceWithTheirKind) {
  const fs::path pipe = Folder() / "Pipe.mdf";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  const std::string p = ShellQuote(pipe.string());
  const std::string refusal = "pagewright: cannot read " + pipe.string() + ": it is a named pipe, not a regular file";
  for (const std::string& args :
       {"info " + p, "catalog " + p, "dump " + p + " 7", "scan " + p, "tree " + p, "rows " + p + " dbo.Orders",
        "script " + p + " dbo.CustomerOrders", "snapshot save " + p + " " + ShellQuote((Folder() / "o").string()),
        "scan " + Db() + " --backup " + p, "scan " + Db() + " --snapshot " + p, "tree " + Db() + " --snapshot " + p}) {
    SCOPED_TRACE(args);
    auto start = std::chrono::steady_clock::now();
    CommandRun run = RunPagewright(args, Folder().string(), kTimeLimit);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  CommandRun folder = RunPagewright("info " + ShellQuote(Folder().string()), "", kTimeLimit);
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_NE(folder.err.find("it is a directory, not a regular file"), std::string::npos) << folder.err;
}

TEST_F(ShellOutputs, APipeAsSecondaryFileIsLeftOut) {
  ASSERT_TRUE(testing::MakeNamedPipe(Folder() / "Example_2.ndf"));
  CommandRun direct = Shell("tree " + Db());
  ASSERT_EQ(direct.exitCode, 0) << direct.err;
  CommandRun info = RunPagewright("catalog " + Db(), "", kTimeLimit);
  EXPECT_EQ(info.exitCode, 0) << info.err;
  build::TempFile out("out.KVSNAPDB");
  EXPECT_EQ(Shell("snapshot save " + Db() + " " + ShellQuote(out.str())).exitCode, 0);
  fs::remove(Folder() / "Example_2.ndf");
  EXPECT_EQ(Shell("tree " + Db()).out, direct.out) << "the same tree as without the pipe";
}

TEST(ShellStreams, FailuresGoToStandardErrorOnly) {
  build::TempFile junk(std::vector<uint8_t>(20000, 'x'), "junk.mdf");
  for (const std::string command : {"scan", "tree", "rows", "script", "snapshot save"}) {
    SCOPED_TRACE(command);
    std::string args = command + " " + ShellQuote(junk.str());
    if (command == "rows" || command == "script") args += " dbo.X";
    if (command == "snapshot save") args += " " + ShellQuote((junk.folder() / "o.KVSNAPDB").string());
    CommandRun run = Shell(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Whether File is not valid mdf file or file is highly corrupted..........."),
              std::string::npos);
    EXPECT_NE(run.err.find("Scanning process aborted."), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Scanning process aborted.\nScanning process aborted."), std::string::npos)
        << "said once";
    EXPECT_EQ(run.out.find("Scanning process aborted."), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Whether"), std::string::npos) << run.out;
  }

  // A catalog without objects: the scan's only report is a log line.
  build::DatabaseBuilder db(32);
  db.Boot({});
  db.SetPage(16, build::PageBuilder(1, 16).ObjectId(7));
  build::TempFile empty(db.Build(), "Empty.mdf");
  CommandRun none = Shell("scan " + ShellQuote(empty.str()));
  EXPECT_EQ(none.exitCode, 1);
  const std::string noObjects = "Either it is not valid mdf file or highly corrupted, select another file to recover.";
  EXPECT_NE(none.err.find(noObjects), std::string::npos) << none.err;
  EXPECT_EQ(none.out.find(noObjects), std::string::npos);
  EXPECT_NE(none.out.find("Scanning of file starts..."), std::string::npos) << "progress stays on standard output";
}

TEST(ShellStreams, UnwritableLogFolderIsSaidOnceAndTheScanRuns) {
  build::TempFile db("Example.mdf");
  build::ExampleDatabase().WriteTo(db.path());
  CommandRun run = RunPagewright("scan " + ShellQuote(db.str()) + " --log-dir /proc", db.folder().string(), kTimeLimit);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Scanning process completed."), std::string::npos);
  const std::string said = "Cannot write the activity log /proc/KorvaneVellumdb_log_";
  size_t at = run.err.find(said);
  ASSERT_NE(at, std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(said, at + 1), std::string::npos) << "said once: " << run.err;
  EXPECT_EQ(run.out.find(said), std::string::npos);
}

}  // namespace
}  // namespace pagewright
