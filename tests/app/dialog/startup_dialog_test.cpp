#include "app/dialog/startup_dialog.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/dialog/choices_pipe.hpp"
#include "app/dialog/desktop_scale.hpp"
#include "engine/cards.hpp"
#include "engine/layout.hpp"

namespace pellow {
namespace {

// The settings as the launch sees them when Play hands over to it.
struct Launched {
    std::string deckFolder;
    ScreenSize screen = ScreenSize::Large1024x768;
    bool slowAnimation = false;
    int moveFrames = 0;
    int playFrames = 0;
    bool endOnUnload = true;
};

// What the launch makes of the settings.
Launched LaunchOf(const LaunchSettings& s, bool endOnUnload) {
    const TableLayout l = MakeTableLayout(s.screen, s.slowAnimation);
    return {s.deckFolder, s.screen, s.slowAnimation, l.moveFrames, l.playFrames, endOnUnload};
}

class StartupDialogTest : public ::testing::Test {
protected:
    StartupDialogTest() : form(settings, Host()) {}

    StartupDialogHost Host() {
        StartupDialogHost host;
        host.loadForm1 = [this] { launches.push_back(LaunchOf(settings, form.endOnUnload)); };
        host.endProgram = [this] { ++programEnds; };
        host.informationBox = [this](const std::string& text, const std::string& title) {
            boxes.emplace_back(text, title);
        };
        return host;
    }

    // Option n = 1..4; 0 clicks none.
    void ClickOption(int n) {
        switch (n) {
            case 1: form.Option1_Click(); break;
            case 2: form.Option2_Click(); break;
            case 3: form.Option3_Click(); break;
            case 4: form.Option4_Click(); break;
        }
    }

    Launched PlayWith(int option, bool slow) {
        form.Form_Load();
        ClickOption(option);
        form.Check3_Click(slow);
        form.Command1_Click();
        EXPECT_EQ(launches.size(), 1u);
        return launches.empty() ? Launched{} : launches.back();
    }

    LaunchSettings settings;
    std::vector<Launched> launches;
    int programEnds = 0;
    std::vector<std::pair<std::string, std::string>> boxes;
    frmStartup form;
};

TEST_F(StartupDialogTest, LoadSetsPackNameVersionAndEndOnUnload) {
    settings.packFileName.clear();
    form.Form_Load();
    EXPECT_EQ(settings.packFileName, "res002.pak");
    EXPECT_TRUE(form.endOnUnload);
    EXPECT_EQ(form.Label3, "Version " PELLOW_PROJECT_VERSION);
    EXPECT_EQ(VersionText(1, 5, 0), "Version 1.5.0");
    EXPECT_EQ(VersionText(10, 0, 12), "Version 10.0.12");
    // The requirement shown beside the version is this game's own.
    const std::string requirement = kRequirementLine;
    EXPECT_EQ(requirement.find("DirectX"), std::string::npos);
    EXPECT_EQ(requirement.rfind("Requires SDL 2.", 0), 0u) << requirement;
}

TEST_F(StartupDialogTest, PlayAtOnceGivesRoyalAt800x600WithNormalSpeed) {
    const Launched l = PlayWith(0, false);  // no deck clicked
    EXPECT_EQ(l.deckFolder, "Royal");
    EXPECT_EQ(l.screen, ScreenSize::Small800x600);
    EXPECT_FALSE(l.slowAnimation);
    EXPECT_EQ(l.moveFrames, 20);
    EXPECT_FALSE(l.endOnUnload) << "the launch unloads the dialog without ending the program";
    EXPECT_EQ(programEnds, 0);
    EXPECT_EQ(settings.partner, ComputerLevel::Classic);
    EXPECT_EQ(settings.opponents, ComputerLevel::Classic);
}

TEST_F(StartupDialogTest, EachTeamGetsTheLevelChosenForIt) {
    form.Form_Load();
    form.Opponents_Click(ComputerLevel::Expert);
    form.Partner_Click(ComputerLevel::Expert);
    form.Partner_Click(ComputerLevel::Classic);
    form.Command1_Click();
    EXPECT_EQ(settings.partner, ComputerLevel::Classic);
    EXPECT_EQ(settings.opponents, ComputerLevel::Expert);
    EXPECT_EQ(std::string(kLevelCaptions[static_cast<int>(ComputerLevel::Expert)]), "Expert");
}

struct DeckCase {
    int option;
    const char* folder;
    ScreenSize screen;
};

class DeckChoiceTest : public StartupDialogTest, public ::testing::WithParamInterface<DeckCase> {};

TEST_P(DeckChoiceTest, PlayStoresTheDeckAndItsScreen) {
    const DeckCase c = GetParam();
    const Launched l = PlayWith(c.option, false);
    EXPECT_EQ(l.deckFolder, c.folder);
    EXPECT_EQ(l.screen, c.screen);
    // The game's process takes what the dialog's sends.
    StoredChoices stored{form.stored, form.record, {}};
    LaunchSettings got;
    EXPECT_TRUE(UnpackChoices(PackChoices(settings, stored), got, stored));
    EXPECT_EQ(got.deckFolder, c.folder);
    EXPECT_EQ(got.screen, c.screen);

    // The caption promises the resolution the deck really gets.
    const std::string caption = kDeckCaptions[c.option];
    const std::string suffix = c.screen == ScreenSize::Small800x600 ? "[800x600 resolution]" : "[1024x768 resolution]";
    ASSERT_GE(caption.size(), suffix.size());
    EXPECT_EQ(caption.substr(caption.size() - suffix.size()), suffix);
}

INSTANTIATE_TEST_SUITE_P(AllFourDecks, DeckChoiceTest,
                         ::testing::Values(DeckCase{4, "Royal", ScreenSize::Small800x600},
                                           DeckCase{2, "Roya2", ScreenSize::Small800x600},
                                           DeckCase{3, "Vintage", ScreenSize::Large1024x768},
                                           DeckCase{1, "Worn", ScreenSize::Large1024x768}),
                         [](const ::testing::TestParamInfo<DeckCase>& info) { return std::string(info.param.folder); });

TEST(SlowAnimation, DoublesEveryMovementOnBothScreens) {
    for (int option : {4, 2, 3, 1}) {
        int frames[2][2] = {};
        for (int slow = 0; slow < 2; ++slow) {
            LaunchSettings settings;
            StartupDialogHost host;
            host.loadForm1 = [&] {
                const Launched l = LaunchOf(settings, false);
                frames[slow][0] = l.moveFrames;
                frames[slow][1] = l.playFrames;
                EXPECT_EQ(settings.slowAnimation, slow == 1);
            };
            frmStartup form(settings, host);
            form.Form_Load();
            if (option == 2) form.Option2_Click();
            if (option == 3) form.Option3_Click();
            if (option == 1) form.Option1_Click();
            // Ticking and unticking the box leaves the normal speed.
            form.Check3_Click(true);
            form.Check3_Click(slow == 1);
            form.Command1_Click();
        }
        SCOPED_TRACE(option);
        EXPECT_GT(frames[0][0], 0);
        EXPECT_GT(frames[0][1], 0);
        EXPECT_EQ(frames[1][0], 2 * frames[0][0]);
        EXPECT_EQ(frames[1][1], 2 * frames[0][1]);
    }
}

TEST_F(StartupDialogTest, TabsShowExactlyOnePageStartingWithDeck) {
    form.Form_Load();
    auto visiblePages = [this] {
        std::vector<int> pages;
        for (int i = 0; i < kTabCount; ++i) {
            if (form.Frame1Visible[i]) pages.push_back(i);
        }
        return pages;
    };
    EXPECT_EQ(visiblePages(), std::vector<int>{0});
    EXPECT_EQ(form.SSTab1Tab, 0);
    for (int tab : {2, 4, 1, 3, 0, 3}) {
        form.SSTab1_Click(tab);
        EXPECT_EQ(form.currentTab, tab);
        EXPECT_EQ(form.SSTab1Tab, tab);
        EXPECT_EQ(visiblePages(), std::vector<int>{tab});
    }
    // A tab index the control does not have changes nothing.
    form.SSTab1_Click(kTabCount);
    form.SSTab1_Click(-1);
    EXPECT_EQ(form.currentTab, 3);
    EXPECT_EQ(visiblePages(), std::vector<int>{3});
}

TEST_F(StartupDialogTest, EachDeckShowsItsOwnPreviewAndOneDeckIsSelected) {
    form.Form_Load();
    // The previews in the pack builder's order: Royal, Celtic, Vintage, Worn.
    using Shown = std::array<bool, 4>;
    EXPECT_EQ(form.Image2Visible, (Shown{true, false, false, false}));
    form.Option2_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, true, false, false}));
    // The 1024 x 768 decks show their own card, not the one that was showing.
    form.Option1_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, false, false, true}));
    form.Option3_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, false, true, false}));
    form.Option4_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{true, false, false, false}));
    form.Option1_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, false, false, true}));
    // Only the last deck clicked is selected, and Play takes that one.
    EXPECT_EQ(form.Option, (std::array<bool, 5>{false, true, false, false, false}));
    form.Command1_Click();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].deckFolder, "Worn");
    EXPECT_EQ(launches[0].screen, ScreenSize::Large1024x768);
}

// Each option's preview is the deck it launches, whichever deck was shown before.
TEST_F(StartupDialogTest, ThePreviewShownIsTheDeckPlayLaunches) {
    // The pack builder's deck folders, in the order of its previews.
    const std::array<std::string, 4> previewFolder = {"Royal", "Roya2", "Vintage", "Worn"};
    for (int before = 1; before <= 4; ++before) {
        for (int option = 1; option <= 4; ++option) {
            SCOPED_TRACE(std::to_string(before) + " then " + std::to_string(option));
            launches.clear();
            form.Form_Load();
            ClickOption(before);
            ClickOption(option);
            int shown = 0;
            std::size_t which = 0;
            for (std::size_t i = 0; i < form.Image2Visible.size(); ++i) {
                if (form.Image2Visible[i]) {
                    ++shown;
                    which = i;
                }
            }
            ASSERT_EQ(shown, 1);
            form.Command1_Click();
            ASSERT_EQ(launches.size(), 1u);
            EXPECT_EQ(launches[0].deckFolder, previewFolder[which]);
        }
    }
}

TEST_F(StartupDialogTest, ExitAndClosingBeforePlayEndTheProgramWithoutLaunching) {
    form.Form_Load();
    form.Command2_Click();
    EXPECT_EQ(programEnds, 1);

    LaunchSettings other;
    int ends = 0;
    int loads = 0;
    frmStartup closed(other, {[&] { ++loads; }, [&] { ++ends; }, nullptr, nullptr});
    closed.Form_Load();
    closed.Form_Unload();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(loads, 0);
    EXPECT_TRUE(launches.empty());
}

TEST(StartupDialogUnload, ByTheLaunchAfterPlayKeepsTheProgram) {
    // The launch unloads the dialog from inside Play.
    StartupDialogHost host;
    LaunchSettings m;
    int ends = 0;
    frmStartup* self = nullptr;
    host.loadForm1 = [&] { self->Form_Unload(); };
    host.endProgram = [&] { ++ends; };
    frmStartup played(m, host);
    self = &played;
    played.Form_Load();
    played.Command1_Click();
    EXPECT_EQ(ends, 0);
}

// No web page exists: the line below the rules says what the game is and where its manual,
// licence and credits are, and only shows that.
TEST_F(StartupDialogTest, AboutLineShowsTheVersionLicenceManualAndCredits) {
    const std::string version = std::string(PELLOW_PROJECT_VERSION);
    EXPECT_EQ(AboutLinkText(), "About Pellow " + version);
    form.Form_Load();
    form.Label11_Click();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& text = boxes[0].first;
    for (const std::string& part : {"Pellow " + version, std::string("GPL-3.0-or-later"), std::string("man 6 pellow"),
                                    std::string("LICENSE"), std::string("CREDITS.md"), std::string("Credits tab")}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " missing from:\n" << text;
    }
    EXPECT_EQ(boxes[0].second, "Pellow (Freeware)");
    EXPECT_TRUE(launches.empty());
    EXPECT_EQ(programEnds, 0);
    EXPECT_TRUE(form.endOnUnload);
}

// Nothing the player reads in the dialog points at a made-up address.
TEST(StartupTexts, NoPlaceholderAddressIsShown) {
    std::vector<std::string> shown = {kStartupCaption, kRequirementLine, kPlayCaption,
                                      kExitCaption,    AboutLinkText(),  AboutText()};
    for (const char* t : kDeckCaptions) shown.emplace_back(t);
    for (const char* t : kDeckDescriptions) shown.emplace_back(t);
    for (const char* t : kKeyLines) shown.emplace_back(t);
    for (const char* t : kTabCaptions) shown.emplace_back(t);
    for (const TextLine& line : RulesText()) shown.push_back(line.text);
    for (const TextLine& line : CreditsText()) shown.push_back(line.text);
    for (const std::string& t : shown) {
        EXPECT_EQ(t.find("example."), std::string::npos) << t;
        EXPECT_EQ(t.find("www."), std::string::npos) << t;
        EXPECT_EQ(t.find("http"), std::string::npos) << t;
    }
}

// The resource database is the desktop's, not ours: a scale comes only from a whole, plausible
// Xft.dpi, read as the database reads it (the last line for a name counts).
TEST(DesktopTextScale, ReadsXftDpiAndKeepsOneForAnythingElse) {
    EXPECT_EQ(TextScaleFromResources(""), 1);
    EXPECT_EQ(TextScaleFromResources("Xft.antialias:\t1\nXft.hinting:\t1\n"), 1);
    EXPECT_EQ(TextScaleFromResources("Xft.dpi:\t192\n"), 2);
    EXPECT_EQ(TextScaleFromResources("Xft.antialias:\t1\nXft.dpi:\t144\nXft.rgba:\trgb\n"), 1.5);
    EXPECT_EQ(TextScaleFromResources("  Xft.dpi :  120 \r\n"), 1.25);
    EXPECT_EQ(TextScaleFromResources("Xft.dpi:\t96\nXft.dpi:\t192"), 2) << "the last line, even unended";
    EXPECT_EQ(TextScaleFromResources("Xft.dpi:\t192\nXft.dpi:\t19x2\n"), 1) << "a malformed last line";
    // Below the base the dialog never shrinks; far above it, it stops at three times.
    EXPECT_EQ(TextScaleFromResources("Xft.dpi:\t72\n"), 1);
    EXPECT_EQ(TextScaleFromResources("Xft.dpi:\t384\n"), 3);
    for (const char* unusable :
         {"Xft.dpi:\t19x2\n", "Xft.dpi:\n", "Xft.dpi:\tlarge\n", "Xft.dpi:\t-192\n", "Xft.dpi:\t0\n",
          "Xft.dpi:\tnan\n", "Xft.dpi:\tinf\n", "Xft.dpi:\t1e300\n", "Xft.dpi:\t100000\n", "Xft.dpi 192\n",
          "Xft.dpix:\t192\n", "MyXft.dpi:\t192\n", "Xft.dpi:\t0x60\n", "Xft.dpi:\t192 dpi\n"})
        EXPECT_EQ(TextScaleFromResources(unusable), 1) << unusable;
}

TEST(DesktopTextScale, ShrinksToFitTheAreaButNeverBelowOne) {
    EXPECT_EQ(ScaleToFit(2, 538, 545, 3840, 2160), 2);
    EXPECT_EQ(ScaleToFit(1, 538, 545, 3840, 2160), 1);
    EXPECT_EQ(ScaleToFit(2, 538, 545, 400, 300), 1) << "a screen smaller than today's dialog";
    EXPECT_EQ(ScaleToFit(2, 538, 545, 0, 0), 1) << "no area known";
    const double fitted = ScaleToFit(2, 538, 545, 1024, 720);
    EXPECT_GT(fitted, 1.3);
    EXPECT_LE(ScaledEdge(545, fitted), 720);
    EXPECT_LE(ScaledEdge(538, fitted), 1024);
    EXPECT_EQ(ScaledEdge(545, ScaleToFit(3, 538, 545, 2000, 817)), 817) << "as large as fits";
}

// Scaled up, a picture blends its neighbours (no blocks), keeps its corners where they were (no
// shift), and mixes each colour on its own.
TEST(DesktopTextScale, PicturesResampleSmoothlyInPlace) {
    const std::uint32_t row[2] = {0x000000, 0xFF8040};
    const std::vector<std::uint32_t> wide = ResamplePicture({2, 1, row}, 4, 1);
    EXPECT_EQ(wide, (std::vector<std::uint32_t>{0x000000, 0x402010, 0xBF6030, 0xFF8040}));
    const std::vector<std::uint32_t> tall = ResamplePicture({1, 2, row}, 1, 4);
    EXPECT_EQ(tall, wide);
    const std::uint32_t square[4] = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    EXPECT_EQ(ResamplePicture({2, 2, square}, 2, 2), (std::vector<std::uint32_t>(square, square + 4)));
}

// The rules page teaches the game, so what it says must be what the game does.
TEST(RulesText, PointsAndWinningMatchTheGame) {
    for (int trumps = 0; trumps < 4; ++trumps) {
        int dealTotal = 0;
        for (int code = 0; code < kCards; ++code) {
            const int points = CardPoints(code, trumps);
            dealTotal += points;
            int stated = 0;
            for (const PointsRow& row : kPointsTable) {
                if (row.rank == RankOf(code)) {
                    stated = SuitOf(code) == trumps ? row.inTrumps : row.otherwise;
                }
            }
            EXPECT_EQ(points, stated) << "card " << CardFileName(code) << " trumps " << trumps;
        }
        std::string all;
        for (const TextLine& line : RulesText()) all += line.text + "\n";
        EXPECT_NE(all.find("worth " + std::to_string(dealTotal) + " points"), std::string::npos);
    }
    const std::string threshold = std::to_string(kWinThreshold);
    std::string all;
    for (const TextLine& line : RulesText()) all += line.text + "\n";
    EXPECT_NE(all.find("passes " + threshold), std::string::npos);
}

// What was chosen last time is what the dialog shows; Play leaves the new choices for saving,
// and the record's reset is kept at once, Play or not.
TEST_F(StartupDialogTest, LastChoicesAreShownAndPlayLeavesTheNewOnes) {
    form.stored = PlayerOptions{Deck::Roya2, true, true, false};
    form.stored.tableInformation = false;
    form.record = MatchRecord{5, 3, 20, 900};
    std::vector<MatchRecord> saved;
    StartupDialogHost host = Host();
    host.saveRecord = [&](const MatchRecord& r) { saved.push_back(r); };
    frmStartup shown(settings, host);
    shown.stored = form.stored;
    shown.record = form.record;
    shown.Form_Load();
    EXPECT_EQ(shown.Option, (std::array<bool, 5>{false, false, true, false, false}));
    EXPECT_EQ(shown.Image2Visible, (std::array<bool, 4>{false, true, false, false}));
    EXPECT_TRUE(shown.Check3);
    EXPECT_TRUE(shown.CheckWindow);
    EXPECT_FALSE(shown.CheckPlayable);
    EXPECT_FALSE(shown.CheckInformation);
    EXPECT_EQ(shown.RecordText, RecordLine(MatchRecord{5, 3, 20, 900}));

    shown.ResetRecord_Click();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], MatchRecord{});
    EXPECT_EQ(shown.RecordText, RecordLine(MatchRecord{}));

    shown.Option3_Click();
    shown.Check3_Click(false);
    shown.CheckWindow_Click(false);
    shown.CheckPlayable_Click(true);
    shown.CheckInformation_Click(true);
    shown.Command1_Click();
    EXPECT_EQ(shown.stored, (PlayerOptions{Deck::Vintage, false, false, true}));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].deckFolder, "Vintage");
    EXPECT_FALSE(launches[0].slowAnimation);
}

// Choices the dialog can make, none of them the default.
struct Choices {
    LaunchSettings settings;
    StoredChoices stored;
};
Choices Chosen() {
    Choices c;
    c.settings.deckFolder = "Roya2";
    c.settings.screen = ScreenSize::Small800x600;
    c.settings.slowAnimation = true;
    c.settings.partner = ComputerLevel::Expert;
    c.settings.opponents = ComputerLevel::Expert;
    c.stored.options = PlayerOptions{Deck::Roya2, true, true, false, ComputerLevel::Expert, ComputerLevel::Classic};
    c.stored.options.tableInformation = false;
    c.stored.options.classicTable = true;
    c.stored.options.soundVolume = 40;
    c.stored.options.soundMuted = true;
    c.stored.options.windowWidth = 1200;
    c.stored.options.windowHeight = 900;
    c.stored.record = MatchRecord{7, 4, 31, 1234, 2, 1, 5, 201};
    return c;
}

// Play's choices reach the game's process whole; anything less than a whole set changes nothing.
TEST(ChoicesPipe, EveryChoiceCrossesAndAPartialSetIsRefused) {
    const Choices chosen = Chosen();
    const std::string bytes = PackChoices(chosen.settings, chosen.stored);

    LaunchSettings got;
    got.packFileName.clear();
    StoredChoices gotStored;
    ASSERT_TRUE(UnpackChoices(bytes, got, gotStored));
    EXPECT_EQ(got.packFileName, "res002.pak");
    EXPECT_EQ(got.deckFolder, "Roya2");
    EXPECT_EQ(got.screen, ScreenSize::Small800x600);
    EXPECT_TRUE(got.slowAnimation);
    EXPECT_EQ(got.partner, ComputerLevel::Expert);
    EXPECT_EQ(got.opponents, ComputerLevel::Expert);
    EXPECT_EQ(gotStored.options, chosen.stored.options);
    EXPECT_EQ(gotStored.record, chosen.stored.record);

    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, bytes.size() / 2, bytes.size() - 1}) {
        LaunchSettings untouched;
        StoredChoices untouchedStored;
        EXPECT_FALSE(UnpackChoices(bytes.substr(0, cut), untouched, untouchedStored)) << cut;
        EXPECT_EQ(untouched.deckFolder, LaunchSettings{}.deckFolder);
        EXPECT_EQ(untouchedStored.record, MatchRecord{});
    }
    EXPECT_FALSE(UnpackChoices(bytes + "x", got, gotStored));
}

// The game's process takes the deck folder and the pack's name as parts of file paths, saves the
// options and counts on in the record: only what the dialog itself can choose gets through.
TEST(ChoicesPipe, ChoicesTheDialogCannotMakeAreRefused) {
    struct Case {
        const char* what;
        void (*damage)(Choices&);
    };
    const Case cases[] = {
        {"another pack", [](Choices& c) { c.settings.packFileName = "other.pak"; }},
        {"a pack up a folder", [](Choices& c) { c.settings.packFileName = "../res002.pak"; }},
        {"no deck", [](Choices& c) { c.settings.deckFolder.clear(); }},
        {"a deck up two folders", [](Choices& c) { c.settings.deckFolder = "..\\..\\etc"; }},
        {"a deck below another", [](Choices& c) { c.settings.deckFolder = "Roya2/../../x"; }},
        {"a deck in other letters", [](Choices& c) { c.settings.deckFolder = "roya2"; }},
        {"an 800x600 deck at 1024x768", [](Choices& c) { c.settings.screen = ScreenSize::Large1024x768; }},
        {"a 1024x768 deck at 800x600", [](Choices& c) { c.settings.deckFolder = "Worn"; }},
        {"a third screen", [](Choices& c) { c.settings.screen = static_cast<ScreenSize>(2); }},
        {"a third level", [](Choices& c) { c.settings.partner = static_cast<ComputerLevel>(2); }},
        {"a level below", [](Choices& c) { c.settings.opponents = static_cast<ComputerLevel>(-1); }},
        {"a stored level", [](Choices& c) { c.stored.options.opponents = static_cast<ComputerLevel>(7); }},
        {"deck option 0", [](Choices& c) { c.stored.options.deck = static_cast<Deck>(0); }},
        {"deck option 5", [](Choices& c) { c.stored.options.deck = static_cast<Deck>(5); }},
        {"matches below none", [](Choices& c) { c.stored.record.matchesPlayed = -1; }},
        {"more won than played", [](Choices& c) { c.stored.record.matchesWon = 8; }},
        {"more points than deals hold", [](Choices& c) { c.stored.record.points = 80 * 31 + 1; }},
        {"more chosen points than deals hold", [](Choices& c) { c.stored.record.chosenPoints = 80 * 5 + 1; }},
        {"a volume past full", [](Choices& c) { c.stored.options.soundVolume = 101; }},
        {"a window past any screen", [](Choices& c) { c.stored.options.windowWidth = 20000; }},
        {"a window of one side", [](Choices& c) { c.stored.options.windowHeight = 0; }},
        {"a count one more overflows",
         [](Choices& c) { c.stored.record.deals = std::numeric_limits<long long>::max(); }},
    };
    for (const Case& c : cases) {
        Choices damaged = Chosen();
        c.damage(damaged);
        LaunchSettings untouched;
        StoredChoices untouchedStored;
        EXPECT_FALSE(UnpackChoices(PackChoices(damaged.settings, damaged.stored), untouched, untouchedStored))
            << c.what;
        EXPECT_EQ(untouched.deckFolder, LaunchSettings{}.deckFolder) << c.what;
        EXPECT_EQ(untouchedStored.options, PlayerOptions{}) << c.what;
    }

    // A yes-or-no that is neither: the byte that tells a choice's two packings apart, set to 2.
    const auto toggles = std::vector<std::pair<const char*, void (*)(Choices&)>>{
        {"slow animation", [](Choices& c) { c.settings.slowAnimation = false; }},
        {"stored slow animation", [](Choices& c) { c.stored.options.slowAnimation = false; }},
        {"play in a window", [](Choices& c) { c.stored.options.playInWindow = false; }},
        {"show playable", [](Choices& c) { c.stored.options.showPlayable = true; }},
    };
    const Choices chosen = Chosen();
    const std::string bytes = PackChoices(chosen.settings, chosen.stored);
    for (const auto& [what, toggle] : toggles) {
        Choices other = Chosen();
        toggle(other);
        const std::string otherBytes = PackChoices(other.settings, other.stored);
        ASSERT_EQ(otherBytes.size(), bytes.size()) << what;
        std::size_t at = 0;
        while (at < bytes.size() && bytes[at] == otherBytes[at]) ++at;
        ASSERT_LT(at, bytes.size()) << what;
        std::string two = bytes;
        two[at] = 2;
        LaunchSettings got;
        StoredChoices gotStored;
        EXPECT_FALSE(UnpackChoices(two, got, gotStored)) << what;
    }
}

// The game's side of the pipe against a stand-in for the dialog's process.
struct DialogSide {
    std::string bytes;   // what it writes
    bool closes = true;  // closes the pipe once written, as the dialog does after Play
    int endsWith = -1;   // ends at once with this status instead of waiting to be released
};

struct GameSide {
    std::optional<int> ended;
    std::string err;
    bool choosing = false;
    bool choicesIn = false;
    Choices got;
};

GameSide AgainstDialog(const DialogSide& dialog) {
    int choices[2], release[2];
    EXPECT_EQ(pipe2(choices, O_CLOEXEC), 0);
    EXPECT_EQ(pipe2(release, O_CLOEXEC), 0);
    const pid_t pid = fork();
    if (pid == 0) {
        // A stand-in the game's side forgets about ends on its own, so no run hangs.
        alarm(30);
        close(choices[0]);
        close(release[1]);
        const char* data = dialog.bytes.data();
        std::size_t left = dialog.bytes.size();
        while (left > 0) {
            const ssize_t n = write(choices[1], data, left);
            if (n <= 0) _exit(101);
            data += n;
            left -= static_cast<std::size_t>(n);
        }
        if (dialog.closes) close(choices[1]);
        if (dialog.endsWith >= 0) _exit(dialog.endsWith);
        char ignored;
        while (read(release[0], &ignored, 1) > 0) {
        }
        _exit(0);
    }
    close(choices[1]);
    close(release[0]);
    GameSide game;
    game.got.settings.packFileName.clear();
    std::ostringstream err;
    game.ended = AwaitChoices(
        choices[0], pid, game.got.settings, game.got.stored, [&] { game.choosing = true; },
        [&] { game.choicesIn = true; }, err, std::chrono::seconds(1));
    game.err = err.str();
    close(choices[0]);
    close(release[1]);
    if (!game.ended) {
        int status = -1;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    // Whatever was sent, the dialog's process has ended and been waited for.
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    return game;
}

// Play's message with the size in front saying `size`: the four bytes before the choices.
std::string Sized(std::uint32_t size, const std::string& body) {
    const Choices chosen = Chosen();
    std::string head = PlayMessage(chosen.settings, chosen.stored);
    head.resize(head.size() - PackChoices(chosen.settings, chosen.stored).size());
    std::memcpy(head.data() + head.size() - sizeof size, &size, sizeof size);
    return head + body;
}

// Without Play the game's process ends as the dialog's did; with Play it has the choices; any
// other message ends it with a reason and a status that says it failed, and never hangs both
// processes on each other.
TEST(ChoicesPipe, TheGameTakesOnlyAWholeMessageAndNeverWaitsForEver) {
    const Choices chosen = Chosen();
    const std::string shown(1, kDialogShown);
    const std::string played = PlayMessage(chosen.settings, chosen.stored);
    const std::string packed = PackChoices(chosen.settings, chosen.stored);
    const auto size = static_cast<std::uint32_t>(packed.size());

    const GameSide exited = AgainstDialog({shown, true, 3});
    EXPECT_EQ(exited.ended, std::optional<int>(3));
    EXPECT_TRUE(exited.choosing);
    EXPECT_FALSE(exited.choicesIn);
    EXPECT_EQ(exited.err, "");

    const GameSide play = AgainstDialog({shown + played});
    EXPECT_EQ(play.ended, std::nullopt) << play.err;
    EXPECT_TRUE(play.choosing);
    EXPECT_TRUE(play.choicesIn);
    EXPECT_EQ(play.got.settings.packFileName, "res002.pak");
    EXPECT_EQ(play.got.settings.deckFolder, "Roya2");
    EXPECT_EQ(play.got.stored.record, chosen.stored.record);

    Choices climbing = Chosen();
    climbing.settings.deckFolder = "../../../tmp";
    const struct {
        const char* what;
        DialogSide dialog;
    } broken[] = {
        {"garbage first", {"X" + played, false}},
        {"garbage once shown", {shown + "Q" + played.substr(1), false}},
        {"shown twice", {shown + shown + played, false}},
        {"a size cut short", {shown + played.substr(0, 3)}},
        {"a size above what is sent, the pipe kept open", {shown + Sized(size + 50, packed), false}},
        {"a size above what is sent, the pipe closed", {shown + Sized(size + 50, packed)}},
        {"over 64 KiB", {shown + Sized(70'000, packed + std::string(70'000 - packed.size(), 'r'))}},
        {"a size below what is sent", {shown + Sized(size - 4, packed)}},
        {"bytes after the choices", {shown + played + "x"}},
        {"a deck folder outside the game's", {shown + PlayMessage(climbing.settings, climbing.stored)}},
    };
    for (const auto& [what, dialog] : broken) {
        const GameSide game = AgainstDialog(dialog);
        EXPECT_EQ(game.ended, std::optional<int>(1)) << what;
        EXPECT_FALSE(game.choicesIn) << what;
        EXPECT_EQ(game.got.settings.deckFolder, "") << what;
        EXPECT_EQ(game.err.rfind("Pellow cannot start.\n", 0), 0u) << what << ": " << game.err;
        EXPECT_GT(game.err.size(), std::string("Pellow cannot start.\n").size() + 10) << what;
    }
}

}  // namespace
}  // namespace pellow
