#include "kernels/scc_kernels.h"

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
  scc_id[i] = i == p ? (p | scc_word::forward | scc_word::backward) : p;
}

namespace {

// Nodes a propagation chain keeps to visit, and visits it makes per thread
// and pass.
const uint32_t propagation_stack = 32;
const uint32_t propagation_budget = 256;

// Spreads the mark `flag` of partition id from node i along the edges
// [begin[u], begin[u] + count[u]) of each marked node u: the neighbours it
// marks are visited in the same pass (a chain), as far as the stack and the
// budget reach. A node left unvisited is marked, and the pass reports a
// change, so the next pass spreads from it. Returns whether it marked any.
__device__ inline bool spread_mark(uint32_t* scc_id, uint32_t i, uint32_t id, uint32_t flag, const uint32_t* begin,
                                   const uint32_t* targets, const uint32_t* count) {
  uint32_t stack[propagation_stack];
  uint32_t depth = 0;
  bool wrote = false;
  stack[depth++] = i;
  for (uint32_t visits = 0; depth > 0 && visits < propagation_budget; ++visits) {
    const uint32_t u = stack[--depth];
    const uint32_t first = begin[u], end = first + count[u];
    for (uint32_t j = first; j < end; ++j) {
      const uint32_t v = targets[j];
      if (v == u) continue;
      const uint32_t x = scc_id[v];
      if ((x & scc_word::id_mask) == id && !(x & flag)) {
        scc_id[v] = x | flag;
        wrote = true;
        if (depth < propagation_stack) stack[depth++] = v;
      }
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
  if (w & scc_word::done) return;
  const uint32_t id = w & scc_word::id_mask;
  // Marks of other threads may be lost to a concurrent store into the same
  // word; the thread that lost its mark has set the flag, so another pass
  // follows, in which every marked node spreads its marks again.
  bool wrote = false;
  if (w & scc_word::forward) wrote = spread_mark(scc_id, i, id, scc_word::forward, succ_begin, succ_array, n_succ);
  if (w & scc_word::backward)
    wrote = spread_mark(scc_id, i, id, scc_word::backward, pred_begin, pred_array, n_pred) || wrote;
  if (wrote) *changed = true;
}

__global__ void remove_trivial_sccs(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                    const uint32_t* n_succ, const uint32_t* pred_begin,
                                    const uint32_t* pred_array, const uint32_t* n_pred, uint32_t n,
                                    bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t id = w & scc_word::id_mask;
  bool self_loop = false;
  bool has_succ = false;
  {
    const uint32_t begin = succ_begin[i], end = begin + n_succ[i];
    for (uint32_t j = begin; j < end; ++j) {
      const uint32_t v = succ_array[j];
      if (v == i) {
        self_loop = true;
      } else if ((scc_id[v] & scc_word::id_mask) == id) {
        has_succ = true;
      }
    }
  }
  bool has_pred = false;
  {
    const uint32_t begin = pred_begin[i], end = begin + n_pred[i];
    for (uint32_t j = begin; j < end && !has_pred; ++j) {
      const uint32_t v = pred_array[j];
      if (v != i && (scc_id[v] & scc_word::id_mask) == id) has_pred = true;
    }
  }
  if (has_succ && has_pred) return;
  *changed = true;
  scc_id[i] = i | (self_loop ? scc_word::trivial_loop : scc_word::trivial);
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
  votes[3u * id + (w >> 28)] = i;
}

__global__ void update_scc_id(uint32_t* scc_id, const uint32_t* votes, uint32_t n, bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t e = votes[3u * (w & scc_word::id_mask) + (w >> 28)];
  if (e == i) {
    scc_id[i] = e | scc_word::forward | scc_word::backward;
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
                                           const uint32_t* succ_begin, const uint32_t* succ_array, uint32_t n,
                                           bool* changed) {
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
  if (m + 1 > scc_rank[id]) {
    scc_rank[id] = m + 1;
    *changed = true;
  }
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

}  // namespace scc
}  // namespace kernel
