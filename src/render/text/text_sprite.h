// TTextSprite: a sprite that shows laid-out text in a box, drawn at its place in the sprite tree
// with the tree's combined scale, rotation and alpha; it may carry a texture like any sprite.
#pragma once

#include "render/sprites/sprite.h"

#include <cstdint>
#include <memory>

class TTextLayout;

class TTextSprite : public TSprite
{
public:
    // The built-in font at size 10 in black unless given; alignment 0 and an empty name keep the
    // defaults.
    static std::shared_ptr<TTextSprite> Create(int32_t width, int32_t height, uint32_t alignment,
                                               const TString& fontName, int32_t size,
                                               const TVec4& colour, int32_t layer);
    TTextSprite(int32_t width, int32_t height, int32_t layer);
    ~TTextSprite() override;

    const char* GetClassName() const override { return "TTextSprite"; }
    bool IsKindOf(TSpriteClassId id) const override
    {
        return id == GetClassId() || TSprite::IsKindOf(id);
    }
    static TSpriteClassId GetClassId()
    {
        static const char id = 0;
        return &id;
    }
    void Draw(const TDrawSpec& parent, int depth = -1) override;
    // The text box placed like a texture image of its size, joined with the texture's box (when
    // it has one) and the children's.
    void GetBounds(TRect& out, const TDrawSpec& parent, int depth = -1) override;
    // Inside the bounds is a hit: the text's pixels are not tested.
    bool HitTest(const TVec2& point, const TDrawSpec& parent, int threshold,
                 int depth = -1) override;

    void SetText(const TString& text);
    TString GetText() const;
    void SetColor(const TVec4& colour);
    TVec4 GetColor() const;
    void SetFontName(const TString& name);
    void SetFontSize(int32_t size);
    int GetLineCount() const;
    // Also moves the text so that the sprite's position is the box's centre line, right edge,
    // middle or bottom as the flags say.
    void SetAlignment(uint32_t flags);
    uint32_t GetAlignment() const { return mAlignment; }
    void SetLineSpacing(int32_t spacing) { mLineSpacing = spacing; }
    int32_t GetLineSpacing() const { return mLineSpacing; }
    const TVec2& GetAlignmentOffset() const { return mAlignmentOffset; }

    // The first line to show so that the end of the text stays in view, at the combined scale.
    int CountFittingLines(const TDrawSpec& parent) const;
    void GetTextBounds(TRect& out, const TDrawSpec& parent) const;

    TTextLayout* GetLayout() const { return mLayout; }
    int32_t GetWidth() const { return mWidth; }
    int32_t GetHeight() const { return mHeight; }

private:
    int32_t mWidth;
    int32_t mHeight;
    uint32_t mAlignment = 0;
    int32_t mLineSpacing = 0;
    TVec2 mAlignmentOffset;
    TTextLayout* mLayout;
};
