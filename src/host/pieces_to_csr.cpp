// FastGameLoad::fill: the parsed pieces into CSR arrays by counting and
// prefix sums. The arrays equal those of convert_to_csr on the same file.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/fast_load.h"
#include "host/thread_split.h"

namespace {

template <class T>
void copy_into(T* target, std::size_t at, const std::vector<T>& source) {
  if (!source.empty()) std::memcpy(target + at, source.data(), source.size() * sizeof(T));
}

// How far ahead the scatter of predecessors prefetches its cursors.
const std::size_t prefetch_distance = 64;

}  // namespace

void FastGameLoad::fill(CsrTarget& target) {
  const uint32_t n = n_nodes;
  const uint32_t m = n_edges;

  // Nodes and successors, each piece by a thread of its own at the place
  // the pieces before it end; a piece's buffers go as soon as they are
  // copied, so the game is held about once.
  const std::size_t k = pieces_.size();
  std::vector<std::size_t> node_at(k + 1, 0), edge_at(k + 1, 0);
  for (std::size_t i = 0; i < k; ++i) {
    node_at[i + 1] = node_at[i] + pieces_[i].node_id.size();
    edge_at[i + 1] = edge_at[i] + pieces_[i].succ.size();
  }
  std::vector<uint32_t> piece_max(k, 0);
  run_split(static_cast<unsigned int>(k), [&](unsigned int i) {
    ParsedPiece& piece = pieces_[i];
    const std::size_t at = node_at[i];
    copy_into(target.node_id, at, piece.node_id);
    copy_into(target.color, at, piece.color);
    copy_into(target.owner, at, piece.owner);
    copy_into(target.n_succ, at, piece.n_succ);
    copy_into(target.succ_array, edge_at[i], piece.succ);
    uint32_t begin = static_cast<uint32_t>(edge_at[i]), most = 0;
    for (std::size_t v = 0; v < piece.n_succ.size(); ++v) {
      target.succ_begin[at + v] = begin;
      begin += piece.n_succ[v];
      most = std::max(most, piece.n_succ[v]);
    }
    piece_max[i] = most;
    piece.release();
  });
  const uint32_t max_n_succ = k == 0 ? 0 : *std::max_element(piece_max.begin(), piece_max.end());
  pieces_.clear();
  target.succ_begin[n] = m;
  target.max_n_succ = max_n_succ;

  fill_predecessors(target);
}

// Predecessors: every node's in-edges are counted, rows laid out by a
// prefix sum, and every edge placed in its target's row from the row's end
// downwards in resolution order (sources in file order, each one's
// successors in file order), so that each row lists the edges resolved last
// first, as the full reader's insertions at the front do. The edges are cut
// into one stretch per thread, in order; each thread counts and places its
// own stretch with its own cursors, an earlier stretch taking the later
// places of a row. The last stretch's cursors are kept in pred_begin one
// place up: they end at the row starts, which a shift by one puts where
// they belong; the row lengths follow from them.
void FastGameLoad::fill_predecessors(CsrTarget& target) const {
  const uint32_t n = n_nodes;
  const uint32_t m = n_edges;
  const unsigned int threads = std::max(1u, std::min<unsigned int>(threads_, m));
  const uint32_t* const succ = target.succ_array;
  uint32_t* const pred_begin = target.pred_begin;
  std::vector<uint32_t> first_edge(threads + 1);
  for (unsigned int t = 0; t <= threads; ++t) first_edge[t] = static_cast<uint32_t>(uint64_t(m) * t / threads);

  // Counts, then cursors, of each stretch: the first one's in n_pred (whose
  // counts are taken from the row starts at the end), the last one's in
  // pred_begin, any others in arrays of their own.
  std::vector<std::vector<uint32_t>> own(threads > 2 ? threads - 2 : 0);
  std::vector<uint32_t*> cursor(threads);
  for (unsigned int t = 1; t + 1 < threads; ++t) {
    own[t - 1].assign(n, 0u);
    cursor[t] = own[t - 1].data();
  }
  if (threads > 1) {
    cursor[0] = target.n_pred;
    std::fill(target.n_pred, target.n_pred + n, 0u);
  }
  cursor[threads - 1] = pred_begin + 1;
  std::fill(pred_begin, pred_begin + n + 1, 0u);

  run_split(threads, [&](unsigned int t) {
    uint32_t* const count = cursor[t];
    for (uint32_t k = first_edge[t]; k < first_edge[t + 1]; ++k) ++count[succ[k]];
  });

  uint32_t end = 0, max_n_pred = 0;
  for (uint32_t v = 0; v < n; ++v) {
    uint32_t total = 0;
    for (unsigned int t = 0; t < threads; ++t) total += cursor[t][v];
    max_n_pred = std::max(max_n_pred, total);
    end += total;
    uint32_t place = end;
    for (unsigned int t = 0; t < threads; ++t) {
      const uint32_t mine = cursor[t][v];
      cursor[t][v] = place;
      place -= mine;
    }
  }

  run_split(threads, [&](unsigned int t) {
    uint32_t* const row = cursor[t];
    uint32_t k = first_edge[t];
    const uint32_t stop = first_edge[t + 1];
    if (k == stop) return;
    // The source of the stretch's first edge: the last node whose row starts at or before it.
    uint32_t u = static_cast<uint32_t>(std::upper_bound(target.succ_begin, target.succ_begin + n, k) -
                                       target.succ_begin) - 1;
    while (k < stop) {
      const uint32_t row_stop = std::min(stop, target.succ_begin[u + 1]);
      for (; k < row_stop; ++k) {
        if (k + prefetch_distance < stop) {
          // Cursors far ahead, then the places of nearer edges, whose
          // cursors are in the cache by now.
          __builtin_prefetch(&row[succ[k + prefetch_distance]], 1);
          const uint32_t place = row[succ[k + prefetch_distance / 2]];
          if (place != 0) __builtin_prefetch(&target.pred_array[place - 1], 1);
        }
        target.pred_array[--row[succ[k]]] = u;
      }
      ++u;
    }
  });

  std::memmove(pred_begin, pred_begin + 1, std::size_t(n) * sizeof(uint32_t));
  pred_begin[n] = m;
  for (uint32_t v = 0; v < n; ++v) target.n_pred[v] = pred_begin[v + 1] - pred_begin[v];
  target.max_n_pred = max_n_pred;
}
