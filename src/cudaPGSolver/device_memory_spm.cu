// The DeviceMemoryPtr members that belong to the progress-measure solvers:
// their working buffers and the work-list bookkeeping.
#include <cstddef>
#include <string>
#include <utility>

#include <thrust/execution_policy.h>
#include <thrust/functional.h>
#include <thrust/scan.h>

#include "common/check_cuda.h"
#include "common/launch.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "kernels/auxiliary_kernel.h"

namespace {

const unsigned int aux_block = 256;

// In-place exclusive prefix sum of n + 1 flags; returns the total (entry n).
uint32_t exclusive_positions(uint32_t* flags, uint32_t n) {
  thrust::exclusive_scan(thrust::device, flags, flags + static_cast<std::size_t>(n) + 1, flags, 0u,
                         thrust::plus<unsigned int>());
  uint32_t total = 0;
  check_cuda(cudaMemcpy(&total, flags + n, sizeof total, cudaMemcpyDeviceToHost),
             "error while copying the work list length to the host");
  return total;
}

}  // namespace

void DeviceMemoryPtr::allocate_rank_counter(uint32_t count) {
  if (rank_counter) {
    throw std::string("Error in \"DeviceMemoryPtr::allocate_rank_counter\": buffer has already been allocated\"");
  }
  check_cuda(cudaMalloc(reinterpret_cast<void**>(&rank_counter), static_cast<std::size_t>(count) * 4),
             "error allocating rank_counter");
}

void DeviceMemoryPtr::allocate_valuation(uint32_t valuation_dim) {
  if (valuation || valuation_next) {
    throw std::string(
        "Error in \"DeviceMemoryPtr::allocate_valuation\": at least one buffer has already been allocated\"");
  }
  const std::size_t bytes = static_cast<std::size_t>(n_nodes) * valuation_dim * 4;
  check_cuda(cudaMalloc(reinterpret_cast<void**>(&valuation), bytes), "error allocating valuation");
  check_cuda(cudaMalloc(reinterpret_cast<void**>(&valuation_next), bytes), "error allocating valuation_next");
}

void DeviceMemoryPtr::initialize_valuation(uint32_t valuation_dim) {
  // A memset rather than a clearing kernel: on small games with many colour
  // ranks, a thread per word cost as much as the lifting.
  const std::size_t bytes = static_cast<std::size_t>(n_nodes) * valuation_dim * 4;
  check_cuda(cudaMemsetAsync(valuation, 0, bytes, 0), "error while clearing valuation");
  check_cuda(cudaMemsetAsync(valuation_next, 0, bytes, 0), "error while clearing valuation_next");
}

void DeviceMemoryPtr::reset_work_list() {
  launch_kernel(kernel::initialize_work_list, blocks_for(n_nodes, aux_block), aux_block, 0, work_list, n_nodes);
}

uint32_t DeviceMemoryPtr::rebuild_work_list() {
  const uint32_t count = exclusive_positions(work_list_permutation, n_nodes);
  launch_kernel(kernel::update_work_list, blocks_for(n_nodes, aux_block), aux_block, 0, work_list,
                work_list_permutation, n_nodes);
  return count;
}

uint32_t DeviceMemoryPtr::compact_active_nodes(uint32_t count) {
  launch_kernel(kernel::setup_permutation_oan, blocks_for(count, aux_block), aux_block, 0, color, work_list,
                work_list_permutation, count);
  const uint32_t new_count = exclusive_positions(work_list_permutation, count);
  launch_kernel(kernel::update_active_nodes_oan, blocks_for(count, aux_block), aux_block, 0, work_list,
                work_list_next, work_list_permutation, count);
  std::swap(work_list, work_list_next);
  return new_count;
}
