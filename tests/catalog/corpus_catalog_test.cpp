// The catalog of every real file lists exactly the user tables and modules
// its manifest records.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "catalog/database_catalog.h"
#include "catalog/object_details.h"
#include "pagestore/collation_table.h"
#include "support/corpus.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

TEST(CorpusCatalog, TablesAndModulesMatchTheManifest) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  for (const auto& f : testing::CorpusFiles()) {
    SCOPED_TRACE(f.file);
    AppState state;
    auto reader = OpenForTest(state, f.path.string(), f.path.string(), nullptr);
    ASSERT_TRUE(reader->openSucceeded());
    auto catalog = BuildCatalog(state, *reader);
    EXPECT_EQ(state.legacyCatalogMode, f.version == 539);
    std::set<std::string> tables;
    std::map<std::string, std::set<std::string>> modules;
    for (const auto& o : catalog->objects) {
      if (o.typeCode == "U ") tables.insert(o.name);
      for (const char* code : {"D ", "P ", "V ", "FN", "IF", "TF", "TR"}) {
        if (o.typeCode != code) continue;
        std::string key(code);
        if (key.back() == ' ') key.pop_back();
        modules[key].insert(o.name);
      }
    }
    std::set<std::string> expectedTables;
    for (const auto& [name, rows] : f.tables) expectedTables.insert(name);
    EXPECT_EQ(tables, expectedTables);
    std::map<std::string, std::set<std::string>> expectedModules;
    for (const auto& [code, names] : f.modules) expectedModules[code] = {names.begin(), names.end()};
    EXPECT_EQ(modules, expectedModules);
    // Every user table has columns and, where it holds rows, data pages.
    for (const auto& name : tables) {
      auto columns = SelectDetails(*catalog, name, "U ", {});
      EXPECT_FALSE(columns.empty()) << name;
      if (f.tables.at(name) > 0) {
        EXPECT_FALSE(Selected(*catalog).tablePages.empty()) << name;
      }
    }
  }
}

}  // namespace
}  // namespace pagewright
