// TDrawSpec: the transform, colour, alpha, source rectangle, flags and blend mode with which a
// sprite or a texture is drawn, and how a child's spec combines with its parent's.
#pragma once

#include "platform/maths/geometry.h"

#include <cstdint>

// Flag bits.
enum : uint32_t
{
    kDrawMirrorX = 1u << 0,
    kDrawMirrorY = 1u << 1,
    kDrawSourceRect = 1u << 2,
    kDrawOrigin = 1u << 3
};

// Blend mode of a spec that takes its parent's.
constexpr int32_t kDrawInheritBlend = -1;

// A plain value, copied field by field.
struct TDrawSpec
{
    // Rows 0-1 the linear part, row 2 the translation (x, y, 1).
    TMat3 mMatrix;
    // With kDrawOrigin the point of the image placed at the position.
    TVec2 mOrigin;
    // r, g, b, a.
    TVec4 mColor;
    float mAlpha;
    // In texture pixels; used instead of the whole texture with kDrawSourceRect.
    TRect mSourceRect;
    uint32_t mFlags;
    // A renderer blend-mode number, or kDrawInheritBlend.
    int32_t mBlendMode;

    // Identity scaled by `scale` (when not exactly 1) and moved to `position`; white, no source
    // rectangle, origin (0, 0), blend mode inherited.
    explicit TDrawSpec(const TVec2& position = TVec2(), float alpha = 1.0f, float scale = 1.0f,
                       uint32_t flags = 0);

    // This spec under `parent`: the child's transform first, alphas multiplied, mirror bits
    // toggled by the parent's, the parent's blend mode when this one inherits. Colour, origin and
    // source rectangle stay this spec's own.
    TDrawSpec Combine(const TDrawSpec& parent) const;
};
