#include "kernels/attraktor_kernel.h"

#include "common/launch.h"

namespace kernel {
namespace {

// Even's rule: found = some successor w with 2 - attr[w] == owner, i.e. a
// successor in the attractor for an Even node, one still in the sub-game for
// an Odd node; the node joins when found differs from its owner. A joining
// Even node records w, the successor it joins by, when strategy is given.
__device__ __forceinline__ void attract_even(bool* changed, const unsigned char* owner, unsigned int begin,
                                             unsigned int end, const unsigned int* succ_array, unsigned int v,
                                             unsigned int* attr, unsigned int* strategy) {
  const unsigned int o = owner[v];
  bool found = false;
  unsigned int via = 0;
  for (unsigned int k = begin; k < end; ++k) {
    via = succ_array[k];
    if (2u - attr[via] == o) {
      found = true;
      break;
    }
  }
  if (static_cast<unsigned int>(found) != o) {
    if (strategy != nullptr && o == 0) strategy[v] = via;
    attr[v] = 2;
    *changed = true;
  }
}

// Odd's rule: found = some successor w with attr[w] == owner + 1, i.e. one in
// the attractor for an Odd node, one still in the sub-game for an Even node;
// the node joins when found equals its owner. A joining Odd node records w
// when strategy is given.
__device__ __forceinline__ void attract_odd(bool* changed, const unsigned char* owner, unsigned int begin,
                                            unsigned int end, const unsigned int* succ_array, unsigned int v,
                                            unsigned int* attr, unsigned int* strategy) {
  const unsigned int o = owner[v];
  bool found = false;
  unsigned int via = 0;
  for (unsigned int k = begin; k < end; ++k) {
    via = succ_array[k];
    if (attr[via] == o + 1u) {
      found = true;
      break;
    }
  }
  if (static_cast<unsigned int>(found) == o) {
    if (strategy != nullptr && o == 1) strategy[v] = via;
    attr[v] = 2;
    *changed = true;
  }
}

}  // namespace

__global__ void attraktor_forward_even(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                       const unsigned int* succ_begin, unsigned int* succ_array,
                                       unsigned int* work_list, unsigned int n_work, unsigned int* attr, unsigned int* strategy) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n_work) return;
  const unsigned int v = work_list[t];
  attract_even(changed, owner, succ_begin[v], succ_begin[v] + n_succ[v], succ_array, v, attr, strategy);
}

__global__ void attraktor_forward_odd(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                      const unsigned int* succ_begin, unsigned int* succ_array,
                                      unsigned int* work_list, unsigned int n_work, unsigned int* attr, unsigned int* strategy) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n_work) return;
  const unsigned int v = work_list[t];
  attract_odd(changed, owner, succ_begin[v], succ_begin[v] + n_succ[v], succ_array, v, attr, strategy);
}

__global__ void attraktor_forward_even_no_wl(bool* changed, const unsigned char* owner, unsigned int* /*n_succ*/,
                                             const unsigned int* succ_begin, unsigned int* succ_array,
                                             unsigned int n_nodes, unsigned int* attr, unsigned int* strategy) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v >= n_nodes || attr[v] != 1) return;
  attract_even(changed, owner, succ_begin[v], succ_begin[v + 1], succ_array, v, attr, strategy);
}

__global__ void attraktor_forward_odd_no_wl(bool* changed, const unsigned char* owner, unsigned int* /*n_succ*/,
                                            const unsigned int* succ_begin, unsigned int* succ_array,
                                            unsigned int n_nodes, unsigned int* attr, unsigned int* strategy) {
  const unsigned int v = blockIdx.x * blockDim.x + threadIdx.x;
  if (v >= n_nodes || attr[v] != 1) return;
  attract_odd(changed, owner, succ_begin[v], succ_begin[v + 1], succ_array, v, attr, strategy);
}

}  // namespace kernel

void launch_attractor_pass_no_wl(unsigned int p, unsigned int n_blocks, bool* changed, const unsigned char* owner,
                                 unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                 unsigned int n_nodes, unsigned int* attr, unsigned int* strategy) {
  if (p == 0) {
    launch_fixed_kernel<kernel::attraktor_forward_even_no_wl>(n_blocks, 256, 0, changed, owner, n_succ, succ_begin,
                                                              succ_array, n_nodes, attr, strategy);
  } else {
    launch_fixed_kernel<kernel::attraktor_forward_odd_no_wl>(n_blocks, 256, 0, changed, owner, n_succ, succ_begin,
                                                             succ_array, n_nodes, attr, strategy);
  }
}
