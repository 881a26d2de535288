#include "patterns/line_rules.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>

namespace quorlith {

namespace {

constexpr int MAX_LINE = 2 * MAX_HALF_LINE + 1;

// The rule of one side on lines of one length, memoised over the cells
// around the centre (three states each: 3^10 lines at most).
class LineClassifier {
 public:
  LineClassifier(Rule rule, int side, int half)
      : rule_(rule), side_(side), half_(half), forbidden_(has_forbidden_points(rule, side)) {
    int states = 1;
    for (int i = 0; i < 2 * half; ++i) states *= 3;
    memo_.assign(static_cast<size_t>(states), -1);
  }

  LinePattern classify(const LineCell* cells) {
    LineCell line[MAX_LINE];
    std::copy(cells, cells + 2 * half_ + 1, line);
    line[half_] = LineCell::OWN;
    return classify_own_centre(line);
  }

 private:
  int index_of(const LineCell* line) const {
    int index = 0;
    for (int p = 2 * half_; p >= 0; --p)
      if (p != half_) index = index * 3 + static_cast<int>(line[p]);
    return index;
  }

  int run_through_centre(const LineCell* line) const {
    int run = 1;
    for (int p = half_ - 1; p >= 0 && line[p] == LineCell::OWN; --p) ++run;
    for (int p = half_ + 1; p <= 2 * half_ && line[p] == LineCell::OWN; ++p) ++run;
    return run;
  }

  // Whether the own stones from a + 1 to b - 1 are one unbroken run.
  static bool own_between(const LineCell* line, int a, int b) {
    for (int p = a + 1; p < b; ++p)
      if (line[p] != LineCell::OWN) return false;
    return true;
  }

  LinePattern classify_own_centre(LineCell* line) {
    int8_t& slot = memo_[static_cast<size_t>(index_of(line))];
    if (slot < 0) slot = static_cast<int8_t>(judge(line));
    return static_cast<LinePattern>(slot);
  }

  LinePattern judge(LineCell* line) {
    // a. The run through the centre.
    const int run = run_through_centre(line);
    if (is_winning_run(rule_, side_, run)) return LINE_FIVE;
    if (run >= 5) return LINE_OVERLINE;

    // b. The cells that complete a five through the centre.
    int completions[MAX_LINE];
    int count = 0;
    for (int p = 0; p <= 2 * half_; ++p) {
      if (line[p] != LineCell::EMPTY) continue;
      line[p] = LineCell::OWN;
      if (is_winning_run(rule_, side_, run_through_centre(line))) completions[count++] = p;
      line[p] = LineCell::EMPTY;
    }
    if (count >= 2) {
      if (!forbidden_) return LINE_F4;
      for (int i = 0; i < count; ++i)
        for (int j = i + 1; j < count; ++j)
          if (completions[j] - completions[i] == 5 && own_between(line, completions[i], completions[j]))
            return LINE_F4;
      return LINE_DOUBLE_FOUR;
    }
    if (count == 1) return LINE_B4;

    // c. The best a second own stone leads to, one step down.
    LinePattern best = LINE_DEAD;
    for (int p = 0; p <= 2 * half_; ++p) {
      if (line[p] != LineCell::EMPTY) continue;
      line[p] = LineCell::OWN;
      const LinePattern next = classify_own_centre(line);
      line[p] = LineCell::EMPTY;
      best = std::max(best, one_step_down(next));
    }
    return best;
  }

  static LinePattern one_step_down(LinePattern next) {
    switch (next) {
      case LINE_F4: return LINE_F3;
      case LINE_B4: return LINE_B3;
      case LINE_F3: return LINE_F2;
      case LINE_B3: return LINE_B2;
      case LINE_F2: return LINE_F1;
      case LINE_B2: return LINE_B1;
      default: return LINE_DEAD;  // nothing, or a stone the side may not play
    }
  }

  Rule rule_;
  int side_;
  int half_;
  bool forbidden_;
  std::vector<int8_t> memo_;
};

std::unique_ptr<LineTables> build(Rule rule) {
  const auto started = std::chrono::steady_clock::now();
  auto tables = std::make_unique<LineTables>();
  tables->rule = rule;
  tables->half = half_line(rule);
  const int half = tables->half;
  const int slots = 2 * half;
  LineClassifier classifier[2] = {LineClassifier(rule, BLACK, half), LineClassifier(rule, WHITE, half)};

  tables->line.resize(size_t{1} << (2 * slots));
  LineCell view[2][MAX_LINE];
  for (uint32_t key = 0; key < tables->line.size(); ++key) {
    for (int slot = 0; slot < slots; ++slot) {
      const int code = (key >> (2 * slot)) & 3;
      const int p = slot < half ? slot : slot + 1;
      for (int side = 0; side < 2; ++side)
        view[side][p] = code == 0 ? LineCell::EMPTY : code == side + 1 ? LineCell::OWN : LineCell::BLOCKED;
    }
    const int black = classifier[BLACK].classify(view[BLACK]);
    const int white = classifier[WHITE].classify(view[WHITE]);
    tables->line[key] = static_cast<uint8_t>(black | white << 4);
  }

  for (int side = 0; side < 2; ++side) {
    tables->combo[side].resize(COMBO_INDEX_COUNT);
    for (int index = 0; index < COMBO_INDEX_COUNT; ++index) {
      LinePattern lines[4];
      int rest = index;
      for (auto& p : lines) {
        p = static_cast<LinePattern>(rest % LINE_PATTERN_COUNT);
        rest /= LINE_PATTERN_COUNT;
      }
      tables->combo[side][index] = combine_lines(rule, side, lines);
    }
  }
  tables->build_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  return tables;
}

}  // namespace

LinePattern classify_line(Rule rule, int side, const LineCell* cells, int half) {
  LineClassifier classifier(rule, side, half);
  return classifier.classify(cells);
}

uint8_t combine_lines(Rule rule, int side, const LinePattern (&lines)[4]) {
  int n[LINE_PATTERN_COUNT] = {};
  for (const LinePattern p : lines) ++n[p];
  if (n[LINE_FIVE] > 0) return COMBO_FIVE;
  const int fours = n[LINE_F4] + n[LINE_B4] + n[LINE_DOUBLE_FOUR];
  if (has_forbidden_points(rule, side)) {
    if (n[LINE_OVERLINE] > 0 || n[LINE_DOUBLE_FOUR] > 0 || fours >= 2) return COMBO_FORBIDDEN;
  } else if (n[LINE_F4] > 0 || n[LINE_DOUBLE_FOUR] > 0 || fours >= 2) {
    return COMBO_F4;
  }
  const bool support = n[LINE_B3] > 0 || n[LINE_F2] > 0;
  uint8_t combo;
  if (n[LINE_F4] > 0) {
    combo = COMBO_F4;
  } else if (n[LINE_B4] > 0) {
    combo = n[LINE_F3] > 0 ? COMBO_B4F3 : support ? COMBO_B4_PLUS : COMBO_B4;
  } else if (n[LINE_F3] >= 2) {
    combo = COMBO_F3X2;
  } else if (n[LINE_F3] == 1) {
    combo = support ? COMBO_F3_PLUS : COMBO_F3;
  } else if (n[LINE_B3] >= 2 || (n[LINE_B3] == 1 && n[LINE_F2] > 0)) {
    combo = COMBO_B3_PLUS;
  } else if (n[LINE_F2] >= 2) {
    combo = COMBO_F2X2;
  } else if (n[LINE_B3] == 1) {
    combo = COMBO_B3;
  } else if (n[LINE_F2] == 1) {
    combo = COMBO_F2;
  } else {
    combo = COMBO_NONE;
  }
  if (has_forbidden_points(rule, side) && n[LINE_F3] >= 2) combo |= COMBO_DOUBLE_THREE_FLAG;
  return combo;
}

const LineTables& line_tables(Rule rule) {
  static std::once_flag once[3];
  static std::unique_ptr<LineTables> built[3];
  const int i = rule == Rule::FREESTYLE ? 0 : rule == Rule::STANDARD ? 1 : 2;
  std::call_once(once[i], [&] { built[i] = build(rule); });
  return *built[i];
}

}  // namespace quorlith
