// The inputs kept for a fuzz target under tests/fuzz_regressions/<target>/:
// every regular file there except README files, sorted by name, each with a
// name usable as a test parameter name.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_REGRESSION_INPUTS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_REGRESSION_INPUTS_H_

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pagewright::fuzz {

struct RegressionInput {
  std::string name;  // letters, digits and '_' only
  std::filesystem::path path;
};

inline std::vector<RegressionInput> RegressionInputs(const std::filesystem::path& folder) {
  std::vector<RegressionInput> out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (!entry.is_regular_file() || entry.path().filename().string().rfind("README", 0) == 0) continue;
    std::string name = entry.path().filename().string();
    for (char& c : name)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    out.push_back({name, entry.path()});
  }
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return out;
}

inline std::vector<uint8_t> ReadInput(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_REGRESSION_INPUTS_H_
