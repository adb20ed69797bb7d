#include <thrust/execution_policy.h>
#include <thrust/extrema.h>

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "common/device_vector.h"
#include "common/launch.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

void determine_color_range(cudaGpuArena& arena, const uint32_t* scc_id) {
  const uint32_t n = arena.n_nodes;
  if (n == 0) {
    arena.max_color = 0;
    arena.min_color = 0xFFFF;
    return;
  }
  const LaunchShape shape = shape_for(n);
  const unsigned int grid = shape.grid, block = shape.block;
  DeviceVector<color_t> colors(n, 0);
  color_t* c = get_raw_pointer(colors);
  launch_kernel(kernel::preproc::determine_max_color_in_nontrivial_sccs, grid, block, 0, c, scc_id,
                static_cast<const color_t*>(arena.device.color), n);
  copy_array<Space::host, Space::device>(&arena.max_color, thrust::max_element(thrust::device, c, c + n), 1);
  launch_kernel(kernel::preproc::determine_min_color_in_nontrivial_sccs, grid, block, 0, c, scc_id,
                static_cast<const color_t*>(arena.device.color), n);
  copy_array<Space::host, Space::device>(&arena.min_color, thrust::min_element(thrust::device, c, c + n), 1);
}

}  // namespace preprocess
