// What a stone on an empty cell would make, line by line and over its four
// lines, under each rule: the readable rules, and the tables the plus
// brain's board looks them up in. Pictures: X the stone placed, x own
// stones, o the opponent's, | the edge, . empty.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "patterns/rules.h"

namespace quorlith {

// What one line through an empty cell gives one side if it placed a stone
// there. Ordered by strength, but for OVERLINE and DOUBLE_FOUR.
enum LinePattern : uint8_t {
  LINE_DEAD = 0,         // |.xX.o      no five can ever pass the cell
  LINE_OVERLINE = 1,     // xxXxxx      a line of six or more that does not win
  LINE_B1 = 2,           // |X....      one stone, room for a five
  LINE_F1 = 3,           // ...X...     one stone that can grow into an open two
  LINE_B2 = 4,           // |xX...      a two that can only become a closed three
  LINE_F2 = 5,           // ..xX...     an open two: one more stone makes an open three
  LINE_B3 = 6,           // |xxX..      a closed three: one more stone makes a four
  LINE_F3 = 7,           // ..xxX..     an open three: one more stone makes an open four
  LINE_B4 = 8,           // |xxxX.      a four: one cell completes a five
  LINE_F4 = 9,           // .xxxX.      an open four: two cells complete a five
  LINE_DOUBLE_FOUR = 10, // x.xXx.x     two fours on one line (only where it is forbidden)
  LINE_FIVE = 11,        // xxxxX       a five under the rule
};
constexpr int LINE_PATTERN_COUNT = 12;

// What a stone on an empty cell gives one side over its four lines.
enum Combo : uint8_t {
  COMBO_NONE = 0,
  COMBO_FORBIDDEN = 1,  // renju black: overline, double four
  COMBO_F2 = 2,         // an open two
  COMBO_B3 = 3,         // a closed three
  COMBO_F2X2 = 4,       // two open twos
  COMBO_B3_PLUS = 5,    // a closed three and another closed three or open two
  COMBO_F3 = 6,         // an open three
  COMBO_F3_PLUS = 7,    // an open three and a closed three or open two
  COMBO_F3X2 = 8,       // two open threes
  COMBO_B4 = 9,         // a four
  COMBO_B4_PLUS = 10,   // a four and a closed three or open two
  COMBO_B4F3 = 11,      // a four and an open three
  COMBO_F4 = 12,        // an open four, or two fours: a five next move
  COMBO_FIVE = 13,      // a five
};
constexpr int COMBO_COUNT = 14;
// Set beside the combo, for the side that has forbidden points, where two
// or more lines make open threes: whether the cell is a forbidden double
// three depends on whether those threes are real, which one line cannot
// tell.
constexpr uint8_t COMBO_DOUBLE_THREE_FLAG = 0x80;
constexpr uint8_t COMBO_MASK = 0x7f;

// A stone here makes a four or better (the moves of a win by fours).
constexpr bool makes_four(uint8_t combo) { return (combo & COMBO_MASK) >= COMBO_B4; }

// One cell of a line as one side sees it.
enum class LineCell : uint8_t { EMPTY = 0, OWN = 1, BLOCKED = 2 };

// Cells read on each side of the centre: four where every five through
// the centre lies within them; five where a five must be exactly five, as
// the cell beyond a five tells whether it is one.
constexpr int half_line(Rule rule) { return rule == Rule::FREESTYLE ? 4 : 5; }
constexpr int MAX_HALF_LINE = 5;

// The line rule. `cells` holds 2 * half + 1 cells from the negative end,
// the centre at `half` (its content is ignored: the stone placed there):
//   a. the run through the centre is a five: FIVE; longer but not a five:
//      OVERLINE;
//   b. count the empty cells that complete a five through the centre;
//      two or more: F4 (for the side with forbidden points, F4 only when
//      they close both ends of one straight four, else DOUBLE_FOUR); one: B4;
//   c. otherwise try each empty cell as a second own stone (for the side
//      with forbidden points not where it makes an overline or a double
//      four) and take the best: an F4 makes this an F3, a B4 a B3, F3 F2,
//      B3 B2, F2 F1, B2 B1; nothing: DEAD.
LinePattern classify_line(Rule rule, int side, const LineCell* cells, int half);

// The combination rule over a cell's four line patterns, in order of
// precedence: a five; for the side with forbidden points, an overline, a
// double four or two fours is FORBIDDEN; an F4 or two fours: F4; one four
// with an open three, with a closed three or open two, or alone; two open
// threes; one open three with a closed three or open two, or alone; a
// closed three with another or an open two; two open twos; a closed three;
// an open two. Adds COMBO_DOUBLE_THREE_FLAG where it applies.
uint8_t combine_lines(Rule rule, int side, const LinePattern (&lines)[4]);

// The tables of one rule, built once per process from the rules above.
//
// A line key holds the 2 * half cells around a centre, two bits each
// (0 empty, 1 black, 2 white, 3 wall), the nearest cells in the middle:
//
//     bits:   [-h] ... [-2] [-1] | [+1] [+2] ... [+h]
//     slot:     0  ...  h-2  h-1 |   h   h+1 ... 2h-1
//
// so slot j takes bits 2j and 2j+1.
struct LineTables {
  Rule rule = Rule::FREESTYLE;
  int half = 4;
  // line[key]: black's LinePattern in the low nibble, white's in the high.
  std::vector<uint8_t> line;
  // combo[side][p0 + 12 p1 + 144 p2 + 1728 p3]: combine_lines of the
  // patterns p0..p3 of the four lines.
  std::array<std::vector<uint8_t>, 2> combo;
  // Milliseconds the build took.
  double build_ms = 0;
};
constexpr int COMBO_INDEX_COUNT = LINE_PATTERN_COUNT * LINE_PATTERN_COUNT * LINE_PATTERN_COUNT * LINE_PATTERN_COUNT;

// Slot of the cell `step` steps from the centre (step in -half..-1, 1..half).
constexpr int line_slot(int step, int half) { return step < 0 ? step + half : step + half - 1; }

// The tables of `rule`, built on first use (thread-safe) and kept.
const LineTables& line_tables(Rule rule);

}  // namespace quorlith
