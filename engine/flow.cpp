#include "flow.hpp"

#include <algorithm>
#include <cmath>

#include "cards.hpp"
#include "deal.hpp"
#include "numeric.hpp"
#include "play.hpp"

namespace pellow {

namespace {
constexpr std::uint32_t kPauseAfterCard = 700;

// The trick has reached its pile: count it and let the winner lead.
void TrickReachedPile(Match& m, bool ours) {
    StopTrickCards(m);
    if (ours) AddTrickToOurPile(m);
    else AddTrickToTheirPile(m);
    ClearTakenCards(m);
    m.statusText = Phase::NormalPlay;
    CheckEndOfDeal(m);
    // Undoes in advance the step down that begins the next turn.
    m.turnSeat = m.turnSeat + 1;
    if (m.turnSeat == 4) m.turnSeat = 0;
}

void ComputerMoves(Match& m) {
    if (FirstLeadOfDeal(m)) m.trumpSuit = m.computer->ChooseTrump(m, m.turnSeat);
    const int code = m.computer->ChooseCard(m, m.turnSeat);
    m.aiCardIndex = FindHandIndex(m, code, m.turnSeat);
    CardSprite& card = HandSprites(m, m.turnSeat)[m.aiCardIndex];
    card.faceUp = true;
    PlayCardToTable(m, card);
}

void UpdateNormalPlay(Match& m) {
    if (AnyCardMoving(m)) {
        for (int i = 0; i <= 12 && m.statusText == Phase::NormalPlay; ++i) StepCard(m, m.userHand[i]);
    }
    if (m.statusText != Phase::NormalPlay || m.waitingForUser) return;
    if (AnyCardMoving(m)) {
        if (m.turnSeat >= rightSeat && m.turnSeat <= leftSeat)
            StepCard(m, HandSprites(m, m.turnSeat)[m.aiCardIndex]);
        return;
    }
    // The next turn begins.
    if (m.pauseDone) m.pauseDone = false;
    m.turnSeat = m.turnSeat - 1;
    if (m.turnSeat == -1) m.turnSeat = 3;
    if (m.turnSeat == userSeat) {
        m.userHasChosen = false;
        m.userCardInFlight = false;
        m.waitingForUser = true;
    } else {
        ComputerMoves(m);
    }
}

void DealNextCard(Match& m) {
    if (AnyCardMoving(m)) {
        if (m.nextDeckCard > 0) StepCard(m, m.deckCards[m.nextDeckCard - 1]);
        return;
    }
    if (m.nextDeckCard >= kCards) return;
    m.receivingSeatIndex = m.dealSeatIndex;
    DealCardToSeat(m, m.deckCards[m.nextDeckCard], m.dealOrder[m.dealSeatIndex]);
    ++m.nextDeckCard;
    ++m.dealtToSeat;
    ++m.cardsDealt;
    if (m.dealtToSeat == 13) {
        m.dealtToSeat = 0;
        m.dealSeatIndex = m.dealSeatIndex - 1;
        if (m.dealSeatIndex == -1) m.dealSeatIndex = 3;
    }
}
}  // namespace

void StartPause(Match& m, std::uint32_t milliseconds) {
    m.statusBeforePause = m.statusText;
    m.statusText = Phase::Paused;
    m.pauseStartTick = m.clock->TickCount();
    m.pauseLength = milliseconds;
}

void StepCard(Match& m, CardSprite& card) {
    if (!card.moving) return;
    card.x += static_cast<float>(card.dirX) * card.stepX;
    card.y += static_cast<float>(card.dirY) * card.stepY;
    CardArrived(m, card);
}

void CardArrived(Match& m, CardSprite& card) {
    if (!card.moving) return;
    if (std::fabs(card.x - card.targetX) > static_cast<float>(m.arriveToleranceX) ||
        std::fabs(card.y - card.targetY) > static_cast<float>(m.arriveToleranceY))
        return;
    card.moving = false;
    switch (m.statusText) {
        case Phase::NormalPlay:
            ++m.cardsPlayed;
            ++m.trickPlayed;
            PutCardOnTable(m, card);
            RemoveFromHand(m, card);
            card.inUse = false;
            ResolveTrick(m);
            if (m.userCardInFlight) m.waitingForUser = false;
            if (m.statusText == Phase::NormalPlay) CheckEndOfDeal(m);
            if (!m.pauseDone) StartPause(m, kPauseAfterCard);
            break;
        case Phase::DealingCards:
            AddDealtCard(m, card);
            ParkCard(card);
            if (m.cardsDealt == kCards) {
                m.statusText = Phase::NormalPlay;
                SetFirstLeader(m);
                m.dealtToSeat = 0;
            }
            LayOutStock(m);
            break;
        case Phase::WeGathering:
            StopTrickCards(m);
            m.statusText = Phase::WeGetting;
            break;
        case Phase::TheyGathering:
            StopTrickCards(m);
            m.statusText = Phase::TheyGetting;
            break;
        case Phase::WeGetting:
            TrickReachedPile(m, true);
            break;
        case Phase::TheyGetting:
            TrickReachedPile(m, false);
            break;
        case Phase::GatherAroundFirstCard:
            StopHandCards(m);
            SortUserHand(m);
            m.statusText = Phase::SpreadAheadFirstCard;
            break;
        case Phase::SpreadAheadFirstCard:
            StopHandCards(m);
            m.statusText = m.statusBeforeReorder;
            break;
        default:
            break;
    }
}

void UpdateMatch(Match& m) {
    switch (m.statusText) {
        case Phase::Paused:
            // Unsigned difference: correct across the tick counter's wrap-around.
            if (m.clock->TickCount() - m.pauseStartTick > m.pauseLength) {
                m.statusText = m.statusBeforePause;
                m.pauseDone = true;
            }
            break;
        case Phase::NormalPlay:
            UpdateNormalPlay(m);
            break;
        case Phase::DealingCards:
            DealNextCard(m);
            break;
        case Phase::WeGathering:
        case Phase::TheyGathering:
            if (AnyCardMoving(m)) StepTrickCards(m);
            else GatherTrick(m);
            break;
        case Phase::WeGetting:
            if (AnyCardMoving(m)) StepTrickCards(m);
            else CarryTrickToPile(m, m.ourPileX, m.ourPileY);
            break;
        case Phase::TheyGetting:
            if (AnyCardMoving(m)) StepTrickCards(m);
            else CarryTrickToPile(m, m.theirPileX, m.theirPileY);
            break;
        case Phase::GatherAroundFirstCard:
            if (AnyCardMoving(m)) StepGatheredHand(m);
            else GatherHand(m, RoundHalfEven(m.userHand[0].x),
                            RoundHalfEven(m.userHand[0].y));
            break;
        case Phase::SpreadAheadFirstCard:
            if (AnyCardMoving(m)) StepGatheredHand(m);
            else SpreadHand(m);
            break;
        case Phase::EndOfMatch:
            break;
    }
}

void LayOutStock(Match& m) {
    const int top = std::min(m.nextDeckCard + 7, kCards - 1);
    for (int i = top; i >= m.nextDeckCard; --i) {
        CardSprite& c = m.deckCards[i];
        const int x = m.stockBaseX + m.stockOffset - (i - m.nextDeckCard) * m.stockStep;
        c.x = static_cast<float>(x);
        c.y = static_cast<float>(m.stockY);
        c.homeX = x;
        c.homeY = m.stockY;
        c.inUse = true;
        c.faceUp = false;
    }
}

void NewDeal(Match& m) {
    if (m.matchOver) {
        m.matchOver = false;
        m.dealHistoryCount = 0;
        m.firstDealDone = false;
        m.ourMatchPoints = 0;
        m.theirMatchPoints = 0;
        m.winThreshold = 79;
    }
    for (int seat = 0; seat < 4; ++seat)
        for (int suit = 0; suit < 4; ++suit) m.voidKnown[seat][suit] = -1;
    ResetDealCounters(m);
    m.trickPlayed = 0;
    m.dealtToSeat = 0;
    SetTableSpots(m);

    m.waitingForUser = false;
    m.userCardInFlight = false;
    m.trickCount = 0;
    m.ourPileCount = 0;
    m.theirPileCount = 0;
    m.cardsPlayed = 0;
    m.clickedCard = -1;

    for (int i = 0; i <= 50; ++i) m.ourPile[i].inUse = m.theirPile[i].inUse = false;
    for (int i = 0; i <= 11; ++i) {
        m.deckCards[i].inUse = true;
        m.deckCards[i].faceUp = false;
    }
    for (int i = 0; i < kCards; ++i) {
        m.deckCards[i].width = m.cardWidth;
        m.deckCards[i].height = m.cardHeight;
        m.deckCards[i].moving = false;
    }

    for (int k = 0; k <= 12; ++k) {
        for (int seat = 0; seat < 4; ++seat) {
            CardSprite& c = HandSprites(m, seat)[k];
            c.inUse = false;
            c.moving = false;
            c.card = 1;
            c.width = m.cardWidth;
            c.height = m.cardHeight;
        }
        CardSprite& u = m.userHand[k];
        u.homeX = m.handAnchorX[userSeat] + m.handStep[userSeat] * k;
        u.homeY = m.handAnchorY[userSeat];
        // Placeholder homes of the computer seats; a slot is drawn only once dealt.
        m.leftHand[k].homeX = 10;
        m.leftHand[k].homeY = 260 + 8 * k;
        m.partnerHand[k].homeX = 200 + 8 * k;
        m.partnerHand[k].homeY = 15;
        m.rightHand[k].homeX = 400;
        m.rightHand[k].homeY = 260 + 8 * k;
        for (int seat = 0; seat < 4; ++seat) {
            CardSprite& c = HandSprites(m, seat)[k];
            c.x = static_cast<float>(c.homeX);
            c.y = static_cast<float>(c.homeY);
            if (seat != userSeat) c.faceUp = false;
        }
    }
    for (int i = 0; i <= 20; ++i) {
        m.trickCards[i].inUse = false;
        m.trickCards[i].faceUp = true;
    }

    LayOutStock(m);
    Shuffle(m);
    m.nextDeckCard = 0;
    m.dealerSeat = NextDealer(m);
    m.turnSeat = m.dealerSeat;
    m.dealSeatIndex = 0;
    MakeDealOrder(m);
    m.statusText = Phase::DealingCards;
    PlayEffect(m, SoundEffect::Shuffle);
    m.cardsDealt = 0;
    m.userHasChosen = false;
}

void CheckEndOfDeal(Match& m) {
    if (m.cardsPlayed != kCards) return;
    m.statusText = Phase::EndOfMatch;
    ScoreDeal(m);
}

void ScoreDeal(Match& m) {
    if (m.dealHistoryCount >= kDealHistory) {
        // Only endless ties get here: keep the most recent deals, oldest dropped first.
        std::copy(m.ourDealPoints.begin() + 1, m.ourDealPoints.end(), m.ourDealPoints.begin());
        std::copy(m.theirDealPoints.begin() + 1, m.theirDealPoints.end(), m.theirDealPoints.begin());
        m.dealHistoryCount = kDealHistory - 1;
    }
    m.ourDealPoints[m.dealHistoryCount] = m.ourDealScore;
    m.theirDealPoints[m.dealHistoryCount] = m.theirDealScore;
    ++m.dealHistoryCount;
    m.ourMatchPoints += m.ourDealScore;
    m.theirMatchPoints += m.theirDealScore;
    m.resultText = "";
    if (m.ourMatchPoints > m.winThreshold && m.ourMatchPoints > m.theirMatchPoints) {
        m.matchOver = true;
        m.resultText = "We Won!";
        PlayEffect(m, SoundEffect::WinGame);
    } else if (m.theirMatchPoints > m.winThreshold && m.theirMatchPoints > m.ourMatchPoints) {
        m.resultText = "We lost!";
        PlayEffect(m, SoundEffect::LoseGame);
        m.matchOver = true;
    } else {
        PlayEffect(m, SoundEffect::Intro);
    }
}

}  // namespace pellow
