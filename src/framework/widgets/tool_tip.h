// ToolTip: a text box on a translucent background that fades in beside a point after the pointer
// has rested, stays a while or until its text changes, then fades out. It is no window: its
// owner drives it every frame (Update) and draws it (Draw).
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TSprite;
class TTextSprite;

// A pre-coloured 2-D vertex of the background, 32 bytes as the renderer takes them.
struct ToolTipVertex
{
    float x = 0;
    float y = 0;
    float z = 0;
    float rhw = 0.5f;
    uint32_t colour = 0;
    uint32_t specular = 0;
    float u = 0;
    float v = 0;
};
static_assert(sizeof(ToolTipVertex) == 32);

class ToolTip
{
public:
    enum : int32_t
    {
        kShown = 0,
        kFadingIn = 1,
        kFadingOut = 2,
        kHidden = 3
    };
    // Placement bits of "position".
    enum : int32_t
    {
        kCentreX = 1,
        kRightOfPoint = 2,
        kCentreY = 4,
        kBelowPoint = 8
    };

    // Reads the table; a table without "font" is a fatal report and leaves a tool tip that
    // never shows.
    explicit ToolTip(const TLuaTable& table);
    ToolTip(const ToolTip&) = delete;
    ToolTip& operator=(const ToolTip&) = delete;
    virtual ~ToolTip();

    // Once per frame with what lies under the pointer.
    virtual void Update(const TString& text, int32_t x, int32_t y, TColor background,
                        bool immediate);
    virtual void Hide(bool immediate);
    // The background's alpha follows the box's.
    virtual void UpdateScrim(void* ignored = nullptr);
    virtual void Draw();
    // The ends of the fade-in and the fade-out.
    virtual void OnShown(uint32_t ignored);
    virtual void OnHidden(uint32_t ignored);
    // Lays the box out for the text at the point and starts the fade-in.
    virtual void Show(const TString& text, int32_t x, int32_t y);

    // The box's centre for a text of w x h at the point, kept inside the bounds.
    struct Placement
    {
        int32_t x = 0;
        int32_t y = 0;
    };
    static Placement Place(int32_t position, int32_t x, int32_t y, int32_t w, int32_t h,
                           int32_t borderWidth, int32_t borderHeight, const TRect& bounds);

    int32_t GetState() const { return mState; }
    bool IsSuppressed() const { return mSuppressed; }
    const TString& GetText() const { return mText; }
    const ToolTipVertex* GetCorners() const { return mCorners; }
    float GetScrimAlphaMax() const { return mScrimAlphaMax; }
    TM_Transform2D& GetTransform() { return mTransform; }
    const std::shared_ptr<TTextSprite>& GetTextSprite() const { return mTextSprite; }
    const std::shared_ptr<TTextSprite>& GetShadowSprite() const { return mShadowSprite; }

private:
    // Replaces the box's fades with one to `alpha`, calling back `done` at its end.
    void StartFade(float alpha, void (*done)(void*, TM_Transform*, uint32_t));
    uint32_t FrameStep() const;

    bool mSuppressed = false;
    int32_t mPosition = 0;
    TString mText;
    int32_t mState = kHidden;
    std::shared_ptr<TTextSprite> mTextSprite;
    std::shared_ptr<TTextSprite> mShadowSprite;
    std::shared_ptr<TSprite> mBox;
    TM_Transform2D mTransform;
    ToolTipVertex mCorners[4];
    uint16_t mIndices[6] = {0, 1, 2, 0, 2, 3};
    float mScrimAlphaMax = 0;
    int32_t mBorderWidth = 0;
    int32_t mBorderHeight = 0;
    int32_t mInitialWait = 0;
    int32_t mVisibleTime = 0;
    uint32_t mTimer = 0;
    int32_t mFadeTime = 0;
    int32_t mMinX = 0;
    int32_t mMinY = 0;
    int32_t mMaxX = 0;
    int32_t mMaxY = 0;
};
