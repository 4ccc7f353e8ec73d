// The model portal on the renderer: nothing drawn until the run animates, then the model's world
// matrix and light reach the device inside a 3-D block of the portal's own, and its textured mesh
// is drawn (golden pictures at two steps of the run); no mesh, or a damaged one, draws nothing.
#include "framework/core/delta_time.h"
#include "framework/widgets/model_portal.h"
#include "framework/transforms/transform_manager.h"
#include "render/mesh_test_support.h"
#include "render/render_test_support.h"
#include "support/files.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "sys/display/device.h"
#include "sys/display/render_states.h"

#include <gtest/gtest.h>

namespace
{
class PortalDrawTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        mRenderer = TRenderer::Instance();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    sys::display::Matrix World()
    {
        sys::display::Matrix m;
        Context().GetDevice()->GetTransform(sys::display::TS_WORLD, &m);
        return m;
    }
    TRenderer* mRenderer = nullptr;
};

TEST_F(PortalDrawTest, DrawsOnlyWhileItsRunAnimates)
{
    DeltaTime clock;
    TransformManager manager;
    TScript script;
    static const char kStates[] = "modelinfo = { states = { state00 = { position = { 0, 0, 5 } },"
                                  " state01 = { position = { 10, 0, 5 } } } }";
    RegisterMemoryFileName("portals/lamp", kStates, sizeof(kStates) - 1);
    script.DoLuaString("t = { timeanimation = 100, endalpha = 1, model = { fov = 0.8,"
                       " light = { type = 1, position = { 0, 0, -3 } } } }");
    std::unique_ptr<TLuaTable> table(script.GetGlobalTable("t"));
    ModelPortalController portals;
    portals.AddModelPortal("portals/lamp", *table);
    portals.ShowModelPortal("portals/lamp");

    ASSERT_TRUE(mRenderer->BeginDraw(false));
    ASSERT_TRUE(mRenderer->Begin3d());
    portals.DrawCurrentModelPortal(); // shown, not yet animating
    EXPECT_EQ(World(), sys::display::Matrix::Identity());
    mRenderer->End3d();

    portals.StepCurrentModelPortal();
    clock.SetFrameTime(1000);
    manager.Update();
    clock.SetFrameTime(1050);
    manager.Update();
    portals.DrawCurrentModelPortal(); // in a 3-D block of its own
    EXPECT_FALSE(mRenderer->InBegin3d());
    ASSERT_TRUE(mRenderer->Begin3d()); // inside an open one the state can be read back
    portals.DrawCurrentModelPortal();
    sys::display::Matrix world = World();
    EXPECT_FLOAT_EQ(world.m[3][0], 5.0f);
    EXPECT_FLOAT_EQ(world.m[3][2], 5.0f);
    sys::display::Light light;
    ASSERT_TRUE(Context().GetDevice()->GetLight(0, &light) == sys::display::Result::Ok);
    EXPECT_EQ(light.type, 1u);
    EXPECT_FLOAT_EQ(light.position.z, -3.0f + 5.0f); // the light followed the model
    mRenderer->End3d();
    mRenderer->EndFrame(false);
    RegisterMemoryFileName("portals/lamp", nullptr, 0);
}

// A textured cube that turns a quarter turn and moves right during a run of 100 ms.
class PortalMeshTest : public PortalDrawTest
{
protected:
    void SetUp() override
    {
        PortalDrawTest::SetUp();
        testsupport::WriteFile(mScratch.Root() + "/user/cube.mesh",
                               rendertest::MeshBytes(rendertest::TexturedCube()));
        // Four quarters of different colours, so that each face shows which way it turned.
        std::vector<uint32_t> pixels(16 * 16);
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 16; ++x)
                pixels[y * 16 + x] =
                    x < 8 ? (y < 8 ? 0xFFE04020 : 0xFF20C040) : (y < 8 ? 0xFF3050F0 : 0xFFF0E0A0);
        mTexture = sys::display::EncodePng(pixels.data(), 16, 16);
        RegisterMemoryFileName("portals/checker.png", mTexture.data(),
                               static_cast<uint32_t>(mTexture.size()));
        RegisterMemoryFileName("portals/cube", kStates, sizeof(kStates) - 1);
    }
    void TearDown() override
    {
        RegisterMemoryFileName("portals/checker.png", nullptr, 0);
        RegisterMemoryFileName("portals/cube", nullptr, 0);
        PortalDrawTest::TearDown();
    }

    // Shows a portal of that mesh and texture and answers the frames drawn `times` ms into its
    // run (every other pixel of each).
    std::vector<std::vector<uint32_t>> Frames(const std::string& model, std::vector<uint32_t> times)
    {
        DeltaTime clock;
        TransformManager manager;
        TScript script;
        script.DoLuaString(("t = { timeanimation = 100, startalpha = 1, endalpha = 1, model = {"
                            " model = '" +
                            model +
                            "', texture = 'portals/checker',"
                            " nearplane = 0.1, farplane = 100, fov = 0.8,"
                            " material = { diffuse = { 0.9, 0.9, 0.9, 1 },"
                            " ambient = { 0.3, 0.3, 0.3, 1 } },"
                            " light = { type = 0, diffuse = { 1, 1, 1, 1 },"
                            " ambient = { 0.4, 0.4, 0.4, 1 }, direction = { 0.3, -0.4, 1 } } } }")
                               .c_str());
        std::unique_ptr<TLuaTable> table(script.GetGlobalTable("t"));
        ModelPortalController portals;
        portals.AddModelPortal("portals/cube", *table);
        portals.ShowModelPortal("portals/cube");
        portals.StepCurrentModelPortal();
        std::vector<std::vector<uint32_t>> frames;
        clock.SetFrameTime(1000);
        manager.Update();
        for (uint32_t ms : times)
        {
            clock.SetFrameTime(1000 + ms);
            manager.Update();
            frames.push_back(Frame([&] { portals.DrawCurrentModelPortal(); }));
        }
        return frames;
    }

    template <class Draw> std::vector<uint32_t> Frame(Draw draw)
    {
        std::vector<uint32_t> pixels;
        if (!mRenderer->BeginDraw(false))
            return pixels;
        mRenderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0.1f, 1));
        draw();
        mRenderer->EndFrame(false);
        for (uint32_t y = 0; y < 600; y += 2)
            for (uint32_t x = 0; x < 800; x += 2)
                pixels.push_back(Data().mBackBuffer->ReadPixel(x, y));
        return pixels;
    }

    static constexpr char kStates[] =
        "modelinfo = { states = { state00 = { position = { -0.5, 0, 20 }, rotation = { 0.4, 0, 0 } "
        "},"
        " state01 = { position = { 0.5, 0, 20 }, rotation = { 0.4, 1.5708, 0 } } } }";
    std::vector<uint8_t> mTexture;
};

TEST_F(PortalMeshTest, TheTexturedMeshTurnsThroughItsRun)
{
    const auto frames = Frames("user:cube.mesh", {25});
    rendertest::CompareWithGolden(*Data().mBackBuffer, {300, 200, 500, 400},
                                  "model_portal_cube_25.png");
    const auto later = Frames("user:cube.mesh", {75});
    rendertest::CompareWithGolden(*Data().mBackBuffer, {300, 200, 500, 400},
                                  "model_portal_cube_75.png");
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(later.size(), 1u);
    EXPECT_NE(frames[0], later[0]);
    EXPECT_NE(frames[0], Frame([] {})) << "the cube was not drawn";
}

TEST_F(PortalMeshTest, NoMeshOrADamagedOneDrawsNothing)
{
    const std::vector<uint32_t> empty = Frame([] {});
    EXPECT_EQ(Frames("", {25, 75}), (std::vector<std::vector<uint32_t>>{empty, empty}));

    const std::string whole = rendertest::MeshBytes(rendertest::TexturedCube());
    testsupport::WriteFile(mScratch.Root() + "/user/cut.mesh", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(Frames("user:cut.mesh", {25}), (std::vector<std::vector<uint32_t>>{empty}));
    EXPECT_EQ(rendertest::CountOf(Log(), "TModel::Init: Damaged mesh file user:cut.mesh\n"), 1)
        << Log();
}

} // namespace
