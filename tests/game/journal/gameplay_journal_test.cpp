// The journal on the headless display with the text rasteriser, a string table, areas and objects
// built from tables and the frame driver on the manual clock: the goal lines and their edge
// cases, the states with both flights, the scrim, the sounds' delays, a refused composition tried
// again, the close button shown only while open, a fresh page per opening, and bad styles.
#include "game/journal/gameplay_journal.h"

#include "framework/adventure/adventure_test_support.h"
#include "framework/adventure/entities/gameplay_area.h"
#include "framework/adventure/inventory/gameplay_inventory.h"
#include "framework/core/delta_time.h"
#include "framework/core/window_manager.h"
#include "framework/screens/game_window.h"
#include "framework/sound/sound_effect.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/text_object.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "game/framed_text_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

const char kFont[] = "font = { 'fonts/square.mvec', 8, { 0, 0, 0, 1 } }, flags = 5, alpha = 1";

class JournalTest : public gametest::FramedTextTest
{
protected:
    void SetUp() override
    {
        FramedTextTest::SetUp();
        if (HasFatalFailure())
            return;
        mManager->RegisterWindowType("GameplayJournal", &GameplayJournal::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        auto* root = static_cast<TScreen*>(mManager->GetRoot());
        root->mAlwaysClear = true;
        root->mClearColor = TVec4(1, 1, 1, 1);
        adventuretest::LoadStrings({{"inv_key", "Key"},
                                    {"inv_oil", "Oil"},
                                    {"inv_wick", "Wick"},
                                    {"area_door", "Door"},
                                    {"area_lamp", "Lamp"},
                                    {"journal_header", "Goals"},
                                    {"journal_lamp", "The lamp is dark."}});
        Serve("page.png", uitest::FlatPng(200, 160, 0xE0D0A0));
        Serve("left.png", uitest::FlatPng(40, 60, 0x4060A0));
    }
    void TearDown() override
    {
        mAreas.clear();
        mObjects.clear();
        FramedTextTest::TearDown();
    }
    void Frames(uint32_t ms) { Steps(static_cast<int>(ms / 16), 16); }
    // A journal of 200 x 160 at (100, 60) with the style's keys changed or added by `keys`.
    GameplayJournal* Open(const std::string& keys = "", const std::string& children = "")
    {
        Do(std::string("PushModal('a') GameWindow{ name = 'gamewindow', w = 800, h = 600, "
                       "GameplayJournal{ name = 'journal', x = 100, y = 60, w = 200, h = 160, "
                       "timeintro = 96, timeoutro = 64, disabledx = 100, disabledy = 80, "
                       "enabledx = 100, enabledy = 150, closebutton = 'close', "
                       "goalentrybeginning = '- ', goalentrysep = ', ', "
                       "goalentryseplast = ' and ', goalentryprearea = ' at ', "
                       "goalentrypostarea = '.', goalentrycolor = '#7a4a12', image = 'page.png', "
                       "scrimmax = 0.5, leftimage = 'left.png', leftimagex = 10, leftimagey = 20, "
                       "textright = { text = '', x = 100, y = 40, w = 90, h = 100, ") +
           kFont + " }, textrightheader = { text = '', x = 100, y = 10, w = 90, h = 20, " + kFont +
           " }, rightheaderstring = 'journal_header', "
           "soundenter = { sounds = { 'page' }, initialdelay = 40, delay = 8 }, "
           "soundexit = { sounds = { 'page' } }, " +
           keys +
           (children.empty() ? "Button{ name = 'close', x = 170, y = 6, w = 20, h = 20 }"
                             : children) +
           " } }()");
        TWindow* window = Find("journal");
        return window != nullptr && window->IsKindOf(GameplayJournal::GetClassId())
                   ? static_cast<GameplayJournal*>(window)
                   : nullptr;
    }
    GameplayInventory* Object(const std::string& name, const std::string& actual, int parts = 0)
    {
        Do("_o = { name = '" + name + "', actualname = '" + actual +
           "', partcount = " + std::to_string(parts) + " } _s = {}");
        std::unique_ptr<TLuaTable> object(mScript->GetGlobalTable("_o"));
        std::unique_ptr<TLuaTable> shared(mScript->GetGlobalTable("_s"));
        mObjects.push_back(std::make_unique<GameplayInventory>(*object, *shared));
        return mObjects.back().get();
    }
    // An area whose click events take the named objects.
    GameplayArea* Area(const std::string& actual, const std::vector<std::string>& takes)
    {
        std::string events;
        for (const std::string& name : takes)
            events += name + " = { eventname = 'e' }, ";
        Do("_a = { name = '" + actual + "', actualname = '" + actual + "', events = { " + events +
           "} } _i = {}");
        std::unique_ptr<TLuaTable> area(mScript->GetGlobalTable("_a"));
        std::unique_ptr<TLuaTable> info(mScript->GetGlobalTable("_i"));
        mAreas.push_back(std::make_unique<GameplayArea>(*area, *info));
        return mAreas.back().get();
    }
    static std::string F(const std::string& text)
    {
        return "<font color='#7a4a12'>" + text + "</font>";
    }
    bool Shown(TWindow* window) { return (window->GetFlags() & kWindowVisible) != 0; }

    std::vector<std::unique_ptr<GameplayInventory>> mObjects;
    std::vector<std::unique_ptr<GameplayArea>> mAreas;
};

TEST_F(JournalTest, GoalLinesSeparatorsSharedNamesAndTheAreasOrder)
{
    GameplayJournal* journal = Open();
    ASSERT_NE(journal, nullptr);
    GameplayInventory* key = Object("key", "inv_key");
    GameplayInventory* oil = Object("oil", "inv_oil");
    GameplayInventory* wick = Object("wick", "inv_wick");

    // One object: no separators; two: the last separator; three: both.
    GameplayArea* door = Area("area_door", {"key"});
    EXPECT_EQ(journal->BuildGoalText({key, oil}, {door}).c_str(),
              "- " + F("Key") + " at " + F("Door") + ".<br>");
    GameplayArea* lamp = Area("area_lamp", {"oil", "wick"});
    EXPECT_EQ(journal->BuildGoalText({key, oil, wick}, {lamp}).c_str(),
              "- " + F("Oil") + " and " + F("Wick") + " at " + F("Lamp") + ".<br>");
    GameplayArea* all = Area("area_lamp", {"key", "oil", "wick"});
    EXPECT_EQ(journal->BuildGoalText({wick, key, oil}, {all}).c_str(),
              "- " + F("Wick") + ", " + F("Key") + " and " + F("Oil") + " at " + F("Lamp") +
                  ".<br>");

    // The lines follow the areas as passed; names fitting both: the first half to the earlier
    // area, so a single shared name goes to the later one.
    GameplayArea* both = Area("area_door", {"key", "oil", "wick"});
    EXPECT_EQ(journal->BuildGoalText({key, oil}, {door, lamp}).c_str(),
              "- " + F("Key") + " at " + F("Door") + ".<br>- " + F("Oil") + " at " + F("Lamp") +
                  ".<br>");
    EXPECT_EQ(journal->BuildGoalText({key, oil, wick}, {both, lamp}).c_str(),
              "- " + F("Key") + " and " + F("Oil") + " at " + F("Door") + ".<br>- " + F("Wick") +
                  " at " + F("Lamp") + ".<br>");
    EXPECT_EQ(journal->BuildGoalText({key, oil, wick}, {lamp, door}).c_str(),
              "- " + F("Oil") + " and " + F("Wick") + " at " + F("Lamp") + ".<br>- " + F("Key") +
                  " at " + F("Door") + ".<br>");
    // An object whose parts are not all found is no step yet.
    GameplayInventory* can = Object("can", "inv_oil", 2);
    EXPECT_EQ(journal->BuildGoalText({key, can}, {door, Area("area_lamp", {"can"})}).c_str(),
              "- " + F("Key") + " at " + F("Door") + ".<br>");
    // Nothing usable: empty.
    EXPECT_EQ(journal->BuildGoalText({wick}, {door}).c_str(), std::string());
    EXPECT_EQ(journal->BuildGoalText({}, {}).c_str(), std::string());
}

TEST_F(JournalTest, OpensFliesInStaysOpenAndFliesBackCallingBackOnce)
{
    GameplayJournal* journal = Open();
    ASSERT_NE(journal, nullptr);
    TWindow* close = journal->GetCloseButton();
    ASSERT_NE(close, nullptr);
    EXPECT_FALSE(Shown(journal));
    EXPECT_FALSE(Shown(close));
    EXPECT_EQ(journal->GetHeaderText()->GetText(), TString("Goals"));
    EXPECT_EQ(Global("JournalCloseButtonPressed"), "function");

    adventuretest::Calls closed;
    GameplayInventory* key = Object("key", "inv_key");
    journal->Open({key}, {Area("area_door", {"key"})}, {"journal_lamp"}, &closed.mCallback);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kWaitingForPage);
    // The goal first, then the steps.
    EXPECT_EQ(journal->GetGoalText()->GetText().c_str(),
              "The lamp is dark.<br>- " + F("Key") + " at " + F("Door") + ".<br>");
    std::shared_ptr<TTexture> first = journal->GetPageSprite()->GetTexture();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetWidth(), 200u);
    EXPECT_TRUE(journal->IsPageReady());

    Frames(16);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kFlying);
    EXPECT_TRUE(Shown(journal));
    EXPECT_FALSE(Shown(close));
    EXPECT_EQ(journal->GetSoundEnter()->mPending, 48) << "initial delay + delay, armed";
    Frames(48);
    EXPECT_EQ(journal->GetSoundEnter()->mPending, -1) << "started after its delays";
    EXPECT_EQ(journal->GetState(), GameplayJournal::kFlying);
    Frames(64);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kOpen);
    EXPECT_TRUE(Shown(close));
    EXPECT_FLOAT_EQ(journal->GetPageTransform().GetX(), 100.0f);
    EXPECT_FLOAT_EQ(journal->GetPageTransform().GetY(), 80.0f);
    EXPECT_EQ(journal->GetScrimAlpha(), 127u);

    Do("JournalCloseButtonPressed()");
    EXPECT_EQ(journal->GetState(), GameplayJournal::kFlying);
    EXPECT_FALSE(Shown(close));
    EXPECT_EQ(journal->GetSoundExit()->mPending, 0);
    Frames(96);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kClosed);
    EXPECT_FALSE(Shown(journal));
    EXPECT_EQ(closed.Count(), 1u);
    Do("JournalCloseButtonPressed()");
    Frames(96);
    EXPECT_EQ(closed.Count(), 1u) << "closing a closed journal does nothing";

    // Each opening composes a page of its own, even with nothing to say.
    journal->Open({}, {}, {}, nullptr);
    EXPECT_EQ(journal->GetGoalText()->GetText(), TString());
    EXPECT_NE(journal->GetPageSprite()->GetTexture(), first);
    Frames(16 + 96);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kOpen);
}

TEST_F(JournalTest, ARefusedPageIsComposedAgainOnALaterFrame)
{
    GameplayJournal* journal = Open();
    ASSERT_NE(journal, nullptr);
    // Inside a frame the render target is refused.
    TRenderer* renderer = TRenderer::Instance();
    ASSERT_TRUE(renderer->BeginDraw(false));
    journal->Open({}, {}, {"journal_lamp"}, nullptr);
    renderer->EndFrame(false);
    EXPECT_EQ(rendertest::CountOf(Log(), "ERROR:BeginRenderTarget   FILE:gameplayjournal LINE:362"),
              1);
    EXPECT_TRUE(mFrames->AreTexturesPending());
    EXPECT_EQ(journal->GetState(), GameplayJournal::kWaitingForPage);
    EXPECT_FALSE(journal->IsPageReady());
    Frames(16);
    EXPECT_TRUE(journal->IsPageReady());
    EXPECT_EQ(journal->GetState(), GameplayJournal::kFlying);
}

TEST_F(JournalTest, TheOpenPageAndThePageInFlightAreDrawnOverTheScrim)
{
    GameplayJournal* journal = Open();
    ASSERT_NE(journal, nullptr);
    journal->Open({Object("key", "inv_key"), Object("oil", "inv_oil")},
                  {Area("area_door", {"key"}), Area("area_lamp", {"oil"})}, {"journal_lamp"},
                  nullptr);
    Frames(16 + 48);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {100, 60, 300, 220}, "journal_flying.png");
    // Outside the page, in the window: the scrim over the white root, half way to its 0.5.
    const uint32_t mid = Pixel(102, 62) & 0xFF;
    EXPECT_GT(mid, 0x80u);
    EXPECT_LT(mid, 0xFFu);
    Frames(64);
    ASSERT_EQ(journal->GetState(), GameplayJournal::kOpen);
    Paint();
    rendertest::CompareWithGolden(*Data().mBackBuffer, {100, 60, 300, 220}, "journal_open.png");
    EXPECT_EQ(Pixel(200, 61), 0xE0D0A0u) << "the page's face";
    EXPECT_EQ(Pixel(120, 100), 0x4060A0u) << "the left picture";
}

TEST_F(JournalTest, BadStylesAreReportedAndTheJournalStillCloses)
{
    // No close button: one line; the script function closes the journal all the same. Keys of
    // the wrong type read as their defaults.
    GameplayJournal* journal =
        Open("closebutton = 'nothere', scrimmax = 3, timeintro = 'soon', enabledx = {}, ", "");
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(rendertest::CountOf(Log(), "no close button \"nothere\""), 1);
    journal->Open({}, {}, {}, nullptr);
    Frames(16 + 96);
    ASSERT_EQ(journal->GetState(), GameplayJournal::kOpen);
    EXPECT_EQ(journal->GetScrimAlpha(), 255u) << "held, not wrapped";
    Do("JournalCloseButtonPressed()");
    Frames(80);
    EXPECT_EQ(journal->GetState(), GameplayJournal::kClosed);
    Do("PopModal()");

    Open("textright = false, ");
    EXPECT_EQ(rendertest::CountOf(
                  Log(),
                  "Cannot find 'textright' table for GameplayJournal!   FILE:gameplayjournal "
                  "LINE:104"),
              1);
    Do("PopModal()");
    Open("textrightheader = 0, ");
    EXPECT_EQ(rendertest::CountOf(Log(), "Cannot find 'textrightheader' table for GameplayJournal!"
                                         "   FILE:gameplayjournal LINE:110"),
              1);
    Do("PopModal()");

    // A journal made later takes the name; the earlier one's end leaves it bound.
    auto* older = static_cast<GameplayJournal*>(GameplayJournal::Create());
    auto* newer = static_cast<GameplayJournal*>(GameplayJournal::Create());
    delete older;
    EXPECT_EQ(Global("JournalCloseButtonPressed"), "function");
    delete newer;
    EXPECT_EQ(Global("JournalCloseButtonPressed"), "nil");
}

} // namespace
