// The table_fuzz harness replayed: the undamaged databases read back every
// row and definition the builder wrote (so the fuzzer's damage lands on a
// database the readers fully walk), the damage operations do what the input
// says, every seed runs clean, and every input kept under
// tests/fuzz_regressions/table_fuzz/ runs without breaking a harness check
// (in the sanitizer build, also without a memory or undefined-behaviour
// fault).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "harness/fuzz_databases.h"
#include "harness/regression_inputs.h"
#include "harness/table_harness.h"
#include "harness/table_seeds.h"

namespace pagewright::fuzz {
namespace {

using ::testing::IsEmpty;
using ::testing::StartsWith;

std::vector<uint8_t> SeedBytes(const std::string& name) {
  for (auto& s : TableSeeds())
    if (s.name == name) return s.bytes;
  ADD_FAILURE() << "no seed " << name;
  return {};
}

class UndamagedDatabase : public ::testing::TestWithParam<bool> {};

TEST_P(UndamagedDatabase, ShowsEveryRowAndDefinitionTheBuilderWrote) {
  const bool legacy = GetParam();
  const auto report = RunTableHarness(std::vector<uint8_t>{static_cast<uint8_t>(legacy ? 1 : 0), 0});
  EXPECT_THAT(report.violations.list(), IsEmpty());
  ASSERT_TRUE(report.damaged.opened);
  EXPECT_FALSE(report.snapshotGiven);
  const FuzzDatabase& db = legacy ? LegacyFuzzDatabase() : ModernFuzzDatabase();
  for (const auto& [table, rows] : db.rows) {
    ASSERT_TRUE(report.damaged.rows.count(table)) << table;
    EXPECT_EQ(report.damaged.rows.at(table), rows) << table;
  }
  // Large values are read in full where placeholders are off.
  ASSERT_TRUE(report.damaged.firstPageValues.count("dbo.Documents"));
  const auto& documents = report.damaged.firstPageValues.at("dbo.Documents");
  ASSERT_EQ(documents.size(), 2u);
  std::string body;
  for (int i = 0; i < 60; ++i) body += "The quick brown fox. ";
  EXPECT_EQ(documents[1][1], body);
  EXPECT_EQ(documents[1][2], "Заметка 注意 ✓✓");
  if (!legacy) {
    EXPECT_EQ(documents[1][4], std::string(900, 'o'));
    EXPECT_EQ(documents[0][5], "<a>x</a>") << "binary XML behind an in-row root";
    EXPECT_EQ(documents[1][5], "<a>x</a>") << "binary XML in the row";
  }
  ASSERT_TRUE(report.damaged.moduleTexts.count("dbo.CustomerOrders"));
  EXPECT_THAT(report.damaged.moduleTexts.at("dbo.CustomerOrders"), StartsWith("CREATE VIEW [dbo].[CustomerOrders]"));
  ASSERT_TRUE(report.damaged.moduleTexts.count("dbo.OrdersOfCustomer"));
  EXPECT_THAT(report.damaged.moduleTexts.at("dbo.OrdersOfCustomer"),
              ::testing::EndsWith("WHERE CustomerID = @CustomerID"));
}

TEST_P(UndamagedDatabase, ItsSnapshotGivesTheSameRows) {
  const bool legacy = GetParam();
  const auto report = RunTableHarness(SeedBytes(legacy ? "legacy_snapshot" : "modern_snapshot"));
  EXPECT_THAT(report.violations.list(), IsEmpty());
  ASSERT_TRUE(report.snapshotGiven);
  ASSERT_TRUE(report.snapshot.opened);
  EXPECT_EQ(report.snapshot.rows, report.damaged.rows);
  EXPECT_EQ(report.snapshot.moduleTexts, report.damaged.moduleTexts);
}

TEST_P(UndamagedDatabase, ShowDeletedAddsTheGhostRowsOfTheHeap) {
  const bool legacy = GetParam();
  const auto report = RunTableHarness(std::vector<uint8_t>{static_cast<uint8_t>((legacy ? 1 : 0) | 0x02), 0});
  EXPECT_THAT(report.violations.list(), IsEmpty());
  ASSERT_TRUE(report.damaged.rows.count("dbo.AuditLog"));
  EXPECT_EQ(report.damaged.rows.at("dbo.AuditLog"), 14u);
}

INSTANTIATE_TEST_SUITE_P(Catalogs, UndamagedDatabase, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Sql2000" : "Sql2008R2"; });

TEST(TableHarness, DamageOperationsWriteCutShiftCopyAndZeroPages) {
  const FuzzDatabase& db = ModernFuzzDatabase();
  const size_t page2 = size_t{db.pages[2]} * 8192;
  const size_t page3 = size_t{db.pages[3]} * 8192;

  // Three bytes at offset 0x0110 of the third page; the length byte says
  // four but the input ends after three, and what follows is the snapshot.
  size_t consumed = 0;
  auto patched = DamagedDatabase(std::vector<uint8_t>{0, 1, 2, 0x10, 0x01, 4, 0xAA, 0xBB, 0xCC}, &consumed);
  EXPECT_EQ(consumed, 9u);
  ASSERT_EQ(patched.size(), db.bytes.size());
  EXPECT_EQ(patched[page2 + 0x110], 0xAA);
  EXPECT_EQ(patched[page2 + 0x112], 0xCC);
  EXPECT_EQ(patched[page2 + 0x113], db.bytes[page2 + 0x113]);

  EXPECT_EQ(DamagedDatabase(std::vector<uint8_t>{0, 1, 0xF0, 0x02, 0x00}).size(), 2u * 64u);
  auto shifted = DamagedDatabase(std::vector<uint8_t>{0, 1, 0xF1, 0x05, 0x00});
  EXPECT_EQ(shifted.size(), db.bytes.size() + 5);
  auto copied = DamagedDatabase(std::vector<uint8_t>{0, 1, 0xF2, 2, 3});
  EXPECT_TRUE(std::equal(copied.begin() + static_cast<long>(page3), copied.begin() + static_cast<long>(page3 + 8192),
                         db.bytes.begin() + static_cast<long>(page2)));
  auto zeroed = DamagedDatabase(std::vector<uint8_t>{0, 1, 0xF3, 3});
  EXPECT_TRUE(std::all_of(zeroed.begin() + static_cast<long>(page3), zeroed.begin() + static_cast<long>(page3 + 8192),
                          [](uint8_t b) { return b == 0; }));
  // Operations past the count are not applied: the rest is the snapshot.
  size_t rest = 0;
  EXPECT_EQ(DamagedDatabase(std::vector<uint8_t>{0, 0, 0xF3, 3}, &rest), db.bytes);
  EXPECT_EQ(rest, 2u);
}

TEST(TableHarness, EverySeedRunsWithoutBreakingAHarnessCheck) {
  for (const auto& seed : TableSeeds()) {
    SCOPED_TRACE(seed.name);
    EXPECT_THAT(RunTableHarness(seed.bytes).violations.list(), IsEmpty());
  }
}

class TableFuzzRegression : public ::testing::TestWithParam<RegressionInput> {};

TEST_P(TableFuzzRegression, ReplaysWithoutBreakingAHarnessCheck) {
  const std::vector<uint8_t> input = ReadInput(GetParam().path);
  ASSERT_FALSE(input.empty()) << GetParam().path;
  EXPECT_THAT(RunTableHarness(input).violations.list(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, TableFuzzRegression,
                         ::testing::ValuesIn(RegressionInputs(PAGEWRIGHT_FUZZ_REGRESSIONS_DIR "/table_fuzz")),
                         [](const auto& p) { return p.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TableFuzzRegression);

}  // namespace
}  // namespace pagewright::fuzz
