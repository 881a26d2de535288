// The turn policy: opening replies, the budget handed to the search at every
// stage, and what the policy leaves behind for later moves and games. The
// budget is read from the request recorded before the search and from the
// engine's time_per_move_ms after it, never from a clock; "sd 2" before a
// searched move keeps each search to one shallow iteration.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/protocol/session.h"

namespace quorlith::test {
namespace {

// Starts a 15 x 15 game after the given INFO/st lines, places stones with
// PLAY along the bottom row (alternating sides, so nothing threatens) until
// the opponent's TURN makes move_number n on entry to the turn policy, and
// plays that TURN with "sd 2", leaving the session for inspection.
void reach_searched_move(Session& s, const std::string& settings, int n) {
  s.send(settings + "START 15\n");
  for (int x = 0; x < n - 2; ++x) s.send("PLAY " + std::to_string(x) + ",14\n");
  s.send("sd 2\nTURN 7,7\n");
  ASSERT_EQ(s.front_end().searches_run(), 1);
  ASSERT_EQ(s.front_end().last_search().move_number, n);
}

// Budget handed to the search for the move at move_number n. The plus
// brain shares the turn policy, so it must be handed the same.
int32_t budget_at(const std::string& settings, int n) {
  const std::unique_ptr<Brain> plus = make_plus_brain();
  int32_t budgets[2] = {};
  for (int brain = 0; brain < 2; ++brain) {
    Session s(make_engine_on_heap, brain == 0 ? exact_brain() : *plus);
    reach_searched_move(s, settings, n);
    // The engine keeps the value it was handed (a value of 0 or less would
    // have been replaced by its default, which the front end never hands).
    EXPECT_EQ(s.engine().time_per_move_ms, s.front_end().last_search().budget_ms);
    budgets[brain] = s.front_end().last_search().budget_ms;
  }
  EXPECT_EQ(budgets[0], budgets[1]) << "the plus brain's budget";
  return budgets[0];
}

TEST(OpeningReplies, FirstStoneIsTheCentre) {
  for (const auto& [size, reply] : {std::pair{15, "7,7\n"}, std::pair{20, "10,10\n"},
                                    std::pair{5, "2,2\n"}, std::pair{16, "8,8\n"}}) {
    Session s;
    s.send("START " + std::to_string(size) + "\nsd 9\n");
    EXPECT_EQ(s.send("BEGIN\n"), reply) << size;
    EXPECT_EQ(s.unflushed(), "");
    EXPECT_EQ(s.front_end().searches_run(), 0);
    EXPECT_EQ(s.engine().max_depth, 9) << "no search, the depth limit stays";
    EXPECT_EQ(s.engine().time_per_move_ms, 5000);
    EXPECT_EQ(s.settings().move_number, 2);
  }
}

TEST(OpeningReplies, ThirdStoneIsTheFirstQualifyingDiagonal) {
  struct Case {
    const char* turn;
    const char* reply;
  };
  // The stone next to the centre makes all four diagonals worth more than 1;
  // an occupied one is passed over whatever its score.
  for (const Case c : {Case{"TURN 0,0\n", "6,6\n"}, Case{"TURN 6,6\n", "8,6\n"},
                       Case{"TURN 8,6\n", "6,6\n"}, Case{"TURN 6,8\n", "6,6\n"}}) {
    Session s;
    s.send("START 15\nBEGIN\nsd 9\n");
    EXPECT_EQ(s.send(c.turn), c.reply) << c.turn;
    EXPECT_EQ(s.front_end().searches_run(), 0) << c.turn;
    EXPECT_EQ(s.engine().max_depth, 9);
    EXPECT_EQ(s.settings().move_number, 4);
  }
}

TEST(OpeningReplies, ThirdStonePassesOverSquaresWorthOneOrLess) {
  // After a board block: 6,6 is empty but nothing is near it (score 0);
  // 8,6 touches the stone on 9,5.
  Session s;
  s.send("START 15\n");
  EXPECT_EQ(s.send("BOARD\n9,5,2\n3,3,1\ndone\n"), "8,6\n");
  EXPECT_EQ(s.front_end().searches_run(), 0);
}

TEST(OpeningReplies, ThirdStoneWithNoQualifyingSquareIsSearched) {
  // Stones far from the centre: none of the four squares scores above 1, so
  // the move is searched with the budget of stones 4 to 9.
  for (const char* block : {"BOARD\n0,0,2\n14,14,1\ndone\n", "BOARD\n5,5,2\n9,9,1\ndone\n"}) {
    Session s;
    s.send("INFO timeout_turn 20000\nSTART 15\nsd 2\n");
    const std::string reply = s.send(block);
    ASSERT_EQ(s.front_end().searches_run(), 1) << block;
    EXPECT_EQ(s.front_end().last_search().budget_ms, 15000);
    EXPECT_EQ(s.front_end().last_search().max_depth, 2);
    EXPECT_EQ(s.engine().max_depth, 15);
    EXPECT_EQ(s.engine().move_count, 3);
    EXPECT_EQ(s.settings().move_number, 4);
    const auto square = parse_move(reply, 15);
    ASSERT_TRUE(square) << reply;
    EXPECT_EQ(reply, std::to_string(square->x) + "," + std::to_string(square->y) + "\n");
    EXPECT_NE(s.occupant(square->x, square->y), EMPTY);
  }
}

TEST(SearchBudget, SecondStone) {
  EXPECT_EQ(budget_at("", 2), 2000);
  EXPECT_EQ(budget_at("INFO timeout_turn 20000\n", 2), 2000);
  // The declared turn limit caps the fixed 2000 ms.
  EXPECT_EQ(budget_at("INFO timeout_turn 500\n", 2), 500);
  EXPECT_EQ(budget_at("st 1\n", 2), 1000);
  // Half the match clock caps it once a match limit and time_left are known.
  EXPECT_EQ(budget_at("INFO timeout_match 100000\nINFO time_left 3000\n", 2), 1500);
  EXPECT_EQ(budget_at("INFO time_left 3000\n", 2), 2000) << "no match limit declared";
  EXPECT_EQ(budget_at("INFO timeout_match 100000\n", 2), 2000) << "time_left never sent";
}

TEST(SearchBudget, StonesFourToNine) {
  EXPECT_EQ(budget_at("INFO timeout_turn 3000\n", 4), 3000);
  EXPECT_EQ(budget_at("INFO timeout_turn 3000\n", 9), 3000);
  EXPECT_EQ(budget_at("INFO timeout_turn 15000\n", 6), 15000);
  // Nothing declared: timeout_turn 0 means the search's 8000 ms default.
  EXPECT_EQ(budget_at("", 5), 8000);
  EXPECT_EQ(budget_at("INFO timeout_turn -5\n", 5), 8000);
  // ... which the match clock caps as well.
  EXPECT_EQ(budget_at("INFO timeout_match 60000\nINFO time_left 10000\n", 5), 5000);

  Session s;
  reach_searched_move(s, "INFO timeout_turn 20000\n", 5);
  EXPECT_EQ(s.front_end().last_search().budget_ms, 15000);
  EXPECT_EQ(s.settings().timeout_turn, 20000) << "stones 4 to 9 do not lower the setting";
}

TEST(SearchBudget, TenthStoneOnLowersTheTurnSetting) {
  Session s;
  reach_searched_move(s, "INFO timeout_turn 20000\nINFO time_left 100000\n", 10);
  EXPECT_EQ(s.front_end().last_search().budget_ms, 11000);
  EXPECT_EQ(s.settings().timeout_turn, 11000);
  EXPECT_EQ(s.settings().declared_turn_limit, 20000) << "the declared limit is kept apart";

  EXPECT_EQ(budget_at("INFO timeout_turn 5000\nINFO time_left 100000\n", 12), 5000);
  // With nothing sent time_left is 0: time trouble, 1000 ms.
  EXPECT_EQ(budget_at("", 10), 1000);
}

TEST(SearchBudget, TimeTroubleBelow35Seconds) {
  const std::string turn = "INFO timeout_turn 5000\n";
  EXPECT_EQ(budget_at(turn + "INFO time_left 34999\n", 10), 1000);
  EXPECT_EQ(budget_at(turn + "INFO time_left 35000\n", 10), 5000);
  // The declared limit caps the 1000 ms of time trouble too.
  EXPECT_EQ(budget_at("INFO timeout_turn 400\nINFO time_left 20000\n", 11), 400);
  // The match clock cap never goes below 1 ms (0 would mean 8000 ms).
  const std::string match = "INFO timeout_match 100000\n";
  EXPECT_EQ(budget_at(match + "INFO time_left 1\n", 10), 1);
  EXPECT_EQ(budget_at(match + "INFO time_left -700\n", 10), 1);
  EXPECT_EQ(budget_at(match + "INFO time_left 1500\n", 10), 750);

  Session s;
  reach_searched_move(s, turn + "INFO time_left 34999\n", 10);
  EXPECT_EQ(s.settings().timeout_turn, 1000);
}

TEST(Persistence, LoweredTurnSettingOutlivesMovesAndGames) {
  Session s;
  reach_searched_move(s, "INFO timeout_turn 20000\nINFO time_left 100000\n", 10);
  ASSERT_EQ(s.settings().timeout_turn, 11000);

  // A new game: stones 4 to 9 now get the lowered 11000, not 15000.
  s.send("START 15\nBEGIN\nTURN 0,0\nsd 2\nTURN 0,1\n");
  ASSERT_EQ(s.front_end().searches_run(), 2);
  EXPECT_EQ(s.front_end().last_search().move_number, 5);
  EXPECT_EQ(s.front_end().last_search().budget_ms, 11000);

  // Time trouble lowers it to 1000; a later healthy clock does not restore.
  s.send("INFO time_left 30000\n");
  for (int x = 2; s.settings().move_number < 10; ++x) s.send("PLAY " + std::to_string(x) + ",14\n");
  s.send("sd 2\nTURN 14,0\n");
  EXPECT_EQ(s.front_end().last_search().budget_ms, 1000);
  s.send("INFO time_left 900000\nsd 2\nTURN 13,0\n");
  EXPECT_EQ(s.front_end().last_search().budget_ms, 1000);
  EXPECT_EQ(s.settings().timeout_turn, 1000);

  // Only a new INFO timeout_turn or st sets it again.
  s.send("st 3\nsd 2\nTURN 12,0\n");
  EXPECT_EQ(s.front_end().last_search().budget_ms, 3000);
  s.send("INFO timeout_turn 4000\nsd 2\nTURN 11,0\n");
  EXPECT_EQ(s.front_end().last_search().budget_ms, 4000);
}

TEST(Persistence, SdGovernsTheNextSearchedMoveOnly) {
  Session s;
  s.send("INFO timeout_turn 30\nSTART 15\nsd 10\n");
  s.send("TURN 7,7\n");
  EXPECT_EQ(s.front_end().last_search().max_depth, 10);
  EXPECT_EQ(s.engine().max_depth, 15) << "reset after the move was written";
  s.send("TURN 0,0\n");
  EXPECT_EQ(s.front_end().last_search().max_depth, 15);
  // sd 1 is accepted; the search reads a depth below 2 as 15.
  s.send("sd 1\nTURN 0,1\n");
  EXPECT_EQ(s.front_end().last_search().max_depth, 1);
  EXPECT_EQ(s.engine().max_depth, 15);
  EXPECT_EQ(s.front_end().searches_run(), 3);
}

TEST(Persistence, MoveNumberCountsEveryStone) {
  Session s;
  s.send("INFO timeout_turn 30\nSTART 15\nBEGIN\nTURN 0,0\nPLAY 14,14\nsd 2\nTURN 1,0\n");
  // Centre, opponent, third stone, PLAY, opponent: the search is stone 6.
  EXPECT_EQ(s.front_end().last_search().move_number, 6);
  EXPECT_EQ(s.settings().move_number, 7);
  EXPECT_EQ(s.engine().move_count, 6);
  s.send("START 15\n");
  EXPECT_EQ(s.settings().move_number, 1);
}

}  // namespace
}  // namespace quorlith::test
