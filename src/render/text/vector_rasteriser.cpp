// TQmMiniVecDraw: outline interpretation, edges, the quarter-pixel sweep with difference buffers,
// the run cache and the batch output (renderer line lists or the texture writer).
#include "render/text/vector_rasteriser.h"

#include "platform/log.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{

// Coordinates are held far inside the range where float-to-int conversion is defined; anything
// beyond lies off every row table and coverage row anyway.
constexpr float kCoordLimit = 1.0e6f;

float Bounded(float v)
{
    if (!(v == v))
        return 0;
    return std::clamp(v, -kCoordLimit, kCoordLimit);
}

int16_t Read16(const uint8_t* p)
{
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

// Sample points sit in the middle of each quarter pixel (at k + 0.5): the first sample at or after
// a float position. An edge is active on rows y0 <= r + 0.5 < y1, and an interval between edges at
// xa and xb covers the samples xa <= k + 0.5 < xb, so that shared edges neither overlap nor gap.
int FirstSample(float v)
{
    return static_cast<int>(std::ceil(v - 0.5f));
}

TColor WithAlpha(const TColor& c, int alpha)
{
    TColor out = c;
    out.SetA(static_cast<uint8_t>(std::clamp(alpha, 0, 255)));
    return out;
}

constexpr int kRampAlphas[4] = {17, 40, 73, 128};

} // namespace

TQmMiniVecDraw::TQmMiniVecDraw(TVecDrawDevice* device) : mDevice(device)
{
    for (auto& v : mVertices)
    {
        v.z = 0.1f;
        v.rhw = 0.5f;
    }
    mEdges.resize(static_cast<size_t>(mEdgeRoom));
    mRowHeads.assign(kRowTableSize, -1);
    mStyleLayer.fill(2);
    mStyleLayer[255] = 0;
    mStyleLayer[254] = 1;
    mStyleLayer[1] = 3;
    mBuckets.assign(kCacheBuckets, -1);
    mRowLow.fill(kRowPixels + 2);
    mRowHigh.fill(-1);
    SetFillColour(1, mTextColour, 1.0f);
}

TQmMiniVecDraw::~TQmMiniVecDraw()
{
    UnlockTarget(mTarget);
}

void TQmMiniVecDraw::SetPixelOffsets(int a, int b, int c)
{
    mStartOffset = a * 0.25f - 1.0f;
    mEndOffset = b * 0.25f - 1.0f;
    mRowOffset = c * 0.25f;
}

void TQmMiniVecDraw::SetScale(float x, float y)
{
    mScaleX = x;
    mScaleY = y;
}

void TQmMiniVecDraw::SetRotation(float cosine, float sine)
{
    mCos = cosine;
    mSin = sine;
}

void TQmMiniVecDraw::SetSlant(bool slant)
{
    mSlant = slant;
}

void TQmMiniVecDraw::SetStrokeWidths(float first, float second)
{
    mStroke[0] = first;
    mStroke[1] = second;
}

void TQmMiniVecDraw::SetTextColour(const TVec4& colour)
{
    mTextColour = colour;
    SetFillColour(1, colour, 1.0f);
}

void TQmMiniVecDraw::SetFillColour(int style, const TVec4& colour, float alpha)
{
    if (style < 0 || style > 255)
        return;
    TColor c(colour);
    float a = c.GetA() * alpha;
    for (int k = 0; k < 4; ++k)
        mRamps[static_cast<size_t>(style * 4 + k)] =
            WithAlpha(c, static_cast<int>(kRampAlphas[k] * a / 256.0f));
    int layer = mStyleLayer[static_cast<size_t>(style)];
    for (int i = 0; i < 32; ++i)
        mColours[static_cast<size_t>(layer * 32 + i)] =
            WithAlpha(c, static_cast<int>(a * std::min(16 * (i + 1), 255) / 256.0f));
}

void TQmMiniVecDraw::SetTextureModes(bool copying, bool accumulate)
{
    mCopying = copying;
    mAccumulate = accumulate;
}

// ---- Outline to edges ----

void TQmMiniVecDraw::Transform(float x, float y, bool slant, int subX, int subY, float& ox,
                               float& oy) const
{
    // Slant, scale (font units to quarter pixels), rotate, then the sub-pixel phase added.
    if (slant)
        x -= y / 3.0f;
    x *= mScaleX;
    y *= mScaleY;
    if (mSin != 0 || mCos != 1.0f)
    {
        float rx = x * mCos - y * mSin;
        float ry = x * mSin + y * mCos;
        x = rx;
        y = ry;
    }
    ox = Bounded(x + static_cast<float>(subX));
    oy = Bounded(y + static_cast<float>(subY));
}

void TQmMiniVecDraw::AddLine(float x0, float y0, float x1, float y1, int style, int group)
{
    if (mEdgeCount >= mEdgeRoom)
    {
        ++mEdgeCount; // counts the overflow; the glyph is converted again with more room
        return;
    }
    TEdge& e = mEdges[static_cast<size_t>(mEdgeCount)];
    int8_t dir = -1; // drawn downwards
    if (y1 < y0)
    {
        std::swap(x0, x1);
        std::swap(y0, y1);
        dir = 1;
    }
    int first = FirstSample(y0);
    int end = FirstSample(y1);
    if (first >= end)
        return; // horizontal, or between two sample rows
    e.x0 = x0;
    e.y0 = y0;
    e.x1 = x1;
    e.y1 = y1;
    e.slope = (x1 - x0) / (y1 - y0);
    e.link = first; // the first row until the row table is built
    e.endRow = end;
    e.style = static_cast<uint8_t>(style);
    e.group = static_cast<uint8_t>(group);
    e.dir = dir;
    ++mEdgeCount;
}

bool TQmMiniVecDraw::BuildEdges(const uint8_t* outline, uint32_t size, int subX, int subY)
{
    mEdgeCount = 0;
    mMaxGroup = 0;
    int group = 1;
    int base = 0;
    int colours = 0;
    int left = 0, right = 0;
    float penX = 0, penY = 0; // font units, unslanted
    const uint8_t* p = outline;
    const uint8_t* end = outline + size;

    auto piece = [&](float ax, float ay, float bx, float by)
    {
        float tx0, ty0, tx1, ty1;
        Transform(ax, ay, mSlant, subX, subY, tx0, ty0);
        Transform(bx, by, mSlant, subX, subY, tx1, ty1);
        int style = left != 0 ? left : right;
        // The group before the first command 1 is group 2, the one that command opens: an
        // outline without group commands still fills.
        int g = std::clamp(group, 2, 255);
        if (style != 0)
        {
            AddLine(tx0, ty0, tx1, ty1, style, g);
            mMaxGroup = std::max(mMaxGroup, g);
        }
        for (int s = 0; s < 2; ++s)
        {
            if (mStroke[s] <= 0)
                continue;
            // The hexagon in slanted font units; w reaches the stroke width in pixels to either
            // side once scaled.
            float sx0 = mSlant ? ax - ay / 3.0f : ax;
            float sx1 = mSlant ? bx - by / 3.0f : bx;
            float dx = sx1 - sx0, dy = by - ay;
            float length = std::sqrt(dx * dx + dy * dy);
            if (!(length > 0))
                continue;
            float ux = dx / length, uy = dy / length;
            float wx = mScaleX != 0 ? mStroke[s] * 4 / mScaleX : 0;
            float wy = mScaleY != 0 ? mStroke[s] * 4 / mScaleY : 0;
            const float corners[6][2] = {
                {sx0 + wx * uy, ay - wy * ux}, {sx0 - wx * ux, ay - wy * uy},
                {sx0 - wx * uy, ay + wy * ux}, {sx1 - wx * uy, by + wy * ux},
                {sx1 + wx * ux, by + wy * uy}, {sx1 + wx * uy, by - wy * ux}};
            float cx[6], cy[6];
            for (int k = 0; k < 6; ++k) // the corners are slanted already
                Transform(corners[k][0], corners[k][1], false, subX, subY, cx[k], cy[k]);
            for (int k = 0; k < 6; ++k)
                AddLine(cx[k], cy[k], cx[(k + 1) % 6], cy[(k + 1) % 6], s == 0 ? 255 : 254, s);
        }
    };

    while (p < end)
    {
        uint8_t command = *p++;
        auto need = [&](ptrdiff_t n) { return end - p >= n; };
        switch (command)
        {
        case 1:
            ++group;
            base = colours;
            left = right = 0;
            break;
        case 2:
        case 3:
        {
            if (!need(1))
                return true;
            int n = *p++;
            int style = n == 0 ? 0 : std::min(n + base, 255);
            (command == 2 ? left : right) = style;
            break;
        }
        case 4:
        case 5:
        {
            if (!need(4))
                return true;
            float x = Read16(p) / 128.0f, y = Read16(p + 2) / 128.0f;
            p += 4;
            if (command == 5)
                piece(penX, penY, x, y);
            penX = x;
            penY = y;
            break;
        }
        case 6:
        {
            if (!need(8))
                return true;
            float cx = Read16(p) / 128.0f, cy = Read16(p + 2) / 128.0f;
            float x = Read16(p + 4) / 128.0f, y = Read16(p + 6) / 128.0f;
            p += 8;
            // Three line pieces, cut at t = 1/3, 2/3 and 1.
            float lastX = penX, lastY = penY;
            for (int k = 1; k <= 3; ++k)
            {
                float t = k / 3.0f, u = 1 - t;
                float qx = k == 3 ? x : u * u * penX + 2 * u * t * cx + t * t * x;
                float qy = k == 3 ? y : u * u * penY + 2 * u * t * cy + t * t * y;
                piece(lastX, lastY, qx, qy);
                lastX = qx;
                lastY = qy;
            }
            penX = x;
            penY = y;
            break;
        }
        case 7:
        {
            if (!need(3))
                return true;
            ++colours;
            if (colours <= 253)
                SetFillColour(colours, TVec4(p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, 1.0f),
                              1.0f);
            p += 3;
            break;
        }
        default:
            // 8 ends the glyph, and so does any byte outside 1 to 8.
            return mEdgeCount <= mEdgeRoom;
        }
        if (mEdgeCount > mEdgeRoom)
            return false;
    }
    return mEdgeCount <= mEdgeRoom;
}

// ---- The run cache and drawing a glyph ----

int TQmMiniVecDraw::FindEntry(const TCacheKey& key) const
{
    size_t bucket = reinterpret_cast<uintptr_t>(key.outline) % kCacheBuckets;
    for (int e = mBuckets[bucket]; e >= 0; e = mEntries[static_cast<size_t>(e)].mNext)
        if (std::memcmp(&mEntries[static_cast<size_t>(e)].mKey, &key, sizeof key) == 0)
            return e;
    return -1;
}

void TQmMiniVecDraw::ClearCache()
{
    mBlocks.clear();
    mEntries.clear();
    mBuckets.assign(kCacheBuckets, -1);
    mRunCount = 0;
}

void TQmMiniVecDraw::ReleaseCache()
{
    ClearCache();
    std::vector<TCacheEntry>().swap(mEntries);
}

void TQmMiniVecDraw::AppendRun(int x0, int x1, int y, int coverage, int layer)
{
    if (mBlocks.empty() || mRunCount == kRunsPerBlock)
    {
        mBlocks.push_back(std::make_unique<TRunBlock>());
        mRunCount = 0;
    }
    // Positions relative to the glyph's pixel position, as 16-bit two's complement.
    mBlocks.back()->mRuns[static_cast<size_t>(mRunCount++)] =
        TRun{static_cast<uint16_t>(x0), static_cast<uint16_t>(x1), static_cast<uint16_t>(y),
             static_cast<uint8_t>(coverage), static_cast<uint8_t>(layer)};
}

void TQmMiniVecDraw::DrawGlyph(const uint8_t* outline, uint32_t size, int x, int y)
{
    if (outline == nullptr)
        return;
    int qx = mOriginX + x;
    int qy = mOriginY + y;
    int pixelX = qx >> 2, pixelY = qy >> 2;
    int subX = qx & 3, subY = qy & 3;

    TCacheKey key;
    std::memset(&key, 0, sizeof key);
    key.outline = outline;
    key.subX = subX;
    key.subY = subY;
    key.scaleX = mScaleX;
    key.scaleY = mScaleY;
    key.stroke0 = mStroke[0];
    key.stroke1 = mStroke[1];
    key.slant = mSlant ? 1 : 0;
    key.cosine = mCos;
    key.sine = mSin;

    int found = FindEntry(key);
    if (found >= 0)
    {
        // Cached runs take the current colours of their layer and level.
        ++mReplays;
        const TCacheEntry& entry = mEntries[static_cast<size_t>(found)];
        ReplayRuns(entry.mBlock, entry.mRun, pixelX, pixelY);
        return;
    }

    // Text rotated or zoomed every frame would grow the cache without end: past the cap it is
    // emptied whole (what is drawn does not change, only what is converted again).
    if (static_cast<int>(mBlocks.size()) >= kCacheBlockCap)
        ClearCache();
    if (mBlocks.empty() || mRunCount == kRunsPerBlock)
    {
        mBlocks.push_back(std::make_unique<TRunBlock>());
        mRunCount = 0;
    }
    size_t bucket = reinterpret_cast<uintptr_t>(outline) % kCacheBuckets;
    mEntries.push_back(
        TCacheEntry{key, static_cast<int>(mBlocks.size()) - 1, mRunCount, mBuckets[bucket]});
    mBuckets[bucket] = static_cast<int>(mEntries.size()) - 1;

    // The edge table doubles when full and the whole glyph is converted again.
    while (!BuildEdges(outline, size, subX, subY))
    {
        mEdgeRoom *= 2;
        mEdges.resize(static_cast<size_t>(mEdgeRoom));
    }
    ++mConversions;
    Sweep(pixelX, pixelY);
    AppendRun(0, 0, 0, 0xFF, 0);
}

// The warm path of every cached glyph: runs are copied into the batch in stretches that fit,
// with the offsets held in locals (the vertex stores could otherwise alias them).
void TQmMiniVecDraw::ReplayRuns(int blockIndex, int runIndex, int pixelX, int pixelY)
{
    size_t block = static_cast<size_t>(blockIndex);
    const TRun* run = mBlocks[block]->mRuns.data() + runIndex;
    const TRun* blockEnd = mBlocks[block]->mRuns.data() + kRunsPerBlock;
    const float startX = static_cast<float>(pixelX) + mStartOffset;
    const float endX = static_cast<float>(pixelX) + mEndOffset;
    const float rowY = static_cast<float>(pixelY) + mRowOffset;
    const bool pending = mTarget != nullptr;
    for (;;)
    {
        if (mVertexCount + 2 > mBatchLimit)
            FlushBatch();
        TVecVertex* v = mVertices.data() + mVertexCount;
        TVecVertex* vEnd = mVertices.data() + (mBatchLimit & ~1);
        for (; v != vEnd; ++run, v += 2)
        {
            if (run == blockEnd)
            {
                ++block;
                run = mBlocks[block]->mRuns.data();
                blockEnd = run + kRunsPerBlock;
            }
            if (run->coverage == 0xFF)
                break;
            auto x0 = static_cast<int16_t>(run->x0), x1 = static_cast<int16_t>(run->x1);
            auto y = static_cast<int16_t>(run->y);
            uint32_t colour =
                mColours[static_cast<size_t>(run->layer * 32 + run->coverage)].GetPacked();
            v[0].x = static_cast<float>(x0) + startX;
            v[1].x = static_cast<float>(x1) + endX;
            v[0].y = v[1].y = static_cast<float>(y) + rowY;
            v[0].colour = v[1].colour = colour;
            if (pending)
                mPending[static_cast<size_t>((v - mVertices.data()) / 2)] =
                    TPendingRun{pixelX + x0, pixelX + x1, pixelY + y, colour};
        }
        mVertexCount = static_cast<int>(v - mVertices.data());
        if (mVertexCount >= mBatchLimit)
            FlushBatch();
        if (v != vEnd)
            return;
    }
}

// ---- The sweep ----

void TQmMiniVecDraw::Sweep(int pixelX, int pixelY)
{
    if (mEdgeCount == 0)
        return;
    int top = mEdges[0].link, bottom = mEdges[0].endRow;
    for (int i = 1; i < mEdgeCount; ++i)
    {
        top = std::min(top, mEdges[static_cast<size_t>(i)].link);
        bottom = std::max(bottom, mEdges[static_cast<size_t>(i)].endRow);
    }
    // The row table counts from the topmost edge's first row; rows past its 4096 are dropped
    // (a glyph taller than 1024 pixels), never written outside it.
    for (int i = 0; i < mEdgeCount; ++i)
    {
        TEdge& e = mEdges[static_cast<size_t>(i)];
        int index = e.link - top;
        if (index >= kRowTableSize)
            continue;
        e.link = mRowHeads[static_cast<size_t>(index)];
        mRowHeads[static_cast<size_t>(index)] = i;
    }
    int limit = std::min(bottom, top + kRowTableSize);
    mActive.clear();
    int pixelRow = top >> 2;
    std::array<uint8_t, 256> current{};
    for (int r = top; r < limit; ++r)
    {
        if ((r >> 2) != pixelRow)
        {
            EmitPixelRow(pixelRow, pixelX, pixelY);
            pixelRow = r >> 2;
        }
        // Drop finished edges, advance the others.
        size_t kept = 0;
        for (int a : mActive)
        {
            TEdge& e = mEdges[static_cast<size_t>(a)];
            if (e.endRow <= r)
                continue;
            e.curX += e.slope;
            mActive[kept++] = a;
        }
        mActive.resize(kept);
        // Bubble passes: the order changes little from row to row.
        for (size_t i = 1; i < mActive.size(); ++i)
            for (size_t j = i; j > 0 && mEdges[static_cast<size_t>(mActive[j - 1])].curX >
                                            mEdges[static_cast<size_t>(mActive[j])].curX;
                 --j)
                std::swap(mActive[j - 1], mActive[j]);
        // Insert the edges that start on this row.
        int& head = mRowHeads[static_cast<size_t>(r - top)];
        for (int i = head; i >= 0;)
        {
            TEdge& e = mEdges[static_cast<size_t>(i)];
            int next = e.link;
            e.curX = e.x0 + (static_cast<float>(r) + 0.5f - e.y0) * e.slope;
            size_t at = mActive.size();
            mActive.push_back(i);
            while (at > 0 && mEdges[static_cast<size_t>(mActive[at - 1])].curX > e.curX)
            {
                mActive[at] = mActive[at - 1];
                --at;
            }
            mActive[at] = i;
            i = next;
        }
        head = -1;

        // Walk left to right: toggled styles per outline group, windings per stroke.
        int winding[2] = {0, 0};
        std::fill(current.begin(), current.begin() + mMaxGroup + 1, 0);
        float previous = 0;
        bool inside = false;
        for (int a : mActive)
        {
            const TEdge& e = mEdges[static_cast<size_t>(a)];
            if (inside)
            {
                int visible = 0;
                for (int g = mMaxGroup; g >= 2 && visible == 0; --g)
                    visible = current[static_cast<size_t>(g)];
                if (visible == 0)
                    visible = winding[1] != 0 ? 254 : winding[0] != 0 ? 255 : 0;
                if (visible != 0)
                {
                    int x0 = FirstSample(previous);
                    int x1 = FirstSample(e.curX) - 1;
                    if (x1 >= x0)
                        AddInterval(mStyleLayer[static_cast<size_t>(visible)], x0, x1);
                }
            }
            if (e.group >= 2)
            {
                uint8_t& s = current[e.group];
                s = s != 0 ? 0 : e.style;
            }
            else
            {
                winding[e.group] += e.dir;
            }
            previous = e.curX;
            inside = true;
        }
    }
    EmitPixelRow(pixelRow, pixelX, pixelY);
    // Rows past the table's end kept their edges' links; nothing reads them again.
}

void TQmMiniVecDraw::AddInterval(int layer, int x0, int x1)
{
    constexpr int kFirst = -kRowOrigin * 4;
    constexpr int kLast = (kRowPixels - kRowOrigin) * 4 - 1;
    if (x1 < kFirst || x0 > kLast)
        return;
    x0 = std::max(x0, kFirst);
    x1 = std::min(x1, kLast);
    auto& row = mRows[static_cast<size_t>(layer)];
    // Differences: the sum from the left gives each pixel its covered quarter samples.
    int p0 = (x0 >> 2) + kRowOrigin, f0 = x0 & 3;
    int e = x1 + 1;
    int pe = (e >> 2) + kRowOrigin, fe = e & 3;
    row[static_cast<size_t>(p0)] = static_cast<uint8_t>(row[static_cast<size_t>(p0)] + 4 - f0);
    row[static_cast<size_t>(p0 + 1)] = static_cast<uint8_t>(row[static_cast<size_t>(p0 + 1)] + f0);
    row[static_cast<size_t>(pe)] = static_cast<uint8_t>(row[static_cast<size_t>(pe)] - (4 - fe));
    row[static_cast<size_t>(pe + 1)] = static_cast<uint8_t>(row[static_cast<size_t>(pe + 1)] - fe);
    auto l = static_cast<size_t>(layer);
    mRowLow[l] = std::min(mRowLow[l], p0);
    mRowHigh[l] = std::max(mRowHigh[l], pe + 1);
    mRowDirty[l] = true;
}

void TQmMiniVecDraw::EmitPixelRow(int row, int pixelX, int pixelY)
{
    for (size_t layer = 0; layer < 4; ++layer)
    {
        if (!mRowDirty[layer])
            continue;
        auto& buffer = mRows[layer];
        // Summed from 255: covered sub-pixels minus 1, and 255 where nothing is covered.
        uint8_t sum = 255;
        int runLevel = 255, runStart = 0;
        auto emit = [&](int end)
        {
            if (runLevel == 255 || row < -32768 || row > 32767)
                return;
            int level = std::min(runLevel, 31);
            int x0 = runStart - kRowOrigin, x1 = end - kRowOrigin;
            AppendRun(x0, x1, row, level, static_cast<int>(layer));
            AddRun(pixelX + x0, pixelX + x1, pixelY + row,
                   mColours[layer * 32 + static_cast<size_t>(level)].GetPacked());
        };
        for (int p = mRowLow[layer]; p <= mRowHigh[layer]; ++p)
        {
            sum = static_cast<uint8_t>(sum + buffer[static_cast<size_t>(p)]);
            buffer[static_cast<size_t>(p)] = 0;
            int level = p < kRowPixels ? sum : 255;
            if (level != runLevel)
            {
                emit(p);
                runStart = p;
                runLevel = level;
            }
        }
        emit(mRowHigh[layer] + 1);
        mRowLow[layer] = kRowPixels + 2;
        mRowHigh[layer] = -1;
        mRowDirty[layer] = false;
    }
}

// ---- Output ----

void TQmMiniVecDraw::FlushBatch()
{
    if (mVertexCount == 0)
        return;
    if (mTarget != nullptr)
    {
        // A target that could not be locked drops its batches.
        if (mPixels != nullptr)
            WriteBatchToTexture();
    }
    else if (mDevice != nullptr)
    {
        mDevice->DrawLineList(mVertices.data(), mVertexCount);
    }
    mVertexCount = 0;
}

void TQmMiniVecDraw::WriteBatchToTexture()
{
    // Runs written into a texture are not moved by any viewport; the end pixel is not written.
    int width = std::min(mTarget->GetWidth(), mTargetWidth);
    int height = std::min(mTarget->GetHeight(), mTargetHeight);
    for (int i = 0; i < mVertexCount / 2; ++i)
    {
        const TPendingRun& run = mPending[static_cast<size_t>(i)];
        if (run.y < 0 || run.y >= height)
            continue;
        int x0 = std::clamp(run.x0, 0, width);
        int x1 = std::clamp(run.x1, 0, width);
        uint32_t a = run.colour >> 24;
        // A run of alpha 0 contributes nothing; the rest of the batch still goes on.
        if (x0 >= x1 || (mAccumulate && a == 0))
            continue;
        const uint32_t channel[3] = {run.colour & 0xFF, (run.colour >> 8) & 0xFF,
                                     (run.colour >> 16) & 0xFF};
        uint8_t* p = mPixels + static_cast<ptrdiff_t>(run.y) * mTargetPitch + 4 * x0;
        for (int x = x0; x < x1; ++x, p += 4)
        {
            if (mAccumulate)
            {
                uint32_t old = p[3];
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<uint8_t>((p[c] * old + channel[c] * a) / (old + a));
                p[3] = static_cast<uint8_t>(std::min(old + a, 255u));
            }
            else if (mCopying)
            {
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<uint8_t>(channel[c]);
                p[3] = static_cast<uint8_t>(a);
            }
            else
            {
                for (int c = 0; c < 3; ++c)
                    p[c] = static_cast<uint8_t>((p[c] * (255 - a) + channel[c] * a) / 255);
            }
        }
    }
}

bool TQmMiniVecDraw::LockTarget(const std::shared_ptr<TVecDrawTexture>& texture)
{
    mTargetWidth = texture->GetWidth();
    mTargetHeight = texture->GetHeight();
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture->Lock(pixels, pitch) || pixels == nullptr)
    {
        mPixels = nullptr;
        return false;
    }
    mPixels = reinterpret_cast<uint8_t*>(pixels);
    mTargetPitch = pitch * 4;
    return true;
}

void TQmMiniVecDraw::UnlockTarget(const std::shared_ptr<TVecDrawTexture>& texture)
{
    if (mPixels == nullptr || texture == nullptr)
        return;
    mPixels = nullptr;
    texture->Unlock();
}

uint32_t TQmMiniVecDraw::ReadBack(int x, int y) const
{
    if (mPixels == nullptr || x < 0 || y < 0 || x >= mTargetWidth || y >= mTargetHeight)
        return 0;
    uint32_t pixel;
    std::memcpy(&pixel, mPixels + static_cast<ptrdiff_t>(y) * mTargetPitch + 4 * x, 4);
    return pixel & 0x00FFFFFFu;
}

bool TQmMiniVecDraw::BeginDraw(float x, float y, const std::shared_ptr<TVecDrawTexture>& target)
{
    if (target == nullptr && mDevice != nullptr)
        mDevice->SetNoTexture();
    // The origin in quarter pixels, rounded down so that positions left of 0 keep their phase.
    mOriginX = static_cast<int>(std::floor(Bounded(x * 4.0f)));
    mOriginY = static_cast<int>(std::floor(Bounded(y * 4.0f)));
    if (target != mTarget)
    {
        Flush();
        mTarget = target;
        mPixels = nullptr;
        if (mTarget != nullptr)
            LockTarget(mTarget);
    }
    return true;
}

void TQmMiniVecDraw::DrawSpan(int x0, int x1, int y)
{
    if (x1 < x0)
        return;
    if (mBatchLimit - mVertexCount < 6)
        FlushBatch();
    const TColor* ramp = &mRamps[static_cast<size_t>(mSpanStyle * 4)];
    int row = y >> 2;
    int p0 = x0 >> 2, p1 = x1 >> 2;
    if (p0 == p1)
    {
        AddRun(p0, p0 + 1, row, ramp[(x1 & 3) - (x0 & 3)].GetPacked());
        return;
    }
    AddRun(p0, p0 + 1, row, ramp[3 - (x0 & 3)].GetPacked());
    if (p1 > p0 + 1)
        AddRun(p0 + 1, p1, row, ramp[3].GetPacked());
    AddRun(p1, p1 + 1, row, ramp[x1 & 3].GetPacked());
}

void TQmMiniVecDraw::Flush()
{
    FlushBatch();
    if (mTarget != nullptr && mPixels != nullptr)
    {
        UnlockTarget(mTarget);
        if (mDevice != nullptr)
            mDevice->SetDirty();
        mTarget.reset();
    }
}

// ---- Self test ----

namespace
{

constexpr int kTestWidth = 800;
constexpr int kTestHeight = 512;
constexpr int kPatterns = 128;

// Pattern i sits in a cell of a 16 x 8 grid; its middle pixel is the cell's centre.
void PatternPlace(int i, int& x, int& y)
{
    x = (i % 16) * (kTestWidth / 16) + kTestWidth / 32;
    y = (i / 16) * (kTestHeight / 8) + kTestHeight / 16;
}

} // namespace

void TQmMiniVecDraw::SelfTest()
{
    std::shared_ptr<TVecDrawTexture> texture =
        mDevice != nullptr ? mDevice->CreateRenderTarget(kTestWidth, kTestHeight) : nullptr;
    if (texture == nullptr)
    {
        mSelfTestOk = false;
        Log("TQmMiniVecDraw::SelfTest: no render target");
        return;
    }
    mSelfTestOk = true;
    if (!mDevice->BeginRenderTarget(texture))
    {
        SetPixelOffsets(1, 1, 1);
        return;
    }
    BeginDraw(0, 0, nullptr);
    SetFillColour(mSpanStyle, TVec4(1, 1, 1, 1), 1.0f);
    // Each pattern is one whole pixel on three rows, drawn with its own offsets: a success
    // lights exactly the middle column of the nine pixels around it.
    for (int i = 0; i < kPatterns; ++i)
    {
        SetPixelOffsets(i & 7, (i >> 3) & 3, i >> 5);
        int x, y;
        PatternPlace(i, x, y);
        for (int dy = -1; dy <= 1; ++dy)
            DrawSpan(4 * x, 4 * x + 3, 4 * (y + dy));
    }
    Flush();
    mDevice->EndRenderTarget();
    SetFillColour(mSpanStyle, mTextColour, 1.0f);

    int best = -1;
    uint32_t bestLight = 0;
    int empty = 0;
    if (LockTarget(texture))
    {
        for (int i = 0; i < kPatterns; ++i)
        {
            int x, y;
            PatternPlace(i, x, y);
            bool sidesDark = true, middleLit = true, allDark = true;
            uint32_t light = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                {
                    uint32_t c = ReadBack(x + dx, y + dy);
                    allDark = allDark && c == 0;
                    if (dx != 0)
                        sidesDark = sidesDark && c == 0;
                    else
                    {
                        middleLit = middleLit && c != 0;
                        light += (c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF);
                    }
                }
            empty += allDark ? 1 : 0;
            if (sidesDark && middleLit && light > bestLight)
            {
                best = i;
                bestLight = light;
            }
        }
        UnlockTarget(texture);
    }
    if (best >= 0)
    {
        SetPixelOffsets(best & 7, (best >> 3) & 3, best >> 5);
        return;
    }
    SetPixelOffsets(1, 1, 1);
    // Drivers that drop long line lists draw nothing at all: once more with smaller batches.
    if (empty > 75 && mBatchLimit != 64)
    {
        Log("TQmMiniVecDraw::SelfTest: %d of %d patterns empty, batches of 64", empty, kPatterns);
        mSelfTestOk = false;
        mBatchLimit = 64;
        SelfTest();
    }
}
