#include <thrust/execution_policy.h>
#include <thrust/gather.h>
#include <thrust/iterator/counting_iterator.h>
#include <thrust/scatter.h>
#include <thrust/sequence.h>
#include <thrust/sort.h>

#include "arena/gpu_arena.h"
#include "common/launch.h"
#include "kernels/scc_kernels.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

namespace {
typedef void (*RenameIds)(uint32_t*, const uint32_t*, uint32_t);
}

void sort_by_scc_rank(cudaGpuArena& arena, ScopedDeviceArray<uint32_t>& scc_id, ScopedDeviceArray<uint32_t>& scc_rank,
                      bool by_color) {
  const uint32_t n = arena.n_nodes;
  if (n == 0) return;
  ScopedDeviceArray<uint32_t> perm(n), keys(n);
  thrust::sequence(thrust::device, perm.get(), perm.get() + n);

  // Stable sorts from the least significant key up: colour, SCC word, rank.
  if (by_color) {
    ScopedDeviceArray<color_t> colors(n);
    copy_array<Space::device, Space::device>(colors.get(), arena.device.color, n);
    thrust::stable_sort_by_key(thrust::device, colors.get(), colors.get() + n, perm.get());
    colors.release();
    thrust::gather(thrust::device, perm.get(), perm.get() + n, scc_id.get(), keys.get());
  } else {
    copy_array<Space::device, Space::device>(keys.get(), scc_id.get(), n);
  }
  thrust::stable_sort_by_key(thrust::device, keys.get(), keys.get() + n, perm.get());
  thrust::gather(thrust::device, perm.get(), perm.get() + n, scc_rank.get(), keys.get());
  thrust::stable_sort_by_key(thrust::device, keys.get(), keys.get() + n, perm.get());

  // keys becomes the new index of every old index.
  thrust::scatter(thrust::device, thrust::counting_iterator<uint32_t>(0), thrust::counting_iterator<uint32_t>(n),
                  perm.get(), keys.get());

  ScopedDeviceArray<uint32_t> moved(n);
  thrust::gather(thrust::device, perm.get(), perm.get() + n, scc_id.get(), moved.get());
  scc_id.swap(moved);
  const LaunchShape shape = shape_for(n);
  launch_kernel(static_cast<RenameIds>(kernel::scc::update_scc_id), shape.grid, shape.block, 0, scc_id.get(),
                static_cast<const uint32_t*>(keys.get()), n);
  thrust::gather(thrust::device, perm.get(), perm.get() + n, scc_rank.get(), moved.get());
  scc_rank.swap(moved);
  moved.release();

  arena.permute(keys.get());
  keys.release();
  perm.release();
}

}  // namespace preprocess
