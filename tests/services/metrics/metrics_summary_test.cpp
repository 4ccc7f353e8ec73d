// The machine summary at the end of the metrics file: the drawing device's record and the two
// records of the machine report, for complete, partial, empty and damaged reports.
#include "services/metrics/metrics_recorder.h"
#include "services/metrics/metrics_test_support.h"

using metricstest::FullReport;
using metricstest::MetricsTest;

namespace
{

const char* const kDeviceRecord =
    "DxInfo,<time>,\"Max Texture Size 4096x4096\",\"Pixel/Vertex 0/0\","
    "\"MaxSimultaneousTextures 1\",\"MaxPrimitiveCount 65536\",\"StretchRectFilterCaps 0\","
    "\"TextureAddressCaps  7\"";

const char* const kSystemNames = "\"MachineName\",\"OperatingSystem\",\"Language\",\"PageFile\","
                                 "\"Processor\",\"Memory\",\"DirectXVersion\",\"Processor\"";
const char* const kDisplayNames =
    "\"CardName\",\"Manufacturer\",\"ChipType\",\"DACType\",\"DeviceKey\",\"DisplayMemory\","
    "\"CurrentMode\",\"MonitorMaxRes\",\"DriverVersion\",\"DriverDate\",\"DriverSize\","
    "\"DDIVersion\",\"DeviceIdentifier\",\"VendorID\",\"DeviceID\",\"RevisionID\"";
const char* const kSoundNames = "\"Description\",\"HardwareID\",\"DriverDate\",\"DriverSize\","
                                "\"DriverProvider\",\"PrimaryBuffers\"";
const char* const kSystemValues = "\"BOX\",\"Linux 6\",\"en_GB\",\"12MB used, 100MB total\","
                                  "\"Fast CPU, 4 CPUs\",2048MB RAM,\"SDL 2.0.0\","
                                  "\"Fast CPU, 4 CPUs\"";
const char* const kDisplayValues = "\"card\",\"maker\",\"chip\",\"dac\",\"key\",256 MB,"
                                   "800 x 600,\"1024,768\",1.2,\"today\",123,9,\"{id}\","
                                   "0x10DE,0x0001,0x00A1";
const char* const kSoundValues = "\"sound\",\"hw\",\"yesterday\",77,\"SDL\",1";

std::string Nones(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += ",\"none\"";
    return out;
}

std::string Without(std::string text, const std::string& from, const std::string& to)
{
    size_t begin = text.find(from);
    size_t end = text.find(to, begin);
    return text.erase(begin, end + to.size() - begin);
}

class MetricsSummaryTest : public MetricsTest
{
protected:
    // The summary over a report of these bytes (none when null).
    std::vector<std::string> Summary(const char* report)
    {
        if (report != nullptr)
            Write("user/dxdiag.xml", report);
        {
            TMetricsRecorder recorder;
            recorder.SetUserDataDir(User().c_str());
        }
        return Records(Metrics());
    }
};

} // namespace

TEST_F(MetricsSummaryTest, ACompleteReportGivesEveryNameAndValue)
{
    EXPECT_EQ(Summary(FullReport().c_str()),
              (std::vector<std::string>{kDeviceRecord,
                                        std::string("DxDiagNames,<time>,") + kSystemNames + "," +
                                            kDisplayNames + "," + kSoundNames,
                                        std::string("DxDiag,<time>,") + kSystemValues + "," +
                                            kDisplayValues + "," + kSoundValues}));
}

TEST_F(MetricsSummaryTest, AMissingGroupGivesNoneForEachOfItsFields)
{
    std::string noSound = Without(FullReport(), "<DirectSound>", "</DirectSound>");
    EXPECT_EQ(
        Summary(noSound.c_str()),
        (std::vector<std::string>{
            kDeviceRecord, std::string("DxDiagNames,<time>,") + kSystemNames + "," + kDisplayNames,
            std::string("DxDiag,<time>,") + kSystemValues + "," + kDisplayValues + Nones(6)}));
}

TEST_F(MetricsSummaryTest, AMissingDisplayGroupLeavesTheOthers)
{
    std::string noDisplay = Without(FullReport(), "<DisplayDevices>", "</DisplayDevices>");
    EXPECT_EQ(
        Summary(noDisplay.c_str()),
        (std::vector<std::string>{
            kDeviceRecord, std::string("DxDiagNames,<time>,") + kSystemNames + "," + kSoundNames,
            std::string("DxDiag,<time>,") + kSystemValues + Nones(16) + "," + kSoundValues}));
}

TEST_F(MetricsSummaryTest, AnEmptyOrElementlessReportGivesTwoRecordsWithoutFields)
{
    const std::vector<std::string> empty = {kDeviceRecord, "DxDiagNames,<time>", "DxDiag,<time>"};
    EXPECT_EQ(Summary(""), empty);
    std::remove((User() + "/metrics.txt").c_str());
    EXPECT_EQ(Summary("just words, no elements"), empty);
}

TEST_F(MetricsSummaryTest, ADamagedReportGivesWhatItsElementsHold)
{
    // The document ends inside an element: what was read up to there counts.
    EXPECT_EQ(
        Summary("<DxDiag><SystemInformation><MachineName>BOX</MachineName><Memory>64"),
        (std::vector<std::string>{kDeviceRecord, "DxDiagNames,<time>,\"MachineName\",\"Memory\"",
                                  "DxDiag,<time>,\"BOX\"" + Nones(4) + ",64" + Nones(24)}));
    std::remove((User() + "/metrics.txt").c_str());
    EXPECT_EQ(Summary("<DxDiag><<<>>>&&&\x01\xff</"),
              (std::vector<std::string>{kDeviceRecord, "DxDiagNames,<time>",
                                        "DxDiag,<time>" + Nones(30)}));
}

TEST_F(MetricsSummaryTest, NoDrawingDeviceGivesTheOneFieldRecord)
{
    sys::display::DisplayConfig config = sys::display::DefaultDisplayConfig();
    config.mDevices.clear();
    sys::display::SetDisplayConfig(config);
    std::vector<std::string> records = Summary(FullReport().c_str());
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0], "DxInfo,<time>,\"DirectX 9 lib not found or couldn't load\"");
}

TEST_F(MetricsSummaryTest, AMissingReportIsWrittenAtOnceAndAnExistingOneIsKept)
{
    std::vector<std::string> records = Summary(nullptr);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_NE(records[1].find("\"MachineName\",\"OperatingSystem\",\"Language\""),
              std::string::npos);
    EXPECT_NE(records[1].find("\"CardName\""), std::string::npos);
    EXPECT_NE(records[2].find("\"software rasteriser\""), std::string::npos);
    EXPECT_TRUE(testsupport::TemporaryFilesBeside(User() + "/dxdiag.xml").empty());

    Write("user/dxdiag.xml", "<kept/>");
    {
        TMetricsRecorder recorder;
        recorder.SetUserDataDir(User().c_str());
    }
    EXPECT_EQ(filetest::ReadBytes(User() + "/dxdiag.xml"), "<kept/>");
}

TEST_F(MetricsSummaryTest, NoOutputPathWritesNothing)
{
    Write("user/dxdiag.xml", FullReport());
    {
        TMetricsRecorder recorder;
    }
    EXPECT_EQ(Metrics(), "");
}
