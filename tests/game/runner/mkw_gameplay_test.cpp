// The game's classes made by a runner's creation slots on a real location load: inventory objects
// with their marks (one of neither character said), events with their journal lists, the
// factory's items and areas, and a found item and a completed area starting the effects their
// flags select.
#include "framework/adventure/hud/gameplay_hud.h"
#include "framework/adventure/runner/gameplay.h"
#include "framework/adventure/scene/gameplay_scene.h"
#include "framework/screen_test_support.h"
#include "game/entities/mkw_gameplay_area.h"
#include "game/entities/mkw_gameplay_event.h"
#include "game/entities/mkw_gameplay_item.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "game/runner/mkw_gameplay.h"
#include "game/runner/mkw_gameplay_factory.h"
#include "particles/lua_particle_system.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// The framework's runner with the game's creation slots, so the test does not depend on the rest
// of the game's runner.
struct GameSlotsGameplay : Gameplay
{
    static TWindow* Create() { return new GameSlotsGameplay; }
    std::shared_ptr<GameplayInventory> CreateInventory(const TLuaTable& table,
                                                       const TLuaTable& info) override
    {
        return mGame.CreateInventory(table, info);
    }
    std::shared_ptr<GameplayEvent> CreateEvent(const TLuaTable& table) override
    {
        return mGame.CreateEvent(table);
    }
    std::shared_ptr<GameplayFactory> CreateFactory() override { return mGame.CreateFactory(); }
    MKWGameplay mGame;
};

// A script that names itself in the global "which".
std::string Tagged(const std::string& tag)
{
    return "\"which = '" + tag +
           "' SetNumParticles(4) function Update(s) if gActive == 1 then CreateParticles(1) end "
           "end\"";
}

class MKWGameplayTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("Gameplay", &GameSlotsGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &GameplayHud::Create);
        Image("hud/bg.png", 800, 100, 0xFF303030);
    }
    void TearDown() override
    {
        mManager->GetScript()->DoLuaString("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
};

TEST_F(MKWGameplayTest, ALocationLoadsTheGamesClasses)
{
    mManager->GetScript()->DoLuaString(
        "gameplayinstructions = { conversations = {}, scenes = { 'a' }, "
        "a = { items = { { name = 'key_1', inventory = 'key', inventoryparts = { 1 }, x = 10, "
        "y = 10 } }, areas = { { name = 'door', events = {} } } }, "
        "events = { { name = 'e1', journaltoactivate = { 'goal_1', 2 } } }, "
        "inventory = { { name = 'key', type = 'thessalor', partcount = 1 }, "
        "{ name = 'oil', type = 'lirae' }, { name = 'rope' }, { name = 'lamp', type = 'Lirae' }, "
        "{ name = 'charm', canbeplacedinhud = false } }, "
        "initial_event = 'e1', active_scene = 'a' }");
    mManager->GetScript()->DoLuaString(
        ("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, "
         "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
         "playlist = { location01 = { a = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
         "locationnumber = 1, playlistinfo = {}, inventoryinfo = { barwidth = 0 }, "
         "entityinfo = { iteminfo = { particlethessalor = " +
         Tagged("thessalor") + ", particlelirae = " + Tagged("lirae") +
         " }, areainfo = { particlecomplete1thessalor = " + Tagged("thessalor") +
         ", particlecomplete1lirae = " + Tagged("lirae") +
         " }, layerinfo = {}, textinfo = {} }, "
         "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
         "background = { image = 'hud/bg.png' }, foreground = { image = 'hud/bg.png' }, "
         "progressbar = { image = 'hud/bg.png' }, inventorybounds = { w = 300, h = 80 } } }()")
            .c_str());
    auto* gameplay =
        static_cast<Gameplay*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
    ASSERT_NE(gameplay, nullptr);

    const auto& inventory = gameplay->GetInventory();
    ASSERT_EQ(inventory.size(), 5u);
    int marks[5] = {-1, -1, -1, -1, -1};
    for (size_t i = 0; i < 5; ++i)
        if (auto* object = dynamic_cast<MKWGameplayInventory*>(inventory[i].get()))
            marks[i] = object->GetCharacterMark();
    EXPECT_EQ(marks[0], 1);
    EXPECT_EQ(marks[1], 2);
    EXPECT_EQ(marks[2], 0);
    EXPECT_EQ(marks[3], 0);
    // An object the strip can show but of neither character is said at load; one only ever held
    // in the hand needs no type.
    const std::string lost = ": the strip shows only \"lirae\" or \"thessalor\" objects, so its "
                             "found parts never show and the location cannot end";
    EXPECT_EQ(CountInLog("ERROR:Inventory object 'rope' has no \"type\"" + lost), 1) << Log();
    EXPECT_EQ(CountInLog("ERROR:Inventory object 'lamp' has \"type\" 'Lirae'" + lost), 1);
    EXPECT_EQ(CountInLog(lost), 2);

    ASSERT_EQ(gameplay->GetEvents().size(), 1u);
    auto* event = dynamic_cast<MKWGameplayEvent*>(gameplay->GetEvents()[0].get());
    ASSERT_NE(event, nullptr);
    ASSERT_EQ(event->GetJournalToActivate().size(), 2u);
    EXPECT_STREQ(event->GetJournalToActivate()[1].c_str(), "2");

    GameplayScene* scene = gameplay->FindScene("a");
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(scene->GetItems().size(), 1u);
    auto* item = dynamic_cast<MKWGameplayItem*>(scene->GetItems()[0]);
    ASSERT_NE(item, nullptr);
    // Found: Thessalor's effect until the flag says Lirae's.
    item->StartFoundAnimation(nullptr, inventory[0].get());
    ASSERT_NE(item->GetParticles(), nullptr);
    EXPECT_STREQ(item->GetParticles()->GetScript()->GetGlobalString("which").c_str(), "thessalor");
    item->SetLiraeEffects(true);
    item->StartParticles();
    EXPECT_STREQ(item->GetParticles()->GetScript()->GetGlobalString("which").c_str(), "lirae");

    // Completed: likewise for the area.
    auto* area = dynamic_cast<MKWGameplayArea*>(gameplay->FindArea("door"));
    ASSERT_NE(area, nullptr);
    area->SetFlags(GameplayEntity::kActive);
    area->Complete(nullptr, true);
    ASSERT_NE(area->GetOwnCompleteParticles1(), nullptr);
    EXPECT_STREQ(area->GetOwnCompleteParticles1()->GetScript()->GetGlobalString("which").c_str(),
                 "thessalor");
}

} // namespace
