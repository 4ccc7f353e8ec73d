// The heavens lens: its table, the following of the mouse and its plates.
#include "game/minigames/heavens_lens.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "game/minigames/puzzle_scene.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

namespace
{
const char kSource[] = "heavenslens";
} // namespace

HeavensLens::HeavensLens() : mSprite(TSprite::Create(0)) {}

void HeavensLens::Load(const TLuaTable& lens, const TLuaTable& plates)
{
    std::unique_ptr<TLuaTable> table{lens.GetTable("lens01")};
    if (table == nullptr)
    {
        ReportError("ERROR: No lens index table for HeavensLens!", kSource, __LINE__, true);
        return;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    std::unique_ptr<TLuaTable> rect{table->GetTable("collisionrect")};
    if (rect == nullptr)
        ReportError("ERROR: No collision index table for HeavensLens!", kSource, __LINE__, true);
    else
        mCollisionRect = ReadPuzzleRect(*rect);
    for (size_t i = 0; i < kPlates; ++i)
        mPlates[i].Load(static_cast<int32_t>(i + 1), plates, &mSprite->GetSpec());
}

void HeavensLens::FollowMouse(const TPoint& mouse)
{
    const int32_t dx = mouse.x - mX;
    const int32_t dy = mouse.y - mY;
    mCollisionRect.left += dx;
    mCollisionRect.right += dx;
    mCollisionRect.top += dy;
    mCollisionRect.bottom += dy;
    mX = mouse.x;
    mY = mouse.y;
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y)));
}

void HeavensLens::Draw() const
{
    mSprite->Draw(TDrawSpec());
    for (const HeavensPlate& plate : mPlates)
        plate.Draw();
}

void HeavensLens::LoadTextures()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
    for (HeavensPlate& plate : mPlates)
        plate.LoadTexture();
}

void HeavensLens::ReleaseTextures()
{
    mSprite->SetTexture(nullptr);
    for (HeavensPlate& plate : mPlates)
        plate.ReleaseTexture();
}

std::vector<TString> HeavensLens::GetImageNames() const
{
    std::vector<TString> names;
    if (mImage.Length() != 0)
        names.push_back(mImage);
    for (const HeavensPlate& plate : mPlates)
        if (plate.GetImage().Length() != 0)
            names.push_back(plate.GetImage());
    return names;
}
