// The board's HTTP server: the page's files, and the JSON API of
// board/api_routes.h under /api/, with a guard against other sites' pages.
#pragma once

#include <string_view>

#include "board/api_routes.h"
#include "board/game_service.h"

namespace httplib {
class Server;
}

namespace quorlith::board {

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
