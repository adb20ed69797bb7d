// Cost of a kernel launch in the host backend: a nearly empty kernel (most
// threads leave at once, as in the attractor passes over all nodes) on a grid
// of one block and on grids of 10^4 to 10^6 threads, with one and with two
// worker threads. The counter ns/thread is the dispatch cost per thread.
#include <benchmark/benchmark.h>

#include <vector>

#include "common/launch.h"
#include "common/platform.h"

namespace {

__global__ void mostly_idle(bool* changed, const unsigned int* state, unsigned int n, unsigned int* out) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n || state[i] != 1) return;
  out[i] = 2;
  *changed = true;
}

void BM_Launch(benchmark::State& s) {
  const unsigned int n = static_cast<unsigned int>(s.range(0));
  const int workers = static_cast<int>(s.range(1));
  hostrt::set_worker_threads(workers);
  // One node in 64 is active.
  std::vector<unsigned int> state(n, 0), out(n, 0);
  for (unsigned int i = 0; i < n; i += 64) state[i] = 1;
  bool changed = false;
  for (auto _ : s) {
    launch_kernel(mostly_idle, blocks_for(n, 256), 256, 0, &changed, state.data(), n, out.data());
    benchmark::DoNotOptimize(out.data());
  }
  hostrt::set_worker_threads(0);
  // Seconds per 10^-9 thread, i.e. nanoseconds per thread.
  s.counters["ns/thread"] = benchmark::Counter(1e-9 * static_cast<double>(n) * static_cast<double>(s.iterations()),
                                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Launch)
    ->ArgsProduct({{256, 10000, 100000, 1000000}, {1, 2}})
    ->ArgNames({"threads", "workers"})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
