#include "engine/engine.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/keys.h"
#include "engine/platform.h"
#include "patterns/tables.h"

namespace quorlith {

namespace {

// Offsets of the neighbour counts: the 8 adjacent cells, and the 8 cells two
// steps away along the four lines.
constexpr Direction NEAR_OFFSETS[8] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                       {1, 0},   {-1, 1}, {0, 1},  {1, 1}};
constexpr Direction FAR_OFFSETS[8] = {{-2, -2}, {0, -2}, {2, -2}, {-2, 0},
                                      {2, 0},   {-2, 2}, {0, 2},  {2, 2}};

// The grid is cells[x][y], so one step (dx, dy) moves dx * GRID_SIDE + dy
// records in memory.
constexpr int grid_step(Direction d) { return d.dx * GRID_SIDE + d.dy; }
constexpr int LINE_STEP[4] = {grid_step(DIRECTIONS[0]), grid_step(DIRECTIONS[1]),
                              grid_step(DIRECTIONS[2]), grid_step(DIRECTIONS[3])};
constexpr std::array<int, 8> steps_of(const Direction (&offsets)[8]) {
  std::array<int, 8> steps{};
  for (int i = 0; i < 8; ++i) steps[i] = grid_step(offsets[i]);
  return steps;
}
constexpr std::array<int, 8> NEAR_STEPS = steps_of(NEAR_OFFSETS);
constexpr std::array<int, 8> FAR_STEPS = steps_of(FAR_OFFSETS);

// The same 16 cells as bits of the rows y - 2 to y + 2 of a stone on
// (2, y); a stone on (x, y) shifts them left by x - 2:
//
//     y-2:  x . x . x        y-1:  . x x x .        y:  x x . x x
constexpr std::array<uint64_t, 5> reach_pattern() {
  std::array<uint64_t, 5> rows{};
  for (const Direction& d : NEAR_OFFSETS) rows[d.dy + 2] |= uint64_t{1} << (d.dx + 2);
  for (const Direction& d : FAR_OFFSETS) rows[d.dy + 2] |= uint64_t{1} << (d.dx + 2);
  return rows;
}
constexpr std::array<uint64_t, 5> REACH_PATTERN = reach_pattern();

// Bit of the cell d steps from a stone, as seen from that cell: a cell in the
// negative direction sees the stone d steps on its positive side, and the
// other way round.
constexpr uint8_t bit_seen_from_negative(int d) { return static_cast<uint8_t>(16u << (d - 1)); }
constexpr uint8_t bit_seen_from_positive(int d) { return static_cast<uint8_t>(8u >> (d - 1)); }

uint8_t class_of(const Cell& c, int k, int s) {
  return LINE_CLASS_TABLE[line_index(c.line_mask[k][s], c.line_mask[k][1 - s])];
}

// Classes that the rating rule cannot tell apart: classes 0 to 3 never count,
// 4 and 5 count only as "a three or an open two".
constexpr uint8_t RATING_GROUP[10] = {0, 0, 0, 0, 4, 4, 6, 7, 8, 9};

// The groups of a line's class pair as the cell holds it (side 0's class in
// the low byte), both at once.
constexpr std::array<uint16_t, 10 * 256 + 10> group_pairs() {
  std::array<uint16_t, 10 * 256 + 10> groups{};
  for (int c0 = 0; c0 < 10; ++c0)
    for (int c1 = 0; c1 < 10; ++c1)
      groups[c1 * 256 + c0] = static_cast<uint16_t>(RATING_GROUP[c0] | RATING_GROUP[c1] << 8);
  return groups;
}
constexpr std::array<uint16_t, 10 * 256 + 10> GROUP_PAIR = group_pairs();

// The rating of side s from a cell's eight classes held as one word (class
// [k][s] in byte 2k + s), with the decimal RATING_TABLE index
// 1000*c0 + 100*c1 + 10*c2 + c3 formed by one multiplication: masked into
// 16-bit lanes, a multiplier with 1000, 100, 10 and 1 in its lanes sums the
// four weighted products into the top lane (at most 9999, and the lower
// lanes never carry into it).
static_assert(std::endian::native == std::endian::little,
              "class [k][s] is read as byte 2k + s of a little-endian word");
uint8_t rating_of_word(uint64_t classes, int s) {
  constexpr uint64_t LANES = 0x00FF00FF00FF00FFull;
  constexpr uint64_t WEIGHTS = (1000ull << 48) | (100ull << 32) | (10ull << 16) | 1ull;
  return RATING_TABLE[(((classes >> (8 * s)) & LANES) * WEIGHTS) >> 48];
}

uint8_t rating_of(const Cell& c, int s) {
  uint64_t classes;
  std::memcpy(&classes, c.pattern_class, sizeof classes);
  return rating_of_word(classes, s);
}

}  // namespace

void* Engine::operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  return allocate_engine_memory(bytes);
}

void* Engine::operator new(std::size_t bytes) {
  void* memory = operator new(bytes, std::nothrow);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void Engine::operator delete(void* memory) noexcept { release_engine_memory(memory); }

Engine::Engine() {
  for (int i = 0; i < MAX_STONES; ++i) {
    move_history[i] = Point{};
    box_min_history[i] = Point{};
    box_max_history[i] = Point{};
  }
  box_min = Point{};
  box_max = Point{};
  for (HashEntry& entry : transposition_table) entry.reply = Point{};
  // The search fields get defined values too, so that nothing is ever read
  // uninitialised (update_pv copies up to pv_length of the next ply, which a
  // node may not have written yet). start_game leaves them alone.
  nodes = 0;
  for (auto& row : pv)
    for (auto& move : row) move = PvMove{0, 0};
  for (int32_t& length : pv_length) length = 0;
  follow_pv = false;
  stop = false;
  ply = 0;
  time_per_move_ms = 0;
  max_depth = 0;
  deadline_ms = 0;
  size = 0;
  move_count = 0;
}

void Engine::start_game(int n) {
  // 1. The derived tables come first: every rating below is looked up in them.
  //    They are built once per process; games on other threads may be
  //    reading them.
  ensure_pattern_tables();
  size = n;
  const int last = n + 2 * BORDER - 1;  // last grid coordinate in use

  // 2. Occupants, clear masks. The whole grid is cleared first, so that no
  //    field of any record (wall cells included, whose classes and ratings
  //    are never used) is ever read or copied before it has a value.
  std::memset(static_cast<void*>(cells), 0, sizeof cells);
  for (int x = 0; x <= last; ++x) {
    for (int y = 0; y <= last; ++y) {
      Cell& c = cells[x][y];
      const bool playable = x >= BORDER && x < n + BORDER && y >= BORDER && y < n + BORDER;
      c.occupant = playable ? EMPTY : WALL;
      for (auto& pair : c.line_mask) pair[0] = pair[1] = 0;
    }
  }

  // 3. Walls within four steps enter both sides' masks; then classes,
  //    ratings and neighbour counts of every playable cell.
  for (int x = BORDER; x < n + BORDER; ++x) {
    for (int y = BORDER; y < n + BORDER; ++y) {
      Cell& c = cells[x][y];
      for (int k = 0; k < 4; ++k) {
        const auto [dx, dy] = DIRECTIONS[k];
        uint8_t walls = 0;
        for (int d = 1; d <= 4; ++d) {
          if (cells[x - d * dx][y - d * dy].occupant == WALL) walls |= bit_seen_from_positive(d);
          if (cells[x + d * dx][y + d * dy].occupant == WALL) walls |= bit_seen_from_negative(d);
        }
        c.line_mask[k][0] = c.line_mask[k][1] = walls;
      }
      refresh_cell(c);
      c.near_count = 0;
      c.far_count = 0;
    }
  }

  for (auto& side : rating_count) std::fill(std::begin(side), std::end(side), 0);
  side_to_move = 0;
  opponent = 1;
  move_count = 0;

  const uint8_t centre = static_cast<uint8_t>(n / 2 + BORDER);
  box_min = Point{static_cast<uint8_t>(centre - 1), static_cast<uint8_t>(centre - 1)};
  box_max = Point{static_cast<uint8_t>(centre + 1), static_cast<uint8_t>(centre + 1)};

  hash_index = hash_check1 = hash_check2 = 0;
  shape_sum[0] = shape_sum[1] = 0;
  std::fill(std::begin(reach_rows), std::end(reach_rows), 0);
  std::fill(std::begin(stone_rows), std::end(stone_rows), 0);

  // The replies are left alone: a check-word pair of 0 never matches a
  // position with stones, and the empty position is never probed.
  for (HashEntry& entry : transposition_table) {
    entry.check1 = 0;
    entry.check2 = 0;
    entry.score = 0;
    entry.depth = 0;
  }
}

void Engine::place_stone(int x, int y) { make_move(x + BORDER, y + BORDER); }

void Engine::idle_hook() {}

const char* Engine::name() { return "Quorlith"; }

bool Engine::is_open_square(int x, int y) const {
  if (x < 0 || y < 0 || x >= size || y >= size) return false;
  return cells[x + BORDER][y + BORDER].occupant == EMPTY;
}

void Engine::refresh_cell(Cell& d) {
  for (int k = 0; k < 4; ++k) {
    d.pattern_class[k][0] = class_of(d, k, 0);
    d.pattern_class[k][1] = class_of(d, k, 1);
  }
  d.rating[0] = rating_of(d, 0);
  d.rating[1] = rating_of(d, 1);
}

namespace {

// Re-classifies line k of the empty cell d for both sides after one of its
// mask bytes changed (each side's class depends on both bytes), and re-rates
// a side whose class changed, moving d between the Ratings in `counts`. A
// side whose class stayed keeps its rating, and its count stays as it was.
// The line's two mask bytes come in `masks` (line_mask[k][0] in the low
// byte) as they now stand, and the eight classes are read and written as
// one word, so nothing waits on a just-stored byte. With kWrite false the
// new classes and ratings are only worked out, and d stays as it is.
template <bool kWrite, bool kAllRatings, typename CellT>
inline void reclassify(CellT& d, int k, unsigned masks, int32_t (&counts)[2][9]) {
  const uint64_t fresh = LINE_CLASS_PAIR[masks];
  if constexpr (!kWrite && !kAllRatings) {
    // A preview keeps only the counts of Ratings 3 to 8 exact (see
    // Engine::Preview). A cell rated below 3 for both sides, whose new
    // classes on this line stay below an open three (6), stays below 3:
    // a Rating of 3 or more needs a class of 7 or more, or two of 6, and
    // the other three lines alone would have rated it 3 or more already.
    // (Adding 2 to a class byte sets bit 3 exactly from 6 on; adding 125
    // to a rating byte sets bit 7 exactly from 3 on.)
    uint16_t ratings;
    std::memcpy(&ratings, d.rating, sizeof ratings);
    if (((fresh + 0x0202u) & 0x0808u) == 0 && ((ratings + 0x7D7Du) & 0x8080u) == 0) return;
  }
  uint64_t classes;
  std::memcpy(&classes, d.pattern_class, sizeof classes);
  const int shift = 16 * k;
  const uint64_t before = (classes >> shift) & 0xFFFF;
  if (fresh == before) [[unlikely]] return;
  classes = (classes & ~(0xFFFFull << shift)) | (fresh << shift);
  if constexpr (kWrite) std::memcpy(d.pattern_class, &classes, sizeof classes);
  // Classes of one rating group are interchangeable in the rating rule, so
  // a change within a group cannot change the rating.
  const unsigned regrouped = GROUP_PAIR[fresh] ^ GROUP_PAIR[before];
  if (regrouped == 0) return;
  // Below an open three on every line a side is rated 0: a side rated 0
  // whose classes all stay below 6 keeps its rating. (Adding 2 to each
  // class byte, 0 to 9, sets bit 3 exactly in the bytes of 6 and above.)
  const uint64_t open_threes = (classes + 0x0202020202020202ull) & 0x0808080808080808ull;
  for (int s = 0; s < 2; ++s) {
    if (((regrouped >> (8 * s)) & 0xFF) == 0) continue;
    if (d.rating[s] == 0 && ((open_threes >> (8 * s)) & 0x00FF00FF00FF00FFull) == 0) continue;
    const uint8_t r = rating_of_word(classes, s);
    --counts[s][d.rating[s]];
    ++counts[s][r];
    if constexpr (kWrite) d.rating[s] = r;
  }
}

// Sets a stone's bit in line k of the cell d (`bit` is already shifted into
// the stone's side's byte of the line's two mask bytes) and re-classifies
// an empty d. Both bytes are read (and written) as one word, and the
// classification gets them from the register.
template <bool kWrite, bool kAllRatings, typename CellT>
inline void enter_bit(CellT& d, int k, unsigned bit, int32_t (&counts)[2][9]) {
  uint16_t masks;
  std::memcpy(&masks, d.line_mask[k], sizeof masks);
  masks = static_cast<uint16_t>(masks | bit);
  if constexpr (kWrite) std::memcpy(d.line_mask[k], &masks, sizeof masks);
  if (d.occupant == EMPTY) [[likely]] reclassify<kWrite, kAllRatings>(d, k, masks, counts);
}

// The eight cells of line K within four steps of the stone, nearest first,
// the step between them and the line's place in the class word fixed.
template <bool kWrite, bool kAllRatings, int K, typename CellT>
inline void walk_line(CellT* centre, int s, Cell*& saved, int32_t (&counts)[2][9]) {
  constexpr int step = LINE_STEP[K];
  for (int d = 1; d <= 4; ++d) {
    CellT& below = centre[-d * step];  // sees the stone d steps on its positive side
    CellT& above = centre[d * step];   // sees it d steps on its negative side
    if constexpr (kWrite) {
      *saved++ = below;
      *saved++ = above;
    }
    enter_bit<kWrite, kAllRatings>(below, K, bit_seen_from_negative(d) << (8 * s), counts);
    enter_bit<kWrite, kAllRatings>(above, K, bit_seen_from_positive(d) << (8 * s), counts);
  }
}

// Enters a stone of side s on `centre` into the masks of the 32 cells within
// four steps along its four lines and re-rates the empty ones in `counts`.
// With kWrite, each cell is first copied into `saved`, in this walk's
// order, for undo_stone, and the cells are changed; without, only the
// counts are, and only those of Ratings 3 to 8 unless kAllRatings.
template <bool kWrite, bool kAllRatings, typename CellT>
void walk_lines(CellT* centre, int s, Cell* saved, int32_t (&counts)[2][9]) {
  walk_line<kWrite, kAllRatings, 0>(centre, s, saved, counts);
  walk_line<kWrite, kAllRatings, 1>(centre, s, saved, counts);
  walk_line<kWrite, kAllRatings, 2>(centre, s, saved, counts);
  walk_line<kWrite, kAllRatings, 3>(centre, s, saved, counts);
}

// How a stone of side s on q changes the shape sums. Only the five-cell
// windows through the stone change weight, and the stone's own masks (which
// it does not change) show them all: windows free for s gain, windows free
// for the other side stop counting for it.
void enter_shapes(const Cell& q, int s, int32_t (&sums)[2]) {
  int32_t gain = 0, loss = 0;
  for (int k = 0; k < 4; ++k) {
    const uint8_t own = q.line_mask[k][s], other = q.line_mask[k][1 - s];
    gain += SHAPE_GAIN[SHAPE_TABLE[line_index(own, other)]];
    loss += SHAPE_LOSS[SHAPE_TABLE[line_index(other, own)]];
  }
  sums[s] += gain;
  sums[1 - s] -= loss;
}

}  // namespace

void Engine::update_lines(Cell* centre, int s, Cell* saved) {
  walk_lines<true, true>(centre, s, saved, rating_count);
}

template <bool kAllRatings>
void Engine::fill_preview(int x, int y, Preview& out) const {
  const int s = side_to_move;
  const Cell& q = cells[x][y];
  std::memcpy(out.rating_count, rating_count, sizeof rating_count);
  --out.rating_count[0][q.rating[0]];
  --out.rating_count[1][q.rating[1]];
  std::memcpy(out.shape_sum, shape_sum, sizeof shape_sum);
  enter_shapes(q, s, out.shape_sum);
  walk_lines<false, kAllRatings>(&q, s, nullptr, out.rating_count);
  out.hash_index = (hash_index + static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK;
  out.hash_check1 = hash_check1 + static_cast<uint32_t>(CHECK_KEY_1[s][y][x]);
  out.hash_check2 = hash_check2 + static_cast<uint32_t>(CHECK_KEY_2[s][y][x]);
}

void Engine::preview_move(int x, int y, Preview& out) const { fill_preview<false>(x, y, out); }

void Engine::preview_move_every_rating(int x, int y, Preview& out) const {
  fill_preview<true>(x, y, out);
}

void Engine::make_move(int x, int y) {
  const int s = side_to_move;
  Cell& q = cells[x][y];
  UndoRecord& undo = undo_records[move_count];

  // 1. Count the node (wrapping rather than overflowing: no game search
  //    comes near 2^31 stones, but a tool given no deadline could). Keep
  //    what undo_stone needs to put back: the counts, the shape sums, the
  //    stone's cell and (in step 4) the cells in reach.
  nodes = static_cast<int32_t>(static_cast<uint32_t>(nodes) + 1u);
  std::memcpy(undo.rating_count, rating_count, sizeof rating_count);
  std::memcpy(undo.shape_sum, shape_sum, sizeof shape_sum);
  undo.cells[0] = q;
  // The stone's cell stops counting as empty.
  --rating_count[0][q.rating[0]];
  --rating_count[1][q.rating[1]];
  q.occupant = s;

  // 2. History, then widen the box to radius 2 around the stone.
  move_history[move_count] = Point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)};
  box_min_history[move_count] = box_min;
  box_max_history[move_count] = box_max;
  ++move_count;
  const int lo = BORDER;
  const int hi = size + BORDER - 1;
  box_min.x = static_cast<uint8_t>(std::max(lo, std::min<int>(box_min.x, x - 2)));
  box_min.y = static_cast<uint8_t>(std::max(lo, std::min<int>(box_min.y, y - 2)));
  box_max.x = static_cast<uint8_t>(std::min(hi, std::max<int>(box_max.x, x + 2)));
  box_max.y = static_cast<uint8_t>(std::min(hi, std::max<int>(box_max.y, y + 2)));

  // 3. Shape sums (see enter_shapes).
  enter_shapes(q, s, shape_sum);

  // 4. Enter the stone into the masks of the 32 cells in reach; re-rate the
  //    empty ones. The border guarantees every cell lies inside the grid.
  Cell* const centre = &q;
  update_lines(centre, s, undo.cells + 1);

  // 5. Neighbour counts. All 16 cells lie on the four lines within two
  //    steps, so step 4 has saved them. The row bit sets follow; the
  //    rows the stone reaches are saved first.
  for (const int offset : NEAR_STEPS) ++centre[offset].near_count;
  for (const int offset : FAR_STEPS) ++centre[offset].far_count;
  for (int r = 0; r < 5; ++r) {
    undo.reach_rows[r] = reach_rows[y - 2 + r];
    reach_rows[y - 2 + r] |= REACH_PATTERN[r] << (x - 2);
  }
  stone_rows[y] |= uint64_t{1} << x;

  // 6. Additive hash words.
  hash_index = (hash_index + static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK;
  hash_check1 += static_cast<uint32_t>(CHECK_KEY_1[s][y][x]);
  hash_check2 += static_cast<uint32_t>(CHECK_KEY_2[s][y][x]);

  // 7. The other side moves next.
  side_to_move = 1 - side_to_move;
  opponent = 1 - opponent;
}

// Every cell a stone changes (its own, the 32 in reach with their masks,
// classes, ratings and neighbour counts), the rating counts, the shape sums
// and the reach rows were saved by make_move just before: putting them back
// restores exactly the values that recomputing them from the masks would
// give, at the cost of a copy.
void Engine::undo_stone() {
  // 1. Pop the history; the box comes back exactly.
  --move_count;
  const int x = move_history[move_count].x;
  const int y = move_history[move_count].y;
  box_min = box_min_history[move_count];
  box_max = box_max_history[move_count];
  const UndoRecord& undo = undo_records[move_count];

  side_to_move = 1 - side_to_move;
  opponent = 1 - opponent;
  const int s = side_to_move;

  // 2. Subtract the stone's keys.
  hash_index = (hash_index - static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK;
  hash_check1 -= static_cast<uint32_t>(CHECK_KEY_1[s][y][x]);
  hash_check2 -= static_cast<uint32_t>(CHECK_KEY_2[s][y][x]);

  // 3. Cells and counts as they were before the stone.
  Cell* const centre = &cells[x][y];
  *centre = undo.cells[0];
  const Cell* saved = undo.cells + 1;
  for (int k = 0; k < 4; ++k) {
    const int step = LINE_STEP[k];
    for (int d = 1; d <= 4; ++d) {
      centre[-d * step] = *saved++;
      centre[d * step] = *saved++;
    }
  }
  std::memcpy(rating_count, undo.rating_count, sizeof rating_count);
  std::memcpy(shape_sum, undo.shape_sum, sizeof shape_sum);
  for (int r = 0; r < 5; ++r) reach_rows[y - 2 + r] = undo.reach_rows[r];
  stone_rows[y] &= ~(uint64_t{1} << x);
}

}  // namespace quorlith
