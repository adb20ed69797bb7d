#include "pgsolve/strategy_completion.h"

#include <algorithm>
#include <string>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "pgsolve/run_solver.h"

namespace {

const char* const player_name[2] = {"Even", "Odd"};

}  // namespace

void induced_subgame(const ParityGame& game, const std::vector<color_t>& colour, const std::vector<uint32_t>& nodes,
                     ParityGame& sub) {
  const uint32_t absent = 0xFFFFFFFFu;
  std::vector<uint32_t> local(game.n_nodes, absent);
  for (uint32_t k = 0; k < nodes.size(); ++k) local[nodes[k]] = k;

  uint64_t edges = 0;
  for (uint32_t v : nodes)
    for (uint32_t e = game.succ_begin[v]; e < game.succ_begin[v] + game.n_succ[v]; ++e)
      edges += local[game.succ_array[e]] != absent;
  const uint32_t n = static_cast<uint32_t>(nodes.size());
  sub.release();
  sub.allocate(n, static_cast<uint32_t>(edges));

  uint32_t at = 0;
  std::fill(sub.n_pred, sub.n_pred + n, 0u);
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t v = nodes[k];
    sub.node_id[k] = game.node_id[v];
    sub.color[k] = colour[v];
    sub.owner[k] = game.owner[v];
    sub.succ_begin[k] = at;
    for (uint32_t e = game.succ_begin[v]; e < game.succ_begin[v] + game.n_succ[v]; ++e) {
      const uint32_t w = local[game.succ_array[e]];
      if (w == absent) continue;
      sub.succ_array[at++] = w;
      ++sub.n_pred[w];
    }
    sub.n_succ[k] = at - sub.succ_begin[k];
    if (sub.n_succ[k] == 0)
      throw "node " + std::to_string(game.node_id[v]) + " can leave its region: the winners do not hold";
    sub.max_n_succ = std::max(sub.max_n_succ, sub.n_succ[k]);
  }
  sub.succ_begin[n] = at;

  sub.pred_begin[0] = 0;
  for (uint32_t k = 0; k < n; ++k) {
    sub.pred_begin[k + 1] = sub.pred_begin[k] + sub.n_pred[k];
    sub.max_n_pred = std::max(sub.max_n_pred, sub.n_pred[k]);
  }
  std::vector<uint32_t> filled(sub.pred_begin, sub.pred_begin + n);
  for (uint32_t k = 0; k < n; ++k)
    for (uint32_t e = sub.succ_begin[k]; e < sub.succ_begin[k + 1]; ++e)
      sub.pred_array[filled[sub.succ_array[e]]++] = k;
  if (n > 0) {
    const auto range = std::minmax_element(sub.color, sub.color + n);
    sub.min_color = *range.first;
    sub.max_color = *range.second;
  }
}

int complete_strategies(const LoadedGame& loaded, const std::vector<uint8_t>& winner, std::vector<uint32_t>& strategy) {
  const ParityGame& game = loaded.game;
  int completed = 0;
  for (uint8_t player = 0; player < 2; ++player) {
    std::vector<uint32_t> region;
    bool missing = false;
    for (uint32_t v = 0; v < game.n_nodes; ++v) {
      if (winner[v] != player) continue;
      region.push_back(v);
      missing = missing || (game.owner[v] == player && strategy[v] == no_strategy);
    }
    if (!missing) continue;

    cudaGpuArena arena;
    {
      ParityGame sub;
      induced_subgame(game, loaded.colour, region, sub);
      fill_arena(sub, arena);
    }
    std::vector<uint32_t> sub_strategy;
    solve_gpu_arena(arena, completion_alg_id, nullptr, &sub_strategy);
    for (uint32_t k = 0; k < region.size(); ++k) {
      const uint32_t v = region[k];
      if (arena.host.color[k] != player) {
        throw "the region of " + std::string(player_name[player]) + " is not won by " + player_name[player] +
            " at node " + std::to_string(game.node_id[v]) + ": the winners do not hold";
      }
      if (game.owner[v] != player) continue;
      if (sub_strategy[k] >= region.size()) {
        throw "no strategy for node " + std::to_string(game.node_id[v]) +
            ": the completing solver of this build gives none";
      }
      strategy[v] = region[sub_strategy[k]];
    }
    ++completed;
  }
  return completed;
}
