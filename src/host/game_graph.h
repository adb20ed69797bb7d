#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
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

 private:
  std::vector<T*> blocks_;
  std::size_t used_in_last_ = block_size;
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
  std::unordered_map<uint32_t, GraphNode*> index_;
};
