// Seed inputs of the record harness, written with the test builder: pages
// of classic records of many column types (ghosts, a record no slot points
// to, a forwarding stub, a sparse vector), an index page, and row- and
// page-compressed pages with a decode context that matches their columns.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_RECORD_SEEDS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_RECORD_SEEDS_H_

#include <vector>

#include "harness/seed_input.h"

namespace pagewright::fuzz {

std::vector<SeedInput> RecordSeeds();

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_RECORD_SEEDS_H_
