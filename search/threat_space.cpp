#include "search/threat_space.h"

#include <new>

#include "engine/evaluation.h"
#include "engine/platform.h"
#include "engine/keys.h"
#include "patterns/pattern_rules.h"
#include "patterns/tables.h"
#include "search/move_order.h"
#include "search/scan.h"

namespace quorlith {

namespace {

// Room in one node's move list. An attacker with more threats than this
// leaves the rest untried (a win may then go unseen); a defender with more
// answers than this is never declared beaten.
constexpr int LIST_CAPACITY = 256;
// Stones placed between two readings of the clock.
constexpr int64_t CLOCK_INTERVAL = 1024;
// A stone changes the masks of the 32 cells within four steps along its
// lines and fills its own cell: with more open-four points than this, no
// defending stone can take them all away.
constexpr int MAX_STOPPABLE_POINTS = 33;

constexpr uint8_t KIND_MASK = 3;
constexpr uint8_t FLAG_WIN = 4;
constexpr uint8_t FLAG_USED = 8;
// On a VCT attacker entry: the VCF from this position has failed already.
constexpr uint8_t FLAG_NO_VCF = 16;

struct MoveList {
  ScoredMove moves[LIST_CAPACITY];
  int count = 0;
  bool overflow = false;

  void add(int x, int y, int32_t key) {
    if (count == LIST_CAPACITY) {
      overflow = true;
      return;
    }
    moves[count++] = ScoredMove{static_cast<int16_t>(x), static_cast<int16_t>(y), key};
  }
  // Highest key first; equal keys keep their scan order, so every solve of a
  // position takes the same path.
  void sort() { sort_by_score(moves, count); }
};

Point point_of(int x, int y) { return Point{static_cast<uint8_t>(x), static_cast<uint8_t>(y)}; }
Point point_of(const ScoredMove& m) { return point_of(m.x, m.y); }

bool is_four_rating(int r) { return r >= RATING_FOUR && r <= RATING_OPEN_FOUR; }
bool is_three_rating(int r) { return r >= RATING_THREE && r <= RATING_DOUBLE_THREE; }

int four_points(const Engine& e, int side) {
  return e.rating_count[side][RATING_FOUR] + e.rating_count[side][RATING_FOUR_PLUS] +
         e.rating_count[side][RATING_FOUR_THREE] + e.rating_count[side][RATING_OPEN_FOUR];
}

int three_points(const Engine& e, int side) {
  return e.rating_count[side][RATING_THREE] + e.rating_count[side][RATING_THREE_PLUS] +
         e.rating_count[side][RATING_DOUBLE_THREE];
}

// The first cell in row order where `side` has `rating`. Five, four and
// open-four points always lie next to a stone (within two steps along a
// line), so the neighbour scan finds every one.
Point first_rated(Engine& e, int side, int rating) {
  Point found{};
  scan_neighbour_cells(e, [&](int x, int y, const Cell& c) {
    if (c.rating[side] != rating) return false;
    found = point_of(x, y);
    return true;
  });
  return found;
}

// Ordering key of an attacking stone: the stronger rating first, then the
// move score (how much the cell does on its lines for both sides).
int32_t attack_key(const Cell& c, int side) { return c.rating[side] * 256 + score_move(c); }

// What the attacker to move has before any search: a five point, or a
// block of the defender's only five point that makes an open four (WINS);
// two defender five points (LOSES); one, to be blocked (MUST_BLOCK); an
// open four of its own (WINS); or nothing forced (FREE).
struct FirstLook {
  enum Kind { WINS, LOSES, MUST_BLOCK, FREE } kind;
  Point cell;
};
FirstLook first_look(Engine& e) {
  const int a = e.side_to_move;
  const int d = e.opponent;
  if (e.rating_count[a][RATING_FIVE] > 0) return FirstLook{FirstLook::WINS, first_rated(e, a, RATING_FIVE)};
  const int enemy_fives = e.rating_count[d][RATING_FIVE];
  if (enemy_fives >= 2) return FirstLook{FirstLook::LOSES, Point{}};
  if (enemy_fives == 1) {
    const Point block = first_rated(e, d, RATING_FIVE);
    const bool open = e.cells[block.x][block.y].rating[a] == RATING_OPEN_FOUR;
    return FirstLook{open ? FirstLook::WINS : FirstLook::MUST_BLOCK, block};
  }
  if (e.rating_count[a][RATING_OPEN_FOUR] > 0)
    return FirstLook{FirstLook::WINS, first_rated(e, a, RATING_OPEN_FOUR)};
  return FirstLook{FirstLook::FREE, Point{}};
}

// Where b lies seen from a: the line k and the step (-4..4, 0 = the same
// cell) when b is within four steps of a along a line; k = -1 otherwise.
struct LineStep {
  int k;
  int step;
};
LineStep line_step(Point a, Point b) {
  const int dx = static_cast<int>(b.x) - a.x;
  const int dy = static_cast<int>(b.y) - a.y;
  if (dx < -4 || dx > 4 || dy < -4 || dy > 4) return LineStep{-1, 0};
  if (dy == 0) return LineStep{0, dx};
  if (dx == 0) return LineStep{1, dy};
  if (dx == dy) return LineStep{2, dx};
  if (dx == -dy) return LineStep{3, dx};
  return LineStep{-1, 0};
}

bool in_line_reach(Point a, Point b) { return line_step(a, b).k >= 0; }

// The line_mask bit of the cell `step` steps away (step != 0):
//     bit value:   1   2   4   8   .   16  32  64  128
//     steps:      -4  -3  -2  -1   X   +1  +2  +3  +4
uint8_t mask_bit(int step) { return static_cast<uint8_t>(step < 0 ? 1u << (step + 4) : 1u << (step + 3)); }

// Whether a stone of side `d` on c would leave the open-four point w of
// side a = 1 - d without its open four: w is c itself, or w's line through
// c loses enough to drop w's rating. The classes and rating are looked up
// in the engine's own tables, exactly as make_move would recompute them.
bool stone_removes_point(const Engine& e, Point c, Point w, int d) {
  const LineStep where = line_step(w, c);
  if (where.k < 0) return false;
  if (where.step == 0) return true;
  const int a = 1 - d;
  const Cell& cell = e.cells[w.x][w.y];
  const int k = where.k;
  uint8_t classes[4];
  for (int i = 0; i < 4; ++i) classes[i] = cell.pattern_class[i][a];
  classes[k] = LINE_CLASS_TABLE[line_index(cell.line_mask[k][a],
                                           static_cast<uint8_t>(cell.line_mask[k][d] | mask_bit(where.step)))];
  return RATING_TABLE[rating_index(classes[0], classes[1], classes[2], classes[3])] != RATING_OPEN_FOUR;
}

// Lets the side not to move play next, for as long as it lives: the two
// side fields are swapped and swapped back. make_move and undo_stone place
// and take back stones of the side these fields name, so trial stones made
// meanwhile get the right colour; the hash words know stones only, so the
// solver's table adds the side to move to its keys.
class PassGuard {
 public:
  explicit PassGuard(Engine& e) : e_(e) { swap_sides(); }
  ~PassGuard() { swap_sides(); }
  PassGuard(const PassGuard&) = delete;
  PassGuard& operator=(const PassGuard&) = delete;

 private:
  void swap_sides() {
    e_.side_to_move = 1 - e_.side_to_move;
    e_.opponent = 1 - e_.opponent;
  }
  Engine& e_;
};

// The table's view of a position: the engine's hash words with the side to
// move folded in (the same stones with the other side to move, after a
// pass, are another position).
constexpr uint32_t SIDE_CHECK_KEY = 0x9E3779B9u;
constexpr uint32_t SIDE_INDEX_KEY = 0x5A5A5u;

}  // namespace

ThreatSolver::Key ThreatSolver::key_of(uint32_t index, uint32_t check1, uint32_t check2, int side_to_move) {
  const bool second = side_to_move != 0;
  return Key{index ^ (second ? SIDE_INDEX_KEY : 0u), check1 ^ (second ? SIDE_CHECK_KEY : 0u), check2};
}

ThreatSolver::Key ThreatSolver::key_of(const Engine& e) {
  return key_of(e.hash_index, e.hash_check1, e.hash_check2, e.side_to_move);
}

// The key of the position without the hint stone: the hash words are sums
// of one key per stone, so a stone comes out by subtraction.
ThreatSolver::Key ThreatSolver::shadow_key_of(const Engine& e) const {
  const int x = hint_stone_.x, y = hint_stone_.y, s = hint_side_;
  return key_of((e.hash_index - static_cast<uint32_t>(INDEX_KEY[s][y][x])) & HASH_MASK,
                e.hash_check1 - static_cast<uint32_t>(CHECK_KEY_1[s][y][x]),
                e.hash_check2 - static_cast<uint32_t>(CHECK_KEY_2[s][y][x]), e.side_to_move);
}

uint32_t ThreatSolver::slot_of(const Key& key, Kind kind) {
  return ((key.index << 2) | kind) & ((1u << TABLE_BITS) - 1);
}

namespace {

// Keeps an attacking stone on the line stack for as long as it is on the
// board, so that the threats searched below it can be related to it.
class LinePush {
 public:
  LinePush(Point* stack, int& count, int capacity, Point p) : count_(count), pushed_(count < capacity) {
    if (pushed_) stack[count_++] = p;
  }
  ~LinePush() {
    if (pushed_) --count_;
  }
  LinePush(const LinePush&) = delete;
  LinePush& operator=(const LinePush&) = delete;

 private:
  int& count_;
  bool pushed_;
};

}  // namespace

ThreatSolver::ThreatSolver() : table_(new (std::nothrow) Entry[std::size_t{1} << TABLE_BITS]) {
  clear();
}

void ThreatSolver::clear() {
  if (!table_) return;
  for (std::size_t i = 0; i < (std::size_t{1} << TABLE_BITS); ++i) table_[i] = Entry{};
}

void ThreatSolver::begin(const SolveLimits& limits) {
  nodes_ = 0;
  ++solve_stamp_;
  // Without its table the solver proves nothing: every solve stops at once.
  max_nodes_ = table_ ? limits.max_nodes : 0;
  deadline_ms_ = limits.deadline_ms;
  next_clock_check_ = 0;
  stopped_ = false;
  vct_line_count_ = 0;
  vct_line_base_ = 0;
  vcf_line_count_ = 0;
}

bool ThreatSolver::out_of_budget() {
  if (stopped_) return true;
  if (nodes_ >= max_nodes_) {
    stopped_ = true;
  } else if (nodes_ >= next_clock_check_) {
    next_clock_check_ = nodes_ + CLOCK_INTERVAL;
    if (clock_ms() >= deadline_ms_) stopped_ = true;
  }
  return stopped_;
}

void ThreatSolver::play(Engine& e, Point p) {
  ++nodes_;
  e.make_move(p.x, p.y);
}

// Plays an attacking stone, keeps it on the given line stack while `defend`
// judges the defender's answers, and takes it back.
template <typename Defend>
bool ThreatSolver::attack_with(Engine& e, Point p, Point* line, int& count, Defend&& defend) {
  play(e, p);
  bool ok;
  {
    LinePush push(line, count, MAX_LINE_STONES, p);
    ok = defend();
  }
  e.undo_stone();
  return ok;
}

bool ThreatSolver::related(Point p, const Point* line, int count) {
  for (int i = count - 1; i >= 0; --i)
    if (in_line_reach(p, line[i])) return true;
  return false;
}

const ThreatSolver::Entry* ThreatSolver::probe(const Key& key, Kind kind) const {
  if (!table_) return nullptr;
  const Entry& entry = table_[slot_of(key, kind)];
  if ((entry.flags & FLAG_USED) == 0 || (entry.flags & KIND_MASK) != kind) return nullptr;
  if (entry.check1 != key.check1 || entry.check2 != key.check2) return nullptr;
  return &entry;
}

// The winning stone the table knows for this position without the hint
// stone, when it is empty here; (0, 0) otherwise.
Point ThreatSolver::hinted_move(const Engine& e, Kind kind) const {
  if (!hint_active_) return Point{};
  const Entry* entry = probe(shadow_key_of(e), kind);
  if (entry == nullptr || (entry->flags & FLAG_WIN) == 0) return Point{};
  if (e.cells[entry->move.x][entry->move.y].occupant != EMPTY) return Point{};
  return entry->move;
}

// Moves the hinted stone to the front of the list, when the list has it.
void ThreatSolver::apply_hint(const Engine& e, Kind kind, ScoredMove* moves, int count) const {
  const Point hinted = hinted_move(e, kind);
  if (hinted.x == 0) return;
  for (int i = 0; i < count; ++i) {
    if (moves[i].x != hinted.x || moves[i].y != hinted.y) continue;
    const ScoredMove first = moves[i];
    for (int j = i; j > 0; --j) moves[j] = moves[j - 1];
    moves[0] = first;
    return;
  }
}

bool ThreatSolver::failure_holds(const Entry& entry) const {
  return (entry.flags & KIND_MASK) == KIND_VCF || entry.stamp == solve_stamp_;
}

// A proven win holds at any depth at least the one it was proven with; a
// failure at any depth up to the one it was searched with, when it holds
// for this solve at all.
ThreatSolver::Known ThreatSolver::known(const Engine& e, Kind kind, int depth, Point* win) const {
  const Entry* entry = probe(key_of(e), kind);
  if (entry == nullptr) return UNKNOWN;
  const bool proven = (entry->flags & FLAG_WIN) != 0;
  if (proven && entry->depth <= depth) {
    *win = entry->move;
    return PROVEN;
  }
  if (!proven && entry->depth >= depth && failure_holds(*entry)) return REFUTED;
  return UNKNOWN;
}

void ThreatSolver::store(const Engine& e, Kind kind, bool win, int depth, Point move, uint8_t extra) {
  // A search that was stopped proves nothing beyond the wins it completed.
  if ((stopped_ && !win) || !table_) return;
  const Key key = key_of(e);
  Entry& entry = table_[slot_of(key, kind)];
  // What the slot knows of this same position is kept when it says more: a
  // win (it holds at every greater depth) against a failure, a shorter win
  // against a longer one, a deeper failure against a shallower one.
  const bool same = (entry.flags & FLAG_USED) != 0 && (entry.flags & KIND_MASK) == kind &&
                    entry.check1 == key.check1 && entry.check2 == key.check2;
  if (same) {
    const bool had_win = (entry.flags & FLAG_WIN) != 0;
    if (had_win && (!win || entry.depth <= depth)) return;
    if (!had_win && !win && entry.depth >= depth && failure_holds(entry)) return;
  }
  entry.check1 = key.check1;
  entry.check2 = key.check2;
  entry.move = move;
  entry.flags = static_cast<uint8_t>(kind | (win ? FLAG_WIN : 0) | FLAG_USED | extra);
  entry.depth = static_cast<int8_t>(depth);
  entry.stamp = solve_stamp_;
}

// ---- VCF ----

// The attacker to move. In order:
//   1. our five point                          -> win
//   2. two enemy five points                   -> no win
//   3. one enemy five point: the block is forced and must itself be a four
//   4. our open four (or double four)          -> win
//   5. the table
//   6. every four, strongest first; a VCF inside a VCT (`related`) tries,
//      below its first four, only fours within reach of its earlier
//      attacking stones
bool ThreatSolver::vcf_attack(Engine& e, int depth, bool related_only, Point* win) {
  const int a = e.side_to_move;
  // 1.-4.
  const FirstLook look = first_look(e);
  if (look.kind == FirstLook::WINS) {
    *win = look.cell;
    return true;
  }
  if (look.kind == FirstLook::LOSES) return false;
  // 3. Only a block that makes a four leaves the defender no free move.
  if (look.kind == FirstLook::MUST_BLOCK) {
    const Point block = look.cell;
    if (!is_four_rating(e.cells[block.x][block.y].rating[a]) || depth <= 0 || out_of_budget()) return false;
    const bool ok = attack_with(e, block, vcf_line_, vcf_line_count_,
                                [&] { return vcf_defend(e, depth - 1, related_only); });
    if (ok) *win = block;
    return ok;
  }
  if (depth <= 0 || four_points(e, a) == 0 || out_of_budget()) return false;

  // 5.
  const Kind kind = related_only ? KIND_VCF_RELATED : KIND_VCF;
  // A failure found below the first threat of a related search was found
  // with fewer stones tried than a search starting here tries.
  const Known result = known(e, kind, depth, win);
  if (result == PROVEN) return true;
  if (result == REFUTED && (!related_only || vcf_line_count_ > 0 || below_vct_root())) return false;

  // 6.
  MoveList list;
  scan_neighbour_cells(e, [&](int x, int y, const Cell& c) {
    if (!is_four_rating(c.rating[a])) return false;
    if (related_only) {
      // The first four of a VCF inside a VCT must touch the VCT's line:
      // one that does not was there at the VCT's first threat already.
      if (vcf_line_count_ > 0 ? !related(point_of(x, y), vcf_line_, vcf_line_count_)
                              : below_vct_root() && !related(point_of(x, y), vct_line_, vct_line_count_))
        return false;
    }
    list.add(x, y, attack_key(c, a));
    return false;
  });
  list.sort();
  apply_hint(e, kind, list.moves, list.count);
  for (int i = 0; i < list.count; ++i) {
    const Point p = point_of(list.moves[i]);
    if (attack_with(e, p, vcf_line_, vcf_line_count_, [&] { return vcf_defend(e, depth - 1, related_only); })) {
      store(e, kind, true, depth, p);
      *win = p;
      return true;
    }
    if (stopped_) return false;
  }
  store(e, kind, false, depth, Point{});
  return false;
}

// The defender to move after an attacking stone: a five point of its own
// wins first; two attacker five points cannot both be blocked; one is
// blocked and the attack goes on; none means the defender is free.
bool ThreatSolver::vcf_defend(Engine& e, int depth, bool related_only) {
  const int dd = e.side_to_move;
  const int a = e.opponent;
  if (e.rating_count[dd][RATING_FIVE] > 0) return false;
  const int fives = e.rating_count[a][RATING_FIVE];
  if (fives >= 2) return true;
  if (fives == 0) return false;
  const Point block = first_rated(e, a, RATING_FIVE);
  play(e, block);
  Point unused;
  const bool ok = vcf_attack(e, depth, related_only, &unused);
  e.undo_stone();
  return ok;
}

// ---- VCT ----

// The attacker to move. In order:
//   1. our five point                          -> win
//   2. two enemy five points                   -> no win
//   3. one enemy five point: the block is forced (it need not threaten:
//      the threat it answered may still stand)
//   4. our open four                           -> win
//   5. the table
//   6. the hint's stone, when a hint is set
//   7. a win by fours from here (at the inner VCF depth)
//   8. every four and every three, strongest first, with two limits:
//      - below the first threat, only those within reach of an earlier
//        attacking stone of the line: a threat that leaves them all alone
//        could have been played first, and the line that starts with it is
//        searched there;
//      - with one threat left, only double threes: a single three is
//        stopped by one stone and leaves nothing, and every four was in
//        step 7's VCF already
bool ThreatSolver::vct_attack(Engine& e, int depth, Point* win) {
  const int a = e.side_to_move;
  // 1.-4.
  const FirstLook look = first_look(e);
  if (look.kind == FirstLook::WINS) {
    *win = look.cell;
    return true;
  }
  if (look.kind == FirstLook::LOSES) return false;
  if (look.kind == FirstLook::MUST_BLOCK) {
    const Point block = look.cell;
    if (depth <= 0 || out_of_budget()) return false;
    const bool ok = attack_with(e, block, vct_line_, vct_line_count_, [&] { return vct_defend(e, depth - 1); });
    if (ok) *win = block;
    return ok;
  }
  if (depth <= 0 || out_of_budget()) return false;
  if (four_points(e, a) == 0 && three_points(e, a) == 0) return false;

  // 5.
  const Known result = known(e, KIND_VCT_ATTACK, depth, win);
  if (result == PROVEN) return true;
  if (result == REFUTED && below_vct_root()) return false;
  const Entry* entry = probe(key_of(e), KIND_VCT_ATTACK);
  const bool vcf_failed = entry != nullptr && (entry->flags & FLAG_NO_VCF) != 0 && failure_holds(*entry);

  // A threat stone, searched as step 8 searches it.
  auto try_threat = [&](Point p) {
    const bool ok = attack_with(e, p, vct_line_, vct_line_count_, [&] { return vct_defend(e, depth - 1); });
    if (ok) {
      store(e, KIND_VCT_ATTACK, true, depth, p);
      *win = p;
    }
    return ok;
  };

  // 6. The hint's winning stone first, when a hint stone is set (it wins
  //    at once when the hint stone does not stop it).
  const Point hinted = hinted_move(e, KIND_VCT_ATTACK);
  if (hinted.x != 0) {
    const int r = e.cells[hinted.x][hinted.y].rating[a];
    if ((is_four_rating(r) || is_three_rating(r)) && try_threat(hinted)) return true;
    if (stopped_) return false;
  }

  // 7. A win by fours (once per position: it does not depend on the depth).
  Point vcf_move{};
  vcf_line_count_ = 0;
  const bool vcf_ok = !vcf_failed && vcf_attack(e, depths_.vcf_in_vct, true, &vcf_move);
  if (vcf_ok) {
    store(e, KIND_VCT_ATTACK, true, depth, vcf_move);
    *win = vcf_move;
    return true;
  }
  if (stopped_) return false;

  // 8.
  MoveList list;
  scan_neighbour_cells(e, [&](int x, int y, const Cell& c) {
    const int r = c.rating[a];
    if (depth == 1 ? r != RATING_DOUBLE_THREE : !is_four_rating(r) && !is_three_rating(r)) return false;
    if (below_vct_root() && !related(point_of(x, y), vct_line_, vct_line_count_)) return false;
    if (x == hinted.x && y == hinted.y) return false;
    list.add(x, y, attack_key(c, a));
    return false;
  });
  list.sort();
  for (int i = 0; i < list.count; ++i) {
    if (try_threat(point_of(list.moves[i]))) return true;
    if (stopped_) return false;
  }
  store(e, KIND_VCT_ATTACK, false, depth, Point{}, FLAG_NO_VCF);
  return false;
}

// The defender to move after an attacking stone; true when the attacker
// wins against every answer. In order:
//   1. a five point of its own                 -> the defender wins
//   2. two attacker five points                -> lost; one: the forced block
//   3. no attacker open-four point             -> the defender is free
//   4. an open four of its own                 -> the defender wins first
//   5. the table
//   6. every answer: each stone after which the attacker has no open-four
//      point left (a stopper), and each four of its own (it gains a tempo,
//      and the block it forces may not help the attacker; a win by fours
//      of the defender is found this way too). Any other stone lets the
//      attacker make an open four, which beats a defender without a five
//      point.
bool ThreatSolver::vct_defend(Engine& e, int depth) {
  const int dd = e.side_to_move;
  const int a = e.opponent;
  // 1.-2.
  if (e.rating_count[dd][RATING_FIVE] > 0) return false;
  const int fives = e.rating_count[a][RATING_FIVE];
  if (fives >= 2) return true;
  if (fives == 1) {
    const Point block = first_rated(e, a, RATING_FIVE);
    play(e, block);
    Point unused;
    const bool ok = vct_attack(e, depth, &unused);
    e.undo_stone();
    return ok;
  }
  // 3.-4.
  const int open_fours = e.rating_count[a][RATING_OPEN_FOUR];
  if (open_fours == 0) return false;
  if (e.rating_count[dd][RATING_OPEN_FOUR] > 0) return false;
  // 5.
  Point unused;
  if (const Known result = known(e, KIND_VCT_DEFEND, depth, &unused); result != UNKNOWN)
    return result == PROVEN;
  if (out_of_budget()) return false;

  // 6. The defender's fours, then the stoppers: cells within reach of all
  //    the open-four points.
  MoveList list;
  scan_neighbour_cells(e, [&](int x, int y, const Cell& c) {
    if (is_four_rating(c.rating[dd])) list.add(x, y, 0);
    return false;
  });
  if (open_fours <= MAX_STOPPABLE_POINTS) {
    Point points[MAX_STOPPABLE_POINTS];
    int point_count = 0;
    scan_neighbour_cells(e, [&](int x, int y, const Cell& c) {
      if (c.rating[a] == RATING_OPEN_FOUR) points[point_count++] = point_of(x, y);
      return point_count == open_fours;
    });
    auto try_stopper = [&](int x, int y) {
      if (e.cells[x][y].occupant != EMPTY || is_four_rating(e.cells[x][y].rating[dd])) return;
      const Point c = point_of(x, y);
      for (int i = 0; i < point_count; ++i)
        if (!stone_removes_point(e, c, points[i], dd)) return;
      // Keys above every four's 0: the stoppers answer the threat directly
      // and refute it most often, so they are searched first.
      list.add(x, y, 1 + score_move(e.cells[x][y]));
    };
    const Point centre = points[0];
    try_stopper(centre.x, centre.y);
    for (const Direction dir : DIRECTIONS)
      for (int step = 1; step <= 4; ++step) {
        try_stopper(centre.x - step * dir.dx, centre.y - step * dir.dy);
        try_stopper(centre.x + step * dir.dx, centre.y + step * dir.dy);
      }
  }
  if (list.overflow) return false;
  list.sort();
  for (int i = 0; i < list.count; ++i) {
    play(e, point_of(list.moves[i]));
    const bool ok = vct_attack(e, depth, &unused);
    e.undo_stone();
    if (!ok) {
      store(e, KIND_VCT_DEFEND, false, depth, Point{});
      return false;
    }
  }
  store(e, KIND_VCT_DEFEND, true, depth, Point{});
  return true;
}

// ---- Entry points ----

bool ThreatSolver::solve_vcf(Engine& e, const SolveLimits& limits, Point* first) {
  begin(limits);
  Point win{};
  if (!vcf_attack(e, depths_.vcf, false, &win)) return false;
  *first = win;
  return true;
}

// The line of a VCT starts with the attacker's latest stones on the board:
// a solve in the middle of a threat sequence (the next move of a game, a
// check of a claimed win) then relates its threats to the stones of that
// sequence, as the solve that found it did.
void ThreatSolver::seed_vct_line(const Engine& e) {
  vct_line_count_ = 0;
  const int a = e.side_to_move;
  for (int i = e.move_count - 1; i >= 0 && vct_line_count_ < SEED_STONES; --i)
    if (i % 2 == a) vct_line_[vct_line_count_++] = e.move_history[i];
  vct_line_base_ = vct_line_count_;
}

bool ThreatSolver::solve_vct(Engine& e, const SolveLimits& limits, Point* first) {
  begin(limits);
  seed_vct_line(e);
  for (int depth = 1; depth <= depths_.vct; ++depth) {
    Point win{};
    if (vct_attack(e, depth, &win)) {
      *first = win;
      last_vct_depth_ = depth;
      return true;
    }
    if (stopped_) break;
  }
  return false;
}

bool ThreatSolver::solve_vcf_after_pass(Engine& e, const SolveLimits& limits, Point* first) {
  PassGuard pass(e);
  return solve_vcf(e, limits, first);
}

bool ThreatSolver::solve_vct_after_pass(Engine& e, const SolveLimits& limits, Point* first) {
  PassGuard pass(e);
  return solve_vct(e, limits, first);
}

}  // namespace quorlith
