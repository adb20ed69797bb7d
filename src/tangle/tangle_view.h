#pragma once
// The device arrays that tangle learning works on, passed to its kernels as
// one value, and the node states they share.
//
// A search cuts the unsolved game G into regions, one per top priority, each
// the tangle attractor of that priority's nodes in what the regions before
// left (the sub-game H). The state of a node says where it is:
//   solved           removed from G (its winner is known)
//   free             in H, not yet in a region of this search
//   stamp s          in a region; the region that started at stamp r holds the
//                    stamps r, r + 1, ... (one per attractor pass), so s - r
//                    is the pass in which the node joined and r itself marks
//                    the region's top-priority nodes.
// A pass only counts nodes with stamps below its own as attracted, so what
// joins in one pass never depends on the order in which its threads run.
#include <cstdint>
#include "common/platform.h"
#include "host/types.h"

namespace tangle_state {
const uint32_t solved = 0xFFFFFFFFu;
const uint32_t free = 0xFFFFFFFEu;
// No tangle, no root: the empty value of claim and member entries.
const uint32_t none = 0xFFFFFFFFu;
}  // namespace tangle_state

struct TangleView {
  uint32_t n_nodes = 0;
  const uint8_t* owner = nullptr;
  const color_t* priority = nullptr;  // the game's colours, kept while color takes the won marks
  const uint32_t* succ_begin = nullptr;
  const uint32_t* succ_count = nullptr;
  const uint32_t* succ = nullptr;
  const uint32_t* pred_begin = nullptr;
  const uint32_t* pred_count = nullptr;
  const uint32_t* pred = nullptr;
  uint32_t* state = nullptr;   // see above
  uint32_t* sigma = nullptr;   // the strategy of the region's player where the node has one
  uint32_t* claim = nullptr;   // the least tangle that attracts the node in the current pass
  uint32_t* bad = nullptr;     // the node's region player cannot keep the play in the region from it
  uint32_t* count = nullptr;   // successors left: the escapes of an opponent node while attracting,
                               // the good successors of a top-priority node while closing
  uint32_t* reach = nullptr;   // the largest node index reachable in the region's strategy graph
  uint8_t* spoiled = nullptr;  // a node of smaller reach is reachable through nodes of equal reach
  uint32_t* member = nullptr;  // the root of the bottom component the node lies in, or none
};

// The region being computed: its player and first stamp. A region of the
// whole game (the attractor of a dominion) may take in any unsolved node,
// also those of the regions before it; an ordinary one only free nodes.
// The attractor of a dominion found in a region of all of G stays inside
// that region (the region is closed under attraction in G), so it skips the
// free nodes: their escape counts are never set up.
struct RegionScope {
  uint32_t player = 0;
  uint32_t start = 0;
  uint32_t whole_game = 0;
  uint32_t skip_free = 0;
};

// A node that a pass of region r may still attract.
__host__ __device__ inline bool attractable(uint32_t state, RegionScope r) {
  return state == tangle_state::free ? !r.skip_free : r.whole_game && state < r.start;
}

__host__ __device__ inline bool in_region(uint32_t state, uint32_t start) {
  return state >= start && state < tangle_state::free;
}

// A successor that may still join region r, or one that never will but
// stays in the game (a free node that r skips): an escape of the opponent
// until it has joined.
__host__ __device__ inline bool open_for(uint32_t state, RegionScope r) {
  return state == tangle_state::free || attractable(state, r);
}
