// The transform manager: ids, lists back to back, group and record callbacks (looping ones too),
// callbacks that add or remove during a pass, pausing with shifted clocks, the idle flag.
#include "framework/transforms/transform_manager.h"

#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_target.h"
#include "framework/core/window_manager.h"
#include "framework/framework_test_support.h"
#include "render/renderer/draw_spec.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
class ManagerTest : public fwtest::TransformTest
{
protected:
    ManagerTest() : mTarget(&mSpec), mOther(&mOtherSpec) {}

    static TM_InstructionList* Fade(uint32_t duration, float end = 0, float begin = 1)
    {
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Alpha(duration, end, begin, 0, 1.0f));
        return list;
    }
    // Callbacks write "g" or "r<id>" into the test's journal and may run an extra action.
    static void OnGroup(void* object, TM_Transform*, uint32_t)
    {
        auto* self = static_cast<ManagerTest*>(object);
        self->mJournal += "g ";
        if (self->mOnGroup)
            self->mOnGroup();
    }
    static void OnRecord(void* object, TM_Transform*, uint32_t id)
    {
        auto* self = static_cast<ManagerTest*>(object);
        self->mJournal += "r" + std::to_string(id) + " ";
        if (self->mOnRecord)
            self->mOnRecord();
    }
    Callback* Group() { return new Callback(this, &OnGroup); }
    Callback* Record() { return new Callback(this, &OnRecord); }

    TDrawSpec mSpec;
    TDrawSpec mOtherSpec;
    TM_Transform2D mTarget;
    TM_Transform2D mOther;
    std::string mJournal;
    std::function<void()> mOnGroup;
    std::function<void()> mOnRecord;
};

TEST_F(ManagerTest, IdsCountFromOneAndUnknownIdsAreRefused)
{
    EXPECT_EQ(mManager.AddTransform(&mTarget, Fade(100)), 1u);
    EXPECT_EQ(mManager.AddTransform(&mOther, Fade(100)), 2u);
    EXPECT_EQ(mManager.FindTransform(2, Fade(100)), 2u);
    EXPECT_EQ(mManager.AppendToTransform(9, Fade(100)), 0u); // the list is freed (sanitizers)
    EXPECT_TRUE(mLog.Has("ERROR:invalid param   FILE:transformmanager LINE:48\n"));
    EXPECT_EQ(mManager.AddTransform(&mTarget, Fade(100)), 3u);
}

TEST_F(ManagerTest, AppendedListsRunBackToBack)
{
    uint32_t id = mManager.AddTransform(&mTarget, Fade(100, 0.5f, 1));
    mManager.AppendToTransform(id, Fade(100, 0, 0.25f));
    Frame(1000);
    Frame(1100); // the first ends
    EXPECT_EQ(mSpec.mAlpha, 0.5f);
    Frame(1150); // the second starts its clock here
    EXPECT_EQ(mSpec.mAlpha, 0.25f);
    Frame(1200);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.125f);
    Frame(1250);
    EXPECT_EQ(mSpec.mAlpha, 0.0f);
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}

TEST_F(ManagerTest, GroupCallbackOnceAtTheEndRecordCallbackEachLoop)
{
    mManager.AddTransform(&mTarget, Fade(100), Group(), Record());
    uint32_t looping = mManager.AddTransform(&mTarget, Fade(50), nullptr, Record());
    mManager.SetLooping(looping);
    Frame(0);
    Frame(60);
    EXPECT_EQ(mJournal, "r2 ");
    Frame(120); // record 1 ends; the looping one restarts
    Frame(200);
    EXPECT_EQ(mJournal, "r2 r1 r2 ");
    mJournal.clear();
    mManager.RemoveTransforms(&mTarget); // no callbacks
    Frame(300);
    EXPECT_EQ(mJournal, "");
    EXPECT_EQ(mManager.GetGroupCount(), 0u);

    mManager.AddTransform(&mOther, Fade(10), Group());
    mManager.AddTransform(&mOther, Fade(20));
    Frame(400);
    Frame(415);
    EXPECT_EQ(mJournal, "");
    Frame(420);
    EXPECT_EQ(mJournal, "g ");
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}

TEST_F(ManagerTest, GroupCallbackAddingToItsTargetKeepsTheGroup)
{
    mManager.AddTransform(&mTarget, Fade(10), Group());
    int added = 0;
    mOnGroup = [&]
    {
        if (added++ == 0)
            mManager.AddTransform(&mTarget, Fade(100, 1, 0.5f));
    };
    Frame(0);
    Frame(10);
    EXPECT_EQ(mJournal, "g ");
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 1u);
    EXPECT_EQ(mSpec.mAlpha, 0.0f); // the new transform waits for the next frame
    Frame(20);
    EXPECT_EQ(mSpec.mAlpha, 0.5f);
    Frame(120);
    EXPECT_EQ(mJournal, "g g "); // the old group callback stays
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}

TEST_F(ManagerTest, RecordCallbackRemovingItsOwnTargetDuringAPass)
{
    mManager.AddTransform(&mTarget, Fade(10), Group(), Record());
    mManager.AddTransform(&mTarget, Fade(1000));
    mManager.AddTransform(&mOther, Fade(100, 0, 1));
    mOnRecord = [&] { mManager.RemoveTransforms(&mTarget); };
    Frame(0);
    Frame(50);
    EXPECT_EQ(mJournal, "r1 "); // no group callback for a removed group
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 0u);
    EXPECT_FLOAT_EQ(mOtherSpec.mAlpha, 0.5f); // the walk went on

    // RemoveAll from inside a callback frees everything, callbacks included.
    mManager.AddTransform(&mTarget, Fade(10), Group(), Record());
    mOnRecord = [&] { mManager.RemoveAll(); };
    Frame(60);
    Frame(70);
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
}

TEST_F(ManagerTest, PausingShiftsClocksSoNothingJumps)
{
    mManager.AddTransform(&mTarget, Fade(2000));
    Frame(1000);
    Frame(1500);
    mManager.AddTransform(&mOther, Fade(1000)); // not started before the pause
    mManager.PauseAll();
    Frame(2000); // suspended: nothing moves
    mClock.SetFrameTime(6500);
    mManager.ResumeAll();
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.75f);
    Frame(6600);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.7f);
    EXPECT_EQ(mOtherSpec.mAlpha, 1.0f); // its clock starts now
    Frame(7100);
    EXPECT_FLOAT_EQ(mOtherSpec.mAlpha, 0.5f);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.45f);

    // One target paused on its own, then resumed.
    mManager.PauseTransforms(&mTarget);
    Frame(8000);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.45f);
    mManager.ResumeTransforms(&mTarget);
    Frame(8100);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.4f);
}

// A target its owner paused stays paused through the application's pause and resume (a focus
// change): only its owner lets it go, and its clock then goes on from where it stood.
TEST_F(ManagerTest, ResumeAllLeavesWhatItsOwnerPausedHeld)
{
    mManager.AddTransform(&mTarget, Fade(1000));
    mManager.AddTransform(&mOther, Fade(1000));
    Frame(0);
    Frame(200);
    mManager.PauseTransforms(&mTarget);
    mManager.PauseAll();
    Frame(300);
    mManager.ResumeTransforms(&mOther); // not its owner's pause: nothing to let go
    mClock.SetFrameTime(1200);
    mManager.ResumeAll();
    Frame(1300);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.8f);
    EXPECT_FLOAT_EQ(mOtherSpec.mAlpha, 0.7f);

    // Its owner lets it go while the application is paused: it waits for the resume.
    mManager.PauseAll();
    mManager.ResumeTransforms(&mTarget);
    mManager.PauseTransforms(&mOther);
    Frame(1400);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.8f);
    mClock.SetFrameTime(5000);
    mManager.ResumeAll();
    Frame(5100);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.7f);
    EXPECT_FLOAT_EQ(mOtherSpec.mAlpha, 0.7f);
    mManager.ResumeTransforms(&mOther);
    Frame(5200);
    EXPECT_FLOAT_EQ(mOtherSpec.mAlpha, 0.6f);
}

TEST_F(ManagerTest, AListFirstUpdatedAtTimeZeroIsNotRestarted)
{
    mManager.AddTransform(&mTarget, Fade(100));
    Frame(0);
    Frame(50);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.5f);
    mManager.PauseAll();
    mManager.ResumeAll();
    Frame(75);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.25f);
}

TEST_F(ManagerTest, IdleFlagFollowsTheGroups)
{
    WindowManager frames;
    frames.AddClient(&mManager, true);
    mManager.AddTransform(&mTarget, Fade(10));
    EXPECT_FALSE(frames.IsTaskIdle(&mManager));
    mManager.PauseAll();
    EXPECT_TRUE(frames.IsTaskIdle(&mManager));
    mManager.ResumeAll();
    EXPECT_FALSE(frames.IsTaskIdle(&mManager));
    Frame(0);
    Frame(10); // the last group goes
    EXPECT_FALSE(frames.IsTaskIdle(&mManager));
    Frame(20);
    EXPECT_TRUE(frames.IsTaskIdle(&mManager));
}

TEST_F(ManagerTest, DestroyedTargetEndsItsTransforms)
{
    {
        TDrawSpec spec;
        TM_Transform2D doomed(&spec);
        mManager.AddTransform(&doomed, Fade(100), Group(), Record());
        Frame(0);
    }
    EXPECT_EQ(mManager.GetGroupCount(), 0u);
    Frame(200);
    EXPECT_EQ(mJournal, "");
}
} // namespace
