// The heavens' sky: its table and its magnified draw under the lens.
#include "game/minigames/puzzles/heavens/heavens_background.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <cstdio>

namespace
{
const char kSource[] = "heavensbackground";
} // namespace

const std::array<uint16_t, 6> HeavensBackground::kQuadIndices = {0, 2, 3, 0, 1, 2};
const std::array<float, 4> HeavensBackground::kScaleU = {1.1f, 0.9f, 0.9f, 1.1f};
const std::array<float, 4> HeavensBackground::kScaleV = {1.1f, 1.1f, 0.9f, 0.9f};

bool ReadHeavensQuad(const TLuaTable& vertices, std::array<TColoredVertex, 4>& out,
                     const char* missing, const char* source)
{
    for (size_t i = 0; i < out.size(); ++i)
    {
        char key[16];
        std::snprintf(key, sizeof key, "vert%02d", static_cast<int>(i));
        std::unique_ptr<TLuaTable> vertex{vertices.GetTable(key)};
        if (vertex == nullptr)
        {
            ReportError(missing, source, __LINE__, true);
            return false;
        }
        TColoredVertex& v = out[i];
        v.x = static_cast<float>(vertex->GetNumber("x", 0));
        v.y = static_cast<float>(vertex->GetNumber("y", 0));
        v.z = 0.0f;
        v.diffuse = 0xFFFFFFFFu;
        v.u = static_cast<float>(vertex->GetNumber("u", 0));
        v.v = static_cast<float>(vertex->GetNumber("v", 0));
    }
    return true;
}

HeavensBackground::HeavensBackground() : mSprite(TSprite::Create(0)) {}

void HeavensBackground::Load(const TLuaTable& background, const TDrawSpec* lensSpec)
{
    mLensSpec = lensSpec;
    std::unique_ptr<TLuaTable> sky{background.GetTable("background01")};
    if (sky == nullptr)
        ReportError("ERROR: No background index table for HeavensBackground!", kSource, __LINE__,
                    true);
    else
    {
        mX = ScriptNumberToInt(sky->GetNumber("x", 0));
        mY = ScriptNumberToInt(sky->GetNumber("y", 0));
        mImage = sky->GetString("image");
        mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    }
    std::unique_ptr<TLuaTable> vertices{background.GetTable("backgroundvertices")};
    if (vertices == nullptr)
    {
        ReportError("ERROR: No background vertices table for HeavensBackground!", kSource, __LINE__,
                    true);
        return;
    }
    ReadHeavensQuad(*vertices, mVertices,
                    "ERROR: No background vertices index table for HeavensBackground!", kSource);
}

std::array<TColoredVertex, 4> HeavensBackground::PlacedVertices() const
{
    const float tx = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][0] : 0.0f;
    const float ty = mLensSpec != nullptr ? mLensSpec->mMatrix.m[2][1] : 0.0f;
    std::array<TColoredVertex, 4> placed = mVertices;
    for (size_t i = 0; i < placed.size(); ++i)
    {
        TColoredVertex& vertex = placed[i];
        vertex.x += tx;
        vertex.y += ty;
        vertex.u = (vertex.u + (tx - kLensHomeX) * kTexelU) * kScaleU[i];
        vertex.v = (vertex.v + (ty - kLensHomeY) * kTexelV) * kScaleV[i];
    }
    return placed;
}

void HeavensBackground::Draw() const
{
    mSprite->Draw(TDrawSpec());
    TRenderer* renderer = TRenderer::Instance();
    if (renderer == nullptr)
        return;
    const std::array<TColoredVertex, 4> placed = PlacedVertices();
    const bool opened = !renderer->InBegin2d() && renderer->Begin2d();
    renderer->SetTexture(mSprite->GetTexture());
    TVertexSet* set = TVertexSet::CreateColored(placed.data(), 4);
    DrawIndexedWrapped(kTriangleList, *set, kQuadIndices.data(), 6);
    TVertexSet::Release(set);
    renderer->SetTexture(nullptr);
    if (opened)
        renderer->End2d();
}

void HeavensBackground::LoadTexture()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
}

void HeavensBackground::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

std::vector<TString> HeavensBackground::GetImageNames() const
{
    if (mImage.Length() == 0)
        return {};
    return {mImage};
}
