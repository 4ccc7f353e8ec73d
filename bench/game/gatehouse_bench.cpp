// The Gatehouse, the first location, run in-process on the repository's content and opened over
// the main menu by its development entry: the processor time from the location script's start to
// the runner's first frame drawn with every scene loaded, against
// 30 frames of 16.7 ms; and one frame of the hall at play (the scene, the game's HUD with both
// medallions, the lamp's glow, the wind) against the 16.7 ms of a frame, beside the main menu's
// frame of the same program; the same frame with a solved puzzle's burst always running, and the
// game runner's own share of that frame (the frame less the base runner's alone). The same frames
// of a crowded hall (forty entities, six objects in the HUD's strip:
// "scripts/dev/crowded_hall.lua").
#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/entities/gameplay_particle.h"
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "program_bench_support.h"
#include "game/game_main.h"
#include "game/hiscore_store_link.h"
#include "game/runner/mkw_gameplay.h"
#include "platform/config/config.h"
#include "platform/shell/application.h"
#include "platform/shell/platform_main.h"
#include "sys/clock.h"
#include "sys/window/events.h"
#include "sys/window/window.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace
{
namespace fs = std::filesystem;

// Ticks to wait for the location and for its greeting to end.
constexpr int kWaitLimit = 3000;
// The menu's fade.
constexpr int kMenuTicks = 60;
// A place where clicks hit nothing in the hall: they end the greeting's lines.
constexpr int kNowhereX = 400;
constexpr int kNowhereY = 120;

// What the frames run: the hall at play; with a solved puzzle's burst always running; the same
// with the game runner's own share of the frame (the burst's update and drawing) left out, the
// base runner's alone.
enum TMode
{
    kHall = 0,
    kBurst = 1,
    kBurstBaseOnly = 2,
    kModes
};
TMode gMode = kHall;
// Processor milliseconds per frame, by mode, of the last run of each.
double gFrameMs[kModes] = {0, 0, 0};
// Processor milliseconds per frame spent in the runner's update (the tool tips' choice runs inside
// it), by mode: the game runner's whole update in the burst mode, the base's alone in the last.
double gUpdateMs[kModes] = {0, 0, 0};
// Whether the frames are being timed, and the update time summed over them.
bool gTiming = false;
double gUpdateSumMs = 0;
int gFrame = 0;
benchmark::State* gState = nullptr;
// The development entry that opens the location.
const char* gEntry = "scripts/dev/gatehouse.lua";
const char* gError = nullptr;
MKWGameplay* gRunner = nullptr;
// Processor time when the location script starts, at the runner's making and at its first frame
// with its scenes loaded; the frame count at the start and at that frame.
double gOpenedMs = -1;
double gMadeMs = -1;
double gReadyMs = -1;
int gOpenedFrame = -1;
int gReadyFrame = -1;

double ProcessorMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The game's runner, noting when it is made and when it first draws past its loading states.
class ProbeRunner : public MKWGameplay
{
public:
    static TWindow* Create()
    {
        gMadeMs = ProcessorMs();
        auto* runner = new ProbeRunner();
        gRunner = runner;
        return runner;
    }
    ~ProbeRunner() override { gRunner = nullptr; }
    void Update() override
    {
        if (gMode != kHall && GetGameplayState() == kPlay && !mPuzzleCompleteAwaited)
            PlayPuzzleComplete("complete(400,300,64)");
        const double start = gTiming ? ProcessorMs() : 0;
        if (gMode == kBurstBaseOnly)
            Gameplay::Update();
        else
            MKWGameplay::Update();
        if (gTiming)
            gUpdateSumMs += ProcessorMs() - start;
    }
    void UpdateToolTips(GameplayInventory* incomplete, bool visible, const TString& label,
                        const TPoint& point, const TVec4& colour) override
    {
        if (gMode == kBurstBaseOnly)
            Gameplay::UpdateToolTips(incomplete, visible, label, point, colour);
        else
            MKWGameplay::UpdateToolTips(incomplete, visible, label, point, colour);
    }
    void DrawExtra() override
    {
        if (gMode == kBurstBaseOnly)
            Gameplay::DrawExtra();
        else
            MKWGameplay::DrawExtra();
    }
    void Draw() override
    {
        const int32_t state = GetGameplayState();
        MKWGameplay::Draw();
        if (gReadyMs < 0 && state != kFirstFrame && state != kSceneLoading)
        {
            gReadyMs = ProcessorMs();
            gReadyFrame = gFrame;
        }
    }
};

void Step(TApplication* application, TGameRun& game)
{
    TPlatformEvent event;
    application->NextEvent(&event);
    gFrame += event.mType == kEventTick ? 1 : 0;
    game.Handle(event);
}

void Ticks(TApplication* application, TGameRun& game, int count)
{
    for (int end = gFrame + count; gFrame < end;)
        Step(application, game);
}

template <class TDone> bool WaitFor(TApplication* application, TGameRun& game, TDone done)
{
    for (int start = gFrame; gFrame - start < kWaitLimit && !done();)
        Step(application, game);
    return done();
}

void Click(TApplication* application, TGameRun& game, int x, int y)
{
    PushPictureMotion(x, y);
    Ticks(application, game, 2);
    PushPictureButton(true, x, y);
    Ticks(application, game, 2);
    PushPictureButton(false, x, y);
    Ticks(application, game, 30);
}

int GatehouseBenchMain(TApplication* application, const char*)
{
    benchmark::State& state = *gState;
    TGameRun game;
    game.Start(application);
    GetWindowManager()->RegisterWindowType("Gameplay", &ProbeRunner::Create);
    // The game draws only while its window has the focus.
    sys::PushWindowEvent(sys::WindowEventKind::FocusGained);
    Ticks(application, game, kMenuTicks);
    // Over the menu, as "Play" opens it but without waiting in the script's coroutine: a modal
    // window of its own built by the location's development entry.
    gOpenedMs = ProcessorMs();
    gOpenedFrame = gFrame;
    if (TWindowScript* script = GetWindowManager()->GetScript())
        script->DoLuaString(TString::Format("PushModal('gatehouse'); ReadFile('%s'); "
                                            "DoFitToChildren()",
                                            gEntry));

    if (!WaitFor(application, game, [] { return gReadyMs >= 0; }))
        gError = gMadeMs < 0 ? "the Gatehouse's runner was not made" : "the Gatehouse did not open";
    else
    {
        state.counters["opening_ms"] = gReadyMs - gOpenedMs;
        state.counters["opening_share_of_30_frames"] = (gReadyMs - gOpenedMs) / (30 * 16.7);
        state.counters["runner_made_ms"] = gMadeMs - gOpenedMs;
        state.counters["opening_ticks"] = gReadyFrame - gOpenedFrame;
        // Odo's two lines, clicked away; the hall is at play.
        for (int line = 0;
             line < 4 && gRunner != nullptr && gRunner->GetGameplayState() != Gameplay::kPlay;
             ++line)
            Click(application, game, kNowhereX, kNowhereY);
        WaitFor(application, game,
                []
                { return gRunner == nullptr || gRunner->GetGameplayState() == Gameplay::kPlay; });
        GameplayScene* hall = gRunner != nullptr ? gRunner->GetActiveScene() : nullptr;
        GameplayParticle* glow = hall != nullptr ? hall->FindParticle("lamp_glow") : nullptr;
        if (glow == nullptr || gRunner->GetGameplayState() != Gameplay::kPlay)
            gError = "the hall did not come to play";
        else
        {
            // Lit only at the end of the location: lit here, the frame has all it ever draws.
            glow->Activate(false, nullptr);
            sys::SetCursorPosOverride(false);
            Ticks(application, game, 30);
            gUpdateSumMs = 0;
            gTiming = true;
            const double start = ProcessorMs();
            for (auto _ : state)
            {
                const int frame = gFrame;
                while (gFrame == frame)
                    Step(application, game);
            }
            gFrameMs[gMode] = (ProcessorMs() - start) / static_cast<double>(state.iterations());
            gTiming = false;
            gUpdateMs[gMode] = gUpdateSumMs / static_cast<double>(state.iterations());
            state.counters["runner_update_ms"] = gUpdateMs[gMode];
            if (gRunner != nullptr && gRunner->GetActiveScene() != nullptr)
                state.counters["entities"] =
                    static_cast<double>(gRunner->GetActiveScene()->GetEntities().size());
            if (gRunner != nullptr && gRunner->GetHud() != nullptr)
                state.counters["hud_objects"] =
                    static_cast<double>(gRunner->GetHud()->GetShownInventory().size());
            // The runner's own share, once both burst runs are done: by the whole frame (the
            // bursts' drawing counted with it) and by the update alone (the tool tips' choice in
            // it), the game runner's less the base's.
            if (gMode == kBurstBaseOnly && gFrameMs[kBurst] > 0)
            {
                state.counters["runner_own_share_of_burst_frame"] =
                    (gFrameMs[kBurst] - gFrameMs[kBurstBaseOnly]) / gFrameMs[kBurst];
                state.counters["runner_own_update_share_of_burst_frame"] =
                    (gUpdateMs[kBurst] - gUpdateMs[kBurstBaseOnly]) / gFrameMs[kBurst];
            }
            state.counters["share_of_16.7ms"] =
                benchmark::Counter(static_cast<double>(state.iterations()) * 0.0167,
                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        }
    }
    sys::PushWindowEvent(sys::WindowEventKind::Close);
    game.Run(application);
    game.Stop(application);
    return 0;
}

// The whole run happens once, inside the platform's main function, on a data folder of its own.
void RunLocation(benchmark::State& state, const char* entry)
{
    const fs::path root = PrepareProgramRun("gatehouse");
    gEntry = entry;

    gState = &state;
    gMode = static_cast<TMode>(state.range(0));
    gError = nullptr;
    gFrame = 0;
    gRunner = nullptr;
    gOpenedMs = gMadeMs = gReadyMs = -1;
    gOpenedFrame = gReadyFrame = -1;
    RunProgram("options=start=scripts/mainmenu.lua", &GatehouseBenchMain);
    if (gError != nullptr)
        state.SkipWithError(gError);
    EndProgramRun(root);
}
void BM_GatehouseFrame(benchmark::State& state)
{
    RunLocation(state, "scripts/dev/gatehouse.lua");
}
BENCHMARK(BM_GatehouseFrame)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(600)
    ->ArgName("mode")
    ->Arg(kHall)
    ->Arg(kBurst)
    ->Arg(kBurstBaseOnly);

// Asked: the crowded frame with the burst running within 0.2 of the frame, and the runner's own
// update (its update with the tool tips' choice, less the base's) within 0.05 of that frame.
void BM_CrowdedHallFrame(benchmark::State& state)
{
    RunLocation(state, "scripts/dev/crowded_hall.lua");
}
BENCHMARK(BM_CrowdedHallFrame)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(600)
    ->ArgName("mode")
    ->Arg(kBurst)
    ->Arg(kBurstBaseOnly);

} // namespace
