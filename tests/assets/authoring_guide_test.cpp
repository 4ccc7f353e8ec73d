// The content author's guide (docs/authoring.md) against the code that reads a location: every key
// the loader's sources read from a table is named in the guide, so a key added to the loader
// without a word there fails here.
#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
const fs::path kSource = MURKWELL_SOURCE_DIR;

// What reads a location's script: the runner's loading, the scenes, their entities and events, the
// inventory objects, the conversations, the layers' pictures and motions, the sound tables, the
// game's own entities and factory, and the tutorial prompts.
const std::vector<std::string> kLoaderFolders = {"src/framework/adventure/scene",
                                                 "src/framework/adventure/entities",
                                                 "src/framework/adventure/inventory",
                                                 "src/framework/adventure/tutorials",
                                                 "src/framework/conversation",
                                                 "src/game/entities",
                                                 "src/game/inventory"};
const std::vector<std::string> kLoaderFiles = {
    "src/framework/adventure/runner/gameplay_load.cpp", "src/framework/widgets/animated_bitmap.cpp",
    "src/framework/sound/sound_effect.cpp", "src/game/runner/mkw_gameplay_factory.cpp"};

// Keys a source reads: a call whose first or second argument is a lower-case literal
// (`GetString("name")`, `ReadStringList(table, "nextevent")`), a brace list of such literals (the
// motion blocks' keys), or a brace pair of one with a member (`{"clickmiss", &mSoundClickMiss}`).
// Calls that only name a source file or write a value are not reads.
std::set<std::string> KeysRead(const std::string& text)
{
    static const std::regex kCall(
        "\\b([A-Za-z_]\\w*)\\(\\s*(?:[\\w.*>\\[\\]-]+\\s*,\\s*)?\"([a-z][a-z0-9_]*)\"");
    static const std::regex kBrace("\\{([^{}]*)\\}");
    static const std::regex kList(
        "\\s*\"[a-z][a-z0-9_]*\"\\s*(?:,\\s*\"[a-z][a-z0-9_]*\"\\s*)*,?\\s*");
    static const std::regex kPair("\\s*\"([a-z][a-z0-9_]*)\"\\s*,\\s*[&A-Za-z_][\\s\\S]*");
    static const std::regex kLiteral("\"([a-z][a-z0-9_]*)\"");
    static const std::set<std::string> kNotReads = {
        "TString", "Log", "Fatal", "ReportError", "strcmp", "FindChild", "SetNumber", "Format"};
    std::set<std::string> keys;
    for (std::sregex_iterator it(text.begin(), text.end(), kCall), end; it != end; ++it)
        if (kNotReads.count((*it)[1].str()) == 0)
            keys.insert((*it)[2].str());
    for (std::sregex_iterator it(text.begin(), text.end(), kBrace), end; it != end; ++it)
    {
        const std::string inside = (*it)[1].str();
        std::smatch pair;
        if (std::regex_match(inside, kList))
            for (std::sregex_iterator key(inside.begin(), inside.end(), kLiteral); key != end;
                 ++key)
                keys.insert((*key)[1].str());
        else if (std::regex_match(inside, pair, kPair))
            keys.insert(pair[1].str());
    }
    return keys;
}

TEST(AuthoringGuide, NamesEveryKeyTheLocationLoaderReads)
{
    std::vector<fs::path> sources;
    for (const std::string& folder : kLoaderFolders)
    {
        ASSERT_TRUE(fs::is_directory(kSource / folder)) << folder << " moved: follow it here";
        for (const fs::directory_entry& entry : fs::directory_iterator(kSource / folder))
            if (entry.path().extension() == ".cpp")
                sources.push_back(entry.path());
    }
    for (const std::string& file : kLoaderFiles)
    {
        ASSERT_TRUE(fs::is_regular_file(kSource / file)) << file << " moved: follow it here";
        sources.push_back(kSource / file);
    }
    std::set<std::string> keys;
    for (const fs::path& source : sources)
        for (const std::string& key : KeysRead(testsupport::ReadFile(source)))
            keys.insert(key);
    // Each shape of reading is caught: plain calls, lists read by name, the motion blocks' brace
    // list and the sound pairs.
    for (const char* known : {"gameplayinstructions", "hasactiveframe", "nextevent", "fade",
                              "beginx", "clickmiss", "nextconversation", "canbeplacedinhud"})
        EXPECT_EQ(keys.count(known), 1u) << "the scan misses " << known;
    EXPECT_GT(keys.size(), 250u);

    const std::string guide = testsupport::ReadFile(kSource / "docs/authoring.md");
    ASSERT_FALSE(guide.empty());
    std::vector<std::string> unnamed;
    for (const std::string& key : keys)
        if (guide.find("`" + key + "`") == std::string::npos)
            unnamed.push_back(key);
    std::string list;
    for (const std::string& key : unnamed)
        list += " " + key;
    EXPECT_TRUE(unnamed.empty()) << "docs/authoring.md names no `key` for:" << list;
}

} // namespace
