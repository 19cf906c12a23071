#pragma once
// What Main and the launch use of the start-up dialog. No toolkit types leak out of here.
#include <sys/types.h>

#include <functional>
#include <utility>

#include "app/settings.hpp"
#include "engine/match.hpp"

namespace pellow {

// What the player chose last time and the match record: the dialog shows them, Play leaves the
// new choices in it before the launch's play, and resetting the record calls its saveRecord.
struct StoredChoices {
    PlayerOptions options;
    MatchRecord record;
    std::function<void(const MatchRecord&)> saveRecord;
};

// What the launch does around the dialog, each step by name.
struct LaunchHooks {
    // The dialog's Play, with the choices in the launch settings: unpacks the resources and
    // launches the game, and is not expected to return.
    std::function<void()> play;
    // With the dialog apart: runs in the game's process once the dialog shows, while the player
    // chooses.
    std::function<void()> whileChoosing;
    // With the dialog apart: runs on another thread as soon as Play's choices are in the launch
    // settings and the stored choices, even while whileChoosing still runs (neither may touch
    // what the other does); play follows once both have ended.
    std::function<void()> onChoices;
};

class StartupWindow;

// The start-up of one launch: the dialog on the launch settings and the stored choices, the
// hooks it runs, the dialog's process while it runs apart and its window while it runs here.
class StartUp {
public:
    StartUp(LaunchSettings& settings, StoredChoices& stored, LaunchHooks hooks)
        : settings_(settings), stored_(stored), hooks_(std::move(hooks)) {}
    StartUp(const StartUp&) = delete;
    StartUp& operator=(const StartUp&) = delete;

    // Shows the dialog modally in this process.
    //
    // Play stores the choices in the settings and calls the play hook. "Exit", the window's close
    // box or Escape before Play end the dialog without calling it, so nothing is unpacked and no
    // "res" folder is made.
    //
    // Returns when the program is to end, with the exit status for Main to return (0): after
    // "Exit", after closing the window, or if play ever returns. The program ends by returning
    // from Main; nothing here calls exit(). An exception thrown by play closes the dialog and is
    // rethrown from here.
    //
    // `shown`, when given, is called once the window has had its first turn at the screen.
    int Run(std::function<void()> shown = {});

    // The same, with the dialog in a process of its own: the game's process never holds the
    // toolkit's fonts, pictures and display connection, which stay behind when a dialog closes.
    // Play sends the choices back and the dialog stays on the screen until the game's
    // UnloadDialog; play then runs in this process. Without Play, returns the exit status of the
    // dialog's process (a dialog ended by a signal ends this process the same way). Where no
    // process can be started, the dialog runs in this one. whileChoosing and onChoices run as
    // LaunchHooks says.
    int RunApart();

    // The launch's "unload frmStartup": hides the dialog's window before the game's screen opens,
    // or lets the dialog's process end. Play has already cleared endOnUnload, so this does not end
    // the program. Does nothing when no dialog is showing.
    void UnloadDialog();

private:
    [[noreturn]] void RunAsDialogProcess(int choicesOut, int releaseIn, pid_t game);
    // Lets the dialog's process end, once the game no longer wants the dialog on the screen, and
    // waits for it. Does nothing when no dialog runs apart.
    void ReleaseDialogProcess();

    LaunchSettings& settings_;
    StoredChoices& stored_;
    LaunchHooks hooks_;
    // The dialog's process, seen from the game's, between Play and UnloadDialog.
    pid_t dialogPid_ = -1;
    int release_ = -1;  // closed to let the dialog's process end
    // The window while the dialog runs in this process.
    StartupWindow* window_ = nullptr;
};

}  // namespace pellow
