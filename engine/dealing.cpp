#include "dealing.hpp"

#include <algorithm>

#include "motion.hpp"
#include "numeric.hpp"
#include "phases.hpp"

namespace pellow {

void Shuffle(Match& m) { ShuffleFrom(m, *m.random); }

void ShuffleFrom(Match& m, RandomSource& random) {
    // Draws until every code has come up once: the deck order is the order of first draws.
    std::array<bool, kCards> drawn{};
    int count = 0;
    while (count < kCards) {
        const int r = RandomBelow(random, kCards);
        if (drawn[r]) continue;
        drawn[r] = true;
        m.motion.deckCards[count++].card = r;
    }
}

DealNumber NextDealNumber(Match& m) {
    if (m.chosenDeal) {
        const DealNumber chosen = *m.chosenDeal;
        m.chosenDeal.reset();
        m.score.chosenDeals = true;
        return chosen;
    }
    // Two draws of 24 bits each (Rnd() is a multiple of 2^-24), folded into the range.
    const auto high = static_cast<std::uint64_t>(m.random->Rnd() * 16777216.0f);
    const auto low = static_cast<std::uint64_t>(m.random->Rnd() * 16777216.0f);
    DealNumber n = static_cast<DealNumber>((high << 24 | low) % kLargestDealNumber) + 1;
    if (!m.dealerChosen) return n;
    // The deal passes on: the number moves within its block of four to the next dealer's.
    n = n - n % 4 + static_cast<DealNumber>(NextSeat(m.dealerSeat));
    return n == 0 ? 4 : n;
}

void DealFromNumber(Match& m, DealNumber number) {
    MersenneRandom own(number);
    ShuffleFrom(m, own);
    m.dealNumber = number;
    m.dealerChosen = true;
    m.dealerSeat = DealerOf(number);
}

bool ChooseNextDeal(Match& m, DealNumber number) {
    if (!ValidDealNumber(number)) return false;
    m.numberedDeals = true;
    m.chosenDeal = number;
    return true;
}

std::optional<DealNumber> ParseDealNumber(std::string_view text) {
    // Nine digits at most, so the value cannot wrap; a sign or a blank is refused, not skipped.
    if (text.empty() || text.size() > 9) return std::nullopt;
    DealNumber n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + static_cast<DealNumber>(c - '0');
    }
    if (!ValidDealNumber(n)) return std::nullopt;
    return n;
}

int NextDealer(Match& m) {
    if (!m.dealerChosen) {
        m.dealerChosen = true;
        return RandomBelow(m, 4);
    }
    // The deal passes on the way the turns do.
    m.dealerSeat = NextSeat(m.dealerSeat);
    return m.dealerSeat;
}

void MakeDealOrder(Match& m) {
    for (int k = 0; k < 4; ++k) m.motion.dealOrder[k] = (m.motion.turnSeat + k) % 4;
}

void LayOutStock(Match& m) {
    DealMotion& t = m.motion;
    const TableLayout& l = m.layout;
    const int top = std::min(t.nextDeckCard + 7, kCards - 1);
    for (int i = top; i >= t.nextDeckCard; --i) {
        CardSprite& c = t.deckCards[i];
        const int x = l.stockBaseX + l.stockOffset - (i - t.nextDeckCard);
        c.x = static_cast<float>(x);
        c.y = static_cast<float>(l.stockY);
        c.homeX = x;
        c.homeY = l.stockY;
        c.inUse = true;
        c.faceUp = false;
    }
}

void DealCardToSeat(Match& m, CardSprite& card, int seat) {
    card.faceUp = seat == userSeat;
    const int x = m.layout.handAnchorX[seat] + m.layout.handStep[seat] * m.deal.handCount[seat];
    LaunchToPoint(m, card, x, m.layout.handAnchorY[seat]);
}

void AddDealtCard(Match& m, CardSprite& card) {
    const int seat = m.motion.dealOrder[m.motion.receivingSeatIndex];
    const int count = m.deal.handCount[seat];
    if (count >= kHandCards) return;  // a seat never holds more than 13 cards
    CardSprite& slot = HandSprites(m.motion, seat)[count];
    slot.x = card.x;
    slot.y = card.y;
    slot.card = card.card;
    slot.inUse = true;
    slot.faceUp = seat == userSeat;
    slot.moving = false;
    GiveCard(m.deal, seat, card.card);
}

void ParkCard(CardSprite& card) {
    card.x = static_cast<float>(card.homeX);
    card.y = static_cast<float>(card.homeY);
    card.moving = false;
    card.inUse = false;
}

int FindTwoOfDiamonds(const DealState& d) {
    for (int seat = 0; seat < 4; ++seat)
        for (int i = 0; i < d.handCount[seat]; ++i)
            if (SuitOf(d.hand[seat][i]) == kDiamonds && RankOf(d.hand[seat][i]) == 2) return seat;
    return 0;
}

void SetFirstLeader(Match& m) {
    int& turn = m.motion.turnSeat;
    if (!m.score.firstDealDone) {
        m.score.firstDealDone = true;
        m.dealerSeat = FindTwoOfDiamonds(m.deal);
        turn = PreviousSeat(m.dealerSeat);
    } else {
        turn = PreviousSeat(turn);
    }
    // The turn steps down once before the first card: the seat below this one leads.
    BeginPlay(m.deal, NextSeat(turn));
}

void DealAllAtOnce(Match& m) {
    for (int k = 0; k < kCards; ++k) {
        // dealSeatIndex runs 0, 3, 2, 1, moving on after each thirteenth card.
        const int seat = m.motion.dealOrder[(4 - k / kHandCards) % 4];
        GiveCard(m.deal, seat, m.motion.deckCards[k].card);
    }
    m.motion.nextDeckCard = m.motion.cardsDealt = kCards;
    SetFirstLeader(m);
}

void SortUserHand(Match& m) {
    auto& hand = m.motion.userHand;
    std::array<int, kHandCards> listed{};
    int n = 0;
    for (int i = 0; i < kHandCards; ++i)
        if (hand[i].inUse) listed[n++] = hand[i].card;
    std::array<int, kHandCards> sorted{};
    int k = 0;
    for (int suit = 0; suit < 4; ++suit)
        for (int strength = 12; strength >= 0; --strength)
            for (int i = 0; i < n; ++i)
                if (SuitOf(listed[i]) == suit && StrengthOf(listed[i]) == strength) sorted[k++] = listed[i];
    // The keyboard's highlight stays on its card, wherever the card goes.
    int& highlight = m.motion.highlightedCard;
    const int highlighted = highlight >= 0 && hand[highlight].inUse ? hand[highlight].card : -1;
    k = 0;
    for (int i = 0; i < kHandCards; ++i)
        if (hand[i].inUse) {
            hand[i].card = sorted[k++];
            if (hand[i].card == highlighted) highlight = i;
        }
    // The rules core keeps the user's cards in the order they are shown.
    for (int i = 0; i < n; ++i) m.deal.hand[userSeat][i] = static_cast<std::int8_t>(sorted[i]);
    m.motion.userHandSorted = true;
}

void GatherHand(Match& m, int x, int y) {
    if (AnyCardMoving(m.motion)) return;
    PlayCardSound(m);
    for (int i = 1; i < kHandCards; ++i) {
        CardSprite& c = m.motion.userHand[i];
        if (!c.inUse) continue;
        c.homeX = RoundHalfEven(c.x);
        c.homeY = RoundHalfEven(c.y);
        c.faceUp = true;
        StartMove(c, static_cast<float>(x), static_cast<float>(y), m.layout.moveFrames);
    }
}

void SpreadHand(Match& m) {
    if (AnyCardMoving(m.motion)) return;
    PlaySignSound(m);
    for (int i = 1; i < kHandCards; ++i) {
        CardSprite& c = m.motion.userHand[i];
        if (!c.inUse) continue;
        c.faceUp = true;
        StartMove(c, static_cast<float>(c.homeX), static_cast<float>(c.homeY), m.layout.moveFrames);
    }
}

void StepGatheredHand(Match& m) {
    auto& hand = m.motion.userHand;
    int test = 0;
    for (int i = 1; i < kHandCards; ++i) {
        CardSprite& c = hand[i];
        if (!c.moving) continue;
        StepOnce(c);
        test = i;
    }
    if (hand[test].moving) CardArrived(m, hand[test]);
}

void StopHandCards(Match& m) {
    for (int i = 1; i < kHandCards; ++i) m.motion.userHand[i].moving = false;
}

}  // namespace pellow
