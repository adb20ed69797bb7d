#include "pgsolve/run_solver.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "cudaPGSolver/solve.h"
#include "rangespm/korrel.h"
#include "tangle/auto_race.h"

namespace {

template <class T>
void copy_n(const T* from, std::size_t count, T* to) {
  if (count > 0) std::copy(from, from + count, to);
}

// Winners (and strategies) of an arena whose solver may have renumbered it:
// node_id tells where each arena node came from in the file.
void take_arena_result(const cudaGpuArena& arena, const ParityGame& game, const std::vector<uint32_t>* strategy,
                       Solution& solution) {
  const uint32_t n = arena.n_nodes;
  std::vector<uint32_t> file_index(n);
  bool renumbered = false;
  for (uint32_t i = 0; i < n && !renumbered; ++i) renumbered = arena.node_id[i] != game.node_id[i];
  if (!renumbered) {
    for (uint32_t i = 0; i < n; ++i) file_index[i] = i;
  } else {
    std::unordered_map<uint32_t, uint32_t> index_of_id;
    index_of_id.reserve(n);
    for (uint32_t i = 0; i < n; ++i) index_of_id.emplace(game.node_id[i], i);
    for (uint32_t i = 0; i < n; ++i) file_index[i] = index_of_id.at(arena.node_id[i]);
  }
  for (uint32_t i = 0; i < n; ++i) {
    solution.winner[file_index[i]] = static_cast<uint8_t>(arena.host.color[i]);
    if (strategy != nullptr && (*strategy)[i] < n) solution.strategy[file_index[i]] = file_index[(*strategy)[i]];
  }
}

// Every node decided; an index that names no node counts as no strategy
// (it is completed afterwards).
void check_answer(const ParityGame& game, Solution& solution) {
  const uint32_t n = game.n_nodes;
  for (uint32_t v = 0; v < n; ++v) {
    if (solution.winner[v] > 1) throw "the solver left node " + std::to_string(game.node_id[v]) + " undecided";
    if (solution.strategy[v] >= n) solution.strategy[v] = no_strategy;
  }
}

}  // namespace

void fill_arena(const ParityGame& game, cudaGpuArena& arena) {
  arena.clear();
  arena.allocate_host(game.n_nodes, game.n_edges);
  const std::size_t n = game.n_nodes;
  const std::size_t m = game.n_edges;
  copy_n(game.node_id, n, arena.node_id);
  copy_n(game.color, n, arena.host.color);
  copy_n(game.owner, n, arena.host.owner);
  copy_n(game.n_succ, n, arena.host.succ.count);
  copy_n(game.succ_begin, n + 1, arena.host.succ.begin);
  copy_n(game.succ_array, m, arena.host.succ.targets);
  copy_n(game.n_pred, n, arena.host.pred.count);
  copy_n(game.pred_begin, n + 1, arena.host.pred.begin);
  copy_n(game.pred_array, m, arena.host.pred.targets);
  arena.min_color = game.min_color;
  arena.max_color = game.max_color;
  arena.max_n_succ = game.max_n_succ;
  arena.max_n_pred = game.max_n_pred;
}

Solution run_solver(LoadedGame& loaded, const Algorithm& algorithm, bool with_strategy, TimeList* list) {
  const ParityGame& game = loaded.game;
  const uint32_t n = game.n_nodes;
  Solution solution;
  solution.winner.assign(n, 2);
  solution.strategy.assign(n, no_strategy);
  std::vector<uint32_t> strategy;
  std::vector<uint32_t>* wanted = with_strategy ? &strategy : nullptr;

  if (algorithm.road == Road::csr) {
    solve_game(loaded.game, algorithm.alg_id, list, wanted);
    for (uint32_t v = 0; v < n; ++v) solution.winner[v] = static_cast<uint8_t>(game.color[v]);
    if (wanted != nullptr) solution.strategy = strategy;
    loaded.restore_colours();
  } else {
    cudaGpuArena arena;
    fill_arena(game, arena);
    if (list) list->add("setting up gpu_arena took: ");
    if (algorithm.road == Road::arena) {
      solve_gpu_arena(arena, algorithm.alg_id, list, wanted);
      take_arena_result(arena, game, wanted, solution);
    } else {
      // The range solver gives no strategies: they are completed afterwards.
      try {
        Korrel::solve_loaded(arena, list);
      } catch (const Korrel::RankCountFailure& failure) {
        throw failure.message;
      }
      if (arena.players_swapped) arena.swap_players();
      copy_result_to_host(arena);
      take_arena_result(arena, game, nullptr, solution);
    }
  }
  check_answer(game, solution);
  return solution;
}

Solution run_race(LoadedGame& loaded, bool with_strategy, TimeList* list, std::string& answered_by) {
  const ParityGame& game = loaded.game;
  Solution solution;
  solution.winner.assign(game.n_nodes, 2);
  solution.strategy.assign(game.n_nodes, no_strategy);
  std::vector<uint32_t> strategy(with_strategy ? game.n_nodes : 0, no_strategy);
  cudaGpuArena arena;
  fill_arena(game, arena);
  if (list) list->add("setting up gpu_arena took: ");
  answered_by = race_winner_name(solve_by_race(arena, with_strategy ? strategy.data() : nullptr));
  if (list) list->add("solving took : ");
  take_arena_result(arena, game, with_strategy ? &strategy : nullptr, solution);
  check_answer(game, solution);
  return solution;
}
