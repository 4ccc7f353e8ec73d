// The machine report from what Linux and SDL tell: the host name, os-release and uname, the locale,
// /proc's memory, swap and processor lines, and SDL's video and audio drivers.
#include "sys/process/machine_report.h"

#include "sys/files/paths.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace sys
{
namespace
{

std::string gRoot;
// The largest system file read (a processor list of a few hundred cores is well below it).
constexpr size_t kMaxSystemFileBytes = 4u << 20;

// An element of the report; one with an empty text is left out.
struct Element
{
    const char* mName;
    std::string mText;
};

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return "";
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> ReadLines(const char* systemPath)
{
    std::vector<std::string> lines;
    std::string text;
    std::string reason;
    if (!ReadRegularFile(gRoot + systemPath, kMaxSystemFileBytes, text, reason))
        return lines;
    std::istringstream in(text);
    std::string line;
    while (in && std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// The text after "key:" in a /proc line of that key (blanks trimmed), or "" when the line is not
// it.
bool ProcValue(const std::string& line, const char* key, std::string& value)
{
    size_t colon = line.find(':');
    if (colon == std::string::npos || Trim(line.substr(0, colon)) != key)
        return false;
    value = Trim(line.substr(colon + 1));
    return true;
}

// A /proc/meminfo figure in kB; false when the line is missing or not a number.
bool MemInfoKb(const std::vector<std::string>& lines, const char* key, unsigned long long& kb)
{
    std::string value;
    for (const std::string& line : lines)
    {
        if (!ProcValue(line, key, value))
            continue;
        char* end = nullptr;
        kb = std::strtoull(value.c_str(), &end, 10);
        return end != value.c_str();
    }
    return false;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control bytes would not survive a reader; a blank keeps the words apart.
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

void AppendGroup(std::string& out, const std::vector<Element>& elements, int indent)
{
    for (const Element& element : elements)
    {
        if (element.mText.empty())
            continue;
        out += std::string(static_cast<size_t>(indent), ' ') + "<" + element.mName + ">" +
               Escape(element.mText) + "</" + element.mName + ">\n";
    }
}

std::string HostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "";
    return name;
}

std::string OperatingSystem()
{
    std::string pretty;
    for (const std::string& line : ReadLines("/etc/os-release"))
    {
        if (line.rfind("PRETTY_NAME=", 0) != 0)
            continue;
        pretty = Trim(line.substr(12));
        if (pretty.size() >= 2 && (pretty.front() == '"' || pretty.front() == '\'') &&
            pretty.back() == pretty.front())
            pretty = pretty.substr(1, pretty.size() - 2);
        break;
    }
    std::string kernel;
    utsname names{};
    if (uname(&names) == 0)
        kernel = std::string(names.sysname) + " " + names.release + " " + names.machine;
    if (pretty.empty())
        return kernel;
    return kernel.empty() ? pretty : pretty + " (" + kernel + ")";
}

std::string Language()
{
    const char* lang = std::getenv("LANG");
    return lang != nullptr && lang[0] != '\0' ? lang : "C";
}

std::string PageFile(const std::vector<std::string>& memInfo)
{
    unsigned long long total = 0;
    unsigned long long free = 0;
    if (!MemInfoKb(memInfo, "SwapTotal", total) || !MemInfoKb(memInfo, "SwapFree", free))
        return "";
    unsigned long long used = free <= total ? total - free : 0;
    return std::to_string(used / 1024) + "MB used, " + std::to_string(total / 1024) + "MB total";
}

std::string Memory(const std::vector<std::string>& memInfo)
{
    unsigned long long total = 0;
    if (!MemInfoKb(memInfo, "MemTotal", total))
        return "";
    return std::to_string(total / 1024) + "MB RAM";
}

std::string Processor()
{
    std::string model;
    int count = 0;
    std::string value;
    for (const std::string& line : ReadLines("/proc/cpuinfo"))
    {
        if (model.empty() && ProcValue(line, "model name", value))
            model = value;
        else if (ProcValue(line, "processor", value))
            ++count;
    }
    if (count == 0)
        return model;
    std::string cpus = std::to_string(count) + (count == 1 ? " CPU" : " CPUs");
    return model.empty() ? cpus : model + ", " + cpus;
}

std::string SdlVersion()
{
    SDL_version version;
    SDL_GetVersion(&version);
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

std::string CurrentMode()
{
    SDL_DisplayMode mode;
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || SDL_GetCurrentDisplayMode(0, &mode) != 0)
        return "";
    std::string text = std::to_string(mode.w) + " x " + std::to_string(mode.h) + " (" +
                       std::to_string(SDL_BITSPERPIXEL(mode.format)) + " bit)";
    if (mode.refresh_rate > 0)
        text += " (" + std::to_string(mode.refresh_rate) + "Hz)";
    return text;
}

std::string MonitorMaxRes()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0)
        return "";
    int width = 0;
    int height = 0;
    int modes = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < modes; ++i)
    {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 &&
            static_cast<long long>(mode.w) * mode.h > static_cast<long long>(width) * height)
        {
            width = mode.w;
            height = mode.h;
        }
    }
    if (width == 0)
        return "";
    return std::to_string(width) + "," + std::to_string(height);
}

std::string SoundDescription()
{
    const char* driver = SDL_GetCurrentAudioDriver();
    if (driver == nullptr)
        return "";
    std::string text = driver;
    if (SDL_GetNumAudioDevices(0) > 0)
        if (const char* device = SDL_GetAudioDeviceName(0, 0))
            text += std::string(": ") + device;
    return text;
}

} // namespace

void SetMachineReportRoot(const std::string& root)
{
    gRoot = root;
}

std::string MakeMachineReport(const MachineReportExtras& extras)
{
    std::vector<std::string> memInfo = ReadLines("/proc/meminfo");
    std::string sdl = SdlVersion();
    const char* video = SDL_GetCurrentVideoDriver();

    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DxDiag>\n";
    out += "  <SystemInformation>\n";
    AppendGroup(out,
                {{"MachineName", HostName()},
                 {"OperatingSystem", OperatingSystem()},
                 {"Language", Language()},
                 {"PageFile", PageFile(memInfo)},
                 {"Processor", Processor()},
                 {"Memory", Memory(memInfo)},
                 {"DirectXVersion", "SDL " + sdl}},
                4);
    out += "  </SystemInformation>\n  <DisplayDevices>\n    <DisplayDevice>\n";
    std::string memory;
    if (extras.mVideoMemoryBytes > 0)
        memory = std::to_string(extras.mVideoMemoryBytes >> 20) + " MB";
    AppendGroup(out,
                {{"CardName", "software rasteriser"},
                 {"ChipType", video != nullptr ? video : ""},
                 {"DisplayMemory", memory},
                 {"CurrentMode", CurrentMode()},
                 {"MonitorMaxRes", MonitorMaxRes()},
                 {"DriverVersion", sdl}},
                6);
    out += "    </DisplayDevice>\n  </DisplayDevices>\n";
    out += "  <DirectSound>\n    <SoundDevices>\n      <SoundDevice>\n";
    AppendGroup(out, {{"Description", SoundDescription()}, {"DriverProvider", "SDL"}}, 8);
    out += "      </SoundDevice>\n    </SoundDevices>\n  </DirectSound>\n</DxDiag>\n";
    return out;
}

bool WriteMachineReport(const std::string& path, const MachineReportExtras& extras)
{
    std::string text = MakeMachineReport(extras);
    std::string reason;
    return ReplaceFileWith(path, text.data(), text.size(), reason);
}

} // namespace sys
