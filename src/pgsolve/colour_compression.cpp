#include "pgsolve/colour_compression.h"

#include <algorithm>
#include <string>

namespace {

// Colours below this, or below twice the node count, are found and looked up
// through a table indexed by colour: one pass over the nodes, no sort. Games
// from the generators and the competitions have colours below the node count.
const uint32_t table_colours = 1u << 16;

}  // namespace

std::vector<uint32_t> compress_colours(const std::vector<uint32_t>& colours) {
  std::vector<uint32_t> result(colours.size());
  if (colours.empty()) return result;
  const uint32_t largest = *std::max_element(colours.begin(), colours.end());
  const bool by_table = largest < std::max<uint64_t>(table_colours, 2 * uint64_t(colours.size()));

  // The distinct colours in increasing order; on the table road place[c] is
  // colour c's index among them.
  std::vector<uint32_t> distinct;
  std::vector<uint32_t> place;
  if (by_table) {
    place.assign(std::size_t(largest) + 1, 0);
    for (uint32_t c : colours) place[c] = 1;
    for (uint32_t c = 0; c <= largest; ++c) {
      if (place[c] == 0) continue;
      place[c] = static_cast<uint32_t>(distinct.size());
      distinct.push_back(c);
    }
  } else {
    distinct = colours;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  }

  // compressed[k]: the colour that distinct[k] becomes.
  std::vector<uint32_t> compressed(distinct.size());
  uint32_t next = distinct[0] % 2;
  for (std::size_t k = 0; k < distinct.size(); ++k) {
    if (k > 0 && distinct[k] % 2 != distinct[k - 1] % 2) ++next;
    compressed[k] = next;
  }
  if (uint64_t(next) + 1 > max_compressed_colours) {
    throw "the game needs " + std::to_string(uint64_t(next) + 1) + " colours after compression, more than the " +
        std::to_string(max_compressed_colours) + " the solvers hold";
  }

  for (std::size_t v = 0; v < colours.size(); ++v) {
    const uint32_t c = colours[v];
    const std::size_t k =
        by_table ? place[c] : std::lower_bound(distinct.begin(), distinct.end(), c) - distinct.begin();
    result[v] = compressed[k];
  }
  return result;
}
