#include "patterns/tables.h"

#include <mutex>

namespace quorlith {

namespace {
uint8_t rating_table[RATING_TABLE_SIZE];
int32_t shape_weight[SHAPE_COUNT];
int32_t move_weight[LINE_TABLE_SIZE];
uint8_t line_move_weight[LINE_TABLE_SIZE];
uint8_t line_shape_weight[LINE_TABLE_SIZE];
int32_t shape_gain[SHAPE_COUNT];
int32_t shape_loss[SHAPE_COUNT];
uint16_t line_class_pair[LINE_TABLE_SIZE];
}  // namespace

const uint8_t (&RATING_TABLE)[RATING_TABLE_SIZE] = rating_table;
const int32_t (&SHAPE_WEIGHT)[SHAPE_COUNT] = shape_weight;
const int32_t (&MOVE_WEIGHT)[LINE_TABLE_SIZE] = move_weight;
const uint8_t (&LINE_MOVE_WEIGHT)[LINE_TABLE_SIZE] = line_move_weight;
const uint8_t (&LINE_SHAPE_WEIGHT)[LINE_TABLE_SIZE] = line_shape_weight;
const int32_t (&SHAPE_GAIN)[SHAPE_COUNT] = shape_gain;
const int32_t (&SHAPE_LOSS)[SHAPE_COUNT] = shape_loss;
const uint16_t (&LINE_CLASS_PAIR)[LINE_TABLE_SIZE] = line_class_pair;

void build_pattern_tables() {
  // 1. Every combination of four line classes.
  for (uint8_t c0 = 0; c0 < 10; ++c0)
    for (uint8_t c1 = 0; c1 < 10; ++c1)
      for (uint8_t c2 = 0; c2 < 10; ++c2)
        for (uint8_t c3 = 0; c3 < 10; ++c3)
          rating_table[rating_index(c0, c1, c2, c3)] = rate_classes(c0, c1, c2, c3);

  // 2. Shape weights from the window counts.
  for (int id = 0; id < SHAPE_COUNT; ++id) {
    WindowCounts counts;
    for (int n = 0; n < 5; ++n) counts[n] = SHAPE_WINDOW_COUNTS[id][n];
    shape_weight[id] = shape_weight_of_counts(counts);
  }

  // 3. The 32-bit working copy of the move weights.
  for (int i = 0; i < LINE_TABLE_SIZE; ++i) move_weight[i] = MOVE_WEIGHT_TABLE[i];

  // 4. Per-line sums: a move weight is at most 15 and a shape weight at
  //    most 95, so both fit a byte.
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b) {
      line_move_weight[line_index(a, b)] =
          static_cast<uint8_t>(move_weight[line_index(a, b)] + move_weight[line_index(b, a)]);
      line_shape_weight[line_index(a, b)] =
          static_cast<uint8_t>(shape_weight[SHAPE_TABLE[line_index(a, b)]]);
    }

  // 5. What a stone does to the shape sums, per ShapeId of the line through
  //    its cell; SHAPE_WINDOW_COUNTS[id][m - 1] windows hold m own cells
  //    counting the cell itself.
  for (int id = 0; id < SHAPE_COUNT; ++id) {
    shape_gain[id] = shape_loss[id] = 0;
    for (int m = 1; m <= 5; ++m) {
      shape_gain[id] += SHAPE_WINDOW_COUNTS[id][m - 1] * (8 * m - 5);
      shape_loss[id] += SHAPE_WINDOW_COUNTS[id][m - 1] * (m - 1) * (4 * m - 5);
    }
  }

  // 6. Both classes of a line in one entry.
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b)
      line_class_pair[b * 256 + a] = static_cast<uint16_t>(
          LINE_CLASS_TABLE[line_index(a, b)] | LINE_CLASS_TABLE[line_index(b, a)] << 8);
}

void ensure_pattern_tables() {
  static std::once_flag built;
  std::call_once(built, build_pattern_tables);
}

}  // namespace quorlith
