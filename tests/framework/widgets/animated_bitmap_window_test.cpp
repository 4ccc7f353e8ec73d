// The animated bitmap window made by a screen script: its fixed place and size, the bitmap from
// its own style, the per-frame step, pausing while another modal is on top, and drawing inside
// a 2-D block of its own or one already open.
#include "framework/framework_display_support.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/widgets/animated_bitmap_window.h"
#include "ui/modal_window.h"

namespace
{
class BitmapWindowTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        mManager->RegisterWindowType("AnimatedBitmap", &AnimatedBitmapWindow::Create);
        Image("lamp/f1.png", 4, 4, 0xFFFF0000);
        Image("lamp/f2.png", 4, 4, 0xFF0000FF);
        mManager->GetScript()->DoLuaString(
            "AnimatedBitmap{ name = 'ab', x = 50, y = 60, w = 10, h = 10, image = 'lamp', "
            "framespeed = 100, animation = 'wrap' }()");
        TWindow* window = mManager->GetRoot()->FindChild("ab", 0xFFFFFFFFu);
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->IsKindOf(AnimatedBitmapWindow::GetClassId()));
        mWindow = static_cast<AnimatedBitmapWindow*>(window);
    }
    void Post(int32_t type)
    {
        mManager->PostMessage(new TMessage(type, TString("m")));
        mManager->DispatchMessages();
    }
    double ScriptNumber(const char* expression)
    {
        mManager->GetScript()->DoLuaString((std::string("_n = ") + expression).c_str());
        return mManager->GetScript()->GetGlobalNumber("_n");
    }

    AnimatedBitmapWindow* mWindow = nullptr;
};

TEST_F(BitmapWindowTest, CoversTheScreenAndStepsTheBitmapFromItsStyle)
{
    EXPECT_STREQ(mWindow->GetClassName(), "AnimatedBitmapWindow");
    EXPECT_TRUE(mWindow->IsKindOf(TWindow::GetClassId()));
    EXPECT_EQ(mWindow->GetRect(), TRect(0, 0, 800, 600));
    const auto& bitmap = mWindow->GetBitmap();
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetPosition(), TVec2(50, 60));
    EXPECT_EQ(bitmap->GetFrameCount(), 2);

    mClock.SetStep(150);
    EXPECT_TRUE(mWindow->Animate());
    EXPECT_EQ(bitmap->GetCurrentFrame(), 1);
}

TEST_F(BitmapWindowTest, PausedWhileAnotherModalIsOnTop)
{
    const auto& bitmap = mWindow->GetBitmap();
    const double queued = ScriptNumber("table.getn(gMessageQueue)");
    auto* dialog = new TModalWindow();
    mManager->PushModal(dialog);
    Post(kButtonPress);
    EXPECT_FALSE(bitmap->IsPaused());
    Post(kUserMessageBase);
    EXPECT_TRUE(bitmap->IsPaused());
    // The listener takes no message: both went on to the script.
    EXPECT_EQ(ScriptNumber("table.getn(gMessageQueue)"), queued + 2);

    mManager->PopModal();
    mManager->ProcessDeletions();
    mManager->DispatchMessages(); // the dialog's kModalClosed
    EXPECT_FALSE(bitmap->IsPaused());
    Post(kUserMessageBase);
    EXPECT_FALSE(bitmap->IsPaused());
}

TEST_F(BitmapWindowTest, DrawsInItsOwn2dBlockOrInsideOneAlreadyOpen)
{
    TRenderer* renderer = TRenderer::Instance();
    BeginBlackFrame();
    mWindow->Draw();
    EXPECT_FALSE(renderer->InBegin2d());
    EXPECT_EQ(Back(51, 61), 0xFF0000u);
    EXPECT_EQ(Back(49, 61), 0u);

    renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 1));
    ASSERT_TRUE(renderer->Begin2d());
    mWindow->Draw();
    EXPECT_TRUE(renderer->InBegin2d());
    EXPECT_EQ(Back(53, 63), 0xFF0000u);
    renderer->End2d();
    EndFrame();
}
} // namespace
