// The settings and record files: what is saved comes back, and whatever else lies in their place
// gives the defaults with one line on stderr, never a crash, and is replaced at the next save.
#include "app/settings.hpp"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <future>
#include <sstream>
#include <tuple>

#include "engine/dealing.hpp"
#include "engine/layout.hpp"
#include "engine/motion.hpp"
#include "engine/phases.hpp"
#include "engine/saved_match.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
#include "support/scripted_player.hpp"

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

    for (const DeckFacts& d : kDecks) {
        const int deck = static_cast<int>(d.deck);
        PlayerOptions o{d.deck, deck % 2 == 0, deck > 2, deck != 3};
        o.tableInformation = deck % 2 == 1;
        o.classicTable = deck >= 3;
        o.soundVolume = deck * 25 - 25;
        o.soundMuted = deck < 3;
        o.windowWidth = deck == 2 ? 0 : 700 + deck * 100;
        o.windowHeight = deck == 2 ? 0 : 500 + deck * 100;
        ASSERT_TRUE(SaveOptions(folder, o, err));
        EXPECT_EQ(LoadOptions(folder, err), o);
    }
    // Files older games wrote keep their deck: each word means the deck it always meant.
    const std::pair<Deck, const char*> words[] = {
        {Deck::Worn, "worn"}, {Deck::Roya2, "roya2"}, {Deck::Vintage, "vintage"}, {Deck::Royal, "royal"}};
    for (const auto& [deck, word] : words) {
        Write("settings", std::string("pellow-settings 1\ndeck = ") + word + "\n");
        EXPECT_EQ(LoadOptions(folder, err).deck, deck) << word;
    }
    const MatchRecord r{12, 7, 40, 1700};
    ASSERT_TRUE(SaveRecord(folder, r, err));
    EXPECT_EQ(LoadRecord(folder, err), r);
    // A record without chosen deals is written as older games wrote it, which refuse keys they
    // do not know; with them, they come back too.
    std::ifstream saved(folder + "/record", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}),
              "pellow-record 1\nmatches-played = 12\nmatches-won = 7\ndeals = 40\npoints = 1700\n");
    const MatchRecord chosen{12, 7, 40, 1700, 3, 2, 9, 400};
    ASSERT_TRUE(SaveRecord(folder, chosen, err));
    EXPECT_EQ(LoadRecord(folder, err), chosen);
    ASSERT_TRUE(SaveRecord(folder, r, err));
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
        {"a volume past full", "pellow-settings 1\nsound-volume = 101\n"},
        {"a negative volume", "pellow-settings 1\nsound-volume = -5\n"},
        {"a window with no height", "pellow-settings 1\nwindow-size = 800x\n"},
        {"a window past any screen", "pellow-settings 1\nwindow-size = 99999x600\n"},
        {"a window of no width", "pellow-settings 1\nwindow-size = 0x600\n"},
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
    EXPECT_EQ(partial.deck, Deck::Worn);
    EXPECT_TRUE(partial.playInWindow);
    EXPECT_TRUE(partial.showPlayable);
    EXPECT_EQ(quiet.str(), "");

    // Records that cannot be true are refused too.
    for (const std::string& text : {std::string("pellow-record 1\nmatches-played = 1\nmatches-won = 2\n"),
                                    std::string("pellow-record 1\ndeals = 1\npoints = 81\n"),
                                    std::string("pellow-record 1\ndeals = -1\n"), std::string("pellow-settings 1\n"),
                                    std::string("pellow-record 1\nchosen-matches-played = 1\nchosen-matches-won = 2\n"),
                                    std::string("pellow-record 1\ndeals = 5\nchosen-points = 81\nchosen-deals = 1\n"),
                                    std::string("pellow-record 1\nchosen-deals = 1e3\n")}) {
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
    const PlayerOptions chosen{Deck::Vintage, true, true, false};
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

// A FIFO where a file should be once hung the start before anything showed; a link there is
// not followed either. Each is ignored with one line, and the next save puts a plain file in its
// place without writing through the link.
TEST_F(SettingsTest, AFifoOrALinkInPlaceOfAFileIsIgnoredWithoutWaiting) {
    fs::create_directories(folder);
    const auto loadSoon = [&](const std::string& name, auto load) {
        std::ostringstream err;
        auto loading = std::async(std::launch::async, [&] { return load(folder, err); });
        if (loading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            ADD_FAILURE() << name << ": the load waits on the FIFO";
            // Let it go: a writer that comes and goes gives the waiting reader an empty file.
            while (loading.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
                const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
            }
        }
        const auto loaded = loading.get();
        EXPECT_EQ(Lines(err.str()), 1) << name << ": " << err.str();
        EXPECT_NE(err.str().find(folder + "/" + name), std::string::npos) << err.str();
        return loaded;
    };
    ASSERT_EQ(::mkfifo((folder + "/settings").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder + "/record").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder + "/match").c_str(), 0600), 0);
    EXPECT_EQ(loadSoon("settings", LoadOptions), PlayerOptions{});
    EXPECT_EQ(loadSoon("record", LoadRecord), MatchRecord{});
    EXPECT_EQ(loadSoon("match", LoadMatch), std::nullopt);
    fs::remove(folder + "/match");

    // A link to a file the game would accept, kept elsewhere.
    const std::string elsewhere = (base / "elsewhere").string();
    const std::string kept = "pellow-settings 1\ndeck = worn\n";
    std::ofstream(elsewhere, std::ios::binary) << kept;
    fs::remove(folder + "/settings");
    fs::create_symlink(elsewhere, folder + "/settings");
    EXPECT_EQ(loadSoon("settings", LoadOptions), PlayerOptions{});
    const std::string elsewhereMatch = (base / "elsewhere-match").string();
    SavedMatch resumable;
    resumable.deal = 77;
    std::ostringstream quiet;
    ASSERT_TRUE(SaveMatch(base.string(), resumable, quiet));
    fs::rename(base / "match", elsewhereMatch);
    fs::create_symlink(elsewhereMatch, folder + "/match");
    EXPECT_EQ(loadSoon("match", LoadMatch), std::nullopt);
    fs::remove(folder + "/match");

    std::ostringstream err;
    const PlayerOptions chosen{Deck::Roya2, true, false, true};
    ASSERT_TRUE(SaveOptions(folder, chosen, err));
    ASSERT_TRUE(SaveRecord(folder, MatchRecord{1, 0, 2, 70}, err));
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder + "/settings")));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder + "/record")));
    EXPECT_EQ(LoadOptions(folder, err), chosen);
    std::ifstream in(elsewhere, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kept) << "written through the link";
}

// A game killed while saving left its temporary file in the folder for ever. What such a kill
// leaves is gone once the game has loaded or saved again; a file the game did not make stays.
TEST_F(SettingsTest, AKilledSaveLeavesNothingOnceTheGameLoadsOrSavesAgain) {
    std::ostringstream err;
    const PlayerOptions one{Deck::Worn, true, true, false}, other{Deck::Vintage, false, false, true};
    const MatchRecord record{4, 2, 20, 800};
    ASSERT_TRUE(SaveOptions(folder, one, err));
    ASSERT_TRUE(SaveRecord(folder, record, err));
    for (int attempt = 0; attempt < 30; ++attempt) {
        const pid_t saver = ::fork();
        ASSERT_GE(saver, 0);
        if (saver == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            std::ostringstream quiet;
            for (int n = 0;; ++n) {
                SaveOptions(folder, n % 2 ? one : other, quiet);
                SaveRecord(folder, record, quiet);
            }
        }
        // Kills at different points of the save loop.
        ::usleep(static_cast<useconds_t>(500 + 137 * attempt % 3000));
        ::kill(saver, SIGKILL);
        int status = 0;
        ::waitpid(saver, &status, 0);
        std::ostringstream later;
        const PlayerOptions loaded = LoadOptions(folder, later);
        EXPECT_TRUE(loaded == one || loaded == other);
        EXPECT_EQ(LoadRecord(folder, later), record);
        EXPECT_EQ(later.str(), "") << "a kill left a file half written";
        EXPECT_EQ(Files(), (std::vector<std::string>{"record", "settings"})) << "after kill " << attempt;
    }

    // What a kill leaves, from this game and from an older one that named its temporary files
    // by chance, besides files the game did not make: another program's, a link, a file with a
    // second name (its other name would lose its contents) and a name that is not the game's.
    const auto put = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder + "/" + name, std::ios::binary) << text;
    };
    put(".settings.new", "pellow-settings 1\ndeck = ro");
    put(".record.new", "");
    put(".settings-a1B2c3", "pellow-settings 1\ndeck = royal\n");
    put(".record-Zz9900", "pellow-re");
    const std::vector<std::string> foreign = {".record-abc123",    ".record-hardln",   ".record-linked",
                                              ".settings-backup1", ".settings-mynote", "notes.txt"};
    put(".settings-mynote", "my own notes");
    put(".settings-backup1", "pellow-settings 1\n");
    put("notes.txt", "pellow-settings 1\n");
    put(".record-hardln", "pellow-record 1\n");
    fs::create_hard_link(folder + "/.record-hardln", base / "second-name");
    fs::create_symlink(base / "second-name", folder + "/.record-linked");
    fs::create_symlink(base / "second-name", folder + "/.record-abc123");
    ASSERT_TRUE(SaveOptions(folder, other, err));
    EXPECT_EQ(err.str(), "");
    std::vector<std::string> left = foreign;
    left.push_back("record");
    left.push_back("settings");
    std::sort(left.begin(), left.end());
    EXPECT_EQ(Files(), left);

    // A temporary name taken by something the game did not make: the save says so once and
    // neither removes it nor writes through it.
    fs::create_symlink(base / "second-name", folder + "/.settings.new");
    std::ostringstream refused;
    EXPECT_FALSE(SaveOptions(folder, one, refused));
    EXPECT_EQ(Lines(refused.str()), 1) << refused.str();
    EXPECT_TRUE(fs::is_symlink(folder + "/.settings.new"));
    EXPECT_EQ(fs::file_size(base / "second-name"), std::string("pellow-record 1\n").size());
    EXPECT_EQ(LoadOptions(folder, refused), other);
}

// Two games played at once each added their deals to the total they had loaded at the start,
// and the last to save won. A result is now added to the record as it stands in the file, under
// the folder's lock; a reset from the dialog still clears it, for games already running too.
TEST_F(SettingsTest, ResultsOfGamesPlayedAtOnceAllCountAndAResetStillClears) {
    std::ostringstream err;
    const MatchRecord start{3, 1, 15, 600};
    ASSERT_TRUE(SaveRecord(folder, start, err));
    constexpr int kDeals = 150;
    const auto dealResult = [](int n) {
        return n % 10 == 9 ? MatchRecord{1, n % 20 == 19 ? 1 : 0, 1, 45} : MatchRecord{0, 0, 1, 30};
    };
    std::vector<pid_t> games;
    for (int game = 0; game < 2; ++game) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            MatchRecord shown = LoadRecord(folder, err);
            bool ok = true;
            for (int n = 0; n < kDeals; ++n) ok = AddToRecord(folder, dealResult(n), shown, err) && ok;
            ::_exit(ok && err.str().empty() ? 0 : 1);
        }
        games.push_back(pid);
    }
    MatchRecord expected = start;
    for (int n = 0; n < kDeals; ++n) {
        expected += dealResult(n);
        expected += dealResult(n);
    }
    for (const pid_t pid : games) {
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a game could not add its deals";
    }
    EXPECT_EQ(LoadRecord(folder, err), expected);

    // The running game still holds the total from before the reset.
    MatchRecord running = expected;
    ASSERT_TRUE(SaveRecord(folder, MatchRecord{}, err));
    ASSERT_TRUE(AddToRecord(folder, MatchRecord{0, 0, 1, 50}, running, err));
    EXPECT_EQ(running, (MatchRecord{0, 0, 1, 50}));
    EXPECT_EQ(LoadRecord(folder, err), running);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(Files(), (std::vector<std::string>{"record"}));
}

// ---- A match put aside and taken up again ----

// A numbered match played headless, as the frame loop plays it: the computer seats and the
// user's clicks both take the first card they may play, and the user sorts the hand with R on
// their first turn, so a deal plays the same wherever it was taken up.
struct HeadlessTable {
    explicit HeadlessTable(std::uint32_t seed) : random(seed) {
        m.random = &random;
        m.clock = &clock;
        m.sounds = &sounds;
        m.computer = &player;
        m.settings.screen = ScreenSize::Small800x600;
        m.layout = MakeTableLayout(m.settings.screen, false);
        m.numberedDeals = true;
    }
    void Frame() {
        clock.now += 17;
        FrameInput input;
        if (UserMayPick(m, false)) {
            if (m.deal.handCount[userSeat] == kHandCards && !m.motion.userHandSorted) input.reorder = true;
            for (int i = 0; i < kHandCards && !input.reorder && !input.click; ++i) {
                const CardSprite& c = m.motion.userHand[i];
                if (c.inUse && MayPlay(m.deal, userSeat, c.card))
                    input = {false, true, static_cast<int>(c.x) + 2, static_cast<int>(c.y) + c.height / 2, false};
            }
        }
        StepFrame(m, input);
    }
    void RunUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 100000 && !done(); ++i) Frame();
        ASSERT_TRUE(done()) << "not reached, phase " << PhaseText(m.motion.statusText);
    }
    // The cards played are settled and the next turn has not begun: where a resumed deal stands.
    bool Settled(int cards) const {
        return m.deal.cardsPlayed == cards && m.motion.statusText == Phase::NormalPlay && !AnyCardMoving(m.motion);
    }

    Match m;
    MersenneRandom random;
    ManualClock clock;
    RecordingSounds sounds;
    ScriptedPlayer player;
};

// What the player sees and the rules hold: the hands in their order, the trick on the table, the
// piles, trumps, the turn, the score and the dealer.
void ExpectSameTable(const Match& a, const Match& b, const std::string& where) {
    SCOPED_TRACE(where);
    const DealState &x = a.deal, &y = b.deal;
    EXPECT_EQ(x.hand, y.hand);
    EXPECT_EQ(x.handCount, y.handCount);
    EXPECT_EQ(x.trickCount, y.trickCount);
    EXPECT_TRUE(std::equal(x.trick.begin(), x.trick.begin() + x.trickCount, y.trick.begin()));
    EXPECT_EQ(x.trickLeader, y.trickLeader);
    EXPECT_EQ(x.taken, y.taken);
    EXPECT_EQ(x.takenCount, y.takenCount);
    EXPECT_EQ(x.trumps, y.trumps);
    EXPECT_EQ(x.toPlay, y.toPlay);
    EXPECT_EQ(x.playedBy, y.playedBy);
    EXPECT_EQ(x.voidKnown, y.voidKnown);
    EXPECT_EQ(x.shownVoid, y.shownVoid);
    EXPECT_EQ(x.lastTrickWinner, y.lastTrickWinner);
    const DealMotion &s = a.motion, &t = b.motion;
    EXPECT_EQ(s.statusText, t.statusText);
    EXPECT_EQ(s.turnSeat, t.turnSeat);
    EXPECT_EQ(s.waitingForUser, t.waitingForUser);
    for (int i = 0; i < kHandCards; ++i) {
        EXPECT_EQ(s.userHand[i].inUse, t.userHand[i].inUse) << i;
        EXPECT_EQ(s.userHand[i].inUse ? s.userHand[i].card : -1, t.userHand[i].inUse ? t.userHand[i].card : -1) << i;
    }
    EXPECT_EQ(s.trickCount, t.trickCount);
    for (int i = 0; i < s.trickCount; ++i) EXPECT_EQ(s.trickCards[i].card, t.trickCards[i].card) << i;
    EXPECT_EQ(s.ourPileCount, t.ourPileCount);
    EXPECT_EQ(s.theirPileCount, t.theirPileCount);
    for (int i = 0; i < s.ourPileCount; ++i) EXPECT_EQ(s.ourPile[i].card, t.ourPile[i].card) << i;
    for (int i = 0; i < s.theirPileCount; ++i) EXPECT_EQ(s.theirPile[i].card, t.theirPile[i].card) << i;
    EXPECT_EQ(s.ourDealScore, t.ourDealScore);
    EXPECT_EQ(s.theirDealScore, t.theirDealScore);
    EXPECT_EQ(s.userHandSorted, t.userHandSorted);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.dealerSeat, b.dealerSeat);
    EXPECT_EQ(a.dealNumber, b.dealNumber);
}

// Quit at any point of a deal (while dealing, after the first card, mid-trick, after forty
// cards, on the score page) of a match's first deal or of its second, a chosen one: saved,
// loaded and taken up in another launch, the table is the one left, and the deal plays on to
// the same end.
TEST_F(SettingsTest, AMatchSavedAtAnyPointIsTakenUpWhereItStoodAndPlaysOnTheSame) {
    struct Point {
        int dealsBefore;
        int cards;
    };
    for (const Point point : {Point{0, 0}, Point{0, 13}, Point{0, 52}, Point{1, 1}, Point{1, 40}}) {
        const std::string where = std::to_string(point.dealsBefore) + " deals, " + std::to_string(point.cards);
        HeadlessTable a(21);
        a.m.settings.partner = ComputerLevel::Expert;
        NewDeal(a.m);
        for (int d = 0; d < point.dealsBefore; ++d) {
            a.RunUntil([&] { return a.m.motion.statusText == Phase::EndOfMatch; });
            ASSERT_FALSE(a.m.score.matchOver) << where;
            // The second deal is one the player chose.
            if (d == 0) ChooseNextDeal(a.m, 4242);
            NewDeal(a.m);
        }
        if (point.cards == kCards) a.RunUntil([&] { return a.m.motion.statusText == Phase::EndOfMatch; });
        else if (point.cards > 0) a.RunUntil([&] { return a.m.deal.cardsPlayed == point.cards; });
        ASSERT_FALSE(a.m.score.matchOver) << where;
        const std::optional<SavedMatch> saved = CaptureMatch(a.m);
        ASSERT_TRUE(saved) << where;
        EXPECT_EQ(saved->cards.size(), static_cast<std::size_t>(point.cards)) << where;
        EXPECT_EQ(saved->score.chosenDeals, point.dealsBefore > 0) << where;

        std::ostringstream err;
        ASSERT_TRUE(SaveMatch(folder, *saved, err)) << where;
        const std::optional<SavedMatch> loaded = LoadMatch(folder, err);
        EXPECT_EQ(err.str(), "") << where;
        ASSERT_TRUE(loaded) << where;
        EXPECT_EQ(*loaded, *saved) << where;

        HeadlessTable b(99);  // another launch: its generator is not the one the deal came from
        ASSERT_TRUE(ResumeMatch(b.m, *loaded)) << where;
        EXPECT_EQ(b.m.random, &b.random);
        EXPECT_EQ(b.m.clock, &b.clock);
        EXPECT_EQ(b.m.sounds, &b.sounds);
        EXPECT_EQ(b.m.computer, &b.player);
        EXPECT_EQ(b.m.settings.partner, ComputerLevel::Expert);
        if (point.cards < kCards) a.RunUntil([&] { return a.Settled(point.cards); });
        ExpectSameTable(a.m, b.m, where + " cards, taken up");

        a.RunUntil([&] { return a.m.motion.statusText == Phase::EndOfMatch && a.m.deal.cardsPlayed == kCards; });
        b.RunUntil([&] { return b.m.motion.statusText == Phase::EndOfMatch && b.m.deal.cardsPlayed == kCards; });
        ExpectSameTable(a.m, b.m, where + " cards, played to the end");
    }

    // Nothing to take up: a match of deals without numbers, or one that is over.
    HeadlessTable plain(5);
    plain.m.numberedDeals = false;
    NewDeal(plain.m);
    EXPECT_FALSE(CaptureMatch(plain.m));
    HeadlessTable over(5);
    while (!over.m.score.matchOver) {
        NewDeal(over.m);
        over.RunUntil([&] { return over.m.motion.statusText == Phase::EndOfMatch; });
    }
    EXPECT_FALSE(CaptureMatch(over.m));

    std::ostringstream err;
    ForgetMatch(folder);
    EXPECT_EQ(LoadMatch(folder, err), std::nullopt);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(Files(), std::vector<std::string>{});
}

// A match file is hostile input: a value out of range, a match already over, a card twice, a
// file cut short, each gives nothing to resume and one line. A well-formed file whose cards
// cannot be played in its deal is refused when taken up, and leaves a new match.
TEST_F(SettingsTest, ATamperedMatchResumesNothing) {
    HeadlessTable a(8);
    NewDeal(a.m);
    a.RunUntil([&] { return a.Settled(0); });
    const DealState dealt = a.m.deal;
    a.RunUntil([&] { return a.m.deal.cardsPlayed == 9; });
    const SavedMatch saved = *CaptureMatch(a.m);
    std::ostringstream err;
    ASSERT_TRUE(SaveMatch(folder, saved, err));
    std::ifstream in(folder + "/match", std::ios::binary);
    const std::string genuine(std::istreambuf_iterator<char>(in), {});
    // The genuine file with one line changed, or left out.
    const auto with = [&](const std::string& key, const std::optional<std::string>& value) {
        const auto at = genuine.find("\n" + key + " =");
        const auto end = genuine.find('\n', at + 1);
        return genuine.substr(0, at + 1) + (value ? key + " = " + *value + "\n" : "") + genuine.substr(end + 1);
    };
    const std::string cards = genuine.substr(genuine.find("cards = ") + 8,
                                             genuine.find("\ntrumps") - genuine.find("cards = ") - 8);
    const std::string first = cards.substr(0, cards.find(' '));
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"deal 0", with("deal", "0")},
        {"deal past the range", with("deal", "1000000000")},
        {"deal negative", with("deal", "-12")},
        {"deal wrapping", with("deal", "4294967297")},
        {"a card past 51", with("cards", cards + " 52")},
        {"a card twice", with("cards", cards + " " + first)},
        {"a card negative", with("cards", "-1 " + cards)},
        {"deal points past 80", with("deal-points", "81:0")},
        {"deal points not 80", with("deal-points", "50:40")},
        {"deal points without a colon", with("deal-points", "40 40")},
        {"history too long", with("deal-points",
                                  [] {
                                      std::string h;
                                      for (int i = 0; i < kDealHistory + 1; ++i) h += "40:40 ";
                                      return h;
                                  }())},
        {"match points huge", with("match-points", "99999999999 0")},
        {"match points not whole deals", with("match-points", "40 41")},
        {"match points below the deals", with("deal-points", "45:35")},
        {"a match already won", with("match-points", "85 75")},
        {"a match already lost", with("match-points", "10 150")},
        {"one total", with("match-points", "0")},
        {"trumps not the first card's", with("trumps", "none")},
        {"trumps unknown", with("trumps", "purple")},
        {"a level unknown", with("partner", "godlike")},
        {"a flag unknown", with("hand-sorted", "maybe")},
        {"cut short", genuine.substr(0, genuine.size() / 2)},
        {"a line left out", with("cards", std::nullopt)},
        {"header only", "pellow-match 1\n"},
        {"a settings file", "pellow-settings 1\n"},
    };
    for (const auto& [what, text] : cases) {
        Write("match", text);
        std::ostringstream said;
        EXPECT_EQ(LoadMatch(folder, said), std::nullopt) << what << ":\n" << text;
        EXPECT_EQ(Lines(said.str()), 1) << what << ": " << said.str();
        EXPECT_NE(said.str().find(folder + "/match"), std::string::npos) << what;
    }

    // A card the seat to play may not play: one it does not hold, or one off the suit led while it
    // holds that suit. The same cards with a card the seat may play are taken up.
    const auto offSuit = [&]() -> std::optional<std::pair<std::size_t, int>> {
        DealState d = dealt;
        for (std::size_t i = 0; i < saved.cards.size(); PlayCard(d, saved.cards[i++]))
            if (d.trickCount > 0 && HoldsSuit(d, d.toPlay, LedSuit(d)))
                for (int k = 0; k < d.handCount[d.toPlay]; ++k)
                    if (SuitOf(d.hand[d.toPlay][k]) != LedSuit(d)) return std::pair{i, int{d.hand[d.toPlay][k]}};
        return std::nullopt;
    }();
    ASSERT_TRUE(offSuit) << "no seat that could have failed to follow suit in nine cards";
    SavedMatch notFollowing = saved, notHeld = saved, legal = saved;
    notFollowing.cards.resize(offSuit->first);
    notFollowing.cards.push_back(offSuit->second);
    legal.cards.resize(offSuit->first + 1);
    notHeld.cards.push_back(a.m.deal.hand[NextSeat(a.m.deal.toPlay)][0]);
    for (const auto& [what, tampered, resumes] :
         {std::tuple{"not following suit", notFollowing, false}, std::tuple{"a card not held", notHeld, false},
          std::tuple{"the cards as played", legal, true}}) {
        ASSERT_TRUE(SaveMatch(folder, tampered, err)) << what;
        const std::optional<SavedMatch> loaded = LoadMatch(folder, err);
        ASSERT_TRUE(loaded) << what;
        HeadlessTable b(3);
        b.m.score.ourMatchPoints = 40;
        b.m.score.theirMatchPoints = 40;
        EXPECT_EQ(ResumeMatch(b.m, *loaded), resumes) << what;
        if (resumes) continue;
        // A new match's first deal, on the launch's own services.
        EXPECT_EQ(b.m.score, MatchScore{}) << what;
        EXPECT_EQ(b.m.motion.statusText, Phase::DealingCards) << what;
        EXPECT_TRUE(ValidDealNumber(b.m.dealNumber)) << what;
        EXPECT_TRUE(b.m.fault.empty()) << what;
        EXPECT_EQ(b.m.random, &b.random);
        EXPECT_EQ(b.m.computer, &b.player);
        b.RunUntil([&] { return b.m.motion.statusText == Phase::EndOfMatch; });
    }
    EXPECT_EQ(err.str(), "");
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

    // From the first chosen deal of a match on, its deals and the match itself count apart, and
    // the average above stays that of the deals the player did not choose.
    m.score = MatchScore{};
    deal(30, 50);
    m.score.chosenDeals = true;
    deal(50, 30);
    deal(10, 70);  // 90 : 150, lost
    m.score = MatchScore{};
    m.score.chosenDeals = true;
    deal(80, 0);  // won
    m.score = MatchScore{};
    deal(40, 40);  // the next match, none chosen
    EXPECT_EQ(r, (MatchRecord{2, 1, 6, 165, 2, 1, 3, 140}));
    EXPECT_DOUBLE_EQ(r.AveragePoints(), 27.5);
    EXPECT_EQ(RecordLine(MatchRecord{}), "Matches: 0 played, 0 won    Deals: 0    Average points: 0.0");
}

}  // namespace
}  // namespace pellow
