// The change flag of the device loops and the batches of passes between two
// reads of it: what the loop computes, how often it waits for the device, and
// that every failing call stops the loop with a message naming it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/device_flag.h"
#include "common/launch.h"
#include "common/runtime_counters.h"

namespace {

// One step of a monotone loop: every entry climbs by one towards its limit.
__global__ void climb(unsigned int* value, const unsigned int* limit, unsigned int n, bool* changed) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i >= n || value[i] >= limit[i]) return;
  ++value[i];
  *changed = true;
}

__global__ void put_off_work(bool* changed) { *changed = true; }

struct Climb {
  std::vector<unsigned int> value, limit;
  void pass(bool* changed) {
    launch_kernel(climb, 1, 64, 0, value.data(), limit.data(), static_cast<unsigned int>(value.size()), changed);
  }
};

class Flag : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override { hostrt::reset(); }
};

TEST_F(Flag, BatchesGrowToTheLargestAndTheLoopReachesItsFixpoint) {
  // The climb needs 100 changing passes; a batch of passes 1, 2, 4, ..., 32,
  // 32, ... ends in the one that runs passes 128 to 159, the first batch
  // without a change.
  Climb c{std::vector<unsigned int>(50, 0), std::vector<unsigned int>(50, 7)};
  c.limit[3] = 100;
  DeviceFlag flag("climb");
  const hostrt::Counters before = hostrt::counters();
  const std::size_t passes =
      run_until_unchanged(flag, nullptr, [&] { c.pass(flag.get()); }, PassBatch::default_largest);
  const hostrt::Counters counted = hostrt::counters() - before;
  EXPECT_EQ(c.value, c.limit);
  EXPECT_EQ(passes, 159u);
  EXPECT_EQ(counted.launches, 159u);
  EXPECT_EQ(counted.copies_to_host, 9u);
  EXPECT_EQ(counted.synchronisations, 9u);
  EXPECT_EQ(counted.memsets, 9u);
  EXPECT_EQ(counted.copies_to_device + counted.allocations + counted.pinned_allocations, 0u);

  // A loop with nothing to do costs one pass and one read; a largest batch
  // of 1, the host backend's own, reads after every pass.
  EXPECT_EQ(run_until_unchanged(flag, nullptr, [&] { c.pass(flag.get()); }), 1u);
  c.value.assign(50, 0);
  EXPECT_EQ(run_until_unchanged(flag, nullptr, [&] { c.pass(flag.get()); }), 101u);
  EXPECT_EQ(c.value, c.limit);
  flag.release();
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

TEST_F(Flag, WhenTheLastPassDecidesWorkPutOffEarlierInABatchDoesNotHoldTheLoop) {
  // Passes that set the flag now and then for work put off (here every
  // third pass, as threads that met at a row do) after the fixpoint: a whole
  // batch without a set flag never comes, one last pass without one does.
  Climb c{std::vector<unsigned int>(50, 0), std::vector<unsigned int>(50, 5)};
  DeviceFlag flag("climb");
  unsigned int pass = 0;
  const auto put_off = [&] {
    c.pass(flag.get());
    if (++pass % 3 == 1) launch_kernel(put_off_work, 1, 1, 0, flag.get());
  };
  // Batches of 1, 2, 4 and 8 passes: passes 1 to 5 climb, 7 puts off work,
  // and the last pass of the batch of passes 8 to 15 changes nothing.
  EXPECT_EQ(run_until_unchanged(flag, nullptr, put_off, PassBatch::default_largest, true), 15u);
  EXPECT_EQ(c.value, c.limit);
  flag.release();
}

TEST_F(Flag, EveryFailingCallStopsTheLoopNamingIt) {
  struct Case {
    const char* what;
    void (*inject)();
    const char* message;
  };
  const Case cases[] = {
      {"the third read", [] { hostrt::fail_copy(3); },
       "SCC loop: trimming: reading the change flag failed: unspecified launch failure"},
      {"the second clear", [] { hostrt::fail_memset(2); },
       "SCC loop: trimming: clearing the change flag failed: unspecified launch failure"},
      {"the fifth launch", [] { hostrt::fail_launch(5); },
       "SCC loop: trimming: a pass could not be launched: unspecified launch failure"},
  };
  for (const Case& k : cases) {
    hostrt::reset();
    Climb c{std::vector<unsigned int>(4, 0), std::vector<unsigned int>(4, 30)};
    DeviceFlag flag("SCC loop");
    k.inject();
    try {
      run_until_unchanged(flag, "SCC loop: trimming", [&] { c.pass(flag.get()); });
      ADD_FAILURE() << k.what << ": no failure";
    } catch (const std::string& message) {
      EXPECT_EQ(message, k.message) << k.what;
    }
    EXPECT_LT(c.value[0], 30u) << k.what << ": the loop went on";
  }
  // Without a name of its own the flag's name is used.
  hostrt::reset();
  DeviceFlag flag("SCC loop");
  hostrt::fail_copy(1);
  try {
    flag.read();
    ADD_FAILURE() << "no failure";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "SCC loop: reading the change flag failed: unspecified launch failure");
  }
}

}  // namespace
