// The row kernels: the scalar reference loops, the SSE2 and AVX2 loops built from one body, and
// the choice of the widest set the processor runs.
#include "sys/display/raster/span_kernels.h"

#include "sys/display/raster/blend.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || (defined(__i386__) && defined(__SSE2__))
#include <immintrin.h>
#define MURKWELL_SPAN_VECTORS 1
#endif

namespace sys::display
{
namespace
{

// The number of set bits of each byte, for the pixel masks of the vector loops.
constexpr auto PIXELS_SET = []
{
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[static_cast<size_t>(i)] =
            static_cast<uint8_t>((i & 1) + ((i >> 1) & 1) + ((i >> 2) & 1) + ((i >> 3) & 1) +
                                 ((i >> 4) & 1) + ((i >> 5) & 1) + ((i >> 6) & 1) + (i >> 7));
    return t;
}();

template <SpanBlend B>
uint64_t ScalarRows(const SpanOp& op, uint32_t* dst, const uint32_t* src, int64_t n)
{
    uint64_t written = 0;
    for (int64_t i = 0; i < n; ++i)
    {
        uint32_t c = src[i] | op.mOrMask;
        if (op.mMultiplier != 0xFFFFFFFFu)
            c = ModulateArgb(c, op.mMultiplier);
        c = (c & op.mAlphaKeep) | op.mAlphaSet;
        if (op.mAlphaTest && !CompareValues(op.mAlphaFunc, c >> 24, op.mAlphaRef))
            continue;
        uint32_t* d = dst + i;
        if constexpr (B == SpanBlend::Copy)
            *d = c;
        else if constexpr (B == SpanBlend::SrcAlpha)
        {
            uint32_t a = c >> 24;
            if (a == 255)
                *d = c;
            else if (a != 0)
                *d = BlendSrcAlpha(c, *d);
        }
        else if constexpr (B == SpanBlend::SrcAlphaOne)
        {
            if ((c >> 24) != 0)
                *d = BlendSrcAlphaOne(c, *d);
        }
        else
            *d = CompactLanes(SaturateLanes(ExpandLanes(c) + ExpandLanes(*d)));
        ++written;
    }
    return written;
}

#if defined(MURKWELL_SPAN_VECTORS)
namespace sse2
{
struct Ops
{
    using V = __m128i;
    static constexpr int PIXELS = 4;
    static constexpr bool PAIRED = false;      // no byte-pair multiply-add before SSSE3
    static constexpr bool TESTS_ALPHA = false; // no flag test of a vector before SSE4.1
    struct OverConsts
    {
    };
    static OverConsts MakeOverConsts() { return {}; }
    static V Load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void Store(uint32_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V Set1(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    static V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    static V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static V Mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static V MulHi16(V a, V b) { return _mm_mulhi_epu16(a, b); }
    static V Srli16(V a, int k) { return _mm_srli_epi16(a, k); }
    static V Slli16(V a, int k) { return _mm_slli_epi16(a, k); }
    static V Srli32(V a, int k) { return _mm_srli_epi32(a, k); }
    static V Slli32(V a, int k) { return _mm_slli_epi32(a, k); }
    static V AddSat8(V a, V b) { return _mm_adds_epu8(a, b); }
    static V CmpEq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
    static V CmpGt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }
    static int PixelBits(V m) { return _mm_movemask_ps(_mm_castsi128_ps(m)); }
    // No population-count instruction is assumed.
    static int CountPixels(int bits) { return PIXELS_SET[static_cast<size_t>(bits)]; }
    static bool AllOpaque(V c)
    {
        return (_mm_movemask_epi8(_mm_cmpeq_epi8(c, Set1(0xFFFFFFFFu))) & 0x8888) == 0x8888;
    }
};
#include "sys/display/raster/span_kernels_vector.inl"

template <SpanBlend B>
uint64_t Rows(const SpanOp& op, uint32_t* dst, const uint32_t* src, int64_t n)
{
    int64_t done = 0;
    uint64_t written = VectorRows<B>(op, dst, src, n, done);
    if (done == n)
        return written;
    return written + ScalarRows<B>(op, dst + done, src + done, n - done);
}
} // namespace sse2

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt")
#endif
namespace avx2
{
struct Ops
{
    using V = __m256i;
    static constexpr int PIXELS = 8;
    static V Load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void Store(uint32_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V Set1(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V Mullo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static V MulHi16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
    static V Srli16(V a, int k) { return _mm256_srli_epi16(a, k); }
    static V Slli16(V a, int k) { return _mm256_slli_epi16(a, k); }
    static V Srli32(V a, int k) { return _mm256_srli_epi32(a, k); }
    static V Slli32(V a, int k) { return _mm256_slli_epi32(a, k); }
    static V AddSat8(V a, V b) { return _mm256_adds_epu8(a, b); }
    static V CmpEq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
    static V CmpGt32(V a, V b) { return _mm256_cmpgt_epi32(a, b); }
    static int PixelBits(V m) { return _mm256_movemask_ps(_mm256_castsi256_ps(m)); }
    static int CountPixels(int bits) { return __builtin_popcount(static_cast<unsigned>(bits)); }
    static bool AllOpaque(V c) { return _mm256_testc_si256(c, Set1(0xFF000000u)) != 0; }

    // One test of the alpha bytes answers both skips of source-over: true when some alpha is
    // not 0 and some is not 255, so the vector needs the blend; AllClear then splits the rest.
    static constexpr bool TESTS_ALPHA = true;
    static bool NeedsBlend(V c, V alphaMask) { return _mm256_testnzc_si256(c, alphaMask) != 0; }
    static bool AllClear(V c, V alphaMask) { return _mm256_testz_si256(c, alphaMask) != 0; }
    // Each clear pixel adds one to its lane's alpha byte (the compare's 0xFF subtracted), so a
    // count stays exact for up to 255 vectors.
    static V CountClear(V counts, V c)
    {
        return _mm256_sub_epi8(counts, _mm256_cmpeq_epi8(c, _mm256_setzero_si256()));
    }
    static uint64_t SumClear(V counts)
    {
        const V sums = _mm256_sad_epu8(_mm256_srli_epi32(counts, 24), _mm256_setzero_si256());
        const __m128i s =
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        return static_cast<uint64_t>(_mm_cvtsi128_si64(s)) +
               static_cast<uint64_t>(_mm_extract_epi64(s, 1));
    }

    // Each channel's source and destination bytes side by side, less 128 so that they fit signed
    // bytes, against (a, 255 - a): c * a + d * (255 - a) - 128 * 255 lies within -32640..32385,
    // so the pair's sum never saturates. Adding 128 * 255 + 128 (one flip of the sign bit) gives
    // the rounding division's (x + 128), and the product with 257 its quotient.
    static constexpr bool PAIRED = true;
    struct OverConsts
    {
        V mBias, mAlphaLow, mAlphaHigh, mInvertOdd, mFlip, mBy257;
    };
    // Made once before a loop. Each goes through an empty asm so that the compiler keeps it in a
    // register: left to itself it rebuilt the broadcast of 257 inside the loop (a move and a
    // shuffle per vector).
    static V Keep(V v)
    {
        asm("" : "+x"(v));
        return v;
    }
    static OverConsts MakeOverConsts()
    {
        OverConsts k;
        k.mBias = Keep(_mm256_set1_epi8(static_cast<char>(0x80)));
        // Alpha bytes of the two pixels each half of a 128-bit lane holds, eight times each.
        k.mAlphaLow = Keep(_mm256_setr_epi8(3, 3, 3, 3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7, 3, 3, 3,
                                            3, 3, 3, 3, 3, 7, 7, 7, 7, 7, 7, 7, 7));
        k.mAlphaHigh =
            Keep(_mm256_setr_epi8(11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15,
                                  11, 11, 11, 11, 11, 11, 11, 11, 15, 15, 15, 15, 15, 15, 15, 15));
        k.mInvertOdd = Keep(_mm256_set1_epi16(static_cast<short>(0xFF00)));
        k.mFlip = Keep(_mm256_set1_epi16(static_cast<short>(0x8000)));
        k.mBy257 = Keep(_mm256_set1_epi16(0x0101));
        return k;
    }
    static V SourceOver(const OverConsts& k, V c, V d)
    {
        const V sx = _mm256_xor_si256(c, k.mBias);
        const V dx = _mm256_xor_si256(d, k.mBias);
        const V wl = _mm256_xor_si256(_mm256_shuffle_epi8(c, k.mAlphaLow), k.mInvertOdd);
        const V wh = _mm256_xor_si256(_mm256_shuffle_epi8(c, k.mAlphaHigh), k.mInvertOdd);
        const V sl = _mm256_maddubs_epi16(wl, _mm256_unpacklo_epi8(sx, dx));
        const V sh = _mm256_maddubs_epi16(wh, _mm256_unpackhi_epi8(sx, dx));
        return _mm256_packus_epi16(_mm256_mulhi_epu16(_mm256_xor_si256(sl, k.mFlip), k.mBy257),
                                   _mm256_mulhi_epu16(_mm256_xor_si256(sh, k.mFlip), k.mBy257));
    }
};
#include "sys/display/raster/span_kernels_vector.inl"

// The last few pixels (fewer than eight) go through the SSE2 loop and then the scalar one.
template <SpanBlend B>
uint64_t Rows(const SpanOp& op, uint32_t* dst, const uint32_t* src, int64_t n)
{
    int64_t done = 0;
    uint64_t written = VectorRows<B>(op, dst, src, n, done);
    if (done == n)
        return written;
    return written + sse2::Rows<B>(op, dst + done, src + done, n - done);
}
} // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

template <template <SpanBlend> class Table> SpanKernel Pick(SpanBlend blend)
{
    switch (blend)
    {
    case SpanBlend::Copy:
        return Table<SpanBlend::Copy>::Get();
    case SpanBlend::SrcAlpha:
        return Table<SpanBlend::SrcAlpha>::Get();
    case SpanBlend::SrcAlphaOne:
        return Table<SpanBlend::SrcAlphaOne>::Get();
    case SpanBlend::Add:
        break;
    }
    return Table<SpanBlend::Add>::Get();
}

template <SpanBlend B> struct ScalarTable
{
    static SpanKernel Get() { return &ScalarRows<B>; }
};
#if defined(MURKWELL_SPAN_VECTORS)
template <SpanBlend B> struct Sse2Table
{
    static SpanKernel Get() { return &sse2::Rows<B>; }
};
template <SpanBlend B> struct Avx2Table
{
    static SpanKernel Get() { return &avx2::Rows<B>; }
};
#endif

SpanIsa DetectSpanIsa()
{
    const char* off = std::getenv("MURKWELL_SCALAR_SPANS");
    if (off != nullptr && off[0] != '\0' && std::strcmp(off, "0") != 0)
        return SpanIsa::Scalar;
    if (SpanIsaSupported(SpanIsa::Avx2))
        return SpanIsa::Avx2;
    if (SpanIsaSupported(SpanIsa::Sse2))
        return SpanIsa::Sse2;
    return SpanIsa::Scalar;
}

} // namespace

bool SpanIsaSupported(SpanIsa isa)
{
#if defined(MURKWELL_SPAN_VECTORS)
    switch (isa)
    {
    case SpanIsa::Scalar:
        return true;
    case SpanIsa::Sse2:
        return __builtin_cpu_supports("sse2");
    case SpanIsa::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    }
    return false;
#else
    return isa == SpanIsa::Scalar;
#endif
}

SpanIsa ActiveSpanIsa()
{
    static const SpanIsa isa = DetectSpanIsa();
    return isa;
}

SpanKernel GetSpanKernel(SpanIsa isa, SpanBlend blend)
{
#if defined(MURKWELL_SPAN_VECTORS)
    if (isa == SpanIsa::Avx2)
        return Pick<Avx2Table>(blend);
    if (isa == SpanIsa::Sse2)
        return Pick<Sse2Table>(blend);
#endif
    (void)isa;
    return Pick<ScalarTable>(blend);
}

} // namespace sys::display
