#pragma once
// The one match, held by lifetime so that a reader knows what each reset touches:
//   settings  chosen in the start-up dialog, fixed for the launch;
//   layout    where cards go and how fast they move on the table, kept until the table changes
//             size (MoveToLayout in layout.hpp);
//   score     the match's totals and deal history, wiped when a new match begins;
//   deal      the rules state of the deal being played (rules.hpp), wiped by every NewDeal;
//   motion    the sprites, the phase and the timed pause that animate the deal, also per deal.
// The phase machine owns motion and calls the rules core when a card lands; the computer player
// reads only `deal`; drawing reads motion and score.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rules.hpp"
#include "services.hpp"

namespace pellow {

enum class ScreenSize { Small800x600, Large1024x768 };
inline int ScreenWidth(ScreenSize s) { return s == ScreenSize::Small800x600 ? 800 : 1024; }
inline int ScreenHeight(ScreenSize s) { return s == ScreenSize::Small800x600 ? 600 : 768; }

// How well a computer seat plays: the Classic rule set, or the Expert that searches ahead.
enum class ComputerLevel { Classic, Expert };

struct LaunchSettings {
    std::string packFileName = "res002.pak";
    std::string deckFolder;
    ScreenSize screen = ScreenSize::Large1024x768;
    bool slowAnimation = false;
    ComputerLevel partner = ComputerLevel::Classic;
    ComputerLevel opponents = ComputerLevel::Classic;
};

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

    friend bool operator==(const CardSprite&, const CardSprite&) = default;
};

struct TableSpot {
    int x = 0;
    int y = 0;
    bool occupied = false;

    friend bool operator==(const TableSpot&, const TableSpot&) = default;
};

// Card sizes, hand and pile positions, landing spots and animation speeds for one table.
struct TableLayout {
    // The table's size in the layout's units: the screen's for the two fixed screens, or a table
    // of the screen's shape (MakeFittedLayout) that the drawing scales to the screen.
    int tableWidth = 1024, tableHeight = 768;
    int cardWidth = 108;
    int cardHeight = 151;
    std::array<int, 4> handAnchorX{}, handAnchorY{}, handStep{};
    int ourPileX = 0, ourPileY = 0, theirPileX = 0, theirPileY = 0;
    int moveFrames = 20;
    int playFrames = 10;
    int arriveToleranceX = 8, arriveToleranceY = 8;
    int scatterX = 8, scatterY = 8;
    int spotJitterX = 20, spotJitterY = 16;
    int stockBaseX = 5, stockOffset = 8, stockY = 4;
    // Where each seat's card lands on the table, before the jitter.
    std::array<int, 4> spotX{}, spotY{};

    friend bool operator==(const TableLayout&, const TableLayout&) = default;
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

// A deal number: the shuffle and the seat that deals, so that a deal can be dealt again exactly.
// The shuffle comes from a generator seeded with the number and the dealer is the number modulo
// four; numbers stay below a billion so that a player can read one out and type it in.
using DealNumber = std::uint32_t;
inline constexpr DealNumber kLargestDealNumber = 999'999'999;
constexpr bool ValidDealNumber(DealNumber n) { return n >= 1 && n <= kLargestDealNumber; }
constexpr int DealerOf(DealNumber n) { return static_cast<int>(n % 4); }

// Deals the score page keeps (ties can make a match longer: the oldest are dropped).
inline constexpr int kDealHistory = 41;

struct MatchScore {
    std::array<int, kDealHistory> ourDealPoints{}, theirDealPoints{};
    int dealHistoryCount = 0;
    int ourMatchPoints = 0, theirMatchPoints = 0;
    bool matchOver = false;
    std::string resultText;
    // The first deal of a match finds its dealer by the two of diamonds.
    bool firstDealDone = false;
    // A deal of this match was dealt from a number the player chose: the record counts such
    // matches apart, since a chosen deal can be one the player already knows.
    bool chosenDeals = false;

    friend bool operator==(const MatchScore&, const MatchScore&) = default;
};

// Sprite slots of DealMotion. Each holds more than a deal uses (13 cards a hand, 52 in the stock
// and in both piles together, 4 on the table and 4 landing spots); the spare slots stay empty.
inline constexpr int kHandSlots = 16;   // one seat's hand
inline constexpr int kDeckSlots = 53;   // the stock
inline constexpr int kPileSlots = 53;   // one team's pile of taken cards
inline constexpr int kTrickSlots = 36;  // cards on the table
inline constexpr int kTableSpots = 31;  // landing spots on the table
// Every sprite slot of the table, in the order hands (seats 0..3), stock, trick, our pile, theirs.
inline constexpr int kSpriteSlots = 4 * kHandSlots + kDeckSlots + kTrickSlots + 2 * kPileSlots;

// One coordinate of a sprite that a change of the table's size could not hold exactly: a float
// far from the origin keeps fewer fractional bits. `rest` is the exact position minus `value`,
// and counts only while the coordinate still holds `value` (the card has not moved since).
struct CoordinateRest {
    float value = 0.0f;
    float rest = 0.0f;

    friend bool operator==(const CoordinateRest&, const CoordinateRest&) = default;
};

// The animation of one deal. NewDeal starts every deal from a fresh DealMotion{}: nothing of the
// last deal carries over. (pauseDone, lastPlayer, aiCardIndex, statusBeforePause and the sprites'
// leftovers are each set in a deal before they are read; what outlasts a deal is in Match.)
struct DealMotion {
    // ---- Sprites: the hands, the stock, the trick and the two piles as drawn ----
    std::array<CardSprite, kHandSlots> userHand{}, rightHand{}, partnerHand{}, leftHand{};
    std::array<CardSprite, kDeckSlots> deckCards{};
    std::array<CardSprite, kTrickSlots> trickCards{};
    int trickCount = 0;
    std::array<CardSprite, kPileSlots> ourPile{}, theirPile{};
    int ourPileCount = 0, theirPileCount = 0;
    std::array<TableSpot, kTableSpots> tableSpots{};

    // ---- The phase machine ----
    Phase statusText = Phase::DealingCards;
    // Steps down one seat at the start of every turn, and is left one above a trick's winner.
    // Kept beside deal.toPlay: it is the dealer while dealing (the table draws the last card dealt
    // by it) and stays one above toPlay between turns (the R key reads it then).
    int turnSeat = 0;
    int trickWinnerCard = 0;
    int lastPlayer = 0;
    // Points of the tricks that have reached their piles; the score page shows these.
    int ourDealScore = 0, theirDealScore = 0;

    // ---- Dealing ----
    std::array<int, 5> dealOrder{};
    int nextDeckCard = 0;
    int dealSeatIndex = 0;
    int receivingSeatIndex = 0;
    int dealtToSeat = 0;
    int cardsDealt = 0;

    // ---- Turns and the timed pause ----
    bool waitingForUser = false;
    bool userHasChosen = false;
    bool userCardInFlight = false;
    int aiCardIndex = 0;
    Phase statusBeforePause = Phase::NormalPlay;
    std::uint32_t pauseStartTick = 0;
    std::uint32_t pauseLength = 0;
    bool pauseDone = false;
    int clickedCard = -1;
    // The hand slot the keyboard points at, -1 until Left or Right is first pressed in a deal.
    int highlightedCard = -1;
    Phase statusBeforeReorder = Phase::NormalPlay;

    // ---- What a saved match replays (saved_match.hpp) ----
    // The cards in the order they landed, deal.cardsPlayed of them.
    std::array<std::int8_t, kCards> playOrder{};
    // The R key has sorted the user's hand in this deal.
    bool userHandSorted = false;

    // ---- The table changed size (MoveToLayout) ----
    // Per sprite slot (kSpriteSlots order): x, y, targetX, targetY as rounded by the last move,
    // so that moving back to the earlier table puts every card exactly where it was.
    std::array<std::array<CoordinateRest, 4>, kSpriteSlots> layoutRests{};

    friend bool operator==(const DealMotion&, const DealMotion&) = default;
};

struct Match {
    // ---- Services wired in by the owner (never owned here) ----
    RandomSource* random = nullptr;
    TickClock* clock = nullptr;
    SoundRequests* sounds = nullptr;
    ComputerPlayer* computer = nullptr;

    LaunchSettings settings;
    TableLayout layout;
    MatchScore score;
    // Who deals rotates across deals and matches for the whole launch.
    bool dealerChosen = false;
    int dealerSeat = 0;
    // Numbered deals: every deal is dealt from a deal number (the chosen one when set, else one
    // drawn from `random` whose dealer is the next in turn) instead of straight from `random`.
    // Off, the deals are those the one generator gives, as the simulator's seeds record them.
    bool numberedDeals = false;
    std::optional<DealNumber> chosenDeal;  // taken by the next NewDeal
    DealNumber dealNumber = 0;             // the current deal's; 0 when not numbered
    DealState deal;
    DealMotion motion;
    // Set when the computer player answers with a card its seat may not play: the phase
    // machine refuses it and the deal stops there, for the owner to report.
    std::string fault;
};

// ---- Seat-indexed view of the hand sprites ----
std::array<CardSprite, kHandSlots>& HandSprites(DealMotion& t, int seat);
const std::array<CardSprite, kHandSlots>& HandSprites(const DealMotion& t, int seat);

// Int(Rnd * n) as the game draws it (0..n-1), from the one generator or from another source.
int RandomBelow(Match& m, int n);
int RandomBelow(RandomSource& r, int n);
void PlayEffect(Match& m, SoundEffect effect);
void PlayCardSound(Match& m);
void PlaySignSound(Match& m);

}  // namespace pellow
