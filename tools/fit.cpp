// quorlith-fit: fits the plus brain's evaluation weights to finished games
// by logistic regression (Texel tuning).
//
//   quorlith-fit [--rule N] [--holdout K] [--ridge L] < games
//
// One game per line on standard input: the board size, the score of the
// side that placed the first stone (1, 0.5 or 0), then its stones as x,y
// in play order. Every quiet position of a game from its fifth stone on is
// kept: no five waits to be made or blocked, and the side to move has no
// open four to make nor a win by fours. Its features are the counts the
// plus evaluation weighs (search/plus_eval.h), for the side to move and
// for its opponent, and a constant for the move itself; its target is the
// game's result for the side to move.
//
// The fit minimises the log-loss of 1 / (1 + exp(-v / SCALE)), v the
// weighted sum, plus a ridge penalty L * |w|^2 (not on the constant), by
// Newton's method. Every K-th game (10 unless given) is held out; the
// held-out log-loss of the weights in the header and of the fitted ones is
// printed, then the fitted weights as the EVAL_WEIGHTS block of
// search/plus_eval.h (tools/fit-evaluation puts it there).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/position.h"
#include "search/plus_eval.h"
#include "search/plus_vcf.h"

namespace {

using quorlith::Position;
using quorlith::Rule;
namespace plus = quorlith::plus;

constexpr double SCALE = plus::EVAL_SCALE;
constexpr int FIRST_POSITION = 4;
constexpr int VCF_NODES = 2000;
// Features: the line patterns B2 .. DOUBLE_FOUR, the combos F2 .. F4 and
// the windows with 1 to 4 stones of each side (own first), then the
// constant.
constexpr int FIRST_LINE = quorlith::LINE_B2;
constexpr int LAST_LINE = quorlith::LINE_DOUBLE_FOUR;
constexpr int FIRST_COMBO = quorlith::COMBO_F2;
constexpr int LAST_COMBO = quorlith::COMBO_F4;
constexpr int LINES = LAST_LINE - FIRST_LINE + 1;
constexpr int COMBOS = LAST_COMBO - FIRST_COMBO + 1;
constexpr int WINDOWS = 4;  // windows with 1 to 4 stones
constexpr int SIDE_FEATURES = LINES + COMBOS + WINDOWS;
constexpr int FEATURES = 2 * SIDE_FEATURES + 1;

struct Sample {
  double target;
  float x[FEATURES];
};

int wins_by_fours(plus::VcfSolver& vcf, Position& pos) {
  switch (pos.rule()) {
    case Rule::FREESTYLE: return vcf.solve<Rule::FREESTYLE>(pos, 20, VCF_NODES, nullptr);
    case Rule::STANDARD: return vcf.solve<Rule::STANDARD>(pos, 20, VCF_NODES, nullptr);
    case Rule::RENJU: return vcf.solve<Rule::RENJU>(pos, 20, VCF_NODES, nullptr);
  }
  return 0;
}

void features_of(const Position& pos, float* x) {
  const int me = pos.side_to_move();
  int f = 0;
  for (const int side : {me, 1 - me}) {
    for (int p = FIRST_LINE; p <= LAST_LINE; ++p) x[f++] = pos.line_counts(side)[p];
    for (int c = FIRST_COMBO; c <= LAST_COMBO; ++c) x[f++] = pos.combo_counts(side)[c];
    for (int n = 1; n <= WINDOWS; ++n) x[f++] = pos.window_counts(side)[n];
  }
  x[f] = 1;
}

// The weights of the header as a vector.
std::vector<double> header_weights() {
  const plus::EvalWeights& w = plus::EVAL_WEIGHTS;
  std::vector<double> v;
  for (int p = FIRST_LINE; p <= LAST_LINE; ++p) v.push_back(w.own_line[p]);
  for (int c = FIRST_COMBO; c <= LAST_COMBO; ++c) v.push_back(w.own_combo[c]);
  for (int n = 1; n <= WINDOWS; ++n) v.push_back(w.own_window[n]);
  for (int p = FIRST_LINE; p <= LAST_LINE; ++p) v.push_back(-w.their_line[p]);
  for (int c = FIRST_COMBO; c <= LAST_COMBO; ++c) v.push_back(-w.their_combo[c]);
  for (int n = 1; n <= WINDOWS; ++n) v.push_back(-w.their_window[n]);
  v.push_back(w.tempo);
  return v;
}

double value_of(const std::vector<double>& w, const Sample& s) {
  double v = 0;
  for (int i = 0; i < FEATURES; ++i) v += w[i] * s.x[i];
  return v;
}

double log_loss(const std::vector<double>& w, const std::vector<Sample>& samples) {
  double sum = 0;
  for (const Sample& s : samples) {
    const double p = 1.0 / (1.0 + std::exp(-value_of(w, s) / SCALE));
    const double q = std::min(std::max(p, 1e-9), 1.0 - 1e-9);
    sum -= s.target * std::log(q) + (1.0 - s.target) * std::log(1.0 - q);
  }
  return samples.empty() ? 0.0 : sum / static_cast<double>(samples.size());
}

// Solves a x = b in place by Gaussian elimination with partial pivoting.
bool solve(std::vector<std::vector<double>> a, std::vector<double>& b) {
  const int n = static_cast<int>(b.size());
  for (int c = 0; c < n; ++c) {
    int pivot = c;
    for (int r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
    if (std::fabs(a[pivot][c]) < 1e-12) return false;
    std::swap(a[c], a[pivot]);
    std::swap(b[c], b[pivot]);
    for (int r = c + 1; r < n; ++r) {
      const double f = a[r][c] / a[c][c];
      for (int k = c; k < n; ++k) a[r][k] -= f * a[c][k];
      b[r] -= f * b[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    for (int k = c + 1; k < n; ++k) b[c] -= a[c][k] * b[k];
    b[c] /= a[c][c];
  }
  return true;
}

std::vector<double> fit(const std::vector<Sample>& samples, double ridge) {
  std::vector<double> w(FEATURES, 0.0);
  for (int iteration = 0; iteration < 30; ++iteration) {
    std::vector<double> g(FEATURES, 0.0);
    std::vector<std::vector<double>> h(FEATURES, std::vector<double>(FEATURES, 0.0));
    for (const Sample& s : samples) {
      const double p = 1.0 / (1.0 + std::exp(-value_of(w, s) / SCALE));
      const double r = (p - s.target) / SCALE;
      const double c = p * (1.0 - p) / (SCALE * SCALE);
      for (int i = 0; i < FEATURES; ++i) {
        if (s.x[i] == 0) continue;
        g[i] += r * s.x[i];
        for (int j = 0; j < FEATURES; ++j) h[i][j] += c * s.x[i] * s.x[j];
      }
    }
    const double n = static_cast<double>(samples.size());
    for (int i = 0; i < FEATURES; ++i) {
      g[i] /= n;
      for (int j = 0; j < FEATURES; ++j) h[i][j] /= n;
      if (i < FEATURES - 1) {
        g[i] += 2 * ridge * w[i];
        h[i][i] += 2 * ridge;
      }
    }
    if (!solve(h, g)) break;
    double step = 0;
    for (int i = 0; i < FEATURES; ++i) {
      w[i] -= g[i];
      step = std::max(step, std::fabs(g[i]));
    }
    if (step < 1e-3) break;
  }
  return w;
}

void print_row(const char* name, const std::vector<double>& w, int from, int first, int count, int total, double sign) {
  std::printf("    /* %-11s */ {", name);
  for (int i = 0; i < total; ++i) {
    const int v = i >= first && i < first + count ? static_cast<int>(std::lround(sign * w[from + i - first])) : 0;
    std::printf("%s%d", i == 0 ? "" : ", ", v);
  }
  std::printf("},\n");
}

int usage() {
  std::fprintf(stderr, "usage: quorlith-fit [--rule 0|1|4] [--holdout K] [--ridge L] < games\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Rule rule = Rule::FREESTYLE;
  int holdout = 10;
  double ridge = 1e-7;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--rule") == 0 && has_value) {
      const auto r = quorlith::rule_from_info(std::atoi(argv[++i]));
      if (!r) return usage();
      rule = *r;
    } else if (std::strcmp(argv[i], "--holdout") == 0 && has_value) {
      holdout = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--ridge") == 0 && has_value) {
      ridge = std::atof(argv[++i]);
    } else {
      return usage();
    }
  }
  if (holdout < 2) return usage();

  auto pos = std::make_unique<Position>();
  plus::VcfSolver vcf;
  std::vector<Sample> train, test;
  std::string line;
  int games = 0, line_number = 0;
  char buffer[1 << 16];
  while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
    ++line_number;
    std::istringstream in(buffer);
    int size = 0;
    double first_score = -1;
    if (!(in >> size >> first_score) || size < quorlith::MIN_BOARD_SIZE || size > quorlith::MAX_BOARD_SIZE ||
        !(first_score == 0 || first_score == 0.5 || first_score == 1)) {
      std::fprintf(stderr, "quorlith-fit: line %d is not a size, a score (1, 0.5 or 0) and x,y squares\n",
                   line_number);
      return 2;
    }
    pos->start(size, rule);
    vcf.clear();
    std::vector<Sample>& out = games % holdout == holdout - 1 ? test : train;
    ++games;
    std::string square;
    int i = 0;
    while (in >> square) {
      int x = -1, y = -1;
      if (std::sscanf(square.c_str(), "%d,%d", &x, &y) != 2 || !pos->on_board(x, y) ||
          !pos->is_empty(Position::cell_of(x, y))) {
        std::fprintf(stderr, "quorlith-fit: line %d: bad or occupied square '%s'\n", line_number, square.c_str());
        return 2;
      }
      const int me = pos->side_to_move();
      const bool quiet = pos->combo_count(me, quorlith::COMBO_FIVE) == 0 &&
                         pos->combo_count(1 - me, quorlith::COMBO_FIVE) == 0 &&
                         pos->combo_count(me, quorlith::COMBO_F4) == 0;
      if (i >= FIRST_POSITION && quiet && wins_by_fours(vcf, *pos) == 0) {
        Sample s;
        s.target = me == 0 ? first_score : 1.0 - first_score;
        features_of(*pos, s.x);
        out.push_back(s);
      }
      pos->make_move(Position::cell_of(x, y));
      ++i;
    }
  }
  if (train.empty()) {
    std::fprintf(stderr, "quorlith-fit: no quiet positions\n");
    return 2;
  }
  const std::vector<double> before = header_weights();
  const std::vector<double> w = fit(train, ridge);
  std::printf("// %d games, %zu positions fitted, %zu held out (every %d-th game)\n", games, train.size(),
              test.size(), holdout);
  std::printf("// held-out log-loss: %.5f with the weights before, %.5f fitted (training %.5f -> %.5f)\n",
              log_loss(before, test), log_loss(w, test), log_loss(before, train), log_loss(w, train));
  std::printf("inline constexpr EvalWeights EVAL_WEIGHTS = {\n");
  print_row("own_line", w, 0, FIRST_LINE, LINES, quorlith::LINE_PATTERN_COUNT, 1);
  print_row("own_combo", w, LINES, FIRST_COMBO, COMBOS, quorlith::COMBO_COUNT, 1);
  print_row("their_line", w, SIDE_FEATURES, FIRST_LINE, LINES, quorlith::LINE_PATTERN_COUNT, -1);
  print_row("their_combo", w, SIDE_FEATURES + LINES, FIRST_COMBO, COMBOS, quorlith::COMBO_COUNT, -1);
  print_row("own_window", w, LINES + COMBOS, 1, WINDOWS, Position::WINDOW_COUNTS, 1);
  print_row("their_window", w, SIDE_FEATURES + LINES + COMBOS, 1, WINDOWS, Position::WINDOW_COUNTS, -1);
  std::printf("    /* tempo       */ %d,\n};\n", static_cast<int>(std::lround(w[FEATURES - 1])));
  return 0;
}
