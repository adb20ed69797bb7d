#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "host/types.h"

// Node descriptions of one stretch of a file, in file order, with the
// successors still as identifiers.
struct ParsedPiece {
  std::vector<uint32_t> node_id;
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  std::vector<uint32_t> n_succ;
  std::vector<uint32_t> succ;  // identifiers; indices once resolved
  color_t min_color = 0xFFFF;
  color_t max_color = 0;

  // Room for the descriptions that `bytes` of text can hold at most, taken
  // up front so the arrays never move; untouched room costs address space
  // only.
  void reserve_for(uint64_t bytes);
  void release();
};

// Parses the descriptions in text[0 .. size), which ends with a ';' and is
// followed by a zero byte, and appends them to the piece. Returns false on
// anything that the full reader or the conversion would report (or where the
// two could differ); what was appended is then meaningless.
bool parse_descriptions(const char* text, std::size_t size, ParsedPiece& piece);
