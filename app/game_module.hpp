#pragma once
// The game behind the dialog is a module of its own, pellow-game.so beside the program. The
// program starts with the dialog's toolkit alone and forks the dialog's process before it loads
// the module: the display, sound and picture libraries beneath the game (some forty) are then
// loaded by the game's process while the dialog opens, instead of in front of it.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/settings.hpp"
#include "engine/match.hpp"

namespace pellow {

// What the program hands the game.
struct GameStart {
    std::string programFolder;  // where the program and its archive are
    std::string configFolder;   // where the options and record are saved; empty saves nothing
    std::function<void()> unloadDialog;
    // The message box the game ends with: the program's own, so the module needs no toolkit.
    std::function<void(const std::string&)> showMessage;
};

// One launch's game, living in the module.
class GameSession {
public:
    virtual ~GameSession() = default;
    // What can be made ready while the player chooses.
    virtual void PrepareWhileChoosing() = 0;
    // Play's first step, on another thread beside PrepareWhileChoosing: unpacks what the
    // chosen settings read. Play reports a failure.
    virtual void Unpack(const LaunchSettings& settings, const PlayerOptions& options) = 0;
    // The dialog's Play: unpacks and runs the game; does not return.
    virtual void Play(const LaunchSettings& settings, const PlayerOptions& options, const MatchRecord& record,
                      bool inWindow) = 0;
};

// The module's one entry, looked up by name.
using NewGameSessionFunction = GameSession* (*)(const GameStart&);
inline constexpr const char* kNewGameSession = "PellowNewGameSession";
inline constexpr const char* kGameModuleFile = "pellow-game.so";

// Loads the module from the program's folder once and makes the session; on failure holds why.
class GameModule {
public:
    explicit GameModule(GameStart start) : start_(std::move(start)) {}
    // The session, made by the first call from any thread (later ones wait for it); null when
    // the module cannot be loaded.
    GameSession* Session();
    const std::string& Error() const { return error_; }

private:
    void Load();

    GameStart start_;
    std::once_flag loaded_;
    std::unique_ptr<GameSession> session_;
    std::string error_;
};

}  // namespace pellow
