// End-to-end tests of a start as whoever started the program sees it: a start that cannot go on
// says why in one line on standard error and ends with a status that is not 0; a relative "-wd="
// is taken from the folder the program was started in, wherever the program lies; the data folder
// may be as deep as the system allows, and a start without any says where the files go.
#include "support/files.h"
#include "sys/process/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;

class StartUpTest : public ProgramTest
{
protected:
    // The lines the last run wrote on standard error.
    std::string Said() const { return ReadFile(mErrorFile); }

    // Runs the program on the test's game folder with these arguments; answers its exit code.
    int RunOnGame(std::vector<std::string> args)
    {
        mErrorFile = mRoot / "stderr.txt";
        args.insert(args.begin(), {"--multiple", "-wd=" + (mRoot / "game").string()});
        const int pid = Start(args, {"MURKWELL_INPUT_SCRIPT=" + mInput.string()});
        EXPECT_GT(pid, 0);
        return pid > 0 ? WaitForEnd(pid) : -1;
    }

    // The program as a file of a folder of its own, with nothing beside it: a link where the
    // file system allows, else a copy.
    fs::path LoneProgram() { return PlaceProgram(mRoot / "bin/murkwell"); }

    // Starts `program` from `folder` with standard error kept, HOME and XDG_DATA_HOME left out
    // when `withoutDataFolder`; answers the exit code.
    int RunFrom(const fs::path& folder, const fs::path& program, std::vector<std::string> args,
                bool withoutDataFolder = false)
    {
        mErrorFile = mRoot / "stderr.txt";
        std::vector<std::string> argv = {
            "/bin/sh", "-c",
            std::string(withoutDataFolder ? "unset HOME XDG_DATA_HOME; " : "") +
                "cd \"$MW_FROM\" && exec \"$0\" \"$@\" 2>\"$MW_ERRORS\"",
            program.string(), "--multiple"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = mEnv;
        env.insert(env.end(),
                   {"MW_FROM=" + folder.string(), "MW_ERRORS=" + mErrorFile.string(),
                    "MURKWELL_INPUT_SCRIPT=" + mInput.string(), "MURKWELL_FIXED_STEP=16"});
        const int pid = sys::SpawnProcess(argv, env);
        EXPECT_GT(pid, 0);
        if (pid <= 0)
            return -1;
        mStarted.push_back(pid);
        return WaitForEnd(pid);
    }

    void SetUp() override
    {
        ProgramTest::SetUp();
        WriteFile(mInput, "focus gained\nwait 5\nclose\n");
    }

    const fs::path mInput = mRoot / "input.txt";
};

// A missing script, a picture and a folder as the first screen: each ends the run with 1 and its
// line, where the run before would show an empty window with the reason only in the log.
TEST_F(StartUpTest, AFirstScreenThatCannotBeRunIsSaidOnStandardErrorAndEndsWithOne)
{
    WriteFile(mRoot / "game/assets/scripts/picture.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    fs::create_directories(mRoot / "game/assets/scripts/folder");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"scripts/none.lua", "cannot read assets/scripts/none.lua: No such file or directory"},
        {"scripts/picture.png", "assets/scripts/picture.png:"},
        {"scripts/folder", "cannot read assets/scripts/folder: "}};
    for (const auto& [screen, reason] : cases)
    {
        EXPECT_EQ(RunOnGame({"options=start=" + screen}), 1) << screen;
        const std::string said = Said();
        const std::string line = "The first screen " + screen + " cannot be run (" + reason;
        EXPECT_EQ(said.rfind(line, 0), 0u) << said;
        EXPECT_NE(said.find("): nothing to run\n"), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    }
}

// A host window that is no window ends with the code the start-up has always given it (-1), and
// the line says which value was refused.
TEST_F(StartUpTest, AHostWindowThatIsNoWindowIsSaidOnStandardError)
{
    EXPECT_EQ(RunOnGame({"-wnd=zzzz"}), 255);
    EXPECT_EQ(Said(), "The host window \"-wnd=zzzz\" is no window: the game cannot start inside "
                      "it.\n");
    EXPECT_FALSE(fs::exists(LogFile()));
}

// The README's "-wd=." from the game's folder, with the program lying elsewhere with no assets
// beside it.
TEST_F(StartUpTest, ARelativeWorkingFolderIsTakenFromWhereTheProgramWasStarted)
{
    const fs::path program = LoneProgram();
    EXPECT_EQ(RunFrom(mRoot / "game", program, {"-wd=."}), 0);
    EXPECT_EQ(Said(), "");
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(": Murkwell, version "), std::string::npos) << log;
    EXPECT_EQ(log.find("cannot be made current"), std::string::npos) << log;

    // A name that leads nowhere from there is said too, then the start that fails for it.
    EXPECT_EQ(RunFrom(mRoot / "game", program, {"-wd=assets/nowhere"}), 1);
    EXPECT_EQ(Said(), "The folder \"assets/nowhere\" cannot be made current; staying in \"" +
                          (mRoot / "bin").string() +
                          "\".\nThe start-up script scripts/mainloop.lua is missing: nothing to "
                          "run\n");
}

// A data folder of more than 260 bytes holds the player's files; without HOME and XDG_DATA_HOME
// they go beside the program, said once.
TEST_F(StartUpTest, TheDataFolderMayBeDeepAndWithoutOneTheFilesPlaceIsSaid)
{
    std::string deep = (mRoot / "data").string();
    while (deep.size() < 600)
        deep += "/" + std::string(200, 'd');
    // A new player: the preferences and the scores are written.
    WriteFile(mInput, kNewPlayer + "close\n");
    std::erase_if(mEnv, [](const std::string& e) { return e.starts_with("XDG_DATA_HOME="); });
    mEnv.push_back("XDG_DATA_HOME=" + deep);
    const fs::path program = LoneProgram();
    EXPECT_EQ(
        RunFrom(MURKWELL_SOURCE_DIR, program, {"-wd=.", "options=start=scripts/mainmenu.lua"}), 0);
    for (const char* file : {"logfile.txt", "prefs.dat", "hiscore.dat"})
    {
        EXPECT_TRUE(fs::exists(fs::path(deep) / "Tovrix/Murkwell" / file)) << file;
        EXPECT_FALSE(fs::exists(mRoot / "bin" / file)) << file;
    }
    EXPECT_EQ(Said(), "");

    WriteFile(mInput, "focus gained\nwait 5\nkey 13 alt\nwait 5\nclose\n");
    EXPECT_EQ(RunFrom(mRoot / "game", program, {"-wd=."}, true), 0);
    EXPECT_EQ(Said(), "ERROR: No data folder can be had (neither XDG_DATA_HOME nor HOME names an "
                      "absolute folder): profiles, options, scores and the log go to '" +
                          (mRoot / "bin").string() + "'.\n");
    EXPECT_TRUE(fs::exists(mRoot / "bin/logfile.txt"));
    EXPECT_TRUE(fs::exists(mRoot / "bin/prefs.dat"));
}

} // namespace
