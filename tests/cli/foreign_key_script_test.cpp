// pagewright script of a foreign key: the ALTER TABLE statement that adds it,
// its columns and referenced columns as the Northwind creation scripts
// declare them, in both catalog layouts.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/builder/database_builder.h"
#include "support/cli_runner.h"
#include "support/corpus.h"
#include "support/creation_script.h"

namespace pagewright {
namespace {

using testing::RunPagewright;
using testing::ShellQuote;

std::string Bracketed(const std::string& qualified) {
  size_t dot = qualified.find('.');
  if (dot == std::string::npos) return "[" + qualified + "]";
  return "[" + qualified.substr(0, dot) + "].[" + qualified.substr(dot + 1) + "]";
}

std::string List(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) out += (i ? ", [" : "[") + names[i] + "]";
  return out;
}

class ForeignKeyScripts : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(ForeignKeyScripts, ScriptIsTheAlterTableTheCreationScriptDeclares) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto dir = testing::CorpusDir();
  const auto [file, scriptFile] = GetParam();
  if (!std::filesystem::exists(dir / file) || !std::filesystem::exists(dir / scriptFile)) GTEST_SKIP();
  const testing::CreationScript script = testing::ParseCreationScript(testing::ReadScriptText(dir / scriptFile));
  const build::TempFile logFolder;  // the scans' activity logs go there
  const std::string logs = logFolder.folder().string();
  int checked = 0;
  for (const auto& table : script.tables) {
    for (const auto& fk : table.foreignKeys) {
      if (fk.name.empty()) continue;
      SCOPED_TRACE(fk.name);
      std::vector<std::string> referenced = fk.referencedColumns;
      if (referenced.empty()) referenced = script.Table(fk.referencedTable)->primaryKey;
      const std::string expected = "ALTER TABLE " + Bracketed(table.name) + " ADD CONSTRAINT [" + fk.name +
                                   "] FOREIGN KEY (" + List(fk.columns) + ") REFERENCES " +
                                   Bracketed(fk.referencedTable) + " (" + List(referenced) + ")\n";
      testing::CommandRun run =
          RunPagewright("script " + ShellQuote((dir / file).string()) + " " + ShellQuote(fk.name) + " --log-dir " +
                        ShellQuote(logs));
      ASSERT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(run.out, expected);
      ++checked;
    }
  }
  EXPECT_GE(checked, 10);
}

INSTANTIATE_TEST_SUITE_P(Northwind, ForeignKeyScripts,
                         ::testing::Values(std::make_pair("539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql"),
                                           std::make_pair("655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql")));

}  // namespace
}  // namespace pagewright
