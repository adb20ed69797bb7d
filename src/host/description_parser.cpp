#include "host/description_parser.h"

#include <cstring>

#include "host/number_scan.h"

void ParsedPiece::reserve_for(uint64_t bytes) {
  // A description takes at least six bytes ("0 0 0;"), a successor at least
  // two (a digit and what ends it).
  const std::size_t nodes = static_cast<std::size_t>(bytes / 6 + 1);
  node_id.reserve(nodes);
  color.reserve(nodes);
  owner.reserve(nodes);
  n_succ.reserve(nodes);
  succ.reserve(static_cast<std::size_t>(bytes / 2 + 1));
}

void ParsedPiece::release() {
  std::vector<uint32_t>().swap(node_id);
  std::vector<color_t>().swap(color);
  std::vector<uint8_t>().swap(owner);
  std::vector<uint32_t>().swap(n_succ);
  std::vector<uint32_t>().swap(succ);
}

// The grammar of the full reader (pgsolver_reader.cpp), step for step, but
// every error ends the parse, and so does a colour the conversion refuses or
// a node without successors. No scan passes a ';' except where a description
// ends, so nothing reads past the chunk.
bool parse_descriptions(const char* text, std::size_t size, ParsedPiece& piece) {
  const char* const limit = text + size;
  const char* p = text;
  for (;;) {
    p = skip_blank_bytes(p);
    if (p >= limit) return true;
    uint32_t id = 0, color = 0, owner = 0;
    if (!read_number(p, &p, &id)) return false;
    p = skip_blank_bytes(p);
    if (!read_number(p, &p, &color) || color > 32767) return false;
    p = skip_blank_bytes(p);
    if (!read_number(p, &p, &owner) || owner > 1) return false;
    p = skip_blank_bytes(p);

    uint32_t count = 0;
    while (*p != ';' && *p != '"') {
      uint32_t successor = 0;
      if (!read_number(p, &p, &successor)) return false;
      piece.succ.push_back(successor);
      ++count;
      p = skip_blank_bytes(p);
      if (*p == ',') p = skip_blank_bytes(p + 1);
    }
    if (count == 0) return false;
    // A name runs to the next ';'; the chunk ends with one.
    if (*p == '"') p = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(limit - p)));
    ++p;

    piece.node_id.push_back(id);
    piece.color.push_back(static_cast<color_t>(color));
    piece.owner.push_back(static_cast<uint8_t>(owner));
    piece.n_succ.push_back(count);
    if (color < piece.min_color) piece.min_color = static_cast<color_t>(color);
    if (color > piece.max_color) piece.max_color = static_cast<color_t>(color);
  }
}
