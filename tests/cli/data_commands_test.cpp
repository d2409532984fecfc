// The data commands end to end: export, schema and tables; help and
// version on standard output; messages that name the option, the file or
// the table; exit codes 0, 2 (damage counted) and 1.
#include <gtest/gtest.h>

#include <fstream>

#include "support/builder/catalog_builder.h"
#include "support/builder/database_builder.h"
#include "support/cli_runner.h"
#include "support/corpus.h"
#include "support/json.h"

namespace pagewright {
namespace {

using namespace build;
using testing::CommandRun;
using testing::RunPagewright;
using testing::ShellQuote;

std::string Northwind() { return (testing::CorpusDir() / "655_sampledbs_northwnd.mdf").string(); }

TEST(DataCommands, HelpAndVersionGoToStandardOutputWithExitZero) {
  for (const std::string args : {"--help", "help", "help export", "export --help", "tables -h", "help schema"}) {
    CommandRun run = RunPagewright(args);
    EXPECT_EQ(run.exitCode, 0) << args;
    EXPECT_NE(run.out.find("usage: pagewright"), std::string::npos) << args;
    EXPECT_EQ(run.err, "") << args;
  }
  EXPECT_NE(RunPagewright("help export").out.find("--format csv|sql|sqlite|jsonl"), std::string::npos);
  CommandRun version = RunPagewright("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "pagewright 0.1.0\n");
  CommandRun unknown = RunPagewright("help frobnicate");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("frobnicate"), std::string::npos);
}

TEST(DataCommands, BadOptionsAndFilesAreNamedWithTheReason) {
  build::TempFile out("unused");
  CommandRun unknown = RunPagewright("export x.mdf --format csv --output o --frobnicate");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("unknown option --frobnicate"), std::string::npos) << unknown.err;
  CommandRun format = RunPagewright("export x.mdf --format xml --output o");
  EXPECT_EQ(format.exitCode, 1);
  EXPECT_NE(format.err.find("option --format: unknown format 'xml'"), std::string::npos) << format.err;
  CommandRun value = RunPagewright("export x.mdf --format csv --output");
  EXPECT_EQ(value.exitCode, 1);
  EXPECT_NE(value.err.find("option --output needs a value"), std::string::npos) << value.err;
  const std::string missing = (out.folder() / "absent.mdf").string();
  CommandRun file = RunPagewright("tables " + ShellQuote(missing));
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_NE(file.err.find(missing + ": no such file"), std::string::npos) << file.err;
}

TEST(DataCommands, AnOutputThatIsTheDatabaseFileIsRefused) {
  CatalogBuilder b;
  TableDef t;
  t.name = "T";
  t.columns = {IntColumn("Id", false)};
  t.rows = {{IntValue(1)}};
  b.AddTable(t);
  build::TempFile file("own.mdf");
  b.Build().WriteTo(file.path());
  const auto before = std::filesystem::file_size(file.path());
  CommandRun run = RunPagewright("export " + ShellQuote(file.str()) + " --format sqlite --output " + ShellQuote(file.str()));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("it is the same file as"), std::string::npos) << run.err;
  EXPECT_EQ(std::filesystem::file_size(file.path()), before);
}

TEST(DataCommands, TableNamesMatchLooselyAndAMissSuggestsOne) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  CommandRun hit = RunPagewright("export " + ShellQuote(Northwind()) + " --tables '[dbo].[SHIPPERS]' --format csv --output -");
  EXPECT_EQ(hit.exitCode, 0) << hit.err;
  EXPECT_EQ(testing::SplitLines(hit.out).size(), 4u) << hit.out;
  EXPECT_EQ(testing::SplitLines(hit.out)[0], "ShipperID,CompanyName,Phone");
  EXPECT_NE(hit.err.find("dbo.Shippers: 3 rows, 0 unreadable pages, 0 unreadable values"), std::string::npos) << hit.err;
  CommandRun miss = RunPagewright("export " + ShellQuote(Northwind()) + " --tables Shipers --format csv --output -");
  EXPECT_EQ(miss.exitCode, 1);
  EXPECT_NE(miss.err.find("no table named Shipers; did you mean dbo.Shippers?"), std::string::npos) << miss.err;
  EXPECT_EQ(miss.out, "");
  CommandRun two = RunPagewright("export " + ShellQuote(Northwind()) + " --tables Shippers,Region --format csv --output -");
  EXPECT_EQ(two.exitCode, 1);
  EXPECT_NE(two.err.find("standard output takes exactly one table"), std::string::npos) << two.err;
}

TEST(DataCommands, TablesListsRowAndPageCountsAndSchemaDeclaredTypes) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  CommandRun run = RunPagewright("tables " + ShellQuote(Northwind()) + " --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto json = testing::ParseJson(run.out);
  const auto& f = *std::find_if(testing::CorpusFiles().begin(), testing::CorpusFiles().end(),
                                [](const auto& c) { return c.file == "655_sampledbs_northwnd.mdf"; });
  ASSERT_EQ(json.array.size(), f.tables.size());
  for (const auto& t : json.array) {
    EXPECT_EQ(t["rows"].AsInt(), f.tables.at(t["name"].string)) << t["name"].string;
    EXPECT_GE(t["dataPages"].AsInt(), t["rows"].AsInt() > 0 ? 1 : 0);
  }
  CommandRun schema = RunPagewright("schema " + ShellQuote(Northwind()) + " employees");
  ASSERT_EQ(schema.exitCode, 0) << schema.err;
  EXPECT_NE(schema.out.find("CREATE TABLE [dbo].[Employees] ("), std::string::npos);
  EXPECT_NE(schema.out.find("[LastName] nvarchar(20) NOT NULL"), std::string::npos) << schema.out;
  EXPECT_NE(schema.out.find("[EmployeeID] int IDENTITY(1,1) NOT NULL"), std::string::npos);
  EXPECT_NE(schema.out.find("CONSTRAINT [PK_Employees] PRIMARY KEY CLUSTERED ([EmployeeID])"), std::string::npos);
}

TEST(DataCommands, RowsPastTheLastGridPageSaysSo) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  build::TempFile logs("unused");
  CommandRun run = RunPagewright("rows " + ShellQuote(Northwind()) + " dbo.Shippers --page 3 --log-dir " +
                                     ShellQuote(logs.folder().string()),
                                 logs.folder().string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("dbo.Shippers has 1 grid page; there is no page 3"), std::string::npos) << run.err;
}

TEST(DataCommands, ADamagedPageIsCountedAndGivesExitTwoWhileTheOtherTablesAreWritten) {
  CatalogBuilder b;
  for (const char* name : {"Kept", "Hurt"}) {
    TableDef t;
    t.name = name;
    t.columns = {IntColumn("Id", false), VarcharColumn("Word", 20)};
    for (int i = 0; i < 300; ++i) t.rows.push_back({IntValue(i), TextValue("row " + std::to_string(i))});
    t.rowsPerPage = 50;
    b.AddTable(t);
  }
  build::TempFile file("damaged.mdf");
  b.Build().WriteTo(file.path());
  {
    // Zero the second data page of dbo.Hurt.
    const uint32_t page = b.built().at("dbo.Hurt").dataPages.at(1);
    std::fstream f(file.path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(page) * 8192);
    const std::string zeros(8192, '\0');
    f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
  const auto out = file.folder() / "csv";
  CommandRun run = RunPagewright("export " + ShellQuote(file.str()) + " --format csv --output " + ShellQuote(out.string()));
  EXPECT_EQ(run.exitCode, 2) << run.err;
  EXPECT_NE(run.err.find("dbo.Kept: 300 rows, 0 unreadable pages, 0 unreadable values"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("dbo.Hurt: 250 rows, 1 unreadable pages, 0 unreadable values"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::exists(out / "dbo.Kept.csv"));
  EXPECT_TRUE(std::filesystem::exists(out / "dbo.Hurt.csv"));
  EXPECT_EQ(testing::SplitLines(run.out).size(), 0u) << "nothing on standard output but data";
}

// A file cut short loses the pages past its end: export, tables and schema
// say so and never exit 0, whether the cut leaves some tables (exit 2) or
// none (export 1: nothing could be saved).
TEST(DataCommands, AFileCutShortIsSaidAndNeverExitsZero) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  std::ifstream in(Northwind(), std::ios::binary);
  const std::vector<uint8_t> whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(whole.size() % 8192, 0u);
  const size_t pages = whole.size() / 8192;
  for (const size_t keep : {size_t{12}, pages / 2, pages - 9}) {
    SCOPED_TRACE(keep);
    build::TempFile file(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(keep * 8192)));
    const auto out = file.folder() / "csv";
    CommandRun run = RunPagewright("export " + ShellQuote(file.str()) + " --format csv --output " + ShellQuote(out.string()));
    EXPECT_NE(run.err.find("File " + file.str() + " is shorter than its allocation maps: "), std::string::npos) << run.err;
    const bool tablesLeft = run.err.find("the catalog names no user table") == std::string::npos;
    EXPECT_EQ(run.exitCode, tablesLeft ? 2 : 1) << run.err;
    if (keep == 12) EXPECT_FALSE(tablesLeft) << "12 pages hold no catalog";
    if (keep == pages / 2) EXPECT_TRUE(tablesLeft);
    for (const char* command : {"tables ", "schema "}) {
      CommandRun listed = RunPagewright(command + ShellQuote(file.str()));
      EXPECT_EQ(listed.exitCode, 2) << command << listed.err;
      EXPECT_NE(listed.err.find("is shorter than its allocation maps"), std::string::npos) << command;
    }
  }
}

}  // namespace
}  // namespace pagewright
