#pragma once
#include <cstdint>
#include <vector>

#include "test_game.h"

// Zielonka's recursive algorithm over plain node sets, written from the
// textbook and independent of every device solver. Returns the winner (0 Even,
// 1 Odd) of every node index. The game must have no dead ends.
std::vector<uint8_t> reference_solve(const TestGame& game);

// The same solve with winning strategies: strategy[v] is the successor index
// that the owner of v plays where it wins v (attracting edges composed through
// the recursion), 0xFFFFFFFF where it loses v.
struct ReferenceSolution {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
};
ReferenceSolution reference_solve_with_strategy(const TestGame& game);

// True when the regions are consistent with the game: each region is a trap
// for its loser and its winner can keep every play inside it.
bool regions_are_closed(const TestGame& game, const std::vector<uint8_t>& winner);
