// Random command lines through the in-process front end: whatever arrives,
// nothing crashes, every reply is one the protocol knows, every move names a
// square that now holds a stone, and the engine's board stays consistent.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/common/known_replies.h"
#include "tests/protocol/session.h"

namespace quorlith::test {
namespace {

class LineMaker {
 public:
  explicit LineMaker(unsigned seed) : random_(seed) {}

  std::string line() {
    std::string text;
    switch (pick(4)) {
      case 0:  // a keyword, maybe mangled in case, with arguments
        text = cased(pick_of(KEYWORDS));
        if (pick(4) != 0) text += pick_of(SEPARATORS);
        text += arguments();
        break;
      case 1:  // a board line
        text = number() + "," + number() + "," + number();
        break;
      case 2:  // random bytes, NUL and high bytes included
        for (int n = pick(12); n > 0; --n) text += static_cast<char>(pick(256));
        break;
      default:  // a move argument alone
        text = arguments();
        break;
    }
    // Time settings stay where the test put them, so every search is short.
    if (match_keyword("st", text) && !match_keyword("start", text)) return "about";
    if (match_keyword("info", text)) return "info max_memory " + number();
    if (text.find('\n') != std::string::npos) return "about";
    return text;
  }

 private:
  static constexpr const char* KEYWORDS[] = {"start", "turn", "play", "begin", "board", "done",
                                             "about", "sd", "info", "restart", "takeback",
                                             "rectstart"};
  static constexpr const char* SEPARATORS[] = {" ", "\t", "", "  ", "\r"};
  static constexpr const char* NUMBERS[] = {"-1", "0", "1", "2", "4", "5", "7", "9", "14", "15",
                                            "19", "20", "31", "32", "33", "100", "101",
                                            "2147483648", "-2147483649", "+3", "07", "", "x"};

  int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
  template <std::size_t N>
  const char* pick_of(const char* const (&items)[N]) {
    return items[pick(static_cast<int>(N))];
  }
  std::string number() {
    return pick(2) == 0 ? std::string(pick_of(NUMBERS)) : std::to_string(pick(22));
  }
  std::string arguments() {
    static constexpr const char* COMMAS[] = {",", ", ", " ,", ";", ",,", ""};
    std::string args = number();
    if (pick(5) != 0) args += std::string(pick_of(COMMAS)) + number();
    if (pick(4) == 0) args += std::string(pick_of(COMMAS)) + number();
    return args;
  }
  std::string cased(std::string word) {
    for (char& c : word)
      if (pick(3) == 0) c = static_cast<char>(c - 'a' + 'A');
    return word;
  }

  std::mt19937 random_;
};

bool is_move_reply(const std::string& line, const Session& s) {
  const auto square = parse_move(line, s.settings().board_size);
  return square && line == std::to_string(square->x) + "," + std::to_string(square->y) &&
         s.occupant(square->x, square->y) != EMPTY;
}

// Both brains: the plus brain shares the front end, so its replies must be
// the same kind.
TEST(RandomInput, EveryReplyIsKnownAndEveryMoveLegal) {
  const std::unique_ptr<Brain> plus = make_plus_brain();
  for (unsigned seed = 1; seed <= 4; ++seed) {
    LineMaker maker(seed);
    std::mt19937 random(seed);
    Session s(make_engine_on_heap, seed <= 3 ? exact_brain() : *plus);
    s.send("INFO timeout_turn 2\n");
    int moves = 0;
    for (int i = 0; i < 1500; ++i) {
      std::string line = maker.line() + (i % 2 ? "\n" : "\r\n");
      if (random() % 8 == 0) {
        // A whole board block in one go, so that its lines stay together.
        line = "BOARD\n";
        for (int n = static_cast<int>(random() % 12); n > 0; --n) line += maker.line() + "\n";
        line += random() % 4 ? "done\n" : "DONE\r\n";
      }
      const std::string out = s.send(line);
      ASSERT_NE(s.last_step(), FrontEnd::Step::END) << line;
      std::size_t begin = 0;
      while (begin < out.size()) {
        const std::size_t end = out.find('\n', begin);
        ASSERT_NE(end, std::string::npos) << "unterminated reply after: " << line;
        const std::string reply = out.substr(begin, end - begin);
        begin = end + 1;
        if (test_support::is_known_reply(reply)) continue;
        ASSERT_TRUE(is_move_reply(reply, s)) << '"' << reply << "\" after \"" << line << '"';
        ++moves;
      }
      if (s.settings().board_size != 0) {
        ASSERT_EQ(s.engine().move_count, s.settings().move_number - 1) << line;
        if (i % 50 == 0) {
          ASSERT_EQ(s.engine().verify(), "") << line;
        }
      }
    }
    EXPECT_GT(moves, 20) << "seed " << seed << ": the input should reach the board";
  }
}

}  // namespace
}  // namespace quorlith::test
