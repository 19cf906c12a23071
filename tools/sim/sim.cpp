#include "sim.hpp"

#include <array>
#include <chrono>
#include <iomanip>
#include <random>
#include <sstream>
#include <vector>

#include "engine/cards.hpp"
#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "engine/play.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {

namespace {

using Clock = std::chrono::steady_clock;

class SimClock final : public TickClock {
public:
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(frame * 1000 / 60); }
    long frame = 0;
};

// Counts and times the computer's decisions, and checks each one before the table sees it.
class TimedPlayer final : public ComputerPlayer {
public:
    explicit TimedPlayer(ComputerPlayer& inner) : inner_(inner) {}
    int ChooseTrump(const Match& m, int seat) override { return inner_.ChooseTrump(m, seat); }
    int ChooseCard(Match& m, int seat) override {
        const auto start = Clock::now();
        const int code = inner_.ChooseCard(m, seat);
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        ++decisions;
        return code;
    }
    long decisions = 0;
    double seconds = 0.0;

private:
    ComputerPlayer& inner_;
};

template <typename Array>
void JsonArray(std::ostream& out, const Array& values, int count) {
    out << '[';
    for (int i = 0; i < count; ++i) out << (i ? "," : "") << values[i];
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
        : options_(o), random_(o.seed), picker_(o.seed ^ 0x9e3779b9u),
          player_(o.computer ? *o.computer : rules_) {
        m_.random = &random_;
        m_.clock = &clock_;
        m_.computer = &player_;
        m_.resolution = o.resolution;
        m_.slowAnimation = o.slowAnimation;
        MakeCardFileNames(m_);
        SetLayout(m_);
    }

    SimStats Run() {
        const auto start = Clock::now();
        NewDeal(m_);
        OnNewDeal();
        while (stats_.ok && stats_.matches < options_.matches) Frame();
        stats_.frames = clock_.frame;
        stats_.decisions = player_.decisions;
        stats_.decisionSeconds = player_.seconds;
        stats_.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return stats_;
    }

private:
    void Fail(const std::string& what) {
        if (!stats_.ok) return;
        stats_.ok = false;
        std::ostringstream s;
        s << what << " (seed " << options_.seed << ", frame " << clock_.frame << ")";
        stats_.violation = s.str();
    }

    // One frame as the game's frame driver runs it, with seat 0 clicking when it may pick.
    void Frame() {
        ++clock_.frame;
        framesInDeal_++;
        Snapshot();
        m_.clickedCard = -1;
        if (m_.statusText == Phase::EndOfMatch) {
            UserClick(m_, 400, 300, false);
            OnNewDeal();
        } else if (UserMayPick(m_, false)) {
            ClickSeatZero();
        }
        UpdateMatch(m_);
        SendClickedCard(m_);
        Check();
        if (framesInDeal_ > 200000) Fail("deal does not end");
    }

    void ClickSeatZero() {
        int code = -1;
        if (options_.seat0 == SeatZeroPolicy::Rules) {
            if (FirstLeadOfDeal(m_))
                m_.trumpSuit = rules_.ChooseTrump(m_, userSeat);
            code = rules_.ChooseCard(m_, userSeat);
        } else {
            std::vector<int> legal;
            for (int i = 0; i <= 12; ++i)
                if (m_.userHand[i].inUse && IsLegalPlay(m_, m_.userHand[i])) legal.push_back(m_.userHand[i].card);
            if (legal.empty()) return Fail("seat 0 has no legal card");
            code = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(picker_)];
        }
        int slot = -1;
        for (int i = 0; i <= 12; ++i)
            if (m_.userHand[i].inUse && m_.userHand[i].card == code) slot = i;
        if (slot < 0) return Fail("seat 0 chose a card it does not hold");
        const CardSprite& c = m_.userHand[slot];
        // A point on the card's own visible strip, left of the next card in the fan.
        UserClick(m_, static_cast<int>(c.x) + 2, static_cast<int>(c.y) + c.height / 2, false);
        if (m_.clickedCard != slot) Fail("a click on a legal card was not taken");
    }

    void Snapshot() {
        for (int s = 0; s < 4; ++s) {
            prevCodes_[s] = HandCodes(m_, s);
            prevCount_[s] = HandCount(m_, s);
        }
        prevTrick_ = m_.trickCodeCount;
        prevPhase_ = m_.statusText;
    }

    bool Held(int seat, int suit) const {
        for (int i = 0; i < prevCount_[seat]; ++i)
            if (m_.cardSuit[prevCodes_[seat][i]] == suit) return true;
        return false;
    }

    void Check() {
        CheckCardsAccounted();
        if (m_.trickCodeCount == prevTrick_ + 1) CheckPlay();
        if (prevPhase_ == Phase::DealingCards && m_.statusText == Phase::NormalPlay) OnDealt();
        if (m_.statusText == Phase::EndOfMatch && prevPhase_ != Phase::EndOfMatch) OnDealEnd();
    }

    void CheckCardsAccounted() {
        std::array<int, kCards> seen{};
        auto count = [&](int code) {
            if (code < 0 || code >= kCards) return Fail("card code out of range");
            ++seen[code];
        };
        if (m_.statusText == Phase::DealingCards || prevPhase_ == Phase::DealingCards) {
            for (int i = m_.nextDeckCard; i < kCards; ++i) count(m_.deckCards[i].card);
            if (m_.nextDeckCard > 0 && m_.deckCards[m_.nextDeckCard - 1].moving)
                count(m_.deckCards[m_.nextDeckCard - 1].card);
        }
        for (int s = 0; s < 4; ++s)
            for (int i = 0; i < HandCount(m_, s); ++i) count(HandCodes(m_, s)[i]);
        for (int i = 0; i < m_.trickCodeCount; ++i) count(m_.trickCodes[i]);
        for (int i = 0; i < m_.ourTakenCount; ++i) count(m_.ourTakenCodes[i]);
        for (int i = 0; i < m_.theirTakenCount; ++i) count(m_.theirTakenCodes[i]);
        for (int c = 0; c < kCards; ++c)
            if (seen[c] != 1) {
                std::ostringstream s;
                s << "card " << c << " seen " << seen[c] << " times in phase " << PhaseText(m_.statusText);
                return Fail(s.str());
            }
    }

    void CheckPlay() {
        const int seat = m_.lastPlayer;
        const int code = m_.trickCodes[m_.trickCodeCount - 1];
        bool held = false;
        for (int i = 0; i < prevCount_[seat]; ++i) held = held || prevCodes_[seat][i] == code;
        if (!held) Fail("seat played a card it did not hold");
        const int suit = m_.cardSuit[code];
        if (m_.trickCodeCount > 1) {
            const int led = m_.cardSuit[m_.trickCodes[0]];
            if (suit != led && Held(seat, led)) Fail("seat did not follow suit");
        } else if (m_.ourTakenCount == 0 && m_.theirTakenCount == 0 && suit != m_.trumpSuit) {
            Fail("the first lead of the deal is not a trump");
        }
        if (m_.trickCodeCount > 1 && seat != userSeat && suit != m_.cardSuit[m_.trickCodes[0]])
            voidShown_[seat][m_.cardSuit[m_.trickCodes[0]]] = true;
        for (int s = 0; s < 4; ++s)
            for (int t = 0; t < 4; ++t)
                if (m_.voidKnown[s][t] == 0 && !voidShown_[s][t])
                    Fail("voidKnown written for a seat that did not fail to follow");
        TracePlay(seat, code);
    }

    void OnNewDeal() {
        framesInDeal_ = 0;
        for (auto& row : voidShown_) row.fill(false);
        if (!options_.trace) return;
        *options_.trace << "{\"event\":\"deal\",\"dealerSeat\":" << m_.dealerSeat << ",\"deckCards\":[";
        for (int i = 0; i < kCards; ++i) *options_.trace << (i ? "," : "") << m_.deckCards[i].card;
        *options_.trace << "]}\n";
    }

    void OnDealt() {
        if (!options_.trace) return;
        auto& t = *options_.trace;
        t << "{\"event\":\"dealt\",\"userHandCodes\":";
        JsonArray(t, m_.userHandCodes, m_.userHandCount);
        t << ",\"rightHandCodes\":";
        JsonArray(t, m_.rightHandCodes, m_.rightHandCount);
        t << ",\"partnerHandCodes\":";
        JsonArray(t, m_.partnerHandCodes, m_.partnerHandCount);
        t << ",\"leftHandCodes\":";
        JsonArray(t, m_.leftHandCodes, m_.leftHandCount);
        t << ",\"dealerSeat\":" << m_.dealerSeat << ",\"leader\":" << (m_.turnSeat + 3) % 4 << "}\n";
    }

    void TracePlay(int seat, int code) {
        if (!options_.trace) return;
        auto& t = *options_.trace;
        t << "{\"event\":\"play\",\"turnSeat\":" << seat << ",\"hand\":";
        JsonArray(t, prevCodes_[seat], prevCount_[seat]);
        t << ",\"trickCodes\":";
        JsonArray(t, m_.trickCodes, m_.trickCodeCount - 1);
        t << ",\"ourPile\":";
        JsonArray(t, m_.ourTakenCodes, m_.ourTakenCount);
        t << ",\"theirPile\":";
        JsonArray(t, m_.theirTakenCodes, m_.theirTakenCount);
        t << ",\"trumpSuit\":" << m_.trumpSuit << ",\"voidKnown\":[";
        for (int s = 0; s < 4; ++s) {
            t << (s ? "," : "");
            JsonArray(t, m_.voidKnown[s], 4);
        }
        t << "],\"card\":" << code << "}\n";
    }

    void OnDealEnd() {
        ++stats_.deals;
        stats_.ourPoints += m_.ourDealScore;
        stats_.theirPoints += m_.theirDealScore;
        if (m_.ourDealScore + m_.theirDealScore != 80) Fail("deal points do not sum to 80");
        if (m_.ourPileCount + m_.theirPileCount != kCards) Fail("piles do not hold 52 cards");
        const bool weWin = m_.ourMatchPoints > 79 && m_.ourMatchPoints > m_.theirMatchPoints;
        const bool theyWin = m_.theirMatchPoints > 79 && m_.theirMatchPoints > m_.ourMatchPoints;
        if (m_.matchOver != (weWin || theyWin)) Fail("match end does not follow the totals");
        if (m_.resultText != (weWin ? "We Won!" : theyWin ? "We lost!" : "")) Fail("wrong result text");
        if (m_.matchOver) {
            ++stats_.matches;
            (weWin ? stats_.weWon : stats_.theyWon)++;
        }
        if (!options_.trace) return;
        *options_.trace << "{\"event\":\"end\",\"ourDealScore\":" << m_.ourDealScore
                        << ",\"theirDealScore\":" << m_.theirDealScore
                        << ",\"ourMatchPoints\":" << m_.ourMatchPoints
                        << ",\"theirMatchPoints\":" << m_.theirMatchPoints
                        << ",\"resultText\":" << JsonString(m_.resultText) << "}\n";
    }

    const SimOptions& options_;
    Match m_;
    MersenneRandom random_;
    std::mt19937 picker_;
    SimClock clock_;
    RulesPlayer rules_;
    TimedPlayer player_;
    SimStats stats_;
    long framesInDeal_ = 0;
    std::array<std::array<int, 16>, 4> prevCodes_{};
    std::array<int, 4> prevCount_{};
    std::array<std::array<bool, 4>, 4> voidShown_{};
    int prevTrick_ = 0;
    Phase prevPhase_ = Phase::DealingCards;
};

}  // namespace

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
}

}  // namespace pellow
