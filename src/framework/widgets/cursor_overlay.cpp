// The drawn cursor and its controller: loading a cursor table, the list rules, the per-pass step
// and drawing, and the system arrow moved by a cursor's own movement.
#include "framework/widgets/cursor_overlay.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "platform/shell/application.h"
#include "render/display/platform.h"
#include "render/renderer/renderer.h"
#include "script/lua_bind.h"
#include "script/lua_object_wrapper.h"
#include "script/window_script_seam.h"
#include "sys/window/window.h"

#include <cmath>
#include <limits>

namespace
{
const char* const kSource = "cursoroverlay";
const char* const kScriptFunctions[] = {"AddOverlayCursor", "ShowCursor", "RemoveCursor"};

// The own position last carried over to the system arrow; one for the whole process.
TVec2 gRemembered(0, 0);

// Toward zero; a difference beyond the integer range (or not a number) moves nothing.
int32_t TruncatedStep(float value)
{
    if (!(std::fabs(value) < 2147483520.0f))
        return 0;
    return static_cast<int32_t>(value);
}
} // namespace

CursorOverlay::CursorOverlay(const TLuaTable& table)
{
    std::unique_ptr<TLuaTable> main(table.GetTable("main"));
    if (!main)
    {
        ReportError("CursorOverlay has no main table!", kSource, __LINE__, true);
        return;
    }
    mMain = AnimatedBitmap::Create(*main);
    std::unique_ptr<TLuaTable> shadow(table.GetTable("shadow"));
    if (shadow)
        mShadow = AnimatedBitmap::Create(*shadow);
}

const TString& CursorOverlay::GetName() const
{
    static const TString kNone;
    return mMain ? mMain->GetName() : kNone;
}

void CursorOverlay::Draw(const TDrawSpec& spec)
{
    Settings* settings = Settings::Instance();
    if (settings == nullptr || !settings->mMouseInside)
        return;
    if (settings->mOsCursorShown)
    {
        MoveSystemArrow();
        return;
    }
    if (!mMain)
        return;
    const TDrawSpec combined = mSpec.Combine(spec);
    TRenderer* renderer = TRenderer::Existing();
    const bool begin = renderer != nullptr && !renderer->InBegin2d();
    if (begin)
        renderer->Begin2d();
    if (mShadow)
        mShadow->Draw(combined);
    mMain->Draw(combined);
    if (begin)
        renderer->End2d();
    // This is the frame's pointer: the display's drawn arrow is left off it.
    if (TPlatform* platform = TPlatform::Instance())
        platform->NoteCursorInFrame();
}

void CursorOverlay::MoveSystemArrow()
{
    const TVec2 own(mSpec.mMatrix.m[2][0], mSpec.mMatrix.m[2][1]);
    if (own.x == 0.0f && own.y == 0.0f)
    {
        gRemembered = TVec2(0, 0);
        return;
    }
    int x = 0;
    int y = 0;
    sys::GetCursorPos(x, y);
    x += TruncatedStep(own.x - gRemembered.x);
    y += TruncatedStep(own.y - gRemembered.y);
    sys::SetCursorPos(x, y);
    gRemembered = own;
}

CursorOverlayController::OnDrawTask::OnDrawTask(CursorOverlayController* owner)
    : TAnimTask(nullptr), mOwner(owner)
{
    DeltaTime* clock = DeltaTime::Instance();
    mLast = clock != nullptr ? clock->GetFrameTime() : 0;
    Suspend();
    SetRunOnDraw(true);
}

bool CursorOverlayController::OnDrawTask::Animate()
{
    DeltaTime* clock = DeltaTime::Instance();
    const uint32_t now = clock != nullptr ? clock->GetFrameTime() : 0;
    mOwner->Animate(now - mLast);
    mLast = now;
    return true;
}

CursorOverlayController::CursorOverlayController()
{
    SetPosition(0, 0);
    SetSize(800, 600);
    mDrawTask = std::make_unique<OnDrawTask>(this);
    if (TApplication* application = TApplication::Get())
        application->AddTask(mDrawTask.get());
    if (lua_State* L = GetWindowScriptState())
    {
        LuaBindMember(L, "AddOverlayCursor", this, &CursorOverlayController::AddOverlayCursor);
        LuaBindMember(L, "ShowCursor", this, &CursorOverlayController::ShowCursor);
        LuaBindMember(L, "RemoveCursor", this, &CursorOverlayController::RemoveCursor);
    }
}

CursorOverlayController::~CursorOverlayController()
{
    // A newer controller that took the names keeps them.
    if (lua_State* L = GetWindowScriptState())
        for (const char* name : kScriptFunctions)
            LuaUnbindMemberIfBound(L, name, this);
    mCursors.clear();
    // The task holds a plain pointer to this window: it must not run after it.
    if (TApplication* application = TApplication::Get())
        application->RemoveTask(mDrawTask.get());
    mDrawTask.reset();
}

TWindow* CursorOverlayController::Create()
{
    return new CursorOverlayController();
}

TClassId CursorOverlayController::GetClassId()
{
    return reinterpret_cast<TClassId>(&CursorOverlayController::Create);
}

void CursorOverlayController::AddOverlayCursor(TLuaTable* table)
{
    if (table == nullptr)
        return;
    AddCursor(std::make_shared<CursorOverlay>(*table));
}

void CursorOverlayController::AddCursor(const std::shared_ptr<CursorOverlay>& cursor)
{
    if (!cursor || !cursor->HasMain())
        return;
    for (const auto& listed : mCursors)
        if (listed->GetName() == cursor->GetName())
            return;
    const bool noneCurrent = mCurrent >= mCursors.size();
    mCursors.push_back(cursor);
    if (noneCurrent)
        mCurrent = mCursors.size() - 1;
}

void CursorOverlayController::RemoveCursor(const TString& name)
{
    for (size_t i = 0; i < mCursors.size(); ++i)
        if (mCursors[i]->GetName() == name)
        {
            // The current position keeps pointing at the same cursor, or at the one after the
            // removed current cursor (the end when it was the last).
            const bool noneCurrent = mCurrent >= mCursors.size();
            mCursors.erase(mCursors.begin() + static_cast<std::ptrdiff_t>(i));
            if (noneCurrent)
                mCurrent = mCursors.size();
            else if (i < mCurrent)
                --mCurrent;
            return;
        }
}

bool CursorOverlayController::FindCursor(const TString& name)
{
    for (size_t i = 0; i < mCursors.size(); ++i)
        if (mCursors[i]->GetName() == name)
        {
            mCurrent = i;
            return true;
        }
    const TString message = TString::Format("Cannot find cursor '%s'", name.c_str());
    ReportError(message.c_str(), kSource, __LINE__, false);
    return false;
}

void CursorOverlayController::Animate(uint32_t)
{
    CursorOverlay* cursor = GetCurrent();
    if (cursor == nullptr)
        return;
    if (Settings* settings = Settings::Instance())
    {
        mSpec.mMatrix.m[2][0] = static_cast<float>(settings->mMouseX);
        mSpec.mMatrix.m[2][1] = static_cast<float>(settings->mMouseY);
    }
    cursor->GetMain()->Update();
    if (cursor->GetShadow())
        cursor->GetShadow()->Update();
}

void CursorOverlayController::Draw()
{
    CursorOverlay* cursor = GetCurrent();
    if (mShown && cursor != nullptr)
        cursor->Draw(mSpec);
}
