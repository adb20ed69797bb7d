#include <algorithm>
#include <utility>

#include "common/launch.h"
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"

void spm_active_nodes_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           TimeList* list, SpmStats* stats, ActiveNodesLiftKernel lift, SpmVariant variant) {
  const SpmLaunch launch = spm_common_start(memory, game, properties, true, list, stats);
  const double started = seconds_now();
  const uint32_t n = game.n_nodes;
  // Compacting pays only while the launch has more blocks than multiprocessors.
  const unsigned int multiprocessors = static_cast<unsigned int>(std::max(properties.multiProcessorCount, 0));
  uint32_t count = n;
  uint32_t since_compaction = 0;
  unsigned int grid = blocks_for(count, launch.block_size);
  for (;;) {
    store_go_on(memory, false);
    if (grid > multiprocessors && ++since_compaction > 10) {
      since_compaction = 0;
      count = memory.compact_active_nodes(count);
      check_launch("kernel::update_active_nodes_oan");
      grid = blocks_for(count, launch.block_size);
      if (stats) stats->compactions.push_back(SpmStats::Compaction{stats->iterations + 1, count});
    }
    synchronize(variant.kernel_name);
    launch_kernel(lift, grid, launch.block_size, launch.shared_bytes, memory.rank_counter, memory.valuation,
                  memory.valuation_next, memory.go_on, memory.color, memory.owner, memory.n_succ,
                  memory.succ_begin, memory.succ_array, memory.work_list, count, n, launch.valuation_dim,
                  launch.top_parity);
    check_launch(variant.kernel_name);
    synchronize(variant.kernel_name);
    if (stats) {
      ++stats->iterations;
      stats->lifted += count;
    }
    if (!load_go_on(memory)) break;
    // Every undecided node is listed and wrote its row.
    std::swap(memory.valuation, memory.valuation_next);
  }
  if (variant.one_sided) finalize_simple_spm(memory, n, launch.top_parity);
  if (stats) stats->lifting_seconds = seconds_now() - started;
}

void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats) {
  spm_active_nodes_loop(memory, game, properties, list, stats, kernel::spm_iteration_oan,
                        SpmVariant{"kernel::spm_iteration_oan", false});
}

void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list) {
  spm_solve_oan(memory, game, properties, list, nullptr);
}
