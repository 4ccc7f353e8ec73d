// The device: viewport rules, scene brackets and injected answers, Clear, culling, shading,
// depth test, perspective texturing, lighting and a lit cube.
#include "device_test_util.h"

#include <array>
#include <cmath>
#include <limits>
#include <map>

#include <gtest/gtest.h>

using namespace devtest;

namespace
{

TLVertex Tl(float x, float y, float z, uint32_t diffuse, float u = 0, float v = 0, float rhw = 1)
{
    return TLVertex{x, y, z, rhw, diffuse, 0, u, v};
}

void DrawTlRect(Device& dev, float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    TLVertex v[4] = {Tl(x0, y0, z, color), Tl(x1, y0, z, color), Tl(x1, y1, z, color),
                     Tl(x0, y1, z, color)};
    dev.DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, v, 4, 0);
}

std::shared_ptr<Surface> TargetWithDepth(uint32_t w, uint32_t h, FormatId depth = FormatId::D16)
{
    auto target = MakeSurface(w, h);
    target->AddAttachedSurface(MakeSurface(w, h, depth));
    return target;
}

} // namespace

TEST(Device, CreateRefusesMissingOrDepthTargets)
{
    EXPECT_EQ(Device::Create(nullptr, TestCaps()), nullptr);
    EXPECT_EQ(Device::Create(MakeSurface(4, 4, FormatId::D16), TestCaps()), nullptr);
}

TEST(Device, CapsAreTheOnesGiven)
{
    auto dev = Device::Create(MakeSurface(4, 4), TestCaps());
    DeviceDesc caps;
    ASSERT_EQ(dev->GetCaps(&caps), Result::Ok);
    EXPECT_EQ(caps.mMaxTextureWidth, 4096u);
}

TEST(Device, TransformsAreKeptPerStateAndUnknownStatesRefused)
{
    auto dev = Device::Create(MakeSurface(4, 4), TestCaps());
    Matrix world, view, projection, read;
    world.m[3][0] = 1;
    view.m[3][1] = 2;
    projection.m[2][3] = 1;
    ASSERT_EQ(dev->SetTransform(TS_WORLD, world), Result::Ok);
    ASSERT_EQ(dev->SetTransform(TS_VIEW, view), Result::Ok);
    ASSERT_EQ(dev->SetTransform(TS_PROJECTION, projection), Result::Ok);
    EXPECT_EQ(dev->SetTransform(static_cast<TransformState>(4), world), Result::InvalidParams);
    EXPECT_EQ(dev->GetTransform(static_cast<TransformState>(0), &read), Result::InvalidParams);
    EXPECT_EQ(dev->GetTransform(TS_VIEW, nullptr), Result::Pointer);
    ASSERT_EQ(dev->GetTransform(TS_WORLD, &read), Result::Ok);
    EXPECT_EQ(read, world);
    ASSERT_EQ(dev->GetTransform(TS_VIEW, &read), Result::Ok);
    EXPECT_EQ(read, view);
    ASSERT_EQ(dev->GetTransform(TS_PROJECTION, &read), Result::Ok);
    EXPECT_EQ(read, projection);
}

TEST(Device, OffCentreOrthographicProjectionMapsItsBoxToClipSpace)
{
    const Matrix m = OrthoOffCenterLH(0.5f, 640.5f, 480.5f, 0.5f, 0.1f, 1000.0f);
    auto apply = [&](float x, float y, float z)
    {
        return std::array<float, 3>{x * m.m[0][0] + y * m.m[1][0] + z * m.m[2][0] + m.m[3][0],
                                    x * m.m[0][1] + y * m.m[1][1] + z * m.m[2][1] + m.m[3][1],
                                    x * m.m[0][2] + y * m.m[1][2] + z * m.m[2][2] + m.m[3][2]};
    };
    const auto topLeftNear = apply(0.5f, 0.5f, 0.1f);
    const auto bottomRightFar = apply(640.5f, 480.5f, 1000.0f);
    EXPECT_FLOAT_EQ(topLeftNear[0], -1.0f);
    EXPECT_FLOAT_EQ(topLeftNear[1], 1.0f);
    EXPECT_NEAR(topLeftNear[2], 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(bottomRightFar[0], 1.0f);
    EXPECT_FLOAT_EQ(bottomRightFar[1], -1.0f);
    EXPECT_FLOAT_EQ(bottomRightFar[2], 1.0f);
    EXPECT_EQ(m.m[0][3], 0.0f);
    EXPECT_EQ(m.m[3][3], 1.0f);
    // With depth passed through it is the 2-D projection the other tests draw with.
    Matrix flat = m;
    flat.m[2][2] = 1;
    flat.m[3][2] = 0;
    EXPECT_EQ(flat, Projection2d(640, 480));
}

TEST(Device, ViewportAcceptsEmptyAndRefusesOutsideRectangles)
{
    auto dev = Device::Create(MakeSurface(64, 32), TestCaps());
    Viewport vp;
    dev->GetViewport(&vp);
    EXPECT_EQ(vp, (Viewport{0, 0, 64, 32, 0, 1}));
    EXPECT_EQ(dev->SetViewport(Viewport{10, 5, 0, 0, 0, 1}), Result::Ok);
    EXPECT_EQ(dev->SetViewport(Viewport{63, 0, 1, 32, 0, 1}), Result::Ok);
    EXPECT_EQ(dev->SetViewport(Viewport{60, 0, 5, 10, 0, 1}), Result::InvalidParams);
    EXPECT_EQ(dev->SetViewport(Viewport{0, 30, 4, 3, 0, 1}), Result::InvalidParams);
    dev->GetViewport(&vp);
    EXPECT_EQ(vp, (Viewport{63, 0, 1, 32, 0, 1}));
}

TEST(Device, SceneBracketsNestOnceAndReportLostTargets)
{
    auto target = MakeSurface(4, 4);
    auto dev = Device::Create(target, TestCaps());
    EXPECT_EQ(dev->EndScene(), Result::Fail);
    EXPECT_EQ(dev->BeginScene(), Result::Ok);
    EXPECT_EQ(dev->BeginScene(), Result::Fail);
    EXPECT_EQ(dev->EndScene(), Result::Ok);
    target->MarkLost();
    EXPECT_EQ(dev->BeginScene(), Result::SurfaceLost);
    uint32_t v[8] = {};
    EXPECT_EQ(dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, v, 1, 0), Result::SurfaceLost);
    target->Restore();
    EXPECT_EQ(dev->BeginScene(), Result::Ok);
}

TEST(Device, InjectedAnswersComeFirst)
{
    auto dev = Device::Create(MakeSurface(4, 4), TestCaps());
    dev->mBeginSceneAnswers.push_back(Result::SurfaceLost);
    dev->mEndSceneAnswers.push_back(Result::SceneEndFailed);
    dev->mDrawAnswers.push_back(Result::OutOfVideoMemory);
    EXPECT_EQ(dev->BeginScene(), Result::SurfaceLost);
    EXPECT_EQ(dev->BeginScene(), Result::Ok);
    EXPECT_EQ(dev->EndScene(), Result::SceneEndFailed);
    EXPECT_FALSE(dev->IsInScene());
    auto quad = Quad2d(0, 0, 1, 1);
    EXPECT_EQ(dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_LVERTEX, quad.data(), 4, 0),
              Result::OutOfVideoMemory);
    EXPECT_EQ(dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_LVERTEX, quad.data(), 4, 0), Result::Ok);
}

TEST(Device, DrawRefusesUnknownFormatsTypesAndBadIndices)
{
    auto [target, dev] = Make2dCanvas(4, 4);
    auto quad = Quad2d(0, 0, 4, 4);
    EXPECT_EQ(dev->DrawPrimitive(PT_TRIANGLEFAN, 0x142, quad.data(), 4, 0), Result::InvalidParams);
    EXPECT_EQ(dev->DrawPrimitive(static_cast<PrimitiveType>(7), FVF_LVERTEX, quad.data(), 4, 0),
              Result::InvalidParams);
    const uint16_t bad[3] = {0, 1, 4};
    EXPECT_EQ(dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, quad.data(), 4, bad, 3, 0),
              Result::InvalidParams);
    EXPECT_EQ(CountChanged(*target, 0), 0);
}

TEST(Device, LargeVertexArraysDrawAsFarAsTheirIndicesReach)
{
    // 70000 vertices through an identity index list of 65535, as a large vertex set is drawn:
    // the draw is accepted and its triangles (all over the top-left 4 x 4 pixels) drawn.
    auto [target, dev] = Make2dCanvas(8, 8);
    std::vector<TLVertex> vertices(70000, TLVertex{0, 0, 0.5f, 1, 0xFF00FF00u, 0, 0, 0});
    const float corner[3][2] = {{-0.5f, -0.5f}, {3.5f, -0.5f}, {-0.5f, 3.5f}};
    for (size_t i = 0; i < vertices.size(); ++i)
    {
        vertices[i].sx = corner[i % 3][0];
        vertices[i].sy = corner[i % 3][1];
    }
    std::vector<uint16_t> identity(65535);
    for (size_t i = 0; i < identity.size(); ++i)
        identity[i] = static_cast<uint16_t>(i);
    ASSERT_EQ(dev->DrawIndexedPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, vertices.data(), 70000,
                                        identity.data(), 65535, 0),
              Result::Ok);
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF00FF00u);
    EXPECT_EQ(target->ReadPixel(4, 4), 0u);
    // Without indices the platform's limit holds.
    EXPECT_EQ(dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, vertices.data(), 70000, 0),
              Result::InvalidParams);
}

TEST(Device, ClearFillsRectanglesCutToTheViewport)
{
    auto target = TargetWithDepth(16, 16);
    auto dev = Device::Create(target, TestCaps());
    ASSERT_EQ(dev->SetViewport(Viewport{2, 2, 10, 10, 0, 1}), Result::Ok);
    Rect rects[2] = {Rect{0, 0, 4, 4}, Rect{10, 10, 16, 16}};
    ASSERT_EQ(dev->Clear(2, rects, CLEAR_TARGET, 0xFF112233u, 1.0f, 0), Result::Ok);
    EXPECT_EQ(CountChanged(*target, 0), 4 + 4);
    EXPECT_EQ(target->ReadPixel(2, 2), 0xFF112233u);
    EXPECT_EQ(target->ReadPixel(11, 11), 0xFF112233u);
    EXPECT_EQ(target->ReadPixel(12, 12), 0u);
    // No rectangles: the whole viewport.
    ASSERT_EQ(dev->Clear(0, nullptr, CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000001u, 0.25f, 0),
              Result::Ok);
    EXPECT_EQ(CountChanged(*target, 0), 100);
    std::shared_ptr<Surface> depth;
    target->GetAttachedSurface(CAPS_ZBUFFER, &depth);
    EXPECT_EQ(depth->ReadRaw(5, 5), 16384u);
    EXPECT_EQ(depth->ReadRaw(1, 1), 0u);
    // An odd start and an odd width: the lone values at both ends of the paired fill.
    const Rect odd{3, 4, 8, 5};
    ASSERT_EQ(dev->Clear(1, &odd, CLEAR_ZBUFFER, 0, 0.5f, 0), Result::Ok);
    for (uint32_t x = 2; x <= 8; ++x)
        EXPECT_EQ(depth->ReadRaw(x, 4), x >= 3 && x < 8 ? 32768u : 16384u) << x;
}

TEST(Device, ClearOfDepthWithoutDepthBufferFails)
{
    auto dev = Device::Create(MakeSurface(4, 4), TestCaps());
    EXPECT_EQ(dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0), Result::InvalidParams);
}

TEST(Device, GouraudInterpolatesVertexColours)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    TLVertex tri[3] = {Tl(0, 0, 0.5f, 0xFFFF0000u), Tl(8, 0, 0.5f, 0xFF00FF00u),
                       Tl(0, 8, 0.5f, 0xFF0000FFu)};
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, tri, 3, 0);
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFFFF0000u);
    // (2, 0): red 6/8, green 2/8 -> 191.25, 63.75.
    EXPECT_EQ(target->ReadPixel(2, 0), 0xFFBF4000u);
    // (1, 2): red 5/8, green 1/8, blue 2/8 -> 159.4, 31.9, 63.75.
    EXPECT_EQ(target->ReadPixel(1, 2), 0xFF9F2040u);
}

TEST(Device, FlatShadingTakesTheFirstVertexOrTheSecondOfAFan)
{
    auto [target, dev] = Make2dCanvas(16, 16);
    dev->SetRenderState(RS_SHADEMODE, SHADE_FLAT);
    TLVertex tri[3] = {Tl(0, 0, 0.5f, 0xFFFF0000u), Tl(8, 0, 0.5f, 0xFF00FF00u),
                       Tl(0, 8, 0.5f, 0xFF0000FFu)};
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, tri, 3, 0);
    EXPECT_EQ(target->ReadPixel(1, 2), 0xFFFF0000u);
    EXPECT_EQ(target->ReadPixel(5, 1), 0xFFFF0000u);
    dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, tri, 3, 0);
    EXPECT_EQ(target->ReadPixel(1, 2), 0xFF00FF00u);
}

TEST(Device, CullModesDropOneWinding)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    // Clockwise on screen (y down).
    TLVertex cw[3] = {Tl(0, 0, 0.5f, 0xFFFFFFFFu), Tl(8, 0, 0.5f, 0xFFFFFFFFu),
                      Tl(0, 8, 0.5f, 0xFFFFFFFFu)};
    TLVertex ccw[3] = {cw[0], cw[2], cw[1]};
    dev->SetRenderState(RS_CULLMODE, CULL_CCW);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, ccw, 3, 0);
    EXPECT_EQ(CountChanged(*target, 0), 0);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, cw, 3, 0);
    EXPECT_GT(CountChanged(*target, 0), 0);
    auto [target2, dev2] = Make2dCanvas(8, 8);
    dev2->SetRenderState(RS_CULLMODE, CULL_CW);
    dev2->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, cw, 3, 0);
    EXPECT_EQ(CountChanged(*target2, 0), 0);
    dev2->SetRenderState(RS_CULLMODE, 7); // not a cull mode: nothing is culled
    dev2->DrawPrimitive(PT_TRIANGLELIST, FVF_TLVERTEX, cw, 3, 0);
    EXPECT_GT(CountChanged(*target2, 0), 0);
}

TEST(Device, StripKeepsOneWindingForCulling)
{
    auto [target, dev] = Make2dCanvas(8, 8);
    dev->SetRenderState(RS_CULLMODE, CULL_CCW);
    TLVertex strip[4] = {Tl(0, 0, 0.5f, 0xFFFFFFFFu), Tl(8, 0, 0.5f, 0xFFFFFFFFu),
                         Tl(0, 8, 0.5f, 0xFFFFFFFFu), Tl(8, 8, 0.5f, 0xFFFFFFFFu)};
    dev->DrawPrimitive(PT_TRIANGLESTRIP, FVF_TLVERTEX, strip, 4, 0);
    EXPECT_EQ(CountChanged(*target, 0), 64);
}

TEST(Device, DepthTestKeepsTheNearerSurfaceInEitherOrder)
{
    for (bool nearFirst : {true, false})
    {
        auto target = TargetWithDepth(8, 8);
        auto dev = Make2dDevice(target);
        dev->SetRenderState(RS_ZENABLE, 1);
        dev->SetRenderState(RS_ZWRITEENABLE, 1);
        dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
        if (nearFirst)
        {
            DrawTlRect(*dev, 0, 0, 6, 6, 0.3f, 0xFFFF0000u);
            DrawTlRect(*dev, 2, 2, 8, 8, 0.6f, 0xFF00FF00u);
        }
        else
        {
            DrawTlRect(*dev, 2, 2, 8, 8, 0.6f, 0xFF00FF00u);
            DrawTlRect(*dev, 0, 0, 6, 6, 0.3f, 0xFFFF0000u);
        }
        EXPECT_EQ(target->ReadPixel(3, 3), 0xFFFF0000u) << nearFirst;
        EXPECT_EQ(target->ReadPixel(7, 7), 0xFF00FF00u) << nearFirst;
        EXPECT_EQ(target->ReadPixel(1, 1), 0xFFFF0000u) << nearFirst;
    }
}

TEST(Device, EqualDepthPassesLessEqualAndWritesCanBeSwitchedOff)
{
    auto target = TargetWithDepth(4, 4, FormatId::D32);
    auto dev = Make2dDevice(target);
    dev->SetRenderState(RS_ZENABLE, 1);
    dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
    dev->SetRenderState(RS_ZWRITEENABLE, 0);
    DrawTlRect(*dev, 0, 0, 4, 4, 0.5f, 0xFF0000FFu);
    DrawTlRect(*dev, 0, 0, 4, 4, 0.7f, 0xFF00FF00u); // nothing was written: still passes
    EXPECT_EQ(target->ReadPixel(1, 1), 0xFF00FF00u);
    dev->SetRenderState(RS_ZWRITEENABLE, 1);
    DrawTlRect(*dev, 0, 0, 4, 4, 0.5f, 0xFFFF0000u);
    DrawTlRect(*dev, 0, 0, 4, 4, 0.5f, 0xFFFFFF00u); // equal depth passes LESSEQUAL
    DrawTlRect(*dev, 0, 0, 4, 4, 0.6f, 0xFFFFFFFFu); // farther fails
    EXPECT_EQ(target->ReadPixel(1, 1), 0xFFFFFF00u);
}

TEST(Device, AlphaTestedFragmentsWriteNoDepth)
{
    auto target = TargetWithDepth(2, 1);
    auto dev = Make2dDevice(target);
    dev->SetRenderState(RS_ZENABLE, 1);
    dev->Clear(0, nullptr, CLEAR_ZBUFFER, 0, 1.0f, 0);
    dev->SetRenderState(RS_ALPHATESTENABLE, 1);
    dev->SetRenderState(RS_ALPHAREF, 1);
    dev->SetRenderState(RS_ALPHAFUNC, CMP_GREATEREQUAL);
    dev->SetTextureStageState(0, TSS_ALPHAOP, TOP_MODULATE);
    dev->SetTextureStageState(0, TSS_ALPHAARG1, TA_DIFFUSE);
    DrawTlRect(*dev, 0, 0, 2, 1, 0.2f, 0x00FF0000u);
    DrawTlRect(*dev, 0, 0, 2, 1, 0.9f, 0xFF00FF00u);
    EXPECT_EQ(target->ReadPixel(0, 0), 0xFF00FF00u);
}

TEST(Device, PerspectiveCorrectTexturingFollowsRhw)
{
    // A quad whose right edge is twice as far (rhw halved): the texture's midpoint u = 0.5 lands
    // two thirds of the way across, not in the middle.
    std::vector<uint32_t> texels(2);
    texels[0] = 0xFFFF0000u;
    texels[1] = 0xFF0000FFu;
    auto [target, dev] = Make2dCanvas(30, 4);
    dev->SetTexture(0, MakeTexture(2, 1, texels));
    TLVertex v[4] = {
        Tl(0, 0, 0.5f, 0xFFFFFFFFu, 0, 0, 1.0f), Tl(30, 0, 0.5f, 0xFFFFFFFFu, 1, 0, 0.5f),
        Tl(30, 4, 0.5f, 0xFFFFFFFFu, 1, 1, 0.5f), Tl(0, 4, 0.5f, 0xFFFFFFFFu, 0, 1, 1.0f)};
    dev->DrawPrimitive(PT_TRIANGLEFAN, FVF_TLVERTEX, v, 4, 0);
    // u(x) = (t / 2) / (1 - t / 2) with t = x / 30: u = 0.5 at x = 20.
    EXPECT_EQ(target->ReadPixel(19, 1), 0xFFFF0000u);
    EXPECT_EQ(target->ReadPixel(21, 1), 0xFF0000FFu);
    EXPECT_EQ(target->ReadPixel(15, 1), 0xFFFF0000u); // affine interpolation would give blue
}

namespace
{

// A triangle around the viewport's centre in clip space (identity transforms), facing -z.
std::vector<Vertex> CentreTriangle(Vector3 n)
{
    return {Vertex{-0.5f, -0.5f, 0.5f, n.x, n.y, n.z, 0, 0},
            Vertex{0.0f, 0.5f, 0.5f, n.x, n.y, n.z, 0, 0},
            Vertex{0.5f, -0.5f, 0.5f, n.x, n.y, n.z, 0, 0}};
}

std::unique_ptr<Device> LitDevice(const std::shared_ptr<Surface>& target)
{
    auto dev = Device::Create(target, TestCaps());
    dev->SetRenderState(RS_LIGHTING, 1);
    dev->SetRenderState(RS_ZENABLE, 0);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE);
    dev->SetRenderState(RS_NORMALIZENORMALS, 1);
    Material m;
    m.diffuse = ColorValue{1.0f, 0.4f, 0.2f, 1.0f};
    m.ambient = ColorValue{0.5f, 0.5f, 0.5f, 1.0f};
    dev->SetMaterial(m);
    return dev;
}

} // namespace

TEST(DeviceLighting, DirectionalLightOnAKnownNormal)
{
    auto target = MakeSurface(16, 16);
    auto dev = LitDevice(target);
    dev->SetRenderState(RS_AMBIENT, 0x00404040u);
    Light light;
    light.type = LIGHT_DIRECTIONAL;
    light.diffuse = ColorValue{1, 1, 1, 1};
    light.direction = Vector3{0, 0, 1};
    dev->SetLight(0, light);
    dev->LightEnable(0, true);
    // N.L = 0.6 for a normal tilted up by 53.13 degrees.
    auto tri = CentreTriangle(Vector3{0, 0.8f, -0.6f});
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    // red: 64/255 * 0.5 + 1.0 * 0.6 -> 32 + 153; green: 32 + 0.4 * 153 = 32 + 61.2; blue 32 + 30.6.
    EXPECT_EQ(target->ReadPixel(8, 8), 0xFFB95D3Fu);
}

TEST(DeviceLighting, PointLightAttenuatesAndStopsAtItsRange)
{
    auto target = MakeSurface(16, 16);
    auto dev = LitDevice(target);
    Light light;
    light.type = LIGHT_POINT;
    light.diffuse = ColorValue{1, 1, 1, 1};
    // On the axis through the triangle's circumcentre (0, -0.125), 1.5 in front of it: every
    // vertex is 1.625 away (radius 0.625) and sees the light at cos = 1.5 / 1.625.
    light.position = Vector3{0, -0.125f, -1.0f};
    light.range = 10;
    light.attenuation2 = 1.0f / (0.8f * 1.625f * 1.625f); // attenuation 0.8
    dev->SetLight(3, light);
    dev->LightEnable(3, true);
    auto tri = CentreTriangle(Vector3{0, 0, -1});
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    // red 255 * 0.8 * 0.923 = 188.3; green 0.4 of it = 75.3; blue 37.7.
    EXPECT_EQ(target->ReadPixel(8, 9), 0xFFBC4B26u);
    light.range = 1.0f;
    dev->SetLight(3, light);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    EXPECT_EQ(target->ReadPixel(8, 9), 0xFF000000u);
}

TEST(DeviceLighting, SpotConeAndSpecularHighlight)
{
    auto target = MakeSurface(16, 16);
    auto dev = LitDevice(target);
    dev->SetRenderState(RS_SPECULARENABLE, 1);
    Material m;
    m.diffuse = ColorValue{0, 0, 0, 1};
    m.specular = ColorValue{1, 1, 1, 1};
    m.power = 1.0f;
    dev->SetMaterial(m);
    Light light;
    light.type = LIGHT_SPOT;
    light.diffuse = ColorValue{1, 1, 1, 1};
    light.specular = ColorValue{0.5f, 0.5f, 0.5f, 1};
    light.position = Vector3{0, 0, -1.5f};
    light.direction = Vector3{0, 0, 1};
    light.range = 100;
    light.attenuation0 = 1;
    light.theta = 1.0f;
    light.phi = 2.0f;
    light.falloff = 1.0f;
    dev->SetLight(0, light);
    dev->LightEnable(0, true);
    auto tri = CentreTriangle(Vector3{0, 0, -1});
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    // Eye at the origin and light straight ahead: the half vector is near the normal, N.H from
    // 0.8 at the lower corners to 0.9 at the top, times the light's specular 0.5.
    uint32_t c = target->ReadPixel(8, 8);
    EXPECT_GE(static_cast<int>(c & 0xFF), 100);
    EXPECT_LE(static_cast<int>(c & 0xFF), 116);
    EXPECT_EQ(c & 0xFF, c >> 16 & 0xFF);
    // The same without SPECULARENABLE: the black diffuse material alone.
    dev->SetRenderState(RS_SPECULARENABLE, 0);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    EXPECT_EQ(target->ReadPixel(8, 8), 0xFF000000u);
    dev->SetRenderState(RS_SPECULARENABLE, 1);
    // A spot whose cone misses the triangle leaves it dark.
    light.direction = Vector3{0, 1, 0};
    dev->SetLight(0, light);
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    EXPECT_EQ(target->ReadPixel(8, 8), 0xFF000000u);
}

TEST(DeviceLighting, UnlitVerticesWithoutColoursAreWhite)
{
    auto target = MakeSurface(16, 16);
    auto dev = LitDevice(target);
    dev->SetRenderState(RS_LIGHTING, 0);
    auto tri = CentreTriangle(Vector3{0, 0, -1});
    dev->DrawPrimitive(PT_TRIANGLELIST, FVF_VERTEX, tri.data(), 3, 0);
    EXPECT_EQ(target->ReadPixel(8, 8), 0xFFFFFFFFu);
}

TEST(DeviceLighting, EnablingAnUnsetLightGivesTheDefaultLight)
{
    auto dev = Device::Create(MakeSurface(4, 4), TestCaps());
    Light out;
    EXPECT_EQ(dev->GetLight(5, &out), Result::InvalidParams);
    dev->LightEnable(5, true);
    ASSERT_EQ(dev->GetLight(5, &out), Result::Ok);
    EXPECT_EQ(out.type, static_cast<uint32_t>(LIGHT_DIRECTIONAL));
    EXPECT_EQ(out.direction.z, 1.0f);
    bool enabled = false;
    dev->GetLightEnable(5, &enabled);
    EXPECT_TRUE(enabled);
    Light bad;
    EXPECT_EQ(dev->SetLight(1, bad), Result::InvalidParams);
}

TEST(DeviceLighting, LitDepthTestedCubeShowsThreeFacesWithTheirOwnShades)
{
    auto target = RenderLitCube(64);
    // Count the distinct shades on the cube: three visible faces, each flat-lit.
    std::map<uint32_t, int> shades;
    for (uint32_t p : ReadAll(*target))
        if (p != 0xFF000000u)
            ++shades[p];
    int big = 0;
    for (auto& [shade, count] : shades)
        big += count > 40;
    EXPECT_EQ(big, 3);
    // Drawn in the other order the picture is the same: depth decides, not order.
    EXPECT_EQ(ReadAll(*RenderLitCube(64, true)), ReadAll(*target));
}

TEST(DeviceClipping, GeometryBehindTheEyeIsCutAtTheNearPlane)
{
    auto target = MakeSurface(32, 32);
    auto dev = Device::Create(target, TestCaps());
    dev->SetRenderState(RS_LIGHTING, 0);
    dev->SetRenderState(RS_ZENABLE, 0);
    dev->SetRenderState(RS_CULLMODE, CULL_NONE);
    dev->SetTransform(TS_PROJECTION, Perspective(1.0f, 1.0f, 1.0f, 20.0f));
    // A floor triangle reaching from behind the eye to far ahead.
    LVertex tri[3] = {LVertex{-2, -1, -5, 0, 0xFFFFFFFFu, 0, 0, 0},
                      LVertex{2, -1, -5, 0, 0xFFFFFFFFu, 0, 0, 0},
                      LVertex{0, -1, 10, 0, 0xFFFFFFFFu, 0, 0, 0}};
    ASSERT_EQ(dev->DrawPrimitive(PT_TRIANGLELIST, FVF_LVERTEX, tri, 3, 0), Result::Ok);
    // Only the lower half of the screen (the floor) is drawn.
    int upper = 0, lower = 0;
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            (y < 16 ? upper : lower) += target->ReadPixel(x, y) != 0;
    EXPECT_EQ(upper, 0);
    EXPECT_GT(lower, 50);
}

TEST(DeviceClipping, HostileVerticesNeitherCrashNorWriteOutsideTheViewport)
{
    const float nan = std::nanf("");
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, 1.0f, -1.0f, 1e30f, -1e30f, 3e38f, nan, inf, -inf, 1e-30f, 7.5f};
    auto target = TargetWithDepth(32, 32);
    auto dev = Make2dDevice(target);
    ASSERT_EQ(dev->SetViewport(Viewport{4, 4, 20, 20, 0, 1}), Result::Ok);
    dev->SetRenderState(RS_ZENABLE, 1);
    dev->SetTexture(0, MakeTexture(2, 2, {0xFF000000u, 0xFFFFFFFFu, 0x80FF0000u, 0x0000FF00u}));
    dev->SetTextureStageState(0, TSS_MIPFILTER, TFP_LINEAR);
    dev->SetTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    auto pick = [&] { return values[next() % (sizeof values / sizeof values[0])]; };
    for (int round = 0; round < 300; ++round)
    {
        TLVertex tl[3];
        LVertex lv[3];
        Vertex v[3];
        for (int i = 0; i < 3; ++i)
        {
            tl[i] =
                TLVertex{pick() * 10, pick() * 10, pick(), pick(), next(), next(), pick(), pick()};
            lv[i] = LVertex{pick(), pick(), pick(), 0, next(), next(), pick() * 100, pick()};
            v[i] = Vertex{pick(), pick(), pick(), pick(), pick(), pick(), pick(), pick()};
        }
        PrimitiveType type = static_cast<PrimitiveType>(1 + next() % 6);
        dev->SetRenderState(RS_CLIPPING, next() % 2);
        dev->SetRenderState(RS_LIGHTING, next() % 2);
        dev->SetTransform(TS_PROJECTION,
                          round % 2 ? Projection2d(32, 32) : Perspective(1, 1, 1, 10));
        dev->DrawPrimitive(type, FVF_TLVERTEX, tl, 3, 0);
        dev->DrawPrimitive(type, FVF_LVERTEX, lv, 3, 0);
        dev->DrawPrimitive(type, FVF_VERTEX, v, 3, 0);
    }
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x)
            if (x < 4 || x >= 24 || y < 4 || y >= 24)
            {
                ASSERT_EQ(target->ReadPixel(x, y), 0u) << x << "," << y;
            }
}
