#pragma once
// What the host backend keeps per host thread that calls it: its call counts
// and its side of the lock on the allocation table. Two threads that launch
// and copy side by side (the race of `auto`) then write no cache line in
// common on a launch or a copy: a count adds to the thread's own slot, and a
// copy's look-up in the table locks the thread's own reader mutex. A reading
// of a count sums the slots; a change of the table locks every slot. A slot
// outlives its thread and goes, its counts kept, to the next thread that
// needs one.
#include <cstddef>

namespace hostrt {

enum class Count {
  launches,
  copies_to_device,
  copies_to_host,
  copies_on_device,
  memsets,
  synchronisations,
  allocations,
  frees,
  pinned_allocations,
  pinned_frees,
  // Calls numbered for failure injection (hostrt::fail_copy and the like).
  copy_calls,
  memset_calls,
  launch_calls,
  kinds
};

// Adds one to the calling thread's count.
void count_call(Count kind);
// The count summed over every thread since it was last cleared.
std::size_t counted_calls(Count kind);
void clear_count(Count kind);

// Held while the calling thread reads the allocation table.
class TableReadLock {
 public:
  TableReadLock();
  ~TableReadLock();
  TableReadLock(const TableReadLock&) = delete;
  TableReadLock& operator=(const TableReadLock&) = delete;
};

// Held while the allocation table (or what goes with it) changes: no thread
// reads it meanwhile.
class TableWriteLock {
 public:
  TableWriteLock();
  ~TableWriteLock();
  TableWriteLock(const TableWriteLock&) = delete;
  TableWriteLock& operator=(const TableWriteLock&) = delete;
};

}  // namespace hostrt
