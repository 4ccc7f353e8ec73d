// Slider: the framework's skinned slider window: a rail of three images, a thumb of three (each
// may be an animation) dragged along it, an optional value text on the thumb, four sounds; and
// RectContainsPoint, the half-open rectangle test it and the game use.
#pragma once

#include "platform/maths/geometry.h"
#include "render/renderer/draw_spec.h"
#include "ui/window.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;
class TTextSprite;

// left <= x < right and top <= y < bottom.
bool RectContainsPoint(const TRect& rect, int32_t x, int32_t y);

class Slider : public TWindow
{
public:
    Slider();
    ~Slider() override;

    // The creator the game registers for "Slider"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();

    const char* GetClassName() const override { return "Slider"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    // Reads the style, loads the images and sounds and lays the rail and the window out.
    void PostInit(TWindowStyle& style) override;
    void Draw() override;
    // The thumb's animation, stepped by the frame driver; always true.
    bool Animate() override { return Update(); }
    bool Update();
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    bool OnMouseLeave() override;

    // The thumb centre's place along the rail as a fraction 0..1; 0 while the rail leaves the
    // thumb no room to travel.
    float GetValue() const;
    // Clamped to 0..1 (anything not finite counts as 0); always posts kSliderValChanged, named
    // after the slider, to its parent.
    void SetValue(float value);

    // Set by the enclosing screen while it (or a dialog over it) animates: mouse events are then
    // consumed and ignored.
    void SetDisabled(bool disabled) { mDisabled = disabled; }
    bool IsDisabled() const { return mDisabled; }
    // Its alpha is the slider's, which a dialog's fade sets.
    TDrawSpec& GetSpec() { return mSpec; }

    bool IsVertical() const { return mVertical; }
    bool IsHovering() const { return mHovering; }
    bool IsDragging() const { return mDragging; }
    // 1 normal, 2 pressed, 3 rollover.
    size_t GetCurrentThumb() const { return mCurrentThumb + 1; }
    int32_t GetFrame() const { return mFrame; }
    TVec2 GetThumbCentre() const;
    // Null without "showvalue".
    const std::shared_ptr<TTextSprite>& GetValueText() const { return mValueText; }
    const std::shared_ptr<TTextSprite>& GetValueShadow() const { return mValueShadow; }

private:
    // Whole pixels of the thumb's image (the current one), placed about the thumb's centre.
    TRect ThumbRect() const;
    TSprite* CurrentThumb() const;
    // Window length along the rail minus both insets; may be 0 or below.
    int64_t TravelLength() const;
    void SetThumbAlongRail(float position);
    void PlaySound(int32_t handle) const;
    void LoadThumbs(const TLuaTable& graphics);
    void LayoutRail(const TWindowStyle& style, const TRect& placed);
    void MakeValueText(const TWindowStyle& style, const TLuaTable& font);

    bool mShowValue = false;
    bool mVertical = true;
    bool mDisabled = false;
    bool mHovering = false;
    bool mDragging = false;
    bool mLoopAnimation = true;
    int32_t mTravelInset = 0;
    int32_t mAnimateSpeed = 0;
    uint32_t mFrameTime = 0;
    int32_t mFrame = 0;
    int32_t mSoundEnter = 0;
    int32_t mSoundExit = 0;
    int32_t mSoundClick = 0;
    int32_t mSoundTick = 0;
    TDrawSpec mThumbSpec;
    std::vector<std::shared_ptr<TSprite>> mThumbSprites;
    size_t mCurrentThumb = 0;
    std::shared_ptr<TSprite> mRailTop;
    std::shared_ptr<TSprite> mRailMiddle;
    std::shared_ptr<TSprite> mRailBottom;
    std::shared_ptr<TTextSprite> mValueText;
    std::shared_ptr<TTextSprite> mValueShadow;
    TDrawSpec mSpec;
    int32_t mDragOffsetX = 0;
    int32_t mDragOffsetY = 0;
    uint32_t mThumbHalfWidth = 0;
    uint32_t mThumbHalfHeight = 0;
    TVec2 mTextClickOffset;
    TVec2 mTextRolloverOffset;
};
