#pragma once
// The three iteration loops of the progress-measure solvers, each shared by
// the two-sided and the one-sided lift: the caller passes the pass kernel and
// whether the one-sided final kernel has to run.
//
// Every loop lifts in place (kernels/spm_in_place.h): measures live in
// valuation and are raised where they lie; valuation_next no longer holds a
// second copy of the measures but each node's version word (the first int of
// its row), which gives every row one writer at a time and lets readers see
// a torn row, and its change stamp (the second), which lets a pass leave out
// the nodes that nothing changed for. Passes run in batches between two
// reads of the pass report.
#include "common/launch.h"
#include "cudaPGSolver/spm_common.h"
#include "kernels/spm_kernel.h"

typedef decltype(&kernel::spm_lift_pass) LiftPassKernel;

struct SpmVariant {
  const char* kernel_name;  // the variant's lifting kernel as failure messages name it
  bool one_sided;           // runs kernel::simple_spm_iteration_finalize after the loop
};

// One pass of the lifting kernel over `lifted` nodes: numbered (passes_run
// counts the loop's passes, which the change stamps refer to), launched,
// checked under the variant's kernel name, and counted in stats when they are
// kept.
inline void launch_lift_pass(LiftPassKernel lift, unsigned int grid, const SpmLaunch& launch,
                             const kernel::LiftArgs& args, kernel::PassArgs pass, SpmVariant variant,
                             SpmStats* stats, uint32_t lifted, uint32_t& passes_run) {
  pass.number = ++passes_run;
  launch_kernel(lift, grid, launch.block_size, launch.shared_bytes, args, pass);
  check_launch(variant.kernel_name);
  if (stats) {
    ++stats->iterations;
    stats->lifted += lifted;
  }
}

// Lifts every node in every pass.
void spm_node_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats, LiftPassKernel lift, SpmVariant variant);

// Lifts every node in the first pass, then only the nodes flagged in
// work_list_permutation: those whose lift had to wait.
void spm_work_list_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                        TimeList* list, SpmStats* stats, LiftPassKernel lift, SpmVariant variant);

// Lifts the nodes of the active list, which is compacted every eleventh
// pass while the launch needs more blocks than the device has
// multiprocessors.
void spm_active_nodes_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           TimeList* list, SpmStats* stats, LiftPassKernel lift, SpmVariant variant);
