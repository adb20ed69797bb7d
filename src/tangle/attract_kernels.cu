#include "tangle/attract_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

}  // namespace

__global__ void block_tangles_by_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token) {
  const uint32_t e = thread_index();
  if (e >= t.n_entries) return;
  const uint32_t k = t.tangle[e];
  if (t.player[k] != r.player) return;
  const uint32_t s = g.state[t.node[e]];
  if (!attractable(s, r) && !in_region(s, r.start)) t.blocked[k] = token;
}

__global__ void block_tangles_by_escapes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp,
                                         uint32_t token) {
  const uint32_t x = thread_index();
  if (x >= t.n_escapes) return;
  const uint32_t k = t.escape_tangle[x];
  if (t.player[k] != r.player) return;
  const uint32_t s = g.state[t.escape[x]];
  if (open_for(s, r) || s == stamp) t.blocked[k] = token;
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
                                  uint32_t* next, uint32_t* next_size) {
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
  next[atomicAdd(next_size, 1u)] = v;
}

}  // namespace tangle
}  // namespace kernel
