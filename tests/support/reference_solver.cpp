#include "reference_solver.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

const uint32_t kNoMove = 0xFFFFFFFFu;

using NodeSet = std::vector<char>;  // membership by node index
using NodeList = std::vector<uint32_t>;

class Zielonka {
 public:
  explicit Zielonka(const TestGame& game) : g_(game), n_(game.size()), pred_(n_), win_(n_, 0), strategy_(n_, kNoMove) {
    if (g_.id.size() != n_ || g_.owner.size() != n_ || g_.succ.size() != n_)
      throw std::invalid_argument("reference_solve: inconsistent game vectors");
    for (uint32_t v = 0; v < n_; ++v) {
      if (g_.succ[v].empty())
        throw std::invalid_argument("reference_solve: node " + std::to_string(v) + " has no successor");
      if (g_.owner[v] > 1)
        throw std::invalid_argument("reference_solve: node " + std::to_string(v) + " has a bad owner");
      // One predecessor entry per edge, so repeated successors are counted
      // consistently with the out-edge counts of the attractor.
      for (uint32_t s : g_.succ[v]) {
        if (s >= n_) throw std::invalid_argument("reference_solve: successor out of range");
        pred_[s].push_back(v);
      }
    }
  }

  std::vector<uint8_t> run() {
    NodeList all(n_);
    for (uint32_t v = 0; v < n_; ++v) all[v] = v;
    solve(std::move(all), NodeSet(n_, 1));
    return win_;
  }

  // The strategies of the last run: a node's winner, where it owns the node,
  // plays to the recorded successor; nodes their owner loses have none.
  std::vector<uint32_t> strategy() const {
    std::vector<uint32_t> s = strategy_;
    for (uint32_t v = 0; v < n_; ++v)
      if (g_.owner[v] != win_[v]) s[v] = kNoMove;
    return s;
  }

 private:
  // Nodes of the sub-game `in` from which `player` can force a visit to
  // `target`. Opponent nodes join once all their in-game edges lead into
  // the attractor; the player's nodes record the edge by which they join.
  NodeSet attractor(const NodeSet& in, const NodeList& nodes, const NodeList& target, uint8_t player) {
    NodeSet attr(n_, 0);
    std::vector<uint32_t> remaining(n_, 0);
    for (uint32_t v : nodes)
      for (uint32_t s : g_.succ[v])
        if (in[s]) ++remaining[v];
    NodeList queue;
    for (uint32_t t : target) {
      if (!attr[t]) {
        attr[t] = 1;
        queue.push_back(t);
      }
    }
    for (size_t head = 0; head < queue.size(); ++head) {
      const uint32_t u = queue[head];
      for (uint32_t v : pred_[u]) {
        if (!in[v] || attr[v]) continue;
        if (g_.owner[v] == player || --remaining[v] == 0) {
          if (g_.owner[v] == player) strategy_[v] = u;
          attr[v] = 1;
          queue.push_back(v);
        }
      }
    }
    return attr;
  }

  // Writes the winner of every node of the sub-game (given both as a list and
  // as a membership set) into win_. The second recursive call of the textbook
  // algorithm is a loop here, so the depth stays at most the number of
  // distinct colours.
  void solve(NodeList nodes, NodeSet in) {
    while (!nodes.empty()) {
      uint32_t d = 0;
      for (uint32_t v : nodes) d = std::max(d, g_.color[v]);
      const uint8_t p = d & 1;
      const uint8_t q = 1 - p;

      NodeList top;
      for (uint32_t v : nodes)
        if (g_.color[v] == d) top.push_back(v);
      const NodeSet a = attractor(in, nodes, top, p);

      NodeList rest;
      NodeSet rest_in(n_, 0);
      for (uint32_t v : nodes) {
        if (!a[v]) {
          rest.push_back(v);
          rest_in[v] = 1;
        }
      }
      NodeList lost;  // won by the opponent inside the sub-game
      if (!rest.empty()) {
        solve(rest, std::move(rest_in));
        for (uint32_t v : rest)
          if (win_[v] == q) lost.push_back(v);
      }
      if (lost.empty()) {
        // The player wins the whole sub-game: the rest keeps the strategy
        // that won it, the attractor its attracting edges, and the player's
        // top-colour nodes any edge that stays in the sub-game.
        for (uint32_t v : nodes) win_[v] = p;
        for (uint32_t v : top) {
          if (g_.owner[v] != p) continue;
          for (uint32_t s : g_.succ[v]) {
            if (in[s]) {
              strategy_[v] = s;
              break;
            }
          }
        }
        return;
      }
      // The opponent's region there is a dominion in the whole sub-game too;
      // everything it attracts is lost for p, and the remainder is a trap
      // for the opponent, so it is again a game without dead ends.
      const NodeSet b = attractor(in, nodes, lost, q);
      NodeList next;
      for (uint32_t v : nodes) {
        if (b[v]) {
          win_[v] = q;
          in[v] = 0;
        } else {
          next.push_back(v);
        }
      }
      nodes.swap(next);
    }
  }

  const TestGame& g_;
  const uint32_t n_;
  std::vector<NodeList> pred_;
  std::vector<uint8_t> win_;
  std::vector<uint32_t> strategy_;
};

}  // namespace

std::vector<uint8_t> reference_solve(const TestGame& game) { return Zielonka(game).run(); }

ReferenceSolution reference_solve_with_strategy(const TestGame& game) {
  Zielonka z(game);
  ReferenceSolution solution;
  solution.winner = z.run();
  solution.strategy = z.strategy();
  return solution;
}

bool regions_are_closed(const TestGame& game, const std::vector<uint8_t>& winner) {
  const uint32_t n = game.size();
  if (winner.size() != n) return false;
  for (uint32_t v = 0; v < n; ++v)
    if (winner[v] > 1) return false;
  for (uint32_t v = 0; v < n; ++v) {
    const uint8_t w = winner[v];
    const auto& s = game.succ[v];
    if (s.empty()) return false;
    bool any_inside = false;
    bool all_inside = true;
    for (uint32_t t : s) {
      if (t >= n) return false;
      if (winner[t] == w)
        any_inside = true;
      else
        all_inside = false;
    }
    // The region's winner needs one way to stay; its loser must have none out.
    if (game.owner[v] == w ? !any_inside : !all_inside) return false;
  }
  return true;
}
