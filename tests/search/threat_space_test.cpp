// The threat-space solver against the independent referee: every win it
// claims survives a replay against every defence, it finds every win by
// fours that a brute-force search over all cells finds within its depth,
// and it leaves the position exactly as it found it.
#include <gtest/gtest.h>

#include <random>

#include "search/search_helpers.h"
#include "search/threat_helpers.h"

namespace quorlith::search_test {
namespace {

constexpr int64_t SOLVE_NODES = 200'000;

TEST(ThreatSolver, SolvesLeaveThePositionAsTheyFoundIt) {
  std::mt19937 random(11);
  ThreatSolver solver;
  for (int round = 0; round < 40; ++round) {
    const RulesBoard b = random_threat_position(random, 15, 12 + round % 20);
    EngineMirror mirror(15);
    Engine& e = mirror.follow(b);
    const GameState before(e);
    Point win{};
    solver.solve_vcf(e, node_limits(SOLVE_NODES), &win);
    solver.solve_vct(e, node_limits(SOLVE_NODES), &win);
    solver.solve_vcf_after_pass(e, node_limits(SOLVE_NODES), &win);
    solver.solve_vct_after_pass(e, node_limits(SOLVE_NODES), &win);
    ASSERT_TRUE(GameState(e) == before) << "round " << round;
    ASSERT_EQ(e.verify(), "");
  }
}

// The pass swaps the side fields and swaps them back: make_move places
// stones of the side these fields name. Should make_move ever take the side
// from the stone count instead, this fails.
TEST(ThreatSolver, PassSolvesForTheSideNotToMove) {
  //   A is a four-three point of o, the side not to move: a win by fours.
  //   x, to move, has nothing.
  Position p(15, {"..........",
                  "xoooA.....",
                  "....o.....",
                  "....o.....",
                  "..........",
                  ".......x..",
                  "..........",
                  "..x...x..x"},
             2, 2);
  ASSERT_EQ(p.cell(p.mark('A')).rating[p.opp()], RATING_FOUR_THREE);
  ThreatSolver solver;
  const GameState before(p.engine());
  Point win{};
  EXPECT_FALSE(solver.solve_vcf(p.engine(), node_limits(SOLVE_NODES), &win));
  ASSERT_TRUE(solver.solve_vcf_after_pass(p.engine(), node_limits(SOLVE_NODES), &win));
  EXPECT_GE(p->cells[win.x][win.y].rating[p.opp()], RATING_FOUR);
  EXPECT_TRUE(solver.solve_vct_after_pass(p.engine(), node_limits(SOLVE_NODES), &win));
  EXPECT_TRUE(GameState(p.engine()) == before);
  EXPECT_EQ(p->verify(), "");
  // The referee agrees: o wins by fours, x does not.
  RulesBoard b(15);
  for (int i = 0; i < p->move_count; ++i) b.play(board_square(p->move_history[i]));
  EXPECT_TRUE(test_support::brute_force_vcf(b, 3, p.opp()));
  EXPECT_FALSE(test_support::brute_force_vcf(b, 3, p.me()));
}

TEST(ThreatSolver, NeverMissesAWinByFoursWithinItsDepth) {
  std::mt19937 random(5);
  ThreatSolver solver;
  int wins = 0, longer = 0;
  for (int round = 0; round < 500; ++round) {
    RulesBoard b = quiet_threat_position(random, 15, 14 + round % 18);
    int fours = 0;
    for (int n = 1; n <= 4 && fours == 0; ++n)
      if (test_support::brute_force_vcf(b, n)) fours = n;
    EngineMirror mirror(15);
    Point win{};
    const bool found = solver.solve_vcf(mirror.follow(b), node_limits(SOLVE_NODES), &win);
    if (fours > 0) {
      ++wins;
      if (fours > 1) ++longer;
      ASSERT_TRUE(found) << "a win in " << fours << " fours missed, round " << round;
    }
  }
  // The random positions must reach the case at all, and not only its
  // one-stone form.
  EXPECT_GE(wins, 100);
  EXPECT_GE(longer, 15);
}

TEST(ThreatSolver, EveryClaimedWinSurvivesTheReferee) {
  std::mt19937 random(7);
  ThreatSolver solver;
  EngineMirror mirror(15);
  int vcf_claims = 0, vct_claims = 0;
  for (int round = 0; round < 70; ++round) {
    RulesBoard b = random_threat_position(random, 15, 10 + round % 16);
    if (!b.five_points(b.to_move()).empty()) continue;
    solver.clear();
    Point win{};
    Engine& e = mirror.follow(b);
    const bool vcf = solver.solve_vcf(e, node_limits(SOLVE_NODES), &win);
    const bool vct = !vcf && solver.solve_vct(e, node_limits(SOLVE_NODES), &win);
    if (!vcf && !vct) continue;
    (vcf ? vcf_claims : vct_claims)++;
    const auto report = test_support::check_win(b, 40, solver_oracle(solver, mirror, vct, SOLVE_NODES));
    ASSERT_TRUE(report.won) << (vct ? "VCT" : "VCF") << " claim, round " << round << ": " << report.failure;
  }
  EXPECT_GE(vcf_claims, 10);
  EXPECT_GE(vct_claims, 5);
}

// A double three wins by threats (A), unless the defender wins by fours
// first: with o's four-three at B, o answers A with B, x must block the
// four, and o's open four comes first.
TEST(ThreatSolver, DoubleThreeWinsUnlessTheDefenderHasFours) {
  Position quiet(15, {"..........",
                      "..xxA.....",
                      "....x.....",
                      "....x...o.",
                      "..........",
                      ".o........",
                      "..........",
                      ".......o..",
                      "o........."},
                 2, 2);
  Position answered(15, {"..........",
                         "..xxA.....",
                         "....x.....",
                         "....x.....",
                         "..........",
                         "...xoooB..",
                         ".......o..",
                         ".......o..",
                         ".........."},
                    2, 2);
  ASSERT_EQ(quiet.cell(quiet.mark('A')).rating[quiet.me()], RATING_DOUBLE_THREE);
  ASSERT_EQ(answered.cell(answered.mark('A')).rating[answered.me()], RATING_DOUBLE_THREE);
  ASSERT_EQ(answered.cell(answered.mark('B')).rating[answered.opp()], RATING_FOUR_THREE);
  ThreatSolver solver;
  Point win{};
  EXPECT_FALSE(solver.solve_vcf(quiet.engine(), node_limits(SOLVE_NODES), &win));
  ASSERT_TRUE(solver.solve_vct(quiet.engine(), node_limits(SOLVE_NODES), &win));
  EXPECT_FALSE(solver.solve_vct(answered.engine(), node_limits(SOLVE_NODES), &win));

  RulesBoard b(15);
  for (int i = 0; i < quiet->move_count; ++i) b.play(board_square(quiet->move_history[i]));
  EngineMirror mirror(15);
  const auto report = test_support::check_win(b, 10, solver_oracle(solver, mirror, true, SOLVE_NODES));
  EXPECT_TRUE(report.won) << report.failure;
}

}  // namespace
}  // namespace quorlith::search_test
