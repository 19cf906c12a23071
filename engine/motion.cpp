#include "motion.hpp"

#include <cmath>

#include "numeric.hpp"

namespace pellow {

void StartMove(CardSprite& card, float x, float y, int frames) {
    card.moving = true;
    card.targetX = x;
    card.targetY = y;
    card.dirX = Sign(card.targetX - card.x);
    card.dirY = Sign(card.targetY - card.y);
    card.stepX = std::fabs(card.targetX - card.x) / static_cast<float>(frames);
    card.stepY = std::fabs(card.targetY - card.y) / static_cast<float>(frames);
}

void StepOnce(CardSprite& card) {
    card.x += static_cast<float>(card.dirX) * card.stepX;
    card.y += static_cast<float>(card.dirY) * card.stepY;
}

bool HasArrived(const CardSprite& card, const TableLayout& l) {
    return std::fabs(card.x - card.targetX) <= static_cast<float>(l.arriveToleranceX) &&
           std::fabs(card.y - card.targetY) <= static_cast<float>(l.arriveToleranceY);
}

int FramesToArrive(CardSprite card, const TableLayout& l) {
    for (int f = 1; f <= 1000; ++f) {
        StepOnce(card);
        if (HasArrived(card, l)) return f;
    }
    return -1;
}

bool AnyCardMoving(const DealMotion& t) {
    for (int seat = 0; seat < 4; ++seat) {
        const auto& hand = HandSprites(t, seat);
        for (int i = 0; i < kHandCards; ++i)
            if (hand[i].moving) return true;
    }
    for (int i = 0; i < kCards; ++i)
        if (t.deckCards[i].moving) return true;
    for (int i = 0; i < t.trickCount; ++i)
        if (t.trickCards[i].moving) return true;
    return false;
}

void LaunchCard(Match& m, CardSprite& card, int x, int y) {
    StartMove(card, static_cast<float>(x), static_cast<float>(y), m.layout.playFrames);
}

void LaunchToPoint(Match& m, CardSprite& card, int x, int y) {
    if (AnyCardMoving(m.motion)) return;
    PlayCardSound(m);
    LaunchCard(m, card, x, y);
}

}  // namespace pellow
