#pragma once
#include <cstdint>
#include <memory>
#include "common/platform.h"
#include "recursive/device_worklist.h"
#include "recursive/level_recursion.h"

struct DeviceMemoryPtr;
struct ParityGame;
class TimeList;

// Zielonka's algorithm on the device arrays of a DeviceMemoryPtr, with the
// work-list attractor. One solver per solve.
class VantorSolver {
 public:
  explicit VantorSolver(uint32_t n);
  // Leaves the won marks (0 Even, 1 Odd) in memory.color; the colours are lost.
  // When memory.strategy is allocated, fills it with the winners' strategies
  // (see LevelRecursion::solve), by node index of the game.
  void solve(DeviceMemoryPtr& memory);

  LevelRecursion levels;
  // The attractors' work list, one for the solve, made by the first one.
  std::unique_ptr<DeviceWorklist> attractor_list;
};

// The solver of alg_id 9 in the table of the CSR road.
void recursive_solve(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                     TimeList* list);
