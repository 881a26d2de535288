// Candidate lists: the table move, the scan and its threshold, and the
// narrowing rules for fives, open fours and open-four threats.
#include <gtest/gtest.h>

#include <algorithm>

#include "search/search_helpers.h"

namespace quorlith::search_test {
namespace {

// Plants a table entry for the current position with the given reply.
void plant_reply(Engine& e, At reply) {
  HashEntry& slot = e.transposition_table[e.hash_index];
  slot.check1 = e.hash_check1;
  slot.check2 = e.hash_check2;
  slot.reply = Point{static_cast<uint8_t>(reply.x), static_cast<uint8_t>(reply.y)};
}

void expect_single(Position& p, At expected) {
  const std::vector<ScoredMove> list = candidates(p.engine());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(at_of(list[0]), expected);
  EXPECT_EQ(list[0].score, score_move(p.cell(expected))) << "the entry keeps its move score";
}

TEST(Candidates, QuietListIsEveryNeighbourScoringAboveOneInRowOrder) {
  auto e = game_from_moves(15, "7,7 8,8 6,8 8,6 7,9 7,6");
  const GameState before(*e);
  const std::vector<ScoredMove> list = candidates(*e);
  EXPECT_TRUE(GameState(*e) == before);
  ASSERT_FALSE(list.empty());
  // Every entry is an empty neighbour cell of the box with its own score.
  for (size_t i = 0; i < list.size(); ++i) {
    const Cell& c = e->cells[list[i].x][list[i].y];
    EXPECT_EQ(c.occupant, EMPTY);
    EXPECT_TRUE(c.near_count != 0 || c.far_count != 0);
    EXPECT_GE(list[i].x, e->box_min.x);
    EXPECT_LE(list[i].x, e->box_max.x);
    EXPECT_GE(list[i].y, e->box_min.y);
    EXPECT_LE(list[i].y, e->box_max.y);
    EXPECT_EQ(list[i].score, score_move(c));
    EXPECT_GT(list[i].score, 1);
    if (i > 0) {
      const bool row_order = list[i - 1].y < list[i].y || (list[i - 1].y == list[i].y && list[i - 1].x < list[i].x);
      EXPECT_TRUE(row_order) << "entry " << i << " out of row order";
    }
  }
  // And no such cell is missing.
  size_t expected = 0;
  for (int y = e->box_min.y; y <= e->box_max.y; ++y)
    for (int x = e->box_min.x; x <= e->box_max.x; ++x) {
      const Cell& c = e->cells[x][y];
      if (c.occupant == EMPTY && (c.near_count || c.far_count) && score_move(c) > 1) ++expected;
    }
  EXPECT_EQ(list.size(), expected);
}

// A lone stone in the corner: its neighbours score exactly 1 (the adjacent
// stone) or 0, so nothing is worth a place.
TEST(Candidates, ScoreOneCellsAreLeftOutAndTheListCanBeEmpty) {
  Position p(15, {"o"});
  ASSERT_EQ(score_move(p->cells[BORDER + 1][BORDER]), 1);
  ASSERT_EQ(score_move(p->cells[BORDER + 1][BORDER + 1]), 1);
  EXPECT_TRUE(candidates(p.engine()).empty());
}

TEST(Candidates, TableMoveComesFirstWithItsKeyAndOnlyOnce) {
  auto e = game_from_moves(15, "7,7 8,8 6,8 8,6 7,9 7,6");
  const std::vector<ScoredMove> plain = candidates(*e);
  ASSERT_GE(plain.size(), 4u);
  const At reply = at_of(plain[plain.size() / 2]);
  plant_reply(*e, reply);

  const std::vector<ScoredMove> list = candidates(*e);
  ASSERT_EQ(list.size(), plain.size());
  EXPECT_EQ(at_of(list[0]), reply);
  EXPECT_EQ(list[0].score, HASH_MOVE_SCORE);
  std::vector<ScoredMove> rest = plain;
  rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(plain.size() / 2));
  for (size_t i = 0; i < rest.size(); ++i) {
    EXPECT_EQ(at_of(list[i + 1]), at_of(rest[i])) << "entry " << i + 1;
    EXPECT_EQ(list[i + 1].score, rest[i].score);
  }
}

TEST(Candidates, TableMoveNeedsBothCheckWordsAndAMove) {
  auto e = game_from_moves(15, "7,7 8,8 6,8 8,6 7,9 7,6");
  const std::vector<ScoredMove> plain = candidates(*e);
  const At reply = at_of(plain.back());
  HashEntry& slot = e->transposition_table[e->hash_index];

  plant_reply(*e, reply);
  slot.check1 ^= 1;
  EXPECT_EQ(candidates(*e).size(), plain.size()) << "check1 differs";
  EXPECT_EQ(at_of(candidates(*e)[0]), at_of(plain[0]));

  plant_reply(*e, reply);
  slot.check2 ^= 0x80000000u;
  EXPECT_EQ(at_of(candidates(*e)[0]), at_of(plain[0])) << "check2 differs";

  plant_reply(*e, At{0, 0});
  EXPECT_EQ(at_of(candidates(*e)[0]), at_of(plain[0])) << "no move stored";
}

// A table move that is not otherwise a candidate (score 0, far from the
// stones' lines) still comes first.
TEST(Candidates, TableMoveNeedNotScore) {
  Position p(15, {"o"}, 7, 7);
  const At far{BORDER + 9, BORDER + 9};
  ASSERT_EQ(score_move(p.cell(far)), 0);
  plant_reply(p.engine(), far);
  const std::vector<ScoredMove> list = candidates(p.engine());
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(at_of(list[0]), far);
  EXPECT_EQ(list[0].score, HASH_MOVE_SCORE);
}

TEST(Candidates, BothFivesGiveOurOwnFivePoint) {
  Position p(15, {".......",
                  "BxxxxA.",
                  ".......",
                  ".oooo.."},
             3, 3);
  expect_single(p, p.mark('B'));
}

TEST(Candidates, TheTableMoveWinsWhenItIsTheFivePoint) {
  Position p(15, {".......",
                  "BxxxxA.",
                  ".......",
                  ".oooo.."},
             3, 3);
  plant_reply(p.engine(), p.mark('A'));
  const std::vector<ScoredMove> list = candidates(p.engine());
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(at_of(list[0]), p.mark('A'));
  EXPECT_EQ(list[0].score, HASH_MOVE_SCORE);
}

// Our open three offers an open four, but the opponent's five comes first.
TEST(Candidates, EnemyFiveIsBlockedEvenWithAnOpenFourAtHand) {
  Position p(15, {"xooooF.",
                  ".......",
                  ".......",
                  "..xxx..",
                  ".......",
                  "o......"},
             3, 3);
  ASSERT_GT(p->rating_count[p.me()][RATING_OPEN_FOUR], 0);
  expect_single(p, p.mark('F'));
}

// Both sides have an open three; the opponent's comes first in row order,
// yet our own open four (the first of its cells, A) is the only move.
TEST(Candidates, OurOpenFourBeatsTheEnemyOpenFourThreat) {
  Position p(15, {"..ooo...",
                  "........",
                  "........",
                  ".Axxx...",
                  "........",
                  "......o."},
             3, 3);
  ASSERT_GT(p->rating_count[p.opp()][RATING_OPEN_FOUR], 0);
  ASSERT_EQ(p.cell(p.mark('A')).rating[p.me()], RATING_OPEN_FOUR);
  expect_single(p, p.mark('A'));
}

// Against the opponent's open three the list is rebuilt from the cells
// where either side makes a four: the opponent's B and A (open fours) and E
// and G (broken fours beside them), and our closed three's C and D. Nothing
// else, in row order, each with its move score.
TEST(Candidates, EnemyOpenFourThreatKeepsOnlyFourMakingCells) {
  Position p(20, {"..........",
                  "EBoooAG...",
                  "..........",
                  "..........",
                  "..........",
                  "..oxxxCD..",
                  "..........",
                  "..........",
                  "o........x"},
             3, 3);
  ASSERT_GT(p->rating_count[p.opp()][RATING_OPEN_FOUR], 0);
  ASSERT_EQ(p->rating_count[p.me()][RATING_OPEN_FOUR], 0);
  const std::vector<At> expected{p.mark('E'), p.mark('B'), p.mark('A'),
                                 p.mark('G'), p.mark('C'), p.mark('D')};

  const std::vector<ScoredMove> list = candidates(p.engine());
  ASSERT_EQ(list.size(), expected.size());
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(at_of(list[i]), expected[i]) << "entry " << i;
    EXPECT_EQ(list[i].score, score_move(p.cell(expected[i])));
    EXPECT_GT(list[i].score, 0);
  }
}

// In the rebuilt list the table move has no place of its own: a
// qualifying cell keeps its row-order place and its move score, any other
// cell is left out.
TEST(Candidates, RebuiltListGivesTheTableMoveNoPlaceOfItsOwn) {
  Position p(20, {"..........",
                  "..BoooA...",
                  "..........",
                  "..........",
                  "........x.",
                  "..........",
                  "x....x...."},
             3, 3);
  const std::vector<ScoredMove> plain = candidates(p.engine());
  ASSERT_EQ(plain.size(), 4u);

  plant_reply(p.engine(), p.mark('A'));
  const std::vector<ScoredMove> with_a = candidates(p.engine());
  ASSERT_EQ(with_a.size(), plain.size());
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(at_of(with_a[i]), at_of(plain[i]));
    EXPECT_EQ(with_a[i].score, plain[i].score);
  }

  const At quiet{p.mark('A').x, p.mark('A').y + 2};
  ASSERT_LT(p.cell(quiet).rating[p.opp()], RATING_FOUR);
  plant_reply(p.engine(), quiet);
  const std::vector<ScoredMove> with_quiet = candidates(p.engine());
  ASSERT_EQ(with_quiet.size(), plain.size());
  EXPECT_TRUE(std::none_of(with_quiet.begin(), with_quiet.end(),
                           [&](const ScoredMove& m) { return at_of(m) == quiet; }));
}

}  // namespace
}  // namespace quorlith::search_test
