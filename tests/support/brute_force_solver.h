#pragma once
#include <cstdint>
#include <vector>
#include "test_game.h"

// A deliberately naive solver for tiny games, used only to check the
// reference solver. It relies on positional determinacy: `player` wins from v
// iff some positional strategy of `player` makes every cycle reachable from v
// (with the opponent's moves all kept) have a maximal colour of its parity.
// Returns, for every node, 1 if `player` wins there. Throws when the number of
// strategies exceeds max_strategies.
std::vector<uint8_t> brute_force_wins(const TestGame& game, uint8_t player,
                                      uint64_t max_strategies = 1u << 20);

// Winner (0 Even, 1 Odd) of every node, from the strategies of Even alone.
std::vector<uint8_t> brute_force_solve(const TestGame& game);
