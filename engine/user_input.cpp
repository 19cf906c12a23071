#include "user_input.hpp"

#include "motion.hpp"
#include "phases.hpp"
#include "trick.hpp"

namespace pellow {

namespace {
bool PlayableSlot(const Match& m, int slot) {
    if (slot < 0 || slot >= kHandCards) return false;
    const CardSprite& c = m.motion.userHand[slot];
    return c.inUse && MayPlay(m.deal, userSeat, c.card);
}

int PickSlot(DealMotion& t, int slot) {
    t.userCardInFlight = true;
    t.userHasChosen = true;
    return slot;
}
}  // namespace

int HitTestHand(Match& m, int pointerX, int pointerY, const HandLifts& lifts) {
    DealMotion& t = m.motion;
    if (t.userHasChosen) return -1;
    for (int i = 12; i >= 0; --i) {
        const CardSprite& c = t.userHand[i];
        if (!c.inUse || c.moving) continue;
        const double top = c.y - lifts[static_cast<std::size_t>(i)];
        const bool hit = c.x < pointerX && pointerX < c.x + c.width && top < pointerY && pointerY < top + c.height;
        if (hit && MayPlay(m.deal, userSeat, c.card)) return PickSlot(t, i);
    }
    return -1;
}

int HighlightedSlot(const Match& m) {
    const int slot = m.motion.highlightedCard;
    if (slot < 0 || !UserMayPick(m, false)) return -1;
    if (PlayableSlot(m, slot)) return slot;
    for (int d = 1; d < kHandCards; ++d) {
        if (PlayableSlot(m, slot + d)) return slot + d;
        if (PlayableSlot(m, slot - d)) return slot - d;
    }
    return -1;
}

void MoveHighlight(Match& m, int direction, bool paused) {
    if (!UserMayPick(m, paused)) return;
    int& slot = m.motion.highlightedCard;
    const int shown = HighlightedSlot(m);
    if (shown < 0) {
        for (slot = 0; slot < kHandCards && !PlayableSlot(m, slot); ++slot) {
        }
        return;
    }
    slot = shown;
    for (int next = shown + direction; next >= 0 && next < kHandCards; next += direction)
        if (PlayableSlot(m, next)) {
            slot = next;
            return;
        }
}

void PlayHighlighted(Match& m, bool paused) {
    if (!UserMayPick(m, paused) || m.motion.clickedCard >= 0) return;
    const int slot = HighlightedSlot(m);
    if (slot >= 0) m.motion.clickedCard = PickSlot(m.motion, slot);
}

bool UserMayPick(const Match& m, bool paused) {
    const DealMotion& t = m.motion;
    return !paused && t.statusText == Phase::NormalPlay && t.turnSeat == userSeat && t.waitingForUser &&
           !t.userHasChosen && !AnyCardMoving(t);
}

void UserClick(Match& m, int x, int y, bool paused, const HandLifts& lifts) {
    if (m.motion.statusText == Phase::EndOfMatch) {
        NewDeal(m);
        return;
    }
    // A pick taken while cards move or the game is paused could never be sent, and would
    // leave the turn with no way to play: such clicks are simply not picks.
    if (UserMayPick(m, paused)) m.motion.clickedCard = HitTestHand(m, x, y, lifts);
}

void SendClickedCard(Match& m) {
    DealMotion& t = m.motion;
    if (t.clickedCard < 0) return;
    if (t.statusText != Phase::NormalPlay || AnyCardMoving(t)) {
        // Never send a card outside normal play; give the turn back to the player instead.
        t.clickedCard = -1;
        t.userHasChosen = false;
        t.userCardInFlight = false;
        return;
    }
    CardSprite& card = t.userHand[t.clickedCard];
    if (FirstLeadOfDeal(m.deal)) m.deal.trumps = static_cast<std::int8_t>(SuitOf(card.card));
    PlayCardToTable(m, card);
}

bool RequestReorder(Match& m) {
    const DealMotion& t = m.motion;
    if (t.statusText != Phase::NormalPlay || m.deal.handCount[userSeat] < kHandCards || t.turnSeat != userSeat ||
        AnyCardMoving(t))
        return false;
    m.motion.statusBeforeReorder = t.statusText;
    m.motion.statusText = Phase::GatherAroundFirstCard;
    return true;
}

}  // namespace pellow
