// Text sprites: construction over a layout in the built-in font, the forwarded setters, the
// alignment offset, drawing with the combined spec's scale and rotation, and the box's bounds.
#include "render/text/text_sprite.h"

#include "render/text/text_layout.h"
#include "render/textures/texture.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// The length of the matrix's first row: the scale a uniformly scaled, rotated spec applies.
float ScaleOf(const TDrawSpec& spec)
{
    return std::hypot(spec.mMatrix.m[0][0], spec.mMatrix.m[0][1]);
}

int32_t Truncate(float v)
{
    return static_cast<int32_t>(std::trunc(v));
}
} // namespace

TTextSprite::TTextSprite(int32_t width, int32_t height, int32_t layer)
    : TSprite(layer), mWidth(width), mHeight(height),
      mLayout(TTextLayout::Create(TString(), width, height, TString(), 0, 10, TVec4(0, 0, 0, 1)))
{
    mLayout->SetUnscaledOffsets(true);
}

TTextSprite::~TTextSprite()
{
    TTextLayout::Delete(mLayout);
}

std::shared_ptr<TTextSprite> TTextSprite::Create(int32_t width, int32_t height, uint32_t alignment,
                                                 const TString& fontName, int32_t size,
                                                 const TVec4& colour, int32_t layer)
{
    auto sprite = std::make_shared<TTextSprite>(width, height, layer);
    sprite->SetColor(colour);
    if (alignment != 0)
        sprite->SetAlignment(alignment);
    if (fontName.Length() > 0)
        sprite->SetFontName(fontName);
    sprite->SetFontSize(size);
    return sprite;
}

void TTextSprite::SetText(const TString& text)
{
    mLayout->SetText(text);
}

TString TTextSprite::GetText() const
{
    return mLayout->GetLayoutText();
}

void TTextSprite::SetColor(const TVec4& colour)
{
    mLayout->SetColor(colour);
}

TVec4 TTextSprite::GetColor() const
{
    return mLayout->GetColor();
}

void TTextSprite::SetFontName(const TString& name)
{
    mLayout->SetFontName(name);
}

void TTextSprite::SetFontSize(int32_t size)
{
    mLayout->SetFontSize(size);
}

int TTextSprite::GetLineCount() const
{
    return mLayout->GetLineCount();
}

void TTextSprite::SetAlignment(uint32_t flags)
{
    mAlignment = flags;
    mLayout->SetAlignment(flags);
    const int32_t x = (flags & kTextAlignCenter)  ? mWidth / 2
                      : (flags & kTextAlignRight) ? mWidth
                                                  : 0;
    const int32_t y = (flags & kTextAlignMiddle)   ? mHeight / 2
                      : (flags & kTextAlignBottom) ? mHeight
                                                   : 0;
    mAlignmentOffset = TVec2(static_cast<float>(x), static_cast<float>(y));
}

int TTextSprite::CountFittingLines(const TDrawSpec& parent) const
{
    const TDrawSpec spec = mSpec.Combine(parent);
    return mLayout->CountLinesFromEnd(ScaleOf(spec), static_cast<float>(mLineSpacing));
}

void TTextSprite::GetTextBounds(TRect& out, const TDrawSpec& parent) const
{
    const TDrawSpec spec = mSpec.Combine(parent);
    mLayout->GetBounds(out, ScaleOf(spec));
}

void TTextSprite::Draw(const TDrawSpec& parent, int depth)
{
    if (!mVisible)
        return;
    const TDrawSpec spec = mSpec.Combine(parent);
    size_t next = 0;
    if (depth != 0)
        for (; next < mChildren.size() && mChildren[next]->GetLayer() < 0; ++next)
            mChildren[next]->Draw(spec, depth - 1);
    if (mTexture)
        mTexture->Draw(spec);

    const TVec2 position(spec.mMatrix.m[2][0] - mAlignmentOffset.x,
                         spec.mMatrix.m[2][1] - mAlignmentOffset.y);
    const float scale = ScaleOf(spec);
    const float degrees = std::atan2(spec.mMatrix.m[0][1], spec.mMatrix.m[0][0]) * 360.0f /
                          (2.0f * std::numbers::pi_v<float>);
    // Every draw lays the text out again: the rotation may have changed.
    mLayout->SetRotation(degrees, static_cast<int32_t>(std::lround(mAlignmentOffset.x)),
                         static_cast<int32_t>(std::lround(mAlignmentOffset.y)));
    mLayout->Draw(position, static_cast<float>(mHeight), scale, static_cast<float>(mLineSpacing),
                  spec.mAlpha);

    if (depth != 0)
        for (; next < mChildren.size(); ++next)
            mChildren[next]->Draw(spec, depth - 1);
}

void TTextSprite::GetBounds(TRect& out, const TDrawSpec& parent, int depth)
{
    TSprite::GetBounds(out, parent, depth);
    const TDrawSpec spec = mSpec.Combine(parent);
    const auto width = static_cast<float>(mWidth);
    const auto height = static_cast<float>(mHeight);
    const TVec2 topLeft =
        (mSpec.mFlags & kDrawOrigin) ? -mSpec.mOrigin : TVec2(-width / 2, -height / 2);
    const TVec2 corners[4] = {topLeft, topLeft + TVec2(width, 0), topLeft + TVec2(width, height),
                              topLeft + TVec2(0, height)};
    const TVec2 first = corners[0] * spec.mMatrix;
    float minX = first.x, maxX = first.x, minY = first.y, maxY = first.y;
    for (int i = 1; i < 4; ++i)
    {
        const TVec2 p = corners[i] * spec.mMatrix;
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    out.SetUnion(out, TRect(Truncate(minX), Truncate(minY), Truncate(maxX), Truncate(maxY)));
}

bool TTextSprite::HitTest(const TVec2& point, const TDrawSpec& parent, int, int depth)
{
    if (!mVisible)
        return false;
    TRect bounds;
    GetBounds(bounds, parent, depth);
    return point.x >= static_cast<float>(bounds.left) &&
           point.y >= static_cast<float>(bounds.top) &&
           point.x < static_cast<float>(bounds.right) &&
           point.y < static_cast<float>(bounds.bottom);
}
