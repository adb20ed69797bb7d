#include "tangle/region_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

__device__ inline bool good(const TangleView& g, uint32_t w, uint32_t start) {
  return in_region(g.state[w], start) && !g.bad[w];
}
}  // namespace

__global__ void max_priority(TangleView g, const uint32_t* list, uint32_t size, uint32_t* top) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  atomicMax(top, static_cast<uint32_t>(g.priority[list[i]]));
}

__global__ void seed_region(TangleView g, const uint32_t* list, uint32_t size, uint32_t p, uint32_t start) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  g.bad[v] = 0;
  g.member[v] = tangle_state::none;
  if (g.priority[v] == p) g.state[v] = start;
}

__global__ void clear_bad(TangleView g, const uint32_t* list, uint32_t size) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  g.bad[list[i]] = 0;
}

__global__ void find_good(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, uint32_t* found) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  if (good(g, list[i], r.start)) *found = 1;
}

__global__ void choose_good_strategy(TangleView g, const uint32_t* list, uint32_t size, RegionScope r) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (g.state[v] != r.start || g.owner[v] != r.player || g.bad[v]) return;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t w = g.succ[k];
    if (good(g, w, r.start)) {
      g.sigma[v] = w;
      return;
    }
  }
}

__global__ void seed_dominion(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, uint32_t dominion) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (good(g, v, r.start)) g.state[v] = dominion;
}

__global__ void finish_dominion(TangleView g, const uint32_t* list, uint32_t size, RegionScope d, color_t* marks,
                                uint32_t* strategy) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (!in_region(g.state[v], d.start)) return;
  g.state[v] = tangle_state::solved;
  marks[v] = static_cast<color_t>(d.player);
  if (strategy != nullptr) strategy[v] = g.owner[v] == d.player ? g.sigma[v] : no_strategy;
}

__global__ void free_region(TangleView g, const uint32_t* list, uint32_t size, RegionScope r) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (in_region(g.state[v], r.start)) g.state[v] = tangle_state::free;
}

__global__ void free_nodes(TangleView g, const uint32_t* list, uint32_t size) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  g.state[list[i]] = tangle_state::free;
}

}  // namespace tangle
}  // namespace kernel
