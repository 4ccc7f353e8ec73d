// TTextLayout: marked-up UTF-8 text broken into lines of styled runs within a width, measured with
// vector fonts and drawn through the vector rasteriser; its font stack entries and lines.
#pragma once

#include "platform/maths/geometry.h"
#include "platform/strings/tstring.h"
#include "render/text/vector_draw_output.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TFontMap;
class TQmMiniVecDraw;
class TVectorFont;

// Alignment flags.
enum : uint32_t
{
    kTextAlignCenter = 1,
    kTextAlignRight = 2,
    kTextAlignMiddle = 4,
    kTextAlignBottom = 8,
};

// One entry of the font stack.
struct TFontState
{
    TString mFace;
    int32_t mSize = 16;
    TVec4 mColour;
};

// A stretch of one line in one style.
struct TTextRun
{
    TVectorFont* mFont = nullptr;
    float mGlyphScale = 0; // quarter pixels per font unit
    int32_t mSize = 0;
    int32_t mLineHeight = 0;           // quarter pixels: the baseline's depth below the line's top
    TVectorFont* mStyleFont = nullptr; // set when this run uses the fallback font instead
    TVec4 mColour;
    uint8_t mBold = 0;
    uint8_t mItalic = 0;
    uint8_t mUnderline = 0;
    uint8_t mCursor = 0;
    int32_t mFirst = -2; // character indexes in the text, inclusive; -2 while open
    int32_t mLast = -2;
    TString mLink;
    TVec4 mLinkColour;
    float mOutlineSize = 0;
    TVec4 mOutlineColour;
    int32_t mTab = 0;
    int32_t mFontIndex = 0;
    int32_t mStartX = 0; // pixels
    int32_t mEndX = 0;
    // The exact pen at the run's start (quarter pixels), where drawing starts it again.
    float mStartPen = 0;
    float mEndPen = 0;
};

struct TTextLine
{
    int32_t mHeight = 0;      // largest font size among the runs, plus a "br" pad
    int32_t mGlyphHeight = 0; // largest run line height (quarter pixels)
    int32_t mAnchorX = 0;
    float mOffsetX = 0; // pixels, added to the anchor
    std::vector<TTextRun> mRuns;
    // The line was broken at a soft hyphen, which then shows at its end.
    bool mEndsAtHyphen = false;
};

// The parser's state during a layout pass.
struct TStyleState
{
    static constexpr int kStackSize = 32;

    std::array<TFontState, kStackSize> mFonts;
    int32_t mFontIndex = 0;
    bool mBold = false;
    bool mItalic = false;
    bool mUnderline = false;
    std::array<int32_t, kStackSize> mAlign{};
    int32_t mAlignIndex = 0;
    TString mLink;
    TVec4 mLinkColour;
    float mOutlineSize = 0;
    TVec4 mOutlineColour;
    // Tags beyond the stacks, so that their closing tags pop nothing.
    int32_t mIgnoredFonts = 0;
    int32_t mIgnoredAligns = 0;

    // Leaves the font entries as they are.
    void Reset();
};

class TTextLayout
{
public:
    static TTextLayout* Create(const TString& text, int32_t width, int32_t height,
                               const TString& fontName, uint32_t alignment, int32_t size,
                               const TVec4& colour);
    static void Delete(TTextLayout* layout);

    // Each lays the text out again only when the value changes.
    void SetText(const TString& text);
    void SetFontName(const TString& name);
    void SetFontSize(int32_t size);
    void SetColor(const TVec4& colour);
    void SetAlignment(uint32_t flags);
    // Always lays out again.
    void SetRotation(float degrees, int32_t originX, int32_t originY);

    int GetLineCount() const { return static_cast<int>(mLines.size()); }
    TString GetHoverLink() const { return mHoverLink; }
    TString GetLayoutText() const { return mText; }
    // The font name the layout was made with.
    TString GetSecondaryText() const { return mFontName; }
    const TVec4& GetColor() const { return mColour; }
    void GetBounds(TRect& out, float scale) const;
    int CountLinesFromEnd(float scale, float spacing) const;
    TString GetLinkAt(const TVec2& point, float spacing) const;
    // True when the link under the point (none for null) differs from the stored one.
    bool UpdateHoverLink(const TVec2* point, float spacing);
    // Draws the lines at `position` (pixels, relative to the current viewport), into `target` or
    // through the renderer; `rasteriser` null takes the installed one.
    void Draw(const TVec2& position, float heightLimit, float scale, float spacing, float alpha,
              const std::shared_ptr<TVecDrawTexture>& target = nullptr,
              TQmMiniVecDraw* rasteriser = nullptr);

    // Draws `layout` at the rectangle's top-left corner with its height as the height limit.
    static void DrawInRect(TTextLayout* layout, const TRect& rect, float scale, float spacing,
                           float alpha, const std::shared_ptr<TVecDrawTexture>& target = nullptr);

    void SetFirstVisibleLine(float line) { mFirstVisibleLine = line; }
    float GetFirstVisibleLine() const { return mFirstVisibleLine; }
    void SetUnscaledOffsets(bool on) { mUnscaledOffsets = on; }
    bool GetUnscaledOffsets() const { return mUnscaledOffsets; }
    int32_t GetWidth() const { return mWidth; }
    int32_t GetHeight() const { return mHeight; }
    int32_t GetTop() const { return mTop; }
    float GetVerticalOffset() const { return mVerticalOffset; }
    float GetCosine() const { return mCos; }
    float GetSine() const { return mSin; }
    const std::vector<std::shared_ptr<TTextLine>>& GetLines() const { return mLines; }
    // Layout passes run so far (setters that change nothing run none).
    int GetLayoutCount() const { return mLayoutCount; }

private:
    TTextLayout();
    ~TTextLayout();
    class TLayoutPass;
    void Layout();
    void DrawLine(const TTextLine& line, float lineY, float scale, float alpha,
                  TQmMiniVecDraw& draw) const;

    TString mText;
    std::unique_ptr<TStyleState> mStyle;
    int32_t mLeft = 0;
    int32_t mTop = 0;
    int32_t mRight = 0;
    int32_t mTotalHeight = 0;
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    float mCos = 1.0f;
    float mSin = 0;
    int32_t mRotationX = 0;
    int32_t mRotationY = 0;
    bool mCopying = false;
    bool mAccumulate = false;
    std::vector<std::shared_ptr<TTextLine>> mLines;
    TString mFontName;
    int32_t mFontSize = 0;
    TVec4 mColour;
    float mFirstVisibleLine = 0;
    float mVerticalOffset = 0;
    TString mHoverLink;
    uint32_t mAlignment = 0;
    bool mUnscaledOffsets = false;
    int mLayoutCount = 0;
};

// The rasteriser that drawing uses when none is handed in: the display seam installs the one it
// holds (null lets go of it).
void SetTextRasteriser(TQmMiniVecDraw* rasteriser);
TQmMiniVecDraw* GetTextRasteriser();

// The advance of one glyph in quarter pixels with the carried correction: the correction is
// added first; the pen moves by the larger of advance and extent, and what the advance lacks
// of the extent is carried to the next glyph.
void AdvanceGlyphPen(const TVectorFont& font, int glyph, float glyphScale, float& pen,
                     float& correction);
