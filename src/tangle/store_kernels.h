#pragma once
#include <cstdint>
#include "common/platform.h"
#include "tangle/attract_kernels.h"
#include "tangle/tangle_view.h"

// Kernels of the tangle store: writing the entries and escapes of new
// tangles, and compacting the store when tangles die. One thread per element.
namespace kernel {
namespace tangle {

// Entry i of the new tangles: node nodes[i], tangle base + id[i], strategy
// sigma for the player's nodes.
__global__ void write_entries(TangleView g, const uint32_t* nodes, const uint32_t* id, uint32_t size, uint32_t player,
                              uint32_t base, uint32_t* node, uint32_t* tangle, uint32_t* strategy);

// count[i] = the escapes of nodes[i]: for an opponent node, its edges to
// unsolved nodes outside its component; none for the player's nodes.
__global__ void count_escapes(TangleView g, const uint32_t* nodes, uint32_t size, RegionScope r, uint32_t* count);
__global__ void write_escapes(TangleView g, const uint32_t* nodes, const uint32_t* id, const uint32_t* offset,
                              uint32_t size, RegionScope r, uint32_t base, uint32_t* escape,
                              uint32_t* escape_tangle);

// keep[t] = 0 for a tangle with a solved node (keep[] set to 1 before).
__global__ void mark_dead_tangles(TangleSetView t, TangleView g, uint32_t* keep);
// keep[e] = tangle_keep[tangle[e]] for the entries (or escapes) of a store.
__global__ void gather_keep(const uint32_t* tangle, uint32_t size, const uint32_t* tangle_keep, uint32_t* keep);
// Moves the kept elements to their positions (exclusive scan of keep) and
// renames their tangles through new_id (exclusive scan of the tangles' keep).
__global__ void compact_entries(const uint32_t* node, const uint32_t* tangle, const uint32_t* strategy,
                                const uint32_t* keep, const uint32_t* position, const uint32_t* new_id, uint32_t size,
                                uint32_t* node_out, uint32_t* tangle_out, uint32_t* strategy_out);
__global__ void compact_escapes(const uint32_t* escape, const uint32_t* tangle, const uint32_t* keep,
                                const uint32_t* position, const uint32_t* new_id, uint32_t size, uint32_t* escape_out,
                                uint32_t* tangle_out);
__global__ void compact_players(const uint8_t* player, const uint32_t* keep, const uint32_t* position, uint32_t size,
                                uint8_t* player_out);

}  // namespace tangle
}  // namespace kernel
