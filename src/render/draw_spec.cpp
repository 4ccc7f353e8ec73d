// TDrawSpec's constructor.
#include "render/draw_spec.h"

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
