// The class and shape tables: published figures, the listed window-count
// rows, an entry-by-entry comparison with a window-based reading of every
// index, and the symmetry and blocked-bit properties.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>

#include "patterns/line_oracle.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"

namespace quorlith {
namespace {

namespace lo = line_oracle;

// Reverses the bit order of a byte: the line read from the other end.
constexpr uint8_t reverse_byte(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if ((b >> i) & 1u) r = static_cast<uint8_t>(r | (1u << (7 - i)));
  return r;
}

constexpr int reversed_index(int index) {
  return reverse_byte(static_cast<uint8_t>(index >> 8)) * 256 +
         reverse_byte(static_cast<uint8_t>(index & 0xFF));
}

// The own byte with every bit under a blocked cell cleared.
constexpr int unblocked_index(int index) {
  const int other = index & 0xFF;
  const int own = (index >> 8) & ~other & 0xFF;
  return own * 256 + other;
}

// The window-count rows as published, by shape id.
constexpr int8_t LISTED_ROWS[SHAPE_COUNT][5] = {
    {0, 0, 0, 0, 0}, {5, 0, 0, 0, 0}, {4, 0, 0, 0, 0}, {3, 0, 0, 0, 0}, {2, 0, 0, 0, 0},
    {1, 0, 0, 0, 0}, {4, 1, 0, 0, 0}, {0, 1, 0, 0, 0}, {1, 1, 0, 0, 0}, {2, 1, 0, 0, 0},
    {3, 1, 0, 0, 0}, {3, 2, 0, 0, 0}, {0, 2, 0, 0, 0}, {1, 2, 0, 0, 0}, {2, 2, 0, 0, 0},
    {3, 1, 1, 0, 0}, {0, 0, 1, 0, 0}, {0, 1, 1, 0, 0}, {1, 1, 1, 0, 0}, {2, 1, 1, 0, 0},
    {2, 3, 0, 0, 0}, {0, 3, 0, 0, 0}, {1, 3, 0, 0, 0}, {2, 2, 1, 0, 0}, {0, 2, 1, 0, 0},
    {1, 2, 1, 0, 0}, {2, 1, 2, 0, 0}, {0, 0, 2, 0, 0}, {0, 1, 2, 0, 0}, {1, 1, 2, 0, 0},
    {2, 1, 1, 1, 0}, {0, 0, 0, 1, 0}, {0, 0, 1, 1, 0}, {0, 1, 1, 1, 0}, {1, 1, 1, 1, 0},
    {1, 4, 0, 0, 0}, {0, 4, 0, 0, 0}, {1, 3, 1, 0, 0}, {0, 3, 1, 0, 0}, {1, 2, 2, 0, 0},
    {0, 2, 2, 0, 0}, {1, 2, 1, 1, 0}, {0, 2, 1, 1, 0}, {1, 1, 3, 0, 0}, {0, 0, 3, 0, 0},
    {0, 1, 3, 0, 0}, {1, 1, 2, 1, 0}, {0, 0, 2, 1, 0}, {0, 1, 2, 1, 0}, {1, 1, 1, 2, 0},
    {0, 0, 0, 2, 0}, {0, 0, 1, 2, 0}, {0, 1, 1, 2, 0}, {1, 1, 1, 1, 1}, {0, 0, 0, 0, 1},
    {0, 0, 0, 1, 1}, {0, 0, 1, 1, 1}, {0, 1, 1, 1, 1}, {0, 5, 0, 0, 0}, {0, 4, 1, 0, 0},
    {0, 3, 2, 0, 0}, {0, 2, 3, 0, 0}, {0, 2, 2, 1, 0}, {0, 2, 1, 2, 0}, {0, 1, 4, 0, 0},
    {0, 0, 4, 0, 0}, {0, 1, 3, 1, 0}, {0, 0, 3, 1, 0}, {0, 1, 2, 2, 0}, {0, 0, 2, 2, 0},
    {0, 1, 1, 3, 0}, {0, 0, 0, 3, 0}, {0, 0, 1, 3, 0}, {0, 1, 1, 2, 1}, {0, 0, 0, 2, 1},
    {0, 0, 1, 2, 1}, {0, 1, 1, 1, 2}, {0, 0, 0, 0, 2}, {0, 0, 0, 1, 2}, {0, 0, 1, 1, 2},
    {0, 0, 5, 0, 0}, {0, 0, 4, 1, 0}, {0, 0, 3, 2, 0}, {0, 0, 2, 3, 0}, {0, 0, 1, 4, 0},
    {0, 0, 0, 4, 0}, {0, 0, 2, 2, 1}, {0, 0, 1, 3, 1}, {0, 0, 0, 3, 1}, {0, 0, 1, 2, 2},
    {0, 0, 0, 2, 2}, {0, 0, 1, 1, 3}, {0, 0, 0, 0, 3}, {0, 0, 0, 1, 3}, {0, 3, 1, 1, 0},
    {0, 1, 2, 1, 1}, {0, 0, 2, 1, 1}, {0, 0, 0, 5, 0}, {0, 0, 0, 4, 1}, {0, 0, 0, 3, 2},
    {0, 0, 0, 2, 3}, {0, 0, 0, 1, 4}, {0, 0, 0, 0, 4}, {0, 2, 1, 1, 1}, {0, 0, 2, 1, 2},
    {0, 0, 3, 1, 1}, {0, 0, 0, 0, 5},
};

TEST(LineClassTable, ClassCountsMatchThePublishedFigures) {
  const std::array<int, 10> expected = {53248, 448, 121, 2135, 483, 3890, 660, 3214, 313, 1024};
  std::array<int, 10> counts{};
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    ASSERT_LE(LINE_CLASS_TABLE[i], 9) << "index " << i;
    ++counts[LINE_CLASS_TABLE[i]];
  }
  EXPECT_EQ(counts, expected);
}

struct Example {
  int index;
  int pattern_class;
  int shape;
};

TEST(LineTables, PublishedExampleIndices) {
  const Example examples[] = {
      {0x0000, 2, 1},  {0x0018, 0, 0},  {0xFFFF, 0, 0},  {0xFF00, 9, 106}, {0x0800, 4, 35},
      {0x4400, 4, 58}, {0x2400, 5, 59}, {0x1800, 6, 61}, {0x1881, 6, 44},  {0x1600, 7, 62},
      {0x1C00, 8, 68}, {0xE700, 8, 82}, {0x0F00, 9, 53}, {0x4081, 3, 9},
  };
  for (const Example& ex : examples) {
    EXPECT_EQ(LINE_CLASS_TABLE[ex.index], ex.pattern_class) << "index 0x" << std::hex << ex.index;
    EXPECT_EQ(SHAPE_TABLE[ex.index], ex.shape) << "index 0x" << std::hex << ex.index;
  }
}

TEST(LineClassTable, ThreesOpenThreesAndOverlines) {
  using lo::step_bit;
  // ..x.X.x.. : a split three, no single addition gives two completing cells.
  EXPECT_EQ(LINE_CLASS_TABLE[(step_bit(-2) | step_bit(2)) * 256], CLASS_THREE);
  // ..xXx.. between blocked cells four steps away: still an open three.
  EXPECT_EQ(LINE_CLASS_TABLE[(step_bit(-1) | step_bit(1)) * 256 + (step_bit(-4) | step_bit(4))],
            CLASS_OPEN_THREE);
  // A block three steps away leaves ....xXx.| open; two steps away, ....xXx|
  // is only a three.
  EXPECT_EQ(LINE_CLASS_TABLE[(step_bit(-1) | step_bit(1)) * 256 + step_bit(3)], CLASS_OPEN_THREE);
  EXPECT_EQ(LINE_CLASS_TABLE[(step_bit(-1) | step_bit(1)) * 256 + step_bit(2)], CLASS_THREE);
  // xxxxXxxxx and xxxxX.... : an overline and a plain five both count.
  EXPECT_EQ(LINE_CLASS_TABLE[0xFF00], CLASS_FIVE);
  EXPECT_EQ(LINE_CLASS_TABLE[0x0F00], CLASS_FIVE);
  // xxx.X| is a four; |xX..| has no room for five at all.
  EXPECT_EQ(LINE_CLASS_TABLE[(step_bit(-4) | step_bit(-3) | step_bit(-2)) * 256 + step_bit(1)],
            CLASS_FOUR);
  EXPECT_EQ(LINE_CLASS_TABLE[step_bit(-1) * 256 + (step_bit(-2) | step_bit(3))], CLASS_NONE);
}

TEST(LineClassTable, AgreesWithTheWindowReadingAtEveryIndex) {
  auto oracle = std::make_unique<lo::ClassOracle>();
  int wrong = 0;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const lo::Line line = lo::read_line(i);
    const int expected = oracle->classify(line.live, line.own & lo::window_cells(line.live));
    if (LINE_CLASS_TABLE[i] != expected && ++wrong <= 10)
      ADD_FAILURE() << "index " << i << ": class " << int(LINE_CLASS_TABLE[i]) << ", expected "
                    << expected;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(LineTables, SymmetricUnderReversingTheLine) {
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const int r = reversed_index(i);
    ASSERT_EQ(LINE_CLASS_TABLE[i], LINE_CLASS_TABLE[r]) << "index " << i;
    ASSERT_EQ(SHAPE_TABLE[i], SHAPE_TABLE[r]) << "index " << i;
  }
}

TEST(LineTables, OwnBitsUnderBlockedCellsMakeNoDifference) {
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const int u = unblocked_index(i);
    ASSERT_EQ(LINE_CLASS_TABLE[i], LINE_CLASS_TABLE[u]) << "index " << i;
    ASSERT_EQ(SHAPE_TABLE[i], SHAPE_TABLE[u]) << "index " << i;
    ASSERT_EQ(MOVE_WEIGHT_TABLE[i], MOVE_WEIGHT_TABLE[u]) << "index " << i;
  }
}

TEST(LineTables, ClassZeroExactlyWhereShapeZeroAndRoomForFiveGivesBoth) {
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const lo::Line line = lo::read_line(i);
    const bool room_for_five = line.left + 1 + line.right >= 5;
    ASSERT_EQ(LINE_CLASS_TABLE[i] == 0, SHAPE_TABLE[i] == 0) << "index " << i;
    ASSERT_EQ(room_for_five, LINE_CLASS_TABLE[i] != 0) << "index " << i;
    ASSERT_LT(SHAPE_TABLE[i], SHAPE_COUNT) << "index " << i;
  }
}

TEST(LineClassTable, LinesOfWallsAloneRiseNoHigherThanAnOpenOne) {
  int checked = 0;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const int own = i >> 8, other = i & 0xFF;
    if ((own & ~other) != 0) continue;  // an own stone somewhere on the line
    ++checked;
    ASSERT_LE(LINE_CLASS_TABLE[i], CLASS_OPEN_ONE) << "index " << i;
  }
  EXPECT_EQ(checked, 6561);  // 3^8: each cell empty, blocked, or blocked with an own bit
}

TEST(ShapeWindowCounts, RowsComeOutExactlyAsListed) {
  for (int id = 0; id < SHAPE_COUNT; ++id)
    for (int n = 0; n < 5; ++n)
      EXPECT_EQ(SHAPE_WINDOW_COUNTS[id][n], LISTED_ROWS[id][n]) << "id " << id << " c" << n + 1;
}

TEST(ShapeTable, EveryEntryNamesTheRowOfItsOwnWindowCounts) {
  // The id of every index must point at the row of the windows actually on
  // that line, and ids must be numbered by first occurrence.
  int next_new_id = 1;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const lo::Line line = lo::read_line(i);
    const int id = SHAPE_TABLE[i];
    if (line.live == 0) {
      ASSERT_EQ(id, 0) << "index " << i;
      continue;
    }
    const std::array<int, 5> counts = lo::window_counts(line);
    for (int n = 0; n < 5; ++n)
      ASSERT_EQ(LISTED_ROWS[id][n], counts[n]) << "index " << i << " id " << id << " c" << n + 1;
    ASSERT_LE(id, next_new_id) << "index " << i << " skips ahead in the numbering";
    if (id == next_new_id) ++next_new_id;
  }
  EXPECT_EQ(next_new_id, SHAPE_COUNT);
}

TEST(PatternGeneration, IsReproducibleAndMatchesTheBuiltTables) {
  auto first = std::make_unique<GeneratedTables>();
  auto second = std::make_unique<GeneratedTables>();
  ASSERT_TRUE(generate_tables(*first));
  ASSERT_TRUE(generate_tables(*second));
  EXPECT_EQ(first->shape_count, SHAPE_COUNT);
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    ASSERT_EQ(first->line_class[i], second->line_class[i]) << "index " << i;
    ASSERT_EQ(first->shape[i], second->shape[i]) << "index " << i;
    ASSERT_EQ(first->move_weight[i], second->move_weight[i]) << "index " << i;
    ASSERT_EQ(first->line_class[i], LINE_CLASS_TABLE[i]) << "index " << i;
    ASSERT_EQ(first->shape[i], SHAPE_TABLE[i]) << "index " << i;
    ASSERT_EQ(first->move_weight[i], MOVE_WEIGHT_TABLE[i]) << "index " << i;
  }
  for (int id = 0; id < SHAPE_COUNT; ++id)
    for (int n = 0; n < 5; ++n) ASSERT_EQ(first->window_counts[id][n], SHAPE_WINDOW_COUNTS[id][n]);
}

}  // namespace
}  // namespace quorlith
