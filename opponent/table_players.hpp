#pragma once
// The computer seats of one table, each at the level chosen for its team, and the hint for the
// user. Expert searches run away from the frame, one thread per decision, so the table keeps
// moving while a seat thinks: the phase machine asks Ready() each frame and plays once the
// answer is in. The Classic seats answer at once, exactly as before.
#include <cstdint>
#include <future>
#include <optional>
#include <vector>

#include "engine/match.hpp"
#include "opponent/expert.hpp"

namespace pellow {

// How each seat of a table chooses its cards: the user as a person, the others at their team's level.
SeatStyles TableStyles(ComputerLevel partner, ComputerLevel opponents);

class TablePlayers final : public ComputerPlayer {
public:
    TablePlayers(std::uint32_t seed, ComputerLevel partner, ComputerLevel opponents, ExpertSettings settings = {});
    ~TablePlayers() override;
    TablePlayers(const TablePlayers&) = delete;
    TablePlayers& operator=(const TablePlayers&) = delete;

    ComputerLevel LevelOf(int seat) const;
    // Starts the search of an Expert seat to play in this deal, if it has not started.
    void Think(const DealState& d);
    bool Ready(const DealState& d, int seat) override;
    int ChooseTrump(const DealState& d, int seat) override;
    int ChooseCard(const DealState& d, int seat) override;
    // The card the Expert would play for the user, who is to play in this deal, and what every
    // card the user may play is worth to the user's team: empty while it is still searching (the
    // search starts at the first ask). The user's seat is searched at the Expert level whatever
    // the partner's level.
    std::optional<ExpertAdvice> HintDetails(const DealState& d);
    // HintDetails' card, or -1.
    int Hint(const DealState& d);

private:
    struct Answer {
        int trump = 0;
        int card = -1;
        // The hint's values; a computer seat's search leaves it empty.
        ExpertAdvice advice;
    };
    // One seat's search for one deal position.
    struct Search {
        DealState deal;
        int seat = -1;
        std::shared_future<Answer> answer;
    };
    // The search for this position, started now if it is not the one already running.
    Search& SearchFor(std::optional<Search>& slot, const DealState& d, int seat);
    Answer Decide(const DealState& d, int seat) const;

    ExpertPlayer expert_;
    // Searches whose position has passed: let finish before they are let go, so that no frame
    // waits for one.
    std::vector<std::shared_future<Answer>> retired_;
    ComputerLevel partner_;
    ComputerLevel opponents_;
    std::optional<Search> seatSearch_;
    std::optional<Search> hintSearch_;
};

}  // namespace pellow
