// The model portal on the renderer: nothing drawn until the run animates, then the model's world
// matrix and light reach the device inside a 3-D block of the portal's own.
#include "framework/core/delta_time.h"
#include "framework/widgets/model_portal.h"
#include "framework/transforms/transform_manager.h"
#include "render/render_test_support.h"
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
} // namespace
