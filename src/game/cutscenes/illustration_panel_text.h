// IllustrationPanelText: a cut-scene layer whose visible content is a localized text laid out by
// a text object; the layer's bitmap carries its placement and animations.
#pragma once

#include "game/cutscenes/illustration_panel_layer.h"

#include <memory>

class TextObject;

class IllustrationPanelText : public IllustrationPanelLayer
{
public:
    explicit IllustrationPanelText(TLuaTable& table);
    ~IllustrationPanelText() override;

    void Draw(const TDrawSpec& spec) override;
    // The aged look shows the text as it is.
    void DrawInactive(const TDrawSpec& spec) override;
    // The layer's, then the text is set; Stop empties it.
    void Start() override;
    void Stop() override;

    const TString& GetText() const { return mText; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mTextObject; }

private:
    TString mText;
    std::shared_ptr<TextObject> mTextObject;
};
