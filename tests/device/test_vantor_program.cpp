// The programs of the recursive solvers, run as processes, and the arena road
// through the entry point.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/platform.h"
#include "main/entry.h"
#include "program_runner.h"
#include "random_game.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

const char* const arena_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "solving took : <t>\n"
    "releasing device memory took: <t>\n"
    "Total time: <t>\n";

const char* const csr_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "recursive iteration took : <t>\n"
    "releasing device memory took: <t>\n"
    "Total time: <t>\n";

// Nodes 0 and 2 cycle on even colours; node 1 loops on an odd one.
const char* const small_game = "parity 2;\n0 2 0 2;\n1 3 1 1;\n2 4 0 0;\n";
const char* const small_regions = "Won by Even:\n0, 2, \n\nWon by Odd:\n1, \n\n";

TEST(VantorProgram, SolvesASmallGame) {
  const ProgramResult r = run_program(PG_VANTOR_PATH, {write_temp_file(small_game)});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(mask_times(r.out),
            std::string("\n --> recursive with cudaGpuArena <-- \n\n") + arena_report + small_regions);
  EXPECT_EQ(mask_times(r.err), std::string("Nodes: 3\n") + arena_report);
}

TEST(VantorProgram, RecursiveProgramOfTheCsrRoad) {
  const ProgramResult r = run_program(PG_RECURSIVE_PATH, {write_temp_file(small_game)});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(mask_times(r.out), std::string("\n --> Using recursive <-- \n\n") + csr_report + small_regions);
  EXPECT_EQ(mask_times(r.err), std::string("Nodes: 3\n") + csr_report);
}

TEST(VantorProgram, MissingFileGivesEmptyRegions) {
  const ProgramResult r = run_program(PG_VANTOR_PATH, {"/nonexistent/game.pg"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_EQ(mask_times(r.out), std::string("\n --> recursive with cudaGpuArena <-- \n\n") + arena_report +
                                   "Won by Even:\n\n\nWon by Odd:\n\n\n");
  EXPECT_EQ(mask_times(r.err), std::string("Couldn't open file /nonexistent/game.pg\nNodes: 0\n") + arena_report);
}

// The regions are printed by position in the file, whatever the identifiers.
TEST(VantorProgram, RegionsAgreeWithTheReferenceOnARandomGame) {
  RandomGameParams p;
  p.n_nodes = 300;
  p.max_color = 20;
  p.ids = IdMode::sparse;
  p.seed = 11;
  const TestGame g = random_game(p);
  const std::vector<uint8_t> winner = reference_solve(g);
  std::string even = "Won by Even:\n", odd = "Won by Odd:\n";
  for (uint32_t v = 0; v < g.size(); ++v) (winner[v] == 0 ? even : odd) += std::to_string(v) + ", ";
  // One OpenMP thread in the child: on a busy machine the many small parallel
  // regions of a solve cost far more than they save.
  setenv("OMP_NUM_THREADS", "1", 1);
  const ProgramResult r = run_program(PG_VANTOR_PATH, {write_temp_file(to_pgsolver(g))});
  unsetenv("OMP_NUM_THREADS");
  const std::size_t regions = r.out.find("Won by Even:");
  ASSERT_NE(regions, std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.out.substr(regions), even + "\n\n" + odd + "\n\n");
}

struct Captured {
  int status;
  std::string out;
  std::string err;
};

Captured run_entry(const std::string& file, unsigned int alg_id) {
  std::string name = "Vantor", arg = file;
  char* argv[] = {&name[0], &arg[0]};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = program_main(2, argv, "Vantor", alg_id);
  Captured c{status, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
  return c;
}

const char* const failure_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "Total time: <t>\n";

TEST(VantorEntry, UnknownAlgorithmOnTheArenaRoad) {
  hostrt::reset();
  const Captured c = run_entry(write_temp_file(small_game), 99);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(mask_times(c.err), std::string("Nodes: 3\nCaught exception: Unkown alg_id\n") + failure_report);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

TEST(VantorEntry, SolverAllocationFailureIsCaughtAfterTheBanner) {
  hostrt::reset();
  hostrt::fail_allocation(10);  // after the arena's eight arrays and the changed byte
  const Captured c = run_entry(write_temp_file(small_game), 11);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "\n --> recursive with cudaGpuArena <-- \n\n");
  EXPECT_EQ(mask_times(c.err),
            std::string("Nodes: 3\nCaught exception: Error allocating active_nodesout of memory\n") + failure_report);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
  hostrt::reset();
}

}  // namespace
