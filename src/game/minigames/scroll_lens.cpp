// The scroll's crystal lens: its table, the following of the mouse and its glows.
#include "game/minigames/scroll_lens.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "game/minigames/puzzle_scene.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

namespace
{
const char kSource[] = "scrolllens";
} // namespace

ScrollLens::ScrollLens() : mSprite(TSprite::Create(0)) {}

void ScrollLens::Load(const TLuaTable& lens, const TLuaTable& glows)
{
    std::unique_ptr<TLuaTable> table{lens.GetTable("crystallens01")};
    if (table == nullptr)
    {
        ReportError("ERROR: No lens index table for ScrollLens!", kSource, __LINE__, true);
        return;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    std::unique_ptr<TLuaTable> rect{table->GetTable("collisionrect")};
    if (rect == nullptr)
    {
        ReportError("ERROR: No collision index table for ScrollLens!", kSource, __LINE__, true);
        return;
    }
    mCollisionRect = ReadPuzzleRect(*rect);
    for (size_t i = 0; i < kGlows; ++i)
        mGlows[i].Load(static_cast<int32_t>(i + 1), glows, &mSprite->GetSpec());
}

void ScrollLens::FollowMouse(const TPoint& mouse)
{
    const int32_t dx = mouse.x - mX;
    const int32_t dy = mouse.y - mY;
    mCollisionRect.left += dx;
    mCollisionRect.right += dx;
    mCollisionRect.top += dy;
    mCollisionRect.bottom += dy;
    mX = mouse.x;
    mY = mouse.y;
    mSprite->GetSpec() =
        TDrawSpec(TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y + kSpriteDrop)));
}

void ScrollLens::Draw() const
{
    mSprite->Draw(TDrawSpec());
    for (const ScrollGlow& glow : mGlows)
        glow.Draw();
}

void ScrollLens::LoadTextures()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
    for (ScrollGlow& glow : mGlows)
        glow.LoadTexture();
}

void ScrollLens::ReleaseTextures()
{
    mSprite->SetTexture(nullptr);
    for (ScrollGlow& glow : mGlows)
        glow.ReleaseTexture();
}

std::vector<TString> ScrollLens::GetImageNames() const
{
    std::vector<TString> names;
    if (mImage.Length() != 0)
        names.push_back(mImage);
    for (const ScrollGlow& glow : mGlows)
        if (glow.GetImage().Length() != 0)
            names.push_back(glow.GetImage());
    return names;
}

void ScrollLens::LightNextGlow()
{
    for (ScrollGlow& glow : mGlows)
        if (!glow.IsLit())
        {
            glow.SetLit(true);
            return;
        }
}

void ScrollLens::UnlightGlows()
{
    for (ScrollGlow& glow : mGlows)
        glow.SetLit(false);
}

size_t ScrollLens::CountLitGlows() const
{
    size_t lit = 0;
    for (const ScrollGlow& glow : mGlows)
        lit += glow.IsLit() ? 1 : 0;
    return lit;
}
