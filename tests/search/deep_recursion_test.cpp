// The deepest recursions the search can make, run to their end: alpha_beta
// 63 plies down, and the threat check through a ladder of forced blocks.
// On Windows these run on the main thread with the stack the executable
// reserves, as in pbrain-quorlith.
#include <gtest/gtest.h>

#include "search/search_helpers.h"
#include "tests/common/deep_positions.h"

namespace quorlith::search_test {
namespace {

std::unique_ptr<Engine> game_from_stones(int size, const test_support::Stones& stones) {
  auto e = std::make_unique<Engine>();
  e->start_game(size);
  for (const auto& [x, y] : stones) e->place_stone(x, y);
  return e;
}

// Nothing is ever forced on the dead board, so the first line of a depth-63
// root search goes all the way down: the node at ply 62 records its best
// move once its first child (at ply 63, the horizon) has returned. The clock
// then ends the search, and every stone comes back off the board.
TEST(DeepRecursion, SixtyThreePliesDown) {
  auto e = game_from_stones(15, test_support::dead_board(15));
  ASSERT_EQ(e->threat_check(), 0);
  const GameState before(*e);
  reset_search(*e);
  e->deadline_ms = clock_ms() + 100;
  e->alpha_beta(MAX_PLY - 1, true, -ROOT_BOUND, ROOT_BOUND);
  EXPECT_TRUE(e->stop);
  EXPECT_NE(e->pv[MAX_PLY - 2][MAX_PLY - 2].x, 0) << "the line never reached ply 62";
  EXPECT_TRUE(GameState(*e) == before);
  EXPECT_EQ(e->ply, 0);
  EXPECT_EQ(e->verify(), "");
}

// The ladder: 2 * LADDER_RUNGS + 1 trial stones, each one recursion deeper,
// prove the win in 2 * LADDER_RUNGS + 3 plies.
TEST(DeepRecursion, LongestForcingLadder) {
  auto e = game_from_stones(32, test_support::forcing_ladder());
  const GameState before(*e);
  e->nodes = 0;
  EXPECT_EQ(e->threat_check(), 2 * test_support::LADDER_RUNGS + 3);
  EXPECT_EQ(e->nodes, 2 * test_support::LADDER_RUNGS + 1) << "trial stones";
  EXPECT_TRUE(GameState(*e) == before);

  // The search answers with the first block at once.
  const Answer a = best_move_at_depth(*e, MAX_PLY - 1);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(a.x, test_support::LADDER_ORIGIN.first);
  EXPECT_EQ(a.y, test_support::LADDER_ORIGIN.second);
}

}  // namespace
}  // namespace quorlith::search_test
