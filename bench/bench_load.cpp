// Loading speed: PGSolver text to CSR arrays, for random games up to a million
// nodes and four million edges.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "host/parity_game.h"

namespace {

// Writes a random game with n nodes and out-degree 4 once per size.
std::string game_file(uint32_t n) {
  const std::string path = "/tmp/pgsolver_bench_load_" + std::to_string(n) + ".pg";
  std::ifstream existing(path);
  if (existing.good()) return path;
  std::mt19937 rng(n);
  std::string text = "parity " + std::to_string(n - 1) + ";\n";
  for (uint32_t i = 0; i < n; ++i) {
    text += std::to_string(i) + ' ' + std::to_string(rng() % 1000) + ' ' + std::to_string(rng() & 1) + ' ';
    for (int k = 0; k < 4; ++k) {
      if (k) text += ',';
      text += std::to_string(rng() % n);
    }
    text += ";\n";
  }
  std::ofstream(path) << text;
  return path;
}

void BM_Load(benchmark::State& state) {
  const uint32_t n = static_cast<uint32_t>(state.range(0));
  const std::string path = game_file(n);
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const double bytes = static_cast<double>(in.tellg());
  for (auto _ : state) {
    ParityGame game;
    game.load(path);
    benchmark::DoNotOptimize(game.succ_array);
  }
  state.counters["MB/s"] = benchmark::Counter(bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  state.counters["nodes"] = n;
}
BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
