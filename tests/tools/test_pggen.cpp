// The game generators: every family loads as a valid game of the documented
// size, a seed fixes the game, and the winners are the known ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "generators.h"
#include "host/parity_game.h"
#include "program_runner.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

TestGame to_test_game(const pggen::Game& g) {
  TestGame t;
  for (uint32_t v = 0; v < g.size(); ++v)
    t.add_node(g.color[v], g.owner[v],
               std::vector<uint32_t>(g.succ.begin() + g.succ_begin[v], g.succ.begin() + g.succ_begin[v + 1]));
  return t;
}

// Loads the game's text through the project's reader and CSR conversion.
void expect_loads(const pggen::Game& g) {
  ASSERT_EQ(g.succ_begin.size(), g.size() + 1u);
  ASSERT_EQ(g.succ_begin.back(), g.edges());
  ParityGame game;
  testing::internal::CaptureStderr();
  try {
    game.load(write_temp_file(pggen::to_pgsolver(g), "pggen"));
  } catch (const std::string& message) {
    FAIL() << "load threw: " << message;
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_EQ(game.n_nodes, g.size());
  ASSERT_EQ(game.n_edges, g.edges());
  for (uint32_t v = 0; v < g.size(); ++v) {
    EXPECT_EQ(game.node_id[v], v);
    EXPECT_EQ(game.color[v], g.color[v]);
    EXPECT_EQ(game.owner[v], g.owner[v]);
    EXPECT_GE(game.n_succ[v], 1u) << "dead end at " << v;
    for (uint32_t k = 0; k < game.n_succ[v]; ++k)
      EXPECT_EQ(game.succ_array[game.succ_begin[v] + k], g.succ[g.succ_begin[v] + k]);
  }
}

std::vector<uint8_t> owners_of(const pggen::Game& g) { return g.owner; }

TEST(Pggen, RandomGameSizesDegreesAndDistinctSuccessors) {
  const pggen::Game g = pggen::random_game(500, 7, 2, 5, 3);
  expect_loads(g);
  EXPECT_EQ(g.size(), 500u);
  std::vector<bool> colour_seen(7, false);
  for (uint32_t v = 0; v < g.size(); ++v) {
    const uint32_t degree = g.succ_begin[v + 1] - g.succ_begin[v];
    EXPECT_GE(degree, 2u);
    EXPECT_LE(degree, 5u);
    std::vector<uint32_t> s(g.succ.begin() + g.succ_begin[v], g.succ.begin() + g.succ_begin[v + 1]);
    std::sort(s.begin(), s.end());
    EXPECT_EQ(std::adjacent_find(s.begin(), s.end()), s.end()) << "repeated successor at " << v;
    ASSERT_LT(g.color[v], 7u);
    colour_seen[g.color[v]] = true;
  }
  EXPECT_EQ(std::count(colour_seen.begin(), colour_seen.end(), true), 7);
}

TEST(Pggen, RandomGameDegreeIsCappedByTheNodeCount) {
  const pggen::Game g = pggen::random_game(3, 2, 5, 9, 1);
  expect_loads(g);
  EXPECT_EQ(g.edges(), 9u);  // every node lists all three
}

TEST(Pggen, SteadyGameSpreadsColoursEvenlyAndIsOneComponent) {
  const uint32_t n = 1003, p = 10;
  const pggen::Game g = pggen::steady_game(n, p, 1, 4, 5);
  expect_loads(g);
  std::vector<uint32_t> per_colour(p, 0), in_degree(n, 0);
  for (uint32_t v = 0; v < n; ++v) {
    ++per_colour[g.color[v]];
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) {
      EXPECT_NE(g.succ[k], v) << "self-loop at " << v;
      ++in_degree[g.succ[k]];
    }
  }
  for (uint32_t c = 0; c < p; ++c) EXPECT_EQ(per_colour[c], c < n % p ? n / p + 1 : n / p) << c;
  for (uint32_t v = 0; v < n; ++v) EXPECT_GE(in_degree[v], 1u) << v;
  // The first successors form one cycle through all nodes.
  std::vector<bool> seen(n, false);
  uint32_t v = 0, steps = 0;
  while (!seen[v]) {
    seen[v] = true;
    v = g.succ[g.succ_begin[v]];
    ++steps;
  }
  EXPECT_EQ(v, 0u);
  EXPECT_EQ(steps, n);
}

TEST(Pggen, RandomFamiliesAreFixedByTheSeed) {
  using Make = std::function<pggen::Game(uint64_t)>;
  const std::vector<Make> makers = {
      [](uint64_t s) { return pggen::random_game(300, 20, 1, 4, s); },
      [](uint64_t s) { return pggen::steady_game(300, 20, 1, 4, s); },
      [](uint64_t s) { return pggen::scc_game(300, 30, 20, s); },
  };
  for (const Make& make : makers) {
    const std::string a = pggen::to_pgsolver(make(7));
    EXPECT_EQ(a, pggen::to_pgsolver(make(7)));
    EXPECT_NE(a, pggen::to_pgsolver(make(8)));
  }
}

TEST(Pggen, TextHasTheHeaderAndOneLinePerNode) {
  const std::string text = pggen::to_pgsolver(pggen::ladder_game(2));
  EXPECT_EQ(text, "parity 3;\n0 2 0 1,2;\n1 1 1 2,3;\n2 2 0 3,0;\n3 1 1 0,1;\n");
}

TEST(Pggen, LadderGameIsWonByTheOwners) {
  for (uint32_t n : {1u, 2u, 5u, 40u}) {
    const pggen::Game g = pggen::ladder_game(n);
    expect_loads(g);
    EXPECT_EQ(g.size(), 2 * n);
    EXPECT_EQ(g.edges(), 4u * n);
    EXPECT_EQ(reference_solve(to_test_game(g)), owners_of(g)) << n;
  }
}

TEST(Pggen, CliqueGameIsWonByTheOwners) {
  for (uint32_t n : {4u, 5u, 12u, 31u}) {
    const pggen::Game g = pggen::clique_game(n);
    expect_loads(g);
    EXPECT_EQ(g.edges(), uint64_t(n) * (n - 1));
    EXPECT_EQ(reference_solve(to_test_game(g)), owners_of(g)) << n;
  }
}

TEST(Pggen, RecursiveLadderIsWonByEven) {
  for (uint32_t k : {1u, 2u, 3u, 6u, 9u}) {
    const pggen::Game g = pggen::recursive_ladder_game(k);
    expect_loads(g);
    EXPECT_EQ(g.size(), 3 * k);
    EXPECT_EQ(reference_solve(to_test_game(g)), std::vector<uint8_t>(3 * k, 0)) << k;
  }
}

TEST(Pggen, JurdzinskiGameIsWonByEven) {
  for (auto lb : std::vector<std::pair<uint32_t, uint32_t>>{{1, 1}, {2, 3}, {4, 2}, {3, 5}}) {
    const pggen::Game g = pggen::jurdzinski_game(lb.first, lb.second);
    expect_loads(g);
    EXPECT_EQ(g.size(), 2 * lb.first * lb.second + 2);
    const std::vector<uint8_t> winner = reference_solve(to_test_game(g));
    EXPECT_EQ(winner, std::vector<uint8_t>(g.size(), 0)) << lb.first << "x" << lb.second;
    // The colours of the levels: odd 1 .. 2L-1 and even 0 .. 2L.
    EXPECT_EQ(*std::max_element(g.color.begin(), g.color.end()), 2 * lb.first);
  }
}

// The Zielonka-hard families: sizes and winners as their constructions fix
// them (solitaire: Even wins all and only Even chooses; oddladder: Odd wins all).
TEST(Pggen, ZielonkaHardFamiliesHaveTheirSizesAndWinners) {
  struct Case {
    const char* family;
    uint32_t k;
    uint64_t edges;
    uint8_t winner;
  };
  const std::vector<Case> cases = {
      {"solitaire", 1, 4, 0},  {"solitaire", 2, 8, 0},  {"solitaire", 5, 23, 0},  {"solitaire", 9, 43, 0},
      {"oddladder", 2, 8, 1},  {"oddladder", 3, 13, 1}, {"oddladder", 6, 28, 1},  {"oddladder", 10, 48, 1},
  };
  for (const Case& c : cases) {
    const bool solitaire = std::string(c.family) == "solitaire";
    const pggen::Game g = solitaire ? pggen::solitaire_game(c.k) : pggen::odd_ladder_game(c.k);
    expect_loads(g);
    EXPECT_EQ(g.size(), 3 * c.k) << c.family << " " << c.k;
    EXPECT_EQ(g.edges(), c.edges) << c.family << " " << c.k;
    EXPECT_EQ(*std::max_element(g.color.begin(), g.color.end()), solitaire ? 2 * c.k + 2 : 2 * c.k + 1);
    for (uint32_t v = 0; solitaire && v < g.size(); ++v) {
      if (g.owner[v] == 1) {
        EXPECT_EQ(g.succ_begin[v + 1] - g.succ_begin[v], 1u) << "Odd chooses at " << v;
      }
    }
    EXPECT_EQ(reference_solve(to_test_game(g)), std::vector<uint8_t>(g.size(), c.winner)) << c.family << " " << c.k;
  }
  EXPECT_THROW(pggen::solitaire_game(0), std::invalid_argument);
  EXPECT_THROW(pggen::odd_ladder_game(1), std::invalid_argument);
}

// Tarjan's algorithm, iteratively: the component number of every node, with
// components numbered in the order they are completed (sinks first).
std::vector<uint32_t> components(const pggen::Game& g) {
  const uint32_t n = g.size(), none = ~0u;
  std::vector<uint32_t> index(n, none), low(n, 0), comp(n, none), stack;
  std::vector<bool> on_stack(n, false);
  std::vector<std::pair<uint32_t, uint32_t>> call;  // node, next edge
  uint32_t counter = 0, comps = 0;
  for (uint32_t root = 0; root < n; ++root) {
    if (index[root] != none) continue;
    call.push_back({root, g.succ_begin[root]});
    index[root] = low[root] = counter++;
    stack.push_back(root);
    on_stack[root] = true;
    while (!call.empty()) {
      auto& [v, k] = call.back();
      if (k < g.succ_begin[v + 1]) {
        const uint32_t w = g.succ[k++];
        if (index[w] == none) {
          index[w] = low[w] = counter++;
          stack.push_back(w);
          on_stack[w] = true;
          call.push_back({w, g.succ_begin[w]});
        } else if (on_stack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      const uint32_t done = v;
      call.pop_back();
      if (!call.empty()) low[call.back().first] = std::min(low[call.back().first], low[done]);
      if (low[done] == index[done]) {
        uint32_t w;
        do {
          w = stack.back();
          stack.pop_back();
          on_stack[w] = false;
          comp[w] = comps;
        } while (w != done);
        ++comps;
      }
    }
  }
  return comp;
}

TEST(Pggen, SccGameIsMadeOfConsecutiveComponentsOfVariedSize) {
  const uint32_t n = 5000, max_size = 200;
  const pggen::Game g = pggen::scc_game(n, max_size, 50, 4);
  expect_loads(g);
  const std::vector<uint32_t> comp = components(g);
  std::map<uint32_t, std::pair<uint32_t, uint32_t>> range;  // component -> first, last node
  for (uint32_t v = 0; v < n; ++v) {
    auto it = range.find(comp[v]);
    if (it == range.end()) range[comp[v]] = {v, v};
    else it->second.second = v;
  }
  uint32_t covered = 0, largest = 0, singles = 0;
  for (const auto& r : range) {
    const uint32_t size = r.second.second - r.second.first + 1;
    covered += size;
    largest = std::max(largest, size);
    singles += size == 1;
  }
  EXPECT_EQ(covered, n) << "a component is not a consecutive run of nodes";
  EXPECT_LE(largest, max_size);
  EXPECT_GE(largest, max_size / 4);
  EXPECT_GT(singles, 0u);
  EXPECT_GT(range.size(), 20u);
  // Edges between components only lead back to earlier nodes.
  for (uint32_t v = 0; v < n; ++v)
    for (uint32_t k = g.succ_begin[v]; k < g.succ_begin[v + 1]; ++k) {
      if (comp[g.succ[k]] != comp[v]) {
        EXPECT_LT(g.succ[k], range[comp[v]].first);
      }
    }
}

TEST(Pggen, RandomFamiliesHaveClosedReferenceRegions) {
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    for (const pggen::Game& g : {pggen::random_game(200, 30, 1, 4, seed), pggen::steady_game(200, 30, 1, 4, seed),
                                 pggen::scc_game(200, 25, 30, seed)}) {
      expect_loads(g);
      const TestGame t = to_test_game(g);
      EXPECT_TRUE(regions_are_closed(t, reference_solve(t))) << seed;
    }
  }
}

TEST(Pggen, BadParametersAreRefused) {
  EXPECT_THROW(pggen::random_game(0, 1, 1, 1, 1), std::invalid_argument);
  EXPECT_THROW(pggen::random_game(5, 1, 3, 2, 1), std::invalid_argument);
  EXPECT_THROW(pggen::steady_game(1, 1, 1, 1, 1), std::invalid_argument);
  EXPECT_THROW(pggen::clique_game(1), std::invalid_argument);
  EXPECT_THROW(pggen::jurdzinski_game(0, 2), std::invalid_argument);
  EXPECT_THROW(pggen::scc_game(10, 0, 2, 1), std::invalid_argument);
}

// ------------------------------------------------------------- the tool itself

TEST(PggenTool, WritesWhatTheLibraryGenerates) {
  const ProgramResult r = run_program(PG_PGGEN_PATH, {"--seed", "9", "random", "50", "8", "1", "3"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, pggen::to_pgsolver(pggen::random_game(50, 8, 1, 3, 9)));
}

TEST(PggenTool, WritesToAFile) {
  const std::string path = write_temp_file("", "pggen_out");
  const ProgramResult r = run_program(PG_PGGEN_PATH, {"-o", path, "jurdzinski", "2", "3"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "");
  ParityGame game;
  game.load(path);
  EXPECT_EQ(game.n_nodes, 14u);
}

TEST(PggenTool, HelpNamesEveryFamily) {
  const ProgramResult r = run_program(PG_PGGEN_PATH, {"--help"});
  EXPECT_EQ(r.exit_status, 0);
  for (const char* family :
       {"random", "steady", "ladder", "recursiveladder", "solitaire", "oddladder", "jurdzinski", "clique", "sccs"})
    EXPECT_NE(r.out.find(std::string("  ") + family + " "), std::string::npos) << family;
}

TEST(PggenTool, BadCommandLinesFailWithTheUsage) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"nosuchfamily"}, {"ladder"}, {"ladder", "x"}, {"clique", "1"}, {"oddladder", "1"}, {"--seed"}, {"ladder", "-3"}}) {
    const ProgramResult r = run_program(PG_PGGEN_PATH, args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Usage: pggen"), std::string::npos);
  }
}

}  // namespace
