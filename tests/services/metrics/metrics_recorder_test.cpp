// The metrics recorder: the record line, state timers and values, the play-time file, the paths
// taken from the user's folder and script names, and what a bad path or file does.
#include "services/metrics/metrics_recorder.h"
#include "services/metrics/metrics_test_support.h"
#include "services/metrics/metrics_values.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>

using metricstest::Le32;
using metricstest::MetricsTest;

TEST(MetricsLine, FieldsAreQuotedWhenTheyHoldACommaOrDoNotBeginWithADigit)
{
    EXPECT_EQ(MakeMetricsLine("blk", "Mon Jan 01 00:00:00 2024",
                              {"say \"hi\"", "3,5", "42", "x12", "", "12abc", "\"3\""}),
              "blk,The current date/time is: Mon Jan 01 00:00:00 2024\n"
              ",\"say \"\"hi\"\"\",\"3,5\",42,\"x12\",\"\",12abc,\"\"\"3\"\"\"\r\n");
    // CR and LF are plain bytes to the rules; the tag is never quoted.
    EXPECT_EQ(MakeMetricsLine("a,b", "T", {"\r\nx", "1\n2"}),
              "a,b,The current date/time is: T\n,\"\r\nx\",1\n2\r\n");
    EXPECT_EQ(MakeMetricsLine("empty", "T", {}), "empty,The current date/time is: T\n\r\n");
}

TEST(MetricsLine, TimeStampHasEnglishNamesAndAZeroPaddedDay)
{
    // The first days of 2023's months fall on all seven weekdays.
    const char* expected[12] = {
        "Sun Jan 01 00:00:00 2023", "Wed Feb 01 00:00:00 2023", "Wed Mar 01 00:00:00 2023",
        "Sat Apr 01 00:00:00 2023", "Mon May 01 00:00:00 2023", "Thu Jun 01 00:00:00 2023",
        "Sat Jul 01 00:00:00 2023", "Tue Aug 01 00:00:00 2023", "Fri Sep 01 00:00:00 2023",
        "Sun Oct 01 00:00:00 2023", "Wed Nov 01 00:00:00 2023", "Fri Dec 01 00:00:00 2023"};
    for (int month = 0; month < 12; ++month)
    {
        std::tm date{};
        date.tm_year = 123;
        date.tm_mon = month;
        date.tm_mday = 1;
        std::time_t time = timegm(&date);
        std::tm back{};
        gmtime_r(&time, &back);
        EXPECT_EQ(FormatMetricsTime(back), expected[month]);
    }
    std::tm late{};
    std::time_t time = 1704067199; // the last second of 2023
    gmtime_r(&time, &late);
    EXPECT_EQ(FormatMetricsTime(late), "Sun Dec 31 23:59:59 2023");
}

TEST_F(MetricsTest, RecordsAreAppendedToTheFileWhichIsNeverTruncated)
{
    Write("user/metrics.txt", "kept\n");
    TMetricsRecorder recorder;
    recorder.SetUserDataDir(User().c_str());
    EXPECT_EQ(recorder.GetOutputPath(), TString((User() + "/metrics.txt").c_str()));
    recorder.WriteLine("First", {"1", "a"});
    recorder.WriteLine("TGlintviewHandlerError", {"Incorrect time value in: begin-elapsed"});
    std::string text = Metrics();
    ASSERT_EQ(text.substr(0, 5), "kept\n");
    EXPECT_EQ(Records(text.substr(5)),
              (std::vector<std::string>{
                  "First,<time>,1,\"a\"",
                  "TGlintviewHandlerError,<time>,\"Incorrect time value in: begin-elapsed\""}));

    // The stamp is this moment's local time (UTC here).
    std::time_t now = std::time(nullptr);
    std::tm local{};
    gmtime_r(&now, &local);
    EXPECT_NE(text.find(FormatMetricsTime(local).substr(0, 10)), std::string::npos);
}

TEST_F(MetricsTest, TimersRunWhileTheStateHoldsAValueOtherThanZero)
{
    TMetricsRecorder recorder;
    recorder.UpdateTimer("level", "1");
    sys::AdvanceManualClock(300);
    recorder.UpdateTimer("level", "2");
    sys::AdvanceManualClock(200);
    EXPECT_EQ(recorder.GetTimerValue("level"), 500);
    recorder.UpdateTimer("level", "0");
    sys::AdvanceManualClock(1000);
    EXPECT_EQ(recorder.GetTimerValue("level"), 500);
    recorder.UpdateTimer("level", "0");
    EXPECT_EQ(recorder.GetTimerValue("level"), 500) << "a stopped timer keeps its value";
    recorder.UpdateTimer("level", "3");
    sys::AdvanceManualClock(100);
    EXPECT_EQ(recorder.GetTimerValue("level"), 600) << "a new run adds to the stored time";

    recorder.UpdateTimer("level", "restart now");
    sys::AdvanceManualClock(50);
    EXPECT_STREQ(recorder.FilterGetState("elapsed-time:level", "ignored"), "          50");

    recorder.UpdateTimer("elapsed-time level", "5000");
    sys::AdvanceManualClock(100);
    EXPECT_EQ(recorder.GetTimerValue("level"), 5000) << "set timers are stopped";
    EXPECT_STREQ(recorder.FilterGetState("elapsed-time:level", ""), "        5000");

    // A value never set runs nothing; "0" at first leaves a stopped timer at 0.
    recorder.UpdateTimer("quiet", "0");
    EXPECT_EQ(recorder.GetTimerValue("quiet"), 0);
    EXPECT_EQ(recorder.GetTimerValue("never"), 0);
}

TEST_F(MetricsTest, ShortElapsedTimeKeysNameTheEmptyState)
{
    TMetricsRecorder recorder;
    recorder.UpdateTimer("elapsed-time", "7");
    EXPECT_STREQ(recorder.FilterGetState("elapsed-time:", "v"), "           7");
    recorder.UpdateTimer("elapsed-time:", "9");
    EXPECT_STREQ(recorder.FilterGetState("elapsed-time", "v"), "           9");
    EXPECT_EQ(recorder.GetTimerValue(""), 9);
    EXPECT_STREQ(recorder.FilterGetState("elapsed-time:x", "v"), "           0");
    EXPECT_EQ(recorder.GetTimerValue("x"), 0);

    const char* value = "unchanged";
    EXPECT_EQ(recorder.FilterGetState("elapsed-tim", value), value);
    EXPECT_EQ(recorder.FilterGetState("level", value), value);
}

TEST_F(MetricsTest, ValuesReadTheRecorderWhenTheBlockIsWritten)
{
    TMetricsRecorder recorder;
    TStatusBlock block("blk");
    block.AddValue(std::make_shared<TConstValue>("fixed"));
    block.AddValue(std::make_shared<TStatusValue>("level"));
    block.AddValue(std::make_shared<TElapsedTimeValue>("level"));
    block.AddValue(std::make_shared<TStatusValue>("never"));
    block.AddValue(std::make_shared<TElapsedTimeValue>("never"));
    TStatusBlock copy = block;

    recorder.SetLatestValue("level", "4");
    recorder.UpdateTimer("level", "4");
    sys::AdvanceManualClock(25);
    std::vector<TString> values;
    copy.GetValues(recorder, values);
    ASSERT_EQ(values.size(), 5u);
    EXPECT_EQ(values[0], TString("fixed"));
    EXPECT_EQ(values[1], TString("4"));
    EXPECT_EQ(values[2], TString("25"));
    EXPECT_EQ(values[3], TString(""));
    EXPECT_EQ(values[4], TString("0"));

    recorder.SetUserDataDir(User().c_str());
    block.AddValue(std::make_shared<TConstValue>("-3"));
    recorder.WriteBlock(block);
    EXPECT_EQ(Records(Metrics()),
              std::vector<std::string>{"blk,<time>,\"fixed\",4,25,\"\",0,\"-3\""});
}

TEST_F(MetricsTest, PlayTimeCarriesOverBetweenRuns)
{
    {
        TMetricsRecorder first;
        first.SetUserDataDir(User().c_str());
        first.LoadTime();
        EXPECT_EQ(first.GetAccumulatedTime(), 0u) << "a missing file leaves the time";
        sys::AdvanceManualClock(70000);
        first.SaveTime();
    }
    EXPECT_EQ(filetest::ReadBytes(User() + "/time.dat"), Le32(70000));

    sys::AdvanceManualClock(999); // between runs: not play time
    TMetricsRecorder second;
    second.SetUserDataDir(User().c_str());
    second.LoadTime();
    sys::AdvanceManualClock(5000);
    EXPECT_EQ(second.GetSessionTime(), 5000u);
    EXPECT_EQ(second.GetTotalTime(), 75000u);
    second.SaveTime();
    EXPECT_EQ(filetest::ReadBytes(User() + "/time.dat"), Le32(75000));
}

// A FIFO as the play time file holds neither the start (it is not read) nor the end (the time
// is written beside it and renamed over it).
TEST_F(MetricsTest, APlayTimeFileThatIsNoFileIsNotReadAndIsReplaced)
{
    const std::string path = User() + "/time.dat";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    TMetricsRecorder recorder;
    recorder.SetUserDataDir(User().c_str());
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0u);
    EXPECT_NE(Log().find("Metrics: the play time file " + path +
                         " was not read: it is not a regular file\n"),
              std::string::npos)
        << Log();
    sys::AdvanceManualClock(3000);
    recorder.SaveTime();
    EXPECT_EQ(filetest::ReadBytes(path), Le32(3000));
    EXPECT_TRUE(testsupport::TemporaryFilesBeside(path).empty());
}

TEST_F(MetricsTest, AShortOrLongTimeFileReplacesOnlyTheBytesItHolds)
{
    TMetricsRecorder recorder;
    recorder.SetUserDataDir(User().c_str());
    Write("user/time.dat", Le32(0x11223344));
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0x11223344u);
    Write("user/time.dat", "\xAA\xBB");
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0x1122BBAAu);
    Write("user/time.dat", "\x01");
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0x1122BB01u);
    Write("user/time.dat", Le32(0x05060708) + "\xFF");
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0x05060708u);
    Write("user/time.dat", "");
    recorder.LoadTime();
    EXPECT_EQ(recorder.GetAccumulatedTime(), 0x05060708u);
}

TEST_F(MetricsTest, TheOutputFileNeedsAFolderAndStaysInsideIt)
{
    TMetricsRecorder recorder;
    recorder.SetOutputFile("stats.txt");
    EXPECT_EQ(recorder.GetOutputPath(), TString()) << "no file at the root before a folder";
    EXPECT_EQ(recorder.GetTimePath(), TString());
    recorder.LoadTime();
    recorder.WriteLine("lost", {});

    recorder.SetUserDataDir(User().c_str());
    EXPECT_EQ(recorder.GetOutputPath(), TString((User() + "/stats.txt").c_str()));
    EXPECT_EQ(recorder.GetTimePath(), TString((User() + "/time.dat").c_str()));

    recorder.SetOutputFile("/sub.txt");
    EXPECT_EQ(recorder.GetOutputPath(), TString((User() + "/sub.txt").c_str()));
    for (const char* refused : {"../up.txt", "a/../../b.txt", "..", "a\\..\\b"})
    {
        recorder.SetOutputFile(refused);
        EXPECT_EQ(recorder.GetOutputPath(), TString((User() + "/sub.txt").c_str())) << refused;
    }
    EXPECT_NE(Log().find("Metrics: output file name refused"), std::string::npos);

    recorder.SetOutputFile("..name.txt");
    EXPECT_EQ(recorder.GetOutputPath(), TString((User() + "/..name.txt").c_str()));
    recorder.SetUserDataDir("");
    EXPECT_EQ(recorder.GetOutputPath(), TString()) << "an empty folder is none";
}

TEST_F(MetricsTest, AnUnwritableFolderOrAFolderInPlaceOfTheFileLosesTheRecord)
{
    TMetricsRecorder recorder;
    recorder.SetUserDataDir((mRoot + "/missing/deeper").c_str());
    recorder.WriteLine("lost", {"1"});
    recorder.SaveTime();
    recorder.LoadTime();
    EXPECT_FALSE(sys::PathAccess(mRoot + "/missing", 0));

    Folder("user/metrics.txt");
    recorder.SetUserDataDir(User().c_str());
    recorder.WriteLine("lost", {"1"});
    EXPECT_EQ(Metrics(), "");
    EXPECT_NE(Log().find(": Metrics: the record 'lost' was not written to " + User() +
                         "/metrics.txt: it is a folder\n"),
              std::string::npos)
        << Log();
}

// The records name the machine, and the file is posted: a link put at its name (to a file of the
// player's, or dangling) is never appended to, and the lost record is said. A file with other names
// (a hard-link copy of the folder) takes the name to itself before the record is appended, so the
// other names keep what they held.
TEST_F(MetricsTest, RecordsAreNeverAppendedThroughALinkAtTheFile)
{
    namespace fs = std::filesystem;
    Write("outside.txt", "outside");
    const fs::path file = User() + "/metrics.txt";
    TMetricsRecorder recorder;
    recorder.SetUserDataDir(User().c_str());
    for (const fs::path& target : {fs::path(mRoot + "/outside.txt"), fs::path(mRoot + "/nowhere")})
    {
        fs::create_symlink(target, file);
        recorder.WriteLine("through", {"1"});
        fs::remove(file);
    }
    fs::create_hard_link(mRoot + "/outside.txt", file);
    recorder.WriteLine("kept", {"1"});
    EXPECT_EQ(filetest::ReadBytes(mRoot + "/outside.txt"), "outside");
    EXPECT_FALSE(fs::exists(mRoot + "/nowhere"));
    EXPECT_EQ(Metrics().rfind("outside", 0), 0u) << Metrics();
    EXPECT_NE(Metrics().find("kept"), std::string::npos) << Metrics();
    EXPECT_EQ(fs::hard_link_count(file), 1u);
    const std::string said = ": Metrics: the record 'through' was not written to " + User() +
                             "/metrics.txt: it is a link\n";
    size_t count = 0;
    for (size_t at = Log().find(said); at != std::string::npos; at = Log().find(said, at + 1))
        ++count;
    EXPECT_EQ(count, 2u) << Log();
    EXPECT_EQ(Log().find("'kept' was not written"), std::string::npos) << Log();
}
