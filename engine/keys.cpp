#include "engine/keys.h"

namespace quorlith {

namespace {

constexpr uint32_t KEY_BITS = 30;
constexpr uint32_t KEY_MASK = (1u << KEY_BITS) - 1;
constexpr uint32_t KEY_SEED = 0x2545F491u;

// A bijection of the 30-bit numbers (odd multipliers and xor-shifts are both
// invertible modulo 2^30), so distinct inputs give distinct keys. Each table
// takes its own run of 3200 inputs.
constexpr uint32_t mix30(uint32_t v) {
  v &= KEY_MASK;
  v = (v * 0x2C1B3C6Du) & KEY_MASK;
  v ^= v >> 15;
  v = (v * 0x297A2D39u) & KEY_MASK;
  v ^= v >> 13;
  v = (v * 0x1B873593u) & KEY_MASK;
  v ^= v >> 16;
  return v;
}

struct KeyTables {
  int32_t keys[KEY_TABLES][2][GRID_SIDE][GRID_SIDE];
};

constexpr KeyTables make_keys() {
  KeyTables t{};
  uint32_t input = KEY_SEED & KEY_MASK;
  for (int table = 0; table < KEY_TABLES; ++table)
    for (int side = 0; side < 2; ++side)
      for (int y = 0; y < GRID_SIDE; ++y)
        for (int x = 0; x < GRID_SIDE; ++x) {
          uint32_t key = mix30(input++);
          // The one input that maps to 0 is skipped: keys start at 1.
          if (key == 0) key = mix30(input++);
          t.keys[table][side][y][x] = static_cast<int32_t>(key);
        }
  return t;
}

constexpr KeyTables KEYS = make_keys();

}  // namespace

const KeyTable& INDEX_KEY = KEYS.keys[0];
const KeyTable& CHECK_KEY_1 = KEYS.keys[1];
const KeyTable& CHECK_KEY_2 = KEYS.keys[2];

}  // namespace quorlith
