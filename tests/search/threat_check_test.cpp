// The forced-threat check on hand-built positions. Each case states the
// result, how many trial stones the check must place to reach it (rules that
// decide from the counts alone place none), and that the engine is exactly as
// it was afterwards.
#include <gtest/gtest.h>

#include <algorithm>

#include "search/scan.h"
#include "search/search_helpers.h"

namespace quorlith::search_test {
namespace {

// Runs the check and compares result, trial stones and the state after.
void expect_threat(Position& p, int32_t expected, int32_t trial_stones) {
  Engine& e = p.engine();
  const GameState before(e);
  e.nodes = 0;
  EXPECT_EQ(e.threat_check(), expected);
  EXPECT_EQ(e.nodes, trial_stones) << "trial stones placed";
  EXPECT_TRUE(GameState(e) == before) << "the check left the position changed";
  EXPECT_EQ(e.verify(), "");
}

bool can_make_four(const Engine& e, int side) {
  return e.rating_count[side][RATING_FOUR] + e.rating_count[side][RATING_FOUR_PLUS] +
             e.rating_count[side][RATING_FOUR_THREE] + e.rating_count[side][RATING_OPEN_FOUR] >
         0;
}

TEST(ThreatCheck, QuietPositionIsNotForced) {
  auto e = game_from_moves(15, "7,7 8,8 6,8 8,6 7,9 7,6");
  e->nodes = 0;
  EXPECT_EQ(e->threat_check(), 0);
  EXPECT_EQ(e->nodes, 0);
}

TEST(ThreatCheck, OwnFivePointComesBeforeTheOpponentsFive) {
  Position p(15, {".......",
                  ".xxxx..",
                  ".......",
                  ".oooo.."},
             3, 3);
  ASSERT_GT(p->rating_count[p.opp()][RATING_FIVE], 0);
  expect_threat(p, 1, 0);
}

TEST(ThreatCheck, TwoEnemyFivePointsLoseWithoutTrial) {
  Position p(20, {".oooo.",
                  "......",
                  "......",
                  "......",
                  "......",
                  "x.....x",
                  "......",
                  "......",
                  "...x.....x"},
             2, 2);
  ASSERT_EQ(p->rating_count[p.opp()][RATING_FIVE], 2);
  ASSERT_EQ(p->rating_count[p.me()][RATING_FIVE], 0);
  expect_threat(p, -2, 0);
}

TEST(ThreatCheck, SingleBlockThatLeavesNothingIsZero) {
  Position p(15, {"xoooo.",
                  "......",
                  "......",
                  "x....x",
                  "..x..."},
             3, 3);
  ASSERT_EQ(p->rating_count[p.opp()][RATING_FIVE], 1);
  expect_threat(p, 0, 1);
}

TEST(ThreatCheck, OpenFourWinsOnPlyThreeEvenAgainstFourCells) {
  Position p(15, {"..xxx...",
                  "........",
                  "........",
                  "xooo....",
                  "........",
                  "......o."},
             3, 3);
  ASSERT_GT(p->rating_count[p.me()][RATING_OPEN_FOUR], 0);
  ASSERT_TRUE(can_make_four(p.engine(), p.opp()));
  expect_threat(p, 3, 0);
}

// The four-three at A: a four along the row and an open three down the
// column. Without a four of its own the opponent cannot answer it.
TEST(ThreatCheck, FourThreeAgainstNoFourIsFive) {
  Position p(20, {"oxxxA..",
                  "....x..",
                  "....x..",
                  ".......",
                  ".......",
                  "o.....o.....o",
                  ".......",
                  ".......",
                  "...o..."},
             2, 4);
  ASSERT_EQ(p.cell(p.mark('A')).rating[p.me()], RATING_FOUR_THREE);
  ASSERT_FALSE(can_make_four(p.engine(), p.opp()));
  expect_threat(p, 5, 0);
}

// Worked sequence: the four-three at A while the opponent has a four to make
// (the closed three on the sixth row). The trial stone at A leaves one five
// point to block; after the block the column three gives an open four (3),
// so the block is -4 for the opponent and A wins in 5. Two trial stones.
TEST(ThreatCheck, FourThreeAgainstAFourWinsThroughTheTrial) {
  Position p(20, {"oxxxA..",
                  "....x..",
                  "....x..",
                  ".......",
                  ".......",
                  "xooo...",
                  ".......",
                  ".......",
                  "o.....o"},
             2, 4);
  ASSERT_EQ(p.cell(p.mark('A')).rating[p.me()], RATING_FOUR_THREE);
  ASSERT_TRUE(can_make_four(p.engine(), p.opp()));
  expect_threat(p, 5, 2);
}

// Worked sequence: blocking the opponent's five at F makes our own open four
// down the column, so the opponent faces two five points: 3.
TEST(ThreatCheck, BlockThatMakesTwoFivePointsIsThree) {
  Position p(15, {"......",
                  "xooooF",
                  ".....x",
                  ".....x",
                  ".....x",
                  "......"},
             3, 3);
  ASSERT_EQ(p.cell(p.mark('F')).rating[p.opp()], RATING_FIVE);
  expect_threat(p, 3, 1);
}

// Worked sequence: after our forced block at F the opponent makes an open
// four from the three on the fourth row: -4.
TEST(ThreatCheck, BlockFollowedByEnemyOpenFourIsMinusFour) {
  Position p(20, {"xooooF.......",
                  ".............",
                  ".............",
                  "........ooo..",
                  ".............",
                  ".............",
                  ".............",
                  ".............",
                  "x.....x.....x",
                  ".............",
                  ".............",
                  ".............",
                  "...x.....x.....x"},
             0, 3);
  ASSERT_EQ(p->rating_count[p.opp()][RATING_FIVE], 1);
  ASSERT_EQ(p->rating_count[p.opp()][RATING_OPEN_FOUR], 2);
  expect_threat(p, -4, 1);
}

// The four-three at A fails: the opponent's block at F makes its own four
// down column 5, whose five point G we must block, and after that nothing is
// forced. The double three at D then does not count because the opponent
// can make a four (at F): 0, after the trial stones A, F and G.
TEST(ThreatCheck, FailedFourThreeDoesNotFallBackOnTheDoubleThree) {
  Position p(20, {".....G........",
                  "oxxxAF........",
                  "....xo........",
                  "....xo...xxD..",
                  ".....o.....x..",
                  ".....x.....x..",
                  "..............",
                  "..............",
                  "..............",
                  "..............",
                  "o.....o.....o.....o",
                  "..............",
                  "..............",
                  "..............",
                  "...o.....o...."},
             0, 3);
  const Engine& e = p.engine();
  ASSERT_EQ(p.cell(p.mark('A')).rating[p.me()], RATING_FOUR_THREE);
  ASSERT_EQ(p.cell(p.mark('D')).rating[p.me()], RATING_DOUBLE_THREE);
  ASSERT_GE(p.cell(p.mark('F')).rating[p.opp()], RATING_FOUR);
  ASSERT_EQ(e.rating_count[p.me()][RATING_FOUR_THREE], 1);
  expect_threat(p, 0, 3);
}

TEST(ThreatCheck, DoubleThreeAgainstNoFourIsFive) {
  Position p(20, {"...........",
                  ".........xxD",
                  "...........x",
                  "...........x",
                  "...........",
                  "o.....o",
                  "...........",
                  "...........",
                  "...o.....o"},
             2, 4);
  ASSERT_EQ(p.cell(p.mark('D')).rating[p.me()], RATING_DOUBLE_THREE);
  ASSERT_FALSE(can_make_four(p.engine(), p.opp()));
  expect_threat(p, 5, 0);
}

TEST(ThreatCheck, DoubleThreeAgainstAFourIsNothing) {
  Position p(20, {"...........",
                  ".........xxD",
                  "...........x",
                  "...........x",
                  "...........",
                  "xooo...o",
                  "...........",
                  "...........",
                  "...o.....o"},
             2, 4);
  ASSERT_EQ(p.cell(p.mark('D')).rating[p.me()], RATING_DOUBLE_THREE);
  ASSERT_TRUE(can_make_four(p.engine(), p.opp()));
  ASSERT_EQ(p->rating_count[p.me()][RATING_FOUR_THREE], 0);
  expect_threat(p, 0, 0);
}

// Along random games the check never changes the position, and its sign
// agrees with the immediate facts: our own five point is always 1, two enemy
// five points (and none of ours) always -2.
TEST(ThreatCheck, RandomGamesKeepThePositionAndTheImmediateResults) {
  uint32_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  for (int game = 0; game < 6; ++game) {
    auto e = std::make_unique<Engine>();
    e->start_game(game % 2 == 0 ? 15 : 20);
    const int centre = e->size / 2;
    for (int stone = 0; stone < 60; ++stone) {
      int x, y;
      do {
        x = centre - 5 + next(11);
        y = centre - 5 + next(11);
      } while (!is_empty_square(*e, x, y));
      e->place_stone(x, y);
      const GameState before(*e);
      const int32_t r = e->threat_check();
      ASSERT_TRUE(GameState(*e) == before) << "game " << game << " stone " << stone;
      const int me = e->side_to_move;
      if (e->rating_count[me][RATING_FIVE] > 0) {
        EXPECT_EQ(r, 1);
      } else if (e->rating_count[1 - me][RATING_FIVE] >= 2) {
        EXPECT_EQ(r, -2);
      }
      if (r > 0) {
        EXPECT_EQ(r % 2, 1) << "our wins fall on odd plies";
      } else if (r < 0) {
        EXPECT_EQ(r % 2, 0) << "the opponent's wins fall on even plies";
      }
    }
    EXPECT_EQ(e->verify(), "");
  }
}

// find_single_rated_cell must name the cell the row-order scan finds first,
// whenever it names one: over random games, for every side and every rating
// from 4 to 8 that exactly one cell carries.
TEST(ThreatCheck, SingleRatedCellNearTheLastStoneIsTheOneTheScanFinds) {
  uint32_t seed = 777;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  int named = 0;
  for (int game = 0; game < 20; ++game) {
    auto e = std::make_unique<Engine>();
    e->start_game(game % 2 == 0 ? 15 : 9);
    const int centre = e->size / 2;
    for (int stone = 0; stone < 45 && e->move_count < e->size * e->size; ++stone) {
      int x, y;
      do {
        x = std::clamp(centre - 4 + next(9), 0, e->size - 1);
        y = std::clamp(centre - 4 + next(9), 0, e->size - 1);
      } while (!is_empty_square(*e, x, y));
      e->place_stone(x, y);
      for (int side = 0; side < 2; ++side)
        for (int rating = RATING_FOUR; rating <= RATING_FIVE; ++rating) {
          int fx = -1, fy = -1;
          if (!find_single_rated_cell(*e, side, rating, fx, fy)) continue;
          ++named;
          int sx = -1, sy = -1;
          scan_neighbour_cells(*e, [&](int cx, int cy, const Cell& c) {
            if (c.rating[side] != rating) return false;
            sx = cx;
            sy = cy;
            return true;
          });
          ASSERT_EQ(fx, sx) << "game " << game << " stone " << stone;
          ASSERT_EQ(fy, sy) << "game " << game << " stone " << stone;
        }
    }
  }
  EXPECT_GT(named, 20) << "the games should make single four and five points";
}

// What the horizon sees after a stone, mostly worked out without placing
// it, must be what placing it shows: the child's threat check and
// evaluation, and for the counting horizon every rating count. Over random
// games, for every neighbour cell; the position is left as it was.
TEST(ThreatCheck, HorizonAfterAStoneIsTheChildsCheckEvaluationAndCounts) {
  uint32_t seed = 2027;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  int forced_seen = 0;
  for (int game = 0; game < 8; ++game) {
    auto e = std::make_unique<Engine>();
    e->start_game(15);
    for (int stone = 0; stone < 40; ++stone) {
      int x, y;
      do {
        x = 2 + next(11);
        y = 2 + next(11);
      } while (!is_empty_square(*e, x, y));
      if (e->cells[x + BORDER][y + BORDER].rating[e->side_to_move] == RATING_FIVE) break;
      e->place_stone(x, y);
      const GameState before(*e);
      scan_neighbour_cells(*e, [&](int cx, int cy, const Cell&) {
        int32_t forced = 0, value = 0;
        e->horizon_after(cx, cy, &forced, &value);
        EXPECT_TRUE(GameState(*e) == before) << "game " << game << " stone " << stone;
        Engine::Preview counted;
        const int32_t counted_forced = e->horizon_counts_after(cx, cy, counted);
        EXPECT_TRUE(GameState(*e) == before) << "game " << game << " stone " << stone;
        e->make_move(cx, cy);
        const int32_t expected = e->threat_check();
        EXPECT_EQ(forced, expected) << "game " << game << " stone " << stone;
        EXPECT_EQ(value, e->evaluate()) << "game " << game << " stone " << stone;
        // The counting horizon: every Rating's count, 1 to 8, and the sums.
        EXPECT_EQ(counted_forced, expected) << "game " << game << " stone " << stone;
        for (int s = 0; s < 2; ++s) {
          EXPECT_EQ(counted.shape_sum[s], e->shape_sum[s]);
          for (int r = 1; r <= RATING_FIVE; ++r)
            EXPECT_EQ(counted.rating_count[s][r], e->rating_count[s][r])
                << "game " << game << " stone " << stone << " side " << s << " rating " << r;
        }
        e->undo_stone();
        forced_seen += forced != 0 ? 1 : 0;
        return ::testing::Test::HasFailure();
      });
      ASSERT_FALSE(::testing::Test::HasFailure());
    }
  }
  EXPECT_GT(forced_seen, 0) << "no stone with a forced result after it";
}

}  // namespace
}  // namespace quorlith::search_test
