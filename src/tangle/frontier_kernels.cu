#include "tangle/frontier_kernels.h"

#include "kernels/queue_append.h"

namespace kernel {
namespace tangle {

namespace {
__device__ inline uint32_t thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

__device__ inline void append(uint32_t v, uint32_t* list, uint32_t* size) { list[atomicAdd(size, 1u)] = v; }

// visit(w, u, out) for every edge u -> w into the thread's run of frontier
// entries w; out appends to next.
template <class Visit>
__device__ void visit_frontier_edges(const TangleView& g, const uint32_t* frontier, uint32_t size, uint32_t* next,
                                     uint32_t* next_size, const Visit& visit) {
  const EntryRun run = entry_run(thread_index(), size);
  QueueAppend out(next, next_size);
  for (uint32_t i = run.first; i < run.last; ++i) {
    const uint32_t w = frontier[i];
    const uint32_t begin = g.pred_begin[w], end = begin + g.pred_count[w];
    for (uint32_t k = begin; k < end; ++k) visit(w, g.pred[k], out);
  }
  out.flush();
}

__device__ inline bool good(const TangleView& g, uint32_t w, uint32_t start) {
  return in_region(g.state[w], start) && !g.bad[w];
}
}  // namespace

__global__ void seed_region(TangleView g, const uint32_t* list, uint32_t size, uint32_t p, RegionScope r) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  if (g.priority[v] == p) {
    g.state[v] = r.start;
    return;
  }
  if (g.owner[v] == r.player) return;
  // A successor seeded by another thread of this pass counts either way.
  uint32_t c = 0;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  for (uint32_t k = begin; k < end; ++k) {
    const uint32_t s = g.state[g.succ[k]];
    c += s == tangle_state::free || s == r.start ? 1u : 0u;
  }
  g.count[v] = c;
}

__global__ void seed_dominion(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, RegionScope d) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  const uint32_t sv = g.state[v];
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  // Seeding only moves good nodes to d.start, which is still in region r.
  if (in_region(sv, r.start) && !g.bad[v]) {
    if (sv == r.start && g.owner[v] == r.player) {
      for (uint32_t k = begin; k < end; ++k) {
        const uint32_t w = g.succ[k];
        if (good(g, w, r.start)) {
          g.sigma[v] = w;
          break;
        }
      }
    }
    g.state[v] = d.start;
    return;
  }
  if (g.owner[v] == d.player || sv == tangle_state::solved) return;
  uint32_t c = 0;
  for (uint32_t k = begin; k < end; ++k) c += g.state[g.succ[k]] != tangle_state::solved ? 1u : 0u;
  g.count[v] = c;
}

__global__ void attract_frontier(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t stamp,
                                 uint32_t* next, uint32_t* next_size) {
  visit_frontier_edges(g, frontier, size, next, next_size, [&](uint32_t w, uint32_t u, QueueAppend& joined) {
    const uint32_t s = g.state[u];
    if (!attractable(s, r)) return;
    if (g.owner[u] == r.player) {
      if (atomicCAS(&g.state[u], s, stamp) == s) {
        g.sigma[u] = w;
        joined.add(u);
      }
    } else if (atomicSub(&g.count[u], 1u) == 1u) {
      // The last escape: only this thread sees the count reach zero.
      g.state[u] = stamp;
      joined.add(u);
    }
  });
}

__global__ void seed_bad(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool whole_game,
                         uint32_t* frontier, uint32_t* frontier_size) {
  const uint32_t i = thread_index();
  if (i >= size) return;
  const uint32_t v = list[i];
  const uint32_t sv = g.state[v];
  if (!in_region(sv, r.start)) return;
  const uint32_t begin = g.succ_begin[v], end = begin + g.succ_count[v];
  bool is_bad = false;
  if (g.owner[v] != r.player) {
    for (uint32_t k = begin; k < end && !is_bad; ++k) {
      const uint32_t s = g.state[g.succ[k]];
      if (in_region(s, r.start) || s == tangle_state::solved) continue;
      is_bad = s == tangle_state::free || whole_game;  // to H, or to a region before this one
    }
  } else if (sv == r.start) {
    uint32_t c = 0;
    for (uint32_t k = begin; k < end; ++k) {
      const uint32_t w = g.succ[k];
      if (!in_region(g.state[w], r.start)) continue;
      if (c++ == 0) g.sigma[v] = w;
    }
    g.count[v] = c;
    is_bad = c == 0;
  }
  if (is_bad) {
    g.bad[v] = 1;
    append(v, frontier, frontier_size);
  }
}

__global__ void spread_bad(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t* next,
                           uint32_t* next_size) {
  visit_frontier_edges(g, frontier, size, next, next_size, [&](uint32_t w, uint32_t u, QueueAppend& spoiled_nodes) {
    const uint32_t s = g.state[u];
    if (!in_region(s, r.start) || g.bad[u]) return;
    bool spoiled;
    if (g.owner[u] != r.player) spoiled = true;
    else if (s == r.start) spoiled = atomicSub(&g.count[u], 1u) == 1u;
    else spoiled = g.sigma[u] == w;
    if (spoiled && atomicExch(&g.bad[u], 1u) == 0u) spoiled_nodes.add(u);
  });
}

}  // namespace tangle
}  // namespace kernel
