// A windowed presentation of an 800 x 600 32-bit frame through the display's objects (the back
// buffer copied into the window's place on the primary and handed to the presenter), without and
// with a 32 x 32 cursor composed onto it, beside memcpy of the frame's bytes in the same run. As
// the program runs, in an 800 x 600 window (SDL's dummy driver: nothing is uploaded), and once
// without a window, where the presenter shows the whole desktop-sized primary.
#include "render/display/dx_context.h"
#include "render/display/platform.h"
#include "render/textures/texture.h"
#include "sys/display/device_caps.h"
#include "sys/display/direct_draw.h"
#include "sys/display/presenter/presenter.h"
#include "sys/window/window.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
constexpr uint32_t kWidth = 800;
constexpr uint32_t kHeight = 600;

void BM_MemcpyFrame(benchmark::State& state)
{
    const size_t bytes = size_t{kWidth} * kHeight * 4;
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state)
    {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_MemcpyFrame);

void Present(benchmark::State& state, bool withCursor, bool withWindow)
{
    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDesktopWidth = 1024;
    config.mDesktopHeight = 768;
    sys::display::SetDisplayConfig(config);
    sys::WindowHandle window = 0;
    if (withWindow)
    {
        sys::WindowDesc desc;
        desc.title = "Present benchmark";
        desc.width = static_cast<int>(kWidth);
        desc.height = static_cast<int>(kHeight);
        if (sys::InitWindowing())
            window = sys::CreateWindow(desc);
        if (window == 0)
        {
            state.SkipWithError("no window");
            return;
        }
    }
    struct WindowCloser
    {
        sys::WindowHandle mWindow;
        ~WindowCloser()
        {
            if (mWindow != 0)
                sys::DestroyWindow(mWindow);
        }
    } closer{window};
    TPlatform platform;
    TDXContext& context = *platform.GetContext();
    if (!context.Create(window, false, kWidth, kHeight, 32, 1))
    {
        state.SkipWithError("no windowed display");
        return;
    }
    if (withCursor)
    {
        // The texture needs the display handler's device.
        platform.GetData()->mDirectDraw = context.GetDirectDraw();
        platform.GetData()->mDevice = context.GetDevice();
        platform.GetData()->mBackBuffer = context.GetBackBuffer();
        auto cursor = TTexture::Create(32, 32, true);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (!cursor || !cursor->Lock(pixels, pitch))
        {
            state.SkipWithError("no cursor texture");
            return;
        }
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                pixels[y * pitch + x] = x <= y ? 0xC0FFFFFFu : 0;
        cursor->Unlock();
        context.SetMouseImage(cursor, 0, 0, true);
        sys::SetCursorPosOverride(true, 400, 300);
    }
    sys::display::Surface& back = *context.GetBackBuffer();
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            back.WriteRaw(x, y, x * 7 + y * 13);
    for (auto _ : state)
        benchmark::DoNotOptimize(context.Present());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kWidth * kHeight * 4));
    sys::SetCursorPosOverride(false);
}

void BM_WindowedPresent(benchmark::State& state)
{
    Present(state, false, true);
}
BENCHMARK(BM_WindowedPresent);

void BM_WindowedPresentWithCursor(benchmark::State& state)
{
    Present(state, true, true);
}
BENCHMARK(BM_WindowedPresentWithCursor);

void BM_WindowedPresentNoWindow(benchmark::State& state)
{
    Present(state, false, false);
}
BENCHMARK(BM_WindowedPresentNoWindow);

// The presenter's whole way into a real SDL window, as a menu frame takes it: the frame's copy,
// the texture upload, the scaling to the window (none in an 800 x 600 window, 1.28 x full screen
// on a 1024 x 768 desktop) and the present. Without a display, SDL's dummy driver gives the
// window a framebuffer that SDL's software renderer draws into, so the CPU's share is all there
// is; `frame_share` is the time as a part of a 60 Hz frame (16.7 ms) on one core.
void BM_PresentToWindow(benchmark::State& state)
{
    const int windowWidth = static_cast<int>(state.range(0));
    const int windowHeight = static_cast<int>(state.range(1));
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "dummy");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        state.SkipWithError("no video");
        return;
    }
    SDL_Window* window =
        SDL_CreateWindow("Present benchmark", 0, 0, windowWidth, windowHeight, SDL_WINDOW_HIDDEN);
    std::shared_ptr<sys::display::DirectDraw> display;
    std::shared_ptr<sys::display::Surface> frame;
    sys::display::SurfaceDesc desc;
    desc.mFlags = sys::display::SD_CAPS | sys::display::SD_WIDTH | sys::display::SD_HEIGHT;
    desc.mCaps = sys::display::CAPS_OFFSCREENPLAIN | sys::display::CAPS_3DDEVICE;
    desc.mWidth = kWidth;
    desc.mHeight = kHeight;
    if (window == nullptr ||
        sys::display::DirectDrawCreate(nullptr, &display) != sys::display::Result::Ok ||
        display->SetCooperativeLevel(static_cast<SDL_Window*>(nullptr), sys::display::SCL_NORMAL) !=
            sys::display::Result::Ok ||
        display->CreateSurface(desc, &frame) != sys::display::Result::Ok)
    {
        state.SkipWithError("no window or surface");
        if (window != nullptr)
            SDL_DestroyWindow(window);
        return;
    }
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            frame->WriteRaw(x, y, x * 7 + y * 13);
    {
        sys::display::Presenter presenter(window, true);
        const sys::display::Rect all{0, 0, static_cast<int32_t>(kWidth),
                                     static_cast<int32_t>(kHeight)};
        presenter.Present(*frame, all);
        if (presenter.HasFailed())
            state.SkipWithError("SDL refused the presentation");
        for (auto _ : state)
            presenter.Present(*frame, all);
    }
    state.counters["frame_share"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 60.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    frame.reset();
    display.reset();
    SDL_DestroyWindow(window);
}
BENCHMARK(BM_PresentToWindow)->Args({800, 600})->Args({1024, 768})->Unit(benchmark::kMicrosecond);

} // namespace
