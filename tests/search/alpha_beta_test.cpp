// The node routine: forced results below and at the root, the horizon, the
// root shortcuts, the stop flag, tie order and the exact-depth table probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "search/search_helpers.h"

namespace quorlith::search_test {
namespace {

constexpr const char* QUIET_15 = "7,7 8,8 6,8 8,6 7,9 7,6";

// Both sides have a five point; the side to move's are A and B.
Position both_fives() {
  return Position(15, {".......",
                       "BxxxxA.",
                       ".......",
                       ".oooo.."},
                  3, 3);
}

void plant(Engine& e, int16_t score, int16_t depth, At reply) {
  HashEntry& slot = e.transposition_table[e.hash_index];
  slot.check1 = e.hash_check1;
  slot.check2 = e.hash_check2;
  slot.score = score;
  slot.depth = depth;
  slot.reply = Point{static_cast<uint8_t>(reply.x), static_cast<uint8_t>(reply.y)};
}

TEST(AlphaBeta, BelowTheRootAFivePointIs29999AtAnyDepthWithoutAMove) {
  Position p = both_fives();
  for (int depth : {0, 1, 4}) {
    reset_search(p.engine());
    const ScoredMove r = p->alpha_beta(depth, false, -10, 10);
    EXPECT_EQ(r.score, 29999) << "depth " << depth << "; forced results are not clamped";
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(p->nodes, 0) << "no move was tried";
  }
}

TEST(AlphaBeta, BelowTheRootForcedResultsMapOnePointPerPly) {
  // Two enemy five points: lost on ply 2.
  Position two_fives(20, {".oooo.", "......", "......", "......", "......", "x.....x", "......", "......",
                          "...x.....x"},
                     2, 2);
  reset_search(two_fives.engine());
  EXPECT_EQ(two_fives->alpha_beta(3, false, -ROOT_BOUND, ROOT_BOUND).score, -29998);
  EXPECT_EQ(two_fives->nodes, 0);

  // Our open four: five on ply 3.
  Position open_four(15, {"..xxx...", "........", "........", "xooo....", "........", "......o."}, 3, 3);
  reset_search(open_four.engine());
  EXPECT_EQ(open_four->alpha_beta(3, false, -ROOT_BOUND, ROOT_BOUND).score, 29997);

  // Forced block, then the opponent's open four: lost on ply 4.
  Position block_then_lose(20, {"xooooF.......", ".............", ".............", "........ooo..", ".............",
                                ".............", ".............", ".............", "x.....x.....x",
                                ".............", ".............", ".............", "...x.....x.....x"},
                           0, 3);
  reset_search(block_then_lose.engine());
  EXPECT_EQ(block_then_lose->alpha_beta(5, false, -ROOT_BOUND, ROOT_BOUND).score, -29996);
}

TEST(AlphaBeta, DepthZeroReturnsTheEvaluationUnclamped) {
  auto e = game_from_moves(15, "7,7 8,8 6,8 8,6 7,9");
  const int32_t eval = e->evaluate();
  ASSERT_GT(std::abs(eval), 1) << "pick a position whose value lies outside the window below";
  reset_search(*e);
  const ScoredMove r = e->alpha_beta(0, false, -1, 1);
  EXPECT_EQ(r.score, eval);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(e->nodes, 0);
}

// Our four-three at A is met by no four: the child after A is lost for the
// opponent on ply 4 (-29996), which is 29995 one ply up.
TEST(AlphaBeta, RootSearchesOnAfterAFourThreeAndFindsItsValue) {
  Position p(20, {"oxxxA..", "....x..", "....x..", ".......", ".......", "o.....o.....o", ".......", ".......",
                  "...o..."},
             2, 4);
  const ScoredMove r = root_search(p.engine(), 1);
  EXPECT_EQ(at_of(r), p.mark('A'));
  EXPECT_EQ(r.score, 29995);
  EXPECT_GT(p->nodes, 1) << "the root searched its moves";
}

TEST(AlphaBeta, RootFivePointIsTheFirstInRowOrderWithoutSearch) {
  // An anti-diagonal four: its five points are B (row 0) and C (row 5); C
  // lies further left, but B comes first in row order.
  Position p(15, {".....B", "....x.", "...x..", "..x...", ".x....", "C.....", "......", "oo.oo."}, 4, 3);
  ASSERT_EQ(p.cell(p.mark('C')).rating[p.me()], RATING_FIVE);
  // A table move pointing at the other five point changes nothing.
  plant(p.engine(), 0, 0, p.mark('C'));
  for (int depth : {0, 3}) {
    const ScoredMove r = root_search(p.engine(), depth);
    EXPECT_EQ(at_of(r), p.mark('B')) << "depth " << depth;
    EXPECT_EQ(r.score, 29999);
    EXPECT_EQ(p->pv[0][0].x, p.mark('B').x);
    EXPECT_EQ(p->pv[0][0].y, p.mark('B').y);
    EXPECT_EQ(p->nodes, 0);
  }
}

// Two enemy five points (-2) do not end the root: the list narrows to the
// first blocking cell, which comes back with its move score as value.
TEST(AlphaBeta, RootWithALostPositionStillAnswersTheFirstBlock) {
  Position p(20, {"Boooo.", "......", "......", "......", "......", "x.....x", "......", "......", "...x.....x"}, 2,
             2);
  const ScoredMove r = root_search(p.engine(), 4);
  EXPECT_EQ(at_of(r), p.mark('B'));
  EXPECT_EQ(r.score, score_move(p.cell(p.mark('B'))));
  EXPECT_EQ(p->pv[0][0].x, p.mark('B').x);
  EXPECT_EQ(p->nodes, 0);
}

// Our open four (3) does not end the root either: the single candidate is
// the first open-four cell, returned with its ordering key.
TEST(AlphaBeta, RootSingleCandidateComesBackWithItsOrderingKey) {
  Position p(15, {".Axxx...", "........", "........", "xooo....", "........", "......o."}, 3, 3);
  ScoredMove r = root_search(p.engine(), 5);
  EXPECT_EQ(at_of(r), p.mark('A'));
  EXPECT_EQ(r.score, score_move(p.cell(p.mark('A'))));
  EXPECT_EQ(p->nodes, 0);

  plant(p.engine(), 0, 0, p.mark('A'));
  r = root_search(p.engine(), 5);
  EXPECT_EQ(at_of(r), p.mark('A'));
  EXPECT_EQ(r.score, HASH_MOVE_SCORE);
}

TEST(AlphaBeta, StopReturnsNothingAndTouchesNothing) {
  auto e = game_from_moves(15, QUIET_15);
  reset_search(*e);
  e->pv[0][0] = Engine::PvMove{9, 9};
  const GameState before(*e);
  e->stop = true;
  for (bool root : {true, false}) {
    const ScoredMove r = e->alpha_beta(5, root, -ROOT_BOUND, ROOT_BOUND);
    EXPECT_EQ(r.x, 0);
    EXPECT_EQ(r.y, 0);
    EXPECT_EQ(r.score, 0);
  }
  EXPECT_EQ(e->nodes, 0);
  EXPECT_EQ(e->pv[0][0].x, 9) << "the line is not changed on the way out";
  EXPECT_TRUE(GameState(*e) == before);
}

// With the deadline already past, the root reads the clock, tries its first
// candidate, the child returns at once, and the root gives up: nothing in
// pv, the board as before, and the child's 0 stored at the first move.
TEST(AlphaBeta, DeadlineAlreadyPastStopsAfterTheFirstCandidate) {
  auto e = game_from_moves(15, QUIET_15);
  const GameState before(*e);
  reset_search(*e);
  e->deadline_ms = clock_ms() - 1;
  const ScoredMove r = e->alpha_beta(6, true, -ROOT_BOUND, ROOT_BOUND);
  EXPECT_TRUE(e->stop);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(e->nodes, 1);
  EXPECT_EQ(e->ply, 0);
  EXPECT_EQ(e->pv[0][0].x, 0);
  EXPECT_TRUE(GameState(*e) == before);

  const Point first = e->root_first_candidate;
  ASSERT_NE(first.x, 0);
  EXPECT_EQ(e->cells[first.x][first.y].occupant, EMPTY);
  e->make_move(first.x, first.y);
  const HashEntry& slot = e->transposition_table[e->hash_index];
  EXPECT_EQ(slot.check1, e->hash_check1);
  EXPECT_EQ(slot.score, 0);
  EXPECT_EQ(slot.depth, 5);
}

// One stone in the open, the other side to move at depth 1: the eight
// neighbours all score 5 and keep row order, the four diagonal ones share one
// value and the four straight ones another. The first of the best group in
// row order must win; later equal ones must not replace it.
TEST(AlphaBeta, EqualValuesKeepTheEarlierMove) {
  Position p(15, {"o"}, 7, 7);
  const int c = BORDER + 7;
  auto value_of = [&](int x, int y) {
    p->make_move(x, y);
    const int32_t v = -p->evaluate();
    p->undo_stone();
    return v;
  };
  const int32_t diagonal = value_of(c - 1, c - 1);
  const int32_t straight = value_of(c, c - 1);
  ASSERT_EQ(value_of(c + 1, c + 1), diagonal);
  ASSERT_EQ(value_of(c + 1, c), straight);
  const At expected = diagonal >= straight ? At{c - 1, c - 1} : At{c, c - 1};

  const ScoredMove r = root_search(p.engine(), 1);
  EXPECT_EQ(at_of(r), expected);
  EXPECT_EQ(r.score, std::max(diagonal, straight));
}

// The table answers a child only at exactly the child's depth. An entry with
// a different depth is ignored, the child is searched and the entry is
// overwritten with what an unplanted search stores there.
TEST(AlphaBeta, TableEntryOfAnotherDepthIsSearchedAgainAndOverwritten) {
  auto control = game_from_moves(15, QUIET_15);
  const ScoredMove expected = root_search(*control, 2);
  const Point first = control->root_first_candidate;
  control->make_move(first.x, first.y);
  const HashEntry stored = control->transposition_table[control->hash_index];
  control->undo_stone();
  ASSERT_EQ(stored.depth, 1);

  for (int16_t other_depth : {0, 2, 5}) {
    auto e = game_from_moves(15, QUIET_15);
    e->make_move(first.x, first.y);
    plant(*e, 20000, other_depth, At{0, 0});
    e->undo_stone();
    const ScoredMove r = root_search(*e, 2);
    EXPECT_EQ(at_of(r), at_of(expected)) << "planted at depth " << other_depth;
    EXPECT_EQ(r.score, expected.score);
    e->make_move(first.x, first.y);
    const HashEntry& slot = e->transposition_table[e->hash_index];
    EXPECT_EQ(slot.score, stored.score);
    EXPECT_EQ(slot.depth, 1);
    EXPECT_EQ(slot.reply, stored.reply);
  }

  // At the matching depth the same entry is taken as the child's value.
  auto hit = game_from_moves(15, QUIET_15);
  hit->make_move(first.x, first.y);
  plant(*hit, 20000, 1, At{0, 0});
  hit->undo_stone();
  const ScoredMove taken = root_search(*hit, 2);
  EXPECT_EQ(at_of(taken), (At{first.x, first.y}));
  EXPECT_EQ(taken.score, 20000);
}

// Nothing scores above 1 around a lone corner stone: the root falls back on
// every neighbour cell and still answers one of them.
TEST(AlphaBeta, EmptyListFallsBackOnEveryNeighbourCell) {
  Position p(15, {"o"});
  const ScoredMove r = root_search(p.engine(), 2);
  ASSERT_NE(r.x, 0);
  const Cell& cell = p->cells[r.x][r.y];
  EXPECT_EQ(cell.occupant, EMPTY);
  EXPECT_TRUE(cell.near_count != 0 || cell.far_count != 0);
  EXPECT_GT(r.score, -ROOT_BOUND - 1) << "a move reached the window";
}

// Deeper searches over several positions leave the game exactly as it was,
// with ply back at 0, and pv[0][0] holding the root's answer.
TEST(AlphaBeta, SearchesLeaveTheGameAsTheyFoundIt) {
  const char* games[] = {QUIET_15, "7,7 8,8 6,8 8,6 7,9 7,6 8,9 6,6 5,6 5,7 7,10 7,11",
                         "7,7 8,7 9,7 7,6 9,8 9,6 8,6 10,8 10,5 6,8 9,4 6,9 11,6"};
  for (const char* moves : games) {
    auto e = game_from_moves(15, moves);
    const GameState before(*e);
    const ScoredMove r = root_search(*e, 4);
    EXPECT_TRUE(GameState(*e) == before) << moves;
    EXPECT_EQ(e->ply, 0);
    EXPECT_EQ(e->verify(), "");
    EXPECT_EQ(e->pv[0][0].x, r.x);
    EXPECT_EQ(e->pv[0][0].y, r.y);
    EXPECT_EQ(e->cells[r.x][r.y].occupant, EMPTY);
  }
}

}  // namespace
}  // namespace quorlith::search_test
