// The record harness: one page of arbitrary bytes through the record layer
// and the value formatters, as the record_fuzz target and its regression
// test run it.
//
// Input: a prefix of choices, then the page (zero-padded or cut to 8 KB).
//   0      flags: bit 0 the compressed pass marks the page as carrying
//          compression information (type flag bits 0x80); bit 1 the
//          deleted-record passes read a SQL Server 2000 catalog
//   1-2    i16 declared length given to the formatted values
//   3      precision
//   4      scale
//   5      collation: the n-th code page the collation table knows, for
//          character data
//   6      columns of the compressed pass's decode context: 1 + (b % 8)
//   7-22   per context column two bytes: value-type index (b % 35), then
//          the declared length choice (low 3 bits), nullable (bit 3) and
//          whether the declared length of the input is used (bit 4)
//   23     offset into the fixed data at which it is formatted a second
//          time (b % its length), as the row decoder formats a column
//   24...  the page
//
// Passes: the page is built with the deleted-record options off, with
// "show deleted" on, and with both on (the advanced scan for records no slot
// points to); the records of the first and last pass have their fixed data,
// variable values and sparse values formatted as every value-type index
// (0 to 34; past the first 32 records of a page, one index per record in
// turn), with the declared length of the input and with the value's own
// length, and as sql_variant values. Then the page is built once more with a
// decode context, so that compressed records are rebuilt, and every column
// entry of a rebuilt record is formatted as its column's type.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_RECORD_HARNESS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_RECORD_HARNESS_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "harness/fuzz_invariants.h"

namespace pagewright::fuzz {

constexpr size_t kRecordChoiceBytes = 24;

struct RecordHarnessReport {
  // Records parsed (not null, not invalid) in each deleted-record pass:
  // options off, show deleted, show deleted + advanced.
  size_t records[3] = {0, 0, 0};
  size_t compressedRebuilt = 0;  // compressed records rebuilt with the context
  size_t valuesFormatted = 0;    // FormatValue / FormatVariant calls
  Violations violations;
};

RecordHarnessReport RunRecordHarness(std::span<const uint8_t> input);

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_RECORD_HARNESS_H_
