// The log file: line format, start-up deletion, folder creation, the wrap at 100 kB, threads.
#include "platform/log.h"

#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
