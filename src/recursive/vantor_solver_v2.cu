#include "recursive/vantor_solver_v2.h"

#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "recursive/attractor.h"

VantorSolverV2::VantorSolverV2(uint32_t n) : levels(n) { alloc_array<Space::device>(changed, 2); }

VantorSolverV2::~VantorSolverV2() {
  if (changed != nullptr) cudaFree(changed);
}

void VantorSolverV2::solve(cudaGpuArena& arena) {
  levels.solve(arena.device.color, [this, &arena](uint32_t* attr_array, unsigned int player) {
    compute_attractor(arena, attr_array, changed, levels.n_blocks, player);
  });
}
