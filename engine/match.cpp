#include "match.hpp"

namespace pellow {

std::string_view PhaseText(Phase phase) {
    switch (phase) {
        case Phase::DealingCards: return "DEALING CARDS";
        case Phase::NormalPlay: return "NORMAL PLAY";
        case Phase::Paused: return "PAUSED";
        case Phase::WeGathering: return "WE ARE GETTING CARDS - GOTHERING";
        case Phase::TheyGathering: return "THEY ARE GETTING CARDS - GOTHERING";
        case Phase::WeGetting: return "WE ARE GETTING CARDS";
        case Phase::TheyGetting: return "THEY ARE GETTING CARDS";
        case Phase::GatherAroundFirstCard: return "GOTHER AROUND FIRST CARD";
        case Phase::SpreadAheadFirstCard: return "SPREAD AHEAD FIRST CARD";
        case Phase::EndOfMatch: return "END OF MATCH";
    }
    return "";
}

// ---- Seat views and services ----

std::array<CardSprite, kHandSlots>& HandSprites(DealMotion& t, int seat) {
    switch (seat) {
        case rightSeat: return t.rightHand;
        case partnerSeat: return t.partnerHand;
        case leftSeat: return t.leftHand;
        default: return t.userHand;
    }
}
const std::array<CardSprite, kHandSlots>& HandSprites(const DealMotion& t, int seat) {
    return HandSprites(const_cast<DealMotion&>(t), seat);
}

int RandomBelow(Match& m, int n) { return RandomBelow(*m.random, n); }

int RandomBelow(RandomSource& r, int n) {
    const int k = static_cast<int>(r.Rnd() * static_cast<float>(n));  // Int of a non-negative value
    return k < n ? k : n - 1;
}

void PlayEffect(Match& m, SoundEffect effect) {
    if (m.sounds) m.sounds->PlaySound(effect);
}

void PlayCardSound(Match& m) {
    PlayEffect(m, static_cast<SoundEffect>(static_cast<int>(SoundEffect::CardFlip1) + RandomBelow(m, 3)));
}

void PlaySignSound(Match& m) {
    PlayEffect(m, static_cast<SoundEffect>(static_cast<int>(SoundEffect::Sign1) + RandomBelow(m, 3)));
}

}  // namespace pellow
