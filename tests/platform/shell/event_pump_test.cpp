// Tests of the event pump: key codes and characters, mouse buttons and the activation-click filter,
// the conditions the window procedure records, ticks and the idle path.
#include "support/shell_fixture.h"

#include "platform/shell/event_pump.h"

#include <cstdint>

using namespace shelltest;

namespace
{

class EventPumpTest : public ShellTest
{
};

class AnsiEventPumpTest : public ShellTest
{
protected:
    void SetUp() override
    {
        mUtf8 = false;
        ShellTest::SetUp();
    }
};

class HostedEventPumpTest : public ShellTest
{
protected:
    void SetUp() override
    {
        mHost.AddWindow(0x4242, 1024, 768);
        sys::SetHostChannel(&mHost);
        mHosted = true;
        mHostWindow = 0x4242;
        ShellTest::SetUp();
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        sys::SetHostChannel(nullptr);
    }
    sys::RecordingHost mHost;
};

struct KeyCase
{
    int virtualKey;
    int32_t code;
};

TEST(KeyMapTest, MapsTheListedCodesAndPassesEveryOther)
{
    const KeyCase cases[] = {
        {38, -128}, {40, -127}, {37, -126}, {39, -125}, {45, -124}, {33, -123}, {34, -122},
        {46, -1},   {96, 48},   {101, 53},  {105, 57},  {106, 42},  {107, 43},  {187, 43},
        {108, 10},  {109, 45},  {189, 45},  {110, 46},  {190, 46},  {111, 47},  {191, 47},
        {186, 59},  {188, 44},  {192, 96},  {219, 91},  {220, 92},  {221, 93},  {222, 39},
        {32, 32},   {65, 65},   {90, 90},   {48, 48},   {57, 57},   {112, 112}, {13, 13},
        {27, 27},   {36, 36},   {35, 35},   {0, 0},     {223, 223}, {255, 255}, {226, 226},
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(MapVirtualKeyCode(c.virtualKey), c.code) << "virtual key " << c.virtualKey;
}

TEST_F(EventPumpTest, KeyDownsCarryTheMappedCodeAndTheirModifiers)
{
    // Virtual key, the code of the key-down event and its modifier bits (8: extended key).
    struct Case
    {
        int virtualKey;
        uint32_t mods;
        int32_t code;
        int32_t param2;
    };
    const uint32_t shift = sys::kModShift, control = sys::kModControl;
    const Case cases[] = {
        {38, 0, -128, 8}, {40, 0, -127, 8}, {37, 0, -126, 8},     {39, 0, -125, 8},
        {33, 0, -123, 8}, {34, 0, -122, 8}, {46, 0, -1, 8},       {96, 0, 48, 0},
        {105, 0, 57, 0},  {106, 0, 42, 0},  {107, 0, 43, 0},      {187, 0, 43, 0},
        {108, 0, 10, 0},  {109, 0, 45, 0},  {189, 0, 45, 0},      {110, 0, 46, 0},
        {190, 0, 46, 0},  {111, 0, 47, 8},  {191, 0, 47, 0},      {186, 0, 59, 0},
        {188, 0, 44, 0},  {192, 0, 96, 0},  {219, 0, 91, 0},      {220, 0, 92, 0},
        {221, 0, 93, 0},  {222, 0, 39, 0},  {'Q', 0, 'Q', 0},     {'Q', shift, 'Q', 1},
        {'7', 0, '7', 0}, {112, 0, 112, 0}, {123, shift, 123, 1}, {36, shift | control, 36, 11}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(sys::PushKeyEvent(c.virtualKey, true, c.mods));
        TPlatformEvent event = Next();
        EXPECT_EQ(event.mType, kEventKeyDown) << "virtual key " << c.virtualKey;
        EXPECT_EQ(event.mParam, c.code) << "virtual key " << c.virtualKey;
        EXPECT_EQ(event.mParam2, c.param2) << "virtual key " << c.virtualKey;
        EXPECT_EQ(event.mX, 0);
        EXPECT_EQ(event.mY, 0);
        Drain();
        sys::PushKeyEvent(c.virtualKey, false, c.mods);
        event = Next();
        EXPECT_EQ(event.mType, kEventKeyUp) << "virtual key " << c.virtualKey;
        EXPECT_EQ(event.mParam, c.code) << "virtual key " << c.virtualKey;
        Drain();
    }
}

TEST_F(EventPumpTest, InsertIsOnlyShiftInsert)
{
    sys::PushKeyEvent(45, true, sys::kModShift);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventKeyDown);
    EXPECT_EQ(event.mParam, -124);
    EXPECT_EQ(event.mParam2, kModifierShift | kModifierExtended);

    sys::PushKeyEvent(45, true, 0);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PushKeyEvent(45, true, sys::kModControl);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PushKeyEvent(45, true, sys::kModControl | sys::kModShift);
    EXPECT_EQ(Next().mType, kEventNothing);
}

TEST_F(EventPumpTest, CharactersAreCodePointsWithSurrogatePairsJoined)
{
    sys::PushTextEvent("a\xC3\xA9\xE2\x82\xAC");
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].mType, kEventWideChar);
    EXPECT_EQ(events[0].mParam, 'a');
    EXPECT_EQ(events[1].mParam, 0xE9);
    EXPECT_EQ(events[2].mParam, 0x20AC);
    EXPECT_EQ(events[2].mParam2, 0);

    // U+1D11E arrives as two units: the high one gives nothing, the low one the code point.
    sys::PushTextEvent("\xF0\x9D\x84\x9E");
    EXPECT_EQ(Next().mType, kEventNothing);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventWideChar);
    EXPECT_EQ(event.mParam, 0x1D11E);
}

TEST_F(EventPumpTest, ALoneLowSurrogateGivesNothing)
{
    sys::PostMessage(mWindow, sys::WM_CHAR, 0xDC00, 1);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PostMessage(mWindow, sys::WM_CHAR, 'x', 1);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventWideChar);
    EXPECT_EQ(event.mParam, 'x');
}

TEST_F(AnsiEventPumpTest, CharactersAreBytes)
{
    sys::PushTextEvent("\xC3\xA9");
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mType, kEventChar);
    EXPECT_EQ(events[0].mParam, 0xC3);
    EXPECT_EQ(events[1].mType, kEventChar);
    EXPECT_EQ(events[1].mParam, 0xA9);
}

TEST_F(AnsiEventPumpTest, ControlLetterGivesItsControlCharacter)
{
    sys::PushKeyEvent('C', true, sys::kModControl);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mType, kEventKeyDown);
    EXPECT_EQ(events[0].mParam, 'C');
    EXPECT_EQ(events[0].mParam2, kModifierControl);
    EXPECT_EQ(events[1].mType, kEventChar);
    EXPECT_EQ(events[1].mParam, 3);
}

TEST_F(EventPumpTest, KeysWithoutTextGiveTheirCharacters)
{
    const std::pair<int, int32_t> cases[] = {
        {sys::VK_RETURN, 13}, {sys::VK_ESCAPE, 27}, {sys::VK_TAB, 9}, {sys::VK_BACK, 8}};
    for (const auto& [vk, ch] : cases)
    {
        sys::PushKeyEvent(vk, true);
        std::vector<TPlatformEvent> events = DrainEvents();
        ASSERT_EQ(events.size(), 2u) << "virtual key " << vk;
        EXPECT_EQ(events[1].mType, kEventWideChar);
        EXPECT_EQ(events[1].mParam, ch);
    }
    sys::PushKeyEvent('C', true, sys::kModControl);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].mType, kEventWideChar);
    EXPECT_EQ(events[1].mParam, 3);
}

TEST_F(EventPumpTest, AltKeysAreSystemKeysWithoutCharacters)
{
    sys::PushKeyEvent('A', true, sys::kModAlt);
    sys::PushTextEvent("a", sys::kModAlt);
    sys::PushKeyEvent('A', false, sys::kModAlt);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].mType, kEventKeyDown);
    EXPECT_EQ(events[0].mParam, 'A');
    EXPECT_EQ(events[0].mParam2, kModifierAlt);

    // System keys carry the unmapped code, with shift and control as usual.
    sys::PushKeyEvent(38, true, sys::kModAlt | sys::kModShift);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventKeyDown);
    EXPECT_EQ(event.mParam, 38);
    EXPECT_EQ(event.mParam2, kModifierAlt | kModifierShift | kModifierExtended);
}

TEST_F(EventPumpTest, ControlWithAltIsAnOrdinaryKeyWhoseCharacterComesAsText)
{
    sys::PushKeyEvent('Q', true, sys::kModControl | sys::kModAlt);
    sys::PushTextEvent("@", sys::kModControl | sys::kModAlt);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mType, kEventKeyDown);
    EXPECT_EQ(events[0].mParam, 'Q');
    EXPECT_EQ(events[0].mParam2, kModifierControl);
    EXPECT_EQ(events[1].mType, kEventWideChar);
    EXPECT_EQ(events[1].mParam, '@');
}

TEST_F(EventPumpTest, F10IsASystemKeyWithoutAltAndIsAnOrdinaryKeyDown)
{
    sys::PushKeyEvent(sys::VK_F10, true);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventKeyDown);
    EXPECT_EQ(event.mParam, sys::VK_F10);
    EXPECT_EQ(event.mParam2, 0);
}

TEST_F(EventPumpTest, AltEnterTogglesFullScreenAndAltF1TheOverlay)
{
    sys::PushKeyEvent(sys::VK_RETURN, true, sys::kModAlt);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventFullScreenToggled);
    EXPECT_EQ(event.mParam, 1);
    EXPECT_TRUE(Recorded().mFullScreen);
    Drain();

    sys::PushKeyEvent(sys::VK_F1, true, sys::kModAlt);
    event = TPlatformEvent{kEventLeftDown, 0, 5, 5, 0};
    mApp->NextEvent(&event);
    // The record is written even here, so the caller never sees its last event again.
    EXPECT_EQ(event.mType, kEventNothing);
    EXPECT_EQ(event.mX, 0);
    EXPECT_EQ(Recorded().mStatsToggles, 1);
}

TEST_F(HostedEventPumpTest, AltEnterInAHostWithoutItsPageChangesNothing)
{
    sys::PushKeyEvent(sys::VK_RETURN, true, sys::kModAlt);
    TPlatformEvent event{kEventKeyDown, 7, 0, 0, 0};
    mApp->NextEvent(&event);
    EXPECT_EQ(event.mType, kEventNothing);
    EXPECT_EQ(event.mParam, 0);
    EXPECT_FALSE(Recorded().mFullScreen);
}

TEST_F(EventPumpTest, ButtonsAndTheWheelAtTheCursorWithModifiers)
{
    sys::PushMouseMotion(30, 40);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventMouseMove);
    EXPECT_EQ(event.mX, 30);
    EXPECT_EQ(event.mY, 40);

    sys::PushMouseButton(1, true, 30, 40, sys::kModShift | sys::kModControl);
    event = Next();
    EXPECT_EQ(event.mType, kEventLeftDown);
    EXPECT_EQ(event.mParam2, kModifierShift | kModifierControl);
    EXPECT_EQ(sys::GetCapture(), mWindow);
    sys::PushMouseButton(1, false, 30, 40);
    event = Next();
    EXPECT_EQ(event.mType, kEventLeftUp);
    EXPECT_EQ(event.mX, 30);
    EXPECT_EQ(event.mParam2, 0);
    EXPECT_EQ(sys::GetCapture(), 0u);

    const struct
    {
        int button;
        bool down;
        int32_t code;
    } buttons[] = {{3, true, kButtonRightDown},  {3, false, kButtonRightUp},
                   {2, true, kButtonMiddleDown}, {2, false, kButtonMiddleUp},
                   {4, true, kButtonExtra1Down}, {5, true, kButtonExtra2Down}};
    for (const auto& b : buttons)
    {
        sys::PushMouseButton(b.button, b.down, 30, 40, sys::kModShift);
        event = Next();
        EXPECT_EQ(event.mType, kEventButton) << "button " << b.button;
        EXPECT_EQ(event.mParam, b.code) << "button " << b.button;
        EXPECT_EQ(event.mParam2, b.down ? kModifierShift : 0) << "button " << b.button;
        Drain();
    }

    sys::PushMouseWheel(1);
    event = Next();
    EXPECT_EQ(event.mType, kEventButton);
    EXPECT_EQ(event.mParam, kButtonWheelAway);
    sys::PushMouseWheel(-2);
    event = Next();
    EXPECT_EQ(event.mParam, kButtonWheelToward);
}

TEST_F(EventPumpTest, AnExtraButtonWithoutItsBitWritesNothing)
{
    sys::PostMessage(mWindow, sys::WM_XBUTTONDOWN, 0, sys::MakePointParam(3, 4));
    TPlatformEvent event{kEventLeftDown, 0, 3, 4, 1};
    mApp->NextEvent(&event);
    EXPECT_EQ(event.mType, kEventNothing);
    EXPECT_EQ(event.mX, 0);
    EXPECT_EQ(event.mParam2, 0);
}

TEST_F(EventPumpTest, CaptureLostToAnotherWindowButNotToTheMainOne)
{
    sys::PostMessage(mWindow, sys::WM_CAPTURECHANGED, 0, static_cast<sys::LParam>(mWindow));
    TPlatformEvent event{kEventLeftUp, 0, 9, 9, 0};
    mApp->NextEvent(&event);
    EXPECT_EQ(event.mType, kEventNothing);

    sys::PushMouseMotion(50, 60);
    Drain();
    sys::PostMessage(mWindow, sys::WM_CAPTURECHANGED, 0, 0x777);
    event = Next();
    EXPECT_EQ(event.mType, kEventMouseLost);
    EXPECT_EQ(event.mX, 0);
    EXPECT_EQ(event.mY, 0);
}

TEST_F(EventPumpTest, AnActivatingClickAndItsReleaseAreDropped)
{
    sys::PushWindowEvent(sys::WindowEventKind::FocusLost);
    Drain();
    sys::AdvanceManualClock(5000);
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    sys::PushMouseButton(1, true, 10, 10);
    sys::AdvanceManualClock(0);
    std::vector<TPlatformEvent> events = DrainEvents();
    // Only the activation changes come through, not the click.
    for (const TPlatformEvent& event : events)
        EXPECT_EQ(event.mType, kEventActivation);
    sys::AdvanceManualClock(150);
    sys::PushMouseButton(1, false, 10, 10);
    EXPECT_EQ(Next().mType, kEventNothing);
    EXPECT_FALSE(mImpl->mPump.mActivationClick);

    sys::AdvanceManualClock(300);
    sys::PushMouseButton(1, true, 12, 12);
    EXPECT_EQ(Next().mType, kEventLeftDown);
    sys::PushMouseButton(1, false, 12, 12);
    EXPECT_EQ(Next().mType, kEventLeftUp);
}

TEST_F(EventPumpTest, ButtonsPastTheFilterTimeAreDelivered)
{
    mImpl->mPump.mActivationClick = true;
    mImpl->mPump.mActivationTime = GetPlatformTime();
    sys::AdvanceManualClock(399);
    sys::PushMouseButton(3, true, 1, 1);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PushMouseWheel(1);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::AdvanceManualClock(1);
    sys::PushMouseButton(3, true, 1, 1);
    EXPECT_EQ(Next().mType, kEventButton);
}

TEST_F(EventPumpTest, TheWindowManagerCanExemptFromTheFilterOrBlockInput)
{
    mImpl->mPump.mActivationClick = true;
    mImpl->mPump.mActivationTime = GetPlatformTime();
    Recorded().mFilterExempt = true;
    sys::PushMouseButton(1, true, 1, 1);
    EXPECT_EQ(Next().mType, kEventLeftDown);
    Drain();

    Recorded().mInputBlocked = true;
    sys::PushMouseButton(1, false, 1, 1);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PushMouseWheel(-1);
    EXPECT_EQ(Next().mType, kEventNothing);
    sys::PushKeyEvent('K', true);
    EXPECT_EQ(Next().mType, kEventKeyDown);
}

TEST_F(HostedEventPumpTest, ClicksAreNotFilteredInAHost)
{
    sys::PushWindowEvent(sys::WindowEventKind::FocusLost);
    Drain();
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    sys::PushMouseButton(1, true, 10, 10);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().mType, kEventLeftDown);
    EXPECT_FALSE(mImpl->mPump.mActivationClick);
}

TEST_F(EventPumpTest, TwoActivationChangesBetweenCallsCancelOut)
{
    mImpl->SetWindowActive(false, true);
    mImpl->SetWindowActive(true, true);
    EXPECT_EQ(Next().mType, kEventTick);

    mImpl->SetWindowActive(false, true);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventActivation);
    EXPECT_EQ(event.mParam, 0);
    mImpl->SetWindowActive(true, false);
    event = Next();
    EXPECT_EQ(event.mType, kEventActivation);
    EXPECT_EQ(event.mParam, 1);
}

TEST_F(EventPumpTest, AnEmptyQueueTicksEveryCallAndWaitsOneMillisecond)
{
    int runs = 0;
    struct CountingTask : TTask
    {
        int* mRuns;
        explicit CountingTask(int* runs) : mRuns(runs) {}
        bool Ready(int kind) override { return kind == kTaskPassTime; }
        bool Run() override
        {
            ++*mRuns;
            return true;
        }
    };
    mApp->AddTask(new CountingTask(&runs));
    int notifications = Recorded().mNotifications;
    uint32_t start = sys::GetTimeMs();
    for (int i = 0; i < 20; ++i)
    {
        TPlatformEvent event = Next();
        EXPECT_EQ(event.mType, kEventTick);
        EXPECT_EQ(event.mParam, 0);
        EXPECT_EQ(event.mParam2, 0);
    }
    EXPECT_EQ(sys::GetTimeMs() - start, 20u);
    EXPECT_EQ(runs, 20);
    EXPECT_EQ(Recorded().mNotifications - notifications, 20);
}

// On the real clock, an empty queue waits until the window manager's next frame is due, not a
// millisecond: a still picture's 200 ms between frames leave the loop asleep. (Only the lower
// bound is measured: a busy machine makes the wait longer, never shorter.)
TEST_F(EventPumpTest, AnEmptyQueueSleepsUntilTheNextFrameIsDue)
{
    Recorded().mMsUntilNextFrame = 150;
    sys::SetManualClock(false);
    const uint32_t start = sys::GetTimeMs();
    EXPECT_EQ(Next().mType, kEventTick);
    const uint32_t slept = sys::GetTimeMs() - start;
    sys::SetManualClock(true, 100000);
    EXPECT_GE(slept, 140u);
}

TEST_F(EventPumpTest, TheFirstCallAnnouncesToTheHostOnce)
{
    ResetEventPumpState();
    mServices.mStates.clear();
    uint32_t start = sys::GetTimeMs();
    EXPECT_EQ(Next().mType, kEventTick);
    EXPECT_EQ(sys::GetTimeMs() - start, 501u);
    ASSERT_EQ(mServices.mStates.size(), 2u);
    EXPECT_EQ(mServices.mStates[0], std::make_pair(std::string("loadbroadcast"), std::string("0")));
    EXPECT_EQ(mServices.mStates[1], std::make_pair(std::string("sessionready"), std::string("0")));
    Next();
    EXPECT_EQ(mServices.mStates.size(), 2u);
}

TEST_F(EventPumpTest, NothingComesWhileTheHostPausesTheGame)
{
    mServices.mPauseCalls = 5;
    sys::PushKeyEvent('A', true);
    uint32_t start = sys::GetTimeMs();
    // The key is taken and dispatched during the pause; the call then goes on to the idle path.
    EXPECT_EQ(Next().mType, kEventTick);
    EXPECT_EQ(sys::GetTimeMs() - start, 5u + 1u);

    mServices.mPauseCalls = 3;
    mApp->PostQuit(0);
    EXPECT_EQ(Next().mType, kEventQuit);
}

TEST_F(EventPumpTest, InactiveFullScreenSleepsInsteadOfKeepingTheWindowInFront)
{
    Recorded().mFullScreen = true;
    mImpl->mPump.mInactiveFullScreen = true;
    uint32_t start = sys::GetTimeMs();
    EXPECT_EQ(Next().mType, kEventTick);
    EXPECT_EQ(sys::GetTimeMs() - start, 51u);
    Recorded().mFullScreen = false;
}

TEST_F(EventPumpTest, ACloseRequestStopsTheMovieAndGivesTheCloseEvent)
{
    Recorded().mHasScript = true;
    sys::PushWindowEvent(sys::WindowEventKind::Close);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].mType, kEventClose);
    EXPECT_EQ(Recorded().mMoviesStopped, 1);
    EXPECT_TRUE(sys::IsWindow(mWindow));

    // The system asking the program to end is a close request too.
    sys::PushQuitEvent();
    events = DrainEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].mType, kEventClose);
}

TEST_F(EventPumpTest, AQuitGivesTheQuitEvent)
{
    mApp->PostQuit(0);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventQuit);
    EXPECT_EQ(event.mParam, 0);
}

TEST_F(EventPumpTest, RepaintsAndModeChangesAreReported)
{
    sys::PushWindowEvent(sys::WindowEventKind::Exposed);
    std::vector<TPlatformEvent> events = DrainEvents();
    // The paint message itself, then the condition the window procedure recorded.
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mType, kEventRepaint);
    EXPECT_EQ(events[1].mType, kEventRepaint);
    EXPECT_GE(Recorded().mDirtyCount, 1);

    mImpl->mPump.mDisplayModeSet = true;
    EXPECT_EQ(Next().mType, kEventDisplayModeSet);
    EXPECT_EQ(Next().mType, kEventTick);
}

TEST_F(EventPumpTest, HoverAfterTheHoverTimeAndLeaveAtTheCursor)
{
    sys::PushMouseMotion(70, 80);
    EXPECT_EQ(Next().mType, kEventMouseMove);
    EXPECT_EQ(Next().mType, kEventTick);
    sys::AdvanceManualClock(sys::kHoverTimeMs);
    TPlatformEvent event = Next();
    EXPECT_EQ(event.mType, kEventHover);
    EXPECT_EQ(event.mX, 70);
    EXPECT_EQ(event.mY, 80);

    sys::PushWindowEvent(sys::WindowEventKind::Leave);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].mType, kEventMouseLost);
    EXPECT_EQ(events[0].mX, 70);
    EXPECT_EQ(events[0].mY, 80);
}

TEST_F(EventPumpTest, MinimisingAndRestoringChangeActivation)
{
    sys::PushWindowEvent(sys::WindowEventKind::Minimized);
    std::vector<TPlatformEvent> events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mType, kEventActivation);
    EXPECT_EQ(events[0].mParam, 0);
    EXPECT_EQ(events[1].mType, kEventActivation);
    EXPECT_EQ(events[1].mParam, 0);
    EXPECT_TRUE(mImpl->mPump.mInactiveFullScreen);

    sys::PushWindowEvent(sys::WindowEventKind::Restored);
    events = DrainEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].mParam, 1);
    EXPECT_EQ(events[1].mParam, 1);
    EXPECT_FALSE(mImpl->mPump.mInactiveFullScreen);
}

TEST_F(EventPumpTest, TheWindowIsDestroyedAtTeardown)
{
    sys::WindowHandle window = mWindow;
    delete mApp;
    mApp = nullptr;
    EXPECT_FALSE(sys::IsWindow(window));
    sys::Message message;
    ASSERT_TRUE(sys::PeekMessage(message, sys::WM_QUIT, sys::WM_QUIT));
    EXPECT_EQ(message.message, sys::WM_QUIT);
}

} // namespace
