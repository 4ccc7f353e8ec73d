// TQmMiniVecDraw: coverage levels, the run cache, growth of the edge table, the cuts at the
// coverage row's ends and the row table's end, the texture writer's modes, targets that cannot
// be locked, the self test, and golden pictures of built-in glyphs.
#include "render/vector_test_support.h"

#include "render/text/vector_font.h"
#include "render/text/vector_rasteriser.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace vectest;

namespace
{

std::vector<uint8_t> Square(float x0, float y0, float x1, float y1)
{
    return Outline().Group().Left(1).Rect(x0, y0, x1, y1).End().Bytes();
}

// Runs of a recorded batch when the offsets are all 0: {x0, x1, y, alpha}.
struct TRunLine
{
    int x0, x1, y;
    uint32_t alpha;
    bool operator==(const TRunLine&) const = default;
};

std::vector<TRunLine> Runs(const RecordingDevice& device)
{
    std::vector<TRunLine> runs;
    for (size_t i = 0; i + 1 < device.mVertices.size(); i += 2)
        runs.push_back({static_cast<int>(device.mVertices[i].x),
                        static_cast<int>(device.mVertices[i + 1].x),
                        static_cast<int>(device.mVertices[i].y), device.mVertices[i].colour >> 24});
    return runs;
}

// One glyph at (x, y) quarter pixels into a fresh texture in copying mode; a font unit a pixel.
std::shared_ptr<MemoryTexture> DrawCopied(const std::vector<uint8_t>& glyph, int w, int h,
                                          int x = 0, int y = 0)
{
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(w, h);
    draw.SetScale(4, 4);
    draw.SetTextureModes(true, false);
    draw.BeginDraw(0, 0, texture);
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), x, y);
    draw.Flush();
    return texture;
}

} // namespace

TEST(VectorRasteriser, SquareCoverageLevels)
{
    // Whole pixels: 3 x 2 pixels of level 15 (alpha 255 x 255 / 256).
    auto whole = DrawCopied(Square(1, 1, 4, 3), 6, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(whole->At(x, y), x >= 1 && x < 4 && y >= 1 && y < 3 ? 0xFEFFFFFFu : 0u)
                << x << "," << y;
    // Half-pixel edges: edges at level 7 (8 of 16), corners at level 3 (4 of 16).
    auto half = DrawCopied(Square(0.5f, 0.5f, 3.5f, 2.5f), 5, 4);
    EXPECT_EQ(half->At(1, 1) >> 24, 254u);
    EXPECT_EQ(half->At(0, 1) >> 24, 127u);
    EXPECT_EQ(half->At(3, 1) >> 24, 127u);
    EXPECT_EQ(half->At(1, 0) >> 24, 127u);
    EXPECT_EQ(half->At(0, 0) >> 24, 63u);
    EXPECT_EQ(half->At(3, 2) >> 24, 63u);
    EXPECT_EQ(half->At(4, 1), 0u);
    // A quarter-pixel phase moves the coverage: x = 2 quarter pixels is the same as the half
    // offsets horizontally.
    auto phase = DrawCopied(Square(0, 1, 3, 2), 5, 4, 2, 0);
    EXPECT_EQ(phase->At(0, 1) >> 24, 127u);
    EXPECT_EQ(phase->At(1, 1) >> 24, 254u);
    EXPECT_EQ(phase->At(3, 1) >> 24, 127u);
}

TEST(VectorRasteriser, RunCacheByPhaseAndPosition)
{
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    draw.SetPixelOffsets(4, 4, 0);
    draw.SetScale(4, 4);
    draw.BeginDraw(0, 0, nullptr);
    EXPECT_EQ(device.mNoTexture, 1);
    std::vector<uint8_t> glyph = Square(0.5f, 0, 2, 2);
    auto size = static_cast<uint32_t>(glyph.size());
    draw.DrawGlyph(glyph.data(), size, 10, 0);
    draw.Flush();
    std::vector<TRunLine> first = Runs(device);
    device.mVertices.clear();
    draw.DrawGlyph(glyph.data(), size, 14, 0); // one pixel on, same phase
    draw.Flush();
    EXPECT_EQ(draw.GetConversionCount(), 1);
    EXPECT_EQ(draw.GetReplayCount(), 1);
    std::vector<TRunLine> replayed = Runs(device);
    ASSERT_EQ(replayed.size(), first.size());
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(replayed[i],
                  (TRunLine{first[i].x0 + 1, first[i].x1 + 1, first[i].y, first[i].alpha}));
    // Another phase converts again; so do another scale, rotation, slant or stroke.
    draw.DrawGlyph(glyph.data(), size, 11, 0);
    EXPECT_EQ(draw.GetConversionCount(), 2);
    draw.SetScale(8, 8);
    draw.DrawGlyph(glyph.data(), size, 11, 0);
    draw.SetRotation(0.8f, 0.6f);
    draw.DrawGlyph(glyph.data(), size, 11, 0);
    draw.SetSlant(true);
    draw.DrawGlyph(glyph.data(), size, 11, 0);
    draw.SetStrokeWidths(1, 0);
    draw.DrawGlyph(glyph.data(), size, 11, 0);
    EXPECT_EQ(draw.GetConversionCount(), 6);
    draw.DrawGlyph(glyph.data(), size, 15, 4);
    EXPECT_EQ(draw.GetReplayCount(), 2);
    // Cached runs take the colours of the moment they are replayed.
    draw.Flush();
    device.mVertices.clear();
    draw.SetScale(4, 4);
    draw.SetRotation(1, 0);
    draw.SetSlant(false);
    draw.SetStrokeWidths(0, 0);
    draw.SetTextColour(TVec4(1, 0, 0, 0.5f));
    draw.DrawGlyph(glyph.data(), size, 18, 0);
    EXPECT_EQ(draw.GetReplayCount(), 3);
    draw.Flush();
    ASSERT_FALSE(device.mVertices.empty());
    for (const TVecVertex& v : device.mVertices)
    {
        EXPECT_EQ(v.colour & 0x00FFFFFFu, 0x00FF0000u);
        EXPECT_LE(v.colour >> 24, 126u);
    }
}

TEST(VectorRasteriser, CacheIsEmptiedPastItsCap)
{
    RecordingDevice device;
    device.mRecord = false;
    TQmMiniVecDraw draw(&device);
    draw.BeginDraw(0, 0, nullptr);
    std::vector<uint8_t> glyph = Square(0, 0, 2, 250);
    auto size = static_cast<uint32_t>(glyph.size());
    // Every zoom converts again; each zoom of this square takes about 500 runs.
    int most = 0;
    for (int i = 0; i < 1200; ++i)
    {
        draw.SetScale(4.0f + i * 4e-3f, 4.0f);
        draw.DrawGlyph(glyph.data(), size, 0, 0);
        most = std::max(most, draw.GetCacheBlockCount());
    }
    EXPECT_EQ(most, TQmMiniVecDraw::kCacheBlockCap);
    EXPECT_LT(draw.GetCacheBlockCount(), TQmMiniVecDraw::kCacheBlockCap);
    // Output is the same as without the cache: a glyph converted after the flush matches.
    draw.Flush();
    device.mRecord = true;
    draw.SetScale(4, 4);
    draw.DrawGlyph(glyph.data(), size, 0, 0);
    draw.Flush();
    std::vector<TRunLine> after = Runs(device);
    RecordingDevice fresh;
    TQmMiniVecDraw other(&fresh);
    other.SetScale(4, 4);
    other.BeginDraw(0, 0, nullptr);
    other.DrawGlyph(glyph.data(), size, 0, 0);
    other.Flush();
    EXPECT_EQ(after, Runs(fresh));
}

TEST(VectorRasteriser, MoreThan512EdgesGrowTheTable)
{
    // 260 one-pixel squares: 1040 edges.
    Outline many;
    many.Group().Left(1);
    for (int i = 0; i < 260; ++i)
        many.Rect(static_cast<float>(2 * (i % 26)), static_cast<float>(2 * (i / 26)),
                  static_cast<float>(2 * (i % 26) + 1), static_cast<float>(2 * (i / 26) + 1));
    many.End();
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(52, 20);
    draw.SetScale(4, 4);
    draw.SetTextureModes(true, false);
    draw.BeginDraw(0, 0, texture);
    draw.DrawGlyph(many.Bytes().data(), static_cast<uint32_t>(many.Bytes().size()), 0, 0);
    draw.Flush();
    EXPECT_EQ(draw.GetEdgeRoom(), 1024); // 520 edges: horizontal lines make none
    EXPECT_EQ(draw.GetConversionCount(), 1);
    int lit = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 52; ++x)
        {
            bool inside = x % 2 == 0 && y % 2 == 0;
            EXPECT_EQ(texture->At(x, y), inside ? 0xFEFFFFFFu : 0u) << x << "," << y;
            lit += inside;
        }
    EXPECT_EQ(lit, 260);
}

TEST(VectorRasteriser, CutsAtTheCoverageRowAndRowTable)
{
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    draw.SetPixelOffsets(4, 4, 0);
    draw.BeginDraw(0, 0, nullptr);
    // 4000 pixels wide, 2000 tall: x is cut to -1600..1599, rows to the table's 1024 pixels.
    std::vector<uint8_t> glyph = Square(-200, 0, 200, 200);
    draw.SetScale(40, 40);
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 40, 0);
    draw.Flush();
    std::vector<TRunLine> runs = Runs(device);
    ASSERT_EQ(runs.size(), 1024u);
    for (const TRunLine& r : runs)
    {
        EXPECT_EQ(r.x0, 10 - 1600);
        EXPECT_EQ(r.x1, 10 + 1600);
    }
    EXPECT_EQ(runs.front().y, 0);
    EXPECT_EQ(runs.back().y, 1023);
    // Wholly outside the row: nothing.
    device.mVertices.clear();
    std::vector<uint8_t> far = Square(170, 0, 180, 1);
    draw.DrawGlyph(far.data(), static_cast<uint32_t>(far.size()), 0, 0);
    draw.Flush();
    EXPECT_TRUE(device.mVertices.empty());
}

TEST(VectorRasteriser, TextureWriterModes)
{
    std::vector<uint8_t> glyph = Square(0, 0, 2, 1);
    auto run = [&](bool copying, bool accumulate)
    {
        RecordingDevice device;
        TQmMiniVecDraw draw(&device);
        auto texture = std::make_shared<MemoryTexture>(4, 2, 0x80204060u);
        draw.SetScale(4, 4);
        draw.SetTextColour(TVec4(1, 0.5f, 0, 1));
        draw.SetTextureModes(copying, accumulate);
        EXPECT_TRUE(draw.BeginDraw(1, 0, texture));
        draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
        draw.Flush();
        EXPECT_TRUE(device.mVertices.empty());
        EXPECT_EQ(device.mDirty, 1);
        EXPECT_EQ(texture->mUnlocks, 1);
        EXPECT_EQ(texture->At(0, 0), 0x80204060u);
        EXPECT_EQ(texture->At(1, 0), texture->At(2, 0));
        EXPECT_EQ(texture->At(3, 0), 0x80204060u);
        return texture->At(1, 0);
    };
    EXPECT_EQ(run(false, false), 0x80FE7E00u); // blending: alpha kept
    EXPECT_EQ(run(true, false), 0xFEFF7F00u);  // copying
    EXPECT_EQ(run(false, true), 0xFFB46920u);  // accumulation (wins over copying)
    EXPECT_EQ(run(true, true), 0xFFB46920u);
}

TEST(VectorRasteriser, AccumulationSkipsRunsOfAlphaZero)
{
    std::vector<uint8_t> glyph = Square(0, 0, 1, 1);
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(4, 1);
    draw.SetScale(4, 4);
    draw.SetTextureModes(false, true);
    draw.BeginDraw(0, 0, texture);
    draw.SetTextColour(TVec4(1, 1, 1, 0));
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.SetTextColour(TVec4(1, 1, 1, 1));
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 8, 0);
    draw.Flush(); // one batch: the run after the transparent one is written
    EXPECT_EQ(texture->At(0, 0), 0u);
    EXPECT_EQ(texture->At(2, 0), 0xFEFFFFFFu);
}

TEST(VectorRasteriser, TargetThatCannotBeLocked)
{
    std::vector<uint8_t> glyph = Square(0, 0, 2, 2);
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto locked = std::make_shared<MemoryTexture>(4, 4, 0x11223344u, false);
    draw.SetScale(4, 4);
    EXPECT_TRUE(draw.BeginDraw(0, 0, locked));
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.Flush();
    EXPECT_TRUE(device.mVertices.empty());
    EXPECT_EQ(device.mDirty, 0);
    EXPECT_EQ(locked->mUnlocks, 0);
    for (uint32_t p : locked->Image())
        EXPECT_EQ(p, 0x11223344u);
    // Still the target: the same texture is not locked again, and its batches are dropped.
    EXPECT_TRUE(draw.BeginDraw(0, 0, locked));
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.Flush();
    EXPECT_EQ(locked->mLocks, 1);
    EXPECT_TRUE(device.mVertices.empty());
    EXPECT_EQ(locked.use_count(), 2);
    // Switching to the renderer lets it go.
    draw.BeginDraw(0, 0, nullptr);
    EXPECT_EQ(locked.use_count(), 1);
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.Flush();
    EXPECT_FALSE(device.mVertices.empty());
}

TEST(VectorRasteriser, DrawSpanRampsAndBatches)
{
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    draw.SetPixelOffsets(4, 4, 0);
    draw.BeginDraw(0, 0, nullptr);
    // Ramp alphas 17, 40, 73, 128 x 255 / 256.
    draw.DrawSpan(5, 18, 8);  // pixel 1 from quarter 1, pixels 2-3, pixel 4 to quarter 2
    draw.DrawSpan(41, 42, 4); // within pixel 10: two quarters
    draw.Flush();
    std::vector<TRunLine> runs = Runs(device);
    std::vector<TRunLine> expected = {
        {1, 2, 2, 72}, {2, 4, 2, 127}, {4, 5, 2, 72}, {10, 11, 1, 39}};
    EXPECT_EQ(runs, expected);
    EXPECT_EQ(device.mBatches, std::vector<int>{8});
    // The batch is drawn when full (256 vertices).
    device.mBatches.clear();
    for (int i = 0; i < 200; ++i)
        draw.DrawSpan(0, 3, 4 * i);
    draw.Flush();
    EXPECT_EQ(device.mBatches, (std::vector<int>{252, 148}));
}

TEST(VectorRasteriser, SelfTestOnTheStandIn)
{
    auto screen = MakeTarget(64, 64);
    StandInDevice device(screen);
    TQmMiniVecDraw draw(&device);
    draw.SelfTest();
    EXPECT_TRUE(draw.GetSelfTestResult());
    EXPECT_EQ(draw.GetBatchLimit(), 256);
    // The first pattern lighting exactly its pixels: start -0.5, end -1, row 0.
    EXPECT_FLOAT_EQ(draw.GetStartOffset(), -0.5f);
    EXPECT_FLOAT_EQ(draw.GetEndOffset(), -1.0f);
    EXPECT_FLOAT_EQ(draw.GetRowOffset(), 0.0f);
    // The screen was not touched.
    for (uint32_t p : ReadSurface(*screen))
        ASSERT_EQ(p, 0xFF000000u);
}

TEST(VectorRasteriser, SelfTestFallbacks)
{
    auto fallback = [](const TQmMiniVecDraw& d) {
        return d.GetStartOffset() == -0.75f && d.GetEndOffset() == -0.75f &&
               d.GetRowOffset() == 0.25f;
    };
    {
        // The renderer refuses the target: the fallback, no retry, the flag set.
        RecordingDevice device;
        device.mRefuseTarget = true;
        TQmMiniVecDraw draw(&device);
        draw.SelfTest();
        EXPECT_TRUE(draw.GetSelfTestResult());
        EXPECT_TRUE(fallback(draw));
        EXPECT_EQ(device.mTargetsBegun, 1);
        EXPECT_EQ(draw.GetBatchLimit(), 256);
    }
    {
        // The texture cannot be locked: the same.
        RecordingDevice device;
        device.mTargetLockable = false;
        TQmMiniVecDraw draw(&device);
        draw.SelfTest();
        EXPECT_TRUE(draw.GetSelfTestResult());
        EXPECT_TRUE(fallback(draw));
        EXPECT_EQ(device.mTargetsCreated, 1);
    }
    {
        // Nothing is drawn at all: once more with batches of 64.
        RecordingDevice device;
        TQmMiniVecDraw draw(&device);
        draw.SelfTest();
        EXPECT_TRUE(fallback(draw));
        EXPECT_EQ(device.mTargetsCreated, 2);
        EXPECT_EQ(draw.GetBatchLimit(), 64);
        EXPECT_EQ(device.mBatches.back() % 6, 0);
    }
    {
        RecordingDevice device;
        device.mCreateFails = true;
        TQmMiniVecDraw draw(&device);
        draw.SelfTest();
        EXPECT_FALSE(draw.GetSelfTestResult());
    }
}

TEST(VectorRasteriser, OutlinesEndAtUnknownCommandsAndAtTheirSize)
{
    std::vector<uint8_t> full = Square(0, 0, 2, 2);
    // A byte outside 1-8 ends the glyph before its last line: nothing closes, nothing crashes.
    std::vector<uint8_t> odd = full;
    odd[odd.size() - 6] = 9;
    auto a = DrawCopied(odd, 3, 3);
    // Cut anywhere: read only inside the given size.
    for (size_t n = 0; n < full.size(); ++n)
    {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
        DrawCopied(cut, 3, 3);
    }
    auto whole = DrawCopied(full, 3, 3);
    EXPECT_EQ(whole->At(1, 1), 0xFEFFFFFFu);
}

TEST(VectorRasteriser, FillsToggleWithinAGroupAndGroupsJoin)
{
    // Two overlapping squares: in one group the overlap toggles back to empty; in two groups
    // (as the converter writes composite glyphs) the higher group's style shows and they join.
    Outline one, two, none;
    one.Group().Left(1).Rect(0, 0, 3, 1).Rect(2, 0, 5, 1).End();
    two.Group().Left(1).Rect(0, 0, 3, 1).Group().Left(1).Rect(2, 0, 5, 1).End();
    // Commands before the first group command belong to the group it opens.
    none.Left(1).Rect(0, 0, 3, 1).Group().Left(1).Rect(2, 0, 5, 1).End();
    auto toggled = DrawCopied(one.Bytes(), 6, 1);
    auto joined = DrawCopied(two.Bytes(), 6, 1);
    auto ungrouped = DrawCopied(none.Bytes(), 6, 1);
    for (int x = 0; x < 6; ++x)
    {
        uint32_t inside = x < 5 ? 0xFEFFFFFFu : 0u;
        EXPECT_EQ(toggled->At(x, 0), x == 2 ? 0u : inside) << x;
        EXPECT_EQ(joined->At(x, 0), inside) << x;
        EXPECT_EQ(ungrouped->At(x, 0), toggled->At(x, 0)) << x;
    }
}

TEST(VectorRasteriser, StrokesShowOutsideTheFill)
{
    // A 4 x 4 square with a stroke of 1 pixel: the stroke's colour (style 255) in the pixel ring
    // around it, the fill (style 1, the highest group) over the stroke inside.
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(8, 8);
    draw.SetScale(4, 4);
    draw.SetStrokeWidths(1, 0);
    draw.SetFillColour(255, TVec4(1, 0, 0, 1), 1.0f);
    draw.SetTextureModes(true, false);
    draw.BeginDraw(0, 0, texture);
    std::vector<uint8_t> glyph = Square(2, 2, 6, 6);
    draw.DrawGlyph(glyph.data(), static_cast<uint32_t>(glyph.size()), 0, 0);
    draw.Flush();
    EXPECT_EQ(texture->At(3, 3), 0xFEFFFFFFu);
    EXPECT_EQ(texture->At(1, 3), 0xFEFF0000u);
    EXPECT_EQ(texture->At(6, 4), 0xFEFF0000u);
    EXPECT_EQ(texture->At(4, 1), 0xFEFF0000u);
    EXPECT_EQ(texture->At(0, 3), 0u);
    EXPECT_EQ(texture->At(7, 7), 0u);
}

// ---- Golden pictures of built-in glyphs ----

namespace
{

// Four lines: 16 px plain; 48 px plain; 16 px slanted with a red stroke; 24 px rotated.
void DrawSample(TQmMiniVecDraw& draw, const TVectorFont& font,
                const std::shared_ptr<TVecDrawTexture>& target)
{
    struct Line
    {
        const char* text;
        float size, x, y;
        bool slant;
        float stroke, rotation;
    };
    const Line lines[] = {{"Wag&", 16, 2, 16, false, 0, 0},
                          {"Rg\xe7", 48, 2, 64, false, 0, 0},
                          {"Ok!", 16, 2, 90, true, 1.0f, 0},
                          {"Ay", 24, 70, 100, false, 0, 0.4f}};
    draw.SetFillColour(255, TVec4(1, 0, 0, 1), 1.0f);
    for (const Line& line : lines)
    {
        // Quarter pixels per font unit, as the text layout computes it.
        float scale = line.size * 4 * VectorFontBodyRatio / (font.GetAscent() + font.GetDescent());
        draw.SetScale(scale, scale);
        draw.SetSlant(line.slant);
        draw.SetStrokeWidths(line.stroke, 0);
        draw.SetRotation(std::cos(line.rotation), std::sin(line.rotation));
        draw.SetTextColour(TVec4(1, 0.9f, 0.5f, 1));
        draw.BeginDraw(line.x, line.y, target);
        float pen = 0;
        for (const char* c = line.text; *c != '\0'; ++c)
        {
            int g = font.FindGlyph(static_cast<uint8_t>(*c));
            int qx = static_cast<int>(pen * std::cos(line.rotation));
            int qy = static_cast<int>(pen * std::sin(line.rotation));
            draw.DrawGlyph(font.GetGlyphData(g), font.GetGlyphDataSize(g), qx, qy);
            pen += font.GetGlyphMetricA(g) * scale;
        }
    }
    draw.Flush();
}

} // namespace

TEST(VectorRasteriser, GoldenGlyphsThroughTheDevice)
{
    TVectorFont font;
    ASSERT_TRUE(font.LoadBuiltin());
    auto screen = MakeTarget(128, 112);
    StandInDevice device(screen);
    TQmMiniVecDraw draw(&device);
    draw.SelfTest();
    DrawSample(draw, font, nullptr);
    CompareWithGolden(ReadSurface(*screen), 128, 112, "vector_glyphs_device.png");
}

TEST(VectorRasteriser, GoldenGlyphsIntoTextures)
{
    TVectorFont font;
    ASSERT_TRUE(font.LoadBuiltin());
    const char* names[3] = {"vector_glyphs_blend.png", "vector_glyphs_copy.png",
                            "vector_glyphs_accumulate.png"};
    for (int mode = 0; mode < 3; ++mode)
    {
        RecordingDevice device;
        TQmMiniVecDraw draw(&device);
        auto texture = std::make_shared<MemoryTexture>(128, 112, mode == 0 ? 0xFF203040u : 0u);
        draw.SetTextureModes(mode == 1, mode == 2);
        DrawSample(draw, font, texture);
        EXPECT_TRUE(device.mVertices.empty());
        CompareWithGolden(texture->Image(), 128, 112, names[mode]);
    }
}

TEST(VectorRasteriser, DeviceAndTextureWriterLightTheSamePixels)
{
    // After the self test, runs drawn through the device cover exactly the pixels the texture
    // writer fills, also inside a viewport (moved by its top-left) .
    TVectorFont font;
    ASSERT_TRUE(font.LoadBuiltin());
    auto screen = MakeTarget(136, 120);
    StandInDevice device(screen, 8, 8);
    TQmMiniVecDraw draw(&device);
    draw.SelfTest();
    DrawSample(draw, font, nullptr);
    RecordingDevice recorder;
    TQmMiniVecDraw writer(&recorder);
    auto texture = std::make_shared<MemoryTexture>(128, 112, 0xFF000000u);
    DrawSample(writer, font, texture);
    int lit = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 136; ++x)
        {
            bool inside = x >= 8 && y >= 8 && x < 136 && y < 120;
            uint32_t expected = inside ? texture->At(x - 8, y - 8) : 0xFF000000u;
            uint32_t actual = screen->ReadPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
            ASSERT_EQ(actual != 0xFF000000u, expected != 0xFF000000u)
                << x << "," << y << " " << std::hex << actual << " " << expected;
            lit += actual != 0xFF000000u;
        }
    EXPECT_GT(lit, 1000);
}

TEST(VectorRasteriser, ReplayIntoATextureMatchesTheConversion)
{
    // The same glyph at two places of one phase: converted once, the second written from the
    // cache, pixel for pixel the same; across a batch boundary too (many runs).
    TVectorFont font;
    ASSERT_TRUE(font.LoadBuiltin());
    int g = font.FindGlyph('@');
    RecordingDevice device;
    TQmMiniVecDraw draw(&device);
    auto texture = std::make_shared<MemoryTexture>(160, 60);
    draw.SetScale(2, 2);
    draw.BeginDraw(2, 45, texture);
    for (int i = 0; i < 3; ++i)
        draw.DrawGlyph(font.GetGlyphData(g), font.GetGlyphDataSize(g), 4 * 52 * i + 1, 0);
    draw.Flush();
    EXPECT_EQ(draw.GetConversionCount(), 1);
    EXPECT_EQ(draw.GetReplayCount(), 2);
    int lit = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 52; ++x)
        {
            ASSERT_EQ(texture->At(x, y), texture->At(x + 52, y)) << x << "," << y;
            ASSERT_EQ(texture->At(x, y), texture->At(x + 104, y)) << x << "," << y;
            lit += texture->At(x, y) != 0;
        }
    EXPECT_GT(lit, 300);
}
