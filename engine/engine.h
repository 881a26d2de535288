// The Engine: one game's board, its incrementally kept line knowledge, the
// transposition table and the search state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "engine/platform.h"
#include "engine/types.h"

namespace quorlith {

class SearchObserver;

class Engine final {
 public:
  // Sets every Point of the histories, the box and the table replies to
  // (0, 0). Nothing else: start_game prepares the board.
  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The engine lives on the heap in memory aligned for huge pages: the
  // search probes the 16 MB transposition table at random after every move,
  // and small pages would make nearly every probe a TLB miss.
  static void* operator new(std::size_t bytes);
  static void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory) noexcept;

  // ---- The six operations, in their fixed slot order ----

  // Starts an empty game on an n x n board; callers guarantee 5 <= n <= 32.
  virtual void start_game(int n);
  // A stone of side_to_move on protocol square (x, y), which must be a
  // playable EMPTY cell.
  virtual void place_stone(int x, int y);
  // Fixed-depth search of the current position (a depth of 0 counts as 1),
  // under its own deadline armed from time_per_move_ms; writes the move in
  // protocol coordinates and plays it. On a full board nothing is played and
  // both outputs are -1.
  virtual void think(int* x_out, int* y_out, int depth, int reserved);
  // Does nothing.
  virtual void idle_hook();
  // Takes back the last stone; callers guarantee move_count > 0.
  virtual void undo_stone();
  // "Quorlith".
  virtual const char* name();

  // A stone of side_to_move on engine cell (x, y), a playable EMPTY cell.
  void make_move(int x, int y);

  // What make_move(x, y) would leave in the rating counts, the shape sums
  // and the hash words, worked out without placing the stone: the search
  // reads no more than that at most of its leaves. Of the rating counts
  // only those of Ratings 3 to 8, all that the threat check reads, are
  // exact; the others are left as they come (preview_move_every_rating,
  // for an evaluation that reads them, keeps them all).
  struct Preview {
    int32_t rating_count[2][9];
    int32_t shape_sum[2];
    uint32_t hash_index;
    uint32_t hash_check1;
    uint32_t hash_check2;
  };
  // Fills `out` for a stone of side_to_move on the playable EMPTY cell
  // (x, y). Changes nothing.
  void preview_move(int x, int y, Preview& out) const;
  void preview_move_every_rating(int x, int y, Preview& out) const;

  // What a search's horizon sees after a stone of side_to_move on the
  // playable EMPTY cell (x, y), for the side then to move: the threat
  // check's answer in *forced and the evaluation in *value. The stone is
  // placed (and taken back) only where the rating counts do not decide the
  // threat check; either way it counts in nodes.
  void horizon_after(int x, int y, int32_t* forced, int32_t* value);
  // The same horizon for an evaluation of its own: returns the threat
  // check's answer and fills `after` with every rating count and both shape
  // sums of the position after the stone.
  int32_t horizon_counts_after(int x, int y, Preview& after);

  // True when protocol square (x, y) lies on the board and is empty.
  bool is_open_square(int x, int y) const;

  // ---- Evaluation ----

  // Static value of the position for the side to move: the difference of
  // the two sides' shape sums, which make_move and undo_stone keep current.
  int32_t evaluate() const { return shape_sum[side_to_move] - shape_sum[opponent]; }

  // ---- Search (search/) ----

  // Forced-result check: > 0 the side to move makes five by force in that
  // many plies, < 0 the opponent does, 0 nothing forced. Trial stones are
  // taken back before it returns.
  int32_t threat_check();
  // Fills list (room for MAX_CANDIDATES entries) with this node's moves.
  void generate_candidates(ScoredMove* list, int& count);
  // Fail-hard negamax over the inclusive window [alpha, beta].
  ScoredMove alpha_beta(int depth, bool root, int32_t alpha, int32_t beta);
  // Step 14.2-14.4 of alpha_beta for the move (x, y), placed on the board:
  // the child's value from the table at exactly depth - 1, or from its
  // search in the window (ca, cb) and then stored; the stone is taken back.
  int32_t searched_move_value(int x, int y, int depth, int16_t ca, int16_t cb);
  // Records (x, y) as the best move at the current ply.
  void update_pv(int x, int y);
  // Raises stop once the deadline has passed.
  void check_time();
  // Runs check_time when nodes has entered a new block of 4096 since the
  // last reading (trial stones can step over an exact multiple).
  void poll_clock();
  // What a deepening search got done: the deepest iteration that ran to its
  // end (0: none) and the root value that iteration returned.
  struct SearchReport {
    int depth_reached = 0;
    int32_t value = 0;
  };
  // Iterative deepening under time_per_move_ms. Writes the chosen square in
  // protocol coordinates; always an empty board cell. Returns false (and
  // writes nothing) only when the board has no empty cell. Fills report,
  // when given, for tools that show how far the search got, and tells
  // observer, when given, about every iteration that ran to its end.
  bool find_best_move(int* x_out, int* y_out, SearchReport* report = nullptr,
                      SearchObserver* observer = nullptr);
  // Clears the search state as find_best_move does (pv included, follow_pv
  // off) and puts the deadline out of reach, for the fixed-depth root
  // searches of tools and tests.
  void clear_search_without_deadline();

  // ---- Consistency check ----

  // Recomputes masks, classes, ratings, rating counts, neighbour counts, the
  // box, the hash words and the shape sums from the stones alone and
  // compares them with the kept values. Returns an empty string when they
  // agree, else the first difference. For tests and tools; not used by the
  // search.
  std::string verify() const;

  // ---- State ----

  Cell cells[GRID_SIDE][GRID_SIDE];  // cells[x][y], engine coordinates
  int32_t size;
  int32_t move_count;
  int32_t side_to_move;
  int32_t opponent;  // always 1 - side_to_move
  // Empty playable cells per side and Rating. The Rating-0 entries start at
  // zero while every cell starts at Rating 0, so they are offset by the
  // number of playable cells; nothing reads them.
  int32_t rating_count[2][9];
  Point move_history[MAX_STONES];
  Point box_min_history[MAX_STONES];  // box_min just before stone i
  Point box_max_history[MAX_STONES];  // box_max just before stone i
  Point box_min;                      // inclusive corners of the candidate area
  Point box_max;
  uint32_t hash_index;   // sum of INDEX_KEY mod 2^20
  uint32_t hash_check1;  // sum of CHECK_KEY_1 mod 2^32
  uint32_t hash_check2;  // sum of CHECK_KEY_2 mod 2^32
  // Per side, the shape weights (LINE_SHAPE_WEIGHT) of the four lines of
  // every stone of that side, summed; see evaluate().
  int32_t shape_sum[2];
  // The grid's rows as bit sets, for the scans of the search: bit x of
  // reach_rows[y] is set when cell (x, y) has a stone within reach
  // (near_count or far_count above 0), bit x of stone_rows[y] when it holds
  // a stone. The neighbour cells of row y are reach_rows[y] & ~stone_rows[y]
  // within the board.
  uint64_t reach_rows[GRID_SIDE];
  uint64_t stone_rows[GRID_SIDE];
  HashEntry transposition_table[HASH_SIZE];
  int32_t nodes;  // stones placed by make_move in the current search
  struct PvMove {
    int16_t x;
    int16_t y;
  };
  PvMove pv[MAX_PLY][MAX_PLY];  // triangular principal variation
  int32_t pv_length[MAX_PLY];
  bool follow_pv;
  bool stop;
  int32_t ply;
  int32_t time_per_move_ms;
  int32_t max_depth;
  int64_t deadline_ms;

  // Search bookkeeping beyond the fields above.
  // Nodes between two readings of the clock: 4096.
  static constexpr int CLOCK_BLOCK_SHIFT = 12;
  // Node-count block (nodes / 4096) at which the clock was last read; the
  // clock is read whenever nodes has entered a new block since.
  int32_t clock_block = -1;
  // What make_move saves for undo_stone, one record per stone on the board:
  // the stone's cell and the 32 cells within four steps along its lines (in
  // the order make_move walks them), the rating counts, the shape sums and
  // the five rows of reach_rows around the stone.
  struct UndoRecord {
    Cell cells[1 + 32];
    int32_t rating_count[2][9];
    int32_t shape_sum[2];
    uint64_t reach_rows[5];
  };
  UndoRecord undo_records[MAX_STONES];

  // Set while find_best_move or think runs under its deadline; only then
  // does the threat check read the clock.
  bool clock_armed = false;
  // The root's first candidate after ordering in the latest iteration; the
  // answer when no root move finished in time. (0, 0) = none.
  Point root_first_candidate;

 private:
  // Enters a stone's bits in the masks of the cells in reach, saving each
  // cell first.
  void update_lines(Cell* centre, int s, Cell* saved);
  // Recomputes all classes and both ratings of a cell from its masks.
  void refresh_cell(Cell& d);
  // Step 14 of alpha_beta at depth 1 for one move (search/alpha_beta.cpp).
  int32_t leaf_move_value(int x, int y, int16_t ca, int16_t cb);
  // A stone of side_to_move on (x, y) previewed into `after` and counted in
  // nodes, with the history entry make_move would leave above the last
  // stone; the board stays as it is (search/threat.cpp).
  void preview_stone(int x, int y, Preview& after);
  // The history entry and node count of a previewed stone (preview_stone).
  void note_previewed_stone(int x, int y);
  template <bool kAllRatings>
  void fill_preview(int x, int y, Preview& out) const;
  // threat_check() of the position after the stone preview_stone(x, y)
  // previewed, from the counts when they decide it.
  int32_t threat_check_after(int x, int y, const Preview& after);
  // The square to answer after a search (see find_best_move).
  bool resolve_answer(Point preferred, int* x_out, int* y_out);
};

// One iteration of find_best_move that ran to its end, as front ends that
// show the search see it.
struct SearchIteration {
  int depth = 0;           // the iteration's depth
  int32_t value = 0;       // root value, for the side to move
  int32_t nodes = 0;       // nodes of the whole search so far
  int64_t elapsed_ms = 0;  // since the search began
  int pv_length = 0;
  Engine::PvMove pv[MAX_PLY];  // the principal variation, protocol coordinates
};

// Told about each finished iteration by find_best_move, on the searching
// thread, between two iterations: never inside the node loop, so the search
// and its node counts stay the same with or without an observer.
class SearchObserver {
 public:
  virtual void iteration_done(const SearchIteration& iteration) = 0;

 protected:
  ~SearchObserver() = default;
};

// The principal variation of the latest root search, pv[0][0 ..
// pv_length[0]), in protocol coordinates. It stops before the first entry
// that is not an empty board cell of the current position or repeats an
// earlier one (after a table hit the tail of a line can come from another
// subtree). Returns the number of moves written to out (room for MAX_PLY).
int root_line(const Engine& engine, Engine::PvMove* out);

}  // namespace quorlith
