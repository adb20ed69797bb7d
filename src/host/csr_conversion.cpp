#include "host/csr_conversion.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

uint32_t index_graph_nodes(GameGraph& graph) {
  uint32_t count = 0;
  for (GraphNode* node = graph.first; node != nullptr; node = node->next) node->index = count++;
  if (count != graph.n_nodes)
    throw std::string("Mismatch between nodes in list and returned number of nodes");
  return count;
}

namespace {

// Lists walked side by side in the predecessor pass: each list is a chain of
// dependent loads through records spread over the whole edge pool, so one
// list at a time waits on every load; several at once keep that many loads in
// flight.
const unsigned int pred_lanes = 16;
// How far ahead the passes over known addresses prefetch.
const std::size_t prefetch_distance = 16;

// The conversion for a graph whose lists agree with their counts, which is
// what the reader builds. Everything is gathered into scratch arrays and
// checked first; the target is written only when every check has passed.
// Returns false, with the target untouched, on anything unexpected: the
// caller then runs the node-by-node conversion, which reports it exactly.
bool convert_checked_in_bulk(const GameGraph& graph, CsrTarget& target) {
  const uint32_t n = graph.n_nodes;
  const uint32_t m = graph.n_edges;
  std::vector<const GraphNode*> nodes;
  nodes.reserve(n);
  for (const GraphNode* node = graph.first; node != nullptr; node = node->next) {
    if (nodes.size() == n) return false;
    nodes.push_back(node);
  }
  if (nodes.size() != n) return false;

  // Starts of every node's rows from the counts; the lists are checked against
  // the counts below.
  std::vector<uint32_t> succ_begin(std::size_t(n) + 1), pred_begin(std::size_t(n) + 1);
  uint64_t succ_total = 0, pred_total = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const GraphNode* node = nodes[i];
    if (node->index != i || node->color > 32767 || node->n_succs == 0) return false;
    succ_begin[i] = static_cast<uint32_t>(succ_total);
    pred_begin[i] = static_cast<uint32_t>(pred_total);
    succ_total += node->n_succs;
    pred_total += node->n_preds;
  }
  if (succ_total != m || pred_total != m) return false;
  succ_begin[n] = pred_begin[n] = m;

  // Successor and predecessor records in row order; their indices follow.
  std::vector<const GraphNode*> ends(m);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t pos = succ_begin[i];
    const uint32_t end = succ_begin[i + 1];
    for (const GraphEdge* edge = nodes[i]->first_succ; edge != nullptr; edge = edge->next_succ) {
      if (pos == end) return false;
      ends[pos++] = edge->target;
    }
    if (pos != end) return false;
  }
  std::vector<uint32_t> succ_array(m);
  for (std::size_t k = 0; k < m; ++k) {
    if (k + prefetch_distance < m) __builtin_prefetch(ends[k + prefetch_distance]);
    if (ends[k] == nullptr) return false;
    succ_array[k] = ends[k]->index;
  }

  struct Lane {
    const GraphEdge* edge = nullptr;
    uint32_t pos = 0;
    uint32_t end = 0;
    bool busy = false;
  };
  Lane lanes[pred_lanes];
  uint32_t next_node = 0;
  unsigned int busy = 0;
  do {
    busy = 0;
    for (Lane& lane : lanes) {
      if (!lane.busy) {
        if (next_node == n) continue;
        lane.edge = nodes[next_node]->first_pred;
        lane.pos = pred_begin[next_node];
        lane.end = pred_begin[next_node + 1];
        lane.busy = true;
        ++next_node;
      }
      ++busy;
      const GraphEdge* edge = lane.edge;
      if (edge == nullptr) {
        if (lane.pos != lane.end) return false;
        lane.busy = false;
        continue;
      }
      if (lane.pos == lane.end) return false;
      ends[lane.pos++] = edge->source;
      lane.edge = edge->next_pred;
      __builtin_prefetch(lane.edge);
    }
  } while (busy != 0);
  std::vector<uint32_t> pred_array(m);
  for (std::size_t k = 0; k < m; ++k) {
    if (k + prefetch_distance < m) __builtin_prefetch(ends[k + prefetch_distance]);
    if (ends[k] == nullptr) return false;
    pred_array[k] = ends[k]->index;
  }

  uint32_t max_n_succ = 0, max_n_pred = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const GraphNode* node = nodes[i];
    target.node_id[i] = node->id;
    target.color[i] = static_cast<color_t>(node->color);
    target.owner[i] = node->owner;
    target.n_succ[i] = node->n_succs;
    target.n_pred[i] = node->n_preds;
    max_n_succ = std::max(max_n_succ, node->n_succs);
    max_n_pred = std::max(max_n_pred, node->n_preds);
  }
  std::memcpy(target.succ_begin, succ_begin.data(), succ_begin.size() * sizeof(uint32_t));
  std::memcpy(target.pred_begin, pred_begin.data(), pred_begin.size() * sizeof(uint32_t));
  if (m != 0) {
    std::memcpy(target.succ_array, succ_array.data(), std::size_t(m) * sizeof(uint32_t));
    std::memcpy(target.pred_array, pred_array.data(), std::size_t(m) * sizeof(uint32_t));
  }
  target.max_n_succ = max_n_succ;
  target.max_n_pred = max_n_pred;
  return true;
}

// Node by node, with every check at its place in the order; the reference
// behaviour, also for graphs whose lists and counts disagree.
void convert_node_by_node(const GameGraph& graph, CsrTarget& target) {
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

}  // namespace

void convert_to_csr(const GameGraph& graph, CsrTarget& target) {
  if (!convert_checked_in_bulk(graph, target)) convert_node_by_node(graph, target);
}
