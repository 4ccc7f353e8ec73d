// MouseOverlay: tracking the mouse into the trail's vector and globals, the per-frame task and
// drawing the trail inside a 2-D block.
#include "framework/widgets/mouse_overlay.h"

#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "platform/shell/application.h"
#include "render/renderer/renderer.h"
#include "script/script.h"

#include <charconv>
#include <cmath>

namespace
{
// Ends the 2-D block on every way out of Draw when Draw began it.
struct T2dBlock
{
    explicit T2dBlock(TRenderer* renderer) : mRenderer(renderer) {}
    ~T2dBlock()
    {
        if (mRenderer != nullptr)
            mRenderer->End2d();
    }
    TRenderer* mRenderer;
};

float Length(int32_t x, int32_t y)
{
    const auto fx = static_cast<float>(x);
    const auto fy = static_cast<float>(y);
    return std::sqrt(fx * fx + fy * fy);
}
} // namespace

MouseOverlay::MouseOverlayTask::MouseOverlayTask(MouseOverlay* owner)
    : TAnimTask(nullptr), mOwner(owner)
{
    Suspend();
    SetRunOnDraw(true);
}

bool MouseOverlay::MouseOverlayTask::Run()
{
    if (!mDrawn)
        return true;
    if (!WindowManager::IsApplicationActive())
        return true;
    Settings* settings = Settings::Instance();
    if (settings != nullptr)
        mOwner->TrackMouse(TPoint{settings->mMouseX, settings->mMouseY});
    DeltaTime* clock = DeltaTime::Instance();
    mOwner->UpdateParticles(clock != nullptr ? static_cast<int32_t>(clock->GetStep()) : 0);
    mDrawn = false;
    return true;
}

MouseOverlay::MouseOverlay() : MouseOverlay(false) {}

MouseOverlay::MouseOverlay(bool suspended) : mSuspended(suspended)
{
    if (Settings* settings = Settings::Instance())
    {
        mLastX = settings->mMouseX;
        mLastY = settings->mMouseY;
    }
    mMouseVector.mWidth = 2;
    mTask = std::make_unique<MouseOverlayTask>(this);
    SetPosition(0, 0);
    SetSize(800, 600);
    mParticles = std::make_shared<TLuaParticleSystem>(&mRenderer);
    if (TApplication* application = TApplication::Get())
        application->AddTask(mTask.get());
}

MouseOverlay::~MouseOverlay()
{
    // The task holds a plain pointer to this window: it must not run after it.
    if (TApplication* application = TApplication::Get())
        application->RemoveTask(mTask.get());
    mTask.reset();
    mParticles.reset();
}

TWindow* MouseOverlay::Create()
{
    return new MouseOverlay();
}

TClassId MouseOverlay::GetClassId()
{
    return reinterpret_cast<TClassId>(&MouseOverlay::Create);
}

void MouseOverlay::StartTrail()
{
    if (mTrailStarted)
        return;
    mTrailStarted = true;
    mParticles->RegisterFunction("dMouse", &mMouseVector);
    mParticles->Load(kTrailScript);
}

void MouseOverlay::UpdateParticles(int32_t milliseconds)
{
    if (milliseconds < 100)
        mParticles->Update(milliseconds);
}

void MouseOverlay::TrackMouse(const TPoint& point)
{
    if ((point.x != mLastX || point.y != mLastY) && !mSuspended)
    {
        StartTrail();
        mMouseVector.mValue[0] = static_cast<float>(point.x);
        mMouseVector.mValue[1] = static_cast<float>(point.y);
        if (TScript* script = mParticles->GetScript())
        {
            script->DoLuaString("gActive = 1;");
            const float d = std::fabs(Length(point.x, point.y) - Length(mLastX, mLastY));
            // Fixed notation with six decimals, whatever the process's locale.
            char text[64] = "gDistance = ";
            const size_t prefix = 12;
            const auto [end, error] =
                std::to_chars(text + prefix, text + sizeof(text) - 1, static_cast<double>(d),
                              std::chars_format::fixed, 6);
            if (error == std::errc())
            {
                *end = '\0';
                script->DoLuaString(text);
            }
        }
    }
    mLastX = point.x;
    mLastY = point.y;
}

void MouseOverlay::Draw()
{
    if (mTask == nullptr)
        return;
    TRenderer* renderer = TRenderer::Existing();
    {
        T2dBlock block(renderer != nullptr && !renderer->InBegin2d() && renderer->Begin2d()
                           ? renderer
                           : nullptr);
        mParticles->Draw(TVec3(0, 0, 0));
    }
    mTask->mDrawn = true;
}
