// Helpers for the threat-space tests: random positions rich in threats,
// kept on an engine and on the independent rules board side by side, and
// oracles that let the solver or the plus brain answer the referee.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "search/plus_search.h"
#include "tests/common/rules_board.h"

namespace quorlith::search_test {

using test_support::RulesBoard;
using test_support::Sq;

inline Point engine_point(Sq s) { return Point{static_cast<uint8_t>(s.x + BORDER), static_cast<uint8_t>(s.y + BORDER)}; }
inline Sq board_square(Point p) { return Sq{p.x - BORDER, p.y - BORDER}; }

// An engine that follows a rules board: it takes back and places stones so
// that its history is the board's.
class EngineMirror {
 public:
  explicit EngineMirror(int size) : engine_(std::make_unique<Engine>()) { engine_->start_game(size); }

  Engine& follow(const RulesBoard& b) {
    const std::vector<Sq>& moves = b.history();
    int common = 0;
    while (common < engine_->move_count && common < static_cast<int>(moves.size()) &&
           board_square(engine_->move_history[common]) == moves[static_cast<size_t>(common)])
      ++common;
    while (engine_->move_count > common) engine_->undo_stone();
    for (size_t i = static_cast<size_t>(common); i < moves.size(); ++i) engine_->place_stone(moves[i].x, moves[i].y);
    return *engine_;
  }
  Engine& engine() { return *engine_; }

 private:
  std::unique_ptr<Engine> engine_;
};

// Protocol squares "x,y x,y ..." onto a rules board, in play order.
inline RulesBoard board_from_moves(int size, const std::string& moves) {
  RulesBoard b(size);
  std::istringstream in(moves);
  std::string square;
  while (in >> square) {
    const auto comma = square.find(',');
    b.play(Sq{std::stoi(square.substr(0, comma)), std::stoi(square.substr(comma + 1))});
  }
  return b;
}

// A random position of `stones` stones, each within two cells of an earlier
// one (the first in the middle), none of them completing a five: crowded
// enough that both sides have fours and threes to play with.
inline RulesBoard random_threat_position(std::mt19937& random, int size, int stones) {
  for (;;) {
    RulesBoard b(size);
    bool five = false;
    while (static_cast<int>(b.history().size()) < stones && !five) {
      Sq s{size / 2, size / 2};
      if (!b.history().empty()) {
        const Sq near = b.history()[random() % b.history().size()];
        s = Sq{near.x + static_cast<int>(random() % 5) - 2, near.y + static_cast<int>(random() % 5) - 2};
      }
      if (!b.empty(s.x, s.y)) continue;
      b.play(s);
      five = b.has_five(1 - b.to_move());
    }
    if (!five) return b;
  }
}

// The same with neither side holding a five point.
inline RulesBoard quiet_threat_position(std::mt19937& random, int size, int stones) {
  for (;;) {
    RulesBoard b = random_threat_position(random, size, stones);
    if (b.five_points(0).empty() && b.five_points(1).empty()) return b;
  }
}

// The plus brain's move and report at a fixed depth, without a clock, so
// that every run takes the same path.
struct BrainMove {
  Sq square;
  plus::MoveReport report;
};

inline BrainMove brain_move(plus::PlusPlayer& player, EngineMirror& mirror, const RulesBoard& b, int depth) {
  Engine& e = mirror.follow(b);
  e.max_depth = depth;
  const plus::TimePlan untimed;
  BrainMove m{};
  int x = -1, y = -1;
  EXPECT_TRUE(player.find_move(e, &x, &y, &m.report, nullptr, &untimed));
  m.square = Sq{x, y};
  return m;
}

// The plus brain at a fixed depth, without a clock, as the attacker: its
// move, whatever it is (the referee decides whether it keeps the win).
inline test_support::Oracle plus_oracle(plus::PlusPlayer& player, EngineMirror& mirror, int depth) {
  return [&player, &mirror, depth](const RulesBoard& b) -> std::optional<Sq> {
    Engine& e = mirror.follow(b);
    e.max_depth = depth;
    const plus::TimePlan untimed;
    int x = -1, y = -1;
    if (!player.find_move(e, &x, &y, nullptr, nullptr, &untimed)) return std::nullopt;
    return Sq{x, y};
  };
}

// The win-by-fours solver as the attacker: its first stone, or nothing
// when it finds no win.
inline test_support::Oracle vcf_oracle(plus::VcfSolver& solver, plus::PlusPlayer& player, EngineMirror& mirror,
                                       int64_t nodes) {
  return [&solver, &player, &mirror, nodes](const RulesBoard& b) -> std::optional<Sq> {
    quorlith::Position& pos = player.follow(mirror.follow(b));
    int first = 0;
    if (solver.solve<Rule::FREESTYLE>(pos, 40, nodes, &first) == 0) return std::nullopt;
    return Sq{quorlith::Position::x_of(first), quorlith::Position::y_of(first)};
  };
}

}  // namespace quorlith::search_test
