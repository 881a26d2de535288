#include "protocol/brain.h"

#include "search/plus_search.h"

namespace quorlith {

namespace {

class ExactBrain final : public Brain {
 public:
  std::string_view about() const override {
    return "name=\"Quorlith\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\"";
  }
  bool find_move(Engine& engine, int* x_out, int* y_out, SearchObserver* observer) override {
    return engine.find_best_move(x_out, y_out, nullptr, observer);
  }
};

class PlusBrain final : public Brain {
 public:
  std::string_view about() const override {
    return "name=\"Quorlith Plus\", version=\"" QUORLITH_VERSION "\", author=\"Quorlith developers\"";
  }
  int32_t default_depth_limit() const override { return DEEPEST_SEARCH; }
  void new_game() override { player_->new_game(); }
  void memory_limit_changed(int32_t max_memory) override { player_->set_memory_limit(max_memory); }
  bool plays_other_rules() const override { return true; }
  Rule rule() const override { return player_->rule(); }
  void set_rule(Rule rule) override { player_->set_rule(rule); }
  void before_search(const GameSettings& settings) override {
    plus::MatchInfo info;
    info.timeout_match_ms = settings.timeout_match;
    info.time_left_ms = settings.time_left;
    info.time_left_sent = settings.time_left_sent;
    info.max_memory_bytes = settings.max_memory;
    player_->set_match_info(info);
  }
  bool find_move(Engine& engine, int* x_out, int* y_out, SearchObserver* observer) override {
    return player_->find_move(engine, x_out, y_out, nullptr, observer);
  }

 private:
  std::unique_ptr<plus::PlusPlayer> player_ = std::make_unique<plus::PlusPlayer>();
};

}  // namespace

Brain& exact_brain() {
  static ExactBrain brain;
  return brain;
}

std::unique_ptr<Brain> make_plus_brain() { return std::make_unique<PlusBrain>(); }

}  // namespace quorlith
