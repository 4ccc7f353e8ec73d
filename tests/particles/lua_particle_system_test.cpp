// The Lua particle system with its library: what descriptions compile to, spawning, expiry,
// loading, the bound functions, one shared script, and bad descriptions.
#include "particles/lua_particle_system.h"

#include "particles/particle_nodes.h"
#include "particles/particle_runner.h"
#include "platform/config/config.h"
#include "script/lua.h"
#include "script/script.h"
#include "support/file_layer_fixture.h"
#include "sys/process/identity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace
{
// One line per instruction: "1:3" a float, "2:0,5" a vector, "@10,2" a member, "F/n" node F with n
// arguments.
std::vector<std::string> Describe(const TParticleProgram& program)
{
    std::vector<std::string> out;
    for (const TParticleInstruction& in : program)
    {
        TParticleFunction* node = in.mNode.get();
        char text[96];
        if (auto* p = dynamic_cast<FPush<float>*>(node))
            std::snprintf(text, sizeof(text), "1:%g", p->mValue);
        else if (auto* p2 = dynamic_cast<FPush<TVec2>*>(node))
            std::snprintf(text, sizeof(text), "2:%g,%g", p2->mValue.x, p2->mValue.y);
        else if (dynamic_cast<FPush<TVec4>*>(node) != nullptr)
            std::snprintf(text, sizeof(text), "4");
        else if (auto* m = dynamic_cast<FGetParticleParam*>(node))
            std::snprintf(text, sizeof(text), "@%d,%d", m->mBase, m->mSize);
        else
            std::snprintf(text, sizeof(text), "%s/%d", node->GetClassName(), in.mArgc);
        out.push_back(text);
    }
    return out;
}

using Lines = std::vector<std::string>;

class ParticleSystemTest : public filetest::FileLayerTest
{
protected:
    double Eval(TLuaParticleSystem& system, const std::string& expression)
    {
        system.GetScript()->DoLuaString(("_probe = " + expression).c_str());
        return system.GetScript()->GetGlobalNumber("_probe");
    }
};

// Position, up, scale, colour and frame come first (10 floats); pVelocity is at 10.
TEST_F(ParticleSystemTest, WorkedExamplesCompileInPostfixOrder)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("pVelocity = Allocate(2)\n"
                            "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
                            "pColor:Init(Color(1, 1, 1, 1))\n"));
    EXPECT_EQ(Describe(system.GetAnimProgram()),
              (Lines{"@0,2", "@10,2", "FTimeScale/1", "FAdd/2", "1:0", "1:2", "FAssign/3"}));
    EXPECT_EQ(Describe(system.GetInitProgram()), (Lines{"4", "1:5", "1:4", "FAssign/3"}));
    EXPECT_EQ(system.GetFloatsPerParticle(), 12);

    // Every library global is there, in its kind.
    for (const char* name : {"ValueMT", "ParticleMemberMT"})
        EXPECT_EQ(Eval(system, std::string("type(") + name + ") == 'table' and 1 or 0"), 1) << name;
    for (const char* name : {"CreateValue",
                             "fGreater",
                             "fGreaterEqual",
                             "Init",
                             "Anim",
                             "CompileParameters",
                             "Spawn",
                             "Value",
                             "Vec2",
                             "Vec3",
                             "Color",
                             "SetBlendMode",
                             "NewParticleGenerator",
                             "NewTimeout",
                             "SetTexture",
                             "RequireVelocity",
                             "SetUpGravity",
                             "Update",
                             "GUI_Slider",
                             "GUI_Texture",
                             "GUI_Select",
                             "GUI_PickTexture",
                             "GUI_ColorPick",
                             "GUI_Graph",
                             "RandomRange",
                             "RandomFloat",
                             "fSin" /* absent */})
        EXPECT_EQ(Eval(system, std::string("type(") + name + ") == 'function' and 1 or 0"),
                  std::string(name) == "fSin" ? 0 : 1)
            << name;
    EXPECT_EQ(Eval(system, "kBlendNormal + 10*kBlendOpaque + 100*kBlendAdditiveAlpha + "
                           "1000*kBlendSubtractive + 10000*kBlendMultiplicative"),
              43210);
    EXPECT_EQ(Eval(system, "kBlendMode == 'blendmode' and 1 or 0"), 1);
    // Editor placeholders yield their defaults.
    EXPECT_EQ(Eval(system, "GUI_Slider(3) + GUI_Graph(4) + GUI_Select(5) + GUI_Texture(6) + "
                           "GUI_PickTexture(7)"),
              25);
    EXPECT_EQ(Eval(system, "({GUI_ColorPick(1, 2, 3, 4)})[4]"), 4);
}

TEST_F(ParticleSystemTest, ConstantsVectorsAndComparisons)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("p = Allocate(1)\n"
                            "Anim(Value(3))\n"
                            "Anim(Vec2(0, 5))\n"
                            "Anim(Vec2(p, 5))\n"
                            "Anim(fGreater(p, 2))\n"
                            "Anim(7)\n"));
    EXPECT_EQ(Describe(system.GetAnimProgram()),
              (Lines{"2:0,5", "@10,1", "1:5", "FVec/2", "1:2", "@10,1", "FLt/2", "1:7"}));
}

TEST_F(ParticleSystemTest, GravityTwiceDoublesThePullOnOneVelocity)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("SetNumParticles(4)\nSetUpGravity(100)\nSetUpGravity(100)\n"
                            "function Create() end\n"));
    EXPECT_EQ(system.GetFloatsPerParticle(), 12);
    system.GetScript()->DoLuaString("Spawn(1)");
    system.Update(500);
    float* particle = system.GetCollection().mLive.front();
    EXPECT_FLOAT_EQ(particle[10], 0.0f);
    EXPECT_FLOAT_EQ(particle[11], 100.0f);
}

TEST_F(ParticleSystemTest, RateGeneratorCarriesItsRemainderAndTimeoutRunsOut)
{
    TLuaParticleSystem system;
    system.GetScript()->DoLuaString("g = NewParticleGenerator()\n"
                                    "r = ''\n"
                                    "for i = 1, 5 do r = r .. g(30, 16) end\n"
                                    "z = g(0, 16) + g(-1, 16)\n"
                                    "t = NewTimeout(0.5)\n"
                                    "s = ''\n"
                                    "for i = 1, 4 do s = s .. (t(0.3) and 'T' or 'F') end\n"
                                    "same = ParticlesPerSecond == g and 1 or 0\n");
    EXPECT_EQ(system.GetScript()->GetGlobalString("r"), TString("00101"));
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("z"), 0);
    EXPECT_EQ(system.GetScript()->GetGlobalString("s"), TString("FFTT"));
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("same"), 1);
}

TEST_F(ParticleSystemTest, SpawnDebtCarriesOverAndExpiredParticlesLeave)
{
    TLuaParticleSystem system;
    // Before SetNumParticles nothing is created and no debt is taken.
    system.GetScript()->DoLuaString("CreateParticles(3)");
    EXPECT_EQ(system.GetParticleCount(), 0u);
    EXPECT_EQ(system.GetSpawnDebt(), 0.0f);

    ASSERT_TRUE(system.Load("SetNumParticles(5)\n"
                            "pAge = Allocate(1)\n"
                            "pAge:Anim(pAge + fTimeScale(1))\n"
                            "Anim(fExpire(fLess(1, pAge)))\n"));
    system.GetScript()->DoLuaString("CreateParticles(2.5)");
    EXPECT_EQ(system.GetParticleCount(), 3u);
    system.GetScript()->DoLuaString("CreateParticles(1)");
    EXPECT_EQ(system.GetParticleCount(), 4u);
    EXPECT_FLOAT_EQ(system.GetSpawnDebt(), -0.5f);
    // No free block: each particle asked for still costs one.
    system.GetScript()->DoLuaString("CreateParticles(3.5)");
    EXPECT_EQ(system.GetParticleCount(), 5u);
    EXPECT_FLOAT_EQ(system.GetSpawnDebt(), 1.0f);
    // A NaN request is ignored instead of blocking every later spawn.
    system.GetScript()->DoLuaString("CreateParticles(0/0)");
    EXPECT_FLOAT_EQ(system.GetSpawnDebt(), 1.0f);

    system.Update(600);
    EXPECT_EQ(system.GetParticleCount(), 5u);
    system.Update(600);
    EXPECT_EQ(system.GetParticleCount(), 0u);
    EXPECT_EQ(system.GetCollection().mFree.size(), 5u);
    system.GetScript()->DoLuaString("CreateParticles(1)");
    EXPECT_EQ(system.GetParticleCount(), 2u);
}

TEST_F(ParticleSystemTest, UpdatePassesSecondsAndDoneRandomRangeRandomFloat)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("function Update(s) seen = s; if s > 1 then Done() end end"));
    system.Update(250);
    EXPECT_DOUBLE_EQ(system.GetScript()->GetGlobalNumber("seen"), 0.25);
    EXPECT_FALSE(system.IsDone());
    system.Update(1500);
    EXPECT_TRUE(system.IsDone());
    ASSERT_TRUE(system.Load("x = 1"));
    EXPECT_FALSE(system.IsDone());

    system.GetScript()->DoLuaString("lo, hi, f = 9, 0, 1\n"
                                    "for i = 1, 200 do\n"
                                    "  local r = RandomRange(3, 5)\n"
                                    "  if r < lo then lo = r end\n"
                                    "  if r > hi then hi = r end\n"
                                    "  if math.floor(r) ~= r then lo = -1 end\n"
                                    "  local v = RandomFloat()\n"
                                    "  if v < 0 or v >= 1 then f = 0 end\n"
                                    "end");
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("lo"), 3);
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("hi"), 5);
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("f"), 1);
}

TEST_F(ParticleSystemTest, LoadsFilesOnTheSearchPathAndKeepsProgramsOnFailure)
{
    Write("assets/fx/spark.lua", "SetNumParticles(2)\nFromFile = 1\npScale:Anim(3)\n");
    Write("assets/fx/broken.lua", "pScale:Anim(4\n");
    InitFileSystem();
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("fx/spark.lua"));
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("FromFile"), 1);
    EXPECT_EQ(system.GetAnimProgram().size(), 4u);
    EXPECT_EQ(system.GetCollection().mCapacity, 2);

    EXPECT_FALSE(system.Load("fx/missing.lua"));
    EXPECT_FALSE(system.Load("fx/broken.lua"));
    EXPECT_EQ(system.GetAnimProgram().size(), 4u);
}

TEST_F(ParticleSystemTest, UnknownTypesAndForeignMembersCompileNothing)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("SetNumParticles(-1)\n"
                            "SetNumParticles(7000000)\n"
                            "Anim(CreateValue('fNoSuch', {1}))\n"
                            "Anim(2)\n"
                            "w = CompileParam(CreateValue('fNoSuch', {}))\n"));
    EXPECT_EQ(Describe(system.GetAnimProgram()), (Lines{"1:1", "1:2"}));
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("w"), 0);
    EXPECT_EQ(system.GetCollection().mCapacity, 0);
    std::string log = Log();
    EXPECT_NE(log.find("Type not found: fNoSuch"), std::string::npos);
    EXPECT_NE(log.find("SetNumParticles refused -1 particles"), std::string::npos);
    EXPECT_NE(log.find("SetNumParticles refused 7000000 particles"), std::string::npos);

    // More than 255 floats is a Lua error that allocates nothing.
    ASSERT_TRUE(system.Load("a = Allocate(200)\nb = Allocate(100)\n"));
    EXPECT_EQ(system.GetFloatsPerParticle(), 210);
    EXPECT_EQ(Eval(system, "b == nil and 1 or 0"), 1);
}

class Constant : public TParticleFunction
{
public:
    uint8_t GetWidth(uint8_t, const uint8_t*) const override { return 2; }
    bool Execute(TParticleContext&, TParticleFrame& frame) override
    {
        const float v[2] = {7, 9};
        return frame.Push(v, 2);
    }
};

TEST_F(ParticleSystemTest, RegisteredFunctionsReadLikeMembers)
{
    Constant constant;
    TLuaParticleSystem system;
    EXPECT_EQ(system.RegisterFunction("wind", &constant), -1);
    EXPECT_EQ(constant.mName, TString("wind"));
    ASSERT_TRUE(system.Load("SetNumParticles(1)\n"
                            "base, size = GetParticleMemberParts(wind)\n"
                            "pUp:Init(wind)\n"
                            "pScale:Init(wind[2])\n"));
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("base"), -1);
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("size"), 2);
    system.GetScript()->DoLuaString("CreateParticles(1)");
    const float* particle = system.GetCollection().mLive.front();
    EXPECT_EQ(particle[2], 7.0f);
    EXPECT_EQ(particle[3], 9.0f);
    EXPECT_EQ(particle[4], 9.0f);
}

TEST_F(ParticleSystemTest, OneSharedScriptKeepsEachSystemsUpdate)
{
    SetConfig("lpsonescript", "1");
    {
        // Made and loaded in turn: a description compiles into the system made last.
        auto first = std::make_unique<TLuaParticleSystem>();
        ASSERT_TRUE(first->Load("SetNumParticles(10)\nSetUpGravity(10)\n"
                                "function Update(s) CreateParticles(1) end"));
        auto second = std::make_unique<TLuaParticleSystem>();
        ASSERT_EQ(first->GetScript(), second->GetScript());
        EXPECT_EQ(second->GetId(), first->GetId() + 1);
        ASSERT_TRUE(second->Load("SetNumParticles(10)\nfunction Update(s) CreateParticles(3) end"));
        first->Update(16);
        second->Update(16);
        first->Update(16);
        EXPECT_EQ(first->GetParticleCount(), 2u);
        EXPECT_EQ(second->GetParticleCount(), 3u);

        // The second's Update goes with it; the bound functions of the gone system do nothing.
        TScript* script = first->GetScript();
        int id = second->GetId();
        second.reset();
        EXPECT_EQ(Eval(*first, "Update" + std::to_string(id) + " == nil and 1 or 0"), 1);
        script->DoLuaString("GetParticleCount(); SetNumParticles(3)");
        first->Update(16);
        EXPECT_EQ(first->GetParticleCount(), 3u);

        // pVelocity, left by the first description, names floats a third system never allocated:
        // its gravity compiles nothing.
        TLuaParticleSystem third;
        ASSERT_TRUE(third.Load("SetUpGravity(10)"));
        EXPECT_EQ(third.GetFloatsPerParticle(), 10);
        EXPECT_EQ(Describe(third.GetAnimProgram()),
                  (Lines{"2:0,10", "FTimeScale/1", "FAdd/2", "1:10", "1:2", "FAssign/3"}));
        EXPECT_NE(Log().find("CompileParam: member 10 (2 floats) is not this particle system's"),
                  std::string::npos);
    }
    SetConfig("lpsonescript", "0");
    TLuaParticleSystem alone;
    TLuaParticleSystem another;
    EXPECT_NE(alone.GetScript(), another.GetScript());
}

TEST_F(ParticleSystemTest, BadDescriptionsAreReportedAndTheSystemGoesOn)
{
    TLuaParticleSystem system;
    EXPECT_TRUE(system.Load("this is not lua"));
    EXPECT_TRUE(system.Load("SetNumParticles(2)\nfunction Update(s) error('boom') end"));
    system.Update(16);
    EXPECT_TRUE(system.Load("function Update(s) Spawn(1) end"));
    system.Update(16);
    EXPECT_EQ(system.GetParticleCount(), 1u);
    EXPECT_TRUE(system.Load("g = NewParticleGenerator()\n"
                            "function Update(s) CreateParticles(g(0, s * 1000)) end"));
    system.Update(16);
    // An update that is no function: the call's error names it as before.
    EXPECT_TRUE(system.Load("Update = 5"));
    system.Update(16);
    std::string log = Log();
    EXPECT_NE(log.find("boom"), std::string::npos);
    EXPECT_NE(log.find("Create"), std::string::npos);
    EXPECT_NE(log.find("attempt to call global `Update' (a number value)"), std::string::npos)
        << log;
}

// An update that raises every frame is logged once, then counted: the count comes when the update
// runs cleanly again, and when the system goes. The time step in the call does not make a
// message new.
TEST_F(ParticleSystemTest, AnUpdateThatFailsEveryFrameIsLoggedOnceThenCounted)
{
    auto countOf = [](const std::string& text, const std::string& part)
    {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };
    {
        TLuaParticleSystem system;
        ASSERT_TRUE(system.Load("broken = true\n"
                                "function Update(s) if broken then error('every frame') end end"));
        for (int frame = 0; frame < 100; ++frame)
            system.Update(10 + frame % 7);
        std::string log = Log();
        EXPECT_EQ(countOf(log, "every frame"), 1u) << log;
        EXPECT_EQ(countOf(log, "more times"), 0u) << log;
        system.GetScript()->DoLuaString("broken = false");
        system.Update(16);
        system.Update(16);
        log = Log();
        EXPECT_EQ(countOf(log, ": The same error came 99 more times: Lua error: "), 1u) << log;
        EXPECT_EQ(countOf(log, "every frame"), 2u) << log;
        system.GetScript()->DoLuaString("broken = true");
        for (int frame = 0; frame < 3; ++frame)
            system.Update(16);
    }
    const std::string log = Log();
    EXPECT_EQ(countOf(log, "every frame"), 4u) << log;
    EXPECT_EQ(countOf(log, ": The same error came 2 more times: Lua error: "), 1u) << log;
}
} // namespace

namespace
{
// The shared generator is made by the first system from a fresh GUID, which tests can fix.
double FirstDraw()
{
    TLuaParticleSystem system;
    system.GetScript()->DoLuaString("first = RandomFloat()");
    return system.GetScript()->GetGlobalNumber("first");
}

TEST(ParticleRandomSeed, FollowsTheGuid)
{
    uint8_t guid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    sys::SetNewGuidOverride(true, guid);
    double a = FirstDraw();
    double b = FirstDraw();
    guid[0] = 99;
    sys::SetNewGuidOverride(true, guid);
    double c = FirstDraw();
    sys::SetNewGuidOverride(false);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}
// Updates of 16 live particles or more run the anim program compiled, fewer node by node: both
// against the runner over copies of the same particles, as the two batches expire in turn.
TEST_F(ParticleSystemTest, UpdatesAroundTheCompiledBatchSizeMatchTheRunner)
{
    const uint8_t widths[] = {2, 2, 1, 4, 1, 1, 2};
    for (int second : {7, 8})
    {
        TLuaParticleSystem system;
        ASSERT_TRUE(
            system.Load("SetNumParticles(20)\npAge = Allocate(1)\nSetUpGravity(50)\n"
                        "pVelocity:Init(f2dRadius(40))\n"
                        "pAge:Anim(pAge + fTimeScale(1))\n"
                        "pPosition:Anim(pPosition + fTimeScale(pVelocity))\n"
                        "pColor:Anim(fAlpha(Color(1, 0.5, 0.2, 1), fFade(pAge, 1, 0.04, 0)))\n"
                        "Anim(fExpire(fLess(0.03, pAge)))\n"
                        "function Update(s) end\n"));
        ASSERT_EQ(system.GetFloatsPerParticle(), 13);
        system.GetScript()->DoLuaString("CreateParticles(8)");
        system.Update(16);
        system.GetScript()->DoLuaString(
            ("CreateParticles(" + std::to_string(second) + ")").c_str());
        std::vector<std::vector<float>> copies;
        for (float* block : system.GetCollection().mLive)
            copies.emplace_back(block, block + 13);
        ASSERT_EQ(copies.size(), 8u + second);
        for (int step = 0; step < 3; ++step)
        {
            system.Update(16);
            TParticleRunner runner(widths, 7, 16, &system);
            for (auto it = copies.begin(); it != copies.end();)
                it = runner.Run(system.GetAnimProgram(), it->data()) ? it + 1 : copies.erase(it);
            std::vector<std::vector<float>> live;
            for (float* block : system.GetCollection().mLive)
                live.emplace_back(block, block + 13);
            EXPECT_EQ(live, copies) << "step " << step << ", " << 8 + second << " particles";
        }
        EXPECT_TRUE(copies.empty());
    }
}

// The compiled program is kept from update to update: it follows a change of step (a time scale
// folded for 16 ms must not serve 33 ms), a program grown by a later description and a member
// allocated after it, and keeps serving a batch that has shrunk below the compiled size.
TEST_F(ParticleSystemTest, AKeptCompiledProgramFollowsTheStepTheProgramAndTheMembers)
{
    TLuaParticleSystem system;
    ASSERT_TRUE(system.Load("SetNumParticles(40)\nRequireVelocity()\npAge = Allocate(1)\n"
                            "pVelocity:Init(f2dRadius(40))\n"
                            "pAge:Anim(pAge + fTimeScale(1))\n"
                            "pPosition:Anim(pPosition + fTimeScale(pVelocity) + "
                            "fTimeScale(Vec2(3, 1)))\n"
                            "Anim(fExpire(fLess(0.12, pAge)))\n"
                            "function Update(s) end\n"));
    ASSERT_EQ(system.GetFloatsPerParticle(), 13);
    auto snapshot = [&]
    {
        std::vector<std::vector<float>> out;
        for (float* block : system.GetCollection().mLive)
            out.emplace_back(block, block + system.GetFloatsPerParticle());
        return out;
    };
    // Before each step, a statement (particles made there are copied again).
    const std::pair<int32_t, const char*> steps[] = {
        {16, "CreateParticles(20)"},
        {16, nullptr},
        {33, nullptr},
        {33, "pPosition:Anim(pPosition + fTimeScale(Vec2(0, 5)))"},
        // New members lie past the old blocks: the particles are made again, wider.
        {16, "pExtra = Allocate(1) pExtra:Anim(fTimeScale(2)) CreateParticles(20)"},
        {50, "CreateParticles(4)"},
        {16, nullptr},
        {16, nullptr},
        {16, nullptr},
        // The twenty expire (130 ms): the four go on, compiled, and expire in the last step.
        {16, nullptr},
        {16, nullptr}};
    std::vector<std::vector<float>> copies;
    size_t step = 0;
    for (const auto& [ms, statement] : steps)
    {
        if (statement != nullptr)
        {
            system.GetScript()->DoLuaString(statement);
            copies = snapshot();
        }
        system.Update(ms);
        TParticleRunner runner(system.GetMemberWidths().data(),
                               static_cast<uint32_t>(system.GetMemberWidths().size()),
                               static_cast<uint32_t>(ms), &system);
        for (auto it = copies.begin(); it != copies.end();)
            it = runner.Run(system.GetAnimProgram(), it->data()) ? it + 1 : copies.erase(it);
        EXPECT_EQ(snapshot(), copies) << "step " << step;
        const size_t live[] = {20, 20, 20, 20, 20, 24, 24, 24, 24, 4, 0};
        EXPECT_EQ(copies.size(), live[step]) << "step " << step;
        ++step;
    }
}

} // namespace
