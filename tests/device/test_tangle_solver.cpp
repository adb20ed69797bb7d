// Tangle learning (alg 13) against the independent reference solver, with
// its strategies checked by the verifier on every game.
#include <gtest/gtest.h>
#include <omp.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "one_thread_test.h"
#include "common/platform.h"
#include "csr_view.h"
#include "generated_game.h"
#include "generators.h"
#include "random_game.h"
#include "recursive_test_helpers.h"
#include "reference_solver.h"
#include "common/launch.h"
#include "tangle/bottom_scc_kernels.h"
#include "tangle/tangle_solver.h"
#include "verify/verifier.h"

namespace {

struct Solution {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
  TangleStats stats;
};

Solution solve_with_strategies(const TestGame& game, const std::atomic<bool>* stop = nullptr) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(game)));
  arena.upload(false);
  arena.allocate_strategy();
  TangleSolver solver;
  solver.set_stop_flag(stop);
  solver.solve(arena);
  Solution s;
  const std::vector<color_t> marks = from_device(arena.device.color, arena.n_nodes);
  s.winner.assign(marks.begin(), marks.end());
  s.strategy = from_device(arena.device.strategy, arena.n_nodes);
  s.stats = solver.stats;
  return s;
}

// "" when the independent verifier accepts the winners and strategies.
std::string verdict(const TestGame& g, const Solution& s) {
  const CsrView csr(g);
  return verify_solution(csr.view(), s.winner.data(), s.strategy.data());
}

class TangleSolverTest : public OneThreadDeviceTest {
 protected:
  static void expect_solved(const TestGame& game, const std::string& what) {
    const Solution s = solve_with_strategies(game);
    EXPECT_EQ(s.winner, reference_solve(game)) << what << "\n" << to_pgsolver(game);
    EXPECT_EQ(verdict(game, s), "") << what << "\n" << to_pgsolver(game);
  }

  static void sweep(RandomGameParams p, uint64_t first_seed, uint64_t count) {
    for (uint64_t seed = first_seed; seed < first_seed + count; ++seed) {
      p.seed = seed;
      expect_solved(random_game(p), describe(p));
      if (HasFailure()) return;
    }
  }

};

TEST_F(TangleSolverTest, SmallCases) {
  // A two-node cycle won by Even; a single odd loop; one colour.
  expect_solved(from_rows({{2, 0, 1}, {1, 1, 0}}), "two-cycle");
  expect_solved(from_rows({{5, 0, 0}}), "odd loop");
  expect_solved(from_rows({{7, 0, 1}, {7, 1, 2}, {7, 0, 0, 1}}), "one colour");
  // Odd's node 1 may leave Even's tangle {0, 1} (top priority 4) for the odd
  // loop at 2 only while 2 is not won by Even; Even wins 0 and 1 only by
  // learning that Odd must stay or go to 3, where Even loops on 6.
  expect_solved(from_rows({{4, 0, 1}, {1, 1, 0, 2}, {3, 1, 2, 3}, {6, 0, 3}}), "escape into a later dominion");
  // Seventy predecessors of one node, half of them Even's, join its region
  // from one frontier entry: more than one thread's batch of appended nodes.
  std::vector<std::vector<uint32_t>> fan{{2, 0, 0}};
  for (uint32_t v = 1; v <= 70; ++v) fan.push_back({1, v % 2, 0, v});
  expect_solved(from_rows(fan), "fan into one node");
}

TEST_F(TangleSolverTest, RandomGamesOfEveryShape) {
  RandomGameParams p;
  for (uint32_t n : {2u, 3u, 5u, 8u, 13u, 30u, 80u}) {
    p.n_nodes = n;
    p.max_color = 2 * n;
    sweep(p, 1000 + n, 30);
  }
  p.n_nodes = 40;
  p.max_color = 3;
  p.self_loop_probability = 0.3;
  sweep(p, 2000, 40);
  p.owners = OwnerMode::all_odd;
  sweep(p, 2100, 15);
  p.owners = OwnerMode::random;
  p.self_loop_probability = 0;
  p.min_out = 3;
  p.max_out = 8;
  p.max_color = 12;
  sweep(p, 2200, 30);
  p.ids = IdMode::sparse;
  p.min_color = 30000;
  p.max_color = 32767;
  sweep(p, 2300, 15);
}

// Every family of the generator, with the hard ones for Zielonka's algorithm
// and for tangle learning itself, at sizes the reference solver handles.
TEST_F(TangleSolverTest, GeneratorFamilies) {
  const std::vector<std::pair<std::string, pggen::Game>> games = {
      {"random", pggen::random_game(300, 20, 1, 4, 5)},
      {"steady", pggen::steady_game(300, 4, 2, 4, 5)},
      {"ladder", pggen::ladder_game(40)},
      {"recursiveladder", pggen::recursive_ladder_game(9)},
      {"jurdzinski", pggen::jurdzinski_game(4, 3)},
      {"clique", pggen::clique_game(12)},
      {"sccs", pggen::scc_game(400, 40, 10, 5)},
  };
  for (const auto& entry : games) expect_solved(from_generated(entry.second), entry.first);
}

// Each removed dominion lets the search go on below it: a recursive ladder
// costs one dominion per rung, not a search per rung.
TEST_F(TangleSolverTest, RecursiveLadderTakesOneSearch) {
  const TestGame g = from_generated(pggen::recursive_ladder_game(40));
  const Solution s = solve_with_strategies(g);
  EXPECT_EQ(s.winner, std::vector<uint8_t>(g.size(), 0));
  EXPECT_EQ(verdict(g, s), "");
  EXPECT_EQ(s.stats.rounds, 1u);
  EXPECT_GT(s.stats.tangles, 0u);
}

// A ladder's top region (Even's rail) is a dominion of all of G without bad
// nodes, and what is left after it is one region of Odd's: each is solved
// as it stands, so the seeds are all a search attracts from.
TEST_F(TangleSolverTest, LadderRegionsOfAllOfGAreSolvedAsTheyStand) {
  const TestGame g = from_generated(pggen::ladder_game(40));
  const Solution s = solve_with_strategies(g);
  EXPECT_EQ(s.winner, reference_solve(g));
  EXPECT_EQ(verdict(g, s), "");
  EXPECT_EQ(s.stats.dominions, 2u);
  EXPECT_EQ(s.stats.passes, 1u);
  EXPECT_EQ(s.stats.closure_passes, 0u);
}

// Odd's tangle {36} (a self-loop; its other edges lead to regions above) is
// learned in the first search. In the second, once a dominion below those
// regions is removed, 36 is the last region alone and its own bottom
// component: learning it again would let a search repeat forever.
TEST_F(TangleSolverTest, AKnownTangleIsNotLearnedAgain) {
  RandomGameParams p;
  p.n_nodes = 40;
  p.max_color = 3;
  p.self_loop_probability = 0.3;
  p.seed = 190392;
  const TestGame g = random_game(p);
  const Solution s = solve_with_strategies(g);
  EXPECT_EQ(s.winner, reference_solve(g));
  EXPECT_EQ(verdict(g, s), "");
  EXPECT_EQ(s.stats.tangles, 2u);
}

// Blocks of large launches run on two workers at once.
TEST_F(TangleSolverTest, LargeGameWithBlocksInParallel) {
  hostrt::set_worker_threads(2);
  RandomGameParams p;
  p.n_nodes = 10000;
  p.max_color = 40;
  p.max_out = 4;
  p.seed = 78;
  const TestGame g = random_game(p);
  const Solution s = solve_with_strategies(g);
  EXPECT_EQ(s.winner, reference_solve(g));
  EXPECT_TRUE(regions_are_closed(g, s.winner));
}

// The arena road: banner, marks in the host colours, nothing left on the device.
TEST_F(TangleSolverTest, ArenaRoadPrintsTheBannerAndTheMarks) {
  const TestGame g = from_rows({{4, 0, 1}, {1, 1, 0, 2}, {3, 1, 2, 3}, {6, 0, 3}});
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(g)));
  CaptureStreams streams;
  solve_gpu_arena(arena, 13, nullptr);
  EXPECT_EQ(streams.out(), "\n --> tangle learning with cudaGpuArena <-- \n\n");
  EXPECT_NE(streams.err().find("tangle learning: "), std::string::npos);
  EXPECT_EQ(std::vector<uint8_t>(arena.host.color, arena.host.color + 4), reference_solve(g));
  EXPECT_EQ(arena.device.color, nullptr);
}

TEST_F(TangleSolverTest, EmptyGameSolvesToNothing) {
  cudaGpuArena arena;
  CaptureStreams quiet;
  arena.load("/nonexistent/game.pg");
  solve_gpu_arena(arena, 13, nullptr);
  EXPECT_EQ(arena.n_nodes, 0u);
}

TEST_F(TangleSolverTest, RaisedStopFlagEndsTheSolveWithoutLeaks) {
  std::atomic<bool> stop(true);
  EXPECT_THROW(solve_with_strategies(from_generated(pggen::recursive_ladder_game(5)), &stop), TangleStopped);
}

TEST_F(TangleSolverTest, AllocationFailuresLeakNothing) {
  const std::string file = write_temp_file(to_pgsolver(from_generated(pggen::recursive_ladder_game(6))));
  // Every allocation of a solve that learns tangles, one after the other.
  for (std::size_t k = 1; k <= 40; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(k);
    const std::string thrown = thrown_text([&] {
      cudaGpuArena arena;
      arena.load(file);
      CaptureStreams quiet;
      solve_gpu_arena(arena, 13, nullptr);
    });
    EXPECT_EQ(hostrt::live_allocations(), 0u) << k;
    if (thrown == "<nothing thrown>") break;
    EXPECT_NE(thrown.find("out of memory"), std::string::npos) << k << ": " << thrown;
  }
}

// The bottom components of a region's strategy graph, by the kernels alone.
// Odd's nodes keep all their edges: {0, 1} leads on to {2, 3, 9}, which with
// {4, 5} is bottom. Even is the region's player: its node 6 plays only its
// strategy edge to 2 (its edge to 0 does not count) and so reaches the
// component without belonging to it; its top-priority nodes 7 and 9 have no
// strategy and keep their edges to good nodes: 7 leads into {4, 5}, 9 closes
// the cycle through 2 and must choose 2, not the bad node 8.
TEST_F(TangleSolverTest, BottomComponentsOfTheStrategyGraph) {
  const TestGame g = from_rows({{1, 1, 1},
                                {1, 1, 0, 2},
                                {1, 1, 3},
                                {1, 1, 9},
                                {1, 1, 5},
                                {1, 1, 4},
                                {2, 0, 0, 2},
                                {2, 0, 4, 5},
                                {1, 1, 8, 7},
                                {2, 0, 8, 2}});
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(g)));
  arena.upload(false);
  const uint32_t n = g.size();
  const RegionScope r{0, 10, 0};
  DeviceCopy<uint32_t> state(std::vector<uint32_t>{11, 11, 11, 11, 11, 11, 11, 10, 11, 10});
  DeviceCopy<uint32_t> sigma(std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 2, no_strategy, 0, no_strategy});
  DeviceCopy<uint32_t> bad(std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 1, 0});
  DeviceCopy<uint32_t> reach(n), member(n), list(std::vector<uint32_t>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0});
  DeviceCopy<uint8_t> spoiled(n);
  TangleView v;
  v.n_nodes = n;
  v.owner = arena.device.owner;
  v.succ_begin = arena.device.succ.begin;
  v.succ_count = arena.device.succ.count;
  v.succ = arena.device.succ.targets;
  v.pred_begin = arena.device.pred.begin;
  v.pred_count = arena.device.pred.count;
  v.pred = arena.device.pred.targets;
  v.state = state.ptr;
  v.sigma = sigma.ptr;
  v.bad = bad.ptr;
  v.reach = reach.ptr;
  v.spoiled = spoiled.ptr;
  v.member = member.ptr;
  DeviceCopy<bool> changed(1);
  const uint32_t* l = list.ptr;
  auto until_stable = [&](void (*k)(TangleView, const uint32_t*, uint32_t, RegionScope, bool*)) {
    for (bool again = true; again;) {
      const bool no = false;
      copy_array<Space::device, Space::host>(changed.ptr, &no, 1);
      launch_kernel(k, 1, 32, 0, v, l, n, r, changed.ptr);
      copy_array<Space::host, Space::device>(&again, changed.ptr, 1);
    }
  };
  launch_kernel(kernel::tangle::init_reach, 1, 32, 0, v, l, n);
  until_stable(kernel::tangle::propagate_reach);
  until_stable(kernel::tangle::propagate_spoiled);
  launch_kernel(kernel::tangle::seed_members, 1, 32, 0, v, l, n, r);
  until_stable(kernel::tangle::propagate_members);
  launch_kernel(kernel::tangle::choose_tangle_strategy, 1, 32, 0, v, l, n, r);
  const uint32_t none = tangle_state::none;
  EXPECT_EQ(from_device(member.ptr, n), (std::vector<uint32_t>{none, none, 9, 9, 5, 5, none, none, none, 9}));
  EXPECT_EQ(from_device(reach.ptr, n), (std::vector<uint32_t>{9, 9, 9, 9, 5, 5, 9, 7, 8, 9}));
  EXPECT_EQ(from_device(sigma.ptr, n)[9], 2u);
}

}  // namespace
