// The plus brain: its win-by-fours solver against a brute force, the
// puzzles played through to their five against every defence, no win by
// fours missed or walked into, the position left as found, and the time
// plan and table size it derives from the manager's settings. Searches run
// at a fixed depth without a clock, so every run takes the same path.
#include <gtest/gtest.h>

#include <random>

#include "search/search_helpers.h"
#include "search/threat_helpers.h"
#include "search/threat_puzzles.h"
#include "tests/common/game_state.h"

namespace quorlith::search_test {
namespace {

// Depth of the plus searches here, and of the puzzles' attacker (each
// defence the referee tries asks it again, so it must be quick): the
// threats puzzles rest on the root's win by threes and fours.
constexpr int SEARCH_DEPTH = 6;
constexpr int PUZZLE_DEPTH = 4;

TEST(PlusVcf, FindsEveryShortWinByFoursAndEachClaimHolds) {
  std::mt19937 random(7);
  auto player = std::make_unique<plus::PlusPlayer>();
  plus::VcfSolver solver;
  EngineMirror mirror(15);
  int wins = 0, claims = 0;
  for (int round = 0; round < 400; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 10 + round % 24);
    quorlith::Position& pos = player->follow(mirror.follow(b));
    const uint64_t hash = pos.hash();
    solver.clear();
    int first = 0;
    const int plies = solver.solve<Rule::FREESTYLE>(pos, 40, 200'000, &first);
    ASSERT_EQ(pos.hash(), hash);
    ASSERT_EQ(pos.verify(), "");
    const bool brute = test_support::brute_force_vcf(b, 3);
    if (brute) {
      ++wins;
      ASSERT_GT(plies, 0) << "round " << round << ": a win in three fours is missed";
    }
    if (plies > 0) {
      ++claims;
      ASSERT_EQ(plies % 2, 1);
      RulesBoard replay = b;
      const auto report = test_support::check_win(replay, 40, vcf_oracle(solver, *player, mirror, 200'000));
      ASSERT_TRUE(report.won) << "round " << round << ": " << report.failure;
    }
  }
  EXPECT_GE(wins, 40);
  EXPECT_GE(claims, wins);
}

TEST(PlusBrain, PlaysEveryPuzzleThroughToItsWin) {
  auto player = std::make_unique<plus::PlusPlayer>();
  for (const ThreatPuzzle& puzzle : THREAT_PUZZLES) {
    SCOPED_TRACE(puzzle.moves);
    RulesBoard b = board_from_moves(15, puzzle.moves);
    player->new_game();
    EngineMirror mirror(15);
    const auto report =
        test_support::check_win(b, 2 * puzzle.length + 20, plus_oracle(*player, mirror, PUZZLE_DEPTH));
    EXPECT_TRUE(report.won) << report.failure;
  }
}

TEST(PlusBrain, NeverMissesAWinByFours) {
  std::mt19937 random(21);
  auto player = std::make_unique<plus::PlusPlayer>();
  EngineMirror mirror(15);
  int wins = 0;
  for (int round = 0; round < 300; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 14 + round % 18);
    const int me = b.to_move();
    if (!test_support::brute_force_vcf(b, 3)) continue;
    ++wins;
    player->new_game();
    const BrainMove m = brain_move(*player, mirror, b, SEARCH_DEPTH);
    ASSERT_TRUE(m.report.decision == plus::MoveReport::Decision::OWN_VCF ||
                m.report.decision == plus::MoveReport::Decision::FOURS)
        << "round " << round;
    // The move starts a win by fours the brute force confirms (the brain
    // may pick a longer one than three fours).
    ASSERT_TRUE(test_support::brute_force_vcf(b, 12, me, &m.square))
        << "round " << round << ": " << m.square.x << "," << m.square.y;
  }
  EXPECT_GE(wins, 40);
}

TEST(PlusBrain, NeverWalksIntoAWinByFours) {
  std::mt19937 random(31);
  auto player = std::make_unique<plus::PlusPlayer>();
  EngineMirror mirror(15);
  int threatened = 0;
  for (int round = 0; round < 300; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 12 + round % 18);
    const int me = b.to_move();
    const int opp = 1 - me;
    // The opponent wins by fours were it to move, and we do not.
    if (test_support::brute_force_vcf(b, 3, me) || !test_support::brute_force_vcf(b, 3, opp)) continue;
    ++threatened;
    player->new_game();
    const BrainMove m = brain_move(*player, mirror, b, 4);
    b.play(m.square);
    const bool walked_in = test_support::brute_force_vcf(b, 3);
    b.undo();
    if (!walked_in) continue;
    // Only allowed when every move loses so.
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) {
        if (!b.empty(x, y)) continue;
        b.play(Sq{x, y});
        const bool loses = test_support::brute_force_vcf(b, 3);
        b.undo();
        ASSERT_TRUE(loses) << "round " << round << ": played " << m.square.x << "," << m.square.y << ", but " << x
                           << "," << y << " avoids the win by fours";
      }
  }
  EXPECT_GE(threatened, 25);
}

TEST(PlusBrain, LeavesThePositionAndAnswersAnEmptyCell) {
  std::mt19937 random(41);
  auto player = std::make_unique<plus::PlusPlayer>();
  for (int round = 0; round < 30; ++round) {
    const RulesBoard b = random_threat_position(random, 15, 6 + round);
    EngineMirror mirror(15);
    Engine& e = mirror.follow(b);
    const GameState before(e);
    const BrainMove m = brain_move(*player, mirror, b, 5);
    ASSERT_TRUE(GameState(e) == before) << "round " << round;
    ASSERT_TRUE(b.empty(m.square.x, m.square.y)) << "round " << round;
    ASSERT_EQ(player->follow(e).verify(), "");
  }
}

// A fixed-depth search gives the same move, value and nodes every time,
// whatever searches ran before it (after a new game).
TEST(PlusBrain, RepeatsItselfAfterANewGame) {
  std::mt19937 random(43);
  auto player = std::make_unique<plus::PlusPlayer>();
  EngineMirror mirror(15);
  const RulesBoard b = random_threat_position(random, 15, 12);
  const RulesBoard other = random_threat_position(random, 15, 20);
  player->new_game();
  const BrainMove first = brain_move(*player, mirror, b, 6);
  brain_move(*player, mirror, other, 6);
  player->new_game();
  const BrainMove again = brain_move(*player, mirror, b, 6);
  EXPECT_EQ(first.square, again.square);
  EXPECT_EQ(first.report.value, again.report.value);
  EXPECT_EQ(first.report.nodes, again.report.nodes);
}

TEST(PlusTimePlan, StaysInsideTheBudgetAndSharesTheMatchClock) {
  const plus::MatchInfo no_clock;
  const plus::TimePlan turn = plus::time_plan_for(1000, no_clock, 20, 0);
  EXPECT_TRUE(turn.timed);
  EXPECT_LE(turn.maximum_ms, 1000 - 1000 / 20);
  EXPECT_GT(turn.maximum_ms, 900);
  EXPECT_LT(turn.optimum_ms, turn.maximum_ms);
  // A match clock with 20 s left shares itself out over the stones to come,
  // and never lets one move take more than a few shares.
  plus::MatchInfo clock;
  clock.timeout_match_ms = 180'000;
  clock.time_left_ms = 20'000;
  clock.time_left_sent = true;
  const plus::TimePlan shared = plus::time_plan_for(5000, clock, 40, 0);
  EXPECT_LT(shared.optimum_ms, 2000);
  EXPECT_LE(shared.maximum_ms, 4 * shared.optimum_ms + 1);
  EXPECT_LE(shared.maximum_ms, 5000);
  // A clock that has run out still gets a plan of at least a millisecond.
  clock.time_left_ms = 0;
  const plus::TimePlan empty = plus::time_plan_for(1, clock, 100, 0);
  EXPECT_GE(empty.optimum_ms, 1);
  EXPECT_GE(empty.maximum_ms, 1);
}

TEST(PlusTable, NeverTakesMoreThanTheMemoryLimitAllows) {
  EXPECT_EQ(plus::table_bytes_for(0), plus::DEFAULT_TABLE_BYTES);
  for (int64_t limit : {int64_t{83'886'080}, int64_t{367'001'600}, int64_t{1} << 34}) {
    const int64_t table = plus::table_bytes_for(limit);
    EXPECT_LE(table + plus::MEMORY_BESIDE_TABLE, limit) << limit;
    plus::TranspositionTable t;
    const int64_t asked = std::min<int64_t>(table, int64_t{1} << 28);
    ASSERT_TRUE(t.resize(static_cast<size_t>(asked)));
    EXPECT_LE(static_cast<int64_t>(t.bytes()), asked);
    EXPECT_GT(static_cast<int64_t>(t.bytes()) * 2, asked);
  }
  // Below what the brain needs beside its table, the table is the smallest.
  EXPECT_EQ(plus::table_bytes_for(int64_t{1} << 20), static_cast<int64_t>(plus::TranspositionTable::MIN_BYTES));
}

// The limit arrives after the brain is made: its table is made when the
// limit is read, and never first at the default size.
TEST(PlusTable, IsMadeToTheLimitGivenBeforeTheFirstSearch) {
  auto player = std::make_unique<plus::PlusPlayer>();
  EXPECT_EQ(player->tree().table_bytes(), 0u);
  const int64_t limit = 83'886'080;
  player->set_memory_limit(limit);
  EngineMirror mirror(15);
  const RulesBoard b = board_from_moves(15, "7,7 8,8");
  plus::MatchInfo info;
  info.max_memory_bytes = limit;
  player->set_match_info(info);
  brain_move(*player, mirror, b, 2);
  EXPECT_GT(player->tree().table_bytes(), 0u);
  EXPECT_LE(static_cast<int64_t>(player->tree().table_bytes()) + plus::MEMORY_BESIDE_TABLE, limit);

  auto untold = std::make_unique<plus::PlusPlayer>();
  brain_move(*untold, mirror, b, 2);
  EXPECT_EQ(static_cast<int64_t>(untold->tree().table_bytes()), plus::DEFAULT_TABLE_BYTES);
}

}  // namespace
}  // namespace quorlith::search_test
