// A slow, plain statement of renju's forbidden points for black, to hold
// the engine's checker against. It knows nothing of the engine: the board
// is a grid of characters ('x' black, 'o' white, '.' empty), and each line
// through a stone is read whole, edge to edge, as a string.
//
//   five:        the run of x through the stone is exactly five long;
//   overline:    the run is six or longer;
//   four:        an empty cell of the line that makes the run through the
//                stone exactly five; the two ends of one ".xxxx." with the
//                stone inside are one four;
//   three:       a line with no four, and an empty cell of it (anywhere on
//                the line) after which the line holds ".xxxx." around the
//                stone whose two ends each make an exact five, where that
//                cell is not forbidden with the stone placed.
// Forbidden: no five, and an overline, two fours or threes on two lines.
#pragma once

#include <string>
#include <vector>

namespace quorlith::test_support {

class SlowRenjuBoard {
 public:
  explicit SlowRenjuBoard(int size) : size_(size), rows_(static_cast<size_t>(size), std::string(size, '.')) {}

  int size() const { return size_; }
  char at(int x, int y) const { return rows_[static_cast<size_t>(y)][static_cast<size_t>(x)]; }
  void set(int x, int y, char c) { rows_[static_cast<size_t>(y)][static_cast<size_t>(x)] = c; }

  // Whether black may not play the empty cell (x, y).
  bool forbidden(int x, int y) {
    set(x, y, 'x');
    const bool result = judge(x, y);
    set(x, y, '.');
    return result;
  }

 private:
  static constexpr int DIRS[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

  // The whole line through (x, y) along d, edge to edge, the cells'
  // coordinates beside it, and the index of (x, y) in it.
  struct LineView {
    std::string text;
    std::vector<int> xs, ys;
    int index = 0;
  };
  LineView line_through(int x, int y, const int* d) const {
    int sx = x, sy = y;
    while (inside(sx - d[0], sy - d[1])) {
      sx -= d[0];
      sy -= d[1];
    }
    LineView v;
    for (int cx = sx, cy = sy; inside(cx, cy); cx += d[0], cy += d[1]) {
      if (cx == x && cy == y) v.index = static_cast<int>(v.text.size());
      v.text += at(cx, cy);
      v.xs.push_back(cx);
      v.ys.push_back(cy);
    }
    return v;
  }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_; }

  static int run(const std::string& s, int i) {
    int a = i, b = i;
    while (a > 0 && s[static_cast<size_t>(a - 1)] == 'x') --a;
    while (b + 1 < static_cast<int>(s.size()) && s[static_cast<size_t>(b + 1)] == 'x') ++b;
    return b - a + 1;
  }
  static bool exact_five_with(std::string s, int q, int i) {
    s[static_cast<size_t>(q)] = 'x';
    return run(s, i) == 5;
  }
  // Whether s holds ".xxxx." around index i whose ends both make an exact
  // five through i.
  static bool straight_four(const std::string& s, int i) {
    for (int a = 0; a + 5 < static_cast<int>(s.size()); ++a)
      if (a < i && i < a + 5 && s.compare(static_cast<size_t>(a), 6, ".xxxx.") == 0 && exact_five_with(s, a, i) &&
          exact_five_with(s, a + 5, i))
        return true;
    return false;
  }
  static int fours(const std::string& s, int i) {
    int n = 0;
    for (int q = 0; q < static_cast<int>(s.size()); ++q)
      if (s[static_cast<size_t>(q)] == '.' && exact_five_with(s, q, i)) ++n;
    for (int a = 0; a + 5 < static_cast<int>(s.size()); ++a)
      if (a < i && i < a + 5 && s.compare(static_cast<size_t>(a), 6, ".xxxx.") == 0 && exact_five_with(s, a, i) &&
          exact_five_with(s, a + 5, i))
        --n;
    return n;
  }

  // Black's stone stands on (x, y).
  bool judge(int x, int y) {
    LineView lines[4];
    for (int k = 0; k < 4; ++k) lines[k] = line_through(x, y, DIRS[k]);
    for (const auto& v : lines)
      if (run(v.text, v.index) == 5) return false;
    for (const auto& v : lines)
      if (run(v.text, v.index) >= 6) return true;
    int total_fours = 0;
    for (const auto& v : lines) total_fours += fours(v.text, v.index);
    if (total_fours >= 2) return true;
    int threes = 0;
    for (const auto& v : lines) {
      if (fours(v.text, v.index) > 0) continue;
      for (int q = 0; q < static_cast<int>(v.text.size()); ++q) {
        if (v.text[static_cast<size_t>(q)] != '.') continue;
        std::string s = v.text;
        s[static_cast<size_t>(q)] = 'x';
        if (straight_four(s, v.index) && !forbidden(v.xs[static_cast<size_t>(q)], v.ys[static_cast<size_t>(q)])) {
          ++threes;
          break;
        }
      }
    }
    return threes >= 2;
  }

  int size_;
  std::vector<std::string> rows_;
};

}  // namespace quorlith::test_support
