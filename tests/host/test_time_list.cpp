#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "host/time_list.h"

namespace {

// Stamps handed out one per call by fake_clock.
std::vector<int32_t> stamps;
std::size_t next_stamp = 0;

int32_t fake_clock() { return stamps.at(next_stamp++); }

void use_stamps(std::vector<int32_t> values) {
  stamps = std::move(values);
  next_stamp = 0;
}

std::string report(const TimeList& list) {
  std::ostringstream out;
  list.print(out);
  return out.str();
}

TEST(TimeList, FreshRestartReportsZeroTotal) {
  use_stamps({500});
  TimeList list(&fake_clock);
  list.restart();
  EXPECT_EQ(report(list), "Total time: 0\n");
}

TEST(TimeList, AutomaticLabelCountsFromRestart) {
  use_stamps({100, 250});
  TimeList list(&fake_clock);
  list.restart();
  list.add();
  EXPECT_EQ(report(list), "time 1 : \n0.15\nTotal time: 0.15\n");
}

TEST(TimeList, LabelledPhasesInSeconds) {
  use_stamps({1000, 1015, 3015});
  TimeList list(&fake_clock);
  list.restart();
  list.add("a: ");
  list.add("b: ");
  EXPECT_EQ(report(list), "a: 0.015\nb: 2\nTotal time: 2.015\n");
}

TEST(TimeList, FirstLabelIsNeverPrinted) {
  use_stamps({0, 1});
  TimeList list(&fake_clock);
  list.restart("start ");
  list.add("x ");
  EXPECT_EQ(report(list), "x 0.001\nTotal time: 0.001\n");
}

TEST(TimeList, RestartClearsEntriesAndNumbering) {
  use_stamps({0, 10, 20, 1000, 1200});
  TimeList list(&fake_clock);
  list.restart();
  list.add();
  list.add("c: ");
  ASSERT_EQ(list.size(), 3u);
  list.restart();
  EXPECT_EQ(list.size(), 1u);
  list.add();
  EXPECT_EQ(report(list), "time 1 : \n0.2\nTotal time: 0.2\n");
}

TEST(TimeList, AddWithoutRestartStartsAtZero) {
  use_stamps({5, 8});
  TimeList list(&fake_clock);
  list.add();
  list.add();
  EXPECT_EQ(report(list), "time 1 : \n0.003\nTotal time: 0.003\n");
}

TEST(TimeList, SixSignificantDigits) {
  use_stamps({0, 1234567});
  TimeList list(&fake_clock);
  list.restart();
  list.add("long: ");
  EXPECT_EQ(report(list), "long: 1234.57\nTotal time: 1234.57\n");
}

TEST(TimeList, DifferencesWrapInThirtyTwoBits) {
  use_stamps({INT32_MAX, INT32_MIN, INT32_MIN + 4});
  TimeList list(&fake_clock);
  list.restart();
  list.add("a: ");
  list.add("b: ");
  EXPECT_EQ(report(list), "a: 0.001\nb: 0.004\nTotal time: 0.005\n");
}

TEST(TimeList, BackwardStampGivesNegativeTime) {
  use_stamps({1000, 500});
  TimeList list(&fake_clock);
  list.restart();
  list.add("a: ");
  EXPECT_EQ(report(list), "a: -0.5\nTotal time: -0.5\n");
}

TEST(TimeList, PrintReturnsItsStream) {
  use_stamps({0});
  TimeList list(&fake_clock);
  list.restart();
  std::ostringstream out;
  EXPECT_EQ(&list.print(out), &out);
}

TEST(TimeList, EmptyListThrowsPlainString) {
  TimeList list(&fake_clock);
  std::ostringstream out;
  try {
    list.print(out);
    FAIL() << "no exception";
  } catch (const char* message) {
    EXPECT_STREQ(message, "Time list is empty");
  }
  EXPECT_EQ(out.str(), "");
}

TEST(TimeList, WallClockDoesNotRunBackwards) {
  const int32_t a = TimeList::wall_clock_ms();
  const int32_t b = TimeList::wall_clock_ms();
  EXPECT_GE(b, a);
}

}  // namespace
