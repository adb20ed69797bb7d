#include "tangle/region_kernels.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

__device__ inline void raise_to(uint32_t* top, uint32_t p) {
  // Most nodes lose to a value already there: a plain read spares their atomic.
  if (p > *top) atomicMax(top, p);
}
}  // namespace

__global__ void start_search(TangleView g, const uint32_t* list, uint32_t size, uint32_t* h, uint32_t* top) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  g.state[v] = tangle_state::free;
  h[i] = v;
  raise_to(top, g.priority[v]);
}

__global__ void max_priority(TangleView g, const uint32_t* list, uint32_t size, uint32_t* top) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  raise_to(top, g.priority[list[i]]);
}

__global__ void clear_bad(TangleView g, const uint32_t* list, uint32_t size) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  g.bad[list[i]] = 0;
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

}  // namespace tangle
}  // namespace kernel
