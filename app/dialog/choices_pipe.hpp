#pragma once
// What crosses between the dialog's process and the game's (see StartUp::RunApart).
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/dialog/start_up.hpp"

namespace pellow {

// The choices Play leaves in the launch settings and the stored choices, as bytes for the pipe
// between the dialog's process and the game's. Both ends are the same program.
std::string PackChoices(const LaunchSettings& settings, const StoredChoices& stored);
// False, leaving both untouched, when the bytes are not a whole set of choices the dialog can
// make: the game uses them as file names and saves them, so nothing else is let through.
bool UnpackChoices(const std::string& bytes, LaunchSettings& settings, StoredChoices& stored);

// What the dialog's process writes to the game's: this byte once the window shows, then after
// Play the choices, and it closes the pipe. The pipe closed without Play means the dialog ended.
inline constexpr char kDialogShown = 'S';
// The dialog's side once the window shows: writes kDialogShown. False when the game's process is
// gone.
bool SendShown(int fd);
// Play's choices as they cross, their size in front.
std::string PlayMessage(const LaunchSettings& settings, const StoredChoices& stored);
// False, with the reason in `why` and both untouched, when `message` is not one PlayMessage.
bool ReadPlayMessage(const std::string& message, LaunchSettings& settings, StoredChoices& stored, std::string& why);
// The dialog's side after Play: writes PlayMessage and closes `fd`. False when the game's
// process is gone.
bool SendChoices(int fd, const LaunchSettings& settings, const StoredChoices& stored);

// How long the rest of Play's choices may take once their first byte is in: the dialog writes
// them at once, so a wait this long means it stalled.
inline constexpr std::chrono::milliseconds kChoicesDeadline{10'000};

// The game's side of the pipe `choicesIn` from the dialog's process `dialog`, as
// StartUp::RunApart describes it (`whileChoosing` and `onChoices` included). Returns nothing
// once Play's choices are in `settings` and `stored`. Otherwise returns the status the game's
// process is to end with: the dialog's own when it ended without Play; 1, with the reason on
// `err`, when what it sent is not a whole set of choices (the dialog's process is then ended).
std::optional<int> AwaitChoices(int choicesIn, pid_t dialog, LaunchSettings& settings, StoredChoices& stored,
                                const std::function<void()>& whileChoosing, const std::function<void()>& onChoices,
                                std::ostream& err, std::chrono::milliseconds deadline = kChoicesDeadline);

}  // namespace pellow
