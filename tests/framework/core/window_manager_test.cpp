// The frame driver: the frame clock's first step, idle clients, one pause and one resume per
// loss of the foreground with the transforms' clocks shifted, "GetFocus".
#include "framework/core/window_manager.h"

#include "framework/sound/audio_manager.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_target.h"
#include "ui/ui_test_support.h"
#include "framework/framework_test_support.h"
#include "framework/screen_test_support.h"
#include "platform/config/prefs.h"
#include "render/renderer/draw_spec.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "sys/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace
{
bool gActive = true;

struct CountingClient : SingletonBase
{
    void Update() override { ++mUpdates; }
    int mUpdates = 0;
};

class FrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys::SetManualClock(true, 5000);
        gActive = true;
        WindowManager::SetActiveSource([] { return gActive; });
    }
    void TearDown() override
    {
        WindowManager::SetActiveSource(nullptr);
        sys::SetManualClock(false);
    }
    // Advances the platform clock and runs the driver as the idle list would.
    void Tick(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
    }
    fwtest::LogCapture mLog;
    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames = std::make_unique<WindowManager>();
};

TEST_F(FrameTest, TheFirstFrameKeepsTheStepAndLaterOnesMeasureIt)
{
    EXPECT_EQ(mFrames->GetPeriod(), 16u);
    Tick(16);
    uint32_t first = mClock.GetFrameTime();
    EXPECT_EQ(mClock.GetStep(), 0u);
    Tick(20);
    EXPECT_EQ(mClock.GetStep(), 20u);
    EXPECT_EQ(mClock.GetFrameTime(), first + 20);
}

TEST_F(FrameTest, IdleClientsAreSkipped)
{
    CountingClient busy;
    CountingClient idle;
    mFrames->AddClient(&busy, false);
    mFrames->AddClient(&idle, true);
    mFrames->SetTaskIdle(&mTransforms, false); // no record: nothing happens
    Tick(16);
    Tick(16);
    EXPECT_EQ(busy.mUpdates, 2);
    EXPECT_EQ(idle.mUpdates, 0);
    mFrames->SetTaskIdle(&idle, false);
    Tick(16);
    EXPECT_EQ(idle.mUpdates, 1);
}

TEST_F(FrameTest, BackgroundPausesOnceAndResumesWhereItStopped)
{
    CountingClient client;
    mFrames->AddClient(&mTransforms, true);
    mFrames->AddClient(&client, false);
    TDrawSpec spec;
    TM_Transform2D target(&spec);
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(1000, 0, 1, 0, 1.0f));
    mTransforms.AddTransform(&target, list);
    Tick(16); // the list starts
    Tick(500);
    EXPECT_FLOAT_EQ(spec.mAlpha, 0.5f);
    EXPECT_TRUE(mFrames->GetFocus());

    AudioManager audio; // without a table: nothing to play, but paused and resumed all the same
    gActive = false;
    Tick(16);
    Tick(5000);
    EXPECT_EQ(audio.GetState(), AudioManager::kIdle);
    EXPECT_TRUE(mFrames->IsPausedInactive());
    EXPECT_FALSE(mFrames->GetFocus());
    EXPECT_TRUE(mTransforms.IsSuspended());
    EXPECT_EQ(client.mUpdates, 2);      // no client while inactive
    EXPECT_EQ(mClock.GetStep(), 5000u); // the clock still advances

    gActive = true;
    Tick(16);
    EXPECT_TRUE(mFrames->GetFocus());
    EXPECT_EQ(client.mUpdates, 3);
    // The pause was taken at the first background frame (16 ms after 0.5): the clock resumes
    // from there.
    EXPECT_FLOAT_EQ(spec.mAlpha, 0.484f);
}

TEST_F(FrameTest, GetFocusIsBoundWhileTheDriverLives)
{
    static TScript* script = nullptr;
    TScript owned;
    script = &owned;
    SetWindowScriptSource([] { return script; });
    mFrames.reset();
    mFrames = std::make_unique<WindowManager>();
    owned.DoLuaString("if GetFocus() then focused = 'true' else focused = 'false' end");
    EXPECT_EQ(std::string(owned.GetGlobalString("focused").c_str()), "true");
    gActive = false;
    Tick(16);
    owned.DoLuaString("if GetFocus() then unfocused = 'true' else unfocused = 'false' end");
    EXPECT_EQ(std::string(owned.GetGlobalString("unfocused").c_str()), "false");
    mFrames.reset();
    owned.DoLuaString("if GetFocus == nil then gone = 'nil' end");
    EXPECT_EQ(std::string(owned.GetGlobalString("gone").c_str()), "nil");
    SetWindowScriptSource(nullptr);
}
} // namespace

namespace
{
// A modal window that records its own Animate, which the driver must never call.
class ProbeModal : public TModalWindow
{
public:
    explicit ProbeModal(std::vector<std::string>* log) : mLog(log) { SetName("dialog"); }
    bool Animate() override
    {
        mLog->push_back("dialog animate");
        return true;
    }

private:
    std::vector<std::string>* mLog;
};

// Keeps the types of the messages that reach the broadcast listeners.
class TypeListener : public TMessageListener
{
public:
    explicit TypeListener(std::vector<int>* types) : mTypes(types) {}
    bool OnMessage(TMessage* message) override
    {
        mTypes->push_back(message->mType);
        return true;
    }

private:
    std::vector<int>* mTypes;
};

class FrameWindowsTest : public FrameTest
{
protected:
    void SetUp() override
    {
        FrameTest::SetUp();
        mWindows = std::make_unique<TWindowManager>();
        mWindows->CreateRoot(800, 600);
        mWindows->DispatchMessages();
        mWindows->AddMessageListener(new TypeListener(&mTypes));
        mDialog = new ProbeModal(&mSteps);
        mWindows->PushModal(mDialog);
    }
    void TearDown() override
    {
        mFrames.reset();
        mWindows.reset();
        FrameTest::TearDown();
    }
    uitest::ProbeWindow* Add(TWindow* parent, const char* name)
    {
        auto* window = new uitest::ProbeWindow(&mSteps, name, {0, 0, 10, 10});
        parent->AddChild(window, false);
        return window;
    }
    // Runs one frame and delivers what it posted.
    void Frame()
    {
        Tick(16);
        mWindows->DispatchMessages();
    }

    std::unique_ptr<TWindowManager> mWindows;
    ProbeModal* mDialog = nullptr;
    std::vector<std::string> mSteps;
    std::vector<int> mTypes;
};

TEST_F(FrameWindowsTest, TheTopModalsTreeAnimatesParentFirstOnlyInTheForeground)
{
    Add(mWindows->GetRoot(), "under"); // beneath the top modal: not stepped
    uitest::ProbeWindow* first = Add(mDialog, "first");
    Add(first, "leaf");
    Add(mDialog, "second"); // most recently added: stepped first
    Frame();
    using Log = std::vector<std::string>;
    EXPECT_EQ(mSteps, (Log{"second animate", "first animate", "leaf animate"}));
    EXPECT_TRUE(mTypes.empty());

    mSteps.clear();
    gActive = false;
    Frame();
    Frame();
    Frame();
    EXPECT_TRUE(mSteps.empty());
    EXPECT_EQ(mTypes, (std::vector<int>{1001}));
    gActive = true;
    Frame();
    Frame();
    EXPECT_EQ(mTypes, (std::vector<int>{1001, 1002}));
    EXPECT_EQ(mSteps.size(), 6u);
    gActive = false;
    Frame();
    EXPECT_EQ(mTypes, (std::vector<int>{1001, 1002, 1001}));
}

// A screen whose texture refresh fails a given number of times.
class RefreshingScreen : public GameWindow
{
public:
    RefreshingScreen(const char* name, std::vector<std::string>* log, int failures)
        : mLog(log), mFailures(failures)
    {
        SetName(name);
    }
    bool Refresh() override
    {
        mLog->push_back(GetName().c_str());
        return mFailures-- <= 0;
    }

private:
    std::vector<std::string>* mLog;
    int mFailures;
};

TEST_F(FrameWindowsTest, OnlyGameWindowsRefreshAndAFailureIsRetriedEachFrame)
{
    std::vector<std::string> refreshed;
    TWindow* outer = Add(mWindows->GetRoot(), "outer");
    outer->AddChild(new RefreshingScreen("bad", &refreshed, 2), false);
    mDialog->AddChild(new RefreshingScreen("good", &refreshed, 0), false);
    Frame(); // nothing pending: nothing refreshed
    EXPECT_TRUE(refreshed.empty());
    mFrames->SetTexturesPending();
    Frame();
    Frame();
    Frame();
    Frame();
    const std::string line = "ERROR:bad is failing!   FILE:windowmanager LINE:27";
    std::string text = mLog.Text();
    int reports = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++reports;
    EXPECT_EQ(reports, 2);
    EXPECT_FALSE(mFrames->AreTexturesPending());
    // Every game window under the root, the top modal's included, each attempt.
    EXPECT_EQ(refreshed, (std::vector<std::string>{"bad", "good", "bad", "good", "bad", "good"}));
}

// The frame hands the savers' news over: a save asked for while another is on its way is made at
// the next frame, not left for the next request or the close.
class FrameSavesTest : public screentest::ScreenTest
{
protected:
    // Until the saver has written `count` versions; false when it has not within a bound that only
    // a stopped machine reaches.
    bool WrittenReaches(uint32_t count) const
    {
        const TPrefs* prefs = mSettings->GetPrefs();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (prefs->GetVersionsWritten() < count)
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
};

TEST_F(FrameSavesTest, ASaveAskedWhileAnotherIsOnItsWayIsMadeAtTheNextFrame)
{
    mSettings->SetBackgroundSaves(true);
    TPrefs* prefs = mSettings->GetPrefs();
    const uint32_t before = prefs->GetVersionsWritten();
    prefs->SetInt("musiclevel", 100, -1, true);
    prefs->SetInt("musiclevel", 200, -1, true);
    ASSERT_TRUE(WrittenReaches(before + 1));
    Frame(16);
    EXPECT_TRUE(WrittenReaches(before + 2)) << "the second save waits for a request or the close";
    mSettings->WaitForSaves();
    EXPECT_EQ(prefs->GetVersionsWritten(), before + 2);
    ClearPathMap();
    EXPECT_EQ(TPrefs(false).GetInt("musiclevel", 0), 200);
    mSettings->SetBackgroundSaves(false);
}
} // namespace
