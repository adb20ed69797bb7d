#pragma once
// The fixture of the device tests on small games: a fresh host device, one
// OpenMP thread (Thrust's parallel regions would cost far more than the work
// on a shared machine), and no device memory left behind.
#include <gtest/gtest.h>
#include <omp.h>

#include "common/platform.h"

class OneThreadDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hostrt::reset();
    threads_ = omp_get_max_threads();
    omp_set_num_threads(1);
  }
  void TearDown() override {
    omp_set_num_threads(threads_);
    EXPECT_EQ(hostrt::live_allocations(), 0u) << "device memory leaked";
    hostrt::reset();
  }

 private:
  int threads_ = 1;
};
