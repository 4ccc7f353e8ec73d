// Areas: their keys and the fatal missing "events", click events found, reported and used, the
// object laid on them, state changes with the callback rules, their saved bytes, and, with a
// three-frame sheet and a mask painted here, the hover pulse, hits, drops, drawing and particles.
#include "framework/adventure/entities/gameplay_area.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/sound/sound_effect.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "particles/lua_particle_system.h"
#include "render/render_test_support.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"
#include "script/script.h"
#include "sys/display/presenter/surface_png.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gameplay_area_test
{
namespace
{

struct Calls
{
    static void On(void* object, TM_Transform*, uint32_t) { ++static_cast<Calls*>(object)->mCount; }
    WaitHandle Report() { return WaitHandle::For(mCallback); }
    Callback mCallback{this, &Calls::On};
    int mCount = 0;
};

// Three 20 x 20 frames anchored top left: hilight red, active green, completed blue.
const char kSheetXml[] =
    "<sequence name=\"door\"><img regx=\"0\" regy=\"0\" w=\"60\" h=\"20\" name=\"door.png\" "
    "mask=\"\"/><framelist>"
    "<frame x=\"0\" y=\"0\" w=\"20\" h=\"20\"/>"
    "<frame x=\"20\" y=\"0\" w=\"20\" h=\"20\"/>"
    "<frame x=\"40\" y=\"0\" w=\"20\" h=\"20\"/>"
    "</framelist></sequence>";
const char kFrames[] = "image = 'areas/door', x = 100, y = 100, hasactiveframe = true, "
                       "hascompletedframe = true, events = {}";
const char kTimes[] = "{ imagemask = '_mask', timehilightfade = 100, timehilightfadefast = 20, "
                      "alphahilightmin = 0.25, timevisible = 100, timecompletefade = 200 }";
// Particles that live 100 ms, made while "gActive" is 1, at the locus shifted by the size.
const char kSparks[] =
    "SetNumParticles(8) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
    "Anim(fExpire(fLess(0.1, pAge))) pPosition:Init(dLocus + Vec2(dSize, dSize)) pScale:Init(2) "
    "pColor:Init(Color(1, 1, 0, 1)) function Update(s) if gActive == 1 then CreateParticles(1) end "
    "end";

class AreaTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        std::vector<uint32_t> sheet(60 * 20);
        for (size_t i = 0; i < sheet.size(); ++i)
        {
            const size_t x = i % 60;
            sheet[i] = x < 20 ? 0xFFFF0000u : x < 40 ? 0xFF00FF00u : 0xFF0000FFu;
        }
        Png("areas/door.png", sheet, 60, 20);
        File("areas/door.xml", kSheetXml);
        // Solid but for a clear right quarter, and two texels just under and at the threshold.
        std::vector<uint32_t> mask(20 * 20, 0xFFFFFFFFu);
        for (size_t i = 0; i < mask.size(); ++i)
            if (i % 20 >= 15)
                mask[i] = 0;
        mask[5 * 20 + 5] = 0x7EFFFFFFu;
        mask[5 * 20 + 6] = 0x7FFFFFFFu;
        Png("areas/door_mask.png", mask, 20, 20);
    }
    void Png(const std::string& name, const std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
    {
        std::vector<uint8_t> png = sys::display::EncodePng(pixels.data(), w, h);
        File(name, std::string(png.begin(), png.end()));
    }
    void Frames(GameplayArea& area, int count)
    {
        for (int i = 0; i < count; ++i)
            Tick(16, {&area});
    }
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

    // Without "events": fatal, saying which area lacks what, nothing more read.
    auto broken = Area("{ name = 'chest', isportal = true, x = 5 }");
    EXPECT_EQ(Errors("Area 'chest' has no \"events\" table, which every area needs   "
                     "FILE:gameplayarea LINE:"),
              1);
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
    // A plain click finds the first of the plain event and the used ones in the stored order:
    // here the plain one, ...
    ASSERT_EQ(area->GetClickEvents()[0]->inventory, TString("default"));
    EXPECT_EQ(area->FindEventForInventory("default"), TString("A"));
    // ... there the used object's.
    auto used = Area("{ events = { default = { eventname = 'A' }, lamp = { eventname = 'L' } } }");
    ASSERT_EQ(used->GetClickEvents()[0]->inventory, TString("lamp"));
    used->MarkEventUsed("lamp");
    EXPECT_EQ(used->FindEventForInventory("default"), TString("L"));

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
    area->Activate(false, calls.Report());
    EXPECT_EQ(area->GetFlags(), GameplayEntity::kActive | GameplayEntity::kShown);
    EXPECT_EQ(calls.mCount, 0) << "never inside the call";
    area->Update(16);
    area->Update(16);
    EXPECT_EQ(calls.mCount, 1);

    // Complete on an inactive area: only the completed bit, the callback due.
    auto idle = Area("{ events = {} }");
    idle->Complete(calls.Report(), true);
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
    area->Complete(calls.Report(), false);
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
    area->Activate(true, calls.Report());
    EXPECT_EQ(area->GetImageAlpha(), 0.0f);
    frames(6);
    EXPECT_EQ(calls.mCount, 0);
    frames(10);
    EXPECT_EQ(calls.mCount, 1);
    EXPECT_EQ(area->GetImageAlpha(), 1.0f);

    // The completion passes through its own bit and ends once, on the completed frame.
    area->Complete(calls.Report(), true);
    EXPECT_EQ(area->GetFlags(),
              GameplayEntity::kShown | GameplayArea::kCompleted | GameplayArea::kCompleting);
    frames(10);
    EXPECT_EQ(calls.mCount, 1);
    EXPECT_LT(area->GetImageAlpha(), 1.0f);
    // Saved meanwhile, it is stored as the fade's end leaves it.
    std::vector<uint8_t> saved;
    area->SaveState(saved);
    EXPECT_EQ(saved.front(), GameplayEntity::kShown | GameplayArea::kCompleted);
    frames(15);
    EXPECT_EQ(calls.mCount, 2);
    EXPECT_EQ(area->GetFlags(), GameplayEntity::kShown | GameplayArea::kCompleted);
    EXPECT_EQ(area->GetImageAlpha(), 1.0f);

    // A fade that still runs when the area goes reaches nothing; its report (the switch-off's,
    // which told the switch-on's) is told as the area goes.
    auto going = Area("{ events = {}, hasactiveframe = true }", kInfo);
    going->Activate(true, calls.Report());
    going->Deactivate(true, calls.Report());
    EXPECT_EQ(calls.mCount, 3);
    going.reset();
    EXPECT_EQ(calls.mCount, 4);
    frames(20);
    EXPECT_EQ(calls.mCount, 4);
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
        restored->Show(false, calls.Report());
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

namespace
{

std::string WithFrames(const std::string& keys = "")
{
    return std::string("{ ") + kFrames + (keys.empty() ? "" : ", " + keys) + " }";
}

TEST_F(AreaTest, HoverPulseStartsOnceLoopsAndFadesOut)
{
    auto area = Area(WithFrames(), kTimes);
    area->Activate(false, nullptr);
    area->StartHilightFade(true);
    EXPECT_EQ(area->GetFlags() & GameplayArea::kHilighted, 0) << "not hilighted: nothing";

    EXPECT_TRUE(area->Hilight());
    EXPECT_EQ(area->GetHilightState(), 0);
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int i = 0; i < 60; ++i)
    {
        Tick(16, {area.get()});
        EXPECT_FALSE(area->Hilight()) << "the pulse started once, frame " << i;
        if (i >= 7)
        {
            lowest = std::min(lowest, area->GetHilightAlpha());
            highest = std::max(highest, area->GetHilightAlpha());
        }
    }
    EXPECT_NEAR(highest, 1.0f, 0.1f);
    EXPECT_NEAR(lowest, 0.25f, 0.1f);
    EXPECT_GE(lowest, 0.25f);

    // Leaving: the fast fade, the bit cleared at its end.
    area->StartHilightFade(false);
    EXPECT_EQ(area->GetHilightState(), 1);
    Frames(*area, 3);
    EXPECT_EQ(area->GetFlags() & GameplayArea::kHilighted, 0);
    EXPECT_EQ(area->GetHilightAlpha(), 0.0f);

    // An area with a sound of its own arms it and asks for no general sound.
    auto loud = Area(WithFrames("sounds = { { sounds = { 'x' }, delay = 40, initialdelay = 10 } }"),
                     kTimes);
    loud->Activate(false, nullptr);
    EXPECT_FALSE(loud->Hilight());
    EXPECT_EQ(loud->GetSound()->mPending, 50);
    Frames(*loud, 4);
    EXPECT_EQ(loud->GetSound()->mPending, -1);

    // The reveal: only while active, after its delay, in and out once.
    auto idle = Area(WithFrames(), kTimes);
    idle->Flash(0);
    EXPECT_EQ(idle->GetFlags(), 0);
    area->Flash(200);
    EXPECT_NE(area->GetFlags() & GameplayArea::kHilighted, 0);
    Frames(*area, 12);
    EXPECT_EQ(area->GetHilightAlpha(), 0.0f);
    Frames(*area, 4);
    EXPECT_GT(area->GetHilightAlpha(), 0.0f);
    Frames(*area, 12);
    EXPECT_EQ(area->GetFlags() & GameplayArea::kHilighted, 0);
}

TEST_F(AreaTest, HitsOnTheMaskAndDropsOfObjects)
{
    auto area = Area(WithFrames(), kTimes);
    EXPECT_FALSE(area->HitTest(TVec2(106, 105)));
    EXPECT_TRUE(area->GetTextureNames().empty());
    area->Activate(true, nullptr);
    Frames(*area, 8);
    EXPECT_EQ(area->GetTextureNames(), (std::vector<TString>{"areas/door_mask"}));
    EXPECT_EQ(area->GetAnimationNames(), (std::vector<TString>{"areas/door"}));
    EXPECT_EQ(area->GetParticleSize().mValue[0], 10.0f);
    EXPECT_EQ(area->GetParticleLocus().mValue[0], 100.0f);
    EXPECT_EQ(area->GetRect(TDrawSpec(TVec2(5, 0))), TRect(105, 100, 125, 120));

    EXPECT_FALSE(area->HitTest(TVec2(105, 105))) << "alpha 126";
    EXPECT_TRUE(area->HitTest(TVec2(106, 105))) << "alpha 127";
    EXPECT_TRUE(area->HitTest(TVec2(100, 100)));
    EXPECT_FALSE(area->HitTest(TVec2(116, 100))) << "clear texel";
    EXPECT_FALSE(area->HitTest(TVec2(99, 100)));
    EXPECT_FALSE(area->HitTest(TVec2(100, 120)));

    // An object of 10 x 10 solid texels.
    Image("areas/blob.png", 10, 10, 0xFFFFFFFFu);
    auto lamp = Object("lamp");
    auto at = [&](float x, float y)
    {
        lamp->GetImageTransform().SetX(x);
        lamp->GetImageTransform().SetY(y);
        return area->TestInventoryDrop(lamp.get());
    };
    EXPECT_FALSE(at(95, 100)) << "no mask on the object yet";
    ASSERT_TRUE(lamp->GetMaskSprite()->CreateMask(TTexture::Get("areas/blob", 0)));
    EXPECT_TRUE(at(91, 100)) << "one texel over";
    EXPECT_FALSE(at(80, 100)) << "apart";
    EXPECT_TRUE(at(105, 105));
    EXPECT_FALSE(at(115, 100)) << "over the clear quarter only";
    auto bare = Area(WithFrames(), kTimes);
    bare->SetFlags(GameplayEntity::kActive);
    EXPECT_FALSE(bare->TestInventoryDrop(lamp.get())) << "no mask on the area";

    area->Deactivate(false, nullptr);
    EXPECT_FALSE(area->HitTest(TVec2(106, 105)));
    EXPECT_FALSE(at(105, 105));

    // A mask file that is missing: reported, and the loading goes on.
    auto lost = Area("{ image = 'areas/none', events = {} }", kTimes);
    lost->Show(true, nullptr);
    EXPECT_EQ(Errors("CreateCollisionMask failed   FILE:gameplayarea"), 1);
    EXPECT_TRUE(lost->FinishTextures());
}

TEST_F(AreaTest, DrawingByState)
{
    auto area = Area(WithFrames(), kTimes);
    area->Activate(true, nullptr);
    Frames(*area, 8);
    auto shot = [&](const char* golden)
    {
        DrawAll({area.get()});
        rendertest::CompareWithGolden(*Data().mBackBuffer, {90, 90, 130, 130}, golden);
    };
    shot("area_active.png");
    EXPECT_EQ(Back(110, 110), 0x00FF00u);

    area->SetFlags(area->GetFlags() | GameplayArea::kHilighted);
    area->GetHilightTransform().SetAlpha(0.5f);
    shot("area_hilighted.png");
    EXPECT_NEAR(int(Back(110, 110) >> 16), 128, 1);

    const uint8_t completing =
        GameplayEntity::kShown | GameplayArea::kCompleted | GameplayArea::kCompleting;
    area->SetFlags(completing);
    area->GetSpriteTransform().SetAlpha(0.75f);
    shot("area_completing_75.png");
    EXPECT_EQ(area->GetImageAlpha(), 0.75f);
    area->GetSpriteTransform().SetAlpha(0.25f);
    shot("area_completing_25.png");
    EXPECT_EQ(Back(110, 110), 0x0000FFu);

    area->SetFlags(GameplayEntity::kShown | GameplayArea::kCompleted);
    area->GetSpriteTransform().SetAlpha(1.0f);
    shot("area_completed.png");
    EXPECT_EQ(Back(110, 110), 0x0000FFu);
    area->SetFlags(GameplayArea::kCompleted);
    DrawAll({area.get()});
    EXPECT_EQ(LitBox().Width(), 0) << "hidden";
}

TEST_F(AreaTest, ParticlesOfTheCompletionAndOfAPortalsHilight)
{
    std::string info = kTimes;
    info.insert(info.size() - 1, std::string(", particlecomplete1 = '") + kSparks +
                                     "', particlecomplete2 = '" + kSparks +
                                     "', hilightparticles = '" + kSparks + "'");
    auto area = Area(WithFrames(), info);
    area->Activate(true, nullptr);
    Frames(*area, 8);
    advtest::CountingCallback done;
    area->Complete(done.Report(), true);
    ASSERT_TRUE(area->GetCompleteParticles1());
    ASSERT_TRUE(area->GetCompleteParticles2());
    EXPECT_FALSE(area->GetHilightParticles()) << "not a portal";
    Tick(16, {area.get()});
    EXPECT_GT(area->GetCompleteParticles1()->GetParticleCount(), 0u);
    ASSERT_TRUE(Draw2d([&] { area->DrawEffects(TDrawSpec()); }));
    // A particle of 2 x 2 about the locus shifted by the size, (110, 110).
    const advtest::Box box = LitBox();
    EXPECT_EQ(box.right, 110);
    EXPECT_EQ(box.bottom, 110);
    EXPECT_EQ(Back(109, 109), 0xFFFF00u);
    Frames(*area, 14);
    EXPECT_EQ(done.mCalls, 1);
    area->StopParticles();
    Frames(*area, 8);
    EXPECT_FALSE(area->GetCompleteParticles1());
    EXPECT_FALSE(area->GetCompleteParticles2());

    // A portal's effect emits while hilighted and goes after the hilight has faded.
    auto portal = Area(WithFrames("isportal = true, path = '{3,4,'"), info);
    portal->Activate(false, nullptr);
    portal->Hilight();
    ASSERT_TRUE(portal->GetHilightParticles());
    EXPECT_EQ(portal->GetHilightParticles()->GetScript()->GetGlobalNumber("gActive"), 1);
    portal->StartHilightFade(false);
    EXPECT_EQ(portal->GetHilightParticles()->GetScript()->GetGlobalNumber("gActive"), 0);
    Frames(*portal, 10);
    EXPECT_FALSE(portal->GetHilightParticles());
}

} // namespace

} // namespace gameplay_area_test
