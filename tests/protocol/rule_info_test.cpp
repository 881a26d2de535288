// INFO rule, in-process: the plus brain takes the rules it plays, before a
// game or between moves, and answers any other value with one MESSAGE
// line, keeping its rule; the exact brain plays freestyle and ignores the
// key, as every key it does not know.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/protocol/session.h"

namespace quorlith::test {
namespace {

TEST(RuleInfo, PlusBrainTakesTheRulesItPlaysAndKeepsItsRuleOtherwise) {
  const std::unique_ptr<Brain> plus = make_plus_brain();
  Session s(make_engine_on_heap, *plus);
  EXPECT_EQ(plus->rule(), Rule::FREESTYLE);
  struct Step {
    const char* line;
    bool message;
    Rule after;
  };
  // Bit 2 (a continuous game) changes nothing; caro (8), any combination
  // with it and any value with unknown bits is not played.
  const Step steps[] = {
      {"INFO rule 1\n", false, Rule::STANDARD},  {"INFO rule 8\n", true, Rule::STANDARD},
      {"INFO rule 4\n", false, Rule::RENJU},     {"INFO rule 5\n", true, Rule::RENJU},
      {"info RULE 2\n", false, Rule::FREESTYLE}, {"INFO rule 9\n", true, Rule::FREESTYLE},
      {"INFO rule 6\n", false, Rule::RENJU},     {"INFO rule 12\n", true, Rule::RENJU},
      {"INFO rule 3\n", false, Rule::STANDARD},  {"INFO rule -1\n", true, Rule::STANDARD},
      {"INFO rule 16\n", true, Rule::STANDARD},  {"INFO rule 0\n", false, Rule::FREESTYLE},
  };
  for (const Step& step : steps) {
    const std::string reply = s.send(step.line);
    if (step.message) {
      // One line, flushed, naming the rules played and the one kept.
      EXPECT_EQ(reply.rfind("MESSAGE ", 0), 0u) << step.line << reply;
      EXPECT_EQ(reply.find('\n'), reply.size() - 1) << step.line << reply;
      EXPECT_NE(reply.find("0 (five or more), 1 (exactly five), 4 (renju)"), std::string::npos) << reply;
      EXPECT_NE(reply.find("stays at rule " + std::to_string(static_cast<int>(step.after))), std::string::npos)
          << reply;
      EXPECT_EQ(s.unflushed(), "");
    } else {
      EXPECT_EQ(reply, "") << step.line;
    }
    EXPECT_EQ(plus->rule(), step.after) << step.line;
  }
}

TEST(RuleInfo, ExactBrainIgnoresTheKey) {
  Session s;
  EXPECT_EQ(s.send("INFO rule 4\nINFO rule 8\nINFO rule 1\n"), "");
  EXPECT_EQ(exact_brain().rule(), Rule::FREESTYLE);
  s.send("START 15\n");
  EXPECT_EQ(s.send("INFO rule 5\n"), "");
}

// White has four stones on the diagonal from 3,3, black closed one end; the
// other, 7,7, is where black would make two open threes (7,5 7,6 down,
// 8,7 9,7 across): the only block, and in renju a forbidden point. Told
// renju between moves, the plus brain (black) loses rather than play it.
TEST(RuleInfo, PlusBrainChangesRuleBetweenMovesAndNeverPlaysAForbiddenPoint) {
  const std::unique_ptr<Brain> plus = make_plus_brain();
  Session s(make_engine_on_heap, *plus);
  const std::string board =
      "BOARD\n2,2,1\n3,3,2\n7,5,1\n4,4,2\n7,6,1\n5,5,2\n8,7,1\n6,6,2\n9,7,1\n0,14,2\nDONE\n";
  s.send("INFO timeout_turn 300\nSTART 15\n");
  EXPECT_EQ(s.send(board), "7,7\n") << "freestyle: the block";
  EXPECT_EQ(s.send("INFO rule 4\n"), "");
  s.send("RESTART\n");
  const std::string renju = s.send(board);
  ASSERT_EQ(renju.size() >= 4 && renju.back() == '\n', true) << renju;
  EXPECT_NE(renju, "7,7\n");
  int x = -1, y = -1;
  ASSERT_EQ(std::sscanf(renju.c_str(), "%d,%d", &x, &y), 2) << renju;
  EXPECT_EQ(s.occupant(x, y), 0) << "a stone of black's own, on a cell that was empty";
  // Back to freestyle between moves: the block again.
  s.send("RESTART\nINFO rule 0\n");
  EXPECT_EQ(s.send(board), "7,7\n");
}

}  // namespace
}  // namespace quorlith::test
