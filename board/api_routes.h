// The board's JSON API as plain calls: a request's method, path and body in,
// its status and JSON body out. The HTTP server (board/http_api.h) and the
// browser's worker (web/) answer through it, so both speak the same JSON,
// with the same errors. It only parses requests, checks their shape, calls
// the service and writes its replies; every game rule is the service's.
//
//   POST   /api/games                {"size", "brain", "engine_first", "time_ms", "depth", "board"}
//   GET    /api/games/{id}           the game's state
//   DELETE /api/games/{id}
//   POST   /api/games/{id}/moves     {"x", "y"}
//   POST   /api/games/{id}/undo
//   POST   /api/games/{id}/hint      {"depth"} optional
//   POST   /api/games/{id}/watch     {"on"}
//   GET    /api/games/{id}/board     {"board": "BOARD\n...DONE\n"}
//
// Errors are {"error": "..."} with 400 (malformed request), 404 (unknown
// game or route), 409 (the game cannot do that now), 413 (body too large)
// or 503 (no room for another game).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "board/game_service.h"

namespace quorlith::board {

// Longest request body read; a BOARD block of a full 32 x 32 board needs
// about 10 KB.
constexpr std::size_t MAX_BODY_BYTES = 64 * 1024;

struct ApiReply {
  int status = 200;
  std::string body;  // JSON
};

// Answers one request to a path under /api/ (a query string is ignored).
ApiReply answer_api_request(GameService& service, std::string_view method, std::string_view path,
                            std::string_view body);

// {"error": message}, the body of every refusal.
std::string error_json(std::string_view message);

// A game's state as the API reports it.
std::string game_state_json(const GameView& game);

}  // namespace quorlith::board
