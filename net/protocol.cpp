#include "protocol.hpp"

#include <cstdint>

namespace pellow::net {
namespace {

using nlohmann::json;

// The reader's own result while it walks a message: a refusal stops it.
struct Bad {
    std::string detail;
};

std::optional<std::int64_t> IntValue(const json& v) {
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        return u > 1'000'000'000u ? std::nullopt : std::optional<std::int64_t>(static_cast<std::int64_t>(u));
    }
    if (v.is_number_integer()) return v.get<std::int64_t>();
    return std::nullopt;
}

int IntField(const json& o, const char* key, int lo, int hi, std::optional<int> fallback = std::nullopt) {
    const auto it = o.find(key);
    if (it == o.end()) {
        if (fallback) return *fallback;
        throw Bad{std::string("\"") + key + "\" is missing"};
    }
    const auto v = IntValue(*it);
    if (!v || *v < lo || *v > hi)
        throw Bad{std::string("\"") + key + "\" must be a whole number from " + std::to_string(lo) + " to " +
                  std::to_string(hi)};
    return static_cast<int>(*v);
}

std::string TextField(const json& o, const char* key, std::size_t maxBytes, bool required) {
    const auto it = o.find(key);
    if (it == o.end()) {
        if (required) throw Bad{std::string("\"") + key + "\" is missing"};
        return {};
    }
    if (!it->is_string()) throw Bad{std::string("\"") + key + "\" must be text"};
    const auto& s = it->get_ref<const std::string&>();
    if (s.size() > maxBytes) throw Bad{std::string("\"") + key + "\" is too long"};
    // Control characters would reach other players' screens and logs.
    for (const unsigned char c : s)
        if (c < 0x20 || c == 0x7f) throw Bad{std::string("\"") + key + "\" holds a control character"};
    return s;
}

Level LevelField(const json& o, const char* key, Level fallback) {
    const auto it = o.find(key);
    if (it == o.end()) return fallback;
    if (*it == "rules") return Level::Rules;
    if (*it == "expert") return Level::Expert;
    throw Bad{std::string("\"") + key + "\" must be \"rules\" or \"expert\""};
}

ClientMessage ReadMessage(const json& o, const std::string& type) {
    if (type == "create") {
        Create m;
        m.seat = IntField(o, "seat", 0, 3, 0);
        m.name = TextField(o, "name", kMaxNameBytes, false);
        m.awayLevel = LevelField(o, "awayLevel", Level::Rules);
        m.turnSeconds = IntField(o, "turnSeconds", 0, kMaxTurnSeconds, 0);
        return m;
    }
    if (type == "join")
        return Join{TextField(o, "code", 64, true), TextField(o, "name", kMaxNameBytes, false), IntField(o, "seat", -1, 3, -1)};
    if (type == "rejoin") return Rejoin{TextField(o, "token", 64, true)};
    if (type == "seat") {
        SetSeat m;
        m.seat = IntField(o, "seat", 0, 3);
        const std::string kind = TextField(o, "kind", 16, true);
        if (kind == "open") m.kind = SeatKind::Open;
        else if (kind == "computer") m.kind = SeatKind::Computer;
        else if (kind == "reserved") m.kind = SeatKind::Reserved;
        else throw Bad{"\"kind\" must be \"open\", \"computer\" or \"reserved\""};
        m.level = LevelField(o, "level", Level::Rules);
        return m;
    }
    if (type == "start") return Start{};
    if (type == "play") return Play{IntField(o, "card", 0, 51)};
    if (type == "leave") return Leave{};
    throw type;
}

// Lead byte's length, and the smallest value that length may carry.
bool ValidSequence(const unsigned char* p, std::size_t left, std::size_t& length) {
    const unsigned char c = p[0];
    std::uint32_t value = 0, least = 0;
    if (c < 0x80) return length = 1, true;
    if (c >= 0xC2 && c <= 0xDF) length = 2, value = c & 0x1Fu, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) length = 3, value = c & 0x0Fu, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) length = 4, value = c & 0x07u, least = 0x10000;
    else return false;
    if (left < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80) return false;
        value = value << 6 | (p[i] & 0x3Fu);
    }
    return value >= least && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
}

}  // namespace

const char* LevelName(Level level) { return level == Level::Expert ? "expert" : "rules"; }

const char* ErrorName(ErrorCode code) {
    switch (code) {
        case ErrorCode::TooLarge: return "too_large";
        case ErrorCode::BadUtf8: return "bad_utf8";
        case ErrorCode::BadJson: return "bad_json";
        case ErrorCode::BadVersion: return "bad_version";
        case ErrorCode::UnknownType: return "unknown_type";
        case ErrorCode::BadField: return "bad_field";
        case ErrorCode::NotNow: return "not_now";
        case ErrorCode::NotYourTurn: return "not_your_turn";
        case ErrorCode::NotInHand: return "not_in_hand";
        case ErrorCode::NotAllowed: return "not_allowed";
        case ErrorCode::SeatTaken: return "seat_taken";
        case ErrorCode::NoSuchCode: return "no_such_code";
        case ErrorCode::TooManyAttempts: return "too_many_attempts";
        case ErrorCode::NotHost: return "not_host";
        case ErrorCode::Flood: return "flood";
        case ErrorCode::Idle: return "idle";
        case ErrorCode::Full: return "full";
        case ErrorCode::ServerStopping: return "server_stopping";
    }
    return "error";
}

bool ValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0, length = 0;
    while (i < text.size()) {
        if (!ValidSequence(p + i, text.size() - i, length)) return false;
        i += length;
    }
    return true;
}

std::variant<ClientMessage, Refusal> ParseClientMessage(std::string_view text, bool first) {
    if (text.size() > kMaxMessageBytes) return Refusal{ErrorCode::TooLarge, "a message may hold at most 4096 bytes"};
    if (!ValidUtf8(text)) return Refusal{ErrorCode::BadUtf8, "the message is not valid UTF-8"};
    // The size bound also bounds the parser's nesting: a few thousand levels at most.
    const json o = json::parse(text, nullptr, false);
    if (o.is_discarded()) return Refusal{ErrorCode::BadJson, "the message is not JSON"};
    if (!o.is_object()) return Refusal{ErrorCode::BadJson, "a message is a JSON object"};
    const auto version = o.find("v");
    if (version == o.end()) {
        if (first) return Refusal{ErrorCode::BadVersion, "the first message must carry the protocol version \"v\""};
    } else if (*version != kProtocolVersion) {
        return Refusal{ErrorCode::BadVersion, "this server speaks protocol version 1"};
    }
    const auto type = o.find("type");
    if (type == o.end() || !type->is_string()) return Refusal{ErrorCode::BadField, "\"type\" is missing"};
    try {
        return ReadMessage(o, type->get<std::string>());
    } catch (const Bad& bad) {
        return Refusal{ErrorCode::BadField, bad.detail};
    } catch (const std::string&) {
        return Refusal{ErrorCode::UnknownType, "unknown message type"};
    }
}

std::string Encode(const ClientMessage& message) {
    json o;
    std::visit(
        [&](const auto& m) {
            using T = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<T, Create>) {
                o = {{"type", "create"}, {"seat", m.seat}, {"awayLevel", LevelName(m.awayLevel)}, {"turnSeconds", m.turnSeconds}};
                if (!m.name.empty()) o["name"] = m.name;
            } else if constexpr (std::is_same_v<T, Join>) {
                o = {{"type", "join"}, {"code", m.code}};
                if (!m.name.empty()) o["name"] = m.name;
                if (m.seat >= 0) o["seat"] = m.seat;
            } else if constexpr (std::is_same_v<T, Rejoin>) {
                o = {{"type", "rejoin"}, {"token", m.token}};
            } else if constexpr (std::is_same_v<T, SetSeat>) {
                const char* kind = m.kind == SeatKind::Computer ? "computer" : m.kind == SeatKind::Reserved ? "reserved" : "open";
                o = {{"type", "seat"}, {"seat", m.seat}, {"kind", kind}, {"level", LevelName(m.level)}};
            } else if constexpr (std::is_same_v<T, Start>) {
                o = {{"type", "start"}};
            } else if constexpr (std::is_same_v<T, Play>) {
                o = {{"type", "play"}, {"card", m.card}};
            } else {
                o = {{"type", "leave"}};
            }
        },
        message);
    o["v"] = kProtocolVersion;
    return o.dump();
}

std::optional<ServerMessage> ParseServerMessage(std::string_view text, std::string* why) {
    auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return std::nullopt;
    };
    if (text.size() > kMaxMessageBytes) return fail("the server sent a message over 4096 bytes");
    json o = json::parse(text, nullptr, false);
    if (o.is_discarded() || !o.is_object()) return fail("the server sent a message that is not a JSON object");
    const auto type = o.find("type");
    if (type == o.end() || !type->is_string()) return fail("the server sent a message without a type");
    std::string name = type->get<std::string>();
    return ServerMessage{std::move(name), std::move(o)};
}

std::string ErrorMessage(ErrorCode code, std::string_view detail) {
    return json{{"type", "error"}, {"code", ErrorName(code)}, {"message", detail}}.dump();
}

std::string ByeMessage(std::string_view reason) { return json{{"type", "bye"}, {"reason", reason}}.dump(); }

}  // namespace pellow::net
