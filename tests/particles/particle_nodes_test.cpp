// Particle nodes on hand-built programs: every node type, their checks and faults, the messages
// they report, compile-time against run-time widths, and draws from a known seed.
#include "particle_test_support.h"

#include "particles/particle_random.h"
#include "platform/maths/random.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace particle_nodes_test
{
using namespace particle_test;

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int kMarker = 11; // the velocity's y: a program that completes writes 1 there

// A registered function: a constant 3-float vector.
class ConstantFunction : public TParticleFunction
{
public:
    uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 3; }
    bool Execute(TParticleContext&, TParticleFrame& frame) override
    {
        ++mRuns;
        const float value[3] = {10.0f, 20.0f, 30.0f};
        return mFail ? false : frame.Push(value, 3);
    }
    int mRuns = 0;
    bool mFail = false;
};

class Functions : public TParticleFunctionTable
{
public:
    TParticleFunction* GetFunction(uint32_t n) const override
    {
        return n < mList.size() ? mList[n] : nullptr;
    }
    std::vector<TParticleFunction*> mList;
};

class ParticleNodesTest : public ::testing::Test
{
protected:
    bool Run(const TParticleProgram& program, uint32_t milliseconds = 0)
    {
        mRunner = std::make_unique<TParticleRunner>(kMemberWidths, kMemberCount, milliseconds,
                                                    &mFunctions);
        return mRunner->Run(program, mParticle.Floats());
    }
    // Runs the program followed by an assignment of 1 to the marker float; true when the
    // assignment ran, that is no node of the program failed.
    bool Completes(ProgramBuilder program, uint32_t milliseconds = 0)
    {
        mParticle.Floats()[kMarker] = 0.0f;
        program.Push(1.0f).Push(static_cast<float>(kMarker)).Push(1.0f).Node("assign", 3);
        Run(program, milliseconds);
        EXPECT_TRUE(mParticle.GuardsIntact());
        return mParticle.Floats()[kMarker] == 1.0f;
    }
    std::vector<float> Result() { return Slot(*mRunner, 0); }

    GuardedParticle mParticle;
    Functions mFunctions;
    std::unique_ptr<TParticleRunner> mRunner;
};

using V = std::vector<float>;
} // namespace

TEST_F(ParticleNodesTest, ArithmeticOnVectorsAndScalars)
{
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(TVec2(10, 20)).Node("add", 2)));
    EXPECT_EQ(Result(), (V{11, 22}));
    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec3(5, 5, 5)).Push(TVec3(1, 2, 3)).Node("sub", 2)));
    EXPECT_EQ(Result(), (V{4, 3, 2}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(1, -2)).Push(3.0f).Node("mul", 2)));
    EXPECT_EQ(Result(), (V{3, -6}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec4(2, 4, 6, 8)).Push(2.0f).Node("div", 2)));
    EXPECT_EQ(Result(), (V{1, 2, 3, 4}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(1, -2)).Node("unm", 1)));
    EXPECT_EQ(Result(), (V{-1, 2}));
    // A wider second operand is read only as far as the first is wide.
    ASSERT_TRUE(Completes(ProgramBuilder().Push(1.0f).Push(TVec3(2, 3, 4)).Node("add", 2)));
    EXPECT_EQ(Result(), (V{3}));

    // Narrower second operand, vector divisor, wrong counts: the node fails.
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec3(1, 2, 3)).Push(1.0f).Node("add", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(1.0f).Node("sub", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(TVec2(1, 2)).Node("mul", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(TVec2(1, 2)).Node("div", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(1.0f).Push(1.0f).Node("unm", 2)));
}

TEST_F(ParticleNodesTest, ComparisonsAreFalseWhenUnordered)
{
    struct Case
    {
        const char* name;
        float a, b, result;
    } cases[] = {{"lt", 1, 2, 1},       {"lt", 2, 2, 0}, {"lt", kNaN, 1, 0},
                 {"fLess", 1, kNaN, 0}, {"le", 2, 2, 1}, {"fLessEqual", 3, 2, 0},
                 {"le", kNaN, kNaN, 0}};
    for (const Case& c : cases)
    {
        ASSERT_TRUE(Completes(ProgramBuilder().Push(c.a).Push(c.b).Node(c.name, 2))) << c.name;
        EXPECT_EQ(Result(), (V{c.result})) << c.name << " " << c.a << " " << c.b;
    }
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(3.0f).Node("lt", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(1.0f).Push(TVec2(1, 2)).Node("le", 2)));
}

TEST_F(ParticleNodesTest, VIndexCountsFromOne)
{
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec3(7, 8, 9)).Push(1.0f).Node("vindex", 2)));
    EXPECT_EQ(Result(), (V{7}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec3(7, 8, 9)).Push(3.9f).Node("vindex", 2)));
    EXPECT_EQ(Result(), (V{9}));
    for (float key : {0.0f, 4.0f, -1.0f, kNaN, 1e10f})
        EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec3(7, 8, 9)).Push(key).Node("vindex", 2)))
            << key;
}

TEST_F(ParticleNodesTest, IndexOnMembersAndRegisteredFunctions)
{
    RecordingFailure failure;
    for (int i = 0; i < kFloats; ++i)
        mParticle.Floats()[i] = 100.0f + i;
    // Member at float 5 (the colour), key 2: float 6.
    ASSERT_TRUE(Completes(ProgramBuilder().Push(5.0f).Push(2.0f).Node("index", 2)));
    EXPECT_EQ(Result(), (V{106}));
    // Key 8 from float 5 is float 12, one past the particle.
    EXPECT_FALSE(Completes(ProgramBuilder().Push(5.0f).Push(8.0f).Node("index", 2)));
    ASSERT_EQ(failure.mLines.size(), 1u);
    EXPECT_TRUE(failure.mLines[0].starts_with("particle_nodes.cpp(")) << failure.mLines[0];
    EXPECT_TRUE(failure.mLines[0].ends_with("): Out of range parameter index [8]"))
        << failure.mLines[0];
    EXPECT_FALSE(Completes(ProgramBuilder().Push(5.0f).Push(0.0f).Node("index", 2)));
    EXPECT_TRUE(failure.mLines.back().ends_with("): Out of range parameter index [0]"));

    // Function 0 is addressed by ~0 = -1; it runs with both arguments dropped.
    ConstantFunction wind;
    wind.mName = "vWind";
    mFunctions.mList.push_back(&wind);
    ASSERT_TRUE(Completes(ProgramBuilder().Push(42.0f).Push(-1.0f).Push(2.0f).Node("index", 2)));
    EXPECT_EQ(Result(), (V{42}));
    EXPECT_EQ(Slot(*mRunner, 1), (V{20}));
    EXPECT_EQ(wind.mRuns, 1);
    wind.mFail = true;
    ASSERT_TRUE(Completes(ProgramBuilder().Push(-1.0f).Push(3.0f).Node("index", 2)));
    EXPECT_EQ(Result(), (V{0}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(-1.0f).Push(4.0f).Node("index", 2)));
    EXPECT_TRUE(failure.mLines.back().ends_with("): Out of range parameter index [4] when "
                                                "indexing vWind"))
        << failure.mLines.back();
    EXPECT_EQ(failure.mLines.size(), 3u);
    // No function 1; vector arguments.
    EXPECT_FALSE(Completes(ProgramBuilder().Push(-2.0f).Push(1.0f).Node("index", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(5, 0)).Push(1.0f).Node("index", 2)));
    EXPECT_EQ(failure.mLines.size(), 3u);
}

TEST_F(ParticleNodesTest, MemberReadsStayInsideTheParticle)
{
    ConstantFunction wind;
    mFunctions.mList.push_back(&wind);
    mParticle.Floats()[5] = 0.25f;
    mParticle.Floats()[8] = 0.75f;
    ASSERT_TRUE(Completes(ProgramBuilder().Member(5, 4)));
    EXPECT_EQ(Result(), (V{0.25f, 0, 0, 0.75f}));
    ASSERT_TRUE(Completes(ProgramBuilder().Member(~0, 3)));
    EXPECT_EQ(Result(), (V{10, 20, 30}));
    EXPECT_FALSE(Completes(ProgramBuilder().Member(10, 4)));
    EXPECT_FALSE(Completes(ProgramBuilder().Member(~1, 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Member(0, 5))); // wider than a slot
    EXPECT_FALSE(Completes(ProgramBuilder().Member(0, 0)));
}

TEST_F(ParticleNodesTest, AssignAndNewIndexWriteOnlyInsideTheParticle)
{
    // assign (value, index, size): the value's width decides; size is not read.
    ASSERT_TRUE(Completes(
        ProgramBuilder().Push(TVec4(1, 0.5f, 0.25f, 1)).Push(5.7f).Push(99.0f).Node("assign", 3)));
    EXPECT_EQ(std::vector<float>(mParticle.Floats() + 5, mParticle.Floats() + 9),
              (V{1, 0.5f, 0.25f, 1}));
    EXPECT_FALSE(Completes(
        ProgramBuilder().Push(TVec4(1, 1, 1, 1)).Push(9.0f).Push(4.0f).Node("assign", 3)));
    EXPECT_FALSE(
        Completes(ProgramBuilder().Push(TVec2(1, 1)).Push(-1.0f).Push(2.0f).Node("assign", 3)));
    EXPECT_FALSE(
        Completes(ProgramBuilder().Push(TVec2(1, 1)).Push(kNaN).Push(2.0f).Node("assign", 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 1)).Push(0.0f).Node("assign", 2)));

    // newindex (base, key, value) writes float base + key - 1 and pushes the value.
    ASSERT_TRUE(Completes(ProgramBuilder().Push(2.0f).Push(2.0f).Push(-5.0f).Node("newindex", 3)));
    EXPECT_EQ(mParticle.Floats()[3], -5.0f);
    EXPECT_EQ(Result(), (V{-5}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(-1.0f).Push(1.0f).Push(1.0f).Node("newindex", 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(10.0f).Push(3.0f).Push(1.0f).Node("newindex", 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(0.0f).Push(0.0f).Push(1.0f).Node("newindex", 3)));
    EXPECT_FALSE(
        Completes(ProgramBuilder().Push(0.0f).Push(1.0f).Push(TVec2(1, 1)).Node("newindex", 3)));
}

TEST_F(ParticleNodesTest, TimeScaleAndAgeUseTheStepTime)
{
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(4, -8)).Node("fTimeScale", 1), 250));
    EXPECT_EQ(Result(), (V{1, -2}));
    ASSERT_TRUE(Completes(ProgramBuilder().Node("fAge", 0), 250));
    EXPECT_EQ(Result(), (V{250}));
    // The init program runs at 0 milliseconds.
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(4, -8)).Node("fTimeScale", 1), 0));
    EXPECT_EQ(Result(), (V{0, 0}));
    ASSERT_TRUE(Completes(ProgramBuilder().Node("fAge", 0), 0));
    EXPECT_EQ(Result(), (V{0}));
    ASSERT_TRUE(Completes(ProgramBuilder().Node("fAge", 0), 4294967295u));
    EXPECT_EQ(Result(), (V{4294967296.0f}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(1.0f).Node("fAge", 1)));
}

TEST_F(ParticleNodesTest, ExpireEndsTheParticleOnNonZeroAndNaN)
{
    EXPECT_TRUE(Run(ProgramBuilder().Push(0.0f).Node("fExpire", 1)));
    EXPECT_EQ(Result(), (V{0}));
    EXPECT_FALSE(Run(ProgramBuilder().Push(0.5f).Node("fExpire", 1)));
    EXPECT_EQ(Result(), (V{1}));
    EXPECT_FALSE(Run(ProgramBuilder().Push(kNaN).Node("fExpire", 1)));
    // The rest of the program still runs: the particle is removed afterwards.
    EXPECT_TRUE(Completes(ProgramBuilder().Push(-1.0f).Node("fExpire", 1)));
    EXPECT_FALSE(mRunner->GetContext().mAlive);
    EXPECT_TRUE(Run(ProgramBuilder().Push(TVec2(1, 1)).Node("fExpire", 1)));
}

TEST_F(ParticleNodesTest, VecAndPickWidthsAtCompileAndRunTime)
{
    std::shared_ptr<TParticleFunction> vec = FindParticleNodeFactory("fVec")();
    const uint8_t widths[] = {2, 1, 3};
    EXPECT_EQ(vec->GetWidth(3, widths), 1);
    ASSERT_TRUE(Completes(ProgramBuilder().Push(1.0f).Push(2.0f).Push(3.0f).Node("fVec", 3)));
    EXPECT_EQ(Result(), (V{1, 2, 3}));
    // argc floats from the first argument's first float on.
    ASSERT_TRUE(Completes(ProgramBuilder().Push(TVec2(5, 6)).Push(7.0f).Node("fVec", 2)));
    EXPECT_EQ(Result(), (V{5, 6}));
    EXPECT_FALSE(Completes(ProgramBuilder().Node("fVec", 0)));
    EXPECT_FALSE(Completes(
        ProgramBuilder().Push(1.0f).Push(1.0f).Push(1.0f).Push(1.0f).Push(1.0f).Node("fVec", 5)));

    std::shared_ptr<TParticleFunction> pick = FindParticleNodeFactory("fPick")();
    EXPECT_EQ(pick->GetWidth(3, widths), 2);
    EXPECT_EQ(pick->GetWidth(0, nullptr), 0);
}

TEST_F(ParticleNodesTest, DistanceRoundsEachDifferenceToFloat)
{
    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec2(3, 4)).Push(TVec2(0, 0)).Node("fDistance", 2)));
    EXPECT_EQ(Result(), (V{5}));
    // 16777216 + 1 rounds back to 16777216 before squaring: 2^24 * sqrt 2, not (2^24 + 1) * sqrt 2.
    ASSERT_TRUE(Completes(ProgramBuilder()
                              .Push(TVec2(16777216.0f, 16777216.0f))
                              .Push(TVec2(-1, -1))
                              .Node("fDistance", 2)));
    float rounded = static_cast<float>(std::sqrt(2.0 * 16777216.0 * 16777216.0));
    EXPECT_EQ(Result(), (V{rounded}));
    EXPECT_NE(rounded, static_cast<float>(std::sqrt(2.0) * 16777217.0));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(3, 4)).Push(0.0f).Node("fDistance", 2)));
}

TEST_F(ParticleNodesTest, CyclesStepOverConsecutiveParticles)
{
    auto cycle = [&](const char* name, float n, int runs)
    {
        // One program, hence one node, over consecutive particles; a and b are read by their
        // first components only.
        ProgramBuilder program;
        program.Push(TVec2(0, 50)).Push(TVec2(1, 60)).Push(n).Node(name, 3);
        std::vector<float> points;
        for (int i = 0; i < runs; ++i)
        {
            Run(program);
            points.push_back(Result().at(0));
        }
        return points;
    };
    EXPECT_EQ(cycle("fOpenCycle", 4, 5), (V{0, 0.25f, 0.5f, 0.75f, 0}));
    EXPECT_EQ(cycle("fClosedCycle", 4, 5), (V{0, 1.0f / 3, 2.0f / 3, 1, 0}));
    EXPECT_EQ(cycle("fOpenCycle", 1, 3), (V{0, 0, 0}));
    for (float t : cycle("fClosedCycle", 1, 2))
        EXPECT_FALSE(std::isfinite(t));
    EXPECT_FALSE(
        Completes(ProgramBuilder().Push(0.0f).Push(TVec2(1, 1)).Push(4.0f).Node("fOpenCycle", 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(0.0f).Push(1.0f).Node("fClosedCycle", 2)));
}

TEST_F(ParticleNodesTest, FadeAcrossAndPastItsSegments)
{
    const TVec2 a(0, 10), b(4, 20), c(8, 40);
    auto fade = [&](float t)
    {
        EXPECT_TRUE(
            Completes(ProgramBuilder().Push(t).Push(a).Push(2.0f).Push(b).Push(1.0f).Push(c).Node(
                "fFade", 6)));
        return Result();
    };
    EXPECT_EQ(fade(-3), (V{0, 10}));
    EXPECT_EQ(fade(0), (V{0, 10}));
    EXPECT_EQ(fade(1), (V{2, 15}));
    EXPECT_EQ(fade(2), (V{4, 20}));
    EXPECT_EQ(fade(2.5f), (V{6, 30}));
    EXPECT_EQ(fade(3), (V{8, 40}));
    EXPECT_EQ(fade(50), (V{8, 40}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(5.0f).Push(a).Node("fFade", 2)));
    EXPECT_EQ(Result(), (V{0, 10}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(5.0f).Push(a).Push(2.0f).Push(b).Node("fFade", 4)));
    EXPECT_EQ(Result(), (V{4, 20}));

    // A trailing duration, no value, a later value narrower than the first: the node fails.
    EXPECT_FALSE(Completes(ProgramBuilder().Push(5.0f).Push(a).Push(2.0f).Node("fFade", 3)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(0.0f).Node("fFade", 1)));
    EXPECT_FALSE(
        Completes(ProgramBuilder().Push(1.0f).Push(a).Push(2.0f).Push(7.0f).Node("fFade", 4)));
}

TEST_F(ParticleNodesTest, AlphaTakesTheFloatAfterTheColour)
{
    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec3(1, 0.5f, 0.25f)).Push(0.75f).Node("fAlpha", 2)));
    EXPECT_EQ(Result(), (V{1, 0.5f, 0.25f, 0.75f}));
    // A four-float colour still takes the next argument's float, not its own fourth.
    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec4(1, 1, 1, 0.1f)).Push(0.5f).Node("fAlpha", 2)));
    EXPECT_EQ(Result(), (V{1, 1, 1, 0.5f}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec4(1, 1, 1, 1)).Node("fAlpha", 1)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 1)).Push(0.5f).Node("fAlpha", 2)));
}

TEST_F(ParticleNodesTest, RandomNodesFromAKnownSeed)
{
    // MT19937 seeded with 5489: outputs 3499211612, 581869302, 3890346734, 3586334585.
    TRandom random;
    random.Seed(5489);
    SetParticleRandom(&random);
    auto fraction = [](uint32_t output)
    { return static_cast<float>(output * 2.3283063671497593e-10); };

    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec2(10, 0)).Push(TVec2(20, -4)).Node("fRange", 2)));
    EXPECT_EQ(Result(), (V{10 + 10 * fraction(3499211612u), -4 * fraction(581869302u)}));

    random.Seed(5489);
    ASSERT_TRUE(Completes(ProgramBuilder().Push(2.0f).Push(TVec2(0, 0)).Node("f2dRadius", 2)));
    float u = fraction(3499211612u);
    float theta = (u + u) * 3.1415927410125732f;
    EXPECT_EQ(Result(), (V{static_cast<float>(std::cos(static_cast<double>(theta)) * 2.0f),
                           static_cast<float>(std::sin(static_cast<double>(theta)) * 2.0f)}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(2.0f).Push(1.0f).Node("f2dRadius", 2)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(2, 2)).Node("f2dRadius", 1)));

    // fPick: trunc(NextDouble * argc), two outputs per double: 0.8147... of three picks the
    // third, then 0.9057... of two the second, each with its own width.
    random.Seed(5489);
    ASSERT_TRUE(Completes(
        ProgramBuilder().Push(1.0f).Push(TVec2(2, 3)).Push(TVec3(4, 5, 6)).Node("fPick", 3)));
    EXPECT_EQ(Result(), (V{4, 5, 6}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(1.0f).Push(TVec2(2, 3)).Node("fPick", 2)));
    EXPECT_EQ(Result(), (V{2, 3}));
    EXPECT_FALSE(Completes(ProgramBuilder().Node("fPick", 0)));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(0, 0)).Push(1.0f).Node("fRange", 2)));
    SetParticleRandom(nullptr);
}

TEST_F(ParticleNodesTest, RotationIsCosineAndSine)
{
    ASSERT_TRUE(Completes(ProgramBuilder().Push(0.0f).Node("f2dRotation", 1)));
    EXPECT_EQ(Result(), (V{1, 0}));
    ASSERT_TRUE(Completes(ProgramBuilder().Push(2.0f).Push(9.0f).Node("f2dRotation", 2)));
    EXPECT_EQ(Result(), (V{static_cast<float>(std::cos(2.0)), static_cast<float>(std::sin(2.0))}));
    EXPECT_FALSE(Completes(ProgramBuilder().Push(TVec2(1, 1)).Node("f2dRotation", 1)));
    EXPECT_FALSE(Completes(ProgramBuilder().Node("f2dRotation", 0)));
}

TEST_F(ParticleNodesTest, DebugLogsItsArgumentsAndPushesNothing)
{
    RecordingFailure failure;
    ASSERT_TRUE(
        Completes(ProgramBuilder().Push(TVec2(1, 2)).Push(0.5f).Node("fDebug", 2).Push(7.0f)));
    ASSERT_EQ(failure.mLines.size(), 1u);
    EXPECT_EQ(failure.mLines[0], "Particle Values: (1.000000,2.000000) (0.500000) ");
    EXPECT_EQ(Result(), (V{7}));
    ASSERT_TRUE(Completes(ProgramBuilder().Node("fDebug", 0)));
    EXPECT_EQ(failure.mLines[1], "Particle Values: ");
}

TEST_F(ParticleNodesTest, StackHas255Slots)
{
    ProgramBuilder full;
    for (int i = 0; i < 255; ++i)
        full.Push(TVec4(i, i, i, i));
    EXPECT_TRUE(Completes(ProgramBuilder(full).Node("fDebug", 255)));
    // Slot 255 does not exist; a 256th push fails, and so would the marker after 255 values.
    EXPECT_FALSE(Completes(ProgramBuilder(full).Push(1.0f)));
    EXPECT_FALSE(Completes(full));
    EXPECT_EQ(mRunner->GetStack().mCount, 255u);
    EXPECT_EQ(Slot(*mRunner, 254), (V{254, 254, 254, 254}));
}

TEST_F(ParticleNodesTest, FailingNodeSkipsTheRestForThatParticleOnly)
{
    // x += 1, then vindex with the particle's own key (pFrame), then y += 1.
    ProgramBuilder program;
    program.Member(0, 1).Push(1.0f).Node("add", 2).Push(0.0f).Push(1.0f).Node("assign", 3);
    program.Push(TVec2(5, 6)).Member(9, 1).Node("vindex", 2).Node("fExpire", 1);
    program.Member(1, 1).Push(1.0f).Node("add", 2).Push(1.0f).Push(1.0f).Node("assign", 3);
    std::vector<float> first(kFloats, 0.0f), second(kFloats, 0.0f);
    first[9] = 0.0f; // key 0: vindex fails
    second[9] = 1.0f;
    TParticleRunner runner(kMemberWidths, kMemberCount, 16, nullptr);
    EXPECT_TRUE(runner.Run(program, first.data()));
    EXPECT_FALSE(runner.Run(program, second.data()));
    EXPECT_EQ(first[0], 1.0f);
    EXPECT_EQ(first[1], 0.0f);
    EXPECT_EQ(second[0], 1.0f);
    EXPECT_EQ(second[1], 1.0f);
    // A node that takes more values than are stacked fails before it runs.
    EXPECT_FALSE(Completes(ProgramBuilder().Push(1.0f).Node("add", 2)));
}

TEST(ParticleNodeTypes, FactoriesClassNamesAndIdentities)
{
    struct Expected
    {
        const char* script;
        const char* className;
    } expected[] = {
        {"assign", "FAssign"},
        {"add", "FAdd"},
        {"sub", "FSub"},
        {"mul", "FMul"},
        {"div", "FDiv"},
        {"unm", "FUnm"},
        {"lt", "FLt"},
        {"fLess", "FLt"},
        {"le", "FLe"},
        {"fLessEqual", "FLe"},
        {"vindex", "FVIndex"},
        {"index", "FIndex"},
        {"newindex", "FNewIndex"},
        {"fTimeScale", "FTimeScale"},
        {"fAge", "FAge"},
        {"fExpire", "FExpire"},
        {"fVec", "FVec"},
        {"fDistance", "FDistance"},
        {"fOpenCycle", "FOpenCycle"},
        {"fClosedCycle", "FClosedCycle"},
        {"fDebug", "FDebug"},
        {"fAlpha", "FAlpha"},
        {"fRange", "FRange"},
        {"fPick", "FPick"},
        {"fFade", "FFade"},
        {"f2dRadius", "F2dRadius"},
        {"f2dRotation", "F2dRotation"},
    };
    int count = 0;
    for (const TParticleNodeType* type = GetParticleNodeTypes(); type->mName; ++type)
        ++count;
    EXPECT_EQ(count, static_cast<int>(std::size(expected)));
    for (const Expected& e : expected)
    {
        TParticleNodeFactory factory = FindParticleNodeFactory(e.script);
        ASSERT_NE(factory, nullptr) << e.script;
        std::shared_ptr<TParticleFunction> node = factory();
        EXPECT_STREQ(node->GetClassName(), e.className);
        EXPECT_EQ(node->mName.Length(), 0);
        EXPECT_TRUE(node->IsKindOf(TParticleFunction::ClassId()));
        EXPECT_NE(node.get(), factory().get());
    }
    EXPECT_EQ(FindParticleNodeFactory("lt"), FindParticleNodeFactory("fLess"));
    EXPECT_EQ(FindParticleNodeFactory("le"), FindParticleNodeFactory("fLessEqual"));
    EXPECT_EQ(FindParticleNodeFactory("gt"), nullptr);
    EXPECT_EQ(FindParticleNodeFactory(nullptr), nullptr);

    FLt lt;
    EXPECT_TRUE(lt.IsKindOf(FLt::ClassId()));
    EXPECT_FALSE(lt.IsKindOf(FLe::ClassId()));
    EXPECT_NE(FOpenCycle::ClassId(), FClosedCycle::ClassId());
    // Constants and member reads answer as the base class.
    FPush<TVec3> push(TVec3(1, 2, 3));
    FGetParticleParam member(3, 2);
    EXPECT_STREQ(push.GetClassName(), "TParticleFunction");
    EXPECT_STREQ(member.GetClassName(), "TParticleFunction");
    EXPECT_FALSE(member.IsKindOf(FAdd::ClassId()));
    EXPECT_EQ(push.GetWidth(0, nullptr), 3);
    EXPECT_EQ(member.GetWidth(0, nullptr), 2);
}

} // namespace particle_nodes_test
