// Tests of the main window and its window procedure: creation, the flags it records for the pump,
// host messages, hit tests, activation and the drawn cursor slots.
#include "support/shell_fixture.h"

#include <memory>

using namespace shelltest;

namespace
{

class MainWindowTest : public ShellTest
{
};

class HostedMainWindowTest : public ShellTest
{
protected:
    void SetUp() override
    {
        mHost.AddWindow(0x5151, 800, 600);
        sys::SetHostChannel(&mHost);
        mHosted = true;
        mHostWindow = 0x5151;
        ShellTest::SetUp();
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        sys::SetHostChannel(nullptr);
    }
    sys::RecordingHost mHost;
};

TEST_F(MainWindowTest, IsCreatedHiddenWithItsTitleSizeAndApplication)
{
    EXPECT_EQ(sys::GetWindowTitle(mWindow), "Quillmark");
    int width = 0;
    int height = 0;
    ASSERT_TRUE(sys::GetClientSize(mWindow, width, height));
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 360);
    EXPECT_FALSE(sys::IsWindowVisible(mWindow));
    EXPECT_EQ(sys::GetWindowUserData(mWindow), mApp);
    EXPECT_EQ(GetConfig("hwnd"), TString::Format("%d", static_cast<int>(mWindow)));
    EXPECT_TRUE(sys::IsUnicodeWindow(mWindow));
    EXPECT_EQ(GetMainWindowParent(), 0u);
}

TEST_F(MainWindowTest, CloseIsOnlyRecordedAndTheWindowStays)
{
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(mImpl->mPump.mCloseRequested);
    EXPECT_TRUE(sys::IsWindow(mWindow));
}

TEST_F(MainWindowTest, TheFrameNeitherResizesNorMaximises)
{
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_NCHITTEST, 0, 0), sys::HTCLIENT);
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_ERASEBKGND, 0, 0), 1);
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_TIMER, 0, 0), 0);
}

TEST_F(MainWindowTest, UserMessageSevenBecomesTheWindowMessageState)
{
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_USER, 7, 0), 1);
    EXPECT_EQ(mServices.State("windowmessage"), "7");
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_USER + 100, 0, 0), 1);
}

TEST_F(HostedMainWindowTest, MessagesToTheParentAreForwardedToTheHost)
{
    EXPECT_EQ(GetMainWindowParent(), 0x5151u);
    mHost.mMessages.clear();
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_USER + 2, 3, 4), 1);
    ASSERT_EQ(mHost.mMessages.size(), 1u);
    EXPECT_EQ(mHost.mMessages[0].window, 0x5151u);
    EXPECT_EQ(mHost.mMessages[0].message, sys::WM_USER + 2);
    EXPECT_EQ(mHost.mMessages[0].wParam, 3u);
    EXPECT_EQ(mHost.mMessages[0].lParam, 4);
    EXPECT_TRUE(mHost.mMessages[0].sent);
}

TEST_F(HostedMainWindowTest, AClickDoesNotMarkAnActivation)
{
    sys::SendMessage(mWindow, sys::WM_MOUSEACTIVATE, mWindow, 0);
    EXPECT_FALSE(mImpl->mPump.mActivationClick);
}

TEST_F(MainWindowTest, AClickOnTheInactiveWindowMarksTheActivation)
{
    sys::AdvanceManualClock(123);
    sys::SendMessage(mWindow, sys::WM_MOUSEACTIVATE, mWindow, 0);
    EXPECT_TRUE(mImpl->mPump.mActivationClick);
    EXPECT_EQ(mImpl->mPump.mActivationTime, GetPlatformTime());
}

TEST_F(MainWindowTest, MinimisingAFullScreenWindowPausesSoundAndRestoringResumes)
{
    Recorded().mFullScreen = true;
    sys::WindowPos parked{-32000, -32000, 160, 28, 0};
    sys::SendMessage(mWindow, sys::WM_WINDOWPOSCHANGED, 0, reinterpret_cast<sys::LParam>(&parked));
    sys::SendMessage(mWindow, sys::WM_SIZE, sys::SIZE_MINIMIZED, 0);
    EXPECT_TRUE(mImpl->mPump.mInactiveFullScreen);
    EXPECT_FALSE(mImpl->mPump.mApplicationActive);
    EXPECT_FALSE(mImpl->mPump.mWindowActive);
    ASSERT_FALSE(Recorded().mPauses.empty());
    EXPECT_FALSE(Recorded().mPauses.back());

    sys::WindowPos shown{0, 0, 800, 600, 0};
    sys::SendMessage(mWindow, sys::WM_WINDOWPOSCHANGED, 0, reinterpret_cast<sys::LParam>(&shown));
    sys::SendMessage(mWindow, sys::WM_SIZE, sys::SIZE_RESTORED, 0);
    EXPECT_FALSE(mImpl->mPump.mInactiveFullScreen);
    EXPECT_TRUE(mImpl->mPump.mApplicationActive);
    EXPECT_TRUE(mImpl->mPump.mWindowActive);
    EXPECT_TRUE(Recorded().mPauses.back());
    Recorded().mFullScreen = false;
}

TEST_F(MainWindowTest, AFullScreenWindowKeepsItsActivationUnlessForced)
{
    Recorded().mFullScreen = true;
    mImpl->SetWindowActive(false, false);
    EXPECT_TRUE(mImpl->mPump.mWindowActive);
    EXPECT_FALSE(mImpl->mPump.mActivationChanged);
    // The sound still hears of it.
    ASSERT_EQ(Recorded().mPauses.size(), 1u);
    EXPECT_FALSE(Recorded().mPauses[0]);
    mImpl->SetWindowActive(false, true);
    EXPECT_FALSE(mImpl->mPump.mWindowActive);
    EXPECT_TRUE(mImpl->mPump.mActivationChanged);
    Recorded().mFullScreen = false;
}

TEST_F(MainWindowTest, ApplicationDeactivationWhileFullScreenMarksInactiveFullScreen)
{
    Recorded().mFullScreen = true;
    sys::SendMessage(mWindow, sys::WM_ACTIVATEAPP, 0, 0);
    EXPECT_TRUE(mImpl->mPump.mApplicationActivationChanged);
    EXPECT_TRUE(mImpl->mPump.mInactiveFullScreen);
    sys::SendMessage(mWindow, sys::WM_ACTIVATEAPP, 1, 0);
    EXPECT_FALSE(mImpl->mPump.mInactiveFullScreen);
    Recorded().mFullScreen = false;
}

TEST_F(MainWindowTest, ADisplayChangeRereadsTheDesktopOnlyWhileInactive)
{
    Recorded().mDisplayExists = true;
    Recorded().mCalls.clear();
    sys::PushDisplayChangeEvent();
    Drain();
    EXPECT_TRUE(Recorded().mCalls.empty());
    mImpl->mPump.mWindowActive = false;
    sys::PushDisplayChangeEvent();
    Drain();
    ASSERT_EQ(Recorded().mCalls.size(), 1u);
    EXPECT_EQ(Recorded().mCalls[0], "UpdateDesktopMode");
    mImpl->mPump.mWindowActive = true;
    Recorded().mDisplayExists = false;
}

TEST_F(MainWindowTest, MouseMovesMarkTheWindowManagerDirty)
{
    sys::SendMessage(mWindow, sys::WM_MOUSEMOVE, 0, sys::MakePointParam(5, 6));
    EXPECT_EQ(Recorded().mDirtyCount, 1);
    sys::SendMessage(mWindow, sys::WM_PAINT, 0, 0);
    EXPECT_EQ(Recorded().mDirtyCount, 2);
    EXPECT_TRUE(mImpl->mPump.mRepaintRequested);
}

TEST_F(MainWindowTest, LeavingUnarmsTrackingAndMarksTheMouseGone)
{
    mImpl->mPump.mHoverTracking = true;
    mImpl->mPump.mLeaveTracking = true;
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_MOUSELEAVE, 0, 0), 0);
    EXPECT_FALSE(mImpl->mPump.mHoverTracking);
    EXPECT_FALSE(mImpl->mPump.mLeaveTracking);
    EXPECT_TRUE(mImpl->mPump.mMouseLeft);
}

TEST_F(MainWindowTest, WithoutItsApplicationTheProcedureOnlyDoesWhatNeedsNone)
{
    sys::SetWindowUserData(mWindow, nullptr);
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(mImpl->mPump.mCloseRequested);
    sys::SendMessage(mWindow, sys::WM_PAINT, 0, 0);
    EXPECT_FALSE(mImpl->mPump.mRepaintRequested);
    sys::SetWindowUserData(mWindow, mApp);
}

TEST_F(MainWindowTest, CursorSlotsAreKeptAndShowingTheMouseIsRecorded)
{
    // Textures belong to the rendering layer; any object stands in for one here.
    auto texture = std::shared_ptr<TTexture>(reinterpret_cast<TTexture*>(new int(1)),
                                             [](TTexture* t) { delete reinterpret_cast<int*>(t); });
    mApp->SetCursorTexture(texture, 3, 4, 0);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mTexture, texture);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mHotX, 3);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mHotY, 4);
    mApp->SetCursorTexture(texture, 7, 8, 1);
    EXPECT_EQ(mImpl->mCursor.mSlots[1].mHotY, 8);
    // Without a display nothing draws a cursor, so the system's arrow stays.
    EXPECT_TRUE(sys::IsSystemCursorShown());

    mApp->ShowSystemCursor(false);
    EXPECT_FALSE(mImpl->mCursor.mMouseShown);
    mApp->SetCursorTexture(nullptr, 1, 1, 0);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mTexture, nullptr);
    EXPECT_EQ(mImpl->mCursor.mSlots[0].mHotX, 1);
}

} // namespace
