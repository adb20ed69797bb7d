// cudaGpuArena: loading, device copies, renumbering, exchange of players and
// result printing; the arena driver's failures.
#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include <thrust/system/error_code.h>
#include <thrust/system_error.h>

#include "arena/gpu_arena.h"
#include "arena/gpu_arena_implem.h"
#include "arena/scatter_replace.h"
#include "common/device_array.h"
#include "common/launch.h"
#include "kernels/auxiliary_kernel.h"
#include "recursive_test_helpers.h"
#include "test_game.h"

namespace {

class Arena : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

template <class T>
std::vector<T> host_vector(const T* p, std::size_t n) {
  return std::vector<T>(p, p + n);
}

using DevicePerm = DeviceCopy<uint32_t>;

// 0 (id 10): colour 3, Even -> 1, 2      1 (id 5): colour 8, Odd -> 1
// 2 (id 7):  colour 5, Odd  -> 0, 0, 1
const char* const three_nodes = "parity 10;\n10 3 0 5,7;\n5 8 1 5;\n7 5 1 10,10,5;\n";

void load_text(cudaGpuArena& arena, const std::string& text) { arena.load(write_temp_file(text)); }

// The game as the device holds it, in host vectors.
struct DeviceView {
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  std::vector<uint32_t> n_succ, succ_begin, succ_array, n_pred, pred_begin, pred_array;
  bool operator==(const DeviceView& o) const {
    return color == o.color && owner == o.owner && n_succ == o.n_succ && succ_begin == o.succ_begin &&
           succ_array == o.succ_array && n_pred == o.n_pred && pred_begin == o.pred_begin && pred_array == o.pred_array;
  }
};

DeviceView device_view(const cudaGpuArena& a) {
  const std::size_t n = a.n_nodes, m = a.n_edges;
  DeviceView v;
  v.color = from_device(a.device.color, n);
  v.owner = from_device(a.device.owner, n);
  v.n_succ = from_device(a.device.succ.count, n);
  v.succ_begin = from_device(a.device.succ.begin, n + 1);
  v.succ_array = from_device(a.device.succ.targets, m);
  if (a.device.pred.count != nullptr) {
    v.n_pred = from_device(a.device.pred.count, n);
    v.pred_begin = from_device(a.device.pred.begin, n + 1);
    v.pred_array = from_device(a.device.pred.targets, m);
  }
  return v;
}

TEST_F(Arena, LoadFillsTheHostSideInFileOrder) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  EXPECT_EQ(a.n_nodes, 3u);
  EXPECT_EQ(a.n_edges, 6u);
  EXPECT_EQ(a.min_color, 3u);
  EXPECT_EQ(a.max_color, 8u);
  EXPECT_EQ(a.max_n_succ, 3u);
  EXPECT_EQ(a.max_n_pred, 3u);
  EXPECT_FALSE(a.min_parity);
  EXPECT_FALSE(a.players_swapped);
  EXPECT_EQ(host_vector(a.node_id, 3), (std::vector<uint32_t>{10, 5, 7}));
  EXPECT_EQ(host_vector(a.host.color, 3), (std::vector<color_t>{3, 8, 5}));
  EXPECT_EQ(host_vector(a.host.owner, 3), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(host_vector(a.host.succ.begin, 4), (std::vector<uint32_t>{0, 2, 3, 6}));
  EXPECT_EQ(host_vector(a.host.succ.targets, 6), (std::vector<uint32_t>{1, 2, 1, 0, 0, 1}));
  EXPECT_EQ(host_vector(a.host.pred.count, 3), (std::vector<uint32_t>{2, 3, 1}));
  EXPECT_EQ(a.device.color, nullptr);
}

TEST_F(Arena, LoadRunsTheConversionChecks) {
  cudaGpuArena a;
  load_text(a, "0 32767 0 0;\n");
  EXPECT_EQ(a.max_color, 32767u);
  EXPECT_EQ(thrown_text([&] { load_text(a, "0 32768 0 0;\n"); }), "color exceeds size of unsigned short");
  EXPECT_EQ(thrown_text([&] { load_text(a, "0 1 0 1;\n1 2 0 ;\n"); }).substr(0, 15), "We have a dead ");
  CaptureStreams quiet;  // the reader reports the missing file itself
  a.load("/nonexistent/game.pg");
  EXPECT_EQ(a.n_nodes, 0u);
  EXPECT_EQ(a.n_edges, 0u);
  ASSERT_NE(a.host.succ.begin, nullptr);
  EXPECT_EQ(a.host.succ.begin[0], 0u);
  EXPECT_EQ(a.host.pred.begin[0], 0u);
}

TEST_F(Arena, UploadDownloadAndRelease) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(true);
  EXPECT_EQ(a.device.pred.count, nullptr);
  EXPECT_EQ(a.device.pred.begin, nullptr);
  EXPECT_EQ(a.device.pred.targets, nullptr);
  EXPECT_EQ(hostrt::live_allocations(), 5u);
  a.upload(false);  // frees the first copy before it allocates
  EXPECT_EQ(hostrt::live_allocations(), 8u);
  const DeviceView v = device_view(a);
  EXPECT_EQ(v.succ_array, (std::vector<uint32_t>{1, 2, 1, 0, 0, 1}));
  EXPECT_EQ(v.pred_array, host_vector(a.host.pred.targets, 6));

  const std::vector<color_t> marks{1, 0, 1};
  copy_array<Space::device, Space::host>(a.device.color, marks.data(), 3);
  a.download(true);
  EXPECT_EQ(host_vector(a.host.color, 3), marks);
  a.release_device(true);
  EXPECT_EQ(a.device.pred.count, nullptr);
  EXPECT_NE(a.device.color, nullptr);
  EXPECT_EQ(hostrt::live_allocations(), 5u);
  a.release_device(false);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
  EXPECT_EQ(host_vector(a.host.color, 3), marks) << "the host side stays";
}

// move_to_device makes the device side of upload and gives up the host
// arrays but color; download brings them back as they were.
TEST_F(Arena, MoveToDeviceHoldsTheGameOnceAndDownloadBringsItBack) {
  for (bool without_predecessors : {false, true}) {
    SCOPED_TRACE(without_predecessors);
    cudaGpuArena uploaded, moved;
    load_text(uploaded, three_nodes);
    load_text(moved, three_nodes);
    uploaded.upload(without_predecessors);
    moved.move_to_device(without_predecessors);
    EXPECT_TRUE(device_view(moved) == device_view(uploaded));
    EXPECT_EQ(hostrt::live_allocations(), without_predecessors ? 10u : 16u);
    EXPECT_EQ(host_vector(moved.host.color, 3), (std::vector<color_t>{3, 8, 5}));
    EXPECT_EQ(host_vector(moved.node_id, 3), (std::vector<uint32_t>{10, 5, 7}));
    const void* const gone[] = {moved.host.owner,        moved.host.succ.count, moved.host.succ.begin,
                                moved.host.succ.targets, moved.host.pred.count, moved.host.pred.begin,
                                moved.host.pred.targets};
    for (const void* array : gone) EXPECT_EQ(array, nullptr);

    moved.download(without_predecessors);
    EXPECT_EQ(host_vector(moved.host.owner, 3), host_vector(uploaded.host.owner, 3));
    EXPECT_EQ(host_vector(moved.host.succ.count, 3), host_vector(uploaded.host.succ.count, 3));
    EXPECT_EQ(host_vector(moved.host.succ.begin, 4), host_vector(uploaded.host.succ.begin, 4));
    EXPECT_EQ(host_vector(moved.host.succ.targets, 6), host_vector(uploaded.host.succ.targets, 6));
    if (without_predecessors) {
      EXPECT_EQ(moved.host.pred.targets, nullptr);
    } else {
      EXPECT_EQ(host_vector(moved.host.pred.begin, 4), host_vector(uploaded.host.pred.begin, 4));
      EXPECT_EQ(host_vector(moved.host.pred.targets, 6), host_vector(uploaded.host.pred.targets, 6));
    }
  }
}

TEST_F(Arena, FailedUploadLeavesNothingBehindOnceTheArenaGoes) {
  for (std::size_t k = 1; k <= 8; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(k);
    {
      cudaGpuArena a;
      load_text(a, three_nodes);
      EXPECT_EQ(thrown_text([&] { a.upload(false); }),
                "alloc_array<>: Error allocating memory on the device.\nout of memory");
    }
    EXPECT_EQ(hostrt::live_allocations(), 0u) << k;
  }
}

// What permute must produce, computed on the host from the original game.
DeviceView renumbered(const DeviceView& v, const std::vector<uint32_t>& perm) {
  const std::size_t n = perm.size();
  DeviceView r;
  r.color.resize(n);
  r.owner.resize(n);
  std::vector<std::vector<uint32_t>> succ(n), pred(n);
  for (std::size_t i = 0; i < n; ++i) {
    r.color[perm[i]] = v.color[i];
    r.owner[perm[i]] = v.owner[i];
    for (uint32_t k = 0; k < v.n_succ[i]; ++k) succ[perm[i]].push_back(perm[v.succ_array[v.succ_begin[i] + k]]);
    if (v.n_pred.empty()) continue;  // no predecessor side on the device
    for (uint32_t k = 0; k < v.n_pred[i]; ++k) pred[perm[i]].push_back(perm[v.pred_array[v.pred_begin[i] + k]]);
  }
  r.succ_begin.push_back(0);
  r.pred_begin.push_back(0);
  for (std::size_t i = 0; i < n; ++i) {
    r.n_succ.push_back(static_cast<uint32_t>(succ[i].size()));
    r.n_pred.push_back(static_cast<uint32_t>(pred[i].size()));
    r.succ_array.insert(r.succ_array.end(), succ[i].begin(), succ[i].end());
    r.pred_array.insert(r.pred_array.end(), pred[i].begin(), pred[i].end());
    r.succ_begin.push_back(static_cast<uint32_t>(r.succ_array.size()));
    r.pred_begin.push_back(static_cast<uint32_t>(r.pred_array.size()));
  }
  return r;
}

TEST_F(Arena, PermuteMovesNodesAndRenamesTargets) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(false);
  const DeviceView before = device_view(a);
  {
    DevicePerm identity({0, 1, 2});
    a.permute(identity.ptr);
  }
  EXPECT_EQ(device_view(a), before);
  EXPECT_EQ(host_vector(a.node_id, 3), (std::vector<uint32_t>{10, 5, 7}));

  const std::vector<uint32_t> p1{2, 0, 1}, p2{1, 2, 0};
  {
    DevicePerm d1(p1), d2(p2);
    a.permute(d1.ptr);
    EXPECT_TRUE(device_view(a) == renumbered(before, p1));
    EXPECT_EQ(host_vector(a.node_id, 3), (std::vector<uint32_t>{5, 7, 10}));
    a.permute(d2.ptr);
  }
  // Two renumberings in a row are the composed one: i goes to p2[p1[i]].
  std::vector<uint32_t> composed(3);
  for (uint32_t i = 0; i < 3; ++i) composed[i] = p2[p1[i]];
  EXPECT_TRUE(device_view(a) == renumbered(before, composed));
  EXPECT_EQ(hostrt::live_allocations(), 8u) << "every old array was freed";
}

TEST_F(Arena, PermuteOfALargerGameWithoutPredecessors) {
  TestGame g;
  const uint32_t n = 700;
  for (uint32_t v = 0; v < n; ++v) g.add_node(v % 11, static_cast<uint8_t>(v % 2), {(v * 7 + 1) % n, (v * 3) % n, v});
  cudaGpuArena a;
  a.load(write_temp_file(to_pgsolver(g)));
  a.upload(true);
  DeviceView before = device_view(a);
  std::vector<uint32_t> perm(n);
  for (uint32_t i = 0; i < n; ++i) perm[i] = (i * 263 + 5) % n;  // 263 is prime to 700
  DevicePerm d(perm);
  a.permute(d.ptr);
  EXPECT_EQ(a.device.pred.count, nullptr);
  DeviceView expected = renumbered(before, perm);
  expected.n_pred.clear();
  expected.pred_begin.clear();
  expected.pred_array.clear();
  EXPECT_TRUE(device_view(a) == expected);
}

TEST_F(Arena, PermuteRefusesWhatIsNoPermutation) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(false);
  const DeviceView before = device_view(a);
  const std::size_t live = hostrt::live_allocations();
  for (const std::vector<uint32_t>& bad : {std::vector<uint32_t>{0, 0, 1}, std::vector<uint32_t>{0, 1, 3}}) {
    DevicePerm d(bad);
    EXPECT_EQ(thrown_text([&] { a.permute(d.ptr); }),
              "cudaGpuArena::permute: perm is not a permutation of the node indices");
  }
  EXPECT_EQ(hostrt::live_allocations(), live);
  EXPECT_TRUE(device_view(a) == before);
  EXPECT_EQ(host_vector(a.node_id, 3), (std::vector<uint32_t>{10, 5, 7}));
}

TEST_F(Arena, PendingDeviceErrorStopsPermuteWithBlub) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(false);
  DevicePerm d({1, 2, 0});
  const std::size_t live = hostrt::live_allocations();
  launch_kernel(kernel::zero_mem, 1, 0, 0, static_cast<unsigned int*>(nullptr), 0u);  // refused launch
  EXPECT_EQ(thrown_text([&] { a.permute(d.ptr); }), "blubinvalid configuration argument");
  EXPECT_EQ(hostrt::live_allocations(), live) << "the new colour array was freed";
}

TEST_F(Arena, FailedScatterFreesTheNewArrayAndPropagates) {
  const std::vector<uint32_t> values{4, 5, 6}, perm_host{2, 0, 1};
  uint32_t* array = nullptr;
  alloc_array<Space::device>(array, 3);
  copy_array<Space::device, Space::host>(array, values.data(), 3);
  DevicePerm perm(perm_host);
  uint32_t* const original = array;
  bool rethrown = false;
  try {
    replace_by_scatter(array, perm.ptr, 3, [](const uint32_t*, const uint32_t*, std::size_t, uint32_t*) {
      throw thrust::system_error(thrust::error_code(1, thrust::generic_category()), "scatter failed");
    });
  } catch (const thrust::system_error&) {
    rethrown = true;
  }
  EXPECT_TRUE(rethrown);
  EXPECT_EQ(array, original);
  EXPECT_EQ(from_device(array, 3), values);
  EXPECT_EQ(hostrt::live_allocations(), 2u) << "only the array and perm remain";
  free_array<Space::device>(array);
}

TEST_F(Arena, SwapPlayersTwiceRestoresEverything) {
  cudaGpuArena a;
  TestGame g;
  for (uint32_t c = 0; c < 4; ++c) g.add_node(c + 10, static_cast<uint8_t>(c % 2), {(c + 1) % 4});
  a.load(write_temp_file(to_pgsolver(g)));
  a.upload(true);
  const std::vector<color_t> marks{0, 1, 2, 3};
  copy_array<Space::device, Space::host>(a.device.color, marks.data(), 4);
  a.swap_players();
  EXPECT_TRUE(a.players_swapped);
  EXPECT_EQ(from_device(a.device.color, 4), (std::vector<color_t>{1, 0, 2, 3}));
  EXPECT_EQ(from_device(a.device.owner, 4), (std::vector<uint8_t>{1, 0, 1, 0}));
  a.swap_players();
  EXPECT_FALSE(a.players_swapped);
  EXPECT_EQ(from_device(a.device.color, 4), marks);
  EXPECT_EQ(from_device(a.device.owner, 4), (std::vector<uint8_t>{0, 1, 0, 1}));
}

TEST_F(Arena, PrintResultListsRegionsByIdentifierAndTheStrategy) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(false);
  const std::vector<color_t> marks{0, 1, 0};
  copy_array<Space::device, Space::host>(a.device.color, marks.data(), 3);
  std::ostringstream out;
  a.print_result(out, true);
  EXPECT_EQ(out.str(),
            "Nodes won by Even: \n\n7, 10, \n\n"
            "Nodes won by Odd: \n\n5, \n\n"
            "This should be empty: \n\n\n\n"
            "Strategy edges for both players: \n"
            "10 -> { 5, 7 }\n"
            "5 -> { 5 }\n"
            "7 -> { 10, 10, 5 }\n");
}

TEST_F(Arena, PrintResultAfterAnExchangeReportsThePlayersOfTheInput) {
  cudaGpuArena a;
  load_text(a, "0 2 0 1;\n1 3 1 0;\n2 4 1 2;\n");
  a.upload(false);
  a.swap_players();
  // Solved in the exchanged game: node 0 won by the player now called Even.
  const std::vector<color_t> marks{0, 1, 6};
  copy_array<Space::device, Space::host>(a.device.color, marks.data(), 3);
  std::ostringstream out;
  a.print_result(out, false);
  EXPECT_EQ(out.str(),
            "Nodes won by Even: \n\n1, \n\nNodes won by Odd: \n\n0, \n\nThis should be empty: \n\n2, \n\n");
  EXPECT_FALSE(a.players_swapped);
  EXPECT_EQ(from_device(a.device.owner, 3), (std::vector<uint8_t>{0, 1, 1}));
  EXPECT_EQ(host_vector(a.host.color, 3), (std::vector<color_t>{1, 0, 6}));
}

TEST_F(Arena, PrintResultWithIdentifiersThatAreNotZeroToNMinusOne) {
  // Sparse and large identifiers are listed in ascending order, not used as
  // table positions.
  cudaGpuArena a;
  load_text(a, "4000000000 2 0 9;\n9 3 1 12;\n12 4 0 4000000000;\n3 5 0 9;\n");
  a.upload(true);
  const std::vector<color_t> marks{1, 0, 1, 1};
  copy_array<Space::device, Space::host>(a.device.color, marks.data(), 4);
  std::ostringstream out;
  a.print_result(out, false);
  EXPECT_EQ(out.str(),
            "Nodes won by Even: \n\n9, \n\nNodes won by Odd: \n\n3, 12, 4000000000, \n\n"
            "This should be empty: \n\n\n\n");
  // Identifiers 0 .. n-1 in another order come out sorted as well.
  load_text(a, "2 2 0 0;\n0 3 1 1;\n1 4 0 2;\n");
  a.upload(true);
  const std::vector<color_t> more{0, 1, 0};
  copy_array<Space::device, Space::host>(a.device.color, more.data(), 3);
  std::ostringstream out2;
  a.print_result(out2, false);
  EXPECT_EQ(out2.str(), "Nodes won by Even: \n\n1, 2, \n\nNodes won by Odd: \n\n0, \n\nThis should be empty: \n\n\n\n");
}

TEST_F(Arena, StrategyLineOfANodeWithoutSuccessors) {
  // The reader refuses dead ends, so the arena is filled by hand.
  cudaGpuArena a;
  a.allocate_host(2, 1);
  a.node_id[0] = 3;
  a.node_id[1] = 8;
  a.host.color[0] = a.host.color[1] = 2;
  a.host.owner[0] = a.host.owner[1] = 0;
  const uint32_t count[] = {1, 0}, begin[] = {0, 1, 1}, target[] = {1};
  std::copy(count, count + 2, a.host.succ.count);
  std::copy(begin, begin + 3, a.host.succ.begin);
  a.host.succ.targets[0] = target[0];
  std::copy(count, count + 2, a.host.pred.count);
  std::copy(begin, begin + 3, a.host.pred.begin);
  a.host.pred.targets[0] = 0;
  a.upload(false);
  std::ostringstream out;
  a.print_result(out, true);
  EXPECT_EQ(out.str(),
            "Nodes won by Even: \n\n\n\nNodes won by Odd: \n\n\n\nThis should be empty: \n\n3, 8, \n\n"
            "Strategy edges for both players: \n3 -> { 8 }\n8 -> {  }\n");
}

TEST_F(Arena, OperationsThatNeedTheDeviceSideRefuseWithoutIt) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  DevicePerm d({0, 1, 2});
  EXPECT_EQ(thrown_text([&] { a.permute(d.ptr); }), "cudaGpuArena::permute: the game is not on the device");
  EXPECT_EQ(thrown_text([&] { a.swap_players(); }), "cudaGpuArena::swap_players: the game is not on the device");
  EXPECT_FALSE(a.players_swapped);
}

TEST_F(Arena, DriverRejectsUnknownAlgorithmsAfterUploading) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  CaptureStreams streams;
  EXPECT_EQ(thrown_text([&] { solve_gpu_arena(a, 99, nullptr); }), "Unkown alg_id");
  EXPECT_EQ(streams.out(), "");
  EXPECT_EQ(streams.err(), "Nodes: 3\n");
  EXPECT_EQ(a.n_nodes, 0u);
  EXPECT_EQ(a.device.color, nullptr);
}

TEST_F(Arena, FailedCopyOfTheResultIsReportedNotIgnored) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  a.upload(true);
  // A device colour array shorter than the game makes the copy fail.
  free_array<Space::device>(a.device.color);
  alloc_array<Space::device>(a.device.color, 1);
  EXPECT_EQ(thrown_text([&] { copy_result_to_host(a); }), "error while copying color from deviceinvalid argument");
  EXPECT_EQ(host_vector(a.host.color, 3), (std::vector<color_t>{3, 8, 5})) << "the host colours were not touched";
}

TEST_F(Arena, DriverLeavesMarksOnTheHostAndNothingOnTheDevice) {
  cudaGpuArena a;
  load_text(a, three_nodes);
  CaptureStreams streams;
  solve_gpu_arena(a, 11, nullptr);
  EXPECT_EQ(streams.out(), "\n --> recursive with cudaGpuArena <-- \n\n");
  EXPECT_EQ(streams.err(), "Nodes: 3\n");
  // Node 1 loops on the even colour 8; Even moves from 0 to 1, and every move
  // of Odd's node 2 leads to 0 or 1: Even wins everywhere.
  EXPECT_EQ(host_vector(a.host.color, 3), (std::vector<color_t>{0, 0, 0}));
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

}  // namespace
