// GameplayText: a layer whose visible content is a laid-out text object, drawn only while shown
// and active, its text set when its textures are made and emptied when they are released.
#pragma once

#include "framework/adventure/entities/gameplay_layer.h"

#include <memory>

class TextObject;

class GameplayText : public GameplayLayer
{
public:
    // The text object comes from the description's "text" table, the string from its "string";
    // without that table a non-fatal report, and the text draws nothing.
    GameplayText(const TLuaTable& description, const TLuaTable& info);
    ~GameplayText() override;

    void Draw(const TDrawSpec& parent) override;
    bool FinishTextures() override;
    void LoadTextures() override;
    void CreateTextures() override;
    void ReleaseTextures() override;

    const TString& GetString() const { return mString; }
    const std::shared_ptr<TextObject>& GetTextObject() const { return mTextObject; }

private:
    TString mString;
    std::shared_ptr<TextObject> mTextObject;
};
