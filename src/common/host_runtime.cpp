#include "common/host_runtime.h"

#include "common/host_thread_slots.h"

#include <omp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <thread>
#include <vector>

__thread uint3 threadIdx;
__thread uint3 blockIdx;
__thread dim3 blockDim;
__thread dim3 gridDim;

namespace {

const int max_threads_per_block = 1024;

using hostrt::Count;
using hostrt::count_call;
using hostrt::TableReadLock;
using hostrt::TableWriteLock;

hostrt::ThreadOrder order_from_environment() {
  const char* value = std::getenv("PG_HOST_THREAD_ORDER");
  if (value == nullptr) return hostrt::ThreadOrder::forward;
  if (std::strcmp(value, "reverse") == 0) return hostrt::ThreadOrder::reverse;
  if (std::strcmp(value, "shuffle") == 0) return hostrt::ThreadOrder::shuffle;
  return hostrt::ThreadOrder::forward;
}

struct DeviceState {
  // The allocation table and what goes with it, up to byte_budget: read
  // under a TableReadLock, changed under a TableWriteLock.
  std::map<const char*, std::size_t> allocations;  // start -> bytes
  std::size_t bytes_in_use = 0;
  std::size_t allocation_count = 0;
  std::size_t fail_allocation = 0;
  std::size_t byte_budget = 0;  // 0: unlimited
  // Failure injection: which call fails (the calls since the last reset are
  // counted per thread).
  std::atomic<std::size_t> fail_copy{0}, fail_memset{0}, fail_launch{0};
  std::atomic<int> device_count{1};
  int worker_threads = 0;
  std::atomic<hostrt::ThreadOrder> thread_order{order_from_environment()};
  cudaDeviceProp properties = hostrt::default_device_properties();
};

DeviceState& state() {
  static DeviceState s;
  return s;
}

thread_local cudaError_t last_error = cudaSuccess;
thread_local std::vector<std::max_align_t> shared_memory;

cudaError_t record(cudaError_t error) {
  if (error != cudaSuccess) last_error = error;
  return error;
}

// Numbers one more call and tells whether it is the one chosen to fail; the
// threads' calls are summed only while a failure is armed.
bool count_and_pick(Count calls, const std::atomic<std::size_t>& fail) {
  count_call(calls);
  const std::size_t k = fail.load(std::memory_order_relaxed);
  return k != 0 && hostrt::counted_calls(calls) == k;
}

bool no_device() { return state().device_count.load(std::memory_order_relaxed) == 0; }

// A small generator for the shuffled orders: the same launch and block give
// the same order on whichever worker runs them.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

void fill_order(std::vector<unsigned int>& order, unsigned int count, hostrt::ThreadOrder mode, uint64_t seed) {
  order.resize(count);
  for (unsigned int i = 0; i < count; ++i) order[i] = mode == hostrt::ThreadOrder::reverse ? count - 1 - i : i;
  if (mode != hostrt::ThreadOrder::shuffle) return;
  uint64_t x = seed;
  for (unsigned int i = count; i > 1; --i) {
    x = mix(x);
    std::swap(order[i - 1], order[static_cast<unsigned int>(x % i)]);
  }
}

thread_local std::vector<unsigned int> thread_order_buffer;
thread_local std::vector<unsigned int> block_order_buffer;
// Counts launches for the order seeds; read by the workers of the launch.
std::atomic<uint64_t> launch_number{0};

// A copy that starts inside a known allocation must stay inside it. Pointers
// that no allocation of ours covers (Thrust's own storage, host memory) pass.
bool range_is_valid(DeviceState& s, const void* p, std::size_t bytes) {
  const char* c = static_cast<const char*>(p);
  auto it = s.allocations.upper_bound(c);
  if (it == s.allocations.begin()) return true;
  --it;
  const char* start = it->first;
  const std::size_t size = it->second;
  if (c >= start + size) return true;
  return static_cast<std::size_t>(c - start) + bytes <= size;
}

}  // namespace

namespace hostrt {

cudaDeviceProp default_device_properties() {
  cudaDeviceProp prop;
  std::memset(&prop, 0, sizeof prop);
  std::strncpy(prop.name, "host backend", sizeof prop.name - 1);
  prop.sharedMemPerBlock = 49152;
  prop.maxThreadsPerMultiProcessor = 1536;
  const unsigned cores = std::thread::hardware_concurrency();
  prop.multiProcessorCount = cores == 0 ? 1 : static_cast<int>(cores);
  prop.maxThreadsPerBlock = max_threads_per_block;
  return prop;
}

void* dynamic_shared_memory() { return shared_memory.data(); }

namespace {

void run_block_range(unsigned int first, unsigned int last, unsigned int grid, unsigned int block,
                     std::size_t words, BlockBody body, const void* context) {
  if (shared_memory.size() < words) shared_memory.resize(words);
  blockDim = dim3(block);
  gridDim = dim3(grid);
  const ThreadOrder mode = state().thread_order.load(std::memory_order_relaxed);
  if (mode == ThreadOrder::forward) {
    for (unsigned int b = first; b < last; ++b) {
      blockIdx = uint3{b, 0, 0};
      body(b, context);
    }
    return;
  }
  fill_order(block_order_buffer, last - first, mode,
             mix(launch_number.load(std::memory_order_relaxed) ^ (static_cast<uint64_t>(first) << 32)));
  for (unsigned int i = 0; i < last - first; ++i) {
    const unsigned int b = first + block_order_buffer[i];
    blockIdx = uint3{b, 0, 0};
    body(b, context);
  }
}

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Helper threads that run the blocks of large launches together with the
// launching thread. Blocks are handed out in chunks from one counter that also
// carries the launch's number, so a helper that wakes late takes nothing from a
// finished launch and the launching thread never waits for helpers that have
// not started; it only waits for chunks already taken. Idle helpers spin for a
// short while (back-to-back launches are common: a pass, a flag copy, the next
// pass) and then sleep, so that they do not take the cores from other work.
class BlockPool {
 public:
  ~BlockPool() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_) t.join();
  }

  void run(unsigned int grid, unsigned int block, std::size_t words, BlockBody body, const void* context,
           int workers) {
    ensure_helpers(workers - 1);
    const uint64_t launch = ++launches_;
    // Two slots, by the launch's parity: a helper that lags behind still reads
    // an intact description of the launch it last saw, and its claim on that
    // launch then fails.
    Job& job = jobs_[launch & 1];
    job.grid.store(grid, std::memory_order_relaxed);
    job.block.store(block, std::memory_order_relaxed);
    job.words.store(words, std::memory_order_relaxed);
    job.body.store(body, std::memory_order_relaxed);
    job.context.store(context, std::memory_order_relaxed);
    job.chunk.store(std::max(1u, grid / (static_cast<unsigned int>(workers) * 8u)), std::memory_order_relaxed);
    job.helpers.store(workers - 1, std::memory_order_relaxed);
    completed_.store(0, std::memory_order_relaxed);
    // Publishes the job; helpers read it after loading next_.
    next_.store(launch << 32, std::memory_order_seq_cst);
    if (sleepers_.load(std::memory_order_seq_cst) > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      wake_.notify_all();
    }
    const unsigned int done = work();
    // Chunks taken by helpers are finished by them; wait for those alone.
    for (unsigned int spins = 0; completed_.load(std::memory_order_acquire) + done != grid; ++spins) {
      if (spins < 4096) cpu_relax();
      else std::this_thread::yield();
    }
  }

 private:
  struct Job {
    std::atomic<unsigned int> grid{0};
    std::atomic<unsigned int> block{0};
    std::atomic<std::size_t> words{0};
    std::atomic<BlockBody> body{nullptr};
    std::atomic<const void*> context{nullptr};
    std::atomic<unsigned int> chunk{1};
    std::atomic<int> helpers{0};  // how many of the helpers take part
  };

  // Takes and runs chunks of the current launch until none is left; returns
  // the number of blocks run.
  unsigned int work() {
    unsigned int ran = 0;
    uint64_t seen = next_.load(std::memory_order_acquire);
    for (;;) {
      const uint64_t launch = seen >> 32;
      const Job& job = jobs_[launch & 1];
      const unsigned int first = static_cast<unsigned int>(seen);
      const unsigned int grid = job.grid.load(std::memory_order_relaxed);
      if (first >= grid) break;
      const unsigned int last = std::min(grid, first + job.chunk.load(std::memory_order_relaxed));
      const unsigned int block = job.block.load(std::memory_order_relaxed);
      const std::size_t words = job.words.load(std::memory_order_relaxed);
      const BlockBody body = job.body.load(std::memory_order_relaxed);
      const void* const context = job.context.load(std::memory_order_relaxed);
      // Succeeds only while the launch is still the current one, so what was
      // read above describes it.
      if (!next_.compare_exchange_weak(seen, (launch << 32) | last, std::memory_order_acq_rel,
                                       std::memory_order_acquire))
        continue;
      run_block_range(first, last, grid, block, words, body, context);
      ran += last - first;
      seen = next_.load(std::memory_order_acquire);
      if ((seen >> 32) != launch) break;
    }
    return ran;
  }

  // `start`: the number of the last launch before this helper existed.
  void helper_loop(int id, uint64_t start) {
    uint64_t last_launch = start;
    for (;;) {
      // Spin a little for the next launch, then sleep until it comes.
      uint64_t launch = next_.load(std::memory_order_acquire) >> 32;
      const auto spin_until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
      for (unsigned int i = 0; launch == last_launch; ++i) {
        cpu_relax();
        if ((i & 63) == 63 && std::chrono::steady_clock::now() > spin_until) break;
        launch = next_.load(std::memory_order_acquire) >> 32;
      }
      if (launch == last_launch) {
        std::unique_lock<std::mutex> lock(mutex_);
        sleepers_.fetch_add(1, std::memory_order_seq_cst);
        wake_.wait(lock, [&] {
          return stop_ || (next_.load(std::memory_order_seq_cst) >> 32) != last_launch;
        });
        sleepers_.fetch_sub(1, std::memory_order_seq_cst);
        if (stop_) return;
        launch = next_.load(std::memory_order_acquire) >> 32;
      }
      last_launch = launch;
      // Helpers beyond the launch's worker count sit it out.
      if (id >= jobs_[launch & 1].helpers.load(std::memory_order_relaxed)) continue;
      const unsigned int ran = work();
      if (ran != 0) completed_.fetch_add(ran, std::memory_order_release);
    }
  }

  void ensure_helpers(int count) {
    while (static_cast<int>(helpers_.size()) < count) {
      const int id = static_cast<int>(helpers_.size());
      const uint64_t start = launches_;
      helpers_.emplace_back([this, id, start] { helper_loop(id, start); });
    }
  }

  // Launch number (high 32 bits) and next block to hand out (low 32 bits).
  std::atomic<uint64_t> next_{0};
  std::atomic<unsigned int> completed_{0};
  std::atomic<int> sleepers_{0};
  uint64_t launches_ = 0;  // written by the launching thread only
  Job jobs_[2];

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

BlockPool& block_pool() {
  static BlockPool pool;
  return pool;
}

// Set for a background lane's thread.
thread_local bool launches_on_this_thread = false;

}  // namespace

void run_launches_on_this_thread() { launches_on_this_thread = true; }

void run_blocks(unsigned int grid, unsigned int block, std::size_t shared_bytes, BlockBody body,
                const void* context) {
  DeviceState& s = state();
  // The launch's number seeds the reordered test modes alone.
  if (s.thread_order.load(std::memory_order_relaxed) != ThreadOrder::forward)
    launch_number.fetch_add(1, std::memory_order_relaxed);
  count_call(Count::launches);
  if (count_and_pick(Count::launch_calls, s.fail_launch)) {
    record(cudaErrorLaunchFailure);
    return;
  }
  if (no_device()) {
    record(cudaErrorNoDevice);
    return;
  }
  if (block == 0 || block > static_cast<unsigned>(max_threads_per_block)) {
    record(cudaErrorInvalidConfiguration);
    return;
  }
  if (shared_bytes > s.properties.sharedMemPerBlock) {
    record(cudaErrorInvalidValue);
    return;
  }
  const std::size_t words = (shared_bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
  const int workers =
      launches_on_this_thread ? 1 : s.worker_threads > 0 ? s.worker_threads : omp_get_max_threads();
  // Small launches are not worth waking the helpers for.
  const bool parallel =
      workers > 1 && grid > 1 && static_cast<std::size_t>(grid) * block >= parallel_launch_threads;
  if (parallel) {
    // One launch at a time shares the pool: two host threads (a race of
    // solvers) may launch at once, and the pool describes a single launch.
    static std::mutex pool_user;
    std::lock_guard<std::mutex> lock(pool_user);
    block_pool().run(grid, block, words, body, context, workers);
  } else {
    run_block_range(0, grid, grid, block, words, body, context);
  }
}

void set_worker_threads(int n) { state().worker_threads = n; }

void set_thread_order(ThreadOrder order) { state().thread_order.store(order, std::memory_order_relaxed); }

ThreadOrder thread_order() { return state().thread_order.load(std::memory_order_relaxed); }

const unsigned int* thread_permutation(unsigned int threads) {
  const ThreadOrder mode = state().thread_order.load(std::memory_order_relaxed);
  if (mode == ThreadOrder::forward) return nullptr;
  fill_order(thread_order_buffer, threads, mode,
             mix(launch_number.load(std::memory_order_relaxed) * 0x100000001ull + blockIdx.x));
  return thread_order_buffer.data();
}

void fail_copy(std::size_t k) { state().fail_copy.store(k); }
void fail_memset(std::size_t k) { state().fail_memset.store(k); }
void fail_launch(std::size_t k) { state().fail_launch.store(k); }

Counters counters() {
  Counters c;
  c.launches = counted_calls(Count::launches);
  c.copies_to_device = counted_calls(Count::copies_to_device);
  c.copies_to_host = counted_calls(Count::copies_to_host);
  c.copies_on_device = counted_calls(Count::copies_on_device);
  c.memsets = counted_calls(Count::memsets);
  c.synchronisations = counted_calls(Count::synchronisations);
  c.allocations = counted_calls(Count::allocations);
  c.frees = counted_calls(Count::frees);
  c.pinned_allocations = counted_calls(Count::pinned_allocations);
  c.pinned_frees = counted_calls(Count::pinned_frees);
  return c;
}

void reset_counters() {
  for (int kind = 0; kind < static_cast<int>(Count::copy_calls); ++kind) clear_count(static_cast<Count>(kind));
}

void fail_allocation(std::size_t k) {
  const TableWriteLock lock;
  state().fail_allocation = k;
}

void set_byte_budget(std::size_t bytes) {
  const TableWriteLock lock;
  state().byte_budget = bytes;
}

void set_device_count(int n) { state().device_count = n; }

void set_device_properties(const cudaDeviceProp& prop) { state().properties = prop; }

void reset() {
  DeviceState& s = state();
  {
    const TableWriteLock lock;
    s.allocation_count = 0;
    s.fail_allocation = 0;
    s.byte_budget = 0;
  }
  s.fail_copy = 0;
  s.fail_memset = 0;
  s.fail_launch = 0;
  clear_count(Count::copy_calls);
  clear_count(Count::memset_calls);
  clear_count(Count::launch_calls);
  s.device_count = 1;
  s.worker_threads = 0;
  s.thread_order = order_from_environment();
  s.properties = default_device_properties();
  reset_counters();
  last_error = cudaSuccess;
}

std::size_t allocation_count() {
  const TableReadLock lock;
  return state().allocation_count;
}

std::size_t live_allocations() {
  const TableReadLock lock;
  return state().allocations.size();
}

std::size_t bytes_in_use() {
  const TableReadLock lock;
  return state().bytes_in_use;
}

}  // namespace hostrt

extern "C" cudaError_t cudaSetDevice(int device) {
  const int count = state().device_count;
  if (count == 0) return record(cudaErrorNoDevice);
  if (device < 0 || device >= count) return record(cudaErrorInvalidDevice);
  return cudaSuccess;
}

extern "C" cudaError_t cudaGetDeviceProperties(cudaDeviceProp* prop, int device) {
  const int count = state().device_count;
  if (count == 0) return record(cudaErrorNoDevice);
  if (device < 0 || device >= count) return record(cudaErrorInvalidDevice);
  if (prop == nullptr) return record(cudaErrorInvalidValue);
  *prop = state().properties;
  return cudaSuccess;
}

namespace {

// Device arrays of a large game are read at random places by every pass;
// on huge pages those reads miss the TLB far less often. Large arrays start
// on a huge-page boundary and ask for huge pages; small ones come from malloc.
const std::size_t huge_page_bytes = std::size_t(2) << 20;

void* allocate_device_bytes(std::size_t bytes) {
  if (bytes < huge_page_bytes) return std::malloc(bytes);
  const std::size_t rounded = (bytes + huge_page_bytes - 1) / huge_page_bytes * huge_page_bytes;
  void* p = std::aligned_alloc(huge_page_bytes, rounded);
  if (p != nullptr) madvise(p, rounded, MADV_HUGEPAGE);
  return p;
}

}  // namespace

extern "C" cudaError_t cudaMalloc(void** ptr, std::size_t bytes) {
  if (ptr == nullptr) return record(cudaErrorInvalidValue);
  DeviceState& s = state();
  const TableWriteLock lock;
  *ptr = nullptr;
  if (no_device()) return record(cudaErrorNoDevice);
  if (bytes == 0) return cudaSuccess;
  ++s.allocation_count;
  count_call(Count::allocations);
  const bool injected = s.fail_allocation != 0 && s.allocation_count == s.fail_allocation;
  const bool over_budget = s.byte_budget != 0 && s.bytes_in_use + bytes > s.byte_budget;
  if (injected || over_budget) return record(cudaErrorMemoryAllocation);
  void* p = allocate_device_bytes(bytes);
  if (p == nullptr) return record(cudaErrorMemoryAllocation);
  s.allocations.emplace(static_cast<const char*>(p), bytes);
  s.bytes_in_use += bytes;
  *ptr = p;
  return cudaSuccess;
}

extern "C" cudaError_t cudaFree(void* ptr) {
  if (ptr == nullptr) return cudaSuccess;
  DeviceState& s = state();
  const TableWriteLock lock;
  auto it = s.allocations.find(static_cast<const char*>(ptr));
  if (it == s.allocations.end()) return record(cudaErrorInvalidValue);
  count_call(Count::frees);
  s.bytes_in_use -= it->second;
  s.allocations.erase(it);
  std::free(ptr);
  return cudaSuccess;
}

namespace {

bool inside_allocation(DeviceState& s, const void* p) {
  const char* c = static_cast<const char*>(p);
  auto it = s.allocations.upper_bound(c);
  if (it == s.allocations.begin()) return false;
  --it;
  return c < it->first + it->second;
}

// The copies of both calls: checked like the runtime's, counted by direction.
cudaError_t copy(void* dst, const void* src, std::size_t bytes, cudaMemcpyKind kind, bool blocking) {
  if (kind < cudaMemcpyHostToHost || kind > cudaMemcpyDefault) return record(cudaErrorInvalidValue);
  if (bytes == 0) return cudaSuccess;
  DeviceState& s = state();
  if (no_device()) return record(cudaErrorNoDevice);
  if (dst == nullptr || src == nullptr) return record(cudaErrorInvalidValue);
  bool to_device = kind == cudaMemcpyHostToDevice || kind == cudaMemcpyDeviceToDevice;
  bool from_device = kind == cudaMemcpyDeviceToHost || kind == cudaMemcpyDeviceToDevice;
  {
    const TableReadLock lock;
    if (!range_is_valid(s, dst, bytes) || !range_is_valid(s, src, bytes)) return record(cudaErrorInvalidValue);
    if (kind == cudaMemcpyDefault) {
      to_device = inside_allocation(s, dst);
      from_device = inside_allocation(s, src);
    }
  }
  // Copies between host buffers are no transfers: neither counted nor made to fail.
  if (to_device || from_device) {
    count_call(!from_device ? Count::copies_to_device : !to_device ? Count::copies_to_host : Count::copies_on_device);
    if (blocking && to_device != from_device) count_call(Count::synchronisations);
    if (count_and_pick(Count::copy_calls, s.fail_copy)) return record(cudaErrorLaunchFailure);
  }
  std::memmove(dst, src, bytes);
  return cudaSuccess;
}

cudaError_t set_bytes(void* dst, int value, std::size_t bytes) {
  if (bytes == 0) return cudaSuccess;
  DeviceState& s = state();
  if (no_device()) return record(cudaErrorNoDevice);
  if (dst == nullptr) return record(cudaErrorInvalidValue);
  {
    const TableReadLock lock;
    if (!range_is_valid(s, dst, bytes)) return record(cudaErrorInvalidValue);
  }
  count_call(Count::memsets);
  if (count_and_pick(Count::memset_calls, s.fail_memset)) return record(cudaErrorLaunchFailure);
  std::memset(dst, value, bytes);
  return cudaSuccess;
}

}  // namespace

extern "C" cudaError_t cudaMemcpy(void* dst, const void* src, std::size_t bytes, cudaMemcpyKind kind) {
  return copy(dst, src, bytes, kind, true);
}

// The default stream runs everything in order and the host backend at once,
// so the asynchronous forms differ only in what they count.
extern "C" cudaError_t cudaMemcpyAsync(void* dst, const void* src, std::size_t bytes, cudaMemcpyKind kind,
                                       cudaStream_t /*stream*/) {
  return copy(dst, src, bytes, kind, false);
}

extern "C" cudaError_t cudaMemset(void* dst, int value, std::size_t bytes) { return set_bytes(dst, value, bytes); }

extern "C" cudaError_t cudaMemsetAsync(void* dst, int value, std::size_t bytes, cudaStream_t /*stream*/) {
  return set_bytes(dst, value, bytes);
}

// Page-locked host memory: plain host memory here, counted apart from device buffers.
extern "C" cudaError_t cudaMallocHost(void** ptr, std::size_t bytes) {
  if (ptr == nullptr) return record(cudaErrorInvalidValue);
  *ptr = nullptr;
  if (no_device()) return record(cudaErrorNoDevice);
  count_call(Count::pinned_allocations);
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p == nullptr) return record(cudaErrorMemoryAllocation);
  *ptr = p;
  return cudaSuccess;
}

extern "C" cudaError_t cudaFreeHost(void* ptr) {
  if (ptr == nullptr) return cudaSuccess;
  count_call(Count::pinned_frees);
  std::free(ptr);
  return cudaSuccess;
}

extern "C" cudaError_t cudaDeviceSynchronize() {
  if (no_device()) return record(cudaErrorNoDevice);
  count_call(Count::synchronisations);
  return cudaSuccess;
}

extern "C" cudaError_t cudaStreamSynchronize(cudaStream_t /*stream*/) {
  if (no_device()) return record(cudaErrorNoDevice);
  count_call(Count::synchronisations);
  return cudaSuccess;
}

extern "C" cudaError_t cudaGetLastError() {
  const cudaError_t e = last_error;
  last_error = cudaSuccess;
  return e;
}

extern "C" cudaError_t cudaPeekAtLastError() { return last_error; }

extern "C" const char* cudaGetErrorString(cudaError_t error) {
  switch (error) {
    case cudaSuccess: return "no error";
    case cudaErrorInvalidValue: return "invalid argument";
    case cudaErrorMemoryAllocation: return "out of memory";
    case cudaErrorInvalidConfiguration: return "invalid configuration argument";
    case cudaErrorNoDevice: return "no CUDA-capable device is detected";
    case cudaErrorInvalidDevice: return "invalid device ordinal";
    case cudaErrorLaunchOutOfResources: return "too many resources requested for launch";
    case cudaErrorLaunchFailure: return "unspecified launch failure";
    default: break;
  }
  return "unrecognized error code";
}
