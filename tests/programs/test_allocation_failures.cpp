// Every device allocation of every solver made to fail in turn, through the
// entry point in process: each failure is caught and named, nothing leaks,
// nothing is allocated after it, and no regions are printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "common/platform.h"
#include "entry_runner.h"
#include "program_runner.h"
#include "random_game.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

// A game that takes every solver through several passes: two-sided SPM
// lifts over a few iterations, the recursion descends more than once.
TestGame walk_game() {
  RandomGameParams p;
  p.n_nodes = 14;
  p.max_color = 5;
  p.max_out = 3;
  p.self_loop_probability = 0.2;
  p.seed = 4242;
  return random_game(p);
}

// The regions as the program of alg_id prints them; the game's identifiers
// are its indices.
std::string regions_of(const std::vector<uint8_t>& winner, unsigned int alg_id) {
  const bool arena = alg_id == 20;
  std::string even = arena ? "Nodes won by Even: \n\n" : "Won by Even:\n";
  std::string odd = arena ? "Nodes won by Odd: \n\n" : "Won by Odd:\n";
  for (uint32_t v = 0; v < winner.size(); ++v) (winner[v] == 0 ? even : odd) += std::to_string(v) + ", ";
  std::string text = even + "\n\n" + odd + "\n\n";
  if (arena) text += "This should be empty: \n\n\n\n";
  return text;
}

const char* const csr_buffers[] = {"succ_begin",  "succ_array", "n_succ",    "pred_begin",
                                   "pred_array",  "n_pred",     "color",     "owner",
                                   "work_list",   "work_list_next", "work_list_permutation", "go_on"};

// A failed rank count of the range solver: these two lines end the run with
// status -1 instead of the caught message.
const std::string range_count_failure = "Korrel::count_ranks: ";
const std::string range_count_hint =
    "(In case of to little memory, try to compile Korrel with #define PARALLEL_COUNT 0.)\n";

// The texts a failed device allocation of the solver alg_id carries, before
// the runtime's text: every one of them is met in the walk.
std::set<std::string> allocation_texts(unsigned int alg_id) {
  const std::string alloc_array_text = "alloc_array<>: Error allocating memory on the device.\n";
  const std::set<std::string> recursion = {"Error allocating active_nodes", "Error allocating attr_array",
                                           "Error allocating game_color",
                                           "device_vector<>: Error allocating memory on the device.\n"};
  std::set<std::string> texts;
  if (alg_id == 20) {
    // The arena and the preprocessing; the range solve, where a failed rank
    // count names itself.
    return {alloc_array_text, "device_vector<>: Error allocating memory on the device.\n",
            range_count_failure + alloc_array_text};
  }
  if (alg_id == 11) {
    texts = recursion;
    texts.insert(alloc_array_text);  // the arena's arrays and the changed byte
    return texts;
  }
  for (const char* b : csr_buffers) texts.insert(std::string("error allocating ") + b);
  if (alg_id == 9) {
    texts.insert(recursion.begin(), recursion.end());
  } else {
    texts.insert({alloc_array_text, "error allocating rank_counter", "error allocating valuation",
                  "error allocating valuation_next"});
  }
  return texts;
}

class AllocationFailures : public ::testing::TestWithParam<unsigned int> {
 protected:
  void SetUp() override { hostrt::reset(); }
  void TearDown() override { hostrt::reset(); }
};

TEST_P(AllocationFailures, EachOneIsCaughtNamedAndLeavesNothingBehind) {
  const unsigned int alg = GetParam();
  const TestGame game = walk_game();
  const std::string file = write_temp_file(to_pgsolver(game));

  // A clean run: the right regions, and the number of allocations to walk.
  const Captured clean = run_entry(file, alg);
  ASSERT_EQ(clean.status, 0);
  ASSERT_EQ(clean.err.find("Caught exception"), std::string::npos) << clean.err;
  const std::string regions = regions_of(reference_solve(game), alg);
  ASSERT_GE(clean.out.size(), regions.size());
  ASSERT_EQ(clean.out.substr(clean.out.size() - regions.size()), regions);
  ASSERT_EQ(hostrt::live_allocations(), 0u);
  const std::size_t total = hostrt::allocation_count();
  ASSERT_GE(total, 5u);

  const std::set<std::string> texts = allocation_texts(alg);
  std::set<std::string> seen;
  const std::string caught = "Caught exception: ";
  const std::string oom = "out of memory\n";
  for (std::size_t k = 1; k <= total; ++k) {
    SCOPED_TRACE("alg " + std::to_string(alg) + ", allocation " + std::to_string(k) + " of " +
                 std::to_string(total));
    hostrt::reset();
    hostrt::fail_allocation(k);
    const Captured c = run_entry(file, alg);
    // The failure ends the solve: nothing is allocated after it, nothing stays.
    EXPECT_EQ(hostrt::allocation_count(), k);
    EXPECT_EQ(hostrt::live_allocations(), 0u);
    EXPECT_EQ(c.out.find("Won by"), std::string::npos) << c.out;
    EXPECT_EQ(c.out.find("won by"), std::string::npos) << c.out;

    const bool rank_count = alg == 20 && c.err.find(range_count_failure) != std::string::npos;
    const std::string& lead = rank_count ? range_count_failure : caught;
    EXPECT_EQ(c.status, rank_count ? -1 : 1);
    const std::size_t at = c.err.find(lead);
    ASSERT_NE(at, std::string::npos) << c.err;
    const std::size_t text_start = rank_count ? at : at + caught.size();
    const std::size_t end = c.err.find(oom, text_start);
    ASSERT_NE(end, std::string::npos) << c.err;
    const std::string text = c.err.substr(text_start, end - text_start);
    EXPECT_EQ(texts.count(text), 1u) << "unnamed failure: " << text;
    if (alg < 10 && k <= 12) {
      EXPECT_EQ(text, std::string("error allocating ") + csr_buffers[k - 1]);
    }
    seen.insert(text);

    // Only the time report follows (after the hint of a failed rank count),
    // and it is complete.
    std::string rest = c.err.substr(end + oom.size());
    if (rank_count) {
      EXPECT_EQ(rest.rfind(range_count_hint, 0), 0u) << rest;
      rest = rest.substr(std::min(rest.size(), range_count_hint.size()));
    }
    const std::string report = mask_times(rest);
    // The range solver stamps the set-up only once the game is on the device.
    const std::string head = alg == 20 ? "time 1 : \n<t>\n" : "time 1 : \n<t>\nsetting up gpu_arena took: <t>\n";
    EXPECT_EQ(report.rfind(head, 0), 0u) << report;
    const std::string last = "Total time: <t>\n";
    EXPECT_TRUE(report.size() >= last.size() && report.substr(report.size() - last.size()) == last) << report;
  }
  // The solver's own buffers were among those walked, not only the game's.
  EXPECT_EQ(seen, texts);
}

INSTANTIATE_TEST_SUITE_P(EverySolver, AllocationFailures, ::testing::Values(0u, 1u, 2u, 3u, 4u, 5u, 9u, 11u, 20u),
                         [](const ::testing::TestParamInfo<unsigned int>& info) {
                           return "alg" + std::to_string(info.param);
                         });

}  // namespace
