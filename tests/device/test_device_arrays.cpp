// Ownership and messages of the device arrays: the helpers and DeviceMemoryPtr.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "common/device_array.h"
#include "common/device_vector.h"
#include "common/launch.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "kernels/auxiliary_kernel.h"

namespace {

std::string thrown_text(void (*f)()) {
  try {
    f();
  } catch (const std::string& s) {
    return s;
  }
  return "<nothing thrown>";
}

class DeviceArrays : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

// A game of three nodes: 0 -> 1, 2; 1 -> 1; 2 -> 0.
void fill_small_game(ParityGame& game) {
  game.allocate(3, 4);
  const uint32_t succ_begin[] = {0, 2, 3, 4}, succ[] = {1, 2, 1, 0}, n_succ[] = {2, 1, 1};
  const uint32_t pred_begin[] = {0, 1, 3, 4}, pred[] = {2, 1, 0, 0}, n_pred[] = {1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    game.succ_begin[i] = succ_begin[i];
    game.pred_begin[i] = pred_begin[i];
    game.succ_array[i] = succ[i];
    game.pred_array[i] = pred[i];
  }
  for (int i = 0; i < 3; ++i) {
    game.n_succ[i] = n_succ[i];
    game.n_pred[i] = n_pred[i];
    game.color[i] = static_cast<color_t>(i + 4);
    game.owner[i] = static_cast<uint8_t>(i & 1);
    game.node_id[i] = static_cast<uint32_t>(i);
  }
}

template <class T>
std::vector<T> from_device(const T* p, std::size_t n) {
  std::vector<T> v(n);
  copy_array<Space::host, Space::device>(v.data(), p, n);
  return v;
}

TEST_F(DeviceArrays, AllocCopyAndFreeInBothSpaces) {
  uint32_t* d = nullptr;
  uint32_t* h = nullptr;
  alloc_array<Space::device>(d, 5);
  alloc_array<Space::host>(h, 5);
  std::iota(h, h + 5, 10u);
  copy_array<Space::device, Space::host>(d, h, 5);
  uint32_t* d2 = nullptr;
  alloc_array<Space::device>(d2, 5);
  copy_array<Space::device, Space::device>(d2, d, 5);
  EXPECT_EQ(from_device(d2, 5), (std::vector<uint32_t>{10, 11, 12, 13, 14}));
  free_array<Space::device>(d);
  free_array<Space::device>(d2);
  free_array<Space::host>(h);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(h, nullptr);
  free_array<Space::device>(d);  // a null pointer is left alone
}

TEST_F(DeviceArrays, AllocArrayRefusesAnOccupiedPointerAndSkipsEmptyArrays) {
  uint32_t* d = nullptr;
  alloc_array<Space::device>(d, 0);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(hostrt::allocation_count(), 0u);
  EXPECT_EQ(thrown_text([] {
              uint32_t x = 0;
              uint32_t* p = &x;
              alloc_array<Space::device>(p, 4);
            }),
            "alloc_array<>: ptr != 0.\n");
  EXPECT_EQ(hostrt::allocation_count(), 0u);
}

TEST_F(DeviceArrays, HelperFailuresCarryTheirTextsAndTheRuntimes) {
  hostrt::fail_allocation(1);
  EXPECT_EQ(thrown_text([] {
              color_t* p = nullptr;
              alloc_array<Space::device>(p, 4);
            }),
            "alloc_array<>: Error allocating memory on the device.\nout of memory");
  EXPECT_EQ(thrown_text([] {
              uint32_t* d = nullptr;
              alloc_array<Space::device>(d, 2);
              uint32_t h[3] = {};
              try {
                copy_array<Space::device, Space::host>(d, h, 3);
              } catch (...) {
                free_array<Space::device>(d);
                throw;
              }
            }),
            "copy_array<> : CUDA reported some error.\ninvalid argument");
  EXPECT_EQ(thrown_text([] {
              int x = 0;
              int* p = &x;
              free_array<Space::device>(p);
            }),
            "Error deallocating memory on the device.\ninvalid argument");
  EXPECT_EQ(thrown_text([] {
              thrust::device_vector<unsigned int> v;
              get_raw_pointer(v);
            }),
            "get_raw_pointer: device_vector has capacity 0.\n");
}

TEST_F(DeviceArrays, DeviceMemoryPtrHoldsTheGameAndPadsSmallArrays) {
  ParityGame game;
  fill_small_game(game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  EXPECT_EQ(memory.n_nodes, 3u);
  EXPECT_EQ(memory.n_edges, 4u);
  EXPECT_EQ(from_device(memory.succ_array, 4), (std::vector<uint32_t>{1, 2, 1, 0}));
  EXPECT_EQ(from_device(memory.pred_begin, 4), (std::vector<uint32_t>{0, 1, 3, 4}));
  EXPECT_EQ(from_device(memory.n_pred, 3), (std::vector<uint32_t>{1, 2, 1}));
  EXPECT_EQ(from_device(memory.color, 3), (std::vector<color_t>{4, 5, 6}));
  EXPECT_EQ(from_device(memory.owner, 3), (std::vector<uint8_t>{0, 1, 0}));
  // succ_begin, succ_array, n_succ, pred_begin, pred_array, n_pred: 16+16+12+16+16+12,
  // color 6 -> 8, owner 3 -> 4, three work lists of 16, go_on 1.
  EXPECT_EQ(hostrt::bytes_in_use(), 88u + 8u + 4u + 48u + 1u);
  memory.release();
  EXPECT_EQ(memory.color, nullptr);
  EXPECT_EQ(memory.n_nodes, 0u);
  memory.release();
}

TEST_F(DeviceArrays, DeviceMemoryPtrWithoutPredecessorsLeavesThemOut) {
  ParityGame game;
  fill_small_game(game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, false);
  EXPECT_EQ(memory.pred_begin, nullptr);
  EXPECT_EQ(memory.pred_array, nullptr);
  EXPECT_EQ(memory.n_pred, nullptr);
  EXPECT_EQ(from_device(memory.succ_begin, 4), (std::vector<uint32_t>{0, 2, 3, 4}));
}

TEST_F(DeviceArrays, DeviceMemoryPtrRefusesASecondAllocation) {
  ParityGame game;
  fill_small_game(game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  const std::size_t before = hostrt::live_allocations();
  try {
    memory.allocate_and_initilaize(game, true);
    FAIL() << "second allocation accepted";
  } catch (const std::string& message) {
    EXPECT_EQ(message,
              "Error in \"DeviceMemoryPtr::allocate_and_initilaize\": at least one buffer has already been "
              "allocated\"");
  }
  EXPECT_EQ(hostrt::live_allocations(), before);
  EXPECT_EQ(from_device(memory.color, 3), (std::vector<color_t>{4, 5, 6}));
}

TEST_F(DeviceArrays, EveryFailedAllocationNamesItsBufferAndLeaksNothing) {
  const char* names[] = {"succ_begin", "succ_array", "n_succ", "pred_begin", "pred_array", "n_pred",
                         "color",      "owner",      "work_list", "work_list_next", "work_list_permutation",
                         "go_on"};
  ParityGame game;
  fill_small_game(game);
  for (std::size_t k = 1; k <= 12; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(k);
    std::string message = "<nothing thrown>";
    try {
      DeviceMemoryPtr memory;
      memory.allocate_and_initilaize(game, true);
    } catch (const std::string& s) {
      message = s;
    }
    EXPECT_EQ(message, std::string("error allocating ") + names[k - 1] + "out of memory");
    EXPECT_EQ(hostrt::live_allocations(), 0u);
  }
}

TEST_F(DeviceArrays, ReorderEdgesWithTheIdentityCopiesAndWithAPermutationMoves) {
  // Old game: 0 -> {1, 2}, 1 -> {1}, 2 -> {0}. Permutation: 0->2, 1->0, 2->1.
  const std::vector<uint32_t> old_begin{0, 2, 3, 4}, old_array{1, 2, 1, 0};
  std::vector<uint32_t> out(4);
  {
    const std::vector<uint32_t> identity{0, 1, 2}, count{2, 1, 1};
    launch_kernel(kernel::reorderEdges, 1, 256, 0, identity.data(), old_begin.data(), old_array.data(),
                  count.data(), old_begin.data(), out.data(), 3u);
    EXPECT_EQ(out, old_array);
  }
  const std::vector<uint32_t> perm{2, 0, 1};
  const std::vector<uint32_t> new_count{1, 1, 2}, new_begin{0, 1, 2, 4};
  launch_kernel(kernel::reorderEdges, 1, 256, 0, perm.data(), old_begin.data(), old_array.data(),
                new_count.data(), new_begin.data(), out.data(), 3u);
  // New 0 (old 1) -> {old 1 = new 0}; new 1 (old 2) -> {old 0 = new 2}; new 2 (old 0) -> {0, 1}.
  EXPECT_EQ(out, (std::vector<uint32_t>{0, 2, 0, 1}));
}

}  // namespace
