#include "kernels/recursive_kernel.h"

namespace kernel {

__global__ void shift_color(unsigned short* color, unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t < n) color[t] = static_cast<unsigned short>(color[t] + 2u);
}

__global__ void copy_array(unsigned short* color, unsigned int* out, unsigned int* list, unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t < n) out[t] = color[list[t]];
}

__global__ void mark_won(unsigned short* color, unsigned int mark, unsigned int* list, unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t < n) color[list[t]] = static_cast<unsigned short>(mark);
}

__global__ void find_color_for_attractor(unsigned short* color, unsigned int c, unsigned int* list, unsigned int n,
                                         unsigned int* attr) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n) return;
  const unsigned int v = list[t];
  attr[v] = color[v] == c ? 2u : 1u;
}

__global__ void find_won_for_attractor(unsigned short* color, unsigned int mark, unsigned int* active,
                                       unsigned int level, unsigned int* list, unsigned int n, unsigned int* attr) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n) return;
  const unsigned int v = list[t];
  attr[v] = active[v] > level && color[v] == mark ? 2u : 1u;
}

__global__ void disable_attractor_nodes(unsigned int* active, unsigned int* attr, unsigned int* list, unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n) return;
  const unsigned int v = list[t];
  active[v] += attr[v] & 1u;
}

__global__ void mark_attractor_won(unsigned short* color, unsigned int* active, unsigned int level, unsigned int* attr,
                                   unsigned int mark, unsigned int* list, unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n) return;
  const unsigned int v = list[t];
  active[v] = level;
  if (attr[v] == 2u) {
    color[v] = static_cast<unsigned short>(mark);
  } else {
    active[v] = level + 1u;
  }
}

__global__ void choose_successor_in_subgame(unsigned short* color, unsigned int c, const unsigned char* owner,
                                            unsigned int player, const unsigned int* n_succ,
                                            const unsigned int* succ_begin, const unsigned int* succ_array,
                                            const unsigned int* active, unsigned int level, unsigned int* list,
                                            unsigned int n, unsigned int* strategy) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t >= n) return;
  const unsigned int v = list[t];
  if (color[v] != c || owner[v] != player) return;
  const unsigned int begin = succ_begin[v];
  const unsigned int end = begin + n_succ[v];
  for (unsigned int k = begin; k < end; ++k) {
    if (active[succ_array[k]] >= level) {
      strategy[v] = succ_array[k];
      return;
    }
  }
}

__global__ void drop_lost_strategies(unsigned short* color, const unsigned char* owner, unsigned int* strategy,
                                     unsigned int n) {
  const unsigned int t = blockIdx.x * blockDim.x + threadIdx.x;
  if (t < n && color[t] != owner[t]) strategy[t] = 0xFFFFFFFFu;
}

}  // namespace kernel
