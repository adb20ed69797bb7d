#pragma once
#include <cstdint>
#include "host/game_graph.h"
#include "host/types.h"

// Destination of the CSR conversion: arrays already allocated with the sizes of
// the graph (n nodes, m edges; begin arrays n + 1). Shared by ParityGame and the
// GPU arena so that both run the same checks with the same messages.
struct CsrTarget {
  uint32_t* node_id;
  color_t* color;
  uint8_t* owner;
  uint32_t* n_succ;
  uint32_t* n_pred;
  uint32_t* succ_begin;
  uint32_t* pred_begin;
  uint32_t* succ_array;
  uint32_t* pred_array;
  uint32_t max_n_succ;
  uint32_t max_n_pred;
};

// Gives every node of the list its index 0, 1, ... in list order; throws
// "Mismatch between nodes in list and returned number of nodes" when the list
// and the graph's count disagree. Returns the count.
uint32_t index_graph_nodes(GameGraph& graph);

// Fills the arrays from an indexed graph; throws a std::string on a failed check.
void convert_to_csr(const GameGraph& graph, CsrTarget& target);
