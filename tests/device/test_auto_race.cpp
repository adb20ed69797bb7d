// The race of tangle learning and Zielonka's algorithm behind "auto".
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

#include "common/platform.h"
#include "csr_view.h"
#include "generated_game.h"
#include "generators.h"
#include "random_game.h"
#include "recursive_test_helpers.h"
#include "reference_solver.h"
#include "tangle/auto_race.h"
#include "verify/verifier.h"

namespace {

struct RaceAnswer {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
  RaceWinner by;
};

RaceAnswer race(const TestGame& game) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(game)));
  RaceAnswer a;
  a.strategy.assign(arena.n_nodes, 0);
  a.by = solve_by_race(arena, a.strategy.data());
  a.winner.assign(arena.host.color, arena.host.color + arena.n_nodes);
  EXPECT_EQ(arena.device.color, nullptr) << "the arena's device side is not the racers'";
  return a;
}

class AutoRace : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

TEST_F(AutoRace, EitherAnswerIsTheReferenceWithVerifiedStrategies) {
  hostrt::set_worker_threads(2);  // large launches of both racers share the block pool
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = seed % 4 == 0 ? 12000 : 40 + static_cast<uint32_t>(seed * 13);
    p.max_color = static_cast<uint32_t>(seed * 7 % 50);
    p.max_out = 4;
    const TestGame g = random_game(p);
    const RaceAnswer a = race(g);
    EXPECT_EQ(a.winner, reference_solve(g)) << describe(p) << " answered by " << race_winner_name(a.by);
    const CsrView csr(g);
    EXPECT_EQ(verify_solution(csr.view(), a.winner.data(), a.strategy.data()), "") << describe(p);
  }
}

// Zielonka's algorithm needs 3 * 2^17 - 5 calls on this ladder, tangle
// learning one search: the race must end with tangle learning's answer and
// stop the recursion, which frees everything it held.
TEST_F(AutoRace, TangleLearningWinsOnARecursiveLadderAndStopsZielonka) {
  const TestGame g = from_generated(pggen::recursive_ladder_game(16));
  const RaceAnswer a = race(g);
  EXPECT_EQ(a.by, RaceWinner::tangle_learning);
  EXPECT_EQ(a.winner, std::vector<uint8_t>(g.size(), 0));
}

TEST_F(AutoRace, AFailureOfBothIsThrown) {
  cudaGpuArena arena;
  arena.load(write_temp_file("0 2 0 1;\n1 3 1 0,2;\n2 4 0 2;\n"));
  hostrt::set_byte_budget(64);  // not even the game fits
  EXPECT_NE(thrown_text([&] { solve_by_race(arena, nullptr); }).find("out of memory"), std::string::npos);
}

}  // namespace
