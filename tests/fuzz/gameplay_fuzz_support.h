// Shared by the fuzz targets that open a location in the game's scene runner: the standard-screen
// test fixture set up once for the whole run (headless display, window manager and script, sound,
// Settings over a scratch profile), and a location opened, stepped a few frames and closed again.
#pragma once

#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/player_data.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/screen_test_support.h"
#include "game/runner/mkw_gameplay.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace gameplay_fuzz
{

// The window style's keys the runner needs, as in the runner's own tests.
constexpr const char* kStyle =
    "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
    "playlist = { location01 = { a = {}, b = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
    "locationnumber = 1, timescenetransition = 50, playlistinfo = {}, "
    "inventoryinfo = { barwidth = 0 }, "
    "crazyclick = { main = { image = 't/obj' } }, crazyclickcounttoactivate = 3, "
    "crazyclicktimetoremoveclick = 1000, crazyclickpathduration = 300, "
    "crazyclickpath = 't/path.txt', "
    "entityinfo = { layerinfo = { fadetime = 50 }, iteminfo = {}, areainfo = {}, textinfo = {} }, "
    "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
    "background = { image = 't/hud', x = 0, y = 0 }, foreground = { image = 't/hud', x = 0, y = 0 "
    "}, progressbar = { image = 't/hud', x = 600, y = 40 }, "
    "inventorybounds = { x = 100, y = 510, w = 300, h = 80 } }, ";

class Harness : public screentest::ScreenTest
{
public:
    // Made on the first call and kept for the whole run.
    static Harness& Get()
    {
        static Harness* harness = []
        {
            setenv("SDL_VIDEODRIVER", "dummy", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            auto* made = new Harness;
            made->Start();
            return made;
        }();
        return *harness;
    }

    void TestBody() override {}

    // The location in the global "gameplayinstructions" opened with the style's keys (and any
    // more after them), a few frames run, then closed as a quit closes it.
    void Play(const std::string& moreStyle)
    {
        Run(std::string("Gameplay{ name = 'play', x = 0, y = 0, w = 800, h = 600, ") + kStyle +
            moreStyle + " }()");
        TWindow* window = mManager->GetRoot()->FindChild("play", 0xFFFFFFFFu);
        auto* play = dynamic_cast<Gameplay*>(window);
        if (play == nullptr)
        {
            if (window != nullptr)
            {
                window->GetParent()->RemoveChild(window);
                delete window;
            }
            return;
        }
        for (int i = 0; i < 4; ++i)
            Frame(16);
        play->OnClose();
        play->GetParent()->RemoveChild(play);
        delete play;
        mManager->ProcessDeletions();
    }
    void Store(const uint8_t* data, size_t size)
    {
        mSettings->SetPlayerData("gamedata", data, static_cast<int>(size));
    }
    void Forget() { mSettings->DeletePlayerData("gamedata"); }
    using ScreenTest::Run;

private:
    void Start()
    {
        // The fixture works in a scratch folder; the fuzzer's own paths are relative to this one.
        const std::string folder = sys::GetCurrentFolder();
        SetUp();
        sys::SetCurrentFolder(folder);
        mManager->RegisterWindowType("Gameplay", &MKWGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("t/door.png", 100, 200, 0xFF806040);
        Image("t/bg.png", 800, 600, 0xFF204060);
        Image("t/obj.png", 32, 32, 0xFFFFFFFF);
        Image("t/hud.png", 800, 100, 0xFF303030);
        File("t/path.txt", "2,0,0,10,10");
        mSettings->CreateNewUser("player");
        mPlayer = std::make_unique<PlayerData>();
    }
    std::unique_ptr<PlayerData> mPlayer;
};

} // namespace gameplay_fuzz
