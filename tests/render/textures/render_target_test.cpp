// Render targets: each kind's copy back into the texture, a texture larger than the display, the
// alpha target on a 32-bit and a 16-bit display, the refusals, and the frame texture (taken only
// at the root's size, filled at the end of a frame and never from a target's own end).
#include "render/render_test_support.h"

#include "render/textures/texture.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class RenderTargetTest : public OpenDisplayTest
{
protected:
    static std::shared_ptr<Surface> SurfaceOf(const std::shared_ptr<TTexture>& texture)
    {
        return static_cast<TDxTextureData*>(texture->GetData())->GetSurface();
    }
    // Renders a fill of `colour` over (0, 0, w, h) into the texture as a target of `kind`.
    void Render(const std::shared_ptr<TTexture>& texture, int kind, const TVec4& colour, int w = 8,
                int h = 8)
    {
        ASSERT_TRUE(mRenderer->BeginRenderTarget(texture, kind));
        if (w > 0)
            mRenderer->FillRect(TRect(0, 0, w, h), colour);
        mRenderer->EndDraw();
        EXPECT_FALSE(mRenderer->InDrawBlock());
        EXPECT_EQ(Data().mRenderTargetTexture, nullptr);
    }
};

TEST_F(RenderTargetTest, KindsCopyTheAreaBack)
{
    auto texture = TTexture::Create(16, 16, true);
    Render(texture, 0, TVec4(0, 1, 0, 0.25f));
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(7, 7), 0xFF00FF00u) << "kind 0: alpha 255";
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(8, 8) >> 24, 0xFFu) << "every texel's alpha";

    // Kinds 2 and 3 start from the texture's picture.
    SurfaceOf(texture)->WritePixel(12, 12, 0xFF123456);
    Render(texture, 2, TVec4(1, 0, 0, 1));
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(12, 12), 0xFF123456u);
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(0, 0), 0xFFFF0000u);
    Render(texture, 1, TVec4(0, 0, 1, 1));
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(3, 3) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(RenderTargetTest, OnlyTheDisplaysPartOfALargerTextureIsATarget)
{
    auto big = TTexture::Create(1024, 1024, true);
    ASSERT_NE(big, nullptr);
    SurfaceOf(big)->WritePixel(900, 700, 0xFF445566);
    Render(big, 0, TVec4(1, 1, 1, 1), 1024, 1024);
    EXPECT_EQ(SurfaceOf(big)->ReadPixel(799, 599), 0xFFFFFFFFu);
    EXPECT_EQ(SurfaceOf(big)->ReadPixel(900, 700) & 0xFFFFFF, 0x445566u);
}

TEST_F(RenderTargetTest, AlphaTargetTakesTheIntensityAsAlpha)
{
    auto texture = TTexture::Create(8, 8, true);
    SurfaceOf(texture)->WritePixel(2, 2, 0x00ABCDEF);
    // The colour's alpha arrives as grey; its lowest byte becomes the texel's alpha.
    Render(texture, 4, TVec4(1, 1, 1, 0.5f), 4, 4);
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(2, 2), 0x7FABCDEFu) << "colours stay";
    EXPECT_EQ(SurfaceOf(texture)->ReadPixel(5, 5) >> 24, 0u) << "the area was cleared first";
}

class SixteenBitTargetTest : public RenderTargetTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        Data().mLowMemoryVideo = true;
        Platform().SetDisplay(800, 600, true, false, false, false);
        ASSERT_EQ(Data().mBitDepth, 16);
    }
};

TEST_F(SixteenBitTargetTest, AlphaFromTheRedChannelsTopBits)
{
    auto texture = TTexture::Create(8, 8, true);
    Render(texture, 4, TVec4(1, 1, 1, 0.5f), 4, 4);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(texture->Lock(pixels, pitch));
    // Grey 127 is red 15 of 31 on the display, so alpha 15 << 3 = 0x78, which the texture's
    // A4R4G4B4 format (16-bit displays) keeps as 7 of 15: 0x70.
    EXPECT_EQ(IdentifyFormat(SurfaceOf(texture)->GetPixelFormat()), FormatId::A4R4G4B4);
    EXPECT_EQ(pixels[0] >> 24, 0x70u);
    texture->Unlock();
}

TEST_F(RenderTargetTest, Refusals)
{
    EXPECT_FALSE(mRenderer->BeginRenderTarget(nullptr, 0));
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    EXPECT_FALSE(mRenderer->BeginRenderTarget(TTexture::Create(8, 8, false), 0));
    mRenderer->EndFrame(false);

    Platform().OnOutOfVideoMemory(); // broken until the next display
    EXPECT_FALSE(mRenderer->BeginRenderTarget(TTexture::Create(8, 8, false), 0));
}

TEST_F(RenderTargetTest, FrameTextureAtTheRootSizeReceivesTheFrameOnly)
{
    mApp->GetWindowManager()->CreateRoot(800, 600);
    mRenderer->SetFrameTexture(TTexture::Create(640, 480, false));
    EXPECT_EQ(mRenderer->GetFrameTexture(), nullptr);
    auto frame = TTexture::Create(800, 600, false);
    mRenderer->SetFrameTexture(frame);
    ASSERT_EQ(mRenderer->GetFrameTexture(), frame);

    // A render target's own end copies nothing into the frame texture.
    Render(TTexture::Create(8, 8, false), 0, TVec4(1, 0, 0, 1));
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(0, 0) & 0xFFFFFF, 0u);

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 1, 1));
    mRenderer->EndFrame(true);
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(799, 599) & 0xFFFFFF, 0x0000FFu);
    mRenderer->SetFrameTexture(nullptr);
    EXPECT_EQ(mRenderer->GetFrameTexture(), nullptr);
}

TEST_F(RenderTargetTest, FrameTextureKeepsTheAlphaAMaskPaintedIntoIt)
{
    // The ghost view's overlay: a mask pass paints the alpha once, then every finished frame
    // renews the colours under that alpha (forcing it opaque would hide what the overlay covers).
    mApp->GetWindowManager()->CreateRoot(800, 600);
    auto frame = TTexture::Create(800, 600, true);
    mRenderer->SetFrameTexture(frame);
    ASSERT_EQ(mRenderer->GetFrameTexture(), frame);
    Render(frame, 4, TVec4(1, 1, 1, 0.5f), 400, 600);
    for (const TVec4& colour : {TVec4(0, 0, 1, 1), TVec4(1, 0, 0, 1)})
    {
        ASSERT_TRUE(mRenderer->BeginDraw(false));
        mRenderer->FillRect(TRect(0, 0, 800, 600), colour);
        mRenderer->EndFrame(true);
    }
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(10, 10), 0x7FFF0000u);
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(799, 599), 0x00FF0000u);

    // A target of kind 0 still ends opaque.
    mRenderer->SetFrameTexture(nullptr);
    Render(frame, 0, TVec4(0, 1, 0, 1));
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(5, 5), 0xFF00FF00u);
    EXPECT_EQ(SurfaceOf(frame)->ReadPixel(799, 599) >> 24, 0xFFu);
}

} // namespace
