#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "host/decimal_lines.h"

namespace {

// The same text as stream insertions, also across many buffer flushes.
TEST(DecimalLines, WritesWhatStreamInsertionsWrite) {
  std::ostringstream fast, slow;
  {
    DecimalLines line(fast);
    const uint32_t edges[] = {0, 1, 9, 10, 99, 100, 65535, 1000000, 4294967294u, 4294967295u};
    for (uint32_t v : edges) {
      line.put(v, ", ", 2);
      slow << v << ", ";
    }
    for (uint32_t v = 0; v < 100000; ++v) {
      line.put(v * 40503u, v % 3 == 0 ? " -> { " : ",", v % 3 == 0 ? 6 : 1);
      slow << v * 40503u << (v % 3 == 0 ? " -> { " : ",");
    }
    line.put(5, "", 0);
    slow << 5;
  }
  EXPECT_EQ(fast.str(), slow.str());
}

}  // namespace
