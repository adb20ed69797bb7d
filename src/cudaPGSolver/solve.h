#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "host/parity_game.h"
#include "host/time_list.h"

// Reads, solves and prints one game: the time report and, with print set, the
// winner lists on standard output. Returns false when no game was read (the
// reader refuses a file without nodes, so an empty game is a failed read).
bool solve_file(const std::string& file_name, TimeList* list, bool print, unsigned int alg_id);

// Runs the device part of alg_id 0 to 9 and leaves the winners (0 Even, 1 Odd)
// in the game's color array. With strategy given, the solver is handed a
// strategy array and its content (n_nodes successor indices, no_strategy where
// the solver gave none) comes back there.
void solve_game(ParityGame& game, unsigned int alg_id, TimeList* list, std::vector<uint32_t>* strategy = nullptr);
