// The recursive solvers, phase by phase, on random games of 10^4 to 10^6
// nodes: alg 9 (VantorSolver on the CSR arrays, work-list attractor),
// alg 11 (VantorSolverV2 on the arena, all-nodes attractor) and alg 12
// (FrontierSolver on the arena, frontier attractors); algs 11 and 12 also on
// the pggen games of the harness (BM_PggenArena). Each iteration
// uploads the unchanged host game, solves it and copies the marks back; the
// counters give the milliseconds of each phase per iteration and, on the host
// backend, the runtime calls of the solve (solve_launches, solve_syncs, ...).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/check_cuda.h"
#include "common/device_array.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "generators.h"
#include "recursive/frontier_solver.h"
#include "recursive/vantor_solver.h"
#include "recursive/vantor_solver_v2.h"
#include "runtime_counts.h"

namespace {

// Out-degree 1 to 4, colours 0 .. max_color, random owners, fixed seed.
struct RandomCsr {
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  std::vector<uint32_t> n_succ, succ_begin, succ_array, n_pred, pred_begin, pred_array;
};

RandomCsr random_csr(uint32_t n, uint32_t max_color) {
  std::mt19937 rng(n * 31u + max_color);
  RandomCsr g;
  g.color.resize(n);
  g.owner.resize(n);
  g.n_succ.resize(n);
  g.n_pred.assign(n, 0);
  g.succ_begin.push_back(0);
  for (uint32_t v = 0; v < n; ++v) {
    g.color[v] = static_cast<color_t>(rng() % (max_color + 1));
    g.owner[v] = static_cast<uint8_t>(rng() & 1);
    g.n_succ[v] = 1 + rng() % 4;
    for (uint32_t k = 0; k < g.n_succ[v]; ++k) {
      const uint32_t w = rng() % n;
      g.succ_array.push_back(w);
      ++g.n_pred[w];
    }
    g.succ_begin.push_back(static_cast<uint32_t>(g.succ_array.size()));
  }
  g.pred_begin.assign(n + 1, 0);
  for (uint32_t v = 0; v < n; ++v) g.pred_begin[v + 1] = g.pred_begin[v] + g.n_pred[v];
  g.pred_array.resize(g.succ_array.size());
  std::vector<uint32_t> fill(g.pred_begin.begin(), g.pred_begin.end() - 1);
  for (uint32_t v = 0; v < n; ++v) {
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) g.pred_array[fill[g.succ_array[k]]++] = v;
  }
  return g;
}

template <class T>
void put(T* dst, const std::vector<T>& src) {
  std::copy(src.begin(), src.end(), dst);
}

void fill_game(ParityGame& game, const RandomCsr& g) {
  const uint32_t n = static_cast<uint32_t>(g.color.size());
  game.allocate(n, static_cast<uint32_t>(g.succ_array.size()));
  put(game.color, g.color);
  put(game.owner, g.owner);
  put(game.n_succ, g.n_succ);
  put(game.succ_begin, g.succ_begin);
  put(game.succ_array, g.succ_array);
  put(game.n_pred, g.n_pred);
  put(game.pred_begin, g.pred_begin);
  put(game.pred_array, g.pred_array);
  for (uint32_t v = 0; v < n; ++v) game.node_id[v] = v;
}

void fill_arena(cudaGpuArena& arena, const RandomCsr& g) {
  const uint32_t n = static_cast<uint32_t>(g.color.size());
  arena.allocate_host(n, static_cast<uint32_t>(g.succ_array.size()));
  put(arena.host.color, g.color);
  put(arena.host.owner, g.owner);
  put(arena.host.succ.count, g.n_succ);
  put(arena.host.succ.begin, g.succ_begin);
  put(arena.host.succ.targets, g.succ_array);
  put(arena.host.pred.count, g.n_pred);
  put(arena.host.pred.begin, g.pred_begin);
  put(arena.host.pred.targets, g.pred_array);
  for (uint32_t v = 0; v < n; ++v) arena.node_id[v] = v;
}

void accumulate(hostrt::Counters& total, const hostrt::Counters& d) {
  total.launches += d.launches;
  total.copies_to_device += d.copies_to_device;
  total.copies_to_host += d.copies_to_host;
  total.copies_on_device += d.copies_on_device;
  total.memsets += d.memsets;
  total.synchronisations += d.synchronisations;
  total.allocations += d.allocations;
}

class PhaseClock {
 public:
  void start() { t_ = std::chrono::steady_clock::now(); }
  double lap_ms() {
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - t_).count();
    t_ = now;
    return ms;
  }

 private:
  std::chrono::steady_clock::time_point t_;
};

void report(benchmark::State& state, uint32_t n, double upload, double solve, double download, uint32_t won_by_even) {
  const double it = static_cast<double>(state.iterations());
  state.counters["nodes"] = n;
  state.counters["upload_ms"] = upload / it;
  state.counters["solve_ms"] = solve / it;
  state.counters["copy_back_ms"] = download / it;
  state.counters["won_by_even"] = won_by_even;
}

void run_csr(benchmark::State& state, const RandomCsr& g) {
  const uint32_t n = static_cast<uint32_t>(g.color.size());
  ParityGame game;
  fill_game(game, g);
  std::vector<color_t> result(n);
  double upload = 0, solve = 0, download = 0;
  hostrt::Counters calls;
  PhaseClock clock;
  for (auto _ : state) {
    clock.start();
    DeviceMemoryPtr memory;
    memory.allocate_and_initilaize(game, true);
    upload += clock.lap_ms();
    const hostrt::Counters before = hostrt::counters();
    {
      VantorSolver solver(n);
      solver.solve(memory);
    }
    accumulate(calls, hostrt::counters() - before);
    solve += clock.lap_ms();
    copy_array<Space::host, Space::device>(result.data(), memory.color, n);
    download += clock.lap_ms();
  }
  report(state, n, upload, solve, download, static_cast<uint32_t>(std::count(result.begin(), result.end(), 0)));
  report_runtime_counts(state, "solve_", calls, static_cast<double>(state.iterations()));
}

void BM_RecursiveCsr(benchmark::State& state) {
  run_csr(state, random_csr(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1))));
}

// The pggen game in the CSR form of random_csr, predecessors included.
RandomCsr from_pggen(const pggen::Game& p) {
  const uint32_t n = p.size();
  RandomCsr g;
  g.color.assign(p.color.begin(), p.color.end());
  g.owner = p.owner;
  g.succ_begin = p.succ_begin;
  g.succ_array = p.succ;
  g.n_succ.resize(n);
  g.n_pred.assign(n, 0);
  for (uint32_t v = 0; v < n; ++v) g.n_succ[v] = p.succ_begin[v + 1] - p.succ_begin[v];
  for (uint32_t w : p.succ) ++g.n_pred[w];
  g.pred_begin.assign(n + 1, 0);
  for (uint32_t v = 0; v < n; ++v) g.pred_begin[v + 1] = g.pred_begin[v] + g.n_pred[v];
  g.pred_array.resize(p.succ.size());
  std::vector<uint32_t> fill(g.pred_begin.begin(), g.pred_begin.end() - 1);
  for (uint32_t v = 0; v < n; ++v) {
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) g.pred_array[fill[g.succ_array[k]]++] = v;
  }
  return g;
}

template <class Solver>
void run_arena(benchmark::State& state, const RandomCsr& g) {
  const uint32_t n = static_cast<uint32_t>(g.color.size());
  cudaGpuArena arena;
  fill_arena(arena, g);
  std::vector<color_t> result(n);
  double upload = 0, solve = 0, download = 0;
  hostrt::Counters calls;
  PhaseClock clock;
  for (auto _ : state) {
    clock.start();
    arena.upload(false);
    upload += clock.lap_ms();
    const hostrt::Counters before = hostrt::counters();
    {
      Solver solver(n);
      solver.solve(arena);
    }
    accumulate(calls, hostrt::counters() - before);
    solve += clock.lap_ms();
    copy_array<Space::host, Space::device>(result.data(), arena.device.color, n);
    arena.release_device(false);
    download += clock.lap_ms();
  }
  report(state, n, upload, solve, download, static_cast<uint32_t>(std::count(result.begin(), result.end(), 0)));
  report_runtime_counts(state, "solve_", calls, static_cast<double>(state.iterations()));
}

template <class Solver>
void BM_RecursiveArena(benchmark::State& state) {
  run_arena<Solver>(state, random_csr(static_cast<uint32_t>(state.range(0)), static_cast<uint32_t>(state.range(1))));
}

// Games of the harness: 0 = `pggen --seed 1 random 1000000 1000 2 5` and
// 1 = `pggen ladder 500000` (10^6 nodes), the speed targets' games; 2 =
// `pggen recursiveladder 12` (many small attractors) and 3 = `pggen ladder
// 100000`, for the runtime calls per solve.
RandomCsr pggen_game(benchmark::State& state) {
  switch (state.range(0)) {
    case 0:
      state.SetLabel("random 1000000 1000 2 5");
      return from_pggen(pggen::random_game(1000000, 1000, 2, 5, 1));
    case 1:
      state.SetLabel("ladder 500000");
      return from_pggen(pggen::ladder_game(500000));
    case 2:
      state.SetLabel("recursiveladder 12");
      return from_pggen(pggen::recursive_ladder_game(12));
    default:
      state.SetLabel("ladder 100000");
      return from_pggen(pggen::ladder_game(100000));
  }
}

template <class Solver>
void BM_PggenArena(benchmark::State& state) {
  run_arena<Solver>(state, pggen_game(state));
}

void BM_PggenCsr(benchmark::State& state) { run_csr(state, pggen_game(state)); }

void pggen_games(benchmark::internal::Benchmark* b) {
  b->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
}

// Arguments: nodes, largest colour. One iteration each keeps the run short;
// --benchmark_repetitions gives several figures per size.
void sizes(benchmark::internal::Benchmark* b) {
  b->Args({10000, 8})->Args({100000, 8})->Args({1000000, 8})->Args({100000, 200});
  b->Iterations(1)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_RecursiveCsr)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_RecursiveArena, VantorSolverV2)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_RecursiveArena, FrontierSolver)->Apply(sizes);
BENCHMARK(BM_PggenCsr)->Apply(pggen_games);
BENCHMARK_TEMPLATE(BM_PggenArena, VantorSolverV2)->Apply(pggen_games);
BENCHMARK_TEMPLATE(BM_PggenArena, FrontierSolver)->Apply(pggen_games);

}  // namespace

BENCHMARK_MAIN();
