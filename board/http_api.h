// The board's HTTP layer: the page's files and the JSON API over a
// GameService. It only parses requests, checks their shape, calls the
// service and writes its replies as JSON; every game rule is the service's.
//
//   POST   /api/games                {"size", "engine_first", "time_ms", "depth", "board"}
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

#include "board/game_service.h"

namespace httplib {
class Server;
}

namespace quorlith::board {

// Longest request body read; a BOARD block of a full 32 x 32 board needs
// about 10 KB.
constexpr std::size_t MAX_BODY_BYTES = 64 * 1024;

// Sets up every route, the body limit and the JSON error replies.
void install_routes(httplib::Server& server, GameService& service);

}  // namespace quorlith::board
