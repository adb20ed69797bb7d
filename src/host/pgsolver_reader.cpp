// Reader of the PGSolver text format into a GameGraph.
//
// The whole file is read at once and parsed in place with a moving pointer;
// nothing is split into lines or tokens, so large games load in linear time.
// Errors are thrown as strings inside the reader and reported by GameGraph::read
// together with what was read of the offending node description.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "host/game_graph.h"
#include "host/number_scan.h"

namespace {

// Loads the whole file followed by a zero byte. False when the file cannot be
// opened or its size cannot be told; a directory is refused up front because
// it may open and report a size without having any content.
bool load_text(const std::string& file_name, std::unique_ptr<char[]>& text, std::size_t& length) {
  std::error_code ignored;
  if (std::filesystem::is_directory(file_name, ignored)) return false;
  std::ifstream in(file_name, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0, std::ios::beg);
  text.reset(new char[static_cast<std::size_t>(size) + 1]);
  in.read(text.get(), size);
  length = static_cast<std::size_t>(in.gcount());
  text[length] = '\0';
  return true;
}

}  // namespace

// Parse state of one read: the position, the start of the current node
// description and the last position recorded for the error echo.
class GameGraphParser {
 public:
  GameGraphParser(GameGraph& graph, const GameLimits& limits) : graph_(graph), limits_(limits) {}

  // Fills the graph's node list from the zero-terminated text; edges keep the
  // successor ids. Throws the message of the first error as a std::string.
  void parse(const char* text);
  // Writes what was read of the description being parsed, then a line end.
  void echo(std::ostream& out) const;
  // Links every edge to its target; false (after reporting) on an unknown id.
  bool resolve_edges();

 private:
  void skip_blanks() {
    while (is_blank(*pos_)) ++pos_;
    recorded_ = pos_;
  }
  uint32_t number(const char* message) {
    uint32_t value = 0;
    if (!read_number(pos_, &pos_, &value)) throw std::string(message);
    return value;
  }
  void skip_past(char c) {
    const char* found = std::strchr(pos_, c);  // stops at the zero byte, as the text does
    if (found == nullptr) throw std::string("ERROR: expected character: ") + c;
    pos_ = found + 1;
  }
  void read_node(GraphNode* node);

  GameGraph& graph_;
  const GameLimits limits_;
  const char* pos_ = nullptr;
  const char* desc_start_ = nullptr;
  const char* recorded_ = nullptr;
  std::vector<uint32_t> successors_;  // ids of the node being read, popped last first
};

void GameGraphParser::parse(const char* text) {
  pos_ = desc_start_ = recorded_ = text;
  // The header's node count is not needed: ids are indexed as they come.
  if (std::strncmp(text, "parity", 6) == 0) {
    pos_ = recorded_ = text + 6;
    skip_past(';');
  }
  skip_blanks();
  if (*pos_ == '\0') throw std::string("ERROR: no nodes defined.");

  GraphNode* node = graph_.node_pool_.take();
  graph_.first = graph_.last = node;
  graph_.min_color = 0xFFFFFFFFu;
  for (;;) {
    read_node(node);
    if (*pos_ == '\0') break;
    GraphNode* next = graph_.node_pool_.take();
    node->next = next;
    next->prev = node;
    graph_.last = node = next;
  }
}

void GameGraphParser::read_node(GraphNode* node) {
  desc_start_ = pos_;
  // Counts past the limits would wrap and index the game wrongly.
  if (graph_.n_nodes >= limits_.max_nodes) {
    throw "ERROR: too many nodes, the limit is " + std::to_string(limits_.max_nodes) + ".";
  }
  ++graph_.n_nodes;

  const uint32_t id = number("ERROR: expected node id as first number in node description.");
  skip_blanks();
  const uint32_t color = number("ERROR: expected color as second number in node description.");
  skip_blanks();
  static const char* const owner_error = "ERROR: expected owner as third number in node description.";
  const uint32_t owner = number(owner_error);
  if (owner > 1) throw std::string(owner_error);
  skip_blanks();

  graph_.max_color = std::max(graph_.max_color, color);
  graph_.min_color = std::min(graph_.min_color, color);
  node->id = id;
  node->color = color;
  node->owner = static_cast<uint8_t>(owner);
  // Nodes are taken from the pool one per description, so this one's pool
  // position is the count so far less one.
  if (!graph_.index_.insert(id, graph_.n_nodes - 1)) throw std::string("ERROR: redefinition of a node.");

  successors_.clear();
  while (*pos_ != ';' && *pos_ != '"' && *pos_ != '\0') {
    const uint32_t successor = number("ERROR: expected list of successors.");
    // Checked as the list grows, so that no list outgrows the limit in memory.
    if (graph_.n_edges + static_cast<uint64_t>(successors_.size()) >= limits_.max_edges) {
      throw "ERROR: too many edges, the limit is " + std::to_string(limits_.max_edges) + ".";
    }
    successors_.push_back(successor);
    skip_blanks();
    if (*pos_ == ',') {
      ++pos_;
      skip_blanks();
    }
  }

  const uint32_t n_succs = static_cast<uint32_t>(successors_.size());
  graph_.n_edges += n_succs;
  node->n_succs = n_succs;
  // Pushing each edge at the front while popping the ids leaves the list in file order.
  while (!successors_.empty()) {
    GraphEdge* edge = graph_.edge_pool_.take();
    edge->source = node;
    edge->target_id = successors_.back();
    successors_.pop_back();
    edge->next_succ = node->first_succ;
    if (node->first_succ != nullptr) node->first_succ->prev_succ = edge;
    node->first_succ = edge;
  }

  // A name runs from its opening quote to the next ';', quotes inside included.
  if (*pos_ == '"') recorded_ = ++pos_;
  skip_past(';');
  skip_blanks();
}

void GameGraphParser::echo(std::ostream& out) const {
  // Every description starts where white space was skipped and recorded, so
  // the recorded position is never behind it; the test only guards the write.
  if (recorded_ > desc_start_) out.write(desc_start_, recorded_ - desc_start_);
  out << std::endl;
}

bool GameGraphParser::resolve_edges() {
  // The edges in resolution order: nodes in file order, each one's successors
  // in file order. Every edge then needs its target found and pushed onto the
  // target's predecessor list, three loads from random places (index slot,
  // target node, the target's current first predecessor); they are prefetched
  // a few edges ahead so that many are in flight at once. Only the prefetches
  // run ahead: the lists are changed strictly in resolution order.
  std::vector<GraphEdge*> edges;
  edges.reserve(graph_.n_edges);
  for (GraphNode* node = graph_.first; node != nullptr; node = node->next)
    for (GraphEdge* edge = node->first_succ; edge != nullptr; edge = edge->next_succ) edges.push_back(edge);

  const std::size_t m = edges.size();
  const std::size_t ahead = 8;  // edges between the stages below
  // Targets of the edges between the look-up stage and the linking stage.
  GraphNode* found[2 * ahead] = {};
  auto look_up = [&](std::size_t k) {
    const uint32_t position = graph_.index_.find(edges[k]->target_id);
    GraphNode* target = position == IdIndex::absent ? nullptr : graph_.node_pool_.at(position);
    found[k % (2 * ahead)] = target;
    if (target != nullptr) __builtin_prefetch(target, 1);
  };
  for (std::size_t k = 0; k < std::min(m, ahead); ++k) look_up(k);
  for (std::size_t k = ahead; k < std::min(m, 2 * ahead); ++k) graph_.index_.prefetch(edges[k]->target_id);

  for (std::size_t k = 0; k < m; ++k) {
    if (k + 2 * ahead < m) graph_.index_.prefetch(edges[k + 2 * ahead]->target_id);
    if (k + ahead < m) {
      look_up(k + ahead);
      // The target of an edge half way along is in cache by now; its first
      // predecessor is where that edge's link will go (unless an edge before
      // it has the same target, when the hint is merely wasted).
      const GraphNode* soon = found[(k + ahead / 2) % (2 * ahead)];
      if (soon != nullptr && soon->first_pred != nullptr) __builtin_prefetch(soon->first_pred, 1);
    }
    GraphEdge* edge = edges[k];
    GraphNode* target = found[k % (2 * ahead)];
    if (target == nullptr) {
      std::cerr << "ERROR: node " << edge->source->id << " has undefined successor " << edge->target_id
                << std::endl;
      return false;
    }
    edge->target = target;
    edge->next_pred = target->first_pred;
    if (target->first_pred != nullptr) target->first_pred->prev_pred = edge;
    target->first_pred = edge;
    ++target->n_preds;
  }
  return true;
}

int GameGraph::read(const std::string& file_name) { return read(file_name, GameLimits::largest()); }

int GameGraph::read(const std::string& file_name, const GameLimits& limits) {
  clear();
  std::unique_ptr<char[]> text;
  std::size_t length = 0;
  if (!load_text(file_name, text, length)) {
    std::cerr << "Couldn't open file " << file_name << std::endl;
    return -1;
  }
  return read_text(std::move(text), length, limits);
}

int GameGraph::read_text(std::unique_ptr<char[]> text, std::size_t length, const GameLimits& limits) {
  clear();
  // Every description ends with ';', so this bounds the node count and spares
  // the index its rehashes on large games.
  index_.reserve(static_cast<std::size_t>(std::count(text.get(), text.get() + length, ';')) + 1);

  GameGraphParser parser(*this, limits);
  try {
    parser.parse(text.get());
  } catch (const std::string& message) {
    std::cerr << message << std::endl;
    parser.echo(std::cerr);
    text.reset();
    clear();
    return -1;
  } catch (...) {
    clear();
    throw;
  }
  text.reset();

  if (!parser.resolve_edges()) {
    clear();
    return -1;
  }
  return 0;
}
