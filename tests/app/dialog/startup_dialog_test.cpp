#include "app/dialog/startup_dialog.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/dialog/startup_process.hpp"
#include "engine/cards.hpp"
#include "engine/deal.hpp"

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
        host.loadForm1 = [this] {
            launches.push_back(LaunchOf(settings, form.endOnUnload));
        };
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

class DeckChoiceTest : public StartupDialogTest,
                       public ::testing::WithParamInterface<DeckCase> {};

TEST_P(DeckChoiceTest, PlayStoresTheDeckAndItsScreen) {
    const DeckCase c = GetParam();
    const Launched l = PlayWith(c.option, false);
    EXPECT_EQ(l.deckFolder, c.folder);
    EXPECT_EQ(l.screen, c.screen);

    // The caption promises the resolution the deck really gets.
    const std::string caption = kDeckCaptions[c.option];
    const std::string suffix =
        c.screen == ScreenSize::Small800x600 ? "[800x600 resolution]" : "[1024x768 resolution]";
    ASSERT_GE(caption.size(), suffix.size());
    EXPECT_EQ(caption.substr(caption.size() - suffix.size()), suffix);
}

INSTANTIATE_TEST_SUITE_P(AllFourDecks, DeckChoiceTest,
                         ::testing::Values(DeckCase{4, "Royal", ScreenSize::Small800x600},
                                           DeckCase{2, "Roya2", ScreenSize::Small800x600},
                                           DeckCase{3, "Vintage", ScreenSize::Large1024x768},
                                           DeckCase{1, "Worn", ScreenSize::Large1024x768}),
                         [](const ::testing::TestParamInfo<DeckCase>& info) {
                             return std::string(info.param.folder);
                         });

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

TEST_F(StartupDialogTest, PreviewFollowsThe800x600DecksAndOneDeckIsSelected) {
    form.Form_Load();
    using Shown = std::array<bool, 2>;
    EXPECT_EQ(form.Image2Visible, (Shown{true, false}));
    form.Option2_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, true}));
    // The 1024 x 768 decks leave whatever preview was showing.
    form.Option1_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, true}));
    form.Option3_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{false, true}));
    form.Option4_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{true, false}));
    form.Option1_Click();
    EXPECT_EQ(form.Image2Visible, (Shown{true, false}));
    // Only the last deck clicked is selected, and Play takes that one.
    EXPECT_EQ(form.Option, (std::array<bool, 5>{false, true, false, false, false}));
    form.Command1_Click();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].deckFolder, "Worn");
    EXPECT_EQ(launches[0].screen, ScreenSize::Large1024x768);
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

TEST_F(StartupDialogTest, WebAddressOnlyShowsTheMessage) {
    form.Form_Load();
    form.Label11_Click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "Please use your installed Web browser to view this page.");
    EXPECT_EQ(boxes[0].second, "Pellow (Freeware)");
    EXPECT_TRUE(launches.empty());
    EXPECT_EQ(programEnds, 0);
    EXPECT_TRUE(form.endOnUnload);
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
    form.stored = PlayerOptions{2, true, true, false};
    form.record = MatchRecord{5, 3, 20, 900};
    std::vector<MatchRecord> saved;
    StartupDialogHost host = Host();
    host.saveRecord = [&](const MatchRecord& r) { saved.push_back(r); };
    frmStartup shown(settings, host);
    shown.stored = form.stored;
    shown.record = form.record;
    shown.Form_Load();
    EXPECT_EQ(shown.Option, (std::array<bool, 5>{false, false, true, false, false}));
    EXPECT_EQ(shown.Image2Visible, (std::array<bool, 2>{false, true}));
    EXPECT_TRUE(shown.Check3);
    EXPECT_TRUE(shown.CheckWindow);
    EXPECT_FALSE(shown.CheckPlayable);
    EXPECT_EQ(shown.RecordText, RecordLine(MatchRecord{5, 3, 20, 900}));

    shown.ResetRecord_Click();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], MatchRecord{});
    EXPECT_EQ(shown.RecordText, RecordLine(MatchRecord{}));

    shown.Option3_Click();
    shown.Check3_Click(false);
    shown.CheckWindow_Click(false);
    shown.CheckPlayable_Click(true);
    shown.Command1_Click();
    EXPECT_EQ(shown.stored, (PlayerOptions{3, false, false, true}));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].deckFolder, "Vintage");
    EXPECT_FALSE(launches[0].slowAnimation);
}

// Play's choices reach the game's process whole; anything less than a whole set changes nothing.
TEST(ChoicesPipe, EveryChoiceCrossesAndAPartialSetIsRefused) {
    LaunchSettings chosen;
    chosen.packFileName = "other.pak";
    chosen.deckFolder = "Vintage";
    chosen.screen = ScreenSize::Small800x600;
    chosen.slowAnimation = true;
    chosen.partner = ComputerLevel::Expert;
    chosen.opponents = ComputerLevel::Expert;
    StoredChoices stored;
    stored.options = PlayerOptions{3, true, true, false, ComputerLevel::Expert, ComputerLevel::Classic};
    stored.record = MatchRecord{7, 4, 31, 1234};
    const std::string bytes = PackChoices(chosen, stored);

    LaunchSettings got;
    StoredChoices gotStored;
    ASSERT_TRUE(UnpackChoices(bytes, got, gotStored));
    EXPECT_EQ(got.packFileName, "other.pak");
    EXPECT_EQ(got.deckFolder, "Vintage");
    EXPECT_EQ(got.screen, ScreenSize::Small800x600);
    EXPECT_TRUE(got.slowAnimation);
    EXPECT_EQ(got.partner, ComputerLevel::Expert);
    EXPECT_EQ(got.opponents, ComputerLevel::Expert);
    EXPECT_EQ(gotStored.options, stored.options);
    EXPECT_EQ(gotStored.record, stored.record);

    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, bytes.size() / 2, bytes.size() - 1}) {
        LaunchSettings untouched;
        StoredChoices untouchedStored;
        EXPECT_FALSE(UnpackChoices(bytes.substr(0, cut), untouched, untouchedStored)) << cut;
        EXPECT_EQ(untouched.deckFolder, LaunchSettings{}.deckFolder);
        EXPECT_EQ(untouchedStored.record, MatchRecord{});
    }
    EXPECT_FALSE(UnpackChoices(bytes + "x", got, gotStored));
}

}  // namespace
}  // namespace pellow
