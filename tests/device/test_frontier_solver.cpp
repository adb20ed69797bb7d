// Alg 12 (Zielonka's algorithm with frontier attractors) against the
// independent reference solver, winners and strategies, on seeded random
// games, on every generator family, and on games large enough that its
// atomics run on two host workers at once.
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

#include "one_thread_test.h"
#include "common/platform.h"
#include "csr_view.h"
#include "generated_game.h"
#include "generators.h"
#include "random_game.h"
#include "recursive/frontier_solver.h"
#include "recursive_test_helpers.h"
#include "reference_solver.h"
#include "verify/verifier.h"

namespace {

struct Solution {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
};

Solution solve_frontier(const TestGame& game) {
  cudaGpuArena arena;
  {
    CaptureStreams quiet;
    arena.load(write_temp_file(to_pgsolver(game)));
  }
  arena.upload(false);
  arena.allocate_strategy();
  {
    FrontierSolver solver(arena.n_nodes);
    solver.solve(arena);
  }
  Solution s;
  for (color_t c : from_device(arena.device.color, arena.n_nodes)) s.winner.push_back(static_cast<uint8_t>(c));
  s.strategy = from_device(arena.device.strategy, arena.n_nodes);
  return s;
}

// Empty when every node won by its owner has a move along an edge that
// stays in its region, every other node has none, and the moves win: with
// each winner held to its move, the reference solver finds the same regions.
std::string strategy_fault(const TestGame& game, const Solution& s) {
  TestGame held = game;
  for (uint32_t v = 0; v < game.size(); ++v) {
    const uint32_t to = s.strategy[v];
    if (s.winner[v] != game.owner[v]) {
      if (to != no_strategy) return "node " + std::to_string(v) + " loses but has a move";
      continue;
    }
    bool edge = false;
    for (uint32_t w : game.succ[v]) edge = edge || w == to;
    if (!edge) return "node " + std::to_string(v) + " moves along no edge";
    if (s.winner[to] != s.winner[v]) return "node " + std::to_string(v) + " leaves its region";
    held.succ[v] = {to};
  }
  if (reference_solve(held) != s.winner) return "a winner's moves do not win";
  return "";
}

void expect_solved(const TestGame& game, const std::string& what) {
  const Solution s = solve_frontier(game);
  EXPECT_EQ(s.winner, reference_solve(game)) << what << "\n" << (game.size() <= 200 ? to_pgsolver(game) : "");
  if (s.winner.size() == game.size()) {
    EXPECT_EQ(strategy_fault(game, s), "") << what;
    const CsrView csr(game);
    EXPECT_EQ(verify_solution(csr.view(), s.winner.data(), s.strategy.data()), "") << what;
  }
}

class FrontierSolverTest : public OneThreadDeviceTest {};

TEST_F(FrontierSolverTest, SeededRandomGames) {
  struct Family {
    uint32_t n, min_color, max_color, min_out, max_out;
    double self_loops;
    OwnerMode owners;
    IdMode ids;
    uint64_t first_seed, count;
  };
  const Family families[] = {
      {12, 3, 3, 1, 3, 0, OwnerMode::random, IdMode::dense, 1, 20},  // one colour
      {12, 0, 1, 1, 3, 0, OwnerMode::random, IdMode::dense, 100, 60},
      {40, 6, 7, 1, 3, 0, OwnerMode::random, IdMode::dense, 200, 30},
      {5, 0, 10, 1, 3, 0, OwnerMode::random, IdMode::dense, 1005, 40},
      {30, 0, 60, 1, 3, 0, OwnerMode::random, IdMode::dense, 1030, 40},
      {80, 0, 160, 1, 3, 0, OwnerMode::random, IdMode::dense, 1080, 25},
      {60, 30000, 32767, 1, 3, 0, OwnerMode::random, IdMode::dense, 2000, 15},
      {25, 0, 6, 1, 3, 0.5, OwnerMode::random, IdMode::dense, 3000, 30},
      {25, 0, 6, 1, 3, 0.5, OwnerMode::all_even, IdMode::dense, 3100, 20},
      {25, 0, 6, 1, 3, 0.5, OwnerMode::all_odd, IdMode::dense, 3200, 20},
      {25, 0, 6, 4, 9, 0, OwnerMode::random, IdMode::dense, 3300, 20},
      {20, 0, 8, 1, 3, 0, OwnerMode::random, IdMode::sparse, 4000, 20},
      {20, 0, 8, 1, 3, 0, OwnerMode::random, IdMode::shuffled, 4100, 20},
  };
  for (const Family& f : families) {
    RandomGameParams p;
    p.n_nodes = f.n;
    p.min_color = f.min_color;
    p.max_color = f.max_color;
    p.min_out = f.min_out;
    p.max_out = f.max_out;
    p.self_loop_probability = f.self_loops;
    p.owners = f.owners;
    p.ids = f.ids;
    for (p.seed = f.first_seed; p.seed < f.first_seed + f.count && !HasFailure(); ++p.seed)
      expect_solved(random_game(p), describe(p));
  }
  for (uint64_t seed = 1; seed <= 20 && !HasFailure(); ++seed)
    expect_solved(chain_game(static_cast<uint32_t>(5 + seed * 3), 9, seed), "chain");
}

// Every family of pggen that the tests and the harness use.
TEST_F(FrontierSolverTest, GeneratorFamilies) {
  const std::pair<const char*, pggen::Game> games[] = {
      {"random 150 4 1 3", pggen::random_game(150, 4, 1, 3, 7)},
      {"random 2000 300 2 5", pggen::random_game(2000, 300, 2, 5, 1)},
      {"steady 150 4 2 4", pggen::steady_game(150, 4, 2, 4, 7)},
      {"steady 3000 50 2 5", pggen::steady_game(3000, 50, 2, 5, 2)},
      {"ladder 30", pggen::ladder_game(30)},
      {"recursiveladder 5", pggen::recursive_ladder_game(5)},
      {"recursiveladder 8", pggen::recursive_ladder_game(8)},
      {"jurdzinski 3 3", pggen::jurdzinski_game(3, 3)},
      {"jurdzinski 4 6", pggen::jurdzinski_game(4, 6)},
      {"clique 9", pggen::clique_game(9)},
      {"clique 40", pggen::clique_game(40)},
      {"sccs 300 25 4", pggen::scc_game(300, 25, 4, 7)},
      {"sccs 3000 500 8", pggen::scc_game(3000, 500, 8, 3)},
  };
  for (const auto& g : games) expect_solved(from_generated(g.second), std::string("pggen ") + g.first);
}

// Launches of 8192 threads and more spread their blocks over the host
// workers; these games give frontiers and sub-games far above that, so the
// compare-and-swaps, decrements and appends of the walk race on two workers.
TEST_F(FrontierSolverTest, LargeGamesOnTwoWorkers) {
  hostrt::set_worker_threads(2);
  const std::pair<const char*, pggen::Game> games[] = {
      {"random 60000 4 1 4", pggen::random_game(60000, 4, 1, 4, 5)},
      {"random 40000 12 2 5", pggen::random_game(40000, 12, 2, 5, 6)},
      {"ladder 20000", pggen::ladder_game(20000)},
      {"sccs 40000 2000 6", pggen::scc_game(40000, 2000, 6, 4)},
  };
  for (const auto& g : games) expect_solved(from_generated(g.second), std::string("pggen ") + g.first);
}

// Each level peels off one node: 2000 nested calls.
TEST_F(FrontierSolverTest, DeepRecursionOverManyDistinctColours) {
  TestGame g;
  const uint32_t n = 2000;
  for (uint32_t v = 0; v < n; ++v)
    g.add_node(2 * v, 1, v + 1 < n ? std::vector<uint32_t>{v + 1, v} : std::vector<uint32_t>{v});
  expect_solved(g, "staircase of distinct colours");
}

TEST_F(FrontierSolverTest, ArenaRoadPrintsItsBannerAndSolves) {
  const TestGame g = from_rows({{1, 0, 2, 0}, {0, 1, 0, 1}, {2, 0, 3}, {1, 1, 3}});
  cudaGpuArena arena;
  CaptureStreams capture;
  arena.load(write_temp_file(to_pgsolver(g)));
  solve_gpu_arena(arena, 12, nullptr);
  EXPECT_EQ(capture.out(), "\n --> recursive with frontier attractors <-- \n\n");
  EXPECT_EQ(std::vector<uint8_t>(arena.host.color, arena.host.color + arena.n_nodes), reference_solve(g));
  EXPECT_EQ(arena.device.color, nullptr);

  cudaGpuArena empty;
  empty.load("/nonexistent/game.pg");
  solve_gpu_arena(empty, 12, nullptr);
  EXPECT_EQ(empty.n_nodes, 0u);
}

}  // namespace

// Every launch, copy and memset of alg 12 is checked: whichever one fails,
// the solve throws instead of returning a result, and frees what it took.
TEST_F(FrontierSolverTest, EveryFailingCallOfTheSolveIsReported) {
  RandomGameParams p;
  p.n_nodes = 40;
  p.max_color = 9;
  p.seed = 5;
  const TestGame game = random_game(p);
  const std::string file = write_temp_file(to_pgsolver(game));
  const auto solve = [&](void (*inject)(std::size_t), std::size_t k) {
    cudaGpuArena arena;
    {
      CaptureStreams quiet;
      arena.load(file);
    }
    arena.upload(false);
    arena.allocate_strategy();
    hostrt::reset();  // the failing call is counted from here
    inject(k);
    const std::string thrown = thrown_text([&] { FrontierSolver(arena.n_nodes).solve(arena); });
    inject(0);
    return thrown;
  };
  solve(&hostrt::fail_launch, 0);
  const hostrt::Counters calls = hostrt::counters();
  ASSERT_GT(calls.launches, 20u);
  const std::pair<void (*)(std::size_t), std::size_t> kinds[] = {
      {&hostrt::fail_launch, calls.launches},
      {&hostrt::fail_copy, calls.copies_to_host + calls.copies_to_device + calls.copies_on_device},
      {&hostrt::fail_memset, calls.memsets}};
  for (const auto& kind : kinds) {
    for (std::size_t k = 1; k <= kind.second; ++k) {
      EXPECT_NE(solve(kind.first, k).find("error"), std::string::npos) << "call " << k;
      EXPECT_EQ(hostrt::live_allocations(), 0u) << "call " << k;
    }
  }
}
