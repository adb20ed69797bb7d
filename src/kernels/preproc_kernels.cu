#include "kernels/preproc_kernels.h"

#include <cstddef>

#include "kernels/scc_kernels.h"

namespace kernel {
namespace preproc {

namespace {
__device__ inline uint32_t thread_node() { return blockIdx.x * blockDim.x + threadIdx.x; }
}  // namespace

__global__ void transform_colors_of_trivial_sccs(const uint32_t* scc_id, color_t* color, color_t ref, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  if (scc_word::is_trivial(scc_id[i])) color[i] = (color[i] & 1u) == ref ? 2 : 3;
}

__global__ void determine_max_color_in_nontrivial_sccs(color_t* out, const uint32_t* scc_id, const color_t* color,
                                                        uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  out[i] = scc_word::is_trivial(scc_id[i]) ? color_t(0) : color[i];
}

__global__ void determine_min_color_in_nontrivial_sccs(color_t* out, const uint32_t* scc_id, const color_t* color,
                                                        uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  out[i] = scc_word::is_trivial(scc_id[i]) ? color_t(0xFFFF) : color[i];
}

__global__ void determine_used_colors(const uint32_t* scc_id, uint32_t word, color_t* used, const color_t* color,
                                      uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  if (scc_id[i] == word) used[color[i]] = 1;
}

__global__ void set_colors(const uint32_t* scc_id, uint32_t word, color_t* color, const color_t* map, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  if (scc_id[i] == word) color[i] = map[color[i]];
}

namespace {
// The position of word in the ascending words[0 .. count), or count.
__device__ inline uint32_t find_word(const uint32_t* words, uint32_t count, uint32_t word) {
  uint32_t low = 0, high = count;
  while (low < high) {
    const uint32_t middle = low + (high - low) / 2;
    if (words[middle] < word) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low < count && words[low] == word ? low : count;
}
}  // namespace

__global__ void determine_used_colors_of_sccs(const uint32_t* scc_id, const uint32_t* words, uint32_t n_words,
                                              color_t* used, uint32_t colors, const color_t* color, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t k = find_word(words, n_words, scc_id[i]);
  // Every writer of a cell writes the same 1.
  if (k < n_words) used[static_cast<std::size_t>(k) * colors + color[i]] = 1;
}

__global__ void set_colors_of_sccs(const uint32_t* scc_id, const uint32_t* words, uint32_t n_words, color_t* color,
                                   const color_t* map, uint32_t colors, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  const uint32_t k = find_word(words, n_words, scc_id[i]);
  if (k < n_words) color[i] = map[static_cast<std::size_t>(k) * colors + color[i]];
}

__global__ void compute_scc_begin_stencil(uint32_t* out, const uint32_t* scc_id, uint32_t n) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  out[i] = (i == 0 || scc_id[i] != scc_id[i - 1]) ? 1u : 0u;
}

__global__ void remove_loops(color_t* color, const uint8_t* owner, uint32_t* n_succ, const uint32_t* succ_begin,
                             uint32_t* succ_array, uint32_t n, color_t ref) {
  const uint32_t i = thread_node();
  if (i >= n) return;
  // The player the node's uncompressed colour favours.
  const uint32_t favoured = (color[i] & 1u) ^ ref;
  const uint8_t o = owner[i];
  const uint32_t begin = succ_begin[i];
  uint32_t end = begin + n_succ[i];
  uint32_t j = begin;
  while (j < end) {
    if (succ_array[j] != i) {
      ++j;
    } else if (o == favoured) {
      succ_array[begin] = i;
      n_succ[i] = 1;
      color[i] = o;
      return;
    } else {
      succ_array[j] = succ_array[end - 1];
      --end;
    }
  }
  n_succ[i] = end - begin;
  if (end == begin) color[i] = static_cast<color_t>(1u - o);
}

}  // namespace preproc
}  // namespace kernel
