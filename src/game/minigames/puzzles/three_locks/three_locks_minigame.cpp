// The three locks: the script's globals, the eyes' sequence, the turns and turns back, the
// completion event, the lock cursor and the saved progress replayed on restore.
#include "game/minigames/puzzles/three_locks/three_locks_minigame.h"

#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/entities/gameplay_layer.h"
#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/animated_bitmap.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "platform/log.h"
#include "render/renderer/draw_spec.h"
#include "script/lauxlib.h"
#include "script/lua.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"
#include "ui/window_manager.h"
#include "ui/window_script.h"

#include <algorithm>

namespace
{
const char kSource[] = "threelocksminigame";

// The entries of a script list, 1 to its length.
int ListLength(const TLuaTable& list)
{
    lua_State* L = list.GetState();
    list.Push();
    const int count = luaL_getn(L, -1);
    lua_pop(L, 1);
    return count;
}

void RunAnimationStatement(const char* statement)
{
    TWindowManager* manager = GetWindowManager();
    TScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    if (script == nullptr)
    {
        Log("ThreeLocksMinigame: no window script to run '%s'", statement);
        return;
    }
    script->DoLuaString(statement);
}

const char kStartAnimation[] = "GameplayStartAnimation();";
const char kEndAnimation[] = "GameplayEndAnimation();";
} // namespace

ThreeLocksMinigame::ThreeLocksMinigame(GameplayFactory& factory, const TLuaTable& entityInfo,
                                       const TString& name, const TLuaTable& scene,
                                       const TLuaTable* playlist, const TLuaTable& sceneInfo,
                                       TScript& script)
    : PuzzleSceneOf(factory, entityInfo, name, scene, playlist, sceneInfo)
{
    mStatusArea = FindArea(script.GetGlobalString("areatocheckstatus"));
    mRotationAmount = static_cast<float>(script.GetGlobalNumber("rotationlockamount"));
    mRotationTime = ScriptNumberToInt(script.GetGlobalNumber("rotationlocktime"));
    mEyeAlpha = static_cast<float>(script.GetGlobalNumber("alphaeyeamount"));
    mEyeTime = ScriptNumberToInt(script.GetGlobalNumber("alphaeyetime"));
    mCursorOverLock = script.GetGlobalString("cursoroverlock");
    mEventOnComplete = script.GetGlobalString("eventoncomplete");

    const struct
    {
        const char* global;
        const char* missing;
        std::vector<GameplayLayer*>* into;
    } lists[] = {{"locks", "No locks table for ThreeLocksMinigame!", &mLocks},
                 {"eyes", "No eyes table for ThreeLocksMinigame!", &mEyes}};
    for (const auto& list : lists)
    {
        std::unique_ptr<TLuaTable> names{script.GetGlobalTable(list.global)};
        if (names == nullptr)
        {
            ReportError(list.missing, kSource, __LINE__, true);
            return;
        }
        const int count = ListLength(*names);
        for (int i = 1; i <= count; ++i)
        {
            const TString layerName = names->GetStringAt(i);
            GameplayLayer* layer = FindLayer(layerName);
            if (layer == nullptr)
            {
                ReportError(TString::Format("Cannot find layer '%s' for ThreeLocksMinigame!",
                                            layerName.c_str())
                                .c_str(),
                            kSource, __LINE__, true);
                return;
            }
            if (list.into == &mEyes)
                layer->GetTransform().SetAlpha(0.0f);
            list.into->push_back(layer);
        }
    }

    std::unique_ptr<TLuaTable> sequences{script.GetGlobalTable("sequences")};
    if (sequences == nullptr)
    {
        ReportError("No sequences table for ThreeLocksMinigame!", kSource, __LINE__, true);
        return;
    }
    // A value names a lock and the eye above it, so it must be below both counts.
    const int32_t usable = static_cast<int32_t>(std::min(mLocks.size(), mEyes.size()));
    const int count = ListLength(*sequences);
    for (int i = 1; i <= count; ++i)
    {
        std::unique_ptr<TLuaTable> sequence{sequences->GetTableAt(i)};
        if (sequence == nullptr)
        {
            ReportError(
                TString::Format("Cannot find sequence %d for ThreeLocksMinigame!", i).c_str(),
                kSource, __LINE__, true);
            return;
        }
        std::vector<int32_t> steps;
        const int length = ListLength(*sequence);
        for (int k = 1; k <= length; ++k)
        {
            // Anything but a number is dropped below like any value naming no lock.
            int32_t value = -1;
            if (sequence->PushIndex(k))
            {
                lua_State* L = sequence->GetState();
                if (lua_type(L, -1) == LUA_TNUMBER)
                    value = ScriptNumberToInt(lua_tonumber(L, -1));
                lua_pop(L, 1);
            }
            if (value < 0 || value >= usable)
            {
                Log("ThreeLocksMinigame: sequence %d, entry %d names no lock and eye; dropped", i,
                    k);
                continue;
            }
            steps.push_back(value);
        }
        // Shown, an empty sequence would light no eye and never end its animation.
        if (steps.empty())
        {
            Log("ThreeLocksMinigame: sequence %d has no lock to click; dropped", i);
            continue;
        }
        mSequences.push_back(std::move(steps));
    }
    if (mSequences.empty())
        Log("ThreeLocksMinigame: scene '%s' has no sequence to play", mName.c_str());

    std::unique_ptr<TLuaTable> sound{script.GetGlobalTable("soundrotate")};
    if (sound != nullptr)
        mRotateSound = SoundEffect::Create(*sound);
}

ThreeLocksMinigame::~ThreeLocksMinigame()
{
    // The callbacks name this scene: none may run once it is gone.
    if (TransformManager* manager = TransformManager::Instance())
    {
        for (GameplayLayer* layer : mLocks)
            manager->RemoveTransforms(&layer->GetTransform());
        for (GameplayLayer* layer : mEyes)
            manager->RemoveTransforms(&layer->GetTransform());
    }
    if (mRotateSound != nullptr)
        mRotateSound->Release();
}

void ThreeLocksMinigame::SequenceShownThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ThreeLocksMinigame*>(object)->OnSequenceShown();
}

void ThreeLocksMinigame::LockTurnedThunk(void* object, TM_Transform*, uint32_t)
{
    static_cast<ThreeLocksMinigame*>(object)->OnLockTurned();
}

void ThreeLocksMinigame::ShowSequence()
{
    mState = kAnimating;
    RunAnimationStatement(kStartAnimation);
    TransformManager* manager = TransformManager::Instance();
    const std::vector<int32_t>& sequence = mSequences[mCurrentSequence];
    const uint32_t time = static_cast<uint32_t>(std::max(mEyeTime, 0));
    for (size_t k = 0; k < sequence.size(); ++k)
    {
        TM_Transform& eye = mEyes[static_cast<size_t>(sequence[k])]->GetTransform();
        const bool last = k + 1 == sequence.size();
        if (manager == nullptr)
        {
            // Nothing could run the eyes: the sequence counts as shown at once.
            if (last)
                OnSequenceShown();
            continue;
        }
        auto* in = new TM_InstructionList;
        in->push_back(
            new TM_Alpha(time, mEyeAlpha, 0.0f, static_cast<uint32_t>(2 * time * k), kSmoothing));
        const uint32_t id = manager->AddTransform(
            &eye, in, nullptr, last ? new Callback(this, &SequenceShownThunk) : nullptr);
        auto* out = new TM_InstructionList;
        out->push_back(new TM_Alpha(time, 0.0f, mEyeAlpha, 0, kSmoothing));
        manager->AppendToTransform(id, out);
    }
}

void ThreeLocksMinigame::OnSequenceShown()
{
    RunAnimationStatement(kEndAnimation);
    mState = kAwaitingClick;
}

void ThreeLocksMinigame::RotateLock(GameplayLayer* lock, float amount, bool callBack)
{
    TransformManager* manager = TransformManager::Instance();
    if (manager == nullptr)
    {
        lock->GetTransform().SetRotationZ(lock->GetTransform().GetRotationZ() + amount);
        if (callBack)
            OnLockTurned();
        return;
    }
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Rotate(static_cast<uint32_t>(std::max(mRotationTime, 0)), false, amount,
                                  0.0f, 0, kSmoothing));
    manager->AddTransform(&lock->GetTransform(), list, nullptr,
                          callBack ? new Callback(this, &LockTurnedThunk) : nullptr);
}

void ThreeLocksMinigame::OnLockTurned()
{
    RunAnimationStatement(kEndAnimation);
    mState = kAwaitingClick;
    const std::vector<int32_t>& sequence = mSequences[mCurrentSequence];
    if (mCurrentStep < sequence.size())
    {
        // Sent back to the start: the sequence is shown again.
        if (mCurrentStep == 0)
            ShowSequence();
        return;
    }
    ++mCurrentSequence;
    if (mCurrentSequence >= mSequences.size())
    {
        mState = kSolved;
        RunGameplayActivateEvent(mEventOnComplete);
        return;
    }
    mCurrentStep = 0;
    ShowSequence();
}

void ThreeLocksMinigame::Update(uint32_t elapsedMs, bool active, bool playing)
{
    if (active && playing)
    {
        if (mState == kWaiting && mStatusArea != nullptr && !mSequences.empty() &&
            (mStatusArea->GetFlags() & GameplayArea::kCompleted) != 0)
        {
            mState = kReady;
            // The event that completed the area may have activated the eyes at full alpha.
            for (GameplayLayer* eye : mEyes)
                eye->GetTransform().SetAlpha(0.0f);
        }
        if (mState == kReady)
            ShowSequence();
    }
    if (mRotateSound != nullptr)
        mRotateSound->Update(elapsedMs);
    GameplayScene::Update(elapsedMs, active, playing);
}

int32_t ThreeLocksMinigame::FindLockAt(const TPoint& point) const
{
    for (size_t i = 0; i < mLocks.size(); ++i)
    {
        // A lock that rides on a seat layer sits where the seat's picture is.
        TDrawSpec placed;
        if (const GameplayLayer* seat = mLocks[i]->GetParent())
            placed = TDrawSpec(seat->GetBitmap()->GetPosition());
        const TRect bounds = mLocks[i]->GetRect(placed);
        if (point.x >= bounds.left && point.x < bounds.right && point.y >= bounds.top &&
            point.y < bounds.bottom)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool ThreeLocksMinigame::OnMouseDown(TPoint point)
{
    if (mState != kAwaitingClick || mCurrentSequence >= mSequences.size())
        return false;
    const int32_t lock = FindLockAt(point);
    if (lock < 0)
        return false;
    const std::vector<int32_t>& sequence = mSequences[mCurrentSequence];
    const bool due = mCurrentStep < sequence.size() && lock == sequence[mCurrentStep];
    // A turn ends within a double click: its second press would turn the locks back.
    if (!due && mSecondPress.Repeats(lock))
        return true;
    if (due)
    {
        mState = kAnimating;
        RotateLock(mLocks[static_cast<size_t>(lock)], mRotationAmount, true);
        ++mCurrentStep;
        mSecondPress.Took(lock);
    }
    else
    {
        mSecondPress.Forget();
        // Every lock turned in this sequence turns back at once, the latest first.
        while (mCurrentStep > 0)
        {
            mState = kAnimating;
            --mCurrentStep;
            RotateLock(mLocks[static_cast<size_t>(sequence[mCurrentStep])], -mRotationAmount,
                       mCurrentStep == 0);
        }
    }
    if (mState == kAnimating)
    {
        ArmSoundEffect(mRotateSound.get());
        RunAnimationStatement(kStartAnimation);
    }
    return true;
}

void ThreeLocksMinigame::Pause(bool active)
{
    if (mRotateSound != nullptr)
        mRotateSound->Pause();
    GameplayScene::Pause(active);
}

void ThreeLocksMinigame::Resume(bool active)
{
    if (mRotateSound != nullptr)
        mRotateSound->Resume();
    GameplayScene::Resume(active);
}

uint32_t ThreeLocksMinigame::StepsDone() const
{
    uint32_t steps = 0;
    for (size_t s = 0; s < mCurrentSequence && s < mSequences.size(); ++s)
        steps += static_cast<uint32_t>(mSequences[s].size());
    return steps + static_cast<uint32_t>(mCurrentStep);
}

void ThreeLocksMinigame::SaveOwnState(std::vector<uint8_t>& out)
{
    if (mState == kSolved)
        out.push_back(kSolvedByte);
    else
    {
        uint32_t steps = StepsDone();
        // The last lock still turning: its turn's end solves the puzzle and asks for the event,
        // which a restore of every step would never do. Stored as before that click, the
        // restored puzzle takes it again and ends as it should.
        if (mState == kAnimating && mCurrentSequence + 1 == mSequences.size() &&
            mCurrentStep >= mSequences[mCurrentSequence].size() && steps > 0)
            --steps;
        if (steps > kMaxSavedSteps)
            Log("ThreeLocksMinigame: %u steps done; saved as %u", steps, kMaxSavedSteps);
        out.push_back(static_cast<uint8_t>(std::min(steps, kMaxSavedSteps)));
    }
}

void ThreeLocksMinigame::LoadOwnState(const uint8_t* data)
{
    const int8_t progress = static_cast<int8_t>(data[0]);
    mCurrentSequence = 0;
    mCurrentStep = 0;
    if (progress < 0)
        mState = kSolved;
    else
    {
        mState = kWaiting;
        for (int8_t done = 0; done < progress; ++done)
        {
            if (mCurrentSequence >= mSequences.size())
            {
                mState = kSolved;
                break;
            }
            const std::vector<int32_t>& sequence = mSequences[mCurrentSequence];
            TM_Transform2D& turned =
                mLocks[static_cast<size_t>(sequence[mCurrentStep])]->GetTransform();
            turned.SetRotationZ(turned.GetRotationZ() + mRotationAmount);
            if (++mCurrentStep >= sequence.size())
            {
                ++mCurrentSequence;
                mCurrentStep = 0;
            }
        }
        if (mState != kSolved && mCurrentSequence >= mSequences.size() && progress > 0)
            mState = kSolved;
    }
}

TString ThreeLocksMinigame::GetCursorName() const
{
    const Settings* settings = Settings::Instance();
    if (mState == kAwaitingClick && settings != nullptr &&
        FindLockAt(TPoint{settings->mMouseX, settings->mMouseY}) >= 0)
        return mCursorOverLock;
    return GameplayScene::GetCursorName();
}
