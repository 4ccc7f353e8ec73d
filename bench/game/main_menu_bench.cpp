// The main menu on the headless display, the game run in-process on the repository's content from
// the start-up script through the splash: one menu frame (background, logo, flame, fireflies, six
// captioned buttons, the greeting) against the 16.7 ms of a frame, and the frames from the
// splash's swap to the menu's first drawn frame and from a click on "Options" or "Players" to that
// screen's first drawn frame.
#include "framework/screens/main_menu.h"
#include "framework/screens/options_screen.h"
#include "framework/screens/select_player.h"
#include "framework/core/settings.h"
#include "program_bench_support.h"
#include "game/game_main.h"
#include "game/hiscore_store_link.h"
#include "platform/shell/application.h"
#include "platform/config/config.h"
#include "platform/seams/display_seam.h"
#include "platform/shell/platform_main.h"
#include "platform/seams/sound_manager_seam.h"
#include "platform/seams/window_manager_seam.h"
#include "sys/clock.h"
#include "sys/events.h"
#include "sys/window.h"
#include "ui/window_manager.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace
{
namespace fs = std::filesystem;

// Ticks to wait for a screen: the card and the splash's stages take about 500.
constexpr int kWaitLimit = 3000;
// Ticks after the menu's first frame before the timing starts: its fade (250 ms) is over.
constexpr int kSettleTicks = 60;
// Button centres of scripts/mainmenu.lua: 220 x 44 buttons centred on the 800-wide screen.
constexpr int kButtonX = 400;
constexpr int kOptionsY = 360 + 22;
constexpr int kPlayersY = 415 + 22;

enum TScreenKind
{
    kMenu,
    kOptions,
    kPlayers,
    kScreenKinds
};

// The frame (tick) count at a screen's making and at its first drawing; -1 before.
struct TSeen
{
    int mMade = -1;
    int mDrawn = -1;
};

TSeen gSeen[kScreenKinds];
int gFrame = 0;
bool gInTick = false;
benchmark::State* gState = nullptr;
const char* gError = nullptr;

// A framework screen that notes when it is made and first drawn. Made during a tick's work, it
// counts from the frame before, so "drawn - made" is the frames shown from the making on.
template <class TBase, TScreenKind kKind> class TProbe : public TBase
{
public:
    static TWindow* Create()
    {
        gSeen[kKind] = TSeen();
        gSeen[kKind].mMade = gInTick ? gFrame - 1 : gFrame;
        return new TProbe();
    }
    void Draw() override
    {
        if (gSeen[kKind].mDrawn < 0)
            gSeen[kKind].mDrawn = gFrame;
        TBase::Draw();
    }
};

// One event through the game; a tick is a frame.
void Step(TApplication* application, TGameRun& game)
{
    TPlatformEvent event;
    application->NextEvent(&event);
    gInTick = event.mType == kEventTick;
    gFrame += gInTick ? 1 : 0;
    game.Handle(event);
    gInTick = false;
}

// Steps until the screen has drawn; false when it did not within the limit.
bool WaitForDrawn(TApplication* application, TGameRun& game, TScreenKind kind)
{
    for (int start = gFrame; gFrame - start < kWaitLimit && gSeen[kind].mDrawn < 0;)
        Step(application, game);
    return gSeen[kind].mDrawn >= 0;
}

void Ticks(TApplication* application, TGameRun& game, int count)
{
    for (int end = gFrame + count; gFrame < end;)
        Step(application, game);
}

// A click on a menu button; answers the frame count at the release, which runs its command.
int Click(TApplication* application, TGameRun& game, int x, int y)
{
    int sx = x;
    int sy = y;
    sys::ClientToScreen(application->GetImpl()->mMainWindow, sx, sy);
    sys::SetCursorPosOverride(true, sx, sy);
    sys::PushMouseMotion(x, y);
    Ticks(application, game, 2);
    sys::PushMouseButton(1, true, x, y);
    Ticks(application, game, 2);
    sys::PushMouseButton(1, false, x, y);
    return gFrame;
}

// Opens the screen from the menu's button, waits for its first frame and closes it again;
// answers the frames from the click to that frame (-1 when it did not come).
int OpenFromMenu(TApplication* application, TGameRun& game, int y, TScreenKind kind)
{
    gSeen[kind] = TSeen();
    const int clicked = Click(application, game, kButtonX, y);
    if (!WaitForDrawn(application, game, kind))
        return -1;
    const int frames = gSeen[kind].mDrawn - clicked;
    TWindowManager* manager = GetWindowManager();
    manager->DoPopModal(manager->GetTopModal()->GetIdString());
    Ticks(application, game, kSettleTicks);
    return frames;
}

int MenuBenchMain(TApplication* application, const char*)
{
    benchmark::State& state = *gState;
    TGameRun game;
    game.Start(application);
    TWindowManager* manager = GetWindowManager();
    manager->RegisterWindowType("MainMenu", &TProbe<TMainMenu, kMenu>::Create);
    manager->RegisterWindowType("OptionsWindow", &TProbe<Options, kOptions>::Create);
    manager->RegisterWindowType("SelectPlayerWindow", &TProbe<TSelectPlayer, kPlayers>::Create);
    // A player to greet; the game draws only while its window has the focus.
    Settings::Instance()->CreateNewUser("Avery");
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);

    if (!WaitForDrawn(application, game, kMenu))
        gError = "the main menu did not come up";
    else
    {
        state.counters["menu_frames_after_swap"] = gSeen[kMenu].mDrawn - gSeen[kMenu].mMade;
        Ticks(application, game, kSettleTicks);
        state.counters["options_frames_after_click"] =
            OpenFromMenu(application, game, kOptionsY, kOptions);
        state.counters["players_frames_after_click"] =
            OpenFromMenu(application, game, kPlayersY, kPlayers);
        sys::SetCursorPosOverride(false);
        for (auto _ : state)
        {
            const int frame = gFrame;
            while (gFrame == frame)
                Step(application, game);
        }
        state.counters["share_of_16.7ms"] =
            benchmark::Counter(static_cast<double>(state.iterations()) * 0.0167,
                               benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
    sys::PushWindowEvent(sys::WindowEventKind::Close);
    game.Run(application);
    game.Stop(application);
    return 0;
}

// The whole run happens once, inside the platform's main function, on a data folder of its own.
void BM_MainMenuFrame(benchmark::State& state)
{
    const fs::path root = PrepareProgramRun("menu");

    gState = &state;
    gError = nullptr;
    gFrame = 0;
    for (TSeen& seen : gSeen)
        seen = TSeen();
    RunProgram("", &MenuBenchMain);
    if (gError != nullptr)
        state.SkipWithError(gError);
    EndProgramRun(root);
}
BENCHMARK(BM_MainMenuFrame)->Unit(benchmark::kMillisecond)->Iterations(600);

} // namespace
