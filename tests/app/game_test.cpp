// The real game, in-process: launch from the real resource pack onto an in-memory screen, play
// with input put where the platform layer leaves it, and quit.
#include <malloc.h>

#include <algorithm>
#include <iostream>
#include <sstream>
#include <chrono>
#include <thread>
#include <vector>

#include "app/table_pictures.hpp"
#include "game_fixture.hpp"

namespace pellow {
namespace {

using GameTest = GameFixture;

TEST_F(GameTest, PlaysWholeDealsAndQuits) {
    Launch("Royal", "800x600");
    Match& m = game->match;
    // Everything was loaded and the unpacked files are gone before the first frame.
    EXPECT_FALSE(fs::exists(folder / "res"));
    EXPECT_TRUE(game->table().background().exists());
    EXPECT_EQ(game->table().background().width(), 800);
    EXPECT_EQ(game->table().card(51).width(), 108);

    bool reordered = false, pausedOnce = false, triedIllegal = false;
    int deals = 0;
    while (deals < 2) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) {
            ++deals;
            // The score page shows what the engine recorded.
            const auto lines = ScoreTableLines(m.score, ScorePageFor(m.settings.screen));
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines.front().text, "   We   They ");
            EXPECT_EQ(lines[lines.size() - 2].text, Pad5(m.score.ourMatchPoints) + Pad5(m.score.theirMatchPoints));
            EXPECT_EQ(lines[1].text, Pad5(m.score.ourDealPoints[0]) + Pad5(m.score.theirDealPoints[0]));
            EXPECT_EQ(lines.back().text, m.score.resultText);
            EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
            // A click starts the next deal and is not also a card pick.
            Frame(400, 300, true);
            EXPECT_EQ(m.motion.statusText, Phase::DealingCards);
            EXPECT_EQ(m.motion.clickedCard, -1);
            Frame(400, 300, false);
            continue;
        }
        if (!reordered && m.deal.handCount[userSeat] == 13) {
            Frame(-1, -1, false, modDX::keyR);
            EXPECT_EQ(m.motion.statusText, Phase::GatherAroundFirstCard);
            Until([&] { return m.motion.statusText == Phase::NormalPlay && UsersTurn(); });
            reordered = true;
        }
        if (!pausedOnce) {
            const auto before = m.motion.userHand;
            for (int i = 0; i < 5; ++i) Frame(-1, -1, false, modDX::keyP);  // held: pauses once
            EXPECT_TRUE(game->input().Paused());
            const auto [x, y] = Visible(m.motion.userHand[0]);
            Frame(x, y, true);  // a click while paused is not a pick
            Frame(x, y, false);
            EXPECT_FALSE(m.motion.userHasChosen);
            Frame(-1, -1, false, modDX::keyP);
            EXPECT_FALSE(game->input().Paused());
            EXPECT_EQ(m.motion.userHand[0].x, before[0].x);
            pausedOnce = true;
        }
        int legal = -1;
        for (int i = 0; i <= 12 && legal < 0; ++i)
            if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, (m.motion.userHand[i]).card)) legal = i;
        ASSERT_GE(legal, 0);
        const auto [ix, iy] = IllegalSpot();
        if (ix >= 0) {
            const int held = m.deal.handCount[userSeat];
            Frame(ix, iy, true);
            Frame(ix, iy, false);
            EXPECT_FALSE(m.motion.userHasChosen);
            EXPECT_EQ(m.deal.handCount[userSeat], held);
            EXPECT_FALSE(AnyCardMoving(m.motion));
            triedIllegal = true;
        }
        const int card = m.motion.userHand[legal].card;
        const int before = m.motion.trickCount;
        ClickSlot(legal);
        Until([&] { return m.motion.trickCount > before || m.motion.trickCount == 0; });
        EXPECT_TRUE(m.motion.trickCount == 0 || m.motion.trickCards[m.motion.trickCount - 1].card == card);
    }
    EXPECT_TRUE(reordered);
    EXPECT_TRUE(triedIllegal);

    try {
        Frame(-1, -1, false, modDX::keyEscape);
        FAIL() << "Escape did not quit";
    } catch (const QuitSignal& q) {
        EXPECT_EQ(q.status, 0);
    }
    EXPECT_EQ(shownMessage, "none");  // quitting shows no message
    // Everything was let go of on the way out, and the player has a pointer again.
    EXPECT_FALSE(game->display().backBuffer().exists());
    EXPECT_FALSE(game->audio().Enabled());
    EXPECT_FALSE(game->input().HasMouse());
    EXPECT_FALSE(game->input().HasKeyboard());
    EXPECT_TRUE(game->input().SystemCursorShown());
    // Nothing is left beside the archive.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "res002.pak");
    }
    EXPECT_EQ(entries, 1);
}

// Drawn for the screen's own pixels: a 16:9 screen gets a table of its shape with cards at its
// size, kept for the next start at that size; a click lands where the card shows in pixels; a
// resize in the middle of a deal moves the table and every card, and the deal plays out.
TEST_F(GameTest, TheTableDrawnForItsPixelsFollowsAResize) {
    Prepare("Vintage", "1024x768");
    game->options.classicTable = false;
    game->options.windowWidth = 1920;
    game->options.windowHeight = 1080;
    game->cacheFolder = (folder / "cache").string();
    // A kept set with a sound checksum but of other sizes (another renderer's) is made again.
    const PictureCacheKey key1080 =
        TablePicturesKey("Vintage", PlaceTable(1920, 1080), TableArtSource((folder / "res002.pak").string()));
    PictureSet foreign;
    for (int i = 0; i < static_cast<int>(TablePicture::Count); ++i) foreign.Add(7, 9);
    std::ostringstream notes;
    ASSERT_TRUE(PictureCache((folder / "cache").string()).Store(key1080, foreign, notes));
    game->unpacked = UnpackResources(game->resourceBase, game->match.settings.packFileName);
    game->StartGame(modDX::DisplayKind::Memory);
    game->match.clock = &clock;
    game->idleWait = [](int) {};
    Match& m = game->match;
    ASSERT_EQ(game->display().width(), 1920);
    EXPECT_EQ(PictureCache((folder / "cache").string()).Load(key1080)->SizeOf(0), (PictureSet::Size{194, 271}));
    ASSERT_EQ(game->display().height(), 1080);
    EXPECT_EQ(m.layout.tableWidth, 1365);
    EXPECT_EQ(m.layout.tableHeight, 768);
    EXPECT_EQ(game->table().background().width(), 1920);
    EXPECT_EQ(game->table().card(0).width(), 194);
    EXPECT_EQ(game->table().card(0).height(), 271);
    EXPECT_EQ(game->table().pointer().width(), 45);
    EXPECT_TRUE(fs::exists(folder / "cache" / "Vintage-1920x1080.pics"));
    // Kept, the pictures come back without the art they were made from.
    bool rendered = true;
    ArtModule noModule("/nonexistent/pellow-art.so");
    const auto kept =
        MakeTablePictures("Vintage", PlaceTable(1920, 1080), [](std::string_view) { return std::string("/nonexistent"); },
                          noModule, PictureCache((folder / "cache").string()),
                          TableArtSource((folder / "res002.pak").string()), notes, &rendered);
    EXPECT_FALSE(rendered);
    EXPECT_EQ(kept.size(), static_cast<std::size_t>(TablePicture::Count));

    // Where a card shows, in the back buffer's pixels.
    const auto pixelOf = [this](const CardSprite& c) {
        const modDX::TableTransform t = game->display().tableTransform();
        return std::pair{t.offsetX + static_cast<int>((c.x + 3) * t.scale),
                         t.offsetY + static_cast<int>((c.y + c.height / 2) * t.scale)};
    };
    const auto playOne = [&] {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) return false;
        int legal = -1;
        for (int i = 12; i >= 0 && legal < 0; --i)
            if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[i].card)) legal = i;
        EXPECT_GE(legal, 0);
        const int card = m.motion.userHand[legal].card, played = m.deal.cardsPlayed;
        const auto [x, y] = pixelOf(m.motion.userHand[legal]);
        Frame(x, y, true);
        Frame(x, y, false);
        Until([&] { return m.deal.cardsPlayed > played; });
        bool gone = true;
        for (const CardSprite& c : m.motion.userHand) gone = gone && !(c.inUse && c.card == card);
        EXPECT_TRUE(gone) << "the card clicked was not the one played";
        return true;
    };
    ASSERT_TRUE(playOne());

    // Frame after frame the felt is laid again only where the frame before drew, and each card
    // of a hand, pile or stock is drawn only where the next leaves it to be seen: the picture
    // must be the one drawn whole. Stretched to their own size, the pictures become copies the
    // table draws whole, over a felt laid whole.
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(playOne());
    ASSERT_GE(m.motion.ourPileCount + m.motion.theirPileCount, 16);
    TableExtras extras;
    extras.dimUnplayable = extras.tableInfo = true;
    extras.highlightSlot = 2;
    const auto draw = [&] {
        game->display().LayFelt(game->table().background());
        game->table().DrawTable(m, "12:00", "Pellow", extras);
        std::vector<std::uint16_t> pixels;
        modDX::Surface& shown = game->display().backBuffer();
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) pixels.push_back(modDX::GetPixel(shown, x, y));
        return pixels;
    };
    const std::vector<std::uint16_t> piecemeal = draw();
    game->table().StretchPictures(m.layout.cardWidth, m.layout.cardHeight);
    const std::vector<std::uint16_t> whole = draw();
    ASSERT_EQ(piecemeal.size(), whole.size());
    const auto differ = std::mismatch(piecemeal.begin(), piecemeal.end(), whole.begin()).first - piecemeal.begin();
    EXPECT_EQ(differ, static_cast<std::ptrdiff_t>(piecemeal.size()))
        << "first differing pixel at " << differ % 1920 << "," << differ / 1920;

    // A 5:4 window: a taller table, smaller cards, every card still on it.
    game->display().SetWindowedSize(1280, 1024);
    Frame();
    ASSERT_EQ(game->display().width(), 1280);
    EXPECT_EQ(m.layout.tableWidth, 1024);
    EXPECT_EQ(m.layout.tableHeight, 819);
    EXPECT_EQ(game->table().card(0).width(), 173);
    EXPECT_EQ(game->table().background().height(), 1024);
    for (const CardSprite& c : m.motion.userHand)
        if (c.inUse) {
            EXPECT_GE(c.x, 0);
            EXPECT_LE(c.x + c.width, m.layout.tableWidth);
            EXPECT_LE(c.y + c.height, m.layout.tableHeight);
        }
    while (playOne()) {
    }
    EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
    // The stretched stand-ins give way to the pictures rendered for the new size, which are kept.
    const PictureCache cache((folder / "cache").string());
    const PictureCacheKey key =
        TablePicturesKey("Vintage", PlaceTable(1280, 1024), TableArtSource((folder / "res002.pak").string()));
    const auto rendered1280 = [&] {
        const auto made = cache.Load(key);
        if (!made) return false;
        const PictureSet::Size ace = made->SizeOf(0);
        modDX::Surface& shown = game->table().card(0);
        for (int x = 0; x < ace.width; ++x)
            if (modDX::GetPixel(shown, x, ace.height / 2) != made->Pixels(0)[ace.height / 2 * ace.width + x])
                return false;
        return true;
    };
    for (int i = 0; i < 3000 && !rendered1280(); ++i) {
        Frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(rendered1280());
    // The score page is drawn for the new size too, and a click deals again.
    for (int i = 0; i < 3; ++i) Frame();
    Frame(640, 512, true);
    Frame(640, 512, false);
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards);

    // Pictures that cannot be rendered for a new size (the archive gone meanwhile) leave the
    // stretched ones in play, with a line on stderr: the game goes on.
    fs::rename(folder / "res002.pak", folder / "moved.pak");
    std::ostringstream said;
    std::streambuf* const stderrBuffer = std::cerr.rdbuf(said.rdbuf());
    game->display().SetWindowedSize(1600, 900);
    for (int i = 0; i < 3000 && said.str().find("could not be made") == std::string::npos; ++i) {
        Frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (int i = 0; i < 30; ++i) Frame();
    std::cerr.rdbuf(stderrBuffer);
    EXPECT_NE(said.str().find("Pellow: the pictures for 1600 x 900 could not be made"), std::string::npos) << said.str();
    EXPECT_EQ(game->table().background().width(), 1600);
    EXPECT_NE(game->table().card(0).width(), 173);
    fs::rename(folder / "moved.pak", folder / "res002.pak");
}

// A whole deal played with the keyboard alone: Left and Right keep the highlight on cards that
// may be played, Enter and Space play it, Alt+Enter does not. On the way: unplayable cards are
// dimmed on the player's turn, L shows the last trick, and the finished deal is counted in the
// record kept in the configuration folder.
TEST_F(GameTest, KeyboardAlonePlaysADealThatTheRecordCounts) {
    Launch("Royal", "800x600");
    game->configFolder = (folder / "config" / "pellow").string();
    Match& m = game->match;
    modDX::Surface& screen = game->display().backBuffer();
    bool sawDimmed = false, sawLastTrick = false, triedAltEnter = false;
    int edgeDimmed = 0;
    int presses = 0;
    const auto press = [&](std::initializer_list<int> keys) {
        modDX::Input& input = game->input();
        input.keyState.fill(0);
        for (const int k : keys) input.keyState[static_cast<std::size_t>(k)] = 0x80;
        clock.now += 17;
        game->RunFrame();
        Frame();  // released
    };
    while (m.motion.statusText != Phase::EndOfMatch) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) break;
        if (presses == 0) {
            EXPECT_EQ(HighlightedSlot(m), -1) << "shown only once Left or Right is pressed";
        }
        int first = 0;
        while (!(m.motion.userHand[first].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[first].card))) ++first;
        press({modDX::keyRight});
        if (presses == 0) {
            ASSERT_EQ(HighlightedSlot(m), first) << "the first press shows the first card that may be played";
        }
        for (int i = 0; i < 12; ++i) press({modDX::keyLeft});
        ASSERT_EQ(HighlightedSlot(m), first);
        for (int i = 0; i < 3; ++i) {
            const int before = HighlightedSlot(m);
            press({modDX::keyRight});
            const int now = HighlightedSlot(m);
            ASSERT_GE(now, before);
            ASSERT_TRUE(MayPlay(m.deal, userSeat, m.motion.userHand[now].card));
            for (int skipped = before + 1; skipped < now; ++skipped)
                EXPECT_FALSE(m.motion.userHand[skipped].inUse &&
                             MayPlay(m.deal, userSeat, m.motion.userHand[skipped].card));
        }
        press({modDX::keyLeft});
        // Unplayable cards are dimmed: the strip of such a card is darker than its picture.
        const auto [ix, iy] = IllegalSpot();
        if (ix >= 0) {
            const int slot = [&, x = ix] {
                for (int i = 12; i >= 0; --i)
                    if (m.motion.userHand[i].inUse && m.motion.userHand[i].x < x) return i;
                return 0;
            }();
            const CardSprite& c = m.motion.userHand[slot];
            const int px = ix - RoundHalfEven(c.x), py = iy - RoundHalfEven(c.y);
            const std::uint16_t drawn = modDX::GetPixel(screen, ix, iy);
            const std::uint16_t picture = modDX::GetPixel(game->table().card(c.card), px, py);
            const auto half = [](std::uint16_t v) {
                return static_cast<std::uint16_t>(((((v >> 11) & 31) / 2) << 11) | ((((v >> 5) & 63) / 2) << 5) |
                                                  ((v & 31) / 2));
            };
            if (picture != 0xF81F) {  // not the card's transparent corner
                EXPECT_EQ(drawn, half(picture)) << "not dimmed";
                sawDimmed = true;
            }
        }
        // A dimmed card keeps its transparent corners: no darkened magenta shows anywhere.
        int leftmost = -1, rightmost = -1;
        for (int i = 0; i <= 12; ++i)
            if (m.motion.userHand[i].inUse) {
                if (leftmost < 0) leftmost = i;
                rightmost = i;
            }
        for (const int edge : {leftmost, rightmost})
            edgeDimmed += MayPlay(m.deal, userSeat, m.motion.userHand[edge].card) ? 0 : 1;
        int darkMagenta = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) darkMagenta += modDX::GetPixel(screen, x, y) == 0x780F;
        EXPECT_EQ(darkMagenta, 0);
        if (m.deal.lastTrickWinner >= 0 && !sawLastTrick) {
            // Held, L frames the last trick's winner at its seat's spot; the game goes on.
            const DealState deal = m.deal;
            game->input().keyState.fill(0);
            game->input().keyState[modDX::keyL] = 0x80;
            clock.now += 17;
            game->RunFrame();
            const int seat = m.deal.lastTrickWinner;
            const int x = m.layout.spotX[seat] + m.layout.spotJitterX / 2,
                      y = m.layout.spotY[seat] + m.layout.spotJitterY / 2;
            EXPECT_EQ(modDX::GetPixel(screen, x + 1, y + 1), modDX::Rgb565(255, 200, 40));
            EXPECT_EQ(m.deal.cardsPlayed, deal.cardsPlayed);
            Frame();
            EXPECT_NE(modDX::GetPixel(screen, x + 1, y + 1), modDX::Rgb565(255, 200, 40)) << "released, it goes";
            sawLastTrick = true;
        }
        const int held = m.deal.handCount[userSeat];
        if (!triedAltEnter) {
            press({modDX::keyLeftAlt, modDX::keyReturn});
            EXPECT_FALSE(m.motion.userHasChosen) << "Alt+Enter switches the screen, it plays nothing";
            triedAltEnter = true;
        }
        const int card = m.motion.userHand[HighlightedSlot(m)].card;
        press({++presses % 2 ? modDX::keyReturn : modDX::keySpace});
        Until([&] { return m.deal.handCount[userSeat] < held; });
        EXPECT_EQ(m.deal.playedBy[card], userSeat);
    }
    EXPECT_TRUE(sawDimmed);
    EXPECT_GT(edgeDimmed, 0) << "no dimmed card ever showed its corners";
    EXPECT_TRUE(sawLastTrick);
    EXPECT_EQ(presses, 13);
    EXPECT_EQ(game->record.deals, 1);
    EXPECT_EQ(game->record.points, m.motion.ourDealScore);
    std::ostringstream err;
    EXPECT_EQ(LoadRecord(game->configFolder, err), game->record);
    EXPECT_EQ(err.str(), "");
}

// A table of Expert seats plays a whole deal while the frames go on, and the hint, asked by H
// (not by a right click), raises a card the user may play until the user plays.
TEST_F(GameTest, ExpertSeatsPlayAndTheHintRaisesAPlayableCardUntilThePlay) {
    Launch("Royal", "800x600", ComputerLevel::Expert, ComputerLevel::Expert);
    // Idle frames wait a little, as the game's do, so the searches get the time they need
    // within the frame limits however busy the machine is.
    game->idleWait = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
    Match& m = game->match;
    int hints = 0;
    while (m.motion.statusText != Phase::EndOfMatch) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) break;
        EXPECT_EQ(game->HintCard(false), -1) << "a hint nobody asked for";
        if (hints % 2) {
            // The right button shows the last trick; let go, it asks for nothing.
            Frame(-1, -1, false, 0, true);
            for (int i = 0; i < 200 && game->HintCard(false) < 0; ++i) Frame();
            EXPECT_EQ(game->HintCard(false), -1) << "a right click raised a hint";
        }
        Frame(-1, -1, false, modDX::keyH);
        Until([&] { return game->HintCard(false) >= 0; });
        const int hint = game->HintCard(false);
        ASSERT_TRUE(MayPlay(m.deal, userSeat, hint)) << "card " << hint;
        // Held, H shows the expected points over each card that may be played, the hint's too.
        Frame(-1, -1, false, modDX::keyH);
        const std::vector<HintFigure>& figures = game->ui().extras.hintFigures;
        int playable = 0;
        for (int i = 0; i < m.deal.handCount[userSeat]; ++i)
            playable += MayPlay(m.deal, userSeat, m.deal.hand[userSeat][i]);
        EXPECT_EQ(static_cast<int>(figures.size()), playable);
        for (const HintFigure& f : figures) {
            EXPECT_TRUE(MayPlay(m.deal, userSeat, f.card)) << f.card;
            EXPECT_TRUE(f.points >= 0 && f.points <= 80) << f.points;
        }
        EXPECT_TRUE(std::any_of(figures.begin(), figures.end(), [&](const HintFigure& f) { return f.card == hint; }));
        Frame();
        EXPECT_TRUE(game->ui().extras.hintFigures.empty()) << "the figures outlast the key";
        for (int i = 0; i < 3; ++i) Frame();
        EXPECT_EQ(game->HintCard(false), hint);
        ++hints;
        const int slot = FindHandIndex(m, hint, userSeat);
        ASSERT_GE(slot, 0);
        const int played = m.deal.cardsPlayed;
        ClickSlot(slot);
        Until([&] { return m.deal.cardsPlayed > played; });
        EXPECT_EQ(m.deal.playedBy[hint], userSeat);
        EXPECT_EQ(game->HintCard(false), -1);
    }
    EXPECT_EQ(hints, 13);
    EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
}

// Presses let go within one frame count as the press they were: a quick click plays the card
// under the pointer, and a tapped Escape quits.
TEST_F(GameTest, AQuickClickPlaysAndATappedEscapeQuits) {
    Launch("Royal", "800x600");
    Match& m = game->match;
    Until([&] { return UsersTurn(); });
    int legal = 0;
    while (!(m.motion.userHand[legal].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[legal].card))) ++legal;
    const int card = m.motion.userHand[legal].card;
    const auto [x, y] = Visible(m.motion.userHand[legal]);
    game->input().NoteButtonPress(0);  // pressed and let go since the last frame
    Frame(x, y, false);
    EXPECT_TRUE(m.motion.userHasChosen) << "the quick click was lost";
    Until([&] { return m.deal.playedBy[card] == userSeat; });
    game->input().NoteKeyPress(modDX::keyEscape);
    try {
        Frame();
        FAIL() << "the tapped Escape did not quit";
    } catch (const QuitSignal& q) {
        EXPECT_EQ(q.status, 0);
    }
}

// On the score page N, Enter (even tapped within a frame) and Space deal again as a click does.
TEST_F(GameTest, TheScorePageDealsAgainOnNEnterOrSpace) {
    Launch("Royal", "800x600");
    Match& m = game->match;
    const auto playToTheScorePage = [&] {
        while (m.motion.statusText != Phase::EndOfMatch) {
            Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
            for (int i = 0; i <= 12 && UsersTurn(); ++i)
                if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[i].card)) ClickSlot(i);
        }
    };
    playToTheScorePage();
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(m.motion.statusText, Phase::EndOfMatch) << "the score page waits";
    Frame(-1, -1, false, modDX::keyN);
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards) << "N";
    playToTheScorePage();
    game->input().NoteKeyPress(modDX::keyReturn);
    Frame();
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards) << "a tapped Enter";
    playToTheScorePage();
    Frame(-1, -1, false, modDX::keySpace);
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards) << "Space";
}

// The menu takes the keys and clicks while it shows and the match waits under it; a click while
// dealing lays the hands at once; M mutes; a deal is played again by its number.
TEST_F(GameTest, MenuKeysAndClicksBesideThePlay) {
    Launch("Royal", "800x600");
    Match& m = game->match;
    ASSERT_TRUE(m.numberedDeals);
    const auto sounds = [&] {
        int started = 0;
        for (int i = 0; i < kSoundEffectCount; ++i)
            started += game->audio().SoundFor(static_cast<SoundEffect>(i)).timesStarted();
        return started;
    };
    // Shown once, the pause costs no more drawing, even with a dealt card held in the air.
    Until([&] { return AnyCardMoving(m.motion); });
    Frame(-1, -1, false, modDX::keyP);
    ASSERT_TRUE(AnyCardMoving(m.motion));
    int drawn = 0;
    for (int i = 0; i < 20; ++i) {
        clock.now += 17;
        drawn += game->RunFrame() ? 1 : 0;
    }
    EXPECT_EQ(drawn, 0);
    Frame();
    Frame(-1, -1, false, modDX::keyP);
    const int shuffleSound = sounds();
    Frame(400, 300, true);
    Frame(400, 300, false);
    EXPECT_NE(m.motion.statusText, Phase::DealingCards) << "the click did not lay the hands";
    EXPECT_EQ(m.deal.handCount[userSeat], 13);
    // At most the first lead's card has sounded since; the skipped cards have not.
    EXPECT_LE(sounds(), shuffleSound + 1) << "the skipped cards' sounds played";
    const DealNumber first = m.dealNumber;

    Until([&] { return UsersTurn(); });
    Frame(-1, -1, false, modDX::keyF10);
    ASSERT_TRUE(game->menu().Shown());
    const int played = m.deal.cardsPlayed;
    for (int i = 0; i < 200; ++i) Frame();
    EXPECT_EQ(m.deal.cardsPlayed, played) << "the match went on under the menu";
    // Escape held over frames closes the menu and does not go on to quit.
    Frame(-1, -1, false, modDX::keyEscape);
    Frame(-1, -1, false, modDX::keyEscape);
    EXPECT_FALSE(game->menu().Shown()) << "Escape in the menu goes back, and does not quit";
    Frame();
    // Alt+Enter is the full screen's: it does not choose the menu's line.
    Frame(-1, -1, false, modDX::keyF10);
    Frame();
    Frame(-1, -1, false, modDX::keyDown);
    game->input().keyState.fill(0);
    game->input().keyState[modDX::keyLeftAlt] = 0x80;
    game->input().keyState[modDX::keyReturn] = 0x80;
    game->RunFrame();
    EXPECT_EQ(game->menu().page(), MenuPage::Main) << "Alt+Enter chose \"New match\"";
    EXPECT_EQ(m.deal.cardsPlayed, played);
    Frame(-1, -1, false, modDX::keyEscape);
    Frame();
    // A click beside the menu closes it, and is not a card played, however long it is held.
    Frame(-1, -1, false, modDX::keyF10);
    int legal = 0;
    while (!(m.motion.userHand[legal].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[legal].card))) ++legal;
    const auto [x, y] = Visible(m.motion.userHand[legal]);
    for (int i = 0; i < 10; ++i) Frame(x, y, true);
    EXPECT_FALSE(game->menu().Shown());
    EXPECT_FALSE(m.motion.userHasChosen);
    Frame(x, y, false);

    Frame(-1, -1, false, modDX::keyM);
    EXPECT_TRUE(game->options.soundMuted && game->audio().Muted());
    Frame(-1, -1, false, modDX::keyP);
    ASSERT_TRUE(game->ui().extras.panel.has_value());
    EXPECT_EQ(*game->ui().extras.panel, PausePanel()) << "the pause shows";
    Frame();
    Frame(-1, -1, false, modDX::keyP);
    EXPECT_FALSE(game->ui().extras.panel.has_value());

    // The menu button, then the options: the volume steps round from full to silence.
    const modDX::Rect button = MenuButtonRect(800, 600);
    Frame(button.left + 5, button.top + 5, true);
    Frame(button.left + 5, button.top + 5, false);
    ASSERT_EQ(game->menu().page(), MenuPage::Main);
    for (const int key : {modDX::keyDown, modDX::keyDown, modDX::keyDown, modDX::keyReturn, modDX::keyReturn}) {
        Frame(-1, -1, false, key);
        Frame();
    }
    EXPECT_EQ(game->menu().page(), MenuPage::Options);
    EXPECT_EQ(game->options.soundVolume, 0);
    EXPECT_EQ(game->audio().Volume(), 0);
    // The table shown now is the classic one: the other is chosen for the next start.
    const PanelPlace options = PlacePanel(game->menu().View(game->options, game->Facts()), 800, 600);
    const modDX::Rect table = options.lines[7];
    Frame(table.left + 10, table.top + 5, true);
    Frame(table.left + 10, table.top + 5, false);
    EXPECT_FALSE(game->options.classicTable);
    EXPECT_NE(game->menu().View(game->options, game->Facts()).lines[7].find("sharp (next start)"), std::string::npos);
    EXPECT_EQ(game->display().width(), 800);

    // Back on the menu at the line that led to the page, then "New match" clicked where the
    // menu shows it.
    Frame(-1, -1, false, modDX::keyEscape);
    EXPECT_EQ(game->menu().View(game->options, game->Facts()).selected, 3);
    const PanelPlace place = PlacePanel(game->menu().View(game->options, game->Facts()), 800, 600);
    const modDX::Rect newMatch = place.lines[1];
    m.score.ourMatchPoints = 50;
    Frame(newMatch.left + 10, newMatch.top + 5, true);
    EXPECT_FALSE(game->menu().Shown());
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards);
    EXPECT_EQ(m.score.ourMatchPoints, 0);
    for (int i = 0; i < 5; ++i) Frame(newMatch.left + 10, newMatch.top + 5, true);
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards) << "the menu's click went on to skip the deal";
    Frame();

    // F1 opens the rules from the table, Enter the keys, and back from there is the table.
    for (const int key : {modDX::keyF1, modDX::keyReturn, modDX::keyReturn}) {
        Frame(-1, -1, false, key);
        Frame();
    }
    EXPECT_FALSE(game->menu().Shown());

    // The first deal again, by its number: the same hands.
    for (const int key : {modDX::keyF10, modDX::keyDown, modDX::keyDown, modDX::keyReturn}) {
        Frame(-1, -1, false, key);
        Frame();
    }
    ASSERT_EQ(game->menu().page(), MenuPage::DealNumber);
    for (const char digit : std::to_string(first)) {
        Frame(-1, -1, false, digit == '0' ? 0x0B : 0x01 + (digit - '0'));
        Frame();
    }
    Frame(-1, -1, false, modDX::keyReturn);
    EXPECT_EQ(m.dealNumber, first);
    Frame(-1, -1, false, modDX::keySpace);
    EXPECT_EQ(m.deal.handCount[userSeat], 13);
}

// Escape quits at once and keeps the match; the next start offers it and takes it up where it
// was, or forgets it when declined. A match played to its end is not offered.
TEST_F(GameTest, AQuitMatchIsOfferedAtTheNextStartAndTakenUp) {
    const std::string config = (folder / "config").string();
    const auto start = [&] {
        Prepare("Royal", "800x600");
        game->configFolder = config;
        game->unpacked = UnpackResources(game->resourceBase, game->match.settings.packFileName);
        game->StartGame(modDX::DisplayKind::Memory);
        game->match.clock = &clock;
        game->idleWait = [](int) {};
    };
    const auto quit = [&] {
        try {
            Frame(-1, -1, false, modDX::keyEscape);
            FAIL() << "Escape did not quit";
        } catch (const QuitSignal&) {
        }
    };
    const auto playUntil = [&](int cards) {
        Match& m = game->match;
        while (m.deal.cardsPlayed < cards) {
            Until([&] { return UsersTurn() || m.deal.cardsPlayed >= cards; });
            for (int i = 0; i <= 12 && UsersTurn(); ++i)
                if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, m.motion.userHand[i].card)) ClickSlot(i);
        }
    };
    start();
    EXPECT_FALSE(game->menu().Shown()) << "nothing kept, nothing offered";
    playUntil(6);
    Until([&] { return !AnyCardMoving(game->match.motion); });
    const Match left = game->match;
    quit();
    ASSERT_TRUE(fs::exists(fs::path(config) / "match"));

    // Escape, even at the offer, quits at once, and the kept match stays as it was.
    start();
    ASSERT_EQ(game->menu().page(), MenuPage::Resume);
    std::ostringstream quiet;
    const std::optional<SavedMatch> before = LoadMatch(config, quiet);
    quit();
    EXPECT_EQ(LoadMatch(config, quiet), before);

    start();
    ASSERT_EQ(game->menu().page(), MenuPage::Resume);
    for (int i = 0; i < 50; ++i) Frame();
    EXPECT_EQ(game->match.deal.cardsPlayed, 0) << "the new deal went on under the offer";
    Frame(-1, -1, false, modDX::keyReturn);
    const Match& m = game->match;
    EXPECT_FALSE(game->menu().Shown());
    EXPECT_EQ(m.dealNumber, left.dealNumber);
    EXPECT_EQ(m.deal.cardsPlayed, left.deal.cardsPlayed);
    EXPECT_EQ(m.deal.hand, left.deal.hand);
    EXPECT_EQ(m.deal.toPlay, left.deal.toPlay);
    EXPECT_EQ(m.score, left.score);
    playUntil(left.deal.cardsPlayed + 3);
    Until([&] { return !AnyCardMoving(game->match.motion); });
    const int later = game->match.deal.cardsPlayed;
    quit();
    start();
    Frame(-1, -1, false, modDX::keyReturn);
    EXPECT_EQ(game->match.deal.cardsPlayed, later) << "the match taken up is kept as it goes on";
    quit();

    // Declined: forgotten, and the new match is the one kept from then on.
    start();
    ASSERT_EQ(game->menu().page(), MenuPage::Resume);
    Frame(-1, -1, false, modDX::keyDown);
    Frame();
    Frame(-1, -1, false, modDX::keyReturn);
    EXPECT_EQ(game->match.deal.cardsPlayed, 0);
    const std::optional<SavedMatch> kept = LoadMatch(config, quiet);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->deal, game->match.dealNumber) << "the declined match is still kept";

    // Played to its end: not offered.
    game->match.score.ourMatchPoints = 75;
    playUntil(kCards);
    Until([&] { return game->match.motion.statusText == Phase::EndOfMatch; });
    ASSERT_TRUE(game->match.score.matchOver);
    quit();
    start();
    EXPECT_FALSE(game->menu().Shown());
    EXPECT_FALSE(fs::exists(fs::path(config) / "match"));
}

// Launch failures end through one place: the report, status 1, everything released and
// nothing left beside the archive.
TEST_F(GameTest, LaunchFailuresEndWithTheirReport) {
    Prepare("Royal", "800x600");
    {
        // Unpacked, but the screen cannot open.
        const char* old = std::getenv("SDL_VIDEODRIVER");
        const std::string saved = old ? old : "";
        setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
        try {
            game->Form1_Load(modDX::DisplayKind::Window);
            ADD_FAILURE() << "the launch went on";
        } catch (const QuitSignal& q) {
            EXPECT_EQ(q.status, 1);
        }
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    }
    EXPECT_EQ(shownMessage.rfind("Pellow cannot start.\nError in function DirectX() \nError Number: 1001\n", 0), 0u)
        << shownMessage;
    EXPECT_FALSE(fs::exists(folder / "res"));
    EXPECT_FALSE(game->display().backBuffer().exists());

    // No archive: nothing is unpacked.
    Prepare("Royal", "800x600");
    fs::remove(folder / "res002.pak");
    try {
        game->Form1_Load(modDX::DisplayKind::Memory);
        ADD_FAILURE() << "the launch went on";
    } catch (const QuitSignal& q) {
        EXPECT_EQ(q.status, 1);
    }
    EXPECT_EQ(shownMessage.rfind("Pellow cannot start.\n", 0), 0u) << shownMessage;
    EXPECT_NE(shownMessage.find("res002.pak\" is missing."), std::string::npos) << shownMessage;
    EXPECT_TRUE(fs::is_empty(folder));
}

// Many deals through the real frame loop: what the heap holds must not grow from deal to deal.
TEST_F(GameTest, TwentyDealsWithoutGrowingMemory) {
    Launch("Roya2", "800x600");
    Match& m = game->match;
    std::vector<std::size_t> heapAtDeal;
    while (heapAtDeal.size() < 22) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) {
            heapAtDeal.push_back(mallinfo2().uordblks);
            Frame(400, 300, true);
            Frame(400, 300, false);
            continue;
        }
        for (int i = 0; i <= 12; ++i)
            if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, (m.motion.userHand[i]).card)) {
                ClickSlot(i);
                break;
            }
    }
    // The first deals may still settle caches (the sound mixer, the clock's time zone).
    const std::size_t settled = heapAtDeal[2];
    for (std::size_t d = 3; d < heapAtDeal.size(); ++d)
        EXPECT_LE(heapAtDeal[d], settled + 16 * 1024) << "heap grew by deal " << d;
}

// A waiting game sleeps, but never past the clock's next minute or the end of a pause (the
// table would show a stale time, or stall), nor so long that a clock set anew goes unseen.
TEST(IdleTimeoutTest, WakesForTheMinuteThePauseEndAndNeverLaterThanFiveSeconds) {
    Match m;
    m.motion.statusText = Phase::NormalPlay;
    EXPECT_EQ(IdleTimeout(m, 0, 58), 2000);
    EXPECT_EQ(IdleTimeout(m, 0, 10), 5000);
    m.motion.statusText = Phase::Paused;
    m.motion.pauseStartTick = 1000;
    m.motion.pauseLength = 700;
    EXPECT_EQ(IdleTimeout(m, 1500, 10), 201);
    EXPECT_EQ(IdleTimeout(m, 1500, 59), 201);
    EXPECT_EQ(IdleTimeout(m, 1701, 10), 1);
}

}  // namespace
}  // namespace pellow
