#include "pgsolve_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

ProgramResult run_pgsolve(const std::vector<std::string>& args, const std::string& input_path) {
  return run_program(PG_PGSOLVE_PATH, args, input_path);
}

std::map<uint32_t, uint8_t> solution_winners(const std::string& text) {
  std::map<uint32_t, uint8_t> winners;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, 9, "paritysol") == 0) continue;
    std::istringstream fields(line);
    uint32_t id = 0;
    unsigned winner = 2;
    if (!(fields >> id >> winner) || winner > 1) {
      ADD_FAILURE() << "unreadable solution line: " << line;
      continue;
    }
    winners[id] = static_cast<uint8_t>(winner);
  }
  return winners;
}

std::string compressed_with(const std::string& tool, const std::string& path) {
  const ProgramResult r = run_program("/usr/bin/" + tool, {"-c", path});
  EXPECT_EQ(r.exit_status, 0) << tool << ": " << r.err;
  return r.out;
}
