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

const char* const kMotionKeys[GameplayAnimation::kMotionCount] = {"move", "rotate", "alpha",
                                                                  "fade", "path",   "scale"};

} // namespace

const char* GameplayAnimation::GetMotionKey(size_t kind)
{
    return kind < kMotionCount ? kMotionKeys[kind] : "";
}

GameplayAnimation::GameplayAnimation(const TLuaTable& table, uint8_t id) : mId(id)
{
    mActivateSounds = ReadStringList(table, "activatesounds");
    mDeactivateSounds = ReadStringList(table, "deactivatesounds");
    mName = table.GetString("name");
    mLayer = table.GetString("layer");
    mInitialFrame = ScriptNumberToInt(table.GetNumber("initialframe", 0));
    mWrittenFrameSpeed = table.GetNumber("framespeed", 0);
    mFrameSpeed = ScriptNumberToInt(mWrittenFrameSpeed);
    mCrossfade = table.GetBool("crossfade", false);
    mFrameMode = table.GetString("animation");
    mClearPrevious = table.GetBool("clearprevious", false);
    mCallback = table.GetBool("callback", false);
    for (size_t i = 0; i < mMotions.size(); ++i)
        mMotions[i].reset(table.GetTable(kMotionKeys[i]));
    mNextAnimations = ReadStringList(table, "nextanimations");
}

GameplayAnimation::~GameplayAnimation()
{
    // The bitmap may outlive the animation: what it still holds reports to nothing. Animations go
    // with their location, which waits for them: it is not told.
    AbandonParts();
    mFinished.Forget();
}

bool GameplayAnimation::EndsWithFrames() const
{
    return mFrameMode == TString("once") && mFrameSpeed != 0;
}

WaitHandle GameplayAnimation::MakePart()
{
    auto part = std::make_shared<WaitToken>();
    part->mReport = Callback(this, &GameplayAnimation::OnPart);
    mParts.push_back(part);
    return WaitHandle(std::move(part));
}

void GameplayAnimation::OnPart(void* object, TM_Transform*, uint32_t argument)
{
    static_cast<GameplayAnimation*>(object)->OnPartDone(argument);
}

void GameplayAnimation::AbandonParts()
{
    for (const std::shared_ptr<WaitToken>& part : mParts)
        part->Cancel();
    mParts.clear();
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
    // The previous run's parts may still be held by the bitmap: a late report of theirs reaches
    // nothing.
    AbandonParts();
    if (bitmap == nullptr)
        return;
    if (mClearPrevious)
        // Blocks of other animations that were running are cut short: they report.
        bitmap->RemoveTransforms();

    if (instant)
    {
        ApplyEndState(*bitmap);
        // A run that was going would otherwise count as running for ever, and whoever waits for
        // it would wait for ever: it ends here, its caller told once.
        if (mState == kRunning)
        {
            mState = kIdle;
            WaitHandle finished = std::move(mFinished);
            finished.Tell(nullptr, mId);
        }
        return;
    }

    // The run this one replaces is told after the new one is set up (as cut short: it reads
    // running, so nothing follows it).
    WaitHandle replaced = std::move(mFinished);
    if (finishedCallback != nullptr)
        mFinished = WaitHandle::For(*finishedCallback, mId);
    mAwaited = awaited && finishedCallback != nullptr;
    mState = kRunning;
    mStarting = true;
    bitmap->SetFrameMode(mFrameMode, mInitialFrame, mFrameSpeed, mCrossfade,
                         EndsWithFrames() ? MakePart() : WaitHandle());
    for (size_t i = 0; i < mMotions.size(); ++i)
        if (mMotions[i] != nullptr)
            bitmap->LoadBlock(static_cast<AnimatedBitmap::BlockKind>(i), *mMotions[i], MakePart());
    mStarting = false;
    replaced.CutShort();
    if (mState != kRunning)
        return;
    // Nothing would ever report the run's end: whoever waits for it is told now. A run nobody
    // waits for just never ends, as one without a callback: told at once, it could start itself
    // again for ever.
    if (mParts.empty())
    {
        if (mAwaited)
        {
            Log("GameplayAnimation '%s' has no part that ends; it ends at once", mName.c_str());
            Finish();
        }
        return;
    }
    // Every part ended while the run was set up (a one-frame sequence).
    if (static_cast<size_t>(mPartsDone) == mParts.size())
    {
        mParts.clear();
        mPartsDone = 0;
        Finish();
    }
}

void GameplayAnimation::End(const std::shared_ptr<AnimatedBitmap>& bitmap)
{
    if (mState != kRunning)
        return;
    AbandonParts();
    if (bitmap != nullptr)
        ApplyEndState(*bitmap);
    Finish();
}

void GameplayAnimation::OnPartDone(uint32_t /*argument*/)
{
    ++mPartsDone;
    if (mStarting || static_cast<size_t>(mPartsDone) != mParts.size())
        return;
    // Every part of the run has reported: none is called again. They go before the caller is
    // told, as the caller may start this animation anew.
    mParts.clear();
    mPartsDone = 0;
    Finish();
}

void GameplayAnimation::Finish()
{
    // The state reads finished while the caller is told.
    mState = kFinished;
    WaitHandle finished = std::move(mFinished);
    // The caller hears which animation ended (its id): one it starts from here may end inside
    // this call.
    finished.Tell(nullptr, mId);
    if (mState == kFinished)
        mState = kIdle;
}
