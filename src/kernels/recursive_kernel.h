#pragma once
#include "common/platform.h"

// Kernels of the recursive (Zielonka) solvers. One thread per element t < n;
// list holds node indices, active the recursion level of every node, attr the
// attractor states (0 outside, 1 in the sub-game, 2 in the attractor). Marks
// are stored as 16-bit colours: 0 won by Even, 1 won by Odd.
namespace kernel {

// color[t] += 2, which frees the values 0 and 1 for the won marks.
__global__ void shift_color(unsigned short* color, unsigned int n);

// out[t] = color[list[t]].
__global__ void copy_array(unsigned short* color, unsigned int* out, unsigned int* list, unsigned int n);

// color[list[t]] = mark.
__global__ void mark_won(unsigned short* color, unsigned int mark, unsigned int* list, unsigned int n);

// attr[v] = 2 when color[v] == c, else 1, for v = list[t].
__global__ void find_color_for_attractor(unsigned short* color, unsigned int c, unsigned int* list, unsigned int n,
                                         unsigned int* attr);

// attr[v] = 2 when v lies above level (it belonged to the deeper sub-game
// just solved) and carries the mark, else 1, for v = list[t]. Nodes at the
// level itself may hold marks left from an earlier pass; they are no targets.
__global__ void find_won_for_attractor(unsigned short* color, unsigned int mark, unsigned int* active,
                                       unsigned int level, unsigned int* list, unsigned int n, unsigned int* attr);

// active[v] += attr[v] & 1 for v = list[t]: nodes outside the attractor move
// one level down, attractor nodes stay.
__global__ void disable_attractor_nodes(unsigned int* active, unsigned int* attr, unsigned int* list, unsigned int n);

// For v = list[t]: attractor nodes get the mark and stay at level, all others
// go to level + 1.
__global__ void mark_attractor_won(unsigned short* color, unsigned int* active, unsigned int level, unsigned int* attr,
                                   unsigned int mark, unsigned int* list, unsigned int n);

// Strategies (only when they are asked for). For v = list[t] with color[v] == c
// owned by the player: strategy[v] = its first successor w with
// active[w] >= level, i.e. one inside the sub-game of that level.
__global__ void choose_successor_in_subgame(unsigned short* color, unsigned int c, const unsigned char* owner,
                                            unsigned int player, const unsigned int* n_succ,
                                            const unsigned int* succ_begin, const unsigned int* succ_array,
                                            const unsigned int* active, unsigned int level, unsigned int* list,
                                            unsigned int n, unsigned int* strategy);

// strategy[t] = no_strategy where the won mark color[t] is not owner[t]: the
// owner loses the node, and what an earlier pass recorded there is stale.
__global__ void drop_lost_strategies(unsigned short* color, const unsigned char* owner, unsigned int* strategy,
                                     unsigned int n);

}  // namespace kernel
