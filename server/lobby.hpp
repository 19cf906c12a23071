#pragma once
// The table server without sockets: every connection's messages come in as text, every answer
// goes out as text to a connection, and time is passed in, so the tests drive it directly. It
// holds the tables, their invite codes and rejoin tokens, and the bounds on what a client may
// do (message rate, failed codes per address, idle time, tables and connections).
//
// Each table is the authority for its match: it deals with the game's deal code, plays every
// card through the rules core, scores with the game's scoring, and tells each seat only what
// that seat may see (net/seat_view.hpp). The computer seats' decisions are asked of the owner
// (ThinkRequest), who may answer from another thread's result later (Lobby::Answer); a stale
// answer is dropped.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/rules.hpp"
#include "net/protocol.hpp"
#include "opponent/play_reading.hpp"

namespace pellow::server {

using ConnectionId = std::uint64_t;

struct Limits {
    int maxTables = 2000;
    int maxConnections = 5000;
    int connectionsPerAddress = 64;
    // A steady rate and the burst above it, per connection.
    double messagesPerSecond = 20;
    double messageBurst = 40;
    // Failed codes and tokens per address in a minute.
    int failedCodesPerMinute = 10;
    // A connection that has said nothing for this long is closed; a new one must speak sooner.
    std::int64_t idleMillis = 10 * 60 * 1000;
    std::int64_t helloMillis = 10 * 1000;
    // Refusals after which a connection is closed.
    int refusalsBeforeClose = 20;
};

struct Outgoing {
    ConnectionId to = 0;
    std::string text;
    // Close the connection once this is sent.
    bool close = false;
};

struct ThinkRequest {
    std::uint64_t table = 0;
    std::uint64_t ticket = 0;
    DealState deal;
    int seat = 0;
    net::Level level = net::Level::Rules;
    std::uint32_t seed = 0;
    // How each seat chooses its cards: what the Expert reads the plays by, as in the game.
    SeatStyles styles = kUnknownStyles;
};

class Table;

class Lobby {
public:
    // `seed` 0: deals from the system's generator. Otherwise (for tests) table N deals and seeds
    // its Expert as the game does for a match of seed `seed` + N - 1.
    explicit Lobby(Limits limits = {}, std::uint64_t seed = 0);
    ~Lobby();
    Lobby(const Lobby&) = delete;
    Lobby& operator=(const Lobby&) = delete;

    // A new connection from `address`; false (with its refusal in the outbox) when over a bound.
    bool Open(ConnectionId id, const std::string& address, std::int64_t nowMillis);
    void Receive(ConnectionId id, std::string_view text, std::int64_t nowMillis);
    // The connection is gone; a seated person's seat goes to the computer until they return.
    void Closed(ConnectionId id);
    // Turn timers and idle connections.
    void Tick(std::int64_t nowMillis);
    // A computer seat's card, for the request of that ticket.
    void Answer(std::uint64_t table, std::uint64_t ticket, int card);
    // Every client is told and let go.
    void Shutdown();

    // What to send, and what to think about, since the last take.
    std::vector<Outgoing> TakeOutbox();
    std::vector<ThinkRequest> TakeThinking();

    std::size_t TableCount() const;
    std::size_t ConnectionCount() const { return connections_.size(); }
    // One line per event that matters, for the journal; taken like the outbox.
    std::vector<std::string> TakeLog();

    // The table's shared state with the lobby, for the tables' own use.
    struct Shared;

private:
    struct Connection;
    void Refuse(ConnectionId id, Connection& c, net::ErrorCode code, std::string_view detail, bool close = false);
    void Handle(ConnectionId id, Connection& c, const net::ClientMessage& message, std::int64_t now);
    bool MayTryCode(Connection& c, std::int64_t now);
    void DropTable(std::uint64_t table);
    void DropEnded();

    Limits limits_;
    std::unique_ptr<Shared> shared_;
    std::unordered_map<ConnectionId, std::unique_ptr<Connection>> connections_;
    std::map<std::string, int> perAddress_;
    struct Failures {
        std::int64_t windowStart = 0;
        int count = 0;
    };
    std::map<std::string, Failures> failures_;
    // The results of finished matches by their seats' tokens, kept this long.
    static constexpr std::int64_t kResultMillis = 10 * 60 * 1000;
    struct Result {
        std::string result;
        std::int64_t until = 0;
    };
    std::unordered_map<std::string, Result> finished_;
};

}  // namespace pellow::server
