// AnimatedBitmapWindow: construction with its listener, the fixed placement, drawing, the
// per-frame step and pausing with the modal stack.
#include "framework/widgets/animated_bitmap_window.h"

#include "framework/widgets/animated_bitmap.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "ui/modal_window.h"
#include "ui/window_manager.h"
#include "ui/window_style.h"

AnimatedBitmapWindow::AnimatedBitmapWindow()
{
    if (TWindowManager* manager = GetWindowManager())
    {
        mListener = new MessageListener(this);
        manager->AddMessageListener(mListener);
    }
}

AnimatedBitmapWindow::~AnimatedBitmapWindow()
{
    if (mListener != nullptr)
    {
        TWindowManager* manager = GetWindowManager();
        if (manager != nullptr && manager->RemoveMessageListener(mListener))
            delete mListener;
        mListener = nullptr;
    }
    mBitmap.reset();
}

TWindow* AnimatedBitmapWindow::Create()
{
    return new AnimatedBitmapWindow();
}

TClassId AnimatedBitmapWindow::GetClassId()
{
    return reinterpret_cast<TClassId>(&AnimatedBitmapWindow::Create);
}

void AnimatedBitmapWindow::PostInit(TWindowStyle& style)
{
    TWindow::PostInit(style);
    SetPosition(0, 0);
    SetSize(800, 600);
    mBitmap = std::make_shared<AnimatedBitmap>(style);
}

bool AnimatedBitmapWindow::Animate()
{
    if (mBitmap)
        mBitmap->Update();
    return true;
}

void AnimatedBitmapWindow::Draw()
{
    if (!mBitmap)
        return;
    TRenderer* renderer = TRenderer::Existing();
    // An open block is used as it is, without the renderer's complaint about a second one.
    Render2dGuard guard;
    if (renderer != nullptr && !renderer->InBegin2d())
        guard.mOpened = renderer->Begin2d();
    mBitmap->Draw(TDrawSpec(TVec2(0, 0), 1.0f, 1.0f, 0));
    guard.End();
}

bool AnimatedBitmapWindow::MessageListener::OnMessage(TMessage* message)
{
    if (mWindow->GetParent() == nullptr || message == nullptr ||
        (message->mType != kModalClosed && message->mType != kUserMessageBase))
        return false;
    TWindowManager* manager = GetWindowManager();
    const TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    const TModalWindow* mine = mWindow->FindModalParent();
    const std::shared_ptr<AnimatedBitmap>& bitmap = mWindow->mBitmap;
    if (!bitmap)
        return false;
    if (top != mine && !bitmap->IsPaused())
        bitmap->Pause();
    else if (top == mine && bitmap->IsPaused())
        bitmap->Resume();
    return false;
}
