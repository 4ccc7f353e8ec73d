// Test support for the metrics files: a scratch user folder the file layer knows, the manual clock,
// local time in UTC and the display stand-in's default description; readers of the metrics file's
// records with their time stamps checked and taken out.
#pragma once

#include "platform/shell/task.h"
#include "support/environment.h"
#include "support/file_layer_fixture.h"
#include "sys/clock.h"
#include "sys/display/device_caps.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

namespace metricstest
{

class MetricsTest : public filetest::FileLayerTest
{
protected:
    void SetUp() override
    {
        filetest::FileLayerTest::SetUp();
        tzset();
        // Platform time counts from 0 whatever a test before this one started it from (an
        // application built by an earlier test starts it at its own clock).
        sys::SetManualClock(true, 0);
        StartPlatformTime();
        sys::SetManualClock(true, 1000);
        sys::display::ResetDisplayConfig();
    }
    void TearDown() override
    {
        sys::display::ResetDisplayConfig();
        sys::SetManualClock(false);
        filetest::FileLayerTest::TearDown();
    }

    std::string User() const { return mRoot + "/user"; }
    std::string Metrics() const { return filetest::ReadBytes(User() + "/metrics.txt"); }

    // The records of a metrics text with each time stamp checked and replaced by "<time>".
    static std::vector<std::string> Records(const std::string& text)
    {
        static const std::regex stamp(
            "The current date/time is: [A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} "
            "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n");
        std::vector<std::string> records;
        size_t start = 0;
        while (start < text.size())
        {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos)
            {
                ADD_FAILURE() << "a record without its CR LF: " << text.substr(start);
                break;
            }
            std::string record = text.substr(start, end - start);
            std::string replaced = std::regex_replace(record, stamp, "<time>");
            EXPECT_EQ(replaced.size() + 26 + 25 - 6, record.size()) << "no time stamp: " << record;
            records.push_back(replaced);
            start = end + 2;
        }
        return records;
    }

    testsupport::EnvironmentGuard mTimeZone{"TZ", "UTC"};
};

// The bytes of a little-endian 32-bit number, as the play-time file holds it.
inline std::string Le32(uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}

// The machine report as the diagnostics tool lays it out, with every element the summary reads.
inline std::string FullReport()
{
    return "<?xml version=\"1.0\"?>\n<DxDiag>\n<SystemInformation>\n"
           "<Time>now</Time><MachineName>BOX</MachineName>"
           "<OperatingSystem>Linux 6</OperatingSystem><Language>en_GB</Language>"
           "<PageFile>12MB used, 100MB total</PageFile><Processor>Fast CPU, 4 CPUs</Processor>"
           "<Memory>2048MB RAM</Memory><DirectXVersion>SDL 2.0.0</DirectXVersion>\n"
           "</SystemInformation>\n<DisplayDevices><DisplayDevice>"
           "<CardName>card</CardName><Manufacturer>maker</Manufacturer><ChipType>chip</ChipType>"
           "<DACType>dac</DACType><DeviceKey>key</DeviceKey><DisplayMemory>256 MB</DisplayMemory>"
           "<CurrentMode>800 x 600</CurrentMode><MonitorMaxRes>1024,768</MonitorMaxRes>"
           "<DriverVersion>1.2</DriverVersion><DriverDate>today</DriverDate>"
           "<DriverSize>123</DriverSize><DDIVersion>9</DDIVersion>"
           "<DeviceIdentifier>{id}</DeviceIdentifier><VendorID>0x10DE</VendorID>"
           "<DeviceID>0x0001</DeviceID><RevisionID>0x00A1</RevisionID>"
           "</DisplayDevice><DisplayDevice><CardName>second</CardName></DisplayDevice>"
           "</DisplayDevices>\n<DirectSound><SoundDevices><SoundDevice>"
           "<Description>sound</Description><HardwareID>hw</HardwareID>"
           "<DriverDate>yesterday</DriverDate><DriverSize>77</DriverSize>"
           "<DriverProvider>SDL</DriverProvider><PrimaryBuffers>1</PrimaryBuffers>"
           "</SoundDevice></SoundDevices></DirectSound>\n</DxDiag>\n";
}

} // namespace metricstest
