// A named seed input of a fuzz target, written into its seed corpus.
#ifndef PAGEWRIGHT_FUZZ_HARNESS_SEED_INPUT_H_
#define PAGEWRIGHT_FUZZ_HARNESS_SEED_INPUT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace pagewright::fuzz {

struct SeedInput {
  std::string name;
  std::vector<uint8_t> bytes;
};

}  // namespace pagewright::fuzz

#endif  // PAGEWRIGHT_FUZZ_HARNESS_SEED_INPUT_H_
