#include "protocol/parse.h"

#include <limits>

namespace quorlith {

namespace {

constexpr int64_t INT32_MAX_VALUE = std::numeric_limits<int32_t>::max();
constexpr int64_t INT32_MIN_VALUE = std::numeric_limits<int32_t>::min();

[[nodiscard]] constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

[[nodiscard]] constexpr char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A signed decimal integer starting at text[pos] (white space first, an
// optional sign, at least one digit), saturated at the int32 limits. On
// success pos moves past the last digit; without a digit nothing is read.
std::optional<int32_t> scan_integer(std::string_view text, std::size_t& pos) {
  std::size_t i = pos;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size() || !is_digit(text[i])) return std::nullopt;
  // The magnitude stops growing once it is past every int32, so it cannot
  // overflow however many digits follow.
  int64_t magnitude = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    if (magnitude <= INT32_MAX_VALUE + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  pos = i;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX_VALUE) return static_cast<int32_t>(INT32_MAX_VALUE);
  if (value < INT32_MIN_VALUE) return static_cast<int32_t>(INT32_MIN_VALUE);
  return static_cast<int32_t>(value);
}

// Reads count integers separated by commas, each comma directly after the
// previous number's last digit ("%d,%d" and "%d,%d,%d").
bool scan_comma_list(std::string_view text, int32_t* values, int count) {
  std::size_t pos = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
    const std::optional<int32_t> value = scan_integer(text, pos);
    if (!value) return false;
    values[i] = *value;
  }
  return true;
}

[[nodiscard]] bool on_board(int32_t v, int32_t board_size) { return v >= 0 && v < board_size; }

}  // namespace

LineStatus read_line(std::streambuf& in, std::string& line) {
  using Traits = std::streambuf::traits_type;
  line.clear();
  bool overlong = false;
  for (;;) {
    const Traits::int_type c = in.sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) return LineStatus::END_OF_INPUT;
    const char byte = Traits::to_char_type(c);
    if (byte == '\n') break;
    if (line.size() < MAX_LINE_BYTES) {
      // Grow straight to the cap rather than doubling past it (a string's own
      // reserve may round up to twice its old size, so start a fresh one).
      if (line.size() == line.capacity() && line.capacity() >= MAX_LINE_BYTES / 2) {
        std::string at_cap;
        at_cap.reserve(MAX_LINE_BYTES);
        at_cap.append(line);
        line.swap(at_cap);
      }
      line.push_back(byte);
    } else {
      overlong = true;  // read through, keep nothing more
    }
  }
  if (overlong) return LineStatus::OVERLONG;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (const std::size_t nul = line.find('\0'); nul != std::string::npos) line.resize(nul);
  return LineStatus::LINE;
}

std::optional<std::string_view> match_keyword(std::string_view keyword, std::string_view text) {
  if (keyword.size() > text.size()) return std::nullopt;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (ascii_lower(keyword[i]) != ascii_lower(text[i])) return std::nullopt;
  }
  std::size_t pos = keyword.size();
  while (pos < text.size() && is_blank(text[pos])) ++pos;
  return text.substr(pos);
}

int32_t read_number(std::string_view text) {
  std::size_t pos = 0;
  return scan_integer(text, pos).value_or(0);
}

std::optional<Square> parse_move(std::string_view text, int32_t board_size) {
  int32_t v[2];
  if (!scan_comma_list(text, v, 2)) return std::nullopt;
  if (!on_board(v[0], board_size) || !on_board(v[1], board_size)) return std::nullopt;
  return Square{v[0], v[1]};
}

std::optional<BoardShape> parse_board_shape(std::string_view text) {
  int32_t v[2];
  if (!scan_comma_list(text, v, 2)) return std::nullopt;
  return BoardShape{v[0], v[1]};
}

std::optional<BoardLine> parse_board_line(std::string_view text, int32_t board_size) {
  int32_t v[3];
  if (!scan_comma_list(text, v, 3)) return std::nullopt;
  if (!on_board(v[0], board_size) || !on_board(v[1], board_size)) return std::nullopt;
  if (v[2] != 1 && v[2] != 2) return std::nullopt;
  return BoardLine{Square{v[0], v[1]}, v[2]};
}

}  // namespace quorlith
