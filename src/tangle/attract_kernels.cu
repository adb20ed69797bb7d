#include "tangle/attract_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

// Attracted before the pass that writes stamp.
__device__ inline bool attracted_before(uint32_t s, RegionScope r, uint32_t stamp) {
  return s >= r.start && s < stamp;
}
}  // namespace

__global__ void attract_nodes(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, uint32_t stamp,
                              bool* changed) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (!attractable(g.state[v], r)) return;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  if (g.owner[v] == r.player) {
    for (uint32_t k = begin; k < end; ++k) {
      const uint32_t w = g.succ[k];
      if (attracted_before(g.state[w], r, stamp)) {
        g.sigma[v] = w;
        g.state[v] = stamp;
        *changed = true;
        return;
      }
    }
    return;
  }
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t s = g.state[g.succ[k]];
    // Not attracted yet, or joined in this very pass: an escape for now.
    if (attractable(s, r) || s == stamp) return;
  }
  g.state[v] = stamp;
  *changed = true;
}

__global__ void block_tangles_by_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token) {
  const uint32_t e = thread_index();
  if (e >= t.n_entries) return;
  const uint32_t k = t.tangle[e];
  if (t.player[k] != r.player) return;
  const uint32_t s = g.state[t.node[e]];
  if (s == tangle_state::solved || (s < r.start && !r.whole_game)) t.blocked[k] = token;
}

__global__ void block_tangles_by_escapes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp,
                                         uint32_t token) {
  const uint32_t x = thread_index();
  if (x >= t.n_escapes) return;
  const uint32_t k = t.escape_tangle[x];
  if (t.player[k] != r.player) return;
  const uint32_t s = g.state[t.escape[x]];
  if (attractable(s, r) || s == stamp) t.blocked[k] = token;
}

__global__ void claim_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token) {
  const uint32_t e = thread_index();
  if (e >= t.n_entries) return;
  const uint32_t k = t.tangle[e];
  if (t.player[k] != r.player || t.blocked[k] == token) return;
  const uint32_t v = t.node[e];
  if (attractable(g.state[v], r)) atomicMin(&g.claim[v], k);
}

__global__ void join_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp, uint32_t token,
                                  bool* changed) {
  const uint32_t e = thread_index();
  if (e >= t.n_entries) return;
  const uint32_t k = t.tangle[e];
  if (t.player[k] != r.player || t.blocked[k] == token) return;
  const uint32_t v = t.node[e];
  // Only the entry of the claiming tangle writes; it also clears the claim
  // for the next pass (the node is no longer free then).
  if (g.claim[v] != k) return;
  g.claim[v] = tangle_state::none;
  g.state[v] = stamp;
  if (g.owner[v] == r.player) g.sigma[v] = t.strategy[e];
  *changed = true;
}

}  // namespace tangle
}  // namespace kernel
