// The plus brain's board: one game under one rule, with every empty cell's
// line patterns and combos kept current stone by stone, so that the search
// reads threats, move scores and the evaluation's counts without scanning.
//
// The grid is a flat array with a wall five cells deep around the largest
// board; a cell is an index, and a step along line k adds STEP[k]:
//
//     k = 0  (1, 0)   STEP 1            k = 2  (1, 1)   STEP STRIDE + 1
//     k = 1  (0, 1)   STEP STRIDE       k = 3  (1, -1)  STEP 1 - STRIDE
//
// For each cell and line the board keeps the line key of the 2h cells
// around it (patterns/line_rules.h; h = 4 in freestyle, 5 otherwise); for
// each empty cell the LinePattern of each line for both sides and the
// Combo of each side; and per side how many empty cells hold each pattern
// and combo. make_move and undo_move change only the cells within h steps
// of the stone along its four lines.
#pragma once

#include <cstdint>
#include <string>

#include "engine/types.h"
#include "patterns/line_rules.h"

namespace quorlith {

class Position {
 public:
  static constexpr int WALL_DEPTH = MAX_HALF_LINE;
  static constexpr int STRIDE = MAX_BOARD_SIZE + 2 * WALL_DEPTH;  // 42
  static constexpr int CELL_COUNT = STRIDE * STRIDE;
  static constexpr int STEP[4] = {1, STRIDE, STRIDE + 1, 1 - STRIDE};
  static constexpr int BITSET_WORDS = (CELL_COUNT + 63) / 64;
  // What a cell holds, as its two bits in the line keys.
  static constexpr uint8_t EMPTY_CELL = 0;
  static constexpr uint8_t WALL_CELL = 3;
  static constexpr uint8_t stone_code(int side) { return static_cast<uint8_t>(side + 1); }
  // No cell: index 0 is always deep in the wall.
  static constexpr int NO_CELL = 0;

  Position();
  Position(const Position&) = delete;
  Position& operator=(const Position&) = delete;

  // An empty n x n board (5 <= n <= 32) under `rule`; black (side 0) to move.
  void start(int n, Rule rule);

  // The cell of protocol square (x, y), and back.
  static constexpr int cell_of(int x, int y) { return (y + WALL_DEPTH) * STRIDE + x + WALL_DEPTH; }
  static constexpr int x_of(int cell) { return cell % STRIDE - WALL_DEPTH; }
  static constexpr int y_of(int cell) { return cell / STRIDE - WALL_DEPTH; }
  bool on_board(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_; }
  bool is_empty(int cell) const { return cells_[cell].stone == EMPTY_CELL; }

  // A stone of the side to move on an empty cell of the board.
  template <Rule R>
  void make_move(int cell);
  void make_move(int cell);
  // The side to move passes: the other side is to move on the same
  // stones (the searches ask what the opponent would do were it to move
  // now). A second pass takes it back; stones made in between must be
  // taken back first.
  void pass();
  // Takes back the last stone; move_count() > 0.
  template <Rule R>
  void undo_move();
  void undo_move();

  // ---- What the search reads ----
  Rule rule() const { return rule_; }
  int size() const { return size_; }
  int side_to_move() const { return side_; }
  int move_count() const { return move_count_; }
  int move_at(int i) const { return moves_[i]; }
  int last_move() const { return move_count_ > 0 ? moves_[move_count_ - 1] : NO_CELL; }
  uint8_t stone(int cell) const { return cells_[cell].stone; }
  // The side's LinePattern on line k of an empty cell.
  LinePattern pattern(int cell, int k, int side) const {
    return static_cast<LinePattern>((cells_[cell].pattern[k] >> (4 * side)) & 15);
  }
  // The side's Combo of an empty cell, with COMBO_DOUBLE_THREE_FLAG.
  uint8_t combo_bits(int cell, int side) const { return cells_[cell].combo[side]; }
  Combo combo(int cell, int side) const { return static_cast<Combo>(cells_[cell].combo[side] & COMBO_MASK); }
  // Empty cells of the side with each Combo, and (cell, line) pairs with
  // each LinePattern.
  int combo_count(int side, Combo c) const { return combo_count_[side][c]; }
  const int16_t* combo_counts(int side) const { return combo_count_[side]; }
  const int16_t* line_counts(int side) const { return line_count_[side]; }
  // Five-cell windows on the board with n stones of the side and none of
  // the other's, per n (index 1 to 5; 0 unused): the room each side has
  // left to make a five, and how far it has come in it.
  static constexpr int WINDOW_COUNTS = 6;
  const int16_t* window_counts(int side) const { return window_count_[side]; }
  // Empty cells where the side makes a four or better (makes_four), as a
  // bit set over cell indices.
  const uint64_t* four_cells(int side) const { return four_cells_[side]; }
  // Stones within reach of an empty cell: on the 8 cells around it and two
  // steps away along its lines. The search's moves are the empty cells
  // with stones in reach.
  int stones_in_reach(int cell) const { return cells_[cell].reach; }
  // Inclusive corners of the area that holds every cell with a stone in
  // reach (protocol coordinates); empty board: min > max.
  int box_min_x() const { return box_[0]; }
  int box_min_y() const { return box_[1]; }
  int box_max_x() const { return box_[2]; }
  int box_max_y() const { return box_[3]; }
  uint64_t hash() const { return hash_; }
  // The hash after a stone of the side to move on `cell`.
  uint64_t hash_after(int cell) const;

  // Recomputes every key, pattern, combo, count, bit set, reach count, the
  // box and the hash from the stones and compares them with the kept ones:
  // "" when they agree, else the first difference. For tests.
  std::string verify() const;

 private:
  struct Change {
    uint16_t cell;
    uint8_t line;
    uint8_t pattern;  // before the stone
    uint8_t combo[2];
  };
  static constexpr int MAX_CHANGES = 4 * 2 * MAX_HALF_LINE;
  struct Undo {
    int16_t combo_count[2][COMBO_COUNT];
    int16_t line_count[2][LINE_PATTERN_COUNT];
    int16_t window_count[2][WINDOW_COUNTS];
    int8_t box[4];
    uint8_t change_count;
    Change changes[MAX_CHANGES];
  };

  template <int H>
  void make_move_h(int cell);
  template <int H>
  void undo_move_h();
  void relook_line(int cell, int k, Undo& undo, const uint8_t* line_table, const uint8_t* const* combo_table);
  void count_cell(int cell, int sign);
  void set_four_bits(int cell);
  void reach_add(int cell, int delta);
  void windows_add(int cell, int side);

  const LineTables* tables_ = nullptr;
  Rule rule_ = Rule::FREESTYLE;
  int half_ = 4;
  int size_ = 0;
  int side_ = 0;
  int passes_ = 0;  // 1 while a pass stands
  int move_count_ = 0;
  uint64_t hash_ = 0;
  int8_t box_[4] = {};
  int16_t combo_count_[2][COMBO_COUNT] = {};
  int16_t line_count_[2][LINE_PATTERN_COUNT] = {};
  int16_t window_count_[2][WINDOW_COUNTS] = {};
  uint64_t four_cells_[2][BITSET_WORDS] = {};
  // Everything the board keeps of one cell, together: a stone touches
  // some forty cells along its lines, and one record each is one memory
  // read each.
  struct CellRecord {
    uint32_t key[4];      // the line keys
    uint8_t pattern[4];   // per line: black's LinePattern low, white's high
    uint8_t combo[2];     // per side, with COMBO_DOUBLE_THREE_FLAG
    uint8_t stone;        // EMPTY_CELL, stone_code(side) or WALL_CELL
    uint8_t reach;        // stones_in_reach
    // Stones of each side in the window of five cells from this cell along
    // line k; DEAD_WINDOW in both where the window leaves the board.
    uint8_t window[4][2];
  };
  static_assert(sizeof(CellRecord) == 32);
  static constexpr uint8_t DEAD_WINDOW = 0x80;
  CellRecord cells_[CELL_COUNT] = {};
  int16_t moves_[MAX_STONES] = {};
  Undo undo_[MAX_STONES];
};

// Fixed pseudo-random keys of the plus board's hash, per side and cell.
uint64_t position_key(int side, int cell);

// Visits each set bit (a cell index) of a bit set of the board.
template <typename F>
inline void for_each_cell(const uint64_t* bits, F&& visit) {
  for (int w = 0; w < Position::BITSET_WORDS; ++w) {
    uint64_t word = bits[w];
    while (word != 0) {
      visit(w * 64 + __builtin_ctzll(word));
      word &= word - 1;
    }
  }
}

}  // namespace quorlith
