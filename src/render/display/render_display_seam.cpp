// The display seam over the renderer and its display handler.
#include "render/display/render_display_seam.h"

#include "render/display/platform.h"
#include "render/renderer/renderer.h"
#include "render/text/text_layout.h"
#include "render/textures/texture.h"
#include "render/text/vector_draw_renderer.h"
#include "render/text/vector_rasteriser.h"

TRenderDisplaySeam::TRenderDisplaySeam()
{
    SetFontMap(&mFontMap);
}

TRenderDisplaySeam::~TRenderDisplaySeam()
{
    DestroyVectorRasteriser();
    if (&::GetFontMap() == &mFontMap)
        SetFontMap(nullptr);
    mFontMap.Clear();
}

void TRenderDisplaySeam::CreateVectorRasteriser()
{
    if (mRasteriser != nullptr)
        return;
    mVecDevice = std::make_unique<TRendererVecDrawDevice>();
    mRasteriser = std::make_unique<TQmMiniVecDraw>(mVecDevice.get());
    if (Exists())
        mRasteriser->SelfTest();
    SetTextRasteriser(mRasteriser.get());
}

void TRenderDisplaySeam::DestroyVectorRasteriser()
{
    if (GetTextRasteriser() == mRasteriser.get())
        SetTextRasteriser(nullptr);
    mRasteriser.reset();
    mVecDevice.reset();
}

TPlatform* TRenderDisplaySeam::GetPlatform() const
{
    TRenderer* renderer = TRenderer::Existing();
    return renderer ? &renderer->GetPlatform() : nullptr;
}

bool TRenderDisplaySeam::CheckDevice()
{
    // Before the first display-mode change there is no device to lose (and none to mark broken).
    return Exists() ? GetPlatform()->CheckDevice() : true;
}

bool TRenderDisplaySeam::IsRestoreHeldOff()
{
    TPlatform* platform = GetPlatform();
    return Exists() && platform != nullptr && platform->IsRestoreHeldOff();
}

void TRenderDisplaySeam::Restore()
{
    if (TPlatform* platform = GetPlatform())
        platform->GetData()->Restore();
}

bool TRenderDisplaySeam::IsFullScreen() const
{
    TPlatform* platform = GetPlatform();
    return platform && platform->IsFullScreen();
}

bool TRenderDisplaySeam::SetFullScreen(bool full)
{
    return Exists() && GetPlatform()->SetFullScreen(full);
}

bool TRenderDisplaySeam::SetDisplay(sys::WindowHandle, int width, int height, bool full,
                                    bool hosted)
{
    CreateRenderer();
    mExists = true;
    GetPlatform()->SetDisplay(width, height, full, false, false, hosted);
    return false;
}

void TRenderDisplaySeam::GetWindowSize(int& width, int& height, bool& full) const
{
    width = height = 0;
    full = false;
    if (TPlatform* platform = GetPlatform())
        platform->GetWindowSize(width, height, full);
}

void TRenderDisplaySeam::GetViewport(int& width, int& height) const
{
    width = height = 0;
    if (TPlatform* platform = GetPlatform())
    {
        width = platform->GetData()->mViewport.Width();
        height = platform->GetData()->mViewport.Height();
    }
}

void TRenderDisplaySeam::ResetWorkingCount()
{
    if (TPlatform* platform = GetPlatform())
        platform->ResetWorkingCount();
}

void TRenderDisplaySeam::UpdateDesktopMode()
{
    if (TPlatform* platform = GetPlatform())
        platform->UpdateDesktopMode();
}

void TRenderDisplaySeam::OnOutOfVideoMemory()
{
    if (TPlatform* platform = GetPlatform())
        platform->OnOutOfVideoMemory();
}

void TRenderDisplaySeam::SetVSync(bool on)
{
    mVSync = on;
    if (TPlatform* platform = GetPlatform())
        platform->SetVSync(on);
}

bool TRenderDisplaySeam::IsPresentDone()
{
    return Exists() ? GetPlatform()->IsPresentDone() : true;
}

void TRenderDisplaySeam::CreateRenderer()
{
    if (TRenderer::Existing())
        return;
    TRenderer::Instance()->GetPlatform().SetVSync(mVSync);
}

void TRenderDisplaySeam::DestroyRenderer()
{
    TRenderer::DestroyInstance();
    mExists = false;
}

void TRenderDisplaySeam::ToggleStatsOverlay()
{
    if (TRenderer* renderer = TRenderer::Existing())
        renderer->ToggleStatsOverlay();
}

void TRenderDisplaySeam::ReplaceClipRect(int width, int height)
{
    if (TRenderer* renderer = TRenderer::Existing())
    {
        renderer->PopClipRect();
        renderer->PushClipRect(TRect(0, 0, width, height));
    }
}

std::shared_ptr<TTexture> TRenderDisplaySeam::LoadSystemCursorTexture()
{
    return Exists() ? TTexture::GetSimple("__systemcursor__.png") : nullptr;
}

void TRenderDisplaySeam::GetDrawnMousePosition(int& x, int& y) const
{
    if (Exists())
        GetPlatform()->GetDrawnMousePosition(x, y);
    else
        TNoDisplay::GetDrawnMousePosition(x, y);
}

bool TRenderDisplaySeam::ShowSystemCursor()
{
    if (!Exists())
        return false;
    GetPlatform()->ShowSystemCursor();
    return true;
}

void TRenderDisplaySeam::ShowMouse(bool show)
{
    if (Exists())
        GetPlatform()->ShowMouse(show);
}

void TRenderDisplaySeam::SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX,
                                          int hotY, int slot)
{
    if (Exists())
        GetPlatform()->SetCursorTexture(texture, hotX, hotY, slot);
}

void TRenderDisplaySeam::DrawMouse(int x, int y)
{
    int drawnX = 0, drawnY = 0;
    if (Exists())
        GetPlatform()->DrawMouse(x, y, drawnX, drawnY);
}

void TRenderDisplaySeam::EraseMouse()
{
    if (Exists())
        GetPlatform()->EraseMouse();
}

void TRenderDisplaySeam::UpdateWindowBounds()
{
    if (Exists())
        GetPlatform()->UpdateWindowBounds();
}

void TRenderDisplaySeam::RunRenderSelfTest()
{
    if (Exists())
        GetPlatform()->RunRenderSelfTest();
}

std::unique_ptr<TDisplaySeam> CreateRenderDisplaySeam()
{
    return std::make_unique<TRenderDisplaySeam>();
}
