// The score-file tool on a file the program wrote: each table's rows in the tool's line format,
// texts escaped; a damaged, cut or missing file refused with exit code 1 and nothing listed.
#include "e2e/program_test_support.h"

namespace e2etest
{
namespace
{

TEST_F(GameProgramTest, HiscoredumpListsTheProgramsScoreRowsAndRefusesADamagedFile)
{
    // A new profile enters a zero score in the current mode: none yet for Ann, "Adventure" for
    // the next two (equal scores share a rank).
    WriteScript("scores.lua", "CreateNewUser('Ann')\n"
                              "SetGameMode(1, 'Adventure')\n"
                              "CreateNewUser('Bo \"B\" \\\\ Bold')\n"
                              "CreateNewUser('Cy')\n"
                              "print('made', GetNumUsers())\n");
    int code = -1;
    EXPECT_EQ(RunScreen("scores.lua", "wait 5\nclose\n", code), "made\t3\n");
    EXPECT_EQ(code, 0);
    const fs::path scores = mRoot / "data/Tovrix/Murkwell/hiscore.dat";
    EXPECT_EQ(DumpHiscores(scores, &code),
              "mode \"\" rank 1 score 0 name \"Ann\" gamedata \"\"\n"
              "mode \"Adventure\" rank 1 score 0 name \"Bo \\\"B\\\" \\\\ Bold\" gamedata \"\"\n"
              "mode \"Adventure\" rank 1 score 0 name \"Cy\" gamedata \"\"\n");
    EXPECT_EQ(code, 0);

    // One byte changed, the last block cut off, no file at all.
    const std::string bytes = ReadFile(scores);
    ASSERT_GT(bytes.size(), 32u);
    std::string changed = bytes;
    changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x20);
    const fs::path damaged = mRoot / "damaged.dat";
    const fs::path cut = mRoot / "cut.dat";
    WriteFile(damaged, changed);
    WriteFile(cut, bytes.substr(0, bytes.size() - 8));
    for (const fs::path& bad : {damaged, cut})
    {
        EXPECT_EQ(DumpHiscores(bad, &code),
                  "hiscoredump: '" + bad.string() + "' is damaged: it cannot be read whole\n");
        EXPECT_EQ(code, 1);
    }
    const std::string missing = DumpHiscores(mRoot / "none.dat", &code);
    EXPECT_TRUE(missing.starts_with("hiscoredump: cannot read '")) << missing;
    EXPECT_EQ(code, 1);
}

} // namespace
} // namespace e2etest
