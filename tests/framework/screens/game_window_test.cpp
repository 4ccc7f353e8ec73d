// The screen base class made by screen scripts: fade-out and its close script, "popchildren",
// "FadeOut" bound while its window lives, the scrim search, pausing under a covering modal, the
// music's ramps, particle systems handed on at a pop, messages handled once per window.
#include "framework/screens/game_window.h"

#include "ui/ui_display_support.h"
#include "ui/ui_test_support.h"
#include "framework/audio_test_support.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/particle_functions.h"
#include "framework/widgets/slider.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "particles/lua_particle_system.h"
#include "render/render_test_support.h"
#include "render/sprites/sprite.h"
#include "render/sprite_test_support.h"
#include "script/script.h"
#include "ui/window_script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace game_window_test
{
namespace
{

// A widget the enabler reaches through the button seam.
class FakeButton : public TWindow
{
public:
    static TWindow* Create() { return new FakeButton; }
    static TClassId GetClassId() { return reinterpret_cast<TClassId>(&FakeButton::Create); }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    static void Enable(TWindow* window, bool enable)
    {
        if (window->IsKindOf(GetClassId()))
            static_cast<FakeButton*>(window)->mEnabled = enable;
    }
    bool mEnabled = true;
};

// Counts the pause messages that reach it.
class CountingScreen : public GameWindow
{
public:
    static TWindow* Create() { return new CountingScreen; }
    bool OnMessage(TMessage* message) override
    {
        if (message->mType == WindowManager::kPausedInactiveMessage)
            ++mPauses;
        return false;
    }
    int mPauses = 0;
};

class GameWindowTest : public fwtest::AudioTest
{
protected:
    void SetUp() override
    {
        AudioTest::SetUp();
        WindowManager::SetActiveSource([] { return true; });
        GameWindow::UIEnabler::SetButtonEnabler(&FakeButton::Enable);
        mWindows = std::make_unique<TWindowManager>();
        mWindows->CreateRoot(800, 600);
        mWindows->CreateScript();
        mWindows->RegisterWindowType("GameWindow", &GameWindow::Create);
        mWindows->RegisterWindowType("CountingScreen", &CountingScreen::Create);
        mWindows->RegisterWindowType("Button", &FakeButton::Create);
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
        mWindows->DispatchMessages();
    }
    void TearDown() override
    {
        mWindows.reset();
        mFrames.reset();
        GameWindow::UIEnabler::SetButtonEnabler(nullptr);
        WindowManager::SetActiveSource(nullptr);
        AudioTest::TearDown();
    }
    void StartAudio(const std::string& table, std::vector<uint32_t> lengths)
    {
        Start(table, std::move(lengths));
        mFrames->AddClient(mAudio.get(), true);
    }
    void Run(const std::string& code) { mWindows->GetScript()->DoLuaString(code.c_str()); }
    std::string Global(const char* name)
    {
        return mWindows->GetScript()->GetGlobalString(name).c_str();
    }
    // A framework frame ms after the last one, then a tick of the window manager (deletions,
    // messages).
    void Frame(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        mWindows->HandleEvent(uitest::MakeEvent(kEventTick));
    }
    // A modal window holding a window made by the description; the window of that name.
    template <class T = GameWindow> T* Push(const std::string& modal, const std::string& window)
    {
        Run("PushModal('" + modal + "') " + window + "()");
        return Find<T>(mWindows->GetTopModal(), "gamewindow");
    }
    template <class T = GameWindow> T* Find(TWindow* under, const char* name)
    {
        TWindow* window = under->FindChild(name, 0xFFFFFFFFu);
        return window != nullptr && window->IsKindOf(GameWindow::GetClassId())
                   ? static_cast<T*>(window)
                   : nullptr;
    }

    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames;
    std::unique_ptr<TWindowManager> mWindows;
};

TEST_F(GameWindowTest, FadeOutTwiceRunsOneFadeAndTheSecondScriptAfterPoppingTheChildren)
{
    GameWindow* screen = Push("first", "GameWindow{ name = 'gamewindow', fade = true, skipintro = "
                                       "true, popchildren = true, fadetime = 100, "
                                       "Button{ name = 'b' } }");
    ASSERT_NE(screen, nullptr);
    EXPECT_STREQ(screen->GetClassName(), "GameWindow");
    auto* button = static_cast<FakeButton*>(screen->FindChild("b", 1));
    EXPECT_EQ(screen->GetState(), GameWindow::kIdle);
    EXPECT_TRUE(button->mEnabled);

    Run("FadeOut('n = (n or 0) + 10') FadeOut('n = (n or 0) + 1')");
    EXPECT_EQ(screen->GetState(), GameWindow::kFadingOut);
    EXPECT_EQ(mTransforms.GetGroupCount(), 1u);
    EXPECT_FALSE(button->mEnabled);
    Frame(16);
    Frame(100); // the fade ends after the windows' step
    EXPECT_EQ(screen->GetState(), GameWindow::kClosePending);
    EXPECT_FLOAT_EQ(screen->GetAlpha(), 1.0f);
    Frame(16); // the children go first
    EXPECT_EQ(screen->FindChild("b", 1), nullptr);
    EXPECT_EQ(Global("n"), "");
    Frame(16);
    EXPECT_EQ(Global("n"), "1");
    Frame(16);
    EXPECT_EQ(Global("n"), "1");
}

TEST_F(GameWindowTest, TheEnablerReachesFrameworkButtonsAndSlidersAtAnyDepth)
{
    GameWindow::UIEnabler::SetButtonEnabler(nullptr);
    GameWindow screen;
    auto* panel = new TWindow;
    auto* button = new TVButton;
    auto* slider = new Slider;
    screen.AddChild(panel, false);
    panel->AddChild(button, false);
    panel->AddChild(slider, false);
    screen.SetWidgetsEnabled(false);
    EXPECT_TRUE(button->IsDisabled());
    EXPECT_TRUE(slider->IsDisabled());
    screen.SetWidgetsEnabled(true);
    EXPECT_FALSE(button->IsDisabled());
    EXPECT_FALSE(slider->IsDisabled());
}

TEST_F(GameWindowTest, ACloseScriptMayClearTheScreensBesideIt)
{
    Run("PushModal('m') GameWindow{ name = 'beside' }() GameWindow{ name = 'beside2' }() "
        "GameWindow{ name = 'gamewindow', fade = true, skipintro = true, fadetime = 10 }()");
    Run("FadeOut('ClearModalChildren() cleared = 1')");
    Frame(16);
    Frame(16);
    Frame(16);
    EXPECT_EQ(Global("cleared"), "1");
    EXPECT_TRUE(mWindows->GetTopModal()->GetChildren().empty());
}

TEST_F(GameWindowTest, FadeOutStaysBoundToTheLastWindowAndIsClearedWithIt)
{
    Run("PushModal('m') GameWindow{ name = 'first', fade = true, skipintro = true }() "
        "GameWindow{ name = 'second', fade = true, skipintro = true }()");
    GameWindow* first = Find(mWindows->GetTopModal(), "first");
    GameWindow* second = Find(mWindows->GetTopModal(), "second");
    first->GetParent()->RemoveChild(first);
    delete first;
    Run("FadeOut(0/0) FadeOut({}) FadeOut(nil)"); // wrongly typed: an empty script
    EXPECT_EQ(second->GetState(), GameWindow::kFadingOut);
    EXPECT_EQ(second->GetCloseScript().Length(), 0u);

    Run("kept = FadeOut");
    second->GetParent()->RemoveChild(second);
    delete second;
    Run("cleared = tostring(FadeOut == nil) ok = tostring(pcall(kept, 'x'))");
    EXPECT_EQ(Global("cleared"), "true");
    EXPECT_EQ(Global("ok"), "false");
}

TEST_F(GameWindowTest, AScrimIsNotStackedOverAScrimScreenAndFadesInOverScrimtime)
{
    GameWindow* screen = Push("a", "GameWindow{ name = 'gamewindow', scrim = true, "
                                   "skipintro = true, scrimalpha = 0.5, scrimright = 512, "
                                   "scrimbottom = 256 }");
    EXPECT_TRUE(screen->IsScrim());
    EXPECT_FLOAT_EQ(screen->GetAlpha(), 0.5f);
    EXPECT_TRUE(screen->HasScrimRect());
    EXPECT_EQ(screen->GetScrimRect(), TRect(0, 0, 512, 256));

    Run("PushModal('b') GameWindow{ name = 'popup', scrim = true }()");
    GameWindow* popup = Find(mWindows->GetTopModal(), "popup");
    EXPECT_FALSE(popup->IsScrim());
    EXPECT_EQ(popup->GetState(), GameWindow::kIdle);
    EXPECT_EQ(mTransforms.GetGroupCount(), 0u);

    // Over a pop-up that is no screen the search ends and the scrim stays; a rectangle with no
    // height is none.
    Run("PushModal('c') GameWindow{ name = 'second', scrim = true, scrimright = 100 }()");
    GameWindow* second = Find(mWindows->GetTopModal(), "second");
    EXPECT_TRUE(second->IsScrim());
    EXPECT_FALSE(second->HasScrimRect());
    EXPECT_EQ(second->GetState(), GameWindow::kScrimFadingIn);
    EXPECT_FLOAT_EQ(second->GetAlpha(), 0.0f);
    Frame(16);
    Frame(200);
    EXPECT_EQ(second->GetState(), GameWindow::kIdle);
    EXPECT_FLOAT_EQ(second->GetAlpha(), 0.85f);
}

TEST_F(GameWindowTest, ACoveringModalPausesTransformsAndMusicUntilItCloses)
{
    StartAudio("1,theme,1", {5000});
    GameWindow* screen = Push("a", "GameWindow{ name = 'gamewindow', fade = true, fadetime = 1000, "
                                   "pausemusiconpause = true, music = 'theme' }");
    int32_t music = screen->GetMusic();
    ASSERT_NE(music, 0);
    Frame(700); // loading time is no step
    EXPECT_EQ(mClock.GetStep(), 0u);
    Frame(500);
    EXPECT_EQ(mClock.GetStep(), 500u);
    EXPECT_FLOAT_EQ(screen->GetAlpha(), 0.5f);

    Run("PushModal('dialog') GameWindow{ name = 'popup' }()");
    GameWindow* popup = Find(mWindows->GetTopModal(), "popup");
    Frame(16);
    EXPECT_TRUE(screen->IsCovered());
    EXPECT_FALSE(popup->IsCovered());
    EXPECT_EQ(Entry(music).mState, SoundEntry::kPaused);
    float held = screen->GetAlpha();
    Frame(3000);
    EXPECT_FLOAT_EQ(screen->GetAlpha(), held);
    EXPECT_EQ(screen->GetState(), GameWindow::kFadingIn);

    mWindows->PopModal();
    Frame(16);
    EXPECT_FALSE(screen->IsCovered());
    EXPECT_EQ(Entry(music).mState, SoundEntry::kPlaying);
    Frame(500);
    EXPECT_EQ(screen->GetState(), GameWindow::kIdle);
    EXPECT_FLOAT_EQ(screen->GetAlpha(), 0.0f);
}

TEST_F(GameWindowTest, MusicStartsWithItsRampsAndAPausedTrackFadesBackIn)
{
    StartAudio("1,theme,1", {5000});
    GameWindow* screen = Push("a", "GameWindow{ name = 'gamewindow', musicfadetime = 800, "
                                   "pausemusiconpause = true, music = 'theme' }");
    int32_t music = screen->GetMusic();
    ASSERT_EQ(Entry(music).GetRecordCount(), 1u);
    const SoundPlayRecord& record = *Entry(music).mRecords[0];
    EXPECT_EQ(record.mLoop, 1);
    // The fade-out into the end is left out: the looping track never reaches an end, and run at
    // each loop point it dipped the music to silence there.
    ASSERT_EQ(record.mRamps.size(), 1u);
    EXPECT_EQ(record.mRamps[0]->mDuration, 800u);
    EXPECT_EQ(record.mRamps[0]->mDelay, 0u);
    EXPECT_EQ(record.mRamps[0]->mFrom, 0.0f);
    EXPECT_EQ(record.mRamps[0]->mTo, 1.0f);
    Frame(16);
    Frame(400);
    EXPECT_NEAR(record.mApplied, (16 + 400) / 800.0f, 0.001f);

    // Covered, the track pauses; a screen asking for it then fades it in over its fade time.
    Run("PushModal('dialog') GameWindow{ name = 'popup' }()");
    Frame(16);
    EXPECT_EQ(Entry(music).mState, SoundEntry::kPaused);
    Run("GameWindow{ name = 'second', fadetime = 400, music = 'theme' }()");
    GameWindow* second = Find(mWindows->GetTopModal(), "second");
    EXPECT_EQ(second->GetMusic(), music);
    EXPECT_EQ(Entry(music).mState, SoundEntry::kPlaying);
    EXPECT_EQ(Entry(music).GetRecordCount(), 1u);
    Frame(16);
    Frame(200);
    EXPECT_NEAR(record.mApplied, 0.5f, 0.05f);
    // A track that plays already is left alone.
    Run("GameWindow{ name = 'third', music = 'theme' }()");
    EXPECT_EQ(Find(mWindows->GetTopModal(), "third")->GetMusic(), 0);
}

TEST_F(GameWindowTest, ParticleSystemsAreHandedOnAtAPopAndDroppedAtCountZero)
{
    GameWindow* screen = Push("a", "GameWindow{ name = 'gamewindow' }");
    Run("PushModal('dialog') GameWindow{ name = 'popup' }()");
    GameWindow* popup = Find(mWindows->GetTopModal(), "popup");
    auto system = std::make_shared<TLuaParticleSystem>();
    ASSERT_TRUE(system->Load("SetNumParticles(2) pAge = Allocate(1) "
                             "pAge:Anim(pAge + fTimeScale(1)) Anim(fExpire(fLess(1, pAge)))"));
    system->GetScript()->DoLuaString("CreateParticles(2)");
    auto vector = std::make_shared<ParticleVector>();
    popup->AddParticleSystem(system, {vector});
    std::weak_ptr<TLuaParticleSystem> weakSystem = system;
    std::weak_ptr<ParticleVector> weakVector = vector;
    system.reset();
    vector.reset();

    mWindows->PopModal();
    Frame(16); // the pop-up is deleted
    EXPECT_EQ(screen->GetParticleSystemCount(), 1u);
    EXPECT_FALSE(weakSystem.expired());
    Frame(600);
    EXPECT_EQ(screen->GetParticleSystemCount(), 1u);
    Frame(600);
    EXPECT_EQ(screen->GetParticleSystemCount(), 0u);
    EXPECT_TRUE(weakSystem.expired());
    EXPECT_TRUE(weakVector.expired());

    // With nothing to hand over nobody is searched for; with particles and no screen beneath,
    // the report.
    const std::string report = "ERROR:Cannot find gamewindow!   FILE:gamewindow LINE:349";
    Run("PushModal('plain') PushModal('empty') GameWindow{ name = 'popup' }()");
    mWindows->PopModal();
    EXPECT_EQ(Log().find(report), std::string::npos);
    Run("PushModal('busy') GameWindow{ name = 'popup' }()");
    auto orphan = std::make_shared<TLuaParticleSystem>();
    Find(mWindows->GetTopModal(), "popup")->AddParticleSystem(orphan, {});
    mWindows->PopModal();
    EXPECT_NE(Log().find(report), std::string::npos);
}

TEST_F(GameWindowTest, AnUntargetedMessageReachesAScreenOnce)
{
    auto* screen = Push<CountingScreen>("a", "CountingScreen{ name = 'gamewindow' }");
    mWindows->PostMessage(new TMessage(WindowManager::kPausedInactiveMessage, TString()));
    mWindows->DispatchMessages();
    EXPECT_EQ(screen->mPauses, 1); // through the listener
    mWindows->SetFocus(screen);
    mWindows->PostMessage(new TMessage(WindowManager::kPausedInactiveMessage, TString()));
    mWindows->DispatchMessages();
    EXPECT_EQ(screen->mPauses, 2); // along the focus path only
}

// The screens drawn by the real renderer on the display stand-in, over a root screen cleared
// white, with the frame driver run by hand.
class GameWindowDrawTest : public uitest::WindowDisplayTest
{
protected:
    void SetUp() override
    {
        WindowDisplayTest::SetUp();
        mWindows = mManager;
        mWindows->CreateScript();
        mWindows->RegisterWindowType("GameWindow", &GameWindow::Create);
        mWindows->RegisterWindowType("Button", &FakeButton::Create);
        auto* root = static_cast<TScreen*>(mWindows->GetRoot());
        root->mAlwaysClear = true;
        root->mClearColor = TVec4(1, 1, 1, 1);
        WindowManager::SetActiveSource([] { return true; });
        GameWindow::UIEnabler::SetButtonEnabler(&FakeButton::Enable);
        mFrames = std::make_unique<WindowManager>();
        mFrames->AddClient(&mTransforms, true);
    }
    void TearDown() override
    {
        mFrames.reset();
        GameWindow::UIEnabler::SetButtonEnabler(nullptr);
        WindowManager::SetActiveSource(nullptr);
        WindowDisplayTest::TearDown();
    }
    void Run(const std::string& code) { mWindows->GetScript()->DoLuaString(code.c_str()); }
    void Frame(uint32_t ms)
    {
        sys::AdvanceManualClock(ms);
        mFrames->Run();
        mWindows->ProcessDeletions();
        mWindows->DispatchMessages();
    }
    GameWindow* Top(const char* name)
    {
        return static_cast<GameWindow*>(mWindows->GetTopModal()->FindChild(name, 1));
    }

    DeltaTime mClock;
    TransformManager mTransforms;
    std::unique_ptr<WindowManager> mFrames;
    TWindowManager* mWindows = nullptr;
};

TEST_F(GameWindowDrawTest, AFadingScreenStartsBlackAndClearsOverFadetimeWithItsButtonsDisabled)
{
    Run("PushModal('a') GameWindow{ name = 'gamewindow', fade = true, w = 800, h = 600, "
        "Button{ name = 'b', w = 10, h = 10 } }()");
    GameWindow* screen = Top("gamewindow");
    auto* button = static_cast<FakeButton*>(screen->FindChild("b", 1));
    EXPECT_EQ(screen->GetState(), GameWindow::kFadingIn);
    EXPECT_FALSE(button->mEnabled);
    Paint();
    EXPECT_EQ(Pixel(0, 0), 0u);
    EXPECT_EQ(Pixel(799, 599), 0u);
    Frame(16);
    Frame(125); // the logistic curve's middle
    Paint();
    EXPECT_EQ(Pixel(400, 300), 0x7F7F7Fu);
    EXPECT_FALSE(button->mEnabled);
    Frame(125);
    EXPECT_EQ(screen->GetState(), GameWindow::kIdle);
    EXPECT_TRUE(button->mEnabled);
    Paint();
    EXPECT_EQ(Pixel(400, 300), 0xFFFFFFu);
}

TEST_F(GameWindowDrawTest, ScrimRectangleAndScrimImage)
{
    Run("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600 }()");
    Run("PushModal('b') GameWindow{ name = 'popup', scrim = true, skipintro = true, "
        "scrimalpha = 0.5, scrimright = 512, scrimbottom = 256, w = 800, h = 600 }()");
    Paint();
    EXPECT_EQ(Pixel(0, 0), 0x7F7F7Fu);
    EXPECT_EQ(Pixel(511, 255), 0x7F7F7Fu);
    EXPECT_EQ(Pixel(512, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(0, 256), 0xFFFFFFu);

    mWindows->PopModal();
    mWindows->ProcessDeletions();
    mWindows->DrawFrame(); // draws again after a pop
    imagetest::PngPlan plan;
    plan.width = plan.height = 4;
    plan.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (int i = 0; i < 16; ++i)
        plan.samples.insert(plan.samples.end(), {255, 0, 0, 255});
    spritetest::MemoryFiles files;
    files.Add("scrim.png", imagetest::EncodePng(plan));
    Run("PushModal('c') GameWindow{ name = 'popup', scrim = true, skipintro = true, "
        "scrimalpha = 1, scrimimage = 'scrim.png', w = 800, h = 600 }()");
    Paint();
    EXPECT_EQ(Pixel(398, 298), 0xFF0000u);
    EXPECT_EQ(Pixel(401, 301), 0xFF0000u);
    EXPECT_EQ(Pixel(397, 297), 0xFFFFFFu);
    EXPECT_EQ(Pixel(402, 302), 0xFFFFFFu);

    // Absurd numbers: no fade time, an alpha that is no number drawn as none, edges held inside
    // the window.
    mWindows->PopModal();
    mWindows->ProcessDeletions();
    mWindows->DrawFrame();
    Run("PushModal('d') GameWindow{ name = 'popup', scrim = true, scrimtime = -5, "
        "scrimalpha = 0/0, scrimleft = -1e300, scrimright = 1e300, scrimbottom = 1e300, "
        "w = 800, h = 600 }()");
    Frame(16);
    Frame(16);
    EXPECT_EQ(Top("popup")->GetState(), GameWindow::kIdle);
    Paint();
    EXPECT_EQ(Pixel(400, 300), 0xFFFFFFu);
}

// Counts its texture refreshes; fails the first ones.
class RefreshingScreen : public GameWindow
{
public:
    explicit RefreshingScreen(int failures) : mFailures(failures) { SetName("gamewindow"); }
    bool Refresh() override
    {
        ++mRefreshes;
        return mFailures-- <= 0;
    }
    int mFailures;
    int mRefreshes = 0;
};

TEST_F(GameWindowDrawTest, TexturesAreMadeAgainAfterADeviceLossAndAFailureHoldsTheRedraw)
{
    Run("PushModal('a')");
    auto* screen = new RefreshingScreen(2);
    mWindows->GetTopModal()->AddChild(screen, false);
    Frame(16);
    EXPECT_EQ(screen->mRefreshes, 0);

    Data().mWorkingCount = 3;
    Data().mDirectDraw->LoseAllSurfaces();
    Data().Restore();
    EXPECT_TRUE(mFrames->AreTexturesPending());
    const std::string report = "ERROR:gamewindow is failing!   FILE:windowmanager LINE:27";
    for (int frame = 1; frame <= 3; ++frame)
    {
        sys::AdvanceManualClock(20);
        mWindows->DrawFrame();
        ASSERT_FALSE(mWindows->IsDirty());
        Frame(16);
        EXPECT_EQ(screen->mRefreshes, frame);
        EXPECT_EQ(rendertest::CountOf(Log(), report), std::min(frame, 2));
        EXPECT_EQ(mWindows->IsDirty(), frame == 3) << frame;
    }
    Paint();
    EXPECT_EQ(Pixel(400, 300), 0xFFFFFFu);
}

} // namespace

} // namespace game_window_test
