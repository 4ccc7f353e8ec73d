// GameplayHintLiraeClickable: one picture of Lirae's board. It drifts across a circle in straight
// passes, fading in and out and pulsing, until the player matches it; then it flies to its target,
// fading and shrinking with an optional particle effect, and reports its landing once.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "platform/maths/geometry.h"
#include "platform/maths/random.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>

class TAnimatedSprite;
class TLuaParticleSystem;
class TLuaTable;

class GameplayHintLiraeClickable
{
public:
    // Every clickable of a board comes from the same "clickable" table; the seed sets it apart.
    GameplayHintLiraeClickable(const TLuaTable& table, uint32_t seed);
    ~GameplayHintLiraeClickable();
    GameplayHintLiraeClickable(const GameplayHintLiraeClickable&) = delete;
    GameplayHintLiraeClickable& operator=(const GameplayHintLiraeClickable&) = delete;

    // One drift pass after `delay` ms; it starts the next one itself when it ends.
    void StartPass(uint32_t delay);
    // The looping alpha pulse of the own draw spec.
    void StartPulse();
    void Update(uint32_t dt);
    // The flight to the target after a match; `placed` (borrowed) is told once when it lands.
    void FlyToDestination(Callback* placed);
    void OnFlightDone();

    bool IsActive() const { return mActive; }
    void SetActive(bool active) { mActive = active; }
    int32_t GetDelayMin() const { return mDelayMin; }
    int32_t GetDelayMax() const { return mDelayMax; }
    TRandom& GetRandom() { return mRandom; }
    const TVec2& GetTarget() const { return mTarget; }
    void SetTarget(const TVec2& target) { mTarget = target; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }
    TM_Transform2D& GetSpriteTransform() { return *mSpriteTransform; }
    TDrawSpec& GetOwnSpec() { return mOwnSpec; }
    TM_Transform2D& GetPulseTransform() { return mPulseTransform; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    // The current pass changes the scale.
    bool IsGrowing() const { return mGrow; }
    bool IsShrinking() const { return mShrink; }

private:
    static void PassEndAdapter(void* object, TM_Transform* target, uint32_t id);
    static void FlightDoneAdapter(void* object, TM_Transform* target, uint32_t id);

    bool mActive = false;
    int32_t mTimeMin = 0;
    int32_t mTimeMax = 0;
    int32_t mFadeMin = 0;
    int32_t mFadeMax = 0;
    int32_t mFadeTime = 0;
    int32_t mDelayMin = 0;
    int32_t mDelayMax = 0;
    TVec2 mCentre;
    TVec2 mTarget;
    float mMaxDistance = 0;
    float mAngle = 0;
    float mValidAngleDiff = 0;
    float mAlphaMin = 0;
    float mAlphaMax = 0;
    float mMinScale = 0;
    float mMaxTransScale = 0;
    float mMinTransScale = 0;
    Callback* mPlaced = nullptr;
    std::shared_ptr<TAnimatedSprite> mSprite;
    bool mGrow = false;
    bool mShrink = false;
    std::unique_ptr<TM_Transform2D> mSpriteTransform;
    TDrawSpec mOwnSpec;
    TM_Transform2D mPulseTransform{&mOwnSpec};
    TRandom mRandom;
    TString mParticleScript;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    ParticleVector mLocus;
};
