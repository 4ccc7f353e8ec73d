// TSlider, a horizontal or vertical slider: a rail drawn from three images (start, stretched
// middle, end) and a thumb image window; dragging the thumb reports the value, a press beside it a
// page.
#pragma once

#include "ui/window.h"

#include <cstdint>
#include <memory>

class TImage;
class TTexture;

class TSlider : public TWindow
{
public:
    TSlider();
    ~TSlider() override;

    // The creator registered for "Slider"; its address is the class id.
    static TWindow* Create();
    static TClassId GetClassId();
    static TSlider* FromWindow(TWindow* window);

    const char* GetClassName() const override { return "TSlider"; }
    bool IsKindOf(TClassId id) const override
    {
        return id == GetClassId() || TWindow::IsKindOf(id);
    }
    void Init(TWindowStyle& style) override;
    void Draw() override;
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;
    bool OnMouseLeave() override;

    // Clamped to [0, 1]; silent sends no kSliderValChanged.
    void SetValue(float value, bool silent);
    float GetValue() const { return mValue; }
    void SetRailImages(std::shared_ptr<TTexture> start, std::shared_ptr<TTexture> middle,
                       std::shared_ptr<TTexture> end);
    void SetThumbImages(std::shared_ptr<TTexture> normal, std::shared_ptr<TTexture> rollover);
    void SetHorizontal(bool horizontal) { mHorizontal = horizontal; }
    bool IsHorizontal() const { return mHorizontal; }
    bool IsDragging() const { return mDragging != 0; }
    TImage* GetThumb() const { return mThumb; }
    int32_t GetThickness() const { return mThickness; }

private:
    void MoveThumb();
    void ApplySizeRule();
    void ShowThumbImage(bool rollover);
    bool InThumb(TPoint point) const;
    bool InSlider(TPoint point) const;
    void Notify(int32_t type);

    int32_t mDragging = 0;
    bool mInitialised = false;
    // Owned here until it becomes a child; the window tree deletes it from then on.
    TImage* mThumb;
    std::shared_ptr<TTexture> mThumbImages[2];
    std::shared_ptr<TTexture> mRailImages[3];
    float mValue = 0.0f;
    float mScale = 1.0f;
    float mRailScale = 1.0f;
    int32_t mOffset = 0;
    int32_t mThickness = 0;
    bool mHorizontal = false;
};
