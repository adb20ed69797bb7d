#pragma once
#include <cstdint>
#include "common/platform.h"
#include "tangle/tangle_view.h"

// The attractor and the closure of a region as frontier passes: each pass
// starts from the nodes that changed in the pass before (the frontier) and
// looks only at their predecessors, so a pass costs the edges into the
// frontier rather than all of H. Counts of successors left (atomicSub) say
// when the last escape of a node is gone; a node is taken by exactly one
// thread (atomicCAS or atomicExch), which appends it to the next frontier
// (atomicAdd on *size). One thread per list or frontier entry.
namespace kernel {
namespace tangle {

// count[v] = the successors of v that will pass through a frontier (the
// seeds, with the stamp r.start, and the nodes the region may still
// attract), for the attractable opponent nodes of the list.
__global__ void init_escape_counts(TangleView g, const uint32_t* list, uint32_t size, RegionScope r);

// Appends the listed nodes whose state is stamp.
__global__ void collect_frontier(TangleView g, const uint32_t* list, uint32_t size, uint32_t stamp,
                                 uint32_t* frontier, uint32_t* frontier_size);

// One attractor pass: a predecessor of the region's player joins through
// the frontier node (its strategy); one of the opponent joins when its last
// escape joined. Joined nodes get stamp and go to the next frontier.
__global__ void attract_frontier(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t stamp,
                                 uint32_t* next, uint32_t* next_size);

// The first bad nodes of region r (see mark_bad), appended to the frontier;
// the top-priority nodes of the player count their successors in the region.
__global__ void seed_bad(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool whole_game,
                         uint32_t* frontier, uint32_t* frontier_size);

// One closure pass: predecessors in the region that the bad frontier spoils
// (an opponent node, a player's node whose strategy leads there, a
// top-priority node of the player with no good successor left) turn bad.
__global__ void spread_bad(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t* next,
                           uint32_t* next_size);

}  // namespace tangle
}  // namespace kernel
