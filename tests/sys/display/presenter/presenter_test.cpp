// Presentation with a real SDL window under the dummy video driver: the window's place on the
// desktop decides what is shown, and frames read back byte-exact.
#include "sys/display/direct_draw.h"
#include "sys/display/presenter/presenter.h"

#include <SDL.h>
#include <gtest/gtest.h>

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
