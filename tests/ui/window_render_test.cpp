// Drawing on the headless display, pixels read back: clipping to the parent and to the screen,
// the render passes and their 0x400 marks, drawing from the top covering modal, topModalOnly, no
// frame between a closed screen and the next, a clean tree, a frame that cannot begin, and the
// hover outline.
#include "render/render_test_support.h"
#include "render/textures/texture.h"
#include "ui/window_script.h"
#include "ui_display_support.h"
#include "ui_test_support.h"

namespace
{

using uitest::MakeEvent;

// Fills its client rectangle and counts its draws.
class FillWindow : public TWindow
{
public:
    FillWindow(TWindow* parent, TRect rect, TVec4 colour) : mColour(colour)
    {
        SetPosition(rect.left, rect.top);
        SetSize(rect.Width(), rect.Height());
        parent->AddChild(this, false);
    }
    void Draw() override
    {
        ++mDraws;
        TRenderer::Instance()->FillRect(GetClientRect(), mColour);
    }
    int mDraws = 0;

private:
    TVec4 mColour;
};

const TVec4 kRed(1, 0, 0, 1);
const TVec4 kGreen(0, 1, 0, 1);
const TVec4 kBlue(0, 0, 1, 1);

class DrawTest : public uitest::WindowDisplayTest
{
protected:
    void SetUp() override
    {
        WindowDisplayTest::SetUp();
        ASSERT_TRUE(mImpl->IsDisplayReady());
    }
    // A repaint after the pacing interval.
    void Frame()
    {
        sys::AdvanceManualClock(20);
        mManager->HandleEvent(MakeEvent(kEventRepaint));
    }
};

TEST_F(DrawTest, ChildrenAreClippedToParentsAndClippedSubtreesSkipped)
{
    auto* a = new FillWindow(mRoot, {100, 100, 300, 300}, kRed);
    auto* b = new FillWindow(a, {150, 150, 250, 250}, kGreen);
    auto* off = new FillWindow(mRoot, {900, 0, 950, 50}, kBlue);
    auto* inside = new FillWindow(off, {-900, 0, 100, 100}, kBlue);
    auto* hidden = new FillWindow(mRoot, {0, 0, 50, 50}, kBlue);
    hidden->SetFlags(0);
    Frame();
    EXPECT_FALSE(mManager->IsDirty());
    EXPECT_EQ(Back(120, 120), 0xFF0000u);
    EXPECT_EQ(Back(260, 260), 0x00FF00u);
    EXPECT_EQ(Back(299, 299), 0x00FF00u);
    EXPECT_EQ(Back(300, 300), 0u);
    EXPECT_EQ(Back(10, 10), 0u);
    EXPECT_EQ(b->mDraws, 1);
    EXPECT_EQ(off->mDraws + inside->mDraws + hidden->mDraws, 0);
}

TEST_F(DrawTest, RenderPassesAndTheirMarks)
{
    auto* target = new FillWindow(mRoot, {0, 0, 100, 100}, kRed);
    auto* marked = new FillWindow(target, {0, 0, 10, 10}, kRed);
    marked->AddFlagBits(kWindowRenderTargetPass);
    auto* plain = new FillWindow(target, {20, 0, 30, 10}, kRed);
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    EXPECT_FALSE(marked->Render(1)) << "the parent carries no 0x400";
    target->SetFlags(target->GetFlags() | kWindowInRenderTarget);
    EXPECT_TRUE(marked->Render(1));
    EXPECT_FALSE(plain->Render(1));
    EXPECT_NE(marked->GetFlags() & kWindowInRenderTarget, 0u);
    EXPECT_FALSE(marked->Render(2));
    EXPECT_TRUE(plain->Render(2));
    EXPECT_TRUE(marked->Render(0));
    renderer->EndFrame(false);
    EXPECT_EQ(marked->mDraws, 2);
    // The next frame starts by clearing every mark.
    Frame();
    EXPECT_EQ(marked->GetFlags() & kWindowInRenderTarget, 0u);
    EXPECT_EQ(target->GetFlags() & kWindowInRenderTarget, 0u);
}

TEST_F(DrawTest, ModalsDrawFromTheTopCoveringOne)
{
    auto* under = new FillWindow(mRoot, {0, 0, 50, 50}, kRed);
    auto* dialog = new TModalWindow();
    dialog->SetSize(200, 200);
    mManager->PushModal(dialog);
    auto* panel = new FillWindow(dialog, {0, 0, 200, 200}, kGreen);
    Frame();
    EXPECT_EQ(under->mDraws, 1) << "a small dialog leaves the screen visible";
    EXPECT_EQ(Back(10, 10), 0x00FF00u);
    EXPECT_EQ(Back(300, 300), 0u);

    mManager->SetTopModalOnly(true);
    mManager->SetDirty();
    Frame();
    EXPECT_EQ(under->mDraws, 1);
    EXPECT_EQ(panel->mDraws, 2);
    mManager->SetTopModalOnly(false);

    // A full-size window flagged 0x800 makes its dialog cover the screen below.
    dialog->SetSize(800, 600);
    panel->SetSize(800, 600);
    panel->SetFlags(panel->GetFlags() | kWindowCovers);
    EXPECT_TRUE(mRoot->IsInCoverSet(dialog));
    Frame();
    EXPECT_EQ(under->mDraws, 1);
    EXPECT_EQ(panel->mDraws, 3);
}

// Opens the next screen when the one it waits for has ended, as the game's route does.
class OpenNextOnClose : public TMessageListener
{
public:
    OpenNextOnClose(TWindowManager* manager, TModalWindow* next) : mManager(manager), mNext(next) {}
    bool OnMessage(TMessage* message) override
    {
        if (message->mType == kModalClosed && mNext != nullptr)
        {
            mManager->PushModal(mNext);
            mNext = nullptr;
        }
        return false;
    }

private:
    TWindowManager* mManager;
    TModalWindow* mNext;
};

// A full screen's modal, filled with one colour.
TModalWindow* ScreenModal(TVec4 colour, FillWindow** fill)
{
    auto* modal = new TModalWindow();
    modal->SetSize(800, 600);
    *fill = new FillWindow(modal, {0, 0, 800, 600}, colour);
    (*fill)->SetFlags((*fill)->GetFlags() | kWindowCovers);
    return modal;
}

// A screen closed in an event leaves no frame of what lies below it until its end is announced
// (at the next event): the opener may open the next screen then, and that is the next frame.
TEST_F(DrawTest, AClosedScreenShowsWhatFollowsItNotWhatLiesBelow)
{
    auto* below = new FillWindow(mRoot, {0, 0, 800, 600}, kRed);
    FillWindow* firstFill = nullptr;
    FillWindow* nextFill = nullptr;
    TModalWindow* first = ScreenModal(kGreen, &firstFill);
    mManager->PushModal(first);
    Frame();
    EXPECT_EQ(Back(10, 10), 0x00FF00u);
    mManager->AddMessageListener(new OpenNextOnClose(mManager, ScreenModal(kBlue, &nextFill)));
    mManager->PostMessage(new TMessage(kCloseWindow, first->GetIdString()));
    sys::AdvanceManualClock(20);
    mManager->HandleEvent(MakeEvent(kEventTick));
    EXPECT_EQ(below->mDraws, 0) << "the screen below showed between the two";
    EXPECT_EQ(Back(10, 10), 0x00FF00u);
    EXPECT_TRUE(mManager->IsDirty());
    sys::AdvanceManualClock(20);
    mManager->HandleEvent(MakeEvent(kEventTick));
    EXPECT_EQ(Back(10, 10), 0x0000FFu);
    EXPECT_EQ(nextFill->mDraws, 1);
    EXPECT_EQ(below->mDraws, 0);
}

TEST_F(DrawTest, CleanTreeDrawsNothingAndFailedBeginLeavesItDirty)
{
    auto* w = new FillWindow(mRoot, {0, 0, 50, 50}, kRed);
    Data().mDevice->mBeginSceneAnswers = {sys::display::Result::Fail};
    Frame();
    EXPECT_TRUE(mManager->IsDirty());
    EXPECT_EQ(w->mDraws, 0);
    Frame();
    EXPECT_FALSE(mManager->IsDirty());
    EXPECT_EQ(w->mDraws, 1);
    sys::AdvanceManualClock(100);
    mManager->HandleEvent(MakeEvent(kEventTick));
    EXPECT_EQ(w->mDraws, 1);
}

TEST_F(DrawTest, RenderTargetFramesDrawTheTreeAndShowTheTarget)
{
    std::shared_ptr<TTexture> target = TTexture::Create(800, 600, false);
    ASSERT_TRUE(target);
    mManager->SetRenderTarget(target);
    auto* w = new FillWindow(mRoot, {10, 10, 60, 60}, kGreen);
    Frame();
    EXPECT_FALSE(mManager->IsDirty());
    // The root is drawn in pass 0 and, as the top modal, again in pass 2.
    EXPECT_EQ(w->mDraws, 2);
    EXPECT_EQ(Back(20, 20), 0x00FF00u);
    mManager->HandleEvent(MakeEvent(kEventDisplayModeSet));
    EXPECT_FALSE(mManager->GetRenderTarget());
}

TEST_F(DrawTest, HoverOutlineIsYellow)
{
    new FillWindow(mRoot, {100, 100, 200, 200}, kBlue);
    mManager->SetOutlineHover(true);
    mManager->HandleEvent(MakeEvent(kEventMouseMove, 150, 150));
    Frame();
    EXPECT_EQ(Back(100, 150), 0xFFFF00u);
    EXPECT_EQ(Back(101, 150), 0xFFFF00u);
    EXPECT_EQ(Back(102, 150), 0x0000FFu);
    EXPECT_EQ(Back(199, 150), 0xFFFF00u);
    EXPECT_EQ(Back(150, 198), 0xFFFF00u);
}

} // namespace

TEST_F(DrawTest, ScriptFillRectIsCutToTheRootAndClipsNothingAfter)
{
    mManager->CreateScript();
    ASSERT_NE(mManager->GetScript(), nullptr);
    // Left and top are truncated; the rectangle reaches past the root's right edge.
    mManager->GetScript()->DoLuaString("FillRect({10.9, 20.2, 900, 40}, {0, 0, 1, 1})");
    EXPECT_EQ(Back(10, 20), 0x0000FFu);
    EXPECT_EQ(Back(799, 39), 0x0000FFu);
    EXPECT_EQ(Back(9, 20), 0u);
    EXPECT_EQ(Back(10, 40), 0u);
    // The clip rectangle it pushed is gone again.
    TRenderer::Instance()->FillRect(TRect(0, 100, 10, 110), TVec4(1, 0, 0, 1));
    EXPECT_EQ(Back(5, 105), 0xFF0000u);
}
