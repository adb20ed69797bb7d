#pragma once
// Appending to a shared queue from frontier passes. Every thread of every
// worker adds to the queue's one end counter; on the host backend one add per
// appended node kept that counter's cache line moving between the cores for
// most of a pass. There a thread takes a run of consecutive frontier entries
// and appends what it found in batches; a GPU keeps a thread per entry and
// appends each node at once.
#include "common/platform.h"

// Frontier entries per thread of a pass (the host backend runs a block's
// threads one after another, so a thread's look-ahead hints still land on
// the entries that run next).
constexpr unsigned int frontier_entries_per_thread = pg_later_threads_run_after ? 8 : 1;

// Threads that cover n frontier entries.
inline unsigned int threads_for_entries(unsigned int n) {
  return n / frontier_entries_per_thread + (n % frontier_entries_per_thread != 0 ? 1u : 0u);
}

// The entries [first, last) of a pass over size frontier entries that
// thread t takes; empty for a thread past the end.
struct EntryRun {
  unsigned int first;
  unsigned int last;
};
__device__ inline EntryRun entry_run(unsigned int t, unsigned int size) {
  const unsigned long long first = static_cast<unsigned long long>(t) * frontier_entries_per_thread;
  if (first >= size) return EntryRun{size, size};
  const unsigned long long last = first + frontier_entries_per_thread;
  return EntryRun{static_cast<unsigned int>(first), last < size ? static_cast<unsigned int>(last) : size};
}

// The nodes one thread appends to queue[*end ...], held until a batch is full
// or the thread calls flush().
class QueueAppend {
 public:
  static const unsigned int batch = pg_later_threads_run_after ? 32 : 1;

  __device__ QueueAppend(unsigned int* queue, unsigned int* end) : queue_(queue), end_(end) {}

  __device__ void add(unsigned int v) {
    held_[count_++] = v;
    if (count_ == batch) flush();
  }

  __device__ void flush() {
    if (count_ == 0) return;
    const unsigned int at = atomicAdd(end_, count_);
    for (unsigned int k = 0; k < count_; ++k) queue_[at + k] = held_[k];
    count_ = 0;
  }

 private:
  unsigned int* queue_;
  unsigned int* end_;
  unsigned int held_[batch];
  unsigned int count_ = 0;
};
