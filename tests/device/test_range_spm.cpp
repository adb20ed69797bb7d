// The range kernels and the range solve on hand-made normalised games: single
// lifting passes, the progress step with its roll-over, finalisation, the rank
// count and the launch configuration.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/launch.h"
#include "device_graph.h"
#include "kernels/kernel_spm.h"
#include "rangespm/korrel_solver.h"

namespace {

typedef std::vector<std::vector<uint32_t>> Lists;

// A normalised game as the range solver sees it: colours (0, 1 won marks,
// from 2 on smaller is more significant), owners, successor lists and the
// SCC word of every node, SCCs contiguous.
struct RangeGame {
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  Lists succ;
  std::vector<uint32_t> word;
};

struct DeviceRange {
  uint32_t n;
  ScopedDeviceArray<color_t> color;
  ScopedDeviceArray<uint8_t> owner;
  ScopedDeviceArray<uint32_t> n_succ, succ_begin, succ_array, scc_id;

  explicit DeviceRange(const RangeGame& g) : n(static_cast<uint32_t>(g.color.size())) {
    std::vector<uint32_t> count, begin(1, 0), targets;
    for (const auto& l : g.succ) {
      count.push_back(static_cast<uint32_t>(l.size()));
      begin.push_back(begin.back() + static_cast<uint32_t>(l.size()));
      targets.insert(targets.end(), l.begin(), l.end());
    }
    to_device(color, g.color);
    to_device(owner, g.owner);
    to_device(n_succ, count);
    to_device(succ_begin, begin);
    to_device(succ_array, targets);
    to_device(scc_id, g.word);
  }

  Korrel::DeviceGame view() const {
    Korrel::DeviceGame d;
    d.n_nodes = n;
    d.color = color.get();
    d.owner = owner.get();
    d.n_succ = n_succ.get();
    d.succ_begin = succ_begin.get();
    d.succ_array = succ_array.get();
    d.scc_id = scc_id.get();
    return d;
  }

  std::vector<color_t> colors() const { return from_device(color.get(), n); }
  // The lists as they are now (dropped edges gone).
  Lists lists() const {
    const auto count = from_device(n_succ.get(), n);
    const auto begin = from_device(succ_begin.get(), n + 1);
    const auto targets = from_device(succ_array.get(), begin[n]);
    Lists l(n);
    for (uint32_t v = 0; v < n; ++v) l[v].assign(targets.begin() + begin[v], targets.begin() + begin[v] + count[v]);
    return l;
  }
};

// One lifting pass over the range first .. first + count - 1 with the given
// measures to read; returns go_on and leaves the written measures in out.
bool lifting_pass(DeviceRange& game, uint32_t first, uint32_t count, uint16_t n_ranks,
                  const std::vector<uint32_t>& bounds, const std::vector<int>& in, std::vector<int>& out) {
  ScopedDeviceArray<int> read, written;
  ScopedDeviceArray<uint32_t> rank_counter;
  to_device(read, in);
  to_device(written, std::vector<int>(in.size(), 0));
  to_device(rank_counter, bounds);
  ScopedDeviceArray<uint8_t> flag(1);
  const uint8_t zero = 0;
  copy_array<Space::device, Space::host>(flag.get(), &zero, 1);
  launch_kernel(kernel::small_progress_measure::iteration_range, 1, 64, 64u * n_ranks * 4u,
                reinterpret_cast<bool*>(flag.get()), written.get(), static_cast<const int*>(read.get()),
                static_cast<const uint32_t*>(rank_counter.get()), n_ranks, count, first, game.color.get(),
                static_cast<const uint8_t*>(game.owner.get()), game.n_succ.get(),
                static_cast<const uint32_t*>(game.succ_begin.get()), game.succ_array.get(),
                static_cast<const uint32_t*>(game.scc_id.get()));
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  out = from_device(written.get(), in.size());
  return from_device(flag.get(), 1)[0] != 0;
}

void finalize(DeviceRange& game, uint32_t first, uint32_t count, uint16_t n_ranks, const std::vector<int>& measures) {
  ScopedDeviceArray<int> valuation;
  to_device(valuation, measures);
  launch_kernel(kernel::small_progress_measure::finalize_range, 1, 64, 64u * n_ranks * 4u,
                static_cast<const int*>(valuation.get()), n_ranks, count, first, game.color.get(), game.owner.get(),
                game.n_succ.get(), static_cast<const uint32_t*>(game.succ_begin.get()), game.succ_array.get(),
                static_cast<const uint32_t*>(game.scc_id.get()));
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
}

const uint32_t scc0 = 0x40000000u;

class RangeSpm : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

TEST_F(RangeSpm, EvenCycleOfColoursThreeAndTwoSettlesAndIsWonByEven) {
  DeviceRange game({{3, 2}, {0, 0}, {{1}, {0}}, {scc0, scc0}});
  std::vector<int> a(2, 0), b;
  EXPECT_TRUE(lifting_pass(game, 0, 2, 1, {1}, a, b));
  EXPECT_EQ(b, (std::vector<int>{1, 0}));
  EXPECT_FALSE(lifting_pass(game, 0, 2, 1, {1}, b, a));
  EXPECT_EQ(a, (std::vector<int>{1, 0}));
  finalize(game, 0, 2, 1, a);
  EXPECT_EQ(game.colors(), (std::vector<color_t>{0, 0}));
  EXPECT_EQ(game.lists(), (Lists{{1}, {0}}));
}

TEST_F(RangeSpm, OddCycleOverflowsInTheThirdPassAndTakesItsPartnerInTheNext) {
  // The measures of the first two passes are read from the other buffer, so
  // they do not depend on the order of the threads. The won marks of the
  // third are read in place: node 0 (colour 4) follows node 1 in the same
  // pass when its thread runs after node 1's, else in the next. Both orders
  // are run.
  for (const hostrt::ThreadOrder order : {hostrt::ThreadOrder::reverse, hostrt::ThreadOrder::forward}) {
    hostrt::set_thread_order(order);
    for (uint8_t partner_owner = 0; partner_owner < 2; ++partner_owner) {
      DeviceRange game({{4, 3}, {partner_owner, 0}, {{1}, {0}}, {scc0, scc0}});
      std::vector<int> a(2, 0), b;
      EXPECT_TRUE(lifting_pass(game, 0, 2, 1, {1}, a, b));
      EXPECT_EQ(b, (std::vector<int>{0, 1}));
      EXPECT_TRUE(lifting_pass(game, 0, 2, 1, {1}, b, a));
      EXPECT_EQ(a, (std::vector<int>{1, 1}));
      EXPECT_TRUE(lifting_pass(game, 0, 2, 1, {1}, a, b));
      const std::vector<color_t> third = game.colors();
      EXPECT_EQ(third[1], 1) << "the odd cycle overflows in the third pass";
      EXPECT_TRUE(third[0] == 4 || third[0] == 1) << third[0];
      EXPECT_EQ(lifting_pass(game, 0, 2, 1, {1}, b, a), third[0] == 4) << "a fourth pass decides node 0 if left";
      EXPECT_EQ(game.colors(), (std::vector<color_t>{1, 1}));
      const Lists lists = game.lists();
      if (partner_owner == 0) {
        EXPECT_TRUE(lists[0].empty()) << "Even's node drops its only edge";
      } else {
        EXPECT_EQ(lists[0], std::vector<uint32_t>{1}) << "Odd's node keeps the winning edge";
      }
      EXPECT_FALSE(lifting_pass(game, 0, 2, 1, {1}, a, b));
    }
  }
}

TEST_F(RangeSpm, SuccessorWonByTheOwnerInAnEarlierRangeDecidesInTheFirstPass) {
  // Node 0 belongs to an earlier range and is won by Even.
  DeviceRange game({{0, 3, 2}, {0, 0, 1}, {{0}, {2, 0}, {1}}, {0x60000000u, scc0 | 1, scc0 | 1}});
  std::vector<int> a(2, 0), b;
  EXPECT_TRUE(lifting_pass(game, 1, 2, 1, {1}, a, b));
  EXPECT_EQ(game.colors()[1], 0);
  EXPECT_EQ(game.lists()[1], std::vector<uint32_t>{0});
}

TEST_F(RangeSpm, EdgesToNodesWonByTheOpponentAreDroppedForGood) {
  // Odd's node 1 has moves to 0 (won by Even) and to 2.
  DeviceRange game({{0, 3, 2}, {0, 1, 0}, {{0}, {0, 2}, {1}}, {0x60000000u, scc0 | 1, scc0 | 1}});
  std::vector<int> a(2, 0), b;
  lifting_pass(game, 1, 2, 1, {1}, a, b);
  EXPECT_EQ(game.lists()[1], std::vector<uint32_t>{2});
  EXPECT_EQ(game.colors()[1], 3);
}

TEST_F(RangeSpm, ColourTwoNodeKeepsMeasureZeroAndIsWonByEven) {
  DeviceRange game({{2, 5}, {1, 1}, {{1}, {0, 1}}, {scc0, scc0}});
  std::vector<int> a(4, 0), b;
  lifting_pass(game, 0, 2, 2, {0, 1}, a, b);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(b[1], 0);
  finalize(game, 0, 2, 2, {0, 0, 0, 1});
  EXPECT_EQ(game.colors(), (std::vector<color_t>{0, 0}));
  EXPECT_EQ(game.lists(), (Lists{{}, {}})) << "Odd's nodes keep no edge in Even's region";
}

TEST_F(RangeSpm, ProgressStepRollsOverToTheNextMoreSignificantComponent) {
  // Node 0 (colour 5, components 0 and 1) follows node 1, whose measure the
  // test sets; bounds 2 and 1.
  const std::vector<uint32_t> bounds = {2, 1};
  const std::vector<std::pair<std::vector<int>, std::vector<int>>> steps = {
      {{0, 0}, {0, 1}}, {{0, 1}, {1, 0}}, {{1, 1}, {2, 0}}, {{2, 0}, {2, 1}}};
  for (const auto& step : steps) {
    DeviceRange game({{5, 2}, {1, 0}, {{1}, {0}}, {scc0, scc0}});
    std::vector<int> in = {0, 0, step.first[0], step.first[1]}, out;
    EXPECT_TRUE(lifting_pass(game, 0, 2, 2, bounds, in, out));
    EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 2), step.second);
    EXPECT_EQ(game.colors()[0], 5);
  }
  DeviceRange game({{5, 2}, {1, 0}, {{1}, {0}}, {scc0, scc0}});
  std::vector<int> out;
  EXPECT_TRUE(lifting_pass(game, 0, 2, 2, bounds, {0, 0, 2, 1}, out));
  EXPECT_EQ(game.colors()[0], 1) << "no bounded vector above (2, 1): won by Odd";
}

TEST_F(RangeSpm, OwnersTakeTheLexicographicallyBestSuccessor) {
  // Nodes 0 (Even) and 1 (Odd), colour 5, both with successors 2 and 3, whose
  // measures are (1, 0) and (0, 1); bounds 2 and 1.
  const RangeGame g = {{5, 5, 2, 2}, {0, 1, 0, 0}, {{2, 3}, {3, 2}, {0}, {1}}, {scc0, scc0, scc0, scc0}};
  DeviceRange game(g);
  std::vector<int> out;
  lifting_pass(game, 0, 4, 2, {2, 1}, {0, 0, 0, 0, 1, 0, 0, 1}, out);
  EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 2), (std::vector<int>{1, 0})) << "Even: min (0, 1), raised";
  EXPECT_EQ(std::vector<int>(out.begin() + 2, out.begin() + 4), (std::vector<int>{1, 1})) << "Odd: max (1, 0), raised";
}

TEST_F(RangeSpm, MeasuresNeverFall) {
  // Nodes 0 (Even) and 1 (Odd), colour 4, pass their measures to each other.
  DeviceRange game({{4, 4}, {0, 1}, {{1}, {0}}, {scc0, scc0}});
  std::vector<int> out, again;
  EXPECT_TRUE(lifting_pass(game, 0, 2, 1, {2}, {1, 0}, out));
  EXPECT_EQ(out, (std::vector<int>{1, 1}));
  EXPECT_FALSE(lifting_pass(game, 0, 2, 1, {2}, out, again));
  EXPECT_EQ(again, (std::vector<int>{1, 1}));
}

// Odd's node 1 takes measure 1 from node 2 before node 2 is won by Even and
// dropped from 1's moves; its lift then falls to 0. Node 5 (Odd) has copied
// the 1 and passes it to node 6 and back. Were measures allowed to fall, 5
// and 6 would exchange 1 and 0 for ever.
TEST_F(RangeSpm, LiftingStopsAfterAnOddNodeLosesItsBestMove) {
  const RangeGame g = {{0, 4, 3, 3, 2, 4, 4},
                       {0, 1, 0, 0, 0, 1, 0},
                       {{0}, {2, 4}, {3, 1}, {0, 2}, {1, 5}, {6, 1}, {5}},
                       {0x60000000u, scc0 | 1, scc0 | 1, scc0 | 1, scc0 | 1, scc0 | 1, scc0 | 1}};
  DeviceRange game(g);
  std::vector<int> a(6, 0), b;
  int passes = 0;
  bool go_on = true;
  while (go_on && passes < 20) {
    go_on = lifting_pass(game, 1, 6, 1, {2}, a, b);
    a.swap(b);
    ++passes;
  }
  ASSERT_FALSE(go_on) << "still changing after 20 passes";
  finalize(game, 1, 6, 1, a);
  EXPECT_EQ(game.colors(), (std::vector<color_t>{0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(RangeSpm, EvenColourTruncatesToItsVisibleComponents) {
  // Node 0 has colour 4: only component 0 is visible, component 1 stays 0.
  DeviceRange game({{4, 2}, {0, 0}, {{1}, {0}}, {scc0, scc0}});
  std::vector<int> out;
  EXPECT_TRUE(lifting_pass(game, 0, 2, 2, {2, 2}, {0, 0, 2, 1}, out));
  EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 2), (std::vector<int>{2, 0}));
}

TEST_F(RangeSpm, FinalisationKeepsEvensEdgeToTheLeastMeasure) {
  const RangeGame g = {{3, 3, 3, 3}, {0, 0, 0, 0}, {{1, 2, 3}, {0}, {0}, {0}}, {scc0, scc0, scc0, scc0}};
  DeviceRange game(g);
  finalize(game, 0, 4, 2, {0, 0, 1, 1, 0, 1, 0, 1});
  EXPECT_EQ(game.colors(), (std::vector<color_t>{0, 0, 0, 0}));
  EXPECT_EQ(game.lists()[0], std::vector<uint32_t>{2}) << "(0, 1) is least; of equals the first in list order";
}

TEST_F(RangeSpm, RankCountIsTheLargestCountInOneScc) {
  // SCCs {0, 1, 2}, {3}, {4, 5, 6, 7}: colour 3 twice in the first, colour 5
  // three times in the last.
  const RangeGame g = {{3, 3, 5, 3, 5, 5, 5, 2},
                       std::vector<uint8_t>(8, 0),
                       Lists(8, std::vector<uint32_t>{0}),
                       {scc0, scc0, scc0, 0x60000003u, scc0 | 4, scc0 | 4, scc0 | 4, scc0 | 4}};
  DeviceRange game(g);
  ScopedDeviceArray<uint32_t> parallel, host;
  Korrel::count_ranks(parallel, game.view(), 3, 0, 8, 3);
  EXPECT_EQ(from_device(parallel.get(), 3), (std::vector<uint32_t>{2, 3, 0}));
  Korrel::count_ranks_on_host(host, game.view(), 3, 0, 8);
  EXPECT_EQ(from_device(host.get(), 3), (std::vector<uint32_t>{2, 3, 0}));
  Korrel::count_ranks(parallel, game.view(), 2, 3, 8, 2);
  EXPECT_EQ(from_device(parallel.get(), 2), (std::vector<uint32_t>{1, 3}));
}

TEST_F(RangeSpm, RankCountFailureCarriesBothLinesAndFreesEverything) {
  DeviceRange game({{3, 3}, {0, 0}, {{1}, {0}}, {scc0, scc0}});
  ScopedDeviceArray<uint32_t> rank_counter;
  hostrt::fail_allocation(hostrt::allocation_count() + 2);
  const std::size_t live = hostrt::live_allocations();
  try {
    Korrel::count_ranks(rank_counter, game.view(), 1, 0, 2, 1);
    FAIL() << "nothing thrown";
  } catch (const Korrel::RankCountFailure& f) {
    EXPECT_EQ(f.message,
              "Korrel::count_ranks: alloc_array<>: Error allocating memory on the device.\nout of memory\n"
              "(In case of to little memory, try to compile Korrel with #define PARALLEL_COUNT 0.)");
  }
  EXPECT_LE(hostrt::live_allocations(), live + 1) << "only rank_counter itself may remain";
}

TEST_F(RangeSpm, RankCountReportsAFailedLaunch) {
  DeviceRange game({{3, 3}, {0, 0}, {{1}, {0}}, {scc0, scc0}});
  ScopedDeviceArray<uint32_t> rank_counter;
  // The second of the count's three launches: the count per SCC.
  hostrt::fail_launch(hostrt::counters().launches + 2);
  try {
    Korrel::count_ranks(rank_counter, game.view(), 1, 0, 2, 1);
    FAIL() << "nothing thrown";
  } catch (const Korrel::RankCountFailure& f) {
    EXPECT_EQ(f.message,
              "Korrel::count_ranks: counting the ranks failed: unspecified launch failure\n"
              "(In case of to little memory, try to compile Korrel with #define PARALLEL_COUNT 0.)");
  }
}

// choose_block_size with 49152 bytes of shared memory per block and 1536
// threads per multiprocessor.
class BlockSize : public RangeSpm {
 protected:
  uint32_t choose(uint32_t bytes, std::string& warnings) {
    cudaDeviceProp p = hostrt::default_device_properties();
    p.sharedMemPerBlock = 49152;
    p.maxThreadsPerMultiProcessor = 1536;
    std::ostringstream captured;
    struct Restore {
      std::streambuf* old;
      ~Restore() { std::cerr.rdbuf(old); }
    } restore{std::cerr.rdbuf(captured.rdbuf())};
    const uint32_t block = Korrel::choose_block_size(1000, bytes, 256, p);
    warnings = captured.str();
    return block;
  }
};

TEST_F(BlockSize, FortyRanksGiveBlocksOf128WithoutWarnings) {
  std::string warnings;
  EXPECT_EQ(choose(40 * 4, warnings), 128u);
  EXPECT_EQ(warnings, "");
}

TEST_F(BlockSize, TwoHundredRanksGiveBlocksOf32AndBothWarnings) {
  std::string warnings;
  EXPECT_EQ(choose(200 * 4, warnings), 32u);
  EXPECT_EQ(warnings,
            "Warning: block_size is less than 64\nWarning: average number of blocks per MP is less than 2\n");
}

TEST_F(BlockSize, FewRanksAreLimitedByTheThreadsOfAMultiprocessor) {
  std::string warnings;
  EXPECT_EQ(choose(4, warnings), 256u);
  EXPECT_EQ(choose(0, warnings), 256u);
  EXPECT_EQ(warnings, "");
}

TEST_F(BlockSize, AThreadsShareLargerThanABlocksMemoryIsRefused) {
  std::string warnings;
  try {
    choose(49153, warnings);
    FAIL() << "nothing thrown";
  } catch (const std::string& s) {
    EXPECT_EQ(s, "Korrel::choose_block_size: one thread needs 49153 bytes of shared memory, more than the 49152 "
                 "bytes of a block.\n");
  }
}

// A range solve on a game where measures would cross SCCs: SCC B = {0, 1}
// (Even's cycle of colours 3 and 2) below SCC A = {2, 3} (Even's cycle of
// colours 3 and 4, where node 3 may also leave to node 0). Even wins
// everywhere; A's own cycle is won by Odd, but Even leaves it for B. Carried
// over from B, node 0's measure 1 would push node 2 past A's bound of one
// colour-3 node and wrongly give it to Odd.
TEST_F(RangeSpm, MeasuresDoNotAccumulateAcrossSccs) {
  const RangeGame g = {{3, 2, 3, 4}, {0, 0, 0, 0}, {{1}, {0}, {3}, {2, 0}}, {scc0, scc0, scc0 | 2, scc0 | 2}};
  DeviceRange game(g);
  Korrel::solve_range(game.view(), 1, {0, 2}, 0, 2, hostrt::default_device_properties());
  EXPECT_EQ(game.colors(), (std::vector<color_t>{0, 0, 0, 0}));
  EXPECT_EQ(game.lists()[3], std::vector<uint32_t>{0}) << "Even's strategy leaves A";
}

TEST_F(RangeSpm, RangeSolveDecidesEveryNodeOfTheRangeOnly) {
  // Range {2, 3, 4} (one SCC) above node 0, won by Odd, and node 1, not yet
  // solved, outside the range.
  const RangeGame g = {{1, 3, 3, 4, 5},
                       {1, 0, 1, 0, 0},
                       {{0}, {1}, {3, 0}, {4, 2}, {2}},
                       {0x60000000u, 0x70000001u, scc0 | 2, scc0 | 2, scc0 | 2}};
  DeviceRange game(g);
  Korrel::solve_range(game.view(), 2, {0, 1, 2}, 2, 3, hostrt::default_device_properties());
  EXPECT_EQ(game.colors(), (std::vector<color_t>{1, 3, 1, 1, 1}));
}

TEST_F(RangeSpm, RangeSolveRefusesAnEmptyRangeAndMeasuresWithoutComponents) {
  DeviceRange game({{3, 3}, {0, 0}, {{1}, {0}}, {scc0, scc0}});
  try {
    Korrel::solve_range(game.view(), 1, {0, 2}, 1, 2, hostrt::default_device_properties());
    FAIL() << "nothing thrown";
  } catch (const std::string& s) {
    EXPECT_EQ(s, "Korrel::solve_range: range is empty.\n");
  }
  EXPECT_THROW(Korrel::solve_range(game.view(), 0, {0}, 0, 1, hostrt::default_device_properties()), std::string);
  EXPECT_EQ(game.colors(), (std::vector<color_t>{3, 3}));
}

}  // namespace
