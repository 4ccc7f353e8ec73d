// Tests of the window stand-in: handles, window procedures and user words, sent messages, default
// handling, capture, timers, titles, the clipboard and host windows.
#include "sys/clock.h"
#include "sys/events.h"
#include "sys/host.h"
#include "sys/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

struct Received
{
    sys::WindowHandle window;
    uint32_t message;
    sys::WParam wParam;
    sys::LParam lParam;
};
std::vector<Received> gReceived;

sys::LParam RecordingProc(sys::WindowHandle window, uint32_t message, sys::WParam wParam,
                          sys::LParam lParam)
{
    gReceived.push_back({window, message, wParam, lParam});
    if (message == sys::WM_USER)
        return 77;
    return sys::DefWindowProc(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::SetManualClock(true, 1000);
        sys::FlushInput();
        gReceived.clear();
        sys::WindowDesc desc;
        desc.title = "Test window";
        desc.width = 320;
        desc.height = 200;
        desc.proc = &RecordingProc;
        desc.unicode = true;
        mWindow = sys::CreateWindow(desc);
        ASSERT_NE(mWindow, 0u);
        gReceived.clear();
    }
    void TearDown() override
    {
        if (sys::IsWindow(mWindow))
            sys::DestroyWindow(mWindow);
        sys::FlushInput();
        sys::SetManualClock(false);
    }
    sys::WindowHandle mWindow = 0;
};

TEST_F(WindowTest, HandlesAreOursAndKeepTheirUserWord)
{
    EXPECT_GE(mWindow, sys::kFirstWindowHandle);
    EXPECT_TRUE(sys::IsWindow(mWindow));
    EXPECT_TRUE(sys::IsUnicodeWindow(mWindow));
    EXPECT_FALSE(sys::IsWindow(0));
    EXPECT_FALSE(sys::IsWindow(0x1234));
    int value = 5;
    sys::SetWindowUserData(mWindow, &value);
    EXPECT_EQ(sys::GetWindowUserData(mWindow), &value);
    EXPECT_EQ(sys::GetWindowTitle(mWindow), "Test window");
    EXPECT_TRUE(sys::SetWindowTitle(mWindow, "\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(sys::GetWindowTitle(mWindow), "\xC3\xA9t\xC3\xA9");
}

TEST_F(WindowTest, SentMessagesReachTheProcedureAtOnce)
{
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_USER, 1, 2), 77);
    ASSERT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(gReceived[0].wParam, 1u);
    EXPECT_EQ(gReceived[0].lParam, 2);
    EXPECT_EQ(sys::SendMessage(mWindow, sys::WM_NCHITTEST, 0, 0), sys::HTCLIENT);
}

TEST_F(WindowTest, TheDefaultCloseDestroysTheWindowAfterItsDestroyMessage)
{
    sys::SendMessage(mWindow, sys::WM_CLOSE, 0, 0);
    EXPECT_FALSE(sys::IsWindow(mWindow));
    ASSERT_EQ(gReceived.size(), 2u);
    EXPECT_EQ(gReceived[1].message, sys::WM_DESTROY);
}

TEST_F(WindowTest, PostedMessagesAreTakenInOrderAndDispatched)
{
    sys::PostMessage(mWindow, sys::WM_USER, 9, 0);
    sys::PostQuitMessage(3);
    sys::Message message;
    ASSERT_TRUE(sys::PeekMessage(message, 0, 0, false));
    EXPECT_EQ(message.message, sys::WM_USER);
    ASSERT_TRUE(sys::PeekMessage(message));
    EXPECT_EQ(sys::DispatchMessage(message), 77);
    ASSERT_TRUE(sys::PeekMessage(message));
    EXPECT_EQ(message.message, sys::WM_QUIT);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_EQ(message.window, 0u);
    EXPECT_EQ(sys::DispatchMessage(message), 0);
}

TEST_F(WindowTest, AFilteredLookOnlyFindsMessagesInItsRange)
{
    sys::PostMessage(mWindow, sys::WM_USER, 0, 0);
    sys::PostQuitMessage(0);
    sys::Message message;
    ASSERT_TRUE(sys::PeekMessage(message, sys::WM_QUIT, sys::WM_QUIT));
    EXPECT_EQ(message.message, sys::WM_QUIT);
    EXPECT_FALSE(sys::PeekMessage(message, sys::WM_QUIT, sys::WM_QUIT));
    ASSERT_TRUE(sys::PeekMessage(message));
    EXPECT_EQ(message.message, sys::WM_USER);
}

TEST_F(WindowTest, ReleasingTheCaptureTellsTheWindowAtOnce)
{
    sys::SetCapture(mWindow);
    EXPECT_EQ(sys::GetCapture(), mWindow);
    EXPECT_TRUE(sys::ReleaseCapture());
    EXPECT_EQ(sys::GetCapture(), 0u);
    ASSERT_EQ(gReceived.size(), 1u);
    EXPECT_EQ(gReceived[0].message, sys::WM_CAPTURECHANGED);
    EXPECT_EQ(gReceived[0].lParam, 0);
    sys::Message message;
    EXPECT_FALSE(sys::PeekMessage(message));
}

TEST_F(WindowTest, TimersComeWhenDueAndOnlyWhenNothingElseWaits)
{
    ASSERT_TRUE(sys::SetTimer(mWindow, 4, 250));
    sys::Message message;
    EXPECT_FALSE(sys::PeekMessage(message));
    sys::AdvanceManualClock(250);
    sys::PostMessage(mWindow, sys::WM_USER, 0, 0);
    ASSERT_TRUE(sys::PeekMessage(message));
    EXPECT_EQ(message.message, sys::WM_USER);
    ASSERT_TRUE(sys::PeekMessage(message));
    EXPECT_EQ(message.message, sys::WM_TIMER);
    EXPECT_EQ(message.wParam, 4u);
    EXPECT_FALSE(sys::PeekMessage(message));
    EXPECT_TRUE(sys::KillTimer(mWindow, 4));
    sys::AdvanceManualClock(1000);
    EXPECT_FALSE(sys::PeekMessage(message));
}

TEST_F(WindowTest, MovingAndShowing)
{
    EXPECT_FALSE(sys::IsWindowVisible(mWindow));
    EXPECT_TRUE(sys::MoveWindow(mWindow, 10, 20, 640, 480));
    EXPECT_FALSE(sys::MoveWindow(mWindow, 0, 0, 0, 480));
    int width = 0;
    int height = 0;
    ASSERT_TRUE(sys::GetClientSize(mWindow, width, height));
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_TRUE(sys::ShowWindow(mWindow, sys::SW_SHOWNORMAL));
    EXPECT_TRUE(sys::IsWindowVisible(mWindow));
    EXPECT_TRUE(sys::ShowWindow(mWindow, sys::SW_HIDE));
    EXPECT_FALSE(sys::IsWindowVisible(mWindow));
}

TEST_F(WindowTest, TheClipboardHoldsText)
{
    ASSERT_TRUE(sys::SetClipboardText("copied \xE2\x82\xAC"));
    EXPECT_TRUE(sys::HasClipboardText());
    EXPECT_EQ(sys::GetClipboardText(), "copied \xE2\x82\xAC");
}

TEST_F(WindowTest, HostWindowsAreReachedThroughTheHostChannel)
{
    sys::RecordingHost host;
    host.AddWindow(0x3000, 1024, 768);
    host.AddWindow(0x2000, 1280, 1024);
    host.AddWindow(0x3001, 100, 100, 0x3000);
    host.AddWindow(0x3000, 1024, 768, 0x2000);
    sys::SetHostChannel(&host);
    EXPECT_TRUE(sys::IsWindow(0x3000));
    EXPECT_EQ(sys::SendMessage(0x3000, sys::WM_USER, 1, 0), 1);
    EXPECT_TRUE(sys::PostMessage(0x3000, sys::WM_QUIT, 0, 0));
    EXPECT_FALSE(sys::PostMessage(0x9999, sys::WM_QUIT, 0, 0));
    ASSERT_EQ(host.mMessages.size(), 2u);
    EXPECT_TRUE(host.mMessages[0].sent);
    EXPECT_FALSE(host.mMessages[1].sent);
    int width = 0;
    int height = 0;
    EXPECT_TRUE(sys::GetClientSize(0x3000, width, height));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(host.GetTopLevelAncestor(0x3001), 0x2000u);
    EXPECT_EQ(host.GetTopLevelAncestor(0x2000), 0x2000u);
    EXPECT_EQ(host.GetTopLevelAncestor(0x5555), 0u);
    host.RemoveWindow(0x3000);
    EXPECT_FALSE(sys::IsWindow(0x3000));
    sys::SetHostChannel(nullptr);
    EXPECT_FALSE(sys::IsWindow(0x2000));
}

TEST(KeyTableTest, EveryVirtualKeyComesBackFromItsScancode)
{
    for (int vk = 1; vk < 256; ++vk)
    {
        int scancode = sys::ScancodeFromVirtualKey(vk);
        if (scancode < 0)
            continue;
        EXPECT_EQ(sys::VirtualKeyFromScancode(scancode, 0), vk) << "virtual key " << vk;
    }
    EXPECT_EQ(sys::ScancodeFromVirtualKey(0xE8), -1);
}

TEST(KeyTableTest, ExtendedKeysAndLayoutLetters)
{
    bool extended = false;
    int up = sys::ScancodeFromVirtualKey(38);
    EXPECT_EQ(sys::VirtualKeyFromScancode(up, 0, &extended), 38);
    EXPECT_TRUE(extended);
    int keypadUp = sys::ScancodeFromVirtualKey(104);
    EXPECT_EQ(sys::VirtualKeyFromScancode(keypadUp, 0, &extended), 104);
    EXPECT_FALSE(extended);
    // A letter follows the layout's symbol, not the key's position.
    int q = sys::ScancodeFromVirtualKey('Q');
    EXPECT_EQ(sys::VirtualKeyFromScancode(q, 'a'), 'A');
    EXPECT_EQ(sys::VirtualKeyFromScancode(q, 0), 'Q');
}

} // namespace
