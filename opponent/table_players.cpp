#include "table_players.hpp"

#include <algorithm>
#include <chrono>

#include "opponent/pellow_ai.hpp"

namespace pellow {

namespace {

// The same position of the same deal, as far as the seat to play can tell. On the first lead
// trumps are still open: the caller fills in the answer's trumps before it asks for the card.
bool SamePosition(const DealState& a, const DealState& b) {
    return a.cardsPlayed == b.cardsPlayed && a.toPlay == b.toPlay && a.hand == b.hand && a.handCount == b.handCount &&
           a.trick == b.trick && a.trickCount == b.trickCount && a.playedBy == b.playedBy &&
           a.shownVoid == b.shownVoid && (FirstLeadOfDeal(a) || a.trumps == b.trumps);
}

template <typename Future>
bool IsReady(const Future& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

SeatStyles TableStyles(ComputerLevel partner, ComputerLevel opponents) {
    auto style = [](ComputerLevel level) {
        return level == ComputerLevel::Expert ? SeatStyle::Expert : SeatStyle::Classic;
    };
    SeatStyles styles{};
    styles[userSeat] = SeatStyle::Person;
    styles[partnerSeat] = style(partner);
    styles[leftSeat] = styles[rightSeat] = style(opponents);
    return styles;
}

TablePlayers::TablePlayers(std::uint32_t seed, ComputerLevel partner, ComputerLevel opponents, ExpertSettings settings)
    : expert_(seed, settings, TableStyles(partner, opponents)), partner_(partner), opponents_(opponents) {}

TablePlayers::~TablePlayers() {
    for (auto& f : retired_) f.wait();
    if (seatSearch_) seatSearch_->answer.wait();
    if (hintSearch_) hintSearch_->answer.wait();
}

ComputerLevel TablePlayers::LevelOf(int seat) const {
    if (seat == userSeat) return ComputerLevel::Expert;  // the hint
    return seat == partnerSeat ? partner_ : opponents_;
}

TablePlayers::Answer TablePlayers::Decide(const DealState& d, int seat) const {
    Answer a;
    // The user's seat is searched only for the hint, which shows the values as well.
    if (seat == userSeat) {
        a.advice = expert_.Advise(d, seat);
        a.card = a.advice.card;
        return a;
    }
    DealState asked = d;
    if (FirstLeadOfDeal(asked)) {
        a.trump = expert_.ChooseTrump(asked, seat);
        asked.trumps = static_cast<std::int8_t>(a.trump);
    }
    a.card = expert_.ChooseCard(asked, seat);
    return a;
}

TablePlayers::Search& TablePlayers::SearchFor(std::optional<Search>& slot, const DealState& d, int seat) {
    std::erase_if(retired_, [](const auto& f) { return IsReady(f); });
    if (slot && slot->seat == seat && SamePosition(slot->deal, d)) return *slot;
    if (slot) retired_.push_back(slot->answer);
    slot = Search{d, seat, {}};
    // The thread searches its own copy of the deal while the table moves on; the destructor
    // waits for every thread still running.
    slot->answer = std::async(std::launch::async, [this, d, seat] { return Decide(d, seat); }).share();
    return *slot;
}

void TablePlayers::Think(const DealState& d) {
    const int seat = d.toPlay;
    if (seat == userSeat || DealOver(d) || d.handCount[seat] == 0) return;
    if (LevelOf(seat) == ComputerLevel::Expert) SearchFor(seatSearch_, d, seat);
}

bool TablePlayers::Ready(const DealState& d, int seat) {
    if (LevelOf(seat) == ComputerLevel::Classic) return true;
    return IsReady(SearchFor(seatSearch_, d, seat).answer);
}

int TablePlayers::ChooseTrump(const DealState& d, int seat) {
    if (LevelOf(seat) == ComputerLevel::Classic) return pellow::ChooseTrump(d, seat);
    return SearchFor(seatSearch_, d, seat).answer.get().trump;
}

int TablePlayers::ChooseCard(const DealState& d, int seat) {
    if (LevelOf(seat) == ComputerLevel::Classic) return pellow::ChooseCard(d, seat);
    return SearchFor(seatSearch_, d, seat).answer.get().card;
}

std::optional<ExpertAdvice> TablePlayers::HintDetails(const DealState& d) {
    if (d.toPlay != userSeat || DealOver(d) || d.handCount[userSeat] == 0) return std::nullopt;
    const Search& s = SearchFor(hintSearch_, d, userSeat);
    if (!IsReady(s.answer)) return std::nullopt;
    return s.answer.get().advice;
}

int TablePlayers::Hint(const DealState& d) {
    const std::optional<ExpertAdvice> details = HintDetails(d);
    return details ? details->card : -1;
}

}  // namespace pellow
