#include "seat_view.hpp"

namespace pellow::net {
namespace {

using nlohmann::json;

json Hand(const DealState& d, int seat) {
    json cards = json::array();
    for (int i = 0; i < d.handCount[seat]; ++i) cards.push_back(int{d.hand[seat][i]});
    return cards;
}

json Points(const DealState& d) { return json::array({DealPoints(d, 0), DealPoints(d, 1)}); }

json Totals(const MatchScore& s) { return json::array({s.ourMatchPoints, s.theirMatchPoints}); }

bool Seated(int viewer) { return viewer >= 0 && viewer < 4; }

}  // namespace

std::string TableMessage(const std::array<SeatInfo, 4>& seats, bool started, int turnSeconds) {
    json list = json::array();
    for (int seat = 0; seat < 4; ++seat) {
        json s = {{"seat", seat}, {"kind", seats[seat].kind}};
        if (seats[seat].kind == "computer" || seats[seat].kind == "away") s["level"] = LevelName(seats[seat].level);
        if (!seats[seat].name.empty()) s["name"] = seats[seat].name;
        list.push_back(std::move(s));
    }
    return json{{"type", "table"}, {"seats", std::move(list)}, {"started", started}, {"turnSeconds", turnSeconds}}.dump();
}

std::string DealMessage(const DealState& d, int viewer, int dealIndex, int dealer) {
    json o = {{"type", "deal"}, {"deal", dealIndex}, {"dealer", dealer}, {"leader", int{d.toPlay}}};
    if (Seated(viewer)) o["hand"] = Hand(d, viewer);
    return o.dump();
}

std::string TurnMessage(const DealState& d, int viewer, int turnSeconds) {
    json o = {{"type", "turn"}, {"seat", int{d.toPlay}}};
    if (viewer == d.toPlay) {
        json legal = json::array();
        const CardList cards = LegalCards(d);
        for (int i = 0; i < cards.count; ++i) legal.push_back(int{cards.card[i]});
        o["legal"] = std::move(legal);
        if (turnSeconds > 0) o["seconds"] = turnSeconds;
    }
    return o.dump();
}

std::string PlayedMessage(const DealState& d, int seat, int card) {
    return json{{"type", "played"}, {"seat", seat}, {"card", card}, {"trumps", int{d.trumps}}}.dump();
}

std::string TrickMessage(const DealState& d) {
    json cards = json::array();
    for (int i = 0; i < 4; ++i) cards.push_back(int{d.lastTrick[i]});
    return json{{"type", "trick"},        {"leader", int{d.lastTrickLeader}}, {"cards", std::move(cards)},
                {"winner", int{d.lastTrickWinner}}, {"points", Points(d)}}
        .dump();
}

std::string DealEndMessage(const DealState& d, const MatchScore& s) {
    return json{{"type", "deal_end"}, {"points", Points(d)}, {"score", Totals(s)}}.dump();
}

std::string MatchEndMessage(const MatchScore& s) {
    const int winner = s.ourMatchPoints > s.theirMatchPoints ? 0 : 1;
    return json{{"type", "match_end"}, {"score", Totals(s)}, {"winner", winner}}.dump();
}

std::string StateMessage(const DealState& d, const MatchScore& s, int viewer, int dealIndex) {
    json trick = json::array();
    for (int i = 0; i < d.trickCount; ++i) trick.push_back(int{d.trick[i]});
    json o = {{"type", "state"},  {"deal", dealIndex},          {"trick", std::move(trick)},
              {"leader", int{d.trickLeader}}, {"toPlay", int{d.toPlay}}, {"cardsPlayed", int{d.cardsPlayed}},
              {"points", Points(d)}, {"score", Totals(s)}};
    if (d.cardsPlayed > 0) o["trumps"] = int{d.trumps};
    // What every seat has seen played: the piles, who played each card, the suits shown void.
    json taken = json::array();
    for (int team = 0; team < 2; ++team) {
        json pile = json::array();
        for (int i = 0; i < d.takenCount[team]; ++i) pile.push_back(int{d.taken[team][i]});
        taken.push_back(std::move(pile));
    }
    o["taken"] = std::move(taken);
    json playedBy = json::array();
    for (const std::int8_t seat : d.playedBy) playedBy.push_back(int{seat});
    o["playedBy"] = std::move(playedBy);
    o["voids"] = json::array({d.shownVoid[0], d.shownVoid[1], d.shownVoid[2], d.shownVoid[3]});
    if (Seated(viewer)) o["hand"] = Hand(d, viewer);
    return o.dump();
}

}  // namespace pellow::net
