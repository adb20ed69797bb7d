#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "brute_force_solver.h"
#include "program_runner.h"
#include "random_game.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

std::string winners_text(const std::vector<uint8_t>& w) {
  std::string s;
  for (uint8_t x : w) s += static_cast<char>('0' + x);
  return s;
}

// The game with the roles of the players exchanged: owners swapped and every
// colour raised by one, so each node's winner must swap as well.
TestGame dual(const TestGame& g) {
  TestGame d = g;
  for (uint32_t v = 0; v < g.size(); ++v) {
    d.owner[v] = 1 - g.owner[v];
    d.color[v] = g.color[v] + 1;
  }
  return d;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---------------------------------------------------------------------------
// Brute-force checker and reference solver

TEST(BruteForce, BothPlayersSplitTheNodesOnSmallGames) {
  // Enumerating either player's strategies must give complementary regions;
  // this guards the checker itself before it judges the reference solver.
  for (uint64_t seed = 1; seed <= 200; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + seed % 6;
    p.max_color = seed % 5;
    p.max_out = 1 + seed % 3;
    p.self_loop_probability = (seed % 2) ? 0.3 : 0.0;
    const TestGame g = random_game(p);
    const auto even = brute_force_wins(g, 0);
    const auto odd = brute_force_wins(g, 1);
    for (uint32_t v = 0; v < g.size(); ++v)
      ASSERT_NE(even[v], odd[v]) << describe(p) << " node " << v;
  }
}

TEST(ReferenceSolver, MatchesBruteForceOnSmallRandomGames) {
  const uint32_t color_ranges[][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 5}, {0, 8}, {32760, 32767}};
  int mixed = 0;
  int games = 0;
  for (uint64_t seed = 1; seed <= 700; ++seed) {
    RandomGameParams p;
    p.seed = seed * 7919;
    p.n_nodes = 1 + seed % 6;
    const auto& range = color_ranges[(seed / 6) % 7];
    p.min_color = range[0];
    p.max_color = range[1];
    p.min_out = 1;
    p.max_out = 1 + (seed / 3) % 3;
    p.self_loop_probability = (seed % 4 == 0) ? 0.5 : 0.0;
    p.owners = (seed % 11 == 0) ? OwnerMode::all_even : (seed % 13 == 0) ? OwnerMode::all_odd : OwnerMode::random;
    const TestGame g = random_game(p);
    const auto expected = brute_force_solve(g);
    const auto got = reference_solve(g);
    ASSERT_EQ(winners_text(got), winners_text(expected)) << describe(p);
    ASSERT_TRUE(regions_are_closed(g, got)) << describe(p);
    ++games;
    if (std::count(got.begin(), got.end(), 0) > 0 && std::count(got.begin(), got.end(), 1) > 0) ++mixed;
  }
  // Games won entirely by one player would make the comparison weak.
  EXPECT_GE(mixed, 100) << "of " << games;
}

TEST(ReferenceSolver, MatchesBruteForceOnLargerSparseGames) {
  for (uint64_t seed = 1; seed <= 120; ++seed) {
    RandomGameParams p;
    p.seed = 1000 + seed;
    p.n_nodes = 7 + seed % 4;  // 7..10 nodes, at most 2^10 strategies
    p.max_color = 2 + seed % 6;
    p.max_out = 2;
    p.self_loop_probability = (seed % 3 == 0) ? 0.25 : 0.0;
    const TestGame g = random_game(p);
    ASSERT_EQ(winners_text(reference_solve(g)), winners_text(brute_force_solve(g))) << describe(p);
  }
}

TEST(ReferenceSolver, SingleOddSelfLoopIsWonByOdd) {
  for (uint8_t owner = 0; owner < 2; ++owner) {
    TestGame g;
    g.add_node(1, owner, {0});
    EXPECT_EQ(reference_solve(g), std::vector<uint8_t>({1})) << "owner " << int(owner);
  }
}

TEST(ReferenceSolver, TwoNodeCycleWithEvenMaximumIsWonByEven) {
  TestGame g;
  g.add_node(2, 0, {1});
  g.add_node(1, 1, {0});
  EXPECT_EQ(reference_solve(g), std::vector<uint8_t>({0, 0}));
}

TEST(ReferenceSolver, OneColourGameIsWonByThatColoursParity) {
  for (uint32_t c : {0u, 3u, 4u, 32767u}) {
    RandomGameParams p;
    p.seed = 42 + c;
    p.n_nodes = 60;
    p.min_color = c;
    p.max_color = c;
    p.max_out = 4;
    const auto w = reference_solve(random_game(p));
    ASSERT_EQ(w.size(), 60u);
    for (uint8_t x : w) EXPECT_EQ(x, c % 2) << describe(p);
  }
}

// Even's top colour sits at node 0, Odd has a dominion at node 1. Inside the
// game without node 0, Even wins node 3, but in the whole game Odd escapes
// from node 3 to node 0 and on into its dominion. Getting node 3 right needs
// the second recursive step, which then still leaves Even nodes 2 and 4.
TestGame second_step_game() {
  TestGame g;
  g.add_node(4, 0, {1});
  g.add_node(1, 1, {1});
  g.add_node(2, 0, {3, 4});
  g.add_node(0, 1, {2, 0});
  g.add_node(2, 0, {4});
  return g;
}

TEST(ReferenceSolver, ClassicExampleNeedsSecondRecursiveStep) {
  const TestGame g = second_step_game();
  EXPECT_EQ(reference_solve(g), std::vector<uint8_t>({1, 1, 0, 1, 0}));
  EXPECT_EQ(brute_force_solve(g), std::vector<uint8_t>({1, 1, 0, 1, 0}));
}

TEST(ReferenceSolver, HandlesLargestColours) {
  TestGame g;
  g.add_node(32767, 0, {1});
  g.add_node(32766, 1, {0, 2});
  g.add_node(0, 1, {2});
  EXPECT_EQ(reference_solve(g), std::vector<uint8_t>({1, 1, 0}));
}

TEST(ReferenceSolver, ChainIsWonByTheParityOfItsLastNode) {
  // Every play ends in the last node's self-loop, so its colour decides all;
  // with hundreds of distinct colours this also exercises deep recursion.
  for (uint64_t seed = 1; seed <= 10; ++seed) {
    const TestGame g = chain_game(400, 32767, seed);
    const auto w = reference_solve(g);
    const uint8_t expected = g.color.back() % 2;
    for (uint32_t v = 0; v < g.size(); ++v) ASSERT_EQ(w[v], expected) << "seed " << seed << " node " << v;
  }
}

TEST(ReferenceSolver, DualGameSwapsWinnersOnLargerGames) {
  for (uint64_t seed = 1; seed <= 40; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 50 + 7 * seed;
    p.max_color = (seed % 2) ? 10 : 300;
    p.max_out = 1 + seed % 4;
    p.self_loop_probability = 0.1;
    const TestGame g = random_game(p);
    const auto w = reference_solve(g);
    const auto wd = reference_solve(dual(g));
    ASSERT_TRUE(regions_are_closed(g, w)) << describe(p);
    for (uint32_t v = 0; v < g.size(); ++v) ASSERT_EQ(wd[v], 1 - w[v]) << describe(p) << " node " << v;
  }
}

TEST(ReferenceSolver, ParityPreservingRecolouringKeepsWinners) {
  // c -> 2c + (c mod 2) keeps every parity and every order between colours.
  for (uint64_t seed = 1; seed <= 30; ++seed) {
    RandomGameParams p;
    p.seed = 500 + seed;
    p.n_nodes = 120;
    p.max_color = 40;
    p.max_out = 3;
    const TestGame g = random_game(p);
    TestGame h = g;
    for (auto& c : h.color) c = 2 * c + (c % 2);
    ASSERT_EQ(winners_text(reference_solve(h)), winners_text(reference_solve(g))) << describe(p);
  }
}

TEST(ReferenceSolver, RejectsDeadEnds) {
  TestGame g;
  g.add_node(0, 0, {1});
  g.add_node(1, 1, {});
  EXPECT_THROW(reference_solve(g), std::invalid_argument);
}

TEST(RegionsAreClosed, DetectsAFlippedNode) {
  const TestGame g = second_step_game();
  std::vector<uint8_t> w = reference_solve(g);
  EXPECT_TRUE(regions_are_closed(g, w));
  // Node 3 is what a solver that skips the second step gets wrong: Odd
  // could leave the claimed Even region there.
  w[3] = 0;
  EXPECT_FALSE(regions_are_closed(g, w));

  TestGame cycle;
  cycle.add_node(2, 0, {1});
  cycle.add_node(1, 1, {0});
  EXPECT_TRUE(regions_are_closed(cycle, {0, 0}));
  EXPECT_FALSE(regions_are_closed(cycle, {1, 0}));  // Even's only move leaves its region
  EXPECT_FALSE(regions_are_closed(cycle, {0, 1}));  // Odd's only move leaves its region
}

TEST(RegionsAreClosed, RejectsMalformedRegions) {
  TestGame g;
  g.add_node(0, 0, {0});
  EXPECT_FALSE(regions_are_closed(g, {}));
  EXPECT_FALSE(regions_are_closed(g, {2}));
  EXPECT_TRUE(regions_are_closed(g, {0}));
}

// ---------------------------------------------------------------------------
// Game generators

RandomGameParams sample_params(uint64_t seed) {
  RandomGameParams p;
  p.seed = seed;
  p.n_nodes = 200;
  p.min_color = 3;
  p.max_color = 17;
  p.min_out = 2;
  p.max_out = 5;
  p.self_loop_probability = 0.2;
  return p;
}

bool same_game(const TestGame& a, const TestGame& b) {
  return a.id == b.id && a.color == b.color && a.owner == b.owner && a.succ == b.succ;
}

TEST(RandomGame, SameSeedSameGame) {
  for (IdMode ids : {IdMode::dense, IdMode::shuffled, IdMode::sparse}) {
    RandomGameParams p = sample_params(77);
    p.ids = ids;
    EXPECT_TRUE(same_game(random_game(p), random_game(p))) << describe(p);
  }
  EXPECT_TRUE(same_game(chain_game(50, 9, 3), chain_game(50, 9, 3)));
}

TEST(RandomGame, DifferentSeedsDiffer) {
  const TestGame a = random_game(sample_params(1));
  const TestGame b = random_game(sample_params(2));
  EXPECT_NE(a.color, b.color);
  EXPECT_NE(a.succ, b.succ);
  EXPECT_NE(a.owner, b.owner);
  EXPECT_NE(chain_game(50, 9, 3).color, chain_game(50, 9, 4).color);
}

TEST(RandomGame, RespectsBounds) {
  const RandomGameParams p = sample_params(9);
  const TestGame g = random_game(p);
  ASSERT_EQ(g.size(), p.n_nodes);
  std::set<uint32_t> colours, degrees;
  std::set<uint8_t> owners;
  int with_extra_loop = 0;
  for (uint32_t v = 0; v < g.size(); ++v) {
    EXPECT_GE(g.color[v], p.min_color);
    EXPECT_LE(g.color[v], p.max_color);
    EXPECT_LE(g.owner[v], 1);
    const auto& s = g.succ[v];
    // Only an appended self-loop may go beyond max_out.
    EXPECT_GE(s.size(), p.min_out) << "node " << v;
    EXPECT_LE(s.size(), p.max_out + 1) << "node " << v;
    if (s.size() == p.max_out + 1) {
      EXPECT_EQ(s.back(), v) << "node " << v;
      ++with_extra_loop;
    }
    for (uint32_t t : s) EXPECT_LT(t, g.size());
    colours.insert(g.color[v]);
    degrees.insert(static_cast<uint32_t>(s.size()));
    owners.insert(g.owner[v]);
  }
  // 200 draws cover every value of such small ranges.
  EXPECT_EQ(colours.size(), p.max_color - p.min_color + 1);
  EXPECT_EQ(degrees.size(), p.max_out - p.min_out + 2);
  EXPECT_EQ(owners.size(), 2u);
  EXPECT_GT(with_extra_loop, 0);
}

TEST(RandomGame, DegreeWithoutSelfLoopsStaysInBounds) {
  RandomGameParams p = sample_params(10);
  p.self_loop_probability = 0;
  p.min_out = 0;  // still at least one successor
  p.max_out = 2;
  const TestGame g = random_game(p);
  for (const auto& s : g.succ) {
    EXPECT_GE(s.size(), 1u);
    EXPECT_LE(s.size(), 2u);
  }
}

TEST(RandomGame, SelfLoopProbabilityOneGivesEveryNodeALoop) {
  RandomGameParams p = sample_params(11);
  p.self_loop_probability = 1.0;
  const TestGame g = random_game(p);
  for (uint32_t v = 0; v < g.size(); ++v)
    EXPECT_NE(std::find(g.succ[v].begin(), g.succ[v].end(), v), g.succ[v].end()) << v;
}

TEST(RandomGame, OwnerModes) {
  RandomGameParams p = sample_params(12);
  p.owners = OwnerMode::all_even;
  for (uint8_t o : random_game(p).owner) EXPECT_EQ(o, 0);
  p.owners = OwnerMode::all_odd;
  for (uint8_t o : random_game(p).owner) EXPECT_EQ(o, 1);
}

TEST(RandomGame, IdModes) {
  RandomGameParams p = sample_params(13);
  p.ids = IdMode::dense;
  const TestGame dense = random_game(p);
  for (uint32_t v = 0; v < dense.size(); ++v) EXPECT_EQ(dense.id[v], v);

  p.ids = IdMode::shuffled;
  const TestGame shuffled = random_game(p);
  std::vector<uint32_t> sorted = shuffled.id;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, dense.id);  // a permutation of 0..n-1
  EXPECT_NE(shuffled.id, dense.id);

  p.ids = IdMode::sparse;
  const TestGame sparse = random_game(p);
  const std::set<uint32_t> distinct(sparse.id.begin(), sparse.id.end());
  EXPECT_EQ(distinct.size(), sparse.size());
  EXPECT_GT(*distinct.rbegin(), 1000000u);  // spread over the 32-bit range

  // Identifiers are drawn after the structure, so the game is the same.
  EXPECT_EQ(shuffled.succ, dense.succ);
  EXPECT_EQ(sparse.color, dense.color);
}

TEST(RandomGame, ChainShape) {
  const TestGame g = chain_game(30, 5, 8);
  ASSERT_EQ(g.size(), 30u);
  for (uint32_t v = 0; v < 30; ++v) {
    EXPECT_EQ(g.succ[v], std::vector<uint32_t>({v + 1 < 30 ? v + 1 : v}));
    EXPECT_LE(g.color[v], 5u);
    EXPECT_EQ(g.id[v], v);
  }
}

TEST(RandomGame, DescribeNamesTheSeedAndSize) {
  RandomGameParams p = sample_params(987654321);
  p.ids = IdMode::sparse;
  const std::string d = describe(p);
  EXPECT_NE(d.find("987654321"), std::string::npos) << d;
  EXPECT_NE(d.find("200"), std::string::npos) << d;
  EXPECT_NE(d.find("sparse"), std::string::npos) << d;
}

TEST(RandomGame, RejectsEmptyColourRange) {
  RandomGameParams p;
  p.min_color = 5;
  p.max_color = 4;
  EXPECT_THROW(random_game(p), std::invalid_argument);
}

// ---------------------------------------------------------------------------
// Game text and temp files

TEST(TestGame, AddNodeNumbersNodes) {
  TestGame g;
  EXPECT_EQ(g.add_node(5, 1, {1}), 0u);
  EXPECT_EQ(g.add_node(2, 0), 1u);
  EXPECT_EQ(g.size(), 2u);
  EXPECT_EQ(g.id, std::vector<uint32_t>({0, 1}));
  EXPECT_EQ(g.color, std::vector<uint32_t>({5, 2}));
  EXPECT_EQ(g.owner, std::vector<uint8_t>({1, 0}));
  EXPECT_TRUE(g.succ[1].empty());
}

TEST(TestGame, PgSolverText) {
  TestGame g;
  g.add_node(3, 0, {1});
  g.add_node(0, 1, {0, 1, 2});
  g.add_node(12, 1, {2});
  g.id = {10, 7, 4294967295u};
  EXPECT_EQ(to_pgsolver(g),
            "parity 2;\n"
            "10 3 0 7;\n"
            "7 0 1 10,7,4294967295;\n"
            "4294967295 12 1 4294967295;\n");
  EXPECT_EQ(to_pgsolver(g, false),
            "10 3 0 7;\n"
            "7 0 1 10,7,4294967295;\n"
            "4294967295 12 1 4294967295;\n");
}

TEST(TestGame, TempFilesAreFreshAndHoldTheText) {
  const std::string a = write_temp_file("parity 0;\n0 1 0 0;\n");
  const std::string b = write_temp_file("second", "other.gm");
  EXPECT_NE(a, b);
  EXPECT_EQ(read_file(a), "parity 0;\n0 1 0 0;\n");
  EXPECT_EQ(read_file(b), "second");
  EXPECT_EQ(a.substr(0, a.rfind('/')), b.substr(0, b.rfind('/')));
  EXPECT_EQ(b.substr(b.size() - 3), ".gm");
  EXPECT_EQ(read_file(write_temp_file("")), "");
}

// ---------------------------------------------------------------------------
// Programs and time reports

TEST(MaskTimes, MasksAFullReport) {
  const std::string report =
      "time 1 : \n"
      "0.015\n"
      "setting up gpu_arena took: 0.002\n"
      "initializing device memory took: 0\n"
      "recursive iteration took : 0.52\n"
      "releasing device memory took: 1e-05\n"
      "Total time: 0.537\n";
  EXPECT_EQ(mask_times(report),
            "time 1 : \n"
            "<t>\n"
            "setting up gpu_arena took: <t>\n"
            "initializing device memory took: <t>\n"
            "recursive iteration took : <t>\n"
            "releasing device memory took: <t>\n"
            "Total time: <t>\n");
}

TEST(MaskTimes, MasksEveryNumberForm) {
  EXPECT_EQ(mask_times("Init phase took: 1.23457e+06\n"), "Init phase took: <t>\n");
  EXPECT_EQ(mask_times("a took: -0.5\nb took: 2\nc took: 3e+20"), "a took: <t>\nb took: <t>\nc took: <t>");
  EXPECT_EQ(mask_times("time 12 : \n-1e-07\n"), "time 12 : \n<t>\n");
  EXPECT_EQ(mask_times("Total time: 7\r\n"), "Total time: <t>\r\n");
}

TEST(MaskTimes, LeavesOtherNumbersAlone) {
  const std::string other =
      "Nodes: 5\n"
      "parity 4;\n"
      "0.015\n"            // not after a counter label
      "time 3 : \n"
      "Even wins 3\n"      // not a bare number
      "7\n"
      "solve took: fast\n"  // not a number
      "took: 1 2\n"
      "Total time: 1x\n"
      "Edges: 0.5\n";
  EXPECT_EQ(mask_times(other), other);
  EXPECT_EQ(mask_times(""), "");
}

TEST(ProgramRunner, CollectsBothStreamsAndStatus) {
  const ProgramResult r = run_program("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"});
  EXPECT_EQ(r.out, "out\n");
  EXPECT_EQ(r.err, "err\n");
  EXPECT_EQ(r.exit_status, 3);
}

TEST(ProgramRunner, PassesArgumentsWithoutAShell) {
  const ProgramResult r = run_program("/bin/sh", {"-c", "printf '[%s]' \"$@\"", "sh", "a b", "$HOME", "*"});
  EXPECT_EQ(r.out, "[a b][$HOME][*]");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_status, 0);
}

TEST(ProgramRunner, StdinIsEmpty) {
  const ProgramResult r = run_program("/bin/sh", {"-c", "cat; echo done"});
  EXPECT_EQ(r.out, "done\n");
  EXPECT_EQ(r.exit_status, 0);
}

TEST(ProgramRunner, LargeOutputOnBothStreams) {
  // More than a pipe buffer on each stream, stderr first.
  const ProgramResult r =
      run_program("/bin/sh", {"-c", "head -c 300000 /dev/zero >&2; head -c 200000 /dev/zero; exit 0"});
  EXPECT_EQ(r.err.size(), 300000u);
  EXPECT_EQ(r.out.size(), 200000u);
  EXPECT_EQ(r.exit_status, 0);
}

TEST(ProgramRunner, SignalGivesMinusOne) {
  const ProgramResult r = run_program("/bin/sh", {"-c", "echo before; kill -9 $$"});
  EXPECT_EQ(r.out, "before\n");
  EXPECT_EQ(r.exit_status, -1);
}

TEST(ProgramRunner, MissingProgramExits127) {
  const ProgramResult r = run_program("/nonexistent/program", {});
  EXPECT_EQ(r.exit_status, 127);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err, "");
}

}  // namespace
