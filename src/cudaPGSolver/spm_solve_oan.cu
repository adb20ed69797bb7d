#include <algorithm>

#include "common/device_flag.h"
#include "common/launch.h"
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"

void spm_active_nodes_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           TimeList* list, SpmStats* stats, LiftPassKernel lift, SpmVariant variant) {
  const SpmLaunch launch = spm_common_start(memory, game, properties, true, list, stats);
  const double started = seconds_now();
  const uint32_t n = game.n_nodes;
  // Compacting pays only while the launch has more blocks than multiprocessors.
  const unsigned int multiprocessors = static_cast<unsigned int>(std::max(properties.multiProcessorCount, 0));
  const kernel::LiftArgs args = spm_lift_args(memory, n, launch);
  uint32_t count = n;
  uint32_t since_compaction = 0;
  unsigned int grid = blocks_for(count, launch.block_size);
  SpmSchedule schedule(variant.one_sided, n);
  uint32_t passes_run = 0;
  kernel::PassArgs pass = spm_pass_args(memory, kernel::listed_nodes, memory.work_list, count, nullptr);
  for (;;) {
    start_spm_batch(memory, launch, schedule, n, pass);
    bool done = false;
    for (unsigned int i = 0; i < schedule.passes() && !done; ++i) {
      // The report covers the batch's last pass (see SpmSchedule), or each.
      if (spm_pass_reports(i, schedule.passes())) clear_pass_report(memory);
      if (grid > multiprocessors && ++since_compaction > 10) {
        since_compaction = 0;
        count = memory.compact_active_nodes(count);
        check_launch("kernel::update_active_nodes_oan");
        grid = blocks_for(count, launch.block_size);
        if (stats) stats->compactions.push_back(SpmStats::Compaction{stats->iterations + 1, count});
      }
      pass.list = memory.work_list;  // compaction may have moved it
      pass.count = count;
      launch_lift_pass(lift, grid, launch, args, pass, variant, stats, count, passes_run);
      done = spm_done_before_batch_end(memory, n, launch, variant.one_sided, i, schedule.passes());
    }
    if (done) break;
    const uint32_t report = end_spm_batch(memory, launch, schedule);
    if (spm_loop_done(memory, n, launch, variant.one_sided, report)) break;
    if (spm_worth_checking(variant.one_sided, report)) {
      // One pass over every undecided node without chains, to see whether
      // the stable class is at its fixed point.
      clear_pass_report(memory);
      const kernel::PassArgs unchained =
          spm_pass_args(memory, kernel::listed_nodes, memory.work_list, count, nullptr, false);
      launch_lift_pass(lift, grid, launch, args, unchained, variant, stats, count, passes_run);
      if (spm_loop_done(memory, n, launch, variant.one_sided, read_pass_report(memory), false)) break;
    }
  }
  if (stats) stats->lifting_seconds = seconds_now() - started;
}

void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats) {
  spm_active_nodes_loop(memory, game, properties, list, stats, kernel::spm_lift_pass,
                        SpmVariant{"kernel::spm_iteration_oan", false});
}

void spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list) {
  spm_solve_oan(memory, game, properties, list, nullptr);
}
