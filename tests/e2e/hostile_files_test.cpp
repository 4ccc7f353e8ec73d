// The whole program on hostile files, a new player ("Ann") into the Gatehouse each time: packed
// documents that inflate far past what a reader takes, documents of millions of elements, pack
// entries named as the player's files, and a pack cut while the game runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>
#include <vector>

#include "e2e/program_test_support.h"
#include "platform/config/xml.h"
#include "platform/zxml_test_support.h"
#include "support/file_layer_fixture.h"

namespace
{
using namespace e2etest;

class HostileFilesTest : public ScreenProgramTest
{
protected:
    fs::path DataFolder() const { return mRoot / "data/Tovrix/Murkwell"; }
    // The menu, a new player into the Gatehouse, its greeting, then the window closed.
    static std::string NewPlayer(const std::string& atTheMenu = "")
    {
        return "focus gained\nawait menu\n" + atTheMenu +
               kNewPlayer.substr(std::string("focus gained\n").size()) +
               "await location\nwait 200\nclose\n";
    }
};

// A document of a few kilobytes that truly inflates to 64 MiB, as the display settings in the
// common data folder and as a string file of the player's folder, beside a pack whose entries are
// named as the player's files: each is refused with its line, and the new player is saved.
TEST_F(HostileFilesTest, PackedBombsAndEntriesNamedAsThePlayersFilesAreRefused)
{
    const std::string settings =
        "<Settings>" + std::string(64u << 20, ' ') + "<windowed>1</windowed></Settings>";
    const std::string table = "<Workbook><Table><Row><Cell><Data>TITLE</Data></Cell><Cell><Data>"
                              "Bomb</Data></Cell></Row>" +
                              std::string(64u << 20, ' ') + "</Table></Workbook>";
    const std::vector<char> display = zxmltest::Pack(settings);
    const std::vector<char> strings = zxmltest::Pack(table);
    WriteFile(mRoot / "data/common/Tovrix/Murkwell/display.xml",
              std::string(display.begin(), display.end()));
    WriteFile(DataFolder() / "strings_bomb.xml", std::string(strings.begin(), strings.end()));
    const fs::path game = CopyGame("planted");
    WriteFile(game / "assets/planted.qmp", filetest::PackBuilder()
                                               .Add("user:prefs.dat", "planted")
                                               .Add("user:hiscore.dat", "planted")
                                               .Add("../logfile.txt", "planted")
                                               .Build());

    RunOk(game, NewPlayer(), "");
    for (const std::string* plain : {&settings, &table})
        ExpectInLog(": ZXML: the plain length " + std::to_string(plain->size()) +
                    " is more than the 16777216 bytes a document may unpack to\n");
    ExpectInLog(": Strings: the packed string file 'user:strings_bomb.xml' could not be read\n");
    ExpectLogged(": Pack ::assets/planted.qmp: 3 entries refused, whose names hold \":\" or a "
                 "\"..\" part or begin with \"/\" (the first: 'user:prefs.dat')\n");
    EXPECT_NE(Prefs().find("name = \"Ann\""), std::string::npos) << Prefs();
    EXPECT_NE(DumpHiscores(DataFolder() / "hiscore.dat"), "");
}

// Display settings in the common data folder made of four million empty elements: packed in 16
// KiB, then a plain file of 64 MiB. Each is refused with its line (the tree would take gigabytes),
// the game reaches the menu and the new player is saved.
TEST_F(HostileFilesTest, DocumentsOfManySmallElementsAreRefusedAndTheGameGoesOn)
{
    std::string elements;
    elements.reserve(kMaxUnpackedXmlBytes);
    while (elements.size() < kMaxUnpackedXmlBytes)
        elements += "<a/>";
    const std::vector<char> packed = zxmltest::Pack(elements);
    ASSERT_LT(packed.size(), size_t(64) << 10);
    const fs::path display = mRoot / "data/common/Tovrix/Murkwell/display.xml";
    WriteFile(display, std::string(packed.begin(), packed.end()));
    const Traces traces = RunOk(mRepository, NewPlayer(), "");
    EXPECT_NE(std::find(traces.begin(), traces.end(), "menu"), traces.end());
    ExpectLogged(": XML: '" + display.string() +
                 "' was not read: it holds more than the 65536 elements and attributes a "
                 "document may hold\n");
    EXPECT_NE(Prefs().find("name = \"Ann\""), std::string::npos) << Prefs();

    std::string plain;
    plain.reserve(size_t(64) << 20);
    for (int i = 0; i < 4; ++i)
        plain += elements;
    WriteFile(display, plain);
    EXPECT_EQ(RunOk(mRepository, "focus gained\nawait menu\nwait 10\nclose\n", ""),
              (Traces{"start", "menu Ann"}));
    ExpectLogged(": XML: '" + display.string() +
                 "' was not read: it is larger than the 16777216 bytes a document may hold\n");
}

// The sound pack cut to 4 KiB while the menu is up, as an update in place or a drive gone would
// leave it: the sounds read after the cut are missing, each read saying so, and the game goes on.
TEST_F(HostileFilesTest, ASoundPackCutWhileTheMenuIsUpCostsItsSoundsNotTheGame)
{
    const fs::path game = CopyGame("cut");
    mOutputFile = mRoot / "output.txt";
    const int pid = StartScripted(game, NewPlayer("wait 300\n"), {"options=trace=1"});
    mOutputFile.clear();
    ASSERT_GT(pid, 0);
    const uint32_t start = LoadTimeMs();
    while (ReadFile(mRoot / "output.txt").find("trace: menu") == std::string::npos &&
           LoadTimeMs() - start < kStartLimitMs)
        sys::SleepMs(10);
    ASSERT_EQ(truncate((game / "assets/sound.qmp").c_str(), 4096), 0);
    EXPECT_EQ(WaitForEnd(pid), 0);
    const Traces traces = TraceLines(ReadFile(mRoot / "output.txt"));
    EXPECT_TRUE(std::any_of(traces.begin(), traces.end(),
                            [](const std::string& line) { return line.starts_with("location "); }));
    ExpectInLog(" from flat file\n");
    EXPECT_NE(Prefs().find("name = \"Ann\""), std::string::npos) << Prefs();
}

// A refused pack entry whose name holds line breaks, and after them what a log line looks like
// (after a blank too), a C1 control and a line separator: the name is logged on its refusal's one
// line with each escaped, and no line of the log is a forged one.
TEST_F(HostileFilesTest, AnEntryNameHoldingALineBreakIsLoggedOnOneLine)
{
    const std::string forged = "Thu Jan  1 00:00:00 2026: Murkwell, version 9.9.9.9.";
    const std::string indented = " Thu Jan  1 00:00:00 2026: ERROR: FORGED";
    const fs::path game = CopyGame("forged");
    WriteFile(
        game / "assets/forged.qmp",
        filetest::PackBuilder()
            .Add("user:x\n" + forged + "\r\x1b[2J\n" + indented + "\xC2\x85\xE2\x80\xA8", "planted")
            .Build());

    RunOk(game, "focus gained\nawait menu\nclose\n", "");
    const std::string log = ReadFile(LogFile());
    EXPECT_NE(log.find(" (the first: 'user:x\\n" + forged + "\\r\\x1b[2J\\n" + indented +
                       "\\u{85}\\u{2028}')\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("\n" + forged), std::string::npos) << log;
    EXPECT_EQ(log.find("\n" + indented), std::string::npos) << log;
    EXPECT_EQ(LoggedLines("ERROR:"), 0u) << log;
    for (const char* raw : {"\r", "\x1b", "\xC2\x85", "\xE2\x80\xA8"})
        EXPECT_EQ(log.find(raw), std::string::npos) << log;
}

// Two links to the data folder inside it, and one to a tree that holds such a link: the scan
// follows each once and the game reaches its menu, each link said.
TEST_F(HostileFilesTest, LinksBackIntoTheDataFolderStillLeadToTheMenu)
{
    const fs::path game = CopyGame("linked");
    fs::create_directories(DataFolder());
    fs::create_directories(mRoot / "tree/inner");
    fs::create_directory_symlink(".", DataFolder() / "a");
    fs::create_directory_symlink(".", DataFolder() / "b");
    fs::create_directory_symlink(".", mRoot / "tree/inner/again");
    fs::create_directory_symlink(mRoot / "tree", DataFolder() / "tree");

    RunOk(game, NewPlayer(), "");
    for (const char* link : {"a", "b", "tree/inner/again"})
        ExpectLogged(": The folder '" + (DataFolder() / link).string() +
                     "' is not scanned again: it is a folder the scan of '" +
                     DataFolder().string() + "' has met before\n");
    EXPECT_NE(Prefs().find("name = \"Ann\""), std::string::npos) << Prefs();
}

// 400 packs under a limit of 320 descriptors: those past the 256 the game keeps open are refused
// with a line, and the new player is saved.
TEST_F(HostileFilesTest, PacksPastTheBoundLeaveTheDescriptorsThePlayersFilesNeed)
{
    const fs::path game = CopyGame("packed");
    for (int i = 0; i < 400; ++i)
        WriteFile(game / ("assets/z" + std::to_string(1000 + i) + ".qmp"),
                  filetest::PackBuilder().Add("z" + std::to_string(i), "z").Build());
    mStartedProgram = mRoot / "limited.sh";
    WriteFile(mStartedProgram, "#!/bin/sh\nulimit -n 320 && exec \"" +
                                   std::string(MURKWELL_PROGRAM) + "\" \"$@\"\n");
    fs::permissions(mStartedProgram, fs::perms::owner_all);

    RunOk(game, NewPlayer(), "");
    ExpectLogged(": ERROR: Pack ::assets/z1255.qmp was not read, nor any other past the 256 packs "
                 "the game keeps open: the files in them are not found\n");
    EXPECT_NE(Prefs().find("name = \"Ann\""), std::string::npos) << Prefs();
}

// An allocation that fails where nothing catches it. Which allocation fails first under a lowered
// address space depends on how the heap lies (a picture's reader catches its own failure and the
// game goes on without the picture), so the run is tried under a rising limit until one fails
// after the new player was saved. Under every limit the game either ends as the script ends it or
// says it is out of memory and ends with status 3: never a crash, never a line missing. The
// sanitizers need far more address space: this runs in the optimised tree only.
TEST_F(HostileFilesTest, RunningOutOfMemoryIsSaidAndTheSavesBeforeStayWhole)
{
    const fs::path game = CopyGame("small");
    mStartedProgram = mRoot / "limited.sh";
    mErrorFile = mRoot / "errors.txt";
    const std::string said = "ERROR: Out of memory: the game cannot go on, and ends (what was "
                             "saved before is kept).\n";
    bool savedThenOut = false;
    for (int limitKb = 150000; limitKb <= 320000 && !savedThenOut; limitKb += 5000)
    {
        SCOPED_TRACE("ulimit -v " + std::to_string(limitKb));
        fs::remove_all(mRoot / "data");
        WriteFile(mStartedProgram, "#!/bin/sh\nulimit -v " + std::to_string(limitKb) +
                                       " && exec \"" + std::string(MURKWELL_PROGRAM) +
                                       "\" \"$@\"\n");
        fs::permissions(mStartedProgram, fs::perms::owner_all);
        int code = -1;
        RunTraced(game, NewPlayer(), "", code);
        ASSERT_TRUE(code == 0 || code == 3) << code;
        if (code != 3)
            continue;
        ExpectLogged(": " + said);
        EXPECT_NE(ReadFile(mErrorFile).find(said), std::string::npos) << ReadFile(mErrorFile);
        savedThenOut = Prefs().find("name = \"Ann\"") != std::string::npos;
    }
    EXPECT_TRUE(savedThenOut) << "no limit ran out of memory after the new player was saved";
}

} // namespace
