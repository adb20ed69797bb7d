#include "kernels/auxiliary_kernel.h"

namespace kernel {

namespace {
__device__ inline unsigned int global_index() { return blockIdx.x * blockDim.x + threadIdx.x; }
}  // namespace

__global__ void zero_mem(unsigned int* a, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) a[i] = 0;
}

__global__ void reorderEdges(const unsigned int* new_index, const unsigned int* old_begin,
                             const unsigned int* old_array, const unsigned int* new_count,
                             const unsigned int* new_begin, unsigned int* new_array, unsigned int n) {
  const unsigned int i = global_index();
  if (i >= n) return;
  const unsigned int j = new_index[i];
  const unsigned int count = new_count[j];
  const unsigned int from = old_begin[i];
  const unsigned int to = new_begin[j];
  for (unsigned int t = 0; t < count; ++t) new_array[to + t] = new_index[old_array[from + t]];
}

__global__ void initialize_work_list(unsigned int* list, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) list[i] = i;
}

__global__ void update_work_list(unsigned int* list, const unsigned int* pos, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n && pos[i] != pos[i + 1]) list[pos[i]] = i;
}

__global__ void setup_permutation_oan(unsigned short* color, const unsigned int* list, unsigned int* flags,
                                      unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) flags[i] = color[list[i]] > 1 ? 1u : 0u;
}

__global__ void update_active_nodes_oan(const unsigned int* list, unsigned int* list_next, const unsigned int* pos,
                                        unsigned int n) {
  const unsigned int i = global_index();
  if (i < n && pos[i] != pos[i + 1]) list_next[pos[i]] = list[i];
}

namespace preproc {
namespace old {

__global__ void determine_used_colors(unsigned short* used, const unsigned short* color, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) used[color[i]] = 1;
}

__global__ void set_colors(unsigned short* color, const unsigned short* map, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) color[i] = map[color[i]];
}

__global__ void count_rank(unsigned int* out, const unsigned short* color, unsigned short rank, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) out[i] = (color[i] >> 1) == rank ? 1u : 0u;
}

__global__ void count_ranks(unsigned int* counts, const unsigned short* color, unsigned int n) {
  const unsigned int i = global_index();
  if (i < n) atomicAdd(counts + (color[i] >> 1), 1u);
}

}  // namespace old
}  // namespace preproc

}  // namespace kernel
