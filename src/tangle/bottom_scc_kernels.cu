#include "tangle/bottom_scc_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

__device__ inline bool good(const TangleView& g, uint32_t w, uint32_t start) {
  return in_region(g.state[w], start) && !g.bad[w];
}

// v -> w is an edge of the strategy graph (both nodes good).
__device__ inline bool strategy_edge(const TangleView& g, uint32_t v, uint32_t w, RegionScope r) {
  return g.owner[v] != r.player || g.state[v] == r.start || g.sigma[v] == w;
}
}  // namespace

__global__ void init_reach(TangleView g, const uint32_t* list, uint32_t size) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  g.reach[v] = v;
  g.spoiled[v] = 0;
  g.member[v] = tangle_state::none;
}

__global__ void propagate_reach(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (!good(g, v, r.start)) return;
  const uint32_t old = g.reach[v];
  uint32_t m = old;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t w = g.succ[k];
    if (good(g, w, r.start) && strategy_edge(g, v, w, r) && g.reach[w] > m) m = g.reach[w];
  }
  if (m > old) {
    g.reach[v] = m;
    *changed = true;
  }
}

__global__ void propagate_spoiled(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (!good(g, v, r.start) || g.spoiled[v]) return;
  const uint32_t m = g.reach[v];
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t w = g.succ[k];
    if (!good(g, w, r.start) || !strategy_edge(g, v, w, r)) continue;
    if (g.reach[w] < m || (g.reach[w] == m && g.spoiled[w])) {
      g.spoiled[v] = 1;
      *changed = true;
      return;
    }
  }
}

__global__ void seed_members(TangleView g, const uint32_t* list, uint32_t size, RegionScope r) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (good(g, v, r.start) && g.reach[v] == v && !g.spoiled[v]) g.member[v] = v;
}

__global__ void propagate_members(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (!good(g, v, r.start) || g.member[v] != tangle_state::none) return;
  const uint32_t begin = g.pred_begin[v], end = begin + g.pred_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t u = g.pred[k];
    if (!good(g, u, r.start) || !strategy_edge(g, u, v, r)) continue;
    const uint32_t m = g.member[u];
    if (m != tangle_state::none) {
      g.member[v] = m;
      *changed = true;
      return;
    }
  }
}

__global__ void choose_tangle_strategy(TangleView g, const uint32_t* list, uint32_t size, RegionScope r) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  const uint32_t m = g.member[v];
  if (m == tangle_state::none || g.state[v] != r.start || g.owner[v] != r.player) return;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t w = g.succ[k];
    if (good(g, w, r.start) && g.member[w] == m) {
      g.sigma[v] = w;
      return;
    }
  }
}

}  // namespace tangle
}  // namespace kernel
