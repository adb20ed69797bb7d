#pragma once
#include <cstdint>

// A node's colour (priority). Loading refuses colours above 32767, so twice a
// colour and the solvers' won marks (0 and 1 below real colours) fit in 16 bits.
typedef unsigned short color_t;
// 0 is player Even, 1 is player Odd.
typedef unsigned char owner_t;
// A node's strategy: the index of the successor its owner plays, or
// no_strategy where the owner loses the node (or no strategy was asked for).
const uint32_t no_strategy = 0xFFFFFFFFu;
