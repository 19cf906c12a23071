// Fuzz target for the player's settings and record files, which the game reads at every start
// from a folder anybody may have edited. The input is taken as each file in turn. A finding is
// a file that loads but does not come back the same once the game has saved what it loaded, or
// a file the game wrote itself that it then complains about.
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "app/settings.hpp"
#include "fuzz/fuzz_support.hpp"

namespace {

using pellow::fuzz::Finding;

template <class Value, class Load, class Save>
void ReadSaveRead(const std::string& folder, const std::string& file, const std::string& bytes, Load load, Save save) {
    std::ofstream(folder + "/" + file, std::ios::binary | std::ios::trunc) << bytes;
    std::ostringstream firstErr, saveErr, secondErr;
    const Value loaded = load(folder, firstErr);
    if (!save(folder, loaded, saveErr)) Finding(file + ": what was loaded could not be saved: " + saveErr.str());
    const Value again = load(folder, secondErr);
    if (!(again == loaded)) Finding(file + ": saved and read again, it is not what was loaded");
    if (!secondErr.str().empty()) Finding(file + ": the game's own file was refused: " + secondErr.str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pellow::fuzz::Scratch scratch;
    const std::string folder = scratch.root.string();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadSaveRead<pellow::PlayerOptions>(folder, "settings", bytes, pellow::LoadOptions, pellow::SaveOptions);
    ReadSaveRead<pellow::MatchRecord>(folder, "record", bytes, pellow::LoadRecord, pellow::SaveRecord);
    return 0;
}
