// The game's areas: the completing character's four effects (the framework's two with the
// secondary scripts), none without scripts, the drawing order and the running out after a stop.
#include "game/entities/mkw_gameplay_area.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "game/entities/game_entity_test_support.h"
#include "particles/lua_particle_system.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using gameentitytest::Script;

std::string Info()
{
    std::string info = "{ ";
    for (const char* n : {"1", "2"})
        for (const char* character : {"lirae", "thessalor"})
            for (const char* second : {"", "secondary"})
            {
                const std::string key = std::string("particlecomplete") + n + character + second;
                info += key + " = \"" + Script(key) + "\", ";
            }
    return info + "}";
}

class MKWAreaTest : public advtest::EntityDisplayTest
{
protected:
    std::unique_ptr<MKWGameplayArea> Make(const std::string& info = Info())
    {
        return std::make_unique<MKWGameplayArea>(*Table("{ name = 'door', events = {} }"),
                                                 *Table(info));
    }
    static std::string Which(const std::shared_ptr<TLuaParticleSystem>& system)
    {
        return system != nullptr ? system->GetScript()->GetGlobalString("which").c_str() : "-";
    }
    static std::vector<std::string> Effects(MKWGameplayArea& area)
    {
        return {Which(area.GetCompleteParticles1()), Which(area.GetOwnCompleteParticles1()),
                Which(area.GetCompleteParticles2()), Which(area.GetOwnCompleteParticles2())};
    }
};

TEST_F(MKWAreaTest, TheFlagPicksTheCharactersFourEffects)
{
    auto area = Make();
    area->StartCompleteParticles();
    EXPECT_EQ(Effects(*area), (std::vector<std::string>{"particlecomplete1thessalorsecondary",
                                                        "particlecomplete1thessalor",
                                                        "particlecomplete2thessalorsecondary",
                                                        "particlecomplete2thessalor"}));
    area->SetLiraeEffects(true);
    area->StartCompleteParticles();
    EXPECT_EQ(Effects(*area), (std::vector<std::string>{
                                  "particlecomplete1liraesecondary", "particlecomplete1lirae",
                                  "particlecomplete2liraesecondary", "particlecomplete2lirae"}));

    // No keys, a script that does not exist: nothing runs.
    auto bare = Make("{ particlecomplete1thessalor = 'fx/none.lua' }");
    bare->StartCompleteParticles();
    EXPECT_EQ(Effects(*bare), (std::vector<std::string>{"-", "-", "-", "-"}));

    // Destroyed through a base pointer while its effects run.
    std::shared_ptr<GameplayEntity> entity = Make();
    static_cast<MKWGameplayArea&>(*entity).StartCompleteParticles();
    Tick(10, {entity.get()});
    entity.reset();
}

TEST_F(MKWAreaTest, OwnEffectsDrawFirstAndRunOutAfterAStop)
{
    auto area = Make("{ particlecomplete1thessalorsecondary = \"" + Script("base", "0, 1, 0, 1") +
                     "\", particlecomplete1thessalor = \"" + Script("own", "1, 0, 0, 1") + "\" }");
    area->StartCompleteParticles();
    for (int i = 0; i < 3; ++i)
        Tick(10, {area.get()});
    ASSERT_TRUE(Draw2d([&] { area->DrawEffects(TDrawSpec(TVec2(100, 100))); }));
    EXPECT_EQ(Back(100, 100), 0x00FF00u); // the framework's effect over the area's own

    area->StopParticles();
    Tick(50, {area.get()});
    EXPECT_NE(area->GetOwnCompleteParticles1(), nullptr);
    for (int i = 0; i < 10; ++i)
        Tick(10, {area.get()});
    EXPECT_EQ(area->GetOwnCompleteParticles1(), nullptr);
    EXPECT_EQ(area->GetCompleteParticles1(), nullptr);
}

} // namespace
