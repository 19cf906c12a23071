#pragma once
// The lobby on a WebSocket: one session object per connection that owns its socket, reads one
// bounded message at a time and writes a queue of messages one after another; the lobby runs on
// the one network thread, the Expert's searches on a pool beside it. TLS when a certificate is
// given.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "server/lobby.hpp"

namespace pellow::server {

struct ServerOptions {
    std::string address = "127.0.0.1";
    unsigned short port = 7427;
    Limits limits;
    std::string tlsCert, tlsKey;
    int thinkingThreads = 2;
    // 0: the system's generator; otherwise table N deals and seeds its Expert as the game does
    // for a match of seed `seed` + N - 1 (for tests).
    std::uint64_t seed = 0;
};

// Serves until SIGTERM or SIGINT, then tells every client and returns. Throws on a bad address
// or certificate. `log` gets each line for stderr, the first one "listening on ADDRESS:PORT".
void RunServer(const ServerOptions& options, const std::function<void(const std::string&)>& log);

}  // namespace pellow::server
