// Areas: their keys and the fatal missing "events", click events found, reported and used, the
// object laid on them, instant state changes with the callback rules, and their saved bytes.
#include "framework/adventure/entities/gameplay_area.h"

#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/framework_display_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

struct Calls
{
    static void On(void* object, TM_Transform*, uint32_t) { ++static_cast<Calls*>(object)->mCount; }
    Callback mCallback{this, &Calls::On};
    int mCount = 0;
};

class AreaTest : public fwtest::FrameworkDisplayTest
{
protected:
    std::unique_ptr<GameplayArea> Area(const std::string& lua, const std::string& info = "{}")
    {
        auto table = Table(lua);
        auto shared = Table(info);
        return std::make_unique<GameplayArea>(*table, *shared);
    }
    std::unique_ptr<GameplayInventory> Object(const std::string& name)
    {
        auto table = Table("{ name = '" + name + "' }");
        auto shared = Table("{}");
        return std::make_unique<GameplayInventory>(*table, *shared);
    }
    int Errors(const std::string& text) { return rendertest::CountOf(Log(), "ERROR:" + text); }
};

TEST_F(AreaTest, KeysAndAMissingEventsTable)
{
    auto area = Area("{ name = 'door', depth = 4, isportal = true, hasactiveframe = 1, "
                     "personification = 2.9, actualname = 'Door', clickdialog = 'd', "
                     "portalcursor = 'p', cursor = 'c', groupid = 3, image = 'dev/door', "
                     "x = 600.7, y = 150, inventoryx = 10, inventoryy = -1.5, "
                     "events = { default = { eventname = 'go' } } }",
                     "{ imagemask = '_mask', timevisible = 300 }");
    EXPECT_EQ(area->GetType(), GameplayEntity::kTypeArea);
    EXPECT_TRUE(area->IsPortal());
    EXPECT_EQ(area->GetPersonification(), 2);
    EXPECT_EQ(area->GetGroupId(), TString("3"));
    EXPECT_EQ(area->GetActualName(), TString("Door"));
    EXPECT_EQ(area->GetPosition(), TVec2(600, 150));
    EXPECT_EQ(area->GetInventoryPosition(), TVec2(610, 149));
    EXPECT_EQ(Errors(""), 0);

    // Without "events": fatal, named after the area, nothing more read.
    auto broken = Area("{ name = 'chest', isportal = true, x = 5 }");
    EXPECT_EQ(Errors("chest   FILE:gameplayarea LINE:"), 1);
    EXPECT_FALSE(broken->IsPortal());
    EXPECT_EQ(broken->GetPosition(), TVec2(0, 0));
    // Wrong types read as their defaults.
    auto odd = Area("{ events = {}, x = 'left', personification = {}, groupid = {} }");
    EXPECT_EQ(odd->GetPosition(), TVec2(0, 0));
    EXPECT_EQ(odd->GetPersonification(), 0);
}

TEST_F(AreaTest, ClickEventsMatchByObjectAndPlainClicksFallBackOnUsedOnes)
{
    auto area = Area("{ events = { default = { eventname = 'A' }, key = { eventname = 'B' } } }");
    EXPECT_EQ(area->FindEventForInventory("key"), TString("B"));
    EXPECT_EQ(area->FindEventForInventory("default"), TString("A"));
    area->MarkEventUsed("key");
    // Whichever of the two comes first in the stored order.
    const TString first = area->GetClickEvents()[0]->eventName;
    EXPECT_EQ(area->FindEventForInventory("default"), first);

    // An object without an event: reported, empty; the question alone stays silent.
    auto plain = Area("{ events = { key = { eventname = 'B' } } }");
    EXPECT_FALSE(plain->HasEventForInventory("lamp"));
    EXPECT_EQ(Errors("Cannot find event for inventory"), 0);
    EXPECT_EQ(plain->FindEventForInventory("lamp"), TString());
    EXPECT_EQ(Errors("Cannot find event for inventory 'lamp'!   FILE:gameplayarea"), 1);
    EXPECT_EQ(plain->FindEventForInventory(""), TString());
    EXPECT_EQ(Errors("Cannot find event for inventory ''!"), 1);
    EXPECT_FALSE(plain->HasEventForInventory("default"));
}

TEST_F(AreaTest, HoldingAcceptsListedObjectsOnce)
{
    auto area = Area("{ events = {}, holdableinventory = { 'lamp', 'key' }, "
                     "correctinventorytohold = { 'key' } }");
    auto lamp = Object("lamp");
    auto key = Object("key");
    auto rope = Object("rope");
    area->HoldInventory(rope.get());
    EXPECT_EQ(Errors("Cannot hold Inventory.   FILE:gameplayarea"), 1);
    EXPECT_EQ(area->GetHeldInventory(), nullptr);
    EXPECT_TRUE(area->CanHoldInventory(lamp.get()));
    area->HoldInventory(lamp.get());
    EXPECT_EQ(area->GetHeldInventoryName(), TString("lamp"));
    EXPECT_FALSE(area->HoldsCorrectInventory());
    EXPECT_FALSE(area->CanHoldInventory(key.get()));
    area->HoldInventory(key.get());
    EXPECT_EQ(Errors("Cannot hold Inventory, slot already taken.   FILE:gameplayarea"), 1);
    area->LetGoInventory();
    area->HoldInventory(key.get());
    EXPECT_TRUE(area->HoldsCorrectInventory());
}

TEST_F(AreaTest, InstantChangesCallBackOnceAtTheNextUpdate)
{
    auto area = Area("{ events = {}, hascompletedframe = true }");
    Calls calls;
    area->Activate(false, &calls.mCallback);
    EXPECT_EQ(area->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(calls.mCount, 0) << "never inside the call";
    area->Update(16);
    area->Update(16);
    EXPECT_EQ(calls.mCount, 1);

    // Complete on an inactive area: only the completed bit, the callback due.
    auto idle = Area("{ events = {} }");
    idle->Complete(&calls.mCallback, true);
    EXPECT_EQ(idle->GetFlags(), GameplayArea::kCompleted);
    idle->Update(16);
    EXPECT_EQ(calls.mCount, 2);
    // Completed areas stay inactive until the bit is cleared.
    idle->Activate(false, nullptr);
    EXPECT_EQ(idle->GetFlags(), GameplayArea::kCompleted);
    idle->SetFlags(0);
    idle->Activate(false, nullptr);
    EXPECT_EQ(idle->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);

    // An active area with a completed frame keeps showing; without one it hides.
    area->Complete(&calls.mCallback, false);
    EXPECT_EQ(area->GetFlags(), GameplayEntity::kShown | GameplayArea::kCompleted);
    area->Update(16);
    EXPECT_EQ(calls.mCount, 3);
    auto bare = Area("{ events = {} }");
    bare->Activate(false, nullptr);
    bare->Complete(nullptr, false);
    EXPECT_EQ(bare->GetFlags(), GameplayArea::kCompleted);
    bare->Deactivate(false, nullptr);
    EXPECT_EQ(bare->GetFlags(), GameplayArea::kCompleted);
}

TEST_F(AreaTest, AnimatedChangesFadeTheImageAndCallBackAtTheEnd)
{
    const char kInfo[] = "{ timevisible = 200, timecompletefade = 300 }";
    auto area = Area("{ events = {}, hasactiveframe = true, hascompletedframe = true }", kInfo);
    auto frames = [&](int count)
    {
        for (int i = 0; i < count; ++i)
            Step(16, [&] { area->Update(16); });
    };
    Calls calls;
    area->Activate(true, &calls.mCallback);
    EXPECT_EQ(area->GetImageAlpha(), 0.0f);
    frames(6);
    EXPECT_EQ(calls.mCount, 0);
    frames(10);
    EXPECT_EQ(calls.mCount, 1);
    EXPECT_EQ(area->GetImageAlpha(), 1.0f);

    // The completion passes through its own bit and ends once, on the completed frame.
    area->Complete(&calls.mCallback, true);
    EXPECT_EQ(area->GetFlags(),
              GameplayEntity::kShown | GameplayArea::kCompleted | GameplayArea::kCompleting);
    frames(10);
    EXPECT_EQ(calls.mCount, 1);
    EXPECT_LT(area->GetImageAlpha(), 1.0f);
    frames(15);
    EXPECT_EQ(calls.mCount, 2);
    EXPECT_EQ(area->GetFlags(), GameplayEntity::kShown | GameplayArea::kCompleted);
    EXPECT_EQ(area->GetImageAlpha(), 1.0f);

    // A fade that still runs when the area goes reaches nothing.
    auto going = Area("{ events = {}, hasactiveframe = true }", kInfo);
    going->Activate(true, &calls.mCallback);
    going->Deactivate(true, &calls.mCallback);
    going.reset();
    frames(20);
    EXPECT_EQ(calls.mCount, 2);
}

TEST_F(AreaTest, SavedBytesCarryUsedFlagsAndTheHeldName)
{
    std::string events = "events = { ";
    for (int i = 1; i <= 9; ++i)
        events += "{ eventname = 'e" + std::to_string(i) + "' }, ";
    auto area = Area("{ " + events + "}, holdableinventory = { 'lamp' } }");
    area->MarkEventUsed("9"); // keys of a list are its indices
    area->MarkEventUsed("1");
    area->SetFlags(GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(area->GetStateSize(), 2u + 2u);
    std::vector<uint8_t> bytes;
    area->SaveState(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x03, 0x01, 0x01, 0x00}));

    auto lamp = Object("lamp");
    area->HoldInventory(lamp.get());
    EXPECT_EQ(area->GetStateSize(), 8u);
    bytes.clear();
    area->SaveState(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x03, 0x01, 0x01, 4, 'l', 'a', 'm', 'p'}));
    EXPECT_EQ(area->MeasureState(bytes.data(), bytes.size()), 8u);
    EXPECT_EQ(area->MeasureState(bytes.data(), 7), 0u);

    // A round trip into an area built anew; the name is written even before the object is held
    // again, so the size and the bytes agree.
    auto copy = Area("{ " + events + "}, holdableinventory = { 'lamp' } }");
    EXPECT_FALSE(copy->LoadState(bytes.data(), 7));
    EXPECT_EQ(copy->GetFlags(), 0);
    ASSERT_TRUE(copy->LoadState(bytes.data(), bytes.size()));
    EXPECT_EQ(copy->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(copy->GetHeldInventoryName(), TString("lamp"));
    EXPECT_EQ(copy->GetHeldInventory(), nullptr);
    EXPECT_EQ(copy->GetClickEvents()[8]->used, 1);
    EXPECT_EQ(copy->GetClickEvents()[1]->used, 0);
    std::vector<uint8_t> again;
    copy->SaveState(again);
    EXPECT_EQ(again, bytes);

    // Completed, with and without a completed frame; shown only; no callbacks either way.
    Calls calls;
    const struct
    {
        const char* table;
        uint8_t saved;
        uint8_t restored;
    } cases[] = {
        {"{ events = {}, hascompletedframe = true }", 0x04, 0x06},
        {"{ events = {} }", 0x05, 0x05},
        {"{ events = {} }", 0x01, 0x03},
        {"{ events = {} }", 0x02, 0x02},
    };
    for (const auto& c : cases)
    {
        auto restored = Area(c.table);
        restored->Show(false, &calls.mCallback);
        restored->Update(16);
        const int before = calls.mCount;
        const uint8_t record[] = {c.saved, 0};
        ASSERT_TRUE(restored->LoadState(record, sizeof record)) << c.table;
        EXPECT_EQ(restored->GetFlags(), c.restored) << int(c.saved);
        restored->Update(16);
        EXPECT_EQ(calls.mCount, before) << int(c.saved);
    }
}

} // namespace
