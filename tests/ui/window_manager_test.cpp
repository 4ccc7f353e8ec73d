// The window manager on synthetic events: capture, overlays, focus, bubbling, the one "mouse:up",
// message delivery, the modal stack with its clocks and deferred deletion (a deleted screen's text
// runs released), cover sets, frame pacing; and, with a real application, quitting, relative mouse
// mode, inactive pacing and the root made on the first display-mode change.
#include "ui_test_support.h"

#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "render/text/text_layout.h"
#include "render/text/vector_rasteriser.h"
#include "render/vector_test_support.h"
#include "support/shell_fixture.h"
#include "sys/process/memory.h"
#include "sys/window/window.h"

#include <algorithm>
#include <functional>

namespace
{

using uitest::ManagerTest;
using uitest::ProbeWindow;

// Records every untargeted message; takes none unless told to.
class RecordingListener : public TMessageListener
{
public:
    RecordingListener(std::vector<std::string>* log, bool take = false) : mLog(log), mTake(take) {}
    bool OnMessage(TMessage* m) override
    {
        mLog->push_back("listener " + std::to_string(m->mType) + " " + m->mName.c_str());
        return mTake;
    }

private:
    std::vector<std::string>* mLog;
    bool mTake;
};

// Counts the drawing passes of its task list.
class DrawPassCounter : public TTask
{
public:
    explicit DrawPassCounter(int* count) : mCount(count) {}
    bool Ready(int kind) override { return kind == kTaskPassDraw; }
    bool Run() override
    {
        ++*mCount;
        return true;
    }

private:
    int* mCount;
};

using Log = std::vector<std::string>;

TEST_F(ManagerTest, CaptureTakesEveryMouseEventInItsOwnCoordinates)
{
    ProbeWindow* held = Add(mRoot, "held", {100, 100, 200, 200});
    Add(mRoot, "other", {300, 300, 400, 400}, {kEventLeftDown});
    mManager->SetCapture(held);
    mManager->SetCapture(held);
    Send(kEventLeftDown, 350, 350);
    Send(kEventMouseMove, 150, 120);
    EXPECT_EQ(mLog, (Log{"held leave", "held down 250,250", "held move 50,20"}));
    ASSERT_EQ(mManager->GetCaptures().size(), 1u);

    // Pushing a modal ends the capture with one leave.
    mLog.clear();
    mManager->PushModal(new TModalWindow());
    EXPECT_EQ(mLog, (Log{"held leave"}));
    EXPECT_TRUE(mManager->GetCaptures().empty());
}

TEST_F(ManagerTest, OverlaysSeeTheMouseOnlyWithOverlayMouse)
{
    auto* overlay = new ProbeWindow(&mLog, "overlay", {0, 0, 800, 600}, {kEventLeftDown});
    mManager->AddOverlayWindow(overlay);
    Add(mRoot, "under", {0, 0, 100, 100});
    Send(kEventLeftDown, 10, 10);
    SetConfig("overlaymouse", "1");
    Send(kEventLeftDown, 20, 20);
    EXPECT_EQ(mLog, (Log{"under down 10,10", "overlay down 20,20"}));
    EXPECT_EQ(mManager->GetHover(), overlay);
}

TEST_F(ManagerTest, PressFocusesNearestFocusableAncestorEvenWhenConsumed)
{
    ProbeWindow* panel = Add(mRoot, "panel", {100, 100, 300, 300});
    panel->AddFlagBits(kWindowFocusable);
    Add(panel, "button", {10, 10, 50, 50}, {kEventLeftDown});
    Send(kEventLeftDown, 120, 120);
    EXPECT_EQ(mLog, (Log{"button down 10,10", "panel focus from _screen_"}));
    EXPECT_EQ(mManager->GetFocus(), panel);
}

TEST_F(ManagerTest, UnconsumedClickFallsToSiblingBehindThenParent)
{
    ProbeWindow* parent = Add(mRoot, "parent", {0, 0, 400, 400});
    Add(parent, "back", {0, 0, 200, 200});
    Add(parent, "front", {50, 50, 150, 150});
    Add(parent, "away", {300, 300, 350, 350});
    Send(kEventLeftDown, 60, 60);
    EXPECT_EQ(mLog, (Log{"front down 10,10", "back down 60,60", "parent down 60,60"}));
}

TEST_F(ManagerTest, ExactlyOnePressAnyKeyPerUnconsumedRelease)
{
    mManager->AddMessageListener(new RecordingListener(&mLog));
    Add(mRoot, "taker", {200, 200, 300, 300}, {kEventLeftUp});
    for (const char* overlay : {"0", "1"})
    {
        SetConfig("overlaymouse", overlay);
        Send(kEventLeftUp, 10, 10);
        Send(kEventLeftUp, 250, 250);
    }
    Send(kEventKeyDown, 0, 0, 'A');
    EXPECT_EQ(mLog, (Log{"listener 4 mouse:up", "taker up 50,50", "listener 4 mouse:up",
                         "taker up 50,50"}));
    SetConfig("overlaymouse", "0");
    mLog.clear();
    Send(kEventKeyDown, 0, 0, 'A');
    EXPECT_EQ(mLog, (Log{"listener 4 raw:A"}));
}

TEST_F(ManagerTest, SendMessageClimbsToTheModalThenItsFocusWindow)
{
    auto* dialog = new TModalWindow();
    dialog->SetName("dialog");
    mManager->PushModal(dialog);
    ProbeWindow* inner = Add(dialog, "inner", {0, 0, 10, 10});
    ProbeWindow* leaf = Add(inner, "leaf", {0, 0, 5, 5});
    ProbeWindow* edit = Add(dialog, "edit", {20, 0, 30, 10});
    edit->TakeMessages(kGeneric);
    dialog->SetFocusWindow(edit);
    EXPECT_EQ(mManager->GetFocus(), edit);
    leaf->SendMessage(new TMessage(kGeneric, "hi"));
    EXPECT_EQ(mLog,
              (Log{"edit focus from dialog", "leaf msg 0 hi", "inner msg 0 hi", "edit msg 0 hi"}));
}

// Posts a follow-up for the first message it sees.
class ChainingListener : public TMessageListener
{
public:
    explicit ChainingListener(TWindowManager* m) : mManager(m) {}
    bool OnMessage(TMessage* m) override
    {
        if (m->mType == kUserMessageBase)
            mManager->PostMessage(new TMessage(kUserMessageBase + 1, "follow"));
        return false;
    }
    TWindowManager* mManager;
};

TEST_F(ManagerTest, MessagesPostedDuringDispatchArriveInTheSameCall)
{
    mManager->AddMessageListener(new ChainingListener(mManager.get()));
    mManager->AddMessageListener(new RecordingListener(&mLog));
    mManager->PostMessage(new TMessage(kUserMessageBase, "first"));
    mManager->DispatchMessages();
    EXPECT_EQ(mLog, (Log{"listener 1000 first", "listener 1001 follow"}));
    EXPECT_EQ(mManager->GetQueuedCount(), 0u);
}

TEST_F(ManagerTest, DeletedTargetMakesAMessageUntargeted)
{
    ProbeWindow* doomed = Add(mRoot, "doomed", {0, 0, 10, 10});
    ProbeWindow* child = Add(doomed, "child", {0, 0, 5, 5});
    mManager->AddMessageListener(new RecordingListener(&mLog, true));
    mManager->PostMessage(new TMessage(kUserMessageBase, "to doomed", doomed));
    mManager->PostMessage(new TMessage(kUserMessageBase, "to child", child));
    mRoot->RemoveChild(doomed);
    mManager->ScheduleDelete(doomed);
    mManager->ScheduleDelete(doomed);
    Send(kEventRepaint);
    EXPECT_EQ(mLog, (Log{"listener 1000 to doomed", "listener 1000 to child"}));
}

TEST_F(ManagerTest, ModalStackClocksPopsAndDeferredDeletion)
{
    ProbeWindow* ticking = Add(mRoot, "ticking", {0, 0, 10, 10});
    ticking->SetAnimTiming(10, true, true, false);
    mManager->AddMessageListener(new RecordingListener(&mLog));
    std::vector<TModalWindow*> dialogs;
    for (const char* name : {"A", "B", "C"})
    {
        auto* d = new TModalWindow();
        d->SetName(name);
        mManager->PushModal(d);
        dialogs.push_back(d);
    }
    EXPECT_EQ(dialogs[1]->GetParent(), dialogs[0]);
    EXPECT_EQ(dialogs[2]->GetRect(), TRect(0, 0, 800, 600));
    EXPECT_TRUE(mRoot->GetClock().IsPaused());
    EXPECT_TRUE(dialogs[1]->GetClock().IsPaused());
    // The covered screen's animation does not advance while its clock is stopped.
    sys::AdvanceManualClock(50);
    mRoot->RunTasks(kTaskPassTime);
    EXPECT_TRUE(mLog.empty());

    std::vector<std::string> ids;
    for (TModalWindow* d : dialogs)
        ids.push_back(d->GetIdString().c_str());
    mManager->DoPopModal("no such window");
    EXPECT_EQ(mManager->GetTopModal(), dialogs[2]);
    mManager->DoPopModal(ids[0].c_str());
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
    EXPECT_FALSE(mRoot->GetClock().IsPaused());
    // Popped windows live until the next event, which deletes them and announces each.
    EXPECT_EQ(dialogs[2]->GetName(), TString("C"));
    Send(kEventTick);
    sys::AdvanceManualClock(10);
    Send(kEventTick);
    EXPECT_EQ(mLog, (Log{"listener 6 " + ids[2], "listener 6 " + ids[1], "listener 6 " + ids[0],
                         "ticking animate"}));
    EXPECT_EQ(ids[0].size(), 8u);

    mManager->DoPopModal("A");
    EXPECT_EQ(mManager->GetTopModal(), mRoot);
}

// The text runs cached while a screen was up go with it once it is deleted: a game played again
// and again would otherwise hold more of them at each menu.
TEST_F(ManagerTest, AClosedScreenTakesTheCachedTextRunsAlong)
{
    TQmMiniVecDraw draw(nullptr);
    SetTextRasteriser(&draw);
    const std::vector<uint8_t> glyph =
        vectest::Outline().Group().Left(1).Rect(0, 0, 4, 4).End().Bytes();
    draw.SetScale(4, 4);
    draw.BeginDraw(0, 0, nullptr);
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.Flush();
    mManager->PushModal(new TModalWindow());
    mManager->PopModal();
    EXPECT_EQ(draw.GetCacheBlockCount(), 1) << "kept until the screen is deleted";
    Send(kEventTick);
    EXPECT_EQ(draw.GetCacheBlockCount(), 0);
    SetTextRasteriser(nullptr);
}

// The pictures of a closed screen go with it, and the heap's free pages are handed back then,
// without the frame waiting for them; no other deletion asks for that.
TEST_F(ManagerTest, AClosedScreenGivesTheHeapsFreePagesBack)
{
    const uint64_t before = sys::CountFreedMemoryGiveBacks();
    auto* dialog = new TModalWindow();
    mManager->PushModal(dialog);
    ProbeWindow* child = Add(dialog, "child", {0, 0, 10, 10});
    dialog->RemoveChild(child);
    mManager->ScheduleDelete(child);
    Send(kEventTick);
    EXPECT_EQ(sys::CountFreedMemoryGiveBacks(), before);
    mManager->PopModal();
    EXPECT_EQ(sys::CountFreedMemoryGiveBacks(), before) << "not before the screen is deleted";
    Send(kEventTick);
    EXPECT_EQ(sys::CountFreedMemoryGiveBacks(), before + 1);
    Send(kEventTick);
    EXPECT_EQ(sys::CountFreedMemoryGiveBacks(), before + 1);
    sys::WaitForFreedMemoryGivenBack();
}

TEST_F(ManagerTest, PoppedRootIsForgottenAndEmptyStackPopsNothing)
{
    mManager->DoPopModal("_screen_");
    EXPECT_EQ(mManager->GetTopModal(), nullptr);
    mManager->PopModal();
    Send(kEventTick);
    EXPECT_EQ(mManager->GetRoot(), nullptr);
    EXPECT_FALSE(mManager->HasRoot());
    Send(kEventLeftDown, 5, 5);
    // Cover tests against a missing root find nothing to cover.
    TModalWindow loose;
    Add(&loose, "inside", {0, 0, 1, 1})->SetSize(0, 0);
}

TEST_F(ManagerTest, CoverSetsSizeAgainstRootFlagsAgainstModal)
{
    auto* dialog = new TModalWindow();
    dialog->SetSize(400, 300);
    mManager->PushModal(dialog);
    ProbeWindow* back = Add(dialog, "back", {0, 0, 400, 300});
    back->SetFlags(kWindowVisible | kWindowCovers);
    EXPECT_TRUE(dialog->IsInCoverSet(back));
    EXPECT_NE(dialog->GetFlags() & kWindowCovers, 0u);
    EXPECT_FALSE(mRoot->IsInCoverSet(dialog));
    back->SetSize(400, 300);
    EXPECT_FALSE(dialog->IsInCoverSet(back));
    EXPECT_EQ(dialog->GetFlags() & kWindowCovers, 0u);
    back->SetSize(800, 600);
    EXPECT_TRUE(dialog->IsInCoverSet(back));
    dialog->SetSize(800, 600);
    dialog->SetFlags(dialog->GetFlags());
    EXPECT_TRUE(mRoot->IsInCoverSet(dialog));
    dialog->RemoveChild(back);
    EXPECT_FALSE(dialog->IsInCoverSet(back));
    delete back;
    EXPECT_FALSE(mRoot->IsInCoverSet(dialog));
}

TEST_F(ManagerTest, FramesArePacedTwelveMillisecondsApart)
{
    int passes = 0;
    mRoot->AddTask(new DrawPassCounter(&passes));
    Send(kEventRepaint);
    sys::AdvanceManualClock(5);
    Send(kEventRepaint);
    EXPECT_EQ(passes, 1);
    sys::AdvanceManualClock(7);
    Send(kEventTick);
    EXPECT_EQ(passes, 2);
    mManager->SetDrawingSuspended(true);
    sys::AdvanceManualClock(100);
    Send(kEventRepaint);
    EXPECT_EQ(passes, 2);
}

// A picture the window keeps showing slows the frames: after 8 unchanged frames they come 50 ms
// apart, after 24 as far apart as an inactive window's, 200 ms, never farther (a change that comes
// without input, a timer or a sound's end, shows within that); the loop is told how long it may
// sleep until the next frame is due; the player's input brings the usual 12 ms back at once.
TEST_F(ManagerTest, AStillPictureSlowsTheFramesToTwoHundredMillisecondsAtMost)
{
    int passes = 0;
    mRoot->AddTask(new DrawPassCounter(&passes));
    sys::detail::NoteFrameShown(true);
    Send(kEventTick);
    ASSERT_EQ(passes, 1);
    EXPECT_EQ(mManager->GetMsUntilNextFrame(), 12u);
    const struct
    {
        uint32_t unchanged;
        uint32_t interval;
    } paces[] = {{7, 12}, {8, 50}, {23, 50}, {24, 200}, {1000, 200}};
    uint32_t run = 0;
    for (const auto& pace : paces)
    {
        SCOPED_TRACE(pace.unchanged);
        for (; run < pace.unchanged; ++run)
            sys::detail::NoteFrameShown(false);
        EXPECT_EQ(mManager->GetMsUntilNextFrame(), pace.interval);
        sys::AdvanceManualClock(pace.interval - 1);
        EXPECT_EQ(mManager->GetMsUntilNextFrame(), 1u);
        const int before = passes;
        Send(kEventTick);
        EXPECT_EQ(passes, before) << "a frame before it was due";
        sys::AdvanceManualClock(1);
        EXPECT_EQ(mManager->GetMsUntilNextFrame(), 0u);
        Send(kEventTick);
        EXPECT_EQ(passes, before + 1) << "no frame when due";
    }
    // Input brings the next frame 12 ms after the last.
    Send(kEventMouseMove, 5, 5);
    EXPECT_EQ(mManager->GetMsUntilNextFrame(), 12u);
    sys::AdvanceManualClock(12);
    Send(kEventTick);
    EXPECT_EQ(passes, 7);
    sys::detail::NoteFrameShown(true);
}

// Opens a screen, or closes its own, when its click is released, as a screen's button does.
class ScreenButton : public ProbeWindow
{
public:
    ScreenButton(std::vector<std::string>* log, const char* name, std::function<void()> action)
        : ProbeWindow(log, name, {0, 0, 100, 100}), mAction(std::move(action))
    {
    }
    bool OnMouseUp(TPoint p) override
    {
        ProbeWindow::OnMouseUp(p);
        mAction();
        return true;
    }

private:
    std::function<void()> mAction;
};

// A click belongs to the screen it was pressed on: a double or triple click on a button that
// opens a screen, or closes one, does what one click does, whatever button lies under the pointer
// on the screen that shows next; a press there once a double-click time has passed, or at once
// elsewhere, is its own; a button pressed twice on one screen is pressed twice; a release after
// another screen opened over its press is nobody's.
TEST_F(ManagerTest, AClickBelongsToTheScreenItWasPressedOn)
{
    auto click = [&](int times)
    {
        for (int i = 0; i < times; ++i)
        {
            Send(kEventLeftDown, 50, 50);
            sys::AdvanceManualClock(40);
            Send(kEventLeftUp, 50, 50);
            sys::AdvanceManualClock(80);
        }
        sys::AdvanceManualClock(1000);
        Send(kEventTick);
    };
    mRoot->AddChild(
        new ScreenButton(&mLog, "options",
                         [&]
                         {
                             auto* screen = new TModalWindow();
                             screen->AddChild(
                                 new ScreenButton(&mLog, "ok", [&] { mManager->PopModal(); }),
                                 false);
                             mManager->PushModal(screen);
                         }),
        false);
    for (int times : {1, 2, 3})
    {
        mLog.clear();
        click(times);
        EXPECT_EQ(mManager->GetModals().size(), 2u) << times << " clicks";
        click(times);
        EXPECT_EQ(mManager->GetModals().size(), 1u) << times << " clicks";
        EXPECT_EQ(mLog,
                  (Log{"options down 50,50", "options up 50,50", "ok down 50,50", "ok up 50,50"}))
            << times << " clicks";
    }
    // A press elsewhere is no double click's second half: the new screen takes it at once.
    mLog.clear();
    for (const int at : {50, 80})
    {
        Send(kEventLeftDown, at, at);
        Send(kEventLeftUp, at, at);
    }
    EXPECT_EQ(mLog,
              (Log{"options down 50,50", "options up 50,50", "ok down 80,80", "ok up 80,80"}));
    mRoot->AddChild(new ProbeWindow(&mLog, "twice", {200, 0, 300, 100}), false);
    mLog.clear();
    for (int i = 0; i < 2; ++i)
    {
        Send(kEventLeftDown, 250, 50);
        Send(kEventLeftUp, 250, 50);
    }
    EXPECT_EQ(mLog,
              (Log{"twice down 50,50", "twice up 50,50", "twice down 50,50", "twice up 50,50"}));
    // A screen opened by no click between a press and its release: the release reaches neither.
    sys::AdvanceManualClock(1000);
    mLog.clear();
    Send(kEventLeftDown, 50, 50);
    auto* cover = new TModalWindow();
    cover->AddChild(new ProbeWindow(&mLog, "cover", {0, 0, 100, 100}), false);
    mManager->PushModal(cover);
    Send(kEventLeftUp, 50, 50);
    EXPECT_EQ(mLog, (Log{"options down 50,50"}));
    EXPECT_EQ(mManager->GetModals().size(), 2u);
    mManager->PopModal();
}

// Presses a little quicker than a double click at one point, each screen opening the next as the
// title and the splash do: only the second press of one double click is refused (measured from
// the press taken), so every third press reaches the screen shown.
TEST_F(ManagerTest, PressesQuickerThanADoubleClickReachEveryScreen)
{
    std::function<void()> open = [&]
    {
        auto* screen = new TModalWindow();
        screen->AddChild(new ScreenButton(&mLog, "next", open), false);
        mManager->PushModal(screen);
    };
    mRoot->AddChild(new ScreenButton(&mLog, "first", open), false);
    for (int press = 0; press < 7; ++press)
    {
        Send(kEventLeftDown, 50, 50);
        sys::AdvanceManualClock(40);
        Send(kEventLeftUp, 50, 50);
        sys::AdvanceManualClock(104);
    }
    EXPECT_EQ(mManager->GetModals().size(), 4u);
    EXPECT_EQ(std::count(mLog.begin(), mLog.end(), "next up 50,50"), 2);
}

// Lets go of the pointer when it leaves, as a button does.
class HoverProbe : public ProbeWindow
{
public:
    using ProbeWindow::ProbeWindow;
    bool OnMouseMove(TPoint p) override
    {
        GetWindowManager()->SetCapture(this);
        return ProbeWindow::OnMouseMove(p);
    }
    bool OnMouseLeave() override
    {
        GetWindowManager()->ReleaseCapture(this);
        return ProbeWindow::OnMouseLeave();
    }
};

// A press that comes with no move to its point is the window's under that point, not the one
// that held the pointer last.
TEST_F(ManagerTest, APressAwayFromTheHoveredWindowReachesTheOneUnderIt)
{
    mRoot->AddChild(new HoverProbe(&mLog, "hovered", {0, 0, 100, 100}), false);
    Add(mRoot, "other", {200, 0, 300, 100}, {kEventLeftDown});
    Send(kEventMouseMove, 50, 50);
    ASSERT_EQ(mManager->GetCaptures().size(), 1u);
    Send(kEventLeftDown, 250, 50);
    EXPECT_EQ(mLog, (Log{"hovered move 50,50", "hovered leave", "other down 50,50"}));
}

// A real application whose window manager is the toolkit's.
class AppManagerTest : public shelltest::ShellTest
{
protected:
    void SetUp() override
    {
        shelltest::ShellTest::SetUp();
        // Replace the recording stand-in by the toolkit's manager for this application.
        SetWindowManagerFactory(&CreateWindowManager);
        mImpl->mManagers.mWindowManager = CreateWindowManagerFromSeam();
        mApp->SetDisplayMode(640, 480, false);
        mManager = GetWindowManager();
        ASSERT_NE(mManager, nullptr);
        ASSERT_EQ(mApp->GetWindowManager(), mManager);
        gSwallowNextChar = false;
    }

    void Pump(int events)
    {
        for (int i = 0; i < events; ++i)
            mManager->HandleEvent(Next());
    }

    TWindowManager* mManager = nullptr;
    std::vector<std::string> mLog;
};

TEST_F(AppManagerTest, RootQuitAndRelativeMouse)
{
    TModalWindow* root = mManager->GetTopModal();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->GetName(), TString("_screen_"));
    EXPECT_EQ(root->GetRect(), TRect(0, 0, 640, 480));
    EXPECT_FALSE(mManager->IsFilterExempt());
    EXPECT_FALSE(mManager->IsInputBlocked());

    auto* probe = new ProbeWindow(&mLog, "probe", {0, 0, 640, 480});
    root->AddChild(probe, false);
    mImpl->mCursor.mMouseMode = 1;
    mManager->HandleEvent(uitest::MakeEvent(kEventMouseMove, 5, 5));
    mImpl->mCursor.mMouseMode = 0;
    mManager->HandleEvent(uitest::MakeEvent(kEventMouseMove, 6, 6));
    EXPECT_EQ(mLog, (Log{"probe move 6,6"}));

    mManager->PostMessage(new TMessage(kQuitNow, "", probe));
    mManager->DispatchMessages();
    bool quit = false;
    for (int i = 0; i < 20 && !quit; ++i)
        quit = Next().mType == kEventQuit;
    EXPECT_TRUE(quit);
}

TEST_F(AppManagerTest, InactiveFramesComeEveryTwoHundredMilliseconds)
{
    int passes = 0;
    mManager->GetTopModal()->AddTask(new DrawPassCounter(&passes));
    sys::PushWindowEvent(sys::WindowEventKind::FocusLost);
    Drain();
    ASSERT_FALSE(mApp->IsActive());
    mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
    sys::AdvanceManualClock(199);
    mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
    EXPECT_EQ(passes, 1);
    sys::AdvanceManualClock(1);
    mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
    EXPECT_EQ(passes, 2);
    mImpl->mKeepFramePacing = true;
    sys::AdvanceManualClock(12);
    mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
    EXPECT_EQ(passes, 3);
    mImpl->mKeepFramePacing = false;
    mImpl->mCommandLine = TCommandLine("--multiple -pq=1");
    sys::AdvanceManualClock(12);
    mManager->HandleEvent(uitest::MakeEvent(kEventRepaint));
    EXPECT_EQ(passes, 4);
}

TEST_F(AppManagerTest, HotKeyCharacterFromThePumpIsSwallowedOnce)
{
    TModalWindow* root = mManager->GetTopModal();
    auto* probe = new ProbeWindow(&mLog, "probe", {0, 0, 10, 10});
    root->AddChild(probe, false);
    mManager->SetFocus(probe);
    mLog.clear();
    root->RegisterHotKey("ctrl-s", "save");
    sys::PushKeyEvent('S', true, sys::kModControl);
    for (const TPlatformEvent& e : DrainEvents())
        mManager->HandleEvent(e);
    sys::PushKeyEvent('D', true, sys::kModControl);
    for (const TPlatformEvent& e : DrainEvents())
        mManager->HandleEvent(e);
    // The bound key's control character is dropped; the next key's arrives.
    EXPECT_EQ(mLog, (Log{"probe key 83/2", "probe key 68/2", "probe msg 4 raw:D", "probe char 4"}));
    EXPECT_FALSE(gSwallowNextChar);
}

} // namespace
