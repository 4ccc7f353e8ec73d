// ScrollLens: the crystal lens that follows the mouse over the scroll. Its reference point is
// where the mouse was last followed; its sprite hangs 40 pixels below that point and carries the
// five glows; its collision rectangle, moved with the point, is what presses test.
#pragma once

#include "game/minigames/scroll_glow.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "ui/window.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;

class ScrollLens
{
public:
    static constexpr size_t kGlows = 5;
    // How far below the reference point the lens picture is placed.
    static constexpr int32_t kSpriteDrop = 40;

    ScrollLens();

    // "crystallens01" of `lens`: "x", "y", "image" and "collisionrect", then the five glows of
    // `glows`. A missing lens table leaves the lens empty; a missing rectangle loads no glows.
    void Load(const TLuaTable& lens, const TLuaTable& glows);
    // The reference point becomes `mouse`, the rectangle moves by as much and the picture follows.
    void FollowMouse(const TPoint& mouse);
    // The lens with an identity spec, then each lit glow under it.
    void Draw() const;
    void LoadTextures();
    void ReleaseTextures();
    // The lens picture, then the five glows' pictures (empty names left out).
    std::vector<TString> GetImageNames() const;
    // The first unlit glow in order lights; none when all are lit.
    void LightNextGlow();
    void UnlightGlows();
    size_t CountLitGlows() const;

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TRect& GetCollisionRect() const { return mCollisionRect; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const ScrollGlow& GetGlow(size_t index) const { return mGlows[index]; }

private:
    int32_t mX = 0;
    int32_t mY = 0;
    TRect mCollisionRect{};
    TString mImage;
    std::shared_ptr<TSprite> mSprite;
    std::array<ScrollGlow, kGlows> mGlows;
};
