// The command table driven in-process: replies byte for byte, flush points,
// error replies and what each command leaves behind.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "tests/protocol/session.h"

namespace quorlith::test {
namespace {

constexpr const char* NOT_STARTED = "ERROR START command must be issued first\n";
constexpr const char* BAD_PARAMETER = "ERROR bad command parameter\n";
constexpr const char* UNKNOWN = "UNKNOWN command\n";
constexpr const char* ABOUT = "name=\"Quorlith\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\"\n";
constexpr int32_t INT_MAX32 = std::numeric_limits<int32_t>::max();

int stones_on_board(const Session& s) { return s.engine().move_count; }

TEST(StartCommand, SizesAndTheirReplies) {
  struct Case {
    const char* line;
    const char* reply;
  };
  for (const Case c : {Case{"START 20\n", "OK\n"}, Case{"start 5\n", "OK\n"},
                       Case{"START 32\n", "OK\n"}, Case{"START 4\n", "Na tomhle nejde hrat!\n"},
                       Case{"START\n", "Na tomhle nejde hrat!\n"},
                       Case{"START -15\n", "Na tomhle nejde hrat!\n"},
                       Case{"starting 15\n", "Na tomhle nejde hrat!\n"},
                       Case{"START 33\n", "Moc velka plocha, podporuji max 32 policek!\n"},
                       Case{"START 100\n", "Moc velka plocha, podporuji max 32 policek!\n"},
                       Case{"START 101\n", "Moc velka plocha, podporuji max 100 policek!\n"},
                       Case{"START 99999999999\n", "Moc velka plocha, podporuji max 100 policek!\n"}}) {
    Session s;
    EXPECT_EQ(s.send(c.line), c.reply) << c.line;
    EXPECT_EQ(s.unflushed(), "") << "every START reply is flushed: " << c.line;
    EXPECT_EQ(s.settings().board_size != 0, std::string(c.reply) == "OK\n") << c.line;
  }
}

TEST(StartCommand, AcceptedStartPreparesAFreshGame) {
  Session s;
  s.send("INFO timeout_turn 7000\nSTART 15\nPLAY 7,7\nsd 9\n");
  ASSERT_EQ(s.send("START 20\n"), "OK\n");
  EXPECT_EQ(s.settings().board_size, 20);
  EXPECT_EQ(s.settings().move_number, 1);
  EXPECT_EQ(stones_on_board(s), 0);
  EXPECT_EQ(s.engine().size, 20);
  EXPECT_EQ(s.engine().max_depth, 15);
  EXPECT_EQ(s.engine().time_per_move_ms, 5000);
  EXPECT_EQ(s.settings().timeout_turn, 7000) << "INFO values carry over";
}

TEST(StartCommand, RefusedSizeKeepsTheGameInProgress) {
  Session s;
  s.send("START 15\nPLAY 7,7\n");
  const Engine* before = s.front_end().engine();
  EXPECT_EQ(s.send("START 40\nSTART 3\nSTART 1000\n"),
            "Moc velka plocha, podporuji max 32 policek!\nNa tomhle nejde hrat!\n"
            "Moc velka plocha, podporuji max 100 policek!\n");
  EXPECT_EQ(s.front_end().engine(), before);
  EXPECT_EQ(s.settings().board_size, 15);
  EXPECT_EQ(s.settings().move_number, 2);
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.send("PLAY 7,8\n"), "7,8\n");
}

TEST(StartCommand, EngineThatCannotBeMadeLeavesNoGame) {
  Session s([]() -> std::unique_ptr<Engine> { return nullptr; });
  EXPECT_EQ(s.send("START 15\n"), "ZEM Engine Load Error!\n");
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.settings().board_size, 0);
  EXPECT_EQ(s.send("BEGIN\nsd 5\n"), std::string(NOT_STARTED) + "ZEM Engine Not Initialized!\n");
}

// Makes an engine the first time only, as if memory ran out afterwards.
std::unique_ptr<Engine> engine_once() {
  static int calls = 0;
  return ++calls == 1 ? make_engine_on_heap() : nullptr;
}

TEST(StartCommand, FailedStartDropsTheGameInProgress) {
  Session s(engine_once);
  s.send("START 15\nPLAY 7,7\nINFO timeout_turn 3000\n");
  EXPECT_EQ(s.send("START 15\n"), "ZEM Engine Load Error!\n");
  EXPECT_EQ(s.front_end().engine(), nullptr);
  EXPECT_EQ(s.settings().board_size, 0);
  EXPECT_EQ(s.settings().timeout_turn, 3000) << "the settings survive";
  EXPECT_EQ(s.send("PLAY 8,8\n"), NOT_STARTED);
}

TEST(NotStarted, BoardCommandsNeedAGame) {
  Session s;
  EXPECT_EQ(s.send("TURN 7,7\nPLAY 7,7\nBEGIN\n"),
            std::string(NOT_STARTED) + NOT_STARTED + NOT_STARTED);
  EXPECT_EQ(s.unflushed(), "");
  // Without a game the lines of a board block are commands of their own.
  EXPECT_EQ(s.send("BOARD\n7,7,1\n8,8,2\nDONE\n"),
            std::string(NOT_STARTED) + UNKNOWN + UNKNOWN + UNKNOWN);
  EXPECT_EQ(s.settings().move_number, 0);
}

TEST(Keywords, CaseAndPrefixRules) {
  for (const char* line : {"ABOUT\n", "about\n", "AbOuT\n", "aboutness\n"}) {
    Session s;
    EXPECT_EQ(s.send(line), ABOUT) << line;
    EXPECT_EQ(s.unflushed(), "");
  }
  Session s;
  EXPECT_EQ(s.send(" about\n\n\t\nhello\n"), std::string(UNKNOWN) + UNKNOWN + UNKNOWN + UNKNOWN);
  EXPECT_EQ(s.unflushed(), "");
  // "stop" begins with "st" and is the st command, with no number.
  EXPECT_EQ(s.send("stop\n"), "Please Set Correct Time!\n");
}

TEST(Keywords, EndStopsReadingAnyLineBeginningWithEnd) {
  for (const char* line : {"END\n", "end\n", "endgame\n", "EnD now\n"}) {
    Session s;
    EXPECT_EQ(s.send(std::string(line) + "about\n"), "") << line;
    EXPECT_TRUE(s.ended_by_end_command()) << line;
  }
}

TEST(Keywords, LastLineWithoutLineFeedIsNotCarriedOut) {
  Session s;
  EXPECT_EQ(s.send("about"), "");
  EXPECT_EQ(s.last_step(), FrontEnd::Step::END_OF_INPUT);
  EXPECT_EQ(s.all_output(), "");
}

TEST(Keywords, OverlongLineIsUnknownAndReadingGoesOn) {
  Session s;
  const std::string huge(MAX_LINE_BYTES + 10, 'a');  // "aaa..." would be ABOUT if kept
  EXPECT_EQ(s.send("about" + huge + "\nabout\n"), std::string(UNKNOWN) + ABOUT);
}

TEST(StCommand, SecondsAndReplies) {
  Session s;
  EXPECT_EQ(s.send("st 7\n"), "Set Time to 7.00s.\n");
  EXPECT_EQ(s.settings().timeout_turn, 7000);
  EXPECT_EQ(s.settings().st_seconds, 7);
  EXPECT_EQ(s.unflushed(), "Set Time to 7.00s.\n") << "st is not flushed";
  EXPECT_EQ(s.send("ST 1.5\n"), "Set Time to 1.00s.\n");
  EXPECT_EQ(s.settings().timeout_turn, 1000);
  for (const char* bad : {"st 0\n", "st -3\n", "st\n", "stop\n"}) {
    EXPECT_EQ(s.send(bad), "Please Set Correct Time!\n") << bad;
    EXPECT_EQ(s.settings().timeout_turn, 1000) << bad;
  }
  EXPECT_EQ(s.send("st 3000000\n"), "Set Time to 3000000.00s.\n");
  EXPECT_EQ(s.settings().timeout_turn, INT_MAX32) << "the thousandfold saturates";
  EXPECT_EQ(s.send("about\n"), ABOUT);
  EXPECT_EQ(s.unflushed(), "") << "the next flushed reply carries the st replies along";
}

TEST(SdCommand, DepthAndReplies) {
  Session s;
  EXPECT_EQ(s.send("sd 0\n"), "Please Set Correct Depth!\n") << "the value is tested first";
  EXPECT_EQ(s.send("sd 5\n"), "ZEM Engine Not Initialized!\n");
  s.send("START 15\n");
  EXPECT_EQ(s.send("SD 5\n"), "Set Depth to 5.\n");
  EXPECT_EQ(s.engine().max_depth, 5);
  EXPECT_EQ(s.unflushed(), "Set Depth to 5.\n") << "sd is not flushed";
  EXPECT_EQ(s.send("sd -1\n"), "Please Set Correct Depth!\n");
  EXPECT_EQ(s.engine().max_depth, 5);
  EXPECT_EQ(s.send("sd 64\n"), "Set Depth to 63.\n");
  EXPECT_EQ(s.engine().max_depth, 63);
  EXPECT_EQ(s.send("sd 99999999999\n"), "Set Depth to 63.\n");
  EXPECT_EQ(s.settings().sd_depth, 63);
}

TEST(InfoCommand, StoresEachKeySilently) {
  Session s;
  EXPECT_EQ(s.send("INFO max_memory 83886080\nINFO timeout_match 180000\n"
                   "info TIMEOUT_TURN 5000\nINFO time_left 170000\n"),
            "");
  EXPECT_EQ(s.settings().max_memory, 83886080);
  EXPECT_EQ(s.settings().timeout_match, 180000);
  EXPECT_EQ(s.settings().timeout_turn, 5000);
  EXPECT_EQ(s.settings().time_left, 170000);
  // Unknown keys, no key, a key that only begins the text, huge values.
  EXPECT_EQ(s.send("INFO rule 1\nINFO\nINFO folder /tmp\nINFO timeout\n"), "");
  EXPECT_EQ(s.settings().timeout_turn, 5000);
  EXPECT_EQ(s.settings().timeout_match, 180000);
  // White space after INFO is skipped whatever its length.
  s.send("INFO \t timeout_turn 10\n");
  EXPECT_EQ(s.settings().timeout_turn, 10);
  s.send("INFO time_left_x 5\n");
  EXPECT_EQ(s.settings().time_left, 0);
  s.send("INFO timeout_turn 99999999999\n");
  EXPECT_EQ(s.settings().timeout_turn, INT_MAX32);
  EXPECT_EQ(s.all_output(), "");
}

TEST(TurnAndPlay, BadOrOccupiedSquaresChangeNothing) {
  Session s;
  s.send("START 15\nPLAY 7,7\n");
  for (const char* line : {"TURN 15,3\n", "TURN 3,15\n", "TURN -1,3\n", "TURN 3 ,4\n", "TURN 3\n",
                           "TURN\n", "turnx 3,4\n", "TURN 7,7\n", "PLAY 7,7\n", "PLAY 3;4\n",
                           "PLAY 99999999999,1\n"}) {
    EXPECT_EQ(s.send(line), BAD_PARAMETER) << line;
    EXPECT_EQ(s.unflushed(), "") << line;
  }
  EXPECT_EQ(s.settings().move_number, 2);
  EXPECT_EQ(stones_on_board(s), 1);
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.front_end().searches_run(), 0);
}

TEST(TurnAndPlay, PlayEchoesAndPlacesWithoutThinking) {
  Session s;
  s.send("START 15\nsd 9\n");
  EXPECT_EQ(s.send("PLAY +7,07\n"), "7,7\n");
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.send("play 3, 4\n"), "3,4\n");
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.occupant(3, 4), 1);
  EXPECT_EQ(s.settings().move_number, 3);
  EXPECT_EQ(s.front_end().searches_run(), 0);
  EXPECT_EQ(s.engine().max_depth, 9) << "PLAY leaves the depth limit alone";
}

TEST(TurnAndPlay, TurnPlacesTheOpponentStoneThenAnswers) {
  Session s;
  s.send("START 15\nBEGIN\n");
  EXPECT_EQ(s.send("TURN 3, 4\n"), "6,6\n");
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.occupant(3, 4), 1);
  EXPECT_EQ(s.occupant(6, 6), 0);
  EXPECT_EQ(s.settings().move_number, 4);
}

TEST(LineEnds, CrLfInputBehavesLikeLineFeeds) {
  const std::string script =
      "ABOUT\nSTART 15\nINFO timeout_turn 300\nst 0\nsd 2\nBEGIN\nTURN 8,8\nsd 2\nTURN 9,9\n"
      "PLAY 0,0\nTURN 0,0\nsd 2\nBOARD\nfoo\n10,10,1\nDone\nEND\n";
  std::string crlf;
  for (const char c : script) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  Session lf_session;
  Session crlf_session;
  const std::string lf_out = lf_session.send(script);
  EXPECT_EQ(crlf_session.send(crlf), lf_out);
  EXPECT_TRUE(crlf_session.ended_by_end_command());
  EXPECT_EQ(crlf_session.settings().move_number, lf_session.settings().move_number);
}

// Only a line that is exactly "done" closes a board block: one carriage
// return before the line feed is part of the line end, a second one is part
// of the line. (A C runtime reading in text mode would swallow one of them
// and close the block; the engine reads bytes.)
TEST(LineEnds, DoneFollowedByTwoCarriageReturnsKeepsTheBlockOpen) {
  Session s;
  s.send("START 15\nsd 2\n");
  const std::string out = s.send("BOARD\r\n7,7,1\r\ndone\r\r\n8,8,2\r\nDONE\r\n");
  EXPECT_EQ(s.occupant(8, 8), 1) << "the block was still open";
  EXPECT_EQ(s.engine().move_count, 3) << "two stones given, then the engine's";
  EXPECT_EQ(out.find("UNKNOWN"), std::string::npos);
}

// Every kind of reply ends with the line end the front end was given: the
// same session with CR LF writes exactly the LF session's bytes with a
// carriage return before each line feed.
TEST(LineEnds, EveryReplyKindEndsWithTheGivenLineEnd) {
  const std::string script =
      "ABOUT\nTURN 1,1\nBOARD\nsd 0\nsd 4\nst 0\nst 2\nSTART 4\nSTART 33\nSTART 101\n"
      "RECTSTART 5,6\nRECTSTART 5\nSTART 5\nRESTART\nhello\nBEGIN\nPLAY 9,9\nsd 3\nTURN 0,0\n"
      "TAKEBACK 2,2\nTAKEBACK 4,4\n";
  std::string board_full = "START 5\nBOARD\n";
  for (int i = 0; i < 25; ++i) board_full += std::to_string(i % 5) + "," + std::to_string(i / 5) + ",1\n";
  board_full += "done\n";

  Session lf;
  Session crlf(LineEnd::CR_LF);
  for (Session* session : {&lf, &crlf}) session->send(script + board_full + "END\n");
  const std::string lf_out = lf.all_output();
  const std::string crlf_out = crlf.all_output();
  for (const char* kind :
       {"name=", "ERROR START command must be issued first\n", "UNKNOWN command\n",
        "Please Set Correct Depth!\n", "ZEM Engine Not Initialized!\n", "Please Set Correct Time!\n",
        "Set Time to 2.00s.\n", "Na tomhle nejde hrat!\n", "max 32 policek!\n", "max 100 policek!\n",
        "ERROR rectangular boards", "ERROR bad command parameter\n", "OK\n", "2,2\n",
        "Set Depth to 3.\n", "ERROR board is full\n"}) {
    EXPECT_NE(lf_out.find(kind), std::string::npos) << "the script lacks a reply: " << kind;
  }
  std::string expected;
  for (const char c : lf_out) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(crlf_out, expected);

  Session failing([]() -> std::unique_ptr<Engine> { return nullptr; }, LineEnd::CR_LF);
  EXPECT_EQ(failing.send("START 15\n"), "ZEM Engine Load Error!\r\n");
}

TEST(BoardBlock, PlacesStonesInTurnWhateverWho) {
  Session s;
  s.send("START 15\nsd 2\n");
  // who 1 and who 2 both just place the next stone; who 3, malformed and
  // off-board lines are skipped without a reply; " done" does not close.
  const std::string out = s.send(
      "BOARD\n7,7,2\n7,8,2\n0,0,3\nrubbish\n15,0,1\n done\ndone \n8,8,1\nDONE\n");
  EXPECT_EQ(s.occupant(7, 7), 0);
  EXPECT_EQ(s.occupant(7, 8), 1);
  EXPECT_EQ(s.occupant(8, 8), 0);
  EXPECT_EQ(s.occupant(0, 0), EMPTY);
  EXPECT_EQ(s.settings().move_number, 5) << "three stones, then the engine's";
  // Three stones given, so the engine's move was a searched fourth stone.
  EXPECT_EQ(s.front_end().searches_run(), 1);
  EXPECT_EQ(stones_on_board(s), 4);
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(out.back(), '\n');
  EXPECT_EQ(out.find("UNKNOWN"), std::string::npos);
}

TEST(BoardBlock, ResentPositionOnlyAddsTheNewStones) {
  // A manager that sends the whole game again before every move.
  Session s;
  s.send("START 15\nINFO timeout_turn 200\n");
  std::string history = "7,7,2\n";
  std::string reply = s.send("BOARD\n" + history + "done\n");
  for (int round = 0; round < 3; ++round) {
    // Our stone (who 1), then a new opponent stone on the first free square
    // of the top row.
    history += reply.substr(0, reply.size() - 1) + ",1\n";
    int x = 0;
    while (s.occupant(x, 0) != EMPTY) ++x;
    history += std::to_string(x) + ",0,2\n";
    reply = s.send("sd 2\nBOARD\n" + history + "done\n");
    reply = reply.substr(reply.find("Set Depth to 2.\n") + 16);
    ASSERT_EQ(stones_on_board(s), 4 + 2 * round);
  }
  // The sides alternate in play order: the opponent's stones are side 0.
  EXPECT_EQ(s.occupant(7, 7), 0);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(s.occupant(x, 0), 0) << x;
  EXPECT_EQ(s.settings().move_number, stones_on_board(s) + 1);
  EXPECT_EQ(s.engine().verify(), "");
}

TEST(BoardBlock, EndOfInputInsideTheBlockMakesNoMove) {
  Session s;
  s.send("START 15\n");
  EXPECT_EQ(s.send("BOARD\n7,7,1\n8,8,2\n"), "");
  EXPECT_EQ(s.last_step(), FrontEnd::Step::END_OF_INPUT);
  EXPECT_EQ(s.front_end().searches_run(), 0);
}

TEST(FullBoard, NoMoveIsLeftToPlay) {
  // 5 x 5: 24 stones by PLAY, the 25th by TURN leaves no empty square.
  Session s;
  s.send("START 5\n");
  for (int i = 0; i < 24; ++i) s.send("PLAY " + std::to_string(i % 5) + "," + std::to_string(i / 5) + "\n");
  EXPECT_EQ(s.send("TURN 4,4\n"), "ERROR board is full\n");
  EXPECT_EQ(s.unflushed(), "");
  EXPECT_EQ(s.settings().move_number, 26);

  // The same through a board block that fills the board.
  Session b;
  b.send("START 5\n");
  std::string block = "BOARD\n";
  for (int i = 0; i < 25; ++i) block += std::to_string(i % 5) + "," + std::to_string(i / 5) + ",1\n";
  EXPECT_EQ(b.send(block + "DONE\n"), "ERROR board is full\n");
  EXPECT_EQ(b.send("TURN 0,0\n"), BAD_PARAMETER);
}

}  // namespace
}  // namespace quorlith::test
