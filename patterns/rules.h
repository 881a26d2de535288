// The three rules of five-in-a-row, as managers announce them with
// INFO rule: what makes a five, and what black may not play.
#pragma once

#include <cstdint>
#include <optional>

namespace quorlith {

enum class Rule : uint8_t {
  FREESTYLE = 0,  // five or more in a row wins, for both sides
  STANDARD = 1,   // exactly five wins; six or more wins nothing
  RENJU = 4,      // white: five or more; black: exactly five, and no
                  // double three, double four or overline
};

// Side 0 places the first stone: it is black.
constexpr int BLACK = 0;
constexpr int WHITE = 1;

// The rule an INFO rule value names: 0, 1 or 4. The flag 2 (a continuous
// game) changes nothing on one board, so 2, 3 and 6 are the same rules.
// Anything else (caro, 8, ...) is not played: nullopt.
constexpr std::optional<Rule> rule_from_info(int value) {
  const int rule = value & ~2;
  if (rule == 0) return Rule::FREESTYLE;
  if (rule == 1) return Rule::STANDARD;
  if (rule == 4) return Rule::RENJU;
  return std::nullopt;
}

// Whether a run of `length` stones of `side` through a stone is a five.
constexpr bool is_winning_run(Rule rule, int side, int length) {
  if (length < 5) return false;
  if (rule == Rule::FREESTYLE) return true;
  if (rule == Rule::RENJU && side == WHITE) return true;
  return length == 5;
}

// Whether `side` under `rule` may not play overlines, double fours and
// double threes (the forbidden points of renju).
constexpr bool has_forbidden_points(Rule rule, int side) { return rule == Rule::RENJU && side == BLACK; }

}  // namespace quorlith
