// Shared by the tests of the adventure screens: the window script on the headless display with a
// frame clock, a transform manager and the framework's frame driver stepped by hand.
#pragma once

#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "framework/transforms/transform_manager.h"
#include "ui/ui_display_support.h"

#include <memory>

namespace adventuretest
{

class FramedScreenTest : public uitest::UiDisplayTest
{
protected:
    void SetUp() override
    {
        UiDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        WindowManager::SetActiveSource([] { return true; });
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
    }
    void TearDown() override
    {
        mFrames.reset();
        WindowManager::SetActiveSource(nullptr);
        UiDisplayTest::TearDown();
    }
    // A framework frame ms after the last one, then the script task and a tick of the window
    // manager (deletions, messages).
    void Step(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        if (mScript->Ready(kTaskPassTime))
            mScript->Run();
        mManager->HandleEvent(uitest::MakeEvent(kEventTick));
    }
    void Steps(int count, uint32_t ms)
    {
        for (int i = 0; i < count; ++i)
            Step(ms);
    }

    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames;
};

} // namespace adventuretest
