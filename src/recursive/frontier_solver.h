#pragma once
#include <atomic>
#include <cstdint>

#include "common/scoped_device_array.h"
#include "host/types.h"
#include "recursive/frontier_attractor.h"

class cudaGpuArena;

// Thrown by FrontierSolver::solve when its stop flag was raised.
struct FrontierStopped {};

// Zielonka's recursive algorithm on the device arrays of a cudaGpuArena
// (alg 12), with frontier attractors over the predecessor lists. One solver
// per solve.
//
// Sub-games are ranges of one node list, nested: a call owns nodes[b .. e),
// moves its attractor to the end of the range and hands the front to its
// recursive call, which only permutes inside it. level[v] tells membership:
// the sub-game of level L is every v with level[v] >= L, and every node of a
// call's range has exactly the call's level when the call starts a pass.
class FrontierSolver {
 public:
  explicit FrontierSolver(uint32_t n);
  // Leaves the won marks (0 Even, 1 Odd) in arena.device.color and, when
  // arena.device.strategy is set, for every node won by its owner a winning
  // successor there. Needs the device predecessor lists.
  void solve(cudaGpuArena& arena);

  // When set, the solver checks the flag before every pass of its recursion
  // and throws FrontierStopped once it is raised; what it holds is freed with
  // the solver.
  void set_stop_flag(const std::atomic<bool>* stop) { stop_ = stop; }

  // Recursive calls made by the last solve.
  uint64_t calls = 0;
  FrontierAttractor attractor;

 private:
  struct Frame {
    uint32_t level;
    uint32_t begin;
    uint32_t end;
    uint32_t split;  // end of the recursive call's range
    unsigned int player;
  };
  enum class Next { descend, returned };

  Next pass(Frame& frame);
  Next resume(Frame& frame);
  // Moves the attracted nodes of nodes[b .. e) to its end (the attractor
  // lies in the attractor's queue) and gives every node of it its level.
  uint32_t split(const Frame& frame, uint32_t attracted);

  uint32_t n_nodes_;
  ScopedDeviceArray<uint32_t> nodes_;
  ScopedDeviceArray<uint32_t> level_;
  ScopedDeviceArray<color_t> color_;  // the colours; the arena's array takes the marks
  cudaGpuArena* arena_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
};
