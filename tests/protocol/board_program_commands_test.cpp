// The commands board programs send beyond the tournament set (RESTART,
// TAKEBACK, RECTSTART), in-process: their replies, what they change, and
// that a refused one changes nothing.
#include <gtest/gtest.h>

#include <string>

#include "tests/common/game_state.h"
#include "tests/protocol/session.h"

namespace quorlith::test {
namespace {

using test_support::GameState;

constexpr const char* NOT_STARTED = "ERROR START command must be issued first\n";
constexpr const char* BAD_PARAMETER = "ERROR bad command parameter\n";
constexpr const char* RECTANGLE_REFUSED =
    "ERROR rectangular boards are not supported, only square boards from 5 to 32\n";

TEST(BoardProgramCommands, NeedAGameExceptRectstart) {
  Session s;
  EXPECT_EQ(s.send("RESTART\nTAKEBACK 7,7\ntakeback\nrestart now\n"),
            std::string(NOT_STARTED) + NOT_STARTED + NOT_STARTED + NOT_STARTED);
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.front_end().engine(), nullptr);
  // Words that only begin like the new keywords are still no commands.
  EXPECT_EQ(s.send("rest\ntake 7,7\nrect 5,5\n"), "UNKNOWN command\nUNKNOWN command\nUNKNOWN command\n");
}

TEST(BoardProgramCommands, RestartBeginsAFreshGameOnTheSameBoard) {
  Session s;
  s.send("INFO timeout_turn 700\nSTART 20\nBEGIN\nPLAY 3,3\nsd 9\n");
  EXPECT_EQ(s.send("Restart please\n"), "OK\n");
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.settings().board_size, 20);
  EXPECT_EQ(s.settings().move_number, 1);
  EXPECT_EQ(s.engine().move_count, 0);
  EXPECT_EQ(s.engine().max_depth, 15);
  EXPECT_EQ(s.settings().timeout_turn, 700) << "INFO values carry over";
  EXPECT_EQ(s.send("BEGIN\n"), "10,10\n");
}

TEST(BoardProgramCommands, TakebackRemovesOnlyTheLastStone) {
  Session s;
  s.send("START 15\n");
  EXPECT_EQ(s.send("TAKEBACK 7,7\n"), BAD_PARAMETER) << "no stone yet";
  s.send("BEGIN\nTURN 9,9\n");  // 7,7 ours, 9,9 theirs, then our third stone
  ASSERT_EQ(s.engine().move_count, 3);
  const Square third{s.engine().move_history[2].x - BORDER, s.engine().move_history[2].y - BORDER};
  const std::string third_text = std::to_string(third.x) + "," + std::to_string(third.y);

  const GameState before(s.engine());
  for (const char* line : {"TAKEBACK 7,7\n", "TAKEBACK 9,9\n", "TAKEBACK 0,0\n", "TAKEBACK 15,7\n",
                           "TAKEBACK -1,7\n", "TAKEBACK\n", "TAKEBACK 7\n", "takeback x,y\n"}) {
    EXPECT_EQ(s.send(line), BAD_PARAMETER) << line;
    EXPECT_EQ(s.unflushed(), "") << line;
    EXPECT_TRUE(GameState(s.engine()) == before) << line;
    EXPECT_EQ(s.settings().move_number, 4) << line;
  }

  EXPECT_EQ(s.send("TAKEBACK " + third_text + "\n"), "OK\n");
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.settings().move_number, 3);
  EXPECT_EQ(s.engine().move_count, 2);
  EXPECT_EQ(s.occupant(third.x, third.y), EMPTY);
  EXPECT_EQ(s.engine().verify(), "");
  EXPECT_EQ(s.send("takeback 9, 9\nTAKEBACK 7,7\n"), "OK\nOK\n");
  EXPECT_EQ(s.settings().move_number, 1);
  EXPECT_EQ(s.engine().move_count, 0);
  EXPECT_EQ(s.engine().verify(), "");

  // The game goes on from the position left: an empty board gets the centre,
  // and the sides still alternate from the first stone.
  EXPECT_EQ(s.send("BEGIN\n"), "7,7\n");
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.send("PLAY 0,0\n"), "0,0\n");
  EXPECT_EQ(s.occupant(0, 0), 1);
}

TEST(BoardProgramCommands, RectstartTakesSquareBoardsLikeStart) {
  struct Case {
    const char* line;
    const char* reply;
    int board_size_after;  // the game set up before stays unless a board is accepted
  };
  for (const Case c : {Case{"RECTSTART 20,20\n", "OK\n", 20}, Case{"rectstart 5, 5\n", "OK\n", 5},
                       Case{"RECTSTART 4,4\n", "Na tomhle nejde hrat!\n", 15},
                       Case{"RECTSTART 40,40\n", "Moc velka plocha, podporuji max 32 policek!\n", 15},
                       Case{"RECTSTART 101,101\n", "Moc velka plocha, podporuji max 100 policek!\n", 15},
                       Case{"RECTSTART 15,20\n", RECTANGLE_REFUSED, 15},
                       Case{"RECTSTART 20,15\n", RECTANGLE_REFUSED, 15},
                       Case{"RECTSTART 0,5\n", RECTANGLE_REFUSED, 15},
                       Case{"RECTSTART 15\n", BAD_PARAMETER, 15}, Case{"RECTSTART\n", BAD_PARAMETER, 15},
                       Case{"RECTSTART 15 ,15\n", BAD_PARAMETER, 15},
                       Case{"RECTSTART a,b\n", BAD_PARAMETER, 15}}) {
    Session s;
    s.send("START 15\nPLAY 7,7\n");
    EXPECT_EQ(s.send(c.line), c.reply) << c.line;
    EXPECT_EQ(s.unflushed(), "") << c.line;
    EXPECT_EQ(s.settings().board_size, c.board_size_after) << c.line;
    EXPECT_EQ(s.engine().size, c.board_size_after) << c.line;
    const bool accepted = std::string(c.reply) == "OK\n";
    EXPECT_EQ(s.engine().move_count, accepted ? 0 : 1) << c.line;
    EXPECT_EQ(s.settings().move_number, accepted ? 1 : 2) << c.line;
  }
  // Without a game a refused shape still starts none.
  Session s;
  EXPECT_EQ(s.send("RECTSTART 10,12\n"), RECTANGLE_REFUSED);
  EXPECT_EQ(s.settings().board_size, 0);
}

}  // namespace
}  // namespace quorlith::test
