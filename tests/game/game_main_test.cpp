// The game in-process: the repository's own content started through the platform, the start-up
// script opening the dev screen, drawn by the real renderer on the headless display, pointed at,
// asked for its label, and ended by a close request with every modal popped; the framework's
// singletons, window types and event actions, and a second run starting clean; Escape and the
// quit question, the game's two script functions and the root that no longer clears.
#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/adventure/dialog_window.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/map/map.h"
#include "framework/adventure/player_data.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/runner/mkw_gameplay.h"
#include "framework/widgets/animated_bitmap_window.h"
#include "framework/sound/audio_manager.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/custom_text_edit.h"
#include "framework/core/delta_time.h"
#include "framework/widgets/framework_button.h"
#include "framework/screens/game_window.h"
#include "framework/screens/main_menu.h"
#include "framework/widgets/mouse_overlay.h"
#include "framework/screens/options_screen.h"
#include "framework/widgets/particle_system_window.h"
#include "framework/screens/select_player.h"
#include "framework/core/settings.h"
#include "framework/widgets/slider.h"
#include "framework/screens/splash_screen.h"
#include "framework/screens/text_scroll.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "game/game_main.h"
#include "game/cutscenes/illustration_panel.h"
#include "game/dialogs/mkw_dialog_window.h"
#include "game/hiscore_store_link.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/hintboards/gameplay_hint_lirae.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor.h"
#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/shell/platform_main.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"
#include "render/display/platform.h"
#include "render/display/render_display_seam.h"
#include "platform/config/prefs.h"
#include "support/environment.h"
#include "support/files.h"
#include "sys/clock.h"
#include "sys/files/paths.h"
#include "sys/display/surface.h"
#include "sys/window/events.h"
#include "sys/window/window.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// The dev screen's push button: centred, 220 x 44, its top at 440.
constexpr int kButtonLeft = 290;
constexpr int kButtonTop = 440;
// A point of the button's body, left of the centred label.
constexpr int kBodyX = 30;
constexpr int kBodyY = 22;

// An image's pixels as 0xAARRGGBB; empty when it cannot be read.
std::vector<uint32_t> ReadImage(const fs::path& path, uint32_t& width)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint32_t> pixels;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return pixels;
    image.format = PNG_FORMAT_BGRA;
    pixels.resize(PNG_IMAGE_SIZE(image) / 4);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    width = image.width;
    return pixels;
}

uint32_t ImagePixel(const char* name, int x, int y)
{
    uint32_t width = 0;
    std::vector<uint32_t> pixels =
        ReadImage(fs::path(MURKWELL_SOURCE_DIR) / "assets" / name, width);
    EXPECT_FALSE(pixels.empty()) << name << " is made by `make assets`";
    return pixels.empty() ? 0 : pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
}

bool Near(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        const int da =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (da < -2 || da > 2)
            return false;
    }
    return true;
}

struct Seen
{
    uint32_t mNormal = 0;
    uint32_t mHover = 0;
    int mLabelPixels = 0;
    std::string mLabel;
    size_t mModalsAtEnd = 0;
};

Seen gSeen;

uint32_t FramePixel(int x, int y)
{
    auto& seam = static_cast<TRenderDisplaySeam&>(GetDisplay());
    return seam.GetPlatform()->GetData()->mBackBuffer->ReadPixel(static_cast<uint32_t>(x),
                                                                 static_cast<uint32_t>(y)) &
           0xFFFFFF;
}

// Ticks until the pointer's work is drawn; every tick moves the fixed clock.
void Pump(TApplication* application, TGameRun& game, int events)
{
    TPlatformEvent event;
    for (int i = 0; i < events; ++i)
    {
        application->NextEvent(&event);
        ASSERT_TRUE(game.Handle(event)) << "the game ended early";
    }
}

int ProbeMain(TApplication* application, const char*)
{
    TGameRun game;
    game.Start(application);
    // The game draws only while its window has the focus, which a desktop gives it.
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    Pump(application, game, 40);
    gSeen.mNormal = FramePixel(kButtonLeft + kBodyX, kButtonTop + kBodyY);
    // The label's light text over the button's dark body.
    for (int y = kButtonTop; y < kButtonTop + 44; ++y)
        for (int x = kButtonLeft + 60; x < kButtonLeft + 160; ++x)
            gSeen.mLabelPixels += ((FramePixel(x, y) >> 16) & 0xFF) > 160;
    if (TWindowScript* script = GetWindowManager()->GetScript())
        gSeen.mLabel = script->GetLabel("quit").c_str();

    // A first start is full screen: the pointer goes where the screen shows the button.
    int x = kButtonLeft + kBodyX;
    int y = kButtonTop + kBodyY;
    sys::PictureToWindow(x, y);
    const int windowX = x;
    const int windowY = y;
    sys::ClientToScreen(application->GetImpl()->mMainWindow, x, y);
    sys::SetCursorPosOverride(true, x, y);
    sys::PushMouseMotion(windowX, windowY);
    Pump(application, game, 40);
    gSeen.mHover = FramePixel(kButtonLeft + kBodyX, kButtonTop + kBodyY);

    sys::PushWindowEvent(sys::WindowEventKind::Close);
    game.Run(application);
    game.Stop(application);
    gSeen.mModalsAtEnd = GetWindowManager()->GetModals().size();
    return 0;
}

// What a run of a fixture game saw: the modal windows (top first) before the close request and
// after teardown, the window title, and whether the close went on to the window manager.
struct Stack
{
    std::vector<std::string> mBefore;
    size_t mAfter = 0;
    std::string mTitle;
    bool mCloseHandedOn = true;
};

Stack gStack;

std::vector<std::string> ModalNames()
{
    std::vector<std::string> names;
    for (TModalWindow* modal : GetWindowManager()->GetModals())
        names.push_back(modal->GetName().c_str());
    return names;
}

int StackMain(TApplication* application, const char*)
{
    TGameRun game;
    game.Start(application);
    Pump(application, game, 10);
    gStack.mBefore = ModalNames();
    gStack.mTitle = sys::GetWindowTitle(application->GetImpl()->mMainWindow);
    TPlatformEvent close;
    close.mType = kEventClose;
    gStack.mCloseHandedOn = game.Handle(close);
    game.Stop(application);
    gStack.mAfter = GetWindowManager()->GetModals().size();
    return 0;
}

// What a run saw of the framework's singletons and of the settings' event state.
struct Framework
{
    bool mAllMade = false;
    bool mClientsIdle = false;
    std::vector<std::string> mKinds;
    bool mOverlays = false;
    int32_t mMouseX = 0;
    int32_t mMouseY = 0;
    bool mDownAfterPress = false;
    bool mDownAfterRelease = true;
    bool mInsideAfterLeave = true;
    bool mShownAfterLeave = false;
    int mFullScreenBefore = 0;
    int mFullScreenAfter = 0;
    bool mFullScreen = false;
    bool mAllGone = false;
};

Framework gFramework;

bool NoSingletons()
{
    return DeltaTime::Instance() == nullptr && Settings::Instance() == nullptr &&
           PlayerData::Instance() == nullptr && AudioManager::Instance() == nullptr &&
           TransformManager::Instance() == nullptr && WindowManager::Instance() == nullptr;
}

// The name of the framework class a creator's window is, and whether it is still a toolkit kind.
std::string KindOf(TWindow* window)
{
    if (window->IsKindOf(GameplayHintThessalor::GetClassId()))
        return "GameplayHintThessalor";
    std::string kind =
        window->IsKindOf(TVButton::GetClassId())               ? "TVButton"
        : window->IsKindOf(Options::GetClassId())              ? "Options"
        : window->IsKindOf(TSelectPlayer::GetClassId())        ? "TSelectPlayer"
        : window->IsKindOf(SplashScreen::GetClassId())         ? "SplashScreen"
        : window->IsKindOf(TMainMenu::GetClassId())            ? "TMainMenu"
        : window->IsKindOf(TextScroll::GetClassId())           ? "TextScroll"
        : window->IsKindOf(MKWDialogWindow::GetClassId())      ? "MKWDialogWindow/DialogWindow"
        : window->IsKindOf(DialogWindow::GetClassId())         ? "DialogWindow"
        : window->IsKindOf(Map::GetClassId())                  ? "Map"
        : window->IsKindOf(Slider::GetClassId())               ? "Slider"
        : window->IsKindOf(MKWGameplay::GetClassId())          ? "MKWGameplay"
        : window->IsKindOf(IllustrationPanel::GetClassId())    ? "IllustrationPanel"
        : window->IsKindOf(GameWindow::GetClassId())           ? "GameWindow"
        : window->IsKindOf(CustomTextEdit::GetClassId())       ? "CustomTextEdit"
        : window->IsKindOf(AnimatedBitmapWindow::GetClassId()) ? "AnimatedBitmapWindow"
        : window->IsKindOf(ParticleSystemWindow::GetClassId()) ? "ParticleSystemWindow"
        : window->IsKindOf(MKWGameplayHud::GetClassId())       ? "MKWGameplayHud"
        : window->IsKindOf(GameplayHud::GetClassId())          ? "GameplayHud"
        : window->IsKindOf(GameplayDialog::GetClassId())       ? "GameplayDialog"
        : window->IsKindOf(GameplayJournal::GetClassId())      ? "GameplayJournal"
        : window->IsKindOf(GameplayHintLirae::GetClassId())    ? "GameplayHintLirae"
                                                               : "?";
    if (window->IsKindOf(TButton::GetClassId()))
        kind += "/TButton";
    if ((kind == "TextScroll" || kind == "IllustrationPanel") &&
        window->IsKindOf(GameWindow::GetClassId()))
        kind += "/GameWindow";
    if (kind == "MKWGameplayHud" && window->IsKindOf(GameplayHud::GetClassId()))
        kind += "/GameplayHud";
    if (window->IsKindOf(TTextEdit::GetClassId()))
        kind += "/TTextEdit";
    return kind;
}

TPlatformEvent Event(int32_t type, int32_t x = 0, int32_t y = 0)
{
    TPlatformEvent event;
    event.mType = type;
    event.mX = x;
    event.mY = y;
    return event;
}

int FrameworkMain(TApplication* application, const char*)
{
    TGameRun game;
    gFramework.mAllGone = NoSingletons();
    game.Start(application);
    WindowManager* frames = WindowManager::Instance();
    Settings* settings = Settings::Instance();
    gFramework.mAllMade = DeltaTime::Instance() != nullptr && settings != nullptr &&
                          PlayerData::Instance() != nullptr &&
                          AudioManager::Instance() != nullptr &&
                          TransformManager::Instance() != nullptr && frames != nullptr;
    if (!gFramework.mAllMade)
        return 0;
    gFramework.mClientsIdle = frames->IsTaskIdle(TransformManager::Instance()) &&
                              frames->IsTaskIdle(AudioManager::Instance());
    // Idle is also the answer for an object without a record: waking one shows it has one.
    for (SingletonBase* client : {static_cast<SingletonBase*>(TransformManager::Instance()),
                                  static_cast<SingletonBase*>(AudioManager::Instance())})
    {
        frames->SetTaskIdle(client, false);
        gFramework.mClientsIdle = gFramework.mClientsIdle && !frames->IsTaskIdle(client);
        frames->SetTaskIdle(client, true);
    }
    gFramework.mKinds.clear();
    TWindow* cursor = settings->mOverlays["cursoroverlay"];
    TWindow* trail = settings->mOverlays["mouseoverlay"];
    gFramework.mOverlays = settings->mOverlays.size() == 2 && cursor != nullptr &&
                           cursor->IsKindOf(CursorOverlayController::GetClassId()) &&
                           trail != nullptr && trail->IsKindOf(MouseOverlay::GetClassId()) &&
                           static_cast<MouseOverlay*>(trail)->IsSuspended();
    for (const TGameWindowType& type : kGameWindowTypes)
    {
        TWindow* window = type.mCreator();
        gFramework.mKinds.push_back(std::string(type.mName) + "=" + KindOf(window));
        delete window;
    }

    game.Handle(Event(kEventMouseMove, 123, 45));
    gFramework.mMouseX = settings->mMouseX;
    gFramework.mMouseY = settings->mMouseY;
    game.Handle(Event(kEventLeftDown, 123, 45));
    gFramework.mDownAfterPress = settings->IsLeftButtonDown();
    game.Handle(Event(kEventLeftUp, 123, 45));
    gFramework.mDownAfterRelease = settings->IsLeftButtonDown();
    game.Handle(Event(kEventMouseLost));
    gFramework.mInsideAfterLeave = settings->mMouseInside;
    gFramework.mShownAfterLeave = settings->mOsCursorShown;
    gFramework.mFullScreenBefore = settings->GetPrefs()->GetInt("fullscreen", -5, -1);
    game.Handle(Event(kEventFullScreenToggled));
    gFramework.mFullScreenAfter = settings->GetPrefs()->GetInt("fullscreen", -5, -1);
    gFramework.mFullScreen = settings->IsFullScreen();

    game.Stop(application);
    gFramework.mAllGone = gFramework.mAllGone && NoSingletons();
    return 0;
}

// What a run saw of Escape, the game's two script functions and the root's fill.
struct Loop
{
    bool mRootNeverClears = false;
    std::string mConfig;
    std::vector<std::string> mAfterEscape;
    std::string mAfterStop;
};

Loop gLoop;

int LoopMain(TApplication* application, const char*)
{
    TGameRun game;
    game.Start(application);
    Pump(application, game, 5);
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager->GetScript();
    TModalWindow* root = manager->GetModals().back();
    gLoop.mRootNeverClears =
        root->IsKindOf(TScreen::GetClassId()) && static_cast<TScreen*>(root)->mNeverClear;
    script->DoLuaString("gConfig = GetConfig('gamename') .. '|' .. GetConfig('nokey', 'fallback')"
                        " .. '|' .. GetConfig('nokey') .. '|' .. GetConfig('vsync', '0')");
    gLoop.mConfig = script->GetGlobalString("gConfig").c_str();
    // A press, a repeat of the held key, its release and a new press.
    for (const int32_t type : {kEventKeyDown, kEventKeyDown, kEventKeyUp, kEventKeyDown})
    {
        TPlatformEvent escape = Event(type);
        escape.mParam = 27;
        game.Handle(escape);
        Pump(application, game, 2);
        gLoop.mAfterEscape.push_back(
            std::to_string(static_cast<int>(script->GetGlobalNumber("gAsked"))) + " asked " +
            std::to_string(static_cast<int>(script->GetGlobalNumber("gKeys"))) + " keys " +
            std::to_string(static_cast<int>(script->GetGlobalNumber("gNo"))) + " no " +
            manager->GetTopModal()->GetName().c_str());
    }
    game.Stop(application);
    script->DoLuaString("gUnbound = type(GetConfig) .. ' ' .. type(RunProcess)");
    gLoop.mAfterStop = script->GetGlobalString("gUnbound").c_str();
    return 0;
}

class GameMainTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(mRoot / "run");
        mEnv.push_back(std::make_unique<testsupport::EnvironmentGuard>("XDG_DATA_HOME",
                                                                       (mRoot / "data").string()));
        mEnv.push_back(std::make_unique<testsupport::EnvironmentGuard>("XDG_RUNTIME_DIR",
                                                                       (mRoot / "run").string()));
        sys::SetManualClock(true, 1000);
        sys::SetFixedStepMs(16);
        sys::FlushInput();
        ClearConfig();
        SetGameIdentity();
        LinkGameToPlatform();
        gSeen = Seen();
    }
    void TearDown() override
    {
        sys::SetCursorPosOverride(false);
        sys::SetFixedStepMs(0);
        sys::SetManualClock(false);
        UnlinkGameFromPlatform();
        ClearConfig();
        mEnv.clear();
    }

    // The platform's teardown cleared the store, and with it the identity that names the data
    // folder, and posted its quit, which a second run in this process must not take.
    void NextRun()
    {
        SetGameIdentity();
        sys::FlushInput();
    }

    // A game folder of settings, the window title and this start-up script.
    std::string FixtureGame(const std::string& mainloop)
    {
        const fs::path game = mRoot / "game";
        testsupport::WriteFile(game / "assets/settings.xml", "<settings></settings>\n");
        testsupport::WriteFile(
            game / "assets/strings.xml",
            "<Workbook><Table><Row><Cell><Data>windowtitle</Data></Cell>"
            "<Cell><Data>Fixture Title</Data></Cell></Row></Table></Workbook>\n");
        testsupport::WriteFile(game / "assets/scripts/mainloop.lua", mainloop);
        return "--multiple -wd=" + game.string();
    }

    testsupport::ScratchFolder mScratch{"mw_game"};
    fs::path mRoot = mScratch.Path();
    std::vector<std::unique_ptr<testsupport::EnvironmentGuard>> mEnv;
};

TEST_F(GameMainTest, TheDevScreenShowsItsButtonHoversAndEndsOnAClose)
{
    const std::string commandLine = "--multiple -wd=" + std::string(MURKWELL_SOURCE_DIR) +
                                    " options=start=scripts/dev/toolkit.lua";
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &ProbeMain, false);
    const uint32_t normal = ImagePixel("ui/button_n.png", kBodyX, kBodyY) & 0xFFFFFF;
    const uint32_t hover = ImagePixel("ui/button_h.png", kBodyX, kBodyY) & 0xFFFFFF;
    ASSERT_NE(normal, hover);
    EXPECT_TRUE(Near(gSeen.mNormal, normal)) << std::hex << gSeen.mNormal << " " << normal;
    EXPECT_TRUE(Near(gSeen.mHover, hover)) << std::hex << gSeen.mHover << " " << hover;
    EXPECT_GT(gSeen.mLabelPixels, 20) << "no text drawn on the button";
    EXPECT_EQ(gSeen.mLabel, "Quit");
    // Teardown popped the dev screen's modal: only the root is left.
    EXPECT_EQ(gSeen.mModalsAtEnd, 1u);
}

TEST_F(GameMainTest, AFrameworkRunRegistersItsWindowTypesFeedsTheSettingsAndEndsClean)
{
    gFramework = Framework();
    const std::string commandLine = "--multiple -wd=" + std::string(MURKWELL_SOURCE_DIR);
    for (int run = 0; run < 2; ++run)
    {
        PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &FrameworkMain, false);
        // None before the run, none after: the second run starts as the first.
        EXPECT_TRUE(gFramework.mAllGone) << run;
    }
    ASSERT_TRUE(gFramework.mAllMade);
    EXPECT_TRUE(gFramework.mClientsIdle);
    EXPECT_TRUE(gFramework.mOverlays) << "the cursor overlay and a suspended mouse trail";
    EXPECT_EQ(gFramework.mKinds,
              (std::vector<std::string>{"Button=TVButton/TButton",
                                        "OptionsWindow=Options",
                                        "SelectPlayerWindow=TSelectPlayer",
                                        "SplashScreen=SplashScreen",
                                        "GameWindow=GameWindow",
                                        "MainMenu=TMainMenu",
                                        "TextEdit=CustomTextEdit/TTextEdit",
                                        "Storyboard=IllustrationPanel/GameWindow",
                                        "DialogWindow=MKWDialogWindow/DialogWindow",
                                        "Map=Map",
                                        "Gameplay=MKWGameplay",
                                        "GameplayHud=MKWGameplayHud/GameplayHud",
                                        "GameplayJournal=GameplayJournal",
                                        "Slider=Slider",
                                        "AnimatedBitmap=AnimatedBitmapWindow",
                                        "GameplayHintThessalor=GameplayHintThessalor",
                                        "GameplayHintLirae=GameplayHintLirae",
                                        "GameplayDialog=GameplayDialog",
                                        "TextScroll=TextScroll/GameWindow",
                                        "ParticleWindow=ParticleSystemWindow"}));
    EXPECT_EQ(gFramework.mMouseX, 123);
    EXPECT_EQ(gFramework.mMouseY, 45);
    EXPECT_TRUE(gFramework.mDownAfterPress);
    EXPECT_FALSE(gFramework.mDownAfterRelease);
    EXPECT_FALSE(gFramework.mInsideAfterLeave);
    EXPECT_TRUE(gFramework.mShownAfterLeave);
    // A fresh folder asks for full screen without storing it; the toggle event stores the state.
    EXPECT_EQ(gFramework.mFullScreenBefore, -5);
    EXPECT_EQ(gFramework.mFullScreenAfter, gFramework.mFullScreen ? 1 : 0);
}

} // namespace

namespace
{
int gStatus = -1;

int StatusMain(TApplication* application, const char* commandLine)
{
    gStatus = GameMain(application, commandLine);
    return gStatus;
}
} // namespace

// A start-up script that is missing, or that returns no function, leaves nothing to run: one line
// says which, and the run ends at once with a status that is not 0. A coroutine that ends at once
// was still something to run. One run each: a process keeps its first game folder.
class StartUpScriptTest : public GameMainTest
{
protected:
    std::string RunOn(const std::string& commandLine)
    {
        gStatus = -1;
        PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &StatusMain, false);
        return testsupport::ReadFile(mRoot / "data/Tovrix/Murkwell/logfile.txt");
    }
};

TEST_F(StartUpScriptTest, ReturningANumberEndsTheRunWithALine)
{
    const std::string log = RunOn(FixtureGame("return 5\n"));
    EXPECT_EQ(gStatus, 1);
    EXPECT_NE(log.find(": The start-up script scripts/mainloop.lua returned no function: nothing "
                       "to run\n"),
              std::string::npos)
        << log;
}

TEST_F(StartUpScriptTest, AMissingOneEndsTheRunWithALine)
{
    const std::string commandLine = FixtureGame("");
    fs::remove(mRoot / "game/assets/scripts/mainloop.lua");
    const std::string log = RunOn(commandLine);
    EXPECT_EQ(gStatus, 1);
    EXPECT_NE(log.find(": The start-up script scripts/mainloop.lua is missing: nothing to run\n"),
              std::string::npos)
        << log;
}

// The reason a start-up script is not run is the real one: a folder the scan could not list (no
// file descriptor left) or a script that cannot be opened is no missing script.
TEST_F(StartUpScriptTest, AScriptInAFolderThatCannotBeListedIsNotCalledMissing)
{
    const std::string commandLine = FixtureGame("return 5\n");
    sys::InjectFolderListingFailure("assets/scripts", EMFILE);
    const std::string log = RunOn(commandLine);
    sys::InjectFolderListingFailure("", 0);
    EXPECT_EQ(gStatus, 1);
    EXPECT_NE(log.find(": ERROR: The folder 'assets/scripts' cannot be listed (Too many open "
                       "files): the files in it are not found\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(": The start-up script scripts/mainloop.lua cannot be found: the folder "
                       "'assets/scripts' could not be listed (Too many open files): nothing to "
                       "run\n"),
              std::string::npos)
        << log;
}

TEST_F(StartUpScriptTest, AScriptThatCannotBeOpenedSaysWhy)
{
    const std::string commandLine = FixtureGame("");
    const fs::path script = mRoot / "game/assets/scripts/mainloop.lua";
    fs::remove(script);
    ASSERT_EQ(mkfifo(script.c_str(), 0600), 0);
    const std::string log = RunOn(commandLine);
    EXPECT_EQ(gStatus, 1);
    EXPECT_NE(log.find(": The start-up script scripts/mainloop.lua cannot be read (it is not a "
                       "regular file): nothing to run\n"),
              std::string::npos)
        << log;
}

// The first screen the options name is one the start-up script would fail on at once, leaving an
// empty window: the run says which and why, and ends.
TEST_F(StartUpScriptTest, AFirstScreenThatCannotBeReadEndsTheRunWithALine)
{
    const std::string log = RunOn(
        FixtureGame("return function() PostMessage(CreateNamedMessage(kQuitNow, 'quit')) end\n") +
        " options=start=scripts/none.lua");
    EXPECT_EQ(gStatus, 1);
    EXPECT_NE(log.find(": The first screen scripts/none.lua cannot be run (cannot read "
                       "assets/scripts/none.lua: No such file or directory): nothing to run\n"),
              std::string::npos)
        << log;
}

TEST_F(StartUpScriptTest, AFunctionThatEndsAtOnceIsARun)
{
    const std::string log = RunOn(
        FixtureGame("return function() PostMessage(CreateNamedMessage(kQuitNow, 'quit')) end\n"));
    EXPECT_EQ(gStatus, 0);
    EXPECT_EQ(log.find("start-up script"), std::string::npos) << log;
}

TEST_F(GameMainTest, TeardownPopsEveryModalAboveTheRoot)
{
    // Three modals stacked by the start-up script's coroutine, which then waits for ever.
    const std::string commandLine =
        FixtureGame("return function() PushModal('first'); PushModal('second'); "
                    "PushModal('third'); while true do WaitForMessage() end end\n");
    gStack = Stack();
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &StackMain, false);
    ASSERT_EQ(gStack.mBefore.size(), 4u);
    EXPECT_EQ(gStack.mBefore[0], "third");
    EXPECT_EQ(gStack.mBefore[2], "first");
    EXPECT_EQ(gStack.mAfter, 1u) << "only the root is left";
    EXPECT_FALSE(gStack.mCloseHandedOn);
    EXPECT_EQ(gStack.mTitle, "Fixture Title");
}

// What a run saw of the player's record: the location loaded at start, and the one stored at the
// end.
struct Record
{
    double mLoaded = -1;
    int mStoredLocation = -1;
};

Record gRecord;

int RecordMain(TApplication* application, const char*)
{
    TGameRun game;
    game.Start(application);
    Pump(application, game, 5);
    gRecord.mLoaded = GetWindowManager()->GetScript()->GetGlobalNumber("gLoaded");
    game.Stop(application);
    TPrefs prefs(false);
    uint8_t bytes[PlayerData::kRecordSize] = {};
    if (prefs.GetData("playerdata", bytes, sizeof bytes, 0) == 0)
        gRecord.mStoredLocation = bytes[8];
    return 0;
}

TEST_F(GameMainTest, TheRecordIsSavedAfterTheLastFrameAndLoadedByTheNextRun)
{
    // The location is set only when the modal's close reaches the waiting script, that is in the
    // last frame, after teardown popped it.
    const std::string commandLine =
        FixtureGame("if GetNumUsers() == 0 then CreateNewUser('Ann') end\n"
                    "gLoaded = GetCurrentLocation(true)\n"
                    "return function() WaitForCloseMessage(PushModal('first'))\n"
                    "  SetCurrentLocation(GetCurrentLocation(true) + 6)\n"
                    "  while true do WaitForMessage() end end\n");
    for (const Record& expected : {Record{0, 6}, Record{6, 12}})
    {
        gRecord = Record();
        NextRun();
        PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &RecordMain, false);
        EXPECT_EQ(gRecord.mLoaded, expected.mLoaded);
        EXPECT_EQ(gRecord.mStoredLocation, expected.mStoredLocation);
    }
}

// What a run on a profile saw: whether the game ended by itself, and the record's stored length.
struct Damaged
{
    bool mWriteDamaged = false;
    bool mEnded = false;
    int mStoredLength = -2;
    uint8_t mStored[PlayerData::kRecordSize] = {};
};

Damaged gDamaged;

int DamagedMain(TApplication* application, const char*)
{
    if (gDamaged.mWriteDamaged)
    {
        TPrefs prefs(true);
        prefs.SetString("name", "Ann", 0, false);
        prefs.SetInt("curuser", 0, -1, false);
        const uint8_t shortRecord[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        prefs.SetData("playerdata", shortRecord, sizeof shortRecord, 0, false);
        prefs.Save();
    }
    TGameRun game;
    game.Start(application);
    TPlatformEvent event;
    for (int i = 0; i < 100 && !gDamaged.mEnded; ++i)
    {
        application->NextEvent(&event);
        gDamaged.mEnded = !game.Handle(event);
    }
    game.Stop(application);
    TPrefs prefs(false);
    gDamaged.mStoredLength = prefs.GetData("playerdata", nullptr, 0, 0);
    prefs.GetData("playerdata", gDamaged.mStored, sizeof gDamaged.mStored, 0);
    return 0;
}

TEST_F(GameMainTest, ADamagedRecordEndsTheGameAndTheNextStartFindsAZeroOne)
{
    const std::string commandLine =
        FixtureGame("return function() while true do WaitForMessage() end end\n");
    const fs::path log = mRoot / "data/Tovrix/Murkwell/logfile.txt";
    const std::string fatal = "ERROR:PlayerData sizeof mismatch!   FILE:playerdata LINE:49";
    for (bool damaged : {true, false})
    {
        SCOPED_TRACE(damaged);
        gDamaged = Damaged();
        gDamaged.mWriteDamaged = damaged;
        NextRun();
        PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &DamagedMain, false);
        EXPECT_EQ(gDamaged.mEnded, damaged);
        if (damaged)
        {
            EXPECT_NE(testsupport::ReadFile(log).find(fatal), std::string::npos);
        }
        // Teardown saved the record, all zero, over the damaged one.
        EXPECT_EQ(gDamaged.mStoredLength, PlayerData::kRecordSize);
        EXPECT_EQ(std::vector<uint8_t>(gDamaged.mStored, gDamaged.mStored + 12),
                  std::vector<uint8_t>(12, 0));
    }
}

TEST_F(GameMainTest, EscapeAsksToQuitANewPressOverTheQuestionAnswersNoAndTheKeyGoesOnEitherWay)
{
    // The question is a modal named as the game's; every key a modal does not use reaches the
    // start-up script's coroutine as a message. The held key's repeat leaves the question up: only
    // a press after its release is the player's "No".
    const std::string commandLine = FixtureGame(
        "gAsked = 0; gKeys = 0; gNo = 0\n"
        "function DisplayQuitVerify() gAsked = gAsked + 1; PushModal('quitverify')\n"
        "  MakeDialog { Button { name = 'no', w = 10, h = 10,\n"
        "    command = function() gNo = gNo + 1; PopModal('quitverify') end } } end\n"
        "return function() while true do local m = WaitForMessage()\n"
        "  if m ~= nil and m.type == kPressAnyKey then gKeys = gKeys + 1 end end end\n");
    gLoop = Loop();
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &LoopMain, false);
    EXPECT_TRUE(gLoop.mRootNeverClears);
    // Two arguments: the stored value or the default; one: an absent key reads as empty.
    EXPECT_EQ(gLoop.mConfig, "Murkwell|fallback||1");
    EXPECT_EQ(gLoop.mAfterEscape, (std::vector<std::string>{"1 asked 1 keys 0 no quitverify",
                                                            "1 asked 2 keys 0 no quitverify",
                                                            "1 asked 2 keys 0 no quitverify",
                                                            "1 asked 3 keys 1 no _screen_"}));
    EXPECT_EQ(gLoop.mAfterStop, "nil nil");
}
