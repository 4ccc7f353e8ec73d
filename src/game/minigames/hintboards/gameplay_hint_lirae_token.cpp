// A Lirae token: its table, the fade-in and the move to its destination.
#include "game/minigames/hintboards/gameplay_hint_lirae_token.h"

#include "framework/transforms/transform_instructions.h"
#include "framework/transforms/transform_manager.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>

namespace
{

constexpr float kSmoothing = -0.5f;

} // namespace

GameplayHintLiraeToken::GameplayHintLiraeToken(const TLuaTable& table)
    : mStartPosition(static_cast<float>(table.GetNumber("originalpositionx", 0)),
                     static_cast<float>(table.GetNumber("originalpositiony", 0))),
      mScaleToDestination(static_cast<float>(table.GetNumber("scaletodestination", 0))),
      mSprite(TAnimatedSprite::Create(0)),
      mTransform(std::make_unique<TM_Transform2D>(&mSprite->GetSpec()))
{
    const double time = table.GetNumber("timetodestination", 0);
    mTimeToDestination =
        time > -2147483648.0 && time < 2147483648.0 ? static_cast<int32_t>(time) : 0;
    mSprite->SetTexture(TAnimatedTexture::Get(table.GetString("image", "")));
}

GameplayHintLiraeToken::~GameplayHintLiraeToken()
{
    if (TransformManager* transforms = TransformManager::Instance())
        transforms->RemoveTransforms(mTransform.get());
    mTransform.reset();
    mSprite.reset();
}

void GameplayHintLiraeToken::MoveToDestination(const TVec2& destination)
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    const uint32_t ms = static_cast<uint32_t>(std::max(mTimeToDestination, 0));
    auto* list = new TM_InstructionList;
    // The scale first: it scales the translation too, and the move's absolute position must win.
    list->push_back(new TM_Scale(ms, mScaleToDestination, kFromCurrent, 0, kSmoothing));
    list->push_back(new TM_Move(ms, true, destination, kFromCurrent2, 0, kSmoothing));
    transforms->AddTransform(mTransform.get(), list);
}

void GameplayHintLiraeToken::FadeIn()
{
    TransformManager* transforms = TransformManager::Instance();
    if (transforms == nullptr)
        return;
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(static_cast<uint32_t>(std::max(mTimeToDestination, 0)), 1.0f, 0.0f,
                                 0, kSmoothing));
    transforms->AddTransform(mTransform.get(), list);
}
