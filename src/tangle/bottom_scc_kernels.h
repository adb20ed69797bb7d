#pragma once
#include <cstdint>
#include "common/platform.h"
#include "tangle/tangle_view.h"

// The bottom strongly connected components of a region's strategy graph: the
// good nodes of the region (see mark_bad), where a node of the region's
// player keeps only the edge of its strategy (a top-priority node, which has
// none, keeps all), and an opponent node all its edges, among good nodes.
//
// reach[v] becomes the largest index reachable from v. A root m
// (reach[m] = m) lies in a bottom component exactly when everything it
// reaches has reach m too, i.e. when it is not spoiled; that component is
// then all that m reaches, and its nodes take m as member. One thread per
// entry of the list of the region's nodes; the loops repeat each pass until
// *changed stays false.
namespace kernel {
namespace tangle {

__global__ void init_reach(TangleView g, const uint32_t* list, uint32_t size);
__global__ void propagate_reach(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed);
__global__ void propagate_spoiled(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed);
__global__ void seed_members(TangleView g, const uint32_t* list, uint32_t size, RegionScope r);
// Pulls the root from a predecessor along an edge of the strategy graph.
__global__ void propagate_members(TangleView g, const uint32_t* list, uint32_t size, RegionScope r, bool* changed);
// Top-priority nodes of the player in a bottom component choose a successor
// in the same component.
__global__ void choose_tangle_strategy(TangleView g, const uint32_t* list, uint32_t size, RegionScope r);

}  // namespace tangle
}  // namespace kernel
