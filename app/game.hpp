#pragma once
// The spine of the running game: the launch sequence, one frame, and the way the game quits.
#include <string>

#include "engine/match.hpp"
#include "presentation/dx.hpp"

namespace pellow::GameMain {

// The one match every part of the game shares.
extern Match match;
// The program's folder, ending in one '/'.
extern std::string resourceBase;
// Where the resources were unpacked this run (resourceBase, or a private folder).
extern std::string unpackBase;
extern bool running;
// How a frame with nothing new to show waits: for the next event, or at most this long.
extern void (*idleWait)(int milliseconds);
// How long a frame with nothing new to show may wait before something on the table changes by
// itself (the short pause after a card ends, or the clock's minute turns).
int IdleTimeout(const Match& m, std::uint32_t nowTick, int secondsIntoMinute);

// Unpacks the resources and launches the game; returns only when the game did not start.
void Form1_Load(modDX::DisplayKind screen);
// Launch steps 1 to 14: everything up to the first frame.
void StartGame(modDX::DisplayKind screen);
// Launch step 15: the frame loop. Does not return.
[[noreturn]] void FrameLoop();
void LaunchGame(modDX::DisplayKind screen);
// One frame: input, match, drawing, presentation. Returns whether a picture was presented.
bool RunFrame();
void QuitGame();
// Removes the unpacked tree if it is still there (every way out of the program calls this).
void DeleteUnpackedFilesOnce();

// The 13-character caption line drawn beside the clock.
std::string CaptionLine();

}  // namespace pellow::GameMain
