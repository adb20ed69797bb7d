#pragma once
#include <string>
#include "host/parity_game.h"
#include "host/time_list.h"

// Reads, solves and prints one game: the time report and, with print set, the
// winner lists on standard output.
void solve_file(const std::string& file_name, TimeList* list, bool print, unsigned int alg_id);

// Runs the device part of alg_id 0 to 9 and leaves the winners (0 Even, 1 Odd)
// in the game's color array.
void solve_game(ParityGame& game, unsigned int alg_id, TimeList* list);
