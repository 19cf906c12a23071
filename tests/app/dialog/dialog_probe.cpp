// A stand-in for the game around the start-up dialog: Play prints the settings the launch would
// receive instead of starting the game, so a script can drive the real window and check them.
#include <cstdio>

#include "app/dialog/run_startup_dialog.hpp"
#include "engine/match.hpp"

int main() {
    pellow::Match match;
    const int status = pellow::RunStartupDialog(match, [&match] {
        pellow::UnloadStartupDialog();
        std::printf("launched deckFolder=%s resolution=%s screen=%dx%d slowAnimation=%d "
                    "moveFrames=%d playFrames=%d\n",
                    match.deckFolder.c_str(), match.resolution.c_str(), match.screenWidth,
                    match.screenHeight, match.slowAnimation ? 1 : 0, match.moveFrames,
                    match.playFrames);
        std::fflush(stdout);
    });
    std::printf("dialog ended %d\n", status);
    return status;
}
