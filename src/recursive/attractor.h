#pragma once
#include <cstdint>

struct DeviceMemoryPtr;
class cudaGpuArena;
class DeviceWorklist;

// Attractor of a player (0 Even, 1 Odd) inside a sub-game, computed on the
// device to a fixpoint. attr_array (device, one state per node) is prepared
// by the caller: 0 outside the sub-game, 1 in it, 2 for the targets; on
// return every node of the attractor has state 2. Both forms return the
// number of kernel launches they made. With a strategy array (device, one
// entry per node), every joining node of the player records there the
// successor through which it joins; without one, nothing more is done.

// Work-list form: each pass launches one thread per node still in state 1,
// compacted into list (capacity n_nodes, reused by every attractor of a
// solve); it stops when a compaction finds no node left or as many as
// before. Makes no launch when no node is in state 1. The form without a
// list allocates one for the call.
unsigned int compute_attractor(DeviceMemoryPtr& memory, uint32_t* attr_array, unsigned int player,
                               DeviceWorklist& list, uint32_t* strategy = nullptr);
unsigned int compute_attractor(DeviceMemoryPtr& memory, uint32_t* attr_array, unsigned int player,
                               uint32_t* strategy = nullptr);

// All-nodes form: each pass launches n_blocks blocks of 256 threads over all
// nodes of the arena's device arrays, with the caller's two changed bytes.
// Passes go in batches of 1, 2, 4 .. 16 between two reads of changed[0],
// which only a batch's last pass sets (the others set changed[1]); the last
// batch may run up to 15 passes past the fixpoint, which change nothing.
unsigned int compute_attractor(cudaGpuArena& arena, uint32_t* attr_array, bool* changed, unsigned int n_blocks,
                               unsigned int player, uint32_t* strategy = nullptr);
