#pragma once
// One solve of a loaded game by an algorithm of the table, on whichever road
// the table gives it, with the answer in file order.
#include <cstdint>
#include <string>
#include <vector>

#include "cudaPGSolver/algorithms.h"
#include "host/time_list.h"
#include "pgsolve/loaded_game.h"
#include "verify/solution_file.h"

class cudaGpuArena;

// Solves; winners and strategies come back by node index of the file (the
// strategy no_strategy where none is known). The solver is handed a strategy array only with with_strategy (and
// the strategy stays all no_strategy otherwise). Throws a std::string when the
// solver fails or leaves a node undecided.
Solution run_solver(LoadedGame& loaded, const Algorithm& algorithm, bool with_strategy, TimeList* list);

// The default, auto: tangle learning and Zielonka's algorithm race on the
// game (see solve_by_race); answered_by names the one whose answer is taken.
Solution run_race(LoadedGame& loaded, bool with_strategy, TimeList* list, std::string& answered_by);

// Copies a CSR game into the host side of an empty arena.
void fill_arena(const ParityGame& game, cudaGpuArena& arena);
