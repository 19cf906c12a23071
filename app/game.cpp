#include "app/game.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <iostream>
#include <utility>

#include "app/table_pictures.hpp"
#include "engine/dealing.hpp"
#include "engine/fatal_error.hpp"
#include "engine/layout.hpp"
#include "engine/motion.hpp"
#include "engine/phases.hpp"
#include "engine/user_input.hpp"
#include "resources/unpack.hpp"

namespace pellow {

namespace {

// While paused only a key press matters, and that wakes the wait at once.
constexpr int kPausedWait = 250;
// A waiting game wakes for the clock's next minute, but at least this often: a wall clock set
// anew, or a machine woken from sleep, shows on the clock within this time.
constexpr int kLongestIdleWait = 5000;
// How often an idle frame looks for a search's answer.
constexpr int kSearchPoll = 4;
// How often it looks whether a held key or button was let go: the wait does not reliably wake
// for a release, and the last trick must not stay up after L or the right button is let go.
constexpr int kReleasePoll = 30;

// Every card is dealt and some are still to play.
bool DealInPlay(const Match& m) {
    const DealState& d = m.deal;
    int held = 0;
    for (int seat = 0; seat < 4; ++seat) held += d.handCount[seat];
    return held > 0 && held + d.cardsPlayed == kCards;
}

int SecondsIntoMinute() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_sec;
}

std::uint32_t TimeOfDaySeed() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

}  // namespace

std::string CaptionLine() {
    std::string caption = "Pellow v" PELLOW_VERSION;
    caption.resize(13, ' ');
    return caption;
}

namespace {
const std::string kCaption = CaptionLine();
}  // namespace

int IdleTimeout(const Match& m, std::uint32_t nowTick, int secondsIntoMinute) {
    int wait = std::min(kLongestIdleWait, (60 - secondsIntoMinute) * 1000);
    const DealMotion& t = m.motion;
    if (t.statusText == Phase::Paused) {
        const std::uint32_t elapsed = nowTick - t.pauseStartTick;
        const int left = elapsed > t.pauseLength ? 0 : static_cast<int>(t.pauseLength - elapsed) + 1;
        wait = std::min(wait, left);
    }
    return std::max(wait, 1);
}

bool Game::FrameLook::operator==(const FrameLook& o) const {
    return valid && o.valid && phase == o.phase && mouseX == o.mouseX && mouseY == o.mouseY &&
           pointerX == o.pointerX && pointerY == o.pointerY && clock == o.clock && extras == o.extras;
}

Game::Game() : idleWait([this](int milliseconds) { display_.WaitForEvent(milliseconds); }) { SetEndHooks({}); }

void Game::SetEndHooks(EndHooks hooks) {
    // Without a box of the program's, the message goes where the box would also write it.
    if (!hooks.showMessage) hooks.showMessage = [](const std::string& text) { std::cerr << text << '\n'; };
    if (!hooks.endProcess) hooks.endProcess = [](int status) { std::exit(status); };
    hooks_ = std::move(hooks);
}

void Game::DeleteUnpackedFilesOnce() {
    if (!unpacked) return;
    try {
        unpacked->Remove();
    } catch (const ResourceError& e) {
        std::cerr << "Pellow: " << e.what() << '\n';
    }
    unpacked.reset();
}

void Game::UnloadDialogOnce() {
    if (const auto unload = std::exchange(unloadDialog, nullptr)) unload();
}

void Game::End(const std::string& message) {
    input_.ShowSystemCursor(true);
    input_.UnAcquireMouse();
    input_.UnAcquireKeyBoard();
    audio_.CloseSound();
    display_.Release();
    input_.CloseInput();
    if (!message.empty()) hooks_.showMessage(message);
    // Whatever ends the program, the unpacked files must not stay behind.
    DeleteUnpackedFilesOnce();
    hooks_.endProcess(message.empty() ? 0 : 1);
}

void Game::PrepareWhileChoosing() {
    // The sound library loads on another core while this one opens the display.
    mixerLoad_ = std::async(std::launch::async, [this] { audio_.LoadMixer(); });
    display_.PrepareVideo();
}

void Game::UnpackForLaunch() {
    if (std::exchange(unpackTried_, true)) return;
    try {
        // Only what this launch reads: the chosen deck, one screen size's pictures, fonts, sounds;
        // or, for a table drawn for the screen's pixels, the art they are rendered from.
        std::vector<std::string> files =
            options.classicTable ? TableView::Files(match.settings) : TableArtFiles(match.settings.deckFolder);
        const std::vector<std::string> sounds = modDX::Audio::Files();
        files.insert(files.end(), sounds.begin(), sounds.end());
        unpacked = UnpackResources(resourceBase, match.settings.packFileName, files);
        if (!unpacked->notice().empty()) std::cerr << "Pellow: " << unpacked->notice() << '\n';
    } catch (...) {
        unpackFailure_ = std::current_exception();
    }
}

void Game::Form1_Load(modDX::DisplayKind screen) {
    UnpackForLaunch();
    try {
        if (unpackFailure_) std::rethrow_exception(std::exchange(unpackFailure_, nullptr));
        StartGame(screen);
    } catch (const FatalError& e) {
        // The one way a launch that cannot go on reaches the player.
        UnloadDialogOnce();
        End(FatalMessage(e.what()));
        return;
    }
    FrameLoop();
}

void Game::StartGame(modDX::DisplayKind screen) {
    Match& m = match;
    display_.SetCloseHandler([this] { QuitGame(); });
    const modDX::PathResolver resolve = [this](std::string_view relative) {
        return ResolveResourcePath(unpacked->base(), relative);
    };

    UnloadDialogOnce();
    // The Expert's searches draw from their own stream, seeded with the match's seed, so the
    // game's own draws stay those of the Classic table.
    const std::uint32_t seed = TimeOfDaySeed();
    seed_ = seed;
    random_.emplace(seed);
    players_.emplace(seed, m.settings.partner, m.settings.opponents);
    m.random = &*random_;
    m.clock = &tickClock_;
    m.sounds = &audio_;
    m.computer = &*players_;

    display_.SetWindowedSize(options.windowWidth, options.windowHeight);
    display_.DirectX(ScreenWidth(m.settings.screen), ScreenHeight(m.settings.screen), screen, !options.classicTable);
    m.layout = MakeTableLayout(m.settings.screen, m.settings.slowAnimation);
    artSource_ = TableArtSource(resourceBase + m.settings.packFileName);
    artModule_ = std::make_unique<ArtModule>(artModulePath.empty() ? resourceBase + kArtModuleFile : artModulePath);
    input_.GiveMeInput();
    input_.KeyBoard();
    input_.Mouse();
    audio_.InitSound();
    audio_.SetVolume(options.soundVolume, options.soundMuted);
    // The sounds and the pictures load on other cores (they share nothing but the files they
    // read) while this one makes the first present, whose cost is the window's picture memory.
    // Nothing else touches the Audio or the TableView until their results are in.
    auto sounds = modDX::OnOwnThread([this, &resolve] { return audio_.LoadSounds(resolve); });
    if (!options.classicTable) PlaceTableOnDisplay(false);
    auto pictures = modDX::OnOwnThread([this, &m, &resolve] {
        if (options.classicTable) table_.LoadBitmaps(m.settings, resolve);
        else MakeTablePictures(resolve);
    });
    display_.PrimeScreen();
    const auto reportSilent = [&sounds] {
        // A sound that cannot be loaded only goes silent; the game plays on.
        for (const std::string& silent : sounds.get()) std::cerr << "Pellow: sound not loaded: " << silent << '\n';
    };
    try {
        pictures.get();
    } catch (...) {
        reportSilent();
        throw;
    }
    reportSilent();
    display_.SetClipRect();
    // Every deal of the game has a number it can be dealt again from.
    m.numberedDeals = true;
    NewDeal(m);
    if (!configFolder.empty()) offered_ = LoadMatch(configFolder, std::cerr);
    if (offered_) menu_.Open(MenuPage::Resume);
    running = true;
    input_.ShowSystemCursor(false);
    display_.LayFelt(table_.background());
    DeleteUnpackedFilesOnce();
    lastLook_ = FrameLook{};
}

void Game::PlaceTableOnDisplay(bool moveCards) {
    Match& m = match;
    const TablePlacement placement = PlaceTable(display_.width(), display_.height());
    display_.SetTableTransform(placement.transform);
    input_.SetMouseBounds(0, 0, placement.table.width, placement.table.height);
    const TableLayout next = MakeFittedLayout(placement.table, m.settings.slowAnimation);
    if (moveCards) MoveToLayout(m, next);
    else m.layout = next;
}

bool Game::UseTablePictures(PictureSet pictures) {
    // Drawn from where they were read or made: the table keeps them.
    const auto owner = std::make_shared<const PictureSet>(std::move(pictures));
    std::vector<PixelPicture> view;
    for (std::size_t i = 0; i < owner->size(); ++i)
        view.push_back({owner->SizeOf(i).width, owner->SizeOf(i).height, owner->Pixels(i)});
    return table_.UsePictures(view, match.layout.cardWidth, match.layout.cardHeight, owner);
}

namespace {

modDX::LoadError UnfitPictures() {
    return modDX::LoadError("MakeTablePictures", modDX::errPictureFormat,
                            "The art module made pictures of another size than the table's.");
}

}  // namespace

void Game::MakeTablePictures(const modDX::PathResolver& resolve) {
    const PictureCache cache(cacheFolder);
    const TablePlacement placement = PlaceTable(display_.width(), display_.height());
    const auto make = [&](bool useKept) {
        bool rendered = false;
        PictureSet made = pellow::MakeTablePictures(match.settings.deckFolder, placement, resolve, *artModule_, cache,
                                                    artSource_, std::cerr, &rendered, useKept);
        if (UseTablePictures(std::move(made))) return true;
        if (rendered) throw UnfitPictures();
        return false;
    };
    // A kept set of other sizes (another renderer made it) is rendered again, and replaced.
    if (!make(true)) make(false);
}

void Game::FollowDisplaySize() {
    // The frame loop has no one above it to report to: a failure here ends the game here.
    try {
        FollowDisplaySizeOrThrow();
    } catch (const FatalError& e) {
        End(FatalMessage(e.what(), true));
    }
}

void Game::FollowDisplaySizeOrThrow() {
    if (display_.FollowWindowSize()) {
        PlaceTableOnDisplay(true);
        lastLook_ = FrameLook{};
        const TablePlacement placement = PlaceTable(display_.width(), display_.height());
        // Kept from before, the pictures come at once; otherwise the ones in use stretched
        // stand in while the right ones are rendered beside the play.
        const auto kept = artSource_ != 0 ? PictureCache(cacheFolder).Load(TablePicturesKey(
                                                match.settings.deckFolder, placement, artSource_))
                                          : std::nullopt;
        if (!kept || !UseTablePictures(std::move(*kept))) {
            table_.StretchPictures(match.layout.cardWidth, match.layout.cardHeight);
            if (!rendering_.valid()) StartRendering();
        }
    }
    if (!rendering_.valid() || rendering_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return;
    // The window may have changed size again meanwhile: then those are made in turn.
    const bool stale = renderingFor_ != std::pair{display_.width(), display_.height()};
    // The stretched pictures play on well enough: a render that fails is reported, not fatal,
    // and is tried again at the next size.
    try {
        PictureSet made = rendering_.get();
        if (stale) {
            StartRendering();
            return;
        }
        if (!UseTablePictures(std::move(made))) throw UnfitPictures();
        lastLook_ = FrameLook{};
    } catch (const std::exception& e) {
        std::cerr << "Pellow: the pictures for " << display_.width() << " x " << display_.height()
                  << " could not be made; the table keeps stretched ones: " << e.what() << '\n';
        if (stale) StartRendering();
    }
}

void Game::StartRendering() {
    renderingFor_ = {display_.width(), display_.height()};
    // The art was unpacked for the start and removed before the first frame: it is unpacked
    // again, for as long as the rendering takes.
    rendering_ = modDX::OnOwnThread([placement = PlaceTable(display_.width(), display_.height()),
                                     deck = match.settings.deckFolder, base = resourceBase,
                                     pak = match.settings.packFileName, folder = cacheFolder, source = artSource_,
                                     module = artModule_.get()] {
        UnpackedTree tree = UnpackResources(base, pak, TableArtFiles(deck));
        // Rendered, not taken from the cache: what it kept did not serve, or it would not run.
        PictureSet made = pellow::MakeTablePictures(
            deck, placement, [&tree](std::string_view relative) { return ResolveResourcePath(tree.base(), relative); },
            *module, PictureCache(folder), source, std::cerr, nullptr, false);
        try {
            tree.Remove();
        } catch (const ResourceError& e) {
            std::cerr << "Pellow: " << e.what() << '\n';
        }
        return made;
    });
}

void Game::FrameLoop() {
    while (running) {
        RunFrame();
        display_.DoEvents();
    }
    QuitGame();
    std::abort();  // QuitGame ends the process
}

TableExtras Game::Extras() const {
    const Match& m = match;
    TableExtras extras;
    extras.highlightSlot = HighlightedSlot(m);
    extras.dimUnplayable = options.showPlayable && UserMayPick(m, input_.Paused());
    // Held, L or the right button shows the last trick; the game goes on underneath.
    extras.lastTrick = !menu_.Shown() && (input_.KeyDown(modDX::keyL) || input_.MouseButton(1)) &&
                       m.deal.lastTrickWinner >= 0;
    extras.tableInfo = options.tableInformation;
    if (menu_.Shown()) extras.panel = menu_.View(options, Facts());
    else if (input_.Paused()) extras.panel = PausePanel();
    return extras;
}

bool Game::RunFrame() {
    Match& m = match;
    input_.ReadKeyBoard();
    input_.ReadMouse();
    // Escape quits at once; the menu, while it shows, takes it as "back", and a press it took
    // stays its own while the key is held on.
    const bool escape = input_.KeyDownOrPressed(modDX::keyEscape);
    if (!escape) ui_.escapeTaken = false;
    if (menu_.Shown() && escape) ui_.escapeTaken = true;
    if (!menu_.Shown() && escape && !ui_.escapeTaken) {
        QuitGame();
        return false;
    }
    if (!menu_.Shown()) input_.HandlePauseKey();
    audio_.SleepWhenSilent(m.clock->TickCount());
    const FrameInput frameInput = ReadFrameInput();
    const bool movingBefore = AnyCardMoving(m.motion);
    const Phase phaseBefore = m.motion.statusText;
    // The right button only shows the last trick while held; the hint is H's alone.
    ui_.rightWasDown = input_.MouseButton(1);
    const bool hintAsked = !menu_.Shown() && input_.KeyDownOrPressed(modDX::keyH);
    const bool picked = StepFrame(m, frameInput);
    if (!m.fault.empty()) {
        End(FatalMessage(m.fault, true));
        return false;
    }
    AfterStep(phaseBefore);
    // An Expert seat to play searches on its own thread from the moment the card before lands,
    // through the pause; the turn waits for it without holding up the frames.
    const bool inPlay = DealInPlay(m);
    if (inPlay) players_->Think(m.deal);
    const bool thinking = inPlay && m.deal.toPlay != userSeat && !players_->Ready(m.deal, m.deal.toPlay);
    const int hintCard = HintCard(hintAsked);
    // A card held in the air by the pause or the menu does not move either.
    const bool moving = !frameInput.paused && (movingBefore || AnyCardMoving(m.motion));
    return ShowFrame(moving || picked, thinking, hintCard);
}

FrameInput Game::ReadFrameInput() {
    Match& m = match;
    const bool alt = input_.KeyDown(modDX::keyLeftAlt) || input_.KeyDown(modDX::keyRightAlt);
    const bool enter = input_.KeyPressed(modDX::keyReturn) || input_.KeyPressed(modDX::keyPadEnter);
    if (input_.KeyPressed(modDX::keyF11) || (alt && enter)) display_.SetFullScreen(!display_.FullScreen());
    const bool click = input_.Clicked(0);
    if (!input_.MouseButton(0)) ui_.clickTaken = false;
    const bool menuTook = MenuFrame(click);
    if (menuTook && click) ui_.clickTaken = true;
    // A click or Space while dealing lays the hands at once.
    if (!menuTook && !input_.Paused() && m.motion.statusText == Phase::DealingCards &&
        (click || input_.KeyPressed(modDX::keySpace))) {
        LayHandsAtOnce();
        ui_.clickTaken = click;
    }
    // A press let go within the frame still counts as one, where a held key or button acts.
    FrameInput frameInput{input_.KeyDownOrPressed(modDX::keyR), input_.MouseButton(0) || input_.ButtonPressed(0),
                          input_.mouseX(), input_.mouseY(), input_.Paused()};
    frameInput.moveHighlight = (input_.KeyPressed(modDX::keyRight) ? 1 : 0) -
                               (input_.KeyPressed(modDX::keyLeft) ? 1 : 0);
    frameInput.playHighlighted = (enter && !alt) || input_.KeyPressed(modDX::keySpace);
    frameInput.nextDeal = frameInput.playHighlighted || input_.KeyPressed(modDX::keyN);
    if (menuTook || menu_.Shown() || ui_.clickTaken) {
        // The menu's input is not the match's, and the match waits while the menu shows.
        frameInput = FrameInput{};
        frameInput.paused = input_.Paused() || menu_.Shown();
    }
    // A click goes to the card where the screen shows it, lifted or not.
    frameInput.handLifts = ui_.shownLifts;
    return frameInput;
}

void Game::AfterStep(Phase phaseBefore) {
    Match& m = match;
    const bool dealEnded = phaseBefore != Phase::EndOfMatch && m.motion.statusText == Phase::EndOfMatch;
    if (dealEnded) CountFinishedDeal();
    if (phaseBefore == Phase::EndOfMatch && m.motion.statusText == Phase::DealingCards) ApplyDealOptions();
    // After a trick the offer of a kept match lapses: this match is the one to keep now.
    if (m.deal.cardsPlayed >= 4 && !menu_.Shown()) offered_.reset();
    if ((m.deal.cardsPlayed % 4 == 0 && m.deal.cardsPlayed != keptAt_) || (dealEnded && m.score.matchOver)) KeepMatch();
}

bool Game::ShowFrame(bool changing, bool thinking, int hintCard) {
    Match& m = match;
    display_.RecoverSurfaces();
    FollowDisplaySize();
    // What the window system lost (the window covered, hidden, minimised, its renderer reset)
    // must be shown again even though nothing on the table changed.
    if (display_.TakeRedrawRequest()) lastLook_.valid = false;

    // A frame identical to the last one presented is neither drawn nor presented: the loop
    // waits for the next event or frame time instead, so a waiting game costs no CPU.
    ui_.extras = Extras();
    ui_.extras.hintCard = hintCard;
    // While H is held, the search's expected points stand over the cards it weighed.
    if (hintCard >= 0 && input_.KeyDown(modDX::keyH))
        if (const std::optional<ExpertAdvice> advice = players_->HintDetails(m.deal))
            for (int i = 0; i < advice->count; ++i)
                ui_.extras.hintFigures.push_back({advice->values[i].card, advice->values[i].points});
    const TableExtras& extras = ui_.extras;
    FrameLook look{m.motion.statusText, input_.mouseX(), input_.mouseY(), input_.pointerX(), input_.pointerY(),
                   CurrentClockText(),          extras,          true};
    if (!changing && look == lastLook_) {
        // A search under way is looked at again soon: its answer is the next thing to show.
        const bool searching = thinking || (ui_.hintAt >= 0 && hintCard < 0);
        int idle = IdleTimeout(m, m.clock->TickCount(), SecondsIntoMinute());
        if (extras.lastTrick || ui_.rightWasDown) idle = std::min(idle, kReleasePoll);
        if (input_.Paused()) idle = std::min(idle, kPausedWait);
        idleWait(searching ? std::min(idle, kSearchPoll) : idle);
        return false;
    }
    display_.LayFelt(table_.background());
    table_.DrawTable(m, look.clock, kCaption, extras);
    ui_.shownLifts = TableView::UserHandLifts(m, extras);
    modDX::Surface& pointer = table_.pointer();
    input_.DrawMouseCursor(pointer, pointer.width() / 2, pointer.height() / 2, pointer.width(), pointer.height(), true);
    display_.FlipScreen();
    lastLook_ = look;
    return true;
}

void Game::CountFinishedDeal() {
    MatchRecord result;
    CountDeal(result, match.motion.ourDealScore, match.score);
    AddToRecord(configFolder, result, record, std::cerr);
}

int Game::HintCard(bool asked) {
    const Match& m = match;
    const DealMotion& t = m.motion;
    const bool usersTurn = t.waitingForUser && !t.userHasChosen && DealInPlay(m) && m.deal.toPlay == userSeat;
    if (!usersTurn) {
        ui_.hintAt = -1;
        return -1;
    }
    if (asked) ui_.hintAt = m.deal.cardsPlayed;
    if (ui_.hintAt != m.deal.cardsPlayed) ui_.hintAt = -1;
    return ui_.hintAt < 0 ? -1 : players_->Hint(m.deal);
}

void Game::QuitGame() {
    KeepMatch();
    // The window's size as the player left it is the next start's.
    const auto [width, height] = display_.WindowedSize();
    if (width > 0 && height > 0 && (width != options.windowWidth || height != options.windowHeight)) {
        options.windowWidth = width;
        options.windowHeight = height;
        if (!configFolder.empty()) SaveOptions(configFolder, options, std::cerr);
    }
    table_.ReleaseBitmaps();
    audio_.ReleaseSounds();
    DeleteUnpackedFilesOnce();
    End("");
}

}  // namespace pellow
