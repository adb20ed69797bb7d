// The host frame of the progress-measure solvers: colour ranks, rank counts,
// block size, the messages of the dispatch, and the failures they must report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cudaPGSolver/solve.h"
#include "cudaPGSolver/spm_solvers.h"
#include "main/entry.h"
#include "program_runner.h"
#include "random_game.h"
#include "spm_test_support.h"

namespace {

class SpmFrame : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }
};

// Nodes of colours 4, 6, 3, 2, each looping to itself.
TestGame four_colour_game() {
  TestGame g;
  for (uint32_t c : {4u, 6u, 3u, 2u}) g.add_node(c, 0, {g.size()});
  return g;
}

cudaDeviceProp properties_with(std::size_t shared_bytes, int resident_threads) {
  cudaDeviceProp p = hostrt::default_device_properties();
  p.sharedMemPerBlock = shared_bytes;
  p.maxThreadsPerMultiProcessor = resident_threads;
  return p;
}

std::string thrown_by_solver(unsigned int alg_id, const TestGame& game, const cudaDeviceProp* properties) {
  try {
    run_spm(alg_id, game, properties);
  } catch (const std::string& message) {
    return message;
  }
  return "<nothing thrown>";
}

TEST_F(SpmFrame, ColourRanksAreNumberedFromTheLargestColourAndPrintedInOrder) {
  ParityGame game;
  fill_parity_game(four_colour_game(), game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  testing::internal::CaptureStdout();
  const ColorRanks ranks = prepare_color_ranks(memory, game);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Color 6 becomes  2.\nColor 4 becomes  2.\nColor 3 becomes  5.\nColor 2 becomes  6.\n");
  EXPECT_EQ(ranks.valuation_dim, 4u);
  EXPECT_EQ(ranks.top_parity, 0u);
  EXPECT_EQ(device_to_vector(memory.color, 4), (std::vector<color_t>{2, 2, 5, 6}));

  testing::internal::CaptureStderr();
  count_color_ranks(memory, game.n_nodes, ranks.valuation_dim);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "There are 2 nodes of color rank 1\nThere are 1 nodes of color rank 2\n"
            "There are 1 nodes of color rank 3\n");
  EXPECT_EQ(device_to_vector(memory.rank_counter + 1, 3), (std::vector<uint32_t>{2, 1, 1}));
}

TEST_F(SpmFrame, OddTopColourGivesTopParityOneAndUnusedColoursNoLine) {
  TestGame g;
  for (uint32_t c : {9u, 2u, 7u, 2u}) g.add_node(c, 1, {0});
  ParityGame game;
  fill_parity_game(g, game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  testing::internal::CaptureStdout();
  const ColorRanks ranks = prepare_color_ranks(memory, game);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Color 9 becomes  3.\nColor 7 becomes  3.\nColor 2 becomes  4.\n");
  EXPECT_EQ(ranks.top_parity, 1u);
  EXPECT_EQ(ranks.valuation_dim, 3u);
}

TEST_F(SpmFrame, BlockSizeFollowsTheRuleAtEachBoundary) {
  struct Case {
    std::size_t h;
    unsigned int block;
    const char* warnings;
  };
  const char* const few = "Warning: number of threads per block is less than 64\n";
  const char* const one = "Warning: average number of block per MP is less than 2\n";
  const Case cases[] = {
      {1024, 256, ""}, {512, 256, ""}, {511, 128, ""}, {256, 128, ""}, {255, 64, ""}, {128, 64, ""},
      {127, 64, one},  {64, 64, one},  {63, 32, nullptr}, {33, 32, nullptr}, {1, 1, nullptr},
  };
  const uint32_t dim = 5;  // 20 bytes a thread
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    const unsigned int block = choose_spm_block_size(properties_with(c.h * dim * 4 + 3, 2048), dim);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(block, c.block) << "h = " << c.h;
    const std::string warnings = c.warnings ? c.warnings : std::string(few) + one;
    EXPECT_EQ(err, warnings + "Going to use a block size of " + std::to_string(c.block) + " for the spm kernel\n\n")
        << "h = " << c.h;
  }
  // The resident threads of a multiprocessor bound h as well.
  testing::internal::CaptureStderr();
  EXPECT_EQ(choose_spm_block_size(properties_with(1 << 20, 300), dim), 128u);
  testing::internal::GetCapturedStderr();
}

TEST_F(SpmFrame, NoRoomForOneMeasureIsRefusedWithTheSizes) {
  testing::internal::CaptureStderr();
  try {
    choose_spm_block_size(properties_with(19, 2048), 5);
    ADD_FAILURE() << "a block size of 0 was accepted";
  } catch (const std::string& message) {
    EXPECT_EQ(message,
              "Too many colour ranks: the measure of one thread (20 bytes) does not fit into the shared memory of a "
              "block (19 bytes)");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// The whole program: the message instead of regions, and no lifting at all.
TEST_F(SpmFrame, ProgramReportsTooManyRanksInsteadOfPrintingRegions) {
  hostrt::set_device_properties(properties_with(15, 2048));  // four ranks need 16 bytes a thread
  const std::string file = write_temp_file(to_pgsolver(four_colour_game()));
  std::vector<std::string> args{"Korrel", file};
  std::vector<char*> argv{&args[0][0], &args[1][0]};
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status = program_main(2, argv.data(), "Korrel", 3);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.find("Won by"), std::string::npos) << out;
  EXPECT_NE(err.find("Caught exception: Too many colour ranks: the measure of one thread (16 bytes) does not fit "
                     "into the shared memory of a block (15 bytes)\n"),
            std::string::npos)
      << err;
}

// Properties that promise more shared memory than the device has: the launch
// is refused, and that must not read as convergence.
TEST_F(SpmFrame, RefusedLiftingLaunchIsAnErrorForEverySolver) {
  const cudaDeviceProp claimed = hostrt::default_device_properties();
  hostrt::set_device_properties(properties_with(1024, 2048));
  const char* const kernels[] = {"kernel::spm_iteration_wl",        "kernel::spm_iteration",
                                 "kernel::simple_spm_iteration_wl", "kernel::simple_spm_iteration",
                                 "kernel::spm_iteration_oan",       "kernel::simple_spm_iteration_oan"};
  for (const SpmSolverInfo& solver : spm_solvers()) {
    const std::string message = thrown_by_solver(solver.alg_id, four_colour_game(), &claimed);
    const std::string expected = std::string(kernels[solver.alg_id]) + " could not be launched: ";
    EXPECT_EQ(message.substr(0, expected.size()), expected) << solver.name;
    EXPECT_GT(message.size(), expected.size()) << "the runtime's reason is missing";
  }
}

// A failure reported earlier by its own status stays the runtime's last error;
// the launch checks must not take it for a refused lifting launch.
TEST_F(SpmFrame, EarlierReportedFailureIsNotTakenForARefusedLaunch) {
  hostrt::fail_allocation(1);
  void* p = nullptr;
  ASSERT_EQ(cudaMalloc(&p, 16), cudaErrorMemoryAllocation);
  hostrt::fail_allocation(0);
  for (const SpmSolverInfo& solver : spm_solvers())
    EXPECT_EQ(run_spm(solver.alg_id, four_colour_game()).color, (std::vector<color_t>{0, 0, 1, 0})) << solver.name;
}

TEST_F(SpmFrame, SolveGameRunsTheWholeFrameWithItsMessagesInOrder) {
  ParityGame game;
  fill_parity_game(four_colour_game(), game);
  TimeList list;
  list.restart();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  solve_game(game, 1, &list);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n --> Using SPM without wl <-- \n\n"
            "Color 6 becomes  2.\nColor 4 becomes  2.\nColor 3 becomes  5.\nColor 2 becomes  6.\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Nodes: 4\nThere are 2 nodes of color rank 1\nThere are 1 nodes of color rank 2\n"
            "There are 1 nodes of color rank 3\nGoing to use a block size of 256 for the spm kernel\n\n");
  EXPECT_EQ(std::vector<color_t>(game.color, game.color + 4), (std::vector<color_t>{0, 0, 1, 0}));
  std::ostringstream report;
  list.print(report);
  EXPECT_EQ(mask_times(report.str()),
            "initializing device memory took: <t>\nInit phase took: <t>\nrecursive iteration took : <t>\n"
            "releasing device memory took: <t>\nTotal time: <t>\n");
}

TEST_F(SpmFrame, EveryBannerIsTheAlgorithmsOwn) {
  const char* const banners[] = {
      "\n --> Using SPM with wl <-- \n",        "\n --> Using SPM without wl <-- \n",
      "\n --> Using simple SPM with wl <-- \n", "\n --> Using simple SPM without wl <-- \n",
      "\n --> Using SPM with oan <-- \n",       "\n --> Using simple SPM with oan <-- \n",
  };
  for (unsigned int alg_id = 0; alg_id < 6; ++alg_id) {
    ParityGame game;
    fill_parity_game(four_colour_game(), game);
    std::string out;
    {
      StreamCapture capture;
      solve_game(game, alg_id, nullptr);
      out = capture.out();
    }
    EXPECT_EQ(out.rfind(std::string(banners[alg_id]) + "\nColor 6 becomes  2.\n", 0), 0u) << alg_id << ": " << out;
  }
}

TEST_F(SpmFrame, ZeroNodeGameRunsEverySolverToTheEnd) {
  for (unsigned int alg_id = 0; alg_id < 6; ++alg_id) {
    ParityGame game;
    game.allocate(0, 0);
    game.succ_begin[0] = game.pred_begin[0] = 0;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    solve_game(game, alg_id, nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Color"), std::string::npos) << out;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Nodes: 0\nThere are 0 nodes of color rank 1\nGoing to use a block size of 256 for the spm kernel\n\n");
  }
}

TEST_F(SpmFrame, SingleRankGameEndsAtOnceAndIsWonByThatParity) {
  for (uint32_t parity = 0; parity < 2; ++parity) {
    RandomGameParams p;
    p.seed = 41 + parity;
    p.n_nodes = 30;
    p.max_color = 4;
    TestGame game = random_game(p);
    for (uint32_t& c : game.color) c = 2 * c + parity;
    for (const SpmSolverInfo& solver : spm_solvers()) {
      const SpmRun run = run_spm(solver.alg_id, game);
      EXPECT_EQ(run.stats.valuation_dim, 2u);
      EXPECT_EQ(run.color, std::vector<color_t>(30, static_cast<color_t>(parity))) << solver.name;
      // The one-sided lift settles every node in its first pass.
      if (solver.alg_id == 2 || solver.alg_id == 3 || solver.alg_id == 5) {
        EXPECT_LE(run.stats.iterations, 2u) << solver.name;
      }
    }
  }
}

TEST_F(SpmFrame, ASecondSolveOnTheSameBuffersIsRefused) {
  ParityGame game;
  fill_parity_game(four_colour_game(), game);
  DeviceMemoryPtr memory;
  memory.allocate_and_initilaize(game, true);
  StreamCapture quiet;
  spm_solve(memory, game, hostrt::default_device_properties(), nullptr);
  try {
    spm_solve(memory, game, hostrt::default_device_properties(), nullptr);
    ADD_FAILURE() << "second solve accepted";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "Error in \"DeviceMemoryPtr::allocate_rank_counter\": buffer has already been allocated\"");
  }
}

}  // namespace
