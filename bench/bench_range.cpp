// The range SPM solver (alg 20), phase by phase: SCC decomposition, sorting
// by SCC rank, colour normalisation, SCC starts, and the ranges. Each
// iteration uploads the unchanged host game and runs the whole sequence of
// Korrel::solve on it; the counters give the milliseconds of each phase per
// iteration.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "common/scoped_device_array.h"
#include "preprocess/cuda_preprocess.h"
#include "rangespm/korrel.h"
#include "runtime_counts.h"

namespace {

// Two families whose lifting ends in reasonable time even on the host:
//   sparse: out-degree 1 and self-loops on 30% of the nodes; many SCCs,
//           mostly trivial, so the game falls into several ranges.
//   rare_odd: out-degree 1 to 3, self-loops on 30%, even colours up to 8
//           with one node in 500 raised to the odd colour above it; one
//           large SCC whose measure bounds stay small.
//   rings:  cycles of 2 to 33 nodes, each node with one more edge back into
//           an earlier cycle, colours up to 8: thousands of non-trivial SCCs.
enum Family { sparse = 0, rare_odd = 1, rings = 2 };

struct HostGame {
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  std::vector<std::vector<uint32_t>> succ;
};

HostGame random_game(uint32_t n, Family family) {
  std::mt19937 rng(n * 7u + family);
  HostGame g;
  g.color.resize(n);
  g.owner.resize(n);
  g.succ.resize(n);
  if (family == rings) {
    for (uint32_t start = 0; start < n;) {
      const uint32_t end = std::min(n, start + 2 + static_cast<uint32_t>(rng() % 32));
      for (uint32_t v = start; v < end; ++v) {
        g.owner[v] = static_cast<uint8_t>(rng() & 1);
        g.color[v] = static_cast<color_t>(rng() % 9);
        g.succ[v].push_back(v + 1 < end ? v + 1 : start);
        if (start > 0) g.succ[v].push_back(static_cast<uint32_t>(rng() % start));
      }
      start = end;
    }
    return g;
  }
  for (uint32_t v = 0; v < n; ++v) {
    g.owner[v] = static_cast<uint8_t>(rng() & 1);
    const uint32_t degree = family == sparse ? 1 : 1 + rng() % 3;
    for (uint32_t k = 0; k < degree; ++k) g.succ[v].push_back(rng() % n);
    if (rng() % 10 < 3 && std::find(g.succ[v].begin(), g.succ[v].end(), v) == g.succ[v].end()) g.succ[v].push_back(v);
    if (family == sparse) {
      g.color[v] = static_cast<color_t>(rng() % 9);
    } else {
      const uint32_t even = 2 * (rng() % 5);
      g.color[v] = static_cast<color_t>(even + (even < 8 && rng() % 500 == 0 ? 1 : 0));
    }
  }
  return g;
}

void fill_arena(cudaGpuArena& arena, const HostGame& g) {
  const uint32_t n = static_cast<uint32_t>(g.color.size());
  uint32_t m = 0;
  for (const auto& s : g.succ) m += static_cast<uint32_t>(s.size());
  arena.allocate_host(n, m);
  std::vector<std::vector<uint32_t>> pred(n);
  for (uint32_t v = 0; v < n; ++v)
    for (uint32_t w : g.succ[v]) pred[w].push_back(v);
  uint32_t s = 0, p = 0;
  for (uint32_t v = 0; v < n; ++v) {
    arena.node_id[v] = v;
    arena.host.color[v] = g.color[v];
    arena.host.owner[v] = g.owner[v];
    arena.host.succ.count[v] = static_cast<uint32_t>(g.succ[v].size());
    arena.host.succ.begin[v] = s;
    for (uint32_t w : g.succ[v]) arena.host.succ.targets[s++] = w;
    arena.host.pred.count[v] = static_cast<uint32_t>(pred[v].size());
    arena.host.pred.begin[v] = p;
    for (uint32_t w : pred[v]) arena.host.pred.targets[p++] = w;
  }
  arena.host.succ.begin[n] = s;
  arena.host.pred.begin[n] = p;
  arena.min_color = *std::min_element(g.color.begin(), g.color.end());
  arena.max_color = *std::max_element(g.color.begin(), g.color.end());
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

void BM_RangeSpm(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  const HostGame g = random_game(n, static_cast<Family>(state.range(1)));
  cudaGpuArena arena;
  fill_arena(arena, g);
  const cudaDeviceProp properties = [] {
    cudaDeviceProp p;
    cudaGetDeviceProperties(&p, 0);
    return p;
  }();
  double upload = 0, sccs = 0, sorting = 0, colors = 0, starts = 0, ranges = 0;
  std::size_t n_sccs = 0, n_ranges = 0;
  std::vector<color_t> result(n);
  PhaseClock clock;
  hostrt::Counters scc_calls, color_calls, solve_calls;
  for (auto _ : state) {
    const hostrt::Counters at_start = hostrt::counters();
    const color_t min_color = arena.min_color, max_color = arena.max_color;
    arena.min_parity = false;
    arena.players_swapped = false;
    clock.start();
    arena.upload(false);
    upload += clock.lap_ms();
    ScopedDeviceArray<uint32_t> scc_id(n), scc_rank(n);
    const hostrt::Counters before_sccs = hostrt::counters();
    preprocess::determine_sccs(scc_id.get(), scc_rank.get(), arena);
    sccs += clock.lap_ms();
    const hostrt::Counters after_sccs = hostrt::counters();
    arena.release_device(true);
    preprocess::sort_by_scc_rank(arena, scc_id, scc_rank, true);
    sorting += clock.lap_ms();
    color_t color_bound = 0, ref_parity = 0;
    const hostrt::Counters before_colors = hostrt::counters();
    preprocess::normalise_colors(arena, color_bound, ref_parity, scc_id.get());
    colors += clock.lap_ms();
    color_calls = hostrt::counters() - before_colors;
    std::vector<uint32_t> scc_begin;
    preprocess::compute_scc_begin(scc_begin, scc_id.get(), arena);
    starts += clock.lap_ms();
    const auto cut = Korrel::cut_ranges(scc_begin);
    for (const auto& r : cut)
      Korrel::solve_range(arena, Korrel::measure_components(color_bound), scc_begin, r.first, r.second, scc_id,
                          properties);
    ranges += clock.lap_ms();
    n_sccs = scc_begin.size();
    n_ranges = cut.size();
    scc_calls = after_sccs - before_sccs;
    solve_calls = hostrt::counters() - at_start;
    copy_array<Space::host, Space::device>(result.data(), arena.device.color, n);
    arena.release_device(false);
    // permute renumbered node_id; the host arrays still hold the input order.
    for (uint32_t v = 0; v < n; ++v) arena.node_id[v] = v;
    arena.min_color = min_color;
    arena.max_color = max_color;
  }
  const double it = static_cast<double>(state.iterations());
  state.counters["nodes"] = n;
  state.counters["sccs"] = static_cast<double>(n_sccs);
  state.counters["ranges"] = static_cast<double>(n_ranges);
  state.counters["upload_ms"] = upload / it;
  state.counters["scc_ms"] = sccs / it;
  state.counters["sort_ms"] = sorting / it;
  state.counters["colors_ms"] = colors / it;
  state.counters["starts_ms"] = starts / it;
  state.counters["ranges_ms"] = ranges / it;
  // Marks in the sorted order, possibly with the players exchanged: a count
  // of one mark, for comparing runs of the same game.
  state.counters["marks_0"] = static_cast<double>(std::count(result.begin(), result.end(), 0));
  // Runtime calls of the last solve: the SCC decomposition and the whole solve.
  report_runtime_counts(state, "scc_", scc_calls, 1);
  report_runtime_counts(state, "colors_", color_calls, 1);
  report_runtime_counts(state, "solve_", solve_calls, 1);
}

// Arguments: nodes, family. One iteration each keeps the run short;
// --benchmark_repetitions gives several figures per size.
void sizes(benchmark::internal::Benchmark* b) {
  b->Args({10000, sparse})->Args({100000, sparse})->Args({10000, rare_odd})->Args({100000, rare_odd});
  b->Args({10000, rings})->Args({100000, rings});
  b->Iterations(1)->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_RangeSpm)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
