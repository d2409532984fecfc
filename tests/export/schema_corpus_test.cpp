// The schema script against real files whose tables use what Northwind does
// not: AdventureWorksLT's computed columns (one under a unique key),
// identity columns NOT FOR REPLICATION and a foreign key ON DELETE CASCADE;
// the indexes, key clustering and unchecked foreign keys the creation
// scripts declare.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <tuple>
#include <set>

#include "csv_reading.h"
#include "export/schema_script.h"
#include "support/builder/database_builder.h"
#include "support/creation_script.h"

namespace pagewright {
namespace {

constexpr const char* kAdventureWorks = "661_EugeneSu0515_t4CodeTemplate_AdventureWorksLT2008_Data.mdf";

OpenedDatabase Open(const std::filesystem::path& mdf) {
  return OpenForExport(ReadContext(), LoadCollationTable(testing::BinaryDir()), true, 0, mdf.string(), mdf.string(),
                       nullptr);
}

const TableEntry& Table(const OpenedDatabase& db, const std::string& name) {
  for (const auto& t : db.tables)
    if (t.name == name) return t;
  throw std::runtime_error("no table " + name);
}

// The constraint names of the script's foreign key statements that carry
// `marker`.
std::set<std::string> ForeignKeysWith(const std::string& script, const std::string& marker) {
  std::set<std::string> names;
  std::istringstream lines(script);
  const std::regex name(R"(CONSTRAINT \[([^\]]+)\]\s*FOREIGN KEY)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    if (line.find(marker) != std::string::npos && std::regex_search(line, m, name)) names.insert(m[1]);
  }
  return names;
}

TEST(SchemaCorpus, ComputedColumnsIdentityAndCascadeOfAdventureWorksLt) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto mdf = testing::CorpusDir() / kAdventureWorks;
  if (!std::filesystem::exists(mdf)) GTEST_SKIP() << kAdventureWorks << " not in the corpus";
  build::TempFile out("unused");
  const auto sql = out.folder() / "aw.sql";
  ExportResult result = testing::ExportFile(mdf, ExportFormat::kSql, sql);
  ASSERT_TRUE(result.finished) << result.error;
  EXPECT_EQ(result.ExitCode(), 0);
  const std::string text = testing::ReadWholeFile(sql);

  // The three computed columns by their expressions, none persisted; the
  // unique key over one of them stays.
  EXPECT_NE(text.find("  [SalesOrderNumber] AS (isnull(N'SO'+CONVERT([nvarchar](23),[SalesOrderID],0),N'*** ERROR ***')),\n"),
            std::string::npos);
  EXPECT_NE(text.find("  [TotalDue] AS (isnull(([SubTotal]+[TaxAmt])+[Freight],(0))),\n"), std::string::npos);
  EXPECT_NE(text.find("  [LineTotal] AS (isnull(([UnitPrice]*((1.0)-[UnitPriceDiscount]))*[OrderQty],(0.0))),\n"),
            std::string::npos);
  EXPECT_NE(text.find("CONSTRAINT [AK_SalesOrderHeader_SalesOrderNumber] UNIQUE NONCLUSTERED ([SalesOrderNumber])"), std::string::npos);
  EXPECT_EQ(text.find("left out"), std::string::npos);
  // No INSERT names a computed column.
  std::istringstream lines(text);
  int inserts = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("INSERT INTO ", 0) != 0) continue;
    ++inserts;
    for (const char* computed : {"[SalesOrderNumber]", "[TotalDue]", "[LineTotal]"})
      EXPECT_EQ(line.find(computed), std::string::npos) << line.substr(0, 60);
  }
  EXPECT_GT(inserts, 0);

  // Identity columns: the ones created NOT FOR REPLICATION say so.
  for (const char* column : {"[AddressID]", "[CustomerID]", "[SalesOrderID]"})
    EXPECT_NE(text.find(std::string("  ") + column + " int IDENTITY(1,1) NOT FOR REPLICATION NOT NULL,"), std::string::npos)
        << column;
  EXPECT_NE(text.find("  [ProductID] int IDENTITY(1,1) NOT NULL,"), std::string::npos);

  // Twelve foreign keys, one of them ON DELETE CASCADE, none WITH NOCHECK.
  EXPECT_EQ(ForeignKeysWith(text, "FOREIGN KEY").size(), 12u);
  EXPECT_EQ(ForeignKeysWith(text, " ON DELETE CASCADE;"),
            std::set<std::string>{"FK_SalesOrderDetail_SalesOrderHeader_SalesOrderID"});
  EXPECT_TRUE(ForeignKeysWith(text, "WITH NOCHECK").empty());
}

// When the computed columns' definitions are lost, the stored columns are
// still all declared and the key over the lost column is named in a comment
// rather than failing the statement.
TEST(SchemaCorpus, LostComputedDefinitionsLeaveAScriptThatStillRuns) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto mdf = testing::CorpusDir() / kAdventureWorks;
  if (!std::filesystem::exists(mdf)) GTEST_SKIP() << kAdventureWorks << " not in the corpus";
  OpenedDatabase db = Open(mdf);
  ASSERT_TRUE(db.reader && db.catalog);
  SchemaSource source = LoadSchemaSource(*db.reader, db.read, *db.catalog);
  const size_t before = source.modules.size();
  std::erase_if(source.modules, [](const ModuleValue& v) { return v.valueClass == 2; });
  ASSERT_LT(source.modules.size(), before) << "the file holds computed column definitions";

  std::vector<std::string> computed;
  const std::string script = CreateTableScript(source, Table(db, "SalesLT.SalesOrderHeader"), &computed);
  EXPECT_TRUE(computed.empty());
  EXPECT_EQ(script.rfind("-- [AK_SalesOrderHeader_SalesOrderNumber] left out: its columns ([SalesOrderNumber]) are "
                         "not all declared.\nCREATE TABLE [SalesLT].[SalesOrderHeader] (\n",
                         0),
            0u)
      << script.substr(0, 200);
  EXPECT_EQ(script.find("[SalesOrderNumber]", script.find("CREATE TABLE")), std::string::npos);
  EXPECT_EQ(script.find("[TotalDue]"), std::string::npos);
  EXPECT_NE(script.find("CONSTRAINT [PK_SalesOrderHeader_SalesOrderID] PRIMARY KEY CLUSTERED ([SalesOrderID])"), std::string::npos);
  EXPECT_NE(script.find("  [Comment] nvarchar(max) NULL,"), std::string::npos);
}

// Indexes as (table, name, UNIQUE, CLUSTERED, key columns), from a creation
// script's CREATE INDEX statements in any of the quotings the corpus
// scripts use, or from the export's.
using IndexDeclaration = std::tuple<std::string, std::string, bool, bool, std::vector<std::string>>;

std::set<IndexDeclaration> IndexesOf(const std::string& script) {
  const std::regex statement(
      R"re(CREATE\s+(UNIQUE\s+)?(CLUSTERED\s+|NONCLUSTERED\s+)?INDEX\s+["\[]?(\w+)["\]]?\s+ON\s+(?:["\[]?dbo["\]]?\.)?["\[]?([\w ]+?)["\]]?\s*\(([^)]*)\))re",
      std::regex::icase);
  std::set<IndexDeclaration> out;
  for (std::sregex_iterator m(script.begin(), script.end(), statement), end; m != end; ++m) {
    std::vector<std::string> columns;
    std::istringstream list((*m)[5].str());
    for (std::string c; std::getline(list, c, ',');) {
      c = std::regex_replace(c, std::regex(R"(^\s+|\s+$|["\[\]]|\s+ASC$)", std::regex::icase), "");
      columns.push_back(std::regex_replace(c, std::regex(R"(\s+ASC$)", std::regex::icase), ""));
    }
    const std::string kind = (*m)[2].str();
    out.emplace(std::string("dbo.") + (*m)[4].str(), (*m)[3].str(), (*m)[1].matched,
                kind.size() >= 9 && (kind[0] == 'C' || kind[0] == 'c'), columns);
  }
  return out;
}

// Primary keys as name -> CLUSTERED or NONCLUSTERED.
std::map<std::string, std::string> PrimaryKeyKindsOf(const std::string& script) {
  const std::regex key(R"re(CONSTRAINT\s+["\[]?(\w+)["\]]?\s+PRIMARY\s+KEY\s+(NONCLUSTERED|CLUSTERED))re", std::regex::icase);
  std::map<std::string, std::string> out;
  for (std::sregex_iterator m(script.begin(), script.end(), key), end; m != end; ++m) out[(*m)[1]] = (*m)[2];
  return out;
}

// Every index the creation scripts of Northwind (SQL Server 2000 and 2008)
// and aspnetdb (2005) declare comes back from the sql export with its
// uniqueness, clustering and key columns, each primary key clustered or
// not as declared, and each foreign key the 2008 script adds WITH NOCHECK
// (eight) or WITH CHECK (five) added the same way.
TEST(SchemaCorpus, IndexesClusteringAndUncheckedKeysAreTheCreationScriptsOwn) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto dir = testing::CorpusDir();
  for (const auto& [mdf, script, indexes, keys, unchecked] :
       std::vector<std::tuple<std::string, std::string, size_t, size_t, size_t>>{
           {"539_Rishab061_NORTHWND.MDF", "539_Rishab061_NORTHWND.sql", 26, 13, 0},
           {"655_sampledbs_northwnd.mdf", "655_sampledbs_northwnd.sql", 26, 13, 8},
           {"611_Tractis_aspnet_demo_aspnetdb.mdf", "611_Tractis_aspnet_demo_aspnetdb.sql", 6, 0, 0}}) {
    SCOPED_TRACE(mdf);
    if (!std::filesystem::exists(dir / mdf)) continue;
    const std::string original = testing::ReadScriptText(dir / script);
    ASSERT_EQ(IndexesOf(original).size(), indexes);
    ASSERT_EQ(PrimaryKeyKindsOf(original).size(), keys);
    const std::set<std::string> noCheck = ForeignKeysWith(original, "WITH NOCHECK");
    ASSERT_EQ(noCheck.size(), unchecked);
    std::set<std::string> declared = ForeignKeysWith(original, "WITH CHECK");
    declared.insert(noCheck.begin(), noCheck.end());
    build::TempFile out("unused");
    ExportResult result = testing::ExportFile(dir / mdf, ExportFormat::kSql, out.folder() / "x.sql");
    ASSERT_TRUE(result.finished) << result.error;
    const std::string text = testing::ReadWholeFile(out.folder() / "x.sql");
    EXPECT_EQ(IndexesOf(text), IndexesOf(original));
    for (const auto& [name, kind] : PrimaryKeyKindsOf(original)) EXPECT_EQ(PrimaryKeyKindsOf(text)[name], kind) << name;
    EXPECT_EQ(ForeignKeysWith(text, "WITH NOCHECK ADD"), noCheck);
    if (!declared.empty()) EXPECT_EQ(ForeignKeysWith(text, "FOREIGN KEY"), declared);
    EXPECT_EQ(text.find("left out"), std::string::npos);
  }
}

}  // namespace
}  // namespace pagewright
