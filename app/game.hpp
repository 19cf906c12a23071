#pragma once
// The spine of the running game: the Game owns the screen, input, sound, pictures, the match
// and the launch settings, and runs the launch sequence, the frames and the way the game ends.
// Every failure that ends the program ends it through Game::End.
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <optional>
#include <string>

#include "app/art_module.hpp"
#include "app/settings.hpp"
#include "app/table_menu.hpp"
#include "engine/match.hpp"
#include "engine/saved_match.hpp"
#include "opponent/table_players.hpp"
#include "presentation/dx.hpp"
#include "presentation/input.hpp"
#include "presentation/platform_services.hpp"
#include "presentation/sound.hpp"
#include "presentation/table.hpp"
#include "resources/picture_cache.hpp"
#include "resources/unpack.hpp"

namespace pellow {

// How long a frame with nothing new to show may wait before something on the table changes by
// itself (the short pause after a card ends, or the clock's minute turns).
int IdleTimeout(const Match& m, std::uint32_t nowTick, int secondsIntoMinute);

// The 13-character caption line drawn beside the clock.
std::string CaptionLine();

class Game {
public:
    Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The one match every part of the game shares.
    Match match;
    // The program's folder, ending in one '/'.
    std::string resourceBase;
    // The files unpacked this run, beside the program or in a private folder, until removed.
    std::optional<UnpackedTree> unpacked;
    bool running = false;
    // The player's options, and the record every finished deal is counted in. Each deal's
    // result is added to the record file in configFolder (other games may be adding to it too),
    // and `record` takes the file's total; with configFolder empty it is counted here only.
    PlayerOptions options;
    MatchRecord record;
    std::string configFolder;
    // Where the pictures made for a screen size are kept ($XDG_CACHE_HOME/pellow); empty keeps
    // none.
    std::string cacheFolder;
    // The art module (pellow-art.so); empty for the one in the program's folder.
    std::string artModulePath;
    // How a frame with nothing new to show waits: for the next event, or at most this long.
    std::function<void(int milliseconds)> idleWait;
    // Takes the start-up dialog off the screen before the game's screen opens (the launch's
    // StartUp::UnloadDialog); empty where no dialog shows.
    std::function<void()> unloadDialog;

    // The last steps of End, replaceable so tests can watch them without the process ending.
    struct EndHooks {
        std::function<void(const std::string&)> showMessage;  // message box with an OK button
        std::function<void(int)> endProcess;                  // exit status
    };
    // Unset hooks fall back to the standard error stream and exit().
    void SetEndHooks(EndHooks hooks);

    // Unpacks the resources and launches the game. Does not return unless the game could not
    // start and the end hooks returned.
    void Form1_Load(modDX::DisplayKind screen);
    // Its first step, which may run early on another thread while the screen is prepared:
    // unpacks what this launch reads. A failure is kept for Form1_Load to report.
    void UnpackForLaunch();
    // What can be made ready before the player's choices are known.
    void PrepareWhileChoosing();
    // Launch steps 1 to 14: everything up to the first frame. Throws modDX::LoadError.
    void StartGame(modDX::DisplayKind screen);
    // The table drawn for the display's pixels (unless the player chose the classic table):
    // where it lies and its layout, the cards on it moved there (PlaceTableOnDisplay); its
    // pictures for that size, from the cache or rendered from the art (MakeTablePictures,
    // throws modDX::LoadError); both again when the window changed size (FollowDisplaySize).
    void PlaceTableOnDisplay(bool moveCards);
    void MakeTablePictures(const modDX::PathResolver& resolve);
    void FollowDisplaySize();
    void FollowDisplaySizeOrThrow();
    // After a resize the cache cannot serve: the pictures for the new size rendered on a
    // thread of their own, taken up by FollowDisplaySize once made.
    void StartRendering();
    // False, the table keeping what it has, when the set does not fit the display.
    bool UseTablePictures(PictureSet pictures);
    // Launch step 15: the frame loop. Does not return.
    [[noreturn]] void FrameLoop();
    // One frame: input, match, drawing, presentation. Returns whether a picture was presented.
    bool RunFrame();
    // Its steps: the frame's input for the match (after the full screen key, the menu and the
    // quick deal took theirs); what follows a step (the deal counted, the match kept); and the
    // picture, drawn and presented unless it would show what the last one showed (`changing`:
    // cards move or the player picked one), else the wait for what comes next.
    FrameInput ReadFrameInput();
    void AfterStep(Phase phaseBefore);
    bool ShowFrame(bool changing, bool thinking, int hintCard);
    // The card the hint raises in the user's hand this frame, -1 for none. H on the user's
    // turn asks; the card stays raised until the user plays.
    int HintCard(bool asked);
    void QuitGame();
    // The table's extras this frame: keyboard highlight, dimmed cards, the last trick, the
    // table information, the menu or the pause.
    TableExtras Extras() const;
    // The menu, and the keys that open it or act beside it (F10, F1, M, the menu button): true
    // when they took this frame's input, which then does not reach the match.
    bool MenuFrame(bool click);
    // What the menu's pages show of the game.
    MenuFacts Facts() const;
    // The options as the player just set them: the sound now, the file at once; the animation
    // and the computer levels from the next deal (ApplyDealOptions).
    void OptionsChanged();
    void ApplyDealOptions();
    // Every hand laid at once, as the deal would have left them, without the dealing's sounds.
    void LayHandsAtOnce();
    // The match in play kept in the settings folder at every trick's end and at the quit, so
    // the next start can offer it; forgotten once it is over. Nothing is kept over a match
    // the start offered and the player has not yet answered for, until a trick is played.
    void KeepMatch();
    // The offer's answer: the kept match taken up, or the new one played instead.
    void TakeUpKeptMatch(bool resume);
    TableMenu& menu() { return menu_; }
    const TableUiState& ui() const { return ui_; }
    void CountFinishedDeal();
    // Releases the display, sound and input, shows a non-empty message, removes the unpacked
    // files and ends the process: status 0 for an empty message, 1 otherwise.
    void End(const std::string& message);
    // Removes the unpacked tree if it is still there (every way out of the program calls this).
    void DeleteUnpackedFilesOnce();
    // Takes the start-up dialog off the screen, the first time only.
    void UnloadDialogOnce();

    modDX::Display& display() { return display_; }
    modDX::Input& input() { return input_; }
    modDX::Audio& audio() { return audio_; }
    TableView& table() { return table_; }

private:
    // What the last presented picture showed; a frame that would show the same is skipped.
    struct FrameLook {
        Phase phase = Phase::DealingCards;
        std::int32_t mouseX = -1, mouseY = -1;
        std::int32_t pointerX = -1, pointerY = -1;
        std::string clock;
        TableExtras extras;
        bool valid = false;
        bool operator==(const FrameLook& o) const;
    };

    modDX::Display display_;
    modDX::Input input_{display_};
    modDX::Audio audio_;
    TableView table_{display_};
    std::optional<MersenneRandom> random_;
    modDX::DXTickClock tickClock_;
    std::optional<TablePlayers> players_;
    TableUiState ui_;
    TableMenu menu_;
    FrameLook lastLook_;
    std::uint32_t seed_ = 0;
    // The match kept at the last quit, while the start's offer to resume it is unanswered.
    std::optional<SavedMatch> offered_;
    int keptAt_ = -1;  // cards played when the match was last kept
    EndHooks hooks_;
    std::future<void> mixerLoad_;
    bool unpackTried_ = false;
    std::exception_ptr unpackFailure_;
    // What the table drawn for its pixels is rendered from, and a rendering under way, with
    // the back buffer's size it is for.
    std::uint64_t artSource_ = 0;
    std::unique_ptr<ArtModule> artModule_;
    std::future<PictureSet> rendering_;
    std::pair<int, int> renderingFor_{0, 0};
};

}  // namespace pellow
