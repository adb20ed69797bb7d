#pragma once
// An independent check of a solved game: shares nothing with the solvers.
#include <cstdint>
#include <string>

// A read-only view of a game in compressed row form, with the colours as the
// file gives them (any 32-bit value) and the file identifiers for messages.
struct VerifierGame {
  uint32_t n_nodes = 0;
  const uint32_t* color = nullptr;       // n entries
  const uint8_t* owner = nullptr;        // n entries, 0 Even, 1 Odd
  const uint32_t* succ_begin = nullptr;  // n + 1 entries
  const uint32_t* succ_array = nullptr;  // succ_begin[n] entries, node indices
  const uint32_t* node_id = nullptr;     // n entries, identifier in the file
};

// Checks winners (winner[v] is 0 or 1) and strategies (strategy[v] is the
// successor index that the owner of v plays where the owner wins v, otherwise
// no_strategy). Returns an empty string when the solution holds, otherwise one
// line that describes the first violation by node identifiers.
std::string verify_solution(const VerifierGame& game, const uint8_t* winner, const uint32_t* strategy);
