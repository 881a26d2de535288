#include "engine/forbidden.h"

namespace quorlith {

namespace {

// One line through the stone tried, as black sees it: the cells from five
// steps before it to five steps after, the stone at CENTRE. Five steps are
// enough: every five through the stone lies within four, and the fifth
// cell tells whether a five is exactly five.
constexpr int CENTRE = 5;
constexpr int SPAN = 2 * CENTRE + 1;
enum : uint8_t { EMPTY = 0, OWN = 1, BLOCKED = 2 };
using Line = uint8_t[SPAN];

// The length of the run of black stones through cell c.
int run_through(const Line& line, int c) {
  int run = 1;
  for (int p = c - 1; p >= 0 && line[p] == OWN; --p) ++run;
  for (int p = c + 1; p < SPAN && line[p] == OWN; ++p) ++run;
  return run;
}

// The empty cells within four steps that would make an exact five through
// the centre; returns their count (at most SPAN).
int completions(Line& line, int* out) {
  int count = 0;
  for (int p = 1; p < SPAN - 1; ++p) {
    if (line[p] != EMPTY) continue;
    line[p] = OWN;
    if (run_through(line, CENTRE) == 5) out[count++] = p;
    line[p] = EMPTY;
  }
  return count;
}

// Whether two completions close the ends of one straight four: five
// apart, black stones between them.
bool closes_straight_four(const Line& line, int a, int b) {
  if (b - a != 5) return false;
  for (int p = a + 1; p < b; ++p)
    if (line[p] != OWN) return false;
  return true;
}

// The fours the centre stone makes on the line: one per completion, but
// the two ends of a straight four are one four.
int fours_on(Line& line) {
  int cells[SPAN];
  const int count = completions(line, cells);
  int fours = count;
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j)
      if (closes_straight_four(line, cells[i], cells[j])) --fours;
  return fours;
}

bool has_straight_four(Line& line) {
  int cells[SPAN];
  const int count = completions(line, cells);
  for (int i = 0; i < count; ++i)
    for (int j = i + 1; j < count; ++j)
      if (closes_straight_four(line, cells[i], cells[j])) return true;
  return false;
}

class Checker {
 public:
  explicit Checker(const Position& pos) : pos_(pos) {}

  Forbidden judge(int cell) {
    Line lines[4];
    for (int k = 0; k < 4; ++k) read_line(cell, k, lines[k]);

    // The five first, then the overline.
    for (auto& line : lines)
      if (run_through(line, CENTRE) == 5) return Forbidden::NONE;
    for (auto& line : lines)
      if (run_through(line, CENTRE) > 5) return Forbidden::OVERLINE;

    // Fours, over all four lines.
    int fours = 0;
    bool four_on[4];
    for (int k = 0; k < 4; ++k) {
      const int n = fours_on(lines[k]);
      four_on[k] = n > 0;
      fours += n;
    }
    if (fours >= 2) return Forbidden::DOUBLE_FOUR;

    // The stones that would make a straight four of each line that holds
    // no four: the line has a three if one of them is not forbidden.
    int makers[4][SPAN];
    int maker_count[4] = {};
    int lines_with_three = 0;
    for (int k = 0; k < 4; ++k) {
      if (four_on[k]) continue;
      Line& line = lines[k];
      for (int p = 1; p < SPAN - 1; ++p) {
        if (line[p] != EMPTY) continue;
        line[p] = OWN;
        if (has_straight_four(line)) makers[k][maker_count[k]++] = pos_cell(cell, k, p);
        line[p] = EMPTY;
      }
      if (maker_count[k] > 0) ++lines_with_three;
    }
    if (lines_with_three < 2) return Forbidden::NONE;
    if (trial_count_ == FORBIDDEN_MAX_TRIAL_STONES) return Forbidden::DOUBLE_THREE;

    trial_[trial_count_++] = cell;
    int real = 0;
    for (int k = 0; k < 4 && real < 2; ++k)
      for (int i = 0; i < maker_count[k]; ++i)
        if (judge(makers[k][i]) == Forbidden::NONE) {
          ++real;
          break;
        }
    --trial_count_;
    return real >= 2 ? Forbidden::DOUBLE_THREE : Forbidden::NONE;
  }

 private:
  static int pos_cell(int cell, int k, int p) { return cell + (p - CENTRE) * Position::STEP[k]; }

  uint8_t stone(int cell) const {
    for (int i = 0; i < trial_count_; ++i)
      if (trial_[i] == cell) return Position::stone_code(BLACK);
    return pos_.stone(cell);
  }

  // Cells beyond the board's wall read as walls: the wall is five deep,
  // so a line from a board cell never leaves the grid.
  void read_line(int cell, int k, Line& line) const {
    for (int p = 0; p < SPAN; ++p) {
      const uint8_t s = stone(pos_cell(cell, k, p));
      line[p] = s == Position::EMPTY_CELL ? EMPTY : s == Position::stone_code(BLACK) ? OWN : BLOCKED;
    }
    line[CENTRE] = OWN;
  }

  const Position& pos_;
  int trial_[FORBIDDEN_MAX_TRIAL_STONES] = {};
  int trial_count_ = 0;
};

}  // namespace

Forbidden forbidden_kind(const Position& pos, int cell) {
  Checker checker(pos);
  return checker.judge(cell);
}

}  // namespace quorlith
