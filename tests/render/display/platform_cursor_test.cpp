// The drawn cursor through the display handler and the application: the built-in image at its hot
// spot with magenta transparent, an alpha image blended, hiding and showing, the 16 ms refresh
// throttle, a cursor leaving the desktop, and the images set again after a lost display.
#include "render/sprite_test_support.h"

#include "platform/shell/system_cursor.h"
#include "render/textures/texture.h"

namespace platform_cursor_test
{
using namespace rendertest;
using namespace spritetest;
using namespace sys::display;

namespace
{
void Fill(Surface& surface, uint32_t colour)
{
    for (uint32_t y = 0; y < surface.GetHeight(); ++y)
        for (uint32_t x = 0; x < surface.GetWidth(); ++x)
            surface.WritePixel(x, y, colour);
}

class PlatformCursorTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mApp->GetWindowManager()->CreateRoot(800, 600);
        mSeam->SetDisplay(mWindow, 800, 600, mFull, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        // The built-in image in slot 0, as the application sets it when it has none.
        mApp->SetCursorTexture(nullptr, 2, 2, 0);
        ASSERT_EQ(Context().GetCursorWidth(), 32);
    }
    // The front buffer's pixel at client (x, y).
    uint32_t Shown(int x, int y)
    {
        const sys::ScreenRect& w = Context().GetDisplay().GetWindowRect();
        return Context().GetFrontBuffer()->ReadPixel(static_cast<uint32_t>(w.left + x),
                                                     static_cast<uint32_t>(w.top + y)) &
               0xFFFFFF;
    }
    Rect AroundOnFront(int x, int y)
    {
        const sys::ScreenRect& w = Context().GetDisplay().GetWindowRect();
        return Rect{w.left + x - 4, w.top + y - 4, w.left + x + 28, w.top + y + 28};
    }
    void Present()
    {
        Fill(*Context().GetBackBuffer(), 0xFF304050);
        ASSERT_EQ(Context().Present(), Result::Ok);
    }

    bool mFull = false;
};
} // namespace

TEST(SystemCursorTest, TheBuiltInImageIsA32x32ArrowKeyedInMagentaWithItsTipAt2x2)
{
    uint32_t size = 0;
    const uint8_t* png = GetSystemCursorPng(&size);
    ASSERT_GT(size, 24u);
    // IHDR: width and height 32.
    EXPECT_EQ(png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19], 32);
    EXPECT_EQ(png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23], 32);
}

TEST_F(PlatformCursorTest, BuiltInImageAtItsHotSpotThenAnAlphaImage)
{
    PointAt(100, 100);
    Present();
    EXPECT_EQ(Shown(100, 100), 0x000000u) << "the tip at the hot spot";
    EXPECT_EQ(Shown(99, 99), 0x304050u) << "magenta is transparent";
    EXPECT_EQ(Shown(102, 104), 0xFEFEFEu) << "opaque cursor pixels blend one level darker";
    int x = 0, y = 0;
    mSeam->GetDrawnMousePosition(x, y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    CompareWithGolden(*Context().GetFrontBuffer(), AroundOnFront(100, 100), "cursor_builtin.png");

    // Slot 1 is the alpha image.
    auto alpha = TTexture::Create(32, 32, true);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(alpha->Lock(pixels, pitch));
    for (int r = 0; r < 32; ++r)
        for (int c = 0; c < 32; ++c)
            pixels[r * pitch + c] =
                c < 12 && r < 12 ? static_cast<uint32_t>(r * 20) << 24 | 0xFFC000 : 0;
    alpha->Unlock();
    mApp->SetCursorTexture(alpha, 0, 0, 1);
    EXPECT_TRUE(Context().IsAlphaListActive());
    Present();
    CompareWithGolden(*Context().GetFrontBuffer(), AroundOnFront(100, 100), "cursor_alpha_app.png");
}

TEST_F(PlatformCursorTest, HiddenShownAndLeavingTheDesktop)
{
    PointAt(200, 150);
    mApp->ShowSystemCursor(false);
    Present();
    EXPECT_EQ(Shown(200, 150), 0x304050u) << "hidden";
    mApp->ShowSystemCursor(true);
    Present();
    EXPECT_EQ(Shown(200, 150), 0x000000u) << "shown again";

    // Beyond the desktop's right edge the cursor is not drawn and the windows are redrawn.
    const sys::ScreenRect& w = Context().GetDisplay().GetWindowRect();
    const int dirty = shelltest::Recorded().mDirtyCount;
    int drawnX = 0, drawnY = 0;
    PointAt(1280 - w.left - 10, 100);
    Platform().DrawMouse(1280 - w.left - 10, 100, drawnX, drawnY);
    EXPECT_GT(shelltest::Recorded().mDirtyCount, dirty);
    int originX = -1, originY = -1;
    Platform().GetWindowOrigin(originX, originY);
    EXPECT_EQ(originX, w.left);
    EXPECT_EQ(originY, w.top);
}

TEST_F(PlatformCursorTest, ImagesAreSetAgainAfterALostDisplay)
{
    Data().mWorkingCount = 2; // too few frames: the display is made again
    Data().Restore();
    ASSERT_TRUE(Platform().IsDisplayReady());
    EXPECT_EQ(Context().GetCursorWidth(), 32);
    PointAt(60, 70);
    Present();
    EXPECT_EQ(Shown(60, 70), 0x000000u);
    EXPECT_EQ(Shown(59, 69), 0x304050u);
}

class FullScreenPlatformCursorTest : public PlatformCursorTest
{
protected:
    void SetUp() override
    {
        mFull = true;
        PlatformCursorTest::SetUp();
    }
};

TEST_F(FullScreenPlatformCursorTest, DrawnOnTheScreenAndRefreshedEvery16Ms)
{
    Fill(*Context().GetFrontBuffer(), 0xFF102030);
    int x = 0, y = 0;
    PointAt(60, 60);
    Platform().DrawMouse(60, 60, x, y);
    EXPECT_EQ(x, 60);
    EXPECT_EQ(y, 60);
    EXPECT_EQ(Shown(60, 60), 0x000000u);
    PointAt(300, 300);
    Platform().DrawMouse(-1, -1, x, y); // within 16 ms: stays
    EXPECT_EQ(x, 60);
    sys::AdvanceManualClock(16);
    Platform().DrawMouse(-1, -1, x, y);
    EXPECT_EQ(x, 300);
    EXPECT_EQ(Shown(60, 60), 0x102030u);
    EXPECT_EQ(Shown(300, 300), 0x000000u);
    CompareWithGolden(*Context().GetFrontBuffer(), AroundOnFront(300, 300),
                      "cursor_builtin_full.png");
    Platform().EraseMouse();
    EXPECT_EQ(Shown(300, 300), 0x102030u);
    Platform().ResetMouseImage();
    Platform().GetDrawnMousePosition(x, y);
    EXPECT_EQ(x, 300) << "read from the pointer again";
}

} // namespace platform_cursor_test
