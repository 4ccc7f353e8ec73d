// PuzzleLens: the lens that follows the mouse over a puzzle, the scroll's crystal lens and the
// sky's lens alike. Its reference point is where the mouse was last followed; its picture hangs
// `spriteDrop` pixels below that point and carries five parts (the scroll's glows, the sky's
// plates) drawn under its spec; its collision rectangle, moved with the point, is what presses
// test.
#pragma once

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

// What tells one lens from the other: its table's name, its reports (each with the source and the
// line it has always named) and where its picture hangs.
struct PuzzleLensTraits
{
    const char* tableKey;
    const char* source;
    const char* missingLens;
    int32_t missingLensLine;
    const char* missingRect;
    int32_t missingRectLine;
    int32_t spriteDrop;
    // Whether a missing rectangle also leaves the parts unloaded.
    bool missingRectStops;
};

template <class Part> class PuzzleLens
{
public:
    static constexpr size_t kParts = 5;

    explicit PuzzleLens(const PuzzleLensTraits& traits);

    // The traits' table of `lens`: "x", "y", "image" and "collisionrect", then the five parts of
    // `parts`. A missing lens table leaves the lens empty; a missing rectangle is reported and
    // stays zero.
    void Load(const TLuaTable& lens, const TLuaTable& parts);
    // The reference point becomes `mouse`, the rectangle moves by as much and the picture follows.
    void FollowMouse(const TPoint& mouse);
    // The lens with an identity spec, then each lit part under it.
    void Draw() const;
    void LoadTextures();
    void ReleaseTextures();
    // The lens picture, then the parts' pictures (empty names left out).
    std::vector<TString> GetImageNames() const;

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TRect& GetCollisionRect() const { return mCollisionRect; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }

private:
    const PuzzleLensTraits& mTraits;
    int32_t mX = 0;
    int32_t mY = 0;
    TRect mCollisionRect{};
    TString mImage;
    std::shared_ptr<TSprite> mSprite;

protected:
    // Made after the lens's own sprite, as the parts always were.
    std::array<Part, kParts> mParts;
};
