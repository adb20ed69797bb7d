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

// The tangle part of a pass of the attractor of region r (see
// attract_frontier), which writes the stamp of the pass. Only nodes with
// smaller stamps count as attracted, so a pass is the same whatever the
// order of its threads. One thread per tangle entry or escape.
namespace kernel {
namespace tangle {

// A tangle of the region's player cannot join in this pass when one of its
// nodes lies outside what r may attract, or when one of its escapes leads to
// a node in r's reach that has not joined yet (see open_for).
__global__ void block_tangles_by_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token);
__global__ void block_tangles_by_escapes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp,
                                         uint32_t token);

// The attractable nodes of the attractable tangles join. A node in several of them
// takes its strategy from the one with the least index: a play that follows
// these strategies then only moves to tangles of smaller or equal index, so
// it ends inside one tangle (which its player wins) or leaves to what was
// attracted before.
__global__ void claim_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t token);
// Joined nodes go to the next frontier.
__global__ void join_tangle_nodes(TangleSetView t, TangleView g, RegionScope r, uint32_t stamp, uint32_t token,
                                  uint32_t* next, uint32_t* next_size);

}  // namespace tangle
}  // namespace kernel
