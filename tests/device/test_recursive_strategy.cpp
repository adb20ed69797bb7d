// Strategies from the recursive solvers (alg 9 on the CSR arrays, alg 11 on
// the arena), checked by the independent verifier on seeded games.
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

#include "one_thread_test.h"
#include "arena/gpu_arena.h"
#include "csr_view.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "random_game.h"
#include "recursive/vantor_solver.h"
#include "recursive/vantor_solver_v2.h"
#include "recursive_test_helpers.h"
#include "reference_solver.h"
#include "verify/verifier.h"

namespace {

struct Solved {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
};

Solved solve_csr(const TestGame& game, bool with_strategy) {
  ParityGame g;
  g.load(write_temp_file(to_pgsolver(game)));
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(g, false);
  if (with_strategy) memory.allocate_strategy();
  VantorSolver(memory.n_nodes).solve(memory);
  const std::vector<color_t> marks = from_device(memory.color, memory.n_nodes);
  return Solved{std::vector<uint8_t>(marks.begin(), marks.end()),
                with_strategy ? from_device(memory.strategy, memory.n_nodes) : std::vector<uint32_t>()};
}

Solved solve_arena(const TestGame& game, bool with_strategy) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(game)));
  arena.upload(true);
  if (with_strategy) arena.allocate_strategy();
  VantorSolverV2(arena.n_nodes).solve(arena);
  const std::vector<color_t> marks = from_device(arena.device.color, arena.n_nodes);
  return Solved{std::vector<uint8_t>(marks.begin(), marks.end()),
                with_strategy ? from_device(arena.device.strategy, arena.n_nodes) : std::vector<uint32_t>()};
}

class RecursiveStrategy : public OneThreadDeviceTest {
 protected:
  // Both solvers: the reference's winners, and strategies that the verifier
  // accepts; without a strategy array the winners are the same.
  static void expect_verified(const TestGame& game, const std::string& what) {
    const std::vector<uint8_t> expected = reference_solve(game);
    const CsrView csr(game);
    for (int alg : {9, 11}) {
      const Solved s = alg == 9 ? solve_csr(game, true) : solve_arena(game, true);
      EXPECT_EQ(s.winner, expected) << "alg " << alg << ", " << what;
      EXPECT_EQ(verify_solution(csr.view(), s.winner.data(), s.strategy.data()), "")
          << "alg " << alg << ", " << what << "\n"
          << to_pgsolver(game);
      EXPECT_EQ((alg == 9 ? solve_csr(game, false) : solve_arena(game, false)).winner, expected) << alg;
    }
  }

};

TEST_F(RecursiveStrategy, SeededRandomGames) {
  for (uint64_t seed = 1; seed <= 150; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed * 37 % 400);
    p.max_color = seed % 5 == 0 ? 1 : static_cast<uint32_t>(seed * 17 % 60);
    p.min_out = 1;
    p.max_out = 1 + static_cast<uint32_t>(seed % 6);
    p.self_loop_probability = seed % 3 == 0 ? 0.3 : 0.0;
    p.owners = seed % 7 == 0 ? OwnerMode::all_odd : seed % 7 == 1 ? OwnerMode::all_even : OwnerMode::random;
    p.ids = static_cast<IdMode>(seed % 3);
    expect_verified(random_game(p), describe(p));
    if (HasFailure()) return;
  }
}

TEST_F(RecursiveStrategy, ChainsSingleColoursAndDenseGames) {
  for (uint64_t seed = 1; seed <= 20; ++seed) expect_verified(chain_game(1 + seed * 3, seed % 4, seed), "chain");
  RandomGameParams one_colour;
  one_colour.n_nodes = 50;
  one_colour.min_color = one_colour.max_color = 7;
  expect_verified(random_game(one_colour), describe(one_colour));
  RandomGameParams dense;
  dense.n_nodes = 60;
  dense.max_color = 9;
  dense.min_out = 20;
  dense.max_out = 40;
  expect_verified(random_game(dense), describe(dense));
}

}  // namespace
