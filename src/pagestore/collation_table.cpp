#include "pagestore/collation_table.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace pagewright {

namespace {
int64_t LeadingNumber(std::string_view field) {
  std::string s(field);
  return std::strtoll(s.c_str(), nullptr, 10);
}
}  // namespace

void ParseCollationTable(std::string_view text, CollationTable& table) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t tab1 = line.find('\t');
    if (line.empty() || tab1 == std::string_view::npos) continue;
    std::string_view rest = line.substr(tab1 + 1);
    size_t tab2 = rest.find('\t');
    if (rest.empty() || tab2 == std::string_view::npos) continue;
    auto id = static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(LeadingNumber(rest.substr(0, tab2)))));
    auto codePage = static_cast<int32_t>(LeadingNumber(rest.substr(tab2 + 1)));
    table[id] = CollationEntry{std::string(line.substr(0, tab1)), codePage};
  }
}

CollationTable LoadCollationTable(const std::filesystem::path& folder) {
  CollationTable table;
  std::ifstream in(folder / kCollationFileName, std::ios::binary);
  if (!in) return table;
  std::stringstream buffer;
  buffer << in.rdbuf();
  ParseCollationTable(buffer.str(), table);
  return table;
}

}  // namespace pagewright
