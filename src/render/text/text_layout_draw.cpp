// TTextLayout::Draw: the laid-out runs through the vector rasteriser: rotation about the layout's
// origin, the outline pass, bold strokes, italic slant, the hover colour, and the cursor bar and
// underline as filled rectangles drawn by the rasteriser too.
#include "render/text/text_layout.h"

#include "render/text/text_markup.h"
#include "render/text/vector_font.h"
#include "render/text/vector_rasteriser.h"

#include <algorithm>
#include <cmath>

namespace
{

constexpr uint32_t kSoftHyphen = 0xAD;

// A filled unit square as a glyph outline (one font unit a side, style 1): scaled to any
// rectangle, it draws the marks with the text's colour, rotation and target.
constexpr uint8_t kUnitSquare[] = {1, 2,   1, 4, 0, 0, 0,   0, 5, 128, 0, 0, 0, 5, 128,
                                   0, 128, 0, 5, 0, 0, 128, 0, 5, 0,   0, 0, 0, 8};

int32_t RoundClamped(float v)
{
    if (!(v == v))
        return 0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -1.0e8f, 1.0e8f)));
}

// Places glyphs and marks: positions in quarter pixels relative to the layout's position, scaled,
// then turned about the rotation origin as the rasteriser turns each outline.
class TPlacer
{
public:
    TPlacer(TQmMiniVecDraw& draw, float scale, float cosine, float sine, float originX,
            float originY)
        : mDraw(draw), mScale(scale), mCos(cosine), mSin(sine), mOriginX(originX * 4 * scale),
          mOriginY(originY * 4 * scale)
    {
    }
    void Place(const uint8_t* outline, uint32_t size, float x, float y)
    {
        x *= mScale;
        y *= mScale;
        if (mSin != 0 || mCos != 1.0f)
        {
            float dx = x - mOriginX;
            float dy = y - mOriginY;
            x = mOriginX + dx * mCos - dy * mSin;
            y = mOriginY + dx * mSin + dy * mCos;
        }
        mDraw.DrawGlyph(outline, size, RoundClamped(x), RoundClamped(y));
    }
    // A rectangle (quarter pixels, unscaled) in the current fill colour.
    void Fill(float x, float y, float width, float height)
    {
        mDraw.SetSlant(false);
        mDraw.SetStrokeWidths(0, 0);
        mDraw.SetScale(width * mScale, height * mScale);
        Place(kUnitSquare, sizeof(kUnitSquare), x, y);
    }

private:
    TQmMiniVecDraw& mDraw;
    float mScale;
    float mCos, mSin;
    float mOriginX, mOriginY;
};

} // namespace

void TTextLayout::Draw(const TVec2& position, float heightLimit, float scale, float spacing,
                       float alpha, const std::shared_ptr<TVecDrawTexture>& target,
                       TQmMiniVecDraw* rasteriser)
{
    if (!(scale >= 0))
        return;
    TQmMiniVecDraw* draw = rasteriser != nullptr ? rasteriser : GetTextRasteriser();
    if (draw == nullptr)
        return;
    draw->SetTextureModes(mCopying, mAccumulate);
    draw->SetRotation(mCos, mSin);
    draw->BeginDraw(position.x, position.y, target);
    float y = mUnscaledOffsets
                  ? (scale != 0 ? static_cast<float>(mTop) / scale : 0) + mVerticalOffset
                  : mVerticalOffset * scale + static_cast<float>(mTop);
    size_t first = static_cast<size_t>(std::max(0, RoundClamped(mFirstVisibleLine)));
    for (size_t i = first; i < mLines.size(); ++i)
    {
        const TTextLine& line = *mLines[i];
        float bottom = (y + static_cast<float>(line.mHeight)) * scale;
        if (bottom > heightLimit || bottom < 0)
            break;
        DrawLine(line, y, scale, alpha, *draw);
        y += static_cast<float>(line.mHeight) + spacing;
    }
    draw->Flush();
}

void TTextLayout::DrawInRect(TTextLayout* layout, const TRect& rect, float scale, float spacing,
                             float alpha, const std::shared_ptr<TVecDrawTexture>& target)
{
    if (layout == nullptr)
        return;
    layout->Draw(TVec2(static_cast<float>(rect.left), static_cast<float>(rect.top)),
                 static_cast<float>(rect.Height()), scale, spacing, alpha, target);
}

void TTextLayout::DrawLine(const TTextLine& line, float lineY, float scale, float alpha,
                           TQmMiniVecDraw& draw) const
{
    TPlacer placer(draw, scale, mCos, mSin, static_cast<float>(mRotationX),
                   static_cast<float>(mRotationY));
    const char* text = mText.c_str();
    const int length = mText.Length();
    const float lineX = (static_cast<float>(line.mAnchorX) + line.mOffsetX) * 4.0f;
    const float baseline = lineY * 4.0f + static_cast<float>(line.mGlyphHeight);
    for (size_t r = 0; r < line.mRuns.size(); ++r)
    {
        const TTextRun& run = line.mRuns[r];
        const bool lastRun = r + 1 == line.mRuns.size();
        const TVec4& colour =
            run.mLink.Length() > 0 && run.mLink == mHoverLink ? run.mLinkColour : run.mColour;
        float bold = 0;
        if (run.mFont != nullptr && (run.mBold || run.mFont->GetFlag() != 0))
            bold = static_cast<float>(run.mSize) * scale * 0.0125f;
        const int passes = run.mOutlineSize != 0 ? 2 : 1;
        for (int pass = 0; pass < passes && run.mFont != nullptr && run.mFirst >= 0; ++pass)
        {
            const bool outlinePass = pass + 1 < passes;
            const TVec4& passColour = outlinePass ? run.mOutlineColour : colour;
            draw.SetSlant(run.mItalic != 0);
            draw.SetStrokeWidths(outlinePass ? bold + run.mOutlineSize * scale : bold, 0);
            draw.SetFillColour(1, passColour, alpha);
            draw.SetFillColour(255, passColour, alpha);
            float pen = run.mStartPen;
            float correction = 0;
            for (int i = run.mFirst; i <= run.mLast && i < length;)
            {
                int index = i;
                bool literal = false;
                if (text[i] == '\\' && i + 1 < length)
                {
                    ++i;
                    literal = true;
                }
                uint32_t code = markup::ReadChar(text, length, i);
                const TVectorFont& font = *run.mFont;
                int glyph = font.FindGlyph(code);
                if (!literal && code == kSoftHyphen &&
                    !(line.mEndsAtHyphen && lastRun && index == run.mLast))
                {
                    // Takes no room and does not show where the line does not break at it.
                    AdvanceGlyphPen(font, glyph, run.mGlyphScale, pen, correction);
                    pen -= std::max(font.GetGlyphMetricA(glyph), font.GetGlyphMetricC(glyph)) *
                           run.mGlyphScale;
                    continue;
                }
                pen += correction;
                correction = 0;
                const uint8_t* outline = font.GetGlyphData(glyph);
                if (outline != nullptr)
                {
                    float fit = run.mGlyphScale * font.GetGlyphScale(glyph) * scale;
                    draw.SetScale(fit, fit);
                    placer.Place(outline, font.GetGlyphDataSize(glyph), lineX + pen, baseline);
                }
                AdvanceGlyphPen(font, glyph, run.mGlyphScale, pen, correction);
            }
        }
        if (!run.mCursor && !run.mUnderline)
            continue;
        draw.SetFillColour(1, colour, alpha);
        // Whole pixels (a sixteenth of the size, at least one), the underline on the first
        // whole pixel row a pixel below the baseline, so that unscaled marks come out sharp.
        const float thickness =
            4.0f * std::max(1.0f, std::round(static_cast<float>(run.mSize) / 16.0f));
        if (run.mCursor)
            placer.Fill(std::round((lineX + run.mStartPen) / 4.0f) * 4.0f,
                        baseline - static_cast<float>(run.mLineHeight), thickness,
                        static_cast<float>(run.mSize) * 4.0f);
        if (run.mUnderline && run.mFirst >= 0 && run.mEndPen > run.mStartPen)
            placer.Fill(lineX + run.mStartPen, std::ceil(baseline / 4.0f) * 4.0f + 4.0f,
                        run.mEndPen - run.mStartPen, thickness);
    }
}
