#include <cstddef>

#include "common/check_cuda.h"
#include "common/launch.h"
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"
#include "kernels/auxiliary_kernel.h"

void spm_work_list_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                        TimeList* list, SpmStats* stats, WorkListLiftKernel lift, SpmVariant variant) {
  const SpmLaunch launch = spm_common_start(memory, game, properties, true, list, stats);
  const double started = seconds_now();
  const uint32_t n = game.n_nodes;
  const std::size_t valuation_bytes = static_cast<std::size_t>(n) * launch.valuation_dim * 4;
  uint32_t count = n;
  for (;;) {
    store_go_on(memory, false);
    // All n + 1 entries, so that the prefix sum never reads a stale flag.
    launch_kernel(kernel::zero_mem, blocks_for(n + 1, 256), 256, 0, memory.work_list_permutation, n + 1);
    // Only listed nodes write valuation_next: bring both buffers level first.
    check_cuda(cudaMemcpy(memory.valuation, memory.valuation_next, valuation_bytes, cudaMemcpyDeviceToDevice),
               "error while copying valuation_next to valuation");
    synchronize(variant.kernel_name);
    launch_kernel(lift, blocks_for(count, launch.block_size), launch.block_size, launch.shared_bytes,
                  memory.rank_counter, memory.valuation, memory.valuation_next, memory.go_on, memory.work_list,
                  memory.work_list_permutation, memory.color, memory.owner, memory.n_succ, memory.n_pred,
                  memory.succ_begin, memory.pred_begin, memory.succ_array, memory.pred_array, count, n,
                  launch.valuation_dim, launch.top_parity);
    check_launch(variant.kernel_name);
    synchronize(variant.kernel_name);
    if (stats) {
      ++stats->iterations;
      stats->lifted += count;
    }
    if (!load_go_on(memory)) break;
    count = memory.rebuild_work_list();
    check_launch("kernel::update_work_list");
    synchronize("kernel::update_work_list");
  }
  if (variant.one_sided) finalize_simple_spm(memory, n, launch.top_parity);
  if (stats) stats->lifting_seconds = seconds_now() - started;
}

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list, SpmStats* stats) {
  spm_work_list_loop(memory, game, properties, list, stats, kernel::spm_iteration_wl,
                     SpmVariant{"kernel::spm_iteration_wl", false});
}

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list) {
  spm_solve_wl(memory, game, properties, list, nullptr);
}
