// The benchmarks' headless display: an application with its main window (SDL's dummy driver) and
// the rendering layer's display at 800 x 600, made once for the program.
#pragma once

#include "platform/shell/application.h"
#include "render/display/platform.h"
#include "render/display/render_display_seam.h"

namespace particlebench
{
inline bool MakeDisplay()
{
    static bool ready = []
    {
        auto* impl = new TApplicationImpl(nullptr, nullptr, TCommandLine(""), 1, true);
        auto* application = new TApplication(impl);
        application->CreateMainWindow();
        SetDisplayFactory(&CreateRenderDisplaySeam);
        DestroyDisplay();
        auto* seam = static_cast<TRenderDisplaySeam*>(&GetDisplay());
        seam->CreateRenderer();
        if (seam->GetPlatform() == nullptr)
            return false;
        seam->GetPlatform()->SetDisplay(800, 600, false, true, true, false);
        return seam->GetPlatform()->IsDisplayReady();
    }();
    return ready;
}
} // namespace particlebench
