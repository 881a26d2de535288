// The readable rules behind the line tables. The build runs them once to
// generate the constant tables; the engine itself only ever looks tables up.
#pragma once

#include <array>
#include <cstdint>

namespace quorlith {

// What one line through a cell gives one side if that side had a stone on the
// cell (X). Pictures: x own stone, . empty, | blocked.
enum PatternClass : uint8_t {
  CLASS_NONE = 0,       // |.xX.|       fewer than five cells: no five can pass
  CLASS_ONE = 1,        // |..X..|      five cells, nothing of our own yet
  CLASS_OPEN_ONE = 2,   // ....X....    six or more cells, nothing of our own
  CLASS_TWO = 3,        // ...X..x|     best addition gives a three
  CLASS_OPEN_TWO = 4,   // ...xX....    best addition gives an open three
  CLASS_THREE = 5,      // ..x.X.x..    best addition gives a four
  CLASS_OPEN_THREE = 6, // ...xXx...    some addition gives an open four
  CLASS_FOUR = 7,       // .xx.Xx...    exactly one cell completes a five
  CLASS_OPEN_FOUR = 8,  // ..xxXx...    two or more cells complete a five
  CLASS_FIVE = 9,       // xxxxX....    the centre is in a run of five or more
};

// Number of the window-count tuple of a line (0 for a span under five cells).
using ShapeId = uint8_t;
constexpr int SHAPE_COUNT = 107;

// What a stone on an empty cell gives one side over its four lines.
enum Rating : uint8_t {
  RATING_NONE = 0,          // nothing forcing
  RATING_THREE = 1,         // ...xXx...            an open three alone
  RATING_THREE_PLUS = 2,    // open three + three or open two
  RATING_DOUBLE_THREE = 3,  // two or more open threes
  RATING_FOUR = 4,          // .xx.Xx...            a four alone
  RATING_FOUR_PLUS = 5,     // four + three or open two
  RATING_FOUR_THREE = 6,    // four + open three
  RATING_OPEN_FOUR = 7,     // ..xxXx...  or two fours
  RATING_FIVE = 8,          // xxxxX....
};

// The part of a line that matters for one side: L free cells on the negative
// side of the centre and R on the positive side (each 0..4, up to the first
// blocked cell), and the own cells inside it. Positions 0..8 stand for the
// steps -4..+4; position 4 is the centre, always own.
struct Span {
  int left = 0;
  int right = 0;
  uint16_t own = 0;  // bit p = own stone at position p (only positions in the span)

  int length() const { return left + 1 + right; }
  int first() const { return 4 - left; }
  int last() const { return 4 + right; }
};

constexpr int CENTRE_POSITION = 4;

// Reads the span of a table index (own line_mask byte * 256 + other byte).
Span read_span(int index);

// The recursive class rule over one span (memoised).
PatternClass classify_span(const Span& span);

// Window counts (c1..c5): how many of the span's five-cell windows hold
// 1, 2, 3, 4 and 5 own cells. All zero for a span under five cells.
using WindowCounts = std::array<int8_t, 5>;
WindowCounts count_windows(const Span& span);

// The move weight of a span: the special spans, open threes and better,
// and otherwise the two- and three-stone window sum v = c2 + 2 * c3.
int16_t move_weight_of_span(const Span& span);

// The rating rule over four line classes.
Rating rate_classes(uint8_t c0, uint8_t c1, uint8_t c2, uint8_t c3);

// Weight of a shape in the static evaluation: each window with n own
// cells contributes 4n - 1.
int32_t shape_weight_of_counts(const WindowCounts& counts);

// Everything the generator writes: the three constant 65,536-entry tables
// and the 107 window-count rows in first-occurrence order.
struct GeneratedTables {
  std::array<uint8_t, 65536> line_class;
  std::array<uint8_t, 65536> shape;
  std::array<int16_t, 65536> move_weight;
  std::array<WindowCounts, SHAPE_COUNT> window_counts;
  int shape_count = 0;  // distinct tuples found, plus the reserved id 0
};

// Runs every rule over all indices; returns false if the numbering rule does
// not give exactly SHAPE_COUNT ids.
bool generate_tables(GeneratedTables& out);

}  // namespace quorlith
