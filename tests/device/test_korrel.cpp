// Korrel::solve against the reference solver on seeded games of many shapes:
// small random games, many SCCs, one big SCC, self-loops everywhere, single
// colours, and games of several ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/work_counters.h"
#include "generated_game.h"
#include "host_scc.h"
#include "random_game.h"
#include "rangespm/korrel.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

// The numbers listed after heading, up to the next blank line.
std::vector<uint32_t> region(const std::string& text, const std::string& heading) {
  const std::size_t at = text.find(heading);
  if (at == std::string::npos) return {};
  const std::size_t begin = at + heading.size();
  const std::string line = text.substr(begin, text.find('\n', begin) - begin);
  std::vector<uint32_t> ids;
  std::istringstream in(line);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item.find_first_not_of(' ') == std::string::npos) continue;
    ids.push_back(static_cast<uint32_t>(std::stoul(item)));
  }
  return ids;
}

// Winner of every node index as printed by Korrel::solve; 2 for a node
// printed in no region or in two.
std::vector<uint8_t> korrel_winners(const TestGame& g, std::string* undecided = nullptr) {
  const std::string path = write_temp_file(to_pgsolver(g));
  std::ostringstream out, err;
  std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
  try {
    Korrel::solve(path, out, true, false, nullptr);
  } catch (...) {
    std::cerr.rdbuf(old);
    throw;
  }
  std::cerr.rdbuf(old);
  std::map<uint32_t, uint32_t> index;
  for (uint32_t v = 0; v < g.size(); ++v) index[g.id[v]] = v;
  std::vector<uint8_t> winner(g.size(), 3);
  for (uint8_t player = 0; player < 2; ++player) {
    for (uint32_t id : region(out.str(), player == 0 ? "Nodes won by Even: \n\n" : "Nodes won by Odd: \n\n")) {
      uint8_t& w = winner.at(index.at(id));
      w = w == 3 ? player : 2;
    }
  }
  for (uint8_t& w : winner)
    if (w == 3) w = 2;
  if (undecided) *undecided = region(out.str(), "This should be empty: \n\n").empty() ? "" : "undecided nodes printed";
  return winner;
}

// Describes the first disagreement with the reference solver, or "".
std::string compare(const TestGame& g) {
  std::string undecided;
  const std::vector<uint8_t> got = korrel_winners(g, &undecided);
  if (!undecided.empty()) return undecided;
  const std::vector<uint8_t> want = reference_solve(g);
  for (uint32_t v = 0; v < g.size(); ++v)
    if (got[v] != want[v])
      return "node " + std::to_string(v) + " (id " + std::to_string(g.id[v]) + "): Korrel " + std::to_string(got[v]) +
             ", reference " + std::to_string(want[v]);
  return "";
}

class KorrelSolve : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

TEST_F(KorrelSolve, AgreesWithTheReferenceOnSmallRandomGames) {
  for (uint64_t seed = 1; seed <= 300; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed * 37 % 120);
    p.max_color = static_cast<uint32_t>(seed % 9);
    p.max_out = 1 + static_cast<uint32_t>(seed % 4);
    p.self_loop_probability = (seed % 5) * 0.1;
    p.owners = seed % 7 == 0 ? OwnerMode::all_even : seed % 11 == 0 ? OwnerMode::all_odd : OwnerMode::random;
    p.ids = seed % 3 == 0 ? IdMode::shuffled : IdMode::dense;
    EXPECT_EQ(compare(random_game(p)), "") << describe(p);
  }
}

// Sparse games with many colours, where measures climb far.
TEST_F(KorrelSolve, AgreesWithTheReferenceOnSparseGamesOfTwentyColours) {
  for (uint64_t seed = 1; seed <= 30; ++seed) {
    RandomGameParams p;
    p.seed = 2000 + seed;
    p.n_nodes = 60 + static_cast<uint32_t>(seed * 29 % 240);
    p.max_color = 19;
    p.min_out = 1;
    p.max_out = 2;
    EXPECT_EQ(compare(random_game(p)), "") << describe(p);
  }
}

// After the first pass, a node whose row and successors' rows stayed as
// they were is left out: on this game every pass lifting every node of the
// range took about 17,600 lifts, four times as many.
TEST_F(KorrelSolve, LaterPassesLeaveOutNodesThatSawNoChange) {
  hostrt::set_worker_threads(1);
  hostrt::set_thread_order(hostrt::ThreadOrder::forward);
  const TestGame g = from_generated(pggen::random_game(1000, 5, 1, 2, 20));
  work_counters::start(true);
  EXPECT_EQ(compare(g), "");
  const uint64_t lifts = work_counters::read(work_counters::lift);
  const uint64_t skips = work_counters::read(work_counters::skip);
  work_counters::start(false);
  EXPECT_LE(lifts, 8000u);
  EXPECT_GE(skips, 5000u);
}

TEST_F(KorrelSolve, AgreesWithTheReferenceOnGamesOfManySccs) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    const TestGame g = block_game(10 + static_cast<uint32_t>(seed % 30), 1 + static_cast<uint32_t>(seed % 7),
                                  1 + static_cast<uint32_t>(seed % 8), seed);
    EXPECT_EQ(compare(g), "") << "block_game seed " << seed;
  }
}

TEST_F(KorrelSolve, AgreesWithTheReferenceOnOneBigScc) {
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    RandomGameParams p;
    p.seed = 1000 + seed;
    p.n_nodes = 200 + static_cast<uint32_t>(seed * 53 % 400);
    p.max_color = 2 + static_cast<uint32_t>(seed % 6);
    p.min_out = 2;
    p.max_out = 4;
    EXPECT_EQ(compare(random_game(p)), "") << describe(p);
  }
}

TEST_F(KorrelSolve, AgreesWithTheReferenceWithSelfLoopsEverywhere) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    RandomGameParams p;
    p.seed = 2000 + seed;
    p.n_nodes = 5 + static_cast<uint32_t>(seed * 17 % 150);
    p.max_color = static_cast<uint32_t>(seed % 7);
    p.max_out = 1 + static_cast<uint32_t>(seed % 3);
    p.self_loop_probability = 1.0;
    EXPECT_EQ(compare(random_game(p)), "") << describe(p);
  }
}

// Games whose non-trivial SCCs share a single colour, or have no odd colour
// above the smallest, were refused or left unsolved; they are solved now.
TEST_F(KorrelSolve, SolvesGamesWhoseSccsShareOneColour) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    RandomGameParams p;
    p.seed = 3000 + seed;
    p.n_nodes = 2 + static_cast<uint32_t>(seed * 29 % 100);
    p.min_color = p.max_color = static_cast<uint32_t>(seed % 4);
    p.max_out = 1 + static_cast<uint32_t>(seed % 3);
    p.self_loop_probability = (seed % 3) * 0.2;
    TestGame g = random_game(p);
    // A few trivial nodes of other colours in front of the game.
    if (seed % 2 == 0) {
      const uint32_t target = 0;
      g.add_node(7, 0, {target});
      g.add_node(4, 1, {g.size() - 1, target});
    }
    EXPECT_EQ(compare(g), "") << describe(p);
  }
}

TEST_F(KorrelSolve, SolvesGamesWithoutAnOddColourBelowTheTop) {
  // Even colours only in the cycles: every SCC compresses to colour 2.
  TestGame g;
  g.add_node(4, 1, {1});
  g.add_node(2, 0, {0, 2});
  g.add_node(3, 1, {3});
  g.add_node(6, 0, {2});
  g.add_node(5, 0, {0, 4});
  EXPECT_EQ(compare(g), "");
  // Odd wins the cycle through its loops: colour 5 only.
  TestGame h;
  h.add_node(5, 0, {1});
  h.add_node(5, 1, {0, 1});
  h.add_node(4, 0, {0});
  EXPECT_EQ(korrel_winners(h), (std::vector<uint8_t>{1, 1, 1}));
}

TEST_F(KorrelSolve, ZeroNodeGamePrintsEmptyRegions) {
  std::ostringstream out, err;
  std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
  Korrel::solve("/nonexistent/game.pg", out, true, false, nullptr);
  std::cerr.rdbuf(old);
  EXPECT_EQ(out.str(), "Nodes won by Even: \n\n\n\nNodes won by Odd: \n\n\n\nThis should be empty: \n\n\n\n");
  EXPECT_EQ(err.str(), "Couldn't open file /nonexistent/game.pg\nNodes: 0\n");
}

TEST_F(KorrelSolve, TooManyMeasureComponentsForSharedMemoryAreRefused) {
  // Colours 2..9 in one cycle: four odd colours, so four components of 4
  // bytes; a device with 12 bytes of shared memory per block cannot hold one.
  TestGame g;
  for (uint32_t c = 0; c < 8; ++c) g.add_node(c + 2, c % 2, {(c + 1) % 8});
  cudaDeviceProp small = hostrt::default_device_properties();
  small.sharedMemPerBlock = 12;
  hostrt::set_device_properties(small);
  std::ostringstream out, err;
  std::streambuf* old = std::cerr.rdbuf(err.rdbuf());
  std::string message;
  try {
    Korrel::solve(write_temp_file(to_pgsolver(g)), out, true, false, nullptr);
  } catch (const std::string& s) {
    message = s;
  }
  std::cerr.rdbuf(old);
  EXPECT_EQ(message,
            "Korrel::solve: the game needs 4 measure components (16 bytes per thread), more than the 12 bytes of "
            "shared memory per block.\n");
  EXPECT_EQ(out.str(), "") << "nothing solved or printed";
  small.sharedMemPerBlock = 16;
  hostrt::set_device_properties(small);
  EXPECT_EQ(compare(g), "") << "exactly one thread's measure fits";
}

// Large games: odd colours are rare and lie below an even top colour, so
// that the component bounds stay small and the lifting converges in a few
// hundred passes on the host; self-loops give Odd regions of its own.
TestGame large_game(uint32_t n, uint64_t seed, double self_loops) {
  RandomGameParams p;
  p.seed = seed;
  p.n_nodes = n;
  p.max_color = 4;
  p.max_out = 3;
  p.self_loop_probability = self_loops;
  TestGame g = random_game(p);
  std::mt19937_64 rng(seed);
  for (uint32_t v = 0; v < n; ++v) g.color[v] = 2 * g.color[v] + (g.color[v] < 4 && rng() % 500 == 0 ? 1 : 0);
  return g;
}

std::size_t range_count(const TestGame& g) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(g)));
  arena.upload(false);
  std::vector<uint32_t> scc_begin;
  ScopedDeviceArray<uint32_t> scc_id;
  color_t bound = 0, ref = 0;
  Korrel::preprocess(scc_begin, scc_id, bound, ref, arena);
  return Korrel::cut_ranges(scc_begin).size();
}

TEST_F(KorrelSolve, AgreesWithTheReferenceOnGamesOfSeveralRanges) {
  const TestGame a = large_game(70000, 11, 0.3);
  EXPECT_GE(range_count(a), 2u);
  EXPECT_EQ(compare(a), "");
  const TestGame b = large_game(80000, 12, 0.5);
  EXPECT_GE(range_count(b), 2u);
  EXPECT_EQ(compare(b), "");
}

}  // namespace
