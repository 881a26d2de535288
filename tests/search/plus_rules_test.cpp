// The plus brain under exactly five and renju, held against the rule
// referee's brute force over random positions: it never misses a win by
// fours the rule gives it, never walks into one it could avoid, and as
// black in renju never plays a forbidden point. Fixed depth, no clock.
// Under every rule, the answers it tries against an open three leave out
// no stone that would stop it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/rule_referee.h"
#include "search/search_helpers.h"
#include "search/threat_helpers.h"

namespace quorlith::search_test {
namespace {

using test_support::rule_vcf;
using test_support::RuleReferee;

constexpr int SEARCH_DEPTH = 6;

const char* rule_name(Rule rule) {
  return rule == Rule::FREESTYLE ? "freestyle" : rule == Rule::STANDARD ? "exactly five" : "renju";
}

TEST(PlusRules, NeverMissesAWinByFours) {
  for (const Rule rule : {Rule::STANDARD, Rule::RENJU}) {
    std::mt19937 random(21);
    auto player = std::make_unique<plus::PlusPlayer>();
    player->set_rule(rule);
    EngineMirror mirror(15);
    int wins[2] = {};
    for (int round = 0; round < 300; ++round) {
      const RulesBoard b = quiet_threat_position(random, 15, 14 + round % 18);
      RuleReferee ref(b, rule);
      const int me = ref.to_move();
      if (!rule_vcf(ref, 3, me)) continue;
      ++wins[me];
      player->new_game();
      const BrainMove m = brain_move(*player, mirror, b, SEARCH_DEPTH);
      ASSERT_TRUE(m.report.decision == plus::MoveReport::Decision::OWN_VCF ||
                  m.report.decision == plus::MoveReport::Decision::FOURS)
          << rule_name(rule) << " round " << round;
      ASSERT_TRUE(rule_vcf(ref, 12, me, &m.square))
          << rule_name(rule) << " round " << round << ": " << m.square.x << "," << m.square.y;
    }
    EXPECT_GE(wins[0], 60) << rule_name(rule);
    EXPECT_GE(wins[1], 60) << rule_name(rule);
  }
}

TEST(PlusRules, NeverWalksIntoAWinByFours) {
  for (const Rule rule : {Rule::STANDARD, Rule::RENJU}) {
    std::mt19937 random(31);
    auto player = std::make_unique<plus::PlusPlayer>();
    player->set_rule(rule);
    EngineMirror mirror(15);
    int threatened = 0;
    for (int round = 0; round < 150; ++round) {
      RulesBoard b = quiet_threat_position(random, 15, 12 + round % 18);
      RuleReferee ref(b, rule);
      const int me = ref.to_move();
      const int opp = 1 - me;
      if (rule_vcf(ref, 3, me) || !rule_vcf(ref, 3, opp)) continue;
      ++threatened;
      player->new_game();
      const BrainMove m = brain_move(*player, mirror, b, 4);
      ASSERT_TRUE(ref.empty(m.square.x, m.square.y));
      ASSERT_FALSE(ref.forbidden(m.square, me)) << rule_name(rule) << " round " << round;
      ref.play(m.square);
      const bool walked_in = rule_vcf(ref, 3, opp);
      ref.undo();
      if (!walked_in) continue;
      // Only allowed when every move it may play loses so.
      for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 15; ++x) {
          if (!ref.empty(x, y) || ref.forbidden(Sq{x, y}, me)) continue;
          ref.play(Sq{x, y});
          const bool loses = rule_vcf(ref, 3, opp);
          ref.undo();
          ASSERT_TRUE(loses) << rule_name(rule) << " round " << round << ": played " << m.square.x << ","
                             << m.square.y << ", but " << x << "," << y << " avoids the win by fours";
        }
    }
    EXPECT_GE(threatened, 25) << rule_name(rule);
  }
}

// Facing a cell where the opponent makes an open four or two fours, the
// searches try only the answers: every other stone the side may play
// leaves the opponent such a cell, and our fours are always among them.
template <Rule R>
void expect_only_answers_stop_the_threat(quorlith::Position& pos, int round) {
  const int me = pos.side_to_move();
  const int opp = 1 - me;
  plus::PlusMove moves[plus::MAX_MOVES];
  const int count = plus::answers_to_three<R>(pos, moves);
  std::vector<bool> answer(quorlith::Position::CELL_COUNT);
  for (int i = 0; i < count; ++i) answer[moves[i].cell] = true;
  for (int y = 0; y < pos.size(); ++y)
    for (int x = 0; x < pos.size(); ++x) {
      const int cell = quorlith::Position::cell_of(x, y);
      if (!pos.is_empty(cell) || answer[cell] || !plus::may_play<R>(pos, cell, me)) continue;
      ASSERT_LT(pos.combo(cell, me), COMBO_B4) << rule_name(R) << " round " << round << ": our four " << x << "," << y;
      pos.make_move<R>(cell);
      const bool threat_stands = pos.combo_count(opp, COMBO_F4) > 0;
      pos.undo_move<R>();
      ASSERT_TRUE(threat_stands) << rule_name(R) << " round " << round << ": " << x << "," << y << " stops it";
    }
}

TEST(PlusRules, EveryStoneOutsideTheAnswersLeavesTheThreat) {
  for (const Rule rule : {Rule::FREESTYLE, Rule::STANDARD, Rule::RENJU}) {
    std::mt19937 random(61);
    auto player = std::make_unique<plus::PlusPlayer>();
    player->set_rule(rule);
    EngineMirror mirror(15);
    int facing = 0;
    for (int round = 0; round < 300; ++round) {
      const RulesBoard b = quiet_threat_position(random, 15, 10 + round % 24);
      quorlith::Position& pos = player->follow(mirror.follow(b));
      if (!plus::must_answer_three(pos)) continue;
      ++facing;
      if (rule == Rule::FREESTYLE) expect_only_answers_stop_the_threat<Rule::FREESTYLE>(pos, round);
      if (rule == Rule::STANDARD) expect_only_answers_stop_the_threat<Rule::STANDARD>(pos, round);
      if (rule == Rule::RENJU) expect_only_answers_stop_the_threat<Rule::RENJU>(pos, round);
      if (HasFatalFailure()) return;
    }
    EXPECT_GE(facing, 50) << rule_name(rule);
  }
}

// Black to move in crowded positions, where forbidden points lie among the
// moves in reach: the move is never one. Positions where black must block
// a five on a forbidden point are among them.
TEST(PlusRules, BlackNeverPlaysAForbiddenPointInRenju) {
  std::mt19937 random(51);
  auto player = std::make_unique<plus::PlusPlayer>();
  player->set_rule(Rule::RENJU);
  EngineMirror mirror(15);
  int with_forbidden = 0, judged = 0;
  for (int round = 0; round < 250; ++round) {
    const RulesBoard b = random_threat_position(random, 15, 2 * (10 + round % 20));
    RuleReferee ref(b, Rule::RENJU);
    if (!ref.five_points(0).empty()) continue;  // black just makes five
    bool any = false;
    for (int y = 0; y < 15 && !any; ++y)
      for (int x = 0; x < 15 && !any; ++x) any = ref.empty(x, y) && ref.forbidden(Sq{x, y}, 0);
    with_forbidden += any ? 1 : 0;
    ++judged;
    player->new_game();
    const BrainMove m = brain_move(*player, mirror, b, 4);
    ASSERT_TRUE(ref.empty(m.square.x, m.square.y)) << "round " << round;
    ASSERT_FALSE(ref.forbidden(m.square, 0)) << "round " << round << ": " << m.square.x << "," << m.square.y;
  }
  EXPECT_GE(with_forbidden, 50) << "of " << judged;
}

// White's four whose only block is black's forbidden point wins at once:
// 6,6 makes four on the diagonal, and its five point 7,7 would give black
// two open threes (7,5 7,6 down, 8,7 9,7 across). Under exactly five the
// same four is blocked, and white has no win by fours.
TEST(PlusRules, WhiteWinsThroughAForbiddenPoint) {
  const RulesBoard b = board_from_moves(15, "2,2 3,3 7,5 4,4 7,6 5,5 8,7 0,14 9,7");
  for (const Rule rule : {Rule::RENJU, Rule::STANDARD}) {
    RuleReferee ref(b, rule);
    ASSERT_EQ(rule_vcf(ref, 3, 1), rule == Rule::RENJU) << rule_name(rule);
    auto player = std::make_unique<plus::PlusPlayer>();
    player->set_rule(rule);
    EngineMirror mirror(15);
    const BrainMove m = brain_move(*player, mirror, b, SEARCH_DEPTH);
    if (rule == Rule::RENJU) {
      EXPECT_EQ(m.square, (Sq{6, 6}));
      EXPECT_EQ(m.report.decision, plus::MoveReport::Decision::OWN_VCF);
    } else {
      EXPECT_NE(m.report.decision, plus::MoveReport::Decision::OWN_VCF);
    }
  }
}

}  // namespace
}  // namespace quorlith::search_test
