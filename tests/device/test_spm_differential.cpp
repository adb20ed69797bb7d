// Every progress-measure solver against the reference solver on seeded games
// of many shapes. A failure names the solver and the game's parameters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cudaPGSolver/solve.h"
#include "random_game.h"
#include "reference_solver.h"
#include "spm_test_support.h"

namespace {

class SpmAgreesWithReference : public ::testing::TestWithParam<unsigned int> {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }

  // Solves directly with the solver under test; true when the winners agree.
  bool agrees(const TestGame& game, const std::string& what) {
    const std::vector<uint8_t> expected = reference_solve(game);
    const SpmRun run = run_spm(GetParam(), game);
    for (uint32_t v = 0; v < game.size(); ++v) {
      if (run.color[v] != expected[v]) {
        ADD_FAILURE() << spm_solvers()[GetParam()].name << " on " << what << ": node " << v << " has "
                      << run.color[v] << ", the reference says " << int(expected[v]);
        return false;
      }
    }
    return true;
  }

  void check_random(RandomGameParams params) {
    // The same generator with a different seed would give another game, so
    // the seed is part of the message.
    agrees(random_game(params), describe(params));
  }
};

TEST_P(SpmAgreesWithReference, SmallRandomGames) {
  for (uint64_t seed = 1; seed <= 150; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed * 7 % 60);
    // Two-sided measures of many large ranks take very many iterations;
    // colour ranks are exercised on their own below.
    p.max_color = static_cast<uint32_t>(seed % 9);
    p.max_out = 1 + static_cast<uint32_t>(seed % 4);
    p.self_loop_probability = (seed % 3) * 0.2;
    check_random(p);
  }
}

TEST_P(SpmAgreesWithReference, ManyColourRanks) {
  for (uint64_t seed = 200; seed < 230; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 20 + static_cast<uint32_t>(seed % 40);
    p.max_color = 40;
    p.max_out = 3;
    check_random(p);
  }
}

TEST_P(SpmAgreesWithReference, OneColourRank) {
  for (uint64_t seed = 300; seed < 330; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed % 50);
    p.max_color = 6;
    p.max_out = 3;
    TestGame game = random_game(p);
    // Colours of one parity only, so one rank; odd seeds give odd colours.
    for (uint32_t& c : game.color) c = 2 * c + static_cast<uint32_t>(seed & 1);
    agrees(game, describe(p) + " with colours 2c+" + std::to_string(seed & 1));
  }
}

TEST_P(SpmAgreesWithReference, NodesOfOnePlayerWithSelfLoops) {
  for (uint64_t seed = 400; seed < 440; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 2 + static_cast<uint32_t>(seed % 45);
    p.max_color = 1 + static_cast<uint32_t>(seed % 8);
    p.owners = seed & 1 ? OwnerMode::all_odd : OwnerMode::all_even;
    p.self_loop_probability = 0.5;
    check_random(p);
  }
}

TEST_P(SpmAgreesWithReference, LongChains) {
  for (uint64_t seed = 500; seed < 520; ++seed) {
    const uint32_t n = 1 + static_cast<uint32_t>(seed * 13 % 120);
    const uint32_t max_color = static_cast<uint32_t>(seed % 9);
    agrees(chain_game(n, max_color, seed),
           "chain_game(" + std::to_string(n) + ", " + std::to_string(max_color) + ", " + std::to_string(seed) + ")");
  }
}

TEST_P(SpmAgreesWithReference, DenseGames) {
  for (uint64_t seed = 600; seed < 630; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 4 + static_cast<uint32_t>(seed % 30);
    p.min_out = p.n_nodes / 2;
    p.max_out = p.n_nodes;
    p.max_color = static_cast<uint32_t>(seed % 10);
    check_random(p);
  }
}

TEST_P(SpmAgreesWithReference, HundredsOfNodes) {
  for (uint64_t seed = 700; seed < 705; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 120 + static_cast<uint32_t>(seed % 5) * 30;
    p.max_color = 3;
    p.max_out = 4;
    p.self_loop_probability = 0.1;
    check_random(p);
  }
}

// Through the file, the reader and solve_game: ids far apart and shuffled
// must not matter, only positions in the file.
TEST_P(SpmAgreesWithReference, SparseIdsThroughSolveGame) {
  for (uint64_t seed = 800; seed < 830; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed % 40);
    p.max_color = static_cast<uint32_t>(seed % 8);
    p.ids = seed & 1 ? IdMode::sparse : IdMode::shuffled;
    const TestGame game = random_game(p);
    const std::vector<uint8_t> expected = reference_solve(game);
    ParityGame loaded;
    loaded.load(write_temp_file(to_pgsolver(game)));
    ASSERT_EQ(loaded.n_nodes, game.size()) << describe(p);
    {
      StreamCapture quiet;
      solve_game(loaded, GetParam(), nullptr);
    }
    for (uint32_t v = 0; v < game.size(); ++v)
      ASSERT_EQ(loaded.color[v], expected[v]) << spm_solvers()[GetParam()].name << " on " << describe(p) << ", node " << v;
  }
}

std::string solver_name(const ::testing::TestParamInfo<unsigned int>& info) {
  return spm_solvers()[info.param].name;
}

INSTANTIATE_TEST_SUITE_P(AllSolvers, SpmAgreesWithReference, ::testing::Values(0u, 1u, 2u, 3u, 4u, 5u), solver_name);

}  // namespace
