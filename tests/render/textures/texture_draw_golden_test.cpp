// Whole pictures of the drawing path compared byte for byte with golden PNGs under
// tests/data/render (MURKWELL_UPDATE_GOLDEN=1 writes them): a texture drawn at whole and
// fractional positions, mirrored, scaled, rotated and with a source rectangle, fills inside and
// outside a frame, and a lit mesh under a perspective projection, a light and a material.
#include "render/render_test_support.h"

#include "render/image_writers.h"
#include "render/textures/texture.h"
#include "sys/display/presenter/surface_png.h"
#include "sys/display/vertex_formats.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

using namespace rendertest;
using namespace sys::display;

namespace
{

class DrawGoldenTest : public OpenDisplayTest
{
protected:
    void TearDown() override
    {
        RegisterMemoryFileName("picture.png", nullptr, 0);
        DisplayTest::TearDown();
    }
    std::string mFile;
};

TEST_F(DrawGoldenTest, TextureDrawsAndFills)
{
    imagetest::PngPlan plan;
    plan.width = 16;
    plan.height = 8;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            plan.samples.insert(plan.samples.end(),
                                {static_cast<uint16_t>(x * 16), static_cast<uint16_t>(y * 32),
                                 static_cast<uint16_t>(255 - x * 8),
                                 static_cast<uint16_t>(x == 15 ? 0 : 255)});
    mFile = imagetest::EncodePng(plan);
    RegisterMemoryFileName("picture.png", mFile.data(), static_cast<uint32_t>(mFile.size()));
    auto picture = TTexture::Get("picture.png", 0);
    ASSERT_NE(picture, nullptr);

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0.1f, 0.1f, 0.2f, 1));
    ASSERT_TRUE(mRenderer->Begin2d());
    mRenderer->SetTextureFilter(0);
    picture->DrawAt(28, 24, 1, 1, 0, 0);        // whole pixels
    picture->DrawAt(60.5f, 24.25f, 1, 1, 0, 0); // fractional
    picture->DrawAt(100, 24, 1, 1, 0, kDrawMirrorX | kDrawMirrorY);
    picture->DrawAt(150, 32, 0.5f, 2, 0, 0); // scaled, half transparent
    mRenderer->SetTextureFilter(1);
    picture->DrawAt(220, 32, 1, 1.5f, 0.5f, 0); // rotated, filtered
    TDrawSpec part(TVec2(270, 20));
    part.mFlags = kDrawSourceRect | kDrawOrigin;
    part.mSourceRect = TRect(4, 2, 12, 6);
    part.mColor = TVec4(1, 0.5f, 0.5f, 1);
    picture->Draw(part);
    mRenderer->End2d();
    mRenderer->FillRect(TRect(300, 8, 330, 40), TVec4(0.9f, 0.8f, 0.1f, 1)); // inside a frame
    mRenderer->EndFrame(false);
    Platform().FillRect(TRect(340, 8, 370, 40), TVec4(0.2f, 0.9f, 0.4f, 1)); // outside one
    CompareWithGolden(*Data().mBackBuffer, Rect{0, 0, 384, 64}, "texture_draws.png");
}

TEST_F(DrawGoldenTest, LitMeshUnderPerspective)
{
    TMat4 world;
    world.SetIdentity();
    world.Rotate(TVec3(0, 1, 0), 0.6f);
    world.Translate(TVec3(0, 0, 8));
    ASSERT_NO_FATAL_FAILURE(BeginLit3d(*mRenderer, TVec4(0, 0, 0, 1), world,
                                       TVec4(0.8f, 0.6f, 0.3f, 1), 0.2f, 8,
                                       TVec3(-0.3f, -0.2f, 1)));
    // A square facing the camera, normals toward it.
    const Vertex quad[4] = {{-1, 1, 0, 0, 0, -1, 0, 0},
                            {1, 1, 0, 0, 0, -1, 1, 0},
                            {1, -1, 0, 0, 0, -1, 1, 1},
                            {-1, -1, 0, 0, 0, -1, 0, 1}};
    mRenderer->SetCullMode(1);
    mRenderer->DrawVertices(PT_TRIANGLEFAN, TVertexSet{kVertexUnlit, quad, 4});
    mRenderer->End3d();
    mRenderer->EndFrame(false);
    CompareWithGolden(*Data().mBackBuffer, Rect{250, 150, 550, 450}, "lit_mesh.png");
}

} // namespace
