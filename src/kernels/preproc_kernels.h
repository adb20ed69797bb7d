#pragma once
#include <cstdint>
#include "common/platform.h"
#include "host/types.h"

// Kernels of the normalisation for the range solver: colour ranges and
// renaming per SCC, trivial SCCs, SCC starts and self-loops. One thread per
// node; SCC membership is equality of whole SCC words.
namespace kernel {
namespace preproc {

// Trivial SCCs keep only their colour's parity: 2 when it is ref's, else 3.
__global__ void transform_colors_of_trivial_sccs(const uint32_t* scc_id, color_t* color, color_t ref, uint32_t n);

// out[i] = colour of i, or 0 for trivial SCCs (neutral for a maximum).
__global__ void determine_max_color_in_nontrivial_sccs(color_t* out, const uint32_t* scc_id, const color_t* color,
                                                        uint32_t n);

// out[i] = colour of i, or 0xFFFF for trivial SCCs (neutral for a minimum).
__global__ void determine_min_color_in_nontrivial_sccs(color_t* out, const uint32_t* scc_id, const color_t* color,
                                                        uint32_t n);

// used[c] = 1 for every colour c of the SCC with this word.
__global__ void determine_used_colors(const uint32_t* scc_id, uint32_t word, color_t* used, const color_t* color,
                                      uint32_t n);

// Renames the colours of the SCC with this word through map.
__global__ void set_colors(const uint32_t* scc_id, uint32_t word, color_t* color, const color_t* map, uint32_t n);

// The same for many SCCs at once: words holds n_words SCC words in ascending
// order, and the k-th SCC's colours go into row k of used (colors entries a
// row), its renaming comes from row k of map. Nodes of other SCCs are left.
__global__ void determine_used_colors_of_sccs(const uint32_t* scc_id, const uint32_t* words, uint32_t n_words,
                                              color_t* used, uint32_t colors, const color_t* color, uint32_t n);
__global__ void set_colors_of_sccs(const uint32_t* scc_id, const uint32_t* words, uint32_t n_words, color_t* color,
                                   const color_t* map, uint32_t colors, uint32_t n);

// out[i] = 1 where an SCC starts in the sorted order, else 0.
__global__ void compute_scc_begin_stencil(uint32_t* out, const uint32_t* scc_id, uint32_t n);

// Resolves self-loops: a node whose owner is favoured by its colour wins by
// staying; otherwise the loop is dropped, and a node left without moves is
// won by the opponent. ref is the parity an even compressed colour stands for.
__global__ void remove_loops(color_t* color, const uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                             uint32_t* succ_array, uint32_t n, color_t ref);

}  // namespace preproc
}  // namespace kernel
