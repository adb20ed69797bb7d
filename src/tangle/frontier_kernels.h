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
// (atomicAdd on *size). One thread per list entry; a frontier pass takes
// frontier_entries_per_thread entries per thread and appends through
// QueueAppend (kernels/queue_append.h).
namespace kernel {
namespace tangle {

// Starts region r over H (the list, whose nodes are all free): the nodes of
// priority p get the stamp r.start (the seeds; the caller lists them), and
// each opponent node counts its successors in H (free or seeded by this
// pass), its escapes.
__global__ void seed_region(TangleView g, const uint32_t* list, uint32_t size, uint32_t p, RegionScope r);

// Starts the attractor d of the dominion inside region r over the list
// (all of G, or the region itself when it spans what is left of G): the
// good nodes of r get the stamp d.start (the caller lists them), its
// player's top-priority ones choosing a good successor first; every other
// opponent node counts its unsolved successors (each of them is
// attractable, a seed, or a free node that d skips and never takes).
__global__ void seed_dominion(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, RegionScope d);

// One attractor pass: a predecessor of the region's player joins through
// the frontier node (its strategy); one of the opponent joins when its last
// escape joined. Joined nodes get stamp and go to the next frontier.
__global__ void attract_frontier(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t stamp,
                                 uint32_t* next, uint32_t* next_size);

// The first bad nodes of region r (see clear_bad), appended to the frontier;
// the top-priority nodes of the player count their successors in the region
// and take the first of them as their strategy (a good one when no node of
// the region turns bad).
__global__ void seed_bad(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool whole_game,
                         uint32_t* frontier, uint32_t* frontier_size);

// One closure pass: predecessors in the region that the bad frontier spoils
// (an opponent node, a player's node whose strategy leads there, a
// top-priority node of the player with no good successor left) turn bad.
__global__ void spread_bad(TangleView g, const uint32_t* frontier, uint32_t size, RegionScope r, uint32_t* next,
                           uint32_t* next_size);

}  // namespace tangle
}  // namespace kernel
