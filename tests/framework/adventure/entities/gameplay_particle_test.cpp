// Particle entities: the "functions" and "data" tables, the self switch-off once the effect has
// died out (never before its first particle), drawing at the parent's translation, bad tables.
#include "framework/adventure/entities/gameplay_particle.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/widgets/particle_functions.h"
#include "particles/lua_particle_system.h"
#include "script/script.h"

#include <map>
#include <memory>

namespace
{

// Particles live 100 ms; "emit" sets how many the next update makes.
const char kEffect[] = "script = 'SetNumParticles(8) pAge = Allocate(1) "
                       "pAge:Anim(pAge + fTimeScale(1)) Anim(fExpire(fLess(0.1, pAge))) "
                       "pPosition:Init(Vec2(20, 30)) pScale:Init(6) pColor:Init(Color(1, 1, 1, 1)) "
                       "emit = 0 "
                       "function Update(s) CreateParticles(emit) emit = 0 end'";

class ParticleTest : public advtest::EntityDisplayTest
{
protected:
    std::unique_ptr<GameplayParticle> Make(const std::string& keys)
    {
        return std::make_unique<GameplayParticle>(*Table("{ " + keys + " }"));
    }
    static void Emit(GameplayParticle& particle, int n)
    {
        particle.GetSystem().GetScript()->DoLuaString(("emit = " + std::to_string(n)).c_str());
    }
    static double Eval(GameplayParticle& particle, const std::string& expression)
    {
        TScript* script = particle.GetSystem().GetScript();
        script->DoLuaString(("_probe = " + expression).c_str());
        return script->GetGlobalNumber("_probe");
    }
};

TEST_F(ParticleTest, FunctionsAndDataTables)
{
    auto particle = Make("name = 'smoke', depth = 2, functions = { 'fSin', 'ColorAdjust', 3, "
                         "{ 'fRandom' }, 'fNormalize' }, data = { one = { 5 }, two = { 1, 2 }, "
                         "four = { 1, 2, 3, 4 }, six = { 1, 2, 3, 4, 5, 6 } }");
    EXPECT_EQ(particle->GetType(), 20u);
    EXPECT_EQ(particle->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    TLuaParticleSystem& system = particle->GetSystem();
    EXPECT_NE(system.CreateNode("fSin"), nullptr);
    EXPECT_NE(system.CreateNode("fNormalize"), nullptr);
    EXPECT_EQ(system.CreateNode("fRandom"), nullptr);
    EXPECT_EQ(system.CreateNode("ColorAdjust"), nullptr);

    ASSERT_EQ(particle->GetData().size(), 4u);
    std::map<std::string, const ParticleVector*> byName;
    for (const auto& vector : particle->GetData())
        byName[vector->mName.c_str()] = vector.get();
    EXPECT_EQ(byName["one"]->mWidth, 1);
    EXPECT_EQ(byName["one"]->mValue[0], 5.0f);
    EXPECT_EQ(byName["two"]->mWidth, 2);
    EXPECT_EQ(byName["two"]->mValue[1], 2.0f);
    EXPECT_EQ(byName["two"]->mValue[2], 0.0f);
    EXPECT_EQ(byName["two"]->mValue[3], 0.0f);
    EXPECT_EQ(byName["four"]->mValue[3], 4.0f);
    EXPECT_EQ(byName["six"]->mWidth, 6);
    EXPECT_EQ(byName["six"]->mValue[0], 0.0f);
    EXPECT_EQ(Eval(*particle, "({GetParticleMemberParts(two)})[2]"), 2);

    // Wrong types: no crash, nothing registered from what is no table.
    auto bad = Make("functions = 'fSin', data = 7, endwithnoparticles = 'yes'");
    EXPECT_TRUE(bad->GetData().empty());
    EXPECT_EQ(bad->GetSystem().CreateNode("fSin"), nullptr);
    auto entries = Make("data = { flat = 3, deep = { { 1 } } }");
    ASSERT_EQ(entries->GetData().size(), 2u);
    for (const auto& vector : entries->GetData())
        EXPECT_EQ(vector->mWidth, vector->mName == "deep" ? 1 : 0);
    entries->Update(16);
}

TEST_F(ParticleTest, EndsOnlyAfterItsFirstParticleDied)
{
    auto particle = Make(std::string("endwithnoparticles = true, ") + kEffect);
    advtest::CountingCallback done;
    particle->Show(false, done.Report());
    for (int i = 0; i < 5; ++i)
        Tick(50, {particle.get()});
    EXPECT_EQ(particle->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_FALSE(particle->HadParticles());
    EXPECT_EQ(done.mCalls, 0); // a change with nothing pending waits

    Emit(*particle, 2);
    Tick(50, {particle.get()});
    EXPECT_TRUE(particle->HadParticles());
    EXPECT_EQ(particle->GetSystem().GetParticleCount(), 2u);
    Tick(40, {particle.get()});
    EXPECT_EQ(particle->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    Tick(20, {particle.get()});
    EXPECT_EQ(particle->GetSystem().GetParticleCount(), 0u);
    EXPECT_EQ(particle->GetFlags(), 0);

    // Inactive, it does not run: new particles wait.
    Emit(*particle, 3);
    Tick(50, {particle.get()});
    EXPECT_EQ(particle->GetSystem().GetParticleCount(), 0u);

    auto keeps = Make(kEffect);
    Emit(*keeps, 1);
    Tick(50, {keeps.get()});
    Tick(100, {keeps.get()});
    EXPECT_EQ(keeps->GetSystem().GetParticleCount(), 0u);
    EXPECT_EQ(keeps->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
}

TEST_F(ParticleTest, DrawsAtTheParentsTranslationWhileShownAndActive)
{
    auto particle = Make(std::string(kEffect) + ", functions = { 'fSin' }");
    Emit(*particle, 1);
    Tick(16, {particle.get()});
    ASSERT_EQ(particle->GetSystem().GetParticleCount(), 1u);
    DrawAll({particle.get()}, TDrawSpec(TVec2(300, 200)));
    // A 6-pixel particle at (20, 30) of the effect, moved by the parent's translation.
    advtest::Box box = LitBox();
    EXPECT_NEAR((box.left + box.right) / 2.0, 320, 1);
    EXPECT_NEAR((box.top + box.bottom) / 2.0, 230, 1);
    EXPECT_EQ(box.Width(), 6);
    EXPECT_EQ(particle->GetRect(TDrawSpec()), TRect(0, 0, 0, 0));

    particle->Deactivate(false, nullptr);
    DrawAll({particle.get()}, TDrawSpec(TVec2(300, 200)));
    EXPECT_EQ(LitBox().Width(), 0);
}

} // namespace
