#include <gtest/gtest.h>

#include <string>

#include "presentation/dx.hpp"
#include "presentation/dx_internal.hpp"
#include "presentation/test_support.hpp"

namespace pellow::testing {
namespace {

using modDX::GetPixel;
using modDX::Rect;
using modDX::Surface;

// Column x of the picture has its own red level, so a copied column can be told apart.
std::uint16_t ColumnColour(int x) { return modDX::Rgb565(8 * x, 252, 0); }

class BltTest : public DisplayFixture {
protected:
    void SetUp() override {
        OpenDisplay(800, 600);
        modDX::CreateSurface(picture, 32, 32);
        for (int x = 0; x < 32; ++x) modDX::FillRect(picture, Rect{x, 0, x + 1, 32}, ColumnColour(x));
    }
    Surface picture;
};

TEST_F(BltTest, PartLeftOfTheScreenIsCutAndTheRestDrawnAtZero) {
    display.BltSurface(picture, backBuffer(), Rect{0, 0, 32, 32}, -10, 5, false);
    EXPECT_EQ(GetPixel(backBuffer(), 0, 5), ColumnColour(10));
    EXPECT_EQ(GetPixel(backBuffer(), 21, 36), ColumnColour(31));
    EXPECT_EQ(GetPixel(backBuffer(), 22, 5), 0);
    EXPECT_EQ(GetPixel(backBuffer(), 0, 37), 0);
    EXPECT_EQ(PaintedPixels(), 22 * 32);
}

TEST_F(BltTest, ExplicitRectanglesAreCutAtTheRightBottomAndTopEdges) {
    display.BltSurface(picture, backBuffer(), Rect{0, 0, 32, 32}, 790, 590, false);
    EXPECT_EQ(GetPixel(backBuffer(), 790, 590), ColumnColour(0));
    EXPECT_EQ(GetPixel(backBuffer(), 799, 599), ColumnColour(9));
    EXPECT_EQ(PaintedPixels(), 10 * 10);

    display.ClearBackBuffer();
    // Part of a picture: columns 4..11, cut 3 rows at the top.
    display.BltSurface(picture, backBuffer(), Rect{4, 0, 12, 20}, 100, -3, false);
    EXPECT_EQ(GetPixel(backBuffer(), 100, 0), ColumnColour(4));
    EXPECT_EQ(GetPixel(backBuffer(), 107, 16), ColumnColour(11));
    EXPECT_EQ(PaintedPixels(), 8 * 17);
}

TEST_F(BltTest, WholePictureThatDoesNotFitDrawsNothing) {
    const Rect whole{};
    display.BltSurface(picture, backBuffer(), whole, 800 - 31, 10, false);  // one column too far right
    display.BltSurface(picture, backBuffer(), whole, 10, 600 - 31, false);  // one row too low
    display.BltSurface(picture, backBuffer(), whole, -1, 10, false);        // one column off the left
    display.BltSurface(picture, backBuffer(), whole, 10, -1, false);
    EXPECT_EQ(PaintedPixels(), 0);

    display.BltSurface(picture, backBuffer(), whole, 800 - 32, 600 - 32, false);  // just fits
    EXPECT_EQ(GetPixel(backBuffer(), 799, 599), ColumnColour(31));
    EXPECT_EQ(PaintedPixels(), 32 * 32);
}

TEST_F(BltTest, EmptyInvertedAndOutOfPictureRectanglesDrawNothing) {
    display.BltSurface(picture, backBuffer(), Rect{10, 0, 10, 32}, 50, 50, false);  // empty
    display.BltSurface(picture, backBuffer(), Rect{20, 0, 10, 32}, 50, 50, false);  // inverted
    display.BltSurface(picture, backBuffer(), Rect{0, 0, 33, 32}, 50, 50, false);   // wider than the picture
    display.BltSurface(picture, backBuffer(), Rect{-1, 0, 8, 8}, 50, 50, false);    // starts before it
    display.BltSurface(picture, backBuffer(), Rect{0, 0, 32, 32}, 900, 50, false);  // wholly off the right
    EXPECT_EQ(PaintedPixels(), 0);
}

class ColourKeyTest : public DisplayFixture {
protected:
    void SetUp() override {
        OpenDisplay(64, 16);
        // A 3-pixel strip read from a file: magenta, black, grey.
        const auto file = Scratch() / "strip.bmp";
        WriteBmp(file, 3, 1, [](int x, int) { return x == 0 ? kMagenta : x == 1 ? Rgb{0, 0, 0} : Rgb{128, 128, 128}; });
        modDX::CreateSurfaceFromFile(strip, file.string());
        ASSERT_EQ(strip.width(), 3);
        ASSERT_EQ(strip.height(), 1);
    }
    // What a copy of the strip onto colour kUnder leaves in the three pixels.
    std::vector<std::uint16_t> CopyStrip(bool useKey) {
        modDX::FillRect(backBuffer(), Rect{0, 0, 64, 16}, kUnder);
        display.BltSurface(strip, backBuffer(), Rect{}, 0, 0, useKey);
        return {GetPixel(backBuffer(), 0, 0), GetPixel(backBuffer(), 1, 0), GetPixel(backBuffer(), 2, 0)};
    }
    static constexpr std::uint16_t kUnder = 0x1234;
    const std::uint16_t grey = To565({128, 128, 128});
    Surface strip;
};

TEST_F(ColourKeyTest, ModesOneAndTwoKeyBlackAndMagentaAndOtherModesNothing) {
    EXPECT_EQ(GetPixel(strip, 0, 0), 0xF81F) << "loaded as 16-bit: magenta = red + blue mask";
    using Pixels = std::vector<std::uint16_t>;
    for (int mode : {0, 3, -1}) {
        modDX::SetColorKey(strip, mode);
        EXPECT_EQ(CopyStrip(true), (Pixels{0xF81F, 0, grey})) << "mode " << mode;
    }
    modDX::SetColorKey(strip, 1);
    EXPECT_EQ(CopyStrip(true), (Pixels{0xF81F, kUnder, grey}));
    modDX::SetColorKey(strip, 2);
    EXPECT_EQ(CopyStrip(true), (Pixels{kUnder, 0, grey}));
    EXPECT_EQ(CopyStrip(false), (Pixels{0xF81F, 0, grey})) << "a copy without the key";
    EXPECT_EQ(CopyStrip(true), (Pixels{kUnder, 0, grey})) << "the key still holds afterwards";
    // A keyed picture that has been drawn can still be painted on.
    modDX::FillRect(strip, Rect{2, 0, 3, 1}, 0xFFFF);
    EXPECT_EQ(CopyStrip(true), (Pixels{kUnder, 0, 0xFFFF}));
}

// A card over fixed pixels is copied in row bands (its key only in some rows): every cut of it
// must still leave exactly what a pixel-by-pixel keyed copy leaves.
TEST_F(ColourKeyTest, PicturesOverFixedPixelsCopyLikeAnyKeyedPicture) {
    constexpr int kW = 6, kH = 40;
    constexpr std::uint16_t kKey = 0xF81F;
    std::vector<std::uint16_t> pixels(kW * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool corner = (y < 3 || y >= kH - 3) && (x == 0 || x == kW - 1);
            pixels[y * kW + x] = corner || (y == 20 && x == 2) ? kKey : static_cast<std::uint16_t>(y * 64 + x + 1);
        }
    Surface card;
    modDX::SurfaceOverPixels(card, kW, kH, pixels.data());
    modDX::SetColorKey(card, 2, false);
    ASSERT_FALSE(card.plainRows().empty()) << "the bands this test is about";
    struct Cut {
        Rect from;
        int x, y;
    };
    // Cut at the screen's bottom and top, and parts starting and ending inside the bands.
    for (const Cut cut : {Cut{Rect{0, 0, kW, kH}, 10, 0}, Cut{Rect{1, 2, 5, 38}, 20, 0}, Cut{Rect{0, 21, kW, kH}, 30, 0},
                          Cut{Rect{0, 0, kW, kH}, 40, -25}, Cut{Rect{0, 4, kW, 19}, 50, 0}})
        for (const bool useKey : {true, false}) {
            modDX::FillRect(backBuffer(), Rect{0, 0, 64, 16}, kUnder);
            display.BltSurface(card, backBuffer(), cut.from, cut.x, cut.y, useKey);
            const Rect f = cut.from;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 64; ++x) {
                    const int sx = x - cut.x + f.left, sy = y - cut.y + f.top;
                    std::uint16_t want = kUnder;
                    if (sx >= f.left && sx < f.right && sy >= f.top && sy < f.bottom && sy >= 0) {
                        const std::uint16_t p = pixels[sy * kW + sx];
                        if (!(useKey && p == kKey)) want = p;
                    }
                    ASSERT_EQ(GetPixel(backBuffer(), x, y), want)
                        << "at " << x << "," << y << " copying from " << f.left << "," << f.top << " to " << cut.x
                        << "," << cut.y << (useKey ? " keyed" : " plain");
                }
        }
}

class LoadErrorTest : public DisplayFixture {};

TEST_F(LoadErrorTest, MissingPictureThrowsTheThreeLineReport) {
    OpenDisplay();
    Surface s;
    try {
        modDX::CreateSurfaceFromFile(s, (Scratch() / "absent.bmp").string());
        FAIL() << "no error";
    } catch (const modDX::LoadError& e) {
        EXPECT_EQ(e.procedure(), "CreateSurfaceFromFile");
        EXPECT_EQ(e.number(), modDX::errPictureFile);
        const std::string report = e.what();
        const std::string head = "Error in function CreateSurfaceFromFile() \nError Number: 1005\n";
        EXPECT_EQ(report.substr(0, head.size()), head);
        EXPECT_GT(report.size(), head.size()) << "the description follows";
    }
    EXPECT_FALSE(s.exists());
}

TEST_F(LoadErrorTest, DisplayThatCannotOpenIsReportedAsDirectX) {
    ScopedEnv driver("SDL_VIDEODRIVER", "no-such-driver");
    try {
        OpenDisplay(800, 600, modDX::DisplayKind::Window);
        FAIL() << "no error";
    } catch (const modDX::LoadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error in function DirectX() \nError Number: 1001\n", 0), 0u) << e.what();
    }
}

TEST_F(LoadErrorTest, MessageBoxTextAlsoGoesToStderr) {
    ScopedEnv noDisplay("DISPLAY", "");
    ::testing::internal::CaptureStderr();
    modDX::ShowMessageBox("Error in Shuffle");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error in Shuffle\n");
}

// A real window on SDL's dummy video driver: presenting, pacing, closing, renderer resets.
class WindowTest : public DisplayFixture {
protected:
    void SetUp() override { OpenDisplay(320, 240, modDX::DisplayKind::Window); }
    // The colour of the presented picture at (x, y), read back through a screenshot and brought
    // back to the back buffer's precision.
    std::uint16_t PresentedPixel(int x, int y) {
        const auto file = Scratch() / "shot.bmp";
        EXPECT_TRUE(display.SaveScreenshot(file.string()));
        SDL_Surface* shot = SDL_LoadBMP(file.string().c_str());
        EXPECT_NE(shot, nullptr);
        if (!shot) return 0;
        SDL_Surface* rgb = SDL_ConvertSurfaceFormat(shot, SDL_PIXELFORMAT_RGB888, 0);
        const Uint32 value = static_cast<const Uint32*>(rgb->pixels)[y * rgb->pitch / 4 + x];
        SDL_FreeSurface(rgb);
        SDL_FreeSurface(shot);
        return modDX::Rgb565((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    ScopedEnv driver{"SDL_VIDEODRIVER", "dummy"};
};

TEST_F(WindowTest, FlipScreenShowsTheSixteenBitBackBuffer) {
    ASSERT_EQ(backBuffer().width(), 320);
    ASSERT_EQ(backBuffer().height(), 240);
    EXPECT_EQ(backBuffer().raw()->format->BitsPerPixel, 16);
    const std::uint16_t blue = modDX::Rgb565(0, 0, 255), orange = modDX::Rgb565(255, 128, 0);
    modDX::FillRect(backBuffer(), Rect{0, 0, 320, 240}, blue);
    modDX::FillRect(backBuffer(), Rect{10, 10, 20, 20}, orange);
    display.FlipScreen();
    EXPECT_EQ(PresentedPixel(15, 15), orange);
    EXPECT_EQ(PresentedPixel(100, 100), blue);
}

// Drawn for its own size, the window shows the back buffer pixel for pixel, and after a resize
// the back buffer that follows it, with nothing of the old picture left over.
TEST_F(WindowTest, ANativeWindowShowsItsBackBufferUnscaledThroughAResize) {
    display.SetWindowedSize(800, 600);
    display.DirectX(320, 240, modDX::DisplayKind::Window, true);
    ASSERT_EQ(backBuffer().width(), 800);
    const std::uint16_t blue = modDX::Rgb565(0, 0, 255), orange = modDX::Rgb565(255, 128, 0);
    modDX::FillRect(backBuffer(), Rect{0, 0, 800, 600}, blue);
    modDX::FillRect(backBuffer(), Rect{790, 590, 800, 600}, orange);
    display.FlipScreen();
    EXPECT_EQ(PresentedPixel(795, 595), orange);
    EXPECT_EQ(PresentedPixel(789, 589), blue);

    SDL_SetWindowSize(SDL_GetWindowFromID(1), 1000, 700);
    display.DoEvents();
    // Before the game has followed the size, the new area is black, not garbage.
    display.FlipScreen();
    EXPECT_EQ(PresentedPixel(900, 650), 0);
    EXPECT_EQ(PresentedPixel(795, 595), orange);
    ASSERT_TRUE(display.FollowWindowSize());
    ASSERT_EQ(backBuffer().width(), 1000);
    modDX::FillRect(backBuffer(), Rect{0, 0, 1000, 700}, orange);
    display.FlipScreen();
    EXPECT_EQ(PresentedPixel(999, 699), orange);

    // Frame by frame only what changed is laid again and shown: what the last frame drew goes
    // back to the felt on the screen too.
    Surface felt;
    modDX::CreateSurface(felt, 1000, 700);
    modDX::FillRect(felt, Rect{0, 0, 1000, 700}, blue);
    for (int frame = 0; frame < 3; ++frame) {
        display.LayFelt(felt);
        modDX::FillRect(backBuffer(), Rect{100 * frame, 50, 100 * frame + 20, 70}, orange);
        display.FlipScreen();
        EXPECT_EQ(PresentedPixel(100 * frame + 10, 60), orange) << "frame " << frame;
        if (frame > 0) {
            EXPECT_EQ(PresentedPixel(100 * frame - 90, 60), blue) << "frame " << frame;
        }
    }
    EXPECT_EQ(PresentedPixel(999, 699), blue);
}

TEST_F(WindowTest, FramesArePacedWhenTheDriverDoesNotWait) {
    // Without a retrace to wait for, ten frames still take ten refresh periods (60 Hz).
    display.FlipScreen();
    const Uint64 start = SDL_GetTicks64();
    for (int i = 0; i < 10; ++i) display.FlipScreen();
    EXPECT_GE(SDL_GetTicks64() - start, 140u);
}

void PushQuit() {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
}

TEST_F(WindowTest, ClosingTheWindowRunsTheCloseHandlerOrElseIsOnlyNoted) {
    display.DoEvents();
    EXPECT_FALSE(display.CloseRequested());
    PushQuit();
    display.DoEvents();
    EXPECT_TRUE(display.CloseRequested());
    EXPECT_TRUE(backBuffer().exists()) << "without a handler nothing is released";

    int closes = 0;
    display.SetCloseHandler([&] { ++closes; });
    PushQuit();
    display.DoEvents();
    EXPECT_EQ(closes, 1);
}

TEST_F(WindowTest, AHiddenWindowIsWaitedForWhileEventsAreStillHandled) {
    SDL_HideWindow(display.platform().window);
    EXPECT_FALSE(display.DisplayReady());
    // Closing the game while its window is away ends the wait through the close handler.
    int closes = 0;
    display.SetCloseHandler([&] { ++closes; });
    PushQuit();
    display.RecoverSurfaces();
    EXPECT_EQ(closes, 1);
}

// What the window system took away is drawn again: a frame that shows nothing new is still
// presented once after the window was exposed, shown, restored or its renderer reset.
TEST_F(WindowTest, ThePictureLostByTheWindowSystemIsAskedForAgain) {
    display.DoEvents();
    display.TakeRedrawRequest();
    EXPECT_FALSE(display.TakeRedrawRequest());
    SDL_Window* window = display.platform().window;
    for (const Uint8 what : {SDL_WINDOWEVENT_EXPOSED, SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_RESTORED}) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(window);
        event.window.event = what;
        SDL_PushEvent(&event);
        display.DoEvents();
        EXPECT_TRUE(display.TakeRedrawRequest()) << int{what};
        EXPECT_FALSE(display.TakeRedrawRequest()) << "asked once per loss";
    }
    SDL_Event reset{};
    reset.type = SDL_RENDER_TARGETS_RESET;
    SDL_PushEvent(&reset);
    display.RecoverSurfaces();
    EXPECT_TRUE(display.TakeRedrawRequest());
}

// A window opened for the game lets the screen saver run, asks for no text input, and goes
// to full screen and back at the back buffer's own size.
TEST_F(WindowTest, TheWindowKeepsToTheDesktopsManners) {
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
    EXPECT_FALSE(SDL_IsTextInputActive());
    SDL_Window* window = display.platform().window;
    EXPECT_FALSE(display.FullScreen());
    display.TakeRedrawRequest();
    display.SetFullScreen(true);
    EXPECT_TRUE(display.FullScreen());
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    EXPECT_TRUE(display.TakeRedrawRequest());
    display.SetFullScreen(false);
    EXPECT_FALSE(display.FullScreen());
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    int w = 0, h = 0;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    EXPECT_TRUE(display.TakeRedrawRequest());

    // The window is the player's to size, down to three quarters of the table, and keeps the
    // size through full screen and back.
    EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_RESIZABLE, 0u);
    SDL_GetWindowMinimumSize(window, &w, &h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(240, 180));
    SDL_SetWindowSize(window, 500, 400);
    EXPECT_EQ(display.WindowedSize(), std::make_pair(500, 400));
    display.SetFullScreen(true);
    EXPECT_EQ(display.WindowedSize(), std::make_pair(500, 400)) << "the windowed size outlasts full screen";
    display.SetFullScreen(false);
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(500, 400));
    // A size kept from before opens the window at it, within what the window may be.
    modDX::Display sized;
    sized.SetWindowedSize(100, 300);
    sized.DirectX(320, 240, modDX::DisplayKind::Window);
    EXPECT_EQ(sized.WindowedSize(), std::make_pair(240, 300));
}

// Scaled to the screen, the picture is exactly what the renderer makes of the back buffer's own
// format, smoothing and black bars included, though the conversion is done on the way in.
TEST_F(WindowTest, FullScreenShowsTheRenderersOwnStretchOfTheBackBuffer) {
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            modDX::FillRect(backBuffer(), Rect{x, y, x + 1, y + 1},
                            modDX::Rgb565(x * 255 / 319, (x ^ y) & 255, y * 255 / 239));
    display.SetFullScreen(true);
    display.FlipScreen();
    const auto file = Scratch() / "full.bmp";
    ASSERT_TRUE(display.SaveScreenshot(file.string()));
    SDL_Surface* loaded = SDL_LoadBMP(file.string().c_str());
    ASSERT_NE(loaded, nullptr);
    SDL_Surface* shot = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(shot, nullptr);
    ASSERT_GT(shot->w, 320);

    // The same back buffer through a renderer of SDL's own, as a texture in its own format.
    SDL_Surface* target = SDL_CreateRGBSurfaceWithFormat(0, shot->w, shot->h, 32,
                                                         SDL_GetWindowPixelFormat(display.platform().window));
    SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(target);
    SDL_Texture* texture = SDL_CreateTexture(renderer, modDX::detail::kBackBufferFormat, SDL_TEXTUREACCESS_STREAMING,
                                             320, 240);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    SDL_UpdateTexture(texture, nullptr, backBuffer().raw()->pixels, backBuffer().raw()->pitch);
    SDL_RenderSetLogicalSize(renderer, 320, 240);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    SDL_Surface* expected = SDL_ConvertSurfaceFormat(target, SDL_PIXELFORMAT_ARGB8888, 0);
    int differing = 0;
    for (int y = 0; y < shot->h; ++y)
        for (int x = 0; x < shot->w; ++x) {
            const auto at = [x, y](SDL_Surface* s) {
                return static_cast<const Uint32*>(s->pixels)[y * s->pitch / 4 + x] & 0xFFFFFF;
            };
            differing += at(shot) != at(expected);
        }
    EXPECT_EQ(differing, 0);
    SDL_FreeSurface(expected);
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_FreeSurface(target);
    SDL_FreeSurface(shot);
}

TEST_F(WindowTest, RendererResetKeepsThePicturesAndPresentsAgain) {
    const std::uint16_t green = modDX::Rgb565(40, 255, 0);
    modDX::FillRect(backBuffer(), Rect{0, 0, 320, 240}, green);
    SDL_Event reset{};
    reset.type = SDL_RENDER_DEVICE_RESET;
    SDL_PushEvent(&reset);
    display.RecoverSurfaces();
    display.FlipScreen();
    EXPECT_EQ(PresentedPixel(5, 5), green);
}

}  // namespace
}  // namespace pellow::testing
