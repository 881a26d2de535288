#include "engine/position.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quorlith {

namespace {

// The cells whose reach count a stone raises: the 8 around it and the 8
// two steps away along its lines.
constexpr std::array<int, 16> REACH_OFFSETS = {
    -Position::STRIDE - 1, -Position::STRIDE, -Position::STRIDE + 1, -1, 1,
    Position::STRIDE - 1,  Position::STRIDE,  Position::STRIDE + 1,
    -2,                    2,                 -2 * Position::STRIDE,  2 * Position::STRIDE,
    -2 * Position::STRIDE - 2, -2 * Position::STRIDE + 2, 2 * Position::STRIDE - 2,
    2 * Position::STRIDE + 2};
// Margin of the box around the stones: every cell in reach lies within it.
constexpr int BOX_MARGIN = 2;

struct KeyTable {
  uint64_t keys[2][Position::CELL_COUNT];
  KeyTable() {
    // splitmix64 from a fixed seed: the same keys on every platform.
    uint64_t state = 0x51a7c0de2026ull;
    for (auto& side : keys)
      for (auto& key : side) {
        uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        key = z ^ (z >> 31);
      }
  }
};
const KeyTable KEYS;
// Hashed in while side 1 is to move, so that the same stones with the
// other side to move (after a pass) are another position.
constexpr uint64_t SIDE_KEY = 0x9d39247e33776d41ull;

// The index of a cell's four line patterns of one side in the combo table.
inline int combo_index(const uint8_t (&patterns)[4], int side) {
  const int shift = 4 * side;
  return ((patterns[0] >> shift) & 15) + LINE_PATTERN_COUNT * ((patterns[1] >> shift) & 15) +
         LINE_PATTERN_COUNT * LINE_PATTERN_COUNT * ((patterns[2] >> shift) & 15) +
         LINE_PATTERN_COUNT * LINE_PATTERN_COUNT * LINE_PATTERN_COUNT * ((patterns[3] >> shift) & 15);
}

}  // namespace

uint64_t position_key(int side, int cell) { return KEYS.keys[side][cell]; }

Position::Position() { start(MAX_BOARD_SIZE, Rule::FREESTYLE); }

uint64_t Position::hash_after(int cell) const { return hash_ ^ KEYS.keys[side_][cell] ^ SIDE_KEY; }

void Position::pass() {
  side_ ^= 1;
  hash_ ^= SIDE_KEY;
  passes_ ^= 1;
}

void Position::start(int n, Rule rule) {
  tables_ = &line_tables(rule);
  rule_ = rule;
  half_ = tables_->half;
  size_ = n;
  side_ = 0;
  passes_ = 0;
  move_count_ = 0;
  hash_ = 0;
  box_[0] = box_[1] = static_cast<int8_t>(n);
  box_[2] = box_[3] = -1;
  std::memset(combo_count_, 0, sizeof combo_count_);
  std::memset(line_count_, 0, sizeof line_count_);
  std::memset(window_count_, 0, sizeof window_count_);
  std::memset(four_cells_, 0, sizeof four_cells_);
  std::memset(static_cast<void*>(cells_), 0, sizeof cells_);
  for (int cell = 0; cell < CELL_COUNT; ++cell)
    cells_[cell].stone = on_board(x_of(cell), y_of(cell)) ? EMPTY_CELL : WALL_CELL;
  auto stone_at = [&](int cell) { return cell >= 0 && cell < CELL_COUNT ? cells_[cell].stone : WALL_CELL; };
  for (int cell = 0; cell < CELL_COUNT; ++cell) {
    CellRecord& c = cells_[cell];
    for (int k = 0; k < 4; ++k) {
      bool live = true;
      for (int s = 0; s < 5; ++s) live = live && stone_at(cell + s * STEP[k]) == EMPTY_CELL;
      if (!live) c.window[k][0] = c.window[k][1] = DEAD_WINDOW;
      uint32_t key = 0;
      for (int s = -half_; s <= half_; ++s)
        if (s != 0) key |= uint32_t{stone_at(cell + s * STEP[k])} << (2 * line_slot(s, half_));
      c.key[k] = key;
    }
    if (c.stone != EMPTY_CELL) continue;
    for (int k = 0; k < 4; ++k) c.pattern[k] = tables_->line[c.key[k]];
    for (int side = 0; side < 2; ++side) c.combo[side] = tables_->combo[side][combo_index(c.pattern, side)];
    count_cell(cell, +1);
  }
}

void Position::count_cell(int cell, int sign) {
  const CellRecord& c = cells_[cell];
  for (int side = 0; side < 2; ++side) {
    for (int k = 0; k < 4; ++k) line_count_[side][(c.pattern[k] >> (4 * side)) & 15] += sign;
    combo_count_[side][c.combo[side] & COMBO_MASK] += sign;
  }
  if (sign > 0) {
    set_four_bits(cell);
  } else {
    for (auto& bits : four_cells_) bits[cell >> 6] &= ~(uint64_t{1} << (cell & 63));
  }
}

void Position::set_four_bits(int cell) {
  for (int side = 0; side < 2; ++side) {
    const uint64_t bit = uint64_t{1} << (cell & 63);
    if (makes_four(cells_[cell].combo[side]))
      four_cells_[side][cell >> 6] |= bit;
    else
      four_cells_[side][cell >> 6] &= ~bit;
  }
}

// A stone of `side` on `cell` joins the five windows through it on each
// line: a window of its own gains a stone, and one the other side had
// alone is closed to it.
void Position::windows_add(int cell, int side) {
  const int other = 1 - side;
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 5; ++j) {
      uint8_t* w = cells_[cell - j * STEP[k]].window[k];
      if (w[0] == DEAD_WINDOW) continue;
      if (w[other] == 0) {
        if (w[side] > 0) --window_count_[side][w[side]];
        ++window_count_[side][w[side] + 1];
      } else if (w[side] == 0) {
        --window_count_[other][w[other]];
      }
      ++w[side];
    }
}

void Position::reach_add(int cell, int delta) {
  for (const int offset : REACH_OFFSETS) {
    uint8_t& reach = cells_[cell + offset].reach;
    reach = static_cast<uint8_t>(reach + delta);
  }
}

// Line k of the empty cell changed: its patterns are looked up afresh and,
// where they differ, the cell's combos, the counts and the bit sets follow.
// The tables come in as plain pointers: the board's own byte stores would
// otherwise make the compiler read them again after every store.
inline void Position::relook_line(int cell, int k, Undo& undo, const uint8_t* line_table,
                                  const uint8_t* const* combo_table) {
  CellRecord& c = cells_[cell];
  const uint8_t before = c.pattern[k];
  const uint8_t now = line_table[c.key[k]];
  if (now == before) return;
  Change& change = undo.changes[undo.change_count++];
  change.cell = static_cast<uint16_t>(cell);
  change.line = static_cast<uint8_t>(k);
  change.pattern = before;
  change.combo[0] = c.combo[0];
  change.combo[1] = c.combo[1];
  c.pattern[k] = now;
  bool four_changed = false;
  for (int side = 0; side < 2; ++side) {
    // A side whose pattern on this line stays keeps its combo too.
    const int was = (before >> (4 * side)) & 15;
    const int is = (now >> (4 * side)) & 15;
    if (was == is) continue;
    --line_count_[side][was];
    ++line_count_[side][is];
    const uint8_t combo = combo_table[side][combo_index(c.pattern, side)];
    const uint8_t old = c.combo[side];
    if (combo == old) continue;
    --combo_count_[side][old & COMBO_MASK];
    ++combo_count_[side][combo & COMBO_MASK];
    c.combo[side] = combo;
    four_changed = four_changed || makes_four(combo) != makes_four(old);
  }
  if (four_changed) set_four_bits(cell);
}

template <int H>
void Position::make_move_h(int cell) {
  Undo& undo = undo_[move_count_];
  std::memcpy(undo.combo_count, combo_count_, sizeof combo_count_);
  std::memcpy(undo.line_count, line_count_, sizeof line_count_);
  std::memcpy(undo.window_count, window_count_, sizeof window_count_);
  std::memcpy(undo.box, box_, sizeof box_);
  undo.change_count = 0;

  count_cell(cell, -1);
  const uint32_t code = stone_code(side_);
  cells_[cell].stone = static_cast<uint8_t>(code);
  hash_ ^= KEYS.keys[side_][cell] ^ SIDE_KEY;
  const uint8_t* line_table = tables_->line.data();
  const uint8_t* const combo_table[2] = {tables_->combo[0].data(), tables_->combo[1].data()};
  for (int k = 0; k < 4; ++k) {
    const int step = STEP[k];
    for (int s = 1; s <= H; ++s) {
      // The stone is s steps ahead of the cell behind it, and s steps
      // behind the cell ahead of it.
      const int behind = cell - s * step;
      cells_[behind].key[k] += code << (2 * line_slot(s, H));
      if (cells_[behind].stone == EMPTY_CELL) relook_line(behind, k, undo, line_table, combo_table);
      const int ahead = cell + s * step;
      cells_[ahead].key[k] += code << (2 * line_slot(-s, H));
      if (cells_[ahead].stone == EMPTY_CELL) relook_line(ahead, k, undo, line_table, combo_table);
    }
  }
  reach_add(cell, +1);
  windows_add(cell, side_);
  const int x = x_of(cell), y = y_of(cell);
  box_[0] = static_cast<int8_t>(std::min<int>(box_[0], std::max(x - BOX_MARGIN, 0)));
  box_[1] = static_cast<int8_t>(std::min<int>(box_[1], std::max(y - BOX_MARGIN, 0)));
  box_[2] = static_cast<int8_t>(std::max<int>(box_[2], std::min(x + BOX_MARGIN, size_ - 1)));
  box_[3] = static_cast<int8_t>(std::max<int>(box_[3], std::min(y + BOX_MARGIN, size_ - 1)));
  moves_[move_count_++] = static_cast<int16_t>(cell);
  side_ ^= 1;
}

template <int H>
void Position::undo_move_h() {
  --move_count_;
  side_ ^= 1;
  const int cell = moves_[move_count_];
  const Undo& undo = undo_[move_count_];
  const uint32_t code = stone_code(side_);
  for (int k = 0; k < 4; ++k) {
    const int step = STEP[k];
    for (int s = 1; s <= H; ++s) {
      cells_[cell - s * step].key[k] -= code << (2 * line_slot(s, H));
      cells_[cell + s * step].key[k] -= code << (2 * line_slot(-s, H));
    }
  }
  for (int i = undo.change_count - 1; i >= 0; --i) {
    const Change& change = undo.changes[i];
    CellRecord& c = cells_[change.cell];
    c.pattern[change.line] = change.pattern;
    c.combo[0] = change.combo[0];
    c.combo[1] = change.combo[1];
    set_four_bits(change.cell);
  }
  cells_[cell].stone = EMPTY_CELL;
  hash_ ^= KEYS.keys[side_][cell] ^ SIDE_KEY;
  std::memcpy(combo_count_, undo.combo_count, sizeof combo_count_);
  std::memcpy(line_count_, undo.line_count, sizeof line_count_);
  std::memcpy(window_count_, undo.window_count, sizeof window_count_);
  std::memcpy(box_, undo.box, sizeof box_);
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 5; ++j) {
      uint8_t* w = cells_[cell - j * STEP[k]].window[k];
      if (w[0] != DEAD_WINDOW) --w[side_];
    }
  set_four_bits(cell);
  reach_add(cell, -1);
}

template <Rule R>
void Position::make_move(int cell) {
  make_move_h<half_line(R)>(cell);
}
template <Rule R>
void Position::undo_move() {
  undo_move_h<half_line(R)>();
}
template void Position::make_move<Rule::FREESTYLE>(int);
template void Position::make_move<Rule::STANDARD>(int);
template void Position::make_move<Rule::RENJU>(int);
template void Position::undo_move<Rule::FREESTYLE>();
template void Position::undo_move<Rule::STANDARD>();
template void Position::undo_move<Rule::RENJU>();

void Position::make_move(int cell) {
  if (half_ == 4)
    make_move_h<4>(cell);
  else
    make_move_h<5>(cell);
}

void Position::undo_move() {
  if (half_ == 4)
    undo_move_h<4>();
  else
    undo_move_h<5>();
}

std::string Position::verify() const {
  auto at = [](const char* what, int cell) {
    return std::string(what) + " differs at (" + std::to_string(x_of(cell)) + ", " + std::to_string(y_of(cell)) + ")";
  };
  int16_t combo_count[2][COMBO_COUNT] = {};
  int16_t line_count[2][LINE_PATTERN_COUNT] = {};
  uint64_t hash = 0;
  int min_x = size_, min_y = size_, max_x = -1, max_y = -1;
  for (int i = 0; i < move_count_; ++i) {
    const int cell = moves_[i];
    if (cells_[cell].stone != stone_code(i % 2)) return at("stone", cell);
    hash ^= KEYS.keys[i % 2][cell] ^ SIDE_KEY;
    min_x = std::min(min_x, std::max(x_of(cell) - BOX_MARGIN, 0));
    min_y = std::min(min_y, std::max(y_of(cell) - BOX_MARGIN, 0));
    max_x = std::max(max_x, std::min(x_of(cell) + BOX_MARGIN, size_ - 1));
    max_y = std::max(max_y, std::min(y_of(cell) + BOX_MARGIN, size_ - 1));
  }
  if (passes_ != 0) hash ^= SIDE_KEY;
  if (hash != hash_) return "hash differs";
  if (side_ != (move_count_ + passes_) % 2) return "side to move differs";
  if (min_x != box_[0] || min_y != box_[1] || max_x != box_[2] || max_y != box_[3]) return "box differs";
  int stones = 0;
  for (int y = 0; y < size_; ++y)
    for (int x = 0; x < size_; ++x) {
      const int cell = cell_of(x, y);
      const CellRecord& c = cells_[cell];
      if (c.stone == WALL_CELL) return at("wall", cell);
      if (c.stone != EMPTY_CELL) {
        ++stones;
        continue;
      }
      int reach = 0;
      for (const int offset : REACH_OFFSETS) {
        const uint8_t s = cells_[cell + offset].stone;
        reach += s == stone_code(0) || s == stone_code(1);
      }
      if (reach != c.reach) return at("reach count", cell);
      for (int k = 0; k < 4; ++k) {
        uint32_t key = 0;
        for (int s = -half_; s <= half_; ++s)
          if (s != 0) key |= uint32_t{cells_[cell + s * STEP[k]].stone} << (2 * line_slot(s, half_));
        if (key != c.key[k]) return at("line key", cell);
        if (c.pattern[k] != tables_->line[key]) return at("line pattern", cell);
      }
      for (int side = 0; side < 2; ++side) {
        const uint8_t combo = tables_->combo[side][combo_index(c.pattern, side)];
        if (combo != c.combo[side]) return at("combo", cell);
        const bool bit = (four_cells_[side][cell >> 6] >> (cell & 63)) & 1;
        if (bit != makes_four(combo)) return at("four bit", cell);
        ++combo_count[side][combo & COMBO_MASK];
        for (int k = 0; k < 4; ++k) ++line_count[side][(c.pattern[k] >> (4 * side)) & 15];
      }
    }
  if (stones != move_count_) return "stone count differs";
  if (std::memcmp(combo_count, combo_count_, sizeof combo_count) != 0) return "combo counts differ";
  if (std::memcmp(line_count, line_count_, sizeof line_count) != 0) return "line counts differ";
  int16_t window_count[2][WINDOW_COUNTS] = {};
  for (int y = 0; y < size_; ++y)
    for (int x = 0; x < size_; ++x)
      for (int k = 0; k < 4; ++k) {
        const int start = cell_of(x, y);
        int n[4] = {};
        for (int s = 0; s < 5; ++s) ++n[cells_[start + s * STEP[k]].stone];
        const uint8_t* w = cells_[start].window[k];
        if (n[WALL_CELL] > 0) {
          if (w[0] != DEAD_WINDOW || w[1] != DEAD_WINDOW) return at("window that leaves the board", start);
          continue;
        }
        for (int side = 0; side < 2; ++side) {
          const int own = n[stone_code(side)], theirs = n[stone_code(1 - side)];
          if (w[side] != own) return at("window", start);
          if (own > 0 && theirs == 0) ++window_count[side][own];
        }
      }
  if (std::memcmp(window_count, window_count_, sizeof window_count) != 0) return "window counts differ";
  for (int side = 0; side < 2; ++side)
    for (int cell = 0; cell < CELL_COUNT; ++cell)
      if (((four_cells_[side][cell >> 6] >> (cell & 63)) & 1) && cells_[cell].stone != EMPTY_CELL)
        return at("four bit of a non-empty cell", cell);
  return "";
}

}  // namespace quorlith
