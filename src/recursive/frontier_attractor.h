#pragma once
#include <cstdint>

#include "common/scoped_device_array.h"

struct DeviceArena;

// Work-efficient attractor on the predecessor lists of a DeviceArena: a
// queue of newly attracted nodes whose in-edges are walked once each, so an
// attractor costs its sub-game's nodes plus the in-edges of its own nodes,
// whatever its depth. The buffers are allocated once and serve every
// attractor of a solve.
class FrontierAttractor {
 public:
  explicit FrontierAttractor(uint32_t n);

  // Where the caller puts the targets, queue()[0 .. n_targets), before
  // attract; afterwards queue()[0 .. size) lists the attractor.
  uint32_t* queue() const { return queue_.get(); }
  // Per node, the states of kernel::frontier: after attract, the sub-game's
  // nodes hold theirs until the caller sets them back to 0 (every other
  // node is 0), which it must do before the next attract.
  uint32_t* state() const { return state_.get(); }

  // The attractor of player (0 Even, 1 Odd) to the targets inside the
  // sub-game of level sub_level (every v with level[v] >= sub_level, listed
  // by nodes[0 .. n_nodes)). With pick_for_targets, the player's targets
  // also get some successor inside the sub-game as their strategy; the
  // player's attracted nodes always get the edge they joined by (when
  // game.strategy is set). Returns the attractor's size.
  uint32_t attract(const DeviceArena& game, const uint32_t* level, uint32_t sub_level, const uint32_t* nodes,
                   uint32_t n_nodes, uint32_t n_targets, unsigned int player, bool pick_for_targets);

  // Rounds of the frontier walk and reads of its bounds since construction.
  uint64_t rounds = 0;
  uint64_t reads = 0;

 private:
  ScopedDeviceArray<uint32_t> state_;
  ScopedDeviceArray<uint32_t> queue_;
  ScopedDeviceArray<uint32_t> bounds_;  // head, tail and append position of the frontier
};
