// The settings and record files: what is saved comes back, and whatever else lies in their place
// gives the defaults with one line on stderr, never a crash, and is replaced at the next save.
#include "app/settings.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/flow.hpp"

namespace pellow {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("pellow-settings-" + std::to_string(::getpid()));
        fs::remove_all(base);
        folder = (base / "config" / "pellow").string();
    }
    void TearDown() override { fs::remove_all(base); }

    void Write(const std::string& name, const std::string& text) {
        fs::create_directories(folder);
        std::ofstream(folder + "/" + name, std::ios::binary) << text;
    }
    int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path base;
    std::string folder;
};

TEST_F(SettingsTest, WhatIsSavedComesBackAndNothingElseIsLeft) {
    std::ostringstream err;
    // First run: no files, the defaults, nothing said.
    EXPECT_EQ(LoadOptions(folder, err), PlayerOptions{});
    EXPECT_EQ(LoadRecord(folder, err), MatchRecord{});
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(PlayerOptions{}.showPlayable);

    for (int deck = 1; deck <= 4; ++deck) {
        const PlayerOptions o{deck, deck % 2 == 0, deck > 2, deck != 3};
        ASSERT_TRUE(SaveOptions(folder, o, err));
        EXPECT_EQ(LoadOptions(folder, err), o);
    }
    const MatchRecord r{12, 7, 40, 1700};
    ASSERT_TRUE(SaveRecord(folder, r, err));
    EXPECT_EQ(LoadRecord(folder, err), r);
    EXPECT_EQ(err.str(), "");
    // The folders were made, and only the two files stay: no temporary file is left behind.
    EXPECT_EQ(Files(), (std::vector<std::string>{"record", "settings"}));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::others_all, fs::perms::none);

    // The folder follows XDG_CONFIG_HOME when it is absolute, else HOME.
    const std::string xdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/x/conf", 1);
    setenv("HOME", "/h", 1);
    EXPECT_EQ(ConfigFolder(), "/x/conf/pellow");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(ConfigFolder(), "/h/.config/pellow");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(ConfigFolder(), "");
    if (!xdg.empty()) setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    if (!home.empty()) setenv("HOME", home.c_str(), 1);
}

TEST_F(SettingsTest, DamagedEmptyForeignOrUnreadableFilesGiveTheDefaultsWithOneLine) {
    const std::string valid = "pellow-settings 1\ndeck = worn\nplay-in-window = yes\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"blank lines only", "\n\n  \n"},
        {"foreign", "[General]\ntheme=dark\n"},
        {"a newer format", "pellow-settings 2\ndeck = worn\n"},
        {"an unknown key", valid + "volume = 3\n"},
        {"a key twice", valid + "deck = royal\n"},
        {"a bad value", "pellow-settings 1\nslow-animation = maybe\n"},
        {"a bad deck", "pellow-settings 1\ndeck = tarot\n"},
        {"no equals sign", "pellow-settings 1\ndeck worn\n"},
        {"binary", std::string("pellow-settings 1\ndeck = w\0rn\n", 30)},
        {"cut short", valid.substr(0, 20)},
        {"huge", "pellow-settings 1\n" + std::string(100000, '#') + "\n"},
    };
    for (const auto& [what, text] : cases) {
        Write("settings", text);
        std::ostringstream err;
        EXPECT_EQ(LoadOptions(folder, err), PlayerOptions{}) << what;
        EXPECT_EQ(Lines(err.str()), 1) << what << ": " << err.str();
        EXPECT_NE(err.str().find(folder + "/settings"), std::string::npos) << what;
    }
    // A file with only some of the keys (an older game's) keeps the defaults for the rest.
    Write("settings", valid);
    std::ostringstream quiet;
    const PlayerOptions partial = LoadOptions(folder, quiet);
    EXPECT_EQ(partial.deck, 1);
    EXPECT_TRUE(partial.playInWindow);
    EXPECT_TRUE(partial.showPlayable);
    EXPECT_EQ(quiet.str(), "");

    // Records that cannot be true are refused too.
    for (const std::string& text : {std::string("pellow-record 1\nmatches-played = 1\nmatches-won = 2\n"),
                                    std::string("pellow-record 1\ndeals = 1\npoints = 81\n"),
                                    std::string("pellow-record 1\ndeals = -1\n"),
                                    std::string("pellow-settings 1\n")}) {
        Write("record", text);
        std::ostringstream err;
        EXPECT_EQ(LoadRecord(folder, err), MatchRecord{}) << text;
        EXPECT_EQ(Lines(err.str()), 1) << text;
    }

    // Unreadable: a folder where the file should be (permissions do not stop every user).
    fs::remove(folder + "/settings");
    fs::create_directories(folder + "/settings");
    std::ostringstream err;
    EXPECT_EQ(LoadOptions(folder, err), PlayerOptions{});
    EXPECT_EQ(Lines(err.str()), 1) << err.str();
    // It cannot be replaced either: saying so once, the game goes on.
    std::ostringstream saveErr;
    EXPECT_FALSE(SaveOptions(folder, PlayerOptions{}, saveErr));
    EXPECT_EQ(Lines(saveErr.str()), 1) << saveErr.str();

    // A damaged file is replaced whole at the next save.
    fs::remove_all(folder + "/settings");
    Write("settings", "garbage");
    const PlayerOptions chosen{3, true, true, false};
    std::ostringstream later;
    ASSERT_TRUE(SaveOptions(folder, chosen, later));
    EXPECT_EQ(LoadOptions(folder, later), chosen);
    EXPECT_EQ(later.str(), "");
    EXPECT_EQ(Files(), (std::vector<std::string>{"record", "settings"}));
}

TEST_F(SettingsTest, SavingWhereNoFolderCanBeMadeSaysSoOnce) {
    fs::create_directories(base);
    std::ofstream(base / "config") << "a file, not a folder";
    std::ostringstream err;
    EXPECT_FALSE(SaveRecord(folder, MatchRecord{1, 1, 3, 150}, err));
    EXPECT_EQ(Lines(err.str()), 1) << err.str();
    EXPECT_FALSE(SaveOptions("", PlayerOptions{}, err)) << "no folder known: nothing is written";
}

// Every deal counts its points; the match counts when a deal ends it, as won or lost.
TEST(MatchRecordTest, DealsAndMatchesAreCountedAsTheScoreEndsThem) {
    Match m;
    MatchRecord r;
    const auto deal = [&](int ours, int theirs) {
        m.motion.ourDealScore = ours;
        m.motion.theirDealScore = theirs;
        ScoreDeal(m);
        CountDeal(r, ours, m.score);
    };
    deal(45, 35);
    EXPECT_EQ(r, (MatchRecord{0, 0, 1, 45}));
    deal(40, 40);  // 85 : 75, won
    EXPECT_EQ(r, (MatchRecord{1, 1, 2, 85}));
    m.score = MatchScore{};
    deal(0, 60);
    deal(10, 70);  // 10 : 130, lost
    EXPECT_EQ(r, (MatchRecord{2, 1, 4, 95}));
    EXPECT_DOUBLE_EQ(r.AveragePoints(), 23.75);
    EXPECT_EQ(RecordLine(r), "Matches: 2 played, 1 won    Deals: 4    Average points: 23.8");
    EXPECT_EQ(RecordLine(MatchRecord{}), "Matches: 0 played, 0 won    Deals: 0    Average points: 0.0");
}

}  // namespace
}  // namespace pellow
