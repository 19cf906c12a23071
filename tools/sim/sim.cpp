#include "sim.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <iomanip>
#include <random>
#include <sstream>
#include <vector>

#include "engine/dealing.hpp"
#include "engine/layout.hpp"
#include "engine/phases.hpp"
#include "engine/rules.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {

namespace {

using Clock = std::chrono::steady_clock;

// Counts and times the computer's decisions, and checks each one before the table sees it.
class TimedPlayer final : public ComputerPlayer {
public:
    explicit TimedPlayer(ComputerPlayer& inner) : inner_(inner) {}
    int ChooseTrump(const DealState& d, int seat) override { return inner_.ChooseTrump(d, seat); }
    int ChooseCard(const DealState& d, int seat) override {
        const auto start = Clock::now();
        const int code = inner_.ChooseCard(d, seat);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        ++decisions;
        return code;
    }
    long decisions = 0;
    double seconds = 0.0;

private:
    ComputerPlayer& inner_;
};

// A computer seat that plays a uniform draw among the cards it may play, from its own stream so
// that seat 0's draws stay what they are without it.
class RandomPlayer final : public ComputerPlayer {
public:
    explicit RandomPlayer(std::uint32_t seed) : rng_(seed) {}
    int ChooseTrump(const DealState& d, int seat) override { return SuitOf(Draw(d, seat, -1)); }
    int ChooseCard(const DealState& d, int seat) override { return Draw(d, seat, FirstLeadOfDeal(d) ? d.trumps : -1); }

private:
    // A card the seat may play now, of `suit` when it is not -1.
    int Draw(const DealState& d, int seat, int suit) {
        CardList pool;
        const CardList legal = LegalCards(d);
        for (int i = 0; i < legal.count; ++i)
            if (suit < 0 || SuitOf(legal.card[i]) == suit) pool.Add(legal.card[i]);
        if (pool.count == 0) return d.hand[seat][0];
        return pool.card[std::uniform_int_distribution<int>(0, pool.count - 1)(rng_)];
    }
    std::mt19937 rng_;
};

// Times every Expert decision, of seat 0 and of the computer seats alike.
class TimedExpert final : public ComputerPlayer {
public:
    TimedExpert(std::uint32_t seed, const SeatStyles& styles) : expert_(seed, ExpertSettings{}, styles) {}
    int ChooseTrump(const DealState& d, int seat) override {
        return Timed([&] { return expert_.ChooseTrump(d, seat); });
    }
    int ChooseCard(const DealState& d, int seat) override {
        return Timed([&] { return expert_.ChooseCard(d, seat); });
    }
    std::vector<double> millis;

private:
    template <typename F>
    int Timed(F f) {
        const auto start = Clock::now();
        const int r = f();
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        return r;
    }
    ExpertPlayer expert_;
};

// What the Expert seats know of how each seat plays: a random seat is read as a person would be.
SeatStyles StylesOf(const std::array<SeatPolicy, 4>& seats) {
    SeatStyles styles{};
    for (int s = 0; s < 4; ++s)
        styles[s] = seats[s] == SeatPolicy::Rules    ? SeatStyle::Classic
                    : seats[s] == SeatPolicy::Expert ? SeatStyle::Expert
                                                     : SeatStyle::Person;
    return styles;
}

// Hands each computer seat's decisions to the player its policy names.
class SeatPlayers final : public ComputerPlayer {
public:
    std::array<ComputerPlayer*, 4> seat{};
    int ChooseTrump(const DealState& d, int s) override { return seat[s]->ChooseTrump(d, s); }
    int ChooseCard(const DealState& d, int s) override { return seat[s]->ChooseCard(d, s); }
};

template <typename Array>
void JsonArray(std::ostream& out, const Array& values, int count) {
    out << '[';
    for (int i = 0; i < count; ++i) out << (i ? "," : "") << int{values[i]};
    out << ']';
}

std::string JsonString(const std::string& s) {
    std::string r = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') r += '\\';
        r += c;
    }
    return r + "\"";
}

class Simulation {
public:
    explicit Simulation(const SimOptions& o)
        : options_(o),
          random_(o.seed),
          picker_(o.seed ^ 0x9e3779b9u),
          randomSeats_(o.seed ^ 0x5bd1e995u),
          expert_(o.seed, StylesOf(o.seats)),
          player_(o.computer ? *o.computer : seatPlayers_) {
        for (int s = 0; s < 4; ++s) seatPlayers_.seat[s] = &PlayerFor(o.seats[s]);
        m_.random = &random_;
        m_.clock = &clock_;
        m_.computer = &player_;
        m_.settings.screen = o.screen;
        m_.settings.slowAnimation = o.slowAnimation;
        m_.layout = MakeTableLayout(o.screen, o.slowAnimation);
    }

    SimStats Run() {
        const auto start = Clock::now();
        TraceSeats();
        if (options_.firstDeal != 0) ChooseNextDeal(m_, options_.firstDeal);
        NewDeal(m_);
        OnNewDeal();
        while (stats_.ok && stats_.matches < options_.matches) Frame();
        stats_.frames = frame_;
        stats_.decisions = player_.decisions;
        stats_.decisionSeconds = player_.seconds;
        stats_.expertMillis = expert_.millis;
        stats_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return stats_;
    }

private:
    ComputerPlayer& PlayerFor(SeatPolicy p) {
        switch (p) {
            case SeatPolicy::Random: return randomSeats_;
            case SeatPolicy::Expert: return expert_;
            case SeatPolicy::Rules: break;
        }
        return rules_;
    }

    void Fail(const std::string& what) {
        if (!stats_.ok) return;
        stats_.ok = false;
        std::ostringstream s;
        s << what << " (seed " << options_.seed << ", frame " << frame_ << ")";
        stats_.violation = s.str();
    }

    // One frame as the game's frame driver runs it, with seat 0 clicking when it may pick.
    // One frame as the game's frame driver runs it, with seat 0 clicking when it may pick.
    void Frame() {
        ++frame_;
        clock_.SetFrame(frame_);
        framesInDeal_++;
        prev_ = m_.deal;
        prevPhase_ = m_.motion.statusText;
        FrameInput input;
        const bool newDeal = m_.motion.statusText == Phase::EndOfMatch;
        const bool pick = !newDeal && UserMayPick(m_, false);
        if (newDeal) {
            input = {false, true, 400, 300, false};
        } else if (pick) {
            if (!ClickSeatZero(input)) return;
        }
        const bool picked = StepFrame(m_, input);
        if (newDeal) OnNewDeal();
        if (pick && !picked) Fail("a click on a legal card was not taken");
        if (!m_.fault.empty()) Fail(m_.fault);
        Check();
        if (framesInDeal_ > 200000) Fail("deal does not end");
    }

    // Where seat 0 clicks for the card its policy picks.
    bool ClickSeatZero(FrameInput& input) {
        int code = -1;
        if (options_.seats[userSeat] != SeatPolicy::Random) {
            ComputerPlayer& p = PlayerFor(options_.seats[userSeat]);
            DealState d = m_.deal;
            if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(p.ChooseTrump(d, userSeat));
            code = p.ChooseCard(d, userSeat);
        } else {
            const CardList legal = LegalCards(m_.deal);
            if (legal.count == 0) return Fail("seat 0 has no legal card"), false;
            code = legal.card[std::uniform_int_distribution<std::size_t>(
                0, static_cast<std::size_t>(legal.count) - 1)(picker_)];
        }
        const int slot = FindHandIndex(m_, code, userSeat);
        if (slot < 0) return Fail("seat 0 chose a card it does not hold"), false;
        const CardSprite& c = m_.motion.userHand[slot];
        // A point on the card's own visible strip, left of the next card in the fan.
        input = {false, true, static_cast<int>(c.x) + 2, static_cast<int>(c.y) + c.height / 2, false};
        return true;
    }

    bool Held(int seat, int suit) const { return HoldsSuit(prev_, seat, suit); }

    void Check() {
        CheckCardsAccounted();
        if (m_.deal.cardsPlayed == prev_.cardsPlayed + 1) CheckPlay();
        if (prevPhase_ == Phase::DealingCards && m_.motion.statusText == Phase::NormalPlay) OnDealt();
        if (m_.motion.statusText == Phase::EndOfMatch && prevPhase_ != Phase::EndOfMatch) OnDealEnd();
    }

    void CheckCardsAccounted() {
        const DealMotion& t = m_.motion;
        const DealState& d = m_.deal;
        std::array<int, kCards> seen{};
        auto count = [&](int code) {
            if (code < 0 || code >= kCards) return Fail("card code out of range");
            ++seen[code];
        };
        if (t.statusText == Phase::DealingCards || prevPhase_ == Phase::DealingCards) {
            for (int i = t.nextDeckCard; i < kCards; ++i) count(t.deckCards[i].card);
            if (t.nextDeckCard > 0 && t.deckCards[t.nextDeckCard - 1].moving)
                count(t.deckCards[t.nextDeckCard - 1].card);
        }
        for (int s = 0; s < 4; ++s)
            for (int i = 0; i < d.handCount[s]; ++i) count(d.hand[s][i]);
        for (int i = 0; i < d.trickCount; ++i) count(d.trick[i]);
        for (int team = 0; team < 2; ++team)
            for (int i = 0; i < d.takenCount[team]; ++i) count(d.taken[team][i]);
        for (int c = 0; c < kCards; ++c)
            if (seen[c] != 1) {
                std::ostringstream s;
                s << "card " << c << " seen " << seen[c] << " times in phase " << PhaseText(t.statusText);
                return Fail(s.str());
            }
    }

    // The card that landed this frame, checked against the deal as it was before it.
    void CheckPlay() {
        const int seat = m_.motion.lastPlayer;
        const int code = m_.deal.trick[(prev_.trickCount) % 4];
        if (seat != prev_.toPlay) Fail("a seat played out of turn");
        if (!Holds(prev_, seat, code)) Fail("seat played a card it did not hold");
        const int suit = SuitOf(code);
        if (prev_.trickCount > 0) {
            const int led = LedSuit(prev_);
            if (suit != led && Held(seat, led)) Fail("seat did not follow suit");
            if (seat != userSeat && suit != led) voidShown_[seat][led] = true;
        } else if (FirstLeadOfDeal(prev_) && suit != m_.deal.trumps) {
            Fail("the first lead of the deal is not a trump");
        }
        for (int s = 0; s < 4; ++s)
            for (int u = 0; u < 4; ++u)
                if (m_.deal.voidKnown[s][u] == 0 && !voidShown_[s][u])
                    Fail("voidKnown written for a seat that did not fail to follow");
        // The same cards played on a copy without any frames must give the same deal.
        if (FirstLeadOfDeal(prev_)) instant_ = prev_;
        PlayCard(instant_, code);
        TracePlay(seat, code);
    }

    void TraceSeats() {
        if (!options_.trace) return;
        *options_.trace << "{\"event\":\"seats\",\"levels\":[";
        for (int s = 0; s < 4; ++s)
            *options_.trace << (s ? "," : "")
                            << JsonString(s != userSeat && options_.computer ? "custom"
                                                                             : PolicyName(options_.seats[s]));
        *options_.trace << "]}\n";
    }

    void OnNewDeal() {
        framesInDeal_ = 0;
        for (auto& row : voidShown_) row.fill(false);
        if (!options_.trace) return;
        *options_.trace << "{\"event\":\"deal\",";
        if (m_.numberedDeals) *options_.trace << "\"dealNumber\":" << m_.dealNumber << ',';
        *options_.trace << "\"dealerSeat\":" << m_.dealerSeat << ",\"deckCards\":[";
        for (int i = 0; i < kCards; ++i) *options_.trace << (i ? "," : "") << m_.motion.deckCards[i].card;
        *options_.trace << "]}\n";
    }

    void OnDealt() {
        if (!options_.trace) return;
        auto& t = *options_.trace;
        const DealState& d = m_.deal;
        t << "{\"event\":\"dealt\",\"userHandCodes\":";
        JsonArray(t, d.hand[userSeat], d.handCount[userSeat]);
        t << ",\"rightHandCodes\":";
        JsonArray(t, d.hand[rightSeat], d.handCount[rightSeat]);
        t << ",\"partnerHandCodes\":";
        JsonArray(t, d.hand[partnerSeat], d.handCount[partnerSeat]);
        t << ",\"leftHandCodes\":";
        JsonArray(t, d.hand[leftSeat], d.handCount[leftSeat]);
        t << ",\"dealerSeat\":" << m_.dealerSeat << ",\"leader\":" << int{d.toPlay} << "}\n";
    }

    // What the seat saw when it played: the deal before the card.
    void TracePlay(int seat, int code) {
        if (!options_.trace) return;
        auto& t = *options_.trace;
        t << "{\"event\":\"play\",\"turnSeat\":" << seat << ",\"hand\":";
        JsonArray(t, prev_.hand[seat], prev_.handCount[seat]);
        t << ",\"trickCodes\":";
        JsonArray(t, prev_.trick, prev_.trickCount);
        t << ",\"ourPile\":";
        JsonArray(t, prev_.taken[0], prev_.takenCount[0]);
        t << ",\"theirPile\":";
        JsonArray(t, prev_.taken[1], prev_.takenCount[1]);
        t << ",\"trumpSuit\":" << int{m_.deal.trumps} << ",\"voidKnown\":[";
        for (int s = 0; s < 4; ++s) {
            t << (s ? "," : "");
            JsonArray(t, m_.deal.voidKnown[s], 4);
        }
        t << "],\"card\":" << code << "}\n";
    }

    void OnDealEnd() {
        const MatchScore& score = m_.score;
        const DealMotion& t = m_.motion;
        ++stats_.deals;
        stats_.ourPoints += t.ourDealScore;
        stats_.theirPoints += t.theirDealScore;
        if (t.ourDealScore + t.theirDealScore != 80) Fail("deal points do not sum to 80");
        if (t.ourPileCount + t.theirPileCount != kCards) Fail("piles do not hold 52 cards");
        CheckInstantDealAgrees();
        const bool weWin = score.ourMatchPoints > kWinThreshold && score.ourMatchPoints > score.theirMatchPoints;
        const bool theyWin = score.theirMatchPoints > kWinThreshold && score.theirMatchPoints > score.ourMatchPoints;
        if (score.matchOver != (weWin || theyWin)) Fail("match end does not follow the totals");
        if (score.resultText != (weWin ? "We Won!" : theyWin ? "We lost!" : "")) Fail("wrong result text");
        if (score.matchOver) {
            ++stats_.matches;
            (weWin ? stats_.weWon : stats_.theyWon)++;
        }
        if (!options_.trace) return;
        *options_.trace << "{\"event\":\"end\",\"ourDealScore\":" << t.ourDealScore
                        << ",\"theirDealScore\":" << t.theirDealScore << ",\"ourMatchPoints\":" << score.ourMatchPoints
                        << ",\"theirMatchPoints\":" << score.theirMatchPoints
                        << ",\"resultText\":" << JsonString(score.resultText) << "}\n";
    }

    // The animated deal against the copy played with the instant rules: piles card for card, in
    // the order the tricks were taken, and the deal's points.
    void CheckInstantDealAgrees() {
        const DealMotion& t = m_.motion;
        const std::array<const std::array<CardSprite, 53>*, 2> piles{&t.ourPile, &t.theirPile};
        const std::array<int, 2> pileCounts{t.ourPileCount, t.theirPileCount};
        const std::array<int, 2> scores{t.ourDealScore, t.theirDealScore};
        for (int team = 0; team < 2; ++team) {
            if (instant_.takenCount[team] != pileCounts[team] || m_.deal.takenCount[team] != pileCounts[team])
                return Fail("the instant deal's piles differ from the animated ones");
            for (int i = 0; i < pileCounts[team]; ++i)
                if (instant_.taken[team][i] != (*piles[team])[i].card ||
                    m_.deal.taken[team][i] != instant_.taken[team][i])
                    return Fail("the instant deal's piles differ from the animated ones");
            if (DealPoints(instant_, team) != scores[team]) return Fail("the instant deal scores differently");
        }
    }

    const SimOptions& options_;
    Match m_;
    MersenneRandom random_;
    std::mt19937 picker_;
    ManualClock clock_;
    long frame_ = 0;
    RulesPlayer rules_;
    RandomPlayer randomSeats_;
    TimedExpert expert_;
    SeatPlayers seatPlayers_;
    TimedPlayer player_;
    SimStats stats_;
    long framesInDeal_ = 0;
    DealState prev_;     // the deal at the start of the frame
    DealState instant_;  // the deal's cards played on a copy, no frames between
    std::array<std::array<bool, 4>, 4> voidShown_{};
    Phase prevPhase_ = Phase::DealingCards;
};

}  // namespace

const char* PolicyName(SeatPolicy p) {
    switch (p) {
        case SeatPolicy::Random: return "random";
        case SeatPolicy::Expert: return "expert";
        case SeatPolicy::Rules: break;
    }
    return "rules";
}

SimStats RunSimulation(const SimOptions& options) { return Simulation(options).Run(); }

void PrintStats(const SimStats& s, std::ostream& out) {
    const double deals = s.deals ? static_cast<double>(s.deals) : 1.0;
    out << std::fixed << std::setprecision(2);
    out << "matches: " << s.matches << '\n';
    out << "deals: " << s.deals << '\n';
    out << "matches won by WE: " << s.weWon << '\n';
    out << "matches won by THEY: " << s.theyWon << '\n';
    out << "average deal points WE: " << s.ourPoints / deals << '\n';
    out << "average deal points THEY: " << s.theirPoints / deals << '\n';
    out << "frames per deal: " << s.frames / deals << '\n';
    out << "decisions: " << s.decisions << '\n';
}

void PrintTimings(const SimStats& s, std::ostream& out) {
    out << std::fixed << std::setprecision(0);
    out << "decisions per second: " << (s.decisionSeconds > 0 ? s.decisions / s.decisionSeconds : 0.0) << '\n';
    out << "deals per second: " << (s.seconds > 0 ? s.deals / s.seconds : 0.0) << '\n';
    if (s.expertMillis.empty()) return;
    std::vector<double> ms = s.expertMillis;
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * static_cast<double>(ms.size())))];
    };
    out << std::setprecision(2);
    out << "expert decision ms p50: " << at(0.50) << '\n';
    out << "expert decision ms p99: " << at(0.99) << '\n';
}

}  // namespace pellow
