// TVectorFont: a ".mvec" vector font held in memory: glyph lookup by character code, metrics and
// the per-glyph fit factors of the text layout; and the built-in default font "__DEFAULT".
#pragma once

#include <cstdint>
#include <memory>

// The share of a line's height taken by ascent + descent: 0.15 above and 0.05 below are margins.
constexpr float VectorFontBodyRatio = static_cast<float>(1.0 - 0.15 - 0.05);

class TVectorFont
{
public:
    TVectorFont() = default;
    TVectorFont(const TVectorFont&) = delete;
    TVectorFont& operator=(const TVectorFont&) = delete;

    // Takes over the image and parses it. Null data or data without "MVC4" leaves an empty font;
    // a damaged image is read only inside its `size` bytes (one log line). True when glyphs loaded.
    bool Load(std::unique_ptr<uint8_t[]> data, uint32_t size);
    // A copy of the default font carried in the program.
    bool LoadBuiltin();

    // Binary search of the code table: the glyph index, or -1.
    int FindGlyph(uint32_t code) const;
    // Glyph i's outline; null outside 0..count-1 or when its offset lies outside the image.
    const uint8_t* GetGlyphData(int i) const;
    // The bytes from glyph i's outline to the end of the image (0 where there is no outline):
    // the outline reader stops there.
    uint32_t GetGlyphDataSize(int i) const;
    // Advance width, left edge and right edge in font units; 0 outside the range.
    float GetGlyphMetricA(int i) const;
    float GetGlyphMetricB(int i) const;
    float GetGlyphMetricC(int i) const;
    // The factor that keeps the glyph inside the line's margins; 1.0 outside the range.
    float GetGlyphScale(int i) const;

    int GetGlyphCount() const { return mCount; }
    float GetAscent() const { return mAscent; }
    float GetDescent() const { return mDescent; }
    uint8_t GetFlag() const { return mFlag; }
    float GetScale() const { return mScale; }
    // The margin above (top: 0.15) or below (0.05) the body, in font units.
    float GetScaledHeight(bool top) const;

private:
    // Record field of glyph i at byte `field` of its 18 bytes.
    int16_t RecordValue(int i, int field) const;

    std::unique_ptr<uint8_t[]> mData;
    uint32_t mSize = 0;
    int mCount = 0;
    std::unique_ptr<uint32_t[]> mCodes;
    std::unique_ptr<float[]> mScales;
    float mAscent = 0;
    float mDescent = 0;
    uint8_t mFlag = 0;
    float mScale = 1.0f;
};
