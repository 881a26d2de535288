// The plus brain's board: over random games on every board size and rule,
// everything it keeps stone by stone equals a recount from the stones, a
// stone taken back leaves the board as it was, and in freestyle its line
// patterns are the exact engine's classes cell for cell.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "engine/engine.h"
#include "engine/position.h"

namespace quorlith {
namespace {

int random_empty_cell(const Position& pos, std::mt19937& random) {
  const int n = pos.size();
  for (;;) {
    const int cell = Position::cell_of(static_cast<int>(random() % n), static_cast<int>(random() % n));
    if (pos.is_empty(cell)) return cell;
  }
}

TEST(PlusPosition, KeepsWhatARecountFindsAndUndoesExactly) {
  std::mt19937 random(5);
  auto pos = std::make_unique<Position>();
  for (Rule rule : {Rule::FREESTYLE, Rule::STANDARD, Rule::RENJU}) {
    for (int game = 0; game < 60; ++game) {
      const int n = 5 + static_cast<int>(random() % 28);
      pos->start(n, rule);
      const int stones = static_cast<int>(random() % (n * n));
      for (int i = 0; i < stones; ++i) {
        const int cell = random_empty_cell(*pos, random);
        const uint64_t expected = pos->hash_after(cell);
        pos->make_move(cell);
        ASSERT_EQ(pos->hash(), expected);
        if (random() % 9 == 0 && pos->move_count() + 2 < n * n) {
          // A pass, a stone of the other side, and both taken back.
          const uint64_t before = pos->hash();
          pos->pass();
          ASSERT_NE(pos->hash(), before);
          const int side = pos->side_to_move();
          const int other = random_empty_cell(*pos, random);
          pos->make_move(other);
          ASSERT_EQ(pos->stone(other), Position::stone_code(side));
          pos->undo_move();
          pos->pass();
          ASSERT_EQ(pos->hash(), before);
        }
        if (random() % 4 == 0) {
          pos->undo_move();
          ASSERT_EQ(pos->verify(), "") << "rule " << static_cast<int>(rule) << " size " << n;
        }
        if (i % 17 == 0) {
          ASSERT_EQ(pos->verify(), "") << "rule " << static_cast<int>(rule) << " size " << n;
        }
      }
      ASSERT_EQ(pos->verify(), "");
      while (pos->move_count() > 0) pos->undo_move();
      ASSERT_EQ(pos->verify(), "");
      ASSERT_EQ(pos->hash(), 0u);
    }
  }
}

TEST(PlusPosition, FreestylePatternsAreTheExactEnginesClasses) {
  std::mt19937 random(9);
  auto pos = std::make_unique<Position>();
  auto engine = std::make_unique<Engine>();
  const LinePattern of_class[10] = {LINE_DEAD, LINE_B1, LINE_F1, LINE_B2, LINE_F2,
                                    LINE_B3,   LINE_F3, LINE_B4, LINE_F4, LINE_FIVE};
  for (int game = 0; game < 20; ++game) {
    const int n = 5 + static_cast<int>(random() % 28);
    pos->start(n, Rule::FREESTYLE);
    engine->start_game(n);
    const int stones = static_cast<int>(random() % (n * n / 2));
    for (int i = 0; i < stones; ++i) {
      const int cell = random_empty_cell(*pos, random);
      pos->make_move(cell);
      engine->place_stone(Position::x_of(cell), Position::y_of(cell));
    }
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        const int cell = Position::cell_of(x, y);
        if (!pos->is_empty(cell)) continue;
        const Cell& c = engine->cells[x + BORDER][y + BORDER];
        for (int k = 0; k < 4; ++k)
          for (int side = 0; side < 2; ++side)
            ASSERT_EQ(pos->pattern(cell, k, side), of_class[c.pattern_class[k][side]])
                << x << "," << y << " line " << k << " side " << side;
      }
  }
}

}  // namespace
}  // namespace quorlith
