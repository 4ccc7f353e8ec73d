// HeavensLens: the lens that searches the sky. It follows the mouse over the sky, its picture
// placed at the mouse itself, and carries the five plates; its collision rectangle, moved with
// the reference point, is what presses test.
#pragma once

#include "game/minigames/heavens_plate.h"
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

class HeavensLens
{
public:
    static constexpr size_t kPlates = 5;

    HeavensLens();

    // "lens01" of `lens`: "x", "y", "image" and "collisionrect", then the five plates of
    // `plates`. A missing lens table leaves the lens empty; a missing rectangle is reported and
    // stays zero, the plates still load.
    void Load(const TLuaTable& lens, const TLuaTable& plates);
    void FollowMouse(const TPoint& mouse);
    // The lens with an identity spec, then each lit plate under it.
    void Draw() const;
    void LoadTextures();
    void ReleaseTextures();
    // The lens picture, then the plates' pictures (empty names left out).
    std::vector<TString> GetImageNames() const;
    void SetPlateLit(size_t index, bool lit) { mPlates[index].SetLit(lit); }

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TRect& GetCollisionRect() const { return mCollisionRect; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const HeavensPlate& GetPlate(size_t index) const { return mPlates[index]; }

private:
    int32_t mX = 0;
    int32_t mY = 0;
    TRect mCollisionRect{};
    TString mImage;
    std::shared_ptr<TSprite> mSprite;
    std::array<HeavensPlate, kPlates> mPlates;
};
