#include "recursive/vantor_solver.h"

#include "cudaPGSolver/device_memory_ptr.h"
#include "recursive/attractor.h"

VantorSolver::VantorSolver(uint32_t n) : levels(n) {}

void VantorSolver::solve(DeviceMemoryPtr& memory) {
  StrategyArrays strategies;
  strategies.strategy = memory.strategy;
  strategies.owner = memory.owner;
  strategies.n_succ = memory.n_succ;
  strategies.succ_begin = memory.succ_begin;
  strategies.succ_array = memory.succ_array;
  levels.solve(
      memory.color,
      [this, &memory](uint32_t* attr_array, unsigned int player) {
        if (!attractor_list) attractor_list.reset(new DeviceWorklist(memory.n_nodes));
        compute_attractor(memory, attr_array, player, *attractor_list, memory.strategy);
      },
      strategies);
}

void recursive_solve(DeviceMemoryPtr& memory, const ParityGame&, const cudaDeviceProp&, TimeList*) {
  VantorSolver solver(memory.n_nodes);
  solver.solve(memory);
}
