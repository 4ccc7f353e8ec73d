// One crystal of the ritual puzzle: its table, its glow fades, its hit test and its two draws.
#include "game/minigames/puzzles/ritual/ritual_crystal.h"

#include "framework/core/settings.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "game/minigames/puzzles/puzzle_scene.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

RitualCrystal::RitualCrystal() : mSprite(TAnimatedSprite::Create(0))
{
    mGlowTransform.SetAlpha(0.0f);
}

RitualCrystal::~RitualCrystal()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->RemoveTransforms(&mGlowTransform);
    if (mSound != nullptr)
        mSound->Release();
}

void RitualCrystal::Load(const TLuaTable& crystal, const TLuaTable& info)
{
    mGlowTransform.SetAlpha(0.0f);
    mX = ScriptNumberToInt(crystal.GetNumber("x", 0));
    mY = ScriptNumberToInt(crystal.GetNumber("y", 0));
    mTimeOnFade = ScriptNumberToInt(info.GetNumber("timeonfade", 0));
    mTimeOffFade = ScriptNumberToInt(info.GetNumber("timeofffade", 0));
    mImage = crystal.GetString("image");
    mSprite->GetSpec() = TDrawSpec(TVec2(static_cast<float>(mX), static_cast<float>(mY)));
    std::unique_ptr<TLuaTable> sound{crystal.GetTable("sound")};
    if (sound != nullptr)
    {
        if (mSound != nullptr)
            mSound->Release();
        mSound = SoundEffect::Create(*sound);
    }
}

void RitualCrystal::LoadTexture()
{
    // An empty name would only log a failed load every time the scene is entered.
    if (mImage.Length() == 0)
        return;
    mSprite->SetTexture(TAnimatedTexture::Get(mImage));
}

void RitualCrystal::ReleaseTexture()
{
    mSprite->SetTexture(nullptr);
}

bool RitualCrystal::HitTest(const TPoint& point) const
{
    mSprite->SetFrame(kRestFrame);
    return mSprite->HitTest(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)),
                            TDrawSpec(), -1);
}

void RitualCrystal::SetLit(bool on)
{
    if (mLit == on)
        return;
    TransformManager* manager = TransformManager::Instance();
    const float end = on ? 1.0f : 0.0f;
    if (manager == nullptr)
        mGlowTransform.SetAlpha(end);
    else
    {
        manager->RemoveTransforms(&mGlowTransform);
        auto* list = new TM_InstructionList;
        const int32_t time = on ? mTimeOnFade : mTimeOffFade;
        list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(time, 0)), end,
                                     mGlowTransform.GetAlpha(), 0, kFadeSmoothing));
        manager->AddTransform(&mGlowTransform, list);
    }
    if (on)
        ArmSoundEffect(mSound.get());
    mLit = on;
}

void RitualCrystal::Draw() const
{
    mSprite->SetFrame(kRestFrame);
    mSprite->Draw(TDrawSpec(), -1);
    mSprite->SetFrame(kLitFrame);
    mSprite->Draw(mGlowSpec, -1);
}

void RitualCrystal::Pause()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->PauseTransforms(&mGlowTransform);
    if (mSound != nullptr)
        mSound->Pause();
}

void RitualCrystal::Resume()
{
    if (TransformManager* manager = TransformManager::Instance())
        manager->ResumeTransforms(&mGlowTransform);
    if (mSound != nullptr)
        mSound->Resume();
}
