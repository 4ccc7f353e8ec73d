// The drawn cursor: spans of the colour-keyed and alpha images, blend entries per display format,
// frames with the cursor composed equal to golden pictures (MURKWELL_UPDATE_GOLDEN=1 writes them),
// the back buffer without it after a windowed present, clipping, the overlap copy between the
// save-unders, the refresh throttle and the hardware cursor's 32 x 32 copy.
#include "render/render_test_support.h"

#include "render/textures/texture.h"
#include "sys/display/presenter/surface_png.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace rendertest;
using namespace sys::display;

namespace
{

// A cursor picture: magenta where transparent (colour-keyed) or alpha 0 (alpha image), an
// outlined arrow-like wedge, and for the alpha image a half-transparent band.
uint32_t CursorPixel(uint32_t x, uint32_t y, bool alpha)
{
    const bool inside = x <= y && y < 24 && x < 16;
    const bool edge = inside && (x == 0 || x == y || y == 23 || x == 15);
    if (!inside)
        return alpha ? 0x00FF00FFu : 0xFFFA00FAu;
    if (edge)
        return 0xFF000000u;
    if (alpha && y >= 12)
        return 0x80FFFF00u;
    return 0xFFFFFFFFu;
}

std::shared_ptr<TTexture> MakeCursor(bool alpha)
{
    auto texture = TTexture::Create(32, 32, alpha);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    EXPECT_TRUE(texture->Lock(pixels, pitch));
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            pixels[y * pitch + x] = CursorPixel(x, y, alpha);
    texture->Unlock();
    return texture;
}

void Gradient(Surface& surface)
{
    for (uint32_t y = 0; y < surface.GetHeight(); ++y)
        for (uint32_t x = 0; x < surface.GetWidth(); ++x)
            surface.WritePixel(x, y,
                               0xFF000000u | ((x * 3) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 |
                                   ((x + y) & 0xFF));
}

class CursorTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mApp->GetWindowManager()->CreateRoot(800, 600);
        Platform().SetDisplay(800, 600, mFull, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        // The game's drawn cursor: the system's pointer is down, as the application leaves it.
        sys::ShowSystemCursor(false);
    }
    Surface& Back() { return *Context().GetBackBuffer(); }
    Surface& Front() { return *Context().GetFrontBuffer(); }
    Rect WindowOnFront()
    {
        const sys::ScreenRect& w = Context().GetDisplay().GetWindowRect();
        return Rect{w.left, w.top, w.right, w.bottom};
    }

    bool mFull = false;
};

TEST_F(CursorTest, SpansHoldTheVisibleRunsOfEachRow)
{
    auto keyed = TTexture::Create(8, 2, false);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(keyed->Lock(pixels, pitch));
    for (int x = 0; x < 8; ++x)
        pixels[x] = pixels[pitch + x] = 0xFFF800F8; // the key
    pixels[1] = 0xFFFA00FA;                         // (250, 0, 250): transparent
    pixels[2] = 0xFFF700FF;                         // (247, 0, 255): drawn
    pixels[3] = 0xFF102030;
    pixels[pitch + 6] = 0xFFF801F8; // green 1: drawn
    keyed->Unlock();
    ASSERT_TRUE(Context().SetMouseImage(keyed, 0, 0, false));
    const TSpanList& spans = Context().GetSpans(false);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].mX, 2);
    EXPECT_EQ(spans[0].mY, 0);
    ASSERT_EQ(spans[0].mPixels.size(), 2u);
    EXPECT_EQ(spans[0].mPixels[0].mInverseAlpha, 0) << "keyed pixels are made opaque";
    EXPECT_EQ(spans[0].mPixels[0].mRedAdd, 247 * 255);
    EXPECT_EQ(spans[1].mX, 6);
    EXPECT_EQ(spans[1].mY, 1);
    EXPECT_FALSE(Context().IsAlphaListActive());

    auto alpha = TTexture::Create(4, 4, true);
    ASSERT_TRUE(alpha->Lock(pixels, pitch));
    for (int i = 0; i < 4; ++i)
        for (int x = 0; x < 4; ++x)
            pixels[i * pitch + x] = 0;
    pixels[pitch + 1] = 0x40FF0000;
    alpha->Unlock();
    ASSERT_TRUE(Context().SetMouseImage(alpha, 0, 0, true));
    EXPECT_TRUE(Context().IsAlphaListActive());
    ASSERT_EQ(Context().GetSpans(true).size(), 1u);
    const TBlendEntry& entry = Context().GetSpans(true)[0].mPixels[0];
    EXPECT_EQ(entry.mInverseAlpha, 255 - 0x40);
    EXPECT_EQ(entry.mRedAdd, 0x40 * 255);
    EXPECT_EQ(entry.mGreenAdd, 0);
    // An empty alpha image gives the colour-keyed list back.
    ASSERT_TRUE(Context().SetMouseImage(nullptr, 0, 0, true));
    EXPECT_FALSE(Context().IsAlphaListActive());
}

TEST_F(CursorTest, WindowedPresentComposesAndLeavesTheBackBufferClean)
{
    Gradient(Back());
    std::vector<uint32_t> before;
    for (uint32_t y = 0; y < 600; ++y)
        for (uint32_t x = 0; x < 800; ++x)
            before.push_back(Back().ReadPixel(x, y));
    ASSERT_TRUE(Context().SetMouseImage(MakeCursor(false), 2, 2, false));
    ASSERT_TRUE(Context().SetMouseImage(MakeCursor(true), 2, 2, true));
    PointAt(102, 52);
    ASSERT_EQ(Context().Present(), Result::Ok);
    EXPECT_TRUE(Context().IsCursorDrawn());
    const Rect window = WindowOnFront();
    CompareWithGolden(Front(),
                      Rect{window.left + 90, window.top + 40, window.left + 150, window.top + 90},
                      "cursor_alpha_32.png");
    bool clean = true;
    for (uint32_t y = 0; y < 600 && clean; ++y)
        for (uint32_t x = 0; x < 800 && clean; ++x)
            clean = Back().ReadPixel(x, y) == before[y * 800 + x];
    EXPECT_TRUE(clean) << "the back buffer lacks the cursor after a windowed present";

    // The colour-keyed image, clipped by the root window's edge.
    ASSERT_TRUE(Context().SetMouseImage(nullptr, 0, 0, true));
    PointAt(790, 590);
    ASSERT_EQ(Context().Present(), Result::Ok);
    CompareWithGolden(Front(),
                      Rect{window.left + 770, window.top + 570, window.right, window.bottom},
                      "cursor_keyed_clipped_32.png");

    // With the system's pointer up over the window the system draws it, and a frame with the
    // game's own cursor needs no other: neither frame has the drawn one; the next frame has it.
    sys::ShowSystemCursor(true);
    ASSERT_EQ(Context().Present(), Result::Ok);
    sys::ShowSystemCursor(false);
    EXPECT_FALSE(Context().IsCursorDrawn());
    EXPECT_EQ(Front().ReadPixel(window.left + 791, window.top + 595), Back().ReadPixel(791, 595));
    Context().NoteCursorInFrame();
    ASSERT_EQ(Context().Present(), Result::Ok);
    EXPECT_FALSE(Context().IsCursorDrawn());
    Context().DrawMouse(700, 500, true);
    EXPECT_FALSE(Context().IsCursorDrawn()) << "nor between frames";
    ASSERT_EQ(Context().Present(), Result::Ok);
    EXPECT_TRUE(Context().IsCursorDrawn());
}

TEST_F(CursorTest, HardwareCursorKeepsTheTopLeft32x32)
{
    auto big = TTexture::Create(64, 64, true);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(big->Lock(pixels, pitch));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[y * pitch + x] = 0xFF000000u | static_cast<uint32_t>(x << 8 | y);
    big->Unlock();
    ASSERT_TRUE(Context().SetHardwareCursor(big, 3, 4));
    std::vector<uint32_t> block;
    int hotX = 0, hotY = 0;
    ASSERT_TRUE(sys::GetColorCursor(Context().GetHardwareCursor(), block, hotX, hotY));
    ASSERT_EQ(block.size(), 32u * 32u);
    EXPECT_EQ(block[31 * 32 + 31], 0xFF001F1Fu);
    EXPECT_EQ(block[5 * 32 + 7], 0xFF000705u);
    EXPECT_EQ(hotX, 3);
    EXPECT_EQ(hotY, 4);
}

class FullScreenCursorTest : public CursorTest
{
protected:
    void SetUp() override
    {
        mFull = true;
        CursorTest::SetUp();
    }
};

TEST_F(FullScreenCursorTest, MovesOverlapWithoutTrailsAndThrottle)
{
    Gradient(Front());
    std::vector<uint32_t> before;
    for (uint32_t y = 0; y < 120; ++y)
        for (uint32_t x = 0; x < 120; ++x)
            before.push_back(Front().ReadPixel(x, y));
    ASSERT_TRUE(Context().SetMouseImage(MakeCursor(false), 0, 0, false));
    // Full screen the game draws its pointer even with the system's chosen (which stays hidden).
    sys::ShowSystemCursor(true);
    Context().DrawMouse(40, 40, false);
    sys::ShowSystemCursor(false);
    ASSERT_TRUE(Context().IsCursorDrawn());
    Context().DrawMouse(50, 45, false); // overlaps the first place
    CompareWithGolden(Front(), Rect{30, 30, 100, 100}, "cursor_moved_full.png");

    // Unmoved refreshes come at most every 16 ms.
    PointAt(300, 300);
    Context().DrawMouse(60, 60, false);
    Context().DrawMouse(-1, -1, false); // within 16 ms: nothing
    EXPECT_NE(Front().ReadPixel(61, 62), before[62 * 120 + 61]) << "still at (60, 60)";
    sys::AdvanceManualClock(16);
    Context().DrawMouse(-1, -1, false);
    EXPECT_EQ(Front().ReadPixel(61, 62), before[62 * 120 + 61]) << "moved to the pointer";
    EXPECT_NE(Front().ReadPixel(301, 302) & 0xFFFFFF, 0xFFFFFFu - 1);

    Context().EraseMouse();
    bool restored = true;
    for (uint32_t y = 0; y < 120 && restored; ++y)
        for (uint32_t x = 0; x < 120 && restored; ++x)
            restored = Front().ReadPixel(x, y) == before[y * 120 + x];
    EXPECT_TRUE(restored) << "erasing leaves no trace";
}

class SixteenBitCursorTest : public CursorTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mApp->GetWindowManager()->CreateRoot(800, 600);
        Data().mLowMemoryVideo = true;
        Platform().SetDisplay(800, 600, true, false, false, false);
        ASSERT_EQ(Data().mBitDepth, 16);
    }
};

TEST_F(SixteenBitCursorTest, BlendsIntoTheMasks)
{
    Gradient(Back());
    ASSERT_TRUE(Context().SetMouseImage(MakeCursor(true), 0, 0, true));
    const TSpanList& spans = Context().GetSpans(true);
    auto row = std::find_if(spans.begin(), spans.end(),
                            [](const TRowSpan& span) { return span.mY == 12; });
    ASSERT_NE(row, spans.end());
    const TBlendEntry& half = row->mPixels[1]; // (1, 12): yellow at alpha 0x80
    // The texture is A4R4G4B4 on this display, so yellow reads back as (240, 240, 0) at 0x80;
    // a 5-bit red at bit 11 adds ((128 x 240) >> 11) << 11, the 6-bit green at bit 5 likewise.
    EXPECT_EQ(half.mInverseAlpha, 127);
    EXPECT_EQ(half.mRedAdd, ((128 * 240) >> 11) << 11);
    EXPECT_EQ(half.mGreenAdd, ((128 * 240) >> 10) << 5);
    EXPECT_EQ(half.mBlueAdd, 0);
    PointAt(20, 20);
    ASSERT_EQ(Context().Present(), Result::Ok);
    CompareWithGolden(Front(), Rect{10, 10, 60, 60}, "cursor_alpha_16.png");
}

// A display mode of 24 bits: bytes blue, green, red, blended byte by byte.
class TwentyFourBitCursorTest : public CursorTest
{
protected:
    DisplayConfig Config() override
    {
        DisplayConfig config = StandardConfig();
        config.mModes = {DisplayMode{800, 600, 24, 60}};
        return config;
    }
    void SetUp() override
    {
        mFull = true;
        CursorTest::SetUp();
        ASSERT_EQ(Data().mBitDepth, 24);
    }
};

TEST_F(TwentyFourBitCursorTest, BlendsByteByByte)
{
    Gradient(Back());
    ASSERT_TRUE(Context().SetMouseImage(MakeCursor(true), 0, 0, true));
    const TBlendEntry& opaque = Context().GetSpans(true)[2].mPixels[1]; // (1, 2): white
    EXPECT_EQ(opaque.mRedAdd, 255 * 255);
    EXPECT_EQ(opaque.mInverseAlpha, 0);
    PointAt(20, 20);
    ASSERT_EQ(Context().Present(), Result::Ok);
    CompareWithGolden(Front(), Rect{10, 10, 60, 60}, "cursor_alpha_24.png");
}

} // namespace
