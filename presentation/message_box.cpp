#include <FL/fl_ask.H>

#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "presentation/message_box.hpp"

namespace pellow::modDX {

namespace {

// The box grows to fit its longest line and never wraps, so a message naming a long path could
// push its end and the OK button off the screen. Long lines are broken for the box, after a
// space or a slash where there is one.
std::string WrapForBox(const std::string& text) {
    constexpr std::size_t kWidth = 80;
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        while (line.size() > kWidth) {
            std::size_t cut = line.find_last_of(" /", kWidth - 1);
            cut = (cut == std::string_view::npos || cut == 0) ? kWidth : cut + 1;
            out.append(line.substr(0, cut));
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out += '\n';
            line.remove_prefix(cut);
        }
        out.append(line);
        if (end == text.size()) break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

}  // namespace

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
    fl_alert("%s", WrapForBox(text).c_str());
    fl_close = previous;
}

}  // namespace pellow::modDX
