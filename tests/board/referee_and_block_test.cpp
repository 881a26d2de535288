// The board's referee (fives and their lines) and its BOARD blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "board/board_block.h"
#include "board/game_service.h"
#include "board/referee.h"
#include "common/engine_fixture.h"

namespace quorlith::board {
namespace {

std::unique_ptr<Engine> game_with(int size, const std::vector<Square>& stones) {
  auto e = test_support::new_game(size);
  for (const Square s : stones) e->place_stone(s.x, s.y);
  return e;
}

// Plays s after checking what the engine's rating says about it; returns the
// line the scan finds.
std::vector<Square> play_judged(Engine& e, Square s, bool& rated_five) {
  rated_five = makes_five(e, s);
  e.place_stone(s.x, s.y);
  return lines_of_five_through(e, s);
}

// Black stones on the left edge with a gap at 3,3; white far away.
//   x x x . x x   (column 0..5 of row 3)
TEST(Referee, OverlineAtTheEdgeIsOneLineOfSix) {
  auto e = game_with(15, {{0, 3}, {10, 10}, {1, 3}, {10, 12}, {2, 3}, {12, 10}, {4, 3}, {12, 12}, {5, 3}, {14, 14}});
  bool rated = false;
  const auto line = play_judged(*e, {3, 3}, rated);
  EXPECT_TRUE(rated);
  EXPECT_EQ(line, (std::vector<Square>{{0, 3}, {1, 3}, {2, 3}, {3, 3}, {4, 3}, {5, 3}}));
}

// Two fives at once (a row and a column through the same stone) give one
// line with both runs, the shared stone once; a four is no five.
TEST(Referee, BothLinesOfADoubleFiveAndNoFiveFromAFour) {
  //   o o o . x        black (x) on column 4 and row 4, white (o) in the
  //   o o o . x        top left corner; black plays the corner X.
  //   o o . . x
  //   . . . . x
  //   x x x x X
  auto e = game_with(5, {{4, 0}, {0, 0}, {4, 1}, {1, 0}, {4, 2}, {2, 0}, {4, 3}, {0, 1}, {0, 4}, {1, 1},
                         {1, 4}, {2, 1}, {2, 4}, {0, 2}, {3, 4}, {1, 2}});
  bool rated = false;
  const auto line = play_judged(*e, {4, 4}, rated);
  EXPECT_TRUE(rated);
  ASSERT_EQ(line.size(), 9u);
  EXPECT_EQ(std::count(line.begin(), line.end(), Square{4, 4}), 1);

  auto four = game_with(15, {{7, 7}, {0, 0}, {8, 8}, {0, 2}, {9, 9}});
  const auto none = play_judged(*four, {14, 0}, rated);  // white elsewhere
  EXPECT_FALSE(rated);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(play_judged(*four, {10, 10}, rated).empty()) << "four black stones on the diagonal";
  EXPECT_FALSE(rated);
}

// Over random games on every kind of board, played on past fives and up to
// a full board so that edges, corners and overlines all come up, the
// engine's rating and the plain scan agree on every stone, and every line
// found is a straight run of one side through the stone.
TEST(Referee, RatingAndScanAgreeOverRandomGames) {
  std::mt19937 random(20240611);
  int fives = 0, overlines = 0;
  for (const int size : {5, 6, 7, 9, 15, 32}) {
    for (int game = 0; game < (size <= 9 ? 40 : 4); ++game) {
      auto e = test_support::new_game(size);
      std::vector<Square> empty;
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) empty.push_back({x, y});
      std::shuffle(empty.begin(), empty.end(), random);
      // Dense games on small boards, a crowded corner on the large ones.
      for (const Square s : empty) {
        if (size > 9 && (s.x > 8 || s.y > 8)) continue;
        bool rated = false;
        const int side = e->side_to_move;
        const auto line = play_judged(*e, s, rated);
        ASSERT_EQ(rated, !line.empty()) << size << "x" << size << " stone at " << s.x << "," << s.y;
        if (line.empty()) continue;
        ++fives;
        if (line.size() > 5) ++overlines;
        EXPECT_NE(std::find(line.begin(), line.end(), s), line.end());
        for (const Square q : line) EXPECT_EQ(e->cells[q.x + BORDER][q.y + BORDER].occupant, side);
      }
    }
  }
  EXPECT_GT(fives, 100);
  EXPECT_GT(overlines, 10);
}

TEST(ForcedPlies, OnlyForcedResultsCount) {
  EXPECT_EQ(forced_plies(29999), 1);
  EXPECT_EQ(forced_plies(29995), 5);
  EXPECT_EQ(forced_plies(MATE_BAND), WIN_SCORE - MATE_BAND);
  EXPECT_EQ(forced_plies(-29998), -2);
  EXPECT_EQ(forced_plies(-MATE_BAND), -(WIN_SCORE - MATE_BAND));
  for (const int32_t v : {0, 194, MATE_BAND - 1, -(MATE_BAND - 1), WIN_SCORE, PV_MOVE_SCORE, -WIN_SCORE, -32001})
    EXPECT_FALSE(forced_plies(v).has_value()) << v;
}

TEST(BoardBlock, WrittenBlocksReadBack) {
  const std::vector<Square> stones{{7, 7}, {8, 8}, {31, 0}, {0, 31}};
  for (const bool engine_first : {false, true}) {
    const std::string text = write_board_block(stones, engine_first);
    std::string error;
    const auto block = read_board_block(text, error);
    ASSERT_TRUE(block) << error;
    EXPECT_EQ(block->stones, stones);
    EXPECT_EQ(block->engine_first, engine_first);
  }
  EXPECT_EQ(write_board_block({{7, 7}, {7, 8}}, false), "BOARD\n7,7,2\n7,8,1\nDONE\n");
  EXPECT_EQ(write_board_block({}, true), "BOARD\nDONE\n");

  // Keywords in any case, no header, CR line ends, blanks around lines.
  std::string error;
  const auto loose = read_board_block("  \r\n 3,4,1 \r\n\r\n5,6,2\r\ndone\r\n\n", error);
  ASSERT_TRUE(loose) << error;
  EXPECT_EQ(loose->stones, (std::vector<Square>{{3, 4}, {5, 6}}));
  EXPECT_EQ(loose->engine_first, true);
  const auto empty = read_board_block("board\nDONE", error);
  ASSERT_TRUE(empty) << error;
  EXPECT_TRUE(empty->stones.empty());
  EXPECT_FALSE(empty->engine_first.has_value());
}

TEST(BoardBlock, MalformedBlocksAreRefusedWithTheirLine) {
  struct Case {
    const char* text;
    const char* error_part;
  };
  const Case cases[] = {
      {"BOARD\n7,7,1\n", "end with DONE"},
      {"", "end with DONE"},
      {"7,7,1\nDONE\n8,8,2\n", "line 3: nothing may follow DONE"},
      {"BOARD\n7,7\nDONE\n", "line 2: expected x,y,who"},
      {"7,7,3\nDONE\n", "line 1: expected"},
      {"7,7,0\nDONE\n", "line 1: expected"},
      {"32,0,1\nDONE\n", "line 1: expected"},
      {"-1,0,1\nDONE\n", "line 1: expected"},
      {"1,2,1,\nDONE\n", "line 1: expected"},
      {"0x1,2,1\nDONE\n", "line 1: expected"},
      {"BOARD\nBOARD\nDONE\n", "line 2: expected"},
      {"7,7,1\n8,8,1\nDONE\n", "line 2: who must alternate"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(read_board_block(c.text, error)) << c.text;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.text << " -> " << error;
  }
  std::string big;
  for (int i = 0; i <= MAX_STONES; ++i) big += "1,1," + std::to_string(1 + i % 2) + "\n";
  std::string error;
  EXPECT_FALSE(read_board_block(big + "DONE\n", error));
  EXPECT_NE(error.find("more stones than the largest board"), std::string::npos) << error;
}

}  // namespace
}  // namespace quorlith::board
