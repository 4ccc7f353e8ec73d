// Rectangles, colours, vectors and matrices: the packed layouts and transform conventions.
#include "platform/maths/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

TEST(Rect, UnionAndUncheckedIntersection)
{
    TRect a(0, 0, 10, 10);
    TRect b(20, 5, 30, 8);
    TRect r;
    r.SetUnion(a, b);
    EXPECT_EQ(r, TRect(0, 0, 30, 10));
    r.SetIntersection(a, b);
    EXPECT_EQ(r, TRect(20, 5, 10, 8));
    EXPECT_LT(r.right, r.left);
    TRect neg(-5, -5, 5, 5);
    r.SetIntersection(a, neg);
    EXPECT_EQ(r, TRect(0, 0, 5, 5));
    EXPECT_EQ(r.Width(), 5);
}

TEST(Color, PackedLayout)
{
    EXPECT_EQ(TColor().GetPacked(), 0u);
    EXPECT_EQ(TColor(0x11, 0x22, 0x33, 0x44).GetPacked(), 0x44112233u);
    EXPECT_EQ(TColor(TVec4(1, 0.5f, 0, 1)).GetPacked(), 0xFFFF7F00u);
    TColor c(0x44112233u);
    EXPECT_EQ(c.GetA(), 0x44);
    EXPECT_EQ(c.GetR(), 0x11);
    EXPECT_EQ(c.GetG(), 0x22);
    EXPECT_EQ(c.GetB(), 0x33);
    c.SetA(0xAA);
    c.SetR(0xBB);
    c.SetG(0xCC);
    c.SetB(0xDD);
    EXPECT_EQ(c.GetPacked(), 0xAABBCCDDu);
    // Out-of-range channels are not clamped: 2 * 255 = 510 spills into the alpha byte.
    EXPECT_EQ(TColor(TVec4(2, 0, 0, 0)).GetPacked(), 0x01FE0000u);
}

TEST(Vector, ArithmeticAndNormalize)
{
    TVec2 zero;
    EXPECT_EQ(zero.Normalize(), TVec2(0, 0));
    TVec2 v(3, 4);
    EXPECT_FLOAT_EQ(v.Length(), 5.0f);
    EXPECT_FLOAT_EQ(v.LengthSquared(), 25.0f);
    v.Normalize();
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.y, 0.8f);
    TVec2 w = TVec2(1, 2) + TVec2(3, 4) * 2;
    EXPECT_EQ(w, TVec2(7, 10));
    w /= 2;
    EXPECT_EQ(w, TVec2(3.5f, 5));
    EXPECT_EQ(-w, TVec2(-3.5f, -5));
    EXPECT_FLOAT_EQ(TVec2(1, 2).Dot(TVec2(3, 4)), 11.0f);

    TVec3 p(TVec2(1, 2), 3);
    EXPECT_EQ(p, TVec3(1, 2, 3));
    EXPECT_EQ(TVec3(TVec4(1, 2, 3, 4)), TVec3(1, 2, 3));
    p -= TVec3(1, 1, 1);
    p *= 2;
    EXPECT_EQ(p, TVec3(0, 2, 4));
    EXPECT_FLOAT_EQ(TVec3(2, 3, 6).Length(), 7.0f);

    TVec4 q(TVec3(1, 2, 3), 4);
    q += TVec4(1, 1, 1, 1);
    EXPECT_FALSE(TVec4::NotEqual(q, TVec4(2, 3, 4, 5)));
    EXPECT_TRUE(TVec4::NotEqual(q, TVec4(2, 3, 4, 6)));
    float nan = std::numeric_limits<float>::quiet_NaN();
    TVec4 withNan(nan, 0, 0, 0);
    EXPECT_TRUE(TVec4::NotEqual(withNan, withNan));
}

TEST(Mat3, ScaleRotateKeepTheTranslation)
{
    TMat3 m;
    m.Scale(2);
    m.Rotate(std::numbers::pi_v<float> / 2);
    m.m[2][0] = 10;
    m.m[2][1] = 20;
    TVec2 p = TVec2(1, 0) * m;
    EXPECT_NEAR(p.x, 10.0f, 1e-5f);
    EXPECT_NEAR(p.y, 22.0f, 1e-5f);

    TMat3 moved;
    moved.m[2][0] = 5;
    moved.m[2][1] = 7;
    moved.Scale(3, 4);
    EXPECT_FLOAT_EQ(moved.m[2][0], 5.0f);
    EXPECT_FLOAT_EQ(moved.m[2][1], 7.0f);
    EXPECT_FLOAT_EQ(moved.m[0][0], 3.0f);
    EXPECT_FLOAT_EQ(moved.m[1][1], 4.0f);
    TVec2 d = TransformVector(TVec2(1, 1), moved);
    EXPECT_EQ(d, TVec2(3, 4));
}

TEST(Mat3, RotationIsClockwiseOnScreenAndProductsApplyLeftFirst)
{
    TMat3 r = MakeRotationMatrix(std::numbers::pi_v<float> / 2);
    TVec2 p = TVec2(1, 0) * r;
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
    TMat3 translate(1, 0, 0, 0, 1, 0, 5, 0, 1);
    // Rotate first, then translate.
    TVec2 q = TVec2(1, 0) * (r * translate);
    EXPECT_NEAR(q.x, 5.0f, 1e-6f);
    EXPECT_NEAR(q.y, 1.0f, 1e-6f);
}

TEST(Mat4, ScaleAndRotateArePlainProducts)
{
    TMat4 m;
    m.Translate(TVec3(1, 2, 3));
    m.Scale(2, 3, 4);
    EXPECT_FLOAT_EQ(m.m[3][0], 2.0f);
    EXPECT_FLOAT_EQ(m.m[3][1], 6.0f);
    EXPECT_FLOAT_EQ(m.m[3][2], 12.0f);
    EXPECT_FLOAT_EQ(m.m[3][3], 1.0f);

    TMat4 z;
    z.RotateZ(std::numbers::pi_v<float> / 2);
    EXPECT_NEAR(z.m[0][0], 0.0f, 1e-6f);
    EXPECT_NEAR(z.m[0][1], 1.0f, 1e-6f);
    EXPECT_NEAR(z.m[1][0], -1.0f, 1e-6f);
    TMat4 roll;
    roll.Rotate(0.0f, 0.0f, std::numbers::pi_v<float> / 2);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(roll.m[i][j], z.m[i][j], 1e-6f);
    TMat4 x;
    x.RotateX(std::numbers::pi_v<float> / 2);
    EXPECT_NEAR(x.m[1][2], 1.0f, 1e-6f);
    EXPECT_NEAR(x.m[2][1], -1.0f, 1e-6f);
    TMat4 pitch;
    pitch.Rotate(0.0f, std::numbers::pi_v<float> / 2, 0.0f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(pitch.m[i][j], x.m[i][j], 1e-6f);
}

TEST(Mat4, Perspective)
{
    TMat4 p;
    p.m[3][3] = 7;
    p.SetPerspective(1, 101, std::numbers::pi_v<float> / 2, 0.75f, TVec2(0, 0));
    EXPECT_FLOAT_EQ(p.m[0][0], 0.75f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f);
    EXPECT_EQ(p.m[2][0], 0.0f);
    EXPECT_EQ(p.m[2][1], 0.0f);
    EXPECT_FLOAT_EQ(p.m[2][2], 1.01f);
    EXPECT_EQ(p.m[2][3], 1.0f);
    EXPECT_FLOAT_EQ(p.m[3][2], -1.01f);
    EXPECT_EQ(p.m[3][3], 0.0f);
    p.SetPerspective(1, 101, std::numbers::pi_v<float> / 2, 1, TVec2(1, 0.5f));
    EXPECT_EQ(p.m[2][0], -10000.0f);
    EXPECT_FLOAT_EQ(p.m[2][1], 1.0f);
    p.SetPerspective(1, 101, std::numbers::pi_v<float> / 2, 1, TVec2(0.5f, -1));
    EXPECT_FLOAT_EQ(p.m[2][0], -1.0f);
    EXPECT_EQ(p.m[2][1], -10000.0f);
}
