// Losses the shell would otherwise pass over in silence, said on standard
// error: secondary files not found, a file shorter than its allocation maps,
// a table whose allocation pages give no rows while pages carrying its id
// hold records, dump of an object id without pages or of a name.
#include <gtest/gtest.h>

#include <filesystem>

#include "pagestore/page_check.h"
#include "records/record_enumeration.h"
#include "support/builder/catalog_builder.h"
#include "support/cli_runner.h"
#include "support/corpus.h"
#include "support/read_fixture.h"

namespace pagewright {
namespace {

using testing::RunPagewright;
using testing::ShellQuote;

const testing::CorpusFile& CorpusFileNamed(const std::string& prefix) {
  for (const auto& f : testing::CorpusFiles())
    if (f.file.rfind(prefix, 0) == 0) return f;
  throw std::runtime_error("no corpus file " + prefix);
}

std::string ScanArgs(const build::TempFile& file) {
  return ShellQuote(file.str()) + " --log-dir " + ShellQuote(file.folder().string());
}

TEST(Losses, TableWithoutAllocatedRowsPointsToTheAdvancedMode) {
  build::CatalogBuilder b;
  build::TableDef t;
  t.name = "Items";
  t.columns = {build::IntColumn("Id", false), build::VarcharColumn("Name", 20)};
  for (int i = 0; i < 300; ++i) t.rows.push_back({build::IntValue(i), build::TextValue("n" + std::to_string(i))});
  t.rowsPerPage = 100;
  b.AddTable(t);
  build::DatabaseBuilder db = b.Build();
  const build::BuiltTable& items = b.built().at("dbo.Items");
  ASSERT_GE(items.dataPages.size(), 2u);
  // The IAM page lost what it listed and the first data page (where the
  // page chain starts) is zeroed: standard mode finds no page.
  std::vector<uint8_t> iam = build::IamPageBytes(items.iamPage, items.pageKey, {});
  StoreLittleEndian<uint16_t>(iam.data() + 6, static_cast<uint16_t>(items.allocationUnitId >> 48));
  db.SetPage(items.iamPage, iam);
  db.SetPage(items.dataPages.front(), std::vector<uint8_t>(kPageSize, 0));
  const size_t left = items.dataPages.size() - 1;
  build::TempFile file(db.Build());

  testing::CommandRun standard = RunPagewright("rows " + ScanArgs(file) + " dbo.Items");
  ASSERT_EQ(standard.exitCode, 0) << standard.err;
  EXPECT_EQ(testing::SplitLines(standard.out).size(), 2u) << standard.out;  // page label and headings
  EXPECT_NE(standard.err.find("pagewright: Table dbo.Items gave no rows through its allocation pages, but " +
                              std::to_string(left) +
                              " data pages carrying its id hold records; the advanced mode (--advanced) reads them."),
            std::string::npos)
      << standard.err;

  testing::CommandRun advanced = RunPagewright("rows " + ScanArgs(file) + " dbo.Items --advanced");
  EXPECT_EQ(testing::SplitLines(advanced.out).size(), 2 + 100 * left);
  EXPECT_EQ(advanced.err.find("gave no rows"), std::string::npos) << advanced.err;
}

TEST(Losses, ShortFileNamesTheAllocatedPagesItLost) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto& f = CorpusFileNamed("655_sampledbs");
  std::vector<uint8_t> bytes = build::ReadFileBytes(f.path);
  const size_t kept = bytes.size() / kPageSize - 40;
  const ByteSpan pfs(bytes.data() + kPageSize, kPageSize);
  std::vector<uint32_t> lost;
  for (size_t p = kept; p < bytes.size() / kPageSize; ++p)
    if (PfsSaysAllocated(pfs, static_cast<uint32_t>(p))) lost.push_back(static_cast<uint32_t>(p));
  ASSERT_FALSE(lost.empty());
  bytes.resize(kept * kPageSize);
  build::TempFile file(bytes, "short.mdf");
  testing::CommandRun run = RunPagewright("tree " + ScanArgs(file));
  EXPECT_NE(run.err.find("pagewright: File " + file.str() + " is shorter than its allocation maps: " +
                         std::to_string(lost.size()) + " allocated pages are missing, (1:" +
                         std::to_string(lost.front()) + ") to (1:" + std::to_string(lost.back()) + ")."),
            std::string::npos)
      << run.err;
  // The whole file says nothing of the kind.
  testing::CommandRun whole = RunPagewright("tree " + ShellQuote(f.path.string()) + " --log-dir " +
                                            ShellQuote(file.folder().string()));
  EXPECT_EQ(whole.err.find("shorter"), std::string::npos) << whole.err;
}

TEST(Losses, SecondaryFileNamedButNotFoundIsSaid) {
  PAGEWRIGHT_REQUIRE_CORPUS();
  const auto& f = CorpusFileNamed("782_");
  std::vector<uint8_t> bytes = build::ReadFileBytes(f.path);
  // sysfiles1 names file 2, the log; make it a data file in the copy.
  AppState state;
  auto reader = OpenForTest(state, f.path.string(), f.path.string(), nullptr);
  bool changed = false;
  for (const PageListEntry& e : reader->objectPageMap[8]) {
    auto page = LoadCatalogPage(*reader, Ctx(state), e.id());
    if (!page || !page->slotTable) continue;
    for (size_t i = 0; i < page->records.size(); ++i) {
      const CPrimaryRecord* r = RecordAt(*page, i);
      if (r == nullptr || r->FixedData().size() < 6 || I16At(r->FixedData(), 4) != 2) continue;
      const size_t at = static_cast<size_t>(e.page) * kPageSize + (*page->slotTable)[i] + 4;
      ASSERT_NE(bytes[at] & 0x40, 0) << "file 2 is the log";
      bytes[at] = static_cast<uint8_t>(bytes[at] & ~0x40);
      changed = true;
    }
  }
  ASSERT_TRUE(changed);
  build::TempFile file(bytes, "named.mdf");
  testing::CommandRun run = RunPagewright("tree " + ScanArgs(file));
  EXPECT_NE(run.err.find("pagewright: Secondary file not found: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(" (file id 2); its pages cannot be read."), std::string::npos) << run.err;
  testing::CommandRun check = RunPagewright("check " + ShellQuote(file.str()));
  EXPECT_NE(check.err.find("secondary file not found"), std::string::npos) << check.err;

  testing::CommandRun original = RunPagewright("tree " + ShellQuote(f.path.string()) + " --log-dir " +
                                               ShellQuote(file.folder().string()));
  EXPECT_EQ(original.err.find("not found"), std::string::npos) << original.err;
}

TEST(Losses, DumpOfAnUnknownIdOrOfANameSaysSo) {
  build::CatalogBuilder b;
  build::TableDef t;
  t.name = "Items";
  t.columns = {build::IntColumn("Id", false)};
  t.rows = {{build::IntValue(1)}};
  b.AddTable(t);
  build::DatabaseBuilder db = b.Build();
  const int32_t key = b.built().at("dbo.Items").pageKey;
  build::TempFile file(db.Build());
  testing::CommandRun name = RunPagewright("dump " + ShellQuote(file.str()) + " Items --data");
  EXPECT_EQ(name.exitCode, 1);
  EXPECT_NE(name.err.find("must be the number in the page headers, not a name"), std::string::npos) << name.err;
  testing::CommandRun none = RunPagewright("dump " + ShellQuote(file.str()) + " 424242 --data");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("no data page carries object id 424242"), std::string::npos) << none.err;
  testing::CommandRun system = RunPagewright("dump " + ShellQuote(file.str()) + " " + std::to_string(key));
  EXPECT_EQ(system.exitCode, 1);
  EXPECT_NE(system.err.find("(user tables: add --data)"), std::string::npos) << system.err;
  testing::CommandRun found = RunPagewright("dump " + ShellQuote(file.str()) + " " + std::to_string(key) + " --data");
  EXPECT_EQ(found.exitCode, 0);
  EXPECT_NE(found.out.find("page (1:"), std::string::npos) << found.out;
}

}  // namespace
}  // namespace pagewright
