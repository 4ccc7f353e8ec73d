// GameplayHint: one hint character's medallion in the HUD: the medallion picture that spins
// through its frames and glows while the mouse is over it, a black scrim behind it, and up to
// eight trackers, one per hint charge, pulsing in a staggered wave while available. Passive: the
// HUD and the scene runner set its request flags and ask it questions.
#pragma once

#include "framework/core/frame_services.h"
#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/vertex_set.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SoundEffect;
class TAnimatedSprite;
class TAnimatedTexture;
class TLuaTable;
class TM_Transform;

class GameplayHint
{
public:
    // The masks have a bit per tracker.
    static constexpr size_t kMaxTrackers = 8;

    // `character` is "hintlirae" or "hintthessalor" of the HUD's style, `hintInfo` its
    // "hintinfo". Without a "medallion" or "tracker" table a fatal report; the medallion keeps
    // what was built before.
    GameplayHint(const TLuaTable& character, const TLuaTable& hintInfo);
    GameplayHint(const GameplayHint&) = delete;
    GameplayHint& operator=(const GameplayHint&) = delete;
    ~GameplayHint();

    // `point` in HUD coordinates: the glow, the tracker highlight and the sounds of this frame;
    // the request flags are cleared.
    void Update(const TIntPoint& point);
    void DrawMedallion(const TDrawSpec& spec);
    void DrawTrackers(const TDrawSpec& spec);
    void Pause();
    void Resume();
    bool HitTracker(const TIntPoint& point, const TDrawSpec& spec, bool availableOnly);
    // Selects the first available tracker under the point; none: the click sound.
    void SelectTrackerAt(const TIntPoint& point, const TDrawSpec& spec);
    // With `onlyIfMissing` a medallion whose trackers are all available is never hit.
    bool HitMedallion(const TIntPoint& point, const TDrawSpec& spec, bool onlyIfMissing);
    // None selected: reported, and (0, 0).
    TIntPoint GetClickedPosition(const TDrawSpec& spec);
    // -1 when there is none.
    int32_t GetFirstMissingTracker() const;
    int32_t GetFirstSelectedTracker() const;
    // An index outside the trackers (negative ones too): reported, and (0, 0).
    TIntPoint GetTrackerPosition(int32_t index) const;
    // An index outside the trackers: reported, and the first tracker's texture (none without
    // trackers).
    std::shared_ptr<TAnimatedTexture> GetTrackerTexture(int32_t index) const;
    // Makes the lowest missing tracker available.
    void FillNextTracker();
    int32_t CountAvailableTrackers() const;
    // Turns the medallion through its frames to the last (play) or back to the first.
    void Spin(bool play);

    // Set for the current frame while the mouse is over the medallion, resp. its trackers.
    void RequestHover() { mHoverRequested = 1; }
    void RequestTrackerHover() { mTrackerHoverRequested = 1; }

    uint8_t GetAvailableMask() const { return mAvailableMask; }
    void SetAvailableMask(uint8_t mask) { mAvailableMask = mask; }
    uint8_t GetSelectedMask() const { return mSelectedMask; }
    void SetSelectedMask(uint8_t mask) { mSelectedMask = mask; }
    bool IsGlowOn() const { return mGlowOn != 0; }
    bool IsTrackerHighlightOn() const { return mTrackerHighlightOn != 0; }
    uint32_t GetHighlightedTracker() const { return mHighlightedTracker; }
    size_t GetTrackerCount() const { return mTrackerSprites.size(); }
    float GetTrackerPulse(size_t index) const { return mTrackerSpecs[index]->mAlpha; }
    float GetGlowAlpha() const { return mGlowSpec.mAlpha; }
    // The frame the medallion shows for the spin's progress.
    int32_t GetSpinFrame() const;
    const std::shared_ptr<TAnimatedSprite>& GetMedallionSprite() const { return mMedallionSprite; }
    const std::shared_ptr<TAnimatedSprite>& GetTrackerSprite(size_t index) const
    {
        return mTrackerSprites[index];
    }
    const std::shared_ptr<SoundEffect>& GetClickSound() const { return mClickSound; }
    const std::shared_ptr<SoundEffect>& GetOverSound() const { return mOverSound; }

private:
    // One pulse cycle of tracker `index`: up after `delay` ms, then down, and again.
    void StartPulse(size_t index, uint32_t delay);
    static void RestartTrackerPulse(void* object, TM_Transform* target, uint32_t id);
    // Fades the target's alpha from where it is to `to`.
    static uint32_t FadeFromCurrent(TM_Transform* target, int32_t ms, float to);
    bool HitSprite(TAnimatedSprite& sprite, int32_t frame, const TIntPoint& point,
                   const TDrawSpec& spec, int threshold);
    bool IsIndex(int32_t index) const
    {
        return index >= 0 && static_cast<size_t>(index) < mTrackerSprites.size();
    }
    static void Schedule(SoundEffect* sound);

    using ScrimVertex = TColoredVertex;

    uint8_t mHoverRequested = 0;
    uint8_t mGlowOn = 0;
    uint8_t mTrackerHoverRequested = 0;
    uint8_t mTrackerHighlightOn = 0;
    uint8_t mAvailableMask = 0;
    uint8_t mSelectedMask = 0;
    uint32_t mHighlightedTracker = 0;
    ScrimVertex mScrimVertices[4] = {};
    static const uint16_t kScrimIndices[6];
    std::shared_ptr<TAnimatedSprite> mMedallionSprite;
    std::vector<std::shared_ptr<TAnimatedSprite>> mTrackerSprites;
    std::vector<std::shared_ptr<TDrawSpec>> mTrackerSpecs;
    std::vector<std::shared_ptr<TM_Transform2D>> mTrackerTransforms;
    float mMedallionSpinDuration = 0;
    int32_t mTimePulse = 0;
    float mAlphaPulse = 0;
    int32_t mTimeMedallionPulse = 0;
    float mAlphaMedallionPulse = 0;
    int32_t mTimePulseDelay = 0;
    // Where a spin of no duration ended: its progress cannot be told from its position.
    bool mSpunToEnd = false;
    TDrawSpec mSpinSpec;
    TM_Transform2D mSpinTransform{&mSpinSpec};
    TDrawSpec mGlowSpec;
    TM_Transform2D mGlowTransform{&mGlowSpec};
    std::shared_ptr<SoundEffect> mClickSound;
    std::shared_ptr<SoundEffect> mOverSound;
};
