// The machine summary that ends every run's metrics: the drawing device's capabilities and the
// fields of the machine report in the user's folder.
#include "services/metrics/metrics_recorder.h"

#include "platform/config/xml.h"
#include "sys/display/device_caps.h"

namespace
{

// The report's groups: a path of parent elements, then the fields under the last one, in the
// order the records list them.
struct ReportGroup
{
    std::vector<const char*> mParents;
    std::vector<const char*> mFields;
};

const std::vector<ReportGroup>& ReportGroups()
{
    static const std::vector<ReportGroup> groups = {
        {{"DxDiag", "SystemInformation"},
         {"MachineName", "OperatingSystem", "Language", "PageFile", "Processor", "Memory",
          "DirectXVersion", "Processor"}},
        {{"DxDiag", "DisplayDevices", "DisplayDevice"},
         {"CardName", "Manufacturer", "ChipType", "DACType", "DeviceKey", "DisplayMemory",
          "CurrentMode", "MonitorMaxRes", "DriverVersion", "DriverDate", "DriverSize", "DDIVersion",
          "DeviceIdentifier", "VendorID", "DeviceID", "RevisionID"}},
        {{"DxDiag", "DirectSound", "SoundDevices", "SoundDevice"},
         {"Description", "HardwareID", "DriverDate", "DriverSize", "DriverProvider",
          "PrimaryBuffers"}},
    };
    return groups;
}

} // namespace

void TMetricsRecorder::WriteHardwareSummary() const
{
    // Without an output path every record would be lost: spare the report's parse.
    if (GetOutputPath().Length() == 0)
        return;
    sys::display::DrawingDeviceSummary device;
    if (sys::display::DescribeDrawingDevice(&device))
    {
        // No shaders and no stretch filtering: the software rasteriser has neither.
        WriteLine(
            "DxInfo",
            {TString::Format("Max Texture Size %dx%d", static_cast<int>(device.mMaxTextureWidth),
                             static_cast<int>(device.mMaxTextureHeight)),
             TString::Format("Pixel/Vertex %x/%x", 0u, 0u),
             TString::Format("MaxSimultaneousTextures %d",
                             static_cast<int>(device.mMaxSimultaneousTextures)),
             TString::Format("MaxPrimitiveCount %d", static_cast<int>(device.mMaxPrimitiveCount)),
             TString::Format("StretchRectFilterCaps %x", 0u),
             TString::Format("TextureAddressCaps  %x", device.mTextureAddressCaps)});
    }
    else
        WriteLine("DxInfo", {"DirectX 9 lib not found or couldn't load"});

    std::vector<TString> names;
    std::vector<TString> values;
    TXmlNode report;
    report.ParseFile("user:dxdiag.xml");
    if (report.HasChildren())
    {
        for (const ReportGroup& group : ReportGroups())
        {
            const TXmlNode* parent = &report;
            for (const char* step : group.mParents)
                parent = parent != nullptr ? parent->FindChild(step) : nullptr;
            for (const char* field : group.mFields)
            {
                const TXmlNode* node = parent != nullptr ? parent->FindChild(field) : nullptr;
                if (node == nullptr)
                {
                    values.push_back("none");
                    continue;
                }
                names.push_back(node->GetName());
                values.push_back(node->GetText());
            }
        }
    }
    WriteLine("DxDiagNames", names);
    WriteLine("DxDiag", values);
}
