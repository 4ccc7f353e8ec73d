// The parts two puzzles share: the button's table and lit look; the lens's table, the following
// of the mouse and its parts.
#include "game/minigames/puzzles/puzzle_parts.h"

#include "framework/core/frame_services.h"
#include "framework/core/settings.h"
#include "game/minigames/puzzles/heavens/heavens_plate.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "game/minigames/puzzles/scroll/scroll_glow.h"
#include "platform/shell/application.h"
#include "render/renderer/draw_spec.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"
#include "ui/window_manager.h"

#include <cstdio>

bool PuzzleSecondPress::Repeats(int32_t answer) const
{
    return mAnswer != kNone && answer == mAnswer &&
           GetTimer() - mTime < TWindowManager::kDoubleClickMs;
}

void PuzzleSecondPress::Took(int32_t answer)
{
    mAnswer = answer;
    mTime = GetTimer();
}

PuzzleButton::PuzzleButton(const PuzzleButtonLooks& looks)
    : mLooks(looks), mSprite(TAnimatedSprite::Create(0))
{
}

bool PuzzleButton::Load(int32_t index, const TLuaTable& buttons)
{
    char key[16];
    std::snprintf(key, sizeof key, "button%02d", static_cast<int>(index));
    std::unique_ptr<TLuaTable> table{buttons.GetTable(key)};
    if (table == nullptr)
    {
        ReportError(mLooks.missing, mLooks.source, mLooks.missingLine, true);
        return false;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    SetLit(false);
    return true;
}

void PuzzleButton::SetLit(bool lit)
{
    mOn = lit;
    mSprite->SetFrame(lit ? mLooks.litFrame : mLooks.unlitFrame);
}

void PuzzleButton::LoadTexture()
{
    // An empty name would only log a failed load every time the scene is entered.
    if (mImage.Length() == 0)
        return;
    mSprite->SetTexture(TAnimatedTexture::Get(mImage));
    mSprite->SetFrame(mOn ? mLooks.litFrame : mLooks.unlitFrame);
}

void PuzzleButton::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

std::vector<TString> PuzzleButton::GetImageNames() const
{
    if (mImage.Length() == 0)
        return {};
    return {mImage};
}

void PuzzleButton::Draw() const
{
    mSprite->Draw(TDrawSpec());
}

template <class Part>
PuzzleLens<Part>::PuzzleLens(const PuzzleLensTraits& traits)
    : mTraits(traits), mSprite(TSprite::Create(0))
{
}

template <class Part> void PuzzleLens<Part>::Load(const TLuaTable& lens, const TLuaTable& parts)
{
    std::unique_ptr<TLuaTable> table{lens.GetTable(mTraits.tableKey)};
    if (table == nullptr)
    {
        ReportError(mTraits.missingLens, mTraits.source, mTraits.missingLensLine, true);
        return;
    }
    mX = ScriptNumberToInt(table->GetNumber("x", 0));
    mY = ScriptNumberToInt(table->GetNumber("y", 0));
    mImage = table->GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    std::unique_ptr<TLuaTable> rect{table->GetTable("collisionrect")};
    if (rect == nullptr)
    {
        ReportError(mTraits.missingRect, mTraits.source, mTraits.missingRectLine, true);
        if (mTraits.missingRectStops)
            return;
    }
    else
        mCollisionRect = ReadPuzzleRect(*rect);
    for (size_t i = 0; i < kParts; ++i)
        mParts[i].Load(static_cast<int32_t>(i + 1), parts, &mSprite->GetSpec());
}

template <class Part> void PuzzleLens<Part>::FollowMouse(const TPoint& mouse)
{
    const int32_t dx = mouse.x - mX;
    const int32_t dy = mouse.y - mY;
    mCollisionRect.left += dx;
    mCollisionRect.right += dx;
    mCollisionRect.top += dy;
    mCollisionRect.bottom += dy;
    mX = mouse.x;
    mY = mouse.y;
    mSprite->GetSpec() = TDrawSpec(
        TVec2(static_cast<float>(mouse.x), static_cast<float>(mouse.y + mTraits.spriteDrop)));
}

template <class Part> void PuzzleLens<Part>::Draw() const
{
    mSprite->Draw(TDrawSpec());
    for (const Part& part : mParts)
        part.Draw();
}

template <class Part> void PuzzleLens<Part>::LoadTextures()
{
    if (mImage.Length() != 0)
        mSprite->SetTexture(TTexture::Get(mImage, 0));
    for (Part& part : mParts)
        part.LoadTexture();
}

template <class Part> void PuzzleLens<Part>::ReleaseTextures()
{
    mSprite->SetTexture(nullptr);
    for (Part& part : mParts)
        part.ReleaseTexture();
}

template <class Part> std::vector<TString> PuzzleLens<Part>::GetImageNames() const
{
    std::vector<TString> names;
    if (mImage.Length() != 0)
        names.push_back(mImage);
    for (const Part& part : mParts)
        if (part.GetImage().Length() != 0)
            names.push_back(part.GetImage());
    return names;
}

template class PuzzleLens<ScrollGlow>;
template class PuzzleLens<HeavensPlate>;
