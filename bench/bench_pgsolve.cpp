// pgsolve's phases on `pggen --seed 1 random N 1000 2 5` (N = 10^5 and 10^6):
// solving with zielonka without strategies and with them (their overhead),
// completing the strategies of both regions as pgsolve does for a solver that
// yields none (two subgames solved by zielonka), and verifying a solution. The
// game is read before timing starts.
#include <benchmark/benchmark.h>

#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "generators.h"
#include "pgsolve/loaded_game.h"
#include "pgsolve/run_solver.h"
#include "pgsolve/strategy_completion.h"
#include "verify/verifier.h"

namespace {

LoadedGame& game_of_size(uint32_t n) {
  static std::map<uint32_t, std::unique_ptr<LoadedGame>> games;
  std::unique_ptr<LoadedGame>& slot = games[n];
  if (!slot) {
    const std::string text = pggen::to_pgsolver(pggen::random_game(n, 1000, 2, 5, 1));
    GameText input;
    input.text.reset(new char[text.size() + 1]);
    std::memcpy(input.text.get(), text.c_str(), text.size() + 1);
    input.length = text.size();
    slot.reset(new LoadedGame);
    if (!load_game(std::move(input), *slot)) throw std::string("the generated game did not load");
  }
  return *slot;
}

// The solvers' banners and counts would fill the benchmark's report.
struct Quiet {
  std::ostringstream sink;
  std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());
  ~Quiet() {
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
  }
};

void solve(benchmark::State& state, bool with_strategy) {
  LoadedGame& loaded = game_of_size(static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) {
    Quiet quiet;
    Solution solution = run_solver(loaded, *find_algorithm(11u), with_strategy, nullptr);
    benchmark::DoNotOptimize(solution.winner.data());
  }
  state.counters["nodes"] = static_cast<double>(loaded.game.n_nodes);
}

void BM_ZielonkaWinnersOnly(benchmark::State& state) { solve(state, false); }
void BM_ZielonkaWithStrategies(benchmark::State& state) { solve(state, true); }

void BM_CompleteStrategies(benchmark::State& state) {
  LoadedGame& loaded = game_of_size(static_cast<uint32_t>(state.range(0)));
  Solution solution;
  {
    Quiet quiet;
    solution = run_solver(loaded, *find_algorithm(11u), false, nullptr);
  }
  for (auto _ : state) {
    Quiet quiet;
    std::vector<uint32_t> strategy(loaded.game.n_nodes, no_strategy);
    if (complete_strategies(loaded, solution.winner, strategy) != 2) state.SkipWithError("a region was not completed");
  }
  state.counters["nodes"] = static_cast<double>(loaded.game.n_nodes);
}

void BM_Verify(benchmark::State& state) {
  LoadedGame& loaded = game_of_size(static_cast<uint32_t>(state.range(0)));
  Solution solution;
  {
    Quiet quiet;
    solution = run_solver(loaded, *find_algorithm(11u), true, nullptr);
  }
  const VerifierGame view = loaded.verifier_view();
  for (auto _ : state) {
    const std::string violation = verify_solution(view, solution.winner.data(), solution.strategy.data());
    if (!violation.empty()) state.SkipWithError(violation.c_str());
  }
  state.counters["nodes"] = static_cast<double>(loaded.game.n_nodes);
}

BENCHMARK(BM_ZielonkaWinnersOnly)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ZielonkaWithStrategies)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompleteStrategies)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Verify)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
