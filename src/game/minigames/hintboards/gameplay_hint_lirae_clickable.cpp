// A Lirae clickable: its table, the drift passes, the pulse, the flight and its particles.
#include "game/minigames/hintboards/gameplay_hint_lirae_clickable.h"

#include "framework/transforms/transform_instructions.h"
#include "game/effects/game_particles.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr float kTwoPi = 6.28318530717958647692f;
constexpr float kPi = 3.14159265358979323846f;
constexpr float kSmoothing = -0.5f;

// Truncated toward zero; NaN and what no int32 holds read as 0.
int32_t Int(const TLuaTable& table, const char* key)
{
    const double value = table.GetNumber(key, 0);
    return value > -2147483648.0 && value < 2147483648.0 ? static_cast<int32_t>(value) : 0;
}

float Float(const TLuaTable& table, const char* key)
{
    return static_cast<float>(table.GetNumber(key, 0));
}

// A duration drawn from [lo, hi]; a range given the wrong way round is read from lo, and no
// duration is negative.
uint32_t DrawMs(TRandom& random, int32_t lo, int32_t hi)
{
    return static_cast<uint32_t>(std::max(random.NextInt(lo, std::max(lo, hi)), 0));
}

} // namespace

GameplayHintLiraeClickable::GameplayHintLiraeClickable(const TLuaTable& table, uint32_t seed)
    : mTimeMin(Int(table, "timemin")), mTimeMax(Int(table, "timemax")),
      mFadeMin(Int(table, "fademin")), mFadeMax(Int(table, "fademax")),
      mFadeTime(Int(table, "fadetime")), mDelayMin(Int(table, "delaymin")),
      mDelayMax(Int(table, "delaymax")), mCentre(Float(table, "centerx"), Float(table, "centery")),
      mTarget(0, 0), mMaxDistance(Float(table, "maxdistance")),
      mValidAngleDiff(Float(table, "validanglediff")), mAlphaMin(Float(table, "alphamin")),
      mAlphaMax(Float(table, "alphamax")), mMinScale(Float(table, "minscale")),
      mMaxTransScale(Float(table, "maxtransscale")), mMinTransScale(Float(table, "mintransscale")),
      mSprite(TAnimatedSprite::Create(0)),
      mSpriteTransform(std::make_unique<TM_Transform2D>(&mSprite->GetSpec())),
      mParticleScript(table.GetString("foundparticles", ""))
{
    mLocus.mWidth = 2;
    mSprite->SetTexture(TAnimatedTexture::Get(table.GetString("image", "")));
    mRandom.Seed(seed);
}

GameplayHintLiraeClickable::~GameplayHintLiraeClickable()
{
    if (TransformManager* transforms = TransformManager::Instance())
    {
        transforms->RemoveTransforms(&mPulseTransform);
        transforms->RemoveTransforms(mSpriteTransform.get());
    }
    mParticles.reset();
    mSpriteTransform.reset();
    mSprite.reset();
}

void GameplayHintLiraeClickable::StartPass(uint32_t delay)
{
    mGrow = false;
    mShrink = false;
    mAngle = RandomFloat(mRandom) * kTwoPi;
    if (mRandom.NextInt(0, 1) == 0)
    {
        if (mRandom.NextInt(0, 1) == 0)
            mGrow = true;
        else
            mShrink = true;
    }
    const TVec2 start(mCentre.x + mMaxDistance * std::cos(mAngle),
                      mCentre.y + mMaxDistance * std::sin(mAngle));
    const float endAngle =
        mAngle + kPi - mValidAngleDiff + 2.0f * mValidAngleDiff * RandomFloat(mRandom);
    const TVec2 end(mCentre.x + mMaxDistance * std::cos(endAngle),
                    mCentre.y + mMaxDistance * std::sin(endAngle));
    // A pass of 0 ms would end and restart inside the same transform step for ever.
    const uint32_t t = std::max(DrawMs(mRandom, mTimeMin, mTimeMax), 1u);
    const uint32_t half = t / 2;
    // A scale also scales the translation: it goes before the move, whose absolute position then
    // stands.
    auto* list = new TM_InstructionList;
    if (mGrow)
        list->push_back(new TM_Scale(t, mMaxTransScale, 1.0f, 0, kSmoothing));
    else if (mShrink)
        list->push_back(new TM_Scale(t, mMinTransScale, 1.0f, 0, kSmoothing));
    list->push_back(new TM_Move(t, true, end, start, delay, 1.0f));
    list->push_back(new TM_Alpha(half, 1.0f, 0.0f, 0, kSmoothing));
    list->push_back(new TM_Alpha(half, 0.0f, 1.0f, half, kSmoothing));
    // Off screen until the move begins.
    mSpriteTransform->SetUniformScale(1.0f);
    mSpriteTransform->SetPosition(-1000.0f, -1000.0f, 1.0f);
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->AddTransform(mSpriteTransform.get(), list, nullptr,
                                 new Callback(this, &GameplayHintLiraeClickable::PassEndAdapter));
    else
        delete list;
    // Mirrored while it moves to the right.
    mSpriteTransform->SetUniformScale(1.0f);
    mSpriteTransform->SetScaleX(start.x < end.x ? -1.0f : 1.0f);
}

void GameplayHintLiraeClickable::StartPulse()
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    const uint32_t half = DrawMs(mRandom, mFadeMin, mFadeMax) / 2;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(half, mAlphaMax, mAlphaMin, 0, kSmoothing));
    list->push_back(new TM_Alpha(half, mAlphaMin, mAlphaMax, half, kSmoothing));
    transforms->SetLooping(transforms->AddTransform(&mPulseTransform, list));
}

void GameplayHintLiraeClickable::Update(uint32_t dt)
{
    mLocus.mValue[0] = mSpriteTransform->GetX();
    mLocus.mValue[1] = mSpriteTransform->GetY();
    if (mParticles == nullptr)
        return;
    TScript* script = mParticles->GetScript();
    if (mParticles->GetParticleCount() == 0 &&
        (script == nullptr || script->GetGlobalNumber("gActive") == 0))
        mParticles.reset();
    else
        mParticles->Update(static_cast<int32_t>(dt));
}

void GameplayHintLiraeClickable::FlyToDestination(Callback* placed)
{
    mPlaced = placed;
    mActive = false;
    TransformManager* transforms = TransformManager::Instance();
    if (transforms != nullptr)
    {
        transforms->RemoveTransforms(mSpriteTransform.get());
        transforms->RemoveTransforms(&mPulseTransform);
        const uint32_t ms = static_cast<uint32_t>(std::max(mFadeTime, 0));
        auto* list = new TM_InstructionList;
        list->push_back(new TM_Scale(ms, mMinScale, kFromCurrent, 0, kSmoothing));
        list->push_back(new TM_Move(ms, true, mTarget, kFromCurrent2, 0, kSmoothing));
        list->push_back(new TM_Alpha(ms, 0.0f, kFromCurrent, 0, kSmoothing));
        transforms->AddTransform(
            mSpriteTransform.get(), list,
            new Callback(this, &GameplayHintLiraeClickable::FlightDoneAdapter));
    }
    if (mParticleScript.Length() != 0)
        mParticles = game_particles::Start(mParticleScript, {{"dLocus", &mLocus}}, {});
}

void GameplayHintLiraeClickable::OnFlightDone()
{
    Callback* placed = mPlaced;
    mPlaced = nullptr;
    if (placed != nullptr)
        placed->Call(nullptr, 0);
    game_particles::Switch(mParticles, false);
}

void GameplayHintLiraeClickable::PassEndAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintLiraeClickable*>(object)->StartPass(0);
}

void GameplayHintLiraeClickable::FlightDoneAdapter(void* object, TM_Transform*, uint32_t)
{
    static_cast<GameplayHintLiraeClickable*>(object)->OnFlightDone();
}
