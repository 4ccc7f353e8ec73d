// A content author's mistakes planted one at a time in a copy of the Gatehouse (and of the files
// the game shares with it), each run through the author's location check (tools/locationcheck, as
// the guide runs it) and through the game's load of the location: the check names every one with
// its entity, key or file, and the load says every one that leaves the location unfinishable (or
// that the guide's load-time list names) in the words of its other lines, a fatal one with its
// file and value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_test_support.h"
#include "support/shell.h"

namespace
{
using namespace e2etest;

const std::string kLocation = "scripts/locations/gatehouse.lua";

class AuthoringMistakesTest : public ScreenProgramTest
{
protected:
    // The check's output on `game`'s location (named from the repository, as a shell completes
    // it); its exit status in `status`.
    static std::string Check(const fs::path& game, int& status)
    {
        const std::string command = "cd '" + game.string() +
                                    "' && '" MURKWELL_LOCATION_CHECK "' assets/" + kLocation +
                                    " 2>&1";
        return testsupport::ShellOutput(command, status);
    }
};

TEST_F(AuthoringMistakesTest, TheCheckNamesEachAndTheLoadSaysThoseThatLeaveTheLocationUnfinished)
{
    const fs::path game = CopyGame("content");
    const fs::path script = game / "assets" / kLocation;
    const std::string text = ReadFile(script);
    // `lua` runs on the location's tables just before its window is made.
    const auto plant = [&](const std::string& lua)
    {
        std::string planted = text;
        planted.insert(planted.find("local Location = ReadFile"),
                       "local g = gameplayinstructions\n" + lua + "\n");
        WriteFile(script, planted);
    };
    int status = -1;
    plant("");
    EXPECT_EQ(Check(game, status), kLocation + ": no faults\n");
    EXPECT_EQ(status, 0);
    // An object only the hand holds needs no type, and gets no fault for it.
    plant("table.insert(g.inventory, { name = 'crank', actualname = 'inv_wick', "
          "image = 'inventory/wick', homescene = 'gatehouse', partcount = 1, "
          "canbeplacedinhud = false }) g.events[1].inventorytoaddtoscene = { 'crank' }");
    EXPECT_EQ(Check(game, status), kLocation + ": no faults\n");
    EXPECT_EQ(status, 0);
    // Numbers written as texts are read as the game reads them.
    plant("g.animations[1].fade.duration = '1500' g.gatehouse.items[2].inventoryparts = { '2' }");
    EXPECT_EQ(Check(game, status), kLocation + ": no faults\n");
    EXPECT_EQ(status, 0);

    enum Load
    {
        kQuiet, // the load may stay quiet: the location still plays to its end
        kSaid,  // said at load, and play goes on
        kFatal, // said at load, and the game ends
    };
    const struct
    {
        const char* lua;
        const char* check;
        Load load;
        const char* said;
        // A file below assets/ the mistake is in: `from` replaced by `to` in its text, or the
        // file taken away when `from` is null.
        const char* file = nullptr;
        const char* from = nullptr;
        const char* to = nullptr;
    } mistakes[] = {
        // What leaves the location unfinishable.
        {"g.events[6].inventorytoactivate = nil",
         "inventory wick is handed out by no event's inventorytoactivate, inventorytoaddtoscene "
         "or inventorytoequip",
         kSaid,
         "Inventory object 'wick' is handed out by no event (\"inventorytoactivate\", "
         "\"inventorytoaddtoscene\" or \"inventorytoequip\"): its items never show and no hand "
         "holds it"},
        {"g.events[6].name = 'event_electroniclockcompleted'",
         "minigame scene lockpanel runs the event event_electroniclockcomplete when solved, which "
         "the location's events lack",
         kSaid,
         "The location has no event 'event_electroniclockcomplete', which puzzle scene "
         "'lockpanel' names"},
        {"g.minigames.lockpanel = 'electroniclocksscene'",
         "minigame scene lockpanel has the puzzle class electroniclocksscene in minigames, which "
         "is none of the game's: it is a plain scene",
         kSaid,
         "The game has no puzzle scene 'electroniclocksscene', which scene 'lockpanel' names in "
         "\"minigames\"; it is a plain scene"},
        {"g.gatehouse.items[1].y = 560",
         "item item_key_1 lies at y 560, under the HUD's bar (y 500 to 600)", kSaid,
         "Item 'item_key_1' lies at (612, 560), under the HUD's bar (y 500 to 600): it can never "
         "be found"},
        {"g.gatehouse.items[1].x = 850",
         "item item_key_1 lies at x 850, y 410, off the picture (0 to 800, 0 to 500)", kSaid,
         "Item 'item_key_1' lies at (850, 410), off the picture (800 x 600): it can never be "
         "found"},
        {"g.storeroom.items[1].name = 'item_key_1'",
         "item item_key_1 is named twice (gatehouse and storeroom)", kSaid,
         "Item 'item_key_1' is named twice (in scene 'gatehouse' and scene 'storeroom'): items "
         "are found by name, so one of them can never be found"},
        // Silent but playable: the check names them.
        {"g.storeroom.layers[1].image = 'journal/page'",
         "scene storeroom has a backdrop, layer storeroom_bg's image journal/page, of 600 x 440, "
         "smaller than the screen's 800 x 600",
         kQuiet, ""},
        {"g.inventory[1].partcount = 3",
         "inventory gatekey has partcount 3; its items' inventoryparts give 2", kQuiet, ""},
        {"g.inventory[2].canbeplacedinhud = 'false'",
         "inventory oilcan has canbeplacedinhud \"false\", no true or false: it is taken as true",
         kQuiet, ""},
        // The guide's load-time list.
        {"g.events[table.getn(g.events)].action = 'storoom'",
         "event leave_lockpanel switches to an unknown scene", kSaid,
         "The location has no scene or action 'storoom', which event 'leave_lockpanel' names"},
        {"g.conversations.odo_thanks.nextconversation = 'odo_thank'",
         "conversation odo_thanks goes on to an unknown one", kSaid,
         "The location has no conversation 'odo_thank', which conversation 'odo_thanks' names"},
        {"g.animations[1].layer = 'gatehouse_dor'", "animation door_swing moves an unknown layer",
         kSaid, "The location has no layer 'gatehouse_dor', which animation 'door_swing' names"},
        {"g.storeroom.areas[1].events = nil", "area area_cabinet has no events", kFatal,
         "Area 'area_cabinet' has no \"events\" table, which every area needs"},
        {"g.gatehouse.items[1].inventoryparts = nil", "item item_key_1 has no inventoryparts",
         kFatal, "Item 'item_key_1' has no \"inventoryparts\" table, which every item needs"},
        {"g.inventory[2].type = nil", "inventory oilcan has no type lirae or thessalor", kSaid,
         "Inventory object 'oilcan' has no \"type\": the strip shows only \"lirae\" or "
         "\"thessalor\" objects, so its found parts never show and the location cannot end"},
        {"g.inventory[3].partcount = 0", "inventory lampglass has partcount 0; it needs 1 to 255",
         kSaid, "Inventory object 'lampglass' has \"partcount\" 0; it needs at least 1 part"},
        {"g.gatehouse.items[1].inventoryparts = {}", "item item_key_1 gives its object no part",
         kSaid,
         "Item 'item_key_1' has an empty \"inventoryparts\": it gives inventory object 'gatekey' "
         "no part"},
        {"g.gatehouse.items[2].inventoryparts = { 3 }",
         "item item_key_2 gives part 3 of gatekey, which has 2 parts", kSaid,
         "Item 'item_key_2' gives part 3 of inventory object 'gatekey', which has 2 parts"},
        {"g.gatehouse.items[2].inventoryparts = { 1 }",
         "part 1 of inventory gatekey is given by both item_key_1 and item_key_2", kSaid,
         "Part 1 of inventory object 'gatekey' is given 2 times (by item 'item_key_1', item "
         "'item_key_2')"},
        {"table.insert(g.events, { name = 'tick', nextevent = 'tock' }) "
         "table.insert(g.events, { name = 'tock', nextevent = 'tick' })",
         "event tick leads back to itself through its next events", kSaid,
         "Event 'tick' leads back to itself through its next events ('tick' -> 'tock' -> "
         "'tick'); the chain never ends"},
        {"g.conversations.odo_intro2.nextconversation = 'odo_intro'",
         "conversation odo_intro leads back to itself through its next conversations", kSaid,
         "Conversation 'odo_intro' leads back to itself through its next conversations "
         "('odo_intro' -> 'odo_intro2' -> 'odo_intro')"},
        {"g.animations[1].fade.duration = 3000000000",
         "animation door_swing has a fade duration of ", kSaid,
         "Animation 'door_swing' has a fade \"duration\" of 3e+09 ms: it is taken as the longest "
         "wait"},
        {"for i = 1, 256 do table.insert(g.events, { name = 'e' .. i }) end",
         "the location has more than 255 events", kSaid,
         "The location has 268 events; its record holds at most 255"},
        {"g.gatehouse.layers[2].image = 'scenes/gatehouse/dor'",
         "no image scenes/gatehouse/dor in assets", kSaid,
         "Cannot find picture 'scenes/gatehouse/dor' of 'gatehouse_door'"},
        // What the files the location shares with the game hold.
        {"",
         "scripts/map.lua has no stop location04 in the map's locations for this location, "
         "kLocationScripts[3] of scripts/game.lua: the journey to it ends the game",
         kQuiet, "", "scripts/game.lua", "    \"scripts/locations/crypt.lua\",\n",
         "    \"scripts/locations/crypt.lua\", \"scripts/locations/gatehouse.lua\",\n"},
        {"g.minigames.lockpanel = 'ritualpuzzlescene'",
         "scripts/minigames/ritualpuzzle.lua's ritualpuzzle.patterns.pattern01 has step03 = 9, no "
         "crystal of the five (1 to 5): the ritual's scene ends the game as it loads",
         kFatal,
         "ERROR: Bad step in pattern01 for RitualPuzzleScene! The pattern in "
         "scripts/minigames/ritualpuzzle.lua has step03 = 9; the crystals are 1 to 5",
         "scripts/minigames/ritualpuzzle.lua", "step03 = 4", "step03 = 9"},
        {"g.events[10].nextevnt, g.events[10].nextevent = g.events[10].nextevent",
         "event lamp_lit has the key nextevnt, which no event has: it is never read", kQuiet, ""},
        {"g.gatehouse.items[1].inventroy = 'gatekey'",
         "item item_key_1 has the key inventroy, which no item has: it is never read", kQuiet, ""},
        {"",
         "item item_key_1's picture items/key_half1 is wholly transparent: nothing to see or "
         "click",
         kQuiet, "", "items/key_half1.xml", "<frame x=\"0\" y=\"0\" w=\"40\" h=\"40\"",
         "<frame x=\"0\" y=\"0\" w=\"2\" h=\"2\""},
        {"",
         "image items/key_half2: its description items/key_half2.xml names the sheet "
         "key_half2.png, which is in neither items nor the assets folder",
         kQuiet, "", "items/key_half2.png"},
        {"",
         "image inventory/wick: its description inventory/wick.xml names the sheet objects.png, "
         "which is in neither inventory nor the assets folder",
         kSaid,
         "Inventory object 'gatekey' cannot read its picture 'inventory/gatekey': its description "
         "inventory/gatekey.xml names the frame sheet 'inventory/objects.png', which cannot be "
         "read",
         "inventory/objects.png"},
        {"g.inventory[1].partcount = '3'",
         "inventory gatekey has partcount \"3\"; its items' inventoryparts give 2", kQuiet, ""},
        {"g.gatehouse.items[1].inventoryparts = { 'one' }",
         "item item_key_1 has \"one\" in its inventoryparts, which is no part number", kSaid,
         "Item 'item_key_1' gives part 0 of inventory object 'gatekey', which has 2 parts"},
        {"g.events[1].inventorytoactivate = 'gatekey'",
         "inventory gatekey is handed out by no event: event start's inventorytoactivate names it "
         "as a text, which is no list and never read",
         kSaid,
         "Event 'start' has \"inventorytoactivate\" = 'gatekey', a text where a list is read: it "
         "is never read (a list of one is { 'gatekey' })"},
        {"g.conversations.odo_thanks.charactertospeak = 'miller'",
         "conversation odo_thanks is spoken by \"miller\", which the gameplay window's "
         "characterinfo lacks: the line is skipped",
         kQuiet, ""},
        {"g.gatehouse.layers[2].xcenter = 12",
         "layer gatehouse_door has xcenter without ycenter: the one given is ignored", kQuiet, ""},
    };
    for (const auto& mistake : mistakes)
    {
        SCOPED_TRACE(mistake.lua + std::string(" ") + (mistake.file ? mistake.file : ""));
        plant(mistake.lua);
        const fs::path shared = game / "assets" / (mistake.file ? mistake.file : "");
        const std::string kept = mistake.file ? ReadFile(shared) : "";
        if (mistake.file && mistake.from == nullptr)
            fs::remove(shared);
        else if (mistake.file)
        {
            std::string spoilt = kept;
            ASSERT_NE(spoilt.find(mistake.from), std::string::npos) << mistake.from;
            WriteFile(shared, spoilt.replace(spoilt.find(mistake.from),
                                             std::string(mistake.from).size(), mistake.to));
        }
        const std::string output = Check(game, status);
        EXPECT_NE(output.find(kLocation + ": " + mistake.check), std::string::npos) << output;
        EXPECT_EQ(status, 1);
        if (mistake.load != kQuiet)
        {
            int code = -1;
            RunTraced(game, "focus gained\nwait 40\nclose\n", "start=scripts/dev/gatehouse.lua",
                      code);
            EXPECT_EQ(code, mistake.load == kFatal ? kFatalErrorStatus : 0);
            EXPECT_EQ(LoggedLines(std::string("ERROR:") + mistake.said), 1u) << ReadFile(LogFile());
        }
        if (mistake.file)
            WriteFile(shared, kept);
    }
}

} // namespace
