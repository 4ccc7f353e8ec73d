// The display handler's software-cursor operations: each hands the work to the context's cursor
// compositor, which holds the mouse mutex for it.
#include "render/display/dx_context.h"
#include "render/display/platform.h"

#include "platform/shell/application.h"
#include "sys/window/window.h"

namespace
{
TApplicationImpl* Impl()
{
    TApplication* application = TApplication::Get();
    return application ? application->GetImpl() : nullptr;
}
} // namespace

void TPlatform::DrawMouse(int x, int y, int& drawnX, int& drawnY)
{
    drawnX = drawnY = -1;
    if (TDXContext* context = GetContext())
        context->DrawMouse(x, y, false, &drawnX, &drawnY);
}

void TPlatform::EraseMouse()
{
    if (TDXContext* context = GetContext())
        context->EraseMouse();
}

void TPlatform::ShowMouse(bool show)
{
    // The context sets the system cursor with `show` as the flag, the class cursor in a window
    // with a system image, then hides (erases) or shows (draws, forced) the drawn one.
    if (TDXContext* context = GetContext())
        context->ShowMouse(show);
}

void TPlatform::ShowSystemCursor()
{
    TApplicationImpl* impl = Impl();
    TDXContext* context = GetContext();
    if (context)
        context->SetCursorShape(impl && impl->mCursor.mMouseShown);
    else
        sys::SetCursor(0);
}

void TPlatform::GetDrawnMousePosition(int& x, int& y)
{
    x = y = -1;
    if (TDXContext* context = GetContext())
        context->RefreshMousePosition(x, y);
}

void TPlatform::UpdateWindowBounds()
{
    TDXContext* context = GetContext();
    if (!context)
        return;
    // A moved window invalidates the saved background; the position is read again.
    const bool drawn = context->IsCursorDrawn();
    context->UpdateMouseBounds();
    if (drawn && !context->IsCursorDrawn())
    {
        int x = 0, y = 0;
        context->RefreshMousePosition(x, y);
    }
}

void TPlatform::GetWindowOrigin(int& x, int& y) const
{
    x = y = 0;
    TApplicationImpl* impl = Impl();
    if (IsFullScreen() || !impl || impl->mMainWindow == 0)
        return;
    sys::ClientToScreen(impl->mMainWindow, x, y);
}

void TPlatform::ResetMouseImage()
{
    if (TDXContext* context = GetContext())
        context->ResetMouse();
}

void TPlatform::SetCursorTexture(const std::shared_ptr<TTexture>& texture, int hotX, int hotY,
                                 int slot)
{
    if (TDXContext* context = GetContext())
        context->SetMouseImage(texture, hotX, hotY, slot == 1);
}

void TPlatform::NoteCursorInFrame()
{
    if (TDXContext* context = GetContext())
        context->NoteCursorInFrame();
}
