// Zielonka's algorithm on both roads (alg 9 on the CSR arrays, alg 11 on the
// arena) against the independent reference solver.
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

#include "one_thread_test.h"
#include "common/platform.h"
#include "random_game.h"
#include "reference_solver.h"
#include "recursive_test_helpers.h"

namespace {

class RecursiveSolver : public OneThreadDeviceTest {
 protected:
  // Both roads must agree with the reference on every node.
  static void expect_reference_winners(const TestGame& game, const std::string& what) {
    const std::vector<uint8_t> expected = reference_solve(game);
    EXPECT_EQ(solve_with_csr_road(game), expected) << "alg 9, " << what << "\n" << to_pgsolver(game);
    EXPECT_EQ(solve_with_arena_road(game), expected) << "alg 11, " << what << "\n" << to_pgsolver(game);
  }

  static void sweep(RandomGameParams p, uint64_t first_seed, uint64_t count) {
    for (uint64_t seed = first_seed; seed < first_seed + count; ++seed) {
      p.seed = seed;
      expect_reference_winners(random_game(p), describe(p));
      if (HasFailure()) return;  // one game in full is enough to go on
    }
  }

};

// Once the opponent's attractor B = {2, 3} is removed, the rest {0, 1} is
// solved again. Node 1 then lies in the new attractor A but still carries its
// mark 0 from the first pass; taking that mark for something Even won in the
// recursive call gave node 1 to Even. Odd wins everywhere: 3 loops on an odd
// colour, 2 must go to 3, and from 0 and 1 Odd can keep the play on colour 1.
TEST_F(RecursiveSolver, StaleMarkInTheAttractorIsNoTarget) {
  const TestGame g = from_rows({{1, 0, 2, 0}, {0, 1, 0, 1}, {2, 0, 3}, {1, 1, 3}});
  EXPECT_EQ(reference_solve(g), (std::vector<uint8_t>{1, 1, 1, 1}));
  expect_reference_winners(g, "stale mark");
}

// After B = {0, 1, 2} is removed, node 3 is left alone. Its own colour 0 is
// even, but its mark 1 (won by Odd in an inner sub-game) used to stand in for
// its colour and gave it to Odd. Even wins everywhere: 2 loops on colour 0.
TEST_F(RecursiveSolver, MarksNeverStandInForColours) {
  const TestGame g = from_rows({{3, 0, 2}, {1, 0, 0, 1}, {0, 0, 2}, {0, 1, 3, 1, 1}});
  EXPECT_EQ(reference_solve(g), (std::vector<uint8_t>{0, 0, 0, 0}));
  expect_reference_winners(g, "mark as colour");
}

TEST_F(RecursiveSolver, SmallCases) {
  // Two-node cycle of an Even node of colour 2 and an Odd node of colour 1.
  EXPECT_EQ(solve_with_csr_road(from_rows({{2, 0, 1}, {1, 1, 0}})), (std::vector<uint8_t>{0, 0}));
  // One node with a self-loop of odd colour.
  EXPECT_EQ(solve_with_arena_road(from_rows({{5, 0, 0}})), (std::vector<uint8_t>{1}));
  // A single colour: every node gets its parity, whoever owns it.
  EXPECT_EQ(solve_with_csr_road(from_rows({{7, 0, 1}, {7, 1, 2}, {7, 0, 0, 1}})), (std::vector<uint8_t>{1, 1, 1}));
  EXPECT_EQ(solve_with_arena_road(from_rows({{4, 1, 1}, {4, 1, 0}})), (std::vector<uint8_t>{0, 0}));
}

TEST_F(RecursiveSolver, OneAndTwoColours) {
  RandomGameParams p;
  p.n_nodes = 12;
  p.min_color = p.max_color = 3;
  sweep(p, 1, 20);
  p.min_color = 0;
  p.max_color = 1;
  sweep(p, 100, 60);
  p.n_nodes = 40;
  p.min_color = 6;
  p.max_color = 7;
  sweep(p, 200, 30);
}

TEST_F(RecursiveSolver, ManyColoursAndSizes) {
  RandomGameParams p;
  for (uint32_t n : {2u, 3u, 5u, 8u, 13u, 30u, 80u}) {
    p.n_nodes = n;
    p.max_color = 2 * n;
    p.max_out = 3;
    sweep(p, 1000 + n, 25);
  }
  p.n_nodes = 60;
  p.min_color = 30000;
  p.max_color = 32767;  // the largest colour the reader accepts
  sweep(p, 2000, 15);
}

TEST_F(RecursiveSolver, SelfLoopsOnePlayerGamesAndDenseGraphs) {
  RandomGameParams p;
  p.n_nodes = 25;
  p.max_color = 6;
  p.self_loop_probability = 0.5;
  sweep(p, 3000, 30);
  p.owners = OwnerMode::all_even;
  sweep(p, 3100, 20);
  p.owners = OwnerMode::all_odd;
  sweep(p, 3200, 20);
  p.owners = OwnerMode::random;
  p.self_loop_probability = 0;
  p.min_out = 4;
  p.max_out = 9;
  sweep(p, 3300, 20);
}

TEST_F(RecursiveSolver, ChainsAndIdentifiers) {
  for (uint64_t seed = 1; seed <= 20; ++seed) {
    expect_reference_winners(chain_game(static_cast<uint32_t>(5 + seed * 3), 9, seed), "chain");
  }
  RandomGameParams p;
  p.n_nodes = 20;
  p.max_color = 8;
  p.ids = IdMode::sparse;
  sweep(p, 4000, 20);
  p.ids = IdMode::shuffled;
  sweep(p, 4100, 20);
}

// Node v has colour 2v, belongs to Odd and may stay on itself or move on to
// v + 1. The top node's attractor is that node alone and Odd wins nothing
// below it, so each level peels off one node: 2000 nested calls.
TEST_F(RecursiveSolver, DeepRecursionOverManyDistinctColours) {
  TestGame g;
  const uint32_t n = 2000;
  for (uint32_t v = 0; v < n; ++v) {
    g.add_node(2 * v, 1, v + 1 < n ? std::vector<uint32_t>{v + 1, v} : std::vector<uint32_t>{v});
  }
  EXPECT_EQ(reference_solve(g), std::vector<uint8_t>(n, 0));
  expect_reference_winners(g, "staircase of distinct colours");
}

// Large enough (over 2048 threads a launch) that the kernels' blocks run on
// several threads at once.
TEST_F(RecursiveSolver, LargeGameWithBlocksInParallel) {
  hostrt::set_worker_threads(2);
  RandomGameParams p;
  p.n_nodes = 10000;
  p.max_color = 12;
  p.max_out = 4;
  p.seed = 77;
  expect_reference_winners(random_game(p), describe(p));
}

TEST_F(RecursiveSolver, EmptyGameSolvesToNothing) {
  ParityGame game;
  {
    CaptureStreams quiet;
    game.load("/nonexistent/game.pg");
    solve_game(game, 9, nullptr);
  }
  EXPECT_EQ(game.n_nodes, 0u);
  cudaGpuArena arena;
  {
    CaptureStreams quiet;
    arena.load("/nonexistent/game.pg");
    solve_gpu_arena(arena, 11, nullptr);
  }
  EXPECT_EQ(arena.n_nodes, 0u);
  EXPECT_EQ(arena.device.color, nullptr);
}

std::string thrown_by_csr_road(const std::string& file) {
  ParityGame game;
  game.load(file);
  CaptureStreams quiet;
  try {
    solve_game(game, 9, nullptr);
  } catch (const std::string& s) {
    return s;
  }
  return "<nothing thrown>";
}

std::string thrown_by_arena_road(const std::string& file) {
  cudaGpuArena arena;
  arena.load(file);
  CaptureStreams quiet;
  try {
    solve_gpu_arena(arena, 11, nullptr);
  } catch (const std::string& s) {
    return s;
  }
  return "<nothing thrown>";
}

TEST_F(RecursiveSolver, AllocationFailuresCarryTheirMessagesAndLeakNothing) {
  const std::string file = write_temp_file("0 2 0 1;\n1 3 1 0,2;\n2 4 0 2;\n");
  // The CSR road: twelve buffers of the game, then the solver's three.
  const char* csr[] = {"Error allocating active_nodesout of memory", "Error allocating attr_arrayout of memory",
                       "Error allocating game_colorout of memory"};
  for (int k = 0; k < 3; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(13 + k);
    EXPECT_EQ(thrown_by_csr_road(file), csr[k]);
    EXPECT_EQ(hostrt::live_allocations(), 0u);
  }
  // The arena road: eight arena arrays, the changed byte, then the same three.
  const std::string alloc_text = "alloc_array<>: Error allocating memory on the device.\nout of memory";
  for (int k = 1; k <= 9; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(k);
    EXPECT_EQ(thrown_by_arena_road(file), alloc_text) << k;
    EXPECT_EQ(hostrt::live_allocations(), 0u);
  }
  for (int k = 0; k < 3; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(10 + k);
    EXPECT_EQ(thrown_by_arena_road(file), csr[k]);
    EXPECT_EQ(hostrt::live_allocations(), 0u);
  }
  // Then the storage of the recursion's work list, a device vector.
  const std::string vector_text = "device_vector<>: Error allocating memory on the device.\nout of memory";
  hostrt::reset();
  hostrt::fail_allocation(13);
  EXPECT_EQ(thrown_by_arena_road(file), vector_text);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
  hostrt::reset();
  hostrt::fail_allocation(16);
  EXPECT_EQ(thrown_by_csr_road(file), vector_text);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

}  // namespace
