#include "host/game_graph.h"

#include <memory>

template <class T>
T* RecordPool<T>::take() {
  if (used_in_last_ == block_size) {
    // Value-initialisation zero-fills the records, so every link starts null.
    std::unique_ptr<T[]> block(new T[block_size]());
    blocks_.push_back(block.get());
    block.release();
    used_in_last_ = 0;
  }
  return &blocks_.back()[used_in_last_++];
}

template <class T>
void RecordPool<T>::clear() {
  for (T* block : blocks_) delete[] block;
  blocks_.clear();
  used_in_last_ = block_size;
}

template class RecordPool<GraphNode>;
template class RecordPool<GraphEdge>;

GameGraph::GameGraph() = default;

GameGraph::~GameGraph() { clear(); }

void GameGraph::clear() {
  // Swapping with an empty map gives the bucket array back as well; a failed
  // read of a large file should not keep it alive.
  std::unordered_map<uint32_t, GraphNode*>().swap(index_);
  min_color = 0;
  max_color = 0;
  n_nodes = 0;
  n_edges = 0;
  first = nullptr;
  last = nullptr;
  node_pool_.clear();
  edge_pool_.clear();
}
