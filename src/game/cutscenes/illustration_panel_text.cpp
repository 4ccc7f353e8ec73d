// IllustrationPanelText: the text object built from the "text" table, its label looked up in the
// string table, drawn through the layer's placement.
#include "game/cutscenes/illustration_panel_text.h"

#include "framework/widgets/animated_bitmap.h"
#include "framework/core/frame_services.h"
#include "framework/widgets/text_object.h"
#include "game/cutscenes/cutscene_keys.h"
#include "render/sprites/sprite.h"
#include "script/lua_object_wrapper.h"

IllustrationPanelText::IllustrationPanelText(TLuaTable& table) : IllustrationPanelLayer(table)
{
    std::unique_ptr<TLuaTable> text(table.GetTable("text"));
    if (text == nullptr)
    {
        ReportError("Cannot find text table for IllustrationPanelText!", __FILE__, __LINE__, false);
        return;
    }
    mTextObject = TextObject::Create(*text);
    mText = cutscene::LocalizedText(text->GetString("string", TString()));
}

IllustrationPanelText::~IllustrationPanelText() = default;

void IllustrationPanelText::Draw(const TDrawSpec& spec)
{
    // A text whose table was missing has nothing to draw.
    if (!IsActive() || !mTextObject)
        return;
    const TDrawSpec& placement = GetImage()->GetSprite()->GetSpec();
    if (GetParent() == nullptr)
        mTextObject->Draw(spec.Combine(placement));
    else
        mTextObject->Draw(spec.Combine(placement).Combine(ParentSpec()));
}

void IllustrationPanelText::DrawInactive(const TDrawSpec& spec)
{
    Draw(spec);
}

void IllustrationPanelText::Start()
{
    IllustrationPanelLayer::Start();
    if (mTextObject)
        mTextObject->SetText(mText);
}

void IllustrationPanelText::Stop()
{
    IllustrationPanelLayer::Stop();
    if (mTextObject)
        mTextObject->SetText(TString());
}
