#pragma once
// The program's message box (message_box.cpp, on the toolkit, in its own library).
#include <string>

namespace pellow::modDX {

// A message box with only an OK button, when a display exists, and the text on stderr.
void ShowMessageBox(const std::string& text);

}  // namespace pellow::modDX
