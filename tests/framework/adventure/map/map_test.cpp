// The travel map built through the window script on the headless display, over a player record in
// the scratch user folder, with the frame clock and transforms stepped by hand: the vignette's
// crossing and swing, the map's fatal tables, dots, route and reveal, its timeline to
// "ContinueMap();", the lightning, pausing, the focus messages and the overlay over "gameplay".
#include "framework/adventure/map/map.h"

#include "framework/adventure/framed_screen_support.h"
#include "framework/adventure/map/map_travel.h"
#include "framework/adventure/player_data.h"
#include "framework/core/delta_time.h"
#include "framework/core/settings.h"
#include "framework/core/window_manager.h"
#include "framework/screens/game_window.h"
#include "framework/transforms/transform_manager.h"
#include "framework/widgets/framework_button.h"
#include "platform/config/config.h"
#include "render/sprites/sprite.h"
#include "render/textures/texture.h"
#include "script/script.h"
#include "ui/modal_window.h"
#include "ui/ui_display_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{

// The style of a map with three locations on one boat leg, built by the test's script; `extra`
// is Lua text run on it (`t` the style) before the window is made.
const char kMapStyle[] = R"(
function MapStyle(extra)
  local t = {
    name = 'travelmap', x = 0, y = 0, w = 800, h = 600,
    dot = 'dot.png', dots = {}, largemap = 'large.png', path = 'route%d.png',
    modifiers = { timeshowlargemap = 100, timemapcrossfade = 200, timescreenfade = 300 },
    locations = {
      location01 = { x = 100, y = 120, travel = 'boat', largecenterx = 400, largecentery = 300,
                     pathx = 200, pathy = 150, direction = 3, scalemaplarge = 2 },
      location02 = { x = 300, y = 200, travel = 'boat', largecenterx = 400, largecentery = 300,
                     pathx = 200, pathy = 150, direction = 3, scalemaplarge = 2 },
      location03 = { x = 500, y = 260, travel = 'boat', largecenterx = 400, largecentery = 300,
                     pathx = 200, pathy = 150, direction = 3, scalemaplarge = 2 },
    },
    travel = { boat = { traveltime = 1001, traveldelaytime = 500, layerfadetime = 100,
                        spacetravelx = 10, map = 'leg%d.png',
                        travel = { image = 'boat.png', midpointx = 400, y = 300,
                                   timesecondary = 400, oscillateamount = 5,
                                   rotateamount = 0.01 } } },
    lightningscrim = 'flash.png', timestayflashed = 100, maxlightningalpha = 0.5,
    mintimebetweenstrikes = 1000, maxtimebetweenstrikes = 1000,
    VButton { name = 'menu', x = 10, y = 10, w = 40, h = 20, close = true },
    VButton { name = 'continue', x = 60, y = 10, w = 40, h = 20 },
  }
  if extra then extra(t) end
  return t
end
function ContinueMap() gContinued = (gContinued or 0) + 1 end
)";

class MapTest : public adventuretest::FramedScreenTest
{
protected:
    void SetUp() override
    {
        FramedScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        SetConfig("encryptionkey", "Mp3vQ8xW2kLt");
        mManager->RegisterWindowType("Map", &Map::Create);
        mManager->RegisterWindowType("GameWindow", &GameWindow::Create);
        mManager->RegisterWindowType("VButton", &TVButton::Create);
        for (const char* name : {"large.png", "leg0.png", "leg1.png", "leg2.png", "flash.png"})
            Serve(name, uitest::FlatPng(800, 600, 0x203040));
        Serve("dot.png", uitest::FlatPng(8, 8, 0xFF0000));
        Serve("route0.png", uitest::FlatPng(100, 60, 0x00FF00));
        Serve("route1.png", uitest::FlatPng(100, 60, 0x00FF00));
        // Told apart by their widths.
        Serve("route2.png", uitest::FlatPng(50, 30, 0x00FF00));
        Serve("boat.png", uitest::FlatPng(120, 80, 0x0000FF));
        mSettings = std::make_unique<Settings>();
        mSettings->CreateNewUser("Ann");
        mRecord = std::make_unique<PlayerData>();
        Do(kMapStyle);
    }
    void TearDown() override
    {
        while (mManager->GetTopModal() != mRoot)
            mManager->DoPopModal(mManager->GetTopModal()->GetIdString());
        Tick();
        mRecord.reset();
        mSettings.reset();
        FramedScreenTest::TearDown();
    }
    // A map in a modal of its own; `extra` is a Lua function body changing `t`.
    Map* Open(const std::string& extra = "", const char* modal = "mapmodal")
    {
        Do(std::string("PushModal('") + modal + "') Map(MapStyle(function(t) " + extra +
           " end))()");
        TWindow* window = Find("travelmap");
        return window != nullptr && window->IsKindOf(Map::GetClassId()) ? static_cast<Map*>(window)
                                                                        : nullptr;
    }
    TVButton* Button(const char* name) { return TVButton::Cast(Find(name)); }

    std::unique_ptr<Settings> mSettings;
    std::unique_ptr<PlayerData> mRecord;
};

// The large map stays up: the tests drive the vignette themselves.
const char kHold[] = "t.modifiers.timeshowlargemap = 1000000 t.lightningscrim = nil";

TEST_F(MapTest, TheVignettesCrossingHalvesAnOddTimeAndCentresItsPath)
{
    Map* map = Open(kHold);
    ASSERT_NE(map, nullptr);
    const std::shared_ptr<MapTravel>& travel = map->GetTravel();
    ASSERT_NE(travel, nullptr);
    ASSERT_TRUE(travel->IsComplete());
    EXPECT_FLOAT_EQ(travel->GetLayerSpec().mAlpha, 0.0f);
    EXPECT_FLOAT_EQ(travel->GetObjectSpec().mMatrix.m[2][0], -1000.0f);

    int calls = 0;
    Callback done(&calls,
                  [](void* count, TM_Transform*, uint32_t) { ++*static_cast<int*>(count); });
    EXPECT_EQ(travel->StartTravel(done), 1501u);
    // A 120-wide object with its pivot at 0: D = max(120 + 400, 800 - 400) = 520.
    EXPECT_FLOAT_EQ(travel->GetStart().x, 400 - 520 - 10);
    EXPECT_FLOAT_EQ(travel->GetEnd().x, 400 + 520 + 10);
    Step(16);
    Step(499); // one step short of the first half (500 ms of 1001)
    EXPECT_LT(travel->GetObjectSpec().mMatrix.m[2][0], 400.0f);
    Step(1);
    EXPECT_FLOAT_EQ(travel->GetObjectSpec().mMatrix.m[2][0], 400.0f);
    Step(499); // the stop at the midpoint
    EXPECT_FLOAT_EQ(travel->GetObjectSpec().mMatrix.m[2][0], 400.0f);
    Steps(70, 16); // the delay and the second half, each list's clock starting on its first frame
    EXPECT_FLOAT_EQ(travel->GetObjectSpec().mMatrix.m[2][0], 930.0f);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(travel->HasCompletion());
    Steps(10, 16);
    EXPECT_EQ(calls, 1);
}

TEST_F(MapTest, TheSwingRepeatsEveryTwoSecondaryTimesAndNeverStartsWithoutAmounts)
{
    Map* still = Open(std::string(kHold) + " t.travel.boat.travel.oscillateamount = 0 "
                                           "t.travel.boat.travel.rotateamount = 0");
    ASSERT_NE(still, nullptr);
    Callback none(nullptr, nullptr);
    still->GetTravel()->StartTravel(none);
    EXPECT_FALSE(still->GetTravel()->IsSwingDue());
    mManager->DoPopModal("mapmodal");
    Tick();

    Map* map = Open(kHold);
    const std::shared_ptr<MapTravel>& travel = map->GetTravel();
    travel->StartTravel(none);
    EXPECT_TRUE(travel->IsSwingDue());
    // The bob runs +5 -> -5 over one half-cycle and back over the other: the times at which it
    // passes 0 upwards are one cycle apart.
    std::vector<uint32_t> upwards;
    float last = 0;
    for (uint32_t t = 0; t < 3000 && upwards.size() < 3; t += 8)
    {
        Step(8);
        const float y = travel->GetSwingSpec().mMatrix.m[2][1];
        if (last < 0 && y >= 0)
            upwards.push_back(t);
        last = y;
    }
    ASSERT_EQ(upwards.size(), 3u);
    for (size_t i = 1; i < upwards.size(); ++i)
    {
        // 2 x 400 ms, and at most a frame for each list's clock to start.
        EXPECT_GE(upwards[i] - upwards[i - 1], 800u);
        EXPECT_LE(upwards[i] - upwards[i - 1], 824u);
    }
}

TEST_F(MapTest, PauseAndResumeShiftTheWholeCrossing)
{
    Map* map = Open(kHold);
    const std::shared_ptr<MapTravel>& travel = map->GetTravel();
    int calls = 0;
    Callback done(&calls,
                  [](void* count, TM_Transform*, uint32_t) { ++*static_cast<int*>(count); });
    travel->StartTravel(done);
    Steps(16, 16);
    const float x = travel->GetObjectSpec().mMatrix.m[2][0];
    Do("PauseMap()");
    Steps(125, 16); // two seconds: longer than the whole crossing
    EXPECT_FLOAT_EQ(travel->GetObjectSpec().mMatrix.m[2][0], x);
    EXPECT_EQ(calls, 0);
    Do("ResumeMap()");
    // What was left of the 1501 ms after the first 256 still runs in full.
    Steps(70, 16);
    EXPECT_EQ(calls, 0);
    Steps(15, 16);
    EXPECT_EQ(calls, 1);
}

TEST_F(MapTest, AMissingTableIsFatalAndNamedInTheLog)
{
    const std::pair<const char*, const char*> cases[] = {
        {"t.dots = nil", "ERROR:ERROR: No dots table for Map!"},
        {"t.locations = nil", "ERROR:ERROR: No locations table for Map!"},
        {"t.travel = nil", "ERROR:ERROR: No travel table for Map!"},
        {"t.modifiers = nil", "ERROR:ERROR: No modifiers table for Map!"},
        {"t.locations.location01 = nil",
         "ERROR:ERROR: No location data for location 01! The map's \"locations\" "
         "(scripts/map.lua) have no \"location01\", the stop of the player's location byte 0"},
        {"t.locations.location01.travel = 'cart'", "ERROR:cart   FILE:map"},
        {"t.travel.boat.travel = nil",
         "ERROR:Cannot find table 'travel' for MapTravel!   FILE:maptravel"},
    };
    for (const auto& [spoil, line] : cases)
    {
        SCOPED_TRACE(spoil);
        Map* map = Open(spoil);
        ASSERT_NE(map, nullptr);
        EXPECT_NE(Log().find(line), std::string::npos) << Log();
        Steps(3, 16); // a broken map runs its frames without harm
        mManager->DoPopModal("mapmodal");
        Tick();
    }
}

TEST_F(MapTest, NumbersOutOfRangeRunCleanly)
{
    Map* map = Open("t.locations.location01.direction = 0/0 t.timestayflashed = -5 "
                    "t.mintimebetweenstrikes = 1e300 t.maxtimebetweenstrikes = -1e300 "
                    "t.modifiers.timeshowlargemap = 0/0 t.travel.boat.traveltime = -3 "
                    "t.locations.location01.scalemaplarge = 1e300");
    ASSERT_NE(map, nullptr);
    Steps(300, 16);
    EXPECT_EQ(map->GetMapState(), Map::kTravelDone);
    EXPECT_EQ(Global("gContinued"), "1");
}

TEST_F(MapTest, DotsMarkTheVisitedLocationsAndTheRouteIsTheLegBeforeThisOne)
{
    Map* first = Open();
    EXPECT_TRUE(first->GetLargeMap()->GetChildren().empty());
    ASSERT_NE(first->GetRoute()->GetTexture(), nullptr);
    EXPECT_EQ(first->GetRoute()->GetTexture()->GetWidth(), 100u); // route0
    EXPECT_EQ(first->GetRoute()->GetSpec().mSourceRect, TRect(0, 0, 0, 0));
    // Opening it marks the record as on the map and saves it.
    EXPECT_EQ(mRecord->GetGameState(), PlayerData::kOnMap);
    uint8_t stored[12] = {};
    ASSERT_EQ(mSettings->GetPlayerData("playerdata", stored, 12), 0);
    EXPECT_EQ(stored[9], PlayerData::kOnMap);
    mManager->DoPopModal("mapmodal");
    Tick();

    mRecord->SetLocation(2);
    Map* third = Open();
    const auto& dots = third->GetLargeMap()->GetChildren();
    ASSERT_EQ(dots.size(), 2u);
    EXPECT_FLOAT_EQ(dots[0]->GetSpec().mMatrix.m[2][0], 100 - 400);
    EXPECT_FLOAT_EQ(dots[1]->GetSpec().mMatrix.m[2][1], 200 - 300);
    ASSERT_NE(third->GetRoute()->GetTexture(), nullptr);
    EXPECT_EQ(third->GetRoute()->GetTexture()->GetWidth(), 50u); // route2
}

// A picture's number pattern is content: one that names anything but one number is never handed
// to the formatter ("%s" read a string through the location number, "%n" wrote through it); the
// map opens and runs without that picture, and the log names the key and the text once.
TEST_F(MapTest, APatternThatIsNoNumberPatternLeavesItsPictureOutWithOneLogLine)
{
    const std::pair<const char*, const char*> cases[] = {
        {"t.path = 'route%s.png'",
         "Map: the \"path\" pattern 'route%s.png' does not name one number; no route picture"},
        {"t.path = 'route%n%d.png'",
         "Map: the \"path\" pattern 'route%n%d.png' does not name one number; no route picture"},
        {"t.travel.boat.map = 'leg%s.png'",
         "MapTravel: the \"map\" pattern 'leg%s.png' does not name one number; no picture"},
        {"t.travel.boat.map = 'leg%d%n'",
         "MapTravel: the \"map\" pattern 'leg%d%n' does not name one number; no picture"},
    };
    for (const auto& [spoil, line] : cases)
    {
        SCOPED_TRACE(spoil);
        const size_t before = Log().size();
        Map* map = Open(spoil);
        ASSERT_NE(map, nullptr);
        const bool route = std::string(spoil).find("path") != std::string::npos;
        EXPECT_EQ(map->GetRoute()->GetTexture() == nullptr, route);
        EXPECT_EQ(map->GetTravel()->GetMapImage()->GetTexture() == nullptr, !route);
        Steps(3, 16);
        const std::string added = Log().substr(before);
        EXPECT_NE(added.find(line), std::string::npos) << added;
        EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), 1) << added;
        mManager->DoPopModal("mapmodal");
        Tick();
    }
}

TEST_F(MapTest, TheRouteIsRevealedFromTheCornerOrEdgeItsDirectionNames)
{
    Map* map = Open();
    // The route (100 x 60) at (200, 150); the marker 30 right and 20 down of it.
    map->GetMarkerTransform().SetPosition(230, 170, 0);
    struct Case
    {
        int32_t mDirection;
        TRect mRect;
        TVec2 mPivot;
    };
    const Case cases[] = {
        {0, TRect(70, 40, 170, 100), TVec2(-70, -40)}, {1, TRect(0, 40, 100, 100), TVec2(0, -40)},
        {2, TRect(70, 0, 100, 20), TVec2(-70, 0)},     {3, TRect(0, 0, 30, 20), TVec2(0, 0)},
        {4, TRect(0, 40, 100, 60), TVec2(0, -40)},     {5, TRect(0, 0, 100, 20), TVec2(0, 0)},
        {6, TRect(0, 0, 30, 60), TVec2(0, 0)},         {7, TRect(70, 0, 100, 60), TVec2(-70, 0)},
        {8, TRect(70, 0, 100, 60), TVec2(-70, 0)}, // unchanged
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mDirection);
        map->GetRoute()->GetSpec().mOrigin = TVec2(0, 0);
        map->SetDirection(c.mDirection);
        if (c.mDirection == 8)
            map->GetRoute()->GetSpec().mOrigin = TVec2(-70, 0);
        map->RevealRoute();
        EXPECT_EQ(map->GetRoute()->GetSpec().mSourceRect, c.mRect);
        EXPECT_FLOAT_EQ(map->GetRoute()->GetSpec().mOrigin.x, c.mPivot.x);
        EXPECT_FLOAT_EQ(map->GetRoute()->GetSpec().mOrigin.y, c.mPivot.y);
    }
}

TEST_F(MapTest, TheTimelineRunsToContinueMapOnceAndDisablesTheButtons)
{
    Map* map = Open("t.lightningscrim = nil");
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->OwnsScriptFunctions());
    EXPECT_EQ(map->GetMapState(), Map::kLargeMap);
    EXPECT_EQ(mManager->GetFocus(), map);
    // Each phase ends after its time, the first frame after opening being no step.
    auto until = [&](int32_t state, int limit)
    {
        int frames = 0;
        while (map->GetMapState() != state && frames < limit)
        {
            Step(16);
            ++frames;
        }
        return frames;
    };
    const int shown = until(Map::kZooming, 100);
    EXPECT_GE(shown * 16, 100);
    EXPECT_LE(shown * 16, 100 + 32);
    const int zoom = until(Map::kTravelling, 100); // the zoom, then the layers fade in
    EXPECT_GE(zoom * 16, 300);
    EXPECT_LE(zoom * 16, 300 + 64);
    Steps(40, 16);
    EXPECT_GT(map->GetRoute()->GetSpec().mSourceRect.right, 0) << "part of the route shows";
    EXPECT_EQ(Global("gContinued"), "nil");
    until(Map::kTravelDone, 200);
    EXPECT_EQ(map->GetMapState(), Map::kTravelDone);
    EXPECT_EQ(Global("gContinued"), "1");
    EXPECT_TRUE(Button("menu")->IsDisabled());
    EXPECT_TRUE(Button("continue")->IsDisabled());
    Steps(20, 16);
    EXPECT_EQ(Global("gContinued"), "1");

    // A fading window takes no press.
    map->FadeOut("gFaded = 1");
    EXPECT_TRUE(map->IsPaused());
    Do("MapButtonPress()");
    EXPECT_EQ(Global("gContinued"), "1");
}

TEST_F(MapTest, AFlashLastsUntilMoreThanItsStayHasPassedAndEqualBoundsDoNotDivide)
{
    Map* map = Open("t.modifiers.timeshowlargemap = 100000");
    EXPECT_EQ(map->GetUntilStrike(), 1000) << "min = max: the interval is min";
    int frames = 0;
    while (map->GetLightningAlpha() == 0.0f && frames < 100)
    {
        Step(16);
        ++frames;
    }
    EXPECT_GE(frames * 16, 1000);
    EXPECT_LE(frames * 16, 1000 + 32);
    EXPECT_FLOAT_EQ(map->GetLightningAlpha(), 0.5f);
    EXPECT_EQ(map->GetUntilStrike(), 1000);
    Steps(6, 16); // 96 ms since the strike
    Step(4);      // 100: not more than the stay
    EXPECT_FLOAT_EQ(map->GetLightningAlpha(), 0.5f);
    Step(1);
    EXPECT_FLOAT_EQ(map->GetLightningAlpha(), 0.0f);
    mManager->DoPopModal("mapmodal");
    Tick();

    // Without a flash image nothing strikes, however long it runs.
    Map* dark = Open("t.lightningscrim = nil t.modifiers.timeshowlargemap = 100000");
    Steps(200, 50);
    EXPECT_FLOAT_EQ(dark->GetLightningAlpha(), 0.0f);
    EXPECT_EQ(dark->GetLightningSound(), 0);
}

TEST_F(MapTest, PausingHoldsTheTimelineAndTheFocusMessagesPressMenuOrPauseAgain)
{
    Map* map = Open("t.lightningscrim = nil");
    Do("PauseMap()");
    EXPECT_TRUE(map->IsPaused());
    EXPECT_TRUE(map->GetTravel()->IsPaused());
    Steps(30, 16);
    EXPECT_EQ(map->GetMapState(), Map::kLargeMap);

    // Back from the background while paused: paused again after the manager resumed all.
    TMessage back(kUserMessageBase + 2, "");
    EXPECT_TRUE(map->OnMessage(&back));
    EXPECT_TRUE(map->IsPaused());
    Do("ResumeMap()");
    EXPECT_FALSE(map->IsPaused());
    EXPECT_FALSE(map->OnMessage(&back));

    TMessage lost(kUserMessageBase + 1, "");
    EXPECT_TRUE(map->OnMessage(&lost));
    EXPECT_EQ(Global("gReturnValue"), "menu") << "the menu button was pressed";
    mManager->DoPopModal("mapmodal");
    Tick();

    Map* bare = Open("t[1] = nil");
    EXPECT_FALSE(bare->OnMessage(&lost)) << "no menu button: not handled";
}

TEST_F(MapTest, OverGameplayTheOverlayOpensTheFullMapWithTheFadeOutQuoted)
{
    EXPECT_EQ(Map::FullMapStatement(""),
              TString("DisplayDialog{ 'scripts/map.lua', body = 'startfull' }"));
    EXPECT_EQ(Map::FullMapStatement("CloseWindow( \"x\\y\" )"),
              TString("DisplayDialog{ 'scripts/map.lua', body = 'startfull', "
                      "fadeout = 'CloseWindow( \"x\\\\y\" )' }"));

    Do("function DisplayDialog(t) gOpened = t[1] .. ' ' .. t.body .. ' ' .. (t.fadeout or '-') "
       "end");
    Do("PushModal('gameplay')");
    Map* map = Open("", "mapmodal");
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->GetMapState(), Map::kOverlay);
    EXPECT_FALSE(map->OwnsScriptFunctions());
    EXPECT_TRUE(Button("menu")->IsDisabled());
    map->FadeOut("Done('it''s')");
    EXPECT_EQ(map->GetPendingFadeOut(), TString("Done('it''s')"));
    Steps(25, 16);
    EXPECT_EQ(Global("gOpened"), "scripts/map.lua startfull Done('it''s')");
    EXPECT_EQ(mManager->GetTopModal(), mRoot) << "the gameplay screen and the overlay went";
    // The overlay took its names with it (no full map has taken them here).
    EXPECT_EQ(Global("MapButtonPress"), "nil");
}

} // namespace
