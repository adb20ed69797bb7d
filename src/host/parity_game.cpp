#include "host/parity_game.h"

#include "host/csr_conversion.h"
#include "host/fast_load.h"
#include "host/game_graph.h"

void ParityGame::load(const std::string& file_name) {
  if (!load_quickly(file_name)) load_with_full_reader(file_name);
}

bool ParityGame::load_quickly(const std::string& file_name) {
  FastGameLoad fast;
  if (!fast.read(file_name)) return false;
  release();
  allocate(fast.n_nodes, fast.n_edges);
  min_color = fast.min_color;
  max_color = fast.max_color;
  CsrTarget target{node_id, color, owner, n_succ, n_pred, succ_begin, pred_begin, succ_array, pred_array, 0, 0};
  fast.fill(target);
  max_n_succ = target.max_n_succ;
  max_n_pred = target.max_n_pred;
  return true;
}

void ParityGame::load_with_full_reader(const std::string& file_name) {
  // The graph lives only in this scope, so it is gone also when a check throws;
  // the arrays allocated by then stay with the game and go with its release.
  GameGraph graph;
  // A failed read has reported itself and left the graph empty: the result is
  // then a game of zero nodes.
  graph.read(file_name);
  index_graph_nodes(graph);

  release();
  allocate(graph.n_nodes, graph.n_edges);
  min_color = static_cast<color_t>(graph.min_color);
  max_color = static_cast<color_t>(graph.max_color);

  CsrTarget target{node_id, color, owner, n_succ, n_pred, succ_begin,
                   pred_begin, succ_array, pred_array, 0, 0};
  convert_to_csr(graph, target);
  max_n_succ = target.max_n_succ;
  max_n_pred = target.max_n_pred;
}

void ParityGame::allocate(uint32_t n, uint32_t m) {
  if (color || owner || n_succ || n_pred || succ_begin || pred_begin || succ_array || pred_array ||
      node_id)
    throw std::string(
        "Error in \"ParityGame::allocate\": at least one buffer has already been allocated\"");
  n_nodes = n;
  n_edges = m;
  max_n_succ = 0;
  max_n_pred = 0;
  // One at a time into the members, so that a failed allocation leaves the
  // earlier arrays owned by the game.
  color = new color_t[n];
  owner = new uint8_t[n];
  n_succ = new uint32_t[n];
  n_pred = new uint32_t[n];
  succ_begin = new uint32_t[std::size_t(n) + 1];
  pred_begin = new uint32_t[std::size_t(n) + 1];
  succ_array = new uint32_t[m];
  pred_array = new uint32_t[m];
  node_id = new uint32_t[n];
}

void ParityGame::release() {
  delete[] color;
  delete[] owner;
  delete[] n_succ;
  delete[] n_pred;
  delete[] succ_begin;
  delete[] pred_begin;
  delete[] succ_array;
  delete[] pred_array;
  delete[] node_id;
  color = nullptr;
  owner = nullptr;
  n_succ = nullptr;
  n_pred = nullptr;
  succ_begin = nullptr;
  pred_begin = nullptr;
  succ_array = nullptr;
  pred_array = nullptr;
  node_id = nullptr;
  n_nodes = 0;
  n_edges = 0;
  min_color = 0;
  max_color = 0;
  max_n_succ = 0;
  max_n_pred = 0;
}
