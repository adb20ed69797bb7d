#include "kernels/scc_kernels.h"

#include "common/launch.h"

namespace kernel {
namespace scc {

namespace {
__device__ inline uint32_t thread_node() { return blockIdx.x * blockDim.x + threadIdx.x; }
}  // namespace

__global__ void find_initial_pivot(uint32_t* scc_id, uint32_t* pivot, const uint32_t* n_succ,
                                   const uint32_t* n_pred, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  if (n_succ[i] == 0 || n_pred[i] == 0) {
    scc_id[i] = i | scc_word::trivial;
  } else {
    *pivot = i;
  }
}

__global__ void set_initial_pivot(uint32_t* scc_id, const uint32_t* pivot, const uint32_t* n_succ,
                                  const uint32_t* n_pred, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  if (n_succ[i] == 0 || n_pred[i] == 0) return;
  const uint32_t p = *pivot;
  scc_id[i] = i == p ? (p | scc_word::marks | scc_word::unspread) : p;
}

namespace {

// Nodes a chain keeps to visit, and visits it makes per thread and pass.
const uint32_t chain_stack = 32;
const uint32_t chain_budget = 256;

// A chain: the fixpoint passes below carry a change on from the node that
// made it, within the pass, instead of leaving each further step to another
// pass. step(u, push) visits u and may push nodes to visit; a node that does
// not fit on the stack is left to the next pass, which the change flag asks
// for.
template <class Step>
__device__ inline void run_chain(uint32_t start, Step step) {
  uint32_t stack[chain_stack];
  uint32_t depth = 0;
  stack[depth++] = start;
  for (uint32_t visits = 0; depth > 0 && visits < chain_budget; ++visits) {
    const uint32_t u = stack[--depth];
    step(u, [&](uint32_t v) {
      if (depth < chain_stack) stack[depth++] = v;
    });
  }
}

// Spreads the mark `flag` of node u of partition id along the edges
// [begin[u], begin[u] + count[u]) to the live members of the partition; the
// neighbours it marks are pushed, to spread in turn. Returns whether it
// marked any.
template <class Push>
__device__ inline bool spread_mark(uint32_t* scc_id, uint32_t u, uint32_t id, uint32_t flag, const uint32_t* begin,
                                   const uint32_t* targets, const uint32_t* count, Push push) {
  bool wrote = false;
  const uint32_t first = begin[u], end = first + count[u];
  for (uint32_t j = first; j < end; ++j) {
    const uint32_t v = targets[j];
    if (v == u) continue;
    const uint32_t x = scc_id[v];
    if ((x & scc_word::id_mask) != id || (x & (flag | scc_word::done))) continue;
    // Atomic, so that marks of two threads on one word are both kept.
    if (!(atomicOr(scc_id + v, flag | scc_word::unspread) & flag)) {
      wrote = true;
      push(v);
    }
  }
  return wrote;
}

}  // namespace

__global__ void pivot_propagation(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                  const uint32_t* n_succ, const uint32_t* pred_begin, const uint32_t* pred_array,
                                  const uint32_t* n_pred, uint32_t n, bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if ((w & scc_word::done) || !(w & scc_word::unspread)) return;
  const uint32_t id = w & scc_word::id_mask;
  bool wrote = false;
  run_chain(i, [&](uint32_t u, auto push) {
    // Whoever clears a node's bit spreads the marks it had then; a mark that
    // arrives later sets the bit again. A node left on the stack keeps its
    // bit for the next pass, which the change flag asks for.
    const uint32_t before = atomicAnd(scc_id + u, ~scc_word::unspread);
    if (!(before & scc_word::unspread)) return;
    if (before & scc_word::forward)
      wrote = spread_mark(scc_id, u, id, scc_word::forward, succ_begin, succ_array, n_succ, push) || wrote;
    if (before & scc_word::backward)
      wrote = spread_mark(scc_id, u, id, scc_word::backward, pred_begin, pred_array, n_pred, push) || wrote;
  });
  if (wrote) *changed = true;
}

namespace {

// A live member of partition id. A trimmed pivot keeps the partition's id in
// its word but is done, and lies on no cycle of the partition.
__device__ inline bool live_in(uint32_t x, uint32_t id) {
  return (x & scc_word::id_mask) == id && !(x & scc_word::done);
}

// Trims live node v of partition id when it has no successor or no
// predecessor (other than itself) left in the partition. Partitions only
// lose members while trimming, so a node trimmed once stays rightly trimmed
// whatever other threads do meanwhile.
__device__ inline bool trim(uint32_t* scc_id, uint32_t v, uint32_t id, const uint32_t* succ_begin,
                            const uint32_t* succ_array, const uint32_t* n_succ, const uint32_t* pred_begin,
                            const uint32_t* pred_array, const uint32_t* n_pred) {
  bool self_loop = false;
  bool has_succ = false;
  {
    const uint32_t begin = succ_begin[v], end = begin + n_succ[v];
    for (uint32_t j = begin; j < end; ++j) {
      const uint32_t u = succ_array[j];
      if (u == v) {
        self_loop = true;
      } else if (live_in(scc_id[u], id)) {
        has_succ = true;
      }
    }
  }
  bool has_pred = false;
  {
    const uint32_t begin = pred_begin[v], end = begin + n_pred[v];
    for (uint32_t j = begin; j < end && !has_pred; ++j) {
      const uint32_t u = pred_array[j];
      if (u != v && live_in(scc_id[u], id)) has_pred = true;
    }
  }
  if (has_succ && has_pred) return false;
  scc_id[v] = v | (self_loop ? scc_word::trivial_loop : scc_word::trivial);
  return true;
}

}  // namespace

__global__ void remove_trivial_sccs(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                    const uint32_t* n_succ, const uint32_t* pred_begin,
                                    const uint32_t* pred_array, const uint32_t* n_pred, uint32_t n,
                                    bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t id = w & scc_word::id_mask;
  if (!trim(scc_id, i, id, succ_begin, succ_array, n_succ, pred_begin, pred_array, n_pred)) return;
  *changed = true;
  // A trimmed node may have been the last successor or predecessor of its
  // neighbours in the partition: they are checked at once.
  const auto check_neighbours = [&](uint32_t u, const uint32_t* begin, const uint32_t* targets,
                                    const uint32_t* count, auto push) {
    const uint32_t first = begin[u], end = first + count[u];
    for (uint32_t j = first; j < end; ++j) {
      const uint32_t v = targets[j];
      if (v != u && live_in(scc_id[v], id) &&
          trim(scc_id, v, id, succ_begin, succ_array, n_succ, pred_begin, pred_array, n_pred))
        push(v);
    }
  };
  run_chain(i, [&](uint32_t u, auto push) {
    check_neighbours(u, succ_begin, succ_array, n_succ, push);
    check_neighbours(u, pred_begin, pred_array, n_pred, push);
  });
}

__global__ void vote_scc_id(uint32_t* scc_id, uint32_t* votes, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t id = w & scc_word::id_mask;
  if ((w & (scc_word::forward | scc_word::backward)) == (scc_word::forward | scc_word::backward)) {
    scc_id[i] = id | scc_word::done;
    return;
  }
  votes[3u * id + ((w & scc_word::marks) >> 28)] = i;
}

__global__ void update_scc_id(uint32_t* scc_id, const uint32_t* votes, uint32_t n, bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t e = votes[3u * (w & scc_word::id_mask) + ((w & scc_word::marks) >> 28)];
  if (e == i) {
    scc_id[i] = e | scc_word::marks | scc_word::unspread;
    *changed = true;
  } else {
    scc_id[i] = e;
  }
}

__global__ void mark_singleton_sccs(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                    const uint32_t* n_succ, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (scc_word::is_trivial(w)) return;
  bool self_loop = false;
  const uint32_t begin = succ_begin[i], end = begin + n_succ[i];
  for (uint32_t j = begin; j < end; ++j) {
    const uint32_t v = succ_array[j];
    if (v == i) {
      self_loop = true;
    } else if (scc_id[v] == w) {
      return;  // another member: the SCC has at least two nodes
    }
  }
  scc_id[i] = i | (self_loop ? scc_word::trivial_loop : scc_word::trivial);
}

__global__ void compute_scc_rank_iteration(uint32_t* scc_rank, const uint32_t* scc_id, const uint32_t* n_succ,
                                           const uint32_t* succ_begin, const uint32_t* succ_array,
                                           const uint32_t* n_pred, const uint32_t* pred_begin,
                                           const uint32_t* pred_array, uint32_t n, bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  const uint32_t begin = succ_begin[i], end = begin + n_succ[i];
  bool leaves = false;
  uint32_t m = 0;
  for (uint32_t j = begin; j < end; ++j) {
    const uint32_t x = scc_id[succ_array[j]];
    if (x == w) continue;
    leaves = true;
    const uint32_t r = scc_rank[x & scc_word::id_mask];
    if (r > m) m = r;
  }
  if (!leaves) return;
  const uint32_t id = w & scc_word::id_mask;
  // A concurrent smaller store may overwrite this one; its thread set the
  // flag too, and the next pass restores the larger value.
  if (m + 1 <= scc_rank[id]) return;
  scc_rank[id] = m + 1;
  *changed = true;
  // Every rank written is 1 + a rank read from a successor's SCC, so ranks
  // stay at most the heights; the raise goes on to the predecessors at once.
  run_chain(i, [&](uint32_t u, auto push) {
    const uint32_t wu = scc_id[u];
    const uint32_t r = scc_rank[wu & scc_word::id_mask] + 1;
    const uint32_t first = pred_begin[u], last = first + n_pred[u];
    for (uint32_t j = first; j < last; ++j) {
      const uint32_t v = pred_array[j];
      const uint32_t x = scc_id[v];
      if (x == wu) continue;
      uint32_t& rank = scc_rank[x & scc_word::id_mask];
      if (r > rank) {
        rank = r;
        push(v);
      }
    }
  });
}

__global__ void set_scc_rank(uint32_t* scc_rank, const uint32_t* scc_id, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  scc_rank[i] = scc_rank[scc_id[i] & scc_word::id_mask];
}

__global__ void get_non_trivial_sccs_first_step(const uint32_t* scc_id, uint32_t* output, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if ((w & scc_word::id_mask) == i && !scc_word::is_trivial(w)) output[i] = 1;
}

__global__ void update_scc_id(uint32_t* scc_id, const uint32_t* new_ids, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  scc_id[i] = (w & ~scc_word::id_mask) | new_ids[w & scc_word::id_mask];
}

namespace {

const uint32_t unvisited = 0xFFFFFFFFu;

// Tarjan's SCC: its members lie on the node stack from the root up. They
// take the final word, then the SCC's rank from the SCCs its edges leave to,
// which are all finished.
__device__ void finish_scc(uint32_t root, uint32_t* scc_id, uint32_t* scc_rank, const uint32_t* node_stack,
                           uint32_t first, uint32_t end, const uint32_t* succ_begin, const uint32_t* succ_array,
                           const uint32_t* n_succ) {
  uint32_t word = scc_word::done | root;
  if (end - first == 1) {
    word = root | scc_word::trivial;
    for (uint32_t j = succ_begin[root], last = j + n_succ[root]; j < last; ++j)
      if (succ_array[j] == root) word = root | scc_word::trivial_loop;
  }
  for (uint32_t k = first; k < end; ++k) scc_id[node_stack[k]] = word;
  uint32_t rank = 0;
  for (uint32_t k = first; k < end; ++k) {
    const uint32_t u = node_stack[k];
    for (uint32_t j = succ_begin[u], last = j + n_succ[u]; j < last; ++j) {
      const uint32_t w = succ_array[j];
      if (scc_id[w] != word && scc_rank[w] + 1 > rank) rank = scc_rank[w] + 1;
    }
  }
  for (uint32_t k = first; k < end; ++k) scc_rank[node_stack[k]] = rank;
}

}  // namespace

__global__ void decompose_in_one_thread(uint32_t* scc_id, uint32_t* scc_rank, uint32_t* scratch,
                                        const uint32_t* succ_begin, const uint32_t* succ_array,
                                        const uint32_t* n_succ, uint32_t n) {
  if (blockIdx.x != 0 || threadIdx.x != 0) return;
  uint32_t* const order = scratch;               // when the search entered the node
  uint32_t* const low = scratch + n;             // the earliest entry it reaches on the stack
  uint32_t* const next_edge = scratch + 2 * n;   // its successor the search takes next
  uint32_t* const node_stack = scratch + 3 * n;  // entered, SCC not finished
  uint32_t* const path = scratch + 4 * n;        // the search's own stack
  for (uint32_t v = 0; v < n; ++v) {
    order[v] = unvisited;
    scc_id[v] = unvisited;  // no SCC yet: entered and unfinished means on the node stack
  }
  uint32_t entered = 0, stacked = 0, depth = 0;
  const auto enter = [&](uint32_t v) {
    order[v] = low[v] = entered++;
    next_edge[v] = succ_begin[v];
    node_stack[stacked++] = v;
    path[depth++] = v;
  };
  for (uint32_t start = 0; start < n; ++start) {
    if (order[start] != unvisited) continue;
    enter(start);
    while (depth > 0) {
      const uint32_t v = path[depth - 1];
      if (next_edge[v] < succ_begin[v] + n_succ[v]) {
        const uint32_t w = succ_array[next_edge[v]++];
        if (order[w] == unvisited) {
          enter(w);
        } else if (scc_id[w] == unvisited && order[w] < low[v]) {
          low[v] = order[w];
        }
        continue;
      }
      --depth;
      if (depth > 0 && low[v] < low[path[depth - 1]]) low[path[depth - 1]] = low[v];
      if (low[v] != order[v]) continue;
      uint32_t first = stacked;
      while (node_stack[first - 1] != v) --first;
      --first;
      finish_scc(v, scc_id, scc_rank, node_stack, first, stacked, succ_begin, succ_array, n_succ);
      stacked = first;
    }
  }
}

}  // namespace scc
}  // namespace kernel

void launch_scc_graph_pass(SccGraphPass pass, unsigned int grid, unsigned int block, uint32_t* scc_id,
                           const uint32_t* succ_begin, const uint32_t* succ_array, const uint32_t* n_succ,
                           const uint32_t* pred_begin, const uint32_t* pred_array, const uint32_t* n_pred, uint32_t n,
                           bool* changed) {
  if (pass == SccGraphPass::trimming) {
    launch_fixed_kernel<kernel::scc::remove_trivial_sccs>(grid, block, 0, scc_id, succ_begin, succ_array, n_succ,
                                                          pred_begin, pred_array, n_pred, n, changed);
  } else {
    launch_fixed_kernel<kernel::scc::pivot_propagation>(grid, block, 0, scc_id, succ_begin, succ_array, n_succ,
                                                        pred_begin, pred_array, n_pred, n, changed);
  }
}

void launch_scc_rank_pass(unsigned int grid, unsigned int block, uint32_t* scc_rank, const uint32_t* scc_id,
                          const uint32_t* n_succ, const uint32_t* succ_begin, const uint32_t* succ_array,
                          const uint32_t* n_pred, const uint32_t* pred_begin, const uint32_t* pred_array, uint32_t n,
                          bool* changed) {
  launch_fixed_kernel<kernel::scc::compute_scc_rank_iteration>(grid, block, 0, scc_rank, scc_id, n_succ, succ_begin,
                                                               succ_array, n_pred, pred_begin, pred_array, n, changed);
}
