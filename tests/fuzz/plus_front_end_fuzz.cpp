// Fuzz target: any bytes as the manager's side of a session with the plus
// brain, under every rule (see session_fuzz.h for what is checked). The
// first byte picks the INFO rule value the session starts with, one of
// 0, 1, 4, 2, 3, 6, 8, 5 (the last two are not played and answered with a
// MESSAGE); the rest is the session, INFO rule lines included. In renju,
// every stone the brain plays as black must be no forbidden point.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/forbidden.h"
#include "engine/position.h"
#include "tests/common/known_replies.h"
#include "tests/fuzz/session_fuzz.h"

namespace quorlith::fuzz {
namespace {

constexpr int RULE_VALUES[] = {0, 1, 4, 2, 3, 6, 8, 5};

// A black stone just played must not stand on a forbidden point of the
// position before it.
void check_black_stone(const Engine& e) {
  if (e.move_count == 0 || (e.move_count - 1) % 2 != 0) return;
  static const std::unique_ptr<Position> pos = std::make_unique<Position>();
  pos->start(e.size, Rule::RENJU);
  auto cell_of = [](Point p) { return Position::cell_of(p.x - BORDER, p.y - BORDER); };
  for (int i = 0; i + 1 < e.move_count; ++i) pos->make_move(cell_of(e.move_history[i]));
  const int last = cell_of(e.move_history[e.move_count - 1]);
  require(forbidden_kind(*pos, last) == Forbidden::NONE, "black played a forbidden point:",
          std::to_string(Position::x_of(last)) + "," + std::to_string(Position::y_of(last)));
}

void run(const uint8_t* data, std::size_t size) {
  if (size == 0) return;
  // One brain for the whole run (its tables are made once); every START
  // clears them, and the preamble gives it its rule and the smallest table.
  static const std::unique_ptr<Brain> plus = make_plus_brain();
  const std::string preamble = "INFO timeout_turn 1\nINFO max_memory 1\nINFO rule " +
                               std::to_string(RULE_VALUES[data[0] % std::size(RULE_VALUES)]) + "\n";
  run_session(
      preamble, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), {"timeout_turn", "max_memory"},
      *plus,
      [](std::string_view reply) {
        return test_support::is_known_reply(reply) || test_support::is_rule_message(reply);
      },
      [&](const FrontEnd& front_end) {
        if (plus->rule() == Rule::RENJU) check_black_stone(*front_end.engine());
      });
}

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quorlith::fuzz::run(data, size);
  return 0;
}
