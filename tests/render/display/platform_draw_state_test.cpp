// Draw state at the device: the blend table with its texture stages (normal draws and alpha
// targets, the two options), pixels drawn over a known background in each mode (including which
// fully transparent pixels the alpha test drops), the viewport rule, options, the 16-bit index
// limit and the expanded indexed draw.
#include "render/render_test_support.h"

#include "platform/config/config.h"
#include "sys/display/vertex_formats.h"

using namespace rendertest;
using namespace sys::display;

namespace
{

class DrawStateTest : public OpenDisplayTest
{
protected:
    void TearDown() override
    {
        Data().mRenderTargetTexture.reset();
        DisplayTest::TearDown();
    }
    uint32_t State(RenderState which)
    {
        uint32_t value = 0;
        Data().mDevice->GetRenderState(which, &value);
        return value;
    }
    uint32_t Stage(TextureStageState which)
    {
        uint32_t value = 0;
        Data().mDevice->GetTextureStageState(0, which, &value);
        return value;
    }
    // Any address stands in for the texture of an alpha target: only its presence is asked. The
    // pointer shares no ownership, so nothing is read or written through it (an owning pointer
    // would set up the texture's shared-from-this link inside the stand-in).
    void BeginAlphaTarget()
    {
        static int stand;
        Data().mRenderTargetKind = 4;
        Data().mRenderTargetTexture =
            std::shared_ptr<TTexture>(std::shared_ptr<void>(), reinterpret_cast<TTexture*>(&stand));
    }
    // A pre-lit square of `colour` over pixels (10, 10)-(20, 20), drawn in a frame.
    void DrawSquare(int mode, uint32_t colour)
    {
        ASSERT_TRUE(Platform().BeginScene(false));
        Platform().Begin2d();
        Platform().SetBlendMode(mode);
        std::vector<LVertex> quad = {{10, 10, 0.5f, 0, colour, 0, 0, 0},
                                     {20, 10, 0.5f, 0, colour, 0, 1, 0},
                                     {20, 20, 0.5f, 0, colour, 0, 1, 1},
                                     {10, 20, 0.5f, 0, colour, 0, 0, 1}};
        TVertexSet set{kVertexColored, quad.data(), 4};
        Platform().DrawVertices(PT_TRIANGLEFAN, set);
        Platform().End2d();
        Platform().EndDraw(false);
    }
    uint32_t Pixel(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
    void Background(uint32_t rgb)
    {
        Platform().FillRect(TRect(0, 0, 800, 600),
                            TVec4(((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f,
                                  (rgb & 0xFF) / 255.0f, 1.0f));
    }
};

TEST_F(DrawStateTest, BlendTable)
{
    struct Row
    {
        int mode;
        bool alphaTarget;
        bool newSubtractive;
        uint32_t source, dest, enabled;
    };
    const Row rows[] = {
        {0, false, false, BLEND_SRCALPHA, BLEND_INVSRCALPHA, 1},
        {0, true, false, BLEND_SRCALPHA, BLEND_ONE, 1},
        {2, false, false, BLEND_SRCALPHA, BLEND_ONE, 1},
        {3, false, false, BLEND_ZERO, BLEND_INVSRCCOLOR, 1},
        {3, false, true, BLEND_ZERO, BLEND_INVSRCCOLOR, 1},
        {3, true, false, BLEND_SRCALPHA, BLEND_INVSRCALPHA, 1},
        {3, true, true, BLEND_ONE, BLEND_ONE, 1},
        {4, false, false, BLEND_ZERO, BLEND_SRCCOLOR, 1},
        {4, true, false, BLEND_ZERO, BLEND_SRCCOLOR, 1},
    };
    for (const Row& row : rows)
    {
        Data().mRenderTargetTexture.reset();
        if (row.alphaTarget)
            BeginAlphaTarget();
        Data().mNewSubtractive = row.newSubtractive;
        Platform().SetBlendMode(row.mode);
        EXPECT_EQ(State(RS_SRCBLEND), row.source) << row.mode << row.alphaTarget;
        EXPECT_EQ(State(RS_DESTBLEND), row.dest) << row.mode << row.alphaTarget;
        EXPECT_EQ(State(RS_ALPHABLENDENABLE), row.enabled);
    }
    // Opaque only switches blending off.
    Platform().SetBlendMode(4);
    Platform().SetBlendMode(1);
    EXPECT_EQ(State(RS_ALPHABLENDENABLE), 0u);
    EXPECT_EQ(State(RS_SRCBLEND), static_cast<uint32_t>(BLEND_ZERO));
    EXPECT_EQ(State(RS_DESTBLEND), static_cast<uint32_t>(BLEND_SRCCOLOR));
}

TEST_F(DrawStateTest, TextureStagesForEachCase)
{
    Data().mNewSubtractive = false;
    Platform().SetBlendMode(0);
    EXPECT_EQ(State(RS_TEXTUREFACTOR), 0xFFFFFFFFu);
    EXPECT_EQ(Stage(TSS_COLORARG1), static_cast<uint32_t>(TA_TEXTURE));
    EXPECT_EQ(Stage(TSS_COLOROP), static_cast<uint32_t>(TOP_MODULATE));
    EXPECT_EQ(Stage(TSS_ALPHAARG1), static_cast<uint32_t>(TA_TEXTURE));
    EXPECT_EQ(Stage(TSS_ALPHAOP), static_cast<uint32_t>(TOP_MODULATE));
    Platform().SetBlendMode(1);
    EXPECT_EQ(Stage(TSS_ALPHAARG1), static_cast<uint32_t>(TA_TFACTOR));
    EXPECT_EQ(Stage(TSS_ALPHAOP), static_cast<uint32_t>(TOP_SELECTARG1));
    Data().mNewSubtractive = true;
    Platform().SetBlendMode(3);
    EXPECT_EQ(Stage(TSS_ALPHAARG1), static_cast<uint32_t>(TA_TFACTOR));

    BeginAlphaTarget();
    Data().mNewSubtractive = false;
    Data().mFacadeTextureBound = true;
    Platform().SetBlendMode(0);
    EXPECT_EQ(Stage(TSS_COLORARG1), TA_TEXTURE | TA_ALPHAREPLICATE);
    EXPECT_EQ(Stage(TSS_COLOROP), static_cast<uint32_t>(TOP_SELECTARG1));
    EXPECT_EQ(Stage(TSS_ALPHAARG1), static_cast<uint32_t>(TA_TFACTOR));
    EXPECT_EQ(Stage(TSS_ALPHAOP), static_cast<uint32_t>(TOP_SELECTARG1));
    Data().mNewRenderBlend = true;
    Platform().SetBlendMode(0);
    EXPECT_EQ(Stage(TSS_COLORARG2), TA_DIFFUSE | TA_ALPHAREPLICATE);
    EXPECT_EQ(Stage(TSS_COLOROP), static_cast<uint32_t>(TOP_MODULATE));
    Data().mFacadeTextureBound = false;
    Platform().SetBlendMode(0);
    EXPECT_EQ(Stage(TSS_COLORARG1), TA_DIFFUSE | TA_ALPHAREPLICATE);
    EXPECT_EQ(Stage(TSS_COLOROP), static_cast<uint32_t>(TOP_SELECTARG1));
    Data().mNewSubtractive = true;
    Platform().SetBlendMode(3);
    EXPECT_EQ(Stage(TSS_COLORARG1), static_cast<uint32_t>(TA_TFACTOR));
}

TEST_F(DrawStateTest, PixelsOverAKnownBackgroundInEachMode)
{
    struct Row
    {
        int mode;
        bool newSubtractive;
        uint32_t colour;
        uint32_t expected;
    };
    // Background (100, 150, 200); an unbound texture samples opaque white, so the square's
    // colour is its vertices' colour.
    const Row rows[] = {
        {0, false, 0xFF204060, 0x204060}, // opaque source replaces
        {0, false, 0x00204060, 0x6496C8}, // alpha 0: dropped by the alpha test
        {1, false, 0x00204060, 0x204060}, // opaque mode draws alpha 0 (alpha from the factor)
        {2, false, 0xFFC86432, 0xFFFAFA}, // additive, clamped
        {2, false, 0x00C86432, 0x6496C8}, // dropped
        {3, false, 0xFFFF00FF, 0x009600}, // destination times (1 - source)
        {3, false, 0x00FF00FF, 0x6496C8}, // dropped
        {3, true, 0x00FF00FF, 0x009600},  // with "new_subtractive": drawn
        {4, false, 0xFFFF00FF, 0x6400C8}, // destination times source
    };
    for (const Row& row : rows)
    {
        Data().mNewSubtractive = row.newSubtractive;
        Background(0x6496C8);
        DrawSquare(row.mode, row.colour);
        EXPECT_EQ(Pixel(15, 15), row.expected)
            << "mode " << row.mode << " colour " << std::hex << row.colour;
        EXPECT_EQ(Pixel(10, 10), row.expected) << "the square's first pixel";
        EXPECT_EQ(Pixel(20, 20), 0x6496C8u) << "right and bottom edges are outside";
    }
}

TEST_F(DrawStateTest, ViewportRuleAndBadViewportRollback)
{
    Viewport viewport;
    Platform().SetViewport(900, 0, 1000, 600);
    Data().mDevice->GetViewport(&viewport);
    EXPECT_EQ(viewport.x, 799u);
    EXPECT_EQ(viewport.width, 1u);
    EXPECT_EQ(viewport.height, 600u);

    Platform().SetViewport(-5, -5, 100, 50);
    Data().mDevice->GetViewport(&viewport);
    EXPECT_EQ(viewport, (Viewport{0, 0, 100, 50, 0, 1}));

    Data().mDevice->mSetViewportAnswers = {Result::InvalidParams};
    Platform().SetViewport(10, 20, 30, 40);
    EXPECT_NE(Log().find("Bad viewport: 10, 20, 30, 40"), std::string::npos);
    EXPECT_EQ(Data().mViewport, TRect(-5, -5, 100, 50));
    Data().mDevice->GetViewport(&viewport);
    EXPECT_EQ(viewport, (Viewport{0, 0, 100, 50, 0, 1}));

    // The clip rectangle cuts the applied viewport; popping applies without it.
    EXPECT_TRUE(Platform().SetClipRect(TRect(50, 10, 800, 600)));
    Data().mDevice->GetViewport(&viewport);
    EXPECT_EQ(viewport, (Viewport{50, 10, 50, 40, 0, 1}));
    Platform().PushViewport(0, 0, 400, 300);
    EXPECT_EQ(Data().mViewport, TRect(0, 0, 400, 300));
    Platform().PopViewport();
    EXPECT_EQ(Data().mViewport, TRect(-5, -5, 100, 50));
    Data().mDevice->GetViewport(&viewport);
    EXPECT_EQ(viewport, (Viewport{0, 0, 100, 50, 0, 1}));
    // An empty stack: logged, nothing changes.
    Platform().PopViewport();
    EXPECT_EQ(Data().mViewport, TRect(-5, -5, 100, 50));
    EXPECT_NE(Log().find("PopViewport: no viewport was pushed"), std::string::npos);
}

TEST_F(DrawStateTest, OptionsAndSimpleModes)
{
    Platform().SetOption("antialias", "1");
    EXPECT_EQ(State(RS_ANTIALIAS), static_cast<uint32_t>(ANTIALIAS_SORTINDEPENDENT));
    EXPECT_STREQ(Platform().GetOption("antialias").c_str(), "1");
    Platform().SetOption("antialias", "0");
    EXPECT_EQ(State(RS_ANTIALIAS), static_cast<uint32_t>(ANTIALIAS_NONE));
    Platform().SetOption("new_render_blend", "1");
    EXPECT_TRUE(Data().mNewRenderBlend);
    EXPECT_STREQ(Platform().GetOption("new_render_blend").c_str(), "");
    Platform().SetOption("hint_antialias", "2");
    EXPECT_STREQ(Platform().GetOption("hint_antialias").c_str(), "1");
    EXPECT_STREQ(Platform().GetOption("16bitmode").c_str(), "0");
    Data().mLowMemoryVideo = true;
    EXPECT_STREQ(Platform().GetOption("16bitmode").c_str(), "1");
    EXPECT_STREQ(Platform().GetOption("fps").c_str(), "");

    Platform().SetCullMode(7);
    EXPECT_EQ(State(RS_CULLMODE), static_cast<uint32_t>(CULL_NONE));
    Platform().SetCullMode(2);
    EXPECT_EQ(State(RS_CULLMODE), static_cast<uint32_t>(CULL_CW));
    Platform().SetShadeMode(5);
    EXPECT_EQ(State(RS_SHADEMODE), static_cast<uint32_t>(SHADE_FLAT));
    Platform().SetTextureAddress(2, 9);
    EXPECT_EQ(Stage(TSS_ADDRESSU), static_cast<uint32_t>(TADDRESS_MIRROR));
    EXPECT_EQ(Stage(TSS_ADDRESSV), static_cast<uint32_t>(TADDRESS_CLAMP));
    Platform().SetTextureFilter(0);
    EXPECT_EQ(Stage(TSS_MIPFILTER), static_cast<uint32_t>(TFP_POINT));
    EXPECT_TRUE(Platform().Begin3d());
    EXPECT_EQ(State(RS_CULLMODE), static_cast<uint32_t>(CULL_CCW));
    EXPECT_EQ(State(RS_CLIPPING), 1u);
    EXPECT_EQ(Stage(TSS_ADDRESSU), static_cast<uint32_t>(TADDRESS_WRAP));

    TLight light;
    light.mType = 2;
    light.mRange = 10;
    Platform().SetLight(3, &light);
    Light set;
    Data().mDevice->GetLight(3, &set);
    EXPECT_EQ(set.type, static_cast<uint32_t>(LIGHT_SPOT));
    EXPECT_EQ(set.falloff, 1.0f);
    bool enabled = false;
    Data().mDevice->GetLightEnable(3, &enabled);
    EXPECT_TRUE(enabled);
    Platform().SetLight(3, nullptr);
    Data().mDevice->GetLightEnable(3, &enabled);
    EXPECT_FALSE(enabled);
}

TEST_F(DrawStateTest, IdentityIndicesStopAt65535Vertices)
{
    SetConfig("brokenindexedverts", "1");
    // One point per pixel, row by row (at pixel centres, half a pixel in under the 2-D offset):
    // the 65536th point is never drawn.
    std::vector<LVertex> points(70000);
    for (uint32_t i = 0; i < points.size(); ++i)
        points[i] = LVertex{static_cast<float>(i % 800) + 0.5f,
                            static_cast<float>(i / 800) + 0.5f,
                            0.5f,
                            0,
                            0xFFFFFFFF,
                            0,
                            0,
                            0};
    Background(0);
    ASSERT_TRUE(Platform().BeginScene(false));
    Platform().Begin2d();
    Platform().DrawVertices(PT_POINTLIST, TVertexSet{kVertexColored, points.data(), 70000});
    Platform().End2d();
    Platform().EndDraw(false);
    EXPECT_EQ(Data().mIndexCapacity, 65535);
    EXPECT_EQ(Data().mIndexBuffer.size(), 65535u);
    EXPECT_EQ(Data().mIndexBuffer[65534], 65534);
    EXPECT_EQ(Pixel(65534 % 800, 65534 / 800), 0xFFFFFFu);
    EXPECT_EQ(Pixel(65535 % 800, 65535 / 800), 0u);
}

TEST_F(DrawStateTest, ExpandedIndexedDrawRefusesIndicesPastTheVertices)
{
    Platform().mBrokenIndexedVerts = true;
    Background(0);
    std::vector<LVertex> quad = {{10, 10, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                                 {20, 10, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                                 {20, 20, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0},
                                 {10, 20, 0.5f, 0, 0xFFFFFFFF, 0, 0, 0}};
    const uint16_t bad[6] = {0, 1, 2, 0, 2, 4};
    const uint16_t good[6] = {0, 1, 2, 0, 2, 3};
    ASSERT_TRUE(Platform().BeginScene(false));
    Platform().Begin2d();
    TVertexSet set{kVertexColored, quad.data(), 4};
    Platform().DrawIndexedVertices(PT_TRIANGLELIST, set, bad, 6);
    EXPECT_EQ(Pixel(15, 15), 0u);
    EXPECT_NE(Log().find("DrawIndexedVertices: index 4 of 4 vertices refused"), std::string::npos);
    Platform().DrawIndexedVertices(PT_TRIANGLELIST, set, good, 6);
    EXPECT_EQ(Pixel(15, 15), 0xFFFFFFu);
    EXPECT_EQ(Data().mExpandedVertices.size(), 6u * 32);
    Platform().End2d();
    Platform().EndDraw(false);
}

} // namespace
