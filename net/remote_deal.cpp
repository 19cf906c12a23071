#include "remote_deal.hpp"

#include <array>

namespace pellow::net {
namespace {

using nlohmann::json;

// A whole number from lo to hi; a huge unsigned one reads as negative and is refused.
bool InRange(const json& v, int lo, int hi) {
    return v.is_number_integer() && v.get<std::int64_t>() >= lo && v.get<std::int64_t>() <= hi;
}
bool IsCard(const json& v) { return InRange(v, 0, kCards - 1); }
bool IsSeat(const json& v) { return InRange(v, 0, 3); }

// A list of distinct cards, or none.
std::optional<std::vector<int>> Cards(const json& o, const char* key, std::size_t most) {
    const auto it = o.find(key);
    if (it == o.end() || !it->is_array() || it->size() > most) return std::nullopt;
    std::vector<int> cards;
    std::array<bool, kCards> seen{};
    for (const json& v : *it) {
        if (!IsCard(v) || seen[v.get<std::size_t>()]) return std::nullopt;
        seen[v.get<std::size_t>()] = true;
        cards.push_back(v.get<int>());
    }
    return cards;
}

}  // namespace

// The other seats' hands get the cards nobody has shown, as many as each still holds.
void RemoteDeal::FillUnseen() {
    std::array<bool, kCards> seen{};
    for (int i = 0; i < deal_.handCount[seat_]; ++i) seen[deal_.hand[seat_][i]] = true;
    for (int code = 0; code < kCards; ++code) seen[code] = seen[code] || deal_.playedBy[code] >= 0;
    std::array<int, 4> holds{};
    for (int s = 0; s < 4; ++s) holds[s] = kHandCards;
    for (int code = 0; code < kCards; ++code)
        if (deal_.playedBy[code] >= 0) --holds[deal_.playedBy[code]];
    int next = 0;
    for (int s = 0; s < 4; ++s) {
        if (s == seat_) continue;
        deal_.handCount[s] = 0;
        for (int k = 0; k < holds[s]; ++k) {
            while (next < kCards && seen[next]) ++next;
            if (next == kCards) return;
            deal_.hand[s][deal_.handCount[s]++] = static_cast<std::int8_t>(next++);
        }
    }
}

bool RemoteDeal::Apply(const ServerMessage& m, std::string* why) {
    auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    const json& o = m.body;
    if (m.type == "deal") {
        if (!o.contains("hand")) return inPlay_ = false, true;
        const auto hand = Cards(o, "hand", kHandCards);
        if (!hand || hand->size() != kHandCards || !IsSeat(o.value("leader", json()))) return fail("a deal without a whole hand");
        deal_ = DealState{};
        ClearDeal(deal_);
        for (const int card : *hand) GiveCard(deal_, seat_, card);
        FillUnseen();
        BeginPlay(deal_, o["leader"].get<int>());
        inPlay_ = true;
        return true;
    }
    if (m.type == "state") {
        if (!o.contains("hand")) return inPlay_ = false, true;
        const auto hand = Cards(o, "hand", kHandCards);
        const auto trick = Cards(o, "trick", 3);
        const auto it = o.find("playedBy");
        if (!hand || !trick || it == o.end() || !it->is_array() || it->size() != kCards || !IsSeat(o.value("leader", json())) ||
            !IsSeat(o.value("toPlay", json())))
            return fail("a state message that does not describe a deal");
        deal_ = DealState{};
        ClearDeal(deal_);
        for (const int card : *hand) GiveCard(deal_, seat_, card);
        for (int code = 0; code < kCards; ++code) {
            const json& by = (*it)[static_cast<std::size_t>(code)];
            if (!InRange(by, -1, 3)) return fail("a bad playedBy");
            deal_.playedBy[code] = static_cast<std::int8_t>(by.get<int>());
        }
        const auto taken = o.find("taken");
        if (taken == o.end() || !taken->is_array() || taken->size() != 2) return fail("a state without the piles");
        for (int team = 0; team < 2; ++team) {
            const json pile = {{"cards", (*taken)[static_cast<std::size_t>(team)]}};
            const auto cards = Cards(pile, "cards", kCards);
            if (!cards) return fail("a bad pile");
            for (const int card : *cards) deal_.taken[team][deal_.takenCount[team]++] = static_cast<std::int8_t>(card);
        }
        const auto voids = o.find("voids");
        if (voids != o.end() && voids->is_array() && voids->size() == 4)
            for (int s = 0; s < 4; ++s) {
                const json& shown = (*voids)[static_cast<std::size_t>(s)];
                const int bits = InRange(shown, 0, 15) ? shown.get<int>() : 0;
                deal_.shownVoid[s] = static_cast<std::uint8_t>(bits);
                for (int suit = 0; suit < 4; ++suit)
                    if (s != userSeat && (bits >> suit & 1)) deal_.voidKnown[s][suit] = 0;
            }
        // Each card once: in the hand, or played (on the table or in a pile) by the seat named.
        std::array<int, kCards> where{};
        std::array<int, 4> playedBySeat{};
        int played = 0;
        for (const int card : *hand) where[card] += deal_.playedBy[card] == -1 ? 1 : 2;
        for (const int card : *trick) where[card] += deal_.playedBy[card] >= 0 ? 1 : 2;
        for (int team = 0; team < 2; ++team)
            for (int i = 0; i < deal_.takenCount[team]; ++i)
                where[deal_.taken[team][i]] += deal_.playedBy[deal_.taken[team][i]] >= 0 ? 1 : 2;
        for (int code = 0; code < kCards; ++code) {
            if (deal_.playedBy[code] >= 0) ++played, ++playedBySeat[deal_.playedBy[code]];
            if (where[code] > 1 || (deal_.playedBy[code] >= 0 && where[code] == 0)) return fail("a state whose cards do not add up");
        }
        if (static_cast<int>(hand->size()) + playedBySeat[seat_] != kHandCards || o.value("cardsPlayed", json()) != played ||
            played % 4 != static_cast<int>(trick->size()) || played > kCards)
            return fail("a state whose cards do not add up");
        FillUnseen();
        BeginPlay(deal_, o["leader"].get<int>());
        for (const int card : *trick) deal_.trick[deal_.trickCount++] = static_cast<std::int8_t>(card);
        deal_.toPlay = static_cast<std::int8_t>(o["toPlay"].get<int>());
        deal_.cardsPlayed = static_cast<std::int8_t>(played);
        if (const auto trumps = o.find("trumps"); trumps != o.end() && InRange(*trumps, 0, 3))
            deal_.trumps = static_cast<std::int8_t>(trumps->get<int>());
        inPlay_ = true;
        return true;
    }
    if (m.type == "played" && inPlay_) {
        if (!IsSeat(o.value("seat", json())) || !IsCard(o.value("card", json()))) return fail("a played card without seat or card");
        const int seat = o["seat"], card = o["card"];
        if (seat != deal_.toPlay) return fail("a card played out of turn");
        if (seat != seat_ && !Holds(deal_, seat, card)) {
            // The card was among those shared out to another seat: it changes places first.
            for (int s = 0; s < 4; ++s)
                for (int i = 0; s != seat_ && s != seat && i < deal_.handCount[s]; ++i)
                    if (deal_.hand[s][i] == card && deal_.handCount[seat] > 0) {
                        deal_.hand[s][i] = deal_.hand[seat][0];
                        deal_.hand[seat][0] = static_cast<std::int8_t>(card);
                    }
        }
        if (!Holds(deal_, seat, card)) return fail("a card played that the seat cannot hold");
        if (PlayCard(deal_, card) >= 0) ++tricksSeen;
        return true;
    }
    return true;
}

}  // namespace pellow::net
