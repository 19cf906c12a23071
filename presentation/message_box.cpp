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
    // An alert box, with its single button saying OK.
    const char* previous = fl_close;
    fl_close = "OK";
    fl_alert("%s", text.c_str());
    fl_close = previous;
}

}  // namespace pellow::modDX
