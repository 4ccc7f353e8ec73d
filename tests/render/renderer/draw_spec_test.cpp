// TDrawSpec's constructor: the order of scale and translation and every default.
#include "render/renderer/draw_spec.h"

#include <gtest/gtest.h>

TEST(DrawSpecTest, ConstructorScalesThenPlacesAndFillsTheDefaults)
{
    TDrawSpec spec(TVec2(3, -4), 0.5f, 2.0f, kDrawMirrorX | kDrawOrigin);
    const float expected[3][3] = {{2, 0, 0}, {0, 2, 0}, {3, -4, 1}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(spec.mMatrix.m[r][c], expected[r][c]) << r << "," << c;
    EXPECT_EQ(spec.mOrigin, TVec2(0, 0));
    EXPECT_EQ(spec.mColor, TVec4(1, 1, 1, 1));
    EXPECT_EQ(spec.mAlpha, 0.5f);
    EXPECT_EQ(spec.mSourceRect, TRect(0, 0, 0, 0));
    EXPECT_EQ(spec.mFlags, 9u);
    EXPECT_EQ(spec.mBlendMode, -1);

    // The sprite's own spec: position (0, 0), alpha 1, scale 1, no flags.
    TDrawSpec plain;
    const float identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(plain.mMatrix.m[r][c], identity[r][c]);
    EXPECT_EQ(plain.mAlpha, 1.0f);
    EXPECT_EQ(plain.mFlags, 0u);
    EXPECT_EQ(kDrawMirrorY | kDrawSourceRect, 6u);
}
