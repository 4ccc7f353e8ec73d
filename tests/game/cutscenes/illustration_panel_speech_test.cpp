// Cut-scene speech bubbles: what they read and write into the shared "speechinfo", the fade in,
// the voice and the fade out with one done notice, silent bubbles, and a bubble destroyed while its
// voice still plays.
#include "cutscene_test_support.h"

#include "framework/widgets/text_object.h"
#include "game/cutscenes/illustration_panel_speech.h"
#include "render/sprites/sprite.h"

namespace
{

const char* const kInfo = "{ timeintro = 100, timeoutro = 50, alphaintro = 0.8, alphaoutro = 0.1,"
                          "  font = { '', 10, { 0, 0, 0, 1 } }, flags = 5 }";

class PanelSpeechTest : public cuttest::CutsceneTest
{
protected:
    void SetUp() override
    {
        CutsceneTest::SetUp();
        if (!HasFatalFailure())
            mInfo = Table(kInfo, "info");
    }
    void TearDown() override
    {
        mInfo.reset();
        CutsceneTest::TearDown();
    }
    std::unique_ptr<IllustrationPanelSpeech> Make(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> bubble = Table(lua);
        return std::make_unique<IllustrationPanelSpeech>(*mInfo, *bubble);
    }
    float Alpha(IllustrationPanelSpeech& bubble) { return bubble.GetTransform().GetAlpha(); }

    std::unique_ptr<TLuaTable> mInfo;
    Counter mDone;
};

TEST_F(PanelSpeechTest, KeysAndTheTextWrittenIntoSpeechInfo)
{
    auto bubble = Make("{ sound = 'hello', postevent = 'after', image = 'story/bubble', x = 10,"
                       "  y = 20, xcenter = 5, ycenter = 6,"
                       "  text = { text = 'line1', x = 12, y = 3, w = 100, h = 30 } }");
    EXPECT_EQ(bubble->GetSound(), Handle("hello"));
    EXPECT_STREQ(bubble->GetPostEvent().c_str(), "after");
    EXPECT_EQ(bubble->GetTimeIntro(), 100);
    EXPECT_EQ(bubble->GetTimeOutro(), 50);
    EXPECT_FLOAT_EQ(bubble->GetAlphaIntro(), 0.8f);
    EXPECT_FLOAT_EQ(bubble->GetAlphaOutro(), 0.1f);
    EXPECT_EQ(Alpha(*bubble), 0);
    const TDrawSpec& placement = bubble->GetSprite()->GetSpec();
    EXPECT_NE(bubble->GetSprite()->GetTexture(), nullptr);
    EXPECT_EQ(placement.mMatrix.m[2][0], 10);
    EXPECT_EQ(placement.mMatrix.m[2][1], 20);
    EXPECT_EQ(placement.mOrigin.x, 5);
    EXPECT_EQ(placement.mOrigin.y, 6);
    EXPECT_NE(placement.mFlags & 8u, 0u);
    // Strings, as written; the text object reads them as numbers.
    EXPECT_TRUE(IsTrue("info.text == 'Line one' and info.x == '12' and info.y == '3' and "
                       "info.w == '100' and info.h == '30'"));
    ASSERT_NE(bubble->GetTextObject(), nullptr);
    EXPECT_STREQ(bubble->GetTextObject()->GetText().c_str(), "Line one");
    EXPECT_EQ(bubble->GetTextObject()->GetBox().right, 100);
    EXPECT_EQ(bubble->GetTextObject()->GetTransform()->GetX(), 12);

    // The next bubble leaves nothing of this one behind.
    auto next = Make("{ sound = 'bye', text = { text = 'line2', y = 7 } }");
    EXPECT_TRUE(IsTrue("info.text == 'Two' and info.x == '' and info.y == '7' and "
                       "info.w == '' and info.h == ''"));
    EXPECT_EQ(next->GetTextObject()->GetBox().right, 0);
    EXPECT_EQ(next->GetTextObject()->GetTransform()->GetX(), 0);
    EXPECT_EQ(next->GetPostEvent().Length(), 0u);
}

TEST_F(PanelSpeechTest, AVoicedBubbleFadesInSpeaksNotifiesOnceThenFadesOut)
{
    auto bubble = Make("{ sound = 'hello', image = 'story/bubble', text = { text = 'line1' } }");
    bubble->Start(&mDone.mCallback);
    EXPECT_EQ(mDone.mCalls, 0);
    EXPECT_EQ(Playing("hello"), 1u);
    RunTo(Now() + 110);
    EXPECT_FLOAT_EQ(Alpha(*bubble), 0.8f);
    RunTo(Now() + 140);
    EXPECT_EQ(mDone.mCalls, 0);
    // The voice lasts 300 ms.
    RunTo(Now() + 100);
    EXPECT_EQ(mDone.mCalls, 1);
    EXPECT_EQ(bubble->GetDoneCallback(), nullptr);
    RunTo(Now() + 60);
    EXPECT_FLOAT_EQ(Alpha(*bubble), 0.1f);
    bubble->Stop();
    EXPECT_EQ(mDone.mCalls, 1);
}

TEST_F(PanelSpeechTest, SilentBubblesEndInsideStartAndStopTwiceNotifiesOnce)
{
    auto unknown = Make("{ sound = 'nosuch', text = { text = 'line1' } }");
    EXPECT_EQ(unknown->GetSound(), 0);
    EXPECT_EQ(CountInLog("Cannot load sound 'nosuch' for IllustrationPanelSpeech!"), 1);
    EXPECT_EQ(Quits(), 0);
    unknown->Start(&mDone.mCallback);
    EXPECT_EQ(mDone.mCalls, 1);

    auto none = Make("{ text = { text = 'line1' } }");
    EXPECT_EQ(CountInLog("Cannot load sound '' for IllustrationPanelSpeech!"), 1);
    Counter other;
    none->Start(&other.mCallback);
    EXPECT_EQ(other.mCalls, 1);

    // A sound in the table whose file is missing starts nothing: it ends like a silent one.
    auto ghost = Make("{ sound = 'ghost', text = { text = 'line1' } }");
    Counter haunted;
    ghost->Start(&haunted.mCallback);
    EXPECT_EQ(haunted.mCalls, 1);

    auto voiced = Make("{ sound = 'bye', text = { text = 'line1' } }");
    Counter twice;
    voiced->Start(&twice.mCallback);
    voiced->Stop();
    voiced->Stop();
    EXPECT_EQ(twice.mCalls, 1);
    RunTo(Now() + 400);
    EXPECT_EQ(twice.mCalls, 1);
}

TEST_F(PanelSpeechTest, ABubbleDestroyedWhileItsVoicePlaysLeavesNothingBehind)
{
    auto bubble = Make("{ sound = 'hello', text = { text = 'line1' } }");
    bubble->Start(&mDone.mCallback);
    RunTo(Now() + 100);
    ASSERT_EQ(Playing("hello"), 1u);
    bubble.reset();
    EXPECT_EQ(Playing("hello"), 0u);
    RunTo(Now() + 500);
    EXPECT_EQ(mDone.mCalls, 0);
}

TEST_F(PanelSpeechTest, NoTextTableIsFatalAndTheBubbleDrawsNothing)
{
    auto bubble = Make("{ sound = 'hello', image = 'story/bubble', x = 10, y = 10 }");
    EXPECT_EQ(CountInLog("No text table for IllustrationPanelSpeech!"), 1);
    EXPECT_EQ(Quits(), 1);
    EXPECT_EQ(bubble->GetTextObject(), nullptr);
    EXPECT_EQ(bubble->GetSprite()->GetTexture(), nullptr);
    bubble->Start(&mDone.mCallback);
    RunTo(Now() + 400);
    EXPECT_EQ(mDone.mCalls, 1);
}

} // namespace
