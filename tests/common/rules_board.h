// An independent referee for threat proofs: a plain board that knows only
// the rules (five or more in a row wins) and nothing of the engine's masks,
// classes, ratings or tables. Fives, fours and open fours are found by
// scanning the five-cell windows of the lines through a cell.
//
// Two uses:
//   - brute_force_vcf: does the side to move win by continuous fours within
//     a number of fours? Every cell is tried as an attacking stone;
//   - check_win: replays a claimed win move by move against every defence
//     the rules allow. The attacker's stones come from an oracle (the
//     solver or the brain under test, asked afresh in every position); the
//     defender tries every empty cell, and only the replies that lose at
//     once by the rules (leaving an attacker five point, or an open four
//     against a defender without a five point) are not followed further.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorlith::test_support {

struct Sq {
  int x;
  int y;
  friend bool operator==(Sq, Sq) = default;
};

class RulesBoard {
 public:
  static constexpr int NONE = -1;

  explicit RulesBoard(int size) : size_(size), cells_(static_cast<size_t>(size * size), NONE) {}

  int size() const { return size_; }
  bool on_board(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_; }
  int at(int x, int y) const { return cells_[static_cast<size_t>(y * size_ + x)]; }
  bool empty(int x, int y) const { return on_board(x, y) && at(x, y) == NONE; }
  // The side to move: stones alternate from side 0.
  int to_move() const { return static_cast<int>(history_.size() % 2); }
  const std::vector<Sq>& history() const { return history_; }

  // A stone of the side to move.
  void play(Sq s) {
    cells_[static_cast<size_t>(s.y * size_ + s.x)] = to_move();
    history_.push_back(s);
  }
  void undo() {
    const Sq s = history_.back();
    history_.pop_back();
    cells_[static_cast<size_t>(s.y * size_ + s.x)] = NONE;
  }

  // Whether a stone of `side` on the empty cell c would stand in five or
  // more in a row: some five-cell window through c holds four stones of
  // `side` and nothing else.
  bool makes_five(Sq c, int side) const { return window_through(c, side, 4); }

  // Whether side has five or more in a row anywhere.
  bool has_five(int side) const {
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x) {
        if (at(x, y) != side) continue;
        for (const auto& d : DIRS) {
          int run = 1;
          while (on_board(x + run * d[0], y + run * d[1]) && at(x + run * d[0], y + run * d[1]) == side) ++run;
          if (run >= 5) return true;
        }
      }
    return false;
  }

  // The empty cells where `side` would make five.
  std::vector<Sq> five_points(int side) const {
    std::vector<Sq> points;
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x)
        if (at(x, y) == NONE && makes_five(Sq{x, y}, side)) points.push_back(Sq{x, y});
    return points;
  }

  // The five points of `side` on c's lines within four steps (where the
  // ones a stone on c adds must lie).
  int five_points_near(Sq c, int side) const {
    int count = 0;
    for (const auto& d : DIRS)
      for (int i = -4; i <= 4; ++i) {
        const int x = c.x + i * d[0], y = c.y + i * d[1];
        if (i != 0 && empty(x, y) && makes_five(Sq{x, y}, side)) ++count;
      }
    return count;
  }

  // Whether a stone of `side` on the empty cell c makes a four: some
  // five-cell window through c then holds four stones of `side` and one
  // empty cell (a five point).
  bool makes_four(Sq c, int side) const { return window_through(c, side, 3); }

  // A stone of `side` without a place in the history, for searches that
  // try stones for either side (a side may move twice: a pass).
  void put(Sq s, int side) { set(s, side); }
  void lift(Sq s) { set(s, NONE); }

  // Whether a stone of `side` on the empty cell c makes two or more five
  // points (an open four or a double four), for a side without five points
  // so far.
  bool makes_open_four(Sq c, int side) {
    set(c, side);
    const bool open = five_points_near(c, side) >= 2;
    set(c, NONE);
    return open;
  }

  // Cells where a stone of `side` makes two or more five points, for a side
  // without five points so far.
  std::vector<Sq> open_four_points(int side) {
    std::vector<Sq> points;
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x) {
        if (at(x, y) != NONE) continue;
        set(Sq{x, y}, side);
        if (five_points_near(Sq{x, y}, side) >= 2) points.push_back(Sq{x, y});
        set(Sq{x, y}, NONE);
      }
    return points;
  }

 private:
  static constexpr int DIRS[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

  // Whether some five-cell window through c lies on the board, holds no
  // stone of the other side and exactly `own` stones of `side` besides c.
  bool window_through(Sq c, int side, int own) const {
    for (const auto& d : DIRS)
      for (int start = -4; start <= 0; ++start) {
        int count = 0;
        bool open = true;
        for (int i = start; i < start + 5 && open; ++i) {
          if (i == 0) continue;
          const int x = c.x + i * d[0], y = c.y + i * d[1];
          if (!on_board(x, y) || at(x, y) == 1 - side) open = false;
          else if (at(x, y) == side) ++count;
        }
        if (open && count == own) return true;
      }
    return false;
  }
  void set(Sq s, int who) { cells_[static_cast<size_t>(s.y * size_ + s.x)] = who; }

  int size_;
  std::vector<int> cells_;
  std::vector<Sq> history_;
};

// Does `attacker` win by continuous fours within `fours` attacking stones,
// with `attacker` to move (whoever the history says moves next)? Every
// empty cell that makes a four is tried (only `first`, when given, as the
// first stone); the defender's reply is forced, and a five point of the
// defender's own wins for it first. On a board that has forbidden points
// (a referee of renju), the attacker never plays one, and a block the
// defender may not play wins for the attacker.
template <class Board>
bool brute_force_vcf(Board& b, int fours, int attacker, const Sq* first = nullptr) {
  const int a = attacker;
  const int d = 1 - a;
  auto forbidden = [&b](Sq c, int side) {
    if constexpr (requires { b.forbidden(c, side); })
      return b.forbidden(c, side);
    else
      return false;
  };
  if (first != nullptr ? b.empty(first->x, first->y) && b.makes_five(*first, a) : !b.five_points(a).empty())
    return true;
  const std::vector<Sq> threats = b.five_points(d);
  if (threats.size() >= 2 || fours <= 0) return false;
  std::vector<Sq> tries;
  if (first != nullptr) {
    if (b.empty(first->x, first->y) && (threats.empty() || threats[0] == *first)) tries.push_back(*first);
  } else if (threats.size() == 1) {
    tries.push_back(threats[0]);  // the block is forced
  } else {
    for (int y = 0; y < b.size(); ++y)
      for (int x = 0; x < b.size(); ++x)
        if (b.empty(x, y) && b.makes_four(Sq{x, y}, a)) tries.push_back(Sq{x, y});
  }
  for (const Sq m : tries) {
    if (!b.makes_four(m, a) || forbidden(m, a)) continue;
    b.put(m, a);
    bool won = false;
    if (b.five_points(d).empty()) {  // else the defender makes five first
      const std::vector<Sq> fives = b.five_points(a);
      if (fives.size() >= 2 || forbidden(fives[0], d)) {
        won = true;
      } else {
        b.put(fives[0], d);
        won = brute_force_vcf(b, fours - 1, a);
        b.lift(fives[0]);
      }
    }
    b.lift(m);
    if (won) return true;
  }
  return false;
}

// The same for the side to move.
inline bool brute_force_vcf(RulesBoard& b, int fours) { return brute_force_vcf(b, fours, b.to_move()); }

// The attacker's stone in the given position, or nothing when it claims no
// win there.
using Oracle = std::function<std::optional<Sq>(const RulesBoard&)>;

struct CheckReport {
  bool won = false;
  std::string failure;     // why the claim failed, with the moves
  int attacker_moves = 0;  // oracle answers followed
};

namespace detail {

inline std::string line_text(const RulesBoard& b, size_t from) {
  std::string text;
  for (size_t i = from; i < b.history().size(); ++i) {
    text.push_back(' ');
    text.append(std::to_string(b.history()[i].x));
    text.push_back(',');
    text.append(std::to_string(b.history()[i].y));
  }
  return text;
}

inline bool check_attacker(RulesBoard& b, int a, int moves_left, const Oracle& oracle, CheckReport& r,
                           size_t root);

// The defender to move after an attacking stone.
inline bool check_defender(RulesBoard& b, int a, int moves_left, const Oracle& oracle, CheckReport& r,
                           size_t root) {
  const int d = 1 - a;
  if (!b.five_points(d).empty()) {
    r.failure = "the defender makes five after" + line_text(b, root);
    return false;
  }
  const std::vector<Sq> fives = b.five_points(a);
  if (fives.size() >= 2) return true;
  std::vector<Sq> replies;
  if (fives.size() == 1) {
    replies.push_back(fives[0]);  // any other stone lets the attacker make five
  } else {
    // Every empty cell, except a reply that leaves the attacker an open
    // four while giving the defender no five point: that one loses at once
    // (the open four's two five points cannot both be blocked). The
    // defender had no five point before, so a new one lies near its stone.
    const std::vector<Sq> open_fours = b.open_four_points(a);
    for (int y = 0; y < b.size(); ++y)
      for (int x = 0; x < b.size(); ++x) {
        if (!b.empty(x, y)) continue;
        const Sq reply{x, y};
        b.play(reply);
        bool loses_at_once = false;
        if (b.five_points_near(reply, d) == 0)
          for (const Sq p : open_fours)
            if (!(p == reply) && b.makes_open_four(p, a)) {
              loses_at_once = true;
              break;
            }
        b.undo();
        if (!loses_at_once) replies.push_back(reply);
      }
  }
  for (const Sq reply : replies) {
    b.play(reply);
    const bool won = check_attacker(b, a, moves_left, oracle, r, root);
    b.undo();
    if (!won) return false;
  }
  return true;
}

inline bool check_attacker(RulesBoard& b, int a, int moves_left, const Oracle& oracle, CheckReport& r,
                           size_t root) {
  if (!b.five_points(a).empty()) return true;
  if (moves_left <= 0) {
    r.failure = "no win within the moves allowed after" + line_text(b, root);
    return false;
  }
  const std::optional<Sq> move = oracle(b);
  ++r.attacker_moves;
  if (!move) {
    r.failure = "the attacker finds no win after" + line_text(b, root);
    return false;
  }
  if (!b.empty(move->x, move->y)) {
    r.failure = "the attacker names a square that is not empty after" + line_text(b, root);
    return false;
  }
  b.play(*move);
  const bool won = b.has_five(a) || check_defender(b, a, moves_left - 1, oracle, r, root);
  b.undo();
  return won;
}

}  // namespace detail

// Replays the side to move's claimed win against every defence. The
// attacker may use at most `moves` stones.
inline CheckReport check_win(RulesBoard& b, int moves, const Oracle& oracle) {
  CheckReport r;
  r.won = detail::check_attacker(b, b.to_move(), moves, oracle, r, b.history().size());
  return r;
}

}  // namespace quorlith::test_support
