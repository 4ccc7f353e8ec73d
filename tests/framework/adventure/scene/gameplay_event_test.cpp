// Events from their tables: every key, the order in which they are read, lists of numbers as
// text, keys of the wrong type, and an event with only a name.
#include "framework/adventure/scene/gameplay_event.h"

#include "script/lua_object_wrapper.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

class EventTest : public ::testing::Test
{
protected:
    std::unique_ptr<GameplayEvent> Make(const std::string& lua)
    {
        mScript.DoLuaString(("_t = " + lua).c_str());
        std::unique_ptr<TLuaTable> table(mScript.GetGlobalTable("_t"));
        return std::make_unique<GameplayEvent>(*table);
    }
    TScript mScript;
};

using Names = std::vector<TString>;

TEST_F(EventTest, EveryKey)
{
    auto event = Make(
        "{ name = 'open', areastoactivate = { 'door', 'window' }, areastomakevisible = { 'a1' }, "
        "areastocomplete = { 'a2' }, areastoincomplete = { 'a3' }, areastodeactivate = { 'a4' }, "
        "inventorytoactivate = { 'i1' }, inventorytoaddtoscene = { 'i2' }, "
        "inventorytodeactivate = { 'i3' }, inventorytomakeinvisible = { 'i4' }, "
        "layerstoactivate = { 'l1' }, layerstodeactivate = { 'l2' }, "
        "particlestoactivate = { 'p1' }, particlestodeactivate = { 'p2' }, "
        "animations = { 3, 7.5 }, soundstoactivate = { 's1' }, soundstodeactivate = { 's2' }, "
        "inventorytoequip = 'key', action = 'yard', dialog = 'hello', minigame = 'lock', "
        "nextevent = 'close', eventtoactivateonclick = 'again' }");
    EXPECT_STREQ(event->GetName().c_str(), "open");
    EXPECT_EQ(event->GetAreasToActivate(), (Names{"door", "window"}));
    EXPECT_EQ(event->GetAreasToMakeVisible(), (Names{"a1"}));
    EXPECT_EQ(event->GetAreasToComplete(), (Names{"a2"}));
    EXPECT_EQ(event->GetAreasToIncomplete(), (Names{"a3"}));
    EXPECT_EQ(event->GetAreasToDeactivate(), (Names{"a4"}));
    EXPECT_EQ(event->GetInventoryToActivate(), (Names{"i1"}));
    EXPECT_EQ(event->GetInventoryToAddToScene(), (Names{"i2"}));
    EXPECT_EQ(event->GetInventoryToDeactivate(), (Names{"i3"}));
    EXPECT_EQ(event->GetInventoryToMakeInvisible(), (Names{"i4"}));
    EXPECT_EQ(event->GetLayersToActivate(), (Names{"l1"}));
    EXPECT_EQ(event->GetLayersToDeactivate(), (Names{"l2"}));
    EXPECT_EQ(event->GetParticlesToActivate(), (Names{"p1"}));
    EXPECT_EQ(event->GetParticlesToDeactivate(), (Names{"p2"}));
    EXPECT_EQ(event->GetAnimations(), (Names{"3", "7.5"})); // numbers as their script text
    EXPECT_EQ(event->GetSoundsToActivate(), (Names{"s1"}));
    EXPECT_EQ(event->GetSoundsToDeactivate(), (Names{"s2"}));
    EXPECT_STREQ(event->GetInventoryToEquip().c_str(), "key");
    EXPECT_STREQ(event->GetAction().c_str(), "yard");
    EXPECT_STREQ(event->GetDialog().c_str(), "hello");
    EXPECT_STREQ(event->GetMinigame().c_str(), "lock");
    EXPECT_STREQ(event->GetNextEvent().c_str(), "close");
    EXPECT_STREQ(event->GetEventToActivateOnClick().c_str(), "again");
}

TEST_F(EventTest, KeysAreReadInTheirOrder)
{
    mScript.DoLuaString("_read = {} _spy = setmetatable({}, { __index = function(t, k) "
                        "table.insert(_read, k) end })");
    std::unique_ptr<TLuaTable> spy(mScript.GetGlobalTable("_spy"));
    GameplayEvent event(*spy);
    mScript.DoLuaString("_order = table.concat(_read, ' ')");
    EXPECT_STREQ(mScript.GetGlobalString("_order").c_str(),
                 "name inventorytoequip action dialog minigame nextevent eventtoactivateonclick "
                 "areastoactivate areastomakevisible areastocomplete areastoincomplete "
                 "areastodeactivate inventorytoactivate inventorytoaddtoscene "
                 "inventorytodeactivate inventorytomakeinvisible layerstoactivate "
                 "layerstodeactivate particlestoactivate particlestodeactivate animations "
                 "soundstoactivate soundstodeactivate");
}

TEST_F(EventTest, NameOnlyAndWrongTypes)
{
    auto bare = Make("{ name = 'nothing' }");
    EXPECT_STREQ(bare->GetName().c_str(), "nothing");
    EXPECT_TRUE(bare->GetAreasToActivate().empty());
    EXPECT_TRUE(bare->GetAnimations().empty());
    EXPECT_STREQ(bare->GetNextEvent().c_str(), "");
    EXPECT_STREQ(bare->GetAction().c_str(), "");

    auto wrong = Make("{ name = 12, areastoactivate = 'door', layerstoactivate = 5, "
                      "soundstoactivate = { { 'x' }, true, 'owl' }, action = { 'yard' }, "
                      "dialog = false, nextevent = 3 }");
    EXPECT_STREQ(wrong->GetName().c_str(), "12");
    EXPECT_TRUE(wrong->GetAreasToActivate().empty());
    EXPECT_TRUE(wrong->GetLayersToActivate().empty());
    EXPECT_EQ(wrong->GetSoundsToActivate(), (Names{"", "", "owl"}));
    EXPECT_STREQ(wrong->GetAction().c_str(), "");
    EXPECT_STREQ(wrong->GetDialog().c_str(), "");
    EXPECT_STREQ(wrong->GetNextEvent().c_str(), "3");
}

} // namespace
