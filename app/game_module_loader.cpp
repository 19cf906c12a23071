// The program's side: loads the game's module.
#include <dlfcn.h>

#include "app/game_module.hpp"

namespace pellow {

GameSession* GameModule::Session() {
    if (tried_) return session_.get();
    tried_ = true;
    const std::string path = start_.programFolder + "/" + kGameModuleFile;
    // Bound at once: the load runs while the player chooses, and the first frame then finds
    // every call resolved. The module stays loaded until the process ends.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        error_ = why ? why : path + ": cannot be loaded";
        return nullptr;
    }
    const auto make = reinterpret_cast<NewGameSessionFunction>(dlsym(module, kNewGameSession));
    if (!make) {
        error_ = path + ": not the game's module (no " + kNewGameSession + ")";
        return nullptr;
    }
    session_.reset(make(start_));
    return session_.get();
}

}  // namespace pellow
