// The particle window made by a screen script: which style functions register, the "data"
// vectors, the run-ahead before the first frame, the per-frame step and drawing inside or outside
// an open 2-D block.
#include "framework/core/delta_time.h"
#include "framework/widgets/particle_system_window.h"
#include "render/render_test_support.h"
#include "render/renderer/renderer.h"
#include "script/script_host_test_support.h"
#include "sys/clock.h"
#include "ui/ui_display_support.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

class ParticleWindowTest : public ScriptHostTest
{
protected:
    void SetUp() override
    {
        ScriptHostTest::SetUp();
        sys::SetManualClock(true, 100000);
        mManager = std::make_unique<TWindowManager>();
        mManager->CreateRoot(800, 600);
        mManager->CreateScript();
        mManager->RegisterWindowType("ParticleWindow", &ParticleSystemWindow::Create);
    }
    void TearDown() override
    {
        mManager.reset();
        sys::SetManualClock(false);
        ScriptHostTest::TearDown();
    }
    ParticleSystemWindow* Make(const std::string& style)
    {
        mManager->GetScript()->DoLuaString(
            ("ParticleWindow{ name = 'fx', " + style + " }()").c_str());
        TWindow* window = mManager->GetRoot()->FindChild("fx", 0xFFFFFFFFu);
        if (window == nullptr || !window->IsKindOf(ParticleSystemWindow::GetClassId()))
            return nullptr;
        return static_cast<ParticleSystemWindow*>(window);
    }
    double Eval(ParticleSystemWindow* window, const std::string& expression)
    {
        TScript* script = window->GetSystem().GetScript();
        script->DoLuaString(("_probe = " + expression).c_str());
        return script->GetGlobalNumber("_probe");
    }

    DeltaTime mClock;
    std::unique_ptr<TWindowManager> mManager;
};

TEST_F(ParticleWindowTest, StyleRegistersKnownFunctionsAndDataThenRunsAhead)
{
    ParticleSystemWindow* window =
        Make("functions = { 'fSin', 'ColorAdjust', 7, 'fRandom ', 'fNormalize' }, "
             "data = { wind = { 1, 2 }, five = { 1, 2, 3, 4, 5 } }, initialstarttime = 2000, "
             "script = 'SetNumParticles(4) seen = -1 function Update(s) seen = s end'");
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(window->GetClassName(), "ParticleSystemWindow");
    EXPECT_TRUE(window->IsKindOf(TWindow::GetClassId()));
    TLuaParticleSystem& system = window->GetSystem();
    EXPECT_NE(system.CreateNode("fSin"), nullptr);
    EXPECT_NE(system.CreateNode("fNormalize"), nullptr);
    for (const char* name : {"ColorAdjust", "fRandom", "fRandom ", "7"})
        EXPECT_EQ(system.CreateNode(name), nullptr) << name;

    // Both vectors reach the description; the five-wide one is kept at width 5.
    ASSERT_EQ(window->GetVectors().size(), 2u);
    EXPECT_LT(Eval(window, "(GetParticleMemberParts(wind))"), 0);
    EXPECT_EQ(Eval(window, "({GetParticleMemberParts(wind)})[2]"), 2);
    EXPECT_EQ(Eval(window, "({GetParticleMemberParts(five)})[2]"), 5);
    for (const auto& vector : window->GetVectors())
        if (vector->mWidth == 2)
            EXPECT_EQ((std::vector<float>{vector->mValue[0], vector->mValue[1], vector->mValue[2]}),
                      (std::vector<float>{1, 2, 0}));
        else
            EXPECT_EQ(vector->mWidth, 5);

    // The run-ahead was one update of two seconds; each frame then steps by the clock's step.
    EXPECT_EQ(Eval(window, "seen"), 2);
    mClock.SetStep(16);
    EXPECT_TRUE(window->Animate());
    EXPECT_DOUBLE_EQ(Eval(window, "seen"), 0.016);
}

TEST_F(ParticleWindowTest, RunAheadDefaultsToZero)
{
    ParticleSystemWindow* window =
        Make("x = 5, w = 40, script = 'function Update(s) seen = s end'");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Eval(window, "seen"), 0);
    EXPECT_TRUE(window->GetVectors().empty());
}

// A red 6x6 particle centred near (20, 30) in a window placed at (300, 300):
// drawn at screen coordinates
// in a 2-D block the window opens, or inside one already open, which it leaves open.
class ParticleWindowDrawTest : public uitest::WindowDisplayTest
{
protected:
    void SetUp() override
    {
        WindowDisplayTest::SetUp();
        mManager->CreateScript();
        mManager->RegisterWindowType("ParticleWindow", &ParticleSystemWindow::Create);
    }
};

TEST_F(ParticleWindowDrawTest, DrawsAtScreenCoordinatesInItsOwn2dBlockOnlyWhenItCan)
{
    mManager->GetScript()->DoLuaString(
        "ParticleWindow{ name = 'fx', x = 300, y = 300, w = 50, h = 50, initialstarttime = 10, "
        "script = 'SetNumParticles(1) pPosition:Init(Vec2(20, 30)) pScale:Init(6) "
        "pColor:Init(Color(1, 0, 0, 1)) "
        "function Update(s) CreateParticles(1) end' }()");
    auto* window =
        static_cast<ParticleSystemWindow*>(mManager->GetRoot()->FindChild("fx", 0xFFFFFFFFu));
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->GetSystem().GetParticleCount(), 1u);

    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    window->Draw();
    EXPECT_FALSE(renderer->InBegin2d());

    EXPECT_EQ(Back(17, 27), 0xFF0000u);
    EXPECT_EQ(Back(317, 327), 0u);

    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    ASSERT_TRUE(renderer->Begin2d());
    window->Draw();
    EXPECT_TRUE(renderer->InBegin2d());
    EXPECT_EQ(Back(17, 27), 0xFF0000u);
    renderer->End2d();
    renderer->EndDraw();

    // Outside any drawing block the renderer refuses the 2-D block and the window ends none.
    window->Draw();
    EXPECT_FALSE(renderer->InBegin2d());
}

} // namespace
