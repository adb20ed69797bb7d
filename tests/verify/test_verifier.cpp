#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "csr_view.h"
#include "random_game.h"
#include "reference_solver.h"
#include "verify/verifier.h"

namespace {

const uint32_t none = 0xFFFFFFFFu;

std::string verify(const TestGame& game, const std::vector<uint8_t>& winner, const std::vector<uint32_t>& strategy) {
  const CsrView csr(game);
  return verify_solution(csr.view(), winner.data(), strategy.data());
}

// Nodes as (colour, owner, successors); identifiers are 10 + index so that
// messages show identifiers, not indices.
TestGame small_game(const std::vector<std::pair<std::pair<uint32_t, uint8_t>, std::vector<uint32_t>>>& nodes) {
  TestGame g;
  for (const auto& node : nodes) {
    const uint32_t v = g.add_node(node.first.first, node.first.second, node.second);
    g.id[v] = 10 + v;
  }
  return g;
}

struct Case {
  const char* name;
  TestGame game;
  std::vector<uint8_t> winner;
  std::vector<uint32_t> strategy;
  std::string expected;
};

TEST(Verifier, RejectsEachKindOfFaultWithItsOwnMessage) {
  // 0: Even, colour 2, loops; 1: Odd, colour 1, loops. Each wins its own node.
  const TestGame loops = small_game({{{2, 0}, {0}}, {{1, 1}, {1}}});
  // 0 (Even, 0) chooses 1 (Odd, 3) or 2 (Even, 4); both lead back to 0. Even
  // wins everything by going to 2.
  const TestGame choice = small_game({{{0, 0}, {1, 2}}, {{3, 1}, {0}}, {{4, 0}, {0}}});
  // 0 (Odd, 6) -> 1; 1 (Odd, 5) -> 0 or 2; 2 (Even, 2) -> 1. The outer cycle
  // is Even's (6), the inner one 1-2 is Odd's (5): Odd wins everything.
  const TestGame nested = small_game({{{6, 1}, {1}}, {{5, 1}, {0, 2}}, {{2, 0}, {1}}});
  // 0 (Even, 2) -> 0 or 1; 1 (Odd, 1) -> 1 or 0. Each wins its own node.
  const TestGame pair = small_game({{{2, 0}, {0, 1}}, {{1, 1}, {1, 0}}});

  const std::vector<Case> cases = {
      {"no winner", loops, {0, 2}, {0, none}, "node 11 has no winner: its mark 2 is neither 0 (Even) nor 1 (Odd)"},
      {"flipped winner", loops, {1, 1}, {none, 1}, "Even wins a cycle in Odd's region through node 10 (colour 2)"},
      {"owner without strategy", loops, {0, 1}, {0, none}, "node 11 is won by its owner Odd but has no strategy"},
      {"successor not an edge",
       choice,
       {0, 0, 0},
       {0, 0, 0},
       "node 10: its strategy successor 10 is not one of its successors"},
      {"successor not a node", choice, {0, 0, 0}, {7, 0, 0}, "node 10: its strategy successor (index 7) is not a node"},
      {"strategy leaves the region",
       pair,
       {0, 1},
       {1, 1},
       "node 10: the strategy of Even leaves Even's region to node 11"},
      {"opponent's edge leaves the region",
       pair,
       {1, 0},
       {none, none},
       "node 10: Even escapes Odd's region along the edge to node 11"},
      {"strategy closes a cycle of the opponent",
       choice,
       {0, 0, 0},
       {1, none, 0},
       "Odd wins a cycle in Even's region through node 11 (colour 3)"},
      {"opponent's cycle below the top colour",
       nested,
       {0, 0, 0},
       {none, none, 1},
       "Odd wins a cycle in Even's region through node 11 (colour 5)"},
  };
  for (const Case& c : cases) EXPECT_EQ(verify(c.game, c.winner, c.strategy), c.expected) << c.name;

  // The same games solved correctly pass.
  EXPECT_EQ(verify(loops, {0, 1}, {0, 1}), "");
  EXPECT_EQ(verify(choice, {0, 0, 0}, {2, none, 0}), "");
  EXPECT_EQ(verify(nested, {1, 1, 1}, {1, 2, none}), "");
  EXPECT_EQ(verify(pair, {0, 1}, {0, 1}), "");
  EXPECT_EQ(verify(TestGame{}, {}, {}), "");
}

std::vector<RandomGameParams> seeded_games() {
  std::vector<RandomGameParams> games;
  for (uint64_t seed = 1; seed <= 120; ++seed) {
    RandomGameParams p;
    p.seed = seed;
    p.n_nodes = 1 + static_cast<uint32_t>(seed * 7 % 300);
    p.max_color = seed % 4 == 0 ? 1 : static_cast<uint32_t>(seed * 13 % 40);
    p.min_out = 1;
    p.max_out = 1 + static_cast<uint32_t>(seed % 5);
    p.self_loop_probability = seed % 3 == 0 ? 0.2 : 0.0;
    p.ids = seed % 2 == 0 ? IdMode::sparse : IdMode::dense;
    if (seed % 10 == 7) p.max_color = 0xFFFFFFFFu;  // colours of the full 32-bit range
    games.push_back(p);
  }
  return games;
}

// The reference's solutions hold, and no single flipped winner does: winning
// regions are unique, so no strategy can make a flipped one pass.
TEST(Verifier, AcceptsReferenceSolutionsAndRejectsEveryFlippedNode) {
  for (const RandomGameParams& p : seeded_games()) {
    const TestGame game = random_game(p);
    const ReferenceSolution ref = reference_solve_with_strategy(game);
    ASSERT_EQ(ref.winner, reference_solve(game)) << describe(p);
    ASSERT_EQ(verify(game, ref.winner, ref.strategy), "") << describe(p);
    const uint32_t v = static_cast<uint32_t>(p.seed * 31 % game.size());
    std::vector<uint8_t> flipped = ref.winner;
    flipped[v] ^= 1;
    // The flipped node, where its owner now wins it, plays its first edge.
    std::vector<uint32_t> strategy = ref.strategy;
    strategy[v] = game.owner[v] == flipped[v] ? game.succ[v][0] : none;
    EXPECT_NE(verify(game, flipped, strategy), "") << describe(p) << " node " << v;
  }
}

// With every node given to Even and Even's nodes held to one arbitrary edge,
// the solution holds exactly when Odd wins no play of the remaining one-player
// game, which the reference decides.
TEST(Verifier, CycleCheckAgreesWithTheReferenceOnOnePlayerGames) {
  int rejected = 0;
  for (RandomGameParams p : seeded_games()) {
    // Fewer odd colours and often only Even's nodes, so that both answers
    // come up.
    if (p.seed % 2 == 0) p.owners = OwnerMode::all_even;
    TestGame game = random_game(p);
    for (uint32_t v = 0; v < game.size(); ++v)
      game.color[v] = (game.color[v] & ~1u) | ((v * 7 + p.seed) % (3 + p.seed % 8) == 0 ? 1u : 0u);
    TestGame restricted = game;
    std::vector<uint32_t> strategy(game.size(), none);
    for (uint32_t v = 0; v < game.size(); ++v) {
      if (game.owner[v] != 0) continue;
      strategy[v] = game.succ[v][(v + p.seed) % game.succ[v].size()];
      restricted.succ[v] = {strategy[v]};
    }
    const std::vector<uint8_t> odd_wins = reference_solve(restricted);
    bool even_everywhere = true;
    for (uint8_t w : odd_wins) even_everywhere = even_everywhere && w == 0;
    const std::string result = verify(game, std::vector<uint8_t>(game.size(), 0), strategy);
    EXPECT_EQ(result.empty(), even_everywhere) << describe(p) << ": " << result;
    rejected += result.empty() ? 0 : 1;
  }
  // Both answers occur, so the comparison means something.
  EXPECT_GT(rejected, 20);
  EXPECT_LT(rejected, 100);
}

}  // namespace
