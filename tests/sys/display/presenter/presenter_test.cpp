// Presentation with a real SDL window under the dummy video driver: the window's place on the
// desktop decides what is shown, and frames read back byte-exact.
#include "sys/display/direct_draw.h"
#include "sys/display/presenter/presenter.h"
#include "sys/window/events.h"
#include "sys/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

using namespace sys::display;

namespace
{
class PresenterWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        mWindow = SDL_CreateWindow("test", 100, 50, 64, 48, SDL_WINDOW_HIDDEN);
        ASSERT_NE(mWindow, nullptr) << SDL_GetError();
        ResetDisplayConfig(); // desktop size from the driver
    }
    void TearDown() override
    {
        mDisplay.reset();
        if (mWindow != nullptr)
            SDL_DestroyWindow(mWindow);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    SDL_Window* mWindow = nullptr;
    std::shared_ptr<DirectDraw> mDisplay;
};
} // namespace

TEST_F(PresenterWindow, WindowedPresentShowsTheWindowsRectangleOfTheDesktop)
{
    ASSERT_EQ(DirectDrawCreate(nullptr, &mDisplay), Result::Ok);
    ASSERT_EQ(mDisplay->SetCooperativeLevel(mWindow, SCL_NORMAL), Result::Ok);
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    SurfaceDesc d;
    d.mFlags = SD_CAPS;
    d.mCaps = CAPS_PRIMARYSURFACE;
    std::shared_ptr<Surface> front, back;
    ASSERT_EQ(mDisplay->CreateSurface(d, &front), Result::Ok);
    EXPECT_EQ(front->GetWidth(), static_cast<uint32_t>(desktop.w));
    d.mFlags = SD_CAPS | SD_WIDTH | SD_HEIGHT;
    d.mCaps = CAPS_OFFSCREENPLAIN | CAPS_3DDEVICE;
    d.mWidth = 64;
    d.mHeight = 48;
    ASSERT_EQ(mDisplay->CreateSurface(d, &back), Result::Ok);
    back->WritePixel(0, 0, 0xFF102030);
    back->WritePixel(63, 47, 0xFF405060);
    const Rect window = mDisplay->GetScreen().GetWindowRect();
    EXPECT_EQ(window.Width(), 64);
    EXPECT_EQ(window.Height(), 48);
    ASSERT_EQ(front->Blt(&window, back.get(), nullptr, BLT_WAIT, nullptr), Result::Ok);
    Presenter& presenter = mDisplay->GetScreen().GetPresenter();
    EXPECT_TRUE(presenter.IsHeadless());
    EXPECT_EQ(presenter.GetLastRegion(), window);
    ASSERT_EQ(presenter.GetLastFrame().size(), 64u * 48u);
    EXPECT_EQ(presenter.GetLastFrame()[0], 0xFF102030u);
    EXPECT_EQ(presenter.GetLastFrame()[64 * 48 - 1], 0xFF405060u);
}

TEST_F(PresenterWindow, FullScreenShowsTheWholeFront)
{
    ASSERT_EQ(DirectDrawCreate(nullptr, &mDisplay), Result::Ok);
    ASSERT_EQ(mDisplay->SetCooperativeLevel(mWindow, SCL_FULLSCREEN | SCL_EXCLUSIVE), Result::Ok);
    ASSERT_EQ(mDisplay->SetDisplayMode(640, 480, 16, 0, 0), Result::Ok);
    SurfaceDesc d;
    d.mFlags = SD_CAPS | SD_BACKBUFFERCOUNT;
    d.mCaps = CAPS_PRIMARYSURFACE | CAPS_FLIP | CAPS_COMPLEX | CAPS_3DDEVICE;
    d.mBackBufferCount = 1;
    std::shared_ptr<Surface> front, back;
    ASSERT_EQ(mDisplay->CreateSurface(d, &front), Result::Ok);
    ASSERT_EQ(front->GetAttachedSurface(CAPS_BACKBUFFER, &back), Result::Ok);
    EXPECT_EQ(back->GetPixelFormat(), MakePixelFormat(FormatId::R5G6B5));
    back->WriteRaw(1, 0, 0xF800);
    ASSERT_EQ(front->Flip(nullptr, 0), Result::Ok);
    const Presenter& presenter = mDisplay->GetScreen().GetPresenter();
    ASSERT_EQ(presenter.GetFrameWidth(), 640u);
    ASSERT_EQ(presenter.GetFrameHeight(), 480u);
    EXPECT_EQ(presenter.GetLastFrame()[1], 0xFFF80000u);
    // Dummy windows never report a focus loss, so nothing is lost.
    EXPECT_EQ(mDisplay->TestCooperativeLevel(), Result::Ok);
}

TEST_F(PresenterWindow, SdlPathUploadsAndPresentsUnderTheDummyDriver)
{
    Presenter presenter(mWindow, true);
    ASSERT_FALSE(presenter.IsHeadless());
    auto front = Surface::Create(64, 48, MakePixelFormat(FormatId::X8R8G8B8));
    front->WriteRaw(2, 3, 0x00ABCDEF);
    presenter.Present(*front, front->GetRect());
    presenter.Present(*front, Rect{0, 0, 32, 24}); // a new size makes a new texture
    EXPECT_FALSE(presenter.HasFailed());
    EXPECT_EQ(presenter.GetLastFrame()[3 * 32 + 2], 0xFFABCDEFu);
    presenter.SetVSync(true);
    presenter.Present(*front, front->GetRect());
    EXPECT_FALSE(presenter.HasFailed());
}

TEST(Presenter, FramesOfEveryDisplayFormatReadAsTheirPixels)
{
    uint32_t seed = 3;
    for (FormatId format : {FormatId::R5G6B5, FormatId::X1R5G5B5, FormatId::R8G8B8,
                            FormatId::X8R8G8B8, FormatId::A8R8G8B8})
    {
        auto front = Surface::Create(13, 7, MakePixelFormat(format));
        for (uint32_t y = 0; y < 7; ++y)
            for (uint32_t x = 0; x < 13; ++x)
                front->WriteRaw(x, y, seed = seed * 1664525u + 1013904223u);
        Presenter presenter(nullptr);
        // A region reaching past the surface on the left and at the bottom shows black there.
        presenter.Present(*front, Rect{-2, 1, 11, 9});
        const std::vector<uint32_t>& frame = presenter.GetLastFrame();
        ASSERT_EQ(frame.size(), 13u * 8u);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 13; ++x)
            {
                const int32_t sx = x - 2, sy = y + 1;
                const uint32_t expected =
                    sx >= 0 && sy < 7
                        ? front->ReadPixel(static_cast<uint32_t>(sx), static_cast<uint32_t>(sy))
                        : 0xFF000000u;
                ASSERT_EQ(frame[static_cast<size_t>(y) * 13 + static_cast<size_t>(x)], expected)
                    << FormatName(format) << " " << x << "," << y;
            }
    }
}

// A window of the stand-in's (so that the message queue knows it), on the dummy driver.
class PresenterShown : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        ASSERT_TRUE(sys::InitWindowing());
    }
    void TearDown() override
    {
        if (mHandle != 0)
            sys::DestroyWindow(mHandle);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    SDL_Window* Open(int width, int height)
    {
        sys::WindowDesc desc;
        desc.width = width;
        desc.height = height;
        mHandle = sys::CreateWindow(desc);
        EXPECT_NE(mHandle, 0u);
        return sys::detail::SdlWindowFromHandle(mHandle);
    }

    sys::WindowHandle mHandle = 0;
};

// An idle screen presents the same picture again and again: the window is given it once. A picture
// that changes, a window of another size, black in between, or the window server's loss of what
// the window showed (an exposure, taken through the message queue) give it again; the count of
// frames the window kept showing runs up meanwhile, for a loop that waits on a still picture.
TEST_F(PresenterShown, AnUnchangedPictureIsGivenToTheWindowOnceUntilItMustBeShownAgain)
{
    SDL_Window* window = Open(64, 48);
    auto front = Surface::Create(64, 48, MakePixelFormat(FormatId::X8R8G8B8));
    front->WriteRaw(2, 3, 0x00ABCDEF);
    {
        Presenter presenter(window, true);
        ASSERT_FALSE(presenter.IsHeadless());
        struct Step
        {
            const char* mWhat;
            std::function<void()> mBefore;
            uint32_t mShown;
            uint32_t mRun;
        };
        const Step steps[] = {
            {"the first frame", [] {}, 1, 0},
            {"the same picture", [] {}, 1, 1},
            {"and again", [] {}, 1, 2},
            {"a changed pixel", [&] { front->WriteRaw(5, 5, 0x00102030); }, 2, 0},
            {"the same picture after it", [] {}, 2, 1},
            {"an exposure",
             [&]
             {
                 sys::PushWindowEvent(sys::WindowEventKind::Exposed);
                 sys::Message message;
                 while (sys::PeekMessage(message))
                 {
                 }
             },
             3, 0},
            {"a larger window", [&] { SDL_SetWindowSize(window, 128, 96); }, 4, 0},
            {"black in between", [&] { presenter.PresentBlack(); }, 5, 0},
            {"the same picture at last", [] {}, 5, 1},
        };
        for (const Step& step : steps)
        {
            step.mBefore();
            presenter.Present(*front, front->GetRect());
            EXPECT_EQ(presenter.GetShownCount(), step.mShown) << step.mWhat;
            EXPECT_EQ(sys::GetUnchangedFrameRun(), step.mRun) << step.mWhat;
            EXPECT_EQ(presenter.GetLastFrame()[3 * 64 + 2], 0xFFABCDEFu) << step.mWhat;
        }
        EXPECT_EQ(presenter.GetPresentCount(), 9u);
        EXPECT_FALSE(presenter.HasFailed());
    }
}

// The window surface shows the picture at the size that fits, each pixel taken from the picture's
// pixel under its middle, and black bars beside it: a 4 x 2 picture in a 12 x 4 window is shown 2
// times over in the middle 8 x 4.
TEST_F(PresenterShown, APictureIsScaledIntoTheWindowWithBarsBesideIt)
{
    SDL_Window* window = Open(12, 4);
    auto front = Surface::Create(4, 2, MakePixelFormat(FormatId::X8R8G8B8));
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            front->WriteRaw(x, y, 0x00100000u * (y + 1) + 0x10u * (x + 1));
    {
        Presenter presenter(window, true);
        presenter.Present(*front, front->GetRect());
        ASSERT_FALSE(presenter.HasFailed());
        SDL_Surface* shown = SDL_GetWindowSurface(window);
        ASSERT_NE(shown, nullptr);
        ASSERT_EQ(shown->w, 12);
        std::string rows;
        for (int y = 0; y < 4; ++y)
        {
            for (int x = 0; x < 12; ++x)
            {
                const uint32_t pixel =
                    static_cast<const uint32_t*>(shown->pixels)[y * (shown->pitch / 4) + x];
                char cell[8];
                std::snprintf(cell, sizeof(cell), "%x%x ", (pixel >> 20) & 0xF, (pixel >> 4) & 0xF);
                rows += cell;
            }
            rows += "\n";
        }
        EXPECT_EQ(rows, "00 00 11 11 12 12 13 13 14 14 00 00 \n"
                        "00 00 11 11 12 12 13 13 14 14 00 00 \n"
                        "00 00 21 21 22 22 23 23 24 24 00 00 \n"
                        "00 00 21 21 22 22 23 23 24 24 00 00 \n");
    }
}
