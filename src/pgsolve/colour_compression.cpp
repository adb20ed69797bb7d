#include "pgsolve/colour_compression.h"

#include <algorithm>
#include <string>

std::vector<uint32_t> compress_colours(const std::vector<uint32_t>& colours) {
  std::vector<uint32_t> distinct(colours);
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

  // compressed[k]: the colour that distinct[k] becomes.
  std::vector<uint32_t> compressed(distinct.size());
  uint32_t next = distinct.empty() ? 0 : distinct[0] % 2;
  for (std::size_t k = 0; k < distinct.size(); ++k) {
    if (k > 0 && distinct[k] % 2 != distinct[k - 1] % 2) ++next;
    compressed[k] = next;
  }
  if (!distinct.empty() && uint64_t(next) + 1 > max_compressed_colours) {
    throw "the game needs " + std::to_string(uint64_t(next) + 1) + " colours after compression, more than the " +
        std::to_string(max_compressed_colours) + " the solvers hold";
  }

  std::vector<uint32_t> result(colours.size());
  for (std::size_t v = 0; v < colours.size(); ++v) {
    const std::size_t k = std::lower_bound(distinct.begin(), distinct.end(), colours[v]) - distinct.begin();
    result[v] = compressed[k];
  }
  return result;
}
