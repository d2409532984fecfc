// The record_fuzz harness replayed: its seed pages parse and rebuild as the
// builder wrote them, and every input kept under
// tests/fuzz_regressions/record_fuzz/ runs without breaking a harness check
// (in the sanitizer build, also without a memory or undefined-behaviour
// fault).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "harness/fuzz_invariants.h"
#include "harness/record_harness.h"
#include "harness/record_seeds.h"
#include "harness/regression_inputs.h"

namespace pagewright::fuzz {
namespace {

using ::testing::IsEmpty;

std::vector<uint8_t> SeedBytes(const std::string& name) {
  for (auto& s : RecordSeeds())
    if (s.name == name) return s.bytes;
  ADD_FAILURE() << "no seed " << name;
  return {};
}

TEST(FuzzInvariants, Utf8CheckAcceptsEveryPlaneAndRejectsMalformedSequences) {
  EXPECT_TRUE(IsWellFormedUtf8(""));
  EXPECT_TRUE(IsWellFormedUtf8("plain"));
  EXPECT_TRUE(IsWellFormedUtf8("Москва 東京 🙂 \xEF\xBF\xBD"));
  EXPECT_TRUE(IsWellFormedUtf8("\xF4\x8F\xBF\xBF"));        // U+10FFFF
  EXPECT_FALSE(IsWellFormedUtf8("\xE9t\xE9"));              // Latin-1 bytes
  EXPECT_FALSE(IsWellFormedUtf8("\xC0\xAF"));               // overlong '/'
  EXPECT_FALSE(IsWellFormedUtf8("\xE0\x80\xAF"));           // overlong, three bytes
  EXPECT_FALSE(IsWellFormedUtf8("\xED\xA0\x80"));           // a surrogate
  EXPECT_FALSE(IsWellFormedUtf8("\xF4\x90\x80\x80"));       // above U+10FFFF
  EXPECT_FALSE(IsWellFormedUtf8("ok\xE6\x9D"));             // cut short
  EXPECT_FALSE(IsWellFormedUtf8(std::string("\xE6\x00\xB1", 3)));
}

TEST(RecordHarness, ShowDeletedAddsTheGhostAndTheAdvancedScanTheRecordNoSlotPointsTo) {
  const auto report = RunRecordHarness(SeedBytes("classic_types"));
  EXPECT_THAT(report.violations.list(), IsEmpty());
  // Three rows, the forwarding stub and the row with a sparse vector; then
  // the ghost in its slot; then the ghost without a slot.
  EXPECT_EQ(report.records[0], 5u);
  EXPECT_EQ(report.records[1], 6u);
  EXPECT_EQ(report.records[2], 7u);
  EXPECT_GT(report.valuesFormatted, 5u * 35u);
}

TEST(RecordHarness, CompressedSeedsRebuildEveryRecordWithTheirContext) {
  struct Case {
    const char* seed;
    size_t rebuilt;
  };
  for (const Case& c : {Case{"row_compressed", 4}, Case{"page_compressed_anchor", 3},
                        Case{"page_compressed_dictionary", 3}}) {
    SCOPED_TRACE(c.seed);
    const auto report = RunRecordHarness(SeedBytes(c.seed));
    EXPECT_THAT(report.violations.list(), IsEmpty());
    EXPECT_EQ(report.compressedRebuilt, c.rebuilt);
  }
}

TEST(RecordHarness, ShortAndEmptyInputsGiveAZeroPage) {
  for (size_t size : {size_t{0}, size_t{1}, kRecordChoiceBytes, kRecordChoiceBytes + 100}) {
    const std::vector<uint8_t> input(size, 0xFF);
    const auto report = RunRecordHarness(input);
    EXPECT_THAT(report.violations.list(), IsEmpty()) << size << " bytes";
    EXPECT_EQ(report.records[0], 0u) << size << " bytes";
  }
}

class RecordFuzzRegression : public ::testing::TestWithParam<RegressionInput> {};

TEST_P(RecordFuzzRegression, ReplaysWithoutBreakingAHarnessCheck) {
  const std::vector<uint8_t> input = ReadInput(GetParam().path);
  ASSERT_FALSE(input.empty()) << GetParam().path;
  EXPECT_THAT(RunRecordHarness(input).violations.list(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Inputs, RecordFuzzRegression,
                         ::testing::ValuesIn(RegressionInputs(PAGEWRIGHT_FUZZ_REGRESSIONS_DIR "/record_fuzz")),
                         [](const auto& p) { return p.param.name; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RecordFuzzRegression);

}  // namespace
}  // namespace pagewright::fuzz
