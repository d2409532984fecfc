// Seed inputs of the table harness: each base database undamaged under
// every option, one damage operation of each kind, a small write over every
// page worth damaging, and the snapshot of each undamaged database.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_TABLE_SEEDS_H_
#define PAGEWRIGHT_FUZZ_HARNESS_TABLE_SEEDS_H_

#include <vector>

#include "harness/seed_input.h"

namespace pagewright::fuzz {

std::vector<SeedInput> TableSeeds();

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_TABLE_SEEDS_H_
