// The table harness: a small database written by the builder, damaged as
// the input says, then opened and read the way the shell reads it — the
// table_fuzz target and its regression test run it.
//
// Input:
//   0      options: bit 0 the SQL Server 2000 database (else 2008 R2),
//          bit 1 show deleted records, bit 2 show advanced deleted records,
//          bit 3 advanced mode, bit 4 the SQL Server 2000 option
//   1      number of damage operations (low 4 bits)
//   then the operations, each an operation byte and its arguments:
//     00-EF  u16 offset (mod 8192), u8 length L, L bytes: written over the
//            page (op % N)-th of the pages worth damaging, at the offset
//     F0     u16 k: the file is cut to 64 k bytes (when shorter)
//     F1     u16 k: k % 8192 zero bytes are put before the pages
//     F2     u8 a, u8 b: page a copied over page b
//     F3-FF  u8 a: page a zeroed
//   rest   when not empty: a snapshot file; the database is opened a second
//          time with the page maps loaded from it
//
// Each opening: the open sequence, the catalog build, the module values,
// the details of every object, for every table its rows grid page by grid
// page to the end (and one page back) and its first pages again without
// placeholders (large values read in full), the module text of every other
// object and the scripts of keys.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_TABLE_HARNESS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_TABLE_HARNESS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "harness/fuzz_invariants.h"

namespace pagewright::fuzz {

// Bounds that keep one input fast whatever the damage made of the catalog.
constexpr size_t kMaxObjectsWalked = 256;
constexpr size_t kMaxTablesWalked = 48;

struct TableWalk {
  bool opened = false;
  size_t objects = 0;
  std::map<std::string, size_t> rows;  // rows over all grid pages, by table name
  // The rows of each table's first page read without placeholders (large
  // values in full), by table name.
  std::map<std::string, std::vector<std::vector<std::string>>> firstPageValues;
  std::map<std::string, std::string> moduleTexts;  // by object name
  size_t moduleValues = 0;
};

struct TableHarnessReport {
  TableWalk damaged;   // the damaged file with its own mapping scan
  TableWalk snapshot;  // the second opening, with the snapshot's page maps
  bool snapshotGiven = false;
  Violations violations;
};

// The damaged file as the input's operations make it (for tools and tests).
std::vector<uint8_t> DamagedDatabase(std::span<const uint8_t> input, size_t* consumed = nullptr);

TableHarnessReport RunTableHarness(std::span<const uint8_t> input);

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_TABLE_HARNESS_H_
