#pragma once
#include <cstdint>
#include <ostream>
#include "host/types.h"

// "Won by Even:" and "Won by Odd:" with the node indices of each region.
void print_winner_lists(std::ostream& out, const color_t* color, uint32_t n_nodes);
