// Frames drawn from fixed match states with the real pack, compared pixel for pixel with the
// approved pictures in tests/app/golden/. The pictures are the record, so a review sees what a
// change does to the table; a mismatch leaves the new frame and a picture of the difference in
// the build folder, and PELLOW_UPDATE_GOLDEN=1 writes the new frames over the approved ones.
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "game_fixture.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {
namespace {

// A picture of 8-bit RGB triples, rows top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    std::size_t At(int x, int y) const { return (static_cast<std::size_t>(y) * width + x) * 3; }
};

// The back buffer is RGB565. Each channel is widened with its top bits repeated below, so black
// and white stay black and white and the frame's own value is the top bits: nothing is lost.
Picture FromSurface(const modDX::Surface& surface) {
    Picture p{surface.width(), surface.height(), {}};
    p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const unsigned v = modDX::GetPixel(surface, x, y);
            const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            std::uint8_t* o = &p.rgb[p.At(x, y)];
            o[0] = static_cast<std::uint8_t>((r << 3) | (r >> 2));
            o[1] = static_cast<std::uint8_t>((g << 2) | (g >> 4));
            o[2] = static_cast<std::uint8_t>((b << 3) | (b >> 2));
        }
    return p;
}

// Empty on success, else why the file could not be read.
std::string ReadPng(const std::string& path, Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return image.message;
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return image.message;
    return {};
}

std::string WritePng(const std::string& path, const Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, picture.rgb.data(), 0, nullptr)) return image.message;
    return {};
}

std::string Colour(const Picture& p, int x, int y) {
    const std::uint8_t* c = &p.rgb[p.At(x, y)];
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

bool Updating() {
    const char* update = std::getenv("PELLOW_UPDATE_GOLDEN");
    return update && *update && std::string(update) != "0";
}

// Compares a frame with its approved picture. On a mismatch the frame and a difference picture
// (differing pixels magenta, the rest the approved frame dimmed) go to the build folder and the
// failure says where, how many pixels differ and the first of them. The pictures are compared
// in 8 bits a channel, so no edit of an approved picture goes unseen. Updating, a frame that
// differs from its picture, or has none, becomes the approved picture instead; one that matches
// is not written again, so another zlib does not churn the files.
::testing::AssertionResult MatchesApproved(const std::string& name, const Picture& actual) {
    const std::string approvedPath = std::string(PELLOW_GOLDEN_DIR) + "/" + name + ".png";
    const std::string actualPath = std::string(PELLOW_GOLDEN_OUT) + "/" + name + ".actual.png";
    const std::string diffPath = std::string(PELLOW_GOLDEN_OUT) + "/" + name + ".diff.png";
    fs::create_directories(PELLOW_GOLDEN_OUT);
    // Pictures of an earlier failure would mislead once the frame matches again.
    fs::remove(actualPath);
    fs::remove(diffPath);

    Picture approved;
    const std::string readError = ReadPng(approvedPath, approved);
    const bool sameSize = readError.empty() && approved.width == actual.width && approved.height == actual.height;
    if (sameSize && approved.rgb == actual.rgb) return ::testing::AssertionSuccess();

    if (Updating()) {
        fs::create_directories(PELLOW_GOLDEN_DIR);
        const std::string error = WritePng(approvedPath, actual);
        if (!error.empty()) return ::testing::AssertionFailure() << "cannot write " << approvedPath << ": " << error;
        std::cout << "updated " << approvedPath << '\n';
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    const std::string actualError = WritePng(actualPath, actual);
    if (!readError.empty()) {
        failure << "frame " << name << " has no approved picture: " << approvedPath << ": " << readError << "\n";
    } else if (!sameSize) {
        failure << "frame " << name << " differs from its approved picture " << approvedPath << "\n"
                << "  size " << actual.width << "x" << actual.height << ", approved " << approved.width << "x"
                << approved.height << "\n";
    } else {
        Picture diff{actual.width, actual.height, std::vector<std::uint8_t>(actual.rgb.size())};
        long count = 0;
        int firstX = -1, firstY = -1, left = actual.width, top = actual.height, right = -1, bottom = -1;
        for (int y = 0; y < actual.height; ++y)
            for (int x = 0; x < actual.width; ++x) {
                const std::size_t i = actual.At(x, y);
                const bool same = std::equal(&actual.rgb[i], &actual.rgb[i] + 3, &approved.rgb[i]);
                for (int c = 0; c < 3; ++c)
                    diff.rgb[i + c] = same ? static_cast<std::uint8_t>(approved.rgb[i + c] / 4) : (c == 1 ? 0 : 255);
                if (same) continue;
                if (count++ == 0) firstX = x, firstY = y;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        failure << "frame " << name << " differs from its approved picture " << approvedPath << "\n"
                << "  " << count << " of " << static_cast<long>(actual.width) * actual.height
                << " pixels differ, within x " << left << ".." << right << ", y " << top << ".." << bottom
                << "; the first at (" << firstX << ", " << firstY << "): expected " << Colour(approved, firstX, firstY)
                << ", actual " << Colour(actual, firstX, firstY) << "\n";
        const std::string diffError = WritePng(diffPath, diff);
        failure << "  difference (magenta where pixels differ): "
                << (diffError.empty() ? diffPath : "not written, " + diffError) << "\n";
    }
    failure << "  the frame now: " << (actualError.empty() ? actualPath : "not written, " + actualError) << "\n"
            << "  if the new frame is right, rerun with PELLOW_UPDATE_GOLDEN=1 to approve it";
    return failure;
}

class GoldenTest : public GameFixture {
protected:
    // A fresh match with fixed seeds on the loaded table.
    void FreshMatch() {
        Match& m = game->match;
        Match fresh;
        fresh.settings = m.settings;
        fresh.layout = m.layout;
        fresh.random = &random;
        fresh.clock = &clock;
        fresh.computer = &rules;
        m = fresh;
        NewDeal(m);
    }

    // Advances the match as the frame loop does, the player taking their first legal card.
    void Step() {
        Match& m = game->match;
        clock.now += 17;
        FrameInput input;
        if (UserMayPick(m, false)) {
            for (int i = 0; i <= 12; ++i) {
                const CardSprite& c = m.motion.userHand[i];
                if (c.inUse && MayPlay(m.deal, userSeat, c.card)) {
                    input = {false, true, static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 40, false};
                    break;
                }
            }
        }
        StepFrame(m, input);
    }

    void StepUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200000 && !done(); ++i) Step();
        ASSERT_TRUE(done());
    }

    // Composes one frame as the game does.
    Picture Compose(const TableExtras& extras = {}) {
        modDX::Display& display = game->display();
        modDX::Surface& backBuffer = display.backBuffer();
        TableView& table = game->table();
        display.BltSurface(table.background(), backBuffer, modDX::Rect{}, 0, 0, false);
        table.DrawTable(game->match, "10:30 AM", CaptionLine(), extras);
        const ScreenSize screen = game->match.settings.screen;
        game->input().cursorPos = {ScreenWidth(screen) / 2, ScreenHeight(screen) / 2};
        game->input().DrawMouseCursor(table.pointer(), 16, 16, 32, 32, true);
        return FromSurface(backBuffer);
    }

    void CheckFrames(const std::string& size) {
        Match& m = game->match;
        std::map<std::string, Picture> got;
        FreshMatch();
        StepUntil([&] { return m.motion.trickCount == 3 && m.motion.statusText == Phase::Paused; });
        got["midtrick-" + size] = Compose();

        StepUntil([&] {
            return std::max(m.motion.ourPileCount, m.motion.theirPileCount) >= 16 && m.motion.trickCount == 2 &&
                   m.motion.statusText == Phase::Paused;
        });
        got["piles-" + size] = Compose();

        m.motion.statusText = Phase::EndOfMatch;
        m.motion.ourDealScore = 45;
        m.motion.theirDealScore = 35;
        ScoreDeal(m);
        m.motion.ourDealScore = 40;
        m.motion.theirDealScore = 40;
        ScoreDeal(m);
        ASSERT_EQ(m.score.resultText, "We Won!");
        got["score-" + size] = Compose();

        for (const auto& [name, picture] : got) EXPECT_TRUE(MatchesApproved(name, picture));
    }

    MersenneRandom random{20261208};
    RulesPlayer rules;
};

// What the table shows beyond the design's picture: its information, the last trick, the
// menu's pages and the pause, on both screens (the small one is where the texts must fit).
TEST_F(GoldenTest, TableInformationAndPanels) {
    for (const std::string size : {"800", "1024"}) {
        if (size == "800") Launch("Royal", "800x600");
        else Launch("Vintage", "");
        Match& m = game->match;
        std::map<std::string, Picture> got;
        TableExtras info;
        info.tableInfo = true;
        FreshMatch();
        StepUntil([&] { return m.motion.cardsDealt == 20; });
        got["info-dealing-" + size] = Compose(info);
        StepUntil([&] { return m.motion.trickCount == 3 && m.motion.statusText == Phase::Paused; });
        got["info-midtrick-" + size] = Compose(info);
        StepUntil([&] {
            return std::max(m.motion.ourPileCount, m.motion.theirPileCount) >= 16 && m.motion.trickCount == 2 &&
                   m.motion.statusText == Phase::Paused;
        });
        TableExtras hint = info;
        for (int i = 0; i < m.deal.handCount[userSeat]; ++i)
            if (MayPlay(m.deal, userSeat, m.deal.hand[userSeat][i]))
                hint.hintFigures.push_back({m.deal.hand[userSeat][i], 30.0 + 4.5 * i});
        ASSERT_FALSE(hint.hintFigures.empty());
        hint.hintCard = hint.hintFigures.back().card;
        got["hint-" + size] = Compose(hint);
        TableExtras last = info;
        last.lastTrick = true;
        got["lasttrick-" + size] = Compose(last);

        // Every line the information shows in a deal stays left of the partner's hand.
        const Match held = m;
        const MersenneRandom heldRandom = random;
        std::size_t widest = 0;
        for (int i = 0; i < 200000 && m.motion.statusText != Phase::EndOfMatch; ++i) {
            Step();
            for (const std::string& line : TableInfoLines(m)) widest = std::max(widest, line.size());
        }
        EXPECT_LE(8 + kTextAdvance * static_cast<int>(widest) + 2, m.layout.handAnchorX[partnerSeat]);
        m = held;
        random = heldRandom;

        PlayerOptions options;
        TableMenu menu;
        const MenuFacts facts{MatchRecord{12, 7, 40, 1700, 2, 1, 3, 130}, 123456789, true, "We 45, they 38, deal 3"};
        const auto page = [&](MenuPage shown) {
            menu.Open(shown);
            TableExtras extras = info;
            extras.panel = menu.View(options, facts);
            return Compose(extras);
        };
        got["menu-" + size] = page(MenuPage::Main);
        if (size == "800") {
            got["options-800"] = page(MenuPage::Options);
            got["rules-800"] = page(MenuPage::Rules);
            got["keys-800"] = page(MenuPage::Keys);
            got["statistics-800"] = page(MenuPage::Statistics);
            got["resume-800"] = page(MenuPage::Resume);
            TableExtras paused = info;
            paused.panel = PausePanel();
            got["paused-800"] = Compose(paused);
        }
        m.motion.statusText = Phase::EndOfMatch;
        m.dealNumber = 123456789;
        got["info-score-" + size] = Compose(info);
        for (const auto& [name, picture] : got) EXPECT_TRUE(MatchesApproved(name, picture));
        game.reset();
    }
}

TEST_F(GoldenTest, SmallTableFrames) {
    Launch("Royal", "800x600");
    CheckFrames("800");
}

TEST_F(GoldenTest, LargeTableFrames) {
    Launch("Vintage", "");
    CheckFrames("1024");
}

}  // namespace
}  // namespace pellow
