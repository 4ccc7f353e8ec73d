// Frames of the window tree on the headless display: 500 windows 10 levels deep that draw nothing
// (the tree walk with the clip and viewport stacks) beside an empty frame, and 500 windows filling
// 64 x 64 each on 800 x 600 beside the same 500 fills made straight through the renderer and the
// same pixels drawn as 500 opaque 64 x 64 sprites.
#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "render/display/render_display_seam.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

#include "window_bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace
{

TApplication* Application()
{
    static TApplication* app = MakeWindowBenchApplication();
    return app;
}

TModalWindow* Root()
{
    Application();
    TWindowManager* manager = GetWindowManager();
    TModalWindow* root = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (root != nullptr)
    {
        while (!root->GetChildren().empty())
        {
            TWindow* child = root->GetChildren().front();
            root->RemoveChild(child);
            delete child;
        }
    }
    return root;
}

TRect FillRectOf(int i)
{
    int x = (i * 37) % (800 - 64);
    int y = (i * 53) % (600 - 64);
    return TRect(x, y, x + 64, y + 64);
}

bool Frame(TRenderer* renderer, TWindow* root)
{
    if (!renderer->BeginDraw(false))
        return false;
    if (root != nullptr)
        root->Render(0);
    renderer->EndFrame(false);
    return true;
}

} // namespace

static void EmptyFrame(benchmark::State& state)
{
    if (Root() == nullptr)
        return state.SkipWithError("no display");
    TRenderer* renderer = TRenderer::Instance();
    int drawn = 0;
    for (auto _ : state)
        drawn += Frame(renderer, nullptr);
    state.counters["drawn"] = drawn;
}
BENCHMARK(EmptyFrame);

static void FrameOf500EmptyWindows(benchmark::State& state)
{
    TModalWindow* root = Root();
    if (root == nullptr)
        return state.SkipWithError("no display");
    for (int column = 0; column < 50; ++column)
    {
        TWindow* parent = root;
        for (int level = 0; level < 10; ++level)
        {
            auto* w = new TWindow();
            w->SetPosition(level == 0 ? column * 16 : 1, level == 0 ? 0 : 2);
            w->SetSize(level == 0 ? 16 : parent->GetWidth() - 1, 600 - 4 * level);
            parent->AddChild(w, false);
            parent = w;
        }
    }
    // Nothing draws, the screen included.
    static_cast<TScreen*>(root)->mNeverClear = true;
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
        Frame(renderer, root);
    static_cast<TScreen*>(root)->mNeverClear = false;
}
BENCHMARK(FrameOf500EmptyWindows);

static void FrameOf500FillingWindows(benchmark::State& state)
{
    TModalWindow* root = Root();
    if (root == nullptr)
        return state.SkipWithError("no display");
    for (int i = 0; i < 500; ++i)
    {
        auto* w = new GreyFillWindow();
        TRect r = FillRectOf(i);
        w->SetPosition(r.left, r.top);
        w->SetSize(64, 64);
        root->AddChild(w, false);
    }
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
        Frame(renderer, root);
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(FrameOf500FillingWindows);

// The peer: the same pixels filled straight through the renderer, the screen cleared first.
static void FrameOf500DirectFills(benchmark::State& state)
{
    TModalWindow* root = Root();
    if (root == nullptr)
        return state.SkipWithError("no display");
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
    {
        if (!renderer->BeginDraw(false))
            continue;
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 0));
        for (int i = 0; i < 500; ++i)
            renderer->FillRect(FillRectOf(i), TVec4(0.5f, 0.5f, 0.5f, 1));
        renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(FrameOf500DirectFills);

// The renderer's sprite path over the same pixels: an opaque grey 64 x 64 texture drawn 500 times.
static void FrameOf500Sprites(benchmark::State& state)
{
    TModalWindow* root = Root();
    std::shared_ptr<TTexture> sprite = root != nullptr ? TTexture::Create(64, 64, false) : nullptr;
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!sprite || !sprite->Lock(pixels, pitch))
        return state.SkipWithError("no display");
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            pixels[y * pitch + x] = 0xFF808080u;
    sprite->Unlock();
    TRenderer* renderer = TRenderer::Instance();
    for (auto _ : state)
    {
        if (!renderer->BeginDraw(false))
            continue;
        renderer->FillRect(TRect(0, 0, 800, 600), TVec4(0, 0, 0, 0));
        renderer->Begin2d();
        for (int i = 0; i < 500; ++i)
        {
            TRect r = FillRectOf(i);
            sprite->DrawAt(static_cast<float>(r.left), static_cast<float>(r.top), 1, 1, 0, 0);
        }
        renderer->End2d();
        renderer->EndFrame(false);
    }
    state.SetItemsProcessed(state.iterations() * 500);
}
BENCHMARK(FrameOf500Sprites);
