#pragma once
// How the layer's set-up steps fail: each throws LoadError, and the game shows its report and
// ends.
#include <stdexcept>
#include <string>

namespace pellow::modDX {

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

// A set-up procedure that failed. what() is the three-line report the player is shown.
class LoadError : public std::runtime_error {
public:
    LoadError(std::string procedure, long number, const std::string& description);
    const std::string& procedure() const { return procedure_; }
    long number() const { return number_; }

private:
    std::string procedure_;
    long number_;
};

}  // namespace pellow::modDX
