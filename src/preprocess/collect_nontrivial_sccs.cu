#include <thrust/copy.h>
#include <thrust/execution_policy.h>
#include <thrust/fill.h>

#include "arena/gpu_arena.h"
#include "common/device_vector.h"
#include "common/launch.h"
#include "common/scoped_device_array.h"
#include "kernels/scc_kernels.h"
#include "preprocess/cuda_preprocess.h"
#include "recursive/device_worklist.h"

namespace preprocess {

void collect_nontrivial_sccs(std::vector<uint32_t>& nontrivial, const cudaGpuArena& arena, const uint32_t* scc_id) {
  const uint32_t n = arena.n_nodes;
  nontrivial.clear();
  if (n == 0) return;
  ScopedDeviceArray<uint32_t> stencil(n);
  thrust::fill(thrust::device, stencil.get(), stencil.get() + n, 0u);
  const LaunchShape shape = shape_for(n);
  launch_kernel(kernel::scc::get_non_trivial_sccs_first_step, shape.grid, shape.block, 0, scc_id, stencil.get(), n);
  DeviceVector<uint32_t> words(n);
  uint32_t* out = get_raw_pointer(words);
  uint32_t* end = thrust::copy_if(thrust::device, scc_id, scc_id + n, stencil.get(), out, is_equal{1});
  nontrivial.resize(static_cast<std::size_t>(end - out));
  if (!nontrivial.empty()) copy_array<Space::host, Space::device>(nontrivial.data(), out, nontrivial.size());
  stencil.release();
}

}  // namespace preprocess
