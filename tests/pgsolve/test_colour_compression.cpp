// Colour compression: order and parity kept, equal-parity neighbours merged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pgsolve/colour_compression.h"

namespace {

struct Case {
  const char* name;
  std::vector<uint32_t> colours;
  std::vector<uint32_t> expected;
};

TEST(ColourCompression, KeepsOrderAndParityAndMergesRunsOfOneParity) {
  const uint32_t top = 4294967295u;
  const Case cases[] = {
      {"already small", {0, 1, 2, 3}, {0, 1, 2, 3}},
      {"odd first keeps its parity", {5, 6, 9}, {1, 2, 3}},
      {"a run of one parity merges", {2, 4, 8, 3}, {0, 2, 2, 1}},
      {"gaps vanish", {100, 1001, 200000, 7}, {2, 3, 4, 1}},
      {"largest colours", {top, top - 1, top - 2, 0}, {3, 2, 1, 0}},
      {"one colour", {77, 77}, {1, 1}},
      {"no nodes", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(compress_colours(c.colours), c.expected) << c.name;
}

TEST(ColourCompression, RefusesMoreColoursThanTheDeviceHolds) {
  // Colours spread wide (sorted) and colours below the node count (looked up
  // in a table by colour), each alternating in parity.
  for (uint32_t stride : {3u, 1u}) {
    std::vector<uint32_t> colours;
    for (uint32_t c = 0; c < max_compressed_colours; ++c) colours.push_back(stride * c);
    EXPECT_EQ(compress_colours(colours).back(), max_compressed_colours - 1) << stride;
    colours.push_back(stride * max_compressed_colours);
    try {
      compress_colours(colours);
      ADD_FAILURE() << "not refused, stride " << stride;
    } catch (const std::string& message) {
      EXPECT_EQ(message, "the game needs 32769 colours after compression, more than the 32768 the solvers hold");
    }
  }
}

}  // namespace
