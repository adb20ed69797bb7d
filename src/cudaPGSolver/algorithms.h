#pragma once
#include <ostream>
#include <string>
#include "common/platform.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "host/time_list.h"

class cudaGpuArena;

// A solver of the CSR road: works on the game's device arrays and leaves the
// won marks (0 Even, 1 Odd) in the device color array.
typedef void (*CsrSolver)(DeviceMemoryPtr& memory, const ParityGame& game, const cudaDeviceProp& properties,
                          TimeList* list);
// A solver of the arena road: works on the uploaded arena and leaves the won
// marks in arena.device.color.
typedef void (*ArenaSolver)(cudaGpuArena& arena);

// How a game reaches its solver: solve_game on a DeviceMemoryPtr, the arena
// driver on a cudaGpuArena, or the range solver, which loads and prints itself.
enum class Road { csr, arena, range };

// What a solver leaves in a strategy array it is handed: nothing, strategies
// for some nodes (pgsolve completes the regions they leave open), or a
// strategy for every node its owner wins.
enum class Strategies { none, partial, both };

// One row per algorithm. The nine programs, pgsolve, the tests and the
// harness all read this table; a new solver is one more row.
struct Algorithm {
  unsigned int alg_id;
  const char* name;     // pgsolve's name for it
  const char* program;  // the program built for it (src/CMakeLists.txt)
  const char* banner;   // written to standard output before the solve; null for the range road
  Road road;
  Strategies strategies;
  CsrSolver solve;          // csr road only
  ArenaSolver arena_solve;  // arena road only
};

// Every row, in table order.
const Algorithm* algorithms_begin();
const Algorithm* algorithms_end();

// The row of alg_id, or of a name; null when there is none.
const Algorithm* find_algorithm(unsigned int alg_id);
const Algorithm* find_algorithm(const std::string& name);

// The road an alg_id takes. Numbers without a row go where the entry point
// has always sent them (below 10 the CSR road, from 10 the arena road), to be
// refused there with "Unkown alg_id".
Road road_of(unsigned int alg_id);

const char* road_name(Road road);
const char* strategies_name(Strategies strategies);

// The table as --list-algorithms prints it: a heading line, then one line per row.
void print_algorithm_table(std::ostream& out);

// The CSR-road row of alg_id, or null (kept for the callers of the CSR road).
typedef Algorithm CsrAlgorithm;
const CsrAlgorithm* find_csr_algorithm(unsigned int alg_id);
