#pragma once
// The three iteration loops of the progress-measure solvers, each shared by
// the two-sided and the one-sided lift: the caller passes the lifting kernel
// and whether the one-sided final kernel has to run.
#include "cudaPGSolver/spm_common.h"
#include "kernels/spm_kernel.h"

typedef decltype(&kernel::spm_iteration) NodeLiftKernel;
typedef decltype(&kernel::spm_iteration_wl) WorkListLiftKernel;
typedef decltype(&kernel::spm_iteration_oan) ActiveNodesLiftKernel;

struct SpmVariant {
  const char* kernel_name;  // for failure messages
  bool one_sided;           // runs kernel::simple_spm_iteration_finalize after the loop
};

// Lifts every node in every iteration, exchanging the valuation buffers.
void spm_node_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                   TimeList* list, SpmStats* stats, NodeLiftKernel lift, SpmVariant variant);

// Lifts the nodes of the work list; the changed nodes' predecessors form the next one.
void spm_work_list_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                        TimeList* list, SpmStats* stats, WorkListLiftKernel lift, SpmVariant variant);

// Lifts the nodes of the active list, which is compacted every eleventh
// iteration while the launch needs more blocks than the device has
// multiprocessors.
void spm_active_nodes_loop(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                           TimeList* list, SpmStats* stats, ActiveNodesLiftKernel lift, SpmVariant variant);
