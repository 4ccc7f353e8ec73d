// Cut-scene particle effects: the functions and constant vectors their scripts are given, the
// switch-off once the effect has burnt out, and drawing at the cell's position only.
#include "cutscene_test_support.h"

#include "framework/widgets/particle_functions.h"
#include "game/cutscenes/illustration_panel_particle.h"
#include "particles/lua_particle_system.h"
#include "script/script.h"

#include <map>

namespace
{

// One particle per update while `emit` is set; each lives 50 ms.
const char* const kShortLived =
    "script = 'SetNumParticles(4) pLife = Allocate(1) pPosition:Init(Vec2(20, 30)) "
    "pScale:Init(6) pLife:Init(0) pLife:Anim(pLife + fTimeScale(1)) "
    "Anim(fExpire(fLess(0.05, pLife))) emit = false "
    "function Update(s) if emit then CreateParticles(1) end end'";

class PanelParticleTest : public cuttest::CutsceneTest
{
protected:
    std::shared_ptr<IllustrationPanelParticle> Make(const std::string& lua)
    {
        std::unique_ptr<TLuaTable> table = Table(lua);
        return std::make_shared<IllustrationPanelParticle>(*table);
    }
    static void Emit(IllustrationPanelParticle& particle, bool on)
    {
        particle.GetSystem().GetScript()->DoLuaString(on ? "emit = true" : "emit = false");
    }
};

TEST_F(PanelParticleTest, DataListsBecomeVectorsAndOnlyTheThreeFunctionsRegister)
{
    auto particle = Make("{ name = 'dust', depth = 4, functions = { 'fSin', 'fSin', 'fBogus' },"
                         "  data = { pair = { 1, 2 }, one = { 5 }, six = { 1, 2, 3, 4, 5, 6 } },"
                         "  script = 'SetNumParticles(1)' }");
    EXPECT_STREQ(particle->GetName().c_str(), "dust");
    EXPECT_EQ(particle->GetDepth(), 4);
    EXPECT_FALSE(particle->EndsWithNoParticles());
    TLuaParticleSystem& system = particle->GetSystem();
    EXPECT_NE(system.CreateNode("fSin"), nullptr);
    EXPECT_EQ(system.CreateNode("fBogus"), nullptr);
    EXPECT_EQ(system.CreateNode("fNormalize"), nullptr);
    EXPECT_EQ(system.CreateNode("fRandom"), nullptr);

    ASSERT_EQ(particle->GetVectors().size(), 3u);
    std::map<int, const ParticleVector*> byWidth;
    for (const auto& vector : particle->GetVectors())
        byWidth[vector->mWidth] = vector.get();
    ASSERT_EQ(byWidth.size(), 3u);
    const ParticleVector& pair = *byWidth.at(2);
    EXPECT_EQ(pair.mValue[0], 1);
    EXPECT_EQ(pair.mValue[1], 2);
    EXPECT_EQ(pair.mValue[2], 0);
    EXPECT_EQ(pair.mValue[3], 0);
    const ParticleVector& one = *byWidth.at(1);
    EXPECT_EQ(one.mValue[0], 5);
    EXPECT_EQ(one.mValue[1], 0);
    // Six numbers: the width is held to the four components, logged once.
    const ParticleVector& six = *byWidth.at(4);
    EXPECT_EQ(six.mValue[3], 4);
    EXPECT_EQ(CountInLog("data 'six' has 6 numbers; the first 4 are used"), 1);
    // The script reads them by name.
    system.GetScript()->DoLuaString("_w = ({GetParticleMemberParts(pair)})[2]");
    EXPECT_EQ(system.GetScript()->GetGlobalNumber("_w"), 2);

    auto others = Make("{ functions = { 'fNormalize', 'fRandom' } }");
    EXPECT_NE(others->GetSystem().CreateNode("fNormalize"), nullptr);
    EXPECT_NE(others->GetSystem().CreateNode("fRandom"), nullptr);
    EXPECT_EQ(others->GetSystem().CreateNode("fSin"), nullptr);
}

TEST_F(PanelParticleTest, WrongTypedKeysAreLoggedAndIgnored)
{
    auto particle = Make("{ depth = 'x', functions = 5, data = { bad = 'abc', good = { 3 } },"
                         "  endwithnoparticles = true }");
    EXPECT_EQ(CountInLog("IllustrationPanelParticle: 'functions' is not a table"), 1);
    EXPECT_EQ(CountInLog("data 'bad' is not a list of numbers"), 1);
    EXPECT_EQ(CountInLog("'depth' is not a number"), 1);
    ASSERT_EQ(particle->GetVectors().size(), 1u);
    EXPECT_EQ(particle->GetVectors()[0]->mValue[0], 3);
    auto data = Make("{ data = 7 }");
    EXPECT_EQ(CountInLog("IllustrationPanelParticle: 'data' is not a table"), 1);
    // No script: updates and draws do nothing harmful.
    data->Update(16);
    Draw([&] { data->Draw(TDrawSpec()); });
    EXPECT_TRUE(data->IsActive());
}

TEST_F(PanelParticleTest, EndsOnlyAfterItHadParticlesAndAgainAtOnceAfterReactivation)
{
    auto particle = Make(std::string("{ endwithnoparticles = true, ") + kShortLived + " }");
    EXPECT_TRUE(particle->EndsWithNoParticles());
    // An effect that has spawned nothing yet stays on.
    for (int i = 0; i < 5; ++i)
        particle->Update(16);
    EXPECT_TRUE(particle->IsActive());
    EXPECT_FALSE(particle->HadParticles());

    Emit(*particle, true);
    particle->Update(16);
    EXPECT_GT(particle->GetSystem().GetParticleCount(), 0u);
    EXPECT_TRUE(particle->HadParticles());
    Emit(*particle, false);
    for (int i = 0; i < 10 && particle->IsActive(); ++i)
        particle->Update(40);
    EXPECT_FALSE(particle->IsActive());
    EXPECT_EQ(particle->GetSystem().GetParticleCount(), 0u);

    // Switched on again with nothing alive, it switches off at its next update.
    particle->Activate();
    EXPECT_TRUE(particle->IsActive());
    particle->Update(16);
    EXPECT_FALSE(particle->IsActive());

    // Without the key it burns out and stays on.
    auto plain = Make(std::string("{ ") + kShortLived + " }");
    Emit(*plain, true);
    plain->Update(16);
    Emit(*plain, false);
    for (int i = 0; i < 10; ++i)
        plain->Update(40);
    EXPECT_EQ(plain->GetSystem().GetParticleCount(), 0u);
    EXPECT_TRUE(plain->IsActive());
}

TEST_F(PanelParticleTest, DrawsAtTheSpecsTranslationOnly)
{
    auto particle = Make(std::string("{ ") + kShortLived + " }");
    Emit(*particle, true);
    particle->Update(16);
    ASSERT_GT(particle->GetSystem().GetParticleCount(), 0u);
    // Scaled, faded and moved: only the move reaches the effect.
    TDrawSpec spec(TVec2(100, 200), 0.1f, 3.0f);
    Draw([&] { particle->Draw(spec); });
    EXPECT_EQ(Pixel(120, 230), 0xFFFFFFu);
    EXPECT_EQ(Pixel(60, 90), 0u);
    Draw([&] { particle->DrawInactive(spec); });
    EXPECT_EQ(Pixel(120, 230), 0xFFFFFFu);
    // Switched off, nothing is drawn; pausing changes nothing.
    particle->Pause();
    particle->Resume();
    particle->Deactivate();
    Draw([&] { particle->Draw(spec); });
    EXPECT_EQ(Pixel(120, 230), 0u);
}

} // namespace
