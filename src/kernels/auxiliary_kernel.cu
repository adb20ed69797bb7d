#include "kernels/auxiliary_kernel.h"

namespace kernel {

__global__ void zero_mem(unsigned int* a, unsigned int n) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) a[i] = 0;
}

__global__ void reorderEdges(const unsigned int* new_index, const unsigned int* old_begin,
                             const unsigned int* old_array, const unsigned int* new_count,
                             const unsigned int* new_begin, unsigned int* new_array, unsigned int n) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n) return;
  const unsigned int j = new_index[i];
  const unsigned int count = new_count[j];
  const unsigned int from = old_begin[i];
  const unsigned int to = new_begin[j];
  for (unsigned int t = 0; t < count; ++t) new_array[to + t] = new_index[old_array[from + t]];
}

}  // namespace kernel
