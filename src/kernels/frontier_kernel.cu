#include "host/types.h"
#include "kernels/frontier_kernel.h"

#include "common/launch.h"
#include "common/prefetch.h"
#include "kernels/queue_append.h"

namespace kernel {
namespace frontier {
namespace {

__device__ __forceinline__ unsigned int thread_index() { return blockIdx.x * blockDim.x + threadIdx.x; }

// Some successor of v inside the sub-game; a sub-game never has dead ends.
__device__ __forceinline__ unsigned int successor_inside(unsigned int v, const unsigned int* succ_count,
                                                         const unsigned int* succ_begin,
                                                         const unsigned int* succ_targets, const unsigned int* level,
                                                         unsigned int sub_level) {
  const unsigned int begin = succ_begin[v];
  const unsigned int end = begin + succ_count[v];
  for (unsigned int k = begin; k < end; ++k) {
    if (level[succ_targets[k]] >= sub_level) return succ_targets[k];
  }
  return succ_targets[begin];
}

// The walk's reads form a chain per frontier node (its predecessor list's
// bounds, the list, then each predecessor's state), all at random places.
// Threads that run one after another start the chains of the nodes a few
// places after their own, one link further for each nearer node.
const unsigned int warm_bounds_ahead = 32;
const unsigned int warm_list_ahead = 16;
const unsigned int warm_states_ahead = 8;
const unsigned int warm_states_per_node = 8;

__device__ __forceinline__ void warm_later_items(unsigned int i, unsigned int tail, const unsigned int* queue,
                                                 const unsigned int* pred_begin, const unsigned int* pred_targets,
                                                 const unsigned int* state) {
  if (!pg_later_threads_run_after) return;
  if (i + warm_bounds_ahead < tail) prefetch_for_later_thread(&pred_begin[queue[i + warm_bounds_ahead]]);
  if (i + warm_list_ahead < tail) prefetch_for_later_thread(&pred_targets[pred_begin[queue[i + warm_list_ahead]]]);
  if (i + warm_states_ahead < tail) {
    const unsigned int w = queue[i + warm_states_ahead];
    const unsigned int begin = pred_begin[w];
    const unsigned int last = pred_begin[w + 1];
    const unsigned int end = last - begin < warm_states_per_node ? last : begin + warm_states_per_node;
    for (unsigned int k = begin; k < end; ++k) prefetch_for_later_thread(&state[pred_targets[k]]);
  }
}

}  // namespace

__global__ void prepare(const unsigned int* nodes, unsigned int n, const unsigned char* owner,
                        const unsigned int* succ_begin, const unsigned int* succ_targets, const unsigned int* level,
                        unsigned int sub_level, unsigned int player, unsigned int* state) {
  const unsigned int t = thread_index();
  if (t >= n) return;
  const unsigned int v = nodes[t];
  if (owner[v] == player) {
    state[v] = state_open;
    return;
  }
  const unsigned int begin = succ_begin[v];
  const unsigned int end = succ_begin[v + 1];
  unsigned int inside = end - begin;
  // In the whole game (level 0) every successor is inside.
  if (sub_level != 0) {
    for (unsigned int k = begin; k < end; ++k) inside -= level[succ_targets[k]] >= sub_level ? 0u : 1u;
  }
  state[v] = opponent_bit | inside;
}

__global__ void seed(const unsigned int* nodes, unsigned int n, const unsigned char* owner,
                     const unsigned int* succ_count, const unsigned int* succ_begin, const unsigned int* succ_targets,
                     const unsigned int* level, unsigned int sub_level, unsigned int player, bool pick_successor,
                     unsigned int* state, unsigned int* strategy) {
  const unsigned int t = thread_index();
  if (t >= n) return;
  const unsigned int v = nodes[t];
  state[v] = state_attracted;
  if (pick_successor && strategy != nullptr && owner[v] == player) {
    strategy[v] = successor_inside(v, succ_count, succ_begin, succ_targets, level, sub_level);
  }
}

__global__ void walk(unsigned int* bounds, unsigned int* queue, const unsigned int* pred_begin,
                     const unsigned int* pred_targets, unsigned int* state, unsigned int* strategy) {
  const unsigned long long head = bounds[0];
  const unsigned long long tail = bounds[1];
  const unsigned long long run = frontier_entries_per_thread;
  const unsigned long long stride = static_cast<unsigned long long>(gridDim.x) * blockDim.x * run;
  QueueAppend joined(queue, bounds + 2);
  for (unsigned long long first = head + thread_index() * run; first < tail; first += stride) {
    const unsigned int last = static_cast<unsigned int>(first + run < tail ? first + run : tail);
    for (unsigned int i = static_cast<unsigned int>(first); i < last; ++i) {
      warm_later_items(i, static_cast<unsigned int>(tail), queue, pred_begin, pred_targets, state);
      const unsigned int v = queue[i];
      const unsigned int begin = pred_begin[v];
      const unsigned int end = pred_begin[v + 1];
      for (unsigned int k = begin; k < end; ++k) {
        const unsigned int u = pred_targets[k];
        // A plain read first: most edges meet a node outside the sub-game or
        // one already attracted, which no other thread changes any more.
        const unsigned int s = state[u];
        bool joins = false;
        if (s == state_open) {
          joins = atomicCAS(&state[u], state_open, state_attracted) == state_open;
          if (joins && strategy != nullptr) strategy[u] = v;
        } else if ((s & opponent_bit) != 0) {
          // This edge is one of the counted ones, so the count is still
          // positive; only the thread that takes the last one sees 1.
          joins = atomicSub(&state[u], 1u) == (opponent_bit | 1u);
          if (joins) state[u] = state_attracted;
        }
        if (joins) joined.add(u);
      }
    }
  }
  joined.flush();
}

__global__ void start(unsigned int* bounds, unsigned int n_targets) {
  if (thread_index() != 0) return;
  bounds[0] = 0;
  bounds[1] = n_targets;
  bounds[2] = n_targets;
}

__global__ void advance(unsigned int* bounds) {
  if (thread_index() != 0) return;
  bounds[0] = bounds[1];
  bounds[1] = bounds[2];
}

__global__ void mark_region(const unsigned int* nodes, unsigned int n, unsigned short* won, unsigned int mark,
                            const unsigned char* owner, const unsigned int* succ_count, const unsigned int* succ_begin,
                            const unsigned int* succ_targets, const unsigned int* level, unsigned int sub_level,
                            unsigned int* strategy) {
  const unsigned int t = thread_index();
  if (t >= n) return;
  const unsigned int v = nodes[t];
  won[v] = static_cast<unsigned short>(mark);
  if (strategy != nullptr && owner[v] == mark) {
    strategy[v] = successor_inside(v, succ_count, succ_begin, succ_targets, level, sub_level);
  }
}

__global__ void mark_won(const unsigned int* nodes, unsigned int n, unsigned short* won, unsigned int mark) {
  const unsigned int t = thread_index();
  if (t < n) won[nodes[t]] = static_cast<unsigned short>(mark);
}

__global__ void split_level(const unsigned int* nodes, unsigned int n, unsigned int* state, unsigned int sub_level,
                            unsigned int* level) {
  const unsigned int t = thread_index();
  if (t >= n) return;
  const unsigned int v = nodes[t];
  level[v] = state[v] == state_attracted ? sub_level : sub_level + 1u;
  state[v] = 0;
}

__global__ void drop_losing_moves(unsigned int n, const unsigned short* won, const unsigned char* owner,
                                  unsigned int* strategy) {
  const unsigned int v = thread_index();
  if (v < n && won[v] != owner[v]) strategy[v] = no_strategy;
}

}  // namespace frontier
}  // namespace kernel

void launch_frontier_prepare(unsigned int grid, unsigned int block, const unsigned int* nodes, unsigned int n,
                             const unsigned char* owner, const unsigned int* succ_begin,
                             const unsigned int* succ_targets, const unsigned int* level, unsigned int sub_level,
                             unsigned int player, unsigned int* state) {
  launch_fixed_kernel<kernel::frontier::prepare>(grid, block, 0, nodes, n, owner, succ_begin, succ_targets, level,
                                                 sub_level, player, state);
}

void launch_frontier_split_level(unsigned int grid, unsigned int block, const unsigned int* nodes, unsigned int n,
                                 unsigned int* state, unsigned int sub_level, unsigned int* level) {
  launch_fixed_kernel<kernel::frontier::split_level>(grid, block, 0, nodes, n, state, sub_level, level);
}

void launch_frontier_walk(unsigned int grid, unsigned int block, unsigned int* bounds, unsigned int* queue,
                          const unsigned int* pred_begin, const unsigned int* pred_targets, unsigned int* state,
                          unsigned int* strategy) {
  launch_fixed_kernel<kernel::frontier::walk>(grid, block, 0, bounds, queue, pred_begin, pred_targets, state, strategy);
}
