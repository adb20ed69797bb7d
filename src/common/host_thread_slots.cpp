#include "common/host_thread_slots.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace hostrt {
namespace {

struct alignas(64) Slot {
  std::mutex reading;
  std::atomic<std::size_t> counts[static_cast<int>(Count::kinds)] = {};
};

class Slots {
 public:
  Slot* take() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!free_.empty()) {
      Slot* slot = free_.back();
      free_.pop_back();
      return slot;
    }
    all_.push_back(std::make_unique<Slot>());
    return all_.back().get();
  }
  void give_back(Slot* slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(slot);
  }
  std::size_t sum(Count kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t total = 0;
    for (const auto& slot : all_) total += slot->counts[static_cast<int>(kind)].load(std::memory_order_relaxed);
    return total;
  }
  void clear(Count kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& slot : all_) slot->counts[static_cast<int>(kind)].store(0, std::memory_order_relaxed);
  }
  // Every slot's reader mutex, in the table's order, with the set of slots
  // held still; then no new thread can take a slot either.
  void lock_all() {
    mutex_.lock();
    for (const auto& slot : all_) slot->reading.lock();
  }
  void unlock_all() {
    for (const auto& slot : all_) slot->reading.unlock();
    mutex_.unlock();
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Slot>> all_;
  std::vector<Slot*> free_;
};

// Never destroyed: threads that end while the process exits still give
// their slots back.
Slots& slots() {
  static Slots* all = new Slots;
  return *all;
}

struct ThreadSlot {
  Slot* slot = nullptr;
  ~ThreadSlot() {
    if (slot != nullptr) slots().give_back(slot);
  }
};
thread_local ThreadSlot thread_slot;

Slot& my_slot() {
  if (thread_slot.slot == nullptr) thread_slot.slot = slots().take();
  return *thread_slot.slot;
}

}  // namespace

void count_call(Count kind) { my_slot().counts[static_cast<int>(kind)].fetch_add(1, std::memory_order_relaxed); }

std::size_t counted_calls(Count kind) { return slots().sum(kind); }

void clear_count(Count kind) { slots().clear(kind); }

TableReadLock::TableReadLock() { my_slot().reading.lock(); }
TableReadLock::~TableReadLock() { thread_slot.slot->reading.unlock(); }

TableWriteLock::TableWriteLock() {
  // The writer's own slot first: taking one needs the set of slots, which
  // lock_all holds.
  (void)my_slot();
  slots().lock_all();
}
TableWriteLock::~TableWriteLock() { slots().unlock_all(); }

}  // namespace hostrt
