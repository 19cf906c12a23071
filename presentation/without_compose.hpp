#pragma once
// The game reads keys, never text, yet the X libraries open an input method for every display
// connection, and the input method reads the locale's whole compose table: about 9 ms and half
// a megabyte each time. While one of these lives, an input method opened reads an empty table.
#include <cstdlib>
#include <optional>
#include <string>

namespace pellow::modDX {

class WithoutComposeTable {
public:
    WithoutComposeTable() {
        if (const char* was = std::getenv(kVariable)) saved_ = was;
        setenv(kVariable, "/dev/null", 1);
    }
    ~WithoutComposeTable() {
        if (saved_) setenv(kVariable, saved_->c_str(), 1);
        else unsetenv(kVariable);
    }
    WithoutComposeTable(const WithoutComposeTable&) = delete;
    WithoutComposeTable& operator=(const WithoutComposeTable&) = delete;

private:
    static constexpr const char* kVariable = "XCOMPOSEFILE";
    std::optional<std::string> saved_;
};

}  // namespace pellow::modDX
