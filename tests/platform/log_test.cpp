// The log file: line format, start-up deletion, folder creation, the wrap at 100 kB, threads.
#include "platform/log.h"

#include "support/files.h"
#include "sys/files/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace
{
class LogTest : public ::testing::Test
{
protected:
    void TearDown() override { SetLogFolder(nullptr); }
    static std::string ReadAll(const fs::path& path) { return testsupport::ReadFile(path); }
    testsupport::ScratchFolder mScratch{"mw_log"};
    fs::path mRoot = mScratch.Path();
};

const char kBanner[] = "\n\n\n\n ****************** LOG WRAP AROUND ******************\n\n\n\n";
} // namespace

TEST_F(LogTest, LineIsCtimeColonMessageLf)
{
    fs::path folder = mRoot / "user";
    SetLogFolder(folder.c_str());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_STREQ(GetLogPath().c_str(), (folder.string() + "/logfile.txt").c_str());
    Log("Hello %s %d", "world", 3);
    std::string text = ReadAll(folder / "logfile.txt");
    std::regex line(
        R"(^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: Hello world 3\n$)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
    EXPECT_EQ(text.size(), 24u + 2u + 13u + 1u);
}

TEST_F(LogTest, PercentInArgumentsIsVerbatim)
{
    SetLogFolder(mRoot.c_str());
    Log("%s", "100% sure %d");
    std::string text = ReadAll(mRoot / "logfile.txt");
    EXPECT_EQ(text.substr(24), ": 100% sure %d\n");
}

TEST_F(LogTest, NullFolderTurnsLoggingOff)
{
    SetLogFolder(nullptr);
    EXPECT_EQ(GetLogPath().Length(), 0);
    Log("nothing");
    EXPECT_TRUE(fs::is_empty(mRoot));
}

TEST_F(LogTest, StartDeletesThePreviousLog)
{
    SetLogFolder(mRoot.c_str());
    Log("first run");
    SetLogFolder(mRoot.c_str());
    EXPECT_FALSE(fs::exists(mRoot / "logfile.txt"));
    Log("second run");
    std::string text = ReadAll(mRoot / "logfile.txt");
    EXPECT_EQ(text.find("first run"), std::string::npos);
    EXPECT_NE(text.find("second run"), std::string::npos);
}

TEST_F(LogTest, OnlyOneFolderLevelIsCreated)
{
    fs::path deep = mRoot / "a" / "b";
    SetLogFolder(deep.c_str());
    Log("lost");
    EXPECT_FALSE(fs::exists(deep));
}

TEST_F(LogTest, WrapsPast102400BackTo51200WithTheBanner)
{
    SetLogFolder(mRoot.c_str());
    // 24 + 2 + 997 + 1: every line is exactly 1024 bytes.
    std::string message(997, 'm');
    for (int i = 0; i < 100; ++i)
        Log("%s", message.c_str());
    fs::path path = mRoot / "logfile.txt";
    EXPECT_EQ(fs::file_size(path), 102400u);
    // An offset of exactly 102400 still appends.
    Log("%s", message.c_str());
    EXPECT_EQ(fs::file_size(path), 103424u);
    std::string marked(997, 'w');
    Log("%s", marked.c_str());
    std::string text = ReadAll(path);
    ASSERT_EQ(text.size(), 103424u);
    std::string banner(kBanner);
    EXPECT_EQ(text.substr(51200, banner.size()), banner);
    EXPECT_EQ(text.substr(51200 + banner.size() + 24, 2 + 997), ": " + marked);
    // Writing goes on after the wrapped line, over the old text.
    Log("after");
    text = ReadAll(path);
    size_t next = 51200 + banner.size() + 1024;
    EXPECT_EQ(text.substr(next + 24, 8), ": after\n");
    EXPECT_EQ(text.size(), 103424u);
}

TEST_F(LogTest, ThreadsWriteWholeLines)
{
    SetLogFolder(mRoot.c_str());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back(
            [t]
            {
                for (int i = 0; i < 25; ++i)
                    Log("thread %d line %02d", t, i);
            });
    for (auto& thread : threads)
        thread.join();
    std::ifstream in(mRoot / "logfile.txt");
    std::string line;
    int count = 0;
    std::regex shape(R"(^.{24}: thread [0-3] line [0-9]{2}$)");
    while (std::getline(in, line))
    {
        EXPECT_TRUE(std::regex_match(line, shape)) << line;
        ++count;
    }
    EXPECT_EQ(count, 100);
}

TEST(LogMemory, CountersStayZero)
{
    EXPECT_EQ(GetMemoryAllocated(), 0u);
    EXPECT_EQ(GetMaxMemoryAllocated(), 0u);
}

// A log that cannot be written (here a folder took its name) says so once on standard error, and
// its error lines go there too; other lines are dropped. A line logged and said is said once.
TEST_F(LogTest, ErrorLinesGoToStandardErrorWhileTheLogCannotBeWritten)
{
    SetLogFolder(mRoot.c_str());
    fs::create_directory(mRoot / "logfile.txt");
    testing::internal::CaptureStderr();
    Log("ERROR: Preferences could not be written to '%s': %s", "p", "Read-only file system");
    Log("an ordinary line");
    LogAndSay("ERROR: said once");
    LogAndSay("said anyway");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: The log '" + (mRoot / "logfile.txt").string() +
                  "' cannot be written (Is a directory): its error lines go to standard error.\n"
                  "ERROR: Preferences could not be written to 'p': Read-only file system\n"
                  "ERROR: said once\nsaid anyway\n");

    fs::remove(mRoot / "logfile.txt");
    testing::internal::CaptureStderr();
    Log("ERROR: written");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(ReadAll(mRoot / "logfile.txt").find(": ERROR: written\n"), std::string::npos);
}

// A link put in the log's place while the program runs (to a file of the player's, or dangling),
// or a FIFO, is never written through: the log says once on standard error why it
// cannot be written, and its error lines go there. Once the planted name is gone the log goes on.
TEST_F(LogTest, ALinkOrAFifoPutInTheLogsPlaceIsNeverWrittenThrough)
{
    SetLogFolder(mRoot.c_str());
    Log("before");
    const fs::path log = mRoot / "logfile.txt";
    testsupport::WriteFile(mRoot / "outside.txt", "outside");
    const std::string said = "ERROR: The log '" + log.string() +
                             "' cannot be written (it is a link): its error lines go to standard "
                             "error.\nERROR: through\n";
    struct Planted
    {
        const char* mName;
        std::function<void()> mPlant;
        std::string mSaid;
    };
    const std::vector<Planted> shapes = {
        {"a link to a file", [&] { fs::create_symlink(mRoot / "outside.txt", log); }, said},
        {"a dangling link", [&] { fs::create_symlink(mRoot / "nowhere.txt", log); }, said},
        {"a FIFO", [&] { ASSERT_EQ(mkfifo(log.c_str(), 0600), 0); },
         "ERROR: The log '" + log.string() +
             "' cannot be written (it is not a regular file): its error lines go to standard "
             "error.\nERROR: through\n"}};
    for (const Planted& shape : shapes)
    {
        SetLogFolder(mRoot.c_str());
        shape.mPlant();
        testing::internal::CaptureStderr();
        Log("ERROR: through");
        Log("an ordinary line");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), shape.mSaid) << shape.mName;
        EXPECT_EQ(ReadAll(mRoot / "outside.txt"), "outside") << shape.mName;
        EXPECT_FALSE(fs::exists(mRoot / "nowhere.txt")) << shape.mName;
        fs::remove(log);
    }
    Log("after");
    EXPECT_NE(ReadAll(log).find(": after\n"), std::string::npos);
}

// Every control character of a message is escaped, so that no name or text from a file can start
// a line that reads as the log's own or move a terminal's cursor, a line break before a blank
// included: C0 controls and DEL as "\n", "\r", "\x1b"; C1 controls and the line and paragraph
// separators as "\u{85}"; bytes that are no UTF-8 as "\xNN". A tab stays, and so does the break
// that ends a message. Only the program's own continuation lines (LogLines) start lines without a
// time stamp, each indented. Standard error shows the same.
TEST_F(LogTest, ControlCharactersOfAMessageAreEscaped)
{
    SetLogFolder(mRoot.c_str());
    struct Shape
    {
        const char* mMessage;
        const char* mShown;
    };
    const Shape shapes[] = {
        {"a:\n Thu Jan  1 00:00:00 2026: ERROR: FORGED",
         "a:\\n Thu Jan  1 00:00:00 2026: ERROR: FORGED"},
        {"Lua Error: e\n\twhen running\tx", "Lua Error: e\\n\twhen running\tx"},
        {"two\n\nbreaks", "two\\n\\nbreaks"},
        {"a\rb\x1b[2Jc\x7f\x01", "a\\rb\\x1b[2Jc\\x7f\\x01"},
        {"nel\xC2\x85"
         "csi\xC2\x9B"
         "2J\xC2\x80\xC2\x9F",
         "nel\\u{85}csi\\u{9b}2J\\u{80}\\u{9f}"},
        {"ls\xE2\x80\xA8ps\xE2\x80\xA9", "ls\\u{2028}ps\\u{2029}"},
        // Letters whose UTF-8 holds the bytes of C1 controls stay as they are.
        {"caf\xC3\xA9 \xC5\x85 \xE2\x80\xA6 \xF0\x9F\x8E\xB2 \xC2\xA0",
         "caf\xC3\xA9 \xC5\x85 \xE2\x80\xA6 \xF0\x9F\x8E\xB2 \xC2\xA0"},
        {"latin\x85one\xC2", "latin\\x85one\\xc2"},
        {"\xE2\x80 cut", "\\xe2\\x80 cut"},
        {"ends\n", "ends\n"},
    };
    for (const Shape& shape : shapes)
        Log("%s", shape.mMessage);
    LogLines("DoLuaString Lua Error: x\n Thu",
             {TString("\twhen running a\nb"), TString("  Driver: 'd'"), TString("unindented")});

    std::string expected;
    for (const Shape& shape : shapes)
        expected += std::string("|") + shape.mShown + "\n";
    expected += "|DoLuaString Lua Error: x\\n Thu\n\twhen running a\\nb\n  Driver: 'd'\n"
                "\tunindented\n";
    const std::regex stamp(
        R"((^|\n)[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}: )");
    EXPECT_EQ(std::regex_replace(ReadAll(mRoot / "logfile.txt"), stamp, "$1|"), expected);

    testing::internal::CaptureStderr();
    LogAndSay("said\n Thu Jan  1 00:00:00 2026: forged\xC2\x9B");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "said\\n Thu Jan  1 00:00:00 2026: forged\\u{9b}\n");
}

// Copies of the game on one data folder each keep a log of their own: the log another copy holds
// (its lock file held) is neither removed nor written, and the next free one is taken. With all
// nine held, error lines go to standard error after a line that says why; a copy alone again takes
// "logfile.txt" anew.
TEST_F(LogTest, EachCopyOnOneFolderKeepsALogOfItsOwn)
{
    testsupport::WriteFile(mRoot / "logfile.txt", "the first copy's\n");
    // An old copy's log, its lock free: the next copy to claim the slot writes it anew.
    testsupport::WriteFile(mRoot / "logfile2.txt", "an old copy's\n");
    auto hold = [&](const std::string& log)
    {
        std::string reason;
        const int handle = sys::LockFile((mRoot / (log + ".lock")).string(), 0, reason);
        EXPECT_GE(handle, 0) << reason;
        return handle;
    };
    std::vector<int> held = {hold("logfile.txt")};
    SetLogFolder(mRoot.c_str());
    Log("the second copy's");
    EXPECT_EQ(ReadAll(mRoot / "logfile.txt"), "the first copy's\n");
    EXPECT_EQ(std::string(GetLogPath().c_str()), (mRoot / "logfile2.txt").string());
    EXPECT_EQ(ReadAll(mRoot / "logfile2.txt").substr(24), ": the second copy's\n");

    SetLogFolder(nullptr);
    for (int copy = 2; copy <= 9; ++copy)
        held.push_back(hold("logfile" + std::to_string(copy) + ".txt"));
    SetLogFolder(mRoot.c_str());
    testing::internal::CaptureStderr();
    Log("ERROR: the tenth copy's");
    Log("the tenth copy's");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: No log of its own can be had in '" + mRoot.string() +
                  "' (other copies of the game hold logfile.txt to logfile9.txt): its error lines "
                  "go to standard error.\nERROR: the tenth copy's\n");
    EXPECT_EQ(ReadAll(mRoot / "logfile.txt"), "the first copy's\n");

    for (int handle : held)
        sys::UnlockFile(handle);
    SetLogFolder(mRoot.c_str());
    Log("alone");
    EXPECT_EQ(ReadAll(mRoot / "logfile.txt").substr(24), ": alone\n");
}

// A hard-link copy of the data folder (as backup tools make them) neither stops the log nor has
// its copy of the log changed: the log takes a file of its own at its name, its lines so far in it.
TEST_F(LogTest, AHardLinkCopyOfTheFolderNeitherStopsTheLogNorChangesTheCopy)
{
    SetLogFolder(mRoot.c_str());
    Log("before");
    fs::create_directory(mRoot / "backup");
    fs::create_hard_link(mRoot / "logfile.txt", mRoot / "backup/logfile.txt");
    const std::string copied = ReadAll(mRoot / "backup/logfile.txt");
    testing::internal::CaptureStderr();
    Log("ERROR: after");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(ReadAll(mRoot / "backup/logfile.txt"), copied);
    const std::string log = ReadAll(mRoot / "logfile.txt");
    EXPECT_EQ(log.compare(0, copied.size(), copied), 0) << log;
    EXPECT_EQ(log.substr(copied.size() + 24), ": ERROR: after\n");
    EXPECT_EQ(fs::hard_link_count(mRoot / "logfile.txt"), 1u);
}

// Nothing the log does under its lock logs again: a line that fits the text limit but not with its
// time stamp, a log folder whose path is past the limit and the line that says the log cannot be
// be written are each built whole without waiting on the lock they are built under. (Under a lower
// limit in the real one's place: a text of 2 GiB is not needed to meet it.)
TEST_F(LogTest, LinesPastTheTextLimitWithTheirTimeStampAreWrittenWhole)
{
    constexpr uint32_t kLimit = 64;
    struct LimitGuard
    {
        LimitGuard() { SetTStringLengthLimit(kLimit); }
        ~LimitGuard() { SetTStringLengthLimit(0); }
    } lowered;
    SetLogFolder(mRoot.c_str());
    const std::string message(kLimit - 4, 'm');
    Log("%s", message.c_str());
    const std::string text = ReadAll(mRoot / "logfile.txt");
    EXPECT_EQ(text.size(), 24u + 2u + message.size() + 1u);
    EXPECT_EQ(text.substr(24), ": " + message + "\n");

    const fs::path deep = mRoot / std::string(kLimit, 'd');
    SetLogFolder(deep.c_str());
    Log("%s", message.c_str());
    EXPECT_NE(ReadAll(deep / "logfile.txt").find(": " + message + "\n"), std::string::npos);
    EXPECT_EQ(GetLogPath().Length(), 0) << "a path past the limit cannot be a text";
    fs::remove(deep / "logfile.txt");
    fs::create_directory(deep / "logfile.txt");
    testing::internal::CaptureStderr();
    Log("ERROR: %s", message.substr(8).c_str());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("ERROR: The log '" + (deep / "logfile.txt").string() +
                        "' cannot be written (Is a directory)"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("ERROR: " + message.substr(8) + "\n"), std::string::npos) << said;
}
