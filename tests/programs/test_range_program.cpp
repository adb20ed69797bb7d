// The range solver as a program: exact output of pgsolver_range_spm, the
// empty game, and every device allocation failure of a run reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/platform.h"
#include "main/entry.h"
#include "program_runner.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

const char* const report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "preprocessing took: <t>\n"
    "solving took: <t>\n"
    "Total time: <t>\n";

std::string binary() { return std::string(PG_BIN_DIR) + "/pgsolver_range_spm"; }

// Regions as the arena prints them: identifiers ascending, each followed by
// ", ".
std::string regions(const TestGame& g, const std::vector<uint8_t>& winner) {
  std::string text;
  const char* headings[] = {"Nodes won by Even: \n\n", "Nodes won by Odd: \n\n"};
  for (uint8_t player = 0; player < 2; ++player) {
    text += headings[player];
    for (uint32_t id = 0; id < g.size(); ++id)
      for (uint32_t v = 0; v < g.size(); ++v)
        if (g.id[v] == id && winner[v] == player) text += std::to_string(id) + ", ";
    text += "\n\n";
  }
  return text + "This should be empty: \n\n\n\n";
}

// Eight nodes with shuffled identifiers: a cycle won by Even through colour
// 6, a self-loop won by Odd, a trivial node above both, and an Odd node that
// can only reach Odd's region.
TestGame small_game() {
  TestGame g;
  g.add_node(6, 0, {1});
  g.add_node(3, 1, {2, 0});
  g.add_node(4, 0, {0, 3});
  g.add_node(5, 1, {3, 4});
  g.add_node(2, 0, {3});
  g.add_node(1, 0, {2, 5});
  g.add_node(8, 1, {4, 3});
  g.add_node(7, 1, {6});
  g.id = {4, 7, 0, 2, 6, 1, 5, 3};
  return g;
}

TEST(RangeProgram, PrintsTheReportAndTheRegionsByIdentifier) {
  const TestGame g = small_game();
  const std::vector<uint8_t> winner = reference_solve(g);
  // The game is meant to have both regions non-empty.
  ASSERT_NE(std::count(winner.begin(), winner.end(), 0), 0);
  ASSERT_NE(std::count(winner.begin(), winner.end(), 1), 0);
  const ProgramResult r = run_program(binary(), {write_temp_file(to_pgsolver(g))});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(mask_times(r.out), std::string(report) + regions(g, winner));
  EXPECT_EQ(mask_times(r.err), std::string("Nodes: 8\n") + report);
}

TEST(RangeProgram, MissingFilePrintsEmptyRegions) {
  const ProgramResult r = run_program(binary(), {"/nonexistent/game.pg"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(mask_times(r.out), std::string(report) + regions(TestGame(), {}));
  EXPECT_EQ(mask_times(r.err), std::string("Couldn't open file /nonexistent/game.pg\nNodes: 0\n") + report);
}

struct Captured {
  int status;
  std::string out;
  std::string err;
};

Captured run_entry(const std::string& file) {
  std::string name = "pgsolver_range_spm", path = file;
  char* argv[] = {&name[0], &path[0]};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = program_main(2, argv, "pgsolver_range_spm", 20);
  Captured c{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return c;
}

// Fails the k-th device allocation of a run, for every k until the run
// gets through: each failure is reported, nothing leaks, and standard output
// holds either the complete result or nothing.
TEST(RangeProgram, EveryAllocationFailureIsReported) {
  const TestGame g = small_game();
  const std::string file = write_temp_file(to_pgsolver(g));
  const std::string complete = std::string(report) + regions(g, reference_solve(g));
  bool rank_count_seen = false;
  std::size_t failures = 0;
  for (std::size_t k = 1;; ++k) {
    hostrt::reset();
    hostrt::fail_allocation(k);
    const Captured c = run_entry(file);
    const std::size_t calls = hostrt::allocation_count();
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "allocation " << k;
    hostrt::reset();
    if (calls < k) {  // the run made fewer allocations: it went through
      EXPECT_EQ(c.status, 0);
      EXPECT_EQ(mask_times(c.out), complete);
      break;
    }
    ++failures;
    EXPECT_EQ(c.out, "") << "allocation " << k;
    const std::string count_ranks_failure =
        "Nodes: 8\n"
        "Korrel::count_ranks: alloc_array<>: Error allocating memory on the device.\nout of memory\n"
        "(In case of to little memory, try to compile Korrel with #define PARALLEL_COUNT 0.)\n";
    if (c.status == -1) {
      rank_count_seen = true;
      EXPECT_EQ(mask_times(c.err),
                count_ranks_failure + "time 1 : \n<t>\nsetting up gpu_arena took: <t>\npreprocessing took: <t>\n"
                                      "Total time: <t>\n");
    } else {
      EXPECT_EQ(c.status, 1);
      EXPECT_NE(c.err.find("Caught exception: "), std::string::npos) << "allocation " << k << ":\n" << c.err;
    }
    ASSERT_LT(k, 200u) << "the run does not end";
  }
  EXPECT_TRUE(rank_count_seen) << "no failure inside the rank count";
  // Loading, preprocessing and the range solve each allocate several arrays.
  EXPECT_GT(failures, 20u);
}

}  // namespace
