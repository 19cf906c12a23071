#pragma once
// The game's own changes to its environment, all of them: nothing else in the game calls setenv
// or unsetenv. Each variable it changes is named here, with why and what it is set to.
#include <cstddef>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <string>

namespace pellow::modDX {

enum class Variable {
    // XCOMPOSEFILE: the game reads keys, never text, but every X input method reads the locale's
    // whole compose table (about 9 ms and half a megabyte); pointed at /dev/null it reads none.
    ComposeTable,
    // HOME: the toolkit writes its preferences file below it even when nothing changed; at
    // /dev/null it reads its defaults and writes nothing.
    Home,
    // DBUS_SESSION_BUS_ADDRESS: with no bus to join, the libraries beneath the game start one of
    // their own that writes below the home folder and outlives the game; this names none.
    SessionBus,
};

// Each variable's name and what the game sets it to, in the order of Variable.
struct VariableFacts {
    const char* name;
    const char* standIn;
};
inline constexpr VariableFacts kVariables[] = {
    {"XCOMPOSEFILE", "/dev/null"},
    {"HOME", "/dev/null"},
    {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/pellow-has-no-session-bus"},
};
static_assert(std::size(kVariables) == static_cast<std::size_t>(Variable::SessionBus) + 1, "one row per variable");

inline const char* NameOf(Variable variable) { return kVariables[static_cast<int>(variable)].name; }
inline const char* StandInFor(Variable variable) { return kVariables[static_cast<int>(variable)].standIn; }

inline std::optional<std::string> ValueOf(Variable variable) {
    const char* value = std::getenv(NameOf(variable));
    if (!value) return std::nullopt;
    return std::string(value);
}

// The one place the environment changes: `value` set, or the variable removed when there is
// none. Returns what it was.
inline std::optional<std::string> PutVariable(Variable variable, const std::optional<std::string>& value) {
    std::optional<std::string> was = ValueOf(variable);
    if (value) {
        ::setenv(NameOf(variable), value->c_str(), 1);
    } else {
        ::unsetenv(NameOf(variable));
    }
    return was;
}

// A variable at its stand-in while this lives, then as it was.
class WithStandIn {
public:
    explicit WithStandIn(Variable variable)
        : variable_(variable), saved_(PutVariable(variable, std::string(StandInFor(variable)))) {}
    ~WithStandIn() { PutVariable(variable_, saved_); }
    WithStandIn(const WithStandIn&) = delete;
    WithStandIn& operator=(const WithStandIn&) = delete;

private:
    Variable variable_;
    std::optional<std::string> saved_;
};

}  // namespace pellow::modDX
