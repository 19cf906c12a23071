#include "cards.hpp"

namespace pellow {

namespace {
const char* const kSuitLetters[4] = {"C", "D", "H", "S"};  // file order

int SuitFromLetter(char c, int current) {
    switch (c) {
        case 'D': return kDiamonds;
        case 'S': return kSpades;
        case 'C': return kClubs;
        case 'H': return kHearts;
        default: return current;
    }
}
}  // namespace

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

void MakeCardFileNames(Match& m) {
    for (int s = 0; s < 4; ++s) {
        m.cardFileName[s] = std::string("A") + kSuitLetters[s] + ".BMP";
        m.cardFileName[40 + s] = std::string("J") + kSuitLetters[s] + ".BMP";
        m.cardFileName[44 + s] = std::string("Q") + kSuitLetters[s] + ".BMP";
        m.cardFileName[48 + s] = std::string("K") + kSuitLetters[s] + ".BMP";
    }
    for (int k = 0; k <= 8; ++k) {
        const std::string r = std::to_string(k + 2);
        for (int s = 0; s < 4; ++s) m.cardFileName[4 * k + 4 + s] = r + kSuitLetters[s] + ".BMP";
    }
    MakeCardTables(m);
}

void MakeCardTables(Match& m) {
    for (int code = 0; code < kCards; ++code) {
        const std::string& name = m.cardFileName[code];
        int rank = 0;
        switch (name[0]) {
            case 'J': rank = 11; break;
            case 'Q': rank = 12; break;
            case 'K': rank = 13; break;
            case 'A': rank = 1; break;
            case '1': rank = 10; break;
            default: rank = name[0] - '0'; break;
        }
        m.cardRank[code] = rank;
        int suit = SuitFromLetter(name[1], 0);
        suit = SuitFromLetter(name[2], suit);
        m.cardSuit[code] = suit;
    }
    // 2 is weakest (0), the ace strongest (12).
    for (int rank = 2; rank <= 13; ++rank) m.rankOrder[rank] = rank - 2;
    m.rankOrder[1] = 12;
}

int Strength(const Match& m, int code) { return m.rankOrder[m.cardRank[code]]; }

int CardPoints(const Match& m, int code) {
    const bool trump = m.cardSuit[code] == m.trumpSuit;
    switch (m.cardRank[code]) {
        case 9: return trump ? 18 : 9;
        case 5: return trump ? 10 : 5;
        case 1: return trump ? 4 : 0;
        case 13: return trump ? 3 : 0;
        case 12: return trump ? 2 : 0;
        case 11: return trump ? 1 : 0;
        default: return 0;
    }
}

int CardPoints(const Match& m, const CardSprite& card) { return CardPoints(m, card.card); }

bool CardBeats(const Match& m, int challenger, int holder) {
    if (m.trickCount <= 0) return false;
    const bool challengerTrump = m.cardSuit[challenger] == m.trumpSuit;
    const bool holderTrump = m.cardSuit[holder] == m.trumpSuit;
    if (challengerTrump) return !(holderTrump && Strength(m, holder) > Strength(m, challenger));
    return m.cardSuit[challenger] == m.cardSuit[holder] &&
           Strength(m, challenger) > Strength(m, holder);
}

int SeatAtOffset(const Match& m, int offset) { return (m.turnSeat + offset) % 4; }

void ResolveTrick(Match& m) {
    m.lastPlayer = m.turnSeat;
    if (m.trickPlayed < 4 || m.trickPlayed % 4 != 0) return;

    // Turns run downwards, so the card led came from turnSeat + 3 and the fourth from turnSeat.
    int winner = SeatAtOffset(m, 3);
    int position = 0;
    for (int p = 1; p <= 3; ++p) {
        if (CardBeats(m, m.trickCards[p].card, m.trickCards[position].card)) {
            winner = SeatAtOffset(m, 3 - p);
            position = p;
        }
    }
    m.trickWinner = winner;
    m.trickWinnerCard = position;
    m.trickPlayed = 0;
    m.turnSeat = winner;
    for (int i = 0; i < m.trickCount; ++i) m.trickCards[i].gathered = true;
    m.lastTrickWinner = winner;
    if (winner == userSeat || winner == partnerSeat) {
        m.statusText = Phase::WeGathering;
        m.trickTakenBy = 1;
    } else {
        m.statusText = Phase::TheyGathering;
        m.trickTakenBy = 2;
    }
}

void SumDealPoints(Match& m) {
    m.ourDealScore = 0;
    for (int i = 0; i < m.ourTakenCount; ++i) m.ourDealScore += CardPoints(m, m.ourTakenCodes[i]);
    m.theirDealScore = 0;
    for (int i = 0; i < m.theirTakenCount; ++i)
        m.theirDealScore += CardPoints(m, m.theirTakenCodes[i]);
}

void ResetDealCounters(Match& m) {
    m.ourDealScore = 0;
    m.theirDealScore = 0;
    m.ourTakenCount = 0;
    m.theirTakenCount = 0;
    m.userHandCount = m.rightHandCount = m.partnerHandCount = m.leftHandCount = 0;
    m.trickCodeCount = 0;
    m.lastTrickWinner = 0;
}

// ---- Seat views and services ----

std::array<CardSprite, 16>& HandSprites(Match& m, int seat) {
    switch (seat) {
        case rightSeat: return m.rightHand;
        case partnerSeat: return m.partnerHand;
        case leftSeat: return m.leftHand;
        default: return m.userHand;
    }
}
const std::array<CardSprite, 16>& HandSprites(const Match& m, int seat) {
    return HandSprites(const_cast<Match&>(m), seat);
}
std::array<int, 16>& HandCodes(Match& m, int seat) {
    switch (seat) {
        case rightSeat: return m.rightHandCodes;
        case partnerSeat: return m.partnerHandCodes;
        case leftSeat: return m.leftHandCodes;
        default: return m.userHandCodes;
    }
}
const std::array<int, 16>& HandCodes(const Match& m, int seat) {
    return HandCodes(const_cast<Match&>(m), seat);
}
int& HandCount(Match& m, int seat) {
    switch (seat) {
        case rightSeat: return m.rightHandCount;
        case partnerSeat: return m.partnerHandCount;
        case leftSeat: return m.leftHandCount;
        default: return m.userHandCount;
    }
}
int HandCount(const Match& m, int seat) { return HandCount(const_cast<Match&>(m), seat); }

float Rnd(Match& m) { return m.random->Rnd(); }

int RandomBelow(Match& m, int n) {
    const int k = static_cast<int>(Rnd(m) * static_cast<float>(n));  // Int of a non-negative value
    return k < n ? k : n - 1;
}

void PlayEffect(Match& m, SoundEffect effect) {
    if (m.sounds) m.sounds->PlaySound(effect);
}

void ShowMessage(Match& m, const std::string& text) {
    if (m.messages) m.messages->ShowMessage(text);
}

void PlayCardSound(Match& m) {
    PlayEffect(m, static_cast<SoundEffect>(static_cast<int>(SoundEffect::CardFlip1) + RandomBelow(m, 3)));
}

void PlaySignSound(Match& m) {
    PlayEffect(m, static_cast<SoundEffect>(static_cast<int>(SoundEffect::Sign1) + RandomBelow(m, 3)));
}

}  // namespace pellow
