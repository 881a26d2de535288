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
// The own win by threes and fours of step 2: its depth in attacking
// stones, and its share of the time plan's optimum.
constexpr int ROOT_VCT_DEPTH = 12;
constexpr int64_t ROOT_VCT_SHARE_PERCENT = 15;
constexpr int64_t ROOT_VCT_NODES_PER_MS = 1000;
constexpr int64_t ROOT_VCT_UNTIMED_NODES = 500000;

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

PlusPlayer::PlusPlayer() { tree_.set_table_bytes(static_cast<size_t>(table_bytes_for(0))); }

void PlusPlayer::new_game() {
  tree_.clear();
  vct_.clear();
  position_.start(position_.size(), rule_);
}

void PlusPlayer::set_match_info(const MatchInfo& info) {
  if (info.max_memory_bytes != match_.max_memory_bytes)
    tree_.set_table_bytes(static_cast<size_t>(table_bytes_for(info.max_memory_bytes)));
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
    // first empty cell from the centre outwards.
    const int n = pos.size();
    for (int r = 0; r <= n && !found; ++r)
      for (int y = n / 2 - r; y <= n / 2 + r && !found; ++y)
        for (int x = n / 2 - r; x <= n / 2 + r && !found; ++x)
          if (pos.on_board(x, y) && pos.is_empty(Position::cell_of(x, y))) {
            cell = Position::cell_of(x, y);
            found = true;
          }
  }
  if (!found) return false;
  return write(cell, x_out, y_out);
}

template <Rule R>
bool PlusPlayer::choose(Position& pos, int max_depth, const TimePlan& plan, int* cell, MoveReport& rep,
                        SearchObserver* observer) {
  const int me = pos.side_to_move();
  // 1. The fours.
  const Forced forced = forced_by_fours<R>(pos, 0);
  if (forced.block != Position::NO_CELL || forced.value > 0) {
    rep.decision = MoveReport::Decision::FOURS;
    rep.value = forced.value;
    if (forced.block != Position::NO_CELL)
      *cell = forced.block;
    else
      *cell = find_four_cell(pos, me, forced.value == win_at(1) ? COMBO_FIVE : COMBO_F4);
    rep.moves = 1;
    return true;
  }

  // 2. Our own win by fours.
  const int64_t vcf_nodes =
      plan.timed ? std::max(ROOT_VCF_MIN_NODES, plan.maximum_ms * ROOT_VCF_NODES_PER_MS) : ROOT_VCF_MIN_NODES * 4;
  int first = Position::NO_CELL;
  const int plies = tree_.vcf().solve<R>(pos, ROOT_VCF_FOURS, vcf_nodes, &first);
  rep.nodes += tree_.vcf().nodes();
  if (plies > 0 && first != Position::NO_CELL) {
    rep.decision = MoveReport::Decision::OWN_VCF;
    rep.value = win_at(plies);
    rep.moves = 1;
    *cell = first;
    return true;
  }

  // ... and by threes and fours.
  const int64_t vct_ms = plan.timed ? std::max<int64_t>(plan.optimum_ms * ROOT_VCT_SHARE_PERCENT / 100, 1) : 0;
  const int64_t vct_nodes = plan.timed ? vct_ms * ROOT_VCT_NODES_PER_MS : ROOT_VCT_UNTIMED_NODES;
  const int64_t vct_deadline = plan.timed ? plan.start_ms + vct_ms : INT64_MAX;
  const int vct_plies = vct_.solve<R>(pos, ROOT_VCT_DEPTH, vct_nodes, vct_deadline, &first);
  rep.nodes += vct_.nodes();
  if (vct_plies > 0 && first != Position::NO_CELL) {
    rep.decision = MoveReport::Decision::OWN_VCT;
    rep.value = win_at(vct_plies);
    rep.moves = 1;
    *cell = first;
    return true;
  }

  // 3. The moves.
  PlusMove moves[MAX_MOVES];
  const int count = must_answer_three(pos) ? answers_to_three<R>(pos, moves) : all_moves<R>(pos, moves);
  rep.moves = count;
  if (count == 0) return false;
  if (count == 1) {
    rep.decision = MoveReport::Decision::SINGLE;
    *cell = moves[0].cell;
    return true;
  }

  // 4. The alpha-beta.
  for (int i = 0; i < count; ++i) root_[i] = RootMove{moves[i].cell, moves[i].score, -INFINITE_SCORE, 0};
  const TreeResult result = tree_.search<R>(pos, root_, count, max_depth, plan, observer);
  rep.decision = MoveReport::Decision::SEARCHED;
  rep.depth = result.depth;
  rep.seldepth = result.seldepth;
  rep.value = result.value;
  rep.nodes += result.nodes;
  *cell = root_[result.best].cell;
  return true;
}

}  // namespace quorlith::plus
