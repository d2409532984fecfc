// Every table of every real file through the CSV and SQLite exports: the row
// count its manifest records, read back from the CSV files and from the
// sqlite3 shell's count(*).
#include <gtest/gtest.h>

#include <cstdio>

#include "csv_reading.h"
#include "support/builder/database_builder.h"

namespace pagewright {
namespace {

using testing::CorpusFiles;

// The sqlite3 shell's output for one statement, without its last line end.
std::string SqliteShell(const std::filesystem::path& file, const std::string& sql) {
  std::string out = testing::SqliteOutput(file, sql);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

std::string CsvName(const std::string& table) { return table + ".csv"; }

TEST(CorpusExport, CsvFilesHoldEveryRowTheManifestCounts) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : CorpusFiles()) {
    SCOPED_TRACE(f.file);
    build::TempFile out("unused");
    const auto folder = out.folder() / "csv";
    ExportResult result = testing::ExportFile(f.path, ExportFormat::kCsv, folder);
    ASSERT_TRUE(result.finished) << result.error;
    EXPECT_EQ(result.ExitCode(), 0);
    EXPECT_EQ(result.tables.size(), f.tables.size());
    const auto& ambiguous = f.raw["rowsAmbiguous"];
    for (const auto& [table, expected] : f.tables) {
      SCOPED_TRACE(table);
      const auto path = folder / CsvName(table);
      ASSERT_TRUE(std::filesystem::exists(path));
      bool wellFormed = false;
      const auto records = testing::ParseCsv(testing::ReadWholeFile(path), &wellFormed);
      EXPECT_TRUE(wellFormed);
      ASSERT_FALSE(records.empty()) << "no header line";
      for (const auto& r : records) EXPECT_EQ(r.size(), records[0].size()) << "a record with another field count";
      if (ambiguous.Find(table) != nullptr) continue;
      EXPECT_EQ(static_cast<long long>(records.size()) - 1, expected);
    }
    // Nothing but the tables' files: no temporary file left behind.
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
      ++files;
      EXPECT_EQ(e.path().extension(), ".csv") << e.path();
    }
    EXPECT_EQ(files, f.tables.size());
  }
}

TEST(CorpusExport, SqliteDatabaseCountsMatchTheManifestInTheSqliteShell) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  if (SqliteShell("/dev/null", "select 1") != "1") GTEST_SKIP() << "the sqlite3 shell is not installed";
  for (const auto& f : CorpusFiles()) {
    SCOPED_TRACE(f.file);
    build::TempFile out("unused");
    const auto file = out.folder() / "export.sqlite";
    ExportResult result = testing::ExportFile(f.path, ExportFormat::kSqlite, file);
    ASSERT_TRUE(result.finished) << result.error;
    EXPECT_EQ(SqliteShell(file, "pragma integrity_check"), "ok");
    const auto& ambiguous = f.raw["rowsAmbiguous"];
    for (const auto& [table, expected] : f.tables) {
      if (ambiguous.Find(table) != nullptr) continue;
      std::string quoted;
      for (char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      EXPECT_EQ(SqliteShell(file, "select count(*) from \"" + quoted + "\""), std::to_string(expected)) << table;
    }
  }
}

TEST(CorpusExport, ShowDeletedMarksTheManifestsGhostRows) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : CorpusFiles()) {
    SCOPED_TRACE(f.file);
    build::TempFile out("unused");
    const auto folder = out.folder() / "csv";
    ExportResult result = testing::ExportFile(f.path, ExportFormat::kCsv, folder, true);
    ASSERT_TRUE(result.finished) << result.error;
    const auto& ambiguous = f.raw["rowsAmbiguous"];
    for (const auto& [table, expected] : f.tables) {
      const auto records = testing::ParseCsv(testing::ReadWholeFile(folder / CsvName(table)));
      ASSERT_FALSE(records.empty());
      ASSERT_EQ(records[0].back().text, "__deleted");
      long long deleted = 0;
      for (size_t i = 1; i < records.size(); ++i) deleted += records[i].back().text == "1";
      const long long ghosts = f.raw["ghostRowsByTable"][table].AsInt();
      EXPECT_EQ(deleted, ghosts) << table;
      if (ambiguous.Find(table) == nullptr) {
        EXPECT_EQ(static_cast<long long>(records.size()) - 1, expected + ghosts) << table;
      }
    }
  }
}

}  // namespace
}  // namespace pagewright
