// Hidden items on the headless display, with a two-frame picture and a mask with a hole painted
// here and an inventory object as target: keys, the fatal report, the hit test, the found
// animation on the clock, the cross-fade of the two passes, the saved byte, the particle effects
// and items destroyed mid-animation.
#include "framework/adventure/entities/gameplay_item.h"

#include "framework/adventure/entities/entity_test_support.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/transforms/transform_target.h"
#include "particles/lua_particle_system.h"
#include "render/render_test_support.h"
#include "render/sprites/animated_texture.h"
#include "render/sprites/sprite.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "sys/display/presenter/surface_png.h"

#include <cmath>
#include <memory>

namespace gameplay_item_test
{
namespace
{

// A 20 x 20 picture per frame, registered at its centre: frame 0 red, frame 1 blue.
const char kSheetXml[] =
    "<sequence name=\"key\"><img regx=\"10\" regy=\"10\" w=\"40\" h=\"20\" name=\"key.png\" "
    "mask=\"\"/><framelist>"
    "<frame x=\"0\" y=\"0\" w=\"20\" h=\"20\" regx=\"10\" regy=\"10\"/>"
    "<frame x=\"20\" y=\"0\" w=\"20\" h=\"20\" regx=\"10\" regy=\"10\"/>"
    "</framelist></sequence>";

// Timings of the found animation, and a smoke effect whose particles live 100 ms and are made
// while "gActive" is 1.
const char kInfo[] = "{ imagemask = '_mask', timefound = 200, timetoinventory = 400, "
                     "timefadeaway = 100, timevisible = 100, distancearc = 50, rotatefound = 0.5 }";
const char kSmoke[] =
    "SetNumParticles(8) pAge = Allocate(1) pAge:Anim(pAge + fTimeScale(1)) "
    "Anim(fExpire(fLess(0.1, pAge))) pPosition:Init(dLocus) pScale:Init(4) "
    "pColor:Init(Color(0, 1, 0, 1)) function Update(s) if gActive == 1 then CreateParticles(1) end "
    "end";

class ItemTest : public advtest::EntityDisplayTest
{
protected:
    void SetUp() override
    {
        EntityDisplayTest::SetUp();
        std::vector<uint32_t> sheet(40 * 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x)
                sheet[static_cast<size_t>(y * 40 + x)] = x < 20 ? 0xFFFF0000u : 0xFF0000FFu;
        std::vector<uint8_t> png = sys::display::EncodePng(sheet.data(), 40, 20);
        File("items/key.png", std::string(png.begin(), png.end()));
        File("items/key.xml", kSheetXml);
        // The mask: opaque with a transparent 4 x 4 hole at (8, 8).
        std::vector<uint32_t> mask(20 * 20, 0xFFFFFFFFu);
        for (int y = 8; y < 12; ++y)
            for (int x = 8; x < 12; ++x)
                mask[static_cast<size_t>(y * 20 + x)] = 0;
        png = sys::display::EncodePng(mask.data(), 20, 20);
        File("items/key_mask.png", std::string(png.begin(), png.end()));
    }
    std::unique_ptr<GameplayItem> Make(const std::string& keys = "",
                                       const std::string& info = kInfo)
    {
        return std::make_unique<GameplayItem>(
            *Table("{ name = 'key', inventory = 'key', image = 'items/key', x = 100, y = 100, "
                   "inventoryparts = { 1, 3 }" +
                   (keys.empty() ? "" : ", " + keys) + " }"),
            *Table(info));
    }
    std::unique_ptr<GameplayInventory> Target(float x, float y)
    {
        return std::make_unique<GameplayInventory>(
            *Table("{ name = 'key', x = " + std::to_string(x) + ", y = " + std::to_string(y) +
                   " }"),
            *Table("{}"));
    }
    static TVec2 Position(GameplayItem& item)
    {
        return TVec2(item.GetTransform().GetX(), item.GetTransform().GetY());
    }
    // Frames of 10 ms until the predicate holds (at most `limit` ms); the time it took.
    template <class Done> uint32_t RunUntil(GameplayItem& item, Done done, uint32_t limit = 5000)
    {
        uint32_t spent = 0;
        while (!done() && spent < limit)
        {
            Tick(10, {&item});
            spent += 10;
        }
        return spent;
    }
    static bool Has(GameplayItem& item, uint8_t bits) { return (item.GetFlags() & bits) == bits; }
};

TEST_F(ItemTest, KeysFromEachTableWithDefaults)
{
    auto item = Make("inventoryparts = { 4, 2.9, -1.5 }, imagemask = 'x', timefound = 9",
                     "{ imagemask = '_mask', particles = 'smoke', particlesplash = 'splash', "
                     "rotatefound = 1.25, distancearc = 30.5, timefound = 250.9, timevisible = -5, "
                     "timetoinventory = '700', timefadeaway = {}, inventory = 'no', peakarc = 3 }");
    EXPECT_EQ(item->GetType(), 40u);
    EXPECT_STREQ(item->GetInventoryName().c_str(), "key");
    EXPECT_STREQ(item->GetImageName().c_str(), "items/key");
    EXPECT_STREQ(item->GetMaskSuffix().c_str(), "_mask");
    EXPECT_STREQ(item->GetParticleScript().c_str(), "smoke");
    EXPECT_STREQ(item->GetSplashScript().c_str(), "splash");
    EXPECT_EQ(item->GetRotateFound(), 1.25f);
    EXPECT_EQ(item->GetDistanceArc(), 30.5f);
    EXPECT_EQ(item->GetTimeFound(), 250);
    EXPECT_EQ(item->GetTimeVisible(), 0); // negative durations read as 0
    EXPECT_EQ(item->GetTimeToInventory(), 700);
    EXPECT_EQ(item->GetTimeFadeAway(), 0);
    EXPECT_EQ(item->GetInventoryParts(), (std::vector<int32_t>{4, 2, -1}));
    EXPECT_EQ(item->GetFlags(), GameplayItem::kScenePass);
    EXPECT_EQ(Position(*item), TVec2(100, 100));
    EXPECT_EQ(item->GetLocus().mWidth, 2);
    EXPECT_NE(item->GetMask()->GetSpec().mFlags & kDrawOrigin, 0u);
    EXPECT_EQ(item->GetImage()->GetTexture(), nullptr);
    EXPECT_EQ(item->GetMask()->GetTexture(), nullptr);

    auto plain = std::make_unique<GameplayItem>(*Table("{ inventoryparts = {} }"), *Table("{}"));
    EXPECT_STREQ(plain->GetInventoryName().c_str(), "");
    EXPECT_TRUE(plain->GetInventoryParts().empty());
    EXPECT_EQ(plain->GetTimeFound(), 0);
    EXPECT_EQ(Position(*plain), TVec2(0, 0));
    EXPECT_EQ(Make("inventoryparts = { 'two', { 3 } }")->GetInventoryParts(),
              (std::vector<int32_t>{0, 0}));
}

TEST_F(ItemTest, WithoutInventoryPartsAFatalReportAndASafeItem)
{
    static TScript* script = nullptr;
    TScript owned;
    script = &owned;
    SetWindowScriptSource([] { return script; });
    owned.DoLuaString("kQuitNow = 12 function CreateNamedMessage(t, n) return t .. ':' .. n end "
                      "function PostMessage(m) posted = m end");
    auto item = std::make_unique<GameplayItem>(
        *Table("{ name = 'lamp', image = 'items/key', x = 50, y = 60, inventoryparts = 3 }"),
        *Table(kInfo));
    SetWindowScriptSource(nullptr);
    EXPECT_TRUE(Logged("ERROR:Item 'lamp' has no \"inventoryparts\" table, which every item "
                       "needs   FILE:gameplayitem LINE:40"));
    EXPECT_STREQ(owned.GetGlobalString("posted").c_str(), "12:quit");
    EXPECT_EQ(item->GetFlags(), 0);
    EXPECT_EQ(Position(*item), TVec2(0, 0));
    item->Activate(false, nullptr);
    Tick(16, {item.get()});
    DrawAll({item.get()});
    item->DrawEffects(TDrawSpec());
    EXPECT_EQ(LitBox().Width(), 0); // the scene pass skips it
    item.reset();
}

TEST_F(ItemTest, HitTestOnTheMask)
{
    auto item = Make();
    EXPECT_FALSE(item->HitTest(TVec2(95, 95), TDrawSpec())); // no textures yet
    item->Activate(false, nullptr);
    ASSERT_NE(item->GetMask()->GetTexture(), nullptr);
    EXPECT_EQ(item->GetMask()->GetSpec().mOrigin, TVec2(10, 10));
    const TDrawSpec scene;
    EXPECT_TRUE(item->HitTest(TVec2(95, 95), scene));
    EXPECT_FALSE(item->HitTest(TVec2(99, 99), scene)); // the hole
    EXPECT_TRUE(item->HitTest(TVec2(90, 90), scene));  // left and top edges are in
    EXPECT_TRUE(item->HitTest(TVec2(109, 109), scene));
    EXPECT_FALSE(item->HitTest(TVec2(110, 100), scene)); // right and bottom edges are out
    EXPECT_FALSE(item->HitTest(TVec2(100, 110), scene));
    EXPECT_FALSE(item->HitTest(TVec2(89.9f, 100), scene));

    // A parent turned a quarter and doubled about the origin, moved back onto the item: the
    // bounds stay the item's own, the texels follow the parent.
    TDrawSpec turned(TVec2(0, 0), 1.0f, 2.0f);
    turned.mMatrix = turned.mMatrix * TMat3(0, 1, 0, -1, 0, 0, 0, 0, 1);
    turned.mMatrix.m[2][0] = 300;
    turned.mMatrix.m[2][1] = -100;
    EXPECT_TRUE(item->HitTest(TVec2(95, 95), turned));
    EXPECT_FALSE(item->HitTest(TVec2(100, 100), turned)); // the hole's centre under the parent

    // Found and restored: neither hit nor drawn, no textures.
    const uint8_t found = GameplayItem::kFound | GameplayItem::kScenePass;
    ASSERT_TRUE(item->LoadState(&found, 1));
    EXPECT_EQ(item->GetFlags(), found);
    item->LoadTextures();
    EXPECT_FALSE(item->HitTest(TVec2(95, 95), scene));
    DrawAll({item.get()});
    EXPECT_EQ(LitBox().Width(), 0);
    EXPECT_TRUE(item->GetTextureNames().empty());
}

TEST_F(ItemTest, FoundAnimationTurnsFliesOnItsArcAndArrivesOnce)
{
    auto item = Make();
    auto target = Target(300, 200);
    item->Activate(false, nullptr);
    advtest::CountingCallback arrived;
    item->StartFoundAnimation(arrived.Report(), target.get());
    EXPECT_TRUE(Has(*item, GameplayItem::kOverlayPass | GameplayItem::kCrossFade));

    // The turn and fade: half a turn, alpha to 0.
    const uint32_t turning = RunUntil(*item, [&] { return !Has(*item, GameplayItem::kScenePass); });
    EXPECT_GE(turning, 200u);
    EXPECT_LE(turning, 220u);
    EXPECT_EQ(item->GetTransform().GetRotationZ(), 0.5f);
    EXPECT_EQ(item->GetTransform().GetAlpha(), 1.0f);
    EXPECT_FALSE(Has(*item, GameplayItem::kCrossFade));
    EXPECT_EQ(arrived.mCalls, 0);

    // The arc from (100, 100) to (300, 200): x linear, y up by the arc, then down late.
    target->GetImageTransform().SetX(600); // a target moving now is reached where it was
    std::vector<TVec2> path;
    while (!Has(*item, GameplayItem::kFound) && path.size() < 100)
    {
        Tick(10, {item.get()});
        path.push_back(Position(*item));
    }
    ASSERT_GE(path.size(), 40u);
    const size_t n = path.size();
    EXPECT_EQ(path.back(), TVec2(300, 200));
    EXPECT_EQ(arrived.mCalls, 1);
    const TVec2 quarter = path[n / 4 - 1], half = path[n / 2 - 1], late = path[3 * n / 4 - 1];
    EXPECT_NEAR(quarter.x, 150, 6);
    EXPECT_NEAR(half.x, 200, 6);
    EXPECT_LT(quarter.y, 100);
    EXPECT_LT(half.y, quarter.y);
    EXPECT_NEAR(half.y, 100 - 25 + 150 / (1 + std::exp(3.0)), 3);
    EXPECT_GT(late.y, 100);

    // The fade-away: the callback does not fire again; then inactive, hidden, released.
    EXPECT_FALSE(item->GetParticles());
    RunUntil(*item, [&] { return !Has(*item, GameplayEntity::kShown); });
    EXPECT_EQ(item->GetFlags(), GameplayItem::kFound | GameplayItem::kOverlayPass);
    EXPECT_EQ(item->GetImage()->GetTexture(), nullptr);
    EXPECT_EQ(item->GetMask()->GetTexture(), nullptr);
    Tick(100, {item.get()});
    EXPECT_EQ(arrived.mCalls, 1);
}

TEST_F(ItemTest, FoundAnimationEdgeCases)
{
    // No turn: the flight starts at once; no flight: it arrives at once.
    auto quick = Make("", "{ timefound = 0, timetoinventory = 0, timefadeaway = 50 }");
    auto target = Target(300, 200);
    quick->Activate(false, nullptr);
    advtest::CountingCallback arrived;
    quick->StartFoundAnimation(arrived.Report(), target.get());
    RunUntil(*quick, [&] { return arrived.mCalls > 0; });
    EXPECT_EQ(Position(*quick), TVec2(300, 200));
    EXPECT_LE(mNow, 1000u + 20u);

    // No arc: x straight, y easing in late.
    auto flat = Make("", "{ timefound = 0, timetoinventory = 400 }");
    flat->Activate(false, nullptr);
    flat->StartFoundAnimation(nullptr, target.get());
    std::vector<TVec2> path;
    while (!Has(*flat, GameplayItem::kFound) && path.size() < 100)
    {
        Tick(10, {flat.get()});
        path.push_back(Position(*flat));
    }
    for (const TVec2& p : path)
        EXPECT_GE(p.y, 100.0f);
    EXPECT_LT(path[path.size() / 2].y, 110.0f);

    // No target: a flight of no length that still ends with the callback.
    auto lost = Make("", "{ timefound = 20, timetoinventory = 40 }");
    lost->Activate(false, nullptr);
    advtest::CountingCallback lostArrived;
    lost->StartFoundAnimation(lostArrived.Report(), nullptr);
    RunUntil(
        *lost, [&] { return lostArrived.mCalls > 0; }, 1000);
    EXPECT_EQ(lostArrived.mCalls, 1);
    EXPECT_EQ(Position(*lost), TVec2(100, 100));
}

TEST_F(ItemTest, PauseHoldsEachPhase)
{
    auto item = Make();
    auto target = Target(300, 200);
    item->Activate(false, nullptr);
    advtest::CountingCallback arrived;
    item->StartFoundAnimation(arrived.Report(), target.get());
    for (uint32_t into : {100u, 300u, 250u})
    {
        for (uint32_t t = 0; t < into; t += 10)
            Tick(10, {item.get()});
        const TVec2 at = Position(*item);
        const float alpha = item->GetTransform().GetAlpha();
        const uint8_t flags = item->GetFlags();
        item->Pause();
        for (int i = 0; i < 50; ++i)
            Tick(10, {item.get()});
        EXPECT_EQ(Position(*item), at) << into;
        EXPECT_EQ(item->GetTransform().GetAlpha(), alpha) << into;
        EXPECT_EQ(item->GetFlags(), flags) << into;
        item->Resume();
    }
    EXPECT_EQ(arrived.mCalls, 1);
    RunUntil(*item, [&] { return !Has(*item, GameplayEntity::kShown); });
    EXPECT_TRUE(Has(*item, GameplayItem::kFound));
}

TEST_F(ItemTest, CrossFadeSplitsTheAlphaBetweenThePasses)
{
    auto item = Make();
    item->Activate(false, nullptr);
    item->SetFlags(item->GetFlags() | GameplayItem::kCrossFade | GameplayItem::kOverlayPass);
    struct Case
    {
        float alpha;
        int scene, overlay;
    };
    for (const Case& c : {Case{1.0f, 255, 0}, Case{0.75f, 255, 128}, Case{0.5f, 255, 255},
                          Case{0.25f, 128, 255}, Case{0.0f, 0, 255}})
    {
        item->GetTransform().SetAlpha(c.alpha);
        DrawAll({item.get()});
        EXPECT_NEAR(int(Back(95, 95) >> 16), c.scene, 1) << c.alpha;
        EXPECT_EQ(item->GetTransform().GetAlpha(), c.alpha);
        ASSERT_TRUE(Draw2d([&] { item->DrawEffects(TDrawSpec()); }));
        EXPECT_NEAR(int(Back(95, 95) & 0xFF), c.overlay, 1) << c.alpha;
    }

    // Both passes mid-way, the found look alone, and the rectangle under a parent.
    item->GetTransform().SetAlpha(0.6f);
    item->GetTransform().SetRotationZ(0.125f);
    ASSERT_TRUE(Draw2d(
        [&]
        {
            item->Draw(TDrawSpec());
            item->DrawEffects(TDrawSpec());
        }));
    rendertest::CompareWithGolden(*Data().mBackBuffer, {70, 70, 130, 130}, "item_crossfade.png");
    item->GetTransform().SetRotationZ(0);
    item->GetTransform().SetAlpha(1.0f);
    ASSERT_TRUE(Draw2d([&] { item->DrawFoundImage(TDrawSpec(TVec2(200, 0))); }));
    EXPECT_EQ(Back(295, 95), 0x0000FFu);
    EXPECT_EQ(item->GetRect(TDrawSpec(TVec2(5, 7))), TRect(105, 107, 125, 127));
}

TEST_F(ItemTest, SavedByte)
{
    auto item = Make();
    const uint8_t shown = 0xC0 | GameplayEntity::kShown | GameplayEntity::kActive;
    ASSERT_TRUE(item->LoadState(&shown, 1));
    EXPECT_NE(item->GetMask()->GetTexture(), nullptr);
    EXPECT_EQ(item->GetTextureNames(), (std::vector<TString>{"items/key_mask"}));
    std::vector<uint8_t> out;
    item->SaveState(out);
    EXPECT_EQ(out, (std::vector<uint8_t>{shown}));
    EXPECT_FALSE(item->LoadState(&shown, 0));
    EXPECT_FALSE(item->LoadState(nullptr, 0));
    EXPECT_EQ(item->GetFlags(), shown);
    EXPECT_EQ(item->MeasureState(&shown, 1), 1u);
}

TEST_F(ItemTest, ParticlesFollowAndRunOutAfterStopping)
{
    std::string info = std::string(kInfo);
    info.insert(info.size() - 1,
                std::string(", particles = '") + kSmoke + "', particlesplash = '" + kSmoke + "'");
    auto item = Make("", info);
    item->Activate(false, nullptr);
    item->StartParticles();
    ASSERT_TRUE(item->GetParticles());
    ASSERT_TRUE(item->GetSplash());
    EXPECT_EQ(item->GetParticles()->GetScript()->GetGlobalNumber("gActive"), 1);
    Tick(16, {item.get()});
    EXPECT_GT(item->GetParticles()->GetParticleCount(), 0u);
    // Born at the item's locus.
    ASSERT_TRUE(Draw2d([&] { item->DrawEffects(TDrawSpec()); }));
    EXPECT_EQ(Back(100, 100), 0x00FF00u);

    item->StopParticles();
    Tick(50, {item.get()});
    EXPECT_TRUE(item->GetParticles()); // still has live particles
    Tick(60, {item.get()});
    EXPECT_FALSE(item->GetParticles());
    EXPECT_FALSE(item->GetSplash());

    auto none = Make();
    none->StartParticles();
    EXPECT_FALSE(none->GetParticles());
    EXPECT_FALSE(none->GetSplash());
}

TEST_F(ItemTest, DestroyedInEachPhaseLeavesNothingBehind)
{
    auto target = Target(300, 200);
    for (uint32_t into : {0u, 100u, 400u, 650u, 900u})
    {
        auto item = Make();
        item->Activate(true, nullptr);
        advtest::CountingCallback arrived;
        item->StartFoundAnimation(arrived.Report(), target.get());
        for (uint32_t t = 0; t < into; t += 10)
            Tick(10, {item.get()});
        item.reset();
        EXPECT_EQ(mTransforms.GetGroupCount(), 0u) << into;
        const int calls = arrived.mCalls;
        Step(500, [] {});
        EXPECT_EQ(arrived.mCalls, calls) << into;
    }
}

} // namespace

} // namespace gameplay_item_test
