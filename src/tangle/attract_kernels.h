#pragma once
#include <cstdint>
#include "common/platform.h"
#include "tangle/tangle_view.h"

// The learned tangles on the device, one entry per (tangle, node) and one per
// escape (an edge of the tangle's opponent that leaves it):
//   node[e], tangle[e], strategy[e]   entries, grouped by tangle; strategy is
//                                     the successor the tangle's player
//                                     plays at the node, or no_strategy
//   escape[x], escape_tangle[x]       escape targets
//   player[t]                         the player who wins the tangle's plays
//   blocked[t]                        the token of the last pass that found
//                                     the tangle not attractable
struct TangleSetView {
  uint32_t n_tangles = 0;
  uint32_t n_entries = 0;
  uint32_t n_escapes = 0;
  const uint32_t* node = nullptr;
  const uint32_t* tangle = nullptr;
  const uint32_t* strategy = nullptr;
  const uint32_t* escape = nullptr;
  const uint32_t* escape_tangle = nullptr;
  const uint8_t* player = nullptr;
  uint32_t* blocked = nullptr;
};

// One pass of the tangle attractor of region r, which writes the stamp of
// the pass. Only nodes with smaller stamps count as attracted, so a pass is
// the same whatever the order of its threads. One thread per list entry or
// per tangle entry or escape; *changed is set when a node joins.
namespace kernel {
namespace tangle {

// An attractable node of the region's player joins when a successor is
// attracted (it plays there); one of the opponent joins when every successor
// in H (in G for a region of the whole game) is.
__global__ void attract_nodes(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, uint32_t stamp,
                              bool* changed);

// A tangle of the region's player cannot join in this pass when one of its
// nodes lies outside H, or when one of its escapes leads to a node of H that
// is not attracted yet.
__global__ void block_tangles_by_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token);
__global__ void block_tangles_by_escapes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp,
                                         uint32_t token);

// The attractable nodes of the attractable tangles join. A node in several of them
// takes its strategy from the one with the least index: a play that follows
// these strategies then only moves to tangles of smaller or equal index, so
// it ends inside one tangle (which its player wins) or leaves to what was
// attracted before.
__global__ void claim_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token);
__global__ void join_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp, uint32_t token,
                                  bool* changed);

}  // namespace tangle
}  // namespace kernel
