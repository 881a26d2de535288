// The check shared by the front end's fuzz targets: any bytes as the
// manager's side of a session. Whatever arrives, the front end must not
// crash, every reply must be a text the protocol knows or a move onto a
// square that now holds a stone, every reply must end with this system's
// line end (the front end's default), and the board must stay consistent.
//
// Engines are handed from one session to the next (the front end's
// recycler), so that a session costs what its commands cost, not 17 MB of
// fresh memory per game.
#pragma once

#include <initializer_list>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/front_end.h"
#include "tests/fuzz/fuzz_check.h"

namespace quorlith::fuzz {

// Engines a session's front end is done with, handed out again to the next.
inline std::vector<std::unique_ptr<Engine>>& engine_pool() {
  static std::vector<std::unique_ptr<Engine>> pool;
  return pool;
}
inline std::unique_ptr<Engine> pooled_engine() {
  auto& pool = engine_pool();
  if (pool.empty()) return make_engine_on_heap();
  std::unique_ptr<Engine> engine = std::move(pool.back());
  pool.pop_back();
  return engine;
}
inline void return_engine(std::unique_ptr<Engine> engine) { engine_pool().push_back(std::move(engine)); }

// Whether a line would set the turn limit or another setting the session
// holds fixed (`keys`, after INFO); the front end reads a line only up to
// its first NUL byte.
inline bool sets_fixed_setting(std::string_view line, std::initializer_list<std::string_view> keys) {
  line = line.substr(0, line.find('\0'));
  if (match_keyword("st", line) && !match_keyword("start", line)) return true;
  if (const auto rest = match_keyword("info", line))
    for (const std::string_view key : keys)
      if (match_keyword(key, *rest)) return true;
  return false;
}

// A move reply: "x,y" written plainly, naming a square of the current board
// that holds a stone now that the move is played.
inline bool is_played_move(std::string_view reply, const FrontEnd& front_end) {
  const int32_t n = front_end.settings().board_size;
  const auto square = parse_move(reply, n);
  if (!square || front_end.engine() == nullptr) return false;
  if (reply != std::to_string(square->x) + "," + std::to_string(square->y)) return false;
  return !front_end.engine()->is_open_square(square->x, square->y);
}

// Whether a line (outside a board block) asks for a move: TURN, BEGIN, or
// BOARD, whose block ends with one.
inline bool asks_for_a_move(std::string_view line) {
  line = line.substr(0, line.find('\0'));
  return match_keyword("turn", line) || match_keyword("begin", line) || match_keyword("board", line);
}

// Searches to the turn limit (1 ms) cost a millisecond or more each; most
// sessions search to a fixed shallow depth instead, which reaches the same
// commands, replies and board in a few microseconds: the harness puts
// "sd 3" before every line that asks for a move. A session of a length
// divisible by four keeps its timed searches, so that deepening under the
// clock and its unwinding stay fuzzed.
constexpr std::string_view SHALLOW_SEARCH = "sd 3\n";
inline bool keeps_timed_searches(std::string_view data) { return data.size() % 4 == 0; }

// Runs `preamble`, then every line of `data` that sets none of the fixed
// settings, through a front end with `brain`. known(reply) accepts the
// texts besides moves; after_move(front_end) checks each move played.
template <typename Known, typename AfterMove>
void run_session(std::string_view preamble, std::string_view data, std::initializer_list<std::string_view> fixed_keys,
                 Brain& brain, Known&& known, AfterMove&& after_move) {
  std::string input(preamble);
  const bool timed = keeps_timed_searches(data);
  bool in_block = false;  // inside BOARD ... DONE, as the front end reads it
  std::size_t begin = 0;
  while (begin < data.size()) {
    std::size_t end = data.find('\n', begin);
    end = end == std::string_view::npos ? data.size() : end + 1;
    const std::string_view line = data.substr(begin, end - begin);
    begin = end;
    if (sets_fixed_setting(line, fixed_keys)) continue;
    if (in_block) {
      std::string_view word = line.substr(0, line.find_first_of("\r\n"));
      in_block = !(word.size() == 4 && match_keyword("done", word));
    } else {
      if (!timed && asks_for_a_move(line)) input.append(SHALLOW_SEARCH);
      in_block = match_keyword("board", line.substr(0, line.find('\0'))).has_value();
    }
    input.append(line);
  }

  const std::string_view line_end = line_end_text(native_line_end());
  std::istringstream in(input);
  std::ostringstream out;
  FrontEnd front_end(in, out, pooled_engine, native_line_end(), brain, return_engine);
  std::size_t taken = 0;
  for (;;) {
    const FrontEnd::Step step = front_end.step();
    const std::string written = out.str();
    const std::string_view fresh = std::string_view(written).substr(taken);
    taken = written.size();
    require(fresh.empty() || fresh.ends_with(line_end), "reply without its line end:", fresh);
    for (std::size_t at = 0; at < fresh.size();) {
      const std::size_t end = fresh.find(line_end, at);
      const std::string_view reply = fresh.substr(at, end - at);
      const bool move = is_played_move(reply, front_end);
      require(known(reply) || move, "unexpected reply:", reply);
      if (move) after_move(front_end);
      at = end + line_end.size();
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

}  // namespace quorlith::fuzz
