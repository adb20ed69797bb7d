#include "pgsolve/colour_compression.h"

#include <algorithm>
#include <string>

namespace {

// A table indexed by colour, where it is no larger than this many entries or
// than twice the nodes: one pass over the nodes, no sort. Games from the
// generators and the competitions have colours below the node count.
const uint32_t table_colours = 1u << 16;

// Numbers the runs of one parity: visit(number) calls number(colour) for
// every distinct colour in increasing order and keeps what it returns, the
// colour that one becomes. Returns the last number given.
template <class Visit>
uint32_t number_runs(uint32_t first, Visit visit) {
  uint32_t next = first % 2;
  bool any = false;
  uint32_t previous = 0;
  visit([&](uint32_t colour) {
    if (any && colour % 2 != previous % 2) ++next;
    any = true;
    previous = colour;
    return next;
  });
  return next;
}

void check_count(uint32_t last) {
  if (uint64_t(last) + 1 > max_compressed_colours) {
    throw "the game needs " + std::to_string(uint64_t(last) + 1) + " colours after compression, more than the " +
        std::to_string(max_compressed_colours) + " the solvers hold";
  }
}

}  // namespace

std::vector<uint32_t> compress_colours(const std::vector<uint32_t>& colours) {
  std::vector<uint32_t> result(colours.size());
  if (colours.empty()) return result;
  const uint32_t largest = *std::max_element(colours.begin(), colours.end());

  if (largest < std::max<uint64_t>(table_colours, 2 * uint64_t(colours.size()))) {
    // compressed[c]: what colour c becomes, once c is known to occur.
    const uint32_t absent = 0xFFFFFFFFu;
    std::vector<uint32_t> compressed(std::size_t(largest) + 1, absent);
    for (uint32_t c : colours) compressed[c] = 0;
    uint32_t first = 0;
    while (compressed[first] == absent) ++first;
    const uint32_t last = number_runs(first, [&](auto number) {
      for (uint32_t c = first; c <= largest; ++c)
        if (compressed[c] != absent) compressed[c] = number(c);
    });
    check_count(last);
    for (std::size_t v = 0; v < colours.size(); ++v) result[v] = compressed[colours[v]];
    return result;
  }

  std::vector<uint32_t> distinct(colours);
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  // compressed[k]: the colour that distinct[k] becomes.
  std::vector<uint32_t> compressed(distinct.size());
  const uint32_t last = number_runs(distinct[0], [&](auto number) {
    for (std::size_t k = 0; k < distinct.size(); ++k) compressed[k] = number(distinct[k]);
  });
  check_count(last);
  for (std::size_t v = 0; v < colours.size(); ++v) {
    const std::size_t k = std::lower_bound(distinct.begin(), distinct.end(), colours[v]) - distinct.begin();
    result[v] = compressed[k];
  }
  return result;
}
