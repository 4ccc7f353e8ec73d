// The game's hidden items and events: the character's four found effects, none without scripts,
// the drawing order and the running out after a stop; the events' journal lists.
#include "game/entities/mkw_gameplay_event.h"
#include "game/entities/mkw_gameplay_item.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "game/entities/game_entity_test_support.h"
#include "particles/lua_particle_system.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace mkw_gameplay_item_test
{
namespace
{

using gameentitytest::Script;

std::string Info()
{
    std::string info = "{ ";
    for (const char* character : {"lirae", "thessalor"})
        for (const char* kind : {"particle", "particlesplash"})
            for (const char* second : {"", "secondary"})
                info += std::string(kind) + character + second + " = \"" +
                        Script(std::string(kind) + character + second) + "\", ";
    return info + "}";
}

class MKWItemTest : public advtest::EntityDisplayTest
{
protected:
    std::unique_ptr<MKWGameplayItem> Make(const std::string& info = Info())
    {
        return std::make_unique<MKWGameplayItem>(
            *Table("{ name = 'key', inventory = 'key', x = 100, y = 100, inventoryparts = { 1 } }"),
            *Table(info));
    }
    static std::string Which(const std::shared_ptr<TLuaParticleSystem>& system)
    {
        return system != nullptr ? system->GetScript()->GetGlobalString("which").c_str() : "-";
    }
    static std::vector<std::string> Effects(MKWGameplayItem& item)
    {
        return {Which(item.GetParticles()), Which(item.GetParticlesSecondary()),
                Which(item.GetSplash()), Which(item.GetSplashSecondary())};
    }
};

TEST_F(MKWItemTest, TheFlagPicksTheCharactersFourEffects)
{
    auto item = Make();
    EXPECT_FALSE(item->HasLiraeEffects());
    item->StartParticles();
    EXPECT_EQ(Effects(*item), (std::vector<std::string>{
                                  "particlethessalor", "particlethessalorsecondary",
                                  "particlesplashthessalor", "particlesplashthessalorsecondary"}));
    item->SetLiraeEffects(true);
    item->StartParticles();
    EXPECT_EQ(Effects(*item),
              (std::vector<std::string>{"particlelirae", "particleliraesecondary",
                                        "particlesplashlirae", "particlesplashliraesecondary"}));

    // No keys: no effects; a script that does not exist, or a wrong-typed name: none either.
    auto bare = Make("{ particlethessalor = 'fx/none.lua', particlesplashthessalor = {} }");
    bare->StartParticles();
    EXPECT_EQ(Effects(*bare), (std::vector<std::string>{"-", "-", "-", "-"}));
    EXPECT_EQ(rendertest::CountOf(Log(), "fx/none.lua"), 1) << Log();

    // Destroyed through a base pointer while its effects run.
    std::shared_ptr<GameplayEntity> entity = Make();
    static_cast<MKWGameplayItem&>(*entity).StartParticles();
    Tick(10, {entity.get()});
    entity.reset();
}

TEST_F(MKWItemTest, CompanionsDrawFirstAndRunOutAfterAStop)
{
    auto item = Make("{ particlethessalor = \"" + Script("base", "0, 1, 0, 1") +
                     "\", particlethessalorsecondary = \"" + Script("own", "1, 0, 0, 1") + "\" }");
    item->StartParticles();
    for (int i = 0; i < 3; ++i)
        Tick(10, {item.get()});
    ASSERT_TRUE(Draw2d([&] { item->DrawEffects(TDrawSpec()); }));
    EXPECT_EQ(Back(100, 100), 0x00FF00u); // the base's effect over the companion

    item->StopParticles();
    EXPECT_EQ(item->GetParticlesSecondary()->GetScript()->GetGlobalNumber("gActive"), 0);
    Tick(50, {item.get()});
    EXPECT_NE(item->GetParticlesSecondary(), nullptr);
    for (int i = 0; i < 10; ++i)
        Tick(10, {item.get()});
    EXPECT_EQ(item->GetParticlesSecondary(), nullptr);
    EXPECT_EQ(item->GetParticles(), nullptr);
}

TEST_F(MKWItemTest, EventsKeepTheirJournalListsInOrder)
{
    MKWGameplayEvent event(*Table("{ name = 'e', journaltoactivate = { 'goal_b', 'goal_a', 7 }, "
                                  "journaltodeactivate = { 'x', {}, 'y' } }"));
    EXPECT_EQ(event.GetJournalToActivate().size(), 3u);
    EXPECT_STREQ(event.GetJournalToActivate()[0].c_str(), "goal_b");
    EXPECT_STREQ(event.GetJournalToActivate()[1].c_str(), "goal_a");
    EXPECT_STREQ(event.GetJournalToActivate()[2].c_str(), "7");
    ASSERT_EQ(event.GetJournalToDeactivate().size(), 2u);
    EXPECT_STREQ(event.GetJournalToDeactivate()[1].c_str(), "y");
    EXPECT_EQ(rendertest::CountOf(Log(), "neither text nor a number"), 1);

    MKWGameplayEvent plain(*Table("{ name = 'p', journaltoactivate = 'goal' }"));
    EXPECT_TRUE(plain.GetJournalToActivate().empty());
    EXPECT_TRUE(plain.GetJournalToDeactivate().empty());
    EXPECT_STREQ(plain.GetName().c_str(), "p");
}

} // namespace

} // namespace mkw_gameplay_item_test
