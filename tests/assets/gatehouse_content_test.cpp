// The Gatehouse's content as the engine meets it: its location script run by the engine's script
// engine under a lint that walks the tables (every picture, sound, label and file it names exists;
// every cross-reference and content rule holds), each rule shown to catch its own break, and the
// generated pictures, descriptions and mesh read through the engine's loaders.
#include "assets/location_lint_support.h"
#include "render/sprite_test_support.h"
#include "support/file_layer_fixture.h"

#include "platform/config/config.h"
#include "render/renderer/model.h"
#include "render/sprites/animated_texture.h"
#include "render/textures/texture.h"
#include "script/script.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <tuple>
#include <utility>

namespace gatehouse_content_test
{
namespace
{
using locationlint::kAssets;
using locationlint::LintResult;
using locationlint::Missing;
const char* const kLocation = "scripts/locations/gatehouse.lua";

// Runs the lint over the location, with `edit` applied to the text of the script `edited`.
LintResult RunLint(const std::string& edited = "",
                   const std::function<std::string(std::string)>& edit = nullptr)
{
    return locationlint::RunLocationLint(kLocation, [&](const std::string& path, std::string text)
                                         { return edit && edited == path ? edit(text) : text; });
}

bool HasFault(const LintResult& result, const std::string& part)
{
    for (const std::string& fault : result.faults)
        if (fault.find(part) != std::string::npos)
            return true;
    return false;
}

std::function<std::string(std::string)> Replace(const std::string& pattern, const std::string& with)
{
    return [=](const std::string& text)
    { return std::regex_replace(text, std::regex(pattern), with); };
}

TEST(GatehouseContent, TheLocationPassesTheLintAndEveryNameItUsesExists)
{
    const LintResult result = RunLint();
    EXPECT_TRUE(result.faults.empty()) << result.faults.front();
    // The walk reached every kind of name: the scenes' pictures, the sounds, labels and scripts.
    for (const char* need :
         {"image scenes/gatehouse/lit", "image areas/back_bottom", "image cursor/wait",
          "image hud/pulse", "sound voice_odo_1?group=1102", "sound music_puzzle",
          "label conv_odo_thanks", "label inv_wick", "label tutorial_thessalor",
          "label journal_wick", "file scripts/portals/keeper.lua", "file fx/burst.lua",
          "file models/lantern.mesh", "file cursor/crazy_path.txt"})
        EXPECT_NE(std::find(result.needs.begin(), result.needs.end(), need), result.needs.end())
            << need;
    const std::vector<std::string> missing = Missing(result.needs);
    EXPECT_TRUE(missing.empty()) << missing.front() << " (run `make assets`)";
}

TEST(GatehouseContent, EachRuleCatchesItsOwnBreak)
{
    const std::vector<std::tuple<const char*, std::string, std::string, const char*>> breaks = {
        {kLocation, "inventoryparts = \\{ part or 1 \\},", "", "has no inventoryparts"},
        {kLocation, "events = \\{\\},", "", "area area_keeper has no events"},
        {kLocation, "sound = \"voice_odo_keeper\\?group=1102\", ", "",
         "conversation odo_keeper has no voice"},
        {kLocation, "name = \"start\",", "name = \"start\", action = \"storeroom\",",
         "initial_event has an action"},
        {kLocation, "nextevent = \"gatehouse_done\"", "nextevent = \"nowhere\"",
         "lamp_lit goes on to an unknown event"},
        {kLocation, "\"goto_lockpanel\"\\)", "\"goto_attic\")", "runs an unknown event"},
        {kLocation, "type = \"thessalor\" \\},\n        \\{ name = \"oilcan\"",
         "},\n        { name = \"oilcan\"", "inventory gatekey has no type"},
        {kLocation, "particlestodeactivate = \\{ \"lamp_glow\"",
         "particlestodeactivate = { \"lamp_gleam\"", "unknown particlestodeactivate lamp_gleam"},
        {kLocation, "lockpanel = \"electroniclockscene\"", "vault = \"threelocksscene\"",
         "minigame scene vault"},
        {"scripts/locations/common.lua", "scaleequip = 1.1", "scaleequip = 0.5",
         "scaleequip is below 1"},
        {"scripts/locations/common.lua", "timehintminishow = 45000", "timehintminishow = 0",
         "timehintminishow is short"},
        {"scripts/locations/common.lua",
         "ReadFile\\(\"scripts/journal.lua\"\\)\\(opts.journal\\),\n(.*)\n",
         "$1\nReadFile(\"scripts/journal.lua\")(opts.journal),\n",
         "the journal comes after the HUD"},
        {"scripts/styles.lua", "widthperline = 240", "widthperline = 0",
         "widthperline is not positive"},
        {"scripts/hud.lua", "medallionspinduration = 800", "medallionspinduration = 0",
         "medallionspinduration is not positive"},
        {"scripts/tutorials.lua", "50, 500, 170, 80", "50, 500, 250, 400",
         "prompt tutorial_thessalor covers item item_oilcan"},
    };
    for (const auto& [script, pattern, with, fault] : breaks)
    {
        SCOPED_TRACE(fault);
        const LintResult result = RunLint(script, Replace(pattern, with));
        EXPECT_TRUE(HasFault(result, fault));
    }
    // A label, a picture or a sound the tables name but assets/ lacks.
    const LintResult renamed =
        RunLint(kLocation,
                [](std::string text)
                {
                    text = std::regex_replace(text, std::regex("conv_odo_thanks"), "conv_odo_bye");
                    text = std::regex_replace(text, std::regex("items/wick"), "items/candlewick");
                    return std::regex_replace(text, std::regex("\"wind\""), "\"gale\"");
                });
    std::vector<std::string> missing = Missing(renamed.needs);
    std::sort(missing.begin(), missing.end());
    EXPECT_EQ(missing, (std::vector<std::string>{"image items/candlewick", "label conv_odo_bye",
                                                 "sound gale"}));
}

class GatehouseLoaders : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    void Serve(const std::string& name)
    {
        mFiles.Add(name, filetest::ReadBytes(kAssets + "/" + name));
    }
    spritetest::MemoryFiles mFiles;
};

TEST_F(GatehouseLoaders, AreaAndObjectDescriptionsGiveTheirFramesRegisteredAtTheirMiddles)
{
    const std::vector<std::pair<std::string, std::string>> areas = {
        {"door", "gatehouse"},     {"doorway", "gatehouse"},    {"keeper", "gatehouse"},
        {"lamp_oil", "gatehouse"}, {"lamp_glass", "gatehouse"}, {"lamp_wick", "gatehouse"},
        {"cabinet", "storeroom"},  {"back_left", "storeroom"},  {"back_bottom", "lockpanel"}};
    for (const char* scene : {"gatehouse", "storeroom", "lockpanel"})
        Serve(std::string("scenes/") + scene + "/areas.png");
    for (const auto& [area, scene] : areas)
    {
        SCOPED_TRACE(area);
        Serve("areas/" + area + ".xml");
        std::shared_ptr<TAnimatedTexture> sheet = TAnimatedTexture::Get(("areas/" + area).c_str());
        ASSERT_NE(sheet, nullptr) << "run `make assets`\n" << Log();
        const TAnimationDescription& d = sheet->GetDescription();
        ASSERT_EQ(d.mFrameCount, 3);
        for (const TAnimationFrame& f : d.mFrames)
            EXPECT_EQ(std::make_pair(f.mRegX * 2, f.mRegY * 2), std::make_pair(f.mW, f.mH));
    }
    Serve("inventory/objects.png");
    for (const auto& [object, frames] : std::vector<std::pair<std::string, int32_t>>{
             {"gatekey", 4}, {"oilcan", 3}, {"lampglass", 3}, {"wick", 3}})
    {
        SCOPED_TRACE(object);
        Serve("inventory/" + object + ".xml");
        std::shared_ptr<TAnimatedTexture> sheet =
            TAnimatedTexture::Get(("inventory/" + object).c_str());
        ASSERT_NE(sheet, nullptr) << Log();
        const TAnimationDescription& d = sheet->GetDescription();
        ASSERT_EQ(d.mFrameCount, frames);
        EXPECT_EQ(std::make_pair(d.mFrames[0].mW, d.mFrames[0].mH), std::make_pair(64, 48));
    }
    EXPECT_EQ(Log().find("Animation"), std::string::npos) << Log();
}

TEST_F(GatehouseLoaders, TheLoadingCursorTheLanternAndTheLitOverlayLoad)
{
    Serve("cursor/wait.anm");
    Serve("cursor/wait_sheet.png");
    std::shared_ptr<TAnimatedTexture> wait = TAnimatedTexture::Get("cursor/wait");
    ASSERT_NE(wait, nullptr) << "run `make assets`\n" << Log();
    EXPECT_EQ(wait->GetDescription().mFrameCount, 4);

    Serve("models/lantern.mesh");
    std::shared_ptr<TModel> lantern = TModel::Get("models/lantern.mesh");
    ASSERT_NE(lantern, nullptr) << Log();
    EXPECT_EQ(lantern->GetMesh()->GetVertexCount(), 34u);
    EXPECT_EQ(lantern->GetMesh()->GetIndexCount(), 3u * 64u);

    // The overlay's alpha is its grey mask's: full over the lamp, faint in the far corner.
    SetConfig("automergemask", "1");
    Serve("scenes/gatehouse/lit.jpg");
    Serve("scenes/gatehouse/lit.mask.png");
    std::shared_ptr<TTexture> lit = TTexture::Get("scenes/gatehouse/lit.jpg", 0);
    ASSERT_NE(lit, nullptr) << Log();
    EXPECT_TRUE(lit->HasAlpha());
    uint32_t* pixels = nullptr;
    int pitch = 0;
    ASSERT_TRUE(lit->Lock(pixels, pitch));
    // The picture sits at the surface's top-left corner, its rows `pitch` texels apart.
    const auto alpha = [&](int x, int y) { return pixels[y * pitch + x] >> 24; };
    EXPECT_GE(alpha(330, 260), 0xF0u);
    EXPECT_LE(alpha(790, 590), 0x60u);
    lit->Unlock();
}
} // namespace

} // namespace gatehouse_content_test
