// A freshly started game: walls in the masks, classes and ratings of an
// empty board, the bounding box, the side fields; place_stone's mapping.
#include <gtest/gtest.h>

#include <cstring>

#include "common/engine_fixture.h"
#include "engine/engine.h"

namespace quorlith {
namespace {

using test_support::new_game;

TEST(StartGame, WallsEnterBothSidesMasks) {
  auto engine = new_game(15);
  const Engine& e = *engine;
  auto expect_line = [&](int x, int y, int k, int mask) {
    EXPECT_EQ(e.cells[x][y].line_mask[k][0], mask) << "(" << x << "," << y << ") line " << k;
    EXPECT_EQ(e.cells[x][y].line_mask[k][1], mask) << "(" << x << "," << y << ") line " << k;
  };
  expect_line(4, 10, 0, 15);    // walls at x = 3, 2, 1, 0
  expect_line(18, 10, 0, 240);  // walls at x = 19 .. 22
  expect_line(6, 10, 0, 3);     // walls 3 and 4 steps away
  expect_line(11, 11, 0, 0);
  for (int k = 0; k < 3; ++k) expect_line(4, 4, k, 15);
  expect_line(4, 4, 3, 255);  // the anti-diagonal leaves the board both ways
  expect_line(18, 18, 2, 240);
  expect_line(10, 4, 1, 15);
}

TEST(StartGame, EmptyBoardClassesAndRatings) {
  auto engine = new_game(15);
  const Engine& e = *engine;
  for (int k = 0; k < 4; ++k)
    for (int s = 0; s < 2; ++s) {
      EXPECT_EQ(e.cells[11][11].pattern_class[k][s], 2) << k << s;
      EXPECT_EQ(e.cells[4][4].pattern_class[k][s], k < 3 ? 1 : 0) << k << s;
    }
  for (int x = 4; x <= 18; ++x)
    for (int y = 4; y <= 18; ++y) {
      const Cell& c = e.cells[x][y];
      ASSERT_EQ(c.occupant, EMPTY) << x << "," << y;
      ASSERT_EQ(c.rating[0], 0) << x << "," << y;
      ASSERT_EQ(c.rating[1], 0) << x << "," << y;
      ASSERT_EQ(c.near_count, 0) << x << "," << y;
      ASSERT_EQ(c.far_count, 0) << x << "," << y;
      for (int k = 0; k < 4; ++k) ASSERT_LE(c.pattern_class[k][0], 2) << x << "," << y;
    }
  for (int s = 0; s < 2; ++s)
    for (int r = 0; r < 9; ++r) EXPECT_EQ(e.rating_count[s][r], 0) << s << r;
  EXPECT_EQ(e.side_to_move, 0);
  EXPECT_EQ(e.opponent, 1);
  EXPECT_EQ(e.move_count, 0);
  EXPECT_EQ(e.hash_index, 0u);
  EXPECT_EQ(e.hash_check1, 0u);
  EXPECT_EQ(e.hash_check2, 0u);
  EXPECT_EQ(e.size, 15);
  EXPECT_EQ(e.verify(), "");
}

TEST(StartGame, BoundingBoxAroundTheCentre) {
  struct Case {
    int n, lo, hi;
  };
  for (const Case c : {Case{15, 10, 12}, Case{20, 13, 15}, Case{5, 5, 7}, Case{32, 19, 21}}) {
    auto engine = new_game(c.n);
    EXPECT_EQ(engine->box_min, (Point{uint8_t(c.lo), uint8_t(c.lo)})) << "N = " << c.n;
    EXPECT_EQ(engine->box_max, (Point{uint8_t(c.hi), uint8_t(c.hi)})) << "N = " << c.n;
  }
}

TEST(StartGame, LargestBoardFillsTheGrid) {
  auto engine = new_game(32);
  const Engine& e = *engine;
  for (int x = 0; x < GRID_SIDE; ++x)
    for (int y = 0; y < GRID_SIDE; ++y) {
      const bool wall = x < 4 || y < 4 || x > 35 || y > 35;
      ASSERT_EQ(e.cells[x][y].occupant, wall ? WALL : EMPTY) << x << "," << y;
    }
  EXPECT_EQ(e.cells[35][35].line_mask[0][0], 240);
  EXPECT_EQ(e.cells[35][4].line_mask[3][1], 240);
  EXPECT_EQ(e.cells[35][35].line_mask[3][1], 255);
  EXPECT_EQ(e.verify(), "");
}

TEST(StartGame, ANewGameForgetsTheOldOne) {
  auto engine = new_game(20);
  Engine& e = *engine;
  for (int i = 0; i < 6; ++i) e.place_stone(i, 2 * i % 7);
  e.start_game(9);
  EXPECT_EQ(e.move_count, 0);
  EXPECT_EQ(e.hash_check1, 0u);
  EXPECT_EQ(e.box_min, (Point{7, 7}));
  EXPECT_EQ(e.verify(), "");
  auto fresh = new_game(9);
  for (int x = 0; x < 9 + 2 * BORDER; ++x)
    for (int y = 0; y < 9 + 2 * BORDER; ++y) {
      const Cell& a = e.cells[x][y];
      const Cell& b = fresh->cells[x][y];
      ASSERT_EQ(a.occupant, b.occupant) << x << "," << y;
      ASSERT_EQ(std::memcmp(a.line_mask, b.line_mask, sizeof a.line_mask), 0) << x << "," << y;
      if (a.occupant == EMPTY) {
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << x << "," << y;
      }
    }
}

TEST(StartGame, TranspositionTableClearedButRepliesKept) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.transposition_table[123] = HashEntry{7, 8, 9, 10, Point{5, 6}};
  e.start_game(15);
  const HashEntry& entry = e.transposition_table[123];
  EXPECT_EQ(entry.check1, 0u);
  EXPECT_EQ(entry.check2, 0u);
  EXPECT_EQ(entry.score, 0);
  EXPECT_EQ(entry.depth, 0);
  EXPECT_EQ(entry.reply, (Point{5, 6}));
  EXPECT_EQ(e.transposition_table[124].reply, (Point{0, 0}));
}

TEST(PlaceStone, ProtocolSquaresMapToEngineCells) {
  auto engine = new_game(15);
  Engine& e = *engine;
  e.place_stone(0, 0);
  e.place_stone(14, 14);
  e.place_stone(3, 9);
  EXPECT_EQ(e.cells[4][4].occupant, 0);
  EXPECT_EQ(e.cells[18][18].occupant, 1);
  EXPECT_EQ(e.cells[7][13].occupant, 0);
  EXPECT_EQ(e.move_history[2], (Point{7, 13}));
  EXPECT_EQ(e.verify(), "");
}

TEST(Engine, OpenSquaresAndName) {
  auto engine = new_game(7);
  Engine& e = *engine;
  e.place_stone(3, 3);
  EXPECT_TRUE(e.is_open_square(0, 0));
  EXPECT_TRUE(e.is_open_square(6, 6));
  EXPECT_FALSE(e.is_open_square(3, 3));
  EXPECT_FALSE(e.is_open_square(7, 0));
  EXPECT_FALSE(e.is_open_square(0, -1));
  EXPECT_FALSE(e.is_open_square(-1, 3));
  EXPECT_STREQ(e.name(), "Quorlith");
}

}  // namespace
}  // namespace quorlith
