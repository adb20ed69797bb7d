#include "common/check_cuda.h"
#include "common/device_flag.h"
#include "common/launch.h"
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"
#include "kernels/auxiliary_kernel.h"

void spm_work_list_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                        TimeList* list, SpmStats* stats, LiftPassKernel lift, SpmVariant variant) {
  const SpmLaunch launch = spm_common_start(memory, game, properties, false, list, stats);
  const double started = seconds_now();
  const uint32_t n = game.n_nodes;
  const unsigned int grid = blocks_for(n, launch.block_size);
  // A raised node's predecessors are lifted by the raising thread's chain;
  // the flags name only the nodes whose lift had to wait, and each pass after
  // the first lifts just those.
  check_cuda(cudaMemsetAsync(memory.work_list_permutation, 0, (static_cast<std::size_t>(n) + 1) * 4, 0),
             "error while clearing the work list flags");
  const kernel::LiftArgs args = spm_lift_args(memory, n, launch);
  bool first = true;
  SpmSchedule schedule(variant.one_sided, n);
  uint32_t passes_run = 0;
  kernel::PassArgs pass = spm_pass_args(memory, kernel::every_node, nullptr, n, memory.work_list_permutation);
  for (;;) {
    start_spm_batch(memory, launch, schedule, n, pass);
    bool done = false;
    for (unsigned int i = 0; i < schedule.passes() && !done; ++i) {
      // The report covers the batch's last pass (see SpmSchedule), or each.
      if (spm_pass_reports(i, schedule.passes())) clear_pass_report(memory);
      pass.mode = first ? kernel::every_node : kernel::flagged_nodes;
      first = false;
      launch_lift_pass(lift, grid, launch, args, pass, variant, stats, n, passes_run);
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
          spm_pass_args(memory, kernel::every_node, nullptr, n, memory.work_list_permutation, false);
      launch_lift_pass(lift, grid, launch, args, unchained, variant, stats, n, passes_run);
      if (spm_loop_done(memory, n, launch, variant.one_sided, read_pass_report(memory), false)) break;
    }
  }
  if (stats) stats->lifting_seconds = seconds_now() - started;
}

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list, SpmStats* stats) {
  spm_work_list_loop(memory, game, properties, list, stats, kernel::spm_lift_pass,
                     SpmVariant{"kernel::spm_iteration_wl", false});
}

void spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                  TimeList* list) {
  spm_solve_wl(memory, game, properties, list, nullptr);
}
