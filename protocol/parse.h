// Reading command lines and their arguments. Nothing here touches the engine
// or the settings: every function works on bytes and the board size it is
// given, so the rules can be tested one by one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>

namespace quorlith {

// Longest line kept. A longer line is read through to its line feed, keeps
// only its first MAX_LINE_BYTES bytes and is reported as overlong, so memory
// stays bounded whatever the input.
constexpr std::size_t MAX_LINE_BYTES = std::size_t{1} << 20;

enum class LineStatus {
  LINE,          // a complete line is in the buffer
  OVERLONG,      // a complete line longer than MAX_LINE_BYTES; matches nothing
  END_OF_INPUT,  // input ended (a last line without its line feed is dropped)
};

// Reads the next line from in into line, without its line feed and at most
// one carriage return before it. A NUL byte ends the text that the caller
// sees: line is cut there.
LineStatus read_line(std::streambuf& in, std::string& line);

// The bytes that count as white space between a keyword and its argument:
// blank, tab, line feed, vertical tab, form feed, carriage return.
[[nodiscard]] constexpr bool is_blank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// When text begins with keyword (ASCII letters compared without regard to
// case, every other byte exactly), the rest of the text after the keyword and
// the white space that follows it; otherwise nothing.
//
//   match_keyword("end", "ENDgame")   -> ""
//   match_keyword("turn", "turn 3,4") -> "3,4"
//   match_keyword("turn", " turn")    -> no match
[[nodiscard]] std::optional<std::string_view> match_keyword(std::string_view keyword,
                                                            std::string_view text);

// The numeric argument of INFO, START, st and sd: leading white space, an
// optional sign, decimal digits up to the first other byte. No digits read as
// 0; values beyond the int32 range saturate at its limits.
[[nodiscard]] int32_t read_number(std::string_view text);

// A square in protocol coordinates.
struct Square {
  int32_t x;
  int32_t y;
  friend bool operator==(Square, Square) = default;
};

// "x,y": optional white space, a signed integer, a comma right after its last
// digit, optional white space, a signed integer; the rest is ignored. Valid
// only when both numbers lie in 0 .. board_size - 1.
//
//   "3,4"  "3, 4"  "+3,04 and more"   valid
//   "3 ,4" "3;4"  "3"  "-1,4"         not valid
[[nodiscard]] std::optional<Square> parse_move(std::string_view text, int32_t board_size);

// The argument of RECTSTART: "w,h" read like parse_move, with no bounds on
// either number (the command judges the sizes itself).
struct BoardShape {
  int32_t width;
  int32_t height;
};
[[nodiscard]] std::optional<BoardShape> parse_board_shape(std::string_view text);

// One line of a board block: "x,y,who".
struct BoardLine {
  Square square;
  int32_t who;
};

// "x,y,who" read like parse_move with a third number; valid only when the
// square is on the board and who is 1 or 2.
[[nodiscard]] std::optional<BoardLine> parse_board_line(std::string_view text,
                                                        int32_t board_size);

}  // namespace quorlith
