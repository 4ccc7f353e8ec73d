// Tests of the window stand-in: handles, window procedures and user words, sent messages, default
// handling, capture, timers, titles, the clipboard, host windows, message boxes, metrics, styles,
// parents, the cursor position and the reported version.
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/host.h"
#include "sys/process/identity.h"
#include "sys/window/window.h"

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

TEST_F(WindowTest, HeadlessMessageBoxesAreRecordedAndAnsweredOk)
{
    sys::ClearMessageBoxes();
    EXPECT_EQ(sys::MessageBox(mWindow, "Text", "Caption", sys::MB_ICONSTOP), sys::IDOK);
    EXPECT_EQ(sys::MessageBox(0, "Second", "Error", sys::MB_OK), sys::IDOK);
    const auto& boxes = sys::GetMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, mWindow);
    EXPECT_EQ(boxes[0].text, "Text");
    EXPECT_EQ(boxes[0].caption, "Caption");
    EXPECT_EQ(boxes[0].flags, sys::MB_ICONSTOP);
    EXPECT_EQ(boxes[1].owner, 0u);
    sys::ClearMessageBoxes();
    EXPECT_TRUE(sys::GetMessageBoxes().empty());
}

TEST_F(WindowTest, MetricsStylesAndParentsAreRecorded)
{
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CXFRAME), 4);
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CYFRAME), 4);
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CXEDGE), 2);
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CYEDGE), 2);
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CYCAPTION), 23);
    int width = 0, height = 0;
    sys::GetDesktopSize(width, height);
    EXPECT_EQ(sys::GetSystemMetrics(sys::SM_CXSCREEN), width);

    EXPECT_EQ(sys::GetWindowStyle(mWindow), 0u);
    sys::SetWindowStyles(mWindow, sys::WS_CHILD | sys::WS_VISIBLE, sys::WS_EX_TOPMOST);
    EXPECT_EQ(sys::GetWindowStyle(mWindow), sys::WS_CHILD | sys::WS_VISIBLE);
    EXPECT_EQ(sys::GetWindowExStyle(mWindow), sys::WS_EX_TOPMOST);
    EXPECT_EQ(sys::SetParent(mWindow, 0x4444), 0u);
    EXPECT_EQ(sys::GetParent(mWindow), 0x4444u);
    EXPECT_EQ(sys::SetParent(mWindow, 0), 0x4444u);

    sys::ScreenRect monitor, work;
    sys::GetMonitorRects(mWindow, monitor, work);
    EXPECT_GT(monitor.right - monitor.left, 0);
    EXPECT_GE(work.left, monitor.left);
    EXPECT_LE(work.right, monitor.right);
}

TEST_F(WindowTest, CursorPositionConvertsToClientPixels)
{
    sys::MoveWindow(mWindow, 100, 50, 320, 200);
    sys::SetCursorPosOverride(true, 130, 70);
    int x = 0, y = 0;
    sys::GetCursorPos(x, y);
    ASSERT_TRUE(sys::ScreenToClient(mWindow, x, y));
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 20);
    ASSERT_TRUE(sys::ClientToScreen(mWindow, x, y));
    EXPECT_EQ(x, 130);
    EXPECT_EQ(y, 70);
    EXPECT_FALSE(sys::ScreenToClient(0, x, y));
    sys::ScreenRect rect;
    ASSERT_TRUE(sys::GetWindowScreenRect(mWindow, rect));
    EXPECT_EQ(rect, (sys::ScreenRect{100, 50, 420, 250}));
    // Headless, a move is recorded and read back.
    sys::SetCursorPos(-5, 900);
    sys::GetCursorPos(x, y);
    EXPECT_EQ(x, -5);
    EXPECT_EQ(y, 900);
    sys::SetCursorPosOverride(false);
}

// Full screen on a screen of another size: the picture scaled with its proportions, centred
// between bars. Events, GetCursorPos and SetCursorPos all go through the one mapping; a pointer
// over a bar lands on the picture's edge; without a fit points pass unchanged.
TEST_F(WindowTest, PointerPositionsFollowThePictureOnAFullScreen)
{
    EXPECT_EQ(sys::FitPicture(800, 600, 1024, 768), (sys::ScreenRect{0, 0, 1024, 768}));
    EXPECT_EQ(sys::FitPicture(800, 600, 1280, 720), (sys::ScreenRect{160, 0, 1120, 720}));
    EXPECT_EQ(sys::FitPicture(800, 600, 1024, 1024), (sys::ScreenRect{0, 128, 1024, 896}));

    sys::MoveWindow(mWindow, 0, 0, 1280, 720);
    sys::SetPictureFit(800, 600, 1280, 720);
    ASSERT_TRUE(sys::PushMouseMotion(640, 360));
    ASSERT_TRUE(sys::PushMouseButton(1, true, 100, 719)); // over the left bar
    ASSERT_TRUE(sys::PushMouseButton(1, false, 1279, 0)); // over the right bar
    ASSERT_TRUE(sys::PushMouseWheel(1));
    std::vector<std::pair<uint32_t, sys::LParam>> seen;
    sys::Message message;
    while (sys::PeekMessage(message))
        if (message.message >= sys::WM_MOUSEMOVE && message.message <= sys::WM_MOUSEWHEEL)
            seen.emplace_back(message.message, message.lParam);
    EXPECT_EQ(seen, (std::vector<std::pair<uint32_t, sys::LParam>>{
                        {sys::WM_MOUSEMOVE, sys::MakePointParam(400, 300)},
                        {sys::WM_LBUTTONDOWN, sys::MakePointParam(0, 599)},
                        {sys::WM_LBUTTONUP, sys::MakePointParam(799, 0)},
                        {sys::WM_MOUSEWHEEL, sys::MakePointParam(799, 0)}}));

    // The desktop pointer both ways: a picture point goes to the middle of its screen pixels and
    // comes back as itself.
    sys::SetCursorPosOverride(true, 1119, 719);
    int x = 0, y = 0;
    sys::GetCursorPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(799, 599));
    sys::SetCursorPos(400, 300);
    sys::GetCursorPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(400, 300));
    for (int px : {0, 1, 399, 798, 799})
    {
        int wx = px, wy = px % 600;
        sys::PictureToWindow(wx, wy);
        sys::WindowToPicture(wx, wy);
        EXPECT_EQ(std::make_pair(wx, wy), std::make_pair(px, px % 600));
    }

    sys::ClearPictureFit();
    sys::GetCursorPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(640, 360));
    sys::SetCursorPosOverride(false);
}

// The display paints a window the moment it shows: its listener runs when ShowWindow shows the
// window from hidden, not when it is shown already, and not once its owner has cleared it.
TEST_F(WindowTest, AWindowShownFromHiddenTellsItsListener)
{
    SDL_Window* window = sys::detail::SdlWindowFromHandle(mWindow);
    int told = 0;
    const int owner = 0;
    sys::detail::SetShownListener(window, &owner, [&told] { ++told; });
    ASSERT_TRUE(sys::ShowWindow(mWindow, sys::SW_SHOWNORMAL));
    ASSERT_TRUE(sys::ShowWindow(mWindow, sys::SW_SHOWNORMAL));
    EXPECT_EQ(told, 1);
    sys::ShowWindow(mWindow, sys::SW_HIDE);
    sys::detail::ClearShownListener(&told); // another owner's: it stays
    sys::ShowWindow(mWindow, sys::SW_SHOWNORMAL);
    EXPECT_EQ(told, 2);
    sys::ShowWindow(mWindow, sys::SW_HIDE);
    sys::detail::ClearShownListener(&owner);
    sys::ShowWindow(mWindow, sys::SW_SHOWNORMAL);
    EXPECT_EQ(told, 2);
}

// A switch between full screen and a window keeps the pointer on its picture point, wherever the
// new shape shows it: full screen on 1024 x 768 (the picture 1.28 times) to a window at (112, 84)
// and back. A pointer off the window has no picture point: nothing is kept.
TEST_F(WindowTest, AReshapeKeepsThePointersPicturePoint)
{
    sys::MoveWindow(mWindow, 0, 0, 1024, 768);
    sys::SetPictureFit(800, 600, 1024, 768);
    sys::SetCursorPosOverride(true, 576, 336); // picture point (450, 262)
    sys::KeepPointerThroughReshape();
    EXPECT_TRUE(sys::IsPointerKept());
    sys::ClearPictureFit();
    sys::MoveWindow(mWindow, 112, 84, 800, 600);
    sys::PlaceKeptPointer();
    EXPECT_FALSE(sys::IsPointerKept());
    int x = 0, y = 0;
    sys::GetCursorPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(112 + 450, 84 + 262));

    sys::KeepPointerThroughReshape();
    sys::MoveWindow(mWindow, 0, 0, 1024, 768);
    sys::SetPictureFit(800, 600, 1024, 768);
    sys::PlaceKeptPointer();
    sys::GetCursorPos(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(450, 262));

    sys::ClearPictureFit();
    sys::MoveWindow(mWindow, 112, 84, 800, 600);
    sys::SetCursorPosOverride(true, 50, 700);
    sys::KeepPointerThroughReshape();
    EXPECT_FALSE(sys::IsPointerKept());
    sys::SetCursorPosOverride(false);
}

TEST_F(WindowTest, ColourCursorsComeAndGo)
{
    std::vector<uint32_t> pixels(sys::kColorCursorSize * sys::kColorCursorSize, 0xFFFF00FF);
    pixels.back() = 0x80123456;
    sys::CursorHandle cursor = sys::CreateColorCursor(pixels.data(), 2, 3);
    ASSERT_NE(cursor, 0u);
    std::vector<uint32_t> kept;
    int hotX = 0, hotY = 0;
    ASSERT_TRUE(sys::GetColorCursor(cursor, kept, hotX, hotY));
    EXPECT_EQ(kept, pixels);
    EXPECT_EQ(hotX, 2);
    EXPECT_EQ(hotY, 3);
    EXPECT_TRUE(sys::SetCursor(cursor));
    EXPECT_EQ(sys::GetCurrentCursor(), cursor);
    sys::DestroyCursor(cursor);
    EXPECT_EQ(sys::GetCurrentCursor(), 0u);
    EXPECT_FALSE(sys::SetCursor(cursor));
    EXPECT_FALSE(sys::GetColorCursor(cursor, kept, hotX, hotY));
}

TEST_F(WindowTest, TheGamesCursorAnswersThePreviousOneAndNullHides)
{
    sys::ShowSystemCursor(false);
    sys::ClearSystemCursorRecord();
    EXPECT_EQ(sys::GetSystemCursor(), 0u);
    const sys::CursorHandle arrow = sys::LoadArrowCursor();
    EXPECT_EQ(sys::SetSystemCursor(arrow), 0u);
    EXPECT_TRUE(sys::IsSystemCursorShown());
    EXPECT_EQ(sys::GetCurrentCursor(), 0u);
    EXPECT_EQ(sys::GetSystemCursor(), arrow);

    // A colour cursor set by the display is what the next call answers.
    std::vector<uint32_t> pixels(sys::kColorCursorSize * sys::kColorCursorSize, 0);
    sys::CursorHandle colour = sys::CreateColorCursor(pixels.data(), 0, 0);
    sys::SetCursor(colour);
    EXPECT_EQ(sys::SetSystemCursor(0), colour);
    EXPECT_FALSE(sys::IsSystemCursorShown());
    EXPECT_EQ(sys::GetSystemCursor(), 0u);
    EXPECT_EQ(sys::SetSystemCursor(colour + 1000), 0u); // unknown: nothing changes
    EXPECT_EQ(sys::GetSystemCursor(), 0u);
    EXPECT_EQ(sys::GetSystemCursorRecord(),
              (std::vector<sys::CursorHandle>{arrow, 0, colour + 1000}));

    for (size_t i = 0; i < 3 * sys::kCursorRecordLimit; ++i)
        sys::SetSystemCursor(0);
    EXPECT_LE(sys::GetSystemCursorRecord().size(), sys::kCursorRecordLimit);
    sys::DestroyCursor(colour);
    sys::ShowSystemCursor(true);
    sys::ClearSystemCursorRecord();
}

TEST(VersionTest, SixPointOneNeedsNoCursorThread)
{
    EXPECT_EQ(sys::GetOsVersion().major, 6u);
    EXPECT_EQ(sys::GetOsVersion().minor, 1u);
    EXPECT_FALSE(sys::NeedsCursorThread(sys::GetOsVersion()));
    EXPECT_TRUE(sys::NeedsCursorThread(sys::OsVersion{6, 0}));
    EXPECT_TRUE(sys::NeedsCursorThread(sys::OsVersion{5, 1}));
    // The test as the game wrote it: the minor version alone decides above 6.
    EXPECT_TRUE(sys::NeedsCursorThread(sys::OsVersion{10, 0}));
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

TEST(VideoDriverNotice, OnlyADriverThatShowsNothingAndWasNotAskedFor)
{
    std::string notice = sys::MakeVideoDriverNotice("offscreen", nullptr);
    EXPECT_EQ(
        notice,
        "No display found: video runs on SDL's \"offscreen\" driver, so no window is shown. "
        "Set DISPLAY or WAYLAND_DISPLAY to play on a display, or SDL_VIDEODRIVER=dummy to run "
        "without one on purpose; the program then runs until it is interrupted (Ctrl+C) or "
        "terminated.");
    EXPECT_NE(sys::MakeVideoDriverNotice("dummy", ""), "");
    EXPECT_EQ(sys::MakeVideoDriverNotice("dummy", "dummy"), "");
    EXPECT_EQ(sys::MakeVideoDriverNotice("x11", nullptr), "");
    EXPECT_EQ(sys::MakeVideoDriverNotice(nullptr, nullptr), "");
    // The test programs ask for the dummy driver: nothing is said.
    ASSERT_TRUE(sys::InitWindowing());
    EXPECT_EQ(sys::GetVideoDriverNotice(), "");
}

} // namespace
