#pragma once
// Solutions in PGSolver's solution format:
//   paritysol N;                 N = the largest node identifier
//   id winner [successor];       one line per node, by file identifier
// The successor (its identifier) is given for every node whose owner wins it.
#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "verify/verifier.h"

// Winner (0 Even, 1 Odd) and strategy (successor index or no_strategy) by
// node index of the game.
struct Solution {
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
};

// Writes the solution, nodes in index order. A strategy is written where the
// owner wins the node; entries elsewhere are ignored.
void write_solution(std::ostream& out, const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy);

// Reads a solution of the game: node and successor identifiers become node
// indices. The header line is optional. A successor given for a node that its
// owner loses is ignored. Returns an empty string on success, otherwise one
// line naming the first fault (and solution is unspecified). Whether a
// successor is an edge of the game is left to verify_solution.
std::string read_solution(std::istream& in, const VerifierGame& game, Solution& solution);
