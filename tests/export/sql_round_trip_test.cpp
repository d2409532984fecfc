// The T-SQL export of the Northwind files read back by the tests' T-SQL
// reader: the same tables with the declared types, NULL / NOT NULL,
// identity and keys the creation scripts declared, and the rows the CSV
// export holds, value for value.
#include <gtest/gtest.h>

#include <map>

#include "csv_reading.h"
#include "support/builder/database_builder.h"
#include "support/creation_script.h"

namespace pagewright {
namespace {

using testing::LiteralKind;

struct NorthwindFile {
  const char* file;
  const char* script;
};

class SqlRoundTrip : public ::testing::TestWithParam<NorthwindFile> {};

// A literal of the export as the CSV export writes the value: text as it
// is, datetime with a space for the T, numbers and binary as written; NULL
// as nullopt.
std::optional<std::string> AsCsv(const testing::ScriptLiteral& v) {
  if (v.kind == LiteralKind::kNull) return std::nullopt;
  std::string text = v.text;
  if (v.kind == LiteralKind::kString && text.size() == 23 && text[10] == 'T') text[10] = ' ';
  return text;
}

TEST_P(SqlRoundTrip, TablesKeysAndRowsComeBack) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto dir = testing::CorpusDir();
  const NorthwindFile f = GetParam();
  if (!std::filesystem::exists(dir / f.file) || !std::filesystem::exists(dir / f.script)) GTEST_SKIP();
  const auto original = testing::ParseCreationScript(testing::ReadScriptText(dir / f.script));
  build::TempFile out("unused");
  const auto sql = out.folder() / "northwind.sql";
  ExportResult result = testing::ExportFile(dir / f.file, ExportFormat::kSql, sql);
  ASSERT_TRUE(result.finished) << result.error;
  EXPECT_EQ(result.ExitCode(), 0);
  ExportResult csv = testing::ExportFile(dir / f.file, ExportFormat::kCsv, out.folder() / "csv");
  ASSERT_TRUE(csv.finished);
  const std::string text = testing::ReadWholeFile(sql);
  const auto back = testing::ParseCreationScript(text);

  ASSERT_EQ(back.tables.size(), original.tables.size());
  for (const auto& want : original.tables) {
    SCOPED_TRACE(want.name);
    const testing::ScriptTable* got = back.Table(want.name);
    ASSERT_NE(got, nullptr);
    ASSERT_EQ(got->columns.size(), want.columns.size());
    for (size_t c = 0; c < want.columns.size(); ++c) {
      EXPECT_EQ(got->columns[c].name, want.columns[c].name);
      EXPECT_EQ(got->columns[c].typeText, want.columns[c].typeText) << want.columns[c].name;
      EXPECT_EQ(got->columns[c].nullable, want.columns[c].nullable) << want.columns[c].name;
      EXPECT_EQ(got->columns[c].identity, want.columns[c].identity) << want.columns[c].name;
    }
    EXPECT_EQ(got->primaryKey, want.primaryKey);
    if (!want.primaryKeyName.empty()) {
      EXPECT_EQ(got->primaryKeyName, want.primaryKeyName);
    }
    // Foreign keys by their columns and referenced table.
    auto keys = [](const testing::ScriptTable& t) {
      std::map<std::vector<std::string>, std::string> byColumns;
      for (const auto& fk : t.foreignKeys) byColumns[fk.columns] = fk.referencedTable;
      return byColumns;
    };
    EXPECT_EQ(keys(*got), keys(want));

    // Rows: as many as the script inserted, each the CSV export's row.
    const auto inserts = back.InsertsInto(want.name);
    EXPECT_EQ(inserts.size(), original.InsertsInto(want.name).size());
    const auto records = testing::ParseCsv(testing::ReadWholeFile(out.folder() / "csv" / (want.name + ".csv")));
    ASSERT_EQ(records.size(), inserts.size() + 1);
    int mismatches = 0;
    for (size_t r = 0; r < inserts.size(); ++r) {
      const auto& insert = *inserts[r];
      ASSERT_EQ(insert.values.size(), want.columns.size());
      for (size_t c = 0; c < insert.values.size(); ++c) {
        const auto value = AsCsv(insert.values[c]);
        const testing::CsvField& cell = records[r + 1][c];
        const bool same = value ? !cell.IsNull() && cell.text == *value : cell.IsNull();
        if (!same && ++mismatches <= 5)
          ADD_FAILURE() << "row " << r << " " << want.columns[c].name << ": sql " << (value ? value->substr(0, 40) : "NULL")
                        << " csv " << cell.text.substr(0, 40);
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
  // The modules as stored, each in a batch of its own.
  for (const auto& m : original.modules) {
    bool found = false;
    for (const auto& b : back.modules) found = found || b.name == m.name;
    EXPECT_TRUE(found) << m.name;
  }
  EXPECT_EQ(text.find("IDENTITY_INSERT [dbo].[Orders] ON") != std::string::npos, true);
}

INSTANTIATE_TEST_SUITE_P(Corpus, SqlRoundTrip,
                         ::testing::Values(NorthwindFile{"539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql"},
                                           NorthwindFile{"655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql"}),
                         [](const auto& p) { return std::string(p.param.file).substr(0, 3) == "539" ? "Sql2000" : "Sql2008"; });

}  // namespace
}  // namespace pagewright
