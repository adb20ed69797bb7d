#include "host/csr_conversion.h"

#include <algorithm>
#include <string>

uint32_t index_graph_nodes(GameGraph& graph) {
  uint32_t count = 0;
  for (GraphNode* node = graph.first; node != nullptr; node = node->next) node->index = count++;
  if (count != graph.n_nodes)
    throw std::string("Mismatch between nodes in list and returned number of nodes");
  return count;
}

void convert_to_csr(const GameGraph& graph, CsrTarget& target) {
  const uint32_t n_edges = graph.n_edges;
  uint32_t cur_succ_begin = 0;
  uint32_t cur_pred_begin = 0;
  // Write positions run through the whole adjacency arrays. They are checked
  // against n_edges before every write so that a graph whose counts disagree
  // with its lists is reported by the checks below instead of overrunning.
  uint32_t succ_pos = 0;
  uint32_t pred_pos = 0;
  target.max_n_succ = 0;
  target.max_n_pred = 0;

  for (const GraphNode* node = graph.first; node != nullptr; node = node->next) {
    const uint32_t i = node->index;
    target.node_id[i] = node->id;
    // Solvers double colours and put their won marks below them, all in 16 bits.
    if (node->color > 32767) throw std::string("color exceeds size of unsigned short");
    target.color[i] = static_cast<color_t>(node->color);
    target.owner[i] = node->owner;

    target.n_succ[i] = node->n_succs;
    target.n_pred[i] = node->n_preds;
    target.max_n_succ = std::max(target.max_n_succ, node->n_succs);
    target.max_n_pred = std::max(target.max_n_pred, node->n_preds);

    target.succ_begin[i] = cur_succ_begin;
    target.pred_begin[i] = cur_pred_begin;
    cur_succ_begin += node->n_succs;
    cur_pred_begin += node->n_preds;

    uint32_t check = 0;
    for (const GraphEdge* edge = node->first_succ; edge != nullptr; edge = edge->next_succ) {
      if (succ_pos < n_edges) target.succ_array[succ_pos++] = edge->target->index;
      ++check;
    }
    if (check != node->n_succs)
      throw std::string("Mismatch between p_node->n_succs and final value of check");
    if (check == 0) throw std::string("We have a dead end after preprocessing ...");

    check = 0;
    for (const GraphEdge* edge = node->first_pred; edge != nullptr; edge = edge->next_pred) {
      if (pred_pos < n_edges) target.pred_array[pred_pos++] = edge->source->index;
      ++check;
    }
    if (check != node->n_preds)
      throw std::string("Mismatch between p_node->n_preds and final value of check");
  }

  if (cur_succ_begin != n_edges)
    throw std::string("Mismatch between remaining_n_edges and final value of cur_succ_begin");
  target.succ_begin[graph.n_nodes] = n_edges;
  if (cur_pred_begin != n_edges)
    throw std::string("Mismatch between remaining_n_edges and final value of cur_pred_begin");
  target.pred_begin[graph.n_nodes] = n_edges;
}
