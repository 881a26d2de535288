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
#include <string_view>

#include "board/game_service.h"

namespace httplib {
class Server;
}

namespace quorlith::board {

// Longest request body read; a BOARD block of a full 32 x 32 board needs
// about 10 KB.
constexpr std::size_t MAX_BODY_BYTES = 64 * 1024;

// Whether a Host header names this machine's loopback interface
// (127.x.x.x, localhost or ::1, with or without a port).
bool is_loopback_host(std::string_view host_header);

// Sets up every route, the body limit and the JSON error replies. Requests
// that a web page of another site could make through the player's browser
// are refused with 403: any request whose Origin is not this server's own,
// and, when the server serves loopback only, any request whose Host is not
// a loopback name (a page whose domain has been pointed at 127.0.0.1).
void install_routes(httplib::Server& server, GameService& service, bool loopback_only = true);

}  // namespace quorlith::board
