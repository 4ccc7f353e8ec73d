// The game's identity, the layer links, and the toolkit game's start-up, event loop and teardown in
// the order the game's own main function will keep.
#include "game/game_main.h"

#include "game/hiscore_store_link.h"
#include "platform/application.h"
#include "platform/command_line.h"
#include "platform/config.h"
#include "platform/platform_main.h"
#include "platform/string_table.h"
#include "render/asset_map.h"
#include "render/render_display_seam.h"
#include "render/renderer.h"
#include "services/platform_link.h"
#include "sound/sound.h"
#include "sound/sound_link.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

namespace
{
constexpr int kScreenWidth = 800;
constexpr int kScreenHeight = 600;
// The start sound: the studio logo's bell.
constexpr const char* kStartSound = "audio/8";
constexpr const char* kStartScript = "scripts/mainloop.lua";
} // namespace

void SetGameIdentity()
{
    SetConfig("gamename", "Murkwell");
    SetConfig("publisher", "Tovrix");
    SetConfig("encryptionkey", "MwTvx7Rk2qLe");
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

void TToolkitGame::Start(TApplication* application)
{
    if (TRenderer* renderer = TRenderer::Instance())
    {
        renderer->SetTexture(nullptr);
        renderer->SetOption("fps", "0");
        renderer->SetOption("new_subtractive", "1");
        renderer->SetOption("new_render_blend", "1");
        renderer->SetOption("mac_use_hw_cursors", "1");
    }
    if (TStringTable* strings = application->GetStringTable())
        application->SetWindowTitle(strings->GetString("windowtitle"));
    // Until stored display preferences exist: a window of the game's size.
    application->SetDisplayMode(kScreenWidth, kScreenHeight, false);
    // The built-in image, tip at its hot spot.
    application->SetCursorTexture(nullptr, 2, 2, 0);
    mStartSound = TSound::Get(kStartSound, true, 0);
    if (mStartSound)
        mStartSound->Play(false);
    // The window script registers the toolkit's window types itself; the framework's need the
    // framework's singletons, which come with the game's own layer.
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr && manager->GetScript() != nullptr)
        manager->GetScript()->RunScript(kStartScript);
    SetConfig("vsync", "1");
    SetConfig("texturememorymax", "209715200");
}

bool TToolkitGame::Handle(const TPlatformEvent& event)
{
    if (event.mType == kEventClose || event.mType == kEventQuit)
        return false;
    mLastEvent = event;
    if (TWindowManager* manager = GetWindowManager())
        manager->HandleEvent(event);
    return true;
}

void TToolkitGame::Run(TApplication* application)
{
    TPlatformEvent event;
    do
        application->NextEvent(&event);
    while (Handle(event));
}

void TToolkitGame::Stop()
{
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr)
        return;
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
    TPlatformEvent last = mLastEvent;
    last.mType = kEventTick;
    manager->HandleEvent(last);
}

int GameMain(TApplication* application, const char*)
{
    TToolkitGame game;
    game.Start(application);
    game.Run(application);
    game.Stop();
    return 0;
}

int RunProgram(int argc, char** argv)
{
    SetGameIdentity();
    LinkGameToPlatform();
    TString commandLine = TCommandLine::Join(argc, argv);
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &GameMain, false);
    return 0;
}
