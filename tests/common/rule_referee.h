// A referee for the three rules, as plain as the freestyle one beside it
// (rules_board.h): a grid of stones, the run of stones through a cell
// counted by walking, and renju's forbidden points from the slow statement
// (slow_forbidden.h). It knows nothing of the engine's boards or tables.
//
//   freestyle:     five or more in a row wins, for both;
//   exactly five:  only a run of exactly five wins, for both;
//   renju:         white wins with five or more, black with exactly five,
//                  and black may not play a forbidden point (a five it
//                  makes is never one).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/rules_board.h"
#include "common/slow_forbidden.h"
#include "patterns/rules.h"

namespace quorlith::test_support {

class RuleReferee {
 public:
  static constexpr int NONE = -1;

  RuleReferee(int size, Rule rule) : size_(size), rule_(rule), cells_(static_cast<size_t>(size * size), NONE) {}
  // The stones of a freestyle board, in its order.
  RuleReferee(const RulesBoard& b, Rule rule) : RuleReferee(b.size(), rule) {
    for (const Sq s : b.history()) play(s);
  }

  int size() const { return size_; }
  Rule rule() const { return rule_; }
  bool on_board(int x, int y) const { return x >= 0 && y >= 0 && x < size_ && y < size_; }
  int at(int x, int y) const { return cells_[static_cast<size_t>(y * size_ + x)]; }
  bool empty(int x, int y) const { return on_board(x, y) && at(x, y) == NONE; }
  int to_move() const { return static_cast<int>(history_.size() % 2); }
  const std::vector<Sq>& history() const { return history_; }

  void play(Sq s) {
    set(s, to_move());
    history_.push_back(s);
  }
  void undo() {
    set(history_.back(), NONE);
    history_.pop_back();
  }
  void put(Sq s, int side) { set(s, side); }
  void lift(Sq s) { set(s, NONE); }

  // Whether a run of `length` of `side`'s stones wins under the rule.
  bool wins(int side, int length) const {
    if (rule_ == Rule::FREESTYLE || (rule_ == Rule::RENJU && side == 1)) return length >= 5;
    return length == 5;
  }

  // Whether a stone of `side` on the empty cell c wins.
  bool makes_five(Sq c, int side) {
    set(c, side);
    bool five = false;
    for (const auto& d : DIRS) {
      int run = 1;
      for (int s = 1; on_board(c.x + s * d[0], c.y + s * d[1]) && at(c.x + s * d[0], c.y + s * d[1]) == side; ++s)
        ++run;
      for (int s = 1; on_board(c.x - s * d[0], c.y - s * d[1]) && at(c.x - s * d[0], c.y - s * d[1]) == side; ++s)
        ++run;
      five = five || wins(side, run);
    }
    set(c, NONE);
    return five;
  }

  // Whether `side` may not play the empty cell c: black's forbidden points
  // in renju.
  bool forbidden(Sq c, int side) const {
    if (rule_ != Rule::RENJU || side != 0) return false;
    SlowRenjuBoard slow(size_);
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x)
        if (at(x, y) != NONE) slow.set(x, y, at(x, y) == 0 ? 'x' : 'o');
    return slow.forbidden(c.x, c.y);
  }

  std::vector<Sq> five_points(int side) {
    std::vector<Sq> points;
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x)
        if (at(x, y) == NONE && makes_five(Sq{x, y}, side)) points.push_back(Sq{x, y});
    return points;
  }

  // Whether a stone of `side` on the empty cell c leaves it a five point
  // (on c's lines, within four cells).
  bool makes_four(Sq c, int side) {
    set(c, side);
    bool four = false;
    for (const auto& d : DIRS)
      for (int s = -4; s <= 4 && !four; ++s) {
        const Sq p{c.x + s * d[0], c.y + s * d[1]};
        four = s != 0 && empty(p.x, p.y) && makes_five(p, side);
      }
    set(c, NONE);
    return four;
  }

 private:
  static constexpr int DIRS[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  void set(Sq s, int who) { cells_[static_cast<size_t>(s.y * size_ + s.x)] = who; }

  int size_;
  Rule rule_;
  std::vector<int> cells_;
  std::vector<Sq> history_;
};

// Does `attacker` win by continuous fours within `fours` attacking stones
// under the referee's rule? (brute_force_vcf, with the referee's forbidden
// points.)
inline bool rule_vcf(RuleReferee& b, int fours, int attacker, const Sq* first = nullptr) {
  return brute_force_vcf(b, fours, attacker, first);
}

// Replays the side to move's claimed win under the referee's rule against
// every defence, with at most `moves` attacking stones from the oracle
// (asked afresh in every position). The attacker may not play a forbidden
// point; the defender blocks a single five point (and loses when black may
// not play it), and against a stone that leaves no five point tries every
// empty cell it may play.
using RuleOracle = std::function<std::optional<Sq>(const RuleReferee&)>;

namespace detail {

inline bool rule_attacker(RuleReferee& b, int a, int moves_left, const RuleOracle& oracle, std::string& failure);

inline bool rule_defender(RuleReferee& b, int a, int moves_left, const RuleOracle& oracle, std::string& failure) {
  const int d = 1 - a;
  if (!b.five_points(d).empty()) {
    failure = "the defender makes five";
    return false;
  }
  const std::vector<Sq> fives = b.five_points(a);
  if (fives.size() >= 2) return true;
  std::vector<Sq> replies;
  if (fives.size() == 1) {
    if (b.forbidden(fives[0], d)) return true;
    replies.push_back(fives[0]);
  } else {
    for (int y = 0; y < b.size(); ++y)
      for (int x = 0; x < b.size(); ++x)
        if (b.empty(x, y) && !b.forbidden(Sq{x, y}, d)) replies.push_back(Sq{x, y});
  }
  for (const Sq reply : replies) {
    b.play(reply);
    const bool won = rule_attacker(b, a, moves_left, oracle, failure);
    b.undo();
    if (!won) return false;
  }
  return true;
}

inline bool rule_attacker(RuleReferee& b, int a, int moves_left, const RuleOracle& oracle, std::string& failure) {
  if (!b.five_points(a).empty()) return true;
  if (moves_left <= 0) {
    failure = "no win within the moves allowed";
    return false;
  }
  const std::optional<Sq> move = oracle(b);
  if (!move || !b.empty(move->x, move->y)) {
    failure = "the attacker names no empty square";
    return false;
  }
  if (b.forbidden(*move, a)) {
    failure = "the attacker plays a forbidden point";
    return false;
  }
  b.play(*move);
  const bool won = rule_defender(b, a, moves_left - 1, oracle, failure);
  b.undo();
  if (!won && failure.find(" after") == std::string::npos)
    failure += " after " + std::to_string(move->x) + "," + std::to_string(move->y);
  return won;
}

}  // namespace detail

inline bool rule_check_win(RuleReferee& b, int moves, const RuleOracle& oracle, std::string* failure) {
  std::string why;
  const bool won = detail::rule_attacker(b, b.to_move(), moves, oracle, why);
  if (failure != nullptr) *failure = why;
  return won;
}

}  // namespace quorlith::test_support
