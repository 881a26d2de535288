// Fixed pseudo-random keys of the three additive hash words.
#pragma once

#include <cstdint>

#include "engine/types.h"

namespace quorlith {

// KEYS[table][side][y][x] with engine coordinates: every side and every cell
// of the 40 x 40 grid has its own key in each table, 1 .. 2^30 - 1, all
// different within a table. Table 0 feeds hash_index, 1 and 2 the check words.
constexpr int KEY_TABLES = 3;
using KeyTable = int32_t[2][GRID_SIDE][GRID_SIDE];

extern const KeyTable& INDEX_KEY;
extern const KeyTable& CHECK_KEY_1;
extern const KeyTable& CHECK_KEY_2;

}  // namespace quorlith
