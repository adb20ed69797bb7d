#include "recursive/level_recursion.h"

#include <string>
#include <vector>

#include <thrust/execution_policy.h>
#include <thrust/extrema.h>

#include "common/check_cuda.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "kernels/auxiliary_kernel.h"
#include "kernels/recursive_kernel.h"
#include "recursive/device_worklist.h"

namespace {

template <class T>
void device_alloc(T*& ptr, std::size_t count, const char* text) {
  if (count == 0) return;
  check_cuda(cudaMalloc(reinterpret_cast<void**>(&ptr), count * sizeof(T)), text);
}

template <class T>
void free_unchecked(T*& ptr) {
  if (ptr != nullptr) cudaFree(ptr);
  ptr = nullptr;
}

uint32_t read_device(const uint32_t* p) {
  uint32_t value = 0;
  copy_array<Space::host, Space::device>(&value, p, 1);
  return value;
}

}  // namespace

LevelRecursion::LevelRecursion(uint32_t n) : n_nodes(n), n_blocks(blocks_for(n, 256)) {}

LevelRecursion::~LevelRecursion() {
  work_list.reset();
  free_unchecked(active_nodes);
  free_unchecked(attr_array);
  free_unchecked(game_color);
}

void LevelRecursion::solve(color_t* color, const Attract& attract, const StrategyArrays& strategies) {
  color_ = color;
  attract_ = &attract;
  strategies_ = strategies;
  launch_kernel(kernel::shift_color, n_blocks, 256, 0, color, n_nodes);
  device_alloc(active_nodes, n_nodes, "Error allocating active_nodes");
  launch_kernel(kernel::zero_mem, n_blocks, 256, 0, active_nodes, n_nodes);
  active_begin = active_nodes;
  active_end = active_nodes + n_nodes;
  device_alloc(attr_array, n_nodes, "Error allocating attr_array");
  device_alloc(game_color, n_nodes, "Error allocating game_color");
  if (n_nodes != 0) copy_array<Space::device, Space::device>(game_color, color, n_nodes);
  work_list.reset(new DeviceWorklist(n_nodes));
  solve_level(0);
  if (strategies_.strategy != nullptr) {
    launch_kernel(kernel::drop_lost_strategies, n_blocks, 256, 0, color, strategies_.owner, strategies_.strategy,
                  n_nodes);
    check_last_error("error choosing strategies");
  }
}

// The player wins every node of colour `colour` in the first `count` entries
// of the work list: those it owns play to some successor in the sub-game.
void LevelRecursion::choose_in_subgame(uint32_t colour, unsigned int player, uint32_t level, uint32_t count) {
  if (strategies_.strategy == nullptr) return;
  launch_kernel(kernel::choose_successor_in_subgame, blocks_for(count, 256), 256, 0, game_color, colour,
                strategies_.owner, player, strategies_.n_succ, strategies_.succ_begin, strategies_.succ_array,
                active_nodes, level, work_list->get_raw_pointer(), count, strategies_.strategy);
  check_last_error("error choosing strategies");
}

uint32_t LevelRecursion::rebuild(uint32_t level) {
  work_list->update_global<is_equal_or_greater>(active_begin, active_end, level);
  return static_cast<uint32_t>(work_list->size());
}

// The recursion runs on a stack of frames rather than on the host's call
// stack: its depth grows with the number of distinct colours (up to 32768).
void LevelRecursion::solve_level(uint32_t level) {
  std::vector<Frame> waiting;  // calls whose recursive call is running
  Frame frame{level, 0, 0};
  Next next = enter(frame);
  for (;;) {
    if (next == Next::descend) {
      waiting.push_back(frame);
      frame = Frame{frame.level + 1, 0, 0};
      next = enter(frame);
      continue;
    }
    if (waiting.empty()) return;
    frame = waiting.back();
    waiting.pop_back();
    next = resume(frame);
  }
}

LevelRecursion::Next LevelRecursion::enter(Frame& frame) {
  if (rebuild(frame.level) == 0) return Next::returned;
  return pass(frame);
}

// One pass over the current sub-game, up to its recursive call: attract to
// the top colour for its player and move everything else one level down.
LevelRecursion::Next LevelRecursion::pass(Frame& frame) {
  const uint32_t s = static_cast<uint32_t>(work_list->size());
  const unsigned int b = blocks_for(s, 256);
  unsigned int* list = work_list->get_raw_pointer();

  launch_kernel(kernel::copy_array, b, 256, 0, game_color, attr_array, list, s);
  const auto extremes = thrust::minmax_element(thrust::device, attr_array, attr_array + s);
  const uint32_t lo = read_device(extremes.first);
  const uint32_t hi = read_device(extremes.second);
  if (lo == hi) {
    launch_kernel(kernel::mark_won, b, 256, 0, color_, hi & 1u, list, s);
    check_last_error("error marking won nodes");
    choose_in_subgame(hi, hi & 1u, frame.level, s);
    return Next::returned;
  }
  check_last_error("error finding max color");

  launch_kernel(kernel::zero_mem, n_blocks, 256, 0, attr_array, n_nodes);
  launch_kernel(kernel::find_color_for_attractor, b, 256, 0, game_color, hi, list, s, attr_array);
  check_last_error("error marking max color");

  frame.player = hi & 1u;
  frame.top = hi;
  (*attract_)(attr_array, frame.player);

  launch_kernel(kernel::disable_attractor_nodes, b, 256, 0, active_nodes, attr_array, list, s);
  check_last_error("error disabling attractor");
  return Next::descend;
}

// After the recursive call: attract to what the opponent won there, mark
// that attractor, and go on with the rest one level down.
LevelRecursion::Next LevelRecursion::resume(Frame& frame) {
  const uint32_t level = frame.level;
  const unsigned int p = frame.player;
  const uint32_t s2 = rebuild(level);
  unsigned int* list = work_list->get_raw_pointer();

  launch_kernel(kernel::zero_mem, n_blocks, 256, 0, attr_array, n_nodes);
  launch_kernel(kernel::find_won_for_attractor, n_blocks, 256, 0, color_, 1u - p, active_nodes, level, list, s2,
                attr_array);
  check_last_error("error finding winning set");

  (*attract_)(attr_array, 1u - p);

  launch_kernel(kernel::mark_attractor_won, blocks_for(s2, 256), 256, 0, color_, active_nodes, level, attr_array,
                1u - p, list, s2);
  check_last_error("error marking won nodes");

  // The list of the levels above now holds the sub-game without the
  // opponent's attractor B.
  const uint32_t rest = rebuild(level + 1);
  if (rest == s2) {
    // B is empty: the player wins the whole sub-game.
    launch_kernel(kernel::mark_won, blocks_for(s2, 256), 256, 0, color_, p, work_list->get_raw_pointer(), s2);
    check_last_error("error marking won nodes");
    choose_in_subgame(frame.top, p, level, s2);
    return Next::returned;
  }
  frame.level = level + 1;
  if (rest == 0) return Next::returned;
  return pass(frame);
}
