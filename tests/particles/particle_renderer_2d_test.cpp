// The 2-D particle renderer: its record and init string, the vertices it builds (corners, colours,
// texture coordinates) and the draws it submits in both index modes, the blend option, and whole
// pictures drawn by the software renderer compared with golden PNGs.
#include "render/render_test_support.h"

#include "particles/particle_renderer_2d.h"
#include "platform/config/config.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"
#include "sys/display/presenter/surface_png.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <list>

using namespace rendertest;

namespace
{
// pPosition, pUp, pScale, pColor, pFrame.
struct Particle
{
    float f[10] = {0, 0, 0, -1, 1, 1, 1, 1, 1, 0};
    Particle& At(float x, float y)
    {
        f[0] = x;
        f[1] = y;
        return *this;
    }
    Particle& Up(float x, float y)
    {
        f[2] = x;
        f[3] = y;
        return *this;
    }
    Particle& Scale(float s)
    {
        f[4] = s;
        return *this;
    }
    Particle& Frame(float frame)
    {
        f[9] = frame;
        return *this;
    }
    Particle& Colour(float r, float g, float b, float a)
    {
        f[5] = r;
        f[6] = g;
        f[7] = b;
        f[8] = a;
        return *this;
    }
};

TEST(ParticleRenderer2d, RecordInitStringAndOptions)
{
    T2dParticleRenderer renderer;
    EXPECT_STREQ(renderer.GetInitString().c_str(),
                 "pPosition = Allocate(2);\npUp = Allocate(2);\npScale = Allocate(1);\npColor = "
                 "Allocate(4);\npFrame = Allocate(1);\n");
    EXPECT_EQ(renderer.GetParticleWidth(), 10);
    const float* defaults = renderer.GetDefaultParticle();
    EXPECT_EQ(std::vector<float>(defaults, defaults + 10),
              (std::vector<float>{0, 0, 0, -1, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(renderer.mSize, TVec2(1, 1));
    EXPECT_EQ(renderer.mBlendMode, 0);
    const float additive[4] = {2.9f, 0, 0, 0};
    renderer.SetOption("blendmode", additive);
    EXPECT_EQ(renderer.mBlendMode, 2);
    const float negative[4] = {-1.9f, 0, 0, 0};
    renderer.SetOption("blendmode", negative);
    EXPECT_EQ(renderer.mBlendMode, -1);
    renderer.SetOption("BlendMode", additive);
    renderer.SetOption("scale", additive);
    EXPECT_EQ(renderer.mBlendMode, -1);
    renderer.SetTexture(nullptr);
    EXPECT_EQ(renderer.mSize, TVec2(1, 1));
}

class ParticleRendererDrawTest : public DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    void TearDown() override
    {
        SetConfig("brokenindexedverts", "0");
        SetConfig("animatedparticles", "0");
        DisplayTest::TearDown();
    }
    // One draw of the particles inside a frame's 2-D block.
    void Draw(T2dParticleRenderer& renderer, std::vector<Particle>& particles, int capacity,
              const TVec3& position = TVec3(0, 0, 0), float alpha = 1.0f, bool endFrame = true)
    {
        std::list<float*> live;
        for (Particle& p : particles)
            live.push_back(p.f);
        if (!mRenderer->InDrawBlock())
        {
            ASSERT_TRUE(mRenderer->BeginDraw(false));
        }
        ASSERT_TRUE(mRenderer->Begin2d());
        renderer.Draw(position, alpha, live, capacity);
        mRenderer->End2d();
        if (endFrame)
            mRenderer->EndFrame(false);
    }
    static const TParticleVertex& Vertex(int i) { return T2dParticleRenderer::GetVertices()[i]; }
    static std::shared_ptr<TTexture> MakeTexture(uint32_t w, uint32_t h)
    {
        auto texture = TTexture::Create(w, h, true);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        EXPECT_TRUE(texture->Lock(pixels, pitch));
        // An alpha ramp from left to right over a colour that changes down the rows.
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                pixels[y * pitch + x] =
                    (255 - x * 255 / w) << 24 | (y * 255 / h) << 16 | 0x40 << 8 | 0xC0;
        texture->Unlock();
        return texture;
    }
    // A 32 x 16 sheet: frame 0 the left 16 x 16 square, registered at its bottom centre; frame 1
    // an 8 x 4 strip at (16, 4), registered at (2, 3); frame 2 the 16 x 8 bottom right.
    static std::shared_ptr<TAnimatedTexture> MakeAnimated()
    {
        auto texture = std::make_shared<TAnimatedTexture>();
        TAnimationDescription& d = texture->GetDescription();
        const int32_t frames[3][6] = {
            {0, 0, 16, 16, 8, 16}, {16, 4, 8, 4, 2, 3}, {16, 8, 16, 8, 8, 8}};
        for (const auto& f : frames)
        {
            TAnimationFrame frame;
            frame.mX = f[0];
            frame.mY = f[1];
            frame.mW = f[2];
            frame.mH = f[3];
            frame.mRegX = f[4];
            frame.mRegY = f[5];
            d.mFrames.push_back(frame);
        }
        d.mFrameCount = 3;
        d.mImageWidth = 32;
        d.mImageHeight = 16;
        TTextureData& data = *texture->GetData();
        data.mFlags = kTexAlpha | kTexCreated;
        EXPECT_TRUE(data.Create(32, 16, true));
        uint32_t* pixels = nullptr;
        int pitch = 0;
        EXPECT_TRUE(texture->Lock(pixels, pitch));
        // Each frame its own colour, the texel at (0, 0) white.
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 32; ++x)
                pixels[y * pitch + x] = x < 16  ? 0xFFFF4020u - y * 0x0800u
                                        : y < 8 ? 0xC020C0FFu
                                                : 0xFF40FF40u + (x - 16) * 0x08u;
        pixels[0] = 0xFFFFFFFFu;
        texture->Unlock();
        return texture;
    }
    uint32_t Back(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }

    TRenderer* mRenderer = nullptr;
};

TEST_F(ParticleRendererDrawTest, CornersForUpVectorsScaleAndTextureSize)
{
    T2dParticleRenderer renderer;
    // No texture: 1 x 1 pixel times the scale; the centre moved by the position less half a pixel.
    std::vector<Particle> particles = {Particle().At(10, 20).Scale(4),
                                       Particle().At(0, 0).Up(1, 0).Scale(2),
                                       Particle().At(0, 0).Up(0, -2)};
    Draw(renderer, particles, 3, TVec3(100, 50, 0.25f));
    const float tl[4][2] = {{-2, -2}, {2, -2}, {-2, 2}, {2, 2}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Vertex(i).x, 109.5f + tl[i][0]) << i;
        EXPECT_EQ(Vertex(i).y, 69.5f + tl[i][1]) << i;
        EXPECT_EQ(Vertex(i).z, 0.25f);
        EXPECT_EQ(Vertex(i).w, 0.5f);
        EXPECT_EQ(Vertex(i).specular, 0xFFFFFFFFu);
        EXPECT_EQ(Vertex(i).u, static_cast<float>(i & 1));
        EXPECT_EQ(Vertex(i).v, static_cast<float>(i >> 1));
    }
    // Up (1, 0): a quarter turn, the corner (-0.5, -0.5) at (M.x + sy/2, M.y - sx/2).
    EXPECT_EQ(Vertex(4).x, 99.5f + 1);
    EXPECT_EQ(Vertex(4).y, 49.5f - 1);
    EXPECT_EQ(Vertex(7).x, 99.5f - 1);
    EXPECT_EQ(Vertex(7).y, 49.5f + 1);
    // The up vector's length scales the quad.
    EXPECT_EQ(Vertex(8).x, 99.5f - 1);
    EXPECT_EQ(Vertex(11).y, 49.5f + 1);

    renderer.SetTexture(MakeTexture(8, 4));
    EXPECT_EQ(renderer.mSize, TVec2(8, 4));
    std::vector<Particle> one = {Particle().At(20, 30).Scale(0.5f)};
    Draw(renderer, one, 3);
    EXPECT_EQ(Vertex(0).x, 19.5f - 2);
    EXPECT_EQ(Vertex(0).y, 29.5f - 1);
    EXPECT_EQ(Vertex(3).x, 19.5f + 2);
    EXPECT_EQ(Vertex(3).y, 29.5f + 1);
}

TEST_F(ParticleRendererDrawTest, ColoursWithTheDrawsAlphaClamped)
{
    T2dParticleRenderer renderer;
    std::vector<Particle> particles = {Particle().Colour(1, 0.5f, 0.25f, 1),
                                       Particle().Colour(1.5f, -0.2f, 1, 1),
                                       Particle().Colour(0.1f, 0.2f, 0.3f, 0.8f)};
    Draw(renderer, particles, 3, TVec3(), 0.5f);
    EXPECT_EQ(Vertex(0).diffuse, 0x7FFF7F3Fu);
    EXPECT_EQ(Vertex(3).diffuse, 0x7FFF7F3Fu);
    // Channels above 1 or below 0 are clamped, not spilled into their neighbours.
    EXPECT_EQ(Vertex(4).diffuse, 0x7FFF00FFu);
    // 0.8 * 255 = 204 truncated, times 0.5: 102.
    EXPECT_EQ(Vertex(8).diffuse, 0x6619334Cu);
    // An alpha above 1 saturates instead of keeping the product's low 8 bits (510 -> 254).
    Draw(renderer, particles, 3, TVec3(), 2.0f);
    EXPECT_EQ(Vertex(0).diffuse >> 24, 255u);
    EXPECT_EQ(Vertex(8).diffuse >> 24, 255u);
    Draw(renderer, particles, 3, TVec3(), 0.0f);
    EXPECT_EQ(Vertex(0).diffuse >> 24, 0u);
}

TEST_F(ParticleRendererDrawTest, CountsInBothIndexModesAndNothingAtCapacityZero)
{
    {
        T2dParticleRenderer renderer;
        std::vector<Particle> particles(3);
        Draw(renderer, particles, 0);
        EXPECT_EQ(T2dParticleRenderer::GetVertices(), nullptr);
        EXPECT_EQ(T2dParticleRenderer::GetVertexCapacity(), 0);

        Draw(renderer, particles, 5);
        EXPECT_EQ(T2dParticleRenderer::GetVertexCapacity(), 40);
        auto counts = T2dParticleRenderer::GetLastDrawCounts();
        EXPECT_EQ(counts.mVertices, 12u);
        EXPECT_EQ(counts.mIndices, 18u);
        EXPECT_EQ(counts.mDraws, 1u);
        const uint16_t* indices = T2dParticleRenderer::GetIndices();
        ASSERT_NE(indices, nullptr);
        EXPECT_EQ(std::vector<uint16_t>(indices, indices + 12),
                  (std::vector<uint16_t>{0, 1, 2, 1, 3, 2, 4, 5, 6, 5, 7, 6}));
        // The arrays only grow while renderers live.
        Draw(renderer, particles, 2);
        EXPECT_EQ(T2dParticleRenderer::GetVertexCapacity(), 40);
    }
    // The last renderer gone, the arrays go with it; the next is built in the six-vertex order.
    EXPECT_EQ(T2dParticleRenderer::GetVertices(), nullptr);
    SetConfig("brokenindexedverts", "1");
    T2dParticleRenderer broken;
    EXPECT_EQ(broken.mBrokenIndexedVerts, 1);
    std::vector<Particle> particles = {Particle().At(10, 10).Scale(2), Particle()};
    Draw(broken, particles, 2);
    EXPECT_EQ(T2dParticleRenderer::GetVertexCapacity(), 24);
    EXPECT_EQ(T2dParticleRenderer::GetIndices(), nullptr);
    auto counts = T2dParticleRenderer::GetLastDrawCounts();
    EXPECT_EQ(counts.mVertices, 12u);
    EXPECT_EQ(counts.mIndices, 0u);
    const float corners[6][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(Vertex(i).x, 9.5f + corners[i][0]) << i;
        EXPECT_EQ(Vertex(i).y, 9.5f + corners[i][1]) << i;
        EXPECT_EQ(Vertex(i).u, corners[i][0] > 0 ? 1.0f : 0.0f) << i;
        EXPECT_EQ(Vertex(i).v, corners[i][1] > 0 ? 1.0f : 0.0f) << i;
    }
    // A renderer drawing with indices beside it builds the index array it needs again.
    SetConfig("brokenindexedverts", "0");
    T2dParticleRenderer indexed;
    Draw(indexed, particles, 2);
    EXPECT_NE(T2dParticleRenderer::GetIndices(), nullptr);
    EXPECT_EQ(T2dParticleRenderer::GetLastDrawCounts().mIndices, 12u);
    // More live particles than the capacity: only as many as the index array covers are drawn.
    std::vector<Particle> five(5);
    Draw(indexed, five, 2);
    EXPECT_EQ(T2dParticleRenderer::GetLastDrawCounts().mIndices, 24u);
}

TEST_F(ParticleRendererDrawTest, AnimatedFramesAndTheirShifts)
{
    T2dParticleRenderer renderer;
    renderer.SetTexture(MakeAnimated());
    EXPECT_EQ(renderer.mSize, TVec2(16, 16)); // the current frame's size
    std::vector<Particle> particles = {Particle().At(40, 40).Frame(1.9f),
                                       Particle().At(40, 40).Frame(3).Scale(2),
                                       Particle().At(40, 40).Frame(-0.9f)};
    Draw(renderer, particles, 3);
    // Frame 1 (truncated from 1.9) over the 32 x 16 surface; the size stays the texture's.
    const float frame1[4][2] = {{0.5f, 0.25f}, {0.75f, 0.25f}, {0.5f, 0.5f}, {0.75f, 0.5f}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Vertex(i).u, frame1[i][0]) << i;
        EXPECT_EQ(Vertex(i).v, frame1[i][1]) << i;
    }
    EXPECT_EQ(Vertex(0).x, 39.5f - 8);
    EXPECT_EQ(Vertex(3).y, 39.5f + 8);
    // A frame beyond the last samples the one texel at (0, 0); -0.9 truncates to frame 0.
    for (int i = 4; i < 8; ++i)
    {
        EXPECT_EQ(Vertex(i).u, 0.0f) << i;
        EXPECT_EQ(Vertex(i).v, 0.0f) << i;
    }
    EXPECT_EQ(Vertex(4).x, 39.5f - 16);
    EXPECT_EQ(Vertex(11).u, 0.5f);
    EXPECT_EQ(Vertex(11).v, 1.0f);

    // Shifted: frame 1 sized 8 x 4, moved by (R0 - R1 + (w1 - w0) / 2, ...) x scale =
    // ((8 - 2) + (-4), (16 - 3) + (-6)) x 2 = (4, 14); the shift ignores the turn.
    SetConfig("animatedparticles", "1");
    std::vector<Particle> shifted = {Particle().At(40, 40).Frame(1).Scale(2).Up(1, 0),
                                     Particle().At(40, 40).Frame(2).Scale(0.5f),
                                     Particle().At(40, 40).Frame(7)};
    Draw(renderer, shifted, 3);
    // Up (1, 0) turns the 16 x 8 quad: its first corner at (M.x + sy/2, M.y - sx/2).
    EXPECT_EQ(Vertex(0).x, 43.5f + 4);
    EXPECT_EQ(Vertex(0).y, 53.5f - 8);
    // Frame 2: 16 x 8 registered at (8, 8): (0 + 0, 8 - 4) x 0.5 = (0, 2), size 8 x 4.
    EXPECT_EQ(Vertex(4).x, 39.5f - 4);
    EXPECT_EQ(Vertex(4).y, 41.5f - 2);
    EXPECT_EQ(Vertex(7).x, 39.5f + 4);
    EXPECT_EQ(Vertex(7).y, 41.5f + 2);
    // Frame 7 does not exist: no size, shifted by frame 0's registration and half size lost,
    // (8 - 8, 16 - 8) = (0, 8).
    EXPECT_EQ(Vertex(8).x, 39.5f);
    EXPECT_EQ(Vertex(8).y, 47.5f);
    EXPECT_EQ(Vertex(11).x, 39.5f);
    // The texture's size is back for the next draw.
    EXPECT_EQ(renderer.mSize, TVec2(16, 16));
}

TEST_F(ParticleRendererDrawTest, IndexedDrawsTakeAtMost16384Quads)
{
    T2dParticleRenderer renderer;
    // Far off the screen: submitted and clipped.
    std::vector<Particle> particles(16385, Particle().At(-5000, -5000));
    Draw(renderer, particles, 16385);
    auto counts = T2dParticleRenderer::GetLastDrawCounts();
    EXPECT_EQ(counts.mVertices, 65540u);
    EXPECT_EQ(counts.mIndices, 16385u * 6);
    EXPECT_EQ(counts.mDraws, 2u);
}

TEST_F(ParticleRendererDrawTest, BlendOptionStaysAndTheRenderersModeReturnsToAlphaBlend)
{
    T2dParticleRenderer renderer;
    const float additive[4] = {2, 0, 0, 0};
    renderer.SetOption("blendmode", additive);
    std::vector<Particle> particles = {
        Particle().At(50, 50).Scale(4).Colour(0.25f, 0.25f, 0.25f, 1)};
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 100, 100), TVec4(0, 0, 0, 1));
    Draw(renderer, particles, 1, TVec3(), 1.0f, false);
    EXPECT_EQ(Data().mBlendMode, 0);
    EXPECT_EQ(Back(50, 50), 0x3F3F3Fu);
    // The second draw adds again: the option is used for each draw.
    Draw(renderer, particles, 1, TVec3(), 1.0f, false);
    EXPECT_EQ(Back(50, 50), 0x7E7E7Eu);
    EXPECT_EQ(renderer.mBlendMode, 2);
    EXPECT_EQ(Data().mBlendMode, 0);
    mRenderer->EndFrame(false);
}

// Each blend mode's column holds an untextured particle, a textured one, two of them turned, and
// three frames of an animated texture (the last beyond the last frame), over a gradient;
// MURKWELL_UPDATE_GOLDEN=1 writes the picture instead.
TEST_F(ParticleRendererDrawTest, GoldenBlendModesPlainTexturedAndAnimated)
{
    constexpr int kW = 100, kH = 60;
    ASSERT_TRUE(mRenderer->BeginDraw(false));
    for (int x = 0; x < kW; x += 4)
        mRenderer->FillRect(TRect(x, 0, x + 4, kH),
                            TVec4(x / 100.0f, 0.3f, 1.0f - x / 100.0f, 1.0f));
    auto texture = MakeTexture(8, 8);
    auto animated = MakeAnimated();
    for (int mode = 0; mode < 5; ++mode)
    {
        const float option[4] = {static_cast<float>(mode), 0, 0, 0};
        T2dParticleRenderer plain;
        plain.SetOption("blendmode", option);
        std::vector<Particle> a = {Particle().At(10, 10).Scale(8).Colour(1, 0.8f, 0.2f, 0.75f)};
        Draw(plain, a, 1, TVec3(mode * 20.0f, 0, 0), 1.0f, false);
        T2dParticleRenderer textured;
        textured.SetTexture(texture);
        textured.SetOption("blendmode", option);
        std::vector<Particle> b = {
            Particle().At(10, 30).Scale(1.5f).Colour(1, 1, 1, 1),
            Particle().At(10, 30).Up(0.7071f, -0.7071f).Colour(0.5f, 1, 1, 0.5f)};
        Draw(textured, b, 2, TVec3(mode * 20.0f, 0, 0), 1.0f, false);
        T2dParticleRenderer frames;
        frames.SetTexture(animated);
        frames.SetOption("blendmode", option);
        std::vector<Particle> c = {
            Particle().At(5, 45).Scale(0.5f).Frame(0),
            Particle().At(14, 45).Scale(0.5f).Frame(2).Up(1, 0).Colour(1, 1, 1, 0.75f),
            Particle().At(10, 54).Scale(0.25f).Frame(3).Colour(1, 0.5f, 0.5f, 1)};
        Draw(frames, c, 3, TVec3(mode * 20.0f, 0, 0), 1.0f, false);
    }
    std::vector<uint32_t> pixels;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            pixels.push_back(Data().mBackBuffer->ReadPixel(x, y) | 0xFF000000u);
    mRenderer->EndFrame(false);

    std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), kW, kH);
    std::string path = std::string(MURKWELL_TEST_DATA) + "/particles/blend_modes.png";
    const char* update = std::getenv("MURKWELL_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1")
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(png.data()),
                  static_cast<std::streamsize>(png.size()));
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << "missing golden " << path;
    std::vector<uint8_t> golden((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
    EXPECT_TRUE(golden == png) << "blend_modes.png differs from its golden picture";
}
} // namespace
