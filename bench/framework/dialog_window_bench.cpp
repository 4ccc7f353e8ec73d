// A dialog's per-frame step while it enters over a screen of 200 windows (its fade visits the
// whole tree beside it), against a visit of the same tree by a spider that does nothing.
#include "framework/adventure/dialog_window.h"
#include "framework/core/delta_time.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "render/display/render_display_seam.h"
#include "ui/image.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include "ui/window_bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{
constexpr int kWindows = 200;

TApplication* Application()
{
    static TApplication* app = MakeWindowBenchApplication();
    return app;
}

// Visits every window of the subtree and changes nothing.
class IdleSpider : public TWindowSpider
{
public:
    bool Visit(TWindow* window) override
    {
        window->VisitChildren(*this, false);
        return true;
    }
};

// A screen of 200 windows, every other one an image, in groups of ten so the tree has depth;
// the dialog is the screen's last child.
struct Screen
{
    Screen()
    {
        Application();
        TWindowManager* manager = GetWindowManager();
        mRoot = manager->GetTopModal();
        mScreen = new GameWindow;
        mScreen->SetSize(800, 600);
        TWindow* group = nullptr;
        for (int i = 0; i < kWindows; ++i)
        {
            TWindow* window = i % 2 == 0 ? new TImage(false) : new TWindow;
            window->SetPosition((i * 37) % (800 - 64), (i * 53) % (600 - 64));
            window->SetSize(64, 64);
            if (i % 10 == 0)
            {
                mScreen->AddChild(window, false);
                group = window;
            }
            else
            {
                group->AddChild(window, false);
            }
        }
        mDialog = new DialogWindow;
        mDialog->SetSize(100, 50);
        mScreen->AddChild(mDialog, false);
        mRoot->AddChild(mScreen, false);
        manager->DispatchMessages();
    }
    ~Screen()
    {
        mRoot->RemoveChild(mScreen);
        delete mScreen;
        GetWindowManager()->DispatchMessages();
    }

    DeltaTime mClock;
    TransformManager mTransforms;
    TModalWindow* mRoot = nullptr;
    GameWindow* mScreen = nullptr;
    DialogWindow* mDialog = nullptr;
};

void BM_DialogStepWhileEnteringOver200Windows(benchmark::State& state)
{
    Screen screen;
    screen.mDialog->StartEnter();
    // The alpha changes every frame while the dialog enters.
    float alpha = 0;
    for (auto _ : state)
    {
        alpha = alpha < 1 ? alpha + 0.01f : 0;
        screen.mDialog->GetTransform().SetAlpha(alpha);
        benchmark::DoNotOptimize(screen.mDialog->Update());
    }
}
BENCHMARK(BM_DialogStepWhileEnteringOver200Windows)->Unit(benchmark::kMicrosecond);

// The peer: the same tree visited by a spider that does nothing.
void BM_IdleVisitOf200Windows(benchmark::State& state)
{
    Screen screen;
    IdleSpider spider;
    for (auto _ : state)
    {
        screen.mScreen->VisitChildren(spider, false);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_IdleVisitOf200Windows)->Unit(benchmark::kMicrosecond);

} // namespace
