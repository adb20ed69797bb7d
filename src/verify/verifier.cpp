#include "verify/verifier.h"

#include "host/types.h"
#include "verify/region_cycles.h"

namespace {

const char* player_name(unsigned p) { return p == 0 ? "Even" : "Odd"; }

std::string id_of(const VerifierGame& g, uint32_t v) { return std::to_string(g.node_id[v]); }

bool is_edge(const VerifierGame& g, uint32_t v, uint32_t w) {
  for (uint32_t e = g.succ_begin[v]; e < g.succ_begin[v + 1]; ++e)
    if (g.succ_array[e] == w) return true;
  return false;
}

// Every node is won by exactly one player.
std::string check_winners(const VerifierGame& g, const uint8_t* winner) {
  for (uint32_t v = 0; v < g.n_nodes; ++v) {
    if (winner[v] > 1) {
      return "node " + id_of(g, v) + " has no winner: its mark " + std::to_string(winner[v]) +
             " is neither 0 (Even) nor 1 (Odd)";
    }
  }
  return std::string();
}

// Each region is closed: its winner stays by the strategy, its loser cannot
// leave by any edge.
std::string check_closed(const VerifierGame& g, const uint8_t* winner, const uint32_t* strategy) {
  for (uint32_t v = 0; v < g.n_nodes; ++v) {
    const unsigned w = winner[v];
    if (g.owner[v] == w) {
      const uint32_t s = strategy == nullptr ? no_strategy : strategy[v];
      if (s == no_strategy)
        return "node " + id_of(g, v) + " is won by its owner " + player_name(w) + " but has no strategy";
      if (s >= g.n_nodes) {
        return "node " + id_of(g, v) + ": its strategy successor (index " + std::to_string(s) + ") is not a node";
      }
      if (!is_edge(g, v, s)) {
        return "node " + id_of(g, v) + ": its strategy successor " + id_of(g, s) + " is not one of its successors";
      }
      if (winner[s] != w) {
        return "node " + id_of(g, v) + ": the strategy of " + player_name(w) + " leaves " + player_name(w) +
               "'s region to node " + id_of(g, s);
      }
    } else {
      for (uint32_t e = g.succ_begin[v]; e < g.succ_begin[v + 1]; ++e) {
        const uint32_t t = g.succ_array[e];
        if (winner[t] != w) {
          return "node " + id_of(g, v) + ": " + player_name(1 - w) + " escapes " + player_name(w) +
                 "'s region along the edge to node " + id_of(g, t);
        }
      }
    }
  }
  return std::string();
}

}  // namespace

std::string verify_solution(const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy) {
  std::string fault = check_winners(game, winner);
  if (fault.empty()) fault = check_closed(game, winner, strategy);
  if (!fault.empty()) return fault;
  const uint32_t v = find_cycle_won_by_opponent(game, winner, strategy);
  if (v == no_node) return std::string();
  const unsigned w = winner[v];
  return std::string(player_name(1 - w)) + " wins a cycle in " + player_name(w) + "'s region through node " +
         id_of(game, v) + " (colour " + std::to_string(game.color[v]) + ")";
}
