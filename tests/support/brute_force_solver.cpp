#include "brute_force_solver.h"

#include <stdexcept>

namespace {

// reach[u][v]: v is reachable from u in one or more steps along the kept edges.
std::vector<std::vector<char>> closure(const std::vector<std::vector<uint32_t>>& edges,
                                       const std::vector<char>& allowed) {
  const size_t n = edges.size();
  std::vector<std::vector<char>> reach(n, std::vector<char>(n, 0));
  for (size_t u = 0; u < n; ++u) {
    if (!allowed[u]) continue;
    std::vector<uint32_t> stack;
    for (uint32_t s : edges[u])
      if (allowed[s] && !reach[u][s]) {
        reach[u][s] = 1;
        stack.push_back(s);
      }
    while (!stack.empty()) {
      const uint32_t x = stack.back();
      stack.pop_back();
      for (uint32_t s : edges[x])
        if (allowed[s] && !reach[u][s]) {
          reach[u][s] = 1;
          stack.push_back(s);
        }
    }
  }
  return reach;
}

}  // namespace

std::vector<uint8_t> brute_force_wins(const TestGame& game, uint8_t player, uint64_t max_strategies) {
  const uint32_t n = game.size();
  uint64_t count = 1;
  std::vector<uint32_t> chooser;  // nodes of `player`, whose edge is fixed per strategy
  for (uint32_t v = 0; v < n; ++v) {
    if (game.succ[v].empty()) throw std::invalid_argument("brute_force_wins: dead end");
    if (game.owner[v] == player) {
      chooser.push_back(v);
      count *= game.succ[v].size();
      if (count > max_strategies) throw std::invalid_argument("brute_force_wins: too many strategies");
    }
  }

  std::vector<uint8_t> wins(n, 0);
  std::vector<size_t> pick(chooser.size(), 0);
  const std::vector<char> everyone(n, 1);
  for (uint64_t k = 0; k < count; ++k) {
    // The one-player graph of this strategy.
    std::vector<std::vector<uint32_t>> edges(game.succ);
    for (size_t i = 0; i < chooser.size(); ++i) edges[chooser[i]] = {game.succ[chooser[i]][pick[i]]};

    // A cycle whose maximal colour c has the opponent's parity exists through
    // u iff u has colour c and returns to itself through colours <= c.
    std::vector<char> bad(n, 0);
    for (uint32_t u = 0; u < n; ++u) {
      if ((game.color[u] & 1u) == player) continue;
      std::vector<char> low(n, 0);
      for (uint32_t x = 0; x < n; ++x) low[x] = game.color[x] <= game.color[u];
      bad[u] = closure(edges, low)[u][u];
    }
    const auto reach = closure(edges, everyone);
    for (uint32_t v = 0; v < n; ++v) {
      bool lost = bad[v];
      for (uint32_t u = 0; u < n && !lost; ++u) lost = reach[v][u] && bad[u];
      if (!lost) wins[v] = 1;
    }

    // Next strategy, as a mixed-radix counter.
    for (size_t i = 0; i < pick.size(); ++i) {
      if (++pick[i] < game.succ[chooser[i]].size()) break;
      pick[i] = 0;
    }
  }
  return wins;
}

std::vector<uint8_t> brute_force_solve(const TestGame& game) {
  const std::vector<uint8_t> even = brute_force_wins(game, 0);
  std::vector<uint8_t> winner(game.size());
  for (uint32_t v = 0; v < game.size(); ++v) winner[v] = even[v] ? 0 : 1;
  return winner;
}
