// Layer animations: keys, instant and running starts on the layer's bitmap, and the count of the
// run's ending parts.
#include "framework/adventure/scene/gameplay_animation.h"

#include "framework/adventure/scene/gameplay_event.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/animated_bitmap.h"
#include "platform/log.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{

const char* const kMotionKeys[] = {"move", "rotate", "alpha", "fade", "path", "scale"};

} // namespace

GameplayAnimation::GameplayAnimation(const TLuaTable& table, uint8_t id) : mId(id)
{
    mActivateSounds = ReadStringList(table, "activatesounds");
    mDeactivateSounds = ReadStringList(table, "deactivatesounds");
    mName = table.GetString("name");
    mLayer = table.GetString("layer");
    mInitialFrame = ScriptNumberToInt(table.GetNumber("initialframe", 0));
    mFrameSpeed = ScriptNumberToInt(table.GetNumber("framespeed", 0));
    mCrossfade = table.GetBool("crossfade", false);
    mFrameMode = table.GetString("animation");
    mClearPrevious = table.GetBool("clearprevious", false);
    mCallback = table.GetBool("callback", false);
    for (size_t i = 0; i < mMotions.size(); ++i)
        mMotions[i].reset(table.GetTable(kMotionKeys[i]));
    mNextAnimations = ReadStringList(table, "nextanimations");
}

GameplayAnimation::~GameplayAnimation() = default;

bool GameplayAnimation::EndsWithFrames() const
{
    return mFrameMode == TString("once") && mFrameSpeed != 0;
}

Callback* GameplayAnimation::MakePartCallback()
{
    auto part = std::make_shared<Part>();
    part->mOwner = this;
    part->mRun = mRun;
    mPartCallbacks.push_back(part);
    return &part->mCallback;
}

void GameplayAnimation::Part::OnDone(void* object, TM_Transform*, uint32_t id)
{
    auto* part = static_cast<Part*>(object);
    GameplayAnimation* owner = part->mOwner;
    if (part->mRun != owner->mRun)
    {
        // A part of an abandoned run: it reports once, then it is let go.
        auto& retired = owner->mRetiredParts;
        retired.erase(std::remove_if(retired.begin(), retired.end(),
                                     [&](const std::shared_ptr<Part>& p)
                                     { return p.get() == part; }),
                      retired.end());
        return;
    }
    owner->OnPartDone(id);
}

void GameplayAnimation::RetireParts()
{
    ++mRun;
    mRetiredParts.insert(mRetiredParts.end(), mPartCallbacks.begin(), mPartCallbacks.end());
    mPartCallbacks.clear();
    mPartsDone = 0;
}

void GameplayAnimation::ApplyEndState(AnimatedBitmap& bitmap)
{
    bitmap.RestartFrames(mFrameMode, mInitialFrame, mFrameSpeed, mCrossfade);
    // The motions in the bitmap's block order; the alpha flicker has no end to jump to: it starts
    // anew.
    if (mMotions[0] != nullptr)
        bitmap.RestartMove(*mMotions[0]);
    if (mMotions[1] != nullptr)
        bitmap.RestartRotate(*mMotions[1]);
    if (mMotions[2] != nullptr)
        bitmap.LoadBlock(AnimatedBitmap::kAlpha, *mMotions[2]);
    if (mMotions[3] != nullptr)
        bitmap.RestartFade(*mMotions[3]);
    if (mMotions[4] != nullptr)
        bitmap.RestartPath(*mMotions[4]);
    if (mMotions[5] != nullptr)
        bitmap.RestartScale(*mMotions[5]);
}

void GameplayAnimation::Start(Callback* finishedCallback, bool instant,
                              const std::shared_ptr<AnimatedBitmap>& bitmap, bool awaited)
{
    // The previous run's parts may still be held by its transforms: they are kept, and a late
    // report of theirs reaches nothing.
    RetireParts();
    if (bitmap == nullptr)
        return;
    if (mClearPrevious)
        if (TransformManager* manager = TransformManager::Instance())
            manager->RemoveTransforms(&bitmap->GetTransform());

    if (instant)
    {
        ApplyEndState(*bitmap);
        // A run that was going would otherwise count as running for ever, and whoever waits for
        // it would wait for ever: it ends here, its caller told once.
        if (mState == kRunning)
        {
            mState = kIdle;
            Callback* finished = mFinishedCallback;
            mFinishedCallback = nullptr;
            if (finished != nullptr)
                finished->Call(nullptr, mId);
        }
        return;
    }

    mFinishedCallback = finishedCallback;
    mAwaited = awaited && finishedCallback != nullptr;
    mState = kRunning;
    bitmap->SetFrameMode(mFrameMode, mInitialFrame, mFrameSpeed, mCrossfade,
                         EndsWithFrames() ? MakePartCallback() : nullptr);
    for (size_t i = 0; i < mMotions.size(); ++i)
        if (mMotions[i] != nullptr)
            bitmap->LoadBlock(static_cast<AnimatedBitmap::BlockKind>(i), *mMotions[i],
                              MakePartCallback());
    // Nothing would ever report the run's end: whoever waits for it is told now. A run nobody
    // waits for just never ends, as one without a callback: told at once, it could start itself
    // again for ever.
    if (mPartCallbacks.empty() && mAwaited)
    {
        Log("GameplayAnimation '%s' has no part that ends; it ends at once", mName.c_str());
        Finish();
    }
}

void GameplayAnimation::End(const std::shared_ptr<AnimatedBitmap>& bitmap)
{
    if (mState != kRunning)
        return;
    RetireParts();
    if (bitmap != nullptr)
        ApplyEndState(*bitmap);
    Finish();
}

void GameplayAnimation::OnPartDone(uint32_t /*argument*/)
{
    ++mPartsDone;
    if (static_cast<size_t>(mPartsDone) == mPartCallbacks.size())
        mState = kFinished;
    if (mState != kFinished)
        return;
    // Every part of the run has reported: none is called again. They go before the caller is
    // told, as the caller may start this animation anew.
    mPartCallbacks.clear();
    mPartsDone = 0;
    Finish();
}

void GameplayAnimation::Finish()
{
    // The state reads finished while the caller is told.
    mState = kFinished;
    Callback* finished = mFinishedCallback;
    mFinishedCallback = nullptr;
    // The caller hears which animation ended (its id): one it starts from here may end inside
    // this call.
    if (finished != nullptr)
        finished->Call(nullptr, mId);
    if (mState == kFinished)
        mState = kIdle;
}
