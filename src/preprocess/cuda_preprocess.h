#pragma once
// Preprocessing for the range solver: SCC decomposition with ranks on the
// device, renumbering by SCC rank, per-SCC colour compression, trivial SCCs,
// self-loops and the exchange of players.
#include <cstdint>
#include <vector>
#include "common/platform.h"
#include "host/types.h"

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
// caller and hold n entries.
void determine_sccs(uint32_t* scc_id, uint32_t* scc_rank, const DeviceGraph& graph);

}  // namespace preprocess
