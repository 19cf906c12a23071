#pragma once
// Invite codes and rejoin tokens: random secrets from the kernel's generator, written in a
// base-32 alphabet without the letters that read as digits, so a code can be read aloud, typed
// or pasted. An invite code carries 80 random bits, a rejoin token 130.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/services.hpp"

namespace pellow::net {

// "7KQ2-MX9D-P4TR-V0ZC": sixteen symbols in groups of four.
std::string NewInviteCode();
// Twenty-six symbols, no dashes: kept by a program, not typed.
std::string NewRejoinToken();
// A code as typed: case, blanks and dashes do not matter, O reads as 0 and I or L as 1. The
// canonical form (that of NewInviteCode), or none for anything that is not sixteen symbols.
std::optional<std::string> CanonicalInviteCode(std::string_view typed);
// A token is compared exactly; none unless it is twenty-six symbols of the alphabet.
bool WellFormedToken(std::string_view token);

// The kernel's generator behind the game's RandomSource: deals no player can work out from the
// cards they see, as they could from a deal number or a seeded generator.
class SystemRandom final : public RandomSource {
public:
    float Rnd() override;

private:
    std::uint32_t buffer_[64]{};
    int left_ = 0;
};

}  // namespace pellow::net
