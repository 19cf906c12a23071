#pragma once
// How the dialog's process meets the toolkit and the X display: the tricks that keep the
// dialog's start short, and the toolkit's options read without its writing them back.

namespace pellow {

// Opens the toolkit's display as fl_open_display() does, but first asks for every X atom the
// toolkit names while opening it in one round trip: Xlib keeps the answers, and the toolkit's
// own requests, one round trip each, are then answered without the server.
void OpenToolkitDisplay();

// Whether the display keeps the window's pixels as the pictures are stored: 32-bit 0xRRGGBB.
// Asks the toolkit's open display.
bool DisplayTakesPicturesAsTheyAre();

// The desktop's text scale (TextScaleFromResources) from the resource database the server sent
// with the open display's connection: read without a request of its own.
double DesktopTextScale();

// The toolkit reads its options (focus box, tooltips) from a preferences file in the home folder
// and writes that file back even when nothing changed; read here, nothing is written. Both
// processes do it before any toolkit window: the game's may still show a message box.
void ReadToolkitOptionsWithoutSaving();

}  // namespace pellow
