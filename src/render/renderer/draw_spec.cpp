// TDrawSpec: its constructor and the combination with a parent spec.
#include "render/renderer/draw_spec.h"

TDrawSpec::TDrawSpec(const TVec2& position, float alpha, float scale, uint32_t flags)
    : mOrigin(0, 0), mColor(1, 1, 1, 1), mAlpha(alpha), mSourceRect(0, 0, 0, 0), mFlags(flags),
      mBlendMode(kDrawInheritBlend)
{
    if (scale != 1.0f)
        mMatrix = mMatrix * TMat3(scale, 0, 0, 0, scale, 0, 0, 0, 1);
    mMatrix.m[2][0] = position.x;
    mMatrix.m[2][1] = position.y;
    mMatrix.m[2][2] = 1;
}

TDrawSpec TDrawSpec::Combine(const TDrawSpec& parent) const
{
    TDrawSpec result = *this;
    result.mMatrix = mMatrix * parent.mMatrix;
    result.mAlpha = mAlpha * parent.mAlpha;
    result.mFlags = mFlags ^ (parent.mFlags & (kDrawMirrorX | kDrawMirrorY));
    if (mBlendMode == kDrawInheritBlend)
        result.mBlendMode = parent.mBlendMode;
    return result;
}
