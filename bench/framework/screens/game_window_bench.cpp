// A framework frame (the frame driver's step, then the window tree drawn on the headless display)
// over 200 windows filling 64 x 64 each under a screen window, beside the same tree under a plain
// window.
#include "framework/core/delta_time.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "render/display/render_display_seam.h"
#include "render/renderer/renderer.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include "ui/window_bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace
{
constexpr int kWindows = 200;

TApplication* Application()
{
    static TApplication* app = MakeWindowBenchApplication();
    return app;
}

void RunFrames(benchmark::State& state, TWindow* parent)
{
    Application();
    TWindowManager* manager = GetWindowManager();
    TModalWindow* root = manager->GetTopModal();
    parent->SetSize(800, 600);
    for (int i = 0; i < kWindows; ++i)
    {
        auto* window = new GreyFillWindow;
        window->SetPosition((i * 37) % (800 - 64), (i * 53) % (600 - 64));
        window->SetSize(64, 64);
        parent->AddChild(window, false);
    }
    root->AddChild(parent, false);
    manager->DispatchMessages();
    DeltaTime clock;
    TransformManager transforms;
    WindowManager frames;
    frames.AddClient(&transforms, true);
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
    {
        frames.Run();
        if (renderer->BeginDraw(false))
        {
            root->Render(0);
            renderer->EndFrame(false);
        }
    }
    root->RemoveChild(parent);
    delete parent;
    manager->DispatchMessages();
}

void BM_FrameOf200WindowsUnderAScreen(benchmark::State& state)
{
    RunFrames(state, new GameWindow);
}
BENCHMARK(BM_FrameOf200WindowsUnderAScreen)->Unit(benchmark::kMicrosecond);

// The peer: the same tree under a plain window.
void BM_FrameOf200WindowsUnderAPlainWindow(benchmark::State& state)
{
    RunFrames(state, new TWindow);
}
BENCHMARK(BM_FrameOf200WindowsUnderAPlainWindow)->Unit(benchmark::kMicrosecond);

} // namespace
