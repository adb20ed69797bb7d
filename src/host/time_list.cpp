#include "host/time_list.h"

#include <chrono>

int32_t TimeList::wall_clock_ms() {
  // Counted from the first call so that the value stays small; only
  // differences of stamps are ever used.
  typedef std::chrono::steady_clock clock;
  static const clock::time_point origin = clock::now();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - origin);
  return static_cast<int32_t>(static_cast<uint32_t>(elapsed.count()));
}

TimeList::TimeList(Clock clock) : clock_(clock) {}

void TimeList::restart() {
  entries_.clear();
  counter_ = 0;
  add();
}

void TimeList::restart(const std::string& label) {
  entries_.clear();
  counter_ = 0;
  add(label);
}

void TimeList::add() {
  std::string label = "time " + std::to_string(counter_) + " : \n";
  const int32_t stamp = clock_();
  entries_.push_back(Entry{stamp, std::move(label)});
  ++counter_;
}

void TimeList::add(const std::string& label) {
  const int32_t stamp = clock_();
  entries_.push_back(Entry{stamp, label});
  ++counter_;
}

namespace {
// Difference in wrapping 32-bit arithmetic, as the stamps themselves wrap.
double seconds_between(int32_t from, int32_t to) {
  const int32_t ms = static_cast<int32_t>(static_cast<uint32_t>(to) - static_cast<uint32_t>(from));
  return ms / 1000.0;
}
}  // namespace

std::ostream& TimeList::print(std::ostream& out) const {
  if (entries_.empty()) throw "Time list is empty";
  for (std::size_t i = 1; i < entries_.size(); ++i)
    out << entries_[i].label << seconds_between(entries_[i - 1].stamp, entries_[i].stamp) << std::endl;
  out << "Total time: " << seconds_between(entries_.front().stamp, entries_.back().stamp) << std::endl;
  return out;
}
