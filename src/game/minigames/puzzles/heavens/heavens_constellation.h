// HeavensConstellation: one of the five animated constellations, seen only through the lens: a
// quad around the lens shows its current frame at the place the frame has on the screen, cut to
// its clip rectangle.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/renderer/vertex_set.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class AnimatedBitmap;
class TLuaTable;
struct TDrawSpec;

class HeavensConstellation
{
public:
    static constexpr float kLensHomeX = 400.0f;
    static constexpr float kLensHomeY = 237.0f;

    // "constalation%02d" (`index` 1 to 5) of `constellations`: its "animationtable", "cliprect"
    // and "vertices"; the quad follows `lensSpec`. Each missing table is a fatal report.
    void Load(int32_t index, const TLuaTable& constellations, const TDrawSpec* lensSpec);
    // Nothing without a bitmap or its animated picture.
    void Draw() const;
    // The quad as it would be drawn now; false when there is nothing to draw.
    bool PlacedVertices(std::array<TColoredVertex, 4>& out) const;
    // The bitmap's frame names and its entries: none without a bitmap.
    std::vector<TString> GetImageNames() const;
    std::vector<TString> GetEntries() const;
    void Update();
    void LoadTextures();
    void ReleaseTextures();

    const std::shared_ptr<AnimatedBitmap>& GetBitmap() const { return mBitmap; }
    const TRect& GetClipRect() const { return mClipRect; }
    const std::array<TColoredVertex, 4>& GetVertices() const { return mVertices; }

private:
    std::shared_ptr<AnimatedBitmap> mBitmap;
    TRect mClipRect{};
    std::array<TColoredVertex, 4> mVertices{};
    const TDrawSpec* mLensSpec = nullptr;
};
