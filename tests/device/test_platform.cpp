// The host backend's runtime layer: launches, shared memory, memory and errors
// behave as the system expects of the CUDA runtime.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/check_cuda.h"
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
    launch_kernel(count_runs, blocks_for(count, 128), 128, 0, runs.data(), count);
    ASSERT_EQ(cudaGetLastError(), cudaSuccess);
    for (unsigned int i = 0; i < n; ++i) {
      ASSERT_EQ(runs[i], round + (i < count ? 1u : 0u)) << "round " << round << " thread " << i;
      runs[i] = round + 1;
    }
  }
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
