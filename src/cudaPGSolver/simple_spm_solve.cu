// The one-sided solvers: the loops of the two-sided ones with the simple lift
// and the final kernel.
#include "cudaPGSolver/spm_loops.h"
#include "cudaPGSolver/spm_solvers.h"
#include "kernels/simple_spm_kernel.h"

void simple_spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                      TimeList* list, SpmStats* stats) {
  spm_node_loop(memory, game, properties, list, stats, kernel::simple_spm_lift_pass,
                SpmVariant{"kernel::simple_spm_iteration", true});
}

void simple_spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                         TimeList* list, SpmStats* stats) {
  spm_work_list_loop(memory, game, properties, list, stats, kernel::simple_spm_lift_pass,
                     SpmVariant{"kernel::simple_spm_iteration_wl", true});
}

void simple_spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list, SpmStats* stats) {
  spm_active_nodes_loop(memory, game, properties, list, stats, kernel::simple_spm_lift_pass,
                        SpmVariant{"kernel::simple_spm_iteration_oan", true});
}

void simple_spm_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                      TimeList* list) {
  simple_spm_solve(memory, game, properties, list, nullptr);
}

void simple_spm_solve_wl(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                         TimeList* list) {
  simple_spm_solve_wl(memory, game, properties, list, nullptr);
}

void simple_spm_solve_oan(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list) {
  simple_spm_solve_oan(memory, game, properties, list, nullptr);
}
