// The Observatory's and the Crypt's content as the engine meets it: both location scripts run by
// the engine's script engine under the locations' lint (every name they use exists, every rule and
// cross-reference holds, and the rules these two lean on catch their breaks), and their generated
// descriptions read through the engine's loaders.
#include "assets/location_lint_support.h"
#include "render/sprite_test_support.h"
#include "support/file_layer_fixture.h"

#include "render/sprites/animated_texture.h"
#include "script/script.h"

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <tuple>

namespace observatory_crypt_content_test
{
namespace
{
using locationlint::kAssets;
using locationlint::LintResult;
using locationlint::Missing;
const std::string kObservatory = "scripts/locations/observatory.lua";
const std::string kCrypt = "scripts/locations/crypt.lua";

// Runs the lint over `location`, its text changed from `pattern` to `with` when a pattern is given.
LintResult RunLint(const std::string& location, const std::string& pattern = "",
                   const std::string& with = "")
{
    return locationlint::RunLocationLint(location,
                                         [&](const std::string& path, std::string text)
                                         {
                                             if (pattern.empty() || path != location)
                                                 return text;
                                             const std::string changed = std::regex_replace(
                                                 text, std::regex(pattern), with);
                                             EXPECT_NE(changed, text) << pattern;
                                             return changed;
                                         });
}

bool Has(const std::vector<std::string>& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line)
                       { return line.find(part) != std::string::npos; });
}

TEST(ObservatoryCryptContent, BothLocationsPassTheLintAndEveryNameTheyUseExists)
{
    const std::vector<std::pair<std::string, std::vector<const char*>>> locations = {
        {kObservatory,
         {"image scenes/observatory/candle", "image areas/eyepiece", "image scenes/telescope/frame",
          "image puzzles/draco", "image items/lens", "image inventory/candle",
          "sound music_observatory", "label inv_lens", "label area_back_name",
          "label journal_scroll", "label tutorial_lirae"}},
        {kCrypt,
         {"image scenes/crypt/brazier_fire", "image scenes/crypt/hearth_fire",
          "image scenes/vault/slab", "image areas/vaultcover", "image items/hearthstone",
          "image inventory/flint", "file fx/embers.lua", "sound music_crypt",
          "label area_vaultcover_name", "label journal_hearth", "label tutorial_thessalor"}},
    };
    for (const auto& [location, needs] : locations)
    {
        SCOPED_TRACE(location);
        const LintResult result = RunLint(location);
        EXPECT_TRUE(result.faults.empty()) << result.faults.front();
        for (const char* need : needs)
            EXPECT_NE(std::find(result.needs.begin(), result.needs.end(), need), result.needs.end())
                << need;
        // Later locations carry the two medallion prompts only.
        EXPECT_FALSE(Has(result.needs, "label tutorial_item"));
        const std::vector<std::string> missing = Missing(result.needs);
        EXPECT_TRUE(missing.empty()) << missing.front() << " (run `make assets`)";
    }
}

TEST(ObservatoryCryptContent, TheRulesTheseLocationsLeanOnCatchTheirBreaks)
{
    const std::vector<std::tuple<std::string, const char*, const char*, const char*>> breaks = {
        // A puzzle's completion that stays in the puzzle's scene.
        {kObservatory, "name = \"event_heavenscomplete\", action = \"observatory\",",
         "name = \"event_heavenscomplete\",", "event_heavenscomplete does not switch scene"},
        {kCrypt, "name = \"event_threelockscomplete\", action = \"crypt\",",
         "name = \"event_threelockscomplete\", action = \"scene_complete\",",
         "event_threelockscomplete does not switch scene"},
        {kObservatory, "inventoryparts = \\{ 1 \\},", "", "has no inventoryparts"},
        {kCrypt, "type = \"lirae\" \\},", "},", "inventory hearthstone has no type"},
        {kCrypt, "particlestodeactivate = \\{ \"brazier_embers\"",
         "particlestodeactivate = { \"brazier_sparks\"",
         "unknown particlestodeactivate brazier_sparks"},
        {kCrypt, "\"goto_vault\"\\)", "\"goto_cellar\")", "area_vault runs an unknown event"},
        {kObservatory, "number = 2,", "number = 5,", "no entry for the location's number"},
    };
    for (const auto& [location, pattern, with, fault] : breaks)
    {
        SCOPED_TRACE(fault);
        EXPECT_TRUE(Has(RunLint(location, pattern, with).faults, fault));
    }
}

class ObservatoryCryptLoaders : public rendertest::DisplayTest
{
protected:
    void SetUp() override
    {
        DisplayTest::SetUp();
        Platform().SetDisplay(800, 600, false, false, false, false);
        ASSERT_TRUE(Platform().IsDisplayReady());
    }
    // The description `name` (below assets/, without ".xml") read over `sheet`.
    const TAnimationDescription* Load(const std::string& name, const std::string& sheet)
    {
        mFiles.Add(name + ".xml", filetest::ReadBytes(kAssets + "/" + name + ".xml"));
        mFiles.Add(sheet, filetest::ReadBytes(kAssets + "/" + sheet));
        mLoaded.push_back(TAnimatedTexture::Get(name.c_str()));
        return mLoaded.back() != nullptr ? &mLoaded.back()->GetDescription() : nullptr;
    }
    spritetest::MemoryFiles mFiles;
    std::vector<std::shared_ptr<TAnimatedTexture>> mLoaded;
};

TEST_F(ObservatoryCryptLoaders, AreasObjectsItemsAndFiresGiveTheirFramesRegisteredAtTheirMiddles)
{
    // Description, its sheet, frames, frame size (0: any).
    const std::vector<std::tuple<std::string, std::string, int32_t, int32_t, int32_t>> all = {
        {"areas/desk", "scenes/observatory/areas.png", 3, 240, 200},
        {"areas/scroll", "scenes/observatory/areas.png", 3, 240, 200},
        {"areas/telescope", "scenes/observatory/areas.png", 3, 240, 200},
        {"areas/eyepiece", "scenes/observatory/areas.png", 3, 240, 200},
        {"areas/brazier", "scenes/crypt/areas.png", 3, 220, 220},
        {"areas/altar", "scenes/crypt/areas.png", 3, 220, 220},
        {"areas/vault", "scenes/crypt/areas.png", 3, 220, 220},
        {"areas/hearth", "scenes/crypt/areas.png", 3, 220, 220},
        {"areas/vaultcover", "scenes/vault/areas.png", 3, 336, 196},
        {"inventory/candle", "inventory/objects.png", 3, 64, 48},
        {"inventory/lens", "inventory/objects.png", 3, 64, 48},
        {"inventory/flint", "inventory/objects.png", 3, 64, 48},
        {"inventory/hearthstone", "inventory/objects.png", 3, 64, 48},
        {"items/candle", "items/candle.png", 1, 32, 44},
        {"items/lens", "items/lens.png", 1, 40, 40},
        {"items/flint", "items/flint.png", 1, 40, 40},
        {"items/hearthstone", "items/hearthstone.png", 1, 44, 40},
        {"scenes/crypt/brazier_fire", "scenes/crypt/brazier_fire_sheet.png", 4, 64, 96},
        {"scenes/crypt/hearth_fire", "scenes/crypt/hearth_fire_sheet.png", 4, 64, 96},
    };
    for (const auto& [name, sheet, frames, w, h] : all)
    {
        SCOPED_TRACE(name);
        const TAnimationDescription* d = Load(name, sheet);
        ASSERT_NE(d, nullptr) << "run `make assets`\n" << Log();
        ASSERT_EQ(d->mFrameCount, frames);
        for (const TAnimationFrame& f : d->mFrames)
        {
            EXPECT_EQ(std::make_pair(f.mW, f.mH), std::make_pair(w, h));
            EXPECT_EQ(std::make_pair(f.mRegX * 2, f.mRegY * 2), std::make_pair(f.mW, f.mH));
        }
    }
    EXPECT_EQ(Log().find("Animation"), std::string::npos) << Log();
}
} // namespace

} // namespace observatory_crypt_content_test
