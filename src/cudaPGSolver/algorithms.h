#pragma once
#include "common/platform.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "host/time_list.h"

// A solver of the CSR road: works on the game's device arrays and leaves the
// won marks (0 Even, 1 Odd) in the device color array.
typedef void (*CsrSolver)(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list);

struct CsrAlgorithm {
  unsigned int alg_id;
  const char* banner;  // written to standard output before the solve
  CsrSolver solve;
};

// The algorithms reached through solve_game; null for an unknown alg_id.
const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id);
