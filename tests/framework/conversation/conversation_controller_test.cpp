// Conversations running frame by frame: the layout of each side, replacement and hiding, a line
// from its slide through the bubble and the voice to the next line and the end, lines without a
// voice or without a speaker, presses, the text shrinking, pausing, and the controller destroyed
// at every stage with nothing left pointing into it.
#include "framework/conversation_test_support.h"

#include "render/text/text_sprite.h"

#include <functional>

using convtest::CharacterInfo;
using convtest::ConversationTest;

namespace
{

std::string With(std::string info, const std::string& from, const std::string& to)
{
    info.replace(info.find(from), from.size(), to);
    return info;
}

class ConversationRunTest : public ConversationTest
{
protected:
    // Frames every 10 ms until the condition holds (at most `limit` ms); answers the time.
    uint32_t RunUntil(const std::function<bool()>& condition, uint32_t limit = 2000)
    {
        const uint32_t end = Now() + limit;
        while (!condition() && Now() < end)
            Frame(Now() + 10);
        EXPECT_TRUE(condition()) << "not reached by " << Now();
        return Now();
    }
    void Start(const char* name)
    {
        mController->StartConversation(name, &mAllGone.mCallback, "", &mEnded.mCallback);
    }
    void AddString(const std::string& label, const std::string& text)
    {
        const std::string row = "<Row><Cell><Data>" + label + "</Data></Cell><Cell><Data>" + text +
                                "</Data></Cell></Row>";
        mImpl->mManagers.mStringTable->LoadBuffer(row.data(), static_cast<uint32_t>(row.size()));
    }
    float X(const char* name) { return C(name).mPortraitTransform.GetX(); }
};

TEST_F(ConversationRunTest, EachSideIsLaidOutFromItsHomeAndTheSpacingInSignedArithmetic)
{
    struct Case
    {
        const char* mShow;
        const char* mSpeaker;
        std::string mInfo;
        std::vector<std::pair<const char*, float>> mPlaces;
    } cases[] = {
        // One on each side: (0 + 200) / 1 + 50.
        {"'ann', 'ben'", "ann", CharacterInfo(), {{"ann", 250}, {"ben", 550}}},
        // Three on the left without spacing; dan speaks from second place and moves to the
        // front: home 300, step 100.
        {"'ann', 'dan', 'cat'",
         "dan",
         With(CharacterInfo(), "characterspacing = 50", "characterspacing = 0"),
         {{"cat", 100}, {"ann", 200}, {"dan", 300}}},
        // A negative spacing: (-250 + 200) / 2 - 250 = -275.
        {"'ann', 'cat'",
         "ann",
         With(CharacterInfo(), "characterspacing = 50", "characterspacing = -250"),
         {{"cat", -275}, {"ann", -550}}},
        // A negative slide time ends the slide at the next frame.
        {"'ann'",
         "ann",
         With(CharacterInfo(), "timeslide = 100", "timeslide = -100"),
         {{"ann", 250}}},
        // A right-hand place past the left edge: 800 - 1000.
        {"'ben'",
         "ben",
         With(With(CharacterInfo(), "characterspacing = 50", "characterspacing = 0"),
              "flip = true, xhome = 200", "flip = true, xhome = 1000"),
         {{"ben", -200}}},
    };
    for (const Case& k : cases)
    {
        // The voice keeps the line going past the checks.
        Make(std::string("{ a = { sound = 'hello', charactertospeak = '") + k.mSpeaker +
                 "', characterstoshow = { " + k.mShow + " } } }",
             k.mInfo);
        Start("a");
        Frame(Now() + 10);
        if (k.mInfo.find("timeslide = -100") != std::string::npos)
        {
            EXPECT_EQ(X("ann"), 250.0f);
        }
        EXPECT_STREQ(mController->mLeftCharacters.empty()
                         ? mController->mRightCharacters.front()->mName.c_str()
                         : mController->mLeftCharacters.front()->mName.c_str(),
                     k.mSpeaker);
        RunTo(Now() + 110);
        for (const auto& [name, x] : k.mPlaces)
            EXPECT_EQ(X(name), x) << k.mShow << ": " << name;
    }
}

TEST_F(ConversationRunTest, ANewcomerOfTheSameGroupTakesTheOthersPlaceAndHidingMissesAreReported)
{
    Make("{ a = { charactertospeak = 'ann', characterstoshow = { 'ann', 'cat' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'eve', characterstoshow = { 'eve' } },"
         "  c = { characterstoshow = { 'dan' } } }",
         CharacterInfo("eve = { name = 'eve', image = 'conv/ben', left = true, groupid = 1,"
                       " xhome = 200, xcenter = 30, y = 450, font = { '', 12 } }"));
    Start("a");
    RunTo(Now() + 110);
    // (50 + 200) / 2 + 50 = 175.
    EXPECT_EQ(X("cat"), 175.0f);
    EXPECT_EQ(X("ann"), 350.0f);

    mController->StartConversation("b", nullptr, "", nullptr);
    EXPECT_EQ(Names(mController->mLeftCharacters), (std::vector<std::string>{"eve", "cat"}));
    EXPECT_EQ(X("eve"), 350.0f);
    EXPECT_EQ(X("ann"), -60.0f) << "off screen at once, without a slide";

    const std::vector<ConversationCharacter*> left = mController->mLeftCharacters;
    mController->HideCharacter("dan");
    mController->HideCharacter("ann");
    EXPECT_EQ(CountInLog("ERROR:Cannot find character to hide. 'dan'   FILE:"), 1);
    EXPECT_EQ(CountInLog("ERROR:Cannot find character to hide. 'ann'   FILE:"), 1);
    EXPECT_EQ(mController->mLeftCharacters, left);
    EXPECT_EQ(Quits(), 0);
}

TEST_F(ConversationRunTest, ALineRunsFromSlideToVoiceToTheNextLineAndTheEnd)
{
    Make("{ a = { charactertospeak = 'ann', text = 'hi', sound = 'hello',"
         "        characterstoshow = { 'ann', 'ben' }, nextconversation = 'b' },"
         "  b = { charactertospeak = 'ben', text = 'yo', sound = 'bye' } }");
    ConversationCharacter& ann = C("ann");
    ConversationCharacter& ben = C("ben");
    std::vector<std::string> order;
    mEnded.mAction = [&] { order.push_back("ended"); };
    mAllGone.mAction = [&] { order.push_back("all gone"); };

    Start("a");
    EXPECT_EQ(ann.mPending, &mController->mSpeakCallback);
    EXPECT_EQ(ben.mPending, nullptr);
    const uint32_t arrived = RunUntil([&] { return ann.mBubbleTransform.GetAlpha() > 0; });
    EXPECT_GE(arrived, 1100u);
    EXPECT_EQ(ann.mVoice, Handle("hello"));
    EXPECT_FALSE(ann.mSpeaking);
    EXPECT_EQ(Playing("hello"), 0u) << "the voice waits for the bubble";
    EXPECT_STREQ(ann.mTextSprite->GetText().c_str(), "Hello there");

    const uint32_t voice = RunUntil([&] { return ann.mSpeaking; });
    EXPECT_EQ(ann.mBubbleTransform.GetAlpha(), 1.0f);
    EXPECT_EQ(Playing("hello"), 1u);
    RunTo(voice + 290);
    EXPECT_TRUE(ann.mSpeaking);
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("a").get());

    // The voice's end, from the sound update, starts the next line at once.
    RunTo(voice + 300);
    EXPECT_FALSE(ann.mSpeaking);
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("b").get());
    EXPECT_EQ(mController->mSpeaker, &ben);
    EXPECT_EQ(ben.mPending, &mController->mSpeakCallback);
    // Ann's bubble fades out, then her voice is given back.
    RunTo(Now() + 60);
    EXPECT_EQ(ann.mBubbleTransform.GetAlpha(), 0.0f);
    EXPECT_EQ(ann.mVoice, 0);
    EXPECT_EQ(mAudio->GetEntry(Handle("hello")), nullptr);

    RunUntil([&] { return ben.mSpeaking; });
    EXPECT_EQ(order, std::vector<std::string>{});
    RunUntil([&] { return !ben.mSpeaking; });
    EXPECT_EQ(order, std::vector<std::string>{"ended"});
    EXPECT_EQ(Playing("exit"), 1u);
    EXPECT_EQ(ann.mPending, &mController->mSlideOutCallback);
    EXPECT_EQ(ben.mPending, &mController->mSlideOutCallback);

    RunTo(Now() + 110);
    EXPECT_EQ(order, (std::vector<std::string>{"ended", "all gone"}));
    EXPECT_TRUE(mController->mLeftCharacters.empty() && mController->mRightCharacters.empty());
    EXPECT_EQ(X("ann"), -60.0f);
    EXPECT_EQ(X("ben"), 860.0f);
    EXPECT_EQ(mController->mScrimSpec.mAlpha, 0.0f);
    EXPECT_EQ(mController->mOnEnded, nullptr);
    EXPECT_EQ(mController->mOnAllGone, nullptr);
    RunTo(Now() + 500);
    EXPECT_EQ(order.size(), 2u);
    EXPECT_EQ(mTransforms->GetGroupCount(), 0u);
}

TEST_F(ConversationRunTest, LinesWithoutAVoiceOrASpeakerEndWithoutWaiting)
{
    // Times of 0: the line without a voice ends inside its bubble's fade-in callback and the
    // next line starts in the same pass.
    Make("{ a = { charactertospeak = 'ann', characterstoshow = { 'ann' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'nobody', nextconversation = 'c' },"
         "  c = { charactertospeak = 'ann', characterstohide = { 'ann' }, "
         "        nextconversation = 'd' },"
         "  d = { charactertospeak = 'ben', characterstoshow = { 'ben' }, sound = 'ghost' } }",
         With(With(CharacterInfo(), "timeslide = 100", "timeslide = 0"), "timebubblefade = 50",
              "timebubblefade = 0"));
    Start("a");
    Frame(Now() + 10); // the slide ends; the bubble starts
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("a").get());
    Frame(Now() + 10); // the bubble is in: b and c are skipped, d starts
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("d").get());
    EXPECT_EQ(CountInLog("ERROR:Conversation 'b': its speaker 'nobody' is not on screen"), 1);
    EXPECT_EQ(CountInLog("ERROR:Conversation 'c': its speaker 'ann' is not on screen"), 1);
    EXPECT_EQ(Quits(), 0);
    // d's voice names a sound without a file: it starts nothing and the line ends as one
    // without a voice.
    RunTo(Now() + 40);
    EXPECT_EQ(mEnded.mCalls, 1);
    EXPECT_FALSE(C("ben").mSpeaking);
    RunTo(Now() + 40);
    EXPECT_EQ(mAllGone.mCalls, 1);
}

TEST_F(ConversationRunTest, AChainOfSkippedLinesIsWalkedAndACycleEndsIt)
{
    Make("{} for i = 1, 400 do conv['s' .. i] = { charactertospeak = 'nobody',"
         " nextconversation = 's' .. (i + 1) } end "
         "conv.s401 = { charactertospeak = 'ann', characterstoshow = { 'ann' } } "
         "conv.x = { characterstoshow = { 'dan' }, nextconversation = 'y' } "
         "conv.y = { charactertospeak = 'dan', characterstohide = { 'dan' }, "
         "           nextconversation = 'x' }");
    Start("s1");
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("s401").get());
    EXPECT_EQ(mEnded.mCalls, 0);

    mController->StartConversation("x", &mAllGone.mCallback, "", &mEnded.mCallback);
    EXPECT_EQ(mEnded.mCalls, 1) << "x, y and x again: the conversation ends";
    RunTo(Now() + 500);
    EXPECT_EQ(mEnded.mCalls, 1);
    // Ann was still standing from s401, dan slid out: both gone now.
    EXPECT_EQ(mAllGone.mCalls, 1);

    // Nothing on screen at the end: no all-gone call.
    Make("{ q = { charactertospeak = 'nobody' } }");
    Start("q");
    RunTo(Now() + 500);
    EXPECT_EQ(mEnded.mCalls, 2);
    EXPECT_EQ(mAllGone.mCalls, 1);
}

// Lines leading back to one the conversation has said (two lines, a line to itself) are said once
// each and the conversation ends there, rather than talking for ever.
TEST_F(ConversationRunTest, ALineLeadingBackToOneSaidEndsTheConversation)
{
    Make("{ a = { charactertospeak = 'ann', characterstoshow = { 'ann' }, nextconversation = 'b' },"
         "  b = { charactertospeak = 'ann', nextconversation = 'a' },"
         "  c = { charactertospeak = 'ann', characterstoshow = { 'ann' }, nextconversation = 'c' } "
         "}");
    const std::vector<std::pair<const char*, std::vector<const Conversation*>>> cases = {
        {"a",
         {mController->mConversations.at("a").get(), mController->mConversations.at("b").get()}},
        {"c", {mController->mConversations.at("c").get()}},
    };
    int ended = 0;
    for (const auto& [first, said] : cases)
    {
        Start(first);
        std::vector<const Conversation*> lines;
        RunUntil(
            [&]
            {
                if (lines.empty() || lines.back() != mController->mCurrent)
                    lines.push_back(mController->mCurrent);
                return mEnded.mCalls == ended + 1;
            });
        EXPECT_EQ(lines, said) << first;
        RunTo(Now() + 500);
        EXPECT_EQ(mEnded.mCalls, ++ended) << first;
    }
}

// A next line the location lacks, after a spoken line or after a skipped one: said, not fatal, and
// the conversation ends there as one whose lines ran out.
TEST_F(ConversationRunTest, ANextLineTheLocationLacksIsSkippedAndTheConversationEnds)
{
    Make("{ a = { charactertospeak = 'ann', characterstoshow = { 'ann' },"
         "        nextconversation = 'a_typo' },"
         "  b = { charactertospeak = 'nobody', nextconversation = 'b_typo' } }",
         With(CharacterInfo(), "timeslide = 100", "timeslide = 0"));
    Start("a");
    RunUntil([&] { return mEnded.mCalls == 1; });
    EXPECT_EQ(CountInLog("ERROR:Cannot find conversation 'a_typo'; it is skipped"), 1);
    EXPECT_EQ(Quits(), 0);
    RunTo(Now() + 500);
    EXPECT_EQ(mAllGone.mCalls, 1);

    Start("b");
    EXPECT_EQ(mEnded.mCalls, 2);
    EXPECT_EQ(CountInLog("ERROR:Cannot find conversation 'b_typo'; it is skipped"), 1);
    EXPECT_EQ(CountInLog("ERROR:Cannot find conversation"), 2);
    EXPECT_EQ(Quits(), 0);
}

TEST_F(ConversationRunTest, APressCountsOnlyWhileTheVoicePlays)
{
    Make("{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'ann', text = 'yo' } }");
    ConversationCharacter& ann = C("ann");
    Start("a");
    mController->OnMouseDown(); // sliding
    RunUntil([&] { return ann.mBubbleTransform.GetAlpha() > 0; });
    mController->OnMouseDown(); // fading in
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("a").get());
    EXPECT_EQ(ann.mPending, &mController->mLineDoneCallback);
    EXPECT_EQ(mTransforms->GetTransformCount(&ann.mBubbleTransform), 1u);

    RunUntil([&] { return ann.mSpeaking; });
    RunTo(Now() + 50);
    mController->OnMouseDown();
    EXPECT_EQ(Playing("hello"), 0u);
    EXPECT_FALSE(ann.mSpeaking);
    EXPECT_EQ(mController->mCurrent, mController->mConversations.at("b").get());
    const float before = ann.mBubbleTransform.GetAlpha();
    Frame(Now() + 30);
    EXPECT_LT(ann.mBubbleTransform.GetAlpha(), before);
    EXPECT_EQ(mEnded.mCalls, 0);
}

TEST_F(ConversationRunTest, ALongLineShrinksToFourAndTheNextStartsFromTheConfiguredSize)
{
    std::string longText;
    while (longText.size() < 1500)
        longText += "The tide comes in twice a day. ";
    AddString("long", longText);
    Make("{ a = { charactertospeak = 'ann', text = 'long', characterstoshow = { 'ann' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'ann', text = 'yo' } }");
    ConversationCharacter& ann = C("ann");
    auto boundsAt = [](const std::string& text, int32_t size)
    {
        auto reference = TTextSprite::Create(90, 30, 5, "", size, TVec4(0, 0, 0, 1), 0);
        reference->SetText(text.c_str());
        TRect bounds;
        reference->GetTextBounds(bounds, TDrawSpec());
        return bounds;
    };
    auto bounds = [&]
    {
        TRect b;
        ann.mTextSprite->GetTextBounds(b, TDrawSpec());
        return b;
    };
    Start("a");
    RunUntil([&] { return ann.mBubbleTransform.GetAlpha() > 0; });
    EXPECT_EQ(bounds(), boundsAt(longText, 4));
    EXPECT_NE(ann.mTextSprite->CountFittingLines(TDrawSpec()), 0) << "too long even at 4";
    EXPECT_EQ(ann.mFontSize, 12);
    EXPECT_EQ(ann.mTextSprite->GetAlignment(), 5u);
    RunUntil([&] { return mController->mCurrent == mController->mConversations.at("b").get(); });
    RunUntil([&] { return ann.mBubbleTransform.GetAlpha() == 0; });
    RunUntil([&] { return ann.mBubbleTransform.GetAlpha() > 0; });
    EXPECT_EQ(bounds(), boundsAt("Yo", 12));

    // The loop alone: a size that fits is kept, one that never fits stops at 4.
    auto box = TTextSprite::Create(200, 60, 1, "", 48, TVec4(0, 0, 0, 1), 0);
    box->SetText("Yo");
    EXPECT_EQ(ConversationCharacter::FitText(*box, 48), 48);
    box->SetText(longText.c_str());
    EXPECT_EQ(ConversationCharacter::FitText(*box, 48), 4);
    EXPECT_EQ(ConversationCharacter::FitText(*box, 2), 2);
}

TEST_F(ConversationRunTest, PausingHoldsSlidesVoicesAndTheScrimButNoOtherSound)
{
    Make("{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann' } } }");
    ConversationCharacter& ann = C("ann");
    const int32_t music = mAudio->Play("bye", false);
    ASSERT_TRUE(mAudio->PlayIndex(music));
    Start("a");
    RunTo(Now() + 50);
    const float x = X("ann");
    const float scrim = mController->mScrimSpec.mAlpha;
    EXPECT_GT(x, -60.0f);
    EXPECT_LT(x, 250.0f);
    mController->Pause();
    EXPECT_EQ(mAudio->GetEntry(music)->mState, SoundEntry::kPlaying) << "ann has no voice yet";
    RunTo(Now() + 1000);
    EXPECT_EQ(X("ann"), x);
    EXPECT_EQ(mController->mScrimSpec.mAlpha, scrim);
    mController->Resume();
    RunTo(Now() + 40);
    EXPECT_LT(X("ann"), 250.0f);
    RunTo(Now() + 30);
    EXPECT_EQ(X("ann"), 250.0f);

    const uint32_t voice = RunUntil([&] { return ann.mSpeaking; });
    RunTo(voice + 100);
    mController->Pause();
    EXPECT_EQ(mAudio->GetEntry(ann.mVoice)->mState, SoundEntry::kPaused);
    RunTo(Now() + 1000);
    EXPECT_TRUE(ann.mSpeaking);
    mController->Resume();
    const uint32_t resumed = Now();
    RunTo(resumed + 190);
    EXPECT_TRUE(ann.mSpeaking);
    RunTo(resumed + 200);
    EXPECT_FALSE(ann.mSpeaking);
}

TEST_F(ConversationRunTest, ANextLineBeforeTheBubbleFadedOutGivesTheOldVoiceBack)
{
    Make("{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'ann', sound = 'bye' } }",
         With(CharacterInfo(), "timeslide = 100", "timeslide = 10"));
    ConversationCharacter& ann = C("ann");
    Start("a");
    RunUntil([&] { return ann.mSpeaking; });
    RunUntil([&] { return mController->mCurrent == mController->mConversations.at("b").get(); });
    // The slide ends before the fade-out: the new line cancels the old voice's release.
    RunTo(Now() + 20);
    EXPECT_GT(ann.mBubbleTransform.GetAlpha(), 0.0f);
    EXPECT_EQ(ann.mVoice, Handle("bye"));
    EXPECT_EQ(mAudio->GetEntry(Handle("hello")), nullptr);
    RunUntil([&] { return mEnded.mCalls == 1; });
    RunTo(Now() + 200);
    EXPECT_EQ(mAudio->GetEntry(Handle("bye")), nullptr);
}

TEST_F(ConversationRunTest, DestroyedAtAnyStageItLeavesNothingPointingIntoIt)
{
    const std::string lines =
        "{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann', 'ben' },"
        "        nextconversation = 'b' },"
        "  b = { charactertospeak = 'ben', characterstohide = { 'ann' } } }";
    std::function<bool()> stages[] = {
        [&] { return X("ann") > 0; },                                // sliding in
        [&] { return C("ann").mBubbleTransform.GetAlpha() > 0.2f; }, // fading in
        [&] { return C("ann").mSpeaking; },                          // speaking
        [&] { return mController->mLeftCharacters.empty(); },        // ann has slid out
        [&] { return mEnded.mCalls > 0; },                           // the end
    };
    for (auto& stage : stages)
    {
        Make(lines);
        // Another holder of the voice keeps its sound entry alive.
        const int32_t other = mAudio->Play("hello", true);
        Start("a");
        RunUntil(stage);
        mController.reset();
        EXPECT_EQ(mTransforms->GetGroupCount(), 0u);
        EXPECT_EQ(Playing("hello"), 0u);
        EXPECT_EQ(mAudio->GetEntry(other)->mReferences, 1);
        RunTo(Now() + 1000);
        mAudio->Stop(other, false);
    }

    // The caller's callbacks destroy the controller: the end from inside the sound update, the
    // last slide-out from inside the transform update.
    for (Counter* destroyer : {&mEnded, &mAllGone})
    {
        Make("{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann' } } }");
        destroyer->mAction = [&] { mController.reset(); };
        Start("a");
        RunUntil([&] { return mController == nullptr; });
        destroyer->mAction = nullptr;
        RunTo(Now() + 500);
        EXPECT_EQ(mTransforms->GetGroupCount(), 0u);
        EXPECT_EQ(mAudio->GetEntry(Handle("hello")), nullptr);
    }
}

} // namespace
