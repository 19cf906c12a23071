#include "app/game.hpp"

#include <iostream>
#include <utility>

#include "engine/dealing.hpp"
#include "engine/layout.hpp"
#include "engine/phases.hpp"

// The Game's menu, its options, the quick deal, and the match kept between starts.
namespace pellow {

MenuFacts Game::Facts() const {
    MenuFacts facts{record, match.dealNumber, match.numberedDeals, {}, !display_.Native()};
    if (offered_)
        facts.keptMatch = "We " + std::to_string(offered_->score.ourMatchPoints) + ", they " +
                          std::to_string(offered_->score.theirMatchPoints) + ", deal " +
                          std::to_string(offered_->score.dealHistoryCount + 1);
    return facts;
}

void Game::OptionsChanged() {
    audio_.SetVolume(options.soundVolume, options.soundMuted);
    if (!configFolder.empty()) SaveOptions(configFolder, options, std::cerr);
}

void Game::ApplyDealOptions() {
    Match& m = match;
    if (m.settings.slowAnimation != options.slowAnimation) {
        m.settings.slowAnimation = options.slowAnimation;
        // The table drawn for the screen keeps its own shape; only the speeds change.
        const TableLayout speeds = MakeTableLayout(m.settings.screen, m.settings.slowAnimation);
        if (display_.Native()) {
            m.layout.moveFrames = speeds.moveFrames;
            m.layout.playFrames = speeds.playFrames;
        } else {
            m.layout = speeds;
        }
    }
    if (m.settings.partner != options.partner || m.settings.opponents != options.opponents) {
        m.settings.partner = options.partner;
        m.settings.opponents = options.opponents;
        players_.emplace(seed_, m.settings.partner, m.settings.opponents);
        m.computer = &*players_;
    }
}

void Game::LayHandsAtOnce() {
    Match& m = match;
    SoundRequests* sounds = std::exchange(m.sounds, nullptr);
    // The dealing's frames, run now: the same cards to the same seats, in the same order.
    for (int frame = 0; frame < 100000 && m.motion.statusText == Phase::DealingCards; ++frame)
        StepFrame(m, FrameInput{});
    m.sounds = sounds;
}

bool Game::MenuFrame(bool click) {
    using namespace modDX;
    Match& m = match;
    const int width = m.layout.tableWidth, height = m.layout.tableHeight;
    if (!menu_.Shown()) {
        if (input_.KeyPressed(keyM)) {
            options.soundMuted = !options.soundMuted;
            OptionsChanged();
        }
        const bool button = click && options.tableInformation &&
                            Inside(MenuButtonRect(width, height), input_.mouseX(), input_.mouseY());
        if (input_.KeyPressed(keyF10) || button) menu_.Open();
        else if (input_.KeyPressed(keyF1)) menu_.Open(MenuPage::Rules);
        else return false;
        return true;
    }
    MenuCommand command = MenuCommand::None;
    // Alt+Enter is the full screen's, not the menu's.
    const bool alt = input_.KeyDown(keyLeftAlt) || input_.KeyDown(keyRightAlt);
    for (int key = 1; key < 256 && menu_.Shown() && command == MenuCommand::None; ++key)
        if (input_.KeyPressed(static_cast<std::uint8_t>(key)) && !(alt && (key == keyReturn || key == keyPadEnter)))
            command = menu_.Key(static_cast<std::uint8_t>(key), options, Facts());
    if (click && menu_.Shown() && command == MenuCommand::None) {
        const PanelPlace place = PlacePanel(menu_.View(options, Facts()), width, height);
        command = menu_.Click(PanelLineAt(place, input_.mouseX(), input_.mouseY()), options, Facts());
    }
    switch (command) {
        case MenuCommand::None: break;
        case MenuCommand::OptionsChanged: OptionsChanged(); break;
        case MenuCommand::NewMatch:
            ApplyDealOptions();
            StartNewMatch(m);
            break;
        case MenuCommand::PlayDeal:
            if (ValidDealNumber(menu_.chosenDeal())) {
                ApplyDealOptions();
                ChooseNextDeal(m, menu_.chosenDeal());
                StartNewMatch(m);
            }
            break;
        case MenuCommand::Quit: QuitGame(); break;
        case MenuCommand::ResumeMatch: TakeUpKeptMatch(true); break;
        case MenuCommand::DeclineResume: TakeUpKeptMatch(false); break;
    }
    return true;
}

void Game::KeepMatch() {
    Match& m = match;
    if (configFolder.empty() || !running) return;
    if (m.score.matchOver) {
        ForgetMatch(configFolder);
        offered_.reset();
        return;
    }
    if (offered_) return;
    if (const std::optional<SavedMatch> kept = CaptureMatch(m)) SaveMatch(configFolder, *kept, std::cerr);
    keptAt_ = m.deal.cardsPlayed;
}

void Game::TakeUpKeptMatch(bool resume) {
    Match& m = match;
    const std::optional<SavedMatch> kept = std::exchange(offered_, std::nullopt);
    if (!kept) return;
    ForgetMatch(configFolder);
    if (!resume) return;
    if (!ResumeMatch(m, *kept)) {
        std::cerr << "Pellow: the kept match could not be taken up again; a new match begins\n";
        return;
    }
    // The kept match plays on at its own levels.
    options.partner = m.settings.partner;
    options.opponents = m.settings.opponents;
    players_.emplace(seed_, m.settings.partner, m.settings.opponents);
    m.computer = &*players_;
    keptAt_ = m.deal.cardsPlayed;
    lastLook_.valid = false;
}

}  // namespace pellow
