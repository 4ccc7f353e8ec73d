// Span loops: every vector loop against the scalar reference on random rows, byte for byte, and
// the scalar row loop against the per-channel blend formulas.
#include "sys/display/raster/blend.h"
#include "sys/display/raster/span_kernels.h"
#include "sys/display/raster/span_loops.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace sys::display;

namespace
{

constexpr SpanBlend BLENDS[] = {SpanBlend::Copy, SpanBlend::SrcAlpha, SpanBlend::SrcAlphaOne,
                                SpanBlend::Add};
constexpr CompareFunc FUNCS[] = {CMP_NEVER,   CMP_LESS,     CMP_EQUAL,        CMP_LESSEQUAL,
                                 CMP_GREATER, CMP_NOTEQUAL, CMP_GREATEREQUAL, CMP_ALWAYS};

// Texels whose alpha is often 0 or 255, in runs, so that whole vectors of clear or opaque
// pixels occur as well as mixed ones.
uint32_t RandomTexel(std::mt19937& rng, uint32_t& runAlpha)
{
    uint32_t r = rng();
    if ((r & 7) == 0)
        runAlpha = std::array<uint32_t, 4>{0, 255, 1, 128}[(r >> 3) & 3];
    uint32_t alpha = (r & 0x300) == 0 ? (rng() & 0xFF) : runAlpha;
    return alpha << 24 | (rng() & 0x00FFFFFFu);
}

SpanOp RandomOp(std::mt19937& rng)
{
    SpanOp op;
    if (rng() % 4 == 0)
        op.mOrMask = 0xFF000000u;
    if (rng() % 2 == 0)
        op.mMultiplier = rng() % 3 == 0 ? 0x80FFFFFFu : rng();
    if (rng() % 5 == 0)
    {
        op.mAlphaKeep = 0x00FFFFFFu;
        op.mAlphaSet = (rng() & 0xFF) << 24;
    }
    op.mAlphaTest = rng() % 3 != 0;
    op.mAlphaFunc = FUNCS[rng() % 8];
    const uint32_t pick = rng() % 4; // 0 and 1 often: the tests that drop exactly alpha 0
    op.mAlphaRef = pick == 0 ? 1 : (pick == 1 ? 0 : rng() & 0xFF);
    return op;
}

// The per-pixel definition, from the general blend of the pixel pipeline.
uint32_t Expected(const SpanOp& op, SpanBlend blend, uint32_t texel, uint32_t dst, bool& passed)
{
    uint32_t c = ModulateArgb(texel | op.mOrMask, op.mMultiplier);
    c = (c & op.mAlphaKeep) | op.mAlphaSet;
    passed = !op.mAlphaTest || CompareValues(op.mAlphaFunc, c >> 24, op.mAlphaRef);
    if (!passed)
        return dst;
    switch (blend)
    {
    case SpanBlend::Copy:
        return c;
    case SpanBlend::SrcAlpha:
        return BlendArgb(c, dst, BLEND_SRCALPHA, BLEND_INVSRCALPHA);
    case SpanBlend::SrcAlphaOne:
        return BlendArgb(c, dst, BLEND_SRCALPHA, BLEND_ONE);
    case SpanBlend::Add:
        return BlendArgb(c, dst, BLEND_ONE, BLEND_ONE);
    }
    return 0;
}

std::string Describe(SpanIsa isa, SpanBlend blend, const SpanOp& op, int offset, int n)
{
    return "set " + std::to_string(static_cast<int>(isa)) + " blend " +
           std::to_string(static_cast<int>(blend)) + " or " + std::to_string(op.mOrMask) + " mul " +
           std::to_string(op.mMultiplier) + " keep " + std::to_string(op.mAlphaKeep) + " test " +
           std::to_string(op.mAlphaTest) + " func " +
           std::to_string(static_cast<int>(op.mAlphaFunc)) + " ref " +
           std::to_string(op.mAlphaRef) + " offset " + std::to_string(offset) + " n " +
           std::to_string(n);
}

} // namespace

TEST(SpanKernels, ScalarLoopFollowsTheBlendFormulas)
{
    std::mt19937 rng(7);
    uint32_t runAlpha = 0;
    std::vector<uint32_t> src(67), dst(67);
    for (int round = 0; round < 400; ++round)
        for (SpanBlend blend : BLENDS)
        {
            SpanOp op = RandomOp(rng);
            for (size_t i = 0; i < src.size(); ++i)
            {
                src[i] = RandomTexel(rng, runAlpha);
                dst[i] = rng();
            }
            std::vector<uint32_t> out = dst;
            uint64_t written = GetSpanKernel(SpanIsa::Scalar, blend)(
                op, out.data(), src.data(), static_cast<int64_t>(src.size()));
            uint64_t passed = 0;
            for (size_t i = 0; i < src.size(); ++i)
            {
                bool pass = false;
                ASSERT_EQ(out[i], Expected(op, blend, src[i], dst[i], pass))
                    << Describe(SpanIsa::Scalar, blend, op, 0, 67) << " pixel " << i;
                passed += pass ? 1 : 0;
            }
            ASSERT_EQ(written, passed);
        }
}

// Rows of 0 to 67 pixels at every alignment of source and destination to 32 bytes, with guard
// pixels on both sides that must stay untouched.
TEST(SpanKernels, VectorLoopsMatchTheScalarLoopByteForByte)
{
    std::mt19937 rng(1234);
    uint32_t runAlpha = 0;
    constexpr int GUARD = 8;
    int tested = 0;
    for (SpanIsa isa : {SpanIsa::Sse2, SpanIsa::Avx2})
    {
        if (!SpanIsaSupported(isa))
            continue;
        ++tested;
        for (SpanBlend blend : BLENDS)
        {
            SpanKernel vector = GetSpanKernel(isa, blend);
            SpanKernel scalar = GetSpanKernel(SpanIsa::Scalar, blend);
            for (int n = 0; n <= 67; ++n)
                for (int offset = 0; offset < 8; ++offset)
                    for (int round = 0; round < 6; ++round)
                    {
                        SpanOp op = RandomOp(rng);
                        std::vector<uint32_t> src(n + 2 * GUARD), dst(n + 2 * GUARD);
                        for (auto& t : src)
                            t = RandomTexel(rng, runAlpha);
                        for (auto& d : dst)
                            d = rng();
                        std::vector<uint32_t> want = dst, got = dst;
                        const int so = (offset * 3) % 8; // the source at another alignment
                        uint64_t wantCount = scalar(op, want.data() + offset, src.data() + so, n);
                        uint64_t gotCount = vector(op, got.data() + offset, src.data() + so, n);
                        ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * 4))
                            << Describe(isa, blend, op, offset, n);
                        ASSERT_EQ(wantCount, gotCount) << Describe(isa, blend, op, offset, n);
                    }
        }
    }
    if (tested == 0)
        GTEST_SKIP() << "no vector instruction set on this processor";
}

// Source-over for every source byte, destination byte and alpha (each row one alpha and source
// byte on all four channels against the 256 destination bytes): the vector loops' byte-pair
// products, their offsets and the rounding division agree with the scalar loop everywhere.
TEST(SpanKernels, SourceOverMatchesForEveryByteTriple)
{
    std::vector<uint32_t> src(256), want(256), got(256);
    for (SpanIsa isa : {SpanIsa::Sse2, SpanIsa::Avx2})
    {
        if (!SpanIsaSupported(isa))
            continue;
        SpanKernel vector = GetSpanKernel(isa, SpanBlend::SrcAlpha);
        SpanKernel scalar = GetSpanKernel(SpanIsa::Scalar, SpanBlend::SrcAlpha);
        for (uint32_t a = 0; a < 256; ++a)
            for (uint32_t b = 0; b < 256; ++b)
            {
                for (uint32_t d = 0; d < 256; ++d)
                {
                    src[d] = a << 24 | b * 0x010101u;
                    want[d] = got[d] = d * 0x01010101u;
                }
                scalar(SpanOp{}, want.data(), src.data(), 256);
                vector(SpanOp{}, got.data(), src.data(), 256);
                ASSERT_EQ(want, got)
                    << "set " << static_cast<int>(isa) << " alpha " << a << " source " << b;
            }
    }
}

// Rows longer than the 255 vectors a lane count of clear pixels holds, every vector blended and
// most of its pixels clear: the written count and the bytes stay the scalar loop's.
TEST(SpanKernels, LongRowsCountLikeTheScalarLoop)
{
    std::mt19937 rng(99);
    for (SpanIsa isa : {SpanIsa::Sse2, SpanIsa::Avx2})
    {
        if (!SpanIsaSupported(isa))
            continue;
        for (int n : {2040, 2047, 4099})
            for (bool test : {true, false})
            {
                SpanOp op;
                op.mAlphaTest = test;
                op.mAlphaFunc = CMP_GREATEREQUAL;
                op.mAlphaRef = 1;
                std::vector<uint32_t> src(static_cast<size_t>(n)), want(src.size());
                for (size_t i = 0; i < src.size(); ++i)
                {
                    // Mostly clear, with one partly transparent pixel in every eight.
                    const bool clear = i % 8 != 3 && rng() % 16 != 0;
                    const uint32_t alpha = clear ? 0 : 1 + rng() % 254;
                    src[i] = alpha << 24 | (rng() & 0x00FFFFFFu);
                    want[i] = rng();
                }
                std::vector<uint32_t> got = want;
                const uint64_t wantCount = GetSpanKernel(SpanIsa::Scalar, SpanBlend::SrcAlpha)(
                    op, want.data(), src.data(), n);
                const uint64_t gotCount =
                    GetSpanKernel(isa, SpanBlend::SrcAlpha)(op, got.data(), src.data(), n);
                ASSERT_EQ(want, got) << "set " << static_cast<int>(isa) << " n " << n;
                ASSERT_EQ(wantCount, gotCount) << "set " << static_cast<int>(isa) << " n " << n;
            }
    }
}

// MURKWELL_SCALAR_SPANS turns the vector loops off for the whole process; ctest runs this
// program's drawing tests once more with it set.
TEST(SpanKernels, EnvironmentChoosesTheSet)
{
    const char* off = std::getenv("MURKWELL_SCALAR_SPANS");
    if (off != nullptr && off[0] != '\0' && std::strcmp(off, "0") != 0)
        EXPECT_EQ(SpanIsa::Scalar, ActiveSpanIsa());
    else if (SpanIsaSupported(SpanIsa::Avx2))
        EXPECT_EQ(SpanIsa::Avx2, ActiveSpanIsa());
    else if (SpanIsaSupported(SpanIsa::Sse2))
        EXPECT_EQ(SpanIsa::Sse2, ActiveSpanIsa());
    else
        EXPECT_EQ(SpanIsa::Scalar, ActiveSpanIsa());
}

// Bilinear spans (scaled, rotated, reaching past the texture's edges under each addressing
// mode, on textures down to one texel wide) drawn by the scalar, SSE2 and AVX2 span loops: the
// same bytes.
TEST(SpanKernels, BilinearSpansMatchAcrossInstructionSets)
{
    std::mt19937 rng(99);
    uint32_t runAlpha = 0;
    constexpr int GUARD = 8;
    const TextureAddress modes[] = {TADDRESS_CLAMP, TADDRESS_WRAP, TADDRESS_MIRROR};
    const FastPlan::Blend blends[] = {FastPlan::Blend::Off, FastPlan::Blend::SrcAlpha,
                                      FastPlan::Blend::SrcAlphaOne};
    for (auto [w, h] : {std::pair{16, 16}, std::pair{12, 10}, std::pair{2, 3}, std::pair{1, 4}})
    {
        std::vector<uint32_t> texels(static_cast<size_t>(w * h));
        for (auto& t : texels)
            t = RandomTexel(rng, runAlpha);
        TextureView view;
        view.mLevels[0] =
            TextureLevel{reinterpret_cast<const uint8_t*>(texels.data()), w, h, w * 4};
        view.mLevelCount = 1;
        PixelState state;
        for (int round = 0; round < 3000; ++round)
        {
            FastPlan p;
            p.mSource = FastPlan::Source::Linear;
            p.mBlend = blends[rng() % 3];
            p.mState = &state;
            p.mView = &view;
            p.mLevel = &view.mLevels[0];
            p.mLinear = true;
            p.mOrMask = rng() % 4 == 0 ? 0xFF000000u : 0;
            p.mAddressU = modes[rng() % 3];
            p.mAddressV = modes[rng() % 3];
            p.mMultiplier = rng() % 2 == 0 ? 0xFFFFFFFFu : rng();
            p.mConstAlpha = rng() % 5 == 0;
            p.mAlphaValue = (rng() & 0xFF) << 24;
            p.mAlphaTest = rng() % 2 == 0;
            p.mAlphaFunc = rng() % 2 == 0 ? CMP_GREATEREQUAL : CMP_ALWAYS;
            p.mAlphaRef = 1;
            SpanCoords c;
            c.s = static_cast<int64_t>(rng() % static_cast<uint32_t>((w + 6) * 256)) *
                      (TEX_ONE / 256) -
                  3 * TEX_ONE;
            c.t = static_cast<int64_t>(rng() % static_cast<uint32_t>((h + 6) * 256)) *
                      (TEX_ONE / 256) -
                  3 * TEX_ONE;
            c.ds = static_cast<int64_t>(rng() % (4 * TEX_ONE)) - 2 * TEX_ONE;
            c.dt = rng() % 3 == 0 ? 0 : static_cast<int64_t>(rng() % (2 * TEX_ONE)) - TEX_ONE;
            const int n = static_cast<int>(rng() % 68);
            std::vector<uint32_t> base(static_cast<size_t>(n + 2 * GUARD));
            for (auto& d : base)
                d = rng();
            std::vector<uint32_t> want = base;
            p.mIsa = SpanIsa::Scalar;
            DispatchFastSpan(p, want.data() + GUARD, n, c);
            uint64_t sse2Count = 0;
            for (SpanIsa isa : {SpanIsa::Sse2, SpanIsa::Avx2})
            {
                if (!SpanIsaSupported(isa))
                    continue;
                std::vector<uint32_t> got = base;
                p.mIsa = isa;
                uint64_t count = DispatchFastSpan(p, got.data() + GUARD, n, c);
                ASSERT_EQ(0, std::memcmp(want.data(), got.data(), want.size() * 4))
                    << "set " << static_cast<int>(isa) << " size " << w << "x" << h << " round "
                    << round << " n " << n;
                if (isa == SpanIsa::Sse2)
                    sse2Count = count;
                else
                {
                    ASSERT_EQ(sse2Count, count);
                }
            }
        }
    }
}
