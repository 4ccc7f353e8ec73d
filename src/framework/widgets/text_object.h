// TextObject: a piece of laid-out text in a box with an optional drop shadow, its font shrunk
// until the text fits, drawn directly or from a texture it was rendered into once; placed and
// faded through a transform over its text sprite.
#pragma once

#include "framework/transforms/transform_target.h"
#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"

#include <cstdint>
#include <memory>

class TLuaTable;
class TSprite;
class TTextSprite;
struct TDrawSpec;

class TextObject
{
public:
    // The font shrinks no further than this, with or without line breaks.
    static constexpr int32_t kMinFontSize = 4;

    TextObject();
    ~TextObject();
    TextObject(const TextObject&) = delete;
    TextObject& operator=(const TextObject&) = delete;

    // A new object filled by Load.
    static std::shared_ptr<TextObject> Create(const TLuaTable& table);
    // A caption from a font table ([1] name, [2] size, [3] colour as four numbers), the text, the
    // box and the line-break choice; it starts at (0, 0) with alpha 1.
    static std::shared_ptr<TextObject> CreateFromTable(const TLuaTable& font, const TString& text,
                                                       int32_t width, int32_t height,
                                                       bool allowLineBreaks, uint32_t alignment);
    static std::shared_ptr<TextObject> CreateFromArgs(const TString& fontName, int32_t fontSize,
                                                      const TVec4& colour, const TString& text,
                                                      int32_t width, int32_t height,
                                                      bool allowLineBreaks, uint32_t alignment);

    // Reads the description's keys, builds the sprites and places the object.
    void Load(const TLuaTable& table);
    void Init(bool allowLineBreaks, bool drawToTexture, const TString& fontName, int32_t fontSize,
              const TVec4& textColour, int32_t width, int32_t height, uint32_t alignment,
              float maxTextureScale, int32_t dropShadowOffset, const TVec4& dropShadowColour,
              const TString& text);

    // Sets the text, fits the font and renders again when drawing from a texture.
    void SetText(const TString& text);
    TString GetText() const;
    void Draw(const TDrawSpec& parentSpec);
    // Nothing without a transform.
    void SetAlpha(float alpha);
    // True without a texture to draw into; a failure is reported and draws nothing until a later
    // render succeeds.
    bool RenderToTexture();

    int32_t GetFontSize() const { return mFontSize; }
    int32_t GetCurrentFontSize() const { return mCurrentFontSize; }
    uint32_t GetAlignment() const { return mAlignment; }
    float GetMaxTextureScale() const { return mMaxTextureScale; }
    const TRect& GetBox() const { return mBox; }
    const std::shared_ptr<TTextSprite>& GetTextSprite() const { return mTextSprite; }
    const std::shared_ptr<TTextSprite>& GetShadowSprite() const { return mShadowSprite; }
    const std::shared_ptr<TSprite>& GetTextureSprite() const { return mTextureSprite; }
    TM_Transform2D* GetTransform() const { return mTransform.get(); }

private:
    // One pass of the render into the texture: the text sprite drawn at the texture's centre.
    bool RenderPass(int32_t kind);

    bool mAllowLineBreaks = false;
    bool mDrawToTexture = false;
    // Whether the texture holds the current text.
    bool mRendered = false;
    int32_t mFontSize = 0;
    int32_t mCurrentFontSize = 0;
    uint32_t mAlignment = 0;
    std::shared_ptr<TTextSprite> mTextSprite;
    std::shared_ptr<TTextSprite> mShadowSprite;
    std::shared_ptr<TSprite> mTextureSprite;
    float mMaxTextureScale = 0;
    TRect mBox;
    // Over the text sprite's spec; declared after the sprite it points into.
    std::unique_ptr<TM_Transform2D> mTransform;
};
