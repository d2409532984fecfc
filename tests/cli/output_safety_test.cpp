// The headless shell never writes over the files it recovers from, never
// waits on a pipe given as an input, and keeps failures off standard output.
#include <gtest/gtest.h>

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

// A run that would hang is killed (exit 137) and fails its checks.
constexpr int kTimeLimit = 60;

CommandRun Shell(const std::string& args, const std::string& workingDir) {
  build::TempFile logs("unused");
  return RunPagewright(args + " --log-dir " + ShellQuote(logs.folder().string()), workingDir, kTimeLimit);
}

class ShellOutputs : public ::testing::Test {
 protected:
  void SetUp() override { build::ExampleDatabase().WriteTo(db_.path()); }
  CommandRun Run(const std::string& args) { return Shell(args, db_.folder().string()); }
  build::TempFile db_{"Example.mdf"};
};

TEST_F(ShellOutputs, SnapshotIsNeverSavedOverAFileOfTheDatabase) {
  build::ExampleDatabase().WriteTo(db_.folder() / "Backup.mdf");
  build::DatabaseBuilder second(20);  // a secondary file the scan finds: its data page names file id 4
  second.SetPage(16, build::PageBuilder(1, 16, 4).ObjectId(700));
  build::WriteFileBytes(db_.folder() / "Example_2.ndf", second.Build());
  fs::create_hard_link(db_.path(), db_.folder() / "linked.KVSNAPDB");
  std::map<std::string, std::vector<uint8_t>> before;
  for (const auto& e : fs::directory_iterator(db_.folder())) before[e.path().string()] = build::ReadFileBytes(e.path());
  for (const std::string target : {"Example.mdf", "./Example.mdf", "linked.KVSNAPDB", "Backup.mdf", "Example_2.ndf"}) {
    SCOPED_TRACE(target);
    CommandRun run = Run("snapshot save Example.mdf --backup Backup.mdf --force " + target);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Refusing to write " + target + ": it is the same file as"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Refusing"), std::string::npos);
  }
  for (const auto& [path, bytes] : before) EXPECT_EQ(build::ReadFileBytes(path), bytes) << path;
}

TEST_F(ShellOutputs, OnlyASnapshotIsReplacedUnlessForced) {
  const std::string save = "snapshot save Example.mdf out.KVSNAPDB";
  ASSERT_EQ(Run(save).exitCode, 0);
  const auto first = build::ReadFileBytes(db_.folder() / "out.KVSNAPDB");
  EXPECT_EQ(Run(save).exitCode, 0) << "an earlier snapshot is replaced";
  const std::vector<uint8_t> notes = {'n', 'o', 't', 'e', 's'};
  build::WriteFileBytes(db_.folder() / "out.KVSNAPDB", notes);
  CommandRun refused = Run(save);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("Refusing to replace out.KVSNAPDB: it is not a snapshot file. Use --force"),
            std::string::npos) << refused.err;
  EXPECT_EQ(refused.out.find("Scanning of file starts"), std::string::npos) << "refused before the scan";
  EXPECT_EQ(build::ReadFileBytes(db_.folder() / "out.KVSNAPDB"), notes);
  EXPECT_EQ(Run(save + " --force").exitCode, 0);
  EXPECT_EQ(build::ReadFileBytes(db_.folder() / "out.KVSNAPDB"), first);
  for (const auto& e : fs::directory_iterator(db_.folder()))
    EXPECT_NE(e.path().filename().string().front(), '.') << "no temporary file is left: " << e.path();
}

TEST_F(ShellOutputs, PipesAsInputsAreRefusedAtOnceWithTheirKind) {
  ASSERT_TRUE(testing::MakeNamedPipe(db_.folder() / "Pipe.mdf"));
  const std::string refusal = "pagewright: cannot read Pipe.mdf: it is a named pipe, not a regular file";
  for (const std::string args :
       {"info Pipe.mdf", "catalog Pipe.mdf", "dump Pipe.mdf 7", "scan Pipe.mdf", "tree Pipe.mdf",
        "rows Pipe.mdf dbo.Orders", "script Pipe.mdf dbo.CustomerOrders", "snapshot save Pipe.mdf o.KVSNAPDB",
        "scan Example.mdf --backup Pipe.mdf", "tree Example.mdf --snapshot Pipe.mdf"}) {
    SCOPED_TRACE(args);
    CommandRun run = RunPagewright(args, db_.folder().string(), kTimeLimit);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(refusal), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
  }
  // A pipe among the .ndf files beside the database is left out of the scan.
  CommandRun plain = Run("tree Example.mdf");
  ASSERT_TRUE(testing::MakeNamedPipe(db_.folder() / "Example_2.ndf"));
  CommandRun withPipe = Run("tree Example.mdf");
  EXPECT_EQ(withPipe.exitCode, 0) << withPipe.err;
  EXPECT_EQ(withPipe.out, plain.out);
}

TEST(ShellStreams, FailuresGoToStandardErrorOnceAndNeverToStandardOutput) {
  build::TempFile junk(std::vector<uint8_t>(20000, 'x'), "junk.mdf");
  const std::string folder = junk.folder().string();
  for (const std::string args : {"scan junk.mdf", "tree junk.mdf", "rows junk.mdf T", "snapshot save junk.mdf o"}) {
    SCOPED_TRACE(args);
    CommandRun run = Shell(args, folder);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Whether File is not valid mdf file or file is highly corrupted...........\n"
                           "Scanning process aborted.\n"),
              std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("aborted.\nScanning process aborted."), std::string::npos) << "said once";
    EXPECT_EQ(run.out.find("Scanning process aborted."), std::string::npos) << run.out;
  }
  build::DatabaseBuilder db(32);  // a catalog without objects: only a log line tells
  db.Boot({});
  db.SetPage(16, build::PageBuilder(1, 16).ObjectId(7));
  build::WriteFileBytes(junk.folder() / "Empty.mdf", db.Build());
  CommandRun none = Shell("scan Empty.mdf", folder);
  const std::string noObjects = "Either it is not valid mdf file or highly corrupted, select another file to recover.";
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find(noObjects), std::string::npos) << none.err;
  EXPECT_EQ(none.out.find(noObjects), std::string::npos);
  EXPECT_NE(none.out.find("Scanning of file starts..."), std::string::npos) << "progress stays on standard output";

  build::ExampleDatabase().WriteTo(junk.folder() / "Example.mdf");
  CommandRun noLog = RunPagewright("scan Example.mdf --log-dir /proc", folder, kTimeLimit);
  EXPECT_EQ(noLog.exitCode, 0) << "the scan runs without its log";
  const std::string said = "Cannot write the activity log /proc/KorvaneVellumdb_log_";
  ASSERT_NE(noLog.err.find(said), std::string::npos) << noLog.err;
  EXPECT_EQ(noLog.err.find(said, noLog.err.find(said) + 1), std::string::npos) << "said once";
  EXPECT_NE(noLog.out.find("Scanning process completed."), std::string::npos);
}

}  // namespace
}  // namespace pagewright
