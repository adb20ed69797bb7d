// Every built program, run as a process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cudaPGSolver/algorithms.h"
#include "program_runner.h"
#include "test_game.h"

namespace {

// "name:alg_id" entries separated by ';', as the build lists its programs.
std::vector<std::pair<std::string, unsigned>> programs() {
  std::vector<std::pair<std::string, unsigned>> list;
  std::stringstream in(PG_PROGRAM_LIST);
  std::string entry;
  while (std::getline(in, entry, ';')) {
    const std::size_t colon = entry.find(':');
    list.emplace_back(entry.substr(0, colon), static_cast<unsigned>(std::stoul(entry.substr(colon + 1))));
  }
  return list;
}

std::string binary(const std::string& name) { return std::string(PG_BIN_DIR) + "/" + name; }

TEST(Programs, EachNamesItselfInItsUsageLineAndExitsWithMinusOne) {
  const auto list = programs();
  ASSERT_EQ(list.size(), 11u);
  for (const auto& p : list) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
      const ProgramResult r = run_program(binary(p.first), args);
      EXPECT_EQ(r.exit_status, 255) << p.first;
      EXPECT_EQ(r.out, "") << p.first;
      EXPECT_EQ(r.err, "Usage: " + p.first + " [PGSolverFile]\n") << p.first;
    }
  }
}

// A run that reads no game ends with 1, a solved one with 0, in every program.
TEST(Programs, EachEndsAFailedReadWithOneAndASolveWithZero) {
  const std::string solvable = write_temp_file("parity 1;\n0 2 0 0;\n1 1 1 1;\n");
  const std::string malformed = write_temp_file("0 2 0 1;\n1 x;\n");
  for (const auto& p : programs()) {
    EXPECT_EQ(run_program(binary(p.first), {"/nonexistent/game.pg"}).exit_status, 1) << p.first;
    EXPECT_EQ(run_program(binary(p.first), {malformed}).exit_status, 1) << p.first;
    EXPECT_EQ(run_program(binary(p.first), {solvable}).exit_status, 0) << p.first;
  }
}

// The build's list of programs and the algorithm table say the same: every
// program is the row of its alg_id, and every row has its program.
TEST(Programs, MirrorTheAlgorithmTable) {
  const auto list = programs();
  ASSERT_EQ(list.size(), static_cast<std::size_t>(algorithms_end() - algorithms_begin()));
  for (const auto& p : list) {
    const Algorithm* a = find_algorithm(p.second);
    ASSERT_NE(a, nullptr) << p.first;
    EXPECT_EQ(p.first, a->program);
    EXPECT_EQ(find_algorithm(std::string(a->name)), a);
    EXPECT_EQ(road_of(p.second), a->road);
    EXPECT_EQ(a->banner != nullptr, a->road != Road::range) << a->name;
    EXPECT_EQ(a->solve != nullptr, a->road == Road::csr) << a->name;
    EXPECT_EQ(a->arena_solve != nullptr, a->road == Road::arena) << a->name;
  }
}

}  // namespace
