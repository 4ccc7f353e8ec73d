// RitualCrystal: one crystal of the ritual puzzle: where it sits, its two-frame picture (frame 1
// at rest, frame 0 lit), the glow whose alpha fades in and out over the lit frame, and the sound
// armed when it lights.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>

class SoundEffect;
class TAnimatedSprite;
class TLuaTable;

class RitualCrystal
{
public:
    static constexpr int32_t kLitFrame = 0;
    static constexpr int32_t kRestFrame = 1;
    // The glow fades' S-curve.
    static constexpr float kFadeSmoothing = -0.5f;

    RitualCrystal();
    // Ends the glow's fades first, so none reaches a destroyed crystal.
    ~RitualCrystal();
    RitualCrystal(const RitualCrystal&) = delete;
    RitualCrystal& operator=(const RitualCrystal&) = delete;

    // "x", "y", "image" and "sound" from the crystal's table, the fade times ("timeonfade",
    // "timeofffade") from the shared `info`; numbers truncated, missing ones 0. The glow goes
    // dark at once.
    void Load(const TLuaTable& crystal, const TLuaTable& info);
    // The animated picture its image names; none without an image.
    void LoadTexture();
    void ReleaseTexture();
    // Frame 1 under a plain spec decides.
    bool HitTest(const TPoint& point) const;
    // Nothing when already so. Else the glow fades from where it is to 1 (lit, the sound armed)
    // or to 0.
    void SetLit(bool on);
    // Frame 1 plainly, then frame 0 under the glow; left at frame 0.
    void Draw() const;
    // The glow's fade and the sound.
    void Pause();
    void Resume();

    bool IsLit() const { return mLit; }
    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    int32_t GetTimeOnFade() const { return mTimeOnFade; }
    int32_t GetTimeOffFade() const { return mTimeOffFade; }
    const TString& GetImage() const { return mImage; }
    float GetGlow() const { return mGlowSpec.mAlpha; }
    TM_Transform2D& GetGlowTransform() { return mGlowTransform; }
    const std::shared_ptr<TAnimatedSprite>& GetSprite() const { return mSprite; }
    const std::shared_ptr<SoundEffect>& GetSound() const { return mSound; }

private:
    bool mLit = false;
    int32_t mX = 0;
    int32_t mY = 0;
    int32_t mTimeOnFade = 0;
    int32_t mTimeOffFade = 0;
    TString mImage;
    std::shared_ptr<TAnimatedSprite> mSprite;
    TDrawSpec mGlowSpec;
    // Over mGlowSpec, so declared after it.
    TM_Transform2D mGlowTransform{&mGlowSpec};
    std::shared_ptr<SoundEffect> mSound;
};
