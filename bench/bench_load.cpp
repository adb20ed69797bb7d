// Loading speed: PGSolver text to CSR arrays (reader and conversion), in MB/s
// of text: random games up to a million nodes and four million edges, the
// harness's million-node game and the same game with long names and CRLF
// line ends; the full reader alone on that game for comparison. Rates are per
// wall-clock second: the loader parses on several threads.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "generators.h"
#include "host/parity_game.h"

namespace {

bool exists(const std::string& path) { return std::ifstream(path).good(); }

// CPU seconds of the whole process, every thread counted (the benchmark's
// own CPU column counts the main thread only).
double process_cpu_seconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Writes a random game with n nodes and out-degree 4 once per size.
std::string game_file(uint32_t n) {
  const std::string path = "/tmp/pgsolver_bench_load_" + std::to_string(n) + ".pg";
  if (exists(path)) return path;
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

// `pggen --seed 1 random 1000000 1000 2 5`, as written by pggen, or with a
// name of about 50 bytes on every node and CRLF line ends.
std::string million_node_game(bool names_and_crlf) {
  const std::string path = names_and_crlf ? "/tmp/pgsolver_bench_load_r1m_names_crlf.pg"
                                          : "/tmp/pgsolver_bench_load_r1m.pg";
  if (exists(path)) return path;
  const pggen::Game g = pggen::random_game(1000000, 1000, 2, 5, 1);
  std::ofstream out(path, std::ios::binary);
  if (!names_and_crlf) {
    pggen::write_pgsolver(g, out);
    return path;
  }
  std::string text = "parity " + std::to_string(g.size() - 1) + ";\r\n";
  for (uint32_t v = 0; v < g.size(); ++v) {
    text += std::to_string(v) + ' ' + std::to_string(g.color[v]) + ' ' + std::to_string(g.owner[v]) + ' ';
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) {
      if (k != g.succ_begin[v]) text += ',';
      text += std::to_string(g.succ[k]);
    }
    text += " \"node " + std::to_string(v) + (g.owner[v] ? " of player Odd" : " of player Even") +
            ", a name of some length\";\r\n";
  }
  out << text;
  return path;
}

template <class Load>
void load_file(benchmark::State& state, const std::string& path, const Load& load) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const double bytes = static_cast<double>(in.tellg());
  uint32_t nodes = 0;
  const double cpu_before = process_cpu_seconds();
  for (auto _ : state) {
    ParityGame game;
    load(game, path);
    nodes = game.n_nodes;
    benchmark::DoNotOptimize(game.succ_array);
  }
  state.counters["cpu_ms"] = 1e3 * (process_cpu_seconds() - cpu_before) / static_cast<double>(state.iterations());
  state.counters["MB/s"] = benchmark::Counter(bytes * state.iterations() / 1e6, benchmark::Counter::kIsRate);
  state.counters["MB"] = bytes / 1e6;
  state.counters["nodes"] = nodes;
}

void load(ParityGame& game, const std::string& path) { game.load(path); }
void load_with_full_reader(ParityGame& game, const std::string& path) { game.load_with_full_reader(path); }

void BM_Load(benchmark::State& state) {
  load_file(state, game_file(static_cast<uint32_t>(state.range(0))), load);
}
BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadRandomMillion(benchmark::State& state) { load_file(state, million_node_game(false), load); }
BENCHMARK(BM_LoadRandomMillion)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadRandomMillionNamesCrlf(benchmark::State& state) { load_file(state, million_node_game(true), load); }
BENCHMARK(BM_LoadRandomMillionNamesCrlf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FullReaderRandomMillion(benchmark::State& state) {
  load_file(state, million_node_game(false), load_with_full_reader);
}
BENCHMARK(BM_FullReaderRandomMillion)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
