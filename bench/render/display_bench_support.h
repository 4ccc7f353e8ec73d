// Shared by the rendering benchmarks: a windowed 800 x 600 display for the renderer without an
// application (the display handler's set-up needs one; the fields it fills are filled here).
#pragma once

#include "render/renderer/renderer.h"
#include "sys/display/device_caps.h"

inline TRenderer* MakeBenchRenderer()
{
    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDesktopWidth = 1024;
    config.mDesktopHeight = 768;
    sys::display::SetDisplayConfig(config);
    TRenderer::DestroyInstance();
    TRenderer* renderer = TRenderer::Instance();
    TPlatform& platform = renderer->GetPlatform();
    TDXContext& context = *platform.GetContext();
    if (!context.Create(0, false, 800, 600, 32, 1))
        return nullptr;
    TPlatformData& d = *platform.GetData();
    d.mDirectDraw = context.GetDirectDraw();
    d.mDirect3D = context.GetDirect3D();
    d.mDevice = context.GetDevice();
    d.mDevice->GetRenderTarget(&d.mBackBuffer);
    d.mRenderTarget = d.mBackBuffer;
    d.mViewport = d.mScreenRect = d.mClipRect = d.mTargetViewport = TRect(0, 0, 800, 600);
    d.mFullScreen = false;
    return renderer;
}
