// The sample game's tutorial table: twelve prompts for the first location, the two medallion
// prompts for the others, each with a label in the string table and its own flag bit.
#include "script/script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace tutorials_table_test
{
namespace
{

const std::string kAssets = std::string(MURKWELL_SOURCE_DIR) + "/assets";

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST(TutorialTable, AllPromptsFirstThenTheMedallionPromptsLabelledAndEachOnItsOwnBit)
{
    TScript script;
    script.Init();
    script.DoLuaString(Read(kAssets + "/scripts/tutorials.lua").c_str());
    script.DoLuaString(
        "_first = TutorialTable(true) _later = TutorialTable(false) "
        "_n1 = table.getn(_first) _n2 = table.getn(_later) _info = _first.info.dialog "
        "_names = '' for i, t in ipairs(_first) do "
        "_names = _names .. t.name .. '=' .. t.index .. ' ' end "
        "_later1 = _later[1].name .. ' ' .. _later[2].name");
    EXPECT_EQ(script.GetGlobalNumber("_n1"), 12);
    EXPECT_EQ(script.GetGlobalNumber("_n2"), 2);
    EXPECT_STREQ(script.GetGlobalString("_info").c_str(), "tutorial/dialog");
    EXPECT_STREQ(script.GetGlobalString("_later1").c_str(), "tutorial_lirae tutorial_thessalor");

    const std::string strings = Read(kAssets + "/strings.xml");
    std::istringstream names(script.GetGlobalString("_names").c_str());
    std::set<std::string> bits;
    for (std::string entry; names >> entry;)
    {
        const std::string name = entry.substr(0, entry.find('='));
        bits.insert(entry.substr(entry.find('=') + 1));
        EXPECT_NE(strings.find("<Data ss:Type=\"String\">" + name + "</Data>"), std::string::npos)
            << name;
    }
    EXPECT_EQ(bits.size(), 12u);
}

} // namespace

} // namespace tutorials_table_test
