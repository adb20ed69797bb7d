#pragma once
// Tangle learning (van Dijk, 2018) on the GPU arena.
//
// A search cuts the unsolved game G into regions from the top priority down:
// each region is the attractor, in what the regions before left (H), of the
// nodes of H's top priority, for that priority's player, where a learned
// tangle of the player joins as a whole once every escape its opponent has
// leads into the region. Inside a region the player keeps the strategy the
// attractor gave, so every play that stays there is won by the player. The
// part of the region that the opponent cannot leave at all is a dominion:
// its attractor in G is solved and removed. Otherwise the bottom strongly
// connected components of the region's strategy graph (restricted to what
// the opponent cannot leave for H) are new tangles, and the search starts
// again with them. Both players' strategies come out of the attractors.
#include <atomic>
#include <cstdint>

#include "common/device_flag.h"
#include "common/scoped_device_array.h"
#include "host/types.h"
#include "tangle/tangle_store.h"
#include "tangle/tangle_view.h"

class cudaGpuArena;
class TimeList;

// What a solve did, for the report.
struct TangleStats {
  uint64_t dominions = 0;  // dominions solved
  uint64_t rounds = 0;     // searches over all regions
  uint64_t regions = 0;
  uint64_t tangles = 0;    // tangles learned
  uint64_t passes = 0;     // attractor passes
  uint64_t closure_passes = 0;    // passes of the closure of regions
  uint64_t component_passes = 0;  // passes of the bottom-component search
};

// Thrown by solve when the stop flag was raised.
struct TangleStopped {};

class TangleSolver {
 public:
  TangleSolver() = default;
  TangleSolver(const TangleSolver&) = delete;
  TangleSolver& operator=(const TangleSolver&) = delete;

  // Solves an uploaded arena (with its predecessor lists on the device):
  // leaves the won marks (0 Even, 1 Odd) in arena.device.color and, when
  // arena.device.strategy is allocated, the winner's successor at every node
  // the winner owns (no_strategy at the others). The colours are lost.
  void solve(cudaGpuArena& arena);

  // When set, the solver checks the flag between steps and throws
  // TangleStopped once it is raised, releasing what it holds.
  void set_stop_flag(const std::atomic<bool>* stop) { stop_ = stop; }

  TangleStats stats;

 private:
  // One search over all regions of G; removes the dominions it meets.
  void search();
  // The attractor of region r from the seeds in queue[0 .. seeds), in
  // frontier passes from the given stamp until nothing joins or limit nodes
  // (all that r may take) have; the queue grows by what joins, *size is its
  // length at the end. Returns the first stamp not used.
  uint32_t attract(uint32_t* queue, uint32_t seeds, uint32_t limit, RegionScope r, uint32_t stamp, uint32_t* size);
  // Marks the bad nodes of region r, from the listed ones that may be bad at
  // once, in frontier passes; returns how many turned bad, listed in
  // bad_list_ in the order they did.
  uint32_t close_region(const uint32_t* list, uint32_t size, RegionScope r, bool whole_game);
  uint32_t learn_bottom_components(const uint32_t* list, uint32_t size, RegionScope r);
  // Removes the good part of region r (its nodes listed, bad of them bad)
  // and its attractor in G, starting at the given stamp; returns the first
  // stamp not used. The rest of the region keeps its stamps.
  uint32_t remove_dominion(const uint32_t* region, uint32_t size, uint32_t bad, RegionScope r, bool spans_game,
                           uint32_t stamp);
  // Copies the listed nodes with the given stamp to out; returns how many.
  uint32_t stamped(const uint32_t* list, uint32_t size, uint32_t stamp, uint32_t* out);
  // Clears the marks of the first bad nodes listed in bad_list_.
  void clear_bad(uint32_t bad);
  void clear_cell();
  uint32_t read_cell();
  void check_stop() const;

  ScopedDeviceArray<uint32_t> state_, sigma_, bad_, count_, game_list_, h_list_, cell_;
  ScopedDeviceArray<uint32_t> queue_;          // the current region, in the order its nodes joined
  ScopedDeviceArray<uint32_t> bad_list_;       // the bad nodes of a closure, in the order they turned bad
  ScopedDeviceArray<uint32_t> dominion_queue_;  // the attractor of a dominion, in the order its nodes joined
  // Needed only once tangles come up: allocated then.
  ScopedDeviceArray<uint32_t> claim_, reach_, member_;
  ScopedDeviceArray<uint8_t> spoiled_;
  DeviceFlag changed_;
  TangleStore store_;
  TangleView g_;
  uint32_t game_size_ = 0;
  uint32_t token_ = 0;
  color_t* marks_ = nullptr;
  uint32_t* strategy_ = nullptr;
  const std::atomic<bool>* stop_ = nullptr;
};

// The solver of alg_id 13 on the arena road (its banner comes from the
// algorithm table): solve, and a summary
// line on standard error.
void solve_with_tangles(cudaGpuArena& arena, TimeList* list);
