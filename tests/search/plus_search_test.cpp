// The plus brain's move search: it plays the puzzles' wins through to the
// end against every defence, never misses a win by fours, never walks into
// one when a move avoids it, and leaves the position as it found it.
// Searches run with the node limits the brain has at 1 s per move and no
// clock, so every run takes the same path.
#include <gtest/gtest.h>

#include <random>

#include "search/search_helpers.h"
#include "search/threat_helpers.h"
#include "search/threat_puzzles.h"

namespace quorlith::search_test {
namespace {

constexpr int32_t BUDGET_MS = 1000;
// Alpha-beta depth of the plus searches here: the tests are about the
// solvers, and a shallow tree keeps them quick.
constexpr int SEARCH_DEPTH = 4;

struct PlusMove {
  Sq square;
  PlusReport report;
};

PlusMove plus_move(EngineMirror& mirror, PlusMemory& memory, const RulesBoard& b) {
  Engine& e = mirror.follow(b);
  e.max_depth = SEARCH_DEPTH;
  e.time_per_move_ms = BUDGET_MS;
  PlusMove m{};
  int x = -1, y = -1;
  EXPECT_TRUE(find_plus_move(e, memory, untimed_plan(BUDGET_MS), &x, &y, &m.report));
  m.square = Sq{x, y};
  return m;
}

TEST(PlusBrain, PlaysEveryPuzzleThroughToItsWin) {
  for (const ThreatPuzzle& puzzle : THREAT_PUZZLES) {
    SCOPED_TRACE(puzzle.moves);
    RulesBoard b = board_from_moves(15, puzzle.moves);
    PlusMemory memory;
    EngineMirror mirror(15);
    // The first move comes from a proof, of the kind the puzzle asks for at
    // most.
    const PlusMove first = plus_move(mirror, memory, b);
    const bool by_fours = first.report.decision == PlusReport::Decision::OWN_VCF;
    const bool by_threats = first.report.decision == PlusReport::Decision::OWN_VCT;
    if (std::string(puzzle.kind) == "fours")
      EXPECT_TRUE(by_fours);
    else
      EXPECT_TRUE(by_fours || by_threats);
    // Then the brain plays on, move after move, against every defence.
    const auto report = test_support::check_win(b, 2 * puzzle.length + 20,
                                                plus_oracle(memory, mirror, untimed_plan(BUDGET_MS), SEARCH_DEPTH));
    EXPECT_TRUE(report.won) << report.failure;
  }
}

TEST(PlusBrain, NeverMissesAWinByFours) {
  std::mt19937 random(21);
  PlusMemory memory;
  EngineMirror mirror(15);
  int wins = 0;
  for (int round = 0; round < 300; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 14 + round % 18);
    const int me = b.to_move();
    if (!test_support::brute_force_vcf(b, 3)) continue;
    ++wins;
    memory.clear();
    const PlusMove m = plus_move(mirror, memory, b);
    // A proof, or the one candidate left by a five or an open four.
    ASSERT_TRUE(m.report.decision == PlusReport::Decision::OWN_VCF ||
                m.report.decision == PlusReport::Decision::SINGLE_REPLY)
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
  PlusMemory memory;
  EngineMirror mirror(15);
  int threatened = 0;
  for (int round = 0; round < 300; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 12 + round % 18);
    const int me = b.to_move();
    const int opp = 1 - me;
    // The opponent wins by fours were it to move, and we do not.
    if (test_support::brute_force_vcf(b, 3, me) || !test_support::brute_force_vcf(b, 3, opp)) continue;
    ++threatened;
    memory.clear();
    const PlusMove m = plus_move(mirror, memory, b);
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
        ASSERT_TRUE(loses) << "round " << round << ": played " << m.square.x << "," << m.square.y
                           << ", but " << x << "," << y << " avoids the win by fours";
      }
  }
  EXPECT_GE(threatened, 25);
}

TEST(PlusBrain, LeavesThePositionAndAnswersAnEmptyCell) {
  std::mt19937 random(41);
  PlusMemory memory;
  for (int round = 0; round < 30; ++round) {
    const RulesBoard b = random_threat_position(random, 15, 6 + round);
    EngineMirror mirror(15);
    Engine& e = mirror.follow(b);
    const GameState before(e);
    const PlusMove m = plus_move(mirror, memory, b);
    ASSERT_TRUE(GameState(e) == before) << "round " << round;
    ASSERT_EQ(e.verify(), "");
    ASSERT_TRUE(b.empty(m.square.x, m.square.y)) << "round " << round;
  }
}

// The forced replies need no search: our five, the block of theirs.
TEST(PlusBrain, PlaysTheFiveAndBlocksTheirs) {
  Position five(15, {"..........",
                     "oxxxxA....",
                     "..........",
                     "...oo.o...",
                     ".x......o."},
                2, 2);
  Position block(15, {"........o.",
                      ".xxx......",
                      "..........",
                      "xooooA....",
                      "....x....."},
                 2, 2);
  PlusMemory memory;
  for (Position* p : {&five, &block}) {
    Engine& e = p->engine();
    e.max_depth = SEARCH_DEPTH;
    int x = -1, y = -1;
    PlusReport report;
    ASSERT_TRUE(find_plus_move(e, memory, untimed_plan(BUDGET_MS), &x, &y, &report));
    EXPECT_EQ((At{x + BORDER, y + BORDER}), p->mark('A'));
    EXPECT_EQ(report.decision, PlusReport::Decision::SINGLE_REPLY);
  }
}

}  // namespace
}  // namespace quorlith::search_test
