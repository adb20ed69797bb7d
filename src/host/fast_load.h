#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "host/csr_conversion.h"
#include "host/description_parser.h"
#include "host/types.h"

// The quick road from a PGSolver file to CSR arrays, for files that load
// without a word: the text is streamed in chunks, parsed in pieces on
// several threads, and the arrays are filled by counting and prefix sums,
// with no linked records. Anything else (a message of the reader, a refusal
// of the conversion, a zero byte, limits) is left to the full reader
// (GameGraph::read and convert_to_csr), which then runs from the start and
// reports it exactly as always. For every file both roads give the same
// arrays.
class FastGameLoad {
 public:
  // True when the file was read whole and every check of the reader and the
  // conversion passes; the game is then ready for fill().
  bool read(const std::string& path);
  // The same in a given number of pieces and threads, however small the
  // file (tests compare piece counts).
  bool read(const std::string& path, unsigned int pieces);

  uint32_t n_nodes = 0;
  uint32_t n_edges = 0;
  color_t min_color = 0;
  color_t max_color = 0;

  // Writes the arrays of the game read, which were allocated for n_nodes and
  // n_edges, and the largest degrees; gives its own buffers back as it goes.
  void fill(CsrTarget& target);

 private:
  bool resolve_successors();
  void fill_predecessors(CsrTarget& target) const;

  std::vector<ParsedPiece> pieces_;
  unsigned int threads_ = 1;
};
