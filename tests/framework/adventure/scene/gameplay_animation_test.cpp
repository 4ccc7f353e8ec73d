// Layer animations on a bitmap of three frames, on the test clock: keys, runs that end once after
// their last part whatever the order, restarts, instant end states, and clearing other runs.
#include "framework/adventure/scene/gameplay_animation.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/widgets/animated_bitmap.h"
#include "render/render_test_support.h"

#include <memory>
#include <string>

namespace
{

class AnimationTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        Image("frames/f1.png", 4, 4, 0xFFFF0000);
        Image("frames/f2.png", 4, 4, 0xFF00FF00);
        Image("frames/f3.png", 4, 4, 0xFF0000FF);
        mBitmap = AnimatedBitmap::Create(*Table("{ image = 'frames', x = 10, y = 20 }"));
        mBitmap->CreateSprites();
    }
    std::unique_ptr<GameplayAnimation> Make(const std::string& lua, uint8_t id = 0)
    {
        return std::make_unique<GameplayAnimation>(*Table(lua), id);
    }
    void Run(int frames)
    {
        for (int i = 0; i < frames; ++i)
            Step(16, [&] { mBitmap->Update(); });
    }
    std::shared_ptr<AnimatedBitmap> mBitmap;
};

const char kThreeParts[] = "{ name = 'glow', animation = 'once', framespeed = 5, "
                           "move = { endx = 50, endy = 20, duration = %d }, "
                           "fade = { beginopacity = 1, endopacity = 0, duration = %d } }";

std::string ThreeParts(int moveMs, int fadeMs)
{
    char text[256];
    std::snprintf(text, sizeof text, kThreeParts, moveMs, fadeMs);
    return text;
}

TEST_F(AnimationTest, KeysAndRunsThatEndAfterTheirLastPart)
{
    auto keys = Make("{ name = 'a', layer = 'l', initialframe = 2.9, framespeed = -1.5, "
                     "animation = 'wrap', callback = true, nextanimations = { 'b', 'c' }, "
                     "activatesounds = { 's' } }",
                     7);
    EXPECT_EQ(keys->GetInitialFrame(), 2);
    EXPECT_EQ(keys->GetFrameSpeed(), -1);
    EXPECT_EQ(keys->GetId(), 7);
    EXPECT_TRUE(keys->HasCallback());
    EXPECT_EQ(keys->GetNextAnimations(), (std::vector<TString>{"b", "c"}));
    EXPECT_EQ(keys->GetActivateSounds(), (std::vector<TString>{"s"}));
    EXPECT_EQ(keys->GetState(), GameplayAnimation::kIdle);

    // The frames and both motions report, in either order; the caller is told once, after the
    // third, and sees the finished state while it is told.
    for (const auto& [move, fade] : {std::pair{100, 30}, std::pair{20, 150}})
    {
        auto glow = Make(ThreeParts(move, fade));
        advtest::CountingCallback done;
        int stateSeen = 0;
        done.mAction = [&] { stateSeen = glow->GetState(); };
        glow->Start(done.Get(), false, mBitmap);
        EXPECT_EQ(glow->GetState(), GameplayAnimation::kRunning);
        EXPECT_EQ(glow->GetPartCount(), 3u);
        Run(5);
        EXPECT_EQ(done.mCalls, 0);
        EXPECT_EQ(glow->GetPartsDone(), 2) << move;
        Run(6);
        EXPECT_EQ(done.mCalls, 1) << move;
        EXPECT_EQ(stateSeen, GameplayAnimation::kFinished);
        EXPECT_EQ(glow->GetState(), GameplayAnimation::kIdle);
        Run(10);
        EXPECT_EQ(done.mCalls, 1);
    }

    // A sequence played once at speed 0 has no ending part: it ends at once, said once, its
    // caller told once (inside the start) and seeing the finished state.
    auto still = Make("{ name = 'still', animation = 'once', framespeed = 0, callback = true }");
    advtest::CountingCallback atOnce;
    int stillSeen = 0;
    atOnce.mAction = [&] { stillSeen = still->GetState(); };
    still->Start(atOnce.Get(), false, mBitmap);
    EXPECT_EQ(atOnce.mCalls, 1);
    EXPECT_EQ(stillSeen, GameplayAnimation::kFinished);
    EXPECT_EQ(still->GetState(), GameplayAnimation::kIdle);
    Run(20);
    EXPECT_EQ(atOnce.mCalls, 1);
    EXPECT_EQ(rendertest::CountOf(Log(), "'still' has no part that ends; it ends at once"), 1);
}

TEST_F(AnimationTest, RestartsReplaceTheRunAndItsCallback)
{
    auto glow = Make(ThreeParts(100, 30));
    advtest::CountingCallback first;
    advtest::CountingCallback second;
    glow->Start(first.Get(), false, mBitmap);
    Run(3);
    EXPECT_EQ(glow->GetPartsDone(), 2);
    // Started again: the count starts over, the first run's late parts reach nothing; its caller
    // is told once, at the restart, as a run cut short (it reads running: nothing follows it).
    int firstSeen = 0;
    first.mAction = [&] { firstSeen = glow->GetState(); };
    glow->Start(second.Get(), false, mBitmap);
    EXPECT_EQ(glow->GetPartsDone(), 0);
    EXPECT_EQ(first.mCalls, 1);
    EXPECT_EQ(firstSeen, GameplayAnimation::kRunning);
    Run(12);
    EXPECT_EQ(first.mCalls, 1);
    EXPECT_EQ(second.mCalls, 1);

    // An instant start during a run ends it: its caller is told once.
    advtest::CountingCallback cut;
    glow->Start(cut.Get(), false, mBitmap);
    Run(1);
    glow->Start(nullptr, true, mBitmap);
    EXPECT_EQ(cut.mCalls, 1);
    EXPECT_EQ(glow->GetState(), GameplayAnimation::kIdle);
    Run(12);
    EXPECT_EQ(cut.mCalls, 1);

    // An animation that starts itself again from its own end.
    advtest::CountingCallback again;
    int restarts = 0;
    again.mAction = [&]
    {
        if (++restarts < 3)
            glow->Start(again.Get(), false, mBitmap);
    };
    glow->Start(again.Get(), false, mBitmap);
    Run(40);
    EXPECT_EQ(again.mCalls, 3);
    EXPECT_EQ(glow->GetState(), GameplayAnimation::kIdle);
}

TEST_F(AnimationTest, InstantStartsSetTheEndValues)
{
    TM_Transform2D& transform = mBitmap->GetTransform();
    Make("{ move = { endx = 50, endy = 60, duration = 500 }, "
         "fade = { beginopacity = 1, endopacity = 0.25, duration = 500 } }")
        ->Start(nullptr, true, mBitmap);
    EXPECT_EQ(transform.GetX(), 50.0f);
    EXPECT_EQ(transform.GetY(), 60.0f);
    EXPECT_EQ(transform.GetAlpha(), 0.25f);
    auto grow = Make("{ scale = { beginscale = 1, endscale = 2, duration = 500 } }");
    grow->Start(nullptr, true, mBitmap);
    EXPECT_EQ(transform.GetScaleX(), 2.0f);
    Make("{ scale = { beginscale = 1, endscale = 2, oscillate = true } }")
        ->Start(nullptr, true, mBitmap);
    EXPECT_EQ(transform.GetScaleX(), 1.0f);

    // Oscillating: the begin value; not anchored: relative to where it is.
    Make("{ move = { beginx = 5, beginy = 6, endx = 50, endy = 60, oscillate = true } }")
        ->Start(nullptr, true, mBitmap);
    EXPECT_EQ(transform.GetX(), 5.0f);
    Make("{ move = { endx = 10, endy = -1, anchored = false } }")->Start(nullptr, true, mBitmap);
    EXPECT_EQ(transform.GetX(), 15.0f);
    EXPECT_EQ(transform.GetY(), 5.0f);

    // Looping: started again rather than set.
    Make("{ rotate = { beginrotation = 0, endrotation = 1, duration = 160, loop = true } }")
        ->Start(nullptr, true, mBitmap);
    const float before = transform.GetRotationZ();
    Run(3);
    EXPECT_NE(transform.GetRotationZ(), before);

    // Clearing removes what other animations run on the same bitmap: their runs are cut short and
    // their callers told once.
    auto slide =
        Make("{ move = { beginx = 0, endx = 100, beginy = 0, endy = 0, duration = 1000 } }");
    advtest::CountingCallback slid;
    slide->Start(slid.Get(), false, mBitmap);
    Run(2);
    Make("{ clearprevious = true }")->Start(nullptr, false, mBitmap);
    const float stopped = transform.GetX();
    Run(80);
    EXPECT_EQ(transform.GetX(), stopped);
    EXPECT_EQ(slid.mCalls, 1);
    EXPECT_EQ(slide->GetState(), GameplayAnimation::kIdle);
}

} // namespace
