#include "tangle/store_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

// Member entries are set for region r only: elsewhere they are left from
// earlier regions.
__device__ inline bool is_escape(const TangleView& g, uint32_t v, uint32_t w, RegionScope r) {
  const uint32_t s = g.state[w];
  return s != tangle_state::solved && (!in_region(s, r.start) || g.member[w] != g.member[v]);
}
}  // namespace

__global__ void write_entries(TangleView g, const uint32_t* nodes, const uint32_t* id, uint32_t size, uint32_t player,
                              uint32_t base, uint32_t* node, uint32_t* tangle, uint32_t* strategy) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = nodes[i];
  node[i] = v;
  tangle[i] = base + id[i];
  strategy[i] = g.owner[v] == player ? g.sigma[v] : no_strategy;
}

__global__ void count_escapes(TangleView g, const uint32_t* nodes, uint32_t size, RegionScope r, uint32_t* count) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = nodes[i];
  uint32_t c = 0;
  if (g.owner[v] != r.player) {
    const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
    for (uint32_t k = begin; k < end; ++k) c += is_escape(g, v, g.succ[k], r) ? 1u : 0u;
  }
  count[i] = c;
}

__global__ void write_escapes(TangleView g, const uint32_t* nodes, const uint32_t* id, const uint32_t* offset,
                              uint32_t size, RegionScope r, uint32_t base, uint32_t* escape,
                              uint32_t* escape_tangle) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = nodes[i];
  if (g.owner[v] == r.player) return;
  uint32_t at = offset[i];
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t w = g.succ[k];
    if (!is_escape(g, v, w, r)) continue;
    escape[at] = w;
    escape_tangle[at] = base + id[i];
    ++at;
  }
}

__global__ void mark_dead_tangles(TangleSetView t, TangleView g, uint32_t* keep) {
  const uint32_t e = thread_index();
  if (e >= t.n_entries) return;
  if (g.state[t.node[e]] == tangle_state::solved) keep[t.tangle[e]] = 0;
}

__global__ void gather_keep(const uint32_t* tangle, uint32_t size, const uint32_t* tangle_keep, uint32_t* keep) {
  const uint32_t e = thread_index();
  if (e >= size) return;
  keep[e] = tangle_keep[tangle[e]];
}

__global__ void compact_entries(const uint32_t* node, const uint32_t* tangle, const uint32_t* strategy,
                                const uint32_t* keep, const uint32_t* position, const uint32_t* new_id, uint32_t size,
                                uint32_t* node_out, uint32_t* tangle_out, uint32_t* strategy_out) {
  const uint32_t e = thread_index();
  if (e >= size || !keep[e]) return;
  const uint32_t p = position[e];
  node_out[p] = node[e];
  tangle_out[p] = new_id[tangle[e]];
  strategy_out[p] = strategy[e];
}

__global__ void compact_escapes(const uint32_t* escape, const uint32_t* tangle, const uint32_t* keep,
                                const uint32_t* position, const uint32_t* new_id, uint32_t size, uint32_t* escape_out,
                                uint32_t* tangle_out) {
  const uint32_t x = thread_index();
  if (x >= size || !keep[x]) return;
  const uint32_t p = position[x];
  escape_out[p] = escape[x];
  tangle_out[p] = new_id[tangle[x]];
}

__global__ void compact_players(const uint8_t* player, const uint32_t* keep, const uint32_t* position, uint32_t size,
                                uint8_t* player_out) {
  const uint32_t t = thread_index();
  if (t >= size || !keep[t]) return;
  player_out[position[t]] = player[t];
}

}  // namespace tangle
}  // namespace kernel
