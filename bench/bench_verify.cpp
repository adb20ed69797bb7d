// Verifying a solution against solving the game, on the random game of
// `pggen --seed 1 random 1000000 1000 2 5` (10^6 nodes, about 3.5·10^6 edges):
//   BM_SolveArena/0   VantorSolverV2 without strategies (upload, solve, copy back)
//   BM_SolveArena/1   the same with strategies (the overhead of computing them)
//   BM_Verify         verify_solution on the solver's answer
//   BM_WriteSolution  the solution file of that answer, into memory
//   BM_ReadSolution   reading it back by identifier
// Smaller sizes with --benchmark_filter=.../100000 and the like.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "generators.h"
#include "recursive/vantor_solver_v2.h"
#include "verify/solution_file.h"
#include "verify/verifier.h"

namespace {

struct Instance {
  pggen::Game game;
  std::vector<uint32_t> id;
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;

  VerifierGame view() const {
    VerifierGame g;
    g.n_nodes = game.size();
    g.color = game.color.data();
    g.owner = game.owner.data();
    g.succ_begin = game.succ_begin.data();
    g.succ_array = game.succ.data();
    g.node_id = id.data();
    return g;
  }
};

void fill_arena(cudaGpuArena& arena, const pggen::Game& g) {
  const uint32_t n = g.size();
  arena.allocate_host(n, static_cast<uint32_t>(g.edges()));
  for (uint32_t v = 0; v < n; ++v) {
    arena.node_id[v] = v;
    arena.host.color[v] = static_cast<color_t>(g.color[v]);
    arena.host.owner[v] = g.owner[v];
    arena.host.succ.begin[v] = g.succ_begin[v];
    arena.host.succ.count[v] = g.succ_begin[v + 1] - g.succ_begin[v];
  }
  arena.host.succ.begin[n] = g.succ_begin[n];
  std::copy(g.succ.begin(), g.succ.end(), arena.host.succ.targets);
}

// Solves the arena's game once; the marks and, when asked, the strategies
// come back into the given vectors.
void solve(cudaGpuArena& arena, bool with_strategy, std::vector<uint8_t>& winner, std::vector<uint32_t>& strategy) {
  const uint32_t n = arena.n_nodes;
  arena.upload(true);
  if (with_strategy) arena.allocate_strategy();
  VantorSolverV2(n).solve(arena);
  std::vector<color_t> marks(n);
  copy_array<Space::host, Space::device>(marks.data(), arena.device.color, n);
  winner.assign(marks.begin(), marks.end());
  if (with_strategy) {
    strategy.resize(n);
    copy_array<Space::host, Space::device>(strategy.data(), arena.device.strategy, n);
  }
  arena.release_device(false);
}

// The game of each size with its solution, made once.
const Instance& instance(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<Instance>> made;
  std::unique_ptr<Instance>& slot = made[n];
  if (!slot) {
    slot.reset(new Instance);
    slot->game = pggen::random_game(n, 1000, 2, 5, 1);
    slot->id.resize(n);
    for (uint32_t v = 0; v < n; ++v) slot->id[v] = v;
    cudaGpuArena arena;
    fill_arena(arena, slot->game);
    solve(arena, true, slot->winner, slot->strategy);
  }
  return *slot;
}

void BM_SolveArena(benchmark::State& state) {
  const Instance& in = instance(static_cast<uint32_t>(state.range(0)));
  const bool with_strategy = state.range(1) != 0;
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
  for (auto _ : state) {
    cudaGpuArena arena;
    fill_arena(arena, in.game);
    solve(arena, with_strategy, winner, strategy);
  }
  if (winner != in.winner) state.SkipWithError("the winners differ between the runs");
}

void BM_Verify(benchmark::State& state) {
  const Instance& in = instance(static_cast<uint32_t>(state.range(0)));
  const VerifierGame g = in.view();
  std::string result;
  for (auto _ : state) result = verify_solution(g, in.winner.data(), in.strategy.data());
  if (!result.empty()) state.SkipWithError(result.c_str());
  state.counters["edges"] = static_cast<double>(in.game.edges());
}

void BM_WriteSolution(benchmark::State& state) {
  const Instance& in = instance(static_cast<uint32_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::ostringstream out;
    write_solution(out, in.view(), in.winner.data(), in.strategy.data());
    bytes = out.str().size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes * state.iterations()));
}

void BM_ReadSolution(benchmark::State& state) {
  const Instance& in = instance(static_cast<uint32_t>(state.range(0)));
  std::ostringstream out;
  write_solution(out, in.view(), in.winner.data(), in.strategy.data());
  const std::string text = out.str();
  Solution solution;
  std::string result;
  for (auto _ : state) {
    std::istringstream input(text);
    result = read_solution(input, in.view(), solution);
  }
  if (!result.empty() || solution.winner != in.winner) state.SkipWithError("the solution did not read back");
  state.SetBytesProcessed(static_cast<int64_t>(text.size() * state.iterations()));
}

// One iteration each of the solves keeps the run short; --benchmark_repetitions
// gives several figures.
BENCHMARK(BM_SolveArena)
    ->Args({100000, 0})
    ->Args({100000, 1})
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Verify)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSolution)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSolution)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
