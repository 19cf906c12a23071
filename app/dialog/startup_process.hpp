#pragma once
// The start-up dialog in a process of its own, and what crosses between the two processes.
#include <optional>
#include <string>

#include "app/dialog/run_startup_dialog.hpp"

namespace pellow {

// The choices Play leaves in the launch settings and the stored choices, as bytes for the pipe
// between the dialog's process and the game's. Both ends are the same program.
std::string PackChoices(const LaunchSettings& settings, const StoredChoices& stored);
// False, leaving both untouched, when the bytes are not a whole set of choices.
bool UnpackChoices(const std::string& bytes, LaunchSettings& settings, StoredChoices& stored);

// The toolkit reads its options (focus box, tooltips) from a preferences file in the home folder
// and writes that file back even when nothing changed; read here, nothing is written. Both
// processes do it before any toolkit window: the game's may still show a message box.
void ReadToolkitOptionsWithoutSaving();

// Lets the dialog's process end, once the game no longer wants the dialog on the screen, and
// waits for it. Does nothing when no dialog runs apart.
void ReleaseDialogProcess();

}  // namespace pellow
