// Pellow: start-up. Shows the start-up dialog; its Play button unpacks the resources and
// launches the game, which ends the process when the player quits.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/dialog/start_up.hpp"
#include "engine/fatal_error.hpp"
#include "app/game_module.hpp"
#include "app/settings.hpp"
#include "presentation/dx.hpp"
#include "presentation/environment.hpp"

namespace pellow {
namespace {

// The folder of the program's own file, as the kernel knows it; empty, with errno set, when it
// cannot say. argv[0] is no substitute: a bare name would make it the current folder, and the
// game's module would then be loaded from wherever the player happens to stand.
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || path[0] != '/') {
        if (n > 0) errno = ENOENT;
        return {};
    }
    const std::string exe(path, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return exe.substr(0, slash == 0 ? 1 : slash);
}

constexpr const char* kUsage =
    "usage: pellow [--window | --fullscreen] [--help] [--version]\n"
    "  --window      play in a window, whatever the Options tab says\n"
    "  --fullscreen  play full screen, whatever the Options tab says\n"
    "  --help        show this and end\n"
    "  --version     show the version and end\n"
    "While playing, F11 or Alt+Enter switches between a window and full screen.\n"
    "Settings and the match record are kept in $XDG_CONFIG_HOME/pellow (~/.config/pellow).\n";

// With no session bus to join, the libraries under the game would start one of their own, which
// writes below the home folder and keeps running after the game has ended. The game needs no
// bus, so it is pointed at one that is not there.
void NoSessionBusOfOurOwn() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') return;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0) return;
    modDX::PutVariable(modDX::Variable::SessionBus, std::string(modDX::StandInFor(modDX::Variable::SessionBus)));
}

// One run of the program: the player's stored choices, the start-up dialog and the game's
// module. The module is loaded once the dialog shows; Play's choices may come in while the
// screen is still being prepared, and wait for the module only.
class Launch {
public:
    Launch(const std::string& programFolder, std::string configFolder, std::optional<bool> inWindow)
        : configFolder_(std::move(configFolder)),
          inWindow_(inWindow),
          startUp_(settings_, stored_,
                   {.play = [this] { Play(); },
                    .whileChoosing = [this] { WhileChoosing(); },
                    .onChoices = [this] { OnChoices(); }}),
          module_({programFolder, configFolder_, [this] { startUp_.UnloadDialog(); }, modDX::ShowMessageBox}) {
        stored_.options = LoadOptions(configFolder_, std::cerr);
        stored_.record = LoadRecord(configFolder_, std::cerr);
        stored_.saveRecord = [this](const MatchRecord& record) { SaveRecord(configFolder_, record, std::cerr); };
    }
    Launch(const Launch&) = delete;
    Launch& operator=(const Launch&) = delete;

    int Run() { return startUp_.RunApart(); }

private:
    // The dialog's Play, in the game's process: the game ends the process from inside it.
    void Play() {
        SaveOptions(configFolder_, stored_.options, std::cerr);
        GameSession* game = module_.Session();
        if (!game) {
            startUp_.UnloadDialog();
            modDX::ShowMessageBox(FatalMessage(module_.Error()));
            std::exit(1);
        }
        game->Play(settings_, stored_.options, stored_.record, inWindow_.value_or(stored_.options.playInWindow));
    }
    void WhileChoosing() {
        if (GameSession* game = module_.Session()) game->PrepareWhileChoosing();
    }
    void OnChoices() {
        if (GameSession* game = module_.Session()) game->Unpack(settings_, stored_.options);
    }

    const std::string configFolder_;
    const std::optional<bool> inWindow_;
    LaunchSettings settings_;
    StoredChoices stored_;
    StartUp startUp_;
    GameModule module_;
};

}  // namespace
}  // namespace pellow

int main(int argc, char** argv) {
    using namespace pellow;
    // Only the clock's designators follow the player's locale; numbers and text stay as they are.
    std::setlocale(LC_TIME, "");
    std::optional<bool> inWindow;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0) {
            inWindow = true;
        } else if (std::strcmp(argv[i], "--fullscreen") == 0) {
            inWindow = false;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << kUsage;
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "Pellow " PELLOW_VERSION "\n";
            return 0;
        } else {
            std::cerr << "pellow: unknown option " << argv[i] << "\n" << kUsage;
            return 2;
        }
    }
    const std::string programFolder = ProgramFolder();
    if (programFolder.empty()) {
        // Before any display is open: stderr is the only place to say it.
        std::cerr << FatalMessage(std::string("The program's own folder cannot be found (/proc/self/exe: ") +
                                  std::strerror(errno) + "), so its game module and resources cannot be found either.")
                  << '\n';
        return 1;
    }
    NoSessionBusOfOurOwn();
    Launch launch(programFolder, ConfigFolder(), inWindow);
    return launch.Run();
}
