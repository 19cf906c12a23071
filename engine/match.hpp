#pragma once
// The one match: cards, hands, trick, piles, scores, turn, phase and table layout. The phase
// machine, the computer player and the drawing all read and write this single object.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "services.hpp"

namespace pellow {

// Card codes are rank-major in picture-file order: code / 4 is A, 2..10, J, Q, K and code % 4
// is clubs, diamonds, hearts, spades. Suit *codes* follow another order (see below).
inline constexpr int kCards = 52;
inline constexpr int kClubs = 0, kHearts = 1, kSpades = 2, kDiamonds = 3;

inline constexpr int userSeat = 0;
inline constexpr int rightSeat = 1;
inline constexpr int partnerSeat = 2;
inline constexpr int leftSeat = 3;

// Team 1 ("WE") is seats 0 and 2, team 2 ("THEY") seats 1 and 3.
inline constexpr int TeamOfSeat(int seat) { return (seat % 2 == 0) ? 1 : 2; }

struct CardSprite {
    float x = 0.0f;
    float y = 0.0f;
    int card = 0;
    bool inUse = false;
    bool faceUp = false;
    bool moving = false;
    float targetX = 0.0f;
    float targetY = 0.0f;
    float stepX = 0.0f;
    float stepY = 0.0f;
    int dirX = 0;
    int dirY = 0;
    int homeX = 0;
    int homeY = 0;
    int width = 0;
    int height = 0;
    bool gathered = false;
    int spot = 0;
};

struct TableSpot {
    int x = 0;
    int y = 0;
    bool occupied = false;
};

// The phase of a deal. Each value stands for exactly one of the texts of PhaseText.
enum class Phase {
    DealingCards,
    NormalPlay,
    Paused,
    WeGathering,
    TheyGathering,
    WeGetting,
    TheyGetting,
    GatherAroundFirstCard,
    SpreadAheadFirstCard,
    EndOfMatch,
};

std::string_view PhaseText(Phase phase);

inline constexpr int kDealHistory = 41;

struct Match {
    // ---- Services wired in by the owner (never owned here) ----
    RandomSource* random = nullptr;
    TickClock* clock = nullptr;
    SoundRequests* sounds = nullptr;
    MessageRequests* messages = nullptr;
    ComputerPlayer* computer = nullptr;

    // ---- Start-up settings (written by the start-up dialog, read afterwards) ----
    std::string packFileName = "res002.pak";
    std::string deckFolder;
    std::string resolution;  // "800x600"; anything else means 1024 x 768
    int screenWidth = 800;
    int screenHeight = 600;
    bool slowAnimation = false;

    // ---- Card tables (filled once by MakeCardFileNames / MakeCardTables) ----
    std::array<std::string, 56> cardFileName{};
    std::array<int, 55> cardRank{};
    std::array<int, 55> cardSuit{};
    std::array<int, 14> rankOrder{};  // indexed by face rank 1..13

    // ---- Hands: drawn sprites plus the compact code lists the computer reads ----
    std::array<CardSprite, 16> userHand{}, rightHand{}, partnerHand{}, leftHand{};
    std::array<int, 16> userHandCodes{}, rightHandCodes{}, partnerHandCodes{}, leftHandCodes{};
    int userHandCount = 0, rightHandCount = 0, partnerHandCount = 0, leftHandCount = 0;

    // ---- Stock, trick, piles ----
    std::array<CardSprite, 53> deckCards{};
    std::array<CardSprite, 36> trickCards{};
    int trickCount = 0;
    std::array<int, 36> trickCodes{};
    int trickCodeCount = 0;
    int trickPlayed = 0;
    int cardsPlayed = 0;
    std::array<CardSprite, 53> ourPile{}, theirPile{};
    int ourPileCount = 0, theirPileCount = 0;
    std::array<int, 56> ourTakenCodes{}, theirTakenCodes{};
    int ourTakenCount = 0, theirTakenCount = 0;

    // ---- Turn and trick outcome ----
    int turnSeat = 0;
    int dealerSeat = 0;
    int trumpSuit = 0;
    int trickWinner = 0;
    int trickWinnerCard = 0;
    int trickTakenBy = 1;
    int lastTrickWinner = 0;
    int lastPlayer = 0;
    // [seat][suit code]: -1 = may still hold the suit, 0 = a computer seat failed to follow it.
    int voidKnown[5][5] = {};
    bool firstDealDone = false;
    bool dealerChosen = false;
    Phase statusText = Phase::DealingCards;

    // ---- Shuffle and deal ----
    std::array<int, 54> shuffleDrawn{};
    std::array<int, 5> dealOrder{};
    int nextDeckCard = 0;
    int dealSeatIndex = 0;
    int receivingSeatIndex = 0;
    int dealtToSeat = 0;
    int cardsDealt = 0;
    std::array<TableSpot, 31> tableSpots{};

    // ---- Turn state and the timed pause ----
    bool waitingForUser = false;
    bool userHasChosen = false;
    bool userCardInFlight = false;
    int aiCardIndex = 0;
    Phase statusBeforePause = Phase::NormalPlay;
    std::uint32_t pauseStartTick = 0;
    std::uint32_t pauseLength = 0;
    bool pauseDone = false;
    int clickedCard = -1;
    Phase statusBeforeReorder = Phase::NormalPlay;

    // ---- Deal scores and the match ----
    int ourDealScore = 0, theirDealScore = 0;
    int ourMatchPoints = 0, theirMatchPoints = 0;
    std::array<int, kDealHistory> ourDealPoints{}, theirDealPoints{};
    int dealHistoryCount = 0;
    int winThreshold = 79;
    bool matchOver = false;
    std::string resultText;

    // ---- Layout (set by SetLayout for the chosen screen) ----
    int cardWidth = 108;
    int cardHeight = 151;
    std::array<int, 4> handAnchorX{}, handAnchorY{}, handStep{};
    int ourPileX = 0, ourPileY = 0, theirPileX = 0, theirPileY = 0;
    int moveFrames = 20;
    int playFrames = 10;
    int dealDivisor = 1;
    int arriveToleranceX = 8, arriveToleranceY = 8;
    int scatterX = 8, scatterY = 8;
    int spotJitterX = 20, spotJitterY = 16;
    int stockBaseX = 5, stockOffset = 8, stockStep = 1, stockY = 4;
    std::array<int, 4> spotDesignX{}, spotDesignY{};
    int scoreRowX = 0, scoreRowY = 0, scoreRowStep = 0;
    int scoreTotalX = 0, scoreTotalY = 0;
    int scoreResultX = 0, scoreResultY = 0;
    int scorePageX = 0, scorePageY = 0;
    int clockX = 0, clockY = 0;
    std::string scoreHeaderGap = "   ";
    int layoutWidth = 800, layoutHeight = 600;
};

// ---- Seat-indexed views of the hands ----
std::array<CardSprite, 16>& HandSprites(Match& m, int seat);
const std::array<CardSprite, 16>& HandSprites(const Match& m, int seat);
std::array<int, 16>& HandCodes(Match& m, int seat);
const std::array<int, 16>& HandCodes(const Match& m, int seat);
int& HandCount(Match& m, int seat);
int HandCount(const Match& m, int seat);

// One draw of the game's generator, and Int(Rnd * n) as the game uses it (0..n-1).
float Rnd(Match& m);
int RandomBelow(Match& m, int n);
void PlayEffect(Match& m, SoundEffect effect);
void ShowMessage(Match& m, const std::string& text);
void PlayCardSound(Match& m);
void PlaySignSound(Match& m);

}  // namespace pellow
