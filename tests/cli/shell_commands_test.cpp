// The headless shell end to end: scan, tree, rows, script and snapshots.
#include <gtest/gtest.h>

#include <set>

#include "support/builder/database_builder.h"
#include "support/builder/example_database.h"
#include "support/cli_runner.h"
#include "support/corpus.h"

namespace pagewright {
namespace {

using testing::CommandRun;
using testing::RunPagewright;
using testing::ShellQuote;
using testing::SplitLines;

// Runs a shell command whose log file goes to a fresh folder.
CommandRun Shell(const std::string& args) {
  build::TempFile logs("unused");
  return RunPagewright(args + " --log-dir " + ShellQuote(logs.folder().string()), logs.folder().string());
}

std::set<std::string> TrimmedLines(const std::string& text) {
  std::set<std::string> out;
  for (auto line : SplitLines(text)) {
    line.erase(0, line.find_first_not_of(' '));
    out.insert(line);
  }
  return out;
}

TEST(ScanCommand, EveryCorpusFileCompletesWithItsObjectsInTheTree) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    CommandRun run = Shell("scan " + ShellQuote(f.path.string()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Scanning process completed."), std::string::npos);
    EXPECT_NE(run.out.find("Database version: " + f.versionText), std::string::npos);
    auto lines = TrimmedLines(run.out);
    for (const auto& [table, rows] : f.tables) EXPECT_TRUE(lines.count(table)) << table;
    for (const char* code : {"V", "P"}) {
      auto it = f.modules.find(code);
      if (it == f.modules.end()) continue;
      for (const auto& name : it->second) EXPECT_TRUE(lines.count(name)) << name;
    }
  }
}

TEST(ScanCommand, NotADatabaseFailsWithExitCodeOne) {
  build::TempFile text(std::vector<uint8_t>(20000, 'x'), "junk.mdf");
  CommandRun run = Shell("scan " + ShellQuote(text.str()));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("Whether File is not valid mdf file or file is highly corrupted"), std::string::npos);
  EXPECT_NE(run.err.find("Scanning process aborted."), std::string::npos);
  CommandRun wrongName = Shell("scan " + ShellQuote(text.folder().string() + "/nothing.txt"));
  EXPECT_EQ(wrongName.exitCode, 1);
  EXPECT_NE(wrongName.err.find("Please select valid SQL file path to continue the recovery process."),
            std::string::npos);
}

class ExampleShell : public ::testing::Test {
 protected:
  void SetUp() override { build::ExampleDatabase().WriteTo(db_.path()); }
  build::TempFile db_{"Example.mdf"};
};

TEST_F(ExampleShell, RowsPrintTheLabelAndTheGridAsCsv) {
  CommandRun run = Shell("rows " + ShellQuote(db_.str()) + " dbo.Customers");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "Page1 - [4](1-4) Records");
  EXPECT_EQ(lines[1], "CustomerID,CompanyName,City,Phone,Active");
  EXPECT_EQ(lines[3], "BOLID,Bólido Comidas preparadas,Madrid,(91) 555 22 82,True");
  EXPECT_EQ(lines[4], "MOSKV,Московская торговля,Москва,NULL,False");
  CommandRun missing = Shell("rows " + ShellQuote(db_.str()) + " dbo.NoSuchTable");
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("dbo.NoSuchTable"), std::string::npos);
}

TEST_F(ExampleShell, DeletedRowsComeBackWithTheOption) {
  CommandRun plain = Shell("rows " + ShellQuote(db_.str()) + " dbo.AuditLog");
  CommandRun deleted = Shell("rows " + ShellQuote(db_.str()) + " dbo.AuditLog --show-deleted");
  EXPECT_EQ(SplitLines(plain.out).size(), 2u + 12u);
  EXPECT_EQ(SplitLines(deleted.out).size(), 2u + 13u);
  EXPECT_NE(deleted.out.find("deleted entry"), std::string::npos);
}

TEST_F(ExampleShell, ScriptsOfModulesAndKeys) {
  CommandRun view = Shell("script " + ShellQuote(db_.str()) + " dbo.CustomerOrders");
  ASSERT_EQ(view.exitCode, 0) << view.err;
  EXPECT_EQ(SplitLines(view.out)[0], "CREATE VIEW [dbo].[CustomerOrders] AS");
  CommandRun key = Shell("script " + ShellQuote(db_.str()) + " dbo.PK_Orders");
  ASSERT_EQ(key.exitCode, 0) << key.err;
  EXPECT_EQ(SplitLines(key.out)[0], "ALTER TABLE [dbo].[Orders] ADD PRIMARY KEY ( [OrderID] )");
  CommandRun none = Shell("script " + ShellQuote(db_.str()) + " dbo.Nothing");
  EXPECT_EQ(none.exitCode, 1);
  // The schema may be left out where only one schema holds the name.
  CommandRun bare = Shell("script " + ShellQuote(db_.str()) + " CustomerOrders");
  ASSERT_EQ(bare.exitCode, 0) << bare.err;
  EXPECT_EQ(bare.out, view.out);
  CommandRun bareKey = Shell("script " + ShellQuote(db_.str()) + " PK_Orders");
  EXPECT_EQ(bareKey.out, key.out);
  CommandRun bareTable = Shell("rows " + ShellQuote(db_.str()) + " Customers");
  ASSERT_EQ(bareTable.exitCode, 0) << bareTable.err;
  EXPECT_EQ(SplitLines(bareTable.out)[1], "CustomerID,CompanyName,City,Phone,Active");
  EXPECT_EQ(Shell("script " + ShellQuote(db_.str()) + " rders").exitCode, 1) << "a label's tail is no match";
}

TEST_F(ExampleShell, TreeExpandsEveryTable) {
  CommandRun run = Shell("tree " + ShellQuote(db_.str()));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  auto lines = TrimmedLines(run.out);
  EXPECT_TRUE(lines.count("OrderID  int(4)[Primary Key]"));
  EXPECT_TRUE(lines.count("CustomerID  nchar(10)  (foreign key) references dbo.Customers( CustomerID)"));
  EXPECT_TRUE(lines.count("dbo.FK_Orders_Customers"));
  EXPECT_EQ(run.out.find("Scanning"), std::string::npos) << "tree prints only the tree";
}

TEST_F(ExampleShell, SnapshotSavedAndLoadedGivesTheSameTreeAndRows) {
  build::TempFile snapshot("example.KVSNAPDB");
  CommandRun save = Shell("snapshot save " + ShellQuote(db_.str()) + " " + ShellQuote(snapshot.str()));
  ASSERT_EQ(save.exitCode, 0) << save.err;
  EXPECT_NE(save.out.find("Snapshot Saved successfully in path " + snapshot.str()), std::string::npos);
  CommandRun direct = Shell("tree " + ShellQuote(db_.str()));
  CommandRun loaded = Shell("tree " + ShellQuote(db_.str()) + " --snapshot " + ShellQuote(snapshot.str()));
  ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
  EXPECT_EQ(loaded.out, direct.out);
  CommandRun rowsDirect = Shell("rows " + ShellQuote(db_.str()) + " dbo.Orders");
  CommandRun rowsLoaded = Shell("rows " + ShellQuote(db_.str()) + " dbo.Orders --snapshot " + ShellQuote(snapshot.str()));
  EXPECT_EQ(rowsLoaded.out, rowsDirect.out);
  build::TempFile garbage(std::vector<uint8_t>(100, 0x7F), "garbage.KVSNAPDB");
  CommandRun bad = Shell("scan " + ShellQuote(db_.str()) + " --snapshot " + ShellQuote(garbage.str()));
  EXPECT_EQ(bad.exitCode, 1);
  // A header that cannot be read names no backup file.
  EXPECT_NE(bad.err.find("Browse old MDF file to continue the saving process."), std::string::npos) << bad.err;
  CommandRun missingSnapshot = Shell("scan " + ShellQuote(db_.str()) + " --snapshot " + ShellQuote(snapshot.str() + ".missing"));
  EXPECT_EQ(missingSnapshot.exitCode, 1);
}

TEST(SnapshotCommand, CorpusSnapshotGivesTheSameTreeAndRows) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto& f = testing::CorpusFiles().front();
  build::TempFile snapshot("corpus.KVSNAPDB");
  ASSERT_EQ(Shell("snapshot save " + ShellQuote(f.path.string()) + " " + ShellQuote(snapshot.str())).exitCode, 0);
  CommandRun direct = Shell("tree " + ShellQuote(f.path.string()));
  CommandRun loaded = Shell("tree " + ShellQuote(f.path.string()) + " --snapshot " + ShellQuote(snapshot.str()));
  EXPECT_EQ(loaded.out, direct.out);
  const std::string table = f.tables.begin()->first;
  EXPECT_EQ(Shell("rows " + ShellQuote(f.path.string()) + " " + ShellQuote(table) + " --snapshot " +
                  ShellQuote(snapshot.str()))
                .out,
            Shell("rows " + ShellQuote(f.path.string()) + " " + ShellQuote(table)).out);
}

}  // namespace
}  // namespace pagewright
