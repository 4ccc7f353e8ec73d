// Blend modes 0 to 4 checked on texels: a known texture drawn over a known background inside a
// render target, read back with TTexture::Lock, against values worked out by hand from the blend
// and texture-stage tables (which fully transparent texels the alpha test drops included), with
// and without "new_subtractive", and into an alpha target.
#include "render/render_test_support.h"

#include "render/textures/texture.h"

using namespace rendertest;

namespace
{

constexpr uint32_t kBackground = 0x6496C8; // (100, 150, 200)
// Texels: opaque magenta, fully transparent white, opaque black, opaque white.
constexpr uint32_t kTexels[4] = {0xFFFF00FF, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF};

class BlendTexelTest : public OpenDisplayTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenDisplayTest::SetUp());
        mSource = TTexture::Create(4, 2, true);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        ASSERT_TRUE(mSource->Lock(pixels, pitch));
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                pixels[y * pitch + x] = kTexels[x];
        mSource->Unlock();
    }
    // The four texels of row 0 of a target after drawing the source in `mode` as `kind`.
    std::vector<uint32_t> Draw(int mode, int kind, bool newSubtractive)
    {
        Platform().SetOption("new_subtractive", newSubtractive ? "1" : "0");
        auto target = TTexture::Create(8, 8, true);
        Platform().FillRect(TRect(0, 0, 8, 8), TVec4(100 / 255.0f, 150 / 255.0f, 200 / 255.0f, 1),
                            target);
        EXPECT_TRUE(mRenderer->BeginRenderTarget(target, kind));
        EXPECT_TRUE(mRenderer->Begin2d());
        mRenderer->SetTextureFilter(0);
        TDrawSpec spec;
        spec.mFlags = kDrawOrigin;
        spec.mBlendMode = mode;
        mSource->Draw(spec);
        mRenderer->End2d();
        mRenderer->EndDraw();
        std::vector<uint32_t> row;
        uint32_t* pixels = nullptr;
        int pitch = 0;
        EXPECT_TRUE(target->Lock(pixels, pitch));
        row.assign(pixels, pixels + 4);
        target->Unlock();
        return row;
    }

    std::shared_ptr<TTexture> mSource;
};

TEST_F(BlendTexelTest, EachModeOverAKnownBackground)
{
    struct Row
    {
        int mode;
        bool newSubtractive;
        uint32_t expected[4]; // colours; alpha is 255 after a kind-2 target
    };
    const uint32_t bg = kBackground;
    const Row rows[] = {
        {0, false, {0xFF00FF, bg, 0x000000, 0xFFFFFF}},
        {1, false, {0xFF00FF, 0xFFFFFF, 0x000000, 0xFFFFFF}}, // alpha from the factor: drawn
        {2, false, {0xFF96FF, bg, bg, 0xFFFFFF}},
        {3, false, {0x009600, bg, bg, 0x000000}},
        {3, true, {0x009600, 0x000000, bg, 0x000000}}, // drawn with the factor's alpha
        {4, false, {0x6400C8, bg, 0x000000, bg}},
    };
    for (const Row& row : rows)
    {
        const std::vector<uint32_t> texels = Draw(row.mode, 2, row.newSubtractive);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_EQ(texels[i] & 0xFFFFFF, row.expected[i])
                << "mode " << row.mode << (row.newSubtractive ? " new" : "") << " texel " << i;
            EXPECT_EQ(texels[i] >> 24, 0xFFu);
        }
    }
}

TEST_F(BlendTexelTest, AlphaTargetReceivesTheSourceAlpha)
{
    // Colours stay as the target held them (its area was cleared on the back buffer only).
    std::vector<uint32_t> texels = Draw(0, 4, false);
    EXPECT_EQ(texels[0], 0xFF000000u | kBackground);
    EXPECT_EQ(texels[1], kBackground) << "alpha 0 arrives as grey 0";
    EXPECT_EQ(texels[2] >> 24, 0xFFu);
    // Subtractive with "new_subtractive": the factor's white is added, alpha 255 everywhere drawn.
    texels = Draw(3, 4, true);
    for (uint32_t texel : texels)
        EXPECT_EQ(texel >> 24, 0xFFu);
}

} // namespace
