// TextObject: loading from a description, fitting the font, drawing directly or from its
// texture, and the two-pass render into that texture.
#include "framework/widgets/text_object.h"

#include "framework/core/frame_services.h"
#include "framework/core/window_manager.h"
#include "render/renderer/draw_spec.h"
#include "render/renderer/renderer.h"
#include "render/text/text_layout.h"
#include "render/text/text_sprite.h"
#include "render/textures/texture.h"
#include "script/lua_object_wrapper.h"

#include <algorithm>
#include <cmath>

namespace
{
int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

// The font table's three entries; a missing colour is transparent black.
struct FontEntry
{
    TString mName;
    int32_t mSize = 0;
    TVec4 mColour = TVec4(0, 0, 0, 0);
};

FontEntry ReadFont(const TLuaTable* font)
{
    FontEntry entry;
    if (font == nullptr)
        return entry;
    entry.mName = font->GetStringAt(1, TString());
    entry.mSize = TruncateToInt(font->GetNumberAt(2, 0));
    entry.mColour = font->GetVec4At(3, TVec4(0, 0, 0, 0));
    return entry;
}
} // namespace

TextObject::TextObject() : mTextureSprite(TSprite::Create(0)) {}

TextObject::~TextObject() = default;

std::shared_ptr<TextObject> TextObject::Create(const TLuaTable& table)
{
    auto object = std::make_shared<TextObject>();
    object->Load(table);
    return object;
}

std::shared_ptr<TextObject> TextObject::CreateFromTable(const TLuaTable& font, const TString& text,
                                                        int32_t width, int32_t height,
                                                        bool allowLineBreaks, uint32_t alignment)
{
    FontEntry entry = ReadFont(&font);
    return CreateFromArgs(entry.mName, entry.mSize, entry.mColour, text, width, height,
                          allowLineBreaks, alignment);
}

std::shared_ptr<TextObject> TextObject::CreateFromArgs(const TString& fontName, int32_t fontSize,
                                                       const TVec4& colour, const TString& text,
                                                       int32_t width, int32_t height,
                                                       bool allowLineBreaks, uint32_t alignment)
{
    auto object = std::make_shared<TextObject>();
    object->Init(allowLineBreaks, false, fontName, fontSize, colour, width, height, alignment, 1.0f,
                 0, TVec4(0, 0, 0, 0.5f), text);
    return object;
}

void TextObject::Load(const TLuaTable& table)
{
    TVec4 shadowColour = table.GetVec4("dropshadowcolor", TVec4(0, 0, 0, 0.5f));
    auto maxTextureScale = static_cast<float>(table.GetNumber("maxtexturescale", 1.0));
    bool drawToTexture = table.GetBool("drawtotexture", false);
    int32_t shadowOffset = TruncateToInt(table.GetNumber("dropshadowoffset", 0));
    bool allowLineBreaks = table.GetBool("allowlinebreaks", true);
    TString text = table.GetString("text", TString());
    std::unique_ptr<TLuaTable> fontTable(table.GetTable("font"));
    FontEntry font = ReadFont(fontTable.get());
    auto alignment = static_cast<uint32_t>(TruncateToInt(table.GetNumber("flags", 0)));
    int32_t height = TruncateToInt(table.GetNumber("h", 0));
    int32_t width = TruncateToInt(table.GetNumber("w", 0));
    Init(allowLineBreaks, drawToTexture, font.mName, font.mSize, font.mColour, width, height,
         alignment, maxTextureScale, shadowOffset, shadowColour, text);
    mTransform->SetX(static_cast<float>(table.GetNumber("x", 0)));
    mTransform->SetY(static_cast<float>(table.GetNumber("y", 0)));
    mTransform->SetAlpha(static_cast<float>(table.GetNumber("alpha", 1.0)));
}

void TextObject::Init(bool allowLineBreaks, bool drawToTexture, const TString& fontName,
                      int32_t fontSize, const TVec4& textColour, int32_t width, int32_t height,
                      uint32_t alignment, float maxTextureScale, int32_t dropShadowOffset,
                      const TVec4& dropShadowColour, const TString& text)
{
    mAllowLineBreaks = allowLineBreaks;
    mDrawToTexture = drawToTexture;
    mFontSize = fontSize;
    mAlignment = alignment;
    mMaxTextureScale = maxTextureScale;
    mBox = TRect(0, 0, width, height);

    // A second Init starts over: the old transform goes before the sprite it points into.
    mTransform.reset();
    mShadowSprite.reset();
    mRendered = false;
    mTextSprite = TTextSprite::Create(width, height, alignment, fontName, fontSize, textColour, 0);
    mTransform = std::make_unique<TM_Transform2D>(&mTextSprite->GetSpec());
    if (dropShadowOffset != 0)
    {
        mShadowSprite =
            TTextSprite::Create(width, height, alignment, fontName, fontSize, dropShadowColour, -1);
        const auto offset = static_cast<float>(dropShadowOffset);
        mShadowSprite->GetSpec().mMatrix.m[2][0] = offset;
        mShadowSprite->GetSpec().mMatrix.m[2][1] = offset;
        mTextSprite->AddChild(mShadowSprite);
    }
    SetText(text);
}

void TextObject::SetText(const TString& text)
{
    if (!mTextSprite)
        return;
    mTextSprite->SetText(text);
    if (mShadowSprite)
        mShadowSprite->SetText(text);

    int32_t size = mFontSize;
    mTextSprite->SetFontSize(size);
    if (mAllowLineBreaks)
    {
        mTextSprite->SetAlignment(kTextAlignCenter);
        if (mShadowSprite)
            mShadowSprite->SetAlignment(mTextSprite->GetAlignment());
        while (mTextSprite->CountFittingLines(TDrawSpec()) != 0 && size > kMinFontSize)
            mTextSprite->SetFontSize(--size);
    }
    else
    {
        // A text that stays on several lines at every size (an explicit break) stops at the
        // same floor as the other branch instead of shrinking without end.
        while (mTextSprite->GetLineCount() > 1 && size > kMinFontSize)
            mTextSprite->SetFontSize(--size);
    }
    mCurrentFontSize = size;
    mTextSprite->SetAlignment(mAlignment);
    if (mShadowSprite)
    {
        mShadowSprite->SetFontSize(mCurrentFontSize);
        mShadowSprite->SetAlignment(mTextSprite->GetAlignment());
    }

    if (mDrawToTexture && !RenderToTexture())
        if (WindowManager* frames = WindowManager::Instance())
            frames->SetTexturesPending();
}

TString TextObject::GetText() const
{
    return mTextSprite ? mTextSprite->GetText() : TString();
}

void TextObject::Draw(const TDrawSpec& parentSpec)
{
    if (!mTextSprite)
        return;
    if (!mDrawToTexture)
    {
        mTextSprite->Draw(parentSpec, -1);
        return;
    }
    // The transform moves and fades the textured quad as it would the text.
    if (mRendered && mTextureSprite->GetTexture())
        mTextureSprite->Draw(mTextSprite->GetSpec().Combine(parentSpec), -1);
}

void TextObject::SetAlpha(float alpha)
{
    if (mTransform)
        mTransform->SetAlpha(alpha);
}

bool TextObject::RenderPass(int32_t kind)
{
    TRenderer* renderer = TRenderer::Instance();
    const std::shared_ptr<TTexture> texture = mTextureSprite->GetTexture();
    if (!renderer->BeginRenderTarget(texture, kind))
    {
        ReportError("BeginRenderTarget failed.", "textobject", __LINE__, false);
        return false;
    }
    const bool opened = renderer->Begin2d();
    mTextSprite->Draw(TDrawSpec(TVec2(static_cast<float>(texture->GetWidth()) * 0.5f,
                                      static_cast<float>(texture->GetHeight()) * 0.5f)),
                      -1);
    if (opened)
        renderer->End2d();
    renderer->EndDraw();
    return true;
}

bool TextObject::RenderToTexture()
{
    if (!mDrawToTexture)
        return true;
    mRendered = false;
    if (!mTextSprite)
        return false;
    if (!mTextureSprite->GetTexture())
    {
        std::shared_ptr<TTexture> texture =
            TTexture::Create(static_cast<uint32_t>(std::max(mBox.Width(), 0)),
                             static_cast<uint32_t>(std::max(mBox.Height(), 0)), true);
        if (!texture)
        {
            ReportError("TTexture::Create failed", "textobject", __LINE__, false);
            return false;
        }
        mTextureSprite->SetTexture(texture);
    }
    TRenderer::Instance()->SetTextureFilter(0);

    // The text is drawn untransformed; its own place, scale and alpha come back afterwards
    // whichever way the render ends.
    const TDrawSpec saved = mTextSprite->GetSpec();
    TDrawSpec& spec = mTextSprite->GetSpec();
    spec.mMatrix = TMat3();
    spec.mAlpha = 1.0f;
    const bool ok = RenderPass(1) && RenderPass(4);
    mTextSprite->GetSpec() = saved;
    if (!ok)
        return false;

    const std::shared_ptr<TTexture> texture = mTextureSprite->GetTexture();
    const uint32_t width = texture->GetWidth();
    const uint32_t height = texture->GetHeight();
    TDrawSpec& place = mTextureSprite->GetSpec();
    place.mFlags |= kDrawOrigin;
    place.mOrigin =
        TVec2((mAlignment & kTextAlignCenter) ? std::floor(float(width) * 0.5f) : float(width),
              (mAlignment & kTextAlignMiddle) ? std::floor(float(height) * 0.5f) : float(height));
    mRendered = true;
    return true;
}
