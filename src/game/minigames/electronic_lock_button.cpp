// One key of the electronic lock: its table, its lit look and its hit test.
#include "game/minigames/electronic_lock_button.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <cstdio>

namespace
{
const char kSource[] = "electroniclockbutton";
} // namespace

ElectronicLockButton::ElectronicLockButton() : mSprite(TAnimatedSprite::Create(0)) {}

bool ElectronicLockButton::Load(int32_t index, const TLuaTable& buttons)
{
    char key[16];
    std::snprintf(key, sizeof key, "button%02d", static_cast<int>(index));
    std::unique_ptr<TLuaTable> table{buttons.GetTable(key)};
    if (table == nullptr)
    {
        ReportError("ERROR: No button index table for ElectronicLockButton!", kSource, __LINE__,
                    true);
        return false;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    SetLit(false);
    return true;
}

void ElectronicLockButton::Toggle()
{
    SetLit(!mOn);
}

void ElectronicLockButton::SetLit(bool lit)
{
    mOn = lit;
    mSprite->SetFrame(lit ? kLitFrame : kUnlitFrame);
}

void ElectronicLockButton::LoadTexture()
{
    // An empty name would only log a failed load every time the scene is entered.
    if (mImage.Length() == 0)
        return;
    mSprite->SetTexture(TAnimatedTexture::Get(mImage));
    mSprite->SetFrame(mOn ? kLitFrame : kUnlitFrame);
}

void ElectronicLockButton::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

std::vector<TString> ElectronicLockButton::GetImageNames() const
{
    if (mImage.Length() == 0)
        return {};
    return {mImage};
}

bool ElectronicLockButton::Contains(const TPoint& point) const
{
    return mSprite->HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                            TDrawSpec(), -1);
}

void ElectronicLockButton::Draw() const
{
    mSprite->Draw(TDrawSpec());
}
