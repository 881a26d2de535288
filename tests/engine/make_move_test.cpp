// Making and unmaking single stones: the mask bits, neighbour counts, box,
// sides and hash words they change, the rating counts of a small position,
// move scores and evaluations of known positions, and the consistency
// checker's ability to notice damage.
#include <gtest/gtest.h>

#include "common/engine_fixture.h"
#include "engine/engine.h"
#include "engine/keys.h"
#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"

namespace quorlith {
namespace {

using test_support::new_game;
using test_support::place_all;

TEST(MakeMove, SetsTheStoneBitInEveryCellInReach) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(10, 10);
  EXPECT_EQ(e.cells[10][10].occupant, 0);
  EXPECT_EQ(e.cells[11][10].line_mask[0][0], 8);
  EXPECT_EQ(e.cells[9][10].line_mask[0][0], 16);
  EXPECT_EQ(e.cells[14][10].line_mask[0][0], 1);
  EXPECT_EQ(e.cells[6][10].line_mask[0][0], 128 | 2 | 1);  // and the walls at x = 3, 2
  EXPECT_EQ(e.cells[9][11].line_mask[3][0], 16);
  EXPECT_EQ(e.cells[11][9].line_mask[3][0], 8);
  EXPECT_EQ(e.cells[10][12].line_mask[1][0], 4);
  EXPECT_EQ(e.cells[8][8].line_mask[2][0], 32);
  // Side 1's bytes only carry walls.
  EXPECT_EQ(e.cells[11][10].line_mask[0][1], 0);
  EXPECT_EQ(e.cells[15][10].line_mask[0][0], 128);  // the wall only: the stone is out of reach
  EXPECT_EQ(e.verify(), "");
}

TEST(MakeMove, NeighbourCountsOnTheEightAdjacentAndEightFarCells) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(10, 10);
  EXPECT_EQ(e.cells[11][11].near_count, 1);
  EXPECT_EQ(e.cells[9][9].near_count, 1);
  EXPECT_EQ(e.cells[10][11].near_count, 1);
  EXPECT_EQ(e.cells[11][11].far_count, 0);
  EXPECT_EQ(e.cells[12][12].far_count, 1);
  EXPECT_EQ(e.cells[10][8].far_count, 1);
  EXPECT_EQ(e.cells[8][10].far_count, 1);
  EXPECT_EQ(e.cells[12][11].near_count, 0);
  EXPECT_EQ(e.cells[12][11].far_count, 0);
  EXPECT_EQ(e.cells[10][10].near_count, 0);
  e.make_move(11, 11);
  EXPECT_EQ(e.cells[10][11].near_count, 2);
  EXPECT_EQ(e.cells[12][12].near_count, 1);
  EXPECT_EQ(e.cells[12][12].far_count, 1);
}

TEST(MakeMove, StonesByTheBorderReachIntoTheWall) {
  // Wall cells' counts are never read, so only their changes are pinned.
  auto engine = new_game(15);
  Engine& e = *engine;
  const int near_before = e.cells[3][10].near_count;
  const int far_before = e.cells[2][10].far_count;
  e.make_move(4, 10);
  EXPECT_EQ(e.cells[3][10].near_count, near_before + 1);
  EXPECT_EQ(e.cells[2][10].far_count, far_before + 1);
  EXPECT_EQ(e.cells[0][10].line_mask[0][0], 128);
  EXPECT_EQ(e.cells[1][10].line_mask[0][0], 64);
  EXPECT_EQ(e.verify(), "");
  e.undo_stone();
  EXPECT_EQ(e.cells[3][10].near_count, near_before);
  EXPECT_EQ(e.cells[2][10].far_count, far_before);
  EXPECT_EQ(e.cells[0][10].line_mask[0][0], 0);
}

TEST(MakeMove, BoundingBoxWidensToRadiusTwoClippedToTheBoard) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(11, 11);
  EXPECT_EQ(e.box_min, (Point{9, 9}));
  EXPECT_EQ(e.box_max, (Point{13, 13}));
  e.make_move(4, 4);
  EXPECT_EQ(e.box_min, (Point{4, 4}));
  EXPECT_EQ(e.box_max, (Point{13, 13}));
  e.make_move(18, 5);
  EXPECT_EQ(e.box_min, (Point{4, 4}));
  EXPECT_EQ(e.box_max, (Point{18, 13}));
  e.undo_stone();
  EXPECT_EQ(e.box_max, (Point{13, 13}));
  e.undo_stone();
  EXPECT_EQ(e.box_min, (Point{9, 9}));
  e.undo_stone();
  EXPECT_EQ(e.box_min, (Point{10, 10}));
  EXPECT_EQ(e.box_max, (Point{12, 12}));

  auto corner = new_game(15);
  corner->make_move(4, 4);
  EXPECT_EQ(corner->box_min, (Point{4, 4}));
  EXPECT_EQ(corner->box_max, (Point{12, 12}));
}

TEST(MakeMove, SidesAndHashWordsFollowTheStone) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(10, 10);
  EXPECT_EQ(e.side_to_move, 1);
  EXPECT_EQ(e.opponent, 0);
  EXPECT_EQ(e.hash_index, static_cast<uint32_t>(INDEX_KEY[0][10][10]) & HASH_MASK);
  EXPECT_EQ(e.hash_check1, static_cast<uint32_t>(CHECK_KEY_1[0][10][10]));
  EXPECT_EQ(e.hash_check2, static_cast<uint32_t>(CHECK_KEY_2[0][10][10]));
  e.make_move(12, 7);
  EXPECT_EQ(e.hash_check1, static_cast<uint32_t>(CHECK_KEY_1[0][10][10]) +
                               static_cast<uint32_t>(CHECK_KEY_1[1][7][12]));
  e.undo_stone();
  e.undo_stone();
  EXPECT_EQ(e.side_to_move, 0);
  EXPECT_EQ(e.opponent, 1);
  EXPECT_EQ(e.hash_index, 0u);
  EXPECT_EQ(e.hash_check1, 0u);
  EXPECT_EQ(e.hash_check2, 0u);
}

TEST(MakeMove, NodesCountsEveryStoneAndUndoLeavesIt) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.nodes = 0;
  e.make_move(10, 10);
  e.make_move(11, 10);
  e.undo_stone();
  EXPECT_EQ(e.nodes, 2);
  // The history entry of the taken-back stone stays until overwritten.
  EXPECT_EQ(e.move_history[1], (Point{11, 10}));
}

TEST(MakeMove, SameStonesInAnotherOrderGiveTheSameHashWords) {
  auto a = new_game(15);
  auto b = new_game(15);
  place_all(*a, {{7, 7}, {8, 8}, {6, 7}, {9, 9}, {5, 7}});
  place_all(*b, {{5, 7}, {9, 9}, {7, 7}, {8, 8}, {6, 7}});
  EXPECT_EQ(a->hash_index, b->hash_index);
  EXPECT_EQ(a->hash_check1, b->hash_check1);
  EXPECT_EQ(a->hash_check2, b->hash_check2);
  // The same squares with the sides swapped give a different position.
  auto c = new_game(15);
  place_all(*c, {{8, 8}, {7, 7}, {9, 9}, {6, 7}, {10, 10}});
  auto d = new_game(15);
  place_all(*d, {{7, 7}, {8, 8}, {6, 7}, {9, 9}, {10, 10}});
  EXPECT_NE(c->hash_check1, d->hash_check1);
}

TEST(MakeMove, OpenThreeCountsOfAFiveStonePosition) {
  auto engine = new_game(15);
  Engine& e = *engine;
  place_all(e, {{7, 7}, {0, 0}, {8, 7}, {0, 2}, {9, 7}});
  EXPECT_EQ(e.rating_count[0][7], 2);
  EXPECT_EQ(e.rating_count[0][4], 2);
  for (int s = 0; s < 2; ++s)
    for (int r = 1; r <= 8; ++r)
      if (!(s == 0 && (r == 7 || r == 4))) {
        EXPECT_EQ(e.rating_count[s][r], 0) << s << r;
      }
  // Protocol (6, 7) and (10, 7): an open four on row 7.
  for (int x : {6 + 4, 10 + 4}) {
    const Cell& c = e.cells[x][11];
    EXPECT_EQ(c.rating[0], RATING_OPEN_FOUR) << x;
    EXPECT_EQ(c.pattern_class[0][0], CLASS_OPEN_FOUR) << x;
    for (int k = 1; k < 4; ++k) EXPECT_EQ(c.pattern_class[k][0], CLASS_OPEN_ONE) << x << k;
  }
  // Protocol (5, 7) and (11, 7): a four.
  for (int x : {5 + 4, 11 + 4}) {
    EXPECT_EQ(e.cells[x][11].rating[0], RATING_FOUR) << x;
    EXPECT_EQ(e.cells[x][11].pattern_class[0][0], CLASS_FOUR) << x;
  }
  EXPECT_EQ(e.box_min, (Point{4, 4}));
  EXPECT_EQ(e.box_max, (Point{15, 13}));
  EXPECT_EQ(e.side_to_move, 1);
  EXPECT_EQ(e.move_count, 5);
  // Rating 0 is offset: 225 - 5 stones - 4 rated cells for side 0, and
  // 225 - 5 for side 1, below the playable count.
  EXPECT_EQ(e.rating_count[0][0], -9);
  EXPECT_EQ(e.rating_count[1][0], -5);
}

TEST(MakeMove, UndoRestoresRatingCountsIncludingRatingZero) {
  auto engine = new_game(15);
  Engine& e = *engine;
  place_all(e, {{7, 7}, {0, 0}, {8, 7}, {0, 2}, {9, 7}, {3, 3}});
  int32_t before[2][9];
  std::copy(&e.rating_count[0][0], &e.rating_count[0][0] + 18, &before[0][0]);
  for (int x = 4; x <= 18; ++x)
    for (int y = 4; y <= 18; ++y) {
      if (e.cells[x][y].occupant != EMPTY) continue;
      e.make_move(x, y);
      e.undo_stone();
      for (int s = 0; s < 2; ++s)
        for (int r = 0; r < 9; ++r)
          ASSERT_EQ(e.rating_count[s][r], before[s][r]) << x << "," << y << " " << s << r;
    }
}

// Engine coordinates of the move score and evaluation examples: a 15x15
// board, centre (11, 11).
TEST(ScoreAndEvaluate, EmptyBoard) {
  auto engine = new_game(15);
  Engine& e = *engine;
  EXPECT_EQ(e.evaluate(), 0);
  for (int x = 4; x <= 18; ++x)
    for (int y = 4; y <= 18; ++y) ASSERT_EQ(score_move(e.cells[x][y]), 0) << x << "," << y;
}

TEST(ScoreAndEvaluate, OneStoneInTheCentre) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(11, 11);
  EXPECT_EQ(e.evaluate(), -60);
  for (auto [x, y] : {std::pair{12, 11}, {11, 12}, {12, 12}})
    EXPECT_EQ(score_move(e.cells[x][y]), 5) << x << "," << y;
  for (auto [x, y] : {std::pair{13, 11}, {14, 11}, {13, 13}})
    EXPECT_EQ(score_move(e.cells[x][y]), 0) << x << "," << y;
}

TEST(ScoreAndEvaluate, OneStoneInTheCorner) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(4, 4);
  EXPECT_EQ(e.evaluate(), -9);
}

TEST(ScoreAndEvaluate, TwoStonesAgainstTwoInTheCorners) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.make_move(10, 11);
  e.make_move(4, 4);
  e.make_move(11, 11);
  e.make_move(4, 18);
  EXPECT_EQ(e.side_to_move, 0);
  EXPECT_EQ(score_move(e.cells[12][11]), 16);
  EXPECT_EQ(score_move(e.cells[9][11]), 16);
  EXPECT_EQ(score_move(e.cells[13][11]), 15);
  EXPECT_EQ(e.evaluate(), 134);
}

TEST(Verify, NoticesDamageToEveryKindOfKeptState) {
  auto engine = new_game(15);
  Engine& e = *engine;
  place_all(e, {{7, 7}, {8, 8}, {6, 7}, {9, 9}, {5, 7}});
  ASSERT_EQ(e.verify(), "");

  auto damaged = [&](auto&& damage, auto&& repair, const char* what) {
    damage();
    EXPECT_NE(e.verify(), "") << what << " went unnoticed";
    repair();
    EXPECT_EQ(e.verify(), "") << what;
  };
  Cell& c = e.cells[12][11];  // empty, next to the stones
  damaged([&] { c.line_mask[0][1] ^= 0x20; }, [&] { c.line_mask[0][1] ^= 0x20; }, "a mask bit");
  Cell& stone = e.cells[11][11];  // occupied: its masks are still kept
  damaged([&] { stone.line_mask[2][0] ^= 0x01; }, [&] { stone.line_mask[2][0] ^= 0x01; },
          "a stone cell's mask bit");
  damaged([&] { c.pattern_class[1][0] ^= 1; }, [&] { c.pattern_class[1][0] ^= 1; }, "a class");
  damaged([&] { c.rating[1] ^= 1; }, [&] { c.rating[1] ^= 1; }, "a rating");
  damaged([&] { ++e.rating_count[0][0]; }, [&] { --e.rating_count[0][0]; }, "rating_count[0][0]");
  damaged([&] { ++e.rating_count[1][3]; }, [&] { --e.rating_count[1][3]; }, "rating_count[1][3]");
  damaged([&] { ++c.near_count; }, [&] { --c.near_count; }, "near_count");
  damaged([&] { ++c.far_count; }, [&] { --c.far_count; }, "far_count");
  damaged([&] { ++e.box_max.x; }, [&] { --e.box_max.x; }, "box_max");
  damaged([&] { ++e.hash_index; }, [&] { --e.hash_index; }, "hash_index");
  damaged([&] { ++e.hash_check2; }, [&] { --e.hash_check2; }, "hash_check2");
  damaged([&] { e.side_to_move ^= 1; }, [&] { e.side_to_move ^= 1; }, "side_to_move");
  damaged([&] { e.shape_sum[1] += 3; }, [&] { e.shape_sum[1] -= 3; }, "shape_sum[1]");
  damaged([&] { e.reach_rows[14] ^= 1u << 9; }, [&] { e.reach_rows[14] ^= 1u << 9; }, "a reach bit");
  damaged([&] { e.stone_rows[11] ^= 1u << 12; }, [&] { e.stone_rows[11] ^= 1u << 12; },
          "a stone bit");
  damaged([&] { c.occupant = 1; }, [&] { c.occupant = EMPTY; }, "a stray stone");
}

}  // namespace
}  // namespace quorlith
