// IllustrationPanelAnimation: the keys read at construction, a run handed to the layer's bitmap,
// and the counting of its parts' end notices, one run at a time.
#include "game/cutscenes/illustration_panel_animation.h"

#include "framework/widgets/animated_bitmap.h"
#include "game/cutscenes/cutscene_keys.h"
#include "platform/log.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{
constexpr const char* kOwner = "IllustrationPanelAnimation";
const char* const kBlockKeys[] = {"move", "rotate", "alpha", "fade", "path", "scale"};

// Entries 1 to the array's length; an entry that is not a string is the empty name.
std::vector<TString> ReadNameArray(const TLuaTable& table, const char* key)
{
    std::vector<TString> names;
    std::unique_ptr<TLuaTable> list(table.GetTable(key));
    if (list == nullptr)
        return names;
    const int32_t n = cutscene::ArrayLength(*list);
    lua_State* L = list->GetState();
    for (int32_t i = 1; i <= n; ++i)
    {
        TString name;
        if (list->PushIndex(i))
        {
            if (lua_type(L, -1) == LUA_TSTRING)
                name = LuaGetString(L, -1);
            lua_pop(L, 1);
        }
        names.push_back(name);
    }
    return names;
}
} // namespace

// The bitmap keeps a copy of the hook's record, which points here; the hook outlives the run.
struct IllustrationPanelAnimation::PartHook
{
    IllustrationPanelAnimation* mOwner;
    uint32_t mRun;
    std::weak_ptr<AnimatedBitmap> mTarget;
    Callback mCallback;
};

namespace
{
// Hooks whose animation went while their bitmap could still call them.
std::vector<std::shared_ptr<void>>& OrphanedHooks()
{
    static std::vector<std::shared_ptr<void>> hooks;
    return hooks;
}
} // namespace

IllustrationPanelAnimation::IllustrationPanelAnimation(const TLuaTable& table)
    : mName(table.GetString("name", TString())), mLayer(table.GetString("layer", TString())),
      mInitialFrame(cutscene::ReadInt(table, "initialframe", 0, kOwner)),
      mFrameSpeed(cutscene::ReadInt(table, "framespeed", 0, kOwner)),
      mCrossfade(table.GetBool("crossfade", false)),
      mFrameMode(table.GetString("animation", TString())),
      mClearPrevious(table.GetBool("clearprevious", false)),
      mCallback(table.GetBool("callback", false))
{
    for (size_t i = 0; i < std::size(kBlockKeys); ++i)
        mBlocks[i].reset(table.GetTable(kBlockKeys[i]));
    mNextAnimations = ReadNameArray(table, "nextanimations");
    mActivateSounds = ReadNameArray(table, "activatesounds");
    mDeactivateSounds = ReadNameArray(table, "deactivatesounds");
}

IllustrationPanelAnimation::~IllustrationPanelAnimation()
{
    mRetiredHooks.insert(mRetiredHooks.end(), mPartHooks.begin(), mPartHooks.end());
    std::vector<std::shared_ptr<void>>& orphans = OrphanedHooks();
    orphans.erase(std::remove_if(orphans.begin(), orphans.end(),
                                 [](const std::shared_ptr<void>& hook)
                                 { return static_cast<PartHook*>(hook.get())->mTarget.expired(); }),
                  orphans.end());
    for (const auto& hook : mRetiredHooks)
    {
        hook->mOwner = nullptr;
        if (!hook->mTarget.expired())
            orphans.push_back(hook);
    }
}

void IllustrationPanelAnimation::OnPartThunk(void* object, TM_Transform*, uint32_t value)
{
    auto* hook = static_cast<PartHook*>(object);
    if (hook->mOwner != nullptr)
        hook->mOwner->OnPartDone(hook->mRun, value);
}

std::shared_ptr<Callback> IllustrationPanelAnimation::AddPartHook()
{
    auto hook =
        std::make_shared<PartHook>(PartHook{this, mRun, {}, Callback(nullptr, &OnPartThunk)});
    hook->mCallback.mObject = hook.get();
    mPartHooks.push_back(hook);
    return std::shared_ptr<Callback>(hook, &hook->mCallback);
}

void IllustrationPanelAnimation::Play(Callback* done, const std::shared_ptr<AnimatedBitmap>& target)
{
    // Hooks of finished parts whose bitmap is gone can never be called again.
    mRetiredHooks.insert(mRetiredHooks.end(), mPartHooks.begin(), mPartHooks.end());
    mRetiredHooks.erase(std::remove_if(mRetiredHooks.begin(), mRetiredHooks.end(),
                                       [](const std::shared_ptr<PartHook>& hook)
                                       { return hook->mTarget.expired(); }),
                        mRetiredHooks.end());
    mPartHooks.clear();
    mPartsDone = 0;
    ++mRun;
    if (target == nullptr)
    {
        Log("IllustrationPanelAnimation: '%s' has no layer to play on", mName.c_str());
        return;
    }
    if (mClearPrevious)
        if (TransformManager* manager = TransformManager::Instance())
            manager->RemoveTransforms(&target->GetTransform());
    mState = kPlaying;
    mDoneCallback = done;

    std::shared_ptr<Callback> frameHook;
    if (mFrameMode == "once" && mFrameSpeed != 0)
        frameHook = AddPartHook();
    target->SetFrameMode(mFrameMode, mInitialFrame, mFrameSpeed, mCrossfade, frameHook.get());
    for (size_t i = 0; i < std::size(kBlockKeys); ++i)
        if (mBlocks[i] != nullptr)
            target->LoadBlock(static_cast<AnimatedBitmap::BlockKind>(i), *mBlocks[i],
                              AddPartHook().get());
    for (const auto& hook : mPartHooks)
        hook->mTarget = target;

    // A run the panel waits for but that started no part would hold the panel for ever.
    if (mPartHooks.empty() && mDoneCallback != nullptr)
        Complete(0);
}

void IllustrationPanelAnimation::OnPartDone(uint32_t value)
{
    OnPartDone(mRun, value);
}

void IllustrationPanelAnimation::OnPartDone(uint32_t run, uint32_t value)
{
    if (run != mRun || mState != kPlaying)
        return;
    ++mPartsDone;
    if (static_cast<size_t>(mPartsDone) == mPartHooks.size())
        Complete(value);
}

void IllustrationPanelAnimation::Complete(uint32_t value)
{
    const uint32_t run = mRun;
    mState = kReporting;
    Callback* done = mDoneCallback;
    mDoneCallback = nullptr;
    if (done != nullptr)
        done->Call(nullptr, value);
    // The notice may have started the animation again.
    if (mRun == run)
        mState = kIdle;
}
