// GameplayToolTip: the label box of the inventory object under the mouse: its localised name
// and, above it, the pictures of the hidden items still missing for it, composed once per showing
// into a texture of its own, flown out of the object to a fixed point and back into it.
#pragma once

#include "framework/transforms/transform_manager.h"
#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/draw_spec.h"

#include <cstdint>
#include <memory>
#include <vector>

class GameplayInventory;
class GameplayItem;
class TAnimatedSprite;
class TAnimatedTexture;
class TLuaTable;
class TSprite;
class TTextSprite;

class GameplayToolTip
{
public:
    enum : int32_t
    {
        kShown = 0,
        kIntro = 1,
        kOutro = 2,
        kHidden = 3
    };

    // The 32-byte coloured vertex of the background quad.
    struct Vertex
    {
        float mX = 0;
        float mY = 0;
        float mZ = 0;
        float mW = 0.5f;
        uint32_t mColour = 0;
        uint32_t mSecond = 0;
        float mU = 0;
        float mV = 0;
    };

    // Without a "font" table the fatal report "fontTable" is made and the box stays unbuilt.
    explicit GameplayToolTip(const TLuaTable& table);
    GameplayToolTip(const GameplayToolTip&) = delete;
    GameplayToolTip& operator=(const GameplayToolTip&) = delete;
    ~GameplayToolTip();

    // Every frame while an object is under the mouse; `items` are the hidden items still to find
    // for it, whose found look (frame 1) forms the row above the name, left to right.
    void Update(GameplayInventory* target, uint32_t colour, bool immediate,
                std::vector<GameplayItem*> items);
    // The same with the items' animated pictures.
    void Update(GameplayInventory* target, uint32_t colour, bool immediate,
                const std::vector<std::shared_ptr<TAnimatedTexture>>& pictures);
    void Hide();
    void Draw();
    // Composes the box into its texture; true at once while hidden.
    bool CreateTextures();
    // `text` with n more line breaks, the narrowest found; leaves the text sprite holding the
    // last candidate tried.
    TString InsertLineBreak(const TString& text, int n);

    int32_t GetState() const { return mState; }
    bool IsDismissed() const { return mDismissed; }
    uint32_t GetElapsed() const { return mElapsed; }
    GameplayInventory* GetTarget() const { return mTarget; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    TM_Transform2D& GetTransform() { return mTransform; }
    const std::shared_ptr<TTextSprite>& GetText() const { return mText; }
    const std::shared_ptr<TTextSprite>& GetShadow() const { return mShadow; }
    const std::vector<std::shared_ptr<TAnimatedSprite>>& GetItems() const { return mItems; }
    const Vertex* GetCorners() const { return mCorners; }
    float GetEndScale() const { return mEndScale; }
    int32_t GetSound() const { return mSound; }

private:
    void Show(GameplayInventory* target,
              const std::vector<std::shared_ptr<TAnimatedTexture>>& pictures);
    void DrawContents();
    bool RenderPass(int32_t kind);
    float TextWidth() const;
    static void OnIntroDone(void* object, TM_Transform* target, uint32_t id);
    static void OnOutroDone(void* object, TM_Transform* target, uint32_t id);

    bool mDismissed = false;
    int32_t mState = kHidden;
    std::shared_ptr<TSprite> mSprite;
    TM_Transform2D mTransform;
    GameplayInventory* mTarget = nullptr;
    std::vector<std::shared_ptr<TAnimatedSprite>> mItems;
    std::shared_ptr<TTextSprite> mText;
    std::shared_ptr<TTextSprite> mShadow;
    uint16_t mIndices[6] = {0, 1, 2, 1, 2, 3};
    Vertex mCorners[4];
    std::shared_ptr<TSprite> mBackground;
    TVec4 mItemShadowColour;
    uint32_t mItemShadowOffsetX = 0;
    uint32_t mItemShadowOffsetY = 0;
    uint32_t mMinimumWidth = 0;
    uint32_t mWidthPerLine = 0;
    int32_t mSound = 0;
    TVec2 mHome;
    TString mTextMask = "%s";
    uint32_t mTimeIntro = 0;
    uint32_t mTimeOutro = 0;
    uint32_t mTimeInitialWait = 0;
    uint32_t mTimeVisible = 0;
    uint32_t mElapsed = 0;
    uint32_t mItemSpacing = 0;
    uint32_t mBorderWidth = 0;
    uint32_t mBorderHeight = 0;
    // The box's size and its end scale, from the last Show.
    float mWidth = 0;
    float mHeight = 0;
    float mEndScale = 1.0f;
    bool mBuilt = false;
};
