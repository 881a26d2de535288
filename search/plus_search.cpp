#include "search/plus_search.h"

#include <algorithm>

#include "engine/platform.h"

namespace quorlith::plus {

namespace {

// Kept back from the end of the budget so that the reply reaches the
// manager inside it on a busy machine too: a twentieth, at most 50 ms.
constexpr int32_t MAX_RESERVE_MS = 50;
// Without a match clock to share out, no iteration starts after this share
// of the budget: the next one would take two or three times as long as
// all before it, and would seldom finish.
constexpr int64_t OPTIMUM_SHARE_PERCENT = 55;
// With a match clock, the stones a side is taken to still have to play:
// a game of 15 x 15 lasts 30 to 60 stones a side, and a search saved for
// later is worth more than one spent now.
constexpr int MIN_STONES_TO_COME = 12;
constexpr int STONES_TO_COME_AT_START = 35;
// The stones of the own win by fours step 2 looks for, and its share of
// the budget in solver stones (about 2000 stones per millisecond).
constexpr int ROOT_VCF_FOURS = 40;
constexpr int64_t ROOT_VCF_NODES_PER_MS = 100;
constexpr int64_t ROOT_VCF_MIN_NODES = 5000;
// Wins by threes and fours are looked for to this many attacking stones.
constexpr int ROOT_VCT_DEPTH = 12;
// Where each root phase ends, in percent of the time plan's optimum from
// the start of the move. Our own win by threes and fours gets little: a
// proven win beats any search, but most moves have none. Whether the
// opponent would win were it to move is cheap next to the checks of our
// moves it may save; those checks, which ask the solvers once per move,
// get the most. The tree has the rest, up to the plan's maximum.
constexpr int64_t OWN_VCT_END_PERCENT = 15;
constexpr int64_t THREAT_END_PERCENT = 25;
constexpr int64_t CHECKS_END_PERCENT = 50;
// Solver stones per millisecond of a phase (the solvers place about 1.5
// million a second), and per phase without a clock (tests, the bench).
constexpr int64_t SOLVER_NODES_PER_MS = 1000;
constexpr int64_t UNTIMED_SOLVER_NODES = 500000;
// Stones one move's check may place at least, however many share the phase.
constexpr int64_t MIN_CHECK_NODES = 2000;

// The clock time at which a phase ends, and its stones.
int64_t phase_end(const TimePlan& plan, int64_t percent) {
  return plan.timed ? plan.start_ms + std::max<int64_t>(plan.optimum_ms * percent / 100, 1) : INT64_MAX;
}
int64_t solver_nodes(const TimePlan& plan, int64_t percent) {
  return plan.timed ? std::max<int64_t>(plan.optimum_ms * percent / 100, 1) * SOLVER_NODES_PER_MS
                    : UNTIMED_SOLVER_NODES;
}

bool write(int cell, int* x_out, int* y_out) {
  *x_out = Position::x_of(cell);
  *y_out = Position::y_of(cell);
  return true;
}

}  // namespace

int64_t table_bytes_for(int64_t max_memory_bytes) {
  if (max_memory_bytes <= 0) return DEFAULT_TABLE_BYTES;
  return std::clamp<int64_t>(max_memory_bytes - MEMORY_BESIDE_TABLE, TranspositionTable::MIN_BYTES,
                             LARGEST_TABLE_BYTES);
}

TimePlan time_plan_for(int32_t budget_ms, const MatchInfo& match, int stones_on_board, int64_t start_ms) {
  TimePlan plan;
  plan.timed = true;
  plan.start_ms = start_ms;
  const int32_t budget = std::max(budget_ms, 1);
  const int32_t reserve = std::min(budget / 20, MAX_RESERVE_MS);
  plan.maximum_ms = std::max(budget - reserve, 1);
  plan.optimum_ms = plan.maximum_ms * OPTIMUM_SHARE_PERCENT / 100;
  if (match.timeout_match_ms > 0 && match.time_left_sent) {
    const int to_come = std::max(MIN_STONES_TO_COME, STONES_TO_COME_AT_START - stones_on_board / 4);
    const int64_t share = std::max<int64_t>(match.time_left_ms, 0) / to_come;
    plan.optimum_ms = std::min(plan.optimum_ms, share);
    // Never more than a few shares on one move, however unsettled.
    plan.maximum_ms = std::min(plan.maximum_ms, std::max<int64_t>(4 * share, 1));
  }
  plan.optimum_ms = std::max<int64_t>(plan.optimum_ms, 1);
  return plan;
}

PlusPlayer::PlusPlayer() = default;

void PlusPlayer::new_game() {
  tree_.clear();
  vct_.clear();
  position_.start(position_.size(), rule_);
}

void PlusPlayer::set_memory_limit(int64_t max_memory_bytes) {
  tree_.set_table_bytes(static_cast<size_t>(table_bytes_for(max_memory_bytes)));
  match_.max_memory_bytes = max_memory_bytes;
}

void PlusPlayer::set_rule(Rule rule) {
  if (rule == rule_) return;
  rule_ = rule;
  tree_.clear();
  vct_.clear();
}

void PlusPlayer::set_match_info(const MatchInfo& info) {
  if (info.max_memory_bytes != match_.max_memory_bytes || tree_.table_bytes() == 0)
    set_memory_limit(info.max_memory_bytes);
  match_ = info;
}

Position& PlusPlayer::follow(const Engine& engine) {
  Position& pos = position_;
  if (pos.size() != engine.size || pos.rule() != rule_) pos.start(engine.size, rule_);
  auto cell_of_stone = [&](int i) {
    const Point p = engine.move_history[i];
    return Position::cell_of(p.x - BORDER, p.y - BORDER);
  };
  int common = 0;
  while (common < pos.move_count() && common < engine.move_count && pos.move_at(common) == cell_of_stone(common))
    ++common;
  while (pos.move_count() > common) pos.undo_move();
  for (int i = common; i < engine.move_count; ++i) pos.make_move(cell_of_stone(i));
  return pos;
}

bool PlusPlayer::find_move(const Engine& engine, int* x_out, int* y_out, MoveReport* report,
                           SearchObserver* observer, const TimePlan* plan) {
  MoveReport local;
  MoveReport& rep = report != nullptr ? *report : local;
  rep = MoveReport{};
  const int64_t start = clock_ms();
  // The table is made at the first search, when the memory limit the
  // manager gives is known.
  if (tree_.table_bytes() == 0)
    tree_.set_table_bytes(static_cast<size_t>(table_bytes_for(match_.max_memory_bytes)));
  Position& pos = follow(engine);
  const int32_t budget = engine.time_per_move_ms > 0 ? engine.time_per_move_ms : DEFAULT_TIME_PER_MOVE_MS;
  const TimePlan timing = plan != nullptr ? *plan : time_plan_for(budget, match_, pos.move_count(), start);
  rep.optimum_ms = timing.optimum_ms;
  rep.maximum_ms = timing.maximum_ms;
  const int max_depth = engine.max_depth >= 2 ? engine.max_depth : DEFAULT_MAX_DEPTH;
  int cell = Position::NO_CELL;
  bool found = false;
  switch (rule_) {
    case Rule::FREESTYLE: found = choose<Rule::FREESTYLE>(pos, max_depth, timing, &cell, rep, observer); break;
    case Rule::STANDARD: found = choose<Rule::STANDARD>(pos, max_depth, timing, &cell, rep, observer); break;
    case Rule::RENJU: found = choose<Rule::RENJU>(pos, max_depth, timing, &cell, rep, observer); break;
  }
  rep.elapsed_ms = clock_ms() - start;
  if (!found) {
    // Nothing in reach (an empty board, or only forbidden cells): the
    // first empty cell from the centre outwards that black may play in
    // renju, and any empty cell when none is left.
    const int n = pos.size();
    const bool renju_black = rule_ == Rule::RENJU && pos.side_to_move() == BLACK;
    for (int pass = renju_black ? 0 : 1; pass < 2 && !found; ++pass)
      for (int r = 0; r <= n && !found; ++r)
        for (int y = n / 2 - r; y <= n / 2 + r && !found; ++y)
          for (int x = n / 2 - r; x <= n / 2 + r && !found; ++x) {
            const int c = Position::cell_of(x, y);
            if (pos.on_board(x, y) && pos.is_empty(c) && (pass == 1 || !is_forbidden(pos, c))) {
              cell = c;
              found = true;
            }
          }
  }
  if (!found) return false;
  return write(cell, x_out, y_out);
}

// 1. The fours decide: a five to make, an open four to make, a five to
//    block.
//    A five black may only block on a forbidden point is lost; black
//    then plays the best of its other moves, never the forbidden one.
template <Rule R>
bool PlusPlayer::fours_decide(Position& pos, int* cell, MoveReport& rep) {
  const Forced forced = forced_by_fours<R>(pos, 0);
  if (forced.block == Position::NO_CELL && forced.value <= 0) return false;
  if (forced.block != Position::NO_CELL && !may_play<R>(pos, forced.block, pos.side_to_move())) return false;
  rep.decision = MoveReport::Decision::FOURS;
  rep.value = forced.value;
  rep.moves = 1;
  if (forced.block != Position::NO_CELL)
    *cell = forced.block;
  else
    *cell = find_playable_four_cell<R>(pos, pos.side_to_move(), forced.value == win_at(1) ? COMBO_FIVE : COMBO_F4);
  return true;
}

// 2. A win of our own, by fours, then by threes and fours.
template <Rule R>
bool PlusPlayer::own_win(Position& pos, const TimePlan& plan, int* cell, MoveReport& rep) {
  const int64_t vcf_nodes =
      plan.timed ? std::max(ROOT_VCF_MIN_NODES, plan.maximum_ms * ROOT_VCF_NODES_PER_MS) : ROOT_VCF_MIN_NODES * 4;
  int first = Position::NO_CELL;
  int plies = tree_.vcf().solve<R>(pos, ROOT_VCF_FOURS, vcf_nodes, &first, phase_end(plan, OWN_VCT_END_PERCENT));
  rep.nodes += tree_.vcf().nodes();
  rep.decision = MoveReport::Decision::OWN_VCF;
  if (plies == 0) {
    plies = vct_.solve<R>(pos, ROOT_VCT_DEPTH, solver_nodes(plan, OWN_VCT_END_PERCENT),
                          phase_end(plan, OWN_VCT_END_PERCENT), &first);
    rep.nodes += vct_.nodes();
    rep.decision = MoveReport::Decision::OWN_VCT;
  }
  if (plies == 0 || first == Position::NO_CELL) return false;
  rep.value = win_at(plies);
  rep.moves = 1;
  *cell = first;
  return true;
}

// Whether the side to move wins by fours, or by threes and fours, within
// the limits; *unsure when a solver stopped before it could tell.
template <Rule R>
bool PlusPlayer::side_to_move_wins(Position& pos, int64_t nodes, int64_t deadline_ms, bool* unsure,
                                   MoveReport& rep) {
  int first = 0;
  const bool by_fours = tree_.vcf().solve<R>(pos, ROOT_VCF_FOURS, nodes, &first, deadline_ms) > 0;
  rep.nodes += tree_.vcf().nodes();
  if (by_fours) return true;
  const bool by_threes = vct_.solve<R>(pos, ROOT_VCT_DEPTH, nodes, deadline_ms, &first) > 0;
  rep.nodes += vct_.nodes();
  *unsure = !by_threes && (tree_.vcf().stopped() || vct_.stopped());
  return by_threes;
}

// 4. When the opponent, were it to move now, would win by fours or by
//    threes and fours, the root moves after which it still wins are
//    dropped, unless every move loses. Checks go in rounds while the phase
//    lasts: every move with a small limit first, then those whose check
//    could not tell with four times the limit, and so on; a move never
//    told apart stays.
template <Rule R>
int PlusPlayer::drop_losing_moves(Position& pos, const TimePlan& plan, int count, MoveReport& rep) {
  const int64_t threat_end = phase_end(plan, THREAT_END_PERCENT);
  bool unsure = false;
  pos.pass();
  const bool threatened = side_to_move_wins<R>(pos, solver_nodes(plan, THREAT_END_PERCENT), threat_end, &unsure, rep);
  pos.pass();
  rep.threat = threatened;
  if (!threatened && !unsure) return count;

  const int64_t checks_end = phase_end(plan, CHECKS_END_PERCENT);
  const int64_t phase_nodes = solver_nodes(plan, CHECKS_END_PERCENT);
  const int64_t spent_before = rep.nodes;
  auto phase_over = [&] { return rep.nodes - spent_before >= phase_nodes || (plan.timed && clock_ms() >= checks_end); };
  bool open[MAX_MOVES];
  std::fill(open, open + count, true);
  int64_t limit = std::max<int64_t>(phase_nodes / count / 16, MIN_CHECK_NODES);
  for (bool any_open = true; any_open && !phase_over(); limit *= 4) {
    any_open = false;
    for (int i = 0; i < count && !phase_over(); ++i) {
      if (!open[i] || root_[i].refuted) continue;
      pos.make_move<R>(root_[i].cell);
      bool move_unsure = false;
      root_[i].refuted = side_to_move_wins<R>(pos, limit, checks_end, &move_unsure, rep);
      pos.undo_move<R>();
      open[i] = move_unsure;
      any_open = any_open || move_unsure;
    }
  }
  // The moves that hold go first; if none does, all stay.
  const int kept = static_cast<int>(std::stable_partition(root_, root_ + count, [](const RootMove& m) {
                                      return !m.refuted;
                                    }) - root_);
  rep.dropped = count - kept;
  return kept > 0 ? kept : count;
}

template <Rule R>
bool PlusPlayer::choose(Position& pos, int max_depth, const TimePlan& plan, int* cell, MoveReport& rep,
                        SearchObserver* observer) {
  if (fours_decide<R>(pos, cell, rep) || own_win<R>(pos, plan, cell, rep)) return true;

  // 3. The moves: the answers to an open three, or every move in reach.
  PlusMove moves[MAX_MOVES];
  int count = must_answer_three(pos) ? answers_to_three<R>(pos, moves) : all_moves<R>(pos, moves);
  rep.moves = count;
  if (count == 0) return false;
  for (int i = 0; i < count; ++i) root_[i] = RootMove{moves[i].cell, moves[i].score};
  count = drop_losing_moves<R>(pos, plan, count, rep);
  if (count == 1) {
    rep.decision = MoveReport::Decision::SINGLE;
    *cell = root_[0].cell;
    return true;
  }

  // 5. The alpha-beta over the moves left.
  const TreeResult result = tree_.search<R>(pos, root_, count, max_depth, plan, observer);
  rep.decision = MoveReport::Decision::SEARCHED;
  rep.moves = count;
  rep.depth = result.depth;
  rep.seldepth = result.seldepth;
  rep.value = result.value;
  rep.nodes += result.nodes;
  *cell = root_[result.best].cell;
  return true;
}

}  // namespace quorlith::plus
