// Tangle learning (alg 13) beside Zielonka's algorithm on the arena (alg 11,
// and alg 12 with frontier attractors) and the race of tangle learning and
// alg 12 behind "auto", on generator families where either one is slow. Each
// iteration uploads the unchanged host game and solves it (the race moves
// it to the device and gives tangle learning its own colours); loading is
// outside.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "arena/gpu_arena.h"
#include "generators.h"
#include "recursive/frontier_solver.h"
#include "recursive/vantor_solver_v2.h"
#include "tangle/auto_race.h"
#include "tangle/tangle_solver.h"

namespace {

void load(cudaGpuArena& arena, const pggen::Game& game) {
  const std::string path = "/tmp/bench_tangle_" + std::to_string(getpid()) + ".pg";
  FILE* f = std::fopen(path.c_str(), "wb");
  const std::string text = pggen::to_pgsolver(game);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  arena.load(path);
  std::remove(path.c_str());
}

enum class Solver { tangle, zielonka, frontier, race };

void run(benchmark::State& state, const std::function<pggen::Game()>& make, Solver solver) {
  cudaGpuArena arena;
  const pggen::Game game = make();
  load(arena, game);
  for (auto _ : state) {
    if (solver == Solver::race) {
      solve_by_race(arena, nullptr);
      // The race moved the game to the device and gave the host side up.
      state.PauseTiming();
      load(arena, game);
      state.ResumeTiming();
      continue;
    }
    arena.upload(false);
    if (solver == Solver::tangle) {
      TangleSolver s;
      s.solve(arena);
    } else if (solver == Solver::frontier) {
      FrontierSolver s(arena.n_nodes);
      s.solve(arena);
    } else {
      VantorSolverV2 s(arena.n_nodes);
      s.solve(arena);
    }
    arena.release_device(false);
  }
  state.counters["nodes"] = arena.n_nodes;
}

void register_family(const std::string& name, const std::function<pggen::Game()>& make, bool with_zielonka) {
  benchmark::RegisterBenchmark(("tangle/" + name).c_str(), run, make, Solver::tangle)->Unit(benchmark::kMillisecond);
  if (with_zielonka) {
    benchmark::RegisterBenchmark(("zielonka/" + name).c_str(), run, make, Solver::zielonka)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("frontier/" + name).c_str(), run, make, Solver::frontier)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark(("race/" + name).c_str(), run, make, Solver::race)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  register_family("recursiveladder_10", [] { return pggen::recursive_ladder_game(10); }, true);
  // Zielonka's algorithm would need 3 * 2^201 - 5 calls: only the others.
  register_family("recursiveladder_200", [] { return pggen::recursive_ladder_game(200); }, false);
  // Small Zielonka-hard games: the race's own cost (its second lane) shows.
  register_family("solitaire_16", [] { return pggen::solitaire_game(16); }, false);
  register_family("oddladder_16", [] { return pggen::odd_ladder_game(16); }, false);
  register_family("jurdzinski_10_10", [] { return pggen::jurdzinski_game(10, 10); }, true);
  register_family("random_100000_4", [] { return pggen::random_game(100000, 4, 2, 5, 1); }, true);
  register_family("steady_100000_4", [] { return pggen::steady_game(100000, 4, 2, 5, 1); }, true);
  register_family("ladder_100000", [] { return pggen::ladder_game(50000); }, true);
  // The harness's largest games where Zielonka's algorithm is fast.
  register_family("ladder_1000000", [] { return pggen::ladder_game(500000); }, true);
  register_family("random_1000000_1000", [] { return pggen::random_game(1000000, 1000, 2, 5, 1); }, true);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
