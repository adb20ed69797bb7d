// Every progress-measure solver against the reference solver on seeded games
// of many shapes; a failure names the solver and the game's parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "cudaPGSolver/solve.h"
#include "random_game.h"
#include "reference_solver.h"
#include "cudaPGSolver/spm_common.h"
#include "kernels/spm_in_place.h"
#include "spm_test_support.h"

namespace {

struct Family {
  const char* name;
  uint64_t games;
  // Parameters of game number i (the seed included).
  std::function<RandomGameParams(uint64_t i)> params;
};

// Two-sided measures over a few large ranks need very many iterations, so the
// larger games keep to few colours; many ranks come with small games.
const Family families[] = {
    {"small", 150,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 1 + static_cast<uint32_t>(i * 7 % 60);
       p.max_color = static_cast<uint32_t>(i % 9);
       p.max_out = 1 + static_cast<uint32_t>(i % 4);
       p.self_loop_probability = (i % 3) * 0.2;
       return p;
     }},
    {"many ranks", 30,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 20 + static_cast<uint32_t>(i % 40);
       p.max_color = 40;
       return p;
     }},
    {"one player", 40,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 2 + static_cast<uint32_t>(i % 45);
       p.max_color = 1 + static_cast<uint32_t>(i % 8);
       p.owners = i & 1 ? OwnerMode::all_odd : OwnerMode::all_even;
       p.self_loop_probability = 0.5;
       return p;
     }},
    {"dense", 30,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 4 + static_cast<uint32_t>(i % 30);
       p.min_out = p.n_nodes / 2;
       p.max_out = p.n_nodes;
       p.max_color = static_cast<uint32_t>(i % 10);
       return p;
     }},
    // Sparse games with many colours: measures climb far around long cycles
    // (the corner where lifting one edge per pass took minutes).
    {"out-degree 1-2, 20 colours", 12,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 40 + static_cast<uint32_t>(i * 23 % 50);
       p.max_color = 19;
       p.min_out = 1;
       p.max_out = 2;
       return p;
     }},
    {"hundreds of nodes", 5,
     [](uint64_t i) {
       RandomGameParams p;
       p.n_nodes = 120 + static_cast<uint32_t>(i) * 30;
       p.max_color = 3;
       p.max_out = 4;
       p.self_loop_probability = 0.1;
       return p;
     }},
};

class SpmAgreesWithReference : public ::testing::TestWithParam<unsigned int> {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }

  void expect_reference_winners(const TestGame& game, const std::vector<color_t>& color, const std::string& what) {
    const std::vector<uint8_t> expected = reference_solve(game);
    ASSERT_EQ(color, std::vector<color_t>(expected.begin(), expected.end()))
        << spm_solvers()[GetParam()].name << " on " << what;
  }
};

TEST_P(SpmAgreesWithReference, RandomGames) {
  uint64_t seed = 1;
  for (const Family& family : families) {
    for (uint64_t i = 0; i < family.games; ++i, ++seed) {
      RandomGameParams p = family.params(i);
      p.seed = seed;
      const TestGame game = random_game(p);
      expect_reference_winners(game, run_spm(GetParam(), game).color, family.name + (": " + describe(p)));
    }
  }
}

TEST_P(SpmAgreesWithReference, OneColourRankAndLongChains) {
  for (uint64_t seed = 300; seed < 330; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed % 50);
    TestGame game = random_game(p);
    // One parity only, so one rank; odd seeds give odd colours.
    for (uint32_t& c : game.color) c = 2 * c + static_cast<uint32_t>(seed & 1);
    expect_reference_winners(game, run_spm(GetParam(), game).color, describe(p) + ", colours 2c + parity of seed");
  }
  for (uint64_t seed = 500; seed < 520; ++seed) {
    const uint32_t n = 1 + static_cast<uint32_t>(seed * 13 % 120), max_color = static_cast<uint32_t>(seed % 9);
    expect_reference_winners(chain_game(n, max_color, seed), run_spm(GetParam(), chain_game(n, max_color, seed)).color,
                             "chain_game(" + std::to_string(n) + ", " + std::to_string(max_color) + ", " +
                                 std::to_string(seed) + ")");
  }
}

// What is wrong with the strategies a solve gave, or "": every node with a
// strategy is won by its owner and moves along one of its edges to a node
// that player wins; with complete set, every node of `player` won by it has
// one; and where `player`'s nodes follow their strategies inside its region,
// no cycle has a largest colour of the other parity.
std::string strategy_fault(const TestGame& g, const std::vector<color_t>& winner, const std::vector<uint32_t>& strategy,
                           uint8_t player, bool complete) {
  const uint32_t n = g.size();
  for (uint32_t v = 0; v < n; ++v) {
    if (strategy[v] == no_strategy) {
      if (complete && g.owner[v] == player && winner[v] == player) return "node " + std::to_string(v) + " has none";
      continue;
    }
    const auto& s = g.succ[v];
    if (winner[v] != g.owner[v]) return "node " + std::to_string(v) + " is lost by its owner";
    if (std::find(s.begin(), s.end(), strategy[v]) == s.end()) return "node " + std::to_string(v) + ": not an edge";
    if (winner[strategy[v]] != winner[v]) return "node " + std::to_string(v) + " leaves its region";
  }
  if (!complete) return "";
  // The region's graph: the player's nodes keep their strategy edge only.
  auto next = [&](uint32_t v) {
    return g.owner[v] == player ? std::vector<uint32_t>{strategy[v]} : g.succ[v];
  };
  for (uint32_t u = 0; u < n; ++u) {
    if (winner[u] != player || (g.color[u] & 1u) == player) continue;
    // A cycle through u of colours up to u's, inside the region?
    std::vector<char> seen(n, 0);
    std::vector<uint32_t> stack = next(u);
    while (!stack.empty()) {
      const uint32_t w = stack.back();
      stack.pop_back();
      if (w == u) return "a cycle through node " + std::to_string(u) + " is won by the other player";
      if (seen[w] || winner[w] != player || g.color[w] > g.color[u]) continue;
      seen[w] = 1;
      for (uint32_t x : next(w)) stack.push_back(x);
    }
  }
  return "";
}

// Strategies when asked for: the one-sided solvers give the whole strategy of
// the largest colour's player, the two-sided ones a winning part of one.
TEST_P(SpmAgreesWithReference, StrategiesWin) {
  const bool one_sided = GetParam() == 2 || GetParam() == 3 || GetParam() == 5;
  for (uint64_t seed = 900; seed < 960; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 2 + static_cast<uint32_t>(seed * 7 % 60);
    p.max_color = static_cast<uint32_t>(seed % 9);
    p.max_out = 1 + static_cast<uint32_t>(seed % 4);
    p.self_loop_probability = (seed % 3) * 0.2;
    const TestGame game = random_game(p);
    const SpmRun run = run_spm(GetParam(), game, nullptr, true);
    expect_reference_winners(game, run.color, describe(p));
    uint32_t top = 0;
    for (uint32_t c : game.color) top = std::max(top, c);
    EXPECT_EQ(strategy_fault(game, run.color, run.strategy, static_cast<uint8_t>(top & 1u), one_sided), "")
        << spm_solvers()[GetParam()].name << " on " << describe(p);
    if (one_sided) continue;
    EXPECT_EQ(strategy_fault(game, run.color, run.strategy, static_cast<uint8_t>(1u - (top & 1u)), false), "")
        << spm_solvers()[GetParam()].name << " on " << describe(p);
  }
}

// Through the file, the reader and solve_game: ids far apart or shuffled must
// not matter, only positions in the file.
TEST_P(SpmAgreesWithReference, SparseIdsThroughSolveGame) {
  for (uint64_t seed = 800; seed < 830; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed % 40);
    p.max_color = static_cast<uint32_t>(seed % 8);
    p.ids = seed & 1 ? IdMode::sparse : IdMode::shuffled;
    const TestGame game = random_game(p);
    ParityGame loaded;
    loaded.load(write_temp_file(to_pgsolver(game)));
    {
      StreamCapture quiet;
      solve_game(loaded, GetParam(), nullptr);
    }
    expect_reference_winners(game, std::vector<color_t>(loaded.color, loaded.color + loaded.n_nodes), describe(p));
  }
}

// Measures climb on cycles up to the number of nodes of a colour, so large
// games with short loops have few cycles: every node but the last `core`
// ones leads to 1 to 4 later nodes (colours 0 .. top - 2, about 30 of them
// the top colour), and the core's nodes (colours top - 1 and top, two
// successors in the core each) are the only cycles. Tens of thousands of
// nodes then take tens to a hundred lifting passes.
TestGame funnel_game(uint32_t n, uint32_t top, uint32_t core, uint64_t seed) {
  std::mt19937_64 rng(seed);
  TestGame game;
  const uint32_t first_core = n - core;
  for (uint32_t v = 0; v < n; ++v) {
    const uint8_t owner = static_cast<uint8_t>(rng() & 1);
    std::vector<uint32_t> succ;
    if (v < first_core) {
      const uint32_t degree = 1 + static_cast<uint32_t>(rng() % 4);
      for (uint32_t k = 0; k < degree; ++k) succ.push_back(v + 1 + static_cast<uint32_t>(rng() % (n - v - 1)));
      // About 30 of them carry the top colour, which the core's cycles count.
      const bool top_colour = rng() % (n / 30) == 0;
      game.add_node(top_colour ? top : top >= 2 ? static_cast<uint32_t>(rng() % (top - 1)) : 0, owner, succ);
    } else {
      for (uint32_t k = 0; k < 2; ++k) succ.push_back(first_core + static_cast<uint32_t>(rng() % core));
      game.add_node(v == first_core ? top : top - static_cast<uint32_t>(rng() % 2), owner, succ);
    }
  }
  return game;
}

// The active-node solvers (alg 4 and 5) compact their list only while the
// launch has more blocks than the device has multiprocessors: on a device of
// one multiprocessor almost always, on one of 132 (an H100: blocks of 256
// threads) only from 33,793 nodes on. Both shapes, on games that are still
// lifted after the first compactions, with the top colour even and odd (an
// even top colour is colour 2 after the renumbering: a compaction that
// dropped those nodes left alg 4 lifting for ever, which the test's time
// limit turns into a failure). Chains of one lift per node and pass keep the
// solvers lifting for enough passes to compact, in every order of threads.
TEST(SpmActiveNodes, AgreeWithTheReferenceOnOneAndOn132Multiprocessors) {
  struct OneLiftChains {
    OneLiftChains() { set_spm_chain_budget(1); }
    ~OneLiftChains() { set_spm_chain_budget(kernel::default_chain_budget); }
  } one_lift_chains;
  struct Case {
    int multiprocessors;
    uint32_t n_nodes, top, core;
    uint64_t seed;
  };
  const Case cases[] = {{1, 3000, 2, 12, 11}, {1, 3000, 3, 12, 12}, {1, 3000, 4, 12, 13}, {1, 2000, 6, 16, 14},
                        {132, 36000, 2, 12, 21}, {132, 36000, 4, 12, 22}, {132, 36000, 5, 12, 23}};
  // How many games each solver compacted, per device shape: how many passes
  // a game takes depends on the order of threads, so not every game compacts
  // in every order, but each shape's games must reach the compaction.
  int compacted[2][2] = {{0, 0}, {0, 0}};
  for (const Case& c : cases) {
    hostrt::reset();
    cudaDeviceProp device = hostrt::default_device_properties();
    device.multiProcessorCount = c.multiprocessors;
    device.maxThreadsPerMultiProcessor = 2048;
    const TestGame game = funnel_game(c.n_nodes, c.top, c.core, c.seed);
    const std::vector<uint8_t> winners = reference_solve(game);
    for (const unsigned int alg : {4u, 5u}) {
      const SpmRun run = run_spm(alg, game, &device);
      const std::string what = std::string(spm_solvers()[alg].name) + " with " + std::to_string(c.multiprocessors) +
                               " multiprocessors on " + std::to_string(c.n_nodes) + " nodes, top colour " +
                               std::to_string(c.top) + ", seed " + std::to_string(c.seed);
      if (!run.stats.compactions.empty()) ++compacted[alg - 4][c.multiprocessors == 1 ? 0 : 1];
      EXPECT_EQ(run.color, std::vector<color_t>(winners.begin(), winners.end())) << what;
    }
    EXPECT_EQ(hostrt::live_allocations(), 0u);
  }
  // Counted in index order: reversed, none of the one-multiprocessor games
  // reaches the compaction.
  for (int alg = 0; alg < 2 && hostrt::thread_order() == hostrt::ThreadOrder::forward; ++alg) {
    EXPECT_GE(compacted[alg][0], 2) << "alg " << alg + 4 << " on one multiprocessor";
    EXPECT_GE(compacted[alg][1], 2) << "alg " << alg + 4 << " on 132 multiprocessors";
  }
  hostrt::reset();
}

INSTANTIATE_TEST_SUITE_P(AllSolvers, SpmAgreesWithReference, ::testing::Values(0u, 1u, 2u, 3u, 4u, 5u),
                         [](const ::testing::TestParamInfo<unsigned int>& info) {
                           return std::string(spm_solvers()[info.param].name);
                         });

}  // namespace
