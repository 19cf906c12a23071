#include "phases.hpp"

#include <algorithm>
#include <string>

#include "dealing.hpp"
#include "layout.hpp"
#include "motion.hpp"
#include "numeric.hpp"
#include "trick.hpp"

namespace pellow {

namespace {
constexpr std::uint32_t kPauseAfterCard = 700;

// The trick has reached its pile: count it and let the winner lead.
void TrickReachedPile(Match& m, bool ours) {
    DealMotion& t = m.motion;
    StopTrickCards(m);
    if (ours) AddTrickToOurPile(m);
    else AddTrickToTheirPile(m);
    ClearTakenCards(m);
    t.statusText = Phase::NormalPlay;
    CheckEndOfDeal(m);
    // Undoes in advance the step down that begins the next turn.
    t.turnSeat = PreviousSeat(t.turnSeat);
}

void ComputerMoves(Match& m) {
    DealMotion& t = m.motion;
    const int seat = t.turnSeat;
    if (FirstLeadOfDeal(m.deal)) m.deal.trumps = static_cast<std::int8_t>(m.computer->ChooseTrump(m.deal, seat));
    const int code = m.computer->ChooseCard(m.deal, seat);
    const int index = FindHandIndex(m, code, seat);
    // A card the seat may not play is refused, never sent: the deal stops for the owner to report.
    if (m.deal.toPlay != seat || index < 0 || !MayPlay(m.deal, seat, code) ||
        (FirstLeadOfDeal(m.deal) && SuitOf(code) != m.deal.trumps)) {
        if (m.fault.empty())
            m.fault = "seat " + std::to_string(seat) + " chose card " + std::to_string(code) +
                      ", which it may not play";
        return;
    }
    t.aiCardIndex = index;
    CardSprite& card = HandSprites(t, seat)[index];
    card.faceUp = true;
    PlayCardToTable(m, card);
}

void UpdateNormalPlay(Match& m) {
    DealMotion& t = m.motion;
    if (AnyCardMoving(t)) {
        for (int i = 0; i < kHandCards && t.statusText == Phase::NormalPlay; ++i) StepCard(m, t.userHand[i]);
    }
    if (t.statusText != Phase::NormalPlay || t.waitingForUser || !m.fault.empty()) return;
    if (AnyCardMoving(t)) {
        if (t.turnSeat >= rightSeat && t.turnSeat <= leftSeat) StepCard(m, HandSprites(t, t.turnSeat)[t.aiCardIndex]);
        return;
    }
    // The next turn begins, once a computer seat to play has decided.
    const int next = NextSeat(t.turnSeat);
    if (next != userSeat && !m.computer->Ready(m.deal, next)) return;
    if (t.pauseDone) t.pauseDone = false;
    t.turnSeat = next;
    if (t.turnSeat == userSeat) {
        t.userHasChosen = false;
        t.userCardInFlight = false;
        t.waitingForUser = true;
    } else {
        ComputerMoves(m);
        // A refused card leaves the turn where it was, so no seat is skipped.
        if (!m.fault.empty()) t.turnSeat = PreviousSeat(t.turnSeat);
    }
}

void DealNextCard(Match& m) {
    DealMotion& t = m.motion;
    if (AnyCardMoving(t)) {
        if (t.nextDeckCard > 0) StepCard(m, t.deckCards[t.nextDeckCard - 1]);
        return;
    }
    if (t.nextDeckCard >= kCards) return;
    t.receivingSeatIndex = t.dealSeatIndex;
    DealCardToSeat(m, t.deckCards[t.nextDeckCard], t.dealOrder[t.dealSeatIndex]);
    ++t.nextDeckCard;
    ++t.dealtToSeat;
    ++t.cardsDealt;
    if (t.dealtToSeat == kHandCards) {
        t.dealtToSeat = 0;
        t.dealSeatIndex = t.dealSeatIndex - 1;
        if (t.dealSeatIndex == -1) t.dealSeatIndex = 3;
    }
}
}  // namespace

bool StepFrame(Match& m, const FrameInput& input) {
    if (input.reorder) RequestReorder(m);
    m.motion.clickedCard = -1;
    if (input.click) UserClick(m, input.x, input.y, input.paused, input.handLifts);
    if (input.nextDeal && m.motion.statusText == Phase::EndOfMatch) NewDeal(m);
    if (input.moveHighlight != 0) MoveHighlight(m, input.moveHighlight, input.paused);
    if (input.playHighlighted) PlayHighlighted(m, input.paused);
    if (input.paused) return false;
    UpdateMatch(m);
    const bool picked = m.motion.clickedCard >= 0;
    SendClickedCard(m);
    return picked;
}

void StartPause(Match& m, std::uint32_t milliseconds) {
    DealMotion& t = m.motion;
    t.statusBeforePause = t.statusText;
    t.statusText = Phase::Paused;
    t.pauseStartTick = m.clock->TickCount();
    t.pauseLength = milliseconds;
}

void StepCard(Match& m, CardSprite& card) {
    if (!card.moving) return;
    StepOnce(card);
    CardArrived(m, card);
}

void CardArrived(Match& m, CardSprite& card) {
    DealMotion& t = m.motion;
    if (!card.moving || !HasArrived(card, m.layout)) return;
    card.moving = false;
    switch (t.statusText) {
        case Phase::NormalPlay: {
            PutCardOnTable(m, card);
            RemoveFromHand(m, card);
            card.inUse = false;
            t.lastPlayer = t.turnSeat;
            t.playOrder[m.deal.cardsPlayed] = static_cast<std::int8_t>(card.card);
            const int winner = PlayCard(m.deal, card.card);
            if (winner >= 0) ResolveTrick(m, winner);
            if (t.userCardInFlight) t.waitingForUser = false;
            if (t.statusText == Phase::NormalPlay) CheckEndOfDeal(m);
            if (!t.pauseDone) StartPause(m, kPauseAfterCard);
            break;
        }
        case Phase::DealingCards:
            AddDealtCard(m, card);
            ParkCard(card);
            if (t.cardsDealt == kCards) {
                t.statusText = Phase::NormalPlay;
                SetFirstLeader(m);
                t.dealtToSeat = 0;
            }
            LayOutStock(m);
            break;
        case Phase::WeGathering:
            StopTrickCards(m);
            t.statusText = Phase::WeGetting;
            break;
        case Phase::TheyGathering:
            StopTrickCards(m);
            t.statusText = Phase::TheyGetting;
            break;
        case Phase::WeGetting: TrickReachedPile(m, true); break;
        case Phase::TheyGetting: TrickReachedPile(m, false); break;
        case Phase::GatherAroundFirstCard:
            StopHandCards(m);
            SortUserHand(m);
            t.statusText = Phase::SpreadAheadFirstCard;
            break;
        case Phase::SpreadAheadFirstCard:
            StopHandCards(m);
            t.statusText = t.statusBeforeReorder;
            break;
        default: break;
    }
}

void UpdateMatch(Match& m) {
    DealMotion& t = m.motion;
    switch (t.statusText) {
        case Phase::Paused:
            // Unsigned difference: correct across the tick counter's wrap-around.
            if (m.clock->TickCount() - t.pauseStartTick > t.pauseLength) {
                t.statusText = t.statusBeforePause;
                t.pauseDone = true;
            }
            break;
        case Phase::NormalPlay: UpdateNormalPlay(m); break;
        case Phase::DealingCards: DealNextCard(m); break;
        case Phase::WeGathering:
        case Phase::TheyGathering:
            if (AnyCardMoving(t)) StepTrickCards(m);
            else GatherTrick(m);
            break;
        case Phase::WeGetting:
            if (AnyCardMoving(t)) StepTrickCards(m);
            else CarryTrickToPile(m, m.layout.ourPileX, m.layout.ourPileY);
            break;
        case Phase::TheyGetting:
            if (AnyCardMoving(t)) StepTrickCards(m);
            else CarryTrickToPile(m, m.layout.theirPileX, m.layout.theirPileY);
            break;
        case Phase::GatherAroundFirstCard:
            if (AnyCardMoving(t)) StepGatheredHand(m);
            else GatherHand(m, RoundHalfEven(t.userHand[0].x), RoundHalfEven(t.userHand[0].y));
            break;
        case Phase::SpreadAheadFirstCard:
            if (AnyCardMoving(t)) StepGatheredHand(m);
            else SpreadHand(m);
            break;
        case Phase::EndOfMatch: break;
    }
}

namespace {
// Where a fresh deal's sprites start: the stock's first cards shown face down, every hand slot
// at its home, empty until dealt.
void SetOutSprites(DealMotion& t, const TableLayout& l) {
    for (int i = 0; i <= 11; ++i) t.deckCards[i].inUse = true;
    for (int i = 0; i < kCards; ++i) {
        t.deckCards[i].width = l.cardWidth;
        t.deckCards[i].height = l.cardHeight;
    }
    for (int k = 0; k < kHandCards; ++k) {
        for (int seat = 0; seat < 4; ++seat) {
            CardSprite& c = HandSprites(t, seat)[k];
            c.card = 1;
            c.width = l.cardWidth;
            c.height = l.cardHeight;
        }
        CardSprite& u = t.userHand[k];
        u.homeX = l.handAnchorX[userSeat] + l.handStep[userSeat] * k;
        u.homeY = l.handAnchorY[userSeat];
        // Placeholder homes of the computer seats; a slot is drawn only once dealt.
        t.leftHand[k].homeX = 10;
        t.leftHand[k].homeY = 260 + 8 * k;
        t.partnerHand[k].homeX = 200 + 8 * k;
        t.partnerHand[k].homeY = 15;
        t.rightHand[k].homeX = 400;
        t.rightHand[k].homeY = 260 + 8 * k;
        for (int seat = 0; seat < 4; ++seat) {
            CardSprite& c = HandSprites(t, seat)[k];
            c.x = static_cast<float>(c.homeX);
            c.y = static_cast<float>(c.homeY);
        }
    }
    for (int i = 0; i <= 20; ++i) t.trickCards[i].faceUp = true;
}
}  // namespace

void NewDeal(Match& m) {
    if (m.score.matchOver) m.score = MatchScore{};
    m.deal = DealState{};
    // Nothing of the last deal's motion is kept (see DealMotion); who deals next is the Match's.
    m.motion = DealMotion{};
    DealMotion& t = m.motion;
    SetTableSpots(m);
    SetOutSprites(t, m.layout);
    // The stock fans out from the card dealt next, nextDeckCard 0.
    LayOutStock(m);
    if (m.numberedDeals) {
        DealFromNumber(m, NextDealNumber(m));
    } else {
        m.dealNumber = 0;
        Shuffle(m);
        m.dealerSeat = NextDealer(m);
    }
    t.turnSeat = m.dealerSeat;
    MakeDealOrder(m);
    PlayEffect(m, SoundEffect::Shuffle);
}

void StartNewMatch(Match& m) {
    m.score = MatchScore{};
    NewDeal(m);
}

void CheckEndOfDeal(Match& m) {
    if (!DealOver(m.deal)) return;
    m.motion.statusText = Phase::EndOfMatch;
    ScoreDeal(m);
}

void ScoreDeal(Match& m) {
    MatchScore& s = m.score;
    if (s.dealHistoryCount >= kDealHistory) {
        // Only endless ties get here: keep the most recent deals, oldest dropped first.
        std::copy(s.ourDealPoints.begin() + 1, s.ourDealPoints.end(), s.ourDealPoints.begin());
        std::copy(s.theirDealPoints.begin() + 1, s.theirDealPoints.end(), s.theirDealPoints.begin());
        s.dealHistoryCount = kDealHistory - 1;
    }
    s.ourDealPoints[s.dealHistoryCount] = m.motion.ourDealScore;
    s.theirDealPoints[s.dealHistoryCount] = m.motion.theirDealScore;
    ++s.dealHistoryCount;
    s.ourMatchPoints += m.motion.ourDealScore;
    s.theirMatchPoints += m.motion.theirDealScore;
    s.resultText = "";
    if (s.ourMatchPoints > kWinThreshold && s.ourMatchPoints > s.theirMatchPoints) {
        s.matchOver = true;
        s.resultText = "We Won!";
        PlayEffect(m, SoundEffect::WinGame);
    } else if (s.theirMatchPoints > kWinThreshold && s.theirMatchPoints > s.ourMatchPoints) {
        s.resultText = "We lost!";
        PlayEffect(m, SoundEffect::LoseGame);
        s.matchOver = true;
    } else {
        PlayEffect(m, SoundEffect::Intro);
    }
}

}  // namespace pellow
