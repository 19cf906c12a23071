#pragma once
// The one kind of error that ends the game. Every layer's fatal error derives from FatalError
// (the archive's PakError, the unpacking's ResourceError, the display's LoadError); what() is
// the reason in words a player can act on, one line or more. Whatever catches it shows
// FatalMessage(reason) in a message box and on stderr and ends with status 1: Game::End behind
// Play, the start-up before it. Trouble the game plays on through is one line on stderr that
// begins "Pellow: " instead.
#include <stdexcept>
#include <string>
#include <string_view>

namespace pellow {

class FatalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a fatal error reads wherever it shows: a headline saying what could not be done, then the
// reason.
inline std::string FatalMessage(std::string_view reason, bool whilePlaying = false) {
    std::string message = whilePlaying ? "Pellow cannot go on." : "Pellow cannot start.";
    message += '\n';
    message += reason;
    return message;
}

}  // namespace pellow
