// The 2-D fast path's span loops: scalar, and vector ones where SSE2 is there.
#include "sys/display/raster/span_loops.h"

#include "sys/display/raster/blend.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace sys::display
{
namespace
{

inline uint32_t FastCombine(const FastPlan& p, uint32_t texel)
{
    if (p.mGenericCombine)
    {
        if (p.mAlphaAsGrey)
        {
            const uint32_t a = texel >> 24;
            return (a << 16 | a << 8 | a) | p.mGreyAlpha;
        }
        return CombineStage0(*p.mState, texel, p.mDiffuse, p.mSpecular);
    }
    uint32_t c = p.mMultiplier == 0xFFFFFFFFu ? texel : ModulateArgb(texel, p.mMultiplier);
    if (p.mConstAlpha)
        c = (c & 0x00FFFFFFu) | p.mAlphaValue;
    return c;
}

template <FastPlan::Blend B> inline void FastWrite(const FastPlan& p, uint32_t* d, uint32_t c)
{
    if constexpr (B == FastPlan::Blend::Off)
        *d = c;
    else if constexpr (B == FastPlan::Blend::SrcAlpha)
    {
        uint32_t a = c >> 24;
        if (a == 255)
            *d = c;
        else if (a != 0)
            *d = BlendSrcAlpha(c, *d);
    }
    else if constexpr (B == FastPlan::Blend::SrcAlphaOne)
    {
        if ((c >> 24) != 0)
            *d = BlendSrcAlphaOne(c, *d);
    }
    else
        *d = BlendArgb(c, *d, p.mState->mSrcBlend, p.mState->mDestBlend);
}

inline bool FastAlphaPasses(const FastPlan& p, uint32_t c)
{
    if (!p.mAlphaTest)
        return true;
    if (p.mAlphaFunc == CMP_GREATEREQUAL)
        return (c >> 24) >= p.mAlphaRef;
    return CompareValues(p.mAlphaFunc, c >> 24, p.mAlphaRef);
}

// One span of n pixels; S, T at its first pixel and their steps, in 1/2^24 texel.
template <FastPlan::Source Src, bool Addressed, FastPlan::Blend B>
uint64_t FastSpan(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t, int64_t ds,
                  int64_t dt)
{
    uint64_t written = 0;
    const TextureLevel* level = p.mLevel;
    for (int64_t i = 0; i < n; ++i, s += ds, t += dt)
    {
        uint32_t c;
        if constexpr (Src == FastPlan::Source::Constant)
            c = p.mConstant;
        else
        {
            uint32_t texel;
            if constexpr (Src == FastPlan::Source::Point)
            {
                int64_t x = (To256(s) + 128) >> 8;
                int64_t y = (To256(t) + 128) >> 8;
                if constexpr (Addressed)
                {
                    x = AddressTexel(x, level->mWidth, p.mAddressU);
                    y = AddressTexel(y, level->mHeight, p.mAddressV);
                }
                texel = reinterpret_cast<const uint32_t*>(level->mBits + y * level->mPitch)[x];
            }
            else
            {
                int64_t s8 = To256(s);
                int64_t t8 = To256(t);
                int64_t x0 = s8 >> 8, y0 = t8 >> 8;
                int64_t x1 = x0 + 1, y1 = y0 + 1;
                if constexpr (Addressed)
                {
                    x1 = AddressTexel(x1, level->mWidth, p.mAddressU);
                    x0 = AddressTexel(x0, level->mWidth, p.mAddressU);
                    y1 = AddressTexel(y1, level->mHeight, p.mAddressV);
                    y0 = AddressTexel(y0, level->mHeight, p.mAddressV);
                }
                const uint32_t* r0 =
                    reinterpret_cast<const uint32_t*>(level->mBits + y0 * level->mPitch);
                const uint32_t* r1 =
                    reinterpret_cast<const uint32_t*>(level->mBits + y1 * level->mPitch);
                texel = BilinearMix(r0[x0], r0[x1], r1[x0], r1[x1], static_cast<uint32_t>(s8 & 255),
                                    static_cast<uint32_t>(t8 & 255));
            }
            c = FastCombine(p, texel | p.mOrMask);
        }
        if (!FastAlphaPasses(p, c))
            continue;
        FastWrite<B>(p, dst + i, c);
        ++written;
    }
    return written;
}

#if defined(__SSE2__)
// Pixels in 16-bit lanes: products of bytes fit, and the
// rounding division by 255 is the same (x + 128 + ((x + 128) >> 8)) >> 8 as the scalar code.
inline __m128i Div255Epi16(__m128i x)
{
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// Bilinear spans in vector lanes: the sample, the product with the diffuse colour, the alpha
// test and the blend of one pixel, without leaving 16-bit lanes.
inline __m128i BilinearEpi16(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx,
                             uint32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c128 = _mm_set1_epi16(128);
    __m128i top = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c00)),
                                     _mm_cvtsi32_si128(static_cast<int>(c10)));
    __m128i bottom = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(c01)),
                                        _mm_cvtsi32_si128(static_cast<int>(c11)));
    __m128i t16 = _mm_unpacklo_epi8(top, zero);
    __m128i b16 = _mm_unpacklo_epi8(bottom, zero);
    __m128i v = _mm_add_epi16(_mm_mullo_epi16(t16, _mm_set1_epi16(static_cast<short>(256 - fy))),
                              _mm_mullo_epi16(b16, _mm_set1_epi16(static_cast<short>(fy))));
    v = _mm_srli_epi16(_mm_add_epi16(v, c128), 8);
    const short wl = static_cast<short>(256 - fx), wr = static_cast<short>(fx);
    __m128i h = _mm_mullo_epi16(v, _mm_set_epi16(wr, wr, wr, wr, wl, wl, wl, wl));
    h = _mm_add_epi16(h, _mm_srli_si128(h, 8));
    return _mm_srli_epi16(_mm_add_epi16(h, c128), 8);
}

inline int64_t AddressFast(int64_t i, int32_t size, TextureAddress mode)
{
    if (mode == TADDRESS_CLAMP)
        return i < 0 ? 0 : (i >= size ? size - 1 : i);
    if (mode == TADDRESS_WRAP && (size & (size - 1)) == 0)
        return i & (size - 1);
    return AddressTexel(i, size, mode);
}

template <bool Addressed, FastPlan::Blend B>
uint64_t LinearSpanSse2(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t,
                        int64_t ds, int64_t dt)
{
    const __m128i zero = _mm_setzero_si128();
    const bool modulate = p.mMultiplier != 0xFFFFFFFFu;
    const __m128i mul16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(p.mMultiplier)), zero);
    const TextureLevel* level = p.mLevel;
    const uint32_t orMask = p.mOrMask;
    const __m128i c255 = _mm_set1_epi16(255);
    const bool dropsOnlyClear =
        !p.mAlphaTest || p.mAlphaFunc == CMP_ALWAYS ||
        (p.mAlphaFunc == CMP_GREATEREQUAL && p.mAlphaRef <= 1) ||
        ((p.mAlphaFunc == CMP_GREATER || p.mAlphaFunc == CMP_NOTEQUAL) && p.mAlphaRef == 0);
    const bool testBranch = p.mAlphaTest && (B == FastPlan::Blend::Off || !dropsOnlyClear);
    uint64_t written = 0;
    for (int64_t i = 0; i < n; ++i, s += ds, t += dt)
    {
        int64_t s8 = To256(s);
        int64_t t8 = To256(t);
        int64_t x0 = s8 >> 8, y0 = t8 >> 8;
        int64_t x1 = x0 + 1, y1 = y0 + 1;
        if constexpr (Addressed)
        {
            x1 = AddressFast(x1, level->mWidth, p.mAddressU);
            x0 = AddressFast(x0, level->mWidth, p.mAddressU);
            y1 = AddressFast(y1, level->mHeight, p.mAddressV);
            y0 = AddressFast(y0, level->mHeight, p.mAddressV);
        }
        const uint32_t* r0 = reinterpret_cast<const uint32_t*>(level->mBits + y0 * level->mPitch);
        const uint32_t* r1 = reinterpret_cast<const uint32_t*>(level->mBits + y1 * level->mPitch);
        __m128i c =
            BilinearEpi16(r0[x0] | orMask, r0[x1] | orMask, r1[x0] | orMask, r1[x1] | orMask,
                          static_cast<uint32_t>(s8 & 255), static_cast<uint32_t>(t8 & 255));
        if (modulate)
            c = Div255Epi16(_mm_mullo_epi16(c, mul16));
        if (p.mConstAlpha)
            c = _mm_insert_epi16(c, static_cast<int>(p.mAlphaValue >> 24), 3);
        uint32_t alpha = static_cast<uint32_t>(_mm_extract_epi16(c, 3));
        // Blending alpha 0 leaves the destination as it is, so the usual test (alpha >= 1) only
        // needs a branch when blending is off.
        if (testBranch && !FastAlphaPasses(p, alpha << 24))
            continue;
        uint32_t* d = dst + i;
        if constexpr (B == FastPlan::Blend::Off)
            *d = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(c, zero)));
        else if constexpr (B == FastPlan::Blend::SrcAlpha)
        {
            __m128i d16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(*d)), zero);
            __m128i a = _mm_shufflelo_epi16(c, 0xFF);
            __m128i x =
                _mm_add_epi16(_mm_mullo_epi16(c, a), _mm_mullo_epi16(d16, _mm_sub_epi16(c255, a)));
            *d = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(Div255Epi16(x), zero)));
        }
        else
        {
            __m128i a = _mm_shufflelo_epi16(c, 0xFF);
            __m128i x = _mm_packus_epi16(Div255Epi16(_mm_mullo_epi16(c, a)), zero);
            *d = static_cast<uint32_t>(
                _mm_cvtsi128_si32(_mm_adds_epu8(x, _mm_cvtsi32_si128(static_cast<int>(*d)))));
        }
        ++written;
    }
    return written;
}
// The four texels and weights of one bilinear sample.
struct BilinearTaps
{
    __m128i top;    // c00, c10 in the low 64 bits
    __m128i bottom; // c01, c11
    int fx, fy;
};

template <bool Addressed>
[[gnu::always_inline]] inline BilinearTaps FetchTaps(const FastPlan& p, int64_t s, int64_t t,
                                                     __m128i orMask)
{
    const TextureLevel* level = p.mLevel;
    int64_t s8 = To256(s);
    int64_t t8 = To256(t);
    int64_t x0 = s8 >> 8, y0 = t8 >> 8;
    BilinearTaps k;
    k.fx = static_cast<int>(s8 & 255);
    k.fy = static_cast<int>(t8 & 255);
    // Spans that reach past the texture's edge address only the samples that do.
    if (Addressed && !(static_cast<uint64_t>(x0) < static_cast<uint64_t>(level->mWidth - 1) &&
                       static_cast<uint64_t>(y0) < static_cast<uint64_t>(level->mHeight - 1)))
    {
        int64_t x1 = AddressFast(x0 + 1, level->mWidth, p.mAddressU);
        int64_t y1 = AddressFast(y0 + 1, level->mHeight, p.mAddressV);
        x0 = AddressFast(x0, level->mWidth, p.mAddressU);
        y0 = AddressFast(y0, level->mHeight, p.mAddressV);
        const uint32_t* r0 = reinterpret_cast<const uint32_t*>(level->mBits + y0 * level->mPitch);
        const uint32_t* r1 = reinterpret_cast<const uint32_t*>(level->mBits + y1 * level->mPitch);
        k.top = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(r0[x0])),
                                   _mm_cvtsi32_si128(static_cast<int>(r0[x1])));
        k.bottom = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(r1[x0])),
                                      _mm_cvtsi32_si128(static_cast<int>(r1[x1])));
    }
    else
    {
        const uint8_t* r0 = level->mBits + y0 * level->mPitch + x0 * 4;
        k.top = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0));
        k.bottom = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r0 + level->mPitch));
    }
    k.top = _mm_or_si128(k.top, orMask);
    k.bottom = _mm_or_si128(k.bottom, orMask);
    return k;
}

// Down the columns of one sample: left column in lanes 0-3, right in 4-7, then weighted for
// the step across.
[[gnu::always_inline]] inline __m128i ColumnsEpi16(const BilinearTaps& k)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c256 = _mm_set1_epi16(256);
    __m128i top = _mm_unpacklo_epi8(k.top, zero);
    __m128i bottom = _mm_unpacklo_epi8(k.bottom, zero);
    // Weights from one register: lanes 0-3 fy, then fx.
    __m128i f = _mm_cvtsi32_si128(k.fx | k.fy << 16);
    __m128i fy = _mm_shufflelo_epi16(f, 0x55);
    fy = _mm_unpacklo_epi64(fy, fy);
    __m128i fx = _mm_shufflelo_epi16(f, 0x00);
    __m128i v =
        _mm_add_epi16(_mm_mullo_epi16(top, _mm_sub_epi16(c256, fy)), _mm_mullo_epi16(bottom, fy));
    v = _mm_srli_epi16(_mm_add_epi16(v, _mm_set1_epi16(128)), 8);
    return _mm_mullo_epi16(v, _mm_unpacklo_epi64(_mm_sub_epi16(c256, fx), fx));
}

// Two neighbouring pixels at once, for blends where alpha 0 needs no test of its own.
template <bool Addressed, FastPlan::Blend B>
uint64_t LinearSpanPairsSse2(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t,
                             int64_t ds, int64_t dt)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i c255 = _mm_set1_epi16(255);
    const bool modulate = p.mMultiplier != 0xFFFFFFFFu;
    const __m128i mul16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(p.mMultiplier)), zero);
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i constAlpha = _mm_set1_epi16(static_cast<short>(p.mAlphaValue >> 24));
    const __m128i orMask = _mm_set1_epi32(static_cast<int>(p.mOrMask));
    const __m128i amask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    // Blending a sample whose four texels all have alpha 0 changes nothing.
    const bool skipClear = B != FastPlan::Blend::Off && !p.mConstAlpha;
    int64_t i = 0;
    for (; i + 2 <= n; i += 2, s += 2 * ds, t += 2 * dt)
    {
        BilinearTaps ka = FetchTaps<Addressed>(p, s, t, orMask);
        BilinearTaps kb = FetchTaps<Addressed>(p, s + ds, t + dt, orMask);
        if (skipClear)
        {
            __m128i any =
                _mm_or_si128(_mm_or_si128(ka.top, ka.bottom), _mm_or_si128(kb.top, kb.bottom));
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(any, amask), zero)) == 0xFFFF)
                continue;
        }
        __m128i ha = ColumnsEpi16(ka);
        __m128i hb = ColumnsEpi16(kb);
        __m128i c = _mm_add_epi16(_mm_unpacklo_epi64(ha, hb), _mm_unpackhi_epi64(ha, hb));
        c = _mm_srli_epi16(_mm_add_epi16(c, _mm_set1_epi16(128)), 8);
        if (modulate)
            c = Div255Epi16(_mm_mullo_epi16(c, mul16));
        if (p.mConstAlpha)
            c = _mm_or_si128(_mm_andnot_si128(alphaLanes, c),
                             _mm_and_si128(alphaLanes, constAlpha));
        __m128i* d = reinterpret_cast<__m128i*>(dst + i);
        if constexpr (B == FastPlan::Blend::Off)
            _mm_storel_epi64(d, _mm_packus_epi16(c, zero));
        else if constexpr (B == FastPlan::Blend::SrcAlpha)
        {
            __m128i d16 = _mm_unpacklo_epi8(_mm_loadl_epi64(d), zero);
            __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
            __m128i x =
                _mm_add_epi16(_mm_mullo_epi16(c, a), _mm_mullo_epi16(d16, _mm_sub_epi16(c255, a)));
            _mm_storel_epi64(d, _mm_packus_epi16(Div255Epi16(x), zero));
        }
        else
        {
            __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
            __m128i x = _mm_packus_epi16(Div255Epi16(_mm_mullo_epi16(c, a)), zero);
            _mm_storel_epi64(d, _mm_adds_epu8(x, _mm_loadl_epi64(d)));
        }
    }
    uint64_t written = static_cast<uint64_t>(i);
    if (i < n)
        written += LinearSpanSse2<Addressed, B>(p, dst + i, n - i, s, t, ds, dt);
    return written;
}

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace avx2
{
// The same rounding division by 255 as the scalar code in two operations: for y = x + 128
// (below 2^16), (y + (y >> 8)) >> 8 is (y * 257) >> 16, the unsigned high product.
inline __m256i Div255Epi16(__m256i x)
{
    return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// From a towards b by f / 256, f given times 128: with d = b - a (at most 255 either way),
// a + ((d * f * 128 + 2^14) >> 15), the rounding high product, is a + floor((d * f + 128) / 256),
// which is the scalar lerp's (a * (256 - f) + b * f + 128) >> 8 in one multiply.
inline __m256i LerpEpi16(__m256i a, __m256i b, __m256i f128)
{
    return _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), f128));
}

inline int Texel(const uint8_t* bytes, int32_t offset)
{
    int v;
    std::memcpy(&v, bytes + offset, 4);
    return v;
}

// Texel indices after CLAMP, or WRAP on a power-of-two size (the only modes this loop takes
// beyond the texture's edges).
inline __m128i AddressEpi32(__m128i i, bool clamp, int32_t size)
{
    if (clamp)
        return _mm_min_epi32(_mm_max_epi32(i, _mm_setzero_si128()), _mm_set1_epi32(size - 1));
    return _mm_and_si128(i, _mm_set1_epi32(size - 1));
}

// Four neighbouring pixels of a bilinear span at once, their sixteen texels addressed in lanes,
// with the same arithmetic as the pair loop, so the same bytes.
template <FastPlan::Blend B>
uint64_t LinearSpanQuads(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t,
                         int64_t ds, int64_t dt, bool wrapU, bool wrapV)
{
    const TextureLevel* level = p.mLevel;
    const __m256i c255 = _mm256_set1_epi16(255);
    const bool modulate = p.mMultiplier != 0xFFFFFFFFu;
    const __m256i mul16 = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(p.mMultiplier)));
    const __m256i alphaLanes = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    const __m256i constAlpha = _mm256_set1_epi16(static_cast<short>(p.mAlphaValue >> 24));
    // A texture without alpha has the alpha of every texel set: the lerps of four 255s give
    // 255, so the mask goes onto the sample instead of its texels.
    const __m256i orMask = _mm256_cvtepu8_epi16(_mm_set1_epi32(static_cast<int>(p.mOrMask)));
    const __m256i alphaWords =
        _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6, 7,
                         6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    const __m128i amask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i one = _mm_set1_epi32(1);
    const __m128i pitch = _mm_set1_epi32(level->mPitch);
    const bool clampU = !wrapU; // clamping changes nothing within the texture
    const bool clampV = !wrapV;
    const uint8_t* bytes = level->mBits;
    const bool skipClear = B != FastPlan::Blend::Off && !p.mConstAlpha && p.mOrMask == 0;
    // The lanes carry To256's rounding half from the start.
    const int64_t half = TEX_ONE >> 9;
    __m256i sLanes =
        _mm256_setr_epi64x(s + half, s + ds + half, s + 2 * ds + half, s + 3 * ds + half);
    __m256i tLanes =
        _mm256_setr_epi64x(t + half, t + dt + half, t + 2 * dt + half, t + 3 * dt + half);
    const __m256i sStep = _mm256_set1_epi64x(4 * ds), tStep = _mm256_set1_epi64x(4 * dt);
    int64_t i = 0;
    const __m128i laneIndex = _mm_setr_epi32(0, 1, 2, 3);
    const __m128i zero128 = _mm_setzero_si128();
    const __m128i lastX = _mm_set1_epi32(level->mWidth - 2); // the last x with a right neighbour
    const __m128i lastY = _mm_set1_epi32(level->mHeight - 2);
    const __m256i lastXY = _mm256_set_m128i(lastY, lastX);
    // Each pixel's weight in the four 16-bit lanes of its channels, from x or y in 32-bit lanes
    // (the low byte is the weight).
    const __m256i toPixels = _mm256_setr_epi32(0, 1, 0, 1, 2, 3, 2, 3);
    const __m256i spread = _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1,
                                            0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1);
    const __m256i sAndT = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i toPixelsT = _mm256_setr_epi32(4, 5, 4, 5, 6, 7, 6, 7);
    const bool clampBoth = clampU && clampV && level->mWidth >= 2 && level->mHeight >= 2;
    for (; i < n; i += 4)
    {
        // The last group may be partial: its pixels past the span are computed from addressed
        // (so readable) texels but neither read from nor written to the destination.
        const bool partial = n - i < 4;
        const __m128i keep = _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int>(n - i)), laneIndex);
        auto load = [&](const uint32_t* at)
        {
            return partial ? _mm_maskload_epi32(reinterpret_cast<const int*>(at), keep)
                           : _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        };
        // To256 of the four coordinates: the low 32 bits of the shifted sum are the same for a
        // logical shift as for the arithmetic one AVX2 lacks, and the caller made sure they
        // hold the whole value.
        // s in the even 32-bit lanes, t in the odd ones (its shifted-up bits 32 to 63), then
        // the four s below the four t: one lane each for x and y from here on.
        const __m256i st = _mm256_permutevar8x32_epi32(
            _mm256_blend_epi32(_mm256_srli_epi64(sLanes, 16), _mm256_slli_epi64(tLanes, 16), 0xAA),
            sAndT);
        sLanes = _mm256_add_epi64(sLanes, sStep);
        tLanes = _mm256_add_epi64(tLanes, tStep);
        const __m256i xy = _mm256_srai_epi32(st, 8);
        const __m128i x0 = _mm256_castsi256_si128(xy), y0 = _mm256_extracti128_si256(xy, 1);
        __m128i c00, c10, c01, c11;
        const __m256i outsideXY = _mm256_or_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), xy),
                                                  _mm256_cmpgt_epi32(xy, lastXY));
        // Each row's two texels as one 8-byte load from the texel pairs at (x, y) and below.
        auto quad = [&](__m128i x, __m128i y) __attribute__((always_inline))
        {
            // The offsets are never negative here: two to a 64-bit move.
            const __m128i at = _mm_add_epi32(_mm_mullo_epi32(y, pitch), _mm_slli_epi32(x, 2));
            const uint64_t at01 = static_cast<uint64_t>(_mm_cvtsi128_si64(at));
            const uint64_t at23 = static_cast<uint64_t>(_mm_extract_epi64(at, 1));
            const uint8_t* r[4] = {bytes + static_cast<uint32_t>(at01), bytes + (at01 >> 32),
                                   bytes + static_cast<uint32_t>(at23), bytes + (at23 >> 32)};
            auto pairs = [&](int32_t down, __m128i& l, __m128i& rr)
            {
                auto pair = [&](int k)
                { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(r[k] + down)); };
                const __m128 p01 = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(0), pair(1)));
                const __m128 p23 = _mm_castsi128_ps(_mm_unpacklo_epi64(pair(2), pair(3)));
                l = _mm_castps_si128(_mm_shuffle_ps(p01, p23, 0x88));
                rr = _mm_castps_si128(_mm_shuffle_ps(p01, p23, 0xDD));
            };
            pairs(0, c00, c10);
            pairs(level->mPitch, c01, c11);
        };
        if (_mm256_testz_si256(outsideXY, outsideXY))
            quad(x0, y0); // all four samples within the texture
        else if (clampBoth)
        {
            // CLAMP on both axes: the pairs at the clamped corner hold every texel the samples
            // need. Left of the texture both columns are its first; right of it, its last; rows
            // alike.
            const __m128i xc = _mm_min_epi32(_mm_max_epi32(x0, zero128), lastX);
            const __m128i yc = _mm_min_epi32(_mm_max_epi32(y0, zero128), lastY);
            quad(xc, yc);
            const __m128i leftOut = _mm_cmpgt_epi32(zero128, x0);
            const __m128i rightOut = _mm_cmpgt_epi32(x0, lastX);
            const __m128i aboveOut = _mm_cmpgt_epi32(zero128, y0);
            const __m128i belowOut = _mm_cmpgt_epi32(y0, lastY);
            auto pick = [](__m128i a, __m128i b, __m128i takeB)
            { return _mm_blendv_epi8(a, b, takeB); };
            const __m128i l0 = pick(c00, c10, rightOut), r0 = pick(c10, c00, leftOut);
            const __m128i l1 = pick(c01, c11, rightOut), r1 = pick(c11, c01, leftOut);
            c00 = pick(l0, l1, belowOut), c01 = pick(l1, l0, aboveOut);
            c10 = pick(r0, r1, belowOut), c11 = pick(r1, r0, aboveOut);
        }
        else
        {
            const __m128i left = _mm_slli_epi32(AddressEpi32(x0, clampU, level->mWidth), 2);
            const __m128i right =
                _mm_slli_epi32(AddressEpi32(_mm_add_epi32(x0, one), clampU, level->mWidth), 2);
            const __m128i top = _mm_mullo_epi32(AddressEpi32(y0, clampV, level->mHeight), pitch);
            const __m128i bottom = _mm_mullo_epi32(
                AddressEpi32(_mm_add_epi32(y0, one), clampV, level->mHeight), pitch);
            // Plain loads by offset: gathers are slow on processors that mitigate them in
            // microcode.
            alignas(16) int32_t o[4][4]; // top left, top right, bottom left, bottom right
            _mm_store_si128(reinterpret_cast<__m128i*>(o[0]), _mm_add_epi32(top, left));
            _mm_store_si128(reinterpret_cast<__m128i*>(o[1]), _mm_add_epi32(top, right));
            _mm_store_si128(reinterpret_cast<__m128i*>(o[2]), _mm_add_epi32(bottom, left));
            _mm_store_si128(reinterpret_cast<__m128i*>(o[3]), _mm_add_epi32(bottom, right));
            auto fetch = [&](const int32_t* at)
            {
                return _mm_setr_epi32(Texel(bytes, at[0]), Texel(bytes, at[1]), Texel(bytes, at[2]),
                                      Texel(bytes, at[3]));
            };
            c00 = fetch(o[0]), c10 = fetch(o[1]), c01 = fetch(o[2]), c11 = fetch(o[3]);
        }
        if (skipClear)
        {
            __m128i any = _mm_or_si128(_mm_or_si128(c00, c10), _mm_or_si128(c01, c11));
            if (_mm_testz_si128(any, amask))
                continue; // blending alpha 0 changes nothing
        }
        // Each pixel's weights in its four channel lanes, times 128 for LerpEpi16.
        const __m256i fx = _mm256_slli_epi16(
            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(st, toPixels), spread), 7);
        const __m256i fy = _mm256_slli_epi16(
            _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(st, toPixelsT), spread), 7);
        const __m256i l = LerpEpi16(_mm256_cvtepu8_epi16(c00), _mm256_cvtepu8_epi16(c01), fy);
        const __m256i r = LerpEpi16(_mm256_cvtepu8_epi16(c10), _mm256_cvtepu8_epi16(c11), fy);
        __m256i c = _mm256_or_si256(LerpEpi16(l, r, fx), orMask);
        if (modulate)
            c = Div255Epi16(_mm256_mullo_epi16(c, mul16));
        if (p.mConstAlpha)
            c = _mm256_or_si256(_mm256_andnot_si256(alphaLanes, c),
                                _mm256_and_si256(alphaLanes, constAlpha));
        uint32_t* d = dst + i;
        if constexpr (B == FastPlan::Blend::Off)
        {
            (void)c255;
        }
        else if constexpr (B == FastPlan::Blend::SrcAlpha)
        {
            const __m256i d16 = _mm256_cvtepu8_epi16(load(d));
            const __m256i a = _mm256_shuffle_epi8(c, alphaWords);
            c = Div255Epi16(_mm256_add_epi16(_mm256_mullo_epi16(c, a),
                                             _mm256_mullo_epi16(d16, _mm256_sub_epi16(c255, a))));
        }
        else
        {
            const __m256i a = _mm256_shuffle_epi8(c, alphaWords);
            c = Div255Epi16(_mm256_mullo_epi16(c, a));
        }
        __m128i out = _mm_packus_epi16(_mm256_castsi256_si128(c), _mm256_extracti128_si256(c, 1));
        if constexpr (B == FastPlan::Blend::SrcAlphaOne)
            out = _mm_adds_epu8(out, load(d));
        if (partial)
            _mm_maskstore_epi32(reinterpret_cast<int*>(d), keep, out);
        else
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
    }
    return static_cast<uint64_t>(n);
}

// A row of a polygon that PrepareLinearRows found fit for the loop above as a whole.
template <FastPlan::Blend B, bool WRAP_U, bool WRAP_V>
uint64_t LinearRow(const FastPlan& p, uint32_t* dst, int64_t n, const SpanCoords& c)
{
    return LinearSpanQuads<B>(p, dst, n, c.s, c.t, c.ds, c.dt, WRAP_U, WRAP_V);
}

inline __m256i Load256(const void* at)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(at));
}

// Where a polygon's samples fall: all on texels with a neighbour right and below (Inside), or
// anywhere on a texture clamped on both axes (Clamp).
enum class QuadEdges
{
    Inside,
    Clamp
};

// The loop above for a whole polygon whose constants PrepareLinearRows made, with each pixel's
// s and t side by side in 32-bit lanes: a pixel's two texel pairs are one 16-byte lane of two
// registers, its texel offset one multiply-add, and a sample past a clamped edge is moved onto
// it (same bytes: a weight of 0 on the edge texel gives that texel, as the clamped pair does).
template <FastPlan::Blend B, QuadEdges E, bool MODULATE, bool PLAIN>
uint64_t QuadRow(const FastPlan& p, uint32_t* dst, int64_t n, const SpanCoords& c)
{
    const FastPlan::QuadRows& q = p.mQuad;
    const uint8_t* top = p.mLevel->mBits;
    const uint8_t* below = top + p.mLevel->mPitch;
    __m256i sLanes = _mm256_add_epi64(_mm256_set1_epi64x(c.s), Load256(q.mLaneS));
    __m256i tLanes = _mm256_add_epi64(_mm256_set1_epi64x(c.t), Load256(q.mLaneT));
    const __m256i zero = _mm256_setzero_si256();
    // PLAIN: the usual blend of a texture with alpha, whose clear samples are skipped, without
    // a replaced alpha.
    const bool skipClear = PLAIN || q.mSkipClear;
    const bool constAlpha = !PLAIN && p.mConstAlpha;
    // A pixel's weights in its four channel lanes, times 128 for LerpEpi16: fx of pixels 0 and
    // 1 (2 and 3), fy of pixel 0 (2) for the first column lerp, fy of pixel 1 (3) for the other.
    const __m256i spreadX = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9, 0, 1,
                                             0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9);
    const __m256i spreadY0 = _mm256_set1_epi16(0x0504);
    const __m256i spreadY1 = _mm256_set1_epi16(0x0D0C);
    const __m256i alphaWords =
        _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15, 6, 7, 6, 7, 6, 7,
                         6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    const __m256i alphaLanes = _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    auto div255 = [&](__m256i x) __attribute__((always_inline))
    {
        return _mm256_mulhi_epu16(_mm256_add_epi16(x, Load256(q.mRound)), Load256(q.mTimes257));
    };
    auto group = [&](uint32_t * d, auto partialTag) __attribute__((always_inline))
    {
        constexpr bool partial = decltype(partialTag)::value;
        // s and t of the four pixels in 1/256 texel: s0 t0 s1 t1 | s2 t2 s3 t3 (the low 32 bits
        // of To256 hold the whole value, as the caller made sure).
        __m256i st =
            _mm256_blend_epi32(_mm256_srli_epi64(sLanes, 16), _mm256_slli_epi64(tLanes, 16), 0xAA);
        sLanes = _mm256_add_epi64(sLanes, Load256(q.mStepS));
        tLanes = _mm256_add_epi64(tLanes, Load256(q.mStepT));
        if constexpr (E == QuadEdges::Clamp)
            st = _mm256_min_epi32(_mm256_max_epi32(st, zero), Load256(q.mMaxST));
        __m256i xy = _mm256_srai_epi32(st, 8);
        // Clamp: a sample on the last column (row) reads the pair before it and takes that
        // pair's second texel below.
        __m256i over = zero;
        if constexpr (E == QuadEdges::Clamp)
        {
            over = _mm256_cmpgt_epi32(xy, Load256(q.mLastXY));
            xy = _mm256_add_epi32(xy, over);
        }
        else if constexpr (partial) // lanes past the span
            xy = _mm256_min_epi32(_mm256_max_epi32(xy, zero), Load256(q.mLastXY));
        const __m256i offsets = _mm256_madd_epi16(_mm256_packs_epi32(xy, xy), Load256(q.mToOffset));
        const uint64_t at01 = static_cast<uint64_t>(_mm256_extract_epi64(offsets, 0));
        const uint64_t at23 = static_cast<uint64_t>(_mm256_extract_epi64(offsets, 2));
        auto pairs = [&](const uint8_t* row) __attribute__((always_inline))
        {
            auto pair = [&](uint64_t at)
            {
                uint64_t v;
                std::memcpy(&v, row + at, 8);
                return static_cast<long long>(v);
            };
            return _mm256_setr_epi64x(pair(static_cast<uint32_t>(at01)), pair(at01 >> 32),
                                      pair(static_cast<uint32_t>(at23)), pair(at23 >> 32));
        };
        __m256i t = pairs(top), b = pairs(below);
        if (skipClear && _mm256_testz_si256(_mm256_or_si256(t, b), Load256(q.mAlphaBits)))
            return; // blending alpha 0 changes nothing
        if (E == QuadEdges::Clamp && !_mm256_testz_si256(over, over))
        {
            t = _mm256_blendv_epi8(t, b, _mm256_shuffle_epi32(over, 0xF5));
            const __m256i onRight = _mm256_shuffle_epi32(over, 0xA0);
            t = _mm256_blendv_epi8(t, _mm256_shuffle_epi32(t, 0xF5), onRight);
            b = _mm256_blendv_epi8(b, _mm256_shuffle_epi32(b, 0xF5), onRight);
        }
        const __m256i f = _mm256_slli_epi32(_mm256_and_si256(st, _mm256_set1_epi32(255)), 7);
        // Columns of pixels 0 and 2, then of 1 and 3: left column in a lane's low 64 bits.
        const __m256i col02 =
            LerpEpi16(_mm256_unpacklo_epi8(t, zero), _mm256_unpacklo_epi8(b, zero),
                      _mm256_shuffle_epi8(f, spreadY0));
        const __m256i col13 =
            LerpEpi16(_mm256_unpackhi_epi8(t, zero), _mm256_unpackhi_epi8(b, zero),
                      _mm256_shuffle_epi8(f, spreadY1));
        __m256i color =
            LerpEpi16(_mm256_unpacklo_epi64(col02, col13), _mm256_unpackhi_epi64(col02, col13),
                      _mm256_shuffle_epi8(f, spreadX));
        color = _mm256_or_si256(color, Load256(q.mOrMask));
        if constexpr (MODULATE)
            color = div255(_mm256_mullo_epi16(color, Load256(q.mMultiplier)));
        if (constAlpha)
            color = _mm256_or_si256(_mm256_andnot_si256(alphaLanes, color),
                                    _mm256_and_si256(alphaLanes, Load256(q.mAlpha)));
        const __m128i keep = partial ? _mm_cmpgt_epi32(_mm_set1_epi32(static_cast<int>(n & 3)),
                                                       _mm_setr_epi32(0, 1, 2, 3))
                                     : __m128i{};
        auto load = [&]
        {
            return partial ? _mm_maskload_epi32(reinterpret_cast<const int*>(d), keep)
                           : _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
        };
        if constexpr (B == FastPlan::Blend::SrcAlpha)
        {
            const __m256i d16 = _mm256_cvtepu8_epi16(load());
            const __m256i a = _mm256_shuffle_epi8(color, alphaWords);
            color = div255(_mm256_add_epi16(
                _mm256_mullo_epi16(color, a),
                _mm256_mullo_epi16(d16, _mm256_sub_epi16(_mm256_set1_epi16(255), a))));
        }
        else if constexpr (B == FastPlan::Blend::SrcAlphaOne)
            color = div255(_mm256_mullo_epi16(color, _mm256_shuffle_epi8(color, alphaWords)));
        __m128i out =
            _mm_packus_epi16(_mm256_castsi256_si128(color), _mm256_extracti128_si256(color, 1));
        if constexpr (B == FastPlan::Blend::SrcAlphaOne)
            out = _mm_adds_epu8(out, load());
        if constexpr (partial)
            _mm_maskstore_epi32(reinterpret_cast<int*>(d), keep, out);
        else
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d), out);
    };
    int64_t i = 0;
    for (; i + 4 <= n; i += 4)
        group(dst + i, std::false_type{});
    if (i < n)
        group(dst + i, std::true_type{});
    return static_cast<uint64_t>(n);
}
} // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

// Texels copied 1:1 along the span (one texel per pixel, fixed row, all inside the level).
template <FastPlan::Blend B>
uint64_t FastAlignedSpan(const FastPlan& p, uint32_t* dst, int64_t n, const uint32_t* src)
{
    if (p.mRowKernel != nullptr)
        return p.mRowKernel(p.mRowOp, dst, src, n);
    uint64_t written = 0;
    const bool plain =
        !p.mGenericCombine && p.mMultiplier == 0xFFFFFFFFu && !p.mConstAlpha && p.mOrMask == 0;
    for (int64_t i = 0; i < n; ++i)
    {
        uint32_t c = plain ? src[i] : FastCombine(p, src[i] | p.mOrMask);
        if (!FastAlphaPasses(p, c))
            continue;
        FastWrite<B>(p, dst + i, c);
        ++written;
    }
    return written;
}

template <FastPlan::Blend B>
uint64_t DispatchSource(const FastPlan& p, uint32_t* dst, int64_t n, int64_t s, int64_t t,
                        int64_t ds, int64_t dt)
{
    using Source = FastPlan::Source;
    if (p.mSource == Source::Constant)
        return FastSpan<Source::Constant, false, B>(p, dst, n, s, t, ds, dt);
    const TextureLevel* level = p.mLevel;
    bool linear = p.mSource == Source::Linear;
    // The texels the span touches, from its two ends (the coordinates are affine).
    int64_t sEnd = s + (n - 1) * ds;
    int64_t tEnd = t + (n - 1) * dt;
    int64_t sMin = std::min(s, sEnd), sMax = std::max(s, sEnd);
    int64_t tMin = std::min(t, tEnd), tMax = std::max(t, tEnd);
    int64_t xLo, xHi, yLo, yHi;
    if (linear)
    {
        xLo = To256(sMin) >> 8;
        xHi = (To256(sMax) >> 8) + 1;
        yLo = To256(tMin) >> 8;
        yHi = (To256(tMax) >> 8) + 1;
    }
    else
    {
        xLo = (To256(sMin) + 128) >> 8;
        xHi = (To256(sMax) + 128) >> 8;
        yLo = (To256(tMin) + 128) >> 8;
        yHi = (To256(tMax) + 128) >> 8;
    }
    bool inside = xLo >= 0 && yLo >= 0 && xHi < level->mWidth && yHi < level->mHeight;
    // One texel per pixel on one row: a copy, whatever the filter, when the samples sit on texel
    // centres (bilinear weights 0) or the filter is point.
    bool aligned = ds == TEX_ONE && dt == 0 && (!linear || (To256(s) & 255) == 0) &&
                   (!linear || (To256(t) & 255) == 0);
    if (aligned)
    {
        int64_t x0 = linear ? To256(s) >> 8 : (To256(s) + 128) >> 8;
        int64_t y0 = linear ? To256(t) >> 8 : (To256(t) + 128) >> 8;
        if (x0 >= 0 && y0 >= 0 && x0 + n <= level->mWidth && y0 < level->mHeight)
        {
            const uint32_t* src =
                reinterpret_cast<const uint32_t*>(level->mBits + y0 * level->mPitch) + x0;
            return FastAlignedSpan<B>(p, dst, n, src);
        }
    }
#if defined(__SSE2__)
    if constexpr (B != FastPlan::Blend::Generic)
    {
        if (linear && !p.mGenericCombine && p.mIsa != SpanIsa::Scalar)
        {
            bool dropsOnlyClear =
                !p.mAlphaTest || p.mAlphaFunc == CMP_ALWAYS ||
                (p.mAlphaFunc == CMP_GREATEREQUAL && p.mAlphaRef <= 1) ||
                ((p.mAlphaFunc == CMP_GREATER || p.mAlphaFunc == CMP_NOTEQUAL) && p.mAlphaRef == 0);
            bool pairs = (B == FastPlan::Blend::Off && !p.mAlphaTest) ||
                         (B != FastPlan::Blend::Off && dropsOnlyClear);
            // Four at a time where the addressing fits vector lanes and the coordinates 32 bits.
            auto lanes = [&](TextureAddress mode, int32_t size) {
                return inside || mode == TADDRESS_CLAMP ||
                       (mode == TADDRESS_WRAP && (size & (size - 1)) == 0);
            };
            constexpr int64_t LIMIT = int64_t{1} << 29;
            constexpr int64_t QUADS_MIN = 4; // shorter spans do not repay the set-up
            if (pairs && p.mIsa == SpanIsa::Avx2 && n >= QUADS_MIN &&
                lanes(p.mAddressU, level->mWidth) && lanes(p.mAddressV, level->mHeight) &&
                To256(sMin) > -LIMIT && To256(sMax) < LIMIT && To256(tMin) > -LIMIT &&
                To256(tMax) < LIMIT &&
                static_cast<int64_t>(level->mPitch) * level->mHeight < (int64_t{1} << 31))
                return avx2::LinearSpanQuads<B>(p, dst, n, s, t, ds, dt,
                                                !inside && p.mAddressU == TADDRESS_WRAP,
                                                !inside && p.mAddressV == TADDRESS_WRAP);
            if (pairs)
                return inside ? LinearSpanPairsSse2<false, B>(p, dst, n, s, t, ds, dt)
                              : LinearSpanPairsSse2<true, B>(p, dst, n, s, t, ds, dt);
            return inside ? LinearSpanSse2<false, B>(p, dst, n, s, t, ds, dt)
                          : LinearSpanSse2<true, B>(p, dst, n, s, t, ds, dt);
        }
    }
#endif
    if (linear)
        return inside ? FastSpan<Source::Linear, false, B>(p, dst, n, s, t, ds, dt)
                      : FastSpan<Source::Linear, true, B>(p, dst, n, s, t, ds, dt);
    return inside ? FastSpan<Source::Point, false, B>(p, dst, n, s, t, ds, dt)
                  : FastSpan<Source::Point, true, B>(p, dst, n, s, t, ds, dt);
}

// A run of rows copied 1:1, each a pitch further on in the target and a texture row further on
// in the texels, as DispatchSource would send each of them to FastAlignedSpan.
template <FastPlan::Blend B>
uint64_t AlignedRows(const FastPlan& p, uint8_t* dst, int64_t pitch, const uint8_t* src, int64_t n,
                     int64_t rows)
{
    const int64_t srcPitch = p.mLevel->mPitch;
    uint64_t written = 0;
    for (int64_t row = 0; row < rows; ++row, dst += pitch, src += srcPitch)
    {
#if defined(__SSE2__)
        // Narrow rows: the next one asked for ahead, as the edge walk does for small primitives.
        if (n * 4 <= 512 && row + 1 < rows)
        {
            const char* ahead = reinterpret_cast<const char*>(dst + pitch);
            const char* end = ahead + n * 4;
            for (const char* line = ahead; line < end; line += 64)
                _mm_prefetch(line, _MM_HINT_T0);
            _mm_prefetch(end - 1, _MM_HINT_T0);
        }
#endif
        written += FastAlignedSpan<B>(p, reinterpret_cast<uint32_t*>(dst), n,
                                      reinterpret_cast<const uint32_t*>(src));
    }
    return written;
}

// Two mip levels blended (a sprite drawn smaller than its texture between two level sizes):
// each level read through the sampler's own fixed-point reads, as the general path does.
template <FastPlan::Blend B>
uint64_t TwoLevelSpan(const FastPlan& p, uint32_t* dst, int64_t n, const SpanCoords& c)
{
    const TextureSampler& sampler = p.mState->mSampler;
    const int level = p.mLevelIndex;
    uint64_t written = 0;
    int64_t s = c.s, t = c.t, s2 = c.s2, t2 = c.t2;
    for (int64_t i = 0; i < n; ++i, s += c.ds, t += c.dt, s2 += c.ds2, t2 += c.dt2)
    {
        uint32_t a = p.mLinear ? sampler.SampleLinearFixed(level, To256(s), To256(t))
                               : sampler.SamplePointFixed(level, To256(s), To256(t));
        uint32_t b = p.mLinear ? sampler.SampleLinearFixed(level + 1, To256(s2), To256(t2))
                               : sampler.SamplePointFixed(level + 1, To256(s2), To256(t2));
        uint32_t texel = CompactLanes(LerpLanes(ExpandLanes(a), ExpandLanes(b), p.mMipWeight));
        uint32_t color = FastCombine(p, texel);
        if (!FastAlphaPasses(p, color))
            continue;
        FastWrite<B>(p, dst + i, color);
        ++written;
    }
    return written;
}

} // namespace

void PrepareRowKernel(FastPlan& p)
{
    p.mIsa = ActiveSpanIsa();
    p.mRowKernel = nullptr;
    if (p.mGenericCombine || p.mSource == FastPlan::Source::Constant)
        return;
    SpanBlend blend;
    switch (p.mBlend)
    {
    case FastPlan::Blend::Off:
        blend = SpanBlend::Copy;
        break;
    case FastPlan::Blend::SrcAlpha:
        blend = SpanBlend::SrcAlpha;
        break;
    case FastPlan::Blend::SrcAlphaOne:
        blend = SpanBlend::SrcAlphaOne;
        break;
    default:
        if (p.mState->mSrcBlend != BLEND_ONE || p.mState->mDestBlend != BLEND_ONE)
            return;
        blend = SpanBlend::Add;
        break;
    }
    SpanOp& op = p.mRowOp;
    op.mOrMask = p.mOrMask;
    op.mMultiplier = p.mMultiplier;
    op.mAlphaKeep = p.mConstAlpha ? 0x00FFFFFFu : 0xFFFFFFFFu;
    op.mAlphaSet = p.mConstAlpha ? p.mAlphaValue : 0;
    op.mAlphaTest = p.mAlphaTest;
    op.mAlphaFunc = p.mAlphaFunc;
    op.mAlphaRef = p.mAlphaRef & 0xFF;
    p.mRowKernel = GetSpanKernel(ActiveSpanIsa(), blend);
}

#if defined(__SSE2__)
namespace
{
template <FastPlan::Blend B>
auto PickLinearRow(bool wrapU, bool wrapV) -> decltype(FastPlan::mLinearRow)
{
    if (wrapU)
        return wrapV ? &avx2::LinearRow<B, true, true> : &avx2::LinearRow<B, true, false>;
    return wrapV ? &avx2::LinearRow<B, false, true> : &avx2::LinearRow<B, false, false>;
}

template <FastPlan::Blend B, avx2::QuadEdges E>
auto PickQuadRow(bool modulate, bool plain) -> decltype(FastPlan::mLinearRow)
{
    if constexpr (B != FastPlan::Blend::Off)
        if (plain)
            return modulate ? &avx2::QuadRow<B, E, true, true> : &avx2::QuadRow<B, E, false, true>;
    return modulate ? &avx2::QuadRow<B, E, true, false> : &avx2::QuadRow<B, E, false, false>;
}

template <FastPlan::Blend B>
auto PickQuadRow(avx2::QuadEdges edges, bool modulate, bool plain) -> decltype(FastPlan::mLinearRow)
{
    return edges == avx2::QuadEdges::Inside
               ? PickQuadRow<B, avx2::QuadEdges::Inside>(modulate, plain)
               : PickQuadRow<B, avx2::QuadEdges::Clamp>(modulate, plain);
}

// The constants of avx2::QuadRow for a polygon stepping ds, dt along its rows.
void PrepareQuadRows(FastPlan& p, int64_t ds, int64_t dt)
{
    FastPlan::QuadRows& q = p.mQuad;
    const TextureLevel* level = p.mLevel;
    const int64_t half = TEX_ONE >> 9;
    for (int k = 0; k < 4; ++k)
    {
        q.mLaneS[k] = k * ds + half;
        q.mLaneT[k] = k * dt + half;
        q.mStepS[k] = 4 * ds;
        q.mStepT[k] = 4 * dt;
    }
    // A 32-byte vector as one 8-byte pattern four times: a pixel's four channels, or a pair of
    // 32-bit lanes (s and t).
    auto repeat = [](void* out, uint64_t pattern)
    {
        for (int k = 0; k < 32; k += 8)
            std::memcpy(static_cast<uint8_t*>(out) + k, &pattern, 8);
    };
    auto channels = [](uint64_t argb)
    {
        return (argb & 0xFFu) | (argb & 0xFF00u) << 8 | (argb & 0xFF0000u) << 16 |
               (argb & 0xFF000000u) << 24;
    };
    auto pair = [](int64_t low, int64_t high) {
        return static_cast<uint64_t>(static_cast<uint32_t>(low)) | static_cast<uint64_t>(high)
                                                                       << 32;
    };
    constexpr uint64_t EACH = 0x0001000100010001u;
    repeat(q.mOrMask, channels(p.mOrMask));
    repeat(q.mMultiplier, channels(p.mMultiplier));
    repeat(q.mAlpha, (p.mAlphaValue >> 24) * EACH);
    repeat(q.mRound, 128 * EACH);
    repeat(q.mTimes257, 257 * EACH);
    repeat(q.mAlphaBits, 0xFF000000FF000000u);
    repeat(q.mMaxST, pair((level->mWidth - 1) * 256, (level->mHeight - 1) * 256));
    repeat(q.mLastXY, pair(level->mWidth - 2, level->mHeight - 2));
    repeat(q.mToOffset, (4 | static_cast<uint64_t>(level->mPitch) << 16) * 0x0000000100000001u);
    q.mSkipClear = p.mBlend != FastPlan::Blend::Off && !p.mConstAlpha && p.mOrMask == 0;
}
} // namespace
#endif

void PrepareLinearRows(FastPlan& p, int64_t sLo, int64_t sHi, int64_t tLo, int64_t tHi, int64_t ds,
                       int64_t dt)
{
    p.mLinearRow = nullptr;
#if defined(__SSE2__)
    // The conditions under which DispatchSource takes the loop for any row within these bounds
    // (a row of the texture's own texels, one per pixel, goes to the row kernels instead).
    if (p.mSource != FastPlan::Source::Linear || p.mGenericCombine || p.mIsa != SpanIsa::Avx2 ||
        p.mBlend == FastPlan::Blend::Generic || (ds == TEX_ONE && dt == 0))
        return;
    const bool dropsOnlyClear =
        !p.mAlphaTest || p.mAlphaFunc == CMP_ALWAYS ||
        (p.mAlphaFunc == CMP_GREATEREQUAL && p.mAlphaRef <= 1) ||
        ((p.mAlphaFunc == CMP_GREATER || p.mAlphaFunc == CMP_NOTEQUAL) && p.mAlphaRef == 0);
    const bool pairs = (p.mBlend == FastPlan::Blend::Off && !p.mAlphaTest) ||
                       (p.mBlend != FastPlan::Blend::Off && dropsOnlyClear);
    const TextureLevel* level = p.mLevel;
    // Beyond the texture, rows wrap or clamp in lanes; WRAP on a row within the texture changes
    // no index, so the flags need not follow each row.
    auto lanes = [](TextureAddress mode, int32_t size)
    { return mode == TADDRESS_CLAMP || (mode == TADDRESS_WRAP && (size & (size - 1)) == 0); };
    constexpr int64_t LIMIT = int64_t{1} << 29;
    if (!pairs || !lanes(p.mAddressU, level->mWidth) || !lanes(p.mAddressV, level->mHeight) ||
        !(To256(sLo) > -LIMIT && To256(sHi) < LIMIT && To256(tLo) > -LIMIT && To256(tHi) < LIMIT) ||
        static_cast<int64_t>(level->mPitch) * level->mHeight >= (int64_t{1} << 31))
        return;
    // Polygons whose samples all have their four texels within the texture, or that clamp on
    // both axes, take the loop with its constants made here, where texel offsets fit 16 bits.
    const int32_t w = level->mWidth, h = level->mHeight;
    if (w >= 2 && h >= 2 && level->mPitch <= INT16_MAX && h <= INT16_MAX)
    {
        const bool inside = To256(sLo) >= 0 && (To256(sHi) >> 8) <= w - 2 && To256(tLo) >= 0 &&
                            (To256(tHi) >> 8) <= h - 2;
        const bool clamp = p.mAddressU == TADDRESS_CLAMP && p.mAddressV == TADDRESS_CLAMP;
        if (inside || clamp)
        {
            const avx2::QuadEdges edges = inside ? avx2::QuadEdges::Inside : avx2::QuadEdges::Clamp;
            const bool modulate = p.mMultiplier != 0xFFFFFFFFu;
            PrepareQuadRows(p, ds, dt);
            const bool plain = p.mQuad.mSkipClear && !p.mConstAlpha;
            switch (p.mBlend)
            {
            case FastPlan::Blend::Off:
                p.mLinearRow = PickQuadRow<FastPlan::Blend::Off>(edges, modulate, plain);
                return;
            case FastPlan::Blend::SrcAlpha:
                p.mLinearRow = PickQuadRow<FastPlan::Blend::SrcAlpha>(edges, modulate, plain);
                return;
            case FastPlan::Blend::SrcAlphaOne:
                p.mLinearRow = PickQuadRow<FastPlan::Blend::SrcAlphaOne>(edges, modulate, plain);
                return;
            case FastPlan::Blend::Generic:
                return;
            }
        }
    }
    const bool wrapU = p.mAddressU == TADDRESS_WRAP, wrapV = p.mAddressV == TADDRESS_WRAP;
    switch (p.mBlend)
    {
    case FastPlan::Blend::Off:
        p.mLinearRow = PickLinearRow<FastPlan::Blend::Off>(wrapU, wrapV);
        break;
    case FastPlan::Blend::SrcAlpha:
        p.mLinearRow = PickLinearRow<FastPlan::Blend::SrcAlpha>(wrapU, wrapV);
        break;
    case FastPlan::Blend::SrcAlphaOne:
        p.mLinearRow = PickLinearRow<FastPlan::Blend::SrcAlphaOne>(wrapU, wrapV);
        break;
    case FastPlan::Blend::Generic:
        break;
    }
#else
    (void)sLo, (void)sHi, (void)tLo, (void)tHi, (void)ds, (void)dt;
#endif
}

bool DrawAlignedRect(const FastPlan& p, uint8_t* dst, int64_t pitch, int64_t n, int64_t rows,
                     const SpanCoords& c, int64_t sDy, int64_t tDy, uint64_t& written)
{
    using Source = FastPlan::Source;
    if ((p.mSource != Source::Point && p.mSource != Source::Linear) || p.mLinearRow != nullptr ||
        c.ds != TEX_ONE || c.dt != 0 || sDy != 0 || tDy != TEX_ONE || n <= 0 || rows <= 0)
        return false;
    // A whole texel a row keeps every row's fraction and column those of the first, and moves
    // its texel row by one: DispatchSource's test for a 1:1 copy, made for the first row, holds
    // for all of them exactly when the last row stays inside the level too.
    const int64_t s = To256(c.s), t = To256(c.t);
    const bool linear = p.mSource == Source::Linear;
    if (linear && ((s & 255) != 0 || (t & 255) != 0))
        return false;
    const int64_t x0 = linear ? s >> 8 : (s + 128) >> 8;
    const int64_t y0 = linear ? t >> 8 : (t + 128) >> 8;
    const TextureLevel* level = p.mLevel;
    if (!(x0 >= 0 && y0 >= 0 && x0 + n <= level->mWidth && y0 + rows <= level->mHeight))
        return false;
    const uint8_t* src = level->mBits + y0 * level->mPitch + x0 * 4;
    switch (p.mBlend)
    {
    case FastPlan::Blend::Off:
        written = AlignedRows<FastPlan::Blend::Off>(p, dst, pitch, src, n, rows);
        break;
    case FastPlan::Blend::SrcAlpha:
        written = AlignedRows<FastPlan::Blend::SrcAlpha>(p, dst, pitch, src, n, rows);
        break;
    case FastPlan::Blend::SrcAlphaOne:
        written = AlignedRows<FastPlan::Blend::SrcAlphaOne>(p, dst, pitch, src, n, rows);
        break;
    case FastPlan::Blend::Generic:
        written = AlignedRows<FastPlan::Blend::Generic>(p, dst, pitch, src, n, rows);
        break;
    }
    return true;
}

uint64_t DispatchFastSpan(const FastPlan& p, uint32_t* dst, int64_t n, const SpanCoords& c)
{
    if (p.mSource == FastPlan::Source::TwoLevels)
    {
        switch (p.mBlend)
        {
        case FastPlan::Blend::Off:
            return TwoLevelSpan<FastPlan::Blend::Off>(p, dst, n, c);
        case FastPlan::Blend::SrcAlpha:
            return TwoLevelSpan<FastPlan::Blend::SrcAlpha>(p, dst, n, c);
        case FastPlan::Blend::SrcAlphaOne:
            return TwoLevelSpan<FastPlan::Blend::SrcAlphaOne>(p, dst, n, c);
        case FastPlan::Blend::Generic:
            return TwoLevelSpan<FastPlan::Blend::Generic>(p, dst, n, c);
        }
    }
    const int64_t s = c.s, t = c.t, ds = c.ds, dt = c.dt;
    switch (p.mBlend)
    {
    case FastPlan::Blend::Off:
        return DispatchSource<FastPlan::Blend::Off>(p, dst, n, s, t, ds, dt);
    case FastPlan::Blend::SrcAlpha:
        return DispatchSource<FastPlan::Blend::SrcAlpha>(p, dst, n, s, t, ds, dt);
    case FastPlan::Blend::SrcAlphaOne:
        return DispatchSource<FastPlan::Blend::SrcAlphaOne>(p, dst, n, s, t, ds, dt);
    case FastPlan::Blend::Generic:
        break;
    }
    return DispatchSource<FastPlan::Blend::Generic>(p, dst, n, s, t, ds, dt);
}

} // namespace sys::display
