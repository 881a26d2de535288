// The engine of the static site: the board's game service and its JSON
// routes, compiled to WebAssembly for the page's worker (web/worker.js).
// The service runs without threads (a static host cannot be counted on to
// allow shared memory): the worker answers each request at once and runs
// the queued searches itself, one at a time, between requests.
//
// Calls, all from the worker's one thread:
//   quorlith_prepare()           makes the service and its tables, and
//       readies the first game's memory, while the page is still loading.
//   quorlith_request(method, path, body, age_ms)  answers one API request;
//       age_ms is how long ago the page sent it. Returns the HTTP status;
//       the reply's JSON is then quorlith_reply().
//   quorlith_searches_queued()   searches waiting to run.
//   quorlith_run_search()        runs the first of them to its end, posting
//       the game's state after each finished iteration; 0 when none waited.
#include <emscripten/emscripten.h>

#include <memory>
#include <new>
#include <string>

#include "board/api_routes.h"
#include "board/game_service.h"
#include "engine/platform.h"
#include "protocol/brain.h"

namespace {

using namespace quorlith;
using namespace quorlith::board;

// One game per page, and room for the next one while the old one is let
// go; a game holds the Engine (18 MB) and its brain (the plus brain's
// tables another 20 MB).
constexpr int MAX_GAMES = 2;

GameService& service() {
  static GameService games(ServiceConfig{MAX_GAMES, 1, true});
  return games;
}

std::string reply;

}  // namespace

// The worker posts each state to the page as it comes.
EM_JS(void, post_progress, (const char* state_json), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(state_json));
});

extern "C" {

void quorlith_prepare() {
  service();
  // The linear memory grows as games need it, and the system supplies each
  // new page when it is first touched, slowly: some 200 ms for the Engine
  // and the plus brain's tables. One of each, made and dropped now, leaves
  // that memory touched and free for the first game.
  const std::unique_ptr<Engine> engine(new (std::nothrow) Engine);
  const std::unique_ptr<Brain> brain = make_plus_brain();
}

int quorlith_request(const char* method, const char* path, const char* body, double age_ms) {
  GameService& games = service();
  const int64_t age = age_ms > 0 && age_ms < 1e9 ? static_cast<int64_t>(age_ms) : 0;
  games.set_request_sent_ms(clock_ms() - age);
  ApiReply answer = answer_api_request(games, method, path, body);
  games.set_request_sent_ms(std::nullopt);
  reply = std::move(answer.body);
  return answer.status;
}

const char* quorlith_reply() { return reply.c_str(); }

int quorlith_searches_queued() { return service().stats().searching; }

int quorlith_run_search() {
  return service().run_next_search([](const GameView& game) {
    const std::string state = game_state_json(game);
    post_progress(state.c_str());
  });
}

}  // extern "C"
