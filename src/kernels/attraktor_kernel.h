#pragma once
#include "common/platform.h"

// One pass of an attractor computation. attr holds one state per node:
// 0 outside the sub-game, 1 in the sub-game, 2 in the attractor. A node in
// state 1 joins (state 2, and *changed = true) when it belongs to the player
// and some successor is in state 2, or belongs to the opponent and no
// successor is in state 1. One thread per node; states only grow, so a node
// missed in one pass is taken in a later one. strategy is null, or one entry
// per node: a joining node of the attracting player writes there the
// successor in the attractor through which it joins (only v's thread writes
// strategy[v]).
namespace kernel {

// Over the nodes of work_list[0 .. n_work), which must all be in state 1.
__global__ void attraktor_forward_even(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                       const unsigned int* succ_begin, unsigned int* succ_array,
                                       unsigned int* work_list, unsigned int n_work, unsigned int* attr,
                                       unsigned int* strategy);
__global__ void attraktor_forward_odd(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                      const unsigned int* succ_begin, unsigned int* succ_array, unsigned int* work_list,
                                      unsigned int n_work, unsigned int* attr, unsigned int* strategy);

// Over all nodes 0 .. n_nodes - 1; nodes not in state 1 are skipped. The
// successor lists are an arena's: succ_begin has n_nodes + 1 entries, and a
// node's list ends where the next one's begins (n_succ is not read).
__global__ void attraktor_forward_even_no_wl(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                             const unsigned int* succ_begin, unsigned int* succ_array,
                                             unsigned int n_nodes, unsigned int* attr, unsigned int* strategy);
__global__ void attraktor_forward_odd_no_wl(bool* changed, const unsigned char* owner, unsigned int* n_succ,
                                            const unsigned int* succ_begin, unsigned int* succ_array,
                                            unsigned int n_nodes, unsigned int* attr, unsigned int* strategy);

}  // namespace kernel

// One pass of the all-nodes kernel of player p (0 Even, 1 Odd), n_blocks
// blocks of 256 threads, with the kernels' arguments. It is launched here,
// where the kernels are defined, so that the host backend runs their bodies
// inline rather than one call a node: these passes are most of Vantor's time.
void launch_attractor_pass_no_wl(unsigned int p, unsigned int n_blocks, bool* changed, const unsigned char* owner,
                                 unsigned int* n_succ, const unsigned int* succ_begin, unsigned int* succ_array,
                                 unsigned int n_nodes, unsigned int* attr, unsigned int* strategy);
