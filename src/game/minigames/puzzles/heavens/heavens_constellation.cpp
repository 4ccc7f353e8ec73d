// A constellation of the heavens puzzle: its table and its draw through the lens.
#include "game/minigames/puzzles/heavens/heavens_constellation.h"

#include "framework/core/frame_services.h"
#include "framework/widgets/animated_bitmap.h"
#include "game/minigames/puzzles/heavens/heavens_background.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <cstdio>

namespace
{
const char kSource[] = "heavensconstellation";
} // namespace

void HeavensConstellation::Load(int32_t index, const TLuaTable& constellations,
                                const TDrawSpec* lensSpec)
{
    mLensSpec = lensSpec;
    char key[24];
    std::snprintf(key, sizeof key, "constalation%02d", static_cast<int>(index));
    std::unique_ptr<TLuaTable> table{constellations.GetTable(key)};
    if (table == nullptr)
    {
        ReportError("ERROR: No constellation index table for HeavensConstellation!", kSource,
                    __LINE__, true);
        return;
    }
    std::unique_ptr<TLuaTable> animation{table->GetTable("animationtable")};
    if (animation == nullptr)
        ReportError("ERROR: No animation table for HeavensConstellation!", kSource, __LINE__, true);
    else
        mBitmap = AnimatedBitmap::Create(*animation);
    std::unique_ptr<TLuaTable> clip{table->GetTable("cliprect")};
    if (clip == nullptr)
        ReportError("ERROR: No cliprect table for HeavensConstellation!", kSource, __LINE__, true);
    else
        mClipRect = ReadPuzzleRect(*clip);
    std::unique_ptr<TLuaTable> vertices{table->GetTable("vertices")};
    if (vertices == nullptr)
    {
        ReportError("ERROR: No vertices table for HeavensConstellation!", kSource, __LINE__, true);
        return;
    }
    ReadHeavensQuad(*vertices, mVertices,
                    "ERROR: No vertices index table for HeavensConstellation!", kSource);
}

bool HeavensConstellation::PlacedVertices(std::array<TColoredVertex, 4>& out) const
{
    if (mBitmap == nullptr || mBitmap->GetSprite() == nullptr)
        return false;
    const std::shared_ptr<TAnimatedTexture> texture = mBitmap->GetSprite()->GetAnimatedTexture();
    if (texture == nullptr)
        return false;
    TRect frame{};
    texture->GetFrameRect(mBitmap->GetSprite()->GetFrame(), frame);
    uint32_t width = 0;
    uint32_t height = 0;
    texture->GetSurfaceSize(width, height);
    if (width == 0 || height == 0)
        return false;
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    const float tx = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][0] : 0.0f;
    const float ty = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][1] : 0.0f;
    out = mVertices;
    for (TColoredVertex& vertex : out)
    {
        vertex.x += tx;
        vertex.y += ty;
        vertex.u += (tx - kLensHomeX) / w + static_cast<float>(frame.left) / w;
        vertex.v += (ty - kLensHomeY) / h + static_cast<float>(frame.top) / h;
    }
    return true;
}

void HeavensConstellation::Draw() const
{
    std::array<TColoredVertex, 4> placed{};
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr || !PlacedVertices(placed))
        return;
    const bool opened = !renderer->InBegin2d() && renderer->Begin2d();
    renderer->PushClipRect(mClipRect);
    renderer->SetTexture(mBitmap->GetSprite()->GetAnimatedTexture());
    TVertexSet* set = TVertexSet::CreateColored(placed.data(), 4);
    DrawIndexedWrapped(HeavensBackground::kTriangleList, *set,
                       HeavensBackground::kQuadIndices.data(), 6);
    TVertexSet::Release(set);
    renderer->SetTexture(nullptr);
    renderer->PopClipRect();
    if (opened)
        renderer->End2d();
}

std::vector<TString> HeavensConstellation::GetImageNames() const
{
    return mBitmap != nullptr ? mBitmap->CollectNames() : std::vector<TString>{};
}

std::vector<TString> HeavensConstellation::GetEntries() const
{
    return mBitmap != nullptr ? mBitmap->CollectEntries() : std::vector<TString>{};
}

void HeavensConstellation::Update()
{
    if (mBitmap != nullptr)
        mBitmap->Update();
}

void HeavensConstellation::LoadTextures()
{
    if (mBitmap != nullptr)
        mBitmap->CreateSprites();
}

void HeavensConstellation::ReleaseTextures()
{
    if (mBitmap != nullptr)
        mBitmap->ReleaseTextures();
}
