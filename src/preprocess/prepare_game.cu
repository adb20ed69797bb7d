#include <algorithm>

#include "arena/gpu_arena.h"
#include "common/launch.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"

namespace preprocess {

namespace {

// The normalised form's summary: colours from 2 on, the smallest most
// significant, an even colour favouring Even.
void set_normalised_summary(cudaGpuArena& arena, color_t color_bound) {
  arena.max_color = static_cast<color_t>(color_bound - 1);
  arena.min_color = 2;
  arena.min_parity = true;
}

}  // namespace

void normalise_colors(cudaGpuArena& arena, color_t& color_bound, color_t& ref_parity, const uint32_t* scc_id) {
  const uint32_t n = arena.n_nodes;
  color_bound = 2;
  ref_parity = 0;
  if (n == 0) {
    set_normalised_summary(arena, color_bound);
    return;
  }
  std::vector<uint32_t> nontrivial;
  collect_nontrivial_sccs(nontrivial, arena, scc_id);
  determine_color_range(arena, scc_id);
  ref_parity = static_cast<color_t>((arena.min_parity ? arena.min_color : arena.max_color) & 1u);
  // Non-trivial SCCs that all share one colour need no exception: each is
  // compressed to colour 2 (won by the player of that colour's parity on
  // every cycle), and the range solve still decides the self-loops, the
  // trivial SCCs and the nodes that can escape.

  const LaunchShape shape = shape_for(n);
  const unsigned int grid = shape.grid, block = shape.block;
  launch_kernel(kernel::preproc::transform_colors_of_trivial_sccs, grid, block, 0, scc_id, arena.device.color,
                ref_parity, n);
  color_bound = std::max(color_bound, compress_scc_colors(scc_id, arena, nontrivial));
  launch_kernel(kernel::preproc::remove_loops, grid, block, 0, arena.device.color,
                static_cast<const uint8_t*>(arena.device.owner), arena.device.succ.count,
                static_cast<const uint32_t*>(arena.device.succ.begin), arena.device.succ.targets, n, ref_parity);
  if (ref_parity == 1) {
    arena.swap_players();
    ref_parity = 0;
  }
  set_normalised_summary(arena, color_bound);
}

void prepare_game(cudaGpuArena& arena, color_t& color_bound, color_t& ref_parity, ScopedDeviceArray<uint32_t>& scc_id,
                  ScopedDeviceArray<uint32_t>& scc_rank, bool sort, bool sort_by_color) {
  const uint32_t n = arena.n_nodes;
  scc_id.release();
  scc_rank.release();
  check_scc_word_capacity(n);
  scc_id.allocate(n);
  scc_rank.allocate(n);
  if (n == 0) {
    arena.release_device(true);
    normalise_colors(arena, color_bound, ref_parity, scc_id.get());
    return;
  }

  determine_sccs(scc_id.get(), scc_rank.get(), arena);
  arena.release_device(true);
  if (sort) sort_by_scc_rank(arena, scc_id, scc_rank, sort_by_color);

  normalise_colors(arena, color_bound, ref_parity, scc_id.get());
}

}  // namespace preprocess
