// The real pbrain-quorlith through pipes: exact transcripts, exit status,
// a reader that goes away, bounded memory, and whole games. The suites named
// Slow... play whole games and take a few seconds each.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/common/deep_positions.h"
#include "tests/protocol/child_engine.h"

namespace quorlith::test {
namespace {

// Waiting for an answer longer than this means it is not coming.
constexpr int ANSWER_TIMEOUT_MS = 15000;
constexpr const char* ABOUT = "name=\"Quorlith\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\"";

bool exited_with_zero(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Sends a whole session that ends itself and compares everything the engine
// writes; the process must then end with status 0.
void expect_transcript(const std::string& input, const std::string& output) {
  ChildEngine child;
  child.send(input);
  EXPECT_EQ(child.read_to_end(ANSWER_TIMEOUT_MS), output);
  EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
}

TEST(EndToEnd, TranscriptAndExitAtEnd) {
  expect_transcript("ABOUT\nSTART 15\nBEGIN\nTURN 0,0\nPLAY 3,3\nTURN 3,3\nstart 4\nEND\nABOUT\n",
                    std::string(ABOUT) +
                        "\nOK\n7,7\n6,6\n3,3\nERROR bad command parameter\nNa tomhle nejde hrat!\n");
}

// pbrain-quorlith-plus answers the same transcript the same way, but for
// its name.
TEST(EndToEnd, PlusBrainTranscriptDiffersOnlyInItsName) {
  ChildEngine child(QUORLITH_PLUS_BINARY);
  child.send("ABOUT\nSTART 15\nBEGIN\nTURN 0,0\nPLAY 3,3\nTURN 3,3\nstart 4\nEND\nABOUT\n");
  EXPECT_EQ(child.read_to_end(ANSWER_TIMEOUT_MS),
            "name=\"Quorlith Plus\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\""
            "\nOK\n7,7\n6,6\n3,3\nERROR bad command parameter\nNa tomhle nejde hrat!\n");
  EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
}

TEST(EndToEnd, UnflushedRepliesArriveWithTheNextFlushOrAtExit) {
  ChildEngine child;
  child.send("st 5\r\nsd 3\r\nABOUT\r\n");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "Set Time to 5.00s.");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "ZEM Engine Not Initialized!");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), ABOUT);
  // End of input: the pending st reply is written on the way out; a last
  // line without its line feed is not carried out.
  child.send("st 2\nabout");
  child.close_input();
  EXPECT_EQ(child.read_to_end(ANSWER_TIMEOUT_MS), "Set Time to 2.00s.\n");
  EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
}

TEST(EndToEnd, ClosedOutputStillEndsWithStatusZero) {
  ChildEngine child;
  child.close_output();
  child.send("ABOUT\nSTART 15\nINFO timeout_turn 50\nBEGIN\nTURN 0,0\nTURN 1,0\nst 1\nABOUT\n");
  child.close_input();
  EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
}

TEST(EndToEnd, BoardProgramCommands) {
  expect_transcript(
      "RESTART\nRECTSTART 15,20\nRECTSTART 15,15\nBEGIN\nTAKEBACK 8,8\nTAKEBACK 7,7\n"
      "BEGIN\nRESTART\nBEGIN\nEND\n",
      "ERROR START command must be issued first\n"
      "ERROR rectangular boards are not supported, only square boards from 5 to 32\n"
      "OK\n7,7\nERROR bad command parameter\nOK\n7,7\nOK\n7,7\n");
}

// Standard input is read as bytes on every system: one carriage return
// before the line feed belongs to the line end, a second one to the line, so
// "done" followed by two of them does not close the block. (A C runtime
// reading in text mode drops one and closes it.) TAKEBACK then shows that
// 8,8 went down inside the block, just before the engine's answer.
TEST(EndToEnd, DoneFollowedByTwoCarriageReturnsKeepsTheBlockOpen) {
  ChildEngine child;
  child.send("INFO timeout_turn 100\r\nSTART 15\r\nBOARD\r\n7,7,1\r\ndone\r\r\n8,8,2\r\ndone\r\n");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "OK");
  const std::optional<std::string> answer = child.read_line(ANSWER_TIMEOUT_MS);
  ASSERT_TRUE(answer);
  child.send("TAKEBACK " + *answer + "\r\nTAKEBACK 8,8\r\nTAKEBACK 7,7\r\nEND\r\n");
  EXPECT_EQ(child.read_to_end(ANSWER_TIMEOUT_MS), "OK\nOK\nOK\n") << "answer " << *answer;
}

// Peak resident memory of a running process, from /proc, in KiB.
long peak_resident_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmHWM:" && status >> value) return value;
  }
  return -1;
}

// The peak resident memory of a brain that has only answered ABOUT: under
// an emulator (node, wine) most of a process's memory is the emulator's.
long resident_kib_at_rest() {
  ChildEngine child;
  child.send("ABOUT\n");
  if (child.read_line(ANSWER_TIMEOUT_MS) != ABOUT) return -1;
  const long peak = peak_resident_kib(child.pid());
  child.send("END\n");
  child.wait_exit(ANSWER_TIMEOUT_MS);
  return peak;
}

TEST(EndToEnd, HugeLineKeepsMemoryBounded) {
  const long at_rest = engine_is_emulated() ? resident_kib_at_rest() : 0;
  ASSERT_GE(at_rest, 0);
  ChildEngine child;
  // 48 MiB in one line: read through, answered as unknown, then business as
  // usual. The cap keeps at most 1 MiB of it.
  const std::string chunk(1 << 20, 'x');
  for (int i = 0; i < 48; ++i) ASSERT_TRUE(child.send(chunk));
  child.send("\nABOUT\n");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "UNKNOWN command");
  EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), ABOUT);
  const long peak = peak_resident_kib(child.pid());
  ASSERT_GT(peak, 0);
  EXPECT_LT(peak - at_rest, 16 * 1024) << "KiB, of which " << at_rest << " KiB at rest";
  child.send("END\n");
  EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
}

// ---- Whole games ----

// The referee's board: stones by player (0 or 1), with a five test.
class Referee {
 public:
  explicit Referee(int size) : size_(size), cells_(size * size, -1) {}
  int size() const { return size_; }
  bool empty(int x, int y) const { return on_board(x, y) && cells_[y * size_ + x] < 0; }
  int at(int x, int y) const { return on_board(x, y) ? cells_[y * size_ + x] : -2; }
  bool full() const { return stones_ == size_ * size_; }

  // Places a stone; true when it makes five or more in a row.
  bool place(int x, int y, int player) {
    cells_[y * size_ + x] = player;
    ++stones_;
    return longest_line(x, y, player) >= 5;
  }

  // Length of the line of player's stones through (x, y) in the best
  // direction, counting (x, y) itself as player's.
  int longest_line(int x, int y, int player) const {
    static constexpr int DX[4] = {1, 0, 1, 1};
    static constexpr int DY[4] = {0, 1, 1, -1};
    int best = 0;
    for (int k = 0; k < 4; ++k) {
      int length = 1;
      for (int sign : {1, -1})
        for (int d = 1; at(x + sign * d * DX[k], y + sign * d * DY[k]) == player; ++d) ++length;
      best = std::max(best, length);
    }
    return best;
  }

 private:
  bool on_board(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_; }
  int size_;
  std::vector<int> cells_;
  int stones_ = 0;
};

// A scripted opponent: completes its own lines, blocks the engine's, with a
// seeded random tie-break.
std::pair<int, int> opponent_move(const Referee& board, int me, std::mt19937& random) {
  int best = -1;
  std::pair<int, int> choice{-1, -1};
  for (int y = 0; y < board.size(); ++y)
    for (int x = 0; x < board.size(); ++x) {
      if (!board.empty(x, y)) continue;
      const int value = 8 * board.longest_line(x, y, me) + 7 * board.longest_line(x, y, 1 - me) +
                        static_cast<int>(random() % 6);
      if (value > best) {
        best = value;
        choice = {x, y};
      }
    }
  return choice;
}

// Reads the engine's answer: two numbers and a comma, an empty square.
std::pair<int, int> read_engine_move(ChildEngine& child, const Referee& board) {
  const std::optional<std::string> line = child.read_line(ANSWER_TIMEOUT_MS);
  if (!line) {
    ADD_FAILURE() << "no answer";
    return {-1, -1};
  }
  int x = -1;
  int y = -1;
  char tail = 0;
  if (std::sscanf(line->c_str(), "%d,%d%c", &x, &y, &tail) != 2 ||
      *line != std::to_string(x) + "," + std::to_string(y)) {
    ADD_FAILURE() << "not a move: \"" << *line << '"';
    return {-1, -1};
  }
  if (!board.empty(x, y)) {
    ADD_FAILURE() << "illegal move " << *line;
    return {-1, -1};
  }
  return {x, y};
}

// The engine opens with BEGIN and answers TURN; the manager sends the match
// clock before every move, as tournament managers do.
TEST(SlowWholeGame, FifteenByFifteenAgainstScriptedOpponent) {
  for (const unsigned seed : {1u, 2u}) {
    ChildEngine child;
    Referee board(15);
    std::mt19937 random(seed);
    int time_left = 120000;
    child.send("INFO timeout_match 120000\nINFO timeout_turn 150\nINFO rule 0\nSTART 15\n");
    ASSERT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "OK");
    child.send("INFO time_left " + std::to_string(time_left) + "\nBEGIN\n");
    int engine_moves = 0;
    for (;;) {
      const auto [x, y] = read_engine_move(child, board);
      ASSERT_GE(x, 0) << "seed " << seed << " after " << engine_moves << " moves";
      if (engine_moves == 0) {
        EXPECT_EQ(x * 100 + y, 707) << "the first stone is the centre";
      }
      ++engine_moves;
      if (board.place(x, y, 0) || board.full()) break;
      const auto [ox, oy] = opponent_move(board, 1, random);
      if (board.place(ox, oy, 1) || board.full()) break;
      time_left -= 150;
      child.send("INFO time_left " + std::to_string(time_left) + "\nTURN " + std::to_string(ox) +
                 "," + std::to_string(oy) + "\n");
    }
    EXPECT_GT(engine_moves, 3);
    child.send("END\n");
    EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
  }
}

// Two engines against each other on 20 x 20: the first is told each move by
// TURN, the second gets the whole position again as a board block before
// every move, with the stones already on its board listed first.
void play_twenty_by_twenty(const char* first_binary, const char* second_binary) {
  ChildEngine first(first_binary);
  ChildEngine second(second_binary);
  Referee board(20);
  const std::string setup = "INFO timeout_turn 40\nINFO time_left 2147483647\nSTART 20\n";
  first.send(setup);
  second.send(setup);
  ASSERT_EQ(first.read_line(ANSWER_TIMEOUT_MS), "OK");
  ASSERT_EQ(second.read_line(ANSWER_TIMEOUT_MS), "OK");

  std::string history;  // "x,y,who" for the second engine, in play order
  auto record = [&](int x, int y, int player) {
    history += std::to_string(x) + "," + std::to_string(y) + (player == 1 ? ",1\n" : ",2\n");
    return board.place(x, y, player);
  };
  first.send("BEGIN\n");
  int plies = 0;
  for (;;) {
    const auto [x, y] = read_engine_move(first, board);
    ASSERT_GE(x, 0) << "first engine, ply " << plies;
    ++plies;
    if (record(x, y, 0) || board.full()) break;
    second.send("BOARD\n" + history + "DONE\n");
    const auto [sx, sy] = read_engine_move(second, board);
    ASSERT_GE(sx, 0) << "second engine, ply " << plies;
    ++plies;
    if (record(sx, sy, 1) || board.full()) break;
    first.send("TURN " + std::to_string(sx) + "," + std::to_string(sy) + "\n");
  }
  EXPECT_GT(plies, 8);
  first.send("END\n");
  second.send("END\n");
  EXPECT_TRUE(exited_with_zero(first.wait_exit(ANSWER_TIMEOUT_MS)));
  EXPECT_TRUE(exited_with_zero(second.wait_exit(ANSWER_TIMEOUT_MS)));
}

std::string board_block(const test_support::Stones& stones) {
  std::string block = "BOARD\n";
  for (std::size_t i = 0; i < stones.size(); ++i) {
    block += std::to_string(stones[i].first) + "," + std::to_string(stones[i].second) +
             (i % 2 == 0 ? ",1\n" : ",2\n");
  }
  return block + "DONE\n";
}

// The deepest searches through the pipes, with the brain's own main thread
// (on Windows it has only the stack its executable reserves, in WebAssembly
// the stack it was linked with): "sd 63" on a crowded board where nothing is
// ever forced, so every line of the search runs to its full depth, and on
// the ladder of forced blocks, which the threat check follows to its end
// before the answer (the first block). Both brains: the plus brain's tree
// keeps a candidate list per ply on the stack too.
TEST(SlowDeepSearch, SdSixtyThreeOnACrowdedBoardAndOnTheForcingLadder) {
  for (const char* binary : {QUORLITH_ENGINE_BINARY, QUORLITH_PLUS_BINARY}) {
    SCOPED_TRACE(binary);
    ChildEngine child(binary);
    const test_support::Stones dead = test_support::dead_board(15);
    child.send("INFO timeout_turn 1000\nSTART 15\nsd 63\n" + board_block(dead));
    EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "OK");
    EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "Set Depth to 63.");
    Referee board(15);
    for (const auto& [x, y] : dead) board.place(x, y, 0);
    const auto [x, y] = read_engine_move(child, board);
    EXPECT_GE(x, 0);

    child.send("START 32\nsd 63\n" + board_block(test_support::forcing_ladder()));
    EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "OK");
    EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), "Set Depth to 63.");
    EXPECT_EQ(child.read_line(ANSWER_TIMEOUT_MS), std::to_string(test_support::LADDER_ORIGIN.first) +
                                                      "," +
                                                      std::to_string(test_support::LADDER_ORIGIN.second));
    child.send("END\n");
    EXPECT_TRUE(exited_with_zero(child.wait_exit(ANSWER_TIMEOUT_MS)));
  }
}

TEST(SlowWholeGame, TwentyByTwentyEngineAgainstEngineWithBoardResends) {
  play_twenty_by_twenty(QUORLITH_ENGINE_BINARY, QUORLITH_ENGINE_BINARY);
}

// The plus brain both ways round, as the one told by TURN and as the one
// sent the whole board.
TEST(SlowWholeGame, TwentyByTwentyPlusAgainstExact) {
  play_twenty_by_twenty(QUORLITH_PLUS_BINARY, QUORLITH_ENGINE_BINARY);
  play_twenty_by_twenty(QUORLITH_ENGINE_BINARY, QUORLITH_PLUS_BINARY);
}

}  // namespace
}  // namespace quorlith::test
