// Pellow: start-up. Shows the start-up dialog; its Play button unpacks the resources and
// launches the game, which ends the process when the player quits.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "app/dialog/run_startup_dialog.hpp"
#include "app/game.hpp"
#include "resources/unpack.hpp"

namespace {

std::string ProgramFolder(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string(argv0);
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pellow;
    auto screen = modDX::DisplayKind::FullScreen;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0) {
            screen = modDX::DisplayKind::Window;
        } else {
            std::cerr << "usage: pellow [--window]\n"
                         "  --window  play in a window instead of full screen\n";
            return 2;
        }
    }
    // Lives until the process ends; the game ends it from inside the dialog's Play.
    auto game = std::make_unique<Game>();
    game->resourceBase = BaseFolder(ProgramFolder(argv[0]));
    return RunStartupDialog(game->match.settings, [&game, screen] { game->Form1_Load(screen); });
}
