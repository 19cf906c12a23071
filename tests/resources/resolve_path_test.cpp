#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "resources/pak_bytes.hpp"
#include "resources/unpack.hpp"

namespace pellow {
namespace {

namespace fs = std::filesystem;

class ResolvePathTest : public test::ScratchTest {};

TEST_F(ResolvePathTest, MatchesEveryComponentWithoutRegardToCase) {
    fs::create_directories(dir / "res/Sounds");
    fs::create_directories(dir / "res/Bitmaps");
    test::WriteBytes(dir / "res/Sounds/CARD_FLIP.WAV", "");
    test::WriteBytes(dir / "res/Bitmaps/Back_800x600.bmp", "");
    const std::string base = dir.string() + "/";

    EXPECT_EQ(ResolveResourcePath(base, "res\\sounds\\card_flip.wav"), base + "res/Sounds/CARD_FLIP.WAV");
    EXPECT_EQ(ResolveResourcePath(base, "RES\\BITMAPS\\back_800X600.BMP"), base + "res/Bitmaps/Back_800x600.bmp");
    // A base without its trailing separator, forward slashes and a trailing separator.
    EXPECT_EQ(ResolveResourcePath(dir.string(), "res/bitmaps/"), base + "res/Bitmaps/");
    // From the first name that matches nothing, the rest is kept as written.
    EXPECT_EQ(ResolveResourcePath(base, "res\\sounds\\Missing\\x.WAV"), base + "res/Sounds/Missing/x.WAV");
    EXPECT_EQ(ResolveResourcePath(base, "res\\Royal\\AC.BMP"), base + "res/Royal/AC.BMP");
}

TEST_F(ResolvePathTest, PrefersTheExactNameAndChoosesSteadilyAmongOthers) {
    for (const char* name : {"card.wav", "CARD.WAV", "Card.wav"}) test::WriteBytes(dir / name, name);
    const std::string base = dir.string() + "/";
    EXPECT_EQ(ResolveResourcePath(base, "Card.wav"), base + "Card.wav");
    EXPECT_EQ(ResolveResourcePath(base, "card.WAV"), base + "CARD.WAV");  // lowest in byte order
}

}  // namespace
}  // namespace pellow
