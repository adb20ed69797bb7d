#pragma once
// The Korrel solver: loads a game into an arena, normalises it (SCCs sorted by
// rank, colours compressed per SCC, self-loops resolved) and solves it range
// by range from the bottom of the condensation upwards with small progress
// measures, then prints the winning regions.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "common/scoped_device_array.h"
#include "host/time_list.h"
#include "host/types.h"
#include "rangespm/korrel_solver.h"

class cudaGpuArena;

namespace Korrel {

// A range starts at an SCC and takes the following SCCs that start less
// than this many positions after it.
const uint32_t range_span = 65536;

// Solves the game in the file and, with print set, writes the regions (and,
// with_strategy, the strategy edges) to out. Laps go into timing when given.
// Returns false when no game was read (the reader refuses a file without
// nodes, so an empty game is a failed read).
bool solve(const std::string& path, std::ostream& out, bool print, bool with_strategy, TimeList* timing);

// The solve on an arena whose host side is loaded: uploads, normalises and
// solves it, leaving the won marks on the device side, which ends up renumbered
// (node_id follows) and possibly with the players exchanged (players_swapped).
void solve_loaded(cudaGpuArena& arena, TimeList* timing);

// Normalises the uploaded arena and lists the SCC starts of the sorted order.
void preprocess(std::vector<uint32_t>& scc_begin, ScopedDeviceArray<uint32_t>& scc_id, color_t& color_bound,
                color_t& ref_parity, cudaGpuArena& arena);

// Measure components for a normalised game: one per odd colour 3, 5, ...
// below color_bound, and at least one, since trivial SCCs may carry colour 3
// even when no non-trivial SCC has an odd colour.
uint16_t measure_components(color_t color_bound);

// The ranges of SCCs as (first SCC, one past the last SCC) positions in
// scc_begin, in ascending order.
std::vector<std::pair<std::size_t, std::size_t>> cut_ranges(const std::vector<uint32_t>& scc_begin);

// The arena forms of the range routines (see korrel_solver.h).
void solve_range(cudaGpuArena& arena, uint16_t n_ranks, const std::vector<uint32_t>& scc_begin,
                 std::size_t range_start, std::size_t range_end, const ScopedDeviceArray<uint32_t>& scc_id,
                 const cudaDeviceProp& properties);
void count_ranks(ScopedDeviceArray<uint32_t>& rank_counter, cudaGpuArena& arena, uint16_t n_ranks, uint32_t first,
                 uint32_t last, const ScopedDeviceArray<uint32_t>& scc_id, uint32_t n_sccs);

}  // namespace Korrel
