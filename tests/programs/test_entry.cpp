// The entry point in process: command line, caught failures and time reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/platform.h"
#include "entry_runner.h"
#include "program_runner.h"
#include "test_game.h"

namespace {

const char* const error_report =
    "time 1 : \n<t>\n"
    "setting up gpu_arena took: <t>\n"
    "initializing device memory took: <t>\n"
    "Total time: <t>\n";

class Entry : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override {
    EXPECT_EQ(hostrt::live_allocations(), 0u);
    hostrt::reset();
  }
};

TEST_F(Entry, WrongArgumentCountPrintsOnlyTheUsageLine) {
  Captured none = run_entry({"Korrel"}, 3, "Korrel");
  EXPECT_EQ(none.status, -1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "Usage: Korrel [PGSolverFile]\n");
  Captured two = run_entry({"Vantor", "a.pg", "b.pg"}, 11, "Vantor");
  EXPECT_EQ(two.status, -1);
  EXPECT_EQ(two.out, "");
  EXPECT_EQ(two.err, "Usage: Vantor [PGSolverFile]\n");
}

TEST_F(Entry, UnknownAlgorithmIsCaughtAndTheErrorReportStillPrinted) {
  const std::string file = write_temp_file("0 2 0 1;\n1 3 1 0;\n");
  Captured c = run_entry({"Vantor", file}, 7);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(mask_times(c.err), std::string("Nodes: 2\nCaught exception: Unkown alg_id\n") + error_report);
}

TEST_F(Entry, MissingFileRunsOnWithAnEmptyGame) {
  Captured c = run_entry(std::string("/nonexistent/game.pg"), 7);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(mask_times(c.err), std::string("Couldn't open file /nonexistent/game.pg\nNodes: 0\n"
                                           "Caught exception: Unkown alg_id\n") +
                                   error_report);
}

TEST_F(Entry, FailuresBeforeTheSolverAreReportedWithTheRuntimeText) {
  const std::string file = write_temp_file("0 2 0 0;\n");
  hostrt::set_device_count(0);
  Captured c = run_entry({"Korrel", file}, 3, "Korrel");
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(mask_times(c.err),
            "Caught exception: no cuda device foundno CUDA-capable device is detected\n"
            "time 1 : \n<t>\nsetting up gpu_arena took: <t>\nTotal time: <t>\n");

  hostrt::reset();
  hostrt::fail_allocation(7);  // the seventh buffer of the game is its colour array
  c = run_entry({"Korrel", file}, 3, "Korrel");
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(mask_times(c.err),
            "Caught exception: error allocating colorout of memory\n"
            "time 1 : \n<t>\nsetting up gpu_arena took: <t>\nTotal time: <t>\n");
}

// Without a device every solver selects device 0 first and says so, before
// it uploads anything (the runtime then fails every allocation too). The
// range solver's first lap ends with its upload, so its report has none.
TEST_F(Entry, EverySolverWithoutADeviceSaysSoBeforeUploading) {
  const std::string file = write_temp_file("0 2 0 1;\n1 3 1 0;\n");
  const std::string no_device = "Caught exception: no cuda device foundno CUDA-capable device is detected\n";
  const std::string loaded = "time 1 : \n<t>\nsetting up gpu_arena took: <t>\nTotal time: <t>\n";
  const std::string range_report = "time 1 : \n<t>\nTotal time: <t>\n";
  for (const unsigned int alg : {0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 12u, 13u, 20u}) {
    hostrt::reset();
    hostrt::set_device_count(0);
    const Captured c = run_entry(file, alg);
    EXPECT_EQ(c.status, 1) << alg;
    EXPECT_EQ(c.out, "") << alg;
    EXPECT_EQ(mask_times(c.err), no_device + (alg == 20 ? range_report : loaded)) << alg;
    EXPECT_EQ(hostrt::allocation_count(), 0u) << alg << ": nothing is allocated";
  }
}

TEST_F(Entry, ConversionFailuresAreCaught) {
  const std::string file = write_temp_file("0 32768 0 0;\n");
  Captured c = run_entry({"Korrel", file}, 3, "Korrel");
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(mask_times(c.err),
            "Caught exception: color exceeds size of unsigned short\ntime 1 : \n<t>\nTotal time: <t>\n");
}

}  // namespace
