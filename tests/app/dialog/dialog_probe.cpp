// A stand-in for the game around the start-up dialog: Play prints the settings the launch would
// receive instead of starting the game, so a script can drive the real window and check them.
#include <cstdio>
#include <utility>

#include "app/dialog/start_up.hpp"
#include "engine/layout.hpp"

int main() {
    pellow::LaunchSettings settings;
    pellow::StoredChoices stored;
    pellow::StartUp* self = nullptr;
    pellow::LaunchHooks hooks;
    hooks.play = [&settings, &self] {
        self->UnloadDialog();
        const pellow::TableLayout layout = pellow::MakeTableLayout(settings.screen, settings.slowAnimation);
        const bool small = settings.screen == pellow::ScreenSize::Small800x600;
        std::printf(
            "launched deckFolder=%s resolution=%s screen=%dx%d slowAnimation=%d "
            "moveFrames=%d playFrames=%d\n",
            settings.deckFolder.c_str(), small ? "800x600" : "", pellow::ScreenWidth(settings.screen),
            pellow::ScreenHeight(settings.screen), settings.slowAnimation ? 1 : 0, layout.moveFrames,
            layout.playFrames);
        std::fflush(stdout);
    };
    pellow::StartUp startUp(settings, stored, std::move(hooks));
    self = &startUp;
    const int status = startUp.Run();
    std::printf("dialog ended %d\n", status);
    return status;
}
