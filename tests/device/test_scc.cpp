// The device SCC decomposition against Tarjan's algorithm on the host: the
// same partition, the exact SCC words and the heights of the condensation.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "device_graph.h"
#include "host_scc.h"
#include "common/launch.h"
#include "kernels/scc_kernels.h"
#include "preprocess/cuda_preprocess.h"
#include "random_game.h"

namespace {

typedef std::vector<std::vector<uint32_t>> Lists;

struct SccResult {
  std::vector<uint32_t> word;
  std::vector<uint32_t> rank;
};

SccResult device_sccs(const Lists& succ) {
  DeviceTestGraph graph(succ);
  ScopedDeviceArray<uint32_t> scc_id(graph.n), scc_rank(graph.n);
  preprocess::determine_sccs(scc_id.get(), scc_rank.get(), graph.view());
  return {from_device(scc_id.get(), graph.n), from_device(scc_rank.get(), graph.n)};
}

// Compares the device result with Tarjan's; returns "" when they agree.
std::string compare_with_host(const Lists& succ, const SccResult& r) {
  const HostSccs h = host_sccs(succ);
  const uint32_t n = static_cast<uint32_t>(succ.size());
  std::map<uint32_t, uint32_t> word_of_component, component_of_word;
  for (uint32_t v = 0; v < n; ++v) {
    const uint32_t c = h.component[v], w = r.word[v];
    auto a = word_of_component.emplace(c, w);
    if (a.first->second != w) return "node " + std::to_string(v) + ": two words for one SCC";
    auto b = component_of_word.emplace(w, c);
    if (b.first->second != c) return "node " + std::to_string(v) + ": one word for two SCCs";
    uint32_t expected;
    if (h.size[c] == 1) {
      expected = v | (h.self_loop[v] ? 0x70000000u : 0x60000000u);
    } else {
      const uint32_t p = w & 0x0FFFFFFFu;
      if (p >= n || h.component[p] != c) return "node " + std::to_string(v) + ": representative outside its SCC";
      expected = 0x40000000u | p;
    }
    if (w != expected) return "node " + std::to_string(v) + ": word " + std::to_string(w) + ", expected " +
                              std::to_string(expected);
    if (r.rank[v] != h.height[c]) return "node " + std::to_string(v) + ": rank " + std::to_string(r.rank[v]) +
                                         ", height " + std::to_string(h.height[c]);
  }
  // The properties the range solver relies on, stated directly.
  for (uint32_t v = 0; v < n; ++v) {
    bool leaves = false;
    for (uint32_t w : succ[v]) {
      if (r.word[w] == r.word[v]) continue;
      leaves = true;
      if (r.rank[w] >= r.rank[v]) return "edge " + std::to_string(v) + " -> " + std::to_string(w) + " does not descend";
    }
    if (!leaves && h.size[h.component[v]] == 1 && r.rank[v] != 0) return "bottom SCC with a non-zero rank";
  }
  return "";
}

// Random graph whose nodes may lack successors or predecessors.
Lists sparse_graph(uint32_t n, uint32_t max_out, double self_loops, uint64_t seed) {
  std::mt19937_64 rng(seed);
  Lists succ(n);
  for (uint32_t v = 0; v < n; ++v) {
    const uint32_t degree = static_cast<uint32_t>(rng() % (max_out + 1));
    for (uint32_t k = 0; k < degree; ++k) succ[v].push_back(static_cast<uint32_t>(rng() % n));
    if (static_cast<double>(rng() % 1000) < self_loops * 1000) succ[v].push_back(v);
  }
  return succ;
}

class Scc : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
    preprocess::set_one_thread_scc_nodes(preprocess::default_one_thread_scc_nodes);
  }
};

// Node limits of the decomposition in one thread: none (the parallel passes
// take every graph) and above every graph of the tests that use them.
const uint32_t one_thread_limits[] = {0, 1000};

TEST_F(Scc, NodesWithoutSuccessorsOrPredecessorsAreTrivialBeforeAnyPass) {
  // 0 -> 1 -> 2 (no successors); 3 has no predecessors.
  const Lists succ = {{1}, {2}, {}, {0}};
  DeviceTestGraph graph(succ);
  ScopedDeviceArray<uint32_t> scc_id(4), pivot(1);
  launch_kernel(kernel::scc::find_initial_pivot, 1, 256, 0, scc_id.get(), pivot.get(), graph.n_succ.get(),
                graph.n_pred.get(), 4u);
  const auto words = from_device(scc_id.get(), 4);
  EXPECT_EQ(words[2], 0x60000002u);
  EXPECT_EQ(words[3], 0x60000003u);
  const uint32_t p = from_device(pivot.get(), 1)[0];
  EXPECT_TRUE(p == 0 || p == 1) << p;
}

TEST_F(Scc, SelfLoopOnlyNodeIsTrivialWithLoopMark) {
  const SccResult r = device_sccs({{0}, {1, 0}, {2, 1}});
  EXPECT_EQ(r.word, (std::vector<uint32_t>{0x70000000u, 0x70000001u, 0x70000002u}));
  EXPECT_EQ(r.rank, (std::vector<uint32_t>{0, 1, 2}));
}

TEST_F(Scc, OneBigCycleIsOneSccRepresentedByAMember) {
  Lists succ(50);
  for (uint32_t v = 0; v < 50; ++v) succ[v] = {(v + 1) % 50};
  const SccResult r = device_sccs(succ);
  const uint32_t p = r.word[0] & 0x0FFFFFFFu;
  ASSERT_LT(p, 50u);
  for (uint32_t v = 0; v < 50; ++v) {
    EXPECT_EQ(r.word[v], 0x40000000u | p);
    EXPECT_EQ(r.rank[v], 0u);
  }
}

TEST_F(Scc, AcyclicGraphIsAllTrivial) {
  const Lists succ = {{1, 2}, {3}, {3}, {}};
  const SccResult r = device_sccs(succ);
  EXPECT_EQ(r.word, (std::vector<uint32_t>{0x60000000u, 0x60000001u, 0x60000002u, 0x60000003u}));
  EXPECT_EQ(r.rank, (std::vector<uint32_t>{2, 1, 1, 0}));
}

TEST_F(Scc, ChainOfThreeSccsHasRanksTwoOneZero) {
  // A = {0, 1} -> B = {2, 3} -> C = {4, 5}.
  const Lists succ = {{1}, {0, 2}, {3}, {2, 5}, {5}, {4}};
  const SccResult r = device_sccs(succ);
  EXPECT_EQ(r.rank, (std::vector<uint32_t>{2, 2, 1, 1, 0, 0}));
  EXPECT_EQ(r.word[0], r.word[1]);
  EXPECT_EQ(r.word[2], r.word[3]);
  EXPECT_EQ(r.word[4], r.word[5]);
  EXPECT_EQ(compare_with_host(succ, r), "");
}

TEST_F(Scc, SingletonOnAPathThroughItsPartitionIsTrivial) {
  // 1 lies between the cycles {0, 3} and {2, 4} without being on a cycle
  // itself, so trimming cannot remove it; whichever way it is found, its
  // word is the trivial one.
  const Lists succ = {{1, 3}, {2, 1}, {4}, {0}, {2}};
  const SccResult r = device_sccs(succ);
  EXPECT_EQ(r.word[1], 0x70000001u);
  EXPECT_EQ(compare_with_host(succ, r), "");
}

TEST_F(Scc, AgreesWithTarjanOnRandomGames) {
  for (uint32_t limit : one_thread_limits) {
    preprocess::set_one_thread_scc_nodes(limit);
    for (uint64_t seed = 1; seed <= 120; ++seed) {
      RandomGameParams p;
      p.seed = seed;
      p.n_nodes = 1 + static_cast<uint32_t>(seed * 7 % 300);
      p.max_out = 1 + static_cast<uint32_t>(seed % 3);
      p.self_loop_probability = (seed % 4) * 0.1;
      const TestGame g = random_game(p);
      EXPECT_EQ(compare_with_host(g.succ, device_sccs(g.succ)), "") << describe(p) << ", limit " << limit;
    }
  }
}

TEST_F(Scc, AgreesWithTarjanOnSparseGraphs) {
  for (uint32_t limit : one_thread_limits) {
    preprocess::set_one_thread_scc_nodes(limit);
    for (uint64_t seed = 1; seed <= 80; ++seed) {
      const Lists succ = sparse_graph(2 + static_cast<uint32_t>(seed * 13 % 400), 1 + seed % 3, 0.2, seed);
      EXPECT_EQ(compare_with_host(succ, device_sccs(succ)), "") << "seed " << seed << ", limit " << limit;
    }
  }
}

TEST_F(Scc, AgreesWithTarjanOnManySccs) {
  for (uint32_t limit : one_thread_limits) {
    preprocess::set_one_thread_scc_nodes(limit);
    for (uint64_t seed = 1; seed <= 12; ++seed) {
      const Lists succ = block_game(50 + static_cast<uint32_t>(seed * 17 % 200), 1 + seed % 6, 3, seed).succ;
      EXPECT_EQ(compare_with_host(succ, device_sccs(succ)), "") << "seed " << seed << ", limit " << limit;
    }
  }
}

TEST_F(Scc, AgreesWithTarjanOnALargeGraph) {
  RandomGameParams p;
  p.seed = 99;
  p.n_nodes = 70000;
  p.max_out = 3;
  p.self_loop_probability = 0.05;
  const TestGame g = random_game(p);
  EXPECT_EQ(compare_with_host(g.succ, device_sccs(g.succ)), "") << describe(p);
}

TEST_F(Scc, RefusesMissingPredecessors) {
  DeviceTestGraph graph(Lists{{0}});
  preprocess::DeviceGraph view = graph.view();
  view.pred_array = nullptr;
  ScopedDeviceArray<uint32_t> scc_id(1), scc_rank(1);
  try {
    preprocess::determine_sccs(scc_id.get(), scc_rank.get(), view);
    FAIL() << "nothing thrown";
  } catch (const std::string& s) {
    EXPECT_EQ(s, "preprocess: determine_sccs requires the predecessors to be loaded onto the device.\n");
  }
}

TEST_F(Scc, RefusesNodeIndicesBeyondTheWordsIdField) {
  EXPECT_NO_THROW(preprocess::check_scc_word_capacity(1u << 28));
  try {
    preprocess::check_scc_word_capacity((1u << 28) + 1);
    FAIL() << "nothing thrown";
  } catch (const std::string& s) {
    EXPECT_EQ(s, "preprocess: determine_sccs supports at most 268435456 nodes (node indices must fit into 28 bits "
                 "of an SCC word); this game has 268435457.\n");
  }
  // The check comes before any work: no memory is taken and no array read.
  DeviceTestGraph graph(Lists{{0}});
  preprocess::DeviceGraph view = graph.view();
  view.n_nodes = (1u << 28) + 5;
  const std::size_t before = hostrt::allocation_count();
  EXPECT_THROW(preprocess::determine_sccs(nullptr, nullptr, view), std::string);
  EXPECT_EQ(hostrt::allocation_count(), before);
}

// The votes of the passes, or the scratch of the one thread.
TEST_F(Scc, FailedAllocationOfTheVotesIsReportedAndLeaksNothing) {
  DeviceTestGraph graph(Lists{{1}, {0}});
  ScopedDeviceArray<uint32_t> scc_id(2), scc_rank(2);
  for (uint32_t limit : one_thread_limits) {
    preprocess::set_one_thread_scc_nodes(limit);
    hostrt::fail_allocation(hostrt::allocation_count() + 1);
    try {
      preprocess::determine_sccs(scc_id.get(), scc_rank.get(), graph.view());
      ADD_FAILURE() << "nothing thrown, limit " << limit;
    } catch (const std::string& s) {
      EXPECT_EQ(s, "alloc_array<>: Error allocating memory on the device.\nout of memory") << limit;
    }
  }
}

}  // namespace

namespace {

// A fault in any pass stops the decomposition with a message naming its loop,
// instead of ending the loop as if it had converged. One cycle of three
// nodes: nothing to trim (one pass, one read), then the propagation; or the
// one launch of the decomposition in one thread.
TEST_F(Scc, AFailingFlagReadOrLaunchNamesTheLoop) {
  struct Case {
    uint32_t one_thread_limit;
    bool copy;     // fail a copy, else a launch
    std::size_t k;  // which one, counted from the start of determine_sccs
    const char* message;
  };
  const Case cases[] = {
      {0, true, 1, "determine_sccs: trimming: reading the change flag failed: unspecified launch failure"},
      {0, true, 2, "determine_sccs: pivot propagation: reading the change flag failed: unspecified launch failure"},
      {0, false, 3, "determine_sccs: trimming: a pass could not be launched: unspecified launch failure"},
      {0, false, 4, "determine_sccs: pivot propagation: a pass could not be launched: unspecified launch failure"},
      {3, false, 1,
       "determine_sccs: the decomposition in one thread could not be launched: unspecified launch failure"},
  };
  for (const Case& c : cases) {
    hostrt::reset();
    preprocess::set_one_thread_scc_nodes(c.one_thread_limit);
    DeviceTestGraph graph(Lists{{1}, {2}, {0}});
    ScopedDeviceArray<uint32_t> scc_id(3), scc_rank(3);
    const std::size_t live = hostrt::live_allocations();
    if (c.copy) {
      hostrt::fail_copy(copies_so_far() + c.k);
    } else {
      hostrt::fail_launch(c.k);
    }
    try {
      preprocess::determine_sccs(scc_id.get(), scc_rank.get(), graph.view());
      ADD_FAILURE() << c.message << ": nothing thrown";
    } catch (const std::string& s) {
      EXPECT_EQ(s, c.message);
    }
    EXPECT_EQ(hostrt::live_allocations(), live) << c.message;
  }
}

// On a long chain of SCCs a raised rank travels on along the predecessors
// within the pass, and trimming along the successors: far fewer passes than
// SCCs.
TEST_F(Scc, RanksAndTrimmingTravelAlongChainsWithinAPass) {
  const uint32_t n = 2000;
  Lists succ(n);
  for (uint32_t v = 0; v + 1 < n; ++v) succ[v].push_back(v + 1);
  succ[n - 1].push_back(n - 1);
  DeviceTestGraph graph(succ);
  ScopedDeviceArray<uint32_t> scc_id(n), scc_rank(n);
  // In index order on one worker a pass without chains lifts the ranks by one.
  hostrt::set_worker_threads(1);
  hostrt::set_thread_order(hostrt::ThreadOrder::forward);
  const hostrt::Counters before = hostrt::counters();
  preprocess::determine_sccs(scc_id.get(), scc_rank.get(), graph.view());
  const hostrt::Counters c = hostrt::counters() - before;
  EXPECT_EQ(compare_with_host(succ, SccResult{from_device(scc_id.get(), n), from_device(scc_rank.get(), n)}), "");
  EXPECT_LE(c.launches * 20, n) << "without chains, about one pass per SCC";
  EXPECT_EQ(c.synchronisations, c.copies_to_host);
  EXPECT_EQ(c.allocations, 2u) << "the votes and the flag, once";
}

}  // namespace
