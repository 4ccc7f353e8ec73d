// The HUD made by a window script over inventory objects of chosen widths: the strip's range and
// layout, merging, removing and scrolling, items arriving, hit tests, the subset slide for the
// hint choice and back, pausing, the two saved bytes, broken styles, and the HUD drawn.
#include "framework/adventure/hud/gameplay_hud.h"

#include "framework/adventure/entities/gameplay_item.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/adventure_test_support.h"
#include "framework/framework_display_support.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/framework_button.h"
#include "render/sprites/sprite.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{

using adventuretest::Calls;

// The window at (0, 500); the strip's bounds from x 100 to 400 in screen coordinates.
const char kHud[] =
    "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
    "background = { image = 'hud/bg.png', x = 0, y = 20 }, "
    "foreground = { image = 'hud/fg.png', x = 0, y = 80 }, "
    "progressbar = { image = 'hud/bar.png', x = 600, y = 40 }, "
    "inventorybounds = { x = 100, y = 510, w = 300, h = 80 }, inventoryminhorzgap = 10, "
    "inventoryvertplacement = 550, inventoryhidedelay = 50, hintbackgroundfadetime = 100, "
    "progressbarcollisionextension = 4, colorhintbackground = { 0, 0.5, 1, 0.5 }, "
    "Button{ name = 'inventoryleft', x = 10, y = 40, buttongraphics = { 'hud/btn.png' } }, "
    "Button{ name = 'inventoryright', x = 760, y = 40, buttongraphics = { 'hud/btn.png' } }";

// The HUD with its range opened for the tests.
struct ProbeHud : GameplayHud
{
    static TWindow* Create() { return new ProbeHud; }
    void SetRange(size_t first, size_t last)
    {
        mRangeFirst = first;
        mRangeLast = last;
    }
};

class HudTest : public fwtest::FrameworkDisplayTest
{
protected:
    void SetUp() override
    {
        FrameworkDisplayTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayHud", &ProbeHud::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        Image("hud/bg.png", 800, 80, 0xFF303030);
        Image("hud/fg.png", 800, 20, 0xFF806040);
        Image("hud/bar.png", 100, 10, 0xFF40C040);
        Image("hud/hint.png", 420, 80, 0xFF4060A0);
        Image("hud/btn.png", 30, 20, 0xFFC0C0C0);
    }

    // The style's keys, then `extra` (a later key wins), under the window name `name`.
    ProbeHud* Open(const std::string& extra = "", const char* name = "hud",
                   const std::string& style = kHud)
    {
        mManager->GetScript()->DoLuaString(
            (style + ", name = '" + name + "'" + extra + " }()").c_str());
        TWindow* found = mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu);
        return found != nullptr && found->IsKindOf(GameplayHud::GetClassId())
                   ? static_cast<ProbeHud*>(found)
                   : nullptr;
    }
    // An object whose picture is `width` wide and 20 high: four frames (whole, silhouette, two
    // parts); width 0 names a picture that does not exist.
    GameplayInventory* Object(int width)
    {
        const std::string image = "inv/w" + std::to_string(width);
        if (width > 0 && mSheets.insert(width).second)
        {
            std::vector<uint32_t> pixels(static_cast<size_t>(width) * 4 * 20, 0xFFD08040);
            for (size_t i = 0; i < pixels.size(); i += 7)
                pixels[i] = 0xFF40A0D0;
            std::vector<uint8_t> png =
                sys::display::EncodePng(pixels.data(), static_cast<uint32_t>(width) * 4, 20);
            File(image + ".png", std::string(png.begin(), png.end()));
            Image(image + "_m.png", static_cast<uint32_t>(width), 20, 0xFFFFFFFF);
            std::string xml = "<sequence><img w=\"" + std::to_string(width * 4) +
                              "\" h=\"20\" regx=\"" + std::to_string(width / 2) +
                              "\" regy=\"10\" name=\"w" + std::to_string(width) +
                              ".png\"/><framelist>";
            for (int f = 0; f < 4; ++f)
                xml += "<frame x=\"" + std::to_string(f * width) + "\" y=\"0\" w=\"" +
                       std::to_string(width) + "\" h=\"20\" regx=\"" + std::to_string(width / 2) +
                       "\" regy=\"10\"/>";
            File(image + ".xml", xml + "</framelist></sequence>");
        }
        std::unique_ptr<TLuaTable> object = Table("{ name = 'o" + std::to_string(mObjects.size()) +
                                                  "', image = '" + image + "', partcount = 2 }");
        std::unique_ptr<TLuaTable> shared =
            Table("{ imagemask = '_m', timevisible = 100, timetomove = 100, timefadepart = 50, "
                  "barwidth = 0 }");
        mObjects.push_back(std::make_unique<GameplayInventory>(*object, *shared));
        mObjects.back()->Init(*object, *shared);
        return mObjects.back().get();
    }
    std::vector<GameplayInventory*> Pend(GameplayHud* hud, const std::vector<int>& widths)
    {
        std::vector<GameplayInventory*> made;
        for (int width : widths)
        {
            made.push_back(Object(width));
            hud->GetPendingInventory().push_back(made.back());
        }
        return made;
    }
    // Objects of these widths merged at once, without animation.
    std::vector<GameplayInventory*> Strip(GameplayHud* hud, const std::vector<int>& widths)
    {
        std::vector<GameplayInventory*> made = Pend(hud, widths);
        EXPECT_TRUE(hud->MergePendingInventory(false, nullptr));
        return made;
    }
    void Frames(GameplayHud* hud, int count, uint32_t ms = 10)
    {
        for (int i = 0; i < count; ++i)
            Step(ms, [&] { hud->Update(); });
    }
    static float X(GameplayInventory* object) { return object->GetImageTransform().GetX(); }
    static std::pair<size_t, size_t> Range(GameplayHud* hud)
    {
        return {hud->GetRangeFirst(), hud->GetRangeLast()};
    }
    TVButton* Button(const char* name)
    {
        return TVButton::Cast(mManager->GetRoot()->FindChild(name, 0xFFFFFFFFu));
    }
    void Render(GameplayHud* hud)
    {
        DrawBlack([&] { hud->Render(0); });
    }

    std::vector<std::unique_ptr<GameplayInventory>> mObjects;
    std::set<int> mSheets;
};

using R = std::pair<size_t, size_t>;

TEST_F(HudTest, LayoutCentresTheRangeAndParksTheRestOutside)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    EXPECT_STREQ(hud->GetClassName(), "GameplayHud");
    EXPECT_EQ(hud->GetBounds(), TRect(100, 510, 400, 590));
    EXPECT_FALSE(hud->MergePendingInventory(false, nullptr));
    EXPECT_TRUE(Button("inventoryleft")->IsDisabled());
    Strip(hud, {60});
    // One object: both buttons stay off.
    EXPECT_TRUE(Button("inventoryleft")->IsDisabled());
    EXPECT_TRUE(Button("inventoryright")->IsDisabled());

    std::vector<GameplayInventory*> strip = Strip(hud, {60, 60});
    strip.insert(strip.begin(), mObjects[0].get());
    // total 10 + 3 x 70 = 220; spacing (300 - 220) / (3 + 1) = 20; from 100 + 10 + 20, centres
    // at half the width.
    EXPECT_EQ(X(strip[0]), 160.0f);
    EXPECT_EQ(X(strip[1]), 250.0f);
    EXPECT_EQ(X(strip[2]), 340.0f);
    EXPECT_EQ(strip[0]->GetImageTransform().GetY(), 550.0f);
    EXPECT_EQ(strip[2]->GetFlags(), 0x91);
    EXPECT_EQ(Range(hud), R(0, 2));
    EXPECT_TRUE(hud->IsAtLeftEnd() && hud->IsAtRightEnd());

    // Two more: the range moves to the end; the first waits outside on the left.
    std::vector<GameplayInventory*> more = Strip(hud, {60, 60});
    EXPECT_EQ(Range(hud), R(1, 4));
    EXPECT_EQ(X(strip[0]), 100.0f - 60.0f - 10.0f);
    EXPECT_FALSE(hud->IsAtLeftEnd());
    EXPECT_TRUE(hud->IsAtRightEnd());
    EXPECT_FALSE(Button("inventoryleft")->IsDisabled());
    EXPECT_TRUE(Button("inventoryright")->IsDisabled());

    // A step past either end clamps the moving edge.
    hud->ArrangeInventory(9, false, nullptr);
    EXPECT_EQ(Range(hud), R(0, 3));
    EXPECT_EQ(X(more[1]), 400.0f + 60.0f + 10.0f);
    EXPECT_TRUE(Button("inventoryleft")->IsDisabled());
    EXPECT_FALSE(Button("inventoryright")->IsDisabled());
    hud->ArrangeInventory(-9, false, nullptr);
    EXPECT_EQ(Range(hud), R(1, 4));

    // Buttons off for the HUD stay off whatever the range.
    hud->SetButtonsEnabled(false);
    hud->ArrangeInventory(1, false, nullptr);
    EXPECT_TRUE(Button("inventoryright")->IsDisabled());
    hud->SetButtonsEnabled(true);
    EXPECT_FALSE(Button("inventoryright")->IsDisabled());
}

TEST_F(HudTest, WideningTakesTheNarrowerNeighbourFirstAndTheRightOnATie)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    // Wide objects on the left, narrow ones entering on the right.
    Strip(hud, {120, 120, 30, 30, 30, 30});
    hud->ArrangeInventory(9, false, nullptr);
    EXPECT_EQ(Range(hud), R(0, 1));
    // One to the right shows four new objects: refilled from the moved edge, then widened.
    hud->ArrangeInventory(-1, false, nullptr);
    EXPECT_EQ(Range(hud), R(1, 5));

    ProbeHud* tie = Open("", "tie");
    Strip(tie, {60, 60, 60, 60, 60});
    tie->SetRange(2, 2);
    tie->ArrangeInventory(0, false, nullptr);
    // Right, right (the end), then left while it fits.
    EXPECT_EQ(Range(tie), R(1, 4));

    // Objects without textures (width 0) and no gap: every one fits and the range stops at the
    // strip's ends.
    ProbeHud* flat = Open(", inventoryminhorzgap = 0", "flat");
    Strip(flat, {0, 0, 0});
    EXPECT_EQ(Range(flat), R(0, 2));
    flat->SetRange(1, 1);
    flat->ArrangeInventory(0, false, nullptr);
    EXPECT_EQ(Range(flat), R(0, 2));
}

TEST_F(HudTest, MergingRemovingAndScrolling)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    std::vector<GameplayInventory*> strip = Strip(hud, {60, 60, 60});
    Calls calls;
    std::vector<GameplayInventory*> fresh = Pend(hud, {60, 60, 60});
    ASSERT_TRUE(hud->MergePendingInventory(true, calls.Report()));
    EXPECT_TRUE(hud->GetPendingInventory().empty());
    EXPECT_EQ(Range(hud), R(2, 5));
    // The new ones inside the range fade in; the first carries the callback.
    for (GameplayInventory* object : fresh)
    {
        EXPECT_EQ(object->GetFlags(), 0xB1) << "placed, and gliding into place";
        EXPECT_EQ(object->GetImageTransform().GetAlpha(), 0.0f);
    }
    Frames(hud, 5);
    EXPECT_EQ(calls.Count(), 0u);
    Frames(hud, 20);
    EXPECT_EQ(calls.Count(), 1u);
    EXPECT_EQ(fresh[2]->GetImageTransform().GetAlpha(), 1.0f);
    EXPECT_EQ(X(strip[0]), 30.0f);

    // Without animation nobody carries the callback: the next Update calls it.
    Pend(hud, {60});
    ASSERT_TRUE(hud->MergePendingInventory(false, calls.Report()));
    EXPECT_EQ(calls.Count(), 1u);
    Frames(hud, 1);
    EXPECT_EQ(calls.Count(), 2u);
    Frames(hud, 1);
    EXPECT_EQ(calls.Count(), 2u);
    // So does an arrangement of an empty strip.
    ProbeHud* empty = Open("", "empty");
    empty->ArrangeInventory(-1, true, calls.Report());
    Frames(empty, 1);
    EXPECT_EQ(calls.Count(), 3u);

    // Range (3, 6) of seven; removing one before it moves both ends left.
    EXPECT_EQ(Range(hud), R(3, 6));
    hud->RemoveInventory(strip[0]);
    EXPECT_EQ(hud->GetShownInventory().size(), 6u);
    EXPECT_EQ(Range(hud), R(2, 5));
    const std::string before = Log();
    GameplayInventory* stranger = Object(60);
    hud->RemoveInventory(stranger);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:Attempted to remove inventory from HUD that "
                                         "wasn't in HUD.   FILE:gameplayhud LINE:247"),
              1);
    EXPECT_EQ(hud->GetShownInventory().size(), 6u);
    EXPECT_EQ(Range(hud), R(2, 5));
    EXPECT_TRUE(hud->HasInventory(strip[1]->GetName()));
    EXPECT_FALSE(hud->HasInventory(strip[0]->GetName()));

    // Scrolling to an object: before the range, after it, inside it, and one not shown.
    hud->ScrollToInventory(strip[1]);
    EXPECT_EQ(Range(hud), R(0, 3));
    hud->ScrollToInventory(fresh[2]);
    EXPECT_EQ(Range(hud), R(1, 4));
    hud->ScrollToInventory(fresh[0]);
    EXPECT_EQ(Range(hud), R(1, 4));
    hud->ScrollToInventory(stranger);
    EXPECT_EQ(Range(hud), R(2, 5));
}

TEST_F(HudTest, ItemsArriveAndPointsAreTested)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    std::vector<GameplayInventory*> strip = Strip(hud, {60, 60, 60});
    hud->SetProgressMax(10);
    hud->OnItemArrived("o1", {2, 1});
    EXPECT_EQ(hud->GetProgress(), 1);
    EXPECT_EQ(strip[1]->GetParts(), (std::vector<bool>{true, true}));
    EXPECT_EQ(strip[1]->GetPartsFound(), 1);
    // From the item itself: its inventory name and part numbers.
    GameplayItem item(*Table("{ name = 'coin', inventory = 'nobody', inventoryparts = { 1 } }"),
                      *Table("{}"));
    hud->OnItemArrived(item);
    EXPECT_EQ(hud->GetProgress(), 2);
    EXPECT_EQ(hud->GetProgressBarSprite()->GetSpec().mSourceRect, TRect(0, 0, 20, 10));
    Frames(hud, 10);
    hud->OnItemArrived("o1", {});
    EXPECT_EQ(strip[1]->GetPartsFound(), 1);
    EXPECT_TRUE(hud->GetShownInventoryNames().empty());
    strip[1]->AddPart(1, true);
    EXPECT_EQ(hud->GetShownInventoryNames(), (std::vector<TString>{"o1"}));

    // The first object's mask covers x 130-189 and y 540-559.
    EXPECT_EQ(hud->FindInventoryAt({130, 540}), strip[0]);
    EXPECT_EQ(hud->FindInventoryAt({189, 559}), strip[0]);
    EXPECT_EQ(hud->FindInventoryAt({190, 550}), nullptr);
    EXPECT_EQ(hud->FindInventoryAt({129, 550}), nullptr);
    EXPECT_EQ(hud->FindInventoryAt({150, 560}), nullptr);
    EXPECT_EQ(hud->FindInventoryAt({220, 550}), strip[1]);
    EXPECT_EQ(Open("", "none")->FindInventoryAt({150, 550}), nullptr);

    // The bar at (600, 540) on screen, 100 x 10, its whole picture widened by 4.
    EXPECT_TRUE(hud->IsOverProgressBar({596, 536}));
    EXPECT_TRUE(hud->IsOverProgressBar({703, 553}));
    EXPECT_FALSE(hud->IsOverProgressBar({704, 540}));
    EXPECT_FALSE(hud->IsOverProgressBar({650, 554}));
    EXPECT_FALSE(hud->IsOverProgressBar({595, 540}));
    EXPECT_FALSE(hud->IsOverProgressBar({650, 535}));
    EXPECT_EQ(hud->GetProgressBarSprite()->GetSpec().mSourceRect, TRect(0, 0, 30, 10));

    EXPECT_TRUE(hud->ContainsPoint({5, 525}));
    EXPECT_TRUE(hud->ContainsPoint({5, 599}));
    EXPECT_FALSE(hud->ContainsPoint({5, 519}));
}

TEST_F(HudTest, ProgressAndItsTwoSavedBytes)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    const TDrawSpec& bar = hud->GetProgressBarSprite()->GetSpec();
    // Nothing shows before the first value.
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 0, 10));
    hud->SetProgress(3);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 0, 10)) << "no full value yet";
    hud->SetProgressMax(-4);
    hud->SetProgress(3);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 0, 10));
    hud->SetProgressMax(7);
    hud->SetProgress(3);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 42, 10));
    hud->SetProgress(9);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 100, 10));
    hud->SetProgress(-2);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 0, 10));

    hud->SetProgressMax(300);
    hud->SetProgress(300);
    std::vector<uint8_t> saved;
    hud->SaveState(saved);
    EXPECT_EQ(saved, (std::vector<uint8_t>{0x2C, 0x2C}));
    EXPECT_EQ(hud->GetSavedStateSize(), 2u);
    const uint8_t bytes[] = {0xC8, 0xFA};
    ASSERT_TRUE(hud->LoadState(bytes, 2));
    EXPECT_EQ(hud->GetProgressMax(), 200);
    EXPECT_EQ(hud->GetProgress(), 250);
    EXPECT_EQ(bar.mSourceRect, TRect(0, 0, 100, 10));
    EXPECT_FALSE(hud->LoadState(bytes, 1));
    EXPECT_FALSE(hud->LoadState(nullptr, 2));
    EXPECT_EQ(hud->GetProgressMax(), 200);
    EXPECT_EQ(hud->GetProgress(), 250);
}

TEST_F(HudTest, SubsetSlidesInAndTheStripComesBack)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    std::vector<GameplayInventory*> strip = Strip(hud, {60, 60, 60, 60, 60});
    EXPECT_EQ(Range(hud), R(1, 4));
    Calls chosen;
    hud->ShowInventorySubset({strip[0], strip[2]}, chosen.Report());
    EXPECT_FALSE(hud->AreButtonsEnabled());
    EXPECT_EQ(strip[0]->GetHomePosition().x, 30.0f);
    // The last of the range leaves 3 x 50 ms after the first.
    Frames(hud, 14);
    EXPECT_EQ(X(strip[1]), 30.0f);
    EXPECT_EQ(X(strip[4]), 358.0f);
    Frames(hud, 13);
    EXPECT_EQ(hud->GetShownInventory(), (std::vector<GameplayInventory*>{strip[0], strip[2]}));
    EXPECT_TRUE(hud->AreButtonsEnabled());
    EXPECT_TRUE(strip[0]->HasLiftedParts());
    EXPECT_FALSE(strip[1]->HasLiftedParts());
    EXPECT_EQ(Range(hud), R(0, 1));
    EXPECT_GT(X(strip[2]), 400.0f) << "comes in from the right";
    EXPECT_EQ(chosen.Count(), 0u);
    Frames(hud, 8);
    EXPECT_GT(hud->GetHintAlpha(), 0.0f);
    EXPECT_LT(hud->GetHintAlpha(), 1.0f);
    Frames(hud, 10);
    EXPECT_EQ(chosen.Count(), 1u);
    EXPECT_FLOAT_EQ(hud->GetHintAlpha(), 1.0f);

    // Pause freezes the HUD's own step and the hint fade, not the objects.
    Calls back;
    hud->PlaceInventory(back.Report());
    Frames(hud, 3);
    hud->Pause();
    EXPECT_TRUE(hud->IsPaused());
    const float frozen = hud->GetHintAlpha();
    Frames(hud, 30);
    EXPECT_EQ(hud->GetHintAlpha(), frozen);
    EXPECT_EQ(hud->GetShownInventory().size(), 2u);
    EXPECT_EQ(hud->GetSlideState(), 2);
    hud->Resume();
    Frames(hud, 1);
    EXPECT_EQ(hud->GetShownInventory().size(), 5u);
    EXPECT_EQ(Range(hud), R(0, 3));
    EXPECT_FALSE(strip[0]->HasLiftedParts());
    EXPECT_LT(X(strip[0]), 100.0f) << "comes in from the left";
    // The rightmost of the range starts at once and lands first, with the callback.
    Frames(hud, 11);
    EXPECT_EQ(back.Count(), 1u);
    EXPECT_EQ(X(strip[3]), 358.0f);
    EXPECT_LT(X(strip[0]), 100.0f);
    Frames(hud, 20);
    EXPECT_EQ(X(strip[0]), 142.0f);
    EXPECT_EQ(back.Count(), 1u);
    EXPECT_EQ(hud->GetHintAlpha(), 0.0f);

    // A subset of nothing and a return with nothing: the callbacks still come.
    ProbeHud* empty = Open("", "empty");
    Calls late;
    empty->ShowInventorySubset({}, late.Report());
    Frames(empty, 1);
    EXPECT_EQ(late.Count(), 1u);
    empty->PlaceInventory(late.Report());
    Frames(empty, 1);
    EXPECT_EQ(late.Count(), 2u);
}

// The strip's objects leave one step after another; steps that pass what an int holds together
// wait the longest one holds: the third of the range, two steps behind the first, stays (it used
// to wrap to a wait of none and leave at once).
TEST_F(HudTest, StaggeredSlidesPastWhatAnIntHoldsWaitTheLongest)
{
    ProbeHud* hud = Open(", inventoryhidedelay = 2000000000");
    ASSERT_NE(hud, nullptr);
    std::vector<GameplayInventory*> strip = Strip(hud, {60, 60, 60, 60});
    ASSERT_EQ(Range(hud), R(0, 3));
    std::vector<float> before;
    for (GameplayInventory* object : strip)
        before.push_back(X(object));
    // Kept past the test: the strip still holds its report when the test ends.
    static Calls chosen;
    hud->ShowInventorySubset({strip[0]}, chosen.Report());
    Frames(hud, 20);
    EXPECT_LT(X(strip[0]), before[0]) << "the first leaves at once";
    for (size_t i = 1; i < strip.size(); ++i)
        EXPECT_EQ(X(strip[i]), before[i]) << i;
    EXPECT_EQ(chosen.Count(), 0u);
}

TEST_F(HudTest, BrokenStylesReportAndBuildNothingMore)
{
    const struct
    {
        const char* table;
        const char* line;
    } cases[] = {
        {"background", "No background table for GameplayHud!   FILE:gameplayhud LINE:60"},
        {"foreground", "No foreground table for GameplayHud!   FILE:gameplayhud LINE:72"},
        {"progressbar", "No progressbar table for GameplayHud!   FILE:gameplayhud LINE:84"},
        {"inventorybounds",
         "No inventorybounds table for GameplayHud!   FILE:gameplayhud LINE:108"}};
    int i = 0;
    for (const auto& c : cases)
    {
        const std::string name = "broken" + std::to_string(i++);
        ProbeHud* hud =
            Open(std::string(", ") + c.table + " = 7, inventoryminhorzgap = 'wide'", name.c_str());
        ASSERT_NE(hud, nullptr) << c.table;
        EXPECT_EQ(rendertest::CountOf(Log(), std::string("ERROR:") + c.line), 1) << c.table;
        // Nothing after the missing table: the bounds stay empty and the buttons untouched.
        EXPECT_EQ(hud->GetBounds(), TRect()) << c.table;
        hud->ArrangeInventory(0, false, nullptr);
    }
    // Wrong-typed numbers read as 0.
    ProbeHud* odd = Open(", inventoryminhorzgap = 'wide', inventoryvertplacement = {}", "odd");
    std::vector<GameplayInventory*> strip = Strip(odd, {60});
    EXPECT_EQ(strip[0]->GetImageTransform().GetY(), 0.0f);
    EXPECT_EQ(X(strip[0]), 100.0f + 120.0f + 30.0f);
}

// Pictures the style names and the game lacks: each said once, the rest built all the same.
TEST_F(HudTest, MissingPicturesAreSaidAndTheRestIsBuilt)
{
    ProbeHud* hud = Open(", foreground = { image = 'hud/none.png', x = 0, y = 80 }, "
                         "hintbackground = { image = 'hud/gone.png', x = 0, y = 0 }",
                         "bare");
    ASSERT_NE(hud, nullptr);
    for (const char* picture : {"hud/none.png", "hud/gone.png"})
        EXPECT_EQ(rendertest::CountOf(Log(), std::string("ERROR:Cannot find picture '") + picture +
                                                 "' of 'bare'"),
                  1)
            << picture;
    EXPECT_EQ(hud->GetBounds(), TRect(100, 510, 400, 590));
}

// Nine objects: only the visible range is drawn in the strip, not those parked beyond either end
// (all at one spot beside it); one scrolled out is drawn while it crosses the edge.
TEST_F(HudTest, OnlyTheVisibleRangeAndObjectsCrossingItsEdgeAreDrawn)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    const std::vector<GameplayInventory*> strip = Strip(hud, {60, 60, 60, 60, 60, 60, 60, 60, 60});
    EXPECT_EQ(Range(hud), R(5, 8));
    Render(hud);
    // The five before the range wait at 30, left of the strip, beside its button.
    EXPECT_EQ(X(strip[0]), 30.0f);
    EXPECT_EQ(Back(50, 550), 0x303030u);
    EXPECT_NE(Back(static_cast<int>(X(strip[5])), 550), 0x303030u);

    hud->ArrangeInventory(9, false, nullptr);
    EXPECT_EQ(Range(hud), R(0, 3));
    Render(hud);
    EXPECT_EQ(X(strip[8]), 470.0f);
    EXPECT_EQ(Back(470, 550), 0x303030u);

    // Scrolled one to the right: the first glides out over the strip's left edge.
    hud->ArrangeInventory(-1, true, nullptr);
    Frames(hud, 3);
    const float x = X(strip[0]);
    ASSERT_GT(x, 100.0f - 30.0f) << "still over the strip";
    ASSERT_LT(x, 142.0f) << "on its way";
    Render(hud);
    EXPECT_NE(Back(static_cast<int>(x) - 25, 550), 0x303030u);
}

TEST_F(HudTest, DrawnWithItsStripAndTheHintBackground)
{
    ProbeHud* hud = Open();
    ASSERT_NE(hud, nullptr);
    Strip(hud, {60, 40, 60});
    hud->SetProgressMax(4);
    hud->SetProgress(1);
    Render(hud);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 500, 720, 600}, "gameplay_hud.png");
    EXPECT_EQ(Back(600, 545), 0x40C040u);
    EXPECT_EQ(Back(625, 545), 0x303030u);

    // Half faded in, without a picture of its own: the background again, tinted and added.
    hud->FadeInHintBackground();
    Frames(hud, 6);
    EXPECT_NEAR(hud->GetHintAlpha(), 0.5f, 0.05f);
    Render(hud);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 500, 720, 600},
                                  "gameplay_hud_hint_added.png");

    ProbeHud* pictured =
        Open(", hintbackground = { image = 'hud/hint.png', x = 0, y = 20 }", "pictured");
    Strip(pictured, {60, 40, 60});
    pictured->FadeInHintBackground();
    Frames(pictured, 6);
    Render(pictured);
    rendertest::CompareWithGolden(*Data().mBackBuffer, {0, 500, 720, 600},
                                  "gameplay_hud_hint_picture.png");
}

} // namespace
