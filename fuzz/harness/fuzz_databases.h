// The small databases the table harness damages, written once per process
// with the test builder: a SQL Server 2008 R2 catalog and a SQL Server 2000
// one, each with a few tables (keys, a foreign key, a heap with deleted
// rows, large values behind text pointers, in-row roots and row-overflow
// pointers, xml, and in the newer catalog a heap in three partitions), a
// view, a procedure and a trigger.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_FUZZ_DATABASES_H_
#define PAGEWRIGHT_FUZZ_HARNESS_FUZZ_DATABASES_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pagewright::fuzz {

struct FuzzDatabase {
  std::vector<uint8_t> bytes;     // the whole file
  std::vector<uint32_t> pages;    // positions of the pages worth damaging:
                                  // every page the builder wrote (boot page,
                                  // system tables, data, IAM, text pages)
  std::map<std::string, size_t> rows;  // rows written per table ("dbo.Orders")
};

const FuzzDatabase& ModernFuzzDatabase();
const FuzzDatabase& LegacyFuzzDatabase();

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_FUZZ_DATABASES_H_
