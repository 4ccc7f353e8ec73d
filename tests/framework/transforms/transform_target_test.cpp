// Transform targets: the 2-D target's ratio scaling (translation row included, and back from 0),
// rotation in turns as a difference, alpha unclamped; the 3-D target's clamped alpha and the
// model's world matrix and following light.
#include "framework/transforms/transform_target.h"

#include "framework/transforms/model.h"
#include "render/renderer/draw_spec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
void ExpectMatrix(const TMat3& m, const TMat3& want)
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(m.m[r][c], want.m[r][c], 1e-5) << "row " << r << " column " << c;
}

TEST(Transform2DTest, ScaleByRatioIncludingTheTranslationRow)
{
    TDrawSpec spec(TVec2(10, 20));
    spec.mMatrix.m[0][1] = 0.5f;
    TM_Transform2D target(&spec);
    target.SetScaleX(2);
    ExpectMatrix(spec.mMatrix, TMat3(2, 0.5f, 0, 0, 1, 0, 20, 20, 1));
    target.SetScaleX(1);
    ExpectMatrix(spec.mMatrix, TMat3(1, 0.5f, 0, 0, 1, 0, 10, 20, 1));
    target.SetScale(TVec3(4, 0.5f, 9)); // z is only stored
    ExpectMatrix(spec.mMatrix, TMat3(4, 0.25f, 0, 0, 0.5f, 0, 40, 10, 1));
    EXPECT_EQ(target.GetScale(), TVec3(4, 0.5f, 9));
    target.SetUniformScale(1);
    ExpectMatrix(spec.mMatrix, TMat3(1, 0.5f, 0, 0, 1, 0, 10, 20, 1));
}

TEST(Transform2DTest, AColumnScaledToZeroComesBack)
{
    TDrawSpec spec(TVec2(10, 20), 1.0f, 2.0f);
    TM_Transform2D target(&spec);
    target.SetScale(0, 0, 0);
    ExpectMatrix(spec.mMatrix, TMat3(0, 0, 0, 0, 0, 0, 0, 0, 1));
    target.SetScaleX(3);
    EXPECT_EQ(target.GetScaleX(), 3.0f);
    ExpectMatrix(spec.mMatrix, TMat3(6, 0, 0, 0, 0, 0, 30, 0, 1));
    // A translation written while the column was 0 is kept, scaled as any translation is.
    target.SetY(5);
    target.SetScaleY(0.5f);
    ExpectMatrix(spec.mMatrix, TMat3(6, 0, 0, 0, 1, 0, 30, 2.5f, 1));
}

TEST(Transform2DTest, RotationCountsTurnsAndOnlyZReachesTheMatrix)
{
    TDrawSpec spec;
    TM_Transform2D target(&spec);
    target.SetRotationX(0.5f);
    target.SetRotationY(0.5f);
    ExpectMatrix(spec.mMatrix, TMat3());
    EXPECT_EQ(target.GetRotationX(), 0.5f);
    target.SetRotationZ(0.25f);
    target.SetRotationZ(0.25f); // no difference, no change
    // Rotated by -pi/2: rows (cos, sin), (-sin, cos) of that angle.
    ExpectMatrix(spec.mMatrix, TMat3(0, -1, 0, 1, 0, 0, 0, 0, 1));
    target.SetRotation(TVec3(0, 0, 0));
    ExpectMatrix(spec.mMatrix, TMat3());
    EXPECT_EQ(target.GetRotation(), TVec3(0, 0, 0));
}

TEST(TransformAlphaTest, TwoDStoresAsGivenThreeDClamps)
{
    TDrawSpec spec;
    TM_Transform2D flat(&spec);
    flat.SetAlpha(1.7f);
    EXPECT_EQ(flat.GetAlpha(), 1.7f);
    Model model;
    TM_Transform3D solid(&model);
    solid.SetAlpha(1.7f);
    EXPECT_EQ(solid.GetAlpha(), 1.0f);
    solid.SetAlpha(-0.3f);
    EXPECT_EQ(model.mMaterial.mDiffuse.w, 0.0f);
}

TEST(ModelTest, WorldMatrixKeepsOnlyTheLastKindOfChange)
{
    Model model;
    TM_Transform3D target(&model);
    target.SetPosition(1, 2, 3);
    target.SetRotation(0, 1.5f, 0);
    EXPECT_NE(model.mWorld.m[0][0], 1.0f);
    target.SetScale(2, 2, 2);
    TMat4 want(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 2, 3, 1);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(model.mWorld.m[r][c], want.m[r][c]);
    EXPECT_EQ(target.GetRotationY(), 1.5f);
}

TEST(ModelTest, TheLightFollowsMovesOnlyWhenAsked)
{
    Model model;
    TM_Transform3D target(&model);
    target.SetX(5);
    EXPECT_EQ(model.mLight.mPosition, TVec3(0, 0, 0));
    model.mLightFollows = true;
    target.SetPosition(TVec3(15, 0, 0));
    target.SetY(-2);
    EXPECT_EQ(model.mLight.mPosition, TVec3(10, -2, 0));
    EXPECT_EQ(model.mLight.mDirection, TVec3(0, 0, 1));
    EXPECT_EQ(model.mWorld.m[3][0], 15.0f);
    EXPECT_EQ(model.mWorld.m[3][1], -2.0f);
}
} // namespace
