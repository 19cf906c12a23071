#include <FL/fl_ask.H>

#include <cstdlib>
#include <iostream>

#include "presentation/dx.hpp"

namespace pellow::modDX {

void ShowMessageBox(const std::string& text) {
    std::cerr << text << '\n';
    // Without a display the box cannot open (and the toolkit would end the process trying),
    // so the text on stderr is all there is.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return;
    fl_message_title("Pellow");
    fl_choice("%s", "OK", nullptr, nullptr, text.c_str());
}

}  // namespace pellow::modDX
