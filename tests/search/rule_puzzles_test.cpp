// Puzzles under exactly five and renju, played out by the plus brain
// against every defence the rule referee allows: the wins by fours of the
// freestyle puzzle set that the rule leaves standing (the brute force of
// the referee decides which), and renju's own, where white wins because
// black's only block is a forbidden point.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/rule_referee.h"
#include "search/search_helpers.h"
#include "search/threat_helpers.h"
#include "search/threat_puzzles.h"

namespace quorlith::search_test {
namespace {

using test_support::rule_check_win;
using test_support::rule_vcf;
using test_support::RuleReferee;

constexpr int PUZZLE_DEPTH = 4;

test_support::RuleOracle brain_oracle(plus::PlusPlayer& player, EngineMirror& mirror) {
  return [&player, &mirror](const RuleReferee& ref) -> std::optional<Sq> {
    RulesBoard b(ref.size());
    for (const Sq s : ref.history()) b.play(s);
    return plus_oracle(player, mirror, PUZZLE_DEPTH)(b);
  };
}

TEST(RulePuzzles, WinsByFoursThatTheRuleLeavesArePlayedThrough) {
  for (const Rule rule : {Rule::STANDARD, Rule::RENJU}) {
    auto player = std::make_unique<plus::PlusPlayer>();
    player->set_rule(rule);
    int played = 0;
    for (const ThreatPuzzle& puzzle : THREAT_PUZZLES) {
      if (std::string(puzzle.kind) != "fours") continue;
      SCOPED_TRACE(puzzle.moves);
      RuleReferee ref(board_from_moves(15, puzzle.moves), rule);
      if (!rule_vcf(ref, puzzle.length + 2, ref.to_move())) continue;
      ++played;
      player->new_game();
      EngineMirror mirror(15);
      std::string failure;
      EXPECT_TRUE(rule_check_win(ref, 2 * puzzle.length + 10, brain_oracle(*player, mirror), &failure))
          << static_cast<int>(rule) << ": " << failure;
    }
    // 12 of the 15 stand under each rule.
    EXPECT_GE(played, 10) << static_cast<int>(rule);
  }
}

// White to move: its four on the diagonal from 3,3 (a stone on 6,6) leaves
// one five point, 7,7, where black would make two open threes (7,5 7,6
// down, 8,7 9,7 across). In renju that four wins; black may not block.
TEST(RulePuzzles, WhiteWinsThroughBlacksForbiddenPoint) {
  const std::string moves = "2,2 3,3 7,5 4,4 7,6 5,5 8,7 0,14 9,7";
  RuleReferee ref(board_from_moves(15, moves), Rule::RENJU);
  auto player = std::make_unique<plus::PlusPlayer>();
  player->set_rule(Rule::RENJU);
  EngineMirror mirror(15);
  std::string failure;
  EXPECT_TRUE(rule_check_win(ref, 2, brain_oracle(*player, mirror), &failure)) << failure;

  // The same four under exactly five is blocked, and it is no win.
  RuleReferee standard(board_from_moves(15, moves), Rule::STANDARD);
  player->set_rule(Rule::STANDARD);
  player->new_game();
  EXPECT_FALSE(rule_check_win(standard, 2, brain_oracle(*player, mirror), &failure));
}

}  // namespace
}  // namespace quorlith::search_test
