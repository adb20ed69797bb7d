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

__global__ void pivot_propagation(uint32_t* scc_id, const uint32_t* succ_begin, const uint32_t* succ_array,
                                  const uint32_t* n_succ, const uint32_t* pred_begin, const uint32_t* pred_array,
                                  const uint32_t* n_pred, uint32_t n, bool* changed) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t w = scc_id[i];
  if (w & scc_word::done) return;
  const uint32_t id = w & scc_word::id_mask;
  bool wrote = false;
  // Marks of other threads may be lost to a concurrent store into the same
  // word; the thread that lost its mark has set the flag, so another pass
  // follows and sets it again.
  if (w & scc_word::forward) {
    const uint32_t begin = succ_begin[i], end = begin + n_succ[i];
    for (uint32_t j = begin; j < end; ++j) {
      const uint32_t v = succ_array[j];
      if (v == i) continue;
      const uint32_t x = scc_id[v];
      if ((x & scc_word::id_mask) == id && !(x & scc_word::forward)) {
        scc_id[v] = x | scc_word::forward;
        wrote = true;
      }
    }
  }
  if (w & scc_word::backward) {
    const uint32_t begin = pred_begin[i], end = begin + n_pred[i];
    for (uint32_t j = begin; j < end; ++j) {
      const uint32_t v = pred_array[j];
      if (v == i) continue;
      const uint32_t x = scc_id[v];
      if ((x & scc_word::id_mask) == id && !(x & scc_word::backward)) {
        scc_id[v] = x | scc_word::backward;
        wrote = true;
      }
    }
  }
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
