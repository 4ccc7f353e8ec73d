// The game's scene factory: the kinds in their fixed order whatever the depths, the scene's sort
// over them, missing lists, and a missing info table that stops the building with one report.
#include "game/runner/mkw_gameplay_factory.h"

#include "framework/adventure/entities/gameplay_entity.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/framework_display_support.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_item.h"
#include "game/runner/mkw_gameplay.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const char kInfo[] = "{ iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} }";

class MKWGameplayFactoryTest : public fwtest::FrameworkDisplayTest
{
protected:
    std::vector<std::string> Names(const std::vector<std::shared_ptr<GameplayEntity>>& list)
    {
        std::vector<std::string> names;
        for (const auto& entity : list)
            names.push_back(std::string(entity->GetName().c_str()) + ":" +
                            std::to_string(entity->GetType()));
        return names;
    }
    MKWGameplayFactory mFactory;
};

TEST_F(MKWGameplayFactoryTest, KindsComeInTheirOrderAndTheSceneSortsThemByDepth)
{
    auto scene = Table("{ particles = { { name = 'p', depth = 1 } }, "
                       "text = { { name = 't', depth = 2, text = {} } }, "
                       "layers = { { name = 'l1', depth = 5 }, { name = 'l2', depth = -1 } }, "
                       "areas = { { name = 'a', depth = 3, events = {} } }, "
                       "items = { { name = 'i', depth = 10, inventoryparts = {} } } }");
    auto info = Table(kInfo);
    const auto built = mFactory.CreateEntities(*scene, *info);
    EXPECT_EQ(Names(built),
              (std::vector<std::string>{"i:40", "a:50", "l1:30", "l2:30", "t:60", "p:20"}));
    EXPECT_NE(std::dynamic_pointer_cast<MKWGameplayItem>(built[0]), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<MKWGameplayArea>(built[1]), nullptr);

    // Depths 5, -1, 10: compared unsigned, -1 first.
    auto three = Table("{ layers = { { name = 'five', depth = 5 }, { name = 'minus', depth = -1 }, "
                       "{ name = 'ten', depth = 10 } } }");
    auto empty = Table("{}");
    GameplayScene sorted(mFactory, *info, "s", *three, nullptr, *empty);
    EXPECT_EQ(Names(sorted.GetEntities()),
              (std::vector<std::string>{"minus:30", "ten:30", "five:30"}));

    // No lists: nothing, no report.
    EXPECT_TRUE(mFactory.CreateEntities(*empty, *info).empty());
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:"), 0) << Log();
}

TEST_F(MKWGameplayFactoryTest, AMissingInfoTableEndsTheBuildingWithOneReport)
{
    auto scene = Table("{ items = { { name = 'i' } }, areas = { { name = 'a', events = {} } }, "
                       "layers = { { name = 'l' } }, text = { { name = 't' } }, "
                       "particles = { { name = 'p' } } }");
    const struct
    {
        const char* info;
        std::vector<std::string> built;
        const char* missing;
    } cases[] = {
        {"{ areainfo = {}, layerinfo = {}, textinfo = {} }", {}, "iteminfo"},
        {"{ iteminfo = {}, layerinfo = {}, textinfo = {} }", {"i:40"}, "areainfo"},
        {"{ iteminfo = {}, areainfo = {}, textinfo = {} }", {"i:40", "a:50"}, "layerinfo"},
        {"{ iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = 4 }",
         {"i:40", "a:50", "l:30"},
         "textinfo"},
    };
    for (const auto& c : cases)
    {
        auto info = Table(c.info);
        EXPECT_EQ(Names(mFactory.CreateEntities(*scene, *info)), c.built) << c.missing;
        EXPECT_EQ(rendertest::CountOf(Log(), std::string("ERROR:Cannot find '") + c.missing +
                                                 "' table for MKWGameplayFactory!   "
                                                 "FILE:mkwgameplayfactory LINE:"),
                  1)
            << c.missing;
    }
    // Particles need no info table.
    auto particles = Table("{ particles = { { name = 'p' } } }");
    auto info = Table(kInfo);
    EXPECT_EQ(Names(mFactory.CreateEntities(*particles, *info)),
              (std::vector<std::string>{"p:20"}));
}

TEST_F(MKWGameplayFactoryTest, TheGamesRunnerMakesTheGamesFactory)
{
    MKWGameplay gameplay;
    EXPECT_NE(std::dynamic_pointer_cast<MKWGameplayFactory>(gameplay.CreateFactory()), nullptr);
    EXPECT_TRUE(gameplay.IsKindOf(Gameplay::GetClassId()));
    EXPECT_STREQ(gameplay.GetClassName(), "MKWGameplay");
}

} // namespace
