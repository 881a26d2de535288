#include "patterns/pattern_rules.h"

#include <algorithm>
#include <initializer_list>

namespace quorlith {

namespace {

// Window position p (0..8, centre 4) of mask bit b: bits 0..3 are the steps
// -4..-1, bits 4..7 the steps +1..+4.
constexpr int position_of_bit(int bit) { return bit < 4 ? bit : bit + 1; }

bool is_own(const Span& span, int position) { return (span.own >> position) & 1u; }

// Length of the run of own cells through the centre.
int centre_run(const Span& span) {
  int run = 1;
  for (int p = CENTRE_POSITION - 1; p >= span.first() && is_own(span, p); --p) ++run;
  for (int p = CENTRE_POSITION + 1; p <= span.last() && is_own(span, p); ++p) ++run;
  return run;
}

PatternClass classify_uncached(const Span& span);

// Memo over (L, R, own cells of the span): 25 shapes of span x 512 own sets.
struct ClassMemo {
  std::array<int8_t, 25 * 512> entries;
  ClassMemo() { entries.fill(-1); }
};

PatternClass classify_cached(const Span& span) {
  static ClassMemo memo;
  int8_t& slot = memo.entries[(span.left * 5 + span.right) * 512 + span.own];
  if (slot < 0) slot = static_cast<int8_t>(classify_uncached(span));
  return static_cast<PatternClass>(slot);
}

// The class rule:
//   a. fewer than five cells: CLASS_NONE;
//   b. the centre in a run of five or more: CLASS_FIVE;
//   c. otherwise add one own stone on each empty cell in turn and classify
//      again; f = how many additions give a five;
//   d. f >= 2: CLASS_OPEN_FOUR; f = 1: CLASS_FOUR;
//   e. f = 0: the best class any addition gives, minus two.
PatternClass classify_uncached(const Span& span) {
  if (span.length() < 5) return CLASS_NONE;
  if (centre_run(span) >= 5) return CLASS_FIVE;
  int fives = 0;
  int best = 0;
  for (int p = span.first(); p <= span.last(); ++p) {
    if (is_own(span, p)) continue;
    Span added = span;
    added.own = static_cast<uint16_t>(span.own | (1u << p));
    const int c = classify_cached(added);
    if (c == CLASS_FIVE) ++fives;
    best = std::max(best, c);
  }
  if (fives >= 2) return CLASS_OPEN_FOUR;
  if (fives == 1) return CLASS_FOUR;
  return static_cast<PatternClass>(best - 2);
}

// A span given by its picture: L, R and the own offsets besides the centre.
struct SpecialSpan {
  int left;
  int right;
  std::initializer_list<int> own_steps;
  int16_t weight;
};

bool matches(const Span& span, const SpecialSpan& special) {
  if (span.left != special.left || span.right != special.right) return false;
  uint16_t own = 1u << CENTRE_POSITION;
  for (int step : special.own_steps) own = static_cast<uint16_t>(own | (1u << (CENTRE_POSITION + step)));
  return span.own == own;
}

}  // namespace

Span read_span(int index) {
  const unsigned own_byte = (static_cast<unsigned>(index) >> 8) & 0xFFu;
  const unsigned other_byte = static_cast<unsigned>(index) & 0xFFu;
  // Blocked cells: the other side's stones and walls (walls set both bytes).
  uint16_t blocked = 0;
  uint16_t own = 1u << CENTRE_POSITION;
  for (int bit = 0; bit < 8; ++bit) {
    const int p = position_of_bit(bit);
    if ((other_byte >> bit) & 1u) {
      blocked = static_cast<uint16_t>(blocked | (1u << p));
    } else if ((own_byte >> bit) & 1u) {
      own = static_cast<uint16_t>(own | (1u << p));
    }
  }
  Span span;
  while (span.left < 4 && !((blocked >> (CENTRE_POSITION - 1 - span.left)) & 1u)) ++span.left;
  while (span.right < 4 && !((blocked >> (CENTRE_POSITION + 1 + span.right)) & 1u)) ++span.right;
  uint16_t in_span = 0;
  for (int p = span.first(); p <= span.last(); ++p) in_span = static_cast<uint16_t>(in_span | (1u << p));
  span.own = own & in_span;
  return span;
}

PatternClass classify_span(const Span& span) { return classify_cached(span); }

WindowCounts count_windows(const Span& span) {
  WindowCounts counts{};
  for (int start = span.first(); start + 4 <= span.last(); ++start) {
    int n = 0;
    for (int p = start; p < start + 5; ++p) n += is_own(span, p) ? 1 : 0;
    ++counts[n - 1];  // every window holds the centre, so n >= 1
  }
  return counts;
}

// The move weight rule:
//   a. fewer than five cells: 0;
//   b. the seven special spans below take their own values;
//   c. an open three or better (class 6 and up): 15;
//   d. otherwise v = c2 + 2 * c3 when v >= 4, else 0.
int16_t move_weight_of_span(const Span& span) {
  if (span.length() < 5) return 0;
  static const SpecialSpan SPECIAL_SPANS[] = {
      {3, 3, {-3, 1, 3}, 5},   // x..Xx.x
      {4, 2, {-4, -1, 2}, 5},  // x..xX.x
      {2, 4, {-2, 1, 4}, 5},   // x.Xx..x
      {3, 3, {-3, -1, 3}, 5},  // x.xX..x
      {4, 3, {-3, 1, 3}, 6},   // .x..Xx.x
      {3, 4, {-3, -1, 3}, 6},  // x.xX..x.
      {3, 3, {3}, 15},         // ...X..x
  };
  for (const SpecialSpan& special : SPECIAL_SPANS) {
    if (matches(span, special)) return special.weight;
  }
  if (classify_span(span) >= CLASS_OPEN_THREE) return 15;
  const WindowCounts counts = count_windows(span);
  const int v = counts[1] + 2 * counts[2];
  return static_cast<int16_t>(v >= 4 ? v : 0);
}

// The rating rule, with N(c) the number of lines of class c (first match):
//   N(9) >= 1                      -> RATING_FIVE
//   N(8) >= 1 or N(7) >= 2         -> RATING_OPEN_FOUR
//   N(7) = 1 and N(6) >= 1         -> RATING_FOUR_THREE
//   N(7) = 1 and N(5) + N(4) >= 1  -> RATING_FOUR_PLUS
//   N(7) = 1                       -> RATING_FOUR
//   N(6) >= 2                      -> RATING_DOUBLE_THREE
//   N(6) = 1 and N(5) + N(4) >= 1  -> RATING_THREE_PLUS
//   N(6) = 1                       -> RATING_THREE
//   otherwise                      -> RATING_NONE
Rating rate_classes(uint8_t c0, uint8_t c1, uint8_t c2, uint8_t c3) {
  int n[10] = {};
  for (uint8_t c : {c0, c1, c2, c3}) ++n[c];
  if (n[9] >= 1) return RATING_FIVE;
  if (n[8] >= 1 || n[7] >= 2) return RATING_OPEN_FOUR;
  const bool companion = n[5] >= 1 || n[4] >= 1;
  if (n[7] == 1) {
    if (n[6] >= 1) return RATING_FOUR_THREE;
    return companion ? RATING_FOUR_PLUS : RATING_FOUR;
  }
  if (n[6] >= 2) return RATING_DOUBLE_THREE;
  if (n[6] == 1) return companion ? RATING_THREE_PLUS : RATING_THREE;
  return RATING_NONE;
}

int32_t shape_weight_of_counts(const WindowCounts& counts) {
  static constexpr int32_t WINDOW_WEIGHT[5] = {3, 7, 11, 15, 19};
  int32_t weight = 0;
  for (int n = 0; n < 5; ++n) weight += WINDOW_WEIGHT[n] * counts[n];
  return weight;
}

bool generate_tables(GeneratedTables& out) {
  out.window_counts = {};
  out.shape_count = 1;  // id 0 is reserved for spans under five cells
  for (int index = 0; index < 65536; ++index) {
    const Span span = read_span(index);
    out.line_class[index] = classify_span(span);
    out.move_weight[index] = move_weight_of_span(span);
    if (span.length() < 5) {
      out.shape[index] = 0;
      continue;
    }
    // Shape ids number the distinct window-count tuples in the order in
    // which they first occur over ascending indices.
    const WindowCounts counts = count_windows(span);
    int id = 1;
    while (id < out.shape_count && out.window_counts[id] != counts) ++id;
    if (id == out.shape_count) {
      if (out.shape_count == SHAPE_COUNT) return false;
      out.window_counts[id] = counts;
      ++out.shape_count;
    }
    out.shape[index] = static_cast<uint8_t>(id);
  }
  return out.shape_count == SHAPE_COUNT;
}

}  // namespace quorlith
