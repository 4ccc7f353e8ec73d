// The mouse trail overlay with its trail description in a test asset folder: lazy loading, the
// mouse fed after each drawn frame, the distance, dropped stalls, the background, the task's end.
#include "framework/widgets/mouse_overlay.h"

#include "render/render_test_support.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "platform/config/config.h"
#include "platform/files/file_layer.h"
#include "script/script.h"
#include "script/window_script_seam.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

TScript* gTrailScript = nullptr;
bool gActive = true;

class MouseOverlayTest : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        SetConfig("encryptionkey", "Tk7pQ2mW9xLr");
        gTrailScript = &mScript;
        SetWindowScriptSource([] { return gTrailScript; });
        gActive = true;
        WindowManager::SetActiveSource([] { return gActive; });
        ASSERT_TRUE(sys::SetCurrentFolder(std::string(MURKWELL_TEST_DATA) + "/framework"));
        ScanFolder("trail", ".");
        mSettings = std::make_unique<Settings>();
        mFrames = std::make_unique<WindowManager>();
        mSettings->mMouseX = 300;
        mSettings->mMouseY = 400;
    }
    void TearDown() override
    {
        mOverlay.reset();
        mFrames.reset();
        mSettings.reset();
        WindowManager::SetActiveSource(nullptr);
        SetWindowScriptSource(nullptr);
        DisplayTest::TearDown();
    }
    // The mouse at (x, y), a frame drawn, then the next drawing pass with the given step.
    void Frame(int32_t x, int32_t y, uint32_t step = 16)
    {
        mSettings->mMouseX = x;
        mSettings->mMouseY = y;
        mOverlay->Draw();
        mClock.SetStep(step);
        mApp->GetTaskList()->Run(kTaskPassDraw);
    }
    double Global(const char* name)
    {
        TScript* script = mOverlay->GetSystem().GetScript();
        return script != nullptr ? script->GetGlobalNumber(name) : -999;
    }

    TScript mScript;
    DeltaTime mClock;
    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<WindowManager> mFrames;
    std::unique_ptr<MouseOverlay> mOverlay;
};

TEST_F(MouseOverlayTest, SuspendedOnlyFollowsTheMouse)
{
    mOverlay = std::make_unique<MouseOverlay>(true);
    EXPECT_STREQ(mOverlay->GetClassName(), "MouseOverlay");
    EXPECT_TRUE(mOverlay->IsKindOf(TWindow::GetClassId()));
    EXPECT_EQ(mOverlay->GetRect(), TRect(0, 0, 800, 600));
    for (int i = 0; i < 3; ++i)
        Frame(10 * i, 20 * i);
    EXPECT_FALSE(mOverlay->IsTrailStarted());
    EXPECT_EQ(Global("gLoads"), 0);
    EXPECT_FALSE(mOverlay->IsDrawn());
}

TEST_F(MouseOverlayTest, FirstMoveLoadsOnceThenFeedsTheMouseAfterEachDrawnFrame)
{
    mOverlay = std::make_unique<MouseOverlay>();
    EXPECT_FALSE(mOverlay->IsSuspended());
    EXPECT_TRUE(mOverlay->IsDrawn());
    // A still mouse starts nothing.
    Frame(300, 400);
    EXPECT_FALSE(mOverlay->IsTrailStarted());

    // Both points lie 500 from the origin.
    Frame(400, 300);
    ASSERT_TRUE(mOverlay->IsTrailStarted());
    EXPECT_EQ(Global("gLoads"), 1);
    EXPECT_EQ(Global("gMouseWidth"), 2);
    EXPECT_EQ(Global("gActive"), 1);
    EXPECT_EQ(Global("gDistance"), 0);
    EXPECT_EQ(Global("gLastStep"), 0.016);
    EXPECT_EQ(mOverlay->GetMouseVector().mValue[0], 400.0f);
    EXPECT_EQ(mOverlay->GetMouseVector().mValue[1], 300.0f);

    mOverlay->GetSystem().GetScript()->DoLuaString("gActive = 0 gDistance = -1");
    Frame(400, 300, 20);
    EXPECT_EQ(Global("gActive"), 0);
    EXPECT_EQ(Global("gDistance"), -1);
    EXPECT_EQ(Global("gLastStep"), 0.02);

    Frame(0, 0);
    Frame(3, 4);
    EXPECT_EQ(Global("gDistance"), 5);
    Frame(3, 0);
    EXPECT_EQ(Global("gDistance"), 2);
    EXPECT_EQ(Global("gLoads"), 1);

    // Without a drawn frame the pass does nothing; a stall of 100 ms is not stepped.
    const double updates = Global("gUpdates");
    mApp->GetTaskList()->Run(kTaskPassDraw);
    EXPECT_EQ(Global("gUpdates"), updates);
    Frame(5, 5, 99);
    EXPECT_EQ(Global("gUpdates"), updates + 1);
    Frame(6, 6, 100);
    Frame(7, 7, 5000);
    EXPECT_EQ(Global("gUpdates"), updates + 1);
    EXPECT_EQ(mOverlay->GetMouseVector().mValue[0], 7.0f);
}

TEST_F(MouseOverlayTest, NothingInTheBackgroundAndTheTaskEndsWithTheOverlay)
{
    mOverlay = std::make_unique<MouseOverlay>();
    gActive = false;
    mFrames->Animate();
    Frame(1, 2);
    Frame(3, 4);
    EXPECT_FALSE(mOverlay->IsTrailStarted());
    EXPECT_TRUE(mOverlay->IsDrawn());
    gActive = true;
    mFrames->Animate();
    mApp->GetTaskList()->Run(kTaskPassDraw);
    EXPECT_TRUE(mOverlay->IsTrailStarted());
    EXPECT_FALSE(mOverlay->IsDrawn());

    // The task leaves the application's list with the overlay.
    TTask* task = mOverlay->GetTask();
    EXPECT_TRUE(mApp->GetTaskList()->Contains(task));
    mOverlay.reset();
    EXPECT_FALSE(mApp->GetTaskList()->Contains(task));
    mApp->GetTaskList()->Run(kTaskPassDraw);
}

} // namespace
