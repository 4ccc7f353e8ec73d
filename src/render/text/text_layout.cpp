// TTextLayout: construction, the setters, the layout pass (runs, fallback runs, breaks, line
// heights, alignment) and the getters that measure and hit-test the laid-out lines.
#include "render/text/text_layout.h"

#include "platform/config/config.h"
#include "platform/log.h"
#include "render/text/font_map.h"
#include "render/text/text_markup.h"
#include "render/text/vector_font.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace
{

constexpr const char* kDefaultFace = "__DEFAULT";
constexpr const char* kFallbackFace = "fonts/default.mvec";
constexpr uint32_t kSoftHyphen = 0xAD;

TQmMiniVecDraw* gRasteriser = nullptr;

// Float to integer, rounded to the nearest and held inside the 32-bit range (a huge size or a
// very long line must not overflow the conversion).
int32_t RoundToInt(float v)
{
    if (!(v == v))
        return 0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -2.0e9f, 2.0e9f)));
}

int32_t TruncToInt(float v)
{
    if (!(v == v))
        return 0;
    return static_cast<int32_t>(std::clamp(v, -2.0e9f, 2.0e9f));
}

// Quarter pixels to pixels: rounded to the nearest quarter pixel, then divided toward zero.
int32_t QuarterToPixels(float pen)
{
    return RoundToInt(pen) / 4;
}

bool HasChars(const TTextRun& run)
{
    return run.mFirst >= 0;
}

float GlyphScaleOf(const TVectorFont& font, int32_t size)
{
    float body = font.GetAscent() + font.GetDescent();
    if (!(body > 0))
        return 0;
    return static_cast<float>(size) * 4.0f * VectorFontBodyRatio / body;
}

} // namespace

void AdvanceGlyphPen(const TVectorFont& font, int glyph, float glyphScale, float& pen,
                     float& correction)
{
    float advance = font.GetGlyphMetricA(glyph);
    float extent = font.GetGlyphMetricC(glyph);
    pen += correction;
    if (advance > extent)
    {
        pen += advance * glyphScale;
        correction = 0;
    }
    else
    {
        pen += extent * glyphScale;
        correction = (advance - extent) * glyphScale;
    }
}

void SetTextRasteriser(TQmMiniVecDraw* rasteriser)
{
    gRasteriser = rasteriser;
}

TQmMiniVecDraw* GetTextRasteriser()
{
    return gRasteriser;
}

void TStyleState::Reset()
{
    mFontIndex = 0;
    mBold = mItalic = mUnderline = false;
    mAlign.fill(0);
    mAlign[0] = -1;
    mAlignIndex = 0;
    mLink = TString();
    mLinkColour = TVec4();
    mOutlineSize = 0;
    mOutlineColour = TVec4();
    mIgnoredFonts = 0;
    mIgnoredAligns = 0;
}

namespace
{

// The style at a break position, kept only when a tag follows the break on the same line (the
// tags after it are read again on the next line). Entries above the top are never read before a
// push writes them, so they are not copied.
void CopyStyle(const TStyleState& from, TStyleState& to)
{
    for (int i = 0; i <= from.mFontIndex; ++i)
        to.mFonts[static_cast<size_t>(i)] = from.mFonts[static_cast<size_t>(i)];
    to.mFontIndex = from.mFontIndex;
    to.mBold = from.mBold;
    to.mItalic = from.mItalic;
    to.mUnderline = from.mUnderline;
    to.mAlign = from.mAlign;
    to.mAlignIndex = from.mAlignIndex;
    to.mLink = from.mLink;
    to.mLinkColour = from.mLinkColour;
    to.mOutlineSize = from.mOutlineSize;
    to.mOutlineColour = from.mOutlineColour;
    to.mIgnoredFonts = from.mIgnoredFonts;
    to.mIgnoredAligns = from.mIgnoredAligns;
}

} // namespace

// One run of the layout pass over the text.
class TTextLayout::TLayoutPass
{
public:
    explicit TLayoutPass(TTextLayout& layout)
        : mLayout(layout), mText(layout.mText.c_str()), mLength(layout.mText.Length()),
          mStyle(*layout.mStyle), mFonts(GetFontMap()), mLegacyWrap(IsLegacyLineWrap())
    {
    }

    void Run();

private:
    // A remembered break position.
    struct TBreak
    {
        bool mValid = false;
        int mRun = 0;       // the run holding the break character
        int32_t mLast = -2; // that run's last character when the line ends there
        float mPen = 0;     // the line's width when it ends there
        int mNext = 0;      // where the next line starts
        bool mStyleSaved = false;
        TStyleState mStyle;
    };

    TVectorFont* StyleFont();
    void OpenRun(bool fallback);
    void CloseRun();
    void ApplyTag(const markup::TTag& tag, bool& endsLine);
    // Places one character; false when the line ended (mPos then says where to go on).
    bool PlaceChar(uint32_t code, int index, int next, bool literal);
    void EndLineAt(TBreak& at);
    void FinishLine(float width);
    void StartLine();
    void SaveBreakStyles();

    TTextLayout& mLayout;
    const char* mText;
    int mLength;
    TStyleState& mStyle;
    TFontMap& mFonts;
    TVectorFont* mFallback = nullptr;
    bool mLegacyWrap;
    bool mFontErrorLogged = false;

    // Where reading goes on.
    int mPos = 0;
    // The line being built; its last run is open while mRunOpen.
    std::shared_ptr<TTextLine> mLine;
    bool mRunOpen = false;
    float mPen = 0;
    float mCorrection = 0;
    bool mPrevItalic = false;
    int mLineChars = 0;
    int32_t mPad = 0;
    int32_t mLineAlign = -1;
    bool mPendingCursor = false;
    int32_t mPendingTab = 0;
    TBreak mBlank;
    TBreak mHyphen;
    // The face whose font was looked up last, so that a run does not search the map again.
    TString mLastFace;
    TVectorFont* mLastFont = nullptr;
    bool mHaveLastFont = false;
};

TVectorFont* TTextLayout::TLayoutPass::StyleFont()
{
    const TString& face = mStyle.mFonts[static_cast<size_t>(mStyle.mFontIndex)].mFace;
    if (mHaveLastFont && face.GetData() == mLastFace.GetData())
        return mLastFont;
    if (!mHaveLastFont || face != mLastFace)
        mLastFont = mFonts.GetFont(face.Length() > 0 ? face : TString(kDefaultFace));
    mLastFace = face;
    mHaveLastFont = true;
    return mLastFont;
}

void TTextLayout::TLayoutPass::OpenRun(bool fallback)
{
    const TFontState& state = mStyle.mFonts[static_cast<size_t>(mStyle.mFontIndex)];
    TTextRun run;
    TVectorFont* styleFont = StyleFont();
    run.mFont = fallback ? mFallback : styleFont;
    run.mStyleFont = fallback ? styleFont : nullptr;
    run.mSize = state.mSize;
    if (run.mFont != nullptr)
    {
        run.mGlyphScale = GlyphScaleOf(*run.mFont, run.mSize);
        run.mLineHeight = TruncToInt((run.mFont->GetScaledHeight(true) + run.mFont->GetAscent()) *
                                     run.mGlyphScale);
    }
    run.mColour = state.mColour;
    run.mBold = mStyle.mBold;
    run.mItalic = mStyle.mItalic;
    run.mUnderline = mStyle.mUnderline;
    run.mCursor = mPendingCursor;
    run.mLink = mStyle.mLink;
    run.mLinkColour = mStyle.mLinkColour;
    run.mOutlineSize = mStyle.mOutlineSize;
    run.mOutlineColour = mStyle.mOutlineColour;
    run.mTab = mPendingTab;
    run.mFontIndex = mStyle.mFontIndex;
    mPendingCursor = false;
    mPendingTab = 0;
    mCorrection = 0;
    if (run.mFont != nullptr && mStyle.mItalic != mPrevItalic)
        mPen += run.mGlyphScale / 3.0f *
                (mStyle.mItalic ? run.mFont->GetDescent() : run.mFont->GetAscent());
    mPrevItalic = mStyle.mItalic;
    run.mStartPen = mPen;
    run.mStartX = QuarterToPixels(mPen);
    mLine->mRuns.push_back(std::move(run));
    mRunOpen = true;
}

void TTextLayout::TLayoutPass::CloseRun()
{
    if (!mRunOpen)
        return;
    mRunOpen = false;
    TTextRun& run = mLine->mRuns.back();
    if (!HasChars(run) && !run.mCursor)
    {
        mLine->mRuns.pop_back();
        return;
    }
    run.mEndPen = mPen;
    run.mEndX = QuarterToPixels(mPen);
}

void TTextLayout::TLayoutPass::SaveBreakStyles()
{
    for (TBreak* at : {&mBlank, &mHyphen})
        if (at->mValid && !at->mStyleSaved)
        {
            CopyStyle(mStyle, at->mStyle);
            at->mStyleSaved = true;
        }
}

void TTextLayout::TLayoutPass::ApplyTag(const markup::TTag& tag, bool& endsLine)
{
    using markup::TTagName;
    SaveBreakStyles();
    CloseRun();
    TString value;
    int number = 0;
    switch (tag.GetName())
    {
    case TTagName::Break:
        if (tag.GetNumber("pad", number))
            mPad = number;
        endsLine = true;
        break;
    case TTagName::Paragraph:
        endsLine = true;
        break;
    case TTagName::Link:
        mStyle.mLink = tag.GetAttribute("id", value) ? value : TString();
        // Without a colour the link keeps the text's colour when it is hovered.
        mStyle.mLinkColour = tag.GetAttribute("color", value)
                                 ? markup::ParseColour(value, false)
                                 : mStyle.mFonts[static_cast<size_t>(mStyle.mFontIndex)].mColour;
        break;
    case TTagName::LinkEnd:
        mStyle.mLink = TString();
        mStyle.mLinkColour = mStyle.mFonts[static_cast<size_t>(mStyle.mFontIndex)].mColour;
        break;
    case TTagName::Bold:
        mStyle.mBold = true;
        break;
    case TTagName::BoldEnd:
        mStyle.mBold = false;
        break;
    case TTagName::Italic:
        mStyle.mItalic = true;
        break;
    case TTagName::ItalicEnd:
        mStyle.mItalic = false;
        break;
    case TTagName::Underline:
        mStyle.mUnderline = true;
        break;
    case TTagName::UnderlineEnd:
        mStyle.mUnderline = false;
        break;
    case TTagName::Cursor:
        mPendingCursor = true;
        break;
    case TTagName::Center:
    case TTagName::Left:
    case TTagName::Right:
        if (mStyle.mAlignIndex + 1 < TStyleState::kStackSize)
            mStyle.mAlign[static_cast<size_t>(++mStyle.mAlignIndex)] =
                tag.GetName() == TTagName::Center  ? 1
                : tag.GetName() == TTagName::Right ? 2
                                                   : 0;
        else
            ++mStyle.mIgnoredAligns;
        endsLine = true;
        break;
    case TTagName::CenterEnd:
    case TTagName::LeftEnd:
    case TTagName::RightEnd:
        if (mStyle.mIgnoredAligns > 0)
            --mStyle.mIgnoredAligns;
        else if (mStyle.mAlignIndex > 0)
            --mStyle.mAlignIndex;
        endsLine = true;
        break;
    case TTagName::Font:
        if (mStyle.mFontIndex + 1 < TStyleState::kStackSize)
        {
            TFontState next = mStyle.mFonts[static_cast<size_t>(mStyle.mFontIndex)];
            if (tag.GetNumber("size", number))
                next.mSize = std::max(number, 0);
            if (tag.GetAttribute("color", value))
                next.mColour = markup::ParseColour(value, true);
            if (tag.GetAttribute("face", value))
                next.mFace = value;
            mStyle.mFonts[static_cast<size_t>(++mStyle.mFontIndex)] = next;
        }
        else
            ++mStyle.mIgnoredFonts;
        break;
    case TTagName::FontEnd:
        if (mStyle.mIgnoredFonts > 0)
            --mStyle.mIgnoredFonts;
        else if (mStyle.mFontIndex > 0)
            --mStyle.mFontIndex;
        break;
    case TTagName::Outline:
        mStyle.mOutlineColour =
            markup::ParseColour(tag.GetAttribute("color", value) ? value : TString(), false);
        mStyle.mOutlineSize = 2.0f;
        if (tag.GetNumber("size", number))
            mStyle.mOutlineSize = static_cast<float>(number);
        break;
    case TTagName::OutlineEnd:
        mStyle.mOutlineSize = 0;
        mStyle.mOutlineColour = TVec4();
        break;
    case TTagName::Tab:
        if (tag.GetNumber("pos", number))
        {
            mPen = static_cast<float>(number) * 4.0f;
            mCorrection = 0;
            mPendingTab = number;
        }
        break;
    case TTagName::None:
        break;
    }
}

bool TTextLayout::TLayoutPass::PlaceChar(uint32_t code, int index, int next, bool literal)
{
    if (!literal && code == '\n')
    {
        CloseRun();
        FinishLine(mPen);
        mPos = next;
        return false;
    }
    TVectorFont* styleFont = StyleFont();
    int styleGlyph = styleFont != nullptr ? styleFont->FindGlyph(code) : -1;
    bool fallbackHas = mFallback != nullptr && mFallback != styleFont && styleGlyph < 0 &&
                       mFallback->FindGlyph(code) >= 0;
    if (mRunOpen)
    {
        const TTextRun& run = mLine->mRuns.back();
        bool inFallback = run.mStyleFont != nullptr;
        // Leave the fallback font as soon as the style's font has the glyph again, and enter it
        // when only the fallback has it.
        if (inFallback ? styleGlyph >= 0 : fallbackHas)
            CloseRun();
    }
    const float penBefore = mPen;
    const float correctionBefore = mCorrection;
    if (!mRunOpen)
        OpenRun(fallbackHas);

    TTextRun& run = mLine->mRuns.back();
    if (run.mFont == nullptr)
    {
        if (!mFontErrorLogged)
            Log("ERROR: FONT missing in text when attempting to render string %s.", mText);
        mFontErrorLogged = true;
    }
    const int32_t lastBefore = run.mLast;
    const bool special = !literal && run.mFont != nullptr;
    if (special && code == ' ')
    {
        mBlank.mValid = true;
        mBlank.mRun = static_cast<int>(mLine->mRuns.size()) - 1;
        mBlank.mLast = lastBefore;
        mBlank.mPen = mPen;
        mBlank.mNext = next;
        mBlank.mStyleSaved = false;
        mHyphen.mValid = false;
    }
    if (run.mFirst < 0)
        run.mFirst = index;
    run.mLast = index;
    if (run.mFont != nullptr)
    {
        int glyph = run.mFont == styleFont ? styleGlyph : run.mFont->FindGlyph(code);
        AdvanceGlyphPen(*run.mFont, glyph, run.mGlyphScale, mPen, mCorrection);
        if (special && code == kSoftHyphen)
        {
            mHyphen.mValid = true;
            mHyphen.mRun = static_cast<int>(mLine->mRuns.size()) - 1;
            mHyphen.mLast = index;
            mHyphen.mPen = mPen;
            mHyphen.mNext = next;
            mHyphen.mStyleSaved = false;
            mPen -= std::max(run.mFont->GetGlyphMetricA(glyph), run.mFont->GetGlyphMetricC(glyph)) *
                    run.mGlyphScale;
        }
    }
    if (mPen > static_cast<float>(mLayout.mWidth) * 4.0f)
    {
        if (mHyphen.mValid)
        {
            mLine->mEndsAtHyphen = true;
            EndLineAt(mHyphen);
            return false;
        }
        if (mBlank.mValid)
        {
            EndLineAt(mBlank);
            return false;
        }
        if (mLineChars > 0 && !mLegacyWrap)
        {
            // The character opens the next line.
            run.mLast = lastBefore;
            if (lastBefore < 0)
                run.mFirst = -2;
            mPen = penBefore;
            mCorrection = correctionBefore;
            CloseRun();
            FinishLine(mPen);
            mPos = index;
            return false;
        }
        CloseRun();
        FinishLine(mPen);
        mPos = next;
        return false;
    }
    ++mLineChars;
    return true;
}

void TTextLayout::TLayoutPass::EndLineAt(TBreak& at)
{
    auto& runs = mLine->mRuns;
    runs.resize(static_cast<size_t>(at.mRun) + 1);
    mRunOpen = true;
    TTextRun& run = runs.back();
    run.mLast = at.mLast;
    if (at.mLast < 0)
        run.mFirst = -2;
    mPen = at.mPen;
    CloseRun();
    if (at.mStyleSaved)
        CopyStyle(at.mStyle, mStyle);
    mPendingCursor = false;
    mPendingTab = 0;
    mPos = at.mNext;
    FinishLine(at.mPen);
}

void TTextLayout::TLayoutPass::FinishLine(float width)
{
    CloseRun();
    TTextLine& line = *mLine;
    if (mPendingCursor)
    {
        OpenRun(false);
        CloseRun();
    }
    int32_t height = 0;
    int32_t glyphHeight = 0;
    const TTextRun* firstGlyphRun = nullptr;
    const TTextRun* lastGlyphRun = nullptr;
    for (const TTextRun& run : line.mRuns)
    {
        glyphHeight = std::max(glyphHeight, run.mLineHeight);
        if (!HasChars(run))
            continue;
        height = std::max(height, run.mSize);
        if (firstGlyphRun == nullptr)
            firstGlyphRun = &run;
        lastGlyphRun = &run;
    }
    line.mHeight = height + mPad;
    line.mGlyphHeight = glyphHeight;

    int32_t align = mLineAlign;
    if (align < 0)
        align = (mLayout.mAlignment & kTextAlignCenter)  ? 1
                : (mLayout.mAlignment & kTextAlignRight) ? 2
                                                         : 0;
    const int32_t w = RoundToInt(width) / 4;
    float shift = 0;
    if (firstGlyphRun != nullptr && firstGlyphRun->mFont != nullptr)
    {
        int index = firstGlyphRun->mFirst;
        if (mText[index] == '\\' && index + 1 < mLength)
            ++index;
        int glyph = firstGlyphRun->mFont->FindGlyph(markup::ReadChar(mText, mLength, index));
        shift = (4.0f - firstGlyphRun->mFont->GetGlyphMetricB(glyph) * firstGlyphRun->mGlyphScale) /
                4.0f;
    }
    if (align == 1)
    {
        line.mAnchorX = mLayout.mWidth / 2;
        line.mOffsetX = -static_cast<float>(w) / 2.0f;
    }
    else if (align == 2)
    {
        // In 64 bits: any width and outline size give an anchor without overflow.
        int64_t anchor = static_cast<int64_t>(mLayout.mWidth) - 1 -
                         (lastGlyphRun != nullptr ? RoundToInt(lastGlyphRun->mOutlineSize) : 0);
        line.mAnchorX = static_cast<int32_t>(std::clamp<int64_t>(anchor, INT_MIN, INT_MAX));
        line.mOffsetX = -static_cast<float>(w);
    }
    else
    {
        line.mAnchorX = firstGlyphRun != nullptr ? RoundToInt(firstGlyphRun->mOutlineSize) : 0;
        line.mOffsetX = 0;
    }
    line.mOffsetX += shift;
    mLayout.mLines.push_back(std::move(mLine));
    StartLine();
}

void TTextLayout::TLayoutPass::StartLine()
{
    mLine = std::make_shared<TTextLine>();
    mRunOpen = false;
    mPen = 0;
    mCorrection = 0;
    mPrevItalic = false;
    mLineChars = 0;
    mPad = 0;
    mLineAlign = mStyle.mAlign[static_cast<size_t>(mStyle.mAlignIndex)];
    mBlank.mValid = false;
    mHyphen.mValid = false;
}

void TTextLayout::TLayoutPass::Run()
{
    mLayout.mLines.clear();
    mLayout.mLeft = INT_MAX;
    mLayout.mRight = 0;
    mLayout.mTop = 0;
    mLayout.mTotalHeight = 0;
    mStyle.Reset();
    TFontState& base = mStyle.mFonts[0];
    base.mFace = mLayout.mFontName;
    base.mSize = mLayout.mFontSize;
    base.mColour = mLayout.mColour;
    mStyle.mLinkColour = base.mColour;
    mFallback = mFonts.GetFont(kFallbackFace);
    StartLine();

    markup::TTag tag;
    while (mPos < mLength)
    {
        int index = mPos;
        if (mText[index] == '\\')
        {
            // The backslash is not drawn; the character after it has no mark-up meaning.
            if (index + 1 >= mLength)
                break;
            int next = index + 1;
            uint32_t code = markup::ReadChar(mText, mLength, next);
            mPos = next;
            PlaceChar(code, index, next, true);
            continue;
        }
        int end = 0;
        if (mText[index] == '<' && tag.Read(mText, mLength, index, end))
        {
            bool endsLine = false;
            ApplyTag(tag, endsLine);
            mPos = end;
            if (endsLine)
                FinishLine(mPen);
            continue;
        }
        int next = index;
        uint32_t code = markup::ReadChar(mText, mLength, next);
        mPos = next;
        PlaceChar(code, index, next, false);
    }
    CloseRun();
    if (!mLine->mRuns.empty() || mPendingCursor)
        FinishLine(mPen);

    int32_t total = 0;
    for (const auto& line : mLayout.mLines)
        total = static_cast<int32_t>(
            std::clamp<int64_t>(static_cast<int64_t>(total) + line->mHeight, INT_MIN, INT_MAX));
    mLayout.mTotalHeight = total;
    if (mLayout.mAlignment & kTextAlignMiddle)
    {
        mLayout.mTop = mLayout.mHeight / 2;
        mLayout.mVerticalOffset = -static_cast<float>(total) / 2.0f;
    }
    else if (mLayout.mAlignment & kTextAlignBottom)
    {
        mLayout.mTop = mLayout.mHeight;
        mLayout.mVerticalOffset = -static_cast<float>(total);
    }
    else
    {
        mLayout.mTop = 0;
        mLayout.mVerticalOffset = 0;
    }
    for (const auto& line : mLayout.mLines)
    {
        if (line->mRuns.empty())
            continue;
        mLayout.mLeft = std::min(mLayout.mLeft, line->mRuns.front().mStartX + line->mAnchorX);
        mLayout.mRight = std::max(mLayout.mRight, line->mRuns.back().mEndX + line->mAnchorX);
    }
}

TTextLayout::TTextLayout() : mStyle(std::make_unique<TStyleState>())
{
    mUnscaledOffsets = GetConfig("textspriterender").ToInt() > 0;
}

TTextLayout::~TTextLayout() = default;

TTextLayout* TTextLayout::Create(const TString& text, int32_t width, int32_t height,
                                 const TString& fontName, uint32_t alignment, int32_t size,
                                 const TVec4& colour)
{
    auto* layout = new TTextLayout();
    layout->mAlignment = alignment;
    layout->mFontName = fontName.Length() > 0 ? fontName : TString(kDefaultFace);
    layout->mFontSize = size;
    layout->mColour = colour;
    layout->mWidth = width;
    layout->mHeight = height;
    layout->mText = text;
    layout->Layout();
    return layout;
}

void TTextLayout::Delete(TTextLayout* layout)
{
    delete layout;
}

void TTextLayout::Layout()
{
    ++mLayoutCount;
    TLayoutPass pass(*this);
    pass.Run();
}

void TTextLayout::SetText(const TString& text)
{
    if (text == mText)
        return;
    mText = text;
    Layout();
}

void TTextLayout::SetFontName(const TString& name)
{
    TString face = name.Length() > 0 ? name : TString(kDefaultFace);
    if (face == mFontName)
        return;
    mFontName = face;
    Layout();
}

void TTextLayout::SetFontSize(int32_t size)
{
    if (size == mFontSize)
        return;
    mFontSize = size;
    Layout();
}

void TTextLayout::SetColor(const TVec4& colour)
{
    if (!TVec4::NotEqual(colour, mColour))
        return;
    mColour = colour;
    Layout();
}

void TTextLayout::SetAlignment(uint32_t flags)
{
    if (flags == mAlignment)
        return;
    mAlignment = flags;
    Layout();
}

void TTextLayout::SetRotation(float degrees, int32_t originX, int32_t originY)
{
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    mCos = static_cast<float>(std::cos(radians));
    mSin = static_cast<float>(std::sin(radians));
    if (std::fabs(mCos - 1.0f) < 0.0001f && std::fabs(mSin) < 0.0001f)
    {
        mCos = 1.0f;
        mSin = 0;
    }
    mRotationX = originX;
    mRotationY = originY;
    Layout();
}

void TTextLayout::GetBounds(TRect& out, float scale) const
{
    bool any = false;
    float left = 0;
    float right = 0;
    for (const auto& line : mLines)
    {
        if (line->mRuns.empty())
            continue;
        float x = static_cast<float>(line->mAnchorX) + line->mOffsetX * scale;
        float l = static_cast<float>(line->mRuns.front().mStartX) + x;
        float r = static_cast<float>(line->mRuns.back().mEndX) + x;
        left = any ? std::min(left, l) : l;
        right = any ? std::max(right, r) : r;
        any = true;
    }
    out.left = any ? TruncToInt(left) : 0;
    out.right = any ? TruncToInt(right) : 0;
    out.top = mTop;
    out.bottom = static_cast<int32_t>(
        std::clamp<int64_t>(static_cast<int64_t>(mTop) + mTotalHeight, INT_MIN, INT_MAX));
}

int TTextLayout::CountLinesFromEnd(float scale, float spacing) const
{
    float sum = 0;
    for (int i = static_cast<int>(mLines.size()) - 1; i >= 0; --i)
    {
        sum += (static_cast<float>(mLines[static_cast<size_t>(i)]->mHeight) + spacing) * scale;
        if (sum > static_cast<float>(mHeight))
            return i + 1;
    }
    return 0;
}

TString TTextLayout::GetLinkAt(const TVec2& point, float spacing) const
{
    // The same vertical walk as drawing at scale 1.
    float y = mVerticalOffset + static_cast<float>(mTop);
    size_t first = static_cast<size_t>(std::max(0, RoundToInt(mFirstVisibleLine)));
    for (size_t i = first; i < mLines.size(); ++i)
    {
        const TTextLine& line = *mLines[i];
        float height = static_cast<float>(line.mHeight);
        if (point.y >= y - spacing && point.y < y + height)
        {
            float x = static_cast<float>(line.mAnchorX) + line.mOffsetX;
            for (const TTextRun& run : line.mRuns)
                if (point.x >= static_cast<float>(run.mStartX) + x &&
                    point.x < static_cast<float>(run.mEndX) + x)
                    return run.mLink;
        }
        y += height + spacing;
    }
    return TString();
}

bool TTextLayout::UpdateHoverLink(const TVec2* point, float spacing)
{
    TString link = point != nullptr ? GetLinkAt(*point, spacing) : TString();
    if (link == mHoverLink)
        return false;
    mHoverLink = link;
    return true;
}
