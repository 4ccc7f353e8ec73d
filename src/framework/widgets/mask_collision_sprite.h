// MaskCollisionSprite: a sprite with a byte mask per texel, a copy that follows its drawn rotation
// and scale for screen-space overlap tests, and the glow ("hilite") texture around an image frame.
#pragma once

#include "platform/maths/geometry.h"
#include "render/sprites/sprite.h"

#include <cstdint>
#include <memory>

class TAnimatedTexture;
class TTexture;

class MaskCollisionSprite : public TSprite
{
public:
    static std::shared_ptr<MaskCollisionSprite> Create();
    MaskCollisionSprite();
    ~MaskCollisionSprite() override;

    const char* GetClassName() const override { return "MaskCollisionSprite"; }
    bool IsKindOf(TSpriteClassId id) const override
    {
        return id == GetClassId() || TSprite::IsKindOf(id);
    }
    static TSpriteClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }

    // Makes the texture the sprite's own and builds the mask from it: any non-zero texel is solid.
    bool CreateMask(std::shared_ptr<TTexture> maskTexture);
    // CreateMask, then the glow around frame `frame` of `image` in the glow colour; the glow
    // texture is kept and also handed out through `hiliteOut`.
    bool CreateMaskAnimated(std::shared_ptr<TTexture>& hiliteOut, int frame,
                            const TColor& glowColour, std::shared_ptr<TTexture> maskTexture,
                            std::shared_ptr<TAnimatedTexture> image);
    // Whether a solid texel of each sprite, drawn under its parent spec, share a screen texel.
    bool CollidesWith(const TDrawSpec& ownParentSpec, const TDrawSpec& otherParentSpec,
                      const std::shared_ptr<MaskCollisionSprite>& other);
    // Brings the current mask up to date with the rotation and uniform scale of the sprite drawn
    // under `parentSpec`; byte (x, y) then stands for the screen texel at the bounds' top left
    // plus (x, y).
    void UpdateTransformedMask(const TDrawSpec& parentSpec);
    void ReleaseMasks();

    const uint8_t* GetBaseMask() const { return mBaseMask.get(); }
    const uint8_t* GetMask() const { return mMask; }
    int32_t GetBaseWidth() const { return mBaseWidth; }
    int32_t GetBaseHeight() const { return mBaseHeight; }
    int32_t GetMaskWidth() const { return mMaskWidth; }
    int32_t GetMaskHeight() const { return mMaskHeight; }
    float GetMaskScale() const { return mMaskScale; }
    float GetMaskAngle() const { return mMaskAngle; }
    const std::shared_ptr<TTexture>& GetHilite() const { return mHilite; }
    // Transformed masks made so far, so a caller can see a rebuild was skipped.
    uint32_t GetTransformBuilds() const { return mTransformBuilds; }

    // The glow of `frame` of a locked image into a locked texture of the frame's size plus 8 on
    // every side: copy, glow, hollow. Every texel is written, whatever the texture held.
    static void FillHilite(uint32_t* hilite, int hilitePitch, const uint32_t* image, int imagePitch,
                           const TRect& frame, uint32_t glowColour);

private:
    void FreeMasks();
    void FreeTransformedMask();
    void UseBaseMask();

    std::unique_ptr<uint8_t[]> mBaseMask;
    // Either mBaseMask's bytes or mTransformed's; null without a mask or for an empty copy.
    const uint8_t* mMask = nullptr;
    std::unique_ptr<uint8_t[]> mTransformed;
    int32_t mBaseHeight = 0;
    int32_t mBaseWidth = 0;
    int32_t mMaskHeight = 0;
    int32_t mMaskWidth = 0;
    float mMaskScale = 1.0f;
    float mMaskAngle = 0.0f;
    std::shared_ptr<TTexture> mHilite;
    uint32_t mTransformBuilds = 0;
};
