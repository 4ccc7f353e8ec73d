// The puzzles' shared helpers: the completion statement with awkward names, rectangles from
// tables, the touch test at the edges and the arming of a click sound.
#include "framework/sound/sound_effect.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "game/minigames/puzzles/puzzle_scene_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class PuzzleSceneTest : public puzzletest::PuzzleTest
{
protected:
    std::string Activated(int index)
    {
        Run("_a = activated[" + std::to_string(index) + "] or '<none>'");
        return mManager->GetScript()->GetGlobalString("_a").c_str();
    }
};

TEST_F(PuzzleSceneTest, TheStatementKeepsPlainNamesAndEscapesTheRest)
{
    EXPECT_STREQ(GameplayActivateEventStatement("event_electroniclockcomplete").c_str(),
                 "GameplayActivateEvent( 'event_electroniclockcomplete' );");
    EXPECT_STREQ(GameplayActivateEventStatement("a'b\\c\nd\re\tf").c_str(),
                 "GameplayActivateEvent( 'a\\'b\\\\c\\nd\\re\\009f' );");

    // Each name reaches the script function exactly, and nothing else runs.
    const std::string names[] = {
        "event_electroniclockcomplete", "it's", "back\\slash", "two\nlines",
        "x' ); hacked = 1; --",         "\t1"};
    for (const std::string& name : names)
        RunGameplayActivateEvent(name.c_str());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Activated(i + 1), names[i]) << i;
    EXPECT_EQ(Number("hacked"), 0);
}

TEST_F(PuzzleSceneTest, RectanglesAreTruncatedAndTouchAtTheirEdges)
{
    std::unique_ptr<TLuaTable> table = Table("{ x1 = 10.9, y1 = -3.7, x2 = 'soft', y2 = '40' }");
    EXPECT_EQ(ReadPuzzleRect(*table), TRect(10, -3, 0, 40));
    EXPECT_EQ(ReadPuzzleRect(*Table("{ x1 = 1e30, y2 = -1e30 }")),
              TRect(2147483647, 0, 0, -2147483647 - 1));

    const TRect a(0, 0, 10, 10);
    EXPECT_TRUE(RectsTouch(a, TRect(10, 10, 20, 20)));
    EXPECT_TRUE(RectsTouch(TRect(-5, 3, 0, 4), a));
    EXPECT_TRUE(RectsTouch(a, TRect(2, 2, 3, 3)));
    EXPECT_FALSE(RectsTouch(a, TRect(11, 0, 20, 10)));
    EXPECT_FALSE(RectsTouch(a, TRect(0, -9, 10, -1)));
}

struct NeverTold : TSoundCallBack
{
    void OnSoundEnd(const std::shared_ptr<TSoundInstance>&, const std::shared_ptr<TSound>&) override
    {
        ++calls;
    }
    int calls = 0;
};

TEST_F(PuzzleSceneTest, ArmingSetsTheDelayAndDropsTheListenerUntold)
{
    auto effect = SoundEffect::Create(*Table("{ sounds = { 'click' }, initialdelay = 30, "
                                             "delay = 45 }"));
    NeverTold told;
    effect->mEndCallback = &told;
    ArmSoundEffect(effect.get());
    EXPECT_EQ(effect->mPending, 75);
    EXPECT_EQ(effect->mEndCallback, nullptr);
    EXPECT_EQ(told.calls, 0);
    // Nothing starts before the update counts the delay out.
    EXPECT_FALSE(effect->IsPlaying());
    effect->Update(74);
    EXPECT_EQ(effect->mPending, 1);
    effect->Update(1);
    EXPECT_EQ(effect->mPending, -1);
    EXPECT_TRUE(effect->IsPlaying());

    effect->mInitialDelay = 2147483647;
    effect->mDelay = 10;
    ArmSoundEffect(effect.get());
    EXPECT_EQ(effect->mPending, 2147483647);
    ArmSoundEffect(nullptr);
}

} // namespace
