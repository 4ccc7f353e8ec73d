// TQmMiniVecDraw: scan conversion of vector-font glyph outlines at quarter-pixel precision into
// anti-aliased horizontal runs, a cache of the runs per glyph and drawing parameters, and their
// output as line lists through the renderer or written into a texture.
#pragma once

#include "platform/maths/geometry.h"
#include "render/text/vector_draw_output.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TQmMiniVecDraw
{
public:
    // Quarter-pixel rows from a glyph's top; pixels of a coverage row, and its pixel 0.
    static constexpr int kRowTableSize = 4096;
    static constexpr int kRowPixels = 3200;
    static constexpr int kRowOrigin = 1600;
    static constexpr int kCacheBuckets = 2039;
    static constexpr int kRunsPerBlock = 8192;
    // Past this many run blocks (64 KiB each) the cache is emptied whole before a new glyph.
    static constexpr int kCacheBlockCap = 64;

    // `device` is the renderer; null drops everything that would go to it.
    explicit TQmMiniVecDraw(TVecDrawDevice* device);
    virtual ~TQmMiniVecDraw();
    TQmMiniVecDraw(const TQmMiniVecDraw&) = delete;
    TQmMiniVecDraw& operator=(const TQmMiniVecDraw&) = delete;

    // Draws one glyph outline (`size` bytes readable) at (x, y) in quarter pixels from the origin
    // of BeginDraw, with the current parameters.
    void DrawGlyph(const uint8_t* outline, uint32_t size, int x, int y);
    // Offsets added to each run line's start x, end x and y: a / 4 - 1, b / 4 - 1, c / 4.
    void SetPixelOffsets(int a, int b, int c);
    // Quarter pixels per font unit.
    void SetScale(float x, float y);
    // The rotation's cosine and sine; (1, 0) draws unrotated.
    void SetRotation(float cosine, float sine);
    void SetSlant(bool slant);
    // Stroke widths in pixels (0 = none) for stroke 0 (style 255) and stroke 1 (style 254).
    void SetStrokeWidths(float first, float second);
    // The text colour, set on style 1.
    void SetTextColour(const TVec4& colour);
    void SetFillColour(int style, const TVec4& colour, float alpha);
    // The texture writer's flags (the text layout sets them each time it draws).
    void SetTextureModes(bool copying, bool accumulate);
    // Starts drawing at (x, y) pixels, into `target` or, when it is empty, through the renderer.
    bool BeginDraw(float x, float y, const std::shared_ptr<TVecDrawTexture>& target);
    // One span from x0 to x1 (quarter pixels, both included) on quarter-pixel row y.
    void DrawSpan(int x0, int x1, int y);
    // Draws the pending batch; lets go of a locked target texture.
    void Flush();
    // Calibrates the pixel offsets on the device.
    void SelfTest();
    // Empties the run cache and gives its memory back. A closed screen's text is not drawn again,
    // and text zoomed or turned as it moves adds runs every frame: without this they would stay
    // until the cap, and a game played again and again would hold more at each menu.
    void ReleaseCache();

    bool GetSelfTestResult() const { return mSelfTestOk; }
    int GetBatchLimit() const { return mBatchLimit; }
    float GetStartOffset() const { return mStartOffset; }
    float GetEndOffset() const { return mEndOffset; }
    float GetRowOffset() const { return mRowOffset; }
    // Counters for tests and benchmarks: glyphs converted and glyphs replayed from the cache.
    int GetConversionCount() const { return mConversions; }
    int GetReplayCount() const { return mReplays; }
    int GetCacheBlockCount() const { return static_cast<int>(mBlocks.size()); }
    int GetEdgeRoom() const { return mEdgeRoom; }

private:
    struct TEdge
    {
        float x0, y0, x1, y1;
        int link;
        float curX;
        float slope;
        int endRow;
        uint8_t style;
        uint8_t group;
        int8_t dir;
    };
    struct TCacheKey
    {
        const uint8_t* outline;
        int32_t subX, subY;
        float scaleX, scaleY;
        float stroke0, stroke1;
        int32_t slant;
        float cosine, sine;
        int32_t reserved; // no padding: keys are compared byte for byte
    };
    struct TRun
    {
        uint16_t x0, x1, y;
        uint8_t coverage;
        uint8_t layer;
    };
    struct TRunBlock
    {
        std::array<TRun, kRunsPerBlock> mRuns;
    };
    struct TCacheEntry
    {
        TCacheKey mKey;
        int mBlock;
        int mRun;
        int mNext;
    };
    // One run of the pending batch in whole pixels, for the texture writer.
    struct TPendingRun
    {
        int x0, x1, y;
        uint32_t colour;
    };

    bool BuildEdges(const uint8_t* outline, uint32_t size, int subX, int subY);
    void AddLine(float x0, float y0, float x1, float y1, int style, int group);
    void Transform(float x, float y, bool slant, int subX, int subY, float& ox, float& oy) const;
    void Sweep(int pixelX, int pixelY);
    void AddInterval(int layer, int x0, int x1);
    void EmitPixelRow(int row, int pixelX, int pixelY);
    void AppendRun(int x0, int x1, int y, int coverage, int layer);
    // One run line on pixel row y into the batch. A run covers pixels x0 to x1 - 1: its end is
    // the pixel after it, which the device's line rule and the texture writer leave out.
    void AddRun(int x0, int x1, int y, uint32_t colour)
    {
        if (mVertexCount + 2 > mBatchLimit)
            FlushBatch();
        TVecVertex* v = mVertices.data() + mVertexCount;
        v[0].x = static_cast<float>(x0) + mStartOffset;
        v[1].x = static_cast<float>(x1) + mEndOffset;
        v[0].y = v[1].y = static_cast<float>(y) + mRowOffset;
        v[0].colour = v[1].colour = colour;
        if (mTarget != nullptr) // whole pixels for the texture writer
            mPending[static_cast<size_t>(mVertexCount / 2)] = TPendingRun{x0, x1, y, colour};
        mVertexCount += 2;
        if (mVertexCount >= mBatchLimit)
            FlushBatch();
    }
    void ReplayRuns(int block, int run, int pixelX, int pixelY);
    void FlushBatch();
    void WriteBatchToTexture();
    bool LockTarget(const std::shared_ptr<TVecDrawTexture>& texture);
    void UnlockTarget(const std::shared_ptr<TVecDrawTexture>& texture);
    uint32_t ReadBack(int x, int y) const;
    void ClearCache();
    int FindEntry(const TCacheKey& key) const;

    TVecDrawDevice* mDevice;

    // Vertex batch.
    std::array<TVecVertex, 256> mVertices{};
    std::array<TPendingRun, 128> mPending{};
    int mVertexCount = 0;
    int mBatchLimit = 256;

    float mStartOffset = 0.25f;
    float mEndOffset = 0.25f;
    float mRowOffset = 0.25f;

    // Drawing parameters.
    int mOriginX = 0; // quarter pixels
    int mOriginY = 0;
    float mScaleX = 1.0f;
    float mScaleY = 1.0f;
    float mSin = 0;
    float mCos = 1.0f;
    bool mSlant = false;
    float mStroke[2] = {0, 0};
    TVec4 mTextColour{1, 1, 1, 1};
    int mSpanStyle = 1;

    // Edges.
    std::vector<TEdge> mEdges;
    int mEdgeRoom = 512;
    int mEdgeCount = 0;
    std::vector<int> mRowHeads;
    std::vector<int> mActive;
    int mMaxGroup = 0;

    // Coverage rows (two bytes past the end take the differences of an end at the last pixel).
    std::array<std::array<uint8_t, kRowPixels + 2>, 4> mRows{};
    std::array<int, 4> mRowLow{};
    std::array<int, 4> mRowHigh{};
    std::array<bool, 4> mRowDirty{};

    std::array<uint8_t, 256> mStyleLayer{};
    std::array<TColor, 128> mColours{};
    std::array<TColor, 1024> mRamps{};

    // Run cache.
    std::vector<int> mBuckets;
    std::vector<TCacheEntry> mEntries;
    std::vector<std::unique_ptr<TRunBlock>> mBlocks;
    int mRunCount = 0; // runs used in the last block
    int mConversions = 0;
    int mReplays = 0;

    bool mSelfTestOk = false;

    // Texture target.
    std::shared_ptr<TVecDrawTexture> mTarget;
    bool mCopying = false;
    bool mAccumulate = false;
    uint8_t* mPixels = nullptr;
    int32_t mTargetWidth = 0;
    int32_t mTargetHeight = 0;
    int32_t mTargetPitch = 0; // bytes
};
