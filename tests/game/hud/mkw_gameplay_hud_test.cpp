// The game's HUD made by a window script: objects merged by character, the four saved bytes, the
// hint selection on the medallions, the tracker queries and their fallbacks, the journal button,
// hit tests, broken styles, and the HUD drawn with its medallions.
#include "game/hud/mkw_gameplay_hud.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/core/settings.h"
#include "framework/widgets/framework_button.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/hud_test_support.h"
#include "game/inventory/mkw_gameplay_inventory.h"
#include "render/sprites/animated_texture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

using gamehudtest::Character;

// The window at (0, 500): Thessalor's medallion at (50, 50) with trackers at x 120, Lirae's at
// (750, 50) with trackers at x 680 (window coordinates); the background between them, the strip
// from x 200 to 600.
std::string Style(const std::string& extra = "")
{
    return std::string("GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
                       "background = { image = 'hud/bg.png', x = 100, y = 0 }, "
                       "foreground = { image = 'hud/fg.png', x = 0, y = 90 }, "
                       "progressbar = { image = 'hud/bar.png', x = 300, y = 4 }, "
                       "inventorybounds = { x = 200, y = 510, w = 400, h = 80 }, "
                       "inventoryminhorzgap = 10, inventoryvertplacement = 550, "
                       "hintinfo = ") +
           gamehudtest::kHintInfo + ", hintthessalor = " + Character(50, 120, 2) +
           ", hintlirae = " + Character(750, 680, 2) +
           ", hintliraecolor = { 1, 0.5, 0.25, 1 }, hintthessalorcolor = { 0.25, 0.5, 1, 1 }" +
           extra + " }";
}

class GameHudTest : public gamehudtest::HintDisplayTest
{
protected:
    void SetUp() override
    {
        HintDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayHud", &MKWGameplayHud::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        Image("hud/bg.png", 600, 100, 0xFF303030);
        Image("hud/fg.png", 800, 10, 0xFF806040);
        Image("hud/bar.png", 100, 10, 0xFF40C040);
        Image("hud/btn.png", 30, 20, 0xFFC0C0C0);
    }
    // The style with `extra` keys (a later key wins), opened under the window name `name`.
    MKWGameplayHud* Open(const std::string& extra = "", const std::string& name = "hud")
    {
        mManager->GetScript()->DoLuaString(
            (Style(extra + ", name = '" + name + "'") + "()").c_str());
        TWindow* found = mManager->GetRoot()->FindChild(name.c_str(), 0xFFFFFFFFu);
        return found != nullptr && found->IsKindOf(MKWGameplayHud::GetClassId())
                   ? static_cast<MKWGameplayHud*>(found)
                   : nullptr;
    }
    GameplayInventory* Object(const std::string& name, const std::string& type)
    {
        auto o = Table("{ name = '" + name + "', type = '" + type + "' }");
        auto s = Table("{ timevisible = 100 }");
        mObjects.push_back(std::make_unique<MKWGameplayInventory>(*o, *s));
        mObjects.back()->Init(*o, *s);
        return mObjects.back().get();
    }
    std::vector<std::string> Strip(MKWGameplayHud* hud)
    {
        std::vector<std::string> names;
        for (GameplayInventory* object : hud->GetShownInventory())
            names.push_back(object->GetName().c_str());
        return names;
    }
    void Frames(MKWGameplayHud* hud, int count)
    {
        for (int i = 0; i < count; ++i)
            Step(10, [&] { hud->Update(); });
    }

    Settings mSettings;
    std::vector<std::unique_ptr<GameplayInventory>> mObjects;
};

TEST_F(GameHudTest, ObjectsMergeByCharacter)
{
    MKWGameplayHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    EXPECT_STREQ(hud->GetClassName(), "MKWGameplayHud");
    EXPECT_TRUE(hud->IsKindOf(GameplayHud::GetClassId()));
    EXPECT_FALSE(hud->MergePendingInventory(false, nullptr));

    auto& pending = hud->GetPendingInventory();
    pending = {Object("l1", "lirae"), Object("t1", "thessalor"), Object("none", "")};
    EXPECT_TRUE(hud->MergePendingInventory(false, nullptr));
    EXPECT_EQ(Strip(hud), (std::vector<std::string>{"t1", "l1"}));
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(hud->GetRangeFirst(), 0u);
    EXPECT_EQ(mObjects[2]->GetFlags() & GameplayInventory::kShown, 0);

    pending = {Object("l2", "lirae"), Object("l3", "lirae")};
    hud->MergePendingInventory(false, nullptr);
    pending = {Object("t2", "thessalor")};
    hud->MergePendingInventory(false, nullptr);
    EXPECT_EQ(Strip(hud), (std::vector<std::string>{"t2", "t1", "l1", "l2", "l3"}));
    EXPECT_EQ(hud->GetShownInventory()[4]->GetFlags() & 0x81, 0x81);

    // Only unmarked objects: nothing placed, and the callback still comes, with the next update.
    adventuretest::Calls calls;
    pending = {Object("none2", "other")};
    EXPECT_TRUE(hud->MergePendingInventory(true, calls.Report()));
    EXPECT_EQ(calls.Count(), 0u);
    Frames(hud, 1);
    EXPECT_EQ(calls.Count(), 1u);
    EXPECT_EQ(Strip(hud).size(), 5u);
}

TEST_F(GameHudTest, FourSavedBytesRestoreSpentTrackers)
{
    MKWGameplayHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(hud->GetSavedStateSize(), 4u);
    hud->GetLiraeMedallion()->SetAvailableMask(0x02);
    hud->GetThessalorMedallion()->SetAvailableMask(0x01);
    hud->SetProgressMax(9);
    hud->SetProgress(4);
    std::vector<uint8_t> saved;
    hud->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{0x02, 0x01, 9, 4}));

    hud->GetLiraeMedallion()->SetAvailableMask(0x03);
    hud->GetThessalorMedallion()->SetAvailableMask(0x03);
    EXPECT_FALSE(hud->LoadState(saved.data(), 3));
    EXPECT_EQ(hud->GetLiraeMedallion()->GetAvailableMask(), 0x03);
    ASSERT_TRUE(hud->LoadState(saved.data(), saved.size()));
    EXPECT_EQ(hud->GetLiraeMedallion()->GetFirstMissingTracker(), 0);
    EXPECT_EQ(hud->GetThessalorMedallion()->GetFirstMissingTracker(), 1);
    EXPECT_EQ(hud->GetProgressMax(), 9);
    EXPECT_EQ(hud->GetProgress(), 4);
}

TEST_F(GameHudTest, HintSelectionPrefersLirae)
{
    MKWGameplayHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(hud->GetClickedHintPosition().x, 0.0f);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:GameplayHud::GetClickedHintPosition() with no "
                                         "clicked hints!   FILE:mkwgameplayhud"),
              1);

    EXPECT_TRUE(hud->TestHintClick({120, 45}, true));
    EXPECT_FALSE(hud->TestHintClick({400, 45}, false));
    hud->SelectHint({120, 45});
    EXPECT_EQ(hud->GetSelectedMedallion(), hud->GetThessalorMedallion());
    EXPECT_EQ(hud->GetHintParticleColor().mValue[2], 1.0f);
    // Both hold a selection: Lirae's wins everywhere.
    hud->SelectHint({680, 20});
    EXPECT_EQ(hud->GetSelectedMedallion(), hud->GetLiraeMedallion());
    EXPECT_EQ(hud->GetHintParticleColor().mValue[0], 1.0f);
    EXPECT_EQ(hud->GetHintParticleColor().mValue[2], 0.25f);
    const TVec2 at = hud->GetClickedHintPosition();
    EXPECT_EQ(at.x, 680.0f);
    EXPECT_EQ(at.y, 520.0f);
    hud->FadeInHintBackground();
    EXPECT_EQ(hud->GetHintBackgroundColor().x, 1.0f);

    hud->EndHintSelect(true);
    EXPECT_EQ(hud->GetLiraeMedallion()->GetAvailableMask(), 0x02);
    EXPECT_EQ(hud->GetLiraeMedallion()->GetSelectedMask(), 0);
    EXPECT_EQ(hud->GetThessalorMedallion()->GetSelectedMask(), 0x02);
    hud->EndHintSelect(false);
    EXPECT_EQ(hud->GetThessalorMedallion()->GetAvailableMask(), 0x03);
    EXPECT_EQ(hud->GetThessalorMedallion()->GetSelectedMask(), 0);

    // The spent tracker is Lirae's first missing one, reported in screen coordinates.
    EXPECT_EQ(hud->GetFirstMissingTracker(2), 0);
    EXPECT_EQ(hud->GetFirstMissingTracker(7), -1);
    const TIntPoint missing = hud->GetMissingTrackerPosition(2, 0);
    EXPECT_EQ(missing.x, 680);
    EXPECT_EQ(missing.y, 520);
    EXPECT_EQ(hud->GetMissingTrackerTexture(2, 0), TAnimatedTexture::Get("hud/trk", "", ""));
    // "None missing" (-1) and beyond: reported, the fallbacks.
    const TIntPoint none = hud->GetMissingTrackerPosition(1, -1);
    EXPECT_EQ(none.x, 0);
    EXPECT_EQ(none.y, 500);
    EXPECT_EQ(hud->GetMissingTrackerTexture(1, 9), TAnimatedTexture::Get("hud/trk", "", ""));
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:No missing trackers!"), 2);
}

TEST_F(GameHudTest, MedallionsAnswerHitsAndTheJournalButtonFollowsTheButtons)
{
    MKWGameplayHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(hud->GetJournalButton(), nullptr);
    EXPECT_EQ(hud->HitMedallions({750, 50}), 2);
    EXPECT_EQ(hud->HitMedallions({50, 50}), 1);
    EXPECT_EQ(hud->HitMedallions({400, 50}), 0);
    EXPECT_EQ(hud->HitTrackers({680, 45}), 2);
    EXPECT_EQ(hud->HitTrackers({120, 20}), 1);
    EXPECT_FALSE(hud->HitMedallionsIfMissing({50, 50}, true));
    hud->GetThessalorMedallion()->SetAvailableMask(1);
    EXPECT_TRUE(hud->HitMedallionsIfMissing({50, 50}, true));
    // In screen coordinates, the medallion counts where the bar's pictures are not.
    EXPECT_TRUE(hud->ContainsPoint({50, 550}));
    EXPECT_FALSE(hud->ContainsPoint({50, 505}));
    hud->SetButtonsEnabled(false);
    EXPECT_FALSE(hud->AreButtonsEnabled());

    hud->RequestMedallionGlow(2);
    hud->SpinMedallion(1, true);
    hud->SpinMedallion(0, true);
    mSettings.mMouseX = 120;
    mSettings.mMouseY = 520;
    hud->GetThessalorMedallion()->RequestTrackerHover();
    Frames(hud, 1);
    EXPECT_TRUE(hud->GetLiraeMedallion()->IsGlowOn());
    EXPECT_TRUE(hud->GetThessalorMedallion()->IsTrackerHighlightOn());
    EXPECT_EQ(hud->GetThessalorMedallion()->GetHighlightedTracker(), 0u);
    EXPECT_EQ(hud->GetLiraeMedallion()->GetSpinFrame(), 0);

    MKWGameplayHud* second =
        Open(", Button{ name = 'journal', x = 600, y = 10, buttongraphics = { 'hud/btn.png' } }",
             "second");
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second->GetJournalButton(), nullptr);
    second->SetButtonsEnabled(false);
    EXPECT_TRUE(second->GetJournalButton()->IsDisabled());
    second->SetButtonsEnabled(true);
    EXPECT_FALSE(second->GetJournalButton()->IsDisabled());
}

TEST_F(GameHudTest, MissingTablesAreFatalAndStopTheBuilding)
{
    const struct
    {
        const char* drop;
        const char* line;
        bool lirae;
    } cases[] = {
        {"hintinfo", "No hintinfo table for GameplayHud", false},
        {"hintlirae", "No hintlirae table for GameplayHud", false},
        {"hintthessalor", "No hintthessalor table for GameplayHud", true},
    };
    for (const auto& c : cases)
    {
        MKWGameplayHud* hud = Open(std::string(", ") + c.drop + " = false", c.drop);
        ASSERT_NE(hud, nullptr) << c.drop;
        EXPECT_EQ(rendertest::CountOf(Log(), std::string("ERROR:") + c.line +
                                                 "   FILE:mkwgameplayhud LINE:"),
                  1)
            << c.drop;
        EXPECT_EQ(hud->GetLiraeMedallion() != nullptr, c.lirae) << c.drop;
        EXPECT_EQ(hud->GetThessalorMedallion(), nullptr) << c.drop;
        // Nothing to answer with: no hits, no selections, no crash.
        EXPECT_EQ(hud->HitMedallions({50, 50}), 0);
        EXPECT_EQ(hud->GetFirstMissingTracker(1), -1);
        hud->SelectHint({120, 20});
        Frames(hud, 1);
    }
}

TEST_F(GameHudTest, DrawnWithBothMedallionsKeepingClipAndViewport)
{
    MKWGameplayHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    hud->GetThessalorMedallion()->SetAvailableMask(0x02);
    for (int i = 0; i < 12; ++i)
    {
        hud->RequestMedallionGlow(2);
        mSettings.mMouseX = 680;
        mSettings.mMouseY = 545;
        hud->GetLiraeMedallion()->RequestTrackerHover();
        Frames(hud, 1);
    }
    BeginBlackFrame();
    TRenderer* renderer = TRenderer::Instance();
    const TRect window(0, 500, 800, 600);
    renderer->PushClipRect(window);
    renderer->PushViewport(window);
    hud->Draw();
    EXPECT_EQ(renderer->GetClipRect(), window);
    EXPECT_EQ(renderer->GetViewport(), window);
    renderer->PopViewport();
    renderer->PopClipRect();
    EndFrame();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 500, 800, 600}, "mkw_gameplay_hud.png");
    // Thessalor's spent tracker 0 is not drawn; the scrim is black around his medallion.
    EXPECT_EQ(Back(120, 520), 0x303030u);
    EXPECT_EQ(Back(5, 505), 0u);
    EXPECT_EQ(Back(50, 550), 0xE02020u);
}

} // namespace
