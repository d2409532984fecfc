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

TEST(OutputGuard, EveryInputIsRefusedWhateverItsSpelling) {
  build::TempFile mdf(Bytes("database"), "Shop.mdf");
  const fs::path folder = mdf.folder();
  fs::create_hard_link(mdf.path(), folder / "linked.KVSNAPDB");
  fs::create_symlink(mdf.path(), folder / "pointing.KVSNAPDB");
  build::WriteFileBytes(folder / "copy.mdf", Bytes("database"));
  for (const fs::path& out : {mdf.path(), folder / "." / "Shop.mdf", folder / "linked.KVSNAPDB",
                              folder / "pointing.KVSNAPDB"}) {
    EXPECT_EQ(OutputRefusal(out, {"/nonexistent", mdf.path()}),
              "Refusing to write " + out.string() + ": it is the same file as " + mdf.str() +
                  ", which this recovery reads.");
  }
  EXPECT_FALSE(OutputRefusal(folder / "copy.mdf", {mdf.path()})) << "equal bytes are another file";
  EXPECT_FALSE(OutputRefusal(folder / "new.KVSNAPDB", {mdf.path()}));
  const fs::path pipe = folder / "p.KVSNAPDB";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  EXPECT_EQ(OutputRefusal(pipe, {}), "Refusing to write " + pipe.string() + ": it is a named pipe, not a regular file.");
  EXPECT_NE(OutputRefusal(folder, {})->find("a directory"), std::string::npos);
  // An existing file is replaced only when it is of the kind being written.
  auto isCopy = [](const fs::path& p) { return p.filename() == "copy.mdf"; };
  EXPECT_EQ(ReplaceRefusal(mdf.path(), isCopy, "copy", false), "Refusing to replace " + mdf.str() + ": it is not a copy.");
  EXPECT_FALSE(ReplaceRefusal(mdf.path(), isCopy, "copy", true));
  EXPECT_FALSE(ReplaceRefusal(folder / "copy.mdf", isCopy, "copy", false));
}

// The earlier file stays whole when the writer fails and when the process
// is killed in the middle; only a complete file is renamed over it.
TEST(OutputGuard, FailedOrKilledWriteLeavesTheEarlierFileWhole) {
  build::TempFile out(Bytes("the earlier snapshot"), "out.KVSNAPDB");
  auto hidden = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(out.folder()))
      if (e.path().filename().string().front() == '.') names.push_back(e.path().filename().string());
    return names;
  };
  EXPECT_EQ(WriteReplacing(out.path(), [](const fs::path& t) { return build::WriteFileBytes(t, Bytes("half")), false; }),
            "Cannot write " + out.str() + ": the data could not be written.");
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("the earlier snapshot"));
  EXPECT_TRUE(hidden().empty()) << "the temporary file is removed";

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    WriteReplacing(out.path(), [](const fs::path& temporary) {
      std::ofstream(temporary, std::ios::binary) << "half of a new snapsh" << std::flush;
      raise(SIGKILL);
      return true;
    });
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("the earlier snapshot"));
  ASSERT_EQ(hidden().size(), 1u) << "only the hidden temporary file is left";
  EXPECT_EQ(hidden()[0].rfind(".out.KVSNAPDB.pagewright-", 0), 0u);

  EXPECT_FALSE(WriteReplacing(out.path(), [](const fs::path& t) { return build::WriteFileBytes(t, Bytes("new")), true; }));
  EXPECT_EQ(build::ReadFileBytes(out.path()), Bytes("new"));
}

// The window's Save Snapshot and Load Snapshot go through the main frame.
TEST(SaveSnapshotGuard, NeverOverADatabaseFileAndNeverOnAPipe) {
  build::TempFile mdf("Shop.mdf");
  testing::ShopDatabase().WriteTo(mdf.path());
  const auto original = build::ReadFileBytes(mdf.path());
  testing::ShellHarness shell;
  shell.Scan(mdf.str());
  fs::create_hard_link(mdf.path(), mdf.folder() / "Shop.KVSNAPDB");
  for (const fs::path& out : {mdf.path(), mdf.folder() / "Shop.KVSNAPDB"}) {
    shell.ui.failures.clear();
    EXPECT_FALSE(shell.frame.SaveSnapshot(out.string(), true)) << "not even when forced";
    EXPECT_EQ(shell.ui.failures,
              (std::vector<std::string>{"Refusing to write " + out.string() + ": it is the same file as " + mdf.str() +
                                            ", which this recovery reads.",
                                        snapshot_text::kCannotSave, snapshot_text::kCannotSave}));
  }
  EXPECT_EQ(build::ReadFileBytes(mdf.path()), original);
  build::TempFile notes(Bytes("notes"), "notes.KVSNAPDB");
  EXPECT_FALSE(shell.frame.SaveSnapshot(notes.str()));
  EXPECT_TRUE(shell.frame.SaveSnapshot(notes.str(), true));
  EXPECT_TRUE(shell.frame.SaveSnapshot(notes.str())) << "now a snapshot, it is replaced unasked";

  const fs::path pipe = notes.folder() / "p.KVSNAPDB";
  ASSERT_TRUE(testing::MakeNamedPipe(pipe));
  EXPECT_TRUE(testing::FinishesWithin(1s, [&] {
    EXPECT_FALSE(shell.frame.SaveSnapshot(pipe.string(), true));
    EXPECT_FALSE(shell.frame.LoadSnapshot(pipe.string()));
  }, pipe));
  EXPECT_EQ(shell.ui.failures.back(), "Cannot read " + pipe.string() + ": it is a named pipe, not a regular file.");
  EXPECT_EQ(shell.state.running, 0);
}

}  // namespace
}  // namespace pagewright
