// End-to-end runs of the development location: it opens on a fixed step and its "leave" button
// ends the program cleanly; its doors lead from one scene to the other and back, the guide greeting
// the player the first time; the key opens the chest and ends the location; a player's location
// left and opened again goes on where it was, in the profile as prefsdump shows it; a lost focus
// pauses it; a location script without its instructions is fatal and the program ends by itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

// Where the key lies in the strip with the coin before it.
constexpr int kKeyInTheStripX = 446;

class LocationTest : public ScreenProgramTest
{
protected:
    // The game folder's copy of the content with a start script that makes the player "Ann" on
    // the first run and opens the development location.
    fs::path PlayerGame()
    {
        const fs::path game = CopyGame("content");
        WriteFile(game / "assets/scripts/devplayer.lua",
                  "if GetNumUsers() == 0 then\n    CreateNewUser('Ann')\n    SaveProfile()\nend\n"
                  "ReadFile('scripts/dev/location.lua')\n");
        return game;
    }
    // Ann finds the key, takes it to the chest and leaves `waits` frames later.
    static std::string ToTheChestAndLeave(int waits)
    {
        return "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
               "move 410 300\nwait 5\nclick 410 300\nwait " +
               std::to_string(waits) + "\nclick 770 30\nwait 30\n";
    }
    // Left after the chest; the next start ends the location.
    void LeaveAfterTheChestThenEnd(const fs::path& game, int waits)
    {
        EXPECT_EQ(RunClean(game, ToTheChestAndLeave(waits), "start=scripts/devplayer.lua"),
                  Traces{"start"});
        EXPECT_EQ(RunClean(game, "focus gained\nwait 300\nclose\n", "start=scripts/devplayer.lua"),
                  (Traces{"start", "complete 0", "map"}));
    }
    using Edits = std::vector<std::pair<std::string, std::string>>;
    // The development location of `game` with each edit's first text replaced by its second;
    // false, with a failure naming it, when a text is not there.
    bool EditLocation(const fs::path& game, const Edits& edits)
    {
        const fs::path location = game / "assets/scripts/dev/location.lua";
        std::string text = ReadFile(location);
        for (const auto& [from, to] : edits)
        {
            const size_t at = text.find(from);
            if (at == std::string::npos)
            {
                ADD_FAILURE() << game.filename() << ": " << from;
                return false;
            }
            text.replace(at, from.size(), to);
        }
        WriteFile(location, text);
        return true;
    }
    // A pixel's blue, green, red.
    std::vector<int> At(const char* shot, uint32_t x, uint32_t y)
    {
        const Picture picture = ReadPicture(mRoot / (std::string(shot) + ".png"));
        if (picture.mWidth < 800)
            return std::vector<int>();
        const size_t at = (size_t(y) * picture.mWidth + x) * 4;
        return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                                picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
    }
    // The colour (blue, green, red) of a shot's upper half, which tells the scenes apart.
    std::vector<int> Sky(const char* shot)
    {
        const Picture picture = ReadPicture(mRoot / (std::string(shot) + ".png"));
        if (picture.mWidth < 800)
            return std::vector<int>();
        const size_t at = (size_t(100) * picture.mWidth + 400) * 4;
        return std::vector<int>(picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at),
                                picture.mPixels.begin() + static_cast<std::ptrdiff_t>(at) + 3);
    }
};

TEST_F(LocationTest, TheDevelopmentLocationOpensAndLeaveEndsTheProgram)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 30\nshot open\nclick 770 30\nwait 30\nshot late\n",
                       "start=scripts/dev/location.lua"),
              Traces{"start"});
    // Open with its HUD; the click ended the program before the later shot.
    EXPECT_TRUE(fs::exists(mRoot / "open.png"));
    EXPECT_FALSE(fs::exists(mRoot / "late.png"));
}

// The second scene's first showing brings the guide with its line over a darkened scene; the way
// back waits until the guide has gone.
TEST_F(LocationTest, TheDoorsLeadToTheOtherSceneAndBack)
{
    RunClean(mRepository,
             "focus gained\nwait 40\nshot a\nclick 650 250\nwait 40\nshot b\nwait 40\n"
             "shot greeting\nwait 80\nshot greeted\nclick 70 250\nwait 60\nshot back\n"
             "click 650 250\nwait 80\nshot again\nclick 770 30\nwait 10\n",
             "start=scripts/dev/location.lua");
    EXPECT_EQ(Sky("a"), (std::vector<int>{160, 110, 70}));
    EXPECT_EQ(Sky("back"), (std::vector<int>{160, 110, 70}));
    // The second scene as its fade-in ends, before the guide comes. The guide's green robe at the
    // left, the sky darkened behind it; gone again afterwards, and not back on the second visit.
    EXPECT_EQ(At("greeting", 120, 470), (std::vector<int>{70, 120, 60}));
    EXPECT_LT(Sky("greeting")[2], 150);
    EXPECT_EQ(Sky("greeted"), (std::vector<int>{60, 90, 150}));
    EXPECT_EQ(At("greeted", 120, 470), At("b", 120, 470));
    EXPECT_EQ(At("again", 120, 470), At("b", 120, 470));
}

TEST_F(LocationTest, ThreeQuickMissesHoldTheDoorUntilThePenaltyEnds)
{
    RunClean(mRepository,
             "focus gained\nwait 40\nclick 100 100\nwait 2\nclick 120 100\nwait 2\n"
             "click 140 100\nwait 2\nclick 650 250\nwait 40\nshot held\nwait 30\n"
             "click 650 250\nwait 160\nshot through\nclick 770 30\nwait 10\n",
             "start=scripts/dev/location.lua");
    EXPECT_EQ(Sky("held"), (std::vector<int>{160, 110, 70}));
    EXPECT_EQ(Sky("through"), (std::vector<int>{60, 90, 150}));
}

// The chest opened, the location is done: the game's "LocationComplete();" counts it and opens
// the map.
TEST_F(LocationTest, TheFoundKeyTakenFromTheStripOpensTheChestAndEndsTheLocation)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                       "move 410 300\nwait 5\nshot before\nclick 410 300\nwait 20\n"
                       "shot during\nwait 10\nshot opened\nwait 100\nclose\n",
                       "start=scripts/dev/location.lua"),
              (Traces{"start", "complete 0", "map"}));
    // The chest's lid: shut and brown before, thrown open afterwards (the sky shows above it).
    const Picture before = ReadPicture(mRoot / "before.png");
    const Picture opened = ReadPicture(mRoot / "opened.png");
    ASSERT_EQ(before.mWidth, 800u);
    ASSERT_EQ(opened.mWidth, 800u);
    const size_t lid = (size_t(270) * 800 + 370) * 4;
    EXPECT_NE(std::vector<uint8_t>(before.mPixels.begin() + lid, before.mPixels.begin() + lid + 3),
              std::vector<uint8_t>(opened.mPixels.begin() + lid, opened.mPixels.begin() + lid + 3));
    EXPECT_NE(ReadFile(mRoot / "during.png"), ReadFile(mRoot / "before.png"));
}

// The found key clicked on the door, which has no event for it: the door does not lead on, the key
// goes back to the strip, and from there it still opens the chest.
TEST_F(LocationTest, TheKeyClickedOnTheDoorGoesBackToTheStrip)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                       "move 650 250\nwait 5\nclick 650 250\nwait 60\nshot back\n"
                       "click 390 560\nwait 5\nmove 410 300\nwait 5\nclick 410 300\nwait 120\n"
                       "close\n",
                       "start=scripts/dev/location.lua"),
              (Traces{"start", "complete 0", "map"}));
    EXPECT_EQ(Sky("back"), (std::vector<int>{160, 110, 70}));
}

// Ann finds the key and leaves: the profile keeps the location's record; the next run shows the
// key in the strip and its item gone, and leaving again stores a longer play time; the chest
// opened at last ends the location: its record cleared and the player's location byte counted.
TEST_F(LocationTest, ALocationLeftGoesOnInTheNextRunAndItsEndForgetsIt)
{
    const fs::path game = PlayerGame();
    const auto playTime = [](const std::string& dump)
    {
        std::smatch found;
        if (!std::regex_search(dump, found,
                               std::regex("gamedata = hex ([0-9a-f]{2}) ([0-9a-f]{2}) "
                                          "([0-9a-f]{2}) ([0-9a-f]{2}) ")))
            return -1L;
        return std::stol(found[1].str() + found[2].str() + found[3].str() + found[4].str(), nullptr,
                         16);
    };
    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\nshot fresh\nclick 224 354\nwait 80\n"
                       "click 770 30\nwait 30\n",
                       "start=scripts/devplayer.lua"),
              Traces{"start"});
    const std::string left = Prefs();
    EXPECT_NE(left.find("playerdata = hex 00 00 00 00 00 00 00 00 00 03 00 00\n"),
              std::string::npos)
        << left;
    const long first = playTime(left);
    EXPECT_GT(first, 0) << left;

    EXPECT_EQ(RunClean(game, "focus gained\nwait 40\nshot again\nclick 770 30\nwait 30\n",
                       "start=scripts/devplayer.lua"),
              Traces{"start"});
    EXPECT_NE(At("fresh", 224, 354), At("again", 224, 354)) << "the key's item is gone";
    EXPECT_NE(At("fresh", 380, 550), At("again", 380, 550)) << "the whole key in the strip";
    EXPECT_GT(playTime(Prefs()), first);

    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\nclick 390 560\nwait 5\nmove 410 300\nwait 5\n"
                       "click 410 300\nwait 120\nclose\n",
                       "start=scripts/devplayer.lua"),
              (Traces{"start", "complete 0", "map"}));
    const std::string done = Prefs();
    EXPECT_NE(done.find("  gamedata = \"\"\n"), std::string::npos) << done;
    EXPECT_TRUE(
        std::regex_search(done, std::regex("playerdata = hex ([0-9a-f]{2} ){4}00 00 00 00 01 ")))
        << done;
}

// One content change to the event the key runs on the chest (or to what the location starts with)
// per copy of the location; each copy still ends when the key opens the chest: every change the
// event waits for reports once, only awaited animations hold the clicks (one that comes round
// again in its chain runs on unawaited), a layer put away stays away, a negative delay counts as
// none, the first event's burst plays once the scene is in.
TEST_F(LocationTest, NoContentShapeLocksTheLocation)
{
    const std::string open = "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, "
                             "animations = { \"dev_chest_glow\" },";
    const std::string glow = "fade = { beginopacity = 0, endopacity = 1, duration = 400 },";
    const std::string loop = "animations = {\n        { name = \"dev_loop\", layer = \"dev_a_bg\", "
                             "animation = \"wrap\", framespeed = 100 },";
    const auto withOpen = [&](const std::string& more) { return open + " " + more; };
    const std::vector<std::pair<std::string, Edits>> shapes = {
        {"complete_deactivate", {{open, withOpen("areastodeactivate = { \"dev_chest\" },")}}},
        {"activate_complete", {{open, withOpen("areastoactivate = { \"dev_chest\" },")}}},
        {"complete_twice",
         {{"areastocomplete = { \"dev_chest\" }",
           "areastocomplete = { \"dev_chest\", \"dev_chest\" }"}}},
        {"shown_and_completed",
         {{open, withOpen("areastomakevisible = { \"dev_lid\" },")},
          {"areastocomplete = { \"dev_chest\" }",
           "areastocomplete = { \"dev_chest\", \"dev_lid\" }"},
          {"areas = {\n            Door(\"dev_door\"",
           "areas = {\n            { name = \"dev_lid\", image = \"dev/chest\", x = 100, y = 60, "
           "hasactiveframe = true, events = {} },\n            Door(\"dev_door\""}}},
        // The strip shows the coin's silhouette and the found key right of it (kKeyInTheStripX).
        {"hidden_from_the_strip",
         {{"inventorytoactivate = { \"dev_key\" },",
           "inventorytoactivate = { \"dev_key\", \"dev_coin\" },"},
          {open, withOpen("inventorytomakeinvisible = { \"dev_coin\" }, "
                          "inventorytoactivate = { \"dev_gem\" },")},
          {"actualname = \"dev_key_name\", type = \"thessalor\" },",
           "actualname = \"dev_key_name\", type = \"thessalor\" },\n"
           "        { name = \"dev_coin\", image = \"dev/key\", homescene = \"dev_a\", "
           "partcount = 1, type = \"thessalor\" },\n"
           "        { name = \"dev_gem\", image = \"dev/key\", homescene = \"dev_a\", "
           "partcount = 1, type = \"thessalor\" },"}}},
        {"loop_in_the_event",
         {{"animations = { \"dev_chest_glow\" }",
           "animations = { \"dev_chest_glow\", \"dev_loop\" }"},
          {"animations = {\n        {", loop + "\n        {"}}},
        {"loop_from_the_key",
         {{"actualname = \"dev_key_name\",",
           "actualname = \"dev_key_name\", event = \"dev_ambient\","},
          {"{ name = \"dev_done\", action = \"scene_complete\" },",
           "{ name = \"dev_done\", action = \"scene_complete\" },\n"
           "        { name = \"dev_ambient\", animations = { \"dev_loop\" } },"},
          {"animations = {\n        {", loop + "\n        {"}}},
        {"glow_without_an_end", {{glow, "initialframe = 0,"}}},
        {"glow_layer_put_away_frames",
         {{glow, "animation = \"once\", framespeed = 1000,"},
          {"image = \"dev/glow\"", "image = \"dev/door\""},
          {open, withOpen("layerstodeactivate = { \"dev_a_glow\" },")}}},
        {"glow_layer_put_away_delay",
         {{glow,
           "fade = { beginopacity = 0, endopacity = 1, duration = 400, initialdelay = 1000 },"},
          {open, withOpen("layerstodeactivate = { \"dev_a_glow\" },")}}},
        {"burst_first",
         {{"inventorytoactivate = { \"dev_key\" },",
           "inventorytoactivate = { \"dev_key\" }, minigame = \"complete(400,300,64)\","}}},
        {"glow_into_a_still_one",
         {{glow, glow + " nextanimations = { \"dev_still\" },"},
          {"animations = {\n        {",
           "animations = {\n        { name = \"dev_still\", layer = \"dev_a_glow\", "
           "callback = true, initialframe = 0 },\n        {"}}},
        {"glow_naming_itself", {{glow, glow + " nextanimations = { \"dev_chest_glow\" },"}}},
        {"glows_starting_each_other",
         {{glow, glow + " nextanimations = { \"dev_glow_back\" },"},
          {"animations = {\n        {",
           "animations = {\n        { name = \"dev_glow_back\", layer = \"dev_a_glow\", "
           "callback = true, " +
               glow + " nextanimations = { \"dev_chest_glow\" } },\n        {"}}},
        {"glow_layer_put_away_leads_on",
         {{glow,
           "fade = { beginopacity = 0, endopacity = 1, duration = 400, initialdelay = 1000 }, "
           "nextanimations = { \"dev_glow_on\" },"},
          {open, withOpen("layerstodeactivate = { \"dev_a_glow\" },")},
          {"animations = {\n        {",
           "animations = {\n        { name = \"dev_glow_on\", layer = \"dev_a_glow\", "
           "callback = true, " +
               glow + " },\n        {"}}},
        {"glow_negative_initial_delay",
         {{glow, "fade = { beginopacity = 0, endopacity = 1, duration = 400, "
                 "initialdelay = -1000 },"}}},
        {"glow_negative_delay",
         {{glow, "fade = { beginopacity = 0, endopacity = 1, duration = 400, delay = -500 },"}}},
        {"move_negative_initial_delay",
         {{glow, "move = { endx = 350, endy = 240, duration = 400, initialdelay = -1 },"}}},
    };
    for (const auto& [name, edits] : shapes)
    {
        const fs::path game = CopyGame(name);
        ASSERT_TRUE(EditLocation(game, edits));
        const std::string key = name == "hidden_from_the_strip"
                                    ? std::to_string(kKeyInTheStripX) + " 552"
                                    : std::string("390 560");
        EXPECT_EQ(RunClean(game,
                           "focus gained\nwait 40\nclick 224 354\nwait 80\nclick " + key +
                               "\nwait 5\nmove 410 300\nwait 5\nclick 410 300\nwait 50\nshot " +
                               name + "\nwait 250\nclose\n",
                           "start=scripts/dev/location.lua"),
                  (Traces{"start", "complete 0", "map"}))
            << name;
    }
    // What follows a glow ended by its layer being put away leaves the layer away and is not
    // waited for: the location plays as if nothing followed.
    EXPECT_GT(Alike(Shot("glow_layer_put_away_leads_on"), Shot("glow_layer_put_away_delay")), 99.9);
}

// What a location waits for and something else cuts short still ends the wait, each shape on a
// copy of the development location ending: two awaited animations of one kind on one layer from
// one event (fades, moves, flipbooks, the glow with an ambient pulse after it), a chain reaching
// the layer of a fade still running (also with "clearprevious"), the held object placed in its
// scene by an event, an object an event puts in the hand that no item hands out (the strip takes
// it after a miss) or whose parts were not all found (it is taken as it is); and a join, waited
// for until its last animation ends, no loop said.
TEST_F(LocationTest, WhatAnotherChangeCutsShortStillEndsTheWait)
{
    const std::string open = "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, "
                             "animations = { \"dev_chest_glow\" },";
    const std::string glow = "fade = { beginopacity = 0, endopacity = 1, duration = 400 },";
    const std::string keyEntry = "actualname = \"dev_key_name\", type = \"thessalor\" },\n";
    const std::string events = "{ name = \"dev_done\", action = \"scene_complete\" },";
    const auto animations = [](const std::string& more)
    {
        return std::make_pair(std::string("animations = {\n        {"),
                              "animations = {\n        " + more + "\n        {");
    };
    const auto secondOnTheGlow = [&](const std::string& second)
    {
        return std::vector<std::pair<std::string, std::string>>{
            {open, "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, animations = { "
                   "\"dev_chest_glow\", \"dev_second\" },"},
            animations("{ name = \"dev_second\", layer = \"dev_a_glow\", " + second + " },")};
    };
    // The gem: an object of the development location beside the key.
    const auto gem = [&](const std::string& home, int parts)
    {
        return std::make_pair(keyEntry, keyEntry +
                                            "        { name = \"dev_gem\", image = "
                                            "\"dev/key\", homescene = \"" +
                                            home + "\", partcount = " + std::to_string(parts) +
                                            ", type = \"thessalor\" },\n");
    };
    // The chest's event puts the gem in the hand; the door takes it and ends the location.
    const std::vector<std::pair<std::string, std::string>> gemInTheHand = {
        {"nextevent = \"dev_done\",", "nextevent = \"dev_equip_gem\","},
        {events,
         events + "\n        { name = \"dev_equip_gem\", inventorytoequip = \"dev_gem\" },"},
        {"events = { default = { eventname = event } },",
         "events = { default = { eventname = event }, dev_gem = { eventname = \"dev_done\" } },"}};
    const auto with = [](Edits edits, const Edits& more)
    {
        edits.insert(edits.end(), more.begin(), more.end());
        return edits;
    };
    // After the chest: a miss with the gem in the hand, the gem taken from the strip to the door.
    const std::string missThenTheDoor = "wait 60\nclick 100 100\nwait 60\nclick 390 560\nwait 5\n"
                                        "move 650 250\nwait 5\nclick 650 250\n";
    const std::string chest = "click 390 560\nwait 5\nmove 410 300\nwait 5\nclick 410 300\n";
    struct Shape
    {
        std::string name;
        Edits edits;
        std::string script;
    };
    const std::string start = "focus gained\nwait 40\nclick 224 354\nwait 80\n";
    const std::vector<Shape> shapes = {
        {"two_fades",
         secondOnTheGlow("callback = true, fade = { beginopacity = 0, endopacity = 1, "
                         "duration = 600 }"),
         start + chest},
        {"two_moves",
         with(secondOnTheGlow("callback = true, move = { endx = 350, endy = 240, "
                              "duration = 600 }"),
              {{glow, "move = { endx = 350, endy = 240, duration = 400 },"}}),
         start + chest},
        {"two_flipbooks",
         with(secondOnTheGlow("callback = true, animation = \"once\", framespeed = 150"),
              {{glow, "animation = \"once\", framespeed = 100,"},
               {"image = \"dev/glow\"", "image = \"dev/door\""}}),
         start + chest},
        {"the_glow_and_a_pulse_after_it",
         secondOnTheGlow("fade = { beginopacity = 1, endopacity = 0.5, duration = 300, "
                         "loop = true }"),
         start + chest},
        {"a_chain_reaching_a_fading_layer",
         {{open, "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, animations = { "
                 "\"dev_chest_glow\", \"dev_quick\" },"},
          animations(
              "{ name = \"dev_quick\", layer = \"dev_a_bg\", callback = true, fade = { "
              "beginopacity = 1, endopacity = 1, duration = 50 }, nextanimations = { "
              "\"dev_second\" } },\n        { name = \"dev_second\", layer = \"dev_a_glow\", "
              "callback = true, " +
              glow + " },")},
         start + chest},
        {"clearprevious_in_a_chain",
         {{open, "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, animations = { "
                 "\"dev_chest_glow\", \"dev_quick\" },"},
          animations(
              "{ name = \"dev_quick\", layer = \"dev_a_bg\", callback = true, fade = { "
              "beginopacity = 1, endopacity = 1, duration = 50 }, nextanimations = { "
              "\"dev_second\" } },\n        { name = \"dev_second\", layer = \"dev_a_glow\", "
              "callback = true, clearprevious = true, scale = { beginscale = 1, endscale = "
              "1, duration = 100 } },")},
         start + chest},
        // The gem is in the hand from the start; the found key's event places it in its scene,
        // and the key is then taken from the strip.
        {"the_held_object_placed_in_its_scene",
         {gem("dev_a", 1),
          {"inventorytoactivate = { \"dev_key\" },",
           "inventorytoactivate = { \"dev_key\" }, inventorytoequip = \"dev_gem\","},
          {"actualname = \"dev_key_name\",",
           "actualname = \"dev_key_name\", event = \"dev_place\","},
          {events, events + "\n        { name = \"dev_place\", inventorytoaddtoscene = { "
                            "\"dev_gem\" } },"}},
         start + chest},
        {"in_the_hand_from_nowhere", with(gemInTheHand, {gem("dev_b", 1)}),
         start + chest + missThenTheDoor},
        // One of the gem's two parts is found (at 104, 454) before the chest; the key lies right
        // of the gem in the strip.
        {"in_the_hand_half_found",
         with(gemInTheHand,
              {gem("dev_a", 2),
               {"inventorytoactivate = { \"dev_key\" },",
                "inventorytoactivate = { \"dev_key\", \"dev_gem\" },"},
               {"inventory = \"dev_key\", inventoryparts = { 1 } },",
                "inventory = \"dev_key\", inventoryparts = { 1 } },\n            { name = "
                "\"dev_item_gem\", image = \"dev/item_key\", x = 80, y = 430, depth = 30, "
                "inventory = \"dev_gem\", inventoryparts = { 1 } },"}}),
         start + "click 104 454\nwait 80\nclick " + std::to_string(kKeyInTheStripX) +
             " 552\nwait 5\nmove 410 300\nwait 5\nclick 410 300\n" + missThenTheDoor},
        {"a_join",
         {{glow, glow + " nextanimations = { \"dev_left\", \"dev_right\" },"},
          animations("{ name = \"dev_left\", layer = \"dev_a_bg\", callback = true, fade = { "
                     "beginopacity = 1, endopacity = 1, duration = 100 }, nextanimations = { "
                     "\"dev_bottom\" } },\n        { name = \"dev_right\", layer = \"dev_a_bg\", "
                     "callback = true, scale = { beginscale = 1, endscale = 1, duration = 200 }, "
                     "nextanimations = { \"dev_bottom\" } },\n        { name = \"dev_bottom\", "
                     "layer = \"dev_a_glow\", callback = true, move = { endx = 350, endy = 240, "
                     "duration = 300 } },")},
         start + chest},
    };
    for (const Shape& shape : shapes)
    {
        const fs::path game = CopyGame(shape.name);
        ASSERT_TRUE(EditLocation(game, shape.edits));
        EXPECT_EQ(
            RunClean(game, shape.script + "wait 300\nclose\n", "start=scripts/dev/location.lua"),
            (Traces{"start", "complete 0", "map"}))
            << shape.name;
        EXPECT_EQ(ReadFile(LogFile()).find("comes round again"), std::string::npos) << shape.name;
    }
}

// Shapes of the runner's waits and click road, each on a copy of the development location, each
// ending (the location completes, nothing let go): an awaited flipbook in a scene an event leaves;
// an object an event puts in the hand over another an event put there (the first goes back to the
// strip, the door takes it); the key used on the chest and handed out again by its event, and an
// object an event placed in its scene and the next hands out (each taken from the strip to the
// door); an object that can only be held, with no scene, kept in the hand at a miss; a layer
// switched on and off by one event; and the chest's switch to the other scene, the only way there,
// cut by a close and taken up by the next run.
TEST_F(LocationTest, TheRunnersWaitsAndObjectsLeaveNoWayClosed)
{
    const std::string open = "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, "
                             "animations = { \"dev_chest_glow\" },";
    const std::string next = "nextevent = \"dev_done\",";
    const std::string events = "{ name = \"dev_done\", action = \"scene_complete\" },";
    const std::string keyEntry = "actualname = \"dev_key_name\", type = \"thessalor\" },\n";
    // The door ends the location when it is given `object`.
    const auto doorTakes = [](const std::string& object)
    {
        return std::make_pair(std::string("events = { default = { eventname = event } },"),
                              "events = { default = { eventname = event }, " + object +
                                  " = { eventname = \"dev_done\" } },");
    };
    const auto object = [&](const std::string& entry)
    { return std::make_pair(keyEntry, keyEntry + "        { " + entry + " },\n"); };
    const auto more = [&](const std::string& added)
    { return std::make_pair(events, events + "\n        " + added); };
    const std::string start = "focus gained\nwait 40\nclick 224 354\nwait 80\n";
    const std::string chest = "click 390 560\nwait 5\nmove 410 300\nwait 5\nclick 410 300\n";
    const std::string toTheDoor = "move 650 250\nwait 5\nclick 650 250\n";
    // After the chest's chain of events has run.
    const std::string stripToTheDoor = "wait 150\nclick 390 560\nwait 5\n" + toTheDoor;
    const std::string miss = "wait 150\nclick 80 420\n";
    struct Shape
    {
        std::string name;
        Edits edits;
        std::string script;
    };
    const std::vector<Shape> shapes = {
        {"a_flipbook_in_a_scene_left",
         {{"fade = { beginopacity = 0, endopacity = 1, duration = 400 },",
           "animation = \"once\", framespeed = 2000,"},
          {"image = \"dev/glow\"", "image = \"dev/door\""},
          {next, next + " action = \"dev_b\","},
          {"dialog = \"dev_hello\",", ""}},
         start + chest},
        {"equipped_over_another",
         {object("name = \"dev_gem\", image = \"dev/key\", homescene = \"dev_b\", partcount = 1, "
                 "type = \"thessalor\""),
          object("name = \"dev_coin\", image = \"dev/key\", homescene = \"dev_a\", partcount = 1"),
          {next, "nextevent = \"dev_equip_gem\","},
          more("{ name = \"dev_equip_gem\", inventorytoequip = \"dev_gem\", nextevent = "
               "\"dev_equip_coin\" },\n        { name = \"dev_equip_coin\", inventorytoequip = "
               "\"dev_coin\" },"),
          doorTakes("dev_gem")},
         start + chest + miss + stripToTheDoor},
        {"the_key_handed_out_again",
         {{next, "inventorytoactivate = { \"dev_key\" },"}, doorTakes("dev_key")},
         start + chest + stripToTheDoor},
        {"placed_then_handed_out",
         {object("name = \"dev_gem\", image = \"dev/key\", homescene = \"dev_a\", partcount = 2, "
                 "type = \"thessalor\""),
          {next, "nextevent = \"dev_place_gem\","},
          more("{ name = \"dev_place_gem\", inventorytoaddtoscene = { \"dev_gem\" }, nextevent = "
               "\"dev_give_gem\" },\n        { name = \"dev_give_gem\", inventorytoactivate = { "
               "\"dev_gem\" } },"),
          doorTakes("dev_gem")},
         start + chest + stripToTheDoor},
        {"held_only_after_a_miss",
         {object("name = \"dev_charm\", image = \"dev/key\", partcount = 1, "
                 "canbeplacedinhud = false"),
          {next, "nextevent = \"dev_equip_charm\","},
          more("{ name = \"dev_equip_charm\", inventorytoequip = \"dev_charm\" },"),
          doorTakes("dev_charm")},
         start + chest + miss + "wait 30\n" + toTheDoor},
        {"a_layer_on_and_off",
         {{open, open + " layerstoactivate = { \"dev_a_glow\" }, layerstodeactivate = { "
                        "\"dev_a_glow\" },"}},
         start + chest},
    };
    for (const Shape& shape : shapes)
    {
        const fs::path game = CopyGame(shape.name);
        ASSERT_TRUE(EditLocation(game, shape.edits));
        EXPECT_EQ(RunOk(game, shape.script + "wait 300\nclose\n", "start=scripts/dev/location.lua"),
                  (Traces{"start", "complete 0", "map"}))
            << shape.name;
    }

    // The chest's event is the only way to the other scene, whose door ends the location; Ann
    // closes while its switch fades.
    const fs::path game = PlayerGame();
    ASSERT_TRUE(EditLocation(
        game, {{"areastoactivate = { \"dev_door\", \"dev_chest\", \"dev_back\" },",
                "areastoactivate = { \"dev_chest\", \"dev_back\" },"},
               {next, "action = \"dev_b\","},
               {"dialog = \"dev_hello\",", ""},
               {"Door(\"dev_back\", 20, \"dev_go_a\"", "Door(\"dev_back\", 20, \"dev_done\""}}));
    EXPECT_EQ(RunOk(game, start + chest + "wait 25\nclick 770 30\nwait 30\n",
                    "start=scripts/devplayer.lua"),
              Traces{"start"});
    EXPECT_EQ(RunOk(game, "focus gained\nwait 100\nclick 70 250\nwait 200\nclose\n",
                    "start=scripts/devplayer.lua"),
              (Traces{"start", "complete 0", "map"}));
}

// Objects only the hand can hold, each on a copy of the development location, the location ending
// each time: the chest's event puts the charm (no scene of its own) in the hand and switches to the
// other scene, whose door answers its plain click with the charm held, and the first door takes
// it; the charm with the first scene as its own, missed on the other's floor, lies in its scene,
// is taken up there, missed again and taken up where it was dropped; two equipped by a chain, the
// second held (the first lies in its scene), carried into the other scene across a close and the
// next start; two, three or four equipped by a chain in the first scene, the last having nowhere to
// go: those put back lie in a pile, clicks on it take each in turn, whichever the door takes.
TEST_F(LocationTest, ObjectsOnlyTheHandHoldsLetTheLocationEnd)
{
    const std::string next = "nextevent = \"dev_done\",";
    const std::string events = "{ name = \"dev_done\", action = \"scene_complete\" },";
    const std::string keyEntry = "actualname = \"dev_key_name\", type = \"thessalor\" },\n";
    const auto object = [&](const std::string& entry)
    { return std::make_pair(keyEntry, keyEntry + "        { " + entry + " },\n"); };
    const auto more = [&](const std::string& added)
    { return std::make_pair(events, events + "\n        " + added); };
    // The first scene's door, not the other's, ends the location when given `held`.
    const auto doorTakes = [](const std::string& held)
    {
        return std::make_pair(std::string("events = { default = { eventname = event } },"),
                              "events = { default = { eventname = event }, " + held +
                                  " = name == \"dev_door\" and { eventname = \"dev_done\" } or "
                                  "nil },");
    };
    const std::pair<std::string, std::string> doorTakesCharm = doorTakes("dev_charm");
    const std::pair<std::string, std::string> noGreeting = {"dialog = \"dev_hello\",", ""};
    const std::string charm = "name = \"dev_charm\", image = \"dev/key\", partcount = 1, "
                              "canbeplacedinhud = false, x = 480, y = 400";
    const std::pair<std::string, std::string> carry = {next, "nextevent = \"dev_carry\","};
    const std::pair<std::string, std::string> carryEvent =
        more("{ name = \"dev_carry\", inventorytoequip = \"dev_charm\", action = \"dev_b\" },");
    const std::string start = "focus gained\nwait 40\nclick 224 354\nwait 80\n";
    const std::string chest = "click 390 560\nwait 5\nmove 410 300\nwait 5\nclick 410 300\n";
    const std::string back = "wait 150\nmove 70 250\nwait 5\nclick 70 250\nwait 100\n";
    const std::string toTheDoor = "move 650 250\nwait 5\nclick 650 250\n";
    const auto clickAt = [](int x, int y)
    {
        const std::string at = std::to_string(x) + " " + std::to_string(y);
        return "move " + at + "\nwait 5\nclick " + at + "\nwait 40\n";
    };
    struct Shape
    {
        std::string name;
        Edits edits;
        std::string script;
    };
    // The chest's chain puts the gem in the hand, then the coin (and more): each put back lies
    // where it belongs (at its place in its scene, or, having none, where the hand was, all in one
    // pile) and a click on one lying trades the held one for it, whichever the door takes.
    const auto handOnly = [](const std::string& name)
    {
        const std::string entry = "image = \"dev/key\", partcount = 1, canbeplacedinhud = false";
        return "name = \"dev_" + name + "\", " + entry;
    };
    const std::string gem = handOnly("gem");
    // The chain's edits; the gem's entry is the caller's, the others have no scene of their own.
    const auto chain = [&](const std::vector<std::string>& names)
    {
        Edits edits = {{next, "nextevent = \"dev_equip_gem\","}};
        std::string chained;
        for (size_t i = 0; i < names.size(); ++i)
        {
            if (i > 0)
                edits.push_back(object(handOnly(names[i])));
            chained += "{ name = \"dev_equip_" + names[i] + "\", inventorytoequip = \"dev_" +
                       names[i] + "\"" +
                       (i + 1 < names.size() ? ", nextevent = \"dev_equip_" + names[i + 1] + "\""
                                             : std::string()) +
                       " },\n        ";
        }
        edits.push_back(more(chained));
        return edits;
    };
    const auto shape = [&](const std::string& gemEntry, const std::vector<std::string>& names,
                           const std::string& taken)
    {
        Edits edits = chain(names);
        edits.insert(edits.begin(), object(gemEntry));
        edits.push_back(doorTakes("dev_" + taken));
        return edits;
    };
    // The pile at the chest: a click takes the one on top, which goes under the others; a miss
    // with it puts it back there.
    const std::string pile = clickAt(410, 300);
    const std::vector<Shape> shapes = {
        {"three_from_nowhere_the_middle_taken", shape(gem, {"gem", "coin", "pearl"}, "coin"),
         start + chest + "wait 150\n" + pile + toTheDoor},
        {"three_from_nowhere_the_first_taken", shape(gem, {"gem", "coin", "pearl"}, "gem"),
         start + chest + "wait 150\n" + pile + pile + "wait 40\n" + pile + pile + "wait 40\n" +
             pile + toTheDoor},
        {"four_from_nowhere_the_second_taken", shape(gem, {"gem", "coin", "pearl", "ring"}, "coin"),
         start + chest + "wait 150\n" + pile + pile + "wait 40\n" + pile + pile + "wait 40\n" +
             pile + toTheDoor},
        {"two_from_nowhere_the_first_taken", shape(gem, {"gem", "coin"}, "gem"),
         start + chest + "wait 150\n" + pile + toTheDoor},
        {"two_from_nowhere_the_second_kept", shape(gem, {"gem", "coin"}, "coin"),
         start + chest + "wait 150\n" + toTheDoor},
        {"the_first_at_home_taken",
         shape(gem + ", homescene = \"dev_a\", x = 480, y = 400", {"gem", "coin"}, "gem"),
         start + chest + "wait 150\n" + clickAt(480, 400) + toTheDoor},
        {"held_into_the_other_scene",
         {object(charm), carry, carryEvent, doorTakesCharm, noGreeting},
         start + chest + back + toTheDoor},
        {"missed_away_and_at_home",
         {object(charm + ", homescene = \"dev_a\""), carry, carryEvent, doorTakesCharm, noGreeting},
         start + chest + "wait 150\n" + clickAt(400, 300) + back + clickAt(480, 400) +
             clickAt(300, 450) + clickAt(300, 450) + toTheDoor},
    };
    for (const Shape& shape : shapes)
    {
        const fs::path game = CopyGame(shape.name);
        ASSERT_TRUE(EditLocation(game, shape.edits));
        EXPECT_EQ(
            RunClean(game, shape.script + "wait 300\nclose\n", "start=scripts/dev/location.lua"),
            (Traces{"start", "complete 0", "map"}))
            << shape.name;
    }

    // Ann's chain puts the amulet (its scene the other) in the hand, then the charm, and switches
    // to the other scene: she leaves there, and the next start has the charm in her hand, the
    // other scene's door answering, for the first one's door.
    const fs::path game = PlayerGame();
    ASSERT_TRUE(EditLocation(
        game, {object(charm),
               object("name = \"dev_amulet\", image = \"dev/key\", partcount = 1, "
                      "canbeplacedinhud = false, homescene = \"dev_b\", x = 300, y = 400"),
               {next, "nextevent = \"dev_two\","},
               more("{ name = \"dev_two\", inventorytoequip = \"dev_amulet\", nextevent = "
                    "\"dev_three\" },\n        { name = \"dev_three\", inventorytoequip = "
                    "\"dev_charm\", action = \"dev_b\" },"),
               doorTakesCharm,
               noGreeting}));
    EXPECT_EQ(RunClean(game, start + chest + "wait 150\nclick 770 30\nwait 30\n",
                       "start=scripts/devplayer.lua"),
              Traces{"start"});
    EXPECT_EQ(RunClean(game, "focus gained\nwait 100\n" + back + toTheDoor + "wait 300\nclose\n",
                       "start=scripts/devplayer.lua"),
              (Traces{"start", "complete 0", "map"}));
}

// The key's picture misspelt: the object in the strip has no picture nor mask, which is said once
// for the whole run (it was asked for again at every frame), and the location goes on.
TEST_F(LocationTest, AMissingPictureIsSaidOnce)
{
    const fs::path game =
        CopyEdited("scripts/dev/location.lua", "\\{ name = \"dev_key\", image = \"dev/key\"",
                   "{ name = \"dev_key\", image = \"dev/kye\"");
    EXPECT_EQ(RunOk(game,
                    "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                    "click 650 300\nwait 60\nclose\n",
                    "start=scripts/dev/location.lua"),
              Traces{"start"});
    // The object's parts come from its picture: the part the found item gives is not there. The
    // picture is named once, before the mask's failure.
    EXPECT_EQ(LoggedLines("ERROR:"), 3u) << ReadFile(LogFile());
    ExpectLogged("ERROR:Inventory object 'dev_key' cannot read its picture 'dev/kye': no such "
                 "picture or description",
                 1);
    ExpectLogged("ERROR:CreateCollisionMaskAndHilite failed.", 1);
    ExpectLogged("ERROR: Inventory object 'dev_key' has no part 1 (it has 0)", 1);
}

// Content shapes that once left the location unable to end, each on a copy of the development
// location: an object changed twice by one event (waited for once), an object an event puts in the
// hand (it follows the pointer and opens the door that takes it), a conversation the location lacks
// (skipped, the event goes on).
TEST_F(LocationTest, ObjectsChangedOrHeldByAnEventAndAMissingConversationLetTheLocationEnd)
{
    const std::string open = "name = \"dev_open\", areastocomplete = { \"dev_chest\" }, "
                             "animations = { \"dev_chest_glow\" },";
    const std::string coin = "        { name = \"dev_coin\", image = \"dev/key\", "
                             "homescene = \"dev_a\", partcount = 1, type = \"thessalor\" },\n";
    const std::string keyEntry = "actualname = \"dev_key_name\", type = \"thessalor\" },\n";
    struct Shape
    {
        std::string name;
        Edits edits;
        std::string afterTheChest;
        int keyX = 390;
    };
    const std::string toTheDoor = "move 650 250\nwait 5\nclick 650 250\n";
    const std::vector<Shape> shapes = {
        {"hidden_twice",
         {{"inventorytoactivate = { \"dev_key\" },",
           "inventorytoactivate = { \"dev_key\", \"dev_coin\" },"},
          {open, open + " inventorytomakeinvisible = { \"dev_coin\", \"dev_coin\" },"},
          {keyEntry, keyEntry + coin}},
         "",
         kKeyInTheStripX},
        {"equipped_by_the_event",
         {{"nextevent = \"dev_done\",", "inventorytoequip = \"dev_gem\","},
          {"events = { default = { eventname = event } },",
           "events = { default = { eventname = event }, dev_gem = { eventname = \"dev_done\" } },"},
          {keyEntry, keyEntry + "        { name = \"dev_gem\", image = \"dev/key\", "
                                "homescene = \"dev_a\", partcount = 1, type = \"lirae\" },\n"}},
         "wait 60\n" + toTheDoor},
        {"missing_conversation", {{open, open + " dialog = \"dev_helo\","}}, ""},
    };
    for (const Shape& shape : shapes)
    {
        const fs::path game = CopyGame(shape.name);
        ASSERT_TRUE(EditLocation(game, shape.edits));
        EXPECT_EQ(RunOk(game,
                        "focus gained\nwait 40\nclick 224 354\nwait 80\nclick " +
                            std::to_string(shape.keyX) +
                            " 560\nwait 5\nmove 410 300\nwait 5\nclick 410 300\n" +
                            shape.afterTheChest + "wait 300\nclose\n",
                        "start=scripts/dev/location.lua"),
                  (Traces{"start", "complete 0", "map"}))
            << shape.name;
        const std::string log = ReadFile(LogFile());
        const bool missing = shape.name == "missing_conversation";
        EXPECT_EQ(LoggedLines("ERROR:") == 0, !missing) << shape.name << log;
        if (missing)
            ExpectLogged("ERROR:Cannot find conversation 'dev_helo'; it is skipped");
    }
}

// Ann closes the location after the chest's glow, its event armed to run on her next click: the
// next start runs it and the location ends.
TEST_F(LocationTest, AnEventArmedForTheNextClickIsNotLostToAClose)
{
    const fs::path game = PlayerGame();
    ASSERT_TRUE(EditLocation(
        game, {{"nextevent = \"dev_done\",", "eventtoactivateonclick = \"dev_done\","}}));
    LeaveAfterTheChestThenEnd(game, 80);
}

// The chest's event arms the location's end for the next click and leads on to another event;
// Ann closes while its glow still runs, both waiting: the next start runs the one and her click
// there the other, and the location ends (the armed one was lost, and the click did nothing).
TEST_F(LocationTest, AnEventArmedBesideAPendingOneIsKeptWithItAcrossAClose)
{
    const fs::path game = PlayerGame();
    ASSERT_TRUE(
        EditLocation(game, {{"nextevent = \"dev_done\",",
                             "nextevent = \"dev_note\", eventtoactivateonclick = \"dev_done\","},
                            {"{ name = \"dev_done\", action = \"scene_complete\" },",
                             "{ name = \"dev_done\", action = \"scene_complete\" },\n"
                             "        { name = \"dev_note\" },"}}));
    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                       "move 410 300\nwait 5\nclick 410 300\nwait 30\nclick 770 30\nwait 30\n",
                       "start=scripts/devplayer.lua"),
              Traces{"start"});
    EXPECT_EQ(RunClean(game, "focus gained\nwait 100\nclick 100 100\nwait 200\nclose\n",
                       "start=scripts/devplayer.lua"),
              (Traces{"start", "complete 0", "map"}));
}

// Names the location lacks (the next event of the key's, the first event) are said once each at
// load, with who names them; nothing else changes.
TEST_F(LocationTest, NamesTheLocationLacksAreSaidAtLoad)
{
    const fs::path game = CopyGame("names");
    ASSERT_TRUE(
        EditLocation(game, {{"nextevent = \"dev_done\"", "nextevent = \"dev_dnoe\""},
                            {"initial_event = \"dev_start\"", "initial_event = \"dev_strat\""}}));
    EXPECT_EQ(RunOk(game, "focus gained\nwait 40\nclick 770 30\nwait 30\n",
                    "start=scripts/dev/location.lua"),
              Traces{"start"});
    ExpectLogged("ERROR:The location has no event 'dev_dnoe', which event 'dev_open' names");
    ExpectLogged(
        "ERROR:The location has no event 'dev_strat', which the location's \"initial_event\" "
        "names");
}

// An area without its "events" table or an item without its "inventoryparts" ends the program at
// load: the log and standard error say what is missing and where, and the status is not 0.
TEST_F(LocationTest, AContentErrorThatEndsTheProgramSaysSoAndFails)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> shapes = {
        {"events = { dev_key = { eventname = \"dev_open\" } },", "",
         "Area 'dev_chest' has no \"events\" table, which every area needs"},
        {"inventory = \"dev_key\", inventoryparts = { 1 } },", "inventory = \"dev_key\" },",
         "Item 'dev_item_key' has no \"inventoryparts\" table, which every item needs"},
    };
    for (const auto& [from, to, said] : shapes)
    {
        const fs::path game = CopyGame("fatal");
        ASSERT_TRUE(EditLocation(game, {{from, to}}));
        mErrorFile = mRoot / "stderr.txt";
        RunFatal(game, "focus gained\nwait 60\nclose\n", "start=scripts/dev/location.lua");
        mErrorFile.clear();
        ExpectInLog("ERROR:" + said);
        EXPECT_NE(ReadFile(mRoot / "stderr.txt").find(said), std::string::npos) << said;
        fs::remove_all(game);
    }
}

// Ann leaves six frames after the key went to the chest, while the key is still being used: the
// close runs the use on, the chest opens and its chain ends the location, counted in the record
// with the map next.
TEST_F(LocationTest, ALocationLeftDuringAUseEndsAtTheClose)
{
    const fs::path game = PlayerGame();
    EXPECT_EQ(RunClean(game, ToTheChestAndLeave(6), "start=scripts/devplayer.lua"),
              (Traces{"start", "complete 0"}));
    EXPECT_NE(Prefs().find("  gamedata = \"\"\n"), std::string::npos) << Prefs();
}

// The chest's event ends the location itself ("scene_complete", no next event, no glow), and the
// window is closed, or the pause dialog's "Main menu" taken, while its area's completion runs: the
// location, run on as it closes, completes. "Main menu" lets the location go on before it closes;
// a window closed while the focus is away closes it still paused, its motions held.
TEST_F(LocationTest, LeftWhileTheEndEventsAreaCompletesTheLocationEnds)
{
    const fs::path game = PlayerGame();
    ASSERT_TRUE(
        EditLocation(game, {{"animations = { \"dev_chest_glow\" },", ""},
                            {"nextevent = \"dev_done\",", "action = \"scene_complete\","}}));
    const struct
    {
        int waits;
        const char* leave;
        Traces traces;
    } roads[] = {
        {19, "close\n", {"start", "complete 0"}},
        {43, "close\n", {"start", "complete 0"}},
        {19,
         "focus lost\nwait 10\nfocus gained\nwait 40\nclick 400 358\nwait 60\n",
         {"start", "pause", "complete 0"}},
        {19, "focus lost\nwait 10\nclose\n", {"start", "pause", "complete 0"}},
    };
    for (const auto& road : roads)
    {
        SCOPED_TRACE(std::to_string(road.waits) + " " + road.leave);
        // A new player each time.
        std::error_code ignored;
        fs::remove_all(mRoot / "data", ignored);
        std::string script = ToTheChestAndLeave(road.waits);
        script.replace(script.find("click 770 30\n"), std::string("click 770 30\n").size(),
                       road.leave);
        EXPECT_EQ(RunClean(game, script, "start=scripts/devplayer.lua"), road.traces);
        EXPECT_NE(Prefs().find("  gamedata = \"\"\n"), std::string::npos) << Prefs();
    }
}

// The same end as the game's first location, opened from the menu for a new player: closed while
// the chest's completion runs, the location completes, and the next "Play" goes on from the map
// it leads to, as after an end the player saw, not into the next location.
TEST_F(LocationTest, ALocationCompletedAsItClosesGoesOnFromTheMap)
{
    const fs::path game = PlayerGame();
    ASSERT_TRUE(
        EditLocation(game, {{"animations = { \"dev_chest_glow\" },", ""},
                            {"nextevent = \"dev_done\",", "action = \"scene_complete\","}}));
    const fs::path rules = game / "assets/scripts/game.lua";
    std::string text = ReadFile(rules);
    const std::string first = "[0] = \"scripts/locations/gatehouse.lua\"";
    ASSERT_NE(text.find(first), std::string::npos);
    text.replace(text.find(first), first.size(), "[0] = \"scripts/dev/location.lua\"");
    WriteFile(rules, text);
    const Traces played =
        RunClean(game,
                 kNewPlayer + "click 224 354\nwait 80\nclick 390 560\nwait 5\nmove 410 300\n"
                              "wait 5\nclick 410 300\nwait 19\nclose\n",
                 "start=scripts/mainmenu.lua");
    EXPECT_NE(std::find(played.begin(), played.end(), "complete 0"), played.end())
        << ::testing::PrintToString(played);
    EXPECT_EQ(std::find(played.begin(), played.end(), "map"), played.end())
        << ::testing::PrintToString(played);
    EXPECT_EQ(RunClean(game,
                       "focus gained\nwait 40\n" + menupoints::ClickLine(menupoints::kPlay) +
                           "wait 60\nclose\n",
                       "start=scripts/mainmenu.lua"),
              (Traces{"start", "menu Ann", "profile Ann", "record 1 1", "map"}));
}

// A lost focus opens the game's pause dialog over the location (it comes down once the focus is
// back); "Resume" gives the location back.
TEST_F(LocationTest, ALostFocusPausesTheLocation)
{
    EXPECT_EQ(RunClean(mRepository,
                       "focus gained\nwait 40\nshot playing\nfocus lost\nwait 10\n"
                       "focus gained\nwait 40\nshot paused\nclick 400 246\nwait 40\n"
                       "shot resumed\nclick 770 30\nwait 10\n",
                       "start=scripts/dev/location.lua"),
              (Traces{"start", "pause"}));
    EXPECT_NE(At("paused", 400, 300), At("playing", 400, 300));
    EXPECT_EQ(Sky("resumed"), Sky("playing"));
}

// The mouse resting on the door shows its name above and to the right of the pointer, which covers
// none of it; without the basic tool tip the same run differs only there. Over the key's silhouette
// in the strip, the inventory tool tip shows the key's item picture and name.
TEST_F(LocationTest, ToolTipsNameWhatLiesUnderTheMouse)
{
    const std::string script =
        "focus gained\nwait 40\nmove 650 250\nwait 30\nshot door\nmove 390 560\nwait 30\n"
        "shot key\nclick 770 30\nwait 10\n";
    EXPECT_EQ(RunClean(mRepository, script, "start=scripts/dev/location.lua"), Traces{"start"});
    const Picture door = ReadPicture(mRoot / "door.png");
    ASSERT_EQ(door.mWidth, 800u);
    ExpectMatchesGolden(Crop(door, 600, 200, 200, 100), "location_door_tool_tip.png");
    ExpectMatchesGolden(Crop(ReadPicture(mRoot / "key.png"), 250, 420, 300, 80),
                        "location_key_tool_tip.png");

    const fs::path game = CopyGame("plain");
    const fs::path location = game / "assets/scripts/dev/location.lua";
    WriteFile(location, std::regex_replace(ReadFile(location),
                                           std::regex("tooltipbasic = Tooltip\\(\\), "), ""));
    EXPECT_EQ(RunClean(game, script, "start=scripts/dev/location.lua"), Traces{"start"});
    const Picture plain = ReadPicture(mRoot / "door.png");
    ASSERT_EQ(plain.mPixels.size(), door.mPixels.size());
    // Every differing pixel lies in the box to the right of and above the pointer.
    size_t differing = 0;
    for (uint32_t y = 0; y < 600; ++y)
        for (uint32_t x = 0; x < 800; ++x)
        {
            const size_t at = (size_t(y) * 800 + x) * 4;
            if (std::equal(door.mPixels.begin() + at, door.mPixels.begin() + at + 3,
                           plain.mPixels.begin() + at))
                continue;
            ++differing;
            EXPECT_TRUE(x >= 650 && x < 800 && y >= 200 && y < 250) << x << "," << y;
        }
    EXPECT_GT(differing, 100u);
}

// The guide's line names a next line the location lacks; it is said at load, and the line runs
// both as the second scene's greeting and as the chest's event's own line: each time the
// conversation ends where the lines run out and the location plays on to its end (the program
// ended with status 2 at the first of them before).
TEST_F(LocationTest, AMisspeltNextConversationRunsOnToTheEnd)
{
    const fs::path game = CopyGame("next_conversation");
    ASSERT_TRUE(EditLocation(game, {{"text = \"dev_hello\", characterstoshow = { \"guide\" },",
                                     "text = \"dev_hello\", characterstoshow = { \"guide\" }, "
                                     "nextconversation = \"dev_helo\","},
                                    {"nextevent = \"dev_done\",",
                                     "nextevent = \"dev_done\", dialog = \"dev_hello\","}}));
    EXPECT_EQ(RunOk(game,
                    "focus gained\nwait 40\nclick 650 250\nwait 200\nclick 70 250\nwait 60\n"
                    "click 224 354\nwait 80\nclick 390 560\nwait 5\nmove 410 300\nwait 5\n"
                    "click 410 300\nwait 300\nclose\n",
                    "start=scripts/dev/location.lua"),
              (Traces{"start", "complete 0", "map"}));
    ExpectLogged("ERROR:The location has no conversation 'dev_helo', which conversation "
                 "'dev_hello' names");
    ExpectLogged("ERROR:Cannot find conversation 'dev_helo'; it is skipped", 2);
    EXPECT_EQ(LoggedLines("ERROR:"), 3u) << ReadFile(LogFile());
}

// Names looked for where the one using them looks: the first event starts a sound of the location
// (not of a scene), which no event can start, so the load says so; then a chain of next events
// that comes round again, an object of no parts that no event hands out (two lines) and an item
// giving a part its object lacks, one line each. The location plays on to its end.
TEST_F(LocationTest, NamesWhereTheyAreUsedAndShapesThatNeverEndAreSaidAtLoad)
{
    const fs::path game = CopyGame("shapes");
    ASSERT_TRUE(EditLocation(
        game, {{"inventorytoactivate = { \"dev_key\" },",
                "inventorytoactivate = { \"dev_key\" }, soundstoactivate = { \"dev_wind\" },"},
               {"{ name = \"dev_go_b\", action = \"dev_b\" },",
                "{ name = \"dev_go_b\", action = \"dev_b\" },\n"
                "        { name = \"dev_tick\", nextevent = \"dev_tock\" },\n"
                "        { name = \"dev_tock\", nextevent = \"dev_tick\" },"},
               {"scenes = { \"dev_a\", \"dev_b\" },",
                "soundeffects = { { name = \"dev_wind\", sounds = { \"wind\" }, loop = true } },\n"
                "    scenes = { \"dev_a\", \"dev_b\" },"},
               {"actualname = \"dev_key_name\", type = \"thessalor\" },",
                "actualname = \"dev_key_name\", type = \"thessalor\" },\n"
                "        { name = \"dev_coin\", image = \"dev/key\", homescene = \"dev_a\", "
                "type = \"lirae\" },"},
               {"inventory = \"dev_key\", inventoryparts = { 1 } },",
                "inventory = \"dev_key\", inventoryparts = { 1, 2 } },"}}));
    EXPECT_EQ(RunOk(game,
                    "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
                    "move 410 300\nwait 5\nclick 410 300\nwait 300\nclose\n",
                    "start=scripts/dev/location.lua"),
              (Traces{"start", "complete 0", "map"}));
    for (const char* line :
         {"ERROR:The location has no scene sound 'dev_wind', which event 'dev_start' names",
          "ERROR:Event 'dev_tick' leads back to itself through its next events ('dev_tick' -> "
          "'dev_tock' -> 'dev_tick'); the chain never ends",
          "ERROR:Inventory object 'dev_coin' has \"partcount\" 0; it needs at least 1 part",
          "ERROR:Inventory object 'dev_coin' is handed out by no event (\"inventorytoactivate\", "
          "\"inventorytoaddtoscene\" or \"inventorytoequip\"): its items never show and no hand "
          "holds it",
          "ERROR:Item 'dev_item_key' gives part 2 of inventory object 'dev_key', which has 1 "
          "parts"})
        ExpectLogged(line);
    // The part the key's picture lacks is said again when the item arrives.
    ExpectLogged("ERROR: Inventory object 'dev_key' has no part 2 (it has 1)");
    EXPECT_EQ(LoggedLines("ERROR:"), 6u) << ReadFile(LogFile());
}

// Shapes said at load, one line each, on copies of the development location; each runs on as far
// as it can: the chest's line in a conversation coming round again (two lines, a line to itself,
// which is also the second scene's greeting) ends there and the location ends; a misspelt action
// and a glow that waits for ever keep it from ending; one part of the key given by two items
// counts the key whole once both are found; a glow of no number ends at once; a location larger
// than its record holds plays on.
TEST_F(LocationTest, ConversationCyclesAndWhatTheRecordCannotHoldAreSaidAtLoad)
{
    const std::string hello = "text = \"dev_hello\", characterstoshow = { \"guide\" },";
    const std::string glow = "fade = { beginopacity = 0, endopacity = 1, duration = 400 },";
    const std::string keyItem = "inventory = \"dev_key\", inventoryparts = { 1 } },";
    // The key found and used on the chest.
    const std::string play =
        "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 390 560\nwait 5\n"
        "move 410 300\nwait 5\nclick 410 300\nwait 200\nclose\n";
    const Traces completed{"start", "complete 0", "map"};
    struct Shape
    {
        std::string name;
        Edits edits;
        std::string script;
        Traces traces;
        std::vector<std::string> said;
    };
    const std::string large =
        "local g = gameplayinstructions\n"
        "for i = 1, 256 do\n"
        "    table.insert(g.events, { name = 'dev_many_' .. i })\n"
        "    table.insert(g.animations, { name = 'dev_many_' .. i, layer = 'dev_b_bg' })\n"
        "    table.insert(g.dev_b.areas, { name = 'dev_many_' .. i, image = 'dev/glow', x = 0, "
        "y = 0, depth = 60, events = {} })\n"
        "    g.dev_b.items = g.dev_b.items or {}\n"
        "    table.insert(g.dev_b.items, { name = 'dev_many_' .. i, image = 'dev/item_key', "
        "x = 0, y = 0, depth = 30, inventory = 'dev_many', inventoryparts = { 1 } })\n"
        "    table.insert(g.scenes, 'dev_many_' .. i)\n"
        "    g['dev_many_' .. i] = {}\n"
        "end\n"
        "table.insert(g.inventory, { name = 'dev_many', image = 'dev/key', partcount = 1, "
        "type = 'lirae' })\n"
        "table.insert(g.inventory, { name = string.rep('k', 256), image = 'dev/key', "
        "partcount = 1, type = 'lirae' })\n"
        "g.conversations[string.rep('c', 256)] = { charactertospeak = 'guide', text = 'dev_hello' "
        "}\n"
        "MakeDialog {";
    const std::vector<Shape> shapes = {
        {"two_lines",
         {{hello, hello + " nextconversation = \"dev_bye\" },\n        dev_bye = { "
                          "charactertospeak = \"guide\", text = \"dev_hello\", "
                          "characterstoshow = { \"guide\" }, nextconversation = \"dev_hello\","},
          {"nextevent = \"dev_done\",", "nextevent = \"dev_done\", dialog = \"dev_bye\","}},
         play,
         completed,
         {"Conversation 'dev_bye' leads back to itself through its next conversations "
          "('dev_bye' -> 'dev_hello' -> 'dev_bye'); it ends where it comes round again"}},
        {"line_to_itself",
         {{hello, hello + " nextconversation = \"dev_hello\","},
          {"nextevent = \"dev_done\",", "nextevent = \"dev_done\", dialog = \"dev_hello\","}},
         play,
         completed,
         {"Conversation 'dev_hello' leads back to itself through its next conversations "
          "('dev_hello' -> 'dev_hello'); it ends where it comes round again"}},
        {"misspelt_action",
         {{"action = \"scene_complete\"", "action = \"scene_compelte\""}},
         play,
         Traces{"start"},
         {"The location has no scene or action 'scene_compelte', which event 'dev_done' names"}},
        {"one_part_twice",
         {{"homescene = \"dev_a\", partcount = 1,", "homescene = \"dev_a\", partcount = 2,"},
          {keyItem, keyItem +
                        "\n            { name = \"dev_item_key2\", image = \"dev/item_key\", "
                        "x = 80, y = 430, depth = 30, " +
                        keyItem}},
         "focus gained\nwait 40\nclick 224 354\nwait 80\nclick 104 454\nwait 80\nclick 390 560\n"
         "wait 5\nmove 410 300\nwait 5\nclick 410 300\nwait 200\nclose\n",
         completed,
         {"Part 1 of inventory object 'dev_key' is given 2 times (by item 'dev_item_key', item "
          "'dev_item_key2'): each find counts a part, so the object counts whole with a part "
          "never found"}},
        {"glow_for_ever",
         {{glow, "fade = { beginopacity = 0, endopacity = 1, duration = 1/0, delay = 1e300 },"}},
         play,
         Traces{"start"},
         {"Animation 'dev_chest_glow' has a fade \"duration\" of inf ms: it is taken as the "
          "longest wait, 2147483647 ms (about 24 days), which nothing waits out",
          "Animation 'dev_chest_glow' has a fade \"delay\" of 1e+300 ms: it is taken as the "
          "longest wait, 2147483647 ms (about 24 days), which nothing waits out"}},
        {"glow_of_no_number",
         {{glow, "fade = { duration = 0/0 },"}},
         play,
         completed,
         {"Animation 'dev_chest_glow' has a fade \"duration\" that is not a number: it is taken "
          "as 0"}},
        {"larger_than_its_record",
         {{"MakeDialog {", large}},
         "focus gained\nwait 40\nclose\n",
         Traces{"start"},
         {"The location has 258 scenes; its record holds at most 255, so it is not "
          "stored and a close loses the player's progress",
          "The location has 261 events; its record holds at most 255, so it is not "
          "stored and a close loses the player's progress",
          "Scene 'dev_b' has 257 areas; the location's record holds at most 255, so it is not "
          "stored while the scene is shown and a close loses the player's progress",
          "The location has 256 animations; its record holds at most 255, so it is "
          "not stored once every one has started and a close loses the player's progress",
          "The location has 257 items; its record counts them in a byte, which holds at most "
          "255, so after a close the finds are miscounted and the location never ends",
          "Inventory object '" + std::string(256, 'k') +
              "' has a name of 256 bytes; the location's record keeps at most 255, so a record "
              "with it held by an area is refused when read back",
          "Inventory object 'dev_many' is handed out by no event",
          "Inventory object '" + std::string(256, 'k') + "' is handed out by no event",
          "Conversation '" + std::string(256, 'c') +
              "' has a name of 256 bytes; the location's record keeps at most 255, so the record "
              "is not stored while it waits to be shown and a close loses the player's "
              "progress"}},
    };
    for (const Shape& shape : shapes)
    {
        SCOPED_TRACE(shape.name);
        const fs::path game = CopyGame(shape.name);
        ASSERT_TRUE(EditLocation(game, shape.edits));
        EXPECT_EQ(RunOk(game, shape.script, "start=scripts/dev/location.lua"), shape.traces);
        for (const std::string& line : shape.said)
            ExpectLogged("ERROR:" + line);
        ExpectLogged("ERROR:", shape.said.size());
        fs::remove_all(game);
    }
}

TEST_F(LocationTest, ALocationWithoutInstructionsIsFatalAndTheGameEnds)
{
    const fs::path game = CopyGame("content");
    const fs::path location = game / "assets/scripts/dev/location.lua";
    WriteFile(location, std::regex_replace(ReadFile(location), std::regex("gameplayinstructions ="),
                                           "local unused ="));
    RunFatal(game, "focus gained\nwait 60\n", "start=scripts/dev/location.lua");
    EXPECT_NE(ReadFile(LogFile()).find(
                  "ERROR:Cannot find gameplayinstructions global table!   FILE:gameplay LINE:"),
              std::string::npos)
        << ReadFile(LogFile());
}

} // namespace
