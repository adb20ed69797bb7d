#include "textbook_spm.h"

#include <algorithm>
#include <deque>

namespace {

// Jurdzinski's games are min-parity: priority 0 is the most significant. A
// PGSolver colour c becomes priority top - c with top even, which keeps the
// parity and turns the largest colour into the most significant priority.
struct Measures {
  uint32_t width;            // priorities 0 .. width - 1
  std::vector<int> value;    // width components per node (odd ones used)
  std::vector<uint8_t> top;  // the measure is top

  const int* row(uint32_t v) const { return value.data() + static_cast<std::size_t>(v) * width; }
  int* row(uint32_t v) { return value.data() + static_cast<std::size_t>(v) * width; }
};

// -1, 0, +1 as a compares to b on the odd components 1, 3, ... <= p, top
// above everything.
int compare(const int* a, bool a_top, const int* b, bool b_top, uint32_t p) {
  if (a_top || b_top) return static_cast<int>(a_top) - static_cast<int>(b_top);
  for (uint32_t i = 1; i <= p; i += 2) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

}  // namespace

TextbookSpmResult textbook_spm_solve(const ParityGame& game) {
  // The measure of the player whose parity the largest colour has, as the
  // one-sided solvers keep it (the same lattice): Even's measure over the odd
  // priorities, or, for an odd largest colour, Even's measure of the dual
  // game (colours one up, owners exchanged), whose top marks Even's nodes.
  const uint32_t dual = game.max_color & 1u;
  const uint32_t n = game.n_nodes;
  TextbookSpmResult result;
  result.winner.assign(n, 0);
  if (n == 0) return result;
  const uint32_t top_priority = game.max_color + dual + ((game.max_color + dual) & 1u);
  std::vector<uint32_t> priority(n);
  for (uint32_t v = 0; v < n; ++v) priority[v] = top_priority - game.color[v] - dual;
  const uint32_t width = top_priority + 1;
  std::vector<int> bound(width, 0);
  for (uint32_t v = 0; v < n; ++v)
    if (priority[v] & 1u) ++bound[priority[v]];

  Measures m{width, std::vector<int>(static_cast<std::size_t>(n) * width, 0), std::vector<uint8_t>(n, 0)};
  std::vector<int> candidate(width);
  std::deque<uint32_t> queue;
  std::vector<uint8_t> queued(n, 1);
  for (uint32_t v = 0; v < n; ++v) queue.push_back(v);

  while (!queue.empty()) {
    const uint32_t v = queue.front();
    queue.pop_front();
    queued[v] = 0;
    if (m.top[v]) continue;
    ++result.lifts;
    const uint32_t p = priority[v];
    const bool even_node = (game.owner[v] ^ dual) == 0;
    // The best successor under the order truncated at p: Even takes the
    // least, Odd the greatest; Prog is monotone, so it is applied once.
    uint32_t best = game.succ_array[game.succ_begin[v]];
    for (uint32_t e = game.succ_begin[v] + 1; e < game.succ_begin[v] + game.n_succ[v]; ++e) {
      const uint32_t w = game.succ_array[e];
      const int order = compare(m.row(w), m.top[w] != 0, m.row(best), m.top[best] != 0, p);
      if (even_node ? order < 0 : order > 0) best = w;
    }
    bool to_top = m.top[best] != 0;
    if (!to_top) {
      // Prog: the least measure >= the successor's on the prefix up to p
      // (strictly greater when p is odd); components below p are cleared.
      std::fill(candidate.begin(), candidate.end(), 0);
      const int* w_row = m.row(best);
      for (uint32_t i = 1; i <= p; i += 2) candidate[i] = w_row[i];
      if (p & 1u) {
        to_top = true;
        for (uint32_t i = p;; i -= 2) {
          if (candidate[i] < bound[i]) {
            ++candidate[i];
            to_top = false;
            break;
          }
          candidate[i] = 0;
          if (i < 2) break;
        }
      }
    }
    // rho(v) = max(rho(v), Prog): measures only grow.
    bool raised;
    if (to_top) {
      raised = true;
      m.top[v] = 1;
    } else {
      raised = compare(candidate.data(), false, m.row(v), false, width - 1) > 0;
      if (raised) std::copy(candidate.begin(), candidate.end(), m.row(v));
    }
    if (!raised) continue;
    ++result.raises;
    for (uint32_t e = game.pred_begin[v]; e < game.pred_begin[v] + game.n_pred[v]; ++e) {
      const uint32_t u = game.pred_array[e];
      if (!queued[u] && !m.top[u]) {
        queued[u] = 1;
        queue.push_back(u);
      }
    }
  }
  for (uint32_t v = 0; v < n; ++v) result.winner[v] = (m.top[v] ? 1 : 0) ^ dual;
  return result;
}
