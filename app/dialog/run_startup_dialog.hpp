#pragma once
// What Main and the launch use of the start-up dialog. No toolkit types leak out of here.
#include <functional>

#include "app/settings.hpp"
#include "engine/match.hpp"

namespace pellow {

// Shows the start-up dialog modally on the launch settings.
//
// Play stores the choices in `settings` and calls `loadForm1`, which unpacks
// the resources and launches the game and is not expected to return. "Exit", the window's
// close box or Escape before Play end the dialog without calling `loadForm1`, so nothing is
// unpacked and no "res" folder is made.
//
// Returns when the program is to end, with the exit status for Main to return (0): after
// "Exit", after closing the window, or if `loadForm1` ever returns. The program ends by
// returning from Main; nothing here calls exit(). An exception thrown by `loadForm1` closes the
// dialog and is rethrown from here.
//
// `stored`, when given, holds what the player chose last time and the match record: the dialog
// shows them, Play leaves the new choices in it before `loadForm1`, and resetting the record
// calls its saveRecord.
struct StoredChoices {
    PlayerOptions options;
    MatchRecord record;
    std::function<void(const MatchRecord&)> saveRecord;
};
//
// `shown`, when given, is called once the window has had its first turn at the screen.
int RunStartupDialog(LaunchSettings& settings, std::function<void()> loadForm1,
                     StoredChoices* stored = nullptr, std::function<void()> shown = {});

// The same, with the dialog in a process of its own: the game's process never holds the
// toolkit's fonts, pictures and display connection, which stay behind when a dialog closes.
// Play sends the choices back and the dialog stays on the screen until the game's
// UnloadStartupDialog; `loadForm1` then runs in this process. Without Play, returns the exit
// status of the dialog's process (a dialog ended by a signal ends this process the same way).
// Where no process can be started, the dialog runs in this one. `whileChoosing`, when given,
// runs in this process once the dialog shows, while the player chooses. `onChoices`, when
// given, runs on another thread as soon as Play's choices are in `settings` and `stored`, even
// while `whileChoosing` still runs (neither may touch what the other does); `loadForm1`
// follows once both have ended.
int RunStartupDialogApart(LaunchSettings& settings, std::function<void()> loadForm1,
                          StoredChoices& stored, std::function<void()> whileChoosing = {},
                          std::function<void()> onChoices = {});

// The launch's "unload frmStartup": hides the dialog's window before the game's screen opens.
// Play has already cleared endOnUnload, so this does not end the program. Does nothing when no
// dialog is showing.
void UnloadStartupDialog();

}  // namespace pellow
