#include "lobby.hpp"

#include <algorithm>
#include <array>

#include "engine/dealing.hpp"
#include "engine/match.hpp"
#include "engine/phases.hpp"
#include "net/codes.hpp"
#include "net/seat_view.hpp"

namespace pellow::server {

using net::ErrorCode;
using net::kNoSeat;
using nlohmann::json;

namespace {

// What an invite code opens: any free seat, one reserved seat, or the watchers' view.
inline constexpr int kAnySeat = -1;
inline constexpr int kWatch = -2;

struct CodeEntry {
    std::uint64_t table = 0;
    int seat = kAnySeat;
};

struct TokenEntry {
    std::uint64_t table = 0;
    int seat = 0;
};

// 32 bits from two of the generator's 24-bit draws.
std::uint32_t SystemSeed(RandomSource& random) {
    return static_cast<std::uint32_t>(random.Rnd() * 16777216.0f) << 8 ^ static_cast<std::uint32_t>(random.Rnd() * 16777216.0f);
}

}  // namespace

struct Lobby::Shared {
    Limits limits;
    // The system's generator: the deals of a server given no seed, and its tables' seeds.
    std::unique_ptr<RandomSource> random;
    // Nonzero (for tests): table N plays the match the game plays with seed `seed` + N - 1.
    std::uint64_t seed = 0;
    std::int64_t now = 0;
    std::vector<Outgoing> outbox;
    std::vector<ThinkRequest> thinking;
    std::vector<std::string> log;
    std::map<std::uint64_t, std::unique_ptr<Table>> tables;
    std::uint64_t nextTable = 1;
    std::unordered_map<std::string, CodeEntry> codes;
    std::unordered_map<std::string, TokenEntry> tokens;
    // Tables whose match is over or that were closed, for the lobby to let go.
    std::vector<std::uint64_t> ended;

    void Send(ConnectionId to, std::string text, bool close = false) {
        outbox.push_back({to, std::move(text), close});
    }
    // A code no table holds yet (a clash of 80 random bits is not expected, but costs nothing).
    std::string NewCode(std::uint64_t table, int seat) {
        std::string code;
        do code = net::NewInviteCode();
        while (codes.count(code));
        codes[code] = {table, seat};
        return code;
    }
};

struct Lobby::Connection {
    std::string address;
    bool greeted = false;
    std::int64_t lastHeard = 0;
    double allowance = 0;
    std::int64_t lastRefill = 0;
    int refusals = 0;
    std::uint64_t table = 0;
    bool closing = false;
};

namespace {

struct Seat {
    enum class Kind { Open, Reserved, Person, Computer } kind = Kind::Open;
    net::Level level = net::Level::Rules;
    std::string name;
    // The person's connection; 0 while they are away (a computer plays for them meanwhile).
    ConnectionId conn = 0;
    std::string token;
    std::string reservedCode;
    // Joined during a deal: seated at the next.
    bool waiting = false;
};

}  // namespace

class Table {
public:
    Table(Lobby::Shared& shared, std::uint64_t id, const net::Create& create)
        : s_(shared), id_(id), awayLevel_(create.awayLevel), turnSeconds_(create.turnSeconds),
          seed_(shared.seed ? static_cast<std::uint32_t>(shared.seed + id - 1) : SystemSeed(*shared.random)) {
        // As the game does with a match's seed: the deals come from a generator seeded with it,
        // the Expert's searches from the seed itself. Unseeded, the deals come from the system's
        // generator, which no player can work out from the cards they see.
        if (shared.seed) ownRandom_ = std::make_unique<MersenneRandom>(seed_);
        code_ = s_.NewCode(id_, kAnySeat);
        watchCode_ = s_.NewCode(id_, kWatch);
    }

    ~Table() {
        s_.codes.erase(code_);
        s_.codes.erase(watchCode_);
        for (const Seat& seat : seats_) {
            if (!seat.reservedCode.empty()) s_.codes.erase(seat.reservedCode);
            if (!seat.token.empty()) s_.tokens.erase(seat.token);
        }
    }

    void MarkOver() {
        if (!over_) s_.ended.push_back(id_);
        over_ = true;
    }
    // The match's end as its seats were told it; empty for a table closed before its end.
    std::string Result() const { return score_.matchOver ? net::MatchEndMessage(score_) : std::string(); }
    std::vector<std::string> Tokens() const {
        std::vector<std::string> tokens;
        for (const Seat& seat : seats_)
            if (!seat.token.empty()) tokens.push_back(seat.token);
        return tokens;
    }
    const std::string& Code() const { return code_; }

    void SeatHost(ConnectionId conn, const net::Create& create) {
        host_ = conn;
        Sit(conn, create.seat, create.name, /*host=*/true);
    }

    // A person takes `seat` (kAnySeat: the first free one) or watches (kWatch).
    std::optional<net::Refusal> Join(ConnectionId conn, int seat, const std::string& name, int wanted) {
        if (seat == kWatch) {
            watchers_.push_back(conn);
            s_.Send(conn, json{{"type", "welcome"}, {"v", net::kProtocolVersion}, {"role", "watcher"}}.dump());
            s_.Send(conn, TableText());
            if (started_) s_.Send(conn, net::StateMessage(deal_, score_, kNoSeat, dealIndex_));
            return std::nullopt;
        }
        if (seat == kAnySeat && wanted >= 0) {
            if (seats_[wanted].kind != Seat::Kind::Open) return net::Refusal{ErrorCode::SeatTaken, "that seat is taken"};
            seat = wanted;
        } else if (seat == kAnySeat) {
            for (int i = 0; i < 4 && seat == kAnySeat; ++i)
                if (seats_[i].kind == Seat::Kind::Open) seat = i;
            if (seat == kAnySeat) return net::Refusal{ErrorCode::SeatTaken, "every seat of this table is taken"};
        } else if (seats_[seat].kind != Seat::Kind::Reserved) {
            return net::Refusal{ErrorCode::SeatTaken, "that seat is taken"};
        }
        Sit(conn, seat, name, false);
        return std::nullopt;
    }

    std::optional<net::Refusal> Rejoin(ConnectionId conn, int seat) {
        Seat& p = seats_[seat];
        if (p.conn != 0) s_.Send(p.conn, net::ByeMessage("your seat was taken up from another connection"), true);
        p.conn = conn;
        Welcome(conn, seat);
        BroadcastSame(TableText());
        if (started_ && !p.waiting) {
            s_.Send(conn, net::StateMessage(deal_, score_, seat, dealIndex_));
            if (deal_.toPlay == seat && !DealOver(deal_)) s_.Send(conn, net::TurnMessage(deal_, seat, turnSeconds_));
        }
        s_.log.push_back(Describe() + "seat " + std::to_string(seat) + " returned");
        return std::nullopt;
    }

    std::optional<net::Refusal> SetSeat(ConnectionId conn, const net::SetSeat& m) {
        if (conn != host_) return net::Refusal{ErrorCode::NotHost, "only the host chooses the seats"};
        if (started_) return net::Refusal{ErrorCode::NotNow, "the match has started"};
        Seat& seat = seats_[m.seat];
        if (seat.kind == Seat::Kind::Person) return net::Refusal{ErrorCode::SeatTaken, "a person sits there"};
        if (!seat.reservedCode.empty()) s_.codes.erase(seat.reservedCode), seat.reservedCode.clear();
        seat.level = m.level;
        if (m.kind == net::SeatKind::Open) seat.kind = Seat::Kind::Open;
        if (m.kind == net::SeatKind::Computer) seat.kind = Seat::Kind::Computer;
        if (m.kind == net::SeatKind::Reserved) {
            seat.kind = Seat::Kind::Reserved;
            seat.reservedCode = s_.NewCode(id_, m.seat);
            s_.Send(conn, json{{"type", "seat_code"}, {"seat", m.seat}, {"code", seat.reservedCode}}.dump());
        }
        BroadcastSame(TableText());
        return std::nullopt;
    }

    std::optional<net::Refusal> Start(ConnectionId conn) {
        if (conn != host_) return net::Refusal{ErrorCode::NotHost, "only the host starts the match"};
        if (started_) return net::Refusal{ErrorCode::NotNow, "the match has started"};
        started_ = true;
        s_.log.push_back(Describe() + "match started");
        BroadcastSame(TableText());
        StartDeal();
        return std::nullopt;
    }

    std::optional<net::Refusal> Play(ConnectionId conn, int card) {
        const int seat = SeatOf(conn);
        if (seat == kNoSeat || !started_ || seats_[seat].waiting)
            return net::Refusal{ErrorCode::NotNow, "you have no hand in this deal"};
        if (DealOver(deal_) || deal_.toPlay != seat || timedOut_)
            return net::Refusal{ErrorCode::NotYourTurn, "it is not your turn"};
        if (!Holds(deal_, seat, card)) return net::Refusal{ErrorCode::NotInHand, "that card is not in your hand"};
        if (!MayPlay(deal_, seat, card)) return net::Refusal{ErrorCode::NotAllowed, "you must follow the suit led"};
        Apply(seat, card);
        return std::nullopt;
    }

    // The person leaves for good: a computer plays the seat from now on.
    void Leave(ConnectionId conn) {
        const int seat = SeatOf(conn);
        if (seat == kNoSeat) return Dropped(conn);
        Seat& p = seats_[seat];
        s_.tokens.erase(p.token);
        p.token.clear();
        p.conn = 0;
        p.kind = started_ ? Seat::Kind::Computer : Seat::Kind::Open;
        p.level = awayLevel_;
        p.waiting = false;
        s_.log.push_back(Describe() + "seat " + std::to_string(seat) + " left");
        if (conn == host_ && !started_) return Close("the host closed the table");
        BroadcastSame(TableText());
        HandToComputerIfDue(seat);
    }

    void Dropped(ConnectionId conn) {
        std::erase(watchers_, conn);
        const int seat = SeatOf(conn);
        if (seat == kNoSeat) return;
        if (!started_) return Leave(conn);
        seats_[seat].conn = 0;
        s_.log.push_back(Describe() + "seat " + std::to_string(seat) + " dropped; a computer plays it");
        BroadcastSame(TableText());
        HandToComputerIfDue(seat);
    }

    void Tick() {
        if (deadline_ != 0 && s_.now >= deadline_ && !thinking_) {
            timedOut_ = true;
            deadline_ = 0;
            AskComputer(deal_.toPlay);
        }
    }

    void Answer(std::uint64_t ticket, int card) {
        if (ticket != ticket_ || !thinking_ || over_) return;
        const int seat = deal_.toPlay;
        // A computer's card is the rules core's to judge like anyone's.
        if (!MayPlay(deal_, seat, card)) {
            s_.log.push_back(Describe() + "computer seat " + std::to_string(seat) + " chose a card it may not play");
            card = LegalCards(deal_).card[0];
        }
        Apply(seat, card);
    }

    // Every connection at the table is told and let go; the lobby then drops the table.
    void Close(const std::string& reason) {
        BroadcastSame(net::ByeMessage(reason), true);
        MarkOver();
    }

    std::vector<ConnectionId> Connections() const {
        std::vector<ConnectionId> all = watchers_;
        for (const Seat& seat : seats_)
            if (seat.conn) all.push_back(seat.conn);
        return all;
    }

private:
    void Sit(ConnectionId conn, int seat, const std::string& name, bool host) {
        Seat& p = seats_[seat];
        p.kind = Seat::Kind::Person;
        p.name = name;
        p.conn = conn;
        p.waiting = started_;
        if (!p.reservedCode.empty()) s_.codes.erase(p.reservedCode), p.reservedCode.clear();
        do p.token = net::NewRejoinToken();
        while (s_.tokens.count(p.token));
        s_.tokens[p.token] = {id_, seat};
        Welcome(conn, seat, host);
        BroadcastSame(TableText());
        if (started_) s_.Send(conn, net::StateMessage(deal_, score_, kNoSeat, dealIndex_));
        s_.log.push_back(Describe() + "seat " + std::to_string(seat) + " taken" + (p.waiting ? " from the next deal" : ""));
    }

    void Welcome(ConnectionId conn, int seat, bool host = false) {
        json w = {{"type", "welcome"}, {"v", net::kProtocolVersion}, {"role", "player"},
                  {"seat", seat},      {"token", seats_[seat].token}, {"host", conn == host_}};
        if (host) w["code"] = code_, w["watchCode"] = watchCode_;
        s_.Send(conn, w.dump());
    }

    std::string TableText() const {
        std::array<net::SeatInfo, 4> info;
        for (int i = 0; i < 4; ++i) {
            const Seat& p = seats_[i];
            info[i].name = p.name;
            info[i].level = p.level;
            switch (p.kind) {
                case Seat::Kind::Open: info[i].kind = "open"; break;
                case Seat::Kind::Reserved: info[i].kind = "reserved"; break;
                case Seat::Kind::Computer: info[i].kind = "computer"; break;
                case Seat::Kind::Person:
                    info[i].kind = p.conn ? "person" : "away";
                    info[i].level = awayLevel_;
                    break;
            }
        }
        return net::TableMessage(info, started_, turnSeconds_);
    }

    // Each person and watcher gets the text for what it may see: its seat, or kNoSeat.
    template <class Text>
    void Broadcast(Text text, bool close = false) {
        for (int seat = 0; seat < 4; ++seat)
            if (seats_[seat].conn) s_.Send(seats_[seat].conn, text(seats_[seat].waiting ? kNoSeat : seat), close);
        for (const ConnectionId w : watchers_) s_.Send(w, text(kNoSeat), close);
    }
    // A message every seat sees alike is written once.
    void BroadcastSame(const std::string& text, bool close = false) {
        Broadcast([&](int) -> const std::string& { return text; }, close);
    }

    int SeatOf(ConnectionId conn) const {
        for (int seat = 0; seat < 4; ++seat)
            if (seats_[seat].kind == Seat::Kind::Person && seats_[seat].conn == conn) return seat;
        return kNoSeat;
    }

    bool PersonPlays(int seat) const {
        return seats_[seat].kind == Seat::Kind::Person && seats_[seat].conn != 0 && !seats_[seat].waiting;
    }

    net::Level LevelOf(int seat) const {
        return seats_[seat].kind == Seat::Kind::Computer ? seats_[seat].level : awayLevel_;
    }

    // A person plays as a person, away for a while too (the deal's plays were mostly theirs); a
    // computer seat, or a seat the computer keeps for a person to come, at its level.
    SeatStyles Styles() const {
        SeatStyles styles{};
        for (int i = 0; i < 4; ++i) {
            if (seats_[i].kind == Seat::Kind::Person && !seats_[i].waiting) styles[i] = SeatStyle::Person;
            else styles[i] = LevelOf(i) == net::Level::Expert ? SeatStyle::Expert : SeatStyle::Classic;
        }
        return styles;
    }

    std::string Describe() const { return "table " + std::to_string(id_) + ": "; }

    void StartDeal() {
        // The game's own deal on a match used only for it: shuffle, dealer, the deal order, the
        // first leader; the table keeps what outlives a deal.
        auto m = std::make_unique<Match>();
        m->random = ownRandom_ ? ownRandom_.get() : s_.random.get();
        m->dealerChosen = dealerChosen_;
        m->dealerSeat = dealerSeat_;
        m->score = score_;
        NewDeal(*m);
        DealAllAtOnce(*m);
        deal_ = m->deal;
        dealerChosen_ = m->dealerChosen;
        dealerSeat_ = m->dealerSeat;
        score_ = m->score;
        ++dealIndex_;
        for (Seat& seat : seats_) seat.waiting = false;
        Broadcast([&](int viewer) { return net::DealMessage(deal_, viewer, dealIndex_, dealerSeat_); });
        NextTurn();
    }

    void NextTurn() {
        ++ticket_;
        thinking_ = timedOut_ = false;
        deadline_ = 0;
        if (DealOver(deal_)) return EndDeal();
        const int seat = deal_.toPlay;
        const std::string mover = net::TurnMessage(deal_, seat, turnSeconds_), others = net::TurnMessage(deal_, kNoSeat, 0);
        Broadcast([&](int viewer) -> const std::string& { return viewer == seat ? mover : others; });
        if (!PersonPlays(seat)) return AskComputer(seat);
        if (turnSeconds_ > 0) deadline_ = s_.now + turnSeconds_ * 1000;
    }

    void HandToComputerIfDue(int seat) {
        if (started_ && !over_ && !DealOver(deal_) && deal_.toPlay == seat && !thinking_) AskComputer(seat);
    }

    void AskComputer(int seat) {
        thinking_ = true;
        s_.thinking.push_back({id_, ticket_, deal_, seat, LevelOf(seat), seed_, Styles()});
    }

    void Apply(int seat, int card) {
        const int winner = PlayCard(deal_, card);
        BroadcastSame(net::PlayedMessage(deal_, seat, card));
        if (winner >= 0) BroadcastSame(net::TrickMessage(deal_));
        NextTurn();
    }

    void EndDeal() {
        // Scored by the game's own scoring, on a match used only for it.
        auto m = std::make_unique<Match>();
        m->score = score_;
        m->motion.ourDealScore = DealPoints(deal_, 0);
        m->motion.theirDealScore = DealPoints(deal_, 1);
        ScoreDeal(*m);
        score_ = m->score;
        BroadcastSame(net::DealEndMessage(deal_, score_));
        if (!score_.matchOver) return StartDeal();
        s_.log.push_back(Describe() + "match over, " + std::to_string(score_.ourMatchPoints) + " to " +
                         std::to_string(score_.theirMatchPoints));
        BroadcastSame(net::MatchEndMessage(score_), true);
        MarkOver();
    }

    Lobby::Shared& s_;
    std::uint64_t id_;
    net::Level awayLevel_;
    int turnSeconds_;
    std::uint32_t seed_;
    std::unique_ptr<RandomSource> ownRandom_;
    std::string code_, watchCode_;
    ConnectionId host_ = 0;
    std::array<Seat, 4> seats_{};
    std::vector<ConnectionId> watchers_;
    bool started_ = false, over_ = false;
    MatchScore score_;
    DealState deal_;
    bool dealerChosen_ = false;
    int dealerSeat_ = 0;
    int dealIndex_ = 0;
    // The turn in play: answers for another ticket are stale.
    std::uint64_t ticket_ = 0;
    bool thinking_ = false, timedOut_ = false;
    std::int64_t deadline_ = 0;
};

Lobby::Lobby(Limits limits, std::uint64_t seed) : limits_(limits), shared_(std::make_unique<Shared>()) {
    shared_->limits = limits;
    shared_->seed = seed;
    if (seed == 0) shared_->random = std::make_unique<net::SystemRandom>();
}

Lobby::~Lobby() {
    // The tables unregister their codes from the shared maps: they go first.
    shared_->tables.clear();
}

bool Lobby::Open(ConnectionId id, const std::string& address, std::int64_t now) {
    shared_->now = now;
    const bool full = connections_.size() >= static_cast<std::size_t>(limits_.maxConnections);
    if (full || perAddress_[address] >= limits_.connectionsPerAddress) {
        if (perAddress_[address] == 0) perAddress_.erase(address);
        shared_->Send(id, net::ErrorMessage(ErrorCode::Full, full ? "the server is full" : "too many connections from your address"), true);
        return false;
    }
    ++perAddress_[address];
    auto c = std::make_unique<Connection>();
    c->address = address;
    c->lastHeard = c->lastRefill = now;
    c->allowance = limits_.messageBurst;
    connections_[id] = std::move(c);
    return true;
}

void Lobby::Refuse(ConnectionId id, Connection& c, ErrorCode code, std::string_view detail, bool close) {
    close = close || ++c.refusals >= limits_.refusalsBeforeClose;
    c.closing = c.closing || close;
    shared_->Send(id, net::ErrorMessage(code, detail), close);
}

void Lobby::Receive(ConnectionId id, std::string_view text, std::int64_t now) {
    shared_->now = now;
    const auto it = connections_.find(id);
    if (it == connections_.end() || it->second->closing) return;
    Connection& c = *it->second;
    c.lastHeard = now;
    c.allowance = std::min(limits_.messageBurst,
                           c.allowance + static_cast<double>(now - c.lastRefill) * limits_.messagesPerSecond / 1000.0);
    c.lastRefill = now;
    if (c.allowance < 1) return Refuse(id, c, ErrorCode::Flood, "too many messages", true);
    c.allowance -= 1;
    auto parsed = net::ParseClientMessage(text, !c.greeted);
    if (const auto* refusal = std::get_if<net::Refusal>(&parsed)) {
        // A client that cannot even say hello, or sends too much, is not kept.
        const bool close = !c.greeted || refusal->code == ErrorCode::TooLarge;
        return Refuse(id, c, refusal->code, refusal->detail, close);
    }
    Handle(id, c, std::get<net::ClientMessage>(parsed), now);
    DropEnded();
}

void Lobby::DropEnded() {
    for (const std::uint64_t table : std::exchange(shared_->ended, {})) DropTable(table);
}

bool Lobby::MayTryCode(Connection& c, std::int64_t now) {
    Failures& f = failures_[c.address];
    if (now - f.windowStart > 60'000) f = {now, 0};
    return f.count < limits_.failedCodesPerMinute;
}

void Lobby::Handle(ConnectionId id, Connection& c, const net::ClientMessage& message, std::int64_t now) {
    Shared& s = *shared_;
    Table* table = c.table ? s.tables.at(c.table).get() : nullptr;
    std::optional<net::Refusal> refusal;
    // An address that guessed wrong too often may try no code for a while, not even a right one.
    const bool tries = std::holds_alternative<net::Join>(message) || std::holds_alternative<net::Rejoin>(message);
    if (tries && !table && !MayTryCode(c, now))
        return Refuse(id, c, ErrorCode::TooManyAttempts, "too many wrong codes from your address; wait a minute", true);
    auto noCode = [&](const char* what) {
        ++failures_[c.address].count;
        Refuse(id, c, ErrorCode::NoSuchCode, what, !c.greeted);
    };
    if (const auto* create = std::get_if<net::Create>(&message)) {
        if (table) return Refuse(id, c, ErrorCode::NotNow, "you are at a table already");
        if (s.tables.size() >= static_cast<std::size_t>(limits_.maxTables))
            return Refuse(id, c, ErrorCode::Full, "the server holds as many tables as it may", true);
        const std::uint64_t tableId = s.nextTable++;
        auto made = std::make_unique<Table>(s, tableId, *create);
        s.log.push_back("table " + std::to_string(tableId) + ": created by " + c.address);
        c.greeted = true;
        c.table = tableId;
        made->SeatHost(id, *create);
        s.tables[tableId] = std::move(made);
        return;
    }
    if (const auto* join = std::get_if<net::Join>(&message)) {
        if (table) return Refuse(id, c, ErrorCode::NotNow, "you are at a table already");
        const auto code = net::CanonicalInviteCode(join->code);
        const auto entry = code ? s.codes.find(*code) : s.codes.end();
        if (entry == s.codes.end()) return noCode("no table has that code");
        // Taking a reserved seat spends its code: the entry is copied first.
        const CodeEntry opens = entry->second;
        table = s.tables.at(opens.table).get();
        refusal = table->Join(id, opens.seat, join->name, join->seat);
        if (!refusal) c.greeted = true, c.table = opens.table;
    } else if (const auto* rejoin = std::get_if<net::Rejoin>(&message)) {
        if (table) return Refuse(id, c, ErrorCode::NotNow, "you are at a table already");
        const auto entry = net::WellFormedToken(rejoin->token) ? s.tokens.find(rejoin->token) : s.tokens.end();
        if (const auto done = finished_.find(rejoin->token); entry == s.tokens.end() && done != finished_.end()) {
            c.closing = true;
            return s.Send(id, done->second.result, true);
        }
        if (entry == s.tokens.end()) return noCode("no seat has that token");
        const TokenEntry seat = entry->second;
        table = s.tables.at(seat.table).get();
        c.greeted = true;
        c.table = seat.table;
        refusal = table->Rejoin(id, seat.seat);
    } else if (!table) {
        refusal = net::Refusal{ErrorCode::NotNow, "create or join a table first"};
    } else if (const auto* seat = std::get_if<net::SetSeat>(&message)) {
        refusal = table->SetSeat(id, *seat);
    } else if (std::holds_alternative<net::Start>(message)) {
        refusal = table->Start(id);
    } else if (const auto* play = std::get_if<net::Play>(&message)) {
        refusal = table->Play(id, play->card);
    } else if (std::holds_alternative<net::Leave>(message)) {
        table->Leave(id);
        c.table = 0;
        c.closing = true;
        s.Send(id, net::ByeMessage("you left the table"), true);
    }
    if (refusal) Refuse(id, c, refusal->code, refusal->detail, !c.greeted);
}

void Lobby::Closed(ConnectionId id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) return;
    const Connection& c = *it->second;
    if (c.table) {
        if (const auto t = shared_->tables.find(c.table); t != shared_->tables.end()) t->second->Dropped(id);
    }
    if (--perAddress_[c.address] <= 0) perAddress_.erase(c.address);
    connections_.erase(it);
    DropEnded();
}

void Lobby::DropTable(std::uint64_t id) {
    const auto t = shared_->tables.find(id);
    if (t == shared_->tables.end()) return;
    // A person away at the end learns the result on return, for a while.
    if (const std::string result = t->second->Result(); !result.empty())
        for (const std::string& token : t->second->Tokens()) finished_[token] = {result, shared_->now + kResultMillis};
    for (const ConnectionId conn : t->second->Connections())
        if (const auto c = connections_.find(conn); c != connections_.end()) c->second->table = 0, c->second->closing = true;
    shared_->log.push_back("table " + std::to_string(id) + ": closed");
    shared_->tables.erase(t);
}

void Lobby::Tick(std::int64_t now) {
    shared_->now = now;
    for (auto& [id, c] : connections_) {
        if (c->closing) continue;
        const std::int64_t quiet = c->greeted ? limits_.idleMillis : limits_.helloMillis;
        if (now - c->lastHeard > quiet) Refuse(id, *c, ErrorCode::Idle, "closed for saying nothing", true);
    }
    for (auto& [id, table] : shared_->tables) table->Tick();
    DropEnded();
    std::erase_if(finished_, [&](const auto& entry) { return entry.second.until < now; });
}

void Lobby::Answer(std::uint64_t table, std::uint64_t ticket, int card) {
    if (const auto t = shared_->tables.find(table); t != shared_->tables.end()) {
        t->second->Answer(ticket, card);
        DropEnded();
    }
}

void Lobby::Shutdown() {
    for (auto& [id, table] : shared_->tables) table->Close("the server is stopping");
    for (auto& [id, c] : connections_)
        if (!c->table) shared_->Send(id, net::ByeMessage("the server is stopping"), true);
    shared_->tables.clear();
    shared_->ended.clear();
    for (auto& [id, c] : connections_) c->table = 0, c->closing = true;
}

std::vector<Outgoing> Lobby::TakeOutbox() { return std::exchange(shared_->outbox, {}); }
std::vector<ThinkRequest> Lobby::TakeThinking() { return std::exchange(shared_->thinking, {}); }
std::vector<std::string> Lobby::TakeLog() { return std::exchange(shared_->log, {}); }
std::size_t Lobby::TableCount() const { return shared_->tables.size(); }

}  // namespace pellow::server
