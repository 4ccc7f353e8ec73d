// The game's runner choosing its tool tips over the game's HUD: the five cases in their order,
// each seen in the colour (and, where the case has one, the text) the base's tool tips are given.
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/adventure/tooltips/gameplay_tool_tip.h"
#include "framework/screen_test_support.h"
#include "framework/widgets/framework_button.h"
#include "framework/widgets/tool_tip.h"
#include "game/hud/gameplay_hint.h"
#include "game/hud/hud_test_support.h"
#include "game/hud/mkw_gameplay_hud.h"
#include "game/runner/mkw_gameplay.h"
#include "platform/strings/string_table.h"

#include <gtest/gtest.h>

#include <string>

namespace mkw_gameplay_tool_tips_test
{
namespace
{

using gamehudtest::Character;

struct TipsGameplay : MKWGameplay
{
    static TWindow* Create() { return new TipsGameplay; }
    void SetState(int32_t state) { mGameplayState = state; }
    ToolTip* Basic() const { return mBasicToolTip.get(); }
    ToolTip* Hint() const { return mHintToolTip.get(); }
    GameplayToolTip* ForInventory() const { return mInventoryToolTip.get(); }
};

// Every label its own text, so that a chosen label shows which one it was.
const char kStrings[] =
    "<Row><Cell><Data>novalid</Data></Cell><Cell><Data>No target</Data></Cell></Row>"
    "<Row><Cell><Data>ln</Data></Cell><Cell><Data>Lirae none</Data></Cell></Row>"
    "<Row><Cell><Data>tn</Data></Cell><Cell><Data>Thessalor none</Data></Cell></Row>"
    "<Row><Cell><Data>lna</Data></Cell><Cell><Data>Lirae spent</Data></Cell></Row>"
    "<Row><Cell><Data>la</Data></Cell><Cell><Data>Lirae ready</Data></Cell></Row>"
    "<Row><Cell><Data>tna</Data></Cell><Cell><Data>Thessalor spent</Data></Cell></Row>"
    "<Row><Cell><Data>ta</Data></Cell><Cell><Data>Thessalor ready</Data></Cell></Row>"
    "<Row><Cell><Data>pick</Data></Cell><Cell><Data>Pick one</Data></Cell></Row>"
    "<Row><Cell><Data>label</Data></Cell><Cell><Data>A label</Data></Cell></Row>";

// The HUD at (0, 500): Thessalor's medallion at (50, 550) with trackers at (120, 520) and
// (120, 545), Lirae's at (750, 550) with trackers at x 680 (screen points); the strip between.
const char kLocation[] =
    "gameplayinstructions = { conversations = {}, scenes = { 'a' }, a = {}, "
    "inventory = { { name = 'oil', image = 'hud/med', partcount = 1, type = 'lirae' }, "
    "{ name = 'key', image = 'hud/med', partcount = 1, type = 'thessalor' }, "
    "{ name = 'coin', image = 'hud/med', partcount = 1 } }, "
    "events = { { name = 'e0', inventorytoactivate = { 'oil', 'key', 'coin' } } }, "
    "initial_event = 'e0', active_scene = 'a' }";

class MKWGameplayToolTipsTest : public screentest::ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        // One-frame medallion and tracker pictures registered at their centres.
        for (const auto& [name, size] :
             {std::pair<std::string, int>{"hud/med", 40}, {"hud/trk", 16}})
        {
            Image(name + ".png", static_cast<uint32_t>(size), static_cast<uint32_t>(size),
                  0xFFE0E0E0);
            const std::string n = std::to_string(size);
            const std::string half = std::to_string(size / 2);
            File(name + ".xml",
                 "<sequence><img w=\"" + n + "\" h=\"" + n + "\" regx=\"" + half + "\" regy=\"" +
                     half + "\" name=\"" + name.substr(name.find('/') + 1) +
                     ".png\"/><framelist><frame x=\"0\" y=\"0\" w=\"" + n + "\" h=\"" + n +
                     "\" regx=\"" + half + "\" regy=\"" + half + "\"/></framelist></sequence>");
        }
        mManager->RegisterWindowType("Gameplay", &TipsGameplay::Create);
        mManager->RegisterWindowType("GameplayHud", &MKWGameplayHud::Create);
        mManager->RegisterWindowType("Button", &TVButton::Create);
        Image("hud/bg.png", 600, 100, 0xFF303030);
        const std::string strings = kStrings;
        mImpl->mManagers.mStringTable = std::make_unique<TStringTable>();
        mImpl->mManagers.mStringTable->LoadBuffer(strings.data(),
                                                  static_cast<uint32_t>(strings.size()));
        mManager->GetScript()->DoLuaString(kLocation);
    }
    void TearDown() override
    {
        mManager->GetScript()->DoLuaString("gameplayinstructions = nil");
        ScreenTest::TearDown();
    }
    TipsGameplay* Open()
    {
        const std::string font = "font = { '', 10, { 1, 1, 1, 1 } }, w = 200, h = 40, ";
        mManager->GetScript()->DoLuaString(
            ("Gameplay{ name = 'gameplay', x = 0, y = 0, w = 800, h = 600, "
             "characterinfo = { scrim = {}, conversation_info = {}, info = {} }, "
             "playlist = { location01 = { a = {} } }, sceneinfo = {}, animatedcursorinfo = {}, "
             "locationnumber = 1, inventoryinfo = { barwidth = 0 }, "
             "entityinfo = { iteminfo = {}, areainfo = {}, layerinfo = {}, textinfo = {} }, "
             "tooltipbasic = { " +
             font + "maxx = 800, maxy = 600 }, tooltiphint = { " + font +
             "maxx = 800, maxy = 600 }, tooltipinventory = { x = 400, y = 470, w = 300, h = 40, "
             "timeintro = 100, timeoutro = 100, widthperline = 40, minimumwidth = 60, " +
             font +
             "}, tooltiphintselect = 'pick', tooltiphintnovalidtarget = 'novalid', "
             "tooltiphintliraenovalidtarget = 'ln', tooltiphintthessalornovalidtarget = 'tn', "
             "tooltipmedallionliraenotavailable = 'lna', tooltipmedallionliraeavailable = 'la', "
             "tooltipmedallionthessalornotavailable = 'tna', "
             "tooltipmedallionthessaloravailable = 'ta', "
             "colorliraetooltip = { 1, 0, 0, 1 }, colorthessalortooltip = { 0, 0, 1, 1 }, "
             "GameplayHud{ name = 'hud', x = 0, y = 500, w = 800, h = 100, "
             "background = { image = 'hud/bg.png', x = 100, y = 0 }, "
             "foreground = { image = 'hud/bg.png', x = 100, y = 0 }, "
             "progressbar = { image = 'hud/bg.png', x = 100, y = 0 }, "
             "inventorybounds = { x = 200, y = 510, w = 400, h = 80 }, "
             "inventoryminhorzgap = 10, inventoryvertplacement = 550, hintinfo = " +
             gamehudtest::kHintInfo + ", hintthessalor = " + Character(50, 120, 2) +
             ", hintlirae = " + Character(750, 680, 2) + " } }()")
                .c_str());
        return dynamic_cast<TipsGameplay*>(mManager->GetRoot()->FindChild("gameplay", 0xFFFFFFFFu));
    }
    static uint32_t Packed(const TVec4& colour) { return TColor(colour).GetPacked(); }
    // A strip point over the object, found by walking along the strip's middle.
    static TPoint Over(GameplayHud* hud, GameplayInventory* object)
    {
        for (float x = 200; x < 600; x += 2)
            if (hud->FindInventoryAt(TPoint(x, 550)) == object)
                return TPoint(x, 550);
        return TPoint(-1, -1);
    }
};

TEST_F(MKWGameplayToolTipsTest, TheFiveCasesFirstMatchWins)
{
    TipsGameplay* play = Open();
    ASSERT_NE(play, nullptr) << Log();
    ASSERT_NE(play->Basic(), nullptr);
    ASSERT_NE(play->ForInventory(), nullptr);
    auto* hud = dynamic_cast<MKWGameplayHud*>(play->GetHud());
    ASSERT_NE(hud, nullptr);
    for (int i = 0; i < 40 && play->GetGameplayState() != Gameplay::kPlay; ++i)
        Frame(16);
    play->SetState(Gameplay::kPlay);
    const TVec4 given(0, 1, 0, 1);
    const uint32_t lirae = Packed(TVec4(1, 0, 0, 1));
    const uint32_t thessalor = Packed(TVec4(0, 0, 1, 1));
    const auto basic = [&] { return play->Basic()->GetCorners()[0].colour; };
    // The plain tool tip's text at the point, from a hidden tool tip (a shown one keeps its text
    // until it has faded out).
    const auto text = [&](const char* label, TPoint point)
    {
        play->Basic()->Hide(true);
        play->UpdateToolTips(nullptr, true, label, point, given);
        return play->Basic()->GetText();
    };

    // An object given: its character's colour, none for an object of neither.
    play->UpdateToolTips(play->FindInventory("oil"), true, "label", TPoint(400, 300), given);
    EXPECT_EQ(play->ForInventory()->GetCorners()[0].mColour, lirae);
    play->UpdateToolTips(play->FindInventory("key"), true, "label", TPoint(400, 300), given);
    EXPECT_EQ(play->ForInventory()->GetCorners()[0].mColour, thessalor);
    play->UpdateToolTips(play->FindInventory("coin"), true, "label", TPoint(400, 300), given);
    EXPECT_EQ(play->ForInventory()->GetCorners()[0].mColour, Packed(given));

    // On a tracker: the character's colour; the base's no-target text becomes the character's.
    EXPECT_EQ(text("novalid", TPoint(680, 520)), TString("Lirae none"));
    EXPECT_EQ(basic(), lirae);
    EXPECT_EQ(text("novalid", TPoint(120, 545)), TString("Thessalor none"));
    EXPECT_EQ(basic(), thessalor);
    EXPECT_EQ(text("label", TPoint(120, 520)), TString("A label"));

    // On a medallion at play: ready while a tracker is missing (one of two lit), spent once all
    // are lit.
    hud->GetLiraeMedallion()->SetAvailableMask(1);
    EXPECT_EQ(text("label", TPoint(750, 550)), TString("Lirae ready"));
    EXPECT_EQ(basic(), lirae);
    hud->GetThessalorMedallion()->SetAvailableMask(3);
    EXPECT_EQ(text("label", TPoint(50, 550)), TString("Thessalor spent"));
    EXPECT_EQ(basic(), thessalor);
    // Outside play a medallion is no case of its own: the given text, the colour of what lies
    // in the strip there (nothing).
    play->SetState(Gameplay::kConversation);
    EXPECT_EQ(text("label", TPoint(750, 550)), TString("A label"));
    EXPECT_EQ(basic(), Packed(given));

    // Otherwise the strip's object under the point.
    play->SetState(Gameplay::kPlay);
    const TPoint oil = Over(hud, play->FindInventory("oil"));
    const TPoint key = Over(hud, play->FindInventory("key"));
    ASSERT_GE(oil.x, 0.0f) << Log();
    ASSERT_GE(key.x, 0.0f);
    play->UpdateToolTips(nullptr, true, "label", oil, given);
    EXPECT_EQ(basic(), lirae);
    play->UpdateToolTips(nullptr, true, "label", key, given);
    EXPECT_EQ(basic(), thessalor);

    // Choosing an object to hint wins over all: Lirae's selection first, then Thessalor's.
    play->SetState(Gameplay::kHintSelect);
    hud->GetThessalorMedallion()->SetSelectedMask(1);
    play->UpdateToolTips(play->FindInventory("oil"), true, "label", TPoint(750, 550), given);
    EXPECT_EQ(play->Hint()->GetText(), TString("Pick one"));
    EXPECT_EQ(play->Hint()->GetCorners()[0].colour, thessalor);
    hud->GetLiraeMedallion()->SetSelectedMask(2);
    play->UpdateToolTips(nullptr, true, "label", TPoint(120, 520), given);
    EXPECT_EQ(play->Hint()->GetCorners()[0].colour, lirae);
    hud->GetLiraeMedallion()->SetSelectedMask(0);
    hud->GetThessalorMedallion()->SetSelectedMask(0);
    play->UpdateToolTips(nullptr, true, "label", key, given);
    EXPECT_EQ(play->Hint()->GetCorners()[0].colour, Packed(given));
}

} // namespace

} // namespace mkw_gameplay_tool_tips_test
