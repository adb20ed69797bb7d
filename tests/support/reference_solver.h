#pragma once
#include <cstdint>
#include <vector>
#include "test_game.h"

// Zielonka's recursive algorithm over plain node sets, written from the
// textbook and independent of every device solver. Returns the winner (0 Even,
// 1 Odd) of every node index. The game must have no dead ends.
std::vector<uint8_t> reference_solve(const TestGame& game);

// True when the regions are consistent with the game: each region is a trap
// for its loser and its winner can keep every play inside it.
bool regions_are_closed(const TestGame& game, const std::vector<uint8_t>& winner);
