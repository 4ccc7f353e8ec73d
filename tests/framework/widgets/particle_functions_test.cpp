// The framework's particle nodes run on hand-built programs: sine, normalising, colour lightening
// at its bounds, weighted choice, constant vectors and points on a path.
#include "framework/widgets/particle_functions.h"

#include "framework/core/delta_time.h"

#include "particles/particle_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using particle_test::GuardedParticle;
using particle_test::ProgramBuilder;

// A frame clock reading `frameTime` with the step `step`, for the nodes' seeds.
struct FrameClock
{
    FrameClock(uint32_t frameTime, uint32_t step)
    {
        mClock.SetFrameTime(frameTime);
        mClock.SetStep(step);
    }
    DeltaTime mClock;
};

// Runs the program once; the pushed value (empty when the program failed or pushed nothing).
std::vector<float> RunOnce(const TParticleProgram& program)
{
    GuardedParticle particle;
    TParticleRunner runner(particle_test::kMemberWidths, particle_test::kMemberCount, 16, nullptr);
    // A probe after the program tells whether it ran to the end.
    bool ok = false;
    struct Probe : TParticleFunction
    {
        bool* mOk;
        explicit Probe(bool* ok) : mOk(ok) {}
        uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 0; }
        bool Execute(TParticleContext&, TParticleFrame&) override
        {
            *mOk = true;
            return true;
        }
    };
    TParticleProgram probed = program;
    probed.push_back({std::make_shared<Probe>(&ok), 0});
    runner.Run(probed, particle.Floats());
    EXPECT_TRUE(particle.GuardsIntact());
    if (!ok)
        return {};
    return particle_test::Slot(runner, 0);
}

TEST(FrameworkParticleNodes, SinNormalizeAndColorAdjust)
{
    FrameClock clock(1234, 16);
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(0.5f).Add(ParticleSin::Create(), 1)),
              std::vector<float>{std::sin(0.5f)});
    EXPECT_TRUE(RunOnce(ProgramBuilder().Push(TVec2(1, 2)).Add(ParticleSin::Create(), 1)).empty());

    EXPECT_EQ(RunOnce(ProgramBuilder().Push(TVec2(3, 4)).Add(ParticleNormalize::Create(), 1)),
              (std::vector<float>{0.6f, 0.8f}));
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(TVec2(0, 0)).Add(ParticleNormalize::Create(), 1)),
              (std::vector<float>{0, 0}));

    TVec4 colour(0.2f, 0.5f, 1.0f, 0.3f);
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(0.0f).Push(0.0f).Push(colour).Add(
                  ParticleColorAdjust::Create(), 3)),
              (std::vector<float>{0.2f, 0.5f, 1.0f}));
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(1.0f).Push(1.0f).Push(colour).Add(
                  ParticleColorAdjust::Create(), 3)),
              (std::vector<float>{1, 1, 1}));
    EXPECT_TRUE(RunOnce(ProgramBuilder()
                            .Push(1.0f)
                            .Push(1.0f)
                            .Push(TVec2(1, 1))
                            .Add(ParticleColorAdjust::Create(), 3))
                    .empty());
    EXPECT_STREQ(ParticleColorAdjust().GetClassName(), "ParticleColorAdjust");
    EXPECT_TRUE(ParticleRandom().IsKindOf(TParticleFunction::ClassId()));
}

TEST(FrameworkParticleNodes, RandomChoosesInProportionToTheWeights)
{
    FrameClock clock(77, 16);
    std::shared_ptr<TParticleFunction> node = ParticleRandom::Create();
    ProgramBuilder program;
    program.Push(TVec2(1, 1)).Push(1.0f).Push(TVec2(2, 2)).Push(3.0f).Add(node, 4);
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 4000; ++i)
        ++counts[static_cast<int>(RunOnce(program).at(0))];
    EXPECT_NEAR(counts[1], 1000, 100);
    EXPECT_NEAR(counts[2], 3000, 100);

    // Weight 0 for the first: the second always; weights whose sums stay below the draw: the last
    // pair; an odd count or none fails.
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(5.0f).Push(0.0f).Push(6.0f).Push(1.0f).Add(
                  ParticleRandom::Create(), 4)),
              std::vector<float>{6});
    EXPECT_EQ(RunOnce(ProgramBuilder().Push(5.0f).Push(-3.0f).Push(6.0f).Push(2.0f).Add(
                  ParticleRandom::Create(), 4)),
              std::vector<float>{6});
    EXPECT_TRUE(
        RunOnce(ProgramBuilder().Push(5.0f).Push(1.0f).Push(6.0f).Add(ParticleRandom::Create(), 3))
            .empty());
    EXPECT_TRUE(RunOnce(ProgramBuilder().Push(5.0f).Add(ParticleRandom::Create(), 0)).empty());
}

TEST(FrameworkParticleNodes, VectorsOfWidthOneToFourOnly)
{
    auto vector = std::make_shared<ParticleVector>();
    ProgramBuilder program;
    program.Add(vector, 0);
    EXPECT_TRUE(RunOnce(program).empty());
    vector->mWidth = 2;
    vector->mValue[0] = 4;
    vector->mValue[1] = 5;
    EXPECT_EQ(RunOnce(program), (std::vector<float>{4, 5}));
    EXPECT_EQ(vector->GetWidth(0, nullptr), 2);
    vector->mWidth = 5;
    EXPECT_TRUE(RunOnce(program).empty());
}

TEST(FrameworkParticleNodes, PathPointsLieOnThePolylineSpreadByLength)
{
    FrameClock clock(0, 16);
    auto path = std::make_shared<ParticlePathRandom>();
    path->SetPath("{0,0,10,0,10,30,");
    ASSERT_EQ(path->mPoints.size(), 3u);
    EXPECT_FLOAT_EQ(path->mCumulative[1], 0.25f);
    EXPECT_FLOAT_EQ(path->mCumulative[2], 1.0f);
    path->mOffset = TVec2(100, 200);
    ProgramBuilder program;
    program.Add(path, 0);
    int first = 0;
    int second = 0;
    for (int i = 0; i < 4000; ++i)
    {
        std::vector<float> p = RunOnce(program);
        ASSERT_EQ(p.size(), 2u);
        float x = p[0] - 100;
        float y = p[1] - 200;
        if (y == 0 && x >= 0 && x <= 10)
            ++first;
        else if (x == 10 && y >= 0 && y <= 30)
            ++second;
        else
            ADD_FAILURE() << x << "," << y;
    }
    EXPECT_NEAR(first, 1000, 100);
    EXPECT_NEAR(second, 3000, 100);

    // A final y without its comma is still read; a lone x is dropped.
    path->SetPath("{1,2,3,4");
    EXPECT_EQ(path->mPoints.size(), 2u);
    path->SetPath("{1,2,3,");
    EXPECT_EQ(path->mPoints.size(), 1u);
    // One point, or no length: that point plus the offset; no points: the offset.
    EXPECT_EQ(RunOnce(program), (std::vector<float>{101, 202}));
    path->SetPath("{5,5,5,5,");
    EXPECT_EQ(RunOnce(program), (std::vector<float>{105, 205}));
    path->SetPath("");
    EXPECT_EQ(RunOnce(program), (std::vector<float>{100, 200}));
}
} // namespace
