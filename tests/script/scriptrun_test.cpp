// The script runner end to end: a file and "-e" code run with the libraries, errors reported on
// standard error with a non-zero exit. Skipped when the runner was not built beside the tests.
#include "support/files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace
{

class ScriptrunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
        mRunner = exe.parent_path().parent_path() / "tools" / "scriptrun";
        if (!std::filesystem::exists(mRunner))
        {
            GTEST_SKIP() << "scriptrun not built at " << mRunner;
        }
    }

    // Runs the runner with the arguments (already quoted), after the prefix (a command that
    // runs it); returns the exit status.
    int Run(const std::string& args, const std::string& prefix = "")
    {
        std::string command = prefix + "'" + mRunner.string() + "' " + args + " >'" +
                              (mDir / "out").string() + "' 2>'" + (mDir / "err").string() + "'";
        int status = std::system(command.c_str());
        mOut = testsupport::ReadFile(mDir / "out");
        mErr = testsupport::ReadFile(mDir / "err");
        return status;
    }

    std::filesystem::path mRunner;
    testsupport::ScratchFolder mScratch{"mw_scriptrun"};
    std::filesystem::path mDir = mScratch.Path();
    std::string mOut;
    std::string mErr;
};

TEST_F(ScriptrunTest, RunsAFileWithTheLibraries)
{
    std::ofstream(mDir / "t.lua") << "print(string.format('%d', math.floor(7.5)), "
                                     "table.getn({1, 2}), L\"w\")\n";
    EXPECT_EQ(Run("'" + (mDir / "t.lua").string() + "'"), 0);
    EXPECT_EQ(mOut, "7\t2\tw\n");
    EXPECT_EQ(mErr, "");
}

TEST_F(ScriptrunTest, RunsCodeAndReportsErrors)
{
    EXPECT_EQ(Run("-e 'print(1 + 1)'"), 0);
    EXPECT_EQ(mOut, "2\n");
    EXPECT_NE(Run("-e 'error(\"boom\")'"), 0);
    EXPECT_EQ(mErr, "scriptrun: (command line):1: boom\n");
    EXPECT_NE(Run("'" + (mDir / "missing.lua").string() + "'"), 0);
    EXPECT_NE(mErr.find("cannot read"), std::string::npos) << mErr;
    EXPECT_NE(Run("-e 'x = = 1'"), 0);
    EXPECT_NE(mErr.find("(command line):1:"), std::string::npos) << mErr;
}

TEST_F(ScriptrunTest, HelpPrintsTheUsageAndSucceeds)
{
    EXPECT_EQ(Run("-e 'print(1)' --help"), 0);
    EXPECT_EQ(mOut.rfind("usage: scriptrun [-e code] [script file] ...\n", 0), 0u) << mOut;
    EXPECT_EQ(mErr, "");
    // Nothing ran.
    EXPECT_EQ(mOut.find("1\n"), std::string::npos);
    EXPECT_EQ(Run("-x"), 256);
    EXPECT_EQ(mErr.rfind("scriptrun: unknown option `-x'\nusage:", 0), 0u) << mErr;
}

TEST_F(ScriptrunTest, SurvivesHostileScripts)
{
    // Deep nesting, endless recursion and huge repetition end with an error, not a crash.
    std::string deep = "x = " + std::string(100000, '(') + "1" + std::string(100000, ')');
    std::ofstream(mDir / "deep.lua") << deep;
    EXPECT_EQ(Run("'" + (mDir / "deep.lua").string() + "'"), 256);
    EXPECT_EQ(Run("-e 'local function f() return 1 + f() end f()'"), 256);
    EXPECT_NE(mErr.find("stack overflow"), std::string::npos) << mErr;
    EXPECT_EQ(Run("-e 'string.rep(\"x\", 1e12)'"), 256);
    EXPECT_EQ(Run("-e 'loadstring(\"\\27Lua\\80\\1\\4\\4\\4\\6\\8\\9\\9\\8\")()'"), 256);
}

TEST_F(ScriptrunTest, ExitsWhenAFinaliserMakesAnotherAtClose)
{
    std::ofstream(mDir / "t.lua") << "local u = newproxy(true)\n"
                                     "getmetatable(u).__gc = function (o) newproxy(o); print('gc') "
                                     "end\n"
                                     "keep = u\n";
    // Bounded by a timeout: without the rule the close never ends.
    EXPECT_EQ(Run("'" + (mDir / "t.lua").string() + "'", "timeout 60 "), 0);
    EXPECT_EQ(mOut, "gc\n");
}

} // namespace
