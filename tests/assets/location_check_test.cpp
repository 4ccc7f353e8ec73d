// The author's location check (tools/locationcheck, run as the guide runs it) on a copy of the
// Gatehouse's script beside the sample game's other files: clean as it is, and each mistake of the
// guide's load-time list that a location's tables show found with its line.
#include "support/files.h"
#include "support/shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace
{
namespace fs = std::filesystem;

const std::string kLocation = "scripts/locations/gatehouse.lua";

class LocationCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The game's files linked in, its scripts copied so the test may spoil one.
        const fs::path assets = fs::path(MURKWELL_SOURCE_DIR) / "assets";
        fs::create_directory(mRoot / "assets");
        for (const fs::directory_entry& entry : fs::directory_iterator(assets))
            if (entry.path().filename() == "scripts")
                fs::copy(entry.path(), mRoot / "assets/scripts", fs::copy_options::recursive);
            else
                fs::create_symlink(entry.path(), mRoot / "assets" / entry.path().filename());
        mText = testsupport::ReadFile(assets / kLocation);
    }
    // The check's output on the location with `lua` run on its tables just before its window is
    // made; `status` its exit status.
    std::string Check(const std::string& lua, int& status)
    {
        std::string text = mText;
        const size_t at = text.find("MakeDialog {");
        text.insert(at, "local g = gameplayinstructions\n" + lua + "\n");
        testsupport::WriteFile(mRoot / "assets" / kLocation, text);
        const std::string command =
            "cd '" + mRoot.string() + "' && '" MURKWELL_LOCATION_CHECK "' " + kLocation + " 2>&1";
        return testsupport::ShellOutput(command, status);
    }

    testsupport::ScratchFolder mScratch{"mw_locationcheck"};
    fs::path mRoot = mScratch.Path();
    std::string mText;
};

TEST_F(LocationCheckTest, FindsTheMistakesOfTheGuidesLoadTimeList)
{
    int status = -1;
    EXPECT_EQ(Check("", status), kLocation + ": no faults\n");
    EXPECT_EQ(status, 0);
    const struct
    {
        const char* lua;
        const char* line;
    } mistakes[] = {
        {"g.events[table.getn(g.events)].action = 'storoom'",
         "event leave_lockpanel switches to an unknown scene"},
        {"g.conversations.odo_thanks.nextconversation = 'odo_thank'",
         "conversation odo_thanks goes on to an unknown one"},
        {"g.animations[1].layer = 'gatehouse_dor'", "animation door_swing moves an unknown layer"},
        {"g.storeroom.areas[1].events = nil", "area area_cabinet has no events"},
        {"g.gatehouse.items[1].inventoryparts = nil", "item item_key_1 has no inventoryparts"},
        {"g.inventory[2].type = nil", "inventory oilcan has no type lirae or thessalor"},
        {"g.inventory[3].partcount = 0", "inventory lampglass has partcount 0; it needs 1 to 255"},
        {"g.gatehouse.items[1].inventoryparts = {}", "item item_key_1 gives its object no part"},
        {"g.gatehouse.items[2].inventoryparts = { 3 }",
         "item item_key_2 gives part 3 of gatekey, which has 2 parts"},
        {"g.gatehouse.items[2].inventoryparts = { 1 }",
         "part 1 of inventory gatekey is given by both"},
        {"table.insert(g.events, { name = 'tick', nextevent = 'tock' }) "
         "table.insert(g.events, { name = 'tock', nextevent = 'tick' })",
         "event tick leads back to itself through its next events"},
        {"g.conversations.odo_intro2.nextconversation = 'odo_intro'",
         "conversation odo_intro leads back to itself through its next conversations"},
        {"g.animations[1].fade.duration = 3000000000",
         "animation door_swing has a fade duration of "},
        {"for i = 1, 256 do table.insert(g.events, { name = 'e' .. i }) end",
         "the location has more than 255 events"},
        {"g.inventory[4].image = 'inventory/wik'", "no image inventory/wik in assets"},
        // A value of another kind is named with its key, and the check goes on.
        {"g.inventory[1].partcount = 'three'",
         "inventory gatekey has partcount \"three\"; it needs 1 to 255"},
        {"g.gatehouse.items[1].x = 'left'", "item item_key_1 lies at x \"left\", y 410"},
        {"g.events[2].layerstoactivate = 'gatehouse_door'",
         "event open_door has layerstoactivate = \"gatehouse_door\", no list: it is never read"},
        {"g.events[6].inventorytoactivate = { wick }",
         "the location reads wick, a name nothing sets: it is nil"},
        // A table of another shape stops the lint itself, which is no clean location.
        {"g.events = 5", "the lint stopped: "},
    };
    for (const auto& mistake : mistakes)
    {
        const std::string output = Check(mistake.lua, status);
        EXPECT_NE(output.find(kLocation + ": " + mistake.line), std::string::npos)
            << mistake.lua << "\n"
            << output;
        EXPECT_EQ(status, 1) << mistake.lua;
    }
}

// Every shipped location reads clean, named below the assets folder or from the repository as a
// shell completes it; a script that does not compile is named with its own file and line.
TEST_F(LocationCheckTest, ShippedLocationsReadCleanAndASyntaxErrorNamesItsFileAndLine)
{
    const std::string command = "cd '" + mRoot.string() + "' && '" MURKWELL_LOCATION_CHECK "' " +
                                kLocation + " assets/scripts/locations/observatory.lua " +
                                "scripts/locations/crypt.lua 2>&1";
    int shipped = -1;
    const std::string output = testsupport::ShellOutput(command, shipped);
    EXPECT_EQ(output, kLocation + ": no faults\n" +
                          "scripts/locations/observatory.lua: no faults\n" +
                          "scripts/locations/crypt.lua: no faults\n");
    EXPECT_EQ(shipped, 0);

    // A table closed with the wrong bracket on the line after the inserted one.
    int status = -1;
    const std::string said = Check("g.scenes = { 'gatehouse' )", status);
    const size_t line = static_cast<size_t>(
        std::count(mText.begin(),
                   mText.begin() + static_cast<std::ptrdiff_t>(mText.find("MakeDialog {")), '\n') +
        2);
    EXPECT_EQ(said.rfind(kLocation + ": " + kLocation + ":" + std::to_string(line) + ": ", 0), 0u)
        << said;
    EXPECT_NE(said.find("}' expected near "), std::string::npos) << said;
    EXPECT_EQ(said.find("the lint stopped"), std::string::npos) << said;
    EXPECT_EQ(status, 1);
}

} // namespace
