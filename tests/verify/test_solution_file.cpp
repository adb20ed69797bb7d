#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "csr_view.h"
#include "random_game.h"
#include "reference_solver.h"
#include "verify/solution_file.h"
#include "verify/verifier.h"

namespace {

const uint32_t none = 0xFFFFFFFFu;

// 0 (id 7, Even, colour 2) -> 0, 1; 1 (id 3, Odd, colour 1) -> 1, 0;
// 2 (id 12, Even, colour 1) -> 1. Even wins 7, Odd wins 3 and 12.
TestGame three_nodes() {
  TestGame g;
  g.add_node(2, 0, {0, 1});
  g.add_node(1, 1, {1, 0});
  g.add_node(1, 0, {1});
  g.id = {7, 3, 12};
  return g;
}

std::string written(const TestGame& game, const std::vector<uint8_t>& winner, const std::vector<uint32_t>& strategy) {
  const CsrView csr(game);
  std::ostringstream out;
  write_solution(out, csr.view(), winner.data(), strategy.data());
  return out.str();
}

std::string read(const TestGame& game, const std::string& text, Solution& solution) {
  const CsrView csr(game);
  std::istringstream in(text);
  return read_solution(in, csr.view(), solution);
}

TEST(SolutionFile, WritesOneLinePerNodeWithTheWinnersStrategy) {
  // The strategy entry of node 12, whose owner loses it, is not written.
  EXPECT_EQ(written(three_nodes(), {0, 1, 1}, {0, 1, 1}), "paritysol 12;\n7 0 7;\n3 1 3;\n12 1;\n");
  EXPECT_EQ(written(TestGame{}, {}, {}), "paritysol 0;\n");
}

TEST(SolutionFile, ReadsByIdentifierInAnyOrder) {
  Solution s;
  ASSERT_EQ(read(three_nodes(), "12 1;\n\n  7 0 3 ;3 1 3;\n", s), "");
  EXPECT_EQ(s.winner, (std::vector<uint8_t>{0, 1, 1}));
  // A successor on a node its owner loses (12) would be ignored; 7 plays 3.
  EXPECT_EQ(s.strategy, (std::vector<uint32_t>{1, 1, none}));
  ASSERT_EQ(read(three_nodes(), "paritysol 12;\n7 0 7;\n3 1 3;\n12 1 3;\n", s), "");
  EXPECT_EQ(s.strategy, (std::vector<uint32_t>{0, 1, none}));
}

TEST(SolutionFile, ReportsEachFaultOnOneLine) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"7 0 7;\n3 1 3;\n", "solution: node 12 is missing"},
      {"7 0 7;\n3 1 3;\n12 1;\n3 1;\n", "solution line 4: node 3 is listed twice"},
      {"7 0 7;\n5 1;\n", "solution line 2: unknown node 5"},
      {"7 0 7;\n99999999999 1;\n", "solution line 2: unknown node 4294967296"},
      {"7 0 8;\n", "solution line 1: the successor 8 of node 7 is an unknown node"},
      {"7 2;\n", "solution line 1: the winner of node 7 is neither 0 nor 1"},
      {"7 0 7\n3 1;\n", "solution line 1 is malformed: expected \"id winner [successor];\""},
      {"7 0 7;\n3 x;\n", "solution line 2 is malformed: expected \"id winner [successor];\""},
      {"7 0 7 3;\n", "solution line 1 is malformed: expected \"id winner [successor];\""},
      {"7 0 7;\nparitysol 12;\n", "solution line 2 is malformed: expected \"id winner [successor];\""},
      {"paritysol;\n7 0 7;\n", "solution line 1 is malformed: expected \"paritysol N;\""},
  };
  for (const auto& c : cases) {
    Solution s;
    EXPECT_EQ(read(three_nodes(), c.text, s), c.expected) << c.text;
  }
}

// Written solutions read back unchanged and still pass the verifier, with
// identifiers dense, shuffled or spread over the 32-bit range.
TEST(SolutionFile, RoundTripOfReferenceSolutions) {
  for (uint64_t seed = 1; seed <= 30; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed * 11 % 200);
    p.max_color = static_cast<uint32_t>(seed % 9);
    p.max_out = 4;
    p.ids = static_cast<IdMode>(seed % 3);
    const TestGame game = random_game(p);
    const ReferenceSolution ref = reference_solve_with_strategy(game);
    Solution s;
    ASSERT_EQ(read(game, written(game, ref.winner, ref.strategy), s), "") << describe(p);
    EXPECT_EQ(s.winner, ref.winner) << describe(p);
    EXPECT_EQ(s.strategy, ref.strategy) << describe(p);
    const CsrView csr(game);
    EXPECT_EQ(verify_solution(csr.view(), s.winner.data(), s.strategy.data()), "") << describe(p);
  }
}

}  // namespace
