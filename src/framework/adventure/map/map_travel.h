// MapTravel: the travel map's vignette of one leg: the leg's picture with optional background and
// foreground layers, and an object that slides in from one side of the screen, stops at a midpoint
// and slides out on the other while it bobs and rocks, with particles that follow it and a travel
// sound over a ramped sound group. The map drives it and is told when each phase ends.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "framework/widgets/particle_functions.h"
#include "platform/maths/geometry.h"
#include "render/renderer/draw_spec.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class AnimatedBitmap;
class TLuaParticleSystem;
class TLuaTable;
class TSprite;

class MapTravel
{
public:
    // The width of the screen the object crosses.
    static constexpr float kScreenWidth = 800.0f;

    // Built hidden: layer alpha 0, the object off screen. A missing "travel" table is a fatal
    // report and leaves the vignette without an object (IsComplete false).
    MapTravel(const TLuaTable& entry, uint8_t location);
    ~MapTravel();
    MapTravel(const MapTravel&) = delete;
    MapTravel& operator=(const MapTravel&) = delete;

    bool IsComplete() const { return mObject != nullptr; }
    // A time key of a table in whole milliseconds: missing, negative or NaN 0, huge values capped.
    static uint32_t ReadMs(const TLuaTable& table, const char* key);

    // The whole vignette fades in; nothing is called back.
    void FadeInLayer(uint32_t ms);
    // Background and foreground fade in over "layerfadetime", then `done` is called once.
    void ShowLayers(const Callback& done);
    // The object's crossing; `done` is called once when it has left. Answers its whole length,
    // "traveldelaytime" + "traveltime".
    uint32_t StartTravel(const Callback& done);
    // Background and foreground fade out, then `done` is called once.
    void HideLayers(const Callback& done);

    void Update();
    // The parts over the leg's picture, which the map draws first with GetLayerSpec().
    void Draw();
    void Pause();
    void Resume();

    const TDrawSpec& GetLayerSpec() const { return mLayerSpec; }
    const TDrawSpec& GetObjectSpec() const { return mObjectSpec; }
    const TDrawSpec& GetSceneSpec() const { return mSceneSpec; }
    const TDrawSpec& GetSwingSpec() const { return mSwingSpec; }
    const std::shared_ptr<TSprite>& GetMapImage() const { return mMapImage; }
    const std::shared_ptr<AnimatedBitmap>& GetObject() const { return mObject; }
    const std::shared_ptr<TLuaParticleSystem>& GetParticles() const { return mParticles; }
    const ParticleVector& GetLocus() const { return *mLocus; }
    const ParticleVector& GetAlphaValue() const { return *mAlphaValue; }
    int32_t GetSound() const { return mSound; }
    bool IsPaused() const { return mPaused; }
    bool IsSwingDue() const { return mSwingDue; }
    bool HasCompletion() const { return mCompletion.has_value(); }
    // Where the crossing starts, stops and ends (set by StartTravel).
    TVec2 GetStart() const { return mStart; }
    TVec2 GetEnd() const { return mEnd; }

private:
    static void OnPhaseEnd(void* object, TM_Transform* target, uint32_t id);
    static void OnSwingEnd(void* object, TM_Transform* target, uint32_t id);
    void FadeScene(float to, const Callback& done);
    void StartSwing();
    bool Swings() const { return mOscillateAmount != 0.0f || mRotateAmount != 0.0f; }
    std::array<TM_Transform*, 4> Transforms()
    {
        return {&mLayerTransform, &mObjectTransform, &mSceneTransform, &mSwingTransform};
    }

    bool mPaused = false;
    bool mSwingDue = false;
    bool mSoundPlaying = false;
    int32_t mSound = 0;
    TDrawSpec mLayerSpec;
    TDrawSpec mObjectSpec;
    TDrawSpec mSceneSpec;
    TDrawSpec mSwingSpec;
    std::shared_ptr<AnimatedBitmap> mObject;
    std::shared_ptr<TSprite> mMapImage;
    std::shared_ptr<AnimatedBitmap> mChildren;
    std::shared_ptr<AnimatedBitmap> mBackground;
    std::shared_ptr<AnimatedBitmap> mForeground;
    TM_Transform2D mLayerTransform;
    TM_Transform2D mObjectTransform;
    TM_Transform2D mSceneTransform;
    TM_Transform2D mSwingTransform;
    std::optional<Callback> mCompletion;
    std::shared_ptr<TLuaParticleSystem> mParticles;
    std::shared_ptr<ParticleVector> mLocus;
    std::shared_ptr<ParticleVector> mAlphaValue;
    TVec2 mParticleOffset;
    uint32_t mTravelTime = 0;
    uint32_t mTravelDelayTime = 0;
    uint32_t mLayerFadeTime = 0;
    float mOscillateAmount = 0;
    float mRotateAmount = 0;
    uint32_t mTimeSecondary = 0;
    float mMidpointX = 0;
    float mY = 0;
    uint32_t mSpaceTravelX = 0;
    uint32_t mSoundFade = 0;
    uint32_t mSoundGroupId = 0;
    TVec2 mStart;
    TVec2 mEnd;
};
