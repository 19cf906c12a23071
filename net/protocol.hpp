#pragma once
// The table protocol: JSON text messages over a WebSocket (docs/PROTOCOL.md lists them all).
// What a client sends is read here, checked field by field before anything uses it, into typed
// messages; what the server sends is written here too, and read back for clients. No sockets:
// the game, the server, the headless client and the tests share this code.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace pellow::net {

inline constexpr int kProtocolVersion = 1;
// Every message either way fits in this; a longer one is refused unread.
inline constexpr std::size_t kMaxMessageBytes = 4096;
// Names are shown to the other seats: short, and only printable text.
inline constexpr std::size_t kMaxNameBytes = 32;
inline constexpr int kMaxTurnSeconds = 600;

// The level a computer seat plays at: the Classic rule set or the Expert.
enum class Level { Rules, Expert };
const char* LevelName(Level level);

// ---- What a client sends ----
// Opens a table; the sender is its host, at `seat`.
struct Create {
    int seat = 0;
    std::string name;
    // Who plays for a person who is away (dropped, or out of time).
    Level awayLevel = Level::Rules;
    // 0: no turn timer.
    int turnSeconds = 0;
};
// Takes the seat an invite code stands for: a free seat (the table's code), the reserved one
// (a seat's code) or none (the watchers' code).
struct Join {
    std::string code;
    std::string name;
    // With the table's code: this free seat rather than the first one.
    int seat = -1;
};
// Back in one's own seat with the secret token the welcome gave.
struct Rejoin {
    std::string token;
};
// The host, before the start: who a seat is for.
enum class SeatKind { Open, Computer, Reserved };
struct SetSeat {
    int seat = 0;
    SeatKind kind = SeatKind::Open;
    Level level = Level::Rules;
};
struct Start {};
struct Play {
    int card = -1;
};
// Leaves the table for good: a computer plays the seat to the match's end.
struct Leave {};
using ClientMessage = std::variant<Create, Join, Rejoin, SetSeat, Start, Play, Leave>;

// Every refusal, the reader's and the table's, with the name the error message carries.
enum class ErrorCode {
    TooLarge,
    BadUtf8,
    BadJson,
    BadVersion,
    UnknownType,
    BadField,
    NotNow,
    NotYourTurn,
    NotInHand,
    NotAllowed,
    SeatTaken,
    NoSuchCode,
    TooManyAttempts,
    NotHost,
    Flood,
    Idle,
    Full,
    ServerStopping,
};
const char* ErrorName(ErrorCode code);

struct Refusal {
    ErrorCode code = ErrorCode::BadJson;
    std::string detail;
};

// Reads one message from a client. The first message of a connection must carry the protocol
// version ("v"); a later one may, and must then carry the same. Never throws.
std::variant<ClientMessage, Refusal> ParseClientMessage(std::string_view text, bool first);

// The text of a client's message (the headless client and the tests send these).
std::string Encode(const ClientMessage& message);

// Whole, well-formed UTF-8 without overlong forms or surrogates.
bool ValidUtf8(std::string_view text);

// ---- What the server sends ----
// A message read back by a client: its type and its object. The reader checks only what every
// message has; each field is checked where it is used.
struct ServerMessage {
    std::string type;
    nlohmann::json body;
};
std::optional<ServerMessage> ParseServerMessage(std::string_view text, std::string* why);

// The server's messages that do not depend on what a seat may see (seat_view.hpp has those).
std::string ErrorMessage(ErrorCode code, std::string_view detail);
std::string ByeMessage(std::string_view reason);

}  // namespace pellow::net
