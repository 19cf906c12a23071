// The module's side: the Game behind the GameSession the program sees.
#include "app/game_module.hpp"

#include "app/game.hpp"
#include "resources/picture_cache.hpp"
#include "resources/unpack.hpp"

namespace pellow {
namespace {

class Session final : public GameSession {
public:
    explicit Session(const GameStart& start) {
        game_.resourceBase = BaseFolder(start.programFolder);
        game_.configFolder = start.configFolder;
        // A game that saves nothing keeps no pictures either.
        if (!start.configFolder.empty()) game_.cacheFolder = DefaultCacheFolder();
        game_.unloadDialog = start.unloadDialog;
        game_.SetEndHooks({start.showMessage, {}});
    }

    void PrepareWhileChoosing() override { game_.PrepareWhileChoosing(); }

    void Unpack(const LaunchSettings& settings, const PlayerOptions& options) override {
        game_.match.settings = settings;
        game_.options = options;
        game_.UnpackForLaunch();
    }

    void Play(const LaunchSettings& settings, const PlayerOptions& options, const MatchRecord& record,
              bool inWindow) override {
        game_.match.settings = settings;
        game_.options = options;
        game_.record = record;
        game_.Form1_Load(inWindow ? modDX::DisplayKind::Window : modDX::DisplayKind::FullScreen);
    }

private:
    Game game_;
};

}  // namespace
}  // namespace pellow

extern "C" __attribute__((visibility("default"))) pellow::GameSession* PellowNewGameSession(
    const pellow::GameStart& start) {
    return new pellow::Session(start);
}
