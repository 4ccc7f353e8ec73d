// The game's inventory objects: the character mark and what it picks (scripts, fill), the parts
// bar's layout and slots on the headless display, its hit rectangle, and the two particle effects.
#include "game/inventory/mkw_gameplay_inventory.h"

#include "framework/framework_display_support.h"
#include "particles/lua_particle_system.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

// Opens the part counters, which the HUD and the found items move in the game.
struct Probe : MKWGameplayInventory
{
    using MKWGameplayInventory::mFlags;
    using MKWGameplayInventory::MKWGameplayInventory;
    using MKWGameplayInventory::mPartFadeSpec;
    using MKWGameplayInventory::mPartsFound;
};

// Particles that live 100 ms, made while "gActive" is 1 (the text is the script itself).
const char kSpark[] = "SetNumParticles(8) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
                      "Anim(fExpire(fLess(0.1, pAge))) pPosition:Init(dLocus) pScale:Init(2) "
                      "pColor:Init(ColorAdjust(0, 0, Color(1, 0, 0, 1))) "
                      "function Update(s) if gActive == 1 then CreateParticles(1) end end";

// The three-part example: empty slots 10 wide, a gap of 2, frame ends 6 wide.
std::string Shared(const std::string& extra = "")
{
    return std::string("{ barfillgapx = 2, bary = 20, barfilly = 0, framealpha = 1, "
                       "frameleft = 'bar/l', framecenter = 'bar/c', frameright = 'bar/r', "
                       "fillempty = 'bar/e', fillthessalor = 'bar/t', filllirae = 'bar/li', "
                       "particles = 'base', particlesystemlirae = '") +
           kSpark + "', particlesystemliraesecondary = '" + kSpark +
           "', particlesystemthessalor = 't1', particlesystemthessalorsecondary = '' " + extra +
           " }";
}

class MKWInventoryTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        Image("bar/l.png", 6, 10, 0xFFC0C0C0);
        Image("bar/c.png", 1, 10, 0xFF606060);
        Image("bar/r.png", 6, 10, 0xFFC0C0C0);
        Image("bar/e.png", 10, 6, 0xFF303030);
        Image("bar/t.png", 10, 6, 0xFF4080FF);
        Image("bar/li.png", 10, 6, 0xFFFFC040);
    }
    std::unique_ptr<Probe> Make(const std::string& type, const std::string& shared = Shared())
    {
        std::unique_ptr<TLuaTable> o =
            Table("{ name = 'o', x = 100, y = 100, partcount = 3, type = " + type + " }");
        std::unique_ptr<TLuaTable> s = Table(shared);
        auto made = std::make_unique<Probe>(*o, *s);
        made->Init(*o, *s);
        return made;
    }
    void DrawBar(MKWGameplayInventory& object)
    {
        ASSERT_TRUE(Draw2d([&] { object.DrawProgressBar(TDrawSpec()); }));
    }
};

TEST_F(MKWInventoryTest, TheTypePicksTheMarkTheScriptsAndTheFill)
{
    auto lirae = Make("'lirae'");
    EXPECT_EQ(lirae->GetCharacterMark(), 2);
    EXPECT_STREQ(lirae->GetParticlesName().c_str(), kSpark);
    EXPECT_STREQ(lirae->GetSecondaryParticlesName().c_str(), kSpark);
    EXPECT_EQ(lirae->GetFillSprite()->GetTexture(), TTexture::Get("bar/li", 0));

    auto thessalor = Make("'thessalor'");
    EXPECT_EQ(thessalor->GetCharacterMark(), 1);
    EXPECT_STREQ(thessalor->GetParticlesName().c_str(), "t1");
    EXPECT_STREQ(thessalor->GetSecondaryParticlesName().c_str(), "");
    EXPECT_EQ(thessalor->GetFillSprite()->GetTexture(), TTexture::Get("bar/t", 0));

    // Anything else, a number or a different case included: no mark, the base's script, Lirae's
    // fill.
    for (const char* other : {"''", "'Lirae'", "7", "{}"})
    {
        auto none = Make(other);
        EXPECT_EQ(none->GetCharacterMark(), 0) << other;
        EXPECT_STREQ(none->GetParticlesName().c_str(), "base") << other;
        EXPECT_STREQ(none->GetSecondaryParticlesName().c_str(), "") << other;
        EXPECT_EQ(none->GetFillSprite()->GetTexture(), TTexture::Get("bar/li", 0)) << other;
    }
    EXPECT_EQ(Make("'lirae'", "{ }")->GetBarFillGapX(), 0.0f);
}

TEST_F(MKWInventoryTest, TheBarIsCentredAndDrawsItsSlots)
{
    auto object = Make("'thessalor'");
    EXPECT_EQ(object->GetPartStep(), 12.0f);
    EXPECT_EQ(object->GetBarWidth(), 38.0f);
    EXPECT_EQ(object->GetFrameLeft()->GetSpec().mMatrix.m[2][0], -25.0f);
    EXPECT_EQ(object->GetFrameCenter()->GetSpec().mMatrix.m[2][0], -19.0f);
    EXPECT_EQ(object->GetFrameRight()->GetSpec().mMatrix.m[2][0], 19.0f);
    EXPECT_EQ(object->GetFillSprite()->GetSpec().mMatrix.m[2][0], -17.0f);

    object->PlaceInHud(nullptr, false);
    object->mPartsFound = 2;
    object->mPartFadeSpec.mAlpha = 0.5f;
    DrawBar(*object);
    // Left end 75-80, the centre drawn once per pixel of 38 (81-118), the right end 119-124.
    EXPECT_EQ(Back(80, 120), 0xC0C0C0u);
    EXPECT_EQ(Back(81, 120), 0x606060u);
    EXPECT_EQ(Back(118, 129), 0x606060u);
    EXPECT_EQ(Back(119, 120), 0xC0C0C0u);
    EXPECT_EQ(Back(125, 120), 0u);
    // Slot 0 full, slot 1 fading in over its empty slot, slot 2 empty; the gaps show the centre.
    EXPECT_EQ(Back(83, 121), 0x4080FFu);
    EXPECT_EQ(Back(92, 125), 0x4080FFu);
    EXPECT_EQ(Back(93, 121), 0x606060u);
    EXPECT_EQ(Back(95, 121), 0x385898u);
    EXPECT_EQ(Back(107, 121), 0x303030u);
    EXPECT_EQ(object->GetBarRect(), TRect(75, 120, 125, 130));
    EXPECT_TRUE(object->BarContainsPoint({75, 120}));
    EXPECT_TRUE(object->BarContainsPoint({124, 129}));
    EXPECT_FALSE(object->BarContainsPoint({125, 129}));
    EXPECT_FALSE(object->BarContainsPoint({124, 130}));
    EXPECT_FALSE(object->BarContainsPoint({74, 120}));
    rendertest::CompareWithGolden(*Data().mBackBuffer, {70, 115, 130, 135},
                                  "mkw_inventory_bar_thessalor.png");
    auto lirae = Make("'lirae'");
    lirae->PlaceInHud(nullptr, false);
    lirae->mPartsFound = 2;
    lirae->mPartFadeSpec.mAlpha = 0.5f;
    DrawBar(*lirae);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {70, 115, 130, 135},
                                  "mkw_inventory_bar_lirae.png");

    // Held, complete, in a scene or at bar alpha 0: nothing.
    for (uint8_t flag :
         {GameplayInventory::kHeld, GameplayInventory::kComplete, GameplayInventory::kInScene})
    {
        object->mFlags = static_cast<uint8_t>(GameplayInventory::kShown | flag);
        DrawBar(*object);
        EXPECT_EQ(Back(80, 120), 0u) << int(flag);
    }
}

TEST_F(MKWInventoryTest, AWideEndGapDrawsNoCentreAndKeepsTheRectangleOrdered)
{
    auto object = Make("'lirae'", Shared(", barendgapx = 30"));
    EXPECT_EQ(object->GetBarWidth(), -22.0f);
    DrawBar(*object);
    // The ends crossed: left at 105, right at 89; no centre column anywhere.
    EXPECT_EQ(object->GetBarRect(), TRect(89, 120, 111, 130));
    EXPECT_EQ(Back(100, 128), 0u);

    // Missing pictures: no widths, nothing drawn, a log line each at most.
    auto bare = Make("'lirae'", "{ frameleft = 'bar/none' }");
    EXPECT_EQ(bare->GetPartStep(), 0.0f);
    DrawBar(*bare);
}

TEST_F(MKWInventoryTest, BothEffectsRunUntilStoppedAndEmpty)
{
    auto object = Make("'lirae'");
    object->StartParticles();
    ASSERT_NE(object->GetParticleSystem(), nullptr);
    ASSERT_NE(object->GetSecondaryParticles(), nullptr);
    for (int i = 0; i < 5; ++i)
        Step(10, [&] { object->Update(10); });
    EXPECT_GT(object->GetSecondaryParticles()->GetParticleCount(), 0u);
    object->StopParticles();
    EXPECT_EQ(object->GetSecondaryParticles()->GetScript()->GetGlobalNumber("gActive"), 0);
    Step(10, [&] { object->Update(10); });
    EXPECT_NE(object->GetSecondaryParticles(), nullptr);
    for (int i = 0; i < 15; ++i)
        Step(10, [&] { object->Update(10); });
    EXPECT_EQ(object->GetSecondaryParticles(), nullptr);
    EXPECT_EQ(object->GetParticleSystem(), nullptr);

    // An empty secondary name keeps the primary effect; a script that does not load gives none.
    auto thessalor = Make("'thessalor'", Shared(", particlesystemthessalor = 'fx/none.lua'"));
    thessalor->StartParticles();
    EXPECT_EQ(thessalor->GetParticleSystem(), nullptr);
    EXPECT_EQ(thessalor->GetSecondaryParticles(), nullptr);
    EXPECT_EQ(rendertest::CountOf(Log(), "fx/none.lua"), 1) << Log();
    auto primary =
        Make("'thessalor'", Shared(std::string(", particlesystemthessalor = '") + kSpark + "'"));
    primary->StartParticles();
    EXPECT_NE(primary->GetParticleSystem(), nullptr);
    EXPECT_EQ(primary->GetSecondaryParticles(), nullptr);
}

} // namespace
