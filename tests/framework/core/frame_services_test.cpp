// Frame services: the error line with either separator and a fatal report through the window
// script, the command-line splitting and process launch, the colour probe, the segment and
// triangle tests.
#include "framework/core/frame_services.h"

#include "framework/framework_test_support.h"
#include "script/script.h"
#include "script/window_script_seam.h"
#include "sys/clock.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{
using fwtest::LogCapture;

TEST(ReportErrorTest, LogsTheFileNameAfterEitherSeparator)
{
    LogCapture log;
    ReportError("bad thing", "C:\\src\\game\\gameplay.cpp", 77, false);
    ReportError("other", "/src/framework/x.h", -3, false);
    ReportError("plain", "noslashes.cpp", 0, false);
    EXPECT_TRUE(log.Has(": ERROR:bad thing   FILE:gameplay.cpp LINE:77\n"));
    EXPECT_TRUE(log.Has(": ERROR:other   FILE:x.h LINE:-3\n"));
    EXPECT_TRUE(log.Has(": ERROR:plain   FILE:noslashes.cpp LINE:0\n"));
}

TEST(ReportErrorTest, AFatalReportPostsTheQuitMessageThroughTheWindowScript)
{
    LogCapture log;
    ReportError("no script", "a.cpp", 1, true);
    EXPECT_TRUE(log.Has("no window script"));

    static TScript* script = nullptr;
    TScript owned;
    script = &owned;
    SetWindowScriptSource([] { return script; });
    owned.DoLuaString("kQuitNow = 12 function CreateNamedMessage(t, n) return t .. ':' .. n end "
                      "function PostMessage(m) posted = m end");
    ClearFatalErrorReported();
    ReportError("not the end", "b.cpp", 1, false);
    EXPECT_FALSE(FatalErrorReported());
    testing::internal::CaptureStderr();
    ReportError("the end", "b.cpp", 2, true);
    const std::string said = testing::internal::GetCapturedStderr();
    SetWindowScriptSource(nullptr);
    EXPECT_EQ(std::string(owned.GetGlobalString("posted").c_str()), "12:quit");
    EXPECT_TRUE(log.Has(": ERROR:the end   FILE:b.cpp LINE:2\n"));
    // Said where whoever started the program looks, and remembered for the run's status.
    EXPECT_EQ(said, "Murkwell ends on a fatal error: ERROR:the end   FILE:b.cpp LINE:2\n");
    EXPECT_TRUE(FatalErrorReported());
    ClearFatalErrorReported();
}

TEST(RunProcessTest, SplitsByTheWindowsRules)
{
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("  prog  a\tb  "), (V{"prog", "a", "b"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\x.exe\" \"two words\" \"\""),
              (V{"C:\\Program Files\\x.exe", "two words", ""}));
    EXPECT_EQ(SplitCommandLine("p a\\\\b c\\\"d \"e\\\\\" f\\\\\\\"g"),
              (V{"p", "a\\\\b", "c\"d", "e\\", "f\\\"g"}));
    EXPECT_EQ(SplitCommandLine("p x\"y z\"w \"in\"\"side\""), (V{"p", "xy zw", "in\"side"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

TEST(RunProcessTest, StartsWithoutAShellAndReportsFailures)
{
    LogCapture log;
    // No shell reads the semicolon: one argument names one file.
    std::filesystem::path made = log.mRoot / "made file;x";
    RunProcess(("touch \"" + made.string() + "\"").c_str());
    for (int i = 0; i < 400 && !std::filesystem::exists(made); ++i)
        sys::SleepMs(5);
    EXPECT_TRUE(std::filesystem::exists(made));
    RunProcess("murkwell-no-such-program --flag");
    EXPECT_TRUE(log.Has(": ERROR:Process failed: 2   FILE:globaldefines LINE:145\n"));
    RunProcess("");
    EXPECT_TRUE(log.Has(": ERROR:Process failed: 22   FILE:globaldefines LINE:145\n"));
}

TEST(ColorProbeTest, FindsThePackedChannelOrder)
{
    ProbeColorShifts();
    EXPECT_EQ(redShift, 16u);
    EXPECT_EQ(greenShift, 8u);
    EXPECT_EQ(blueShift, 0u);
    EXPECT_EQ(alphaShift, 24u);
    EXPECT_EQ(alphaMask, 0xFF000000u);
}

TEST(GeometryTest, SegmentEdgeCases)
{
    // Sloped collinear segments count as crossing, overlapping or not.
    EXPECT_TRUE(SegmentsIntersect({0, 1}, {2, 3}, {5, 6}, {9, 10}, false));
    EXPECT_TRUE(SegmentsIntersect({0, 1}, {4, 5}, {2, 3}, {9, 10}, true));
    // Through the origin the ratio c2/c1 is 0/0: not the same line.
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {2, 2}, {5, 5}, {9, 9}, true));
    // Parallel horizontal or vertical segments never do, even on one line (0/0 ratios).
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {4, 0}, {2, 0}, {9, 0}, true));
    EXPECT_FALSE(SegmentsIntersect({3, 0}, {3, 4}, {3, 2}, {3, 9}, true));
    EXPECT_FALSE(SegmentsIntersect({0, 1}, {4, 5}, {0, 2}, {4, 6}, true));
    // A crossing exactly at a sloped segment's end point passes only inclusively.
    EXPECT_FALSE(SegmentsIntersect({0, 0}, {2, 2}, {2, 2}, {4, 0}, false));
    EXPECT_TRUE(SegmentsIntersect({0, 0}, {2, 2}, {2, 2}, {4, 0}, true));
    EXPECT_TRUE(SegmentsIntersect({0, 0}, {4, 4}, {0, 4}, {4, 0}, false));
    // Equal end coordinates on an axis always pass that axis' test.
    EXPECT_TRUE(SegmentsIntersect({2, 0}, {2, 4}, {0, 2}, {4, 2}, false));
    EXPECT_FALSE(SegmentsIntersect({2, 0}, {2, 4}, {3, 2}, {6, 2}, true));
}

TEST(GeometryTest, TrianglesAndTheirBounds)
{
    TIntTriangle t{{{0, 0}, {10, 0}, {0, 10}}};
    EXPECT_EQ(TriangleBounds(t), TRect(0, 0, 10, 10));
    EXPECT_TRUE(PointInTriangle(t, {2, 2}));
    EXPECT_FALSE(PointInTriangle(t, {8, 8}));
    EXPECT_FALSE(PointInTriangle(t, {11, 0}));
    EXPECT_FALSE(PointInTriangle(t, {-1, 3}));
    TIntTriangle wide{{{0, 0}, {10, 5}, {0, 10}}};
    EXPECT_TRUE(PointInTriangle(wide, {5, 5}));
    EXPECT_FALSE(PointInTriangle(wide, {9, 9}));
    // On the greatest x the far point lies left of the box: the ray meets the edges at the
    // vertex twice.
    EXPECT_FALSE(PointInTriangle(wide, {10, 5}));
    // On the greatest y the ray runs upwards and meets the slanted edge and the bottom edge.
    TIntTriangle tall{{{0, 0}, {10, 10}, {0, 10}}};
    EXPECT_FALSE(PointInTriangle(tall, {3, 10}));
    EXPECT_TRUE(PointInTriangle(tall, {3, 9}));
}
} // namespace
