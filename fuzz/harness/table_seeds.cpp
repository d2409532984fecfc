#include "harness/table_seeds.h"

#include <cstdio>

#include "harness/fuzz_databases.h"
#include "pagestore/collation_table.h"
#include "pagestore/database_reader.h"
#include "snapshot/snapshot_file.h"
#include "support/builder/database_builder.h"
#include "support/read_fixture.h"

namespace pagewright::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex2(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02x", v & 0xFF);
  return b;
}

// The snapshot a scan of the undamaged database saves.
Bytes SnapshotOf(const FuzzDatabase& db) {
  build::TempFile mdf(db.bytes, "base.mdf");
  AppState state;
  auto reader = OpenForTest(state, mdf.str(), mdf.str(), nullptr);
  if (!reader->openSucceeded()) return {};
  const std::string path = (mdf.folder() / "base.KVSNAPDB").string();
  if (!WriteSnapshotFor(path, mdf.str(), false, *reader, state)) return {};
  return build::ReadFileBytes(path);
}

}  // namespace

std::vector<SeedInput> TableSeeds() {
  std::vector<SeedInput> seeds;
  for (int legacy = 0; legacy < 2; ++legacy) {
    const std::string base = legacy ? "legacy" : "modern";
    const FuzzDatabase& db = legacy ? LegacyFuzzDatabase() : ModernFuzzDatabase();
    const auto b = static_cast<uint8_t>(legacy);
    // Undamaged, under each option.
    seeds.push_back({base + "_plain", {b, 0}});
    seeds.push_back({base + "_deleted", {static_cast<uint8_t>(b | 0x02), 0}});
    seeds.push_back({base + "_advanced_deleted", {static_cast<uint8_t>(b | 0x06), 0}});
    seeds.push_back({base + "_advanced_mode", {static_cast<uint8_t>(b | 0x08), 0}});
    seeds.push_back({base + "_sql2000_option", {static_cast<uint8_t>(b | 0x10), 0}});
    // One operation of each other kind.
    seeds.push_back({base + "_cut", {b, 1, 0xF0, 0x00, 0x02}});                    // 32 KB left
    seeds.push_back({base + "_shifted", {b, 1, 0xF1, 0x00, 0x10}});                // 4096 bytes before page 0
    seeds.push_back({base + "_page_copied", {b, 2, 0xF2, 3, 7, 0xF2, 9, 1}});      // two pages overwritten
    seeds.push_back({base + "_page_zeroed", {b, 1, 0xF3, 5}});
    // A write over every page worth damaging: the slot count, the first
    // record's status and fixed-part end, and the first slot.
    for (size_t p = 0; p < db.pages.size() && p < 0xF0; ++p) {
      const auto page = static_cast<uint8_t>(p);
      seeds.push_back({base + "_page" + Hex2(static_cast<unsigned>(p)) + "_slots",
                       {b, 1, page, 22, 0, 2, 0xFF, 0x0F}});
      seeds.push_back({base + "_page" + Hex2(static_cast<unsigned>(p)) + "_record",
                       {b, 2, page, 96, 0, 4, 0x30, 0x00, 0xFF, 0x7F, page, 0xFE, 0x1F, 2, 0x60, 0x1F}});
    }
    // The snapshot of the undamaged database.
    Bytes snapshot = SnapshotOf(db);
    if (!snapshot.empty()) {
      Bytes input = {b, 0};
      input.insert(input.end(), snapshot.begin(), snapshot.end());
      seeds.push_back({base + "_snapshot", input});
    }
  }
  return seeds;
}

}  // namespace pagewright::fuzz
