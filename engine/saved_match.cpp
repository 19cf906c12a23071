#include "saved_match.hpp"

#include <array>

#include "motion.hpp"
#include "phases.hpp"
#include "trick.hpp"
#include "user_input.hpp"

namespace pellow {

namespace {

// Far more frames than a whole deal takes, even slowly animated.
constexpr long kMostFrames = 100000;

// Every seat's turn answered with the next saved card. The phase machine checks it as it checks
// any computer seat's: a card the seat does not hold or may not play stops the deal with a fault.
class SavedCards final : public ComputerPlayer {
public:
    explicit SavedCards(const std::vector<int>& cards) : cards_(cards) {}
    int ChooseTrump(const DealState& d, int /*seat*/) override {
        const int code = Next(d);
        return code < 0 ? -1 : SuitOf(code);
    }
    int ChooseCard(const DealState& d, int /*seat*/) override { return Next(d); }
    int Next(const DealState& d) const {
        const auto i = static_cast<std::size_t>(d.cardsPlayed);
        return i < cards_.size() ? cards_[i] : -1;
    }

private:
    const std::vector<int>& cards_;
};

// What no capture gives: a card twice or out of range, trumps other than the first card's, a
// score that has ended the match.
bool Plausible(const SavedMatch& s) {
    if (!ValidDealNumber(s.deal) || s.cards.size() > static_cast<std::size_t>(kCards)) return false;
    std::array<bool, kCards> seen{};
    for (const int code : s.cards) {
        if (code < 0 || code >= kCards || seen[static_cast<std::size_t>(code)]) return false;
        seen[static_cast<std::size_t>(code)] = true;
    }
    if (s.trumps != (s.cards.empty() ? -1 : SuitOf(s.cards[0]))) return false;
    const MatchScore& score = s.score;
    return !score.matchOver && score.dealHistoryCount >= 0 && score.dealHistoryCount <= kDealHistory;
}

// A click on the user's saved card where the hand shows it, as the player would click. The
// slot clicked, or -1 when the user does not hold the card.
int ClickSavedCard(const Match& m, const SavedCards& cards, FrameInput& input) {
    const int code = cards.Next(m.deal);
    const int slot = code < 0 ? -1 : FindHandIndex(m, code, userSeat);
    if (slot < 0) return -1;
    const CardSprite& c = m.motion.userHand[slot];
    // The card's own strip, left of the next card in the fan.
    input.click = true;
    input.x = static_cast<int>(c.x) + 2;
    input.y = static_cast<int>(c.y) + c.height / 2;
    return slot;
}

// Runs the deal just dealt frame by frame until the saved cards have been played and settled.
bool PlaySavedCards(Match& m, const SavedMatch& s, const SavedCards& cards, ManualClock& clock) {
    const int target = static_cast<int>(s.cards.size());
    for (long frame = 0; frame < kMostFrames; ++frame) {
        const DealMotion& t = m.motion;
        if (!m.fault.empty()) return false;
        const bool sortToCome = s.userHandSorted && !t.userHandSorted;
        if (target == kCards
                ? t.statusText == Phase::EndOfMatch
                : m.deal.cardsPlayed == target && t.statusText == Phase::NormalPlay && !AnyCardMoving(t) && !sortToCome)
            return true;
        // Pauses pass at once: the clock is this replay's own.
        clock.now = t.statusText == Phase::Paused ? t.pauseStartTick + t.pauseLength + 1 : clock.now + 17;
        FrameInput input;
        int slot = -1;
        if (UserMayPick(m, false)) {
            // R was pressed on the user's first turn, before any of their cards.
            if (sortToCome && m.deal.handCount[userSeat] == kHandCards) input.reorder = true;
            else if ((slot = ClickSavedCard(m, cards, input)) < 0) return false;
        }
        const bool picked = StepFrame(m, input);
        // Refused (the user may not play that card now), or another card took the click.
        if (input.click && !(picked && m.motion.userHand[slot].moving)) return false;
    }
    return false;
}

}  // namespace

std::optional<SavedMatch> CaptureMatch(const Match& m) {
    if (!m.numberedDeals || !ValidDealNumber(m.dealNumber) || !m.fault.empty() || m.score.matchOver)
        return std::nullopt;
    SavedMatch s;
    s.partner = m.settings.partner;
    s.opponents = m.settings.opponents;
    s.deal = m.dealNumber;
    s.score = m.score;
    MatchScore& score = s.score;
    if (m.motion.statusText == Phase::EndOfMatch) {
        // On the score page the deal is already counted: it is saved as it stood before, and
        // counted again when its last card lands. (A full history lost its oldest deal to this
        // one, and loses nothing when this one comes back.)
        if (score.dealHistoryCount <= 0) return std::nullopt;
        const int last = --score.dealHistoryCount;
        score.ourMatchPoints -= score.ourDealPoints[last];
        score.theirMatchPoints -= score.theirDealPoints[last];
        score.ourDealPoints[last] = score.theirDealPoints[last] = 0;
        score.resultText.clear();
    }
    // The deal sets it once dealt; before, it was whether the match had a deal behind it.
    score.firstDealDone = score.dealHistoryCount > 0;
    for (int i = 0; i < m.deal.cardsPlayed; ++i) s.cards.push_back(m.motion.playOrder[i]);
    s.trumps = s.cards.empty() ? -1 : m.deal.trumps;
    s.userHandSorted = m.motion.userHandSorted;
    return s;
}

bool ResumeMatch(Match& m, const SavedMatch& s) {
    RandomSource* const random = m.random;
    TickClock* const clock = m.clock;
    SoundRequests* const sounds = m.sounds;
    ComputerPlayer* const computer = m.computer;
    // Headless, silent and on a clock of its own; the table's jitter comes from the deal number.
    MersenneRandom replayRandom(s.deal);
    ManualClock replayClock;
    SavedCards cards(s.cards);
    m.random = &replayRandom;
    m.clock = &replayClock;
    m.sounds = nullptr;
    m.computer = &cards;
    m.fault.clear();
    m.numberedDeals = true;
    bool resumed = Plausible(s);
    if (resumed) {
        m.score = s.score;
        m.dealerChosen = true;
        m.chosenDeal = s.deal;
        NewDeal(m);
        m.score.chosenDeals = s.score.chosenDeals;  // dealt again, not chosen again
        resumed = PlaySavedCards(m, s, cards, replayClock) && !m.score.matchOver;
    }
    m.random = random;
    m.clock = clock;
    m.sounds = sounds;
    m.computer = computer;
    if (resumed) {
        m.settings.partner = s.partner;
        m.settings.opponents = s.opponents;
        return true;
    }
    m.fault.clear();
    m.chosenDeal.reset();
    m.dealerChosen = false;
    StartNewMatch(m);
    return false;
}

}  // namespace pellow
