#pragma once
// Preprocessing for the range solver: SCC decomposition with ranks on the
// device, renumbering by SCC rank, per-SCC colour compression, trivial SCCs,
// self-loops and the exchange of players.
#include <cstdint>
#include <vector>
#include "common/platform.h"
#include "common/scoped_device_array.h"
#include "host/types.h"

class cudaGpuArena;

namespace preprocess {

// Device arrays of a graph with both edge directions, in compressed row form.
struct DeviceGraph {
  uint32_t n_nodes = 0;
  const uint32_t* n_succ = nullptr;
  const uint32_t* succ_begin = nullptr;
  const uint32_t* succ_array = nullptr;
  const uint32_t* n_pred = nullptr;
  const uint32_t* pred_begin = nullptr;
  const uint32_t* pred_array = nullptr;
};

// Refuses graphs whose node indices do not fit into an SCC word's id field.
void check_scc_word_capacity(uint32_t n_nodes);

// Fills scc_id (n final SCC words) and scc_rank (n ranks: bottom SCCs 0, any
// other SCC 1 + the largest rank it has an edge to). Both arrays belong to the
// caller and hold n entries. The arena form needs the predecessors on the
// device and changes nothing of the arena.
void determine_sccs(uint32_t* scc_id, uint32_t* scc_rank, const DeviceGraph& graph);
void determine_sccs(uint32_t* scc_id, uint32_t* scc_rank, const cudaGpuArena& arena);

// Graphs of up to this many nodes are decomposed by one thread
// (kernel::scc::decompose_in_one_thread), larger ones by the parallel passes.
const uint32_t default_one_thread_scc_nodes = 256;
void set_one_thread_scc_nodes(uint32_t nodes);

// Normalises an uploaded arena (predecessors on the device) for the range
// solver: SCCs (scc_id and scc_rank re-created for n entries), predecessors
// dropped from the device, nodes sorted by SCC rank when sort is set, colours
// compressed per SCC, trivial SCCs reduced to colours 2 and 3, self-loops
// resolved, players exchanged when the reference parity was odd. Afterwards
// min_parity is set, min_color is 2, max_color = color_bound - 1, and an even
// colour favours Even; ref_parity ends 0.
void prepare_game(cudaGpuArena& arena, color_t& color_bound, color_t& ref_parity, ScopedDeviceArray<uint32_t>& scc_id,
                  ScopedDeviceArray<uint32_t>& scc_rank, bool sort, bool sort_by_color);

// The colour part of prepare_game, on an arena whose SCC words are known:
// colour range and reference parity, trivial SCCs, per-SCC compression,
// self-loops, the exchange of players and the normalised summary.
void normalise_colors(cudaGpuArena& arena, color_t& color_bound, color_t& ref_parity, const uint32_t* scc_id);

// Renumbers the nodes by SCC rank, ties by SCC word, then (by_color) by
// colour, then by old index; scc_id and scc_rank follow, and every SCC id
// names its representative's new index.
void sort_by_scc_rank(cudaGpuArena& arena, ScopedDeviceArray<uint32_t>& scc_id, ScopedDeviceArray<uint32_t>& scc_rank,
                      bool by_color);

// The words of the non-trivial SCCs, one per SCC, in index order of their
// representatives.
void collect_nontrivial_sccs(std::vector<uint32_t>& nontrivial, const cudaGpuArena& arena, const uint32_t* scc_id);

// Sets the arena's min_color and max_color to the range of the colours in
// non-trivial SCCs (0xFFFF and 0 when there is none).
void determine_color_range(cudaGpuArena& arena, const uint32_t* scc_id);

// Renames the colours of each SCC with one of these words to consecutive
// numbers from 2, merging neighbours of equal parity, the most significant
// first; returns one more than the highest new colour of all (2 for none).
// Many SCCs share a launch; the workspace is allocated once per call.
color_t compress_scc_colors(const uint32_t* scc_id, cudaGpuArena& arena, const std::vector<uint32_t>& words);
// The same for the one SCC with this word.
color_t compress_scc_colors(const uint32_t* scc_id, cudaGpuArena& arena, uint32_t word);

// Start positions of the SCCs in the sorted order, ascending from 0.
void compute_scc_begin(std::vector<uint32_t>& scc_begin, const uint32_t* scc_id, const cudaGpuArena& arena);

}  // namespace preprocess
