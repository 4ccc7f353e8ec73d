// Cut-scene animations: the keys they read, the parts a run hands to the layer's bitmap, one done
// notice per run after every part has ended, replays, and the run that starts no part.
#include "cutscene_test_support.h"

#include "framework/transforms/transform_manager.h"
#include "framework/widgets/animated_bitmap.h"
#include "game/cutscenes/illustration_panel_animation.h"

namespace
{

class PanelAnimationTest : public cuttest::CutsceneTest
{
protected:
    void SetUp() override
    {
        CutsceneTest::SetUp();
        if (HasFatalFailure())
            return;
        std::unique_ptr<TLuaTable> layer = Table("{ image = 'story/red', x = 0, y = 0 }", "layer");
        mTarget = AnimatedBitmap::Create(*layer);
    }
    void TearDown() override
    {
        mAnimations.clear();
        mOther.reset();
        mTarget.reset();
        CutsceneTest::TearDown();
    }
    IllustrationPanelAnimation& Make(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> table = Table(lua);
        mAnimations.push_back(std::make_unique<IllustrationPanelAnimation>(*table));
        return *mAnimations.back();
    }
    // Frames of 10 ms as the frame driver runs them: clock, bitmap, transforms.
    void Run(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 10)
        {
            mClock.SetFrameTime(Now() + 10);
            mClock.SetStep(10);
            mTarget->Update();
            if (mOther)
                mOther->Update();
            mTransforms->Update();
        }
    }

    std::shared_ptr<AnimatedBitmap> mTarget;
    std::shared_ptr<AnimatedBitmap> mOther;
    std::vector<std::unique_ptr<IllustrationPanelAnimation>> mAnimations;
    Counter mDone;
};

TEST_F(PanelAnimationTest, KeysAndNameLists)
{
    IllustrationPanelAnimation& a =
        Make("{ name = 'walk', layer = 'thief', callback = true, initialframe = 2.7,"
             "  nextanimations = { 'a', 7, 'b' }, activatesounds = { 'wind' },"
             "  deactivatesounds = { true, 'rain' } }");
    EXPECT_STREQ(a.GetName().c_str(), "walk");
    EXPECT_STREQ(a.GetLayer().c_str(), "thief");
    EXPECT_TRUE(a.HasCallback());
    EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kIdle);
    ASSERT_EQ(a.GetNextAnimations().size(), 3u);
    EXPECT_STREQ(a.GetNextAnimations()[0].c_str(), "a");
    EXPECT_EQ(a.GetNextAnimations()[1].Length(), 0u);
    EXPECT_STREQ(a.GetNextAnimations()[2].c_str(), "b");
    ASSERT_EQ(a.GetActivateSounds().size(), 1u);
    ASSERT_EQ(a.GetDeactivateSounds().size(), 2u);
    EXPECT_EQ(a.GetDeactivateSounds()[0].Length(), 0u);
    EXPECT_STREQ(a.GetDeactivateSounds()[1].c_str(), "rain");

    IllustrationPanelAnimation& plain = Make("{ framespeed = 'fast' }");
    EXPECT_FALSE(plain.HasCallback());
    EXPECT_TRUE(plain.GetNextAnimations().empty());
    EXPECT_EQ(CountInLog("IllustrationPanelAnimation: 'framespeed' is not a number"), 1);
}

TEST_F(PanelAnimationTest, MoveAndScaleCompleteOnceAfterBothInEitherOrder)
{
    for (const char* order : {"move = { endx = 50, duration = 100 }, scale = { beginscale = 1,"
                              " endscale = 2, duration = 200 }",
                              "move = { endx = 50, duration = 200 }, scale = { beginscale = 1,"
                              " endscale = 2, duration = 100 }"})
    {
        IllustrationPanelAnimation& a = Make(std::string("{ ") + order + " }");
        Counter done;
        done.mAction = [&] { EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kReporting); };
        a.Play(&done.mCallback, mTarget);
        EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kPlaying);
        EXPECT_EQ(a.GetPartCount(), 2u);
        Run(150);
        EXPECT_EQ(a.GetPartsDone(), 1);
        EXPECT_EQ(done.mCalls, 0);
        Run(100);
        EXPECT_EQ(done.mCalls, 1) << order;
        EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kIdle);
        Run(300);
        EXPECT_EQ(done.mCalls, 1);
    }
}

TEST_F(PanelAnimationTest, FrameModesAndRunsWithoutParts)
{
    // "once" at frame speed 0 makes no hook: without a done notice the run never completes...
    IllustrationPanelAnimation& once = Make("{ animation = 'once', framespeed = 0 }");
    once.Play(nullptr, mTarget);
    EXPECT_EQ(once.GetPartCount(), 0u);
    Run(200);
    EXPECT_EQ(once.GetState(), IllustrationPanelAnimation::kPlaying);
    // ...and with one it completes at once, so a waiting panel goes on.
    once.Play(&mDone.mCallback, mTarget);
    EXPECT_EQ(mDone.mCalls, 1);
    EXPECT_EQ(once.GetState(), IllustrationPanelAnimation::kIdle);

    IllustrationPanelAnimation& wrap = Make("{ animation = 'wrap', framespeed = 10 }");
    wrap.Play(nullptr, mTarget);
    EXPECT_EQ(wrap.GetPartCount(), 0u);
    IllustrationPanelAnimation& counted = Make("{ animation = 'once', framespeed = 10 }");
    counted.Play(nullptr, mTarget);
    EXPECT_EQ(counted.GetPartCount(), 1u);
    EXPECT_EQ(mTarget->GetFrameMode(), AnimatedBitmap::kPlayOnce);

    // A missing target is logged and starts nothing.
    IllustrationPanelAnimation& lost = Make("{ name = 'lost', move = { duration = 10 } }");
    lost.Play(&mDone.mCallback, nullptr);
    EXPECT_EQ(CountInLog("IllustrationPanelAnimation: 'lost' has no layer to play on"), 1);
    EXPECT_EQ(lost.GetState(), IllustrationPanelAnimation::kIdle);
}

TEST_F(PanelAnimationTest, ClearPreviousStopsAnEarlierMotion)
{
    IllustrationPanelAnimation& walk =
        Make("{ move = { beginx = 0, endx = 100, duration = 400 } }");
    IllustrationPanelAnimation& keep = Make("{ fade = { beginopacity = 1, endopacity = 0.5,"
                                            " duration = 100 } }");
    IllustrationPanelAnimation& clear = Make("{ clearprevious = true, fade = { beginopacity = 1,"
                                             " endopacity = 0.5, duration = 100 } }");
    walk.Play(nullptr, mTarget);
    Run(100);
    keep.Play(nullptr, mTarget);
    Run(100);
    const float x = mTarget->GetTransform().GetX();
    EXPECT_GT(x, 0);
    clear.Play(nullptr, mTarget);
    Run(300);
    EXPECT_NEAR(mTarget->GetTransform().GetX(), x, 3);
    EXPECT_EQ(walk.GetState(), IllustrationPanelAnimation::kPlaying);

    walk.Play(nullptr, mTarget);
    Run(500);
    EXPECT_EQ(mTarget->GetTransform().GetX(), 100);
}

TEST_F(PanelAnimationTest, AReplayIgnoresThePreviousRunsParts)
{
    // Played on one cell's layer, then again on another's while the first still moves.
    std::unique_ptr<TLuaTable> other = Table("{ image = 'story/green' }", "other");
    mOther = AnimatedBitmap::Create(*other);
    IllustrationPanelAnimation& a = Make("{ move = { endx = 10, duration = 300 } }");
    Counter first;
    a.Play(&first.mCallback, mTarget);
    Run(100);
    Counter second;
    second.mAction = [&] { EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kReporting); };
    a.Play(&second.mCallback, mOther);
    EXPECT_EQ(a.GetPartsDone(), 0);
    // The first layer's move ends at 300 ms and counts for nobody.
    Run(250);
    EXPECT_EQ(a.GetPartsDone(), 0);
    EXPECT_EQ(first.mCalls + second.mCalls, 0);
    Run(100);
    EXPECT_EQ(second.mCalls, 1);
    EXPECT_EQ(first.mCalls, 0);
    EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kIdle);

    // Replayed from inside its own notice: the new run keeps playing.
    Counter again;
    again.mAction = [&] { a.Play(nullptr, mTarget); };
    a.Play(&again.mCallback, mTarget);
    Run(310);
    EXPECT_EQ(again.mCalls, 1);
    EXPECT_EQ(a.GetState(), IllustrationPanelAnimation::kPlaying);

    // Destroyed while its parts still run: their ends reach nothing.
    mAnimations.clear();
    Run(400);
    mOther.reset();
}

} // namespace
