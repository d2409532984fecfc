// What the fuzz harnesses check beyond "no crash": properties every output
// of the readers must have however damaged the input was. A harness collects
// the broken ones as text; the fuzz target aborts on any, the regression
// tests expect none.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_FUZZ_INVARIANTS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_FUZZ_INVARIANTS_H_

#include <string>
#include <string_view>
#include <vector>

namespace pagewright::fuzz {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF): every text the readers produce is shown or
// written as UTF-8.
bool IsWellFormedUtf8(std::string_view text);

class Violations {
 public:
  // Records a broken property (the first few of each kind are kept).
  void Add(const std::string& what);
  // Records `what` when `text` is not well-formed UTF-8.
  void CheckUtf8(std::string_view text, const std::string& what);

  bool empty() const { return list_.empty(); }
  const std::vector<std::string>& list() const { return list_; }

 private:
  std::vector<std::string> list_;
};

// Prints the violations to standard error and aborts when there are any
// (used by the fuzz targets, so that libFuzzer keeps the input).
void AbortOnViolations(const Violations& violations, const char* harness);

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_FUZZ_INVARIANTS_H_
