// HeavensBackground: the night sky of the heavens puzzle: drawn whole, then once more through a
// quad around the lens whose texture coordinates are pulled in, so the sky under the lens shows
// magnified.
#pragma once

#include "platform/strings/tstring.h"
#include "render/renderer/vertex_set.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class TLuaTable;
class TSprite;
struct TDrawSpec;

// Reads "vert00" to "vert03" of `vertices` ("x", "y", "u", "v") as pre-lit opaque white vertices.
// A missing one is a fatal report with `missing` and ends the reading; the answer is false then.
bool ReadHeavensQuad(const TLuaTable& vertices, std::array<TColoredVertex, 4>& out,
                     const char* missing, const char* source);

class HeavensBackground
{
public:
    static constexpr uint32_t kTriangleList = 4;
    // The quad's two triangles, shared with the constellations.
    static const std::array<uint16_t, 6> kQuadIndices;
    // The sky slides by the lens's offset from where the quad was laid out, over the sky's size
    // (1024 x 512).
    static constexpr float kLensHomeX = 400.0f;
    static constexpr float kLensHomeY = 237.0f;
    static constexpr float kTexelU = 1.0f / 1024.0f;
    static constexpr float kTexelV = 1.0f / 512.0f;
    // Per corner, what its texture coordinates are multiplied by.
    static const std::array<float, 4> kScaleU;
    static const std::array<float, 4> kScaleV;

    HeavensBackground();

    // "background01" and "backgroundvertices" of `background`; the quad follows `lensSpec`. Each
    // missing table is a fatal report.
    void Load(const TLuaTable& background, const TDrawSpec* lensSpec);
    // The whole sky, then the magnified quad.
    void Draw() const;
    std::array<TColoredVertex, 4> PlacedVertices() const;
    void LoadTexture();
    void ReleaseTexture();
    std::vector<TString> GetImageNames() const;

    int32_t GetX() const { return mX; }
    int32_t GetY() const { return mY; }
    const TString& GetImage() const { return mImage; }
    const std::shared_ptr<TSprite>& GetSprite() const { return mSprite; }
    const std::array<TColoredVertex, 4>& GetVertices() const { return mVertices; }

private:
    int32_t mX = 0;
    int32_t mY = 0;
    TString mImage;
    std::shared_ptr<TSprite> mSprite;
    std::array<TColoredVertex, 4> mVertices{};
    const TDrawSpec* mLensSpec = nullptr;
};
