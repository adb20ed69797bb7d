#pragma once
// Strategies for the regions a solver left without them.
#include <cstdint>
#include <vector>

#include "pgsolve/loaded_game.h"

// The solver that completes strategies (the recursive solver on the arena).
const unsigned int completion_alg_id = 11;

// For each player whose region has a node of that player without a strategy,
// solves the region's subgame with the completion solver and takes its
// strategy for the whole region: a player's winning region is a trap for the
// opponent, so that subgame is won by the player everywhere, and a strategy
// winning it wins the region in the whole game. Returns how many regions
// were completed. Throws a one-line std::string when a region is not a trap
// (the winners are wrong), when the subgame is not won everywhere by the
// region's player, or when the completion solver gives no strategy.
int complete_strategies(const LoadedGame& loaded, const std::vector<uint8_t>& winner, std::vector<uint32_t>& strategy);

// The subgame induced by nodes (file indices, increasing): each keeps its
// colour, owner and identifier, and the edges to other nodes of the set.
// Throws when a node keeps no successor.
void induced_subgame(const ParityGame& game, const std::vector<color_t>& colour, const std::vector<uint32_t>& nodes,
                     ParityGame& sub);
