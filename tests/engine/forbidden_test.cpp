// Black's forbidden points under renju: positions worked out by hand, one
// per shape, and the checker held against a slow line-by-line statement of
// the rule over many random positions.
#include "engine/forbidden.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/slow_forbidden.h"

namespace quorlith {
namespace {

using test_support::SlowRenjuBoard;

// Stones are drawn in the top-left corner of a 32 x 32 board; the side
// that has fewer gets the stones it lacks far away on the bottom rows,
// every other cell, so that the board's stones alternate from black.
constexpr int BOARD = 32;
constexpr int FAR_ROW = BOARD - 1;

struct Stones {
  std::vector<int> black, white;
};

void place_all(Position& pos, Stones stones) {
  pos.start(BOARD, Rule::RENJU);
  int far = 0;
  size_t b = 0, w = 0;
  while (b < stones.black.size() || w < stones.white.size()) {
    auto& list = pos.side_to_move() == BLACK ? stones.black : stones.white;
    size_t& next = pos.side_to_move() == BLACK ? b : w;
    if (next < list.size()) {
      pos.make_move(list[next++]);
    } else {
      pos.make_move(Position::cell_of(2 * (far % 16), FAR_ROW - 2 * (far / 16)));
      ++far;
    }
  }
}

// Rows of a diagram: 'x' black, 'o' white, anything else empty.
Stones from_diagram(const std::vector<std::string>& rows) {
  Stones s;
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < static_cast<int>(rows[static_cast<size_t>(y)].size()); ++x) {
      const char c = rows[static_cast<size_t>(y)][static_cast<size_t>(x)];
      if (c == 'x') s.black.push_back(Position::cell_of(x, y));
      if (c == 'o') s.white.push_back(Position::cell_of(x, y));
    }
  return s;
}

// The checker's answer at the '+' of the diagram, and the slow one's.
struct Judged {
  Forbidden kind;
  bool slow;
};
Judged judge_diagram(const std::vector<std::string>& rows) {
  auto pos = std::make_unique<Position>();
  place_all(*pos, from_diagram(rows));
  SlowRenjuBoard slow(BOARD);
  int target = Position::NO_CELL;
  for (int y = 0; y < BOARD; ++y)
    for (int x = 0; x < BOARD; ++x) {
      const uint8_t s = pos->stone(Position::cell_of(x, y));
      slow.set(x, y, s == Position::stone_code(BLACK) ? 'x' : s == Position::stone_code(WHITE) ? 'o' : '.');
    }
  for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
    const size_t x = rows[static_cast<size_t>(y)].find('+');
    if (x != std::string::npos) target = Position::cell_of(static_cast<int>(x), y);
  }
  EXPECT_NE(target, Position::NO_CELL);
  return Judged{forbidden_kind(*pos, target), slow.forbidden(Position::x_of(target), Position::y_of(target))};
}

struct HandCase {
  const char* name;
  std::vector<std::string> rows;
  Forbidden expected;
};

TEST(Forbidden, HandWorkedPositions) {
  const std::vector<HandCase> cases = {
      {"open three on two lines",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        ".......x.......",
        ".......x.......",
        ".......+xx.....",
        "..............."},
       Forbidden::DOUBLE_THREE},
      {"a three closed by white at one end is no three",
       {"...............",
        "...............",
        "...............",
        "...............",
        ".......o.......",
        ".......x.......",
        ".......x.......",
        ".......+xx.....",
        "..............."},
       Forbidden::NONE},
      {"split threes: x.Xx down, X.xx across",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        ".......x.......",
        "...............",
        ".......+.xx....",
        ".......x.......",
        "..............."},
       Forbidden::DOUBLE_THREE},
      {"four and three is allowed",
       {"...............",
        "...............",
        "...............",
        "...............",
        ".......x.......",
        ".......x.......",
        ".......x.......",
        ".......+xx.....",
        "..............."},
       Forbidden::NONE},
      {"two fours on two lines",
       {"...............",
        "...............",
        "...............",
        "...............",
        ".......x.......",
        ".......x.......",
        ".......x.......",
        "......o+xxx....",
        "..............."},
       Forbidden::DOUBLE_FOUR},
      {"two fours on one line: x.xXx.x",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "....x.x+x.x....",
        "..............."},
       Forbidden::DOUBLE_FOUR},
      {"a straight four is one four",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "....xx+x.......",
        "..............."},
       Forbidden::NONE},
      {"overline",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...xxx+xx......",
        "..............."},
       Forbidden::OVERLINE},
      {"a five beats an overline",
       {"...............",
        "...............",
        "...x...........",
        "...x...........",
        "...x...........",
        "...x...........",
        "...x...........",
        "xxx+x..........",
        "..............."},
       Forbidden::NONE},
      {"a five beats a double three",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        ".......x.......",
        ".......x.......",
        "...xxxx+.......",
        "........x......",
        ".........x.....",
        "..............."},
       Forbidden::NONE},
      // The three across has one straight four, from (6,7), and (6,7) is
      // a double four once (7,7) stands (that straight four, and a four
      // down x = 6): so it is no three, and (7,7) has the three down x = 7
      // alone.
      {"a three whose straight four is forbidden is no three",
       {"...............",
        "...............",
        "...............",
        "......x........",
        "......x........",
        "......x........",
        "...............",
        ".......+xx.o...",
        ".......x.......",
        ".......x.......",
        "..............."},
       Forbidden::NONE},
      {"the same three where its straight four is allowed",
       {"...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        "...............",
        ".......+xx.o...",
        ".......x.......",
        ".......x.......",
        "..............."},
       Forbidden::DOUBLE_THREE},
  };
  for (const auto& c : cases) {
    const Judged j = judge_diagram(c.rows);
    EXPECT_EQ(j.kind, c.expected) << c.name;
    EXPECT_EQ(j.slow, c.expected != Forbidden::NONE) << c.name << " (slow checker)";
  }
}

// Random stones in a 13 x 13 corner, dense enough for fours, threes and
// their recursion; every empty cell of the corner is judged by both. The
// corner is one or two cells from the board's edge, so lines that run off
// the board are judged too.
TEST(Forbidden, AgreesWithTheSlowCheckerOnRandomPositions) {
  std::mt19937 random(20);
  auto pos = std::make_unique<Position>();
  int judged = 0;
  int by_kind[4] = {};
  int flagged_but_allowed = 0;
  for (int round = 0; round < 300; ++round) {
    const int area = 9 + static_cast<int>(random() % 5);
    const int black_pct = 20 + static_cast<int>(random() % 25);
    const int white_pct = 5 + static_cast<int>(random() % 15);
    Stones stones;
    SlowRenjuBoard slow(BOARD);
    for (int y = 0; y < area; ++y)
      for (int x = 0; x < area; ++x) {
        const int r = static_cast<int>(random() % 100);
        if (r < black_pct) {
          stones.black.push_back(Position::cell_of(x, y));
          slow.set(x, y, 'x');
        } else if (r < black_pct + white_pct) {
          stones.white.push_back(Position::cell_of(x, y));
          slow.set(x, y, 'o');
        }
      }
    place_all(*pos, stones);
    for (int y = 0; y < BOARD; ++y)
      for (int x = 0; x < BOARD; ++x) {
        const uint8_t s = pos->stone(Position::cell_of(x, y));
        slow.set(x, y, s == Position::stone_code(BLACK) ? 'x' : s == Position::stone_code(WHITE) ? 'o' : '.');
      }
    for (int y = 0; y < area; ++y)
      for (int x = 0; x < area; ++x) {
        const int cell = Position::cell_of(x, y);
        if (!pos->is_empty(cell)) continue;
        const Forbidden kind = forbidden_kind(*pos, cell);
        ASSERT_EQ(kind != Forbidden::NONE, slow.forbidden(x, y))
            << "round " << round << " at " << x << "," << y << " kind " << static_cast<int>(kind);
        ++judged;
        ++by_kind[static_cast<int>(kind)];
        if (kind == Forbidden::NONE && (pos->combo_bits(cell, BLACK) & COMBO_DOUBLE_THREE_FLAG) != 0)
          ++flagged_but_allowed;
      }
  }
  // Every shape, and the threes the recursion finds not real, were met.
  EXPECT_GT(judged, 10000);
  EXPECT_GT(by_kind[static_cast<int>(Forbidden::OVERLINE)], 100);
  EXPECT_GT(by_kind[static_cast<int>(Forbidden::DOUBLE_FOUR)], 100);
  EXPECT_GT(by_kind[static_cast<int>(Forbidden::DOUBLE_THREE)], 100);
  EXPECT_GT(flagged_but_allowed, 10);
}

// The board's own approximation never lets a forbidden point through: its
// combos mark every overline and double four, and flag every cell the
// checker finds a double three.
TEST(Forbidden, TheBoardsCombosCoverEveryForbiddenPoint) {
  std::mt19937 random(7);
  auto pos = std::make_unique<Position>();
  for (int game = 0; game < 200; ++game) {
    pos->start(15, Rule::RENJU);
    const int stones = 20 + static_cast<int>(random() % 100);
    for (int i = 0; i < stones; ++i) {
      int cell;
      do cell = Position::cell_of(3 + static_cast<int>(random() % 9), 3 + static_cast<int>(random() % 9));
      while (!pos->is_empty(cell) && pos->move_count() < 81);
      if (!pos->is_empty(cell)) break;
      pos->make_move(cell);
    }
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) {
        const int cell = Position::cell_of(x, y);
        if (!pos->is_empty(cell)) continue;
        const uint8_t bits = pos->combo_bits(cell, BLACK);
        switch (forbidden_kind(*pos, cell)) {
          case Forbidden::NONE: EXPECT_NE(bits & COMBO_MASK, COMBO_FORBIDDEN) << x << "," << y; break;
          case Forbidden::OVERLINE:
          case Forbidden::DOUBLE_FOUR: EXPECT_EQ(bits & COMBO_MASK, COMBO_FORBIDDEN) << x << "," << y; break;
          case Forbidden::DOUBLE_THREE: EXPECT_NE(bits & COMBO_DOUBLE_THREE_FLAG, 0) << x << "," << y; break;
        }
      }
  }
}

}  // namespace
}  // namespace quorlith
