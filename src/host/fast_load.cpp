#include "host/fast_load.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

#include "host/description_chunks.h"
#include "host/game_graph.h"
#include "host/thread_split.h"

namespace {

// Pieces below this size are not worth a thread.
const uint64_t min_piece_bytes = uint64_t(1) << 22;

// Parses one stretch; the first one of the file may open with the header.
bool parse_piece(const std::string& path, uint64_t begin, uint64_t end, bool first, ParsedPiece& piece) {
  try {
    piece.reserve_for(end - begin);
    DescriptionChunks chunks(path, begin, end);
    const char* data = nullptr;
    std::size_t size = 0;
    bool header_checked = !first;
    while (chunks.next(data, size)) {
      if (!header_checked) {
        header_checked = true;
        // As the full reader: "parity" as the first six bytes, the rest up
        // to the first ';' unread. That ';' is in this chunk.
        if (std::strncmp(data, "parity", 6) == 0) {
          const std::size_t skip = static_cast<const char*>(std::memchr(data, ';', size)) - data + 1;
          data += skip;
          size -= skip;
        }
      }
      if (!parse_descriptions(data, size, piece)) return false;
    }
    return chunks.clean();
  } catch (const std::exception&) {
    return false;  // out of memory: the full reader runs and meets it itself
  }
}

}  // namespace

bool FastGameLoad::read(const std::string& path) {
  std::error_code error;
  const uint64_t size = std::filesystem::file_size(path, error);
  const uint64_t pieces = error ? 1 : std::min<uint64_t>(loader_threads(), size / min_piece_bytes);
  return read(path, static_cast<unsigned int>(std::max<uint64_t>(1, pieces)));
}

bool FastGameLoad::read(const std::string& path, unsigned int pieces) {
  pieces_.clear();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  const uint64_t size = std::filesystem::file_size(path, error);
  if (error || size == 0) return false;
  threads_ = std::max(1u, pieces);
  const std::vector<uint64_t> bounds = description_bounds(path, size, threads_);

  const std::size_t k = bounds.size() - 1;
  pieces_.resize(k);
  std::vector<char> ok(k, 0);
  run_split(static_cast<unsigned int>(k), [&](unsigned int i) {
    ok[i] = parse_piece(path, bounds[i], bounds[i + 1], i == 0, pieces_[i]);
  });

  uint64_t nodes = 0, edges = 0;
  min_color = 0xFFFF;
  max_color = 0;
  for (std::size_t i = 0; i < k; ++i) {
    nodes += pieces_[i].node_id.size();
    edges += pieces_[i].succ.size();
    min_color = std::min(min_color, pieces_[i].min_color);
    max_color = std::max(max_color, pieces_[i].max_color);
  }
  // No nodes, or counts at the limits: the full reader has the words for it.
  const GameLimits limits = GameLimits::largest();
  if (std::count(ok.begin(), ok.end(), 0) != 0 || nodes == 0 || nodes >= limits.max_nodes ||
      edges >= limits.max_edges) {
    pieces_.clear();
    return false;
  }
  n_nodes = static_cast<uint32_t>(nodes);
  n_edges = static_cast<uint32_t>(edges);
  if (!resolve_successors()) {
    pieces_.clear();
    return false;
  }
  return true;
}

// Turns successor identifiers into indices. Identifiers 0, 1, 2, ... in file
// order (what generators write) are their own indices; any others go through
// the id index. False on a redefinition or an undefined successor.
bool FastGameLoad::resolve_successors() {
  bool dense = true;
  uint32_t index = 0;
  for (const ParsedPiece& piece : pieces_) {
    for (uint32_t id : piece.node_id) dense = dense && id == index++;
  }
  if (dense) {
    for (const ParsedPiece& piece : pieces_) {
      for (uint32_t s : piece.succ)
        if (s >= n_nodes) return false;
    }
    return true;
  }
  IdIndex index_of;
  index_of.reserve(n_nodes);
  index = 0;
  for (const ParsedPiece& piece : pieces_) {
    for (uint32_t id : piece.node_id)
      if (!index_of.insert(id, index++)) return false;
  }
  for (ParsedPiece& piece : pieces_) {
    const std::size_t m = piece.succ.size();
    for (std::size_t k = 0; k < m; ++k) {
      if (k + 8 < m) index_of.prefetch(piece.succ[k + 8]);
      const uint32_t position = index_of.find(piece.succ[k]);
      if (position == IdIndex::absent) return false;
      piece.succ[k] = position;
    }
  }
  return true;
}
