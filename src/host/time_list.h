#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// Labelled millisecond stamps of one run; print writes the time between
// consecutive stamps in seconds.
class TimeList {
 public:
  typedef int32_t (*Clock)();
  // Milliseconds of a monotonic wall clock.
  static int32_t wall_clock_ms();

  explicit TimeList(Clock clock = &TimeList::wall_clock_ms);

  void restart();
  void restart(const std::string& label);
  void add();
  void add(const std::string& label);
  // Throws the plain string "Time list is empty" (a const char*) on an empty list.
  std::ostream& print(std::ostream& out) const;

  std::size_t size() const { return entries_.size(); }

 private:
  struct Entry {
    int32_t stamp;
    std::string label;
  };
  Clock clock_;
  std::vector<Entry> entries_;
  uint32_t counter_ = 0;
};
