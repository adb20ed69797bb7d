// Completing strategies by solving a region's subgame, in process.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pgsolve/strategy_completion.h"
#include "verify/verifier.h"

namespace {

// 0 (Even, 4) -> 1, 2; 1 (Odd, 3) -> 0, 3; 2 (Even, 2) -> 2; 3 (Odd, 1) -> 3, 1.
// Even wins 0 and 2 (0 plays 2), Odd wins 1 and 3 (1 plays 3).
const char* const game_text = "0 4 0 1,2;\n1 3 1 0,3;\n2 2 0 2;\n3 1 1 3,1;\n";

void load(LoadedGame& loaded) {
  GameText text;
  const std::size_t length = std::strlen(game_text);
  text.text.reset(new char[length + 1]);
  std::memcpy(text.text.get(), game_text, length + 1);
  text.length = length;
  ASSERT_TRUE(load_game(std::move(text), loaded));
}

TEST(StrategyCompletion, WinningStrategiesForRegionsThatHaveNone) {
  LoadedGame loaded;
  load(loaded);
  const std::vector<uint8_t> winner = {0, 1, 0, 1};
  std::vector<uint32_t> strategy(4, no_strategy);
  EXPECT_EQ(complete_strategies(loaded, winner, strategy), 2);
  EXPECT_EQ(strategy[0], 2u);
  EXPECT_EQ(strategy[1], 3u);
  EXPECT_EQ(verify_solution(loaded.verifier_view(), winner.data(), strategy.data()), "");
  // Regions with every strategy in place are left alone.
  std::vector<uint32_t> given = strategy;
  EXPECT_EQ(complete_strategies(loaded, winner, given), 0);
  EXPECT_EQ(given, strategy);
}

TEST(StrategyCompletion, WinnersThatDoNotHoldAreRefused) {
  LoadedGame loaded;
  load(loaded);
  const struct {
    std::vector<uint8_t> winner;
    std::string message;
  } cases[] = {
      // Even's region {0}: both edges of node 0 leave it.
      {{0, 1, 1, 1}, "node 0 can leave its region: the winners do not hold"},
      // Odd's region {2, 3}: Even keeps node 2 on its own loop of colour 2.
      {{0, 0, 1, 1}, "the region of Odd is not won by Odd at node 2: the winners do not hold"},
      // Even's region {0, 2, 3}: Odd keeps node 3 on its own loop of colour 1.
      {{0, 1, 0, 0}, "the region of Even is not won by Even at node 3: the winners do not hold"},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> strategy(4, no_strategy);
    try {
      complete_strategies(loaded, c.winner, strategy);
      ADD_FAILURE() << c.message << ": not refused";
    } catch (const std::string& message) {
      EXPECT_EQ(message, c.message);
    }
  }
}

}  // namespace
