// Fuzz target: renju's forbidden-point check against the slow statement of
// the rule (tests/common/slow_forbidden.h) on positions of any shape.
//
// Input: the first byte picks the size (5 to 20); then byte pairs name
// squares (a mod size, b mod size), placed for black and white in turn and
// skipped when taken, but for the last pair: its square, when empty, is
// judged by both, and they must agree.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/forbidden.h"
#include "engine/position.h"
#include "tests/common/slow_forbidden.h"
#include "tests/fuzz/fuzz_check.h"

namespace quorlith::fuzz {
namespace {

constexpr int MAX_SIZE = 20;

void run(const uint8_t* data, std::size_t size) {
  if (size == 0) return;
  // One board for the whole run; start() resets it.
  static const std::unique_ptr<Position> pos = std::make_unique<Position>();
  const int n = MIN_BOARD_SIZE + data[0] % (MAX_SIZE - MIN_BOARD_SIZE + 1);
  pos->start(n, Rule::RENJU);
  test_support::SlowRenjuBoard slow(n);
  std::size_t i = 1;
  for (; i + 3 < size; i += 2) {
    const int cell = Position::cell_of(data[i] % n, data[i + 1] % n);
    if (!pos->is_empty(cell)) continue;
    slow.set(Position::x_of(cell), Position::y_of(cell), pos->side_to_move() == BLACK ? 'x' : 'o');
    pos->make_move(cell);
  }
  if (i + 1 >= size) return;
  const int x = data[i] % n, y = data[i + 1] % n;
  if (!pos->is_empty(Position::cell_of(x, y))) return;
  const Forbidden kind = forbidden_kind(*pos, Position::cell_of(x, y));
  require((kind != Forbidden::NONE) == slow.forbidden(x, y), "the checkers disagree at",
          std::to_string(x) + "," + std::to_string(y) + " (kind " + std::to_string(static_cast<int>(kind)) + ")");
}

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quorlith::fuzz::run(data, size);
  return 0;
}
