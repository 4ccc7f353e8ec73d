// The whole game end to end: the input scripts' `await` on a whole program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/program_test_support.h"

namespace
{
using namespace e2etest;
using Traces = std::vector<std::string>;

class WalkthroughTest : public ScreenProgramTest
{
protected:
    std::string ErrorOutput() const { return ReadFile(mRoot / "errors.txt"); }
};

// An await whose line comes lets the script go on; one whose line never comes ends the run at
// once with its line on standard error, the program closing as on any close request.
TEST_F(WalkthroughTest, AnAwaitThatTimesOutEndsTheRun)
{
    mErrorFile = mRoot / "errors.txt";
    int code = -1;
    EXPECT_EQ(RunTraced(mRepository,
                        "focus gained\nawait menu\nshot seen\nawait \"location 9\" 60\n"
                        "await bad extra words\nshot never\n",
                        "start=scripts/mainmenu.lua", code),
              (Traces{"start", "menu"}));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(fs::exists(mRoot / "seen.png"));
    EXPECT_FALSE(fs::exists(mRoot / "never.png"));
    EXPECT_NE(ErrorOutput().find(":5: \"await\" takes a text and an optional count of polls; line "
                                 "skipped\ninput script: await location 9 timed out\n"),
              std::string::npos)
        << ErrorOutput();
    ExpectCleanLog();
}

} // namespace
