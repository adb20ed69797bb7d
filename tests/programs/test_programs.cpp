// Every built program, run as a process.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "program_runner.h"

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
  ASSERT_EQ(list.size(), 10u);
  for (const auto& p : list) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
      const ProgramResult r = run_program(binary(p.first), args);
      EXPECT_EQ(r.exit_status, 255) << p.first;
      EXPECT_EQ(r.out, "") << p.first;
      EXPECT_EQ(r.err, "Usage: " + p.first + " [PGSolverFile]\n") << p.first;
    }
  }
}

}  // namespace
