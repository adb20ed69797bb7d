#pragma once
#include <cstdint>
#include "common/platform.h"
#include "host/parity_game.h"
#include "host/types.h"

// The device arrays of one game on the CSR road, with the working buffers of
// the progress-measure solvers. Owns every buffer it points to; a zeroed
// structure is empty.
struct DeviceMemoryPtr {
  uint32_t* succ_begin = nullptr;
  uint32_t* pred_begin = nullptr;
  uint32_t* succ_array = nullptr;
  uint32_t* pred_array = nullptr;
  uint32_t n_nodes = 0;
  uint32_t n_edges = 0;
  uint32_t* n_succ = nullptr;
  uint32_t* n_pred = nullptr;
  color_t* color = nullptr;
  uint8_t* owner = nullptr;
  uint32_t* rank_counter = nullptr;
  uint32_t* work_list = nullptr;
  uint32_t* work_list_next = nullptr;
  uint32_t* work_list_permutation = nullptr;
  int* valuation = nullptr;
  int* valuation_next = nullptr;
  bool* go_on = nullptr;
  // Strategies, only when asked for (allocate_strategy): n_nodes successor
  // indices, no_strategy where none is known. Solvers that compute
  // strategies fill it when it is present and skip that work otherwise.
  uint32_t* strategy = nullptr;

  DeviceMemoryPtr() = default;
  DeviceMemoryPtr(const DeviceMemoryPtr&) = delete;
  DeviceMemoryPtr& operator=(const DeviceMemoryPtr&) = delete;
  ~DeviceMemoryPtr() { release(); }

  // Allocates the game's arrays on the device and copies them there; the
  // predecessor side only when with_predecessors is set.
  void allocate_and_initilaize(const ParityGame& game, bool with_predecessors);
  // Frees every buffer that is present and zeroes the structure.
  void release();

  // Allocates strategy, every entry no_strategy.
  void allocate_strategy();

  // Working buffers of the progress-measure solvers (sizes in elements).
  // Each refuses a buffer that is already allocated.
  void allocate_rank_counter(uint32_t count);
  // valuation and valuation_next, n_nodes rows of valuation_dim ints each.
  void allocate_valuation(uint32_t valuation_dim);
  // Clears both valuation arrays.
  void initialize_valuation(uint32_t valuation_dim);

  // work_list = 0 .. n_nodes - 1.
  void reset_work_list();
  // Turns the flags in work_list_permutation[0 .. n_nodes - 1] into the next
  // work list (flagged nodes in increasing order); returns its length.
  uint32_t rebuild_work_list();
  // Keeps the still undecided nodes of work_list[0 .. count - 1], in their
  // order; the former list becomes work_list_next. Returns the new length.
  uint32_t compact_active_nodes(uint32_t count);
};
