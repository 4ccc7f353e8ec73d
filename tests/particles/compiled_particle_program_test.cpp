// The compiled program against the node runner on the same particles: random programs (valid and
// broken), constants beyond the constant area, values moved below the top, failing indices, and
// nodes called through the node interface, down to one that pushes another width than it announced.
#include "particle_test_support.h"

#include "particles/compiled_particle_program.h"
#include "particles/particle_random.h"
#include "platform/maths/random.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace particle_test;

namespace
{
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int kBatch = 4;
using V = std::vector<float>;

// A registered function: three floats.
class Triple : public TParticleFunction
{
public:
    uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 3; }
    bool Execute(TParticleContext&, TParticleFrame& frame) override
    {
        const float value[3] = {10.0f, 20.0f, 30.0f};
        return frame.Push(value, 3);
    }
};

// Announces one float, but pushes its argument twice when it is positive.
class Widening : public TParticleFunction
{
public:
    uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 1; }
    bool Execute(TParticleContext&, TParticleFrame& frame) override
    {
        if (frame.mArgc != 1)
            return false;
        float a = frame.Arg(0)[0];
        const float value[2] = {a, a};
        return frame.Push(value, a > 0.0f ? 2 : 1);
    }
};

class Functions : public TParticleFunctionTable
{
public:
    TParticleFunction* GetFunction(uint32_t n) const override
    {
        return n == 0 ? const_cast<Triple*>(&mTriple) : nullptr;
    }
    Triple mTriple;
};

struct Outcome
{
    std::vector<float> mBlocks; // every particle's block with its guards
    std::vector<bool> mAlive;
    uint32_t mNextRandom = 0;
    std::vector<std::string> mReports;
};

// Runs one batch of particles (the same start values) through the runner or the compiled form,
// from the same seed.
Outcome RunBatch(const TParticleProgram& program, bool compiled, uint32_t milliseconds,
                 bool* wasCompiled = nullptr)
{
    TRandom random;
    random.Seed(1234);
    SetParticleRandom(&random);
    RecordingFailure failure;
    Functions functions;
    std::vector<GuardedParticle> particles(kBatch);
    for (int i = 0; i < kBatch; ++i)
    {
        for (int k = 0; k < kFloats; ++k)
            particles[i].Floats()[k] = static_cast<float>((i + 1) * (k % 5)) - 3.5f;
    }
    TParticleRunner runner(kMemberWidths, kMemberCount, milliseconds, &functions);
    TCompiledParticleProgram form(program, runner);
    if (wasCompiled != nullptr)
        *wasCompiled = form.IsCompiled();
    Outcome outcome;
    for (GuardedParticle& particle : particles)
    {
        bool alive =
            compiled ? form.Run(particle.Floats()) : runner.Run(program, particle.Floats());
        outcome.mAlive.push_back(alive);
        EXPECT_TRUE(particle.GuardsIntact());
        outcome.mBlocks.insert(outcome.mBlocks.end(), particle.mBlock,
                               particle.mBlock + std::size(particle.mBlock));
    }
    outcome.mNextRandom = random.Next();
    outcome.mReports = failure.mLines;
    SetParticleRandom(nullptr);
    return outcome;
}

// Both paths from the same program; particles compared bit for bit.
void ExpectSameOutcome(const TParticleProgram& program, uint32_t milliseconds,
                       bool* wasCompiled = nullptr)
{
    Outcome byNodes = RunBatch(program, false, milliseconds);
    Outcome compiled = RunBatch(program, true, milliseconds, wasCompiled);
    ASSERT_EQ(byNodes.mBlocks.size(), compiled.mBlocks.size());
    EXPECT_EQ(std::memcmp(byNodes.mBlocks.data(), compiled.mBlocks.data(),
                          byNodes.mBlocks.size() * sizeof(float)),
              0);
    EXPECT_EQ(byNodes.mAlive, compiled.mAlive);
    EXPECT_EQ(byNodes.mNextRandom, compiled.mNextRandom);
    EXPECT_EQ(byNodes.mReports, compiled.mReports);
}

struct NodeKind
{
    const char* mName;
    uint8_t mArgc[3]; // usual argument counts, one picked at random
};

const NodeKind kKinds[] = {
    {"add", {2, 2, 2}},          {"sub", {2, 2, 1}},        {"mul", {2, 2, 2}},
    {"div", {2, 2, 2}},          {"unm", {1, 1, 1}},        {"lt", {2, 2, 2}},
    {"le", {2, 2, 1}},           {"fTimeScale", {1, 1, 1}}, {"fAge", {0, 0, 1}},
    {"fExpire", {1, 1, 1}},      {"fVec", {2, 3, 4}},       {"fDistance", {2, 2, 2}},
    {"fAlpha", {2, 2, 1}},       {"fFade", {2, 4, 6}},      {"fRange", {2, 2, 2}},
    {"fPick", {1, 2, 3}},        {"f2dRadius", {1, 2, 1}},  {"f2dRotation", {1, 1, 1}},
    {"vindex", {2, 2, 2}},       {"newindex", {3, 3, 3}},   {"assign", {3, 3, 3}},
    {"fClosedCycle", {3, 3, 3}}, {"index", {2, 2, 2}},      {"fDebug", {1, 2, 0}},
};

float RandomConstant(std::mt19937& draw)
{
    switch (draw() % 8)
    {
    case 0:
        return kNaN;
    case 1:
        return static_cast<float>(draw() % 14); // a particle index or a vector key
    case 2:
        return -1.5f;
    case 3:
        return static_cast<float>(static_cast<int>(draw() % 2000) - 1000) / 64.0f;
    default:
        // Every mantissa bit in use, so a change in rounding shows.
        return static_cast<float>(static_cast<int>(draw() % 2000000) - 1000000) / 997.0f;
    }
}

// A program of constants, member reads and node calls; the same seed gives equal programs made
// of separate nodes.
ProgramBuilder RandomProgram(uint32_t seed)
{
    std::mt19937 draw(seed);
    ProgramBuilder program;
    int length = 4 + static_cast<int>(draw() % 24);
    for (int i = 0; i < length; ++i)
    {
        uint32_t choice = draw() % 11;
        if (choice < 3)
        {
            float v[4] = {RandomConstant(draw), RandomConstant(draw), RandomConstant(draw),
                          RandomConstant(draw)};
            switch (draw() % 4)
            {
            case 0:
                program.Push(v[0]);
                break;
            case 1:
                program.Push(TVec2(v[0], v[1]));
                break;
            case 2:
                program.Push(TVec3(v[0], v[1], v[2]));
                break;
            default:
                program.Push(TVec4(v[0], v[1], v[2], v[3]));
                break;
            }
        }
        else if (choice < 5)
        {
            // Now and then a read past the particle, of a width no slot holds, or of the
            // registered function.
            int16_t base = static_cast<int16_t>(static_cast<int>(draw() % 14) - 1);
            program.Member(base, base < 0 ? 3 : static_cast<uint8_t>(draw() % 6));
        }
        else if (choice == 10)
        {
            program.Add(std::make_shared<Widening>(), 1);
        }
        else
        {
            const NodeKind& kind = kKinds[draw() % std::size(kKinds)];
            program.Node(kind.mName, kind.mArgc[draw() % 3]);
        }
    }
    return program;
}
} // namespace

TEST(CompiledParticleProgram, RandomProgramsGiveTheRunnersParticlesAndDraws)
{
    int compiled = 0;
    const int kPrograms = 3000;
    for (uint32_t seed = 0; seed < kPrograms; ++seed)
    {
        bool wasCompiled = false;
        ExpectSameOutcome(RandomProgram(seed), 16 + seed % 3, &wasCompiled);
        compiled += wasCompiled ? 1 : 0;
        if (HasFailure())
        {
            ADD_FAILURE() << "program seed " << seed;
            return;
        }
    }
    EXPECT_EQ(compiled, kPrograms);
}

TEST(CompiledParticleProgram, TypicalAnimProgramRunsCompiled)
{
    ProgramBuilder program;
    program.Member(0, 2).Member(10, 2).Node("fTimeScale", 1).Node("add", 2);
    program.Push(0.0f).Push(2.0f).Node("assign", 3);
    program.Member(10, 2).Push(TVec2(0, 100)).Node("fTimeScale", 1).Node("add", 2);
    program.Push(10.0f).Push(2.0f).Node("assign", 3);
    program.Push(TVec3(1, 1, 1)).Member(4, 1).Push(1.0f).Push(2.0f).Push(0.0f);
    program.Node("fFade", 4).Node("fAlpha", 2).Push(5.0f).Push(4.0f).Node("assign", 3);
    program.Push(2.0f).Member(4, 1).Node("lt", 2).Node("fExpire", 1);
    bool wasCompiled = false;
    ExpectSameOutcome(program, 16, &wasCompiled);
    EXPECT_TRUE(wasCompiled);
}

TEST(CompiledParticleProgram, ConstantsBeyondTheConstantAreaAndBelowTheTop)
{
    // Each step keeps two more vectors of constants (the pushed one and the folded sum): past
    // about 8,000 steps they no longer fit 16-bit offsets and are written on every run.
    ProgramBuilder many;
    many.Push(TVec4(0, 0, 0, 0));
    for (int i = 0; i < 9000; ++i)
        many.Push(TVec4(0.25f, 0.5f, 1.0f, static_cast<float>(i))).Node("add", 2);
    many.Member(5, 4).Node("add", 2).Push(5.0f).Push(4.0f).Node("assign", 3);
    bool wasCompiled = false;
    ExpectSameOutcome(many, 16, &wasCompiled);
    EXPECT_TRUE(wasCompiled);

    // A constant under a computed value, read across both by "fVec": written into its own slot
    // without touching the value above it.
    ProgramBuilder below;
    below.Push(7.0f).Member(1, 1).Node("fVec", 2).Push(2.0f).Push(2.0f).Node("assign", 3);
    below.Push(TVec3(1, 2, 3)).Member(4, 1).Node("fAlpha", 2).Push(5.0f).Push(4.0f);
    below.Node("assign", 3);
    ExpectSameOutcome(below, 16);
}

TEST(CompiledParticleProgram, FadeAtItsSegmentBoundaries)
{
    // The time equal to the first duration (both read from the same member) ends the first
    // segment: the value is the second point, not the first point plus the whole difference.
    ProgramBuilder program;
    program.Member(4, 1).Push(1e8f).Member(4, 1).Push(1.0f).Push(1.0f).Push(5.0f);
    program.Node("fFade", 6).Push(0.0f).Push(1.0f).Node("assign", 3);
    ExpectSameOutcome(program, 16);
    Outcome outcome = RunBatch(program, true, 16);
    EXPECT_EQ(outcome.mBlocks[kGuard], 1.0f);
}

TEST(CompiledParticleProgram, IndicesCheckedWhenCompiledOrOnEachParticle)
{
    // A constant index past the particle stops every particle there; a computed one (a member
    // read holding 8.5, 5.0, -3.5, ...) stops only the particles it sends outside.
    for (float index : {11.0f, 12.0f, -1.0f, kNaN, 3e9f})
    {
        ProgramBuilder program;
        program.Push(TVec2(4, 5)).Push(index).Push(2.0f).Node("assign", 3);
        program.Push(9.0f).Push(0.0f).Push(1.0f).Node("assign", 3);
        ExpectSameOutcome(program, 0);
    }
    ProgramBuilder computed;
    computed.Push(TVec4(1, 2, 3, 4)).Member(3, 1).Push(4.0f).Node("assign", 3);
    computed.Push(1.0f).Member(8, 1).Push(2.0f).Node("newindex", 3);
    computed.Push(TVec3(1, 2, 3)).Member(2, 1).Node("vindex", 2);
    computed.Push(9.0f).Push(0.0f).Push(1.0f).Node("assign", 3);
    ExpectSameOutcome(computed, 0);
}

TEST(CompiledParticleProgram, NodesItDoesNotKnowAreCalled)
{
    // A registered function's member read, a node type of the system's own (a subclass runs as it
    // likes), a pick whose width depends on the draw, and a node that pushes two floats where it
    // announced one, for the particles whose argument is positive: the runner runs the rest.
    class Own : public FAdd
    {
    };
    ProgramBuilder registered;
    registered.Member(-1, 3).Push(3.0f).Push(3.0f).Node("assign", 3);
    ProgramBuilder own;
    own.Push(1.0f).Push(2.0f).Add(std::make_shared<Own>(), 2).Push(0.0f).Push(1.0f);
    own.Node("assign", 3);
    ProgramBuilder pick;
    pick.Push(1.0f).Push(TVec2(2, 3)).Node("fPick", 2).Push(0.0f).Push(1.0f).Node("assign", 3);
    ProgramBuilder widening;
    widening.Member(1, 1).Add(std::make_shared<Widening>(), 1).Push(4.0f).Push(2.0f);
    widening.Node("assign", 3).Push(7.0f).Push(9.0f).Push(1.0f).Node("assign", 3);
    for (const ProgramBuilder* program : {&registered, &own, &pick, &widening})
    {
        bool wasCompiled = false;
        ExpectSameOutcome(*program, 16, &wasCompiled);
        EXPECT_TRUE(wasCompiled);
    }
    // Float 1 of the four particles is -2.5, -1.5, -0.5 and 0.5: the last goes on in the runner
    // and assigns both floats; all four complete.
    Outcome outcome = RunBatch(widening, true, 16);
    const float* last = outcome.mBlocks.data() + 3 * (kFloats + 2 * kGuard) + kGuard;
    EXPECT_EQ(V(last + 4, last + 6), V({0.5f, 0.5f}));
    for (int i = 0; i < kBatch; ++i)
        EXPECT_EQ(outcome.mBlocks[i * (kFloats + 2 * kGuard) + kGuard + 9], 7.0f);
}
