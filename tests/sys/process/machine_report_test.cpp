// The machine report: the elements filled from a system tree of the test's own, the ones left out
// when a file is missing, escaping, and the write through a temporary name.
#include "sys/process/machine_report.h"

#include "support/environment.h"
#include "support/files.h"
#include "sys/files/paths.h"

#include <gtest/gtest.h>

namespace
{

class MachineReportTest : public ::testing::Test
{
protected:
    void TearDown() override { sys::SetMachineReportRoot(""); }

    void Put(const std::string& relative, const std::string& text)
    {
        testsupport::WriteFile(mRoot / relative, text);
    }
    static bool Has(const std::string& report, const std::string& element)
    {
        return report.find(element) != std::string::npos;
    }

    testsupport::ScratchFolder mRoot{"mw_machine"};
    testsupport::EnvironmentGuard mLang{"LANG", "de_DE.UTF-8"};
};

} // namespace

TEST_F(MachineReportTest, FactsComeFromTheSystemTree)
{
    Put("etc/os-release", "NAME=Test\nPRETTY_NAME=\"Test OS 1 & <more>\"\nID=test\n");
    Put("proc/meminfo", "MemTotal:        2097152 kB\nMemFree:  1 kB\nSwapTotal:       1048576 kB\n"
                        "SwapFree:         524288 kB\n");
    Put("proc/cpuinfo", "processor\t: 0\nvendor_id\t: Test\nmodel name\t: Test CPU @ 1GHz\n\n"
                        "processor\t: 1\nmodel name\t: Test CPU @ 1GHz\n");
    sys::SetMachineReportRoot(mRoot.Path().string());
    sys::MachineReportExtras extras;
    extras.mVideoMemoryBytes = 256ull << 20;
    std::string report = sys::MakeMachineReport(extras);

    EXPECT_EQ(report.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DxDiag>\n", 0), 0u);
    EXPECT_TRUE(Has(report, "<OperatingSystem>Test OS 1 &amp; &lt;more&gt; (Linux "));
    EXPECT_TRUE(Has(report, "<Language>de_DE.UTF-8</Language>"));
    EXPECT_TRUE(Has(report, "<PageFile>512MB used, 1024MB total</PageFile>"));
    EXPECT_TRUE(Has(report, "<Processor>Test CPU @ 1GHz, 2 CPUs</Processor>"));
    EXPECT_TRUE(Has(report, "<Memory>2048MB RAM</Memory>"));
    EXPECT_TRUE(Has(report, "<DirectXVersion>SDL 2."));
    EXPECT_TRUE(Has(report, "<MachineName>"));
    EXPECT_TRUE(Has(report, "<DisplayDevices>\n    <DisplayDevice>\n      <CardName>software "
                            "rasteriser</CardName>\n"));
    EXPECT_TRUE(Has(report, "<DisplayMemory>256 MB</DisplayMemory>"));
    EXPECT_TRUE(Has(report, "<DriverVersion>2."));
    EXPECT_TRUE(Has(report, "<DirectSound>\n    <SoundDevices>\n      <SoundDevice>\n"));
    EXPECT_TRUE(Has(report, "<DriverProvider>SDL</DriverProvider>"));
    EXPECT_EQ(report.substr(report.size() - 10), "</DxDiag>\n");
}

TEST_F(MachineReportTest, WhatCannotBeReadIsLeftOut)
{
    unsetenv("LANG");
    sys::SetMachineReportRoot(mRoot.Path().string());
    std::string report = sys::MakeMachineReport();
    EXPECT_FALSE(Has(report, "<PageFile>"));
    EXPECT_FALSE(Has(report, "<Processor>"));
    EXPECT_FALSE(Has(report, "<Memory>"));
    EXPECT_FALSE(Has(report, "<DisplayMemory>"));
    EXPECT_TRUE(Has(report, "<Language>C</Language>"));
    // uname still names the kernel; os-release's name is missing, so nothing wraps the kernel in
    // parentheses (the display's mode may hold some when an earlier test left video running).
    size_t os = report.find("<OperatingSystem>Linux ");
    ASSERT_NE(std::string::npos, os);
    std::string osLine = report.substr(os, report.find('\n', os) - os);
    EXPECT_EQ(std::string::npos, osLine.find('(')) << osLine;

    Put("proc/meminfo", "MemTotal: lots\nSwapTotal: 1 kB\n");
    Put("proc/cpuinfo", "processor : 0\n");
    report = sys::MakeMachineReport();
    EXPECT_FALSE(Has(report, "<Memory>"));
    EXPECT_FALSE(Has(report, "<PageFile>"));
    EXPECT_TRUE(Has(report, "<Processor>1 CPU</Processor>"));
}

TEST_F(MachineReportTest, TheReportIsWrittenThroughATemporaryName)
{
    sys::SetMachineReportRoot(mRoot.Path().string());
    std::string path = (mRoot / "out.xml").string();
    ASSERT_TRUE(sys::WriteMachineReport(path));
    EXPECT_EQ(testsupport::ReadFile(path), sys::MakeMachineReport());
    EXPECT_TRUE(testsupport::TemporaryFilesBeside(path).empty());

    EXPECT_FALSE(sys::WriteMachineReport((mRoot / "missing/out.xml").string()));
    EXPECT_FALSE(sys::PathAccess((mRoot / "missing").string(), 0));
}
