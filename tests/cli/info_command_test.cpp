// pagewright info on every real file of the corpus: name, version and
// collation as the manifest records them.
#include <gtest/gtest.h>


#include "pagestore/collation_table.h"
#include "support/builder/catalog_builder.h"
#include "support/builder/database_builder.h"
#include "support/cli_runner.h"
#include "support/corpus.h"

namespace pagewright {
namespace {

using testing::RunPagewright;
using testing::ShellQuote;

TEST(InfoCommand, ReportsEveryCorpusFileAsItsManifestSays) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const CollationTable collations = LoadCollationTable(testing::BinaryDir());
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    testing::CommandRun run = RunPagewright("info " + ShellQuote(f.path.string()));
    ASSERT_EQ(run.exitCode, 0);
    auto lines = testing::SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0], "Database name: " + f.databaseName);
    EXPECT_EQ(lines[1], "Database version: " + f.versionText);
    auto collation = collations.find(f.collationId);
    ASSERT_NE(collation, collations.end()) << "collation id " << f.collationId << " not in collation.txt";
    EXPECT_EQ(lines[2], "Collation Type: " + collation->second.name);
    EXPECT_EQ(lines[3], "Pages: " + std::to_string(std::filesystem::file_size(f.path) / 8192));
  }
}

TEST(InfoCommand, NonDatabaseFileFailsWithTheOpenMessage) {
  build::TempFile text(std::vector<uint8_t>(100, 'x'));
  testing::CommandRun run = RunPagewright("info " + ShellQuote(text.str()));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("Whether File is not valid mdf file"), std::string::npos) << run.err;
  testing::CommandRun missing = RunPagewright("info /nonexistent/file.mdf");
  EXPECT_EQ(missing.exitCode, 1);
}

// Files of SQL Server 2016 to 2022 are named and read like those of 2014:
// the same builder catalog under each boot version gives the same tables.
TEST(InfoCommand, NewerVersionsAreNamedAndRead) {
  const std::pair<uint16_t, std::string> versions[] = {
      {782, " SQL Server 2014"}, {852, " SQL Server 2016"}, {869, " SQL Server 2017"},
      {904, " SQL Server 2019"}, {957, " SQL Server 2022"}};
  for (const auto& [version, text] : versions) {
    SCOPED_TRACE(version);
    build::CatalogBuilder b(false, version);
    build::TableDef t;
    t.name = "Kept";
    t.columns = {build::IntColumn("Id", false)};
    for (int i = 0; i < 5; ++i) t.rows.push_back({build::IntValue(i)});
    b.AddTable(t);
    build::TempFile file(b.Build().Build());
    testing::CommandRun info = RunPagewright("info " + ShellQuote(file.str()));
    ASSERT_EQ(info.exitCode, 0);
    EXPECT_EQ(testing::SplitLines(info.out).at(1), "Database version: " + text);
    testing::CommandRun rows = RunPagewright("rows " + ShellQuote(file.str()) + " dbo.Kept --log-dir " +
                                             ShellQuote(file.folder().string()));
    ASSERT_EQ(rows.exitCode, 0) << rows.err;
    EXPECT_NE(rows.out.find("\n4"), std::string::npos) << rows.out;
  }
}

TEST(InfoCommand, UnknownVersionAndCollationAreNamedSo) {
  build::DatabaseBuilder db(20);
  db.Boot({u"Odd", 600, 424242});
  build::PageBuilder sys(1, 16);
  sys.ObjectId(7);
  db.SetPage(16, sys);
  build::TempFile file(db.Build());
  testing::CommandRun run = RunPagewright("info " + ShellQuote(file.str()));
  ASSERT_EQ(run.exitCode, 0);
  auto lines = testing::SplitLines(run.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "Database version: Unknown SQL Version");
  EXPECT_EQ(lines[2], "Collation Type: Unknown Collation");
  EXPECT_EQ(lines[0], "Database name: Odd");
}

}  // namespace
}  // namespace pagewright
