// Normalisation of an arena for the range solver: colour compression, trivial
// SCCs, self-loops, the sorted order and the SCC starts and ranges.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "arena/gpu_arena.h"
#include "common/launch.h"
#include "device_graph.h"
#include "host_scc.h"
#include "kernels/preproc_kernels.h"
#include "preprocess/cuda_preprocess.h"
#include "random_game.h"
#include "rangespm/korrel.h"
#include "test_game.h"

namespace {

void load(cudaGpuArena& arena, const TestGame& g) {
  arena.load(write_temp_file(to_pgsolver(g)));
  arena.upload(false);
}

// A cycle through all nodes with the given colours, all of Even.
TestGame cycle_game(const std::vector<uint32_t>& colors) {
  TestGame g;
  const uint32_t n = static_cast<uint32_t>(colors.size());
  for (uint32_t v = 0; v < n; ++v) g.add_node(colors[v], 0, {(v + 1) % n});
  return g;
}

struct Prepared {
  color_t color_bound = 0;
  color_t ref_parity = 7;
  std::vector<color_t> color;
  std::vector<uint8_t> owner;
  std::vector<std::vector<uint32_t>> succ;
  std::vector<uint32_t> word, rank, node_id;
};

Prepared prepare(cudaGpuArena& arena, bool sort = true) {
  Prepared p;
  ScopedDeviceArray<uint32_t> scc_id, scc_rank;
  preprocess::prepare_game(arena, p.color_bound, p.ref_parity, scc_id, scc_rank, sort, true);
  const uint32_t n = arena.n_nodes;
  p.word = from_device(scc_id.get(), n);
  p.rank = from_device(scc_rank.get(), n);
  p.color = from_device(arena.device.color, n);
  p.owner = from_device(arena.device.owner, n);
  const auto count = from_device(arena.device.succ.count, n);
  const auto begin = from_device(arena.device.succ.begin, n + 1);
  const auto targets = from_device(arena.device.succ.targets, arena.n_edges);
  p.succ.resize(n);
  for (uint32_t v = 0; v < n; ++v) p.succ[v].assign(targets.begin() + begin[v], targets.begin() + begin[v] + count[v]);
  p.node_id.assign(arena.node_id, arena.node_id + n);
  return p;
}

class Preprocess : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

TEST_F(Preprocess, CompressionFromTheLargestColourMergesEqualParities) {
  cudaGpuArena arena;
  load(arena, cycle_game({7, 5, 4, 2}));
  ScopedDeviceArray<uint32_t> scc_id(4), scc_rank(4);
  preprocess::determine_sccs(scc_id.get(), scc_rank.get(), arena);
  preprocess::determine_color_range(arena, scc_id.get());
  EXPECT_EQ(arena.max_color, 7);
  EXPECT_EQ(arena.min_color, 2);
  std::vector<uint32_t> nontrivial;
  preprocess::collect_nontrivial_sccs(nontrivial, arena, scc_id.get());
  ASSERT_EQ(nontrivial.size(), 1u);
  EXPECT_EQ(preprocess::compress_scc_colors(scc_id.get(), arena, nontrivial[0]), 4);
  EXPECT_EQ(from_device(arena.device.color, 4), (std::vector<color_t>{2, 2, 3, 3}));
}

// Hundreds of separate cycles, one of them with the largest colour there is,
// so that the colour table takes several batches of SCCs: every SCC is
// renamed as the walk over its own colours says, and the workspace is
// allocated once however many SCCs there are.
TEST_F(Preprocess, ManySccsAreCompressedInBatchesWithOneWorkspace) {
  std::mt19937 rng(5);
  TestGame g;
  std::vector<std::vector<uint32_t>> members;
  for (uint32_t ring = 0; ring < 300; ++ring) {
    const uint32_t first = g.size(), size = 2 + rng() % 5;
    members.emplace_back();
    for (uint32_t k = 0; k < size; ++k) {
      const uint32_t color = ring == 150 && k == 0 ? 32767 : rng() % 40;
      members.back().push_back(g.add_node(color, 0, {first + (k + 1) % size}));
    }
  }
  cudaGpuArena arena;
  load(arena, g);
  const uint32_t n = g.size();
  ScopedDeviceArray<uint32_t> scc_id(n), scc_rank(n);
  preprocess::determine_sccs(scc_id.get(), scc_rank.get(), arena);
  preprocess::determine_color_range(arena, scc_id.get());
  ASSERT_EQ(arena.max_color, 32767);
  std::vector<uint32_t> nontrivial;
  preprocess::collect_nontrivial_sccs(nontrivial, arena, scc_id.get());
  ASSERT_EQ(nontrivial.size(), 300u);

  // The walk from the largest colour of all, per SCC.
  std::vector<color_t> expected(n);
  uint32_t bound = 2;
  for (const auto& ring : members) {
    std::map<uint32_t, uint32_t> renamed;
    for (uint32_t v : ring) renamed[g.color[v]] = 0;
    uint32_t count = 2, parity = arena.max_color & 1u;
    for (auto c = renamed.rbegin(); c != renamed.rend(); ++c) {
      if ((c->first & 1u) != parity) ++count;
      c->second = count;
      parity = c->first & 1u;
    }
    bound = std::max(bound, count + 1);
    for (uint32_t v : ring) expected[v] = static_cast<color_t>(renamed[g.color[v]]);
  }
  const hostrt::Counters before = hostrt::counters();
  EXPECT_EQ(preprocess::compress_scc_colors(scc_id.get(), arena, nontrivial), bound);
  const hostrt::Counters c = hostrt::counters() - before;
  EXPECT_EQ(from_device(arena.device.color, n), expected);
  EXPECT_EQ(c.allocations, 2u) << "the words and one batch's table";
  EXPECT_EQ(c.launches, 6u) << "two launches for each of three batches of at most 128 SCCs";
  EXPECT_EQ(c.copies_to_host, 3u);
}

TEST_F(Preprocess, OddReferenceParityExchangesThePlayers) {
  cudaGpuArena arena;
  TestGame g = cycle_game({7, 5, 4, 2});
  g.owner = {0, 1, 0, 1};
  load(arena, g);
  const Prepared p = prepare(arena, false);
  EXPECT_EQ(p.color_bound, 4);
  EXPECT_EQ(p.ref_parity, 0);
  EXPECT_TRUE(arena.players_swapped);
  EXPECT_TRUE(arena.min_parity);
  EXPECT_EQ(arena.min_color, 2);
  EXPECT_EQ(arena.max_color, 3);
  EXPECT_EQ(p.color, (std::vector<color_t>{2, 2, 3, 3}));
  EXPECT_EQ(p.owner, (std::vector<uint8_t>{1, 0, 1, 0}));
}

TEST_F(Preprocess, CompressionFromTheSmallestColourKeepsThreeAndFour) {
  cudaGpuArena arena;
  load(arena, cycle_game({3, 4}));
  ScopedDeviceArray<uint32_t> scc_id(2), scc_rank(2);
  preprocess::determine_sccs(scc_id.get(), scc_rank.get(), arena);
  arena.min_parity = true;
  arena.min_color = 2;
  arena.max_color = 4;
  EXPECT_EQ(preprocess::compress_scc_colors(scc_id.get(), arena, from_device(scc_id.get(), 1)[0]), 5);
  EXPECT_EQ(from_device(arena.device.color, 2), (std::vector<color_t>{3, 4}));
}

TEST_F(Preprocess, TrivialSccsKeepOnlyTheirParityRelativeToTheReference) {
  ScopedDeviceArray<uint32_t> word;
  ScopedDeviceArray<color_t> color;
  to_device(word, std::vector<uint32_t>{0x60000000u, 0x70000001u, 0x40000002u});
  for (color_t ref = 0; ref < 2; ++ref) {
    color.release();
    to_device(color, std::vector<color_t>{9, 8, 9});
    launch_kernel(kernel::preproc::transform_colors_of_trivial_sccs, 1, 256, 0, static_cast<const uint32_t*>(word.get()),
                  color.get(), ref, 3u);
    const std::vector<color_t> expected = ref == 1 ? std::vector<color_t>{2, 3, 9} : std::vector<color_t>{3, 2, 9};
    EXPECT_EQ(from_device(color.get(), 3), expected) << "ref " << ref;
  }
}

TEST_F(Preprocess, SelfLoopsAreWonByAFavouredOwnerOrDropped) {
  // ref 0: odd colours favour Odd, even ones Even.
  const std::vector<std::vector<uint32_t>> lists = {{1, 0}, {1}, {2, 0, 4}, {3}, {0}};
  std::vector<uint32_t> count, begin(1, 0), targets;
  for (const auto& l : lists) {
    count.push_back(static_cast<uint32_t>(l.size()));
    begin.push_back(begin.back() + static_cast<uint32_t>(l.size()));
    targets.insert(targets.end(), l.begin(), l.end());
  }
  ScopedDeviceArray<color_t> color;
  ScopedDeviceArray<uint8_t> owner;
  ScopedDeviceArray<uint32_t> n_succ, succ_begin, succ_array;
  to_device(color, std::vector<color_t>{3, 3, 3, 2, 3});
  to_device(owner, std::vector<uint8_t>{1, 0, 0, 0, 0});
  to_device(n_succ, count);
  to_device(succ_begin, begin);
  to_device(succ_array, targets);
  launch_kernel(kernel::preproc::remove_loops, 1, 256, 0, color.get(), static_cast<const uint8_t*>(owner.get()),
                n_succ.get(), static_cast<const uint32_t*>(succ_begin.get()), succ_array.get(), 5u, color_t(0));
  EXPECT_EQ(from_device(color.get(), 5), (std::vector<color_t>{1, 1, 3, 0, 3}));
  EXPECT_EQ(from_device(n_succ.get(), 5), (std::vector<uint32_t>{1, 0, 2, 1, 1}));
  const auto t = from_device(succ_array.get(), targets.size());
  EXPECT_EQ(t[begin[0]], 0u) << "Odd stays on its loop";
  EXPECT_EQ(std::multiset<uint32_t>(t.begin() + begin[2], t.begin() + begin[2] + 2),
            (std::multiset<uint32_t>{0, 4}))
      << "Even's node only loses the loop";
  EXPECT_EQ(t[begin[3]], 3u);
}

TEST_F(Preprocess, GameWithoutNonTrivialSccsHasColourBoundTwo) {
  cudaGpuArena arena;
  TestGame g;
  g.add_node(5, 0, {1});
  g.add_node(4, 1, {2});
  g.add_node(3, 0, {2});
  load(arena, g);
  const Prepared p = prepare(arena);
  EXPECT_EQ(p.color_bound, 2);
  EXPECT_EQ(arena.min_color, 2);
  EXPECT_EQ(arena.max_color, 1);
  EXPECT_FALSE(arena.players_swapped);
}

TEST_F(Preprocess, SingleColourInTheNonTrivialSccsIsNormalisedNotRefused) {
  cudaGpuArena arena;
  TestGame g = cycle_game({5, 5, 5});
  g.add_node(4, 0, {0});
  load(arena, g);
  Prepared p;
  ASSERT_NO_THROW(p = prepare(arena));
  EXPECT_EQ(p.color_bound, 3);
  EXPECT_TRUE(arena.players_swapped) << "colour 5 is odd";
  EXPECT_EQ(std::count(p.color.begin(), p.color.end(), 2), 3);
}

TEST_F(Preprocess, ZeroNodeArenaIsNormalisedToNothing) {
  cudaGpuArena arena;
  arena.load("/nonexistent/game.pg");
  arena.upload(false);
  Prepared p;
  ASSERT_NO_THROW(p = prepare(arena));
  EXPECT_EQ(p.color_bound, 2);
  std::vector<uint32_t> scc_begin{7};
  preprocess::compute_scc_begin(scc_begin, nullptr, arena);
  EXPECT_TRUE(scc_begin.empty());
}

TEST_F(Preprocess, GamesBeyondTheSccWordsAreRefusedBeforeAnyWork) {
  cudaGpuArena arena;
  arena.n_nodes = (1u << 28) + 1;
  color_t bound = 0, ref = 0;
  ScopedDeviceArray<uint32_t> scc_id, scc_rank;
  const std::size_t before = hostrt::allocation_count();
  EXPECT_THROW(preprocess::prepare_game(arena, bound, ref, scc_id, scc_rank, true, true), std::string);
  EXPECT_EQ(hostrt::allocation_count(), before);
  arena.n_nodes = 0;
}

// Checks the normalised game against the original; returns "" when sound.
std::string check_normalised(const TestGame& g, const Prepared& p, bool players_swapped, bool exact_compression) {
  const uint32_t n = g.size();
  const HostSccs h = host_sccs(g.succ);
  std::vector<uint32_t> position(n);
  for (uint32_t k = 0; k < n; ++k) position[p.node_id[k]] = k;
  const color_t max_nontrivial = [&] {
    color_t m = 0;
    for (uint32_t v = 0; v < n; ++v)
      if (h.size[h.component[v]] > 1) m = std::max<color_t>(m, static_cast<color_t>(g.color[v]));
    return m;
  }();
  const uint32_t ref = players_swapped ? 1u : 0u;
  if ((max_nontrivial & 1u) != ref) return "players exchanged for the wrong reference parity";

  std::map<uint32_t, uint32_t> block_start, block_end;
  for (uint32_t k = 0; k < n; ++k) {
    const std::string at = "position " + std::to_string(k) + ": ";
    if (k > 0 && p.rank[k] < p.rank[k - 1]) return at + "ranks descend";
    if (k > 0 && p.rank[k] == p.rank[k - 1] && (p.word[k - 1] & 0x60000000u) == 0x60000000u &&
        (p.word[k] & 0x60000000u) != 0x60000000u)
      return at + "a trivial SCC precedes a non-trivial one of the same rank";
    if (!block_start.count(p.word[k])) block_start[p.word[k]] = k;
    if (block_end.count(p.word[k]) && block_end[p.word[k]] != k) return at + "SCC not contiguous";
    block_end[p.word[k]] = k + 1;
    const uint32_t v = p.node_id[k];
    if ((p.owner[k] ^ ref) != g.owner[v]) return at + "owner";
    // Same SCC (by Tarjan) exactly when the same word.
    const uint32_t rep = p.word[k] & 0x0FFFFFFFu;
    if (rep >= n || h.component[p.node_id[rep]] != h.component[v]) return at + "representative outside the SCC";
    for (uint32_t t : p.succ[k]) {
      if (t == k && p.color[k] >= 2) return at + "undecided node keeps its self-loop";
      if (p.word[t] != p.word[k] && t >= block_start[p.word[k]]) return at + "edge to a later SCC";
      if (std::find(g.succ[v].begin(), g.succ[v].end(), p.node_id[t]) == g.succ[v].end()) return at + "new edge";
    }
    if (p.color[k] < 2) {
      // Decided by its self-loop: the owner when its colour favours it.
      const bool loop = std::find(g.succ[v].begin(), g.succ[v].end(), v) != g.succ[v].end();
      if (!loop) return at + "decided without a self-loop";
      continue;
    }
    if (p.succ[k].empty()) return at + "undecided node without moves";
    if ((p.color[k] & 1u) != ((g.color[v] & 1u) ^ ref)) return at + "parity";
    if (h.size[h.component[v]] == 1 && p.color[k] > 3) return at + "trivial SCC above colour 3";
  }
  // Inside an SCC: the more significant (larger) original colour gets the
  // smaller number, and with exact_compression numbers grow by one exactly at
  // each change of parity.
  std::map<uint32_t, std::map<uint32_t, color_t, std::greater<uint32_t>>> by_scc;
  for (uint32_t k = 0; k < n; ++k) {
    const uint32_t v = p.node_id[k];
    if (p.color[k] < 2 || h.size[h.component[v]] == 1) continue;
    auto& m = by_scc[p.word[k]];
    if (m.count(g.color[v]) && m[g.color[v]] != p.color[k]) return "one colour renamed two ways";
    m[g.color[v]] = p.color[k];
  }
  for (const auto& scc : by_scc) {
    bool first = true;
    uint32_t prev_old = 0;
    color_t prev_new = 0;
    for (const auto& entry : scc.second) {
      if (!first) {
        const bool parity_change = ((entry.first ^ prev_old) & 1u) != 0;
        if (entry.second < prev_new) return "order of significance lost";
        if (exact_compression && entry.second != prev_new + (parity_change ? 1 : 0)) return "not consecutive";
      } else if (exact_compression && entry.second > 3) {
        return "does not start at 2 or 3";
      }
      first = false;
      prev_old = entry.first;
      prev_new = entry.second;
    }
  }
  return "";
}

TEST_F(Preprocess, NormalisedRandomGamesKeepTheirStructure) {
  for (uint64_t seed = 1; seed <= 60; ++seed) {
    RandomGameParams params;
    params.seed = seed;
    params.n_nodes = 2 + static_cast<uint32_t>(seed * 11 % 250);
    params.max_color = 1 + static_cast<uint32_t>(seed % 12);
    params.max_out = 1 + static_cast<uint32_t>(seed % 4);
    params.self_loop_probability = seed % 3 == 0 ? 0.0 : 0.25;
    params.ids = seed % 2 ? IdMode::shuffled : IdMode::dense;
    TestGame g = random_game(params);
    // The checks compare by node index: identifiers are made the index.
    for (uint32_t v = 0; v < g.size(); ++v) g.id[v] = v;
    cudaGpuArena arena;
    load(arena, g);
    const Prepared p = prepare(arena);
    EXPECT_EQ(check_normalised(g, p, arena.players_swapped, params.self_loop_probability == 0.0), "")
        << describe(params);
    EXPECT_EQ(arena.max_color, p.color_bound - 1);
  }
}

TEST_F(Preprocess, SccStartsAreWhereTheWordChanges) {
  RandomGameParams params;
  params.seed = 5;
  params.n_nodes = 300;
  cudaGpuArena arena;
  load(arena, random_game(params));
  color_t bound = 0, ref = 0;
  ScopedDeviceArray<uint32_t> scc_id;
  std::vector<uint32_t> scc_begin;
  Korrel::preprocess(scc_begin, scc_id, bound, ref, arena);
  const auto word = from_device(scc_id.get(), 300);
  std::vector<uint32_t> expected;
  for (uint32_t k = 0; k < 300; ++k)
    if (k == 0 || word[k] != word[k - 1]) expected.push_back(k);
  EXPECT_EQ(scc_begin, expected);
}

TEST(Ranges, SecondRangeStartsAtTheFirstSccStartFrom65536) {
  std::vector<uint32_t> scc_begin;
  for (uint32_t s = 0; s < 140000; s += 10) scc_begin.push_back(s);
  const auto ranges = Korrel::cut_ranges(scc_begin);
  ASSERT_EQ(ranges.size(), 3u);
  EXPECT_EQ(ranges[0].first, 0u);
  EXPECT_EQ(scc_begin[ranges[1].first], 65540u);
  EXPECT_EQ(scc_begin[ranges[2].first], 131080u);
  EXPECT_EQ(ranges[0].second, ranges[1].first);
  EXPECT_EQ(ranges[2].second, scc_begin.size());
}

TEST(Ranges, AnSccLargerThan65536NodesFormsItsOwnRange) {
  const std::vector<uint32_t> scc_begin = {0, 100000, 100005, 100010};
  const auto ranges = Korrel::cut_ranges(scc_begin);
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[0], (std::pair<std::size_t, std::size_t>(0, 1)));
  EXPECT_EQ(ranges[1], (std::pair<std::size_t, std::size_t>(1, 4)));
  EXPECT_TRUE(Korrel::cut_ranges({}).empty());
  EXPECT_EQ(Korrel::cut_ranges({0, 65535, 65536}).size(), 2u);
}

TEST(Ranges, MeasureComponentsAreTheOddColoursAboveTwoAndAtLeastOne) {
  EXPECT_EQ(Korrel::measure_components(2), 1);
  EXPECT_EQ(Korrel::measure_components(3), 1);
  EXPECT_EQ(Korrel::measure_components(4), 1);
  EXPECT_EQ(Korrel::measure_components(5), 1);
  EXPECT_EQ(Korrel::measure_components(6), 2);
  EXPECT_EQ(Korrel::measure_components(84), 41);
}

}  // namespace
