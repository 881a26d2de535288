// A front end given a recycler hands back every engine it is done with (a
// new game, its own end) instead of freeing it, and a recycled engine plays
// exactly as a fresh one: the same session gives the same replies either
// way, with one engine made for all of its games.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/front_end.h"

namespace quorlith::test {
namespace {

std::vector<std::unique_ptr<Engine>> pool;
int engines_made = 0;
int engines_returned = 0;

std::unique_ptr<Engine> from_pool() {
  if (pool.empty()) {
    ++engines_made;
    return make_engine_on_heap();
  }
  std::unique_ptr<Engine> e = std::move(pool.back());
  pool.pop_back();
  return e;
}
void to_pool(std::unique_ptr<Engine> e) {
  ++engines_returned;
  pool.push_back(std::move(e));
}

// Three games (START, RESTART, START on another size) with fixed-depth
// searches (every sd comes before a searched move or the third stone), so
// that the replies do not depend on the clock.
constexpr const char* SESSION =
    "INFO timeout_turn 60000\nSTART 15\nBEGIN\nsd 5\nTURN 8,8\nsd 5\nTURN 9,6\n"
    "RESTART\nsd 5\nTURN 7,7\nsd 4\nTURN 6,6\nsd 5\nTURN 5,8\n"
    "START 12\nsd 5\nTURN 5,5\nsd 5\nTURN 6,6\nsd 4\nTURN 4,7\nEND\n";

std::string replies(EngineFactory make, EngineRecycler recycle) {
  std::istringstream in(SESSION);
  std::ostringstream out;
  {
    FrontEnd front_end(in, out, make, LineEnd::LF, exact_brain(), recycle);
    front_end.run();
  }
  return out.str();
}

TEST(EngineRecycling, RecycledEnginesPlayAsFreshOnes) {
  const std::string fresh = replies(make_engine_on_heap, nullptr);
  const std::string first = replies(from_pool, to_pool);
  EXPECT_EQ(engines_made, 1);
  EXPECT_EQ(engines_returned, 3) << "two games replaced, and the last one at the end";
  const std::string again = replies(from_pool, to_pool);
  EXPECT_EQ(engines_made, 1);
  EXPECT_EQ(first, fresh);
  EXPECT_EQ(again, fresh);
  // Three OKs, eight depth replies and nine moves.
  EXPECT_EQ(std::count(fresh.begin(), fresh.end(), '\n'), 3 + 8 + 9) << fresh;
}

}  // namespace
}  // namespace quorlith::test
