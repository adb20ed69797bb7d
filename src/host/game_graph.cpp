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

void IdIndex::reserve(std::size_t count) {
  std::size_t capacity = 16;
  unsigned int shift = 4;
  while (capacity < 2 * count) {
    capacity *= 2;
    ++shift;
  }
  if (capacity <= slots_.size()) return;
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{0, absent});
  mask_ = capacity - 1;
  shift_ = shift;
  used_ = 0;
  for (const Slot& s : old)
    if (s.position != absent) insert(s.id, s.position);
}

void IdIndex::grow() { reserve(slots_.size()); }

bool IdIndex::insert(uint32_t id, uint32_t position) {
  // At most half full, so probes stay short and an empty slot always exists.
  if (2 * (used_ + 1) > slots_.size()) grow();
  for (std::size_t s = slot_of(id);; s = (s + 1) & mask_) {
    Slot& slot = slots_[s];
    if (slot.position == absent) {
      slot = Slot{id, position};
      ++used_;
      return true;
    }
    if (slot.id == id) return false;
  }
}

uint32_t IdIndex::find(uint32_t id) const {
  if (slots_.empty()) return absent;
  for (std::size_t s = slot_of(id);; s = (s + 1) & mask_) {
    const Slot& slot = slots_[s];
    if (slot.position == absent) return absent;
    if (slot.id == id) return slot.position;
  }
}

void IdIndex::clear() {
  std::vector<Slot>().swap(slots_);
  mask_ = 0;
  shift_ = 0;
  used_ = 0;
}

GameGraph::GameGraph() = default;

GameGraph::~GameGraph() { clear(); }

void GameGraph::clear() {
  // The table's memory goes back too; a failed read of a large file should
  // not keep it alive.
  index_.clear();
  min_color = 0;
  max_color = 0;
  n_nodes = 0;
  n_edges = 0;
  first = nullptr;
  last = nullptr;
  node_pool_.clear();
  edge_pool_.clear();
}
