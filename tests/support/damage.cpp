#include "support/damage.h"

#include <algorithm>

namespace pagewright::testing {

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> out(size);
  for (auto& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

std::vector<DamagedCopy> DamagedVariants(const std::vector<uint8_t>& original, uint32_t seed) {
  constexpr size_t kPage = 8192;
  std::mt19937 rng(seed);
  std::vector<DamagedCopy> out;
  const size_t pages = original.size() / kPage;

  for (size_t cut : {size_t{8191}, size_t{8193}, original.size() / 2 + 1234, original.size() - 5000}) {
    if (cut < original.size()) out.push_back({"truncated at " + std::to_string(cut), {original.begin(), original.begin() + static_cast<long>(cut)}});
  }
  {
    auto z = original;
    size_t from = std::min<size_t>(pages, 9) * kPage;
    size_t to = std::min(z.size(), from + 40 * kPage);
    std::fill(z.begin() + static_cast<long>(from), z.begin() + static_cast<long>(to), 0);
    out.push_back({"pages 9 to 48 zeroed", std::move(z)});
  }
  {
    auto f = original;
    for (int i = 0; i < 2000 && !f.empty(); ++i) f[rng() % f.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
    out.push_back({"2000 bits flipped", std::move(f)});
  }
  {
    // Flip bits only inside page headers and slot arrays, where they do most harm.
    auto f = original;
    for (size_t p = 0; p < pages; ++p) {
      for (int i = 0; i < 3; ++i) {
        size_t at = p * kPage + (rng() % 2 ? rng() % 96 : kPage - 1 - rng() % 64);
        f[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
      }
    }
    out.push_back({"header and slot bits flipped", std::move(f)});
  }
  {
    auto r = original;
    for (size_t p = 0; p < pages; p += 3) {
      size_t at = p * kPage + 96 + rng() % (kPage - 200);
      for (int i = 0; i < 64; ++i) r[at + static_cast<size_t>(i)] = static_cast<uint8_t>(rng());
    }
    out.push_back({"random bytes inside records", std::move(r)});
  }
  if (pages > 2) {
    auto s = original;
    std::vector<size_t> order(pages);
    for (size_t i = 0; i < pages; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t i = 0; i < pages; ++i)
      std::copy_n(original.begin() + static_cast<long>(order[i] * kPage), kPage, s.begin() + static_cast<long>(i * kPage));
    out.push_back({"pages shuffled", std::move(s)});
  }
  {
    std::vector<uint8_t> prefixed(777 + original.size(), 0xAB);
    std::copy(original.begin(), original.end(), prefixed.begin() + 777);
    out.push_back({"777 bytes prepended", std::move(prefixed)});
  }
  return out;
}

}  // namespace pagewright::testing
