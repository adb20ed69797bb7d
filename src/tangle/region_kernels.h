#pragma once
#include <cstdint>
#include "common/platform.h"
#include "tangle/tangle_view.h"

// The steps of one region of a search around its attractor, and the removal
// of a dominion. One thread per entry of a node list.
namespace kernel {
namespace tangle {

// Starts a search: every node of G (the list) becomes free and is copied to
// h; *top = the largest priority among them (*top cleared before).
__global__ void start_search(TangleView g, const uint32_t* list, uint32_t size, uint32_t* h, uint32_t* top);

// *top = the largest priority among the listed nodes (*top cleared before).
__global__ void max_priority(TangleView g, const uint32_t* list, uint32_t size, uint32_t* top);

// A node of region Z is bad when the region's player cannot keep the play
// in Z from it with the strategy the attractor gave: an opponent node with an
// edge out of Z or to a bad node, a player's node whose strategy leads to a
// bad node, a top-priority node of the player (which has no strategy yet)
// without a successor that is good. Out of Z means to H only, or, for a
// dominion, to any node of G (see seed_bad and spread_bad). Outside a
// closure no node is bad: this clears the marks of the listed nodes.
__global__ void clear_bad(TangleView g, const uint32_t* list, uint32_t size);

// The listed nodes that lie in the dominion's attractor d are won by its
// player and leave G; the strategy (when given) of the ones the winner owns
// is sigma, of the others no_strategy.
__global__ void finish_dominion(TangleView g, const uint32_t* list, uint32_t size, RegionScope d, color_t* marks,
                                uint32_t* strategy);

// The nodes of region r left after its dominion was removed become free.
__global__ void free_region(TangleView g, const uint32_t* list, uint32_t size, RegionScope r);

}  // namespace tangle
}  // namespace kernel
