// The scroll's hidden symbols: their table, the area test and the revealing mesh.
#include "game/minigames/puzzles/scroll/scroll_symbols.h"

#include "framework/core/frame_services.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "framework/core/settings.h"

#include <cstdio>

namespace
{
const char kSource[] = "scrollsymbols";
} // namespace

const std::array<uint16_t, ScrollSymbols::kIndices> ScrollSymbols::kQuadIndices = {
    0, 2,  3,  0,  1,  2,  4,  5,  6,  4,  6,  7,  8,  9,  10,
    8, 10, 11, 12, 13, 14, 12, 14, 15, 16, 17, 18, 16, 18, 19};

ScrollSymbols::ScrollSymbols() : mSprite(TSprite::Create(0)) {}

void ScrollSymbols::Load(const TLuaTable& symbols, const TDrawSpec* lensSpec)
{
    mLensSpec = lensSpec;
    std::unique_ptr<TLuaTable> symbol{symbols.GetTable("symbol01")};
    if (symbol == nullptr)
        ReportError("ERROR: No symbol index table for ScrollSymbols!", kSource, __LINE__, true);
    else
    {
        mX = ScriptNumberToInt(symbol->GetNumber("x", 0));
        mY = ScriptNumberToInt(symbol->GetNumber("y", 0));
        mImage = symbol->GetString("image");
        mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    }
    std::unique_ptr<TLuaTable> vertices{symbols.GetTable("scrollvertices")};
    if (vertices == nullptr)
    {
        ReportError("ERROR: No symbol vertices table for ScrollSymbols!", kSource, __LINE__, true);
        return;
    }
    for (size_t i = 0; i < kVertices; ++i)
    {
        char key[16];
        std::snprintf(key, sizeof key, "vert%02d", static_cast<int>(i));
        std::unique_ptr<TLuaTable> vertex{vertices->GetTable(key)};
        if (vertex == nullptr)
        {
            ReportError("ERROR: No symbol vertices index table for ScrollSymbols!", kSource,
                        __LINE__, true);
            return;
        }
        TColoredVertex& out = mVertices[i];
        out.x = static_cast<float>(vertex->GetNumber("x", 0));
        out.y = static_cast<float>(vertex->GetNumber("y", 0));
        out.z = 0.0f;
        out.diffuse = 0xFFFFFFFFu;
        out.u = static_cast<float>(vertex->GetNumber("u", 0));
        out.v = static_cast<float>(vertex->GetNumber("v", 0));
    }
}

bool ScrollSymbols::HitTest(const TPoint& point) const
{
    return mSprite->HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                            TDrawSpec(), -1);
}

std::array<TColoredVertex, ScrollSymbols::kVertices> ScrollSymbols::PlacedVertices() const
{
    // The lens picture hangs 40 pixels below the point the mesh is laid around.
    const float tx = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][0] : 0.0f;
    const float ty = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][1] : 0.0f;
    std::array<TColoredVertex, kVertices> placed = mVertices;
    for (TColoredVertex& vertex : placed)
    {
        vertex.x += tx;
        vertex.y += ty - 40.0f;
        vertex.u += (tx - kLensHomeX) * kTexelU;
        vertex.v += (ty - kLensHomeY) * kTexelV;
    }
    return placed;
}

void ScrollSymbols::Draw() const
{
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const std::array<TColoredVertex, kVertices> placed = PlacedVertices();
    const bool opened = !renderer->InBegin2d() && renderer->Begin2d();
    renderer->SetTexture(mSprite->GetTexture());
    TVertexSet* set = TVertexSet::CreateColored(placed.data(), kVertices);
    DrawIndexedWrapped(kTriangleList, *set, kQuadIndices.data(), kIndices);
    TVertexSet::Release(set);
    renderer->SetTexture(nullptr);
    if (opened)
        renderer->End2d();
}

void ScrollSymbols::LoadTexture()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
}

void ScrollSymbols::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

std::vector<TString> ScrollSymbols::GetImageNames() const
{
    if (mImage.Length() == 0)
        return {};
    return {mImage};
}
