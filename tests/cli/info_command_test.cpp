// pagewright info on every real file of the corpus: name, version and
// collation as the manifest records them.
#include <gtest/gtest.h>


#include "pagestore/collation_table.h"
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
