// A progress lamp of the scroll puzzle: its table and its lit look.
#include "game/minigames/scroll_button.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <cstdio>

namespace
{
const char kSource[] = "scrollbutton";
} // namespace

ScrollButton::ScrollButton() : mSprite(TAnimatedSprite::Create(0)) {}

bool ScrollButton::Load(int32_t index, const TLuaTable& buttons)
{
    char key[16];
    std::snprintf(key, sizeof key, "button%02d", static_cast<int>(index));
    std::unique_ptr<TLuaTable> table{buttons.GetTable(key)};
    if (table == nullptr)
    {
        ReportError("ERROR: No button index table for ScrollButton!", kSource, __LINE__, true);
        return false;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    SetLit(false);
    return true;
}

void ScrollButton::SetLit(bool lit)
{
    mOn = lit;
    mSprite->SetFrame(lit ? kLitFrame : kUnlitFrame);
}

void ScrollButton::LoadTexture()
{
    // An empty name would only log a failed load every time the scene is entered.
    if (mImage.Length() == 0)
        return;
    mSprite->SetTexture(TAnimatedTexture::Get(mImage));
    mSprite->SetFrame(mOn ? kLitFrame : kUnlitFrame);
}

void ScrollButton::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

std::vector<TString> ScrollButton::GetImageNames() const
{
    if (mImage.Length() == 0)
        return {};
    return {mImage};
}

void ScrollButton::Draw() const
{
    mSprite->Draw(TDrawSpec());
}
