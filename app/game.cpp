#include "app/game.hpp"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/dialog/run_startup_dialog.hpp"
#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "engine/play.hpp"
#include "opponent/pellow_ai.hpp"
#include "presentation/dx.hpp"
#include "presentation/input.hpp"
#include "presentation/platform_services.hpp"
#include "presentation/sound.hpp"
#include "presentation/table.hpp"
#include "resources/unpack.hpp"

namespace pellow::GameMain {

Match match;
std::string resourceBase;
std::string unpackBase;
bool running = false;
void (*idleWait)(int) = modDX::WaitForEvent;

namespace {

std::optional<MersenneRandom> random;
modDX::DXTickClock tickClock;
modDX::DXSoundRequests sounds;
RulesPlayer computer;

// What the last presented picture showed; a frame that would show the same is skipped.
struct FrameLook {
    Phase phase = Phase::DealingCards;
    std::int32_t mouseX = -1, mouseY = -1;
    std::string clock;
    bool valid = false;
    bool operator==(const FrameLook& o) const {
        return valid && o.valid && phase == o.phase && mouseX == o.mouseX && mouseY == o.mouseY &&
               clock == o.clock;
    }
};
FrameLook lastLook;

// While paused only a key press matters, and that wakes the wait at once.
constexpr int kPausedWait = 250;
constexpr int kLongestIdleWait = 1000;

int SecondsIntoMinute() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_sec;
}

std::string Resolve(std::string_view relative) { return ResolveResourcePath(unpackBase, relative); }

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

void DeleteUnpackedFilesOnce() {
    if (unpackBase.empty()) return;
    const std::string base = unpackBase;
    unpackBase.clear();
    try {
        DeleteUnpackedFiles(base);
    } catch (const ResourceError& e) {
        std::cerr << "Pellow: " << e.what() << '\n';
    }
}

void Form1_Load(modDX::DisplayKind screen) {
    try {
        unpackBase = UnpackResources(resourceBase, match.settings.packFileName);
    } catch (const ResourceError& e) {
        UnloadStartupDialog();
        modDX::ShowMessageBox(std::string("Pellow cannot start.\n") + e.what());
        std::exit(EXIT_FAILURE);
    }
    LaunchGame(screen);
}

void StartGame(modDX::DisplayKind screen) {
    Match& m = match;
    // Whatever ends the program from here on, the unpacked files must not stay behind.
    modDX::SetShutDownHooks({nullptr, [](int status) {
                                 DeleteUnpackedFilesOnce();
                                 std::exit(status);
                             }});
    modDX::SetCloseHandler(QuitGame);

    UnloadStartupDialog();
    m.layout = MakeTableLayout(m.settings.screen, m.settings.slowAnimation);
    random.emplace(TimeOfDaySeed());
    m.random = &*random;
    m.clock = &tickClock;
    m.sounds = &sounds;
    m.computer = &computer;

    modDX::DirectX(ScreenWidth(m.settings.screen), ScreenHeight(m.settings.screen), screen);
    modDX::GiveMeInput();
    modDX::KeyBoard();
    modDX::Mouse();
    modDX::InitSound();
    modDX::LoadSounds(Resolve);
    LoadBitmaps(m.settings, Resolve);
    modDX::SetClipRect();
    NewDeal(m);
    running = true;
    modDX::ShowSystemCursor(false);
    modDX::BltSurface(backgroundSurface, modDX::backBuffer, modDX::Rect{}, 0, 0, false);
    DeleteUnpackedFilesOnce();
    lastLook = FrameLook{};
}

void FrameLoop() {
    while (running) {
        RunFrame();
        modDX::DoEvents();
    }
    QuitGame();
    std::abort();  // QuitGame ends the process
}

void LaunchGame(modDX::DisplayKind screen) {
    StartGame(screen);
    FrameLoop();
}

bool RunFrame() {
    Match& m = match;
    modDX::ReadKeyBoard();
    modDX::ReadMouse();
    if (modDX::KeyDown(modDX::keyEscape)) {
        QuitGame();
        return false;
    }
    modDX::HandlePauseKey();
    const bool movingBefore = AnyCardMoving(m.motion);
    const FrameInput input{modDX::KeyDown(modDX::keyR), modDX::MouseButton(0), modDX::mouseX,
                           modDX::mouseY, modDX::paused};
    const bool picked = StepFrame(m, input);
    if (!m.fault.empty()) modDX::ShutDown(m.fault);
    if (modDX::paused) {
        idleWait(kPausedWait);
        lastLook.valid = false;
        return false;
    }
    modDX::RecoverSurfaces();

    // A frame identical to the last one presented is neither drawn nor presented: the loop
    // waits for the next event or frame time instead, so a waiting game costs no CPU.
    FrameLook look{m.motion.statusText, modDX::mouseX, modDX::mouseY, CurrentClockText(), true};
    if (!movingBefore && !AnyCardMoving(m.motion) && !picked && look == lastLook) {
        idleWait(IdleTimeout(m, m.clock->TickCount(), SecondsIntoMinute()));
        return false;
    }
    modDX::BltSurface(backgroundSurface, modDX::backBuffer, modDX::Rect{}, 0, 0, false);
    DrawTable(m, look.clock, kCaption);
    modDX::DrawMouseCursor(lineSurface[3], 16, 16, 32, 32, true);
    modDX::FlipScreen();
    lastLook = look;
    return true;
}

void QuitGame() {
    ReleaseBitmaps();
    modDX::ReleaseSounds();
    DeleteUnpackedFilesOnce();
    modDX::ShutDown("");
}

}  // namespace pellow::GameMain
