// Conversations loaded from their two tables: every key and default of a line and of a
// character, the placement a character starts from, the voice's group suffix, duplicate keys,
// characters named by several lines, incomplete characters, and each fatal message with the
// quit request and nothing failing afterwards.
#include "framework/conversation_test_support.h"

#include "render/text/text_sprite.h"

using convtest::CharacterInfo;
using convtest::ConversationTest;

namespace
{

TEST_F(ConversationTest, LinesAndCharactersTakeEveryKeyAndDefault)
{
    const int sprites = TSprite::GetSpriteCount();
    ConversationController& c =
        Make("{ greet = { name = 'g', charactertospeak = 'ann', text = 'hi', sound = 'hello',"
             "    nextconversation = 'bare', characterstoshow = { 'ann', 'ben' },"
             "    characterstohide = { 'cat' } },"
             "  bare = {} }",
             CharacterInfo("soundenter = 'bye'"));
    ASSERT_TRUE(c.mLoaded);
    ASSERT_EQ(c.mConversations.size(), 2u);
    const Conversation& greet = *c.mConversations.at("greet");
    EXPECT_STREQ(greet.mName.c_str(), "g");
    EXPECT_STREQ(greet.mSpeaker.c_str(), "ann");
    EXPECT_STREQ(greet.mText.c_str(), "hi");
    EXPECT_STREQ(greet.mSound.c_str(), "hello");
    EXPECT_STREQ(greet.mNext.c_str(), "bare");
    EXPECT_EQ(greet.mCharactersToShow, (std::vector<TString>{"ann", "ben"}));
    EXPECT_EQ(greet.mCharactersToHide, (std::vector<TString>{"cat"}));
    const Conversation& bare = *c.mConversations.at("bare");
    EXPECT_EQ(bare.mName.Length() + bare.mSpeaker.Length() + bare.mText.Length() +
                  bare.mSound.Length() + bare.mNext.Length(),
              0);
    EXPECT_TRUE(bare.mCharactersToShow.empty() && bare.mCharactersToHide.empty());

    // Only the named characters are loaded: three sprites each.
    EXPECT_EQ(c.mCharacters.size(), 3u);
    EXPECT_FALSE(c.HasCharacter("dan"));
    EXPECT_EQ(TSprite::GetSpriteCount() - sprites, 9);

    // The controller's own values.
    EXPECT_FLOAT_EQ(c.mMaxAlpha, 0.5f);
    EXPECT_EQ(c.mFadeTime, 100);
    EXPECT_EQ(c.mCharacterSpacing, 50);
    EXPECT_EQ(c.mSoundEnter, Handle("bye"));
    EXPECT_EQ(c.mSoundExit, Handle("exit"));
    EXPECT_EQ(Playing("bye") + Playing("exit"), 0u) << "registered, not played";
    EXPECT_EQ(c.mScrimSpec.mAlpha, 0.0f);
    EXPECT_EQ(c.mScrimImage, nullptr);
    const float corners[4][2] = {{0, 0}, {800, 0}, {800, 600}, {0, 600}};
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(c.mScrimQuad[i].mX, corners[i][0]);
        EXPECT_EQ(c.mScrimQuad[i].mY, corners[i][1]);
        EXPECT_EQ(c.mScrimQuad[i].mZ, 0.0f);
        EXPECT_EQ(c.mScrimQuad[i].mRhw, 0.5f);
        EXPECT_EQ(c.mScrimQuad[i].mDiffuse, 0u);
    }
    EXPECT_EQ(sizeof(ConversationScrimVertex), 32u);
    EXPECT_EQ((std::vector<uint16_t>(c.mScrimIndices, c.mScrimIndices + 6)),
              (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));

    // Ann, left: the portrait's bottom point at "xcenter" is its position, just off the left edge.
    ConversationCharacter& ann = C("ann");
    EXPECT_TRUE(ann.mLeft && !ann.mFlip && ann.mComplete && !ann.mSpeaking);
    EXPECT_EQ(ann.mGroup, 1);
    EXPECT_EQ(ann.mFontSize, 12);
    EXPECT_EQ(ann.mTextFlags, 5);
    EXPECT_EQ(ann.mVoice, 0);
    EXPECT_EQ(ann.mTimeSlide, 100);
    EXPECT_EQ(ann.mTimeBubbleFade, 50);
    EXPECT_EQ(ann.mXHome, 200.0f);
    EXPECT_EQ(ann.mPending, nullptr);
    const TDrawSpec& portrait = ann.mPortrait->GetSpec();
    EXPECT_EQ(portrait.mOrigin, TVec2(30, 100));
    EXPECT_TRUE(portrait.mFlags & kDrawOrigin);
    EXPECT_EQ(ann.mPortraitTransform.GetPosition(), TVec3(-60, 500, 1));
    // The bubble's centre: ("bubblex" - "xcenter" + 50, "bubbley" - 100 - 20).
    EXPECT_EQ(ann.mBubbleTransform.GetPosition(), TVec3(-30 + 50 + 10, 20 - 120, 1));
    EXPECT_EQ(ann.mBubbleTransform.GetAlpha(), 0.0f);
    EXPECT_EQ(ann.mBubble->GetSpec().mOrigin, TVec2(50, 20));
    EXPECT_EQ(ann.mBubble->GetSpec().mAlpha, 1.0f);
    EXPECT_EQ(ann.mBubble->GetSpec().mFlags, 0u);
    ASSERT_NE(ann.mTextSprite, nullptr);
    EXPECT_EQ(ann.mTextSprite->GetWidth(), 90);
    EXPECT_EQ(ann.mTextSprite->GetHeight(), 30);
    EXPECT_EQ(ann.mTextSprite->GetAlignment(), 5u);
    EXPECT_EQ(ann.mTextSprite->GetColor(), TVec4(0, 0, 0.5f, 1));
    const TDrawSpec& text = ann.mTextSprite->GetSpec();
    EXPECT_EQ(text.mOrigin, TVec2(45, 15));
    EXPECT_TRUE(text.mFlags & kDrawOrigin);
    EXPECT_EQ(TVec2(0, 0) * text.mMatrix, TVec2(-50 + 50, 20 - 20));

    // Ben, right: mirrored bubble one width further left, "textx" taken away, off the right edge.
    ConversationCharacter& ben = C("ben");
    EXPECT_TRUE(!ben.mLeft && ben.mFlip);
    EXPECT_EQ(ben.mPortraitTransform.GetPosition(), TVec3(860, 560, 1));
    EXPECT_EQ(ben.mBubble->GetSpec().mFlags, static_cast<uint32_t>(kDrawMirrorX));
    EXPECT_EQ(TVec2(0, 0) * ben.mBubble->GetSpec().mMatrix, TVec2(-100, 0));
    EXPECT_EQ(TVec2(0, 0) * ben.mTextSprite->GetSpec().mMatrix, TVec2(-50 - 50, 0));

    // Cat has no bubble place of its own: the defaults 0.
    EXPECT_EQ(C("cat").mBubbleTransform.GetPosition(), TVec3(-30 + 50, -120, 1));
}

TEST_F(ConversationTest, VoicesTakeTheGroupAsTheirLastParameter)
{
    const std::string lines = "{ a = { sound = 'hello' }, b = { sound = 'hello?volume=0.5' },"
                              "  c = { sound = 'hello?group=7' }, d = {} }";
    std::string info = CharacterInfo();
    info.replace(info.find("groupid = 0"), 11, "groupid = 3.9");
    ConversationController& c = Make(lines, info);
    EXPECT_STREQ(c.mConversations.at("a")->mSound.c_str(), "hello?group=3");
    EXPECT_STREQ(c.mConversations.at("b")->mSound.c_str(), "hello?volume=0.5&group=3");
    EXPECT_STREQ(c.mConversations.at("c")->mSound.c_str(), "hello?group=7&group=3");
    EXPECT_STREQ(c.mConversations.at("d")->mSound.c_str(), "") << "no voice stays none";
    // The sound layer reads the name and the first group.
    EXPECT_STREQ(ParseSoundSpecifier("hello?volume=0.5&group=3").mName.c_str(), "hello");
    EXPECT_EQ(ParseSoundSpecifier("hello?group=7&group=3").mGroup, 7);

    ConversationController& plain = Make(lines);
    EXPECT_STREQ(plain.mConversations.at("a")->mSound.c_str(), "hello");
    EXPECT_STREQ(plain.mConversations.at("b")->mSound.c_str(), "hello?volume=0.5");
}

TEST_F(ConversationTest, DuplicateKeysAreReportedAndSharedCharactersLoadOnce)
{
    const int sprites = TSprite::GetSpriteCount();
    ConversationController& c =
        Make("{ [1] = { characterstoshow = { 'ann' } }, ['1'] = { characterstoshow = { 'ben' } },"
             "  two = { characterstoshow = { 'ann', 'ann' }, characterstohide = { 'ann' } } }");
    EXPECT_EQ(c.mConversations.size(), 2u);
    EXPECT_TRUE(c.HasConversation("1"));
    EXPECT_TRUE(c.HasConversation("two"));
    EXPECT_FALSE(c.HasConversation("One"));
    EXPECT_EQ(CountInLog("ERROR:Trying to add duplicate Conversation.   FILE:"
                         "conversation_controller.cpp LINE:"),
              1);
    EXPECT_EQ(Quits(), 0);
    // Whichever of the two came first brought its character; ann is made once.
    EXPECT_TRUE(c.HasCharacter("ann"));
    EXPECT_EQ(TSprite::GetSpriteCount() - sprites, 3 * static_cast<int>(c.mCharacters.size()));
    EXPECT_LE(c.mCharacters.size(), 2u);
}

TEST_F(ConversationTest, IncompleteCharactersAreLaidOutButNeverDrawn)
{
    ConversationController& c = Make(
        "{ a = { charactertospeak = 'nofont', characterstoshow = { 'nofont', 'noimage' } } }",
        CharacterInfo("nofont = { name = 'nofont', image = 'conv/ann', left = true, groupid = 5,"
                      "  xhome = 100 },"
                      "noimage = { name = 'noimage', image = 'conv/none', left = true, "
                      "  groupid = 6, font = { '', 10 } }"));
    ConversationCharacter& noFont = C("nofont");
    ConversationCharacter& noImage = C("noimage");
    EXPECT_FALSE(noFont.mComplete);
    EXPECT_FALSE(noImage.mComplete);
    EXPECT_EQ(noFont.mTextSprite, nullptr);
    EXPECT_EQ(noFont.mFontSize, 0);
    EXPECT_EQ(noFont.mPortraitTransform.GetPosition(), TVec3(0, 0, 1));

    // Both take their places (step = (50 + 100) / 2 + 50 = 125) and the line runs.
    c.StartConversation("a", &mAllGone.mCallback, "", &mEnded.mCallback);
    RunTo(Now() + 110);
    EXPECT_EQ(noImage.mPortraitTransform.GetX(), 125.0f);
    EXPECT_EQ(noFont.mPortraitTransform.GetX(), 250.0f);
    RunTo(Now() + 100);
    EXPECT_EQ(mEnded.mCalls, 1) << "the line without a voice ended after its bubble's fade";

    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 1, 1));
    ASSERT_TRUE(renderer->Begin2d());
    noFont.mBubbleTransform.SetAlpha(1);
    c.Draw(TDrawSpec());
    renderer->End2d();
    renderer->EndFrame(false);
    for (int x = 0; x < 800; x += 7)
        for (int y = 0; y < 600; y += 7)
            ASSERT_EQ(Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF, 0x0000FFu) << x << "," << y;

    // Without "bounds" in the shared info nobody is complete.
    std::string info = CharacterInfo();
    info.replace(info.find("bounds"), 6, "nobounds");
    ConversationController& noBounds = Make("{ a = { characterstoshow = { 'ann' } } }", info);
    EXPECT_FALSE(noBounds.FindCharacter("ann")->mComplete);
}

TEST_F(ConversationTest, FatalMessagesAskToQuitAndLeaveASafeController)
{
    struct Case
    {
        const char* mInfo;
        const char* mMessage;
    } cases[] = {
        {"chars = { conversation_info = {} }", "No scrim table for ConversationController"},
        {"chars = { scrim = {} }", "No conversation_info table for ConversationController"},
    };
    for (const Case& k : cases)
    {
        ConversationController& c = Make("{ a = { characterstoshow = { 'ann' } } }", k.mInfo);
        EXPECT_EQ(CountInLog(std::string("ERROR:") + k.mMessage +
                             "   FILE:conversation_controller.cpp LINE:"),
                  1);
        EXPECT_FALSE(c.mLoaded);
        EXPECT_TRUE(c.mConversations.empty());
    }
    EXPECT_EQ(Quits(), 2);

    // A missing character table or "info": the character is not made, loading goes on.
    ConversationController& c =
        Make("{ a = { charactertospeak = 'zed', characterstoshow = { 'zed', 'ann' }, "
             "        nextconversation = 'b' },"
             "  b = { charactertospeak = 'ann' } }");
    EXPECT_EQ(CountInLog("ERROR:Cannot find character 'zed'.   FILE:"), 1);
    EXPECT_EQ(Quits(), 3);
    EXPECT_TRUE(c.mLoaded);
    EXPECT_FALSE(c.HasCharacter("zed"));
    // Running over the missing one: not shown, its line reported and skipped.
    c.StartConversation("a", nullptr, "", &mEnded.mCallback);
    EXPECT_EQ(Names(c.mLeftCharacters), (std::vector<std::string>{"ann"}));
    EXPECT_STREQ(c.mCurrent->mSpeaker.c_str(), "ann");
    EXPECT_EQ(CountInLog("ERROR:Conversation 'a': its speaker 'zed' is not on screen; the line "
                         "is skipped. No character 'zed' was loaded: \"characterinfo\" lacks it, "
                         "or no line's \"characterstoshow\" names it."),
              1);
    EXPECT_EQ(Quits(), 3);

    std::string info = CharacterInfo();
    info.replace(info.find(" info = {"), 9, " nfo = {");
    ConversationController& noInfo = Make("{ a = { characterstoshow = { 'ann', 'ben' } } }", info);
    EXPECT_EQ(CountInLog("ERROR:Cannot find info table for ConversationController.   FILE:"), 2);
    EXPECT_EQ(Quits(), 5);
    EXPECT_TRUE(noInfo.mCharacters.empty());

    // An unknown conversation, and everything else on a controller that stopped early.
    ConversationController& empty = Make("{}", "chars = {}");
    empty.StartConversation("nope", &mAllGone.mCallback, "", &mEnded.mCallback);
    EXPECT_EQ(CountInLog("ERROR:Cannot find conversation 'nope'.   FILE:"), 1);
    EXPECT_EQ(empty.mCurrent, nullptr);
    EXPECT_EQ(empty.mOnEnded, nullptr);
    empty.OnMouseDown();
    empty.Pause();
    empty.Resume();
    empty.DrawScrim(TDrawSpec());
    empty.Draw(TDrawSpec());
    RunTo(Now() + 500);
    EXPECT_EQ(mEnded.mCalls + mAllGone.mCalls, 0);
}

} // namespace
