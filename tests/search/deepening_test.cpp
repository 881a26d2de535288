// find_best_move and think: forced positions, the depth and time limits,
// answers after a stop, the game left unchanged, and reproducible counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "search/search_helpers.h"

namespace quorlith::search_test {
namespace {

constexpr const char* QUIET_15 = "7,7 8,8 6,8 8,6 7,9 7,6";
constexpr const char* MIDDLE_15 = "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7";
// Sharp: fours for both sides, so deep iterations stay cheap.
constexpr const char* SHARP_15 =
    "7,7 7,8 8,9 8,8 6,8 6,9 5,7 8,7 5,10 5,9 4,9 9,8 3,8 2,7 4,8 9,7 9,6 4,7 3,9 2,10 3,10 10,8 11,8 3,7";
constexpr const char* MIDDLE_20 =
    "10,10 10,11 12,10 11,10 12,9 12,11 11,11 13,9 13,12 12,12 12,13 14,11 13,11 13,13 14,12 11,9";

// Our five points A and B, the opponent's too.
Position own_five() {
  return Position(15, {".......", "BxxxxA.", ".......", ".oooo.."}, 3, 3);
}

At engine_at(const Answer& a) { return At{a.x + BORDER, a.y + BORDER}; }

TEST(FindBestMove, CompletesItsOwnFive) {
  Position p = own_five();
  const Answer a = best_move_at_depth(p.engine(), 7);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(engine_at(a), p.mark('B'));
}

TEST(FindBestMove, BlocksTheOpponentsFive) {
  Position p(15, {"xooooF.", ".......", ".......", "..xxx..", ".......", "o......"}, 3, 3);
  const Answer a = best_move_at_depth(p.engine(), 7);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(engine_at(a), p.mark('F'));
}

// Against an opponent who only has fours to make, our open three becomes an
// open four, after which the opponent is lost.
TEST(FindBestMove, MakesTheOpenFour) {
  Position p(15, {"..xxx...", "........", "........", "xooo....", "........", "......o."}, 3, 3);
  const Answer a = best_move_at_depth(p.engine(), 7);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(p.cell(engine_at(a)).rating[p.me()], RATING_OPEN_FOUR);
  p->place_stone(a.x, a.y);
  EXPECT_EQ(p->threat_check(), -2) << "the opponent faces two five points";
}

TEST(FindBestMove, PlaysTheFourThree) {
  Position p(20, {"oxxxA..", "....x..", "....x..", ".......", ".......", "xooo...", ".......", ".......", "o.....o"},
             2, 4);
  const Answer a = best_move_at_depth(p.engine(), 5);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(engine_at(a), p.mark('A'));
  p->place_stone(a.x, a.y);
  EXPECT_LT(p->threat_check(), 0) << "the opponent is lost by force";
}

// The first worked sequence: the only move is the block, which wins.
TEST(FindBestMove, BlockThatWins) {
  Position p(15, {"......", "xooooF", ".....x", ".....x", ".....x", "......"}, 3, 3);
  const Answer a = best_move_at_depth(p.engine(), 9);
  EXPECT_EQ(engine_at(a), p.mark('F'));
}

TEST(FindBestMove, SearchesLeaveTheGameAsTheyFoundIt) {
  struct Case {
    int size;
    const char* moves;
    int depth;
  };
  for (const Case& c : {Case{15, QUIET_15, 7}, Case{15, MIDDLE_15, 5}, Case{20, MIDDLE_20, 7}}) {
    auto e = game_from_moves(c.size, c.moves);
    const GameState before(*e);
    const Answer a = best_move_at_depth(*e, c.depth);
    EXPECT_TRUE(GameState(*e) == before) << c.moves;
    EXPECT_EQ(e->ply, 0);
    EXPECT_EQ(e->verify(), "");
    EXPECT_TRUE(is_empty_square(*e, a.x, a.y));
  }
}

// A budget far too small for even the first iteration: the clock stops the
// search inside it, the answer is still an empty square of the board, and
// the game is as it was.
TEST(FindBestMove, StoppedSearchAnswersALegalSquareAndRestoresTheGame) {
  for (int budget : {1, 2, 5}) {
    auto e = game_from_moves(20, MIDDLE_20);
    const GameState before(*e);
    e->time_per_move_ms = budget;
    e->max_depth = 63;
    int x = -100, y = -100;
    ASSERT_TRUE(e->find_best_move(&x, &y));
    EXPECT_TRUE(e->stop) << "budget " << budget;
    EXPECT_TRUE(is_empty_square(*e, x, y)) << x << "," << y;
    EXPECT_TRUE(GameState(*e) == before);
    EXPECT_EQ(e->ply, 0);
  }
}

TEST(FindBestMove, EmptyBoardAnswersTheCentre) {
  for (int n : {5, 15, 20}) {
    auto e = std::make_unique<Engine>();
    e->start_game(n);
    const Answer a = best_move_at_depth(*e, 7);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.x, n / 2);
    EXPECT_EQ(a.y, n / 2);
  }
}

TEST(FindBestMove, FullBoardHasNoAnswer) {
  auto e = std::make_unique<Engine>();
  e->start_game(5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) e->place_stone(x, y);
  int x = -100, y = -100;
  e->time_per_move_ms = 1000;
  e->max_depth = 7;
  EXPECT_FALSE(e->find_best_move(&x, &y));
  EXPECT_EQ(x, -100);
  EXPECT_EQ(y, -100);

  e->think(&x, &y, 3, 0);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, -1);
  EXPECT_EQ(e->move_count, 25);
}

// A depth limit below 2 means 15 and is stored; a root five point makes each
// iteration return at once.
TEST(FindBestMove, DepthBelowTwoBecomesFifteen) {
  for (int depth : {1, 0, -3}) {
    Position p = own_five();
    const Answer a = best_move_at_depth(p.engine(), depth);
    EXPECT_EQ(engine_at(a), p.mark('B'));
    EXPECT_EQ(p->max_depth, 15) << "set to " << depth;
  }
}

TEST(FindBestMove, TimeBudgetOfZeroOrLessBecomesEightSeconds) {
  for (int budget : {0, -50}) {
    Position p = own_five();
    p->time_per_move_ms = budget;
    p->max_depth = 7;
    const int64_t start = clock_ms();
    int x, y;
    ASSERT_TRUE(p->find_best_move(&x, &y));
    EXPECT_EQ(p->time_per_move_ms, 8000);
    EXPECT_GE(p->deadline_ms, start + 8000);
    EXPECT_LE(p->deadline_ms, clock_ms() + 8000);
  }
}

// The iterations run are those of deepen(first, last) with identical node
// counts: 7 alone for a limit of 7, 7 and 8 for 8, and exactly the limit for
// 2 to 6.
TEST(FindBestMove, DepthLimitsSelectTheIterations) {
  struct Case {
    const char* moves;
    int max_depth, first, last;
  };
  for (const Case& c : {Case{SHARP_15, 7, 7, 7}, Case{SHARP_15, 8, 7, 8}, Case{QUIET_15, 2, 2, 2},
                        Case{QUIET_15, 4, 4, 4}, Case{QUIET_15, 6, 6, 6}}) {
    auto reference = game_from_moves(15, c.moves);
    const ScoredMove r = deepen(*reference, c.first, c.last);
    auto e = game_from_moves(15, c.moves);
    const Answer a = best_move_at_depth(*e, c.max_depth);
    EXPECT_EQ(a.nodes, reference->nodes) << "max_depth " << c.max_depth;
    EXPECT_EQ(engine_at(a), at_of(r)) << "max_depth " << c.max_depth;
  }
  // One iteration at 4 is not the same search as 2, 3 and 4.
  auto stacked = game_from_moves(15, QUIET_15);
  deepen(*stacked, 2, 4);
  auto single = game_from_moves(15, QUIET_15);
  EXPECT_NE(best_move_at_depth(*single, 4).nodes, stacked->nodes);
}

// Each iteration searches the previous iteration's answer first, even when
// its move score would put another move first.
TEST(FindBestMove, EachIterationStartsWithThePreviousAnswer) {
  auto seven = game_from_moves(15, QUIET_15);
  const Answer previous = best_move_at_depth(*seven, 7);
  const Point by_score = seven->root_first_candidate;
  ASSERT_NE(engine_at(previous), (At{by_score.x, by_score.y})) << "pick a position where the two differ";

  auto e = game_from_moves(15, QUIET_15);
  best_move_at_depth(*e, 8);
  EXPECT_EQ((At{e->root_first_candidate.x, e->root_first_candidate.y}), engine_at(previous));
}

// Limits beyond the 64 rows of the line table are searched as 63. On a
// nearly full 5 x 5 board every iteration is a small complete search, so a
// limit of 1000 must run exactly the iterations 7 to 63.
TEST(FindBestMove, DepthAboveSixtyThreeIsSearchedAsSixtyThree) {
  const std::initializer_list<const char*> rows{"xxoox", "ooxxo", "xxoox", "o.x.o", "..o.."};
  Position reference(5, rows);
  deepen(reference.engine(), 7, 63);
  const int32_t nodes_to_63 = reference->nodes;
  Position shorter(5, rows);
  deepen(shorter.engine(), 7, 62);
  ASSERT_LT(shorter->nodes, nodes_to_63) << "the last iteration places stones";

  Position p(5, rows);
  const Answer a = best_move_at_depth(p.engine(), 1000);
  ASSERT_TRUE(a.found);
  EXPECT_EQ(a.nodes, nodes_to_63);
  EXPECT_TRUE(is_empty_square(p.engine(), a.x, a.y));

  // With a small budget on an open board the clock ends it long before.
  auto e = game_from_moves(15, MIDDLE_15);
  e->max_depth = 200;
  e->time_per_move_ms = 30;
  int x, y;
  ASSERT_TRUE(e->find_best_move(&x, &y));
  EXPECT_TRUE(is_empty_square(*e, x, y));
  EXPECT_EQ(e->verify(), "");
}

// find_best_move with a fixed depth is the same search as the deepening the
// tools run (one root call per iteration after a full reset), and it is
// reproducible: on fresh engines and on an engine restarted for a new game.
TEST(FindBestMove, FixedDepthSearchesAreReproducible) {
  auto first = game_from_moves(20, MIDDLE_20);
  const Answer a = best_move_at_depth(*first, 7);
  auto second = game_from_moves(20, MIDDLE_20);
  const Answer b = best_move_at_depth(*second, 7);
  EXPECT_EQ(a.nodes, b.nodes);
  EXPECT_EQ(a.x, b.x);
  EXPECT_EQ(a.y, b.y);

  auto tool = game_from_moves(20, MIDDLE_20);
  const ScoredMove r = deepen(*tool, 7, 7);
  EXPECT_EQ(tool->nodes, a.nodes);
  EXPECT_EQ(at_of(r), engine_at(a));

  // The same engine after a whole other game.
  first->start_game(20);
  for (const Point m : std::vector<Point>(second->move_history, second->move_history + second->move_count))
    first->make_move(m.x, m.y);
  const ScoredMove again = deepen(*first, 7, 7);
  EXPECT_EQ(first->nodes, a.nodes);
  EXPECT_EQ(again.score, r.score);
  EXPECT_EQ(at_of(again), at_of(r));
}

// The observer hears of every finished iteration, in order, with the figures
// the search itself reports; watching changes nothing in the search.
TEST(FindBestMove, ObserverHearsEveryFinishedIteration) {
  struct Recorder final : SearchObserver {
    std::vector<SearchIteration> seen;
    void iteration_done(const SearchIteration& it) override { seen.push_back(it); }
  };
  auto plain = game_from_moves(15, SHARP_15);
  const Answer unwatched = best_move_at_depth(*plain, 9);

  auto e = game_from_moves(15, SHARP_15);
  const GameState before(*e);
  Recorder recorder;
  Engine::SearchReport report;
  e->max_depth = 9;
  e->time_per_move_ms = 3'600'000;
  int x = -1, y = -1;
  ASSERT_TRUE(e->find_best_move(&x, &y, &report, &recorder));
  EXPECT_EQ(e->nodes, unwatched.nodes);
  EXPECT_EQ(x, unwatched.x);
  EXPECT_EQ(y, unwatched.y);
  EXPECT_TRUE(GameState(*e) == before);

  ASSERT_EQ(recorder.seen.size(), 3u);
  for (std::size_t i = 0; i < recorder.seen.size(); ++i) {
    const SearchIteration& it = recorder.seen[i];
    EXPECT_EQ(it.depth, 7 + static_cast<int>(i));
    EXPECT_GE(it.elapsed_ms, 0);
    if (i > 0) {
      EXPECT_GE(it.nodes, recorder.seen[i - 1].nodes);
    }
    // The line starts with the move of that iteration and walks empty,
    // distinct board cells.
    ASSERT_GE(it.pv_length, 1);
    std::vector<std::pair<int, int>> line;
    for (int k = 0; k < it.pv_length; ++k) {
      EXPECT_TRUE(is_empty_square(*e, it.pv[k].x, it.pv[k].y));
      line.emplace_back(it.pv[k].x, it.pv[k].y);
    }
    std::sort(line.begin(), line.end());
    EXPECT_EQ(std::adjacent_find(line.begin(), line.end()), line.end());
  }
  const SearchIteration& last = recorder.seen.back();
  EXPECT_EQ(last.depth, report.depth_reached);
  EXPECT_EQ(last.value, report.value);
  EXPECT_EQ(last.nodes, e->nodes);
  EXPECT_EQ(last.pv[0].x, x);
  EXPECT_EQ(last.pv[0].y, y);
}

// think needs no find_best_move before it: left over stop and deadline do not
// keep it from searching, and it plays the move it found.
TEST(Think, PlaysALegalMoveOnItsOwn) {
  auto e = game_from_moves(15, QUIET_15);
  e->stop = true;
  e->deadline_ms = 0;
  e->time_per_move_ms = 60'000;
  const int side = e->side_to_move;
  const int count = e->move_count;
  int x = -100, y = -100;
  e->think(&x, &y, 3, 0);
  ASSERT_GE(x, 0);
  ASSERT_GE(y, 0);
  EXPECT_EQ(e->move_count, count + 1);
  EXPECT_EQ(e->cells[x + BORDER][y + BORDER].occupant, side);
  EXPECT_EQ(e->move_history[count], (Point{static_cast<uint8_t>(x + BORDER), static_cast<uint8_t>(y + BORDER)}));
  EXPECT_GT(e->nodes, 1) << "a real search ran";
  EXPECT_EQ(e->verify(), "");
}

TEST(Think, DepthZeroCountsAsOne) {
  auto zero = game_from_moves(15, QUIET_15);
  auto one = game_from_moves(15, QUIET_15);
  zero->time_per_move_ms = one->time_per_move_ms = 60'000;
  int x0, y0, x1, y1;
  zero->think(&x0, &y0, 0, 0);
  one->think(&x1, &y1, 1, 0);
  EXPECT_EQ(zero->nodes, one->nodes);
  EXPECT_EQ(x0, x1);
  EXPECT_EQ(y0, y1);
}

TEST(Think, TakesTheWinAndTheForcedBlock) {
  Position win = own_five();
  win->time_per_move_ms = 60'000;
  int x, y;
  win->think(&x, &y, 5, 0);
  EXPECT_EQ((At{x + BORDER, y + BORDER}), win.mark('B'));

  Position block(15, {"xooooF.", ".......", ".......", "..xxx..", ".......", "o......"}, 3, 3);
  block->time_per_move_ms = 60'000;
  block->think(&x, &y, 5, 0);
  EXPECT_EQ((At{x + BORDER, y + BORDER}), block.mark('F'));
}

}  // namespace
}  // namespace quorlith::search_test
