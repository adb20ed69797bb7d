#include <thrust/copy.h>
#include <thrust/execution_policy.h>
#include <thrust/iterator/counting_iterator.h>

#include "arena/gpu_arena.h"
#include "common/device_vector.h"
#include "common/launch.h"
#include "common/scoped_device_array.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"
#include "recursive/device_worklist.h"

namespace preprocess {

void compute_scc_begin(std::vector<uint32_t>& scc_begin, const uint32_t* scc_id, const cudaGpuArena& arena) {
  const uint32_t n = arena.n_nodes;
  scc_begin.clear();
  if (n == 0) return;
  ScopedDeviceArray<uint32_t> stencil(n);
  const LaunchShape shape = shape_for(n);
  launch_kernel(kernel::preproc::compute_scc_begin_stencil, shape.grid, shape.block, 0, stencil.get(), scc_id, n);
  DeviceVector<uint32_t> starts(n, 0);
  uint32_t* out = get_raw_pointer(starts);
  uint32_t* end = thrust::copy_if(thrust::device, thrust::counting_iterator<uint32_t>(0),
                                  thrust::counting_iterator<uint32_t>(n), stencil.get(), out, is_equal{1});
  scc_begin.resize(static_cast<std::size_t>(end - out));
  copy_array<Space::host, Space::device>(scc_begin.data(), out, scc_begin.size());
  stencil.release();
}

}  // namespace preprocess
