#pragma once
// A plain sequential small-progress-measure solver with a work queue, written
// from the textbook (Jurdzinski 2000): the yardstick of bench_spm, not one of
// the system's solvers. It works on the host game and touches no device.
#include <cstdint>
#include <vector>

#include "host/parity_game.h"

struct TextbookSpmResult {
  std::vector<uint8_t> winner;  // 0 Even, 1 Odd, by node index
  uint64_t lifts = 0;           // nodes taken from the queue
  uint64_t raises = 0;          // lifts that stored a greater measure
};

// The progress measure of the player P of the largest colour's parity (the
// measure the one-sided solvers keep); a node is won by the other player
// exactly when its measure reaches top.
TextbookSpmResult textbook_spm_solve(const ParityGame& game);
