// TTextLayout::Draw through the vector rasteriser: which glyphs are drawn (soft hyphens, the
// height limit, the first visible line, marks), where they land (position, rotation), the hover
// colour and the outline pass, and a golden paragraph in the built-in font drawn into a texture.
#include "render/text_test_support.h"

#include "render/text/vector_rasteriser.h"

#include <gtest/gtest.h>

using namespace texttest;
using vectest::MemoryTexture;
using vectest::RecordingDevice;

class TextDraw : public TextFixture
{
protected:
    // Glyphs (and mark rectangles) the rasteriser was asked for.
    int Drawn(const LayoutPtr& layout, float heightLimit = 1000, float scale = 1)
    {
        RecordingDevice device;
        TQmMiniVecDraw draw(&device);
        layout->Draw(TVec2(0, 0), heightLimit, scale, 0, 1, nullptr, &draw);
        return draw.GetConversionCount() + draw.GetReplayCount();
    }
    std::shared_ptr<MemoryTexture> Picture(const LayoutPtr& layout, TVec2 at, int w = 20,
                                           int h = 20)
    {
        RecordingDevice device;
        TQmMiniVecDraw draw(&device);
        auto texture = std::make_shared<MemoryTexture>(w, h);
        layout->Draw(at, 1000, 1, 0, 1, texture, &draw);
        return texture;
    }
};

TEST_F(TextDraw, WhichGlyphsAreDrawn)
{
    const char* hyphenated = "abc\xC2\xAD"
                             "def";
    // The hyphen shows only where the line breaks at it.
    EXPECT_EQ(Drawn(Make(hyphenated)), 6);
    EXPECT_EQ(Drawn(Make(hyphenated, 8)), 7);
    EXPECT_EQ(Drawn(Make("ab"), 1000, -1), 0);
    // Lines whose bottom passes the limit stop the drawing: 10 and 20 fit in 25, 30 does not.
    auto three = Make("a<br>b<br>c");
    EXPECT_EQ(Drawn(three, 25), 2);
    EXPECT_EQ(Drawn(three, 25, 2), 1);
    three->SetFirstVisibleLine(1.4f);
    EXPECT_EQ(Drawn(three, 25), 2);
    // The cursor bar and the underline are one rectangle each.
    EXPECT_EQ(Drawn(Make("<u>ab</u>")), 3);
    EXPECT_EQ(Drawn(Make("a<cursor>b")), 3);
    EXPECT_EQ(Drawn(Make("ab<cursor>")), 3);
}

TEST_F(TextDraw, InRectUsesTheInstalledRasteriser)
{
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto three = Make("a<br>b<br>c");
    TTextLayout::DrawInRect(three.get(), TRect(5, 5, 50, 30), 1, 0, 1);
    EXPECT_EQ(draw.GetConversionCount(), 0);
    SetTextRasteriser(&draw);
    // The rectangle's height (25) limits the lines.
    TTextLayout::DrawInRect(three.get(), TRect(5, 5, 50, 30), 1, 0, 1);
    TTextLayout::DrawInRect(nullptr, TRect(5, 5, 50, 30), 1, 0, 1);
    SetTextRasteriser(nullptr);
    EXPECT_EQ(draw.GetConversionCount() + draw.GetReplayCount(), 2);
}

TEST_F(TextDraw, PositionAndRotation)
{
    // Size 20: a letter is 4 pixels square, the baseline 15 pixels down, the line shifted by 1.
    auto layout = Make("a", 100, 100, 0, 20);
    auto plain = Picture(layout, TVec2(2, 3));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(plain->At(x, y), x >= 3 && x < 7 && y >= 14 && y < 18 ? 0x00FEFEFEu : 0u)
                << x << "," << y;
    // A glyph too tall for the line is scaled about its origin on the baseline: '^' (1 x 7.5
    // units, fit 0.5) covers 2 x 15 pixels ending on the baseline.
    auto tall = Picture(Make("^", 100, 100, 0, 20), TVec2(0, 0));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(tall->At(x, y) != 0, x >= 1 && x < 3 && y >= 0 && y < 15) << x << "," << y;
    // A quarter turn about the layout's origin: (x, y) goes to (-y, x).
    layout->SetRotation(90, 0, 0);
    auto turned = Picture(layout, TVec2(20, 2));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(turned->At(x, y) != 0, x >= 5 && x < 9 && y >= 3 && y < 7) << x << "," << y;
}

TEST_F(TextDraw, HoverColourOutlineAndUnderline)
{
    auto link = Make("<a id='x' color='FF0000'>a</a>", 100, 100, 0, 20);
    EXPECT_EQ(Picture(link, TVec2(0, 0))->At(2, 12), 0x00FEFEFEu);
    TVec2 over(2, 5);
    ASSERT_TRUE(link->UpdateHoverLink(&over, 0));
    EXPECT_EQ(Picture(link, TVec2(0, 0))->At(2, 12), 0x00FE0000u);
    // The outline pass draws around the glyph in its colour; the glyph itself on top.
    auto outlined =
        Picture(Make("<outline color='00FF00' size='1'>a", 100, 100, 0, 20), TVec2(0, 0));
    EXPECT_EQ(outlined->At(2, 12), 0x00FEFEFEu);
    // The outline moves the line in by its size: the glyph covers x 2 to 5.
    EXPECT_EQ(outlined->At(1, 12) & 0x00FF00FFu, 0u);
    EXPECT_NE(outlined->At(1, 12), 0u);
    EXPECT_EQ(outlined->At(0, 12), 0u);
    // The underline lies below the baseline, across the run.
    auto underlined = Picture(Make("<u>ab</u>", 100, 100, 0, 20), TVec2(0, 0));
    auto bare = Picture(Make("ab", 100, 100, 0, 20), TVec2(0, 0));
    EXPECT_EQ(bare->At(4, 16), 0u);
    EXPECT_NE(underlined->At(4, 16), 0u);
}

TEST_F(TextDraw, GoldenParagraphInTheBuiltInFont)
{
    LayoutPtr layout(TTextLayout::Create(kParagraph, 190, 120, "", 0, 14, TVec4(1, 1, 1, 1)));
    ASSERT_TRUE(layout->UpdateHoverLink(&kParagraphLinkPoint, 2));
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(200, 100, 0xFF202020u);
    layout->Draw(TVec2(4, 2), 100, 1, 2, 1, texture, &draw);
    vectest::CompareWithGolden(texture->Image(), 200, 100, "text_layout_paragraph.png");
}
