#include <utility>

#include "common/launch.h"
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"

void spm_node_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats, NodeLiftKernel lift, SpmVariant variant) {
  const SpmLaunch launch = spm_common_start(memory, game, properties, false, list, stats);
  const double started = seconds_now();
  const uint32_t n = game.n_nodes;
  const unsigned int grid = blocks_for(n, launch.block_size);
  for (;;) {
    store_go_on(memory, false);
    synchronize(variant.kernel_name);
    launch_kernel(lift, grid, launch.block_size, launch.shared_bytes, memory.rank_counter, memory.valuation,
                  memory.valuation_next, memory.go_on, memory.color, memory.owner, memory.n_succ,
                  memory.succ_begin, memory.succ_array, n, launch.valuation_dim, launch.top_parity);
    check_launch(variant.kernel_name);
    synchronize(variant.kernel_name);
    if (stats) {
      ++stats->iterations;
      stats->lifted += n;
    }
    if (!load_go_on(memory)) break;
    // This iteration's measures are the next one's input.
    std::swap(memory.valuation, memory.valuation_next);
  }
  if (variant.one_sided) finalize_simple_spm(memory, n, launch.top_parity);
  if (stats) stats->lifting_seconds = seconds_now() - started;
}

void spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties, TimeList* list,
               SpmStats* stats) {
  spm_node_loop(memory, game, properties, list, stats, kernel::spm_iteration,
                SpmVariant{"kernel::spm_iteration", false});
}

void spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties, TimeList* list) {
  spm_solve(memory, game, properties, list, nullptr);
}
