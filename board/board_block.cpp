#include "board/board_block.h"

#include <charconv>

#include "engine/types.h"

namespace quorlith::board {

namespace {

bool same_word(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// A whole field of decimal digits (no sign) from 0 to limit.
std::optional<int> small_number(std::string_view field, int limit) {
  if (field.empty() || field.size() > 3 || field.front() < '0' || field.front() > '9')
    return std::nullopt;
  int value = 0;
  const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (ec != std::errc{} || end != field.data() + field.size() || value > limit) return std::nullopt;
  return value;
}

struct StoneLine {
  Square square;
  int who;
};

// "x,y,who"
std::optional<StoneLine> read_stone_line(std::string_view line) {
  const std::size_t first = line.find(',');
  if (first == std::string_view::npos) return std::nullopt;
  const std::size_t second = line.find(',', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto x = small_number(line.substr(0, first), MAX_BOARD_SIZE - 1);
  const auto y = small_number(line.substr(first + 1, second - first - 1), MAX_BOARD_SIZE - 1);
  const auto who = small_number(line.substr(second + 1), WHO_PLAYER);
  if (!x || !y || !who || *who < WHO_ENGINE) return std::nullopt;
  return StoneLine{Square{*x, *y}, *who};
}

}  // namespace

std::string write_board_block(const std::vector<Square>& stones, bool engine_first) {
  std::string text = "BOARD\n";
  for (std::size_t i = 0; i < stones.size(); ++i) {
    const bool engines = (i % 2 == 0) == engine_first;
    text += std::to_string(stones[i].x) + "," + std::to_string(stones[i].y) + "," +
            std::to_string(engines ? WHO_ENGINE : WHO_PLAYER) + "\n";
  }
  text += "DONE\n";
  return text;
}

std::optional<BoardBlock> read_board_block(std::string_view text, std::string& error) {
  BoardBlock block;
  bool done = false;
  bool first_line = true;
  int line_number = 0;
  int last_who = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;
    if (line.empty()) continue;
    const std::string where = "line " + std::to_string(line_number) + ": ";
    if (done) {
      error = where + "nothing may follow DONE";
      return std::nullopt;
    }
    const bool header = first_line && same_word(line, "BOARD");
    first_line = false;
    if (header) continue;
    if (same_word(line, "DONE")) {
      done = true;
      continue;
    }
    const auto stone = read_stone_line(line);
    if (!stone) {
      error = where + "expected x,y,who with x and y from 0 to 31 and who 1 or 2";
      return std::nullopt;
    }
    if (last_who != 0 && stone->who == last_who) {
      error = where + "who must alternate between 1 and 2";
      return std::nullopt;
    }
    if (block.stones.size() == static_cast<std::size_t>(MAX_STONES)) {
      error = where + "more stones than the largest board holds";
      return std::nullopt;
    }
    if (!block.engine_first) block.engine_first = stone->who == WHO_ENGINE;
    last_who = stone->who;
    block.stones.push_back(stone->square);
  }
  if (!done) {
    error = "the block must end with DONE";
    return std::nullopt;
  }
  return block;
}

}  // namespace quorlith::board
