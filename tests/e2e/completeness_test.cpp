// The completeness check (ctest "completeness"): every class of tests/e2e/data/completeness/
// classes.txt declared in a header of its layer; every window type and global function the lists
// name offered by the running game at the menu, asked by a probe start script on a copy of the
// content; every window-bound function a name the program binds. Planted gaps are named.
#include "e2e/program_test_support.h"

#include <map>
#include <set>
#include <sstream>

namespace e2etest
{
namespace
{

const fs::path kLists = fs::path(MURKWELL_SOURCE_DIR) / "tests/e2e/data/completeness";

// The list's names, blank lines and "#" comments left out.
std::vector<std::string> ReadList(const fs::path& file)
{
    std::vector<std::string> names;
    std::istringstream in(ReadFile(file));
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#')
            names.push_back(line);
    EXPECT_FALSE(names.empty()) << file << " lists nothing";
    return names;
}

// Every class or struct defined (not only declared ahead) in a header below `src`: its name and
// the headers' paths relative to `src`.
std::map<std::string, std::vector<std::string>> DefinedClasses(const fs::path& src)
{
    static const std::regex definition(
        R"((?:^|[\s;{}])(?:class|struct)\s+(?:\[\[[^\]]*\]\]\s*)?(\w+)(?:\s+final)?\s*(?::[^;{]*)?\{)");
    std::map<std::string, std::vector<std::string>> classes;
    for (const auto& entry : fs::recursive_directory_iterator(src))
    {
        if (entry.path().extension() != ".h")
            continue;
        const std::string text = ReadFile(entry.path());
        const std::string where = fs::relative(entry.path(), src).generic_string();
        for (std::sregex_iterator it(text.begin(), text.end(), definition), end; it != end; ++it)
            classes[(*it)[1]].push_back(where);
    }
    return classes;
}

// The lines "<folder> <class>" of the list whose class no header below src/<folder>/ defines.
std::vector<std::string> MissingClasses(const fs::path& src, const std::vector<std::string>& list)
{
    const auto classes = DefinedClasses(src);
    std::vector<std::string> missing;
    for (const std::string& line : list)
    {
        std::istringstream fields(line);
        std::string folder;
        std::string name;
        fields >> folder >> name;
        const auto found = classes.find(name);
        bool there = false;
        for (const std::string& header :
             found == classes.end() ? std::vector<std::string>() : found->second)
            there = there || header.starts_with(folder + "/");
        if (!there)
            missing.push_back(line);
    }
    return missing;
}

// The names no source file below `src` binds: each must appear as a string literal in a file that
// binds script functions.
std::vector<std::string> UnboundNames(const fs::path& src, const std::vector<std::string>& names)
{
    std::string binders;
    for (const auto& entry : fs::recursive_directory_iterator(src))
    {
        if (entry.path().extension() != ".cpp")
            continue;
        const std::string text = ReadFile(entry.path());
        if (text.find("LuaBindMember(") != std::string::npos ||
            text.find("LuaBindFunction(") != std::string::npos)
            binders += text;
    }
    std::vector<std::string> unbound;
    for (const std::string& name : names)
        if (binders.find('"' + name + '"') == std::string::npos)
            unbound.push_back(name);
    return unbound;
}

std::string LuaList(const std::vector<std::string>& names)
{
    std::string list = "{";
    for (const std::string& name : names)
        list += " \"" + name + "\",";
    return list + " }";
}

class CompletenessTest : public ScreenProgramTest
{
protected:
    // Starts a copy of the content whose start-up script, after one wait, prints a line for each
    // listed function and window type that is no global function, then "probe done", and ends
    // the run. Answers what it printed.
    std::string Probe(const std::vector<std::string>& functions,
                      const std::vector<std::string>& types)
    {
        const fs::path game = CopyGame("probe" + std::to_string(mRuns));
        WriteFile(game / "assets/scripts/mainloop.lua",
                  "ReadFile(\"scripts/game.lua\")\n"
                  "local functions = " +
                      LuaList(functions) +
                      "\n"
                      "local types = " +
                      LuaList(types) +
                      "\n"
                      "local function Report(names, what)\n"
                      "    for i = 1, table.getn(names) do\n"
                      "        if type(_G[names[i]]) ~= \"function\" then\n"
                      "            print(\"missing \" .. what .. \" \" .. names[i])\n"
                      "        end\n"
                      "    end\n"
                      "end\n"
                      "return function()\n"
                      "    Yield()\n"
                      "    Report(functions, \"function\")\n"
                      "    Report(types, \"window type\")\n"
                      "    print(\"probe done\")\n"
                      "    PostMessage(CreateNamedMessage(kQuitNow, \"quit\"))\n"
                      "end\n");
        const fs::path output = game / "probe.txt";
        mOutputFile = output;
        std::error_code ignored;
        fs::remove(LogFile(), ignored);
        EXPECT_EQ(RunScripted(game, "focus gained\nwait 600\nclose\n"), 0);
        mOutputFile.clear();
        ExpectCleanLog();
        return ReadFile(output);
    }

    const fs::path mSource = fs::path(MURKWELL_SOURCE_DIR) / "src";
};

TEST_F(CompletenessTest, EveryListedClassIsDefinedInItsLayerAndAPlantedGapIsNamed)
{
    const std::vector<std::string> classes = ReadList(kLists / "classes.txt");
    EXPECT_EQ(MissingClasses(mSource, classes), std::vector<std::string>());

    // A copy of the headers without one class's header; and a class listed in a layer it is not
    // in.
    const fs::path planted = mRoot / "src";
    for (const auto& entry : fs::recursive_directory_iterator(mSource))
    {
        if (entry.path().extension() != ".h")
            continue;
        const fs::path copy = planted / fs::relative(entry.path(), mSource);
        fs::create_directories(copy.parent_path());
        fs::copy_file(entry.path(), copy);
    }
    ASSERT_TRUE(fs::remove(planted / "game/minigames/puzzles/heavens/heavens_scene.h"));
    std::vector<std::string> wrong = classes;
    wrong.push_back("ui TPrefs");
    EXPECT_EQ(MissingClasses(planted, wrong),
              (std::vector<std::string>{"game HeavensScene", "ui TPrefs"}));
}

TEST_F(CompletenessTest, EveryWindowBoundFunctionIsANameTheProgramBinds)
{
    std::vector<std::string> names = ReadList(kLists / "window_functions.txt");
    EXPECT_EQ(UnboundNames(mSource, names), std::vector<std::string>());
    names.push_back("HudMiddleClick");
    EXPECT_EQ(UnboundNames(mSource, names), std::vector<std::string>{"HudMiddleClick"});
}

TEST_F(CompletenessTest, TheRunningGameOffersEveryListedFunctionAndWindowType)
{
    const std::vector<std::string> functions = ReadList(kLists / "script_functions.txt");
    std::vector<std::string> types = ReadList(kLists / "window_types.txt");
    EXPECT_EQ(Probe(functions, types), "probe done\n");

    // A window type the game does not register is named.
    types.insert(types.begin() + 3, "Dropdown");
    EXPECT_EQ(Probe(functions, types), "missing window type Dropdown\nprobe done\n");
}

} // namespace
} // namespace e2etest
