// Access to the real database files beside the checkout and their manifest.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_CORPUS_H_
#define PAGEWRIGHT_TESTS_SUPPORT_CORPUS_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/json.h"

namespace pagewright::testing {

// The corpus folder (PAGEWRIGHT_CORPUS overrides the configured one); empty
// when it does not exist.
std::filesystem::path CorpusDir();

// One manifest entry.
struct CorpusFile {
  std::string file;
  std::filesystem::path path;
  int version = 0;
  std::string versionText;
  std::string databaseName;
  long long collationId = 0;
  std::map<std::string, long long> tables;  // schema-qualified name -> rows
  std::map<std::string, std::vector<std::string>> modules;  // type code -> names
  JsonValue raw;
};

// Every manifest entry; empty when the corpus is absent.
const std::vector<CorpusFile>& CorpusFiles();

// Skips the calling test with a clear message when the corpus is absent.
#define PAGEWRIGHT_REQUIRE_CORPUS()                                                           \
  do {                                                                                        \
    if (::pagewright::testing::CorpusFiles().empty())                                         \
      GTEST_SKIP() << "corpus of real database files not found (set PAGEWRIGHT_CORPUS)"; \
  } while (0)

// Folder of the built executables (where collation.txt lies).
std::filesystem::path BinaryDir();

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_CORPUS_H_
