// The image window on the headless display: the size rule (scale, quarter turn, rounding),
// autoscale against the display, the covering flag, and plain, mirrored, turned and masked
// drawing read back.
#include "render/textures/texture.h"
#include "ui/image.h"
#include "ui_display_support.h"

namespace
{

class ImageTest : public uitest::UiDisplayTest
{
protected:
    TImage* Image(const char* name) { return TImage::FromWindow(Find(name)); }
};

TEST_F(ImageTest, SizeRuleOverridesAndScriptFunctions)
{
    Serve("wide.png", uitest::FlatPng(100, 50, 0x808080));
    Serve("odd.png", uitest::FlatPng(33, 33, 0x808080));
    Do("Bitmap{ name = 'a', image = 'wide.png', scale = 1.5 }() "
       "Bitmap{ name = 'b', image = 'wide.png', scale = 1.5, rotate = true }() "
       "Bitmap{ name = 'c', image = 'odd.png', scale = 0.5 }() "
       "Bitmap{ name = 'e', w = 30, h = 40 }() "
       "la = tostring(ImageLoaded('a')) le = tostring(ImageLoaded('e'))");
    ASSERT_NE(Image("a"), nullptr);
    EXPECT_EQ(Image("a")->GetRect(), TRect(0, 0, 150, 75));
    EXPECT_EQ(Image("b")->GetRect(), TRect(0, 0, 75, 150));
    EXPECT_EQ(Image("c")->GetRect(), TRect(0, 0, 17, 17)) << "16.5 + 0.5 truncated";
    EXPECT_EQ(Image("e")->GetRect(), TRect(0, 0, 30, 40)) << "no image keeps the style's size";
    EXPECT_EQ(Global("la") + Global("le"), "truefalse");

    Image("b")->SetRotate(false);
    EXPECT_EQ(Image("b")->GetRect(), TRect(0, 0, 150, 75));
    Do("_SetBitmap('e', 'odd.png', 2) _SetBitmap('a', 'missing.png', 1)");
    EXPECT_EQ(Image("e")->GetRect(), TRect(0, 0, 66, 66));
    EXPECT_EQ(Image("a")->GetTexture(), nullptr);
}

TEST_F(ImageTest, AutoscaleAgainstTheDisplay)
{
    mApp->SetDisplayMode(1024, 768, false);
    Serve("p1.png", uitest::FlatPng(800, 600, 0));
    Serve("p2.png", uitest::FlatPng(1024, 512, 0));
    Serve("p3.png", uitest::FlatPng(1000, 1000, 0));
    Do("Bitmap{ name = 'a', image = 'p1.png', autoscale = true }() "
       "Bitmap{ name = 'b', image = 'p2.png', autoscale = true }() "
       "Bitmap{ name = 'c', image = 'p3.png', autoscale = true }() "
       "Bitmap{ name = 'd', image = 'p1.png', autoscale = true, scale = 0.5 }() "
       "Bitmap{ name = 'e', autoscale = true }()");
    EXPECT_FLOAT_EQ(Image("a")->GetScale(), 768.0f / 600.0f);
    EXPECT_EQ(Image("a")->GetRect(), TRect(0, 0, 1024, 768));
    EXPECT_FLOAT_EQ(Image("b")->GetScale(), 1.5f) << "sy above 1 is taken";
    EXPECT_FLOAT_EQ(Image("c")->GetScale(), 1.024f) << "sy 0.768 is not above 1: sx";
    EXPECT_FLOAT_EQ(Image("d")->GetScale(), 0.5f) << "a scale other than 1 turns it off";
    EXPECT_FLOAT_EQ(Image("e")->GetScale(), 1.0f);
}

TEST_F(ImageTest, CoveringFlag)
{
    Serve("solid.png", uitest::FlatPng(8, 8, 0x123456));
    Serve("screen.png", uitest::FlatPng(800, 600, 0x123456));
    Do("Bitmap{ name = 'solid', image = 'solid.png' }() "
       "Bitmap{ name = 'soft', image = 'solid.png', alpha = true }() "
       "Bitmap{ name = 'full', image = 'screen.png' }()");
    TImage* solid = Image("solid");
    TImage* soft = Image("soft");
    EXPECT_NE(solid->GetFlags() & kWindowCovers, 0u);
    EXPECT_EQ(soft->GetFlags() & kWindowCovers, 0u);
    solid->SetAlpha(0.99f);
    EXPECT_EQ(solid->GetFlags() & kWindowCovers, 0u);
    solid->SetAlpha(1.0f);
    EXPECT_NE(solid->GetFlags() & kWindowCovers, 0u);
    soft->SetAlpha(1.0f);
    EXPECT_EQ(soft->GetFlags() & kWindowCovers, 0u) << "loaded with an alpha channel";
    // A covering image of the screen's size covers its modal window.
    EXPECT_TRUE(mRoot->IsInCoverSet(Find("full")));
    Image("full")->SetAlpha(0.5f);
    EXPECT_FALSE(mRoot->IsInCoverSet(Find("full")));
}

TEST_F(ImageTest, PlainMirroredTurnedAndMaskedDrawing)
{
    // 4 x 2 texels, each its own colour: red from the column, green from the row.
    std::vector<uint32_t> texels;
    for (uint32_t y = 0; y < 2; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            texels.push_back((0x40 * (x + 1) - 1) << 16 | (0x80 * (y + 1) - 1) << 8);
    auto texel = [&](int x, int y) { return texels[size_t(y) * 4 + size_t(x)]; };
    Serve("t.png", uitest::RgbPng(4, 2, texels));
    Serve("g.png", uitest::FlatPng(4, 2, 0x00FF00));
    Serve("m.png", uitest::RgbPng(4, 2, {0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF, 0xFFFFFF}));
    Do("Bitmap{ name = 'plain', image = 't.png', x = 10, y = 10 }() "
       "Bitmap{ name = 'h', image = 't.png', hflip = true, x = 20, y = 10 }() "
       "Bitmap{ name = 'v', image = 't.png', vflip = true, x = 30, y = 10 }() "
       "Bitmap{ name = 'r', image = 't.png', rotate = true, x = 40, y = 10 }() "
       "Bitmap{ name = 'm', image = 'g.png', mask = 'm.png', x = 50, y = 10 }()");
    EXPECT_EQ(Image("r")->GetRect(), TRect(40, 10, 42, 14));
    Frame();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
        {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(Back(10 + x, 10 + y), texel(x, y));
            EXPECT_EQ(Back(20 + x, 10 + y), texel(3 - x, y));
            EXPECT_EQ(Back(30 + x, 10 + y), texel(x, 1 - y));
            // A quarter turn clockwise: the left column becomes the top row.
            EXPECT_EQ(Back(40 + (1 - y), 10 + x), texel(x, y));
            EXPECT_EQ(Back(50 + x, 10 + y), x < 2 ? 0u : 0x00FF00u);
        }
    EXPECT_EQ(Back(42, 10), 0u) << "nothing outside the turned window";
}

} // namespace
