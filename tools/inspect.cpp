// quorlith-inspect: prints the engine's tables and the full state of a
// position, for checking them against an outside reference.
//
//   quorlith-inspect tables
//       One line per table: its name, then every entry in index order.
//   quorlith-inspect position --size N --moves "x,y x,y ..." [--depth D]
//       One JSON object describing the position after the given stones
//       (protocol coordinates, alternating from side 0). Every coordinate in
//       the output is an engine coordinate.
//   quorlith-inspect features --size N < games
//       The rating counts and shape sums of the quiet positions of finished
//       games, for fitting the plus brain's evaluation (see print_features).
//
// Exit status: 0 on success, 2 for a malformed or refused argument.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "engine/evaluation.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"

namespace {

using namespace quorlith;

constexpr int EXIT_REFUSED = 2;

int usage() {
  std::fprintf(stderr,
               "usage: quorlith-inspect tables\n"
               "       quorlith-inspect position --size N --moves \"x,y x,y ...\" [--depth D]\n"
               "       quorlith-inspect features --size N < games\n");
  return EXIT_REFUSED;
}

// A whole-string decimal integer, or nothing.
std::optional<int> parse_int(std::string_view text) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc{} || ptr != end || text.empty()) return std::nullopt;
  return value;
}

// Output goes through one growing buffer and a single write at the end.
class Writer {
 public:
  void text(std::string_view s) { out_.append(s); }
  void number(long long v) {
    char buf[24];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    (void)ec;
    out_.append(buf, ptr);
  }
  void pair(long long a, long long b) {
    text("[");
    number(a);
    text(", ");
    number(b);
    text("]");
  }
  void flush() { std::fwrite(out_.data(), 1, out_.size(), stdout); }

 private:
  std::string out_;
};

template <typename T, std::size_t N>
void table_line(Writer& w, const char* name, const T (&table)[N]) {
  w.text(name);
  for (std::size_t i = 0; i < N; ++i) {
    w.text(" ");
    w.number(table[i]);
  }
  w.text("\n");
}

int print_tables() {
  build_pattern_tables();
  Writer w;
  table_line(w, "LINE_CLASS_TABLE", LINE_CLASS_TABLE);
  table_line(w, "SHAPE_TABLE", SHAPE_TABLE);
  table_line(w, "MOVE_WEIGHT_TABLE", MOVE_WEIGHT_TABLE);
  table_line(w, "RATING_TABLE", RATING_TABLE);
  table_line(w, "SHAPE_WEIGHT", SHAPE_WEIGHT);
  w.text("SHAPE_WINDOW_COUNTS");
  for (const auto& row : SHAPE_WINDOW_COUNTS)
    for (const int8_t c : row) {
      w.text(" ");
      w.number(c);
    }
  w.text("\n");
  w.flush();
  return 0;
}

struct Square {
  int x;
  int y;
};

// "x,y x,y ..." with any whitespace between the squares.
std::optional<std::vector<Square>> parse_moves(std::string_view text) {
  std::vector<Square> moves;
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n')) ++pos;
    if (pos == text.size()) break;
    std::size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != '\n') ++end;
    const std::string_view token = text.substr(pos, end - pos);
    const std::size_t comma = token.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = parse_int(token.substr(0, comma));
    const auto y = parse_int(token.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    moves.push_back({*x, *y});
    pos = end;
  }
  return moves;
}

// Places stone i (counted from 0) of a list, or says why it cannot go on
// the board; `where` names the list in the message.
bool place_checked(Engine& e, Square sq, std::size_t i, const char* where) {
  if (sq.x < 0 || sq.y < 0 || sq.x >= e.size || sq.y >= e.size) {
    std::fprintf(stderr, "quorlith-inspect: %sstone %zu at %d,%d is off the %dx%d board\n", where,
                 i + 1, sq.x, sq.y, e.size, e.size);
    return false;
  }
  if (!e.is_open_square(sq.x, sq.y)) {
    std::fprintf(stderr, "quorlith-inspect: %sstone %zu at %d,%d goes on an occupied square\n",
                 where, i + 1, sq.x, sq.y);
    return false;
  }
  e.place_stone(sq.x, sq.y);
  return true;
}

void print_cell(Writer& w, int x, int y, const Cell& c) {
  w.text("    {\"x\": ");
  w.number(x);
  w.text(", \"y\": ");
  w.number(y);
  w.text(", \"occupant\": ");
  w.number(c.occupant);
  w.text(", \"line_mask\": [");
  for (int k = 0; k < 4; ++k) {
    if (k) w.text(", ");
    w.pair(c.line_mask[k][0], c.line_mask[k][1]);
  }
  w.text("], \"near_count\": ");
  w.number(c.near_count);
  w.text(", \"far_count\": ");
  w.number(c.far_count);
  if (c.occupant == EMPTY) {
    w.text(", \"pattern_class\": [");
    for (int k = 0; k < 4; ++k) {
      if (k) w.text(", ");
      w.pair(c.pattern_class[k][0], c.pattern_class[k][1]);
    }
    w.text("], \"rating\": ");
    w.pair(c.rating[0], c.rating[1]);
    w.text(", \"score_move\": ");
    w.number(score_move(c));
  }
  w.text("}");
}

int print_position(int argc, char** argv) {
  std::optional<int> size;
  std::optional<std::vector<Square>> moves;
  std::optional<int> depth;
  for (int i = 2; i < argc; i += 2) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "quorlith-inspect: %s needs a value\n", argv[i]);
      return EXIT_REFUSED;
    }
    const std::string_view value = argv[i + 1];
    if (option == "--size") {
      size = parse_int(value);
      if (!size) {
        std::fprintf(stderr, "quorlith-inspect: --size '%s' is not an integer\n", argv[i + 1]);
        return EXIT_REFUSED;
      }
    } else if (option == "--moves") {
      moves = parse_moves(value);
      if (!moves) {
        std::fprintf(stderr, "quorlith-inspect: --moves '%s' is not a list of x,y squares\n",
                     argv[i + 1]);
        return EXIT_REFUSED;
      }
    } else if (option == "--depth") {
      depth = parse_int(value);
      if (!depth || *depth < 0 || *depth >= MAX_PLY) {
        std::fprintf(stderr, "quorlith-inspect: --depth '%s' must be an integer from 0 to %d\n",
                     argv[i + 1], MAX_PLY - 1);
        return EXIT_REFUSED;
      }
    } else {
      std::fprintf(stderr, "quorlith-inspect: unknown option '%s'\n", argv[i]);
      return usage();
    }
  }
  if (!size) {
    std::fprintf(stderr, "quorlith-inspect: --size is required\n");
    return usage();
  }
  if (*size < MIN_BOARD_SIZE || *size > MAX_BOARD_SIZE) {
    std::fprintf(stderr, "quorlith-inspect: board size %d is outside %d..%d\n", *size,
                 MIN_BOARD_SIZE, MAX_BOARD_SIZE);
    return EXIT_REFUSED;
  }
  if (!moves) moves.emplace();

  // 16 MB: on the heap.
  auto engine = std::make_unique<Engine>();
  Engine& e = *engine;
  e.start_game(*size);
  for (std::size_t i = 0; i < moves->size(); ++i) {
    if (!place_checked(e, (*moves)[i], i, "")) return EXIT_REFUSED;
  }

  Writer w;
  w.text("{\n  \"size\": ");
  w.number(e.size);
  w.text(",\n  \"move_count\": ");
  w.number(e.move_count);
  w.text(",\n  \"side_to_move\": ");
  w.number(e.side_to_move);
  w.text(",\n  \"box_min\": ");
  w.pair(e.box_min.x, e.box_min.y);
  w.text(",\n  \"box_max\": ");
  w.pair(e.box_max.x, e.box_max.y);
  w.text(",\n  \"rating_count\": [");
  for (int s = 0; s < 2; ++s) {
    w.text(s ? ", [" : "[");
    for (int r = 0; r < 9; ++r) {
      if (r) w.text(", ");
      w.number(e.rating_count[s][r]);
    }
    w.text("]");
  }
  w.text("],\n  \"evaluate\": ");
  w.number(e.evaluate());
  w.text(",\n  \"threat_check\": ");
  w.number(e.threat_check());

  // The candidate list as generate_candidates leaves it, before any sorting,
  // with the table as start_game left it.
  ScoredMove list[MAX_CANDIDATES];
  int count = 0;
  e.generate_candidates(list, count);
  w.text(",\n  \"candidates\": [");
  for (int i = 0; i < count; ++i) {
    w.text(i ? ", [" : "[");
    w.number(list[i].x);
    w.text(", ");
    w.number(list[i].y);
    w.text(", ");
    w.number(list[i].score);
    w.text("]");
  }
  w.text("]");

  if (depth) {
    // One root call with the search state cleared as before a search, and a
    // deadline out of reach.
    e.clear_search_without_deadline();
    const ScoredMove r = e.alpha_beta(*depth, true, -ROOT_BOUND, ROOT_BOUND);
    w.text(",\n  \"search\": {\"depth\": ");
    w.number(*depth);
    w.text(", \"x\": ");
    w.number(r.x);
    w.text(", \"y\": ");
    w.number(r.y);
    w.text(", \"value\": ");
    w.number(r.score);
    w.text(", \"nodes\": ");
    w.number(e.nodes);
    w.text("}");
  }

  w.text(",\n  \"cells\": [\n");
  bool first = true;
  for (int y = BORDER; y < e.size + BORDER; ++y)
    for (int x = BORDER; x < e.size + BORDER; ++x) {
      if (!first) w.text(",\n");
      first = false;
      print_cell(w, x, y, e.cells[x][y]);
    }
  w.text("\n  ]\n}\n");
  w.flush();
  return 0;
}

// A game's result as the features list writes it: 1, 0.5 or 0.
std::optional<double> parse_score(std::string_view text) {
  if (text == "1") return 1.0;
  if (text == "0.5") return 0.5;
  if (text == "0") return 0.0;
  return std::nullopt;
}

// One line per finished game on standard input: the score of the side
// that placed the first stone (1, 0.5 or 0), then the game's stones. For
// every position from the fifth stone on where nothing is forced (the
// threat check finds nothing and no five waits to be blocked), one line:
// the score of the side to move, its shape sum and the opponent's, then
// the side to move's counts of Ratings 1 to 8 and the opponent's. The
// positions the plus evaluation is fitted on (tools/fit-evaluation).
int print_features(int argc, char** argv) {
  if (argc != 4 || std::string_view(argv[2]) != "--size") return usage();
  const std::optional<int> size = parse_int(argv[3]);
  if (!size || *size < MIN_BOARD_SIZE || *size > MAX_BOARD_SIZE) {
    std::fprintf(stderr, "quorlith-inspect: --size '%s' must be an integer from %d to %d\n",
                 argv[3], MIN_BOARD_SIZE, MAX_BOARD_SIZE);
    return EXIT_REFUSED;
  }
  constexpr int FIRST_POSITION = 4;
  auto engine = std::make_unique<Engine>();
  Engine& e = *engine;
  Writer w;
  std::string line;
  int line_number = 0;
  for (int ch = std::getchar(); ch != EOF; ch = std::getchar()) {
    line.clear();
    for (; ch != EOF && ch != '\n'; ch = std::getchar()) line.push_back(static_cast<char>(ch));
    ++line_number;
    const std::string_view text = line;
    const std::size_t space = text.find(' ');
    const std::optional<double> first_score = parse_score(text.substr(0, space));
    std::optional<std::vector<Square>> moves;
    if (space != std::string_view::npos) moves = parse_moves(text.substr(space + 1));
    if (!first_score || !moves) {
      std::fprintf(stderr,
                   "quorlith-inspect: line %d is not a score (1, 0.5 or 0) and a list of x,y squares\n",
                   line_number);
      return EXIT_REFUSED;
    }
    char where[32];
    std::snprintf(where, sizeof where, "line %d: ", line_number);
    e.start_game(*size);
    for (std::size_t i = 0; i < moves->size(); ++i) {
      const int me = e.side_to_move;
      const int opp = e.opponent;
      if (i >= FIRST_POSITION && e.rating_count[opp][RATING_FIVE] == 0 && e.threat_check() == 0) {
        const double score = me == 0 ? *first_score : 1.0 - *first_score;
        w.text(score == 1.0 ? "1" : score == 0.0 ? "0" : "0.5");
        for (const int32_t v : {e.shape_sum[me], e.shape_sum[opp]}) {
          w.text(" ");
          w.number(v);
        }
        for (const int s : {me, opp})
          for (int r = 1; r <= RATING_FIVE; ++r) {
            w.text(" ");
            w.number(e.rating_count[s][r]);
          }
        w.text("\n");
      }
      if (!place_checked(e, (*moves)[i], i, where)) return EXIT_REFUSED;
    }
  }
  w.flush();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string_view command = argv[1];
  if (command == "tables") {
    if (argc != 2) return usage();
    return print_tables();
  }
  if (command == "position") return print_position(argc, argv);
  if (command == "features") return print_features(argc, argv);
  std::fprintf(stderr, "quorlith-inspect: unknown command '%s'\n", argv[1]);
  return usage();
}
