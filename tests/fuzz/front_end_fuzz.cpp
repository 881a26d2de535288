// Fuzz target: any bytes as the manager's side of a session. Whatever
// arrives, the front end must not crash, every reply must be a text the
// protocol knows or a move onto a square that now holds a stone, every
// reply must end with this system's line end (the front end's default), and
// the board must stay consistent.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "protocol/front_end.h"
#include "tests/common/known_replies.h"
#include "tests/fuzz/fuzz_check.h"

namespace quorlith::fuzz {
namespace {

// Every search gets 1 ms: the session starts by declaring that turn limit,
// and lines that would declare another one are dropped, so no input can make
// the engine think for seconds.
constexpr std::string_view PREAMBLE = "INFO timeout_turn 1\n";
const std::string_view LINE_END = line_end_text(native_line_end());

bool changes_turn_limit(std::string_view line) {
  // The front end reads a line only up to its first NUL byte.
  line = line.substr(0, line.find('\0'));
  if (match_keyword("st", line) && !match_keyword("start", line)) return true;
  if (const auto rest = match_keyword("info", line))
    return match_keyword("timeout_turn", *rest).has_value();
  return false;
}

// A move reply: "x,y" written plainly, naming a square of the current board
// that holds a stone now that the move is played.
bool is_played_move(std::string_view reply, const FrontEnd& front_end) {
  const int32_t n = front_end.settings().board_size;
  const auto square = parse_move(reply, n);
  if (!square || front_end.engine() == nullptr) return false;
  if (reply != std::to_string(square->x) + "," + std::to_string(square->y)) return false;
  return !front_end.engine()->is_open_square(square->x, square->y);
}

void run_session(std::string_view data) {
  std::string input(PREAMBLE);
  std::size_t begin = 0;
  while (begin < data.size()) {
    std::size_t end = data.find('\n', begin);
    end = end == std::string_view::npos ? data.size() : end + 1;
    const std::string_view line = data.substr(begin, end - begin);
    if (!changes_turn_limit(line)) input.append(line);
    begin = end;
  }

  std::istringstream in(input);
  std::ostringstream out;
  FrontEnd front_end(in, out);
  std::size_t taken = 0;
  for (;;) {
    const FrontEnd::Step step = front_end.step();
    const std::string written = out.str();
    const std::string_view fresh = std::string_view(written).substr(taken);
    taken = written.size();
    require(fresh.empty() || fresh.ends_with(LINE_END), "reply without its line end:", fresh);
    for (std::size_t at = 0; at < fresh.size();) {
      const std::size_t end = fresh.find(LINE_END, at);
      const std::string_view reply = fresh.substr(at, end - at);
      require(test_support::is_known_reply(reply) || is_played_move(reply, front_end),
              "unexpected reply:", reply);
      at = end + LINE_END.size();
    }
    if (const Engine* engine = front_end.engine(); engine && front_end.settings().board_size) {
      require(engine->move_count == front_end.settings().move_number - 1,
              "stones on the board and move_number disagree");
    }
    if (step != FrontEnd::Step::COMMAND_DONE) break;
  }
  if (const Engine* engine = front_end.engine(); engine && front_end.settings().board_size) {
    const std::string fault = engine->verify();
    require(fault.empty(), "board inconsistent:", fault);
  }
}

}  // namespace
}  // namespace quorlith::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quorlith::fuzz::run_session(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
