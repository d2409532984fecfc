// Writes the seed corpora of the fuzz targets, one folder per target:
//   make_fuzz_seeds OUT_DIR
// The record and table seeds come from the test builder (see
// harness/record_seeds.h and harness/table_seeds.h); the SCSU and binary XML
// seeds are a few short values written here.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "harness/record_seeds.h"
#include "harness/table_seeds.h"

namespace {

using pagewright::fuzz::SeedInput;
namespace fs = std::filesystem;

void WriteAll(const fs::path& folder, const std::vector<SeedInput>& seeds) {
  fs::create_directories(folder);
  for (const auto& s : seeds) {
    std::ofstream out(folder / s.name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(s.bytes.data()), static_cast<std::streamsize>(s.bytes.size()));
  }
}

// SCSU: ASCII; the Cyrillic dynamic window (SC2) and two letters in it; a
// quoted hiragana letter (SQU); Unicode mode (SCU) and back (UC0... as the
// byte E0 ends it).
std::vector<SeedInput> ScsuSeeds() {
  return {{"ascii", {'H', 'e', 'l', 'l', 'o'}},
          {"cyrillic_window", {0x12, 0x9C, 0xBE, 0xC1, ' ', 'a'}},
          {"quoted", {'a', 0x0E, 0x30, 0x42, 'b'}},
          {"unicode_mode", {0x0F, 0x30, 0x42, 0x30, 0x44, 0xE0, 'z'}}};
}

// Binary XML: a document holding element a with the text x (signature
// DF FF, version 1, code page 1200).
std::vector<SeedInput> BinaryXmlSeeds() {
  return {{"element_text",
           {0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x01, 'a', 0x00, 0xEF, 0x00, 0x00, 0x01, 0xF8, 0x01, 0xF5, 0x11,
            0x01, 'x', 0x00, 0xF7}}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds OUT_DIR\n");
    return 2;
  }
  const fs::path out = argv[1];
  WriteAll(out / "record_fuzz", pagewright::fuzz::RecordSeeds());
  WriteAll(out / "table_fuzz", pagewright::fuzz::TableSeeds());
  WriteAll(out / "scsu_fuzz", ScsuSeeds());
  WriteAll(out / "binary_xml_fuzz", BinaryXmlSeeds());
  return 0;
}
