// Damage applied to copies of database files by the tests: truncation,
// zeroed ranges, flipped bits, shuffled pages, random bytes.
#ifndef PAGEWRIGHT_TESTS_SUPPORT_DAMAGE_H_
#define PAGEWRIGHT_TESTS_SUPPORT_DAMAGE_H_

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace pagewright::testing {

struct DamagedCopy {
  std::string label;
  std::vector<uint8_t> bytes;
};

// A set of damaged variants of `original`, made deterministically from
// `seed`.
std::vector<DamagedCopy> DamagedVariants(const std::vector<uint8_t>& original, uint32_t seed);

// `size` random bytes.
std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed);

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_SUPPORT_DAMAGE_H_
