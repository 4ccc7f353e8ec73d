// Texts: the text object built from the description, drawn in the layer's world frame.
#include "framework/adventure/entities/gameplay_text.h"

#include "framework/core/frame_services.h"
#include "framework/widgets/text_object.h"
#include "script/lua_object_wrapper.h"

GameplayText::GameplayText(const TLuaTable& description, const TLuaTable& info)
    : GameplayLayer(description, info, kTypeText)
{
    std::unique_ptr<TLuaTable> text(description.GetTable("text"));
    if (text == nullptr)
    {
        ReportError("Cannot find text table for GameplayText!", "gameplaytext", 30, false);
        return;
    }
    mTextObject = TextObject::Create(*text);
    mString = text->GetString("string");
}

GameplayText::~GameplayText() = default;

void GameplayText::Draw(const TDrawSpec& parent)
{
    if ((mFlags & (kShown | kActive)) != (kShown | kActive) || mTextObject == nullptr)
        return;
    mTextObject->Draw(parent.Combine(GetWorldSpec()));
}

bool GameplayText::FinishTextures()
{
    CreateTextures();
    return true;
}

void GameplayText::LoadTextures()
{
    if (mTextObject != nullptr)
        GameplayLayer::LoadTextures();
}

void GameplayText::CreateTextures()
{
    if (mTextObject != nullptr)
        mTextObject->SetText(mString);
}

void GameplayText::ReleaseTextures()
{
    if (mTextObject != nullptr)
        mTextObject->SetText(TString());
}
