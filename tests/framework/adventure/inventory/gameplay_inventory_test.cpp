// Inventory objects driven as the HUD, the scenes and the scene runner drive them: built from
// tables, the 11-byte record, the animations on a stepped clock, the textures and glow, the four
// looks and the parts bar on the headless display, and objects destroyed mid-animation.
#include "framework/adventure/inventory/gameplay_inventory.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/framework_display_support.h"
#include "framework/widgets/mask_collision_sprite.h"
#include "framework/core/settings.h"
#include "framework/transforms/transform_manager.h"
#include "framework/core/window_manager.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{

using adventuretest::Calls;

// The fields the game's subclass reads, opened for the tests.
struct Probe : GameplayInventory
{
    using GameplayInventory::GameplayInventory;
    using GameplayInventory::mBarSpec;
    using GameplayInventory::mBarTransform;
    using GameplayInventory::mBarWidth;
    using GameplayInventory::mFadingParts;
    using GameplayInventory::mFillTime;
    using GameplayInventory::mFlags;
    using GameplayInventory::mHilightTime;
    using GameplayInventory::mOffsetAlpha;
    using GameplayInventory::mParts;
    using GameplayInventory::mPartsFound;
    using GameplayInventory::mPendingReport;
    using GameplayInventory::mRotateToUse;
    using GameplayInventory::mScaleEquip;
    using GameplayInventory::mTimeToMove;
    using GameplayInventory::mTimeVisible;
};

const char kShared[] =
    "{ imagemask = '_glow', timetouse = 100, rotatetouse = 0.5, timeunequip = 100, "
    "timeequip = 100, scaleequip = 1.5, timevisible = 100, timefadepart = 100, timetomove = 100, "
    "silhouettealpha = 0.5, timerolloverglow = 100, timerolloveroffset = 100, "
    "offsetrollovery = -6, offsetrolloverx = 2, offsetrolloverstarty = 0, "
    "offsetrolloverstartx = 0, offsetalpha = 0.5, hilightcount = 3, hilighttime = 50, "
    "hilightalpha = 0.8, barwidth = 30, filltime = 100, progressbaritemtooltip = 'tip', "
    "bary = 12, barfilly = 1, fillleft = 'bar/fl', fillcenter = 'bar/fc', fillright = 'bar/fr', "
    "frameleft = 'bar/l', framecenter = 'bar/c', frameright = 'bar/r' }";

// The shared table with some keys changed (a later key wins in a table constructor).
std::string Shared(const std::string& changes)
{
    std::string shared = kShared;
    return shared.insert(shared.size() - 1, ", " + changes + " ");
}

const char kKey[] = "{ name = 'key', actualname = 'KEY_NAME', event = 'open', image = 'inv/key', "
                    "homescene = 'hall', x = 40, y = 30, partcount = 3 }";

class InventoryTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        Sheet();
        Image("bar/l.png", 3, 6, 0xFFC0C0C0);
        Image("bar/c.png", 1, 6, 0xFF808080);
        Image("bar/r.png", 3, 6, 0xFFC0C0C0);
        Image("bar/fl.png", 3, 4, 0xFFFFFF00);
        Image("bar/fc.png", 1, 4, 0xFFFFD000);
        Image("bar/fr.png", 3, 4, 0xFFFFFF00);
    }

    // Five 16 x 16 frames registered at their centre: the whole object (orange), its silhouette
    // (grey), part 1 (left half green), part 2 (right half blue) and part 3 (top half magenta,
    // under part 1 where they meet); and the glow's source.
    // More frames than five are empty parts.
    void Sheet(const std::string& name = "inv/key", int frames = 5)
    {
        const int width = 16 * frames;
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * 16, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
            {
                pixels[y * width + x] = 0xFFE08020;
                pixels[y * width + 16 + x] = 0xFF606060;
                pixels[y * width + 32 + x] = x < 8 ? 0xFF20C020 : 0;
                pixels[y * width + 48 + x] = x >= 8 ? 0xFF2040E0 : 0;
                pixels[y * width + 64 + x] = y < 8 ? 0xFFC020C0 : 0;
            }
        std::vector<uint8_t> png =
            sys::display::EncodePng(pixels.data(), static_cast<uint32_t>(width), 16);
        File(name + ".png", std::string(png.begin(), png.end()));
        std::string xml = "<sequence><img w=\"" + std::to_string(width) +
                          "\" h=\"16\" regx=\"8\" regy=\"8\" name=\"" +
                          name.substr(name.find('/') + 1) + ".png\"/><framelist>";
        for (int f = 0; f < frames; ++f)
            xml += "<frame x=\"" + std::to_string(f * 16) +
                   "\" y=\"0\" w=\"16\" h=\"16\" regx=\"8\" regy=\"8\"/>";
        File(name + ".xml", xml + "</framelist></sequence>");
        Image(name + "_glow.png", 16, 16, 0xFFFFFFFF);
    }

    std::unique_ptr<Probe> Make(const std::string& object = kKey,
                                const std::string& shared = kShared)
    {
        std::unique_ptr<TLuaTable> o = Table(object);
        std::unique_ptr<TLuaTable> s = Table(shared);
        auto made = std::make_unique<Probe>(*o, *s);
        made->Init(*o, *s);
        return made;
    }
    void Run(uint32_t ms, GameplayInventory* object = nullptr)
    {
        for (uint32_t t = 0; t < ms; t += 10)
            Step(10,
                 [&]
                 {
                     if (object != nullptr)
                         object->Update(10);
                 });
    }
    static std::vector<uint8_t> Saved(const GameplayInventory& object)
    {
        std::vector<uint8_t> out;
        object.SaveState(out);
        return out;
    }
    static TVec2 At(GameplayInventory& object)
    {
        return TVec2(object.GetImageTransform().GetX(), object.GetImageTransform().GetY());
    }
    // Draws the object on black and compares the region with its golden.
    void Golden(GameplayInventory& object, const std::string& name)
    {
        ASSERT_TRUE(Draw2d([&] { object.Draw(TDrawSpec()); }));
        rendertest::CompareWithGolden(*Data().mBackBuffer, {16, 10, 64, 56}, name);
    }
};

TEST_F(InventoryTest, ConstructionReadsKeysWithDefaultsAndTruncation)
{
    auto bare = Make("{}", "{}");
    EXPECT_TRUE(bare->CanBePlacedInHud());
    EXPECT_EQ(bare->GetFlags(), 0x10);
    EXPECT_EQ(bare->GetPartCount(), 0);
    EXPECT_EQ(bare->GetHomePosition().x, 0.0f);
    EXPECT_STREQ(bare->GetName().c_str(), "");
    EXPECT_EQ(bare->GetImageWidth(), 0);
    EXPECT_EQ(bare->GetImageSprite()->GetTexture(), nullptr);
    // "partcount" 0: the bar stays empty and visible instead of taking a ratio of 0 / 0.
    Run(50, bare.get());
    EXPECT_EQ(bare->GetBarFill(), 0.0f);
    EXPECT_EQ(bare->GetBarAlpha(), 1.0f);

    auto key = Make();
    EXPECT_STREQ(key->GetName().c_str(), "key");
    EXPECT_STREQ(key->GetActualName().c_str(), "KEY_NAME");
    EXPECT_STREQ(key->GetEventName().c_str(), "open");
    EXPECT_STREQ(key->GetHomeScene().c_str(), "hall");
    EXPECT_STREQ(key->GetProgressBarToolTip().c_str(), "tip");
    EXPECT_EQ(At(*key).x, 40.0f);
    EXPECT_EQ(At(*key).y, 30.0f);
    EXPECT_EQ(key->GetRolloverSprite()->GetSpec().mAlpha, 0.0f);
    EXPECT_EQ(key->GetHilightSpec().mAlpha, 0.0f);
    EXPECT_EQ(key->mScaleEquip, 1.5f);
    EXPECT_EQ(key->mRotateToUse, 0.5f);

    EXPECT_EQ(Make("{ partcount = 3.7 }")->GetPartCount(), 3);
    EXPECT_EQ(Make("{ partcount = 300 }")->GetPartCount(), 44);
    auto odd = Make("{ canbeplacedinhud = false, name = {}, x = '12', partcount = 'many' }",
                    "{ timetomove = 250.9, timevisible = -3.9, hilighttime = 'slow', "
                    "barwidth = 20.5, progressbaralpha = 0.25 }");
    EXPECT_FALSE(odd->CanBePlacedInHud());
    EXPECT_STREQ(odd->GetName().c_str(), "");
    EXPECT_EQ(odd->GetHomePosition().x, 12.0f);
    EXPECT_EQ(odd->GetPartCount(), 0);
    EXPECT_EQ(odd->mTimeToMove, 250);
    EXPECT_EQ(odd->mTimeVisible, -3);
    EXPECT_EQ(odd->mHilightTime, 0);
    EXPECT_EQ(odd->mBarWidth, 20.5f);
    EXPECT_EQ(odd->GetBarAlpha(), 0.25f);
}

TEST_F(InventoryTest, InitLaysTheBarOutUnderThePicture)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    Draw2d([&] { key->Draw(TDrawSpec()); });
    // The picture at (40, 30): the ends outside the inner length of 30, anchored at their top
    // left, 12 rows down.
    EXPECT_EQ(key->GetBarRect(), TRect(22, 42, 58, 48));
    EXPECT_EQ(Back(22, 42), 0xC0C0C0u);
    EXPECT_EQ(Back(25, 42), 0x808080u);
    EXPECT_EQ(Back(54, 47), 0x808080u);
    EXPECT_EQ(Back(55, 47), 0xC0C0C0u);
    EXPECT_EQ(Back(58, 47), 0u);
    // Nothing found yet: no fill.
    EXPECT_EQ(Back(23, 43), 0xC0C0C0u);
    EXPECT_EQ(Back(25, 43), 0x808080u);
}

TEST_F(InventoryTest, SavedRecordLayoutAndItsEdgeCases)
{
    auto key = Make();
    key->SetPosition(-0.7f, 12.9f);
    key->mFlags = 0x81;
    key->mPartsFound = 2;
    key->mParts.assign(9, true);
    EXPECT_EQ(Saved(*key), (std::vector<uint8_t>{0x81, 0xFF, 2, 0, 0, 0, 0, 0, 0, 0, 12}));
    key->SetPosition(-1.5f, 0.0f);
    const std::vector<uint8_t> record = Saved(*key);
    EXPECT_EQ(record, (std::vector<uint8_t>{0x81, 0xFF, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));

    // The ninth part has no bit: it comes back not found; the object is then not complete.
    auto again = Make();
    again->mParts.assign(9, false);
    ASSERT_TRUE(again->RestoreState(record.data(), record.size()));
    EXPECT_EQ(again->mParts,
              (std::vector<bool>{true, true, true, true, true, true, true, true, false}));
    EXPECT_EQ(again->GetFlags(), 0x81);
    EXPECT_EQ(again->GetPartsFound(), 2);
    EXPECT_EQ(again->GetHomePosition().x, -1.0f);
    EXPECT_EQ(again->GetHomePosition().y, 0.0f);
    // Each half of the home from its own four bytes.
    const std::vector<uint8_t> home{0x81, 0, 0, 0, 0, 1, 2, 0, 0, 3, 4};
    auto placed = Make();
    ASSERT_TRUE(placed->RestoreState(home.data(), home.size()));
    EXPECT_EQ(placed->GetHomePosition().x, 258.0f);
    EXPECT_EQ(placed->GetHomePosition().y, 772.0f);
    // The picture stays where it was: the runner places the object afterwards.
    EXPECT_EQ(At(*again).x, 40.0f);
    EXPECT_EQ(At(*again).y, 30.0f);
    // Shown: the textures are made.
    EXPECT_NE(again->GetImageSprite()->GetTexture(), nullptr);

    // A used object reads nothing more and keeps only its used bit.
    const std::vector<uint8_t> used{0x83, 0x01, 0, 0, 0, 1, 0, 0, 0, 0, 9};
    auto spent = Make();
    ASSERT_TRUE(spent->RestoreState(used.data(), used.size()));
    EXPECT_EQ(spent->GetFlags(), 0x02);
    EXPECT_EQ(spent->GetPartsFound(), 3);
    EXPECT_EQ(spent->mParts, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(spent->GetHomePosition().x, 40.0f);
    EXPECT_EQ(spent->GetImageSprite()->GetTexture(), nullptr);

    // Short records are refused whole.
    for (size_t size = 0; size <= 10; ++size)
    {
        auto kept = Make();
        EXPECT_FALSE(kept->RestoreState(record.data(), size)) << size;
        EXPECT_EQ(Saved(*kept), (std::vector<uint8_t>{0x10, 0, 0, 0, 0, 0, 40, 0, 0, 0, 30}));
    }
    EXPECT_FALSE(key->RestoreState(nullptr, 11));
}

TEST_F(InventoryTest, ShownObjectRoundTripsItsPartsAndACompleteOneHidesItsBar)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    ASSERT_EQ(key->GetParts().size(), 3u);
    key->AddPart(2, true);
    Run(200, key.get());
    const std::vector<uint8_t> half = Saved(*key);
    EXPECT_EQ(half[0], 0x91);
    EXPECT_EQ(half[1], 0x02);
    EXPECT_EQ(half[2], 1);

    auto restored = Make();
    ASSERT_TRUE(restored->RestoreState(half.data(), half.size()));
    EXPECT_EQ(restored->GetParts(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(restored->GetFlags(), 0x91);
    Run(200, restored.get());
    EXPECT_FLOAT_EQ(restored->GetBarFill(), 10.0f);
    EXPECT_EQ(restored->GetBarAlpha(), 1.0f);

    key->AddPart(1, true);
    key->AddPart(3, true);
    Run(200, key.get());
    EXPECT_EQ(key->GetFlags(), 0x99);
    const std::vector<uint8_t> full = Saved(*key);
    auto complete = Make();
    ASSERT_TRUE(complete->RestoreState(full.data(), full.size()));
    EXPECT_EQ(complete->GetFlags(), 0x99);
    EXPECT_EQ(complete->GetBarAlpha(), 0.0f);
}

// The record's part byte holds eight parts: those past it, given by found items, are found again
// after a restore (one item giving parts 9 and 10 here), so the object's last item makes it whole.
TEST_F(InventoryTest, PartsPastTheEighthAreFoundAgainAfterARestore)
{
    Sheet("inv/lamp", 12);
    const std::string lamp = "{ name = 'lamp', image = 'inv/lamp', partcount = 2 }";
    auto object = Make(lamp);
    object->PlaceInHud(nullptr, false);
    ASSERT_EQ(object->GetParts().size(), 10u);
    object->AddPart(9, true);
    object->AddPart(10, false);
    Run(200, object.get());
    const std::vector<uint8_t> saved = Saved(*object);

    auto restored = Make(lamp);
    ASSERT_TRUE(restored->RestoreState(saved.data(), saved.size()));
    for (int part : {8, 9, 10, 11})
        restored->RestorePart(part);
    std::vector<bool> found(10, false);
    found[8] = found[9] = true;
    EXPECT_EQ(restored->GetParts(), found);
    EXPECT_EQ(restored->GetPartsFound(), 1) << "nothing counted twice";
    for (int part = 1; part <= 8; ++part)
        restored->AddPart(part, part == 1);
    Run(200, restored.get());
    EXPECT_NE(restored->GetFlags() & GameplayInventory::kComplete, 0);
    EXPECT_TRUE(restored->IsWhole());
}

TEST_F(InventoryTest, EquipUnequipAndUse)
{
    Settings settings;
    settings.mMouseX = 300;
    settings.mMouseY = 200;
    auto key = Make();
    Calls calls;
    // Not held: nothing, and an earlier report stays; the offered one is left with its caller.
    key->mPendingReport = calls.Report();
    WaitHandle offered = WaitHandle::For(calls.mCallback);
    key->Unequip(std::move(offered));
    EXPECT_TRUE(offered.IsHeld());
    offered.Forget();
    Run(300, key.get());
    EXPECT_EQ(calls.Count(), 0u);
    EXPECT_TRUE(key->HoldsReport());
    key->mPendingReport.Forget();

    key->Equip();
    EXPECT_EQ(key->GetFlags(), 0x14);
    Run(200, key.get());
    EXPECT_FLOAT_EQ(key->GetImageTransform().GetScaleX(), 1.5f);
    EXPECT_EQ(At(*key).x, 300.0f);
    EXPECT_EQ(At(*key).y, 200.0f);

    key->Unequip(calls.Report());
    Step(10, [] {});
    EXPECT_EQ(key->GetFlags() & 0x04, 0x04);
    Run(200);
    EXPECT_EQ(calls.mArgs, (std::vector<uint32_t>{0}));
    EXPECT_EQ(calls.mTargets, (std::vector<TM_Transform*>{nullptr}));
    EXPECT_EQ(key->GetFlags(), 0x10);
    EXPECT_FLOAT_EQ(key->GetImageTransform().GetScaleX(), 1.0f);
    EXPECT_FLOAT_EQ(At(*key).x, 40.0f);
    EXPECT_FLOAT_EQ(At(*key).y, 30.0f);

    key->Equip();
    Calls used;
    key->Use(used.Report());
    EXPECT_EQ(key->GetFlags(), 0x12);
    Run(300, key.get());
    EXPECT_EQ(used.Count(), 1u);
    EXPECT_FLOAT_EQ(key->GetImageTransform().GetAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(key->GetImageTransform().GetRotationZ(), 0.5f);
    EXPECT_FLOAT_EQ(key->GetImageTransform().GetScaleX(), 0.0f);
}

TEST_F(InventoryTest, MoveToSetsHomeAtOnceAndTheLocusAfter)
{
    auto key = Make();
    Calls calls;
    key->MoveTo(100, 80, calls.Report(), 50);
    EXPECT_EQ(key->GetHomePosition().x, 100.0f);
    EXPECT_EQ(key->GetFlags() & 0x20, 0x20);
    Run(40, key.get());
    // Still waiting for its delay.
    EXPECT_EQ(At(*key).x, 40.0f);
    Run(60, key.get());
    EXPECT_GT(At(*key).x, 40.0f);
    EXPECT_LT(At(*key).x, 100.0f);
    // The particle locus follows the picture while it glides.
    key->Update(0);
    EXPECT_EQ(key->GetLocus().mValue[0], At(*key).x);
    Run(200, key.get());
    EXPECT_EQ(calls.Count(), 1u);
    EXPECT_EQ(key->GetFlags() & 0x20, 0);
    EXPECT_EQ(At(*key).x, 100.0f);
    EXPECT_EQ(key->GetLocus().mValue[0], 100.0f);
    EXPECT_EQ(key->GetLocus().mValue[1], 80.0f);

    key->SetPosition(7, 9);
    EXPECT_EQ(At(*key).x, 7.0f);
    EXPECT_EQ(key->GetHomePosition().y, 9.0f);
    EXPECT_EQ(key->GetLocus().mValue[1], 9.0f);
}

TEST_F(InventoryTest, PlaceInHudAndInScene)
{
    const std::string shared = Shared("particles = 'SetNumParticles(2)'");
    auto quiet = Make(kKey, shared);
    Calls calls;
    quiet->PlaceInHud(nullptr, false);
    EXPECT_EQ(quiet->GetFlags(), 0x91);
    EXPECT_NE(quiet->GetImageSprite()->GetTexture(), nullptr);
    EXPECT_FALSE(quiet->HoldsReport());
    EXPECT_EQ(quiet->GetParticleSystem(), nullptr);
    Run(300, quiet.get());
    EXPECT_EQ(calls.Count(), 0u);

    auto shown = Make(kKey, shared);
    shown->PlaceInHud(calls.Report(), true);
    EXPECT_EQ(shown->GetImageTransform().GetAlpha(), 0.0f);
    ASSERT_NE(shown->GetParticleSystem(), nullptr);
    EXPECT_EQ(shown->GetParticleSystem()->GetScript()->GetGlobalNumber("gActive"), 1);
    Run(50, shown.get());
    EXPECT_EQ(calls.Count(), 0u);
    Run(200, shown.get());
    EXPECT_EQ(calls.Count(), 1u);
    EXPECT_EQ(shown->GetImageTransform().GetAlpha(), 1.0f);
    // Stopped at the end, released once it has no particle left.
    EXPECT_EQ(shown->GetParticleSystem(), nullptr);

    // Into a scene from nowhere: shown, faded in without the effect, and home kept.
    auto placed = Make(kKey, shared);
    placed->Equip();
    placed->PlaceInScene(true, kUnsetPosition, calls.Report());
    EXPECT_EQ(placed->GetFlags(), 0xD1);
    EXPECT_EQ(placed->GetParticleSystem(), nullptr);
    EXPECT_TRUE(placed->HoldsReport());
    Run(300, placed.get());
    EXPECT_EQ(calls.Count(), 2u);
    EXPECT_EQ(placed->GetHomePosition().x, 40.0f);
    EXPECT_FLOAT_EQ(placed->GetImageTransform().GetScaleX(), 1.0f);

    // Without animation it jumps; the callback waits for a later handler or Unload.
    placed->PlaceInScene(false, TVec2(120, 90), calls.Report());
    EXPECT_EQ(At(*placed).x, 120.0f);
    EXPECT_EQ(At(*placed).y, 90.0f);
    EXPECT_EQ(placed->GetHomePosition().x, 120.0f);
    Run(300, placed.get());
    EXPECT_EQ(calls.Count(), 2u);
    placed->Unload(5);
    EXPECT_EQ(calls.mArgs.back(), 5u);
}

TEST_F(InventoryTest, HideUnloadAndReset)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    Calls calls;
    key->Hide(calls.Report(), true);
    Run(50, key.get());
    EXPECT_EQ(calls.Count(), 0u);
    Run(200, key.get());
    EXPECT_EQ(calls.mArgs, (std::vector<uint32_t>{0}));
    EXPECT_EQ(key->GetFlags(), 0x10);
    EXPECT_EQ(key->GetImageSprite()->GetTexture(), nullptr);
    EXPECT_EQ(key->GetMaskSprite()->GetBaseMask(), nullptr);
    // Textures are no longer wanted: a recreation pass makes nothing.
    EXPECT_TRUE(key->CreateCollisionMaskAndHilite());
    EXPECT_EQ(key->GetImageSprite()->GetTexture(), nullptr);

    // Without animation an earlier pending callback is the one called, with 0.
    Calls earlier;
    key->PlaceInHud(nullptr, false);
    key->PlaceInScene(false, kUnsetPosition, earlier.Report());
    key->Hide(nullptr, false);
    EXPECT_EQ(earlier.mArgs, (std::vector<uint32_t>{0}));
    EXPECT_EQ(calls.Count(), 1u);
    EXPECT_EQ(key->GetFlags(), 0x50);

    key->Equip();
    key->Use(nullptr);
    Run(50);
    key->Reset();
    EXPECT_EQ(key->GetFlags(), 0x10);
    EXPECT_EQ(key->GetImageTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(key->GetImageTransform().GetRotationZ(), 0.0f);
    EXPECT_EQ(key->GetImageSprite()->GetSpec().mMatrix.m[0][0], 1.0f);
    EXPECT_EQ(key->GetImageSprite()->GetSpec().mMatrix.m[1][1], 1.0f);
    EXPECT_EQ(At(*key).x, 40.0f);
    // The running use is left running.
    EXPECT_EQ(TransformManager::Instance()->GetTransformCount(&key->GetImageTransform()), 1u);
}

// An object holds one pending report: a change that brings another tells the held one at once,
// and its own end tells only the new one.
TEST_F(InventoryTest, AReplacedPendingReportIsToldAndOnlyTheNewOneAtTheEnd)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    Calls first;
    Calls second;
    key->PlaceInScene(true, kUnsetPosition, first.Report());
    key->Hide(second.Report(), true);
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_TRUE(key->HoldsReport());
    Run(400, key.get());
    EXPECT_EQ(first.Count(), 1u);
    EXPECT_EQ(second.Count(), 1u);
}

// A move that reports to no one (the strip re-arranged) keeps the report a fade into the strip
// holds: the move's end tells it, not the move's start.
TEST_F(InventoryTest, AnEmptyReportLeavesTheOneHeld)
{
    auto key = Make();
    Calls calls;
    key->PlaceInHud(calls.Report(), true);
    key->MoveTo(10.0f, 20.0f, nullptr, 0);
    EXPECT_EQ(calls.Count(), 0u);
    EXPECT_TRUE(key->HoldsReport());
    Run(400, key.get());
    EXPECT_EQ(calls.Count(), 1u);
}

TEST_F(InventoryTest, PartsFadeInTogetherAndCompleteTheObject)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    key->AddPart(2, false);
    Run(50, key.get());
    const float midway = key->GetPartFadeSpec().mAlpha;
    EXPECT_GT(midway, 0.0f);
    const size_t barLists = TransformManager::Instance()->GetTransformCount(&key->mBarTransform);
    key->AddPart(3, true);
    // Joined the running fade: no restart; the bar moves once.
    EXPECT_EQ(key->GetPartFadeSpec().mAlpha, midway);
    EXPECT_EQ(key->mFadingParts, (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(key->GetPartsFound(), 1);
    EXPECT_EQ(TransformManager::Instance()->GetTransformCount(&key->mBarTransform), barLists + 1);
    // Numbers from content that name no part are logged and change nothing.
    key->AddPart(0, true);
    key->AddPart(4, true);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR: Inventory object 'key' has no part 0"), 1);
    EXPECT_EQ(rendertest::CountOf(Log(), "has no part 4"), 1);
    EXPECT_EQ(key->GetPartsFound(), 1);
    Run(100, key.get());
    EXPECT_EQ(key->GetFlags(), 0x91);
    EXPECT_TRUE(key->mFadingParts.empty());
    key->AddPart(1, true);
    Run(200, key.get());
    EXPECT_EQ(key->GetFlags(), 0x99);
    EXPECT_FLOAT_EQ(key->GetBarFill(), 20.0f);

    // The float ratio: 3 of 3 fades the bar out, 2 of 3 does not.
    auto three = Make("{ partcount = 3 }");
    three->mPartsFound = 2;
    three->UpdateProgress();
    Run(200);
    EXPECT_EQ(three->GetBarAlpha(), 1.0f);
    three->mPartsFound = 3;
    three->UpdateProgress();
    Run(200);
    EXPECT_EQ(three->GetBarFill(), 30.0f);
    EXPECT_EQ(three->GetBarAlpha(), 0.0f);
}

TEST_F(InventoryTest, HilightPulsesOneAfterAnother)
{
    for (int count : {0, 1, 3})
    {
        auto key = Make(kKey, Shared("hilightcount = " + std::to_string(count)));
        key->Hilight();
        // Each pulse is 2 x 50 ms: count the rises and when the glow was last lit.
        int rises = 0;
        float last = 0;
        bool rising = false;
        uint32_t lit = 0;
        for (uint32_t ms = 10; ms <= 600; ms += 10)
        {
            Step(10, [] {});
            const float now = key->GetHilightSpec().mAlpha;
            if (now > last && !rising)
                ++rises;
            rising = now > last;
            last = now;
            if (now > 0.01f)
                lit = ms;
        }
        const int pulses = count == 0 ? 1 : count;
        EXPECT_EQ(rises, pulses) << count;
        EXPECT_NEAR(static_cast<double>(lit), pulses * 100.0, 20.0) << count;
        EXPECT_EQ(key->GetHilightSpec().mAlpha, 0.0f);
    }
}

TEST_F(InventoryTest, RolloverFollowsHovered)
{
    auto key = Make();
    key->SetHovered(true);
    key->Update(0);
    EXPECT_TRUE(key->IsRolloverShown());
    // Rolls in while hovered every frame.
    for (int i = 0; i < 20; ++i)
    {
        key->SetHovered(true);
        Step(10, [&] { key->Update(10); });
    }
    const TDrawSpec& glow = key->GetRolloverSprite()->GetSpec();
    EXPECT_FLOAT_EQ(glow.mAlpha, 1.0f);
    EXPECT_FLOAT_EQ(glow.mMatrix.m[2][0], 2.0f);
    EXPECT_FLOAT_EQ(glow.mMatrix.m[2][1], -6.0f);
    // Not set again: out on the next frame.
    Step(10, [&] { key->Update(10); });
    EXPECT_FALSE(key->IsRolloverShown());
    Run(200, key.get());
    EXPECT_EQ(glow.mAlpha, 0.0f);
    EXPECT_EQ(glow.mMatrix.m[2][1], 0.0f);
    // In and straight out: the roll-in is interrupted from where it is.
    key->SetHovered(true);
    Step(50, [&] { key->Update(50); });
    Step(50, [&] { key->Update(50); });
    EXPECT_FALSE(key->IsRolloverShown());
    EXPECT_GT(glow.mAlpha, 0.0f);
    Run(200, key.get());
    EXPECT_FLOAT_EQ(glow.mAlpha, 0.0f);
}

TEST_F(InventoryTest, TexturesMasksAndTheGlow)
{
    WindowManager frames;
    auto key = Make();
    // Not wanted yet: nothing loaded.
    EXPECT_TRUE(key->CreateCollisionMaskAndHilite());
    EXPECT_EQ(key->GetImageSprite()->GetTexture(), nullptr);

    key->RefreshCollisionMask();
    ASSERT_NE(key->GetImageSprite()->GetTexture(), nullptr);
    EXPECT_EQ(key->GetParts().size(), 3u);
    EXPECT_EQ(key->GetImageWidth(), 16);
    EXPECT_EQ(key->GetImageHeight(), 16);
    EXPECT_EQ(key->GetSize().mValue[0], 8.0f);
    EXPECT_EQ(key->GetSize().mValue[1], 8.0f);
    // The glow has an 8-pixel border and is anchored at its centre.
    ASSERT_NE(key->GetRolloverSprite()->GetTexture(), nullptr);
    EXPECT_EQ(key->GetRolloverSprite()->GetTexture()->GetWidth(), 32u);
    EXPECT_EQ(key->GetRolloverSprite()->GetSpec().mOrigin.x, 16.0f);
    EXPECT_EQ(key->GetMaskSprite()->GetSpec().mOrigin.x, 8.0f);
    EXPECT_NE(key->GetMaskSprite()->GetBaseMask(), nullptr);
    EXPECT_EQ(key->GetRect(), TRect(32, 22, 48, 38));
    EXPECT_FALSE(frames.AreTexturesPending());

    // A missing picture: the report, said once however often it is asked for, no texture, and
    // no recreation asked for, which could not mend it.
    auto lost = Make("{ name = 'lost', image = 'inv/lost', partcount = 2 }");
    lost->RefreshCollisionMask();
    EXPECT_TRUE(lost->CreateCollisionMaskAndHilite());
    lost->RefreshCollisionMask();
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:CreateCollisionMaskAndHilite failed.   "
                                         "FILE:gameplayinventory LINE:600"),
              1);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Inventory object 'lost' cannot read its picture "
                                         "'inv/lost': no such picture or description"),
              1);
    EXPECT_EQ(lost->GetImageSprite()->GetTexture(), nullptr);
    EXPECT_FALSE(frames.AreTexturesPending());
    EXPECT_TRUE(lost->GetParts().empty());
    // Once the file is there, the recreation makes it.
    Sheet("inv/lost");
    EXPECT_TRUE(lost->CreateCollisionMaskAndHilite());
    EXPECT_NE(lost->GetImageSprite()->GetTexture(), nullptr);
    EXPECT_EQ(lost->GetParts().size(), 3u);
}

TEST_F(InventoryTest, FourLooks)
{
    // D: the silhouette, the darkened whole, then parts 3 and 1 in that order; the bar a third
    // filled.
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    key->AddPart(1, true);
    key->AddPart(3, false);
    Run(300, key.get());
    Golden(*key, "inventory_incomplete.png");
    EXPECT_EQ(Back(34, 24), 0x20C020u);
    EXPECT_EQ(Back(44, 24), 0xC020C0u);
    EXPECT_EQ(Back(44, 34), 0x303030u);
    EXPECT_EQ(Back(34, 34), 0x20C020u);

    // A: lifted, the glow rolled in, one part fading in.
    auto lifted = Make();
    lifted->PlaceInHud(nullptr, false);
    lifted->AddPart(2, true);
    lifted->SetLiftedParts(true);
    for (int i = 0; i < 10; ++i)
    {
        lifted->SetHovered(true);
        Step(10, [&] { lifted->Update(10); });
    }
    Golden(*lifted, "inventory_lifted.png");

    // B: held, mid-pulse.
    auto held = Make();
    held->PlaceInHud(nullptr, false);
    held->Equip();
    held->Hilight();
    Run(50);
    held->GetImageTransform().SetPosition(40, 30, 1);
    Golden(*held, "inventory_held.png");

    // C: complete, its bar gone.
    key->AddPart(2, true);
    Run(300, key.get());
    Golden(*key, "inventory_complete.png");
}

TEST_F(InventoryTest, BarFillsAndItsHitRectangle)
{
    auto key = Make();
    key->PlaceInHud(nullptr, false);
    Golden(*key, "inventory_bar_empty.png");
    key->AddPart(1, true);
    Run(300, key.get());
    Golden(*key, "inventory_bar_part.png");
    // All counted (the same part three times: not complete): full length, then faded out.
    key->AddPart(1, true);
    key->AddPart(1, true);
    Run(300, key.get());
    EXPECT_EQ(key->GetBarAlpha(), 0.0f);
    EXPECT_EQ(key->GetBarFill(), 30.0f);
    key->mBarSpec.mAlpha = 1.0f;
    Golden(*key, "inventory_bar_full.png");

    EXPECT_EQ(key->GetBarRect(), TRect(22, 42, 58, 48));
    EXPECT_TRUE(key->HitTestProgressBar({22, 42}));
    EXPECT_TRUE(key->HitTestProgressBar({57, 47}));
    EXPECT_FALSE(key->HitTestProgressBar({58, 47}));
    EXPECT_FALSE(key->HitTestProgressBar({57, 48}));
    EXPECT_FALSE(key->HitTestProgressBar({21, 42}));
    EXPECT_FALSE(key->HitTestProgressBar({22, 41}));

    // "barwidth" 0: no centre column; the right fill end shows at a fill of 0.
    auto narrow = Make(kKey, Shared("barwidth = 0"));
    narrow->PlaceInHud(nullptr, false);
    Draw2d([&] { narrow->DrawProgressBar(TDrawSpec()); });
    EXPECT_EQ(narrow->GetBarRect(), TRect(37, 42, 43, 48));
    EXPECT_EQ(Back(39, 43), 0xC0C0C0u);
    EXPECT_EQ(Back(40, 43), 0xFFFF00u);

    // A bar piece that cannot load has no width and draws nothing.
    auto broken = Make(kKey, Shared("frameleft = 'bar/none'"));
    broken->PlaceInHud(nullptr, false);
    Draw2d([&] { broken->DrawProgressBar(TDrawSpec()); });
    EXPECT_EQ(Back(24, 47), 0u);
    EXPECT_EQ(Back(25, 47), 0x808080u);
}

TEST_F(InventoryTest, DestroyedObjectsLeaveNothingBehind)
{
    Settings settings;
    using Start = std::function<void(GameplayInventory&, WaitHandle &&)>;
    const std::vector<Start> starts = {
        [](GameplayInventory& o, WaitHandle&&) { o.Equip(); },
        [](GameplayInventory& o, WaitHandle&& r)
        {
            o.Equip();
            o.Unequip(std::move(r));
        },
        [](GameplayInventory& o, WaitHandle&& r) { o.Use(std::move(r)); },
        [](GameplayInventory& o, WaitHandle&& r) { o.MoveTo(90, 90, std::move(r), 20); },
        [](GameplayInventory& o, WaitHandle&& r) { o.PlaceInHud(std::move(r), true); },
        [](GameplayInventory& o, WaitHandle&& r)
        { o.PlaceInScene(true, TVec2(5, 5), std::move(r)); },
        [](GameplayInventory& o, WaitHandle&& r)
        {
            o.PlaceInHud(nullptr, false);
            o.Hide(std::move(r), true);
        },
        [](GameplayInventory& o, WaitHandle&&)
        {
            o.PlaceInHud(nullptr, false);
            o.AddPart(1, true);
        },
        [](GameplayInventory& o, WaitHandle&&) { o.Hilight(); },
        [](GameplayInventory& o, WaitHandle&&)
        {
            o.SetHovered(true);
            o.Update(0);
        },
    };
    // An object that goes while its animation runs tells the report it took, once, as it goes;
    // nothing of it is left to run.
    for (size_t i = 0; i < starts.size(); ++i)
    {
        Calls calls;
        auto key = Make();
        WaitHandle report = calls.Report();
        starts[i](*key, std::move(report));
        const size_t taken = report.IsHeld() ? 0u : 1u;
        report.Forget();
        Run(30, key.get());
        EXPECT_EQ(calls.Count(), 0u) << i;
        key.reset();
        EXPECT_EQ(calls.Count(), taken) << i;
        EXPECT_EQ(TransformManager::Instance()->GetGroupCount(), 0u) << i;
        Run(400);
        EXPECT_EQ(calls.Count(), taken) << i;
    }

    // An end handler whose callback destroys its own object, and one that sends it off again.
    for (size_t i = 1; i < 7; ++i)
    {
        Calls calls;
        auto key = Make();
        calls.mThen = [&] { key.reset(); };
        starts[i](*key, calls.Report());
        for (int frame = 0; frame < 40; ++frame)
            Step(10,
                 [&]
                 {
                     if (key != nullptr)
                         key->Update(10);
                 });
        EXPECT_EQ(key, nullptr) << i;
        EXPECT_EQ(calls.Count(), 1u) << i;
    }
    Calls again;
    auto key = Make();
    int trips = 0;
    again.mThen = [&]
    {
        if (++trips < 3)
            key->MoveTo(40.0f + 10.0f * static_cast<float>(trips), 30, again.Report(), 0);
    };
    key->MoveTo(40, 30, again.Report(), 0);
    Run(600, key.get());
    EXPECT_EQ(trips, 3);
    EXPECT_EQ(At(*key).x, 60.0f);
    EXPECT_EQ(key->GetFlags() & 0x20, 0);
}

} // namespace
