// The plus brain's line and combo rules under the three rules: freestyle
// agrees entry by entry with the exact engine's class table (two readings
// of the same recursive rule, built apart), the other rules differ from it
// exactly where a six or black's forbidden shapes make them, and every
// table reads a line the same from either end.
#include <gtest/gtest.h>

#include <string>

#include "patterns/line_rules.h"
#include "patterns/tables.h"

namespace quorlith {
namespace {

// A line from its picture, seen by `side`: 'x' own, 'o' the opponent's,
// '|' the edge, '.' empty, 'X' the centre. The picture holds 2h + 1 cells.
LinePattern classify_picture(Rule rule, int side, const std::string& picture) {
  LineCell cells[2 * MAX_HALF_LINE + 1];
  for (size_t i = 0; i < picture.size(); ++i)
    cells[i] = picture[i] == 'x' ? LineCell::OWN
               : picture[i] == '.' || picture[i] == 'X' ? LineCell::EMPTY
                                                        : LineCell::BLOCKED;
  return classify_line(rule, side, cells, static_cast<int>(picture.size() / 2));
}

TEST(LineRules, FreestyleAgreesWithTheExactEnginesClassTable) {
  const LineTables& t = line_tables(Rule::FREESTYLE);
  ASSERT_EQ(t.half, 4);
  ASSERT_EQ(t.line.size(), 65536u);
  const LinePattern of_class[10] = {LINE_DEAD, LINE_B1, LINE_F1, LINE_B2, LINE_F2,
                                    LINE_B3,   LINE_F3, LINE_B4, LINE_F4, LINE_FIVE};
  for (int own = 0; own < 256; ++own)
    for (int other = 0; other < 256; ++other) {
      // The exact engine's masks: own and other bits, a wall in both.
      uint32_t key = 0;
      for (int j = 0; j < 8; ++j) {
        const bool o = (own >> j) & 1, b = (other >> j) & 1;
        key |= static_cast<uint32_t>(o && b ? 3 : o ? 1 : b ? 2 : 0) << (2 * j);
      }
      ASSERT_EQ(t.line[key] & 15, of_class[LINE_CLASS_TABLE[own * 256 + other]]) << own << " " << other;
    }
}

// Pictures of eleven cells, the centre X in the middle; freestyle reads
// the nine in the middle.
LinePattern classify_in(Rule rule, int side, const std::string& picture) {
  return classify_picture(rule, side, rule == Rule::FREESTYLE ? picture.substr(1, 9) : picture);
}

TEST(LineRules, SixInARowWinsOnlyWhereTheRuleSaysSo) {
  const std::string six = "...xxXxxx..";
  EXPECT_EQ(classify_in(Rule::FREESTYLE, BLACK, six), LINE_FIVE);
  EXPECT_EQ(classify_in(Rule::STANDARD, BLACK, six), LINE_OVERLINE);
  EXPECT_EQ(classify_in(Rule::STANDARD, WHITE, six), LINE_OVERLINE);
  EXPECT_EQ(classify_in(Rule::RENJU, BLACK, six), LINE_OVERLINE);
  EXPECT_EQ(classify_in(Rule::RENJU, WHITE, six), LINE_FIVE);
  const std::string five = "...xxXxx...";
  for (Rule rule : {Rule::FREESTYLE, Rule::STANDARD, Rule::RENJU})
    for (int side : {BLACK, WHITE}) EXPECT_EQ(classify_in(rule, side, five), LINE_FIVE);
  // |.xxxX.x: the left end makes five, the gap six; where six wins nothing
  // that leaves a four with one completion.
  const std::string gap_makes_six = "|.xxxX.x...";
  EXPECT_EQ(classify_in(Rule::FREESTYLE, BLACK, gap_makes_six), LINE_F4);
  EXPECT_EQ(classify_in(Rule::STANDARD, BLACK, gap_makes_six), LINE_B4);
  EXPECT_EQ(classify_in(Rule::RENJU, BLACK, gap_makes_six), LINE_B4);
  EXPECT_EQ(classify_in(Rule::RENJU, WHITE, gap_makes_six), LINE_F4);
}

TEST(LineRules, BlackInRenjuTellsAStraightFourFromTwoFoursOnALine) {
  // x.xXx.x: two fours on one line, each completed by its own gap.
  const std::string two_fours = "..x.xXx.x..";
  EXPECT_EQ(classify_in(Rule::RENJU, BLACK, two_fours), LINE_DOUBLE_FOUR);
  EXPECT_EQ(classify_in(Rule::RENJU, WHITE, two_fours), LINE_F4);
  EXPECT_EQ(classify_in(Rule::STANDARD, BLACK, two_fours), LINE_F4);
  EXPECT_EQ(classify_in(Rule::FREESTYLE, BLACK, two_fours), LINE_F4);
  // .xxXx. is a straight four for every side and rule.
  for (Rule rule : {Rule::FREESTYLE, Rule::STANDARD, Rule::RENJU})
    for (int side : {BLACK, WHITE}) EXPECT_EQ(classify_in(rule, side, "...xxXx...."), LINE_F4);
}

TEST(LineRules, EveryTableReadsALineTheSameFromEitherEnd) {
  for (Rule rule : {Rule::FREESTYLE, Rule::STANDARD, Rule::RENJU}) {
    const LineTables& t = line_tables(rule);
    const int slots = 2 * t.half;
    for (uint32_t key = 0; key < t.line.size(); key += rule == Rule::FREESTYLE ? 1 : 7) {
      uint32_t reversed = 0;
      for (int j = 0; j < slots; ++j) reversed |= ((key >> (2 * j)) & 3) << (2 * (slots - 1 - j));
      ASSERT_EQ(t.line[key], t.line[reversed]) << static_cast<int>(rule) << " " << key;
    }
  }
}

TEST(ComboRules, FoursAndThreesCombineByPrecedence) {
  const LinePattern four_three[4] = {LINE_B4, LINE_F3, LINE_B1, LINE_DEAD};
  const LinePattern two_fours[4] = {LINE_B4, LINE_B4, LINE_F2, LINE_DEAD};
  const LinePattern two_threes[4] = {LINE_F3, LINE_F3, LINE_B1, LINE_DEAD};
  const LinePattern three_two[4] = {LINE_F3, LINE_F2, LINE_F1, LINE_F1};
  const LinePattern overline[4] = {LINE_OVERLINE, LINE_F3, LINE_F1, LINE_F1};
  const LinePattern five_and_more[4] = {LINE_FIVE, LINE_OVERLINE, LINE_B4, LINE_B4};
  EXPECT_EQ(combine_lines(Rule::FREESTYLE, BLACK, four_three), COMBO_B4F3);
  EXPECT_EQ(combine_lines(Rule::FREESTYLE, BLACK, two_fours), COMBO_F4);
  EXPECT_EQ(combine_lines(Rule::RENJU, WHITE, two_fours), COMBO_F4);
  EXPECT_EQ(combine_lines(Rule::RENJU, BLACK, two_fours), COMBO_FORBIDDEN);
  EXPECT_EQ(combine_lines(Rule::FREESTYLE, WHITE, two_threes), COMBO_F3X2);
  EXPECT_EQ(combine_lines(Rule::RENJU, BLACK, two_threes), COMBO_F3X2 | COMBO_DOUBLE_THREE_FLAG);
  EXPECT_EQ(combine_lines(Rule::RENJU, BLACK, four_three), COMBO_B4F3);
  EXPECT_EQ(combine_lines(Rule::FREESTYLE, BLACK, three_two), COMBO_F3_PLUS);
  EXPECT_EQ(combine_lines(Rule::STANDARD, BLACK, overline), COMBO_F3);
  EXPECT_EQ(combine_lines(Rule::RENJU, BLACK, overline), COMBO_FORBIDDEN);
  EXPECT_EQ(combine_lines(Rule::RENJU, BLACK, five_and_more), COMBO_FIVE);
}

}  // namespace
}  // namespace quorlith
