// One pattern of the ritual puzzle: its steps and answer, its demonstration and the answers.
#include "game/minigames/puzzles/ritual/ritual_pattern.h"

#include "framework/core/settings.h"
#include "game/minigames/puzzles/ritual/ritual_crystal.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cstdio>
#include <memory>

bool RitualPattern::Load(const TLuaTable& pattern, const TLuaTable& info, RitualCrystal* crystals)
{
    mStepCount = static_cast<int32_t>(kSteps);
    mCrystals = crystals;
    mIdleTimeMax = static_cast<uint32_t>(ScriptNumberToInt(info.GetNumber("idletimermax", 0)));
    mSequenceTimeMax =
        static_cast<uint32_t>(ScriptNumberToInt(info.GetNumber("sequencetimermax", 0)));
    bool good = true;
    for (size_t k = 0; k < kSteps; ++k)
    {
        char key[16];
        std::snprintf(key, sizeof key, "step%02d", static_cast<int>(k + 1));
        mSteps[k] = ScriptNumberToInt(pattern.GetNumber(key, 0));
        if (mSteps[k] < 1 || mSteps[k] > static_cast<int32_t>(kCrystals))
            good = false;
    }
    for (size_t k = 0; k < kSteps; ++k)
        mAnswer[k] = mSteps[kSteps - 1 - k];
    return good;
}

RitualCrystal* RitualPattern::Crystal(int32_t number) const
{
    if (mCrystals == nullptr || number < 1 || number > static_cast<int32_t>(kCrystals))
        return nullptr;
    return &mCrystals[number - 1];
}

void RitualPattern::StartDemonstration()
{
    mShownStep = 0;
    mShowing = true;
}

void RitualPattern::Update(uint32_t elapsedMs)
{
    if (!mShowing)
        return;
    if (mIdleTimer < mIdleTimeMax)
    {
        mIdleTimer += elapsedMs;
        return;
    }
    RitualCrystal* shown = Crystal(mSteps[static_cast<size_t>(mShownStep)]);
    if (shown != nullptr)
        shown->SetLit(true);
    mStepTimer += elapsedMs;
    if (mStepTimer <= mSequenceTimeMax)
        return;
    mStepTimer = 0;
    if (shown != nullptr)
        shown->SetLit(false);
    ++mShownStep;
    if (mShownStep < mStepCount)
    {
        if (RitualCrystal* next = Crystal(mSteps[static_cast<size_t>(mShownStep)]))
            next->SetLit(true);
        return;
    }
    mIdleTimer = 0;
    mShowing = false;
}

void RitualPattern::TakeAnswersFrom(int32_t answered)
{
    mAnswered = std::clamp(answered, 0, mStepCount - 1);
    mShowing = false;
    mIdleTimer = 0;
    mStepTimer = 0;
    for (int32_t k = 0; k < mAnswered; ++k)
        if (RitualCrystal* lit = Crystal(mAnswer[static_cast<size_t>(k)]))
            lit->SetLit(true);
}

bool RitualPattern::Answer(int32_t crystal)
{
    if (RitualCrystal* hit = Crystal(crystal))
        hit->SetLit(true);
    if (mAnswered < mStepCount && crystal == mAnswer[static_cast<size_t>(mAnswered)])
    {
        ++mAnswered;
        if (mAnswered >= mStepCount)
            mSolved = true;
        return true;
    }
    mAnswered = 0;
    StartDemonstration();
    for (size_t c = 0; c < kCrystals; ++c)
        if (mCrystals != nullptr)
            mCrystals[c].SetLit(false);
    return false;
}
