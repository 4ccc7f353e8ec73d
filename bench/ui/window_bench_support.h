// Shared by the benchmarks of window trees: an application on SDL's dummy drivers whose window
// manager is the toolkit's and whose display is the renderer's, at 800 x 600, and a window that
// fills its client rectangle in grey.
#pragma once

#include "platform/shell/application.h"
#include "platform/shell/command_line.h"
#include "render/display/render_display_seam.h"
#include "render/renderer/renderer.h"
#include "ui/window.h"
#include "ui/window_manager.h"

#include <cstdlib>

// Each benchmark file makes its own once: a display made before (by another benchmark) is not
// the renderer's, so it is destroyed first.
inline TApplication* MakeWindowBenchApplication()
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetDisplayFactory(&CreateRenderDisplaySeam);
    DestroyDisplay();
    SetWindowManagerFactory(&CreateWindowManager);
    auto* app = new TApplication(
        new TApplicationImpl(nullptr, nullptr, TCommandLine("--multiple"), 1, true));
    app->CreateMainWindow();
    app->SetDisplayMode(800, 600, false);
    return app;
}

class GreyFillWindow : public TWindow
{
public:
    void Draw() override
    {
        TRenderer::Instance()->FillRect(GetClientRect(), TVec4(0.5f, 0.5f, 0.5f, 1));
    }
};
