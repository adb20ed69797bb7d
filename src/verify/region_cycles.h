#pragma once
// The cycle condition of a solution: inside each winning region, with the
// winner's nodes restricted to their strategy edge, no cycle may have a
// highest colour of the opponent's parity.
#include <cstdint>

#include "verify/verifier.h"

// Returns the index of a node that lies on a cycle won by the opponent of its
// region (its colour is the cycle's highest up to colours of the same parity),
// or no_node when every region holds. Expects what verify_solution checks
// before: winners 0 or 1, closed regions, strategies that are edges.
//
// Runs in O((n + m) log d) for d distinct colours: one decomposition of the
// whole game into strongly connected components (a solver's strategies leave
// few nodes on cycles), then each component with a cycle is searched by
// splitting its colour range in halves; the lower half keeps the components
// below the split, the upper half sees each of them as one node, so every
// edge goes to exactly one half.
uint32_t find_cycle_won_by_opponent(const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy);

const uint32_t no_node = 0xFFFFFFFFu;
