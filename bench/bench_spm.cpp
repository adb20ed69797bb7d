// The six progress-measure solvers on generated games, with the time of each
// phase: the common start (colour ranks to cleared measures) and the lifting
// loop, plus the number of lifting launches and the loop's time per list entry
// handed to a lifting thread (list upkeep included).
//
// In the host backend, kernels run on one worker thread here: the solvers
// issue thousands of short launches, and waking a pool of threads for each of
// them would be measured instead of the solvers.
#include <benchmark/benchmark.h>

#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "cudaPGSolver/spm_solvers.h"

namespace {

typedef void (*Solver)(DeviceMemoryPtr&, const ParityGame&, const cudaDeviceProp&, TimeList*, SpmStats*);

const Solver solvers[] = {spm_solve_wl, spm_solve, simple_spm_solve_wl, simple_spm_solve, spm_solve_oan,
                          simple_spm_solve_oan};
const char* const solver_names[] = {"spm_solve_wl", "spm_solve",     "simple_spm_solve_wl",
                                    "simple_spm_solve", "spm_solve_oan", "simple_spm_solve_oan"};

// A random game: n nodes, colours 0 .. max_color, 2 to 4 successors each.
void make_game(ParityGame& game, uint32_t n, uint32_t max_color) {
  std::mt19937 rng(n * 31 + max_color);
  std::vector<std::vector<uint32_t>> succ(n), pred(n);
  uint32_t m = 0;
  for (uint32_t v = 0; v < n; ++v) {
    const uint32_t degree = 2 + rng() % 3;
    for (uint32_t k = 0; k < degree; ++k) {
      const uint32_t w = rng() % n;
      succ[v].push_back(w);
      pred[w].push_back(v);
    }
    m += degree;
  }
  game.allocate(n, m);
  uint32_t s = 0, p = 0;
  for (uint32_t v = 0; v < n; ++v) {
    game.color[v] = static_cast<color_t>(rng() % (max_color + 1));
    game.owner[v] = static_cast<uint8_t>(rng() & 1);
    game.node_id[v] = v;
    game.n_succ[v] = static_cast<uint32_t>(succ[v].size());
    game.n_pred[v] = static_cast<uint32_t>(pred[v].size());
    game.succ_begin[v] = s;
    game.pred_begin[v] = p;
    for (uint32_t w : succ[v]) game.succ_array[s++] = w;
    for (uint32_t u : pred[v]) game.pred_array[p++] = u;
  }
  game.succ_begin[n] = s;
  game.pred_begin[n] = p;
  game.min_color = 0;
  game.max_color = 0;
  for (uint32_t v = 0; v < n; ++v) {
    if (v == 0 || game.color[v] < game.min_color) game.min_color = game.color[v];
    if (game.color[v] > game.max_color) game.max_color = game.color[v];
  }
}

// Arguments: solver (alg_id), nodes, largest colour.
void BM_Spm(benchmark::State& state) {
  const unsigned int alg_id = static_cast<unsigned int>(state.range(0));
  ParityGame game;
  make_game(game, static_cast<uint32_t>(state.range(1)), static_cast<uint32_t>(state.range(2)));
#if defined(PG_HOST_BACKEND)
  hostrt::set_worker_threads(1);
#endif
  cudaDeviceProp properties;
  cudaGetDeviceProperties(&properties, 0);

  // The solvers' console lines are not part of what is measured.
  std::ostringstream sink;
  std::streambuf* const out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* const err = std::cerr.rdbuf(sink.rdbuf());
  double init = 0, lifting = 0, iterations = 0, lifted = 0;
  for (auto _ : state) {
    state.PauseTiming();
    DeviceMemoryPtr memory;
    memory.allocate_and_initilaize(game, true);
    SpmStats stats;
    sink.str("");
    state.ResumeTiming();
    solvers[alg_id](memory, game, properties, nullptr, &stats);
    state.PauseTiming();
    memory.release();
    state.ResumeTiming();
    init += stats.init_seconds;
    lifting += stats.lifting_seconds;
    iterations += stats.iterations;
    lifted += static_cast<double>(stats.lifted);
  }
  std::cout.rdbuf(out);
  std::cerr.rdbuf(err);

  const double runs = static_cast<double>(state.iterations());
  state.SetLabel(solver_names[alg_id]);
  state.counters["init_ms"] = init * 1e3 / runs;
  state.counters["lifting_ms"] = lifting * 1e3 / runs;
  state.counters["launches"] = iterations / runs;
  state.counters["lifting_ns_per_entry"] = lifted > 0 ? lifting * 1e9 / lifted : 0;
}

void spm_arguments(benchmark::internal::Benchmark* b) {
  for (int alg = 0; alg < 6; ++alg) {
    b->Args({alg, 4000, 1});  // two colour ranks
    b->Args({alg, 1000, 3});  // four colour ranks
  }
}
BENCHMARK(BM_Spm)->Apply(spm_arguments)->Unit(benchmark::kMillisecond)->ArgNames({"alg", "nodes", "max_color"});

}  // namespace

BENCHMARK_MAIN();
