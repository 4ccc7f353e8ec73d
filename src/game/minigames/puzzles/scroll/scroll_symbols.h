// ScrollSymbols: the symbols hidden in the scroll. Their picture is never drawn whole: five quads
// around the lens show it, their texture coordinates sliding with the lens so the symbols stay
// fixed on the screen and only the part under the lens shows. The picture's drawn rectangle is
// the area in which the lens works.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "ui/window.h"
#include "render/renderer/vertex_set.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;
struct TDrawSpec;

class ScrollSymbols
{
public:
    static constexpr size_t kVertices = 20;
    static constexpr size_t kIndices = 30;
    static constexpr uint32_t kTriangleList = 4;
    // The texture coordinates slide by the lens's offset from where the mesh was laid out, over
    // the symbol picture's size (512 x 256).
    static constexpr float kLensHomeX = 400.0f;
    static constexpr float kLensHomeY = 277.0f;
    static constexpr float kTexelU = 1.0f / 512.0f;
    static constexpr float kTexelV = 1.0f / 256.0f;
    static const std::array<uint16_t, kIndices> kQuadIndices;

    ScrollSymbols();

    // "symbol01" and "scrollvertices" of `symbols`; the mesh is drawn where `lensSpec` places the
    // lens. Each missing table is a fatal report; a missing vertex ends the vertex loading.
    void Load(const TLuaTable& symbols, const TDrawSpec* lensSpec);
    // Inside the picture's drawn rectangle.
    bool HitTest(const TPoint& point) const;
    // The mesh moved to the lens, its picture bound.
    void Draw() const;
    // The mesh as it would be drawn now.
    std::array<TColoredVertex, kVertices> PlacedVertices() const;
    void LoadTexture();
    void ReleaseTexture();
    std::vector<TString> GetImageNames() const;

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const std::array<TColoredVertex, kVertices>& GetVertices() const { return mVertices; }

private:
    int32_t mX = 0;
    int32_t mY = 0;
    TString mImage;
    std::shared_ptr<TSprite> mSprite;
    std::array<TColoredVertex, kVertices> mVertices{};
    const TDrawSpec* mLensSpec = nullptr;
};
