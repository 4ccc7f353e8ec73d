// A goal of Thessalor's board: its place and look, solving and clearing.
#include "game/minigames/hintboards/gameplay_hint_thessalor_goal.h"

#include "framework/core/window_manager.h"
#include "framework/widgets/text_object.h"
#include "render/text/text_sprite.h"
#include "script/lua_object_wrapper.h"

namespace
{

int32_t Trunc(float value)
{
    return value > -2147483648.0f && value < 2147483648.0f ? static_cast<int32_t>(value) : 0;
}

} // namespace

GameplayHintThessalorGoal::GameplayHintThessalorGoal(const TLuaTable& goal,
                                                     const TLuaTable& textInfo)
    : mSolvedColor(textInfo.GetVec4("solvedcolor", TVec4(0, 0, 0, 0))),
      mText(TextObject::Create(textInfo))
{
    const auto y = static_cast<float>(goal.GetNumber("y", 0));
    const auto x = static_cast<float>(goal.GetNumber("x", 0));
    mRotation = static_cast<float>(goal.GetNumber("rotation", 0));
    // The turn before the place: a 2-D transform's turn also turns its translation.
    TM_Transform2D* transform = mText->GetTransform();
    transform->SetPosition(0.0f, 0.0f, 1.0f);
    transform->SetRotationZ(mRotation);
    transform->SetX(x);
    transform->SetY(y);
}

GameplayHintThessalorGoal::~GameplayHintThessalorGoal() = default;

void GameplayHintThessalorGoal::MarkSolved()
{
    mSolved = 1;
    mText->GetTextSprite()->SetColor(mSolvedColor);
    if (!mText->RenderToTexture())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();
}

void GameplayHintThessalorGoal::Clear()
{
    mSolved = 0;
    mText->SetText(TString());
}

TString GameplayHintThessalorGoal::GetText() const
{
    return mText->GetText();
}

TIntPoint GameplayHintThessalorGoal::GetPosition() const
{
    const TDrawSpec& spec = mText->GetTextSprite()->GetSpec();
    return TIntPoint{Trunc(spec.mMatrix.m[2][0]), Trunc(spec.mMatrix.m[2][1])};
}
