// Text through the renderer: the display seam's font map and calibrated rasteriser, text in a
// pushed viewport landing where a fill at the same position lands, and golden pictures of a
// paragraph on the back buffer and in a texture, and of the statistics overlay.
#include "render/render_test_support.h"
#include "render/text_test_support.h"

#include "render/textures/texture.h"
#include "render/text/vector_draw_renderer.h"
#include "render/text/vector_rasteriser.h"

#include <set>
#include <utility>

using namespace rendertest;

namespace
{

class TextRenderTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        mSeam->SetDisplay(sys::WindowHandle(), 800, 600, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
        mSeam->CreateVectorRasteriser();
        mSquare = texttest::SquareFont();
        RegisterMemoryFileName("fonts/square.mvec", mSquare.data(),
                               static_cast<uint32_t>(mSquare.size()));
    }
    void TearDown() override
    {
        RegisterMemoryFileName("fonts/square.mvec", nullptr, 0);
        mSeam->DestroyVectorRasteriser();
        DisplayTest::TearDown();
    }
    uint32_t Back(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
    std::set<std::pair<int, int>> LitPixels()
    {
        std::set<std::pair<int, int>> lit;
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 200; ++x)
                if (Back(x, y) != 0)
                    lit.insert({x, y});
        return lit;
    }
    std::vector<uint32_t> BackArea(int w, int h)
    {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.push_back(Data().mBackBuffer->ReadPixel(x, y) | 0xFF000000u);
        return pixels;
    }

    TRenderer* mRenderer = nullptr;
    std::vector<uint8_t> mSquare;
};

TEST_F(TextRenderTest, SeamOwnsTheFontMapAndTheCalibratedRasteriser)
{
    EXPECT_EQ(&GetFontMap(), &mSeam->GetFontMap());
    ASSERT_NE(mSeam->GetVectorRasteriser(), nullptr);
    EXPECT_EQ(GetTextRasteriser(), mSeam->GetVectorRasteriser());
    EXPECT_TRUE(mSeam->GetVectorRasteriser()->GetSelfTestResult());
    mSeam->GetFontMap().GetFont("__DEFAULT");
    mSeam->DestroyVectorRasteriser();
    EXPECT_EQ(GetTextRasteriser(), nullptr);
    // A seam that goes away lets go of its map.
    TFontMap* held = nullptr;
    {
        TRenderDisplaySeam other;
        EXPECT_EQ(&GetFontMap(), &other.GetFontMap());
        other.GetFontMap().GetFont("__DEFAULT");
        held = &other.GetFontMap();
    }
    EXPECT_NE(&GetFontMap(), held);
    EXPECT_NE(&GetFontMap(), &mSeam->GetFontMap());
}

TEST_F(TextRenderTest, TextInAPushedViewportLandsWhereAFillLands)
{
    texttest::LayoutPtr layout(
        TTextLayout::Create("a", 100, 100, "fonts/square.mvec", 0, 20, TVec4(1, 1, 1, 1)));
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    mRenderer->PushViewport(TRect(100, 50, 400, 300));
    ASSERT_TRUE(mRenderer->Begin2d());
    layout->Draw(TVec2(10, 20), 1000, 1, 0, 1);
    mRenderer->End2d();
    mRenderer->PopViewport();
    const auto text = LitPixels();
    // The glyph covers 4 x 4 pixels from (1, 11) after the text's position.
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    mRenderer->PushViewport(TRect(100, 50, 400, 300));
    mRenderer->FillRect(TRect(11, 31, 15, 35), TVec4(1, 1, 1, 1));
    mRenderer->PopViewport();
    EXPECT_EQ(text, LitPixels());
    EXPECT_EQ(text.size(), 16u);
    mRenderer->EndFrame(false);
}

TEST_F(TextRenderTest, GoldenParagraphOnTheBackBufferAndInATexture)
{
    texttest::LayoutPtr layout(
        TTextLayout::Create(texttest::kParagraph, 190, 120, "", 0, 14, TVec4(1, 1, 1, 1)));
    ASSERT_TRUE(layout->UpdateHoverLink(&texttest::kParagraphLinkPoint, 2));
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600),
                        TVec4(0x20 / 255.0f, 0x20 / 255.0f, 0x20 / 255.0f, 1));
    ASSERT_TRUE(mRenderer->Begin2d());
    TTextLayout::DrawInRect(layout.get(), TRect(4, 2, 204, 102), 1, 2, 1);
    mRenderer->End2d();
    vectest::CompareWithGolden(BackArea(200, 100), 200, 100, "text_paragraph_back_buffer.png");
    mRenderer->EndFrame(false);

    std::shared_ptr<TTexture> texture = TTexture::Create(200, 100, true);
    ASSERT_NE(texture, nullptr);
    auto target = std::make_shared<TTextureVecTarget>(texture);
    layout->Draw(TVec2(4, 2), 100, 1, 2, 1, target);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(texture->Lock(pixels, pitch));
    std::vector<uint32_t> image;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            image.push_back(pixels[y * pitch + x] | 0xFF000000u);
    texture->Unlock();
    vectest::CompareWithGolden(image, 200, 100, "text_paragraph_texture.png");
}

TEST_F(TextRenderTest, GoldenStatisticsOverlay)
{
    SetConfig("current_sprite_count", "42");
    SetConfig("texture_ram_allocated", "2048");
    SetConfig("max_texture_ram_allocated", "4096");
    EXPECT_FALSE(mRenderer->ToggleStatsOverlay());
    // Fifteen frames 10 ms apart: 107.142860 frames per second on the last one.
    for (int i = 0; i < 15; ++i)
    {
        ASSERT_TRUE(mRenderer->BeginDraw(false));
        mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(1, 1, 1, 1));
        sys::AdvanceManualClock(10);
        mRenderer->EndFrame(false);
    }
    vectest::CompareWithGolden(BackArea(320, 72), 320, 72, "text_statistics_overlay.png");
}

} // namespace
