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
  void new_game() override { memory_.clear(); }
  bool find_move(Engine& engine, int* x_out, int* y_out, SearchObserver* observer) override {
    return find_plus_move(engine, memory_, x_out, y_out, nullptr, observer);
  }

 private:
  PlusMemory memory_;
};

}  // namespace

Brain& exact_brain() {
  static ExactBrain brain;
  return brain;
}

std::unique_ptr<Brain> make_plus_brain() { return std::make_unique<PlusBrain>(); }

}  // namespace quorlith
