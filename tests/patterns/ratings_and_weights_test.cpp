// The rating table, the shape weights and the move weights: published
// counts and examples, symmetry, and the seven spans with their own values.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "patterns/line_oracle.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"

namespace quorlith {
namespace {

using line_oracle::step_bit;

class DerivedTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { build_pattern_tables(); }
};

int rating_of(int c0, int c1, int c2, int c3) { return RATING_TABLE[rating_index(c0, c1, c2, c3)]; }

TEST_F(DerivedTables, RatingCountsMatchThePublishedFigures) {
  const std::array<int, 9> expected = {1296, 256, 608, 241, 256, 608, 508, 2788, 3439};
  std::array<int, 9> counts{};
  for (int i = 0; i < RATING_TABLE_SIZE; ++i) {
    ASSERT_LE(RATING_TABLE[i], RATING_FIVE) << "index " << i;
    ++counts[RATING_TABLE[i]];
  }
  EXPECT_EQ(counts, expected);
}

TEST_F(DerivedTables, RatingExamples) {
  struct Case {
    std::array<int, 4> classes;
    int rating;
  };
  const Case cases[] = {
      {{9, 0, 0, 0}, RATING_FIVE},         {{9, 9, 9, 9}, RATING_FIVE},
      {{8, 0, 0, 0}, RATING_OPEN_FOUR},    {{7, 7, 0, 0}, RATING_OPEN_FOUR},
      {{7, 6, 0, 0}, RATING_FOUR_THREE},   {{7, 5, 0, 0}, RATING_FOUR_PLUS},
      {{7, 4, 3, 3}, RATING_FOUR_PLUS},    {{7, 5, 5, 0}, RATING_FOUR_PLUS},
      {{7, 3, 3, 3}, RATING_FOUR},         {{6, 6, 0, 0}, RATING_DOUBLE_THREE},
      {{6, 6, 6, 6}, RATING_DOUBLE_THREE}, {{6, 5, 0, 0}, RATING_THREE_PLUS},
      {{6, 4, 0, 0}, RATING_THREE_PLUS},   {{6, 3, 3, 3}, RATING_THREE},
      {{5, 5, 5, 5}, RATING_NONE},         {{4, 4, 4, 4}, RATING_NONE},
      {{2, 2, 2, 2}, RATING_NONE},
  };
  for (const Case& c : cases) {
    const auto [a, b, d, e] = c.classes;
    EXPECT_EQ(rating_of(a, b, d, e), c.rating) << a << b << d << e;
    EXPECT_EQ(rate_classes(a, b, d, e), c.rating) << a << b << d << e;
  }
}

TEST_F(DerivedTables, RatingDependsOnlyOnWhichClassesOccur) {
  for (int c0 = 0; c0 < 10; ++c0)
    for (int c1 = 0; c1 < 10; ++c1)
      for (int c2 = 0; c2 < 10; ++c2)
        for (int c3 = 0; c3 < 10; ++c3) {
          std::array<int, 4> digits = {c0, c1, c2, c3};
          const int expected = rating_of(c0, c1, c2, c3);
          std::sort(digits.begin(), digits.end());
          do {
            ASSERT_EQ(rating_of(digits[0], digits[1], digits[2], digits[3]), expected)
                << c0 << c1 << c2 << c3;
          } while (std::next_permutation(digits.begin(), digits.end()));
        }
}

TEST_F(DerivedTables, ClassesBelowAnOpenTwoNeverChangeARating) {
  // Classes 0 to 3 are interchangeable wherever they stand.
  for (int c0 = 0; c0 < 10; ++c0)
    for (int c1 = 0; c1 < 10; ++c1)
      for (int c2 = 0; c2 < 10; ++c2)
        for (int low = 0; low <= 3; ++low)
          ASSERT_EQ(rating_of(c0, c1, c2, low), rating_of(c0, c1, c2, 0)) << c0 << c1 << c2 << low;
}

TEST_F(DerivedTables, ShapeWeightIsTheWindowSumOfEveryListedRow) {
  EXPECT_EQ(SHAPE_WEIGHT[0], 0);
  EXPECT_EQ(SHAPE_WEIGHT[1], 15);
  EXPECT_EQ(SHAPE_WEIGHT[5], 3);
  EXPECT_EQ(SHAPE_WEIGHT[106], 95);
  EXPECT_EQ(SHAPE_WEIGHT[53], 3 + 7 + 11 + 15 + 19);  // 1,1,1,1,1
  EXPECT_EQ(SHAPE_WEIGHT[61], 2 * 7 + 3 * 11);        // 0,2,3,0,0
  EXPECT_EQ(SHAPE_WEIGHT[82], 3 * 11 + 2 * 15);       // 0,0,3,2,0
  for (int id = 0; id < SHAPE_COUNT; ++id) {
    const auto& c = SHAPE_WINDOW_COUNTS[id];
    EXPECT_EQ(SHAPE_WEIGHT[id], 3 * c[0] + 7 * c[1] + 11 * c[2] + 15 * c[3] + 19 * c[4]) << id;
  }
}

TEST_F(DerivedTables, DerivedTablesComeOutTheSameOnEveryBuild) {
  auto ratings = std::make_unique<std::array<uint8_t, RATING_TABLE_SIZE>>();
  auto weights = std::make_unique<std::array<int32_t, LINE_TABLE_SIZE>>();
  std::copy(std::begin(RATING_TABLE), std::end(RATING_TABLE), ratings->begin());
  std::copy(std::begin(MOVE_WEIGHT), std::end(MOVE_WEIGHT), weights->begin());
  build_pattern_tables();
  EXPECT_TRUE(std::equal(ratings->begin(), ratings->end(), std::begin(RATING_TABLE)));
  EXPECT_TRUE(std::equal(weights->begin(), weights->end(), std::begin(MOVE_WEIGHT)));
}

// --- Move weights ---

// The index of a span picture: L and R free cells (a blocked cell just
// beyond each end that is not 4 steps out) and own cells at the given steps.
int span_index(int left, int right, const std::vector<int>& own_steps) {
  unsigned own = 0, other = 0;
  for (int d : own_steps) own |= step_bit(d);
  if (left < 4) other |= step_bit(-(left + 1));
  if (right < 4) other |= step_bit(right + 1);
  return static_cast<int>(own * 256 + other);
}

// The seven spans whose move weight is given outright.
struct SpecialSpan {
  const char* picture;
  int left, right;
  std::vector<int> own;
  int pattern_class;
  int weight;
};
const SpecialSpan SPECIAL_SPANS[] = {
    {"x..Xx.x", 3, 3, {-3, 1, 3}, 6, 5},   {"x..xX.x", 4, 2, {-4, -1, 2}, 6, 5},
    {"x.Xx..x", 2, 4, {-2, 1, 4}, 6, 5},   {"x.xX..x", 3, 3, {-3, -1, 3}, 6, 5},
    {".x..Xx.x", 4, 3, {-3, 1, 3}, 6, 6},  {"x.xX..x.", 3, 4, {-3, -1, 3}, 6, 6},
    {"...X..x", 3, 3, {3}, 3, 15},
};

TEST_F(DerivedTables, MoveWeightCountsMatchThePublishedFigures) {
  const std::map<int, int> expected = {{0, 59720}, {4, 469}, {5, 106}, {6, 46},
                                       {7, 6},     {8, 2},   {15, 5187}};
  std::map<int, int> counts;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) ++counts[MOVE_WEIGHT_TABLE[i]];
  EXPECT_EQ(counts, expected);
}

TEST_F(DerivedTables, SevenSpansTakeTheirOwnValues) {
  for (const SpecialSpan& s : SPECIAL_SPANS) {
    const int i = span_index(s.left, s.right, s.own);
    EXPECT_EQ(LINE_CLASS_TABLE[i], s.pattern_class) << s.picture;
    EXPECT_EQ(MOVE_WEIGHT_TABLE[i], s.weight) << s.picture;
  }
  // The mirror of the seventh, x..X..., falls to the ordinary rule: 0.
  EXPECT_EQ(MOVE_WEIGHT_TABLE[span_index(3, 3, {-3})], 0);
  // An ordinary open three takes 15, an open two its window sum.
  EXPECT_EQ(MOVE_WEIGHT_TABLE[0x1800], 15);  // ...xXx...
  EXPECT_EQ(MOVE_WEIGHT_TABLE[0x0800], 4);   // ...xX.... : v = 4 windows of two
  EXPECT_EQ(MOVE_WEIGHT_TABLE[0x0000], 0);   // nothing of our own
}

TEST_F(DerivedTables, MoveWeightsAreSymmetricExceptAtEightIndices) {
  const std::set<int> asymmetric = {
      64 * 256 + 129, 65 * 256 + 129, 192 * 256 + 129, 193 * 256 + 129,
      2 * 256 + 129,  130 * 256 + 129, 3 * 256 + 129,  131 * 256 + 129,
  };
  std::set<int> found;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const int own = i >> 8, other = i & 0xFF;
    auto reverse = [](int b) {
      int r = 0;
      for (int k = 0; k < 8; ++k)
        if ((b >> k) & 1) r |= 1 << (7 - k);
      return r;
    };
    if (MOVE_WEIGHT_TABLE[i] != MOVE_WEIGHT_TABLE[reverse(own) * 256 + reverse(other)]) found.insert(i);
  }
  EXPECT_EQ(found, asymmetric);
  for (int i : {64 * 256 + 129, 65 * 256 + 129, 192 * 256 + 129, 193 * 256 + 129})
    EXPECT_EQ(MOVE_WEIGHT_TABLE[i], 15) << i;
  for (int i : {2 * 256 + 129, 130 * 256 + 129, 3 * 256 + 129, 131 * 256 + 129})
    EXPECT_EQ(MOVE_WEIGHT_TABLE[i], 0) << i;
}

TEST_F(DerivedTables, MoveWeightFollowsClassAndWindowsOutsideTheSevenSpans) {
  // Outside the seven spans: 0 without room for five, 15 for an open three
  // or better, else v = c2 + 2 * c3 when it reaches 4.
  line_oracle::ClassOracle oracle;
  std::set<int> special_indices;
  for (const SpecialSpan& s : SPECIAL_SPANS) special_indices.insert(span_index(s.left, s.right, s.own));
  int wrong = 0;
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) {
    const line_oracle::Line line = line_oracle::read_line(i);
    // Reduce the index to its span picture to recognise the seven spans.
    unsigned own_bits = 0;
    for (int d = -line.left; d <= line.right; ++d)
      if (d != 0 && ((line.own >> (line_oracle::CENTRE + d)) & 1u)) own_bits |= step_bit(d);
    unsigned other_bits = 0;
    if (line.left < 4) other_bits |= step_bit(-(line.left + 1));
    if (line.right < 4) other_bits |= step_bit(line.right + 1);
    if (special_indices.count(static_cast<int>(own_bits * 256 + other_bits))) continue;
    int expected = 0;
    if (line.live != 0) {
      const int c = oracle.classify(line.live, line.own & line_oracle::window_cells(line.live));
      const auto counts = line_oracle::window_counts(line);
      const int v = counts[1] + 2 * counts[2];
      expected = c >= CLASS_OPEN_THREE ? 15 : (v >= 4 ? v : 0);
    }
    if (MOVE_WEIGHT_TABLE[i] != expected && ++wrong <= 10)
      ADD_FAILURE() << "index " << i << ": weight " << MOVE_WEIGHT_TABLE[i] << ", expected "
                    << expected;
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(DerivedTables, WorkingCopyOfTheMoveWeightsIsTheSignedWidening) {
  for (int i = 0; i < LINE_TABLE_SIZE; ++i)
    ASSERT_EQ(MOVE_WEIGHT[i], static_cast<int32_t>(MOVE_WEIGHT_TABLE[i])) << i;
}

}  // namespace
}  // namespace quorlith
