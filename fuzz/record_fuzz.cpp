// libFuzzer target: any byte string is a prefix of choices and one page
// (see harness/record_harness.h). The record layer and the value
// formatters must stay in bounds and give well-formed UTF-8.
#include <cstddef>
#include <cstdint>

#include "harness/record_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto report = pagewright::fuzz::RunRecordHarness({data, size});
  pagewright::fuzz::AbortOnViolations(report.violations, "record_fuzz");
  return 0;
}
