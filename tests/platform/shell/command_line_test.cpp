// The command line's parse: each option's marker found anywhere by substring, the values behind
// the markers, the "options=" pairs, and the joining of arguments into one line.
#include "platform/shell/command_line.h"

#include <gtest/gtest.h>

namespace
{

using TPairs = std::vector<std::pair<TString, TString>>;

TEST(CommandLineTest, FlagsAreSubstringsAnywhereInTheLine)
{
    TCommandLine none("game");
    EXPECT_FALSE(none.mHostPage || none.mHostWindowGiven || none.mMultiple || none.mMsn ||
                 none.mZylom || none.mAol || none.mActiveXTest || none.mStringTest || none.mCheat ||
                 none.mDownloadUrlGiven || none.mWorkingFolderGiven);
    EXPECT_EQ(none.GetText(), "game");

    TCommandLine all("x-pq=1 --multiple -msnbc -zylom -aol --axtest --stringtest");
    EXPECT_TRUE(all.mHostPage && all.mMultiple && all.mMsn && all.mZylom && all.mAol &&
                all.mActiveXTest && all.mStringTest);
    // Case matters.
    EXPECT_FALSE(TCommandLine("-PQ= --Multiple").mHostPage);
}

TEST(CommandLineTest, HostWindowIsHexadecimal)
{
    TCommandLine hex("-wnd=beef -x");
    EXPECT_TRUE(hex.mHostWindowGiven);
    EXPECT_EQ(hex.mHostWindow, 0xbeefu);
    EXPECT_EQ(TCommandLine("-wnd=0x1A").mHostWindow, 0x1au);
    TCommandLine bad("-wnd=zz");
    EXPECT_TRUE(bad.mHostWindowGiven);
    EXPECT_EQ(bad.mHostWindow, 0u);
    // What was given, for the line that refuses it.
    EXPECT_EQ(bad.mHostWindowText, "zz");
    EXPECT_EQ(TCommandLine("-wnd=beef -x").mHostWindowText, "beef");
}

TEST(CommandLineTest, TheCheatValueStartsEightCharactersOnAndEndsAtABlank)
{
    EXPECT_EQ(TCommandLine("--cheat ABCDEF -x").mCheatCode, "ABCDEF");
    EXPECT_EQ(TCommandLine("a --cheat=QRS").mCheatCode, "QRS");
    EXPECT_EQ(TCommandLine("--cheat").mCheatCode, "");
    EXPECT_TRUE(TCommandLine("--cheat").mCheat);
    EXPECT_EQ(TCommandLine("--cheat ").mCheatCode, "");
    EXPECT_FALSE(TCommandLine("none").mCheat);
}

TEST(CommandLineTest, UrlAndHostProgramValues)
{
    TCommandLine line("-url=http://example.invalid/get x -host=  firefox.exe y");
    EXPECT_TRUE(line.mDownloadUrlGiven);
    EXPECT_EQ(line.mDownloadUrl, "http://example.invalid/get");
    // The host program skips leading blanks, as a word scan does.
    EXPECT_EQ(line.mHostProgram, "firefox.exe");
    EXPECT_EQ(TCommandLine("-host=").mHostProgram, "");
    EXPECT_EQ(TCommandLine(("-host=" + std::string(300, 'p')).c_str()).mHostProgram.Length(), 259);
    EXPECT_EQ(TCommandLine("-url=").mDownloadUrl, "");
}

TEST(CommandLineTest, WorkingFolderHonoursQuotes)
{
    EXPECT_EQ(TCommandLine("-x -wd=\"/a b/c\" -y").mWorkingFolder, "/a b/c");
    EXPECT_EQ(TCommandLine("-wd=/a b/c").mWorkingFolder, "/a");
    EXPECT_EQ(TCommandLine("-wd=/last").mWorkingFolder, "/last");
    EXPECT_EQ(TCommandLine("-wd=\"/open").mWorkingFolder, "/open");
    EXPECT_FALSE(TCommandLine("-window").mWorkingFolderGiven);
}

TEST(CommandLineTest, OptionsArePairsUpToABlank)
{
    EXPECT_EQ(TCommandLine("game options=a=1&b=2 -x").mOptions, (TPairs{{"a", "1"}, {"b", "2"}}));
    // The last value runs to the blank, whatever it holds.
    EXPECT_EQ(TCommandLine("options=a=1 -wd=c:\\games").mOptions,
              (TPairs{{"a", "1"}, {"-wd", "c:\\games"}}));
    EXPECT_EQ(TCommandLine("options=k=&z=9  y=2").mOptions, (TPairs{{"k", ""}, {"z", "9"}}));
    EXPECT_EQ(TCommandLine("options=novalue").mOptions, TPairs{});
    EXPECT_EQ(TCommandLine("no options at all").mOptions, TPairs{});
}

// An "&" in the argument after the options (a web address's) does not stretch the last value
// over the blank into it.
TEST(CommandLineTest, AnOptionsValueEndsWithItsOwnArgument)
{
    char program[] = "murkwell";
    char options[] = "options=trace=1";
    char url[] = "-url=http://example.org/get?a=1&b=2";
    char* argv[] = {program, options, url};
    TCommandLine line(TCommandLine::Join(3, argv));
    EXPECT_EQ(line.mOptions,
              (TPairs{{"trace", "1"}, {"-url", "http://example.org/get?a=1"}, {"b", "2"}}));
    EXPECT_EQ(line.mDownloadUrl, "http://example.org/get?a=1&b=2");
    EXPECT_EQ(TCommandLine("options=a=1&start=x.lua -y&z").mOptions,
              (TPairs{{"a", "1"}, {"start", "x.lua"}}));
}

TEST(CommandLineTest, ArgumentsAreJoinedWithBlanksQuotedBehindTheirMarker)
{
    char program[] = "murkwell";
    char multiple[] = "--multiple";
    char folder[] = "-wd=/tmp/my game";
    char options[] = "options=a=1&b=2";
    char spaced[] = "two words";
    char* argv[] = {program, multiple, folder, options, spaced};
    TString joined = TCommandLine::Join(5, argv);
    EXPECT_EQ(joined, "--multiple -wd=\"/tmp/my game\" options=a=1&b=2 \"two words\"");
    EXPECT_EQ(TCommandLine(joined).mWorkingFolder, "/tmp/my game");
    EXPECT_EQ(TCommandLine::Join(1, argv), "");
}

} // namespace
