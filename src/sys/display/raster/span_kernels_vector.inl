// The vector row loop of span_kernels.cpp, written once over an instruction set's operations
// (struct Ops) and included once per set, each time inside that set's own namespace and target.
// Bytes are split into 16-bit lanes by masks and shifts (blue and red, then green and alpha)
// rather than by unpacking, which keeps the loop off the shuffle unit.

// x / 255 rounded, for x up to 65025: ((x + 128) * 257) >> 16, the same value as (x + 127) / 255.
[[gnu::always_inline]] inline Ops::V Div255V(Ops::V x)
{
    return Ops::MulHi16(Ops::Add16(x, Ops::Set1(0x00800080u)), Ops::Set1(0x01010101u));
}

[[gnu::always_inline]] inline Ops::V Merge(Ops::V even, Ops::V odd)
{
    return Ops::Or(even, Ops::Slli16(odd, 8));
}

// Each byte of c times the byte of m in the same place (m given as its even and odd lanes).
[[gnu::always_inline]] inline Ops::V ModulateV(Ops::V c, Ops::V mEven, Ops::V mOdd)
{
    const Ops::V low = Ops::Set1(0x00FF00FFu);
    return Merge(Div255V(Ops::Mullo16(Ops::And(c, low), mEven)),
                 Div255V(Ops::Mullo16(Ops::Srli16(c, 8), mOdd)));
}

// Alpha of each pixel in both of its 16-bit halves.
[[gnu::always_inline]] inline Ops::V AlphaWords(Ops::V c)
{
    Ops::V a = Ops::Srli32(c, 24);
    return Ops::Or(a, Ops::Slli32(a, 16));
}

// Source-over of c onto d on all four bytes: (c * a + d * (255 - a)) / 255 rounded, a being the
// alpha of c. Sets with byte-pair multiply-adds (Ops::PAIRED) take one product per channel pair
// in place of four split products per two channels.
template <class O>
[[gnu::always_inline]] inline typename O::V
SourceOverV([[maybe_unused]] const typename O::OverConsts& over, typename O::V c, typename O::V d)
{
    if constexpr (O::PAIRED)
        return O::SourceOver(over, c, d);
    else
    {
        using V = typename O::V;
        const V low = O::Set1(0x00FF00FFu);
        const V a = AlphaWords(c);
        const V ia = O::Sub16(low, a);
        V even = O::Add16(O::Mullo16(O::And(c, low), a), O::Mullo16(O::And(d, low), ia));
        V odd = O::Add16(O::Mullo16(O::Srli16(c, 8), a), O::Mullo16(O::Srli16(d, 8), ia));
        return Merge(Div255V(even), Div255V(odd));
    }
}

// What a row loop applies, worked out once per call.
struct RowConsts
{
    Ops::V mOrMask, mEven, mOdd, mKeep, mSet, mRef, mFlip;
    int mCompare; // 0 none, 1 alpha < ref, 2 alpha > ref, 3 alpha == ref; then xor mFlip
    bool mReplaceAlpha;
    bool mFuse; // the test drops exactly alpha 0, which the blend's own check counts
};

// The loop over whole vectors. MODULATE and GENERAL (a replaced alpha or a compare) are template
// arguments so that the common rows (a texel as it is, the usual test folded into the blend) run
// a loop without the branches of the others.
template <SpanBlend B, bool MODULATE, bool GENERAL>
[[gnu::always_inline]] inline uint64_t RowLoop(const RowConsts& k, uint32_t* dst,
                                               const uint32_t* src, int64_t n, int64_t& done)
{
    using V = Ops::V;
    constexpr int N = Ops::PIXELS;
    constexpr int ALL = (1 << N) - 1;
    const V low = Ops::Set1(0x00FF00FFu);
    const V zero = Ops::Set1(0);
    const V ones = Ops::Set1(0xFFFFFFFFu);
    const int fusedClear = k.mFuse ? ALL : 0; // the clear pixels the count leaves out
    const auto over = Ops::MakeOverConsts();
    uint64_t written = 0;
    int64_t i = 0;
    for (; i + N <= n; i += N)
    {
        V c = Ops::Or(Ops::Load(src + i), k.mOrMask);
        if constexpr (MODULATE)
            c = ModulateV(c, k.mEven, k.mOdd);
        if (GENERAL && k.mReplaceAlpha)
            c = Ops::Or(Ops::And(c, k.mKeep), k.mSet);
        const V alpha = Ops::Srli32(c, 24);
        int pass = ALL;
        V passMask = ones;
        if (GENERAL && k.mCompare != 0)
        {
            V base = k.mCompare == 1   ? Ops::CmpGt32(k.mRef, alpha)
                     : k.mCompare == 2 ? Ops::CmpGt32(alpha, k.mRef)
                                       : Ops::CmpEq32(alpha, k.mRef);
            passMask = Ops::Xor(base, k.mFlip);
            pass = Ops::PixelBits(passMask);
            if (pass == 0)
                continue;
        }
        uint32_t* d = dst + i;
        V out;
        if constexpr (B == SpanBlend::Copy || B == SpanBlend::Add)
        {
            written += Ops::CountPixels(pass);
            if constexpr (B == SpanBlend::Copy)
                out = c;
            else
                out = Ops::AddSat8(c, Ops::Load(d));
        }
        else
        {
            const int clear = Ops::PixelBits(Ops::CmpEq32(alpha, zero));
            written += Ops::CountPixels(pass & ~(clear & fusedClear));
            if (clear == ALL)
                continue; // alpha 0 leaves every destination pixel as it is
            if constexpr (B == SpanBlend::SrcAlpha)
            {
                if (clear == 0 && Ops::AllOpaque(c))
                    out = c;
                else
                    out = SourceOverV<Ops>(over, c, Ops::Load(d));
            }
            else
            {
                const V a = AlphaWords(c);
                V scaled = Merge(Div255V(Ops::Mullo16(Ops::And(c, low), a)),
                                 Div255V(Ops::Mullo16(Ops::Srli16(c, 8), a)));
                out = Ops::AddSat8(scaled, Ops::Load(d));
            }
        }
        if (GENERAL && pass != ALL)
            out = Ops::Or(Ops::And(passMask, out), Ops::AndNot(passMask, Ops::Load(d)));
        Ops::Store(d, out);
    }
    done = i;
    return written;
}

// Source-over of rows without a replaced alpha or an alpha compare, on sets that test a vector's
// alpha bytes in one instruction: one test per vector sends it to the blend, and only vectors
// that are all clear or all opaque take a second. The clear pixels of blended vectors are
// counted in vector lanes, flushed every 255 vectors, instead of through a mask per vector.
template <class O, bool MODULATE, bool OR>
[[gnu::always_inline]] inline uint64_t SourceOverRows(const RowConsts& k, uint32_t* dst,
                                                      const uint32_t* src, int64_t n, int64_t& done)
{
    using V = typename O::V;
    constexpr int N = O::PIXELS;
    const V alphaMask = O::Set1(0xFF000000u);
    const auto over = O::MakeOverConsts();
    uint64_t clear = 0;   // clear pixels of blended vectors
    uint64_t skipped = 0; // vectors that were all clear
    int64_t i = 0;
    while (i + N <= n)
    {
        const int64_t end = std::min(n - (N - 1), i + int64_t{255} * N);
        V counts = O::Set1(0);
        for (; i < end; i += N)
        {
            V c = O::Load(src + i);
            if constexpr (OR)
                c = O::Or(c, k.mOrMask);
            if constexpr (MODULATE)
                c = ModulateV(c, k.mEven, k.mOdd);
            if (O::NeedsBlend(c, alphaMask)) [[likely]]
            {
                counts = O::CountClear(counts, c);
                O::Store(dst + i, SourceOverV<O>(over, c, O::Load(dst + i)));
            }
            else if (O::AllClear(c, alphaMask))
                ++skipped;
            else
                O::Store(dst + i, c);
        }
        clear += O::SumClear(counts);
    }
    done = i;
    // Without the folded test every pixel counts as written, clear ones included.
    return k.mFuse ? static_cast<uint64_t>(i) - clear - skipped * N : static_cast<uint64_t>(i);
}

// Answers the pixels written; `done` the pixels handled (a multiple of the vector width).
template <SpanBlend B>
[[gnu::always_inline]] inline uint64_t VectorRows(const SpanOp& op, uint32_t* dst,
                                                  const uint32_t* src, int64_t n, int64_t& done)
{
    constexpr int N = Ops::PIXELS;
    RowConsts k;
    k.mOrMask = Ops::Set1(op.mOrMask);
    const bool modulate = op.mMultiplier != 0xFFFFFFFFu;
    k.mEven = Ops::Set1(op.mMultiplier & 0x00FF00FFu);
    k.mOdd = Ops::Set1((op.mMultiplier >> 8) & 0x00FF00FFu);
    k.mReplaceAlpha = op.mAlphaKeep != 0xFFFFFFFFu || op.mAlphaSet != 0;
    k.mKeep = Ops::Set1(op.mAlphaKeep);
    k.mSet = Ops::Set1(op.mAlphaSet);
    k.mRef = Ops::Set1(op.mAlphaRef & 0xFF);
    // The test as one compare, perhaps inverted.
    int compare = 0;
    bool invert = true; // no compare, inverted: every pixel passes
    if (op.mAlphaTest)
    {
        switch (op.mAlphaFunc)
        {
        case CMP_NEVER:
            done = n - n % N;
            return 0;
        case CMP_LESS:
            compare = 1, invert = false;
            break;
        case CMP_EQUAL:
            compare = 3, invert = false;
            break;
        case CMP_LESSEQUAL:
            compare = 2, invert = true;
            break;
        case CMP_GREATER:
            compare = 2, invert = false;
            break;
        case CMP_NOTEQUAL:
            compare = 3, invert = true;
            break;
        case CMP_GREATEREQUAL:
            compare = 1, invert = true;
            break;
        default: // ALWAYS, and values the device never stores
            break;
        }
    }
    // A test that drops exactly alpha 0 (the display code's >= 1) before a blend that leaves the
    // destination as it is for alpha 0 changes no byte: the blend's own check of alpha 0 counts
    // the pixels instead.
    const bool dropsClear = (compare == 1 && invert && (op.mAlphaRef & 0xFF) == 1) ||
                            (compare == 2 && !invert && (op.mAlphaRef & 0xFF) == 0) ||
                            (compare == 3 && invert && (op.mAlphaRef & 0xFF) == 0);
    k.mFuse = dropsClear && (B == SpanBlend::SrcAlpha || B == SpanBlend::SrcAlphaOne);
    if (k.mFuse)
        compare = 0, invert = true;
    k.mCompare = compare;
    k.mFlip = invert ? Ops::Set1(0xFFFFFFFFu) : Ops::Set1(0);
    if (k.mReplaceAlpha || compare != 0)
        return modulate ? RowLoop<B, true, true>(k, dst, src, n, done)
                        : RowLoop<B, false, true>(k, dst, src, n, done);
    if constexpr (B == SpanBlend::SrcAlpha && Ops::PAIRED && Ops::TESTS_ALPHA)
    {
        if (op.mOrMask != 0)
            return modulate ? SourceOverRows<Ops, true, true>(k, dst, src, n, done)
                            : SourceOverRows<Ops, false, true>(k, dst, src, n, done);
        return modulate ? SourceOverRows<Ops, true, false>(k, dst, src, n, done)
                        : SourceOverRows<Ops, false, false>(k, dst, src, n, done);
    }
    return modulate ? RowLoop<B, true, false>(k, dst, src, n, done)
                    : RowLoop<B, false, false>(k, dst, src, n, done);
}
