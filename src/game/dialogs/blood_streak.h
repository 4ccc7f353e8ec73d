// BloodStreak: a run of blood (or wax) down a window. A drop fades in at a random point near the
// left or right edge, slides down the length of the streak revealing it, pauses, falls on, and the
// streak then fades out. Built from a description table; owners run its reveal step each frame
// before drawing it, and pause and resume it with themselves.
#pragma once

#include "framework/transforms/transform_target.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TSprite;

class BloodStreak
{
public:
    BloodStreak();
    ~BloodStreak();
    BloodStreak(const BloodStreak&) = delete;
    BloodStreak& operator=(const BloodStreak&) = delete;

    // A new streak started at once on the transform manager; null when either image cannot be
    // loaded.
    static std::shared_ptr<BloodStreak> Create(const TLuaTable& description);

    // Uncovers as much of the streak as the drop has slid past; once all of it is, the whole
    // image is drawn from then on.
    void Reveal();
    void Draw(const TDrawSpec& parent);
    // Drop first, then streak, as they were started.
    void Pause();
    void Resume();

    bool IsFinished() const { return mFinished; }
    bool IsRevealing() const;
    float GetStreakFadeLength() const { return mStreakFadeLength; }
    TM_Transform2D& GetStreakTransform() { return mStreakTransform; }
    TM_Transform2D& GetDropTransform() { return mDropTransform; }
    const std::shared_ptr<TSprite>& GetStreakSprite() const { return mStreakSprite; }
    const std::shared_ptr<TSprite>& GetDropSprite() const { return mDropSprite; }

private:
    static void OnFadedOut(void* object, TM_Transform*, uint32_t);

    bool mFinished = false;
    float mStreakFadeLength = 0;
    std::shared_ptr<TSprite> mStreakSprite;
    TM_Transform2D mStreakTransform;
    std::shared_ptr<TSprite> mDropSprite;
    TM_Transform2D mDropTransform;
    // The streak image's height, the length the drop slides.
    int32_t mStreakHeight = 0;
};
