// Transform instructions: the progress curve and its exact ends, delays, relative steps, the
// from-current marker, replays, headings, anchors and the path files with their edge cases.
#include "framework/transforms/transform_instructions.h"

#include "framework/transforms/model.h"
#include "framework/transforms/transform_target.h"
#include "framework/framework_test_support.h"
#include "render/renderer/draw_spec.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using fwtest::TransformTest;

class InstructionTest : public TransformTest
{
protected:
    InstructionTest() : mTarget(&mSpec) {}
    // Hands one instruction over to the manager as a list of its own.
    uint32_t Run(TM_Instruction* in)
    {
        auto* list = new TM_InstructionList;
        list->push_back(in);
        return mManager.AddTransform(&mTarget, list);
    }
    TDrawSpec mSpec;
    TM_Transform2D mTarget;
};

TEST_F(InstructionTest, LinearAndLogisticProgressWithExactEnds)
{
    TM_Alpha linear(1000, 1, 0, 0, 1.0f);
    linear.Start(&mTarget);
    EXPECT_TRUE(linear.Update(250));
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.25f);

    TM_Alpha logistic(1000, 1, 0, 0, -0.5f);
    logistic.Start(&mTarget);
    EXPECT_TRUE(logistic.Update(0));
    EXPECT_NEAR(mSpec.mAlpha, 0.0025f, 1e-4);
    EXPECT_TRUE(logistic.Update(250));
    EXPECT_NEAR(mSpec.mAlpha, 0.0474f, 1e-4);
    EXPECT_TRUE(logistic.Update(500));
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.5f);
    EXPECT_TRUE(logistic.Update(999));
    EXPECT_LT(mSpec.mAlpha, 1.0f);
    EXPECT_FALSE(logistic.Update(1000));
    EXPECT_EQ(mSpec.mAlpha, 1.0f);

    // Duration 0 ends at its first step with the end value.
    TM_Scale instant(0, 3, 1, 0, -0.5f);
    instant.Start(&mTarget);
    EXPECT_FALSE(instant.Update(0));
    EXPECT_EQ(mTarget.GetScale(), TVec3(3, 3, 3));
}

TEST_F(InstructionTest, FromCurrentIsTakenAtHandOverEvenWithALongDelay)
{
    mSpec.mAlpha = 0.6f;
    Run(new TM_Alpha(1000, 0, kFromCurrent, 2000, -0.5f));
    mSpec.mAlpha = 0.9f; // changed while the instruction waits for its delay
    Frame(5000);
    EXPECT_EQ(mSpec.mAlpha, 0.9f);
    Frame(7500);
    EXPECT_NEAR(mSpec.mAlpha, 0.3f, 1e-6);
    Frame(8000);
    EXPECT_EQ(mSpec.mAlpha, 0.0f);
}

// A delay and a duration that pass the clock's 32 bits together end at its last count, not at a
// wrapped time before they start.
TEST_F(InstructionTest, ADelayAndDurationPastTheClocksCountEndAtItsLast)
{
    TM_Alpha far(3000000000u, 1, 0, 3000000000u, 1.0f);
    EXPECT_EQ(far.mEndTime, UINT32_MAX);
    far.Start(&mTarget);
    EXPECT_TRUE(far.Update(3000000000u + 1500000000u));
    EXPECT_NEAR(mSpec.mAlpha, 0.5f, 1e-6);
    TM_Alpha near(100, 1, 0, 50, 1.0f);
    EXPECT_EQ(near.mEndTime, 150u);
}

TEST_F(InstructionTest, DelayedInstructionStartsAndMovesInTheSameUpdate)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Alpha(100, 0.5f, 0, 0, 1.0f));
    list->push_back(new TM_Move(1000, true, TVec2(100, 0), TVec2(0, 0), 500, 1.0f));
    mManager.AddTransform(&mTarget, list);
    Frame(1000);
    Frame(1499);
    EXPECT_EQ(mTarget.GetX(), 0.0f);
    EXPECT_EQ(mSpec.mAlpha, 0.5f);
    Frame(1600);
    EXPECT_FLOAT_EQ(mTarget.GetX(), 10.0f);
    EXPECT_EQ(mTarget.GetZ(), 1.0f);
    Frame(2499);
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 1u);
    Frame(2500);
    EXPECT_EQ(mTarget.GetX(), 100.0f);
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 0u);
}

TEST_F(InstructionTest, RelativeInstructionsAddUp)
{
    auto* list = new TM_InstructionList;
    list->push_back(new TM_Move(1000, false, TVec2(10, 0), TVec2(0, 0), 0, -0.5f));
    list->push_back(new TM_Move(1000, false, TVec2(10, 0), TVec2(0, 0), 0, 1.0f));
    list->push_back(new TM_Move(400, false, TVec2(0, 10), TVec2(0, 0), 300, -0.5f));
    mTarget.SetPosition(5, 5, 1);
    mManager.AddTransform(&mTarget, list);
    for (uint32_t t = 0; t <= 1000; t += 90)
        Frame(t);
    Frame(1000);
    EXPECT_NEAR(mTarget.GetX(), 25.0f, 1e-4);
    EXPECT_NEAR(mTarget.GetY(), 15.0f, 1e-4);
    EXPECT_EQ(mTarget.GetZ(), 1.0f);
}

TEST_F(InstructionTest, LoopingReplaysTheBeginTakenAtTheFirstStart)
{
    mSpec.mAlpha = 0.6f;
    uint32_t id = Run(new TM_Alpha(100, 0, kFromCurrent, 0, 1.0f));
    mManager.SetLooping(id);
    Frame(10);
    Frame(110); // ends at 0
    EXPECT_EQ(mSpec.mAlpha, 0.0f);
    Frame(200); // the replay's first update
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.6f);
    Frame(250);
    EXPECT_FLOAT_EQ(mSpec.mAlpha, 0.3f);
}

TEST_F(InstructionTest, HeadingsReachA2dTargetInTurnsAnd3dInRadians)
{
    auto* move = new TM_Move(1000, true, TVec2(0, 10), TVec2(0, 0), 0, 1.0f);
    move->mFaceDirection = 1;
    Run(move);
    Frame(0);
    EXPECT_FLOAT_EQ(mTarget.GetRotationZ(), 0.25f);

    Model model;
    TM_Transform3D target3d(&model);
    auto* list = new TM_InstructionList;
    auto* move3d = new TM_Move(1000, TVec3(-10, 0, 0), TVec3(0, 0, 0), 1.0f);
    move3d->mFaceDirection = 1;
    list->push_back(move3d);
    mManager.AddTransform(&target3d, list);
    Frame(10);
    EXPECT_FLOAT_EQ(model.GetRotation().z, 1.5707963705062866f + 1.5707963705062866f);
}

TEST_F(InstructionTest, AnchorsAndAlignment)
{
    mTarget.mWidth = 800;
    mTarget.mHeight = 600;
    mTarget.SetAnchor(5);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(400, 300, 1));
    mTarget.SetAnchor(10);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(800, 600, 1));
    mTarget.SetAnchor(3);
    mTarget.SetAnchor(7);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(800, 600, 1));
    SetDrawSpecAlignment(&mTarget, 9, 101, 50);
    EXPECT_EQ(mSpec.mOrigin, TVec2(50, 50));
    EXPECT_EQ(mTarget.GetPosition(), TVec3(800, 600, 1));
}

// ---- path files ----

class PathTest : public InstructionTest
{
protected:
    TM_MovePath* Path(const std::string& text, float fraction = 0, uint32_t duration = 2000,
                      TVec2 start = kFromCurrent2)
    {
        MemoryFile("paths/p.txt", text);
        return new TM_MovePath(duration, "paths/p.txt", start, false, fraction, 1.0f);
    }
};

TEST_F(PathTest, TokensAreCommaSeparatedAndTheCountOnlyReserves)
{
    std::unique_ptr<TM_MovePath> path(Path("3,0,0,100,0,100,100"));
    ASSERT_EQ(path->mPoints.size(), 3u);
    EXPECT_EQ(path->mPoints[2], TVec3(100, 100, 0));
    EXPECT_EQ(path->mFractions, (std::vector<double>{0, 0.5, 1}));

    // Comma runs are one separator; blanks and line breaks sit inside tokens; the count is no
    // limit; a lone last value is left out.
    path.reset(Path("1,, 2.5 ,\r\n-4e1,,\n7 ,8, 9"));
    ASSERT_EQ(path->mPoints.size(), 2u);
    EXPECT_EQ(path->mPoints[0], TVec3(2.5f, -40, 0));
    EXPECT_EQ(path->mPoints[1], TVec3(7, 8, 0));
    path.reset(Path("-7,0,0,3,4"));
    EXPECT_EQ(path->mPoints.size(), 2u);
    path.reset(Path("4000000000,0,0,3,4"));
    EXPECT_EQ(path->mPoints.size(), 2u);
    // Fractions are stored at single precision.
    path.reset(Path("3,0,0,1,0,4,0"));
    EXPECT_EQ(path->mFractions[1], static_cast<double>(0.25f));
    path.reset(Path("3,0,0,1,0,3,0"));
    EXPECT_EQ(path->mFractions[1], static_cast<double>(static_cast<float>(1.0 / 3.0)));
}

TEST_F(PathTest, StartPositionAndFraction)
{
    std::unique_ptr<TM_MovePath> path(Path("3,0,0,100,0,100,100", 0, 2000, TVec2(50, 50)));
    EXPECT_EQ(path->mPoints[1], TVec3(150, 50, 0));
    EXPECT_EQ(path->mPoints[2], TVec3(150, 150, 0));
    path.reset(Path("3,0,0,100,0,100,100", 0.5f));
    EXPECT_EQ(path->mStartIndex, 0u);
    path.reset(Path("3,0,0,100,0,100,100", 0.75f));
    EXPECT_EQ(path->mStartIndex, 1u);
    EXPECT_EQ(path->mStartPoint, TVec3(100, 0, 0));
    path.reset(Path("3,0,0,100,0,100,100", 1.5f));
    EXPECT_EQ(path->mStartIndex, 1u);

    Run(Path("3,0,0,100,0,100,100", 0.75f));
    Frame(100);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(100, 50, 1));
}

TEST_F(PathTest, HalfwayStartBeginsOnTheFirstSegmentAndEndsEarly)
{
    Run(Path("3,0,0,100,0,100,100", 0.5f));
    Frame(1000);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(100, 0, 1));
    Frame(1500);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(100, 50, 1));
    Frame(1999);
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 1u);
    Frame(2000);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(100, 100, 1));
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 0u);
}

TEST_F(PathTest, ShortPathsAndZeroLengthSegments)
{
    mTarget.SetPosition(7, 7, 1);
    Run(Path("1,5,5"));
    Run(Path("1,5"));
    Frame(0);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(7, 7, 1));
    EXPECT_EQ(mManager.GetTransformCount(&mTarget), 0u);

    Run(Path("3,0,0,0,0,10,0", 0, 1000));
    Frame(100);
    Frame(600);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(5, 0, 1));
    Run(Path("2,5,5,5,5", 0, 1000));
    Frame(700);
    EXPECT_EQ(mTarget.GetPosition(), TVec3(5, 5, 1));
}

TEST_F(PathTest, OrientingEasesATenthTowardsTheHeadingInTurns)
{
    MemoryFile("paths/o.txt", "2,0,0,0,100");
    Run(new TM_MovePath(1000, "paths/o.txt", kFromCurrent2, true, 0, 1.0f));
    mTarget.SetPosition(0, 0, 1);
    Frame(0);
    EXPECT_FLOAT_EQ(mTarget.GetRotationZ(), 0.25f); // the first step turns at once
    Frame(100);
    EXPECT_FLOAT_EQ(mTarget.GetRotationZ(), 0.25f); // heading along +y stays 0.25
}

TEST_F(PathTest, UnreadableFilesReportTheirOwnName)
{
    std::unique_ptr<TM_MovePath> path(
        new TM_MovePath(100, "paths/missing.txt", kFromCurrent2, false, 0, 1.0f));
    EXPECT_TRUE(path->mPoints.empty());
    EXPECT_TRUE(mLog.Has("ERROR:paths/missing.txt   FILE:tminstruction LINE:213\n"));
    path.reset(Path(""));
    EXPECT_TRUE(mLog.Has("ERROR:Unable to read file   FILE:tminstruction LINE:223\n"));
}
} // namespace
