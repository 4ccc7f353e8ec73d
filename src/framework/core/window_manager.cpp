// The framework's frame driver.
#include "framework/core/window_manager.h"

#include "framework/sound/audio_manager.h"
#include "framework/core/delta_time.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "platform/shell/application.h"
#include "platform/seams/window_manager_seam.h"
#include "script/lua_bind.h"
#include "script/window_script_seam.h"
#include "ui/window_manager.h"

WindowManager::WindowManager() : TAnimTask(nullptr), mCreateTextures(this), mRefreshListener(this)
{
    SetInstance(this);
    mApplicationActive = ReadApplicationActive() ? 1 : 0;
    Suspend();
    SetTiming(16, true, true, false);
    lua_State* L = GetWindowScriptState();
    if (L != nullptr)
        LuaBindMember(L, "GetFocus", this, &WindowManager::GetFocus);
    TApplication* application = TApplication::Get();
    if (application != nullptr)
    {
        application->AddRestoreTask(&mRefreshListener);
        mRefreshListed = true;
    }
}

WindowManager::~WindowManager()
{
    lua_State* L = GetWindowScriptState();
    if (L != nullptr)
        LuaUnbindMember(L, "GetFocus", this);
    TApplication* application = TApplication::Get();
    if (application != nullptr)
    {
        if (mRefreshListed)
            application->RemoveRestoreTask(&mRefreshListener);
        // The idle list must not keep a driver that is gone.
        application->RemoveTask(this);
    }
}

void WindowManager::AddClient(SingletonBase* object, bool idle)
{
    auto record = std::make_unique<ClientRecord>();
    record->mIdle = idle ? 1 : 0;
    record->mObject = object;
    mClients.push_back(std::move(record));
}

void WindowManager::SetTaskIdle(SingletonBase* object, bool idle)
{
    for (auto& record : mClients)
        if (record->mObject == object)
        {
            record->mIdle = idle ? 1 : 0;
            return;
        }
}

bool WindowManager::IsTaskIdle(const SingletonBase* object) const
{
    for (const auto& record : mClients)
        if (record->mObject == object)
            return record->mIdle != 0;
    return true;
}

namespace
{
WindowManager::ActiveSource gActiveSource = nullptr;
} // namespace

bool WindowManager::WindowUpdate::Visit(TWindow* window)
{
    window->Animate();
    VisitChildrenOf(window);
    return true;
}

void WindowManager::WindowUpdate::VisitChildrenOf(TWindow* parent)
{
    const std::list<TWindow*>& children = parent->GetChildren();
    if (children.empty())
        return;
    const size_t first = mPending.size();
    mPending.insert(mPending.end(), children.begin(), children.end());
    const size_t end = mPending.size();
    for (size_t i = first; i < end; ++i)
    {
        TWindow* child = mPending[i];
        if (child->GetParent() == parent)
            Visit(child);
    }
    mPending.resize(first);
}

bool WindowManager::CreateTextures::Visit(TWindow* window)
{
    if (window->IsKindOf(GameWindow::GetClassId()) && !static_cast<GameWindow*>(window)->Refresh())
    {
        TString message = window->GetName() + " is failing!";
        ReportError(message.c_str(), "windowmanager", 27, false);
        mOwner->SetTexturesPending();
    }
    window->VisitChildren(*this, false);
    return true;
}

void WindowManager::SetActiveSource(ActiveSource source)
{
    gActiveSource = source;
}

bool WindowManager::ReadApplicationActive()
{
    if (gActiveSource != nullptr)
        return gActiveSource();
    TApplication* application = TApplication::Get();
    return application == nullptr || application->IsActive();
}

void WindowManager::PostFrameMessage(uint32_t type)
{
    if (TWindowManager* windows = GetWindowManager())
        windows->PostMessage(new TMessage(static_cast<int32_t>(type), TString()));
}

bool WindowManager::Animate()
{
    DeltaTime* clock = DeltaTime::Instance();
    if (clock != nullptr)
        clock->Advance(GetTime());
    // The savers' news, each frame (paused or not): what another copy saved is taken in, and a
    // save asked for while another was on its way is handed over.
    if (Settings* settings = Settings::Instance())
        settings->PollSaves();

    mApplicationActive = ReadApplicationActive() ? 1 : 0;
    TransformManager* transforms = TransformManager::Instance();
    if (mApplicationActive == 0)
    {
        if (mPausedInactive != 0)
            return true;
        if (transforms != nullptr)
            transforms->PauseAll();
        if (AudioManager* audio = AudioManager::Instance())
            audio->PauseAll();
        mPausedInactive = 1;
        PostFrameMessage(kPausedInactiveMessage);
        return true;
    }

    TWindowManager* windows = GetWindowManager();
    if (mTexturesPending != 0)
    {
        mTexturesPending = 0;
        if (windows != nullptr && windows->GetRoot() != nullptr)
            windows->GetRoot()->VisitChildren(mCreateTextures, false);
    }
    if (mPausedInactive != 0)
    {
        mPausedInactive = 0;
        if (transforms != nullptr)
            transforms->ResumeAll();
        if (AudioManager* audio = AudioManager::Instance())
            audio->ResumeAll();
        PostFrameMessage(kResumedActiveMessage);
    }
    if (mTexturesPending == 0)
    {
        TApplication* application = TApplication::Get();
        if (windows != nullptr)
            windows->SetDirty();
        else if (application != nullptr && application->GetWindowManager() != nullptr)
            application->GetWindowManager()->SetDirty();
    }
    if (windows != nullptr && windows->GetTopModal() != nullptr)
        mWindowUpdate.VisitChildrenOf(windows->GetTopModal());
    // Clients may change their own flags while stepping; the list itself does not change.
    for (size_t i = 0; i < mClients.size(); ++i)
        if (mClients[i]->mIdle == 0)
            mClients[i]->mObject->Update();
    return true;
}
