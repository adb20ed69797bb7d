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

  DeviceMemoryPtr() = default;
  DeviceMemoryPtr(const DeviceMemoryPtr&) = delete;
  DeviceMemoryPtr& operator=(const DeviceMemoryPtr&) = delete;
  ~DeviceMemoryPtr() { release(); }

  // Allocates the game's arrays on the device and copies them there; the
  // predecessor side only when with_predecessors is set.
  void allocate_and_initilaize(const ParityGame& game, bool with_predecessors);
  // Frees every buffer that is present and zeroes the structure.
  void release();
};
