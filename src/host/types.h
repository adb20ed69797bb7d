#pragma once
#include <cstdint>

// A node's colour (priority). Loading refuses colours above 32767, so twice a
// colour and the solvers' won marks (0 and 1 below real colours) fit in 16 bits.
typedef unsigned short color_t;
// 0 is player Even, 1 is player Odd.
typedef unsigned char owner_t;
