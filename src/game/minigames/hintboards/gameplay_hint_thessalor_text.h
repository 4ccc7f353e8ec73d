// GameplayHintThessalorText: one letter of Thessalor's board. It drifts back and forth across a
// circle about its centre point while it slowly turns, can be hit only while it passes near that
// centre, and flies into its goal when it was the right one, optionally trailing sparks.
#pragma once

#include "framework/core/frame_services.h"
#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <array>
#include <cstdint>
#include <memory>

class TextObject;
class TLuaParticleSystem;
class TLuaTable;
class TRandom;
struct TDrawSpec;

class GameplayHintThessalorText
{
public:
    // The letter's one transform target. The engine's 2-D transform turns its translation with
    // its matrix, so a letter turning on its own transform would swing about the screen's corner:
    // the place is kept here and the text object's own transform only scales, turns and fades.
    class Place : public TM_Transform
    {
    public:
        explicit Place(TM_Transform2D* look) : mLook(look) {}

        void SetX(float x) override { mPosition.x = x; }
        void SetY(float y) override { mPosition.y = y; }
        void SetZ(float z) override { mPosition.z = z; }
        void SetPosition(const TVec3& position) override { mPosition = position; }
        void SetPosition(float x, float y, float z) override { mPosition = TVec3(x, y, z); }
        float GetX() override { return mPosition.x; }
        float GetY() override { return mPosition.y; }
        float GetZ() override { return mPosition.z; }
        const TVec3& GetPosition() override { return mPosition; }
        void SetScaleX(float s) override { mLook->SetScaleX(s); }
        void SetScaleY(float s) override { mLook->SetScaleY(s); }
        void SetScaleZ(float s) override { mLook->SetScaleZ(s); }
        void SetScale(const TVec3& scale) override { mLook->SetScale(scale); }
        void SetScale(float x, float y, float z) override { mLook->SetScale(x, y, z); }
        float GetScaleX() override { return mLook->GetScaleX(); }
        float GetScaleY() override { return mLook->GetScaleY(); }
        float GetScaleZ() override { return mLook->GetScaleZ(); }
        const TVec3& GetScale() override { return mLook->GetScale(); }
        void SetRotationX(float r) override { mLook->SetRotationX(r); }
        void SetRotationY(float r) override { mLook->SetRotationY(r); }
        void SetRotationZ(float r) override { mLook->SetRotationZ(r); }
        void SetRotation(const TVec3& rotation) override { mLook->SetRotation(rotation); }
        void SetRotation(float x, float y, float z) override { mLook->SetRotation(x, y, z); }
        float GetRotationX() override { return mLook->GetRotationX(); }
        float GetRotationY() override { return mLook->GetRotationY(); }
        float GetRotationZ() override { return mLook->GetRotationZ(); }
        const TVec3& GetRotation() override { return mLook->GetRotation(); }
        void SetAlpha(float alpha) override { mLook->SetAlpha(alpha); }
        float GetAlpha() override { return mLook->GetAlpha(); }
        void SetUniformScale(float s) { mLook->SetUniformScale(s); }

    private:
        TM_Transform2D* mLook;
        TVec3 mPosition = TVec3(0, 0, 1);
    };

    // `table` is the board's "textinfo"; `random` (the board's, borrowed) makes every draw.
    GameplayHintThessalorText(const TLuaTable& table, TRandom& random);
    ~GameplayHintThessalorText();
    GameplayHintThessalorText(const GameplayHintThessalorText&) = delete;
    GameplayHintThessalorText& operator=(const GameplayHintThessalorText&) = delete;

    TString GetText() const;
    void Update(uint32_t dt);
    bool HitTest(TIntPoint point) const;
    // One drift after `delay` ms; each drift's end starts the next.
    void Drift(uint32_t delay);
    // The endless spin, beside the drifts.
    void StartSpin();
    // The flight into the target; `placed` (borrowed) is told once when it arrives.
    void FlyTo(Callback* placed);
    void OnArrived();
    void Reset();
    // The sparks (offset by the parent's translation) and then the letter.
    void Draw(const TDrawSpec& parent);

    bool IsInPlay() const { return mInPlay != 0; }
    void SetInPlay(bool inPlay) { mInPlay = inPlay ? 1 : 0; }
    void SetTarget(int32_t x, int32_t y, float rotation)
    {
        mTargetX = x;
        mTargetY = y;
        mTargetRotation = rotation;
    }
    TIntPoint GetTarget() const { return TIntPoint{mTargetX, mTargetY}; }
    float GetTargetRotation() const { return mTargetRotation; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mText; }
    Place& GetTransform() { return *mPlace; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    const std::array<TIntPoint, 6>& GetHitQuad() const { return mQuad; }
    const TVec2& GetCentre() const { return mCentre; }
    float GetMaxDistance() const { return mMaxDistance; }
    int32_t GetTimeMin() const { return mTimeMin; }
    int32_t GetTimeMax() const { return mTimeMax; }
    int32_t GetRotateTime() const { return mRotateTime; }
    const TString& GetFoundParticles() const { return mFoundParticles; }

private:
    // A duration from [time min, time max], at least 1 ms: a drift of 0 ms would end and start
    // the next inside one transform step for ever.
    uint32_t DrawDuration();
    static void OnDriftDone(void* object, TM_Transform* target, uint32_t id);
    static void OnArrivedAdapter(void* object, TM_Transform* target, uint32_t id);

    uint8_t mInPlay = 0;
    float mRotationMin = 0;
    float mRotationMax = 0;
    float mScaleAmount = 0;
    int32_t mTimeMin = 0;
    int32_t mTimeMax = 0;
    int32_t mRotateTime = 0;
    TVec2 mCentre;
    float mValidDistance = 0;
    float mMaxDistance = 0;
    float mValidAngleDiff = 0;
    Callback* mPlaced = nullptr;
    TRandom* mRandom;
    std::shared_ptr<TextObject> mText;
    std::unique_ptr<Place> mPlace;
    int32_t mTargetX = 0;
    int32_t mTargetY = 0;
    float mTargetRotation = 0;
    TString mFoundParticles;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    ParticleVector mLocus;
    std::array<TIntPoint, 6> mQuad = {};
};
