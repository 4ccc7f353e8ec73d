// The display seam over TPlatform.
#include "render/render_display_seam.h"

#include "render/platform.h"

TRenderDisplaySeam::~TRenderDisplaySeam() = default;

bool TRenderDisplaySeam::CheckDevice()
{
    // Before the first display-mode change there is no device to lose (and none to mark broken).
    return Exists() ? mPlatform->CheckDevice() : true;
}

void TRenderDisplaySeam::Restore()
{
    if (mPlatform)
        mPlatform->GetData()->Restore();
}

bool TRenderDisplaySeam::IsFullScreen() const
{
    return mPlatform && mPlatform->IsFullScreen();
}

bool TRenderDisplaySeam::SetFullScreen(bool full)
{
    return mPlatform && mExists && mPlatform->SetFullScreen(full);
}

bool TRenderDisplaySeam::SetDisplay(sys::WindowHandle, int width, int height, bool full,
                                    bool hosted)
{
    CreateRenderer();
    mExists = true;
    mPlatform->SetDisplay(width, height, full, false, false, hosted);
    return false;
}

void TRenderDisplaySeam::GetWindowSize(int& width, int& height, bool& full) const
{
    width = height = 0;
    full = false;
    if (mPlatform)
        mPlatform->GetWindowSize(width, height, full);
}

void TRenderDisplaySeam::GetViewport(int& width, int& height) const
{
    width = height = 0;
    if (mPlatform)
    {
        width = mPlatform->GetData()->mViewport.Width();
        height = mPlatform->GetData()->mViewport.Height();
    }
}

void TRenderDisplaySeam::ResetWorkingCount()
{
    if (mPlatform)
        mPlatform->ResetWorkingCount();
}

void TRenderDisplaySeam::UpdateDesktopMode()
{
    if (mPlatform)
        mPlatform->UpdateDesktopMode();
}

void TRenderDisplaySeam::OnOutOfVideoMemory()
{
    if (mPlatform)
        mPlatform->OnOutOfVideoMemory();
}

void TRenderDisplaySeam::SetVSync(bool on)
{
    mVSync = on;
    if (mPlatform)
        mPlatform->SetVSync(on);
}

bool TRenderDisplaySeam::IsPresentDone()
{
    return Exists() ? mPlatform->IsPresentDone() : true;
}

void TRenderDisplaySeam::CreateRenderer()
{
    if (mPlatform)
        return;
    mPlatform = std::make_unique<TPlatform>();
    mPlatform->SetVSync(mVSync);
}

void TRenderDisplaySeam::DestroyRenderer()
{
    mPlatform.reset();
    mExists = false;
}

std::unique_ptr<TDisplaySeam> CreateRenderDisplaySeam()
{
    return std::make_unique<TRenderDisplaySeam>();
}
