// The log file: one line per call, opened and closed each time, wrapping back to 50 kB past 100 kB.
#include "platform/log.h"

#include "sys/paths.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace
{
constexpr uint32_t kWrapLimit = 102400;
constexpr uint32_t kWrapOffset = 51200;
const char kWrapBanner[] = "\n\n\n\n ****************** LOG WRAP AROUND ******************\n\n\n\n";

// The HTTP client's worker threads log too, so every line is written under this lock.
std::mutex gLogMutex;
TString gLogPath;
uint32_t gWriteOffset = 0;

// The runtime's ctime form ("Www Mmm dd hh:mm:ss yyyy", 24 characters) of the local time, spelled
// out here so that the locale never changes it.
TString TimeStamp()
{
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    // localtime's static result is only touched under the log lock.
    if (const std::tm* local = std::localtime(&now))
        parts = *local;
    return TString::Format("%s %s %2d %02d:%02d:%02d %d", kDays[parts.tm_wday % 7],
                           kMonths[parts.tm_mon % 12], parts.tm_mday, parts.tm_hour, parts.tm_min,
                           parts.tm_sec, parts.tm_year + 1900);
}
} // namespace

void SetLogFolder(const char* folder)
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (folder == nullptr)
    {
        gLogPath = TString();
        return;
    }
    sys::MakeFolder(folder);
    gLogPath = TString(folder) + "/logfile.txt";
    sys::RemoveFile(gLogPath.c_str());
    gWriteOffset = 0;
}

TString GetLogPath()
{
    std::lock_guard<std::mutex> lock(gLogMutex);
    // A private copy: the caller may hand it to another thread.
    return TString(gLogPath.c_str());
}

void Log(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(format, args);
    va_end(args);
}

void LogV(const char* format, va_list args)
{
    TString message = TString::FormatV(format, args);
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (gLogPath.Length() == 0)
        return;
    std::FILE* file = std::fopen(gLogPath.c_str(), "r+");
    if (file == nullptr)
        file = std::fopen(gLogPath.c_str(), "w");
    TString line = TimeStamp() + ": " + message + '\n';
    if (file == nullptr)
        return;
    if (gWriteOffset <= kWrapLimit)
    {
        std::fseek(file, static_cast<long>(gWriteOffset), SEEK_SET);
    }
    else
    {
        std::fseek(file, static_cast<long>(kWrapOffset), SEEK_SET);
        gWriteOffset = kWrapOffset;
        std::fputs(kWrapBanner, file);
    }
    std::fwrite(line.c_str(), 1, static_cast<size_t>(line.Length()), file);
    long position = std::ftell(file);
    if (position >= 0)
        gWriteOffset = static_cast<uint32_t>(position);
    std::fflush(file);
    std::fclose(file);
}

uint32_t GetMemoryAllocated()
{
    return 0;
}

uint32_t GetMaxMemoryAllocated()
{
    return 0;
}
