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

__global__ void disable_attractor_nodes(unsigned int* active, unsigned int* attr, unsigned int* list,
                                        unsigned int n) {
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

}  // namespace kernel
