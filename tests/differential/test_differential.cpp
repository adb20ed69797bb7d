// Every built solver program, run as a process on seeded games, against the
// reference solver. Only host code: the programs are whatever the build made
// them, so the same tests check the host backend and, built with nvcc, the GPU.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "generated_game.h"
#include "generators.h"
#include "program_runner.h"
#include "random_game.h"
#include "reference_solver.h"
#include "test_game.h"

namespace {

struct Program {
  std::string name;
  unsigned int alg_id;
};

// "name:alg_id" entries separated by ';', as the build lists its programs.
std::vector<Program> programs() {
  std::vector<Program> list;
  std::stringstream in(PG_PROGRAM_LIST);
  std::string entry;
  while (std::getline(in, entry, ';')) {
    const std::size_t colon = entry.find(':');
    list.push_back({entry.substr(0, colon), static_cast<unsigned int>(std::stoul(entry.substr(colon + 1)))});
  }
  return list;
}

// The attractor-based solvers (Zielonka's on both roads, tangle learning)
// also take the large games with many colours.
bool is_recursive(const Program& p) {
  return p.alg_id == 9 || p.alg_id == 11 || p.alg_id == 12 || p.alg_id == 13;
}

struct Case {
  std::string name;
  TestGame game;
  bool for_progress_measures;  // small enough in colours and size for the SPM solvers
};

std::vector<Case> make_cases() {
  std::vector<Case> list;
  for (uint64_t seed = 1; seed <= 4; ++seed) {
    RandomGameParams p;
    p.n_nodes = 120;
    p.max_color = 4;
    p.min_out = 1;
    p.max_out = 4;
    p.self_loop_probability = 0.2;
    p.ids = seed % 2 == 0 ? IdMode::shuffled : IdMode::sparse;
    p.seed = seed;
    list.push_back({describe(p), random_game(p), true});
  }
  list.push_back({"pggen random 150 4 1 3", from_generated(pggen::random_game(150, 4, 1, 3, 7)), true});
  list.push_back({"pggen steady 150 4 2 4", from_generated(pggen::steady_game(150, 4, 2, 4, 7)), true});
  list.push_back({"pggen ladder 30", from_generated(pggen::ladder_game(30)), true});
  list.push_back({"pggen recursiveladder 5", from_generated(pggen::recursive_ladder_game(5)), true});
  list.push_back({"pggen jurdzinski 3 3", from_generated(pggen::jurdzinski_game(3, 3)), true});
  list.push_back({"pggen clique 9", from_generated(pggen::clique_game(9)), true});
  list.push_back({"pggen sccs 300 25 4", from_generated(pggen::scc_game(300, 25, 4, 7)), true});
  // Many colours and large enough for parallel launches: recursive solvers only.
  list.push_back({"pggen random 30000 200 1 4", from_generated(pggen::random_game(30000, 200, 1, 4, 3)), false});
  list.push_back({"pggen sccs 30000 500 4", from_generated(pggen::scc_game(30000, 500, 4, 3)), false});
  return list;
}

// The games with their reference answers, made once for all programs.
const std::vector<std::pair<Case, std::vector<uint8_t>>>& cases() {
  static const std::vector<std::pair<Case, std::vector<uint8_t>>> solved = [] {
    std::vector<std::pair<Case, std::vector<uint8_t>>> list;
    for (Case& c : make_cases()) {
      std::vector<uint8_t> winner = reference_solve(c.game);
      list.emplace_back(std::move(c), std::move(winner));
    }
    return list;
  }();
  return solved;
}

// The winners a program printed, by node index; empty when no regions were
// found. "Won by Even:" lists indices; the range solver's "Nodes won by Even:"
// lists the file's identifiers.
std::vector<uint8_t> printed_winners(const std::string& out, const TestGame& g, std::string& problem) {
  const uint32_t n = g.size();
  std::vector<uint8_t> winner(n, 2);
  std::string even_head = "\nWon by Even:\n", odd_head = "\nWon by Odd:\n";
  bool by_id = false;
  const std::string text = "\n" + out;
  if (text.find("\nNodes won by Even: \n") != std::string::npos) {
    even_head = "\nNodes won by Even: \n";
    odd_head = "\nNodes won by Odd: \n";
    by_id = true;
  }
  const std::size_t e = text.find(even_head);
  const std::size_t o = e == std::string::npos ? e : text.find(odd_head, e);
  if (o == std::string::npos) {
    problem = "no regions in the output";
    return {};
  }
  std::unordered_map<uint32_t, uint32_t> index_of;
  for (uint32_t v = 0; v < n; ++v) index_of[by_id ? g.id[v] : v] = v;
  auto read = [&](std::size_t from, std::size_t to, uint8_t player) {
    std::stringstream list(text.substr(from, to - from));
    std::string item;
    while (list >> item) {
      if (!item.empty() && item.back() == ',') item.pop_back();
      const auto found = index_of.find(static_cast<uint32_t>(std::stoul(item)));
      if (found == index_of.end() || winner[found->second] != 2) {
        problem = "unknown or repeated node " + item;
        return;
      }
      winner[found->second] = player;
    }
  };
  read(e + even_head.size(), o, 0);
  std::size_t end = by_id ? text.find("\nThis should be empty: \n", o) : std::string::npos;
  read(o + odd_head.size(), end == std::string::npos ? text.size() : end, 1);
  if (problem.empty() && std::count(winner.begin(), winner.end(), 2) != 0) problem = "a node is in no region";
  return winner;
}

class Differential : public testing::TestWithParam<Program> {};

TEST_P(Differential, RegionsAgreeWithTheReferenceSolver) {
  const Program& program = GetParam();
  const std::string path = std::string(PG_BIN_DIR) + "/" + program.name;
  int checked = 0;
  for (const auto& solved : cases()) {
    const Case& c = solved.first;
    const std::vector<uint8_t>& expected = solved.second;
    if (!c.for_progress_measures && !is_recursive(program)) continue;
    const ProgramResult r = run_program(path, {write_temp_file(to_pgsolver(c.game), "differential")});
    if (r.err.find("Caught exception: Unkown alg_id") != std::string::npos)
      GTEST_SKIP() << program.name << " is not built yet (Unkown alg_id)";
    ASSERT_EQ(r.exit_status, 0) << c.name << "\n" << r.err;
    ASSERT_EQ(r.err.find("Caught exception"), std::string::npos) << c.name << "\n" << r.err;
    std::string problem;
    const std::vector<uint8_t> winner = printed_winners(r.out, c.game, problem);
    ASSERT_EQ(problem, "") << c.name;
    uint32_t wrong = 0, first_wrong = 0;
    for (uint32_t v = 0; v < c.game.size(); ++v) {
      if (winner[v] != expected[v] && wrong++ == 0) first_wrong = v;
    }
    EXPECT_EQ(wrong, 0u) << c.name << ": " << wrong << " nodes differ, first node " << first_wrong;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

INSTANTIATE_TEST_SUITE_P(AllPrograms, Differential, testing::ValuesIn(programs()),
                         [](const testing::TestParamInfo<Program>& info) { return info.param.name; });

}  // namespace
