// TVectorFont: parsing ".mvec" images, bounded by the image's size, and the fit factors.
#include "render/text/vector_font.h"

#include "platform/log.h"

#include <algorithm>
#include <cstring>

extern const unsigned char kBuiltinVectorFont[];
extern const unsigned long kBuiltinVectorFontSize;

namespace
{

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kRecordSize = 18;
constexpr float kTopMargin = 0.15f;
constexpr float kBottomMargin = 0.05f;

uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

bool TVectorFont::Load(std::unique_ptr<uint8_t[]> data, uint32_t size)
{
    mData = std::move(data);
    mSize = mData != nullptr ? size : 0;
    mCount = 0;
    mCodes.reset();
    mScales.reset();
    mAscent = 0;
    mDescent = 0;
    mFlag = 0;
    mScale = 1.0f;
    if (mData == nullptr)
        return false;
    if (mSize < kHeaderSize || std::memcmp(mData.get(), "MVC4", 4) != 0)
    {
        Log("TVectorFont::Load: not a vector font (%u bytes)", mSize);
        return false;
    }
    uint32_t count = mData[4] | static_cast<uint32_t>(mData[5]) << 8;
    // A glyph table running past the image makes an empty font rather than a read outside it.
    if (kHeaderSize + kRecordSize * count > mSize)
    {
        Log("TVectorFont::Load: %u glyph records do not fit in %u bytes", count, mSize);
        return false;
    }
    mCount = static_cast<int>(count);
    mCodes = std::make_unique<uint32_t[]>(count);
    mScales = std::make_unique<float[]>(count);
    int outside = 0;
    for (int i = 0; i < mCount; ++i)
    {
        const uint8_t* record = mData.get() + kHeaderSize + kRecordSize * i;
        mCodes[i] = Read32(record);
        if (Read32(record + 14) >= mSize)
            ++outside;
    }
    if (outside > 0)
        Log("TVectorFont::Load: %d glyph outlines lie outside the font", outside);

    // The record before the table would be read for a font without 'W': its ascent is 0 instead.
    int w = FindGlyph('W');
    mAscent = w >= 0 ? -RecordValue(w, 8) / 128.0f : 0.0f;
    for (int i = 0; i < mCount && mCodes[i] < 128; ++i)
        if (mCodes[i] != '_')
            mDescent = std::max(mDescent, RecordValue(i, 10) / 128.0f);

    float topLimit = mAscent + GetScaledHeight(true);
    float bottomLimit = mDescent + GetScaledHeight(false);
    for (int i = 0; i < mCount; ++i)
    {
        float up = (-RecordValue(i, 8) / 128.0f) / topLimit;
        float down = (RecordValue(i, 10) / 128.0f) / bottomLimit;
        mScales[i] = up > 1.0f || down > 1.0f ? 1.0f / std::max(up, down) : 1.0f;
    }
    return mCount > 0;
}

bool TVectorFont::LoadBuiltin()
{
    auto size = static_cast<uint32_t>(kBuiltinVectorFontSize);
    auto copy = std::make_unique<uint8_t[]>(size);
    std::memcpy(copy.get(), kBuiltinVectorFont, size);
    return Load(std::move(copy), size);
}

int TVectorFont::FindGlyph(uint32_t code) const
{
    int low = 0, high = mCount - 1;
    while (low <= high)
    {
        int middle = low + (high - low) / 2;
        if (mCodes[middle] == code)
            return middle;
        if (mCodes[middle] < code)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int16_t TVectorFont::RecordValue(int i, int field) const
{
    const uint8_t* p = mData.get() + kHeaderSize + kRecordSize * i + field;
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

const uint8_t* TVectorFont::GetGlyphData(int i) const
{
    if (i < 0 || i >= mCount)
        return nullptr;
    uint32_t offset = Read32(mData.get() + kHeaderSize + kRecordSize * i + 14);
    return offset < mSize ? mData.get() + offset : nullptr;
}

uint32_t TVectorFont::GetGlyphDataSize(int i) const
{
    const uint8_t* data = GetGlyphData(i);
    return data != nullptr ? mSize - static_cast<uint32_t>(data - mData.get()) : 0;
}

float TVectorFont::GetGlyphMetricA(int i) const
{
    return i >= 0 && i < mCount ? RecordValue(i, 12) / 128.0f : 0.0f;
}

float TVectorFont::GetGlyphMetricB(int i) const
{
    return i >= 0 && i < mCount ? RecordValue(i, 4) / 128.0f : 0.0f;
}

float TVectorFont::GetGlyphMetricC(int i) const
{
    return i >= 0 && i < mCount ? RecordValue(i, 6) / 128.0f : 0.0f;
}

float TVectorFont::GetGlyphScale(int i) const
{
    return i >= 0 && i < mCount ? mScales[i] : 1.0f;
}

float TVectorFont::GetScaledHeight(bool top) const
{
    return (top ? kTopMargin : kBottomMargin) * (mAscent + mDescent) / VectorFontBodyRatio;
}
