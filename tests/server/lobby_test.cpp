#include "server/lobby.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "engine/dealing.hpp"
#include "engine/phases.hpp"
#include "net/protocol.hpp"
#include "net/remote_deal.hpp"
#include "opponent/table_players.hpp"
#include "server/computer_seats.hpp"

namespace pellow::server {
namespace {

using nlohmann::json;

// A server without sockets, its clients as bots that know only what they are told, and a check
// of every message against what its receiver may see. The computer seats think at once.
class Tables {
public:
    explicit Tables(Limits limits = {}) : lobby(limits, 7) {}

    ConnectionId Connect(const std::string& address = "10.0.0.1") {
        const ConnectionId id = nextId++;
        if (lobby.Open(id, address, now)) clients[id].address = address;
        Pump();
        return id;
    }
    void Send(ConnectionId id, const std::string& text) {
        lobby.Receive(id, text, now);
        Pump();
    }
    void Send(ConnectionId id, const net::ClientMessage& m) { Send(id, net::Encode(m)); }
    void Drop(ConnectionId id) {
        clients.erase(id);
        lobby.Closed(id);
        Pump();
    }
    void Pass(std::int64_t millis) {
        now += millis;
        lobby.Tick(now);
        Pump();
    }

    // Delivers everything until the server is quiet: each bot plays a card it was offered.
    void Pump() {
        for (;;) {
            for (const ThinkRequest& r : lobby.TakeThinking()) answers.push_back({r, Decide(r)});
            auto out = lobby.TakeOutbox();
            if (out.empty() && answers.empty()) return;
            for (Outgoing& o : out) Deliver(o);
            if (out.empty()) {
                const auto [r, card] = answers.front();
                answers.erase(answers.begin());
                lobby.Answer(r.table, r.ticket, card);
            }
        }
    }

    struct Client {
        std::string address;
        std::vector<json> got;
        int seat = -1;
        bool watcher = false;
        bool plays = true;  // answers its turns
        bool closed = false;
        std::set<int> hand;
        std::string token, code, watchCode;
        // The seat's own copy of the deal, as a remote player keeps it.
        std::optional<net::RemoteDeal> copy;
    };
    std::map<ConnectionId, Client> clients;
    // Everything each connection was ever sent, kept after it is gone.
    std::map<ConnectionId, std::vector<json>> record;
    Lobby lobby;
    std::int64_t now = 1'000'000;
    std::vector<std::string> leaks;
    std::vector<std::string> copyFaults;

    int Errors(ConnectionId id, const std::string& code) const {
        int n = 0;
        for (const json& m : record.at(id))
            if (m["type"] == "error" && m["code"] == code) ++n;
        return n;
    }
    const json* Last(ConnectionId id, const std::string& type) const {
        const auto& got = record.at(id);
        for (auto it = got.rbegin(); it != got.rend(); ++it)
            if ((*it)["type"] == type) return &*it;
        return nullptr;
    }

private:
    void Deliver(const Outgoing& o) {
        std::string why;
        const auto m = net::ParseServerMessage(o.text, &why);
        ASSERT_TRUE(m) << why;
        record[o.to].push_back(m->body);
        const auto it = clients.find(o.to);
        if (it == clients.end()) return;
        Client& c = it->second;
        Check(c, m->body);
        FollowCopy(c, *m);
        Act(o.to, c, m->body);
        if (o.close) {
            clients.erase(o.to);
            lobby.Closed(o.to);
        }
    }

    // No card of another hand reaches a seat before it is played: every card a message names is
    // in the receiver's own hand, or has been played at a table (the harness follows every card
    // played at every table, in the order the server sent them).
    void Check(Client& c, const json& m) {
        const std::string type = m["type"];
        if (type == "welcome") {
            c.watcher = m["role"] == "watcher";
            if (!c.watcher) c.seat = m["seat"], c.token = m["token"];
            if (m.contains("code")) c.code = m["code"], c.watchCode = m["watchCode"];
        }
        // The tests run one table's deal at a time.
        if (type == "deal") played.clear();
        if (type == "played") played.insert(m["card"].get<int>());
        if (m.contains("hand")) {
            if (c.watcher) leaks.push_back("a watcher was sent a hand");
            c.hand.clear();
            for (const int card : m["hand"]) c.hand.insert(card);
        }
        if (type == "played" && c.hand.erase(m["card"].get<int>()) && m["seat"] != c.seat)
            leaks.push_back("a seat held a card another seat played");
        CheckCards(c, m, m);
    }

    // Every whole number in an array, at any depth, is taken for a card, but the points, the
    // score, the seats that played each card and the voids; so is "card".
    void CheckCards(const Client& c, const json& node, const json& whole) {
        for (const auto& [key, value] : node.items()) {
            if (key == "points" || key == "score" || key == "hand" || key == "playedBy" || key == "voids") continue;
            if (value.is_structured()) CheckCards(c, value, whole);
            const bool card = (node.is_array() || key == "card") && value.is_number_integer();
            if (card && !c.hand.count(value.get<int>()) && !played.count(value.get<int>()))
                leaks.push_back("an unplayed card of another hand: " + whole.dump());
        }
    }

    // The seat's copy offers the cards the server offers, and scores the deal as the server does.
    void FollowCopy(Client& c, const net::ServerMessage& m) {
        if (m.type == "welcome" && !c.watcher) c.copy.emplace(c.seat);
        if (!c.copy) return;
        std::string why;
        if (!c.copy->Apply(m, &why)) copyFaults.push_back(why);
        const DealState& d = c.copy->Deal();
        if (m.type == "turn" && m.body.contains("legal")) {
            const CardList legal = LegalCards(d);
            std::vector<int> mine(legal.card.begin(), legal.card.begin() + legal.count);
            if (d.toPlay != c.seat || mine != m.body["legal"].get<std::vector<int>>())
                copyFaults.push_back("the copy offers other cards: " + m.body.dump());
        }
        if (m.type == "deal_end" && c.copy->InPlay() &&
            (DealPoints(d, 0) != m.body["points"][0] || DealPoints(d, 1) != m.body["points"][1]))
            copyFaults.push_back("the copy scores the deal otherwise");
    }

    void Act(ConnectionId id, Client& c, const json& m) {
        if (m["type"] == "turn" && m.contains("legal") && c.plays) {
            const auto& legal = m["legal"];
            const int card = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(rng)];
            lobby.Receive(id, net::Encode(net::Play{card}), now);
        }
    }

    ConnectionId nextId = 1;
    std::mt19937 rng{3};
    std::set<int> played;
    std::vector<std::pair<ThinkRequest, int>> answers;
};

// Creates a table whose host is at seat 0, with the computer at `computers` and people joining
// the other seats, and starts it; its bots play the match through unless told to hold their cards.
// A watcher joins before the start when asked for.
std::vector<ConnectionId> StartTable(Tables& t, std::vector<int> computers, net::Level level = net::Level::Rules,
                                     bool play = true, ConnectionId* watcher = nullptr) {
    std::vector<ConnectionId> ids{t.Connect()};
    t.Send(ids[0], net::Create{0, "host", net::Level::Rules, 0});
    const std::string code = t.clients.at(ids[0]).code;
    for (const int seat : computers) t.Send(ids[0], net::SetSeat{seat, net::SeatKind::Computer, level});
    for (std::size_t i = computers.size() + 1; i < 4; ++i) {
        ids.push_back(t.Connect());
        t.Send(ids.back(), net::Join{code, "p"});
    }
    if (watcher) {
        *watcher = t.Connect();
        t.Send(*watcher, net::Join{t.clients.at(ids[0]).watchCode, ""});
    }
    for (const ConnectionId id : ids) t.clients.at(id).plays = play;
    t.Send(ids[0], net::Start{});
    return ids;
}

// The bots that held their cards play again, from the turn in play.
void Resume(Tables& t, const std::vector<ConnectionId>& ids) {
    for (const ConnectionId id : ids) t.clients.at(id).plays = true;
    for (const ConnectionId id : ids) {
        const json* turn = t.clients.count(id) ? t.Last(id, "turn") : nullptr;
        if (turn && turn->contains("legal")) t.Send(id, net::Play{(*turn)["legal"][0].get<int>()});
    }
}

TEST(LobbyTest, WholeMatchesTellEachSeatOnlyWhatItMaySee) {
    Tables t;
    int matches = 0;
    for (int round = 0; round < 12; ++round) {
        ConnectionId watcher = 0;
        const auto ids = StartTable(t, round % 3 == 0 ? std::vector<int>{} : std::vector<int>{1, 3},
                                    round % 6 == 5 ? net::Level::Expert : net::Level::Rules, true, &watcher);
        for (const ConnectionId id : ids) {
            const json* end = t.Last(id, "match_end");
            ASSERT_NE(end, nullptr) << "round " << round;
            matches += id == ids[0];
            EXPECT_GT(std::max((*end)["score"][0].get<int>(), (*end)["score"][1].get<int>()), 79);
            EXPECT_TRUE(t.clients.find(id) == t.clients.end()) << "closed at the match's end";
        }
        EXPECT_NE(t.Last(watcher, "match_end"), nullptr);
    }
    EXPECT_EQ(matches, 12);
    EXPECT_EQ(t.lobby.TableCount(), 0u);
    EXPECT_TRUE(t.leaks.empty()) << t.leaks.front();
    EXPECT_TRUE(t.copyFaults.empty()) << t.copyFaults.front();
}

// Each hand as dealt, across the four seats, is the whole deck: no seat was sent a card that
// another seat holds.
TEST(LobbyTest, TheFourHandsOfADealAreTheWholeDeck) {
    Tables t;
    const auto ids = StartTable(t, {});
    std::map<int, std::set<int>> cardsOfDeal;
    std::map<int, int> handsOfDeal;
    for (const ConnectionId id : ids)
        for (const json& m : t.record.at(id))
            if (m["type"] == "deal") {
                ++handsOfDeal[m["deal"].get<int>()];
                for (const int card : m["hand"]) cardsOfDeal[m["deal"].get<int>()].insert(card);
            }
    ASSERT_FALSE(cardsOfDeal.empty());
    for (const auto& [deal, cards] : cardsOfDeal) {
        EXPECT_EQ(handsOfDeal[deal], 4);
        EXPECT_EQ(cards.size(), 52u) << "deal " << deal;
    }
}

TEST(LobbyTest, HostileMessagesAreRefusedAndTheTableGoesOn) {
    Tables t;
    const ConnectionId host = t.Connect();
    t.Send(host, net::Create{0, "host", net::Level::Rules, 0});
    const std::string code = t.clients.at(host).code;
    t.Send(host, net::SetSeat{1, net::SeatKind::Computer, net::Level::Rules});
    t.Send(host, net::SetSeat{3, net::SeatKind::Computer, net::Level::Rules});
    const ConnectionId guest = t.Connect();
    t.Send(guest, net::Join{code, "guest"});
    EXPECT_EQ(t.Errors(guest, "not_host"), 0);
    t.Send(guest, net::Start{});
    EXPECT_EQ(t.Errors(guest, "not_host"), 1);
    const ConnectionId late = t.Connect();
    t.Send(late, net::Join{code, "late"});
    EXPECT_EQ(t.Errors(late, "seat_taken"), 1);

    // The bots hold their cards while the hostile ones are tried.
    t.clients.at(host).plays = t.clients.at(guest).plays = false;
    t.Send(host, net::Start{});
    const int toPlay = (*t.Last(host, "turn"))["seat"];
    const ConnectionId turn = toPlay == 0 ? host : toPlay == 2 ? guest : 0;
    const ConnectionId other = turn == host ? guest : host;
    if (turn) {
        t.Send(other, net::Play{*t.clients.at(other).hand.begin()});
        EXPECT_EQ(t.Errors(other, "not_your_turn"), 1);
        t.Send(turn, net::Play{*t.clients.at(other).hand.begin()});
        EXPECT_EQ(t.Errors(turn, "not_in_hand"), 1);
    }
    for (const char* junk : {"{\"type\":\"play\",\"card\":", "[]", "{\"type\":\"dance\"}", "{\"v\":9,\"type\":\"start\"}",
                             "{\"type\":\"play\",\"card\":99}", "\xFF\xFE"})
        t.Send(host, junk);
    EXPECT_EQ(t.Errors(host, "bad_json"), 2);
    EXPECT_EQ(t.Errors(host, "unknown_type"), 1);
    EXPECT_EQ(t.Errors(host, "bad_version"), 1);
    EXPECT_EQ(t.Errors(host, "bad_field"), 1);
    EXPECT_EQ(t.Errors(host, "bad_utf8"), 1);
    ASSERT_TRUE(t.clients.count(host)) << "refusals alone do not close a seated player";

    // A card that does not follow suit, once a trick is led and the seat could follow.
    t.clients.at(host).plays = t.clients.at(guest).plays = true;
    const ConnectionId mover = t.Last(host, "turn")->contains("legal") ? host : guest;
    t.Send(mover, net::Play{(*t.Last(mover, "turn"))["legal"][0].get<int>()});
    ASSERT_NE(t.Last(host, "match_end"), nullptr);
    EXPECT_TRUE(t.leaks.empty());
}

TEST(LobbyTest, FollowingSuitIsEnforced) {
    Tables t;
    const auto ids = StartTable(t, {1, 2, 3}, net::Level::Rules, false);
    ASSERT_EQ(t.lobby.TableCount(), 1u) << "a lone person's table waits for its person";
    Tables::Client& c = t.clients.at(ids[0]);
    // Play on until the person must follow a suit and holds a card that does not.
    for (int guard = 0; guard < 60; ++guard) {
        const json* turn = t.Last(ids[0], "turn");
        ASSERT_NE(turn, nullptr);
        std::set<int> legal;
        for (const int card : (*turn)["legal"]) legal.insert(card);
        for (const int card : c.hand)
            if (!legal.count(card)) {
                t.Send(ids[0], net::Play{card});
                EXPECT_EQ(t.Errors(ids[0], "not_allowed"), 1);
                return;
            }
        t.Send(ids[0], net::Play{*legal.begin()});
    }
    FAIL() << "never had to follow suit";
}

TEST(LobbyTest, GuessedCodesFloodsAndSilenceAreBounded) {
    Limits limits;
    limits.connectionsPerAddress = 3;
    limits.refusalsBeforeClose = 100;
    Tables t(limits);
    const auto ids = StartTable(t, {1, 3}, net::Level::Rules, false);
    // Wrong codes: each connection is closed after its refusal; the address is refused for a
    // minute after ten, even with the right code.
    for (int i = 0; i < 10; ++i) {
        const ConnectionId guess = t.Connect("10.9.9.9");
        t.Send(guess, net::Join{"AAAA-AAAA-AAAA-AAA" + std::string(1, static_cast<char>('A' + i % 20)), ""});
        EXPECT_EQ(t.Errors(guess, "no_such_code"), 1);
        EXPECT_FALSE(t.clients.count(guess));
    }
    const ConnectionId blocked = t.Connect("10.9.9.9");
    t.Send(blocked, net::Join{t.clients.at(ids[0]).watchCode, ""});
    EXPECT_EQ(t.Errors(blocked, "too_many_attempts"), 1);
    t.Pass(61'000);
    const ConnectionId allowed = t.Connect("10.9.9.9");
    t.Send(allowed, net::Join{t.clients.at(ids[0]).watchCode, ""});
    EXPECT_EQ(t.Last(allowed, "welcome")->at("role"), "watcher");

    // Connections per address.
    const ConnectionId a = t.Connect("10.7.7.7"), b = t.Connect("10.7.7.7"), c = t.Connect("10.7.7.7");
    const ConnectionId d = t.Connect("10.7.7.7");
    EXPECT_EQ(t.Errors(d, "full"), 1);
    EXPECT_FALSE(t.clients.count(d));

    // A flood: the burst passes, the message after it closes the connection.
    t.Send(a, net::Join{t.clients.at(ids[0]).watchCode, ""});
    for (int i = 0; i < 40; ++i) t.Send(a, "{\"type\":\"dance\"}");
    EXPECT_EQ(t.Errors(a, "unknown_type"), 39);
    EXPECT_EQ(t.Errors(a, "flood"), 1);
    EXPECT_FALSE(t.clients.count(a));

    // Silence: a connection that never speaks is closed after ten seconds, a greeted one after
    // ten minutes; the watcher above spoke.
    t.Pass(11'000);
    EXPECT_EQ(t.Errors(b, "idle"), 1);
    EXPECT_EQ(t.Errors(c, "idle"), 1);
    EXPECT_TRUE(t.clients.count(allowed));
    EXPECT_TRUE(t.clients.count(ids[0]));
    EXPECT_EQ(t.lobby.TableCount(), 1u);
    // Ten minutes on, the silent greeted ones go too, and the computer plays the people's seats
    // to the match's end rather than wait for them.
    t.Pass(10 * 60 * 1000);
    EXPECT_EQ(t.Errors(allowed, "idle"), 1);
    EXPECT_EQ(t.Errors(ids[0], "idle"), 1);
    EXPECT_EQ(t.Errors(ids[1], "idle"), 1);
    EXPECT_EQ(t.lobby.TableCount(), 0u);
}

TEST(LobbyTest, ADroppedSeatIsPlayedUntilItsPersonReturns) {
    Tables t;
    const auto ids = StartTable(t, {}, net::Level::Rules, false);
    const std::string token = t.clients.at(ids[2]).token;
    const int seat = t.clients.at(ids[2]).seat;
    t.Drop(ids[2]);
    Resume(t, {ids[0], ids[1], ids[3]});
    ASSERT_NE(t.Last(ids[0], "match_end"), nullptr) << "the others and the computer finished the match";
    int playedForTheAway = 0;
    for (const json& m : t.record.at(ids[0])) playedForTheAway += m["type"] == "played" && m["seat"] == seat;
    EXPECT_GE(playedForTheAway, 13);
    // Back after the end: the result, for ten minutes.
    const ConnectionId late = t.Connect();
    t.Send(late, net::Rejoin{token});
    ASSERT_NE(t.Last(late, "match_end"), nullptr);
    EXPECT_EQ(*t.Last(late, "match_end"), *t.Last(ids[0], "match_end"));
    t.Pass(10 * 60 * 1000 + 1);
    const ConnectionId later = t.Connect();
    t.Send(later, net::Rejoin{token});
    EXPECT_EQ(t.Errors(later, "no_such_code"), 1);

    // A drop mid-match and a return with the token: the person plays on from their own hand.
    const auto again = StartTable(t, {}, net::Level::Rules, false);
    const std::string key = t.clients.at(again[1]).token;
    const int away = t.clients.at(again[1]).seat;
    t.Drop(again[1]);
    const ConnectionId guess = t.Connect();
    t.Send(guess, net::Rejoin{std::string(26, 'Q')});
    EXPECT_EQ(t.Errors(guess, "no_such_code"), 1);
    const ConnectionId back = t.Connect();
    t.Send(back, net::Rejoin{key});
    ASSERT_NE(t.Last(back, "welcome"), nullptr);
    EXPECT_EQ((*t.Last(back, "welcome"))["seat"], away);
    ASSERT_NE(t.Last(back, "state"), nullptr);
    EXPECT_GE((*t.Last(back, "state"))["hand"].size(), 12u);
    Resume(t, {again[0], again[2], again[3], back});
    EXPECT_NE(t.Last(back, "match_end"), nullptr);
    int playedByTheReturned = 0;
    for (const json& m : t.record.at(back)) playedByTheReturned += m["type"] == "played" && m["seat"] == away;
    EXPECT_GE(playedByTheReturned, 12);
    EXPECT_EQ(t.lobby.TableCount(), 0u);
    EXPECT_TRUE(t.leaks.empty()) << t.leaks.front();
    EXPECT_TRUE(t.copyFaults.empty()) << t.copyFaults.front();
}

TEST(LobbyTest, TheTurnTimerHandsTheCardToTheComputer) {
    Tables t;
    const ConnectionId host = t.Connect();
    t.Send(host, net::Create{0, "host", net::Level::Rules, 5});
    for (const int seat : {1, 2, 3}) t.Send(host, net::SetSeat{seat, net::SeatKind::Computer, net::Level::Rules});
    t.clients.at(host).plays = false;
    t.Send(host, net::Start{});
    auto playedByHost = [&] {
        int n = 0;
        for (const json& m : t.record.at(host)) n += m["type"] == "played" && m["seat"] == 0;
        return n;
    };
    ASSERT_TRUE(t.Last(host, "turn")->contains("legal"));
    t.Pass(4'000);
    EXPECT_EQ(playedByHost(), 0) << "the timer has not run out";
    t.Pass(2'000);
    EXPECT_EQ(playedByHost(), 1);
}

// A table of the server's Expert seats beside the game's own for the same seed: the lobby's seed
// 7 makes its first table the game's match of seed 7, so the game's deal and, at each turn of
// the first deal, the game's computer players (as the game makes them for a match) give the
// server's cards. The host plays its own cards; the first lead may be anyone's.
TEST(LobbyTest, ExpertSeatsPlayAsTheGamesExpertForTheSameSeed) {
    Tables t;
    const ConnectionId host = t.Connect();
    t.Send(host, net::Create{0, "host", net::Level::Expert, 0});
    for (const int seat : {1, 2, 3}) t.Send(host, net::SetSeat{seat, net::SeatKind::Computer, net::Level::Expert});
    t.clients.at(host).plays = false;
    t.Send(host, net::Start{});

    Match game;
    MersenneRandom random(7);
    game.random = &random;
    NewDeal(game);
    DealAllAtOnce(game);
    DealState d = game.deal;
    const json* deal = t.Last(host, "deal");
    ASSERT_NE(deal, nullptr);
    const std::set<int> dealt((*deal)["hand"].begin(), (*deal)["hand"].end());
    ASSERT_EQ(dealt, std::set<int>(d.hand[0].begin(), d.hand[0].begin() + d.handCount[0])) << "the game's deal";
    ASSERT_EQ((*deal)["leader"], d.toPlay);

    TablePlayers players(7, ComputerLevel::Expert, ComputerLevel::Expert);
    std::size_t read = 0;
    int compared = 0;
    while (!DealOver(d)) {
        const auto& got = t.record.at(host);
        for (; read < got.size() && !DealOver(d); ++read) {
            if (got[read]["type"] != "played") continue;
            const int seat = got[read]["seat"], card = got[read]["card"];
            ASSERT_EQ(seat, d.toPlay);
            if (seat != 0) {
                DealState asked = d;
                if (FirstLeadOfDeal(asked)) asked.trumps = static_cast<std::int8_t>(players.ChooseTrump(asked, seat));
                EXPECT_EQ(card, players.ChooseCard(asked, seat)) << "seat " << seat << ", card " << d.cardsPlayed + 1;
                ++compared;
            }
            PlayCard(d, card);
        }
        if (DealOver(d)) break;
        const json* turn = t.Last(host, "turn");
        ASSERT_TRUE(turn && turn->contains("legal")) << "the table waits for its host";
        t.Send(host, net::Play{(*turn)["legal"][0].get<int>()});
    }
    EXPECT_EQ(compared, 39);
}

TEST(LobbyTest, ReservedSeatsAndLateJoinersWaitForTheirDeal) {
    Tables t;
    const ConnectionId host = t.Connect();
    t.Send(host, net::Create{0, "host", net::Level::Rules, 0});
    t.Send(host, net::SetSeat{2, net::SeatKind::Reserved, net::Level::Rules});
    const std::string seatCode = (*t.Last(host, "seat_code"))["code"];
    t.Send(host, net::SetSeat{1, net::SeatKind::Computer, net::Level::Rules});
    t.Send(host, net::SetSeat{3, net::SeatKind::Computer, net::Level::Rules});
    t.clients.at(host).plays = false;
    t.Send(host, net::Start{});
    // Arrives during the first deal: sits at seat 2 from the next deal, seeing no hand till then.
    const ConnectionId friendId = t.Connect();
    t.Send(friendId, net::Join{seatCode, "friend"});
    EXPECT_EQ((*t.Last(friendId, "welcome"))["seat"], 2);
    EXPECT_FALSE(t.Last(friendId, "state")->contains("hand"));
    const ConnectionId stranger = t.Connect();
    t.Send(stranger, net::Join{seatCode, ""});
    EXPECT_EQ(t.Errors(stranger, "no_such_code"), 1) << "a seat's code is spent once taken";
    t.clients.at(host).plays = true;
    const json* turn = t.Last(host, "turn");
    if (turn->contains("legal")) t.Send(host, net::Play{(*turn)["legal"][0].get<int>()});
    t.Pump();
    const auto& got = t.record.at(friendId);
    const auto deal = std::find_if(got.begin(), got.end(), [](const json& m) { return m["type"] == "deal"; });
    ASSERT_NE(deal, got.end());
    EXPECT_EQ((*deal)["deal"], 2);
    EXPECT_EQ((*deal)["hand"].size(), 13u);
    EXPECT_NE(t.Last(friendId, "match_end"), nullptr);
    EXPECT_TRUE(t.leaks.empty()) << t.leaks.front();
}

}  // namespace
}  // namespace pellow::server
