#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct GraphEdge;

// One node description as the reader found it, linked in file order.
struct GraphNode {
  uint32_t id;     // identifier written in the file
  uint32_t color;  // colour as read (checked later by the CSR conversion)
  uint8_t owner;   // 0 or 1
  uint32_t index;  // dense CSR index, written by the conversion
  GraphNode* next;
  GraphNode* prev;
  uint32_t n_succs;
  GraphEdge* first_succ;
  uint32_t n_preds;
  GraphEdge* first_pred;
};

// One entry of a successor list. Until the reader resolves it, target_id holds
// the successor's identifier and target is null.
struct GraphEdge {
  GraphNode* source;
  GraphNode* target;
  uint32_t target_id;
  GraphEdge* next_succ;
  GraphEdge* prev_succ;
  GraphEdge* next_pred;
  GraphEdge* prev_pred;
};

// Records carved out of zero-filled blocks of 1024, all freed together.
template <class T>
class RecordPool {
 public:
  static const std::size_t block_size = 1024;
  RecordPool() = default;
  RecordPool(const RecordPool&) = delete;
  RecordPool& operator=(const RecordPool&) = delete;
  ~RecordPool() { clear(); }
  T* take();
  void clear();
  // The i-th record taken since the last clear.
  T* at(std::size_t i) const { return blocks_[i / block_size] + i % block_size; }

 private:
  std::vector<T*> blocks_;
  std::size_t used_in_last_ = block_size;
};

// Node identifiers to pool positions: open addressing with linear probing in
// one flat array, so that a look-up costs one cache line. Identifiers below
// the table size are their own slot (dense ids, the usual case, never
// collide and keep file order); the bits above are mixed in for larger ones.
class IdIndex {
 public:
  // Sizes the table for about `count` identifiers.
  void reserve(std::size_t count);
  // Records id at pool position `position`; false if id is already there.
  bool insert(uint32_t id, uint32_t position);
  // The pool position of id, or `absent`.
  uint32_t find(uint32_t id) const;
  void prefetch(uint32_t id) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[slot_of(id)]);
  }
  void clear();

  static const uint32_t absent = 0xFFFFFFFFu;

 private:
  struct Slot {
    uint32_t id;
    uint32_t position;  // absent: empty slot
  };
  std::size_t slot_of(uint32_t id) const {
    return (id ^ ((id >> shift_) * 0x9E3779B1u)) & mask_;
  }
  void grow();

  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  unsigned int shift_ = 0;
  std::size_t used_ = 0;
};

// The largest games the system can hold: node indices and n_nodes + 1 (row
// starts, work lists) are unsigned 32-bit, and so are edge offsets. The
// reader refuses a file that describes more.
struct GameLimits {
  uint64_t max_nodes;
  uint64_t max_edges;
  static GameLimits largest() { return GameLimits{0xFFFFFFFEu, 0xFFFFFFFFu}; }
};

// The linked form of a game that the PGSolver reader fills.
class GameGraph {
 public:
  GameGraph();
  GameGraph(const GameGraph&) = delete;
  GameGraph& operator=(const GameGraph&) = delete;
  ~GameGraph();

  void clear();
  // Reads a PGSolver file. Returns 0 on success; on failure writes the message
  // to standard error, leaves the graph empty and returns -1.
  int read(const std::string& file_name);
  // The same with other limits (tests use small ones).
  int read(const std::string& file_name, const GameLimits& limits);
  // Reads PGSolver text already in memory (decompressed or piped input):
  // text[0 .. length - 1] followed by a zero byte at text[length]. The text is
  // freed as soon as it has been parsed. Messages and result as read.
  int read_text(std::unique_ptr<char[]> text, std::size_t length,
                const GameLimits& limits = GameLimits::largest());

  uint32_t n_nodes = 0;
  uint32_t n_edges = 0;
  uint32_t min_color = 0;
  uint32_t max_color = 0;
  GraphNode* first = nullptr;
  GraphNode* last = nullptr;

 private:
  friend class GameGraphParser;
  RecordPool<GraphNode> node_pool_;
  RecordPool<GraphEdge> edge_pool_;
  IdIndex index_;
};
