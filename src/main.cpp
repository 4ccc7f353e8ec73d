// The program's entry point: puts the game's identity into the configuration store, links the
// services, the sound layer, the display handler and the window manager into the platform's seams,
// the sound loader into the asset map and the high-score store into the framework, and hands
// control to the platform with the game's main function, which for now shows a test screen.
#include "platform/application.h"
#include "platform/config.h"
#include "platform/platform_main.h"
#include "game/hiscore_store_link.h"
#include "game/test_screen.h"
#include "render/asset_map.h"
#include "render/render_display_seam.h"
#include "services/platform_link.h"
#include "sound/sound.h"
#include "sound/sound_link.h"
#include "ui/window_manager.h"

namespace
{

void SetGameIdentity()
{
    SetConfig("gamename", "Murkwell");
    SetConfig("publisher", "Tovrix");
    SetConfig("encryptionkey", "MwTvx7Rk2qLe");
    SetConfig("automergemask", "1");
    SetConfig("brokenindexedverts", "1");
}

// Until the game's own main function exists: show the window with the test screen, play the start
// sound and hand every event to the window manager, drawing a frame of the test screen on every
// idle tick, until the player closes the window or the program is asked to quit.
int GameMain(TApplication* application, const char*)
{
    application->SetDisplayMode(800, 600, false);
    // The built-in image, tip at its hot spot.
    application->SetCursorTexture(nullptr, 2, 2, 0);
    // Held for the whole run: dropping the last reference to a sound stops it.
    std::shared_ptr<TSound> startSound = TSound::Get("audio/8", true, 0);
    if (startSound)
        startSound->Play(false);
    TTestScreen screen;
    uint32_t frame = 0;
    TPlatformEvent event;
    for (;;)
    {
        application->NextEvent(&event);
        if (TWindowManager* manager = GetWindowManager())
            manager->HandleEvent(event);
        if (event.mType == kEventClose || event.mType == kEventQuit)
            return 0;
        if (event.mType == kEventTick)
            screen.DrawFrame(frame++);
    }
}

} // namespace

int main(int argc, char** argv)
{
    SetGameIdentity();
    LinkServicesToPlatform();
    LinkSoundToPlatform();
    SetAssetMapSoundLoader(TSound::GetClassId(), [](const TString& name)
                           { return std::shared_ptr<TAsset>(TSound::Get(name, true, -1)); });
    LinkHiscoreStoreToFramework();
    SetDisplayFactory(&CreateRenderDisplaySeam);
    SetWindowManagerFactory(&CreateWindowManager);
    TString commandLine = TCommandLine::Join(argc, argv);
    PlatformMain(nullptr, nullptr, commandLine.c_str(), 1, &GameMain, false);
    return 0;
}
