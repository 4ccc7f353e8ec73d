// A glow on the scroll lens: its table, and its draw under the lens.
#include "game/minigames/puzzles/scroll/scroll_glow.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <cstdio>

namespace
{
const char kSource[] = "scrollglow";
} // namespace

ScrollGlow::ScrollGlow() : mSprite(TSprite::Create(0)) {}

bool ScrollGlow::Load(int32_t index, const TLuaTable& glows, const TDrawSpec* parentSpec)
{
    char key[16];
    std::snprintf(key, sizeof key, "glow%02d", static_cast<int>(index));
    return LoadEntry(glows, key, "ERROR: No glow index table for ScrollGlow!", kSource, parentSpec);
}

bool ScrollGlow::LoadEntry(const TLuaTable& parent, const char* key, const char* missing,
                           const char* source, const TDrawSpec* parentSpec)
{
    std::unique_ptr<TLuaTable> table{parent.GetTable(key)};
    if (table == nullptr)
    {
        ReportError(missing, source, __LINE__, true);
        return false;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    mOn = false;
    mParentSpec = parentSpec;
    return true;
}

void ScrollGlow::LoadTexture()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
}

void ScrollGlow::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

void ScrollGlow::Draw() const
{
    if (mOn)
        mSprite->Draw(mParentSpec != nullptr ? *mParentSpec : TDrawSpec());
}
