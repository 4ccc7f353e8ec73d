// The main menu on the headless display, the game run in-process on the repository's content from
// the start-up script through the splash: one menu frame (background, logo, flame, fireflies, six
// captioned buttons, the greeting) against the 16.7 ms of a frame, and the frames from the
// splash's swap to the menu's first drawn frame and from a click on "Options" or "Players" (at the
// end-to-end tests' points of the picture) to that screen's first drawn frame.
#include "e2e/main_menu_points.h"
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
#include "sys/window/events.h"
#include "sys/window/window.h"
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
using menupoints::TMenuPoint;

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
std::string gError;

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

// "(400, 382), the menu's "options" button".
std::string Describe(const TMenuPoint& point)
{
    return "(" + std::to_string(point.mX) + ", " + std::to_string(point.mY) + "), the menu's \"" +
           point.mName + "\" button";
}

// Moves the pointer over the button's point of the picture; false, with the reason, when the
// pointer is not over the named button then.
bool PointAt(TApplication* application, TGameRun& game, const TMenuPoint& point)
{
    PushPictureMotion(point.mX, point.mY);
    Ticks(application, game, 2);
    const TWindow* hover = GetWindowManager()->GetHover();
    if (hover != nullptr && hover->GetName() == point.mName)
        return true;
    gError = "the pointer at the picture's " + Describe(point) + ", is over " +
             (hover == nullptr ? std::string("no window")
                               : "\"" + std::string(hover->GetName().c_str()) + "\"");
    return false;
}

// A click on a menu button; answers the frame count at the release, which runs its command, or
// -1 when the pointer is not over the button.
int Click(TApplication* application, TGameRun& game, const TMenuPoint& point)
{
    if (!PointAt(application, game, point))
        return -1;
    PushPictureButton(true, point.mX, point.mY);
    Ticks(application, game, 2);
    PushPictureButton(false, point.mX, point.mY);
    return gFrame;
}

// Opens the screen from the menu's button, waits for its first frame and closes it again;
// answers the frames from the click to that frame, or -1 with the reason in gError.
int OpenFromMenu(TApplication* application, TGameRun& game, const TMenuPoint& point,
                 TScreenKind kind)
{
    gSeen[kind] = TSeen();
    const int clicked = Click(application, game, point);
    if (clicked < 0)
        return -1;
    if (!WaitForDrawn(application, game, kind))
    {
        const TModalWindow* top = GetWindowManager()->GetTopModal();
        gError = "a click on " + Describe(point) + ", drew no " +
                 (kind == kOptions ? "options" : "profile") + " screen in " +
                 std::to_string(kWaitLimit) + " frames (the top window is \"" +
                 (top == nullptr ? std::string() : std::string(top->GetName().c_str())) + "\")";
        return -1;
    }
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

    // A screen that did not open leaves no counter: the run fails with the reason instead of
    // timing the menu under whatever the click did open.
    int options = -1;
    int players = -1;
    if (!WaitForDrawn(application, game, kMenu))
        gError = "the main menu did not come up";
    else
    {
        Ticks(application, game, kSettleTicks);
        options = OpenFromMenu(application, game, menupoints::kOptions, kOptions);
        if (options >= 0)
            players = OpenFromMenu(application, game, menupoints::kPlayers, kPlayers);
        sys::SetCursorPosOverride(false);
    }
    if (players >= 0)
    {
        state.counters["menu_frames_after_swap"] = gSeen[kMenu].mDrawn - gSeen[kMenu].mMade;
        state.counters["options_frames_after_click"] = options;
        state.counters["players_frames_after_click"] = players;
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
    gError.clear();
    gFrame = 0;
    for (TSeen& seen : gSeen)
        seen = TSeen();
    RunProgram("", &MenuBenchMain);
    if (!gError.empty())
        state.SkipWithError(gError.c_str());
    EndProgramRun(root);
}
BENCHMARK(BM_MainMenuFrame)->Unit(benchmark::kMillisecond)->Iterations(600);

} // namespace
