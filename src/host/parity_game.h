#pragma once
#include <cstdint>
#include <string>
#include "host/types.h"

// A game in compressed-sparse-row form on the host. Owns its arrays; every
// field is zero and every array absent when empty.
struct ParityGame {
  uint32_t n_nodes = 0;
  uint32_t n_edges = 0;
  color_t min_color = 0;
  color_t max_color = 0;
  uint32_t max_n_succ = 0;
  uint32_t max_n_pred = 0;
  color_t* color = nullptr;
  uint8_t* owner = nullptr;
  uint32_t* n_succ = nullptr;
  uint32_t* n_pred = nullptr;
  uint32_t* succ_begin = nullptr;
  uint32_t* pred_begin = nullptr;
  uint32_t* succ_array = nullptr;
  uint32_t* pred_array = nullptr;
  uint32_t* node_id = nullptr;

  ParityGame() = default;
  ParityGame(const ParityGame&) = delete;
  ParityGame& operator=(const ParityGame&) = delete;
  ~ParityGame() { release(); }

  // Replaces the content with the game in the file. A file the reader rejects
  // gives an empty game (zero nodes, begin arrays [0]); a failed conversion
  // check throws a std::string.
  void load(const std::string& file_name);
  // The two roads of load. The quick one takes only files that load without
  // a word and returns false, leaving the game as it was, for any other; the
  // full reader takes every file and reports what is wrong with it. Both give
  // the same arrays where the quick one succeeds.
  bool load_quickly(const std::string& file_name);
  void load_with_full_reader(const std::string& file_name);
  // Sizes every array for n nodes and m edges (contents unspecified).
  void allocate(uint32_t n, uint32_t m);
  void release();
};
