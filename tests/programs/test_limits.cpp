// Games beyond what the solvers' structures can index or hold are refused
// with a message before the work that would go wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/platform.h"
#include "cudaPGSolver/algorithms.h"
#include "cudaPGSolver/device_memory_ptr.h"
#include "cudaPGSolver/spm_common.h"
#include "host/parity_game.h"
#include "entry_runner.h"
#include "program_runner.h"
#include "test_game.h"

namespace {

cudaDeviceProp with_shared_memory(std::size_t bytes) {
  cudaDeviceProp p = hostrt::default_device_properties();
  p.sharedMemPerBlock = bytes;
  return p;
}

class Limits : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override { hostrt::reset(); }
};

const unsigned int spm_algorithms[] = {0, 1, 2, 3, 4, 5};

const char* banner(unsigned int alg_id) {
  switch (alg_id) {
    case 0: return "\n --> Using SPM with wl <-- \n\n";
    case 1: return "\n --> Using SPM without wl <-- \n\n";
    case 2: return "\n --> Using simple SPM with wl <-- \n\n";
    case 3: return "\n --> Using simple SPM without wl <-- \n\n";
    case 4: return "\n --> Using SPM with oan <-- \n\n";
    default: return "\n --> Using simple SPM with oan <-- \n\n";
  }
}

// Three colours of alternating parity: three ranks, measures of four ints.
const char* const three_ranks = "0 4 0 1;\n1 3 1 2;\n2 2 0 0;\n";

TEST_F(Limits, SpmRefusesMeasuresThatDoNotFitBeforeCountingRanksOrAllocatingThem) {
  const std::string file = write_temp_file(three_ranks);
  for (unsigned int alg : spm_algorithms) {
    SCOPED_TRACE("alg " + std::to_string(alg));
    hostrt::reset();
    hostrt::set_device_properties(with_shared_memory(15));
    const Captured c = run_entry(file, alg);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.out, std::string(banner(alg)) + "Color 4 becomes  2.\nColor 3 becomes  5.\nColor 2 becomes  6.\n");
    EXPECT_EQ(mask_times(c.err),
              "Nodes: 3\n"
              "Caught exception: Too many colour ranks: the measure of one thread (16 bytes) does not fit into the "
              "shared memory of a block (15 bytes)\n"
              "time 1 : \n<t>\nsetting up gpu_arena took: <t>\ninitializing device memory took: <t>\n"
              "Total time: <t>\n");
    // The game's twelve buffers and the colour table only: no rank counter,
    // no measures.
    EXPECT_EQ(hostrt::allocation_count(), 13u);
    EXPECT_EQ(hostrt::live_allocations(), 0u);

    // One measure fits: the game is solved, with one thread per block.
    hostrt::reset();
    hostrt::set_device_properties(with_shared_memory(16));
    const Captured fits = run_entry(file, alg);
    EXPECT_NE(fits.out.find("Won by Even:\n0, 1, 2, \n\nWon by Odd:\n\n\n"), std::string::npos) << fits.out;
    EXPECT_NE(fits.err.find("Going to use a block size of 1 for the spm kernel\n"), std::string::npos) << fits.err;
  }
}

TEST_F(Limits, SpmRefusesMoreNodesThanASignedComponentCounts) {
  EXPECT_NO_THROW(check_spm_node_count(2147483647u));
  try {
    check_spm_node_count(2147483648u);
    ADD_FAILURE() << "2^31 nodes accepted";
  } catch (const std::string& message) {
    EXPECT_EQ(message,
              "Too many nodes for the progress measures: 2147483648 nodes, but a measure component counts nodes in a "
              "signed 32-bit int (at most 2147483647 nodes)");
  }
  // Every solver checks first, before it touches the (here absent) arrays.
  for (unsigned int alg : spm_algorithms) {
    ParityGame game;
    game.n_nodes = 0x80000000u;
    DeviceMemoryPtr memory;
    std::string thrown;
    try {
      find_csr_algorithm(alg)->solve(memory, game, hostrt::default_device_properties(), nullptr);
    } catch (const std::string& message) {
      thrown = message;
    }
    EXPECT_EQ(thrown.rfind("Too many nodes for the progress measures: 2147483648 nodes", 0), 0u) << alg << thrown;
    EXPECT_EQ(hostrt::allocation_count(), 0u);
  }
}

// The range solver: colours 2 .. 9 on one cycle compress to four odd
// colours, four measure components of four bytes each; the top colour 9 is
// odd, so Odd wins the cycle.
TEST_F(Limits, RangeSolverRefusesMeasuresThatDoNotFitBeforeAnyRange) {
  TestGame g;
  for (uint32_t c = 0; c < 8; ++c) g.add_node(c + 2, c % 2, {(c + 1) % 8});
  const std::string file = write_temp_file(to_pgsolver(g));
  hostrt::set_device_properties(with_shared_memory(15));
  const Captured c = run_entry(file, 20);
  EXPECT_EQ(c.status, 1);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(mask_times(c.err),
            "Nodes: 8\n"
            "Caught exception: Korrel::solve: the game needs 4 measure components (16 bytes per thread), more than "
            "the 15 bytes of shared memory per block.\n\n"
            "time 1 : \n<t>\nsetting up gpu_arena took: <t>\npreprocessing took: <t>\nTotal time: <t>\n");
  EXPECT_EQ(hostrt::live_allocations(), 0u);

  hostrt::reset();
  hostrt::set_device_properties(with_shared_memory(16));
  const Captured fits = run_entry(file, 20);
  EXPECT_EQ(fits.status, 0);
  EXPECT_NE(fits.out.find("Nodes won by Odd: \n\n0, 1, 2, 3, 4, 5, 6, 7, \n\n"), std::string::npos) << fits.out;
  EXPECT_NE(fits.err.find("Warning: block_size is less than 64\n"), std::string::npos) << fits.err;
}

// 2^30 nodes with four ints each is 16 GiB: a size computed in 32 bits would
// wrap to nothing and be "allocated".
TEST_F(Limits, MeasureBufferSizesAreComputedIn64Bits) {
  DeviceMemoryPtr memory;
  memory.n_nodes = 1u << 30;
  hostrt::set_byte_budget(std::size_t(1) << 30);
  try {
    memory.allocate_valuation(4);
    ADD_FAILURE() << "16 GiB allocated under a 1 GiB budget";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "error allocating valuationout of memory");
  }
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

}  // namespace
