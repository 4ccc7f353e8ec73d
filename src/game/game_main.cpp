// The game's identity, the layer links, and the game's start-up, event loop and teardown: the
// framework's singletons, the window types the scripts open by name, and the event actions.
#include "game/game_main.h"

#include "framework/adventure/dialog/gameplay_dialog.h"
#include "framework/adventure/dialog_window.h"
#include "framework/adventure/map/map.h"
#include "framework/adventure/player_data.h"
#include "framework/widgets/animated_bitmap_window.h"
#include "framework/sound/audio_manager.h"
#include "framework/widgets/cursor_overlay.h"
#include "framework/widgets/custom_text_edit.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
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
#include "game/dev_dialog.h"
#include "game/cutscenes/illustration_panel.h"
#include "game/dialogs/mkw_dialog_window.h"
#include "game/hiscore_store_link.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/journal/gameplay_journal.h"
#include "game/minigames/puzzles/electronic_lock/electronic_lock_scene.h"
#include "game/minigames/hintboards/gameplay_hint_lirae.h"
#include "game/minigames/hintboards/gameplay_hint_thessalor.h"
#include "game/minigames/puzzles/heavens/heavens_scene.h"
#include "game/minigames/puzzles/scroll/scroll_puzzle_scene.h"
#include "game/minigames/puzzles/ritual/ritual_puzzle_scene.h"
#include "game/minigames/puzzles/three_locks/three_locks_minigame.h"
#include "game/runner/mkw_gameplay.h"
#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "platform/config/config.h"
#include "platform/files/file.h"
#include "platform/files/file_layer.h"
#include "platform/files/shared_save.h"
#include "platform/log.h"
#include "platform/seams/display_seam.h"
#include "platform/shell/platform_main.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/strings/string_table.h"
#include "platform/seams/window_manager_seam.h"
#include "render/textures/asset_map.h"
#include "render/display/render_display_seam.h"
#include "render/renderer/renderer.h"
#include "script/lua_bind.h"
#include "script/script.h"
#include "script/script_code.h"
#include "services/host/platform_link.h"
#include "sound/sound.h"
#include "sound/sound_link.h"
#include "sys/files/paths.h"
#include "sys/files/save_waits.h"
#include "sys/process/process.h"
#include "ui/button.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <new>
#include <string>
#include <vector>

namespace
{
constexpr const char* kStartScript = "scripts/mainloop.lua";
// The option naming the first screen, which the start-up script opens.
constexpr const char* kStartOption = "start";
// The top modal that is itself the quit question: Escape there is only a key for it.
constexpr const char* kQuitQuestion = "quitverify";
constexpr const char* kAskToQuit = "DisplayQuitVerify();";
constexpr const char* kAskToQuitAlone = "return function() DisplayQuitVerify() end";
// The script functions the game binds for the loop, unbound before its last frame.
constexpr const char* kBoundFunctions[] = {"GetConfig", "RunProcess"};
// The destroy operations of the singletons made so far, run newest first when a run ends (where a
// C runtime would run them at process exit), so that a run in a test process starts clean.
std::vector<void (*)()> gExitList;
// What the process ends with: not 0 when the start-up script gave nothing to run, or when a
// fatal error (content the game cannot go on without) ended the run.
constexpr int kStartFailedStatus = 1;
constexpr int kFatalErrorStatus = 2;
int gRunStatus = 0;

template <class T> void DestroySingleton()
{
    // The destructor clears the instance pointer.
    delete T::Instance();
}

// Makes the singleton unless it exists; its constructor stores itself as the instance, which
// stays null when allocation fails.
template <class T> void CreateSingleton()
{
    if (T::Instance() != nullptr)
        return;
    new (std::nothrow) T();
    gExitList.push_back(&DestroySingleton<T>);
}

// The window manager owns the overlay; the settings' map only names it for the game's code.
void AddOverlay(TWindowManager* manager, TWindow* overlay, const char* name)
{
    if (Settings* settings = Settings::Instance())
        settings->mOverlays[name] = overlay;
    manager->AddOverlayWindow(overlay);
}

// Both arguments are read as text: a missing default is empty, as the window script's own
// one-argument lookup answered.
TString ScriptGetConfig(const TString& key, const TString& defaultValue)
{
    return GetConfig(key, defaultValue);
}

void ScriptRunProcess(const TString& commandLine)
{
    RunProcess(commandLine.c_str());
}

lua_State* WindowScriptState(TWindowManager* manager)
{
    TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    return script != nullptr ? script->GetState() : nullptr;
}

// A start that cannot go on is said in the log and on standard error, where whoever started the
// program looks; the run then ends with a status that is not 0.
void SayStartFailed(const TString& line)
{
    Log("%s", line.c_str());
    sys::PrintNotice(line.c_str());
}

// The script file an error was raised in, as its text begins ("<file>:<line>: ..."); empty for
// code that came from no file.
std::string ScriptOfError(const TString& error)
{
    const std::string text = error.c_str();
    for (size_t colon = text.find(':'); colon != std::string::npos;
         colon = text.find(':', colon + 1))
    {
        size_t end = colon + 1;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9')
            ++end;
        if (end > colon + 1 && end < text.size() && text[end] == ':')
        {
            const std::string file = text.substr(0, colon);
            return file.size() > 4 && file.compare(file.size() - 4, 4, ".lua") == 0 ? file
                                                                                    : std::string();
        }
    }
    return std::string();
}

// A failure is told by the script it happened in: a screen's own script is the one its author
// must look at, not the start-up script that opened the screen. Otherwise the error goes in
// brackets between `what` and `after`.
void SayScriptFailed(const TString& error, const char* what, const char* after)
{
    const std::string file = ScriptOfError(error);
    const std::string start = std::string("assets/") + kStartScript;
    if (!file.empty() && file != kStartScript && file != start)
        SayStartFailed(TString::Format("The screen script %s failed (%s): the game stops",
                                       file.c_str(), error.c_str()));
    else
        SayStartFailed(TString::Format("%s (%s): %s", what, error.c_str(), after));
}

// The start-up script's coroutine is the only place where the game's screens and questions wait:
// once an error has ended it, nothing could be waited for again (the quit question among them).
// True, said, when that happened.
bool SayIfScreensFailed(const TWindowScript& script, const char* what, const char* after)
{
    if (!script.HasCoroutineFailed())
        return false;
    SayScriptFailed(script.GetCoroutineError(), what, after);
    return true;
}

// The start-up script must return the function that becomes the window script's coroutine:
// without it nothing would ever show, and the program would end with no word of why. The screen
// "options=start=" names in place of the card and the splash must be a script that compiles: the
// start-up script would fail on it at once and leave an empty window behind.
bool RunStartScript(TWindowScript& script)
{
    // The reason is the real one: a script that is there but cannot be opened (no file
    // descriptor left, no regular file) is not missing.
    if (!FileExists(kStartScript))
    {
        SayStartFailed(TString::Format("The start-up script %s %s: nothing to run", kStartScript,
                                       DescribeMissingFile(kStartScript).c_str()));
        return false;
    }
    {
        TFile probe;
        if (!probe.Open(kStartScript, kFileReadBinary))
        {
            SayStartFailed(TString::Format("The start-up script %s cannot be read (%s): nothing "
                                           "to run",
                                           kStartScript, probe.GetError().c_str()));
            return false;
        }
    }
    // Compiled as the window library's ReadFile will read it, below assets/.
    const TString start = GetConfig(kStartOption);
    TString error;
    if (start.Length() > 0 &&
        TScriptCode::Get(TString("assets/") + start, GetScriptSearchPath(), &error) == nullptr)
    {
        SayStartFailed(TString::Format("The first screen %s cannot be run (%s): nothing to run",
                                       start.c_str(), error.c_str()));
        return false;
    }
    const unsigned resumes = script.GetResumeCount();
    // A script that fails leaves no function to run, or a coroutine that died at its first
    // step: either way nothing will ever show, and no question could be answered.
    if (!script.RunScript(kStartScript, &error))
    {
        SayScriptFailed(error, "The start-up script scripts/mainloop.lua failed", "nothing to run");
        return false;
    }
    if (script.GetResumeCount() == resumes)
    {
        SayStartFailed(TString::Format(
            "The start-up script %s returned no function: nothing to run", kStartScript));
        return false;
    }
    return !SayIfScreensFailed(script, "The start-up script scripts/mainloop.lua failed",
                               "nothing to run");
}

void RunExitList()
{
    while (!gExitList.empty())
    {
        void (*destroy)() = gExitList.back();
        gExitList.pop_back();
        destroy();
    }
}

// As the close begins, on a slowed disk: the runs that show that no frame waits for a save read
// it there.
void SayFrameLoopWaits()
{
    if (sys::GetSlowFlushMs() == 0)
        return;
    const sys::SaveWaits waits = sys::GetSaveWaits();
    Log("The frame loop waited %u times on a save before the close (the longest %u ms%s%s)",
        waits.count, waits.longestMs, waits.count > 0 ? ": " : "", waits.longest.c_str());
}

} // namespace

// The framework's button and entry field take the toolkit's names, so every script's buttons and
// entry fields are the game's.
// The HUD is the framework's until the game's own takes the name; the dialog is the game's.
const TGameWindowType kGameWindowTypes[20] = {
    {"Button", &TVButton::Create},
    {"OptionsWindow", &Options::Create},
    {"SelectPlayerWindow", &TSelectPlayer::Create},
    {"SplashScreen", &SplashScreen::Create},
    {"GameWindow", &GameWindow::Create},
    {"MainMenu", &TMainMenu::Create},
    {"TextEdit", &CustomTextEdit::Create},
    {"Storyboard", &IllustrationPanel::Create},
    {"DialogWindow", &MKWDialogWindow::Create},
    {"Map", &Map::Create},
    {"Gameplay", &MKWGameplay::Create},
    {"GameplayHud", &MKWGameplayHud::Create},
    {"GameplayJournal", &GameplayJournal::Create},
    {"Slider", &Slider::Create},
    {"AnimatedBitmap", &AnimatedBitmapWindow::Create},
    {"GameplayHintThessalor", &GameplayHintThessalor::Create},
    {"GameplayHintLirae", &GameplayHintLirae::Create},
    {"GameplayDialog", &GameplayDialog::Create},
    {"TextScroll", &TextScroll::Create},
    {"ParticleWindow", &ParticleSystemWindow::Create},
};

void SetGameIdentity()
{
    SetConfig("gamename", "Murkwell");
    SetConfig("publisher", "Tovrix");
    SetConfig("encryptionkey", "RumblyOakZZQ");
    SetConfig("automergemask", "1");
    SetConfig("brokenindexedverts", "1");
}

void LinkGameToPlatform()
{
    LinkServicesToPlatform();
    LinkSoundToPlatform();
    SetAssetMapSoundLoader(TSound::GetClassId(), [](const TString& name)
                           { return std::shared_ptr<TAsset>(TSound::Get(name, true, -1)); });
    LinkHiscoreStoreToFramework();
    SetDisplayFactory(&CreateRenderDisplaySeam);
    SetWindowManagerFactory(&CreateWindowManager);
}

void UnlinkGameFromPlatform()
{
    UnlinkHiscoreStoreFromFramework();
    SetDisplayFactory(nullptr);
    SetWindowManagerFactory(nullptr);
    SetSoundManagerFactory(nullptr);
}

bool TGameRun::Start(TApplication* application)
{
    CreateSingleton<DeltaTime>();
    TWindowManager* manager = GetWindowManager();
    TRenderer* renderer = TRenderer::Instance();
    CreateSingleton<Settings>();
    // After the settings, whose profiles it reads, and the window script, which holds its
    // functions.
    CreateSingleton<PlayerData>();
    CreateSingleton<AudioManager>();
    CreateSingleton<TransformManager>();
    CreateSingleton<WindowManager>();
    WindowManager* frames = WindowManager::Instance();
    if (frames != nullptr)
    {
        // Each wakes itself through the frame driver when it has work.
        frames->AddClient(TransformManager::Instance(), true);
        frames->AddClient(AudioManager::Instance(), true);
    }

    if (renderer != nullptr)
    {
        renderer->SetTexture(nullptr);
        renderer->SetOption("fps", "0");
        renderer->SetOption("new_subtractive", "1");
        renderer->SetOption("new_render_blend", "1");
        renderer->SetOption("mac_use_hw_cursors", "1");
    }
    if (TStringTable* strings = application->GetStringTable())
        application->SetWindowTitle(strings->GetString("windowtitle"));
    if (frames != nullptr)
        application->AddTask(frames);
    if (Settings* settings = Settings::Instance())
        settings->LoadDisplaySettings();
    ProbeColorShifts();
    if (manager != nullptr)
    {
        for (const TGameWindowType& type : kGameWindowTypes)
            manager->RegisterWindowType(type.mName, type.mCreator);
        MKWGameplay::RegisterMinigameScene("ElectronicLockScene", &ElectronicLockScene::Create);
        MKWGameplay::RegisterMinigameScene("ScrollPuzzleScene", &ScrollPuzzleScene::Create);
        MKWGameplay::RegisterMinigameScene("HeavensScene", &HeavensScene::Create);
        MKWGameplay::RegisterMinigameScene("RitualPuzzleScene", &RitualPuzzleScene::Create);
        MKWGameplay::RegisterMinigameScene("ThreeLocksMinigame", &ThreeLocksMinigame::Create);
        AddOverlay(manager, new CursorOverlayController(), "cursoroverlay");
        // The trail waits until a screen starts it.
        AddOverlay(manager, new MouseOverlay(true), "mouseoverlay");
    }

    bool started = true;
    if (TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr)
        started = RunStartScript(*script);
    // The game's screens cover the whole display, so the root need not clear it first.
    if (manager != nullptr && !manager->GetModals().empty())
    {
        TModalWindow* root = manager->GetModals().back();
        if (root->IsKindOf(TScreen::GetClassId()))
            static_cast<TScreen*>(root)->mNeverClear = true;
    }
    SetConfig("vsync", "1");
    SetConfig("texturememorymax", "209715200");
    if (lua_State* L = WindowScriptState(manager))
    {
        LuaBindFunction(L, kBoundFunctions[0], &ScriptGetConfig);
        LuaBindFunction(L, kBoundFunctions[1], &ScriptRunProcess);
        BindDevFunctions(L);
    }
    return started;
}

bool TGameRun::Handle(const TPlatformEvent& event)
{
    if (event.mType == kEventClose || event.mType == kEventQuit)
        return false;
    mLastEvent = event;
    TWindowManager* manager = GetWindowManager();
    const bool escapeRepeats = mEscapeHeld;
    if (event.mParam == 27 && (event.mType == kEventKeyDown || event.mType == kEventKeyUp))
        mEscapeHeld = event.mType == kEventKeyDown;
    if (event.mType == kEventKeyDown && event.mParam == 27 && manager != nullptr)
    {
        TModalWindow* top = manager->GetTopModal();
        TWindowScript* script = manager->GetScript();
        // The question waits for its answer, which only a coroutine can: with none waiting (the
        // start-up script's function has returned) it starts as one of its own. Escape over the
        // question takes it back, as its "No" does: a player who pressed Escape by mistake
        // presses it again. Only a new press does: not the key's repeats while the Escape that
        // opened the question is held, nor its character, which is no key-down.
        const bool asking = top != nullptr && top->GetName().Compare(kQuitQuestion) == 0;
        auto* no = asking && !escapeRepeats
                       ? dynamic_cast<TButton*>(top->FindChild("no", UINT32_MAX))
                       : nullptr;
        if (no != nullptr)
            no->Click();
        else if (script != nullptr && !asking)
            script->DoLuaString(script->IsYielded() ? kAskToQuit : kAskToQuitAlone);
    }
    if (Settings* settings = Settings::Instance())
    {
        switch (event.mType)
        {
        case kEventLeftDown:
            // The pointer is where it was pressed, whether or not a move said so first.
            settings->UpdateCursorAt(TPoint{event.mX, event.mY});
            settings->UpdateCursor();
            break;
        case kEventLeftUp:
            settings->SetLeftButtonDown(false);
            break;
        case kEventMouseMove:
            settings->UpdateCursorAt(TPoint{event.mX, event.mY});
            break;
        case kEventMouseLost:
            settings->PointerLeft();
            break;
        case kEventFullScreenToggled:
            settings->SaveFullScreen();
            break;
        default:
            break;
        }
    }
    if (manager != nullptr)
        manager->HandleEvent(event);
    TWindowScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    if (script != nullptr &&
        SayIfScreensFailed(*script, "The game's screens stopped on a script error",
                           "the game cannot go on"))
    {
        mStartScriptFailed = true;
        return false;
    }
    return true;
}

void TGameRun::Run(TApplication* application)
{
    // Saves are made beside the frame loop: no frame of play waits for a file's lock, the disk or
    // a save on its way. Counted up to the close, whose wait for what is pending comes after.
    sys::WatchSaveWaits(true);
    TPlatformEvent event;
    do
        application->NextEvent(&event);
    while (Handle(event));
    sys::WatchSaveWaits(false);
    SayFrameLoopWaits();
}

void TGameRun::Stop(TApplication* application)
{
    if (TWindowManager* manager = GetWindowManager())
    {
        while (TModalWindow* top = manager->GetTopModal())
        {
            if (top == manager->GetRoot())
                break;
            const size_t before = manager->GetModals().size();
            manager->DoPopModal(top->GetIdString());
            // A modal that would not go must not hold the program open.
            if (manager->GetModals().size() >= before)
                break;
        }
        // The last frame resumes the commands that waited on the closed dialogs (a menu button's
        // code after its page): they run with the functions they were written against, which go
        // only after it.
        TPlatformEvent last = mLastEvent;
        last.mType = kEventTick;
        manager->HandleEvent(last);
        if (lua_State* L = WindowScriptState(manager))
        {
            for (const char* name : kBoundFunctions)
                LuaUnbindMember(L, name);
            UnbindDevFunctions(L);
        }
    }
    // After the last frame, so that what the closing screens changed is kept; before the
    // settings, through which it is stored.
    if (PlayerData* record = PlayerData::Instance())
        record->SaveProfile();
    DestroySingleton<Settings>();
    if (WindowManager* frames = WindowManager::Instance())
    {
        if (application != nullptr)
            application->RemoveTask(frames);
        DestroySingleton<WindowManager>();
    }
    RunExitList();
}

int GameMain(TApplication* application, const char*)
{
    TGameRun game;
    ClearFatalErrorReported();
    const bool started = game.Start(application);
    if (started)
        game.Run(application);
    game.Stop(application);
    gRunStatus = !started || game.HasStartScriptFailed() ? kStartFailedStatus
                 : FatalErrorReported()                  ? kFatalErrorStatus
                                                         : 0;
    return gRunStatus;
}

int RunProgram(int argc, char** argv)
{
    SetGameIdentity();
    LinkGameToPlatform();
    TString commandLine = TCommandLine::Join(argc, argv);
    gRunStatus = 0;
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &GameMain, false);
    // A saver the close left to a hung disk still writes: the program's statics are not torn down
    // under it (its file is written under a temporary name, so ending it harms nothing saved).
    if (TSharedSave::AnySaverLeftWriting())
        sys::ExitProcess(gRunStatus);
    return gRunStatus;
}
