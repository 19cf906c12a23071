#pragma once
// How the layer's set-up steps fail: each throws LoadError, and the game shows its report and
// ends.
#include <string>

#include "engine/fatal_error.hpp"

namespace pellow::modDX {

using pellow::FatalError;

// Error numbers of this layer's set-up procedures.
enum ErrorNumber : long {
    errDisplayStart = 1001,
    errWindow = 1002,
    errRenderer = 1003,
    errBackBuffer = 1004,
    errPictureFile = 1005,
    errPictureFormat = 1006,
    errInputStart = 1011,
};

// A set-up procedure that failed. what() is the three-line report the player is shown, under
// the fatal headline.
class LoadError : public FatalError {
public:
    LoadError(std::string procedure, long number, const std::string& description);
    const std::string& procedure() const { return procedure_; }
    long number() const { return number_; }

private:
    std::string procedure_;
    long number_;
};

}  // namespace pellow::modDX
