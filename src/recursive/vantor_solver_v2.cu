#include "recursive/vantor_solver_v2.h"

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "recursive/attractor.h"

VantorSolverV2::VantorSolverV2(uint32_t n) : levels(n) { alloc_array<Space::device>(changed, 2); }

VantorSolverV2::~VantorSolverV2() {
  if (changed != nullptr) cudaFree(changed);
}

void VantorSolverV2::solve(cudaGpuArena& arena) {
  const DeviceArena& d = arena.device;
  StrategyArrays strategies;
  strategies.strategy = d.strategy;
  strategies.owner = d.owner;
  strategies.n_succ = d.succ.count;
  strategies.succ_begin = d.succ.begin;
  strategies.succ_array = d.succ.targets;
  levels.solve(
      d.color,
      [this, &arena](uint32_t* attr_array, unsigned int player) {
        compute_attractor(arena, attr_array, changed, levels.n_blocks, player, arena.device.strategy);
      },
      strategies);
}
