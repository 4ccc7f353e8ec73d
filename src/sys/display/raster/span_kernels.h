// Row kernels for texels copied one to one onto A8R8G8B8 pixels: copy, source-over, additive and
// saturating-add blends with the texel modulated by a colour and the alpha test, as scalar
// reference loops and as SSE2 and AVX2 loops that give the same bytes.
#pragma once

#include "sys/display/render_states.h"

#include <cstdint>

namespace sys::display
{

// The instruction sets a kernel can be built for, from none to the widest.
enum class SpanIsa
{
    Scalar,
    Sse2,
    Avx2,
};

enum class SpanBlend
{
    Copy,        // blending off
    SrcAlpha,    // SRCALPHA / INVSRCALPHA
    SrcAlphaOne, // SRCALPHA / ONE
    Add,         // ONE / ONE
};

// What happens to each texel before the test and the blend:
// c = ((texel | or) modulated by multiplier) & keep | set.
struct SpanOp
{
    uint32_t mOrMask = 0;               // 0xFF000000 for a texture without alpha
    uint32_t mMultiplier = 0xFFFFFFFFu; // per-byte product (all 255: none)
    uint32_t mAlphaKeep = 0xFFFFFFFFu;  // 0x00FFFFFF where the alpha is replaced...
    uint32_t mAlphaSet = 0;             // ...by this one
    bool mAlphaTest = false;
    CompareFunc mAlphaFunc = CMP_ALWAYS;
    uint32_t mAlphaRef = 0; // 0..255
};

// Draws n texels from src onto dst (the two do not overlap) and answers the pixels that passed
// the alpha test. The destination of a failing pixel is left as it was.
using SpanKernel = uint64_t (*)(const SpanOp& op, uint32_t* dst, const uint32_t* src, int64_t n);

// The widest set this processor runs, or Scalar when the environment variable
// MURKWELL_SCALAR_SPANS is set to anything but "" or "0". Decided once per process.
SpanIsa ActiveSpanIsa();
bool SpanIsaSupported(SpanIsa isa);

// The kernel of one blend for one set (which must be supported).
SpanKernel GetSpanKernel(SpanIsa isa, SpanBlend blend);

} // namespace sys::display
