// Conversations drawn by the real renderer on the headless display, compared byte for byte with
// golden pictures: a mirrored character on each side with the right one's bubble and text over
// the black scrim at fixed frames, the speaker drawn over its overlapping neighbour, and the
// scrim image.
#include "framework/conversation_test_support.h"

#include "render/textures/texture.h"

using convtest::CharacterInfo;
using convtest::ConversationTest;

namespace
{

class ConversationDrawTest : public ConversationTest
{
protected:
    // A frame as the scene runner draws it: the scene (two flat halves), then the scrim and the
    // characters inside one 2-D block.
    void DrawFrame()
    {
        TRenderer* renderer = TRenderer::Instance();
        ASSERT_TRUE(renderer->BeginDraw(false));
        renderer->FillRect(TRect(0, 0, 400, 600), TVec4(0.4f, 0.7f, 0.9f, 1));
        renderer->FillRect(TRect(400, 0, 800, 600), TVec4(0.9f, 0.8f, 0.5f, 1));
        ASSERT_TRUE(renderer->Begin2d());
        mController->DrawScrim(TDrawSpec());
        mController->Draw(TDrawSpec());
        EXPECT_TRUE(renderer->InBegin2d());
        renderer->End2d();
        renderer->EndFrame(false);
    }
    void Golden(const std::string& name, const sys::display::Rect& region)
    {
        rendertest::CompareWithGolden(*Data().mBackBuffer, region, name);
    }
    uint32_t Pixel(int x, int y) { return Data().mBackBuffer->ReadPixel(x, y) & 0xFFFFFF; }
};

TEST_F(ConversationDrawTest, TwoSidesWithTheSpeakersBubbleTextAndScrim)
{
    // Ben stands at 800 - (400 + 50) = 350, close to Ann at 250; both are mirrored.
    std::string info = CharacterInfo();
    info.replace(info.find("flip = true, xhome = 200"), 24, "flip = true, xhome = 400");
    info.replace(info.find("left = true, groupid = 1"), 24,
                 "left = true, flip = true, groupid = 1");
    Make("{ a = { charactertospeak = 'ben', text = 'hi', sound = 'hello',"
         "        characterstoshow = { 'ann', 'ben' } } }",
         info);
    mController->StartConversation("a", nullptr, "", nullptr);
    // Partway through the bubble's fade.
    while (!(C("ben").mBubbleTransform.GetAlpha() > 0.3f))
        Frame(Now() + 10);
    DrawFrame();
    Golden("conversation_bubble_fading.png", {200, 390, 420, 570});

    while (!C("ben").mSpeaking)
        Frame(Now() + 10);
    DrawFrame();
    Golden("conversation_speaking.png", {200, 390, 420, 570});
    // The scrim covers the whole screen: half of black over each half of the scene.
    EXPECT_EQ(Pixel(10, 10), 0x335973u);
    EXPECT_EQ(Pixel(790, 10), 0x736640u);
}

TEST_F(ConversationDrawTest, TheSpeakerIsDrawnOverItsNeighbour)
{
    // Without spacing and with home 80: cat at 40, the speaker at 80; the portraits overlap
    // between 50 and 70.
    std::string info = CharacterInfo();
    info.replace(info.find("characterspacing = 50"), 21, "characterspacing = 0");
    info.replace(info.find("left = true, groupid = 1, xhome = 200"), 37,
                 "left = true, groupid = 1, xhome = 80");
    info.replace(info.find("groupid = 2, xhome = 100"), 24, "groupid = 2, xhome = 80");
    Make("{ a = { charactertospeak = 'ann', characterstoshow = { 'cat', 'ann' },"
         "        nextconversation = 'b' },"
         "  b = { charactertospeak = 'cat' } }",
         info);
    mController->StartConversation("a", nullptr, "", nullptr);
    RunTo(Now() + 120);
    EXPECT_EQ(Names(mController->mLeftCharacters), (std::vector<std::string>{"ann", "cat"}));
    DrawFrame();
    Golden("conversation_ann_in_front.png", {0, 380, 120, 500});
    while (mController->mCurrent != mController->mConversations.at("b").get())
        Frame(Now() + 10);
    EXPECT_EQ(Names(mController->mLeftCharacters), (std::vector<std::string>{"cat", "ann"}));
    RunTo(Now() + 120);
    DrawFrame();
    Golden("conversation_cat_in_front.png", {0, 380, 120, 500});
}

TEST_F(ConversationDrawTest, TheScrimImageLiesAtTheTopLeftCorner)
{
    std::string info = CharacterInfo();
    info.replace(info.find("fadetime = 100"), 14, "fadetime = 100, scrim = 'conv/scrim'");
    Make("{ a = { charactertospeak = 'ann', sound = 'hello', characterstoshow = { 'ann' } } }",
         info);
    ASSERT_NE(mController->mScrimImage, nullptr);
    EXPECT_EQ(mController->mScrimSpec.mFlags, static_cast<uint32_t>(kDrawOrigin));
    mController->StartConversation("a", nullptr, "", nullptr);
    RunTo(Now() + 200);
    EXPECT_FLOAT_EQ(mController->mScrimSpec.mAlpha, 0.5f);
    DrawFrame();
    Golden("conversation_scrim_image.png", {0, 0, 110, 90});
    EXPECT_EQ(Pixel(105, 85), 0x66B2E5u) << "the scene outside the image";
}

} // namespace
