// The text scroll made by a screen script: the layout of lines, gaps, images and side images, the
// motion's length from distance and speed, the completion statement's timing around pauses, the
// background messages with and without a "menu" button, its three script functions and the
// messages for missing tables.
#include "framework/framework_display_support.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/text_object.h"
#include "framework/screens/text_scroll.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "platform/strings/string_table.h"
#include "render/text/text_sprite.h"

#include <climits>

namespace
{
class TextScrollTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        mManager->RegisterWindowType("TextScroll", &TextScroll::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        if (!mImpl->mManagers.mStringTable)
            mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
        const std::string strings =
            "<Row><Cell><Data>first</Data></Cell><Cell><Data>Alice Able</Data></Cell></Row>"
            "<Row><Cell><Data>second</Data></Cell><Cell><Data>Bob</Data></Cell></Row>";
        mImpl->mManagers.mStringTable->LoadBuffer(strings.data(),
                                                  static_cast<uint32_t>(strings.size()));
        Image("pic/f1.png", 30, 60, 0xFF00FF00);
        Image("dot/f1.png", 4, 4, 0xFFFF0000);
    }
    // A scroll of the given keys over the whole screen.
    TextScroll* Make(const std::string& keys, const std::string& name = "scroll")
    {
        Run("TextScroll{ name = '" + name + "', w = 800, h = 600, " + keys + " }()");
        TWindow* window = mManager->GetRoot()->FindChild(name.c_str(), 0xFFFFFFFFu);
        return window != nullptr && window->IsKindOf(TextScroll::GetClassId())
                   ? static_cast<TextScroll*>(window)
                   : nullptr;
    }
    // One image 60 high after a gap of 40: content 100, distance 700.
    TextScroll* MakePicture(const std::string& keys = "scrollspeed = 100")
    {
        return Make(keys + ", completestring = 'done = (done or 0) + 1', texttypes = {}, "
                           "objects = { { type = 'image', yoffset = 40, "
                           "bitmap = { image = 'pic' } } }");
    }
    void Run(const std::string& code) { mManager->GetScript()->DoLuaString(code.c_str()); }
    double Number(const std::string& expression)
    {
        Run("_n = " + expression);
        return mManager->GetScript()->GetGlobalNumber("_n");
    }
    void Frame(uint32_t ms, TextScroll* scroll)
    {
        Step(ms, [scroll] { scroll->Animate(); });
    }
    static float Offset(TextScroll* scroll) { return scroll->GetDrawSpec().mMatrix.m[2][1]; }
    static TRect Bounds(const TextObject& text)
    {
        TRect bounds;
        text.GetTextSprite()->GetTextBounds(bounds, TDrawSpec());
        return bounds;
    }
    bool Deliver(TextScroll* scroll, uint32_t type)
    {
        TMessage message(type, TString("m"));
        return scroll->OnMessage(&message);
    }
    void Delete(TWindow* window)
    {
        window->GetParent()->RemoveChild(window);
        delete window;
    }
};

TEST_F(TextScrollTest, LaysOutLinesGapsImagesAndSideImagesTopToBottom)
{
    TextScroll* scroll =
        Make("scrollspeed = 100, textscrim = true, "
             "texttypes = { name = { x = 200, w = 400, h = 40, allowlinebreaks = false, "
             "font = { '', 20, { 1, 1, 1, 1 } } } }, "
             "objects = { { type = 'name', text = 'first', yoffset = 10 }, "
             "{ type = 'name', text = 'second', yoffset = 10, leftimage = { image = 'dot' }, "
             "rightimage = { image = 'dot', x = 5, y = 1 } }, "
             "{ type = 'image', bitmap = { image = 'pic', x = 300 } }, "
             "{ type = 'name', text = 'first', yoffset = 10 }, 'end', "
             "{ type = 'name', text = 'second' } }");
    ASSERT_NE(scroll, nullptr);
    EXPECT_STREQ(scroll->GetClassName(), "TextScroll");
    EXPECT_TRUE(scroll->IsKindOf(GameWindow::GetClassId()));
    EXPECT_TRUE(scroll->HasTextScrim());
    EXPECT_EQ(scroll->GetScrimColor(), 0xFF000000u);

    const auto& texts = scroll->GetTextObjects();
    ASSERT_EQ(texts.size(), 3u); // a non-table entry ends the list
    EXPECT_STREQ(texts[0]->GetText().c_str(), "Alice Able");
    EXPECT_STREQ(texts[1]->GetText().c_str(), "Bob");
    const TRect first = Bounds(*texts[0]);
    const TRect second = Bounds(*texts[1]);
    const float h1 = static_cast<float>(first.bottom - first.top);
    const float h2 = static_cast<float>(second.bottom - second.top);
    ASSERT_GT(h1, 0);
    EXPECT_FLOAT_EQ(texts[0]->GetTransform()->GetX(), 200);
    EXPECT_FLOAT_EQ(texts[0]->GetTransform()->GetY(), 10);
    EXPECT_FLOAT_EQ(texts[1]->GetTransform()->GetY(), 10 + h1 + 10);

    // Side images on the line's middle at its text's ends, then the picture right at the
    // line's bottom, in creation order.
    const auto& images = scroll->GetImages();
    ASSERT_EQ(images.size(), 3u);
    const float middle = 20 + h1 + static_cast<float>(second.top) + h2 * 0.5f;
    EXPECT_FLOAT_EQ(images[0]->GetTransform().GetX(), static_cast<float>(second.left));
    EXPECT_FLOAT_EQ(images[0]->GetTransform().GetY(), middle);
    EXPECT_FLOAT_EQ(images[1]->GetTransform().GetX(), static_cast<float>(second.right) + 5);
    EXPECT_FLOAT_EQ(images[1]->GetTransform().GetY(), middle + 1);
    EXPECT_FLOAT_EQ(images[2]->GetTransform().GetX(), 300);
    EXPECT_FLOAT_EQ(images[2]->GetTransform().GetY(), 20 + h1 + h2);
    EXPECT_FLOAT_EQ(texts[2]->GetTransform()->GetY(), 20 + h1 + h2 + 60 + 10);

    // Window height plus content; the duration truncated from distance / speed.
    const float distance = 600 + 20 + h1 + h2 + 60 + 10 + h1;
    EXPECT_FLOAT_EQ(scroll->GetScrollDistance(), distance);
    EXPECT_EQ(scroll->GetScrollDuration(), static_cast<uint32_t>(distance / 100 * 1000));
    // The content starts with its top at the window's bottom edge.
    Frame(0, scroll);
    EXPECT_FLOAT_EQ(Offset(scroll), 600);
}

TEST_F(TextScrollTest, CompletesOnceOnTheFirstUpdateAfterTheEndAndNeverWhilePaused)
{
    TextScroll* scroll = MakePicture();
    ASSERT_NE(scroll, nullptr);
    EXPECT_FLOAT_EQ(scroll->GetScrollDistance(), 700);
    EXPECT_EQ(scroll->GetScrollDuration(), 7000u);
    Frame(16, scroll); // the motion's clock starts at its first frame
    Frame(3500, scroll);
    EXPECT_FLOAT_EQ(Offset(scroll), 250); // linear: half the way
    Frame(3499, scroll);
    EXPECT_FALSE(scroll->IsScrollComplete());
    Frame(1, scroll); // the motion ends after the windows' step of the same frame
    EXPECT_FLOAT_EQ(Offset(scroll), -100);
    EXPECT_TRUE(scroll->IsScrollComplete());
    EXPECT_EQ(Number("done or 0"), 0);

    // Paused at the end: nothing runs until the resume.
    Run("PauseTextScroll()");
    EXPECT_TRUE(scroll->IsPaused());
    Frame(16, scroll);
    Frame(16, scroll);
    EXPECT_EQ(Number("done or 0"), 0);
    Run("ResumeTextScroll()");
    Frame(16, scroll);
    EXPECT_EQ(Number("done"), 1);

    // A pause mid-way delays the end by the paused time; a restart while running leaves one
    // motion and one completion.
    Run("RestartTextScroll()");
    Frame(16, scroll);
    Frame(1000, scroll);
    Run("RestartTextScroll()");
    EXPECT_EQ(mTransforms.GetTransformCount(&scroll->GetScrollTransform()), 1u);
    Frame(16, scroll);
    Frame(1000, scroll);
    EXPECT_FLOAT_EQ(Offset(scroll), 500);
    Run("PauseTextScroll()");
    Frame(10000, scroll);
    EXPECT_FLOAT_EQ(Offset(scroll), 500);
    Run("ResumeTextScroll()");
    Frame(5999, scroll);
    Frame(16, scroll);
    EXPECT_EQ(Number("done"), 1);
    Frame(1, scroll);
    Frame(16, scroll);
    EXPECT_EQ(Number("done"), 2);
    Frame(7000, scroll);
    Frame(16, scroll);
    EXPECT_EQ(Number("done"), 2);
}

TEST_F(TextScrollTest, NoSpeedMovesNothingAndCompletesAtTheNextUpdateDurationsStayInRange)
{
    for (const char* speed : {"scrollspeed = 0", "scrollspeed = -5", "scrollspeed = 0/0"})
    {
        SCOPED_TRACE(speed);
        Run("done = nil");
        TextScroll* scroll = MakePicture(speed);
        ASSERT_NE(scroll, nullptr);
        EXPECT_EQ(scroll->GetScrollDuration(), 0u);
        EXPECT_EQ(mTransforms.GetTransformCount(&scroll->GetScrollTransform()), 0u);
        Frame(16, scroll);
        EXPECT_EQ(Number("done"), 1);
        Frame(16, scroll);
        EXPECT_EQ(Number("done"), 1);
        EXPECT_FLOAT_EQ(Offset(scroll), 0);
        Delete(scroll);
    }
    TextScroll* slow = MakePicture("scrollspeed = 1e-9");
    EXPECT_EQ(slow->GetScrollDuration(), static_cast<uint32_t>(INT32_MAX));
    Frame(16, slow);
    EXPECT_FALSE(slow->IsScrollComplete());
}

TEST_F(TextScrollTest, BackgroundMessagesFireTheMenuButtonOnlyWhileRunning)
{
    TextScroll* bare = MakePicture();
    ASSERT_NE(bare, nullptr);
    // 1001 is taken without a "menu" child; 1002 only while paused.
    EXPECT_TRUE(Deliver(bare, WindowManager::kPausedInactiveMessage));
    EXPECT_FALSE(Deliver(bare, WindowManager::kResumedActiveMessage));
    EXPECT_FALSE(Deliver(bare, kUserMessageBase + 7));
    Delete(bare);

    TextScroll* scroll = Make("scrollspeed = 100, texttypes = {}, objects = { { type = 'image', "
                              "bitmap = { image = 'pic' } } }, "
                              "Button{ name = 'menu', command = function() end }");
    ASSERT_NE(scroll, nullptr);
    // The button's command goes to the script's command queue.
    const double queued = Number("table.getn(gCommandQueue)");
    EXPECT_TRUE(Deliver(scroll, WindowManager::kPausedInactiveMessage));
    EXPECT_EQ(Number("table.getn(gCommandQueue)"), queued + 1);
    mManager->PostMessage(new TMessage(WindowManager::kPausedInactiveMessage, TString("m")));
    mManager->DispatchMessages();
    EXPECT_EQ(Number("table.getn(gCommandQueue)"), queued + 2); // once per message

    Run("PauseTextScroll()");
    EXPECT_FALSE(Deliver(scroll, WindowManager::kPausedInactiveMessage));
    EXPECT_EQ(Number("table.getn(gCommandQueue)"), queued + 2);
    // The foreground's return resumes every transform: the script's pause is taken again.
    mTransforms.PauseAll();
    mTransforms.ResumeAll();
    EXPECT_TRUE(Deliver(scroll, WindowManager::kResumedActiveMessage));
    EXPECT_TRUE(scroll->IsPaused());
    const float held = Offset(scroll);
    Frame(500, scroll);
    EXPECT_FLOAT_EQ(Offset(scroll), held);
}

TEST_F(TextScrollTest, TheFunctionsFollowTheLastScrollAndAreClearedOnlyByTheirOwner)
{
    TextScroll* first = MakePicture();
    TextScroll* second = MakePicture();
    ASSERT_NE(second, nullptr);
    Delete(first);
    Run("PauseTextScroll()");
    EXPECT_TRUE(second->IsPaused());
    Run("ResumeTextScroll()");
    EXPECT_FALSE(second->IsPaused());
    Delete(second);
    EXPECT_EQ(Number("(PauseTextScroll == nil and ResumeTextScroll == nil and "
                     "RestartTextScroll == nil) and 1 or 0"),
              1);
}

TEST_F(TextScrollTest, MissingTablesAreReportedAndNothingScrolls)
{
    TextScroll* noTypes = Make("scrollspeed = 100, completestring = 'done = 1', objects = {}");
    ASSERT_NE(noTypes, nullptr);
    EXPECT_NE(Log().find("ERROR:Cannot find 'texttypes' table in TextScroll!   FILE:textscroll"),
              std::string::npos);
    TextScroll* noObjects =
        Make("scrollspeed = 100, completestring = 'done = 1', texttypes = {}", "scroll2");
    ASSERT_NE(noObjects, nullptr);
    EXPECT_NE(Log().find("ERROR:Cannot find 'objects' table in TextScroll!   FILE:textscroll"),
              std::string::npos);
    // What was built before an unknown type stays, unmoved.
    TextScroll* unknown = Make("scrollspeed = 100, completestring = 'done = 1', textscrim = true, "
                               "texttypes = {}, objects = { { type = 'image', "
                               "bitmap = { image = 'pic' } }, { type = 'fancy', text = 'x' } }",
                               "scroll3");
    ASSERT_NE(unknown, nullptr);
    EXPECT_NE(Log().find("ERROR:Cannot find table for text type 'fancy'!   FILE:textscroll"),
              std::string::npos);
    EXPECT_EQ(unknown->GetImages().size(), 1u);
    EXPECT_EQ(unknown->GetScrimColor(), 0u);
    EXPECT_FLOAT_EQ(unknown->GetScrollDistance(), 0);
    for (TextScroll* scroll : {noTypes, noObjects, unknown})
    {
        EXPECT_EQ(mTransforms.GetTransformCount(&scroll->GetScrollTransform()), 0u);
        Frame(10000, scroll);
        Frame(16, scroll);
    }
    EXPECT_EQ(Number("done or 0"), 0);
}

} // namespace

namespace
{
TEST_F(TextScrollTest, DrawsScrimTextAndImagesAtTheScrollOffsetMidWay)
{
    TextScroll* scroll =
        Make("scrollspeed = 100, textscrim = true, "
             "texttypes = { name = { x = 200, w = 400, h = 40, allowlinebreaks = false, "
             "font = { '', 20, { 1, 1, 1, 1 } } } }, "
             "objects = { { type = 'name', text = 'first', yoffset = 40 }, "
             "{ type = 'image', bitmap = { image = 'pic', x = 100 } } }");
    ASSERT_NE(scroll, nullptr);
    Frame(16, scroll);
    Frame(4000, scroll);
    const int top = static_cast<int>(Offset(scroll));
    const TRect line = Bounds(*scroll->GetTextObjects()[0]);
    const int picture = top + 40 + (line.bottom - line.top);
    ASSERT_GT(top, 100);

    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(1, 1, 1, 1));
    scroll->Draw();
    EXPECT_FALSE(renderer->InBegin2d());
    EndFrame();
    EXPECT_EQ(Back(5, 5), 0u); // the opaque scrim over the white
    EXPECT_EQ(Back(110, picture + 1), 0x00FF00u);
    EXPECT_EQ(Back(110, picture + 58), 0x00FF00u);
    EXPECT_EQ(Back(110, picture - 2), 0u);
    EXPECT_EQ(Back(131, picture + 30), 0u);
    int lit = 0;
    for (int y = top + 40; y < picture; ++y)
        for (int x = 200; x < 600; ++x)
            lit += Back(x, y) != 0 ? 1 : 0;
    EXPECT_GT(lit, 20); // the line, between the window's top and the picture
}
} // namespace
