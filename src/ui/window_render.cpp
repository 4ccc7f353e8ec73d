// Drawing of the window tree through the renderer: a window's render passes with clipping, the
// screen's clear, the modal windows from the top covering one up, and the frame itself.
#include "platform/shell/application.h"
#include "render/renderer/renderer.h"
#include "render/textures/texture.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"

namespace
{
// The hover outline: opaque yellow bars two pixels wide.
constexpr int32_t kOutlineWidth = 2;

bool IsEmpty(const TRect& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

} // namespace

bool TWindow::Render(int pass)
{
    if ((mFlags & kWindowVisible) == 0)
        return false;
    if (pass == 1)
    {
        if ((mFlags & kWindowRenderTargetPass) == 0 || mParent == nullptr ||
            (mParent->mFlags & kWindowInRenderTarget) == 0)
            return false;
        mFlags |= kWindowInRenderTarget;
    }
    else if (pass == 2 && (mFlags & kWindowInRenderTarget) != 0)
    {
        return false;
    }
    TRenderer* renderer = TRenderer::Instance();
    TRect screen = GetScreenRect();
    TRect clip;
    clip.SetIntersection(renderer->GetClipRect(), screen);
    // Clipped away: the whole subtree is skipped for the price of one intersection.
    if (IsEmpty(clip))
        return true;
    bool viewport = screen.right != 0;
    if (viewport)
        renderer->PushViewport(screen);
    renderer->PushClipRect(clip);
    Draw();
    for (auto it = mChildren.rbegin(); it != mChildren.rend(); ++it)
    {
        // Modal windows are drawn by the window manager.
        if (((*it)->mFlags & kWindowModal) == 0)
            (*it)->Render(pass);
    }
    PostDraw();
    if (viewport)
        renderer->PopViewport();
    renderer->PopClipRect();
    return true;
}

void TScreen::Draw()
{
    TWindowManager* manager = GetWindowManager();
    bool top = manager != nullptr && manager->GetTopModal() == this;
    if (!mNeverClear && (mAlwaysClear || top))
    {
        TRenderer* renderer = TRenderer::Instance();
        renderer->FillRect(renderer->GetViewport(), mClearColor);
    }
    // What render pass 1 drew into the manager's target shows behind the screen's children.
    if (manager != nullptr && manager->GetRenderTarget())
        manager->GetRenderTarget()->Draw(TDrawSpec());
}

void TWindowManager::RenderModals(int pass)
{
    if (mModalsChanged)
        return;
    TApplication* app = TApplication::Get();
    if (app == nullptr || app->GetImpl() == nullptr || mModals.empty())
        return;
    TApplicationImpl* impl = app->GetImpl();
    if (!impl->IsDisplayReady())
        return;
    TModalWindow* top = mModals.front();
    if (pass == 2 || mTopModalOnly)
    {
        top->Render(pass);
        return;
    }
    // Modals under a full-size covering modal are not drawn at all.
    auto start = std::prev(mModals.end());
    for (auto it = mModals.begin(); it != mModals.end(); ++it)
    {
        TModalWindow* m = *it;
        if ((m->GetFlags() & kWindowCovers) != 0 && mRoot != nullptr &&
            m->GetWidth() == mRoot->GetWidth() && m->GetHeight() == mRoot->GetHeight())
        {
            start = it;
            break;
        }
    }
    for (auto it = start;; --it)
    {
        if (!impl->IsDisplayReady())
            return;
        if (pass == 0 || *it != top)
            (*it)->Render(pass);
        if (mModalsChanged || it == mModals.begin())
            return;
    }
}

bool TWindowManager::PaintFrame()
{
    TRenderer* renderer = TRenderer::Instance();
    if (mRenderTarget)
    {
        // The windows that take part in pass 1 are drawn into the target first; the screen
        // then shows it, and pass 2 draws the rest.
        if (renderer->BeginRenderTarget(mRenderTarget, 0))
        {
            RenderModals(1);
            renderer->EndDraw();
        }
        if (!renderer->BeginDraw(false))
            return false;
        mDirty = false;
        if (mRoot != nullptr)
            mRoot->Render(0);
        RenderModals(2);
    }
    else
    {
        if (!renderer->BeginDraw(false))
            return false;
        mDirty = false;
        RenderModals(0);
    }
    for (size_t i = 0; i < mOverlays.size(); ++i)
        mOverlays[i]->Render(0);
    if (mOutlineHover && mHover != nullptr && mRoot != nullptr)
    {
        TRect rootRect = mRoot->GetRect();
        renderer->PushClipRect(rootRect);
        renderer->PushViewport(rootRect);
        TRect s = mHover->GetScreenRect();
        const TVec4 yellow(1, 1, 0, 1);
        renderer->FillRect(TRect(s.left, s.top, s.right, s.top + kOutlineWidth), yellow);
        renderer->FillRect(TRect(s.left, s.bottom - kOutlineWidth, s.right, s.bottom), yellow);
        renderer->FillRect(TRect(s.left, s.top, s.left + kOutlineWidth, s.bottom), yellow);
        renderer->FillRect(TRect(s.right - kOutlineWidth, s.top, s.right, s.bottom), yellow);
        renderer->PopViewport();
        renderer->PopClipRect();
    }
    renderer->EndFrame(true);
    return true;
}
