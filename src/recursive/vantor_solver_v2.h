#pragma once
#include <cstdint>
#include "recursive/level_recursion.h"

class cudaGpuArena;

// Zielonka's algorithm on the device arrays of a cudaGpuArena, with the
// all-nodes attractor and its own changed byte. One solver per solve.
class VantorSolverV2 {
 public:
  explicit VantorSolverV2(uint32_t n);
  VantorSolverV2(const VantorSolverV2&) = delete;
  VantorSolverV2& operator=(const VantorSolverV2&) = delete;
  ~VantorSolverV2();
  // Leaves the won marks (0 Even, 1 Odd) in arena.device.color. When
  // arena.device.strategy is allocated, fills it with the winners' strategies
  // (see LevelRecursion::solve), by the arena's node index (file order: the
  // solver renumbers nothing).
  void solve(cudaGpuArena& arena);

  LevelRecursion levels;
  bool* changed = nullptr;  // device, two bytes: the attractor's changed flags
};
