// The host backend's runtime layer: launches, shared memory, memory and errors
// behave as the system expects of the CUDA runtime.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

#include "common/check_cuda.h"
#include "common/lanes.h"
#include "common/launch.h"
#include "common/platform.h"

namespace {

__global__ void record_indices(unsigned int* out, unsigned int n) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) out[i] = blockIdx.x * 100000u + threadIdx.x * 10u + (gridDim.x == 3 ? 1u : 0u);
}

// Each thread writes its own slice of the block's shared memory and reads it
// back after every other thread of the block wrote its slice, so slices that
// overlapped would show.
__global__ void shared_slices(unsigned int* out, unsigned int n, unsigned int slice) {
  PG_DYNAMIC_SHARED(unsigned int, buffer);
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  for (unsigned int k = 0; k < slice; ++k) buffer[threadIdx.x * slice + k] = i * slice + k;
  unsigned int sum = 0;
  for (unsigned int k = 0; k < slice; ++k) sum += buffer[threadIdx.x * slice + k];
  if (i < n) out[i] = sum;
}

__global__ void count_runs(unsigned int* runs, unsigned int n) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) runs[i] += 1;
}

// On the host backend kernels are plain functions: a block can note the host
// thread that runs it. Each thread also works a little, so that the pool's
// helpers wake up before the launching thread has taken every block.
__global__ void record_runner(std::thread::id* ran_by, unsigned int n) {
  volatile unsigned int sum = 0;
  for (unsigned int k = 0; k < 256; ++k) sum = sum + k * threadIdx.x;
  if (threadIdx.x == 0 && blockIdx.x < n) ran_by[blockIdx.x] = std::this_thread::get_id();
}

class Platform : public ::testing::Test {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override { hostrt::reset(); }
};

TEST_F(Platform, LaunchRunsEveryBlockAndThreadWithItsIndices) {
  const unsigned int n = 3 * 64 - 5;
  std::vector<unsigned int> out(n, 7);
  launch_kernel(record_indices, 3, 64, 0, out.data(), n);
  ASSERT_EQ(cudaGetLastError(), cudaSuccess);
  for (unsigned int i = 0; i < n; ++i) EXPECT_EQ(out[i], (i / 64) * 100000u + (i % 64) * 10u + 1u) << i;
}

TEST_F(Platform, BlocksRunInParallelAndSequentiallyAlike) {
  const unsigned int n = 1 << 15;
  std::vector<unsigned int> parallel(n), sequential(n);
  launch_kernel(shared_slices, blocks_for(n, 256), 256, 256 * 4 * 4, parallel.data(), n, 4u);
  hostrt::set_worker_threads(1);
  launch_kernel(shared_slices, blocks_for(n, 256), 256, 256 * 4 * 4, sequential.data(), n, 4u);
  EXPECT_EQ(parallel, sequential);
  for (unsigned int i = 0; i < n; ++i) ASSERT_EQ(sequential[i], 16u * i + 6u);
}

// Back-to-back launches of changing sizes, with the worker count changed in
// between (more workers than cores too): every thread of every launch runs
// exactly once, and each launch is over when launch_kernel returns.
TEST_F(Platform, EveryThreadRunsOncePerLaunchWhateverTheWorkers) {
  const unsigned int n = 300000;
  std::vector<unsigned int> runs(n, 0);
  const int workers[] = {2, 4, 3, 1, 2, 8};
  for (unsigned int round = 0; round < 60; ++round) {
    hostrt::set_worker_threads(workers[round % 6]);
    // Grids from 8192 threads up, some not a multiple of the block size.
    const unsigned int count = 8192 + round * 4999 % (n - 8192);
    // Every other round through the launch of a kernel named at compile time.
    if (round % 2 == 0) {
      launch_kernel(count_runs, blocks_for(count, 128), 128, 0, runs.data(), count);
    } else {
      launch_fixed_kernel<count_runs>(blocks_for(count, 128), 128, 0, runs.data(), count);
    }
    ASSERT_EQ(cudaGetLastError(), cudaSuccess);
    for (unsigned int i = 0; i < n; ++i) {
      ASSERT_EQ(runs[i], round + (i < count ? 1u : 0u)) << "round " << round << " thread " << i;
      runs[i] = round + 1;
    }
  }
}

// A race's background lane leaves the block pool to the foreground lane, even
// with a worker count set for the whole process.
TEST_F(Platform, ABackgroundLaneRunsItsBlocksOnItsOwnThread) {
  hostrt::set_worker_threads(2);
  const unsigned int blocks = 2048;
  std::vector<std::thread::id> ran_by(blocks);
  std::thread::id lane_id;
  std::thread lane([&] {
    enter_background_lane(blocks * 256);
    lane_id = std::this_thread::get_id();
    launch_kernel(record_runner, blocks, 256, 0, ran_by.data(), blocks);
  });
  lane.join();
  EXPECT_EQ(std::count(ran_by.begin(), ran_by.end(), lane_id), static_cast<long>(blocks));
}

// A lane's thread starts off the caller's core but is not kept there: it
// runs its body once, may then use every core the process may, and is joined.
TEST_F(Platform, ALaneThreadRunsItsBodyOnceFreeToMove) {
  cpu_set_t process_cores;
  ASSERT_EQ(sched_getaffinity(0, sizeof process_cores, &process_cores), 0);
  int runs = 0;
  cpu_set_t lane_cores;
  CPU_ZERO(&lane_cores);
  {
    LaneThread lane([&] {
      ++runs;
      (void)pthread_getaffinity_np(pthread_self(), sizeof lane_cores, &lane_cores);
    });
    lane.join();
    EXPECT_EQ(runs, 1);
  }
  EXPECT_EQ(runs, 1) << "a second join does nothing";
  EXPECT_TRUE(CPU_EQUAL(&lane_cores, &process_cores));
}

TEST_F(Platform, EmptyGridRunsNothingAndIsNoError) {
  std::vector<unsigned int> out(4, 9);
  launch_kernel(record_indices, 0, 256, 0, out.data(), 4u);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  EXPECT_EQ(out, std::vector<unsigned int>(4, 9));
}

TEST_F(Platform, RefusedLaunchesSetTheLastErrorAndRunNothing) {
  std::vector<unsigned int> out(4, 9);
  launch_kernel(record_indices, 1, 0, 0, out.data(), 4u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess) << "reading the last error clears it";
  launch_kernel(record_indices, 1, 2048, 0, out.data(), 4u);
  EXPECT_EQ(cudaPeekAtLastError(), cudaErrorInvalidConfiguration);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidConfiguration);
  launch_kernel(shared_slices, 1, 4, 49153, out.data(), 4u, 1u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorInvalidValue);
  EXPECT_EQ(out, std::vector<unsigned int>(4, 9));
}

TEST_F(Platform, ErrorStringsAreTheRuntimes) {
  EXPECT_STREQ(cudaGetErrorString(cudaSuccess), "no error");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorMemoryAllocation), "out of memory");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorInvalidValue), "invalid argument");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorInvalidConfiguration), "invalid configuration argument");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorNoDevice), "no CUDA-capable device is detected");
  EXPECT_STREQ(cudaGetErrorString(cudaErrorInvalidDevice), "invalid device ordinal");
}

TEST_F(Platform, DeviceZeroHasTheFieldsOfACommonGpu) {
  ASSERT_EQ(cudaSetDevice(0), cudaSuccess);
  cudaDeviceProp prop;
  ASSERT_EQ(cudaGetDeviceProperties(&prop, 0), cudaSuccess);
  EXPECT_EQ(prop.sharedMemPerBlock, 49152u);
  EXPECT_EQ(prop.maxThreadsPerMultiProcessor, 1536);
  EXPECT_GE(prop.multiProcessorCount, 1);
  EXPECT_EQ(cudaSetDevice(1), cudaErrorInvalidDevice);
  hostrt::set_device_count(0);
  EXPECT_EQ(cudaSetDevice(0), cudaErrorNoDevice);
  EXPECT_EQ(cudaGetDeviceProperties(&prop, 0), cudaErrorNoDevice);
}

TEST_F(Platform, AllocationsCanBeMadeToFail) {
  void* a = nullptr;
  void* b = nullptr;
  void* c = nullptr;
  hostrt::fail_allocation(2);
  EXPECT_EQ(cudaMalloc(&a, 16), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&b, 16), cudaErrorMemoryAllocation);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(cudaMalloc(&c, 16), cudaSuccess);
  EXPECT_EQ(hostrt::allocation_count(), 3u);
  EXPECT_EQ(hostrt::live_allocations(), 2u);
  EXPECT_EQ(cudaFree(a), cudaSuccess);
  EXPECT_EQ(cudaFree(c), cudaSuccess);

  hostrt::set_byte_budget(100);
  EXPECT_EQ(cudaMalloc(&a, 60), cudaSuccess);
  EXPECT_EQ(cudaMalloc(&b, 60), cudaErrorMemoryAllocation);
  EXPECT_EQ(hostrt::bytes_in_use(), 60u);
  EXPECT_EQ(cudaFree(a), cudaSuccess);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorMemoryAllocation);
}

TEST_F(Platform, FreeingUnknownPointersAndCopyingPastAnAllocationAreRefused) {
  int local = 0;
  EXPECT_EQ(cudaFree(&local), cudaErrorInvalidValue);
  EXPECT_EQ(cudaFree(nullptr), cudaSuccess);
  unsigned int* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, 4 * sizeof(unsigned int)), cudaSuccess);
  const unsigned int host[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(cudaMemcpy(d, host, sizeof host, cudaMemcpyHostToDevice), cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemcpy(d + 1, host, 3 * sizeof(unsigned int), cudaMemcpyHostToDevice), cudaSuccess);
  unsigned int back[4] = {};
  EXPECT_EQ(cudaMemcpy(back, d + 1, 3 * sizeof(unsigned int), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back[0], 1u);
  EXPECT_EQ(back[2], 3u);
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}

TEST_F(Platform, LargeArraysSitOnHugePageBoundariesWithTheirOwnBounds) {
  // Arrays of 2 MiB and more are placed for huge pages; what they hold, the
  // budget and the copies' bounds still follow the size asked for.
  const std::size_t words = (std::size_t(2) << 20) / sizeof(unsigned int) + 1;
  unsigned int* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, words * sizeof(unsigned int)), cudaSuccess);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(d) % (std::size_t(2) << 20), 0u);
  EXPECT_EQ(hostrt::bytes_in_use(), words * sizeof(unsigned int));
  std::vector<unsigned int> host(words + 1, 7u);
  EXPECT_EQ(cudaMemcpy(d, host.data(), (words + 1) * sizeof(unsigned int), cudaMemcpyHostToDevice),
            cudaErrorInvalidValue);
  EXPECT_EQ(cudaMemset(d, 0, words * sizeof(unsigned int)), cudaSuccess);
  std::vector<unsigned int> back(words, 1u);
  EXPECT_EQ(cudaMemcpy(back.data(), d, words * sizeof(unsigned int), cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(back, std::vector<unsigned int>(words, 0u));
  EXPECT_EQ(cudaFree(d), cudaSuccess);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

TEST_F(Platform, CountersFollowEveryKindOfCall) {
  unsigned int* d = nullptr;
  unsigned int* pinned = nullptr;
  unsigned int host[4] = {1, 2, 3, 4};
  const hostrt::Counters before = hostrt::counters();
  ASSERT_EQ(cudaMalloc(&d, sizeof host), cudaSuccess);
  ASSERT_EQ(cudaMallocHost(&pinned, sizeof host), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(d, host, sizeof host, cudaMemcpyHostToDevice), cudaSuccess);
  ASSERT_EQ(cudaMemcpyAsync(d + 1, d, 2 * sizeof(unsigned int), cudaMemcpyDeviceToDevice, 0), cudaSuccess);
  ASSERT_EQ(cudaMemsetAsync(d + 3, 0, sizeof(unsigned int), 0), cudaSuccess);
  launch_kernel(count_runs, 1, 4, 0, d, 4u);
  launch_kernel(count_runs, 0, 4, 0, d, 4u);  // an empty grid reaches no runtime
  ASSERT_EQ(cudaMemcpyAsync(pinned, d, sizeof host, cudaMemcpyDeviceToHost, 0), cudaSuccess);
  ASSERT_EQ(cudaStreamSynchronize(0), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(host, d, sizeof host, cudaMemcpyDeviceToHost), cudaSuccess);
  ASSERT_EQ(cudaMemcpy(host, pinned, sizeof host, cudaMemcpyHostToHost), cudaSuccess);
  ASSERT_EQ(cudaDeviceSynchronize(), cudaSuccess);
  ASSERT_EQ(cudaFree(d), cudaSuccess);
  ASSERT_EQ(cudaFreeHost(pinned), cudaSuccess);
  const hostrt::Counters c = hostrt::counters() - before;
  EXPECT_EQ(c.launches, 1u);
  EXPECT_EQ(c.copies_to_device, 1u);
  EXPECT_EQ(c.copies_on_device, 1u);
  EXPECT_EQ(c.copies_to_host, 2u);
  EXPECT_EQ(c.memsets, 1u);
  EXPECT_EQ(c.synchronisations, 4u) << "two blocking transfers and two synchronisations";
  EXPECT_EQ(c.allocations, 1u);
  EXPECT_EQ(c.frees, 1u);
  EXPECT_EQ(c.pinned_allocations, 1u);
  EXPECT_EQ(c.pinned_frees, 1u);
  EXPECT_EQ((std::vector<unsigned int>(host, host + 4)), (std::vector<unsigned int>{2, 2, 3, 1}));
  hostrt::reset_counters();
  EXPECT_EQ(hostrt::counters().launches, 0u);
}

// Each host thread counts for itself; a reading and the numbering of calls
// for failures take every thread's calls, those of a thread that has ended too.
TEST_F(Platform, CallsOfEveryThreadAreCountedAndNumberedTogether) {
  std::vector<unsigned int> runs(4, 0);
  const hostrt::Counters before = hostrt::counters();
  hostrt::fail_launch(3);
  std::thread([&] {
    launch_kernel(count_runs, 1, 4, 0, runs.data(), 4u);
    launch_kernel(count_runs, 1, 4, 0, runs.data(), 4u);
  }).join();
  launch_kernel(count_runs, 1, 4, 0, runs.data(), 4u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorLaunchFailure) << "the third launch of the process";
  EXPECT_EQ(runs[0], 2u);
  EXPECT_EQ((hostrt::counters() - before).launches, 3u);
}

TEST_F(Platform, ChosenCopiesMemsetsAndLaunchesFailAsAfterADeviceFault) {
  unsigned int* d = nullptr;
  ASSERT_EQ(cudaMalloc(&d, 16), cudaSuccess);
  unsigned int value = 5;
  hostrt::fail_copy(2);
  EXPECT_EQ(cudaMemcpy(d, &value, 4, cudaMemcpyHostToDevice), cudaSuccess);
  value = 0;
  EXPECT_EQ(cudaMemcpy(&value, d, 4, cudaMemcpyDeviceToHost), cudaErrorLaunchFailure);
  EXPECT_EQ(value, 0u) << "a failed copy moves nothing";
  EXPECT_EQ(cudaMemcpyAsync(&value, d, 4, cudaMemcpyDeviceToHost, 0), cudaSuccess);
  EXPECT_EQ(value, 5u);
  hostrt::fail_memset(1);
  EXPECT_EQ(cudaMemsetAsync(d, 0, 4, 0), cudaErrorLaunchFailure);
  EXPECT_EQ(cudaMemset(d, 0, 4), cudaSuccess);
  hostrt::fail_launch(2);
  launch_kernel(count_runs, 1, 4, 0, d, 4u);
  launch_kernel(count_runs, 1, 4, 0, d, 4u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorLaunchFailure);
  launch_kernel(count_runs, 1, 4, 0, d, 4u);
  EXPECT_EQ(cudaGetLastError(), cudaSuccess);
  unsigned int runs[4] = {};
  ASSERT_EQ(cudaMemcpy(runs, d, 16, cudaMemcpyDeviceToHost), cudaSuccess);
  EXPECT_EQ(runs[0], 2u) << "the failed launch ran nothing";
  EXPECT_STREQ(cudaGetErrorString(cudaErrorLaunchFailure), "unspecified launch failure");
  EXPECT_EQ(cudaFree(d), cudaSuccess);
}

TEST_F(Platform, WithoutADeviceEveryCallThatNeedsOneFails) {
  hostrt::set_device_count(0);
  void* d = nullptr;
  EXPECT_EQ(cudaMalloc(&d, 16), cudaErrorNoDevice);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(cudaMallocHost(&d, 16), cudaErrorNoDevice);
  unsigned int host[2] = {};
  EXPECT_EQ(cudaMemcpy(host, host + 1, 4, cudaMemcpyHostToHost), cudaErrorNoDevice);
  EXPECT_EQ(cudaMemset(host, 0, 4), cudaErrorNoDevice);
  EXPECT_EQ(cudaDeviceSynchronize(), cudaErrorNoDevice);
  launch_kernel(count_runs, 1, 2, 0, host, 2u);
  EXPECT_EQ(cudaGetLastError(), cudaErrorNoDevice);
  EXPECT_EQ(host[0], 0u);
  EXPECT_EQ(hostrt::live_allocations(), 0u);
}

// Every thread of every block runs once in each order; the orders differ
// from index order, and the shuffled one from launch to launch.
__global__ void record_order(unsigned int* sequence, unsigned int* next, unsigned int n) {
  const unsigned int i = blockIdx.x * blockDim.x + threadIdx.x;
  if (i < n) sequence[atomicAdd(next, 1u)] = i;
}

void check_thread_orders(bool fixed) {
  hostrt::set_worker_threads(1);
  const unsigned int n = 2 * 64;
  const auto run = [&](hostrt::ThreadOrder order) {
    hostrt::set_thread_order(order);
    std::vector<unsigned int> sequence(n, n);
    unsigned int next = 0;
    if (fixed) {
      launch_fixed_kernel<record_order>(2, 64, 0, sequence.data(), &next, n);
    } else {
      launch_kernel(record_order, 2, 64, 0, sequence.data(), &next, n);
    }
    EXPECT_EQ(next, n);
    std::vector<unsigned int> sorted = sequence;
    std::sort(sorted.begin(), sorted.end());
    for (unsigned int i = 0; i < n; ++i) EXPECT_EQ(sorted[i], i);
    return sequence;
  };
  const std::vector<unsigned int> forward = run(hostrt::ThreadOrder::forward);
  for (unsigned int i = 0; i < n; ++i) EXPECT_EQ(forward[i], i);
  const std::vector<unsigned int> reverse = run(hostrt::ThreadOrder::reverse);
  for (unsigned int i = 0; i < n; ++i) EXPECT_EQ(reverse[i], n - 1 - i);
  const std::vector<unsigned int> shuffled = run(hostrt::ThreadOrder::shuffle);
  EXPECT_NE(shuffled, forward);
  EXPECT_NE(shuffled, reverse);
  EXPECT_NE(run(hostrt::ThreadOrder::shuffle), shuffled);
  EXPECT_EQ(hostrt::thread_order(), hostrt::ThreadOrder::shuffle);
}

TEST_F(Platform, ThreadsOfABlockRunInTheChosenOrder) {
  for (const bool fixed : {false, true}) {
    SCOPED_TRACE(fixed ? "launch_fixed_kernel" : "launch_kernel");
    check_thread_orders(fixed);
  }
}

TEST(CheckCuda, SuccessPassesAndFailureCarriesBothTexts) {
  EXPECT_NO_THROW(check_cuda(cudaSuccess, "never shown"));
  try {
    check_cuda(cudaErrorMemoryAllocation, "error allocating color");
    FAIL() << "no exception";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "error allocating colorout of memory");
  }
}

TEST(CheckCuda, RoundUp) {
  EXPECT_EQ(round_up(6, 4), 8u);
  EXPECT_EQ(round_up(8, 4), 8u);
  EXPECT_EQ(round_up(0, 4), 0u);
  EXPECT_EQ(round_up(3, 4), 4u);
}

}  // namespace
