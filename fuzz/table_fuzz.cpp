// libFuzzer target: any byte string is a list of damage operations on a
// small database and an optional snapshot file (see
// harness/table_harness.h). Opening, the catalog, object details, paging
// through every table and module text must stay in bounds, end, and give
// well-formed UTF-8.
#include <cstddef>
#include <cstdint>

#include "harness/table_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto report = pagewright::fuzz::RunTableHarness({data, size});
  pagewright::fuzz::AbortOnViolations(report.violations, "table_fuzz");
  return 0;
}
