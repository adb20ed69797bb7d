#pragma once
#include <cstdint>
#include <string>
#include "test_game.h"

enum class OwnerMode { random, all_even, all_odd };
enum class IdMode { dense, shuffled, sparse };

// Parameters of a seeded random game. Every node gets between min_out and
// max_out successors (at least one), chosen uniformly with repetition allowed.
struct RandomGameParams {
  uint32_t n_nodes = 10;
  uint32_t min_color = 0;
  uint32_t max_color = 5;
  uint32_t min_out = 1;
  uint32_t max_out = 3;
  double self_loop_probability = 0.0;  // chance that a node also lists itself
  OwnerMode owners = OwnerMode::random;
  IdMode ids = IdMode::dense;
  uint64_t seed = 1;
};

TestGame random_game(const RandomGameParams& params);
// A chain 0 -> 1 -> ... -> n-1 with the last node looping to itself; colours
// and owners drawn from the seed.
TestGame chain_game(uint32_t n, uint32_t max_color, uint64_t seed);
// A readable one-line summary for failure messages (seed and sizes).
std::string describe(const RandomGameParams& params);
