// Line reading, keyword matching and the number rules.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <vector>

#include "protocol/parse.h"

namespace quorlith {
namespace {

constexpr int32_t INT_MAX32 = std::numeric_limits<int32_t>::max();
constexpr int32_t INT_MIN32 = std::numeric_limits<int32_t>::min();

// Every line read_line gives for the input, "<overlong>" for an overlong one.
std::vector<std::string> lines_of(const std::string& input) {
  std::stringbuf in(input);
  std::vector<std::string> lines;
  std::string line;
  for (;;) {
    const LineStatus status = read_line(in, line);
    if (status == LineStatus::END_OF_INPUT) return lines;
    lines.push_back(status == LineStatus::OVERLONG ? "<overlong>" : line);
  }
}

TEST(ReadLine, LineEndsAndCarriageReturns) {
  using V = std::vector<std::string>;
  EXPECT_EQ(lines_of("about\nstart 15\n"), (V{"about", "start 15"}));
  EXPECT_EQ(lines_of("about\r\nstart 15\r\n"), (V{"about", "start 15"}));
  EXPECT_EQ(lines_of("\n\r\n"), (V{"", ""}));
  // Only one carriage return goes, and only right before the line feed.
  EXPECT_EQ(lines_of("a\r\r\n"), (V{"a\r"}));
  EXPECT_EQ(lines_of("a\rb\n"), (V{"a\rb"}));
  // A last line without its line feed is dropped unprocessed.
  EXPECT_EQ(lines_of("about\nend"), (V{"about"}));
  EXPECT_EQ(lines_of(""), V{});
}

TEST(ReadLine, NulByteEndsTheText) {
  const std::string input("done\0junk\nab\0\r\n", 15);
  EXPECT_EQ(lines_of(input), (std::vector<std::string>{"done", "ab"}));
}

TEST(ReadLine, OverlongLineIsReadThroughAndFlagged) {
  const std::string exact(MAX_LINE_BYTES, 'x');
  const std::string over(MAX_LINE_BYTES + 1, 'x');
  const auto lines = lines_of(exact + "\n" + over + "\nabout\n");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], exact);
  EXPECT_EQ(lines[1], "<overlong>");
  EXPECT_EQ(lines[2], "about");

  // What is kept of an overlong line stays within the cap.
  std::stringbuf in(std::string(3 * MAX_LINE_BYTES, 'y') + "\n");
  std::string line;
  EXPECT_EQ(read_line(in, line), LineStatus::OVERLONG);
  EXPECT_LE(line.capacity(), MAX_LINE_BYTES + 64);
}

TEST(MatchKeyword, PrefixWithoutRegardToCase) {
  EXPECT_EQ(match_keyword("turn", "TURN 3,4"), "3,4");
  EXPECT_EQ(match_keyword("turn", "tUrN\t \v\f\r3,4 x"), "3,4 x");
  EXPECT_EQ(match_keyword("end", "endgame"), "game");
  EXPECT_EQ(match_keyword("end", "end"), "");
  EXPECT_EQ(match_keyword("turn", "turnx 3,4"), "x 3,4");
  EXPECT_FALSE(match_keyword("turn", " turn 3,4"));
  EXPECT_FALSE(match_keyword("turn", "tur"));
  EXPECT_FALSE(match_keyword("about", ""));
  // Only ASCII letters fold; other bytes compare exactly.
  EXPECT_FALSE(match_keyword("time_left", "TIME-LEFT 5"));
  EXPECT_EQ(match_keyword("time_left", "TIME_LEFT 5"), "5");
  // Bytes of 128 and above are never white space.
  EXPECT_EQ(match_keyword("turn", "turn\xA0" "3,4"), "\xA0" "3,4");
}

TEST(ReadNumber, DecimalPrefixWithSign) {
  EXPECT_EQ(read_number("15"), 15);
  EXPECT_EQ(read_number(" \t+15abc"), 15);
  EXPECT_EQ(read_number("-7 8"), -7);
  EXPECT_EQ(read_number("1.5"), 1);
  EXPECT_EQ(read_number("0000000000000000000042"), 42);
  EXPECT_EQ(read_number(""), 0);
  EXPECT_EQ(read_number("ing 15"), 0);
  EXPECT_EQ(read_number("- 5"), 0);
  EXPECT_EQ(read_number("+"), 0);
}

TEST(ReadNumber, SaturatesAtInt32Limits) {
  EXPECT_EQ(read_number("2147483647"), INT_MAX32);
  EXPECT_EQ(read_number("2147483648"), INT_MAX32);
  EXPECT_EQ(read_number("99999999999999999999999999"), INT_MAX32);
  EXPECT_EQ(read_number("-2147483648"), INT_MIN32);
  EXPECT_EQ(read_number("-2147483649"), INT_MIN32);
  EXPECT_EQ(read_number("-99999999999999999999999999"), INT_MIN32);
}

TEST(ParseMove, AcceptedForms) {
  EXPECT_EQ(parse_move("3,4", 15), (Square{3, 4}));
  EXPECT_EQ(parse_move("3, 4", 15), (Square{3, 4}));
  EXPECT_EQ(parse_move(" 3,\t4", 15), (Square{3, 4}));
  EXPECT_EQ(parse_move("3,4 and more", 15), (Square{3, 4}));
  EXPECT_EQ(parse_move("+7,07", 15), (Square{7, 7}));
  EXPECT_EQ(parse_move("0,14", 15), (Square{0, 14}));
  EXPECT_EQ(parse_move("4,4", 5), (Square{4, 4}));
}

TEST(ParseMove, RejectedForms) {
  for (const char* text : {"3 ,4", "3;4", "3", "3,", ",4", "", "x,4", "3,y", "-1,4", "4,-1", "15,0",
                           "0,15", "- 3,4", "99999999999,1", "1,-99999999999"}) {
    EXPECT_FALSE(parse_move(text, 15)) << '"' << text << '"';
  }
  EXPECT_FALSE(parse_move("3,4", 0)) << "no board, no square";
}

TEST(ParseBoardLine, ThreeNumbersAndWho) {
  const auto line = parse_board_line("3,4,2", 15);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->square, (Square{3, 4}));
  EXPECT_EQ(line->who, 2);
  EXPECT_TRUE(parse_board_line("3, 4, 1 tail", 15));
  for (const char* text : {"3,4,3", "3,4,0", "3,4,-1", "3,4", "3,4,", "3 ,4,1", "3,4 ,1", "15,4,1",
                           "3,-1,1", "done", ""}) {
    EXPECT_FALSE(parse_board_line(text, 15)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace quorlith
