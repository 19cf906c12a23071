// The program's side: loads the game's module.
#include <dlfcn.h>

#include "app/game_module.hpp"

namespace pellow {

GameSession* GameModule::Session() {
    std::call_once(loaded_, [this] { Load(); });
    return session_.get();
}

void GameModule::Load() {
    const std::string path = start_.programFolder + "/" + kGameModuleFile;
    // Bound at once: the load runs while the player chooses, and the first frame then finds
    // every call resolved. The module stays loaded until the process ends.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        error_ = why ? why : path + ": cannot be loaded";
        return;
    }
    const auto make = reinterpret_cast<NewGameSessionFunction>(dlsym(module, kNewGameSession));
    if (!make) {
        error_ = path + ": not the game's module (no " + kNewGameSession + ")";
        return;
    }
    session_.reset(make(start_));
}

}  // namespace pellow
