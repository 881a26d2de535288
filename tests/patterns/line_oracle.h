// An independent reading of one line index, written in terms of the
// five-cell windows through the centre rather than the span, to check the
// generated 65,536-entry tables entry by entry.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace quorlith::line_oracle {

// Nine positions 0..8 stand for the steps -4..+4; position 4 is the centre.
constexpr int CENTRE = 4;

// Bit b of a line_mask byte is the cell at position b (b < 4) or b + 1.
constexpr int position_of_mask_bit(int b) { return b < 4 ? b : b + 1; }

struct Line {
  unsigned own = 0;      // positions holding an own stone (the centre included)
  unsigned blocked = 0;  // positions holding an enemy stone or a wall
  int left = 0;          // free cells before the first blocked one, negative side (0..4)
  int right = 0;         // the same on the positive side
  unsigned live = 0;     // window starts 0..4 whose five cells hold nothing blocked
};

inline Line read_line(int index) {
  const unsigned own_byte = static_cast<unsigned>(index) >> 8;
  const unsigned other_byte = static_cast<unsigned>(index) & 0xFFu;
  Line line;
  line.own = 1u << CENTRE;
  for (int b = 0; b < 8; ++b) {
    const unsigned bit = 1u << position_of_mask_bit(b);
    if ((other_byte >> b) & 1u) line.blocked |= bit;
    else if ((own_byte >> b) & 1u) line.own |= bit;
  }
  while (line.left < 4 && !((line.blocked >> (CENTRE - 1 - line.left)) & 1u)) ++line.left;
  while (line.right < 4 && !((line.blocked >> (CENTRE + 1 + line.right)) & 1u)) ++line.right;
  for (int s = 0; s <= 4; ++s)
    if ((line.blocked & (0x1Fu << s)) == 0) line.live |= 1u << s;
  return line;
}

inline unsigned window_cells(unsigned live) {
  unsigned cells = 0;
  for (int s = 0; s <= 4; ++s)
    if ((live >> s) & 1u) cells |= 0x1Fu << s;
  return cells;
}

// The class by the recursive rule, over the cells of the live windows:
// no live window -> 0; a live window full of own stones -> 9; otherwise
// count the additions that give a five (2+ -> 8, 1 -> 7), else the best
// class an addition reaches, minus two.
class ClassOracle {
 public:
  ClassOracle() : memo_(32 * 512, -1) {}

  int classify(unsigned live, unsigned own) {
    int8_t& slot = memo_[live * 512 + own];
    if (slot >= 0) return slot;
    slot = static_cast<int8_t>(compute(live, own));
    return slot;
  }

 private:
  int compute(unsigned live, unsigned own) {
    if (live == 0) return 0;
    for (int s = 0; s <= 4; ++s)
      if (((live >> s) & 1u) && (own & (0x1Fu << s)) == (0x1Fu << s)) return 9;
    const unsigned free_cells = window_cells(live) & ~own;
    int fives = 0;
    int best = 0;
    for (int p = 0; p < 9; ++p) {
      if (!((free_cells >> p) & 1u)) continue;
      const int c = classify(live, own | (1u << p));
      if (c == 9) ++fives;
      if (c > best) best = c;
    }
    if (fives >= 2) return 8;
    if (fives == 1) return 7;
    return best - 2;
  }

  std::vector<int8_t> memo_;
};

// (c1..c5): live windows holding 1..5 own cells.
inline std::array<int, 5> window_counts(const Line& line) {
  std::array<int, 5> counts{};
  for (int s = 0; s <= 4; ++s) {
    if (!((line.live >> s) & 1u)) continue;
    const int n = __builtin_popcount(line.own & (0x1Fu << s));
    ++counts[n - 1];
  }
  return counts;
}

// Line mask bit of a step d (-4..-1, 1..4) from the centre.
constexpr unsigned step_bit(int d) { return d < 0 ? 8u >> (-d - 1) : 16u << (d - 1); }

}  // namespace quorlith::line_oracle
