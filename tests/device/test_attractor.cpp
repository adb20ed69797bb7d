// The attractor kernels and their two host loops, DeviceWorklist, and the
// small kernels of the recursion.
#include <gtest/gtest.h>
#include <omp.h>

#include <string>
#include <vector>

#include "one_thread_test.h"
#include "arena/gpu_arena.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "host/parity_game.h"
#include "kernels/recursive_kernel.h"
#include "random_game.h"
#include "recursive/attractor.h"
#include "recursive/device_worklist.h"
#include "recursive_test_helpers.h"
#include "test_game.h"

namespace {

class Attractor : public OneThreadDeviceTest {};

struct Outcome {
  std::vector<uint32_t> states;
  unsigned int launches;
};

Outcome run_work_list_form(const TestGame& game, const std::vector<uint32_t>& states, unsigned int player) {
  ParityGame g;
  g.load(write_temp_file(to_pgsolver(game)));
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(g, false);
  DeviceCopy<uint32_t> attr(states);
  const unsigned int launches = compute_attractor(memory, attr.ptr, player);
  return Outcome{from_device(attr.ptr, states.size()), launches};
}

Outcome run_all_nodes_form(const TestGame& game, const std::vector<uint32_t>& states, unsigned int player) {
  cudaGpuArena arena;
  arena.load(write_temp_file(to_pgsolver(game)));
  arena.upload(true);
  DeviceCopy<uint32_t> attr(states);
  DeviceCopy<bool> changed(2);
  const unsigned int launches =
      compute_attractor(arena, attr.ptr, changed.ptr, blocks_for(arena.n_nodes, 256), player);
  return Outcome{from_device(attr.ptr, states.size()), launches};
}

// The textbook fixpoint on the host, one node at a time.
std::vector<uint32_t> host_attractor(const TestGame& game, std::vector<uint32_t> s, unsigned int player) {
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t v = 0; v < game.size(); ++v) {
      if (s[v] != 1) continue;
      bool any_in = false, any_open = false;
      for (uint32_t w : game.succ[v]) {
        any_in |= s[w] == 2;
        any_open |= s[w] == 1;
      }
      if (game.owner[v] == player ? any_in : !any_open) {
        s[v] = 2;
        changed = true;
      }
    }
  }
  return s;
}

TEST_F(Attractor, OpponentNodeWhoseSuccessorsAllLieOutsideJoinsInTheFirstPass) {
  // Node 1 (Odd) only leads to node 2, outside the sub-game.
  const TestGame g = from_rows({{0, 0, 0}, {0, 1, 2}, {0, 0, 2}});
  const std::vector<uint32_t> s{2, 1, 0};
  const Outcome wl = run_work_list_form(g, s, 0);
  EXPECT_EQ(wl.states, (std::vector<uint32_t>{2, 2, 0}));
  EXPECT_EQ(wl.launches, 1u) << "nothing is left in state 1 after the first pass";
  const Outcome all = run_all_nodes_form(g, s, 0);
  EXPECT_EQ(all.states, (std::vector<uint32_t>{2, 2, 0}));
  // Where a flag read is a round trip, passes come in batches of 1, 2, 4, ...
  EXPECT_EQ(all.launches, pg_reads_are_round_trips ? 3u : 2u)
      << "one pass that changes, then one (or a batch of two) that does not";
  // The same for Odd's attractor with an Even node.
  const TestGame h = from_rows({{0, 1, 0}, {0, 0, 2}, {0, 0, 2}});
  EXPECT_EQ(run_work_list_form(h, s, 1).states, (std::vector<uint32_t>{2, 2, 0}));
  EXPECT_EQ(run_all_nodes_form(h, s, 1).states, (std::vector<uint32_t>{2, 2, 0}));
}

TEST_F(Attractor, OwnNodeJoinsThroughOneSuccessorAndOpponentNodeDoesNot) {
  // Node 1 leads to 3 (state 1), 2 (outside) and 0 (target).
  for (unsigned int p = 0; p < 2; ++p) {
    const TestGame own = from_rows({{0, p, 0}, {0, p, 3, 2, 0}, {0, p, 2}, {0, p, 3}});
    const std::vector<uint32_t> s{2, 1, 0, 1};
    EXPECT_EQ(run_work_list_form(own, s, p).states, (std::vector<uint32_t>{2, 2, 0, 1})) << p;
    EXPECT_EQ(run_all_nodes_form(own, s, p).states, (std::vector<uint32_t>{2, 2, 0, 1})) << p;
    // Owned by the opponent, node 1 can escape to 3 and stays out.
    const TestGame other = from_rows({{0, p, 0}, {0, 1 - p, 3, 2, 0}, {0, p, 2}, {0, p, 3}});
    const Outcome wl = run_work_list_form(other, s, p);
    EXPECT_EQ(wl.states, s) << p;
    EXPECT_EQ(wl.launches, 1u) << "nothing to attract: one launch";
    const Outcome all = run_all_nodes_form(other, s, p);
    EXPECT_EQ(all.states, s) << p;
    EXPECT_EQ(all.launches, 1u) << "nothing to attract: one launch";
  }
}

TEST_F(Attractor, ChainOfKNodesNeedsAtMostKPlusOnePasses) {
  const uint32_t k = 40;
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    // Node i leads only to i + 1; the last node is the target.
    TestGame g = chain_game(k + 1, 5, seed);
    std::vector<uint32_t> s(k + 1, 1);
    s[k] = 2;
    for (unsigned int p = 0; p < 2; ++p) {
      const Outcome wl = run_work_list_form(g, s, p);
      const Outcome all = run_all_nodes_form(g, s, p);
      EXPECT_EQ(wl.states, std::vector<uint32_t>(k + 1, 2));
      EXPECT_EQ(all.states, std::vector<uint32_t>(k + 1, 2));
      EXPECT_LE(wl.launches, k + 1);
      EXPECT_LE(all.launches, k + 1 + 15) << "at most one batch runs past the fixpoint";
      // In index order node i is looked at before i + 1 joins, so one node
      // joins a pass; other orders may take several in one pass.
      if (hostrt::thread_order() == hostrt::ThreadOrder::forward) {
        EXPECT_GE(all.launches, k + 1) << "one node a pass, then a pass without a change";
      }
    }
  }
}

TEST_F(Attractor, WorkListFormLaunchesNothingWhenNoNodeIsInStateOne) {
  const TestGame g = from_rows({{0, 0, 1}, {0, 1, 0}, {0, 0, 2}});
  const std::vector<uint32_t> s{2, 0, 2};
  const Outcome wl = run_work_list_form(g, s, 0);
  EXPECT_EQ(wl.launches, 0u);
  EXPECT_EQ(wl.states, s);
  const Outcome all = run_all_nodes_form(g, s, 1);
  EXPECT_EQ(all.launches, 1u);
  EXPECT_EQ(all.states, s);
}

TEST_F(Attractor, BothFormsAgreeWithTheHostFixpoint) {
  RandomGameParams p;
  for (uint64_t seed = 1; seed <= 60; ++seed) {
    p.seed = seed;
    p.n_nodes = static_cast<uint32_t>(5 + seed * 7 % 300);
    p.max_out = 1 + static_cast<uint32_t>(seed % 4);
    const TestGame g = random_game(p);
    std::vector<uint32_t> s(g.size());
    for (uint32_t v = 0; v < g.size(); ++v) s[v] = (v * 2654435761u + static_cast<uint32_t>(seed)) % 7 < 1 ? 2 : ((v * 40503u + seed) % 5 == 0 ? 0 : 1);
    const unsigned int player = static_cast<unsigned int>(seed % 2);
    const std::vector<uint32_t> expected = host_attractor(g, s, player);
    EXPECT_EQ(run_work_list_form(g, s, player).states, expected) << describe(p);
    EXPECT_EQ(run_all_nodes_form(g, s, player).states, expected) << describe(p);
  }
}

TEST_F(Attractor, PendingDeviceErrorsAreReportedAfterThePass) {
  const TestGame g = from_rows({{0, 0, 1}, {0, 1, 0}});
  launch_kernel(kernel::shift_color, 1, 0, 0, static_cast<unsigned short*>(nullptr), 0u);  // refused launch
  try {
    run_all_nodes_form(g, {2, 1}, 0);
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "error in attractor computationinvalid configuration argument");
  }
}

TEST_F(Attractor, WorklistListsMatchingIndicesInAscendingOrder) {
  const std::vector<uint32_t> stencil{3, 1, 0, 1, 5, 1, 2};
  DeviceCopy<uint32_t> d(stencil);
  DeviceWorklist list(stencil.size());
  EXPECT_EQ(list.size(), 0u);
  list.update_global<is_equal>(d.ptr, d.ptr + stencil.size(), 1);
  EXPECT_EQ(from_device(list.get_raw_pointer(), list.size()), (std::vector<uint32_t>{1, 3, 5}));
  list.update_global<is_equal_or_greater>(d.ptr, d.ptr + stencil.size(), 2);
  EXPECT_EQ(from_device(list.get_raw_pointer(), list.size()), (std::vector<uint32_t>{0, 4, 6}));
  list.update_global<is_equal>(d.ptr, d.ptr + stencil.size(), 9);
  EXPECT_EQ(list.size(), 0u);
  try {
    list.update_global<is_equal>(d.ptr, d.ptr + 3, 1);
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "DeviceWorklist::update_global: stencil size does not match capacity of _worklist");
  }
  DeviceWorklist empty(0);
  empty.update_global<is_equal>(nullptr, nullptr, 0);
  EXPECT_EQ(empty.size(), 0u);
  try {
    empty.get_raw_pointer();
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "get_raw_pointer: device_vector has capacity 0.\n");
  }
}

TEST_F(Attractor, KernelsOfTheRecursion) {
  std::vector<unsigned short> color{5, 0, 7, 1};
  std::vector<uint32_t> list{3, 0, 2};
  std::vector<uint32_t> out(3), attr(4, 9), active{4, 4, 4, 4};
  launch_kernel(kernel::shift_color, 1, 256, 0, color.data(), 4u);
  EXPECT_EQ(color, (std::vector<unsigned short>{7, 2, 9, 3}));
  launch_kernel(kernel::copy_array, 1, 256, 0, color.data(), out.data(), list.data(), 3u);
  EXPECT_EQ(out, (std::vector<uint32_t>{3, 7, 9}));
  launch_kernel(kernel::find_color_for_attractor, 1, 256, 0, color.data(), 9u, list.data(), 3u, attr.data());
  EXPECT_EQ(attr, (std::vector<uint32_t>{1, 9, 2, 1}));
  launch_kernel(kernel::disable_attractor_nodes, 1, 256, 0, active.data(), attr.data(), list.data(), 3u);
  EXPECT_EQ(active, (std::vector<uint32_t>{5, 4, 4, 5}));
  launch_kernel(kernel::mark_won, 1, 256, 0, color.data(), 1u, list.data(), 2u);
  EXPECT_EQ(color, (std::vector<unsigned short>{1, 2, 9, 1}));
  // Only nodes above level 4 with the mark are targets: 0 and 3, not 1.
  color[1] = 1;
  list = {0, 1, 2, 3};
  launch_kernel(kernel::find_won_for_attractor, 1, 256, 0, color.data(), 1u, active.data(), 4u, list.data(), 4u,
                attr.data());
  EXPECT_EQ(attr, (std::vector<uint32_t>{2, 1, 1, 2}));
  launch_kernel(kernel::mark_attractor_won, 1, 256, 0, color.data(), active.data(), 4u, attr.data(), 0u, list.data(),
                4u);
  EXPECT_EQ(color, (std::vector<unsigned short>{0, 1, 9, 0}));
  EXPECT_EQ(active, (std::vector<uint32_t>{4, 5, 5, 4}));
}

}  // namespace
