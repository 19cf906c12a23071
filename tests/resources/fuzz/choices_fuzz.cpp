// Fuzz target for the message the start-up dialog's process sends the game's after Play. The
// game's process reads it before trusting anything in it: any input is refused with a reason, or
// taken. A finding is a message taken that the game would not send for the choices it gave, a
// refusal without a reason, or one that left anything behind.
#include <cstdint>
#include <string>

#include "app/dialog/choices_pipe.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

using pellow::fuzz::Finding;

bool Untouched(const pellow::LaunchSettings& settings, const pellow::StoredChoices& stored) {
    const pellow::LaunchSettings fresh;
    return settings.packFileName == fresh.packFileName && settings.deckFolder == fresh.deckFolder &&
           settings.screen == fresh.screen && stored.options == pellow::PlayerOptions{} &&
           stored.record == pellow::MatchRecord{};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    pellow::LaunchSettings settings;
    pellow::StoredChoices stored;
    std::string why;
    if (pellow::ReadPlayMessage(bytes, settings, stored, why)) {
        if (pellow::PlayMessage(settings, stored) != bytes) Finding("a message taken does not come back the same");
    } else {
        if (why.empty()) Finding("a message refused without a reason");
        if (!Untouched(settings, stored)) Finding("a refused message changed the choices");
    }

    // The same bytes as the choices alone, behind a size that would have been right.
    pellow::LaunchSettings alone;
    pellow::StoredChoices aloneStored;
    if (pellow::UnpackChoices(bytes, alone, aloneStored)) {
        if (pellow::PackChoices(alone, aloneStored) != bytes) Finding("choices taken do not come back the same");
    } else if (!Untouched(alone, aloneStored)) {
        Finding("refused choices changed the choices");
    }
    return 0;
}
